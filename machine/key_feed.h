// The key feed: a line of keys typed on the keypad at the pace the running program takes them, however
// long the line. Each key is held down until the program has read its column a number of times (and for
// a least number of cycles), then let go until the program has read that column as often again with no
// key down; only then does the next key go down. A program that stops reading the keypad stops the feed,
// and no key is lost: the feed follows the machine's own reads and cycles, never the wall clock, so it
// keeps step at any speed the machine is run at.
//
// The reads come from rioRead (RIO 0's port A): every read calls keyFeedScanned with the column the
// digit lines select, after the read has taken its value, so a key pressed or let go there shows from
// the next read on.
//
// Use: keyFeedAdd / keyFeedAddText to queue keys, run the machine, keyFeedBusy to wait for the end,
// keyFeedStop to drop what is left, keyFeedLeft for progress.
#pragma once

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

namespace orv {

// How long each key stays down and up, in reads of its column and in cycles; both must be reached.
// The monitor reports a key on the second read of its column that sees it and takes it as let go on
// the first read without it; these counts leave one read to spare each way.
struct KeyFeedPace {
    std::int32_t holdScans = 3;
    std::int32_t releaseScans = 2;
    std::int32_t minimumCycles = 20000; // 20 ms at 1 MHz, for programs that time their debounce
};

enum class KeyFeedPhase : std::uint8_t {
    idle,      // nothing down, the last key seen let go
    holding,   // `key` is down
    releasing, // `key` has been let go; waiting for the program to see that
};

struct KeyFeedRecord {
    std::deque<int> keys; // waiting to go down, head first
    KeyFeedPhase phase = KeyFeedPhase::idle;
    int key = -1;
    std::uint8_t column = 0; // the column counted in this phase
    std::int32_t scans = 0;  // reads of `column` in this phase
    std::int32_t since = 0;  // cycles when this phase began
    bool blocked = false;    // another source holds a key on the keypad: the feed waits
    KeyFeedPace pace;
};

extern KeyFeedRecord keyFeed;

// The keys a text types, as the PC keyboard types its characters (machine/keys.h): a line end, "\n",
// "\r" or "\r\n", is Enter, the "^" key. The reset key and characters that press no key are left out.
// The text is UTF-8 or plain ASCII; other characters press nothing.
std::vector<int> keysOfText(std::string_view text);

// Paste as Keys' box for a text that types nothing.
constexpr const char* PASTE_KEYS_CAPTION = "Paste as Keys";
constexpr const char* NO_KEYS_TEXT = "The clipboard holds no text the keypad can type.";

// Queue a key id 0-23 (others are ignored), or a text's keys; the first goes down at once when the
// keypad is free. keyFeedAddText returns how many keys it queued.
void keyFeedAdd(int key);
std::size_t keyFeedAddText(std::string_view text);
// Drop the waiting keys and let go of a held one (the program still gets to see it let go).
void keyFeedStop();
// Keys waiting or one down.
bool keyFeedBusy();
// Keys waiting, the one down included.
std::size_t keyFeedLeft();

// A read of RIO 0's port A with `column` selected, after its value was taken.
void keyFeedScanned(std::uint8_t column);
// Another source of keys (the PC keyboard's queue) holds a key on the keypad, or has let it go. While
// blocked the feed presses nothing; afterwards it first waits for that key to be seen let go.
void keyFeedBlock(bool blocked);

} // namespace orv
