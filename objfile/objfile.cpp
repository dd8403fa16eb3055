#include "objfile/objfile.h"

#include "base/file_names.h"
#include "base/hex_digits.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "files/safe_file.h"
#include "machine/bus.h"
#include "machine/rio.h"
#include "objfile/hex.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

namespace orv {

namespace {

constexpr int RECORD_BYTES = 32;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// 64-bit file positions, so that no size is ever cut to 32 bits.
int seekTo(std::FILE* file, long long position, int origin) {
#ifdef _WIN32
    return _fseeki64(file, position, origin);
#else
    return fseeko(file, static_cast<off_t>(position), origin);
#endif
}

// Size of an open file; -1 when it cannot be found.
long long fileSize(std::FILE* file) {
    if (seekTo(file, 0, SEEK_END) != 0) return -1;
#ifdef _WIN32
    const long long size = _ftelli64(file);
#else
    const long long size = ftello(file);
#endif
    return size < 0 ? -1 : size;
}

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

int loadObjectFile(const std::string& fileName, std::string& message, bool wholeOrNothing) {
    message.clear();
    if (!nameFits(fileName, message)) return 0;
    std::string name = fileName;
    addDefaultExtension(name, "obj");
    // Messages and the reader name the file as the user picked it, without its folder.
    const std::string shown = bareName(name);
    FileRefusal why;
    File file(openForReading(name, why));
    if (!file) {
        message = formatText("Error: file '%s' not found", shown.c_str());
        return 0;
    }
    long long size = fileSize(file.get());
    if (size > 0 && seekTo(file.get(), size - 1, SEEK_SET) == 0 && std::fgetc(file.get()) == 0x1A) {
        trace("EOF removed\n");
        --size;
    }
    std::rewind(file.get());
    if (size < 1) {
        message = formatText("Error: file '%s' empty or unknown length", shown.c_str());
        return 0;
    }
    std::unique_ptr<char[]> text;
    if (static_cast<unsigned long long>(size) < std::numeric_limits<std::size_t>::max()) {
        text.reset(new (std::nothrow) char[static_cast<std::size_t>(size) + 1]);
    }
    if (!text) {
        message = formatText("Error: cannot allocate buffer to read file '%s'", shown.c_str());
        return 0;
    }
    const std::size_t length = static_cast<std::size_t>(size);
    trace("Object file: '%s' [%lld]\n", shown.c_str(), size);
    if (std::fread(text.get(), 1, length, file.get()) != length) {
        message = formatText("Error: cannot read file '%s'", shown.c_str());
        return 0;
    }
    text[length] = '\0';
    if (wholeOrNothing && !checkHexText(shown, text.get(), length, message)) return 0;
    const int count = loadHexText(shown, text.get(), length, message);
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
