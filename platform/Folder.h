#pragma once

#include <string>

// The entries of a folder: the output side moves a finished file into place, removes a
// temporary one, and makes the move itself durable.
class Folder {
public:
    // The folder part of a file name; "." for a bare name.
    static std::string of(const std::string& fileName);
    // Gives the file `from` the name `to`, replacing a file of that name in one step.
    static bool moveOver(const std::string& from, const std::string& to);
    static bool removeEntry(const std::string& name);
    // Puts the folder's entries on the disk (a name just moved into it, say). Where the system
    // cannot open a folder for that, there is nothing more to do and the answer is true.
    static bool sync(const std::string& folder);
};
