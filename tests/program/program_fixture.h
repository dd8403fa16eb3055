// What the program's tests share: one main window for the whole run, made by the real start-up,
// the one place that answers its modal windows, and helpers to let its event loop run.
#pragma once

#include <QImage>
#include <QMessageBox>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace orv::test {

// Message boxes that appeared (and were answered) while the tests ran.
struct BoxRecord {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format;
};
extern std::vector<BoxRecord> boxes;
// How the next boxes are answered, first to last; a box with no answer left is answered Ok.
extern std::deque<QMessageBox::StandardButton> boxAnswers;

// The machine and the settings as start-up left them, taken before the first test runs, so that tests
// of start-up do not depend on running first.
struct StartUpRecord {
    bool halted;
    bool pacerRunning;
    std::int32_t events;
    bool paused;
    std::int32_t cycles;
    std::uint16_t pc;
    // Where start-up looked for the settings, whether a file was there, and what the settings held
    // after reading.
    std::string settingsPath;
    bool settingsFileFound;
    std::string currFileDir, currFileObj, currFileMid, saveAddrStart, saveAddrEnd;
    std::uint8_t menu, keys, mute, diag, debug;
    std::uint16_t debugM, debugG, debugP, breakpoint;
};
extern StartUpRecord startUpState;
// The settings, taken right after start-up, before the tests move the settings file elsewhere.
void recordStartUpSettings();
// The machine, once the window has settled.
void recordStartUp();

// Before every test, whatever the tests before it left behind: the machine halted at its own speed, no
// tape and no automatic tape stop due, no key queued, held or being fed, no debugger window (the next
// one is made from the settings, as at start-up), and no message box recorded or answer waiting.
void startEachTestAfresh();

// Modal windows are answered from one place, each when it waits for the user in its own event loop:
// when it is shown, and again when a window it opened closes and leaves it waiting. Message boxes are
// recorded in `boxes` and answered from `boxAnswers`; every other modal window goes to the action of
// the newest live ModalHandler. A window nothing acts on is rejected after a generous deadline and
// fails the test, which would otherwise hang.
void startModalDriver();

// What a test does with a modal window that waits for the user: true once it has acted.
using ModalAction = std::function<bool(QWidget*)>;

class ModalHandler {
  public:
    explicit ModalHandler(ModalAction action);
    ~ModalHandler();
    ModalHandler(const ModalHandler&) = delete;
    ModalHandler& operator=(const ModalHandler&) = delete;

  private:
    ModalAction action;
    friend class ModalDriver;
};

// Steps taken in order: the current step gets each modal window that waits, and moves the script on
// once it has acted.
class ModalScript {
  public:
    explicit ModalScript(std::vector<ModalAction> steps);
    std::size_t done() const { return next; }

  private:
    std::vector<ModalAction> steps;
    std::size_t next = 0;
    ModalHandler handler;
};

// Runs the event loop for about ms milliseconds.
void settle(int ms);
// Runs the event loop until done() holds or timeoutMs passes; returns done().
template <typename Done>
bool settleUntil(Done done, int timeoutMs);

// Makes the request (a resize or a zoom of the main window) and waits until the panel has been laid
// out for it and the window has snapped to the layout's size.
void layoutAfter(const std::function<void()>& request);
// Resizes the main window so that its client area becomes width x height, and lets the layout settle.
void resizeClient(int width, int height);
// Lays the panel out again for the current view flags at the given client width.
void relayout(int width);

// The panel as the window paints it.
QImage grabPanel();

} // namespace orv::test

#include <QCoreApplication>
#include <QElapsedTimer>

template <typename Done>
bool orv::test::settleUntil(Done done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}
