// The virtual device window: 24 on-screen faders with select buttons and
// lamps, 24 key buttons with lamps, the special keys, the MIDI activity
// lamps, three status bars describing the selected fader, a preset stepper
// and the learn indicator. It is handed the engine (and through it the
// device model and the routing tables) when it is created.
//
// Moving a fader or pressing a key drives the engine exactly as the hardware
// would; the window listens to the notifications it shows (fader positions,
// key lamps, MIDI lamps, the selected fader, the current preset, learn) and
// writes the on-screen fader positions into the model.
#pragma once

#include <QFrame>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/MidiRouting.h"
#include "model/DeviceModel.h"
#include "platform/CommandRegistry.h"
#include "platform/QtFaderDrag.h"
#include "platform/QtFormBase.h"
#include "shell/WindowBookkeeping.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QTimer;

namespace morvelant {

class FormBookkeeping;

// A lamp image: shows the bright or the dark picture of its kind.
class LampImage : public QWidget {
    Q_OBJECT
public:
    enum class Shape { Bar, Round };
    LampImage(Shape shape, QWidget* parent);
    bool Bright() const { return bright_; }
    // Changes the picture and repaints at once.
    void SetBright(bool bright);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Shape shape_;
    bool bright_ = false;
};

// A status bar of fixed-width text panels; the last panel takes the rest.
class PanelStatusBar : public QFrame {
    Q_OBJECT
public:
    PanelStatusBar(const std::vector<int>& widths, QWidget* parent);
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    // Texts are Windows-1252 bytes.
    void SetPanelText(int panel, const std::string& text);
    std::string PanelText(int panel) const;

private:
    std::vector<QLabel*> panels_;
};

class TMainForm : public TForm {
    Q_OBJECT

public:
    // engine: the engine with the device model (whose ProgramPath is the
    // program directory holding "Morvelant.cfg" and the working sets), the
    // routing tables and the notifications; all of them outlive the window.
    // Reads the window's configuration, as its creation always did.
    // commands: where the window registers the menu commands it carries out
    // (null: none).
    explicit TMainForm(Engine& engine, CommandRegistry* commands = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    // ---- The model and the engine context (not owned) ----------------------
    DeviceModel& Model;
    // Which ports play which role; the MIDI settings fill it.
    MidiRouting& Routing;
    Engine& DeviceEngine;
    CommandRegistry* Commands = nullptr;
    // The open editor windows, the menu switching and the reopening at start.
    // The editor windows report to it through the form events; nobody needs
    // to call WindowActivated or WindowHidden by hand.
    WindowBookkeeping Bookkeeping{Model};
    // The fader parameter window's key menu, which the key buttons open;
    // handed by the composition root once that window exists.
    QPointer<QMenu> KeyPopupMenu;

    // ---- Controls (object names as the component names) --------------------
    std::array<QScrollBar*, kFaderCount> FaderList{};
    std::array<QPushButton*, kFaderCount> FaderSelectList{};
    std::array<LampImage*, kFaderCount> FaderSelectLedList{};
    std::array<QPushButton*, kFaderCount> KeyOnOffList{};
    std::array<LampImage*, kFaderCount> KeyLedList{};
    QPushButton* StartButton = nullptr;
    QPushButton* Button1 = nullptr;  // Stop
    QPushButton* Button2 = nullptr;  // Cont.
    QPushButton* Button3 = nullptr;  // Tempo (no action)
    QPushButton* Button4 = nullptr;  // <<
    QPushButton* Button5 = nullptr;  // >>
    QPushButton* Button6 = nullptr;  // SnapShot
    QPushButton* Button7 = nullptr;  // OK (no action)
    LampImage* StartLed = nullptr;
    LampImage* StopLed = nullptr;
    LampImage* ContLed = nullptr;
    LampImage* TempoLed = nullptr;
    LampImage* RewLed = nullptr;
    LampImage* FwdLed = nullptr;
    LampImage* SnapshotLed = nullptr;
    LampImage* OkLed = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QGroupBox* MidiActivity = nullptr;
    LampImage* MidiInLed = nullptr;
    LampImage* MidiOutLed = nullptr;
    QTimer* MidiInTimer = nullptr;
    QTimer* MidiOutTimer = nullptr;
    PanelStatusBar* MainStatusBar = nullptr;
    PanelStatusBar* KeyOnStatusBar = nullptr;
    PanelStatusBar* KeyOffStatusBar = nullptr;
    QPushButton* PrevPreset = nullptr;
    QPushButton* NextPreset = nullptr;
    QPushButton* NotesButton = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* LearnLabel = nullptr;
    QTimer* LearnTimer = nullptr;

    // Popup menus and their items.
    QMenu* FaderPopupMenu = nullptr;
    QAction* ShowParameters1 = nullptr;
    QAction* CopyFaderParameters1 = nullptr;
    QAction* PasteFaderParameters1 = nullptr;
    QAction* PasteSpecialFaderParameters1 = nullptr;
    QAction* InitFaderParameters1 = nullptr;
    QAction* ClearAllFaderParameters1 = nullptr;
    QAction* InitAllFaderParameterswithMidiCtrl1 = nullptr;
    QAction* ReloadPreset2 = nullptr;
    QAction* LearnEvent1 = nullptr;
    QAction* LearnEvStr1 = nullptr;
    QAction* LearnSxStr1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* CopyFaderParameters2 = nullptr;
    QAction* PasteFaderParameters2 = nullptr;
    QAction* PasteSpecialFaderParameters2 = nullptr;
    QAction* InitFaderParameters2 = nullptr;
    QAction* ClearFaderParameters1 = nullptr;
    QAction* InitFaderParameterswithMidiControllers1 = nullptr;
    QMenu* LearnPopupMenu = nullptr;
    QAction* LearnEvent2 = nullptr;
    QAction* LearnEvStr2 = nullptr;
    QAction* LearnSxStr2 = nullptr;

    // The control the on-screen fader menu was last opened on.
    QWidget* PopupComponent() const { return popupComponent_; }
    void SetPopupComponent(QWidget* control) { popupComponent_ = control; }

    // ---- Operations other windows call -------------------------------------
    void SelectFader(int fader);
    void SetKeyLamp(int key, bool on);
    void ShowMidiInActivity();
    void ShowMidiOutActivity();
    // Sends the preset's "Preset" key string when asked, starts the 24
    // faders and keys anew and shows the selected preset in every view.
    void ShowCurrentPreset(bool send);
    // "Virtual Morvelant           (Preset 5)  Strings ": the current preset's
    // number and name.
    void ShowPresetCaption();

    // Status bars for preset p, fader f.
    void ShowFaderStatus(int p, int f);
    void ShowKeyOnStatus(int p, int f);
    void ShowKeyOffStatus(int p, int f);
    void ShowStatusBars(int f);
    // Describes the selected fader anew after every edit made in `editor`
    // (its lists, edits and buttons), so the bars never show an old event.
    void FollowFaderEdits(QWidget* editor);

    // ---- Open-window bookkeeping --------------------------------------------
    void WindowActivated(TForm* window);
    void WindowHidden(TForm* window);
    void SwitchMenus(TForm* window);
    // The shown editor windows, the last one the most recently activated.
    const std::vector<WindowHandle>& OpenWindows() const { return Bookkeeping.OpenWindows(); }

    // Configuration section of the window in "Morvelant.cfg".
    void ReadConfiguration();
    void WriteConfiguration();
    std::string ConfigFile() const;
    // The working sets "Config.MVR" and "Config.MVT" of the program folder.
    void ReadWorkingSets(const std::string& commandLineFile = {});
    bool WriteWorkingSets();

    // ---- Event handlers ------------------------------------------------------
    void FaderChange(int tag);
    void FaderEnter(int tag);
    void KeyOnOff1Click(int tag);
    void FaderSelectMouseDown(int tag, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void KeyOnOffMouseDown(int tag, Qt::MouseButton button);
    void KeyOnOffMouseUp(int tag, Qt::MouseButton button);
    void StartButtonClick(int tag);
    void GroupBox4Click();
    void Button6Click();
    void NextPresetClick();
    void PrevPresetClick();
    void NotesButtonClick();
    // One step of the mouse wheel: down moves the selected fader towards 127.
    void FormMouseWheelDown();
    void FormMouseWheelUp();
    void MidiInTimerTimer();
    void MidiOutTimerTimer();

    // Learn, hook and overdub.
    void LearnEvent1Click() { StartLearn(Model.PopupFader, 0); }
    void LearnEvStr1Click() { StartLearn(Model.PopupFader, 1); }
    void LearnSxStr1Click() { StartLearn(Model.PopupFader, 2); }
    void LearnEvent2Click() { StartLearn(Model.SelectedFader, 0); }
    void LearnEvStr2Click() { StartLearn(Model.SelectedFader, 1); }
    void LearnSxStr2Click() { StartLearn(Model.SelectedFader, 2); }
    void LearnTimerTimer();
    void LearnLabelClick();
    // Learn ended by itself (or was cancelled): the label stops blinking.
    void LearnEnded();
    bool LearnLabelRed() const { return learnRed_; }

    // Menu commands of the menu window; each works on its item's check mark.
    void HookMode1Click();
    void OverdupMode1Click();
    void MidiActivity1Click();
    void MotorFaders1Click();
    void FaderAutoSelect1Click();
    void WarningMessages1Click();

    // Select-button popup (fader PopupFader of SelectedPreset).
    void ShowParameters1Click();
    void CopyFaderParameters1Click();
    void PasteFaderParameters1Click();
    void PasteSpecialFaderParameters1Click();
    void InitFaderParameters1Click();
    void ClearAllFaderParameters1Click();
    void InitAllFaderParameterswithMidiCtrl1Click();
    void ReloadPreset2Click();
    // On-screen fader popup (the fader it was opened on).
    void CopyFaderParameters2Click();
    void PasteFaderParameters2Click();
    void PasteSpecialFaderParameters2Click();
    void InitFaderParameters2Click();
    void ClearFaderParameters1Click();
    void InitFaderParameterswithMidiControllers1Click();

    // Fader drag and drop between select buttons (any select button takes a drop).
    void FaderSelectDragDrop(int source, int target);

    // ---- What the window shows of the notifications ------------------------------
    void KeyLampChanged(int key, bool on);
    void ShowFaderPosition(int fader, int position);
    // The select lamps follow the model's marks; the status bars describe
    // the selected fader.
    void ShowFaderSelection();

protected:
    void FormShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Shows another window through its Windows-menu item (without a
    // registry: the window itself).
    void ShowWindowOfItem(const char* item, const char* formName);
    void BuildControls();
    void BuildMenus();
    void WatchChildren();
    void PaintSelectLamps();
    void StartLearn(int fader, int kind);
    void StartFaderDrag(int tag);
    // The fader the on-screen fader menu was opened on (its Tag), else the selected one.
    int PopupFaderTag() const;
    bool ToggleOption(const char* item, bool flag);
    // Registers the menu commands this window carries out.
    void RegisterCommands();

    QWidget* popupComponent_ = nullptr;
    std::unique_ptr<FormBookkeeping> formBookkeeping_;
    std::vector<Subscription> subscriptions_;
    std::vector<std::string> registered_;
    bool firstShowDone_ = false;
    bool learnRed_ = false;
    // A left press on a select button that may become a drag.
    FaderDragGesture dragGesture_;
};

// The one virtual device window of the program.
extern TMainForm* MainForm;

// Start-up: the name of the single-instance lock, the application's title,
// and the screen the editor needs (height checked first).
inline constexpr char kSingleInstanceName[] = "MorvelantEditor";
inline constexpr char kApplicationTitle[] = "Morvelant Editor v2.40 beta";
inline constexpr char kScreenTooSmall[] =
    "You must set the Screen Resolution to a minumum of 800x600 to use this program !";
inline constexpr char kScreenTooSmallCaption[] = "Warning !";
inline bool ScreenLargeEnough(int width, int height) { return !(height < 600) && !(width < 800); }

// The end of a run. Everything is written while the single-instance lock is
// still held, so a new copy started meanwhile can never read half-written
// files: first the working sets, then the windows are destroyed (each writes
// its configuration), and only then is the lock given up.
template <typename Lock, typename WriteSets, typename DestroyWindows>
void ShutDownEditor(Lock& lock, WriteSets&& writeWorkingSets, DestroyWindows&& destroyWindows) {
    writeWorkingSets();
    destroyWindows();
    lock.Release();
}

}  // namespace morvelant
