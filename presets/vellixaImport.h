// The settings dialog of the knob-preset conversion, "Settings for vellixa
// Import". Its controls mirror a VellixaImportSettings value, which the
// conversion reads when it runs. What the user changes while the dialog is
// up is kept by "Close" (and Return); Escape or closing the window otherwise
// puts the settings back as they were when it came up. Lives as long as the
// program; closing only hides it.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "platform/QtFormBase.h"
#include "presets/VellixaConversion.h"
#include "presets/vellixaImportRules.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace morvelant {

class TvellixaImportForm : public TForm {
    Q_OBJECT

public:
    // Loads the settings from configFile ("Morvelant.cfg" in the program
    // directory when empty); the destructor saves them.
    explicit TvellixaImportForm(std::string configFile = {}, QWidget* parent = nullptr);
    ~TvellixaImportForm() override;

    VellixaImportSettings& Settings() { return settings_; }
    int MasterChannel() const { return settings_.MasterChannel; }

    QGroupBox *ImportSettingsGroupBox = nullptr, *MasterChannelGroupBox = nullptr, *FaderSettingsGroupBox = nullptr;
    // [knob block][fader block]: CheckBox1_1, CheckBox1_9, CheckBox1_17, CheckBox9_1, ...
    std::array<std::array<QCheckBox*, kFaderBlocks>, kKnobBlocks> MapBoxes{};
    std::array<QCheckBox*, kFaderBlocks> CheckBoxClearFaders{};
    std::array<QCheckBox*, kFaderBlocks> CheckBoxClearButtons{};
    QCheckBox *AddDescription = nullptr, *UseKnobNames = nullptr, *WarningMessages = nullptr;
    QCheckBox *Output1 = nullptr, *Output2 = nullptr, *CheckBoxShowDialog = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    std::array<QToolButton*, 16> SpeedButtons{};  // Tag = index
    QLineEdit* ThresholdEdit = nullptr;
    QToolButton *UpDown1Up = nullptr, *UpDown1Down = nullptr;
    QPushButton *DefaultButton = nullptr, *CloseButton = nullptr;

    void SpeedButton1Click(int tag);
    void CloseButtonClick();
    void DefaultButtonClick();
    // Shows the controls as the settings stand.
    void ShowSettings();

    void LoadSettings();
    void SaveSettings();

    // Converts the engine's knob presets with these settings from now on,
    // showing this dialog modally first while "Always show this Dialog" is
    // checked.
    void ConnectImports(Engine& engine);

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;

private:
    void Build();
    // Takes the threshold typed: clamped to 0..63, the old one for no number.
    void ThresholdEditCommit();
    // A threshold typed and not yet committed counts as soon as the user
    // does anything else: the buttons beside the field take no focus, so its
    // own commit on leaving would come too late or never.
    void TakeTypedThreshold();

    VellixaImportSettings settings_;
    VellixaImportSettings shownWith_;  // as the dialog came up
    bool keep_ = false;  // the close under way keeps the changes
    std::string configFile_;
    std::unique_ptr<VellixaImportConnection> imports_;
};

extern TvellixaImportForm* vellixaImportForm;

}  // namespace morvelant
