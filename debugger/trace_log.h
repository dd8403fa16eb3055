// The trace log: one line a instruction, written to a file while the machine runs, for orv-run's
// --trace and the debugger window's Trace to File.
//
//   cycles      PC    bytes     instruction     registers and flags before it          access
//        1234  0206  8D 00 03  STA $0300       A:42 X:00 Y:00 SP:FD N-1B-I-C  [$0300]<-42
//
// The access is the instruction's effective address and the byte it read ("[$0010]=05"), wrote
// ("[$0300]<-42") or both ("[$0010]=05<-06"), read as memory holds it (a RIO port shows its output
// register, as the debugger's views do). Stack and operand fetches are not shown.
#pragma once

#include "debugger/symbols.h"
#include "files/safe_file.h"
#include "machine/debug_hooks.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv {

constexpr std::uint64_t TRACE_DEFAULT_LIMIT = 100ull << 20;

// What an instruction about to run will touch, worked out from its bytes and the registers without
// touching a device.
struct TraceAccess {
    enum Kind : std::uint8_t { None, Read, Write, Modify } kind = None;
    std::uint16_t address = 0;
    std::uint8_t before = 0; // the byte there before the instruction
};
TraceAccess traceAccessOf(const HistoryEntry& entry);

// The whole line, without its line end; `after` is the byte at the access's address once the
// instruction ran.
std::string traceLine(const HistoryEntry& entry, const TraceAccess& access, std::uint8_t after,
                      const SymbolTable* symbols = nullptr);

class TraceLog {
  public:
    TraceLog() = default;
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;
    // A trace never closed leaves no file behind.
    ~TraceLog();

    // Starts a trace into path, replaced whole when the trace ends. False with the message when it
    // cannot be written.
    bool open(const std::string& path, std::uint64_t limit, std::string& message);
    bool active() const { return file.file != nullptr && !full; }
    // Around each instruction of the machine; an instruction that did not run writes nothing.
    void before();
    // `ran` false: the slice served an interrupt request and ran no instruction.
    void after(const SymbolTable* symbols = nullptr, bool ran = true);
    // Puts the file in place. False with the message when it could not be written; a trace that reached
    // its limit is kept, with a warning.
    bool close(std::string& message);

  private:
    ReplacingFile file;
    std::string name; // bare, for messages
    std::uint64_t limit = 0, written = 0;
    bool full = false, failed = false;
    HistoryEntry entry{};
    TraceAccess access;
    struct CachedText {
        bool valid = false;
        std::array<std::uint8_t, 3> bytes{};
        std::string text;
    };
    std::vector<CachedText> texts; // by PC
    // Lines not yet written, in blocks of about this size.
    static constexpr std::size_t TRACE_BLOCK = 1 << 16;
    std::string pending;
    void flush();
};

// cpuExecute, an instruction at a time with its line while the log is active: the program's slices
// while the debugger window traces.
int traceExecute(TraceLog& log, std::int32_t budget, std::uint8_t& sliceStatus,
                 const SymbolTable* symbols = nullptr);

} // namespace orv
