// The main window "Orvane": the front panel as its central widget, the 25 key buttons, the
// housekeeping timer, and the road of posted commands.
#pragma once

#include "machine/keys.h"

#include <QEvent>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <array>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

class QPushButton;
class QSoundEffect;

namespace orv {

class PanelWidget;

constexpr QEvent::Type COMMAND_EVENT = static_cast<QEvent::Type>(QEvent::User + 517);

class CommandEvent : public QEvent {
  public:
    explicit CommandEvent(int command) : QEvent(COMMAND_EVENT), command(command) {}
    const int command;
};

// Qt's event queue locks with a futex that ThreadSanitizer cannot see (Qt is not built with it): these
// tell it that posting an event hands it over to the thread that receives it, so the pacer's ticks are
// checked like everything else instead of all being reported.
#if defined(__SANITIZE_THREAD__)
inline void handOverEvent(QEvent* e) {
    __tsan_release(e);
}
inline void takeOverEvent(QEvent* e) {
    __tsan_acquire(e);
}
#else
inline void handOverEvent(QEvent*) {}
inline void takeOverEvent(QEvent*) {}
#endif

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    MainWindow();
    ~MainWindow() override;
    void stopHousekeeping() { housekeepingTimer.stop(); }
    void startHousekeeping() { housekeepingTimer.start(); }

  protected:
    bool event(QEvent* e) override;
    // Key presses for the other widgets of the window (the menu bar keeps the focus after a menu has
    // been used) are taken for the window's own.
    bool eventFilter(QObject* receiver, QEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

  private:
    QTimer housekeepingTimer;
};

struct WindowParts {
    MainWindow* mainWindow = nullptr;
    PanelWidget* panelWidget = nullptr;
    // Index = key id; clicking one posts its key id as a command.
    std::array<QPushButton*, KEY_COUNT> keyButtons{};
    QSoundEffect* clickSound = nullptr;
};

extern WindowParts windowParts;

// The window title: "Orvane", then each part that has text, in this order. Each part is set by the
// module it shows.
enum TitlePart { TITLE_SPEED, TITLE_PROGRESS, TITLE_PART_COUNT };
void setTitlePart(TitlePart part, const QString& text);

void createKeyButtons();
// Asynchronous; silence when there is no audio device.
void playClickSound();
// Reads the window's outer rectangle into windowRect, once the window system shows the window;
// returns whether it did. Before that windowRect keeps the place the window was opened at.
bool readWindowPlace();
// readWindowPlace, and a save of the rectangle scheduled when it read one.
void recordWindowPlace();
// Closing the window ends the program: endProgram, then the event loop.
void windowDestroyed();

} // namespace orv
