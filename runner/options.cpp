#include "runner/options.h"

#include "base/address.h"
#include "base/text_format.h"
#include "debugger/symbols.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <map>
#include <string_view>

#ifndef ORV_VERSION
#define ORV_VERSION "unknown"
#endif

namespace orv {

namespace {

const char* const HELP_TEXT =
    "Usage: orv-run [OPTION]... [FILE]...\n"
    "Runs a program on the emulated board without a window, for scripts and tests.\n"
    "\n"
    "The board is switched on and reset into its monitor (or taken from --state), then each FILE is\n"
    "loaded in turn: an object file (.obj, .hex, .ihx) in Intel HEX, a binary image (.bin, needs --at),\n"
    "or a tape (.mid), which is played into the monitor's \"l\" as a real tape would be.\n"
    "\n"
    "Start:\n"
    "  --state FILE           start from a saved state instead of switching on\n"
    "  --at ADDR              load the binary FILEs at ADDR\n"
    "  --seed N               seed of the power-on random bytes (default 1)\n"
    "  --poke ADDR=BYTE[,BYTE]...  store the bytes from ADDR on (may be repeated)\n"
    "  --pc ADDR              start the processor at ADDR instead of the monitor\n"
    "  --keys SCRIPT          type SCRIPT on the keypad, each key once the program has taken the last\n"
    "Stop (the run also ends at a BRK, unless --through-brk, and at an invalid opcode):\n"
    "  --until-pc ADDR        when the processor reaches ADDR\n"
    "  --until-display TEXT   when the display shows TEXT\n"
    "  --cycles N             after N cycles at most (default 10000000, 10 s of the board's time);\n"
    "                         reaching them before an --until is a failure\n"
    "  --through-brk          let a BRK go to its handler (the monitor's register display)\n"
    "Report and check, once the run has ended:\n"
    "  --show ITEM[,ITEM]...  print stop, display, registers, cycles or memory=ADDR-ADDR\n"
    "  --expect ADDR=BYTE[,BYTE]...  the bytes from ADDR on must be these (may be repeated)\n"
    "  --expect-display TEXT  the display must show TEXT\n"
    "  --record FILE          record the cassette output as a tape (.mid)\n"
    "  --save-state FILE      save the board as it stands at the end of the run\n"
    "  --disassemble ADDR-ADDR  print the range as ca65 source after loading, and do not run\n"
    "  --trace FILE           write a line for each instruction run to FILE: cycles, PC, bytes,\n"
    "                         instruction, registers and flags before it, the byte it read or wrote\n"
    "  --trace-limit N        stop the trace at N MiB (default 100); the run goes on\n"
    "  --labels FILE          names for ADDRs and for the disassembly: an ld65 label file (-Ln),\n"
    "                         ld65 debug information (--dbgfile) or a VICE label file (may be repeated)\n"
    "  -h, --help             show this help and exit\n"
    "      --version          show the version and exit\n"
    "\n"
    "ADDR is 1 to 4 hex digits and BYTE 1 or 2, with or without a leading $ or 0x; N is decimal. With\n"
    "--labels, ADDR may also be a label (\".name\" when the name could be read as hex digits).\n"
    "SCRIPT: 0-9 a-f m g p s l r ^ v press those keys, {reset} the reset key, {wait N} lets N ms of\n"
    "the board's time pass (N at most 3600000); blanks only separate. The display reads as text:\n"
    "one character a digit, a blank for a dark one, \".\" after a digit whose point is lit, as in\n"
    "\"A.0200 .A9\".\n"
    "Exit status: 0 when the run ended as asked and every check held, 1 when not (each failure is\n"
    "named), 2 for a mistake on the command line or a file that does not load, and for output that\n"
    "could not be written (standard output, --record, --save-state), whatever the run did.\n"
    "Example: orv-run prog.obj --pc 0200 --expect 0300=42 --show registers\n";

RunCommandLine mistake(const std::string& what) {
    RunCommandLine line;
    line.exitStatus = RUN_BAD_USAGE;
    line.error = runMessage(what);
    return line;
}

// Hex digits first, as without labels; a leading '.' asks for the label whatever it looks like.
std::optional<std::uint16_t> parseAddress(std::string_view text, const SymbolTable& symbols) {
    if (text.starts_with('.')) return symbolAddress(symbols, text);
    if (const auto address = addressValue(text, OPTION_ADDRESS)) return address;
    return text.empty() ? std::nullopt : symbolAddress(symbols, text);
}

std::optional<AddressRange> parseRange(std::string_view text, const SymbolTable& symbols) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto first = parseAddress(text.substr(0, dash), symbols);
    const auto last = parseAddress(text.substr(dash + 1), symbols);
    if (!first || !last || *last < *first) return std::nullopt;
    return AddressRange{*first, *last};
}

std::optional<MemoryBytes> parseMemoryBytes(std::string_view text, const SymbolTable& symbols) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const auto address = parseAddress(text.substr(0, equals), symbols);
    if (!address) return std::nullopt;
    MemoryBytes result{*address, {}};
    std::string_view bytes = text.substr(equals + 1);
    for (;;) {
        const std::size_t comma = bytes.find(',');
        const auto byte = addressValue(bytes.substr(0, comma), OPTION_BYTE);
        if (!byte) return std::nullopt;
        result.bytes.push_back(static_cast<std::uint8_t>(*byte));
        if (comma == std::string_view::npos) break;
        bytes.remove_prefix(comma + 1);
    }
    if (result.address + result.bytes.size() > 0x10000) return std::nullopt;
    return result;
}

template <typename Number>
std::optional<Number> parseDecimal(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::vector<ShowItem>> parseShow(std::string_view text, const SymbolTable& symbols) {
    std::vector<ShowItem> items;
    for (;;) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        if (item == "stop")
            items.push_back({ShowItem::Stop, {}});
        else if (item == "display")
            items.push_back({ShowItem::Display, {}});
        else if (item == "registers")
            items.push_back({ShowItem::Registers, {}});
        else if (item == "cycles")
            items.push_back({ShowItem::Cycles, {}});
        else if (item.starts_with("memory=")) {
            const auto range = parseRange(item.substr(7), symbols);
            if (!range) return std::nullopt;
            items.push_back({ShowItem::Memory, *range});
        } else
            return std::nullopt;
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return items;
}

} // namespace

std::string runMessage(std::string_view message) {
    // A warning keeps its word, in the tool's own lower case: the run it comes with may still pass.
    std::string lead;
    if (message.starts_with("Warning: ")) lead = "warning: ";
    for (const std::string_view core : {"Error: ", "Warning: ", "Error in "}) {
        if (!message.starts_with(core)) continue;
        message.remove_prefix(core.size());
        break;
    }
    return "orv-run: " + lead + std::string(message) + "\n";
}

RunCommandLine parseRunCommandLine(const std::vector<std::string>& arguments) {
    RunCommandLine line;
    RunOptions& options = line.options;
    std::string failure;

    // Each option that takes a value: how to take it. A false return is a bad value. Those that read
    // addresses wait until every --labels file is in, wherever it stands on the line.
    using Taker = std::function<bool(const std::string&)>;
    const SymbolTable& symbols = options.symbols;
    std::vector<std::pair<std::string, std::function<bool()>>> later;
    std::string name;
    const auto deferred = [&](std::function<bool(const std::string&)> take) {
        return Taker([&later, &name, take](const std::string& value) {
            later.emplace_back("--" + name + ": '" + escapedText(value) + "'",
                               [take, value] { return take(value); });
            return true;
        });
    };
    auto address = [&](std::optional<std::uint16_t>& into) {
        return deferred([&into, &symbols](const std::string& value) {
            return (into = parseAddress(value, symbols)).has_value();
        });
    };
    auto once = [](std::optional<std::string>& into) {
        return Taker([&into](const std::string& value) {
            into = value;
            return true;
        });
    };
    auto text = [](std::string& into) {
        return Taker([&into](const std::string& value) {
            into = value;
            return !value.empty();
        });
    };
    auto bytes = [&](std::vector<MemoryBytes>& into) {
        return deferred([&into, &symbols](const std::string& value) {
            const auto parsed = parseMemoryBytes(value, symbols);
            if (parsed) into.push_back(*parsed);
            return parsed.has_value();
        });
    };
    const std::map<std::string, Taker, std::less<>> valued = {
        {"at", address(options.at)},
        {"seed",
         [&](const std::string& value) {
             const auto seed = parseDecimal<std::uint32_t>(value);
             if (seed) options.seed = *seed;
             return seed.has_value();
         }},
        {"poke", bytes(options.pokes)},
        {"pc", address(options.pc)},
        {"keys", [&](const std::string& value) { return parseKeyScript(value, options.keys, failure); }},
        {"until-pc", address(options.untilPc)},
        {"until-display", once(options.untilDisplay)},
        {"cycles",
         [&](const std::string& value) {
             const auto count = parseDecimal<std::int64_t>(value);
             if (count && *count > 0) options.cycles = *count;
             return count && *count > 0;
         }},
        {"show", deferred([&](const std::string& value) {
             const auto items = parseShow(value, symbols);
             if (items) options.show.insert(options.show.end(), items->begin(), items->end());
             return items.has_value();
         })},
        {"expect", bytes(options.expect)},
        {"expect-display", once(options.expectDisplay)},
        {"record", text(options.record)},
        {"state", text(options.state)},
        {"save-state", text(options.saveState)},
        {"disassemble", deferred([&](const std::string& value) {
             options.disassemble = parseRange(value, symbols);
             return options.disassemble.has_value();
         })},
        {"trace", text(options.trace)},
        {"trace-limit",
         [&](const std::string& value) {
             const auto mib = parseDecimal<std::uint32_t>(value);
             if (mib && *mib > 0 && *mib <= 1u << 20) options.traceLimit = std::uint64_t{*mib} << 20;
             return mib && *mib > 0 && *mib <= 1u << 20;
         }},
        {"labels",
         [&](const std::string& value) {
             // Strict, as every input of a script is: a line that does not parse fails the run.
             std::string message;
             const int count = symbolsLoadFile(options.symbols, value, message);
             if (!message.empty() && !(count > 0 && message.starts_with("Warning: "))) {
                 failure = message;
                 return false;
             }
             return true;
         }},
    };
    // Options that keep only one value: a second is a mistake rather than a silent override.
    const std::vector<std::string> single = {"at",       "seed",          "pc",     "keys",
                                             "until-pc", "until-display", "cycles", "expect-display",
                                             "record",   "disassemble",   "state",  "save-state",
                                             "trace",    "trace-limit"};
    // Options that take no value, whichever way one is tried.
    const std::vector<std::string> flags = {"help", "version", "through-brk"};
    std::map<std::string, int, std::less<>> seen;

    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || !argument.starts_with('-')) {
            const ProgramFileKind kind = programFileKind(argument);
            if (kind == ProgramFileKind::Unknown)
                return mistake("unknown kind of file '" + argument + "' (" + PROGRAM_FILE_ENDINGS + ")");
            options.files.push_back({argument, kind});
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "-h" || argument == "--help") {
            line.output = HELP_TEXT;
            return line;
        }
        if (argument == "--version") {
            line.output = formatText("orv-run %s\n", ORV_VERSION);
            return line;
        }
        if (argument == "--through-brk") {
            options.throughBrk = true;
            continue;
        }
        if (!argument.starts_with("--")) return mistake("unknown option '" + escapedText(argument) + "'");
        const std::size_t equals = argument.find('=');
        name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        if (std::find(flags.begin(), flags.end(), name) != flags.end())
            return mistake("--" + name + " takes no value");
        const auto taker = valued.find(name);
        if (taker == valued.end()) return mistake("unknown option '--" + escapedText(name) + "'");
        std::string value;
        if (equals != std::string::npos)
            value = argument.substr(equals + 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
        else
            return mistake("--" + name + " needs a value");
        if (++seen[name] > 1 && std::find(single.begin(), single.end(), name) != single.end())
            return mistake("--" + name + " may be given once");
        failure.clear();
        if (!taker->second(value)) {
            // A file's own message says what is wrong and where.
            if (name == "labels") return mistake(failure);
            return mistake(failure.empty() ? "bad value for --" + name + ": '" + escapedText(value) + "'"
                                           : "--" + name + ": " + failure);
        }
    }
    for (const auto& [what, take] : later)
        if (!take()) return mistake("bad value for " + what);

    int tapes = 0;
    bool binaries = false;
    for (const InputFile& file : options.files) {
        tapes += file.kind == ProgramFileKind::Tape;
        binaries |= file.kind == ProgramFileKind::Binary;
    }
    if (tapes > 1) return mistake("one tape at most");
    if (binaries && !options.at) return mistake("a binary FILE needs --at ADDR");
    if (options.at && !binaries) return mistake("--at is for binary FILEs only");
    line.run = true;
    return line;
}

} // namespace orv
