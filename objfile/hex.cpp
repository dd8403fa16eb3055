#include "objfile/hex.h"

#include "base/hex_digits.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "machine/bus.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace orv {

namespace {

constexpr int TYPE_DATA = 0x00;
constexpr int TYPE_EOF = 0x01;
constexpr int TYPE_NONE = -1;

// One line as [line, line + length); every read stays inside it.
int parseLine(const std::string& name, long long lineNumber, const char* line, std::size_t length,
              std::string& message, int& recordType, bool store = true, HexSpan* span = nullptr) {
    if (length == 0 || line[0] != ':') {
        message = formatText("Error in '%s' line %lld: does not start with ':'", name.c_str(), lineNumber);
        return 0;
    }
    std::size_t position = 1;
    int error = 0;
    std::uint8_t sum = 0;
    int stored = 0;
    // Reads the pair at position, copied so that a pair cut short by the line's end reads as a NUL.
    auto readPair = [&]() -> std::uint8_t {
        char two[2] = {0, 0};
        if (position < length) two[0] = line[position];
        if (position + 1 < length) two[1] = line[position + 1];
        const std::uint8_t value = hexByteValue(two, error);
        if (!error) {
            position += 2;
            sum = static_cast<std::uint8_t>(sum + value);
        }
        return value;
    };

    const std::uint8_t count = readPair();
    std::uint16_t address = 0;
    if (!error) address = static_cast<std::uint16_t>(readPair() << 8);
    if (!error) address = static_cast<std::uint16_t>(address | readPair());
    if (!error) {
        const std::uint8_t type = readPair();
        if (!error) recordType = type;
        if (!error && type != TYPE_DATA && type != TYPE_EOF) {
            message = formatText("Error in '%s' line %lld: unimplemented type '%02x'", name.c_str(),
                                 lineNumber, static_cast<unsigned>(type));
            return 0;
        }
    }
    for (int i = 0; i < count && !error; ++i) {
        const std::uint8_t value = readPair();
        if (error) break;
        if (store) busWrite(address, value, FORCE_ROM);
        if (span) span->add(address);
        ++stored;
        address = static_cast<std::uint16_t>(address + 1);
    }
    if (!error) {
        readPair();
        if (!error && position < length) trace("Junk on end of line %lld\n", lineNumber);
    }
    if (message.empty()) {
        if (error) {
            const std::size_t shown = position < length ? std::min<std::size_t>(2, length - position) : 0;
            message = formatText("Error in '%s' line %lld: bad hex digits '%s'", name.c_str(), lineNumber,
                                 std::string(line + position, shown).c_str());
        } else if (sum != 0) {
            message = formatText("Error in '%s' line %lld: bad checksum, got '%02x'", name.c_str(),
                                 lineNumber, static_cast<unsigned>(sum));
        }
    }
    return stored;
}

} // namespace

int loadHexLine(const std::string& name, int lineNumber, const char* line, std::string& message,
                int& recordType) {
    return parseLine(name, lineNumber, line, std::strlen(line), message, recordType);
}

namespace {

int readHexText(const std::string& name, const char* text, std::size_t length, std::string& message,
                bool store, HexSpan* span = nullptr) {
    message.clear();
    // Wide counters: a text long enough to overflow 32 bits must not wrap them.
    long long total = 0;
    long long lineNumber = 0;
    int previousType = TYPE_NONE;
    int type = TYPE_NONE;
    const char* const end = text + length;
    const char* position = text;
    while (position < end) {
        const char* lineEnd = position;
        while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n') ++lineEnd;
        const char* next = lineEnd;
        if (lineEnd < end) {
            next = lineEnd + 1;
            if (next < end && (*next == '\r' || *next == '\n') && *next != *lineEnd) ++next;
        }
        // A NUL inside the text ends its line, as it would for a caller's C string.
        const void* nul = std::memchr(position, '\0', static_cast<std::size_t>(lineEnd - position));
        const char* contentEnd = nul ? static_cast<const char*>(nul) : lineEnd;

        ++lineNumber;
        total += parseLine(name, lineNumber, position, static_cast<std::size_t>(contentEnd - position),
                           message, type, store, span);
        if (!message.empty()) break;
        if (previousType == TYPE_EOF) {
            message =
                formatText("Error in file '%s' line %lld: data after EOF record", name.c_str(), lineNumber);
            break;
        }
        previousType = type;
        position = next;
    }
    if (message.empty()) {
        if (type != TYPE_EOF) {
            message = formatText("Error: file '%s' did not end in EOF record", name.c_str());
        } else if (total == 0) {
            message = formatText("Error: file '%s' had no bytes to load", name.c_str());
        }
    }
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

} // namespace

int loadHexText(const std::string& name, char* text, std::size_t length, std::string& message,
                HexSpan* span) {
    return readHexText(name, text, length, message, true, span);
}

bool checkHexText(const std::string& name, const char* text, std::size_t length, std::string& message) {
    readHexText(name, text, length, message, false);
    return message.empty();
}

} // namespace orv
