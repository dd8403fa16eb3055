#include "control/commands.h"

#include "control/main_window.h"
#include "control/run_control.h"
#include "machine/host.h"
#include "objfile/file_commands.h"
#include "objfile/save_dialog.h"
#include "settings/flags.h"
#include "tape/tape.h"
#include "tape/tape_commands.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <string>

namespace orv {

void postCommand(int command) {
    if (mainWindow) QCoreApplication::postEvent(mainWindow, new CommandEvent(command));
}

void onCommand(int command) {
    switch (command) {
    case CMD_TICK: tickCommand(); break;
    case CMD_STEP: stepCommand(); break;
    case CMD_HALT: haltRunning(); break;
    case CMD_RUN: runCommand(); break;
    case CMD_RUN_HALT: postCommand(halted ? CMD_RUN : CMD_HALT); break;
    case CMD_RESET: resetCommand(); break;
    case CMD_SAVE_AS: saveRangeDialog(); break;
    case CMD_LOAD:
        loadObjectCommand();
        if (debug) repaintArea(AREA_DEBUG);
        break;
    case CMD_TAPE_RECORD:
        if (recordTapeCommand()) repaintArea(AREA_DISPLAY);
        break;
    case CMD_TAPE_PLAY:
        playTapeCommand();
        repaintArea(AREA_DISPLAY);
        break;
    case CMD_TAPE_STOP: {
        std::string message;
        tapeStop(message);
        if (!message.empty())
            QMessageBox::critical(mainWindow, "MIDI file message", QString::fromStdString(message));
        repaintArea(AREA_DISPLAY);
        break;
    }
    case CMD_EXIT:
        // A close request, handled after this command like the window frame's own.
        QMetaObject::invokeMethod(mainWindow, &QWidget::close, Qt::QueuedConnection);
        break;
    default:
        // Key commands 0-23 and every number without a case of its own: the keypad input's.
        break;
    }
}

} // namespace orv
