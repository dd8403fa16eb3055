#include "base/run_inputs.h"
#include "control/commands.h"
#include "control/guide.h"
#include "control/main_window.h"
#include "control/menus.h"
#include "control/program_files.h"
#include "control/run_control.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/rio.h"
#include "panel/layout.h"
#include "panel/panel_widget.h"
#include "program/program_fixture.h"
#include "settings/file_history.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "support/command_recorder.h"
#include "support/key_press.h"
#include "support/poke.h"
#include "tape/tape.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace orv {
namespace {

using test::settle;
using test::settleUntil;

QAction* actionFor(QMenu* submenu, int command) {
    for (QAction* action : submenu->actions())
        if (!action->isSeparator() && action->data().toInt() == command) return action;
    return nullptr;
}

QMenu* barMenu(int position) {
    return menus.mainMenu->actions().at(position)->menu();
}

// Opens a menu of the bar the way the user does, so its states are set, and closes it again.
QMenu* openBarMenu(int position) {
    QMenu* submenu = barMenu(position);
    submenu->popup(QPoint(0, 0));
    settle(5);
    submenu->close();
    return submenu;
}

void rightPress(QWidget* target, QPoint point) {
    QMouseEvent press(QEvent::MouseButtonPress, point, target->mapToGlobal(point), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

class MenusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        haltRunning();
        settle(5);
        tape.tapeState = 0;
        runInputs.mute = 0;
        runInputs.debug = 0;
        switches.keys = 1;
        test::relayout(400);
    }
    void TearDown() override {
        runInputs.halted = true;
        runInputs.turbo = false;
        tape.tapeState = 0;
        runInputs.mute = 0;
        if (!switches.menu) onCommand(CMD_MENU);
        if (menus.popupMenu) menus.popupMenu->close();
        runInputs.debug = 0;
        switches.keys = 1;
        runInputs.diag = 0;
        test::relayout(400);
    }
};

TEST_F(MenusTest, ActionAndTapeItemsFollowTheRunState) {
    struct Case {
        bool halted;
        std::uint8_t tape;
        bool halt, stepRun, recordPlay, stop;
    };
    const Case cases[] = {
        {true, 0, false, true, false, false},
        {false, 0, true, false, true, false},
        {false, TAPE_PLAYING | TAPE_WAITING, true, false, false, true},
        {true, TAPE_RECORDING | TAPE_ACTIVE | TAPE_MIDI_OPEN, false, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.halted << " " << int(c.tape));
        runInputs.halted = c.halted;
        tape.tapeState = c.tape;
        QMenu* file = openBarMenu(MENU_FILE);
        QMenu* action = openBarMenu(MENU_ACTION);
        showPopupMenu(QPoint(5, 5));
        settle(5);
        for (QMenu* submenu : {file, menus.popupMenu}) {
            EXPECT_EQ(actionFor(submenu, CMD_TAPE_RECORD)->isEnabled(), c.recordPlay);
            EXPECT_EQ(actionFor(submenu, CMD_TAPE_PLAY)->isEnabled(), c.recordPlay);
            EXPECT_EQ(actionFor(submenu, CMD_TAPE_STOP)->isEnabled(), c.stop);
            EXPECT_TRUE(actionFor(submenu, CMD_SAVE_AS)->isEnabled());
        }
        for (QMenu* submenu : {action, menus.popupMenu}) {
            EXPECT_EQ(actionFor(submenu, CMD_HALT)->isEnabled(), c.halt);
            EXPECT_EQ(actionFor(submenu, CMD_STEP)->isEnabled(), c.stepRun);
            EXPECT_EQ(actionFor(submenu, CMD_RUN)->isEnabled(), c.stepRun);
            EXPECT_TRUE(actionFor(submenu, CMD_RESET)->isEnabled());
        }
        menus.popupMenu->close();
    }
}

TEST_F(MenusTest, ChecksFollowTheSwitches) {
    const bool reloadOnChange = fileHistory.reloadOnChange;
    for (const std::uint8_t on : {1, 0}) {
        SCOPED_TRACE(int(on));
        runInputs.mute = on;
        runInputs.debug = on;
        switches.keys = !on;
        runInputs.turbo = on;
        fileHistory.reloadOnChange = on;
        QMenu* file = openBarMenu(MENU_FILE);
        QMenu* action = openBarMenu(MENU_ACTION);
        QMenu* view = openBarMenu(MENU_VIEW);
        showPopupMenu(QPoint(5, 5));
        settle(5);
        menus.popupMenu->close();
        // The popup carries the bar's checks too.
        for (const auto& [submenu, command, checked] : {std::tuple{file, CMD_TAPE_MUTE, on != 0},
                                                        {file, CMD_RELOAD_ON_CHANGE, on != 0},
                                                        {view, CMD_DEBUG, on != 0},
                                                        {view, CMD_KEYBOARD, on == 0},
                                                        {view, CMD_MENU, true},
                                                        {action, CMD_TURBO, on != 0}}) {
            for (QMenu* shown : {submenu, menus.popupMenu}) {
                QAction* item = actionFor(shown, command);
                ASSERT_NE(item, nullptr) << command;
                EXPECT_EQ(item->isChecked(), checked) << command;
            }
        }
    }
    fileHistory.reloadOnChange = reloadOnChange;
}

// A text's mnemonic letter in lower case; none when it has none.
QChar mnemonicOf(const QString& text) {
    const qsizetype amp = text.indexOf('&');
    return amp >= 0 && amp + 1 < text.size() ? text[amp + 1].toLower() : QChar();
}

TEST_F(MenusTest, ThePopupKeepsItsItemsAndGivesEachALetter) {
    // As it always began, up to the separator after which the added items come; the items that had no
    // letter take the bar's.
    const QStringList kept = {"&Save As",
                              "&Load",
                              "Tape &Record",
                              "Tape &Play",
                              "Tape S&top",
                              "Tape &Mute",
                              "",
                              "&Halt\tPause",
                              "&Step\tSpace",
                              "&Run\tPause",
                              "Rese&t\tEsc",
                              "&IRQ",
                              "&NMI",
                              "&Power off/on",
                              "",
                              "&Menu",
                              "&Keyboard",
                              "&Debug",
                              "",
                              "&Website",
                              "&Emulator pages",
                              "&About",
                              "",
                              "E&xit",
                              ""};
    showPopupMenu(QPoint(5, 5));
    settle(5);
    menus.popupMenu->close();
    const QList<QAction*> items = menus.popupMenu->actions();
    ASSERT_GT(items.size(), kept.size());
    QList<QChar> added;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString text = items[i]->text();
        const QChar letter = mnemonicOf(text);
        if (i < kept.size()) {
            EXPECT_EQ(text, kept[i]);
            EXPECT_EQ(items[i]->isSeparator(), kept[i].isEmpty()) << i;
            continue;
        }
        if (items[i]->isSeparator()) continue;
        EXPECT_FALSE(letter.isNull()) << "an added item without a letter: " << text.toStdString();
        EXPECT_FALSE(added.contains(letter)) << "a letter twice: " << text.toStdString();
        added << letter;
    }
    // Every command of the bar but the Edit menu's.
    for (int position = 0; position < static_cast<int>(mainMenuDescription.size()); ++position) {
        if (position == MENU_EDIT) continue;
        for (const MenuItem& item : mainMenuDescription[position].items) {
            if (item.command != MENU_SEPARATOR) {
                EXPECT_NE(actionFor(menus.popupMenu, item.command), nullptr) << item.text;
            }
        }
    }
    QAction* recent = actionFor(menus.popupMenu, CMD_RECENT_FILES);
    ASSERT_NE(recent, nullptr);
    EXPECT_NE(recent->menu(), nullptr);
}

TEST_F(MenusTest, TheFileMenuEndsWithTheStateItemsAndTheirKeys) {
    const struct {
        const char* text;
        int command;
        Qt::Key key; // Qt::Key_unknown: none
    } rows[] = {
        {"Sa&ve State...", CMD_SAVE_STATE, Qt::Key_unknown},
        {"Load St&ate...", CMD_LOAD_STATE, Qt::Key_unknown},
        {"&Quick Save State\tF5", CMD_QUICK_SAVE, Qt::Key_F5},
        {"Quick Loa&d State\tF9", CMD_QUICK_LOAD, Qt::Key_F9},
    };
    const QList<QAction*> items = openBarMenu(MENU_FILE)->actions();
    const qsizetype first = items.size() - static_cast<qsizetype>(std::size(rows));
    ASSERT_GT(first, 0);
    EXPECT_TRUE(items[first - 1]->isSeparator());
    EXPECT_EQ(items[first - 2]->data().toInt(), CMD_SAVE_SCREENSHOT) << "after the items that were there";
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].text);
        const QAction* item = items[first + static_cast<qsizetype>(i)];
        EXPECT_EQ(item->text(), rows[i].text);
        EXPECT_EQ(item->data().toInt(), rows[i].command);
        EXPECT_TRUE(item->isEnabled());
        test::CommandRecorder recorder;
        if (rows[i].key != Qt::Key_unknown) {
            test::pressKey(windowParts.mainWindow, rows[i].key, Qt::NoModifier, QString());
            EXPECT_EQ(recorder.take(), std::vector<int>{rows[i].command})
                << "its key posts it, and nothing else";
        }
    }
}

TEST_F(MenusTest, EditMenuSitsBetweenFileAndActionWithItsShortcuts) {
    QStringList titles;
    for (QAction* top : menus.mainMenu->actions()) titles << top->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Action", "&View", "&Help"}));
    const struct {
        int command;
        const char* text;
        QKeySequence keys;
        bool enabled; // with no paste going on
    } items[] = {
        {CMD_PASTE_KEYS, "Paste as &Keys\tCtrl+Shift+V", QKeySequence("Ctrl+Shift+V"), true},
        {CMD_STOP_PASTE, "&Stop Paste", QKeySequence(), false},
        {CMD_PASTE_MEMORY, "&Paste into Memory\tCtrl+V", QKeySequence("Ctrl+V"), true},
        {CMD_COPY_DISPLAY, "&Copy Display\tCtrl+C", QKeySequence("Ctrl+C"), true},
    };
    QMenu* edit = openBarMenu(MENU_EDIT);
    for (const auto& item : items) {
        QAction* action = actionFor(edit, item.command);
        ASSERT_NE(action, nullptr) << item.text;
        EXPECT_EQ(action->text(), item.text);
        EXPECT_EQ(action->shortcut(), item.keys) << item.text;
        EXPECT_EQ(action->isEnabled(), item.enabled) << item.text;
    }
}

TEST_F(MenusTest, MenuBarOffLeavesThePopupToBringItBack) {
    const int panelHeight = windowParts.panelWidget->height();
    onCommand(CMD_MENU);
    EXPECT_EQ(switches.menu, 0);
    EXPECT_FALSE(menus.mainMenu->isVisible());
    // The window shrinks to the panel it shows.
    ASSERT_TRUE(settleUntil([&] { return windowParts.mainWindow->height() == panelHeight; }, 10000));
    EXPECT_EQ(windowParts.panelWidget->height(), panelHeight);

    rightPress(windowParts.panelWidget, QPoint(5, 5));
    ASSERT_TRUE(menus.popupMenu->isVisible());
    QAction* item = actionFor(menus.popupMenu, CMD_MENU);
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    menus.popupMenu->close();
    ASSERT_TRUE(settleUntil([] { return switches.menu && menus.mainMenu->isVisible(); }, 10000));
    ASSERT_TRUE(settleUntil([&] { return windowParts.mainWindow->height() > panelHeight; }, 10000));
    EXPECT_EQ(windowParts.panelWidget->height(), panelHeight);
}

TEST_F(MenusTest, PopupOpensOnTheRightButtonOutsideTheKeys) {
    if (menus.popupMenu) menus.popupMenu->close();
    rightPress(windowParts.keyButtons[5], QPoint(3, 3));
    settle(5);
    EXPECT_TRUE(!menus.popupMenu || !menus.popupMenu->isVisible());
    QMouseEvent left(QEvent::MouseButtonPress, QPointF(5, 5),
                     windowParts.panelWidget->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(windowParts.panelWidget, &left);
    EXPECT_TRUE(!menus.popupMenu || !menus.popupMenu->isVisible());

    // Between the keys, on the keypad's white.
    const QPoint between(windowParts.keyButtons[0]->geometry().right() + 2,
                         windowParts.keyButtons[0]->geometry().center().y());
    rightPress(windowParts.panelWidget, between);
    ASSERT_NE(menus.popupMenu, nullptr);
    EXPECT_TRUE(menus.popupMenu->isVisible());
    // Its top-left corner at the point, lifted where the screen ends below a menu this long.
    const QPoint at = windowParts.panelWidget->mapToGlobal(between);
    const int lowest =
        menus.popupMenu->screen()->availableGeometry().bottom() + 1 - menus.popupMenu->height();
    EXPECT_EQ(menus.popupMenu->pos(), QPoint(at.x(), std::min(at.y(), lowest)));
}

TEST_F(MenusTest, DebugAndKeyboardReturnTheWindowToItsHeight) {
    const int height = windowParts.mainWindow->height();
    const int units = 90 * panelLayout.scale;
    onCommand(CMD_DEBUG);
    ASSERT_TRUE(settleUntil(
        [&] {
            return panelLayout.debugPanelHeight > 0 &&
                   windowParts.panelWidget->height() == units + panelLayout.debugPanelHeight;
        },
        10000));
    EXPECT_EQ(windowParts.mainWindow->height(), height + panelLayout.debugPanelHeight);
    onCommand(CMD_DEBUG);
    ASSERT_TRUE(settleUntil([&] { return windowParts.mainWindow->height() == height; }, 10000));
    EXPECT_EQ(windowParts.panelWidget->height(), units);

    onCommand(CMD_KEYBOARD);
    ASSERT_TRUE(
        settleUntil([&] { return windowParts.panelWidget->height() == 17 * panelLayout.scale; }, 10000));
    EXPECT_FALSE(windowParts.keyButtons[0]->isVisible());
    onCommand(CMD_KEYBOARD);
    ASSERT_TRUE(settleUntil([&] { return windowParts.mainWindow->height() == height; }, 10000));
    EXPECT_TRUE(windowParts.keyButtons[0]->isVisible());
    EXPECT_EQ(windowParts.panelWidget->width(), 100 * panelLayout.scale);
}

TEST_F(MenusTest, PowerCycleHaltsAndStartsTheMachineAfresh) {
    onCommand(CMD_RESET);
    ASSERT_FALSE(runInputs.halted);
    settle(30);
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    onCommand(CMD_POWER);
    const std::string line = registerLine();
    runInputs.diag = 0;
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(runInputs.halted);
    EXPECT_EQ(cpu.cycles, 0);
    // The monitor had set up its port; the RIO reset undoes that.
    EXPECT_EQ(rio[0].ddrA, 0xFF);
    EXPECT_NE(out.find("Power On\n"), std::string::npos) << out;
    EXPECT_EQ(out.substr(out.size() - line.size() - 1), line + "\n") << out;
}

TEST_F(MenusTest, PowerKeepsWhatWasLoadedIntoRomAndRestoreBuiltInMonitorPutsTheMonitorBack) {
    EXPECT_EQ(barMenu(MENU_ACTION)->actions().last()->data().toInt(), CMD_RESTORE_MONITOR);
    auto rom = [] { return std::vector<std::uint8_t>(bus.memory.begin() + 0xFE00, bus.memory.end()); };
    onCommand(CMD_RESTORE_MONITOR);
    const std::vector<std::uint8_t> monitor = rom();
    const std::vector<std::uint8_t> own(0x200, 0xEA);
    test::poke(0xFE00, own);
    onCommand(CMD_POWER);
    EXPECT_EQ(rom(), own) << "a monitor of the user's own stays over power off/on";

    onCommand(CMD_RESET);
    ASSERT_FALSE(runInputs.halted);
    onCommand(CMD_RESTORE_MONITOR);
    EXPECT_EQ(rom(), monitor);
    // Then as power off/on leaves the board.
    EXPECT_TRUE(runInputs.halted);
    EXPECT_EQ(cpu.cycles, 0);
}

TEST_F(MenusTest, InterruptCommandsTraceAndRequest) {
    cpu.pendingInterrupts = 0;
    cpu.i = 1;
    const std::uint8_t sp = cpu.sp;
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    onCommand(CMD_IRQ);
    onCommand(CMD_NMI);
    runInputs.diag = 0;
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("IRQ...\nNMI...\n", 0), 0u) << out;
    // The masked IRQ waits; the NMI is taken at once, pushing PC and status.
    EXPECT_EQ(cpu.pendingInterrupts & PEND_IRQ, PEND_IRQ);
    EXPECT_EQ(static_cast<std::uint8_t>(sp - cpu.sp), 3);
    cpu.pendingInterrupts = 0;
}

struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* text;
};

// A key typed the way the keyboard types it: the shortcuts (the menu bar's Alt+letter) first, then
// the open menu or the widget with the focus.
void typeKey(const Key& k) {
    QWidget* target = QApplication::activePopupWidget();
    if (!target) target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    test::pressKey(target, k.key, k.modifiers, k.text);
}

TEST_F(MenusTest, KeysTypedAfterMenusHaveClosedReachTheWindow) {
    const Key altA{Qt::Key_A, Qt::AltModifier, "a"}, altF{Qt::Key_F, Qt::AltModifier, "f"};
    const Key escape{Qt::Key_Escape, Qt::NoModifier, "\x1b"}, m{Qt::Key_M, Qt::NoModifier, "m"};
    // Esc closes a menu and leaves the bar with the focus, waiting for the arrows; File's Tape Mute is
    // picked by its letter.
    const std::vector<Key> cases[] = {
        {altA, escape},
        {altF, m},
        {altA, escape, altF, m},
    };
    windowParts.mainWindow->activateWindow();
    ASSERT_TRUE(settleUntil([] { return QApplication::activeWindow() == windowParts.mainWindow; }, 10000));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        windowParts.mainWindow->setFocus();
        for (const Key& k : cases[i]) {
            typeKey(k);
            settle(5);
            if (k.modifiers & Qt::AltModifier) {
                ASSERT_NE(QApplication::activePopupWidget(), nullptr);
            }
        }
        ASSERT_EQ(QApplication::activePopupWidget(), nullptr);
        // The item's own command goes first.
        QCoreApplication::sendPostedEvents(windowParts.mainWindow, COMMAND_EVENT);
        runInputs.mute = 0;

        test::CommandRecorder recorder;
        for (const Key& k :
             {escape, Key{Qt::Key_5, Qt::NoModifier, "5"}, Key{Qt::Key_A, Qt::NoModifier, "a"}})
            typeKey(k);
        EXPECT_EQ(recorder.take(), (std::vector<int>{CMD_RESET, 5, 10}));
        EXPECT_EQ(QApplication::focusWidget(), windowParts.mainWindow);
    }
}

// Receives the addresses handed to the desktop instead of a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
  public slots:
    void openUrl(const QUrl& url) { urls.push_back(url); }

  public:
    std::vector<QUrl> urls;
};

TEST_F(MenusTest, HelpPagesOpenTheGuideShippedWithTheProgram) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "openUrl");
    onCommand(CMD_WEBSITE);
    onCommand(CMD_EMULATOR_PAGES);
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(catcher.urls.size(), 2u);
    for (const auto& [url, page] :
         {std::pair{catcher.urls[0], GUIDE_HOME_PAGE}, {catcher.urls[1], GUIDE_EMULATOR_PAGE}}) {
        ASSERT_TRUE(url.isLocalFile());
        EXPECT_TRUE(url.toLocalFile().endsWith(QString("/") + page));
        EXPECT_TRUE(QFile::exists(url.toLocalFile())) << url.toLocalFile().toStdString();
    }
}

TEST_F(MenusTest, GuideIsFoundInABuildAndInAnInstallation) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDir dir(root.path());
    ASSERT_TRUE(dir.mkpath("build/docs") && dir.mkpath("prefix/bin") &&
                dir.mkpath("prefix/share/doc/orvane"));
    EXPECT_EQ(guideFolderFor(dir.filePath("build")), QString());
    for (const char* page : {"build/docs/index.html", "prefix/share/doc/orvane/index.html"}) {
        QFile file(dir.filePath(page));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(guideFolderFor(dir.filePath("build")), dir.filePath("build/docs"));
    EXPECT_EQ(guideFolderFor(dir.filePath("prefix/bin")), dir.filePath("prefix/share/doc/orvane"));
    EXPECT_EQ(guideFolderFor(dir.filePath("prefix")), QString());
}

} // namespace
} // namespace orv

#include "menus_test.moc"
