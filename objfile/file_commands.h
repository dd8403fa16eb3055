// The user's side of object files: Load and Save As with their file dialogs and result boxes.
#pragma once

#include <cstdint>
#include <string>

class QString;

namespace orv {

// The Save As range as the range dialog last read it (checkSaveRange).
struct SaveRange {
    std::uint16_t saveStart = 0x0000;
    std::uint16_t saveEnd = 0x00FF;
};

extern SaveRange saveRange;

// The result boxes of a load and a save, with the file's bare name: the count on success, the message
// with Retry and Cancel on failure. True when the user chose Retry.
bool showLoadResult(int count, const std::string& message, const std::string& fileTitle);
bool showSaveResult(int count, const std::string& message, const std::string& fileTitle);
// The box every file command shows for a success, with OK.
void showFileSuccess(const char* caption, const QString& text);

// Save As and Save Binary: file dialog, save of saveStart..saveEnd with the saver, result box. True when
// it saved; false when the file dialog was cancelled or the save failed and the user gave up.
using RangeSaver = int (*)(const std::string& path, std::uint16_t start, std::uint16_t end,
                           std::string& message);
bool saveRangeToChosenFile(bool binary, const char* title, RangeSaver save);

// File dialog, load, result box; Retry in a failure box opens the file dialog again.
void loadObjectCommand();
// Save As's saving, through saveRangeToChosenFile.
bool saveObjectCommand();

} // namespace orv
