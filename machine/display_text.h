// The eight LED digits as text, for anything that reads the display without looking at it: the
// clipboard's copy of the display and the headless runner's reports and checks.
//
// Each digit gives one character, the nearest one its segments show (bit 0 = segment a ... bit 6 =
// segment g): the monitor's hex digits as 0-9 A b c d E F, and the common seven-segment letters besides.
// A dark digit is a space; a pattern no character resembles is '?'. A lit point (bit 7) adds a '.' after
// its digit's character, so a digit showing only its point reads " .".
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orv {

// The character for a pattern's seven segments; the point is ignored.
char segmentCharacter(std::uint8_t segments);

// The text of eight digits, leftmost first.
std::string displayText(const std::array<std::uint8_t, 8>& digitSegments);

// The text of what the display latch holds now.
std::string displayText();

} // namespace orv
