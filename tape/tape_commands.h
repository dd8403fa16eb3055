// Tape Record and Tape Play as the user gives them: the MIDI-file dialogs and the failure boxes.
#pragma once

namespace orv {

// Asks for a file and starts recording into it; a failure offers Retry. Returns true when recording
// started.
bool recordTapeCommand();
// Asks for a file and starts playing it; a failure offers Retry.
void playTapeCommand();
// Stops a recording that failed while the machine ran, through Tape Stop, which shows why. Called by
// the housekeeping tick.
void stopFailedRecording();

} // namespace orv
