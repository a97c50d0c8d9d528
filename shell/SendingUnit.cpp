#include "shell/SendingUnit.h"

#include <QAction>
#include <QWidget>

#include <algorithm>

#include "platform/QtDialogKeys.h"
#include "platform/QtText.h"

namespace morvelant {

TSendingForm* SendingForm = nullptr;

const char* const TSendingForm::kSendItemNames[10] = {
    "SinglePreset8",           "SelectedPresets6",  "AllPresets5",  "MainMenuSendPreset",
    "SinglePattern5",          "SelectedPatterns4", "AllPatterns4", "SendAllPresetsPatterns3",
    "SendAllPresetsPatterns4", "SendPreset",
};

TSendingForm::TSendingForm(QWidget* parent) : TForm(QStringLiteral("SendingForm"), parent) {
    SetCaption("Sending Presets...");
    SetBounds(400, 300, 288, 138);
    setFixedSize(288, 138);
    QFont font = this->font();
    font.setPointSize(8);
    setFont(font);

    Label1 = new QLabel(QStringLiteral("Sending Preset"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 8, 256, 16);

    PresetNumber = new QLineEdit(this);
    PresetNumber->setObjectName(QStringLiteral("PresetNumber"));
    PresetNumber->setGeometry(16, 26, 256, 22);

    Label2 = new QLabel(QStringLiteral("Label2"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(16, 54, 256, 16);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(16, 74, 256, 16);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Button1 = new QPushButton(QStringLiteral("Cancel"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(106, 102, 75, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    // Escape is the Cancel button; the dialog has no default button, so
    // Return presses Cancel only with the focus on it (a send is not
    // stopped by a stray Return).
    new DialogKeys(*this, nullptr, [this] { Button1Click(); });
}

TSendingForm::~TSendingForm() {
    if (SendingForm == this) SendingForm = nullptr;
}

void TSendingForm::AddSendItemOwner(QObject* owner) {
    if (owner != nullptr && std::find(owners_.begin(), owners_.end(), owner) == owners_.end()) owners_.push_back(owner);
}

void TSendingForm::RemoveSendItemOwner(QObject* owner) {
    owners_.erase(std::remove(owners_.begin(), owners_.end(), owner), owners_.end());
}

void TSendingForm::AddSeries(SendSeries* series) {
    if (series != nullptr && std::find(series_.begin(), series_.end(), series) == series_.end())
        series_.push_back(series);
}

void TSendingForm::RemoveSeries(SendSeries* series) {
    series_.erase(std::remove(series_.begin(), series_.end(), series), series_.end());
}

void TSendingForm::SetSendItemsEnabled(bool enabled) {
    for (const char* name : kSendItemNames) {
        const QString objectName = QString::fromLatin1(name);
        for (QObject* owner : owners_) {
            for (QObject* item : owner->findChildren<QObject*>(objectName)) {
                if (auto* action = qobject_cast<QAction*>(item))
                    action->setEnabled(enabled);
                else if (auto* widget = qobject_cast<QWidget*>(item))
                    widget->setEnabled(enabled);
            }
        }
    }
}

void TSendingForm::StopAllSeries() {
    // A series may close the dialog or remove itself while it stops: work on
    // a copy, and do not start over from inside.
    if (stopping_) return;
    stopping_ = true;
    const std::vector<SendSeries*> running = series_;
    for (SendSeries* s : running)
        if (std::find(series_.begin(), series_.end(), s) != series_.end()) s->StopSendSeries();
    stopping_ = false;
}

void TSendingForm::ShowItem(int slot, const std::string& name) {
    PresetNumber->setText(QString::number(slot + 1) + QLatin1Char(':') + FromCp1252(name));  // Windows-1252 bytes
    Label2->setText(QString::number(SentCount) + QLatin1Char('/') + QString::number(ProgressBar1->maximum()));
}

void TSendingForm::BeginSeries(int total, int slot, const std::string& name) {
    ProgressBar1->setMaximum(std::max(total, 0));
    ProgressBar1->setValue(0);
    SentCount = 1;
    ShowItem(slot, name);
    Show();
    repaint();
}

void TSendingForm::NextItem(int slot, const std::string& name) {
    ++SentCount;
    ShowItem(slot, name);
    repaint();
}

void TSendingForm::Button1Click() {
    StopAllSeries();
    Close();
}

void TSendingForm::FormShow() { SetSendItemsEnabled(false); }

void TSendingForm::FormClose(TCloseAction& action) {
    // However the dialog goes (Cancel, close box, the sender when done), the
    // series stops with it: none goes on sending behind a closed dialog.
    StopAllSeries();
    SetSendItemsEnabled(true);
}

}  // namespace morvelant
