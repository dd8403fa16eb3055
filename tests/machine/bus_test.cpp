#include "machine/bus.h"
#include "machine/power.h"
#include "machine/rio.h"

#include <gtest/gtest.h>

#include <array>

namespace orv {
namespace {

class BusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machinePowerOn();
        rioReset();
        savedWarnings = rio.rioWarningsLeft;
    }
    void TearDown() override { rio.rioWarningsLeft = savedWarnings; }
    std::int32_t savedWarnings = 0;
};

TEST_F(BusTest, ReadsFollowThePageKind) {
    bus.memory[0x03FF] = 0x5A;
    bus.memory[0x0000] = 0xA5;
    bus.memory[0xFE00] = 0x11;
    bus.memory[0xFFFF] = 0x22;
    bus.memory[0x0400] = 0x99; // behind an empty page: never seen
    bus.memory[0x1234] = 0x99;
    const struct {
        std::uint16_t address;
        std::uint8_t expected;
    } cases[] = {
        {0x0000, 0xA5}, {0x03FF, 0x5A}, {0x0400, 0x04}, {0x0DFF, 0x0D}, {0x1234, 0x12},
        {0x1000, 0x10}, {0xFDFF, 0xFD}, {0xFE00, 0x11}, {0xFFFF, 0x22}, {0x0E22, 0xFF},
    };
    for (const auto& c : cases) EXPECT_EQ(busRead(c.address), c.expected) << std::hex << c.address;
}

TEST_F(BusTest, WritesFollowThePageKindAndForce) {
    const struct {
        std::uint16_t address;
        std::uint8_t force;
        bool stored;
    } cases[] = {
        {0x0000, 0, true},
        {0x03FF, 0, true},
        {0x0200, 1, true},
        {0xFE10, 0, false},
        {0xFE10, 1, true},
        {0xFFFC, 1, true},
        {0x2000, 1, false},
        {0x0400, 0, false},
        {0xFDFF, 1, false},
        {0x1000, 0, false},
        // Offsets that would be RIO registers or RIO RAM in an I/O page.
        {0xFE80, 0, false},
        {0xFF22, 0, false},
        {0xFF20, 0, false},
        {0xFEA0, 1, true},
    };
    for (const auto& c : cases) {
        const std::array<RioChip, 2> chips = rio.chips;
        rio.rioWarningsLeft = 5;
        bus.memory[c.address] = 0x00;
        busWrite(c.address, 0x55, c.force);
        EXPECT_EQ(bus.memory[c.address], c.stored ? 0x55 : 0x00) << std::hex << c.address;
        // None of these pages reaches a RIO chip.
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(rio[k].ddrA, chips[k].ddrA) << std::hex << c.address;
            EXPECT_EQ(rio[k].outA, chips[k].outA) << std::hex << c.address;
            EXPECT_EQ(rio[k].ram, chips[k].ram) << std::hex << c.address;
        }
        EXPECT_EQ(rio.rioWarningsLeft, 5) << std::hex << c.address;
        if (bus.pageFlags[c.address >> 8] == PAGE_EMPTY) {
            EXPECT_EQ(busRead(c.address), c.address >> 8) << std::hex << c.address;
        } else {
            EXPECT_EQ(busRead(c.address), c.stored ? 0x55 : 0x00) << std::hex << c.address;
        }
    }
}

TEST_F(BusTest, RioPagesIgnoreForce) {
    for (std::uint8_t force : {0, 1}) {
        busWrite(0x0E23, 0x0F, force);
        busWrite(0x0E21, 0xAB, force);
        EXPECT_EQ(busRead(0x0E21), 0xFB) << int(force); // input bits of port B keep their 1s
        busWrite(0x0F90, static_cast<std::uint8_t>(0x40 + force), force);
        EXPECT_EQ(busRead(0x0F90), 0x40 + force);
        EXPECT_EQ(bus.memory[0x0F90], 0x00) << "RIO RAM is not backed by memory";
        busWrite(0x0E21, 0x00, force);
        busWrite(0x0E23, 0xFF, force);
    }
}

} // namespace
} // namespace orv
