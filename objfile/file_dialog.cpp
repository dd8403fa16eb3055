#include "objfile/file_dialog.h"

#include "control/main_window.h"
#include "machine/save_state.h"
#include "objfile/file_kind.h"
#include "settings/file_history.h"
#include "settings/settings.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QStyle>

namespace orv {

namespace {

// Icons and type names from what a file is, never from what it holds: the usual provider reads the
// start of every file it shows to guess its type, and a file under /proc or on a slow disk can keep
// that read waiting for ever. Asked from the model's own thread, so the icons are made beforehand.
class PlainIconProvider : public QAbstractFileIconProvider {
  public:
    PlainIconProvider() {
        const QStyle* style = QApplication::style();
        folder = style->standardIcon(QStyle::SP_DirIcon);
        file = style->standardIcon(QStyle::SP_FileIcon);
        drive = style->standardIcon(QStyle::SP_DriveHDIcon);
        computer = style->standardIcon(QStyle::SP_ComputerIcon);
        desktop = style->standardIcon(QStyle::SP_DesktopIcon);
        trash = style->standardIcon(QStyle::SP_TrashIcon);
        network = style->standardIcon(QStyle::SP_DriveNetIcon);
        setOptions(DontUseCustomDirectoryIcons);
    }
    QIcon icon(IconType type) const override {
        switch (type) {
        case Computer: return computer;
        case Desktop: return desktop;
        case Trashcan: return trash;
        case Network: return network;
        case Drive: return drive;
        case Folder: return folder;
        case File: break;
        }
        return file;
    }
    QIcon icon(const QFileInfo& info) const override {
        if (info.isRoot()) return drive;
        return info.isDir() ? folder : file;
    }
    QString type(const QFileInfo& info) const override {
        if (info.isRoot()) return "Drive";
        if (info.isDir()) return "Folder";
        if (!info.isFile()) return info.isSymLink() ? "Shortcut" : "Special file";
        return info.suffix().isEmpty() ? QString("File") : info.suffix().toUpper() + " File";
    }

  private:
    QIcon folder, file, drive, computer, desktop, trash, network;
};

struct KindOfFile {
    QStringList filters;
    const char* suffix;
    std::string& remembered;
};

std::string stateName;

KindOfFile kindOf(FileKind kind) {
    if (kind == FileKind::State)
        return {{QString("Save States (*.%1)").arg(STATE_EXTENSION), "All Files (*.*)"},
                STATE_EXTENSION,
                stateName};
    if (kind == FileKind::Midi)
        return {{"MIDI Files (*.mid)", "All Files (*.*)"}, "mid", settings.currFileMid};
    if (kind == FileKind::Binary)
        return {{"Binary Files (*.bin)", "All Files (*.*)"}, "bin", fileHistory.binaryName};
    if (kind == FileKind::Screenshot)
        return {{"PNG Images (*.png)", "All Files (*.*)"}, "png", fileHistory.screenshotName};
    // Every ending Load reads, after the two filters the dialog has always had.
    QStringList endings;
    for (const char* ending : OBJECT_FILE_ENDINGS) endings << QString("*.%1").arg(ending);
    return {{"Object Files (*.obj)", "All Files (*.*)", "Intel HEX Files (" + endings.join(' ') + ")"},
            "obj",
            settings.currFileObj};
}

} // namespace

QStringList askFiles(QWidget* parent, const FileQuestion& question) {
    // Outlives the dialog, whose model asks it from another thread until the dialog is gone.
    PlainIconProvider icons;
    QFileDialog dialog(parent, question.title);
    // The platform's own dialog would list files with its own icon lookups.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontUseCustomDirectoryIcons);
    dialog.setIconProvider(&icons);
    // Pipes, sockets and devices are listed as what they are (the file operations refuse them).
    dialog.setFilter(dialog.filter() | QDir::System);
    dialog.setNameFilters(question.filters);
    if (!question.filters.isEmpty()) dialog.selectNameFilter(question.filters.first());
    if (!question.suffix.isEmpty()) dialog.setDefaultSuffix(question.suffix);
    dialog.setAcceptMode(question.saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Single open dialogs take names that do not exist too: the file operation says what is wrong with them.
    dialog.setFileMode(question.many ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
    dialog.setDirectory(question.folder);
    if (!question.selected.isEmpty()) dialog.selectFile(question.selected);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

bool chooseFile(FileKind kind, bool saving, const char* title, ChosenFile& chosen) {
    const KindOfFile files = kindOf(kind);
    FileQuestion question;
    question.title = title;
    question.filters = files.filters;
    question.folder = QFile::decodeName(QByteArray::fromStdString(settings.currFileDir));
    question.selected = QFile::decodeName(QByteArray::fromStdString(files.remembered));
    question.suffix = files.suffix;
    question.saving = saving;
    const QStringList selected = askFiles(windowParts.mainWindow, question);
    if (selected.isEmpty()) return false;

    const QFileInfo file(selected.constFirst());
    QString folder = QDir::toNativeSeparators(file.absolutePath());
    if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
    settings.currFileDir = QFile::encodeName(folder).toStdString();
    files.remembered = QFile::encodeName(file.fileName()).toStdString();
    chosen.path = QFile::encodeName(QDir::toNativeSeparators(file.absoluteFilePath())).toStdString();
    chosen.title = files.remembered;
    return true;
}

} // namespace orv
