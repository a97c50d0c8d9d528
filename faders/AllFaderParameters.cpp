#include "faders/AllFaderParameters.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStringListModel>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

#include "engine/Snapshot.h"
#include "engine/Tool.h"
#include "faders/ByteStringField.h"
#include "faders/EventStringRules.h"
#include "model/FaderRange.h"
#include "model/SlotLists.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "platform/QtFaderDrag.h"
#include "platform/QtFixedFormBounds.h"
#include "platform/QtNumberField.h"
#include "platform/QtText.h"

namespace morvelant {

TAllFaderP* AllFaderP = nullptr;

using MP = Morvelant_Parameters;

namespace {

constexpr char kSection[] = "Fader Parameters Form";
constexpr int kClientWidth = 765;
constexpr int kClientHeight = 516;

int TagOf(const QObject* o) {
    const QVariant v = o ? o->property("Tag") : QVariant();
    return v.isValid() ? v.toInt() : -1;
}

template <typename W>
W* Named(W* widget, const char* name, int tag = -1) {
    widget->setObjectName(QString::fromLatin1(name));
    if (tag >= 0) widget->setProperty("Tag", tag);
    return widget;
}

// A group box that draws itself once, onto what lies beneath it, and then
// copies that picture. Most of its children are not opaque, so every change
// of a label, list or button repainted the group box there, and the window or
// group beneath it too; the style drawing the whole frame and shaping the
// caption each time was most of the window's cost per fader step. Drawn onto
// a copy of what is beneath, the picture is opaque and shows what the style
// draws on the window (the blended edge of a frame may come out one step of
// brightness apart); the group then needs nothing repainted beneath it. The
// picture is drawn anew whenever anything it depends on changes.
class CachedGroupBox : public QGroupBox {
public:
    explicit CachedGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        Draw();
        QPainter painter(this);
        painter.setClipRegion(event->region());
        painter.drawPixmap(0, 0, picture_);
    }

private:
    struct Key {
        QSize size;
        QPoint pos;
        int state = 0;
        qint64 palette = 0;
        qint64 beneathPalette = 0;
        quint64 beneath = 0;  // the picture of the group beneath
        bool autoFill = false;
        QString font;
        QString text;
        int alignment = 0;
        QRgb textColor = 0;
        int subControls = 0;
        int activeSubControls = 0;
        int features = 0;
        qreal ratio = 0;
        const QStyle* style = nullptr;
        bool operator==(const Key&) const = default;
    };

    // Brings the picture up to date.
    void Draw() {
        QStyleOptionGroupBox option;
        initStyleOption(&option);
        auto* under = dynamic_cast<CachedGroupBox*>(parentWidget());
        if (under) under->Draw();
        const QWidget* below = parentWidget();
        const qreal ratio = devicePixelRatioF();
        const Key key{option.rect.size(),
                      pos(),
                      int(option.state),
                      option.palette.cacheKey(),
                      below ? below->palette().cacheKey() : 0,
                      under ? under->generation_ : 0,
                      autoFillBackground(),
                      font().key(),
                      option.text,
                      int(option.textAlignment),
                      option.textColor.rgba(),
                      int(option.subControls),
                      int(option.activeSubControls),
                      int(option.features),
                      ratio,
                      style()};
        if (!picture_.isNull() && key == key_) return;
        key_ = key;
        ++generation_;
        picture_ = QPixmap(option.rect.size() * ratio);
        picture_.setDevicePixelRatio(ratio);
        QPainter painter(&picture_);
        // What the window or the group beneath paints here.
        if (under)
            painter.drawPixmap(QPoint(0, 0), under->picture_, QRectF(QPointF(pos()) * ratio, picture_.size()));
        else if (below)
            painter.fillRect(rect(), below->palette().brush(below->backgroundRole()));
        if (autoFillBackground()) painter.fillRect(rect(), palette().brush(backgroundRole()));
        style()->drawComplexControl(QStyle::CC_GroupBox, &option, &painter, this);
    }

    Key key_;
    quint64 generation_ = 0;
    QPixmap picture_;
};

QGroupBox* Group(QWidget* parent, const char* name, const char* caption, QRect r) {
    auto* g = Named(new CachedGroupBox(QString::fromLatin1(caption), parent), name);
    g->setGeometry(r);
    return g;
}

QLabel* TextLabel(QWidget* parent, const char* text, int x, int y, int w = 120) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setGeometry(x, y, w, 14);
    return l;
}

QComboBox* List(QWidget* parent, const char* name, QRect r, int tag = -1) {
    auto* c = Named(new QComboBox(parent), name, tag);
    c->setEditable(false);
    c->setGeometry(r);
    return c;
}

void FillList(QComboBox* list, const std::vector<std::string>& items) {
    QStringList texts;
    texts.reserve(int(items.size()));
    for (const auto& s : items) texts << FromCp1252(s);
    list->clear();
    list->addItems(texts);
}

QLineEdit* LineEdit(QWidget* parent, const char* name, QRect r) {
    auto* e = Named(new QLineEdit(parent), name);
    e->setGeometry(r);
    return e;
}

QFont FixedFont(bool bold) {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setBold(bold);
    return f;
}

// A whole number typed; false for anything else.
bool WholeNumber(const QString& text, int& value) {
    const std::optional<int> typed = TypedWholeNumber(text);
    if (typed) value = *typed;
    return typed.has_value();
}

void SetBackground(QWidget* w, const QColor& color) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

}  // namespace

// ---- Small controls ------------------------------------------------------------------------

// The lamp paints every pixel of itself, so its group box need not be
// painted beneath it when it changes.
FaderLamp::FaderLamp(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void FaderLamp::SetBright(bool bright) {
    if (bright_ == bright) return;
    bright_ = bright;
    update();
}

void FaderLamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(bright_ ? QColor(255, 40, 30) : QColor(90, 20, 15));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

ArrowEdit::ArrowEdit(const QString& name, int min, int max, QWidget* parent) : QWidget(parent), min_(min), max_(max) {
    setObjectName(name + QStringLiteral("UpDown"));
    Edit = new QLineEdit(this);
    Edit->setObjectName(name);
    Up = new QToolButton(this);
    Up->setArrowType(Qt::UpArrow);
    Down = new QToolButton(this);
    Down->setArrowType(Qt::DownArrow);
    // The arrows are the mouse's: the keys step the edit itself, so the
    // pair is no Tab stop of its own.
    Up->setFocusPolicy(Qt::NoFocus);
    Down->setFocusPolicy(Qt::NoFocus);
    Edit->installEventFilter(this);
    connect(Up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(Down, &QToolButton::clicked, this, [this] { Step(-1); });
    // Return, or the focus leaving an edit the user changed.
    connect(Edit, &QLineEdit::editingFinished, this, [this] {
        if (!Edit->isModified()) return;
        Edit->setModified(false);
        Q_EMIT Committed();
    });
    // A number another window writes (a picker) is committed at once.
    connect(Edit, &QLineEdit::textChanged, this, [this] {
        if (!showing_ && !Edit->isModified()) Q_EMIT Committed();
    });
}

bool ArrowEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            Step(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ArrowEdit::Step(int delta) {
    int v = 0;
    if (!WholeNumber(Edit->text(), v)) v = min_;
    Show(QString::number(std::clamp(v + delta, min_, max_)));
    Q_EMIT Committed();
}

void ArrowEdit::Show(const QString& text) {
    showing_ = true;
    if (Edit->text() != text) Edit->setText(text);
    Edit->setModified(false);
    showing_ = false;
}

// ---- Rows ------------------------------------------------------------------------------------

// One event row: its controls and the model fields and setters it edits.
namespace {

// What a row edits in the model: its fields and setters.
struct RowFields {
    int stringEvent;  // the list index of "String"
    int statusArray, data1Array, data2Array;
    std::array<std::string, kFaderCount> MP::*strings;
    void (DeviceModel::*setEvent)(int, int, int32_t);
    void (DeviceModel::*setChannel)(int, int, int32_t);
    void (DeviceModel::*setData1)(int, int, int32_t);
    void (DeviceModel::*setData2)(int, int, int32_t);
    void (DeviceModel::*setString)(int, int, const std::string&);
};

using DM = DeviceModel;
// Fader, Key On, Key Off.
const RowFields kRowFields[3] = {
    {kFaderStringEvent, MP::aFaderStatus, MP::aFaderMidiData1, MP::aFaderMidiData2, &MP::FaderString,
     &DM::SetFaderEvent, &DM::SetFaderMidiChannel, &DM::SetFaderMidiData1, &DM::SetFaderMidiData2, &DM::SetFaderString},
    {kKeyStringEvent, MP::aKeyOnStatus, MP::aKeyOnMidiData1, MP::aKeyOnMidiData2, &MP::KeyOnString, &DM::SetKeyOnEvent,
     &DM::SetKeyOnMidiChannel, &DM::SetKeyOnMidiData1, &DM::SetKeyOnMidiData2, &DM::SetKeyOnString},
    {kKeyStringEvent, MP::aKeyOffStatus, MP::aKeyOffMidiData1, MP::aKeyOffMidiData2, &MP::KeyOffString,
     &DM::SetKeyOffEvent, &DM::SetKeyOffMidiChannel, &DM::SetKeyOffMidiData1, &DM::SetKeyOffMidiData2,
     &DM::SetKeyOffString},
};

}  // namespace

// One event row: its controls and the model fields and setters it edits.
struct TAllFaderP::EventRow : RowFields {
    EventRow(const RowFields& fields, EventRowKind k) : RowFields(fields), kind(k) {}
    EventRowKind kind;
    QComboBox* Event = nullptr;
    QLabel* Data1Label = nullptr;
    QLabel* Data2Label = nullptr;
    QComboBox* Data1 = nullptr;
    QComboBox* Data2 = nullptr;
    QGroupBox* ChannelGroup = nullptr;
    int firstButton = 0;  // into SpeedButtons
    QLineEdit* String = nullptr;
    ByteStringField* Field = nullptr;  // String as it is typed
    int shown1 = -1, shown2 = -1;  // DataItems filled into the lists
    DataPopup popup1 = DataPopup::None, popup2 = DataPopup::None;
};

// ---- Construction -----------------------------------------------------------------------------

TAllFaderP::TAllFaderP(Engine& engine, CommandRegistry& commands, FaderWindowLinks links, FaderPickers* pickers,
                       QWidget* parent)
    : TForm(QStringLiteral("AllFaderP"), parent),
      model_(engine.Model),
      engine_(engine),
      notifications_(engine.Notices),
      commands_(commands),
      links_(std::move(links)),
      pickers_(pickers) {
    SetCaption("Fader Parameters");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    SetClientSize(kClientWidth, kClientHeight);
    setFixedSize(kClientWidth, kClientHeight);
    BuildControls();
    BuildMenus();
    // The controls that would take the wheel for themselves.
    for (QComboBox* list : findChildren<QComboBox*>()) {
        list->installEventFilter(this);
        // A list without a menu of its own leaves a right click to its
        // group's menu, as the label beside it does.
        if (list->contextMenuPolicy() == Qt::DefaultContextMenu) list->setContextMenuPolicy(Qt::NoContextMenu);
    }
    Fader->installEventFilter(this);
    for (int f = 0; f < kFaderCount; ++f) FaderSelectLedList[size_t(f)]->SetBright(model_.FaderSelected[size_t(f)]);
    // FormCreate
    ReadConfig();
    ModeImmediateButton->setToolTip(QStringLiteral("Set Fader to\nImmediate Mode"));
    RegisterCommands();
    Subscribe();
}

TAllFaderP::~TAllFaderP() {
    WriteConfig();
    for (const std::string& item : registered_) commands_.Unregister(item);
    for (EventRow* row : rows_) delete row;
    if (AllFaderP == this) AllFaderP = nullptr;
}

void TAllFaderP::BuildControls() {
    const QFont bold = [] {
        QFont f;
        f.setBold(true);
        return f;
    }();

    // ---- Fader select --------------------------------------------------------------
    GroupBox10 = Group(this, "GroupBox10", "Fader Select", {4, 2, 757, 52});
    for (int f = 0; f < kFaderCount; ++f) {
        const std::string name = "FaderSelect" + std::to_string(f + 1);
        auto* b = Named(new QPushButton(QString::number(f + 1), GroupBox10), name.c_str(), f);
        b->setGeometry(8 + 31 * f, 16, 28, 20);
        b->setAcceptDrops(true);
        b->installEventFilter(this);
        FaderSelectList[size_t(f)] = b;
        auto* led = Named(new FaderLamp(GroupBox10), ("FaderSelectLed" + std::to_string(f + 1)).c_str(), f);
        led->setGeometry(16 + 31 * f, 40, 12, 5);
        FaderSelectLedList[size_t(f)] = led;
    }

    // ---- Fader parameters ------------------------------------------------------------
    GroupBox3 = Group(this, "GroupBox3", "Fader Parameters", {4, 56, 372, 266});
    GroupBox3->setContextMenuPolicy(Qt::CustomContextMenu);
    SliderName = LineEdit(GroupBox3, "SliderName", {8, 18, 96, 21});
    SliderName->setFont(FixedFont(true));
    FaderEvent = List(GroupBox3, "FaderEvent", {110, 18, 160, 21});
    FaderEvent->setFont(bold);
    for (const char* name : FaderEventNames) FaderEvent->addItem(QString::fromLatin1(name));
    MidiData1 = Named(TextLabel(GroupBox3, "", 8, 42, 170), "MidiData1");
    MidiData2 = Named(TextLabel(GroupBox3, "", 190, 42, 170), "MidiData2");
    FaderMidiData1 = List(GroupBox3, "FaderMidiData1", {8, 56, 176, 21}, 0);
    FaderMidiData2 = List(GroupBox3, "FaderMidiData2", {190, 56, 174, 21}, 3);
    GroupBox6 = Group(GroupBox3, "GroupBox6", "Midi Channel", {8, 80, 356, 42});
    GroupBox4 = Group(GroupBox3, "GroupBox4", "Slider Values", {8, 124, 200, 62});
    const struct {
        ArrowEdit** edit;
        const char* name;
        const char* label;
        int tag;
    } values[] = {
        {&FaderValue, "FaderValue", "Value", 8}, {&FaderMax, "FaderMax", "Max", 7}, {&FaderMin, "FaderMin", "Min", 6}};
    for (int i = 0; i < 3; ++i) {
        ArrowEdit* e = new ArrowEdit(QString::fromLatin1(values[i].name), 0, 127, GroupBox4);
        e->setGeometry(8 + 64 * i, 32, 60, 22);
        e->Edit->setGeometry(0, 0, 42, 22);
        e->Up->setGeometry(42, 0, 16, 11);
        e->Down->setGeometry(42, 11, 16, 11);
        e->Edit->setProperty("Tag", values[i].tag);
        TextLabel(GroupBox4, values[i].label, 8 + 64 * i, 16, 50);
        *values[i].edit = e;
    }
    FaderValue->Edit->setText(QStringLiteral("0"));
    FaderMax->Edit->setText(QStringLiteral("127"));
    FaderMin->Edit->setText(QStringLiteral("0"));
    TextLabel(GroupBox3, "Threshold", 216, 130, 70);
    FaderThreshold = new ArrowEdit(QStringLiteral("FaderThreshold"), 0, 63, GroupBox3);
    FaderThreshold->setGeometry(216, 146, 60, 22);
    FaderThreshold->Edit->setGeometry(0, 0, 42, 22);
    FaderThreshold->Up->setGeometry(42, 0, 16, 11);
    FaderThreshold->Down->setGeometry(42, 11, 16, 11);
    FaderOutMode = Named(new QCheckBox(QStringLiteral("Fader Mute"), GroupBox3), "FaderOutMode");
    FaderOutMode->setGeometry(282, 148, 88, 18);
    TextLabel(GroupBox3, "Master / Slave Mode", 8, 190, 160);
    MasterSlaveMode = List(GroupBox3, "MasterSlaveMode", {8, 204, 160, 21});
    FillList(MasterSlaveMode, MasterSlaveItems());
    TextLabel(GroupBox3, "Midi Mode", 8, 226);
    FaderMidiMode = List(GroupBox3, "FaderMidiMode", {8, 240, 356, 21});
    FillList(FaderMidiMode, MidiModeItems());
    FaderMidiMode->setContextMenuPolicy(Qt::CustomContextMenu);

    // ---- Active mode and preset --------------------------------------------------------
    GroupBox5 = Group(this, "GroupBox5", "Active Mode", {380, 56, 116, 92});
    modeGroup_ = new QButtonGroup(this);
    const char* modeNames[] = {"ModeImmediateButton", "ModeRelativeButton", "ModeCatchButton"};
    const char* modeLabels[] = {"Immediate", "Relative", "Catch"};
    QToolButton** modeButtons[] = {&ModeImmediateButton, &ModeRelativeButton, &ModeCatchButton};
    for (int m = 0; m < 3; ++m) {
        auto* b = Named(new QToolButton(GroupBox5), modeNames[m], m);
        b->setCheckable(true);
        b->setGeometry(8, 18 + 24 * m, 20, 20);
        modeGroup_->addButton(b, m);
        TextLabel(GroupBox5, modeLabels[m], 34, 21 + 24 * m, 70);
        *modeButtons[m] = b;
        connect(b, &QToolButton::clicked, this, [this, m] { ModeButtonClick(m); });
    }
    GroupBox12 = Group(this, "GroupBox12", "Preset", {380, 152, 116, 76});
    PrevPreset = Named(new QPushButton(QStringLiteral("<<"), GroupBox12), "PrevPreset");
    PrevPreset->setGeometry(8, 18, 48, 22);
    NextPreset = Named(new QPushButton(QStringLiteral(">>"), GroupBox12), "NextPreset");
    NextPreset->setGeometry(60, 18, 48, 22);
    NotesButton = Named(new QPushButton(QStringLiteral("Notes"), GroupBox12), "NotesButton");
    NotesButton->setGeometry(8, 46, 100, 22);
    connect(PrevPreset, &QPushButton::clicked, this, [this] { PrevPresetClick(); });
    connect(NextPreset, &QPushButton::clicked, this, [this] { NextPresetClick(); });
    connect(NotesButton, &QPushButton::clicked, this, [this] { NotesButtonClick(); });

    // ---- The window's own fader ---------------------------------------------------------
    GroupBox11 = Group(this, "GroupBox11", "Fader", {500, 56, 100, 266});
    PrevFader = Named(new QPushButton(QStringLiteral("<"), GroupBox11), "PrevFader");
    PrevFader->setGeometry(8, 18, 40, 22);
    NextFader = Named(new QPushButton(QStringLiteral(">"), GroupBox11), "NextFader");
    NextFader->setGeometry(52, 18, 40, 22);
    Fader = Named(new QScrollBar(Qt::Vertical, GroupBox11), "Fader");
    Fader->setGeometry(38, 46, 22, 150);
    Fader->setRange(0, 127);
    Fader->setSingleStep(5);
    Fader->setValue(127);
    Fader->setCursor(Qt::PointingHandCursor);
    Fader->setContextMenuPolicy(Qt::CustomContextMenu);
    FaderVal = LineEdit(GroupBox11, "FaderVal", {28, 200, 42, 21});
    FaderVal->setReadOnly(true);
    KeyOnOff = Named(new QPushButton(QStringLiteral("1"), GroupBox11), "KeyOnOff");
    KeyOnOff->setGeometry(28, 226, 42, 22);
    KeyLed = Named(new FaderLamp(GroupBox11), "KeyLed");
    KeyLed->setGeometry(43, 252, 12, 5);
    Timer1 = Named(new QTimer(this), "Timer1");
    Timer2 = Named(new QTimer(this), "Timer2");
    Timer1->setInterval(180);
    Timer2->setInterval(180);
    connect(Timer1, &QTimer::timeout, this, [this] { NextFaderClick(); });
    connect(Timer2, &QTimer::timeout, this, [this] { PrevFaderClick(); });
    connect(NextFader, &QPushButton::pressed, Timer1, qOverload<>(&QTimer::start));
    connect(NextFader, &QPushButton::released, Timer1, &QTimer::stop);
    connect(PrevFader, &QPushButton::pressed, Timer2, qOverload<>(&QTimer::start));
    connect(PrevFader, &QPushButton::released, Timer2, &QTimer::stop);
    connect(NextFader, &QPushButton::clicked, this, [this] { NextFaderClick(); });
    connect(PrevFader, &QPushButton::clicked, this, [this] { PrevFaderClick(); });
    connect(Fader, &QScrollBar::valueChanged, this, [this] { FaderChange(); });
    // Any mouse button presses the key.
    KeyOnOff->installEventFilter(this);

    // ---- Multi-fader selection ------------------------------------------------------------
    MultiGroupBox = Group(this, "MultiGroupBox", "Select", {604, 56, 157, 266});
    MultiGroupBox->setContextMenuPolicy(Qt::CustomContextMenu);
    MultiLabel = Named(TextLabel(MultiGroupBox, "Single", 8, 18, 66), "MultiLabel");
    MultiLabel2 = Named(TextLabel(MultiGroupBox, "Fader", 80, 18, 66), "MultiLabel2");
    for (QLabel* l : {MultiLabel, MultiLabel2}) {
        l->setAlignment(Qt::AlignCenter);
        SetBackground(l, Qt::white);
    }
    GroupBox13 = Group(MultiGroupBox, "GroupBox13", "", {4, 36, 149, 200});
    GroupBox13->setContextMenuPolicy(Qt::CustomContextMenu);
    for (int f = 0; f < kFaderCount; ++f) {
        const std::string name = "MultiselectButton" + std::to_string(f + 1);
        auto* b = Named(new QToolButton(GroupBox13), name.c_str(), f);
        b->setText(QString::number(f + 1));
        b->setCheckable(true);
        b->setGeometry(6 + 48 * (f / 8), 6 + 24 * (f % 8), 42, 21);
        connect(b, &QToolButton::toggled, this,
                [this, f](bool down) { model_.MultiselectButtonDown[size_t(f)] = down; });
        MultiselectButtons[size_t(f)] = b;
    }
    MultiCheckBox = Named(new QCheckBox(QStringLiteral("Multi"), MultiGroupBox), "MultiCheckBox");
    MultiCheckBox->setGeometry(8, 240, 100, 18);
    connect(MultiCheckBox, &QCheckBox::clicked, this, [this] { MultiCheckBoxClick(); });
    Timer3 = Named(new QTimer(this), "Timer3");
    Timer3->setInterval(400);
    connect(Timer3, &QTimer::timeout, this, [this] { Timer3Timer(); });

    // ---- Keys ---------------------------------------------------------------------------------
    // The key group holds Key On, Key Off and the switch mode; its own
    // popup opens on the strip beside the switch mode.
    GroupBox2 = Group(this, "GroupBox2", "", {4, 324, 757, 190});
    GroupBox2->setContextMenuPolicy(Qt::CustomContextMenu);
    GroupBox7 = Group(GroupBox2, "GroupBox7", "Key On", {4, 4, 372, 132});
    GroupBox8 = Group(GroupBox2, "GroupBox8", "Key Off", {380, 4, 372, 132});
    for (QGroupBox* g : {GroupBox7, GroupBox8}) g->setContextMenuPolicy(Qt::CustomContextMenu);
    KeyOnName = LineEdit(GroupBox7, "KeyOnName", {8, 18, 90, 21});
    KeyOffName = LineEdit(GroupBox8, "KeyOffName", {8, 18, 90, 21});
    KeyOnEvent = List(GroupBox7, "KeyOnEvent", {104, 18, 140, 21});
    KeyOffEvent = List(GroupBox8, "KeyOffEvent", {104, 18, 140, 21});
    for (QComboBox* c : {KeyOnEvent, KeyOffEvent}) {
        c->setFont(bold);
        for (const char* name : KeyEventNames) c->addItem(QString::fromLatin1(name));
    }
    KeyOnData1 = Named(TextLabel(GroupBox7, "", 8, 42, 176), "KeyOnData1");
    KeyOnData2 = Named(TextLabel(GroupBox7, "", 190, 42, 176), "KeyOnData2");
    KeyOffData1 = Named(TextLabel(GroupBox8, "", 8, 42, 176), "KeyOffData1");
    KeyOffData2 = Named(TextLabel(GroupBox8, "", 190, 42, 176), "KeyOffData2");
    KeyOnMidiData1 = List(GroupBox7, "KeyOnMidiData1", {8, 56, 176, 21}, 1);
    KeyOnMidiData2 = List(GroupBox7, "KeyOnMidiData2", {190, 56, 174, 21}, 4);
    KeyOffMidiData1 = List(GroupBox8, "KeyOffMidiData1", {8, 56, 176, 21}, 2);
    KeyOffMidiData2 = List(GroupBox8, "KeyOffMidiData2", {190, 56, 174, 21}, 5);
    GroupBox1 = Group(GroupBox7, "GroupBox1", "Midi Channel", {8, 80, 356, 42});
    GroupBox9 = Group(GroupBox8, "GroupBox9", "Midi Channel", {8, 80, 356, 42});
    TextLabel(GroupBox7, "Demute Value", 250, 2, 110);
    DemuteVal = List(GroupBox7, "DemuteVal", {250, 18, 114, 21});
    TextLabel(GroupBox8, "Mute Value", 250, 2, 110);
    MuteVal = List(GroupBox8, "MuteVal", {250, 18, 114, 21});
    FillList(DemuteVal, MuteValueItems());
    FillList(MuteVal, MuteValueItems());
    TextLabel(GroupBox2, "Switch Mode", 8, 152, 80);
    SwitchMode = List(GroupBox2, "SwitchMode", {90, 150, 156, 21});
    FillList(SwitchMode, SwitchModeItems());

    // Channel buttons of the three rows.
    QGroupBox* channelGroups[] = {GroupBox6, GroupBox1, GroupBox9};
    for (int r = 0; r < 3; ++r) {
        auto* group = new QButtonGroup(this);
        for (int c = 0; c < 16; ++c) {
            const int n = 16 * r + c;
            const std::string name = "SpeedButton" + std::to_string(n + 1);
            auto* b = Named(new QToolButton(channelGroups[r]), name.c_str(), c);
            b->setText(QString::number(c + 1));
            b->setCheckable(true);
            b->setGeometry(6 + 21 * c, 16, 21, 20);
            group->addButton(b);
            SpeedButtons[size_t(n)] = b;
            connect(b, &QToolButton::clicked, this, [this, r, c] {
                if (r == 0) SpeedButton1Click(c);
                if (r == 1) SpeedButton17Click(c);
                if (r == 2) SpeedButton33Click(c);
            });
        }
    }

    // ---- Strings -------------------------------------------------------------------------------
    // The event strings sit in the key group's bottom row; they are no key
    // parameters, so a right click there opens no key menu.
    GroupBox14 = Group(GroupBox2, "GroupBox14", "", {250, 138, 503, 48});
    GroupBox14->setContextMenuPolicy(Qt::PreventContextMenu);
    TextLabel(GroupBox14, "Fader String", 6, 2, 160);
    TextLabel(GroupBox14, "Key On String", 174, 2, 160);
    TextLabel(GroupBox14, "Key Off String", 342, 2, 160);
    FaderString = LineEdit(GroupBox14, "FaderString", {6, 18, 162, 22});
    KeyOnString = LineEdit(GroupBox14, "KeyOnString", {174, 18, 162, 22});
    KeyOffString = LineEdit(GroupBox14, "KeyOffString", {342, 18, 158, 22});

    // ---- The rows ---------------------------------------------------------------------------------
    const struct {
        QComboBox* event;
        QLabel *l1, *l2;
        QComboBox *d1, *d2;
        QGroupBox* group;
        QLineEdit* string;
    } rowControls[3] = {
        {FaderEvent, MidiData1, MidiData2, FaderMidiData1, FaderMidiData2, GroupBox6, FaderString},
        {KeyOnEvent, KeyOnData1, KeyOnData2, KeyOnMidiData1, KeyOnMidiData2, GroupBox1, KeyOnString},
        {KeyOffEvent, KeyOffData1, KeyOffData2, KeyOffMidiData1, KeyOffMidiData2, GroupBox9, KeyOffString},
    };
    for (int r = 0; r < 3; ++r) {
        auto* row = new EventRow(kRowFields[r], EventRowKind(r));
        const auto& c = rowControls[r];
        row->Event = c.event;
        row->Data1Label = c.l1;
        row->Data2Label = c.l2;
        row->Data1 = c.d1;
        row->Data2 = c.d2;
        row->ChannelGroup = c.group;
        row->firstButton = 16 * r;
        row->String = c.string;
        row->String->setFont(FixedFont(false));
        row->String->setVisible(false);
        rows_[size_t(r)] = row;
    }

    // ---- Change handlers ----------------------------------------------------------------------
    auto index = qOverload<int>(&QComboBox::currentIndexChanged);
    connect(FaderEvent, index, this, [this](int i) { EventChange(i); });
    connect(KeyOnEvent, index, this, [this](int i) { KeyOnChange(i); });
    connect(KeyOffEvent, index, this, [this](int i) { KeyOffChange(i); });
    for (int tag = 0; tag < 6; ++tag) {
        QComboBox* list = DataList(tag);
        connect(list, index, this, [this, tag](int i) { DataChange(tag, i); });
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this, [this, tag, list](const QPoint& pos) {
            bool isData1 = false;
            EventRow* row = RowOfTag(tag, isData1);
            const DataPopup popup = isData1 ? row->popup1 : row->popup2;
            if (pickers_ && popup != DataPopup::None)
                pickers_->DataListPopup(*this, tag, popup, list->mapToGlobal(pos));
        });
    }
    for (EventRow* row : rows_) {
        row->Event->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(row->Event, &QWidget::customContextMenuRequested, this, [this, row](const QPoint& pos) {
            if (pickers_) pickers_->EventListPopup(*this, row->kind, row->Event->mapToGlobal(pos));
        });
        row->Field = new ByteStringField(row->String, model_, StringKind::Event,
                                         [this, row](const EventStringEdit& e) { StoreString(*row, e); });
    }
    connect(FaderMidiMode, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (pickers_) pickers_->MidiModePopup(*this, FaderMidiMode->mapToGlobal(pos));
    });
    connect(FaderMidiMode, index, this, [this](int i) { FaderMidiModeChange(i); });
    connect(MasterSlaveMode, index, this, [this](int i) { MasterSlaveModeChange(i); });
    connect(SwitchMode, index, this, [this](int i) { SwitchModeChange(i); });
    connect(MuteVal, index, this, [this](int i) { MuteValChange(i); });
    connect(DemuteVal, index, this, [this](int i) { DemuteValChange(i); });
    connect(FaderOutMode, &QCheckBox::clicked, this, [this] { FaderOutModeClick(); });
    connect(FaderMin, &ArrowEdit::Committed, this, [this] { FaderMinChange(); });
    connect(FaderMax, &ArrowEdit::Committed, this, [this] { FaderMaxChange(); });
    connect(FaderValue, &ArrowEdit::Committed, this, [this] { FaderValueChange(); });
    connect(FaderThreshold, &ArrowEdit::Committed, this, [this] { FaderThresholdChange(); });
    connect(SliderName, &QLineEdit::textChanged, this, [this] { NameChange(SliderName, &DeviceModel::SetSliderName); });
    connect(KeyOnName, &QLineEdit::textChanged, this, [this] { NameChange(KeyOnName, &DeviceModel::SetKeyOnName); });
    connect(KeyOffName, &QLineEdit::textChanged, this, [this] { NameChange(KeyOffName, &DeviceModel::SetKeyOffName); });
}

QComboBox* TAllFaderP::DataList(int tag) const {
    switch (tag) {
        case 0: return FaderMidiData1;
        case 1: return KeyOnMidiData1;
        case 2: return KeyOffMidiData1;
        case 3: return FaderMidiData2;
        case 4: return KeyOnMidiData2;
        case 5: return KeyOffMidiData2;
        default: return nullptr;
    }
}

TAllFaderP::EventRow* TAllFaderP::RowOfTag(int tag, bool& isData1) {
    if (tag < 0 || tag > 5) return nullptr;
    isData1 = tag < 3;
    return rows_[size_t(tag % 3)];
}

QAction* TAllFaderP::Item(QMenu* menu, const char* name, const char* caption, std::function<void()> action) {
    // Captions are stored with "&&" for one ampersand, as menus show them.
    auto* a = Named(new QAction(QString::fromLatin1(caption), menu), name);
    menu->addAction(a);
    connect(a, &QAction::triggered, this, [action = std::move(action)] { action(); });
    return a;
}

void TAllFaderP::BuildMenus() {
    using M = DeviceModel;
    auto menu = [this](const char* name, QWidget* on) {
        auto* m = Named(new QMenu(this), name);
        if (on) {
            on->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(on, &QWidget::customContextMenuRequested, m,
                    [m, on](const QPoint& pos) { m->popup(on->mapToGlobal(pos)); });
        }
        return m;
    };
    FaderPopupMenu = menu("FaderPopupMenu", nullptr);
    for (QPushButton* b : FaderSelectList) {
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(b, &QWidget::customContextMenuRequested, FaderPopupMenu,
                [this, b](const QPoint& pos) { FaderPopupMenu->popup(b->mapToGlobal(pos)); });
    }
    SliderPopupMenu = menu("SliderPopupMenu", GroupBox3);
    KeyPopupMenu = menu("KeyPopupMenu", GroupBox2);
    KeyOnPopupMenu = menu("KeyOnPopupMenu", GroupBox7);
    KeyOffPopupMenu = menu("KeyOffPopupMenu", GroupBox8);
    FaderPopup = menu("FaderPopup", Fader);
    MultiSelectPopupMenu = menu("MultiSelectPopupMenu", MultiGroupBox);
    connect(GroupBox13, &QWidget::customContextMenuRequested, MultiSelectPopupMenu,
            [this](const QPoint& pos) { MultiSelectPopupMenu->popup(GroupBox13->mapToGlobal(pos)); });

    // A copy enables the paste items it feeds, here and in the menu window.
    // The returned handlers name the window explicitly: they outlive the
    // helper lambdas that made them.
    TAllFaderP* self = this;
    const auto copy = [self](void (M::*op)(int, int), bool popupFader, std::vector<QAction**> items,
                             std::vector<const char*> menuItems) {
        return [self, op, popupFader, items, menuItems] {
            DeviceModel& m = self->model_;
            (m.*op)(m.SelectedPreset, popupFader ? m.PopupFader : m.SelectedFader);
            for (QAction** a : items) (*a)->setEnabled(true);
            for (const char* name : menuItems) self->commands_.SetEnabled(name, true);
        };
    };
    const auto command = [self](void (M::*op)(int, int), bool popupFader) {
        return [self, op, popupFader] { self->FaderCommand(op, popupFader); };
    };
    const auto keys = [self](void (M::*on)(int, int), void (M::*off)(int, int)) {
        return [self, on, off] { self->KeyCommand(on, off); };
    };
    const struct {
        QMenu* menu;
        const char* name;
        const char* caption;
        std::function<void()> action;
        QAction** slot;  // paste items start disabled
    } items[] = {
        {FaderPopupMenu, "ShowParameters1", "Show Morvelant",
         [this] {
             SelectFader(model_.PopupFader);
             if (links_.ShowVirtualDevice) links_.ShowVirtualDevice();
         },
         nullptr},
        {FaderPopupMenu, "CopyFaderParameters1", "Copy Fader && Key Parameters",
         copy(&M::CopyFaderParameters, true, {&PasteFaderParameters1, &PasteSpecialFaderParameters1}, {}), nullptr},
        {FaderPopupMenu, "PasteFaderParameters1", "Paste Fader && Key Parameters",
         command(&M::PasteFaderParameters, true), &PasteFaderParameters1},
        {FaderPopupMenu, "PasteSpecialFaderParameters1", "Paste Special Fader && Key Parameters",
         command(&M::ExchangeFaderWithClipboard, true), &PasteSpecialFaderParameters1},
        {FaderPopupMenu, "InitFaderParameters1", "Init Fader && Key Parameters", command(&M::FactoryInitFader, true),
         nullptr},
        {FaderPopupMenu, "ClearFaderKeyParameters1", "Clear Fader && Key Parameters", command(&M::ClearFader, true),
         nullptr},
        {FaderPopupMenu, "InitFaderKeyParameterswithMidiControllers1",
         "Init Fader && Key Parameters with Midi Controllers", command(&M::MidiCtrlInitFader, true), nullptr},
        {FaderPopupMenu, "ReloadPreset1", "Reload Preset", [this] { ReloadPreset1Click(); }, nullptr},

        {SliderPopupMenu, "CopyFaderParameters2", "Copy Fader Parameters",
         copy(&M::CopyFaderEventParameters, false, {&PasteFaderParameters2, &PasteSpecialFaderParameters2},
              {"MainMenuPasteFader", "MainMenuPastewCFader"}),
         nullptr},
        {SliderPopupMenu, "PasteFaderParameters2", "Paste Fader Parameters",
         command(&M::PasteFaderEventParameters, false), &PasteFaderParameters2},
        {SliderPopupMenu, "PasteSpecialFaderParameters2", "Paste Special Fader Parameters",
         command(&M::ExchangeFaderEventWithClipboard, false), &PasteSpecialFaderParameters2},
        {SliderPopupMenu, "InitFaderParameters2", "Init Fader Parameters", command(&M::FactoryInitFaderEvent, false),
         nullptr},
        {SliderPopupMenu, "ClearFaderParameters1", "Clear Fader Parameters", command(&M::ClearFaderEvent, false),
         nullptr},
        {SliderPopupMenu, "InitFaderParameterswithMidiControllers1", "Init Fader Parameters with Midi Controllers",
         command(&M::MidiCtrlInitFaderEvent, false), nullptr},

        {KeyPopupMenu, "CopyKeyParameters1", "Copy Key Parameters",
         copy(&M::CopyKeyParameters, false,
              {&PasteKeyParameters1, &PasteSpecialKeyParameters1, &PasteKeyOnParameters1, &PasteKeyOffParameters1},
              {"MainMenuPasteKey", "MainMenuPastewCKey", "MainMenuPasteKeyOn", "MainMenuPasteKeyOff"}),
         nullptr},
        {KeyPopupMenu, "PasteKeyParameters1", "Paste Key Parameters", command(&M::PasteKeyParameters, false),
         &PasteKeyParameters1},
        {KeyPopupMenu, "PasteSpecialKeyParameters1", "Paste Special Key Parameters",
         command(&M::ExchangeKeyParametersWithClipboard, false), &PasteSpecialKeyParameters1},
        {KeyPopupMenu, "InitKeyParameters1", "Init Key Parameters", keys(&M::FactoryInitKeyOn, &M::FactoryInitKeyOff),
         nullptr},
        {KeyPopupMenu, "ClearKeyParameters1", "Clear Key Parameters", keys(&M::ClearKeyOn, &M::ClearKeyOff), nullptr},
        {KeyPopupMenu, "InitKeyParameterswithMidiControllers1", "Init Key Parameters with Midi Controllers",
         keys(&M::MidiCtrlInitKeyOn, &M::MidiCtrlInitKeyOff), nullptr},

        {KeyOnPopupMenu, "CopyKeyOnParameters1", "Copy KeyOn Parameters",
         copy(&M::CopyKeyOnParameters, false, {&PasteKeyOnParameters1, &PasteKeyOffParameters1},
              {"MainMenuPasteKeyOn", "MainMenuPasteKeyOff"}),
         nullptr},
        {KeyOnPopupMenu, "PasteKeyOnParameters1", "Paste KeyOn Parameters", command(&M::PasteKeyOnParameters, false),
         &PasteKeyOnParameters1},
        {KeyOnPopupMenu, "InitKeyOnParameters1", "Init KeyOn Parameters", command(&M::FactoryInitKeyOn, false),
         nullptr},
        {KeyOnPopupMenu, "ClearKeyOnParameters1", "Clear KeyOn Parameters", command(&M::ClearKeyOn, false), nullptr},
        {KeyOnPopupMenu, "InitKeyOnParameterswithMidiController1", "Init KeyOn Parameters with Midi Controller",
         command(&M::MidiCtrlInitKeyOn, false), nullptr},
        {KeyOffPopupMenu, "CopyKeyOffParameteres1", "Copy KeyOff Parameteres",
         copy(&M::CopyKeyOffParameters, false, {&PasteKeyOnParameters1, &PasteKeyOffParameters1},
              {"MainMenuPasteKeyOn", "MainMenuPasteKeyOff"}),
         nullptr},
        {KeyOffPopupMenu, "PasteKeyOffParameters1", "Paste KeyOff Parameters",
         command(&M::PasteKeyOffParameters, false), &PasteKeyOffParameters1},
        {KeyOffPopupMenu, "InitKeyOffParametes1", "Init KeyOff Parametes", command(&M::FactoryInitKeyOff, false),
         nullptr},
        {KeyOffPopupMenu, "ClearKeyOffParameters1", "Clear KeyOff Parameters", command(&M::ClearKeyOff, false),
         nullptr},
        {KeyOffPopupMenu, "InitKeyOffParameterswithMidiController1", "Init KeyOff Parameters with Midi Controller",
         command(&M::MidiCtrlInitKeyOff, false), nullptr},

        {FaderPopup, "SetValue1", "Set Value", [this] { SetValue1Click(); }, nullptr},
        {FaderPopup, "Snapshot1", "Snapshot", [this] { Snapshot1Click(); }, nullptr},
        {MultiSelectPopupMenu, "SelectAll1", "Select All", [this] { SelectAll1Click(); }, nullptr},
        {MultiSelectPopupMenu, "DeselectAll1", "Deselect All", [this] { DeselectAll1Click(); }, nullptr},
        {MultiSelectPopupMenu, "ToggleSelection1", "Toggle Selection", [this] { ToggleSelection1Click(); }, nullptr},
    };
    for (const auto& item : items) {
        QAction* a = Item(item.menu, item.name, item.caption, item.action);
        if (item.slot) {
            *item.slot = a;
            a->setEnabled(false);
        }
    }
}

void TAllFaderP::FaderCommand(void (DeviceModel::*op)(int, int), bool popupFader) {
    const int f = popupFader ? model_.PopupFader : model_.SelectedFader;
    if (!DeviceModel::ValidFader(f)) return;
    (model_.*op)(model_.SelectedPreset, f);
    SelectFader(f);
}

void TAllFaderP::KeyCommand(void (DeviceModel::*on)(int, int), void (DeviceModel::*off)(int, int)) {
    const int p = model_.SelectedPreset, f = model_.SelectedFader;
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    (model_.*on)(p, f);
    (model_.*off)(p, f);
    // "Toggle & Mute" for the selected fader alone, whatever multi-fader
    // editing marks.
    model_.Presets[size_t(p)].SwitchMode(f) = 1;
    SelectFader(f);
}

void TAllFaderP::RegisterCommands() {
    using M = DeviceModel;
    // The menu window's Edit items that this window carries out.
    const struct {
        const char* item;
        void (M::*op)(int, int);
    } faderOps[] = {
        {"MainMenuPasteFader", &M::PasteFaderEventParameters},
        {"MainMenuPastewCFader", &M::ExchangeFaderEventWithClipboard},
        {"MainMenuFactoryInitFader", &M::FactoryInitFaderEvent},
        {"MainMenuNoStatusFader", &M::ClearFaderEvent},
        {"MainMenuMidiCtrlFader", &M::MidiCtrlInitFaderEvent},
        {"MainMenuPasteKey", &M::PasteKeyParameters},
        {"MainMenuPastewCKey", &M::ExchangeKeyParametersWithClipboard},
        {"MainMenuPasteKeyOn", &M::PasteKeyOnParameters},
        {"MainMenuFactoryInitKeyOn", &M::FactoryInitKeyOn},
        {"MainMenuNoStatusKeyOn", &M::ClearKeyOn},
        {"MainMenuMidiCtrlKeyOn", &M::MidiCtrlInitKeyOn},
        {"MainMenuPasteKeyOff", &M::PasteKeyOffParameters},
        {"MainMenuFactoryInitKeyOff", &M::FactoryInitKeyOff},
        {"MainMenuNoStatusKeyOff", &M::ClearKeyOff},
        {"MainMenuMidiCtrlKeyOff", &M::MidiCtrlInitKeyOff},
    };
    const auto add = [this](const char* item, CommandRegistry::Handler handler) {
        commands_.Register(item, std::move(handler));
        registered_.emplace_back(item);
    };
    for (const auto& op : faderOps) add(op.item, [this, o = op.op] { FaderCommand(o, false); });
    add("MainMenuFactoryInitKey", [this] { KeyCommand(&M::FactoryInitKeyOn, &M::FactoryInitKeyOff); });
    add("MainMenuNoStatusKey", [this] { KeyCommand(&M::ClearKeyOn, &M::ClearKeyOff); });
    add("MainMenuMidiCtrlKey", [this] { KeyCommand(&M::MidiCtrlInitKeyOn, &M::MidiCtrlInitKeyOff); });
    const struct {
        const char* item;
        const char* action;
    } copies[] = {{"MainMenuCopyFader", "CopyFaderParameters2"},
                  {"MainMenuCopyKey", "CopyKeyParameters1"},
                  {"MainMenuCopyKeyOn", "CopyKeyOnParameters1"},
                  {"MainMenuCopyKeyOff", "CopyKeyOffParameteres1"}};
    for (const auto& c : copies)
        add(c.item, [this, name = QString::fromLatin1(c.action)] {
            if (auto* a = findChild<QAction*>(name)) a->trigger();
        });
    add("MainMenuSnapShot", [this] { Snapshot1Click(); });
    add("MainMenuReloadPreset", [this] { ReloadPreset1Click(); });
    add("MainMenuNextPreset", [this] { NextPresetClick(); });
    add("MainMenuPreviousPreset", [this] { PrevPresetClick(); });
}

void TAllFaderP::Subscribe() {
    const auto refresh = [this] { ShowParameters(model_.SelectedFader, model_.SelectedPreset); };
    subscriptions_[0] = notifications_.CurrentPresetChanged.Subscribe(refresh);
    subscriptions_[1] = notifications_.CurrentFaderChanged.Subscribe([this, refresh](int, int) {
        PaintSelectLamps();
        if (DeviceModel::ValidFader(model_.SelectedFader))
            KeyLed->SetBright(model_.KeyStates[size_t(model_.SelectedFader)].LampOn);
        refresh();
    });
    subscriptions_[2] = notifications_.PresetDataChanged.Subscribe([this, refresh](int slot) {
        if (slot == -1 || slot == model_.SelectedPreset) refresh();
    });
    subscriptions_[3] = notifications_.ParameterFaderPosition.Subscribe([this](int position) {
        DeviceModel::UpdatingGuard guard(model_);
        Fader->setValue(std::clamp(position, 0, 127));
    });
    subscriptions_[4] =
        notifications_.ParameterFaderValue.Subscribe([this](int value) { FaderVal->setText(QString::number(value)); });
    subscriptions_[5] = notifications_.KeyLamp.Subscribe([this](int key, bool on) {
        if (key == model_.SelectedFader) KeyLed->SetBright(on);
    });
}

// ---- Display ----------------------------------------------------------------------------------

void TAllFaderP::FillDataList(QComboBox* list, DataItems items, int& shown) {
    if (shown == int(items)) return;
    shown = int(items);
    // The six data lists share one item model per name list, so a change of
    // layout swaps models instead of refilling 129 items.
    QStringListModel*& names = nameModels_[size_t(items)];
    if (!names) {
        const NameList* source = &model_.NumberNames;
        if (items == DataItems::Controllers) source = &model_.ControllerNames;
        if (items == DataItems::Notes) source = &model_.NoteNames;
        if (items == DataItems::TrackNumbers) source = &model_.TrackNumberNames;
        QStringList texts;
        for (const auto& n : *source) texts << FromCp1252(n);
        names = new QStringListModel(texts, this);
    }
    DeviceModel::UpdatingGuard guard(model_);
    list->setModel(names);
}

namespace {

void ApplyData(QLabel* label, QComboBox* list, const DataLayout& d) {
    label->setText(QString::fromLatin1(d.caption));
    label->setVisible(d.visible);
    list->setVisible(d.visible);
}

}  // namespace

void TAllFaderP::LayoutFaderRow(int index) {
    const FaderRowLayout* l = FaderRowLayoutOf(index);
    if (!l) return;
    EventRow& row = *rows_[0];
    ApplyData(row.Data1Label, row.Data1, l->data1);
    ApplyData(row.Data2Label, row.Data2, l->data2);
    FillDataList(row.Data1, l->data1.items, row.shown1);
    FillDataList(row.Data2, l->data2.items, row.shown2);
    row.popup1 = l->data1.visible ? l->data1.popup : DataPopup::None;
    row.popup2 = l->data2.visible ? l->data2.popup : DataPopup::None;
    GroupBox6->setTitle(QString::fromLatin1(l->channelCaption));
    GroupBox6->setVisible(l->channel == ChannelGroup::Shown);
    if (l->upperChannels != UpperChannels::Unchanged)
        for (int b = 8; b < 16; ++b) SpeedButtons[size_t(b)]->setVisible(l->upperChannels == UpperChannels::Shown);
    row.String->setVisible(l->stringField);
}

void TAllFaderP::LayoutKeyRow(EventRow& row, int index) {
    const KeyRowLayout* l = KeyRowLayoutOf(index);
    if (!l) return;
    ApplyData(row.Data1Label, row.Data1, l->data1);
    ApplyData(row.Data2Label, row.Data2, l->data2);
    FillDataList(row.Data1, l->data1.items, row.shown1);
    FillDataList(row.Data2, l->data2.items, row.shown2);
    row.popup1 = l->data1.visible ? l->data1.popup : DataPopup::None;
    row.popup2 = l->data2.visible ? l->data2.popup : DataPopup::None;
    row.ChannelGroup->setVisible(l->channel);
    row.String->setVisible(l->stringField);
}

void TAllFaderP::ShowRowData(EventRow& row, int32_t mask) {
    const MP& m = Preset();
    const int f = model_.SelectedFader;
    DeviceModel::UpdatingGuard guard(model_);
    row.Data1->setCurrentIndex(ListIndexOf(m.FaderArray(row.data1Array, f) & mask, row.Data1->count()));
    row.Data2->setCurrentIndex(ListIndexOf(m.FaderArray(row.data2Array, f), row.Data2->count()));
}

void TAllFaderP::ShowChannel(EventRow& row, int channel) {
    SpeedButtons[size_t(row.firstButton + (channel & 0x0F))]->setChecked(true);
}

void TAllFaderP::ShowParameters(int f, int p) {
    if (!DeviceModel::ValidFader(f) || !DeviceModel::ValidPreset(p)) return;
    const MP& m = model_.Presets[size_t(p)];
    const std::string preset = "(Preset " + std::to_string(p + 1) + ")  " + model_.GetPresetDeviceName(p);
    SetCaption(preset);
    if (links_.SetVirtualDeviceCaption) links_.SetVirtualDeviceCaption("Virtual Morvelant           " + preset);
    KeyOnOff->setText(QString::number(f + 1));
    {
        DeviceModel::UpdatingGuard guard(model_);
        SliderName->setText(FromCp1252(m.SliderName[size_t(f)]));
        KeyOnName->setText(FromCp1252(m.KeyOnName[size_t(f)]));
        KeyOffName->setText(FromCp1252(m.KeyOffName[size_t(f)]));
        SwitchMode->setCurrentIndex(ListIndexOf(m.SwitchMode(f), SwitchMode->count()));
        MuteVal->setCurrentIndex(ListIndexOf(m.MuteVal(f), MuteVal->count()));
        DemuteVal->setCurrentIndex(ListIndexOf(m.DemuteVal(f), DemuteVal->count()));
        MasterSlaveMode->setCurrentIndex(ListIndexOf(m.MasterSlaveMode(f), MasterSlaveMode->count()));
        FaderOutMode->setChecked(m.FaderOutMode(f) == 1);
        FaderMin->Edit->setText(QString::number(m.FaderMin(f)));
        FaderMax->Edit->setText(QString::number(m.FaderMax(f)));
        FaderValue->Edit->setText(QString::number(m.FaderValue(f)));
        FaderVal->setText(QString::number(m.FaderValue(f)));
    }
    // Key On and Key Off rows.
    for (EventRow* row : {rows_[1], rows_[2]}) {
        const int i = KeyEventIndex(m.FaderArray(row->statusArray, f));
        {
            DeviceModel::UpdatingGuard guard(model_);
            row->Event->setCurrentIndex(i);
        }
        LayoutKeyRow(*row, i);
        if (i == kKeyStringEvent) {
            DeviceModel::UpdatingGuard guard(model_);
            row->String->setText(FromCp1252((m.*(row->strings))[size_t(f)]));
        }
        ShowRowData(*row, 0xFF'FF'FF'FF);
    }
    // Fader row.
    EventRow& fader = *rows_[0];
    const int i = FaderEventIndex(m.FaderStatus(f));
    {
        DeviceModel::UpdatingGuard guard(model_);
        FaderEvent->setCurrentIndex(i);
    }
    LayoutFaderRow(i);
    if (i == kFaderStringEvent) {
        DeviceModel::UpdatingGuard guard(model_);
        FaderString->setText(FromCp1252(m.FaderString[size_t(f)]));
    }
    ShowRowData(fader, TrackDataMask(i));
    {
        DeviceModel::UpdatingGuard guard(model_);
        FaderMidiMode->setCurrentIndex(MidiModeItemOfStored(m.FaderMidiMode(f)));
        FaderThreshold->Edit->setText(QString::number(m.FaderThreshold(f)));
    }
    const int a = m.ActiveMode(f) & 0x0F;
    (a == 0 ? ModeImmediateButton : a == 1 ? ModeRelativeButton : ModeCatchButton)->setChecked(true);
    ShowChannel(fader, m.FaderStatus(f));
    ShowChannel(*rows_[1], m.KeyOnStatus(f));
    ShowChannel(*rows_[2], m.KeyOffStatus(f));
}

void TAllFaderP::PaintSelectLamps() {
    for (int f = 0; f < kFaderCount; ++f) FaderSelectLedList[size_t(f)]->SetBright(model_.FaderSelected[size_t(f)]);
}

void TAllFaderP::SelectFader(int f) { morvelant::SelectFader(engine_, f); }

// ---- Event and data editing ----------------------------------------------------------------------

void TAllFaderP::EventChange(int index) {
    if (model_.Updating || !FaderRowLayoutOf(index)) return;
    const int p = model_.SelectedPreset, f = model_.SelectedFader;
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    EventRow& row = *rows_[0];
    model_.SetFaderEvent(p, f, FaderEventCodes[size_t(index)]);
    const int channel = Preset().FaderStatus(f) & 0x0F;
    if (index != kFaderStringEvent) {
        {
            DeviceModel::UpdatingGuard guard(model_);
            FaderString->clear();
        }
        model_.SetFaderString(p, f, "");
    }
    LayoutFaderRow(index);
    if (index == kFaderStringEvent) {
        {
            DeviceModel::UpdatingGuard guard(model_);
            FaderString->setText(FromCp1252(Preset().FaderString[size_t(f)]));
        }
        StringChange(row);  // the stored text, rebuilt and stored once
    }
    ShowChannel(row, channel);
    ShowRowData(row, TrackDataMask(index));
}

void TAllFaderP::KeyOnChange(int index) { KeyEventChange(*rows_[1], index); }
void TAllFaderP::KeyOffChange(int index) { KeyEventChange(*rows_[2], index); }

void TAllFaderP::KeyEventChange(EventRow& row, int index) {
    if (model_.Updating || !KeyRowLayoutOf(index)) return;
    const int p = model_.SelectedPreset, f = model_.SelectedFader;
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    (model_.*row.setEvent)(p, f, KeyEventCodes[size_t(index)]);
    if (index != kKeyStringEvent) {
        {
            DeviceModel::UpdatingGuard guard(model_);
            row.String->clear();
        }
        (model_.*row.setString)(p, f, "");
    }
    LayoutKeyRow(row, index);
    if (index == kKeyStringEvent) {
        {
            DeviceModel::UpdatingGuard guard(model_);
            row.String->setText(FromCp1252((Preset().*(row.strings))[size_t(f)]));
        }
        StringChange(row);
    }
    ShowRowData(row, 0xFF'FF'FF'FF);
}

void TAllFaderP::SpeedButton1Click(int c) {
    model_.SetFaderMidiChannel(model_.SelectedPreset, model_.SelectedFader, c);
}
void TAllFaderP::SpeedButton17Click(int c) {
    model_.SetKeyOnMidiChannel(model_.SelectedPreset, model_.SelectedFader, c);
}
void TAllFaderP::SpeedButton33Click(int c) {
    model_.SetKeyOffMidiChannel(model_.SelectedPreset, model_.SelectedFader, c);
}

bool TAllFaderP::RowShowsString(const EventRow& row) const { return row.Event->currentIndex() == row.stringEvent; }

void TAllFaderP::DataChange(int tag, int index) {
    if (model_.Updating || index < 0) return;
    bool isData1 = false;
    EventRow* row = RowOfTag(tag, isData1);
    if (!row) return;
    const int p = model_.SelectedPreset, f = model_.SelectedFader;
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    if (!isData1) {
        (model_.*row->setData2)(p, f, index);
        return;
    }
    (model_.*row->setData1)(p, f, index);
    if (!RowShowsString(*row)) return;
    // The placeholder moves to the chosen byte.
    const auto moved = MovePlaceholder((Preset().*(row->strings))[size_t(f)], ToCp1252(row->String->text()), index);
    if (!moved) return;
    {
        DeviceModel::UpdatingGuard guard(model_);
        row->String->setText(FromCp1252(*moved));
    }
    StringChange(*row);
}

void TAllFaderP::ShowDataIndex(int tag, int index) {
    if (QComboBox* list = DataList(tag)) {
        DeviceModel::UpdatingGuard guard(model_);
        list->setCurrentIndex(ListIndexOf(index, list->count()));
    }
}

void TAllFaderP::ShowEventIndex(EventRowKind kind, int index) {
    QComboBox* list = rows_[size_t(kind)]->Event;
    DeviceModel::UpdatingGuard guard(model_);
    list->setCurrentIndex(ListIndexOf(index, list->count()));
}

void TAllFaderP::StringChange(EventRow& row) { row.Field->Change(); }

void TAllFaderP::StoreString(EventRow& row, const EventStringEdit& e) {
    const int p = model_.SelectedPreset, f = model_.SelectedFader;
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    {
        DeviceModel::UpdatingGuard guard(model_);
        row.Data1->setCurrentIndex(ListIndexOf(e.data1, row.Data1->count()));
    }
    (model_.*row.setData1)(p, f, e.data1);
    (model_.*row.setString)(p, f, e.text);
}

// ---- Range, modes and values ------------------------------------------------------------------------

void TAllFaderP::FaderMinChange() { RangeChange(true); }
void TAllFaderP::FaderMaxChange() { RangeChange(false); }

void TAllFaderP::RangeChange(bool isMin) {
    if (model_.Updating) return;
    const int p = model_.SelectedPreset, f = model_.SelectedFader;
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    ArrowEdit* edit = isMin ? FaderMin : FaderMax;
    // Text that is no number changes nothing: the field shows the bound again.
    int value = isMin ? Preset().FaderMin(f) : Preset().FaderMax(f);
    const bool typed = WholeNumber(edit->Edit->text(), value);
    value = std::clamp(value, 0, 127);
    edit->Show(QString::number(value));
    if (!typed) return;
    if (isMin)
        model_.SetFaderMin(p, f, value);
    else
        model_.SetFaderMax(p, f, value);
    // Every written fader keeps its own start value, pulled into its range.
    PullFaderValuesIntoRange(model_, p, f);
    {
        DeviceModel::UpdatingGuard guard(model_);
        FaderValue->Edit->setText(QString::number(Preset().FaderValue(f)));
    }
    LiveStateAfterRangeChange();
}

void TAllFaderP::ResetSelectedLiveState() {
    const int f = model_.SelectedFader;
    FaderState& state = model_.FaderStates[size_t(f)];
    Reset(engine_, state, f);
    ShowValue(engine_, state);
}

void TAllFaderP::LiveStateAfterRangeChange() {
    if (model_.VirtualMotorFaders) {
        ResetSelectedLiveState();
        return;
    }
    FaderState& state = model_.FaderStates[size_t(model_.SelectedFader)];
    ScaleToRange(engine_, state, Fader->value());
    FaderVal->setText(QString::number(state.Value));
}

void TAllFaderP::FaderValueChange() {
    if (model_.Updating) return;
    const int p = model_.SelectedPreset, f = model_.SelectedFader;
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    int v = 0;
    if (!WholeNumber(FaderValue->Edit->text(), v)) {
        // Text that is no number (an empty field too): the stored value comes back.
        FaderValue->Show(QString::number(Preset().FaderValue(f)));
        return;
    }
    v = model_.SetFaderValue(p, f, v);
    FaderValue->Show(QString::number(v));
    if (model_.VirtualMotorFaders) ResetSelectedLiveState();
}

void TAllFaderP::FaderThresholdChange() {
    if (model_.Updating) return;
    const int p = model_.SelectedPreset, f = model_.SelectedFader;
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    int v = Preset().FaderThreshold(f);
    const bool typed = WholeNumber(FaderThreshold->Edit->text(), v);
    // Clamped to what the field's arrows reach; no number: the stored one comes back.
    if (typed) v = std::clamp(v, 0, 63);
    FaderThreshold->Show(QString::number(v));
    if (typed) model_.SetFaderThreshold(p, f, v);
}

void TAllFaderP::ModeButtonClick(int mode) { model_.SetFaderMode(model_.SelectedPreset, model_.SelectedFader, mode); }

void TAllFaderP::FaderMidiModeChange(int item) {
    if (model_.Updating || item < 0 || item >= kMidiModeItemCount) return;
    model_.SetFaderMidiMode(model_.SelectedPreset, model_.SelectedFader, MidiModeValueOfItem(item));
}

void TAllFaderP::MasterSlaveModeChange(int index) {
    if (model_.Updating || index < 0) return;
    model_.SetMasterSlaveMode(model_.SelectedPreset, model_.SelectedFader, index);
}

void TAllFaderP::FaderOutModeClick() {
    if (model_.Updating) return;
    const int f = model_.SelectedFader;
    if (!DeviceModel::ValidFader(f)) return;
    model_.SetFaderOutMode(model_.SelectedPreset, f, FaderOutMode->isChecked());
    if (model_.VirtualMotorFaders) {
        ResetSelectedLiveState();
        Reset(engine_, model_.KeyStates[size_t(f)], f);
    }
}

void TAllFaderP::SwitchModeChange(int index) {
    if (model_.Updating || index < 0) return;
    model_.SetSwitchMode(model_.SelectedPreset, model_.SelectedFader, index);
}

void TAllFaderP::MuteValChange(int index) {
    if (model_.Updating || index < 0) return;
    model_.SetMuteVal(model_.SelectedPreset, model_.SelectedFader, index);
}

void TAllFaderP::DemuteValChange(int index) {
    if (model_.Updating || index < 0) return;
    model_.SetDemuteVal(model_.SelectedPreset, model_.SelectedFader, index);
}

// ---- Navigation, names and selection ------------------------------------------------------------------

void TAllFaderP::NameChange(QLineEdit* edit, void (DeviceModel::*setter)(int, int, const std::string&)) {
    if (model_.Updating) return;
    const StorableText typed = ToStorable(edit->text(), edit->cursorPosition());
    const FilteredName e = FilterSlotName(typed.bytes, typed.caret, NameKind::Fader);
    {
        DeviceModel::UpdatingGuard guard(model_);
        const QString text = FromCp1252(e.name);
        if (edit->text() != text) edit->setText(text);
        edit->setCursorPosition(e.caret);
    }
    SayNameNotStored(edit, typed.refused, e.dropped,
                     QStringLiteral("A fader or key name keeps 8 characters from the blank to z: no letters with "
                                    "accents, no { | } ~."));
    (model_.*setter)(model_.SelectedPreset, model_.SelectedFader, e.name);
}

void TAllFaderP::FaderSelect1MouseDown(int tag, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    if (!DeviceModel::ValidFader(tag)) return;
    model_.PopupFader = tag;
    if (button != Qt::LeftButton) return;
    dragGesture_.Release();
    if (!MultiCheckBox->isChecked()) {
        model_.FaderDragSwap = modifiers.testFlag(Qt::ShiftModifier);
        dragGesture_.Offer(tag);
    }
    SelectFader(tag);
}

void TAllFaderP::FaderSelect1KeyUp(int tag, int key) {
    if (!DeviceModel::ValidFader(tag) || (key != Qt::Key_Return && key != Qt::Key_Enter)) return;
    model_.PopupFader = tag;
    SelectFader(tag);
}

void TAllFaderP::FaderSelect1DragDrop(int a, int b) {
    if (!DeviceModel::ValidFader(a) || !DeviceModel::ValidFader(b)) return;
    const int p = model_.SelectedPreset;
    if (model_.FaderDragSwap) {
        model_.CopyFaderParameters(p, b);
        model_.CopyFaderParametersTo(p, a, b, p);
        model_.PasteFaderParameters(p, a);
    } else {
        model_.CopyFaderParametersTo(p, a, b, p);
    }
    SelectFader(a);
    SelectFader(b);
}

void TAllFaderP::PrevFaderClick() {
    if (model_.SelectedFader > 0) SelectFader(model_.SelectedFader - 1);
}

void TAllFaderP::NextFaderClick() {
    if (model_.SelectedFader < kFaderCount - 1) SelectFader(model_.SelectedFader + 1);
}

void TAllFaderP::PrevPresetClick() {
    if (model_.SelectedPreset <= 0) return;
    --model_.SelectedPreset;
    ShowCurrentPreset(engine_, true);
}

void TAllFaderP::NextPresetClick() {
    if (model_.SelectedPreset >= kDeviceSlots - 1) return;
    ++model_.SelectedPreset;
    ShowCurrentPreset(engine_, true);
}

void TAllFaderP::NotesButtonClick() {
    if (links_.ToggleNotes) links_.ToggleNotes();
}

void TAllFaderP::FaderChange() {
    if (model_.Updating) return;
    const int p = model_.SelectedPreset, f = model_.SelectedFader;
    if (!DeviceModel::ValidFader(f)) return;
    FaderMoved(engine_, model_.FaderStates[size_t(f)], Fader->value(), true);
    if (links_.ShowStatusBars) links_.ShowStatusBars(p, f);
}

void TAllFaderP::KeyOnOffMouseDown() {
    if (!model_.Updating && DeviceModel::ValidFader(model_.SelectedFader))
        KeyDown(engine_, model_.KeyStates[size_t(model_.SelectedFader)]);
}

void TAllFaderP::KeyOnOffMouseUp() {
    if (!model_.Updating && DeviceModel::ValidFader(model_.SelectedFader))
        KeyUp(engine_, model_.KeyStates[size_t(model_.SelectedFader)]);
}

void TAllFaderP::wheelEvent(QWheelEvent* event) {
    WheelSteps(*event);
    event->ignore();
}

void TAllFaderP::WheelSteps(const QWheelEvent& event) {
    const int angle = event.angleDelta().y();
    if (angle == 0) return;
    // A touchpad sends a notch in parts: they add up. A turn back starts anew.
    if ((angle > 0) != (wheelAngle_ > 0)) wheelAngle_ = 0;
    wheelAngle_ += angle;
    const int steps = wheelAngle_ / 120;
    wheelAngle_ -= steps * 120;
    // Up is towards the fader's top, position 0, by the window's step of 5.
    for (int i = 0; i < std::abs(steps); ++i)
        Fader->triggerAction(steps > 0 ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
}

// ---- Drag and drop -------------------------------------------------------------------------------------

void TAllFaderP::StartFaderDrag(int tag) { RunFaderDrag(FaderSelectList[size_t(tag)], tag, model_.FaderDragSwap); }

bool TAllFaderP::eventFilter(QObject* watched, QEvent* event) {
    const int tag = TagOf(watched);
    const bool isSelect = DeviceModel::ValidFader(tag) && watched == FaderSelectList[size_t(tag)];
    if (watched == KeyOnOff && event->type() == QEvent::MouseButtonPress) KeyOnOffMouseDown();
    if (watched == KeyOnOff && event->type() == QEvent::MouseButtonRelease) KeyOnOffMouseUp();
    switch (event->type()) {
        case QEvent::Wheel:
            // The wheel moves the window's fader wherever the pointer is; a
            // closed list under it keeps its value, and the fader's own bar
            // steps by the window's step, not its scrolling step.
            if (qobject_cast<QComboBox*>(watched) || watched == Fader) {
                WheelSteps(*static_cast<QWheelEvent*>(event));
                return true;
            }
            break;
        case QEvent::KeyRelease:
            if (isSelect) FaderSelect1KeyUp(tag, static_cast<QKeyEvent*>(event)->key());
            break;
        case QEvent::MouseButtonPress:
            if (isSelect) {
                auto* me = static_cast<QMouseEvent*>(event);
                FaderSelect1MouseDown(tag, me->button(), me->modifiers());
                dragGesture_.Press(me);
            }
            break;
        case QEvent::MouseButtonRelease:
            if (isSelect) dragGesture_.Release();
            break;
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
                return TakeFaderDrop(event, kFaderCount, [&](int source) { FaderSelect1DragDrop(source, tag); });
            break;
        default: break;
    }
    return TForm::eventFilter(watched, event);
}

// ---- Clipboard and init ---------------------------------------------------------------------------------

void TAllFaderP::Snapshot1Click() {
    const int p = model_.SelectedPreset, f = model_.SelectedFader;
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return;
    TakeSnapshot(engine_, p);
    DeviceModel::UpdatingGuard guard(model_);
    FaderOutMode->setChecked(Preset().FaderOutMode(f) == 1);
    FaderValue->Edit->setText(QString::number(Preset().FaderValue(f)));
}

void TAllFaderP::ReloadPreset1Click() {
    ReloadLiveState(engine_);
    if (DeviceModel::ValidFader(model_.SelectedFader))
        FaderVal->setText(QString::number(model_.FaderStates[size_t(model_.SelectedFader)].Value));
}

void TAllFaderP::SetValue1Click() { FaderValue->Edit->setText(FaderVal->text()); }

// ---- Multi-fader editing --------------------------------------------------------------------------------

void TAllFaderP::MultiCheckBoxClick() {
    const bool on = MultiCheckBox->isChecked();
    model_.MultiCheckBoxChecked = on;
    if (on) {
        Timer3->start();
        MultiLabel->setText(QStringLiteral("Multi"));
        MultiLabel2->setText(QStringLiteral("Faders"));
        SetBackground(GroupBox10, palette().color(QPalette::Highlight));
        return;
    }
    Timer3->stop();
    for (QLabel* l : {MultiLabel, MultiLabel2}) SetBackground(l, Qt::white);
    MultiLabel->setText(QStringLiteral("Single"));
    MultiLabel2->setText(QStringLiteral("Fader"));
    SetBackground(GroupBox10, palette().color(QPalette::Button));
    SelectFader(model_.SelectedFader);
}

void TAllFaderP::Timer3Timer() {
    const QColor color = blink_ ? QColor(Qt::red) : QColor(Qt::yellow);
    blink_ = !blink_;
    for (QLabel* l : {MultiLabel, MultiLabel2}) SetBackground(l, color);
}

void TAllFaderP::SelectAll1Click() {
    for (QToolButton* b : MultiselectButtons) b->setChecked(true);
}

void TAllFaderP::DeselectAll1Click() {
    for (QToolButton* b : MultiselectButtons) b->setChecked(false);
}

void TAllFaderP::ToggleSelection1Click() {
    for (QToolButton* b : MultiselectButtons) b->setChecked(!b->isChecked());
}

// ---- Configuration and window events ------------------------------------------------------------------

std::string TAllFaderP::ConfigFile() const { return ConfigFileIn(model_.ProgramPath); }

void TAllFaderP::ReadConfig() {
    const TIniFile ini(ConfigFile());
    model_.ShowFaderParametersForm = ini.ReadBool(kSection, "Show Fader Parameters Form", false);
    ReadFixedFormBounds(ini, kSection, {61, 57, 773, 548}, *this, savedWidth_, savedHeight_);
}

void TAllFaderP::WriteConfig() {
    TIniFile ini(ConfigFile());
    ini.WriteBool(kSection, "Show Fader Parameters Form", model_.ShowFaderParametersForm);
    WriteFixedFormBounds(ini, kSection, *this, savedWidth_, savedHeight_);
}

void TAllFaderP::FormShow() {
    commands_.SetChecked("MainFormWindowsFaderParameters", true);
    model_.ShowFaderParametersForm = true;
}

void TAllFaderP::FormClose(TCloseAction&) {
    commands_.SetChecked("MainFormWindowsFaderParameters", false);
    model_.ShowFaderParametersForm = false;
}

}  // namespace morvelant
