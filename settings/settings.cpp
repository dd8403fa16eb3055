#include "settings/settings.h"

#include "base/address.h"
#include "base/hex_digits.h"
#include "base/run_inputs.h"
#include "base/text_format.h"
#include "files/safe_file.h"
#include "settings/flags.h"
#include "settings/profile.h"

#include <algorithm>
#include <cstdio>

namespace orv {

SettingsRecord settings;
DebuggerSettings debuggerSettings;

namespace {

constexpr std::int32_t MISSING = INT32_MIN;
constexpr std::size_t FILE_TEXT_SIZE = 257;
constexpr std::size_t ADDRESS_TEXT_SIZE = 5;

// The file the settings are read from: the user's own once it exists, else the one it starts from.
std::string settingsSource() {
    const FileRefusal why = readRefusal(settings.settingsPath);
    if (why == FileRefusal::None) return settings.settingsPath;
    return why == FileRefusal::Missing && !settings.settingsSeedPath.empty() ? settings.settingsSeedPath
                                                                             : settings.settingsPath;
}

std::uint8_t readFlag(const std::string& from, const char* section, const char* key,
                      std::int32_t defaultValue) {
    // Stored in a byte, as the flags always were.
    return static_cast<std::uint8_t>(profileReadInt(from, section, key, defaultValue));
}

// Each pair converts on its own; a pair that is not hex, or is cut short, gives 0.
std::uint16_t readAddress(const std::string& from, const char* key) {
    const std::string text = profileReadString(from, "Debug", key, "0000", ADDRESS_TEXT_SIZE);
    return *addressValue(text, SETTINGS_PAIRS);
}

// Every write goes through here: a user file that does not exist yet first takes the whole of the file
// the settings were read from, so that keys the program never writes ("diag") and other sections stay.
void write(const char* section, const char* key, const std::string& value) {
    if (!settings.settingsSeedPath.empty()) {
        std::string content;
        FileRefusal why;
        if (readRefusal(settings.settingsPath) == FileRefusal::Missing &&
            readWhole(settings.settingsSeedPath, NO_READ_LIMIT, content, why))
            replaceWhole(settings.settingsPath, content, why);
    }
    profileWriteString(settings.settingsPath, section, key, value);
}

void writeInt(const char* section, const char* key, long value) {
    write(section, key, std::to_string(value));
}

void writeFlag(const char* section, const char* key, std::uint8_t flag) {
    write(section, key, flag ? "1" : "0");
}

void writeAddress(const char* key, std::uint16_t address) {
    write("Debug", key, formatText("%04x", address));
}

// The label files' own section. Each name is kept whole: the bytes a settings line cannot hold (line
// breaks, blanks the reader trims), the separator ';' and '%' itself are written as %XX.
constexpr const char* LABELS_SECTION = "DebuggerLabels";
constexpr const char* TRACE_SECTION = "DebuggerTrace";
constexpr const char* POINTS_SECTION = "DebuggerBreakpoints";
constexpr const char* LABELS_KEY = "files";
// Never written by encodeNames: tells a missing key from an empty list.
constexpr const char* LABELS_MISSING = "%";
constexpr std::size_t LABELS_TEXT_SIZE = 1 << 20;
constexpr std::size_t OLD_LABELS_TEXT_SIZE = 4096;

std::string encodeNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        if (!text.empty()) text += ';';
        for (const char c : name) {
            const auto byte = static_cast<unsigned char>(c);
            text += byte > ' ' && byte != 0x7F && c != '%' && c != ';' ? std::string(1, c)
                                                                       : formatText("%%%02X", byte);
        }
    }
    return text;
}

// Splits at every ';', dropping empty names; with decode, %XX gives its byte back.
std::vector<std::string> splitNames(const std::string& text, bool decode) {
    std::vector<std::string> names(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        int error = 0;
        // Reads no further than the string's end.
        const std::uint8_t byte = decode && text[i] == '%' ? hexByteValue(text.c_str() + i + 1, error) : 0;
        if (text[i] == ';') {
            names.emplace_back();
        } else if (decode && text[i] == '%' && error == 0) {
            names.back() += static_cast<char>(byte);
            i += 2;
        } else {
            names.back() += text[i];
        }
    }
    std::erase_if(names, [](const std::string& name) { return name.empty(); });
    return names;
}

// The older key: the names joined by ';', leaving out those it cannot hold.
std::string joinedForOldKey(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        if (name.find_first_of(";\r\n") != std::string::npos || name.front() == ' ' || name.front() == '\t' ||
            name.back() == ' ' || name.back() == '\t')
            continue;
        if (!text.empty()) text += ';';
        text += name;
    }
    return text;
}

} // namespace

std::string settingsReadPath() {
    return settingsSource();
}

void settingsWrite(const char* section, const char* key, const std::string& value) {
    write(section, key, value);
}

void loadSettings() {
    const std::string from = settingsSource();
    WindowRect place;
    place.left = profileReadInt(from, "Screen", "mainLeft", MISSING);
    place.top = profileReadInt(from, "Screen", "mainTop", MISSING);
    place.right = profileReadInt(from, "Screen", "mainRight", MISSING);
    place.bottom = profileReadInt(from, "Screen", "mainBottom", MISSING);
    const bool usable = place.left >= 0 && place.left <= static_cast<long long>(settings.screenWidth) - 10 &&
                        place.top >= 0 && place.top <= static_cast<long long>(settings.screenHeight) - 10 &&
                        place.right >= 0 && place.bottom >= 0;
    if (!usable) place.left = -1;
    settings.windowRect = place;

    settings.currFileDir =
        profileReadString(from, "User", "currFileDir", settings.currFileDir, FILE_TEXT_SIZE);
    settings.currFileObj =
        profileReadString(from, "User", "currFileObj", settings.currFileObj, FILE_TEXT_SIZE);
    settings.currFileMid =
        profileReadString(from, "User", "currFileMid", settings.currFileMid, FILE_TEXT_SIZE);
    settings.saveAddrStart =
        profileReadString(from, "User", "saveAddrStart", settings.saveAddrStart, ADDRESS_TEXT_SIZE);
    settings.saveAddrEnd =
        profileReadString(from, "User", "saveAddrEnd", settings.saveAddrEnd, ADDRESS_TEXT_SIZE);

    switches.menu = readFlag(from, "User", "menu", 1);
    switches.keys = readFlag(from, "User", "keys", 1);
    runInputs.mute = readFlag(from, "User", "mute", 0);
    runInputs.diag = readFlag(from, "User", "diag", 0);

    runInputs.debug = readFlag(from, "Debug", "debug", 0);

    settings.debugM = readAddress(from, "debugM");
    settings.debugG = readAddress(from, "debugG");
    settings.debugP = readAddress(from, "debugP");

    DebuggerSettings& d = debuggerSettings;
    d.present = profileReadInt(from, "Debugger", "open", -1) >= 0;
    if (d.present) {
        d.open = readFlag(from, "Debugger", "open", 0);
        d.left = profileReadInt(from, "Debugger", "left", -1);
        d.top = profileReadInt(from, "Debugger", "top", -1);
        d.width = profileReadInt(from, "Debugger", "width", 0);
        d.height = profileReadInt(from, "Debugger", "height", 0);
        d.history = readFlag(from, "Debugger", "history", 0);
        d.romWrites = readFlag(from, "Debugger", "romWrites", 0);
        d.memory = static_cast<std::uint16_t>(profileReadInt(from, "Debugger", "memory", 0));
        d.traceLimit = std::clamp(profileReadInt(from, TRACE_SECTION, "limit", 100), 1, 1 << 20);
        d.points = splitNames(profileReadString(from, POINTS_SECTION, "points", "", LABELS_TEXT_SIZE), true);
        const std::string files =
            profileReadString(from, LABELS_SECTION, LABELS_KEY, LABELS_MISSING, LABELS_TEXT_SIZE);
        d.labelFiles =
            files == LABELS_MISSING
                ? splitNames(profileReadString(from, "Debugger", "labels", "", OLD_LABELS_TEXT_SIZE), false)
                : splitNames(files, true);
    }
}

void saveUserSettings() {
    write("User", "currFileDir", settings.currFileDir);
    write("User", "currFileObj", settings.currFileObj);
    write("User", "currFileMid", settings.currFileMid);
    write("User", "saveAddrStart", settings.saveAddrStart);
    write("User", "saveAddrEnd", settings.saveAddrEnd);
    writeFlag("User", "menu", switches.menu);
    writeFlag("User", "keys", switches.keys);
    writeFlag("User", "mute", runInputs.mute);
}

void saveScreenSettings() {
    writeInt("Screen", "mainLeft", settings.windowRect.left);
    writeInt("Screen", "mainTop", settings.windowRect.top);
    writeInt("Screen", "mainRight", settings.windowRect.right);
    writeInt("Screen", "mainBottom", settings.windowRect.bottom);
}

void saveSettings() {
    saveUserSettings();
    saveScreenSettings();
    writeFlag("Debug", "debug", runInputs.debug);
    writeAddress("debugM", settings.debugM);
    writeAddress("debugG", settings.debugG);
    writeAddress("debugP", settings.debugP);
    saveDebuggerSettings();
}

void saveDebuggerSettings() {
    const DebuggerSettings& d = debuggerSettings;
    if (!d.present) return;
    writeFlag("Debugger", "open", d.open);
    writeInt("Debugger", "left", d.left);
    writeInt("Debugger", "top", d.top);
    writeInt("Debugger", "width", d.width);
    writeInt("Debugger", "height", d.height);
    writeFlag("Debugger", "history", d.history);
    writeFlag("Debugger", "romWrites", d.romWrites);
    writeInt("Debugger", "memory", d.memory);
    write("Debugger", "labels", joinedForOldKey(d.labelFiles));
    write(LABELS_SECTION, LABELS_KEY, encodeNames(d.labelFiles));
    writeInt(TRACE_SECTION, "limit", d.traceLimit);
    write(POINTS_SECTION, "points", encodeNames(d.points));
}

} // namespace orv
