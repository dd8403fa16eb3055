#include "control/command_line.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(CommandLineTest, GoodAndBadArgumentLists) {
    struct Case {
        QStringList arguments;
        bool start;
        int status;
        QString error; // the start of the one line on standard error
        ProgramFileKind kind;
        int at, run; // -1: not given
    };
    using K = ProgramFileKind;
    const Case cases[] = {
        {{}, true, 0, "", K::Unknown, -1, -1},
        {{"prog.obj"}, true, 0, "", K::Object, -1, -1},
        {{"PROG.HEX", "--run", "0200"}, true, 0, "", K::Object, -1, 0x0200},
        {{"prog.ihx", "--run=$1f"}, true, 0, "", K::Object, -1, 0x001F},
        {{"prog.bin", "--at", "0x200", "--run", "200"}, true, 0, "", K::Binary, 0x0200, 0x0200},
        {{"tape.mid"}, true, 0, "", K::Tape, -1, -1},
        {{"--run", "FE00"}, false, 2, "orv: --run needs a FILE", K::Unknown, -1, -1},
        {{"prog.bin"}, false, 2, "orv: the binary 'prog.bin' needs --at ADDR", K::Unknown, -1, -1},
        {{"prog.obj", "--at", "0200"}, false, 2, "orv: --at is for a binary FILE only", K::Unknown, -1, -1},
        {{"prog.bin", "--at", "10000"}, false, 2, "orv: bad address for --at: '10000'", K::Unknown, -1, -1},
        {{"prog.obj", "--run", "-1"}, false, 2, "orv: bad address for --run: '-1'", K::Unknown, -1, -1},
        {{"prog.obj", "--run", "$"}, false, 2, "orv: bad address for --run", K::Unknown, -1, -1},
        {{"prog.obj", "--run"}, false, 2, "orv: Missing value after '--run'", K::Unknown, -1, -1},
        {{"a.obj", "b.obj"}, false, 2, "orv: one FILE at most", K::Unknown, -1, -1},
        {{"notes.txt"}, false, 2, "orv: unknown kind of file 'notes.txt'", K::Unknown, -1, -1},
        {{"--frobnicate"}, false, 2, "orv: Unknown option 'frobnicate'", K::Unknown, -1, -1},
        {{"--run", "1", "--run", "2"}, false, 2, "orv: --run may be given once", K::Unknown, -1, -1},
    };
    for (const Case& c : cases) {
        const QString shown = c.arguments.join(' ');
        const CommandLine line = parseCommandLine(c.arguments);
        EXPECT_EQ(line.start, c.start) << shown.toStdString();
        EXPECT_EQ(line.exitStatus, c.status) << shown.toStdString();
        // A null error does not "start with" an empty text in Qt; emptiness is checked below.
        EXPECT_TRUE(c.error.isEmpty() || line.error.startsWith(c.error))
            << shown.toStdString() << ": " << line.error.toStdString();
        EXPECT_FALSE(line.error.contains('\n')) << shown.toStdString();
        EXPECT_EQ(line.error.isEmpty(), c.start) << shown.toStdString();
        if (!c.start) continue;
        EXPECT_EQ(line.request.kind, c.kind) << shown.toStdString();
        EXPECT_EQ(line.request.at ? *line.request.at : -1, c.at) << shown.toStdString();
        EXPECT_EQ(line.request.run ? *line.request.run : -1, c.run) << shown.toStdString();
    }
}

TEST(CommandLineTest, HelpAndVersionExitAtOnce) {
    for (const QStringList& arguments : {QStringList{"--help"}, QStringList{"-h", "x.bin"}}) {
        const CommandLine line = parseCommandLine(arguments);
        EXPECT_FALSE(line.start);
        EXPECT_EQ(line.exitStatus, 0);
        EXPECT_TRUE(line.output.startsWith("Usage: orv [OPTION]... [FILE]"));
        for (const char* option : {"--at", "--run", "--labels", "--version"})
            EXPECT_TRUE(line.output.contains(option));
    }
    const CommandLine line = parseCommandLine({"--version"});
    EXPECT_FALSE(line.start);
    EXPECT_TRUE(line.output.startsWith("orv ") && line.output.endsWith("\n"));
    EXPECT_FALSE(line.output.contains("unknown"));
}

} // namespace
} // namespace orv
