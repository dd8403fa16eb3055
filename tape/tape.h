// The cassette tape: recording the RIO's cassette output into a MIDI file and playing one back
// into its input, timed in machine cycles.
#pragma once

#include "files/safe_file.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace orv {

constexpr std::uint8_t TAPE_PLAYING = 0x01;
constexpr std::uint8_t TAPE_RECORDING = 0x02;
constexpr std::uint8_t TAPE_WAITING = 0x10;
constexpr std::uint8_t TAPE_ACTIVE = 0x20;
constexpr std::uint8_t TAPE_ENDED = 0x40;
constexpr std::uint8_t TAPE_MIDI_OPEN = 0x80;

// The notes of the two levels: 1 is "b", 0 is "V".
constexpr std::uint8_t TAPE_NOTE_HIGH = 98;
constexpr std::uint8_t TAPE_NOTE_LOW = 86;

constexpr int TAPE_BUFFER_SIZE = 4000;
// The text of the Text event at the head of every recording.
constexpr const char* TAPE_LABEL = "Orvane bytes";
// Machine cycles per tick: at the default tempo one tick lasts 100 us, and the board runs at 1 MHz.
constexpr int TAPE_CYCLES_PER_TICK = 100;

// Everything the tape holds between calls, in one record: a test starts afresh with
// `tape = TapeRecord{}` (after tapeStop, which closes the files).
struct TapeRecord {
    // 0 = idle. The housekeeping tick moves the activity bits.
    std::uint8_t tapeState = 0;
    // Level of the tape signal, 0 or 1; 1 while idle.
    std::uint8_t tapeLevel = 1;
    // Cycle count of the last recorded level change, or of the event now sounding. Meaningful only
    // once tapeClockStarted is set.
    std::int32_t lastEdgeCycle = 0;
    // Playing: cycle count at which the next level change falls due.
    std::int32_t nextEdgeCycle = 0;
    // Recording: a level change has been recorded. Playing: the time line has been anchored at the
    // first read of the input line. A separate flag because any cycle count, 0 included, is a valid
    // time.
    std::uint8_t tapeClockStarted = 0;
    // Playing: no further level change in the file.
    std::uint8_t trackEnded = 0;
    // The level has been 0 at least once since this tape started.
    std::uint8_t wentLow = 0;
    std::array<std::uint8_t, TAPE_BUFFER_SIZE> tapeBuffer{};
    // Index of the next byte to write (recording) or to read (playing).
    std::int32_t tapeCursor = 0;
    // Playing: index of the last valid byte of the block (-1 when none).
    std::int32_t tapeLast = -1;
    // Playing: bytes of the file not yet read into the buffer.
    std::int32_t tapeBytesLeft = 0;
    // Recording: bytes written so far minus 22, the track chunk's data length once the file is
    // complete.
    std::int32_t trackLength = 0;
    // A failure while the machine ran, kept for tapeStop to report; empty = none. A recording with a
    // failure is stopped by the program as soon as it notices.
    std::string tapeMessage;
    // The bare name of the file as opened, default extension added; messages name it.
    std::string tapeFileName;
    // The recording: a new file beside the tape it replaces, put in its place only by a stop that
    // finished it. Until then the old tape is untouched.
    ReplacingFile recordFile;
    std::FILE* playFile = nullptr;
};

extern TapeRecord tape;

// Creates the file and starts recording. Returns true with message empty on success.
bool tapeStartRecording(const std::string& text, const std::string& fileName, std::string& message);
// Records a change of the cassette output level while a recording runs; no effect otherwise.
void tapeOutputBit(int level, std::int32_t atCycles);
// Writes the collected bytes to the recording file. Returns false with a message on failure.
bool tapeFlush(std::string& message);
// Ends recording or playing. message is cleared, then holds an error or a warning, if any.
void tapeStop(std::string& message);
// True while the tape signal is alive; false whenever no tape runs.
bool tapeActive(std::int32_t atCycles);
// The cycle counter jumped from one count to another (power-on restarts it): the tape's own cycle
// counts move with it, so a running tape's time goes on unbroken.
void tapeClockMoved(std::int32_t from, std::int32_t to);
// Note off for the sounding level, used when the machine halts.
void tapeSilence();

// Opens and checks a recorded file and starts playing it. Returns true with message empty on success.
bool tapeStartPlaying(const std::string& fileName, std::string& message);
// The cassette input level: 1 while no tape plays.
int tapeInputBit(std::int32_t atCycles);
// Reads the next group of the track and sounds its level.
void tapeNextEvent();
// The next byte of the playing file; 0xFF once the data is used up.
std::uint8_t tapeNextByte();
// Reads the next block of the playing file. Returns false with a message on failure.
bool tapeRefill(std::string& message);

// The MIDI output as the tape uses it, shared by recording and playback: traces, result-code lines,
// and sending only while the device is open.
bool tapeMidiOpen();
void tapeMidiSend(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
void tapeMidiClose();

} // namespace orv
