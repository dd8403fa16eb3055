#include "debugger/breakpoints.h"

#include "base/address.h"
#include "base/run_inputs.h"
#include "base/text_format.h"
#include "machine/cpu.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace orv {

namespace {

std::vector<BreakPoint> points; // without debugP, which lives in the processor and the settings
int lastId = TRAP_ID_SINGLE;

struct RegName {
    std::string_view name;
    CondReg reg;
};
constexpr std::array<RegName, 6> regNames = {{
    {"A", CondReg::A},
    {"X", CondReg::X},
    {"Y", CondReg::Y},
    {"SP", CondReg::SP},
    {"P", CondReg::P},
    {"PC", CondReg::PC},
}};

struct OpName {
    std::string_view text;
    CondOp op;
};
// Longest first, so "<=" is not read as "<".
constexpr std::array<OpName, 8> opNames = {{
    {"==", CondOp::Eq},
    {"!=", CondOp::Ne},
    {"<>", CondOp::Ne},
    {"<=", CondOp::Le},
    {">=", CondOp::Ge},
    {"=", CondOp::Eq},
    {"<", CondOp::Lt},
    {">", CondOp::Gt},
}};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

BreakPoint* find(int id) {
    const auto it =
        std::find_if(points.begin(), points.end(), [id](const BreakPoint& p) { return p.id == id; });
    return it == points.end() ? nullptr : &*it;
}

std::uint8_t trapKinds(PointKind kind) {
    switch (kind) {
    case PointKind::Exec: return TRAP_EXEC;
    case PointKind::Read: return TRAP_READ;
    case PointKind::Write: return TRAP_WRITE;
    case PointKind::Access: return TRAP_READ | TRAP_WRITE;
    case PointKind::Single: break;
    }
    return 0;
}

void arm() {
    std::vector<Trap> traps;
    for (const BreakPoint& point : points) {
        if (point.enabled)
            traps.push_back({point.id, point.first, point.last, trapKinds(point.kind), point.condition});
    }
    cpuSetTraps(traps);
}

} // namespace

std::vector<BreakPoint> breakpointList() {
    std::vector<BreakPoint> list{
        {TRAP_ID_SINGLE, PointKind::Single, cpu.breakpoint, cpu.breakpoint, runInputs.debug != 0, {}}};
    list.insert(list.end(), points.begin(), points.end());
    return list;
}

int breakpointAdd(PointKind kind, std::uint16_t first, std::uint16_t last, std::string_view condition,
                  std::string& message) {
    message.clear();
    if (kind == PointKind::Single) {
        message = "Error: the single breakpoint is set from the keypad";
        return 0;
    }
    if (last < first) {
        message = formatText("Error: the range $%04X-$%04X ends before it starts", first, last);
        return 0;
    }
    TrapCondition parsed;
    if (!parseCondition(condition, parsed, message)) return 0;
    points.push_back({++lastId, kind, first, last, true, parsed});
    arm();
    return lastId;
}

bool breakpointRemove(int id) {
    const BreakPoint* point = find(id);
    if (!point) return false;
    points.erase(points.begin() + (point - points.data()));
    arm();
    return true;
}

bool breakpointEnable(int id, bool enabled) {
    BreakPoint* point = find(id);
    if (!point) return false;
    point->enabled = enabled;
    arm();
    return true;
}

void breakpointRemoveAll() {
    points.clear();
    arm();
}

void breakpointsArm(bool armed) {
    if (armed)
        arm();
    else
        cpuSetTraps({});
}

bool parseCondition(std::string_view text, TrapCondition& condition, std::string& message) {
    message.clear();
    condition = {};
    const std::string_view whole = trimmed(text);
    if (whole.empty()) return true;
    const std::string quoted(whole);

    std::size_t length = 0;
    while (length < whole.size() && std::isalpha(static_cast<unsigned char>(whole[length]))) ++length;
    std::string name(whole.substr(0, length));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    const auto reg =
        std::find_if(regNames.begin(), regNames.end(), [&name](const RegName& r) { return r.name == name; });
    if (reg == regNames.end()) {
        message = formatText("Error: condition '%s' does not start with a register: A, X, Y, SP, P or PC",
                             quoted.c_str());
        return false;
    }

    std::string_view rest = trimmed(whole.substr(length));
    const auto op = std::find_if(opNames.begin(), opNames.end(),
                                 [rest](const OpName& o) { return rest.starts_with(o.text); });
    if (op == opNames.end()) {
        message = formatText("Error: condition '%s' needs =, !=, <, <=, > or >= after %s", quoted.c_str(),
                             name.c_str());
        return false;
    }
    rest = trimmed(rest.substr(op->text.size()));

    const auto number = numberValue(rest, CONDITION_NUMBER);
    if (!number) {
        message = formatText("Error: condition '%s': '%s' is not a number ($hex, %%binary or decimal)",
                             quoted.c_str(), std::string(rest).c_str());
        return false;
    }
    const unsigned value = *number;
    const unsigned largest = reg->reg == CondReg::PC ? 0xFFFF : 0xFF;
    if (value > largest) {
        message = formatText("Error: condition '%s': %s holds at most $%0*X", quoted.c_str(), name.c_str(),
                             largest > 0xFF ? 4 : 2, largest);
        return false;
    }
    condition = {reg->reg, op->op, static_cast<std::uint16_t>(value)};
    return true;
}

std::string conditionText(const TrapCondition& condition) {
    if (condition.reg == CondReg::None) return {};
    const auto reg = std::find_if(regNames.begin(), regNames.end(),
                                  [&condition](const RegName& r) { return r.reg == condition.reg; });
    const char* op = "=";
    switch (condition.op) {
    case CondOp::Eq: break;
    case CondOp::Ne: op = "!="; break;
    case CondOp::Lt: op = "<"; break;
    case CondOp::Le: op = "<="; break;
    case CondOp::Gt: op = ">"; break;
    case CondOp::Ge: op = ">="; break;
    }
    return formatText("%s %s $%0*X", std::string(reg->name).c_str(), op, condition.reg == CondReg::PC ? 4 : 2,
                      condition.value);
}

std::string breakpointText(const BreakPoint& point) {
    const char* kind = "Breakpoint";
    switch (point.kind) {
    case PointKind::Single:
        return formatText("Breakpoint $%04X (debugP: while the debug panel is shown)", point.first);
    case PointKind::Exec: break;
    case PointKind::Read: kind = "Read"; break;
    case PointKind::Write: kind = "Write"; break;
    case PointKind::Access: kind = "Read/write"; break;
    }
    std::string text = formatText("%s $%04X", kind, point.first);
    if (point.last != point.first) text += formatText("-$%04X", point.last);
    if (point.condition.reg != CondReg::None) text += " if " + conditionText(point.condition);
    return text;
}

std::string breakpointSaveText(const BreakPoint& point) {
    std::string_view kind;
    for (const PointKindName& k : POINT_KIND_NAMES)
        if (k.kind == point.kind) kind = k.name;
    std::string text = formatText("%.*s %04X %04X %d", static_cast<int>(kind.size()), kind.data(),
                                  point.first, point.last, point.enabled ? 1 : 0);
    if (point.condition.reg != CondReg::None) text.append(" ").append(conditionText(point.condition));
    return text;
}

int breakpointRestore(std::string_view text, std::string& message) {
    const std::vector<std::string_view> words = splitWords(text, [](char c) { return c == ' '; });
    const PointKindName* kind = nullptr;
    if (!words.empty())
        for (const PointKindName& k : POINT_KIND_NAMES)
            if (k.name == words[0]) kind = &k;
    const auto first = words.size() > 1 ? addressValue(words[1], FOUR_DIGITS) : std::nullopt;
    const auto last = words.size() > 2 ? addressValue(words[2], FOUR_DIGITS) : std::nullopt;
    if (!kind || !first || !last || words.size() < 4 || (words[3] != "0" && words[3] != "1")) {
        message = formatText("Error: a kept breakpoint does not read: '%.*s'", static_cast<int>(text.size()),
                             text.data());
        return 0;
    }
    // The condition is the rest of the text, blanks and all.
    const std::size_t conditionAt = static_cast<std::size_t>(words[3].data() + words[3].size() - text.data());
    const int id = breakpointAdd(kind->kind, *first, *last, text.substr(conditionAt), message);
    if (id != 0 && words[3] == "0") breakpointEnable(id, false);
    return id;
}

std::string stopReason(const TrapHit& hit) {
    switch (hit.kind) {
    case TRAP_READ: return formatText("Read from $%04X at $%04X", hit.address, hit.at);
    case TRAP_WRITE: return formatText("Write to $%04X at $%04X", hit.address, hit.at);
    default: return formatText("Breakpoint at $%04X", hit.address);
    }
}

} // namespace orv
