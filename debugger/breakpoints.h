// The debugger's breakpoints and watchpoints as the user keeps them: any number of execution
// breakpoints and of read, write or read/write watchpoints on a byte or a range, each with an optional
// condition on a register, enabled, disabled or deleted by number. The enabled ones are armed in the
// interpreter (machine/debug_hooks.h) at every change. The single breakpoint `cpu.breakpoint` (debugP)
// heads the list as what it is: armed only while the debug panel is shown, set only by the keypad.
#pragma once

#include "machine/debug_hooks.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

enum class PointKind : std::uint8_t { Single, Exec, Read, Write, Access };

struct BreakPoint {
    int id; // TRAP_ID_SINGLE for debugP, 1 and up for the others, never reused
    PointKind kind;
    std::uint16_t first, last;
    bool enabled; // debugP: armed, that is the debug panel is shown
    TrapCondition condition;
};

// The kinds the user adds, by name: the Breakpoints pane's choice and the kept points' first word.
struct PointKindName {
    PointKind kind;
    std::string_view name;
};
inline constexpr PointKindName POINT_KIND_NAMES[] = {{PointKind::Exec, "Execute"},
                                                     {PointKind::Read, "Read"},
                                                     {PointKind::Write, "Write"},
                                                     {PointKind::Access, "Access"}};

// debugP first, then the others in the order they were added.
std::vector<BreakPoint> breakpointList();
// Adds an enabled point; condition may be empty. Returns its id, or 0 with a message when the
// condition does not parse or the range is backwards.
int breakpointAdd(PointKind kind, std::uint16_t first, std::uint16_t last, std::string_view condition,
                  std::string& message);
// False for an unknown id and for debugP, which keeps its own rules.
bool breakpointRemove(int id);
bool breakpointEnable(int id, bool enabled);
void breakpointRemoveAll();
// Hands the enabled points to the interpreter again, or takes them all away (the list stays): the
// debugger arms them while its window is open.
void breakpointsArm(bool armed);

// A point as the settings file keeps it between runs: "Write 0300 03FF 1 X = $10" (kind, first and
// last address, enabled, condition). Not for debugP, which the settings keep as the keypad's.
std::string breakpointSaveText(const BreakPoint& point);
// Adds the point such a text names, enabled or not as it was. Its id, or 0 with a message when the
// text does not parse.
int breakpointRestore(std::string_view text, std::string& message);

// "X = $10", "A != 0", "SP < $F0": A, X, Y, SP, P or PC; =, ==, !=, <, <=, >, >=; a value as $hex,
// 0xhex, %binary or decimal. Blank text is no condition. False with an "Error: ..." message otherwise.
bool parseCondition(std::string_view text, TrapCondition& condition, std::string& message);
// The condition in the form parseCondition reads, "X = $10"; empty for none.
std::string conditionText(const TrapCondition& condition);
// One line of the list: "Write $0300-$03FF if X = $10", "Breakpoint $0215 (debugP: while the debug
// panel is shown)".
std::string breakpointText(const BreakPoint& point);
// Why the machine stopped: "Write to $0300 at $0215", "Read from $00F9 at $FE12", "Breakpoint at
// $0215".
std::string stopReason(const TrapHit& hit);

} // namespace orv
