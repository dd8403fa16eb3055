// What the tape sent to the MIDI output during a test, and a switch to make the device refuse to open.
#pragma once

#include <cstdint>
#include <vector>

namespace orv::test {

struct MidiMessage {
    std::uint8_t status, data1, data2;
    bool operator==(const MidiMessage&) const = default;
};

extern std::vector<MidiMessage> midiSent;
extern int midiOpenCount;
extern int midiCloseCount;
extern bool midiDeviceOpen;
// Result codes the stub hands back; 0 = success.
extern int midiOpenResult;
extern int midiSendResult;

void clearMidiRecord();

} // namespace orv::test
