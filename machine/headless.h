// The board without a window: the monitor loaded into its ROM and the machine run in slices, with the
// display's fading pass every BOARD_TICK cycles as the housekeeping tick gives it at 1 MHz. The headless
// runner, the tests and the benchmarks drive the board through this; the program has its own run
// control, paced by the clock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// The slice the runner and the tests use, and the housekeeping tick: 1 ms and 50 ms at 1 MHz.
constexpr std::int32_t BOARD_SLICE = 1000;
constexpr std::int32_t BOARD_TICK = 50000;

// Power on (machinePowerOn, rioReset) and load the monitor image, Intel HEX text, into the ROM pages.
// False with the loader's message when the text does not load.
bool headlessPowerOn(std::string_view monitorHex, std::string& message);

// One slice: cpuExecute with `status` as the slice's in bits, then a fading pass for each multiple of
// BOARD_TICK the cycle counter passed. Following the counter rather than a count of its own keeps the
// ticks where they were when a saved state goes on. Returns the slice status. A budget of 0 runs one
// instruction.
std::uint8_t headlessSlice(std::int32_t budget, std::uint8_t status = 0);

} // namespace orv
