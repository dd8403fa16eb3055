// Save states: a refused input changes nothing on the board, and bytes and file give the same answer. A
// state that loads saves back to the same records. Half the inputs get a good checksum first, so that the
// fuzzer gets past it to the records.
#include "support.h"

#include "machine/machine_state.h"
#include "machine/save_state.h"

#include <string>
#include <vector>

using namespace orv;
using orv::fuzz::check;

namespace {

// The run state byte: saved from the program's `halted`, which loading leaves alone.
constexpr std::size_t HALTED_AT = STATE_HEADER_SIZE + 23;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::startBoard(data, size);
    std::vector<std::uint8_t> input(data, data + size);
    if ((fuzz::hashOf(data, size) & 2) && size >= STATE_HEADER_SIZE + 4) {
        const std::uint32_t sum = crc32(input.data(), size - 4);
        for (int i = 0; i < 4; ++i)
            input[size - 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(sum >> (8 * i));
    }
    const std::vector<std::uint8_t> before = saveState();

    std::string message;
    const bool loaded = loadState(input.data(), input.size(), message);
    // A loaded state's overrun is the saver's to give back.
    const std::vector<std::uint8_t> after = loaded ? saveState(loadedStateOverrun()) : saveState();
    if (!loaded) {
        check(fuzz::startsWith(message, "Error: the data "), "a refusal without its message");
        check(after == before, "a refused state changed the board");
    } else {
        check(message.empty(), "a message with a good state and no tape");
        check(input.size() == after.size(), "a state loaded from bytes of another length");
        for (std::size_t i = 0; i + 4 < after.size(); ++i)
            check(i == HALTED_AT || after[i] == input[i], "a loaded state saves back different records");
    }

    // The file reader gives the same answer, naming the file.
    fuzz::startBoard(data, size);
    const std::vector<std::uint8_t> beforeFile = saveState();
    const std::string path = fuzz::writeScratch("in.orvstate", input.data(), input.size());
    std::string fileMessage;
    const bool fromFile = loadStateFile(path, fileMessage);
    check(fromFile == loaded, "file and bytes load differently");
    if (!loaded) {
        check(fileMessage.size() > 6 && message.size() > 16 &&
                  fileMessage.substr(fileMessage.find('\'', 13) + 1) == message.substr(15),
              "file and bytes give different reasons");
        check(saveState() == beforeFile, "a refused state file changed the board");
    } else {
        check(saveState(loadedStateOverrun()) == after, "file and bytes load different boards");
    }
    return 0;
}
