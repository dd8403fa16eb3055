// Hex digits: two characters to a byte and back, for every reader and writer of hex text.
#pragma once

#include <cstdint>

namespace orv {

// One hex digit (either case) to 0..15; -1 for any other character.
int nibbleValue(char c);

// Two hex digits (either case) to a byte. At the first other character, NUL included, sets error to 1,
// reads no further and returns 0. Never clears error.
std::uint8_t hexByteValue(const char* two, int& error);

// Two upper-case hex digits, high nibble first. Inline: the trace log writes several for every instruction.
inline void hexByteText(std::uint8_t value, char* out) {
    constexpr char digits[] = "0123456789ABCDEF";
    out[0] = digits[value >> 4];
    out[1] = digits[value & 0x0F];
}

} // namespace orv
