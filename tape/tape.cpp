// Tape state, recording to a MIDI file, stopping, and the tape's use of the MIDI output.
#include "tape/tape.h"

#include "base/file_names.h"
#include "base/run_inputs.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "tape/midi.h"
#include "tape/tape_internal.h"

namespace orv {

TapeRecord tape;

namespace {

// The recorder never writes a longer gap than one second: 10,000 ticks, two bytes of delta.
constexpr std::uint32_t MAX_GAP_CYCLES = 1000000;
// Room kept at the end of the buffer for one level change (7 bytes) and for the trailer (9 bytes).
constexpr std::int32_t FLUSH_BEFORE_CHANGE = TAPE_BUFFER_SIZE - 7;
constexpr std::int32_t FLUSH_BEFORE_TRAILER = TAPE_BUFFER_SIZE - 8;
// The silence of the leader and of the trailer, 2 s: 20,000 ticks as a variable-length quantity.
constexpr std::uint8_t LEADER_TICKS[] = {0x81, 0x9C, 0x20};
// A signal unchanged for half a second of machine time has ended.
constexpr std::uint32_t ACTIVE_CYCLES = 500000;

void put(std::uint8_t byte) {
    tape.tapeBuffer[static_cast<std::size_t>(tape.tapeCursor++)] = byte;
}

void put(std::initializer_list<std::uint8_t> bytes) {
    for (std::uint8_t b : bytes) put(b);
}

void putHead(const std::string& text) {
    // The length is one byte; the caller's label is far shorter.
    std::size_t length = std::min<std::size_t>(text.size(), 255);
    put({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x13, 0x88});
    put({'M', 'T', 'r', 'k', 0, 0, 0, 0});
    put({0x00, 0xFF, 0x01, static_cast<std::uint8_t>(length)});
    for (std::size_t i = 0; i < length; ++i) put(static_cast<std::uint8_t>(text[i]));
    put({0x00, 0xB0, 0x07, 0x40});
    put({0x00, 0xC0, 0x50});
    put({0x00, 0x90, TAPE_NOTE_HIGH, 0x7F});
    put({LEADER_TICKS[0], LEADER_TICKS[1], LEADER_TICKS[2], TAPE_NOTE_HIGH, 0x00});
    put({0x00, TAPE_NOTE_HIGH, 0x7F});
}

bool rewriteLength() {
    std::uint32_t length = static_cast<std::uint32_t>(tape.trackLength);
    std::uint8_t bytes[4] = {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
                             static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    std::FILE* file = tape.recordFile.file;
    return std::fseek(file, 18, SEEK_SET) == 0 && std::fwrite(bytes, 1, 4, file) == 4 &&
           std::fflush(file) == 0;
}

} // namespace

std::FILE* tapeOpenFile(const std::string& fileName, bool writing, std::string& message) {
    message.clear();
    // The window offers Record and Play only while idle; a second file would orphan the running one.
    if (tape.tapeState != 0) {
        message = "Error: a tape is already running";
        return nullptr;
    }
    tape.tapeMessage.clear();
    // The user picked a name in a folder: the limit and the messages are about that name.
    const std::string bare = bareName(fileName);
    if (!nameFits(bare, message)) return nullptr;
    if (bare.empty()) {
        message = "Error: no filename given";
        return nullptr;
    }
    tape.tapeFileName = bare;
    // A device or the like is named as it stands; refused below, it is never replaced by a tape.
    if (!namesSpecialFile(fileName)) addDefaultExtension(tape.tapeFileName, "mid");
    const std::string path = fileName.substr(0, fileName.size() - bare.size()) + tape.tapeFileName;
    FileRefusal why = FileRefusal::None;
    std::FILE* file = nullptr;
    if (writing) {
        if (replacingOpen(tape.recordFile, path, why)) file = tape.recordFile.file;
    } else {
        file = openForReading(path, why);
    }
    if (!file) message = formatText("Error: file '%s' could not be opened", tape.tapeFileName.c_str());
    return file;
}

bool tapeMidiOpen() {
    trace("midiOpen\n");
    int rc = midiOpen();
    if (rc != 0) {
        traceAlways("midiOutOpen rc=%d\n", rc);
        return false;
    }
    return true;
}

bool tapeOpenOutput() {
    if (!tapeMidiOpen()) return false;
    tape.tapeState |= TAPE_MIDI_OPEN;
    tapeMidiSend(0xB0, 7, 48);
    tapeMidiSend(0xC0, 80, 0);
    return true;
}

void tapeMidiSend(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    if (!(tape.tapeState & TAPE_MIDI_OPEN)) return;
    // Notes cannot be played faster than real time: in turbo the tape runs silent.
    if (runInputs.turbo && (status & 0xF0) == 0x90) return;
    int rc = midiSend(status, data1, data2);
    if (rc != 0) traceAlways("midiOutShortMsg rc=%d\n", rc);
}

void tapeMidiClose() {
    trace("midiClose\n");
    midiClose();
    tape.tapeState &= static_cast<std::uint8_t>(~TAPE_MIDI_OPEN);
}

bool tapeStartRecording(const std::string& text, const std::string& fileName, std::string& message) {
    if (!tapeOpenFile(fileName, true, message)) return false;
    trace("Tape Record\n");
    tape.tapeState |= TAPE_RECORDING | TAPE_WAITING;
    tape.trackLength = -TAPE_CHUNK_HEADERS;
    tape.tapeCursor = 0;
    putHead(text);
    tape.tapeLevel = 1;
    tape.lastEdgeCycle = 0;
    tape.tapeClockStarted = 0;
    tape.trackEnded = 0;
    tape.wentLow = 0;
    if (!tapeFlush(message)) {
        // No head, no tape: the stop that follows drops the new file.
        tape.tapeMessage = message;
        return false;
    }
    if (tapeOpenOutput() && !runInputs.mute) tapeMidiSend(0x90, TAPE_NOTE_HIGH, 127);
    return true;
}

void tapeOutputBit(int level, std::int32_t atCycles) {
    std::uint8_t newLevel = level ? 1 : 0;
    if (!(tape.tapeState & TAPE_RECORDING) || newLevel == tape.tapeLevel) return;
    std::uint8_t oldNote = tapeNoteOf(tape.tapeLevel);
    std::uint8_t newNote = tapeNoteOf(newLevel);
    if (tape.tapeClockStarted) tapeMidiSend(0x90, oldNote, 0);
    tape.tapeLevel = newLevel;
    if (newLevel == 0) tape.wentLow = 1;
    if (!runInputs.mute) tapeMidiSend(0x90, newNote, 127);

    // The first change follows the leader directly. A clock that went back gives no negative gap;
    // the difference is taken modulo 2^32 so the count may wrap.
    std::uint32_t gap = 0;
    if (tape.tapeClockStarted) {
        auto elapsed = static_cast<std::int32_t>(static_cast<std::uint32_t>(atCycles) -
                                                 static_cast<std::uint32_t>(tape.lastEdgeCycle));
        if (elapsed > 0) gap = static_cast<std::uint32_t>(elapsed);
    }
    tape.lastEdgeCycle = atCycles;
    tape.tapeClockStarted = 1;
    if (gap > MAX_GAP_CYCLES) gap = MAX_GAP_CYCLES;
    std::uint32_t ticks = (gap + TAPE_CYCLES_PER_TICK / 2) / TAPE_CYCLES_PER_TICK;

    if (tape.tapeCursor >= FLUSH_BEFORE_CHANGE) {
        // A lost block spoils the recording: the program stops it on its next tick and the old tape
        // stays as it was.
        std::string failure;
        if (!tapeFlush(failure)) tape.tapeMessage = failure;
    }
    if (ticks >= 128) put(static_cast<std::uint8_t>((ticks >> 7) | 0x80));
    put(static_cast<std::uint8_t>(ticks & 0x7F));
    put({oldNote, 0x00, 0x00, newNote, 0x7F});
}

bool tapeFlush(std::string& message) {
    message.clear();
    auto count = static_cast<std::size_t>(tape.tapeCursor);
    tape.tapeCursor = 0;
    // Flushed at once so a full disk shows up here and not only at close.
    std::FILE* file = tape.recordFile.file;
    bool written =
        file && std::fwrite(tape.tapeBuffer.data(), 1, count, file) == count && std::fflush(file) == 0;
    if (!written) {
        message = formatText("Error: file '%s' could not be written", tape.tapeFileName.c_str());
        return false;
    }
    tape.trackLength = static_cast<std::int32_t>(static_cast<std::uint32_t>(tape.trackLength) + count);
    trace("Tape write %d bytes\n", static_cast<int>(count));
    return true;
}

void tapeStop(std::string& message) {
    message.clear();
    if (tape.tapeState == 0) return;
    if (tape.tapeState & TAPE_MIDI_OPEN) tapeMidiClose();
    bool complete = false;
    if (!tape.tapeMessage.empty()) {
        message = tape.tapeMessage;
    } else if (tape.tapeState & TAPE_RECORDING) {
        // A block lost before the trailer must not be hidden by a later block that was written.
        std::string failure;
        if (tape.tapeCursor >= FLUSH_BEFORE_TRAILER) tapeFlush(failure);
        put({LEADER_TICKS[0], LEADER_TICKS[1], LEADER_TICKS[2], tapeNoteOf(tape.tapeLevel), 0x00});
        put({0x00, 0xFF, 0x2F, 0x00});
        tapeFlush(message);
        if (message.empty()) message = failure;
        if (!rewriteLength())
            message = formatText("Error: file '%s' could not be rewritten", tape.tapeFileName.c_str());
        complete = message.empty();
        if (complete && !tape.tapeClockStarted)
            message = formatText("Warning: no data recorded in '%s'", tape.tapeFileName.c_str());
    }
    trace("Tape Stop\n");
    tape.lastEdgeCycle = 0;
    tape.tapeClockStarted = 0;
    tape.tapeLevel = 1;
    if (tape.playFile) {
        std::fclose(tape.playFile);
        tape.playFile = nullptr;
    }
    if (tape.recordFile.file) {
        // Only a finished recording replaces the old tape; any failure leaves that as it was.
        if (!complete)
            replacingDiscard(tape.recordFile);
        else if (!replacingCommit(tape.recordFile))
            message = formatText("Error: file '%s' could not be written", tape.tapeFileName.c_str());
    }
    tape.tapeCursor = 0;
    tape.tapeLast = -1;
    tape.tapeBytesLeft = 0;
    tape.tapeMessage.clear();
    tape.tapeState = 0;
}

bool tapeActive(std::int32_t atCycles) {
    if (tape.tapeState == 0 || !tape.wentLow || tape.trackEnded) return false;
    // Modulo 2^32: a clock that went back reads as a long silence.
    std::uint32_t since =
        static_cast<std::uint32_t>(atCycles) - static_cast<std::uint32_t>(tape.lastEdgeCycle);
    return since < ACTIVE_CYCLES;
}

void tapeClockMoved(std::int32_t from, std::int32_t to) {
    // Before the clock starts the stamps are no counts yet: playing keeps the leader's length there.
    if (tape.tapeState == 0 || !tape.tapeClockStarted) return;
    const std::uint32_t by = static_cast<std::uint32_t>(to) - static_cast<std::uint32_t>(from);
    tape.lastEdgeCycle = static_cast<std::int32_t>(static_cast<std::uint32_t>(tape.lastEdgeCycle) + by);
    tape.nextEdgeCycle = static_cast<std::int32_t>(static_cast<std::uint32_t>(tape.nextEdgeCycle) + by);
}

void tapeSilence() {
    if (tape.tapeState != 0) tapeMidiSend(0x90, tapeNoteOf(tape.tapeLevel), 0);
}

} // namespace orv
