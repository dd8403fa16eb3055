// The file dialogs of Load, Save As, Tape Record and Tape Play, and what the commands make of the names
// chosen in them.
#include "control/commands.h"
#include "debugger/debugger_window.h"
#include "machine/bus.h"
#include "program/program_fixture.h"
#include "settings/settings.h"
#include "support/file_io.h"
#include "tape/tape.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

using test::boxes;
using test::ModalAction;
using test::ModalScript;
using test::writeText;

// Chooses the path in the file dialog as the Open or Save button would.
ModalAction choose(const QString& path) {
    return [path](QWidget* active) {
        auto* dialog = qobject_cast<QFileDialog*>(active);
        if (!dialog) return false;
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
        return true;
    };
}

class FileNamesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        boxes.clear();
        test::boxAnswers.clear();
        settings.currFileDir = QDir::toNativeSeparators(folder.path() + "/").toStdString();
        settings.currFileObj.clear();
        settings.currFileMid.clear();
    }
    void TearDown() override {
        test::boxAnswers.clear();
        std::string ignored;
        if (tape.tapeState != 0) tapeStop(ignored);
    }
    QString inFolder(const QString& name) const { return QDir(folder.path()).filePath(name); }

    QTemporaryDir folder;
};

TEST_F(FileNamesTest, ResultBoxesNameTheBareFileAndNothingButFilesIsOpened) {
    // Deep enough that the full path is far beyond 256 characters.
    const QString deep = inFolder(QString(120, 'd') + "/" + QString(120, 'e'));
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_TRUE(writeText((deep + "/good.obj").toStdString(), ":010320005587\r\n:00000001FF\r\n"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(inFolder("pipe.obj")).constData(), 0644), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(inFolder("pipe.mid")).constData(), 0644), 0);
    busWrite(0x0320, 0x00, 1);
    const struct {
        int command;
        QString chosen;
        const char* title;
        const char* text;
    } cases[] = {
        {CMD_LOAD, deep + "/missing.obj", "Error loading from file", "Error: file 'missing.obj' not found"},
        {CMD_LOAD, deep + "/good.obj", "Successful load", "One byte loaded from 'good.obj'"},
        // Nothing ever writes into the pipes: opening one to read would wait for ever.
        {CMD_LOAD, inFolder("pipe.obj"), "Error loading from file", "Error: file 'pipe.obj' not found"},
        // Play takes any name, like Load, and says itself what is wrong with it.
        {CMD_TAPE_PLAY, deep + "/missing.mid", "Cannot play this file",
         "Error: file 'missing.mid' could not be opened"},
        {CMD_TAPE_PLAY, inFolder("pipe.mid"), "Cannot play this file",
         "Error: file 'pipe.mid' could not be opened"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        boxes.clear();
        test::boxAnswers = {QMessageBox::Cancel};
        ModalScript script({choose(c.chosen)});
        onCommand(c.command);
        EXPECT_EQ(script.done(), 1u);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, c.title);
        EXPECT_EQ(boxes[0].text, c.text);
        // The folder and the bare name are remembered for the next dialog.
        const QFileInfo chosen(c.chosen);
        EXPECT_EQ(settings.currFileDir, QDir::toNativeSeparators(chosen.absolutePath() + "/").toStdString());
        EXPECT_EQ(c.command == CMD_LOAD ? settings.currFileObj : settings.currFileMid,
                  chosen.fileName().toStdString());
    }
    EXPECT_EQ(busRead(0x0320), 0x55);
    EXPECT_EQ(tape.tapeState, 0);
}

// The names of the files in the folder that were opened, from the watch's events so far.
std::set<std::string> openedIn(int watch) {
    std::set<std::string> names;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            // The folder's own listing comes without a name.
            if (event->len > 0) names.insert(event->name);
            at += sizeof(inotify_event) + event->len;
        }
    }
    return names;
}

TEST_F(FileNamesTest, TheFileDialogsListFilesWithoutReadingThem) {
    // A pipe nobody writes to, and a file whose unknown suffix would send a type guess to its content.
    ASSERT_EQ(::mkfifo(QFile::encodeName(inFolder("pipe.obj")).constData(), 0644), 0);
    ASSERT_TRUE(writeText(inFolder("report.zzq").toStdString(), "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n"));
    ASSERT_TRUE(writeText(inFolder("prog.obj").toStdString(), ":00000001FF\r\n"));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(folder.path()).constData(), IN_OPEN | IN_ACCESS),
              0);

    for (const int command : {CMD_LOAD, CMD_TAPE_PLAY}) {
        SCOPED_TRACE(command);
        std::vector<std::string> listed;
        std::string reportType;
        ModalScript script({[&](QWidget* active) {
            auto* dialog = qobject_cast<QFileDialog*>(active);
            if (!dialog) return false;
            dialog->selectNameFilter("All Files (*.*)");
            auto* model = dialog->findChild<QFileSystemModel*>();
            if (model) {
                const QModelIndex root = model->index(folder.path());
                test::settleUntil([&] { return model->rowCount(root) == 3; }, 20000);
                for (int row = 0; row < model->rowCount(root); ++row) {
                    const QModelIndex index = model->index(row, 0, root);
                    listed.push_back(model->fileName(index).toStdString());
                    if (listed.back() == "report.zzq") reportType = model->type(index).toStdString();
                }
            }
            dialog->reject();
            return true;
        }});
        onCommand(command);
        EXPECT_EQ(script.done(), 1u);
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, std::vector<std::string>({"pipe.obj", "prog.obj", "report.zzq"}));
        // Told by its name, not by what it holds.
        EXPECT_EQ(reportType, "ZZQ File");
        EXPECT_EQ(openedIn(watch), std::set<std::string>());
    }
    ::close(watch);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(FileNamesTest, EveryFileDialogListsPipesAndProcWithoutReadingAFile) {
    // Pipes nobody writes to, with every ending a dialog looks for, and a file whose unknown suffix would
    // send a type guess to its content.
    for (const char* name :
         {"pipe.obj", "pipe.mid", "pipe.bin", "pipe.png", "pipe.orvstate", "pipe.lbl", "pipe.txt"})
        ASSERT_EQ(::mkfifo(QFile::encodeName(inFolder(name)).constData(), 0644), 0);
    ASSERT_TRUE(writeText(inFolder("report.zzq").toStdString(), "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n"));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(folder.path()).constData(), IN_OPEN | IN_ACCESS),
              0);
    const auto debugger = [] {
        if (!debuggerWindowShown()) onCommand(CMD_DEBUGGER_WINDOW);
        test::settleUntil([] { return debuggerWindowShown(); }, 10000);
        return debuggerParts.debuggerWindow;
    };
    const struct {
        const char* name;
        std::function<void()> open;
    } dialogs[] = {
        {"Load", [] { onCommand(CMD_LOAD); }},
        {"Save As", [] { onCommand(CMD_SAVE_AS); }},
        {"Tape Play", [] { onCommand(CMD_TAPE_PLAY); }},
        {"Tape Record", [] { onCommand(CMD_TAPE_RECORD); }},
        {"Load Binary", [] { onCommand(CMD_LOAD_BINARY); }},
        {"Save Binary", [] { onCommand(CMD_SAVE_BINARY); }},
        {"Save Screenshot", [] { onCommand(CMD_SAVE_SCREENSHOT); }},
        {"Save State", [] { onCommand(CMD_SAVE_STATE); }},
        {"Load State", [] { onCommand(CMD_LOAD_STATE); }},
        {"Load Labels",
         [&] {
             for (QAction* action : debugger()->findChildren<QAction*>())
                 if (action->text() == "&Load Labels...") action->trigger();
         }},
        {"Export History",
         [&] {
             for (QPushButton* button : debugger()->findChildren<QPushButton*>())
                 if (button->text() == "&Export...") button->click();
         }},
    };
    for (const QString& start : {folder.path(), QString("/proc")}) {
        for (const auto& d : dialogs) {
            SCOPED_TRACE(std::string(d.name) + " in " + start.toStdString());
            settings.currFileDir = (start + "/").toStdString();
            int listed = 0;
            int fileDialogs = 0;
            test::ModalHandler handler([&](QWidget* active) {
                auto* dialog = qobject_cast<QFileDialog*>(active);
                if (!dialog) {
                    // The range asked before a save: its OK goes on to the file dialog.
                    auto* range = qobject_cast<QDialog*>(active);
                    if (!range) return false;
                    if (auto* ok = range->findChild<QPushButton*>("okButton")) ok->click();
                    range->reject();
                    return true;
                }
                ++fileDialogs;
                dialog->selectNameFilter(dialog->nameFilters().constLast());
                if (auto* model = dialog->findChild<QFileSystemModel*>()) {
                    const QModelIndex root = model->index(start);
                    test::settleUntil([&] { return model->rowCount(root) > 0; }, 20000);
                    for (int row = 0; row < model->rowCount(root); ++row) {
                        const QModelIndex index = model->index(row, 0, root);
                        model->type(index);
                        model->fileIcon(index);
                    }
                    listed = model->rowCount(root);
                }
                dialog->reject();
                return true;
            });
            d.open();
            EXPECT_EQ(fileDialogs, 1);
            EXPECT_GT(listed, 0);
            EXPECT_EQ(openedIn(watch), std::set<std::string>());
        }
    }
    ::close(watch);
    if (debuggerWindowShown()) debuggerParts.debuggerWindow->close();
    EXPECT_TRUE(boxes.empty());
}

} // namespace
} // namespace orv
