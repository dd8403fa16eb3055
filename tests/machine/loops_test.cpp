// The interpreter has three loops: the plain one with computed goto, the same in its portable form
// (the web edition's), and the checked one the debugger uses. Run on the same random programs, they
// must agree on every register, flag, cycle, byte of RAM and stop, slice by slice.
#include "base/hex_digits.h"
#include "cpu_fixture.h"
#include "machine/debug_hooks.h"
#include "machine/opcodes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <random>
#include <vector>

namespace orv::test {
namespace {

// With ORV_PORTABLE_LOOP=1, every test of the program runs the portable loop (the build's test list
// runs the processor's tests so a second time).
class PortableLoopEnvironment : public ::testing::Environment {
    void SetUp() override {
        const char* value = std::getenv("ORV_PORTABLE_LOOP");
        cpu.portableLoop = value && std::string(value) == "1";
    }
};
[[maybe_unused]] const auto* portableLoopEnvironment =
    ::testing::AddGlobalTestEnvironment(new PortableLoopEnvironment);

enum class Loop { Threaded, Portable, Checked };

// What a slice leaves behind, as text, RAM in lines of 32 bytes: a failure shows the lines that differ.
struct Outcome {
    std::string text;
    std::uint8_t status, pending;
};

Outcome outcome(int executed, std::uint8_t status) {
    std::string text =
        describe(cpu) + formatText(" cycles=%d last=%04x pending=%x status=%02x executed=%d\n", cpu.cycles,
                                   cpu.lastOpcodeAddr, cpu.pendingInterrupts, status, executed);
    for (unsigned row = 0; row < 0x400; row += 32) {
        text += formatText("%04x:", row);
        for (unsigned at = row; at < row + 32; ++at) {
            char hex[3] = {' '};
            hexByteText(bus.memory[at], hex + 1);
            text.append(hex, 3);
        }
        text += '\n';
    }
    return {text, status, cpu.pendingInterrupts};
}

// A random run: RAM filled with valid instructions whose addresses fall in RAM, ROM and an empty page
// (and through pointers anywhere), random registers and cycle count, and between slices interrupt requests, a
// breakpoint and halts.
struct RandomRun {
    std::array<std::uint8_t, 0x400> ram;
    CpuState start;
    std::uint32_t cycles;
    struct Slice {
        std::int32_t budget;
        std::uint8_t pending; // added before the slice
        bool halted, armed;
        std::uint16_t breakpoint;
    };
    std::vector<Slice> slices;
};

RandomRun randomRun(unsigned seed) {
    std::mt19937 random(seed);
    auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
    std::vector<std::uint8_t> valid;
    for (unsigned op = 0; op < 256; ++op)
        if (cpuOpcodeValid(static_cast<std::uint8_t>(op))) valid.push_back(static_cast<std::uint8_t>(op));
    // The pages either side of RAM and ROM as well, where the plain loop's address test divides.
    const std::uint8_t pages[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0xFD, 0xFE, 0xFF, 0x40};

    RandomRun run;
    for (std::uint8_t& byte : run.ram) byte = static_cast<std::uint8_t>(random());
    // The last instruction may run over the end of RAM: its operand then comes from the empty page.
    for (unsigned at = 0x0200; at < 0x0400;) {
        const std::uint8_t op = valid[below(static_cast<unsigned>(valid.size()))];
        const OpcodeInfo& info = opcodeTable[op];
        run.ram[at] = op;
        if (info.length == 3 && at + 2 < 0x0400) {
            const bool jump = op == 0x4C || op == 0x20; // JMP and JSR stay in the program
            run.ram[at + 2] = jump ? static_cast<std::uint8_t>(0x02 + below(2)) : pages[below(sizeof pages)];
        }
        at += info.length;
    }
    cpu.pc = static_cast<std::uint16_t>(0x0200 + below(0x200));
    for (std::uint8_t* reg : {&cpu.a, &cpu.x, &cpu.y, &cpu.sp}) *reg = static_cast<std::uint8_t>(random());
    cpuSetStatusByte(static_cast<std::uint8_t>(random()));
    run.start = cpu;
    // Near the signed limit now and then, where the counter wraps.
    run.cycles = below(4) == 0 ? 0x7FFFFF00u + below(0x100) : static_cast<std::uint32_t>(random());
    for (int n = 0; n < 40; ++n) {
        const std::uint8_t pending = below(8) == 0 ? static_cast<std::uint8_t>(1u << below(3)) : 0;
        run.slices.push_back({static_cast<std::int32_t>(below(400)), pending, below(6) == 0, below(3) == 0,
                              static_cast<std::uint16_t>(0x0200 + below(0x200))});
    }
    return run;
}

std::vector<Outcome> play(const RandomRun& run, Loop loop, unsigned seed) {
    seedRandom(seed); // the RIO chips' power-on bytes, which the programs may read
    machinePowerOn();
    rioReset();
    std::copy(run.ram.begin(), run.ram.end(), bus.memory.begin());
    poke(0xFFFA, {0x00, 0x03, 0x80, 0x02, 0x40, 0x03}); // NMI 0300, reset 0280, IRQ 0340
    cpu = run.start;
    cpu.cycles = static_cast<std::int32_t>(run.cycles);
    cpu.lastOpcodeAddr = 0; // a slice that runs nothing leaves it as it was
    cpu.portableLoop = loop == Loop::Portable;
    debugHooks.history.on = loop == Loop::Checked; // with no ring: the checked loop, recording nothing
    std::vector<Outcome> outcomes;
    for (const RandomRun::Slice& slice : run.slices) {
        cpu.pendingInterrupts |= slice.pending;
        runInputs.halted = slice.halted;
        cpu.breakpoint = slice.breakpoint;
        std::uint8_t status = slice.armed ? SLICE_ARMED : 0;
        const int executed = cpuExecute(slice.budget, status);
        outcomes.push_back(outcome(executed, status));
    }
    debugHooks.history.on = false;
    cpu.portableLoop = false;
    runInputs.halted = true;
    return outcomes;
}

TEST(InterpreterLoops, AgreeOnRandomProgramsSliceBySlice) {
    int stoppedEarly = 0, interrupted = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        const RandomRun run = randomRun(seed);
        const std::vector<Outcome> threaded = play(run, Loop::Threaded, seed);
        const std::vector<Outcome> portable = play(run, Loop::Portable, seed);
        const std::vector<Outcome> checked = play(run, Loop::Checked, seed);
        for (std::size_t n = 0; n < threaded.size(); ++n) {
            ASSERT_EQ(threaded[n].text, portable[n].text) << "seed " << seed << " slice " << n;
            ASSERT_EQ(threaded[n].text, checked[n].text) << "seed " << seed << " slice " << n;
            if (threaded[n].status & (SLICE_BREAK | SLICE_BADOP)) ++stoppedEarly;
            if (run.slices[n].pending && !(threaded[n].pending & run.slices[n].pending)) ++interrupted;
        }
    }
    // The runs reach what they are for: stops at breakpoints and bad opcodes, interrupts taken.
    EXPECT_GT(stoppedEarly, 100);
    EXPECT_GT(interrupted, 100);
}

} // namespace
} // namespace orv::test
