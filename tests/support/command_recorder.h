// The commands posted to the main window, seen before they are carried out. For the program's tests.
#pragma once

#include "control/main_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <algorithm>
#include <utility>
#include <vector>

namespace orv::test {

class CommandRecorder : public QObject {
  public:
    // What becomes of a recorded command: kept from the window, or carried out as usual.
    enum Then { WITHHOLD, PASS_ON };

    // Records every command, or only those in `only`; commands it does not record are carried out.
    explicit CommandRecorder(Then then = WITHHOLD, std::vector<int> only = {})
        : then(then), only(std::move(only)) {
        windowParts.mainWindow->installEventFilter(this);
    }
    ~CommandRecorder() override { windowParts.mainWindow->removeEventFilter(this); }

    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != COMMAND_EVENT) return false;
        const int command = static_cast<CommandEvent*>(e)->command;
        if (!only.empty() && std::find(only.begin(), only.end(), command) == only.end()) return false;
        commands.push_back(command);
        return then == WITHHOLD;
    }

    // Delivers what has been posted, without letting timers run, and hands over what was recorded.
    std::vector<int> take() {
        QCoreApplication::sendPostedEvents(windowParts.mainWindow, COMMAND_EVENT);
        std::vector<int> taken;
        taken.swap(commands);
        return taken;
    }

    std::vector<int> commands;

  private:
    Then then;
    std::vector<int> only;
};

} // namespace orv::test
