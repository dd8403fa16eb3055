#include "control/commands.h"
#include "control/keypad.h"
#include "control/main_window.h"
#include "control/menus.h"
#include "control/run_control.h"
#include "debugger/breakpoints.h"
#include "debugger/code_pane.h"
#include "debugger/debugger_window.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/rio.h"
#include "program/program_fixture.h"
#include "settings/profile.h"
#include "settings/settings.h"
#include "support/file_io.h"
#include "support/key_press.h"
#include "support/poke.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

namespace orv {
namespace {

using test::settle;
using test::settleUntil;

constexpr int DEADLINE_MS = 10000;

void ctrlD(QWidget* target) {
    test::pressKey(target, Qt::Key_D, Qt::ControlModifier, "\x04");
}

class DebuggerWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        haltRunning();
        settle(5);
        breakpointRemoveAll();
        if (!debuggerWindowShown()) onCommand(CMD_DEBUGGER_WINDOW);
        ASSERT_TRUE(settleUntil([] { return debuggerWindowShown(); }, DEADLINE_MS));
    }
    void TearDown() override {
        haltRunning();
        settle(5);
        breakpointRemoveAll();
        if (debuggerWindowShown()) debuggerWindow->close();
        debuggerSettings = {};
    }
    // Runs until the window has noticed the stop.
    static bool stopShown(const QString& reason) {
        return settleUntil([&] { return halted && debuggerWindow->stopLabel->text() == reason; },
                           DEADLINE_MS);
    }
};

TEST_F(DebuggerWindowTest, OpensAndClosesFromTheViewMenuAndCtrlD) {
    EXPECT_EQ(debuggerWindow->windowTitle(), "Orvane Debugger");
    QMenu* view = mainMenu->actions().at(MENU_VIEW)->menu();
    const QList<QAction*> items = view->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_TRUE(items.at(items.size() - 2)->isSeparator());
    QAction* item = items.last();
    EXPECT_EQ(item->text(), "Debu&gger window\tCtrl+D");
    setMenuStates(view, MENU_VIEW);
    EXPECT_TRUE(item->isChecked());

    item->trigger();
    ASSERT_TRUE(settleUntil([] { return !debuggerWindowShown(); }, DEADLINE_MS));
    setMenuStates(view, MENU_VIEW);
    EXPECT_FALSE(item->isChecked());

    // Ctrl+D from the main window opens it, from the debugger window closes it; no key reaches the
    // keypad on the way.
    const std::int32_t queued = keyQueueCount;
    ctrlD(mainWindow);
    ASSERT_TRUE(settleUntil([] { return debuggerWindowShown(); }, DEADLINE_MS));
    debuggerWindow->activateWindow();
    settleUntil([] { return QApplication::activeWindow() == debuggerWindow; }, DEADLINE_MS);
    ctrlD(debuggerWindow);
    ASSERT_TRUE(settleUntil([] { return !debuggerWindowShown(); }, DEADLINE_MS));
    EXPECT_EQ(keyQueueCount, queued);
}

TEST_F(DebuggerWindowTest, KeepsItsOwnSectionInTheSettingsFile) {
    QTemporaryDir dir;
    const std::string saved = settingsPath;
    settingsPath = dir.filePath("orv.ini").toStdString();

    // Never opened this run and not in the file: no section.
    debuggerWindow->close();
    debuggerSettings = {};
    saveSettings();
    EXPECT_EQ(profileReadInt(settingsPath, "Debugger", "open", -1), -1);

    onCommand(CMD_DEBUGGER_WINDOW);
    ASSERT_TRUE(settleUntil([] { return debuggerWindowShown(); }, DEADLINE_MS));
    debuggerWindow->resize(1000, 800);
    debuggerWindow->romWrites->setChecked(true);
    debuggerWindow->memoryGoTo->setText("$0340");
    emit debuggerWindow->memoryGoTo->returnPressed();
    saveSettings();
    EXPECT_EQ(profileReadInt(settingsPath, "Debugger", "open", -1), 1);
    EXPECT_EQ(profileReadInt(settingsPath, "Debugger", "width", 0), 1000);
    EXPECT_EQ(profileReadInt(settingsPath, "Debugger", "height", 0), 800);
    EXPECT_EQ(profileReadInt(settingsPath, "Debugger", "romWrites", 0), 1);
    EXPECT_EQ(profileReadInt(settingsPath, "Debugger", "memory", 0), 0x340);
    // The specified sections are written as before.
    EXPECT_EQ(profileReadString(settingsPath, "Debug", "debugP", "", 5),
              QString::asprintf("%04x", debugP).toStdString());

    debuggerSettings = {};
    loadSettings();
    EXPECT_TRUE(debuggerSettings.present);
    EXPECT_EQ(debuggerSettings.open, 1);
    EXPECT_EQ(debuggerSettings.width, 1000);
    EXPECT_EQ(debuggerSettings.romWrites, 1);
    EXPECT_EQ(debuggerSettings.memory, 0x340);
    settingsPath = saved;
}

TEST_F(DebuggerWindowTest, AMarginClickSetsABreakpointThatStopsTheRunningProgram) {
    // INX, INX, JMP $0200.
    test::poke(0x0200, {0xE8, 0xE8, 0x4C, 0x00, 0x02});
    cpuSetPc(0x0200);
    DisasmView* view = debuggerWindow->disasm;
    view->setTopAddress(0x0200);
    ASSERT_EQ(view->rowAddresses().at(1), 0x0201);
    const QPointF margin(view->marginWidth() / 2.0, view->rowHeight() * 1.5);
    QMouseEvent click(QEvent::MouseButtonPress, margin, view->viewport()->mapToGlobal(margin), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &click);
    const auto points = breakpointList();
    ASSERT_EQ(points.size(), 2u); // debugP heads the list
    EXPECT_EQ(points[1].kind, PointKind::Exec);
    EXPECT_EQ(points[1].first, 0x0201);

    const auto started = static_cast<std::uint32_t>(cycles);
    onCommand(CMD_RUN);
    ASSERT_TRUE(stopShown("Breakpoint at $0201"));
    EXPECT_EQ(cpu.pc, 0x0201);
    // How long the run took stays shown while halted.
    const QString took = QString::asprintf("Cycles %u\nSince stop %u", static_cast<std::uint32_t>(cycles),
                                           static_cast<std::uint32_t>(cycles) - started);
    EXPECT_EQ(debuggerWindow->cycleLabel->text(), took);
    debuggerWindow->refreshViews();
    EXPECT_EQ(debuggerWindow->cycleLabel->text(), took);
    // The PC's row is marked.
    const std::vector<std::uint16_t> rows = view->rowAddresses();
    const auto row = std::find(rows.begin(), rows.end(), 0x0201) - rows.begin();
    ASSERT_LT(row, static_cast<long>(rows.size()));
    const QImage image = view->viewport()->grab().toImage();
    const int y = static_cast<int>(row) * view->rowHeight() + 1;
    EXPECT_EQ(image.pixelColor(image.width() - 3, y), QColor(255, 236, 140));
    EXPECT_NE(image.pixelColor(image.width() - 3, y + view->rowHeight()), QColor(255, 236, 140));

    // A second click takes it away and the program runs on.
    QApplication::sendEvent(view->viewport(), &click);
    EXPECT_EQ(breakpointList().size(), 1u);
}

TEST_F(DebuggerWindowTest, ClosedItsPointsAreDisarmedAndOpenedAgainArmed) {
    ASSERT_TRUE(debuggerWindow->addPoint(0, "$0201", ""));
    ASSERT_TRUE(debuggerWindow->addPoint(2, "$0300-$0310", ""));
    breakpointEnable(breakpointList().back().id, false);
    ASSERT_EQ(cpuTraps().size(), 1u);
    debuggerWindow->close();
    EXPECT_TRUE(cpuTraps().empty());
    onCommand(CMD_DEBUGGER_WINDOW);
    ASSERT_TRUE(settleUntil([] { return debuggerWindowShown(); }, DEADLINE_MS));
    ASSERT_EQ(cpuTraps().size(), 1u);
    EXPECT_EQ(cpuTraps()[0].first, 0x0201);
}

TEST_F(DebuggerWindowTest, GoToTakesAddressesLabelsRegistersAndPointers) {
    QTemporaryDir dir;
    const QString labels = dir.filePath("prog.lbl");
    ASSERT_TRUE(test::writeText(labels.toStdString(), "al 000209 .count\n"));
    debuggerWindow->loadLabelFiles({labels});
    cpu.a = 0x34;
    cpu.x = 0x12;
    cpuSetPc(0x0207);
    test::poke(0x00FB, {0x80, 0x03});
    struct Case {
        const char* text;
        bool ok;
        std::uint16_t address;
    };
    const Case cases[] = {
        {"$0200", true, 0x0200}, {"fe00", true, 0xFE00},  {"count", true, 0x0209}, {"PC", true, 0x0207},
        {"X:A", true, 0x1234},   {"($FB)", true, 0x0380}, {"nowhere", false, 0},   {"$10000", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint16_t address = 0;
        EXPECT_EQ(DebuggerWindow::parseAddress(c.text, address), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(address, c.address);
        debuggerWindow->codeGoTo->setText(c.text);
        emit debuggerWindow->codeGoTo->returnPressed();
        EXPECT_EQ(debuggerWindow->disasm->cursorAddress(), c.address);
    }

    // Rewritten on disk, the file is read again; a line that does not parse is told.
    ASSERT_TRUE(test::writeText(labels.toStdString(), "al 000209 .tally\nal 0209\n"));
    EXPECT_TRUE(settleUntil([] { return symbolAddress(debuggerSymbols, "tally").has_value(); }, DEADLINE_MS));
    EXPECT_FALSE(symbolAddress(debuggerSymbols, "count").has_value());
    EXPECT_TRUE(debuggerWindow->stopLabel->text().contains("line 2"))
        << debuggerWindow->stopLabel->text().toStdString();
    symbolsRemoveFile(debuggerSymbols, labels.toStdString());
}

TEST_F(DebuggerWindowTest, AWatchpointHitShowsWhy) {
    // LDA #1, STA $0300, JMP $0200.
    test::poke(0x0200, {0xA9, 0x01, 0x8D, 0x00, 0x03, 0x4C, 0x00, 0x02});
    ASSERT_TRUE(debuggerWindow->addPoint(2, "$0300", ""));
    ASSERT_FALSE(debuggerWindow->addPoint(2, "$0300", "Q = 1"));
    struct Case {
        std::uint16_t pc; // the first instruction Run executes stops there too
    };
    for (const Case c : {Case{0x0200}, Case{0x0202}}) {
        SCOPED_TRACE(c.pc);
        cpuSetPc(c.pc);
        onCommand(CMD_RUN);
        ASSERT_TRUE(stopShown("Write to $0300 at $0202"));
        EXPECT_EQ(cpu.pc, 0x0205);
        debuggerWindow->stopLabel->clear();
    }
}

TEST_F(DebuggerWindowTest, MemoryEditsRefuseROMUnlessAllowedAndNeverTouchDevices) {
    MemoryView* view = debuggerWindow->memoryView;
    struct Case {
        std::uint16_t address;
        bool allowRom, halted, written;
    };
    const Case cases[] = {
        {0x0210, false, true, true}, {0x0210, false, false, false}, {0xFE10, false, true, false},
        {0xFE10, true, true, true},  {0x0E02, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.address << " " << c.allowRom << " " << c.halted);
        const std::uint8_t before = peekByte(c.address);
        const auto value = static_cast<std::uint8_t>(before ^ 0x5A);
        debuggerWindow->romWrites->setChecked(c.allowRom);
        halted = c.halted;
        QString why;
        EXPECT_EQ(view->editByte(c.address, value, why), c.written);
        halted = true;
        EXPECT_EQ(peekByte(c.address), c.written ? value : before);
        EXPECT_EQ(why.isEmpty(), c.written);
        if (c.written) busWrite(c.address, before, 1);
    }
    debuggerWindow->romWrites->setChecked(false);
}

TEST_F(DebuggerWindowTest, ViewsOfARIOPageLeaveTheChipAsItWas) {
    keyDown(5); // a real read of port A would take the keypad's rows into the chip
    const auto chips = rio;
    const std::int32_t warnings = rioWarningsLeft;
    debuggerWindow->memoryView->goTo(0x0E00);
    debuggerWindow->disasm->setTopAddress(0x0E00);
    debuggerWindow->memoryView->viewport()->grab();
    debuggerWindow->disasm->viewport()->grab();
    keyUp();
    EXPECT_EQ(std::memcmp(&chips, &rio, sizeof rio), 0);
    EXPECT_EQ(rioWarningsLeft, warnings);
    EXPECT_STREQ(pageKindText(0x0E00), "RIO");
}

} // namespace
} // namespace orv
