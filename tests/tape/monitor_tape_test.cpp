// A block stored by the monitor's "s" command onto a tape file, read back by "l" after the board has
// been switched off and on: the cycle counter starts again from 0 and RAM holds new random bytes.
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/rio.h"
#include "settings/flags.h"
#include "support/board.h"
#include "tape/tape.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace orv {
namespace {

using test::BOARD_TICK;

class MonitorTapeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        diag = 0;
        mute = 1;
        std::string message;
        tapeStop(message);
        // A key an earlier test left down would hold up the monitor's keypad scan.
        keyUp();
        file = (std::filesystem::temp_directory_path() /
                ("orv_monitor_tape_" + std::to_string(getpid()) + ".mid"))
                   .string();
    }
    void TearDown() override {
        std::string message;
        tapeStop(message);
        keyUp();
        std::filesystem::remove(file);
    }
    static void powerOnAndReset() {
        std::string message;
        ASSERT_TRUE(test::boardPowerOn(message)) << message;
        test::boardReset();
        test::boardRun(3 * BOARD_TICK);
    }
    std::string file;
};

TEST_F(MonitorTapeTest, StoredBytesComeBackAfterPowerOffAndOn) {
    ASSERT_NO_FATAL_FAILURE(powerOnAndReset());
    const std::uint8_t stored[] = {0x3C, 0xA5, 0x0F};
    for (std::uint16_t i = 0; i < 3; ++i) busWrite(0x0200 + i, stored[i], 1);

    std::string message;
    ASSERT_TRUE(test::boardType("s0200m0203"));
    ASSERT_TRUE(tapeStartRecording("Orvane bytes", file, message)) << message;
    test::boardPress(test::boardKeyId('m'));
    // Seven bytes of about 33,200 cycles each.
    test::boardRun(300000);
    ASSERT_EQ(rio[0].ddrA, 0x07) << "the store has not returned to the command loop";
    tapeStop(message);
    ASSERT_TRUE(message.empty()) << message;
    const auto size = std::filesystem::file_size(file);

    ASSERT_NO_FATAL_FAILURE(powerOnAndReset());
    ASSERT_LT(cycles, 2 * 3 * BOARD_TICK) << "the counter did not start again";
    for (std::uint16_t i = 0; i < 3; ++i) busWrite(0x0200 + i, static_cast<std::uint8_t>(~stored[i]), 1);
    ASSERT_TRUE(tapeStartPlaying(file, message)) << message;
    ASSERT_TRUE(test::boardType("l"));
    // The two-second leader, then the seven bytes.
    test::boardRun(2400000);

    EXPECT_EQ(rio[0].ddrA, 0x07) << "the load has not returned to the command loop";
    for (std::uint16_t i = 0; i < 3; ++i) EXPECT_EQ(memory[0x0200 + i], stored[i]) << "byte " << i;
    EXPECT_EQ(trackEnded, 0) << "the trailer still sounds";
    test::boardRun(2000000);
    EXPECT_EQ(trackEnded, 1);
    EXPECT_FALSE(tapeActive(cycles));
    EXPECT_EQ(std::filesystem::file_size(file), size) << "playing changed the file";
}

} // namespace
} // namespace orv
