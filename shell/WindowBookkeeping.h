// The open-window bookkeeping, without any window.
//
// The editor's windows share one menu bar (the menu window) and one tree of
// windows (the explorer). This class keeps the list of shown editor windows
// in the order in which they were last activated, switches the menu window to
// the File and Edit menus of the active window, ticks each shown window's
// item in the Windows menu and its node in the explorer, and reopens at start
// the windows that were open at the last exit.
//
// It knows the windows only as opaque handles; what it needs from them and
// from the menu window and the explorer it asks of a BookkeepingView. The
// program's view works on the real forms (FormBookkeeping.h); tests use a
// recording one.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/DeviceModel.h"

namespace morvelant {

// The windows that take part in the bookkeeping, in the order of their nodes
// in the explorer's tree.
enum class EditorWindow {
    MainForm,
    MidiSettingsForm,
    PresetForm,
    AllFaderP,
    SpecialKeyForm,
    NotesForm,
    PatternForm,
    EventEditForm,
    TrackParameterForm,
    PatternParameterForm,
    TrackEditForm,
    PatternNotesForm,
    SequencerForm,
    MidiMonGridForm,
    InstructionsForm,
    DevicesInfoForm1,
};
inline constexpr int kEditorWindowCount = 16;

struct EditorWindowInfo {
    EditorWindow window;
    const char* formName;  // the form object's name (the TForm's object name)
    const char* menuItem;  // its item in the menu window's Windows menu
    int node;  // its node in the explorer, counted in tree order from 0
    const char* nodeText;  // the node's text
    int nodeLevel;  // 1 top level, 2 child of the level-1 node above
    bool reportsShow;  // showing the window counts as activating it
    bool reportsActivate;  // so does activating it
};

const std::array<EditorWindowInfo, kEditorWindowCount>& EditorWindows();
const EditorWindowInfo& WindowInfo(EditorWindow window);
// By form object name / by explorer node text (exact); null when none.
const EditorWindowInfo* FindWindowByForm(std::string_view formName);
const EditorWindowInfo* FindWindowByNode(std::string_view nodeText);

// The explorer's "Help" node stands for the instructions window.
inline constexpr int kMonitorNode = 13;
inline constexpr int kHelpNode = 14;

// Explorer state icons.
inline constexpr int kIconHidden = 1;
inline constexpr int kIconShown = 2;
inline constexpr int kIconMonitorHidden = 3;  // monitor window hidden, monitoring on
inline constexpr int kIconMonitorShown = 4;  // monitor window shown, monitoring on
int ExplorerStateIcon(EditorWindow window, bool shown, bool monitorEnabled);

// The seven top-level File and Edit menus of the menu window; one File and
// one Edit menu are shown at a time.
inline constexpr std::array<const char*, 7> kFileEditMenus = {
    "MainFormFileMenu",   "PresetFormFileMenu",  "PatternFormFileMenu",          "MainFormEditMenu",
    "PresetFormEditMenu", "PatternFormEditMenu", "PatternParameterFormEditMenu",
};
struct MenuPair {
    const char* fileMenu;
    const char* editMenu;
};
// The pair that belongs to a window; none for windows that leave the menus as
// they are.
std::optional<MenuPair> MenusOf(EditorWindow window);

// Windows open at the last exit, in the order in which the virtual device
// window reopens them. Each window reads its own flag from the configuration
// when it is created and writes it when it is destroyed; "guarded" windows
// are shown with the model's update guard set.
struct ReopenEntry {
    const char* formName;
    bool DeviceModel::*flag;
    const char* key;
    const char* section;
    bool guarded;
};
const std::array<ReopenEntry, 13>& ReopenOrder();

using WindowHandle = const void*;

// What the bookkeeping asks of the windows, the menu window and the explorer.
// Every call has to cope with a window that does not exist (yet).
class BookkeepingView {
public:
    virtual ~BookkeepingView() = default;
    // The bookkeeping's entry of a window; none for windows it does not know.
    virtual std::optional<EditorWindow> KindOf(WindowHandle window) const = 0;
    virtual std::string CaptionOf(WindowHandle window) const = 0;
    // Shows a window and brings it to the front.
    virtual void BringToFront(WindowHandle window) = 0;
    // Shows the window with this form name; false when there is none.
    virtual bool ShowForm(const char* formName) = 0;
    virtual void SetMenuCaption(const std::string& caption) = 0;
    // Shows and enables these File and Edit menus, hides and disables the
    // other five of kFileEditMenus.
    virtual void ShowMenuPair(const MenuPair& pair) = 0;
    virtual void SetWindowItemChecked(const char* item, bool checked) = 0;
    virtual void SetExplorerState(int node, int icon) = 0;
    virtual bool MonitorEnabled() const = 0;
};

class WindowBookkeeping {
public:
    explicit WindowBookkeeping(DeviceModel& model, BookkeepingView* view = nullptr) : model_(model), view_(view) {}

    void SetView(BookkeepingView* view) { view_ = view; }
    BookkeepingView* View() const { return view_; }

    // The shown editor windows; the last one is the most recently activated.
    const std::vector<WindowHandle>& OpenWindows() const { return open_; }
    WindowHandle ActiveWindow() const { return open_.empty() ? nullptr : open_.back(); }

    // A window was shown or activated: it moves to the end of the list, its
    // menu item and explorer node are ticked and the menus switch to it.
    void WindowActivated(WindowHandle window);
    // A window was hidden: it leaves the list, loses its tick, and the
    // previously activated window comes to the front again.
    void WindowHidden(WindowHandle window);
    // The menu window takes the active window's caption and the File and Edit
    // menus of the given window.
    void SwitchMenus(WindowHandle window);
    // A window is going away for good: it leaves the list, nothing else.
    void WindowDestroyed(WindowHandle window);

    // Shows the windows flagged as open at the last exit, in ReopenOrder().
    // When the monitor is not among them, its explorer node still shows
    // whether monitoring is on.
    void ReopenWindows();

private:
    bool Remove(WindowHandle window);

    DeviceModel& model_;
    BookkeepingView* view_;
    std::vector<WindowHandle> open_;
};

}  // namespace morvelant
