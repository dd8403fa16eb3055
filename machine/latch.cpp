#include "machine/latch.h"

#include "machine/debug_hooks.h"
#include "machine/host.h"

namespace orv {

LatchRecord latch;

namespace {
// A digit not refreshed for more than this many fade passes goes dark.
constexpr std::int32_t FADE_AGE = 2;
} // namespace

void latchDigit(std::uint8_t segments, int position) {
    latch.lastDigit = position;
    latch.digitTick[position] = latch.displayTick;
    const std::uint8_t old = latch.digitSegments[position];
    latch.digitSegments[position] = segments;
    if (old != segments) repaintArea(AREA_LED);
}

void fadeDigits() {
    noteBoardInput(BoardInput::Fade);
    ++latch.displayTick;
    bool changed = false;
    for (int position = 0; position < 8; ++position) {
        if (position == latch.lastDigit) continue;
        if (latch.digitTick[position] < latch.displayTick - FADE_AGE && latch.digitSegments[position] != 0) {
            latch.digitSegments[position] = 0;
            changed = true;
        }
    }
    if (changed) repaintArea(AREA_LED);
}

} // namespace orv
