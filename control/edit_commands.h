// The Edit menu: the clipboard's text typed on the keypad, its bytes put into memory, and the display
// copied out as text and picture.
#pragma once

#include <QString>

namespace orv {

// Paste as Keys (Ctrl+Shift+V): the clipboard's text typed through the key feed (machine/key_feed.h),
// each character as the PC keyboard types it; Esc and the characters that press no key are left out.
// While a paste is going on the same command stops it.
void pasteAsKeysCommand();
// Stop Paste: the keys not yet typed are dropped.
void stopPasteCommand();
// Paste into Memory (Ctrl+V): a hex dump or Intel HEX text from the clipboard into memory, with a box
// saying what was written or which line is wrong. Bare bytes ask for their address first.
void pasteIntoMemoryCommand();
// Copy Display (Ctrl+C): the eight digits as text and the panel as a picture.
void copyDisplayCommand();

// True while keys of a paste are still to be typed.
bool pasteGoingOn();
// The paste's progress for the window title, as "Pasting 12 of 300 keys"; empty when none goes on.
QString pasteProgress();

} // namespace orv
