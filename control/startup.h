// Start-up and shutdown of the program.
#pragma once

#include <QString>

#include <string>

namespace orv {

// Before anything else: trace lines must appear at once.
void prepareOutput();
// Around the QApplication's making: the toolkit's messages are held back, and a display it cannot open
// is told in one line on standard error, ending the program with NO_DISPLAY rather than an abort.
void expectDisplay();
// The display is open: what the toolkit said meanwhile goes out as it would have.
void displayOpened();
// Everything from the screen size to the shown main window, in its order; the machine is left
// powered on and halted. Needs the QApplication.
void startUp();
// Loads the monitor image from the resource "orvROM"; a fault is shown in a message box.
void loadMonitor();
// Where the settings are written and first read (settingsPath, settingsSeedPath) for a program in
// `programFolder`, and the folder the file dialogs start in until the settings say otherwise.
void placeSettings(const QString& programFolder);
// "orv.ini" in `programFolder`; where that folder cannot be written (an installed program), the
// file in the user's configuration folder instead, whose folder is created. Start-up then reads an
// "orv.ini" beside the program until the user's own file exists.
std::string settingsFileFor(const QString& programFolder);
// After the event loop: ends the program (endProgram, if nothing ended it before) and destroys the
// window. Returns the exit code.
int shutDown(int exitCode);

} // namespace orv
