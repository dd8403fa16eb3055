// The program's message boxes. What they say carries file names, pasted text and lines of the user's
// files, so it is shown as plain text, whatever it looks like.
#pragma once

#include <QMessageBox>
#include <QString>

namespace orv {

// A modal box owned by the parent; returns the button chosen.
QMessageBox::StandardButton showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok);

} // namespace orv
