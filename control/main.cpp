// orv: the Orvane single-board computer on the desktop.
#include "control/command_line.h"
#include "control/ending.h"
#include "control/program_files.h"
#include "control/startup.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    orv::prepareOutput();
    // Read before the display is opened: --help, --version and mistakes need none.
    const orv::CommandLine line = orv::parseCommandLine(orv::argumentsOf(argc, argv));
    if (!line.start) {
        std::fputs(line.output.toLocal8Bit().constData(), stdout);
        if (!line.error.isEmpty()) std::fprintf(stderr, "%s\n", line.error.toLocal8Bit().constData());
        return line.exitStatus;
    }
    orv::expectDisplay();
    QApplication application(argc, argv);
    orv::displayOpened();
    orv::startUp();
    orv::catchEndings();
    // From inside the event loop: whatever ends the program while a box of it is shown ends that loop too.
    QTimer::singleShot(0, [&line] { orv::openStartRequest(line.request); });
    const int exitCode = QApplication::exec();
    return orv::shutDown(exitCode);
}
