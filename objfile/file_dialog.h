// The one file dialog of the object-file and tape commands, and what is remembered of its answer.
#pragma once

#include <string>

namespace orv {

enum class FileKind {
    Object, // "*.obj", remembered in currFileObj
    Midi,   // "*.mid", remembered in currFileMid
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

// Shows the modal open or save dialog for the kind's files, owned by the main window, starting in
// currFileDir with the kind's remembered name. Any name in the folder may be chosen: the file operation
// reports what is wrong with it. A chosen file replaces currFileDir (with its trailing separator) and
// the remembered name, whatever then becomes of it. False when the user cancelled.
bool chooseFile(FileKind kind, bool saving, const char* title, ChosenFile& chosen);

} // namespace orv
