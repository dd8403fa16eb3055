#include "machine/debug_hooks.h"

#include "machine/bus.h"

#include <algorithm>

namespace orv {

TrapHit trapHit;
RunGoal runGoal;
HistoryRecord history;
std::array<std::uint8_t, 65536> trapMap{};
bool execTrapsArmed = false;
bool watchTrapsArmed = false;

namespace {

std::vector<Trap> armed;
std::vector<std::uint8_t> watchedPages;

} // namespace

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
    armed = traps;
    trapMap.fill(0);
    for (std::uint8_t& flags : pageFlags) flags &= static_cast<std::uint8_t>(~PAGE_WATCH);
    watchedPages.clear();
    execTrapsArmed = watchTrapsArmed = false;
    for (const Trap& trap : armed) {
        for (unsigned address = trap.first; address <= trap.last; ++address) trapMap[address] |= trap.kinds;
        execTrapsArmed |= (trap.kinds & TRAP_EXEC) != 0;
        if (!(trap.kinds & (TRAP_READ | TRAP_WRITE))) continue;
        watchTrapsArmed = true;
        for (unsigned page = trap.first >> 8; page <= (trap.last >> 8); ++page) {
            if (std::find(watchedPages.begin(), watchedPages.end(), page) == watchedPages.end())
                watchedPages.push_back(static_cast<std::uint8_t>(page));
        }
    }
    markWatchedPages();
}

const std::vector<Trap>& cpuTraps() {
    return armed;
}

void markWatchedPages() {
    for (std::uint8_t page : watchedPages) {
        if (pageFlags[page] & (PAGE_RAM | PAGE_ROM)) pageFlags[page] |= PAGE_WATCH;
    }
}

const Trap* trapFiring(std::uint8_t kind, std::uint16_t address, const TrapRegs& regs) {
    for (const Trap& trap : armed) {
        if ((trap.kinds & kind) && address >= trap.first && address <= trap.last &&
            conditionHolds(trap.condition, regs))
            return &trap;
    }
    return nullptr;
}

} // namespace orv
