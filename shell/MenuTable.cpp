#include "shell/MenuTable.h"

#include <map>

namespace morvelant {

namespace {

using K = MenuItemKind;
constexpr bool on = true;
constexpr bool off = false;

#define MENU(parent, name, caption) \
    { parent, name, caption, "", K::Menu, on, nullptr }
#define ITEM(parent, name, caption, keys) \
    { parent, name, caption, keys, K::Item, on, nullptr }
#define ITEM_OFF(parent, name, caption) \
    { parent, name, caption, "", K::Item, off, nullptr }
#define OPTION(parent, name, caption) \
    { parent, name, caption, "", K::Option, on, nullptr }
#define WINDOW(parent, name, caption, keys, form) \
    { parent, name, caption, keys, K::WindowItem, on, form }
#define SEPARATOR(parent) \
    { parent, nullptr, "", "", K::Separator, on, nullptr }

const MenuItemSpec kItems[] = {
    // ---- File menu of the virtual device window ----
    MENU(nullptr, "MainFormFileMenu", "&File"),
    MENU("MainFormFileMenu", "InitPreset3", "&Init Preset"),
    ITEM("InitPreset3", "MainMenuFactoryInitPreset", "&Factory Init", ""),
    ITEM("InitPreset3", "MainMenuNoStatusPreset", "&No Status", ""),
    ITEM("InitPreset3", "MainMenuMidiCtrlPreset", "&Midi Controllers", ""),
    ITEM("MainFormFileMenu", "PresetSnapshot1", "Preset Snapshot", ""),
    SEPARATOR("MainFormFileMenu"),
    ITEM("MainFormFileMenu", "MainMenuOpenPreset", "&Open Preset", "Ctrl+O"),
    SEPARATOR("MainFormFileMenu"),
    ITEM("MainFormFileMenu", "MainMenuSavePreset", "&Save Preset", "Ctrl+S"),
    SEPARATOR("MainFormFileMenu"),
    ITEM("MainFormFileMenu", "MainMenuDisplayAllFaderParameters", "&Display All Fader Parameters", "Ctrl+Alt+D"),
    ITEM("MainFormFileMenu", "MainMenuDisplayFaderKeyDescription", "&Display Fader && Key Description", "Ctrl+D"),
    SEPARATOR("MainFormFileMenu"),
    ITEM("MainFormFileMenu", "MainMenuPrintAllFaderParameters", "&Print All Fader Parameters", "Ctrl+Alt+P"),
    ITEM("MainFormFileMenu", "MainMenuPrintFaderKeyDescription", "&Print Fader && Key Description", "Ctrl+P"),
    SEPARATOR("MainFormFileMenu"),
    ITEM("MainFormFileMenu", "MainMenuSendPreset", "Se&nd Preset", "Ctrl+N"),
    SEPARATOR("MainFormFileMenu"),
    ITEM("MainFormFileMenu", "MainMenuClose", "&Close", ""),
    SEPARATOR("MainFormFileMenu"),
    ITEM("MainFormFileMenu", "MainMenuExit", "E&xit", ""),

    // ---- File menu of the preset list window ----
    MENU(nullptr, "PresetFormFileMenu", "&File"),
    MENU("PresetFormFileMenu", "Init7", "&Init"),
    MENU("Init7", "SinglePreset5", "Single Preset"),
    ITEM("SinglePreset5", "FactoryInit1", "Factory Init", ""),
    ITEM("SinglePreset5", "NoStatus1", "No Status", ""),
    ITEM("SinglePreset5", "MidiControllers1", "Midi Controllers", ""),
    MENU("Init7", "SelectedPresets4", "Selected Presets"),
    ITEM("SelectedPresets4", "FactoryInit2", "Factory Init", ""),
    ITEM("SelectedPresets4", "NoStatus2", "No Status", ""),
    ITEM("SelectedPresets4", "MidiControllers2", "Midi Controllers", ""),
    MENU("Init7", "AllPresets3", "All Presets"),
    ITEM("AllPresets3", "FactoryInit3", "Factory Init", ""),
    ITEM("AllPresets3", "NoStatus3", "No Status", ""),
    ITEM("AllPresets3", "MidiControllers3", "Midi Controllers", ""),
    SEPARATOR("PresetFormFileMenu"),
    MENU("PresetFormFileMenu", "Open1", "&Open"),
    ITEM("Open1", "SinglePreset6", "Single Preset", ""),
    ITEM("Open1", "Presets2", "Presets", ""),
    ITEM("Open1", "PresetsSequentially2", "Presets Sequentially", ""),
    SEPARATOR("PresetFormFileMenu"),
    MENU("PresetFormFileMenu", "Save1", "&Save"),
    ITEM("Save1", "SinglePreset7", "Single Preset", ""),
    ITEM("Save1", "SelectedPresets5", "Selected Presets", ""),
    ITEM("Save1", "AllPresets4", "All Presets", ""),
    SEPARATOR("Save1"),
    ITEM("Save1", "SelectedPresetsAsSingleFiles3", "Selected Presets As Single Files", ""),
    ITEM("Save1", "AllPresetsAsSingleFiles2", "All Presets As Single Files", ""),
    SEPARATOR("PresetFormFileMenu"),
    MENU("PresetFormFileMenu", "Send1", "Se&nd"),
    ITEM("Send1", "SinglePreset8", "Single Preset", ""),
    ITEM("Send1", "SelectedPresets6", "Selected Presets", ""),
    SEPARATOR("PresetFormFileMenu"),
    ITEM("PresetFormFileMenu", "DisplayAllFaderParameters1", "&Display All Fader Parameters", "Ctrl+Alt+D"),
    ITEM("PresetFormFileMenu", "DisplayFaderKeyDescription1", "&Display Fader && Key Description", "Ctrl+D"),
    SEPARATOR("PresetFormFileMenu"),
    ITEM("PresetFormFileMenu", "PrintAllFaderParameters1", "&Print All Fader Parameters", "Ctrl+Alt+P"),
    ITEM("PresetFormFileMenu", "PrintFaderKeyDescription1", "&Print Fader && Key Description", "Ctrl+P"),
    SEPARATOR("PresetFormFileMenu"),
    ITEM("PresetFormFileMenu", "Close2", "&Close", ""),
    SEPARATOR("PresetFormFileMenu"),
    ITEM("PresetFormFileMenu", "Exit2", "E&xit", ""),

    // ---- File menu of the pattern window ----
    MENU(nullptr, "PatternFormFileMenu", "&File"),
    MENU("PatternFormFileMenu", "Init15", "&Init"),
    ITEM("Init15", "SinglePattern2", "Single Pattern", ""),
    ITEM("Init15", "SelectedPatterns2", "Selected Patterns", ""),
    ITEM("Init15", "AllPatterns2", "All Patterns", ""),
    SEPARATOR("PatternFormFileMenu"),
    MENU("PatternFormFileMenu", "Open2", "&Open"),
    ITEM("Open2", "SinglePattern3", "Single Pattern", ""),
    ITEM("Open2", "Patterns1", "Patterns", ""),
    ITEM("Open2", "PatternsSequentially1", "Patterns Sequentially", ""),
    SEPARATOR("PatternFormFileMenu"),
    MENU("PatternFormFileMenu", "Save2", "&Save"),
    ITEM("Save2", "SinglePattern4", "Single Pattern", ""),
    ITEM("Save2", "SelectedPatterns3", "Selected Patterns", ""),
    ITEM("Save2", "AllPatterns3", "All Patterns", ""),
    SEPARATOR("Save2"),
    ITEM("Save2", "SelectedPatternsAsSingeFiles1", "Selected Patterns As Singe Files", ""),
    ITEM("Save2", "AllPatternsAsSingleFiles1", "All Patterns As Single Files", ""),
    SEPARATOR("PatternFormFileMenu"),
    MENU("PatternFormFileMenu", "Send2", "Se&nd"),
    ITEM("Send2", "SinglePattern5", "Single Pattern", ""),
    ITEM("Send2", "SelectedPatterns4", "Selected Patterns", ""),
    SEPARATOR("PatternFormFileMenu"),
    ITEM("PatternFormFileMenu", "Close3", "&Close", ""),
    SEPARATOR("PatternFormFileMenu"),
    ITEM("PatternFormFileMenu", "Exit4", "E&xit", ""),

    // ---- Edit menu of the virtual device window ----
    MENU(nullptr, "MainFormEditMenu", "&Edit"),
    MENU("MainFormEditMenu", "CopyFaderKeyParameters2", "Fader && Key Parameters"),
    ITEM("CopyFaderKeyParameters2", "MainMenuCopyFaderKey", "Copy", ""),
    ITEM_OFF("CopyFaderKeyParameters2", "MainMenuPasteFaderKey", "Paste"),
    ITEM_OFF("CopyFaderKeyParameters2", "MainMenuPastewCFaderKey", "Paste w/Clipboard"),
    SEPARATOR("CopyFaderKeyParameters2"),
    MENU("CopyFaderKeyParameters2", "Init8", "Init"),
    ITEM("Init8", "MainMenuFactoryInitFaderKey", "Factory Init", ""),
    ITEM("Init8", "MainMenuNoStatusFaderKey", "No Status", ""),
    ITEM("Init8", "MainMenuMidiCtrlFaderKey", "Midi Controllers", ""),
    SEPARATOR("MainFormEditMenu"),
    MENU("MainFormEditMenu", "FaderParameters2", "Fader Parameters"),
    ITEM("FaderParameters2", "MainMenuCopyFader", "Copy", ""),
    ITEM_OFF("FaderParameters2", "MainMenuPasteFader", "Paste"),
    ITEM_OFF("FaderParameters2", "MainMenuPastewCFader", "Paste w/Clipboard"),
    SEPARATOR("FaderParameters2"),
    MENU("FaderParameters2", "Init9", "Init"),
    ITEM("Init9", "MainMenuFactoryInitFader", "Factory Init", ""),
    ITEM("Init9", "MainMenuNoStatusFader", "No Status", ""),
    ITEM("Init9", "MainMenuMidiCtrlFader", "Midi Controllers", ""),
    SEPARATOR("MainFormEditMenu"),
    MENU("MainFormEditMenu", "KeyParameters2", "Key Parameters"),
    ITEM("KeyParameters2", "MainMenuCopyKey", "Copy", ""),
    ITEM_OFF("KeyParameters2", "MainMenuPasteKey", "Paste"),
    ITEM_OFF("KeyParameters2", "MainMenuPastewCKey", "Paste w/Clipboard"),
    SEPARATOR("KeyParameters2"),
    MENU("KeyParameters2", "Init10", "Init"),
    ITEM("Init10", "MainMenuFactoryInitKey", "Factory Init", ""),
    ITEM("Init10", "MainMenuNoStatusKey", "No Status", ""),
    ITEM("Init10", "MainMenuMidiCtrlKey", "Midi Controller", ""),
    MENU("MainFormEditMenu", "KeyOnParameters2", "Key On Parameters"),
    ITEM("KeyOnParameters2", "MainMenuCopyKeyOn", "Copy", ""),
    ITEM_OFF("KeyOnParameters2", "MainMenuPasteKeyOn", "Paste"),
    SEPARATOR("KeyOnParameters2"),
    MENU("KeyOnParameters2", "Init11", "Init"),
    ITEM("Init11", "MainMenuFactoryInitKeyOn", "Factory Init", ""),
    ITEM("Init11", "MainMenuNoStatusKeyOn", "No Status", ""),
    ITEM("Init11", "MainMenuMidiCtrlKeyOn", "Midi Controller", ""),
    MENU("MainFormEditMenu", "KeyOffParameters2", "Key Off Parameters"),
    ITEM("KeyOffParameters2", "MainMenuCopyKeyOff", "Copy", ""),
    ITEM_OFF("KeyOffParameters2", "MainMenuPasteKeyOff", "Paste"),
    SEPARATOR("KeyOffParameters2"),
    MENU("KeyOffParameters2", "Init12", "Init"),
    ITEM("Init12", "MainMenuFactoryInitKeyOff", "Factory Init", ""),
    ITEM("Init12", "MainMenuNoStatusKeyOff", "No Status", ""),
    ITEM("Init12", "MainMenuMidiCtrlKeyOff", "Midi Controller", ""),
    SEPARATOR("MainFormEditMenu"),
    ITEM("MainFormEditMenu", "MainMenuSnapShot", "Fader Snapshot", ""),
    SEPARATOR("MainFormEditMenu"),
    ITEM("MainFormEditMenu", "MainMenuReloadPreset", "Reload Preset", ""),
    ITEM("MainFormEditMenu", "MainMenuNextPreset", "Next Preset", ""),
    ITEM("MainFormEditMenu", "MainMenuPreviousPreset", "Previous Preset", ""),

    // ---- Edit menu of the preset list window ----
    MENU(nullptr, "PresetFormEditMenu", "&Edit"),
    ITEM("PresetFormEditMenu", "SelectAllPresets1", "Select All Presets", ""),
    ITEM("PresetFormEditMenu", "DeselectAllPresets1", "Deselect All Presets", ""),
    ITEM("PresetFormEditMenu", "ToggleSelection2", "Toggle Selection", ""),
    SEPARATOR("PresetFormEditMenu"),
    ITEM("PresetFormEditMenu", "CopyPreset1", "Copy Preset", ""),
    ITEM_OFF("PresetFormEditMenu", "PastePreset1", "Paste Preset"),
    ITEM_OFF("PresetFormEditMenu", "PastePresetwClipboard1", "Paste Preset w/Clipboard"),
    SEPARATOR("PresetFormEditMenu"),
    ITEM("PresetFormEditMenu", "ReloadPreset2", "Reload Preset", ""),

    // ---- Edit menu of the pattern window ----
    MENU(nullptr, "PatternFormEditMenu", "&Edit"),
    ITEM("PatternFormEditMenu", "SelectAllPatterns1", "Select All Patterns", ""),
    ITEM("PatternFormEditMenu", "DeselectAllPatterns1", "Deselect All Patterns", ""),
    ITEM("PatternFormEditMenu", "ToggleSelection3", "Toggle Selection", ""),
    SEPARATOR("PatternFormEditMenu"),
    ITEM("PatternFormEditMenu", "CopyPattern1", "Copy Pattern", ""),
    ITEM_OFF("PatternFormEditMenu", "PastePattern1", "Paste Pattern"),
    ITEM_OFF("PatternFormEditMenu", "PastePatternwClipboard1", "Paste Pattern w/Clipboard"),

    // ---- Edit menu of the step editor ----
    MENU(nullptr, "PatternParameterFormEditMenu", "&Edit"),
    ITEM("PatternParameterFormEditMenu", "CopyTrack1", "Copy Track", ""),
    {"PatternParameterFormEditMenu", "Paste1", "Paste", "", K::Menu, off, nullptr},
    ITEM("Paste1", "UpperParameters1", "Upper Step Parameters", ""),
    ITEM("Paste1", "OnOffSettings1", "On/Off Step Settings", ""),
    ITEM("Paste1", "LowerParameter1", "Lower Step Parameters", ""),
    ITEM("Paste1", "AllStepParameters1", "All Step Parameters", ""),
    SEPARATOR("Paste1"),
    ITEM("Paste1", "AllTrackParameters1", "All Track Parameters", ""),
    SEPARATOR("Paste1"),
    ITEM("Paste1", "TrackStepParameterscompleteTrack1", "Track && Step Parameters (complete Track)", ""),
    {"PatternParameterFormEditMenu", "PastewClipboard1", "Paste w/Clipboard", "", K::Menu, off, nullptr},
    ITEM("PastewClipboard1", "UpperParameters2", "Upper Step Parameters", ""),
    ITEM("PastewClipboard1", "OnOffSettings2", "On/Off Step Settings", ""),
    ITEM("PastewClipboard1", "LowerParameters1", "Lower Step Parameters", ""),
    ITEM("PastewClipboard1", "AllStepParameters2", "All Step Parameters", ""),
    SEPARATOR("PastewClipboard1"),
    ITEM("PastewClipboard1", "TrackParameters1", "All Track Parameters", ""),
    SEPARATOR("PastewClipboard1"),
    ITEM("PastewClipboard1", "TrackStepParameterscompleteTrack2", "Track && Step Parameters (complete Track)", ""),
    SEPARATOR("PatternParameterFormEditMenu"),
    ITEM("PatternParameterFormEditMenu", "ClearTrack1", "Clear Track", ""),

    // ---- Options ----
    MENU(nullptr, "MainFormOptionsMenu", "&Options"),
    OPTION("MainFormOptionsMenu", "MainMenuWarningMessages", "Warning Messages"),
    OPTION("MainFormOptionsMenu", "MainMenuMidiMonitorActive", "Midi Monitor Active"),
    OPTION("MainFormOptionsMenu", "MainMenuMidiActivity", "Midi Activity"),
    OPTION("MainFormOptionsMenu", "MainMenuMotorFaders", "Motor Faders"),
    OPTION("MainFormOptionsMenu", "MainMenuFaderAutoSelect", "Fader Auto Select"),
    OPTION("MainFormOptionsMenu", "ExplorerStayonTop1", "Explorer Stay on Top"),
    SEPARATOR("MainFormOptionsMenu"),
    OPTION("MainFormOptionsMenu", "MainMenuHookMode", "Hook Mode"),
    OPTION("MainFormOptionsMenu", "MainMenuOverdupMode", "Overdup Mode"),

    // ---- Settings ----
    MENU(nullptr, "MainFormSettingsMenu", "&Settings"),
    ITEM("MainFormSettingsMenu", "MainMenuMidiDeviceSettings", "Midi Device Settings...", ""),
    ITEM("MainFormSettingsMenu", "MainMenuMidiControllerInitSettings", "Midi Controller Init Settings...", ""),
    ITEM("MainFormSettingsMenu", "vellixaImportSettings1", "vellixa Import Settings...", ""),
    SEPARATOR("MainFormSettingsMenu"),
    ITEM("MainFormSettingsMenu", "MainMenuDeviceInfo", "Device Info", ""),

    // ---- Windows ----
    MENU(nullptr, "MainFormWindowsMenu", "&Windows"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsExplorer", "Explorer", "Shift+F1", "MorvelantExplorerForm"),
    SEPARATOR("MainFormWindowsMenu"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsVirtualMorvelant", "Virtual Morvelant", "Shift+F2", "MainForm"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsMidiSettings", "* Midi Settings", "Shift+F3", "MidiSettingsForm"),
    SEPARATOR("MainFormWindowsMenu"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsPresetForm", "Presets", "Shift+F4", "PresetForm"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsFaderParameters", "* Fader && Key Parameters", "Shift+F5",
           "AllFaderP"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsSpecialKeys", "* Special Keys", "Ctrl+K", "SpecialKeyForm"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsPresetNotes", "* Preset Notes", "Ctrl+N", "NotesForm"),
    SEPARATOR("MainFormWindowsMenu"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsPatternForm", "Patterns", "Shift+F6", "PatternForm"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsEventEdit", "* Event Editor", "Shift+F7", "EventEditForm"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsTrackParameters", "* Track Parameters", "Shift+F8",
           "TrackParameterForm"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsStepParameters", "* Step Parameters", "Shift+F9",
           "PatternParameterForm"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsTrackEdit", "* Track Edit Tools", "Ctrl+T", "TrackEditForm"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsPatternNotes", "* Pattern Notes", "Ctrl+Alt+N", "PatternNotesForm"),
    WINDOW("MainFormWindowsMenu", "test1", "Play Pattern on PC", "", "SequencerForm"),
    SEPARATOR("MainFormWindowsMenu"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsMidiMonitor", "Midi Monitor", "Shift+F10", "MidiMonGridForm"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsInstructions", "Instructions", "", "InstructionsForm"),
    WINDOW("MainFormWindowsMenu", "MainFormWindowsDeviceInfo", "Devices Info", "", "DevicesInfoForm1"),

    // ---- Help ----
    MENU(nullptr, "MainFormHelpMenu", "&Help"),
    ITEM("MainFormHelpMenu", "MainMenuInstructions", "Help", "F1"),
    ITEM("MainFormHelpMenu", "MainMenuAboutMorvelantEditor", "About Morvelant Editor", ""),
};

#undef MENU
#undef ITEM
#undef ITEM_OFF
#undef OPTION
#undef WINDOW
#undef SEPARATOR

}  // namespace

std::span<const MenuItemSpec> MainMenuItems() { return kItems; }

namespace {

const MenuItemSpec* FindIn(std::span<const MenuItemSpec> items, std::string_view name) {
    for (const MenuItemSpec& item : items)
        if (item.name != nullptr && name == item.name) return &item;
    return nullptr;
}

}  // namespace

const MenuItemSpec* FindMenuItemSpec(std::string_view name) { return FindIn(kItems, name); }

std::string_view TopMenuOf(std::span<const MenuItemSpec> items, const MenuItemSpec& item) {
    const MenuItemSpec* at = &item;
    // A parent chain longer than the table would be a loop: stop there.
    for (std::size_t guard = 0; at->parent != nullptr && guard < items.size(); ++guard) {
        const MenuItemSpec* up = FindIn(items, at->parent);
        if (up == nullptr) return at->parent;
        at = up;
    }
    return at->name != nullptr ? at->name : std::string_view();
}

int SwitchedMenuGroup(std::string_view topMenu) {
    if (topMenu == "MainFormFileMenu" || topMenu == "PresetFormFileMenu" || topMenu == "PatternFormFileMenu") return 1;
    if (topMenu == "MainFormEditMenu" || topMenu == "PresetFormEditMenu" || topMenu == "PatternFormEditMenu" ||
        topMenu == "PatternParameterFormEditMenu")
        return 2;
    return 0;
}

std::vector<std::pair<std::string, std::string>> ShortcutClashes(std::span<const MenuItemSpec> items) {
    std::vector<std::pair<std::string, std::string>> clashes;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItemSpec& a = items[i];
        if (a.name == nullptr || a.shortcut == nullptr || *a.shortcut == '\0') continue;
        const std::string_view topA = TopMenuOf(items, a);
        for (std::size_t j = i + 1; j < items.size(); ++j) {
            const MenuItemSpec& b = items[j];
            if (b.name == nullptr || b.shortcut == nullptr || std::string_view(a.shortcut) != b.shortcut) continue;
            const std::string_view topB = TopMenuOf(items, b);
            const int group = SwitchedMenuGroup(topA);
            if (group != 0 && group == SwitchedMenuGroup(topB) && topA != topB) continue;
            clashes.emplace_back(a.name, b.name);
        }
    }
    return clashes;
}

}  // namespace morvelant
