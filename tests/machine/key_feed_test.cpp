// The key feed typing long texts into the monitor on the headless board.

#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/key_feed.h"
#include "machine/keys.h"
#include "machine/rio.h"
#include "settings/flags.h"
#include "support/board.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orv {
namespace {

using test::BOARD_TICK;
using test::boardRun;

// The ids of a string of one-character legends.
std::vector<int> legends(std::string_view text) {
    std::vector<int> keys;
    for (std::size_t i = 0; i < text.size(); ++i) keys.push_back(keyWithLegend(text.substr(i, 1)));
    return keys;
}

// Bytes that look like a program: every value, runs of repeated digits and of repeated bytes.
std::vector<std::uint8_t> programBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t x = 12345;
    for (std::size_t i = 0; i < count; ++i) {
        x = x * 1103515245u + 12345u;
        bytes.push_back(i % 7 == 3 ? bytes.back() : static_cast<std::uint8_t>(x >> 16));
    }
    return bytes;
}

// The keys that enter `bytes` at `address` through the monitor's "m": address, a function key, then
// each byte's two digits and "^" to the next address. Spaces and line ends as a listing has them.
std::string memoryText(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "m";
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(address >> shift) & 0x0F];
    text += "\r\n";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
        text += i % 16 == 15 ? "\n" : " ^ ";
    }
    return text;
}

// The bytes in memory where `bytes` should have landed.
std::vector<std::uint8_t> landed(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
    return {bus.memory.begin() + address,
            bus.memory.begin() + address + static_cast<std::ptrdiff_t>(bytes.size())};
}

// Runs the board until the feed has let go of its last key and the program has seen it; false when
// `limit` cycles were not enough.
bool runUntilFed(std::int64_t limit) {
    for (std::int64_t ran = 0; keyFeed.phase != KeyFeedPhase::idle || !keyFeed.keys.empty();
         ran += BOARD_TICK) {
        if (ran >= limit) return false;
        boardRun(BOARD_TICK);
    }
    return true;
}

class KeyFeedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        runInputs.diag = 0;
        keyUp();
        keyFeed = KeyFeedRecord{};
        std::string message;
        ASSERT_TRUE(test::boardPowerOn(message)) << message;
        test::boardReset();
        boardRun(3 * BOARD_TICK);
    }
    void TearDown() override {
        keyFeed = KeyFeedRecord{};
        keyUp();
    }
};

TEST(KeysOfText, TypedAsTheKeyboardTypesThem) {
    const struct {
        std::string_view text;
        std::string_view keys;
    } cases[] = {
        {"m0200", "m0200"},
        {"ABCDEF abcdef", "abcdefabcdef"},
        {"MGPSLRV^", "mgpslrv^"},
        // Each line end is one Enter, the "^" key, whatever its convention.
        {"1\r\n2\n3\r4\n\n", "1^2^3^4^^"},
        // Esc (the reset key), space, tab, punctuation and letters that are no key press nothing.
        {"\x1b"
         "1 2\t3.+-xyz!",
         "123"},
        // Neither do the bytes of other characters in UTF-8.
        {"\xc3\xa9"
         "5\xe2\x86\x92"
         "6",
         "56"},
    };
    for (const auto& c : cases) EXPECT_EQ(keysOfText(c.text), legends(c.keys)) << c.text;
}

TEST_F(KeyFeedTest, AThousandKeysLandByteForByteAtTheDefaultPace) {
    const std::vector<std::uint8_t> bytes = programBytes(420);
    const std::string text = memoryText(0x0200, bytes);
    const std::size_t keys = keyFeedAddText(text);
    ASSERT_GE(keys, 1000u);
    const std::int32_t start = cpu.cycles;
    ASSERT_TRUE(runUntilFed(keys * 200000)) << keyFeedLeft() << " keys left";
    EXPECT_EQ(landed(0x0200, bytes), bytes);
    EXPECT_EQ(bus.memory[0x00] | bus.memory[0x01] << 8, 0x0200 + 420);
    // At most one pass of the display for the key down and up each, plus the wait for its column.
    const double perKey = static_cast<double>(static_cast<std::uint32_t>(cpu.cycles - start)) / keys;
    RecordProperty("cycles_per_key", std::to_string(perKey));
    EXPECT_LT(perKey, 5 * 23000);
}

TEST_F(KeyFeedTest, TheMonitorNeedsTwoReadsDownAndOneUp) {
    // Counts without the cycle floor: fewer than the monitor's debounce needs lose keys.
    const struct {
        std::int32_t hold, release;
        bool lands;
    } paces[] = {{1, 1, false}, {1, 3, false}, {2, 1, true}, {3, 2, true}};
    const std::vector<std::uint8_t> bytes = programBytes(120);
    for (const auto& pace : paces) {
        SCOPED_TRACE(std::to_string(pace.hold) + " down, " + std::to_string(pace.release) + " up");
        // A fresh board for each: lost keys may have sent the monitor anywhere.
        ASSERT_NO_FATAL_FAILURE(SetUp());
        for (std::size_t i = 0; i < bytes.size(); ++i) busWrite(static_cast<std::uint16_t>(0x0200 + i), 0, 0);
        keyFeed.pace = {pace.hold, pace.release, 0};
        const std::size_t keys = keyFeedAddText(memoryText(0x0200, bytes));
        ASSERT_TRUE(runUntilFed(keys * 200000));
        EXPECT_EQ(landed(0x0200, bytes) == bytes, pace.lands);
    }
}

TEST_F(KeyFeedTest, KeysWaitWhileTheProgramDoesNotScan) {
    // At 0300: a loop of about 330,000 cycles that reads no key, then the monitor's reset entry.
    const std::vector<std::uint8_t> busy = {0xA2, 0x00, 0xA0, 0x00, 0x88, 0xD0, 0xFD,
                                            0xCA, 0xD0, 0xFA, 0x4C, 0xF3, 0xFE};
    const std::vector<std::uint8_t> after = programBytes(24);
    // The keys after "g" go down while the loop runs; none may be lost.
    const std::size_t keys = keyFeedAddText(memoryText(0x0300, busy) + "g0300^" + memoryText(0x0200, after));
    ASSERT_TRUE(test::boardRunUntil([] { return cpu.pc == 0x0304; }, keys * 200000));
    const std::size_t left = keyFeedLeft();
    boardRun(300000);
    EXPECT_EQ(keyFeedLeft(), left) << "keys went down while nothing read the keypad";
    ASSERT_TRUE(runUntilFed(keys * 200000));
    EXPECT_EQ(landed(0x0300, busy), busy);
    EXPECT_EQ(landed(0x0200, after), after);
}

} // namespace
} // namespace orv
