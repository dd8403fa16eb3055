#include "tests/debugger/debug_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv::test {
namespace {

using Code = std::vector<std::uint8_t>;

TEST(ConditionTest, ParsesTestsAndPrints) {
    const TrapRegs regs{0x0200, 0x00, 0x10, 0x05, 0xFD, 0x24};
    const struct {
        const char* text;
        const char* error; // part of the message; null when it parses
        const char* shown;
        bool holds;
    } cases[] = {
        {"X = $10", nullptr, "X = $10", true},
        {"a!=0", nullptr, "A != $00", false},
        {"SP < $F0", nullptr, "SP < $F0", false},
        {"  pc >= 0x0200 ", nullptr, "PC >= $0200", true},
        {"Y == %101", nullptr, "Y = $05", true},
        {"P <> 36", nullptr, "P != $24", false},
        {"X <= #$0F", nullptr, "X <= $0F", false},
        {"sp > 252", nullptr, "SP > $FC", true},
        {"", nullptr, "", true},
        {"Q = 1", "Error: condition 'Q = 1' does not start with a register: A, X, Y, SP, P or PC", "", true},
        {"X 10", "needs =, !=, <, <=, > or >= after X", "", true},
        {"X = $1G", "'$1G' is not a number", "", true},
        {"X =", "'' is not a number", "", true},
        {"A = $100", "A holds at most $FF", "", true},
        {"PC = $10000", "is not a number", "", true},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.text);
        TrapCondition condition;
        std::string message;
        EXPECT_EQ(parseCondition(t.text, condition, message), t.error == nullptr);
        if (t.error) {
            EXPECT_NE(message.find(t.error), std::string::npos) << message;
            EXPECT_EQ(condition.reg, CondReg::None);
            continue;
        }
        EXPECT_EQ(message, "");
        EXPECT_EQ(conditionText(condition), t.shown);
        EXPECT_EQ(conditionHolds(condition, regs), t.holds);
    }
}

class WatchTest : public DebugFixture {};

TEST_F(WatchTest, StopsAfterTheInstructionThatMadeTheAccess) {
    const struct {
        const char* name;
        Code code; // at $0200, followed by a jump to itself
        PointKind kind;
        std::uint16_t first, last;
        const char* condition;
        const char* reason; // empty: no stop
        std::uint16_t pc;   // after the stop; 0: the jump after the code
    } cases[] = {
        {"read", {0xAD, 0x00, 0x03}, PointKind::Read, 0x0300, 0x0300, "", "Read from $0300 at $0200", 0},
        {"write", {0x8D, 0x00, 0x03}, PointKind::Write, 0x0300, 0x0300, "", "Write to $0300 at $0200", 0},
        {"a read is no write", {0xAD, 0x00, 0x03}, PointKind::Write, 0x0300, 0x0300, "", "", 0},
        {"read or write",
         {0x8D, 0x00, 0x03},
         PointKind::Access,
         0x0300,
         0x0300,
         "",
         "Write to $0300 at $0200",
         0},
        {"range, indexed",
         {0x9D, 0x00, 0x03},
         PointKind::Write,
         0x0300,
         0x03FF,
         "",
         "Write to $0301 at $0200",
         0},
        {"beside the range", {0x9D, 0x00, 0x03}, PointKind::Write, 0x0302, 0x0310, "", "", 0},
        {"RMW read", {0xEE, 0x00, 0x03}, PointKind::Read, 0x0300, 0x0300, "", "Read from $0300 at $0200", 0},
        {"RMW write", {0xEE, 0x00, 0x03}, PointKind::Write, 0x0300, 0x0300, "", "Write to $0300 at $0200", 0},
        {"zero page", {0xA5, 0x10}, PointKind::Read, 0x0010, 0x0010, "", "Read from $0010 at $0200", 0},
        {"(zp),Y pointer", {0xB1, 0x10}, PointKind::Read, 0x0011, 0x0011, "", "Read from $0011 at $0200", 0},
        {"(zp,X) pointer", {0xA1, 0x0F}, PointKind::Read, 0x0010, 0x0010, "", "Read from $0010 at $0200", 0},
        {"through a pointer",
         {0x91, 0x10},
         PointKind::Write,
         0x0302,
         0x0302,
         "",
         "Write to $0302 at $0200",
         0},
        {"push", {0x48}, PointKind::Write, 0x01FF, 0x01FF, "", "Write to $01FF at $0200", 0},
        {"pull", {0x68}, PointKind::Read, 0x0100, 0x0100, "", "Read from $0100 at $0200", 0},
        {"JSR pushes",
         {0x20, 0x03, 0x02},
         PointKind::Write,
         0x01FE,
         0x01FE,
         "",
         "Write to $01FE at $0200",
         0},
        {"BRK vector", {0x00}, PointKind::Read, 0xFFFE, 0xFFFF, "", "Read from $FFFE at $0200", IRQ_HANDLER},
        {"JMP pointer",
         {0x6C, 0x00, 0x03},
         PointKind::Read,
         0x0301,
         0x0301,
         "",
         "Read from $0301 at $0200",
         0x0042},
        {"operand fetch", {0xA9, 0x07}, PointKind::Read, 0x0201, 0x0201, "", "", 0},
        {"opcode fetch", {0xA9, 0x07}, PointKind::Read, 0x0200, 0x0200, "", "", 0},
        {"RIO RAM", {0xAD, 0x80, 0x0E}, PointKind::Read, 0x0E80, 0x0E80, "", "Read from $0E80 at $0200", 0},
        {"empty page",
         {0x8D, 0x00, 0x20},
         PointKind::Write,
         0x2000,
         0x2000,
         "",
         "Write to $2000 at $0200",
         0},
        {"ROM write", {0x8D, 0x10, 0xFE}, PointKind::Write, 0xFE10, 0xFE10, "", "Write to $FE10 at $0200", 0},
        {"condition holds",
         {0x8D, 0x00, 0x03},
         PointKind::Write,
         0x0300,
         0x0300,
         "A = 5",
         "Write to $0300 at $0200",
         0},
        {"condition fails", {0x8D, 0x00, 0x03}, PointKind::Write, 0x0300, 0x0300, "A != 5", "", 0},
        {"registers after",
         {0xAE, 0x00, 0x03},
         PointKind::Read,
         0x0300,
         0x0300,
         "X = $42",
         "Read from $0300 at $0200",
         0},
    };
    for (const auto& t : cases) {
        SetUp();
        SCOPED_TRACE(t.name);
        Code code = t.code;
        const auto end = static_cast<std::uint16_t>(0x0200 + code.size());
        code.insert(code.end(), {0x4C, static_cast<std::uint8_t>(end), static_cast<std::uint8_t>(end >> 8)});
        for (std::size_t n = 0; n < code.size(); ++n) memory[0x0200 + n] = code[n];
        poke(0x0010, {0x00, 0x03});
        poke(0x0300, {0x42, 0x00});
        cpu.a = 5;
        cpu.x = 1;
        cpu.y = 2;
        add(t.kind, t.first, t.last, t.condition);

        const std::uint8_t status = runFor(40);
        if (*t.reason == '\0') {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(cpu.pc, end);
            continue;
        }
        EXPECT_EQ(status, SLICE_WATCH);
        EXPECT_EQ(stopReason(trapHit), t.reason);
        EXPECT_EQ(cpu.pc, t.pc ? t.pc : end);
    }
}

TEST_F(WatchTest, InterruptEntryStopsBeforeTheHandlerRuns) {
    poke(NMI_HANDLER, {0xE8});
    poke(IRQ_HANDLER, {0xE8});
    const struct {
        std::uint8_t request;
        std::uint16_t first;
        const char* reason;
        std::uint16_t pc;
    } cases[] = {
        {PEND_NMI, 0x01FD, "Write to $01FD at $0200", NMI_HANDLER},
        {PEND_NMI, 0xFFFA, "Read from $FFFA at $0200", NMI_HANDLER},
        {PEND_IRQ, 0x01FF, "Write to $01FF at $0200", IRQ_HANDLER},
        {PEND_RESET, 0xFFFD, "Read from $FFFD at $0200", RESET_HANDLER},
    };
    for (const auto& t : cases) {
        SetUp();
        SCOPED_TRACE(t.reason);
        add(PointKind::Access, t.first, t.first);
        pendingInterrupts = t.request;
        EXPECT_EQ(runFor(100), SLICE_WATCH);
        EXPECT_EQ(stopReason(trapHit), t.reason);
        EXPECT_EQ(cpu.pc, t.pc);
        EXPECT_EQ(cpu.x, 0);
    }
}

class BreakTest : public DebugFixture {
  protected:
    void SetUp() override {
        DebugFixture::SetUp();
        // INX; CPX #5; BNE $0200; JMP $0205
        poke(0x0200, {0xE8, 0xE0, 0x05, 0xD0, 0xFB, 0x4C, 0x05, 0x02});
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
        const int id = add(PointKind::Exec, t.first, t.last, t.condition);
        EXPECT_TRUE(breakpointEnable(id, t.enabled));
        const bool stops = *t.reason != '\0';
        EXPECT_EQ(runFor(200), stops ? SLICE_BREAK : 0);
        EXPECT_EQ(cpu.pc, t.pc);
        EXPECT_EQ(cpu.x, t.x);
        if (stops) {
            EXPECT_EQ(stopReason(trapHit), t.reason);
        }
    }
}

TEST_F(BreakTest, MovesOffWhileHaltedAndLeavesTheSingleBreakpointItsRules) {
    add(PointKind::Exec, 0x0200, 0x0200);
    EXPECT_EQ(runFor(200), SLICE_BREAK);
    EXPECT_EQ(cpu.pc, 0x0200);
    // Step and Run's first instruction run while halted, which is how the machine moves off.
    EXPECT_EQ(step(), 2u);
    EXPECT_EQ(cpu.pc, 0x0201);

    breakpointRemoveAll();
    cpuSetBreakpoint(0x0203);
    EXPECT_EQ(runFor(200), 0);
    cpu.pc = 0x0200;
    halted = false;
    std::uint8_t status = SLICE_ARMED;
    cpuExecute(200, status);
    halted = true;
    EXPECT_EQ(status, SLICE_ARMED | SLICE_BREAK);
    EXPECT_EQ(cpu.pc, 0x0203);
    EXPECT_EQ(stopReason(trapHit), "Breakpoint at $0203");
}

TEST_F(BreakTest, ListEditsAndTexts) {
    cpuSetBreakpoint(0x0215);
    debug = 1;
    const int exec = add(PointKind::Exec, 0x0200, 0x0200);
    const int write = add(PointKind::Write, 0x0300, 0x03FF, "x=$10");
    const int read = add(PointKind::Access, 0x00F9, 0x00F9);
    std::string message;
    EXPECT_EQ(breakpointAdd(PointKind::Read, 0x0301, 0x0300, "", message), 0);
    EXPECT_EQ(message, "Error: the range $0301-$0300 ends before it starts");
    EXPECT_EQ(breakpointAdd(PointKind::Read, 0x0300, 0x0300, "Z = 1", message), 0);
    EXPECT_EQ(breakpointAdd(PointKind::Single, 0x0300, 0x0300, "", message), 0);

    EXPECT_FALSE(breakpointRemove(TRAP_ID_SINGLE));
    EXPECT_FALSE(breakpointEnable(TRAP_ID_SINGLE, false));
    EXPECT_TRUE(breakpointEnable(read, false));
    EXPECT_TRUE(breakpointRemove(exec));
    EXPECT_FALSE(breakpointRemove(exec));
    EXPECT_GT(add(PointKind::Exec, 0x0200, 0x0200), read); // numbers are never reused

    std::vector<std::string> texts;
    for (const BreakPoint& point : breakpointList()) texts.push_back(breakpointText(point));
    EXPECT_EQ(texts, (std::vector<std::string>{"Breakpoint $0215 (debugP: while the debug panel is shown)",
                                               "Write $0300-$03FF if X = $10", "Read/write $00F9",
                                               "Breakpoint $0200"}));
    EXPECT_TRUE(breakpointList()[0].enabled);
    EXPECT_FALSE(breakpointList()[2].enabled);
    EXPECT_EQ(breakpointList()[1].id, write);

    // Only the enabled ones are armed.
    EXPECT_EQ(cpuTraps().size(), 2u);
    EXPECT_EQ(trapMap[0x00F9], 0);
    EXPECT_EQ(pageFlags[0x03], PAGE_RAM | PAGE_WATCH);
    EXPECT_EQ(pageFlags[0x00], PAGE_RAM);
    breakpointRemoveAll();
    EXPECT_EQ(pageFlags[0x03], PAGE_RAM);
}

} // namespace
} // namespace orv::test
