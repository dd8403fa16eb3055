// The program's tests run against one main window, made by the real start-up on Qt's offscreen
// platform.
#include "control/startup.h"
#include "program/program_fixture.h"

#include "settings/settings.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no window.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    orv::prepareOutput();
    QApplication application(argc, argv);
    orv::test::startModalDriver();
    orv::startUp();
    orv::test::recordStartUpSettings();
    // Whatever the tests make the program save goes to a folder of their own.
    QTemporaryDir settingsFolder;
    orv::settings.settingsPath = QDir(settingsFolder.path()).filePath("orv.ini").toStdString();
    orv::test::recordStartUp();
    orv::test::startEachTestAfresh();
    return RUN_ALL_TESTS();
}
