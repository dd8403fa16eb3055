#include "base/run_inputs.h"
#include "tape_fixture.h"

#include "machine/cpu.h"
#include "machine/power.h"
#ifndef _WIN32
#include "support/file_size_limit.h"
#endif
#include "tape/tape.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace orv {
namespace {

using test::Bytes;
using test::operator+;
using test::MidiMessage;
using test::midiSent;
using test::readBytes;

class RecordTest : public test::TapeTest {
  protected:
    void start(const std::string& name = "t.mid") {
        std::string message;
        ASSERT_TRUE(tapeStartRecording("Orvane bytes", path(name), message)) << message;
        ASSERT_EQ(message, "");
    }
    std::string stop() {
        std::string message;
        tapeStop(message);
        EXPECT_EQ(tape.tapeState, 0);
        return message;
    }
    // The names in the test's folder: a replacement leaves no temporary file behind.
    std::set<std::string> names() const {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            found.insert(entry.path().filename().string());
        return found;
    }
};

// A recorded tape with one level change, to be recorded over.
Bytes oldTape() {
    return test::recordedFile({0x00, 0x62, 0x00, 0x00, 0x56, 0x7F}, 0x56);
}

TEST_F(RecordTest, NoLevelChangeWritesHeadAndTrailerWithWarning) {
    start();
    EXPECT_EQ(tape.tapeState, TAPE_RECORDING | TAPE_WAITING | TAPE_MIDI_OPEN);
    tapeOutputBit(1, 1000); // the level a recording starts with
    tapeOutputBit(1, 90000);
    EXPECT_EQ(stop(), "Warning: no data recorded in 't.mid'");
    Bytes file = readBytes(path("t.mid"));
    ASSERT_EQ(file.size(), 66u);
    EXPECT_EQ(file, test::recordedFile({}, 0x62));
    EXPECT_EQ(test::lengthAt18(file), 44u);
}

TEST_F(RecordTest, OneLowPulse) {
    start();
    tapeOutputBit(0, 5000);
    tapeOutputBit(0, 5100); // same level again: nothing
    tapeOutputBit(0, 5300);
    tapeOutputBit(1, 5400);
    tapeOutputBit(1, 5500);
    EXPECT_EQ(stop(), "");
    Bytes file = readBytes(path("t.mid"));
    ASSERT_EQ(file.size(), 78u);
    Bytes expected = test::recordedHead() + Bytes{0x00, 0x62, 0x00, 0x00, 0x56, 0x7F, // first change, delta 0
                                                  0x04, 0x56, 0x00, 0x00, 0x62, 0x7F, // 400 cycles later
                                                  0x81, 0x9C, 0x20, 0x62, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    expected[21] = 56;
    EXPECT_EQ(file, expected);
    EXPECT_EQ(test::lengthAt18(file), 56u);
}

TEST_F(RecordTest, GapsBecomeRoundedClampedDeltas) {
    constexpr std::int32_t nearTop = std::numeric_limits<std::int32_t>::max() - 500;
    const struct {
        std::int32_t first;
        std::uint32_t gap; // added modulo 2^32, as the cycle counter wraps
        Bytes delta;
    } cases[] = {
        {1000, 49, {0x00}},
        {1000, 50, {0x01}},
        {1000, 200, {0x02}},
        {1000, 1049, {0x0A}},
        {1000, 1050, {0x0B}},
        {1000, 12749, {0x7F}},
        {1000, 12800, {0x81, 0x00}},
        {1000, 1000000, {0xCE, 0x10}},
        {1000, 1000001, {0xCE, 0x10}},
        {1000, 400000000, {0xCE, 0x10}},
        {nearTop, 1049, {0x0A}},          // across 2^31: the count turns negative
        {-300, 12800, {0x81, 0x00}},      // across 2^32: the count passes 0
        {5000000, 0u - 4999700u, {0x00}}, // a clock that went back
        {0, 400, {0x04}},                 // a change at cycle 0 is a real change
    };
    for (const auto& c : cases) {
        start();
        tapeOutputBit(0, c.first);
        tapeOutputBit(1, static_cast<std::int32_t>(static_cast<std::uint32_t>(c.first) + c.gap));
        EXPECT_EQ(stop(), "") << c.gap;
        Bytes groups =
            Bytes{0x00, 0x62, 0x00, 0x00, 0x56, 0x7F} + c.delta + Bytes{0x56, 0x00, 0x00, 0x62, 0x7F};
        EXPECT_EQ(readBytes(path("t.mid")), test::recordedFile(groups, 0x62)) << c.first << " + " << c.gap;
    }
}

// Short gaps give groups of 6 bytes, long ones of 7: mixed, they stop the buffer at every offset
// near its end, and long runs cross several blocks.
TEST_F(RecordTest, LengthMatchesSizeAcrossBlocks) {
    const struct {
        int shortFrom, shortTo, longFrom, longTo;
    } cases[] = {{1, 7, 560, 575}, {655, 675, 0, 0}, {1990, 2010, 0, 0}};
    for (const auto& c : cases) {
        for (int shortGaps = c.shortFrom; shortGaps <= c.shortTo; ++shortGaps) {
            for (int longGaps = c.longFrom; longGaps <= c.longTo; ++longGaps) {
                start();
                std::uint32_t now = 777;
                Bytes groups;
                int count = shortGaps + longGaps;
                for (int k = 0; k < count; ++k) {
                    std::uint8_t level = k % 2 ? 1 : 0;
                    tapeOutputBit(level, static_cast<std::int32_t>(now));
                    groups = groups + (k == 0          ? Bytes{0x00}
                                       : k < shortGaps ? Bytes{0x0A}
                                                       : Bytes{0x81, 0x00});
                    groups = groups + (level ? Bytes{0x56, 0x00, 0x00, 0x62, 0x7F}
                                             : Bytes{0x62, 0x00, 0x00, 0x56, 0x7F});
                    now += k + 1 < shortGaps ? 1000 : 12800;
                }
                ASSERT_EQ(stop(), "");
                Bytes file = readBytes(path("t.mid"));
                ASSERT_EQ(test::lengthAt18(file), file.size() - 22) << shortGaps << "+" << longGaps;
                ASSERT_EQ(file, test::recordedFile(groups, count % 2 ? 0x56 : 0x62))
                    << shortGaps << "+" << longGaps;
            }
        }
    }
}

TEST_F(RecordTest, MidiMessagesWithMuteOffAndOn) {
    for (std::uint8_t muted : {0, 1}) {
        test::clearMidiRecord();
        runInputs.mute = muted;
        start();
        tapeOutputBit(0, 3000);
        tapeOutputBit(1, 3400);
        tapeSilence();
        EXPECT_EQ(stop(), "");
        std::vector<MidiMessage> expected = {{0xB0, 7, 48}, {0xC0, 80, 0}};
        if (!muted) expected.push_back({0x90, 98, 127});
        if (!muted) expected.push_back({0x90, 86, 127});
        expected.push_back({0x90, 86, 0});
        if (!muted) expected.push_back({0x90, 98, 127});
        expected.push_back({0x90, 98, 0}); // silence on halt
        EXPECT_EQ(midiSent, expected) << "mute " << int(muted);
        EXPECT_EQ(test::midiCloseCount, 1);
        // The file does not hear the mute switch.
        EXPECT_EQ(readBytes(path("t.mid")),
                  test::recordedFile({0x00, 0x62, 0x00, 0x00, 0x56, 0x7F, 0x04, 0x56, 0x00, 0x00, 0x62, 0x7F},
                                     0x62));
    }
}

TEST_F(RecordTest, FailedOpenPrintsTheCodeAndRecordsSilently) {
    test::midiOpenResult = 5;
    ::testing::internal::CaptureStdout();
    start();
    tapeOutputBit(0, 3000);
    tapeOutputBit(1, 3400);
    tapeSilence();
    std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "midiOutOpen rc=5\n"); // printed with diag off
    EXPECT_EQ(tape.tapeState & TAPE_MIDI_OPEN, 0);
    EXPECT_TRUE(midiSent.empty());
    EXPECT_EQ(stop(), "");
    EXPECT_EQ(test::midiCloseCount, 0);
    EXPECT_EQ(
        readBytes(path("t.mid")),
        test::recordedFile({0x00, 0x62, 0x00, 0x00, 0x56, 0x7F, 0x04, 0x56, 0x00, 0x00, 0x62, 0x7F}, 0x62));
}

TEST_F(RecordTest, SendFailurePrintsTheCodeAndTraceFollowsDiag) {
    test::midiSendResult = 7;
    ::testing::internal::CaptureStdout();
    start();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "midiOutShortMsg rc=7\nmidiOutShortMsg rc=7\nmidiOutShortMsg rc=7\n");
    stop();

    test::clearMidiRecord();
    runInputs.diag = 1;
    ::testing::internal::CaptureStdout();
    start();
    tapeOutputBit(0, 100);
    stop();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Tape Record\nTape write 57 bytes\nmidiOpen\nmidiClose\nTape write 15 bytes\nTape Stop\n");
}

TEST_F(RecordTest, ActivityNeedsALowLevelAndEndsAfterHalfASecond) {
    start();
    tapeOutputBit(1, 100);
    EXPECT_FALSE(tapeActive(200));
    constexpr std::int32_t edge = std::numeric_limits<std::int32_t>::max() - 100000;
    tapeOutputBit(0, edge);
    EXPECT_TRUE(tapeActive(edge));
    EXPECT_TRUE(tapeActive(static_cast<std::int32_t>(static_cast<std::uint32_t>(edge) + 499999)));
    EXPECT_FALSE(tapeActive(static_cast<std::int32_t>(static_cast<std::uint32_t>(edge) + 500000)));
    EXPECT_FALSE(tapeActive(1000)); // the clock went back
    stop();
    EXPECT_FALSE(tapeActive(edge));
}

TEST_F(RecordTest, StartRefusals) {
    std::string message;
    // The limit and the messages are about the name the user picked, not the folder it is in.
    const struct {
        std::string name;
        std::string expected;
    } cases[] = {
        {path(std::string(257, 'a')), "Error: filename too long (257)"},
        {std::string(257, 'a'), "Error: filename too long (257)"},
        {"", "Error: no filename given"},
        {path(""), "Error: no filename given"},
        {path("missing/t"), "Error: file 't.mid' could not be opened"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(tapeStartRecording("Orvane bytes", c.name, message)) << c.name;
        EXPECT_EQ(message, c.expected);
        EXPECT_EQ(tape.tapeState, 0);
        EXPECT_EQ(tape.recordFile.file, nullptr);
    }
    // A long path to a short name is fine, and a "." in a folder's name does not count as the name's.
#ifdef _WIN32
    const std::size_t folders = 100; // a whole path stays within Windows' 260 characters
#else
    const std::size_t folders = 200;
#endif
    const std::filesystem::path deep =
        dir / (std::string(folders, 'd') + ".x") / std::string(folders / 2, 'e');
    std::filesystem::create_directories(deep);
    EXPECT_TRUE(tapeStartRecording("Orvane bytes", (deep / "tune").string(), message)) << message;
    EXPECT_EQ(tape.tapeFileName, "tune.mid");
    // A running tape is not replaced.
    EXPECT_FALSE(tapeStartRecording("Orvane bytes", path("other.mid"), message));
    EXPECT_EQ(message, "Error: a tape is already running");
    EXPECT_FALSE(std::filesystem::exists(path("other.mid")));
    EXPECT_EQ(stop(), "Warning: no data recorded in 'tune.mid'");
    EXPECT_EQ(readBytes((deep / "tune.mid").string()).size(), 66u);
}

#ifndef _WIN32 // pipes and links
// A pipe, a device or a folder is no tape: refused at once, neither waited on nor replaced.
TEST_F(RecordTest, OnlyRegularFilesAreOpened) {
    ASSERT_EQ(mkfifo(path("fifo.mid").c_str(), 0644), 0);
    std::filesystem::create_directory(path("folder.mid"));
    std::filesystem::create_symlink("/dev/null", path("null.mid"));
    const std::set<std::string> before = names();
    for (const char* name : {"fifo", "folder", "null"}) {
        const std::string expected = std::string("Error: file '") + name + ".mid' could not be opened";
        std::string message;
        EXPECT_FALSE(tapeStartPlaying(path(name), message)) << name;
        EXPECT_EQ(message, expected);
        EXPECT_EQ(tape.playFile, nullptr);
        EXPECT_FALSE(tapeStartRecording("Orvane bytes", path(name), message)) << name;
        EXPECT_EQ(message, expected);
        EXPECT_EQ(tape.recordFile.file, nullptr);
        EXPECT_EQ(tape.tapeState, 0);
    }
    EXPECT_EQ(names(), before);
    EXPECT_EQ(std::filesystem::status(path("fifo.mid")).type(), std::filesystem::file_type::fifo);
    EXPECT_TRUE(std::filesystem::is_symlink(path("null.mid")));
}
#endif

// Recording over a tape leaves it as it was until the new one is finished; through a link, the file
// the link names is the one replaced.
TEST_F(RecordTest, TheOldTapeStaysUntilTheNewOneIsFinished) {
#ifdef _WIN32 // no links to follow
    for (const char* name : {"old.mid"}) {
#else
    for (const char* name : {"old.mid", "link.mid"}) {
#endif
        test::writeBytes(path("old.mid"), oldTape());
        if (name == std::string("link.mid")) std::filesystem::create_symlink("old.mid", path("link.mid"));
        const std::set<std::string> before = names();
        start(name);
        tapeOutputBit(0, 1000);
        for (std::int32_t now = 1400; now < 3000000; now += 1000) tapeOutputBit(now % 2000 == 1400, now);
        EXPECT_EQ(readBytes(path("old.mid")), oldTape()) << name << ": recording";
        EXPECT_EQ(stop(), "") << name;
        const Bytes file = readBytes(path("old.mid"));
        EXPECT_GT(file.size(), 3u * TAPE_BUFFER_SIZE) << name;
        EXPECT_EQ(test::lengthAt18(file), file.size() - 22) << name;
        EXPECT_EQ(names(), before) << name;
    }
#ifndef _WIN32
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.mid")));
#endif
}

// The Text event's length is one byte: a longer label is cut, never written with a wrapped length.
TEST_F(RecordTest, LongLabelIsCutToTheLengthByte) {
    std::string message;
    ASSERT_TRUE(tapeStartRecording(std::string(300, 'L'), path("t.mid"), message));
    tapeStop(message);
    Bytes file = readBytes(path("t.mid"));
    ASSERT_EQ(file.size(), 66u - 12 + 255);
    EXPECT_EQ(file[25], 255);
    EXPECT_EQ(test::lengthAt18(file), file.size() - 22);
    EXPECT_TRUE(tapeStartPlaying(path("t.mid"), message)) << message;
}

#ifndef _WIN32 // a file size limit
// A head or a block that cannot be written (as on a full disk) spoils the recording: the failure is
// kept for the program, recording goes on until stopped, later blocks that could be written do not
// hide it, and the stop drops the new file, leaving the old tape as it was.
TEST_F(RecordTest, AFailedRecordingLeavesTheOldTape) {
    const std::string lost = "Error: file 't.mid' could not be written";
    const struct {
        const char* what;
        rlim_t limit;
        bool headWritten;
    } cases[] = {{"head", 20, false}, {"block", 1000, true}};
    for (const auto& c : cases) {
        test::clearMidiRecord();
        test::writeBytes(path("t.mid"), oldTape());
        std::string message;
        std::int32_t now = 1000;
        {
            test::FileSizeLimit full(c.limit);
            ASSERT_TRUE(full.ok());
            EXPECT_EQ(tapeStartRecording("Orvane bytes", path("t.mid"), message), c.headWritten) << c.what;
            EXPECT_EQ(message, c.headWritten ? "" : lost) << c.what;
            EXPECT_EQ(tape.tapeState & ~TAPE_MIDI_OPEN, TAPE_RECORDING | TAPE_WAITING) << c.what;
            EXPECT_EQ(test::midiOpenCount, c.headWritten ? 1 : 0) << c.what;
            for (int k = 0; k < 700; ++k, now += 1000) tapeOutputBit(k % 2 ? 1 : 0, now);
            EXPECT_EQ(tape.tapeMessage, lost) << c.what;
        }
        for (int k = 0; k < 1400; ++k, now += 1000) tapeOutputBit(k % 2 ? 1 : 0, now);
        EXPECT_EQ(stop(), lost) << c.what;
        EXPECT_EQ(readBytes(path("t.mid")), oldTape()) << c.what;
        EXPECT_EQ(names(), std::set<std::string>{"t.mid"}) << c.what;
    }
}
#endif

// The counter restarts at power-on; the tape's own time goes on, recording and playing.
TEST_F(RecordTest, PowerOffAndOnKeepsTheTapeRunning) {
    start();
    cpu.cycles = 7000000;
    tapeOutputBit(0, cpu.cycles);
    cpu.cycles += 3000;
    machinePowerOn();
    ASSERT_EQ(cpu.cycles, 0);
    EXPECT_TRUE(tapeActive(cpu.cycles));
    cpu.cycles += 1000;
    tapeOutputBit(1, cpu.cycles);
    EXPECT_EQ(stop(), "");
    // 4,000 cycles from change to change: 40 ticks.
    EXPECT_EQ(
        readBytes(path("t.mid")),
        test::recordedFile({0x00, 0x62, 0x00, 0x00, 0x56, 0x7F, 0x28, 0x56, 0x00, 0x00, 0x62, 0x7F}, 0x62));

    std::string message;
    ASSERT_TRUE(tapeStartPlaying(path("t.mid"), message)) << message;
    cpu.cycles = 5000000;
    EXPECT_EQ(tapeInputBit(cpu.cycles), 1);
    EXPECT_EQ(tapeInputBit(cpu.cycles + 2001000), 0);
    cpu.cycles += 2001000;
    machinePowerOn();
    EXPECT_TRUE(tapeActive(cpu.cycles));
    EXPECT_EQ(tapeInputBit(2999), 0);
    EXPECT_EQ(tapeInputBit(3000), 1);
    EXPECT_TRUE(tapeActive(3000));
    EXPECT_EQ(stop(), "");

    // Before the first read the leader is a length, not a time: it still starts at that read.
    ASSERT_TRUE(tapeStartPlaying(path("t.mid"), message)) << message;
    cpu.cycles = 900000;
    machinePowerOn();
    EXPECT_EQ(tapeInputBit(400), 1);
    EXPECT_EQ(tapeInputBit(2000399), 1);
    EXPECT_EQ(tapeInputBit(2000400), 0);
}

} // namespace
} // namespace orv
