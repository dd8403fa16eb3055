// orv-run as a script runs it: arguments in, output and exit status out.
#include "support/file_io.h"
#include "support/run_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace orv {
namespace {

using Args = std::vector<std::string>;

// LDA #$42, STA $0300, BRK at $0205.
const Args STORE = {"--poke", "0200=A9,42,8D,00,03,00", "--pc", "0200"};
// JMP $0200, for ever.
const Args LOOP = {"--poke", "0200=4C,00,02", "--pc", "0200"};

Args operator+(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class RunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("orv_runner_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

#ifdef _WIN32
    // A Windows console's text: every line ends in CR LF, which the cases write as "\n".
    test::ProcessResult run(const Args& arguments) {
        // The build's names are the build machine's: orv-run.exe is found from this program, one folder up.
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::filesystem::path program = std::filesystem::path(self).parent_path().parent_path() /
                                              std::filesystem::path(ORV_RUN).filename();
        test::ProcessResult result = test::runProcess(utf8Name(program.wstring()), arguments, dir);
        for (std::string* text : {&result.out, &result.err}) {
            std::string lines;
            for (std::size_t i = 0; i < text->size(); ++i) {
                if (text->compare(i, 2, "\r\n") == 0) {
                    ++i;
                } else if ((*text)[i] == '\n') {
                    ADD_FAILURE() << "a line ending in LF alone: " << *text;
                }
                lines += (*text)[i];
            }
            *text = lines;
        }
        return result;
    }
#else
    test::ProcessResult run(const Args& arguments,
                            test::StandardOutput output = test::StandardOutput::Caught) {
        return test::runProcess(ORV_RUN, arguments, dir, output);
    }
#endif

    std::filesystem::path dir;
};

#ifndef _WIN32
// Pipes, links, full devices and closed streams: what Windows has not.
TEST_F(RunnerTest, AFileThereThatCannotBeReadIsToldWhatItIs) {
    std::filesystem::create_directories(dir / "folder.obj");
    ASSERT_EQ(::mkfifo((dir / "pipe.obj").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe.mid").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe.bin").c_str(), 0644), 0);
    const struct {
        Args args;
        std::string told; // the end of the one line on standard error
    } cases[] = {
        {{"folder.obj"}, "'folder.obj' is a folder\n"},
        {{"pipe.obj"}, "'pipe.obj' is not a regular file\n"},
        {{"pipe.mid"}, "'pipe.mid' is not a regular file\n"},
        {{"pipe.bin", "--at", "0200"}, "'pipe.bin' is not a regular file\n"},
        {{"--state", "folder.obj"}, "'folder.obj' is a folder\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told);
        const test::ProcessResult result = run(c.args);
        EXPECT_EQ(result.status, 2);
        EXPECT_TRUE(result.err.starts_with("orv-run: ") && result.err.ends_with(c.told)) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}
#endif

TEST_F(RunnerTest, ArgumentsGiveTheirOutputAndExitStatus) {
    ASSERT_TRUE(test::writeText(dir / "bad.hex", "00000001FF\n"));
    ASSERT_TRUE(test::writeText(dir / "junk.orvstate", "not a state"));
#ifndef _WIN32
    std::filesystem::create_symlink("/dev/null", dir / "device");
#endif
    std::filesystem::create_directory(dir / "folder");
    const struct {
        Args args;
        int status;
        std::string out; // exact
        std::string err; // exact, or the start of it when it ends in "..."
    } cases[] = {
        {{"--version"}, 0, "orv-run " ORV_VERSION "\n", ""},
        {{"--bogus"}, 2, "", "orv-run: unknown option '--bogus'\n"},
        {{"--poke", "0200=1FF"}, 2, "", "orv-run: bad value for --poke: '0200=1FF'\n"},
        {{"--expect=FFFF=1,2"}, 2, "", "orv-run: bad value for --expect: 'FFFF=1,2'\n"},
        {{"--cycles", "0"}, 2, "", "orv-run: bad value for --cycles: '0'\n"},
        {{"--show", "stop,flags"}, 2, "", "orv-run: bad value for --show: 'stop,flags'\n"},
        {{"--pc", "1", "--pc", "2"}, 2, "", "orv-run: --pc may be given once\n"},
        {{"--until-pc"}, 2, "", "orv-run: --until-pc needs a value\n"},
        {{"prog.bin"}, 2, "", "orv-run: a binary FILE needs --at ADDR\n"},
        {{"prog.txt"}, 2, "", "orv-run: unknown kind of file 'prog.txt' (.obj, .hex, .ihx, .bin or .mid)\n"},
        {{"--keys", "m0x"}, 2, "", "orv-run: --keys: 'x' is no key..."},
        {{"--keys", "m\x01"}, 2, "", "orv-run: --keys: '\\x01' is no key..."},
        {{"--poke", "\x1b[2J"}, 2, "", "orv-run: bad value for --poke: '\\x1b[2J'\n"},
        {{"--keys", "m{wait 3600001}0"},
         2,
         "",
         "orv-run: --keys: bad key script step at '{wait 3600001}' ({reset} or {wait N}, N at most "
         "3600000)\n"},
        {{"--state", "a.orvstate", "--state", "b.orvstate"}, 2, "", "orv-run: --state may be given once\n"},
        {{"--save-state", "a", "--save-state", "a"}, 2, "", "orv-run: --save-state may be given once\n"},
        {{"--through-brk=1"}, 2, "", "orv-run: --through-brk takes no value\n"},
        {{"--version=2"}, 2, "", "orv-run: --version takes no value\n"},
        {{"--keys", "m{wait}"}, 2, "", "orv-run: --keys: bad key script step at '{wait}'..."},
        {{"missing.obj"}, 2, "", "orv-run: file 'missing.obj' not found\n"},
        {{"missing.mid"}, 2, "", "orv-run: file 'missing.mid' could not be opened\n"},
        // One prefix a line: the core's own lead of its messages goes; a warning says it is one.
        {{"bad.hex"}, 2, "", "orv-run: 'bad.hex' line 1: does not start with ':'\n"},
        {{"--state", "junk.orvstate"}, 2, "", "orv-run: file 'junk.orvstate' is not a save state\n"},
        {{"--cycles", "10", "--record", "quiet.mid"},
         0,
         "",
         "orv-run: warning: no data recorded in 'quiet.mid'\n"},
        // A state or tape not written fails as a file that does not load, a failed check besides or not;
        // a device or folder gets no ending and is not replaced.
        {{"--cycles", "10", "--save-state", "missing/s"}, 2, "", "orv-run: file 's' could not be opened\n"},
        {{"--cycles", "10", "--record", "missing/t"}, 2, "", "orv-run: file 't.mid' could not be opened\n"},
#ifdef _WIN32
        // The devices' names Windows keeps in every folder, refused as Linux refuses a device.
        {{"--cycles", "10", "--record", "nul"}, 2, "", "orv-run: file 'nul' could not be opened\n"},
        {{"--cycles", "10", "--save-state", "COM1.orvstate"},
         2,
         "",
         "orv-run: file 'COM1.orvstate' could not be written\n"},
        {{"con.obj"}, 2, "", "orv-run: 'con.obj' is not a regular file\n"},
        {{"--state", "aux.orvstate"}, 2, "", "orv-run: 'aux.orvstate' is not a regular file\n"},
#else
        {{"--cycles", "10", "--record", "device"}, 2, "", "orv-run: file 'device' could not be opened\n"},
#endif
        {{"--cycles", "10", "--record", "folder"}, 2, "", "orv-run: file 'folder' could not be opened\n"},
        {STORE + Args{"--expect", "0300=41", "--save-state", "missing/s"}, 2, "",
         "orv-run: file 's' could not be opened\norv-run: $0300 holds $42, expected $41\n"},
        // After the reset the monitor's command loop lights every point.
        {{"--cycles", "100000", "--show", "display"}, 0, "display: \" . . . . . . . .\"\n", ""},
        // A program test that passes, and one that fails.
        {STORE + Args{"--expect", "0300=42", "--show", "stop,memory=0300-0300"}, 0,
         "stop: BRK at $0205\n0300: 42\n", ""},
        {STORE + Args{"--expect", "0300=41", "--expect", "0200=A9"}, 1, "",
         "orv-run: $0300 holds $42, expected $41\n"},
        {STORE + Args{"--until-pc", "0205", "--show", "stop"}, 0, "stop: PC reached $0205\n", ""},
        {STORE + Args{"--until-pc", "0300"}, 1, "",
         "orv-run: the run ended with BRK at $0205 before the PC reached $0300\n"},
        // The cycle limit ends an endless loop: a failure while something else was awaited.
        {LOOP + Args{"--until-pc", "0300", "--cycles", "100000"}, 1, "",
         "orv-run: the run ended with the cycle limit (..."},
        {{"--poke", "0200=02", "--pc", "0200"},
         1,
         "",
         "orv-run: the run ended with invalid opcode $02 at $0200\n"},
        {LOOP + Args{"--keys", "1"}, 1, "", "orv-run: keys of the script the program did not take: 1\n"},
        {{"--until-display", "A.", "--cycles", "200000"},
         1,
         "",
         "orv-run: the run ended with the cycle limit (..."},
        {{"--expect-display", "A.", "--cycles", "100000"},
         1,
         "",
         "orv-run: the display shows \" . . . . . . . .\", expected \"A.\"\n"},
        // Keys typed into the monitor: an address, its byte shown, then two bytes entered.
        {{"--poke", "0200=A9", "--keys", "m0200^", "--until-display", "A.0200 .A9", "--show", "stop"},
         0,
         "stop: display showed \"A.0200 .A9\"\n",
         ""},
        {{"--keys", "M0300^5a^C3 {reset}", "--expect", "0300=5A,C3", "--expect-display", " . . . . . . . ."},
         0,
         "",
         ""},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& arg : c.args) line += arg + " ";
        SCOPED_TRACE(line);
        const test::ProcessResult result = run(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        if (c.err.ends_with("..."))
            EXPECT_EQ(result.err.substr(0, c.err.size() - 3), c.err.substr(0, c.err.size() - 3))
                << result.err;
        else
            EXPECT_EQ(result.err, c.err);
    }
    EXPECT_TRUE(run({"--help"}).out.starts_with("Usage: orv-run [OPTION]... [FILE]...\n"));
    EXPECT_FALSE(std::filesystem::exists(dir / "folder.mid"));
#ifndef _WIN32
    EXPECT_FALSE(std::filesystem::exists(dir / "device.mid"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "device"));
#endif
}

// Labels name the addresses of the options and the disassembly's; a label file is read as strictly as
// every other input of a script.
TEST_F(RunnerTest, LabelsNameAddresses) {
    ASSERT_TRUE(test::writeText(dir / "store.lbl", "al 000200 .start\nal 000205 .done\nal 000300 .result\n"));
    ASSERT_TRUE(test::writeText(dir / "bad.lbl", "al 000200 .start\nstart = $200\n"));
    const std::string program = ORV_SOURCE_PROGRAM_DIR;
    const struct {
        Args args;
        int status;
        std::string out, err;
    } cases[] = {
        {STORE +
             Args{"--labels", "store.lbl", "--until-pc", "done", "--expect", "result=42", "--show", "stop"},
         0, "stop: PC reached $0205\n", ""},
        {Args{"--until-pc=.done", "--labels=store.lbl"} + STORE + Args{"--show", "memory=result-.result"}, 0,
         "0300: 42\n", ""},
        {STORE + Args{"--labels", "store.lbl", "--until-pc", "nowhere"}, 2, "",
         "orv-run: bad value for --until-pc: 'nowhere'\n"},
        {STORE + Args{"--labels", "bad.lbl"}, 2, "",
         "orv-run: file 'bad.lbl' line 2: expected 'al <address> <label>'\n"},
        {STORE + Args{"--labels", "missing.lbl"}, 2, "", "orv-run: file 'missing.lbl' not found\n"},
        // ld65's debug information of a two-module program: the other module's routine by its name.
        {{program + "/program.bin", "--at", "0200", "--labels", program + "/program.dbg", "--pc", "start",
          "--until-pc", "count", "--show", "stop"},
         0,
         "stop: PC reached $0213\n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[c.args.size() - 1]);
        const test::ProcessResult result = run(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
    const test::ProcessResult listing =
        run({"--poke", "0200=4C,05,02", "--labels", "store.lbl", "--disassemble", "start-0202"});
    EXPECT_NE(listing.out.find("start:\n        JMP done"), std::string::npos) << listing.out;
}

// A traced run is the same run; the trace has a line for each instruction and ends at its limit.
TEST_F(RunnerTest, ATraceChangesNothingOfTheRun) {
    const Args keys = {"--keys", "m02", "--cycles", "1000000"};
    ASSERT_EQ(run(keys + Args{"--save-state", "plain.orvstate"}).status, 0);
    const test::ProcessResult traced =
        run(keys + Args{"--save-state", "traced.orvstate", "--trace", "t.log"});
    EXPECT_EQ(traced.status, 0);
    EXPECT_EQ(traced.err, "");
    EXPECT_EQ(test::readText(dir / "traced.orvstate"), test::readText(dir / "plain.orvstate"));
    const std::string log = test::readText(dir / "t.log");
    EXPECT_GT(std::count(log.begin(), log.end(), '\n'), 200000);
    EXPECT_TRUE(log.starts_with("         6  FEF3  A2 FF     LDX #$FF ")) << log.substr(0, 80);

    const test::ProcessResult limited =
        run({"--cycles", "30000000", "--trace", "t.log", "--trace-limit", "1"});
    EXPECT_EQ(limited.status, 0);
    EXPECT_EQ(limited.err, "orv-run: warning: the trace in 't.log' stopped at its limit of 1048576 bytes\n");
    EXPECT_LE(std::filesystem::file_size(dir / "t.log"), 1u << 20);
    EXPECT_EQ(run({"--cycles", "10", "--trace", "missing/t.log"}).err,
              "orv-run: file 't.log' could not be opened\n");
}

#ifndef _WIN32
// Output that cannot be written is a failure, not a run that passed in silence.
TEST_F(RunnerTest, LostOutputFailsTheRun) {
    const std::vector<Args> reports = {
        {"--disassemble", "0200-0210"}, STORE + Args{"--show", "stop"}, {"--help"}};
    for (const test::StandardOutput output : {test::StandardOutput::Full, test::StandardOutput::Closed}) {
        for (const Args& args : reports) {
            SCOPED_TRACE(args.front() + (output == test::StandardOutput::Full ? " full" : " closed"));
            const test::ProcessResult result = run(args, output);
            EXPECT_EQ(result.status, 2);
            EXPECT_TRUE(result.err.starts_with("orv-run: standard output could not be written ("))
                << result.err;
        }
    }
    // Nothing to print, nothing lost.
    EXPECT_EQ(run(STORE, test::StandardOutput::Closed).status, 0);
}
#endif

// Scripts find orv-run where they find orv: in the build's top folder, as bin/ holds both once installed.
TEST_F(RunnerTest, LiesBesideTheProgramInTheBuild) {
    EXPECT_EQ(std::filesystem::path(ORV_RUN).parent_path(), std::filesystem::path(ORV_BUILD_DIR));
}

TEST_F(RunnerTest, TheSameRunTwiceGivesTheSameOutputAndTheSeedTheRandomBytes) {
    const Args args = {"--keys", "m0200^12^34{wait 20}m0210", "--show",
                       "display,registers,cycles,memory=0000-03FF"};
    const test::ProcessResult first = run(args);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(run(args).out, first.out);
    EXPECT_NE(run(args + Args{"--seed", "2"}).out, first.out);
}

TEST_F(RunnerTest, ATapeRecordedPlaysBackIntoAnotherBoard) {
    const Args data = {"--poke", "0200=01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10"};
    const test::ProcessResult recorded = run(data + Args{"--keys", "s0200^0210^", "--record", "t.mid"});
    ASSERT_EQ(recorded.status, 0) << recorded.err;
    const test::ProcessResult played =
        run({"t.mid", "--seed", "7", "--expect", "0200=01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10"});
    EXPECT_EQ(played.status, 0) << played.err;
}

// A tape ends as it ends in the program: a while after it went quiet its stop falls due, however long
// the file goes on.
TEST_F(RunnerTest, ATapeIsStoppedAWhileAfterItWentQuiet) {
    const Args data = {"--poke", "0200=01,02,03,04"};
    ASSERT_EQ(run(data + Args{"--keys", "s0200^0204^", "--record", "one.mid"}).status, 0);
    // A second save long after the first is not on the tape: the recording had stopped.
    const test::ProcessResult two =
        run(data + Args{"--keys", "s0200^0204^{wait 3000}s0200^0202^", "--record", "two.mid"});
    ASSERT_EQ(two.status, 0) << two.err;
    const test::Bytes one = test::readBytes(dir / "one.mid");
    EXPECT_EQ(test::readBytes(dir / "two.mid"), one);

    // The trailer's level made a minute long: the tape is stopped well before the file's end.
    test::Bytes longer = one;
    const test::Bytes trailer = {0x81, 0x9C, 0x20, 0x62, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    ASSERT_TRUE(longer.size() > trailer.size() &&
                std::equal(trailer.begin(), trailer.end(), longer.end() - 9));
    std::copy_n(test::Bytes{0xA4, 0xF8, 0x00}.begin(), 3, longer.end() - 9);
    ASSERT_TRUE(test::writeBytes(dir / "long.mid", longer));
    const test::ProcessResult played = run({"long.mid", "--expect", "0200=01,02,03,04"});
    EXPECT_EQ(played.status, 0) << played.err;
}

TEST_F(RunnerTest, ASavedRunGoesOnToWhereOneRunEnds) {
    // Counts Y to $40 in $0300, about 83,000 cycles, then BRK.
    const Args count = {"--poke", "0200=A0,00,A2,00,E8,D0,FD,C8,8C,00,03,C0,40,D0,F3,00", "--pc", "0200"};
    const Args show = {"--show", "stop,registers,memory=0000-03FF"};
    const test::ProcessResult whole = run(count + show);
    ASSERT_EQ(whole.status, 0) << whole.err;
    ASSERT_EQ(run(count + Args{"--cycles", "50000", "--save-state", "half.orvstate"}).status, 0);
    EXPECT_EQ(run(Args{"--state", "half.orvstate"} + show).out, whole.out);

    // Cut by the cycle limit: the first run stops a few cycles past its end, which the second owes.
    const Args monitor = {"--show", "registers,memory=0000-00FF"};
    for (const auto& [first, then] : {std::pair{"100003", "50000"}, {"99999", "2"}, {"200011", "1"}}) {
        ASSERT_EQ(run({"--cycles", first, "--save-state", "cut.orvstate"}).status, 0);
        const std::string total = std::to_string(std::stoll(first) + std::stoll(then));
        EXPECT_EQ(run(Args{"--state", "cut.orvstate", "--cycles", then} + monitor).out,
                  run(Args{"--cycles", total} + monitor).out)
            << first << " + " << then;
    }
}

#ifndef _WIN32
// ca65 and ld65 are the build machine's; scripts/test-windows.sh compares the listings of both builds.
TEST_F(RunnerTest, DisassemblyAssemblesBackToTheSameBytes) {
    // Instructions of each length, an undefined opcode and a JMP cut off at the end of the range.
    const test::Bytes bytes = {0xA9, 0x42, 0x8D, 0x00, 0x03, 0xB1, 0x10, 0x02, 0xD0,
                               0xF7, 0x6C, 0xFE, 0xFF, 0xAD, 0x34, 0x00, 0x4C, 0x00};
    ASSERT_TRUE(test::writeBytes(dir / "prog.bin", bytes));
    const test::ProcessResult listing = run({"prog.bin", "--at", "0200", "--disassemble", "0200-0211"});
    ASSERT_EQ(listing.status, 0) << listing.err;
    ASSERT_TRUE(test::writeText(dir / "prog.s", listing.out));
    const std::string assemble = "cd '" + dir.string() + "' && " ORV_CA65 " -o prog.o prog.s && " ORV_LD65 +
                                 std::string(" -t none -o back.bin prog.o");
    ASSERT_EQ(std::system(assemble.c_str()), 0) << listing.out;
    EXPECT_EQ(test::readBytes(dir / "back.bin"), bytes) << listing.out;
}
#endif

} // namespace
} // namespace orv
