// The tape's MIDI output through RtMidi: the ALSA sequencer on Linux, the system's MIDI mapper on
// Windows. The first output port that is not a pass-through port is used.
#include "tape/midi.h"

#include <rtmidi/RtMidi.h>

#include <memory>
#include <string>
#include <vector>

namespace orv {

namespace {

// The result codes of the platform's MIDI calls that the tape prints.
constexpr int MIDI_ERROR = 1;
constexpr int MIDI_NO_DEVICE = 2;

std::unique_ptr<RtMidiOut> midiOut;

bool isPassThrough(const std::string& name) {
    return name.find("Through") != std::string::npos;
}

} // namespace

int midiOpen() {
    midiClose();
    try {
        auto out = std::make_unique<RtMidiOut>();
        // Failures are reported by the result code, never on the console.
        out->setErrorCallback([](RtMidiError::Type, const std::string&, void*) {}, nullptr);
        const unsigned count = out->getPortCount();
        for (unsigned port = 0; port < count; ++port) {
            if (isPassThrough(out->getPortName(port))) continue;
            out->openPort(port, "Orvane tape");
            if (!out->isPortOpen()) return MIDI_ERROR;
            midiOut = std::move(out);
            return 0;
        }
    } catch (const RtMidiError&) {
        return MIDI_NO_DEVICE;
    }
    return MIDI_NO_DEVICE;
}

int midiSend(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    if (!midiOut) return MIDI_NO_DEVICE;
    const std::vector<unsigned char> message = {status, data1, data2};
    try {
        midiOut->sendMessage(&message);
    } catch (const RtMidiError&) {
        return MIDI_ERROR;
    }
    return 0;
}

void midiClose() {
    if (!midiOut) return;
    try {
        // All notes off on every channel, as a reset of the device would.
        for (std::uint8_t channel = 0; channel < 16; ++channel) {
            const std::vector<unsigned char> allNotesOff = {static_cast<unsigned char>(0xB0 | channel), 123,
                                                            0};
            midiOut->sendMessage(&allNotesOff);
        }
        midiOut->closePort();
    } catch (const RtMidiError&) {
    }
    midiOut.reset();
}

} // namespace orv
