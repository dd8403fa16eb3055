#include "base/run_inputs.h"
#include "settings/flags.h"
#include "settings/profile.h"
#include "settings/settings.h"
#include "support/file_io.h"
#include "support/settings_defaults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::readText;
using test::writeText;

// Unique per process: the same tests may run in several builds at once.
fs::path scratchPath(const std::string& name) {
    return fs::temp_directory_path() / ("orv_" + std::to_string(::getpid()) + "_" + name);
}

std::vector<std::string> readLines(const fs::path& path) {
    std::vector<std::string> lines;
    std::istringstream in(readText(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = scratchPath("settings_" +
                          std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ini = dir / "orv.ini";
        saved = {switches.menu, switches.keys, runInputs.debug, runInputs.mute, runInputs.diag};
        settings.settingsPath = ini.string();
        test::settingsStartDefaults();
    }
    void TearDown() override {
        fs::remove_all(dir);
        switches.menu = saved[0];
        switches.keys = saved[1];
        runInputs.debug = saved[2];
        runInputs.mute = saved[3];
        runInputs.diag = saved[4];
    }
    fs::path dir;
    fs::path ini;
    std::array<std::uint8_t, 5> saved{};
};

TEST_F(SettingsTest, DebuggerAddressesConvertPairByPair) {
    const struct {
        const char* value;
        std::uint16_t expected;
    } cases[] = {
        {"12", 0x1200},   {"1", 0x0000},    {"abcd", 0xABCD},     {"ABCD", 0xABCD},        {"12345", 0x1234},
        {"12G4", 0x1200}, {"G012", 0x0012}, {"", 0x0000},         {"ffff", 0xFFFF},        {" 0a0b ", 0x0A0B},
        {"123", 0x1200},  {"x", 0x0000},    {"\t0a0b\t", 0x0A0B}, {" \t 0c0d\t ", 0x0C0D},
    };
    for (const auto& c : cases) {
        writeText(ini, std::string("[Debug]\ndebugM=") + c.value + "\ndebugG=" + c.value + "\n");
        settings.debugP = 0x7777;
        loadSettings();
        EXPECT_EQ(settings.debugM, c.expected) << c.value;
        EXPECT_EQ(settings.debugG, c.expected) << c.value;
        EXPECT_EQ(settings.debugP, 0) << "missing reads 0000";
    }
}

TEST_F(SettingsTest, LabelFileNamesSurviveWhateverTheyHoldAndTheOlderKeyIsStillRead) {
    const std::vector<std::string> names = {"/p/a;b", "/p/line\nbreak", "/p/100%41", "/p/blank ",
                                            "/p/\r\x7f\xff"};
    debuggerSettings = {};
    debuggerSettings.present = true;
    debuggerSettings.labelFiles = names;
    saveSettings();
    debuggerSettings = {};
    loadSettings();
    EXPECT_EQ(debuggerSettings.labelFiles, names);
    EXPECT_EQ(profileReadString(ini.string(), "Debugger", "labels", "", 4096),
              "/p/100%41"); // the names it can hold
    writeText(ini, "[Debugger]\nopen=0\nlabels=/a/x.lbl;;/b/y%41.lbl\n");
    loadSettings();
    EXPECT_EQ(debuggerSettings.labelFiles, (std::vector<std::string>{"/a/x.lbl", "/b/y%41.lbl"}));
    debuggerSettings = {};
}

TEST_F(SettingsTest, SavedPlaceIsValidated) {
    const struct {
        const char* screen;
        std::int32_t left;
    } cases[] = {
        {"mainLeft=5\nmainTop=5\nmainRight=405\nmainBottom=305\n", 5},
        {"mainLeft=1910\nmainTop=1070\nmainRight=2000\nmainBottom=1200\n", 1910},
        {"mainLeft=1911\nmainTop=5\nmainRight=2000\nmainBottom=305\n", -1},
        {"mainLeft=5\nmainTop=1071\nmainRight=405\nmainBottom=1200\n", -1},
        {"mainLeft=-32000\nmainTop=-32000\nmainRight=-31840\nmainBottom=-31970\n", -1},
        {"mainLeft=0\nmainTop=0\nmainRight=0\nmainBottom=0\n", 0},
        {"mainLeft=5\nmainTop=5\nmainRight=-1\nmainBottom=305\n", -1},
        {"mainLeft=5\nmainTop=5\nmainRight=405\nmainBottom=-2\n", -1},
        {"mainLeft=5\nmainTop=5\nmainRight=405\n", -1},
        {"mainTop=5\nmainRight=405\nmainBottom=305\n", -1},
        {"mainLeft=500\nmainTop=5\nmainRight=100\nmainBottom=2\n", 500},
        {"mainLeft=99999999999\nmainTop=5\nmainRight=405\nmainBottom=305\n", -1},
    };
    for (const auto& c : cases) {
        writeText(ini, std::string("[Screen]\n") + c.screen);
        loadSettings();
        EXPECT_EQ(settings.windowRect.left, c.left) << c.screen;
    }
    writeText(ini, "[Screen]\nmainLeft=5\nmainTop=6\nmainRight=405\nmainBottom=306\n");
    loadSettings();
    EXPECT_EQ(settings.windowRect.left, 5);
    EXPECT_EQ(settings.windowRect.top, 6);
    EXPECT_EQ(settings.windowRect.right, 405);
    EXPECT_EQ(settings.windowRect.bottom, 306);
}

TEST_F(SettingsTest, NoFileGivesDefaults) {
    // Nothing here looks like a default, so each value below comes from the reading.
    settings.windowRect = {5, 5, 405, 305};
    settings.currFileDir = "/start/dir/";
    settings.currFileObj = "start.obj";
    settings.currFileMid = "start.mid";
    settings.saveAddrStart = "0123";
    settings.saveAddrEnd = "0456";
    switches.menu = switches.keys = runInputs.debug = runInputs.mute = runInputs.diag = 9;
    settings.debugM = settings.debugG = settings.debugP = 0x7777;
    loadSettings();
    EXPECT_EQ(settings.windowRect.left, -1);
    // A missing text keeps what start-up put there.
    EXPECT_EQ(settings.currFileDir, "/start/dir/");
    EXPECT_EQ(settings.currFileObj, "start.obj");
    EXPECT_EQ(settings.currFileMid, "start.mid");
    EXPECT_EQ(settings.saveAddrStart, "0123");
    EXPECT_EQ(settings.saveAddrEnd, "0456");
    EXPECT_EQ(switches.menu, 1);
    EXPECT_EQ(switches.keys, 1);
    EXPECT_EQ(runInputs.mute, 0);
    EXPECT_EQ(runInputs.diag, 0);
    EXPECT_EQ(runInputs.debug, 0);
    EXPECT_EQ(settings.debugM, 0);
    EXPECT_EQ(settings.debugG, 0);
    EXPECT_EQ(settings.debugP, 0);
    EXPECT_FALSE(fs::exists(ini)) << "reading never creates the file";
}

TEST_F(SettingsTest, DiagIsReadButNeverWritten) {
    writeText(ini, "[User]\ndiag=1\nmenu=0\n");
    loadSettings();
    EXPECT_EQ(runInputs.diag, 1);
    EXPECT_EQ(switches.menu, 0);
    saveSettings();
    const auto lines = readLines(ini);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "diag=1"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "menu=0"), 1);

    fs::remove(ini);
    runInputs.diag = 1;
    saveSettings();
    EXPECT_EQ(readText(ini).find("diag"), std::string::npos);
}

TEST_F(SettingsTest, FirstRunFileLineForLine) {
    // Start-up's texts for a program in /opt/orv/; the switches and addresses as a missing file leaves them.
    settings.currFileDir = "/opt/orv/";
    settings.currFileObj.clear();
    settings.currFileMid.clear();
    settings.saveAddrStart = "0000";
    settings.saveAddrEnd = "00FF";
    switches.menu = switches.keys = runInputs.debug = runInputs.mute = 9;
    settings.debugM = settings.debugG = settings.debugP = 0x7777;
    loadSettings();
    settings.windowRect = {100, 50, 900, 650};
    saveSettings();
    const std::vector<std::string> expected = {
        "[User]",
        "currFileDir=/opt/orv/",
        "currFileObj=",
        "currFileMid=",
        "saveAddrStart=0000",
        "saveAddrEnd=00FF",
        "menu=1",
        "keys=1",
        "mute=0",
        "[Screen]",
        "mainLeft=100",
        "mainTop=50",
        "mainRight=900",
        "mainBottom=650",
        "[Debug]",
        "debug=0",
        "debugM=0000",
        "debugG=0000",
        "debugP=0000",
    };
    EXPECT_EQ(readLines(ini), expected);
}

TEST_F(SettingsTest, RoundTrip) {
    settings.windowRect = {5, 5, 405, 305};
    settings.currFileDir = "/home/me/work/";
    settings.currFileObj = "prog.obj";
    settings.currFileMid = "tune.mid";
    settings.saveAddrStart = "0200";
    settings.saveAddrEnd = "03ff";
    switches.menu = 0;
    switches.keys = 0;
    runInputs.mute = 7; // any non-zero is on
    runInputs.debug = 1;
    settings.debugM = 0x0200;
    settings.debugG = 0xFE00;
    settings.debugP = 0xABCD;
    saveSettings();
    EXPECT_EQ(readLines(ini)[8], "mute=1");
    EXPECT_EQ(readLines(ini)[18], "debugP=abcd");

    settings.windowRect = {-1, 0, 0, 0};
    settings.currFileDir = settings.currFileObj = settings.currFileMid = "";
    settings.saveAddrStart = settings.saveAddrEnd = "";
    switches.menu = switches.keys = 1;
    runInputs.mute = runInputs.debug = 0;
    settings.debugM = settings.debugG = settings.debugP = 0;
    loadSettings();
    EXPECT_EQ(settings.windowRect.left, 5);
    EXPECT_EQ(settings.windowRect.bottom, 305);
    EXPECT_EQ(settings.currFileDir, "/home/me/work/");
    EXPECT_EQ(settings.currFileObj, "prog.obj");
    EXPECT_EQ(settings.currFileMid, "tune.mid");
    EXPECT_EQ(settings.saveAddrStart, "0200");
    EXPECT_EQ(settings.saveAddrEnd, "03ff");
    EXPECT_EQ(switches.menu, 0);
    EXPECT_EQ(switches.keys, 0);
    EXPECT_EQ(runInputs.mute, 1);
    EXPECT_EQ(runInputs.debug, 1);
    EXPECT_EQ(settings.debugM, 0x0200);
    EXPECT_EQ(settings.debugG, 0xFE00);
    EXPECT_EQ(settings.debugP, 0xABCD);

    // A second save replaces every value in place.
    const auto before = readLines(ini);
    saveSettings();
    EXPECT_EQ(readLines(ini), before);
}

TEST_F(SettingsTest, PartialWritesTouchOnlyTheirSection) {
    settings.windowRect = {1, 2, 3, 4};
    saveScreenSettings();
    EXPECT_EQ(readLines(ini), (std::vector<std::string>{"[Screen]", "mainLeft=1", "mainTop=2", "mainRight=3",
                                                        "mainBottom=4"}));
    settings.saveAddrStart = "0300";
    saveUserSettings();
    const auto lines = readLines(ini);
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[5], "[User]");
    EXPECT_EQ(lines[9], "saveAddrStart=0300");
}

TEST_F(SettingsTest, JunkLinesAreSkippedAndKept) {
    writeText(ini, "junk before any section\n"
                   "currFileObj=outside.obj\n"
                   "\n"
                   "; a comment\n"
                   "[ user ]\n"
                   "this line has no equals\n"
                   "  CURRFILEOBJ =  prog.obj  \n"
                   "currFileObj=second.obj\n"
                   "Menu=0x1\n"
                   "keys=abc\n"
                   "mute=  -0\n"
                   "saveAddrEnd=0123456\n"
                   "[Debug\n"
                   "[DEBUG]\n"
                   "debugp=fe00\r\n"
                   "debug=1 trailing\n");
    loadSettings();
    EXPECT_EQ(settings.currFileObj, "prog.obj");
    EXPECT_EQ(switches.menu, 0);
    EXPECT_EQ(switches.keys, 0);
    EXPECT_EQ(runInputs.mute, 0);
    EXPECT_EQ(settings.saveAddrEnd, "0123");
    EXPECT_EQ(settings.debugP, 0xFE00);
    EXPECT_EQ(runInputs.debug, 1);
    saveSettings();
    const auto lines = readLines(ini);
    EXPECT_EQ(lines[0], "junk before any section");
    EXPECT_EQ(lines[5], "this line has no equals");
    EXPECT_EQ(lines[6], "currFileObj=prog.obj");
    EXPECT_EQ(lines[7], "currFileObj=second.obj");
}

TEST(ProfileTest, Integers) {
    const fs::path ini = scratchPath("profile_int.ini");
    writeText(ini, "[S]\na= 42 \nb=-7\nc=12abc\nd=abc\ne=+5\nf=\ng=4294967297\nh=-2147483648\n"
                   "\ti\t=\t-42\t\n \t j \t= \t 7 \t\n");
    const struct {
        const char* key;
        std::int32_t expected;
    } cases[] = {{"a", 42}, {"b", -7},        {"c", 12},  {"d", 0}, {"e", 5},        {"f", 0},
                 {"g", 1},  {"h", INT32_MIN}, {"i", -42}, {"j", 7}, {"missing", -99}};
    for (const auto& c : cases) EXPECT_EQ(profileReadInt(ini.string(), "s", c.key, -99), c.expected) << c.key;
    EXPECT_EQ(profileReadInt(ini.string(), "T", "a", 3), 3);
    EXPECT_EQ(profileReadInt((ini.string() + ".none"), "S", "a", 3), 3);
    fs::remove(ini);
}

TEST(ProfileTest, WritesPlaceKeysAndSections) {
    const fs::path ini = scratchPath("profile_write.ini");
    writeText(ini, "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    EXPECT_TRUE(profileWriteString(ini.string(), "a", "X", "10"));
    EXPECT_TRUE(profileWriteString(ini.string(), "A", "z", "3"));
    EXPECT_TRUE(profileWriteString(ini.string(), "C", "w", "4"));
    EXPECT_TRUE(profileWriteString(ini.string(), "B", "v", "line\nbreak"));
    EXPECT_EQ(readText(ini), "[A]\r\nX=10\r\nz=3\r\n\r\n[B]\r\ny=2\r\nv=line\r\n[C]\r\nw=4\r\n");
    fs::remove(ini);
}

TEST(ProfileTest, FailedWritesLeaveNothingBehind) {
    const fs::path dir = scratchPath("profile_fail");
    fs::remove_all(dir);
    fs::create_directories(dir / "orv.ini");
    EXPECT_FALSE(profileWriteString((dir / "orv.ini").string(), "S", "k", "v"));
    EXPECT_FALSE(profileWriteString((dir / "missing" / "orv.ini").string(), "S", "k", "v"));
    EXPECT_TRUE(fs::is_directory(dir / "orv.ini"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}

} // namespace
} // namespace orv
