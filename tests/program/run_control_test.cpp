#include "control/commands.h"
#include "control/main_window.h"
#include "control/pacer.h"
#include "control/run_control.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/text_format.h"
#include "program/program_fixture.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "support/command_recorder.h"
#include "support/poke.h"
#include "tape/tape.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
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
        debug = 0;
        diag = 0;
    }
    void TearDown() override {
        haltRunning();
        settle(5);
        debug = 0;
        diag = 0;
        cpuSetBreakpoint(debugP);
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
    const std::int32_t before = cycles;
    onCommand(CMD_STEP);
    EXPECT_EQ(lastOpcodeAddr, start.pc);
    EXPECT_TRUE(halted);
    if (test::boxes.empty()) {
        EXPECT_GE(cycles - before, 2);
        EXPECT_LE(cycles - before, 7);
    } else {
        // Power-on may leave PC on an invalid opcode, which Step meets and reports.
        EXPECT_EQ(test::boxes[0].title, "Halted...");
        EXPECT_EQ(cpu.pc, start.pc);
        EXPECT_EQ(cycles, before);
    }
}

TEST_F(RunControlTest, StepExecutesOneInstructionAndTicksWhileHaltedDoNothing) {
    loadLoop();
    const std::uint8_t x = cpu.x;
    const std::int32_t before = cycles;
    onCommand(CMD_STEP);
    EXPECT_EQ(cpu.pc, 0x0201);
    EXPECT_EQ(cpu.x, static_cast<std::uint8_t>(x + 1));
    EXPECT_EQ(lastOpcodeAddr, 0x0200);
    EXPECT_EQ(static_cast<std::uint32_t>(cycles - before), 2u);
    EXPECT_TRUE(halted);
    EXPECT_FALSE(pacerRunning());

    onCommand(CMD_TICK);
    EXPECT_EQ(cpu.pc, 0x0201);
    onCommand(CMD_STEP);
    EXPECT_EQ(cpu.pc, 0x0200);
    EXPECT_EQ(static_cast<std::uint32_t>(cycles - before), 5u);
}

TEST_F(RunControlTest, RunLeavesABreakpointAtPcAndStopsTheNextTimeItIsReached) {
    debug = 1;
    loadLoop();
    cpuSetBreakpoint(0x0200);
    const std::uint8_t x = cpu.x;
    onCommand(CMD_RUN);
    EXPECT_FALSE(halted);
    EXPECT_TRUE(pacerRunning());
    EXPECT_EQ(cpu.x, static_cast<std::uint8_t>(x + 1));

    ASSERT_TRUE(settleUntil([] { return halted; }, 10000));
    EXPECT_FALSE(pacerRunning());
    EXPECT_EQ(cpu.pc, 0x0200);
    EXPECT_EQ(cpu.x, static_cast<std::uint8_t>(x + 1));
    EXPECT_TRUE(test::boxes.empty());
}

TEST_F(RunControlTest, WithTheDebugPanelHiddenTheBreakpointNeverStops) {
    loadLoop();
    cpuSetBreakpoint(0x0200);
    const std::int32_t before = cycles;
    onCommand(CMD_RUN);
    ASSERT_TRUE(settleUntil([&] { return static_cast<std::uint32_t>(cycles - before) > 50'000; }, 10000));
    EXPECT_FALSE(halted);
    onCommand(CMD_HALT);
    EXPECT_TRUE(halted);
    EXPECT_FALSE(pacerRunning());
}

TEST_F(RunControlTest, RunOnAnInvalidOpcodeShowsTheBoxAndDoesNotStart) {
    busWrite(0x0200, 0x02, 1);
    cpuSetPc(0x0200);
    const std::int32_t before = cycles;
    onCommand(CMD_RUN);
    EXPECT_TRUE(halted);
    EXPECT_FALSE(pacerRunning());
    EXPECT_EQ(cpu.pc, 0x0200);
    EXPECT_EQ(cycles, before);
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
    diag = 1;
    testing::internal::CaptureStdout();
    onCommand(CMD_RUN);
    onCommand(CMD_RUN);
    settle(20);
    onCommand(CMD_HALT);
    onCommand(CMD_HALT);
    diag = 0;
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countOf(out, "Running, minTimer=1...\n"), 1) << out;
    EXPECT_EQ(countOf(out, "Halted.  Events: "), 1) << out;
    EXPECT_EQ(countOf(out, ", overruns: "), 1) << out;
}

TEST_F(RunControlTest, PauseHaltsAndUnpauseResumesOnlyWhatWasRunning) {
    loadLoop();
    diag = 1;
    testing::internal::CaptureStdout();
    pauseRunning(); // halted: nothing
    unpauseRunning();
    EXPECT_TRUE(halted);
    onCommand(CMD_RUN);
    pauseRunning();
    EXPECT_TRUE(halted);
    EXPECT_TRUE(paused);
    EXPECT_FALSE(pacerRunning());
    unpauseRunning();
    EXPECT_FALSE(halted);
    EXPECT_FALSE(paused);
    EXPECT_TRUE(pacerRunning());
    diag = 0;
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countOf(out, "Pausing...\n"), 1);
    EXPECT_EQ(countOf(out, "Unpausing...\n"), 1);
}

TEST_F(RunControlTest, ToggleRunsWhenHaltedAndHaltsWhenRunning) {
    loadLoop();
    postCommand(CMD_RUN_HALT);
    ASSERT_TRUE(settleUntil([] { return !halted; }, 10000));
    postCommand(CMD_RUN_HALT);
    ASSERT_TRUE(settleUntil([] { return halted; }, 10000));
    EXPECT_FALSE(pacerRunning());
}

TEST_F(RunControlTest, RstButtonResetsAndRuns) {
    diag = 1;
    testing::internal::CaptureStdout();
    keyButtons[24]->click();
    ASSERT_TRUE(settleUntil([] { return !halted; }, 10000));
    EXPECT_TRUE(pacerRunning());
    const std::uint16_t vector = static_cast<std::uint16_t>(busRead(0xFFFC) | busRead(0xFFFD) << 8);
    diag = 0;
    onCommand(CMD_HALT);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("Reset...\n", 0), 0u) << out;
    // Reset's own trace shows PC at the reset vector.
    EXPECT_NE(out.find(formatText("PC:%04x", vector)), std::string::npos) << out;
}

TEST_F(RunControlTest, KeyButtonsPostTheirKeyIds) {
    CommandRecorder recorder(CommandRecorder::PASS_ON);
    for (int id = 0; id < 24; ++id) keyButtons[id]->click();
    settle(20);
    std::vector<int> expected;
    for (int id = 0; id < 24; ++id) expected.push_back(id);
    EXPECT_EQ(recorder.commands, expected);
    EXPECT_TRUE(halted);
}

TEST_F(RunControlTest, HousekeepingSavesTheWindowPlaceOnceAfterTheLastMove) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string savedPath = settingsPath;
    settingsPath = QDir(folder.path()).filePath("orv.ini").toStdString();
    const QString path = QString::fromStdString(settingsPath);

    housekeepingTick(); // moves before the first tick schedule nothing
    diag = 1;
    testing::internal::CaptureStdout();
    scheduleRectSave();
    for (int i = 0; i < 50; ++i) housekeepingTick();
    scheduleRectSave(); // a later move pushes the save back
    for (int i = 0; i < 100; ++i) housekeepingTick();
    EXPECT_FALSE(QFile::exists(path));
    housekeepingTick();
    EXPECT_TRUE(QFile::exists(path));
    for (int i = 0; i < 200; ++i) housekeepingTick();
    diag = 0;
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(countOf(out, ".ini updated\n"), 1);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(QByteArray("mainLeft=") + QByteArray::number(windowRect.left)));
    settingsPath = savedPath;
}

TEST_F(RunControlTest, HousekeepingFollowsTapeActivityAndStopsAFinishedTape) {
    CommandRecorder recorder(CommandRecorder::PASS_ON);
    tapeStopDue = 0;
    // No tape runs, so the tape reports no activity: an active recording has just ended.
    tape.tapeState = TAPE_RECORDING | TAPE_ACTIVE;
    housekeepingTick();
    EXPECT_EQ(tape.tapeState, TAPE_RECORDING | TAPE_ENDED);
    EXPECT_EQ(tapeStopDue, uiTick + 10);
    for (int i = 0; i < 10; ++i) housekeepingTick();
    EXPECT_NE(tapeStopDue, 0);
    housekeepingTick();
    EXPECT_EQ(tapeStopDue, 0);
    // A waiting recording stays waiting while the tape is quiet.
    tape.tapeState = TAPE_RECORDING | TAPE_WAITING;
    housekeepingTick();
    EXPECT_EQ(tape.tapeState, TAPE_RECORDING | TAPE_WAITING);
    tape.tapeState = 0;
    settle(20);
    EXPECT_EQ(std::count(recorder.commands.begin(), recorder.commands.end(), CMD_TAPE_STOP), 1);
}

TEST_F(RunControlTest, PacerCountsEventsAndPostsTicksOnlyWhenNoSliceRuns) {
    CommandRecorder recorder(CommandRecorder::PASS_ON);
    const std::int32_t events0 = events.load(), overruns0 = overruns.load();
    busy.store(true);
    timerCallback();
    busy.store(false);
    timerCallback();
    settle(10);
    EXPECT_EQ(events.load() - events0, 2);
    EXPECT_EQ(overruns.load() - overruns0, 1);
    EXPECT_EQ(std::count(recorder.commands.begin(), recorder.commands.end(), CMD_TICK), 1);
}

} // namespace
} // namespace orv
