// A key pressed the way the keyboard delivers it, for the program's tests: the shortcuts (menu mnemonics,
// Ctrl+D) see it first, and only a key none of them takes reaches the widget.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

// Qt's own test library delivers keys to the shortcuts with this.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString& text = QString(), bool autorep = false,
                                               ushort count = 1);

namespace orv::test {

// The keyboard types into the active window, and only that window's shortcuts see a key: a test that
// presses a window's shortcut makes the window active first, as the user's click on it would.
inline void activate(QWidget* window) {
    window->activateWindow();
    QElapsedTimer waited;
    waited.start();
    while (QApplication::activeWindow() != window && waited.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

inline void pressKey(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text) {
    if (qt_sendShortcutOverrideEvent(target, 0, key, modifiers, text)) return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
}

} // namespace orv::test
