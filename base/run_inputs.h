// What the one who drives the board (the program or orv-run) tells the core about the run. The machine,
// the debugger and the tape only read these; the settings file keeps debug, mute and diag.
#pragma once

#include <cstdint>

namespace orv {

struct RunInputs {
    // True while the machine is not being paced. The program writes it only in startRunning and haltRunning.
    bool halted = true;
    // The machine runs as fast as the host allows instead of at 1 MHz; the tape then sends no notes.
    bool turbo = false;
    // The debug panel is shown: breakpoints are armed. A byte, non-zero meaning on, kept in the settings
    // file.
    std::uint8_t debug = 0;
    // The tape's notes are not sent. A byte, non-zero meaning on, kept in the settings file.
    std::uint8_t mute = 0;
    // The diagnostic trace (base/trace.h) prints. A byte, non-zero meaning on, kept in the settings file.
    std::uint8_t diag = 0;
};
extern RunInputs runInputs;

} // namespace orv
