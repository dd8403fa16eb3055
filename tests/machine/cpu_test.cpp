#include "base/run_inputs.h"
#include "machine/cpu.h"
#include "tests/machine/cpu_fixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace orv::test {
namespace {

class CpuTest : public CpuFixture {
  protected:
    void fillNops() { std::fill(bus.memory.begin() + 0x0200, bus.memory.begin() + 0x0400, 0xEA); }
};

TEST_F(CpuTest, StatusByteAssemblesAndSplits) {
    cpuSetStatusByte(0xA5);
    EXPECT_EQ(describe(cpu), "pc=0200 a=00 x=00 y=00 sp=ff n1 v0 5:1 b0 d0 i1 z0 c1");
    cpuSetStatusByte(0x5A);
    EXPECT_EQ(describe(cpu), "pc=0200 a=00 x=00 y=00 sp=ff n0 v1 5:0 b1 d1 i0 z1 c0");
    for (int value = 0; value < 256; ++value) {
        cpuSetStatusByte(static_cast<std::uint8_t>(value));
        EXPECT_EQ(cpuStatusByte(), value);
    }
}

TEST_F(CpuTest, RegisterLine) {
    cpu = CpuState{0x1234, 0x56, 0x78, 0x9A, 0xFD, 1, 0, 0, 1, 0, 1, 0, 1};
    EXPECT_EQ(registerLine(), "PC:1234 A:56 X:78 Y:9a N-1B-I-C SP:fd");
    // Status bit 5 always shows as 1.
    cpu = CpuState{0xFFFF, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1, 0};
    EXPECT_EQ(registerLine(), "PC:ffff A:00 X:00 Y:00 -V1-D-Z- SP:00");
    EXPECT_EQ(registerLine().size(), 37u);
}

TEST_F(CpuTest, ResetIsServedBeforeAPendingNmi) {
    cpu = CpuState{0x0234, 0x11, 0x22, 0x33, 0xE0, 1, 1, 1, 0, 1, 0, 1, 1};
    poke(RESET_HANDLER, {0xEA});
    poke(NMI_HANDLER, {0xA9, 0x42});
    cpu.pendingInterrupts = PEND_NMI;
    CpuState want = cpu;
    want.pc = RESET_HANDLER;
    want.i = 1;
    want.b = 1;
    cpuRequestReset();
    // Only pc, i, b and the cycles change: nothing is pushed and no instruction runs.
    EXPECT_EQ(describe(cpu), describe(want));
    EXPECT_EQ(cpu.cycles, 6);
    EXPECT_EQ(cpu.pendingInterrupts, PEND_NMI);
    EXPECT_EQ(bus.memory[0x01E0], 0x00);

    // The NMI comes at the start of the next slice, with the b that reset left.
    EXPECT_EQ(step(), 2u);
    EXPECT_EQ(cpu.pendingInterrupts, 0);
    EXPECT_EQ(cpu.pc, NMI_HANDLER + 2);
    EXPECT_EQ(cpu.a, 0x42);
    EXPECT_EQ(cpu.sp, 0xDD);
    EXPECT_EQ(bus.memory[0x01E0], 0xFE);
    EXPECT_EQ(bus.memory[0x01DF], 0x00);
    EXPECT_EQ(bus.memory[0x01DE], 0xFF); // n v bit5 b d i z c, all set
}

TEST_F(CpuTest, NmiWhileHaltedRunsTheFirstHandlerInstruction) {
    runInputs.halted = true;
    cpu.i = 1;
    cpu.b = 0;
    cpu.pc = 0x0250;
    poke(NMI_HANDLER, {0xA9, 0x42, 0x40});
    cpuRequestNmi();
    EXPECT_EQ(cpu.cycles, 2); // entry is free
    EXPECT_EQ(cpu.a, 0x42);
    EXPECT_EQ(cpu.pc, NMI_HANDLER + 2);
    EXPECT_EQ(cpu.sp, 0xFC);
    EXPECT_EQ(bus.memory[0x01FF], 0x02);
    EXPECT_EQ(bus.memory[0x01FE], 0x50);
    EXPECT_EQ(bus.memory[0x01FD], 0x24); // bit5 and i, b as it stood
    EXPECT_EQ(cpu.i, 1);
    step(); // RTI
    EXPECT_EQ(cpu.pc, 0x0250);
    EXPECT_EQ(cpu.i, 0);
}

TEST_F(CpuTest, BreakFlagFollowsResetAndIrqEntry) {
    poke(RESET_HANDLER, {0xEA});
    poke(IRQ_HANDLER, {0xEA});
    poke(NMI_HANDLER, {0xEA});
    cpu.b = 0;
    cpuRequestReset();
    cpuRequestNmi();
    EXPECT_EQ(stackByte(1) & 0x10, 0x10);

    cpu.i = 0;
    cpuRequestIrq();
    EXPECT_EQ(cpu.b, 0);
    EXPECT_EQ(stackByte(1) & 0x10, 0x00);
    cpuRequestNmi();
    EXPECT_EQ(stackByte(1) & 0x10, 0x00);
}

TEST_F(CpuTest, IrqWaitsWhileInterruptsAreDisabled) {
    poke(0x0200, {0xEA, 0x58, 0xEA});
    poke(IRQ_HANDLER, {0xA9, 0x11});
    cpu.i = 1;
    cpuRequestIrq();
    EXPECT_EQ(cpu.cycles, 0);
    EXPECT_EQ(cpu.pc, 0x0200);
    EXPECT_EQ(cpu.pendingInterrupts, PEND_IRQ);

    step(); // NOP
    step(); // CLI
    EXPECT_EQ(cpu.pc, 0x0202);
    EXPECT_EQ(cpu.pendingInterrupts, PEND_IRQ);
    step(); // the IRQ, then the handler's first instruction
    EXPECT_EQ(cpu.pendingInterrupts, 0);
    EXPECT_EQ(cpu.pc, IRQ_HANDLER + 2);
    EXPECT_EQ(cpu.a, 0x11);
    EXPECT_EQ(cpu.i, 1);
    EXPECT_EQ(cpu.b, 0);
    EXPECT_EQ(bus.memory[0x01FF], 0x02);
    EXPECT_EQ(bus.memory[0x01FE], 0x02);
    EXPECT_EQ(bus.memory[0x01FD], 0x20); // i was 0 and b is 0
    EXPECT_EQ(cpu.cycles, 6);
}

TEST_F(CpuTest, IrqIsTakenAfterRti) {
    poke(0x0200, {0x40});
    poke(0x01FD, {0x24, 0x50, 0x02}); // i = 1 on the stack: RTI clears it anyway
    poke(IRQ_HANDLER, {0xEA});
    cpu.sp = 0xFC;
    cpu.i = 1;
    cpuRequestIrq();
    EXPECT_EQ(cpu.pc, 0x0200);
    step();
    EXPECT_EQ(cpu.pc, 0x0250);
    EXPECT_EQ(cpu.i, 0);
    step();
    EXPECT_EQ(cpu.pc, IRQ_HANDLER + 1);
    EXPECT_EQ(bus.memory[0x01FF], 0x02);
    EXPECT_EQ(bus.memory[0x01FE], 0x50);
}

TEST_F(CpuTest, IrqWithInterruptsEnabledRunsAtOnce) {
    poke(IRQ_HANDLER, {0xA9, 0x11});
    cpu.i = 0;
    cpu.b = 1;
    cpuRequestIrq();
    EXPECT_EQ(cpu.a, 0x11);
    EXPECT_EQ(cpu.cycles, 2);
    EXPECT_EQ(bus.memory[0x01FD], 0x20);
    EXPECT_EQ(cpu.pendingInterrupts, 0);
}

TEST_F(CpuTest, BreakpointFiresOnlyWhenArmedAndRunning) {
    const struct {
        bool halted;
        std::uint8_t armed;
        bool fires;
    } cases[] = {{false, SLICE_ARMED, true}, {true, SLICE_ARMED, false}, {false, 0, false}};
    for (const auto& t : cases) {
        SetUp();
        SCOPED_TRACE(testing::Message() << "halted " << t.halted << " armed " << int(t.armed));
        poke(0x0200, {0xEA});
        cpuSetBreakpoint(0x0200);
        runInputs.halted = t.halted;
        std::uint8_t status = t.armed;
        int executed = -1;
        const std::uint32_t spent = runTestSlice(1, status, &executed);
        EXPECT_EQ(status, t.armed | (t.fires ? SLICE_BREAK : 0));
        EXPECT_EQ(spent, t.fires ? 0u : 2u);
        EXPECT_EQ(executed, t.fires ? 0 : 1);
        EXPECT_EQ(cpuGetPc(), t.fires ? 0x0200 : 0x0201);
    }
}

TEST_F(CpuTest, BreakpointStopsASliceAndStepMovesOffIt) {
    fillNops();
    cpuSetBreakpoint(0x0206);
    runInputs.halted = false;
    std::uint8_t status = SLICE_ARMED;
    int executed = 0;
    EXPECT_EQ(runTestSlice(1000, status, &executed), 12u);
    EXPECT_EQ(executed, 6);
    EXPECT_EQ(status, SLICE_ARMED | SLICE_BREAK);
    EXPECT_EQ(cpu.pc, 0x0206);
    EXPECT_EQ(cpu.lastOpcodeAddr, 0x0205);

    status = SLICE_ARMED;
    EXPECT_EQ(runTestSlice(1000, status), 0u);
    EXPECT_EQ(status, SLICE_ARMED | SLICE_BREAK);

    runInputs.halted = true;
    status = SLICE_ARMED;
    EXPECT_EQ(runTestSlice(1, status), 2u);
    EXPECT_EQ(status, SLICE_ARMED);
    EXPECT_EQ(cpu.pc, 0x0207);
}

TEST_F(CpuTest, BudgetRunsUntilItIsExceeded) {
    const struct {
        std::int32_t budget;
        int executed;
        std::uint32_t spent;
    } cases[] = {{INT32_MIN, 0, 0}, {-1, 0, 0}, {0, 1, 2}, {1, 1, 2}, {10, 6, 12}, {11, 6, 12}, {12, 7, 14}};
    for (const auto& t : cases) {
        SetUp();
        SCOPED_TRACE(t.budget);
        fillNops();
        std::uint8_t status = 0;
        int executed = -1;
        EXPECT_EQ(runTestSlice(t.budget, status, &executed), t.spent);
        EXPECT_EQ(executed, t.executed);
        EXPECT_EQ(status, 0);
        EXPECT_FALSE(cpu.busy.load());
    }
}

TEST_F(CpuTest, SlicesCountRightAcrossTheSignedLimit) {
    // Starting just below 2^31, crossing it mid-slice, and crossing the unsigned wrap back to 0.
    const std::uint32_t starts[] = {0x7FFFFFFFu, 0x7FFFFFFEu, 0x7FFFFFCEu,
                                    0x80000000u, 0xFFFFFFFFu, 0xFFFFFFC0u};
    for (std::uint32_t start : starts) {
        SetUp();
        SCOPED_TRACE(start);
        fillNops();
        cpu.cycles = static_cast<std::int32_t>(start);
        std::uint8_t status = 0;
        int executed = 0;
        EXPECT_EQ(runTestSlice(100, status, &executed), 102u);
        EXPECT_EQ(executed, 51);
        EXPECT_EQ(cpu.pc, 0x0233);
    }
}

TEST_F(CpuTest, InvalidOpcodeStopsWithoutCountingCycles) {
    poke(0x0200, {0xEA, 0xEA, 0xFF});
    std::uint8_t status = 0;
    int executed = 0;
    EXPECT_EQ(runTestSlice(100, status, &executed), 4u);
    EXPECT_EQ(executed, 2);
    EXPECT_EQ(status, SLICE_BADOP);
    EXPECT_EQ(cpu.pc, 0x0202);
    EXPECT_EQ(cpu.lastOpcodeAddr, 0x0202);

    status = 0;
    EXPECT_EQ(runTestSlice(100, status, &executed), 0u);
    EXPECT_EQ(executed, 0);
    EXPECT_EQ(status, SLICE_BADOP);
    EXPECT_EQ(cpu.pc, 0x0202);
}

TEST_F(CpuTest, DiagnosticTrace) {
    const struct {
        std::uint8_t diag;
        bool halted;
        std::uint8_t opcode;
        const char* expected;
    } cases[] = {
        {1, true, 0xEA, "0200: Opcode ea\nPC:0201 A:00 X:00 Y:00 --1----- SP:ff [cyc=2]\n"},
        {1, true, 0xFF,
         "0200: Opcode ff\nBadop at 0200: ff\nPC:0200 A:00 X:00 Y:00 --1----- SP:ff [cyc=0]\n"},
        {1, false, 0xFF, "Badop at 0200: ff\nPC:0200 A:00 X:00 Y:00 --1----- SP:ff [cyc=0]\n"},
        {1, false, 0xEA, ""},
        {0, true, 0xFF, ""},
    };
    for (const auto& t : cases) {
        SetUp();
        SCOPED_TRACE(t.expected);
        poke(0x0200, {t.opcode});
        runInputs.diag = t.diag;
        runInputs.halted = t.halted;
        testing::internal::CaptureStdout();
        step();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), t.expected);
    }
}

} // namespace
} // namespace orv::test
