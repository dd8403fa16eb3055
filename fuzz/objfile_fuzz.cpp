// Object files on disk: loading one must do exactly what the HEX reader does with the same text (one
// final Ctrl-Z dropped), to the same memory, with the same message. Whatever a good file put in memory
// must survive saving the whole address space and loading it back on a board freshly switched on.
#include "support.h"

#include "machine/bus.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "objfile/hex.h"
#include "objfile/objfile.h"

#include <cstring>
#include <memory>

using namespace orv;
using orv::fuzz::check;

namespace {

void saveAndLoadBack(const std::string& path) {
    const auto image = bus.memory;
    const auto chips = rio.chips;
    int memoryBytes = 0;
    for (std::uint8_t kind : bus.pageFlags) {
        if (kind == PAGE_RAM || kind == PAGE_ROM) memoryBytes += 256;
        if (kind == PAGE_RIO0 || kind == PAGE_RIO1) memoryBytes += 128;
    }
    std::string message;
    const int saved = saveObjectFile(path, 0x0000, 0xFFFF, message);
    check(message.empty() && saved == memoryBytes, "saving the whole address space failed");

    machinePowerOn();
    rioReset();
    const int loaded = loadObjectFile(path, message);
    check(message.empty() && loaded == saved, "a saved file does not load back");
    for (unsigned page = 0; page < 256; ++page) {
        if (bus.pageFlags[page] != PAGE_RAM && bus.pageFlags[page] != PAGE_ROM) continue;
        check(std::memcmp(bus.memory.data() + page * 256, image.data() + page * 256, 256) == 0,
              "memory differs after saving and loading back");
    }
    for (std::size_t chip = 0; chip < rio.chips.size(); ++chip) {
        check(rio[chip].ram == chips[chip].ram, "RIO RAM differs after saving and loading back");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::startBoard(data, size);
    const auto before = bus.memory;
    const auto chipsBefore = rio.chips;

    const std::string path = fuzz::writeScratch("in.obj", data, size);
    std::string message = "left from before";
    const int count = loadObjectFile(path, message);
    const auto loaded = bus.memory;
    const auto chipsLoaded = rio.chips;

    std::size_t length = size;
    if (length > 0 && data[length - 1] == 0x1A) --length;
    if (length == 0) {
        check(count == 0, "bytes from an empty file");
        check(message == "Error: file 'in.obj' empty or unknown length", "empty file not refused");
        return 0;
    }

    bus.memory = before;
    rio.chips = chipsBefore;
    std::unique_ptr<char[]> text(new char[length]);
    std::memcpy(text.get(), data, length);
    std::string direct;
    // Messages name the file as the user picked it, without its folder.
    const int directCount = loadHexText("in.obj", text.get(), length, direct);

    check(count == directCount, "file and text load different counts");
    check(message == direct, "file and text load give different messages");
    check(bus.memory == loaded, "file and text load leave different memory");
    check(std::memcmp(rio.chips.data(), chipsLoaded.data(), sizeof rio.chips) == 0,
          "file and text load leave different chips");
    if (message.empty()) saveAndLoadBack(fuzz::scratchDir() + "/saved.obj");
    return 0;
}
