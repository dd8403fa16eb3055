// What the program's tests share: one main window for the whole run, made by the real start-up,
// and helpers to let its event loop run.
#pragma once

#include <QImage>
#include <QMessageBox>
#include <QString>

#include <cstdint>
#include <deque>
#include <vector>

namespace orv::test {

// Message boxes that appeared (and were closed) while the tests ran.
struct BoxRecord {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};
extern std::vector<BoxRecord> boxes;
// How the next boxes are answered, first to last; a box with no answer left is answered Ok.
extern std::deque<QMessageBox::StandardButton> boxAnswers;

// The machine as start-up left it, taken before the first test runs, so that tests of start-up do not
// depend on running first.
struct StartUpRecord {
    bool halted;
    bool pacerRunning;
    std::int32_t events;
    bool paused;
    std::int32_t cycles;
    std::uint16_t pc;
};
extern StartUpRecord startUpState;
void recordStartUp();

// Closes every modal message box shortly after it opens, recording it.
void startBoxCloser();

// Runs the event loop for about ms milliseconds.
void settle(int ms);
// Runs the event loop until done() holds or timeoutMs passes; returns done().
template <typename Done>
bool settleUntil(Done done, int timeoutMs);

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
