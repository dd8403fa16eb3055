// Tape playback of an arbitrary file: refused cleanly, or played until its track ends, with every read of
// the input line doing bounded work. The line is read at irregular times, on a clock that may wrap.
#include "base/run_inputs.h"
#include "support.h"

#include "settings/flags.h"
#include "tape/tape.h"

#include <climits>

using namespace orv;
using orv::fuzz::check;
using orv::fuzz::startsWith;

namespace {

// Far more machine time than a file of the fuzzer's sizes can hold at the recorder's deltas.
constexpr unsigned long long CYCLE_BOUND = 1ull << 34;
constexpr int READ_BOUND = 50000;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint32_t seed = fuzz::hashOf(data, size);
    runInputs.mute = seed & 1;
    runInputs.diag = (seed >> 1) & 1;
    const std::string path = fuzz::writeScratch("in.mid", data, size);
    std::string message = "left from before";
    if (!tapeStartPlaying(path, message)) {
        check(!message.empty(), "refusal without a message");
        check(startsWith(message, "Error: ") || startsWith(message, "Sorry: "), "refusal of an unknown kind");
        check(tape.tapeState == 0 && tape.playFile == nullptr, "refused file left the tape running");
        return 0;
    }
    check(message.empty(), "start succeeded with a message");

    // Where the machine's clock stands at the first read, wrap of the signed count included.
    const std::int32_t anchors[] = {0, 123456, INT32_MAX - 1500000, -7};
    std::uint32_t now = static_cast<std::uint32_t>(anchors[seed >> 30]);
    unsigned long long elapsed = 0;
    for (int read = 0; read < READ_BOUND && elapsed < CYCLE_BOUND; ++read) {
        const int level = tapeInputBit(static_cast<std::int32_t>(now));
        check(level == 0 || level == 1, "input line neither 0 nor 1");
        check(tape.tapeCursor >= 0 && tape.tapeCursor <= tape.tapeLast + 1, "cursor outside the block");
        if (tape.trackEnded) {
            check(level == 1, "ended track reads low");
            break;
        }
        tapeActive(static_cast<std::int32_t>(now));
        if (read % 61 == 60) tapeSilence();
        // Mostly straight to the next change, sometimes a short step inside the level, sometimes a leap
        // over several changes at once.
        const std::uint32_t due = static_cast<std::uint32_t>(tape.nextEdgeCycle) - now;
        std::uint32_t step = 1;
        switch ((seed >> (read % 29)) & 3) {
        case 0: step = 1 + static_cast<std::uint32_t>(read * 37 % 400); break;
        case 1:
        case 2: step = due > 0 && due < 0x80000000u ? due : 1; break;
        case 3: step = 3000000; break;
        }
        now += step;
        elapsed += step;
    }

    tapeStop(message);
    check(message.empty(), "playing an ordinary file reported a failure at stop");
    check(tape.tapeState == 0 && tape.playFile == nullptr, "stop left the tape running");
    runInputs.mute = 0;
    runInputs.diag = 0;
    return 0;
}
