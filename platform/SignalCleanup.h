#pragma once

#include <string>

// What a signal that ends the program (SIGINT, SIGTERM, SIGHUP, SIGPIPE) must undo: the temporary
// file of the output being written, which would otherwise stay behind, partial, beside the output.
//
// This is the program's one piece of process-wide state, because a signal handler can reach
// nothing else. The handler does only async-signal-safe work: it unlinks the names kept here, in
// fixed buffers filled before each file is created, and then either lets the signal end the process
// with its default action (a single job) or records it for the program to stop at its next step (a
// batch, which reports how far it got). Where the system lacks sigaction the handler can only
// record; the job then stops at its next write and removes its file on the way out.
class SignalCleanup {
public:
    enum class Response {
        endProcess,  // at once, with the signal's own status
        record,      // receivedSignal() says it; the program stops where it can
    };

    // Handles the four signals (except those ignored when the program started) with `response`;
    // a later call changes the response.
    static void install(Response response);
    // The signal recorded under Response::record; 0 when none came.
    static int receivedSignal();
    // Ends the process as the received signal does by default; returns when none came.
    static void endIfSignalled();

    // The temporary files that exist. Called only while a Hold lives, so that the handler never
    // sees a name without its file nor a file without its name.
    static bool track(const std::string& name);  // false when the name does not fit a buffer
    static void untrack(const std::string& name);
    // Removes the file unless the handler has already, and untracks it.
    static void removeTracked(const std::string& name);

    // Holds the four signals back while it lives; they are never held otherwise.
    class Hold {
    public:
        Hold();
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
    };
};
