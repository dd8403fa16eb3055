// The MIDI output device. Declared by the tape, defined once by the program and once by the tests.
// The tape prints the trace and the result-code lines itself; definitions stay silent.
#pragma once

#include <cstdint>

namespace orv {

// Opens the system's MIDI output. Returns 0 on success, otherwise the device's result code;
// a system without any output is a failed open.
int midiOpen();
// Sends one short message on the open device. Returns 0 on success, otherwise the result code.
int midiSend(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
// Silences every sounding note and closes the device.
void midiClose();

} // namespace orv
