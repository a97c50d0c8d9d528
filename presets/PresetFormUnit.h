// The preset list window: the 64 device presets by name with a select button
// each, and the edit buffers (slots 64 on) in a combo box. Choosing a preset
// here makes it the editor's current preset; renaming, copying and
// exchanging by dragging, the buffer commands, loading, saving and sending
// are carried out here, as are the preset commands of the menu window.
//
// ShowCurrentPreset is the one "current preset changed" operation (the
// engine's, which every other window calls too): it sends the preset's
// "Preset" key string when asked, starts the faders and keys anew and
// publishes CurrentPresetChanged, to which every view of the current preset
// listens (this window included: colours, name and focus).
#pragma once

#include <QAction>
#include <QMenu>

#include <functional>
#include <string>

#include "engine/Engine.h"
#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "platform/CommandRegistry.h"
#include "platform/QtFormConfig.h"
#include "platform/QtSlotListForm.h"

namespace morvelant {

class TPresetForm : public TSlotListForm {
    Q_OBJECT

public:
    // Reads its configuration section from programPath + "Morvelant.cfg"
    // (programPath with a trailing '/', or empty for the current folder) and
    // registers the menu window's preset commands in `commands`.
    TPresetForm(DeviceModel& model, Notifications& notifications, Engine& engine, CommandRegistry& commands,
                std::string programPath, QWidget* parent = nullptr);
    // Writes its configuration section.
    ~TPresetForm() override;

    // Edit buffers in use (the model keeps the count).
    int EditBufferCount() const;

    // Shows the fader parameter window (a double click on a name).
    std::function<void()> ShowFaderParametersWindow;

    // ---- Popup menus ----------------------------------------------------------
    QMenu* PresetFormPopup = nullptr;
    QAction *SelectAllPresets1 = nullptr, *DeselectAllPresets1 = nullptr, *ToggleSelection1 = nullptr;
    QAction *CopyPreset1 = nullptr, *PastePreset1 = nullptr, *PasteSpecial1 = nullptr;
    QMenu* InitPreset2 = nullptr;
    QAction *FactoryInit1 = nullptr, *NoStatus1 = nullptr, *MidiControllers1 = nullptr;
    QMenu* Load1 = nullptr;
    QAction *SinglePreset1 = nullptr, *Presets1 = nullptr, *PresetsSequentially1 = nullptr;
    QMenu* Save1 = nullptr;
    QAction *SinglePreset2 = nullptr, *AllPresets1 = nullptr, *AllPresetsAsSingleFiles1 = nullptr,
            *SelectedPresets1 = nullptr, *SelectedPresetsAsSingleFiles1 = nullptr;
    QAction *DisplayDescription1 = nullptr, *PrintDescription1 = nullptr, *SendPreset = nullptr;
    QMenu* EditBuffersPopupMenu1 = nullptr;
    QAction *ClearAllBuffers = nullptr, *LoadPresets = nullptr, *DeletePreset1 = nullptr;

    // ---- Operations ------------------------------------------------------------
    void SelectPreset(int slot, bool send);
    void ShowCurrentPreset(bool send);
    void UpdatePresetName(int slot);
    void ShowPresetName(int slot) { ShowSlotName(slot); }

    // ---- Handlers ----------------------------------------------------------------
    void SelectAllPresets1Click() { SelectAllSlots(); }
    void DeselectAllPresets1Click() { DeselectAllSlots(); }
    void ToggleSelection1Click() { ToggleSelection(); }
    void CopyPreset1Click();
    void PastePreset1Click();
    void PasteSpecial1Click();
    void InitPreset1Click();
    void ClearPreset1Click();
    void InitPresetwithMidiCtrl1Click();
    void LoadPresetClick();
    void LoadallPresets1Click();
    void LoadPresetsSequentially1Click();
    void SavePresetClick();
    void SaveallPresetsClick();
    void SavePresetsasSingleFiles1Click();
    void SaveselectedPresets1Click();
    void SaveselectedPresetsasingleFiles1Click();
    void DisplayDescription1Click();
    void PrintDescription1Click();
    void SendPresetClick();
    void SelectedPresets2Click() { StartSeries(); }
    void ClearAllBuffersClick();
    void LoadPresetsClick();
    void DeletePreset1Click();

protected:
    std::string ListSlotName(int slot) const override;
    int ListCurrentSlot() const override;
    int ListBufferCount() const override;
    bool ListMarked(int slot) const override;
    void ListSetMarked(int slot, bool marked) override;

    void Edit1Change(int slot) override;
    void Edit1Enter(int slot) override;
    void Edit4MouseDown(int slot, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) override;
    void Edit1DblClick(int slot) override;
    void Edit1DragDrop(int slot) override;
    void EditBuffersComboBoxClick() override;
    void EditBuffersComboBoxEnter() override;
    void EditBuffersComboBoxDragDrop() override;
    bool SeriesMayStart() override;
    bool SendSeriesSlot(int slot) override;
    int SeriesInterval() const override;

    void FormShow() override;
    void FormClose(TCloseAction& action) override;

private:
    void BuildMenus();
    void RegisterCommands();
    // scope 0: the current preset, 1: the marked ones, 2: all device presets;
    // kind 0 factory, 1 no status, 2 MIDI controllers.
    void InitPresets(int scope, int kind);
    // After a load: every name and the buffer list anew, then the current
    // preset shown with sending.
    void ShowLoaded();
    FormConfig Config() const;
    void ReadConfiguration();
    void WriteConfiguration();

    DeviceModel& model_;
    Notifications& notifications_;
    Engine& engine_;
    CommandRegistry& commands_;
    std::string configFile_;
    Subscription presetChanged_;
    Subscription presetData_;
    Subscription showRequest_;
};

extern TPresetForm* PresetForm;

}  // namespace morvelant
