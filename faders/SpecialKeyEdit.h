// The special keys window: the six strings that the Preset, Start, Stop,
// Cont., << and >> keys of the selected preset send, each kept in the
// canonical byte text (hex digits only: special keys have no live value).
// Only whole bytes are stored; a half byte shows only while it is typed
// (see ByteStringField).
#pragma once

#include <QLineEdit>

#include <array>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "platform/CommandRegistry.h"
#include "platform/QtFormBase.h"

class QGroupBox;

namespace morvelant {

class ByteStringField;

class TSpecialKeyForm : public TForm {
    Q_OBJECT

public:
    TSpecialKeyForm(DeviceModel& model, Notifications& notifications, CommandRegistry& commands,
                    QWidget* parent = nullptr);
    ~TSpecialKeyForm() override;

    // Shows the six strings of preset p without storing anything.
    void ShowSpecialKeys(int p);
    // A change of edit `tag` (0..5).
    void PresetStringChange(int tag);

    QGroupBox* GroupBox1 = nullptr;
    QLineEdit *PresetString = nullptr, *StartString = nullptr, *StopString = nullptr;
    QLineEdit *ContString = nullptr, *RewString = nullptr, *FowString = nullptr;
    std::array<QLineEdit*, kSpecialKeyCount> Edits{};

    void ReadConfig();
    void WriteConfig();

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;

private:
    std::string ConfigFile() const;

    DeviceModel& model_;
    CommandRegistry& commands_;
    std::array<ByteStringField*, kSpecialKeyCount> fields_{};
    Subscription presetChanged_;
    Subscription presetData_;
    int savedWidth_ = 715;
    int savedHeight_ = 219;
};

extern TSpecialKeyForm* SpecialKeyForm;

}  // namespace morvelant
