// The program's message boxes. What they say carries file names, pasted text and lines of the user's
// files, so it is shown as plain text, whatever it looks like.
#pragma once

#include <QMessageBox>
#include <QString>

#include <string>

namespace orv {

// A modal box owned by the parent; returns the button chosen.
QMessageBox::StandardButton showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// A message of the core's as the window shows it: its file names are in the locale's bytes.
QString messageText(const std::string& message);

// A failure in a Critical box on the main window, with OK, or with Retry and Cancel when a retry is
// offered; true when the user chose Retry.
bool showFailureBox(const QString& caption, const std::string& message, bool offerRetry = false);

} // namespace orv
