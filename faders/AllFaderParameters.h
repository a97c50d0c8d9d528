// The fader parameter window: every parameter of the selected fader of the
// selected preset and of its two key events, edited through the model's
// setters (which follow multi-fader editing), with fader navigation, drag
// and drop between select buttons, the clipboard and init menus, snapshot,
// and multi-fader selection.
//
// The window keeps no parameter data of its own: ShowParameters refills
// every control from the model, one control at a time under the update
// guard, so no refill ever writes back into the model.
#pragma once

#include <QFrame>
#include <QLineEdit>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "faders/FaderEventTables.h"
#include "faders/FaderPickers.h"
#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "platform/CommandRegistry.h"
#include "platform/QtFaderDrag.h"
#include "platform/QtFormBase.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QStringListModel;
class QTimer;
class QToolButton;

namespace morvelant {

class ByteStringField;
struct EventStringEdit;

// A small lamp: bright or dark.
class FaderLamp : public QWidget {
    Q_OBJECT
public:
    explicit FaderLamp(QWidget* parent);
    bool Bright() const { return bright_; }
    void SetBright(bool bright);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool bright_ = false;
};

// A number with arrows: a line edit and two arrow buttons. The arrows (and
// the Up and Down keys in the edit) step the number within min..max; typed text is the edit's own, so a number
// beyond the arrows' range may be stored. The number is handed on when it
// is committed: Return, the focus leaving a changed edit, an arrow, or a
// write by the program outside the update guard. While it is typed the edit
// may hold anything, even nothing.
class ArrowEdit : public QWidget {
    Q_OBJECT
public:
    ArrowEdit(const QString& name, int min, int max, QWidget* parent);
    QLineEdit* Edit = nullptr;
    QToolButton* Up = nullptr;
    QToolButton* Down = nullptr;
    void Step(int delta);
    // Shows `text` as committed: nothing is handed on.
    void Show(const QString& text);

Q_SIGNALS:
    void Committed();

protected:
    // Up and Down in the edit step as the arrows do.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int min_;
    int max_;
    bool showing_ = false;
};

// What the window asks of other windows. The composition root fills it; an
// empty entry does nothing. Selecting a fader and showing the current preset
// are the engine's, which tells every window.
struct FaderWindowLinks {
    // Brings the virtual device window forward.
    std::function<void()> ShowVirtualDevice;
    // Shows the preset notes window, or closes it when it is shown.
    std::function<void()> ToggleNotes;
    // The virtual device window's caption.
    std::function<void(const std::string& caption)> SetVirtualDeviceCaption;
    // The virtual device window's three status bars for (preset, fader).
    std::function<void(int p, int f)> ShowStatusBars;
};

class TAllFaderP : public TForm {
    Q_OBJECT

public:
    // The engine brings the model and the notifications with it.
    TAllFaderP(Engine& engine, CommandRegistry& commands, FaderWindowLinks links = {}, FaderPickers* pickers = nullptr,
               QWidget* parent = nullptr);
    ~TAllFaderP() override;

    // Refills every control from fader `fader` of preset `preset`.
    void ShowParameters(int fader, int preset);

    // ---- Controls (object names as the component names) ----------------------
    std::array<QPushButton*, kFaderCount> FaderSelectList{};
    std::array<FaderLamp*, kFaderCount> FaderSelectLedList{};
    std::array<QToolButton*, kFaderCount> MultiselectButtons{};
    QGroupBox *GroupBox10 = nullptr, *GroupBox3 = nullptr, *GroupBox4 = nullptr, *GroupBox5 = nullptr;
    QGroupBox *GroupBox6 = nullptr, *GroupBox7 = nullptr, *GroupBox8 = nullptr, *GroupBox1 = nullptr;
    QGroupBox *GroupBox9 = nullptr, *GroupBox2 = nullptr, *GroupBox11 = nullptr, *GroupBox12 = nullptr;
    QGroupBox *MultiGroupBox = nullptr, *GroupBox13 = nullptr, *GroupBox14 = nullptr;
    QLineEdit *SliderName = nullptr, *KeyOnName = nullptr, *KeyOffName = nullptr;
    QComboBox *FaderEvent = nullptr, *KeyOnEvent = nullptr, *KeyOffEvent = nullptr;
    QLabel *MidiData1 = nullptr, *MidiData2 = nullptr, *KeyOnData1 = nullptr, *KeyOnData2 = nullptr;
    QLabel *KeyOffData1 = nullptr, *KeyOffData2 = nullptr;
    QComboBox *FaderMidiData1 = nullptr, *FaderMidiData2 = nullptr, *KeyOnMidiData1 = nullptr;
    QComboBox *KeyOnMidiData2 = nullptr, *KeyOffMidiData1 = nullptr, *KeyOffMidiData2 = nullptr;
    ArrowEdit *FaderThreshold = nullptr, *FaderValue = nullptr, *FaderMax = nullptr, *FaderMin = nullptr;
    QCheckBox* FaderOutMode = nullptr;
    QComboBox *MasterSlaveMode = nullptr, *FaderMidiMode = nullptr, *SwitchMode = nullptr;
    QComboBox *DemuteVal = nullptr, *MuteVal = nullptr;
    QToolButton *ModeImmediateButton = nullptr, *ModeRelativeButton = nullptr, *ModeCatchButton = nullptr;
    std::array<QToolButton*, 48> SpeedButtons{};  // SpeedButton1..SpeedButton48
    QPushButton *PrevFader = nullptr, *NextFader = nullptr, *KeyOnOff = nullptr;
    QScrollBar* Fader = nullptr;
    QLineEdit* FaderVal = nullptr;
    FaderLamp* KeyLed = nullptr;
    QPushButton *PrevPreset = nullptr, *NextPreset = nullptr, *NotesButton = nullptr;
    QLabel *MultiLabel = nullptr, *MultiLabel2 = nullptr;
    QCheckBox* MultiCheckBox = nullptr;
    QLineEdit *FaderString = nullptr, *KeyOnString = nullptr, *KeyOffString = nullptr;
    QTimer *Timer1 = nullptr, *Timer2 = nullptr, *Timer3 = nullptr;

    // Popup menus and their items.
    QMenu *FaderPopupMenu = nullptr, *SliderPopupMenu = nullptr, *KeyPopupMenu = nullptr;
    QMenu *KeyOnPopupMenu = nullptr, *KeyOffPopupMenu = nullptr, *FaderPopup = nullptr;
    QMenu* MultiSelectPopupMenu = nullptr;
    QAction *PasteFaderParameters1 = nullptr, *PasteSpecialFaderParameters1 = nullptr;
    QAction *PasteFaderParameters2 = nullptr, *PasteSpecialFaderParameters2 = nullptr;
    QAction *PasteKeyParameters1 = nullptr, *PasteSpecialKeyParameters1 = nullptr;
    QAction *PasteKeyOnParameters1 = nullptr, *PasteKeyOffParameters1 = nullptr;

    // ---- Event and data editing ------------------------------------------------
    // Also called by the event popups with the item's index; an index
    // outside the list does nothing.
    void EventChange(int index);
    void KeyOnChange(int index);
    void KeyOffChange(int index);
    void SpeedButton1Click(int channel);
    void SpeedButton17Click(int channel);
    void SpeedButton33Click(int channel);
    // Data list `tag` (0..5) took index `index`.
    void DataChange(int tag, int index);
    // Selects entry `index` of data list `tag` under the guard.
    void ShowDataIndex(int tag, int index);
    // Selects entry `index` of a row's event list under the guard (the event
    // popups, after calling the row's event routine).
    void ShowEventIndex(EventRowKind row, int index);
    QComboBox* DataList(int tag) const;

    // ---- Range, modes and values --------------------------------------------------
    void FaderMinChange();
    void FaderMaxChange();
    void FaderValueChange();
    void FaderThresholdChange();
    void ModeButtonClick(int mode);
    void FaderMidiModeChange(int item);
    void MasterSlaveModeChange(int index);
    void FaderOutModeClick();
    void SwitchModeChange(int index);
    void MuteValChange(int index);
    void DemuteValChange(int index);

    // ---- Navigation, names and selection ------------------------------------------
    void FaderSelect1MouseDown(int tag, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void FaderSelect1KeyUp(int tag, int key);
    // A drop of select button `source` on select button `target`.
    void FaderSelect1DragDrop(int source, int target);
    void PrevFaderClick();
    void NextFaderClick();
    void PrevPresetClick();
    void NextPresetClick();
    void NotesButtonClick();
    void FaderChange();
    void KeyOnOffMouseDown();
    void KeyOnOffMouseUp();

    // ---- Clipboard and init ------------------------------------------------------------
    void Snapshot1Click();
    void ReloadPreset1Click();
    void SetValue1Click();

    // ---- Multi-fader editing ------------------------------------------------------------
    void MultiCheckBoxClick();
    void Timer3Timer();
    void SelectAll1Click();
    void DeselectAll1Click();
    void ToggleSelection1Click();

    // ---- Configuration ---------------------------------------------------------------
    void ReadConfig();
    void WriteConfig();

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // Moves the window's fader by the wheel's whole notches.
    void WheelSteps(const QWheelEvent& event);

private:
    struct EventRow;
    void BuildControls();
    void BuildMenus();
    void RegisterCommands();
    void Subscribe();
    QAction* Item(QMenu* menu, const char* name, const char* caption, std::function<void()> action);
    // Runs a model operation on (SelectedPreset, f), then selects f.
    void FaderCommand(void (DeviceModel::*op)(int, int), bool popupFader);
    void KeyCommand(void (DeviceModel::*on)(int, int), void (DeviceModel::*off)(int, int));

    void SelectFader(int fader);
    void PaintSelectLamps();
    void LayoutFaderRow(int index);
    void LayoutKeyRow(EventRow& row, int index);
    void FillDataList(QComboBox* list, DataItems items, int& shown);
    void ShowRowData(EventRow& row, int32_t mask);
    void ShowChannel(EventRow& row, int channel);
    void KeyEventChange(EventRow& row, int index);
    void StringChange(EventRow& row);
    // A String row's typed text, rebuilt: its whole bytes and their data 1.
    void StoreString(EventRow& row, const EventStringEdit& e);
    void NameChange(QLineEdit* edit, void (DeviceModel::*setter)(int, int, const std::string&));
    void RangeChange(bool isMin);
    void LiveStateAfterRangeChange();
    void ResetSelectedLiveState();
    bool RowShowsString(const EventRow& row) const;
    EventRow* RowOfTag(int tag, bool& isData1);
    void StartFaderDrag(int tag);
    std::string ConfigFile() const;
    Morvelant_Parameters& Preset() { return model_.Presets[size_t(model_.SelectedPreset)]; }

    DeviceModel& model_;
    Engine& engine_;
    Notifications& notifications_;
    CommandRegistry& commands_;
    FaderWindowLinks links_;
    FaderPickers* pickers_;
    std::array<EventRow*, 3> rows_{};
    std::array<Subscription, 6> subscriptions_;
    std::vector<std::string> registered_;  // menu items this window carries out
    QButtonGroup* modeGroup_ = nullptr;
    std::array<QStringListModel*, 4> nameModels_{};  // by DataItems
    bool blink_ = false;
    int savedWidth_ = 773;
    int savedHeight_ = 548;
    int wheelAngle_ = 0;  // eighths of a degree short of a whole notch
    FaderDragGesture dragGesture_;
};

// The one fader parameter window of the program.
extern TAllFaderP* AllFaderP;

}  // namespace morvelant
