#include "machine/bus.h"
#include "machine/power.h"
#include "objfile/binary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace orv {
namespace {

namespace fs = std::filesystem;

class BinaryFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machinePowerOn();
        folder = fs::temp_directory_path() / ("orv_binary_" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string path(const char* name) const { return (folder / name).string(); }
    void write(const char* name, const std::string& bytes) const {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }
    std::string read(const char* name) const {
        std::ifstream in(folder / name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    fs::path folder;
};

TEST_F(BinaryFileTest, LoadsIntoRamAndRomAndPassesOverWhatIsNoMemory) {
    struct Case {
        std::uint16_t at;
        std::string bytes;
        int stored;
        const char* message;
    };
    const Case cases[] = {
        {0x0200, "\xA9\x01\x60", 3, ""},
        {0xFFFC, std::string("\x00\x02", 2), 2, ""},                     // ROM, as object files do
        {0x03FF, "\x11\x22\x33", 1, ""},                                 // 0400 on is no memory
        {0x1000, "\x11", 0, "Error: file 'p.bin' had no bytes to load"}, // nothing there at all
        {0xFFFF, "\x11\x22", 0, "Error: file 'p.bin' does not fit in memory from FFFF"},
        {0x0200, "", 0, "Error: file 'p.bin' empty or unknown length"},
    };
    for (const Case& c : cases) {
        write("p.bin", c.bytes);
        std::string message;
        EXPECT_EQ(loadBinaryFile(path("p.bin"), c.at, message), c.stored) << c.at;
        EXPECT_EQ(message, c.message) << c.at;
        if (c.stored > 0) {
            EXPECT_EQ(bus.memory[c.at], static_cast<std::uint8_t>(c.bytes[0])) << c.at;
        }
    }
    std::string message;
    EXPECT_EQ(loadBinaryFile(path("missing.bin"), 0x0200, message), 0);
    EXPECT_EQ(message, "Error: file 'missing.bin' not found");
}

TEST_F(BinaryFileTest, FailedLoadStoresNothing) {
    bus.memory[0xFFFF] = 0x5A;
    write("p.bin", "\x11\x22");
    std::string message;
    loadBinaryFile(path("p.bin"), 0xFFFF, message);
    EXPECT_EQ(bus.memory[0xFFFF], 0x5A);
}

TEST_F(BinaryFileTest, SavesTheRangeWithGapsAndRefusesOneWithNothingInIt) {
    busWrite(0x0200, 0xA9, 0);
    busWrite(0x0201, 0x07, 0);
    std::string message;
    EXPECT_EQ(saveBinaryFile(path("out.bin"), 0x0200, 0x0201, message), 2);
    EXPECT_EQ(message, "");
    EXPECT_EQ(read("out.bin"), std::string("\xA9\x07", 2));

    // The last RAM byte, then a page with no memory behind it.
    EXPECT_EQ(saveBinaryFile(path("gap.bin"), 0x03FF, 0x0401, message), 1);
    EXPECT_EQ(read("gap.bin").size(), 3u);
    EXPECT_EQ(static_cast<std::uint8_t>(read("gap.bin")[1]), BINARY_GAP);

    for (const auto& [start, end] : {std::pair{0x1000, 0x1FFF}, std::pair{0x0E00, 0x0E10}}) {
        EXPECT_EQ(saveBinaryFile(path("none.bin"), start, end, message), 0);
        EXPECT_EQ(message, "Error: no bytes to save to file 'none.bin'");
        EXPECT_FALSE(fs::exists(folder / "none.bin"));
    }
}

} // namespace
} // namespace orv
