// The monitor image on the emulated board, driven through its keypad like the program drives it.

#include "base/run_inputs.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/keys.h"
#include "machine/latch.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "objfile/hex.h"
#include "settings/flags.h"
#include "support/board.h"
#include "support/poke.h"
#include "tape/tape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace orv {
namespace {

using test::BOARD_TICK;
using test::boardPress;
using test::boardRun;
using test::boardType;
using test::poke;

// The monitor's segment patterns of the hex digits, as its image holds them.
std::array<std::uint8_t, 16> hexPattern{};
constexpr std::uint16_t REGS = 0xFFB3;
// Nominal tape bit time in cycles.
constexpr double BIT_TIME = 3320.0;

// The digits a word shows in digits `first` to `first + 3`, high digit first.
void expectWord(int first, std::uint16_t value) {
    for (int i = 0; i < 4; ++i) {
        const int nibble = (value >> (12 - 4 * i)) & 0x0F;
        EXPECT_EQ(latch.digitSegments[first + i], hexPattern[nibble]) << "digit " << first + i;
    }
}

void expectByte(int first, std::uint8_t value) {
    EXPECT_EQ(latch.digitSegments[first], hexPattern[value >> 4]) << "digit " << first;
    EXPECT_EQ(latch.digitSegments[first + 1], hexPattern[value & 0x0F]) << "digit " << first + 1;
}

class MonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        runInputs.diag = 0;
        runInputs.mute = 1;
        std::string message;
        tapeStop(message);
        test::boardClearDisplay();
        keyUp();
        ASSERT_NO_FATAL_FAILURE(powerOnAndReset());
        ASSERT_TRUE(test::monitorDigitPatterns(hexPattern, message)) << message;
    }
    void TearDown() override {
        std::string message;
        tapeStop(message);
        keyUp();
        for (const auto& file : files) std::filesystem::remove(file);
    }

    static void powerOnAndReset() {
        std::string message;
        ASSERT_TRUE(test::boardPowerOn(message)) << message;
        test::boardReset();
        boardRun(3 * BOARD_TICK);
    }

    // The monitor's "s" onto a tape recorded in file: `command` types "s", the start, "m" and the end, a
    // second "m" starts the store, which has `count` cycles to get back to the command loop.
    static void storeOnTape(const char* command, const std::string& file, std::int64_t count) {
        std::string message;
        ASSERT_TRUE(boardType(command));
        ASSERT_TRUE(tapeStartRecording("Orvane bytes", file, message)) << message;
        boardPress(keyWithLegend("m"));
        boardRun(count);
        ASSERT_EQ(rio[0].ddrA, 0x07) << "the store has not returned to the command loop";
        tapeStop(message);
        ASSERT_TRUE(message.empty()) << message;
    }

    // The monitor's "l" with file playing.
    static void loadFromTape(const std::string& file) {
        std::string message;
        ASSERT_TRUE(tapeStartPlaying(file, message)) << message;
        ASSERT_TRUE(boardType("l"));
    }

    // A tape file name unique to this process.
    std::string tapeFile(const char* name) {
        files.push_back(std::filesystem::temp_directory_path() /
                        ("orv_monitor_" + std::to_string(getpid()) + "_" + name + ".mid"));
        return files.back().string();
    }

    std::vector<std::filesystem::path> files;
};

TEST_F(MonitorTest, AfterResetEveryDigitShowsOnlyItsPoint) {
    for (int d = 0; d < 8; ++d) EXPECT_EQ(latch.digitSegments[d], 0x80) << "digit " << d;
    EXPECT_EQ(cpu.sp & 0xF0, 0xF0);
    EXPECT_EQ(rio[0].ddrB, 0xFF);
    EXPECT_EQ(bus.memory[0x0E], 0xFF);
    EXPECT_EQ(bus.memory[0x0F], 0x80);
}

TEST_F(MonitorTest, MemoryCommandShowsAndChangesBytes) {
    poke(0x0200, {0x5A, 0xC3});
    poke(0x0000, {0x34, 0x12});
    ASSERT_TRUE(boardType("m"));
    EXPECT_EQ(latch.digitSegments[0], 0xF7);
    expectWord(1, 0x1234);
    // Each digit shifts into the address from the right.
    ASSERT_TRUE(boardType("02"));
    expectWord(1, 0x3402);
    EXPECT_EQ(latch.digitSegments[6], 0);
    EXPECT_EQ(latch.digitSegments[7], 0);
    ASSERT_TRUE(boardType("00"));
    expectWord(1, 0x0200);
    EXPECT_EQ(bus.memory[0x00] | bus.memory[0x01] << 8, 0x0200);

    // Whichever function key ends the address, it only enters data mode.
    ASSERT_TRUE(boardType("v"));
    expectWord(1, 0x0200);
    expectByte(6, 0x5A);
    ASSERT_TRUE(boardType("3"));
    EXPECT_EQ(bus.memory[0x0200], 0xA3);
    expectByte(6, 0xA3);
    ASSERT_TRUE(boardType("c"));
    EXPECT_EQ(bus.memory[0x0200], 0x3C);

    ASSERT_TRUE(boardType("^"));
    expectWord(1, 0x0201);
    expectByte(6, 0xC3);
    // "m" again starts a new address.
    ASSERT_TRUE(boardType("m3"));
    expectWord(1, 0x2013);
}

TEST_F(MonitorTest, UpAndDownCarryAcrossTheLowByte) {
    const struct {
        std::uint16_t start;
        char key;
        std::uint16_t expected;
    } cases[] = {{0x00FF, '^', 0x0100}, {0xFFFF, '^', 0x0000}, {0x0100, 'v', 0x00FF}, {0x0000, 'v', 0xFFFF}};
    for (const auto& c : cases) {
        poke(0x0000, {static_cast<std::uint8_t>(c.start), static_cast<std::uint8_t>(c.start >> 8)});
        ASSERT_TRUE(boardType(std::string(1, c.key)));
        EXPECT_EQ(bus.memory[0] | bus.memory[1] << 8, c.expected) << std::hex << c.start << ' ' << c.key;
        expectWord(1, c.expected);
        expectByte(6, busRead(c.expected));
    }
}

TEST_F(MonitorTest, KeyHeldLongerIsStillReportedOnce) {
    poke(0x0200, {0x00});
    ASSERT_TRUE(boardType("m0200g"));
    for (int ticks : {1, 2, 5}) {
        poke(0x0200, {0x00});
        boardPress(keyWithLegend("7"), ticks);
        EXPECT_EQ(bus.memory[0x0200], 0x07) << ticks << " ticks";
    }
    // The first pass that sees a key notes its column and goes to state $40; the next one, a pass
    // (about 22,850 cycles) later, reports it.
    keyDown(keyWithLegend("b"));
    ASSERT_TRUE(test::boardRunUntil([] { return bus.memory[0x0F] == 0x40; }, 25000));
    EXPECT_EQ(bus.memory[0x19], 3);
    const auto seen = static_cast<std::uint32_t>(cpu.cycles);
    ASSERT_TRUE(test::boardRunUntil([] { return bus.memory[0x0200] != 0x07; }, 25000));
    EXPECT_NEAR(static_cast<std::uint32_t>(cpu.cycles) - seen, 22850, 300);
    EXPECT_EQ(bus.memory[0x0200], 0x7B);
    EXPECT_EQ(bus.memory[0x0D], 0x0B);
    keyUp();
    boardRun(BOARD_TICK);
    EXPECT_EQ(bus.memory[0x0F], 0x80);

    // Keys in quick succession, each held one tick, all count.
    poke(0x0200, {0x00});
    ASSERT_TRUE(boardType("9a"));
    EXPECT_EQ(bus.memory[0x0200], 0x9A);
}

TEST_F(MonitorTest, TheScanReadsEveryKeyAsItsIdAndTheResetKeyNotAtAll) {
    // LDA #mode; STA $0E; JSR SCAN; STA $0290; JMP $030A: scan mode $FF waits for a key, 0 makes one pass.
    poke(0x0300, {0xA9, 0xFF, 0x85, 0x0E, 0x20, 0x0C, 0xFE, 0x8D, 0x90, 0x02, 0x4C, 0x0A, 0x03});
    for (int id = 0; id < KEY_COUNT; ++id) {
        SCOPED_TRACE(keyTable[id].legend);
        const bool inMatrix = keyTable[id].row != 0;
        poke(0x0301, {static_cast<std::uint8_t>(inMatrix ? 0xFF : 0x00)});
        poke(0x000F, {0x80});
        poke(0x0290, {0xEE});
        cpu.pc = 0x0300;
        keyDown(id);
        ASSERT_TRUE(test::boardRunTo(0x030A, 100000));
        keyUp();
        if (inMatrix) {
            EXPECT_EQ(int{bus.memory[0x0290]}, id);
        } else {
            EXPECT_EQ(bus.memory[0x0F], 0x80) << "a key was seen";
        }
    }
}

TEST_F(MonitorTest, BreakpointShowsRegistersAndResumes) {
    // LDX #$11; LDY #$22; LDA #$33; INC $0280; JMP $0306
    poke(0x0300, {0xA2, 0x11, 0xA0, 0x22, 0xA9, 0x33, 0xEE, 0x80, 0x02, 0x4C, 0x06, 0x03});
    poke(0x0280, {0x00});
    poke(0x001B, {0x02, 0x00, 0x00, static_cast<std::uint8_t>(REGS), static_cast<std::uint8_t>(REGS >> 8)});

    ASSERT_TRUE(boardType("p0306l"));
    EXPECT_EQ(bus.memory[0x0306], 0x00);
    EXPECT_EQ(bus.memory[0x18], 0xEE);
    EXPECT_EQ(latch.digitSegments[0], 0xF3);
    expectByte(6, 0x00);

    ASSERT_TRUE(boardType("g0300"));
    EXPECT_EQ(latch.digitSegments[0], 0xF5);
    expectWord(1, 0x0300);
    ASSERT_TRUE(boardType("m"));
    // The program ran up to the BRK: A, X, Y and the pushed status (break bit set).
    EXPECT_EQ(bus.memory[0x0280], 0x00);
    expectByte(0, 0x33);
    expectByte(2, 0x11);
    expectByte(4, 0x22);
    expectByte(6, bus.memory[0x0D]);
    EXPECT_TRUE(bus.memory[0x0D] & 0x10);
    EXPECT_EQ(bus.memory[0x0A], 0x33);
    EXPECT_EQ(bus.memory[0x0B], 0x11);
    EXPECT_EQ(bus.memory[0x0C], 0x22);

    // Any key: the address, stepped back to the BRK, and the stack pointer below the pushed bytes.
    ASSERT_TRUE(boardType("0"));
    expectWord(0, 0x0306);
    expectWord(4, 0x01FC);
    EXPECT_EQ(bus.memory[0x01FE], 0x06);
    EXPECT_EQ(bus.memory[0x01FF], 0x03);

    // A second "p" puts the byte back; "r" resumes with the registers from $0A-$0C.
    ASSERT_TRUE(boardType("p^"));
    EXPECT_EQ(bus.memory[0x0306], 0xEE);
    expectWord(1, 0x0306);
    expectByte(6, 0xEE);
    poke(0x000B, {0x44});
    ASSERT_TRUE(boardType("r"));
    EXPECT_NE(bus.memory[0x0280], 0x00);
    EXPECT_EQ(cpu.a, 0x33);
    EXPECT_EQ(cpu.x, 0x44);
    EXPECT_EQ(cpu.y, 0x22);
    EXPECT_EQ(cpu.sp, 0xFF);
    EXPECT_EQ(cpu.i, 0);
}

struct TapeByte {
    std::uint8_t value;
    std::size_t firstEdge;
};

// Decodes the bytes of a tape signal, sampling each bit in its middle, and checks that every level
// change falls on a bit boundary, the bits lasting BIT_TIME within 2%.
std::vector<TapeByte> decodeTape(const std::vector<test::TapeEdge>& edges) {
    std::vector<TapeByte> bytes;
    auto levelAt = [&](double t) {
        int level = 1;
        for (const auto& edge : edges) {
            if (edge.cycle > t) break;
            level = edge.level;
        }
        return level;
    };
    std::size_t i = 0;
    while (i < edges.size()) {
        EXPECT_EQ(edges[i].level, 0) << "byte " << bytes.size() << " does not start with a falling edge";
        const std::size_t first = i;
        const double start = edges[i].cycle;
        std::uint8_t value = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (levelAt(start + (1.5 + bit) * BIT_TIME)) value |= static_cast<std::uint8_t>(1 << bit);
        EXPECT_EQ(levelAt(start + 9.5 * BIT_TIME), 1) << "stop bit of byte " << bytes.size();
        for (++i; i < edges.size() && edges[i].cycle < start + 9.5 * BIT_TIME; ++i) {
            const double bits = (edges[i].cycle - start) / BIT_TIME;
            const double whole = std::max(1.0, std::round(bits));
            EXPECT_NEAR(bits / whole, 1.0, 0.02) << "edge " << i << " of byte " << bytes.size();
        }
        bytes.push_back({value, first});
    }
    return bytes;
}

std::vector<std::uint8_t> values(const std::vector<TapeByte>& bytes) {
    std::vector<std::uint8_t> out;
    for (const auto& b : bytes) out.push_back(b.value);
    return out;
}

// Types "s", the start, a function key, the end, and watches the last function key's tape block.
std::vector<test::TapeEdge> storeBlock(const char* start, const char* end) {
    EXPECT_TRUE(boardType(std::string("s") + start + "m"));
    EXPECT_EQ(latch.digitSegments[0], 0x08);
    EXPECT_TRUE(boardType(end));
    keyDown(keyWithLegend("m"));
    auto edges = test::boardRunWatchingTape(BOARD_TICK);
    keyUp();
    for (const auto& edge : test::boardRunWatchingTape(400000)) edges.push_back(edge);
    return edges;
}

TEST_F(MonitorTest, StoreWritesHeaderAndBytesWithTheirBitTiming) {
    poke(0x0200, {0x55, 0x00, 0xFF, 0x99});
    const auto edges = storeBlock("0200", "0203");
    const auto bytes = decodeTape(edges);
    EXPECT_EQ(values(bytes), (std::vector<std::uint8_t>{0x02, 0x03, 0x02, 0x00, 0x55, 0x00, 0xFF}));
    EXPECT_EQ(rio[0].ddrA, 0x07) << "back in the command loop's scan";
    EXPECT_EQ(latch.digitSegments[0], 0x08) << "the display is not cleared";
    expectWord(1, 0x0203);

    // 0x55: ten level changes one bit apart, from the start bit's fall to the stop bit's rise.
    ASSERT_EQ(bytes.size(), 7u);
    const std::size_t first = bytes[4].firstEdge;
    ASSERT_EQ(bytes[5].firstEdge, first + 10);
    for (std::size_t k = 0; k < 10; ++k) {
        EXPECT_EQ(edges[first + k].level, k % 2 == 0 ? 0 : 1) << k;
        if (k > 0) {
            EXPECT_NEAR(edges[first + k].cycle - edges[first + k - 1].cycle, BIT_TIME, 0.02 * BIT_TIME) << k;
        }
    }
    // The stop bit lasts a bit time at least before the next start bit.
    EXPECT_GT(edges[first + 10].cycle - edges[first + 9].cycle, 0.98 * BIT_TIME);
}

TEST_F(MonitorTest, StoreWithStartEqualToEndWritesTheHeaderAlone) {
    EXPECT_EQ(values(decodeTape(storeBlock("0240", "0240"))),
              (std::vector<std::uint8_t>{0x02, 0x40, 0x02, 0x40}));
}

TEST_F(MonitorTest, LoadReadsARecordedBlockBackWhereItCameFrom) {
    poke(0x0200, {0x55, 0x00, 0xFF, 0x81, 0x7E});
    const std::string file = tapeFile("block");
    // Nine bytes of about 33,200 cycles each.
    ASSERT_NO_FATAL_FAILURE(storeOnTape("s0200m0205", file, 400000));

    poke(0x0200, {0x00, 0x00, 0x00, 0x00, 0x00});
    poke(0x0006, {0x00, 0x03, 0x10, 0x03});
    ASSERT_NO_FATAL_FAILURE(loadFromTape(file));
    // The tape's two-second leader, then the nine bytes. Port B, looked at every slice, shows each data
    // byte as it arrives; the last one only until the command loop's scan takes over, a few cycles later.
    std::vector<std::uint8_t> portB;
    for (int slice = 0; slice < 2400; ++slice) {
        boardRun(1000);
        if (portB.empty() || portB.back() != rio[0].outB) portB.push_back(rio[0].outB);
    }
    ASSERT_EQ(rio[0].ddrA, 0x07) << "not back in the command loop";
    const std::vector<std::uint8_t> arrived = {0x00, 0x55, 0x00, 0xFF, 0x81};
    EXPECT_NE(std::search(portB.begin(), portB.end(), arrived.begin(), arrived.end()), portB.end());
    const std::uint8_t stored[] = {0x55, 0x00, 0xFF, 0x81, 0x7E};
    for (std::uint16_t a = 0; a < 5; ++a) EXPECT_EQ(bus.memory[0x0200 + a], stored[a]) << a;
    EXPECT_EQ(bus.memory[0x06] | bus.memory[0x07] << 8, 0x0205);
    EXPECT_EQ(bus.memory[0x08] | bus.memory[0x09] << 8, 0x0205);
    for (int d = 0; d < 8; ++d) EXPECT_EQ(latch.digitSegments[d], 0x80) << "digit " << d;
}

// Between store and load the board is switched off and on: the cycle counter starts again from 0 and
// RAM holds new random bytes.
TEST_F(MonitorTest, StoredBytesComeBackAfterPowerOffAndOn) {
    const std::uint8_t stored[] = {0x3C, 0xA5, 0x0F};
    poke(0x0200, stored);
    const std::string file = tapeFile("power");
    // Seven bytes of about 33,200 cycles each.
    ASSERT_NO_FATAL_FAILURE(storeOnTape("s0200m0203", file, 300000));
    const auto size = std::filesystem::file_size(file);

    ASSERT_NO_FATAL_FAILURE(powerOnAndReset());
    ASSERT_LT(cpu.cycles, 2 * 3 * BOARD_TICK) << "the counter did not start again";
    for (std::uint16_t i = 0; i < 3; ++i) busWrite(0x0200 + i, static_cast<std::uint8_t>(~stored[i]), 1);
    ASSERT_NO_FATAL_FAILURE(loadFromTape(file));
    // The two-second leader, then the seven bytes.
    boardRun(2400000);

    EXPECT_EQ(rio[0].ddrA, 0x07) << "the load has not returned to the command loop";
    for (std::uint16_t i = 0; i < 3; ++i) EXPECT_EQ(bus.memory[0x0200 + i], stored[i]) << "byte " << i;
    EXPECT_EQ(tape.trackEnded, 0) << "the trailer still sounds";
    boardRun(2000000);
    EXPECT_EQ(tape.trackEnded, 1);
    EXPECT_FALSE(tapeActive(cpu.cycles));
    EXPECT_EQ(std::filesystem::file_size(file), size) << "playing changed the file";
}

TEST_F(MonitorTest, RoutinesProgramsMayCall) {
    // Each program starts with LDX #$5A, ends with STA $0290; STX $0291; STY $0292; PHP; PLA; STA $0293 and
    // stops in JMP $0380. The display buffer's digits as hex digits, "." for the point alone. A result of -1
    // is not looked at.
    const struct {
        const char* name;
        std::vector<std::uint8_t> code;
        const char* digits;
        std::array<int, 4> axyc;
    } cases[] = {
        // LDA #$3C; LDY #5; JSR SHOWBYTE
        {"SHOWBYTE", {0xA9, 0x3C, 0xA0, 0x05, 0x20, 0x6F, 0xFE}, ".....3c.", {hexPattern[3], 0x5A, 5, -1}},
        // LDA #0; STA $0E; LDX #$42; JSR SHOWFOUR: one pass, bytes $42 down to $3F in digits 6-7 down to 0-1
        {"SHOWFOUR", {0xA9, 0x00, 0x85, 0x0E, 0xA2, 0x42, 0x20, 0x00, 0xFE}, "00ef0297", {0x18, 0x3E, 0, 1}},
        // LDA #0; STA $0E; JSR SCAN: one pass without a key
        {"SCAN", {0xA9, 0x00, 0x85, 0x0E, 0x20, 0x0C, 0xFE}, "........", {0x18, 0x5A, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::uint16_t d = 0; d < 8; ++d) poke(static_cast<std::uint16_t>(0x10 + d), {0x80});
        poke(0x003F, {0x00, 0xEF, 0x02, 0x97});
        std::vector<std::uint8_t> program = {0xA2, 0x5A};
        program.insert(program.end(), c.code.begin(), c.code.end());
        program.insert(program.end(), {0x8D, 0x90, 0x02, 0x8E, 0x91, 0x02, 0x8C, 0x92, 0x02, 0x08, 0x68, 0x8D,
                                       0x93, 0x02, 0x4C, 0x80, 0x03});
        for (std::size_t i = 0; i < program.size(); ++i)
            poke(static_cast<std::uint16_t>(0x0300 + i), {program[i]});
        poke(0x0380, {0x4C, 0x80, 0x03});
        cpu.pc = 0x0300;
        ASSERT_TRUE(test::boardRunTo(0x0380, 200000));
        for (int d = 0; d < 8; ++d) {
            const char digit = c.digits[d];
            const int value = digit == '.' ? 0x80 : hexPattern[std::stoi(std::string(1, digit), nullptr, 16)];
            EXPECT_EQ(bus.memory[0x10 + d], value) << "digit " << d;
        }
        const int results[] = {bus.memory[0x0290], bus.memory[0x0291], bus.memory[0x0292],
                               bus.memory[0x0293] & 1};
        for (int r = 0; r < 4; ++r) {
            if (c.axyc[r] >= 0) {
                EXPECT_EQ(results[r], c.axyc[r]) << "AXYC"[r];
            }
        }
    }
    // The scan's key code also lands in $0D; it leaves port B dark and the digit lines outputs.
    EXPECT_EQ(bus.memory[0x0D], 0x18);
    EXPECT_EQ(rio[0].outB, 0x00);
    EXPECT_EQ(rio[0].ddrA, 0x07);
}

TEST(MonitorImage, TextLoadsAllFiveHundredTwelveBytes) {
    std::string message;
    const std::string text = test::monitorHexText(message);
    ASSERT_TRUE(message.empty()) << message;
    EXPECT_EQ(text.size(), 1323u);
    int records = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "line at " << at << " lacks CR LF";
        const std::string line = text.substr(at, end - at);
        EXPECT_EQ(line.find_first_of("abcdef\n\r"), std::string::npos) << line;
        if (line.compare(7, 2, "00") == 0) ++records;
        at = end + 2;
    }
    EXPECT_EQ(records, 22);
    EXPECT_EQ(text.substr(text.size() - 13), ":00000001FF\r\n");

    machinePowerOn();
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    EXPECT_EQ(loadHexText("orvROM", buffer.data(), text.size(), message), 512);
    EXPECT_TRUE(message.empty()) << message;
    EXPECT_EQ(busRead(0xFFFC) | busRead(0xFFFD) << 8, 0xFEF3);
}

} // namespace
} // namespace orv
