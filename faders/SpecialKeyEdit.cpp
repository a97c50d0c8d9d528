#include "faders/SpecialKeyEdit.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>

#include <utility>

#include "faders/EventStringRules.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "platform/QtFixedFormBounds.h"
#include "platform/QtText.h"

namespace morvelant {

TSpecialKeyForm* SpecialKeyForm = nullptr;

namespace {

constexpr char kSection[] = "SpecialKeyForm";

// The canonical text without a lone digit at its end: the bytes that are
// stored, sent and saved. The digit stays in the field while it is typed.
std::string WholeBytes(const std::string& canonical) {
    const size_t lastBlank = canonical.rfind(' ');
    const size_t lastByte = lastBlank == std::string::npos ? 0 : lastBlank + 1;
    if (canonical.size() - lastByte != 1) return canonical;
    return canonical.substr(0, lastBlank == std::string::npos ? 0 : lastBlank);
}

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
        e->installEventFilter(this);
        connect(e, &QLineEdit::textChanged, this, [this, i] { PresetStringChange(i); });
        // Leaving the field (Return, the focus going) drops a half byte.
        connect(e, &QLineEdit::editingFinished, this, [this, e] {
            const QString kept = FromCp1252(WholeBytes(ToCp1252(e->text())));
            if (e->text() == kept) return;
            DeviceModel::UpdatingGuard guard(model_);
            e->setText(kept);
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
    const bool backBlank = std::exchange(BackBlank[size_t(i)], false);
    if (model_.Updating) return;
    QLineEdit* edit = Edits[size_t(i)];
    const EventStringEdit e =
        CanonicaliseEventString(ToCp1252(edit->text()), edit->cursorPosition(), backBlank, StringKind::SpecialKey);
    {
        DeviceModel::UpdatingGuard guard(model_);
        const QString text = FromCp1252(e.text);
        if (edit->text() != text) edit->setText(text);
        edit->setCursorPosition(e.caret);
    }
    model_.SetPresetString(WholeBytes(e.text), i);
}

bool TSpecialKeyForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        for (int i = 0; i < kSpecialKeyCount; ++i) {
            QLineEdit* edit = Edits[size_t(i)];
            if (watched != edit) continue;
            const auto* ke = static_cast<QKeyEvent*>(event);
            BackBlank[size_t(i)] =
                ke->key() == Qt::Key_Backspace && BackspaceOverBlank(ToCp1252(edit->text()), edit->cursorPosition());
            edit->event(event);
            BackBlank[size_t(i)] = false;
            return true;
        }
    }
    return TForm::eventFilter(watched, event);
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
