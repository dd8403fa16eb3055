// Run control: halted/running/paused, slices on the tick, the stop conditions and the 50 ms
// housekeeping tick.
#pragma once

#include "control/run_state.h"

#include <cstdint>

namespace orv {

// The pacer's period in ms and the slice budget's factor (1,000 cycles per ms).
extern unsigned minTimer;
// Running was halted for a move or size of the window and resumes when that ends.
extern bool paused;
extern std::uint8_t sliceStatus;
// Housekeeping ticks since the main window was created.
extern std::int32_t uiTick;
// 0, or the uiTick after which the window place / Tape Stop is due.
extern std::int32_t rectSaveDue;
extern std::int32_t tapeStopDue;

constexpr int HOUSEKEEPING_MS = 50;
constexpr std::int32_t RECT_SAVE_DELAY = 100;
constexpr std::int32_t TAPE_STOP_DELAY = 10;

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
