#include "debugger/symbols.h"
#include "support/file_io.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

TEST(Symbols, Ld65AndViceLabelFiles) {
    const struct {
        const char* line;
        const char* name;
        std::uint16_t address;
    } cases[] = {
        {"al 000200 .start", "start", 0x0200},      {"al C:0e20 .PORTA", "PORTA", 0x0E20},
        {"add_label c:FE0C .SCAN", "SCAN", 0xFE0C}, {"AL $0010 DISPBUF", "DISPBUF", 0x0010},
        {"\tal  00FFFF  .@end\r", "@end", 0xFFFF},
    };
    std::string text = "; written by hand\n\n";
    for (const auto& c : cases) text += std::string(c.line) + "\n";
    SymbolTable table;
    std::string message;
    EXPECT_EQ(symbolsLoadText(table, "mixed.lbl", text, message), 5);
    EXPECT_EQ(message, "");
    for (const auto& c : cases) {
        EXPECT_EQ(symbolAddress(table, c.name), c.address) << c.line;
        EXPECT_EQ(symbolAddress(table, std::string(".") + c.name), c.address) << c.line;
        ASSERT_NE(symbolName(table, c.address), nullptr) << c.line;
        EXPECT_EQ(*symbolName(table, c.address), c.name);
    }
    EXPECT_EQ(symbolAddress(table, "scan"), std::nullopt);
    EXPECT_EQ(symbolName(table, 0x0201), nullptr);
}

TEST(Symbols, BadLinesAreNamedAndTheRestLoads) {
    SymbolTable table;
    std::string message;
    EXPECT_EQ(symbolsLoadText(table, "bad.lbl",
                              "al 000200 .start\nal 010000 .big\n; fine\nal G:0200 .other\nal 0300 .9lives\n"
                              "al 0300\nlabel 0300 .x\nal 0301 .fine\n",
                              message),
              2);
    EXPECT_EQ(message, "Error in file 'bad.lbl' line 2: bad address '010000'\n"
                       "Error in file 'bad.lbl' line 4: bad address 'G:0200'\n"
                       "Error in file 'bad.lbl' line 5: bad label '.9lives'\n"
                       "Error in file 'bad.lbl' line 6: expected 'al <address> <label>'\n"
                       "Error in file 'bad.lbl' line 7: expected 'al <address> <label>'");
    EXPECT_EQ(symbolAddress(table, "fine"), 0x0301);

    // A file that is no label file names its first ten bad lines and counts the rest.
    std::string junk;
    for (int i = 0; i < 13; ++i) junk += "junk\n";
    EXPECT_EQ(symbolsLoadText(table, "junk", junk, message), 0);
    EXPECT_NE(message.find("line 10: expected"), std::string::npos) << message;
    EXPECT_EQ(message.find("line 11:"), std::string::npos) << message;
    EXPECT_NE(message.find("\nError: file 'junk' has 3 more lines that do not parse"), std::string::npos);

    EXPECT_EQ(symbolsLoadText(table, "empty.lbl", "", message), 0);
    EXPECT_EQ(message, "Warning: file 'empty.lbl' holds no labels");
}

TEST(Symbols, ReloadReplacesOnlyThatFileAndKeepsItsPlace) {
    SymbolTable table;
    std::string message;
    symbolsLoadText(table, "a.lbl", "al 0200 .one\nal 0300 .shared\n", message);
    symbolsLoadText(table, "b.lbl", "al 0400 .two\nal 0500 .shared\nal 0400 .@two\n", message);
    EXPECT_EQ(symbolAddress(table, "shared"), 0x0300);
    ASSERT_NE(symbolName(table, 0x0400), nullptr);
    EXPECT_EQ(*symbolName(table, 0x0400), "two");

    EXPECT_EQ(symbolsLoadText(table, "a.lbl", "al 0500 .first\n", message), 1);
    EXPECT_EQ(symbolAddress(table, "one"), std::nullopt);
    EXPECT_EQ(symbolAddress(table, "shared"), 0x0500);
    EXPECT_EQ(symbolAddress(table, "two"), 0x0400);
    ASSERT_EQ(symbolsAt(table, 0x0500).size(), 2u);
    EXPECT_EQ(symbolsAt(table, 0x0500)[0].name, "first"); // a.lbl still loaded first

    EXPECT_EQ(symbolsLoadFile(table, "/nonexistent/a.lbl", message), 0);
    EXPECT_EQ(message, "Error: file 'a.lbl' not found");
#ifndef _WIN32
    // A named pipe is refused at once instead of waiting for a writer.
    const std::string pipe = testing::TempDir() + "labels.fifo";
    ::unlink(pipe.c_str());
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(symbolsLoadFile(table, pipe, message), 0);
    EXPECT_NE(message.find("not found"), std::string::npos);
    ::unlink(pipe.c_str());
#endif
    EXPECT_EQ(symbolAddress(table, "first"), 0x0500);

    symbolsRemoveFile(table, "b.lbl");
    EXPECT_EQ(symbolAddress(table, "two"), std::nullopt);
    EXPECT_EQ(symbolsAt(table, 0x0500).size(), 1u);
}

TEST(Symbols, MessagesNameTheFileWithoutItsFolder) {
    const std::string path = testing::TempDir() + "x.lbl";
    ASSERT_TRUE(test::writeText(path, "al 0200\n"));
    SymbolTable table;
    std::string message;
    symbolsLoadFile(table, path, message);
    EXPECT_EQ(message, "Error in file 'x.lbl' line 1: expected 'al <address> <label>'");
}

TEST(Symbols, MonitorLabelFile) {
    SymbolTable table;
    std::string message;
    EXPECT_GT(symbolsLoadFile(table, ORV_MONITOR_LABELS, message), 40);
    EXPECT_EQ(message, "");
    const struct {
        const char* name;
        std::uint16_t address;
    } entries[] = {{"SHOWFOUR", 0xFE00}, {"SCAN", 0xFE0C},  {"HEXENTRY", 0xFE88},
                   {"TAPEIN", 0xFEDD},   {"RESET", 0xFEF3}, {"REGS", 0xFFB3}};
    for (const auto& e : entries) {
        EXPECT_EQ(symbolAddress(table, e.name), e.address) << e.name;
        ASSERT_NE(symbolName(table, e.address), nullptr);
        EXPECT_EQ(*symbolName(table, e.address), e.name);
    }
}

} // namespace
} // namespace orv
