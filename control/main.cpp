// orv: the Orvane single-board computer on the desktop.
#include "control/ending.h"
#include "control/startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    orv::prepareOutput();
    QApplication application(argc, argv);
    orv::startUp();
    orv::catchEndings();
    const int exitCode = QApplication::exec();
    return orv::shutDown(exitCode);
}
