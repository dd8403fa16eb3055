#include "objfile/file_commands.h"

#include "control/main_window.h"
#include "machine/trace.h"
#include "objfile/file_dialog.h"
#include "objfile/objfile.h"

#include <QMessageBox>
#include <QString>

#include <string>

namespace orv {

std::uint16_t saveStart = 0x0000;
std::uint16_t saveEnd = 0x00FF;

namespace {

void showSuccess(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, mainWindow);
    box.exec();
}

// True when the user chose Retry.
bool showFailure(const QString& caption, const std::string& message) {
    QMessageBox box(QMessageBox::Critical, caption, QString::fromLocal8Bit(message),
                    QMessageBox::Retry | QMessageBox::Cancel, mainWindow);
    return box.exec() == QMessageBox::Retry;
}

QString countText(int count, const char* one, const char* many, const std::string& fileTitle) {
    const QString name = QString::fromLocal8Bit(fileTitle);
    return count == 1 ? QString(one).arg(name) : QString(many).arg(count).arg(name);
}

} // namespace

void loadObjectCommand() {
    for (;;) {
        ChosenFile chosen;
        if (!chooseFile(FileKind::Object, false, "Load Object file...", chosen)) return;
        trace("Loading %s...\n", chosen.title.c_str());
        std::string message;
        const int count = loadObjectFile(chosen.path, message);
        if (message.empty()) {
            showSuccess("Successful load", countText(count, "One byte loaded from '%1'",
                                                     "%1 bytes loaded from '%2'", chosen.title));
            return;
        }
        if (!showFailure("Error loading from file", message)) return;
    }
}

bool saveObjectCommand() {
    for (;;) {
        ChosenFile chosen;
        if (!chooseFile(FileKind::Object, true, "Save to Object file...", chosen)) return false;
        trace("Saving to %s...\n", chosen.title.c_str());
        std::string message;
        const int count = saveObjectFile(chosen.path, saveStart, saveEnd, message);
        if (message.empty()) {
            showSuccess("Successful save",
                        countText(count, "One byte saved to '%1'", "%1 bytes saved to '%2'", chosen.title));
            return true;
        }
        if (!showFailure("Error saving to file", message)) return false;
    }
}

} // namespace orv
