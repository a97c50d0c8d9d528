// The pattern list window: the 64 device patterns by name with a select
// button each, and the pattern edit buffers (slots 64 on) in a combo box.
// Choosing a name makes that pattern current; renaming, initialising,
// copying and exchanging by dragging, the pattern clipboard, the buffer
// commands, loading, saving and sending are carried out here, as are the
// pattern commands of the menu window.
//
// ShowPattern is the one "current pattern changed" operation: it makes the
// slot current and publishes CurrentPatternChanged, to which every pattern
// view listens (this window included).
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

class TPatternForm : public TSlotListForm {
    Q_OBJECT

public:
    // Reads its configuration section from programPath + "Morvelant.cfg"
    // and registers the menu window's pattern commands in `commands`.
    TPatternForm(DeviceModel& model, Notifications& notifications, Engine& engine, CommandRegistry& commands,
                 std::string programPath, QWidget* parent = nullptr);
    ~TPatternForm() override;

    int EditBufferCount() const;

    // ---- Popup menus ----------------------------------------------------------
    QMenu* PatternFormPopup = nullptr;
    QAction *SelectAllPatterns1 = nullptr, *DeselectAllPatterns1 = nullptr, *ToggleSelection1 = nullptr;
    QAction *CopyPattern1 = nullptr, *PastePattern1 = nullptr, *PasteSpecial1 = nullptr, *InitPreset1 = nullptr;
    QMenu* Load1 = nullptr;
    QAction *SinglePattern1 = nullptr, *Patterns1 = nullptr, *PatternsSequentially1 = nullptr;
    QMenu* Save1 = nullptr;
    QAction *SinglePattern2 = nullptr, *Patterns2 = nullptr, *AllPatternsAsSingleFiles1 = nullptr,
            *SelectedPresets1 = nullptr, *SelectedPresetsAsSingleFiles1 = nullptr;
    QAction* SendPattern = nullptr;
    QMenu* EditBuffersPopupMenu1 = nullptr;
    QAction *ClearAllBuffers = nullptr, *DeletePreset1 = nullptr;

    // ---- Operations ------------------------------------------------------------
    void ShowPattern(int slot);
    void ShowPatternName(int slot) { ShowSlotName(slot); }
    void ShowPatternNameGuarded(int slot);

    // ---- Handlers ----------------------------------------------------------------
    void SelectAllPatterns1Click() { SelectAllSlots(); }
    void DeselectAllPatterns1Click() { DeselectAllSlots(); }
    void ToggleSelection1Click() { ToggleSelection(); }
    void CopyPattern1Click();
    void PastePattern1Click();
    void PasteSpecial1Click();
    void FactoryInit1Click() { InitPatterns(0); }
    void SinglePattern1Click();
    void Patterns1Click();
    void PatternsSequentially1Click();
    void SinglePattern2Click();
    void Patterns2Click();
    void AllPatternsAsSingleFiles1Click();
    void SelectedPresets1Click();
    void SelectedPresetsAsSingleFiles1Click();
    void SendPatternClick();
    void SelectedPatterns4Click() { StartSeries(); }
    void ClearAllBuffersClick();
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
    // scope 0: the current pattern, 1: the marked ones, 2: all device patterns.
    void InitPatterns(int scope);
    void ShowLoaded(int current);
    FormConfig Config() const;

    DeviceModel& model_;
    Notifications& notifications_;
    Engine& engine_;
    CommandRegistry& commands_;
    std::string configFile_;
    Subscription patternChanged_;
    Subscription patternData_;
};

extern TPatternForm* PatternForm;

}  // namespace morvelant
