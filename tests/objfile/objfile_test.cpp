#include "base/file_names.h"
#include "base/hex_digits.h"
#include "machine/bus.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "objfile/objfile.h"
#include "settings/flags.h"
#include "support/file_io.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/resource.h>
#endif

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::readText;
using test::writeText;

struct Record {
    unsigned address;
    unsigned count;
    bool operator==(const Record&) const = default;
};

// The data records of a saved file, checked for form on the way.
std::vector<Record> dataRecords(const std::string& text) {
    std::vector<Record> records;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t end = text.find("\r\n", position);
        EXPECT_NE(end, std::string::npos);
        if (end == std::string::npos) break;
        const std::string line = text.substr(position, end - position);
        position = end + 2;
        EXPECT_EQ(line.find_first_of("abcdef"), std::string::npos) << line;
        if (line == ":00000001FF") {
            EXPECT_EQ(position, text.size()) << "the end record comes last";
            break;
        }
        const unsigned count = std::stoul(line.substr(1, 2), nullptr, 16);
        EXPECT_EQ(line.size(), 11 + 2 * count) << line;
        EXPECT_EQ(line.substr(7, 2), "00");
        records.push_back({static_cast<unsigned>(std::stoul(line.substr(3, 4), nullptr, 16)), count});
    }
    return records;
}

class ObjfileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machinePowerOn();
        rioReset();
        dir = fs::temp_directory_path() / ("orv_objfile_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        savedDiag = runInputs.diag;
        runInputs.diag = 0;
    }
    void TearDown() override {
        fs::remove_all(dir);
        runInputs.diag = savedDiag;
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::size_t filesInDir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
    fs::path dir;
    std::uint8_t savedDiag = 0;
};

TEST(ObjfileNames, DefaultExtension) {
    const std::string deep = "/tmp/" + std::string(300, 'd');
    const struct {
        std::string name;
        std::string extension;
        std::string expected;
    } cases[] = {
        {"prog", "obj", "prog.obj"},
        {"prog.hex", "obj", "prog.hex"},
        {"my.dir/prog", "obj", "my.dir/prog"},
        {"my.dir\\prog", "mid", "my.dir\\prog"},
        {"tune", "mid", "tune.mid"},
        {"", "obj", ".obj"},
        {"prog.", "obj", "prog."},
        {std::string(252, 'a'), "obj", std::string(252, 'a') + ".obj"}, // exactly 256
        {std::string(253, 'a'), "obj", std::string(253, 'a')},          // would be 257
        {deep + "/prog", "obj", deep + "/prog.obj"},                    // only the bare name counts
        {std::string(256, 'a'), "obj", std::string(256, 'a')},
    };
    for (const auto& c : cases) {
        std::string name = c.name;
        addDefaultExtension(name, c.extension);
        EXPECT_EQ(name, c.expected) << c.name;
    }
}

TEST(ObjfileNames, HexByteTextIsUpperCase) {
    const struct {
        std::uint8_t value;
        const char* text;
    } cases[] = {{0x00, "00"}, {0x09, "09"}, {0x0A, "0A"}, {0xA9, "A9"},
                 {0xF2, "F2"}, {0xFF, "FF"}, {0x5C, "5C"}};
    for (const auto& c : cases) {
        char out[3] = {'x', 'x', 'z'};
        hexByteText(c.value, out);
        EXPECT_EQ(std::string(out, 2), c.text);
        EXPECT_EQ(out[2], 'z');
    }
}

TEST_F(ObjfileTest, SavesThreeBytesExactly) {
    busWrite(0x0200, 0xA9, 0);
    busWrite(0x0201, 0x00, 0);
    busWrite(0x0202, 0x60, 0);
    std::string message = "stale";
    EXPECT_EQ(saveObjectFile(path("prog"), 0x0200, 0x0202, message), 3);
    EXPECT_EQ(message, "");
    EXPECT_EQ(readText(dir / "prog.obj"), ":03020000A90060F2\r\n:00000001FF\r\n");
    EXPECT_EQ(filesInDir(), 1u);
}

TEST_F(ObjfileTest, SavedRecordsFollowPagesAndSkipWhatIsNotMemory) {
    auto run = [](unsigned first, unsigned step, unsigned count, unsigned lastCount) {
        std::vector<Record> records;
        for (unsigned i = 0; i < count; ++i)
            records.push_back({first + i * step, i + 1 == count ? lastCount : 32});
        return records;
    };
    std::vector<Record> mixed = run(0x0380, 32, 4, 32);
    mixed.push_back({0x0E80, 32});
    const struct {
        std::uint16_t start, end;
        int total;
        std::vector<Record> records;
    } cases[] = {
        {0x0000, 0x00FF, 256, run(0x0000, 32, 8, 32)},
        {0x0010, 0x0050, 65, run(0x0010, 32, 3, 1)},
        {0x0380, 0x0E9F, 160, mixed},
        {0xFF00, 0xFFFF, 256, run(0xFF00, 32, 8, 32)},
        {0x03F0, 0x0410, 16, {{0x03F0, 16}}},
        {0x00F0, 0x0110, 33, {{0x00F0, 16}, {0x0100, 17}}},
        {0x0E7F, 0x0F85, 134, {{0x0E80, 32}, {0x0EA0, 32}, {0x0EC0, 32}, {0x0EE0, 32}, {0x0F80, 6}}},
        {0xFDFF, 0xFE00, 1, {{0xFE00, 1}}},
        {0x0000, 0xFFFF, 1024 + 256 + 512, {}},
    };
    for (const auto& c : cases) {
        std::string message;
        fs::remove(dir / "range.obj");
        EXPECT_EQ(saveObjectFile(path("range.obj"), c.start, c.end, message), c.total) << std::hex << c.start;
        EXPECT_EQ(message, "");
        const std::vector<Record> records = dataRecords(readText(dir / "range.obj"));
        if (!c.records.empty()) {
            EXPECT_EQ(records, c.records) << std::hex << c.start;
        }
        unsigned sum = 0;
        for (const Record& r : records) sum += r.count;
        EXPECT_EQ(sum, static_cast<unsigned>(c.total));
    }
}

TEST_F(ObjfileTest, NothingToSave) {
    const struct {
        std::uint16_t start, end;
    } cases[] = {{0x0E00, 0x0E10}, {0x1000, 0x1FFF}, {0x0300, 0x0200}, {0x0F00, 0x0F7F}, {0x0400, 0x0DFF}};
    for (const auto& c : cases) {
        std::string message;
        EXPECT_EQ(saveObjectFile(path("none"), c.start, c.end, message), 0) << std::hex << c.start;
        EXPECT_EQ(message, "Error: no bytes to save to file 'none.obj'");
        EXPECT_EQ(filesInDir(), 0u) << "neither the file nor a temporary one is left";
    }
}

TEST_F(ObjfileTest, FailedSaveKeepsTheOldFile) {
    const std::string old = ":0100000042BD\r\n:00000001FF\r\n";
    writeText(dir / "keep.obj", old);
    std::string message;
    EXPECT_EQ(saveObjectFile(path("keep"), 0x1000, 0x1FFF, message), 0);
    EXPECT_EQ(message, "Error: no bytes to save to file 'keep.obj'");
    EXPECT_EQ(readText(dir / "keep.obj"), old);
    EXPECT_EQ(filesInDir(), 1u);
}

#ifdef __linux__
TEST_F(ObjfileTest, WriteErrorKeepsTheOldFile) {
    const std::string old = ":0100000042BD\r\n:00000001FF\r\n";
    writeText(dir / "full.obj", old);
    // A file size limit makes the writes of the new file fail part way.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 600;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    const int count = saveObjectFile(path("full.obj"), 0x0000, 0x03FF, message);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(message, "Error: file 'full.obj' could not be written");
    EXPECT_EQ(readText(dir / "full.obj"), old);
    EXPECT_EQ(filesInDir(), 1u);
}
#endif

TEST_F(ObjfileTest, SaveReplacesAnExistingFileAndLoadsBack) {
    writeText(dir / "round.obj", std::string(5000, 'x'));
    for (int i = 0; i < 0x400; ++i)
        busWrite(static_cast<std::uint16_t>(i), static_cast<std::uint8_t>(i * 7 + 3), 0);
    for (int i = 0; i < 0x80; ++i)
        busWrite(static_cast<std::uint16_t>(0x0E80 + i), static_cast<std::uint8_t>(i), 0);
    bus.memory[0xFF10] = 0x4C;
    const auto before = bus.memory;
    const auto rioBefore = rio[0].ram;
    std::string message;
    const int saved = saveObjectFile(path("round"), 0x0000, 0xFFFF, message);
    EXPECT_EQ(message, "");
    EXPECT_EQ(saved, 1792);
    machinePowerOn();
    rioReset();
    EXPECT_EQ(loadObjectFile(path("round"), message), saved);
    EXPECT_EQ(message, "");
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 0x400, bus.memory.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 0xFE00, before.end(), bus.memory.begin() + 0xFE00));
    EXPECT_EQ(rio[0].ram, rioBefore);
    EXPECT_EQ(filesInDir(), 1u);
}

#ifndef _WIN32 // pipes, links, file modes
TEST_F(ObjfileTest, NamesOnSave) {
    busWrite(0x0000, 0x01, 0);
    fs::create_directories(dir / "my.dir");
    const fs::path deep = dir / std::string(200, 'd') / std::string(100, 'e');
    fs::create_directories(deep);
    ASSERT_EQ(::mkfifo(path("pipe.obj").c_str(), 0644), 0);
    writeText(dir / "ro.obj", "old");
    fs::permissions(dir / "ro.obj", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::string message;
    EXPECT_EQ(saveObjectFile(path("prog.hex"), 0, 0, message), 1);
    EXPECT_TRUE(fs::exists(dir / "prog.hex"));
    EXPECT_EQ(saveObjectFile(path("my.dir/prog"), 0, 0, message), 1);
    EXPECT_TRUE(fs::exists(dir / "my.dir" / "prog"));
    EXPECT_FALSE(fs::exists(dir / "my.dir" / "prog.obj"));
    // Only the bare name counts towards the limit: a short name deep down is saved and loaded.
    EXPECT_EQ(saveObjectFile((deep / "prog").string(), 0, 0, message), 1);
    EXPECT_EQ(message, "");
    EXPECT_EQ(loadObjectFile((deep / "prog").string(), message), 1);
    EXPECT_EQ(message, "");
    // Saved through a link: the file it names is replaced and keeps its permissions.
    writeText(dir / "real.obj", "old");
    fs::permissions(dir / "real.obj", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real.obj", dir / "link.obj");
    EXPECT_EQ(saveObjectFile(path("link.obj"), 0, 0, message), 1);
    EXPECT_TRUE(fs::is_symlink(dir / "link.obj"));
    EXPECT_EQ(readText(dir / "real.obj"), ":0100000001FE\r\n:00000001FF\r\n");
    EXPECT_EQ(fs::status(dir / "real.obj").permissions(), fs::perms::owner_read | fs::perms::owner_write);

    const struct {
        std::string name;
        std::string message;
    } failures[] = {
        {"", "Error: no filename given"},
        {std::string(257, 'a'), "Error: filename too long (257)"},
        {path("my.dir"), "Error: file 'my.dir' could not be written"},
        {path("missing/prog"), "Error: file 'prog.obj' could not be opened"},
        // Nothing reads the pipe: opening it to write would wait for ever.
        {path("pipe.obj"), "Error: file 'pipe.obj' could not be written"},
        {path("ro.obj"), "Error: file 'ro.obj' could not be opened"},
        {(deep / std::string(257, 'a')).string(), "Error: filename too long (257)"},
    };
    for (const auto& f : failures) {
        EXPECT_EQ(saveObjectFile(f.name, 0, 0, message), 0) << f.name;
        EXPECT_EQ(message, f.message);
    }
    EXPECT_TRUE(fs::is_directory(dir / "my.dir"));
    EXPECT_EQ(readText(dir / "ro.obj"), "old");
    EXPECT_EQ(fs::status(dir / "pipe.obj").type(), fs::file_type::fifo);
}

TEST_F(ObjfileTest, LoadFailures) {
    writeText(dir / "empty.obj", "");
    writeText(dir / "ctrlz.obj", "\x1A");
    fs::create_directories(dir / "folder.obj");
    ASSERT_EQ(::mkfifo(path("pipe.obj").c_str(), 0644), 0);
    // A system file that says it is 4096 bytes long and reads a few: the read comes up short.
    const fs::path shortFile = "/sys/devices/system/cpu/online";
    std::error_code error;
    const bool shortRead = fs::file_size(shortFile, error) == 4096 && !error;
    if (shortRead) fs::create_symlink(shortFile, dir / "short.obj");
    const struct {
        std::string name;
        std::string message;
    } cases[] = {
        {std::string(257, 'a'), "Error: filename too long (257)"},
        {path("nothing"), "Error: file 'nothing.obj' not found"},
        {path("empty"), "Error: file 'empty.obj' empty or unknown length"},
        {path("ctrlz"), "Error: file 'ctrlz.obj' empty or unknown length"},
        {path("folder.obj"), "Error: file 'folder.obj' not found"},
        {path("short"), "Error: cannot read file 'short.obj'"},
        // Refused before it is opened: nothing writes into the pipe.
        {path("pipe.obj"), "Error: file 'pipe.obj' not found"},
        {path(std::string(200, 'd') + "/" + std::string(100, 'e') + "/nothing"),
         "Error: file 'nothing.obj' not found"},
    };
    for (const auto& c : cases) {
        if (c.name == path("short") && !shortRead) continue;
        std::string message = "stale";
        EXPECT_EQ(loadObjectFile(c.name, message), 0) << c.name;
        EXPECT_EQ(message, c.message);
    }
}
#endif

TEST_F(ObjfileTest, OneTrailingCtrlZIsDropped) {
    const std::string text = ":03020000A90060F2\r\n:00000001FF\r\n";
    writeText(dir / "one.obj", text + "\x1A");
    writeText(dir / "two.obj", text + "\x1A\x1A");
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    std::string message;
    EXPECT_EQ(loadObjectFile(path("one"), message), 3);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(message, "");
    EXPECT_EQ(out, "EOF removed\nObject file: 'one.obj' [32]\nBytes loaded: 3\n");
    runInputs.diag = 0;
    EXPECT_EQ(loadObjectFile(path("two"), message), 3);
    EXPECT_EQ(message, "Error in 'two.obj' line 3: does not start with ':'");
}

TEST_F(ObjfileTest, LoadReportsHexFaultsWithTheFileName) {
    writeText(dir / "bad.obj", ":03020000A90060F3\r\n:00000001FF\r\n");
    std::string message;
    EXPECT_EQ(loadObjectFile(path("bad"), message), 3);
    EXPECT_EQ(message, "Error in 'bad.obj' line 1: bad checksum, got '01'");
}

} // namespace
} // namespace orv
