// The pacer: a thread that wakes at absolute deadlines minTimer ms apart and posts the tick command.
// It exists only while the machine runs.
#pragma once

namespace orv {

// One deadline's work, on the pacer thread: count it, then post a tick unless a slice still runs.
void timerCallback();

// False when the thread could not be started.
bool pacerStart(unsigned periodMs);
void pacerStop();
bool pacerRunning();

} // namespace orv
