#include "machine/debug_hooks.h"

#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/latch.h"
#include "machine/rio.h"

#include <algorithm>

namespace orv {

DebugHooksRecord debugHooks;

void noteBoardInput(BoardInput kind, int key) {
    InputJournal& journal = debugHooks.inputs;
    if (!journal.on || journal.replaying || cpu.busy.load(std::memory_order_relaxed)) return;
    journal.notes.push_back({static_cast<std::uint32_t>(cpu.cycles), kind, static_cast<std::int8_t>(key)});
}

void applyBoardInput(const InputNote& note) {
    switch (note.kind) {
    case BoardInput::KeyDown: keyDown(note.key); break;
    case BoardInput::KeyUp: keyUp(); break;
    case BoardInput::Fade: fadeDigits(); break;
    case BoardInput::Reset: cpuRequestReset(); break;
    case BoardInput::Nmi: cpuRequestNmi(); break;
    case BoardInput::Irq: cpuRequestIrq(); break;
    }
}

bool conditionHolds(const TrapCondition& condition, const TrapRegs& regs) {
    unsigned value = 0;
    switch (condition.reg) {
    case CondReg::None: return true;
    case CondReg::A: value = regs.a; break;
    case CondReg::X: value = regs.x; break;
    case CondReg::Y: value = regs.y; break;
    case CondReg::SP: value = regs.sp; break;
    case CondReg::P: value = regs.p; break;
    case CondReg::PC: value = regs.pc; break;
    }
    switch (condition.op) {
    case CondOp::Eq: return value == condition.value;
    case CondOp::Ne: return value != condition.value;
    case CondOp::Lt: return value < condition.value;
    case CondOp::Le: return value <= condition.value;
    case CondOp::Gt: return value > condition.value;
    case CondOp::Ge: return value >= condition.value;
    }
    return false;
}

void cpuSetTraps(const std::vector<Trap>& traps) {
    debugHooks.armedTraps = traps;
    debugHooks.trapMap.fill(0);
    for (std::uint8_t& flags : bus.pageFlags) flags &= static_cast<std::uint8_t>(~PAGE_WATCH);
    debugHooks.watchedPages.clear();
    debugHooks.execTrapsArmed = debugHooks.watchTrapsArmed = false;
    for (const Trap& trap : debugHooks.armedTraps) {
        for (unsigned address = trap.first; address <= trap.last; ++address)
            debugHooks.trapMap[address] |= trap.kinds;
        debugHooks.execTrapsArmed |= (trap.kinds & TRAP_EXEC) != 0;
        if (!(trap.kinds & (TRAP_READ | TRAP_WRITE))) continue;
        debugHooks.watchTrapsArmed = true;
        for (unsigned page = trap.first >> 8; page <= (trap.last >> 8); ++page) {
            if (std::find(debugHooks.watchedPages.begin(), debugHooks.watchedPages.end(), page) ==
                debugHooks.watchedPages.end())
                debugHooks.watchedPages.push_back(static_cast<std::uint8_t>(page));
        }
    }
    markWatchedPages();
}

const std::vector<Trap>& cpuTraps() {
    return debugHooks.armedTraps;
}

void markWatchedPages() {
    for (std::uint8_t page : debugHooks.watchedPages) {
        if (bus.pageFlags[page] & (PAGE_RAM | PAGE_ROM)) bus.pageFlags[page] |= PAGE_WATCH;
    }
}

const Trap* trapFiring(std::uint8_t kind, std::uint16_t address, const TrapRegs& regs) {
    for (const Trap& trap : debugHooks.armedTraps) {
        if ((trap.kinds & kind) && address >= trap.first && address <= trap.last &&
            conditionHolds(trap.condition, regs))
            return &trap;
    }
    return nullptr;
}

} // namespace orv
