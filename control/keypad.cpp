#include "control/keypad.h"

#include "base/run_inputs.h"
#include "control/commands.h"
#include "control/main_window.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/host.h"
#include "machine/key_feed.h"
#include "machine/keys.h"
#include "machine/rio.h"
#include "panel/layout.h"
#include "settings/settings.h"

#include <QApplication>
#include <QKeyEvent>

namespace orv {

KeyInput keyInput;

namespace {

constexpr int KEY_UP = keyWithLegend("^");
constexpr int KEY_DOWN = keyWithLegend("v");
// A key button posts its key id: the reset key's is the Reset command, the others are key commands.
static_assert(keyWithLegend("rst") == CMD_RESET && CMD_KEY_LAST == CMD_RESET - 1);

// The next hex digit shifted into a 16-bit field.
std::uint16_t shiftIn(std::uint16_t field, int digit) {
    return static_cast<std::uint16_t>(static_cast<unsigned>(field) << 4 | static_cast<unsigned>(digit));
}

void debuggerDigit(int digit) {
    switch (keyInput.debugMode) {
    case DEBUG_ADDRESS: settings.debugM = shiftIn(settings.debugM, digit); break;
    case DEBUG_DATA: {
        // Two digits make a byte: the older one moves up to the high nibble.
        const unsigned old = busRead(settings.debugM);
        busWrite(settings.debugM, static_cast<std::uint8_t>(old << 4 | static_cast<unsigned>(digit)), 0);
        break;
    }
    case DEBUG_GO: settings.debugG = shiftIn(settings.debugG, digit); break;
    case DEBUG_BREAKPOINT:
        settings.debugP = shiftIn(settings.debugP, digit);
        cpuSetBreakpoint(settings.debugP);
        break;
    default: break;
    }
}

void debuggerFunction(char label) {
    const bool onMemory = keyInput.debugMode == DEBUG_ADDRESS || keyInput.debugMode == DEBUG_DATA;
    switch (label) {
    case 'm': keyInput.debugMode = keyInput.debugMode == DEBUG_ADDRESS ? DEBUG_DATA : DEBUG_ADDRESS; break;
    case 'g':
        if (keyInput.debugMode == DEBUG_GO) {
            keyInput.debugMode = DEBUG_IDLE;
            cpuSetPc(settings.debugG);
            postCommand(CMD_RUN);
        } else {
            keyInput.debugMode = DEBUG_GO;
        }
        break;
    case 'p': keyInput.debugMode = DEBUG_BREAKPOINT; break;
    case '^':
        if (onMemory) settings.debugM = static_cast<std::uint16_t>(settings.debugM + 1u);
        break;
    case 'v':
        if (onMemory) settings.debugM = static_cast<std::uint16_t>(settings.debugM - 1u);
        break;
    default: break;
    }
}

bool plainKey(Qt::KeyboardModifiers modifiers) {
#ifdef Q_OS_WIN
    // Windows reports AltGr as Ctrl+Alt; what it types is a character of the layout.
    if ((modifiers & (Qt::ControlModifier | Qt::AltModifier)) == (Qt::ControlModifier | Qt::AltModifier))
        modifiers &= ~(Qt::ControlModifier | Qt::AltModifier);
#endif
    return !(modifiers & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier));
}

} // namespace

void keyCommand(int key) {
    // Only key ids reach the keypad; a stray command number is no key at all.
    if (key >= 0 && key <= CMD_KEY_LAST) {
        if (runInputs.halted) {
            debuggerKey(key);
        } else if (keyInput.keyQueueCount == KEY_QUEUE_SIZE) {
            ++keyInput.beepCount;
            QApplication::beep();
        } else {
            keyInput.keyQueue[static_cast<std::size_t>(keyInput.keyQueueCount++)] = key;
        }
    }
    // A clicked button takes the focus; typing must keep reaching the window.
    if (windowParts.mainWindow) windowParts.mainWindow->setFocus();
}

void debuggerKey(int key) {
    if (!runInputs.debug || key < 0 || key > CMD_KEY_LAST) return;
    // The function keys are told apart by their legends.
    const char label = keyTable[static_cast<std::size_t>(key)].legend[0];
    switch (label) {
    case 's':
        keyInput.debugMode = DEBUG_IDLE;
        postCommand(CMD_SAVE_AS);
        return;
    case 'l':
        keyInput.debugMode = DEBUG_IDLE;
        postCommand(CMD_LOAD);
        return;
    case 'r':
        keyInput.debugMode = DEBUG_IDLE;
        postCommand(CMD_RUN);
        return;
    default: break;
    }
    if (key < 16) {
        // Digits mean nothing until a field is chosen, and then nothing needs repainting.
        if (keyInput.debugMode == DEBUG_IDLE) return;
        debuggerDigit(key);
    } else {
        debuggerFunction(label);
    }
    repaintArea(AREA_DEBUG);
}

void advanceKeyQueue() {
    if (keyInput.keyQueueCount == 0) return;
    if (!keyInput.keyHeld) {
        // A paste has the keypad until its last key is let go: typed keys wait their turn.
        if (keyFeedBusy()) return;
        keyInput.keyHeld = true;
        keyFeedBlock(true);
        keyDown(keyInput.keyQueue[0]);
        return;
    }
    // Released for a whole tick before the next key goes down.
    keyInput.keyHeld = false;
    --keyInput.keyQueueCount;
    for (std::int32_t i = 0; i < keyInput.keyQueueCount; ++i)
        keyInput.keyQueue[static_cast<std::size_t>(i)] = keyInput.keyQueue[static_cast<std::size_t>(i + 1)];
    keyUp();
    keyFeedBlock(false);
}

void keyDownMessage(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Pause: postCommand(CMD_RUN_HALT); break;
    case Qt::Key_Up: postCommand(KEY_UP); break;
    case Qt::Key_Down: postCommand(KEY_DOWN); break;
    case Qt::Key_F1: postCommand(CMD_ABOUT); break;
    default: break;
    }
}

void keyPressMessage(const QKeyEvent& e) {
    if (!plainKey(e.modifiers())) return;
    // A key may give both: Pause, the arrows and F1 by their key, everything else by its character.
    keyDownMessage(e.key());
    for (const char32_t character : e.text().toUcs4()) characterMessage(character);
}

void characterMessage(char32_t character) {
    // A key's characters post its id, Esc the reset key's: the Reset command.
    if (const int key = keyOfCharacter(character); key >= 0) {
        postCommand(key);
        return;
    }
    switch (character) {
    case ' ':
        if (runInputs.halted) postCommand(CMD_STEP);
        break;
    case '.':
        if (runInputs.halted) postCommand(CMD_TICK);
        break;
    case '+': zoomWindow(1); break;
    case '-': zoomWindow(-1); break;
    default: break;
    }
}

} // namespace orv
