#include "control/run_control.h"

#include "control/commands.h"
#include "control/keypad.h"
#include "control/main_window.h"
#include "control/pacer.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/host.h"
#include "machine/latch.h"
#include "machine/text_format.h"
#include "machine/trace.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "tape/tape.h"
#include "tape/tape_commands.h"

#include <QMessageBox>

namespace orv {

unsigned minTimer = 1;
bool paused = false;
std::uint8_t sliceStatus = 0;
std::int32_t uiTick = 0;
std::int32_t rectSaveDue = 0;
std::int32_t tapeStopDue = 0;

void runPacedSlice(std::int32_t budget) {
    sliceStatus = debug ? SLICE_ARMED : 0;
    cpuExecute(budget, sliceStatus);
    if (sliceStatus & SLICE_BADOP) {
        haltRunning();
        const std::uint16_t pc = cpuGetPc();
        QMessageBox::critical(mainWindow, "Halted...",
                              formatText("Invalid opcode '%02x' at PC:%04x", busRead(pc), pc).c_str());
    }
    if (sliceStatus & (SLICE_BREAK | SLICE_WATCH)) haltRunning();
}

void startRunning() {
    if (!halted) return;
    halted = false;
    if (debug) repaintArea(AREA_DEBUG);
    trace("Running, minTimer=%d...\n", static_cast<int>(minTimer));
    // The pacer needs no timer resolution request; without a thread the state stays Running with no
    // ticks, and Halt brings it back.
    if (!pacerStart(minTimer)) trace("timeSetEvent error: %d\n", 0);
}

void haltRunning() {
    if (halted) return;
    halted = true;
    pacerStop();
    if (tape.tapeState & TAPE_MIDI_OPEN) tapeSilence();
    trace("Halted.  Events: %ld, overruns: %ld\n", static_cast<long>(events.load(std::memory_order_relaxed)),
          static_cast<long>(overruns.load(std::memory_order_relaxed)));
    if (debug) repaintArea(AREA_DEBUG);
}

void tickCommand() {
    // Ticks still queued from before a halt fall through here.
    if (!halted) runPacedSlice(static_cast<std::int32_t>(minTimer * 1000));
}

void runCommand() {
    if (!halted) return;
    // The first instruction runs while still halted, so a breakpoint at PC lets the machine move on.
    runPacedSlice(1);
    // Anything that stopped the first instruction keeps the machine halted.
    if (!(sliceStatus & (SLICE_BADOP | SLICE_BREAK | SLICE_WATCH))) startRunning();
}

void stepCommand() {
    if (!halted) return;
    runPacedSlice(1);
    if (debug) repaintArea(AREA_DEBUG);
}

void resetCommand() {
    trace("Reset...\n");
    haltRunning();
    cpuRequestReset();
    if (mainWindow) mainWindow->setFocus();
    startRunning();
}

void housekeepingTick() {
    ++uiTick;
    if (rectSaveDue > 0 && uiTick > rectSaveDue) {
        rectSaveDue = 0;
        saveScreenSettings();
        trace(".ini updated\n");
    }
    if (tape.tapeState != 0) {
        stopFailedRecording();
        const bool active = tapeActive(cycles);
        if (active && (tape.tapeState & TAPE_WAITING)) {
            tape.tapeState ^= TAPE_WAITING | TAPE_ACTIVE;
            repaintArea(AREA_DISPLAY);
        } else if (!active && (tape.tapeState & TAPE_ACTIVE)) {
            tape.tapeState ^= TAPE_ACTIVE | TAPE_ENDED;
            repaintArea(AREA_DISPLAY);
            tapeStopDue = uiTick + TAPE_STOP_DELAY;
        }
        if (tapeStopDue != 0 && uiTick > tapeStopDue) {
            tapeStopDue = 0;
            postCommand(CMD_TAPE_STOP);
        }
    }
    advanceKeyQueue();
    fadeDigits();
}

void scheduleRectSave() {
    // Moves during window creation, before the first tick, schedule nothing.
    if (uiTick > 0) rectSaveDue = uiTick + RECT_SAVE_DELAY;
}

void pauseRunning() {
    if (halted) return;
    trace("Pausing...\n");
    haltRunning();
    paused = true;
}

void unpauseRunning() {
    if (!paused) return;
    paused = false;
    trace("Unpausing...\n");
    startRunning();
}

} // namespace orv
