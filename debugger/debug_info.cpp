#include "debugger/debug_info.h"

#include "base/address.h"
#include "base/text_format.h"
#include "debugger/symbols.h"

#include <algorithm>
#include <functional>

namespace orv {

namespace {

// A record's fields: key=value pairs after the keyword, a quoted value taken whole.
using Fields = std::unordered_map<std::string, std::string>;

bool splitFields(std::string_view text, Fields& fields, std::string& reason) {
    while (!text.empty()) {
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            reason = "expected 'key=value'";
            return false;
        }
        const std::string key(text.substr(0, equals));
        text.remove_prefix(equals + 1);
        std::string value;
        if (!text.empty() && text[0] == '"') {
            std::size_t n = 1;
            for (; n < text.size() && text[n] != '"'; ++n) {
                if (text[n] == '\\' && n + 1 < text.size()) ++n;
                value += text[n];
            }
            if (n == text.size()) {
                reason = "unterminated string";
                return false;
            }
            text.remove_prefix(n + 1);
        } else {
            const std::size_t comma = std::min(text.find(','), text.size());
            value = std::string(text.substr(0, comma));
            text.remove_prefix(comma);
        }
        fields[key] = std::move(value);
        if (!text.empty()) {
            if (text[0] != ',') {
                reason = formatText("expected ',' after '%s'", key.c_str());
                return false;
            }
            text.remove_prefix(1);
        }
    }
    return true;
}

// A field every record of its kind has.
bool number(const Fields& fields, const char* key, std::uint32_t& value, std::string& reason) {
    const auto found = fields.find(key);
    const auto parsed = found == fields.end() ? std::nullopt : numberValue(found->second, DEBUG_INFO_NUMBER);
    if (!parsed) {
        reason = found == fields.end() ? formatText("'%s' missing", key) : formatText("bad %s", key);
        return false;
    }
    value = *parsed;
    return true;
}

// Ids index tables of the file's own size; a bound keeps a damaged file from asking for much.
constexpr std::uint32_t MAX_ID = 1u << 24;

bool id(const Fields& fields, const char* key, int& value, std::string& reason) {
    std::uint32_t n = 0;
    if (!number(fields, key, n, reason)) return false;
    if (n >= MAX_ID) {
        reason = formatText("bad %s", key);
        return false;
    }
    value = static_cast<int>(n);
    return true;
}

// A list of ids joined by '+'.
bool idList(const std::string& text, std::vector<int>& ids) {
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t plus = std::min(rest.find('+'), rest.size());
        const auto n = numberValue(rest.substr(0, plus), DEBUG_INFO_NUMBER);
        if (!n || *n >= MAX_ID) return false;
        ids.push_back(static_cast<int>(*n));
        rest.remove_prefix(std::min(plus + 1, rest.size()));
        if (plus + 1 == text.size()) return false; // a trailing '+'
    }
    return true;
}

std::string_view field(const Fields& fields, const char* key) {
    const auto found = fields.find(key);
    return found == fields.end() ? std::string_view{} : std::string_view(found->second);
}

} // namespace

bool isDebugInfoText(std::string_view text) {
    return text.starts_with("version\tmajor=") || text.starts_with("version major=");
}

bool DebugInfoReader::readLine(std::string_view line, std::string& reason) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (line.empty()) return true;
    const std::size_t gap = std::min(line.find_first_of("\t "), line.size());
    const std::string_view keyword = line.substr(0, gap);
    Fields fields;
    if (!splitFields(line.substr(std::min(gap + 1, line.size())), fields, reason)) return false;
    if (keyword == "version") {
        std::uint32_t major = 0;
        if (!number(fields, "major", major, reason)) return false;
        if (major != 2) {
            reason = formatText("version %u is not supported", static_cast<unsigned>(major));
            return false;
        }
        versionSeen = true;
        return true;
    }
    if (!versionSeen) {
        reason = "expected 'version' first";
        return false;
    }
    int ident = 0;
    if (keyword == "file") {
        if (!id(fields, "id", ident, reason)) return false;
        files[ident] = std::string(field(fields, "name"));
    } else if (keyword == "seg") {
        std::uint32_t start = 0;
        if (!id(fields, "id", ident, reason) || !number(fields, "start", start, reason)) return false;
        segmentStarts[ident] = start;
    } else if (keyword == "span") {
        Span span;
        if (!id(fields, "id", ident, reason) || !id(fields, "seg", span.seg, reason) ||
            !number(fields, "start", span.start, reason) || !number(fields, "size", span.size, reason))
            return false;
        spans[ident] = span;
    } else if (keyword == "line") {
        Line entry;
        int lineNumber = 0;
        if (!id(fields, "file", entry.file, reason) || !id(fields, "line", lineNumber, reason)) return false;
        entry.line = lineNumber;
        // Type 2 is a line inside a macro's body: the call's own line stands for all of it.
        if (field(fields, "type") == "2") return true;
        if (const auto list = fields.find("span");
            list != fields.end() && !idList(list->second, entry.spans)) {
            reason = "bad span";
            return false;
        }
        if (!entry.spans.empty()) lines.push_back(std::move(entry));
    } else if (keyword == "scope") {
        Scope scope;
        if (!id(fields, "id", ident, reason)) return false;
        scope.name = std::string(field(fields, "name"));
        if (fields.contains("parent") && !id(fields, "parent", scope.parent, reason)) return false;
        scopes[ident] = std::move(scope);
    } else if (keyword == "sym") {
        const std::string_view type = field(fields, "type");
        // Imports name a symbol defined elsewhere in the file; only labels and equates have a value here.
        if (type != "lab" && type != "equ") return true;
        Sym sym;
        sym.name = std::string(field(fields, "name"));
        if (sym.name.empty()) {
            reason = "'name' missing";
            return false;
        }
        if (!number(fields, "val", sym.value, reason)) return false;
        // A cheap local names the label it belongs to as its parent instead of a scope.
        sym.local = fields.contains("parent");
        if (!sym.local && !id(fields, "scope", sym.scope, reason)) return false;
        syms.push_back(std::move(sym));
    }
    return true;
}

DebugInfo DebugInfoReader::finish(std::vector<Symbol>& symbols) const {
    DebugInfo info;
    std::vector<int> fileIds;
    for (const auto& [fileId, name] : files) fileIds.push_back(fileId);
    std::sort(fileIds.begin(), fileIds.end());
    std::unordered_map<int, int> fileIndex;
    for (const int fileId : fileIds) {
        fileIndex[fileId] = static_cast<int>(info.files.size());
        info.files.push_back(files.at(fileId));
    }
    for (const Line& line : lines) {
        const auto index = fileIndex.find(line.file);
        if (index == fileIndex.end()) continue;
        for (const int spanId : line.spans) {
            const auto span = spans.find(spanId);
            if (span == spans.end() || span->second.size == 0) continue;
            const auto seg = segmentStarts.find(span->second.seg);
            if (seg == segmentStarts.end()) continue;
            const std::uint64_t start = std::uint64_t{seg->second} + span->second.start;
            if (start > 0xFFFF) continue;
            const std::uint64_t end = std::min<std::uint64_t>(start + span->second.size, 0x10000);
            info.lines.push_back({index->second, line.line, static_cast<std::uint16_t>(start),
                                  static_cast<std::uint32_t>(end)});
        }
    }
    std::stable_sort(info.lines.begin(), info.lines.end(),
                     [](const SourceLine& a, const SourceLine& b) { return a.start < b.start; });

    // A scope's path from the outermost named one; the file's top scopes have no name.
    const std::function<std::string(int, int)> path = [&](int scopeId, int depth) -> std::string {
        const auto scope = scopes.find(scopeId);
        if (scope == scopes.end() || scope->second.name.empty() || depth > 64) return {};
        const std::string outer = path(scope->second.parent, depth + 1);
        return outer.empty() ? scope->second.name : outer + "::" + scope->second.name;
    };
    for (const Sym& sym : syms) {
        if (sym.value > 0xFFFF) continue;
        std::string name = sym.name;
        if (!sym.local) {
            const std::string scope = path(sym.scope, 0);
            if (!scope.empty()) name = scope + "::" + name;
        }
        symbols.push_back({std::move(name), static_cast<std::uint16_t>(sym.value), sym.local});
    }
    return info;
}

namespace {

template <typename Better>
std::optional<SourceLine> coveringLine(const DebugInfo& info, std::uint16_t address, Better better) {
    std::optional<SourceLine> best;
    for (const SourceLine& line : info.lines) {
        if (line.start > address) break;
        if (address < line.end && (!best || better(line.end - line.start, best->end - best->start)))
            best = line;
    }
    return best;
}

} // namespace

std::optional<SourceLine> sourceLineAt(const DebugInfo& info, std::uint16_t address) {
    return coveringLine(info, address, std::less<>());
}

std::optional<SourceLine> sourceStepAt(const DebugInfo& info, std::uint16_t address) {
    return coveringLine(info, address, std::greater<>());
}

std::vector<std::uint16_t> sourceLineAddresses(const DebugInfo& info, int file, int line) {
    std::vector<std::uint16_t> addresses;
    for (const SourceLine& entry : info.lines)
        if (entry.file == file && entry.line == line) addresses.push_back(entry.start);
    return addresses;
}

} // namespace orv
