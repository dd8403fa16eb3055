// Turns a binary image into Intel HEX text: data records of 24 bytes (the last one shorter), upper-case
// digits, CR LF line ends, and the end record. Used at build time for the monitor image.
//
//   orv_bin2hex INPUT OUTPUT ADDRESS      ADDRESS: load address of the first byte, in hex

#include "objfile/hex_record.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::size_t RECORD_BYTES = 24;

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT ADDRESS\n", argv[0]);
        return 2;
    }
    char* end = nullptr;
    const unsigned long start = std::strtoul(argv[3], &end, 16);
    if (*argv[3] == '\0' || *end != '\0' || start > 0xFFFF) {
        std::fprintf(stderr, "%s: bad address '%s'\n", argv[0], argv[3]);
        return 2;
    }

    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read '%s'\n", argv[0], argv[1]);
        return 1;
    }
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    // 16-bit records cannot go past 0xFFFF; an empty image would load nothing.
    if (image.empty() || start + image.size() > 0x10000) {
        std::fprintf(stderr, "%s: '%s' has %zu bytes, which do not fit from %04lX to FFFF\n", argv[0],
                     argv[1], image.size(), start);
        return 1;
    }

    std::string text;
    for (std::size_t offset = 0; offset < image.size(); offset += RECORD_BYTES) {
        const std::size_t count = std::min(RECORD_BYTES, image.size() - offset);
        orv::appendHexRecord(text, static_cast<std::uint16_t>(start + offset), orv::HEX_DATA_RECORD,
                             image.data() + offset, count);
    }
    orv::appendHexRecord(text, 0, orv::HEX_END_RECORD, nullptr, 0);

    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write '%s'\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
