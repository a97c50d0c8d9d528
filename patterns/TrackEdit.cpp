#include "patterns/TrackEdit.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

#include "model/PatternSteps.h"
#include "model/TrackSettings.h"
#include "platform/QtNumberField.h"
#include "platform/QtText.h"

namespace morvelant {

TTrackEditForm* TrackEditForm = nullptr;

namespace {

constexpr int kNotesMinus[kTrackCount] = {5, 17, 29, 41, 57, 59, 61, 63};
constexpr int kVelocityMinus[kTrackCount] = {11, 23, 35, 47, 58, 60, 62, 64};
constexpr int kRandomNotes[kTrackCount] = {12, 24, 36, 48, 50, 52, 54, 56};
constexpr int kRandomVelocity[kTrackCount] = {6, 18, 30, 42, 49, 51, 53, 55};

constexpr int kRowTop = 24;
constexpr int kRowHeight = 26;

QLabel* Heading(const QString& text, int x, int y, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    return l;
}

}  // namespace

UpDownButtons::UpDownButtons(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    Up = new QToolButton(this);
    Down = new QToolButton(this);
    Up->setArrowType(Qt::UpArrow);
    Down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {Up, Down}) {
        // The arrows are the mouse's, as beside the fader window's numbers:
        // Tab goes from edit to edit, never onto an arrow.
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(15, 11);
        box->addWidget(b);
    }
    connect(Up, &QToolButton::clicked, this, [this] { Q_EMIT Clicked(true); });
    connect(Down, &QToolButton::clicked, this, [this] { Q_EMIT Clicked(false); });
    setFixedSize(15, 22);
}

QToolButton* TTrackEditForm::NotesMinusButton(int t) const { return SpeedButtons[kNotesMinus[t - 1] - 1]; }
QToolButton* TTrackEditForm::VelocityMinusButton(int t) const { return SpeedButtons[kVelocityMinus[t - 1] - 1]; }
QToolButton* TTrackEditForm::RandomNotesButton(int t) const { return SpeedButtons[kRandomNotes[t - 1] - 1]; }
QToolButton* TTrackEditForm::RandomVelocityButton(int t) const { return SpeedButtons[kRandomVelocity[t - 1] - 1]; }

TTrackEditForm::TTrackEditForm(DeviceModel& model, Notifications* notes, PickerDispatch& dispatch,
                               PickerLauncher* pickers, TrackRowOps ops, RandomSource random)
    : TForm(QStringLiteral("TrackEditForm")),
      model_(model),
      pickers_(pickers),
      ops_(std::move(ops)),
      random_(std::move(random)) {
    SetCaption("TrackEdit Tools");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(412, 330);

    Heading(QStringLiteral("Active"), 8, 4, this);
    Heading(QStringLiteral("Rotate"), 60, 4, this);
    Heading(QStringLiteral("Shift"), 112, 4, this);
    Heading(QStringLiteral("Transpose/Add"), 160, 4, this);
    Heading(QStringLiteral("Notes"), 252, 4, this);
    Heading(QStringLiteral("Velocity"), 302, 4, this);
    Heading(QStringLiteral("Random"), 358, 4, this);

    auto button = [this](int n, const QString& text, int x, int y) {
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("SpeedButton%1").arg(n));
        b->setText(text);
        b->setGeometry(x, y, 22, 22);
        SpeedButtons[static_cast<size_t>(n - 1)] = b;
        return b;
    };
    for (int t = 1; t <= kTrackCount; ++t) {
        const int y = kRowTop + (t - 1) * kRowHeight;
        const int k = t - 1;
        auto* panel = new QFrame(this);
        panel->setObjectName(QStringLiteral("ActivePanel%1").arg(t));
        panel->setGeometry(8, y, 40, 22);
        panel->setAutoFillBackground(true);
        ActivePanels[static_cast<size_t>(k)] = panel;
        auto* check = new QCheckBox(QString::number(t), panel);
        check->setObjectName(QStringLiteral("Track%1CheckBox").arg(t));
        check->move(4, 2);
        check->setChecked(true);
        TrackCheckBoxes[static_cast<size_t>(k)] = check;
        connect(check, &QCheckBox::clicked, this, [this, t] { Track1CheckBoxClick(t); });

        connect(button(6 * k + 1, QStringLiteral("<"), 56, y), &QToolButton::clicked, this,
                [this, t] { RowOperation(t, ops_.RotateTrackLeft); });
        connect(button(6 * k + 2, QStringLiteral(">"), 78, y), &QToolButton::clicked, this,
                [this, t] { RowOperation(t, ops_.RotateTrackRight); });
        connect(button(6 * k + 3, QStringLiteral("|<"), 108, y), &QToolButton::clicked, this,
                [this, t] { RowOperation(t, ops_.ShiftTrackLeft); });
        connect(button(6 * k + 4, QStringLiteral(">|"), 130, y), &QToolButton::clicked, this,
                [this, t] { RowOperation(t, ops_.ShiftTrackRight); });

        auto* amount = new QSpinBox(this);
        amount->setObjectName(QStringLiteral("MaskEdit%1").arg(t));
        amount->setRange(0, 64);
        amount->setValue(1);
        amount->setGeometry(176, y, 50, 22);
        MaskEdits[static_cast<size_t>(k)] = amount;

        // The minus and plus buttons add the row's amount with their sign.
        auto change = [this, t](bool notes, int sign) {
            const int a = MaskEdits[static_cast<size_t>(t - 1)]->value();
            const auto& op = notes ? ops_.TransposeTrack : ops_.ChangeTrackVelocity;
            if (op) op(t, sign * a);
        };
        connect(button(kNotesMinus[k], QStringLiteral("-"), 250, y), &QToolButton::clicked, this,
                [change] { change(true, -1); });
        connect(button(65 + 2 * k, QStringLiteral("+"), 272, y), &QToolButton::clicked, this,
                [change] { change(true, +1); });
        connect(button(kVelocityMinus[k], QStringLiteral("-"), 304, y), &QToolButton::clicked, this,
                [change] { change(false, -1); });
        connect(button(66 + 2 * k, QStringLiteral("+"), 326, y), &QToolButton::clicked, this,
                [change] { change(false, +1); });
        connect(button(kRandomNotes[k], QStringLiteral("N"), 358, y), &QToolButton::clicked, this,
                [this, t] { SpeedButton6Click(t); });
        connect(button(kRandomVelocity[k], QStringLiteral("V"), 380, y), &QToolButton::clicked, this,
                [this, t] { SpeedButton12Click(t); });
    }

    const int rangeTop = kRowTop + kTrackCount * kRowHeight + 8;
    Heading(QStringLiteral("Random Range "), 8, rangeTop, this);
    auto edit = [this](const char* name, int code, int x, int y) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setProperty("Tag", code);
        e->setGeometry(x, y, 48, 22);
        e->installEventFilter(this);
        return e;
    };
    auto updown = [this](const char* name, int code, int x, int y) {
        auto* u = new UpDownButtons(QString::fromLatin1(name), this);
        u->move(x, y);
        connect(u, &UpDownButtons::Clicked, this, [this, code](bool up) { RangeUpDownClick(code, up); });
        return u;
    };
    const int notesY = rangeTop + 20, velY = rangeTop + 48;
    Heading(QStringLiteral("Notes"), 8, notesY + 3, this);
    Heading(QStringLiteral("Velocity"), 8, velY + 3, this);
    minNoteEdit = edit("minNoteEdit", kMinNoteCode, 70, notesY);
    minNoteUpDown = updown("minNoteUpDown", kMinNoteCode, 119, notesY);
    maxNoteEdit = edit("maxNoteEdit", kMaxNoteCode, 150, notesY);
    maxNoteUpDown = updown("maxNoteUpDown", kMaxNoteCode, 199, notesY);
    minVelocityEdit = edit("minVelocityEdit", kMinVelocityCode, 70, velY);
    minVelocityUpDown = updown("minVelocityUpDown", kMinVelocityCode, 119, velY);
    maxVelocityEdit = edit("maxVelocityEdit", kMaxVelocityCode, 150, velY);
    maxVelocityUpDown = updown("maxVelocityUpDown", kMaxVelocityCode, 199, velY);
    // The note edits are set by the keyboard picker only.
    minNoteEdit->setReadOnly(true);
    maxNoteEdit->setReadOnly(true);
    for (int code : {kMinVelocityCode, kMaxVelocityCode})
        OnNumberCommitted(EditOf(code), [this, code] { VelocityEditEnter(code); });
    for (int code = kMinNoteCode; code <= kMaxVelocityCode; ++code) ShowBound(code);

    // The pickers reach the four bounds through their codes.
    PickerTarget target;
    target.first = kMinNoteCode;
    target.last = kMaxVelocityCode;
    target.present = [this](int code) { return std::optional<int>(Ranges.Bound(code)); };
    target.write = [this](int code, int value, PickerKind) {
        if (Ranges.SetBound(code, value)) ShowBound(code);
    };
    PickerTarget noteBounds = target, velocities = target;
    noteBounds.last = kMaxNoteCode;
    noteBounds.pickers = static_cast<unsigned>(PickerKind::Piano);
    velocities.first = kMinVelocityCode;
    velocities.pickers = static_cast<unsigned>(PickerKind::Values);
    targets_ = dispatch.Register({std::move(noteBounds), std::move(velocities)});
    if (notes != nullptr) {
        patternShown_ = notes->CurrentPatternChanged.Subscribe([this] {
            for (int t = 1; t <= kTrackCount; ++t) ShowTrackActive(model_.SelectedPattern, t);
        });
        // A mute set in another window: a stale box would mute a muted track on its next click.
        mutes_ = notes->TrackMuteChanged.Subscribe([this](int track) {
            for (int t = 1; t <= kTrackCount; ++t)
                if (track == 0 || track == t) ShowTrackActive(model_.SelectedPattern, t);
        });
    }
}

QLineEdit* TTrackEditForm::EditOf(int code) const {
    switch (code) {
        case kMinNoteCode: return minNoteEdit;
        case kMaxNoteCode: return maxNoteEdit;
        case kMinVelocityCode: return minVelocityEdit;
        case kMaxVelocityCode: return maxVelocityEdit;
        default: return nullptr;
    }
}

void TTrackEditForm::ShowBound(int code) {
    QLineEdit* e = EditOf(code);
    const auto v = Ranges.Bound(code);
    if (e == nullptr || !v) return;
    const bool note = code == kMinNoteCode || code == kMaxNoteCode;
    e->setText(FromCp1252(note ? StepNoteName(*v) : std::to_string(*v)));
}

void TTrackEditForm::RowOperation(int t, const std::function<void(int)>& op) {
    if (op) op(t);
}

void TTrackEditForm::RandomFillRow(int t, bool notes) {
    const int p = model_.SelectedPattern;
    if (!DeviceModel::ValidPattern(p) || !random_) return;
    RandomFill(model_.Patterns[static_cast<size_t>(p)], t - 1, notes, notes ? MinNote : MinVelocity,
               notes ? MaxNote : MaxVelocity, random_);
    if (ops_.ShowPattern) ops_.ShowPattern(p);
}

void TTrackEditForm::SpeedButton6Click(int t) { RandomFillRow(t, true); }
void TTrackEditForm::SpeedButton12Click(int t) { RandomFillRow(t, false); }

void TTrackEditForm::Track1CheckBoxClick(int t) {
    if (model_.Updating) return;
    const int p = model_.SelectedPattern;
    const bool mute = !TrackCheckBoxes[static_cast<size_t>(t - 1)]->isChecked();
    SetTrackMute(model_, p, t, mute);
    if (ops_.ShowTrackMute) ops_.ShowTrackMute(p, t);
    if (ops_.ColorStepLabels) ops_.ColorStepLabels(p, t);
    if (ops_.UpdateTrackButtons) ops_.UpdateTrackButtons(p);
}

void TTrackEditForm::ShowTrackActive(int p, int t) {
    if (!DeviceModel::ValidPattern(p) || t < 1 || t > kTrackCount) return;
    const bool muted = (model_.Patterns[static_cast<size_t>(p)].MuteMask() >> (t - 1)) & 1;
    UpdatingGuard guard(model_);
    TrackCheckBoxes[static_cast<size_t>(t - 1)]->setChecked(!muted);
}

void TTrackEditForm::RangeUpDownClick(int code, bool up) {
    if (Ranges.StepBound(code, up ? 1 : -1)) ShowBound(code);
}

void TTrackEditForm::VelocityEditEnter(int code) {
    QLineEdit* e = EditOf(code);
    // A number is clamped into 0..127 and against the other bound; the edit
    // shows the bound kept either way.
    if (e != nullptr)
        if (const std::optional<int> typed = TypedWholeNumber(e->text())) Ranges.SetBoundClamped(code, *typed);
    ShowBound(code);
}

void TTrackEditForm::RangeEditMouseDown(int code) {
    if (pickers_ == nullptr) return;
    const bool note = code == kMinNoteCode || code == kMaxNoteCode;
    const PickerPlace place = note ? PickerPlace{Left() < 100 ? 0 : Left() - 100, Top() + 100}
                                   : PickerPlace{Left() < 40 ? 0 : Left() - 40, Top()};
    pickers_->Pick(note ? PickerKind::Piano : PickerKind::Values, code, place);
}

void TTrackEditForm::ShowTrackColors() {
    if (!ops_.TrackColor) return;
    for (int i = 0; i < kTrackCount; ++i) {
        QPalette pal = ActivePanels[static_cast<size_t>(i)]->palette();
        pal.setColor(QPalette::Window, ToQColor(ops_.TrackColor(i)));
        ActivePanels[static_cast<size_t>(i)]->setPalette(pal);
    }
}

void TTrackEditForm::FormShow() {
    ShowTrackColors();
    for (int t = 1; t <= kTrackCount; ++t) ShowTrackActive(model_.SelectedPattern, t);
    for (int code = kMinNoteCode; code <= kMaxVelocityCode; ++code) ShowBound(code);
}

bool TTrackEditForm::eventFilter(QObject* watched, QEvent* event) {
    const QVariant tag = watched->property("Tag");
    if (tag.isValid()) {
        const int code = tag.toInt();
        if (event->type() == QEvent::MouseButtonPress) {
            RangeEditMouseDown(code);
            return code == kMinNoteCode || code == kMaxNoteCode;
        }
    }
    return TForm::eventFilter(watched, event);
}

}  // namespace morvelant
