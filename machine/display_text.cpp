#include "machine/display_text.h"

#include "machine/latch.h"

namespace orv {

namespace {

struct SegmentCharacter {
    std::uint8_t segments;
    char character;
};

// The hex digits first, in the monitor's own patterns, then the letters and signs seven segments draw
// best. Where two characters share a pattern the hex digit wins: 5 for S, 9 for g, 0 for O.
constexpr std::array<SegmentCharacter, 38> segmentCharacters = {{
    {0x3F, '0'},
    {0x06, '1'},
    {0x5B, '2'},
    {0x4F, '3'},
    {0x66, '4'},
    {0x6D, '5'},
    {0x7D, '6'},
    {0x07, '7'},
    {0x7F, '8'},
    {0x6F, '9'},
    {0x77, 'A'},
    {0x7C, 'b'},
    {0x58, 'c'},
    {0x5E, 'd'},
    {0x79, 'E'},
    {0x71, 'F'},
    {0x39, 'C'},
    {0x3D, 'G'},
    {0x76, 'H'},
    {0x74, 'h'},
    {0x30, 'I'},
    {0x1E, 'J'},
    {0x38, 'L'},
    {0x54, 'n'},
    {0x5C, 'o'},
    {0x73, 'P'},
    {0x67, 'q'},
    {0x50, 'r'},
    {0x78, 't'},
    {0x3E, 'U'},
    {0x1C, 'u'},
    {0x6E, 'y'},
    {0x40, '-'},
    {0x08, '_'},
    {0x48, '='},
    {0x01, '~'},
    // The monitor's "g" prompt: an h with a top bar, closest to h.
    {0x75, 'h'},
    // A 7 with its upper left segment, as some programs draw it.
    {0x27, '7'},
}};

} // namespace

char segmentCharacter(std::uint8_t segments) {
    segments &= 0x7F;
    if (segments == 0) return ' ';
    for (const SegmentCharacter& entry : segmentCharacters)
        if (entry.segments == segments) return entry.character;
    return '?';
}

std::string displayText(const std::array<std::uint8_t, 8>& digitSegments) {
    std::string text;
    for (const std::uint8_t segments : digitSegments) {
        text += segmentCharacter(segments);
        if ((segments & 0x80) != 0) text += '.';
    }
    return text;
}

std::string displayText() {
    return displayText(latch.digitSegments);
}

} // namespace orv
