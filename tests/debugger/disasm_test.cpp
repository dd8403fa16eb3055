#include "debugger/disasm.h"
#include "debugger/symbols.h"
#include "machine/opcodes.h"
#include "support/file_io.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

struct Image {
    std::array<std::uint8_t, 65536> bytes{};
    void put(std::uint16_t at, const Bytes& data) {
        for (std::uint8_t b : data) bytes[at++] = b;
    }
    ByteReader reader() const {
        return [this](std::uint16_t address) { return bytes[address]; };
    }
};

SymbolTable symbolsFrom(const std::string& text) {
    SymbolTable table;
    std::string message;
    symbolsLoadText(table, "test.lbl", text, message);
    EXPECT_EQ(message, "");
    return table;
}

bool toolOnPath(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

class DisasmTools : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) /
              ("orv_disasm_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs a shell command in dir; its output goes to `log`.
    bool run(const std::string& command) {
        return std::system(("cd '" + dir.string() + "' && " + command + " >>log 2>&1").c_str()) == 0;
    }
    std::string log() const {
        const Bytes text = test::readBytes(dir / "log");
        return {text.begin(), text.end()};
    }

    fs::path dir;
};

// Every documented opcode twice, with low operands (zero-page values in absolute operands, the most
// negative branch) and high ones, then undefined opcodes and an instruction the range cuts off.
// Returns the instruction starts.
std::vector<std::uint16_t> putEveryOpcode(Image& image, std::uint16_t base, std::uint16_t& last) {
    std::vector<std::uint16_t> starts;
    std::uint16_t at = base;
    for (int variant = 0; variant < 2; ++variant) {
        for (int op = 0; op < 256; ++op) {
            const OpcodeInfo& info = opcodeTable[op];
            if (info.cycles == 0) continue;
            starts.push_back(at);
            std::uint8_t low = variant == 0 ? 0x10 : info.length == 3 ? 0x12 : 0xFF;
            if (info.mode == AddrMode::Relative) low = variant == 0 ? 0x80 : 0x7F;
            const Bytes bytes{static_cast<std::uint8_t>(op), low,
                              variant == 0 ? std::uint8_t{0x00} : std::uint8_t{0xFE}};
            image.put(at, Bytes(bytes.begin(), bytes.begin() + info.length));
            at = static_cast<std::uint16_t>(at + info.length);
        }
    }
    image.put(at, {0x02, 0xFF, 0xAD, 0x34});
    last = static_cast<std::uint16_t>(at + 3);
    return starts;
}

TEST_F(DisasmTools, ListingsAssembleBackToTheSameBytes) {
    if (!toolOnPath("ca65") || !toolOnPath("ld65")) GTEST_SKIP() << "ca65 or ld65 not installed";
    Image image;
    std::uint16_t last = 0;
    const std::vector<std::uint16_t> starts = putEveryOpcode(image, 0x0300, last);
    // BRK at $0300, ORA ($10,X) at $0301, ORA $10 at $0303. Names ca65 could not take back: a second
    // "dup" and the register name "x", both at $FF.
    ASSERT_EQ(starts[2], 0x0303);
    const SymbolTable all = symbolsFrom("al 000300 .start\nal 000302 .inside\nal 000303 .@local\n"
                                        "al 000010 .ZPVAR\nal 00FE12 .HIGH\nal 000020 .dup\n"
                                        "al 0000FF .dup\nal 0000FF .x\n");
    // Code in page zero, labels used before ca65 meets them; branches that would run off either end of
    // memory; a three-byte instruction cut off at the end of memory.
    image.put(0x0000, {0xA5, 0x09, 0xB5, 0x09, 0xAD, 0x09, 0x00, 0x10, 0xF0, 0x60});
    const SymbolTable pageZero = symbolsFrom("al 000009 .fwd\n");
    image.put(0xFFF0, {0xEA, 0xD0, 0x7F, 0xF0, 0x80, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA,
                       0x4C, 0x00});
    const struct {
        std::uint16_t first, last;
        const SymbolTable* symbols;
    } ranges[] = {{0x0300, last, nullptr},
                  {0x0300, last, &all},
                  {0x0000, 0x0009, &pageZero},
                  {0xFFF0, 0xFFFF, nullptr}};
    for (const auto& r : ranges) {
        SCOPED_TRACE(r.first);
        const std::string listing = disassembleRange(image.reader(), r.first, r.last, r.symbols);
        std::ofstream(dir / "listing.s") << listing;
        ASSERT_TRUE(run("ca65 -o listing.o listing.s && ld65 -t none -o listing.bin listing.o"))
            << log() << listing;
        const Bytes expected(image.bytes.begin() + r.first, image.bytes.begin() + r.last + 1);
        EXPECT_EQ(test::readBytes(dir / "listing.bin"), expected) << listing;
        EXPECT_EQ(log(), "") << listing; // ca65 warns when it had to guess an operand's size
    }
    const std::string named = disassembleRange(image.reader(), 0x0300, last, &all);
    for (const char* text : {"\nstart:\n", "\ninside = $0302\n", "ZPVAR = $0010\n", "LDA ZPVAR,X",
                             "LDA a:ZPVAR,X", "JSR HIGH", "; @local\n", "LDA ($FF),Y", ".byte $AD, $34"})
        EXPECT_NE(named.find(text), std::string::npos) << text << "\n" << named;
    EXPECT_EQ(named.find("dup = $00FF"), std::string::npos);
}

// The monitor as da65 (cc65's disassembler) reads it: for each instruction of the code part
// ($FE00-$FFE9) the same mnemonic, operand and length. da65 names addresses "LFE0C" and writes an absolute
// operand below $100 with two digits where no zero-page form exists ("sta $10,y"), so both sides are
// compared in upper case with labels turned back into addresses, "a:" dropped and numbers by value.
TEST_F(DisasmTools, MonitorReadsAsDa65ReadsIt) {
    if (!toolOnPath("da65")) GTEST_SKIP() << "da65 not installed";
    const fs::path bin = fs::path(ORV_MONITOR_LABELS).replace_filename("monitor.bin");
    const Bytes rom = test::readBytes(bin);
    ASSERT_EQ(rom.size(), 512u) << bin;
    ASSERT_TRUE(run("da65 -S 0xFE00 --comments 4 -o da65.s '" + bin.string() + "'")) << log();

    const auto normal = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        text = std::regex_replace(text, std::regex(R"(\bL([0-9A-F]{4})\b)"), "$$$1");
        text = std::regex_replace(text, std::regex(R"(\bA:)"), "");
        text = std::regex_replace(text, std::regex(R"(\$0*([0-9A-F]+))"), "$$$1");
        return std::regex_replace(text, std::regex(R"(\s+)"), " ");
    };
    std::map<int, std::string> theirs;
    std::ifstream in(dir / "da65.s");
    const std::regex line(R"(^(?:\w+:)?\s+(\S+(?:\s+[^;\s]+)?)\s*; ([0-9A-F]{4}) )");
    for (std::string text; std::getline(in, text);) {
        std::smatch m;
        if (std::regex_search(text, m, line)) theirs[std::stoi(m[2], nullptr, 16)] = normal(m[1]);
    }
    const ByteReader read = [&](std::uint16_t address) { return rom[(address - 0xFE00) & 0x1FF]; };
    // da65 cuts an instruction short where a branch lands inside it (the monitor's BIT that skips the
    // next instruction): the opcode becomes .byte and it goes on from the branch target.
    int compared = 0, cut = 0;
    for (auto it = theirs.begin(); it != theirs.end() && it->first < 0xFFEA; ++it) {
        const DisasmLine ours = disassemble(read, static_cast<std::uint16_t>(it->first));
        const auto next = std::next(it);
        ASSERT_NE(next, theirs.end());
        if (ours.length > 1 && it->second.starts_with(".BYTE") && next->first < it->first + ours.length) {
            ++cut;
            continue;
        }
        EXPECT_EQ(normal(ours.text), it->second) << std::hex << it->first;
        EXPECT_EQ(next->first, it->first + ours.length) << std::hex << it->first;
        ++compared;
    }
    EXPECT_LE(cut, 1);
    EXPECT_GT(compared, 200);
}

TEST(Disasm, Lines) {
    const SymbolTable symbols = symbolsFrom("al 000010 .DISPBUF\nal 000E20 .PORTA\nal 000200 .@top\n"
                                            "al 000200 .start\nal 000204 .@loop\nal 00FE0C .SCAN\n");
    const struct {
        std::uint16_t at;
        Bytes bytes;
        bool named;
        const char* text;
    } cases[] = {
        {0x0200, {0x02}, false, ".byte $02"},
        {0x0200, {0xFF}, true, ".byte $FF"},
        {0x0200, {0x0A}, false, "ASL A"},
        {0x0200, {0xA9, 0x10}, true, "LDA #$10"},
        {0x0200, {0xB1, 0x10}, false, "LDA ($10),Y"},
        {0x0200, {0xA1, 0xFE}, false, "LDA ($FE,X)"},
        {0x0200, {0x9D, 0x00, 0x03}, false, "STA $0300,X"},
        {0x0200, {0xBE, 0x10, 0x00}, false, "LDX a:$0010,Y"},
        {0x0200, {0xB6, 0x10}, false, "LDX $10,Y"},
        {0x0200, {0x6C, 0xFF, 0x12}, false, "JMP ($12FF)"},
        {0x0200, {0xD0, 0xFE}, false, "BNE $0200"},
        {0x0200, {0x10, 0x80}, false, "BPL $0182"},
        {0x0002, {0x10, 0xF0}, false, "BPL $FFF4"},
        {0x0200, {0xA5, 0x10}, true, "LDA DISPBUF"},
        {0x0200, {0xAD, 0x10, 0x00}, true, "LDA a:DISPBUF"},
        {0x0200, {0xA5, 0x20}, true, "LDA $20"},
        {0x0200, {0x8D, 0x20, 0x0E}, true, "STA PORTA"},
        {0x0200, {0x20, 0x0C, 0xFE}, true, "JSR SCAN"},
        {0x0200, {0x4C, 0x00, 0x02}, true, "JMP start"},
        {0x0204, {0xD0, 0xFE}, true, "BNE @loop"},
    };
    for (const auto& c : cases) {
        Image image;
        image.put(c.at, c.bytes);
        const DisasmLine line = disassemble(image.reader(), c.at, c.named ? &symbols : nullptr);
        EXPECT_EQ(line.text, c.text);
        EXPECT_EQ(line.length, c.bytes.size()) << c.text;
    }
}

} // namespace
} // namespace orv
