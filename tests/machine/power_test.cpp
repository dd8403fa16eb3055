#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/latch.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "settings/flags.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv {
namespace {

// The generator's output (bits 11-18) depends only on the low 19 bits of its state, so a short run
// of outputs pins those bits down and lets the test predict every later byte.
class RandomPredictor {
  public:
    RandomPredictor() {
        std::vector<std::uint8_t> seen(16);
        for (auto& b : seen) b = randomByte();
        std::vector<std::uint32_t> matches;
        for (std::uint32_t low = 0; low < (1u << 19); ++low) {
            std::uint32_t s = low;
            bool ok = true;
            for (std::uint8_t b : seen) {
                s = (s * 1664525u + 1u) & 0x7FFFF;
                if (static_cast<std::uint8_t>(s >> 11) != b) {
                    ok = false;
                    break;
                }
            }
            if (ok) matches.push_back(s);
        }
        found = matches.size() == 1;
        if (found) state = matches[0];
    }
    std::uint8_t next() {
        state = (state * 1664525u + 1u) & 0x7FFFF;
        return static_cast<std::uint8_t>(state >> 11);
    }
    bool found = false;

  private:
    std::uint32_t state = 0;
};

TEST(PowerTest, MapAfterPowerOn) {
    machinePowerOn();
    for (int page = 0; page < 256; ++page) {
        std::uint8_t expected = PAGE_EMPTY;
        if (page <= 0x03) expected = PAGE_RAM;
        if (page == 0x0E) expected = PAGE_RIO0;
        if (page == 0x0F) expected = PAGE_RIO1;
        if (page >= 0xFE) expected = PAGE_ROM;
        EXPECT_EQ(pageFlags[page], expected) << std::hex << page;
    }
}

TEST(PowerTest, DrawsInOrderAndKeepsRomAndBit5) {
    memory[0xFFFC] = 0x00;
    memory[0xFFFD] = 0xFE;
    memory[0x0400] = 0x77;
    cpu.bit5 = 0;
    breakpoint = 0x1234;
    pendingInterrupts = PEND_RESET | PEND_IRQ;
    cycles = 99999;
    keyColumn = 5;
    keyRows = 0xEF;
    const std::int32_t warnings = rioWarningsLeft;

    RandomPredictor predict;
    ASSERT_TRUE(predict.found);
    machinePowerOn();
    for (int address = 0; address < 0x400; ++address) {
        ASSERT_EQ(memory[address], predict.next()) << std::hex << address;
    }
    const std::uint8_t pcHigh = predict.next();
    const std::uint8_t pcLow = predict.next();
    EXPECT_EQ(cpu.pc, (pcHigh << 8) | pcLow);
    EXPECT_EQ(cpu.a, predict.next());
    EXPECT_EQ(cpu.x, predict.next());
    EXPECT_EQ(cpu.y, predict.next());
    EXPECT_EQ(cpu.sp, predict.next());
    for (std::uint8_t flag : {cpu.n, cpu.v, cpu.b, cpu.d, cpu.i, cpu.z, cpu.c}) {
        EXPECT_EQ(flag, predict.next() & 1);
    }
    EXPECT_EQ(cpu.bit5, 0);
    EXPECT_EQ(breakpoint, 0x1234);
    EXPECT_EQ(pendingInterrupts, 0);
    EXPECT_EQ(cycles, 0);
    EXPECT_EQ(busRead(0xFFFC), 0x00);
    EXPECT_EQ(busRead(0xFFFD), 0xFE);
    EXPECT_EQ(busRead(0x0400), 0x04);
    EXPECT_EQ(keyColumn, 5);
    EXPECT_EQ(keyRows, 0xEF);
    EXPECT_EQ(rioWarningsLeft, warnings);

    // rioReset draws next: RIO 0's RAM, then RIO 1's.
    rioReset();
    for (int i = 0; i < 128; ++i) ASSERT_EQ(rio[0].ram[i], predict.next()) << i;
    for (int i = 0; i < 128; ++i) ASSERT_EQ(rio[1].ram[i], predict.next()) << i;
    EXPECT_EQ(randomByte(), predict.next());
    keyUp();
}

TEST(PowerTest, TwoPowerOnsDiffer) {
    machinePowerOn();
    const auto firstRam = memory;
    const CpuState firstCpu = cpu;
    machinePowerOn();
    EXPECT_NE(std::vector<std::uint8_t>(memory.begin(), memory.begin() + 0x400),
              std::vector<std::uint8_t>(firstRam.begin(), firstRam.begin() + 0x400));
    EXPECT_FALSE(cpu.pc == firstCpu.pc && cpu.a == firstCpu.a && cpu.x == firstCpu.x &&
                 cpu.sp == firstCpu.sp);
}

TEST(PowerTest, TracesPowerOnOnlyWithDiag) {
    const std::uint8_t saved = diag;
    diag = 0;
    testing::internal::CaptureStdout();
    machinePowerOn();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    diag = 1;
    testing::internal::CaptureStdout();
    machinePowerOn();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Power On\n");
    diag = saved;
}

} // namespace
} // namespace orv
