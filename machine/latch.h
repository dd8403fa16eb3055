// The display latch: turns the multiplexed digit writes into a steady eight-digit picture.
#pragma once

#include <array>
#include <cstdint>

namespace orv {

extern std::array<std::uint8_t, 8> digitSegments;
extern std::array<std::int32_t, 8> digitTick;
extern std::int32_t lastDigit;
extern std::int32_t displayTick;

void latchDigit(std::uint8_t segments, int position);
void fadeDigits();

} // namespace orv
