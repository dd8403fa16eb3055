// The web edition's C API: what the page calls in the core compiled to WebAssembly. Files and states
// cross as files of the page's in-memory file system, read and written by the core's own readers and
// writers. Texts returned stay valid until the next call that returns text.
#pragma once

#include <cstdint>
#include <string>

constexpr int ORV_TAPE_STOP_DUE = 0x100;

namespace orv {
// The text orvMessage gives next: what the last file command had to say.
void setWebMessage(const std::string& text);
} // namespace orv

extern "C" {

// Power on with the monitor in ROM and the reset pressed; `seed` makes what RAM holds repeatable.
// Returns the loader's message, empty when it loaded.
const char* orvPowerOn(std::uint32_t seed);
// Runs at least `cycles` machine cycles in the board's slices, stopping early at a break, an invalid
// opcode or an ended tape's stop falling due. Returns the last slice's status (SLICE_* of
// machine/cpu.h), with ORV_TAPE_STOP_DUE added when the tape is to be stopped (orvTapeStop).
int orvRun(std::int32_t cycles);
// Machine cycles so far, as the board counts them (wrapping at 2^32).
std::uint32_t orvCycles();

// The key table: how many, and key `id`'s legend, PC characters and place on the panel in units.
int orvKeyCount();
const char* orvKeyLegend(int id);
const char* orvKeyCharacters(int id);
int orvKeyX(int id);
int orvKeyY(int id);
// A key pressed: 0-23 go to the key feed, the reset key resets the processor.
void orvKey(int id);
// UTF-8 text typed on the keypad at the program's pace. Returns the keys queued.
int orvType(const char* text);
// Keys waiting in the feed, the one down included.
int orvKeysLeft();
// Drops the keys waiting; the one down is let go.
void orvStopKeys();
// Paste into Memory: the text's bytes stored whole or not at all, bare bytes at `start` (-1: none
// given). Returns 0 stored (orvMessage says what, as the desktop's box does), 1 an address is needed,
// 2 refused (orvMessage says why).
int orvPasteMemory(const char* text, int start);
// The Edit commands' texts: 0 Paste as Keys' caption, 1 its text for nothing to type, 2 Paste into
// Memory's caption, 3 its address question's caption, 4 the question.
const char* orvEditText(int what);

// The panel's geometry and colours (machine/panel_geometry.h). `what`: 0 left, 1 right, 2 top,
// 3 bottom, 4 shape of segment `bit`.
int orvSegmentBox(int bit, int what);
int orvDigitLeft(int position);
// 0 panel width, 1 display height, 2 keypad height, 3 key width, 4 key height (units).
int orvPanelUnits(int what);
std::uint32_t orvColour(int colour);

// The display: digit `position`'s segments (bit 7 the point), and all eight as text.
int orvDigit(int position);
const char* orvDisplayText();
// The tape indicator: 0 no tape, 1 playing idle, 2 playing active, 3 recording idle, 4 recording active.
int orvTapeLight();
// The registers as the debug panel's line shows them.
const char* orvRegisterLine();
// The box for a run stopped by an invalid opcode: 0 its caption, 1 its text.
const char* orvInvalidOpcode(int what);

// The run as the page drives it: halted (saved in states), turbo and mute (the tape's notes).
void orvSetRun(int halted, int turbo, int mute);

// The tape's notes since the page last took them (web/host.cpp): how many, and note `index`'s
// `what`: 0 the cycle it fell on, 1 the MIDI note (0 for all off), 2 on (1) or off (0).
int orvNoteCount();
double orvNote(int index, int what);
void orvNotesTaken();

// Files, by their paths in the page's file system; each leaves its message for orvMessage, empty on
// success. A program file's kind by its name: 0 object, 1 binary, 2 tape, 3 none of them.
int orvFileKind(const char* path);
// Loads an object file (at < 0) or a binary at `at`. Returns the bytes loaded.
int orvLoadProgram(const char* path, int at);
// Saves start..end as a binary image, as Save Binary does. Returns the bytes of memory saved.
int orvSaveBinary(const char* path, int start, int end);
// The processor goes on from here.
void orvSetPc(int address);
// Saves start..end as an object file. Returns the bytes saved.
int orvSaveObject(const char* path, int start, int end);
const char* orvMessage();
// Save states, the files the desktop and orv-run read and write. orvSaveState returns 1 when written
// (orvMessage may hold a warning); orvLoadState 0 when refused, 1 loaded to run, 2 loaded halted.
int orvSaveState(const char* path);
int orvLoadState(const char* path);
// Tapes, MIDI files: recording into one, playing one. Return 1 when started, else 0 with the message.
int orvTapeRecord(const char* path);
int orvTapePlay(const char* path);
// Stops the tape; returns what ran, 0 none, 1 playing, 2 recording (its file now complete). The stop's
// message, if any, is left for orvMessage.
int orvTapeStop();
// An address as typed into the desktop's address fields, four hex digits at most; -1 when it is none.
int orvAddress(const char* text);
// The result boxes' texts: `what` 0 bytes loaded, 1 bytes saved, 2 state saved, 3 state loaded, 4 no
// program file, 5 no quick save yet, 6 no labels; and their captions: 0 load failed, 1 save failed,
// 2 loaded, 3 saved, 4 quick load, 5 recording failed, 6 cannot play, 7 the tape's message, 8 labels
// failed.
const char* orvResultText(int what, int count, const char* fileTitle);
const char* orvCaption(int what);
// The name with the ending added when it has none.
const char* orvWithEnding(const char* name, const char* ending);
}
