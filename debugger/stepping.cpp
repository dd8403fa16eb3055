#include "debugger/stepping.h"

#include "base/run_inputs.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/debug_hooks.h"

#include <algorithm>

namespace orv {

namespace {

constexpr std::uint8_t OP_JSR = 0x20;

struct StepRun {
    bool active = false;
    bool single = false; // step over something that is not a JSR
    std::uint32_t limit = 0;
    std::uint32_t spent = 0;
    std::uint8_t status = 0;
};
StepRun run;

void endRun() {
    run.active = false;
    debugHooks.runGoal = {};
}

} // namespace

void stepBegin(StepKind kind, std::uint16_t target, std::uint32_t limit, std::uint32_t end) {
    run = {};
    run.active = true;
    run.limit = limit;
    RunGoal goal;
    switch (kind) {
    case StepKind::Over:
        if (peekByte(cpu.pc) == OP_JSR) {
            // Back at the next instruction with the stack as it is now: a recursive call returning there
            // deeper down, or an interrupt passing by, does not end it.
            goal.kind = GOAL_REACH;
            goal.pc = static_cast<std::uint16_t>(cpu.pc + 3);
            goal.sp = cpu.sp;
        } else {
            run.single = true;
        }
        break;
    case StepKind::Out:
        goal.kind = GOAL_RETURN;
        goal.sp = cpu.sp;
        break;
    case StepKind::RunTo:
        goal.kind = GOAL_REACH;
        goal.pc = target;
        goal.anyDepth = true;
        break;
    case StepKind::Leave:
        goal.kind = GOAL_LEAVE;
        goal.pc = target;
        goal.end = end;
        break;
    }
    debugHooks.runGoal = goal;
}

StepState stepContinue(std::int32_t budget) {
    if (!run.active) return StepState::Done;
    const std::uint32_t left = run.limit - run.spent;
    const std::int32_t chunk =
        run.single ? 1 : static_cast<std::int32_t>(std::min<std::uint32_t>(std::max(budget, 1), left));
    std::uint8_t status = SLICE_STEPPING | (runInputs.debug ? SLICE_ARMED : 0);
    const auto before = static_cast<std::uint32_t>(cpu.cycles);
    cpuExecute(chunk, status);
    run.spent += static_cast<std::uint32_t>(cpu.cycles) - before;
    run.status = status;

    StepState state = StepState::Running;
    if (status & (SLICE_BREAK | SLICE_WATCH | SLICE_BADOP))
        state = StepState::Stopped;
    else if (run.single || (status & SLICE_GOAL))
        state = StepState::Done;
    else if (run.spent >= run.limit)
        state = StepState::Limit;
    if (state != StepState::Running) endRun();
    return state;
}

void stepCancel() {
    endRun();
}

bool stepActive() {
    return run.active;
}

std::uint8_t stepStatus() {
    return run.status;
}

} // namespace orv
