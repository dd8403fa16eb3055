// Getting programs in and out beyond Load and Save As: the command line's file, binaries, drag and
// drop, the recent files, Reload (also when the file changes) and screenshots.
#pragma once

#include "control/command_line.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

class QAction;

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

// The address dialog: the question above four hex digits, the address proposed first; nothing when
// cancelled.
std::optional<std::uint16_t> askAddress(const QString& caption, const QString& question,
                                        std::uint16_t proposed);
// The binary's address dialog: the remembered address proposed, and the answer remembered.
std::optional<std::uint16_t> askBinaryAddress(const QString& fileTitle,
                                              const QString& caption = "Orvane - Load Binary");

void loadBinaryCommand();
void saveBinaryCommand();
void saveScreenshotCommand();
// Loads the last object or binary file again, and starts it again if it was started.
void reloadCommand();
void toggleReloadOnChange();
// True once there is a file for Reload to load.
bool reloadAvailable();

// The File menu's Recent Files submenu, Reload's Ctrl+R, drops on the main window and the settings
// section: after the main window is made.
void installProgramFiles();
// Gives a menu's Recent Files item its submenu of the files, filled as it opens.
void equipRecentFiles(QAction* item);

// What the file watcher did, for the tests: files loaded again, changes passed over because the
// file did not load whole, and checks that found a changed file as the check before.
struct WatchedReloads {
    int loaded = 0;
    int refused = 0;
    int still = 0;
};
extern WatchedReloads watchedReloads;

} // namespace orv
