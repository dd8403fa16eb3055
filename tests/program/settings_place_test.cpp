// Where start-up puts the settings of a program that cannot write its own folder, and what it reads.
#include "control/startup.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

class SettingsPlaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.isValid());
        saved = {settings.settingsPath, settings.settingsSeedPath, settings.currFileDir};
        savedDebugP = settings.debugP;
        savedConfig = qgetenv("XDG_CONFIG_HOME");
        hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(inScratch("config")));
        ASSERT_TRUE(QDir().mkpath(inScratch("program")));
    }
    void TearDown() override {
        if (mounted) ::umount2(QFile::encodeName(inScratch("program")).constData(), MNT_DETACH);
        QFile::setPermissions(inScratch("program"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        settings.settingsPath = saved[0];
        settings.settingsSeedPath = saved[1];
        settings.currFileDir = saved[2];
        settings.debugP = savedDebugP;
        if (hadConfig)
            qputenv("XDG_CONFIG_HOME", savedConfig);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    QString inScratch(const QString& name) const { return QDir(scratch.path()).filePath(name); }

    // The program folder with an orv.ini in it, then made so that nobody can write there: read-only
    // for a user, a read-only file system for root, who writes anywhere else.
    bool readOnlyProgramFolder(const QByteArray& settings) {
        const QByteArray folder = QFile::encodeName(inScratch("program"));
        if (::geteuid() == 0) {
            if (::mount("orvtest", folder.constData(), "tmpfs", 0, "size=64k") != 0) return false;
            mounted = true;
        }
        QFile file(inScratch("program/orv.ini"));
        if (!file.open(QIODevice::WriteOnly) || file.write(settings) != settings.size()) return false;
        file.close();
        if (mounted)
            return ::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
        return QFile::setPermissions(inScratch("program"), QFile::ReadOwner | QFile::ExeOwner);
    }

    QTemporaryDir scratch;
    std::array<std::string, 3> saved;
    std::uint16_t savedDebugP = 0;
    QByteArray savedConfig;
    bool hadConfig = false;
    bool mounted = false;
};

TEST_F(SettingsPlaceTest, TheSettingsBesideAReadOnlyProgramAreWhereTheUsersOwnBegin) {
    // A folder that takes files keeps them itself.
    placeSettings(inScratch("program"));
    EXPECT_EQ(QString::fromStdString(settings.settingsPath), inScratch("program/orv.ini"));
    EXPECT_EQ(settings.settingsSeedPath, "");
    EXPECT_EQ(QString::fromStdString(settings.currFileDir), inScratch("program") + "/");

    if (!readOnlyProgramFolder("[Debug]\ndebugP=0280\n"))
        GTEST_SKIP() << "no read-only folder can be made here";
    placeSettings(inScratch("program"));
    EXPECT_EQ(QString::fromStdString(settings.settingsPath), inScratch("config/orvane/orv.ini"));
    EXPECT_EQ(QString::fromStdString(settings.settingsSeedPath), inScratch("program/orv.ini"));
    EXPECT_EQ(QString::fromStdString(settings.currFileDir), QDir::homePath() + "/");

    settings.debugP = 0;
    loadSettings();
    EXPECT_EQ(settings.debugP, 0x0280);
    saveSettings();
    QFile written(inScratch("config/orvane/orv.ini"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("debugP=0280"));
}

} // namespace
} // namespace orv
