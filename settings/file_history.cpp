#include "settings/file_history.h"

#include "base/address.h"
#include "base/text_format.h"
#include "settings/profile.h"
#include "settings/settings.h"

#include <algorithm>

namespace orv {

FileHistory fileHistory;

namespace {

constexpr const char* SECTION = "Files";
constexpr std::size_t PATH_TEXT_SIZE = 4097;
constexpr std::size_t NAME_TEXT_SIZE = 257;

std::string recentKey(std::size_t index) {
    return "recent" + std::to_string(index + 1);
}

} // namespace

void rememberRecentFile(std::vector<std::string>& recent, const std::string& path) {
    recent.erase(std::remove(recent.begin(), recent.end(), path), recent.end());
    recent.insert(recent.begin(), path);
    if (recent.size() > RECENT_FILES) recent.resize(RECENT_FILES);
}

void loadFileHistory() {
    const std::string from = settingsReadPath();
    FileHistory history;
    for (std::size_t i = 0; i < RECENT_FILES; ++i) {
        const std::string path = profileReadString(from, SECTION, recentKey(i), "", PATH_TEXT_SIZE);
        if (!path.empty() &&
            std::find(history.recent.begin(), history.recent.end(), path) == history.recent.end())
            history.recent.push_back(path);
    }
    const std::string address = profileReadString(from, SECTION, "binaryAddress", "0200", 5);
    if (const auto value = addressValue(address, FOUR_DIGITS)) history.binaryAddress = *value;
    history.reloadOnChange = profileReadInt(from, SECTION, "reloadOnChange", 0) != 0;
    history.binaryName = profileReadString(from, SECTION, "currFileBin", "", NAME_TEXT_SIZE);
    history.screenshotName = profileReadString(from, SECTION, "currFilePng", "", NAME_TEXT_SIZE);
    fileHistory = history;
}

void saveFileHistory() {
    const FileHistory& history = fileHistory;
    for (std::size_t i = 0; i < RECENT_FILES; ++i)
        settingsWrite(SECTION, recentKey(i).c_str(), i < history.recent.size() ? history.recent[i] : "");
    settingsWrite(SECTION, "binaryAddress", formatText("%04x", history.binaryAddress));
    settingsWrite(SECTION, "reloadOnChange", history.reloadOnChange ? "1" : "0");
    settingsWrite(SECTION, "currFileBin", history.binaryName);
    settingsWrite(SECTION, "currFilePng", history.screenshotName);
}

} // namespace orv
