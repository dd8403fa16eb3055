#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/host.h"
#include "machine/keys.h"
#include "machine/latch.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "settings/flags.h"
#include "support/board.h"
#include "support/host_stub.h"
#include "tape/tape.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

namespace orv {
namespace {

class RioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::boardClearDisplay();
        machinePowerOn();
        rioReset();
        keypad = KeypadRecord{};
        test::clearHostRecord();
        savedWarnings = rio.rioWarningsLeft;
        savedDiag = runInputs.diag;
    }
    void TearDown() override {
        rio.rioWarningsLeft = savedWarnings;
        runInputs.diag = savedDiag;
    }
    std::int32_t savedWarnings = 0;
    std::uint8_t savedDiag = 0;
};

TEST_F(RioTest, ResetSetsRegistersAndLatchesDigitSeven) {
    for (std::uint16_t base : {0x0E00, 0x0F00}) {
        for (std::uint16_t offset : {0x20, 0x21, 0x22, 0x23}) {
            EXPECT_EQ(busRead(static_cast<std::uint16_t>(base + offset)), 0xFF) << std::hex << base + offset;
        }
    }
    EXPECT_EQ(latch.digitSegments[7], 0xFF);
    EXPECT_EQ(latch.lastDigit, 7);
    for (int d = 0; d < 7; ++d) EXPECT_EQ(latch.digitSegments[d], 0) << d;
}

TEST_F(RioTest, RegistersOfBothChips) {
    const struct {
        std::uint16_t address;
        std::uint8_t ddrAddress;
        std::uint8_t ddr;
        std::uint8_t written;
        std::uint8_t expected;
    } portCases[] = {
        // Port B keeps its old bits where the direction is input.
        {0x0E21, 0x23, 0x0F, 0x00, 0xF0},
        {0x0F21, 0x23, 0xF0, 0x05, 0x0F},
        {0x0E21, 0x23, 0xFF, 0x3C, 0x3C},
        {0x0F21, 0x23, 0x00, 0x00, 0xFF},
    };
    for (const auto& c : portCases) {
        const std::uint16_t base = c.address & 0xFF00;
        busWrite(static_cast<std::uint16_t>(base | 0x23), 0xFF, 0);
        busWrite(static_cast<std::uint16_t>(base | 0x21), 0xFF, 0);
        busWrite(static_cast<std::uint16_t>(base | c.ddrAddress), c.ddr, 0);
        busWrite(c.address, c.written, 0);
        EXPECT_EQ(busRead(c.address), c.expected) << std::hex << c.address;
        EXPECT_EQ(busRead(static_cast<std::uint16_t>(base | c.ddrAddress)), c.ddr);
    }
    busWrite(0x0E22, 0x12, 0);
    busWrite(0x0F22, 0x34, 0);
    EXPECT_EQ(rio[0].ddrA, 0x12);
    EXPECT_EQ(rio[1].ddrA, 0x34);
    // Port A writes on RIO 1 keep input bits too; the read floats inputs high.
    busWrite(0x0F20, 0x00, 0);
    EXPECT_EQ(rio[1].outA, 0xCB);
    EXPECT_EQ(busRead(0x0F20), 0xCB);
}

TEST_F(RioTest, RamBytesAreSeparatePerChip) {
    busWrite(0x0E80, 0x11, 0);
    busWrite(0x0F80, 0x22, 0);
    busWrite(0x0EFF, 0x33, 0);
    busWrite(0x0FFF, 0x44, 0);
    EXPECT_EQ(busRead(0x0E80), 0x11);
    EXPECT_EQ(busRead(0x0F80), 0x22);
    EXPECT_EQ(busRead(0x0EFF), 0x33);
    EXPECT_EQ(busRead(0x0FFF), 0x44);
    EXPECT_EQ(rio[0].ram[0], 0x11);
    EXPECT_EQ(rio[1].ram[0], 0x22);
    EXPECT_EQ(rio[0].ram[127], 0x33);
    EXPECT_EQ(rio[1].ram[127], 0x44);
}

TEST_F(RioTest, UnassignedOffsetsReadThePageAndDropWrites) {
    rio.rioWarningsLeft = 0;
    const RioChip before0 = rio[0];
    const RioChip before1 = rio[1];
    for (std::uint16_t address : {0x0E00, 0x0E1F, 0x0E24, 0x0E7F, 0x0F00, 0x0F30, 0x0F7F}) {
        EXPECT_EQ(busRead(address), address >> 8) << std::hex << address;
        busWrite(address, 0x00, 0);
    }
    EXPECT_EQ(rio[0].ddrA, before0.ddrA);
    EXPECT_EQ(rio[0].outB, before0.outB);
    EXPECT_EQ(rio[0].ram, before0.ram);
    EXPECT_EQ(rio[1].outA, before1.outA);
    EXPECT_EQ(rio[1].ram, before1.ram);
}

TEST_F(RioTest, OnlyOneWarningIsEverPrinted) {
    // Used up silently while diag is off.
    rio.rioWarningsLeft = 1;
    runInputs.diag = 0;
    testing::internal::CaptureStdout();
    busRead(0x0E05);
    runInputs.diag = 1;
    busWrite(0x0E06, 0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(rio.rioWarningsLeft, 0);

    rio.rioWarningsLeft = 1;
    testing::internal::CaptureStdout();
    busWrite(0x0F30, 0, 0);
    busRead(0x0E00);
    busRead(0x0E7F);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Invalid RIO address: 0f30\n");
    EXPECT_EQ(rio.rioWarningsLeft, 0);
}

TEST_F(RioTest, PortAWriteLatchesTheSelectedDigit) {
    busWrite(0x0E22, 0x07, 0);
    busWrite(0x0E21, 0x5B, 0);
    EXPECT_EQ(latch.digitSegments[3], 0) << "a port B write alone shows nothing";
    busWrite(0x0E20, 0x03, 0);
    EXPECT_EQ(latch.digitSegments[3], 0x5B);
    EXPECT_EQ(latch.lastDigit, 3);
    busWrite(0x0E21, 0x06, 0);
    busWrite(0x0E20, 0x0B, 0); // only bits 0-2 select
    EXPECT_EQ(latch.digitSegments[3], 0x06);
    EXPECT_EQ(test::repaintCount[AREA_LED], 2);

    // The whole outB goes to the latch, whatever ddrB says.
    busWrite(0x0E21, 0x80, 0);
    busWrite(0x0E23, 0x00, 0);
    busWrite(0x0E20, 0x05, 0);
    EXPECT_EQ(latch.digitSegments[5], 0x80);

    // Every write latches, even of an unchanged pattern: the digit's age is refreshed.
    fadeDigits();
    fadeDigits();
    const int repaints = test::repaintCount[AREA_LED];
    busWrite(0x0E20, 0x05, 0);
    EXPECT_EQ(latch.digitTick[5], latch.displayTick);
    EXPECT_EQ(test::repaintCount[AREA_LED], repaints);

    // Input lines select as 1.
    busWrite(0x0E22, 0x00, 0);
    busWrite(0x0E20, 0x00, 0);
    EXPECT_EQ(latch.lastDigit, 7);
    EXPECT_EQ(latch.digitSegments[7], 0x80);

    // RIO 1's port A and RIO 0's RAM latch nothing.
    latch.lastDigit = -1;
    busWrite(0x0F20, 0x01, 0);
    busWrite(0x0EA0, 0x01, 0);
    EXPECT_EQ(latch.lastDigit, -1);
}

TEST_F(RioTest, KeypadExamples) {
    const struct {
        std::uint8_t ddrA, outA;
        int key; // -1: none held
        std::uint8_t read;
    } cases[] = {
        {0x07, 0x01, 9, 0xF1},
        {0x07, 0x02, 9, 0xFA},
        {0x07, 0x01, -1, 0xF9},
        // The column is what the lines show: a line set as input reads and selects as 1.
        {0x04, 0x00, 3, 0xDB},
        {0x00, 0x00, 15, 0xF7},
        {0x00, 0x00, 8, 0xFF},
        {0x03, 0x02, 22, 0xEE},
        {0x03, 0x02, 18, 0xFE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "ddrA " << int(c.ddrA) << " outA " << int(c.outA)
                                        << std::dec << " key " << c.key);
        busWrite(0x0E22, 0xFF, 0);
        busWrite(0x0E20, c.outA, 0);
        busWrite(0x0E22, c.ddrA, 0);
        if (c.key >= 0) keyDown(c.key);
        EXPECT_EQ(busRead(0x0E20), c.read);
        keyUp();
    }
}

TEST_F(RioTest, EveryKeyPullsItsRowInItsColumnOnly) {
    busWrite(0x0E22, 0x07, 0);
    // The reset key is in no row: it pulls nothing anywhere.
    for (int key = 0; key < KEY_COUNT; ++key) {
        const KeyInfo& k = keyTable[key];
        keyDown(key);
        for (int column = 0; column < 8; ++column) {
            busWrite(0x0E20, static_cast<std::uint8_t>(column), 0);
            const std::uint8_t value = busRead(0x0E20);
            EXPECT_EQ(value & 0x07, column);
            const std::uint8_t rows = value & 0x38;
            if (column == k.column) {
                EXPECT_EQ(rows, 0x38 & ~k.row) << "key " << key << " column " << column;
            } else {
                EXPECT_EQ(rows, 0x38) << "key " << key << " column " << column;
            }
        }
        keyUp();
        EXPECT_EQ(keypad.keyColumn, k.column);
        busWrite(0x0E20, k.column, 0);
        EXPECT_EQ(busRead(0x0E20) & 0x38, 0x38) << "released key " << key;
    }
}

TEST_F(RioTest, PortAReadStoresIntoOutputRegister) {
    busWrite(0x0E22, 0x3F, 0); // rows as outputs: the read pulls them into outA
    busWrite(0x0E20, 0x02, 0);
    EXPECT_EQ(rio[0].outA, 0xC2);
    keyDown(2); // sets bits 3-5 of outA
    EXPECT_EQ(rio[0].outA, 0xFA);
    EXPECT_EQ(busRead(0x0E20), 0xDA);
    EXPECT_EQ(rio[0].outA, 0xDA);
    keyUp();
    EXPECT_EQ(busRead(0x0E20), 0xDA) << "the pulled-down bit stays in the output register";
}

TEST_F(RioTest, TapeInputBitFollowsTheDirectionOfLineSeven) {
    // No tape: the input floats high while line 7 is an input.
    busWrite(0x0E22, 0x07, 0);
    EXPECT_EQ(busRead(0x0E20) & 0x80, 0x80);
    // As an output, bit 7 is the output register's bit.
    busWrite(0x0E22, 0x87, 0);
    busWrite(0x0E20, 0x00, 0);
    EXPECT_EQ(busRead(0x0E20) & 0x80, 0x00);
    busWrite(0x0E20, 0x80, 0);
    EXPECT_EQ(busRead(0x0E20) & 0x80, 0x80);
}

// Records a pulse through line 6 and plays it back into line 7.
TEST_F(RioTest, CassetteLinesReachTheTapeOnlyInTheirDirection) {
    const auto file =
        std::filesystem::temp_directory_path() / ("orv_rio_" + std::to_string(::getpid()) + ".mid");
    std::string message;
    tapeStop(message);
    ASSERT_TRUE(tapeStartRecording("Orvane bytes", file.string(), message)) << message;
    busWrite(0x0E22, 0x47, 0);
    cpu.cycles = 5000;
    busWrite(0x0E20, 0x00, 0);
    EXPECT_EQ(tape.tapeLevel, 0);
    busWrite(0x0E22, 0x07, 0); // line 6 as an input floats high, but drives nothing
    busWrite(0x0E20, 0x00, 0);
    EXPECT_EQ(tape.tapeLevel, 0);
    busWrite(0x0E22, 0x47, 0);
    cpu.cycles = 5400;
    busWrite(0x0E20, 0x40, 0);
    EXPECT_EQ(tape.tapeLevel, 1);
    tapeStop(message);
    ASSERT_EQ(message, "");

    ASSERT_TRUE(tapeStartPlaying(file.string(), message)) << message;
    busWrite(0x0E22, 0x07, 0);
    cpu.cycles = 1000;
    EXPECT_EQ(busRead(0x0E20) & 0x80, 0x80); // the first read starts the tape's time line
    cpu.cycles = 1000 + 2000000;
    busWrite(0x0E22, 0x87, 0);
    busWrite(0x0E20, 0x80, 0);
    EXPECT_EQ(busRead(0x0E20) & 0x80, 0x80) << "line 7 as an output does not sample the tape";
    busWrite(0x0E22, 0x07, 0);
    EXPECT_EQ(busRead(0x0E20) & 0x80, 0x00);
    cpu.cycles = 1000 + 2000400;
    EXPECT_EQ(busRead(0x0E20) & 0x80, 0x80);
    tapeStop(message);
    std::filesystem::remove(file);
}

TEST_F(RioTest, KeyDownSetsRowBitsOfOutA) {
    busWrite(0x0E22, 0xFF, 0);
    busWrite(0x0E20, 0x00, 0);
    keyDown(20);
    EXPECT_EQ(rio[0].outA, 0x38);
    EXPECT_EQ(keypad.keyRows, 0xEF);
    EXPECT_EQ(keypad.keyColumn, 4);
}

} // namespace
} // namespace orv
