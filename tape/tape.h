// The cassette tape: recording the RIO's cassette output into a MIDI file and playing one back
// into its input, timed in machine cycles.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

constexpr std::uint8_t TAPE_PLAYING = 0x01;
constexpr std::uint8_t TAPE_RECORDING = 0x02;
constexpr std::uint8_t TAPE_WAITING = 0x10;
constexpr std::uint8_t TAPE_ACTIVE = 0x20;
constexpr std::uint8_t TAPE_ENDED = 0x40;
constexpr std::uint8_t TAPE_MIDI_OPEN = 0x80;

// 0 = idle. Owned here; the housekeeping tick moves the activity bits.
extern std::uint8_t tapeState;

// Records a change of the cassette output level while a recording runs; no effect otherwise.
void tapeOutputBit(int level, std::int32_t atCycles);
// The cassette input level: 1 while no tape plays.
int tapeInputBit(std::int32_t atCycles);
// True while the tape signal is alive; false whenever no tape runs.
bool tapeActive(std::int32_t atCycles);
// Note off for the sounding level, used when the machine halts.
void tapeSilence();
// Ends recording or playing. message is cleared, then holds an error or a warning, if any.
void tapeStop(std::string& message);

} // namespace orv
