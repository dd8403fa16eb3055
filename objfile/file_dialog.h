// The one file dialog of the program, and what the object-file and tape commands remember of its answer.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

class QWidget;

namespace orv {

enum class FileKind {
    Object,     // "*.obj", remembered in currFileObj
    Midi,       // "*.mid", remembered in currFileMid
    Binary,     // "*.bin", remembered in the "Files" section
    Screenshot, // "*.png", the same
    State,      // "*.orvstate", remembered while the program runs
};

struct ChosenFile {
    // What the file operation opens: the full path in the file system's encoding.
    std::string path;
    // The bare name, as the dialog shows it: for traces and result boxes.
    std::string title;
};

// What a file dialog asks for.
struct FileQuestion {
    QString title;
    QStringList filters; // the first is chosen
    QString folder;      // where it starts
    QString selected;    // the name proposed, if any
    QString suffix;      // added to a name typed without one, if any
    bool saving = false; // a save dialog, which asks before replacing a file
    bool many = false;   // several existing files may be chosen
};

// Every file dialog of the program: Qt's own, never the platform's, with icons and types taken from
// what a file is and never from what it holds, so that no folder (a FIFO's, /proc) can keep it waiting.
// Modal, owned by parent. The files chosen; none when cancelled.
QStringList askFiles(QWidget* parent, const FileQuestion& question);

// Shows the modal open or save dialog for the kind's files, owned by the main window, starting in
// currFileDir with the kind's remembered name. Any name in the folder may be chosen: the file operation
// reports what is wrong with it. A chosen file replaces currFileDir (with its trailing separator) and
// the remembered name, whatever then becomes of it. False when the user cancelled.
bool chooseFile(FileKind kind, bool saving, const char* title, ChosenFile& chosen);

// The file commands' one loop: asks for a file and acts on it, and asks again for as long as the act
// returns true, which it does when it failed and the user chose Retry. False when the dialog was
// cancelled.
template <typename Act>
bool withChosenFile(FileKind kind, bool saving, const char* title, Act act) {
    for (;;) {
        ChosenFile chosen;
        if (!chooseFile(kind, saving, title, chosen)) return false;
        if (!act(chosen)) return true;
    }
}

} // namespace orv
