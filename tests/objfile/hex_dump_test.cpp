#include "machine/bus.h"
#include "machine/power.h"
#include "objfile/hex_dump.h"
#include "support/poke.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace orv {
namespace {

using test::poke;

class PasteIntoMemoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machinePowerOn();
        for (std::uint16_t address : {0x0200, 0x0300, 0x0E80, 0xFE00, 0xFFF0})
            poke(address, std::vector<std::uint8_t>(16, 0));
    }
};

TEST_F(PasteIntoMemoryTest, EachFormatStoresItsBytes) {
    struct Case {
        const char* text;
        std::optional<std::uint16_t> start;
        const char* summary;
        std::uint16_t at;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"0200: A9 00 60", {}, "3 bytes at 0200-0202", 0x0200, {0xA9, 0x00, 0x60}},
        {"0200 a9 00 60\n0203 EA\n", {}, "4 bytes at 0200-0203", 0x0200, {0xA9, 0x00, 0x60, 0xEA}},
        // Bare bytes go on from the line before; every line end counts.
        {"0200: A9 00\r\n60\rEA\n\n", {}, "4 bytes at 0200-0203", 0x0200, {0xA9, 0x00, 0x60, 0xEA}},
        {"$0200:a9,00 ; load\n0202:60", {}, "3 bytes at 0200-0202", 0x0200, {0xA9, 0x00, 0x60}},
        // A dump's offset column and character column.
        {"00000200  a9 00 60  |..`|\n", {}, "3 bytes at 0200-0202", 0x0200, {0xA9, 0x00, 0x60}},
        {"A9 00 60", 0x0300, "3 bytes at 0300-0302", 0x0300, {0xA9, 0x00, 0x60}},
        {"A9 00\n0302: 60", 0x0300, "3 bytes at 0300-0302", 0x0300, {0xA9, 0x00, 0x60}},
        {"0200: 01\n0204: 02", {}, "2 bytes in 0200-0204", 0x0200, {0x01, 0, 0, 0, 0x02}},
        {"0300: 7F", {}, "1 byte at 0300", 0x0300, {0x7F}},
        {":03020000A90060F2\n:00000001FF\n", {}, "3 bytes at 0200-0202", 0x0200, {0xA9, 0x00, 0x60}},
        // ROM takes them, as from an object file, and so does a RIO's RAM.
        {"FE00: 11 22", {}, "2 bytes at FE00-FE01", 0xFE00, {0x11, 0x22}},
        {"0E80: 5A", {}, "1 byte at 0E80", 0x0E80, {0x5A}},
        // An address stored again counts once, in either format.
        {"0200: 01 02\n0200: 01 02\n0200: 01 02", {}, "2 bytes at 0200-0201", 0x0200, {0x01, 0x02}},
        {"0200: 01 02\n0201: 03\n0204: 04", {}, "3 bytes in 0200-0204", 0x0200, {0x01, 0x03, 0, 0, 0x04}},
        {":020200000102F9\n:020200000102F9\n:00000001FF\n", {}, "2 bytes at 0200-0201", 0x0200, {0x01, 0x02}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SetUp();
        // Bare bytes first: nothing is stored until the address is known.
        if (c.start) {
            EXPECT_TRUE(pasteIntoMemory(c.text, std::nullopt).needsAddress);
            EXPECT_EQ(peekByte(c.at), 0);
        }
        const PasteResult result = pasteIntoMemory(c.text, c.start);
        ASSERT_EQ(result.message, "");
        EXPECT_FALSE(result.needsAddress);
        EXPECT_EQ(pasteSummary(result), c.summary);
        for (std::size_t i = 0; i < c.bytes.size(); ++i) EXPECT_EQ(peekByte(c.at + i), c.bytes[i]) << i;
    }
}

TEST_F(PasteIntoMemoryTest, AFaultyLineIsNamedAndNothingIsStored) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"0200: A9 00\n0202: 6\n", "Error in 'clipboard' line 2: '6' is not a byte (two hex digits)"},
        {"0200: A9\n\nzz: 00", "Error in 'clipboard' line 3: bad address 'zz:'"},
        {"0200: A9 0x60", "Error in 'clipboard' line 1: '0x60' is not a byte (two hex digits)"},
        {"10000: 00", "Error in 'clipboard' line 1: address '10000' is beyond FFFF"},
        {"0200: 01\nFFFF: 01 02", "Error in 'clipboard' line 2: the bytes run on past FFFF"},
        {"A9 GG", "Error in 'clipboard' line 1: 'GG' is not a byte (two hex digits)"},
        {" \n; nothing\n", "Error: 'clipboard' holds no bytes"},
        {":03020000A90060F2\n:0102030001F0\n:00000001FF",
         "Error in 'clipboard' line 2: bad checksum, got 'f7'"},
        {":03020000A90060F2\n", "Error: file 'clipboard' did not end in EOF record"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SetUp();
        const PasteResult result = pasteIntoMemory(c.text, 0x0300);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(bus.memory[0x0200], 0);
        EXPECT_EQ(bus.memory[0x0300], 0);
    }
}

// orv-run's --show memory: what it writes reads back as the same bytes, to the top of memory.
TEST_F(PasteIntoMemoryTest, AWrittenDumpReadsBackAsTheBytes) {
    std::vector<std::uint8_t> pattern(40);
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(0xA0 + i);
    poke(0x02F0, pattern);
    poke(0xFFF0, std::vector<std::uint8_t>(pattern.begin(), pattern.begin() + 16));
    const struct {
        std::uint16_t first, last;
        const char* text; // the whole text, where it is short
        std::size_t lines;
    } cases[] = {
        {0x0300, 0x0300, "0300: B0\n", 1},
        {0x02F8, 0x0309, "02F8: A8 A9 AA AB AC AD AE AF B0 B1 B2 B3 B4 B5 B6 B7\n0308: B8 B9\n", 2},
        {0x02F0, 0x0317, nullptr, 3},
        {0xFFF8, 0xFFFF, "FFF8: A8 A9 AA AB AC AD AE AF\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const std::string text = writeHexDump(c.first, c.last);
        if (c.text) {
            EXPECT_EQ(text, c.text);
        }
        EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), c.lines);
        const HexDump dump = readHexDump(text, std::nullopt);
        EXPECT_EQ(dump.message, "");
        std::vector<std::uint8_t> read, there;
        for (const BytesAt& run : dump.runs) read.insert(read.end(), run.bytes.begin(), run.bytes.end());
        for (unsigned at = c.first; at <= c.last; ++at)
            there.push_back(peekByte(static_cast<std::uint16_t>(at)));
        ASSERT_FALSE(dump.runs.empty());
        EXPECT_EQ(dump.runs.front().address, c.first);
        EXPECT_EQ(read, there);
    }
}

} // namespace
} // namespace orv
