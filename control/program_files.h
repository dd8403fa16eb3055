// Getting programs in and out beyond Load and Save As: the command line's file, binaries, drag and
// drop, the recent files, Reload (also when the file changes) and screenshots.
#pragma once

#include "control/command_line.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

class QMenu;

namespace orv {

// Loads (or, for a tape, starts playing) the request's file, then starts the machine at its run
// address. No box: false with the message of the loader. A file loaded is remembered among the recent
// files and becomes the one Reload loads.
bool openProgramFile(const StartRequest& request, std::string& message);
// The command line's request, once the window is up: a failure is shown in the command's box.
void openStartRequest(const StartRequest& request);
// The files of a drop, each in turn; a binary asks for its address. One box lists those that failed.
void openDroppedFiles(const QStringList& paths);

// Load of object files and Tape Play tell of the file they used.
void noteFileUsed(const std::string& path, ProgramFileKind kind);

// The binary's address dialog: the remembered address proposed; nothing when cancelled.
std::optional<std::uint16_t> askBinaryAddress(const QString& fileTitle,
                                              const QString& caption = "Orvane - Load Binary");

void loadBinaryCommand();
void saveBinaryCommand();
void saveScreenshotCommand();
// Loads the last object or binary file again, and starts it again if it was started.
void reloadCommand();
void toggleReloadOnChange();

// The File menu's Recent Files submenu, Reload's Ctrl+R and the check of "Reload when the file
// changes", drops on the main window and the settings section: after the main window is made.
void installProgramFiles();

// What the file watcher did, for the tests: files loaded again, and changes passed over because the
// file did not load whole.
struct WatchedReloads {
    int loaded = 0;
    int refused = 0;
};
extern WatchedReloads watchedReloads;

} // namespace orv
