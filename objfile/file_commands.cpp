#include "objfile/file_commands.h"

#include "control/main_window.h"
#include "machine/trace.h"
#include "objfile/objfile.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QString>

#include <string>

namespace orv {

std::uint16_t saveStart = 0x0000;
std::uint16_t saveEnd = 0x00FF;

namespace {

// Opens in the folder of the last file chosen, proposing its name.
void prepareFileDialog(QFileDialog& dialog, const QString& title, bool save) {
    dialog.setWindowTitle(title);
    dialog.setNameFilters({"Object Files (*.obj)", "All Files (*.*)"});
    dialog.selectNameFilter("Object Files (*.obj)");
    dialog.setDefaultSuffix("obj");
    dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(currFileDir)));
    dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(currFileObj)));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // An open dialog takes names that do not exist: the load reports them as not found.
    dialog.setFileMode(QFileDialog::AnyFile);
}

// Shows the dialog. For a chosen file remembers its folder (with the separator) and bare name, and gives
// its full path and its title; false when the user cancelled.
bool chooseObjectFile(const QString& title, bool save, std::string& path, std::string& fileTitle) {
    QFileDialog dialog(mainWindow);
    prepareFileDialog(dialog, title, save);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    const QFileInfo chosen(dialog.selectedFiles().first());
    currFileDir = QFile::encodeName(QDir::toNativeSeparators(chosen.absolutePath() + "/")).toStdString();
    currFileObj = QFile::encodeName(chosen.fileName()).toStdString();
    path = QFile::encodeName(QDir::toNativeSeparators(chosen.absoluteFilePath())).toStdString();
    fileTitle = currFileObj;
    return true;
}

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
        std::string path, fileTitle;
        if (!chooseObjectFile("Load Object file...", false, path, fileTitle)) return;
        trace("Loading %s...\n", fileTitle.c_str());
        std::string message;
        const int count = loadObjectFile(path, message);
        if (message.empty()) {
            showSuccess("Successful load", countText(count, "One byte loaded from '%1'",
                                                     "%1 bytes loaded from '%2'", fileTitle));
            return;
        }
        if (!showFailure("Error loading from file", message)) return;
    }
}

bool saveObjectCommand() {
    for (;;) {
        std::string path, fileTitle;
        if (!chooseObjectFile("Save to Object file...", true, path, fileTitle)) return false;
        trace("Saving to %s...\n", fileTitle.c_str());
        std::string message;
        const int count = saveObjectFile(path, saveStart, saveEnd, message);
        if (message.empty()) {
            showSuccess("Successful save",
                        countText(count, "One byte saved to '%1'", "%1 bytes saved to '%2'", fileTitle));
            return true;
        }
        if (!showFailure("Error saving to file", message)) return false;
    }
}

} // namespace orv
