// Where the front panel's parts stand, in layout units of a grid 100 units wide, and their colours:
// the one place every front end that draws the panel takes them from. The key buttons' places are in
// keyTable (machine/keys.h).
#pragma once

#include <array>
#include <cstdint>

namespace orv {

// Every key button is 9 x 5 units; keyTable gives where each stands.
constexpr int KEY_WIDTH_UNITS = 9;
constexpr int KEY_HEIGHT_UNITS = 5;
constexpr int PANEL_WIDTH_UNITS = 100;
constexpr int DISPLAY_HEIGHT_UNITS = 17;
constexpr int KEYPAD_HEIGHT_UNITS = 90;

enum class SegmentShape { Horizontal, Vertical, Point };
// One segment of a digit in units: x from the digit's left edge, right and bottom exclusive.
struct SegmentBox {
    int left, right, top, bottom;
    SegmentShape shape;
};
// Bit 0 (a, the top) to bit 7 (the decimal point) of a digit's pattern.
constexpr std::array<SegmentBox, 8> segmentBoxes = {{
    {0, 7, 3, 4, SegmentShape::Horizontal},
    {6, 7, 3, 9, SegmentShape::Vertical},
    {6, 7, 8, 14, SegmentShape::Vertical},
    {0, 7, 13, 14, SegmentShape::Horizontal},
    {0, 1, 8, 14, SegmentShape::Vertical},
    {0, 1, 3, 9, SegmentShape::Vertical},
    {0, 7, 8, 9, SegmentShape::Horizontal},
    {8, 9, 13, 14, SegmentShape::Point},
}};
// Digit 0 is the leftmost; the digits stand 11 units apart.
constexpr int digitLeftUnits(int position) {
    return 11 * position + 7;
}

// The panel's colours as 0xRRGGBB.
enum PanelColour : std::uint8_t {
    COLOUR_BLACK,
    COLOUR_FRAME,
    COLOUR_DEBUG,
    COLOUR_WHITE,
    COLOUR_PANEL,
    COLOUR_PLAY_ACTIVE,
    COLOUR_PLAY_IDLE,
    COLOUR_RECORD_ACTIVE,
    COLOUR_RECORD_IDLE,
    COLOUR_SEGMENT,
    COLOUR_HIGHLIGHT,
    COLOUR_DARK,
    COLOUR_COUNT
};
constexpr std::array<std::uint32_t, COLOUR_COUNT> panelColours = {
    0x000000, 0xC0C0C0, 0xC0C0C0, 0xFFFFFF, 0x333333, 0x33FF33,
    0x33A533, 0xFF3333, 0xA53333, 0xFF6699, 0xFFCC99, 0x666666,
};

} // namespace orv
