// Writes the key-click sound: 8-bit unsigned mono PCM at 22,050 Hz, 3,020 samples.
// A short burst of a damped 1.8 kHz tone with a little noise at the attack, computed with
// integer arithmetic only so every build writes the same bytes.
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr std::uint32_t SAMPLE_RATE = 22050;
constexpr std::uint32_t SAMPLE_COUNT = 3020;

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putTag(std::vector<std::uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

// One period of a sine in 64 steps, amplitude 1024.
constexpr int SINE[16] = {0, 100, 200, 297, 392, 483, 569, 650, 724, 792, 851, 903, 946, 980, 1004, 1019};

int sine64(std::uint32_t phase) {
    const std::uint32_t quarter = (phase >> 4) & 3, step = phase & 15;
    switch (quarter) {
    case 0: return SINE[step];
    case 1: return step == 0 ? 1024 : SINE[16 - step];
    case 2: return -SINE[step];
    default: return step == 0 ? -1024 : -SINE[16 - step];
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.wav\n", argv[0]);
        return 2;
    }
    std::vector<std::uint8_t> samples;
    samples.reserve(SAMPLE_COUNT);
    std::uint32_t noise = 0x1234567u;
    std::uint32_t envelope = 1u << 16; // 16.16 fixed point
    for (std::uint32_t n = 0; n < SAMPLE_COUNT; ++n) {
        // 1.8 kHz: 64 phase steps per period, phase advanced in 16.16 fixed point.
        const std::uint32_t phase =
            static_cast<std::uint32_t>((std::uint64_t{n} * 64 * 1800 * 65536 / SAMPLE_RATE) >> 16);
        int value = sine64(phase);
        noise = noise * 1103515245u + 12345u;
        if (n < 200) value += static_cast<int>((noise >> 16) & 1023) - 512;
        value = static_cast<int>((static_cast<std::int64_t>(value) * envelope) >> 16);
        envelope -= envelope >> 8; // about 12 ms to fall to a third
        int sample = 128 + value * 100 / 1024;
        if (sample < 0) sample = 0;
        if (sample > 255) sample = 255;
        samples.push_back(static_cast<std::uint8_t>(sample));
    }

    std::vector<std::uint8_t> out;
    putTag(out, "RIFF");
    put32(out, 36 + SAMPLE_COUNT);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, SAMPLE_RATE);
    put32(out, SAMPLE_RATE); // bytes per second
    put16(out, 1);           // block align
    put16(out, 8);           // bits per sample
    putTag(out, "data");
    put32(out, SAMPLE_COUNT);
    out.insert(out.end(), samples.begin(), samples.end());

    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    if (std::fclose(file) != 0 || !ok) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
