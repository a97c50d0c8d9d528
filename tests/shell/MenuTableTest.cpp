// The menu tree as data: every entry hangs under a menu that comes before
// it, names are unique, and shortcuts are checked as a rule over the table.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "shell/MenuTable.h"

namespace morvelant {
namespace {

TEST(MenuTable, EveryEntryHangsUnderAnEarlierMenuAndNamesAreUnique) {
    std::set<std::string> menus, names;
    for (const MenuItemSpec& item : MainMenuItems()) {
        if (item.parent != nullptr) { EXPECT_TRUE(menus.count(item.parent)) << item.parent; }
        if (item.kind == MenuItemKind::Separator) continue;
        ASSERT_NE(item.name, nullptr);
        EXPECT_TRUE(names.insert(item.name).second) << item.name;
        if (item.kind == MenuItemKind::Menu) menus.insert(item.name);
        EXPECT_EQ(item.kind == MenuItemKind::WindowItem, item.window != nullptr) << item.name;
    }
    EXPECT_EQ(names.size(), 178u);
}

TEST(MenuTable, OnlyTheKnownPairSharesAKeyWhileBothAreLive) {
    // "Send Preset" and "Preset Notes" share Ctrl+N while the virtual device
    // window's File menu shows; the first in the tree keeps the key. The
    // File and Edit menus of the other windows never show together.
    const auto clashes = ShortcutClashes(MainMenuItems());
    EXPECT_EQ(clashes,
              (std::vector<std::pair<std::string, std::string>>{{"MainMenuSendPreset", "MainFormWindowsPresetNotes"}}));
}

TEST(MenuTable, TheRuleSeesClashesOfAnyTable) {
    const MenuItemSpec items[] = {
        {nullptr, "FileA", "&File", "", MenuItemKind::Menu, true, nullptr},
        {"FileA", "A1", "a", "Ctrl+A", MenuItemKind::Item, true, nullptr},
        {nullptr, "MainFormFileMenu", "&File", "", MenuItemKind::Menu, true, nullptr},
        {"MainFormFileMenu", "M1", "m", "Ctrl+A", MenuItemKind::Item, true, nullptr},
        {nullptr, "PresetFormFileMenu", "&File", "", MenuItemKind::Menu, true, nullptr},
        {"PresetFormFileMenu", "P1", "p", "Ctrl+B", MenuItemKind::Item, true, nullptr},
        {"PresetFormFileMenu", "P2", "q", "Ctrl+B", MenuItemKind::Item, true, nullptr},
        {"MainFormFileMenu", "M2", "n", "Ctrl+B", MenuItemKind::Item, true, nullptr},
    };
    // FileA is always there; two items of one menu always show together.
    EXPECT_EQ(ShortcutClashes(items), (std::vector<std::pair<std::string, std::string>>{{"A1", "M1"}, {"P1", "P2"}}));
}

}  // namespace
}  // namespace morvelant
