// The web edition's debugger view over the core's debugger: registers, the disassembly with the
// monitor's labels and the user's, breakpoints, stepping and memory.
#pragma once

#include <cstdint>

extern "C" {

// Registers by number: 0 PC, 1 A, 2 X, 3 Y, 4 SP, 5 P (the status byte).
int orvRegister(int which);
void orvSetRegister(int which, int value);

// The instruction at `address` as the debugger shows it, labels by name: "LENGTH TEXT".
const char* orvDisassemble(int address);
// The names at an address, joined by ", "; empty for none.
const char* orvLabelsAt(int address);
// Loads a label file (ld65 -Ln or VICE) from the page's file system beside the monitor's labels,
// replacing an earlier load of the same name. Returns the symbols loaded; orvMessage says what did
// not parse.
int orvLoadLabels(const char* path);

// Breakpoints at an address: added or removed; orvBreakpointAt says whether one is there.
void orvToggleBreakpoint(int address);
int orvBreakpointAt(int address);
// The breakpoints armed while the debugger view is shown, as the desktop's window arms them.
void orvArmBreakpoints(int armed);
// Why the last run stopped at a breakpoint: "Breakpoint at $0215".
const char* orvStopReason();

// Step over (0), out (1) or run to `target` (2), run at full speed a chunk at a time: orvStepBegin,
// then orvStepContinue(budget) until it returns anything but 0 (1 done, 2 stopped, 3 limit).
void orvStepBegin(int kind, int target);
int orvStepContinue(int budget);

// Memory as the processor sees it, without touching a device; and a byte written as the debugger
// writes it.
int orvPeek(int address);
void orvPoke(int address, int value);
}
