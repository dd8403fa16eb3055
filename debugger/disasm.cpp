#include "debugger/disasm.h"

#include "base/text_format.h"
#include "machine/opcodes.h"

#include <algorithm>
#include <set>
#include <vector>

namespace orv {

namespace {

std::string hex(unsigned value, int digits) {
    return formatText("$%0*X", digits, value);
}

// ca65 reads these as registers, not as symbols.
bool registerName(const std::string& name) {
    return name.size() == 1 && std::string_view("AXYaxy").find(name[0]) != std::string_view::npos;
}

// How operands get their names. A listing uses only names it can define itself: globals, the first
// definition of each name, nothing ca65 reads as a register. It records the names it used.
struct Naming {
    const SymbolTable* symbols = nullptr;
    bool listing = false;
    int first = 0, end = 0; // the listing's range, end exclusive
    std::set<std::string>* used = nullptr;

    bool inRange(std::uint16_t address) const { return address >= first && address < end; }

    // A scoped name ("helper::again") needs its .proc, which a listing does not make.
    bool listable(const Symbol& symbol) const {
        return !symbol.local && !registerName(symbol.name) && symbol.name.find("::") == std::string::npos &&
               symbolAddress(*symbols, symbol.name) == symbol.address;
    }

    const std::string* nameFor(std::uint16_t address) const {
        if (!symbols) return nullptr;
        if (!listing) return symbolName(*symbols, address);
        for (const Symbol& symbol : symbolsAt(*symbols, address)) {
            if (!listable(symbol)) continue;
            used->insert(symbol.name);
            return &symbol.name;
        }
        return nullptr;
    }

    std::string zeroPage(std::uint8_t value) const {
        const std::string* name = nameFor(value);
        if (!name) return hex(value, 2);
        // A label of the listing itself may come after its use, and ca65 takes a symbol it has not met
        // yet as absolute.
        return listing && inRange(value) ? std::string("z:").append(*name) : *name;
    }

    std::string absolute(std::uint16_t value) const {
        const std::string* name = nameFor(value);
        const std::string text = name ? *name : hex(value, 4);
        return value < 0x100 ? std::string("a:").append(text) : text;
    }

    std::string address(std::uint16_t value) const {
        const std::string* name = nameFor(value);
        return name ? *name : hex(value, 4);
    }
};

std::string operandText(AddrMode mode, std::uint16_t at, const std::array<std::uint8_t, 3>& bytes,
                        const Naming& naming) {
    const std::uint8_t low = bytes[1];
    const auto word = static_cast<std::uint16_t>(bytes[1] | bytes[2] << 8);
    const auto around = [](const char* before, std::string value, const char* after) {
        return value.insert(0, before).append(after);
    };
    switch (mode) {
    case AddrMode::Implied: return {};
    case AddrMode::Accumulator: return "A";
    case AddrMode::Immediate: return around("#", hex(low, 2), "");
    case AddrMode::ZeroPage: return naming.zeroPage(low);
    case AddrMode::ZeroPageX: return around("", naming.zeroPage(low), ",X");
    case AddrMode::ZeroPageY: return around("", naming.zeroPage(low), ",Y");
    case AddrMode::Absolute: return naming.absolute(word);
    case AddrMode::AbsoluteX: return around("", naming.absolute(word), ",X");
    case AddrMode::AbsoluteY: return around("", naming.absolute(word), ",Y");
    case AddrMode::IndirectX: return around("(", naming.zeroPage(low), ",X)");
    case AddrMode::IndirectY: return around("(", naming.zeroPage(low), "),Y");
    case AddrMode::Relative:
        return naming.address(static_cast<std::uint16_t>(at + 2 + static_cast<std::int8_t>(low)));
    case AddrMode::Indirect: return around("(", naming.address(word), ")");
    }
    return {};
}

DisasmLine decode(const ByteReader& read, std::uint16_t address, const Naming& naming) {
    DisasmLine line{address, 1, {read(address), 0, 0}, {}};
    const OpcodeInfo& info = opcodeTable[line.bytes[0]];
    if (info.cycles == 0) {
        line.text = ".byte " + hex(line.bytes[0], 2);
        return line;
    }
    line.length = info.length;
    for (int i = 1; i < info.length; ++i) line.bytes[i] = read(static_cast<std::uint16_t>(address + i));
    line.text = info.mnemonic;
    const std::string operand = operandText(info.mode, address, line.bytes, naming);
    if (!operand.empty()) line.text += " " + operand;
    return line;
}

// How many bytes at `at` the listing can give as one instruction, 0 when none: the instruction must end
// inside the range and a branch must not reach past either end of memory (ca65 does not wrap it).
int instructionLength(const ByteReader& read, int at, int end) {
    const OpcodeInfo& info = opcodeTable[read(static_cast<std::uint16_t>(at))];
    if (info.cycles == 0 || at + info.length > end) return 0;
    if (info.mode == AddrMode::Relative) {
        const int target = at + 2 + static_cast<std::int8_t>(read(static_cast<std::uint16_t>(at + 1)));
        if (target < 0 || target > 0xFFFF) return 0;
    }
    return info.length;
}

std::string byteList(const ByteReader& read, int at, int count) {
    std::string text = ".byte ";
    for (int i = 0; i < count; ++i)
        text += (i ? ", " : "") + hex(read(static_cast<std::uint16_t>(at + i)), 2);
    return text;
}

// One code line: the text, then the address and the bytes as a comment.
void appendCode(std::string& out, const std::string& text, int at, const ByteReader& read, int length) {
    std::string line = "        " + text;
    line.resize(std::max<std::size_t>(line.size() + 1, 40), ' ');
    line += formatText("; %04X ", at);
    for (int i = 0; i < length; ++i) line += formatText(" %02X", read(static_cast<std::uint16_t>(at + i)));
    out += line + "\n";
}

} // namespace

DisasmLine disassemble(const ByteReader& read, std::uint16_t address, const SymbolTable* symbols) {
    return decode(read, address, Naming{symbols});
}

std::string disassembleRange(const ByteReader& read, std::uint16_t first, std::uint16_t last,
                             const SymbolTable* symbols) {
    std::set<std::string> used;
    const Naming naming{symbols, true, first, last + 1, &used};
    std::string body;
    std::set<std::uint16_t> starts;
    for (int at = first; at <= last;) {
        starts.insert(static_cast<std::uint16_t>(at));
        if (symbols) {
            for (const Symbol& symbol : symbolsAt(*symbols, static_cast<std::uint16_t>(at)))
                body += naming.listable(symbol) ? symbol.name + ":\n" : "; " + symbol.name + "\n";
        }
        const int length = instructionLength(read, at, last + 1);
        if (length > 0) {
            const DisasmLine line = decode(read, static_cast<std::uint16_t>(at), naming);
            appendCode(body, line.text, at, read, length);
            at += length;
            continue;
        }
        // Not an instruction here: the opcode byte alone, or all that is left of a cut-off instruction.
        const OpcodeInfo& info = opcodeTable[read(static_cast<std::uint16_t>(at))];
        const int count = info.cycles == 0 ? 1 : std::min(static_cast<int>(info.length), last + 1 - at);
        appendCode(body, byteList(read, at, count), at, read, count);
        at += count;
    }

    // Names that no label line defines: those inside an instruction or a .byte line, and those outside
    // the range that an operand uses. By address, then name.
    std::set<std::pair<std::uint16_t, std::string>> assigned;
    if (symbols) {
        for (const Symbol& symbol : symbols->byAddress) {
            if (!naming.listable(symbol)) continue;
            const bool inside = naming.inRange(symbol.address);
            if (inside ? !starts.contains(symbol.address) : used.contains(symbol.name))
                assigned.emplace(symbol.address, symbol.name);
        }
    }

    std::string out = "; " + hex(first, 4) + "-" + hex(last, 4) + "\n";
    out += "        .setcpu \"6502\"\n        .segment \"CODE\"\n";
    if (!assigned.empty()) out += "\n";
    for (const auto& [address, name] : assigned) out += name + " = " + hex(address, 4) + "\n";
    out += "\n        .org " + hex(first, 4) + "\n";
    return out + body;
}

} // namespace orv
