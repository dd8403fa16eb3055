#include "base/run_inputs.h"
#include "control/commands.h"
#include "control/keypad.h"
#include "control/main_window.h"
#include "control/run_control.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/keys.h"
#include "machine/rio.h"
#include "panel/layout.h"
#include "panel/panel_widget.h"
#include "program/program_fixture.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "support/command_recorder.h"
#include "support/poke.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cctype>
#include <vector>

namespace orv {
namespace {

using test::CommandRecorder;
using test::poke;
using test::settle;
using test::settleUntil;

// The parts of the panel that were painted.
class PaintRecorder : public QObject {
  public:
    PaintRecorder() { windowParts.panelWidget->installEventFilter(this); }
    ~PaintRecorder() override { windowParts.panelWidget->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(e)->region();
        return false;
    }
    QRegion painted;
};

// The key the emulated keypad has down, from its row and column lines; -1 for none.
int keyOnKeypad() {
    for (int id = 0; id < KEY_COUNT; ++id)
        if (keyTable[id].row && keypad.keyRows == (0xFF & ~keyTable[id].row) &&
            keypad.keyColumn == keyTable[id].column)
            return id;
    return -1;
}

// Delivers the posted key commands to the keypad without running the machine or any timer: the
// test plays the housekeeping ticks itself.
void deliverCommands() {
    // Commands posted while these are handled (Run after "g") wait for the second round.
    for (int round = 0; round < 2; ++round)
        QCoreApplication::sendPostedEvents(windowParts.mainWindow, COMMAND_EVENT);
}

void type(const char* text) {
    for (const char* c = text; *c; ++c) characterMessage(static_cast<unsigned char>(*c));
    deliverCommands();
}

class KeypadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        haltRunning();
        settle(5);
        test::boxes.clear();
        keyInput.keyQueueCount = 0;
        keyInput.keyHeld = false;
        keyUp();
        keyInput.debugMode = DEBUG_IDLE;
        runInputs.debug = 0;
    }
    void TearDown() override {
        runInputs.halted = true;
        keyInput.keyQueueCount = 0;
        keyInput.keyHeld = false;
        keyUp();
        keyInput.debugMode = DEBUG_IDLE;
        runInputs.debug = 0;
        settings.debugM = settings.debugG = settings.debugP = 0;
        cpuSetBreakpoint(0);
        test::relayout(400);
    }
    // Running as far as the keypad input can tell, without the pacer executing anything.
    static void pretendRunning() { runInputs.halted = false; }
    static void showDebugPanel() {
        runInputs.debug = 1;
        test::relayout(400);
    }
};

TEST_F(KeypadTest, TypedKeysReachTheKeypadOneTickDownOneTickUp) {
    pretendRunning();
    type("123");
    EXPECT_EQ(keyInput.keyQueueCount, 3);
    std::vector<int> seen;
    for (int tick = 0; tick < 8; ++tick) {
        housekeepingTick();
        seen.push_back(keyOnKeypad());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, -1, 2, -1, 3, -1, -1, -1}));
    EXPECT_EQ(keyInput.keyQueueCount, 0);
}

TEST_F(KeypadTest, NinthKeyInOneTickBeepsAndIsLost) {
    pretendRunning();
    const std::int32_t beeps = keyInput.beepCount;
    type("01234567");
    EXPECT_EQ(keyInput.beepCount, beeps);
    type("8");
    EXPECT_EQ(keyInput.beepCount, beeps + 1);
    ASSERT_EQ(keyInput.keyQueueCount, 8);

    // While the head is held it still counts; once released there is room again.
    housekeepingTick();
    type("9");
    EXPECT_EQ(keyInput.beepCount, beeps + 2);
    housekeepingTick();
    type("a");
    EXPECT_EQ(keyInput.beepCount, beeps + 2);

    std::vector<int> pressed;
    for (int tick = 0; tick < 20; ++tick) {
        housekeepingTick();
        if (keyOnKeypad() >= 0) pressed.push_back(keyOnKeypad());
    }
    EXPECT_EQ(pressed, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 10}));
}

TEST_F(KeypadTest, CharactersAndKeysBecomeTheirCommands) {
    CommandRecorder catcher;
    // Every key's legend typed, in either case, gives that key.
    for (int id = 0; id < KEY_COUNT; ++id) {
        const std::string_view legend = keyTable[id].legend;
        if (legend.size() != 1) continue;
        for (const char c : {legend[0], static_cast<char>(std::toupper(legend[0]))}) {
            SCOPED_TRACE(c);
            characterMessage(static_cast<char32_t>(c));
            EXPECT_EQ(catcher.take(), (std::vector<int>{id}));
        }
    }
    struct Case {
        char32_t character;
        std::vector<int> halted, running;
    };
    const int up = keyWithLegend("^");
    const Case cases[] = {
        {'\r', {up}, {up}}, {0x1B, {CMD_RESET}, {CMD_RESET}},
        {' ', {514}, {}},   {'.', {517}, {}},
        {'h', {}, {}},      {'x', {}, {}},
        {'\n', {}, {}},     {U'\u0131', {}, {}},
        {'!', {}, {}},      {0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.character));
        runInputs.halted = true;
        characterMessage(c.character);
        EXPECT_EQ(catcher.take(), c.halted);
        runInputs.halted = false;
        characterMessage(c.character);
        EXPECT_EQ(catcher.take(), c.running);
    }
    runInputs.halted = true;

    const std::pair<int, std::vector<int>> keysDown[] = {
        {Qt::Key_Pause, {520}}, {Qt::Key_Up, {up}}, {Qt::Key_Down, {keyWithLegend("v")}},
        {Qt::Key_F1, {801}},    {Qt::Key_F2, {}},   {Qt::Key_Left, {}},
        {Qt::Key_Space, {}},
    };
    for (const auto& [key, expected] : keysDown) {
        SCOPED_TRACE(key);
        keyDownMessage(key);
        EXPECT_EQ(catcher.take(), expected);
    }
}

TEST_F(KeypadTest, KeyPressesOfTheWindowTakeBothRoadsWhenPlain) {
    // With the menu bar hidden nothing of it takes the Alt keys first.
    onCommand(CMD_MENU);
    ASSERT_EQ(switches.menu, 0);
    CommandRecorder catcher;
    const int up = keyWithLegend("^");
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* text;
        std::vector<int> commands;
    };
    const Case cases[] = {
        {Qt::Key_Up, Qt::NoModifier, "", {up}},
        {Qt::Key_M, Qt::ShiftModifier, "M", {keyWithLegend("m")}},
        {Qt::Key_AsciiCircum, Qt::ShiftModifier, "^", {up}},
        {Qt::Key_Return, Qt::NoModifier, "\r", {up}},
        {Qt::Key_F1, Qt::NoModifier, "", {801}},
        {Qt::Key_5, Qt::KeypadModifier, "5", {5}},
        // Mnemonics, shortcuts and their like: never the keypad's.
        {Qt::Key_F, Qt::AltModifier, "f", {}},
        {Qt::Key_5, Qt::AltModifier, "5", {}},
        {Qt::Key_M, Qt::AltModifier | Qt::ShiftModifier, "M", {}},
        {Qt::Key_M, Qt::ControlModifier, "\r", {}},
        {Qt::Key_BracketLeft, Qt::ControlModifier, "\x1b", {}},
        {Qt::Key_A, Qt::MetaModifier, "a", {}},
        {Qt::Key_Up, Qt::AltModifier, "", {}},
        {Qt::Key_F1, Qt::ControlModifier, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << " " << c.modifiers.toInt());
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, c.text);
        QCoreApplication::sendEvent(windowParts.mainWindow, &press);
        EXPECT_EQ(catcher.take(), c.commands);
    }
    onCommand(CMD_MENU);
}

TEST_F(KeypadTest, AClickedKeyLeavesTheFocusWithTheWindow) {
    windowParts.mainWindow->activateWindow();
    windowParts.panelWidget->setFocus();
    windowParts.keyButtons[3]->click();
    settle(10);
    ASSERT_EQ(windowParts.mainWindow->focusWidget(), windowParts.mainWindow);
    // So Space still reaches the window as Step instead of pressing a button.
    CommandRecorder catcher;
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QCoreApplication::sendEvent(windowParts.mainWindow->focusWidget(), &space);
    EXPECT_EQ(catcher.take(), (std::vector<int>{CMD_STEP}));
}

TEST_F(KeypadTest, DebuggerKeypadEditsMemoryAndItsAddress) {
    showDebugPanel();
    busWrite(0x0200, 0x00, 1);
    type("m0200");
    EXPECT_EQ(keyInput.debugMode, DEBUG_ADDRESS);
    EXPECT_EQ(settings.debugM, 0x0200);
    type("ma9");
    EXPECT_EQ(keyInput.debugMode, DEBUG_DATA);
    EXPECT_EQ(busRead(0x0200), 0xA9);
    type("^");
    EXPECT_EQ(settings.debugM, 0x0201);
    type("m");
    EXPECT_EQ(keyInput.debugMode, DEBUG_ADDRESS);
    type("vv");
    EXPECT_EQ(settings.debugM, 0x01FF);

    // Address entry keeps the last four digits; the arrows wrap around.
    type("12345");
    EXPECT_EQ(settings.debugM, 0x2345);
    type("0000v");
    EXPECT_EQ(settings.debugM, 0xFFFF);
    type("^");
    EXPECT_EQ(settings.debugM, 0x0000);

    // Data entry reaches ROM only as the processor would: not at all.
    const std::uint8_t rom = busRead(0xFE00);
    type("fe00m5");
    EXPECT_EQ(busRead(0xFE00), rom);

    // The arrows step nothing outside address and data entry.
    type("p^v");
    EXPECT_EQ(settings.debugM, 0xFE00);
}

TEST_F(KeypadTest, IdleDigitsChangeNothingAndRepaintNothing) {
    showDebugPanel();
    settle(20);
    settings.debugM = 0x0300;
    const std::uint8_t byte = busRead(0x0300);
    {
        PaintRecorder recorder;
        type("123456789abcdef0");
        settle(30);
        EXPECT_TRUE(recorder.painted.intersected(panelLayout.debugArea).isEmpty());
    }
    EXPECT_EQ(settings.debugM, 0x0300);
    EXPECT_EQ(settings.debugG, 0);
    EXPECT_EQ(settings.debugP, 0);
    EXPECT_EQ(busRead(0x0300), byte);
    EXPECT_EQ(keyInput.debugMode, DEBUG_IDLE);

    PaintRecorder recorder;
    type("m");
    settle(30);
    EXPECT_TRUE(recorder.painted.contains(panelLayout.debugArea));
}

TEST_F(KeypadTest, SaveLoadAndRunKeysPostTheirCommandsAndEndEntry) {
    showDebugPanel();
    CommandRecorder catcher;
    for (const auto& [legend, command] : {std::pair{"s", CMD_SAVE_AS}, {"l", CMD_LOAD}, {"r", CMD_RUN}}) {
        keyInput.debugMode = DEBUG_BREAKPOINT;
        keyCommand(keyWithLegend(legend));
        EXPECT_EQ(keyInput.debugMode, DEBUG_IDLE);
        EXPECT_EQ(catcher.take(), (std::vector<int>{command}));
    }
}

TEST_F(KeypadTest, GoAddressThenGRunsFromIt) {
    showDebugPanel();
    // At 0x0240: INX, JMP 0x0240.
    poke(0x0240, {0xE8, 0x4C, 0x40, 0x02});
    cpuSetPc(0x0300);
    type("g0240");
    EXPECT_EQ(keyInput.debugMode, DEBUG_GO);
    EXPECT_EQ(settings.debugG, 0x0240);
    EXPECT_TRUE(runInputs.halted);
    type("g");
    EXPECT_EQ(keyInput.debugMode, DEBUG_IDLE);
    EXPECT_FALSE(runInputs.halted);
    haltRunning();
    // It ran from the go address, not from where PC stood.
    EXPECT_TRUE(cpu.lastOpcodeAddr == 0x0240 || cpu.lastOpcodeAddr == 0x0241) << cpu.lastOpcodeAddr;
    EXPECT_TRUE(cpu.pc == 0x0240 || cpu.pc == 0x0241) << cpu.pc;
}

TEST_F(KeypadTest, BreakpointEnteredOnTheKeypadHaltsTheRunningMachineWithoutABox) {
    showDebugPanel();
    // At 0x0280: INX, INX, JMP 0x0280.
    poke(0x0280, {0xE8, 0xE8, 0x4C, 0x80, 0x02});
    cpuSetPc(0x0280);
    type("p0281");
    EXPECT_EQ(settings.debugP, 0x0281);
    EXPECT_EQ(cpu.breakpoint, 0x0281);
    onCommand(CMD_RUN);
    ASSERT_TRUE(settleUntil([] { return runInputs.halted; }, 10000));
    EXPECT_EQ(cpu.pc, 0x0281);
    EXPECT_TRUE(test::boxes.empty());

    // Another breakpoint typed while halted moves it.
    type("p0282");
    EXPECT_EQ(cpu.breakpoint, 0x0282);
    onCommand(CMD_RUN);
    ASSERT_TRUE(settleUntil([] { return runInputs.halted; }, 10000));
    EXPECT_EQ(cpu.pc, 0x0282);
}

TEST_F(KeypadTest, OnlyKeyIdsReachTheKeypadAndOnlyWithTheDebugPanelWhileHalted) {
    pretendRunning();
    for (int command : {-1, 25, 600, 1000}) keyCommand(command);
    EXPECT_EQ(keyInput.keyQueueCount, 0);
    runInputs.halted = true;
    keyCommand(keyWithLegend("m"));
    EXPECT_EQ(keyInput.debugMode, DEBUG_IDLE);
    showDebugPanel();
    for (int command : {-1, 25, 600, 1000}) keyCommand(command);
    EXPECT_EQ(keyInput.debugMode, DEBUG_IDLE);
    keyCommand(keyWithLegend("m"));
    EXPECT_EQ(keyInput.debugMode, DEBUG_ADDRESS);
}

} // namespace
} // namespace orv
