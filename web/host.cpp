// The core's calls out in the browser: nothing to repaint (the page paints from the latch on its own
// clock), and the tape's MIDI notes kept with the cycle they fell on, for the page to sound through
// WebAudio at the same board time.
#include "machine/host.h"
#include "machine/cpu.h"
#include "tape/midi.h"
#include "web/api.h"

#include <emscripten/emscripten.h>

#include <cstddef>
#include <vector>

namespace orv {

namespace {

struct Note {
    std::uint32_t cycle;
    std::uint8_t note; // 0: every note off
    std::uint8_t on;
};

// Notes not yet taken by the page; a page that stops taking them loses the oldest beyond this.
constexpr std::size_t NOTES_KEPT = 4096;
std::vector<Note> notes;

void keep(const Note& note) {
    if (notes.size() == NOTES_KEPT) notes.erase(notes.begin());
    notes.push_back(note);
}

} // namespace

void repaintArea(int) {}

int midiOpen() {
    return 0;
}

int midiSend(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    if ((status & 0xF0) == 0x90)
        keep({static_cast<std::uint32_t>(cpu.cycles), data1, static_cast<std::uint8_t>(data2 != 0)});
    return 0;
}

void midiClose() {
    keep({static_cast<std::uint32_t>(cpu.cycles), 0, 0});
}

} // namespace orv

extern "C" {

EMSCRIPTEN_KEEPALIVE int orvNoteCount() {
    return static_cast<int>(orv::notes.size());
}

EMSCRIPTEN_KEEPALIVE double orvNote(int index, int what) {
    if (index < 0 || index >= orvNoteCount()) return 0;
    const orv::Note& note = orv::notes[static_cast<std::size_t>(index)];
    return what == 0 ? note.cycle : what == 1 ? note.note : note.on;
}

EMSCRIPTEN_KEEPALIVE void orvNotesTaken() {
    orv::notes.clear();
}
}
