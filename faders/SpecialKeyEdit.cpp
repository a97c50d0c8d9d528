#include "faders/SpecialKeyEdit.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>

#include "faders/ByteStringField.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "platform/QtFixedFormBounds.h"
#include "platform/QtText.h"

namespace morvelant {

TSpecialKeyForm* SpecialKeyForm = nullptr;

namespace {

constexpr char kSection[] = "SpecialKeyForm";

}  // namespace

TSpecialKeyForm::TSpecialKeyForm(DeviceModel& model, Notifications& notifications, CommandRegistry& commands,
                                 QWidget* parent)
    : TForm(QStringLiteral("SpecialKeyForm"), parent), model_(model), commands_(commands) {
    SetCaption("SpecialKeyForm");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(711, 196);
    GroupBox1 = new QGroupBox(QStringLiteral("Special Keys"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 4, 695, 184);
    const struct {
        QLineEdit** edit;
        const char* name;
        const char* label;
    } edits[] = {{&PresetString, "PresetString", "Preset"}, {&StartString, "StartString", "Start"},
                 {&StopString, "StopString", "Stop"},       {&ContString, "ContString", "Cont."},
                 {&RewString, "RewString", "<<"},           {&FowString, "FowString", ">>"}};
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int i = 0; i < kSpecialKeyCount; ++i) {
        auto* label = new QLabel(QString::fromLatin1(edits[i].label), GroupBox1);
        label->setGeometry(12, 22 + 26 * i, 50, 18);
        auto* e = new QLineEdit(GroupBox1);
        e->setObjectName(QString::fromLatin1(edits[i].name));
        e->setProperty("Tag", i);
        e->setFont(fixed);
        e->setGeometry(64, 20 + 26 * i, 620, 22);
        fields_[size_t(i)] = new ByteStringField(e, model_, StringKind::SpecialKey, [this, i](const EventStringEdit& typed) {
            model_.SetPresetString(typed.text, i);
        });
        *edits[i].edit = e;
        Edits[size_t(i)] = e;
    }
    ReadConfig();
    const auto refresh = [this] { ShowSpecialKeys(model_.SelectedPreset); };
    presetChanged_ = notifications.CurrentPresetChanged.Subscribe(refresh);
    presetData_ = notifications.PresetDataChanged.Subscribe([this, refresh](int slot) {
        if (slot == -1 || slot == model_.SelectedPreset) refresh();
    });
}

TSpecialKeyForm::~TSpecialKeyForm() {
    WriteConfig();
    if (SpecialKeyForm == this) SpecialKeyForm = nullptr;
}

void TSpecialKeyForm::ShowSpecialKeys(int p) {
    if (!DeviceModel::ValidPreset(p)) return;
    DeviceModel::UpdatingGuard guard(model_);
    for (int i = 0; i < kSpecialKeyCount; ++i)
        Edits[size_t(i)]->setText(FromCp1252(model_.Presets[size_t(p)].SpecialKeyString[size_t(i)]));
}

void TSpecialKeyForm::PresetStringChange(int i) {
    if (i < 0 || i >= kSpecialKeyCount) return;
    fields_[size_t(i)]->Change();
}

std::string TSpecialKeyForm::ConfigFile() const { return ConfigFileIn(model_.ProgramPath); }

void TSpecialKeyForm::ReadConfig() {
    const TIniFile ini(ConfigFile());
    model_.ShowSpecialKeys = ini.ReadBool("Options", "ShowSpecialKeys", false);
    ReadFixedFormBounds(ini, kSection, {364, 94, 715, 219}, *this, savedWidth_, savedHeight_);
}

void TSpecialKeyForm::WriteConfig() {
    TIniFile ini(ConfigFile());
    ini.WriteBool("Options", "ShowSpecialKeys", model_.ShowSpecialKeys);
    WriteFixedFormBounds(ini, kSection, *this, savedWidth_, savedHeight_);
}

void TSpecialKeyForm::FormShow() { model_.ShowSpecialKeys = true; }

void TSpecialKeyForm::FormClose(TCloseAction&) {
    commands_.SetChecked("MainFormWindowsSpecialKeys", false);
    model_.ShowSpecialKeys = false;
}

}  // namespace morvelant
