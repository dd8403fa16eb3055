// The settings as start-up forms them before reading the file, for a program in /opt/orv/ on a
// 1920 x 1080 screen: where the settings tests and the settings fuzz target start from.
#pragma once

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
    menu = keys = 1;
    debug = mute = diag = 0;
    debugM = debugG = debugP = 0;
}

} // namespace orv::test
