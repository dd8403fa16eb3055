// The interpreter has three loops: the plain one with computed goto, the same in its portable form
// (the web edition's), and the checked one the debugger uses. RandomRun on the same random programs, they
// must agree on every register, flag, cycle, byte of RAM and stop, slice by slice.
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

struct Outcome {
    std::string registers;
    std::int32_t cycles;
    std::uint16_t lastOpcodeAddr;
    std::uint8_t pending;
    std::uint8_t status;
    int executed;
    std::array<std::uint8_t, 0x400> ram;
    bool operator==(const Outcome&) const = default;
};

// What differs, for the failure message.
std::string difference(const Outcome& a, const Outcome& b) {
    std::string text;
    if (a.registers != b.registers) text += a.registers + " / " + b.registers + "; ";
    if (a.cycles != b.cycles) text += formatText("cycles %d / %d; ", a.cycles, b.cycles);
    if (a.lastOpcodeAddr != b.lastOpcodeAddr)
        text += formatText("last opcode at %04x / %04x; ", a.lastOpcodeAddr, b.lastOpcodeAddr);
    if (a.pending != b.pending) text += formatText("pending %x / %x; ", a.pending, b.pending);
    if (a.status != b.status) text += formatText("status %x / %x; ", a.status, b.status);
    if (a.executed != b.executed) text += formatText("executed %d / %d; ", a.executed, b.executed);
    for (std::size_t at = 0; at < a.ram.size(); ++at)
        if (a.ram[at] != b.ram[at]) text += formatText("%04zx: %02x / %02x; ", at, a.ram[at], b.ram[at]);
    return text;
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
    // The vectors lead into the program.
    run.start = {static_cast<std::uint16_t>(0x0200 + below(0x200)),
                 static_cast<std::uint8_t>(random()),
                 static_cast<std::uint8_t>(random()),
                 static_cast<std::uint8_t>(random()),
                 static_cast<std::uint8_t>(random()),
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0,
                 0};
    cpu = run.start;
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
        Outcome& o = outcomes.emplace_back();
        o.registers = describe(cpu);
        o.cycles = cpu.cycles;
        o.lastOpcodeAddr = cpu.lastOpcodeAddr;
        o.pending = cpu.pendingInterrupts;
        o.status = status;
        o.executed = executed;
        std::copy(bus.memory.begin(), bus.memory.begin() + 0x400, o.ram.begin());
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
            ASSERT_TRUE(threaded[n] == portable[n])
                << "seed " << seed << " slice " << n << ": " << difference(threaded[n], portable[n]);
            ASSERT_TRUE(threaded[n] == checked[n])
                << "seed " << seed << " slice " << n << ": " << difference(threaded[n], checked[n]);
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
