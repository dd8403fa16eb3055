// The one way the program ends, whatever ends it: Exit, closing the window, SIGTERM, SIGINT and
// SIGHUP, or the display going away.
#pragma once

namespace orv {

// Halts the machine (its pacer thread stopped), stops housekeeping, stops any tape (a recording is
// finished as a complete file) and writes the settings. Every call ends what runs by then; a call made
// while one is under way does nothing.
void endProgram();
// True once endProgram has run: what was still to come gives up.
bool programEnded();
// After start-up: SIGTERM, SIGINT and SIGHUP close the main window as Exit does (a second one ends
// the program on the spot; one ignored from the start stays ignored), and an exit() from inside the
// toolkit, which is how it gives up on a lost display, still ends the program through endProgram.
void catchEndings();

} // namespace orv
