#include "runner/run.h"

#include "base/file_names.h"
#include "base/run_inputs.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "board/board.h"
#include "debugger/disasm.h"
#include "debugger/trace_log.h"
#include "files/safe_file.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/debug_hooks.h"
#include "machine/display_text.h"
#include "machine/key_feed.h"
#include "machine/keys.h"
#include "machine/power.h"
#include "machine/save_state.h"
#include "objfile/binary.h"
#include "objfile/hex_dump.h"
#include "objfile/objfile.h"
#include "tape/tape.h"

#include <algorithm>
#include <functional>

namespace orv {

namespace {

constexpr int UNTIL_PC_TRAP = 1;
constexpr std::int64_t CYCLES_PER_MILLI = 1000;

enum class Stop : std::uint8_t { Cycles, Brk, BadOp, Pc, Display, TapeEnd };

struct Outcome {
    Stop stop = Stop::Cycles;
    std::uint16_t at = 0; // where a BRK or an invalid opcode was
    std::int64_t ran = 0; // cycles the run took
};

std::string describe(const Outcome& outcome) {
    switch (outcome.stop) {
    case Stop::Brk: return formatText("BRK at $%04X", outcome.at);
    case Stop::BadOp: return formatText("invalid opcode $%02X at $%04X", peekByte(outcome.at), outcome.at);
    case Stop::Pc: return formatText("PC reached $%04X", cpu.pc);
    case Stop::Display: return formatText("display showed \"%s\"", displayText().c_str());
    case Stop::TapeEnd: return "the tape's end";
    case Stop::Cycles: break;
    }
    return formatText("the cycle limit (%lld cycles)", static_cast<long long>(outcome.ran));
}

// Where a BRK came from, read back from what it pushed: its return address is two past it.
std::uint16_t brkAddress() {
    const std::uint8_t low = peekByte(static_cast<std::uint16_t>(0x0100 + ((cpu.sp + 2) & 0xFF)));
    const std::uint8_t high = peekByte(static_cast<std::uint16_t>(0x0100 + ((cpu.sp + 3) & 0xFF)));
    return static_cast<std::uint16_t>((low | high << 8) - 2);
}

// Hands the key script to the key feed as the program takes it: keys are queued at once up to the
// next reset or wait, which wait in turn for the keys before them to have been taken.
class ScriptPlayer {
  public:
    explicit ScriptPlayer(const std::vector<KeyStep>& steps) : steps(steps) {}

    void advance() {
        while (next < steps.size()) {
            const KeyStep& step = steps[next];
            if (step.kind == KeyStep::Key) {
                keyFeedAdd(step.key);
                ++next;
                continue;
            }
            if (keyFeedBusy()) return;
            if (step.kind == KeyStep::Reset) {
                cpuRequestReset();
                ++next;
                continue;
            }
            if (!waiting) {
                waiting = true;
                waitStart = static_cast<std::uint32_t>(cpu.cycles);
            }
            if (static_cast<std::uint32_t>(cpu.cycles) - waitStart < step.millis * CYCLES_PER_MILLI) return;
            waiting = false;
            ++next;
        }
    }

    // Keys not yet taken by the program, the one held down included.
    std::size_t keysLeft() const {
        return keyFeedLeft() + static_cast<std::size_t>(std::count_if(
                                   steps.begin() + static_cast<std::ptrdiff_t>(next), steps.end(),
                                   [](const KeyStep& step) { return step.kind == KeyStep::Key; }));
    }

    // Every step taken: nothing left to queue, no key waiting or held.
    bool done() const { return next == steps.size() && !keyFeedBusy(); }

  private:
    const std::vector<KeyStep>& steps;
    std::size_t next = 0;
    bool waiting = false;
    std::uint32_t waitStart = 0;
};

// While orv-run traces: each instruction a slice of its own, with its line.
TraceLog* tracing = nullptr;
const SymbolTable* traceSymbols = nullptr;

// Runs slices until `done` says so (asked before each slice), a slice stops, or `limit` cycles have run.
Outcome runSlices(std::int64_t limit, std::uint8_t statusIn, const std::function<bool()>& done,
                  Stop doneStop) {
    Outcome outcome;
    for (;;) {
        if (done()) {
            outcome.stop = doneStop;
            break;
        }
        if (outcome.ran >= limit) break;
        const auto before = static_cast<std::uint32_t>(cpu.cycles);
        // cpuExecute runs until more than its budget has passed.
        const auto budget =
            static_cast<std::int32_t>(std::min<std::int64_t>(BOARD_SLICE, limit - outcome.ran) - 1);
        if (tracing && tracing->active()) tracing->before();
        const std::uint8_t status = boardSlice(tracing && tracing->active() ? 0 : budget, statusIn);
        if (tracing && tracing->active()) tracing->after(traceSymbols);
        outcome.ran += static_cast<std::uint32_t>(cpu.cycles) - before;
        if (status & SLICE_BADOP) {
            outcome.stop = Stop::BadOp;
            outcome.at = cpu.pc;
            break;
        }
        if (status & SLICE_BREAK) {
            const bool brk = debugHooks.trapHit.id == TRAP_ID_SINGLE;
            outcome.stop = brk ? Stop::Brk : Stop::Pc;
            if (brk) outcome.at = brkAddress();
            break;
        }
    }
    return outcome;
}

// A tape played into the monitor's "l": the key typed as a user would, the tape played until the board
// tick finds its stop due, as the program stops it. The tape has started.
bool playTape(std::int64_t limit, std::string& err) {
    keyFeedAdd(keyWithLegend("l"));
    board.events = 0;
    const Outcome outcome = runSlices(
        limit, 0, [] { return (board.events & BOARD_TAPE_STOP) != 0; }, Stop::TapeEnd);
    board.events = 0;
    keyFeedStop();
    std::string message;
    tapeStop(message);
    if (!message.empty()) err += runMessage(message);
    if (outcome.stop == Stop::TapeEnd) return true;
    err += runMessage("the tape had not played to its end when the run stopped: " + describe(outcome));
    return false;
}

bool loadFiles(const RunOptions& options, std::string& err) {
    for (const InputFile& file : options.files) {
        std::string message;
        // What a file there that cannot be read is, rather than the object loader's "not found".
        const bool refused = refusedWhereItIs(file.path, bareName(file.path), message);
        if (!refused && file.kind == ProgramFileKind::Object)
            loadObjectFile(file.path, message, true);
        else if (!refused && file.kind == ProgramFileKind::Binary)
            loadBinaryFile(file.path, *options.at, message);
        if (!message.empty()) {
            err += runMessage(message);
            return false;
        }
    }
    return true;
}

void report(const RunOptions& options, const Outcome& outcome, std::string& out) {
    for (const ShowItem& item : options.show) {
        switch (item.kind) {
        case ShowItem::Stop: out += "stop: " + describe(outcome) + "\n"; break;
        case ShowItem::Display: out += "display: \"" + displayText() + "\"\n"; break;
        case ShowItem::Registers: out += "registers: " + registerLine() + "\n"; break;
        case ShowItem::Cycles:
            out += formatText("cycles: %lld\n", static_cast<long long>(outcome.ran));
            break;
        case ShowItem::Memory: out += writeHexDump(item.range.first, item.range.last); break;
        }
    }
}

// The checks of --expect and --expect-display; each failure named. True when all hold.
bool check(const RunOptions& options, std::string& err) {
    bool held = true;
    for (const MemoryBytes& expected : options.expect) {
        for (std::size_t i = 0; i < expected.bytes.size(); ++i) {
            const auto address = static_cast<std::uint16_t>(expected.address + i);
            const std::uint8_t value = peekByte(address);
            if (value == expected.bytes[i]) continue;
            err += runMessage(
                formatText("$%04X holds $%02X, expected $%02X", address, value, expected.bytes[i]));
            held = false;
        }
    }
    if (options.expectDisplay && displayText() != *options.expectDisplay) {
        err += runMessage("the display shows \"" + displayText() + "\", expected \"" +
                          *options.expectDisplay + "\"");
        held = false;
    }
    return held;
}

} // namespace

int runBoard(const RunOptions& options, std::string& out, std::string& err) {
    runInputs.diag = 0;
    runInputs.mute = 1;
    runInputs.halted = true;
    debugHooks = DebugHooksRecord{};
    keyFeed = KeyFeedRecord{};
    board = BoardRecord{};
    seedRandom(options.seed);
    std::string message;
    std::int64_t owed = 0;
    boardPowerOn(monitorImageText(), message);
    if (!message.empty()) {
        err += runMessage(message);
        return RUN_BAD_USAGE;
    }
    if (!options.state.empty()) {
        if (!loadStateFile(options.state, message)) {
            err += runMessage(message);
            return RUN_BAD_USAGE;
        }
        // The run that saved it went past its end by these: they count towards this one.
        owed = loadedStateOverrun();
    } else {
        cpuRequestReset();
    }
    if (!loadFiles(options, err)) return RUN_BAD_USAGE;
    TraceLog traceLog;
    if (!options.trace.empty() && !options.disassemble) {
        if (!traceLog.open(options.trace, options.traceLimit, message)) {
            err += runMessage(message);
            return RUN_BAD_USAGE;
        }
        tracing = &traceLog;
        traceSymbols = options.symbols.files.empty() ? nullptr : &options.symbols;
    }
    // The trace ends with the run, however it ends.
    const struct TraceEnd {
        ~TraceEnd() { tracing = nullptr; }
    } traceEnd;
    runInputs.halted = false;
    for (const InputFile& file : options.files) {
        if (file.kind != ProgramFileKind::Tape) continue;
        if (!tapeStartPlaying(file.path, message)) {
            err += runMessage(message);
            return RUN_BAD_USAGE;
        }
        if (!playTape(options.cycles, err)) return RUN_FAILED;
    }
    for (const MemoryBytes& poke : options.pokes) {
        for (std::size_t i = 0; i < poke.bytes.size(); ++i)
            busWrite(static_cast<std::uint16_t>(poke.address + i), poke.bytes[i], FORCE_ROM);
    }
    if (options.disassemble) {
        out += disassembleRange(peekByte, options.disassemble->first, options.disassemble->last,
                                options.symbols.files.empty() ? nullptr : &options.symbols);
        return RUN_PASSED;
    }
    if (options.pc) cpu.pc = *options.pc;
    if (!options.record.empty() && !tapeStartRecording(TAPE_LABEL, options.record, message)) {
        err += runMessage(message);
        tapeStop(message);
        return RUN_BAD_USAGE;
    }

    // A BRK is caught where it lands, at the start of the interrupt handler: nothing else on the board
    // raises an IRQ.
    const std::uint16_t keptBreakpoint = cpu.breakpoint;
    std::uint8_t statusIn = 0;
    if (!options.throughBrk) {
        cpu.breakpoint = static_cast<std::uint16_t>(peekByte(VECTOR_IRQ) | peekByte(VECTOR_IRQ + 1) << 8);
        statusIn |= SLICE_ARMED;
    }
    if (options.untilPc)
        cpuSetTraps({Trap{UNTIL_PC_TRAP, *options.untilPc, *options.untilPc, TRAP_EXEC, {}}});
    ScriptPlayer script(options.keys);
    const std::optional<std::string>& untilDisplay = options.untilDisplay;
    const std::int64_t limit = options.cycles - owed;
    // A recording is stopped where the program would stop it; what that stop says is told at the end.
    std::string recordStop;
    const Outcome outcome = runSlices(
        limit, statusIn,
        [&] {
            if (board.events & BOARD_TAPE_STOP) tapeStop(recordStop);
            board.events = 0;
            script.advance();
            return untilDisplay && displayText() == *untilDisplay;
        },
        Stop::Display);
    cpuSetTraps({});
    cpu.breakpoint = keptBreakpoint;
    runInputs.halted = true;

    int status = RUN_PASSED;
    auto fail = [&](const std::string& what) {
        err += runMessage(what);
        status = std::max(status, RUN_FAILED);
    };
    // A state or tape that could not be written is a file that failed, as one that does not load: the
    // same status whether it shows before the run or after it.
    auto lost = [&](const std::string& what) {
        err += runMessage(what);
        status = RUN_BAD_USAGE;
    };
    if (!options.saveState.empty()) {
        const std::int64_t past =
            outcome.stop == Stop::Cycles ? std::max<std::int64_t>(outcome.ran - limit, 0) : 0;
        if (!saveStateFile(options.saveState, message,
                           static_cast<std::uint8_t>(std::min<std::int64_t>(past, STATE_OVERRUN_MAX))))
            lost(message);
        else if (!message.empty())
            err += runMessage(message);
    }
    if (!options.record.empty()) {
        if (tape.tapeState != 0)
            tapeStop(message);
        else
            message = recordStop;
        if (message.starts_with("Warning"))
            err += runMessage(message);
        else if (!message.empty())
            lost(message);
    }
    if (tracing) {
        if (!traceLog.close(message))
            lost(message);
        else if (!message.empty())
            err += runMessage(message);
    }
    const bool until = options.untilPc || options.untilDisplay;
    const bool asked = until ? outcome.stop == Stop::Pc || outcome.stop == Stop::Display
                             : outcome.stop == Stop::Cycles || outcome.stop == Stop::Brk;
    if (!asked) {
        std::string wanted;
        if (options.untilPc) wanted = formatText("the PC reached $%04X", *options.untilPc);
        if (untilDisplay)
            wanted += (wanted.empty() ? "" : " or ") + ("the display showed \"" + *untilDisplay + "\"");
        fail("the run ended with " + describe(outcome) + (wanted.empty() ? "" : " before " + wanted));
    }
    if (!script.done())
        fail(formatText("keys of the script the program did not take: %zu", script.keysLeft()));
    report(options, outcome, out);
    if (!check(options, err)) status = std::max(status, RUN_FAILED);
    return status;
}

} // namespace orv
