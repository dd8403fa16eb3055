#include "objfile/hex_dump.h"

#include "base/address.h"
#include "base/text_format.h"
#include "machine/bus.h"
#include "objfile/hex.h"

#include <algorithm>

namespace orv {

namespace {

constexpr std::uint32_t ADDRESS_SPACE = 0x10000;

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == '\f' || c == '\v';
}

// A word as a message shows it: a long one cut short.
std::string shown(std::string_view word) {
    return std::string(word.substr(0, 16));
}

// Calls `each(lineNumber, line)` for every line, whatever its ending; stops when it returns false.
template <typename Each>
void forEachLine(std::string_view text, Each each) {
    long long lineNumber = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t end = text.find_first_of("\r\n", position);
        if (end == std::string_view::npos) end = text.size();
        std::size_t next = end;
        if (end < text.size()) {
            next = end + 1;
            // "\r\n" and "\n\r" are one line end.
            if (next < text.size() && (text[next] == '\r' || text[next] == '\n') && text[next] != text[end])
                ++next;
        }
        if (!each(++lineNumber, text.substr(position, end - position))) return;
        position = next;
    }
}

} // namespace

bool isHexRecordText(std::string_view text) {
    bool record = false;
    forEachLine(text, [&](long long, std::string_view line) {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos) return true;
        record = line[first] == ':';
        return false;
    });
    return record;
}

HexDump readHexDump(std::string_view text, std::optional<std::uint16_t> start) {
    HexDump dump;
    // Until the user gives an address, bare bytes are read from 0 to find the faults of the text.
    std::optional<std::uint32_t> at;
    if (start) at = *start;
    bool any = false;
    auto fail = [&dump](long long lineNumber, const std::string& what) {
        dump.message = formatText("Error in '%s' line %lld: %s", PASTE_NAME, lineNumber, what.c_str());
        return false;
    };
    forEachLine(text, [&](long long lineNumber, std::string_view line) {
        line = line.substr(0, line.find_first_of(";|"));
        std::vector<std::string_view> words = splitWords(line, isSeparator);
        if (words.empty()) return true;
        std::size_t firstByte = 0;
        // The address: the first word when it ends in ':' or has more than two digits.
        const std::string_view first = words[0];
        const std::size_t colon = first.find(':');
        if (colon != std::string_view::npos || first.size() > 2) {
            const std::string_view address = first.substr(0, colon);
            const auto value = numberValue(address, DUMP_ADDRESS);
            if (!value) return fail(lineNumber, formatText("bad address '%s'", shown(first).c_str()));
            if (*value >= ADDRESS_SPACE) {
                const std::string_view digits = address.substr(address.starts_with('$') ? 1 : 0);
                return fail(lineNumber, formatText("address '%s' is beyond FFFF", shown(digits).c_str()));
            }
            at = *value;
            // "0200:A9" keeps its first byte.
            const std::string_view rest = colon == std::string_view::npos ? "" : first.substr(colon + 1);
            if (rest.empty())
                firstByte = 1;
            else
                words[0] = rest;
        }
        for (std::size_t i = firstByte; i < words.size(); ++i) {
            const std::string_view word = words[i];
            const auto value = numberValue(word, DUMP_BYTE);
            if (!value)
                return fail(lineNumber,
                            formatText("'%s' is not a byte (two hex digits)", shown(word).c_str()));
            if (!at) {
                dump.needsAddress = true;
                at = 0;
            }
            if (*at >= ADDRESS_SPACE) return fail(lineNumber, "the bytes run on past FFFF");
            if (dump.runs.empty() || dump.runs.back().address + dump.runs.back().bytes.size() != *at)
                dump.runs.push_back({static_cast<std::uint16_t>(*at), {}});
            dump.runs.back().bytes.push_back(static_cast<std::uint8_t>(*value));
            ++*at;
            any = true;
        }
        return true;
    });
    if (dump.message.empty() && !any) dump.message = formatText("Error: '%s' holds no bytes", PASTE_NAME);
    if (!dump.message.empty() || dump.needsAddress) dump.runs.clear();
    return dump;
}

namespace {

// Lines that store at the same address again count it once.
PasteResult withSpan(PasteResult result, const HexSpan& span) {
    result.stored = static_cast<int>(span.written.count());
    result.first = span.first;
    result.last = span.last;
    return result;
}

} // namespace

PasteResult pasteIntoMemory(std::string_view text, std::optional<std::uint16_t> start) {
    PasteResult result;
    if (isHexRecordText(text)) {
        // The reader may end lines in place and wants a NUL after the text: a copy of its own.
        std::string copy(text);
        if (!checkHexText(PASTE_NAME, copy.data(), copy.size(), result.message)) return result;
        HexSpan span;
        loadHexText(PASTE_NAME, copy.data(), copy.size(), result.message, &span);
        return withSpan(result, span);
    }
    const HexDump dump = readHexDump(text, start);
    result.message = dump.message;
    result.needsAddress = dump.needsAddress;
    if (!result.message.empty() || result.needsAddress) return result;
    HexSpan span;
    for (const BytesAt& run : dump.runs) {
        std::uint16_t address = run.address;
        for (const std::uint8_t byte : run.bytes) {
            busWrite(address, byte, FORCE_ROM);
            span.add(address++);
        }
    }
    return withSpan(result, span);
}

std::string pasteSummary(const PasteResult& result) {
    if (result.stored == 1) return formatText("1 byte at %04X", result.first);
    // Gaps between the lines' addresses: the stretch they lie in.
    const bool together = result.last - result.first + 1 == static_cast<std::uint32_t>(result.stored);
    return formatText("%d bytes %s %04X-%04X", result.stored, together ? "at" : "in", result.first,
                      result.last);
}

std::string writeHexDump(std::uint16_t first, std::uint16_t last) {
    std::string text;
    for (int line = first; line <= last; line += 16) {
        text += formatText("%04X:", line);
        for (int at = line; at <= last && at < line + 16; ++at)
            text += formatText(" %02X", peekByte(static_cast<std::uint16_t>(at)));
        text += '\n';
    }
    return text;
}

} // namespace orv
