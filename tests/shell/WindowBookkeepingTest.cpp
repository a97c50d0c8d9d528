// The open-window bookkeeping on its own, with a recording view in place of
// the windows, the menu window and the explorer.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "model/DeviceModel.h"
#include "shell/WindowBookkeeping.h"

namespace morvelant {
namespace {

struct FakeWindow {
    std::optional<EditorWindow> kind;
    std::string caption;
};

class RecordingView : public BookkeepingView {
public:
    explicit RecordingView(DeviceModel& model) : model_(model) {}

    std::optional<EditorWindow> KindOf(WindowHandle w) const override { return Win(w).kind; }
    std::string CaptionOf(WindowHandle w) const override { return Win(w).caption; }
    void BringToFront(WindowHandle w) override { fronted.push_back(w); }
    bool ShowForm(const char* formName) override {
        shownForms.push_back(formName);
        guardedShows.push_back(model_.Updating);
        return !absent.count(formName);
    }
    void SetMenuCaption(const std::string& c) override { menuCaption = c; }
    void ShowMenuPair(const MenuPair& p) override {
        fileMenu = p.fileMenu;
        editMenu = p.editMenu;
        ++menuSwitches;
    }
    void SetWindowItemChecked(const char* item, bool checked) override { ticks[item] = checked; }
    void SetExplorerState(int node, int icon) override { icons[node] = icon; }
    bool MonitorEnabled() const override { return monitorEnabled; }

    static const FakeWindow& Win(WindowHandle w) { return *static_cast<const FakeWindow*>(w); }

    std::vector<WindowHandle> fronted;
    std::vector<std::string> shownForms;
    std::vector<bool> guardedShows;
    std::map<std::string, bool> absent;
    std::string menuCaption, fileMenu = "none", editMenu = "none";
    int menuSwitches = 0;
    std::map<std::string, bool> ticks;
    std::map<int, int> icons;
    bool monitorEnabled = false;

private:
    DeviceModel& model_;
};

class WindowBookkeepingTest : public ::testing::Test {
protected:
    WindowBookkeepingTest() : view(model), book(model, &view) { model.ExplorerReady = true; }

    DeviceModel model;
    RecordingView view;
    WindowBookkeeping book;

    FakeWindow main{EditorWindow::MainForm, "Morvelant Editor"};
    FakeWindow presets{EditorWindow::PresetForm, "Presets"};
    FakeWindow faders{EditorWindow::AllFaderP, "Fader Parameters"};
    FakeWindow settings{EditorWindow::MidiSettingsForm, "Midi Settings"};
    FakeWindow steps{EditorWindow::PatternParameterForm, "Step Parameters"};
    FakeWindow monitor{EditorWindow::MidiMonGridForm, "Midi Monitor"};
    FakeWindow stranger{std::nullopt, "About"};
};

TEST_F(WindowBookkeepingTest, ActivationOrderKeepsEachWindowOnceWithTheLastActivatedAtTheEnd) {
    book.WindowActivated(&main);
    book.WindowActivated(&presets);
    book.WindowActivated(&faders);
    book.WindowActivated(&presets);
    book.WindowActivated(&presets);
    EXPECT_EQ(book.OpenWindows(), (std::vector<WindowHandle>{&main, &faders, &presets}));
    EXPECT_EQ(book.ActiveWindow(), &presets);
    book.WindowActivated(nullptr);
    EXPECT_EQ(book.OpenWindows().size(), 3u);
}

TEST_F(WindowBookkeepingTest, EachWindowGetsItsOwnFileAndEditMenus) {
    book.WindowActivated(&presets);
    EXPECT_EQ(view.menuCaption, "Presets");
    EXPECT_EQ(view.fileMenu, "PresetFormFileMenu");
    EXPECT_EQ(view.editMenu, "PresetFormEditMenu");

    // The fader parameter window edits the virtual device's preset.
    book.WindowActivated(&faders);
    EXPECT_EQ(view.menuCaption, "Fader Parameters");
    EXPECT_EQ(view.fileMenu, "MainFormFileMenu");
    EXPECT_EQ(view.editMenu, "MainFormEditMenu");

    // The pattern editors share the pattern window's File menu.
    book.WindowActivated(&steps);
    EXPECT_EQ(view.fileMenu, "PatternFormFileMenu");
    EXPECT_EQ(view.editMenu, "PatternParameterFormEditMenu");

    // The MIDI settings have no menus of their own: the caption changes,
    // the menus stay.
    const int switches = view.menuSwitches;
    book.WindowActivated(&settings);
    EXPECT_EQ(view.menuCaption, "Midi Settings");
    EXPECT_EQ(view.menuSwitches, switches);
    EXPECT_EQ(view.editMenu, "PatternParameterFormEditMenu");

    // So does a window the bookkeeping does not know; it gets no tick.
    book.WindowActivated(&stranger);
    EXPECT_EQ(view.menuCaption, "About");
    EXPECT_EQ(view.menuSwitches, switches);
    EXPECT_EQ(book.ActiveWindow(), &stranger);
}

TEST_F(WindowBookkeepingTest, MenuPairsCoverEveryWindowOfTheTable) {
    int withPair = 0;
    for (const EditorWindowInfo& info : EditorWindows()) {
        if (const auto pair = MenusOf(info.window)) {
            ++withPair;
            EXPECT_NE(std::string(pair->fileMenu).find("FileMenu"), std::string::npos);
            EXPECT_NE(std::string(pair->editMenu).find("EditMenu"), std::string::npos);
        }
    }
    EXPECT_EQ(withPair, 7);
    EXPECT_FALSE(MenusOf(EditorWindow::MidiMonGridForm));
    EXPECT_FALSE(MenusOf(EditorWindow::InstructionsForm));
}

TEST_F(WindowBookkeepingTest, HidingTheActiveWindowBringsThePreviousOneForward) {
    book.WindowActivated(&main);
    book.WindowActivated(&faders);
    book.WindowActivated(&presets);
    book.WindowHidden(&presets);
    EXPECT_EQ(book.OpenWindows(), (std::vector<WindowHandle>{&main, &faders}));
    ASSERT_EQ(view.fronted.size(), 1u);
    EXPECT_EQ(view.fronted.back(), &faders);
    EXPECT_FALSE(view.ticks["MainFormWindowsPresetForm"]);
    EXPECT_EQ(view.icons[2], kIconHidden);

    // Hiding the last open window brings nothing forward.
    book.WindowHidden(&faders);
    book.WindowHidden(&main);
    EXPECT_TRUE(book.OpenWindows().empty());
    EXPECT_EQ(view.fronted.size(), 2u);
    EXPECT_EQ(view.fronted.back(), &main);
}

TEST_F(WindowBookkeepingTest, ADestroyedWindowLeavesTheListQuietly) {
    book.WindowActivated(&main);
    book.WindowActivated(&presets);
    book.WindowDestroyed(&presets);
    EXPECT_EQ(book.OpenWindows(), (std::vector<WindowHandle>{&main}));
    EXPECT_TRUE(view.fronted.empty());
    EXPECT_TRUE(view.ticks["MainFormWindowsPresetForm"]);  // still open at exit
}

TEST_F(WindowBookkeepingTest, TicksAndExplorerIconsFollowShowingAndHiding) {
    book.WindowActivated(&main);
    book.WindowActivated(&presets);
    EXPECT_TRUE(view.ticks["MainFormWindowsVirtualMorvelant"]);
    EXPECT_TRUE(view.ticks["MainFormWindowsPresetForm"]);
    EXPECT_EQ(view.icons[0], kIconShown);
    EXPECT_EQ(view.icons[2], kIconShown);

    // The monitor's node is red while monitoring is on.
    view.monitorEnabled = true;
    book.WindowActivated(&monitor);
    EXPECT_EQ(view.icons[kMonitorNode], kIconMonitorShown);
    book.WindowHidden(&monitor);
    EXPECT_EQ(view.icons[kMonitorNode], kIconMonitorHidden);
    view.monitorEnabled = false;
    book.WindowActivated(&monitor);
    EXPECT_EQ(view.icons[kMonitorNode], kIconShown);
    book.WindowHidden(&monitor);
    EXPECT_EQ(view.icons[kMonitorNode], kIconHidden);
    EXPECT_FALSE(view.ticks["MainFormWindowsMidiMonitor"]);
}

TEST_F(WindowBookkeepingTest, ExplorerIconsWaitForTheExplorerButTicksDoNot) {
    model.ExplorerReady = false;
    book.WindowActivated(&presets);
    EXPECT_TRUE(view.icons.empty());
    EXPECT_TRUE(view.ticks["MainFormWindowsPresetForm"]);
    book.WindowHidden(&presets);
    EXPECT_TRUE(view.icons.empty());
    EXPECT_FALSE(view.ticks["MainFormWindowsPresetForm"]);
}

TEST_F(WindowBookkeepingTest, WithoutMenuSwitchingOnlyTheListAndTheTicksChange) {
    model.MenuSwitching = false;
    book.WindowActivated(&presets);
    EXPECT_EQ(view.menuSwitches, 0);
    EXPECT_TRUE(view.menuCaption.empty());
    EXPECT_TRUE(view.icons.empty());
    EXPECT_TRUE(view.ticks["MainFormWindowsPresetForm"]);
    EXPECT_EQ(book.ActiveWindow(), &presets);
}

TEST_F(WindowBookkeepingTest, ReopensFlaggedWindowsInOrderSomeUnderTheUpdateGuard) {
    model.ShowExplorer = true;
    model.ShowMidiMonitor = true;
    model.ShowPresets = true;
    model.ShowNotes = true;
    model.ShowFaderParametersForm = true;
    view.absent["NotesForm"] = true;  // a window that does not exist yet
    book.ReopenWindows();
    EXPECT_EQ(
        view.shownForms,
        (std::vector<std::string>{"AllFaderP", "NotesForm", "PresetForm", "MidiMonGridForm", "MorvelantExplorerForm"}));
    EXPECT_EQ(view.guardedShows, (std::vector<bool>{true, false, true, true, false}));
    EXPECT_FALSE(model.Updating);
    // The monitor came back, so its node is left to its own showing.
    EXPECT_EQ(view.icons.count(kMonitorNode), 0u);
}

TEST_F(WindowBookkeepingTest, AMonitorNotReopenedStillShowsWhetherMonitoringIsOn) {
    view.monitorEnabled = true;
    book.ReopenWindows();
    EXPECT_TRUE(view.shownForms.empty());
    EXPECT_EQ(view.icons[kMonitorNode], kIconMonitorHidden);

    view.monitorEnabled = false;
    model.ShowMidiMonitor = true;
    view.absent["MidiMonGridForm"] = true;
    book.ReopenWindows();
    EXPECT_EQ(view.icons[kMonitorNode], kIconHidden);
}

TEST_F(WindowBookkeepingTest, ReopenTableNamesEachWindowAndKeyOnce) {
    std::map<std::string, int> forms, keys;
    for (const ReopenEntry& e : ReopenOrder()) {
        ++forms[e.formName];
        ++keys[std::string(e.section) + "/" + e.key];
    }
    EXPECT_EQ(forms.size(), ReopenOrder().size());
    EXPECT_EQ(keys.size(), ReopenOrder().size());
    EXPECT_EQ(std::string(ReopenOrder().front().key), "Show Fader Parameters Form");
    EXPECT_EQ(std::string(ReopenOrder().back().formName), "MorvelantExplorerForm");
}

TEST(EditorWindowTableTest, NodesFollowTheTreeOrderAndNamesFindTheirWindows) {
    int position = 0;
    for (const EditorWindowInfo& info : EditorWindows()) {
        EXPECT_EQ(info.node, position++);
        EXPECT_EQ(FindWindowByForm(info.formName), &info);
        EXPECT_EQ(FindWindowByNode(info.nodeText), &info);
        EXPECT_EQ(&WindowInfo(info.window), &info);
    }
    EXPECT_EQ(FindWindowByNode("Help")->window, EditorWindow::InstructionsForm);
    EXPECT_EQ(FindWindowByForm("MorvelantExplorerForm"), nullptr);
    EXPECT_EQ(FindWindowByNode("presets"), nullptr);  // texts compare exactly
    // Only the event editor reports no showing, only by activation.
    EXPECT_FALSE(WindowInfo(EditorWindow::EventEditForm).reportsShow);
    EXPECT_TRUE(WindowInfo(EditorWindow::EventEditForm).reportsActivate);
}

}  // namespace
}  // namespace morvelant
