// The settings file "orv.ini" and the values it keeps between runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

struct WindowRect {
    std::int32_t left, top, right, bottom;
};

struct SettingsRecord {
    // The main window's outer rectangle as last recorded on a move or size; left < 0 means no saved place.
    WindowRect windowRect = {-1, 0, 0, 0};
    // The primary screen's size, measured once at start-up before the settings are read.
    int screenWidth = 0;
    int screenHeight = 0;
    // Full path of the settings file, set at start-up.
    std::string settingsPath;
    // The settings to start from while settingsPath does not exist yet (the file beside a program whose
    // own folder cannot be written); empty for none. The first write copies it to settingsPath whole.
    std::string settingsSeedPath;

    // Texts of the "User" section, at most 256 characters (the range texts at most 4).
    std::string currFileDir;
    std::string currFileObj;
    std::string currFileMid;
    std::string saveAddrStart = "0000";
    std::string saveAddrEnd = "00FF";

    // The debugger's memory, go and breakpoint addresses (the keypad input edits them; kept here between
    // runs).
    std::uint16_t debugM = 0;
    std::uint16_t debugG = 0;
    std::uint16_t debugP = 0;
};

extern SettingsRecord settings;

// The debugger window's own section "Debugger": its place and size, whether it is open, and its
// panes' choices. Written only once the window has been opened or the file already had the section,
// so a program that never opens it writes the file as before.
struct DebuggerSettings {
    bool present = false;
    std::int32_t left = -1, top = -1, width = 0, height = 0; // left < 0: no saved place
    std::uint8_t open = 0;
    std::uint8_t history = 0;      // the history is recorded
    std::uint8_t romWrites = 0;    // the memory pane may write to ROM
    std::uint16_t memory = 0;      // the memory pane's first row
    std::int32_t traceLimit = 100; // MiB, the trace's limit; in a section of its own
    // The breakpoints and watchpoints, each as breakpointSaveText writes it; in a section of its own.
    std::vector<std::string> points;
    // Label files the user loaded, to load again at the next start; any name, kept in a section of its own.
    // The older key "labels" (names joined by ';') is still read when that section is missing, and written
    // with the names it can hold.
    std::vector<std::string> labelFiles;
};
extern DebuggerSettings debuggerSettings;

// For the sections kept by other modules: the file to read them from (the user's own once it exists,
// else the one it starts from), and the one way to write a key.
std::string settingsReadPath();
void settingsWrite(const char* section, const char* key, const std::string& value);

void loadSettings();
void saveSettings();
void saveScreenSettings();
void saveUserSettings();
// The "Debugger" section, when it is kept at all (saveSettings includes it).
void saveDebuggerSettings();

} // namespace orv
