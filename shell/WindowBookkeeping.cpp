#include "shell/WindowBookkeeping.h"

#include <algorithm>

namespace morvelant {

namespace {

using W = EditorWindow;

constexpr std::array<EditorWindowInfo, kEditorWindowCount> kWindows = {{
    {W::MainForm, "MainForm", "MainFormWindowsVirtualMorvelant", 0, "Virtual Morvelant", 1, true, true},
    {W::MidiSettingsForm, "MidiSettingsForm", "MainFormWindowsMidiSettings", 1, "Midi Settings", 2, true, false},
    {W::PresetForm, "PresetForm", "MainFormWindowsPresetForm", 2, "Presets", 1, true, true},
    {W::AllFaderP, "AllFaderP", "MainFormWindowsFaderParameters", 3, "Fader & Key Parameters", 2, true, true},
    {W::SpecialKeyForm, "SpecialKeyForm", "MainFormWindowsSpecialKeys", 4, "Special Keys", 2, true, false},
    {W::NotesForm, "NotesForm", "MainFormWindowsPresetNotes", 5, "Preset Notes", 2, true, false},
    {W::PatternForm, "PatternForm", "MainFormWindowsPatternForm", 6, "Patterns", 1, true, true},
    {W::EventEditForm, "EventEditForm", "MainFormWindowsEventEdit", 7, "Event Editor", 2, false, true},
    {W::TrackParameterForm, "TrackParameterForm", "MainFormWindowsTrackParameters", 8, "Track Parameters", 2, true,
     true},
    {W::PatternParameterForm, "PatternParameterForm", "MainFormWindowsStepParameters", 9, "Step Parameters", 2, true,
     true},
    {W::TrackEditForm, "TrackEditForm", "MainFormWindowsTrackEdit", 10, "Track Edit Tools", 2, true, false},
    {W::PatternNotesForm, "PatternNotesForm", "MainFormWindowsPatternNotes", 11, "Pattern Notes", 2, true, false},
    {W::SequencerForm, "SequencerForm", "test1", 12, "Play Pattern on PC", 2, true, false},
    {W::MidiMonGridForm, "MidiMonGridForm", "MainFormWindowsMidiMonitor", 13, "Midi Monitor", 1, true, false},
    {W::InstructionsForm, "InstructionsForm", "MainFormWindowsInstructions", 14, "Help", 1, true, false},
    {W::DevicesInfoForm1, "DevicesInfoForm1", "MainFormWindowsDeviceInfo", 15, "Device Info", 1, true, false},
}};

const std::array<ReopenEntry, 13> kReopen = {{
    {"AllFaderP", &DeviceModel::ShowFaderParametersForm, "Show Fader Parameters Form", "Fader Parameters Form", true},
    {"NotesForm", &DeviceModel::ShowNotes, "ShowNotes", "Options", false},
    {"PatternNotesForm", &DeviceModel::ShowPatternNotes, "ShowPatternNotes", "Options", false},
    {"SpecialKeyForm", &DeviceModel::ShowSpecialKeys, "ShowSpecialKeys", "Options", true},
    {"PresetForm", &DeviceModel::ShowPresets, "ShowPresets", "Options", true},
    {"PatternForm", &DeviceModel::ShowPatterns, "ShowPatterns", "Options", true},
    {"PatternParameterForm", &DeviceModel::ShowStepParametersForm, "Show Step Parameters Form", "Step Parameters Form",
     true},
    {"TrackParameterForm", &DeviceModel::ShowTrackParametersForm, "Show Track Parameters Form", "Track Parameters Form",
     true},
    {"EventEditForm", &DeviceModel::ShowEventEditForm, "Show Event Edit Form", "Event Edit Form", true},
    {"PrintOutputForm", &DeviceModel::ShowPrintOutputForm, "ShowPrintOutputForm", "Options", false},
    {"DevicesInfoForm1", &DeviceModel::ShowDevicesInfo1, "ShowDevicesInfo1", "Options", false},
    {"MidiMonGridForm", &DeviceModel::ShowMidiMonitor, "ShowMidiMonitor", "Options", true},
    {"MorvelantExplorerForm", &DeviceModel::ShowExplorer, "ShowExplorer", "Options", false},
}};

}  // namespace

const std::array<EditorWindowInfo, kEditorWindowCount>& EditorWindows() { return kWindows; }

const EditorWindowInfo& WindowInfo(EditorWindow window) { return kWindows[size_t(window)]; }

const EditorWindowInfo* FindWindowByForm(std::string_view formName) {
    for (const EditorWindowInfo& info : kWindows)
        if (formName == info.formName) return &info;
    return nullptr;
}

const EditorWindowInfo* FindWindowByNode(std::string_view nodeText) {
    for (const EditorWindowInfo& info : kWindows)
        if (nodeText == info.nodeText) return &info;
    return nullptr;
}

int ExplorerStateIcon(EditorWindow window, bool shown, bool monitorEnabled) {
    if (window == W::MidiMonGridForm && monitorEnabled) return shown ? kIconMonitorShown : kIconMonitorHidden;
    return shown ? kIconShown : kIconHidden;
}

std::optional<MenuPair> MenusOf(EditorWindow window) {
    switch (window) {
        case W::MainForm:
        case W::AllFaderP: return MenuPair{"MainFormFileMenu", "MainFormEditMenu"};
        case W::PresetForm: return MenuPair{"PresetFormFileMenu", "PresetFormEditMenu"};
        case W::PatternForm: return MenuPair{"PatternFormFileMenu", "PatternFormEditMenu"};
        case W::PatternParameterForm:
        case W::TrackParameterForm:
        case W::EventEditForm: return MenuPair{"PatternFormFileMenu", "PatternParameterFormEditMenu"};
        default: return std::nullopt;
    }
}

const std::array<ReopenEntry, 13>& ReopenOrder() { return kReopen; }

bool WindowBookkeeping::Remove(WindowHandle window) {
    const auto it = std::find(open_.begin(), open_.end(), window);
    if (it == open_.end()) return false;
    open_.erase(it);
    return true;
}

void WindowBookkeeping::WindowActivated(WindowHandle window) {
    if (window == nullptr) return;
    Remove(window);
    open_.push_back(window);
    if (view_ == nullptr) return;
    if (const std::optional<EditorWindow> kind = view_->KindOf(window)) {
        // The tick follows whether the window is shown, explorer or not.
        view_->SetWindowItemChecked(WindowInfo(*kind).menuItem, true);
        if (model_.ExplorerReady && model_.MenuSwitching)
            view_->SetExplorerState(WindowInfo(*kind).node, ExplorerStateIcon(*kind, true, view_->MonitorEnabled()));
    }
    if (model_.MenuSwitching) SwitchMenus(window);
}

void WindowBookkeeping::SwitchMenus(WindowHandle window) {
    if (view_ == nullptr || open_.empty()) return;
    view_->SetMenuCaption(view_->CaptionOf(open_.back()));
    const std::optional<EditorWindow> kind = view_->KindOf(window);
    if (!kind) return;
    if (const std::optional<MenuPair> pair = MenusOf(*kind)) view_->ShowMenuPair(*pair);
}

void WindowBookkeeping::WindowHidden(WindowHandle window) {
    if (window == nullptr) return;
    Remove(window);
    if (view_ == nullptr) return;
    if (const std::optional<EditorWindow> kind = view_->KindOf(window)) {
        view_->SetWindowItemChecked(WindowInfo(*kind).menuItem, false);
        if (model_.ExplorerReady && model_.MenuSwitching)
            view_->SetExplorerState(WindowInfo(*kind).node, ExplorerStateIcon(*kind, false, view_->MonitorEnabled()));
    }
    // The previously activated window comes forward; when it reports its
    // activation, the menus follow it.
    if (!open_.empty()) view_->BringToFront(open_.back());
}

void WindowBookkeeping::WindowDestroyed(WindowHandle window) { Remove(window); }

void WindowBookkeeping::ReopenWindows() {
    bool monitorShown = false;
    for (const ReopenEntry& entry : kReopen) {
        if (!(model_.*entry.flag) || view_ == nullptr) continue;
        bool shown = false;
        if (entry.guarded) {
            UpdatingGuard guard(model_);
            shown = view_->ShowForm(entry.formName);
        } else {
            shown = view_->ShowForm(entry.formName);
        }
        if (std::string_view(entry.formName) == "MidiMonGridForm") monitorShown = shown;
    }
    if (!monitorShown && view_ != nullptr && model_.ExplorerReady)
        view_->SetExplorerState(kMonitorNode, view_->MonitorEnabled() ? kIconMonitorHidden : kIconHidden);
}

}  // namespace morvelant
