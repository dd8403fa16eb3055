// Bytes pasted into memory as text: Intel HEX (through the HEX reader) or a hex dump, one line each of
//
//   0200: A9 00 60     an address, a colon and bytes
//   0200 A9 00 60      an address (three or more digits, "$" allowed) and bytes
//   A9 00 60           bare bytes, going on where the line before ended
//
// Bytes are two hex digits each, apart by spaces, tabs or commas; ";" or "|" starts a comment to the
// end of the line (a dump's character column); blank lines are passed over. A dump that starts with
// bare bytes needs a start address from the user. The bytes are stored as the object-file loader stores
// them (ROM too), and only when the whole text reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// The name the messages give the pasted text.
constexpr const char* PASTE_NAME = "clipboard";

struct BytesAt {
    std::uint16_t address;
    std::vector<std::uint8_t> bytes;
};

struct HexDump {
    std::vector<BytesAt> runs;
    // The first bytes come before any address, and no start was given.
    bool needsAddress = false;
    // Empty when the whole text reads; else names the first line that does not.
    std::string message;
};

// Reads a hex dump; `start` places bare bytes that come before any address.
HexDump readHexDump(std::string_view text, std::optional<std::uint16_t> start);

// Memory first..last (as peeked, nothing acted on) as a dump readHexDump reads back: lines of
// "0200: A9 00 60", sixteen bytes each counted from first, each ended by "\n".
std::string writeHexDump(std::uint16_t first, std::uint16_t last);

// True when the text is Intel HEX: its first line that is not blank starts with ':'.
bool isHexRecordText(std::string_view text);

struct PasteResult {
    int stored = 0;          // addresses handed a byte
    std::uint32_t first = 0; // lowest and highest address stored
    std::uint32_t last = 0;
    bool needsAddress = false; // a dump of bare bytes: ask for an address and paste again with it
    std::string message;       // empty on success
};

// Paste into Memory's boxes: the result's caption, and the question for bare bytes' address.
constexpr const char* PASTE_MEMORY_CAPTION = "Paste into Memory";
constexpr const char* PASTE_ADDRESS_CAPTION = "Orvane - Paste into Memory";
constexpr const char* PASTE_ADDRESS_QUESTION = "Store the clipboard's bytes at:";

// Stores the text's bytes, whole or not at all.
PasteResult pasteIntoMemory(std::string_view text, std::optional<std::uint16_t> start);

// What a successful paste wrote, as "3 bytes at 0200-0202" (or "... in 0200-0410" with gaps).
std::string pasteSummary(const PasteResult& result);

} // namespace orv
