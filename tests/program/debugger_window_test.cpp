#include "base/run_inputs.h"
#include "control/commands.h"
#include "control/keypad.h"
#include "control/main_window.h"
#include "control/menus.h"
#include "control/program_files.h"
#include "control/run_control.h"
#include "debugger/breakpoints.h"
#include "debugger/code_pane.h"
#include "debugger/debugger_window.h"
#include "debugger/rewind.h"
#include "debugger/source_pane.h"
#include "debugger/stepping.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/rio.h"
#include "objfile/binary.h"
#include "program/program_fixture.h"
#include "settings/profile.h"
#include "settings/settings.h"
#include "support/file_io.h"
#include "support/key_press.h"
#include "support/poke.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDockWidget>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>

namespace orv {
namespace {

using test::settle;
using test::settleUntil;

constexpr int DEADLINE_MS = 10000;

void ctrlD(QWidget* target) {
    test::activate(target);
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
        if (debuggerWindowShown()) debuggerParts.debuggerWindow->close();
        if (debuggerParts.debuggerWindow) debuggerParts.debuggerWindow->removeAllLabelFiles();
        debuggerSettings = {};
    }
    // Runs until the window has noticed the stop.
    static bool stopShown(const QString& reason) {
        return settleUntil(
            [&] { return runInputs.halted && debuggerParts.debuggerWindow->stopLabel->text() == reason; },
            DEADLINE_MS);
    }
};

TEST_F(DebuggerWindowTest, OpensAndClosesFromTheViewMenuAndCtrlD) {
    EXPECT_EQ(debuggerParts.debuggerWindow->windowTitle(), "Orvane Debugger");
    EXPECT_EQ(debuggerParts.debuggerWindow->historyOn->text(), "Record the last 10,000 instructions");
    QMenu* view = menus.mainMenu->actions().at(MENU_VIEW)->menu();
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
    const std::int32_t queued = keyInput.keyQueueCount;
    ctrlD(windowParts.mainWindow);
    ASSERT_TRUE(settleUntil([] { return debuggerWindowShown(); }, DEADLINE_MS));
    debuggerParts.debuggerWindow->activateWindow();
    settleUntil([] { return QApplication::activeWindow() == debuggerParts.debuggerWindow; }, DEADLINE_MS);
    ctrlD(debuggerParts.debuggerWindow);
    ASSERT_TRUE(settleUntil([] { return !debuggerWindowShown(); }, DEADLINE_MS));
    EXPECT_EQ(keyInput.keyQueueCount, queued);
}

TEST_F(DebuggerWindowTest, KeepsItsOwnSectionInTheSettingsFile) {
    QTemporaryDir dir;
    const std::string saved = settings.settingsPath;
    settings.settingsPath = dir.filePath("orv.ini").toStdString();

    // Never opened this run and not in the file: no section.
    debuggerParts.debuggerWindow->close();
    debuggerSettings = {};
    saveSettings();
    EXPECT_EQ(profileReadInt(settings.settingsPath, "Debugger", "open", -1), -1);

    onCommand(CMD_DEBUGGER_WINDOW);
    ASSERT_TRUE(settleUntil([] { return debuggerWindowShown(); }, DEADLINE_MS));
    debuggerParts.debuggerWindow->resize(1000, 800);
    debuggerParts.debuggerWindow->romWrites->setChecked(true);
    debuggerParts.debuggerWindow->memoryGoTo->setText("$0340");
    emit debuggerParts.debuggerWindow->memoryGoTo->returnPressed();
    saveSettings();
    EXPECT_EQ(profileReadInt(settings.settingsPath, "Debugger", "open", -1), 1);
    EXPECT_EQ(profileReadInt(settings.settingsPath, "Debugger", "width", 0), 1000);
    EXPECT_EQ(profileReadInt(settings.settingsPath, "Debugger", "height", 0), 800);
    EXPECT_EQ(profileReadInt(settings.settingsPath, "Debugger", "romWrites", 0), 1);
    EXPECT_EQ(profileReadInt(settings.settingsPath, "Debugger", "memory", 0), 0x340);
    // The specified sections are written as before.
    EXPECT_EQ(profileReadString(settings.settingsPath, "Debug", "debugP", "", 5),
              QString::asprintf("%04x", settings.debugP).toStdString());

    debuggerSettings = {};
    loadSettings();
    EXPECT_TRUE(debuggerSettings.present);
    EXPECT_EQ(debuggerSettings.open, 1);
    EXPECT_EQ(debuggerSettings.width, 1000);
    EXPECT_EQ(debuggerSettings.romWrites, 1);
    EXPECT_EQ(debuggerSettings.memory, 0x340);
    settings.settingsPath = saved;
}

TEST_F(DebuggerWindowTest, AMarginClickSetsABreakpointThatStopsTheRunningProgram) {
    // INX, INX, JMP $0200.
    test::poke(0x0200, {0xE8, 0xE8, 0x4C, 0x00, 0x02});
    cpuSetPc(0x0200);
    DisasmView* view = debuggerParts.debuggerWindow->disasm;
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

    const auto started = static_cast<std::uint32_t>(cpu.cycles);
    onCommand(CMD_RUN);
    ASSERT_TRUE(stopShown("Breakpoint at $0201"));
    EXPECT_EQ(cpu.pc, 0x0201);
    // How long the run took stays shown while halted.
    const QString took = QString::asprintf("Cycles %u\nSince stop %u", static_cast<std::uint32_t>(cpu.cycles),
                                           static_cast<std::uint32_t>(cpu.cycles) - started);
    EXPECT_EQ(debuggerParts.debuggerWindow->cycleLabel->text(), took);
    debuggerParts.debuggerWindow->refreshViews();
    EXPECT_EQ(debuggerParts.debuggerWindow->cycleLabel->text(), took);
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

// The points go to the settings file as they change and come back from it; Clear All leaves debugP.
TEST_F(DebuggerWindowTest, PointsAreKeptInTheSettingsFileAndClearedAll) {
    QTemporaryDir dir;
    const std::string saved = settings.settingsPath;
    settings.settingsPath = dir.filePath("orv.ini").toStdString();
    DebuggerWindow* window = debuggerParts.debuggerWindow;
    ASSERT_TRUE(window->addPoint(2, "$0300-$03FF", "X = $10"));
    ASSERT_TRUE(window->addPoint(0, "$0215", ""));
    window->pointList->item(2)->setCheckState(Qt::Unchecked);
    saveSettings();
    debuggerSettings = {};
    loadSettings();
    EXPECT_EQ(debuggerSettings.points,
              (std::vector<std::string>{"Write 0300 03FF 1 X = $10", "Execute 0215 0215 0"}));

    const auto buttons = window->findChildren<QPushButton*>();
    const auto clear = std::find_if(buttons.begin(), buttons.end(),
                                    [](const QPushButton* b) { return b->text() == "Clear A&ll"; });
    ASSERT_NE(clear, buttons.end());
    (*clear)->click();
    EXPECT_EQ(breakpointList().size(), 1u);
    EXPECT_TRUE(debuggerSettings.points.empty());
    settings.settingsPath = saved;
}

// A program's source from ld65's debug information: PC's line followed, Step Line over a macro's call
// and a whole .repeat, a breakpoint on a line by a double-click.
TEST_F(DebuggerWindowTest, FollowsAndStepsTheSourceOfAProgram) {
    const QString program = ORV_SOURCE_PROGRAM_DIR;
    std::string message;
    ASSERT_EQ(loadBinaryFile((program + "/program.bin").toStdString(), 0x0200, message), 0x15) << message;
    DebuggerWindow* window = debuggerParts.debuggerWindow;
    window->loadLabelFileForThisRun(program + "/program.dbg");
    cpuSetPc(0x0200);
    ASSERT_TRUE(window->source->showAddress(0x0200));
    EXPECT_TRUE(window->source->shownFile().endsWith("main.s"));
    EXPECT_EQ(window->source->markedLine(), 7);
    const struct {
        std::uint16_t pc;
        int line;
    } steps[] = {{0x0202, 8}, {0x0206, 9}, {0x0213, 4}, {0x0214, 5}, {0x0209, 11}, {0x020B, 13}};
    for (const auto& s : steps) {
        window->stepLine();
        ASSERT_TRUE(settleUntil([] { return !stepActive(); }, DEADLINE_MS));
        ASSERT_TRUE(stopShown("Halted"));
        EXPECT_EQ(cpu.pc, s.pc);
        EXPECT_EQ(window->source->markedLine(), s.line) << s.pc;
    }
    EXPECT_TRUE(window->source->shownFile().endsWith("main.s"));

    // A double-click on the .repeat's body line sets a breakpoint on each pass, a second takes them away.
    auto* text = window->source->findChild<QPlainTextEdit*>();
    ASSERT_NE(text, nullptr);
    const QRect row = text->cursorRect(QTextCursor(text->document()->findBlockByNumber(10)));
    const QPointF at(row.center());
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, text->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(text->viewport(), &twice);
    std::vector<std::uint16_t> set;
    for (const BreakPoint& p : breakpointList())
        if (p.kind == PointKind::Exec) set.push_back(p.first);
    EXPECT_EQ(set, (std::vector<std::uint16_t>{0x0209, 0x020A}));
    QApplication::sendEvent(text->viewport(), &twice);
    EXPECT_EQ(breakpointList().size(), 1u);
}

// Step back and Run back from the toolbar: the board as it was, and where the machine last stopped.
TEST_F(DebuggerWindowTest, StepsBackAndRunsBackToTheLastBreakpoint) {
    // INX, INX, JMP $0200.
    test::poke(0x0200, {0xE8, 0xE8, 0x4C, 0x00, 0x02});
    cpuSetPc(0x0200);
    rewindRestart();
    DebuggerWindow* window = debuggerParts.debuggerWindow;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> seen;
    for (int n = 0; n < 7; ++n) {
        seen.emplace_back(cpu.pc, static_cast<std::uint32_t>(cpu.cycles));
        onCommand(CMD_STEP);
    }
    window->stepBack(false);
    EXPECT_EQ(window->stopLabel->text(), "Stepped back");
    EXPECT_EQ(cpu.pc, seen.back().first);
    EXPECT_EQ(static_cast<std::uint32_t>(cpu.cycles), seen.back().second);
    ASSERT_TRUE(window->addPoint(0, "$0201", ""));
    window->stepBack(true);
    EXPECT_EQ(window->stopLabel->text(), "Back at: Breakpoint at $0201");
    EXPECT_EQ(static_cast<std::uint32_t>(cpu.cycles), seen[4].second);
    breakpointRemoveAll();
    window->stepBack(true);
    EXPECT_EQ(window->stopLabel->text(), "At the start of the history");
    EXPECT_EQ(static_cast<std::uint32_t>(cpu.cycles), seen[0].second);
}

// Trace to File follows the running machine instruction by instruction, and ends by itself at its limit.
TEST_F(DebuggerWindowTest, TracesTheRunningMachineToAFileUpToItsLimit) {
    // INX, INX, JMP $0200.
    test::poke(0x0200, {0xE8, 0xE8, 0x4C, 0x00, 0x02});
    cpuSetPc(0x0200);
    QTemporaryDir dir;
    const QString path = dir.filePath("run.log");
    DebuggerWindow* window = debuggerParts.debuggerWindow;
    window->traceLimit->setValue(1);
    ASSERT_TRUE(window->startTrace(path));
    EXPECT_EQ(window->traceButton->text(), "Stop &Trace");
    test::boxes.clear();
    onCommand(CMD_RUN);
    // A MiB at 1 MHz is about a twentieth of a second of the board's time.
    ASSERT_TRUE(settleUntil([&] { return !window->tracing(); }, DEADLINE_MS));
    ASSERT_EQ(test::boxes.size(), 1u);
    EXPECT_EQ(test::boxes[0].text.toStdString(),
              "Warning: the trace in 'run.log' stopped at its limit of 1048576 bytes");
    haltRunning();
    const std::string log = test::readText(path.toStdString());
    EXPECT_LE(log.size(), 1u << 20);
    EXPECT_GT(log.size(), (1u << 20) - 200);
    // Consecutive instructions, each at its cycle count.
    std::istringstream in(log);
    std::string line;
    std::uint32_t cycles = 0;
    const std::map<std::string, std::uint32_t> lengths = {{"0200", 2}, {"0201", 2}, {"0202", 3}};
    for (int n = 0; std::getline(in, line); ++n) {
        const auto at = static_cast<std::uint32_t>(std::stoul(line.substr(0, 10)));
        const std::string pc = line.substr(12, 4);
        ASSERT_TRUE(lengths.contains(pc)) << line;
        if (n > 0) {
            EXPECT_EQ(at, cycles) << line;
        }
        cycles = at + lengths.at(pc);
    }
    EXPECT_EQ(window->traceButton->text(), "&Trace to File...");
}

TEST_F(DebuggerWindowTest, ClosedItsPointsAreDisarmedAndOpenedAgainArmed) {
    ASSERT_TRUE(debuggerParts.debuggerWindow->addPoint(0, "$0201", ""));
    ASSERT_TRUE(debuggerParts.debuggerWindow->addPoint(2, "$0300-$0310", ""));
    breakpointEnable(breakpointList().back().id, false);
    ASSERT_EQ(cpuTraps().size(), 1u);
    debuggerParts.debuggerWindow->close();
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
    debuggerParts.debuggerWindow->loadLabelFiles({labels});
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
        debuggerParts.debuggerWindow->codeGoTo->setText(c.text);
        emit debuggerParts.debuggerWindow->codeGoTo->returnPressed();
        // Memory is as the power-up left it: the address may be inside the instruction of the cursor's row.
        EXPECT_LE(
            static_cast<std::uint16_t>(c.address - debuggerParts.debuggerWindow->disasm->cursorAddress()), 2);
    }

    // Rewritten on disk, the file is read again; a line that does not parse is told.
    ASSERT_TRUE(test::writeText(labels.toStdString(), "al 000209 .tally\nal 0209\n"));
    EXPECT_TRUE(settleUntil([] { return symbolAddress(debuggerParts.debuggerSymbols, "tally").has_value(); },
                            DEADLINE_MS));
    EXPECT_FALSE(symbolAddress(debuggerParts.debuggerSymbols, "count").has_value());
    EXPECT_TRUE(debuggerParts.debuggerWindow->stopLabel->text().contains("line 2"))
        << debuggerParts.debuggerWindow->stopLabel->text().toStdString();
    symbolsRemoveFile(debuggerParts.debuggerSymbols, labels.toStdString());
}

TEST_F(DebuggerWindowTest, AWatchpointHitShowsWhy) {
    // LDA #1, STA $0300, JMP $0200.
    test::poke(0x0200, {0xA9, 0x01, 0x8D, 0x00, 0x03, 0x4C, 0x00, 0x02});
    ASSERT_TRUE(debuggerParts.debuggerWindow->addPoint(2, "$0300", ""));
    ASSERT_FALSE(debuggerParts.debuggerWindow->addPoint(2, "$0300", "Q = 1"));
    struct Case {
        std::uint16_t pc; // the first instruction Run executes stops there too
    };
    for (const Case c : {Case{0x0200}, Case{0x0202}}) {
        SCOPED_TRACE(c.pc);
        cpuSetPc(c.pc);
        onCommand(CMD_RUN);
        ASSERT_TRUE(stopShown("Write to $0300 at $0202"));
        EXPECT_EQ(cpu.pc, 0x0205);
        debuggerParts.debuggerWindow->stopLabel->clear();
    }
}

TEST_F(DebuggerWindowTest, MemoryEditsRefuseROMUnlessAllowedAndNeverTouchDevices) {
    MemoryView* view = debuggerParts.debuggerWindow->memoryView;
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
        debuggerParts.debuggerWindow->romWrites->setChecked(c.allowRom);
        runInputs.halted = c.halted;
        QString why;
        EXPECT_EQ(view->editByte(c.address, value, why), c.written);
        runInputs.halted = true;
        EXPECT_EQ(peekByte(c.address), c.written ? value : before);
        EXPECT_EQ(why.isEmpty(), c.written);
        if (c.written) busWrite(c.address, before, 1);
    }
    debuggerParts.debuggerWindow->romWrites->setChecked(false);
}

TEST_F(DebuggerWindowTest, ViewsOfARIOPageLeaveTheChipAsItWas) {
    keyDown(5); // a real read of port A would take the keypad's rows into the chip
    const auto chips = rio;
    const std::int32_t warnings = rio.rioWarningsLeft;
    debuggerParts.debuggerWindow->memoryView->goTo(0x0E00);
    debuggerParts.debuggerWindow->disasm->setTopAddress(0x0E00);
    debuggerParts.debuggerWindow->memoryView->viewport()->grab();
    debuggerParts.debuggerWindow->disasm->viewport()->grab();
    // The devices tab, brought to the front, shows the key down without reading the port.
    QDockWidget* devices = debuggerParts.debuggerWindow->findChild<QDockWidget*>("Devices");
    ASSERT_NE(devices, nullptr);
    devices->raise();
    settle(5);
    debuggerParts.debuggerWindow->refreshViews();
    EXPECT_TRUE(debuggerParts.debuggerWindow->devices->toPlainText().contains("\"5\" down (column 5)"))
        << debuggerParts.debuggerWindow->devices->toPlainText().toStdString();
    keyUp();
    EXPECT_EQ(std::memcmp(&chips, &rio, sizeof rio), 0);
    EXPECT_EQ(rio.rioWarningsLeft, warnings);
    EXPECT_STREQ(pageKindText(0x0E00), "RIO");
}

TEST_F(DebuggerWindowTest, LabelFilesAreListedRemovableAndOnlyThoseTheUserLoadedComeBack) {
    QTemporaryDir dir;
    const std::string saved = settings.settingsPath;
    settings.settingsPath = dir.filePath("orv.ini").toStdString();
    const QStringList kept = {dir.filePath("a;b.lbl"), dir.filePath("line\nbreak.lbl")};
    const QString once = dir.filePath("once.lbl");
    ASSERT_TRUE(test::writeText(kept[0].toStdString(), "al 0209 .count\n"));
    ASSERT_TRUE(test::writeText(kept[1].toStdString(), "al 0300 .newline\n"));
    ASSERT_TRUE(test::writeText(once.toStdString(), "al 020A .other\nal 020B\n"));
    ASSERT_TRUE(debuggerParts.debuggerWindow->addPoint(0, "$0209", ""));
    debuggerParts.debuggerWindow->loadLabelFiles(kept);
    EXPECT_TRUE(debuggerParts.debuggerWindow->pointList->item(1)->text().endsWith(
        "(count)")); // debugP heads the list
    // --labels: bad lines are told as Load Labels tells them; the file is for this run only.
    StartRequest request;
    request.labels = once;
    const std::size_t boxes = test::boxes.size();
    openStartRequest(request);
    ASSERT_EQ(test::boxes.size(), boxes + 1);
    EXPECT_EQ(test::boxes.back().text, "Error in file 'once.lbl' line 2: expected 'al <address> <label>'");
    EXPECT_EQ(debuggerParts.debuggerWindow->labelList->item(2)->text(),
              "once.lbl  " + dir.path() + "  (this run only)");

    // The next start: the settings read again, the window made again.
    saveSettings();
    debuggerSettings = {};
    loadSettings();
    delete debuggerParts.debuggerWindow;
    debuggerParts.debuggerSymbols = {};
    onCommand(CMD_DEBUGGER_WINDOW);
    ASSERT_TRUE(settleUntil(debuggerWindowShown, DEADLINE_MS));
    EXPECT_EQ(debuggerParts.debuggerWindow->loadedLabelFiles(), kept);
    EXPECT_TRUE(symbolAddress(debuggerParts.debuggerSymbols, "newline").has_value());

    debuggerParts.debuggerWindow->labelList->setCurrentRow(0);
    for (QPushButton* button : debuggerParts.debuggerWindow->findChildren<QPushButton*>())
        if (button->text() == "&Remove") button->click();
    EXPECT_FALSE(symbolAddress(debuggerParts.debuggerSymbols, "count").has_value());
    EXPECT_FALSE(debuggerParts.debuggerWindow->pointList->item(1)->text().contains("count"));
    EXPECT_EQ(debuggerSettings.labelFiles, std::vector<std::string>{kept[1].toStdString()});
    debuggerParts.debuggerWindow->removeAllLabelFiles();
    EXPECT_EQ(debuggerParts.debuggerWindow->labelList->count(), 0);
    EXPECT_TRUE(symbolAddress(debuggerParts.debuggerSymbols, "RESET").has_value()); // the monitor's stay
    settings.settingsPath = saved;
}

TEST_F(DebuggerWindowTest, ALabelFileDeletedAndWrittenAgainIsFollowedAgain) {
    QTemporaryDir dir;
    const QString file = dir.filePath("prog.lbl");
    ASSERT_TRUE(test::writeText(file.toStdString(), "al 0300 .first\n"));
    debuggerParts.debuggerWindow->loadLabelFiles({file});
    QListWidget* list = debuggerParts.debuggerWindow->labelList;
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_TRUE(settleUntil([list] { return list->item(0)->text().endsWith("(not found)"); }, DEADLINE_MS));
    // Written again, it is read; so is every change after.
    for (const char* name : {"second", "third"}) {
        ASSERT_TRUE(test::writeText(file.toStdString(), std::string("al 0300 .") + name + "\n"));
        EXPECT_TRUE(settleUntil(
            [name] { return symbolAddress(debuggerParts.debuggerSymbols, name).has_value(); }, DEADLINE_MS))
            << name;
    }
}

TEST_F(DebuggerWindowTest, ALeftRegisterFieldAppliesAValidValueOrShowsTheRegister) {
    struct Case {
        std::size_t field; // A, X, Y, SP, PC
        const char* typed; // "z" is refused by the field, which is left blank
        bool halted, byReturn;
        std::uint16_t expected;
        const char* shown;
    };
    const Case cases[] = {
        {0, "7", true, false, 0x07, "07"},    {1, "z", true, false, 0x22, "22"},
        {2, "5", true, true, 0x05, "05"},     {3, "", true, true, 0x44, "44"},
        {4, "12", true, false, 0x12, "0012"}, {0, "9", false, false, 0x11, "11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.field << " '" << c.typed << "' " << c.halted << c.byReturn);
        cpu.a = 0x11, cpu.x = 0x22, cpu.y = 0x33, cpu.sp = 0x44;
        cpuSetPc(0x0300);
        debuggerParts.debuggerWindow->refreshViews();
        QLineEdit* edit = debuggerParts.debuggerWindow->registerEdits[c.field];
        edit->selectAll();
        test::pressKey(edit, Qt::Key_Delete, Qt::NoModifier, "");
        for (const QChar ch : QString(c.typed))
            test::pressKey(edit, static_cast<Qt::Key>(ch.toUpper().unicode()), Qt::NoModifier, ch);
        runInputs.halted = c.halted;
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        c.byReturn ? test::pressKey(edit, Qt::Key_Return, Qt::NoModifier, "\r")
                   : (void)QApplication::sendEvent(edit, &out);
        runInputs.halted = true;
        const std::uint16_t values[] = {cpu.a, cpu.x, cpu.y, cpu.sp, cpu.pc};
        EXPECT_EQ(values[c.field], c.expected);
        EXPECT_EQ(edit->text(), c.shown);
    }
}

TEST_F(DebuggerWindowTest, TheMemoryCursorSitsOnItsByteInEveryColumn) {
    test::poke(0x0200, std::vector<std::uint8_t>(16, 0x88));
    MemoryView* view = debuggerParts.debuggerWindow->memoryView;
    view->noteStop();
    view->noteStop(); // nothing shown as changed
    const QColor base = view->palette().color(QPalette::Base),
                 mark = view->palette().color(QPalette::Highlight);
    // The leftmost and rightmost x in [from, to) of the first row with a pixel (not) of the colour.
    const auto extent = [h = view->fontMetrics().height()](const QImage& image, int from, int to,
                                                           QColor colour, bool of) {
        std::pair<int, int> found(to, from);
        for (int x = from; x < to; ++x)
            for (int y = 0; y < h; ++y)
                if ((image.pixelColor(x, y) == colour) == of) found = {std::min(found.first, x), x};
        return found;
    };
    for (const int column : {0, 7, 15}) {
        SCOPED_TRACE(column);
        // The byte's digits, on the cursor and off it, are in the same place.
        view->goTo(static_cast<std::uint16_t>(0x0200 + column));
        const QImage on = view->viewport()->grab().toImage();
        const auto [left, right] = extent(on, 0, on.width(), mark, true);
        view->goTo(static_cast<std::uint16_t>(0x0200 + (column + 8) % 16));
        const QImage off = view->viewport()->grab().toImage();
        const int margin = (right - left) / 4;
        EXPECT_EQ(extent(on, left, right + 1, mark, false),
                  extent(off, left - margin, right + 1 + margin, base, false));
    }
}

TEST_F(DebuggerWindowTest, GoToInsideAnInstructionPutsTheCursorOnItsRow) {
    // NOPs, JMP $A9A9, NOPs: whatever the disassembly starts from, it cannot land on $0201 or $0202.
    test::poke(0x01F0, std::vector<std::uint8_t>(32, 0xEA));
    test::poke(0x0200, {0x4C, 0xA9, 0xA9});
    DisasmView* view = debuggerParts.debuggerWindow->disasm;
    const std::uint16_t cases[][2] = {{0x0201, 0x0200}, {0x0202, 0x0200}, {0x0203, 0x0203}};
    for (const std::uint16_t top : {0x01F8, 0x1000}) { // in sight already, and far away
        for (const auto& [address, row] : cases) {
            SCOPED_TRACE(testing::Message() << std::hex << top << " " << address);
            view->setTopAddress(top);
            view->goTo(address);
            EXPECT_EQ(view->cursorAddress(), row);
            const std::vector<std::uint16_t> rows = view->rowAddresses();
            EXPECT_NE(std::find(rows.begin(), rows.end(), row), rows.end());
        }
    }
}

} // namespace
} // namespace orv
