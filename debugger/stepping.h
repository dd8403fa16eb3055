// Step over, step out and run to here: runs at full speed, in chunks, so the caller can keep its event
// loop turning and offer Stop between them. Step into is the plain single step of run control.
// Breakpoints and watchpoints stop a run, except at the instruction it starts from. Every run ends
// with the machine where it stopped; `halted` is never touched.
#pragma once

#include <cstdint>

namespace orv {

enum class StepKind : std::uint8_t {
    Over,  // a JSR runs until it returns to the next instruction; anything else is one step
    Out,   // until the current subroutine (or interrupt handler) returns
    RunTo, // until pc reaches the target
    Leave, // until pc leaves the target to `end`: a source line, however many instructions it made
};

enum class StepState : std::uint8_t {
    Running, // not there yet: call stepContinue again
    Done,    // the goal was reached
    Stopped, // a breakpoint, watchpoint or invalid opcode; stepStatus says which
    Limit,   // the safety limit ran out first
};

// 100 s of the machine's time, a fraction of a second here.
constexpr std::uint32_t STEP_LIMIT = 100'000'000;

// Begins a run from where the processor stands; a run under way is dropped.
void stepBegin(StepKind kind, std::uint16_t target = 0, std::uint32_t limit = STEP_LIMIT,
               std::uint32_t end = 0);
// Runs about `budget` more cycles (at least one instruction) of the run under way. Anything but
// Running ends it. Without a run, nothing runs and the result is Done.
StepState stepContinue(std::int32_t budget);
// Stop: ends the run where it stands.
void stepCancel();
bool stepActive();
// The slice status of the last chunk: SLICE_BREAK, SLICE_WATCH or SLICE_BADOP after Stopped.
std::uint8_t stepStatus();

} // namespace orv
