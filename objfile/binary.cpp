#include "objfile/binary.h"

#include "files/safe_file.h"
#include "machine/bus.h"
#include "machine/trace.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace orv {

namespace {

constexpr std::size_t MAX_NAME = 256;
constexpr std::size_t ADDRESS_SPACE = 0x10000;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string quoted(const char* before, const std::string& name, const char* after) {
    return std::string(before) + "'" + name + "'" + after;
}

// Memory that files keep: RAM, ROM and the RAM half of a RIO page.
bool isKept(std::uint16_t address) {
    const std::uint8_t flags = pageFlags[address >> 8];
    if (flags & PAGE_EMPTY) return false;
    if ((flags & (PAGE_RIO0 | PAGE_RIO1)) && (address & 0xFF) < 0x80) return false;
    return true;
}

bool nameTooLong(const std::string& path, std::string& message) {
    const std::size_t length = bareName(path).size();
    if (length <= MAX_NAME) return false;
    message = "Error: filename too long (" + std::to_string(length) + ")";
    return true;
}

} // namespace

int loadBinaryFile(const std::string& path, std::uint16_t address, std::string& message) {
    message.clear();
    if (nameTooLong(path, message)) return 0;
    const std::string shown = bareName(path);
    FileRefusal why;
    std::unique_ptr<std::FILE, FileCloser> file(openForReading(path, why));
    if (!file) {
        message = quoted("Error: file ", shown, " not found");
        return 0;
    }
    // One byte more than can fit tells a file that is too long.
    const std::size_t room = ADDRESS_SPACE - address;
    std::vector<std::uint8_t> bytes(room + 1);
    const std::size_t length = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (std::ferror(file.get())) {
        message = quoted("Error: cannot read file ", shown, "");
        return 0;
    }
    if (length == 0) {
        message = quoted("Error: file ", shown, " empty or unknown length");
        return 0;
    }
    if (length > room) {
        char where[8];
        std::snprintf(where, sizeof where, "%04X", address);
        message = quoted("Error: file ", shown, " does not fit in memory from ") + where;
        return 0;
    }
    trace("Binary file: '%s' [%zu] at %04x\n", shown.c_str(), length, address);
    int stored = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto at = static_cast<std::uint16_t>(address + i);
        if (!isKept(at)) continue;
        busWrite(at, bytes[i], 1);
        ++stored;
    }
    if (stored == 0) message = quoted("Error: file ", shown, " had no bytes to load");
    trace("Bytes loaded: %d\n", stored);
    return stored;
}

int saveBinaryFile(const std::string& path, std::uint16_t start, std::uint16_t end, std::string& message) {
    message.clear();
    if (nameTooLong(path, message)) return 0;
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
        message = quoted("Error: no bytes to save to file ", shown, "");
        return 0;
    }
    FileRefusal why;
    if (!replaceWhole(path, image, why)) {
        message =
            quoted("Error: file ", shown,
                   why == FileRefusal::NotRegular || why == FileRefusal::Failed ? " could not be written"
                                                                                : " could not be opened");
        return 0;
    }
    trace("Binary saved: %d bytes of %04x-%04x\n", saved, start, end);
    return saved;
}

} // namespace orv
