// The pacer: a thread that wakes at absolute deadlines and owes the window the periods (minTimer ms
// each) that have passed; it posts the tick command that runs them. It exists only while the machine
// runs.
#pragma once

#include <cstdint>

namespace orv {

// Periods per wake-up while the tape is silent: every wake-up costs two thread switches, and a slice
// of 25 periods runs the same cycles as 25 slices of one. Two make the housekeeping's 50 ms.
constexpr unsigned PACER_STRIDE = 25;
// A stall longer than this many periods is not made up.
constexpr std::int32_t PACER_MAX_OWED = 1000;

// One deadline's work, on the pacer thread: count it (and an overrun if a slice still runs), owe
// the periods and post a tick if none is waiting.
void timerCallback(unsigned periods = 1);

// False when the thread could not be started.
bool pacerStart(unsigned periodMs);
void pacerStop();
bool pacerRunning();
// Periods per wake-up from the next deadline on.
void pacerSetStride(unsigned periods);
// On the window thread, for the tick being handled: the periods owed so far, now paid.
std::int32_t pacerTakeOwed();

} // namespace orv
