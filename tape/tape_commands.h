// Tape Record and Tape Play as the user gives them: the MIDI-file dialogs and the failure boxes.
#pragma once

namespace orv {

// The text of the Text event at the head of every recording.
constexpr const char* TAPE_LABEL = "Orvane bytes";

// Asks for a file and starts recording into it; a failure offers Retry. Returns true when recording
// started.
bool recordTapeCommand();
// Asks for a file and starts playing it; a failure offers Retry.
void playTapeCommand();
// Stops a recording that failed while the machine ran, through Tape Stop, which shows why. Called by
// the housekeeping tick.
void stopFailedRecording();

} // namespace orv
