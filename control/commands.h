// The window's command numbers and the one road every command takes: posted to the main window,
// handled there by onCommand in arrival order.
#pragma once

namespace orv {

// Key ids 0-23 are key commands; 24 is the reset key.
constexpr int CMD_KEY_LAST = 23;
constexpr int CMD_RESET = 24;
constexpr int CMD_POWER = 513;
constexpr int CMD_STEP = 514;
constexpr int CMD_HALT = 515;
constexpr int CMD_RUN = 516;
constexpr int CMD_TICK = 517;
constexpr int CMD_NMI = 518;
constexpr int CMD_IRQ = 519;
constexpr int CMD_RUN_HALT = 520;
constexpr int CMD_SAVE_AS = 769;
constexpr int CMD_LOAD = 770;
constexpr int CMD_DEBUG = 772;
constexpr int CMD_EXIT = 773;
constexpr int CMD_MENU = 774;
constexpr int CMD_KEYBOARD = 775;
constexpr int CMD_DEBUGGER_WINDOW = 776;
constexpr int CMD_TAPE_RECORD = 785;
constexpr int CMD_TAPE_PLAY = 786;
constexpr int CMD_TAPE_STOP = 787;
constexpr int CMD_TAPE_MUTE = 788;
constexpr int CMD_LOAD_BINARY = 789;
constexpr int CMD_SAVE_BINARY = 790;
constexpr int CMD_RECENT_FILES = 791; // the submenu's own item: never posted
constexpr int CMD_RELOAD = 792;
constexpr int CMD_RELOAD_ON_CHANGE = 793;
constexpr int CMD_SAVE_SCREENSHOT = 794;
constexpr int CMD_SAVE_STATE = 1040;
constexpr int CMD_LOAD_STATE = 1041;
constexpr int CMD_QUICK_SAVE = 1042;
constexpr int CMD_QUICK_LOAD = 1043;
constexpr int CMD_TURBO = 1056;
constexpr int CMD_RESTORE_MONITOR = 1088;
constexpr int CMD_PASTE_KEYS = 1024;
constexpr int CMD_STOP_PASTE = 1025;
constexpr int CMD_PASTE_MEMORY = 1026;
constexpr int CMD_COPY_DISPLAY = 1027;
constexpr int CMD_ABOUT = 801;
constexpr int CMD_WEBSITE = 802;
constexpr int CMD_EMULATOR_PAGES = 803;

// Queues the command for the main window; safe from any thread (the pacer posts ticks this way).
void postCommand(int command);
// Power off/on: the machine halted, powered on afresh and its RIO chips reset, with the click.
void powerCycleCommand();
// Restore Built-in Monitor: the monitor image put back into ROM over whatever was loaded there, then
// power off/on, so the board is as the program starts it.
void restoreMonitorCommand();
// Carries out one command on the window thread.
void onCommand(int command);

} // namespace orv
