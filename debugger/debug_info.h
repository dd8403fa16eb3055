// ld65's debug information (--dbgfile): the program's source files, the addresses each source line made,
// and its symbols with their scopes. Read line by line, as the label files are, so that a line that does
// not parse can be named by its number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orv {

struct Symbol;

// One stretch of bytes a source line made. A line whose bytes lie apart (a .repeat's body) has one
// stretch each.
struct SourceLine {
    int file = 0; // index into DebugInfo::files
    int line = 0; // from 1
    std::uint16_t start = 0;
    std::uint32_t end = 0; // exclusive
};

struct DebugInfo {
    std::vector<std::string> files; // as the assembler was given them, in the file's order
    // Lines of the program's own text, not the lines inside a macro's body, ordered by start.
    std::vector<SourceLine> lines;
};

// Whether a text is a debug information file: its first line names the format's version.
bool isDebugInfoText(std::string_view text);

// Collects the records line by line, then resolves the references between them.
class DebugInfoReader {
  public:
    // False with the reason when the line does not parse; records this reader has no use for are skipped.
    bool readLine(std::string_view line, std::string& reason);
    // The symbols (labels and equates, named with their .proc or .scope: "helper::count"; cheap locals
    // keep their "@" name) and the information, once every line is read.
    DebugInfo finish(std::vector<Symbol>& symbols) const;

  private:
    struct Span {
        int seg = -1;
        std::uint32_t start = 0, size = 0;
    };
    struct Line {
        int file = -1, line = 0;
        std::vector<int> spans;
    };
    struct Scope {
        std::string name;
        int parent = -1;
    };
    struct Sym {
        std::string name;
        int scope = -1;
        bool local = false;
        std::uint32_t value = 0;
    };
    bool versionSeen = false;
    std::unordered_map<int, std::string> files;
    std::unordered_map<int, std::uint32_t> segmentStarts;
    std::unordered_map<int, Span> spans;
    std::vector<Line> lines;
    std::unordered_map<int, Scope> scopes;
    std::vector<Sym> syms;
};

// The source line that made the byte at an address: of the lines whose bytes cover it, the one with
// fewest (a .repeat's body line, not the .endrepeat that ld65 gives the whole expansion). A macro's
// body lines are not kept, so its call stands for them.
std::optional<SourceLine> sourceLineAt(const DebugInfo& info, std::uint16_t address);
// The bytes a step by source line runs through from an address: those of the line with most bytes
// covering it, so that a macro's call and a whole .repeat are one step.
std::optional<SourceLine> sourceStepAt(const DebugInfo& info, std::uint16_t address);

// Where each stretch of a source line begins, for a breakpoint on the line.
std::vector<std::uint16_t> sourceLineAddresses(const DebugInfo& info, int file, int line);

} // namespace orv
