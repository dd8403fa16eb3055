// One known starting point for the settings tests and the settings fuzz target: a program in /opt/orv/
// on a 1920 x 1080 screen. Not a copy of the program's defaults: the tests of those check them as
// written down.
#pragma once

#include "base/run_inputs.h"
#include "settings/flags.h"
#include "settings/settings.h"

namespace orv::test {

inline void settingsStartDefaults() {
    settings.screenWidth = 1920;
    settings.screenHeight = 1080;
    settings.windowRect = {-1, 0, 0, 0};
    settings.currFileDir = "/opt/orv/";
    settings.currFileObj.clear();
    settings.currFileMid.clear();
    settings.saveAddrStart = "0000";
    settings.saveAddrEnd = "00FF";
    switches.menu = switches.keys = 1;
    runInputs.debug = runInputs.mute = runInputs.diag = 0;
    settings.debugM = settings.debugG = settings.debugP = 0;
}

} // namespace orv::test
