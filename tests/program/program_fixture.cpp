#include "program/program_fixture.h"
#include "base/run_inputs.h"
#include "support/key_press.h"

#include "control/commands.h"
#include "control/keypad.h"
#include "control/main_window.h"
#include "control/pacer.h"
#include "control/run_control.h"
#include "control/run_state.h"
#include "debugger/debugger_window.h"
#include "machine/cpu.h"
#include "machine/key_feed.h"
#include "machine/rio.h"
#include "panel/layout.h"
#include "panel/panel_widget.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "tape/tape.h"

#include <QDialog>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace orv::test {

std::vector<BoxRecord> boxes;
std::deque<QMessageBox::StandardButton> boxAnswers;
StartUpRecord startUpState{};

namespace {

bool snapped() {
    return windowParts.panelWidget->size() ==
           QSize(PANEL_WIDTH_UNITS * panelLayout.scale,
                 panelLayout.scale * panelLayout.panelHeightUnits + panelLayout.debugPanelHeight);
}

} // namespace

void recordStartUpSettings() {
    StartUpRecord& s = startUpState;
    s.settingsPath = settings.settingsPath;
    s.settingsFileFound = QFileInfo::exists(QString::fromStdString(settings.settingsPath));
    s.currFileDir = settings.currFileDir;
    s.currFileObj = settings.currFileObj;
    s.currFileMid = settings.currFileMid;
    s.saveAddrStart = settings.saveAddrStart;
    s.saveAddrEnd = settings.saveAddrEnd;
    s.menu = switches.menu;
    s.keys = switches.keys;
    s.mute = runInputs.mute;
    s.diag = runInputs.diag;
    s.debug = runInputs.debug;
    s.debugM = settings.debugM;
    s.debugG = settings.debugG;
    s.debugP = settings.debugP;
    s.breakpoint = cpu.breakpoint;
}

void recordStartUp() {
    // The window shown and laid out, and housekeeping under way: what start-up set going has had its turn.
    settleUntil([] { return board.ticks > 2 && snapped(); }, 10000);
    StartUpRecord& s = startUpState;
    s.halted = runInputs.halted;
    s.pacerRunning = pacerRunning();
    s.events = runState.events.load();
    s.paused = runControl.paused;
    s.cycles = cpu.cycles;
    s.pc = cpu.pc;
}

namespace {

void startAfresh() {
    haltRunning();
    if (runInputs.turbo) onCommand(CMD_TURBO);
    std::string ignored;
    tapeStop(ignored);
    tape = TapeRecord{};
    board.tapeStopDue = 0;
    keyFeed = KeyFeedRecord{};
    keyInput.keyQueueCount = 0;
    keyInput.keyHeld = false;
    keyUp();
    if (debuggerParts.debuggerWindow) {
        debuggerParts.debuggerWindow->close();
        delete debuggerParts.debuggerWindow;
    }
    // Keys go to the main window, as when the user types into it.
    test::activate(windowParts.mainWindow);
    // What the steps above posted is handled now, not in the test.
    settle(5);
    boxes.clear();
    boxAnswers.clear();
}

class FreshStart : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { startAfresh(); }
};

} // namespace

void startEachTestAfresh() {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshStart);
}

namespace {
// Long enough for any machine to have shown the window; only a test whose steps do not fit what the
// program shows ever waits for it.
constexpr int UNANSWERED_MS = 20000;
} // namespace

// A stack of the modal windows up, each with the depth of event loops it runs in. A window is acted on
// only while its own loop is the innermost one: while a window it opened is still unwinding, or before
// its loop has started, the check comes back a moment later. Nothing else in the tests acts on modal
// windows, so no two timers race for one.
class ModalDriver : public QObject {
  public:
    static ModalDriver* instance;
    std::vector<ModalHandler*> handlers;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show && event->type() != QEvent::Hide) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !widget->isWindow()) return false;
        if (event->type() == QEvent::Show) {
            if (!widget->isModal() || find(widget) != windows.end()) return false;
            windows.push_back({widget, QThread::currentThread()->loopLevel() + 1, true, 0});
        } else {
            const auto place = find(widget);
            if (place == windows.end()) return false;
            windows.erase(place);
            // The window below waits for the user again.
            if (!windows.empty()) {
                windows.back().due = true;
                ++windows.back().turn;
            }
        }
        schedule(0);
        return false;
    }

  private:
    struct Waiting {
        QPointer<QWidget> window;
        int loopLevel;
        bool due;
        int turn;
    };
    std::vector<Waiting> windows;
    bool scheduled = false;

    std::vector<Waiting>::iterator find(QWidget* widget) {
        return std::find_if(windows.begin(), windows.end(),
                            [widget](const Waiting& w) { return w.window == widget; });
    }

    void schedule(int ms) {
        if (scheduled) return;
        scheduled = true;
        QTimer::singleShot(ms, this, [this] {
            scheduled = false;
            check();
        });
    }

    void check() {
        while (!windows.empty() && !windows.back().window) windows.pop_back();
        if (windows.empty() || !windows.back().due) return;
        Waiting& top = windows.back();
        if (!top.window->isVisible()) return;
        if (QThread::currentThread()->loopLevel() != top.loopLevel) {
            schedule(1);
            return;
        }
        top.due = false;
        const QPointer<QWidget> window = top.window;
        const int turn = top.turn;
        // What follows may open and close other windows: `top` is not looked at again.
        if (auto* box = qobject_cast<QMessageBox*>(window.data())) {
            answer(box);
            return;
        }
        if (!handlers.empty() && handlers.back()->action(window)) return;
        QTimer::singleShot(UNANSWERED_MS, this, [this, window, turn] {
            const auto place = find(window);
            if (!window || !window->isVisible() || place == windows.end() || place->turn != turn) return;
            ADD_FAILURE() << "nothing answered the modal window '" << window->windowTitle().toStdString()
                          << "'";
            if (auto* dialog = qobject_cast<QDialog*>(window.data())) dialog->reject();
        });
    }

    static void answer(QMessageBox* box) {
        // File names, pasted text and lines of files reach every box: none may read them as markup.
        EXPECT_EQ(box->textFormat(), Qt::PlainText) << "box '" << box->windowTitle().toStdString() << "'";
        boxes.push_back(
            {box->windowTitle(), box->text(), box->icon(), box->standardButtons(), box->textFormat()});
        QMessageBox::StandardButton answer = QMessageBox::Ok;
        if (!boxAnswers.empty()) {
            answer = boxAnswers.front();
            boxAnswers.pop_front();
        }
        box->done(answer);
    }
};

ModalDriver* ModalDriver::instance = nullptr;

void startModalDriver() {
    ModalDriver::instance = new ModalDriver;
    ModalDriver::instance->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(ModalDriver::instance);
}

ModalHandler::ModalHandler(ModalAction action) : action(std::move(action)) {
    ModalDriver::instance->handlers.push_back(this);
}

ModalHandler::~ModalHandler() {
    auto& handlers = ModalDriver::instance->handlers;
    handlers.erase(std::remove(handlers.begin(), handlers.end(), this), handlers.end());
}

ModalScript::ModalScript(std::vector<ModalAction> steps)
    : steps(std::move(steps)), handler([this](QWidget* window) {
          if (next >= this->steps.size() || !this->steps[next](window)) return false;
          ++next;
          return true;
      }) {}

void settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

namespace {

// Counts the panel's size changes.
class ResizeCounter : public QObject {
  public:
    explicit ResizeCounter(QWidget* widget) : widget(widget) { widget->installEventFilter(this); }
    ~ResizeCounter() override { widget->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) ++count;
        return false;
    }
    int count = 0;

  private:
    QWidget* widget;
};

} // namespace

void layoutAfter(const std::function<void()>& request) {
    ResizeCounter resizes(windowParts.panelWidget);
    request();
    // The panel takes the size asked for, is laid out for it, and the window then snaps to the layout.
    EXPECT_TRUE(settleUntil([&] { return resizes.count > 0 && snapped(); }, 10000))
        << "panel " << windowParts.panelWidget->width() << "x" << windowParts.panelWidget->height()
        << " at scale " << panelLayout.scale;
}

void resizeClient(int width, int height) {
    if (windowParts.panelWidget->size() == QSize(width, height)) return;
    const int extraWidth = windowParts.mainWindow->width() - windowParts.panelWidget->width();
    const int extraHeight = windowParts.mainWindow->height() - windowParts.panelWidget->height();
    layoutAfter([&] { windowParts.mainWindow->resize(width + extraWidth, height + extraHeight); });
}

void relayout(int width) {
    resizeClient(width, windowParts.panelWidget->height() + 1);
}

QImage grabPanel() {
    return windowParts.panelWidget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace orv::test
