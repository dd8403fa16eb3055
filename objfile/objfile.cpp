#include "objfile/objfile.h"

#include "base/file_names.h"
#include "base/hex_digits.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "files/safe_file.h"
#include "machine/bus.h"
#include "machine/rio.h"
#include "objfile/hex.h"
#include "objfile/hex_record.h"

#include <algorithm>
#include <cstdio>

namespace orv {

namespace {

constexpr int RECORD_BYTES = 32;

bool writeAll(std::FILE* file, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

} // namespace

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
        message = writeRefusalMessage(why, shown);
        return 0;
    }
    std::FILE* file = out.file;

    int total = 0;
    bool failed = false;
    unsigned page = start >> 8;
    unsigned offset = start & 0xFF;
    std::string record;
    std::uint8_t bytes[RECORD_BYTES];
    for (;;) {
        while (page <= 0xFF && bus.pageFlags[page] == PAGE_EMPTY) {
            ++page;
            offset = 0;
        }
        if (page > 0xFF) break;
        if ((bus.pageFlags[page] == PAGE_RIO0 || bus.pageFlags[page] == PAGE_RIO1) && offset < RIO_RAM)
            offset = RIO_RAM;
        unsigned address = page * 256 + offset;
        if (address > end) break;
        const unsigned last = std::min(page * 256 + 0xFF, static_cast<unsigned>(end));
        int n = static_cast<int>(last - address + 1);
        trace("Save %d from %04x\n", n, address);
        while (n > 0 && !failed) {
            const int k = std::min(n, RECORD_BYTES);
            for (int i = 0; i < k; ++i) bytes[i] = busRead(static_cast<std::uint16_t>(address + i));
            record.clear();
            appendHexRecord(record, static_cast<std::uint16_t>(address), HEX_DATA_RECORD, bytes,
                            static_cast<std::size_t>(k));
            if (!writeAll(file, record)) {
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
        record.clear();
        appendHexRecord(record, 0, HEX_END_RECORD, nullptr, 0);
        if (failed || !writeAll(file, record)) failed = true;
        // Buffered data may only fail to reach the disk as it is put in place.
        if (failed || !replacingCommit(out)) {
            message = formatText("Error: file '%s' could not be written", shown.c_str());
        }
    }
    replacingDiscard(out);
    return message.empty() ? total : 0;
}

} // namespace orv
