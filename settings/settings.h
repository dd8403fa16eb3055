// The settings file "orv.ini" and the values it keeps between runs.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

struct WindowRect {
    std::int32_t left, top, right, bottom;
};

// The main window's outer rectangle as last recorded on a move or size; left < 0 means no saved place.
extern WindowRect windowRect;
// The primary screen's size, measured once at start-up before the settings are read.
extern int screenWidth;
extern int screenHeight;
// Full path of the settings file, set at start-up.
extern std::string settingsPath;
// The settings to start from while settingsPath does not exist yet (the file beside a program whose
// own folder cannot be written); empty for none. The first write copies it to settingsPath whole.
extern std::string settingsSeedPath;

// Texts of the "User" section, at most 256 characters (the range texts at most 4).
extern std::string currFileDir;
extern std::string currFileObj;
extern std::string currFileMid;
extern std::string saveAddrStart;
extern std::string saveAddrEnd;

// The debugger's memory, go and breakpoint addresses (the keypad input edits them; kept here between runs).
extern std::uint16_t debugM;
extern std::uint16_t debugG;
extern std::uint16_t debugP;

// For the sections kept by other modules: the file to read them from (the user's own once it exists,
// else the one it starts from), and the one way to write a key.
std::string settingsReadPath();
void settingsWrite(const char* section, const char* key, const std::string& value);

void loadSettings();
void saveSettings();
void saveScreenSettings();
void saveUserSettings();

} // namespace orv
