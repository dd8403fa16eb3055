#include "base/run_inputs.h"
#include "tests/debugger/debug_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv::test {
namespace {

constexpr PointKind R = PointKind::Read, W = PointKind::Write, RW = PointKind::Access;

TEST(ConditionTest, ParsesTestsAndPrints) {
    const TrapRegs regs{0x0200, 0x00, 0x10, 0x05, 0xFD, 0x24};
    const struct {
        const char* text;
        const char* shown; // or part of the error message
        bool holds;
    } cases[] = {
        {"X = $10", "X = $10", true},
        {"a!=0", "A != $00", false},
        {"  pc >= 0x0200 ", "PC >= $0200", true},
        {"Y == %101", "Y = $05", true},
        {"P <> 36", "P != $24", false},
        {"sp > 252", "SP > $FC", true},
        {"x < $10", "X < $10", false},
        {"Y<6", "Y < $06", true},
        {"A <= 0", "A <= $00", true},
        {"pc<=$01FF", "PC <= $01FF", false},
        {"", "", true},
        {"Q = 1", "Error: condition 'Q = 1' does not start with a register: A, X, Y, SP, P or PC", true},
        {"X 10", "Error: condition 'X 10' needs =, !=, <, <=, > or >= after X", true},
        {"X = $1G", "'$1G' is not a number", true},
        {"A = $100", "A holds at most $FF", true},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.text);
        TrapCondition condition;
        std::string message;
        if (!parseCondition(t.text, condition, message)) {
            EXPECT_NE(message.find(t.shown), std::string::npos) << message;
            EXPECT_EQ(condition.reg, CondReg::None);
            continue;
        }
        EXPECT_EQ(message, "");
        EXPECT_EQ(conditionText(condition), t.shown);
        EXPECT_EQ(conditionHolds(condition, regs), t.holds);
    }
}

class WatchTest : public DebugFixture {
  protected:
    // A = 5, X = 1, Y = 2; $10 points to $0300, which holds $42.
    void load(std::vector<std::uint8_t> code) {
        poke(0x0200, code);
        poke(0x0010, {0x00, 0x03});
        poke(0x0300, {0x42});
        cpu.a = 5;
        cpu.x = 1;
        cpu.y = 2;
    }
};

TEST_F(WatchTest, StopsAfterTheInstructionThatMadeTheAccess) {
    const struct {
        std::vector<std::uint8_t> code; // at $0200, followed by a jump to itself
        PointKind kind;
        std::uint16_t first, last;
        const char* condition;
        const char* reason; // " at $0200" follows; empty: no stop
    } cases[] = {
        {{0xAD, 0x00, 0x03}, R, 0x0300, 0x0300, "", "Read from $0300"},        // LDA $0300
        {{0x8D, 0x00, 0x03}, W, 0x0300, 0x0300, "", "Write to $0300"},         // STA $0300
        {{0xAD, 0x00, 0x03}, W, 0x0300, 0x0300, "", ""},                       // a read is no write
        {{0x9D, 0x00, 0x03}, W, 0x0300, 0x03FF, "", "Write to $0301"},         // STA $0300,X
        {{0x9D, 0x00, 0x03}, RW, 0x0302, 0x0310, "", ""},                      // beside the range
        {{0xEE, 0x00, 0x03}, R, 0x0300, 0x0300, "", "Read from $0300"},        // INC $0300
        {{0xEE, 0x00, 0x03}, W, 0x0300, 0x0300, "", "Write to $0300"},         // INC $0300
        {{0xA5, 0x10}, R, 0x0010, 0x0010, "", "Read from $0010"},              // LDA $10
        {{0xB1, 0x10}, R, 0x0011, 0x0011, "", "Read from $0011"},              // LDA ($10),Y
        {{0xA1, 0x0F}, R, 0x0010, 0x0010, "", "Read from $0010"},              // LDA ($0F,X)
        {{0x91, 0x10}, W, 0x0302, 0x0302, "", "Write to $0302"},               // STA ($10),Y
        {{0x48}, W, 0x01FF, 0x01FF, "", "Write to $01FF"},                     // PHA
        {{0x68}, R, 0x0100, 0x0100, "", "Read from $0100"},                    // PLA
        {{0x20, 0x03, 0x02}, W, 0x01FE, 0x01FE, "", "Write to $01FE"},         // JSR $0203
        {{0xA9, 0x07}, R, 0x0200, 0x0201, "", ""},                             // fetches are no reads
        {{0xAD, 0x80, 0x0E}, R, 0x0E80, 0x0E80, "", "Read from $0E80"},        // RIO RAM
        {{0x8D, 0x00, 0x20}, W, 0x2000, 0x2000, "", "Write to $2000"},         // an empty page
        {{0x8D, 0x00, 0x03}, W, 0x0300, 0x0300, "A = 5", "Write to $0300"},    // condition holds
        {{0x8D, 0x00, 0x03}, W, 0x0300, 0x0300, "A != 5", ""},                 // condition fails
        {{0xAE, 0x00, 0x03}, R, 0x0300, 0x0300, "X = $42", "Read from $0300"}, // registers after it
    };
    for (const auto& t : cases) {
        SetUp();
        SCOPED_TRACE(testing::Message()
                     << std::hex << int(t.code[0]) << " " << t.first << " " << t.condition);
        std::vector<std::uint8_t> code = t.code;
        const auto end = static_cast<std::uint16_t>(0x0200 + code.size());
        code.insert(code.end(), {0x4C, static_cast<std::uint8_t>(end), static_cast<std::uint8_t>(end >> 8)});
        load(code);
        add(t.kind, t.first, t.last, t.condition);
        const bool stops = *t.reason != '\0';
        EXPECT_EQ(runFor(40), stops ? SLICE_WATCH : 0);
        EXPECT_EQ(cpu.pc, end);
        if (stops) {
            EXPECT_EQ(stopReason(debugHooks.trapHit), std::string(t.reason) + " at $0200");
        }
    }
}

TEST_F(WatchTest, InterruptsStopAfterTheirEntry) {
    const struct {
        std::uint8_t request; // 0: BRK
        std::uint16_t watched;
        const char* reason;
        std::uint16_t pc;
    } cases[] = {
        {PEND_NMI, 0x01FD, "Write to $01FD at $0200", NMI_HANDLER},
        {PEND_NMI, 0xFFFA, "Read from $FFFA at $0200", NMI_HANDLER},
        {PEND_IRQ, 0x01FF, "Write to $01FF at $0200", IRQ_HANDLER},
        {PEND_RESET, 0xFFFD, "Read from $FFFD at $0200", RESET_HANDLER},
        {0, 0xFFFF, "Read from $FFFF at $0200", IRQ_HANDLER},
    };
    for (const auto& t : cases) {
        SetUp();
        SCOPED_TRACE(t.reason);
        load({0x00});
        poke(NMI_HANDLER, {0xE8});
        poke(IRQ_HANDLER, {0xE8});
        add(RW, t.watched, t.watched);
        cpu.pendingInterrupts = t.request;
        EXPECT_EQ(runFor(100), SLICE_WATCH);
        EXPECT_EQ(stopReason(debugHooks.trapHit), t.reason);
        EXPECT_EQ(cpu.pc, t.pc);
        EXPECT_EQ(cpu.x, 1); // the handler has not run
    }
}

class BreakTest : public DebugFixture {
  protected:
    void SetUp() override {
        DebugFixture::SetUp();
        poke(0x0200, {0xE8, 0xE0, 0x05, 0xD0, 0xFB, 0x4C, 0x05, 0x02}); // INX; CPX #5; BNE $0200; JMP $0205
    }
};

TEST_F(BreakTest, StopsBeforeTheInstructionWhenItsConditionHolds) {
    const struct {
        std::uint16_t first, last;
        const char* condition;
        bool enabled;
        const char* reason; // empty: no stop
        std::uint16_t pc;
        std::uint8_t x;
    } cases[] = {
        {0x0201, 0x0201, "", true, "Breakpoint at $0201", 0x0201, 1},
        {0x0201, 0x0201, "X = 3", true, "Breakpoint at $0201", 0x0201, 3},
        {0x0201, 0x0201, "X >= $10", true, "", 0x0205, 5},
        {0x0201, 0x0201, "", false, "", 0x0205, 5},
        {0x0205, 0x0207, "", true, "Breakpoint at $0205", 0x0205, 5},
    };
    for (const auto& t : cases) {
        SetUp();
        SCOPED_TRACE(testing::Message() << std::hex << t.first << " " << t.condition << " " << t.enabled);
        EXPECT_TRUE(breakpointEnable(add(PointKind::Exec, t.first, t.last, t.condition), t.enabled));
        const bool stops = *t.reason != '\0';
        EXPECT_EQ(runFor(200), stops ? SLICE_BREAK : 0);
        EXPECT_EQ(cpu.pc, t.pc);
        EXPECT_EQ(cpu.x, t.x);
        if (stops) {
            EXPECT_EQ(stopReason(debugHooks.trapHit), t.reason);
        }
    }

    // Step, and Run's first instruction, run while halted: that is how the machine moves off.
    SetUp();
    add(PointKind::Exec, 0x0200, 0x0200);
    EXPECT_EQ(runFor(200), SLICE_BREAK);
    EXPECT_EQ(step(), 2u);
    EXPECT_EQ(cpu.pc, 0x0201);
}

TEST_F(BreakTest, ListsEditsAndArmsOnlyTheEnabledOnes) {
    cpuSetBreakpoint(0x0215);
    runInputs.debug = 1;
    const int exec = add(PointKind::Exec, 0x0200, 0x0200);
    add(W, 0x0300, 0x03FF, "x=$10");
    const int both = add(RW, 0x00F9, 0x00F9);
    std::string message;
    EXPECT_EQ(breakpointAdd(R, 0x0301, 0x0300, "", message), 0);
    EXPECT_EQ(message, "Error: the range $0301-$0300 ends before it starts");
    EXPECT_EQ(breakpointAdd(R, 0x0300, 0x0300, "Z = 1", message), 0);
    EXPECT_EQ(breakpointAdd(PointKind::Single, 0x0300, 0x0300, "", message), 0);

    // debugP keeps its own rules.
    EXPECT_FALSE(breakpointRemove(TRAP_ID_SINGLE));
    EXPECT_FALSE(breakpointEnable(TRAP_ID_SINGLE, false));
    EXPECT_TRUE(breakpointEnable(both, false));
    EXPECT_TRUE(breakpointRemove(exec));
    EXPECT_FALSE(breakpointRemove(exec));
    EXPECT_GT(add(PointKind::Exec, 0x0200, 0x0200), both); // numbers are never reused

    std::vector<std::string> texts;
    for (const BreakPoint& point : breakpointList()) texts.push_back(breakpointText(point));
    EXPECT_EQ(texts, (std::vector<std::string>{"Breakpoint $0215 (debugP: while the debug panel is shown)",
                                               "Write $0300-$03FF if X = $10", "Read/write $00F9",
                                               "Breakpoint $0200"}));
    EXPECT_TRUE(breakpointList()[0].enabled);
    EXPECT_FALSE(breakpointList()[2].enabled);

    EXPECT_EQ(cpuTraps().size(), 2u);
    EXPECT_EQ(debugHooks.trapMap[0x00F9], 0);
    EXPECT_EQ(bus.pageFlags[0x03], PAGE_RAM | PAGE_WATCH);
    EXPECT_EQ(bus.pageFlags[0x00], PAGE_RAM);
    breakpointRemoveAll();
    EXPECT_EQ(bus.pageFlags[0x03], PAGE_RAM);
}

} // namespace
} // namespace orv::test

namespace orv::test {
namespace {

// The points kept between runs come back as they were; a damaged text adds nothing.
TEST_F(DebugFixture, KeptPointsComeBackAsTheyWere) {
    add(PointKind::Exec, 0x0215, 0x0215);
    add(RW, 0x0300, 0x03FF, "X = $10");
    const int off = add(W, 0x0E20, 0x0E20, "sp < $f0");
    breakpointEnable(off, false);
    std::vector<std::string> kept;
    for (const BreakPoint& point : breakpointList())
        if (point.kind != PointKind::Single) kept.push_back(breakpointSaveText(point));
    EXPECT_EQ(kept, (std::vector<std::string>{"Execute 0215 0215 1", "Access 0300 03FF 1 X = $10",
                                              "Write 0E20 0E20 0 SP < $F0"}));
    const std::vector<BreakPoint> before = breakpointList();
    breakpointRemoveAll();
    std::string message;
    for (const std::string& text : kept) EXPECT_NE(breakpointRestore(text, message), 0) << message;
    const std::vector<BreakPoint> after = breakpointList();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t n = 1; n < after.size(); ++n)
        EXPECT_EQ(breakpointSaveText(after[n]), breakpointSaveText(before[n]));

    for (const char* bad : {"", "Exec 0200 0200 1", "Read 200 0200 1", "Read 0200 0200", "Read 0200 0200 2",
                            "Write 0300 0200 1", "Read 0200 0200 1 Q = 1"}) {
        EXPECT_EQ(breakpointRestore(bad, message), 0) << bad;
        EXPECT_TRUE(message.starts_with("Error: ")) << bad;
    }
    EXPECT_EQ(breakpointList().size(), after.size());
}

} // namespace
} // namespace orv::test
