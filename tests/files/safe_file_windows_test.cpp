// The file module on Windows: replacing a file that is there, read-only files, the device names every
// folder has, and names beyond the console's code page.
#include "base/file_names.h"
#include "files/safe_file.h"

#include "support/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include <windows.h>

namespace orv {
namespace {

namespace fs = std::filesystem;

// A UTF-8 name as the file system's path.
fs::path pathOf(const std::string& name) {
    return fs::path(wideName(name));
}

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(utf8Name(entry.path().filename().wstring()));
    return names;
}

class SafeFileWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A short folder on the system drive: a file name of the longest kind still fits in a path.
        dir = fs::temp_directory_path().root_path() / ("orv" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        for (const auto& entry : fs::directory_iterator(dir)) SetFileAttributesW(entry.path().c_str(), 0);
        fs::remove_all(dir);
    }
    std::string at(const std::string& name) const { return utf8Name(dir.wstring()) + "\\" + name; }
    fs::path dir;
};

TEST_F(SafeFileWindowsTest, ReplacingPutsTheNewContentInPlaceOrKeepsTheOld) {
    const std::string readOnly = "ro.obj";
    // As long as a name can be in that folder within Windows' 259 characters: the temporary's name is cut.
    const std::string longest = std::string(259 - 4 - (at("").size()), 'n') + ".obj";
    const struct {
        std::string name;
        bool there;        // a file "old" of that name is there first
        bool makeReadOnly; // and has the read-only attribute
        bool written;
        FileRefusal why;
        std::string message; // of writeRefusalMessage when refused
    } cases[] = {
        {"new.obj", false, false, true, FileRefusal::None, ""},
        {"old.obj", true, false, true, FileRefusal::None, ""},
        {"prøgram ✓.obj", false, false, true, FileRefusal::None, ""},
        {"prøgram ✓ again.obj", true, false, true, FileRefusal::None, ""},
        {longest, true, false, true, FileRefusal::None, ""},
        {readOnly, true, true, false, FileRefusal::ReadOnly, "Error: file 'ro.obj' could not be opened"},
        {"missing\\new.obj", false, false, false, FileRefusal::Missing,
         "Error: file 'new.obj' could not be opened"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.there) {
            ASSERT_TRUE(test::writeText(pathOf(at(c.name)), "old"));
        }
        if (c.makeReadOnly) SetFileAttributesW(pathOf(at(c.name)).c_str(), FILE_ATTRIBUTE_READONLY);
        FileRefusal why = FileRefusal::Failed;
        EXPECT_EQ(replaceWhole(at(c.name), "new", why), c.written);
        EXPECT_EQ(why, c.why);
        if (!c.written) {
            EXPECT_EQ(writeRefusalMessage(why, bareName(c.name)), c.message);
        }
        std::string bytes;
        if (c.written || c.there) {
            EXPECT_TRUE(readWhole(at(c.name), NO_READ_LIMIT, bytes, why));
            EXPECT_EQ(bytes, c.written ? "new" : "old");
        }
    }
    // Nothing left beside them: no temporary, no file under a name mangled by the code page.
    EXPECT_EQ(namesIn(dir), (std::set<std::string>{"new.obj", "old.obj", "prøgram ✓.obj",
                                                   "prøgram ✓ again.obj", longest, readOnly}));
}

TEST_F(SafeFileWindowsTest, AMoveTheSystemRefusesLeavesTheOldFile) {
    ASSERT_TRUE(test::writeText(dir / "held.obj", "old"));
    // Another program has it open for writing, but not for deleting: the probe passes, the move cannot.
    const HANDLE held = CreateFileW((dir / "held.obj").c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    FileRefusal why = FileRefusal::None;
    EXPECT_FALSE(replaceWhole(at("held.obj"), "new", why));
    EXPECT_EQ(why, FileRefusal::Failed);
    CloseHandle(held);
    EXPECT_EQ(test::readText(dir / "held.obj"), "old");
    EXPECT_EQ(namesIn(dir), std::set<std::string>{"held.obj"});
}

// Every folder has the devices' names, whatever ending follows; they are refused as the Linux build
// refuses a pipe or device, before anything is opened.
TEST_F(SafeFileWindowsTest, DeviceNamesAreRefusedAsSpecialFiles) {
    const struct {
        const char* name;
        bool device;
    } cases[] = {
        {"NUL", true},          {"con.obj", true},   {"Com1.mid", true}, {"lpt9", true},
        {"aux.tar.gz", true},   {"prn .bin", true},  {"CONOUT$", true},  {"com10.obj", false},
        {"console.obj", false}, {"nul_.obj", false}, {"lpt.obj", false}, {"com0.obj", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = at(c.name);
        EXPECT_EQ(namesSpecialFile(path), c.device);
        FileRefusal why = FileRefusal::None;
        EXPECT_EQ(replaceWhole(path, "new", why), !c.device);
        EXPECT_EQ(why, c.device ? FileRefusal::NotRegular : FileRefusal::None);
        if (c.device) {
            EXPECT_EQ(writeRefusalMessage(why, c.name),
                      std::string("Error: file '") + c.name + "' could not be written");
        }
        std::string bytes;
        EXPECT_EQ(readWhole(path, NO_READ_LIMIT, bytes, why), !c.device);
        EXPECT_EQ(c.device ? readRefusalMessage(why, c.name) : bytes,
                  c.device ? std::string("Error: '") + c.name + "' is not a regular file" : "new");
    }
}

TEST_F(SafeFileWindowsTest, AFolderIsToldFromAFile) {
    fs::create_directories(dir / "folder.obj");
    FileRefusal why = FileRefusal::None;
    std::string bytes;
    EXPECT_FALSE(readWhole(at("folder.obj"), NO_READ_LIMIT, bytes, why));
    EXPECT_EQ(why, FileRefusal::Folder);
    EXPECT_FALSE(replaceWhole(at("folder.obj"), "new", why));
    EXPECT_EQ(why, FileRefusal::NotRegular);
    EXPECT_TRUE(namesSpecialFile(at("folder.obj")));
}

} // namespace
} // namespace orv
