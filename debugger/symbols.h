// Names for addresses, read from label files: ld65's (-Ln, "al 000200 .start"), VICE's
// ("al C:0200 .start", "add_label C:0200 .start") and ld65's debug information (--dbgfile), which also
// gives the source lines (debugger/debug_info.h). Each file keeps its own symbols, so reloading one
// replaces just its names.
#pragma once

#include "debugger/debug_info.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orv {

struct Symbol {
    std::string name; // without the label file's leading '.'
    std::uint16_t address;
    bool local; // a ca65 cheap local ("@loop"): several may share one name
};

struct SymbolFile {
    std::string name;                           // as given to the load: the key a reload replaces by
    std::vector<Symbol> symbols;                // in file order, repeated lines dropped
    std::shared_ptr<const DebugInfo> debugInfo; // a debug information file's source lines, else null
};

struct SymbolTable {
    std::vector<SymbolFile> files; // in load order; a reloaded file keeps its place
    // Derived from files by every change: all symbols by address (globals first, then load order),
    // and the first definition of every name.
    std::vector<Symbol> byAddress;
    std::unordered_map<std::string, std::uint16_t> byName;
};

// Reads a label file and replaces the symbols of an earlier load of the same name. A line that does
// not parse adds "Error in file '%s' line %d: ..." to the message (one line each) and the rest still
// loads. A file that cannot be read leaves the table as it was. Returns the number of symbols loaded.
int symbolsLoadFile(SymbolTable& table, const std::string& fileName, std::string& message);
// The same for text already in memory (a resource), under the given file name.
int symbolsLoadText(SymbolTable& table, const std::string& fileName, std::string_view text,
                    std::string& message);
void symbolsRemoveFile(SymbolTable& table, const std::string& fileName);

// Every symbol at an address: globals before cheap locals, each in load order.
std::span<const Symbol> symbolsAt(const SymbolTable& table, std::uint16_t address);
// The name to show for an address, or null: the first of symbolsAt.
const std::string* symbolName(const SymbolTable& table, std::uint16_t address);
// The address of the first definition of a name; case-sensitive, with or without a leading '.'.
std::optional<std::uint16_t> symbolAddress(const SymbolTable& table, std::string_view name);

} // namespace orv
