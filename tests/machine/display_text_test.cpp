#include "machine/display_text.h"
#include "support/board.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

// The monitor's own hex patterns, read from its image, read back as the digits they stand for, with and
// without the point.
TEST(DisplayTextTest, EveryHexDigitOfTheMonitorWithAndWithoutPoint) {
    std::string message;
    ASSERT_TRUE(test::boardPowerOn(message)) << message;
    std::array<std::uint8_t, 16> patterns{};
    ASSERT_TRUE(test::monitorDigitPatterns(patterns, message)) << message;
    const std::string digits = "0123456789AbcdEF";
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        SCOPED_TRACE(digits.substr(i, 1));
        EXPECT_EQ(segmentCharacter(patterns[i]), digits[i]);
        EXPECT_EQ(segmentCharacter(static_cast<std::uint8_t>(patterns[i] | 0x80)), digits[i]);
        std::array<std::uint8_t, 8> plain{};
        plain.fill(patterns[i]);
        EXPECT_EQ(displayText(plain), std::string(8, digits[i]));
        std::array<std::uint8_t, 8> pointed{};
        pointed[3] = static_cast<std::uint8_t>(patterns[i] | 0x80);
        EXPECT_EQ(displayText(pointed), std::string("   ") + digits[i] + ".    ");
    }
}

TEST(DisplayTextTest, PromptsDarkDigitsLonePointsAndUnknownPatterns) {
    const struct {
        std::array<std::uint8_t, 8> segments;
        const char* text;
    } rows[] = {
        // The command loop: only the points lit.
        {{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, " . . . . . . . ."},
        // The prompts of m, g, p and s, with an address and a blank digit 5.
        {{0xF7, 0x3F, 0x5B, 0x3F, 0x3F, 0x80, 0x77, 0x6F}, "A.0200 .A9"},
        {{0xF5, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "h.1      "},
        {{0xF3, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "P.       "},
        {{0xF1, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "F._      "},
        // Nothing like a character: a placeholder, the point still shown.
        {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x49, 0xC9}, "      ??."},
        {{}, "        "},
    };
    for (const auto& row : rows) EXPECT_EQ(displayText(row.segments), row.text);
}

} // namespace
} // namespace orv
