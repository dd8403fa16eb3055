#include "base/run_inputs.h"
#include "machine/debug_hooks.h"
#include "machine/keys.h"
#include "machine/machine_state.h"
#include "machine/power.h"
#include "machine/save_state.h"
#include "settings/flags.h"
#include "support/board.h"
#include "support/file_io.h"
#include "support/poke.h"
#include "tape/tape.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace orv {
namespace {

using test::Bytes;

auto cpuFields(const CpuState& c) {
    return std::tuple(c.pc, c.a, c.x, c.y, c.sp, c.n, c.v, c.bit5, c.b, c.d, c.i, c.z, c.c);
}
auto chipFields(const RioChip& c) {
    return std::tuple(c.ddrA, c.ddrB, c.outA, c.outB, c.ram);
}

// Every part of the board, copied from the machine.
struct Board {
    CpuState cpu = orv::cpu;
    std::int32_t cycles = orv::cpu.cycles;
    std::uint8_t pending = orv::cpu.pendingInterrupts;
    std::uint16_t lastOpcode = orv::cpu.lastOpcodeAddr;
    std::uint16_t breakAt = orv::cpu.breakpoint;
    std::array<std::uint8_t, 65536> memory = orv::bus.memory;
    std::array<std::uint8_t, 256> pages = bus.pageFlags;
    std::array<RioChip, 2> chips = rio.chips;
    KeypadRecord keys = keypad;
    LatchRecord display = latch;
};

// Compares part by part, so that a failure names the part.
void expectSameBoard(const Board& want, const Board& got, const std::string& when) {
    EXPECT_EQ(cpuFields(want.cpu), cpuFields(got.cpu)) << when << ": processor";
    EXPECT_EQ(want.cycles, got.cycles) << when << ": cycles";
    EXPECT_EQ(want.pending, got.pending) << when << ": pending interrupts";
    EXPECT_EQ(want.lastOpcode, got.lastOpcode) << when << ": last opcode address";
    EXPECT_EQ(want.breakAt, got.breakAt) << when << ": breakpoint";
    EXPECT_TRUE(want.memory == got.memory) << when << ": memory";
    EXPECT_EQ(want.pages, got.pages) << when << ": page flags";
    for (std::size_t chip = 0; chip < 2; ++chip)
        EXPECT_EQ(chipFields(want.chips[chip]), chipFields(got.chips[chip])) << when << ": RIO " << chip;
    EXPECT_EQ(std::tuple(want.keys.keyColumn, want.keys.keyRows),
              std::tuple(got.keys.keyColumn, got.keys.keyRows))
        << when << ": keypad";
    EXPECT_EQ(std::tuple(want.display.digitSegments, want.display.digitTick, want.display.lastDigit,
                         want.display.displayTick),
              std::tuple(got.display.digitSegments, got.display.digitTick, got.display.lastDigit,
                         got.display.displayTick))
        << when << ": latch";
}

// Runs the processor without the board's fading passes, which keep their own count outside the machine.
void runCycles(std::uint32_t count) {
    const auto start = static_cast<std::uint32_t>(cpu.cycles);
    while (static_cast<std::uint32_t>(cpu.cycles) - start < count) {
        std::uint8_t status = 0;
        cpuExecute(1000, status);
        ASSERT_FALSE(status & SLICE_BADOP);
    }
}

void putU32(Bytes& state, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        state[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A state edited by hand, its checksum made good again, so that only the edit is wrong with it.
void resum(Bytes& state) {
    putU32(state, state.size() - 4, crc32(state.data(), state.size() - 4));
}

// Where the records lie in a state.
constexpr std::size_t CPU_AT = STATE_HEADER_SIZE;
constexpr std::size_t HALTED_AT = CPU_AT + 23;
constexpr std::size_t OVERRUN_AT = HALTED_AT + 1;
constexpr std::size_t MEMORY_AT = OVERRUN_AT + 1;
constexpr std::size_t PAGES_AT = MEMORY_AT + 65536;
constexpr std::size_t CHIPS_AT = PAGES_AT + 256;
constexpr std::size_t KEYPAD_AT = CHIPS_AT + 2 * 132;
constexpr std::size_t LATCH_AT = KEYPAD_AT + 2;

TEST(StateChecksum, IsTheCommonCrc32) {
    const std::string check = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0xCBF43926u);
    EXPECT_EQ(crc32(nullptr, 0), 0u);
}

class SaveStateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        runInputs.diag = 0;
        std::string message;
        ASSERT_TRUE(test::boardPowerOn(message)) << message;
        test::boardReset();
        test::boardRun(300'000); // the monitor scanning its display
        keyDown(keyWithLegend("5"));
        cpu.breakpoint = 0x1234;
        test::poke(0x0300, {0xDE, 0xAD});
        rio[1].ram[5] = 0x77;
        rio[1].ddrB = 0x0F;
    }
    void TearDown() override {
        cpuSetTraps({});
        keyUp();
    }
};

TEST_F(SaveStateTest, LoadBringsBackEveryPartOfTheBoard) {
    cpu.pendingInterrupts = PEND_NMI;
    const Bytes state = saveState();
    ASSERT_EQ(state.size(), STATE_FILE_SIZE);
    const Board saved;
    ASSERT_GE(saved.display.lastDigit, 0) << "the monitor has lit its display";

    // Change everything.
    machinePowerOn();
    rioReset();
    keyUp();
    latch = LatchRecord{};
    cpu.breakpoint = 0x4321;
    cpu.lastOpcodeAddr ^= 0xFFFF;
    cpu.bit5 ^= 1;
    cpu.cycles += 777;
    cpu.pendingInterrupts = PEND_IRQ;
    test::poke(0xFE00, {0x00});
    const Board changed;
    EXPECT_FALSE(changed.memory == saved.memory);

    std::string message = "left from before";
    ASSERT_TRUE(loadState(state.data(), state.size(), message));
    EXPECT_EQ(message, "");
    expectSameBoard(saved, Board{}, "after loading");
    EXPECT_EQ(loadedStateHalted(), runInputs.halted);

    for (const std::uint8_t runState : {0, 1}) {
        Bytes edited = state;
        edited[HALTED_AT] = runState;
        resum(edited);
        ASSERT_TRUE(loadState(edited.data(), edited.size(), message)) << message;
        EXPECT_EQ(loadedStateHalted(), runState == 1);
    }
}

TEST_F(SaveStateTest, WatchedPagesStayTheDebuggersAcrossALoad) {
    cpuSetTraps({Trap{1, 0x0100, 0x0100, TRAP_WRITE, {}}});
    ASSERT_TRUE(bus.pageFlags[0x01] & PAGE_WATCH);
    Bytes state = saveState();
    EXPECT_EQ(state[PAGES_AT + 1], PAGE_RAM) << "the debugger's bit is not the board's";

    cpuSetTraps({Trap{2, 0x0200, 0x0200, TRAP_WRITE, {}}});
    std::string message;
    ASSERT_TRUE(loadState(state.data(), state.size(), message)) << message;
    EXPECT_EQ(bus.pageFlags[0x01], PAGE_RAM);
    EXPECT_EQ(bus.pageFlags[0x02], PAGE_RAM | PAGE_WATCH);
}

TEST_F(SaveStateTest, AStateGoesOnAsTheRunItWasSavedFrom) {
    // A small program beside the scanning monitor would not survive its keypad loop, so the monitor's own
    // run is the program: N cycles, a state, M more, against N + M in one go.
    const Bytes state = saveState();
    runCycles(1'234'567);
    const Board straight;

    machinePowerOn();
    rioReset();
    std::string message;
    ASSERT_TRUE(loadState(state.data(), state.size(), message)) << message;
    runCycles(1'234'567);
    expectSameBoard(straight, Board{}, "resumed");
}

// A state that must be refused: either cut or replaced by `edit`, or with `bytes` bytes at `at` set to
// `value` and its checksum made good again, so that only that field is wrong.
struct Refusal {
    const char* what;
    void (*edit)(Bytes&);
    std::size_t at;
    std::uint32_t value;
    int bytes;
    const char* message;
};

constexpr std::size_t LAST_DIGIT_AT = LATCH_AT + 40;

const Refusal refusals[] = {
    {"empty", [](Bytes& s) { s.clear(); }, 0, 0, 0, "Error: the data is empty"},
    {"half a magic", [](Bytes& s) { s.resize(5); }, 0, 0, 0, "Error: the data is cut short"},
    {"header only", [](Bytes& s) { s.resize(STATE_HEADER_SIZE); }, 0, 0, 0, "Error: the data is cut short"},
    {"one byte short", [](Bytes& s) { s.pop_back(); }, 0, 0, 0, "Error: the data is cut short"},
    {"one byte more", [](Bytes& s) { s.push_back(0); }, 0, 0, 0, "Error: the data is damaged (length)"},
    {"a tape file", [](Bytes& s) { s = {'M', 'T', 'h', 'd', 0, 0, 0, 6}; }, 0, 0, 0,
     "Error: the data is not a save state"},
    {"an object file",
     [](Bytes& s) {
         s = {':', '0', '0', '0', '0'};
     },
     0, 0, 0, "Error: the data is not a save state"},
    {"checksum", [](Bytes& s) { s[MEMORY_AT + 0x300] ^= 0x01; }, 0, 0, 0,
     "Error: the data is damaged (checksum)"},
    {"newer version", nullptr, 8, STATE_VERSION + 1, 4,
     "Error: the data is a state of a newer version of the program (2; this one reads 1)"},
    {"version 0", nullptr, 8, 0, 4, "Error: the data is damaged (version)"},
    {"wrong length field", nullptr, 12, STATE_RECORDS_SIZE - 1, 4, "Error: the data is damaged (length)"},
    {"flag of 2", nullptr, CPU_AT + 6, 2, 1, "Error: the data is damaged (processor flags)"},
    {"unknown interrupt", nullptr, CPU_AT + 18, 0x08, 1, "Error: the data is damaged (pending interrupts)"},
    {"run state 2", nullptr, HALTED_AT, 2, 1, "Error: the data is damaged (run state)"},
    {"overrun 32", nullptr, OVERRUN_AT, 32, 1, "Error: the data is damaged (run state)"},
    {"page kind", nullptr, PAGES_AT + 0x10, 0x08, 1, "Error: the data is damaged (page kind at $1000)"},
    {"RIO page elsewhere", nullptr, PAGES_AT + 0x20, PAGE_RIO0, 1,
     "Error: the data is damaged (page kind at $2000)"},
    {"watch bit", nullptr, PAGES_AT + 0x01, PAGE_RAM | PAGE_WATCH, 1,
     "Error: the data is damaged (page kind at $0100)"},
    {"keypad column", nullptr, KEYPAD_AT, 8, 1, "Error: the data is damaged (keypad)"},
    {"two rows low", nullptr, KEYPAD_AT + 1, 0xE7, 1, "Error: the data is damaged (keypad)"},
    {"latch position 8", nullptr, LAST_DIGIT_AT, 8, 4, "Error: the data is damaged (latch position)"},
    {"latch position -2", nullptr, LAST_DIGIT_AT, 0xFFFFFFFEu, 4,
     "Error: the data is damaged (latch position)"},
};

TEST_F(SaveStateTest, RefusedStatesChangeNothing) {
    const Bytes good = saveState();
    // Another board than the one saved: a refused load must leave this one.
    test::boardRun(50'000);
    keyUp();
    const Board before;
    const Bytes beforeBytes = saveState();
    for (const Refusal& r : refusals) {
        Bytes state = good;
        if (r.edit) {
            r.edit(state);
        } else {
            for (int i = 0; i < r.bytes; ++i)
                state[r.at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(r.value >> (8 * i));
            resum(state);
        }
        std::string message;
        EXPECT_FALSE(loadState(state.data(), state.size(), message)) << r.what;
        EXPECT_EQ(message, r.message) << r.what;
        expectSameBoard(before, Board{}, r.what);
    }
    // Every byte of the header, the records beside the memory and the checksum, and a spread of the
    // memory, flipped one at a time.
    std::vector<std::size_t> places;
    for (std::size_t at = 0; at < good.size(); at += (at >= MEMORY_AT && at < PAGES_AT) ? 997 : 1)
        places.push_back(at);
    for (std::size_t at : places) {
        Bytes state = good;
        state[at] ^= 0x5A;
        std::string message;
        ASSERT_FALSE(loadState(state.data(), state.size(), message)) << "byte " << at;
        ASSERT_TRUE(saveState() == beforeBytes) << "byte " << at;
    }
}

class SaveStateFileTest : public SaveStateTest {
  protected:
    void SetUp() override {
        SaveStateTest::SetUp();
        folder = std::filesystem::temp_directory_path() / ("orv_state_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::string ignored;
        tapeStop(ignored);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        // Windows removes no read-only file.
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all);
        std::filesystem::remove_all(folder);
        SaveStateTest::TearDown();
    }
    std::string path(const char* name) const { return (folder / name).string(); }
    std::filesystem::path folder;
};

TEST_F(SaveStateFileTest, FilesSaveWholeAndLoadBack) {
    std::string message = "left from before";
    ASSERT_TRUE(saveStateFile(path("a.orvstate"), message));
    EXPECT_EQ(message, "");
    EXPECT_TRUE(test::readBytes(path("a.orvstate")) == saveState());
    const Board saved;
    machinePowerOn();
    ASSERT_TRUE(loadStateFile(path("a.orvstate"), message)) << message;
    expectSameBoard(saved, Board{}, "from the file");

    ASSERT_TRUE(test::writeText(path("old.orvstate"), "keep me"));
    std::filesystem::permissions(path("old.orvstate"), std::filesystem::perms::owner_read);
    EXPECT_FALSE(saveStateFile(path("old.orvstate"), message));
    EXPECT_EQ(message, "Error: file 'old.orvstate' could not be opened");
    EXPECT_EQ(test::readText(path("old.orvstate")), "keep me");

    const struct {
        std::string file;
        const char* message;
    } refused[] = {
        {path("none.orvstate"), "Error: file 'none.orvstate' not found"},
        {folder.string(), nullptr},
        {path("old.orvstate"), "Error: file 'old.orvstate' is not a save state"},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(loadStateFile(r.file, message)) << r.file;
        if (r.message) {
            EXPECT_EQ(message, r.message);
        }
        expectSameBoard(saved, Board{}, r.file);
    }
}

TEST_F(SaveStateFileTest, ATapeInProgressIsNoPartOfAState) {
    std::string message;
    ASSERT_TRUE(tapeStartRecording("test", path("tape.mid"), message)) << message;
    ASSERT_TRUE(saveStateFile(path("b.orvstate"), message));
    EXPECT_EQ(message, "Warning: the tape in progress is not part of the state saved in 'b.orvstate'");
    EXPECT_NE(tape.tapeState, 0);

    ASSERT_TRUE(loadStateFile(path("b.orvstate"), message));
    EXPECT_EQ(tape.tapeState, 0) << "loading stopped the tape";
    EXPECT_EQ(message, "Warning: no data recorded in 'tape.mid'") << "what the stop had to say";
}

} // namespace
} // namespace orv
