// Helpers shared by recording and playback; not for use outside tape/.
#pragma once

#include "tape/tape.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace orv {

// The start of a recording or of playback: clears message and tapeMessage, refuses a second tape and
// a bad name, sets tapeFileName to the bare name with the default extension and opens that file, a
// regular file only and never waiting: for reading, or (writing) as recordFile, a replacement of it.
// Returns the file, or nullptr with a message.
std::FILE* tapeOpenFile(const std::string& fileName, bool writing, std::string& message);
// Opens the MIDI output for a starting tape and sets its volume and program. False when it did not open.
bool tapeOpenOutput();

// Both chunk headers come before the track data.
constexpr std::int32_t TAPE_CHUNK_HEADERS = 22;

inline std::uint8_t tapeNoteOf(std::uint8_t level) {
    return level ? TAPE_NOTE_HIGH : TAPE_NOTE_LOW;
}

} // namespace orv
