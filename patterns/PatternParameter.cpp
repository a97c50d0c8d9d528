#include "patterns/PatternParameter.h"

#include <QApplication>
#include <QDrag>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "model/PatternSteps.h"
#include "model/TrackSettings.h"
#include "platform/QtColors.h"
#include "platform/QtDialogKeys.h"
#include "platform/QtDragStart.h"
#include "platform/QtText.h"

namespace morvelant {

TPatternParameterForm* PatternParameterForm = nullptr;

namespace {

constexpr int kClientWidth = 521;
constexpr int kClientHeight = 483;
constexpr int kLastNoteCode = 1127;
constexpr int kLastVelocityCode = 2127;

const PatternFormSection kSection{
    "Step Parameters Form", "Show Step Parameters Form", &DeviceModel::ShowStepParametersForm, 10, 210, 530, 510};

int Index(int t, int s) { return 16 * (t - 1) + (s - 1); }
int TagOf(const QObject* o) { return o->property("Tag").toInt(); }
// Track and step of a label or lamp from its tag.
int TrackOfTag(int tag) { return (tag % 1000) / 16 + 1; }
int StepOfTag(int tag) { return (tag % 1000) % 16 + 1; }

QPixmap LedPicture(const QColor& light, const QColor& rim) {
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    QPainter painter(&pm);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(rim);
    painter.setBrush(light);
    painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    return pm;
}

void SetBackground(QWidget* w, TColor color) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, ToQColor(color));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

}  // namespace

TPatternParameterForm::TPatternParameterForm(DeviceModel& model, Notifications& notifications,
                                             CommandRegistry& commands, PatternPickers* pickers, QWidget* parent)
    : TForm(QStringLiteral("PatternParameterForm"), parent),
      Model(model),
      Notes(notifications),
      Commands(commands),
      Pickers(pickers),
      Config(kSection) {
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    SetClientSize(kClientWidth, kClientHeight);
    setFixedSize(kClientWidth, kClientHeight);
    Build();
    BuildMenus();
    Model.SelectedTrack = std::clamp(Model.SelectedTrack, 1, kTrackCount);
    for (int t = 1; t <= kTrackCount; ++t)
        for (int s = 1; s <= kStepCount; ++s) ShowStepLed(CurrentPattern(), t, s);

    subscriptions_[0] = Notes.CurrentPatternChanged.Subscribe([this] {
        RefreshPattern(CurrentPattern());
        for (int t = 1; t <= kTrackCount; ++t) ColorStepLabels(CurrentPattern(), t);
        SetCaption(PatternCaption(Model, CurrentPattern()));
    });
    subscriptions_[1] = Notes.SelectedTrackChanged.Subscribe([this](int) { ShowSelectedTrack(); });
    auto retint = [this](int track) {
        for (int t = 1; t <= kTrackCount; ++t)
            if (track == 0 || track == t) {
                ShowTrackMute(CurrentPattern(), t);
                ColorStepLabels(CurrentPattern(), t);
            }
    };
    subscriptions_[2] = Notes.TrackMuteChanged.Subscribe(retint);
    subscriptions_[3] = Notes.TrackSettingsChanged.Subscribe(retint);
    // A renamed current pattern shows its new name at once.
    subscriptions_[4] = Notes.PatternDataChanged.Subscribe([this](int slot) {
        if (slot < 0 || slot == CurrentPattern()) SetCaption(PatternCaption(Model, CurrentPattern()));
    });
    Config.Read(Model, *this);
}

TPatternParameterForm::~TPatternParameterForm() {
    Config.Write(Model, *this);
    if (PatternParameterForm == this) PatternParameterForm = nullptr;
}

void TPatternParameterForm::Build() {
    BigLedOnImage = new QLabel(this);
    BigLedOnImage->setObjectName(QStringLiteral("BigLedOnImage"));
    BigLedOnImage->setPixmap(LedPicture(QColor(255, 40, 40), QColor(120, 0, 0)));
    BigLedOnImage->hide();
    BigLedOffImage = new QLabel(this);
    BigLedOffImage->setObjectName(QStringLiteral("BigLedOffImage"));
    BigLedOffImage->setPixmap(LedPicture(QColor(70, 20, 20), QColor(40, 0, 0)));
    BigLedOffImage->hide();
    LedOnPicture = BigLedOnImage->pixmap();
    LedOffPicture = BigLedOffImage->pixmap();

    QFont small = font();
    small.setPointSize(7);
    for (int t = 1; t <= kTrackCount; ++t) {
        auto* box = new QGroupBox(QStringLiteral(" Track %1 ").arg(t), this);
        box->setObjectName(QStringLiteral("GroupBox%1").arg(t));
        box->setProperty("Tag", t);
        box->setGeometry(4, 4 + (t - 1) * 60, 513, 58);
        box->setAcceptDrops(true);
        box->installEventFilter(this);
        SetBackground(box, clBtnFace);
        TrackBoxList[size_t(t - 1)] = box;
        for (int j = 0; j < 4; ++j) {
            const int panelNo = 4 * (t - 1) + j + 1;
            auto* panel = new QFrame(box);
            panel->setObjectName(QStringLiteral("Panel%1").arg(panelNo));
            panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
            panel->setGeometry(6 + j * 127, 14, 123, 42);
            SetBackground(panel, clBtnFace);
            Panels[size_t(panelNo - 1)] = panel;
            for (int k = 0; k < 4; ++k) {
                const int s = 4 * j + k + 1;
                const int i = Index(t, s);
                auto makeLabel = [&](const char* prefix, int base, int y) {
                    auto* label = new QLabel(panel);
                    label->setObjectName(QStringLiteral("%1%2_%3").arg(QLatin1String(prefix)).arg(t).arg(s));
                    label->setProperty("Tag", base + i);
                    label->setGeometry(2 + k * 30, y, 29, 13);
                    label->setAlignment(Qt::AlignCenter);
                    label->setFont(small);
                    label->installEventFilter(this);
                    // Tab reaches it, and the menu key opens its menu.
                    label->setFocusPolicy(Qt::StrongFocus);
                    SetBackground(label, clWhite);
                    return label;
                };
                VelocityLabels[size_t(i)] = makeLabel("EditB", kVelocityTagBase, 1);
                auto* lamp = new QLabel(panel);
                lamp->setObjectName(QStringLiteral("Image%1").arg(i + 1));
                lamp->setProperty("Tag", kLampTagBase + i);
                lamp->setGeometry(2 + k * 30, 14, 29, 13);
                lamp->setAlignment(Qt::AlignCenter);
                lamp->installEventFilter(this);
                LedImageList[size_t(i)] = lamp;
                NoteLabels[size_t(i)] = makeLabel("EditA", kNoteTagBase, 27);
            }
        }
    }
}

void TPatternParameterForm::BuildMenus() {
    auto item = [this](QMenu* menu, const char* name, const char* caption, void (TPatternParameterForm::*handler)()) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };
    TrackPopupMenu = new QMenu(this);
    TrackPopupMenu->setObjectName(QStringLiteral("TrackPopupMenu"));
    Mute1 = item(TrackPopupMenu, "Mute1", "Mute/Unmute Track", &TPatternParameterForm::Mute1Click);
    InitPattern1 = item(TrackPopupMenu, "InitPattern1", "Init Track", &TPatternParameterForm::InitPattern1Click);
    TrackPopupMenu->addSeparator()->setObjectName(QStringLiteral("N1"));
    CopyTrack1 = item(TrackPopupMenu, "CopyTrack1", "Copy Track", &TPatternParameterForm::CopyTrack1Click);
    PasteTrack1 = item(TrackPopupMenu, "PasteTrack1", "Paste Track", &TPatternParameterForm::PasteTrack1Click);
    PasteTrackwClipboard1 = item(TrackPopupMenu, "PasteTrackwClipboard1", "Paste Track w/Clipboard",
                                 &TPatternParameterForm::PasteTrackwClipboard1Click);
    TrackPopupMenu->addSeparator()->setObjectName(QStringLiteral("N2"));
    auto op = [this](const char* name, const char* caption, auto fn) {
        QAction* a = TrackPopupMenu->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, fn] { fn(PopupTrack); });
        return a;
    };
    RotateLeft1 = op("RotateLeft1", "Rotate Left", [this](int t) { RotateTrackLeft(t); });
    RotateRight1 = op("RotateRight1", "Rotate Right", [this](int t) { RotateTrackRight(t); });
    ShiftLeft1 = op("ShiftLeft1", "Shift Left", [this](int t) { ShiftTrackLeft(t); });
    ShuftRight1 = op("ShuftRight1", "Shift Right", [this](int t) { ShiftTrackRight(t); });
    Transpose1 = op("Transpose1", "Transpose Up", [this](int t) { TransposeTrack(t, 1); });
    TransposeDown1 = op("TransposeDown1", "Transpose Down", [this](int t) { TransposeTrack(t, -1); });
    Edit1 = item(TrackPopupMenu, "Edit1", "Edit...", &TPatternParameterForm::Edit1Click);
    // The paste items wait for a copied track, from this menu or the menu window's.
    auto enablePastes = [this] {
        const bool copied = Model.CopiedTrack >= 1 && Model.CopiedTrack <= kTrackCount;
        PasteTrack1->setEnabled(copied);
        PasteTrackwClipboard1->setEnabled(copied);
    };
    enablePastes();
    connect(TrackPopupMenu, &QMenu::aboutToShow, this, enablePastes);

    StepNotesPopupMenu = new QMenu(this);
    StepNotesPopupMenu->setObjectName(QStringLiteral("StepNotesPopupMenu"));
    PianoKeyboard1 =
        item(StepNotesPopupMenu, "PianoKeyboard1", "Piano Keyboard", &TPatternParameterForm::PianoKeyboard1Click);
    StepNotesPopupMenu->setDefaultAction(PianoKeyboard1);
    NumericalValues1 =
        item(StepNotesPopupMenu, "NumericalValues1", "Numerical Values", &TPatternParameterForm::NumericalValues1Click);
    StepVelPopupMenu = new QMenu(this);
    StepVelPopupMenu->setObjectName(QStringLiteral("StepVelPopupMenu"));
    NumericalValues2 =
        item(StepVelPopupMenu, "NumericalValues2", "Numerical Values", &TPatternParameterForm::NumericalValues2Click);
}

// ---- Display -----------------------------------------------------------------------------------

void TPatternParameterForm::SetLedPicture(int t, int s, bool on) {
    if (t < 1 || t > kTrackCount || s < 1 || s > kStepCount) return;
    LedImageList[size_t(Index(t, s))]->setPixmap(on ? LedOnPicture : LedOffPicture);
}

void TPatternParameterForm::ShowStepLed(int p, int t, int s) { SetLedPicture(t, s, GetStepOn(Model, p, t, s)); }

void TPatternParameterForm::SetLabelColor(QLabel* label, bool grey) {
    SetBackground(label, grey ? clInactiveCaption : clWhite);
}

void TPatternParameterForm::ShowStepNote(int p, int t, int s) {
    const Pattern_Parameters* pt = PatternRecord(Model, p);
    if (pt == nullptr || !DeviceModel::ValidPattern(p) || t < 1 || t > kTrackCount || s < 1 || s > kStepCount) return;
    QLabel* label = NoteLabels[size_t(Index(t, s))];
    label->setText(FromCp1252(StepNoteName(pt->StepNote(t - 1, s - 1))));
    SetLabelColor(label, TrackMuted(*pt, t));
}

void TPatternParameterForm::ShowStepVelocity(int p, int t, int s) {
    const Pattern_Parameters* pt = PatternRecord(Model, p);
    if (pt == nullptr || !DeviceModel::ValidPattern(p) || t < 1 || t > kTrackCount || s < 1 || s > kStepCount) return;
    QLabel* label = VelocityLabels[size_t(Index(t, s))];
    label->setText(QString::number(pt->StepVelocity(t - 1, s - 1)));
    SetLabelColor(label, TrackMuted(*pt, t));
}

void TPatternParameterForm::RefreshPattern(int p) {
    if (!DeviceModel::ValidPattern(p)) return;
    for (int t = 1; t <= kTrackCount; ++t) {
        for (int s = 1; s <= kStepCount; ++s) {
            ShowStepLed(p, t, s);
            ShowStepNote(p, t, s);
            ShowStepVelocity(p, t, s);
        }
        ShowTrackMute(p, t);
    }
}

void TPatternParameterForm::ShowTrackMute(int p, int t) {
    if (!DeviceModel::ValidPattern(p) || t < 1 || t > kTrackCount) return;
    const bool muted = TrackMuted(Model.Patterns[size_t(p)], t);
    for (int j = 0; j < 4; ++j) SetBackground(Panels[size_t(4 * (t - 1) + j)], muted ? clBtnShadow : clBtnFace);
}

void TPatternParameterForm::ColorStepLabels(int p, int t) {
    if (!DeviceModel::ValidPattern(p) || t < 1 || t > kTrackCount) return;
    const Pattern_Parameters& pt = Model.Patterns[size_t(p)];
    const bool muted = TrackMuted(pt, t);
    for (int s = 1; s <= kStepCount; ++s) {
        const bool grey = muted || s < pt.TrackStartStep(t - 1) || s > pt.TrackEndStep(t - 1);
        SetLabelColor(NoteLabels[size_t(Index(t, s))], grey);
        SetLabelColor(VelocityLabels[size_t(Index(t, s))], grey);
    }
}

void TPatternParameterForm::ShowSelectedTrack() {
    for (int t = 1; t <= kTrackCount; ++t)
        SetBackground(TrackBoxList[size_t(t - 1)], t == Model.SelectedTrack ? clYellow : clBtnFace);
}

void TPatternParameterForm::ShowPattern(int p) {
    if (!DeviceModel::ValidPattern(p)) return;
    Model.SelectedPattern = p;
    Notes.CurrentPatternChanged.Publish();
}

void TPatternParameterForm::StepsEdited() { Notes.PatternStepsEdited.Publish(); }

// ---- Track operations --------------------------------------------------------------------------

void TPatternParameterForm::MoveSteps(void (*move)(DeviceModel&, int, int), int t) {
    move(Model, CurrentPattern(), t);
    ShowPattern(CurrentPattern());
}

void TPatternParameterForm::RotateTrackLeft(int t) { MoveSteps(morvelant::RotateTrackLeft, t); }
void TPatternParameterForm::RotateTrackRight(int t) { MoveSteps(morvelant::RotateTrackRight, t); }
void TPatternParameterForm::ShiftTrackLeft(int t) { MoveSteps(morvelant::ShiftTrackLeft, t); }
void TPatternParameterForm::ShiftTrackRight(int t) { MoveSteps(morvelant::ShiftTrackRight, t); }

void TPatternParameterForm::TransposeTrack(int t, int delta) {
    morvelant::TransposeTrack(Model, CurrentPattern(), t, delta);
    ShowPattern(CurrentPattern());
    if (Pickers != nullptr && Pickers->TrackToolsVisible())
        Pickers->ShowTrackTools();
    else
        Show();
}

void TPatternParameterForm::ChangeTrackVelocity(int t, int delta) {
    morvelant::ChangeTrackVelocity(Model, CurrentPattern(), t, delta);
    ShowPattern(CurrentPattern());
}

// ---- Steps -------------------------------------------------------------------------------------

void TPatternParameterForm::Image1MouseDown(QLabel* lamp) {
    const int tag = TagOf(lamp) - kLampTagBase;
    const int t = tag / 16 + 1, s = tag % 16 + 1;
    SetStepOn(Model, CurrentPattern(), t, !GetStepOn(Model, CurrentPattern(), t, s), s);
    ShowStepLed(CurrentPattern(), t, s);
    StepsEdited();
}

void TPatternParameterForm::EditA1_1MouseDown(QLabel* label, Qt::MouseButton button, int y) {
    LabelDragLastY = y;
    if (button == Qt::LeftButton) LabelDragActive = true;
}

void TPatternParameterForm::EditA1_1MouseMove(QLabel* label, int y) {
    const int dy = y - LabelDragLastY;
    if (!LabelDragActive || dy == 0) return;
    const int tag = TagOf(label);
    const int t = TrackOfTag(tag), s = StepOfTag(tag);
    const int p = CurrentPattern();
    if (!DeviceModel::ValidPattern(p)) return;
    const bool velocity = tag >= kVelocityTagBase;
    const Pattern_Parameters& pt = Model.Patterns[size_t(p)];
    const int32_t old = velocity ? pt.StepVelocity(t - 1, s - 1) : pt.StepNote(t - 1, s - 1);
    const int32_t v = std::clamp<int32_t>(old - dy, 0, 127);
    if (velocity)
        SetStepVelocity(Model, p, t, v, s);
    else
        SetStepNote(Model, p, t, v, s);
    {
        UpdatingGuard guard(Model);
        label->setText(velocity ? QString::number(v) : FromCp1252(StepNoteName(v)));
    }
    LabelDragLastY = y;
    StepsEdited();
}

void TPatternParameterForm::EditA1_1MouseUp() { LabelDragActive = false; }

QLabel* TPatternParameterForm::LabelOfCode(int code) const {
    const int i = code % 1000;
    if (i < 0 || i >= kTrackCount * kStepCount) return nullptr;
    return code >= kVelocityTagBase ? VelocityLabels[size_t(i)] : NoteLabels[size_t(i)];
}

void TPatternParameterForm::RunStepPicker(int code, int lastCode, bool piano) {
    if (Pickers == nullptr) return;
    for (;;) {
        QLabel* label = LabelOfCode(code);
        if (label == nullptr) return;
        const int t = TrackOfTag(code), s = StepOfTag(code);
        SetBackground(label, clYellow);
        const int result = piano ? Pickers->PianoKeyboard(code, x() + 80, y() + 260) : Pickers->NumericalValues(code);
        // The label shows what the picker wrote, in the colour of its track.
        ShowStepNote(CurrentPattern(), t, s);
        ShowStepVelocity(CurrentPattern(), t, s);
        ColorStepLabels(CurrentPattern(), t);
        StepsEdited();
        if (result != 1 || code >= lastCode) return;
        ++code;
    }
}

void TPatternParameterForm::PianoKeyboard1Click() { RunStepPicker(PopupLabelTag, kLastNoteCode, true); }
void TPatternParameterForm::NumericalValues1Click() { RunStepPicker(PopupLabelTag, kLastNoteCode, false); }
void TPatternParameterForm::NumericalValues2Click() { RunStepPicker(PopupLabelTag, kLastVelocityCode, false); }

// ---- Tracks ------------------------------------------------------------------------------------

void TPatternParameterForm::SelectTrack(int t) {
    if (t < 1 || t > kTrackCount) return;
    Model.SelectedTrack = t;
    ShowSelectedTrack();
    Notes.SelectedTrackChanged.Publish(t);
}

void TPatternParameterForm::GroupBox1MouseDown(int track, Qt::MouseButton button, const QPoint& globalPos) {
    SelectTrack(track);
    if (button == Qt::LeftButton) {
        DragSourceTrack = track;
    } else if (button == Qt::RightButton) {
        PopupTrack = track;
        TrackPopupMenu->popup(globalPos);
    }
}

void TPatternParameterForm::GroupBox1Click(int track) {
    PopupTrack = track;
    Mute1Click();
}

QMimeData* TPatternParameterForm::TrackDragData(int track) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kTrackDragType), QByteArray::number(track));
    return data;
}

void TPatternParameterForm::StartTrackDrag(int track) {
    auto* drag = new QDrag(TrackBoxList[size_t(track - 1)]);
    drag->setMimeData(TrackDragData(track));
    drag->exec(Qt::CopyAction);
}

void TPatternParameterForm::GroupBox1DragDrop(int target) {
    if (DragSourceTrack < 1 || DragSourceTrack > kTrackCount) return;
    CopyTrackWithin(Model, CurrentPattern(), DragSourceTrack, target, TrackCopy::Steps);
    ShowPattern(CurrentPattern());
}

void TPatternParameterForm::Mute1Click() {
    const int p = CurrentPattern();
    if (!DeviceModel::ValidPattern(p)) return;
    SetTrackMute(Model, p, PopupTrack, !TrackMuted(Model.Patterns[size_t(p)], PopupTrack));
    Notes.TrackMuteChanged.Publish(PopupTrack);
}

void TPatternParameterForm::InitPattern1Click() {
    InitTrackSteps(Model, CurrentPattern(), PopupTrack);
    ShowPattern(CurrentPattern());
}

void TPatternParameterForm::CopyTrack1Click() {
    CopyTrack(Model, CurrentPattern(), PopupTrack);
    PasteTrack1->setEnabled(true);
    PasteTrackwClipboard1->setEnabled(true);
    // The menu window's paste items of the track clipboard.
    Commands.SetEnabled("Paste1", true);
    Commands.SetEnabled("PastewClipboard1", true);
}

void TPatternParameterForm::PasteTrack1Click() {
    PasteTrack(Model, CurrentPattern(), PopupTrack);
    ShowPattern(CurrentPattern());
}

void TPatternParameterForm::PasteTrackwClipboard1Click() {
    PasteTrackWithClipboard(Model, CurrentPattern(), PopupTrack);
    ShowPattern(CurrentPattern());
}

void TPatternParameterForm::Edit1Click() {
    if (Pickers != nullptr) Pickers->ShowTrackTools();
}

// ---- Window ------------------------------------------------------------------------------------

void TPatternParameterForm::FormShow() {
    ShowSelectedTrack();
    ShowPattern(CurrentPattern());
    Model.ShowStepParametersForm = true;
}

void TPatternParameterForm::FormClose(TCloseAction&) { Model.ShowStepParametersForm = false; }

bool TPatternParameterForm::eventFilter(QObject* watched, QEvent* event) {
    const int tag = TagOf(watched);
    if (tag <= 0) return TForm::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (tag <= kTrackCount) {  // a track box
        if (type == QEvent::MouseButtonPress) {
            auto* me = static_cast<QMouseEvent*>(event);
            boxPressTrack_ = me->button() == Qt::LeftButton ? tag : 0;
            boxPressPos_ = me->position().toPoint();
            GroupBox1MouseDown(tag, me->button(), me->globalPosition().toPoint());
            return true;
        }
        if (type == QEvent::MouseMove && boxPressTrack_ == tag) {
            auto* me = static_cast<QMouseEvent*>(event);
            if (DragDistanceReached(me, boxPressPos_)) {
                boxPressTrack_ = 0;
                StartTrackDrag(tag);
            }
            return true;
        }
        if (type == QEvent::MouseButtonRelease) boxPressTrack_ = 0;
        if (type == QEvent::MouseButtonDblClick) {
            GroupBox1Click(tag);
            return true;
        }
        if (type == QEvent::DragEnter || type == QEvent::DragMove) {
            auto* de = static_cast<QDragMoveEvent*>(event);
            if (de->mimeData()->hasFormat(QString::fromLatin1(kTrackDragType)))
                de->acceptProposedAction();
            else
                de->ignore();
            return true;
        }
        if (type == QEvent::Drop) {
            auto* de = static_cast<QDropEvent*>(event);
            const QString format = QString::fromLatin1(kTrackDragType);
            if (!de->mimeData()->hasFormat(format)) return true;
            bool ok = false;
            const int source = de->mimeData()->data(format).toInt(&ok);
            if (ok && source >= 1 && source <= kTrackCount) DragSourceTrack = source;
            de->acceptProposedAction();
            GroupBox1DragDrop(tag);
            return true;
        }
        return TForm::eventFilter(watched, event);
    }
    auto* label = qobject_cast<QLabel*>(watched);
    if (label == nullptr) return TForm::eventFilter(watched, event);
    if (tag >= kLampTagBase) {
        if (type == QEvent::MouseButtonPress) {
            Image1MouseDown(label);
            return true;
        }
        return TForm::eventFilter(watched, event);
    }
    const auto popup = [&](const QPoint& globalPos) {
        PopupLabelTag = tag;
        (tag >= kVelocityTagBase ? StepVelPopupMenu : StepNotesPopupMenu)->popup(globalPos);
    };
    if (ContextMenuKey(event)) {
        popup(label->mapToGlobal(label->rect().bottomLeft() + QPoint(0, 1)));
        return true;
    }
    switch (type) {
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(event);
            EditA1_1MouseDown(label, me->button(), int(me->position().y()));
            if (me->button() == Qt::RightButton) popup(me->globalPosition().toPoint());
            return true;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            // A frame marks the focused value.
            label->setFrameStyle(type == QEvent::FocusIn ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
            return TForm::eventFilter(watched, event);
        case QEvent::MouseMove:
            EditA1_1MouseMove(label, int(static_cast<QMouseEvent*>(event)->position().y()));
            return true;
        case QEvent::MouseButtonRelease: EditA1_1MouseUp(); return true;
        default: return TForm::eventFilter(watched, event);
    }
}

}  // namespace morvelant
