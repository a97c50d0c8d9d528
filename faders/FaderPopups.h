// The right-click menus of the fader parameter window's lists: on the data
// lists a picker or the live value, on the three event lists the event
// types in groups, on the MIDI-mode list input function, output and input
// in three levels.
#pragma once

#include <memory>

#include "faders/FaderPickers.h"
#include "model/DeviceModel.h"
#include "platform/PickerLauncher.h"

class QAction;
class QMenu;

namespace morvelant {

class FaderPopupMenus : public FaderPickers {
public:
    FaderPopupMenus(DeviceModel& model, PickerLauncher* pickers);
    ~FaderPopupMenus() override;

    void DataListPopup(TAllFaderP& window, int tag, DataPopup popup, const QPoint& globalPos) override;
    void EventListPopup(TAllFaderP& window, EventRowKind row, const QPoint& globalPos) override;
    void MidiModePopup(TAllFaderP& window, const QPoint& globalPos) override;

    // The menus and their items (object names as the component names).
    QMenu* NotesPopupMenu = nullptr;
    QMenu* ControllerPopupMenu = nullptr;
    QMenu* ValuesPopupMenu = nullptr;
    QMenu* NumValPopupMenu = nullptr;
    QMenu* EventPopupMenu = nullptr;
    QMenu* KeyonEventPopupMenu = nullptr;
    QMenu* KeyoffEventPopupMenu = nullptr;
    QMenu* MidiModePopupMenu = nullptr;

    // The data list on which the last data popup was opened (its tag 0..5).
    int PopupTag() const { return popupTag_; }
    // Makes `window` and data list `tag` the popup's component without
    // opening a menu (what a right-click does before the menu shows).
    void SetPopupComponent(TAllFaderP* window, int tag);

    void SelectNote1Click();
    void MidiControllers1Click();
    void NumericalValues2Click();
    void Slider2Click();
    void Controller1Click(int tag);  // fader event
    void Controller2Click(int tag);  // Key On event
    void MenuItem1Click(int tag);  // Key Off event
    void noOutput1Click(int tag);  // MIDI mode

private:
    void BuildDataMenus();
    void BuildEventMenus();
    void BuildMidiModeMenu();

    DeviceModel& model_;
    PickerLauncher* pickers_;
    TAllFaderP* window_ = nullptr;
    int popupTag_ = 0;
    std::unique_ptr<QMenu> owner_;  // parent of every menu
};

}  // namespace morvelant
