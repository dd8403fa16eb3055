// Tape Record, Tape Play and Tape Stop as the user gives them: the file dialogs (driven here), the
// failure boxes with Retry, the automatic stop of a finished tape, and Exit during a recording.
#include "base/run_inputs.h"
#include "control/commands.h"
#include "control/main_window.h"
#include "control/program_files.h"
#include "control/run_control.h"
#include "machine/cpu.h"
#include "program/program_fixture.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "support/file_io.h"
#include "support/file_size_limit.h"
#include "support/poke.h"
#include "tape/midi.h"
#include "tape/tape.h"
#include "tape/tape_commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

using test::BoxRecord;
using test::Bytes;
using test::readBytes;
using test::settle;
using test::settleUntil;

std::uint32_t lengthField(const Bytes& file) {
    return std::uint32_t{file[18]} << 24 | std::uint32_t{file[19]} << 16 | std::uint32_t{file[20]} << 8 |
           file[21];
}

// A finished recording: the length field counts everything after the chunk headers and the track
// closes with the two-second trailer and End of Track.
void expectComplete(const Bytes& file) {
    ASSERT_GE(file.size(), 66u);
    EXPECT_EQ(lengthField(file), file.size() - 22);
    const Bytes end(file.end() - 6, file.end());
    EXPECT_EQ(end, (Bytes{0x62, 0x00, 0x00, 0xFF, 0x2F, 0x00})) << "no trailer";
}

// What a file dialog looked like when it opened.
struct DialogSeen {
    QString title;
    QFileDialog::AcceptMode acceptMode;
    QFileDialog::FileMode fileMode;
    QStringList filters;
    QString suffix;
    QString folder;
    QString offered;
    bool confirmsOverwrite;
};

// Answers the file dialogs as they wait for the user: each takes the next name (relative to the
// dialog's folder, or absolute), an empty one cancels.
class FileDialogDriver {
  public:
    std::deque<QString> names;
    std::vector<DialogSeen> seen;
    // Takes an existing file without the dialog's question.
    bool replaceWithoutAsking = false;

  private:
    bool answer(QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        if (!dialog) return false;
        const QStringList offered = dialog->selectedFiles();
        seen.push_back({dialog->windowTitle(), dialog->acceptMode(), dialog->fileMode(),
                        dialog->nameFilters(), dialog->defaultSuffix(), dialog->directory().absolutePath(),
                        offered.isEmpty() ? QString() : QFileInfo(offered.first()).fileName(),
                        !dialog->testOption(QFileDialog::DontConfirmOverwrite)});
        const QString name = names.empty() ? QString() : names.front();
        if (!names.empty()) names.pop_front();
        if (name.isEmpty()) {
            dialog->reject();
            return true;
        }
        if (replaceWithoutAsking) dialog->setOption(QFileDialog::DontConfirmOverwrite);
        dialog->selectFile(name);
        // As the dialog's own Save / Open button does.
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        // A name the dialog would not take leaves it open; cancel rather than hang the test.
        if (dialog->isVisible()) dialog->reject();
        return true;
    }
    test::ModalHandler handler{[this](QWidget* window) { return answer(window); }};
};

class TapeCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        haltRunning();
        stopTape();
        settle(5);
        test::boxes.clear();
        test::boxAnswers.clear();
        runInputs.diag = 0;
        savedMute = runInputs.mute;
        runInputs.mute = 1;
        board.tapeStopDue = 0;
        ASSERT_TRUE(folder.isValid());
        settings.currFileDir = QDir::toNativeSeparators(folder.path()).toStdString() + "/";
        settings.currFileMid.clear();
    }
    void TearDown() override {
        haltRunning();
        stopTape();
        settle(5);
        test::boxAnswers.clear();
        runInputs.mute = savedMute;
    }
    static void stopTape() {
        std::string ignored;
        tapeStop(ignored);
    }
    std::string path(const QString& name) const { return QDir(folder.path()).filePath(name).toStdString(); }
    // The tape's state without the device bit, which depends on the machine's MIDI ports.
    static int tapeFlags() { return tape.tapeState & ~TAPE_MIDI_OPEN; }

    QTemporaryDir folder;
    FileDialogDriver dialogs;
    std::uint8_t savedMute = 0;
};

TEST_F(TapeCommandsTest, RecordAsksForAFileRemembersItAndStartsRecording) {
    dialogs.names = {"first"};
    onCommand(CMD_TAPE_RECORD);

    ASSERT_EQ(dialogs.seen.size(), 1u);
    const DialogSeen& d = dialogs.seen[0];
    EXPECT_EQ(d.title, "Start Recording...");
    EXPECT_EQ(d.acceptMode, QFileDialog::AcceptSave);
    EXPECT_EQ(d.filters, (QStringList{"MIDI Files (*.mid)", "All Files (*.*)"}));
    EXPECT_EQ(d.suffix, "mid");
    EXPECT_TRUE(d.confirmsOverwrite);
    EXPECT_EQ(d.folder, folder.path());
    EXPECT_EQ(tapeFlags(), TAPE_RECORDING | TAPE_WAITING);
    EXPECT_EQ(settings.currFileDir, folder.path().toStdString() + "/");
    EXPECT_EQ(settings.currFileMid, "first.mid");
    EXPECT_FALSE(std::filesystem::exists(path("first.mid"))) << "a new tape appears only when finished";
    EXPECT_TRUE(test::boxes.empty());

    // While a tape runs the command has nothing to do.
    onCommand(CMD_TAPE_RECORD);
    onCommand(CMD_TAPE_PLAY);
    EXPECT_EQ(dialogs.seen.size(), 1u);

    onCommand(CMD_TAPE_STOP);
    EXPECT_EQ(tape.tapeState, 0);
    ASSERT_EQ(test::boxes.size(), 1u);
    EXPECT_EQ(test::boxes[0].title, "MIDI file message");
    EXPECT_EQ(test::boxes[0].text.toStdString(), "Warning: no data recorded in 'first.mid'");
    EXPECT_EQ(test::boxes[0].icon, QMessageBox::Critical);
    const Bytes file = readBytes(path("first.mid"));
    EXPECT_EQ(file.size(), 66u);
    expectComplete(file);

    // The next dialog opens where the last one left off; cancelling it starts nothing and says nothing.
    dialogs.names = {""};
    onCommand(CMD_TAPE_RECORD);
    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[1].folder, folder.path());
    EXPECT_EQ(dialogs.seen[1].offered, "first.mid");
    EXPECT_EQ(tape.tapeState, 0);
    EXPECT_EQ(test::boxes.size(), 1u);
}

TEST_F(TapeCommandsTest, PlayOpensARecordedFile) {
    std::string message;
    ASSERT_TRUE(tapeStartRecording(TAPE_LABEL, path("recorded.mid"), message)) << message;
    tapeOutputBit(0, 1000);
    tapeOutputBit(1, 1400);
    tapeStop(message);
    ASSERT_TRUE(message.empty()) << message;

    dialogs.names = {"recorded.mid"};
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    onCommand(CMD_TAPE_PLAY);
    const int flagsAfterCommand = tapeFlags();
    // The line read once to start the tape's time, then once everything in it has played.
    tapeInputBit(cpu.cycles);
    tapeInputBit(static_cast<std::int32_t>(static_cast<std::uint32_t>(cpu.cycles) + 10'000'000u));
    const std::string trace = testing::internal::GetCapturedStdout();
    runInputs.diag = 0;
    std::size_t at = 0;
    for (const std::string& line :
         {std::string("Playing recorded.mid...\n"), std::string("Tape read 78 bytes\n"),
          std::string("Tape Playing 'recorded.mid' [78]\n"), std::string("Tape track ended\n")}) {
        at = trace.find(line, at);
        ASSERT_NE(at, std::string::npos) << "no " << line << "in order in\n" << trace;
    }
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].title, "Play MIDI file...");
    EXPECT_EQ(dialogs.seen[0].acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(dialogs.seen[0].fileMode, QFileDialog::AnyFile); // a missing name is the tape's to report
    EXPECT_EQ(dialogs.seen[0].filters, (QStringList{"MIDI Files (*.mid)", "All Files (*.*)"}));
    EXPECT_EQ(flagsAfterCommand, TAPE_PLAYING | TAPE_WAITING);
    EXPECT_EQ(settings.currFileMid, "recorded.mid");
    EXPECT_TRUE(test::boxes.empty());
}

TEST_F(TapeCommandsTest, AFailedStartShowsWhyAndRetryAsksAgain) {
    // A pipe is no tape: refused at once rather than waited on.
    ASSERT_EQ(mkfifo(path("pipe.mid").c_str(), 0644), 0);
    {
        SCOPED_TRACE("record: a pipe, then a good name");
        dialogs.names = {"pipe.mid", "second"};
        dialogs.replaceWithoutAsking = true;
        test::boxAnswers = {QMessageBox::Retry};
        EXPECT_TRUE(recordTapeCommand());
        ASSERT_EQ(test::boxes.size(), 1u);
        const BoxRecord& box = test::boxes[0];
        EXPECT_EQ(box.title, "Error starting recording");
        EXPECT_EQ(box.text.toStdString(), "Error: file 'pipe.mid' could not be opened");
        EXPECT_EQ(box.icon, QMessageBox::Critical);
        EXPECT_EQ(box.buttons, QMessageBox::Retry | QMessageBox::Cancel);
        EXPECT_EQ(dialogs.seen.size(), 2u);
        EXPECT_EQ(settings.currFileMid, "second.mid");
        EXPECT_EQ(tapeFlags(), TAPE_RECORDING | TAPE_WAITING);
        stopTape();
    }
    {
        SCOPED_TRACE("play: not a MIDI file, Retry, then the dialog cancelled");
        std::ofstream(path("notes.txt")) << "not a tape\n";
        test::boxes.clear();
        dialogs.seen.clear();
        dialogs.names = {"notes.txt", ""};
        test::boxAnswers = {QMessageBox::Retry};
        playTapeCommand();
        ASSERT_EQ(test::boxes.size(), 1u);
        EXPECT_EQ(test::boxes[0].title, "Cannot play this file");
        EXPECT_EQ(test::boxes[0].text.toStdString(), "Error: file 'notes.txt' is not a MIDI file");
        EXPECT_EQ(test::boxes[0].buttons, QMessageBox::Retry | QMessageBox::Cancel);
        EXPECT_EQ(dialogs.seen.size(), 2u);
        EXPECT_EQ(tape.tapeState, 0);
    }
    {
        SCOPED_TRACE("play: Cancel ends the command");
        test::boxes.clear();
        dialogs.seen.clear();
        dialogs.names = {"notes.txt", "notes.txt"};
        test::boxAnswers = {QMessageBox::Cancel};
        playTapeCommand();
        EXPECT_EQ(test::boxes.size(), 1u);
        EXPECT_EQ(dialogs.seen.size(), 1u);
        EXPECT_EQ(tape.tapeState, 0);
    }
}

TEST_F(TapeCommandsTest, ARecordingWhoseHeadCannotBeWrittenIsNotLeftRunning) {
    // Room for 20 bytes of any file, as on a nearly full disk, over a tape that must stay as it was.
    std::ofstream(path("full.mid")) << "the old tape\n";
    dialogs.names = {"full.mid"};
    dialogs.replaceWithoutAsking = true;
    test::boxAnswers = {QMessageBox::Cancel};
    {
        test::FileSizeLimit full(20);
        ASSERT_TRUE(full.ok());
        EXPECT_FALSE(recordTapeCommand());
    }
    ASSERT_EQ(test::boxes.size(), 1u);
    EXPECT_EQ(test::boxes[0].title, "Error starting recording");
    EXPECT_EQ(test::boxes[0].text.toStdString(), "Error: file 'full.mid' could not be written");
    EXPECT_EQ(tape.tapeState, 0);
    EXPECT_EQ(readBytes(path("full.mid")),
              (Bytes{'t', 'h', 'e', ' ', 'o', 'l', 'd', ' ', 't', 'a', 'p', 'e', '\n'}));
}

// At 0x0300: the cassette line made an output, toggled 64 times about 1.3 ms apart, then left alone.
void loadToggler() {
    const std::uint8_t program[] = {
        0xA9, 0x40,       // LDA #$40
        0x8D, 0x22, 0x0E, // STA ddrA
        0xA2, 0x40,       // LDX #64
        0x49, 0x40,       // loop: EOR #$40
        0x8D, 0x20, 0x0E, // STA port A
        0xA0, 0x00,       // LDY #0
        0x88,             // wait: DEY
        0xD0, 0xFD,       // BNE wait
        0xCA,             // DEX
        0xD0, 0xF3,       // BNE loop
        0x4C, 0x14, 0x03, // JMP *
    };
    test::poke(0x0300, program);
    cpuSetPc(0x0300);
}

TEST_F(TapeCommandsTest, AFinishedRecordingStopsByItselfHalfASecondLater) {
    dialogs.names = {"auto"};
    ASSERT_TRUE(recordTapeCommand());
    loadToggler();
    std::vector<int> states = {tapeFlags()};
    onCommand(CMD_RUN);
    ASSERT_TRUE(settleUntil(
        [&] {
            if (tapeFlags() != states.back()) states.push_back(tapeFlags());
            return tape.tapeState == 0;
        },
        20000));
    EXPECT_EQ(states, (std::vector<int>{TAPE_RECORDING | TAPE_WAITING, TAPE_RECORDING | TAPE_ACTIVE,
                                        TAPE_RECORDING | TAPE_ENDED, 0}));
    EXPECT_TRUE(test::boxes.empty()) << test::boxes[0].text.toStdString();
    const Bytes file = readBytes(path("auto.mid"));
    // The head, one six-byte group per level change (each gap under 128 ticks), the trailer.
    EXPECT_EQ(file.size(), 57u + 64 * 6 + 9);
    expectComplete(file);
}

TEST_F(TapeCommandsTest, AStopDueFromAnEarlierTapeLeavesTheNextOneRunning) {
    // The next tape from Tape Record, or a tape file opened as a drop, a recent file or on the command
    // line open it.
    const struct {
        std::function<void()> start;
        int flags;
    } cases[] = {
        {[this] {
             dialogs.names = {"next"};
             recordTapeCommand();
         },
         TAPE_RECORDING | TAPE_WAITING},
        {[this] { openDroppedFiles({QString::fromStdString(path("earlier.mid"))}); },
         TAPE_PLAYING | TAPE_WAITING},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        std::string message;
        ASSERT_TRUE(tapeStartRecording(TAPE_LABEL, path("earlier.mid"), message)) << message;
        // The earlier tape went quiet and is due to stop, but the user stops it first.
        tape.tapeState = (tape.tapeState & ~TAPE_WAITING) | TAPE_ENDED;
        board.tapeStopDue = board.ticks + TAPE_STOP_DELAY;
        const std::int32_t earlierDue = board.tapeStopDue;
        onCommand(CMD_TAPE_STOP);
        ASSERT_EQ(tape.tapeState, 0);

        c.start();
        // Housekeeping goes past the earlier tape's due tick, and on for two more ticks, by which
        // time a Tape Stop it posted would have arrived.
        ASSERT_TRUE(settleUntil([&] { return board.ticks > earlierDue + 2; }, 30000));
        EXPECT_EQ(tapeFlags(), c.flags);
        stopTape();
    }
}

TEST_F(TapeCommandsTest, ExitFinishesARecordingBeforeTheProgramEnds) {
    // Twice: what an earlier end let go on must not start a recording that a later end leaves open.
    for (const char* name : {"exit", "again"}) {
        SCOPED_TRACE(name);
        dialogs.names = {name};
        ASSERT_TRUE(recordTapeCommand());
        tapeOutputBit(0, cpu.cycles);
        tapeOutputBit(1, cpu.cycles + 3320);
        onCommand(CMD_EXIT);
        ASSERT_TRUE(settleUntil([] { return !windowParts.mainWindow->isVisible(); }, 10000));
        EXPECT_EQ(tape.tapeState, 0);
        const Bytes file = readBytes(path(QString(name) + ".mid"));
        EXPECT_EQ(file.size(), 57u + 2 * 6 + 9);
        expectComplete(file);

        // The other tests go on with the window. The exit left every event loop of this thread told
        // to return at once; a turn of the application's own loop clears that, as a real start would.
        windowParts.mainWindow->show();
        windowParts.mainWindow->startHousekeeping();
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        settle(20);
    }
}

// Reads what a file descriptor received while `body` ran.
template <typename Body>
std::string captured(int fd, Body body) {
    std::FILE* sink = std::tmpfile();
    const int saved = dup(fd);
    dup2(fileno(sink), fd);
    body();
    dup2(saved, fd);
    close(saved);
    std::string text;
    std::rewind(sink);
    for (int c; (c = std::fgetc(sink)) != EOF;) text += static_cast<char>(c);
    std::fclose(sink);
    return text;
}

TEST_F(TapeCommandsTest, WithoutASequencerTheTapeRunsSilentAndSaysSoInOneLine) {
    if (std::filesystem::exists("/dev/snd/seq")) GTEST_SKIP() << "this machine has a MIDI sequencer";
    std::string out;
    const std::string err = captured(STDERR_FILENO, [&] {
        out = captured(STDOUT_FILENO, [&] {
            std::string message;
            EXPECT_TRUE(tapeStartRecording(TAPE_LABEL, path("silent.mid"), message)) << message;
            tapeOutputBit(0, 5000);
            stopTape();
        });
    });
    EXPECT_EQ(out, "midiOutOpen rc=2\n");
    EXPECT_EQ(err, "");
    EXPECT_NE(midiSend(0x90, 98, 127), 0) << "nothing is open to send to";
}

// A disk that fills up while recording over a tape: the recording stops at once and says why, and the
// old tape is still there.
TEST_F(TapeCommandsTest, ARecordingOnAFullDiskStopsAtOnceAndKeepsTheOldTape) {
    const std::string disk = path("disk");
    std::filesystem::create_directory(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs may be mounted here";
    struct Unmount {
        std::string at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};
    const std::string tapeFile = disk + "/tape.mid";
    const Bytes old = {'t', 'h', 'e', ' ', 'o', 'l', 'd', ' ', 't', 'a', 'p', 'e', '\n'};
    std::ofstream(tapeFile, std::ios::binary).write(reinterpret_cast<const char*>(old.data()), old.size());

    std::string message;
    ASSERT_TRUE(tapeStartRecording(TAPE_LABEL, tapeFile, message)) << message;
    {
        // The rest of the disk taken by something else.
        std::ofstream filler(disk + "/filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), block.size()).flush()) {
        }
    }
    // Level changes for several blocks: the disk has no room past the page the new file already has.
    auto now = static_cast<std::uint32_t>(cpu.cycles);
    for (int k = 0; k < 2000; ++k, now += 1000) tapeOutputBit(k % 2 ? 1 : 0, static_cast<std::int32_t>(now));
    ASSERT_FALSE(tape.tapeMessage.empty());

    ASSERT_TRUE(settleUntil([] { return tape.tapeState == 0 && !test::boxes.empty(); }, 10000));
    ASSERT_EQ(test::boxes.size(), 1u);
    EXPECT_EQ(test::boxes[0].title, "MIDI file message");
    EXPECT_EQ(test::boxes[0].text.toStdString(), "Error: file 'tape.mid' could not be written");
    EXPECT_EQ(test::boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(readBytes(tapeFile), old);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(disk))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"filler", "tape.mid"})) << "nothing else left behind";
}

} // namespace
} // namespace orv
