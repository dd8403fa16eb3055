// An arbitrary settings file: every value read stays within its limits, and what the program writes back
// into that same file reads back as it was.
#include "base/run_inputs.h"
#include "support.h"

#include "settings/flags.h"
#include "settings/settings.h"
#include "tests/support/settings_defaults.h"

#include <cstring>

using namespace orv;
using orv::fuzz::check;

namespace {

struct Values {
    WindowRect place;
    std::string dir, obj, mid, start, end;
    bool menu, keys, mute, debug;
    std::uint8_t diag;
    std::uint16_t m, g, p;
};

Values current() {
    return {settings.windowRect,    settings.currFileDir, settings.currFileObj, settings.currFileMid,
            settings.saveAddrStart, settings.saveAddrEnd, switches.menu != 0,   switches.keys != 0,
            runInputs.mute != 0,    runInputs.debug != 0, runInputs.diag,       settings.debugM,
            settings.debugG,        settings.debugP};
}

// A text survives the file unchanged unless it holds a line break or blanks at either end, which the
// profile format cannot keep.
bool keepable(const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos) return false;
    return text.empty() ||
           (std::strchr(" \t", text.front()) == nullptr && std::strchr(" \t", text.back()) == nullptr);
}

void checkText(const std::string& now, const std::string& was, const char* what) {
    if (keepable(was)) check(now == was, what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    settings.settingsPath = fuzz::writeScratch("orv.ini", data, size);
    orv::test::settingsStartDefaults();
    loadSettings();
    const Values read = current();
    runInputs.diag = 0;

    check(read.dir.size() <= 256 && read.obj.size() <= 256 && read.mid.size() <= 256, "file text too long");
    check(read.start.size() <= 4 && read.end.size() <= 4, "range text too long");
    const WindowRect& r = read.place;
    check(r.left == -1 ||
              (r.left >= 0 && r.left <= 1910 && r.top >= 0 && r.top <= 1070 && r.right >= 0 && r.bottom >= 0),
          "unusable window place kept");

    // The exit write into the fuzzer's file, then a fresh start from it.
    runInputs.diag = read.diag;
    saveSettings();
    orv::test::settingsStartDefaults();
    loadSettings();
    const Values back = current();
    runInputs.diag = 0;

    check(std::memcmp(&back.place, &read.place, sizeof read.place) == 0, "window place changed");
    checkText(back.dir, read.dir, "currFileDir changed");
    checkText(back.obj, read.obj, "currFileObj changed");
    checkText(back.mid, read.mid, "currFileMid changed");
    checkText(back.start, read.start, "saveAddrStart changed");
    checkText(back.end, read.end, "saveAddrEnd changed");
    check(back.menu == read.menu && back.keys == read.keys && back.mute == read.mute &&
              back.debug == read.debug,
          "a view switch changed");
    check(back.diag == read.diag, "diag changed although it is never written");
    check(back.m == read.m && back.g == read.g && back.p == read.p, "a debugger address changed");
    return 0;
}
