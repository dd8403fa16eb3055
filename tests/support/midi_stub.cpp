#include "support/midi_stub.h"

#include "tape/midi.h"

namespace orv {

int midiOpen() {
    ++test::midiOpenCount;
    test::midiDeviceOpen = test::midiOpenResult == 0;
    return test::midiOpenResult;
}

int midiSend(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    // Like a real device: nothing reaches a closed output.
    if (!test::midiDeviceOpen) return -1;
    if (test::midiSendResult != 0) return test::midiSendResult;
    test::midiSent.push_back({status, data1, data2});
    return 0;
}

void midiClose() {
    ++test::midiCloseCount;
    test::midiDeviceOpen = false;
}

namespace test {

std::vector<MidiMessage> midiSent;
int midiOpenCount = 0;
int midiCloseCount = 0;
bool midiDeviceOpen = false;
int midiOpenResult = 0;
int midiSendResult = 0;

void clearMidiRecord() {
    midiSent.clear();
    midiOpenCount = 0;
    midiCloseCount = 0;
    midiDeviceOpen = false;
    midiOpenResult = 0;
    midiSendResult = 0;
}

} // namespace test
} // namespace orv
