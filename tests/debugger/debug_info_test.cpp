#include "debugger/debug_info.h"
#include "debugger/symbols.h"
#include "support/file_io.h"

#include <gtest/gtest.h>

#include <string>

namespace orv {
namespace {

std::string fileName(const DebugInfo& info, int index) {
    const std::string& name = info.files.at(static_cast<std::size_t>(index));
    return name.substr(name.find_last_of('/') + 1);
}

// ld65's own output for a program of two modules (tests/debugger/source_program).
TEST(DebugInfo, ReadsLinesScopesAndSymbolsOfARealProgram) {
    SymbolTable table;
    std::string message;
    ASSERT_EQ(symbolsLoadFile(table, ORV_SOURCE_PROGRAM_DBG, message), 7) << message;
    EXPECT_EQ(message, "");
    const struct {
        const char* name;
        std::uint16_t address;
        bool local;
    } symbols[] = {{"start", 0x0200, false},         {"@loop", 0x0202, true},  {"helper", 0x020E, false},
                   {"helper::again", 0x0210, false}, {"@inner", 0x0212, true}, {"count", 0x0213, false},
                   {"limit", 0x0040, false}};
    for (const auto& s : symbols) {
        EXPECT_EQ(symbolAddress(table, s.name), s.address) << s.name;
        const auto at = symbolsAt(table, s.address);
        EXPECT_TRUE(std::any_of(at.begin(), at.end(), [&](const Symbol& x) {
            return x.name == s.name && x.local == s.local;
        })) << s.name;
    }

    const DebugInfo& info = *table.files.at(0).debugInfo;
    ASSERT_EQ(info.files.size(), 3u);
    EXPECT_EQ(fileName(info, 0), "main.s");
    EXPECT_EQ(fileName(info, 1), "macros.inc");
    EXPECT_EQ(fileName(info, 2), "count.s");
    // The macro's call is one line over all its bytes; a step by line takes a whole .repeat at once.
    const struct {
        std::uint16_t address;
        const char* file;
        int line;
        std::uint16_t stepStart, stepEnd;
    } lines[] = {{0x0200, "main.s", 7, 0x0200, 0x0202},  {0x0201, "main.s", 7, 0x0200, 0x0202},
                 {0x0202, "main.s", 8, 0x0202, 0x0206},  {0x0205, "main.s", 8, 0x0202, 0x0206},
                 {0x0206, "main.s", 9, 0x0206, 0x0209},  {0x0209, "main.s", 11, 0x0209, 0x020B},
                 {0x020A, "main.s", 11, 0x0209, 0x020B}, {0x0210, "main.s", 16, 0x0210, 0x0212},
                 {0x0213, "count.s", 4, 0x0213, 0x0214}, {0x0214, "count.s", 5, 0x0214, 0x0215}};
    for (const auto& l : lines) {
        const auto line = sourceLineAt(info, l.address);
        const auto step = sourceStepAt(info, l.address);
        ASSERT_TRUE(line && step) << l.address;
        EXPECT_EQ(fileName(info, line->file), l.file) << l.address;
        EXPECT_EQ(line->line, l.line) << l.address;
        EXPECT_EQ(step->start, l.stepStart) << l.address;
        EXPECT_EQ(step->end, l.stepEnd) << l.address;
    }
    EXPECT_FALSE(sourceLineAt(info, 0x0215));
    EXPECT_FALSE(sourceLineAt(info, 0x01FF));
    // A breakpoint on the .repeat's body stops at each pass.
    EXPECT_EQ(sourceLineAddresses(info, 0, 11), (std::vector<std::uint16_t>{0x0209, 0x020A}));
    EXPECT_EQ(sourceLineAddresses(info, 0, 9), (std::vector<std::uint16_t>{0x0206}));
    EXPECT_TRUE(sourceLineAddresses(info, 0, 6).empty());
}

TEST(DebugInfo, BadLinesAreNamedByNumber) {
    const std::string head = "version\tmajor=2,minor=0\nfile\tid=0,name=\"a.s\"\nseg\tid=0,start=0x000200\n";
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"span\tid=0,seg=0,start=0", "'size' missing"},
        {"span\tid=0,seg=0,start=x,size=1", "bad start"},
        {"line\tid=0,file=0,line=3,span=1+", "bad span"},
        {"file\tid=1,name=\"open", "unterminated string"},
        {"sym\tid=0,name=\"a\",val=0x200,type=lab", "'scope' missing"},
        {"scope\tid=99999999,name=\"\"", "bad id"},
        {"seg\tid=1 start=3", "bad id"},
    };
    for (const auto& c : cases) {
        SymbolTable table;
        std::string message;
        symbolsLoadText(table, "p.dbg",
                        head + c.line + "\nsym\tid=1,name=\"ok\",scope=0,val=0x300,type=lab\n", message);
        EXPECT_EQ(message, std::string("Error in file 'p.dbg' line 4: ") + c.reason) << c.line;
        EXPECT_EQ(symbolAddress(table, "ok"), 0x0300) << c.line;
    }
    SymbolTable table;
    std::string message;
    EXPECT_EQ(symbolsLoadText(table, "new.dbg", "version\tmajor=3,minor=0\n", message), 0);
    EXPECT_EQ(message, "Error in file 'new.dbg' line 1: version 3 is not supported");
}

} // namespace
} // namespace orv
