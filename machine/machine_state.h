// The state of the emulated board, record by record: what a save state keeps (machine/save_state.h)
// and what a test resets to start from a known board. Each record is defined and owned by its module;
// this header only gathers them. A test resets one by assigning it afresh (`latch = LatchRecord{}`);
// power-on and rioReset give the board a new start as the real one would have it.
//
// The board:
//   cpu                    the processor's registers and stored flags                machine/cpu.h
//   cpu.cycles             machine cycles since power-on, the tape's only clock      machine/cpu.h
//   cpu.pendingInterrupts  reset, NMI and IRQ requests not yet served                machine/cpu.h
//   cpu.lastOpcodeAddr     where the last opcode was fetched (the debug panel's F:)  machine/cpu.h
//   cpu.breakpoint         the keypad debugger's single breakpoint                   machine/cpu.h
//   bus.memory             64 KiB, of which only the RAM and ROM pages are used      machine/bus.h
//   bus.pageFlags          the memory map, one page kind per page; PAGE_WATCH bits   machine/bus.h
//                          are the debugger's, not the board's
//   rio                    both RIO chips: ports, data directions and RAM            machine/rio.h
//   keypad                 the key held on the matrix                                machine/rio.h
//   latch                  the LED digits as last latched, and how old each is       machine/latch.h
//   runInputs.halted       kept by a save state too; a load leaves it to run control base/run_inputs.h
//
// Beside the board, each with its own lifetime, and no part of a save state:
//   cpu.busy               set while the processor runs a slice, for the pacer       machine/cpu.h
//   cpu.portableLoop       the plain loop in its form without computed goto, for tests machine/cpu.h
//   directCode             where the plain loop starts an instruction untested, with  machine/cpu.cpp
//                          the armed breakpoint's address taken out; kept by the loop
//   runState               how the program paces the machine                         control/run_state.h
//   tape                   the cassette recorder and its open files                  tape/tape.h
//   debugHooks             the debugger's traps, stepping goal and history           machine/debug_hooks.h
//   rio.rioWarningsLeft    the one "Invalid RIO address" warning of a run            machine/rio.h
//   keyFeed                keys being typed on the keypad at the program's pace       machine/key_feed.h
//   the random source of power-on, seeded once per run                               machine/power.cpp
//   the other run inputs: turbo, debug, mute and diag, which the core only reads     base/run_inputs.h
//   switches               the switches menu and keys                                settings/flags.h
#pragma once

#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/latch.h"
#include "machine/rio.h"
