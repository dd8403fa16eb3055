// Save states: the whole board (machine/machine_state.h) as bytes and as files, to stop and go on
// later exactly where the machine stood.
//
// The format, every number little-endian, written field by field:
//
//   magic       8 bytes  "ORVSTATE"
//   version     u32      STATE_VERSION; a reader refuses any newer one
//   length      u32      bytes of the records that follow (STATE_RECORDS_SIZE for version 1)
//   records              cpu       pc u16, a x y sp u8, flags n v bit5 b d i z c u8 (0 or 1 each)
//                        cycles u32, pendingInterrupts u8, lastOpcodeAddr u16, breakpoint u16
//                        halted u8 (0 or 1), overrun u8 (0-31)
//                        memory 65536 bytes, pageFlags 256 bytes (page kinds only, no PAGE_WATCH)
//                        rio 0 and 1: ddrA ddrB outA outB u8, ram 128 bytes
//                        keypad    keyColumn u8 (0-7), keyRows u8 (0xFF or one row line low)
//                        latch     digitSegments 8 bytes, digitTick 8 x u32, lastDigit u32 (-1 to 7),
//                                  displayTick u32
//   checksum    u32      CRC-32 of everything before it
//
// A tape in progress is not part of a state: the tape keeps its own files and its own time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orv {

constexpr std::uint32_t STATE_VERSION = 1;
constexpr std::size_t STATE_HEADER_SIZE = 16;
constexpr std::size_t STATE_RECORDS_SIZE = 66131;
constexpr std::size_t STATE_FILE_SIZE = STATE_HEADER_SIZE + STATE_RECORDS_SIZE + 4;
// What the file dialog and the quick slot call a state file.
constexpr const char* STATE_EXTENSION = "orvstate";

// CRC-32, the common one (zip, PNG): a state's checksum.
std::uint32_t crc32(const std::uint8_t* data, std::size_t size);

// The largest overrun a state holds: more than any instruction and interrupt entry can run past a
// slice's end.
constexpr std::uint8_t STATE_OVERRUN_MAX = 31;

// The whole board as bytes: the versioned format above. `overrun`: the cycles the run that saves went
// past the end it was given (a run stops only between instructions); a run resumed from the state owes
// them, so N cycles saved and M resumed end where N + M in one run end.
std::vector<std::uint8_t> saveState(std::uint8_t overrun = 0);
// Restores the board from bytes; on any failure nothing changes and `message` says why. On success a
// running tape has been stopped (tapeStop) and `message` holds what that stop had to say, if anything.
// The debugger's watched pages stay marked. `halted` is left alone: see loadedStateHalted.
bool loadState(const std::uint8_t* data, std::size_t size, std::string& message);
// True when the last state loaded was saved with the machine halted. The caller owns the run state
// (run control halts before loading and starts running again unless this says otherwise).
bool loadedStateHalted();
// The overrun the last state loaded was saved with.
std::uint8_t loadedStateOverrun();

// The same through files: written whole or not at all (files/safe_file.h), read only when regular.
// Messages name the file by its bare name. A save while a tape runs succeeds with a warning in
// `message` that the tape is not part of it; otherwise `message` is empty on success.
bool saveStateFile(const std::string& path, std::string& message, std::uint8_t overrun = 0);
bool loadStateFile(const std::string& path, std::string& message);

} // namespace orv
