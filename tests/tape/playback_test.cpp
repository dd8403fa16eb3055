#include "base/run_inputs.h"
#include "tape_fixture.h"

#include "base/text_format.h"
#include "tape/tape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

namespace orv {
namespace {

using test::Bytes;
using test::MidiMessage;
using test::midiSent;
using test::operator+;

// A file with the header chunk as the recorder writes it and the given track data, length fixed.
Bytes midiFile(const Bytes& track) {
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x13, 0x88, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
    file = file + track;
    std::uint32_t length = static_cast<std::uint32_t>(track.size());
    for (int i = 0; i < 4; ++i) file[18 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    return file;
}

// The 78-byte recording of one 400-cycle low pulse.
Bytes pulseFile() {
    return test::recordedFile({0x00, 0x62, 0x00, 0x00, 0x56, 0x7F, 0x04, 0x56, 0x00, 0x00, 0x62, 0x7F}, 0x62);
}

std::int32_t at(std::int32_t base, std::uint32_t offset) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(base) + offset);
}

class PlayTest : public test::TapeTest {
  protected:
    std::string play(const Bytes& bytes, const std::string& name = "p.mid") {
        test::writeBytes(path(name), bytes);
        std::string message;
        bool started = tapeStartPlaying(path(name), message);
        EXPECT_EQ(started, message.empty()) << message;
        return message;
    }
};

TEST_F(PlayTest, OnePulseFollowsTheFirstRead) {
    const std::int32_t anchors[] = {123456, std::numeric_limits<std::int32_t>::max() - 3000000, -1000000, 0};
    for (std::int32_t t0 : anchors) {
        ASSERT_EQ(play(pulseFile()), "");
        EXPECT_EQ(tape.tapeState, TAPE_PLAYING | TAPE_WAITING | TAPE_MIDI_OPEN);
        const struct {
            std::uint32_t offset;
            int level;
            bool active;
        } reads[] = {
            {0, 1, false},       {1999999, 1, false}, {2000000, 0, true},
            {2000399, 0, true},  {2000400, 1, true},  {2500399, 1, true},
            {2500400, 1, false}, {4000399, 1, false}, {4000400, 1, false}, // End of Track
            {9000000, 1, false},
        };
        for (const auto& r : reads) {
            EXPECT_EQ(tapeInputBit(at(t0, r.offset)), r.level) << t0 << " + " << r.offset;
            EXPECT_EQ(tapeActive(at(t0, r.offset)), r.active) << t0 << " + " << r.offset;
        }
        EXPECT_EQ(tape.trackEnded, 1);
        std::string message;
        tapeStop(message);
        EXPECT_EQ(message, "");
        EXPECT_EQ(tape.playFile, nullptr);
    }
}

TEST_F(PlayTest, ATapeNeverReadNeverMoves) {
    ASSERT_EQ(play(pulseFile()), "");
    for (std::int32_t now : {0, 3000000, 90000000}) EXPECT_FALSE(tapeActive(now));
    EXPECT_EQ(tape.trackEnded, 0);
    EXPECT_EQ(tapeInputBit(90000000), 1);
    EXPECT_EQ(tapeInputBit(91999999), 1);
    EXPECT_EQ(tapeInputBit(92000000), 0);
}

TEST_F(PlayTest, ARareReadTakesOnlyTheLastLevel) {
    ASSERT_EQ(play(pulseFile()), "");
    EXPECT_EQ(tapeInputBit(1000), 1);
    EXPECT_EQ(tapeInputBit(2001200), 0); // leader and the delta-0 change passed in one read
    EXPECT_EQ(tapeInputBit(50000000), 1);
    EXPECT_EQ(tape.trackEnded, 1);
}

TEST_F(PlayTest, Refusals) {
    auto changed = [](Bytes bytes, std::size_t offset, std::uint8_t value) {
        bytes[offset] = value;
        return bytes;
    };
    auto inserted = [](Bytes track, std::size_t offset, const Bytes& event) {
        track.insert(track.begin() + static_cast<std::ptrdiff_t>(offset), event.begin(), event.end());
        return midiFile(track);
    };
    const Bytes pulse = pulseFile();
    const Bytes track(pulse.begin() + 22, pulse.end());
    const Bytes tempo = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
    const std::string notMidi = "Error: file '%s' is not a MIDI file";
    const std::string format = "Sorry: the file '%s' is not in a MIDI format ORV understands";
    const std::string badLength = "Error: file '%s' has bad track length";
    Bytes textPastTheBlock;
    for (int k = 0; k < 1260; ++k) textPastTheBlock = textPastTheBlock + Bytes{0x00, 0xC0, 0x50};
    textPastTheBlock = textPastTheBlock + Bytes{0x00, 0xFF, 0x01, 0xFF} + Bytes(255, 'x') +
                       Bytes{0x00, 0x90, 0x62, 0x7F, 0x00, 0xFF, 0x2F, 0x00};
    const std::string data = "Sorry: the file '%s' contains MIDI data ORV does not understand [at %d]";
    const struct {
        const char* what;
        Bytes bytes;
        std::string message;
        int offset;
    } cases[] = {
        {"empty", {}, "Error: file '%s' empty or unknown length", 0},
        {"26 bytes", Bytes(pulse.begin(), pulse.begin() + 26), notMidi, 0},
        {"MThd", changed(pulse, 3, 'x'), notMidi, 0},
        {"MTrk", changed(pulse, 17, 'x'), notMidi, 0},
        {"header length", changed(pulse, 7, 7), notMidi, 0},
        {"format 1", changed(pulse, 9, 1), format, 0},
        {"two tracks", changed(pulse, 11, 2), format, 0},
        {"division", changed(pulse, 13, 0x89), format, 0},
        {"format before length", changed(pulse + Bytes{0}, 9, 1), format, 0},
        {"one byte appended", pulse + Bytes{0x00}, badLength, 0},
        {"one byte short", Bytes(pulse.begin(), pulse.end() - 1), badLength, 0},
        {"tempo first", inserted(track, 0, tempo), data, 22},
        {"tempo after text", inserted(track, 16, tempo), data, 38},
        {"no note on", changed(pulse, 46, 0x91), data, 45},
        {"text past the data", midiFile({0x00, 0xFF, 0x01, 0xFF, 'a', 'b', 'c', 'd', 0x00, 0x90, 0x62}), data,
         22},
        {"text one past the data", midiFile({0x00, 0xC0, 0x50, 0x00, 0xFF, 0x01, 0x03, 'a', 'b'}), data, 25},
        {"text past the first block", midiFile(textPastTheBlock), data, 3802},
        {"volume cut short", midiFile({0x00, 0xC0, 0x50, 0x00, 0xB0, 0x07}), data, 25},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(play(c.bytes), formatText(c.message.c_str(), "p.mid", c.offset)) << c.what;
        EXPECT_EQ(tape.tapeState, 0) << c.what;
        EXPECT_EQ(tape.playFile, nullptr) << c.what;
    }
    EXPECT_EQ(test::midiOpenCount, 0);

    std::string message;
    EXPECT_FALSE(tapeStartPlaying(path("missing"), message));
    EXPECT_EQ(message, "Error: file 'missing.mid' could not be opened");
    EXPECT_FALSE(tapeStartPlaying("", message));
    EXPECT_EQ(message, "Error: no filename given");
    EXPECT_FALSE(tapeStartPlaying(std::string(300, 'x'), message));
    EXPECT_EQ(message, "Error: filename too long (300)");
    EXPECT_EQ(tape.tapeState, 0);

    // The reader counts the bytes left in 31 bits: a larger file is refused as such (sparse here).
    const struct {
        std::uintmax_t size;
        const char* message;
    } sizes[] = {
        {3000000000u, "Error: file 'p.mid' too large"},
        {std::uintmax_t{1} << 31, "Error: file 'p.mid' too large"},
        {(std::uintmax_t{1} << 31) - 1, "Error: file 'p.mid' is not a MIDI file"},
    };
    for (const auto& s : sizes) {
        test::writeBytes(path("p.mid"), {});
        std::filesystem::resize_file(path("p.mid"), s.size);
        EXPECT_FALSE(tapeStartPlaying(path("p.mid"), message));
        EXPECT_EQ(message, s.message) << s.size;
        EXPECT_EQ(tape.playFile, nullptr);
    }
}

TEST_F(PlayTest, HeadEventsInAnyOrderAndTheDefaultExtension) {
    Bytes file = midiFile({0x00, 0xC0, 0x50, 0x00, 0xB0, 0x07, 0x40, 0x00, 0xFF, 0x01, 0x00, 0x00,
                           0x90, 0x62, 0x7F, 0x81, 0x9C, 0x20, 0x62, 0x00, 0x00, 0xFF, 0x2F, 0x00});
    test::writeBytes(path("song.mid"), file);
    std::string message;
    ASSERT_TRUE(tapeStartPlaying(path("song"), message)) << message;
    EXPECT_EQ(tape.tapeFileName, "song.mid");
    EXPECT_EQ(tapeInputBit(10), 1);
    EXPECT_EQ(tape.trackEnded, 0);
    EXPECT_EQ(tapeInputBit(2000010), 1);
    EXPECT_EQ(tape.trackEnded, 1);
    EXPECT_FALSE(tapeStartPlaying(path("song"), message));
    EXPECT_EQ(message, "Error: a tape is already running");
}

// Played back, every change comes at its recorded distance, to the tick; blocks join seamlessly.
TEST_F(PlayTest, RecordingPlaysBackAtItsTimes) {
    const struct {
        std::uint32_t gap, played;
    } gaps[] = {{400, 400}, {1049, 1000}, {1050, 1100}, {12800, 12800}, {3000000, 1000000}, {250, 300}};
    std::string message;
    ASSERT_TRUE(tapeStartRecording("Orvane bytes", path("r.mid"), message));
    std::vector<std::uint32_t> played; // distance of each change from the first one
    std::uint32_t now = 5000, offset = 0;
    for (int k = 0; k < 3000; ++k) {
        tapeOutputBit(k % 2 ? 1 : 0, static_cast<std::int32_t>(now));
        played.push_back(offset);
        const auto& g = gaps[k % std::size(gaps)];
        now += g.gap;
        offset += g.played;
    }
    tapeStop(message);
    ASSERT_EQ(message, "");
    ASSERT_GT(std::filesystem::file_size(path("r.mid")), 3u * TAPE_BUFFER_SIZE);

    ASSERT_TRUE(tapeStartPlaying(path("r.mid"), message)) << message;
    const std::int32_t t0 = std::numeric_limits<std::int32_t>::max() - 7000000; // wraps on the way
    EXPECT_EQ(tapeInputBit(t0), 1);
    for (std::size_t k = 0; k < played.size(); ++k) {
        std::uint32_t change = 2000000 + played[k];
        int level = k % 2 ? 1 : 0;
        ASSERT_EQ(tapeInputBit(at(t0, change - 1)), 1 - level) << k;
        ASSERT_EQ(tapeInputBit(at(t0, change)), level) << k;
    }
    std::uint32_t end = 2000000 + played.back() + 2000000;
    EXPECT_EQ(tape.trackEnded, 0);
    tapeInputBit(at(t0, end - 1));
    EXPECT_EQ(tape.trackEnded, 0);
    EXPECT_EQ(tapeInputBit(at(t0, end)), 1);
    EXPECT_EQ(tape.trackEnded, 1);
}

TEST_F(PlayTest, MidiMessagesWithMuteOffAndOn) {
    for (std::uint8_t muted : {0, 1}) {
        test::clearMidiRecord();
        runInputs.mute = muted;
        ASSERT_EQ(play(pulseFile()), "");
        tapeInputBit(100);
        tapeInputBit(2000100);
        tapeSilence();
        std::string message;
        tapeStop(message);
        std::vector<MidiMessage> expected = {{0xB0, 7, 48}, {0xC0, 80, 0}};
        if (!muted) expected.push_back({0x90, 98, 127}); // the leader
        expected.push_back({0x90, 98, 0});
        if (!muted) expected.push_back({0x90, 98, 127}); // the first change, delta 0
        expected.push_back({0x90, 98, 0});
        if (!muted) expected.push_back({0x90, 86, 127});
        expected.push_back({0x90, 86, 0}); // silence on halt
        EXPECT_EQ(midiSent, expected) << "mute " << int(muted);
        EXPECT_EQ(test::midiCloseCount, 1);
    }
}

TEST_F(PlayTest, FailedOpenPlaysSilently) {
    test::midiOpenResult = -3;
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(play(pulseFile()), "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "midiOutOpen rc=-3\n");
    EXPECT_EQ(tape.tapeState, TAPE_PLAYING | TAPE_WAITING);
    EXPECT_EQ(tapeInputBit(7), 1);
    EXPECT_EQ(tapeInputBit(2000007), 0);
    EXPECT_TRUE(midiSent.empty());
}

TEST_F(PlayTest, LineReadsHighWithoutAPlayingTape) {
    EXPECT_EQ(tapeInputBit(5), 1);
    std::string message;
    ASSERT_TRUE(tapeStartRecording("Orvane bytes", path("r.mid"), message));
    tapeOutputBit(0, 100);
    EXPECT_EQ(tapeInputBit(200), 1);
}

// Whatever follows the head, reading the line ends the track or waits, and never leaves the buffer.
TEST_F(PlayTest, DamagedTracksEndCleanly) {
    const Bytes head = {0x00, 0xC0, 0x50, 0x00, 0x90};
    const struct {
        const char* what;
        Bytes groups;
        std::uint32_t endsAt; // cycles after the first read
    } cases[] = {
        {"nothing after the note on", {}, 0},
        {"delta cut short", {0x56, 0x7F, 0x81}, 0},
        {"delta too long", {0x56, 0x7F, 0x81, 0x81, 0x81, 0x81, 0x01, 0x62, 0x00, 0x00}, 0},
        {"other note", {0x62, 0x7F, 0x05, 0x62, 0x00, 0x00, 0x40, 0x7F, 0x05}, 500},
        {"longest delta",
         {0x56, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0x56, 0x00, 0x00, 0x62, 0x7F, 0x00, 0x62, 0x00, 0x00},
         1000000000},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(play(midiFile(head + c.groups)), "") << c.what;
        tapeInputBit(-50);
        if (c.endsAt > 0) {
            EXPECT_EQ(tape.trackEnded, 0) << c.what;
            tapeInputBit(at(-50, c.endsAt - 1));
            EXPECT_EQ(tape.trackEnded, 0) << c.what;
        }
        EXPECT_EQ(tapeInputBit(at(-50, c.endsAt)), 1) << c.what;
        EXPECT_EQ(tape.trackEnded, 1) << c.what;
        std::string message;
        tapeStop(message);
        EXPECT_EQ(message, "") << c.what;
    }

    // Noise over several blocks, from bytes of every kind and from the recorder's own bytes.
    const Bytes alphabet = {0x62, 0x56, 0x00, 0x7F, 0x81, 0xFF, 0x05, 0x9C};
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 random(seed);
        Bytes noise(9000 + seed * 1000);
        for (auto& b : noise)
            b = seed % 2 ? alphabet[random() % alphabet.size()] : static_cast<std::uint8_t>(random());
        ASSERT_EQ(play(midiFile(head + noise)), "") << seed;
        std::uint32_t now = 1;
        for (int read = 0; read < 30000; ++read, now += 150000) {
            const int level = tapeInputBit(static_cast<std::int32_t>(now));
            // An ended track leaves the line high.
            if (tape.trackEnded) {
                ASSERT_EQ(level, 1) << seed << " read " << read;
            }
        }
        EXPECT_EQ(tape.trackEnded, 1) << seed;
        std::string message;
        tapeStop(message);
        EXPECT_EQ(message, "") << seed;
    }
}

TEST_F(PlayTest, ReadFailureEndsTheTrackAndIsReportedAtStop) {
    Bytes groups;
    for (int k = 0; k < 2000; ++k)
        groups = groups + (k % 2 ? Bytes{0x0A, 0x56, 0x00, 0x00, 0x62, 0x7F}
                                 : Bytes{0x0A, 0x62, 0x00, 0x00, 0x56, 0x7F});
    ASSERT_EQ(play(test::recordedFile(groups, 0x62)), "");
    std::filesystem::resize_file(path("p.mid"), 5000);
    EXPECT_EQ(tapeInputBit(0), 1);
    EXPECT_EQ(tapeInputBit(100000000), 1);
    EXPECT_EQ(tape.trackEnded, 1);
    std::string message;
    tapeStop(message);
    EXPECT_EQ(message, "Error: cannot read file 'p.mid'");
}

} // namespace
} // namespace orv
