#include "base/run_inputs.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "support/file_io.h"
#include "support/settings_defaults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::readText;
using test::writeText;

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Where the settings file lives, and what it is: the settings reach the file the user keeps.
class SettingsFileKindsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("orv_settings_file_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        savedPath = settings.settingsPath;
        savedSeed = settings.settingsSeedPath;
        savedFlags = {switches.menu, switches.keys, runInputs.debug, runInputs.mute, runInputs.diag};
        settings.settingsPath = (dir / "orv.ini").string();
        settings.settingsSeedPath.clear();
        test::settingsStartDefaults();
    }
    void TearDown() override {
        settings.settingsPath = savedPath;
        settings.settingsSeedPath = savedSeed;
        switches.menu = savedFlags[0];
        switches.keys = savedFlags[1];
        runInputs.debug = savedFlags[2];
        runInputs.mute = savedFlags[3];
        runInputs.diag = savedFlags[4];
        settings.debugM = settings.debugG = settings.debugP = 0;
        fs::remove_all(dir);
    }
    fs::path dir;
    std::string savedPath, savedSeed;
    std::array<std::uint8_t, 5> savedFlags{};
};

TEST_F(SettingsFileKindsTest, WrittenThroughLinksNeverOverAReadOnlyFile) {
    const std::string old = "[Debug]\ndebugP=0abc\n";
    const struct {
        const char* what;
        std::function<void(const fs::path&)> arrange; // makes orv.ini
        const char* keptAt;                           // the file that holds the settings afterwards
        mode_t mode;                                  // its mode afterwards
        bool written;
    } cases[] = {
        {"plain file", [&](const fs::path& d) { writeText(d / "orv.ini", old, 0640); }, "orv.ini", 0640,
         true},
        {"link to a file kept elsewhere",
         [&](const fs::path& d) {
             fs::create_directories(d / "keep");
             writeText(d / "keep" / "mine.ini", old, 0600);
             fs::create_symlink("keep/mine.ini", d / "orv.ini");
         },
         "keep/mine.ini", 0600, true},
        {"hard link",
         [&](const fs::path& d) {
             writeText(d / "other.ini", old, 0644);
             fs::create_hard_link(d / "other.ini", d / "orv.ini");
         },
         "other.ini", 0644, true},
        {"read-only file", [&](const fs::path& d) { writeText(d / "orv.ini", old, 0444); }, "orv.ini", 0444,
         false},
        {"link to a read-only file",
         [&](const fs::path& d) {
             writeText(d / "ro.ini", old, 0444);
             fs::create_symlink("ro.ini", d / "orv.ini");
         },
         "ro.ini", 0444, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        c.arrange(dir);
        loadSettings();
        EXPECT_EQ(settings.debugP, 0x0abc);
        settings.debugP = 0x1234;
        saveSettings();
        const std::string after = readText(dir / c.keptAt);
        EXPECT_EQ(after.find("debugP=1234") != std::string::npos, c.written) << after;
        if (!c.written) {
            EXPECT_EQ(after, old);
        }
        EXPECT_EQ(modeOf(dir / c.keptAt), c.mode);
        // The next start reads what was kept.
        loadSettings();
        EXPECT_EQ(settings.debugP, c.written ? 0x1234 : 0x0abc);
    }
}

TEST_F(SettingsFileKindsTest, TheUsersFileStartsFromTheOneBesideTheProgram) {
    fs::create_directories(dir / "program");
    fs::create_directories(dir / "user");
    settings.settingsSeedPath = (dir / "program" / "orv.ini").string();
    settings.settingsPath = (dir / "user" / "orv.ini").string();
    const std::string seed = "[User]\nmenu=0\ndiag=1\n[Debug]\ndebugP=0200\n[Extra]\nown=kept\n";
    writeText(settings.settingsSeedPath, seed, 0444);

    loadSettings();
    EXPECT_EQ(switches.menu, 0);
    EXPECT_EQ(runInputs.diag, 1);
    EXPECT_EQ(settings.debugP, 0x0200);

    settings.debugM = 0x0300;
    saveSettings();
    EXPECT_EQ(readText(settings.settingsSeedPath), seed);
    const std::string user = readText(settings.settingsPath);
    for (const char* line : {"menu=0\n", "diag=1\n", "debugP=0200\n", "debugM=0300\n", "[Extra]\nown=kept\n"})
        EXPECT_NE(user.find(line), std::string::npos) << line << " in\n" << user;

    // From now on the user's own file counts, whatever becomes of the other one.
    writeText(settings.settingsSeedPath, "[Debug]\ndebugP=0999\n", 0644);
    loadSettings();
    EXPECT_EQ(settings.debugP, 0x0200);
    EXPECT_EQ(settings.debugM, 0x0300);
    runInputs.diag = 0;
}

} // namespace
} // namespace orv
