#include "objfile/binary.h"

#include "base/file_names.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "files/safe_file.h"
#include "machine/bus.h"
#include "machine/rio.h"

#include <string>

namespace orv {

namespace {

constexpr std::size_t ADDRESS_SPACE = 0x10000;

// Memory that files keep: RAM, ROM and the RAM half of a RIO page.
bool isKept(std::uint16_t address) {
    const std::uint8_t flags = bus.pageFlags[address >> 8];
    if (flags & PAGE_EMPTY) return false;
    if ((flags & (PAGE_RIO0 | PAGE_RIO1)) && (address & 0xFF) < RIO_RAM) return false;
    return true;
}

} // namespace

int loadBinaryFile(const std::string& path, std::uint16_t address, std::string& message) {
    message.clear();
    if (!nameFits(path, message)) return 0;
    const std::string shown = bareName(path);
    std::string bytes;
    FileRefusal why;
    if (!readWhole(path, ADDRESS_SPACE - address, bytes, why) && why != FileRefusal::TooLarge) {
        message = readRefusalMessage(why, shown);
        return 0;
    }
    if (bytes.empty()) {
        message = formatText("Error: file '%s' empty or unknown length", shown.c_str());
        return 0;
    }
    if (why == FileRefusal::TooLarge) {
        message = formatText("Error: file '%s' does not fit in memory from %04X", shown.c_str(), address);
        return 0;
    }
    const std::size_t length = bytes.size();
    trace("Binary file: '%s' [%zu] at %04x\n", shown.c_str(), length, address);
    int stored = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto at = static_cast<std::uint16_t>(address + i);
        if (!isKept(at)) continue;
        busWrite(at, static_cast<std::uint8_t>(bytes[i]), FORCE_ROM);
        ++stored;
    }
    if (stored == 0) message = formatText("Error: file '%s' had no bytes to load", shown.c_str());
    trace("Bytes loaded: %d\n", stored);
    return stored;
}

int saveBinaryFile(const std::string& path, std::uint16_t start, std::uint16_t end, std::string& message) {
    message.clear();
    if (!nameFits(path, message)) return 0;
    if (path.empty()) {
        message = "Error: no filename given";
        return 0;
    }
    const std::string shown = bareName(path);
    std::string image;
    int saved = 0;
    for (unsigned address = start; address <= end; ++address) {
        const auto at = static_cast<std::uint16_t>(address);
        const bool kept = isKept(at);
        image += static_cast<char>(kept ? peekByte(at) : BINARY_GAP);
        saved += kept ? 1 : 0;
    }
    if (saved == 0) {
        message = formatText("Error: no bytes to save to file '%s'", shown.c_str());
        return 0;
    }
    FileRefusal why;
    if (!replaceWhole(path, image, why)) {
        message = writeRefusalMessage(why, shown);
        return 0;
    }
    trace("Binary saved: %d bytes of %04x-%04x\n", saved, start, end);
    return saved;
}

} // namespace orv
