// The Intel HEX reader: record types 00 and 01, 16-bit addresses, every byte stored through the bus.
#pragma once

#include <algorithm>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

// The lowest and highest addresses a load handed bytes to, first > last when it handed none, and each
// address it handed a byte (once, however many times).
struct HexSpan {
    std::uint32_t first = 0x10000;
    std::uint32_t last = 0;
    std::bitset<0x10000> written;

    void add(std::uint16_t address) {
        first = std::min<std::uint32_t>(first, address);
        last = std::max<std::uint32_t>(last, address);
        written.set(address);
    }
};

// Loads length characters of HEX text into memory (busWrite with force 1). Clears the message first and
// sets it on the first fault. Returns the data bytes handed to the bus, also on failure. Reads nothing
// outside [text, text + length); a NUL inside the text ends its line. With a span, widens it to every
// address stored.
int loadHexText(const std::string& name, char* text, std::size_t length, std::string& message,
                HexSpan* span = nullptr);

// Reads the text as loadHexText does without storing a byte: true when loading it would succeed, else
// false with loadHexText's message.
bool checkHexText(const std::string& name, const char* text, std::size_t length, std::string& message);

// Parses one NUL-terminated line. Returns the data bytes stored from it; sets (never clears) the message
// on a fault; stores the record type as soon as its field has been read.
int loadHexLine(const std::string& name, int lineNumber, const char* line, std::string& message,
                int& recordType);

} // namespace orv
