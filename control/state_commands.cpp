#include "control/state_commands.h"

#include "base/file_names.h"
#include "base/file_results.h"
#include "base/run_inputs.h"
#include "base/trace.h"
#include "board/board.h"
#include "control/main_window.h"
#include "control/message_box.h"
#include "control/run_control.h"
#include "debugger/debugger_window.h"
#include "debugger/stepping.h"
#include "files/safe_file.h"
#include "machine/host.h"
#include "machine/save_state.h"
#include "objfile/file_commands.h"
#include "objfile/file_dialog.h"
#include "settings/settings.h"
#include "tape/tape.h"

#include <QString>

#include <filesystem>

namespace orv {

namespace {

// Saves and reports; true when the user chose Retry after a failure. `quiet`: a plain success shows nothing.
bool saveTo(const std::string& path, bool quiet) {
    std::string message;
    const bool saved = saveStateFile(path, message);
    if (!saved) return showFailureBox(SAVE_FAILED_CAPTION, message, true);
    if (!quiet || !message.empty()) {
        QString report = messageText(stateSavedText(bareName(path)));
        if (!message.empty()) report += "\n\n" + messageText(message);
        showFileSuccess(SAVE_DONE_CAPTION, report);
    }
    return false;
}

// Loads and reports, the same way. The machine is halted while its board is replaced and then runs or
// stays halted as the state was saved; after a refused state it goes on as it was.
bool loadFrom(const std::string& path, bool quiet) {
    const bool wasRunning = !runInputs.halted;
    haltRunning();
    std::string message;
    if (!loadStateFile(path, message)) {
        if (wasRunning) startRunning();
        return showFailureBox(LOAD_FAILED_CAPTION, message, true);
    }
    // A step over or out aimed at where the old program stood.
    if (stepActive() && debuggerParts.debuggerWindow) debuggerParts.debuggerWindow->stopStep();
    board.tapeStopDue = 0;
    repaintArea(AREA_DISPLAY);
    if (runInputs.debug) repaintArea(AREA_DEBUG);
    if (debuggerWindowShown()) debuggerParts.debuggerWindow->refreshViews();
    // What stopping the tape had to say, in the box Tape Stop shows it in.
    if (!message.empty()) showFailureBox(TAPE_MESSAGE_CAPTION, message);
    if (!quiet) showFileSuccess(LOAD_DONE_CAPTION, messageText(stateLoadedText(bareName(path))));
    if (!loadedStateHalted()) startRunning();
    return false;
}

} // namespace

std::string quickStatePath() {
    return (std::filesystem::path(settings.settingsPath).parent_path() /
            (std::string("quick.") + STATE_EXTENSION))
        .string();
}

void saveStateCommand() {
    withChosenFile(FileKind::State, true, "Save State...", [](const ChosenFile& chosen) {
        trace("Saving state to %s...\n", chosen.title.c_str());
        return saveTo(chosen.path, false);
    });
}

void loadStateCommand() {
    withChosenFile(FileKind::State, false, "Load State...", [](const ChosenFile& chosen) {
        trace("Loading state from %s...\n", chosen.title.c_str());
        return loadFrom(chosen.path, false);
    });
}

void quickSaveCommand() {
    while (saveTo(quickStatePath(), true)) {
    }
}

void quickLoadCommand() {
    // Nothing saved yet: no Retry, which could never succeed.
    if (readRefusal(quickStatePath()) == FileRefusal::Missing) {
        showMessageBox(windowParts.mainWindow, QMessageBox::Information, QUICK_LOAD_CAPTION,
                       NO_QUICK_SAVE_TEXT);
        return;
    }
    while (loadFrom(quickStatePath(), true)) {
    }
}

} // namespace orv
