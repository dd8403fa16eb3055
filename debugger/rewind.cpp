#include "debugger/rewind.h"

#include "base/run_inputs.h"
#include "debugger/history.h"
#include "debugger/trace_log.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/key_feed.h"
#include "machine/latch.h"
#include "machine/rio.h"
#include "tape/tape.h"

#include <array>
#include <deque>
#include <functional>
#include <optional>

namespace orv {

namespace {

// The board as a save state keeps it, with the key feed, taken at the start of a slice.
struct Record {
    std::uint64_t note = 0; // the number of inputs noted before it
    CpuState registers{};
    std::uint32_t cycles = 0;
    std::uint16_t lastOpcodeAddr = 0, breakpoint = 0;
    std::uint8_t pending = 0;
    BusRecord bus;
    RioRecord rio;
    KeypadRecord keypad;
    LatchRecord latch;
    KeyFeedRecord keyFeed;
};

std::deque<Record> records; // oldest first
std::uint32_t recordEvery = REWIND_EVERY;
InputJournal& journal = debugHooks.inputs;

std::uint64_t notesEnd() {
    return journal.firstNote + journal.notes.size();
}

Record capture() {
    Record r;
    r.note = notesEnd();
    r.registers = cpu;
    r.cycles = static_cast<std::uint32_t>(cpu.cycles);
    r.lastOpcodeAddr = cpu.lastOpcodeAddr;
    r.breakpoint = cpu.breakpoint;
    r.pending = cpu.pendingInterrupts;
    r.bus = bus;
    r.rio = rio;
    r.keypad = keypad;
    r.latch = latch;
    r.keyFeed = keyFeed;
    return r;
}

void restore(const Record& r) {
    cpu = r.registers;
    cpu.cycles = static_cast<std::int32_t>(r.cycles);
    cpu.lastOpcodeAddr = r.lastOpcodeAddr;
    cpu.breakpoint = r.breakpoint;
    cpu.pendingInterrupts = r.pending;
    // The watched pages are the debugger's as they are now, not as they were.
    for (std::size_t page = 0; page < bus.pageFlags.size(); ++page)
        bus.pageFlags[page] = static_cast<std::uint8_t>((r.bus.pageFlags[page] & ~PAGE_WATCH) |
                                                        (bus.pageFlags[page] & PAGE_WATCH));
    bus.memory = r.bus.memory;
    rio = r.rio;
    keypad = r.keypad;
    latch = r.latch;
    keyFeed = r.keyFeed;
}

bool sameBoard(const Record& a, const Record& b) {
    const auto sameChip = [](const RioChip& x, const RioChip& y) {
        return x.ddrA == y.ddrA && x.ddrB == y.ddrB && x.outA == y.outA && x.outB == y.outB && x.ram == y.ram;
    };
    const CpuState& p = a.registers;
    const CpuState& q = b.registers;
    for (std::size_t page = 0; page < a.bus.pageFlags.size(); ++page)
        if ((a.bus.pageFlags[page] ^ b.bus.pageFlags[page]) & ~PAGE_WATCH) return false;
    return p.pc == q.pc && p.a == q.a && p.x == q.x && p.y == q.y && p.sp == q.sp && p.n == q.n &&
           p.v == q.v && p.bit5 == q.bit5 && p.b == q.b && p.d == q.d && p.i == q.i && p.z == q.z &&
           p.c == q.c && a.cycles == b.cycles && a.lastOpcodeAddr == b.lastOpcodeAddr &&
           a.breakpoint == b.breakpoint && a.pending == b.pending && a.bus.memory == b.bus.memory &&
           sameChip(a.rio[0], b.rio[0]) && sameChip(a.rio[1], b.rio[1]) &&
           a.keypad.keyColumn == b.keypad.keyColumn && a.keypad.keyRows == b.keypad.keyRows &&
           a.latch.digitSegments == b.latch.digitSegments && a.latch.digitTick == b.latch.digitTick &&
           a.latch.lastDigit == b.latch.lastDigit && a.latch.displayTick == b.latch.displayTick &&
           a.keyFeed.keys == b.keyFeed.keys && a.keyFeed.phase == b.keyFeed.phase &&
           a.keyFeed.key == b.keyFeed.key && a.keyFeed.column == b.keyFeed.column &&
           a.keyFeed.scans == b.keyFeed.scans && a.keyFeed.since == b.keyFeed.since &&
           a.keyFeed.blocked == b.keyFeed.blocked;
}

void dropNotesBefore(std::uint64_t note) {
    while (journal.firstNote < note && !journal.notes.empty()) {
        journal.notes.pop_front();
        ++journal.firstNote;
    }
}

void beforeSlice() {
    if (!records.empty() && static_cast<std::uint32_t>(cpu.cycles) - records.back().cycles < recordEvery)
        return;
    records.push_back(capture());
    while (records.size() > REWIND_RECORDS) {
        records.pop_front();
        dropNotesBefore(records.front().note);
    }
}

// A replay runs the plain interpreter with the debugger's traps and history set aside, and notes nothing.
class Replay {
  public:
    explicit Replay(const Record& from) : start(from), next(from.note) {
        saved = {debugHooks.execTrapsArmed, debugHooks.watchTrapsArmed, debugHooks.history.on,
                 runInputs.halted};
        debugHooks.execTrapsArmed = debugHooks.watchTrapsArmed = debugHooks.history.on = false;
        runInputs.halted = true;
        journal.replaying = true;
        restore(from);
    }
    ~Replay() {
        debugHooks.execTrapsArmed = saved[0];
        debugHooks.watchTrapsArmed = saved[1];
        debugHooks.history.on = saved[2];
        runInputs.halted = saved[3];
        journal.replaying = false;
    }
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    // Cycles since the record, which wrap with the counter as everything else does.
    std::uint32_t since(std::uint32_t cycles) const { return cycles - start.cycles; }
    std::uint32_t now() const { return since(static_cast<std::uint32_t>(cpu.cycles)); }

    // Gives the inputs noted at the present cycle count, up to `limit`.
    void giveInputs(std::uint64_t limit) {
        while (next < limit && next < notesEnd() && since(noteAt(next).cycles) == now())
            applyBoardInput(noteAt(next++));
    }
    // Runs up to `goal` cycles since the record, giving the inputs on the way; false when the machine does
    // not come out there, which it does when it is the same machine.
    bool runTo(std::uint32_t goal, std::uint64_t limit) {
        for (;;) {
            giveInputs(limit);
            if (now() == goal) return true;
            std::uint32_t until = goal;
            if (next < limit && next < notesEnd() && since(noteAt(next).cycles) < goal)
                until = since(noteAt(next).cycles);
            if (until <= now()) return false;
            std::uint8_t status = 0;
            cpuExecute(static_cast<std::int32_t>(until - now() - 1), status);
            if (now() > until) return false;
        }
    }
    // An instruction at a time up to `goal`; `each` sees every instruction boundary (after its inputs) and
    // the instruction run from it.
    bool walkTo(std::uint32_t goal,
                const std::function<void(std::uint32_t, const HistoryEntry&, const TraceAccess&)>& each) {
        for (;;) {
            giveInputs(notesEnd());
            if (now() == goal) return true;
            if (now() > goal) return false;
            const HistoryEntry entry = entryNow();
            const TraceAccess access = traceAccessOf(entry);
            const std::uint32_t at = now();
            std::uint8_t status = 0;
            cpuExecute(0, status);
            each(at, entry, access);
        }
    }
    std::uint64_t nextNote() const { return next; }

  private:
    static const InputNote& noteAt(std::uint64_t index) {
        return journal.notes[static_cast<std::size_t>(index - journal.firstNote)];
    }
    const Record& start;
    std::uint64_t next;
    std::array<bool, 4> saved{};
};

// The latest record before the present cycle count, if any.
const Record* recordBefore(std::uint32_t cycles) {
    for (auto r = records.rbegin(); r != records.rend(); ++r)
        if (cycles - r->cycles != 0 && cycles - r->cycles < 0x80000000u) return &*r;
    return nullptr;
}

// Checks that the history leads to the board as it stands; if not, something changed the board by hand
// and the history starts again here.
bool historyHolds(const Record& from, const Record& present, std::string& message,
                  const std::function<void(std::uint32_t, const HistoryEntry&, const TraceAccess&)>& each) {
    bool held = false;
    {
        Replay replay(from);
        held = replay.walkTo(present.cycles - from.cycles, each) && sameBoard(capture(), present);
    }
    if (held) return true;
    restore(present);
    rewindRestart();
    message = "The board was changed by hand (an edit, a load or a paste) since that instruction: it cannot "
              "go back "
              "past the change. The history starts again here.";
    return false;
}

// Goes to `goal` cycles after `from`, after the inputs noted there; the inputs after it wait to come again
// when stepping forward, and the records after it go.
void moveTo(const Record& from, std::uint32_t goal) {
    std::uint64_t kept = 0;
    {
        Replay replay(from);
        replay.runTo(goal, notesEnd());
        kept = replay.nextNote();
    }
    while (notesEnd() > kept) {
        journal.ahead.push_front(journal.notes.back());
        journal.notes.pop_back();
    }
    const std::uint32_t at = static_cast<std::uint32_t>(cpu.cycles);
    while (!records.empty() && (records.back().cycles - from.cycles) > (at - from.cycles)) records.pop_back();
}

const char* refusal() {
    if (tape.tapeState != 0)
        return "Stepping back is not possible while a tape records or plays: the tape cannot go back with "
               "the "
               "board.";
    if (!journal.on) return "Stepping back works while the debugger window is open.";
    return nullptr;
}

} // namespace

void rewindSwitch(bool on, std::uint32_t every) {
    recordEvery = every;
    records.clear();
    journal.notes.clear();
    journal.ahead.clear();
    journal.firstNote = 0;
    journal.on = on;
    journal.beforeSlice = on ? beforeSlice : nullptr;
    if (on) records.push_back(capture());
}

bool rewindOn() {
    return journal.on;
}

void rewindRestart() {
    if (journal.on) rewindSwitch(true, recordEvery);
}

RewindResult rewindStepBack(std::string& message) {
    message.clear();
    if (const char* why = refusal()) {
        message = why;
        return RewindResult::Refused;
    }
    const Record present = capture();
    const Record* from = recordBefore(present.cycles);
    if (!from) return RewindResult::AtStart;
    std::uint32_t previous = 0; // the last instruction boundary before the present
    if (!historyHolds(*from, present, message,
                      [&](std::uint32_t at, const HistoryEntry&, const TraceAccess&) { previous = at; }))
        return RewindResult::Refused;
    moveTo(*from, previous);
    return RewindResult::Moved;
}

RewindResult rewindRunBack(std::string& message, TrapHit& hit) {
    message.clear();
    hit = {};
    if (const char* why = refusal()) {
        message = why;
        return RewindResult::Refused;
    }
    const Record present = capture();
    if (records.empty() || records.front().cycles == present.cycles) return RewindResult::AtStart;
    const Record& from = records.front();
    const std::uint32_t end = present.cycles - from.cycles;
    std::optional<std::uint32_t> last;
    const bool single = runInputs.debug != 0;
    const std::uint16_t singleAt = cpu.breakpoint;
    if (!historyHolds(from, present, message,
                      [&](std::uint32_t at, const HistoryEntry& before, const TraceAccess& access) {
                          // A breakpoint stops before its instruction, a watchpoint after the one that made
                          // the access.
                          const TrapRegs regs{before.pc, before.a, before.x, before.y, before.sp, before.p};
                          const Trap* exec = trapFiring(TRAP_EXEC, before.pc, regs);
                          if ((single && before.pc == singleAt) || exec) {
                              last = at;
                              hit = {TRAP_EXEC, before.pc, before.pc, exec ? exec->id : TRAP_ID_SINGLE};
                          }
                          const TrapRegs after{cpu.pc, cpu.a, cpu.x, cpu.y, cpu.sp, cpuStatusByte()};
                          const std::uint32_t next = static_cast<std::uint32_t>(cpu.cycles) - from.cycles;
                          for (const std::uint8_t kind : {TRAP_READ, TRAP_WRITE}) {
                              const bool made = kind == TRAP_READ ? access.kind == TraceAccess::Read ||
                                                                        access.kind == TraceAccess::Modify
                                                                  : access.kind == TraceAccess::Write ||
                                                                        access.kind == TraceAccess::Modify;
                              if (!made || next >= end) continue;
                              if (const Trap* watch = trapFiring(kind, access.address, after)) {
                                  last = next;
                                  hit = {kind, access.address, before.pc, watch->id};
                              }
                          }
                      }))
        return RewindResult::Refused;
    moveTo(from, last.value_or(0));
    return last ? RewindResult::Moved : RewindResult::AtStart;
}

} // namespace orv
