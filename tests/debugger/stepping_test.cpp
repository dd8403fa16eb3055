#include "base/run_inputs.h"
#include "tests/debugger/debug_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace orv::test {
namespace {

class SteppingTest : public DebugFixture {
  protected:
    void SetUp() override {
        DebugFixture::SetUp();
        poke(0x0200, {0x20, 0x10, 0x02, 0xEA, 0x4C, 0x04, 0x02}); // JSR $0210; NOP; JMP $0204
        poke(0x0210, {0xE8, 0x20, 0x20, 0x02, 0x60});             // INX; JSR $0220; RTS
        poke(0x0220, {0xC8, 0x60});                               // INY; RTS
        // DEX; BEQ $0236; JSR $0230; RTS: recursion down to X = 0
        poke(0x0230, {0xCA, 0xF0, 0x03, 0x20, 0x30, 0x02, 0x60});
        poke(0x0240, {0x4C, 0x40, 0x02});                   // never returns
        poke(0x0250, {0xA0, 0x20, 0x88, 0xD0, 0xFD, 0x60}); // LDY #$20; DEY; BNE $0252; RTS
        poke(NMI_HANDLER, {0xE8, 0x40});                    // INX; RTI
    }

    // Runs the step in small chunks, as the window would, and says how it ended.
    static StepState finish(StepKind kind, std::uint16_t target = 0, std::uint32_t limit = STEP_LIMIT,
                            std::uint32_t end = 0) {
        stepBegin(kind, target, limit, end);
        for (int chunk = 0; chunk < 100'000; ++chunk) {
            const StepState state = stepContinue(50);
            if (state != StepState::Running) {
                EXPECT_FALSE(stepActive());
                return state;
            }
        }
        ADD_FAILURE() << "the step never ended";
        return StepState::Running;
    }
};

TEST_F(SteppingTest, StepsOverAndOutOfNestedCalls) {
    EXPECT_EQ(finish(StepKind::Over), StepState::Done);
    EXPECT_EQ(cpu.pc, 0x0203);
    EXPECT_EQ(cpu.sp, 0xFF);
    EXPECT_EQ(cpu.x, 1);
    EXPECT_EQ(cpu.y, 1);

    // Anything but a JSR is one step.
    EXPECT_EQ(finish(StepKind::Over), StepState::Done);
    EXPECT_EQ(cpu.pc, 0x0204);

    cpu.pc = 0x0200;
    step();
    step();                                            // INX
    EXPECT_EQ(finish(StepKind::Out), StepState::Done); // the inner call and return do not end it
    EXPECT_EQ(cpu.pc, 0x0203);
    EXPECT_EQ(cpu.y, 2);

    cpu.pc = 0x0200;
    step();
    step();
    step(); // into the inner call
    EXPECT_EQ(finish(StepKind::Out), StepState::Done);
    EXPECT_EQ(cpu.pc, 0x0214);
    EXPECT_EQ(cpu.sp, 0xFD);

    EXPECT_EQ(finish(StepKind::RunTo, 0x0204), StepState::Done);
    EXPECT_EQ(cpu.pc, 0x0204);
    EXPECT_EQ(cpu.sp, 0xFF);
}

// A source line's bytes are left once, however often its loop goes round: a macro's body as one step.
TEST_F(SteppingTest, LeavingALineRunsAllItsInstructions) {
    cpu.pc = 0x0250;
    EXPECT_EQ(finish(StepKind::Leave, 0x0250, STEP_LIMIT, 0x0255), StepState::Done);
    EXPECT_EQ(cpu.pc, 0x0255);
    EXPECT_EQ(cpu.y, 0);
    // From inside the line as well; a jump before its start leaves it too.
    cpu.pc = 0x0242;
    poke(0x0242, {0x4C, 0x00, 0x02});
    EXPECT_EQ(finish(StepKind::Leave, 0x0242, STEP_LIMIT, 0x0245), StepState::Done);
    EXPECT_EQ(cpu.pc, 0x0200);
}

TEST_F(SteppingTest, StepOverARecursiveCallWaitsForItsOwnReturn) {
    cpu.pc = 0x0230;
    cpu.x = 4;
    step(); // DEX
    step(); // BEQ, not taken
    ASSERT_EQ(cpu.pc, 0x0233);
    // Every deeper call returns to $0236 too, before this one does.
    EXPECT_EQ(finish(StepKind::Over), StepState::Done);
    EXPECT_EQ(cpu.pc, 0x0236);
    EXPECT_EQ(cpu.x, 0);
    EXPECT_EQ(cpu.sp, 0xFF);
}

TEST_F(SteppingTest, ACallThatNeverReturnsEndsAtTheLimit) {
    poke(0x0201, {0x40});
    const auto before = static_cast<std::uint32_t>(cpu.cycles);
    EXPECT_EQ(finish(StepKind::Over, 0, 10'000), StepState::Limit);
    EXPECT_GE(static_cast<std::uint32_t>(cpu.cycles) - before, 10'000u);
    EXPECT_LT(static_cast<std::uint32_t>(cpu.cycles) - before, 10'010u);
    EXPECT_EQ(cpu.pc, 0x0240);
    EXPECT_EQ(debugHooks.runGoal.kind, GOAL_NONE);
}

TEST_F(SteppingTest, AnInterruptInsideTheCallIsStepOverToo) {
    poke(0x0201, {0x50});
    stepBegin(StepKind::Over);
    EXPECT_EQ(stepContinue(10), StepState::Running);
    ASSERT_GE(cpu.pc, 0x0250);
    ASSERT_LE(cpu.pc, 0x0255);
    cpuRequestNmi();
    EXPECT_EQ(cpu.pc, NMI_HANDLER + 1);
    StepState state = StepState::Running;
    while (state == StepState::Running) state = stepContinue(10);
    EXPECT_EQ(state, StepState::Done);
    EXPECT_EQ(cpu.pc, 0x0203);
    EXPECT_EQ(cpu.x, 1);
    EXPECT_EQ(cpu.sp, 0xFF);
}

TEST_F(SteppingTest, BreakpointsAndWatchpointsStopARun) {
    poke(0x0201, {0x50});
    add(PointKind::Exec, 0x0200, 0x0200); // where the run starts: passed
    add(PointKind::Exec, 0x0252, 0x0252, "Y = $10");
    EXPECT_EQ(finish(StepKind::Over), StepState::Stopped);
    EXPECT_EQ(stepStatus() & SLICE_BREAK, SLICE_BREAK);
    EXPECT_EQ(stopReason(debugHooks.trapHit), "Breakpoint at $0252");
    EXPECT_EQ(cpu.y, 0x10);
    breakpointRemoveAll();

    // The single breakpoint fires in a run only while the debug panel is shown.
    cpuSetBreakpoint(0x0255);
    runInputs.debug = 1;
    EXPECT_EQ(finish(StepKind::Out), StepState::Stopped);
    EXPECT_EQ(cpu.pc, 0x0255);
    runInputs.debug = 0;
    cpu.pc = 0x0252;
    EXPECT_EQ(finish(StepKind::Out), StepState::Done);
    EXPECT_EQ(cpu.pc, 0x0203);

    // A watchpoint fires on the first instruction too.
    cpu.pc = 0x0200;
    add(PointKind::Write, 0x01FF, 0x01FF);
    EXPECT_EQ(finish(StepKind::Over), StepState::Stopped);
    EXPECT_EQ(stepStatus() & SLICE_WATCH, SLICE_WATCH);
    EXPECT_EQ(stopReason(debugHooks.trapHit), "Write to $01FF at $0200");
    EXPECT_EQ(cpu.pc, 0x0250);
}

class HistoryTest : public SteppingTest {};

TEST_F(HistoryTest, RecordsOnlyWhileOnAndKeepsTheLastInstructions) {
    finish(StepKind::Over);
    EXPECT_EQ(historySize(), 0u);

    cpu.pc = 0x0200;
    historySwitch(true);
    cpu.a = 0x5A;
    finish(StepKind::Over);
    ASSERT_EQ(historySize(), 6u); // JSR INX JSR INY RTS RTS
    EXPECT_EQ(historyLine(historyAt(0)), "0200  20 10 02  JSR $0210       A:5A X:01 Y:01 SP:FF --1-----  28");
    EXPECT_EQ(historyLine(historyAt(3)), "0220  C8        INY             A:5A X:02 Y:01 SP:FB --1-----  42");

    // An invalid opcode does not run, so it is not recorded.
    poke(0x0203, {0x02});
    step();
    EXPECT_EQ(historySize(), 6u);

    cpu.pc = 0x0240;
    for (int n = 0; n < 4; ++n) runFor(10'000);
    ASSERT_EQ(historySize(), HISTORY_LENGTH);
    EXPECT_EQ(historyAt(HISTORY_LENGTH - 1).cycles + 3, static_cast<std::uint32_t>(cpu.cycles));
    for (std::size_t n = 1; n < HISTORY_LENGTH; ++n) {
        ASSERT_EQ(historyAt(n).cycles, historyAt(n - 1).cycles + 3) << n;
    }

    historySwitch(false);
    const std::uint32_t last = historyAt(HISTORY_LENGTH - 1).cycles;
    runFor(100);
    EXPECT_EQ(historyAt(HISTORY_LENGTH - 1).cycles, last);

    // Switched on again it starts afresh; an instruction that stops at a watchpoint did run.
    historySwitch(true);
    cpu.pc = 0x0200;
    add(PointKind::Write, 0x01FE, 0x01FE);
    EXPECT_EQ(runFor(100), SLICE_WATCH);
    ASSERT_EQ(historySize(), 1u);
    EXPECT_EQ(historyAt(0).pc, 0x0200);
}

TEST_F(HistoryTest, ExportsEveryLineOrSaysWhyNot) {
    historySwitch(true);
    finish(StepKind::Over);
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("orv_history_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "folder.txt");
    std::string message;
    ASSERT_TRUE(historyExport((dir / "h.txt").string(), message)) << message;
    std::ifstream in(dir / "h.txt");
    std::string line;
    std::size_t lines = 0;
    while (std::getline(in, line)) EXPECT_EQ(line, historyLine(historyAt(lines++)));
    EXPECT_EQ(lines, 6u);
    in.close(); // Windows removes no open file

    EXPECT_FALSE(historyExport((dir / "folder.txt").string(), message));
    EXPECT_EQ(message, "Error: file 'folder.txt' could not be written");
    // A read-only file gets the words every save gives it.
    std::filesystem::permissions(dir / "h.txt", std::filesystem::perms::owner_read);
    EXPECT_FALSE(historyExport((dir / "h.txt").string(), message));
    EXPECT_EQ(message, "Error: file 'h.txt' could not be opened");
    // Windows removes no read-only file.
    std::filesystem::permissions(dir / "h.txt", std::filesystem::perms::owner_all);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace orv::test
