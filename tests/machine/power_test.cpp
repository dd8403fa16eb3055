#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/latch.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "settings/flags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace orv {
namespace {

// The next n bytes the generator gives, drawn in a copy of this process, so that this one's generator
// is left where it was: whatever the generator, power-on must use the same bytes in its own order.
std::vector<std::uint8_t> nextRandomBytes(std::size_t n) {
    randomByte(); // seeded before the copy, or the copy would seed itself at another moment
    std::vector<std::uint8_t> bytes(n);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        for (auto& b : bytes) b = randomByte();
        const bool written = write(pipeEnds[1], bytes.data(), n) == static_cast<ssize_t>(n);
        _exit(written ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::size_t got = 0;
    while (child > 0 && got < n) {
        const ssize_t k = read(pipeEnds[0], bytes.data() + got, n - got);
        if (k <= 0) break;
        got += static_cast<std::size_t>(k);
    }
    close(pipeEnds[0]);
    int status = 0;
    if (child > 0) waitpid(child, &status, 0);
    if (child <= 0 || got != n || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return bytes;
}

TEST(PowerTest, MapAfterPowerOn) {
    machinePowerOn();
    for (int page = 0; page < 256; ++page) {
        std::uint8_t expected = PAGE_EMPTY;
        if (page <= 0x03) expected = PAGE_RAM;
        if (page == 0x0E) expected = PAGE_RIO0;
        if (page == 0x0F) expected = PAGE_RIO1;
        if (page >= 0xFE) expected = PAGE_ROM;
        EXPECT_EQ(bus.pageFlags[page], expected) << std::hex << page;
    }
}

TEST(PowerTest, DrawsInOrderAndKeepsRomAndBit5) {
    bus.memory[0xFFFC] = 0x00;
    bus.memory[0xFFFD] = 0xFE;
    bus.memory[0x0400] = 0x77;
    bus.memory[0x0E80] = 0x66;
    cpu.bit5 = 0;
    cpu.breakpoint = 0x1234;
    cpu.pendingInterrupts = PEND_RESET | PEND_IRQ;
    cpu.cycles = 99999;
    keypad.keyColumn = 5;
    keypad.keyRows = 0xEF;
    const std::int32_t warnings = rio.rioWarningsLeft;

    // RAM 0x0000-0x03FF, pc high and low, a, x, y, sp, seven flags; then RIO 0's RAM and RIO 1's.
    const std::vector<std::uint8_t> drawn = nextRandomBytes(0x400 + 13 + 2 * 128 + 1);
    ASSERT_FALSE(drawn.empty());
    std::size_t next = 0;
    machinePowerOn();
    for (int address = 0; address < 0x400; ++address) {
        ASSERT_EQ(bus.memory[address], drawn[next++]) << std::hex << address;
    }
    const std::uint8_t pcHigh = drawn[next++];
    const std::uint8_t pcLow = drawn[next++];
    EXPECT_EQ(cpu.pc, (pcHigh << 8) | pcLow);
    EXPECT_EQ(cpu.a, drawn[next++]);
    EXPECT_EQ(cpu.x, drawn[next++]);
    EXPECT_EQ(cpu.y, drawn[next++]);
    EXPECT_EQ(cpu.sp, drawn[next++]);
    for (std::uint8_t flag : {cpu.n, cpu.v, cpu.b, cpu.d, cpu.i, cpu.z, cpu.c}) {
        EXPECT_EQ(flag, drawn[next++] & 1);
    }
    EXPECT_EQ(cpu.bit5, 0);
    EXPECT_EQ(cpu.breakpoint, 0x1234);
    EXPECT_EQ(cpu.pendingInterrupts, 0);
    EXPECT_EQ(cpu.cycles, 0);
    EXPECT_EQ(busRead(0xFFFC), 0x00);
    EXPECT_EQ(busRead(0xFFFD), 0xFE);
    EXPECT_EQ(busRead(0x0400), 0x04);
    EXPECT_EQ(bus.memory[0x0400], 0x77) << "only RAM pages are filled";
    EXPECT_EQ(bus.memory[0x0E80], 0x66) << "only RAM pages are filled";
    EXPECT_EQ(keypad.keyColumn, 5);
    EXPECT_EQ(keypad.keyRows, 0xEF);
    EXPECT_EQ(rio.rioWarningsLeft, warnings);

    rioReset();
    for (int i = 0; i < 128; ++i) ASSERT_EQ(rio[0].ram[i], drawn[next++]) << i;
    for (int i = 0; i < 128; ++i) ASSERT_EQ(rio[1].ram[i], drawn[next++]) << i;
    EXPECT_EQ(randomByte(), drawn[next++]);
    keyUp();
}

// What any generator fit for the job shows: every power-on gives other contents, bytes spread over
// their whole range, and flags that take both values.
TEST(PowerTest, PowerOnsGiveFreshWellSpreadValues) {
    constexpr int RUNS = 64;
    std::array<int, 8> bitsSet{};
    std::array<bool, 256> seen{};
    std::array<int, 7> flagsSet{};
    std::set<std::uint16_t> pcs;
    std::vector<std::uint8_t> previousRam;
    CpuState previousCpu{};
    for (int run = 0; run < RUNS; ++run) {
        machinePowerOn();
        rioReset();
        const std::vector<std::uint8_t> ram(bus.memory.begin(), bus.memory.begin() + 0x400);
        for (std::uint8_t b : ram) {
            seen[b] = true;
            for (int bit = 0; bit < 8; ++bit) bitsSet[bit] += (b >> bit) & 1;
        }
        const std::uint8_t flags[] = {cpu.n, cpu.v, cpu.b, cpu.d, cpu.i, cpu.z, cpu.c};
        for (int f = 0; f < 7; ++f) {
            ASSERT_LE(flags[f], 1) << "flag " << f;
            flagsSet[f] += flags[f];
        }
        pcs.insert(cpu.pc);
        EXPECT_NE(rio[0].ram, rio[1].ram);
        // No short cycle: no eight bytes in a row come back within the same power-on.
        std::set<std::uint64_t> eights;
        for (std::size_t i = 0; i + 8 <= ram.size(); ++i) {
            std::uint64_t eight = 0;
            for (std::size_t k = 0; k < 8; ++k) eight = eight << 8 | ram[i + k];
            eights.insert(eight);
        }
        EXPECT_EQ(eights.size(), ram.size() - 7) << "run " << run;
        if (run > 0) {
            int same = 0;
            for (std::size_t i = 0; i < ram.size(); ++i) same += ram[i] == previousRam[i];
            // Chance alone makes about four of 1024 bytes equal.
            EXPECT_LT(same, 64) << "run " << run;
            EXPECT_FALSE(cpu.pc == previousCpu.pc && cpu.a == previousCpu.a && cpu.x == previousCpu.x &&
                         cpu.y == previousCpu.y && cpu.sp == previousCpu.sp)
                << "run " << run;
        }
        previousRam = ram;
        previousCpu = cpu;
    }
    // 65,536 bytes: each bit is set in about half of them, and every value turns up.
    for (int bit = 0; bit < 8; ++bit) {
        EXPECT_GT(bitsSet[bit], RUNS * 0x400 * 45 / 100) << "bit " << bit;
        EXPECT_LT(bitsSet[bit], RUNS * 0x400 * 55 / 100) << "bit " << bit;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 256);
    for (int f = 0; f < 7; ++f) {
        EXPECT_GT(flagsSet[f], 0) << "flag " << f;
        EXPECT_LT(flagsSet[f], RUNS) << "flag " << f;
    }
    EXPECT_GT(pcs.size(), RUNS / 2u);
}

TEST(PowerTest, TracesPowerOnOnlyWithDiag) {
    const std::uint8_t saved = runInputs.diag;
    runInputs.diag = 0;
    testing::internal::CaptureStdout();
    machinePowerOn();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    machinePowerOn();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Power On\n");
    runInputs.diag = saved;
}

} // namespace
} // namespace orv
