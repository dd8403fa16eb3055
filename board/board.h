// The board's one driver, for every front end (the program, orv-run, the tests and the benchmarks):
// power-on with the monitor image in ROM, and the board tick every BOARD_TICK_MS of machine time, which
// fades the digits not refreshed and moves the tape through waiting, active and ended. The program runs
// its slices on the clock and calls boardTick from its housekeeping; orv-run, the tests and the
// benchmarks run boardSlice, which ticks as the cycle counter passes each BOARD_TICK.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// The board tick's period, and the slice orv-run and the tests use: 50 ms and 1 ms at 1 MHz.
constexpr int BOARD_TICK_MS = 50;
constexpr std::int32_t BOARD_TICK = BOARD_TICK_MS * 1000;
constexpr std::int32_t BOARD_SLICE = 1000;
// Ticks an ended tape goes on before its stop falls due.
constexpr std::int32_t TAPE_STOP_DELAY = 10;

// What a tick brought, for the driver to act on.
constexpr std::uint8_t BOARD_TAPE_MOVED = 0x01; // the tape went active or ended: its light changes
constexpr std::uint8_t BOARD_TAPE_STOP = 0x02;  // the ended tape is due to be stopped

struct BoardRecord {
    // Board ticks so far; never reset, so a power cycle keeps what is due.
    std::int32_t ticks = 0;
    // 0, or the tick after which the ended tape is stopped. A due stop outlives a tape stopped by
    // hand: only a tape still ended is stopped.
    std::int32_t tapeStopDue = 0;
    // What the ticks of boardSlice brought since the driver last cleared it.
    std::uint8_t events = 0;
};

extern BoardRecord board;

// Loads the monitor image, Intel HEX text, into the ROM pages. Returns the bytes loaded; message is
// empty when it loaded, else the loader's.
int boardLoadMonitor(std::string_view monitorHex, std::string& message);
// Power on (machinePowerOn, rioReset) and boardLoadMonitor.
int boardPowerOn(std::string_view monitorHex, std::string& message);

// One tick: the tape's steps, then the display's fading pass. Returns BOARD_TAPE_* bits.
std::uint8_t boardTick();

// One slice: cpuExecute with `status` as the slice's in bits, then boardTick for each multiple of
// BOARD_TICK the cycle counter passed, its bits added to board.events. Following the counter rather
// than a count of its own keeps the ticks where they were when a saved state goes on. Returns the slice
// status. A budget of 0 runs one instruction.
std::uint8_t boardSlice(std::int32_t budget, std::uint8_t status = 0);

} // namespace orv
