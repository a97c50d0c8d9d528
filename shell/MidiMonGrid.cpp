#include "shell/MidiMonGrid.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "engine/MidiRouting.h"
#include "model/DeviceModel.h"
#include "platform/IniFile.h"
#include "platform/QtFormFrame.h"
#include "platform/ProgramPath.h"
#include "platform/QtColors.h"
#include "platform/QtText.h"
#include "shell/MidiData.h"
#include "shell/WindowBookkeeping.h"

namespace morvelant {

TMidiMonGridForm* MidiMonGridForm = nullptr;

namespace {

// The menu window's item that switches the monitor on and off.
constexpr char kActiveItem[] = "MainMenuMidiMonitorActive";

const char* const kSection = "Midi Monitor Grid Form";

}  // namespace

// The grid's rows as a table for the view: view row r is grid row r + 1, the
// header row being the view's own header.
//
// The rows change with every event, up to thousands of times a second; the
// view is told at most once per refresh period (and repaints at most that
// often). Between two refreshes the view keeps seeing the row count it was
// last told, so the model stays consistent with what the view believes.
class MonitorGridModel : public QAbstractTableModel, public MonitorGridListener {
public:
    static constexpr int kRefreshMs = 20;

    MonitorGridModel(MidiMonitorRows& rows, QTableView*& view) : rows_(rows), view_(view) {
        shownRows_ = rows_.RowCount() - 1;
        refresh_.setSingleShot(true);
        refresh_.setInterval(kRefreshMs);
        QObject::connect(&refresh_, &QTimer::timeout, [this] { Sync(); });
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : shownRows_; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : MidiMonitorRows::kColumns;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const int gridRow = index.row() + 1;
        if (gridRow >= rows_.RowCount()) return {};
        switch (role) {
            case Qt::DisplayRole:
                // Cell texts are Windows-1252 bytes (a port alias may carry any of them).
                return FromCp1252(rows_.Cell(index.column(), gridRow));
            case Qt::ForegroundRole: {
                const MonitorColour c = rows_.ColourOfRow(gridRow);
                return c < 0 ? QVariant() : QVariant(ToQColor(c));
            }
            default: return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < MidiMonitorRows::kColumns)
            return QString::fromLatin1(rows_.Cell(section, 0));
        return {};
    }

    // ---- What changed since the view was last told ----------------------
    void GridReset() override {
        reset_ = true;
        Schedule();
    }
    void RowsDropped(int first, int count) override {
        dropped_ += count;
        RowsDroppedAdjust(count);
        Schedule();
    }
    void RowsDroppedAdjust(int count) {
        firstWritten_ = std::max(1, firstWritten_ - count);
        lastWritten_ -= count;
    }
    void RowAppended(int row) override { Schedule(); }
    void RowWritten(int row) override {
        firstWritten_ = std::min(firstWritten_, row);
        lastWritten_ = std::max(lastWritten_, row);
        Schedule();
    }
    void CurrentRowChanged(int row) override {
        current_ = true;
        Schedule();
    }

    // Tells the view everything that changed, selects the current row and
    // scrolls it into view.
    void Sync() {
        refresh_.stop();
        const int rows = rows_.RowCount() - 1;
        // View rows written in place, among those the view already had (the
        // rows it is told about below are drawn anyway).
        const int firstChanged = firstWritten_ - 1;
        int lastChanged = lastWritten_ - 1;
        if (reset_ || dropped_ >= shownRows_) {
            beginResetModel();
            shownRows_ = rows;
            endResetModel();
        } else {
            // Rows only ever leave at the top and come at the bottom; the
            // view redraws every row when rows leave.
            lastChanged = dropped_ > 0 ? -1 : std::min(lastChanged, shownRows_ - 1);
            if (dropped_ > 0) {
                beginRemoveRows(QModelIndex(), 0, dropped_ - 1);
                shownRows_ -= dropped_;
                endRemoveRows();
            }
            if (rows > shownRows_) {
                beginInsertRows(QModelIndex(), shownRows_, rows - 1);
                shownRows_ = rows;
                endInsertRows();
            } else if (rows < shownRows_) {
                beginRemoveRows(QModelIndex(), rows, shownRows_ - 1);
                shownRows_ = rows;
                endRemoveRows();
            }
            if (firstChanged <= lastChanged && firstChanged >= 0)
                Q_EMIT dataChanged(index(firstChanged, 0), index(lastChanged, MidiMonitorRows::kColumns - 1),
                                 {Qt::DisplayRole, Qt::ForegroundRole});
        }
        const bool moveCurrent = current_ || reset_;
        reset_ = current_ = false;
        firstWritten_ = std::numeric_limits<int>::max();
        lastWritten_ = -1;
        dropped_ = 0;
        if (moveCurrent && view_ != nullptr && view_->selectionModel() != nullptr) {
            const QModelIndex at = index(rows_.CurrentRow - 1, 0);
            view_->selectionModel()->setCurrentIndex(at,
                                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            if (at.isValid()) view_->scrollTo(at);
        }
    }

    void Stop() { refresh_.stop(); }

private:
    void Schedule() {
        if (!refresh_.isActive()) refresh_.start();
    }

    MidiMonitorRows& rows_;
    QTableView*& view_;
    QTimer refresh_;
    int shownRows_ = 0;
    int dropped_ = 0;
    bool reset_ = false;
    bool current_ = false;
    // Grid rows written since the view was last told.
    int firstWritten_ = std::numeric_limits<int>::max();
    int lastWritten_ = -1;
};

namespace {

// A row with a Count is filled white and its text drawn 2 pixels in from
// the cell's left and top edges in the row's colour, selected or not; the
// empty rows keep the view's own drawing.
class MonitorCellDelegate : public QStyledItemDelegate {
public:
    MonitorCellDelegate(const MidiMonitorRows& rows, QObject* parent) : QStyledItemDelegate(parent), rows_(rows) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const int gridRow = TMidiMonGridForm::GridRowOfViewRow(index.row());
        const MonitorColour colour = rows_.ColourOfRow(gridRow);
        if (colour < 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        // Drawn hundreds of times a frame under a flood: the painter's state
        // is changed only as far as needed and put back by hand.
        const QStaticText& text = Text(rows_.Cell(index.column(), gridRow));
        painter->fillRect(option.rect, Qt::white);
        const QPen pen = painter->pen();
        const QFont font = painter->font();
        painter->setPen(ToQColor(colour));
        if (font != option.font) painter->setFont(option.font);
        const bool clip = text.size().width() + 2 > option.rect.width();
        if (clip) {
            painter->save();
            painter->setClipRect(option.rect);
        }
        painter->drawStaticText(option.rect.topLeft() + QPoint(2, 2), text);
        if (clip) painter->restore();
        if (font != option.font) painter->setFont(font);
        painter->setPen(pen);
    }

private:
    // The cells repeat the same few texts (statuses, channels, values,
    // ports): each is laid out once and drawn from then on. The first
    // column counts up; the cache is emptied when it has grown large.
    const QStaticText& Text(const std::string& cell) const {
        auto it = texts_.find(cell);
        if (it == texts_.end()) {
            if (texts_.size() >= 4096) texts_.clear();
            QStaticText text(FromCp1252(cell));
            text.setTextFormat(Qt::PlainText);
            it = texts_.emplace(cell, std::move(text)).first;
        }
        return it->second;
    }

    const MidiMonitorRows& rows_;
    mutable std::unordered_map<std::string, QStaticText> texts_;
};

}  // namespace

TMidiMonGridForm::TMidiMonGridForm(DeviceModel* model, Notifications* notices, CommandRegistry* commands,
                                   QWidget* parent)
    : TForm(QStringLiteral("MidiMonGridForm"), parent), model_(model), commands_(commands) {
    // What the engine logs is kept as it comes and made into rows once per
    // frame: the engine's handling of each event (thru above all) pays for
    // one append, not for wording a row.
    if (notices)
        monitorLines_ =
            notices->MonitorLine.Subscribe([this](int port, const MidiEvent& event, bool incoming, int source) {
                if (Rows.MonitorEnabled) QueueEvent(port, event, incoming, source);
            });
    if (notices)
        monitorNotes_ = notices->MonitorNote.Subscribe([this](const std::string& status, const std::string& detail) {
            Queue({true, -1, MidiEvent{}, true, status, detail, -1, nullptr});
        });
    frame_.setSingleShot(true);
    connect(&frame_, &QTimer::timeout, this, [this] { SyncGrid(); });
    SetCaption("Midi Monitor");
    // The desktop's sans-serif font at the form's designed 8 points, so the
    // texts fit the designed column widths.
    QFont font = this->font();
    font.setPointSize(8);
    setFont(font);

    MidiLogGrid = new QTableView(this);
    MidiLogGrid->setObjectName(QStringLiteral("MidiLogGrid"));
    gridModel_ = std::make_unique<MonitorGridModel>(Rows, MidiLogGrid);
    Rows.Listener = gridModel_.get();
    MidiLogGrid->setModel(gridModel_.get());
    MidiLogGrid->setItemDelegate(new MonitorCellDelegate(Rows, MidiLogGrid));
    MidiLogGrid->verticalHeader()->hide();
    MidiLogGrid->verticalHeader()->setMinimumSectionSize(MidiMonitorRows::kRowHeight);
    MidiLogGrid->verticalHeader()->setDefaultSectionSize(MidiMonitorRows::kRowHeight);
    MidiLogGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MidiLogGrid->horizontalHeader()->setMinimumSectionSize(8);
    MidiLogGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    MidiLogGrid->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < MidiMonitorRows::kColumns; ++c)
        MidiLogGrid->setColumnWidth(c, MidiMonitorRows::kColumnWidths[c]);
    // A window made narrower than the columns scrolls to the ones cut off.
    MidiLogGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MidiLogGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MidiLogGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    MidiLogGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    MidiLogGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MidiLogGrid->setWordWrap(false);
    MidiLogGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    MidiLogGrid->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(MidiLogGrid);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    RealtimeMessages = PopupMenu1->addAction(QStringLiteral("Realtime Messages"));
    RealtimeMessages->setObjectName(QStringLiteral("RealtimeMessages"));
    RealtimeMessages->setCheckable(true);
    RealtimeMessages->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    Clear1 = PopupMenu1->addAction(QStringLiteral("Clear"));
    Clear1->setObjectName(QStringLiteral("Clear1"));
    Clear1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    PopupMenu1->addSeparator();
    Enable1 = PopupMenu1->addAction(QStringLiteral("Enable Midi Monitor"));
    Enable1->setObjectName(QStringLiteral("Enable1"));
    Enable1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    // The shortcuts work while the window is active, menu open or not.
    for (QAction* a : {RealtimeMessages, Clear1, Enable1}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
    // The item toggles its own check mark when chosen; the rows follow it.
    connect(RealtimeMessages, &QAction::toggled, this, [this](bool on) {
        TakePending();  // the events before the switch follow the old setting
        Rows.RealtimeMessages = on;
    });
    connect(Clear1, &QAction::triggered, this, [this] { Clear1Click(); });
    connect(Enable1, &QAction::triggered, this, [this] { Enable1Click(); });
    connect(MidiLogGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(MidiLogGrid->viewport()->mapToGlobal(pos)); });

    ReadConfiguration();
    ShowEnableCaption();
    if (commands_ != nullptr) {
        commands_->Register(kActiveItem, [this] { Enable1Click(); });
        commands_->SetChecked(kActiveItem, Rows.MonitorEnabled);
    }
}

TMidiMonGridForm::~TMidiMonGridForm() {
    WriteConfiguration();
    if (commands_ != nullptr) commands_->Unregister(kActiveItem);
    monitorLines_.Reset();
    monitorNotes_.Reset();
    frame_.stop();
    Rows.Listener = nullptr;
    gridModel_->Stop();
    MidiLogGrid->setModel(nullptr);
    if (MidiMonGridForm == this) MidiMonGridForm = nullptr;
}

std::string TMidiMonGridForm::ConfigFile() const {
    // The program path the editor was started with, as every other window
    // uses it; without a model, the executable's folder.
    if (model_ == nullptr || model_->ProgramPath.empty()) return ConfigFileName();
    std::string dir = model_->ProgramPath;
    if (dir.back() != '/') dir += '/';
    return dir + "Morvelant.cfg";
}

void TMidiMonGridForm::ReadConfiguration() {
    const TIniFile ini(ConfigFile());
    int top = ini.ReadInteger(kSection, "Top", 329);
    if (top < 0) top = 0;
    const int left = ini.ReadInteger(kSection, "Left", 150);
    const int width = ini.ReadInteger(kSection, "Width", 668);
    const int height = ini.ReadInteger(kSection, "Height", 287);
    SetBounds(left, top, width, height);
    InitFlag = ini.ReadBool(kSection, "Init", true);
    Rows.MonitorEnabled = ini.ReadBool(kSection, "Active Flag", false);
    if (model_ != nullptr) model_->ShowMidiMonitor = ini.ReadBool("Options", "ShowMidiMonitor", false);
}

void TMidiMonGridForm::WriteConfiguration() {
    TIniFile ini(ConfigFile());
    ini.WriteInteger(kSection, "Top", OuterBounds(*this).y());
    ini.WriteInteger(kSection, "Left", OuterBounds(*this).x());
    ini.WriteInteger(kSection, "Width", OuterSize(*this).width());
    ini.WriteInteger(kSection, "Height", OuterSize(*this).height());
    ini.WriteBool(kSection, "Init", InitFlag);
    ini.WriteBool(kSection, "Active Flag", Rows.MonitorEnabled);
    ini.WriteBool("Options", "ShowMidiMonitor", model_ != nullptr && model_->ShowMidiMonitor);
}

void TMidiMonGridForm::ShowEnableCaption() {
    Enable1->setText(Rows.MonitorEnabled ? QStringLiteral("Disable Midi Monitor")
                                         : QStringLiteral("Enable Midi Monitor"));
}

int TMidiMonGridForm::MonitorStateImage(bool enabled, bool visible) {
    return ExplorerStateIcon(EditorWindow::MidiMonGridForm, visible, enabled);
}

void TMidiMonGridForm::LogEvent(int port, const MidiEvent* event, bool incoming) {
    if (event != nullptr) Rows.LogEvent(port, *event, incoming);
}

void TMidiMonGridForm::QueueEvent(int port, const MidiEvent& event, bool incoming, int source) {
    if (event.status != 0xF0) {
        Queue({false, port, event, incoming, {}, {}, source, nullptr});
        return;
    }
    // A long message comes a byte at a time: its bytes are kept once, not a
    // line each.
    if (MidiMonitorRows::SysexBytes message = Rows.GatherSysex(port, incoming, source, event.data1))
        Queue({false, port, event, incoming, {}, {}, source, std::move(message)});
}

void TMidiMonGridForm::Queue(PendingLine line) {
    pending_.push_back(std::move(line));
    if (frame_.isActive()) return;
    // A line after a quiet while shows at the next frame; while lines keep
    // coming, the grid moves only as often as a person can read it, so a
    // flood costs the GUI thread (and the MIDI it handles) little.
    const qint64 since = shown_.isValid() ? shown_.elapsed() : kReadableMs;
    frame_.start(static_cast<int>(std::max<qint64>(kFrameMs, kReadableMs - since)));
}

int TMidiMonGridForm::RowsOnScreen() const {
    // What the grid shows at its present size (hidden or not: it is what the
    // user sees on opening it), never less than the first screen.
    const int height = MidiLogGrid->isVisible() ? MidiLogGrid->viewport()->height() : this->height();
    return std::max(Rows.InitialRows - 1, height / MidiMonitorRows::kRowHeight + 1);
}

void TMidiMonGridForm::TakePending() {
    frame_.stop();
    // Swapped out first: a row's listener may run code that logs again.
    std::vector<PendingLine> lines;
    lines.swap(pending_);
    // A person reads no more than the screen shows: of a frame's lines only
    // the last screenful become rows; those before are counted, and one row
    // says how many were skipped.
    const size_t shown = static_cast<size_t>(RowsOnScreen());
    const size_t first = lines.size() > shown ? lines.size() - shown : 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const PendingLine& line = lines[i];
        const bool show = i >= first;
        if (line.sysex)
            Rows.LogSysex(line.port, line.incoming, line.sysex, show);
        else if (line.note)
            show ? Rows.LogNote(line.status, line.detail) : Rows.SkipNote();
        else if (show)
            Rows.LogEvent(line.port, line.event, line.incoming, line.source);
        else
            Rows.SkipEvent(line.port, line.event, line.incoming, line.source);
    }
    Rows.ShowSkipped();
    lines.clear();
    if (pending_.empty()) pending_.swap(lines);  // keeps the capacity for the next frame
}

void TMidiMonGridForm::SyncGrid() {
    shown_.start();
    TakePending();
    gridModel_->Sync();
}

void TMidiMonGridForm::MidiLogGridMouseDown(int x, int y) {
    MouseX = x;
    MouseY = y;
}

void TMidiMonGridForm::MidiLogGridDblClick() {
    if (MouseX < 0 || MouseY < 0) return;
    const int viewRow = MidiLogGrid->rowAt(MouseY);
    const int column = MidiLogGrid->columnAt(MouseX);
    if (viewRow < 0 || column < 0) return;
    SyncGrid();
    const std::string listing = Rows.HexListing(GridRowOfViewRow(viewRow));
    if (listing.empty()) return;
    if (DataForm) DataForm->AppendListing(listing);
}

void TMidiMonGridForm::Clear1Click() {
    pending_.clear();
    frame_.stop();
    Rows.Clear();
    SyncGrid();
    MidiLogGrid->scrollToTop();
}

void TMidiMonGridForm::Enable1Click() {
    TakePending();  // what came while it was on is shown
    Rows.MonitorEnabled = !Rows.MonitorEnabled;
    ShowEnableCaption();
    if (commands_ != nullptr) commands_->SetChecked(kActiveItem, Rows.MonitorEnabled);
    if (model_ != nullptr && model_->ExplorerReady && ExplorerStateImage)
        ExplorerStateImage(MonitorStateImage(Rows.MonitorEnabled, Visible()));
}

void TMidiMonGridForm::RealtimeMessagesClick() { RealtimeMessages->toggle(); }

void TMidiMonGridForm::FormShow() {
    if (model_ != nullptr) model_->ShowMidiMonitor = true;
}

void TMidiMonGridForm::FormClose(TCloseAction& action) {
    if (model_ != nullptr) model_->ShowMidiMonitor = false;
}

bool TMidiMonGridForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MidiLogGrid->viewport()) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint p = mouse->position().toPoint();
            MidiLogGridMouseDown(p.x(), p.y());
            if (event->type() == QEvent::MouseButtonDblClick) MidiLogGridDblClick();
        }
    }
    return TForm::eventFilter(watched, event);
}

}  // namespace morvelant
