#include "debugger/devices.h"
#include "machine/bus.h"
#include "machine/latch.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "tape/tape_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv {
namespace {

// Everything a read of a RIO page may change: the chips, the keypad, the warning, the tape and the
// display.
std::vector<int> deviceState() {
    std::vector<int> state{keypad.keyColumn, keypad.keyRows,        rio.rioWarningsLeft,
                           tape.tapeState,   tape.tapeClockStarted, tape.tapeCursor};
    for (const RioChip& chip : rio.chips) {
        state.insert(state.end(), {chip.ddrA, chip.ddrB, chip.outA, chip.outB});
        state.insert(state.end(), chip.ram.begin(), chip.ram.end());
    }
    state.insert(state.end(), latch.digitSegments.begin(), latch.digitSegments.end());
    return state;
}

class PeekTest : public test::TapeTest {};

TEST_F(PeekTest, ShowsMemoryWithoutTouchingAnyDevice) {
    machinePowerOn();
    rioReset();
    const std::int32_t savedWarnings = rio.rioWarningsLeft;
    rio.rioWarningsLeft = 1;
    // Column 1 selected and key 9 held: a real read of port A would drive its row bit low into outA.
    busWrite(0x0E22, 0x07, 0);
    busWrite(0x0E20, 0x01, 0);
    keyDown(9);
    test::writeBytes(path("t.mid"), test::recordedFile({}, TAPE_NOTE_HIGH));
    std::string message;
    ASSERT_TRUE(tapeStartPlaying(path("t.mid"), message)) << message;

    const std::vector<int> before = deviceState();
    for (int address = 0; address < 0x10000; ++address) {
        const auto a = static_cast<std::uint16_t>(address);
        const std::uint8_t page = static_cast<std::uint8_t>(a >> 8);
        const std::uint8_t offset = static_cast<std::uint8_t>(a);
        if (page != 0x0E && page != 0x0F) {
            EXPECT_EQ(peekByte(a), busRead(a)) << std::hex << a;
            continue;
        }
        const RioChip& chip = rio[page - 0x0E];
        const std::uint8_t expected = offset >= 0x80   ? chip.ram[offset - 0x80]
                                      : offset == 0x20 ? chip.outA
                                      : offset == 0x21 ? chip.outB
                                      : offset == 0x22 ? chip.ddrA
                                      : offset == 0x23 ? chip.ddrB
                                                       : page;
        EXPECT_EQ(peekByte(a), expected) << std::hex << a;
    }
    EXPECT_EQ(deviceState(), before);
    // The devices view too: it shows what the read below will find on port A's lines.
    const std::string devices = devicesText();
    EXPECT_EQ(deviceState(), before);
    for (const char* shown :
         {"lines 11110001", "PA0-PA2 out  digit and keypad column: 1", "keypad row 8 9 a b c d e f: low",
          "keypad row 0 1 2 3 4 5 6 7: high", "\"9\" down (column 1)", "Tape: playing"})
        EXPECT_NE(devices.find(shown), std::string::npos) << shown << "\n" << devices;

    // The same reads through the bus do have their effects.
    busRead(0x0E00);
    EXPECT_EQ(rio.rioWarningsLeft, 0);
    busRead(0x0E20);
    EXPECT_EQ(rio[0].outA, 0xF1);
    EXPECT_EQ(tape.tapeClockStarted, 1);
    rio.rioWarningsLeft = savedWarnings;
    keyUp();
}

} // namespace
} // namespace orv
