// What the interpreter checks and records for the debugger beyond the single `cpu.breakpoint`: armed
// execution breakpoints and watchpoints ("traps"), the goal of a step over, step out or run to here,
// and the history of executed instructions. The debugger keeps its own lists and hands the armed
// traps over whole. While none of this is in use the interpreter runs its plain loop, which knows
// nothing of it.
#pragma once

#include <array>
#include <deque>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orv {

// Kinds of access, also the bits of trapMap.
constexpr std::uint8_t TRAP_EXEC = 0x01;
constexpr std::uint8_t TRAP_READ = 0x02;
constexpr std::uint8_t TRAP_WRITE = 0x04;

enum class CondReg : std::uint8_t { None, A, X, Y, SP, P, PC };
enum class CondOp : std::uint8_t { Eq, Ne, Lt, Le, Gt, Ge };

// "X = $10": a trap fires only while it holds. CondReg::None always holds.
struct TrapCondition {
    CondReg reg = CondReg::None;
    CondOp op = CondOp::Eq;
    std::uint16_t value = 0;
};

// The registers a condition looks at: before the instruction for an execution breakpoint, after it
// (or after an interrupt's entry) for a watchpoint.
struct TrapRegs {
    std::uint16_t pc;
    std::uint8_t a, x, y, sp, p;
};

bool conditionHolds(const TrapCondition& condition, const TrapRegs& regs);

struct Trap {
    int id; // the debugger's number for it, reported back in trapHit
    std::uint16_t first, last;
    std::uint8_t kinds; // TRAP_EXEC, TRAP_READ, TRAP_WRITE
    TrapCondition condition;
};

// Arms exactly these traps; an empty list disarms all. Opcode and operand fetches are not reads: code
// is watched with execution breakpoints.
void cpuSetTraps(const std::vector<Trap>& traps);
const std::vector<Trap>& cpuTraps();

// Why the interpreter last stopped with SLICE_BREAK or SLICE_WATCH.
constexpr int TRAP_ID_SINGLE = 0; // the single `cpu.breakpoint`
struct TrapHit {
    std::uint8_t kind = 0;     // TRAP_EXEC, TRAP_READ or TRAP_WRITE
    std::uint16_t address = 0; // what was executed or accessed
    std::uint16_t at = 0;      // the instruction that did it (for an interrupt entry: where it came)
    int id = TRAP_ID_SINGLE;
};

// Where a step over, step out or run to here stops, checked after each instruction of a slice given
// SLICE_STEPPING.
constexpr std::uint8_t GOAL_NONE = 0;
constexpr std::uint8_t GOAL_REACH = 1;  // pc arrives at `pc` with the stack no deeper than `sp`
constexpr std::uint8_t GOAL_RETURN = 2; // an RTS or RTI leaves the stack above `sp`
constexpr std::uint8_t GOAL_LEAVE = 3;  // pc leaves `pc` to `end` (exclusive): a source line's bytes
struct RunGoal {
    std::uint8_t kind = GOAL_NONE;
    std::uint16_t pc = 0;
    std::uint32_t end = 0; // GOAL_LEAVE
    std::uint8_t sp = 0;
    bool anyDepth = false; // GOAL_REACH whatever the stack holds (run to here)
    // Set once the first instruction has run: until then breakpoints do not fire, so a run can start
    // on one.
    bool moved = false;
};

// One executed instruction, as it stood before it ran.
struct HistoryEntry {
    std::uint32_t cycles;
    std::uint16_t pc;
    std::array<std::uint8_t, 3> bytes; // the opcode and what follows it
    std::uint8_t a, x, y, sp, p;
};
constexpr std::size_t HISTORY_LENGTH = 10000;
// A ring of the last HISTORY_LENGTH instructions, filled only while `on`.
struct HistoryRecord {
    bool on = false;
    std::vector<HistoryEntry> ring; // HISTORY_LENGTH entries once switched on
    std::size_t next = 0;           // where the next entry goes
    std::size_t count = 0;          // entries held, at most HISTORY_LENGTH
};

// What reaches the board from outside between slices, noted for stepping back while it is on: keys
// going down and up, the display's fading pass, interrupt requests. Inputs of a slice's own (the key
// feed's, inside its reads) follow from the board and are not noted.
enum class BoardInput : std::uint8_t { KeyDown, KeyUp, Fade, Reset, Nmi, Irq };
struct InputNote {
    std::uint32_t cycles; // when it came, between two instructions
    BoardInput kind;
    std::int8_t key; // KeyDown
};
struct InputJournal {
    bool on = false;
    bool replaying = false;                // inputs come from the journal, and are not noted again
    std::deque<InputNote> notes;           // oldest first
    std::uint64_t firstNote = 0;           // the number of notes[0] among all ever noted
    std::deque<InputNote> ahead;           // after a step back: the inputs still to come, next first
    void (*beforeSlice)() = nullptr;       // the rewinder's look at each slice, snapshots and all
};

// All the hooks hold. A test starts afresh with `debugHooks = DebugHooksRecord{}`; cpuSetTraps({})
// also takes PAGE_WATCH off pageFlags, where power-on does not come between.
struct DebugHooksRecord {
    // For the interpreter: bits per address of the armed traps, and whether any of each sort is armed.
    // First in the record, so the checked loop indexes it at no offset.
    std::array<std::uint8_t, 65536> trapMap{};
    bool execTrapsArmed = false;
    bool watchTrapsArmed = false;
    std::vector<Trap> armedTraps;           // as cpuSetTraps got them
    std::vector<std::uint8_t> watchedPages; // pages any watchpoint covers
    TrapHit trapHit;                        // why the last SLICE_BREAK or SLICE_WATCH
    RunGoal runGoal;                        // of the step under way
    HistoryRecord history;
    InputJournal inputs;
};

extern DebugHooksRecord debugHooks;

// Puts PAGE_WATCH on the RAM and ROM pages a watchpoint covers; power-on rebuilds pageFlags, so every
// slice that checks watchpoints calls it first. Other pages take the interpreter's slow path anyway.
void markWatchedPages();
// Notes an input while the journal is on, unless it comes from inside a slice or from the journal.
void noteBoardInput(BoardInput kind, int key = 0);
// Gives the board an input again, as it came the first time.
void applyBoardInput(const InputNote& note);

// The first armed trap of this kind at this address whose condition holds, if any.
const Trap* trapFiring(std::uint8_t kind, std::uint16_t address, const TrapRegs& regs);

} // namespace orv
