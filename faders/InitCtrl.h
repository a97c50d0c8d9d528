// The "Init with Midi Controllers Settings" dialog: the controller and value
// numbers that the controller init gives each fader and key, fixed or
// counting up with the fader. The numbers live in the model; the dialog
// shows and edits them, and the pickers set them in pairs 24 wide.
#pragma once

#include <array>

#include "model/DeviceModel.h"
#include "platform/PickerLauncher.h"
#include "platform/QtFormBase.h"

class QLineEdit;
class QMenu;
class QPushButton;

namespace morvelant {

class TInitCtrlForm : public TForm {
    Q_OBJECT

public:
    TInitCtrlForm(DeviceModel& model, PickerLauncher* pickers);

    // Edits in tag order 500..511 (index 0..11) and the six range buttons.
    QLineEdit* FaderCtrlMin = nullptr;
    QLineEdit* FaderCtrlMax = nullptr;
    QLineEdit* KeyonCtrlMin = nullptr;
    QLineEdit* KeyonCtrlMax = nullptr;
    QLineEdit* KeyoffCtrlMin = nullptr;
    QLineEdit* KeyoffCtrlMax = nullptr;
    QLineEdit* FaderValueMin = nullptr;
    QLineEdit* FaderValueMax = nullptr;
    QLineEdit* KeyonValueMin = nullptr;
    QLineEdit* KeyonValueMax = nullptr;
    QLineEdit* KeyoffValueMin = nullptr;
    QLineEdit* KeyoffValueMax = nullptr;
    std::array<QLineEdit*, 12> Edits{};
    std::array<QPushButton*, 6> RangeButtons{};
    QPushButton* CloseButton = nullptr;  // the default button
    QMenu* PopupMenu1 = nullptr;  // value edits: "Numerical Values", "Slider"
    QMenu* PopupMenu2 = nullptr;  // controller edits: "Midi Controllers", "Slider", "Numerical Values"

    void SetPickers(PickerLauncher* pickers) { pickers_ = pickers; }

    // The range button of row `item` was clicked.
    void RangeClick(int item);
    // A value edit (index 6..11) was changed by the user.
    void ValueEditChange(int index);
    // The popup items, for the edit the popup was opened on.
    void Slider1Click();
    void MidiControllers1Click();
    void NumericalValues1Click();
    // Opens the edit's popup menu (the edit becomes the popup component).
    void OpenPopup(int index, const QPoint& globalPos);
    int PopupComponent() const { return popupIndex_; }
    void SetPopupComponent(int index) { popupIndex_ = index; }

    // Shows both numbers of the pair whose first index is `minIndex`, and
    // every number and range button.
    void ShowPair(int minIndex);
    void ShowAll();

private:
    DeviceModel& model_;
    PickerLauncher* pickers_;
    int popupIndex_ = 0;
};

extern TInitCtrlForm* InitCtrlForm;

}  // namespace morvelant
