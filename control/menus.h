// The main menu bar "orvmenu" and the right-button popup "orvpopup", both built from tables of
// (text, command); their item states are set each time a menu opens. Also the view switches.
#pragma once

#include <QPoint>
#include <QString>

#include <cstdint>

#include <span>

class QMenu;
class QMenuBar;

namespace orv {

// A separator is written as an item with command MENU_SEPARATOR.
constexpr int MENU_SEPARATOR = -1;

// How an item's keys work: only shown in its key column (the keypad's own keys: Pause, Space, Esc),
// or bound by the menu bar, which then works with the bar hidden too.
enum class MenuKeys : std::uint8_t { Shown, Bound };

struct MenuItem {
    const char* text; // with its "&" mnemonic, without the key column
    int command;
    const char* keys = nullptr; // the key column, in QKeySequence's portable text
    MenuKeys binding = MenuKeys::Shown;

    // The text a menu shows: the item's text, a tab and its keys.
    QString label() const;
};

struct MenuDescription {
    const char* title;
    std::span<const MenuItem> items;
};

// "&File", "&Edit", "&Action", "&View", "&Help", in the order of the bar.
extern const std::span<const MenuDescription> mainMenuDescription;
extern const std::span<const MenuItem> popupMenuDescription;

struct Menus {
    // The menu bar, kept for the life of the window whether it is shown or not.
    QMenuBar* mainMenu = nullptr;
    // Made at the first right-button press and kept.
    QMenu* popupMenu = nullptr;
};

extern Menus menus;

// Menu positions in the bar; each has its own rules for the item states.
constexpr int MENU_FILE = 0;
constexpr int MENU_EDIT = 1;
constexpr int MENU_ACTION = 2;
constexpr int MENU_VIEW = 3;
constexpr int MENU_HELP = 4;

// Builds the menu bar into the main window; hides it when `switches.menu` is off.
void createMainMenu();
// Enables, grays and checks the items of a menu by the rules of its position in the bar.
void setMenuStates(QMenu* submenu, int position);
// The popup menu with its top-left corner at a point of the panel.
void showPopupMenu(QPoint panelPoint);

// The view switches: Menu shows or hides the bar; Keyboard and Debug nudge the window so that the
// layout snaps it to the views now shown.
void toggleMenuBar();
void toggleKeys();
void toggleDebug();
// Moves the window to windowRect, one pixel higher (grow) or lower.
void nudgeWindow(bool grow);

} // namespace orv
