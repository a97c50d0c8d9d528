// The menu tree of the menu window as data: every menu, item and separator
// in tree order, with its component name, caption, shortcut and initial
// state. The menu window builds its menu bar from it and runs an item by
// looking its name up in the command registry, so a window built later
// adds its commands without touching the menu window. Window-free.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvelant {

enum class MenuItemKind {
    Menu,  // a menu (on the menu bar when it has no parent)
    Item,  // a command
    Option,  // a command that works on its own check mark
    WindowItem,  // shows a window; its check mark says whether it is shown
    Separator,
};

struct MenuItemSpec {
    const char* parent;  // the menu it is in; null: the menu bar
    const char* name;  // the component name, also the command's name; null for a separator
    const char* caption;
    const char* shortcut;  // portable key text ("Ctrl+Alt+D"), empty for none
    MenuItemKind kind;
    bool enabled;  // the initial state
    const char* window;  // WindowItem: the object name of the window it shows
};

// The whole tree; an entry's position is its order among its parent's.
std::span<const MenuItemSpec> MainMenuItems();
// The entry of this name, or null.
const MenuItemSpec* FindMenuItemSpec(std::string_view name);
// The top-level menu an entry of `items` sits in (its own name for a
// top-level menu).
std::string_view TopMenuOf(std::span<const MenuItemSpec> items, const MenuItemSpec& item);

// The menus of which only one is shown at a time (the File menus of the
// editor windows, and their Edit menus): 1 for the File group, 2 for the
// Edit group, 0 for a menu that is always there.
int SwitchedMenuGroup(std::string_view topMenu);

// Pairs of items (by name, in tree order) that can be live together and
// carry the same shortcut. Items of two menus of one switched group are
// never live together.
std::vector<std::pair<std::string, std::string>> ShortcutClashes(std::span<const MenuItemSpec> items);

}  // namespace morvelant
