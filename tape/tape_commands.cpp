#include "tape/tape_commands.h"

#include "control/commands.h"
#include "control/main_window.h"
#include "control/run_control.h"
#include "machine/trace.h"
#include "settings/settings.h"
#include "tape/tape.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include <string>

namespace orv {

namespace {

struct ChosenFile {
    // What the tape opens: the full path in the file system's encoding.
    std::string path;
    // The bare name, as the dialog shows it.
    std::string title;
};

// The open or save dialog for MIDI files, starting in currFileDir with currFileMid. A chosen file
// replaces both, whatever the tape then makes of it.
bool chooseMidiFile(bool saving, const char* title, ChosenFile& chosen) {
    QFileDialog dialog(mainWindow, title);
    dialog.setNameFilters({"MIDI Files (*.mid)", "All Files (*.*)"});
    dialog.setDefaultSuffix("mid");
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDirectory(QString::fromStdString(currFileDir));
    if (!currFileMid.empty()) dialog.selectFile(QString::fromStdString(currFileMid));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;

    const QFileInfo file(dialog.selectedFiles().constFirst());
    QString folder = QDir::toNativeSeparators(file.absolutePath());
    if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
    currFileDir = folder.toStdString();
    currFileMid = file.fileName().toStdString();
    chosen.path = QFile::encodeName(file.absoluteFilePath()).toStdString();
    chosen.title = currFileMid;
    return true;
}

// Returns true when the user asks to try again.
bool retryAfter(const char* caption, const std::string& message) {
    QMessageBox box(QMessageBox::Critical, caption, QString::fromStdString(message),
                    QMessageBox::Retry | QMessageBox::Cancel, mainWindow);
    return box.exec() == QMessageBox::Retry;
}

} // namespace

bool recordTapeCommand() {
    // The menu offers Record only while no tape runs; a late command has nothing to do.
    if (tapeState != 0) return false;
    for (;;) {
        ChosenFile chosen;
        if (!chooseMidiFile(true, "Start Recording...", chosen)) return false;
        trace("Recording to %s...\n", chosen.title.c_str());
        std::string message;
        tapeStartRecording(TAPE_LABEL, chosen.path, message);
        if (message.empty()) {
            // An automatic stop still due from the previous tape is not this one's.
            tapeStopDue = 0;
            return true;
        }
        if (tapeState != 0) {
            // The head could not be written: a file without it is no tape, whatever follows. Closed
            // at once, so neither a retry nor a later Tape Stop finishes it as if it were sound.
            std::string ignored;
            tapeStop(ignored);
        }
        if (!retryAfter("Error starting recording", message)) return false;
    }
}

void playTapeCommand() {
    if (tapeState != 0) return;
    for (;;) {
        ChosenFile chosen;
        if (!chooseMidiFile(false, "Play MIDI file...", chosen)) return;
        trace("Playing %s...\n", chosen.title.c_str());
        std::string message;
        tapeStartPlaying(chosen.path, message);
        if (message.empty()) {
            tapeStopDue = 0;
            return;
        }
        if (!retryAfter("Cannot play this file", message)) return;
    }
}

void stopFailedRecording() {
    // The new file is spoilt: the user hears of it now, not at a Tape Stop that may come much later.
    if ((tapeState & TAPE_RECORDING) && !tapeMessage.empty()) postCommand(CMD_TAPE_STOP);
}

} // namespace orv
