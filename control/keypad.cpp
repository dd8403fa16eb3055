#include "control/keypad.h"

namespace orv {

std::uint8_t debugMode = DEBUG_IDLE;

void advanceKeyQueue() {
    // The key queue arrives with keyboard input; until then no key is ever queued.
}

} // namespace orv
