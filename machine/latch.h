// The display latch. The board's eight seven-segment digits are multiplexed: the monitor lights one
// digit at a time (segments on RIO 0's port B, digit number on port A) and must keep scanning for the
// display to stay lit. The latch keeps the pattern each digit was given last and lets a digit the
// program stopped refreshing go dark, as the real LEDs would, except the one lit last.
#pragma once

#include <array>
#include <cstdint>

namespace orv {

struct LatchRecord {
    // The pattern each position 0-7 was given last: what painting draws (0 = dark).
    std::array<std::uint8_t, 8> digitSegments{};
    // displayTick at each position's last latch.
    std::array<std::int32_t, 8> digitTick{};
    // The position latched most recently, -1 before the first; it never fades.
    std::int32_t lastDigit = -1;
    // Fade passes so far, one per housekeeping tick.
    std::int32_t displayTick = 0;
};

extern LatchRecord latch;

void latchDigit(std::uint8_t segments, int position);
void fadeDigits();

} // namespace orv
