#include "debugger/symbols.h"

#include "base/address.h"
#include "base/file_names.h"
#include "base/text_format.h"
#include "files/safe_file.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace orv {

namespace {

// Beyond this many, bad lines are counted rather than each named: a file that is no label file at all
// should not bury the message box.
constexpr int MAX_LINE_ERRORS = 10;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool isAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    // Plain algorithms: the fuzz build's clang cannot compile this library's ranges.
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
    });
}

// A ca65 identifier, '@' first for a cheap local.
bool validName(std::string_view name) {
    if (!name.empty() && name[0] == '@') name.remove_prefix(1);
    if (name.empty() || !isAlpha(name[0])) return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return isAlpha(c) || isDigit(c); });
}

std::string_view withoutDot(std::string_view name) {
    if (!name.empty() && name[0] == '.') name.remove_prefix(1);
    return name;
}

// Reads one line: false with the reason when it does not parse; true with or without a symbol (a blank or
// comment line has none).
bool parseLine(std::string_view line, std::optional<Symbol>& symbol, std::string& reason) {
    symbol.reset();
    const std::vector<std::string_view> words = splitWords(line, isSpace);
    if (words.empty() || words[0][0] == ';' || words[0][0] == '#') return true;
    if (words.size() != 3 || !(equalsNoCase(words[0], "al") || equalsNoCase(words[0], "add_label"))) {
        reason = "expected 'al <address> <label>'";
        return false;
    }
    const std::optional<std::uint16_t> address = addressValue(words[1], LABEL_ADDRESS);
    if (!address) {
        reason = formatText("bad address '%s'", std::string(words[1]).c_str());
        return false;
    }
    const std::string_view name = withoutDot(words[2]);
    if (!validName(name)) {
        reason = formatText("bad label '%s'", std::string(words[2]).c_str());
        return false;
    }
    symbol = Symbol{std::string(name), *address, name[0] == '@'};
    return true;
}

void reindex(SymbolTable& table) {
    table.byAddress.clear();
    table.byName.clear();
    for (const SymbolFile& file : table.files) {
        for (const Symbol& symbol : file.symbols) {
            table.byAddress.push_back(symbol);
            table.byName.try_emplace(symbol.name, symbol.address);
        }
    }
    std::stable_sort(table.byAddress.begin(), table.byAddress.end(), [](const Symbol& a, const Symbol& b) {
        return a.address != b.address ? a.address < b.address : !a.local && b.local;
    });
}

} // namespace

int symbolsLoadText(SymbolTable& table, const std::string& fileName, std::string_view text,
                    std::string& message) {
    message.clear();
    // Messages name the file as every other message does, without its folder.
    const std::string shown = bareName(fileName);
    SymbolFile file{fileName, {}, nullptr};
    int lineNumber = 0;
    int errors = 0;
    std::set<std::pair<std::string, std::uint16_t>> seen;
    const auto keep = [&](Symbol&& symbol) {
        // ld65 names an exported label twice.
        if (seen.emplace(symbol.name, symbol.address).second) file.symbols.push_back(std::move(symbol));
    };
    std::optional<DebugInfoReader> debugInfo;
    if (isDebugInfoText(text)) debugInfo.emplace();
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++lineNumber;
        std::optional<Symbol> symbol;
        std::string reason;
        if (debugInfo ? !debugInfo->readLine(line, reason) : !parseLine(line, symbol, reason)) {
            if (++errors > MAX_LINE_ERRORS) continue;
            if (!message.empty()) message += '\n';
            message +=
                formatText("Error in file '%s' line %d: %s", shown.c_str(), lineNumber, reason.c_str());
            continue;
        }
        if (symbol) keep(std::move(*symbol));
    }
    if (debugInfo) {
        std::vector<Symbol> symbols;
        file.debugInfo = std::make_shared<const DebugInfo>(debugInfo->finish(symbols));
        for (Symbol& symbol : symbols) keep(std::move(symbol));
    }
    if (errors > MAX_LINE_ERRORS) {
        message += formatText("\nError: file '%s' has %d more lines that do not parse", shown.c_str(),
                              errors - MAX_LINE_ERRORS);
    }
    if (file.symbols.empty() && errors == 0)
        message = formatText("Warning: file '%s' holds no labels", shown.c_str());

    const int count = static_cast<int>(file.symbols.size());
    const auto old = std::find_if(table.files.begin(), table.files.end(),
                                  [&](const SymbolFile& f) { return f.name == fileName; });
    if (old != table.files.end())
        *old = std::move(file);
    else
        table.files.push_back(std::move(file));
    reindex(table);
    return count;
}

int symbolsLoadFile(SymbolTable& table, const std::string& fileName, std::string& message) {
    message.clear();
    // Regular files only: a pipe named as a label file must not block the program.
    std::string text;
    FileRefusal why;
    if (!readWhole(fileName, NO_READ_LIMIT, text, why)) {
        // A label file that cannot be opened is reported as not there, whatever it is.
        message = readRefusalMessage(openedOrMissing(why), bareName(fileName));
        return 0;
    }
    return symbolsLoadText(table, fileName, text, message);
}

void symbolsRemoveFile(SymbolTable& table, const std::string& fileName) {
    std::erase_if(table.files, [&](const SymbolFile& file) { return file.name == fileName; });
    reindex(table);
}

std::span<const Symbol> symbolsAt(const SymbolTable& table, std::uint16_t address) {
    struct ByAddress {
        bool operator()(const Symbol& s, std::uint16_t a) const { return s.address < a; }
        bool operator()(std::uint16_t a, const Symbol& s) const { return a < s.address; }
    };
    const auto [first, last] =
        std::equal_range(table.byAddress.begin(), table.byAddress.end(), address, ByAddress{});
    // From a pointer and a count: not every standard library builds a span from two iterators.
    return {table.byAddress.data() + (first - table.byAddress.begin()),
            static_cast<std::size_t>(last - first)};
}

const std::string* symbolName(const SymbolTable& table, std::uint16_t address) {
    const std::span<const Symbol> at = symbolsAt(table, address);
    return at.empty() ? nullptr : &at.front().name;
}

std::optional<std::uint16_t> symbolAddress(const SymbolTable& table, std::string_view name) {
    const auto found = table.byName.find(std::string(withoutDot(name)));
    if (found == table.byName.end()) return std::nullopt;
    return found->second;
}

} // namespace orv
