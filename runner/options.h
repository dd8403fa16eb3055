// orv-run's command line: what to load, how to start, when to stop, what to report and check.
#pragma once

#include "debugger/symbols.h"
#include "debugger/trace_log.h"
#include "objfile/file_kind.h"
#include "runner/key_script.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// Exit statuses: every check held; a check failed or the run did not end as asked; the command line was
// wrong, or a file could not be read or written (standard output too), which outweighs a failed check.
constexpr int RUN_PASSED = 0;
constexpr int RUN_FAILED = 1;
constexpr int RUN_BAD_USAGE = 2;

// Bytes at an address: what --poke stores and --expect looks for.
struct MemoryBytes {
    std::uint16_t address = 0;
    std::vector<std::uint8_t> bytes;
};

struct AddressRange {
    std::uint16_t first = 0, last = 0;
};

// One item of --show, printed in the order given.
struct ShowItem {
    enum Kind : std::uint8_t { Stop, Display, Registers, Cycles, Memory } kind;
    AddressRange range; // Memory
};

struct InputFile {
    std::string path;
    ProgramFileKind kind;
};

constexpr std::uint32_t DEFAULT_SEED = 1;
constexpr std::int64_t DEFAULT_CYCLES = 10'000'000;

struct RunOptions {
    std::vector<InputFile> files;
    std::optional<std::uint16_t> at;
    std::string state;
    std::uint32_t seed = DEFAULT_SEED;
    std::vector<MemoryBytes> pokes;
    std::optional<std::uint16_t> pc;
    std::vector<KeyStep> keys;
    std::optional<std::uint16_t> untilPc;
    std::optional<std::string> untilDisplay;
    std::int64_t cycles = DEFAULT_CYCLES;
    bool throughBrk = false;
    std::vector<ShowItem> show;
    std::vector<MemoryBytes> expect;
    std::optional<std::string> expectDisplay;
    std::string record;
    std::string saveState;
    std::optional<AddressRange> disassemble;
    SymbolTable symbols; // from --labels
    std::string trace;
    std::uint64_t traceLimit = TRACE_DEFAULT_LIMIT;
};

// What the command line asks for: a run, or text to print (help, version, a mistake) and a status.
struct RunCommandLine {
    bool run = false;
    RunOptions options;
    std::string output; // for standard output
    std::string error;  // for standard error, "orv-run: ..."
    int exitStatus = RUN_PASSED;
};

RunCommandLine parseRunCommandLine(const std::vector<std::string>& arguments);

// A line for standard error: "orv-run: " and the message. The core's own lead ("Error: ",
// "Warning: ", "Error in ") is for the window's boxes and goes, so that each line has one prefix;
// a warning is still marked "warning: ".
std::string runMessage(std::string_view message);

} // namespace orv
