#include "base/run_inputs.h"
#include "debugger/breakpoints.h"
#include "debugger/rewind.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/key_feed.h"
#include "machine/latch.h"
#include "machine/rio.h"
#include "machine/save_state.h"
#include "support/board.h"
#include "tape/tape.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv {
namespace {

// The monitor from a reset, an instruction at a time as the debugger steps it, with a key going down and
// up and the display's fading pass now and then, as the program's housekeeping gives them between slices.
class RewindTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string message;
        ASSERT_TRUE(test::boardPowerOn(message)) << message;
        test::boardReset();
        debugHooks = DebugHooksRecord{};
        keyFeed = KeyFeedRecord{};
        runInputs.halted = true;
        // Records close together: going back crosses several of them without long replays.
        rewindSwitch(true, 500);
    }
    void TearDown() override {
        rewindSwitch(false);
        breakpointRemoveAll();
        keyUp();
    }

    static void inputsBefore(int instruction) {
        if (instruction % 2000 == 500) keyDown(instruction / 2000 % 10);
        if (instruction % 2000 == 1200) keyUp();
        if (instruction % 1500 == 0) fadeDigits();
    }
    // Every part of the board a save state holds: registers, cycles, memory, both chips, keypad, latch.
    static std::vector<std::uint8_t> board() { return saveState(); }

    // The board before each instruction from `keepFrom` on (its inputs given) and after it.
    struct Boards {
        int keepFrom = 0;
        std::vector<std::vector<std::uint8_t>> before, after;
        const std::vector<std::uint8_t>& at(int n) const {
            return before.at(static_cast<std::size_t>(n - keepFrom));
        }
        const std::vector<std::uint8_t>& past(int n) const {
            return after.at(static_cast<std::size_t>(n - keepFrom));
        }
    };
    // Runs instructions `first` to `last` - 1.
    static void run(int first, int last, Boards* boards = nullptr) {
        for (int n = first; n < last; ++n) {
            inputsBefore(n);
            const bool keep = boards && n >= boards->keepFrom;
            if (keep) boards->before.push_back(board());
            std::uint8_t status = 0;
            cpuExecute(0, status);
            if (keep) boards->after.push_back(board());
        }
    }
};

TEST_F(RewindTest, StepsBackToExactlyTheBoardThatWasAndForwardAgainWithTheSameKeys) {
    const struct { int ran, back; } cases[] = {{100, 1}, {2600, 40}, {9000, 7}, {30000, 3}, {30000, 1500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ran << " back " << c.back);
        SetUp();
        Boards boards;
        boards.keepFrom = c.ran - c.back;
        run(0, c.ran, &boards);
        for (int k = 1; k <= c.back; ++k) {
            std::string message;
            ASSERT_EQ(rewindStepBack(message), RewindResult::Moved) << message;
            ASSERT_EQ(board(), boards.at(c.ran - k)) << "after " << k << " steps back";
        }
        // Stepping forward again, the keys go down and up where they did: the same boards follow.
        for (int n = c.ran - c.back; n < c.ran; ++n) {
            std::uint8_t status = 0;
            cpuExecute(0, status);
            ASSERT_EQ(board(), boards.past(n)) << "instruction " << n;
        }
        TearDown();
    }
}

TEST_F(RewindTest, RunBackStopsAtThePreviousBreakpointOrTheStart) {
    rewindSwitch(true); // the whole run kept
    inputsBefore(0);
    const std::vector<std::uint8_t> start = board();
    std::uint8_t first = 0;
    cpuExecute(0, first);
    run(1, 400);
    // A breakpoint in the monitor's loop: where the instructions ran through it last.
    const std::uint16_t loop = cpu.pc;
    std::string message;
    ASSERT_NE(breakpointAdd(PointKind::Exec, loop, loop, "", message), 0) << message;
    breakpointsArm(true);
    std::vector<std::uint8_t> lastHit;
    for (int n = 400; n < 6000; ++n) {
        inputsBefore(n);
        if (cpu.pc == loop) lastHit = board();
        std::uint8_t status = 0;
        cpuExecute(0, status);
    }
    ASSERT_FALSE(lastHit.empty());
    TrapHit hit;
    ASSERT_EQ(rewindRunBack(message, hit), RewindResult::Moved) << message;
    EXPECT_EQ(cpu.pc, loop);
    EXPECT_EQ(hit.address, loop);
    EXPECT_EQ(board(), lastHit);
    // Nothing before it but the start of what is kept, which is all of this run.
    breakpointRemoveAll();
    EXPECT_EQ(rewindRunBack(message, hit), RewindResult::AtStart);
    EXPECT_EQ(board(), start);
}

TEST_F(RewindTest, RefusedWhileATapeRunsAndAfterAChangeByHand) {
    run(0, 50);
    std::string message;
    tape.tapeState = TAPE_PLAYING;
    EXPECT_EQ(rewindStepBack(message), RewindResult::Refused);
    EXPECT_NE(message.find("tape"), std::string::npos) << message;
    tape.tapeState = 0;

    const std::vector<std::uint8_t> now = board();
    bus.memory[0x0300] ^= 0xFF; // behind the debugger's back
    const std::vector<std::uint8_t> changed = board();
    EXPECT_EQ(rewindStepBack(message), RewindResult::Refused);
    EXPECT_NE(message.find("changed by hand"), std::string::npos) << message;
    EXPECT_EQ(board(), changed);
    EXPECT_NE(board(), now);
    // The history starts again there.
    run(50, 70);
    EXPECT_EQ(rewindStepBack(message), RewindResult::Moved) << message;
}

} // namespace
} // namespace orv
