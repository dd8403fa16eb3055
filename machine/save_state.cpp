#include "machine/save_state.h"

#include "base/file_names.h"
#include "base/run_inputs.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "files/safe_file.h"
#include "machine/debug_hooks.h"
#include "machine/keys.h"
#include "machine/machine_state.h"
#include "tape/tape.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

namespace orv {

namespace {

constexpr char MAGIC[8] = {'O', 'R', 'V', 'S', 'T', 'A', 'T', 'E'};
// A state is about 66 KB; a file far larger is no state of any version worth reading whole.
constexpr std::size_t READ_LIMIT = 1 << 20;

bool stateHalted = true;
std::uint8_t stateOverrun = 0;

// The board as a state holds it: read into this first, checked, then put in place at once.
struct Board {
    CpuState cpu{};
    std::int32_t cycles = 0;
    std::uint8_t pendingInterrupts = 0;
    std::uint16_t lastOpcodeAddr = 0;
    std::uint16_t breakpoint = 0;
    std::uint8_t halted = 1;
    std::uint8_t overrun = 0;
    std::array<std::uint8_t, 65536> memory{};
    std::array<std::uint8_t, 256> pageFlags{};
    std::array<RioChip, 2> rio{};
    KeypadRecord keypad;
    LatchRecord latch;
};

constexpr std::array<std::uint32_t, 256> crcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

struct Writer {
    std::vector<std::uint8_t>& out;
    void u8(std::uint8_t value) { out.push_back(value); }
    void u16(std::uint16_t value) {
        u8(static_cast<std::uint8_t>(value));
        u8(static_cast<std::uint8_t>(value >> 8));
    }
    void u32(std::uint32_t value) {
        u16(static_cast<std::uint16_t>(value));
        u16(static_cast<std::uint16_t>(value >> 16));
    }
    void s32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    void bytes(const std::uint8_t* data, std::size_t size) { out.insert(out.end(), data, data + size); }
};

// Reads past the end give zeros and clear ok; the caller checks the length first, so that never happens
// with a state that got this far.
struct Reader {
    const std::uint8_t* data;
    std::size_t left;
    bool ok = true;
    std::uint8_t u8() {
        if (left == 0) {
            ok = false;
            return 0;
        }
        --left;
        return *data++;
    }
    std::uint16_t u16() {
        const std::uint8_t low = u8();
        return static_cast<std::uint16_t>(low | u8() << 8);
    }
    std::uint32_t u32() {
        const std::uint16_t low = u16();
        return low | static_cast<std::uint32_t>(u16()) << 16;
    }
    std::int32_t s32() { return static_cast<std::int32_t>(u32()); }
    void bytes(std::uint8_t* out, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) out[i] = u8();
    }
};

void writeRecords(Writer& w, std::uint8_t overrun) {
    w.u16(cpu.pc);
    for (std::uint8_t value : {cpu.a, cpu.x, cpu.y, cpu.sp}) w.u8(value);
    for (std::uint8_t value : {cpu.n, cpu.v, cpu.bit5, cpu.b, cpu.d, cpu.i, cpu.z, cpu.c}) w.u8(value);
    w.s32(cpu.cycles);
    w.u8(cpu.pendingInterrupts);
    w.u16(cpu.lastOpcodeAddr);
    w.u16(cpu.breakpoint);
    w.u8(runInputs.halted ? 1 : 0);
    w.u8(overrun);
    w.bytes(bus.memory.data(), bus.memory.size());
    for (std::uint8_t flags : bus.pageFlags) w.u8(static_cast<std::uint8_t>(flags & ~PAGE_WATCH));
    for (const RioChip& chip : rio.chips) {
        for (std::uint8_t value : {chip.ddrA, chip.ddrB, chip.outA, chip.outB}) w.u8(value);
        w.bytes(chip.ram.data(), chip.ram.size());
    }
    w.u8(keypad.keyColumn);
    w.u8(keypad.keyRows);
    w.bytes(latch.digitSegments.data(), latch.digitSegments.size());
    for (std::int32_t tick : latch.digitTick) w.s32(tick);
    w.s32(latch.lastDigit);
    w.s32(latch.displayTick);
}

void readRecords(Reader& r, Board& b) {
    b.cpu.pc = r.u16();
    for (std::uint8_t* value : {&b.cpu.a, &b.cpu.x, &b.cpu.y, &b.cpu.sp}) *value = r.u8();
    for (std::uint8_t* flag :
         {&b.cpu.n, &b.cpu.v, &b.cpu.bit5, &b.cpu.b, &b.cpu.d, &b.cpu.i, &b.cpu.z, &b.cpu.c})
        *flag = r.u8();
    b.cycles = r.s32();
    b.pendingInterrupts = r.u8();
    b.lastOpcodeAddr = r.u16();
    b.breakpoint = r.u16();
    b.halted = r.u8();
    b.overrun = r.u8();
    r.bytes(b.memory.data(), b.memory.size());
    r.bytes(b.pageFlags.data(), b.pageFlags.size());
    for (RioChip& chip : b.rio) {
        for (std::uint8_t* value : {&chip.ddrA, &chip.ddrB, &chip.outA, &chip.outB}) *value = r.u8();
        r.bytes(chip.ram.data(), chip.ram.size());
    }
    b.keypad.keyColumn = r.u8();
    b.keypad.keyRows = r.u8();
    r.bytes(b.latch.digitSegments.data(), b.latch.digitSegments.size());
    for (std::int32_t& tick : b.latch.digitTick) tick = r.s32();
    b.latch.lastDigit = r.s32();
    b.latch.displayTick = r.s32();
}

// What is wrong with a board read from a state; nullptr when nothing is.
const char* fieldFault(const Board& b, int& page) {
    for (std::uint8_t flag : {b.cpu.n, b.cpu.v, b.cpu.bit5, b.cpu.b, b.cpu.d, b.cpu.i, b.cpu.z, b.cpu.c})
        if (flag > 1) return "processor flags";
    if (b.pendingInterrupts & ~(PEND_RESET | PEND_NMI | PEND_IRQ)) return "pending interrupts";
    if (b.halted > 1 || b.overrun > STATE_OVERRUN_MAX) return "run state";
    for (page = 0; page < 256; ++page) {
        const std::uint8_t kind = b.pageFlags[static_cast<std::size_t>(page)];
        const bool rioKind =
            (kind == PAGE_RIO0 && page == rioPage[0]) || (kind == PAGE_RIO1 && page == rioPage[1]);
        if (kind != PAGE_EMPTY && kind != PAGE_RAM && kind != PAGE_ROM && !rioKind) return "page kind";
    }
    if (b.keypad.keyColumn > PA_DIGIT) return "keypad";
    const std::uint8_t rows = b.keypad.keyRows;
    if (rows != 0xFF && rows != static_cast<std::uint8_t>(~KEY_ROW_LOW) &&
        rows != static_cast<std::uint8_t>(~KEY_ROW_HIGH) &&
        rows != static_cast<std::uint8_t>(~KEY_ROW_COMMAND))
        return "keypad";
    if (b.latch.lastDigit < -1 || b.latch.lastDigit > 7) return "latch position";
    return nullptr;
}

// Reads and checks a whole state into `b`. `subject` names what was read in messages ("file 'x'").
// `moreFollows`: the bytes are only the start of something longer.
bool parseState(const std::uint8_t* data, std::size_t size, bool moreFollows, const std::string& subject,
                Board& b, std::string& message) {
    const char* who = subject.c_str();
    if (size == 0 && !moreFollows) {
        message = formatText("Error: %s is empty", who);
        return false;
    }
    const std::size_t magicSeen = std::min(size, sizeof MAGIC);
    if (std::memcmp(data, MAGIC, magicSeen) != 0) {
        message = formatText("Error: %s is not a save state", who);
        return false;
    }
    if (size < STATE_HEADER_SIZE) {
        message = formatText("Error: %s is cut short", who);
        return false;
    }
    Reader header{data + sizeof MAGIC, STATE_HEADER_SIZE - sizeof MAGIC};
    const std::uint32_t version = header.u32();
    const std::uint32_t length = header.u32();
    if (version > STATE_VERSION) {
        message = formatText("Error: %s is a state of a newer version of the program (%u; this one reads %u)",
                             who, version, STATE_VERSION);
        return false;
    }
    if (version == 0 || length != STATE_RECORDS_SIZE) {
        message = formatText("Error: %s is damaged (%s)", who, version == 0 ? "version" : "length");
        return false;
    }
    if (size < STATE_FILE_SIZE) {
        message = formatText("Error: %s is cut short", who);
        return false;
    }
    if (size > STATE_FILE_SIZE || moreFollows) {
        message = formatText("Error: %s is damaged (length)", who);
        return false;
    }
    Reader sum{data + STATE_FILE_SIZE - 4, 4};
    if (sum.u32() != crc32(data, STATE_FILE_SIZE - 4)) {
        message = formatText("Error: %s is damaged (checksum)", who);
        return false;
    }
    Reader records{data + STATE_HEADER_SIZE, STATE_RECORDS_SIZE};
    readRecords(records, b);
    int page = 0;
    const char* fault = records.ok ? fieldFault(b, page) : "length";
    if (fault) {
        message = std::strcmp(fault, "page kind") == 0
                      ? formatText("Error: %s is damaged (page kind at $%02X00)", who, page)
                      : formatText("Error: %s is damaged (%s)", who, fault);
        return false;
    }
    return true;
}

void applyBoard(const Board& b) {
    cpu = b.cpu;
    cpu.cycles = b.cycles;
    cpu.pendingInterrupts = b.pendingInterrupts;
    cpu.lastOpcodeAddr = b.lastOpcodeAddr;
    cpu.breakpoint = b.breakpoint;
    bus.memory = b.memory;
    bus.pageFlags = b.pageFlags;
    // The debugger's watchpoints cover addresses, whatever state the pages come from.
    markWatchedPages();
    rio.chips = b.rio;
    keypad = b.keypad;
    latch = b.latch;
    stateHalted = b.halted != 0;
    stateOverrun = b.overrun;
}

bool loadParsed(const std::uint8_t* data, std::size_t size, bool moreFollows, const std::string& subject,
                std::string& message) {
    message.clear();
    auto board = std::make_unique<Board>();
    if (!parseState(data, size, moreFollows, subject, *board, message)) return false;
    // The tape runs on its own time: a state cannot go on with it.
    if (tape.tapeState != 0) tapeStop(message);
    applyBoard(*board);
    trace("State loaded: %s\n", registerLine().c_str());
    return true;
}

} // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) c = crcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::vector<std::uint8_t> saveState(std::uint8_t overrun) {
    std::vector<std::uint8_t> out;
    out.reserve(STATE_FILE_SIZE);
    Writer w{out};
    w.bytes(reinterpret_cast<const std::uint8_t*>(MAGIC), sizeof MAGIC);
    w.u32(STATE_VERSION);
    w.u32(static_cast<std::uint32_t>(STATE_RECORDS_SIZE));
    writeRecords(w, overrun);
    w.u32(crc32(out.data(), out.size()));
    return out;
}

bool loadState(const std::uint8_t* data, std::size_t size, std::string& message) {
    return loadParsed(data, size, false, "the data", message);
}

bool loadedStateHalted() {
    return stateHalted;
}

std::uint8_t loadedStateOverrun() {
    return stateOverrun;
}

bool saveStateFile(const std::string& path, std::string& message, std::uint8_t overrun) {
    message.clear();
    if (!nameFits(path, message)) return false;
    if (path.empty()) {
        message = "Error: no filename given";
        return false;
    }
    const std::string shown = bareName(path);
    const std::vector<std::uint8_t> bytes = saveState(overrun);
    FileRefusal why;
    if (!replaceWhole(path, std::string(bytes.begin(), bytes.end()), why)) {
        message = writeRefusalMessage(why, shown);
        return false;
    }
    trace("State saved to '%s'\n", shown.c_str());
    if (tape.tapeState != 0)
        message =
            formatText("Warning: the tape in progress is not part of the state saved in '%s'", shown.c_str());
    return true;
}

bool loadStateFile(const std::string& path, std::string& message) {
    message.clear();
    if (!nameFits(path, message)) return false;
    const std::string shown = bareName(path);
    std::string bytes;
    FileRefusal why;
    if (!readWhole(path, READ_LIMIT, bytes, why) && why != FileRefusal::TooLarge) {
        message = readRefusalMessage(why, shown);
        return false;
    }
    return loadParsed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                      why == FileRefusal::TooLarge, formatText("file '%s'", shown.c_str()), message);
}

} // namespace orv
