// Files, bytes and a clean tape for the tape tests.
#pragma once

#include "base/run_inputs.h"
#include "settings/flags.h"
#include "support/file_io.h"
#include "support/midi_stub.h"
#include "tape/tape.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace orv::test {

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::uint32_t lengthAt18(const Bytes& file) {
    return std::uint32_t{file[18]} << 24 | std::uint32_t{file[19]} << 16 | std::uint32_t{file[20]} << 8 |
           file[21];
}

// The head a recording starts with, length still 0, text "Orvane bytes".
inline Bytes recordedHead() {
    return {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01, 0x13, 0x88, 0x4D,
            0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x01, 0x0C, 'O',  'r',  'v',  'a',
            'n',  'e',  ' ',  'b',  'y',  't',  'e',  's',  0x00, 0xB0, 0x07, 0x40, 0x00, 0xC0, 0x50,
            0x00, 0x90, 0x62, 0x7F, 0x81, 0x9C, 0x20, 0x62, 0x00, 0x00, 0x62, 0x7F};
}

inline Bytes trailer(std::uint8_t note) {
    return {0x81, 0x9C, 0x20, note, 0x00, 0x00, 0xFF, 0x2F, 0x00};
}

// A finished file: head, the given track bytes, trailer, and the length fixed.
inline Bytes recordedFile(const Bytes& groups, std::uint8_t finalNote) {
    Bytes file = recordedHead() + groups + trailer(finalNote);
    std::uint32_t length = static_cast<std::uint32_t>(file.size() - 22);
    for (int i = 0; i < 4; ++i) file[18 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    return file;
}

class TapeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string ignored;
        tapeStop(ignored); // closes the files a fresh record would lose
        tape = TapeRecord{};
        clearMidiRecord();
        runInputs.mute = 0;
        runInputs.diag = 0;
        // Per process too: the same tests may run in several builds at once.
        dir = std::filesystem::path(::testing::TempDir()) /
              ("orv_tape_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::string ignored;
        tapeStop(ignored);
        runInputs.mute = 0;
        runInputs.diag = 0;
        std::filesystem::remove_all(dir);
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    std::filesystem::path dir;
};

} // namespace orv::test
