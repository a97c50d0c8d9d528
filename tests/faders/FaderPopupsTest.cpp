// The fader window's popups offscreen: every leaf of the MIDI-mode menu
// stores its value (and none while the window is being filled), "Slider"
// stores the live value, an event popup item chooses its event, and the
// data popups open the pickers for the list they were opened on.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QMenu>

#include "engine/DeviceContext.h"
#include "faders/AllFaderParameters.h"
#include "faders/FaderPopups.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

struct RecordingPickers : PickerLauncher {
    std::vector<std::tuple<PickerKind, int, bool>> asked;  // kind, code, placed
    int Pick(PickerKind kind, int code, std::optional<PickerPlace> place) override {
        asked.emplace_back(kind, code, place.has_value());
        return kPickEnd;
    }
    int PickTrack(TrackPickerKind, int, int, int, std::optional<PickerPlace>) override { return kPickEnd; }
    int PickerWidth(PickerKind) const override { return 0; }
    int TrackPickerWidth(TrackPickerKind) const override { return 0; }
};

// The leaves of a menu tree in menu order.
void Leaves(QMenu* menu, std::vector<QAction*>& out) {
    for (QAction* a : menu->actions()) {
        if (a->menu() != nullptr)
            Leaves(a->menu(), out);
        else if (!a->isSeparator())
            out.push_back(a);
    }
}

class FaderPopupsTest : public ::testing::Test {
protected:
    // The application before any widget.
    bool app_ = testsupport::WidgetApp(/*offscreen=*/true) != nullptr;
    DeviceContext context;
    CommandRegistry commands;
    RecordingPickers pickers;
    FaderPopupMenus popups{context.Model, &pickers};
    TAllFaderP window{context.DeviceEngine, commands, {}, &popups};
    Morvelant_Parameters& Preset() { return context.Model.Presets[0]; }
};

TEST_F(FaderPopupsTest, EveryMidiModeLeafStoresItsValue) {
    window.ShowParameters(0, 0);
    std::vector<QAction*> leaves;
    Leaves(popups.MidiModePopupMenu, leaves);
    ASSERT_EQ(leaves.size(), 60u);
    std::vector<int> tags;
    Preset().FaderMidiMode(0) = 0xC0;  // hook and overdub flags kept
    popups.MidiModePopup(window, {});
    for (QAction* leaf : leaves) {
        leaf->trigger();
        const int tag = leaf->data().toInt();
        tags.push_back(tag);
        EXPECT_EQ(Preset().FaderMidiMode(0), 0xC0 + tag);
        EXPECT_EQ(window.FaderMidiMode->currentIndex(), tag >= 8 ? tag - 4 : tag);
    }
    std::sort(tags.begin(), tags.end());
    EXPECT_EQ(std::adjacent_find(tags.begin(), tags.end()), tags.end());
    EXPECT_EQ(tags.front(), 0);
    EXPECT_EQ(tags[4], 8);
    EXPECT_EQ(tags.back(), 63);
    // "Hook On Fader" > "Output 2" > "Input 2".
    QMenu* hook = popups.MidiModePopupMenu->actions()[6]->menu();
    EXPECT_EQ(hook->title(), QStringLiteral("Hook On Fader"));
    EXPECT_EQ(hook->actions()[2]->menu()->actions()[1]->data().toInt(), 54);
    // Filling the window changes nothing.
    {
        DeviceModel::UpdatingGuard guard(context.Model);
        leaves[0]->trigger();
    }
    EXPECT_EQ(Preset().FaderMidiMode(0), 0xC0 + 63);
}

TEST_F(FaderPopupsTest, SliderEventsAndPickers) {
    window.ShowParameters(0, 0);
    window.Show();
    popups.DataListPopup(window, 5, DataPopup::Values, {});
    popups.ValuesPopupMenu->close();
    popups.Slider2Click();
    EXPECT_EQ(Preset().KeyOffMidiData2(0), 128);
    EXPECT_EQ(window.KeyOffMidiData2->currentText(), QStringLiteral("Slider"));
    // "Note On" of the fader event popup: list index 14.
    popups.EventListPopup(window, EventRowKind::Fader, {});
    popups.EventPopupMenu->close();
    QAction* noteOn = popups.EventPopupMenu->actions()[1];
    EXPECT_EQ(noteOn->text(), QStringLiteral("Note On"));
    noteOn->trigger();
    EXPECT_EQ(window.FaderEvent->currentIndex(), 14);
    EXPECT_EQ(Preset().FaderStatus(0) & 0xF0, 0x90);
    // The data popups ask the pickers for the list's code; only the
    // keyboard is placed by this window.
    popups.SetPopupComponent(&window, 2);
    popups.SelectNote1Click();
    popups.MidiControllers1Click();
    popups.NumericalValues2Click();
    using A = std::tuple<PickerKind, int, bool>;
    EXPECT_EQ(pickers.asked,
              (std::vector<A>{A{PickerKind::Piano, 2, true}, A{PickerKind::Controllers, 2, false},
                              A{PickerKind::Values, 2, false}}));
}

}  // namespace
}  // namespace morvelant
