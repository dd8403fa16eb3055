// One known starting point for the settings tests and the settings fuzz target: a program in /opt/orv/
// on a 1920 x 1080 screen. Not a copy of the program's defaults: the tests of those check them as
// written down.
#pragma once

#include "base/run_inputs.h"
#include "settings/flags.h"
#include "settings/settings.h"

namespace orv::test {

inline void settingsStartDefaults() {
    screenWidth = 1920;
    screenHeight = 1080;
    windowRect = {-1, 0, 0, 0};
    currFileDir = "/opt/orv/";
    currFileObj.clear();
    currFileMid.clear();
    saveAddrStart = "0000";
    saveAddrEnd = "00FF";
    switches.menu = switches.keys = 1;
    runInputs.debug = runInputs.mute = runInputs.diag = 0;
    debugM = debugG = debugP = 0;
}

} // namespace orv::test
