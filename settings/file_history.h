// The section "Files" of orv.ini: the files the user loaded lately, the address binaries load at, the
// reload-on-change switch and the names the binary and screenshot dialogs propose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orv {

constexpr std::size_t RECENT_FILES = 8;
constexpr std::uint16_t DEFAULT_BINARY_ADDRESS = 0x0200;

struct FileHistory {
    std::vector<std::string> recent; // full paths, newest first, at most RECENT_FILES
    std::uint16_t binaryAddress = DEFAULT_BINARY_ADDRESS;
    bool reloadOnChange = false;
    std::string binaryName; // bare names, as currFileObj
    std::string screenshotName;
};
extern FileHistory fileHistory;

// Puts path at the head of the list, once, and drops what falls off its end.
void rememberRecentFile(std::vector<std::string>& recent, const std::string& path);

// Reads the section (defaults for what is missing); writes it whole. The section is written only when
// something in it changes, so a program that never uses it writes the file as before.
void loadFileHistory();
void saveFileHistory();

} // namespace orv
