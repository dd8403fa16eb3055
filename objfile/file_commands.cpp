#include "objfile/file_commands.h"

#include "base/file_results.h"
#include "base/trace.h"
#include "control/main_window.h"
#include "control/message_box.h"
#include "control/program_files.h"
#include "objfile/file_dialog.h"
#include "objfile/objfile.h"

#include <QString>

#include <string>

namespace orv {

SaveRange saveRange;

namespace {

void showSuccess(const QString& caption, const QString& text) {
    showMessageBox(windowParts.mainWindow, QMessageBox::Information, caption, text);
}

} // namespace

bool showLoadResult(int count, const std::string& message, const std::string& fileTitle) {
    if (!message.empty()) return showFailureBox(LOAD_FAILED_CAPTION, message, true);
    showSuccess(LOAD_DONE_CAPTION, messageText(bytesLoadedText(count, fileTitle)));
    return false;
}

void showFileSuccess(const char* caption, const QString& text) {
    showSuccess(caption, text);
}

bool showSaveResult(int count, const std::string& message, const std::string& fileTitle) {
    if (!message.empty()) return showFailureBox(SAVE_FAILED_CAPTION, message, true);
    showSuccess(SAVE_DONE_CAPTION, messageText(bytesSavedText(count, fileTitle)));
    return false;
}

void loadObjectCommand() {
    withChosenFile(FileKind::Object, false, "Load Object file...", [](const ChosenFile& chosen) {
        trace("Loading %s...\n", chosen.title.c_str());
        std::string message;
        const int count = loadObjectFile(chosen.path, message);
        if (message.empty()) noteFileUsed(chosen.path, ProgramFileKind::Object);
        return showLoadResult(count, message, chosen.title);
    });
}

bool saveRangeToChosenFile(bool binary, const char* title, RangeSaver save) {
    bool saved = false;
    return withChosenFile(binary ? FileKind::Binary : FileKind::Object, true, title,
                          [&saved, save](const ChosenFile& chosen) {
                              trace("Saving to %s...\n", chosen.title.c_str());
                              std::string message;
                              const int count =
                                  save(chosen.path, saveRange.saveStart, saveRange.saveEnd, message);
                              saved = message.empty();
                              return showSaveResult(count, message, chosen.title);
                          }) &&
           saved;
}

bool saveObjectCommand() {
    return saveRangeToChosenFile(false, "Save to Object file...", saveObjectFile);
}

} // namespace orv
