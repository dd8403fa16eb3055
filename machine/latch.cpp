#include "machine/latch.h"

#include "machine/host.h"

namespace orv {

std::array<std::uint8_t, 8> digitSegments{};
std::array<std::int32_t, 8> digitTick{};
std::int32_t lastDigit = -1;
std::int32_t displayTick = 0;

namespace {
// A digit not refreshed for more than this many fade passes goes dark.
constexpr std::int32_t FADE_AGE = 2;
} // namespace

void latchDigit(std::uint8_t segments, int position) {
    lastDigit = position;
    digitTick[position] = displayTick;
    const std::uint8_t old = digitSegments[position];
    digitSegments[position] = segments;
    if (old != segments) repaintArea(AREA_LED);
}

void fadeDigits() {
    ++displayTick;
    bool changed = false;
    for (int position = 0; position < 8; ++position) {
        if (position == lastDigit) continue;
        if (digitTick[position] < displayTick - FADE_AGE && digitSegments[position] != 0) {
            digitSegments[position] = 0;
            changed = true;
        }
    }
    if (changed) repaintArea(AREA_LED);
}

} // namespace orv
