#include "machine/key_feed.h"

#include "machine/cpu.h"
#include "machine/keys.h"
#include "machine/rio.h"

namespace orv {

KeyFeedRecord keyFeed;

namespace {

constexpr int RESET_KEY = keyWithLegend("rst");

void startPhase(KeyFeedPhase phase) {
    keyFeed.phase = phase;
    keyFeed.scans = 0;
    keyFeed.since = cpu.cycles;
}

void pressNext() {
    keyFeed.key = keyFeed.keys.front();
    keyFeed.keys.pop_front();
    keyFeed.column = keyTable[static_cast<std::size_t>(keyFeed.key)].column;
    keyDown(keyFeed.key);
    startPhase(KeyFeedPhase::holding);
}

bool phaseDone() {
    const KeyFeedPace& pace = keyFeed.pace;
    const std::int32_t need = keyFeed.phase == KeyFeedPhase::holding ? pace.holdScans : pace.releaseScans;
    // Unsigned: the cycle counter wraps.
    const auto elapsed = static_cast<std::uint32_t>(cpu.cycles) - static_cast<std::uint32_t>(keyFeed.since);
    return keyFeed.scans >= need && elapsed >= static_cast<std::uint32_t>(pace.minimumCycles);
}

} // namespace

std::vector<int> keysOfText(std::string_view text) {
    std::vector<int> keys;
    keys.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        // Every line end is one Enter, whichever convention the text came with.
        if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            c = '\r';
        }
        // Bytes of UTF-8 sequences are all above 0x7F: no key.
        const int key = keyOfCharacter(static_cast<unsigned char>(c));
        if (key >= 0 && key != RESET_KEY) keys.push_back(key);
    }
    return keys;
}

void keyFeedAdd(int key) {
    if (key < 0 || key >= RESET_KEY) return;
    keyFeed.keys.push_back(key);
    if (keyFeed.phase == KeyFeedPhase::idle && !keyFeed.blocked) pressNext();
}

std::size_t keyFeedAddText(std::string_view text) {
    const std::vector<int> keys = keysOfText(text);
    for (const int key : keys) keyFeedAdd(key);
    return keys.size();
}

void keyFeedStop() {
    keyFeed.keys.clear();
    if (keyFeed.phase == KeyFeedPhase::holding) {
        keyUp();
        startPhase(KeyFeedPhase::releasing);
    }
}

bool keyFeedBusy() {
    return !keyFeed.keys.empty() || keyFeed.phase == KeyFeedPhase::holding;
}

std::size_t keyFeedLeft() {
    return keyFeed.keys.size() + (keyFeed.phase == KeyFeedPhase::holding ? 1 : 0);
}

void keyFeedScanned(std::uint8_t column) {
    if (keyFeed.blocked || keyFeed.phase == KeyFeedPhase::idle || column != keyFeed.column) return;
    ++keyFeed.scans;
    if (!phaseDone()) return;
    if (keyFeed.phase == KeyFeedPhase::holding) {
        keyUp();
        startPhase(KeyFeedPhase::releasing);
    } else if (!keyFeed.keys.empty()) {
        pressNext();
    } else {
        keyFeed.phase = KeyFeedPhase::idle;
    }
}

void keyFeedBlock(bool blocked) {
    if (blocked == keyFeed.blocked) return;
    keyFeed.blocked = blocked;
    if (blocked) return;
    // The other source's key was the last one down: the program must see it let go first.
    keyFeed.key = -1;
    keyFeed.column = keypad.keyColumn;
    startPhase(KeyFeedPhase::releasing);
}

} // namespace orv
