#include "settings/settings.h"

#include "objfile/hex.h"
#include "settings/flags.h"
#include "settings/profile.h"

#include <cstdio>
#include <cstring>

namespace orv {

WindowRect windowRect = {-1, 0, 0, 0};
int screenWidth = 0;
int screenHeight = 0;
std::string settingsPath;

std::string currFileDir;
std::string currFileObj;
std::string currFileMid;
std::string saveAddrStart = "0000";
std::string saveAddrEnd = "00FF";

std::uint16_t debugM = 0;
std::uint16_t debugG = 0;
std::uint16_t debugP = 0;

namespace {

constexpr std::int32_t MISSING = INT32_MIN;
constexpr std::size_t FILE_TEXT_SIZE = 257;
constexpr std::size_t ADDRESS_TEXT_SIZE = 5;

std::uint8_t readFlag(const char* section, const char* key, std::int32_t defaultValue) {
    // Stored in a byte, as the flags always were.
    return static_cast<std::uint8_t>(profileReadInt(settingsPath, section, key, defaultValue));
}

// Each pair converts on its own; a pair that is not hex, or is cut short, gives 0.
std::uint16_t readAddress(const char* key) {
    const std::string text = profileReadString(settingsPath, "Debug", key, "0000", ADDRESS_TEXT_SIZE);
    char digits[ADDRESS_TEXT_SIZE] = {};
    std::memcpy(digits, text.data(), text.size());
    int error = 0;
    const std::uint8_t high = hexByteValue(digits, error);
    const std::uint8_t low = hexByteValue(digits + 2, error);
    return static_cast<std::uint16_t>(high << 8 | low);
}

void writeInt(const char* section, const char* key, long value) {
    profileWriteString(settingsPath, section, key, std::to_string(value));
}

void writeFlag(const char* section, const char* key, std::uint8_t flag) {
    profileWriteString(settingsPath, section, key, flag ? "1" : "0");
}

void writeAddress(const char* key, std::uint16_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", address);
    profileWriteString(settingsPath, "Debug", key, text);
}

} // namespace

void loadSettings() {
    WindowRect place;
    place.left = profileReadInt(settingsPath, "Screen", "mainLeft", MISSING);
    place.top = profileReadInt(settingsPath, "Screen", "mainTop", MISSING);
    place.right = profileReadInt(settingsPath, "Screen", "mainRight", MISSING);
    place.bottom = profileReadInt(settingsPath, "Screen", "mainBottom", MISSING);
    const bool usable = place.left >= 0 && place.left <= static_cast<long long>(screenWidth) - 10 &&
                        place.top >= 0 && place.top <= static_cast<long long>(screenHeight) - 10 &&
                        place.right >= 0 && place.bottom >= 0;
    if (!usable) place.left = -1;
    windowRect = place;

    currFileDir = profileReadString(settingsPath, "User", "currFileDir", currFileDir, FILE_TEXT_SIZE);
    currFileObj = profileReadString(settingsPath, "User", "currFileObj", currFileObj, FILE_TEXT_SIZE);
    currFileMid = profileReadString(settingsPath, "User", "currFileMid", currFileMid, FILE_TEXT_SIZE);
    saveAddrStart =
        profileReadString(settingsPath, "User", "saveAddrStart", saveAddrStart, ADDRESS_TEXT_SIZE);
    saveAddrEnd = profileReadString(settingsPath, "User", "saveAddrEnd", saveAddrEnd, ADDRESS_TEXT_SIZE);

    menu = readFlag("User", "menu", 1);
    keys = readFlag("User", "keys", 1);
    mute = readFlag("User", "mute", 0);
    diag = readFlag("User", "diag", 0);

    debug = readFlag("Debug", "debug", 0);

    debugM = readAddress("debugM");
    debugG = readAddress("debugG");
    debugP = readAddress("debugP");
}

void saveUserSettings() {
    profileWriteString(settingsPath, "User", "currFileDir", currFileDir);
    profileWriteString(settingsPath, "User", "currFileObj", currFileObj);
    profileWriteString(settingsPath, "User", "currFileMid", currFileMid);
    profileWriteString(settingsPath, "User", "saveAddrStart", saveAddrStart);
    profileWriteString(settingsPath, "User", "saveAddrEnd", saveAddrEnd);
    writeFlag("User", "menu", menu);
    writeFlag("User", "keys", keys);
    writeFlag("User", "mute", mute);
}

void saveScreenSettings() {
    writeInt("Screen", "mainLeft", windowRect.left);
    writeInt("Screen", "mainTop", windowRect.top);
    writeInt("Screen", "mainRight", windowRect.right);
    writeInt("Screen", "mainBottom", windowRect.bottom);
}

void saveSettings() {
    saveUserSettings();
    saveScreenSettings();
    writeFlag("Debug", "debug", debug);
    writeAddress("debugM", debugM);
    writeAddress("debugG", debugG);
    writeAddress("debugP", debugP);
}

} // namespace orv
