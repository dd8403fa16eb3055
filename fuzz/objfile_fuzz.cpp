// Object files on disk: loading one must do exactly what the HEX reader does with the same text (one
// final Ctrl-Z dropped), to the same memory, with the same message.
#include "support.h"

#include "machine/bus.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "objfile/hex.h"
#include "objfile/objfile.h"
#include "settings/flags.h"

#include <cstring>
#include <memory>

using namespace orv;
using orv::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    diag = 0;
    machinePowerOn();
    rioReset();
    const auto before = memory;
    const auto chipsBefore = rio;

    const std::string path = fuzz::writeScratch("in.obj", data, size);
    std::string message = "left from before";
    const int count = loadObjectFile(path, message);
    const auto loaded = memory;
    const auto chipsLoaded = rio;

    std::size_t length = size;
    if (length > 0 && data[length - 1] == 0x1A) --length;
    if (length == 0) {
        check(count == 0, "bytes from an empty file");
        check(message == "Error: file '" + path + "' empty or unknown length", "empty file not refused");
        return 0;
    }

    memory = before;
    rio = chipsBefore;
    std::unique_ptr<char[]> text(new char[length]);
    std::memcpy(text.get(), data, length);
    std::string direct;
    const int directCount = loadHexText(path, text.get(), length, direct);

    check(count == directCount, "file and text load different counts");
    check(message == direct, "file and text load give different messages");
    check(memory == loaded, "file and text load leave different memory");
    check(std::memcmp(rio.data(), chipsLoaded.data(), sizeof rio) == 0,
          "file and text load leave different chips");
    return 0;
}
