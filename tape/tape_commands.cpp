#include "tape/tape_commands.h"

#include "base/file_results.h"
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

bool recordTapeCommand() {
    // The menu offers Record only while no tape runs; a late command has nothing to do.
    if (tape.tapeState != 0) return false;
    bool started = false;
    return withChosenFile(FileKind::Midi, true, "Start Recording...",
                          [&started](const ChosenFile& chosen) {
                              trace("Recording to %s...\n", chosen.title.c_str());
                              std::string message;
                              tapeStartRecording(TAPE_LABEL, chosen.path, message);
                              if (message.empty()) {
                                  // An automatic stop still due from the previous tape is not this one's.
                                  board.tapeStopDue = 0;
                                  started = true;
                                  return false;
                              }
                              if (tape.tapeState != 0) {
                                  // The head could not be written: a file without it is no tape, whatever
                                  // follows. Closed at once, so neither a retry nor a later Tape Stop
                                  // finishes it as if it were sound.
                                  std::string ignored;
                                  tapeStop(ignored);
                              }
                              return showFailureBox(RECORD_FAILED_CAPTION, message, true);
                          }) &&
           started;
}

void playTapeCommand() {
    if (tape.tapeState != 0) return;
    withChosenFile(FileKind::Midi, false, "Play MIDI file...", [](const ChosenFile& chosen) {
        trace("Playing %s...\n", chosen.title.c_str());
        std::string message;
        tapeStartPlaying(chosen.path, message);
        if (message.empty()) {
            noteFileUsed(chosen.path, ProgramFileKind::Tape);
            board.tapeStopDue = 0;
            return false;
        }
        return showFailureBox(PLAY_FAILED_CAPTION, message, true);
    });
}

void stopFailedRecording() {
    // The new file is spoilt: the user hears of it now, not at a Tape Stop that may come much later.
    if ((tape.tapeState & TAPE_RECORDING) && !tape.tapeMessage.empty()) postCommand(CMD_TAPE_STOP);
}

} // namespace orv
