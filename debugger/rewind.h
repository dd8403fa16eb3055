// Stepping back: the board as it was some instructions ago, exactly. While on, the board's records are
// kept every REWIND_EVERY cycles at the start of a slice, and what reaches the board between slices is
// noted (machine/debug_hooks.h). Going back restores the last record before the goal and runs the machine
// again up to it, giving the noted inputs at their cycles; nothing is logged inside the interpreter's
// loop. Going forward again by steps, the inputs that came later come again as they came.
#pragma once

#include "machine/debug_hooks.h"

#include <cstdint>
#include <string>

namespace orv {

constexpr std::uint32_t REWIND_EVERY = 10'000;
// Records kept: 640,000 cycles back at the least, far more than the 10,000 instructions promised.
constexpr std::size_t REWIND_RECORDS = 64;

// On while the debugger window is open; off forgets everything. `every`: cycles between records (tests
// take them closer together).
void rewindSwitch(bool on, std::uint32_t every = REWIND_EVERY);
bool rewindOn();
// Starts the history again from the board as it stands: after the debugger changed it by hand.
void rewindRestart();

enum class RewindResult : std::uint8_t {
    Moved,   // the board is where it was
    AtStart, // nothing older is kept: the board is at the start of the history (Run Back) or unmoved
    Refused, // with the message why; the board is unmoved
};

// One instruction back.
RewindResult rewindStepBack(std::string& message);
// Back to where the machine would last have stopped at an enabled breakpoint or watchpoint (the armed
// traps, and debugP while the debug panel is shown), or to the start of the history. `hit` says which.
RewindResult rewindRunBack(std::string& message, TrapHit& hit);

} // namespace orv
