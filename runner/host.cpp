// The core's calls out, for a board without a window or sound: nothing to repaint, and a MIDI output
// that takes every message and plays none, so the tape runs exactly as it would with a device. The fuzz
// targets answer the seams with it too.
#include "machine/host.h"
#include "tape/midi.h"

namespace orv {

void repaintArea(int) {}

int midiOpen() {
    return 0;
}

int midiSend(std::uint8_t, std::uint8_t, std::uint8_t) {
    return 0;
}

void midiClose() {}

} // namespace orv
