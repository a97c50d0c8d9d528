#include "patterns/EventEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <tuple>
#include <utility>

#include "model/NameLists.h"
#include "model/PatternSteps.h"
#include "model/TrackSettings.h"
#include "patterns/EventEditRules.h"
#include "patterns/RunModes.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/QtFormFrame.h"
#include "platform/QtText.h"

namespace morvelant {

TEventEditForm* EventEditForm = nullptr;

namespace {

constexpr const char* kSection = "Event Edit Form";
constexpr std::array<TColor, kTrackCount> kDefaultTrackColors = {255,      65280,    65535, 16711680,
                                                                 16711935, 16776960, 128,   8421376};
// By ViewColor: background, vertical grid, beat, bar, horizontal grid, header.
constexpr std::array<TColor, 6> kDefaultViewColors = {8421504, 12632256, 0, 255, 12632256, 8421504};
constexpr const char* kViewColorKeys[6] = {"eventbackgroundColor", "VgridlineColor", "beatlineColor",
                                           "barlineColor",         "HgridlineColor", "headerbackgroundColor"};
// The order in which the colours are written.
constexpr int kViewColorWriteOrder[6] = {TEventEditForm::vcBackground,     TEventEditForm::vcHeader,
                                         TEventEditForm::vcHorizontalGrid, TEventEditForm::vcVerticalGrid,
                                         TEventEditForm::vcBeat,           TEventEditForm::vcBar};

// A scroll bar moves at every frame of a scroll. When the style paints each
// of its pixels it is marked opaque, so Qt does not paint the frame behind
// it each time too; a style that leaves any pixel see-through keeps it as is.
void MarkOpaqueIfPaintedWhole(QScrollBar* bar) {
    if (bar->style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, bar)) return;
    QImage probe(bar->size(), QImage::Format_ARGB32_Premultiplied);
    probe.fill(Qt::transparent);
    bar->render(&probe, QPoint(), QRegion(), QWidget::RenderFlags());
    for (int y = 0; y < probe.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(probe.constScanLine(y));
        if (std::any_of(line, line + probe.width(), [](QRgb px) { return qAlpha(px) != 255; })) return;
    }
    bar->setAttribute(Qt::WA_OpaquePaintEvent);
}

void SetBackground(QWidget* w, TColor color) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, ToQColor(color));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QColor Q(TColor c) { return ToQColor(c); }

void Place(QWidget* w, const Box& b) { w->setGeometry(b.left, b.top, std::max(1, b.width), std::max(1, b.height)); }

// A pencil, tip at the bottom left, drawn for the editable places.
QCursor PencilCursor() {
    static const QCursor cursor = [] {
        QPixmap pm(32, 32);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(2, 29);
        p.rotate(-45);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(250, 210, 60));
        p.drawRect(QRectF(7, -3, 18, 6));
        p.setBrush(QColor(240, 150, 150));
        p.drawRect(QRectF(25, -3, 4, 6));
        p.setBrush(QColor(230, 200, 160));
        p.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(7, -3), QPointF(7, 3)}));
        return QCursor(pm, 2, 29);
    }();
    return cursor;
}

QCursor CursorFor(NoteCursor c) {
    switch (c) {
        case NoteCursor::Pencil: return PencilCursor();
        case NoteCursor::NotAllowed: return QCursor(Qt::ForbiddenCursor);
        case NoteCursor::ResizeValueArea: return QCursor(Qt::SplitVCursor);
        case NoteCursor::ResizeKeyColumn: return QCursor(Qt::SplitHCursor);
    }
    return QCursor();
}

QString EventTypeText(int32_t event) {
    switch (event & 0xF0) {
        case 0x90: return QStringLiteral("Note Event");
        case 0xA0: return QStringLiteral("Poly Aft.");
        case 0xB0: return QStringLiteral("Controller");
        case 0xC0: return QStringLiteral("Prg.Change");
        case 0xD0: return QStringLiteral("Mono Aft.");
        case 0xE0: return QStringLiteral("Pitch Bend");
        default: return QStringLiteral("error");
    }
}

}  // namespace

// ---- Drawing surface ---------------------------------------------------------------------------

PaintSurface::PaintSurface(const QString& name, QWidget* parent)
    : QWidget(parent), Image(1, 1, QImage::Format_ARGB32_Premultiplied) {
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void PaintSurface::Resize(int w, int h) {
    w = std::max(1, w);
    h = std::max(1, h);
    if (Image.width() != w || Image.height() != h) Image = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
}

void PaintSurface::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect damaged = event->rect();
    if (Painter)
        Painter(p, damaged);
    else
        p.drawImage(damaged.topLeft(), Image, damaged);
}

// ---- Construction ------------------------------------------------------------------------------

TEventEditForm::TEventEditForm(DeviceModel& model, Notifications& notifications, std::string configFile,
                               QWidget* parent)
    : TForm(QStringLiteral("EventEditForm"), parent),
      Model(model),
      Notes(notifications),
      configFile_(std::move(configFile)) {
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Event Editor"));
    setMinimumSize(200, 200);
    keyFont_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    keyFont_.setPointSize(8);
    TrackColor = kDefaultTrackColors;
    ViewColors = kDefaultViewColors;
    TrackDisplayDefault.fill(false);
    TrackDisplayDefault[0] = true;
    LoadSettings();
    for (int v = 0; v < kValueRows; ++v) RowNames[size_t(v)] = std::to_string(v);
    Build();
    BuildMenus();

    subscriptions_[0] = Notes.CurrentPatternChanged.Subscribe([this] {
        UpdateTrackButtons(Pattern());
        ShowTrackParameters(Pattern(), SelectedTrack);
        RedrawAll();
    });
    subscriptions_[1] = Notes.PatternStepsEdited.Subscribe([this] { RedrawAll(); });
    subscriptions_[2] = Notes.SelectedTrackChanged.Subscribe([this](int t) {
        if (t != SelectedTrack) SelectTrack(Pattern(), t);
    });
    subscriptions_[3] = Notes.TrackSettingsChanged.Subscribe([this](int) {
        UpdateTrackButtons(Pattern());
        ShowTrackParameters(Pattern(), SelectedTrack);
        RedrawAll();
    });
    subscriptions_[4] = Notes.TrackMuteChanged.Subscribe([this](int) { UpdateTrackButtons(Pattern()); });
    layoutReady_ = true;
    FormResize();
    MarkOpaqueIfPaintedWhole(ScrollBar1);
    MarkOpaqueIfPaintedWhole(ScrollBar2);
}

TEventEditForm::~TEventEditForm() {
    SaveSettings();
    if (EventEditForm == this) EventEditForm = nullptr;
}

void TEventEditForm::Build() {
    MainGroupBox = new QGroupBox(this);
    MainGroupBox->setObjectName(QStringLiteral("MainGroupBox"));
    HeaderImage = new PaintSurface(QStringLiteral("HeaderImage"), MainGroupBox);
    EventImage = new PaintSurface(QStringLiteral("EventImage"), MainGroupBox);
    ValueImage = new PaintSurface(QStringLiteral("ValueImage"), MainGroupBox);
    KeyImage = new PaintSurface(QStringLiteral("KeyImage"), MainGroupBox);
    KeyImage->setProperty("Tag", kKeyColumnTag);
    for (QWidget* w : {HeaderImage, EventImage, ValueImage, KeyImage}) w->installEventFilter(this);
    EventImage->Painter = [this](QPainter& p, const QRect& r) { PaintNoteArea(p, r); };
    KeyImage->Painter = [this](QPainter& p, const QRect& r) { PaintKeyColumn(p, r); };
    HeaderImage->Painter = [this](QPainter& p, const QRect& r) { PaintRuler(p, r); };
    ValueImage->Painter = [this](QPainter& p, const QRect& r) { PaintValueArea(p, r); };

    HorzGroupBox = new QGroupBox(this);
    HorzGroupBox->setObjectName(QStringLiteral("HorzGroupBox"));
    ScaleXTrackBar = new QSlider(Qt::Horizontal, HorzGroupBox);
    ScaleXTrackBar->setObjectName(QStringLiteral("ScaleXTrackBar"));
    ScaleXTrackBar->setRange(kMinPixelsPer96th, kMaxPixelsPer96th);
    ScaleXTrackBar->setValue(View.PixelsPer96th);
    ScaleXTrackBar->setGeometry(5, 6, 150, 20);
    connect(ScaleXTrackBar, &QSlider::valueChanged, this, [this] { ScaleXTrackBarChange(); });
    Panel8 = new QFrame(HorzGroupBox);
    Panel8->setObjectName(QStringLiteral("Panel8"));
    Panel8->setGeometry(160, 8, LampX(kStepCount) + kLampWidth + 6, 15);
    Image2 = new PaintSurface(QStringLiteral("Image2"), Panel8);
    Image2->setGeometry(0, 0, Panel8->width(), Panel8->height());
    Image2->Resize(Panel8->width(), Panel8->height());
    for (int k = 1; k <= kStepCount; ++k) {
        auto* led = new QFrame(Panel8);
        led->setObjectName(QStringLiteral("StepOnOffLed%1").arg(k));
        led->setProperty("Step", k);
        led->setGeometry(LampX(k), 5, kLampWidth, kLampHeight);
        led->setCursor(Qt::PointingHandCursor);
        led->installEventFilter(this);
        StepLeds[size_t(k - 1)] = led;
    }
    // The time axis, in pixels; its end moves on as the view does.
    ScrollBar2 = new QScrollBar(Qt::Horizontal, HorzGroupBox);
    ScrollBar2->setObjectName(QStringLiteral("ScrollBar2"));
    connect(ScrollBar2, &QScrollBar::valueChanged, this, [this] { ScrollBar2Change(); });
    connect(ScrollBar2, &QScrollBar::sliderReleased, this, [this] { SyncScrollBars(); });

    VertGroupBox = new QGroupBox(this);
    VertGroupBox->setObjectName(QStringLiteral("VertGroupBox"));
    ScaleYTrackBar = new QSlider(Qt::Vertical, VertGroupBox);
    ScaleYTrackBar->setObjectName(QStringLiteral("ScaleYTrackBar"));
    ScaleYTrackBar->setRange(kMinRowHeight, kMaxRowHeight);
    ScaleYTrackBar->setInvertedAppearance(true);  // position grows downward, as the rows shrink
    ScaleYTrackBar->setValue(21);
    View.RowHeight = RowHeightForSlider(21);
    connect(ScaleYTrackBar, &QSlider::valueChanged, this, [this] { ScaleYTrackBarChange(); });
    ScrollBar1 = new QScrollBar(Qt::Vertical, VertGroupBox);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setRange(0, 127);
    ScrollBar1->setValue(127);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, [this] { ScrollBar1Change(); });

    BuildTrackRows();
    BuildPanel();

    GroupBox2 = new QGroupBox(this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(596, 0, 100, 90);
    Image1 = new PaintSurface(QStringLiteral("Image1"), GroupBox2);
    Image1->setGeometry(4, 14, kOverviewWidth, kOverviewHeight);
    Image1->Resize(kOverviewWidth, kOverviewHeight);
    Image1->installEventFilter(this);
}

void TEventEditForm::BuildTrackRows() {
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(5, 0, 256, 100);
    const char* const rows[3] = {"Track", "Display", "Active"};
    for (int r = 0; r < 3; ++r) {
        auto* label = new QLabel(QString::fromLatin1(rows[r]), GroupBox1);
        label->setObjectName(QStringLiteral("Label%1").arg(r + 1));
        label->setGeometry(4, 14 + 27 * r, 44, 20);
    }
    for (int t = 1; t <= kTrackCount; ++t) {
        const int x = 48 + 25 * (t - 1);
        auto* button = new QToolButton(GroupBox1);
        button->setObjectName(QStringLiteral("Track%1SpeedButton").arg(t));
        button->setText(QString::number(t));
        button->setCheckable(true);
        button->setGeometry(x, 14, 23, 22);
        button->installEventFilter(this);
        connect(button, &QToolButton::clicked, this, [this, t] { TrackSpeedButtonClick(t); });
        TrackButtons[size_t(t - 1)] = button;
        auto makeRow = [&](const char* panelName, const char* boxName, int y, auto handler) {
            auto* panel = new QFrame(GroupBox1);
            panel->setObjectName(QStringLiteral("Track%1%2").arg(t).arg(QLatin1String(panelName)));
            panel->setGeometry(x, y, 23, 22);
            auto* box = new QCheckBox(panel);
            box->setObjectName(QStringLiteral("Track%1%2").arg(t).arg(QLatin1String(boxName)));
            box->setGeometry(4, 2, 18, 18);
            connect(box, &QCheckBox::clicked, this, [this, t, handler] { (this->*handler)(t); });
            return std::pair{panel, box};
        };
        std::tie(DisplayPanels[size_t(t - 1)], DisplayBoxes[size_t(t - 1)]) =
            makeRow("DisplayPanel", "DisplayCheckBox", 41, &TEventEditForm::TrackDisplayCheckBoxClick);
        std::tie(ActivePanels[size_t(t - 1)], ActiveBoxes[size_t(t - 1)]) =
            makeRow("ActivePanel", "ActiveCheckBox", 68, &TEventEditForm::TrackActiveCheckBoxClick);
        ColorTrackControls(t);
    }
}

void TEventEditForm::BuildPanel() {
    TrackParameterPanel = new QFrame(this);
    TrackParameterPanel->setObjectName(QStringLiteral("TrackParameterPanel"));
    TrackParameterPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    TrackParameterPanel->setGeometry(264, 0, 328, 108);
    QFont small = font();
    small.setPointSize(8);
    auto label = [&](const char* text, int x, int y) {
        auto* l = new QLabel(QString::fromLatin1(text), TrackParameterPanel);
        l->setFont(small);
        l->setGeometry(x, y, 56, 20);
    };
    auto edit = [&](const char* name, int x, int y, int w) {
        auto* e = new QLineEdit(TrackParameterPanel);
        e->setObjectName(QString::fromLatin1(name));
        e->setReadOnly(true);
        e->setFont(small);
        e->setGeometry(x, y, w, 20);
        e->setContextMenuPolicy(Qt::NoContextMenu);
        e->installEventFilter(this);
        return e;
    };
    auto upDown = [&](int kind, int x, int y) {
        auto* frame = new QFrame(TrackParameterPanel);
        frame->setObjectName(QStringLiteral("UpDown%1").arg(kind));
        frame->setGeometry(x, y, 16, 20);
        const int delta[2] = {1, -1};
        for (int i = 0; i < 2; ++i) {
            auto* b = new QToolButton(frame);
            b->setArrowType(i == 0 ? Qt::UpArrow : Qt::DownArrow);
            b->setGeometry(0, 10 * i, 16, 10);
            connect(b, &QToolButton::clicked, this, [this, kind, d = delta[i]] { UpDownClick(kind, d); });
        }
    };
    // Label, field and up/down button of each setting: column, row, widths.
    const struct {
        const char* label;  // null: beside the previous field
        const char* name;
        QLineEdit* TEventEditForm::*field;
        int left, row, width, upDown;
    } fields[] = {
        {"Startstep", "StartStepEdit", &TEventEditForm::StartStepEdit, 4, 0, 80, udStartStep},
        {"Endstep", "EndStepEdit", &TEventEditForm::EndStepEdit, 4, 1, 80, udEndStep},
        {"Channel", "MidiChannelEdit", &TEventEditForm::MidiChannelEdit, 4, 2, 80, udChannel},
        {"Event", "EventEdit", &TEventEditForm::EventEdit, 4, 3, 96, 0},
        {"Offsets", "Trackdata1Edit", &TEventEditForm::Trackdata1Edit, 4, 4, 40, udData1},
        {nullptr, "Trackdata2Edit", &TEventEditForm::Trackdata2Edit, 64, 4, 40, udData2},
        {"Gatetime", "GateTimeEdit", &TEventEditForm::GateTimeEdit, 166, 0, 84, udGateTime},
        {"Notetime", "NoteTimeEdit", &TEventEditForm::NoteTimeEdit, 166, 1, 84, udNoteTime},
        {"Delaytime", "DelayEdit", &TEventEditForm::DelayEdit, 166, 2, 84, udDelay},
        {"Runmode", "RunmodeEdit", &TEventEditForm::RunmodeEdit, 166, 3, 100, 0},
    };
    for (const auto& f : fields) {
        const int y = 3 + 21 * f.row, x = f.left + 58;
        if (f.label) label(f.label, f.left, y);
        this->*f.field = edit(f.name, x, y, f.width);
        if (f.upDown) upDown(f.upDown, x + f.width + 2, y);
    }
}

void TEventEditForm::BuildMenus() {
    auto action = [this](QMenu* menu, const char* name, const char* caption, std::function<void()> fn) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, std::move(fn));
        return a;
    };
    auto menu = [this](const char* name) {
        auto* m = new QMenu(this);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    PianoPopupMenu = menu("PianoPopupMenu");
    PianoPopupMenu->setProperty("Tag", kKeyColumnTag);
    action(PianoPopupMenu, "Piano1", "Piano", [this] { KeyColumnKindClick(kPianoColumn); });
    action(PianoPopupMenu, "NumericalValues1", "Numerical Values", [this] { KeyColumnKindClick(kNumberColumn); });
    action(PianoPopupMenu, "Notes1", "Notes", [this] { KeyColumnKindClick(kNoteColumn); });
    action(PianoPopupMenu, "Controller1", "Controller", [this] { KeyColumnKindClick(kControllerColumn); });

    EventPopupMenu = menu("EventPopupMenu");
    QMenu* colors = EventPopupMenu->addMenu(QStringLiteral("Color Settings"));
    colors->setObjectName(QStringLiteral("ColorSettings1"));
    action(colors, "Background1", "Background", [this] { ColorSettingClick(vcBackground); });
    action(colors, "VerticalGridLines1", "Vertical Grid Lines", [this] { ColorSettingClick(vcVerticalGrid); });
    action(colors, "BeatLines1", "Beat Lines", [this] { ColorSettingClick(vcBeat); });
    action(colors, "BarLines1", "Bar Lines", [this] { ColorSettingClick(vcBar); });
    action(colors, "HorizontalGidLines1", "Horizontal Gid Lines", [this] { ColorSettingClick(vcHorizontalGrid); });
    HeaderPopupMenu = menu("HeaderPopupMenu");
    action(HeaderPopupMenu, "ColorSetting1", "Color Setting", [this] { ColorSettingClick(vcHeader); });

    RunmodePopupMenu = menu("RunmodePopupMenu");
    const char* const ranges[6] = {"normal", "1-Oktave", "2-Oktaven", "3-Oktaven", "4-Oktaven", "5-Oktaven"};
    const char* const orders[2] = {"Up", "Down"};
    for (int g = 0; g < 2; ++g) {
        QMenu* sub = RunmodePopupMenu->addMenu(QString::fromLatin1(orders[g]));
        sub->setObjectName(QStringLiteral("%1Mode").arg(QLatin1String(orders[g])));
        for (int r = 0; r < 6; ++r) {
            const int mode = 6 * g + r;
            const std::string name = std::string(orders[g]) + "Mode" + std::to_string(r);
            action(sub, name.c_str(), ranges[r], [this, mode] { RunmodeClick(mode); });
        }
    }
    EventTypePopupMenu = menu("EventTypePopupMenu");
    const struct {
        const char* name;
        const char* caption;
        int status;
    } events[] = {{"NoteEvent1", "Note Event", 144},           {"PolyAftertouch1", "Poly Aftertouch", 160},
                  {"Controller2", "Controller", 176},          {"ProgChange1", "ProgChange", 192},
                  {"MonoAftertouch1", "Mono Aftertouch", 208}, {"PitchBend1", "Pitch Bend", 224}};
    for (const auto& e : events)
        action(EventTypePopupMenu, e.name, e.caption, [this, s = e.status] { EventTypeClick(s); });
}

// ---- Layout ------------------------------------------------------------------------------------

void TEventEditForm::resizeEvent(QResizeEvent* event) {
    TForm::resizeEvent(event);
    FormResize();
}

void TEventEditForm::FormResize() {
    if (!layoutReady_ || inLayout_) return;
    inLayout_ = true;
    const EventEditLayout l = LayoutFor(width(), height(), KeyColumnKind, View.RowHeight, WantedValueAreaHeight);
    View.KeyColumnWidth = l.KeyColumnWidth;
    View.NoteAreaWidth = l.NoteAreaWidth;
    View.NoteAreaHeight = l.NoteAreaHeight;
    View.ValueAreaHeight = l.ValueAreaHeight;
    Place(MainGroupBox, l.MainGroup);
    Place(EventImage, l.Event);
    Place(KeyImage, l.Key);
    Place(HeaderImage, l.Header);
    Place(ValueImage, l.Value);
    Place(HorzGroupBox, l.HorzGroup);
    ScrollBar2->setGeometry(Panel8->geometry().right() + 6, 8, std::max(1, l.HorzGroup.width - 470), 16);
    Place(VertGroupBox, l.VertGroup);
    ScaleYTrackBar->setGeometry(2, 8, 14, 80);
    ScrollBar1->setGeometry(18, 8, 14, std::max(1, l.VertGroup.height - 12));
    for (QWidget* w : {static_cast<QWidget*>(GroupBox1), static_cast<QWidget*>(GroupBox2)})
        w->move(w->x(), l.GroupsTop);
    TrackParameterPanel->move(TrackParameterPanel->x(), l.PanelTop);
    // The rows at the bottom of the view stay there, as far as the new
    // height lets them.
    View.ScrollY = std::clamp(View.ScrollY, 0, View.ScrollYRange());
    SyncScrollBars();
    inLayout_ = false;
    // All 128 rows fit with room to spare: the window would rather be
    // smaller. It asks once for each height; the layout above holds whether
    // or not it gets it (a maximised or tiled window does not).
    const bool pinned = windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
    if (l.WantedHeight == 0) {
        requestedHeight_ = 0;
    } else if (!pinned && l.WantedHeight != requestedHeight_) {
        requestedHeight_ = l.WantedHeight;
        resize(width(), l.WantedHeight);
    }
    RedrawAll();
}

// ---- Drawing -----------------------------------------------------------------------------------
//
// The four areas of the roll are painted when Qt asks, for the part that
// needs it. What stays the same from one frame to the next (the note area's
// grid, the left column's rows, the ruler's ticks) is kept in pictures that
// are drawn anew only when their key - size, scale, scroll, colours - has
// changed; the notes, the velocity bars and the pass under the mouse are
// drawn over them at each paint. Every line is one pixel wide and upright
// or level, so it is drawn as a rectangle: the same pixels as a line, and
// cheap to clip to the part being painted.

const Pattern_Parameters* TEventEditForm::CurrentRecord() const {
    return DeviceModel::ValidPattern(Pattern()) ? &Model.Patterns[size_t(Pattern())] : nullptr;
}

bool TEventEditForm::Drawable() const { return layoutReady_ && isVisible() && CurrentRecord() != nullptr; }

bool TEventEditForm::TrackDisplayed(int t) const {
    return t >= 1 && t <= kTrackCount && DisplayBoxes[size_t(t - 1)]->isChecked() &&
        DisplayBoxes[size_t(t - 1)]->isEnabled();
}

bool TEventEditForm::Picture::Stale(QSize size, const std::vector<int>& newKey) {
    size = size.expandedTo(QSize(1, 1));
    if (image.size() == size && key == newKey) return false;
    if (image.size() != size) image = QImage(size, QImage::Format_RGB32);
    key = newKey;
    return true;
}

void TEventEditForm::RedrawAll() {
    if (!Drawable()) return;
    StepLength96 = TimingOf(*CurrentRecord(), SelectedTrack).Step96;
    for (QWidget* w : {EventImage, KeyImage, ValueImage, HeaderImage}) w->update();
    DrawOverview();
    DrawStepLamps();
}

void TEventEditForm::ForEachNoteBar(const std::function<void(int x, int w, int v, const QColor& color)>& fn) const {
    const Pattern_Parameters& pt = *CurrentRecord();
    for (int t = 1; t <= kTrackCount; ++t) {
        if (!TrackDisplayed(t)) continue;
        const QColor color = Q(TrackColor[size_t(t - 1)]);
        const RollTiming timing = TimingOf(pt, t);
        const SlotSpan span = VisibleSlots(View, timing, View.NoteAreaWidth);
        const int d1 = pt.TrackData1(t - 1);
        for (int n = span.first; n <= span.last; ++n) {
            const int step = GetRunStep(pt, t, n);
            if (step < 1 || !GetStepOn(Model, Pattern(), t, step)) continue;
            const int v = d1 + GetRunOctaveShift(pt, t, n) + pt.StepNote(t - 1, step - 1);
            if (v < 0 || v >= kValueRows) continue;
            int x = SlotX(View, timing, n);
            int w = timing.Note96 * View.PixelsPer96th;
            if (x < 0) {
                w += x;
                x = 0;
            }
            if (w > 0) fn(x, w, v, color);
        }
    }
}

void TEventEditForm::PaintSlotLines(QPainter& p, const QRect& clip) const {
    const RollTiming timing = TimingOf(*CurrentRecord(), SelectedTrack);
    const SlotSpan span = VisibleSlots(View, timing, clip.right() + 1);
    const QColor roles[3] = {Q(TrackColor[size_t(SelectedTrack - 1)]), Q(ViewColors[vcVerticalGrid]),
                             Q(ViewColors[vcBeat])};
    for (int n = span.first; n <= span.last; ++n) {
        const int x = SlotX(View, timing, n);
        if (x < clip.left()) continue;
        p.fillRect(x, clip.top(), 1, clip.height(), roles[static_cast<int>(SlotLineRole(n - 1, timing.PassLength))]);
    }
}

void TEventEditForm::PaintGrid(QPainter& p, const QRect& clip) const {
    p.fillRect(clip, Q(ViewColors[vcBackground]));
    PaintSlotLines(p, clip);
    const QColor line = Q(ViewColors[vcHorizontalGrid]);
    const int lowest = std::max(0, View.RowAt(clip.bottom())), highest = std::min(kValueRows, View.RowAt(clip.top()) + 1);
    for (int v = lowest; v <= highest; ++v) {
        const int y = View.RowBottom(v);
        if (y >= clip.top() && y <= clip.bottom()) p.fillRect(clip.left(), y, clip.width(), 1, line);
    }
}

void TEventEditForm::PaintGridTile(QImage& tile) const {
    // A row line across, then one scanline of background and slot lines
    // copied down the rest of the row.
    const int w = tile.width();
    std::vector<QRgb> line(size_t(w), Q(ViewColors[vcBackground]).rgb());
    const RollTiming timing = TimingOf(*CurrentRecord(), SelectedTrack);
    const SlotSpan span = VisibleSlots(View, timing, w);
    const QRgb roles[3] = {Q(TrackColor[size_t(SelectedTrack - 1)]).rgb(), Q(ViewColors[vcVerticalGrid]).rgb(),
                           Q(ViewColors[vcBeat]).rgb()};
    for (int n = span.first; n <= span.last; ++n) {
        const int x = SlotX(View, timing, n);
        if (x >= 0 && x < w) line[size_t(x)] = roles[static_cast<int>(SlotLineRole(n - 1, timing.PassLength))];
    }
    std::fill_n(reinterpret_cast<QRgb*>(tile.scanLine(0)), w, Q(ViewColors[vcHorizontalGrid]).rgb());
    for (int y = 1; y < tile.height(); ++y) std::copy(line.begin(), line.end(), reinterpret_cast<QRgb*>(tile.scanLine(y)));
}

void TEventEditForm::LayGridRows(QPainter& p, const QRect& area) const {
    // Band after band, each a plain copy of the kept row, the first one
    // starting on the row boundary at or above the area's top.
    const int rh = View.RowHeight;
    const int boundary = (View.NoteAreaHeight + View.ScrollY) % rh;
    for (int y = area.top() - ((area.top() - boundary) % rh + rh) % rh; y <= area.bottom(); y += rh) {
        const QRect band = QRect(area.left(), y, area.width(), rh) & area;
        p.drawImage(band.topLeft(), gridRow_.image, band.translated(0, -y));
    }
}

void TEventEditForm::PaintNoteArea(QPainter& p, const QRect& damaged) {
    if (CurrentRecord() == nullptr) {
        p.fillRect(damaged, Q(ViewColors[vcBackground]));
        return;
    }
    const QSize size = EventImage->size();
    if (CachedPainting) {
        // The grid repeats from row to row: one row of it is kept, and
        // laid down the damaged part with its line on every row boundary,
        // so a scroll, up or down, draws no row anew. Copying the small row
        // (it stays in the processor's cache) costs less than copying from
        // a picture of the whole area would, and such a picture, tens of
        // megabytes at 4K, would be new memory to fill in the frame that
        // first needs it.
        const RollTiming timing = TimingOf(*CurrentRecord(), SelectedTrack);
        const std::vector<int> key = {View.PixelsPer96th,
                                      View.ScrollX,
                                      timing.Step96,
                                      timing.Delay96,
                                      timing.PassLength,
                                      int(TrackColor[size_t(SelectedTrack - 1)]),
                                      int(ViewColors[vcBackground]),
                                      int(ViewColors[vcVerticalGrid]),
                                      int(ViewColors[vcBeat]),
                                      int(ViewColors[vcHorizontalGrid])};
        if (gridRow_.Stale(QSize(size.width(), View.RowHeight), key)) PaintGridTile(gridRow_.image);
        LayGridRows(p, damaged);
    } else {
        PaintGrid(p, QRect(QPoint(0, 0), size));
    }
    const int barHeight = KeyColumnKind == kPianoColumn ? View.RowHeight : View.RowHeight / 2;
    ForEachNoteBar([&](int x, int bw, int v, const QColor& color) {
        const QRect bar(x, View.RowBottom(v) - View.RowHeight + (View.RowHeight - barHeight) / 2, bw,
                        std::max(1, barHeight));
        if (bar.intersects(damaged)) p.fillRect(bar, color);
    });
}

void TEventEditForm::PaintKeyRows(QPainter& p, const EventEditView& view, const QRect& clip) const {
    p.fillRect(clip, Qt::white);
    p.setFont(keyFont_);
    const int w = view.KeyColumnWidth;
    const QColor hover = Q(TrackColor[size_t(SelectedTrack - 1)]);
    const int rh = view.RowHeight;
    // A row's name and a highlighted key reach into the rows beside it:
    // those are drawn too, in the same order.
    const int lowest = std::max(0, view.RowAt(clip.bottom()) - 1);
    const int highest = std::min(kValueRows - 1, view.RowAt(clip.top()) + 1);
    for (int v = lowest; v <= highest; ++v) {
        const int bottom = view.RowBottom(v), top = bottom - rh;
        const bool hovered = v == HoverValue;
        const std::string& noteName = NameOf(Model.NoteNames, v);
        if (KeyColumnKind == kPianoColumn) {
            const int key = v % 12;
            const bool black = key == 1 || key == 3 || key == 6 || key == 8 || key == 10;
            p.setPen(Qt::black);
            if (black) {
                p.fillRect(w / 2, top + rh / 2, w - w / 2, 1, Qt::black);
                p.fillRect(0, top, w / 2, rh, hovered ? hover : QColor(Qt::black));
                if (hovered) p.drawRect(0, top, w / 2, rh - 1);
            } else {
                if (hovered) {
                    // The key's own row and, where a black key lies beside
                    // it, the right half of that row half-way in.
                    const bool up = key != 4 && key != 11, down = key != 0 && key != 5;
                    const int half = rh / 2, mid = w / 2;
                    QPolygon outline;
                    outline << QPoint(0, top);
                    if (up)
                        outline << QPoint(mid, top) << QPoint(mid, top - half) << QPoint(w - 1, top - half);
                    else
                        outline << QPoint(w - 1, top);
                    if (down)
                        outline << QPoint(w - 1, bottom - 1 + half) << QPoint(mid, bottom - 1 + half)
                                << QPoint(mid, bottom - 1);
                    else
                        outline << QPoint(w - 1, bottom - 1);
                    outline << QPoint(0, bottom - 1);
                    p.setBrush(hover);
                    p.drawPolygon(outline);
                    p.setBrush(Qt::NoBrush);
                }
                if (key == 0 || key == 5) p.fillRect(0, bottom - 1, w, 1, Qt::black);
                if (key == 0)
                    p.drawText(QRect(2, top - 3, w - 2, rh + 3), Qt::AlignLeft | Qt::AlignTop,
                               FromCp1252(noteName.size() >= 10 ? noteName.substr(6, 4) : noteName));
            }
            continue;
        }
        if (hovered) p.fillRect(0, top, w, rh, hover);
        std::string text;
        switch (KeyColumnKind) {
            case kDrumColumn: text = RowNames[size_t(v)].empty() ? noteName : RowNames[size_t(v)]; break;
            case kNoteColumn: text = noteName; break;
            case kControllerColumn: text = NameOf(Model.ControllerNames, v); break;
            default: text = std::to_string(v); break;
        }
        p.setPen(Qt::black);
        p.drawText(QRect(1, rh < 12 ? top - 2 : top, w - 1, rh + 2), Qt::AlignLeft | Qt::AlignTop, FromCp1252(text));
        p.fillRect(0, bottom - 1, w, 1, Q(clSilver));
    }
}

QRect TEventEditForm::HoverDamage(const EventEditView& view, int v) const {
    return {0, view.RowBottom(v) - 2 * view.RowHeight, view.KeyColumnWidth, 3 * view.RowHeight};
}

void TEventEditForm::PaintKeyColumn(QPainter& p, const QRect& damaged) {
    const int w = KeyImage->width(), h = KeyImage->height();
    if (CurrentRecord() == nullptr) {
        p.fillRect(damaged, Qt::white);
    } else if (CachedPainting) {
        // All 128 rows, of which the view shows a window: a vertical scroll
        // draws nothing anew, a new highlight only the rows around it.
        EventEditView all = View;
        all.NoteAreaHeight = kValueRows * View.RowHeight;
        all.ScrollY = 0;
        const std::vector<int> key = {KeyColumnKind, View.RowHeight, int(TrackColor[size_t(SelectedTrack - 1)]),
                                      rowNamesRevision_};
        if (keyRows_.Stale(QSize(w, all.NoteAreaHeight), key)) {
            QPainter k(&keyRows_.image);
            PaintKeyRows(k, all, keyRows_.image.rect());
        } else if (keyRowsHover_ != HoverValue) {
            QPainter k(&keyRows_.image);
            for (int v : {keyRowsHover_, HoverValue}) {
                if (v < 0 || v >= kValueRows) continue;
                const QRect rows = HoverDamage(all, v) & keyRows_.image.rect();
                k.setClipRect(rows);
                PaintKeyRows(k, all, rows);
            }
        }
        keyRowsHover_ = HoverValue;
        p.drawImage(damaged.topLeft(), keyRows_.image, damaged.translated(0, View.ScrollYRange() - View.ScrollY));
    } else {
        PaintKeyRows(p, View, QRect(0, 0, w, h));
    }
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, w - 1, h - 1);
}

void TEventEditForm::SetHover(int value) {
    if (value == HoverValue) return;
    const int before = std::exchange(HoverValue, value);
    if (!Drawable()) return;
    for (int v : {before, value})
        if (v >= 0 && v < kValueRows) KeyImage->update(HoverDamage(View, v));
}

void TEventEditForm::PaintValueArea(QPainter& p, const QRect& damaged) const {
    const int w = ValueImage->width(), h = ValueImage->height();
    p.fillRect(damaged, Qt::white);
    if (CurrentRecord() == nullptr) return;
    const Pattern_Parameters& pt = *CurrentRecord();
    const int t = SelectedTrack;
    const QColor color = Q(TrackColor[size_t(t - 1)]);
    const int data2 = pt.TrackData2(t - 1);
    p.fillRect(0, VelocityScaleY(h, data2), w, 1, color);
    const RollTiming timing = TimingOf(pt, t);
    const SlotSpan span = VisibleSlots(View, timing, w);
    PaintSlotLines(p, QRect(0, 0, w, h));
    const int noteWidth = timing.Note96 * View.PixelsPer96th;
    p.setPen(color);
    p.setBrush(Qt::NoBrush);
    for (int n = span.first; n <= span.last; ++n) {
        const int x = SlotX(View, timing, n);
        const int bx = x + noteWidth / 4, bw = noteWidth / 2;
        if (bx > damaged.right() || bx + std::max(1, bw) <= damaged.left()) continue;
        const int step = GetRunStep(pt, t, n);
        if (step < 1 || !GetStepOn(Model, Pattern(), t, step)) continue;
        const int bh = VelocityBarHeight(h, data2, pt.StepVelocity(t - 1, step - 1));
        if (bw >= 3)
            p.drawRect(bx, h - bh, bw - 1, bh - 1);
        else
            p.fillRect(bx, h - bh, std::max(1, bw), bh, color);
    }
}

void TEventEditForm::PaintRulerTicks(QPainter& p, QSize size) const {
    const int w = size.width(), h = size.height();
    const QColor header = Q(ViewColors[vcHeader]);
    p.fillRect(0, 0, w, h, header);
    p.fillRect(View.KeyColumnWidth - 1, 0, 2, h, Qt::black);
    QFont font = p.font();
    font.setPointSize(7);
    p.setFont(font);
    const QColor roles[4] = {Qt::black, Q(ViewColors[vcVerticalGrid]), Q(ViewColors[vcBeat]), Q(ViewColors[vcBar])};
    for (int tick = FirstRulerTick(View);; ++tick) {
        const int x = RulerTickX(View, tick);
        if (x >= w) break;
        const LineRole role = RulerTickRole(tick);
        p.fillRect(x, h - 4, 1, 4, roles[static_cast<int>(role)]);
        if (role == LineRole::Bar) {
            p.setPen(Qt::black);
            p.drawText(QRect(x + 1, h - 18, 40, 14), Qt::AlignLeft | Qt::AlignTop, QString::number(tick / 16 + 1));
        }
    }
    // The strip that shows the pass under the mouse.
    p.fillRect(View.KeyColumnWidth + 1, 1, std::max(0, w - View.KeyColumnWidth - 2), 7, header);
}

void TEventEditForm::PaintRuler(QPainter& p, const QRect& damaged) {
    const QSize size = HeaderImage->size();
    if (CachedPainting) {
        const std::vector<int> key = {View.KeyColumnWidth,
                                      View.PixelsPer96th,
                                      View.ScrollX,
                                      int(ViewColors[vcHeader]),
                                      int(ViewColors[vcVerticalGrid]),
                                      int(ViewColors[vcBeat]),
                                      int(ViewColors[vcBar])};
        if (ruler_.Stale(size, key)) {
            QPainter r(&ruler_.image);
            PaintRulerTicks(r, size);
        }
        p.drawImage(damaged.topLeft(), ruler_.image, damaged);
    } else {
        PaintRulerTicks(p, size);
    }
    if (passUnderMouse_ > 0 && CurrentRecord() != nullptr) {
        const Box mark = PassMark(View, TimingOf(*CurrentRecord(), SelectedTrack), passUnderMouse_, size.width());
        if (mark.width > 0) {
            p.setPen(Qt::black);
            p.setBrush(Q(TrackColor[size_t(SelectedTrack - 1)]));
            p.drawRect(mark.left, mark.top, mark.width - 1, mark.height - 1);
        }
    }
}

void TEventEditForm::DrawOverview() {
    QImage& img = Image1->Image;
    QPainter p(&img);
    const int w = img.width(), h = img.height();
    p.fillRect(0, 0, w, h, Q(clGray));
    ForEachNoteBar([&](int x, int bw, int v, const QColor& color) {
        const Box b = OverviewBar(View, x, bw, v, w, h);
        p.fillRect(b.left, b.top, b.width, b.height, color);
    });
    const auto [upper, lower] = OverviewRangeLines(View, h);
    p.setPen(Qt::black);
    p.drawLine(0, upper, w - 1, upper);
    p.drawLine(0, lower, w - 1, lower);
    p.end();
    Image1->update();
}

void TEventEditForm::DrawStepLamps() {
    const Pattern_Parameters& pt = *CurrentRecord();
    const int t = SelectedTrack;
    QImage& img = Image2->Image;
    QPainter p(&img);
    p.fillRect(0, 0, img.width(), img.height(), Q(ViewColors[vcBackground]));
    const StepRange range = TrackStepRange(pt, t);
    if (!range.Empty()) {
        const int left = LampX(range.First) - 2, right = LampX(range.Last) + kLampWidth + 2;
        p.fillRect(left, 3, right - left, kLampHeight + 4, Qt::white);
    }
    p.end();
    Image2->update();
    for (int k = 1; k <= kStepCount; ++k)
        SetBackground(StepLeds[size_t(k - 1)], GetStepOn(Model, Pattern(), t, k) ? TrackColor[size_t(t - 1)] : clBlack);
}

void TEventEditForm::ShowPassUnder(int x) {
    if (!Drawable()) return;
    const int pass = PassAt(View, TimingOf(*CurrentRecord(), SelectedTrack), x);
    if (pass == std::exchange(passUnderMouse_, pass)) return;
    HeaderImage->update(View.KeyColumnWidth + 1, 1, std::max(0, HeaderImage->width() - View.KeyColumnWidth - 2), 7);
}

// ---- Tracks and panel --------------------------------------------------------------------------

void TEventEditForm::ColorTrackControls(int t) {
    const TColor color = TrackColor[size_t(t - 1)];
    SetBackground(DisplayPanels[size_t(t - 1)], color);
    SetBackground(ActivePanels[size_t(t - 1)], color);
    if (t == SelectedTrack && TrackParameterPanel != nullptr) SetBackground(TrackParameterPanel, color);
}

void TEventEditForm::SelectTrack(int p, int t) {
    if (t < 1 || t > kTrackCount || !DeviceModel::ValidPattern(p)) return;
    SelectedTrack = t;
    {
        QSignalBlocker block(DisplayBoxes[size_t(t - 1)]);
        DisplayBoxes[size_t(t - 1)]->setChecked(Model.Patterns[size_t(p)].TrackRunMode(t - 1) < 12);
    }
    for (int i = 1; i <= kTrackCount; ++i) {
        QSignalBlocker block(TrackButtons[size_t(i - 1)]);
        TrackButtons[size_t(i - 1)]->setChecked(i == t);
    }
    SetBackground(TrackParameterPanel, TrackColor[size_t(t - 1)]);
    if (Model.SelectedTrack != t) {
        Model.SelectedTrack = t;
        Notes.SelectedTrackChanged.Publish(t);
    }
    RedrawAll();
    ShowTrackParameters(Model.SelectedPattern, t);
}

void TEventEditForm::UpdateTrackButtons(int p) {
    if (!DeviceModel::ValidPattern(p)) return;
    const Pattern_Parameters& pt = Model.Patterns[size_t(p)];
    for (int t = 1; t <= kTrackCount; ++t) {
        QSignalBlocker a(ActiveBoxes[size_t(t - 1)]);
        ActiveBoxes[size_t(t - 1)]->setChecked(!TrackMuted(pt, t));
        // The Up/Down orders are never drawn.
        QCheckBox* display = DisplayBoxes[size_t(t - 1)];
        QSignalBlocker d(display);
        const bool drawable = pt.TrackRunMode(t - 1) < 12;
        if (!drawable) display->setChecked(false);
        display->setEnabled(drawable);
    }
}

void TEventEditForm::ShowField(QLineEdit* field, int p, int t,
                               const std::function<QString(const Pattern_Parameters&, int i)>& text) {
    t = PanelTrack(t);
    if (!DeviceModel::ValidPattern(p) || t < 1 || t > kTrackCount) return;
    UpdatingGuard guard(Model);
    field->setText(text(Model.Patterns[size_t(p)], t - 1));
}

void TEventEditForm::ShowStartStep(int p, int t) {
    ShowField(StartStepEdit, p, t,
              [](const Pattern_Parameters& pt, int i) { return QString::number(pt.TrackStartStep(i)); });
}
void TEventEditForm::ShowEndStep(int p, int t) {
    ShowField(EndStepEdit, p, t,
              [](const Pattern_Parameters& pt, int i) { return QString::number(pt.TrackEndStep(i)); });
}
void TEventEditForm::ShowMidiChannel(int p, int t) {
    ShowField(MidiChannelEdit, p, t,
              [](const Pattern_Parameters& pt, int i) { return QString::number((pt.TrackEvent(i) & 15) + 1); });
}
void TEventEditForm::ShowGateTime(int p, int t) {
    ShowField(GateTimeEdit, p, t,
              [](const Pattern_Parameters& pt, int i) { return FromCp1252(TimeName(pt.TrackGateTime(i))); });
}
void TEventEditForm::ShowNoteTime(int p, int t) {
    ShowField(NoteTimeEdit, p, t,
              [](const Pattern_Parameters& pt, int i) { return FromCp1252(TimeName(pt.TrackNoteTime(i))); });
}
void TEventEditForm::ShowDelayTime(int p, int t) {
    ShowField(DelayEdit, p, t,
              [](const Pattern_Parameters& pt, int i) { return FromCp1252(DelayName(pt.TrackDelay(i))); });
}

void TEventEditForm::ShowTrackSetting(int mode, int t, bool redraw) {
    if (!isVisible() || PanelTrack(t) != SelectedTrack) return;
    using Show = void (TEventEditForm::*)(int, int);
    static constexpr Show kShows[6] = {&TEventEditForm::ShowMidiChannel, &TEventEditForm::ShowStartStep,
                                       &TEventEditForm::ShowEndStep,     &TEventEditForm::ShowNoteTime,
                                       &TEventEditForm::ShowGateTime,    &TEventEditForm::ShowDelayTime};
    if (mode >= 0 && mode < 6) (this->*kShows[mode])(Pattern(), t);
    if (redraw) RedrawAll();
}

void TEventEditForm::ShowTrackParameters(int p, int t) {
    if (!DeviceModel::ValidPattern(p) || t < 1 || t > kTrackCount) return;
    const Pattern_Parameters& pt = Model.Patterns[size_t(p)];
    UpdatingGuard guard(Model);
    ShowStartStep(p, t);
    ShowEndStep(p, t);
    ShowMidiChannel(p, t);
    ShowGateTime(p, t);
    ShowNoteTime(p, t);
    ShowDelayTime(p, t);
    Trackdata1Edit->setText(QString::number(pt.TrackData1(t - 1)));
    Trackdata2Edit->setText(QString::number(pt.TrackData2(t - 1)));
    RunmodeEdit->setText(FromCp1252(RunModeName(pt.TrackRunMode(t - 1))));
    EventEdit->setText(EventTypeText(pt.TrackEvent(t - 1)));
}

void TEventEditForm::SetKeyColumnNames(const std::vector<std::string>& names) {
    for (int v = 0; v < kValueRows; ++v) RowNames[size_t(v)] = size_t(v) < names.size() ? names[size_t(v)] : "";
    ++rowNamesRevision_;
    KeyColumnKind = kDrumColumn;
    FormResize();
    ScaleYTrackBar->setValue(ScaleYTrackBar->maximum() - 5);
}

// ---- Editing -----------------------------------------------------------------------------------

void TEventEditForm::ShowPattern() { Notes.CurrentPatternChanged.Publish(); }

void TEventEditForm::RestartPlayback() { Notes.TrackSettingsChanged.Publish(SelectedTrack); }

void TEventEditForm::EventImageMouseDown(Qt::MouseButton button, int x, int y) {
    press_ = last_ = QPoint(x, y);
    pressScrollX_ = View.ScrollX;
    pressScrollY_ = View.ScrollY;
    dragArmed_ = true;
    scrolled_ = false;
    if (button == Qt::LeftButton && View.NoteAreaHeight - y < kMoveThreshold) {
        dragArmed_ = false;
        valueResize_ = true;
    } else if (button == Qt::LeftButton && x < kMoveThreshold) {
        dragArmed_ = false;
        keyResize_ = true;
    }
}

void TEventEditForm::EventImageMouseMove(int x, int y) {
    const Pattern_Parameters* pt = CurrentRecord();
    if (pt == nullptr) return;
    if (dragArmed_ && (std::abs(x - last_.x()) >= kMoveThreshold || std::abs(y - last_.y()) >= kMoveThreshold)) {
        EventEditView moved = View;
        DragScroll(moved, View.ScrollX, View.ScrollY, x - last_.x(), y - last_.y());
        last_ = QPoint(x, y);
        EventImage->setCursor(Qt::SizeAllCursor);
        scrolled_ = true;
        ScrollTo(moved.ScrollX, moved.ScrollY);
    }
    const RollTiming timing = TimingOf(*pt, SelectedTrack);
    if (!scrolled_) {
        const int slot = SlotAt(View, timing, x), row = View.RowAt(y);
        SetHover(row);
        EventImage->setCursor(CursorFor(NoteAreaCursor(*pt, SelectedTrack, slot, row, x, y, View.NoteAreaHeight)));
    }
    ShowPassUnder(x);
    if (valueResize_ && y != last_.y()) {
        WantedValueAreaHeight = ClampValueAreaHeight(View.ValueAreaHeight + last_.y() - y, height());
        last_.setY(y);
        FormResize();
    }
}

void TEventEditForm::EventImageMouseUp(Qt::MouseButton button, int x, int y) {
    dragArmed_ = false;
    if (scrolled_) {
        scrolled_ = false;
        EventImage->unsetCursor();
        return;
    }
    if (valueResize_) {
        valueResize_ = false;
        WantedValueAreaHeight = ClampValueAreaHeight(View.ValueAreaHeight + last_.y() - y, height());
        FormResize();
        return;
    }
    if (keyResize_) {
        keyResize_ = false;
        return;
    }
    const Pattern_Parameters* pt = CurrentRecord();
    if (button != Qt::LeftButton || pt == nullptr) return;
    const int slot = SlotAt(View, TimingOf(*pt, SelectedTrack), x);
    const NoteClickResult result = NoteClick(Model, Pattern(), SelectedTrack, slot, View.RowAt(y));
    if (result == NoteClickResult::Refused) {
        CurrentDialogs().MessageBox("The track's notes cannot be lowered that far: a step would go above 127.",
                                    "Event Editor", MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    if (result != NoteClickResult::None) ShowPattern();
}

void TEventEditForm::EventImageWheel(QPoint angleDelta, bool shift) {
    if (shift && angleDelta.x() == 0) angleDelta = QPoint(angleDelta.y(), 0);
    // A notch scrolls as many rows as the desktop's wheel setting says
    // lines, and across as many sixteenths.
    const int lines = std::max(1, QApplication::wheelScrollLines());
    const int dx = WheelPixels(wheelX_, angleDelta.x(), lines * kRulerUnit96 * View.PixelsPer96th);
    const int dy = WheelPixels(wheelY_, angleDelta.y(), lines * View.RowHeight);
    if (dx != 0 || dy != 0) ScrollTo(View.ScrollX - dx, View.ScrollY + dy);
}

void TEventEditForm::ScrollTo(int x, int y) {
    View.ScrollX = std::clamp(x, 0, kMaxScrollX);
    View.ScrollY = std::clamp(y, 0, View.ScrollYRange());
    SyncScrollBars();
    RedrawAll();
}

void TEventEditForm::SyncScrollBars() {
    QSignalBlocker vertical(ScrollBar1), horizontal(ScrollBar2);
    ScrollBar1->setValue(BarForScrollY(View.ScrollY, View));
    // While its handle is held the bar keeps its length, so the handle
    // stays under the mouse; its release lets the end move on.
    if (!ScrollBar2->isSliderDown()) {
        const TimeBar bar = TimeBarFor(View);
        ScrollBar2->setRange(0, bar.maximum);
        ScrollBar2->setPageStep(bar.pageStep);
        ScrollBar2->setSingleStep(bar.singleStep);
    }
    ScrollBar2->setValue(View.ScrollX);
}

void TEventEditForm::ValueImageMouseDown(Qt::MouseButton button, int x, int y) {
    if (button != Qt::LeftButton) return;
    painting_ = true;
    ValueImageMouseMove(x, y);
}

void TEventEditForm::ValueImageMouseMove(int x, int y) {
    const Pattern_Parameters* pt = CurrentRecord();
    if (pt == nullptr) return;
    const int slot = SlotAt(View, TimingOf(*pt, SelectedTrack), x);
    const bool editable = VelocityEditable(Model, Pattern(), SelectedTrack, slot);
    if (editable)
        ValueImage->setCursor(PencilCursor());
    else
        ValueImage->unsetCursor();
    if (painting_ && PaintVelocity(Model, Pattern(), SelectedTrack, slot, y, View.ValueAreaHeight)) ShowPattern();
    ShowPassUnder(x);
}

void TEventEditForm::ValueImageMouseUp(Qt::MouseButton button, int x, int y) {
    if (button != Qt::LeftButton || !painting_) return;
    painting_ = false;
    const Pattern_Parameters* pt = CurrentRecord();
    if (pt == nullptr) return;
    const int slot = SlotAt(View, TimingOf(*pt, SelectedTrack), x);
    if (PaintVelocity(Model, Pattern(), SelectedTrack, slot, y, View.ValueAreaHeight)) ShowPattern();
}

void TEventEditForm::Image1MouseDown(Qt::MouseButton button, int x, int y) {
    overviewPressed_ = button == Qt::LeftButton || button == Qt::RightButton;
    overviewZoom_ = button == Qt::RightButton;
    press_ = last_ = QPoint(x, y);
    pressScrollX_ = View.ScrollX;
    pressScrollY_ = View.ScrollY;
}

void TEventEditForm::Image1MouseMove(int x, int y) {
    if (!overviewPressed_) return;
    if (std::abs(x - last_.x()) < kMoveThreshold && std::abs(y - last_.y()) < kMoveThreshold) return;
    if (!overviewZoom_) {
        EventEditView moved = View;
        DragScroll(moved, pressScrollX_, pressScrollY_, x - press_.x(), y - press_.y());
        last_ = QPoint(x, y);
        ScrollTo(moved.ScrollX, moved.ScrollY);
        return;
    }
    const int dx = (x - last_.x()) / 3, dy = (y - last_.y()) / 3;
    last_ = QPoint(x, y);
    ScaleXTrackBar->setValue(std::clamp(View.PixelsPer96th + dx, kMinPixelsPer96th, kMaxPixelsPer96th));
    ScaleYTrackBar->setValue(std::clamp(ScaleYTrackBar->value() + dy, kMinRowHeight, kMaxRowHeight));
}

void TEventEditForm::Image1MouseUp() { overviewPressed_ = false; }

// A zoom keeps the moment and the value at the view's centre where they were.
void TEventEditForm::ScaleXTrackBarChange() {
    const int x = ZoomScrollX(View, ScaleXTrackBar->value());
    View.PixelsPer96th = ScaleXTrackBar->value();
    ScrollTo(x, View.ScrollY);
}

void TEventEditForm::ScaleYTrackBarChange() {
    const EventEditView before = View;
    View.RowHeight = RowHeightForSlider(ScaleYTrackBar->value());
    // Shorter rows may leave the note area taller than all 128 of them.
    if (kValueRows * View.RowHeight < View.NoteAreaHeight) FormResize();
    ScrollTo(View.ScrollX, ZoomScrollY(before, View.RowHeight, View.NoteAreaHeight));
}

void TEventEditForm::ScrollBar1Change() {
    View.ScrollY = ScrollYForBar(ScrollBar1->value(), View);
    RedrawAll();
}

void TEventEditForm::ScrollBar2Change() {
    View.ScrollX = std::clamp(ScrollBar2->value(), 0, kMaxScrollX);
    if (!ScrollBar2->isSliderDown()) SyncScrollBars();
    RedrawAll();
}

void TEventEditForm::StepOnOffLedClick(int k) {
    const int p = Pattern();
    if (!DeviceModel::ValidPattern(p) || k < 1 || k > kStepCount) return;
    SetStepOn(Model, p, SelectedTrack, !GetStepOn(Model, p, SelectedTrack, k), k);
    ShowPattern();
}

void TEventEditForm::TrackSpeedButtonClick(int t) { SelectTrack(Pattern(), t); }

void TEventEditForm::TrackSpeedButtonDblClick(int t) {
    for (int i = 1; i <= kTrackCount; ++i) {
        QSignalBlocker block(DisplayBoxes[size_t(i - 1)]);
        DisplayBoxes[size_t(i - 1)]->setChecked(i == t);
    }
    SelectTrack(Pattern(), t);
}

void TEventEditForm::TrackSpeedButtonRightPress(int t) {
    if (t < 1 || t > kTrackCount) return;
    const auto chosen = CurrentDialogs().ChooseColor(static_cast<uint32_t>(TrackColor[size_t(t - 1)]));
    if (!chosen) return;
    TrackColor[size_t(t - 1)] = static_cast<TColor>(*chosen & 0xFFFFFF);
    ColorTrackControls(t);
    if (TrackColorsChanged) TrackColorsChanged(TrackColor);
    RedrawAll();
}

void TEventEditForm::TrackDisplayCheckBoxClick(int) { RedrawAll(); }

void TEventEditForm::TrackActiveCheckBoxClick(int t) {
    const int p = Pattern();
    if (!DeviceModel::ValidPattern(p)) return;
    SetTrackMute(Model, p, t, !ActiveBoxes[size_t(t - 1)]->isChecked());
    Notes.TrackMuteChanged.Publish(t);
    if (!filling_) Notes.TrackSettingsChanged.Publish(t);
}

void TEventEditForm::UpDownClick(int kind, int delta) {
    const int p = Pattern(), t = SelectedTrack;
    if (!DeviceModel::ValidPattern(p)) return;
    const Pattern_Parameters& pt = Model.Patterns[size_t(p)];
    const int i = t - 1;
    auto index = [](int32_t code) { return std::clamp(code / 4, 0, 31); };
    switch (kind) {
        case udStartStep:
            SetTrackStartStep(Model, p, t, std::clamp(pt.TrackStartStep(i) - 1 + delta, 0, pt.TrackEndStep(i) - 1));
            break;
        case udEndStep:
            SetTrackEndStep(Model, p, t, std::clamp(pt.TrackEndStep(i) - 1 + delta, pt.TrackStartStep(i) - 1, 15));
            break;
        case udChannel: SetTrackChannel(Model, p, t, std::clamp((pt.TrackEvent(i) & 15) + delta, 0, 15)); break;
        case udData1: SetTrackData1(Model, p, t, std::clamp(pt.TrackData1(i) + delta, 0, 127)); break;
        case udData2: SetTrackData2(Model, p, t, std::clamp(pt.TrackData2(i) + delta, 0, 127)); break;
        case udGateTime: SetTrackGateTime(Model, p, t, std::clamp(index(pt.TrackGateTime(i)) + delta, 1, 31)); break;
        case udNoteTime: SetTrackNoteTime(Model, p, t, std::clamp(index(pt.TrackNoteTime(i)) + delta, 1, 31)); break;
        case udDelay: SetTrackDelay(Model, p, t, std::clamp(index(pt.TrackDelay(i)) + delta, 0, 31)); break;
        default: return;
    }
    ShowPattern();
}

void TEventEditForm::ParameterEditMouseDown(QLineEdit* edit, Qt::MouseButton button, const QPoint& globalPos) {
    int mode = -1;
    if (edit == StartStepEdit)
        mode = 1;
    else if (edit == EndStepEdit)
        mode = 2;
    else if (edit == MidiChannelEdit)
        mode = 0;
    else if (edit == NoteTimeEdit)
        mode = 3;
    else if (edit == GateTimeEdit)
        mode = 4;
    else if (edit == DelayEdit)
        mode = 5;
    if (button == Qt::RightButton) {
        if (edit == RunmodeEdit) {
            RunmodePopupMenu->popup(globalPos);
            return;
        }
        if (edit == EventEdit) {
            EventTypePopupMenu->popup(globalPos);
            return;
        }
        if (mode >= 0 && OpenTrackPicker) {
            OpenTrackPicker(mode, SelectedTrack, globalPos);
            ShowTrackParameters(Pattern(), SelectedTrack);
            ShowPattern();
        }
    }
    // The step range and the channel restart the playback; the times do not.
    if (mode >= 0 && mode <= 2) RestartPlayback();
}

void TEventEditForm::RunmodeClick(int mode) {
    SetTrackRunMode(Model, Pattern(), SelectedTrack, mode);
    ShowPattern();
}

void TEventEditForm::EventTypeClick(int status) {
    SetTrackEvent(Model, Pattern(), SelectedTrack, status);
    ShowPattern();
}

void TEventEditForm::KeyColumnKindClick(int kind) {
    KeyColumnKind = kind;
    ScaleYTrackBar->setValue(kind == kPianoColumn ? ScaleYTrackBar->maximum() : ScaleYTrackBar->maximum() - 5);
    FormResize();
}

void TEventEditForm::ColorSettingClick(int which) {
    if (which < 0 || which >= int(ViewColors.size())) return;
    const auto chosen = CurrentDialogs().ChooseColor(static_cast<uint32_t>(ViewColors[size_t(which)]));
    if (!chosen) return;
    ViewColors[size_t(which)] = static_cast<TColor>(*chosen & 0xFFFFFF);
    RedrawAll();
}

// ---- Configuration -----------------------------------------------------------------------------

void TEventEditForm::LoadSettings() {
    const TIniFile ini(configFile_);
    const int top = ini.ReadInteger(kSection, "Top", 106);
    const int left = ini.ReadInteger(kSection, "Left", 150);
    const int width = ini.ReadInteger(kSection, "Width", 727);
    const int height = ini.ReadInteger(kSection, "Height", 532);
    SetBounds(left, top, std::max(200, width), std::max(200, height));
    for (int t = 0; t < kTrackCount; ++t)
        TrackColor[size_t(t)] =
            ini.ReadInteger(kSection, "TrackColor" + std::to_string(t), kDefaultTrackColors[size_t(t)]);
    Model.ShowEventEditForm = ini.ReadBool(kSection, "Show Event Edit Form", false);
    for (int c : kViewColorWriteOrder)
        ViewColors[size_t(c)] = ini.ReadInteger(kSection, kViewColorKeys[c], kDefaultViewColors[size_t(c)]);
    for (int t = 1; t <= kTrackCount; ++t)
        TrackDisplayDefault[size_t(t - 1)] = ini.ReadBool(kSection, "TrackDisplay" + std::to_string(t), t == 1);
    KeyColumnKind = ini.ReadInteger(kSection, "typeflag", kNumberColumn);
}

void TEventEditForm::SaveSettings() {
    TIniFile ini(configFile_);
    ini.WriteInteger(kSection, "Top", OuterBounds(*this).y());
    ini.WriteInteger(kSection, "Left", OuterBounds(*this).x());
    ini.WriteInteger(kSection, "Width", OuterSize(*this).width());
    ini.WriteInteger(kSection, "Height", OuterSize(*this).height());
    for (int t = 0; t < kTrackCount; ++t)
        ini.WriteInteger(kSection, "TrackColor" + std::to_string(t), TrackColor[size_t(t)]);
    for (int c : kViewColorWriteOrder) ini.WriteInteger(kSection, kViewColorKeys[c], ViewColors[size_t(c)]);
    ini.WriteBool(kSection, "Show Event Edit Form", Model.ShowEventEditForm);
    for (int t = 1; t <= kTrackCount; ++t)
        ini.WriteBool(kSection, "TrackDisplay" + std::to_string(t), DisplayBoxes[size_t(t - 1)]->isChecked());
    ini.WriteInteger(kSection, "typeflag", KeyColumnKind);
}

// ---- Window ------------------------------------------------------------------------------------

void TEventEditForm::FormShow() {
    filling_ = true;
    for (int t = 1; t <= kTrackCount; ++t) {
        QSignalBlocker block(DisplayBoxes[size_t(t - 1)]);
        DisplayBoxes[size_t(t - 1)]->setChecked(TrackDisplayDefault[size_t(t - 1)]);
    }
    UpdateTrackButtons(Pattern());
    filling_ = false;
    Model.ShowEventEditForm = true;
    FormResize();
    SelectTrack(Pattern(), std::clamp(Model.SelectedTrack, 1, kTrackCount));
}

void TEventEditForm::FormClose(TCloseAction&) { Model.ShowEventEditForm = false; }

bool TEventEditForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool press = type == QEvent::MouseButtonPress, move = type == QEvent::MouseMove,
               release = type == QEvent::MouseButtonRelease;
    if (press || move || release || type == QEvent::MouseButtonDblClick) {
        auto* me = static_cast<QMouseEvent*>(event);
        const int x = int(me->position().x()), y = int(me->position().y());
        const QPoint global = me->globalPosition().toPoint();
        // A release that went elsewhere (a popup menu took it) ends what
        // the press began.
        if (move && me->buttons() == Qt::NoButton) {
            dragArmed_ = valueResize_ = keyResize_ = painting_ = overviewPressed_ = false;
            if (std::exchange(scrolled_, false)) EventImage->unsetCursor();
        }
        if (watched == EventImage) {
            if (press) {
                EventImageMouseDown(me->button(), x, y);
                if (me->button() == Qt::RightButton) EventPopupMenu->popup(global);
            }
            if (move) EventImageMouseMove(x, y);
            if (release) EventImageMouseUp(me->button(), x, y);
            return true;
        }
        if (watched == ValueImage) {
            if (press) ValueImageMouseDown(me->button(), x, y);
            if (move) ValueImageMouseMove(x, y);
            if (release) ValueImageMouseUp(me->button(), x, y);
            return true;
        }
        if (watched == Image1) {
            if (press) Image1MouseDown(me->button(), x, y);
            if (move) Image1MouseMove(x, y);
            if (release) Image1MouseUp();
            return true;
        }
        if (watched == KeyImage || watched == HeaderImage) {
            if (press && me->button() == Qt::RightButton)
                (watched == KeyImage ? PianoPopupMenu : HeaderPopupMenu)->popup(global);
            return true;
        }
        const int step = watched->property("Step").toInt();
        if (step > 0) {
            if (press && me->button() == Qt::LeftButton) StepOnOffLedClick(step);
            return true;
        }
        if (auto* edit = qobject_cast<QLineEdit*>(watched); edit && press) {
            ParameterEditMouseDown(edit, me->button(), global);
            return true;
        }
        for (int t = 1; t <= kTrackCount; ++t) {
            if (watched != TrackButtons[size_t(t - 1)]) continue;
            if (type == QEvent::MouseButtonDblClick) {
                TrackSpeedButtonDblClick(t);
                return true;
            }
            if (press && me->button() == Qt::RightButton) {
                TrackSpeedButtonRightPress(t);
                return true;
            }
        }
    }
    if (type == QEvent::Wheel &&
        (watched == EventImage || watched == KeyImage || watched == ValueImage || watched == HeaderImage)) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        EventImageWheel(wheel->angleDelta(), wheel->modifiers() & Qt::ShiftModifier);
        return true;
    }
    if (type == QEvent::Leave && watched == EventImage) SetHover(-1);
    return TForm::eventFilter(watched, event);
}

}  // namespace morvelant
