#include "patterns/Sequencer.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include "model/TrackSettings.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/QtText.h"

namespace morvelant {

TSequencerForm* SequencerForm = nullptr;

TSequencerForm::TSequencerForm(DeviceModel& model, Notifications& notifications, PlaybackPorts& ports, int renderBeats,
                               QWidget* parent)
    : TForm(QStringLiteral("SequencerForm"), parent),
      Model(model),
      player_(std::make_unique<PatternPlayer>(ports, renderBeats)) {
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    SetCaption("Sequencer");
    SetClientSize(300, 64);
    auto tool = [this](const char* name, const char* caption, int x) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(QString::fromLatin1(caption));
        b->setCheckable(true);
        b->setGeometry(x, 8, 48, 24);
        return b;
    };
    PlaySpeedButton = tool("PlaySpeedButton", "Play", 8);
    StopSpeedButton = tool("StopSpeedButton", "Stop", 58);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    group->addButton(PlaySpeedButton);
    group->addButton(StopSpeedButton);
    StopSpeedButton->setChecked(true);
    connect(PlaySpeedButton, &QToolButton::clicked, this, [this] { PlaySpeedButton1Click(); });
    connect(StopSpeedButton, &QToolButton::clicked, this, [this] { StopButtonClick(); });

    Edit2 = new QLineEdit(QStringLiteral("120"), this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(116, 8, 40, 24);
    UpDown1 = new QSpinBox(this);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setRange(kMinBpm, kMaxBpm);
    UpDown1->setValue(kDefaultBpm);
    UpDown1->setGeometry(156, 8, 18, 24);
    UpDown1->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    Label1 = new QLabel(QStringLiteral("bpm"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(178, 12, 30, 16);
    connect(UpDown1, &QSpinBox::valueChanged, this, [this](int v) { Edit2->setText(QString::number(v)); });
    connect(Edit2, &QLineEdit::textChanged, this, [this] { Edit2Change(); });
    connect(Edit2, &QLineEdit::editingFinished, this, [this] { ApplyTempoField(); });

    CountEdit = new QLineEdit(this);
    CountEdit->setObjectName(QStringLiteral("CountEdit"));
    CountEdit->setReadOnly(true);
    CountEdit->setGeometry(8, 36, 60, 22);
    Button3 = new QPushButton(QStringLiteral("Panic"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(212, 8, 80, 24);
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    Edit4 = new QLineEdit(this);
    Edit4->setObjectName(QStringLiteral("Edit4"));
    Edit4->hide();

    loopTimer_ = new QTimer(this);
    loopTimer_->setSingleShot(true);
    loopTimer_->setTimerType(Qt::PreciseTimer);
    connect(loopTimer_, &QTimer::timeout, this, [this] {
        player_->StartPlayback();
        CountEdit->setText(QStringLiteral("1.1"));
    });
    patternChanged_ = notifications.CurrentPatternChanged.Subscribe([this] { RestartPlayback(); });
    settingsChanged_ = notifications.TrackSettingsChanged.Subscribe([this](int) { RestartPlayback(); });
    if (const Pattern_Parameters* p = CurrentPattern()) player_->Render(*p);
}

TSequencerForm::TSequencerForm(DeviceModel& model, Notifications& notifications, std::unique_ptr<PlaybackPorts> ports,
                               int renderBeats, QWidget* parent)
    : TSequencerForm(model, notifications, *ports, renderBeats, parent) {
    ownedPorts_ = std::move(ports);
}

TSequencerForm::~TSequencerForm() {
    if (Unlink) Unlink();
    // The player detaches its scores and halts the clock before they go.
    player_.reset();
    if (SequencerForm == this) SequencerForm = nullptr;
}

const Pattern_Parameters* TSequencerForm::CurrentPattern() const {
    if (!DeviceModel::ValidPattern(Model.SelectedPattern)) return nullptr;
    return &Model.Patterns[size_t(Model.SelectedPattern)];
}

void TSequencerForm::RestartPlayback() {
    // A change while a loop waits for its start plays the new render at once.
    const bool looping = loopTimer_->isActive();
    loopTimer_->stop();
    if (const Pattern_Parameters* p = CurrentPattern()) player_->RestartPlayback(*p);
    if (looping) loopTimer_->start(0);
}

void TSequencerForm::ApplyTempoField() {
    const int bpm = player_->SetTempoText(ToCp1252(Edit2->text()));
    const QSignalBlocker blockEdit(Edit2), blockUpDown(UpDown1);
    UpdatingGuard guard(Model);
    if (Edit2->text() != QString::number(bpm)) Edit2->setText(QString::number(bpm));
    UpDown1->setValue(bpm);
}

void TSequencerForm::PlaySpeedButton1Click() {
    loopTimer_->stop();
    // A start that nothing would hear says why, instead of counting on.
    if (const std::string reason = player_->SilenceReason(); !reason.empty()) {
        player_->Stop();
        ShowStopped();
        CurrentDialogs().MessageBox(reason, "Warning !", MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    ApplyTempoField();
    if (const Pattern_Parameters* p = CurrentPattern()) player_->Play(*p);
    CountEdit->setText(QStringLiteral("1.1"));
    ShowPlaying();
}

void TSequencerForm::StopButtonClick() {
    loopTimer_->stop();
    player_->Stop();
    ShowStopped();
}

void TSequencerForm::Edit2Change() {
    // While typing, only a finished tempo in range takes effect; the field is
    // brought into range when editing ends and at every start.
    int value = 0;
    if (TIniFile::ParseInteger(ToCp1252(Edit2->text()), value) && value >= kMinBpm && value <= kMaxBpm) {
        player_->SetTempoText(std::to_string(value));
        const QSignalBlocker block(UpDown1);
        UpDown1->setValue(value);
    }
}

void TSequencerForm::Button3Click() {
    loopTimer_->stop();
    player_->Panic();
    ShowStopped();
}

void TSequencerForm::StartPlayback() {
    // The loop starts where the clock reaches the end of the stretch.
    loopTimer_->start(player_->MillisecondsToRunEnd());
}

void TSequencerForm::SetPlaying(bool playing) {
    if (!playing) player_->RunEnded();
}

void TSequencerForm::ShowCount(const std::string& text) {
    // Called at every beat of the clock: a new pass of the loop counts from 1.1.
    CountEdit->setText(player_->Beat() ? QStringLiteral("1.1") : FromCp1252(text));
}

void TSequencerForm::ShowSyncDoneCount(const std::string& text) { Edit4->setText(FromCp1252(text)); }

void TSequencerForm::ShowStopped() {
    const QSignalBlocker block(StopSpeedButton);
    StopSpeedButton->setChecked(true);
}

void TSequencerForm::ShowPlaying() {
    const QSignalBlocker block(PlaySpeedButton);
    PlaySpeedButton->setChecked(true);
}

int TSequencerForm::CountActiveTracks() const { return morvelant::CountActiveTracks(Model, Model.SelectedPattern); }

}  // namespace morvelant
