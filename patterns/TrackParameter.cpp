#include "patterns/TrackParameter.h"

#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTableWidget>

#include "model/PatternSteps.h"
#include "model/TrackSettings.h"
#include "platform/QtDialogKeys.h"
#include "platform/QtDragStart.h"
#include "platform/QtText.h"

namespace morvelant {

TTrackParameterForm* TrackParameterForm = nullptr;

namespace {

constexpr int kColumns = 9;
constexpr int kRows = 12;

const PatternFormSection kSection{
    "Track Parameters Form", "Show Track Parameters Form", &DeviceModel::ShowTrackParametersForm, 344, 44, 786, 263};

const char* const kRowLabels[kRows] = {"Track",    "Event",   "Channel", "Data1 (offset)", "Data2 (offset)", "Gatetime",
                                       "Notetime", "Runmode", "Delay",   "Startstep",      "Endstep",        "Status"};

}  // namespace

TTrackParameterForm::TTrackParameterForm(DeviceModel& model, Notifications& notifications, PatternPickers* pickers,
                                         QWidget* parent)
    : TForm(QStringLiteral("TrackParameterForm"), parent),
      Model(model),
      Notes(notifications),
      Pickers(pickers),
      Config(kSection),
      trackColors_{255, 65280, 65535, 16711680, 16711935, 16776960, 128, 8421376} {
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    SetClientSize(778, 230);
    setFixedSize(778, 230);
    Build();
    BuildMenus();
    subscriptions_[0] = Notes.CurrentPatternChanged.Subscribe([this] { RefreshTrackGrid(Model.SelectedPattern); });
    subscriptions_[1] = Notes.SelectedTrackChanged.Subscribe([this](int) { PaintCells(); });
    subscriptions_[2] = Notes.TrackMuteChanged.Subscribe([this](int track) {
        for (int t = 1; t <= kTrackCount; ++t)
            if (track == 0 || track == t) ShowTrackMute(Model.SelectedPattern, t);
    });
    subscriptions_[3] = Notes.TrackSettingsChanged.Subscribe([this](int) { RefreshTrackGrid(Model.SelectedPattern); });
    subscriptions_[4] = Notes.PatternDataChanged.Subscribe([this](int slot) {
        if (DeviceModel::ValidPattern(Model.SelectedPattern) && (slot < 0 || slot == Model.SelectedPattern))
            SetCaption(PatternCaption(Model, Model.SelectedPattern));
    });
    Config.Read(Model, *this);
}

TTrackParameterForm::~TTrackParameterForm() {
    Config.Write(Model, *this);
    if (TrackParameterForm == this) TrackParameterForm = nullptr;
}

void TTrackParameterForm::Build() {
    StringGrid1 = new QTableWidget(kRows, kColumns, this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setGeometry(0, 0, 778, 230);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->horizontalHeader()->setDefaultSectionSize(85);
    StringGrid1->horizontalHeader()->setMinimumSectionSize(10);
    StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    StringGrid1->verticalHeader()->setMinimumSectionSize(10);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    // The arrows move the current cell; the menu key opens there what a
    // right-click opens.
    StringGrid1->setFocusPolicy(Qt::StrongFocus);
    StringGrid1->installEventFilter(this);
    StringGrid1->setShowGrid(true);
    StringGrid1->setTextElideMode(Qt::ElideNone);
    QFont small = StringGrid1->font();
    small.setPointSize(8);
    StringGrid1->setFont(small);
    StringGrid1->viewport()->setAcceptDrops(true);
    StringGrid1->viewport()->installEventFilter(this);
    for (int c = 0; c < kColumns; ++c) StringGrid1->setColumnWidth(c, 85);
    for (int r = 0; r < kRows; ++r) StringGrid1->setRowHeight(r, 18);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) StringGrid1->setItem(r, c, new QTableWidgetItem);
    for (int r = 0; r < kRows; ++r) StringGrid1->item(r, 0)->setText(QString::fromLatin1(kRowLabels[r]));
    for (int t = 1; t <= kTrackCount; ++t) StringGrid1->item(0, t)->setText(QString::number(t));
    PaintCells();
}

void TTrackParameterForm::BuildMenus() {
    auto menu = [this](const char* name) {
        auto* m = new QMenu(this);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto item = [this](QMenu* m, const char* name, const char* caption, int tag, void (TTrackParameterForm::*fn)(int)) {
        QAction* a = m->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setProperty("Tag", tag);
        connect(a, &QAction::triggered, this, [this, fn, tag] { (this->*fn)(tag); });
        return a;
    };
    auto plain = [this](QMenu* m, const char* name, const char* caption, void (TTrackParameterForm::*fn)()) {
        QAction* a = m->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, fn] { (this->*fn)(); });
        return a;
    };
    PopupMenu1 = menu("PopupMenu1");
    item(PopupMenu1, "test1", "Note Event", 144, &TTrackParameterForm::EventSelectClick);
    item(PopupMenu1, "PolyAftertouch1", "Poly Aft.", 160, &TTrackParameterForm::EventSelectClick);
    item(PopupMenu1, "Controller1", "Controller", 176, &TTrackParameterForm::EventSelectClick);
    item(PopupMenu1, "ProgramChange1", "ProgChange", 192, &TTrackParameterForm::EventSelectClick);
    item(PopupMenu1, "MonoAftertouch1", "Mono Aft.", 208, &TTrackParameterForm::EventSelectClick);
    item(PopupMenu1, "PitchBend1", "Pitch Bend", 224, &TTrackParameterForm::EventSelectClick);

    RunModePopupMenu = menu("RunModePopupMenu");
    struct Sub {
        QMenu** menu;
        const char* name;
        const char* caption;
        const char* items[6];
        bool visible;
    } subs[] = {
        {&Up1, "Up1", "Up", {"normal1", "N1Oktave1", "N2Oktaven1", "N3Oktaven1", "N4Oktaven1", "N5Oktaven1"}, true},
        {&Down1,
         "Down1",
         "Down",
         {"normal2", "N1Oktave2", "N2Oktaven2", "N3Oktaven2", "N4Oktaven2", "N5Oktaven2"},
         true},
        {&UpDown11,
         "UpDown11",
         "Up/Down 1",
         {"normal3", "N1Oktave3", "N2Oktaven3", "N3Oktaven3", "N4Oktaven3", "N5Oktaven3"},
         false},
        {&UpDown21,
         "UpDown21",
         "Up/Down 2",
         {"normal4", "N1Oktave4", "N2Oktaven4", "N3Oktaven4", "N4Oktaven4", "N5Oktaven4"},
         false},
    };
    const char* const captions[6] = {"normal", "1-Oktave", "2-Oktaven", "3-Oktaven", "4-Oktaven", "5-Oktaven"};
    for (int g = 0; g < 4; ++g) {
        Sub& sub = subs[g];
        *sub.menu = RunModePopupMenu->addMenu(QString::fromLatin1(sub.caption));
        (*sub.menu)->setObjectName(QString::fromLatin1(sub.name));
        (*sub.menu)->menuAction()->setVisible(sub.visible);
        for (int r = 0; r < 6; ++r)
            item(*sub.menu, sub.items[r], captions[r], 6 * g + r, &TTrackParameterForm::normal1Click);
    }

    MuteStatusPopupMenu = menu("MuteStatusPopupMenu");
    item(MuteStatusPopupMenu, "Mute1", "Mute", 1, &TTrackParameterForm::Mute1Click);
    item(MuteStatusPopupMenu, "Demute1", "Demute", 0, &TTrackParameterForm::Mute1Click);

    NoteEvPopupMenu = menu("NoteEvPopupMenu");
    NoteEvPopupMenu->setDefaultAction(
        plain(NoteEvPopupMenu, "PianoKeyboard1", "Piano Keyboard", &TTrackParameterForm::PianoKeyboard1Click));
    plain(NoteEvPopupMenu, "NumericalValues3", "Numerical Values", &TTrackParameterForm::NumericalValues5Click);
    ControllerPopupMenu = menu("ControllerPopupMenu");
    ControllerPopupMenu->setDefaultAction(plain(ControllerPopupMenu, "MidiControllers1", "Midi Controllers",
                                                &TTrackParameterForm::MidiControllers1Click));
    plain(ControllerPopupMenu, "NumericalValues2", "Numerical Values", &TTrackParameterForm::NumericalValues2Click);
    ProgramChangePopupMenu = menu("ProgramChangePopupMenu");
    ProgramChangePopupMenu->setDefaultAction(plain(ProgramChangePopupMenu, "NumericalValues4", "Numerical Values",
                                                   &TTrackParameterForm::NumericalValues5Click));
    ValuesPopupMenu = menu("ValuesPopupMenu");
    ValuesPopupMenu->setDefaultAction(
        plain(ValuesPopupMenu, "NumericalValues5", "Numerical Values", &TTrackParameterForm::NumericalValues5Click));
    // Never opened: the track status has no editor of its own here.
    PrgChPopupMenu = menu("PrgChPopupMenu");
    PrgChPopupMenu->addAction(QStringLiteral("Numerical Values"))->setObjectName(QStringLiteral("NumericalValues1"));
    // A menu closed without a choice leaves no cell marked red.
    for (QMenu* m : {PopupMenu1, RunModePopupMenu, MuteStatusPopupMenu, NoteEvPopupMenu, ControllerPopupMenu,
                     ProgramChangePopupMenu, ValuesPopupMenu})
        connect(m, &QMenu::aboutToHide, this, [this] { PaintCells(); });
}

void TTrackParameterForm::SetTrackColors(const std::array<TColor, kTrackCount>& colors) {
    trackColors_ = colors;
    PaintCells();
}

// ---- Show routines -----------------------------------------------------------------------------

void TTrackParameterForm::SetCell(int row, int t, const std::string& text) {
    if (t < 1 || t > kTrackCount) return;
    UpdatingGuard guard(Model);
    StringGrid1->item(row, t)->setText(FromCp1252(text));
}

#define MORVELANT_SHOW(Name, row, expr)                                        \
    void TTrackParameterForm::Name(int p, int t) {                             \
        if (!DeviceModel::ValidPattern(p) || t < 1 || t > kTrackCount) return; \
        const Pattern_Parameters& pt = Model.Patterns[size_t(p)];              \
        const int i = t - 1;                                                   \
        (void)pt;                                                              \
        (void)i;                                                               \
        SetCell(row, t, expr);                                                 \
    }
MORVELANT_SHOW(ShowTrackEvent, rEvent, TrackEventName(pt.TrackEvent(i)))
MORVELANT_SHOW(ShowTrackChannel, rChannel, std::to_string((pt.TrackEvent(i) & 0x0F) + 1))
MORVELANT_SHOW(ShowTrackData1, rData1, std::to_string(pt.TrackData1(i)))
MORVELANT_SHOW(ShowTrackData2, rData2, std::to_string(pt.TrackData2(i)))
MORVELANT_SHOW(ShowTrackGateTime, rGatetime, TimeName(pt.TrackGateTime(i)))
MORVELANT_SHOW(ShowTrackNoteTime, rNotetime, TimeName(pt.TrackNoteTime(i)))
MORVELANT_SHOW(ShowTrackRunMode, rRunmode, RunModeName(pt.TrackRunMode(i)))
MORVELANT_SHOW(ShowTrackDelay, rDelay, DelayName(pt.TrackDelay(i)))
MORVELANT_SHOW(ShowTrackStartStep, rStartstep, std::to_string(pt.TrackStartStep(i)))
MORVELANT_SHOW(ShowTrackEndStep, rEndstep, std::to_string(pt.TrackEndStep(i)))
MORVELANT_SHOW(ShowTrackStatus, rStatus, std::to_string(pt.TrackStatus(i)))
MORVELANT_SHOW(ShowTrackMute, rStatus, std::string(TrackMuted(pt, t) ? "muted" : ""))
#undef MORVELANT_SHOW

void TTrackParameterForm::RefreshTrackGrid(int p) {
    if (!DeviceModel::ValidPattern(p)) return;
    SetCaption(PatternCaption(Model, p));
    for (int t = 1; t <= kTrackCount; ++t) {
        ShowTrackEvent(p, t);
        ShowTrackChannel(p, t);
        ShowTrackData1(p, t);
        ShowTrackData2(p, t);
        ShowTrackGateTime(p, t);
        ShowTrackNoteTime(p, t);
        ShowTrackRunMode(p, t);
        ShowTrackDelay(p, t);
        ShowTrackStartStep(p, t);
        ShowTrackEndStep(p, t);
        ShowTrackStatus(p, t);
        ShowTrackMute(p, t);
    }
    PaintCells();
}

QString TTrackParameterForm::CellText(int row, int column) const { return StringGrid1->item(row, column)->text(); }

QColor TTrackParameterForm::CellColor(int row, int column) const {
    return StringGrid1->item(row, column)->background().color();
}

void TTrackParameterForm::PaintCells() {
    for (int r = 0; r < kRows; ++r)
        for (int c = 1; c < kColumns; ++c) {
            TColor color = clWhite;
            if (r == 0)
                color = trackColors_[size_t(c - 1)];
            else if (c == ClickedColumn && r == ClickedRow)
                color = clRed;
            else if (c == Model.SelectedTrack)
                color = clYellow;
            StringGrid1->item(r, c)->setBackground(ToQColor(color));
        }
    for (int r = 1; r < kRows; ++r)
        StringGrid1->item(r, 0)->setBackground(r == ClickedRow && ClickedColumn == 0 ? QBrush(ToQColor(clRed))
                                                                                     : QBrush());
}

// ---- Editing -----------------------------------------------------------------------------------

void TTrackParameterForm::ShowPattern() { Notes.CurrentPatternChanged.Publish(); }

void TTrackParameterForm::SettingsChanged(int track) { Notes.TrackSettingsChanged.Publish(track); }

void TTrackParameterForm::ResetClickedCell() {
    ClickedRow = ClickedColumn = -1;
    PaintCells();
}

void TTrackParameterForm::ForClickedTracks(const std::function<void(int t)>& fn) {
    if (ClickedColumn == 0)
        for (int t = 1; t <= kTrackCount; ++t) fn(t);
    else if (ClickedColumn >= 1 && ClickedColumn <= kTrackCount)
        fn(ClickedColumn);
}

void TTrackParameterForm::AdvanceLoop(const std::function<int(int column)>& show) {
    if (Pickers == nullptr || ClickedColumn < 0) return;
    for (;;) {
        PaintCells();
        StringGrid1->setCurrentCell(ClickedRow, ClickedColumn);
        const int result = show(ClickedColumn);
        if (result != 1 || ClickedColumn >= kTrackCount) break;
        ++ClickedColumn;
    }
    ResetClickedCell();
    SettingsChanged(0);
}

void TTrackParameterForm::StringGrid1MouseDown(int row, int column, Qt::MouseButton button, const QPoint& globalPos) {
    if (row < 0 || row >= kRows || column < 0 || column >= kColumns) return;
    ClickedRow = row;
    ClickedColumn = column;
    const int p = Model.SelectedPattern;
    if (column >= 1) {
        Model.SelectedTrack = column;
        Notes.SelectedTrackChanged.Publish(column);
    }
    PaintCells();
    if (button == Qt::LeftButton) {
        if (row == 0 && column >= 1) DragSourceColumn = column;
        return;
    }
    if (button != Qt::RightButton || !DeviceModel::ValidPattern(p)) return;
    if (Pickers != nullptr) Pickers->CloseTimePicker();
    const int event = column >= 1 ? (Model.Patterns[size_t(p)].TrackEvent(column - 1) & 0xF0) : 0;
    // Each picker of a Shift+Return walk opens under the cell it belongs to:
    // the first at the pointer's column, the next ones as far to the right
    // as their cells lie, never over the cell they are about to set.
    const auto cellOf = [&](int c) {
        const QRect r = StringGrid1->visualRect(StringGrid1->model()->index(row, c));
        return QRect(StringGrid1->viewport()->mapToGlobal(r.topLeft()), r.size());
    };
    const auto at = [&](int c) { return QPoint(globalPos.x() + cellOf(c).left() - cellOf(column).left(), cellOf(c).bottom() + 1); };
    auto channelPicker = [&](int mode) {
        AdvanceLoop([&](int c) { return Pickers->ChannelPicker(mode, c, at(c).x(), at(c).y()); });
    };
    auto timePicker = [&](int mode) {
        AdvanceLoop([&](int c) { return Pickers->TimePicker(mode, c, at(c).x(), at(c).y()); });
    };
    switch (row) {
        case rEvent: PopupMenu1->popup(globalPos); break;
        case rChannel: channelPicker(0); break;
        case rStartstep: channelPicker(1); break;
        case rEndstep: channelPicker(2); break;
        case rGatetime: timePicker(4); break;
        case rNotetime: timePicker(3); break;
        case rDelay: timePicker(5); break;
        case rData1:
            if (column == 0) {
                if (Pickers != nullptr) Pickers->NumericalValues(300);
                SettingsChanged(0);
            } else if (event == 0x90 || event == 0xA0) {
                NoteEvPopupMenu->popup(globalPos);
            } else if (event == 0xB0) {
                ControllerPopupMenu->popup(globalPos);
            } else if (event == 0xC0) {
                ProgramChangePopupMenu->popup(globalPos);
            } else if (event == 0xD0 || event == 0xE0) {
                ValuesPopupMenu->popup(globalPos);
            }
            break;
        case rData2:
            if (column == 0) {
                if (Pickers != nullptr) Pickers->NumericalValues(400);
                SettingsChanged(0);
            } else if (event == 0x90 || event == 0xA0 || event == 0xB0 || event == 0xE0) {
                AdvanceLoop([&](int c) { return Pickers->NumericalValues(400 + c); });
            }
            break;
        case rRunmode: RunModePopupMenu->popup(globalPos); break;
        case rStatus:
            if (column == 0) {
                MuteStatusPopupMenu->popup(globalPos);
            } else {
                SetTrackMute(Model, p, column, !TrackMuted(Model.Patterns[size_t(p)], column));
                ResetClickedCell();
                Notes.TrackMuteChanged.Publish(column);
                SettingsChanged(column);
            }
            break;
        default: break;
    }
}

void TTrackParameterForm::EventSelectClick(int tag) {
    ForClickedTracks([&](int t) { SetTrackEvent(Model, Model.SelectedPattern, t, tag); });
    ResetClickedCell();
    SettingsChanged(0);
}

void TTrackParameterForm::normal1Click(int tag) {
    ForClickedTracks([&](int t) { SetTrackRunMode(Model, Model.SelectedPattern, t, tag); });
    ResetClickedCell();
    SettingsChanged(0);
}

void TTrackParameterForm::Mute1Click(int tag) {
    ForClickedTracks([&](int t) { SetTrackMute(Model, Model.SelectedPattern, t, tag == 1); });
    ResetClickedCell();
    Notes.TrackMuteChanged.Publish(0);
    SettingsChanged(0);
}

void TTrackParameterForm::PianoKeyboard1Click() {
    AdvanceLoop([&](int c) { return Pickers->PianoKeyboard(300 + c, x() + 80, y() + 260); });
}

void TTrackParameterForm::MidiControllers1Click() {
    AdvanceLoop([&](int c) { return Pickers->MidiControllers(200 + c); });
}

void TTrackParameterForm::NumericalValues2Click() {
    AdvanceLoop([&](int c) { return Pickers->NumericalValues(200 + c); });
}

void TTrackParameterForm::NumericalValues5Click() {
    const int base = ClickedRow == rData1 ? 300 : 400;
    AdvanceLoop([&](int c) { return Pickers->NumericalValues(base + c); });
}

QMimeData* TTrackParameterForm::ColumnDragData(int track) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kColumnDragType), QByteArray::number(track));
    return data;
}

void TTrackParameterForm::StringGrid1DragDrop(int row, int column, int sourceColumn) {
    if (row < 0 || column < 0 || column > kTrackCount || sourceColumn < 1 || sourceColumn > kTrackCount) return;
    ClickedRow = row;
    ClickedColumn = column;
    DragSourceColumn = sourceColumn;
    CopyTrackWithin(Model, Model.SelectedPattern, sourceColumn, column, TrackCopy::Whole);
    // No cell stays marked red once the copy is done.
    ResetClickedCell();
    ShowPattern();
}

// ---- Window ------------------------------------------------------------------------------------

void TTrackParameterForm::FormShow() {
    ClickedRow = ClickedColumn = -1;
    RefreshTrackGrid(Model.SelectedPattern);
    Model.ShowTrackParametersForm = true;
}

void TTrackParameterForm::FormClose(TCloseAction&) { Model.ShowTrackParametersForm = false; }

bool TTrackParameterForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == StringGrid1 && ContextMenuKey(event)) {
        // What a right-click on the current cell opens, just below the cell.
        const QModelIndex cell = StringGrid1->currentIndex();
        if (cell.isValid())
            StringGrid1MouseDown(cell.row(), cell.column(), Qt::RightButton,
                                 StringGrid1->viewport()->mapToGlobal(
                                     StringGrid1->visualRect(cell).bottomLeft() + QPoint(0, 1)));
        return true;
    }
    if (watched != StringGrid1->viewport()) return TForm::eventFilter(watched, event);
    const QString format = QString::fromLatin1(kColumnDragType);
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(event);
            const QPoint at = me->position().toPoint();
            const int row = StringGrid1->rowAt(at.y()), column = StringGrid1->columnAt(at.x());
            pressColumn_ = (me->button() == Qt::LeftButton && row == 0 && column >= 1) ? column : -1;
            pressPos_ = at;
            // The keys go on from the cell clicked.
            if (row >= 0 && column >= 0) StringGrid1->setCurrentCell(row, column);
            StringGrid1MouseDown(row, column, me->button(), me->globalPosition().toPoint());
            return true;
        }
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (pressColumn_ >= 1 && DragDistanceReached(me, pressPos_)) {
                const int column = std::exchange(pressColumn_, -1);
                auto* drag = new QDrag(StringGrid1);
                drag->setMimeData(ColumnDragData(column));
                drag->exec(Qt::CopyAction);
            }
            return true;
        }
        case QEvent::MouseButtonRelease: pressColumn_ = -1; return true;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* de = static_cast<QDragMoveEvent*>(event);
            if (de->mimeData()->hasFormat(format))
                de->acceptProposedAction();
            else
                de->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* de = static_cast<QDropEvent*>(event);
            if (!de->mimeData()->hasFormat(format)) return true;
            bool ok = false;
            const int source = de->mimeData()->data(format).toInt(&ok);
            const QPoint at = de->position().toPoint();
            de->acceptProposedAction();
            if (ok) StringGrid1DragDrop(StringGrid1->rowAt(at.y()), StringGrid1->columnAt(at.x()), source);
            return true;
        }
        default: return TForm::eventFilter(watched, event);
    }
}

}  // namespace morvelant
