#include "web/debugger_api.h"

#include "web/api.h"

#include "debugger/breakpoints.h"
#include "debugger/disasm.h"
#include "debugger/stepping.h"
#include "debugger/symbols.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/debug_hooks.h"

#include <emscripten/emscripten.h>

#include <string>
#include <string_view>

namespace orv {
// Built from the monitor's label file (web/embed_labels.cmake).
std::string_view monitorLabelsText();
} // namespace orv

namespace {

using namespace orv;

constexpr const char* MONITOR_LABELS = "monitor.lbl";

std::string returned;

const char* give(std::string text) {
    returned = std::move(text);
    return returned.c_str();
}

// The monitor's labels first, then the user's files.
SymbolTable& symbols() {
    static SymbolTable table = [] {
        SymbolTable loaded;
        std::string ignored;
        symbolsLoadText(loaded, MONITOR_LABELS, monitorLabelsText(), ignored);
        return loaded;
    }();
    return table;
}

// The execution breakpoint at an address, if any: its id, else 0.
int breakpointIdAt(std::uint16_t address) {
    for (const BreakPoint& point : breakpointList())
        if (point.kind == PointKind::Exec && point.first == address && point.last == address) return point.id;
    return 0;
}

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int orvRegister(int which) {
    switch (which) {
    case 0: return cpu.pc;
    case 1: return cpu.a;
    case 2: return cpu.x;
    case 3: return cpu.y;
    case 4: return cpu.sp;
    default: return cpuStatusByte();
    }
}

EMSCRIPTEN_KEEPALIVE void orvSetRegister(int which, int value) {
    const auto byte = static_cast<std::uint8_t>(value);
    switch (which) {
    case 0: cpuSetPc(static_cast<std::uint16_t>(value)); break;
    case 1: cpu.a = byte; break;
    case 2: cpu.x = byte; break;
    case 3: cpu.y = byte; break;
    case 4: cpu.sp = byte; break;
    default: cpuSetStatusByte(byte); break;
    }
}

EMSCRIPTEN_KEEPALIVE const char* orvDisassemble(int address) {
    const DisasmLine line = disassemble(peekByte, static_cast<std::uint16_t>(address), &symbols());
    return give(std::to_string(line.length) + " " + line.text);
}

EMSCRIPTEN_KEEPALIVE const char* orvLabelsAt(int address) {
    std::string names;
    for (const Symbol& symbol : symbolsAt(symbols(), static_cast<std::uint16_t>(address)))
        names += (names.empty() ? "" : ", ") + symbol.name;
    return give(names);
}

EMSCRIPTEN_KEEPALIVE int orvLoadLabels(const char* path) {
    std::string message;
    const int count = symbolsLoadFile(symbols(), path, message);
    setWebMessage(message);
    return count;
}

EMSCRIPTEN_KEEPALIVE void orvToggleBreakpoint(int address) {
    const auto at = static_cast<std::uint16_t>(address);
    if (const int id = breakpointIdAt(at)) {
        breakpointRemove(id);
        return;
    }
    std::string ignored;
    breakpointAdd(PointKind::Exec, at, at, "", ignored);
}

EMSCRIPTEN_KEEPALIVE int orvBreakpointAt(int address) {
    return breakpointIdAt(static_cast<std::uint16_t>(address)) != 0 ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void orvArmBreakpoints(int armed) {
    breakpointsArm(armed != 0);
}

EMSCRIPTEN_KEEPALIVE const char* orvStopReason() {
    return give(stopReason(debugHooks.trapHit));
}

EMSCRIPTEN_KEEPALIVE void orvStepBegin(int kind, int target) {
    stepBegin(kind == 0   ? StepKind::Over
              : kind == 1 ? StepKind::Out
                          : StepKind::RunTo,
              static_cast<std::uint16_t>(target));
}

EMSCRIPTEN_KEEPALIVE int orvStepContinue(int budget) {
    return static_cast<int>(stepContinue(budget));
}

EMSCRIPTEN_KEEPALIVE int orvPeek(int address) {
    return peekByte(static_cast<std::uint16_t>(address));
}

EMSCRIPTEN_KEEPALIVE void orvPoke(int address, int value) {
    busWrite(static_cast<std::uint16_t>(address), static_cast<std::uint8_t>(value), 0);
}
}
