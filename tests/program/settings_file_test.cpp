#include "control/startup.h"
#include "program/program_fixture.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace orv {
namespace {

// The user's configuration folder pointed at a folder of the test's own.
class ConfigHome {
  public:
    ConfigHome() {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old) saved = old;
        hadOld = old != nullptr;
        qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath("config").toLocal8Bit());
    }
    ~ConfigHome() {
        if (hadOld)
            qputenv("XDG_CONFIG_HOME", saved.c_str());
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    QString path(const char* name) const { return QDir(home.path()).filePath(name); }

  private:
    QTemporaryDir home;
    std::string saved;
    bool hadOld = false;
};

// What the real start-up gave a program with no settings file beside it.
TEST(SettingsFileTest, AFirstStartHasTheDefaults) {
    const test::StartUpRecord& s = test::startUpState;
    const QString programFolder = QCoreApplication::applicationDirPath();
    ASSERT_EQ(QString::fromStdString(s.settingsPath), QDir(programFolder).filePath("orv.ini"));
    if (s.settingsFileFound) GTEST_SKIP() << "a settings file beside the test program was read";
    EXPECT_EQ(s.currFileDir, programFolder.toStdString() + "/");
    EXPECT_EQ(s.currFileObj, "");
    EXPECT_EQ(s.currFileMid, "");
    EXPECT_EQ(s.saveAddrStart, "0000");
    EXPECT_EQ(s.saveAddrEnd, "00FF");
    EXPECT_EQ(s.menu, 1);
    EXPECT_EQ(s.keys, 1);
    EXPECT_EQ(s.mute, 0);
    EXPECT_EQ(s.diag, 0);
    EXPECT_EQ(s.debug, 0);
    EXPECT_EQ(s.debugM, 0);
    EXPECT_EQ(s.debugG, 0);
    EXPECT_EQ(s.debugP, 0);
    EXPECT_EQ(s.breakpoint, 0);
}

TEST(SettingsFileTest, BesideTheProgramWhereItsFolderTakesFiles) {
    ConfigHome config;
    QTemporaryDir program;
    ASSERT_TRUE(program.isValid());
    EXPECT_EQ(QString::fromStdString(settingsFileFor(program.path())),
              QDir(program.path()).filePath("orv.ini"));
    // The probe leaves nothing behind.
    EXPECT_TRUE(QDir(program.path()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(config.path("config/orvane")));
}

TEST(SettingsFileTest, InTheUserConfigurationWhereTheProgramFolderIsReadOnly) {
    ConfigHome config;
    QTemporaryDir program;
    ASSERT_TRUE(program.isValid());
    // Root writes into read-only folders; a folder nobody can create files in stands in for it then.
    QString folder = program.path();
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    if (geteuid() == 0) folder = "/proc";

    const std::string path = settingsFileFor(folder);
    QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(QString::fromStdString(path), config.path("config/orvane/orv.ini"));
    EXPECT_TRUE(QFileInfo(config.path("config/orvane")).isDir());

    // The settings go there and come back.
    const std::string savedPath = settings.settingsPath;
    const WindowRect savedRect = settings.windowRect;
    settings.settingsPath = path;
    settings.debugP = 0x1234;
    saveSettings();
    settings.debugP = 0;
    loadSettings();
    EXPECT_EQ(settings.debugP, 0x1234);
    settings.settingsPath = savedPath;
    settings.windowRect = savedRect;
    settings.debugP = 0;
}

} // namespace
} // namespace orv
