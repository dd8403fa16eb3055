#include "control/run_control.h"

#include "base/run_inputs.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "control/commands.h"
#include "control/keypad.h"
#include "control/main_window.h"
#include "control/message_box.h"
#include "control/pacer.h"
#include "control/run_state.h"
#include "debugger/debugger_window.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/host.h"
#include "settings/settings.h"
#include "tape/tape.h"
#include "tape/tape_commands.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace orv {

RunControl runControl;

void runPacedSlice(std::int32_t budget) {
    runControl.sliceStatus = runInputs.debug ? SLICE_ARMED : 0;
    if (runControl.trace)
        traceSlice(*runControl.trace, budget, runControl.sliceStatus, &debuggerParts.debuggerSymbols,
                   [](std::int32_t cycles, std::uint8_t& status) { return cpuExecute(cycles, status) > 0; });
    else
        cpuExecute(budget, runControl.sliceStatus);
    if (runControl.sliceStatus & SLICE_BADOP) {
        haltRunning();
        showMessageBox(windowParts.mainWindow, QMessageBox::Critical, INVALID_OPCODE_CAPTION,
                       invalidOpcodeText().c_str());
    }
    if (runControl.sliceStatus & (SLICE_BREAK | SLICE_WATCH)) haltRunning();
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto HOUSEKEEPING_PERIOD = std::chrono::milliseconds(BOARD_TICK_MS);

// While the machine runs, its slices carry the housekeeping: the window then wakes for them alone. At
// 1 MHz it comes every BOARD_TICK_MS of emulated time, a whole number of slices, so a key the queue
// holds down stays down for the monitor's two scans of it; in turbo it follows the wall clock.
std::int32_t periodsSinceHousekeeping = 0;
Clock::time_point housekeepingDue;

// Turbo's slices, one per turn of the event loop; a child of the main window, made when first needed.
QPointer<QTimer> turboTimer;
// Cycles of the next turbo slice, aimed at TURBO_SLICE_MS of host time.
std::int32_t turboBudget = TURBO_FIRST_BUDGET;
// The emulated speed over the last second of turbo.
Clock::time_point speedSince;
std::uint32_t speedCycles = 0;

// The tape's notes are sent as its slices run: while they sound the pacer wakes every period, so that
// they keep their time.
void choosePacerStride() {
    const bool sounding = (tape.tapeState & TAPE_MIDI_OPEN) && !runInputs.mute;
    pacerSetStride(sounding ? 1 : PACER_STRIDE);
}

void showSpeed(double mhz) {
    QString part;
    if (runInputs.turbo)
        part =
            mhz > 0 ? QString("Turbo %1%2").arg(QChar(0x00D7)).arg(mhz, 0, 'f', mhz < 10 ? 1 : 0) : "Turbo";
    setTitlePart(TITLE_SPEED, part);
}

void pacedHousekeeping(std::int32_t periods) {
    const auto every = static_cast<std::int32_t>(BOARD_TICK_MS / runControl.minTimer);
    periodsSinceHousekeeping += periods;
    if (periodsSinceHousekeeping < every) return;
    // One pass a slice, and the next a whole period of machine time later: after a long slice the
    // rest is not carried over, or the next pass would come early and a typed key be let go after
    // less than the monitor's two scans of it.
    periodsSinceHousekeeping = 0;
    housekeepingTick();
}

void turboHousekeeping() {
    const auto now = Clock::now();
    if (now < housekeepingDue) return;
    housekeepingDue += HOUSEKEEPING_PERIOD;
    // After a stall the ticks lost are given up rather than made up in a burst.
    if (now >= housekeepingDue) housekeepingDue = now + HOUSEKEEPING_PERIOD;
    if (runInputs.turbo && now - speedSince >= std::chrono::seconds(1)) {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now - speedSince).count();
        const auto now32 = static_cast<std::uint32_t>(cpu.cycles);
        showSpeed(static_cast<double>(now32 - speedCycles) / static_cast<double>(us));
        speedSince = now;
        speedCycles = now32;
    }
    housekeepingTick();
}

void turboSlice() {
    if (runInputs.halted || !runInputs.turbo) return;
    const auto start = Clock::now();
    const auto before = static_cast<std::uint32_t>(cpu.cycles);
    runPacedSlice(turboBudget);
    if (runInputs.halted) return;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    const auto ran = static_cast<std::uint32_t>(cpu.cycles) - before;
    if (us > 0) {
        // Halfway to the budget that would have taken the slice's time, so one slow turn (the host
        // busy elsewhere) does not halve the next.
        const double aimed = static_cast<double>(ran) * TURBO_SLICE_MS * 1000.0 / static_cast<double>(us);
        turboBudget = static_cast<std::int32_t>(
            std::clamp((turboBudget + aimed) / 2, double(TURBO_MIN_BUDGET), double(TURBO_MAX_BUDGET)));
    }
    turboHousekeeping();
}

// Whatever drives the slices, the pacer or turbo's timer; while one does, the slices carry the
// housekeeping.
void startPacing() {
    if (runInputs.turbo) {
        if (!windowParts.mainWindow) return;
        if (!turboTimer) {
            turboTimer = new QTimer(windowParts.mainWindow);
            QObject::connect(turboTimer, &QTimer::timeout, turboSlice);
        }
        turboTimer->start(0);
        speedSince = Clock::now();
        speedCycles = static_cast<std::uint32_t>(cpu.cycles);
    } else {
        choosePacerStride();
        // The pacer needs no timer resolution request; without a thread the state stays Running with
        // no ticks, and Halt brings it back.
        if (!pacerStart(runControl.minTimer)) {
            trace("timeSetEvent error: %d\n", 0);
            return;
        }
    }
    periodsSinceHousekeeping = 0;
    housekeepingDue = Clock::now() + HOUSEKEEPING_PERIOD;
    if (windowParts.mainWindow) windowParts.mainWindow->stopHousekeeping();
}

void stopPacing() {
    pacerStop();
    if (turboTimer) turboTimer->stop();
    if (windowParts.mainWindow) windowParts.mainWindow->startHousekeeping();
}

} // namespace

void startRunning() {
    if (!runInputs.halted) return;
    runInputs.halted = false;
    if (runInputs.debug) repaintArea(AREA_DEBUG);
    trace("Running, minTimer=%d...\n", static_cast<int>(runControl.minTimer));
    startPacing();
}

void haltRunning() {
    if (runInputs.halted) return;
    runInputs.halted = true;
    stopPacing();
    if (tape.tapeState & TAPE_MIDI_OPEN) tapeSilence();
    trace("Halted.  Events: %ld, overruns: %ld\n",
          static_cast<long>(runState.events.load(std::memory_order_relaxed)),
          static_cast<long>(runState.overruns.load(std::memory_order_relaxed)));
    if (runInputs.debug) repaintArea(AREA_DEBUG);
    showSpeed(0);
}

void turboCommand() {
    // The note sounding now is silenced while it still can be.
    if (!runInputs.turbo && (tape.tapeState & TAPE_MIDI_OPEN)) tapeSilence();
    const bool running = !runInputs.halted;
    if (running) stopPacing();
    runInputs.turbo = !runInputs.turbo;
    trace(runInputs.turbo ? "Turbo on\n" : "Turbo off\n");
    if (running) startPacing();
    showSpeed(0);
}

void tickCommand() {
    // Ticks still queued from before a halt fall through here.
    const std::int32_t periods = pacerTakeOwed();
    if (runInputs.halted || runInputs.turbo || periods <= 0) return;
    runPacedSlice(periods * static_cast<std::int32_t>(runControl.minTimer * 1000));
    if (!runInputs.halted) pacedHousekeeping(periods);
}

void runCommand() {
    if (!runInputs.halted) return;
    // The first instruction runs while still halted, so a breakpoint at PC lets the machine move on.
    runPacedSlice(1);
    // Anything that stopped the first instruction keeps the machine halted.
    if (!(runControl.sliceStatus & (SLICE_BADOP | SLICE_BREAK | SLICE_WATCH))) startRunning();
}

void stepCommand() {
    if (!runInputs.halted) return;
    runPacedSlice(1);
    if (runInputs.debug) repaintArea(AREA_DEBUG);
}

void resetCommand() {
    trace("Reset...\n");
    haltRunning();
    cpuRequestReset();
    if (windowParts.mainWindow) windowParts.mainWindow->setFocus();
    startRunning();
}

void housekeepingTick() {
    if (tape.tapeState != 0) stopFailedRecording();
    const std::uint8_t events = boardTick();
    if (runControl.rectSaveDue > 0 && board.ticks > runControl.rectSaveDue) {
        runControl.rectSaveDue = 0;
        readWindowPlace();
        saveScreenSettings();
        trace(".ini updated\n");
    }
    if (events & BOARD_TAPE_MOVED) repaintArea(AREA_DISPLAY);
    if (events & BOARD_TAPE_STOP) postCommand(CMD_TAPE_STOP);
    advanceKeyQueue();
    if (!runInputs.halted && !runInputs.turbo) choosePacerStride();
}

void scheduleRectSave() {
    // Moves during window creation, before the first tick, schedule nothing.
    if (board.ticks > 0) runControl.rectSaveDue = board.ticks + RECT_SAVE_DELAY;
}

void pauseRunning() {
    if (runInputs.halted) return;
    trace("Pausing...\n");
    haltRunning();
    runControl.paused = true;
}

void unpauseRunning() {
    if (!runControl.paused) return;
    runControl.paused = false;
    trace("Unpausing...\n");
    startRunning();
}

} // namespace orv
