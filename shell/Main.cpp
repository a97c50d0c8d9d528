#include "shell/Main.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>

#include "engine/FileCommands.h"
#include "engine/LearnFromMidi.h"
#include "engine/Snapshot.h"
#include "engine/Tool.h"
#include "platform/QtFormFrame.h"
#include "platform/IniFile.h"
#include "platform/QtFaderDrag.h"
#include "platform/QtText.h"
#include "shell/FormBookkeeping.h"

namespace morvelant {

TMainForm* MainForm = nullptr;

namespace {

constexpr int kPitch = 25;  // horizontal distance of the fader columns

std::string TwoDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

int TagOf(const QObject* o) {
    const QVariant v = o ? o->property("Tag") : QVariant();
    return v.isValid() ? v.toInt() : -1;
}

void SetTag(QObject* o, int tag) { o->setProperty("Tag", tag); }

}  // namespace

// ---- Lamps and status bars -------------------------------------------------------

LampImage::LampImage(Shape shape, QWidget* parent) : QWidget(parent), shape_(shape) {}

void LampImage::SetBright(bool bright) {
    if (bright == bright_) return;  // the same picture: nothing to repaint
    bright_ = bright;
    repaint();
}

void LampImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor on = shape_ == Shape::Round ? QColor(40, 230, 40) : QColor(255, 40, 30);
    const QColor off = shape_ == Shape::Round ? QColor(20, 70, 20) : QColor(90, 20, 15);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(bright_ ? on : off);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    if (shape_ == Shape::Round)
        p.drawEllipse(r);
    else
        p.drawRect(r);
}

PanelStatusBar::PanelStatusBar(const std::vector<int>& widths, QWidget* parent) : QFrame(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    for (size_t i = 0; i < widths.size(); ++i) {
        auto* label = new QLabel(this);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        if (i + 1 < widths.size())
            label->setFixedWidth(widths[i]);
        else
            label->setMinimumWidth(widths[i]);
        layout->addWidget(label);
        panels_.push_back(label);
    }
}

void PanelStatusBar::SetPanelText(int panel, const std::string& text) {
    if (panel >= 0 && panel < PanelCount()) panels_[size_t(panel)]->setText(FromCp1252(text));
}

std::string PanelStatusBar::PanelText(int panel) const {
    if (panel < 0 || panel >= PanelCount()) return {};
    return ToCp1252(panels_[size_t(panel)]->text());
}

// ---- Construction ---------------------------------------------------------------------

TMainForm::TMainForm(Engine& engine, CommandRegistry* commands, QWidget* parent)
    : TForm(QStringLiteral("MainForm"), parent),
      Model(engine.Model),
      Routing(engine.Routing),
      DeviceEngine(engine),
      Commands(commands) {
    SetCaption("Morvelant Editor");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    for (int f = 0; f < kFaderCount; ++f) {
        Model.FaderStates[f].Index = f;
        Model.KeyStates[f].Index = f;
    }
    formBookkeeping_ = std::make_unique<FormBookkeeping>(Bookkeeping, this);
    formBookkeeping_->Install();
    BuildControls();
    BuildMenus();
    WatchChildren();
    setFixedSize(630, 428);

    // The constructor's picture of the lamps: MIDI lamps dark, the special
    // keys dark but the snapshot lamp, fader 1 selected.
    MidiInLed->SetBright(false);
    MidiOutLed->SetBright(false);
    SnapshotLed->SetBright(true);
    Model.FaderSelected.fill(false);
    Model.FaderSelected[0] = true;
    PaintSelectLamps();

    // FormCreate: the configuration, then the select lamp of the configured fader.
    ReadConfiguration();
    Model.FaderSelected.fill(false);
    Model.FaderSelected[size_t(Model.SelectedFader)] = true;
    PaintSelectLamps();

    Notifications& notices = DeviceEngine.Notices;
    subscriptions_.push_back(notices.KeyLamp.Subscribe([this](int key, bool on) { KeyLampChanged(key, on); }));
    subscriptions_.push_back(
        notices.FaderPosition.Subscribe([this](int fader, int position) { ShowFaderPosition(fader, position); }));
    subscriptions_.push_back(notices.MidiInActivity.Subscribe([this] { ShowMidiInActivity(); }));
    subscriptions_.push_back(notices.MidiOutActivity.Subscribe([this] { ShowMidiOutActivity(); }));
    subscriptions_.push_back(notices.CurrentFaderChanged.Subscribe([this](int, int) { ShowFaderSelection(); }));
    subscriptions_.push_back(notices.CurrentPresetChanged.Subscribe([this] {
        ShowStatusBars(Model.SelectedFader);
        ShowPresetCaption();
    }));
    // A renamed current preset shows its new name in the caption at once.
    subscriptions_.push_back(notices.PresetDataChanged.Subscribe([this](int slot) {
        if (slot < 0 || slot == Model.SelectedPreset) ShowPresetCaption();
    }));
    subscriptions_.push_back(notices.LearnEnded.Subscribe([this] { LearnEnded(); }));
    RegisterCommands();
}

void TMainForm::ShowPresetCaption() {
    const int p = Model.SelectedPreset;
    if (!DeviceModel::ValidPreset(p)) return;
    SetCaption("Virtual Morvelant           (Preset " + std::to_string(p + 1) + ")  " + Model.GetPresetDeviceName(p));
}

TMainForm::~TMainForm() {
    // FormDestroy: the window's section of the configuration.
    WriteConfiguration();
    subscriptions_.clear();
    if (Commands)
        for (const std::string& item : registered_) Commands->Unregister(item);
    formBookkeeping_.reset();
    for (auto& position : Model.ScreenFaderPosition) position = -1;
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::BuildControls() {
    QFont small = font();
    small.setPointSize(7);

    // Select lamps.
    auto* selectBox = new QGroupBox(QStringLiteral("Fader Select"), this);
    selectBox->setObjectName(QStringLiteral("FaderSelectGroupBox"));
    selectBox->setGeometry(4, 0, 622, 28);
    // Faders.
    auto* faderBox = new QGroupBox(QStringLiteral("Faders"), this);
    faderBox->setObjectName(QStringLiteral("FaderGroupBox"));
    faderBox->setGeometry(4, 50, 622, 168);
    // Key lamps and keys.
    auto* keyBox = new QGroupBox(QStringLiteral("Key On/Off"), this);
    keyBox->setObjectName(QStringLiteral("KeyGroupBox"));
    keyBox->setGeometry(4, 220, 622, 58);

    for (int i = 0; i < kFaderCount; ++i) {
        const QString n = QString::number(i + 1);
        const int x = 8 + kPitch * i;

        auto* led = new LampImage(LampImage::Shape::Bar, selectBox);
        led->setObjectName(QStringLiteral("FaderSelectLed") + n);
        led->setGeometry(x + 2, 14, 13, 7);
        SetTag(led, i);
        FaderSelectLedList[size_t(i)] = led;

        auto* select = new QPushButton(n, this);
        select->setObjectName(QStringLiteral("FaderSelect") + n);
        select->setGeometry(x + 4, 30, 17, 18);
        select->setFont(small);
        select->setAcceptDrops(true);
        // Only a left press focuses a button (see the event filter): a right
        // press that opens its menu must not select its fader.
        select->setFocusPolicy(Qt::TabFocus);
        select->setContextMenuPolicy(Qt::CustomContextMenu);
        SetTag(select, i);
        connect(select, &QPushButton::clicked, this, [this, i] { KeyOnOff1Click(i); });
        connect(select, &QWidget::customContextMenuRequested, this,
                [this, select](const QPoint& pos) { FaderPopupMenu->popup(select->mapToGlobal(pos)); });
        FaderSelectList[size_t(i)] = select;

        auto* fader = new QScrollBar(Qt::Vertical, faderBox);
        fader->setObjectName(QStringLiteral("Fader") + n);
        fader->setGeometry(x, 16, 17, 146);
        fader->setRange(0, 127);
        fader->setSingleStep(1);
        fader->setPageStep(5);
        fader->setValue(127);
        fader->setCursor(Qt::PointingHandCursor);
        // A fader takes the focus like a button (left press or Tab), so
        // pressing it selects and describes it before it moves.
        fader->setFocusPolicy(Qt::TabFocus);
        fader->setContextMenuPolicy(Qt::CustomContextMenu);
        if (i == 0) fader->setToolTip(QStringLiteral("1"));
        SetTag(fader, i);
        Model.ScreenFaderPosition[size_t(i)] = fader->value();
        connect(fader, &QScrollBar::valueChanged, this, [this, i](int value) {
            Model.ScreenFaderPosition[size_t(i)] = value;
            FaderChange(i);
        });
        connect(fader, &QWidget::customContextMenuRequested, this, [this, fader](const QPoint& pos) {
            popupComponent_ = fader;
            PopupMenu1->popup(fader->mapToGlobal(pos));
        });
        FaderList[size_t(i)] = fader;

        auto* keyLed = new LampImage(LampImage::Shape::Bar, keyBox);
        keyLed->setObjectName(QStringLiteral("KeyLed") + n);
        keyLed->setGeometry(x + 2, 14, 13, 7);
        SetTag(keyLed, i);
        KeyLedList[size_t(i)] = keyLed;

        auto* key = new QPushButton(n, keyBox);
        key->setObjectName(QStringLiteral("KeyOnOff") + n);
        key->setGeometry(x, 24, 22, 26);
        key->setFont(small);
        key->setFocusPolicy(Qt::TabFocus);
        key->setContextMenuPolicy(Qt::CustomContextMenu);
        SetTag(key, i);
        connect(key, &QPushButton::clicked, this, [this, i] { KeyOnOff1Click(i); });
        connect(key, &QWidget::customContextMenuRequested, this, [this, key](const QPoint& pos) {
            if (KeyPopupMenu) KeyPopupMenu->popup(key->mapToGlobal(pos));
        });
        KeyOnOffList[size_t(i)] = key;
    }

    // Special keys and their lamps.
    GroupBox4 = new QGroupBox(this);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    GroupBox4->setGeometry(4, 280, 318, 66);
    struct Key {
        QPushButton** button;
        LampImage** led;
        const char* name;
        const char* ledName;
        const char* caption;
        int tag;
    };
    const Key keys[] = {
        {&StartButton, &StartLed, "StartButton", "StartLed", "Start", 1},
        {&Button1, &StopLed, "Button1", "StopLed", "Stop", 2},
        {&Button2, &ContLed, "Button2", "ContLed", "Cont.", 3},
        {&Button3, &TempoLed, "Button3", "TempoLed", "Tempo", 0},
        {&Button4, &RewLed, "Button4", "RewLed", "<<", 4},
        {&Button5, &FwdLed, "Button5", "FwdLed", ">>", 5},
        {&Button6, &SnapshotLed, "Button6", "SnapshotLed", "SnapShot", 6},
        {&Button7, &OkLed, "Button7", "OkLed", "OK", 0},
    };
    int x = 6;
    for (const Key& k : keys) {
        const int w = std::string(k.caption) == "SnapShot" ? 52 : 36;
        auto* led = new LampImage(LampImage::Shape::Bar, GroupBox4);
        led->setObjectName(QString::fromLatin1(k.ledName));
        led->setGeometry(x + w / 2 - 6, 14, 13, 7);
        *k.led = led;
        auto* b = new QPushButton(QString::fromLatin1(k.caption), GroupBox4);
        b->setObjectName(QString::fromLatin1(k.name));
        b->setGeometry(x, 28, w, 28);
        b->setFont(small);
        SetTag(b, k.tag);
        *k.button = b;
        x += w + 2;
    }
    for (QPushButton* b : {StartButton, Button1, Button2, Button4, Button5}) {
        const int tag = TagOf(b);
        connect(b, &QPushButton::clicked, this, [this, tag] { StartButtonClick(tag); });
    }
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });

    // Preset stepper.
    auto* presetBox = new QGroupBox(QStringLiteral(" Preset "), this);
    presetBox->setObjectName(QStringLiteral("PresetGroupBox"));
    presetBox->setGeometry(326, 280, 124, 66);
    PrevPreset = new QPushButton(QStringLiteral("<<"), presetBox);
    PrevPreset->setObjectName(QStringLiteral("PrevPreset"));
    PrevPreset->setGeometry(6, 28, 32, 28);
    NextPreset = new QPushButton(QStringLiteral(">>"), presetBox);
    NextPreset->setObjectName(QStringLiteral("NextPreset"));
    NextPreset->setGeometry(40, 28, 32, 28);
    NotesButton = new QPushButton(QStringLiteral("Notes"), presetBox);
    NotesButton->setObjectName(QStringLiteral("NotesButton"));
    NotesButton->setGeometry(76, 28, 42, 28);
    connect(PrevPreset, &QPushButton::clicked, this, [this] { PrevPresetClick(); });
    connect(NextPreset, &QPushButton::clicked, this, [this] { NextPresetClick(); });
    connect(NotesButton, &QPushButton::clicked, this, [this] { NotesButtonClick(); });

    // MIDI activity.
    MidiActivity = new QGroupBox(QStringLiteral(" Midi Activity "), this);
    MidiActivity->setObjectName(QStringLiteral("MidiActivity"));
    MidiActivity->setGeometry(454, 280, 92, 36);
    auto* inLabel = new QLabel(QStringLiteral("In"), MidiActivity);
    inLabel->setGeometry(6, 16, 14, 14);
    MidiInLed = new LampImage(LampImage::Shape::Round, MidiActivity);
    MidiInLed->setObjectName(QStringLiteral("MidiInLed"));
    MidiInLed->setGeometry(22, 17, 11, 11);
    auto* outLabel = new QLabel(QStringLiteral("Out"), MidiActivity);
    outLabel->setGeometry(44, 16, 22, 14);
    MidiOutLed = new LampImage(LampImage::Shape::Round, MidiActivity);
    MidiOutLed->setObjectName(QStringLiteral("MidiOutLed"));
    MidiOutLed->setGeometry(68, 17, 11, 11);
    MidiInTimer = new QTimer(this);
    MidiInTimer->setObjectName(QStringLiteral("MidiInTimer"));
    MidiInTimer->setInterval(200);
    connect(MidiInTimer, &QTimer::timeout, this, [this] { MidiInTimerTimer(); });
    MidiOutTimer = new QTimer(this);
    MidiOutTimer->setObjectName(QStringLiteral("MidiOutTimer"));
    MidiOutTimer->setInterval(200);
    connect(MidiOutTimer, &QTimer::timeout, this, [this] { MidiOutTimerTimer(); });

    // Learn indicator.
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setGeometry(454, 320, 92, 26);
    LearnLabel = new QLabel(QStringLiteral("LEARN !"), Panel1);
    LearnLabel->setObjectName(QStringLiteral("LearnLabel"));
    LearnLabel->setAlignment(Qt::AlignCenter);
    LearnLabel->setGeometry(2, 2, 88, 22);
    LearnLabel->setAutoFillBackground(true);
    LearnLabel->setContextMenuPolicy(Qt::CustomContextMenu);
    {
        QPalette pal = LearnLabel->palette();
        pal.setColor(QPalette::Window, Qt::yellow);
        LearnLabel->setPalette(pal);
    }
    connect(LearnLabel, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { LearnPopupMenu->popup(LearnLabel->mapToGlobal(pos)); });
    LearnTimer = new QTimer(this);
    LearnTimer->setObjectName(QStringLiteral("LearnTimer"));
    LearnTimer->setInterval(200);
    connect(LearnTimer, &QTimer::timeout, this, [this] { LearnTimerTimer(); });

    // Decoration.
    const char* labels[] = {"HALVERN", "MORVELANT", "MIDI FADER CONTROLLER"};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(QString::fromLatin1(labels[i]), this);
        l->setFont(small);
        l->setGeometry(550, 282 + 20 * i, 78, 16);
        if (i == 2) {  // the longest takes two lines rather than losing its end
            l->setWordWrap(true);
            l->setGeometry(550, 318, 78, 28);
        }
    }

    // Status bars.
    MainStatusBar = new PanelStatusBar({70, 450, 30, 50}, this);
    MainStatusBar->setObjectName(QStringLiteral("MainStatusBar"));
    MainStatusBar->setGeometry(0, 350, 630, 26);
    MainStatusBar->SetPanelText(3, "Fader");
    KeyOnStatusBar = new PanelStatusBar({70, 480, 50}, this);
    KeyOnStatusBar->setObjectName(QStringLiteral("KeyOnStatusBar"));
    KeyOnStatusBar->setGeometry(0, 376, 630, 26);
    KeyOnStatusBar->SetPanelText(2, "Key On");
    KeyOffStatusBar = new PanelStatusBar({70, 480, 50}, this);
    KeyOffStatusBar->setObjectName(QStringLiteral("KeyOffStatusBar"));
    KeyOffStatusBar->setGeometry(0, 402, 630, 26);
    KeyOffStatusBar->SetPanelText(2, "Key Off");
}

void TMainForm::BuildMenus() {
    auto item = [this](QMenu* menu, const char* name, const char* caption, void (TMainForm::*handler)(),
                       bool enabled = true) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setEnabled(enabled);
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };
    FaderPopupMenu = new QMenu(this);
    FaderPopupMenu->setObjectName(QStringLiteral("FaderPopupMenu"));
    ShowParameters1 = item(FaderPopupMenu, "ShowParameters1", "Show Parameters", &TMainForm::ShowParameters1Click);
    FaderPopupMenu->addSeparator()->setObjectName(QStringLiteral("N4"));
    CopyFaderParameters1 = item(FaderPopupMenu, "CopyFaderParameters1", "Copy Fader && Key Parameters",
                                &TMainForm::CopyFaderParameters1Click);
    PasteFaderParameters1 = item(FaderPopupMenu, "PasteFaderParameters1", "Paste Fader && Key Parameters",
                                 &TMainForm::PasteFaderParameters1Click, false);
    PasteSpecialFaderParameters1 =
        item(FaderPopupMenu, "PasteSpecialFaderParameters1", "Paste Special Fader && Key Parameters",
             &TMainForm::PasteSpecialFaderParameters1Click, false);
    FaderPopupMenu->addSeparator()->setObjectName(QStringLiteral("N3"));
    InitFaderParameters1 = item(FaderPopupMenu, "InitFaderParameters1", "Init Fader && Key Parameters",
                                &TMainForm::InitFaderParameters1Click);
    ClearAllFaderParameters1 = item(FaderPopupMenu, "ClearAllFaderParameters1", "Clear Fader && Key Parameters",
                                    &TMainForm::ClearAllFaderParameters1Click);
    InitAllFaderParameterswithMidiCtrl1 = item(FaderPopupMenu, "InitAllFaderParameterswithMidiCtrl1",
                                               "Init Fader && Key Parameters with Midi Controllers",
                                               &TMainForm::InitAllFaderParameterswithMidiCtrl1Click);
    FaderPopupMenu->addSeparator()->setObjectName(QStringLiteral("N7"));
    ReloadPreset2 = item(FaderPopupMenu, "ReloadPreset2", "Reload Preset", &TMainForm::ReloadPreset2Click);
    FaderPopupMenu->addSeparator()->setObjectName(QStringLiteral("N5"));
    LearnEvent1 = item(FaderPopupMenu, "LearnEvent1", "Learn Event", &TMainForm::LearnEvent1Click);
    LearnEvStr1 = item(FaderPopupMenu, "LearnEvStr1", "Learn Ev>Str", &TMainForm::LearnEvStr1Click);
    LearnSxStr1 = item(FaderPopupMenu, "LearnSxStr1", "Learn Sx>Str", &TMainForm::LearnSxStr1Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    CopyFaderParameters2 =
        item(PopupMenu1, "CopyFaderParameters2", "Copy Fader Parameters", &TMainForm::CopyFaderParameters2Click);
    PasteFaderParameters2 = item(PopupMenu1, "PasteFaderParameters2", "Paste Fader Parameters",
                                 &TMainForm::PasteFaderParameters2Click, false);
    PasteSpecialFaderParameters2 = item(PopupMenu1, "PasteSpecialFaderParameters2", "Paste Special Fader Parameters",
                                        &TMainForm::PasteSpecialFaderParameters2Click, false);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N9"));
    InitFaderParameters2 =
        item(PopupMenu1, "InitFaderParameters2", "Init Fader Parameters", &TMainForm::InitFaderParameters2Click);
    ClearFaderParameters1 =
        item(PopupMenu1, "ClearFaderParameters1", "Clear Fader Parameters", &TMainForm::ClearFaderParameters1Click);
    InitFaderParameterswithMidiControllers1 =
        item(PopupMenu1, "InitFaderParameterswithMidiControllers1", "Init Fader Parameters with Midi Controllers",
             &TMainForm::InitFaderParameterswithMidiControllers1Click);

    LearnPopupMenu = new QMenu(this);
    LearnPopupMenu->setObjectName(QStringLiteral("LearnPopupMenu"));
    LearnEvent2 = item(LearnPopupMenu, "LearnEvent2", "Learn Event", &TMainForm::LearnEvent2Click);
    LearnEvStr2 = item(LearnPopupMenu, "LearnEvStr2", "Learn Ev>Str", &TMainForm::LearnEvStr2Click);
    LearnSxStr2 = item(LearnPopupMenu, "LearnSxStr2", "Learn Sx>Str", &TMainForm::LearnSxStr2Click);
}

// Every child sees the wheel (it moves the selected fader wherever the
// pointer is); the buttons, faders and the learn label are watched for
// presses, focus and drops.
void TMainForm::WatchChildren() {
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

// ---- Configuration -------------------------------------------------------------------------

std::string TMainForm::ConfigFile() const {
    std::string dir = Model.ProgramPath;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + "Morvelant.cfg";
}

void TMainForm::ReadConfiguration() {
    const TIniFile ini(ConfigFile());
    Model.ShowMidiActivity = ini.ReadBool("Options", "ShowMidiActivity", true);
    Model.FaderAutoSelect = ini.ReadBool("Options", "Fader Auto Select", false);
    Model.VirtualMotorFaders = ini.ReadBool("Options", "VirtualMotorFaders", true);
    Model.Warnings = ini.ReadBool("Options", "Warnings", true);
    Model.StatusBars = ini.ReadBool("View", "Status Bars", true) ? 1 : 0;
    int top = ini.ReadInteger("Main Form", "Top", 46);
    if (top < 0) top = 0;
    const int left = ini.ReadInteger("Main Form", "Left", 192);
    SetBounds(left, top, width(), height());  // a fixed size: "Width" and "Height" are only written
    // Indexes into the model's arrays: a value outside the range (a damaged
    // or hand-edited file) falls back to the first entry.
    const int fader = ini.ReadInteger("Options", "Selected Fader", 0);
    const int preset = ini.ReadInteger("Options", "Selected Preset", 0);
    const int pattern = ini.ReadInteger("Options", "Selected Pattern", 0);
    Model.SelectedFader = DeviceModel::ValidFader(fader) ? fader : 0;
    Model.SelectedPreset = DeviceModel::ValidPreset(preset) ? preset : 0;
    Model.SelectedPattern = DeviceModel::ValidPattern(pattern) ? pattern : 0;
}

void TMainForm::WriteConfiguration() {
    TIniFile ini(ConfigFile());
    ini.WriteBool("Options", "ShowMidiActivity", Model.ShowMidiActivity);
    ini.WriteBool("Options", "Fader Auto Select", Model.FaderAutoSelect);
    ini.WriteBool("Options", "VirtualMotorFaders", Model.VirtualMotorFaders);
    ini.WriteBool("Options", "ShowPrintOutputForm", Model.ShowPrintOutputForm);
    ini.WriteBool("Options", "Warnings", Model.Warnings);
    ini.WriteBool("View", "Status Bars", Model.StatusBars != 0);
    ini.WriteInteger("Main Form", "Top", OuterBounds(*this).y());
    ini.WriteInteger("Main Form", "Left", OuterBounds(*this).x());
    ini.WriteInteger("Main Form", "Width", OuterBounds(*this).width());
    ini.WriteInteger("Main Form", "Height", OuterBounds(*this).height());
    ini.WriteInteger("Options", "Selected Fader", Model.SelectedFader);
    ini.WriteInteger("Options", "Selected Preset", Model.SelectedPreset);
    ini.WriteInteger("Options", "Selected Pattern", Model.SelectedPattern);
}

void TMainForm::ReadWorkingSets(const std::string& commandLineFile) {
    // A file named on the command line goes into slot 64 of its own kind
    // only (".MVT" patterns, anything else presets): read by both list
    // windows, its records would also be counted as edit buffers of the
    // other kind and make slot 64 of that kind the selected one.
    const bool patternFile = IsPatternFileName(commandLineFile);
    LoadPresetWorkingSet(Model, patternFile ? std::string() : commandLineFile);
    LoadPatternWorkingSet(Model, patternFile ? commandLineFile : std::string());
}

bool TMainForm::WriteWorkingSets() {
    const bool presets = SavePresetWorkingSet(Model);
    const bool patterns = SavePatternWorkingSet(Model);
    return presets && patterns;
}

// ---- Selection and lamps -----------------------------------------------------------------

void TMainForm::PaintSelectLamps() {
    for (int i = 0; i < kFaderCount; ++i) FaderSelectLedList[size_t(i)]->SetBright(Model.FaderSelected[size_t(i)]);
}

void TMainForm::SelectFader(int f) { morvelant::SelectFader(DeviceEngine, f); }

void TMainForm::ShowFaderSelection() {
    PaintSelectLamps();
    ShowStatusBars(Model.SelectedFader);
}

void TMainForm::SetKeyLamp(int key, bool on) { Model.SetKeyLamp(key, on); }

void TMainForm::KeyLampChanged(int key, bool on) {
    if (!DeviceModel::ValidFader(key)) return;
    KeyLedList[size_t(key)]->SetBright(on);
}

void TMainForm::ShowMidiInActivity() {
    if (Model.ShowMidiActivity && !MidiInTimer->isActive()) {
        MidiInLed->SetBright(true);
        MidiInTimer->start();
    }
}

void TMainForm::ShowMidiOutActivity() {
    if (!Model.ShowMidiActivity) return;
    MidiOutLed->SetBright(true);
    // A running timer keeps its tick: the lamp goes dark 200 ms after the
    // first event of a burst.
    if (!MidiOutTimer->isActive()) MidiOutTimer->start();
}

void TMainForm::MidiInTimerTimer() {
    MidiInTimer->stop();
    MidiInLed->SetBright(false);
}

void TMainForm::MidiOutTimerTimer() {
    MidiOutTimer->stop();
    MidiOutLed->SetBright(false);
}

// ---- Status bars ---------------------------------------------------------------------------------

void TMainForm::ShowFaderStatus(int p, int f) {
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    MainStatusBar->SetPanelText(0, Model.Presets[size_t(p)].SliderName[size_t(f)]);
    MainStatusBar->SetPanelText(1, Model.FaderEventText(p, f));
    MainStatusBar->SetPanelText(2, std::to_string(Model.FaderStates[size_t(f)].Value));
    MainStatusBar->SetPanelText(3, "Fader " + TwoDigits(f + 1));
}

void TMainForm::ShowKeyOnStatus(int p, int f) {
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    KeyOnStatusBar->SetPanelText(0, Model.Presets[size_t(p)].KeyOnName[size_t(f)]);
    KeyOnStatusBar->SetPanelText(1, Model.KeyOnEventText(p, f));
    KeyOnStatusBar->SetPanelText(2, "KeyOn " + TwoDigits(f + 1));
}

void TMainForm::ShowKeyOffStatus(int p, int f) {
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    KeyOffStatusBar->SetPanelText(0, Model.Presets[size_t(p)].KeyOffName[size_t(f)]);
    KeyOffStatusBar->SetPanelText(1, Model.KeyOffEventText(p, f));
    KeyOffStatusBar->SetPanelText(2, "KeyOff " + TwoDigits(f + 1));
}

void TMainForm::FollowFaderEdits(QWidget* editor) {
    if (editor == nullptr) return;
    // Connected after the editor's own handlers: the model holds the edit.
    auto describe = [this] { ShowStatusBars(Model.SelectedFader); };
    for (auto* w : editor->findChildren<QComboBox*>()) connect(w, &QComboBox::currentIndexChanged, this, describe);
    for (auto* w : editor->findChildren<QLineEdit*>()) connect(w, &QLineEdit::textChanged, this, describe);
    for (auto* w : editor->findChildren<QAbstractButton*>()) connect(w, &QAbstractButton::clicked, this, describe);
}

void TMainForm::ShowStatusBars(int f) {
    ShowFaderStatus(Model.SelectedPreset, f);
    ShowKeyOnStatus(Model.SelectedPreset, f);
    ShowKeyOffStatus(Model.SelectedPreset, f);
}

// ---- Faders and keys -----------------------------------------------------------------------------

void TMainForm::FaderChange(int f) {
    if (Model.Updating || !DeviceModel::ValidFader(f)) return;
    const int position = FaderList[size_t(f)]->value();
    if (Model.FaderAutoSelect && f != Model.SelectedFader) {
        SelectFader(f);
        // With motor faders, selecting puts the fader back to its state's
        // value; the move that selected it must still stand and be sent.
        UpdatingGuard guard(Model);
        FaderList[size_t(f)]->setValue(position);
    }
    FaderMoved(DeviceEngine, Model.FaderStates[size_t(f)], position, false);
    ShowStatusBars(f);
}

void TMainForm::FaderEnter(int f) { KeyOnOff1Click(f); }

void TMainForm::KeyOnOff1Click(int f) {
    if (!DeviceModel::ValidFader(f)) return;
    if (Model.FaderAutoSelect && f != Model.SelectedFader) SelectFader(f);
    ShowStatusBars(f);
}

void TMainForm::FaderSelectMouseDown(int tag, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    if (!DeviceModel::ValidFader(tag)) return;
    Model.PopupFader = tag;
    if (button != Qt::LeftButton) return;
    Model.FaderDragSwap = (modifiers & Qt::ShiftModifier) != 0;
    // The drag begins once the mouse has moved past the drag threshold.
    dragGesture_.Offer(tag);
    SelectFader(tag);
}

void TMainForm::KeyOnOffMouseDown(int tag, Qt::MouseButton button) {
    if (Model.Updating || !DeviceModel::ValidFader(tag)) return;
    if (button == Qt::LeftButton)
        KeyDown(DeviceEngine, Model.KeyStates[size_t(tag)]);
    else
        SelectFader(tag);  // no key event; the right button opens the key menu
}

void TMainForm::KeyOnOffMouseUp(int tag, Qt::MouseButton button) {
    if (Model.Updating || !DeviceModel::ValidFader(tag)) return;
    if (button == Qt::LeftButton) KeyUp(DeviceEngine, Model.KeyStates[size_t(tag)]);
}

void TMainForm::StartButtonClick(int tag) {
    if (tag >= 1 && tag <= 5) SendSpecialKeyString(DeviceEngine, tag);
}

void TMainForm::GroupBox4Click() { ShowWindowOfItem("MainFormWindowsSpecialKeys", "SpecialKeyForm"); }

void TMainForm::Button6Click() {
    const int p = Model.SelectedPreset;
    if (!DeviceModel::ValidPreset(p)) return;
    const Morvelant_Parameters& preset = Model.Presets[size_t(p)];
    TakeSnapshot(DeviceEngine, p);
    {
        UpdatingGuard guard(Model);
        DeviceEngine.Notices.ParameterFaderValue.Publish(preset.FaderValue(Model.SelectedFader));
    }
    ShowCurrentPreset(p != 0);
}

void TMainForm::ShowCurrentPreset(bool send) { morvelant::ShowCurrentPreset(DeviceEngine, send); }

void TMainForm::NextPresetClick() {
    if (Model.SelectedPreset < kDeviceSlots - 1) {
        ++Model.SelectedPreset;
        ShowCurrentPreset(true);
    }
}

void TMainForm::PrevPresetClick() {
    if (Model.SelectedPreset > 0) {
        --Model.SelectedPreset;
        ShowCurrentPreset(true);
    }
}

// The notes window is shown through the Windows menu's item (and its
// explorer) and closed directly; without the window nothing happens.
void TMainForm::NotesButtonClick() {
    TForm* notes = FindForm("NotesForm");
    if (notes == nullptr) return;
    if (!Model.ShowNotes) {
        if (Commands)
            Commands->Execute("MainFormWindowsPresetNotes");
        else
            notes->Show();
        Model.ShowNotes = true;
    } else {
        notes->Close();
    }
}

void TMainForm::FormMouseWheelDown() {
    if (DeviceModel::ValidFader(Model.SelectedFader))
        FaderList[size_t(Model.SelectedFader)]->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void TMainForm::FormMouseWheelUp() {
    if (DeviceModel::ValidFader(Model.SelectedFader))
        FaderList[size_t(Model.SelectedFader)]->triggerAction(QAbstractSlider::SliderSingleStepSub);
}

void TMainForm::wheelEvent(QWheelEvent* event) {
    const int dy = event->angleDelta().y();
    if (dy < 0) FormMouseWheelDown();
    if (dy > 0) FormMouseWheelUp();
    event->accept();
}

// ---- Start of the window ---------------------------------------------------------------------------

void TMainForm::FormShow() {
    WindowActivated(this);
    for (FaderState& s : Model.FaderStates) s.TakeInitialValue = true;
    for (int f = 0; f < kFaderCount; ++f) Reset(DeviceEngine, Model.FaderStates[size_t(f)], f);
    for (int k = 0; k < kFaderCount; ++k) Reset(DeviceEngine, Model.KeyStates[size_t(k)], k);
    MidiActivity->setVisible(Model.ShowMidiActivity);
    const bool bars = Model.StatusBars != 0;
    MainStatusBar->setVisible(bars);
    KeyOnStatusBar->setVisible(bars);
    KeyOffStatusBar->setVisible(bars);
    const std::pair<const char*, bool> ticks[] = {{"MainMenuMidiActivity", Model.ShowMidiActivity},
                                                  {"MainMenuMotorFaders", Model.VirtualMotorFaders},
                                                  {"MainMenuFaderAutoSelect", Model.FaderAutoSelect},
                                                  {"MainMenuWarningMessages", Model.Warnings}};
    for (const auto& [item, on] : ticks) {
        if (Commands)
            Commands->SetChecked(item, on);
        else
            SetMenuItemChecked(item, on);
    }
    // The windows open at the last exit come back once, at the start of the
    // run; showing this window again later does not reopen closed ones.
    const bool firstShow = !firstShowDone_;
    firstShowDone_ = true;
    if (firstShow) Bookkeeping.ReopenWindows();
    ShowCurrentPreset(Model.SelectedPreset != 0);
    // The menu window comes to the front with this window, every time.
    if (TForm* menu = MenuWindow()) menu->Show();
}

// ---- Open-window bookkeeping -----------------------------------------------------------------------

void TMainForm::WindowActivated(TForm* window) { Bookkeeping.WindowActivated(FormBookkeeping::Handle(window)); }

void TMainForm::WindowHidden(TForm* window) { Bookkeeping.WindowHidden(FormBookkeeping::Handle(window)); }

void TMainForm::SwitchMenus(TForm* window) { Bookkeeping.SwitchMenus(FormBookkeeping::Handle(window)); }

// ---- Learn, hook and overdub ------------------------------------------------------------------

void TMainForm::StartLearn(int fader, int kind) {
    morvelant::StartLearn(DeviceEngine, fader, kind);
    LearnTimer->start();
}

void TMainForm::LearnTimerTimer() {
    learnRed_ = !learnRed_;
    QPalette pal = LearnLabel->palette();
    pal.setColor(QPalette::Window, learnRed_ ? Qt::red : Qt::yellow);
    LearnLabel->setPalette(pal);
}

void TMainForm::LearnLabelClick() {
    morvelant::CancelLearn(DeviceEngine);
    LearnEnded();
}

void TMainForm::LearnEnded() {
    Model.LearnMode = -1;
    LearnTimer->stop();
    learnRed_ = false;
    QPalette pal = LearnLabel->palette();
    pal.setColor(QPalette::Window, Qt::yellow);
    LearnLabel->setPalette(pal);
}

// An option works on its item's tick as the command registry holds it (the
// menu window mirrors it); without a registry, on the flag itself.
bool TMainForm::ToggleOption(const char* item, bool flag) {
    const bool ticked = Commands && Commands->HasCheckedState(item) ? Commands->Checked(item) : flag;
    if (Commands) Commands->SetChecked(item, !ticked);
    return !ticked;
}

void TMainForm::HookMode1Click() { Model.HookMode = ToggleOption("MainMenuHookMode", Model.HookMode); }

void TMainForm::OverdupMode1Click() { Model.OverdupMode = ToggleOption("MainMenuOverdupMode", Model.OverdupMode); }

void TMainForm::MidiActivity1Click() {
    Model.ShowMidiActivity = ToggleOption("MainMenuMidiActivity", Model.ShowMidiActivity);
    MidiActivity->setVisible(Model.ShowMidiActivity);
}

void TMainForm::MotorFaders1Click() {
    Model.VirtualMotorFaders = ToggleOption("MainMenuMotorFaders", Model.VirtualMotorFaders);
    if (!Model.VirtualMotorFaders) return;
    for (int f = 0; f < kFaderCount; ++f) {
        FaderState& state = Model.FaderStates[size_t(f)];
        Reset(DeviceEngine, state, f);
        ShowValue(DeviceEngine, state);
    }
}

void TMainForm::FaderAutoSelect1Click() {
    Model.FaderAutoSelect = ToggleOption("MainMenuFaderAutoSelect", Model.FaderAutoSelect);
}

void TMainForm::WarningMessages1Click() { Model.Warnings = ToggleOption("MainMenuWarningMessages", Model.Warnings); }

void TMainForm::RegisterCommands() {
    if (!Commands) return;
    using Handler = void (TMainForm::*)();
    const std::pair<const char*, Handler> commands[] = {
        {"PresetSnapshot1", &TMainForm::Button6Click},
        {"MainMenuClose", &TMainForm::Hide},
        {"MainMenuReloadPreset", &TMainForm::ReloadPreset2Click},
        {"MainMenuNextPreset", &TMainForm::NextPresetClick},
        {"MainMenuPreviousPreset", &TMainForm::PrevPresetClick},
        {"MainMenuWarningMessages", &TMainForm::WarningMessages1Click},
        {"MainMenuMidiActivity", &TMainForm::MidiActivity1Click},
        {"MainMenuMotorFaders", &TMainForm::MotorFaders1Click},
        {"MainMenuFaderAutoSelect", &TMainForm::FaderAutoSelect1Click},
        {"MainMenuHookMode", &TMainForm::HookMode1Click},
        {"MainMenuOverdupMode", &TMainForm::OverdupMode1Click},
    };
    for (const auto& [item, handler] : commands) {
        Commands->Register(item, [this, handler = handler] { (this->*handler)(); });
        registered_.emplace_back(item);
    }
}

// ---- Popup menus -----------------------------------------------------------------------------------------

void TMainForm::ShowParameters1Click() {
    SelectFader(Model.PopupFader);
    ShowWindowOfItem("MainFormWindowsFaderParameters", "AllFaderP");
}

void TMainForm::CopyFaderParameters1Click() {
    Model.CopyFaderParameters(Model.SelectedPreset, Model.PopupFader);
    PasteFaderParameters1->setEnabled(true);
    PasteSpecialFaderParameters1->setEnabled(true);
}

void TMainForm::PasteFaderParameters1Click() {
    Model.PasteFaderParameters(Model.SelectedPreset, Model.PopupFader);
    SelectFader(Model.PopupFader);
}

void TMainForm::PasteSpecialFaderParameters1Click() {
    Model.ExchangeFaderWithClipboard(Model.SelectedPreset, Model.PopupFader);
    SelectFader(Model.PopupFader);
}

void TMainForm::InitFaderParameters1Click() {
    Model.FactoryInitFader(Model.SelectedPreset, Model.PopupFader);
    SelectFader(Model.SelectedFader);
}

void TMainForm::ClearAllFaderParameters1Click() {
    Model.ClearFader(Model.SelectedPreset, Model.PopupFader);
    SelectFader(Model.SelectedFader);
}

void TMainForm::InitAllFaderParameterswithMidiCtrl1Click() {
    Model.MidiCtrlInitFader(Model.SelectedPreset, Model.PopupFader);
    SelectFader(Model.SelectedFader);
}

void TMainForm::ReloadPreset2Click() {
    ReloadLiveState(DeviceEngine);
    if (DeviceModel::ValidFader(Model.SelectedFader))
        DeviceEngine.Notices.ParameterFaderValue.Publish(Model.FaderStates[size_t(Model.SelectedFader)].Value);
}

int TMainForm::PopupFaderTag() const {
    const int tag = TagOf(popupComponent_);
    return DeviceModel::ValidFader(tag) ? tag : Model.SelectedFader;
}

void TMainForm::CopyFaderParameters2Click() {
    SelectFader(PopupFaderTag());
    Model.CopyFaderEventParameters(Model.SelectedPreset, Model.SelectedFader);
    PasteFaderParameters2->setEnabled(true);
    PasteSpecialFaderParameters2->setEnabled(true);
    EnableItemsOf("AllFaderP", {"PasteFaderParameters2", "PasteSpecialFaderParameters2"});
}

void TMainForm::PasteFaderParameters2Click() {
    SelectFader(PopupFaderTag());
    Model.PasteFaderEventParameters(Model.SelectedPreset, Model.SelectedFader);
    SelectFader(Model.SelectedFader);
}

void TMainForm::PasteSpecialFaderParameters2Click() {
    SelectFader(PopupFaderTag());
    Model.ExchangeFaderEventWithClipboard(Model.SelectedPreset, Model.SelectedFader);
    SelectFader(Model.SelectedFader);
}

void TMainForm::InitFaderParameters2Click() {
    SelectFader(PopupFaderTag());
    Model.FactoryInitFaderEvent(Model.SelectedPreset, Model.SelectedFader);
    SelectFader(Model.SelectedFader);
}

void TMainForm::ClearFaderParameters1Click() {
    SelectFader(PopupFaderTag());
    Model.ClearFaderEvent(Model.SelectedPreset, Model.SelectedFader);
    SelectFader(Model.SelectedFader);
}

void TMainForm::InitFaderParameterswithMidiControllers1Click() {
    SelectFader(PopupFaderTag());
    Model.MidiCtrlInitFaderEvent(Model.SelectedPreset, Model.SelectedFader);
    SelectFader(Model.SelectedFader);
}

// ---- Drag and drop ---------------------------------------------------------------------------------------

void TMainForm::FaderSelectDragDrop(int s, int t) {
    if (!DeviceModel::ValidFader(s) || !DeviceModel::ValidFader(t)) return;
    const int p = Model.SelectedPreset;
    if (Model.FaderDragSwap) {
        Model.CopyFaderParameters(p, t);
        Model.CopyFaderParametersTo(p, s, t, p);
        Model.PasteFaderParameters(p, s);
    } else {
        Model.CopyFaderParametersTo(p, s, t, p);
    }
    SelectFader(s);
    SelectFader(t);
}

void TMainForm::StartFaderDrag(int tag) { RunFaderDrag(FaderSelectList[size_t(tag)], tag, Model.FaderDragSwap); }

// ---- Event filter ----------------------------------------------------------------------------------------

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    const int tag = TagOf(watched);
    const bool isFader = DeviceModel::ValidFader(tag) && qobject_cast<QScrollBar*>(watched) != nullptr;
    const bool isSelect = DeviceModel::ValidFader(tag) && watched == FaderSelectList[size_t(tag)];
    const bool isKey = DeviceModel::ValidFader(tag) && watched == KeyOnOffList[size_t(tag)];

    switch (event->type()) {
        case QEvent::Wheel: {
            wheelEvent(static_cast<QWheelEvent*>(event));
            return true;
        }
        case QEvent::FocusIn: {
            // Only a focus the user moved describes the control: the focus
            // the window hands its first control when it comes up would
            // describe fader 1 while another fader is selected.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::MouseFocusReason && reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason &&
                reason != Qt::ShortcutFocusReason)
                break;
            if (isFader) FaderEnter(tag);
            if (isSelect || isKey) KeyOnOff1Click(tag);
            break;
        }
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(event);
            // A left press focuses a fader, select or key button before its
            // press handler runs, as a native control does; other buttons leave
            // the focus where it is.
            if ((isFader || isSelect || isKey) && me->button() == Qt::LeftButton)
                static_cast<QWidget*>(watched)->setFocus(Qt::MouseFocusReason);
            if (isSelect) {
                FaderSelectMouseDown(tag, me->button(), me->modifiers());
                dragGesture_.Press(me);
            } else if (isKey) {
                KeyOnOffMouseDown(tag, me->button());
            } else if (watched == LearnLabel && me->button() == Qt::LeftButton) {
                LearnLabelClick();
            } else if (watched == GroupBox4 && me->button() == Qt::LeftButton) {
                GroupBox4Click();
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (isKey) KeyOnOffMouseUp(tag, me->button());
            if (isSelect) dragGesture_.Release();
            break;
        }
        case QEvent::MouseMove:
            if (isSelect && dragGesture_.Starts(tag, static_cast<QMouseEvent*>(event))) {
                StartFaderDrag(tag);
                return true;
            }
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            if (isSelect)
                return TakeFaderDrop(event, kFaderCount, [&](int source) { FaderSelectDragDrop(source, tag); });
            break;
        default: break;
    }
    return TForm::eventFilter(watched, event);
}

void TMainForm::ShowWindowOfItem(const char* item, const char* formName) {
    if (Commands)
        Commands->Execute(item);
    else if (TForm* form = FindForm(formName))
        form->Show();
}

// ---- Notifications shown here ------------------------------------------------------------------------

void TMainForm::ShowFaderPosition(int fader, int position) {
    if (!DeviceModel::ValidFader(fader)) return;
    UpdatingGuard guard(Model);
    FaderList[size_t(fader)]->setValue(std::clamp(position, 0, 127));
}

}  // namespace morvelant
