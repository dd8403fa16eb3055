#include "base/run_inputs.h"
#include "control/command_line.h"
#include "control/main_window.h"
#include "control/program_files.h"
#include "control/run_control.h"
#include "machine/bus.h"
#include "objfile/hex_record.h"
#include "program/program_fixture.h"
#include "settings/file_history.h"
#include "support/file_io.h"
#include "support/key_press.h"
#include "support/poke.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace orv {
namespace {

using test::boxes;
using test::Bytes;
using test::ModalScript;
using test::settleUntil;

constexpr int DEADLINE_MS = 10000;

// One Intel HEX data record and its line end.
std::string hexRecord(std::uint16_t address, const Bytes& bytes) {
    std::string line;
    appendHexRecord(line, address, HEX_DATA_RECORD, bytes.data(), bytes.size());
    return line;
}

// An object file holding the bytes at the address.
std::string objectText(std::uint16_t address, const Bytes& bytes) {
    return hexRecord(address, bytes) + ":00000001FF\r\n";
}

Bytes memoryAt(std::uint16_t address, std::size_t count) {
    Bytes bytes;
    for (std::size_t i = 0; i < count; ++i) bytes.push_back(busRead(static_cast<std::uint16_t>(address + i)));
    return bytes;
}

class ProgramFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        boxes.clear();
        test::boxAnswers.clear();
        haltRunning();
        if (fileHistory.reloadOnChange) toggleReloadOnChange();
        fileHistory.binaryAddress = DEFAULT_BINARY_ADDRESS;
        test::poke(0x0200, Bytes(0x200, 0x00));
        watchedReloads = {};
    }
    void TearDown() override {
        haltRunning();
        if (fileHistory.reloadOnChange) toggleReloadOnChange();
    }

    std::string path(const char* name) const { return QDir(folder.path()).filePath(name).toStdString(); }

    // A drag of the files over the window, then their drop, as a file manager makes them. False when the
    // window did not take the drag.
    bool drop(const std::vector<std::string>& names, bool filesToo = true) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& name : names)
            urls << QUrl::fromLocalFile(QString::fromStdString(path(name.c_str())));
        if (filesToo) data.setUrls(urls);
        data.setText("dropped");
        const QPoint inside(windowParts.mainWindow->width() / 2, windowParts.mainWindow->height() / 2);
        QDragEnterEvent enter(inside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(windowParts.mainWindow, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(inside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(windowParts.mainWindow, &dropped);
        return dropped.isAccepted();
    }

    // Loads the file as the command line does, with Reload when the file changes on.
    void openWatched(const char* name, std::optional<std::uint16_t> run,
                     ProgramFileKind kind = ProgramFileKind::Object, std::optional<std::uint16_t> at = {}) {
        StartRequest request;
        request.file = QString::fromStdString(path(name));
        request.kind = kind;
        request.run = run;
        request.at = at;
        std::string message;
        ASSERT_TRUE(openProgramFile(request, message)) << message;
        if (!fileHistory.reloadOnChange) toggleReloadOnChange();
    }

    QTemporaryDir folder;
};

TEST_F(ProgramFilesTest, TheCommandLinesFileIsFoundByItsBytesOrToldWhatItIs) {
    const QByteArray folderBytes = QFile::encodeName(folder.path()) + "/";
    const std::string inFolder = folderBytes.toStdString();
    ASSERT_TRUE(test::writeText(inFolder + "caf\xE9.obj", objectText(0x0210, {0x5A})));
    ASSERT_TRUE(test::writeText(inFolder + "\xFF\xFE.bin", "\xA5"));
    ASSERT_TRUE(QDir().mkpath(folder.path() + "/dir.obj") && QDir().mkpath(folder.path() + "/dir"));
    ASSERT_EQ(::mkfifo((inFolder + "pipe.obj").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((inFolder + "pipe.mid").c_str(), 0644), 0);
    const struct {
        std::vector<const char*> arguments; // the first is the file's name in the folder
        const char* mistake;                // the end of the command line's one line, when it refuses
        const char* message;                // the load's, when it fails
        std::uint16_t at;                   // the byte loaded there otherwise
        std::uint8_t byte;
    } cases[] = {
        {{"caf\xE9.obj"}, "", "", 0x0210, 0x5A},
        {{"\xFF\xFE.bin", "--at", "0220"}, "", "", 0x0220, 0xA5},
        {{"dir.obj"}, "dir.obj' is a folder", "", 0, 0},
        {{"dir", "--run", "0200"}, "dir' is a folder", "", 0, 0},
        {{"pipe.obj"}, "", "Error: 'pipe.obj' is not a regular file", 0, 0},
        {{"pipe.mid"}, "", "Error: 'pipe.mid' is not a regular file", 0, 0},
        {{"gone.obj"}, "", "Error: file 'gone.obj' not found", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        std::vector<std::string> argv = {"orv", inFolder + c.arguments[0]};
        argv.insert(argv.end(), c.arguments.begin() + 1, c.arguments.end());
        std::vector<const char*> pointers;
        for (const std::string& argument : argv) pointers.push_back(argument.c_str());
        const CommandLine line =
            parseCommandLine(argumentsOf(static_cast<int>(pointers.size()), pointers.data()));
        EXPECT_EQ(line.start, !*c.mistake);
        if (!line.start) {
            EXPECT_TRUE(line.error.startsWith("orv: '") && line.error.endsWith(c.mistake))
                << line.error.toStdString();
            continue;
        }
        std::string message;
        EXPECT_EQ(openProgramFile(line.request, message), !*c.message);
        EXPECT_EQ(message, c.message);
        if (c.at) {
            EXPECT_EQ(busRead(c.at), c.byte);
        }
    }
}

TEST_F(ProgramFilesTest, NamesKeepTheirBytesAsText) {
    const char* names[] = {"plain.obj",        "caf\xC3\xA9.obj",      "caf\xE9.obj", "\xED\xA0\x80",
                           "\xC0\xAF\xF5\x80", "\xF0\x9F\x98\x80\xE9", "\xE2\x82"};
    for (const char* name : names) {
        const QString text = nameText(QByteArray(name));
        EXPECT_EQ(nameBytes(text), QByteArray(name)) << name;
    }
    EXPECT_EQ(nameText("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));
}

TEST_F(ProgramFilesTest, DroppedFilesOpenInTurnAndOneBoxListsThoseThatFailed) {
    ASSERT_TRUE(test::writeText(path("one.obj"), objectText(0x0200, {0xA9, 0x01})));
    ASSERT_TRUE(test::writeText(path("two.hex"), objectText(0x0210, {0xA9, 0x02})));
    std::string broken = objectText(0x0220, {0xA9, 0x03});
    broken[10] = 'X';
    ASSERT_TRUE(test::writeText(path("broken.obj"), broken));
    ASSERT_TRUE(test::writeText(path("notes.txt"), "not a program"));

    // Text alone is no file to open.
    EXPECT_FALSE(drop({"one.obj"}, false));

    ASSERT_TRUE(drop({"one.obj"}));
    ASSERT_TRUE(settleUntil([] { return busRead(0x0201) == 0x01; }, DEADLINE_MS));
    EXPECT_TRUE(boxes.empty());
    ASSERT_FALSE(fileHistory.recent.empty());
    EXPECT_EQ(fileHistory.recent.front(), path("one.obj"));

    ASSERT_TRUE(drop({"broken.obj", "two.hex", "notes.txt", "gone.obj"}));
    ASSERT_TRUE(settleUntil([] { return !boxes.empty(); }, DEADLINE_MS));
    EXPECT_EQ(memoryAt(0x0210, 2), (Bytes{0xA9, 0x02}));
    EXPECT_EQ(memoryAt(0x0220, 2), (Bytes{0x00, 0x00}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Error loading from file");
    const QStringList lines = boxes[0].text.split('\n');
    ASSERT_EQ(lines.size(), 3) << boxes[0].text.toStdString();
    EXPECT_TRUE(lines[0].contains("'broken.obj' line 1")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("'notes.txt'")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains("'gone.obj' not found")) << lines[2].toStdString();
    EXPECT_EQ(fileHistory.recent.front(), path("two.hex"));
}

TEST_F(ProgramFilesTest, ADroppedBinaryAsksItsAddressAndReloadPutsItThereAgain) {
    ASSERT_TRUE(test::writeBytes(path("prog.bin"), {0xEA, 0x60}));
    // What the dialog proposed each time; the first is answered 0300, the second cancelled.
    std::vector<QString> proposed;
    auto answer = [&proposed](const QString& text) {
        return [&proposed, text](QWidget* active) {
            auto* edit = active ? active->findChild<QLineEdit*>("addressEdit") : nullptr;
            if (!edit) return false;
            proposed.push_back(edit->text());
            edit->setText(text);
            if (text.isEmpty())
                static_cast<QDialog*>(active)->reject();
            else
                static_cast<QDialog*>(active)->accept();
            return true;
        };
    };
    ModalScript script({answer("0300"), answer("")});

    ASSERT_TRUE(drop({"prog.bin"}));
    ASSERT_TRUE(settleUntil([] { return busRead(0x0300) == 0xEA; }, DEADLINE_MS));
    EXPECT_EQ(memoryAt(0x0300, 2), (Bytes{0xEA, 0x60}));
    EXPECT_EQ(fileHistory.binaryAddress, 0x0300);

    test::poke(0x0300, {0x00, 0x00});
    ASSERT_TRUE(drop({"prog.bin"}));
    ASSERT_TRUE(settleUntil([&script] { return script.done() == 2; }, DEADLINE_MS));
    EXPECT_EQ(proposed, (std::vector<QString>{"0200", "0300"}));
    EXPECT_EQ(memoryAt(0x0300, 2), (Bytes{0x00, 0x00}));
    EXPECT_TRUE(boxes.empty());

    // Ctrl+R puts it where it went, whatever address is proposed now.
    fileHistory.binaryAddress = DEFAULT_BINARY_ADDRESS;
    windowParts.mainWindow->activateWindow();
    ASSERT_TRUE(
        settleUntil([] { return QApplication::activeWindow() == windowParts.mainWindow; }, DEADLINE_MS));
    test::pressKey(windowParts.mainWindow, Qt::Key_R, Qt::ControlModifier, "\x12");
    ASSERT_TRUE(settleUntil([] { return busRead(0x0300) == 0xEA; }, DEADLINE_MS));
    EXPECT_EQ(memoryAt(0x0300, 2), (Bytes{0xEA, 0x60}));
    EXPECT_EQ(memoryAt(0x0200, 2), (Bytes{0x00, 0x00}));
}

TEST_F(ProgramFilesTest, AWatchedFileRewrittenIsLoadedOnceAndStartedAgain) {
    // JMP to itself: it runs until halted.
    ASSERT_TRUE(test::writeText(path("prog.obj"), objectText(0x0200, {0x4C, 0x00, 0x02})));
    openWatched("prog.obj", 0x0200);
    EXPECT_FALSE(runInputs.halted);

    ASSERT_TRUE(test::writeText(path("prog.obj"), objectText(0x0200, {0x4C, 0x00, 0x02, 0x11})));
    ASSERT_TRUE(settleUntil([] { return busRead(0x0203) == 0x11; }, DEADLINE_MS));
    haltRunning();
    // A second change is loaded too, and is the second load: the first change was loaded once.
    ASSERT_TRUE(test::writeText(path("prog.obj"), objectText(0x0200, {0x4C, 0x00, 0x02, 0x22})));
    ASSERT_TRUE(settleUntil([] { return busRead(0x0203) == 0x22; }, DEADLINE_MS));
    EXPECT_EQ(watchedReloads.loaded, 2);
    EXPECT_EQ(watchedReloads.refused, 0);
    EXPECT_FALSE(runInputs.halted);
}

TEST_F(ProgramFilesTest, AWatchedFileCaughtHalfWrittenIsLoadedOnlyOnceComplete) {
    ASSERT_TRUE(test::writeText(path("prog.obj"), objectText(0x0200, {0x60})));
    openWatched("prog.obj", std::nullopt);

    const std::string whole =
        hexRecord(0x0200, {0xA9, 0x01}) + hexRecord(0x0210, {0xA9, 0x02}) + ":00000001FF\r\n";
    // Cut inside the second record: the first is whole, yet none of it may be stored.
    const std::string half = whole.substr(0, whole.find("\r\n") + 2 + 7);
    ASSERT_TRUE(test::writeText(path("prog.obj"), half));
    ASSERT_TRUE(settleUntil([] { return watchedReloads.refused == 1; }, DEADLINE_MS));
    EXPECT_EQ(memoryAt(0x0200, 2), (Bytes{0x60, 0x00}));

    ASSERT_TRUE(test::writeText(path("prog.obj"), whole));
    ASSERT_TRUE(settleUntil([] { return watchedReloads.loaded == 1; }, DEADLINE_MS));
    EXPECT_EQ(memoryAt(0x0200, 2), (Bytes{0xA9, 0x01}));
    EXPECT_EQ(memoryAt(0x0210, 2), (Bytes{0xA9, 0x02}));
    EXPECT_EQ(watchedReloads.refused, 1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ProgramFilesTest, AWatchedBinaryWrittenInTwoPartsIsLoadedOnlyWhole) {
    ASSERT_TRUE(test::writeBytes(path("prog.bin"), {0x60}));
    openWatched("prog.bin", std::nullopt, ProgramFileKind::Binary, 0x0300);
    const Bytes whole = {0xA9, 0x01, 0x8D, 0x00, 0x03, 0x4C, 0x00, 0x03};

    // The writer stops after three bytes, for longer than an object file is given to settle.
    ASSERT_TRUE(test::writeBytes(path("prog.bin"), Bytes(whole.begin(), whole.begin() + 3)));
    ASSERT_TRUE(settleUntil([] { return watchedReloads.still >= 7; }, DEADLINE_MS))
        << "loaded after " << watchedReloads.still << " checks";
    EXPECT_EQ(watchedReloads.loaded, 0);
    EXPECT_EQ(memoryAt(0x0300, 3), (Bytes{0x60, 0x00, 0x00}));

    {
        std::ofstream rest(path("prog.bin"), std::ios::binary | std::ios::app);
        rest.write(reinterpret_cast<const char*>(whole.data() + 3),
                   static_cast<std::streamsize>(whole.size() - 3));
    }
    ASSERT_TRUE(settleUntil([] { return watchedReloads.loaded == 1; }, DEADLINE_MS));
    EXPECT_EQ(memoryAt(0x0300, whole.size()), whole);
    EXPECT_TRUE(boxes.empty());
}

} // namespace
} // namespace orv
