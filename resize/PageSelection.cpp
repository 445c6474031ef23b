#include "resize/PageSelection.h"

#include <cstdio>
#include <limits>
#include <string>

#include "pdf/objects/PdfException.h"

namespace {

constexpr std::size_t rangesStart = 2;  // after the leading "-s"
constexpr char rangeCharacters[] = "0123456789-,";
constexpr char separators[] = "-,";
constexpr char rangeSeparator = '-';
constexpr int decimalBase = 10;

constexpr char invalidParameter[] = "Invalid parameter";

enum class Parity { any, odd, even };

Parity parityOf(const ResizeSettings& settings) {
    if (settings.oddPagesOnly == settings.evenPagesOnly) {
        return Parity::any;
    }
    return settings.oddPagesOnly ? Parity::odd : Parity::even;
}

bool hasParity(uint64_t page, Parity parity) {
    switch (parity) {
        case Parity::odd:
            return page % 2 == 1;
        case Parity::even:
            return page % 2 == 0;
        case Parity::any:
            break;
    }
    return true;
}

// Numbers are printed in full: a count or page number beyond the range of int must not show
// up as a negative number in a message.
CPdfException pageError(const char* format, uint64_t first, uint64_t second = 0) {
    constexpr std::size_t messageRoom = 128;
    char message[messageRoom];
    std::snprintf(message, sizeof message, format, static_cast<unsigned long long>(first),
                  static_cast<unsigned long long>(second));
    return CPdfException(message);
}

// The token holds digits only; a value too large for 64 bits stays at the largest one, which is
// beyond every page count all the same.
uint64_t readPageNumber(const std::string& text, std::size_t begin, std::size_t end) {
    constexpr uint64_t largest = std::numeric_limits<uint64_t>::max();
    uint64_t value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (value > (largest - digit) / decimalBase) {
            return largest;
        }
        value = value * decimalBase + digit;
    }
    return value;
}

// Marks chosen pages in the records, leaving out the pages of the parity that was not asked for.
class PageChooser {
public:
    PageChooser(std::vector<PageRecord>& records, Parity parity) : records_(records), parity_(parity) {}

    void choose(uint64_t page) {
        if (!hasParity(page, parity_)) {
            return;
        }
        // The page count comes from the document's own count, which may promise more pages than
        // its page tree holds.
        if (page == 0 || page > records_.size() || !records_[page - 1].filled) {
            throw pageError("Page %llu is missing from the page tree", page);
        }
        PageRecord& record = records_[page - 1];
        record.selected = true;
        record.pageNumber = static_cast<uint32_t>(page);
    }

    // Stops at the first page without a record, so a huge range costs no more than the records.
    void chooseRange(uint64_t first, uint64_t last) {
        for (uint64_t page = first; page <= last; ++page) {
            choose(page);
        }
    }

    void chooseAllFilled() {
        for (std::size_t i = 0; i < records_.size(); ++i) {
            if (records_[i].filled) {
                choose(i + 1);
            }
        }
    }

private:
    std::vector<PageRecord>& records_;
    Parity parity_;
};

void chooseRanges(const std::string& text, uint32_t pageCount, PageChooser& chooser) {
    if (text.size() > rangesStart && text.find_first_not_of(rangeCharacters, rangesStart) != std::string::npos) {
        throw CPdfException(invalidParameter);
    }
    std::size_t position = rangesStart;
    bool rangePending = false;
    uint64_t rangeFirst = 0;
    for (;;) {
        const std::size_t separator = text.find_first_of(separators, position);
        const std::size_t tokenEnd = separator == std::string::npos ? text.size() : separator;
        if (tokenEnd <= position) {
            throw CPdfException(invalidParameter);
        }
        const uint64_t number = readPageNumber(text, position, tokenEnd);
        if (number == 0) {
            throw pageError("Invalid page number %llu", number);
        }
        const bool rangeFollows = separator != std::string::npos && text[separator] == rangeSeparator;
        if (rangePending) {
            if (rangeFollows) {
                throw CPdfException(invalidParameter);
            }
            if (number > pageCount) {
                throw pageError("Wrong page ranges, %llu greater than %llu pages in file", number, pageCount);
            }
            if (rangeFirst > number) {
                throw pageError("Wrong page ranges, start page %llu > end page %llu", rangeFirst, number);
            }
            chooser.chooseRange(rangeFirst, number);
            rangePending = false;
        } else if (rangeFollows) {
            rangeFirst = number;
            rangePending = true;
        } else {
            if (number > pageCount) {
                throw pageError("Page number %llu greater than %llu pages in file", number, pageCount);
            }
            chooser.choose(number);
        }
        if (separator == std::string::npos) {
            return;
        }
        position = separator + 1;
    }
}

}  // namespace

void selectPages(const ResizeSettings& settings, uint32_t pageCount, std::vector<PageRecord>& records) {
    PageChooser chooser(records, parityOf(settings));
    if (settings.pageRanges.empty()) {
        chooser.chooseAllFilled();
        return;
    }
    chooseRanges(settings.pageRanges, pageCount, chooser);
}
