#include "control/ending.h"

#include "control/main_window.h"
#include "control/run_control.h"
#include "debugger/debugger_window.h"
#include "settings/settings.h"
#include "tape/tape.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdlib>
#include <string>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace orv {

namespace {

bool ending = false;
// Once ended, a start still on its way (the start-up file behind a box a signal closed) is dropped.
bool ended = false;

#if defined(Q_OS_UNIX)
// The handler only tells the main thread, through a pipe its event loop watches.
int signalPipe[2] = {-1, -1};

void signalArrived(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

void catchSignals() {
    if (::pipe(signalPipe) != 0) return;
    for (const int fd : signalPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (windowParts.mainWindow) windowParts.mainWindow->close();
    });
    struct sigaction action {};
    action.sa_handler = signalArrived;
    sigemptyset(&action.sa_mask);
    // A second signal of the same kind is not caught: it ends a program that does not end by itself.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        // One the program was started to ignore (nohup, a shell's background job) stays ignored.
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}
#endif

} // namespace

void endProgram() {
    // Each call ends whatever runs by then: code that goes on after an event loop an earlier end let
    // go (a command whose dialog that end closed) may have started the machine or a tape again.
    if (ending) return;
    ending = true;
    ended = true;
    haltRunning();
    if (windowParts.mainWindow) windowParts.mainWindow->stopHousekeeping();
    std::string message;
    tapeStop(message);
    // Where the window is now: the last move it was told of may be from before the window manager
    // had placed it.
    readWindowPlace();
    if (debuggerParts.debuggerWindow) debuggerParts.debuggerWindow->recordPlace();
    saveSettings();
    ending = false;
}

bool programEnded() {
    return ended;
}

void catchEndings() {
    // Runs before the static objects go, the pacer thread among them.
    std::atexit(endProgram);
#if defined(Q_OS_UNIX)
    catchSignals();
#endif
}

} // namespace orv
