// The Intel HEX reader on arbitrary text: no read outside the text, no undefined behaviour, and results
// that keep the reader's own promises.
#include "support.h"

#include "objfile/hex.h"

#include <cstring>
#include <memory>

using namespace orv;
using orv::fuzz::check;
using orv::fuzz::startsWith;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::startBoard(data, size);

    // Exactly the input, no NUL after it, so the sanitizer sees any read past the end.
    std::unique_ptr<char[]> text(new char[size ? size : 1]);
    if (size) std::memcpy(text.get(), data, size);
    std::string message = "left from before";
    const int count = loadHexText("fuzz.obj", text.get(), size, message);

    check(count >= 0, "negative byte count");
    // Every byte stored took two digits of the text.
    check(static_cast<std::size_t>(count) <= size / 2, "more bytes than the text can hold");
    check(message.empty() || startsWith(message, "Error"), "message that is no error");
    // A well-formed text without any data byte is refused.
    check(!message.empty() || count > 0, "success without bytes");
    return 0;
}
