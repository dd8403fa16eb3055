#include "control/menus.h"

#include "base/run_inputs.h"
#include "control/commands.h"
#include "control/edit_commands.h"
#include "control/main_window.h"
#include "control/program_files.h"
#include "debugger/debugger_window.h"
#include "panel/panel_widget.h"
#include "settings/file_history.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "tape/tape.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include <array>

namespace orv {

Menus menus;

namespace {

constexpr MenuItem separator{nullptr, MENU_SEPARATOR};

constexpr std::array fileItems = {
    MenuItem{"&Save As", CMD_SAVE_AS},
    MenuItem{"&Load", CMD_LOAD},
    separator,
    MenuItem{"Tape &Record", CMD_TAPE_RECORD},
    MenuItem{"Tape &Play", CMD_TAPE_PLAY},
    MenuItem{"Tape S&top", CMD_TAPE_STOP},
    MenuItem{"Tape &Mute", CMD_TAPE_MUTE},
    separator,
    MenuItem{"E&xit", CMD_EXIT},
    separator,
    MenuItem{"Load &Binary...", CMD_LOAD_BINARY},
    MenuItem{"Save B&inary...", CMD_SAVE_BINARY},
    MenuItem{"Recent &Files", CMD_RECENT_FILES},
    MenuItem{"R&eload", CMD_RELOAD, "Ctrl+R", MenuKeys::Bound},
    MenuItem{"Reload &when the file changes", CMD_RELOAD_ON_CHANGE},
    MenuItem{"Save Scree&nshot...", CMD_SAVE_SCREENSHOT},
    separator,
    MenuItem{"Sa&ve State...", CMD_SAVE_STATE},
    MenuItem{"Load St&ate...", CMD_LOAD_STATE},
    MenuItem{"&Quick Save State", CMD_QUICK_SAVE, "F5", MenuKeys::Bound},
    MenuItem{"Quick Loa&d State", CMD_QUICK_LOAD, "F9", MenuKeys::Bound},
};
constexpr std::array editItems = {
    MenuItem{"Paste as &Keys", CMD_PASTE_KEYS, "Ctrl+Shift+V", MenuKeys::Bound},
    MenuItem{"&Stop Paste", CMD_STOP_PASTE},
    MenuItem{"&Paste into Memory", CMD_PASTE_MEMORY, "Ctrl+V", MenuKeys::Bound},
    separator,
    MenuItem{"&Copy Display", CMD_COPY_DISPLAY, "Ctrl+C", MenuKeys::Bound},
};
constexpr std::array actionItems = {
    MenuItem{"&Halt", CMD_HALT, "Pause"},
    MenuItem{"&Step", CMD_STEP, "Space"},
    MenuItem{"&Run", CMD_RUN, "Pause"},
    separator,
    MenuItem{"Rese&t", CMD_RESET, "Esc"},
    MenuItem{"&IRQ", CMD_IRQ},
    MenuItem{"&NMI", CMD_NMI},
    MenuItem{"&Power off/on", CMD_POWER},
    separator,
    MenuItem{"&Turbo", CMD_TURBO, "F11", MenuKeys::Bound},
    separator,
    MenuItem{"Restore Built-in &Monitor", CMD_RESTORE_MONITOR},
};
constexpr std::array viewItems = {
    MenuItem{"&Menu", CMD_MENU},
    MenuItem{"&Keyboard", CMD_KEYBOARD},
    MenuItem{"&Debug", CMD_DEBUG},
    separator,
    MenuItem{"Debu&gger window", CMD_DEBUGGER_WINDOW, "Ctrl+D", MenuKeys::Bound},
};
constexpr std::array helpItems = {
    MenuItem{"&Website", CMD_WEBSITE},
    MenuItem{"&Emulator pages", CMD_EMULATOR_PAGES},
    separator,
    MenuItem{"&About", CMD_ABOUT},
};
constexpr std::array mainMenus = {
    MenuDescription{"&File", fileItems},     MenuDescription{"&Edit", editItems},
    MenuDescription{"&Action", actionItems}, MenuDescription{"&View", viewItems},
    MenuDescription{"&Help", helpItems},
};

constexpr std::array popupItems = {
    MenuItem{"&Save As", CMD_SAVE_AS},
    MenuItem{"&Load", CMD_LOAD},
    MenuItem{"Tape &Record", CMD_TAPE_RECORD},
    MenuItem{"Tape &Play", CMD_TAPE_PLAY},
    MenuItem{"Tape S&top", CMD_TAPE_STOP},
    MenuItem{"Tape &Mute", CMD_TAPE_MUTE},
    separator,
    MenuItem{"&Halt", CMD_HALT, "Pause"},
    MenuItem{"&Step", CMD_STEP, "Space"},
    MenuItem{"&Run", CMD_RUN, "Pause"},
    MenuItem{"Rese&t", CMD_RESET, "Esc"},
    MenuItem{"&IRQ", CMD_IRQ},
    MenuItem{"&NMI", CMD_NMI},
    MenuItem{"&Power off/on", CMD_POWER},
    separator,
    MenuItem{"&Menu", CMD_MENU},
    MenuItem{"&Keyboard", CMD_KEYBOARD},
    MenuItem{"&Debug", CMD_DEBUG},
    separator,
    MenuItem{"&Website", CMD_WEBSITE},
    MenuItem{"&Emulator pages", CMD_EMULATOR_PAGES},
    MenuItem{"&About", CMD_ABOUT},
    separator,
    MenuItem{"E&xit", CMD_EXIT},
    // The bar's other commands. Thirty-odd items cannot all have a letter of their own: the items
    // above keep the bar's letters, and these take letters that differ among themselves.
    separator,
    MenuItem{"Load &Binary...", CMD_LOAD_BINARY},
    MenuItem{"Save Binar&y...", CMD_SAVE_BINARY},
    MenuItem{"Recent &Files", CMD_RECENT_FILES},
    MenuItem{"Reloa&d", CMD_RELOAD, "Ctrl+R", MenuKeys::Bound},
    MenuItem{"Reload when the file c&hanges", CMD_RELOAD_ON_CHANGE},
    MenuItem{"Save Scree&nshot...", CMD_SAVE_SCREENSHOT},
    separator,
    MenuItem{"Sa&ve State...", CMD_SAVE_STATE},
    MenuItem{"L&oad State...", CMD_LOAD_STATE},
    MenuItem{"&Quick Save State", CMD_QUICK_SAVE, "F5", MenuKeys::Bound},
    MenuItem{"Quic&k Load State", CMD_QUICK_LOAD, "F9", MenuKeys::Bound},
    separator,
    MenuItem{"T&urbo", CMD_TURBO, "F11", MenuKeys::Bound},
    MenuItem{"Restore Built-&in Monitor", CMD_RESTORE_MONITOR},
    separator,
    MenuItem{"Debu&gger window", CMD_DEBUGGER_WINDOW, "Ctrl+D", MenuKeys::Bound},
};

bool isCheckItem(int command) {
    return command == CMD_TAPE_MUTE || command == CMD_MENU || command == CMD_KEYBOARD ||
           command == CMD_DEBUG || command == CMD_DEBUGGER_WINDOW || command == CMD_TURBO ||
           command == CMD_RELOAD_ON_CHANGE;
}

// The bar binds the keys of its items; the popup only shows them, as one key must not mean two actions.
void fillMenu(QMenu* menu, std::span<const MenuItem> items, bool bindKeys) {
    for (const MenuItem& item : items) {
        if (item.command == MENU_SEPARATOR) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(item.label());
        action->setData(item.command);
        action->setCheckable(isCheckItem(item.command));
        if (bindKeys && item.binding == MenuKeys::Bound) {
            action->setShortcut(QKeySequence(QString::fromLatin1(item.keys), QKeySequence::PortableText));
            // Also with the menu bar hidden.
            windowParts.mainWindow->addAction(action);
        }
        const int command = item.command;
        QObject::connect(action, &QAction::triggered, [command] { postCommand(command); });
    }
}

void fileRules(QAction* action, int command) {
    const bool tapeBusy = tape.tapeState != 0;
    switch (command) {
    case CMD_TAPE_RECORD:
    case CMD_TAPE_PLAY: action->setEnabled(!tapeBusy && !runInputs.halted); break;
    case CMD_TAPE_STOP: action->setEnabled(tapeBusy); break;
    case CMD_TAPE_MUTE: action->setChecked(runInputs.mute != 0); break;
    case CMD_RELOAD: action->setEnabled(reloadAvailable()); break;
    case CMD_RELOAD_ON_CHANGE: action->setChecked(fileHistory.reloadOnChange); break;
    default: break;
    }
}

void editRules(QAction* action, int command) {
    if (command == CMD_STOP_PASTE) action->setEnabled(pasteGoingOn());
}

void actionRules(QAction* action, int command) {
    switch (command) {
    case CMD_HALT: action->setEnabled(!runInputs.halted); break;
    case CMD_STEP:
    case CMD_RUN: action->setEnabled(runInputs.halted); break;
    case CMD_TURBO: action->setChecked(runInputs.turbo); break;
    default: break;
    }
}

void viewRules(QAction* action, int command) {
    switch (command) {
    case CMD_DEBUG: action->setChecked(runInputs.debug != 0); break;
    case CMD_MENU: action->setChecked(switches.menu != 0); break;
    case CMD_KEYBOARD: action->setChecked(switches.keys != 0); break;
    case CMD_DEBUGGER_WINDOW: action->setChecked(debuggerWindowShown()); break;
    default: break;
    }
}

template <typename Rules>
void applyRules(QMenu* submenu, Rules rules) {
    for (QAction* action : submenu->actions()) {
        if (!action->isSeparator()) rules(action, action->data().toInt());
    }
}

} // namespace

QString MenuItem::label() const {
    const QString shown = QString::fromLatin1(text);
    return keys ? shown + '\t' + QString::fromLatin1(keys) : shown;
}

const std::span<const MenuDescription> mainMenuDescription = mainMenus;
const std::span<const MenuItem> popupMenuDescription = popupItems;

void createMainMenu() {
    menus.mainMenu = windowParts.mainWindow->menuBar();
    for (int position = 0; position < static_cast<int>(mainMenus.size()); ++position) {
        QMenu* submenu = menus.mainMenu->addMenu(QString::fromLatin1(mainMenus[position].title));
        fillMenu(submenu, mainMenus[position].items, true);
        QObject::connect(submenu, &QMenu::aboutToShow,
                         [submenu, position] { setMenuStates(submenu, position); });
    }
    if (!switches.menu) menus.mainMenu->hide();
}

void setMenuStates(QMenu* submenu, int position) {
    switch (position) {
    case MENU_FILE: applyRules(submenu, fileRules); break;
    case MENU_EDIT: applyRules(submenu, editRules); break;
    case MENU_ACTION: applyRules(submenu, actionRules); break;
    case MENU_VIEW: applyRules(submenu, viewRules); break;
    default: break;
    }
}

void showPopupMenu(QPoint panelPoint) {
    if (!menus.popupMenu) {
        menus.popupMenu = new QMenu(windowParts.mainWindow);
        fillMenu(menus.popupMenu, popupItems, false);
        for (QAction* action : menus.popupMenu->actions())
            if (action->data().toInt() == CMD_RECENT_FILES) equipRecentFiles(action);
        // Opening it runs the File rules, as for the first menu of the bar.
        QObject::connect(menus.popupMenu, &QMenu::aboutToShow,
                         [] { setMenuStates(menus.popupMenu, MENU_FILE); });
    }
    setMenuStates(menus.popupMenu, MENU_ACTION);
    setMenuStates(menus.popupMenu, MENU_VIEW);
    menus.popupMenu->popup(windowParts.panelWidget->mapToGlobal(panelPoint));
}

void toggleMenuBar() {
    switches.menu = !switches.menu;
    // The client height changes with it; the size notification that follows snaps the window.
    if (menus.mainMenu) menus.mainMenu->setVisible(switches.menu != 0);
}

void toggleKeys() {
    switches.keys = !switches.keys;
    nudgeWindow(switches.keys != 0);
}

void toggleDebug() {
    runInputs.debug = !runInputs.debug;
    nudgeWindow(runInputs.debug != 0);
}

void nudgeWindow(bool grow) {
    if (!windowParts.mainWindow) return;
    readWindowPlace();
    const QRect outer = windowParts.mainWindow->frameGeometry();
    const int frameWidth = outer.width() - windowParts.mainWindow->width();
    const int frameHeight = outer.height() - windowParts.mainWindow->height();
    const int height = settings.windowRect.bottom - settings.windowRect.top + (grow ? 1 : -1);
    windowParts.mainWindow->move(settings.windowRect.left, settings.windowRect.top);
    windowParts.mainWindow->resize(settings.windowRect.right - settings.windowRect.left - frameWidth,
                                   height - frameHeight);
}

} // namespace orv
