#include "control/commands.h"

#include "base/file_results.h"
#include "base/run_inputs.h"
#include "base/trace.h"
#include "control/edit_commands.h"
#include "control/guide.h"
#include "control/keypad.h"
#include "control/main_window.h"
#include "control/menus.h"
#include "control/message_box.h"
#include "control/program_files.h"
#include "control/run_control.h"
#include "control/startup.h"
#include "control/state_commands.h"
#include "debugger/debugger_window.h"
#include "machine/cpu.h"
#include "machine/host.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "objfile/about_dialog.h"
#include "objfile/file_commands.h"
#include "objfile/save_dialog.h"
#include "tape/tape.h"
#include "tape/tape_commands.h"

#include <QCoreApplication>

#include <string>

namespace orv {

void postCommand(int command) {
    if (!windowParts.mainWindow) return;
    auto* event = new CommandEvent(command);
    handOverEvent(event);
    QCoreApplication::postEvent(windowParts.mainWindow, event);
}

void powerCycleCommand() {
    haltRunning();
    machinePowerOn();
    rioReset();
    playClickSound();
    trace("%s\n", registerLine().c_str());
    // Every register changed under a halted debug panel.
    if (runInputs.debug) repaintArea(AREA_DEBUG);
}

void restoreMonitorCommand() {
    haltRunning();
    loadMonitor();
    powerCycleCommand();
}

void onCommand(int command) {
    switch (command) {
    case CMD_TICK: tickCommand(); break;
    case CMD_STEP: stepCommand(); break;
    case CMD_HALT: haltRunning(); break;
    case CMD_RUN: runCommand(); break;
    case CMD_RUN_HALT: postCommand(runInputs.halted ? CMD_RUN : CMD_HALT); break;
    case CMD_RESET: resetCommand(); break;
    case CMD_TURBO: turboCommand(); break;
    case CMD_SAVE_AS: saveRangeDialog(); break;
    case CMD_LOAD:
        loadObjectCommand();
        if (runInputs.debug) repaintArea(AREA_DEBUG);
        break;
    case CMD_ABOUT: aboutDialog(); break;
    case CMD_TAPE_RECORD:
        if (recordTapeCommand()) repaintArea(AREA_DISPLAY);
        break;
    case CMD_TAPE_PLAY:
        playTapeCommand();
        repaintArea(AREA_DISPLAY);
        break;
    case CMD_TAPE_STOP: {
        std::string message;
        tapeStop(message);
        if (!message.empty()) showFailureBox(TAPE_MESSAGE_CAPTION, message);
        repaintArea(AREA_DISPLAY);
        break;
    }
    case CMD_EXIT:
        // A close request, handled after this command like the window frame's own.
        QMetaObject::invokeMethod(windowParts.mainWindow, &QWidget::close, Qt::QueuedConnection);
        break;
    case CMD_TAPE_MUTE: runInputs.mute = !runInputs.mute; break;
    case CMD_LOAD_BINARY: loadBinaryCommand(); break;
    case CMD_SAVE_BINARY: saveBinaryCommand(); break;
    case CMD_RECENT_FILES: break;
    case CMD_RELOAD: reloadCommand(); break;
    case CMD_RELOAD_ON_CHANGE: toggleReloadOnChange(); break;
    case CMD_SAVE_SCREENSHOT: saveScreenshotCommand(); break;
    case CMD_PASTE_KEYS: pasteAsKeysCommand(); break;
    case CMD_STOP_PASTE: stopPasteCommand(); break;
    case CMD_PASTE_MEMORY: pasteIntoMemoryCommand(); break;
    case CMD_COPY_DISPLAY: copyDisplayCommand(); break;
    case CMD_SAVE_STATE: saveStateCommand(); break;
    case CMD_LOAD_STATE: loadStateCommand(); break;
    case CMD_QUICK_SAVE: quickSaveCommand(); break;
    case CMD_QUICK_LOAD: quickLoadCommand(); break;
    case CMD_IRQ:
        trace("IRQ...\n");
        cpuRequestIrq();
        break;
    case CMD_NMI:
        trace("NMI...\n");
        cpuRequestNmi();
        break;
    case CMD_POWER: powerCycleCommand(); break;
    case CMD_RESTORE_MONITOR: restoreMonitorCommand(); break;
    case CMD_MENU: toggleMenuBar(); break;
    case CMD_KEYBOARD: toggleKeys(); break;
    case CMD_DEBUG: toggleDebug(); break;
    case CMD_DEBUGGER_WINDOW: toggleDebuggerWindow(); break;
    case CMD_WEBSITE: openGuidePage(GUIDE_HOME_PAGE); break;
    case CMD_EMULATOR_PAGES: openGuidePage(GUIDE_EMULATOR_PAGE); break;
    default:
        // Key commands 0-23 and every number without a case of its own: the keypad input's.
        keyCommand(command);
        break;
    }
}

} // namespace orv
