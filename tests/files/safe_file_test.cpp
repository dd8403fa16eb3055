#include "base/file_names.h"
#include "files/safe_file.h"

#include "support/file_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::readText;
using test::writeText;

// Every name in the folder and below it, links not followed.
std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.insert(entry.path().lexically_relative(dir).string());
    return names;
}

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

ino_t inodeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class SafeFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("orv_safe_file_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        savedMask = ::umask(022);
    }
    void TearDown() override {
        ::umask(savedMask);
        fs::remove_all(dir);
    }
    fs::path dir;
    mode_t savedMask = 0;
};

TEST(SafeFileNames, BareName) {
    const struct {
        const char* path;
        const char* bare;
    } cases[] = {{"/home/u/work/prog.obj", "prog.obj"}, {"prog.obj", "prog.obj"}, {"my.dir/prog", "prog"},
                 {"D:\\work\\tune.mid", "tune.mid"},    {"/tmp/dir/", ""},        {"", ""}};
    for (const auto& c : cases) EXPECT_EQ(bareName(c.path), c.bare) << c.path;
}

TEST_F(SafeFileTest, ReplacingFollowsLinksKeepsModesAndLeavesReadOnlyFilesAlone) {
    const std::string longName = std::string(250, 'n');
    const struct Case {
        const char* what;
        std::function<void(const fs::path&)> arrange;
        std::string writeTo; // the name handed to replaceWhole
        bool written;
        FileRefusal why;
        std::string readAt;   // where the new content lands, or the old one stays
        mode_t mode;          // of the file at readAt afterwards
        std::string alsoAt;   // a second name that must show the same content ("" for none)
        bool inPlace = false; // the file at readAt is the same file as before, not a new one
    } cases[] = {
        {"new file", [](const fs::path&) {}, "new.obj", true, FileRefusal::None, "new.obj", 0644, ""},
        {"existing file keeps its mode", [](const fs::path& d) { writeText(d / "old.obj", "old", 0640); },
         "old.obj", true, FileRefusal::None, "old.obj", 0640, ""},
        {"link to a file",
         [](const fs::path& d) {
             writeText(d / "real.obj", "old", 0600);
             fs::create_symlink("real.obj", d / "link.obj");
         },
         "link.obj", true, FileRefusal::None, "real.obj", 0600, "link.obj"},
        {"relative link from another folder",
         [](const fs::path& d) {
             fs::create_directories(d / "sub");
             writeText(d / "real.obj", "old", 0664);
             fs::create_symlink("../real.obj", d / "sub" / "link.obj");
         },
         "sub/link.obj", true, FileRefusal::None, "real.obj", 0664, "sub/link.obj"},
        {"dangling link makes the file it names",
         [](const fs::path& d) { fs::create_symlink("made.obj", d / "dangling.obj"); }, "dangling.obj", true,
         FileRefusal::None, "made.obj", 0644, "dangling.obj"},
        {"hard link stays one file",
         [](const fs::path& d) {
             writeText(d / "a.obj", "old old old", 0620);
             fs::create_hard_link(d / "a.obj", d / "b.obj");
         },
         "a.obj", true, FileRefusal::None, "a.obj", 0620, "b.obj", true},
        {"read-only file", [](const fs::path& d) { writeText(d / "ro.obj", "old", 0444); }, "ro.obj", false,
         FileRefusal::ReadOnly, "ro.obj", 0444, ""},
        {"link to a read-only file",
         [](const fs::path& d) {
             writeText(d / "ro.obj", "old", 0444);
             fs::create_symlink("ro.obj", d / "link.obj");
         },
         "link.obj", false, FileRefusal::ReadOnly, "ro.obj", 0444, ""},
        {"FIFO", [](const fs::path& d) { ::mkfifo((d / "pipe").c_str(), 0644); }, "pipe", false,
         FileRefusal::NotRegular, "", 0, ""},
        {"folder", [](const fs::path& d) { fs::create_directories(d / "folder.obj"); }, "folder.obj", false,
         FileRefusal::NotRegular, "", 0, ""},
        {"missing folder", [](const fs::path&) {}, "nowhere/x.obj", false, FileRefusal::Missing, "", 0, ""},
        {"name as long as names go", [](const fs::path&) {}, longName, true, FileRefusal::None, longName,
         0644, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        c.arrange(dir);
        const std::set<std::string> before = namesIn(dir);
        const ino_t inode = c.readAt.empty() ? 0 : inodeOf(dir / c.readAt);
        const std::string old = c.readAt.empty() ? "" : readText(dir / c.readAt);

        FileRefusal why = FileRefusal::Failed;
        EXPECT_EQ(replaceWhole((dir / c.writeTo).string(), "new content", why), c.written);
        EXPECT_EQ(why, c.why);
        if (!c.readAt.empty()) {
            EXPECT_EQ(readText(dir / c.readAt), c.written ? "new content" : old);
            EXPECT_EQ(modeOf(dir / c.readAt), c.mode);
            EXPECT_FALSE(fs::is_symlink(dir / c.readAt));
        }
        if (!c.alsoAt.empty()) {
            EXPECT_EQ(readText(dir / c.alsoAt), "new content");
        }
        if (c.inPlace) {
            EXPECT_EQ(inodeOf(dir / c.readAt), inode);
        }
        // Written through a link, the link stays one.
        if (c.written && c.writeTo != c.readAt) {
            EXPECT_TRUE(fs::is_symlink(dir / c.writeTo));
        }
        // Nothing but the file written is new in the folder.
        std::set<std::string> expected = before;
        if (c.written) expected.insert(c.readAt);
        EXPECT_EQ(namesIn(dir), expected);
    }
}

TEST_F(SafeFileTest, NothingIsVisibleUntilCommittedAndADiscardLeavesNothing) {
    writeText(dir / "keep.obj", "old");
    for (const bool commit : {false, true}) {
        ReplacingFile out;
        FileRefusal why;
        ASSERT_TRUE(replacingOpen(out, (dir / "keep.obj").string(), why));
        ASSERT_GE(std::fputs("half", out.file), 0);
        ASSERT_EQ(std::fflush(out.file), 0);
        // A process killed now leaves the folder as it was.
        EXPECT_EQ(namesIn(dir), std::set<std::string>{"keep.obj"});
        EXPECT_EQ(readText(dir / "keep.obj"), "old");
        // The writer may go back and rewrite what it wrote.
        ASSERT_EQ(std::fseek(out.file, 0, SEEK_SET), 0);
        std::fputs("whole", out.file);
        if (commit) {
            EXPECT_TRUE(replacingCommit(out));
        } else {
            replacingDiscard(out);
        }
        EXPECT_EQ(out.file, nullptr);
        EXPECT_EQ(readText(dir / "keep.obj"), commit ? "whole" : "old");
        EXPECT_EQ(namesIn(dir), std::set<std::string>{"keep.obj"});
    }
}

TEST_F(SafeFileTest, ReadingTakesRegularFilesOnlyAndNeverWaits) {
    writeText(dir / "file.obj", "text");
    fs::create_symlink("file.obj", dir / "link.obj");
    fs::create_symlink("gone.obj", dir / "dangling.obj");
    fs::create_directories(dir / "folder.obj");
    ASSERT_EQ(::mkfifo((dir / "pipe.obj").c_str(), 0644), 0);
    const struct {
        std::string path;
        FileRefusal why;
        const char* message; // what a reader says of the refusal
    } cases[] = {
        {(dir / "file.obj").string(), FileRefusal::None, ""},
        {(dir / "link.obj").string(), FileRefusal::None, ""},
        {(dir / "missing.obj").string(), FileRefusal::Missing, "Error: file 'missing.obj' not found"},
        {(dir / "nowhere" / "x.obj").string(), FileRefusal::Missing, "Error: file 'x.obj' not found"},
        {(dir / "dangling.obj").string(), FileRefusal::Missing, "Error: file 'dangling.obj' not found"},
        {(dir / "folder.obj").string(), FileRefusal::Folder, "Error: 'folder.obj' is a folder"},
        // Nobody writes into the pipe: opening it for reading would wait for ever.
        {(dir / "pipe.obj").string(), FileRefusal::NotRegular, "Error: 'pipe.obj' is not a regular file"},
        {"/dev/null", FileRefusal::NotRegular, "Error: 'null' is not a regular file"},
    };
    for (const auto& c : cases) {
        FileRefusal why = FileRefusal::Failed;
        std::FILE* file = openForReading(c.path, why);
        EXPECT_EQ(why, c.why) << c.path;
        EXPECT_EQ(readRefusal(c.path), c.why) << c.path;
        if (c.why != FileRefusal::None) {
            EXPECT_EQ(readRefusalMessage(why, bareName(c.path)), c.message) << c.path;
        }
        EXPECT_EQ(file != nullptr, c.why == FileRefusal::None) << c.path;
        if (!file) continue;
        char text[8] = {};
        EXPECT_EQ(std::fread(text, 1, sizeof text, file), 4u);
        EXPECT_EQ(std::string(text), "text");
        std::fclose(file);
    }
}

// A whole file or nothing; a longer one gives its start, so that a reader can tell what it holds.
TEST_F(SafeFileTest, ReadingWholeKeepsToTheLimitAndTellsAShortRead) {
    std::string big; // more than one block
    for (int i = 0; i < 4000; ++i) big += "0123456789";
    writeText(dir / "four", "text");
    writeText(dir / "big", big);
    writeText(dir / "empty", "");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    // A system file that says it is 4096 bytes long and reads a few: not the whole of it.
    const fs::path shortFile = "/sys/devices/system/cpu/online";
    std::error_code error;
    const bool shortRead = fs::file_size(shortFile, error) == 4096 && !error;
    const struct {
        fs::path path;
        std::size_t limit;
        FileRefusal why;
        std::string content;
        const char* message;
    } cases[] = {
        {dir / "four", 4, FileRefusal::None, "text", ""},
        {dir / "four", NO_READ_LIMIT, FileRefusal::None, "text", ""},
        {dir / "four", 3, FileRefusal::TooLarge, "tex", "Error: cannot allocate buffer to read file 'four'"},
        {dir / "empty", 0, FileRefusal::None, "", ""},
        {dir / "big", big.size(), FileRefusal::None, big, ""},
        {dir / "big", big.size() - 1, FileRefusal::TooLarge, big.substr(0, big.size() - 1), ""},
        {dir / "pipe", NO_READ_LIMIT, FileRefusal::NotRegular, "", "Error: 'pipe' is not a regular file"},
        {dir / "gone", NO_READ_LIMIT, FileRefusal::Missing, "", "Error: file 'gone' not found"},
        {shortFile, NO_READ_LIMIT, FileRefusal::Failed, "", "Error: cannot read file 'online'"},
    };
    for (const auto& c : cases) {
        if (c.path == shortFile && !shortRead) continue;
        std::string content = "stale";
        FileRefusal why = FileRefusal::None;
        EXPECT_EQ(readWhole(c.path.string(), c.limit, content, why), c.why == FileRefusal::None) << c.path;
        EXPECT_EQ(why, c.why) << c.path << " " << c.limit;
        EXPECT_EQ(content, c.content) << c.path << " " << c.limit;
        if (*c.message) {
            EXPECT_EQ(readRefusalMessage(why, bareName(c.path.string())), c.message);
        }
    }
}

// What is there is asked of the system; a name in /dev is a device's, there or not.
TEST_F(SafeFileTest, SpecialNamesAreDevicesFoldersPipesAndNamesInDev) {
    writeText(dir / "file", "text");
    EXPECT_FALSE(namesSpecialFile((dir / "file").string()));
    EXPECT_FALSE(namesSpecialFile((dir / "missing").string()));
    EXPECT_TRUE(namesSpecialFile(dir.string()));
    EXPECT_TRUE(namesSpecialFile("/dev/orv-no-such-device"));
}

// A small file system of its own, where one is allowed to mount one.
class FullDiskTest : public SafeFileTest {
  protected:
    void SetUp() override {
        SafeFileTest::SetUp();
        disk = dir / "disk";
        fs::create_directories(disk);
        if (::mount("orvtest", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "no tmpfs may be mounted here";
        mounted = true;
    }
    void TearDown() override {
        if (mounted) ::umount2(disk.c_str(), MNT_DETACH);
        SafeFileTest::TearDown();
    }
    fs::path disk;
    bool mounted = false;
};

TEST_F(FullDiskTest, AFullDiskKeepsTheOldContentAndLeavesNothingBehind) {
    const std::string old(4096, 'o');
    const struct {
        const char* what;
        bool hardLinked;
        std::size_t size; // of the new content
    } cases[] = {
        // The new content does not fit at all.
        {"too large", false, 100 * 1024},
        // The complete copy fits beside the old file, but rewriting the hard-linked file in place would
        // need as much again.
        {"hard link, room for one copy only", true, 40 * 1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : fs::directory_iterator(disk)) fs::remove(entry.path());
        writeText(disk / "file.obj", old);
        if (c.hardLinked) fs::create_hard_link(disk / "file.obj", disk / "other.obj");
        const std::set<std::string> before = namesIn(disk);
        FileRefusal why = FileRefusal::None;
        EXPECT_FALSE(replaceWhole((disk / "file.obj").string(), std::string(c.size, 'n'), why));
        EXPECT_EQ(why, FileRefusal::Failed);
        EXPECT_TRUE(readText(disk / "file.obj") == old) << "the old content is kept whole";
        EXPECT_EQ(namesIn(disk), before);
    }
}

} // namespace
} // namespace orv
