// Playing a recorded MIDI file into the cassette input, at the machine time the recording holds.
#include "base/run_inputs.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "tape/tape.h"
#include "tape/tape_internal.h"

#include <cstring>
#include <limits>

namespace orv {

namespace {

// The smallest head worth examining: both chunk headers and the first events.
constexpr std::int32_t MIN_HEAD = 27;
// A variable-length quantity has at most four bytes.
constexpr int MAX_DELTA_BYTES = 4;
// The largest file the reader can count down in tapeBytesLeft.
constexpr long MAX_FILE_SIZE = std::numeric_limits<std::int32_t>::max();
// Keeps every due time within 2^31 cycles of now, so wrapped comparisons stay right.
constexpr std::uint32_t MAX_EVENT_TICKS = 10000000;

// a - b as a signed distance on a clock that wraps modulo 2^32.
std::int32_t cyclesBetween(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

std::int32_t cyclesAfter(std::int32_t base, std::uint32_t distance) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(base) + distance);
}

std::uint32_t bigEndian(std::int32_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | tape.tapeBuffer[static_cast<std::size_t>(at + i)];
    return value;
}

bool dataUsedUp() {
    return tape.tapeCursor > tape.tapeLast && tape.tapeBytesLeft <= 0;
}

void endTrack() {
    tape.trackEnded = 1;
    trace("Tape track ended\n");
}

// Checks the first block; on success tapeCursor is left after the first note on's status.
bool checkHead(std::int32_t size, std::string& message) {
    const std::uint8_t* b = tape.tapeBuffer.data();
    std::int32_t n = tape.tapeLast + 1;
    const char* name = tape.tapeFileName.c_str();
    if (n < MIN_HEAD || std::memcmp(b, "MThd", 4) != 0 || std::memcmp(b + 14, "MTrk", 4) != 0 ||
        bigEndian(4, 4) != 6) {
        message = formatText("Error: file '%s' is not a MIDI file", name);
        return false;
    }
    if (bigEndian(8, 2) != 0 || bigEndian(10, 2) != 1 || bigEndian(12, 2) != 5000) {
        message = formatText("Sorry: the file '%s' is not in a MIDI format ORV understands", name);
        return false;
    }
    if (bigEndian(18, 4) != static_cast<std::uint32_t>(size - TAPE_CHUNK_HEADERS)) {
        message = formatText("Error: file '%s' has bad track length", name);
        return false;
    }
    // Text, volume and program events in any order; every byte looked at lies inside the block.
    std::int32_t p = TAPE_CHUNK_HEADERS;
    for (;;) {
        if (p + 3 < n && b[p] == 0x00 && b[p + 1] == 0xFF && b[p + 2] == 0x01) {
            std::int32_t next = p + 4 + b[p + 3];
            if (next > n) break;
            p = next;
        } else if (p + 3 < n && b[p] == 0x00 && b[p + 1] == 0xB0 && b[p + 2] == 0x07) {
            p += 4;
        } else if (p + 2 < n && b[p] == 0x00 && b[p + 1] == 0xC0) {
            p += 3;
        } else {
            break;
        }
    }
    if (!(p + 1 < n && b[p] == 0x00 && b[p + 1] == 0x90)) {
        message =
            formatText("Sorry: the file '%s' contains MIDI data ORV does not understand [at %d]", name, p);
        return false;
    }
    tape.tapeCursor = p + 2;
    return true;
}

void closePlayFile() {
    std::fclose(tape.playFile);
    tape.playFile = nullptr;
    tape.tapeCursor = 0;
    tape.tapeLast = -1;
    tape.tapeBytesLeft = 0;
}

} // namespace

bool tapeStartPlaying(const std::string& fileName, std::string& message) {
    // Into a local first: a refused start leaves the running tape's file alone.
    std::FILE* file = tapeOpenFile(fileName, false, message);
    if (!file) return false;
    tape.playFile = file;
    // 64 bits: a long is 32 on Windows, where a file past 2 GiB would seem to have no length.
    const long long size = openFileSize(tape.playFile);
    if (size < 1 || size > MAX_FILE_SIZE) {
        message =
            formatText(size < 1 ? "Error: file '%s' empty or unknown length" : "Error: file '%s' too large",
                       tape.tapeFileName.c_str());
        closePlayFile();
        return false;
    }
    tape.tapeBytesLeft = static_cast<std::int32_t>(size);
    if (std::fseek(tape.playFile, 0, SEEK_SET) != 0) {
        message = formatText("Error: cannot read file '%s'", tape.tapeFileName.c_str());
        closePlayFile();
        return false;
    }
    if (!tapeRefill(message) || !checkHead(static_cast<std::int32_t>(size), message)) {
        closePlayFile();
        return false;
    }
    tape.tapeState |= TAPE_PLAYING | TAPE_WAITING;
    trace("Tape Playing '%s' [%d]\n", tape.tapeFileName.c_str(), static_cast<int>(size));
    tape.trackEnded = 0;
    tape.lastEdgeCycle = 0;
    tape.nextEdgeCycle = 0;
    tape.tapeClockStarted = 0;
    tape.wentLow = 0;
    tapeOpenOutput();
    // The leader: level 1, the first change due 2 s after the time line is anchored.
    tapeNextEvent();
    return true;
}

int tapeInputBit(std::int32_t atCycles) {
    if (!(tape.tapeState & TAPE_PLAYING)) return 1;
    // The recording's time starts at the program's first read of the line, not at the command.
    if (!tape.tapeClockStarted) {
        tape.nextEdgeCycle = cyclesAfter(tape.nextEdgeCycle, static_cast<std::uint32_t>(atCycles));
        tape.lastEdgeCycle = atCycles;
        tape.tapeClockStarted = 1;
    }
    // Every pass consumes file data, so a read that lags far behind still ends.
    while (!tape.trackEnded && cyclesBetween(tape.nextEdgeCycle, atCycles) <= 0) tapeNextEvent();
    if (tape.trackEnded) return 1;
    if (tape.tapeLevel == 0) tape.wentLow = 1;
    return tape.tapeLevel;
}

void tapeNextEvent() {
    if (tape.tapeClockStarted) tapeMidiSend(0x90, tapeNoteOf(tape.tapeLevel), 0);
    std::uint8_t note = tapeNextByte();
    if (note != TAPE_NOTE_HIGH && note != TAPE_NOTE_LOW) {
        endTrack();
        return;
    }
    tape.tapeLevel = note == TAPE_NOTE_HIGH ? 1 : 0;
    if (!runInputs.mute) tapeMidiSend(0x90, note, 127);
    tapeNextByte();
    // A delta cut short by the end of the data, or longer than any delta can be, ends the track.
    std::uint32_t ticks = 0;
    for (int count = 0;; ++count) {
        if (count == MAX_DELTA_BYTES || dataUsedUp()) {
            endTrack();
            return;
        }
        std::uint8_t b = tapeNextByte();
        ticks = (ticks << 7) | (b & 0x7Fu);
        if (!(b & 0x80)) break;
    }
    if (ticks > MAX_EVENT_TICKS) ticks = MAX_EVENT_TICKS;
    tape.lastEdgeCycle = tape.nextEdgeCycle;
    tape.nextEdgeCycle = cyclesAfter(tape.nextEdgeCycle, ticks * TAPE_CYCLES_PER_TICK);
    for (int i = 0; i < 3; ++i) tapeNextByte();
}

std::uint8_t tapeNextByte() {
    if (tape.tapeCursor > tape.tapeLast) {
        if (tape.tapeBytesLeft <= 0) return 0xFF;
        std::string failure;
        if (!tapeRefill(failure)) {
            tape.tapeMessage = failure;
            tape.tapeBytesLeft = 0;
            return 0xFF;
        }
    }
    return tape.tapeBuffer[static_cast<std::size_t>(tape.tapeCursor++)];
}

bool tapeRefill(std::string& message) {
    message.clear();
    std::int32_t count = std::min(tape.tapeBytesLeft, TAPE_BUFFER_SIZE);
    if (!tape.playFile || count < 1 ||
        std::fread(tape.tapeBuffer.data(), 1, static_cast<std::size_t>(count), tape.playFile) !=
            static_cast<std::size_t>(count)) {
        message = formatText("Error: cannot read file '%s'", tape.tapeFileName.c_str());
        return false;
    }
    trace("Tape read %d bytes\n", count);
    tape.tapeCursor = 0;
    tape.tapeLast = count - 1;
    tape.tapeBytesLeft -= count;
    return true;
}

} // namespace orv
