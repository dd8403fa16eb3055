#include "web/api.h"

#include "base/address.h"
#include "base/file_names.h"
#include "base/file_results.h"
#include "base/run_inputs.h"
#include "board/board.h"
#include "machine/cpu.h"
#include "machine/display_text.h"
#include "machine/key_feed.h"
#include "machine/keys.h"
#include "machine/latch.h"
#include "machine/panel_geometry.h"
#include "machine/power.h"
#include "machine/save_state.h"
#include "objfile/binary.h"
#include "objfile/file_kind.h"
#include "objfile/hex_dump.h"
#include "objfile/objfile.h"
#include "runner/run.h"
#include "tape/tape.h"

#include <emscripten/emscripten.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

namespace {

using namespace orv;

// The text the last call returned; the page copies it out at once.
std::string returned;
// What the last file command had to say.
std::string message;

const char* give(std::string text) {
    returned = std::move(text);
    return returned.c_str();
}

bool validKey(int id) {
    return id >= 0 && id < KEY_COUNT;
}

} // namespace

void orv::setWebMessage(const std::string& text) {
    message = text;
}

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* orvPowerOn(std::uint32_t seed) {
    // This runtime starts with every permission bit masked: the files the core writes would come out
    // unreadable. The usual mask, as a shell would give it.
    ::umask(022);
    board = BoardRecord{};
    keyFeed = KeyFeedRecord{};
    seedRandom(seed);
    std::string message;
    boardPowerOn(monitorImageText(), message);
    cpuRequestReset();
    return give(message);
}

EMSCRIPTEN_KEEPALIVE int orvRun(std::int32_t cycles) {
    std::uint8_t status = 0;
    const auto start = static_cast<std::uint32_t>(cpu.cycles);
    while (static_cast<std::int32_t>(static_cast<std::uint32_t>(cpu.cycles) - start) < cycles) {
        const std::int32_t left =
            cycles - static_cast<std::int32_t>(static_cast<std::uint32_t>(cpu.cycles) - start);
        // cpuExecute runs until more than its budget has passed.
        status = boardSlice(std::min(BOARD_SLICE, left) - 1);
        const bool stopDue = board.events & BOARD_TAPE_STOP;
        board.events = 0;
        if (stopDue) return status | ORV_TAPE_STOP_DUE;
        if (status & (SLICE_BREAK | SLICE_WATCH | SLICE_BADOP)) break;
    }
    return status;
}

EMSCRIPTEN_KEEPALIVE std::uint32_t orvCycles() {
    return static_cast<std::uint32_t>(cpu.cycles);
}

EMSCRIPTEN_KEEPALIVE int orvKeyCount() {
    return KEY_COUNT;
}

EMSCRIPTEN_KEEPALIVE const char* orvKeyLegend(int id) {
    return give(validKey(id) ? std::string(keyTable[static_cast<std::size_t>(id)].legend) : "");
}

EMSCRIPTEN_KEEPALIVE const char* orvKeyCharacters(int id) {
    return give(validKey(id) ? std::string(keyTable[static_cast<std::size_t>(id)].characters) : "");
}

EMSCRIPTEN_KEEPALIVE int orvKeyX(int id) {
    return validKey(id) ? keyTable[static_cast<std::size_t>(id)].x : 0;
}

EMSCRIPTEN_KEEPALIVE int orvKeyY(int id) {
    return validKey(id) ? keyTable[static_cast<std::size_t>(id)].y : 0;
}

EMSCRIPTEN_KEEPALIVE void orvKey(int id) {
    if (id == keyWithLegend("rst"))
        cpuRequestReset();
    else
        keyFeedAdd(id);
}

EMSCRIPTEN_KEEPALIVE int orvType(const char* text) {
    return static_cast<int>(keyFeedAddText(text));
}

EMSCRIPTEN_KEEPALIVE int orvKeysLeft() {
    return static_cast<int>(keyFeedLeft());
}

EMSCRIPTEN_KEEPALIVE void orvStopKeys() {
    keyFeedStop();
}

EMSCRIPTEN_KEEPALIVE int orvPasteMemory(const char* text, int start) {
    const PasteResult result =
        pasteIntoMemory(text, start < 0 ? std::nullopt : std::optional(static_cast<std::uint16_t>(start)));
    if (result.needsAddress) return 1;
    message = result.message.empty() ? pasteSummary(result) : result.message;
    return result.message.empty() ? 0 : 2;
}

EMSCRIPTEN_KEEPALIVE const char* orvEditText(int what) {
    const char* texts[] = {PASTE_KEYS_CAPTION, NO_KEYS_TEXT, PASTE_MEMORY_CAPTION, PASTE_ADDRESS_CAPTION,
                           PASTE_ADDRESS_QUESTION};
    return what >= 0 && what < 5 ? texts[what] : "";
}

EMSCRIPTEN_KEEPALIVE int orvSegmentBox(int bit, int what) {
    if (bit < 0 || bit >= static_cast<int>(segmentBoxes.size())) return 0;
    const SegmentBox& box = segmentBoxes[static_cast<std::size_t>(bit)];
    switch (what) {
    case 0: return box.left;
    case 1: return box.right;
    case 2: return box.top;
    case 3: return box.bottom;
    default: return static_cast<int>(box.shape);
    }
}

EMSCRIPTEN_KEEPALIVE int orvDigitLeft(int position) {
    return digitLeftUnits(position);
}

EMSCRIPTEN_KEEPALIVE int orvPanelUnits(int what) {
    switch (what) {
    case 0: return PANEL_WIDTH_UNITS;
    case 1: return DISPLAY_HEIGHT_UNITS;
    case 2: return KEYPAD_HEIGHT_UNITS;
    case 3: return KEY_WIDTH_UNITS;
    default: return KEY_HEIGHT_UNITS;
    }
}

EMSCRIPTEN_KEEPALIVE std::uint32_t orvColour(int colour) {
    return colour >= 0 && colour < COLOUR_COUNT ? panelColours[static_cast<std::size_t>(colour)] : 0;
}

EMSCRIPTEN_KEEPALIVE int orvDigit(int position) {
    return position >= 0 && position < 8 ? latch.digitSegments[static_cast<std::size_t>(position)] : 0;
}

EMSCRIPTEN_KEEPALIVE const char* orvDisplayText() {
    return give(displayText());
}

EMSCRIPTEN_KEEPALIVE int orvTapeLight() {
    if (tape.tapeState == 0) return 0;
    if (tape.tapeState & TAPE_RECORDING) return (tape.tapeState & TAPE_ACTIVE) ? 4 : 3;
    return tapeActive(cpu.cycles) ? 2 : 1;
}

EMSCRIPTEN_KEEPALIVE const char* orvInvalidOpcode(int what) {
    return what == 0 ? INVALID_OPCODE_CAPTION : give(invalidOpcodeText());
}

EMSCRIPTEN_KEEPALIVE const char* orvRegisterLine() {
    return give(registerLine());
}

EMSCRIPTEN_KEEPALIVE int orvFileKind(const char* path) {
    return static_cast<int>(programFileKind(path));
}

EMSCRIPTEN_KEEPALIVE int orvLoadProgram(const char* path, int at) {
    message.clear();
    if (at < 0) return loadObjectFile(path, message);
    return loadBinaryFile(path, static_cast<std::uint16_t>(at), message);
}

EMSCRIPTEN_KEEPALIVE int orvSaveObject(const char* path, int start, int end) {
    message.clear();
    return saveObjectFile(path, static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(end), message);
}

EMSCRIPTEN_KEEPALIVE int orvSaveBinary(const char* path, int start, int end) {
    message.clear();
    return saveBinaryFile(path, static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(end), message);
}

EMSCRIPTEN_KEEPALIVE void orvSetPc(int address) {
    cpuSetPc(static_cast<std::uint16_t>(address));
}

EMSCRIPTEN_KEEPALIVE void orvSetRun(int halted, int turbo, int mute) {
    // A note sounding as the machine halts or goes to turbo, where notes are not sent, is silenced.
    if (((halted && !runInputs.halted) || (turbo && !runInputs.turbo)) && (tape.tapeState & TAPE_MIDI_OPEN))
        tapeSilence();
    runInputs.halted = halted != 0;
    runInputs.turbo = turbo != 0;
    runInputs.mute = static_cast<std::uint8_t>(mute != 0);
}

EMSCRIPTEN_KEEPALIVE int orvSaveState(const char* path) {
    message.clear();
    return saveStateFile(path, message) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int orvLoadState(const char* path) {
    message.clear();
    if (!loadStateFile(path, message)) return 0;
    // A tape's stop due from before belongs to the board that was replaced.
    board.tapeStopDue = 0;
    return loadedStateHalted() ? 2 : 1;
}

EMSCRIPTEN_KEEPALIVE int orvTapeRecord(const char* path) {
    message.clear();
    if (tape.tapeState != 0) return 0;
    if (tapeStartRecording(TAPE_LABEL, path, message)) {
        // An automatic stop still due from the previous tape is not this one's.
        board.tapeStopDue = 0;
        return 1;
    }
    // A file without its head is no tape: closed at once.
    std::string ignored;
    if (tape.tapeState != 0) tapeStop(ignored);
    return 0;
}

EMSCRIPTEN_KEEPALIVE int orvTapePlay(const char* path) {
    message.clear();
    if (tape.tapeState != 0) return 0;
    return tapeStartPlaying(path, message) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int orvTapeStop() {
    const int ran = (tape.tapeState & TAPE_RECORDING) ? 2 : tape.tapeState != 0 ? 1 : 0;
    tapeStop(message);
    return ran;
}

EMSCRIPTEN_KEEPALIVE const char* orvMessage() {
    return message.c_str();
}

EMSCRIPTEN_KEEPALIVE int orvAddress(const char* text) {
    const auto value = addressValue(text, FOUR_DIGITS);
    return value ? *value : -1;
}

EMSCRIPTEN_KEEPALIVE const char* orvResultText(int what, int count, const char* fileTitle) {
    switch (what) {
    case 0: return give(bytesLoadedText(count, fileTitle));
    case 1: return give(bytesSavedText(count, fileTitle));
    case 2: return give(stateSavedText(fileTitle));
    case 3: return give(stateLoadedText(fileTitle));
    case 4: return give(notAProgramFileText(fileTitle));
    case 6: return give(noLabelsText(fileTitle));
    default: return NO_QUICK_SAVE_TEXT;
    }
}

EMSCRIPTEN_KEEPALIVE const char* orvCaption(int what) {
    const char* captions[] = {LOAD_FAILED_CAPTION, SAVE_FAILED_CAPTION, LOAD_DONE_CAPTION,
                              SAVE_DONE_CAPTION,   QUICK_LOAD_CAPTION,  RECORD_FAILED_CAPTION,
                              PLAY_FAILED_CAPTION, TAPE_MESSAGE_CAPTION};
    return what >= 0 && what < 8 ? captions[what] : "";
}

EMSCRIPTEN_KEEPALIVE const char* orvWithEnding(const char* name, const char* ending) {
    std::string text = name;
    addDefaultExtension(text, ending);
    return give(text);
}
}
