#include "tape/tape_commands.h"

#include "base/trace.h"
#include "board/board.h"
#include "control/commands.h"
#include "control/main_window.h"
#include "control/message_box.h"
#include "control/program_files.h"
#include "objfile/file_dialog.h"
#include "tape/tape.h"

#include <string>

namespace orv {

namespace {

// The open or save dialog for MIDI files.
bool chooseMidiFile(bool saving, const char* title, ChosenFile& chosen) {
    return chooseFile(FileKind::Midi, saving, title, chosen);
}

} // namespace

bool recordTapeCommand() {
    // The menu offers Record only while no tape runs; a late command has nothing to do.
    if (tape.tapeState != 0) return false;
    for (;;) {
        ChosenFile chosen;
        if (!chooseMidiFile(true, "Start Recording...", chosen)) return false;
        trace("Recording to %s...\n", chosen.title.c_str());
        std::string message;
        tapeStartRecording(TAPE_LABEL, chosen.path, message);
        if (message.empty()) {
            // An automatic stop still due from the previous tape is not this one's.
            board.tapeStopDue = 0;
            return true;
        }
        if (tape.tapeState != 0) {
            // The head could not be written: a file without it is no tape, whatever follows. Closed
            // at once, so neither a retry nor a later Tape Stop finishes it as if it were sound.
            std::string ignored;
            tapeStop(ignored);
        }
        if (!showFailureBox("Error starting recording", message, true)) return false;
    }
}

void playTapeCommand() {
    if (tape.tapeState != 0) return;
    for (;;) {
        ChosenFile chosen;
        if (!chooseMidiFile(false, "Play MIDI file...", chosen)) return;
        trace("Playing %s...\n", chosen.title.c_str());
        std::string message;
        tapeStartPlaying(chosen.path, message);
        if (message.empty()) {
            noteFileUsed(chosen.path, ProgramFileKind::Tape);
            board.tapeStopDue = 0;
            return;
        }
        if (!showFailureBox("Cannot play this file", message, true)) return;
    }
}

void stopFailedRecording() {
    // The new file is spoilt: the user hears of it now, not at a Tape Stop that may come much later.
    if ((tape.tapeState & TAPE_RECORDING) && !tape.tapeMessage.empty()) postCommand(CMD_TAPE_STOP);
}

} // namespace orv
