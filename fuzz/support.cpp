#include "support.h"

#include "machine/power.h"
#include "machine/rio.h"
#include "settings/flags.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdlib.h>
#include <unistd.h>

namespace orv {

namespace fuzz {

namespace {

std::string folder;

void removeFolder() {
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
}

} // namespace

const std::string& scratchDir() {
    if (folder.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / ("orv_fuzz_" + std::to_string(::getpid()) + "_XXXXXX"))
                .string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder = pattern;
        std::atexit(removeFolder);
    }
    return folder;
}

std::string writeScratch(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = scratchDir() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr, "scratch file could not be created");
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    check(std::fclose(file) == 0 && written, "scratch file could not be written");
    return path;
}

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

std::uint32_t hashOf(const std::uint8_t* data, std::size_t size) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
    return h;
}

void startBoard(const std::uint8_t* data, std::size_t size) {
    runInputs.diag = hashOf(data, size) & 1;
    machinePowerOn();
    rioReset();
}

void quietStandardOutput() {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

} // namespace fuzz
} // namespace orv
