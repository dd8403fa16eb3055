// Run control: halted/running/paused, slices on the tick, the stop conditions and the housekeeping
// tick, which carries the board tick (board/board.h) every BOARD_TICK_MS.
#pragma once

#include "board/board.h"
#include "debugger/trace_log.h"

#include <cstdint>

namespace orv {

struct RunControl {
    // The pacer's period in ms and the slice budget's factor (1,000 cycles per ms).
    unsigned minTimer = 1;
    // Running was halted for a move or size of the window and resumes when that ends.
    bool paused = false;
    std::uint8_t sliceStatus = 0; // SLICE_... bits of the last slice
    // 0, or the board tick (board.ticks) after which the window place is saved.
    std::int32_t rectSaveDue = 0;
    // The debugger window's trace while it writes one: the running slices then go an instruction at a time.
    TraceLog* trace = nullptr;
};

extern RunControl runControl;

constexpr std::int32_t RECT_SAVE_DELAY = 100;

// Turbo runs the machine as fast as the host allows: one slice of about this much host time per turn
// of the event loop, so the window stays responsive.
constexpr int TURBO_SLICE_MS = 4;
constexpr std::int32_t TURBO_FIRST_BUDGET = 100'000;
constexpr std::int32_t TURBO_MIN_BUDGET = 1'000;
constexpr std::int32_t TURBO_MAX_BUDGET = 100'000'000;

void runPacedSlice(std::int32_t budget);
void startRunning();
void haltRunning();

void tickCommand();
void runCommand();
void stepCommand();
void resetCommand();
// Turbo on or off; a running machine goes on at its new speed.
void turboCommand();

void housekeepingTick();
// Called on every move or size of the main window, after windowRect has been recorded.
void scheduleRectSave();

// The platform's modal move/size loop begins and ends.
void pauseRunning();
void unpauseRunning();

} // namespace orv
