// The tape's MIDI output through RtMidi: the ALSA sequencer on Linux, the system's MIDI mapper on
// Windows. The first output port that is not a pass-through port is used.
#include "tape/midi.h"

#include <rtmidi/RtMidi.h>

#if defined(__linux__)
#include <alsa/asoundlib.h>
#endif

#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace orv {

namespace {

// The result codes of the platform's MIDI calls that the tape prints.
constexpr int MIDI_ERROR = 1;
constexpr int MIDI_NO_DEVICE = 2;

std::unique_ptr<RtMidiOut> midiOut;
// Set by RtMidi's error callback: with a callback installed it reports failures there instead of
// throwing.
bool midiFailed = false;

#if defined(__linux__)
constexpr RtMidi::Api MIDI_API = RtMidi::LINUX_ALSA;
#elif defined(_WIN32)
constexpr RtMidi::Api MIDI_API = RtMidi::WINDOWS_MM;
#else
constexpr RtMidi::Api MIDI_API = RtMidi::UNSPECIFIED;
#endif

#if defined(__linux__)
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
#endif

// RtMidi reports a failure to create its client on std::cerr before an error callback can be set;
// the tape prints its own result-code line instead.
class QuietCerr {
  public:
    QuietCerr() : saved(std::cerr.rdbuf(sink.rdbuf())) {}
    ~QuietCerr() { std::cerr.rdbuf(saved); }
    QuietCerr(const QuietCerr&) = delete;
    QuietCerr& operator=(const QuietCerr&) = delete;

  private:
    std::ostringstream sink;
    std::streambuf* saved;
};

bool isPassThrough(const std::string& name) {
    return name.find("Through") != std::string::npos;
}

} // namespace

int midiOpen() {
    midiClose();
#if defined(__linux__)
    // Without a sequencer the ALSA library would print its own complaint on stderr.
    snd_lib_error_set_handler(quietAlsa);
#endif
    try {
        std::unique_ptr<RtMidiOut> out;
        {
            QuietCerr quiet;
            out = std::make_unique<RtMidiOut>(MIDI_API, "Orvane");
        }
        // Failures are reported by the result code, never on the console.
        out->setErrorCallback([](RtMidiError::Type, const std::string&, void*) { midiFailed = true; },
                              nullptr);
        const unsigned count = out->getPortCount();
        for (unsigned port = 0; port < count; ++port) {
            if (isPassThrough(out->getPortName(port))) continue;
            midiFailed = false;
            out->openPort(port, "Orvane tape");
            if (midiFailed || !out->isPortOpen()) return MIDI_ERROR;
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
    midiFailed = false;
    try {
        midiOut->sendMessage(&message);
    } catch (const RtMidiError&) {
        return MIDI_ERROR;
    }
    return midiFailed ? MIDI_ERROR : 0;
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
