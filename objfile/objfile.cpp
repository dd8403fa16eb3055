#include "objfile/objfile.h"

#include "files/safe_file.h"
#include "machine/bus.h"
#include "machine/rio.h"
#include "machine/text_format.h"
#include "machine/trace.h"
#include "objfile/hex.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

namespace orv {

namespace {

constexpr int RECORD_BYTES = 32;

bool writeAll(std::FILE* file, const char* text, std::size_t length) {
    return std::fwrite(text, 1, length, file) == length;
}

// One data record of count bytes read through the bus, with CR LF.
std::size_t buildRecord(char* out, std::uint16_t address, int count) {
    std::size_t length = 0;
    out[length++] = ':';
    std::uint8_t sum = 0;
    auto put = [&](std::uint8_t value) {
        hexByteText(value, out + length);
        length += 2;
        sum = static_cast<std::uint8_t>(sum + value);
    };
    put(static_cast<std::uint8_t>(count));
    put(static_cast<std::uint8_t>(address >> 8));
    put(static_cast<std::uint8_t>(address));
    put(0x00);
    for (int i = 0; i < count; ++i) put(busRead(static_cast<std::uint16_t>(address + i)));
    hexByteText(static_cast<std::uint8_t>(0x100 - sum), out + length);
    length += 2;
    out[length++] = '\r';
    out[length++] = '\n';
    return length;
}

} // namespace

void addDefaultExtension(std::string& name, const std::string& extension) {
    if (name.find('.') != std::string::npos) return;
    if (bareName(name).size() + extension.size() + 1 > FILE_NAME_MAX) return;
    name += '.';
    name += extension;
}

void hexByteText(std::uint8_t value, char* out) {
    static constexpr char digits[] = "0123456789ABCDEF";
    out[0] = digits[value >> 4];
    out[1] = digits[value & 0x0F];
}

int loadObjectFile(const std::string& fileName, std::string& message, bool wholeOrNothing) {
    message.clear();
    if (!nameFits(fileName, message)) return 0;
    std::string name = fileName;
    addDefaultExtension(name, "obj");
    // Messages and the reader name the file as the user picked it, without its folder.
    const std::string shown = bareName(name);
    std::string text;
    FileRefusal why;
    if (!readWhole(name, NO_READ_LIMIT, text, why)) {
        // Whatever keeps it from being opened, Load says it is not there.
        message = readRefusalMessage(openedOrMissing(why), shown);
        return 0;
    }
    if (!text.empty() && text.back() == 0x1A) {
        trace("EOF removed\n");
        text.pop_back();
    }
    if (text.empty()) {
        message = formatText("Error: file '%s' empty or unknown length", shown.c_str());
        return 0;
    }
    trace("Object file: '%s' [%zu]\n", shown.c_str(), text.size());
    if (wholeOrNothing && !checkHexText(shown, text.c_str(), text.size(), message)) return 0;
    const int count = loadHexText(shown, text.data(), text.size(), message);
    trace("Bytes loaded: %d\n", count);
    return count;
}

int saveObjectFile(const std::string& fileName, std::uint16_t start, std::uint16_t end,
                   std::string& message) {
    message.clear();
    if (!nameFits(fileName, message)) return 0;
    if (fileName.empty()) {
        message = "Error: no filename given";
        return 0;
    }
    std::string name = fileName;
    addDefaultExtension(name, "obj");
    const std::string shown = bareName(name);
    // The new content reaches the user's file only once it is complete: a failed save keeps the old one.
    ReplacingFile out;
    FileRefusal why;
    if (!replacingOpen(out, name, why)) {
        // Something that is there but is no file (a folder, a device) cannot take the records.
        message = formatText(why == FileRefusal::NotRegular ? "Error: file '%s' could not be written"
                                                            : "Error: file '%s' could not be opened",
                             shown.c_str());
        return 0;
    }
    std::FILE* file = out.file;

    int total = 0;
    bool failed = false;
    unsigned page = start >> 8;
    unsigned offset = start & 0xFF;
    char record[1 + 2 * (4 + RECORD_BYTES + 1) + 2];
    for (;;) {
        while (page <= 0xFF && pageFlags[page] == PAGE_EMPTY) {
            ++page;
            offset = 0;
        }
        if (page > 0xFF) break;
        if ((pageFlags[page] == PAGE_RIO0 || pageFlags[page] == PAGE_RIO1) && offset < RIO_RAM)
            offset = RIO_RAM;
        unsigned address = page * 256 + offset;
        if (address > end) break;
        const unsigned last = std::min(page * 256 + 0xFF, static_cast<unsigned>(end));
        int n = static_cast<int>(last - address + 1);
        trace("Save %d from %04x\n", n, address);
        while (n > 0 && !failed) {
            const int k = std::min(n, RECORD_BYTES);
            const std::size_t length = buildRecord(record, static_cast<std::uint16_t>(address), k);
            if (!writeAll(file, record, length)) {
                failed = true;
                break;
            }
            address += static_cast<unsigned>(k);
            total += k;
            n -= k;
        }
        if (failed || page == 0xFF) break;
        ++page;
        offset = 0;
    }

    if (!failed && total == 0) {
        message = formatText("Error: no bytes to save to file '%s'", shown.c_str());
    } else {
        static constexpr char endRecord[] = ":00000001FF\r\n";
        if (failed || !writeAll(file, endRecord, sizeof endRecord - 1)) failed = true;
        // Buffered data may only fail to reach the disk as it is put in place.
        if (failed || !replacingCommit(out)) {
            message = formatText("Error: file '%s' could not be written", shown.c_str());
        }
    }
    replacingDiscard(out);
    return message.empty() ? total : 0;
}

} // namespace orv
