#include "base/run_inputs.h"
#include "base/text_format.h"
#include "control/commands.h"
#include "control/main_window.h"
#include "control/pacer.h"
#include "control/run_control.h"
#include "control/run_state.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/rio.h"
#include "program/program_fixture.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "support/command_recorder.h"
#include "support/file_io.h"
#include "support/key_press.h"
#include "support/poke.h"
#include "tape/tape.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace orv {
namespace {

using test::CommandRecorder;
using test::settle;
using test::settleUntil;

int countOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class RunControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        haltRunning();
        settle(5);
        test::boxes.clear();
        runInputs.debug = 0;
        runInputs.diag = 0;
    }
    void TearDown() override {
        haltRunning();
        if (runInputs.turbo) onCommand(CMD_TURBO);
        settle(5);
        runInputs.debug = 0;
        runInputs.diag = 0;
        cpuSetBreakpoint(settings.debugP);
    }
    // At 0x0200: INX, JMP 0x0200.
    void loadLoop() {
        test::poke(0x0200, {0xE8, 0x4C, 0x00, 0x02});
        cpuSetPc(0x0200);
    }
};

TEST_F(RunControlTest, StartUpLeavesTheMachineHaltedWithoutAPacer) {
    const test::StartUpRecord& start = test::startUpState;
    EXPECT_TRUE(start.halted);
    EXPECT_FALSE(start.pacerRunning);
    EXPECT_EQ(start.events, 0);
    EXPECT_FALSE(start.paused);
    // Power-on left nothing run.
    EXPECT_EQ(start.cycles, 0);

    // Step takes exactly one instruction from wherever power-on left PC.
    cpuSetPc(start.pc);
    const std::int32_t before = cpu.cycles;
    onCommand(CMD_STEP);
    EXPECT_EQ(cpu.lastOpcodeAddr, start.pc);
    EXPECT_TRUE(runInputs.halted);
    if (test::boxes.empty()) {
        EXPECT_GE(cpu.cycles - before, 2);
        EXPECT_LE(cpu.cycles - before, 7);
    } else {
        // Power-on may leave PC on an invalid opcode, which Step meets and reports.
        EXPECT_EQ(test::boxes[0].title, "Halted...");
        EXPECT_EQ(cpu.pc, start.pc);
        EXPECT_EQ(cpu.cycles, before);
    }
}

TEST_F(RunControlTest, StepExecutesOneInstructionAndTicksWhileHaltedDoNothing) {
    loadLoop();
    const std::uint8_t x = cpu.x;
    const std::int32_t before = cpu.cycles;
    onCommand(CMD_STEP);
    EXPECT_EQ(cpu.pc, 0x0201);
    EXPECT_EQ(cpu.x, static_cast<std::uint8_t>(x + 1));
    EXPECT_EQ(cpu.lastOpcodeAddr, 0x0200);
    EXPECT_EQ(static_cast<std::uint32_t>(cpu.cycles - before), 2u);
    EXPECT_TRUE(runInputs.halted);
    EXPECT_FALSE(pacerRunning());

    onCommand(CMD_TICK);
    EXPECT_EQ(cpu.pc, 0x0201);
    onCommand(CMD_STEP);
    EXPECT_EQ(cpu.pc, 0x0200);
    EXPECT_EQ(static_cast<std::uint32_t>(cpu.cycles - before), 5u);
}

TEST_F(RunControlTest, RunLeavesABreakpointAtPcAndStopsTheNextTimeItIsReached) {
    runInputs.debug = 1;
    loadLoop();
    cpuSetBreakpoint(0x0200);
    const std::uint8_t x = cpu.x;
    onCommand(CMD_RUN);
    EXPECT_FALSE(runInputs.halted);
    EXPECT_TRUE(pacerRunning());
    EXPECT_EQ(cpu.x, static_cast<std::uint8_t>(x + 1));

    ASSERT_TRUE(settleUntil([] { return runInputs.halted; }, 10000));
    EXPECT_FALSE(pacerRunning());
    EXPECT_EQ(cpu.pc, 0x0200);
    EXPECT_EQ(cpu.x, static_cast<std::uint8_t>(x + 1));
    EXPECT_TRUE(test::boxes.empty());
}

TEST_F(RunControlTest, WithTheDebugPanelHiddenTheBreakpointNeverStops) {
    loadLoop();
    cpuSetBreakpoint(0x0200);
    const std::int32_t before = cpu.cycles;
    onCommand(CMD_RUN);
    ASSERT_TRUE(settleUntil([&] { return static_cast<std::uint32_t>(cpu.cycles - before) > 50'000; }, 10000));
    EXPECT_FALSE(runInputs.halted);
    onCommand(CMD_HALT);
    EXPECT_TRUE(runInputs.halted);
    EXPECT_FALSE(pacerRunning());
}

TEST_F(RunControlTest, RunOnAnInvalidOpcodeShowsTheBoxAndDoesNotStart) {
    busWrite(0x0200, 0x02, 1);
    cpuSetPc(0x0200);
    const std::int32_t before = cpu.cycles;
    onCommand(CMD_RUN);
    EXPECT_TRUE(runInputs.halted);
    EXPECT_FALSE(pacerRunning());
    EXPECT_EQ(cpu.pc, 0x0200);
    EXPECT_EQ(cpu.cycles, before);
    ASSERT_EQ(test::boxes.size(), 1u);
    EXPECT_EQ(test::boxes[0].title, "Halted...");
    EXPECT_EQ(test::boxes[0].text, "Invalid opcode '02' at PC:0200");
    EXPECT_EQ(test::boxes[0].icon, QMessageBox::Critical);

    // Step meets it again.
    test::boxes.clear();
    busWrite(0x0200, 0xFF, 1);
    onCommand(CMD_STEP);
    ASSERT_EQ(test::boxes.size(), 1u);
    EXPECT_EQ(test::boxes[0].text, "Invalid opcode 'ff' at PC:0200");
}

TEST_F(RunControlTest, RunAndHaltTraceOnceEach) {
    loadLoop();
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    onCommand(CMD_RUN);
    onCommand(CMD_RUN);
    settle(20);
    onCommand(CMD_HALT);
    onCommand(CMD_HALT);
    runInputs.diag = 0;
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countOf(out, "Running, minTimer=1...\n"), 1) << out;
    EXPECT_EQ(countOf(out, "Halted.  Events: "), 1) << out;
    EXPECT_EQ(countOf(out, ", overruns: "), 1) << out;
}

TEST_F(RunControlTest, PauseHaltsAndUnpauseResumesOnlyWhatWasRunning) {
    loadLoop();
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    pauseRunning(); // halted: nothing
    unpauseRunning();
    EXPECT_TRUE(runInputs.halted);
    onCommand(CMD_RUN);
    pauseRunning();
    EXPECT_TRUE(runInputs.halted);
    EXPECT_TRUE(runControl.paused);
    EXPECT_FALSE(pacerRunning());
    unpauseRunning();
    EXPECT_FALSE(runInputs.halted);
    EXPECT_FALSE(runControl.paused);
    EXPECT_TRUE(pacerRunning());
    runInputs.diag = 0;
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countOf(out, "Pausing...\n"), 1);
    EXPECT_EQ(countOf(out, "Unpausing...\n"), 1);
}

TEST_F(RunControlTest, ToggleRunsWhenHaltedAndHaltsWhenRunning) {
    loadLoop();
    postCommand(CMD_RUN_HALT);
    ASSERT_TRUE(settleUntil([] { return !runInputs.halted; }, 10000));
    postCommand(CMD_RUN_HALT);
    ASSERT_TRUE(settleUntil([] { return runInputs.halted; }, 10000));
    EXPECT_FALSE(pacerRunning());
}

TEST_F(RunControlTest, RstButtonResetsAndRuns) {
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    windowParts.keyButtons[24]->click();
    ASSERT_TRUE(settleUntil([] { return !runInputs.halted; }, 10000));
    EXPECT_TRUE(pacerRunning());
    const std::uint16_t vector = static_cast<std::uint16_t>(busRead(0xFFFC) | busRead(0xFFFD) << 8);
    runInputs.diag = 0;
    onCommand(CMD_HALT);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("Reset...\n", 0), 0u) << out;
    // Reset's own trace shows PC at the reset vector.
    EXPECT_NE(out.find(formatText("PC:%04x", vector)), std::string::npos) << out;
}

TEST_F(RunControlTest, KeyButtonsPostTheirKeyIds) {
    CommandRecorder recorder(CommandRecorder::PASS_ON);
    for (int id = 0; id < 24; ++id) windowParts.keyButtons[id]->click();
    settle(20);
    std::vector<int> expected;
    for (int id = 0; id < 24; ++id) expected.push_back(id);
    EXPECT_EQ(recorder.commands, expected);
    EXPECT_TRUE(runInputs.halted);
}

TEST_F(RunControlTest, HousekeepingSavesTheWindowPlaceOnceAfterTheLastMove) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string savedPath = settings.settingsPath;
    settings.settingsPath = QDir(folder.path()).filePath("orv.ini").toStdString();
    const QString path = QString::fromStdString(settings.settingsPath);

    housekeepingTick(); // moves before the first tick schedule nothing
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    scheduleRectSave();
    for (int i = 0; i < 50; ++i) housekeepingTick();
    scheduleRectSave(); // a later move pushes the save back
    for (int i = 0; i < 100; ++i) housekeepingTick();
    EXPECT_FALSE(QFile::exists(path));
    housekeepingTick();
    EXPECT_TRUE(QFile::exists(path));
    for (int i = 0; i < 200; ++i) housekeepingTick();
    runInputs.diag = 0;
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countOf(out, ".ini updated\n"), 1);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        file.readAll().contains(QByteArray("mainLeft=") + QByteArray::number(settings.windowRect.left)));
    settings.settingsPath = savedPath;
}

TEST_F(RunControlTest, HousekeepingFollowsTapeActivityAndStopsAFinishedTape) {
    CommandRecorder recorder(CommandRecorder::PASS_ON);
    board.tapeStopDue = 0;
    // No tape runs, so the tape reports no activity: an active recording has just ended.
    tape.tapeState = TAPE_RECORDING | TAPE_ACTIVE;
    housekeepingTick();
    EXPECT_EQ(tape.tapeState, TAPE_RECORDING | TAPE_ENDED);
    EXPECT_EQ(board.tapeStopDue, board.ticks + 10);
    for (int i = 0; i < 10; ++i) housekeepingTick();
    EXPECT_NE(board.tapeStopDue, 0);
    housekeepingTick();
    EXPECT_EQ(board.tapeStopDue, 0);
    // A waiting recording stays waiting while the tape is quiet.
    tape.tapeState = TAPE_RECORDING | TAPE_WAITING;
    housekeepingTick();
    EXPECT_EQ(tape.tapeState, TAPE_RECORDING | TAPE_WAITING);
    tape.tapeState = 0;
    settle(20);
    EXPECT_EQ(std::count(recorder.commands.begin(), recorder.commands.end(), CMD_TAPE_STOP), 1);
}

TEST_F(RunControlTest, PacerOwesThePeriodsAndPostsOneTickUntilItIsTaken) {
    CommandRecorder recorder;
    const std::int32_t events0 = runState.events.load(), overruns0 = runState.overruns.load();
    cpu.busy.store(true);
    timerCallback(7); // a slice still runs: an overrun, owed all the same
    cpu.busy.store(false);
    timerCallback(3);
    timerCallback(2);
    EXPECT_EQ(recorder.take(), std::vector<int>{CMD_TICK});
    EXPECT_EQ(runState.events.load() - events0, 3);
    EXPECT_EQ(runState.overruns.load() - overruns0, 1);
    EXPECT_EQ(pacerTakeOwed(), 12);
    // Paid: the next deadline posts a tick of its own; a stall is made up only so far.
    timerCallback(PACER_MAX_OWED + 1);
    EXPECT_EQ(recorder.take(), std::vector<int>{CMD_TICK});
    EXPECT_EQ(pacerTakeOwed(), PACER_MAX_OWED);
    EXPECT_EQ(pacerTakeOwed(), 0);
}

// However late the window takes the pacer's ticks, a typed key stays down, and then up, for a whole
// housekeeping period of machine time: the monitor takes a key only on the second of its scans (23 ms
// apart) that sees it.
TEST_F(RunControlTest, TypedKeysStayDownAndUpForAWholePeriodOfMachineTimeWhateverTheSlices) {
    CommandRecorder recorder; // the deadlines' ticks are run here instead
    loadLoop();
    runInputs.halted = false; // running as far as the slices can tell, without the pacer's own deadlines
    for (int key : {1, 2, 3}) onCommand(key);
    const std::int32_t every = BOARD_TICK_MS * 1000;
    std::int32_t changedAt = cpu.cycles;
    bool down = false;
    int changes = 0;
    for (const unsigned periods : {100u, 25u, 25u, 25u, 7u, 60u, 1u, 1u, 49u, 25u, 25u, 99u, 25u, 25u, 25u}) {
        timerCallback(periods);
        onCommand(CMD_TICK);
        if ((keypad.keyRows != 0xFF) == down) continue;
        if (changes++ > 0) {
            EXPECT_GE(cpu.cycles - changedAt, every) << "change " << changes;
        }
        down = !down;
        changedAt = cpu.cycles;
    }
    EXPECT_EQ(changes, 6);
}

// At 0x0200: PA6 made an output; then for X = 0 to 255: 2X into 0x0300+X, bit 0 of X to the tape, and
// a wait of about 5X cycles; then a loop on itself at 0x021E.
constexpr std::uint16_t TAPE_PROGRAM_END = 0x021E;
const std::vector<std::uint8_t> tapeProgram = {
    0xA9, 0x40, 0x8D, 0x22, 0x0E, 0xA2, 0x00, 0x8A, 0x0A, 0x9D, 0x00, 0x03, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A,
    0x29, 0x40, 0x8D, 0x20, 0x0E, 0x8A, 0xA8, 0x88, 0xD0, 0xFD, 0xE8, 0xD0, 0xE9, 0x4C, 0x1E, 0x02};

TEST_F(RunControlTest, TurboReachesTheSameStateAndRecordsTheSameTapeAsOneMegahertz) {
    struct Run {
        test::Bytes page, tape;
        std::uint32_t cycles;
        std::uint8_t a, x, y, sp;
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    runInputs.debug = 1;
    cpuSetBreakpoint(TAPE_PROGRAM_END);
    std::vector<Run> runs;
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast);
        if (runInputs.turbo != fast) onCommand(CMD_TURBO);
        test::poke(0x0200, tapeProgram);
        test::poke(0x0300, std::vector<std::uint8_t>(256, 0xEE));
        rioReset();
        cpuSetPc(0x0200);
        cpu.sp = 0xFF;
        const std::string file = QDir(folder.path()).filePath(fast ? "turbo.mid" : "paced.mid").toStdString();
        std::string message;
        ASSERT_TRUE(tapeStartRecording("turbo", file, message)) << message;
        const std::int32_t before = cpu.cycles;
        onCommand(CMD_RUN);
        ASSERT_TRUE(settleUntil([] { return runInputs.halted; }, 20000));
        tapeStop(message);
        EXPECT_EQ(message, "");
        EXPECT_EQ(cpu.pc, TAPE_PROGRAM_END);
        Run run{{},
                test::readBytes(file),
                static_cast<std::uint32_t>(cpu.cycles - before),
                cpu.a,
                cpu.x,
                cpu.y,
                cpu.sp};
        for (int i = 0; i < 256; ++i) run.page.push_back(busRead(static_cast<std::uint16_t>(0x0300 + i)));
        runs.push_back(run);
    }
    onCommand(CMD_TURBO);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].page[0x81], 0x02);
    EXPECT_GT(runs[0].tape.size(), 256u);
    EXPECT_EQ(runs[1].page, runs[0].page);
    EXPECT_EQ(runs[1].tape, runs[0].tape);
    EXPECT_EQ(runs[1].cycles, runs[0].cycles);
    EXPECT_EQ(std::tie(runs[1].a, runs[1].x, runs[1].y, runs[1].sp),
              std::tie(runs[0].a, runs[0].x, runs[0].y, runs[0].sp));
}

TEST_F(RunControlTest, TurboSwitchesByF11AndShowsItsSpeedInTheTitle) {
    const auto press = [] { test::pressKey(windowParts.mainWindow, Qt::Key_F11, Qt::NoModifier, ""); };
    {
        CommandRecorder recorder;
        press();
        EXPECT_EQ(recorder.take(), std::vector<int>{CMD_TURBO});
    }
    EXPECT_EQ(windowParts.mainWindow->windowTitle(), "Orvane");
    onCommand(CMD_TURBO);
    EXPECT_EQ(windowParts.mainWindow->windowTitle(), QString("Orvane %1 Turbo").arg(QChar(0x2014)));
    loadLoop();
    onCommand(CMD_RUN);
    const QRegularExpression speed(QString("^Orvane %1 Turbo %2[0-9.]+$").arg(QChar(0x2014), QChar(0x00D7)));
    EXPECT_TRUE(
        settleUntil([&] { return speed.match(windowParts.mainWindow->windowTitle()).hasMatch(); }, 10000))
        << windowParts.mainWindow->windowTitle().toStdString();
    EXPECT_FALSE(runInputs.halted);
    EXPECT_FALSE(pacerRunning());
    // Switched off while running, the machine goes on at 1 MHz.
    press();
    settle(5);
    EXPECT_FALSE(runInputs.turbo);
    EXPECT_FALSE(runInputs.halted);
    EXPECT_TRUE(pacerRunning());
    EXPECT_EQ(windowParts.mainWindow->windowTitle(), "Orvane");
}

} // namespace
} // namespace orv
