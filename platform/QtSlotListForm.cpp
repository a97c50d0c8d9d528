#include "platform/QtSlotListForm.h"
#include "platform/QtDragStart.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTimer>

#include <chrono>
#include <QToolButton>

#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/QtColors.h"
#include "platform/QtText.h"

namespace morvelant {

namespace {

constexpr int kColumns[4] = {24, 112, 200, 288};
constexpr int kRowsPerColumn = 16;
constexpr int kFirstRowY = 40;
constexpr int kRowHeight = 16;
constexpr int kEditWidth = 65;
constexpr int kButtonSize = 18;

}  // namespace

TSlotListForm::TSlotListForm(const QString& name, QWidget* parent) : TForm(name, parent) {
    QFont font = this->font();
    font.setPointSize(8);
    setFont(font);
    BuildControls();
    setFixedSize(kClientWidth, kClientHeight);
}

TSlotListForm::~TSlotListForm() {
    if (commands_)
        for (const std::string& item : registered_) commands_->Unregister(item);
}

void TSlotListForm::RegisterCommand(CommandRegistry& commands, const std::string& item, std::function<void()> handler) {
    commands_ = &commands;
    commands.Register(item, std::move(handler));
    registered_.push_back(item);
}

void TSlotListForm::BuildControls() {
    Label1 = new QLabel(QStringLiteral("Edit Buffer(s)"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(kColumns[0], 12, 84, 16);

    EditBuffersComboBox = new QComboBox(this);
    EditBuffersComboBox->setObjectName(QStringLiteral("EditBuffersComboBox"));
    EditBuffersComboBox->setGeometry(kColumns[1], 8, kColumns[3] + kEditWidth - kColumns[1], 21);
    EditBuffersComboBox->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    EditBuffersComboBox->setAcceptDrops(true);
    EditBuffersComboBox->installEventFilter(this);
    connect(EditBuffersComboBox, &QComboBox::activated, this, [this](int index) {
        SelectedBuffer = index;
        EditBuffersComboBoxClick();
    });

    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(9);
    for (int i = 0; i < kSlots; ++i) {
        const int x = kColumns[i / kRowsPerColumn];
        const int y = kFirstRowY + kRowHeight * (i % kRowsPerColumn);

        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
        button->setText(QString::number(i + 1));
        button->setCheckable(true);
        button->setGeometry(x - kButtonSize, y, kButtonSize, kButtonSize);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, i] { SpeedButton1Click(i); });
        SpeedButtonList[std::size_t(i)] = button;

        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        edit->setGeometry(x, y, kEditWidth, kRowHeight);
        edit->setFont(fixed);
        edit->setFrame(true);
        edit->setTextMargins(0, 0, 0, 0);
        edit->setAcceptDrops(true);
        edit->setDragEnabled(false);
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this, i] { Edit1Change(i); });
        EditList[std::size_t(i)] = edit;
    }

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3000);
    // Each gap of a series is the delay set, to the millisecond.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void TSlotListForm::SetPopups(QMenu* namePopup, QMenu* bufferPopup) {
    for (QLineEdit* edit : EditList)
        connect(edit, &QWidget::customContextMenuRequested, this, [edit, namePopup](const QPoint& pos) {
            if (namePopup) namePopup->popup(edit->mapToGlobal(pos));
        });
    EditBuffersComboBox->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(EditBuffersComboBox, &QWidget::customContextMenuRequested, this, [this, bufferPopup](const QPoint& pos) {
        if (bufferPopup) bufferPopup->popup(EditBuffersComboBox->mapToGlobal(pos));
    });
}

QAction* TSlotListForm::AddPopupItem(QMenu* menu, const char* name, const char* caption,
                                     std::function<void()> handler) {
    QAction* action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    return action;
}

QMenu* TSlotListForm::AddSubmenu(QMenu* parent, const char* name, const char* caption) {
    QMenu* menu = parent->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

// ---- Display ----------------------------------------------------------------------------

namespace {

// A name as its field shows it: the blanks that pad it to its full length in
// the files are left out, so that End lands after its last character; blanks
// before `keepBefore` (the caret, while the user types them) stay.
std::string Unpadded(std::string name, std::size_t keepBefore = 0) {
    while (name.size() > keepBefore && name.back() == ' ') name.pop_back();
    return name;
}

}  // namespace

void TSlotListForm::SetNameText(int slot, const std::string& text, int caret) {
    if (slot < 0 || slot >= kSlots) return;
    QLineEdit* edit = EditList[std::size_t(slot)];
    const QString shown = FromCp1252(Unpadded(text, std::size_t(std::max(caret, 0))));
    const QSignalBlocker blocker(edit);
    if (edit->text() != shown) edit->setText(shown);
    edit->setCursorPosition(caret);
}

std::string TSlotListForm::NameText(int slot) const {
    return slot >= 0 && slot < kSlots ? ToCp1252(EditList[std::size_t(slot)]->text()) : std::string();
}

int TSlotListForm::NameCaret(int slot) const {
    return slot >= 0 && slot < kSlots ? EditList[std::size_t(slot)]->cursorPosition() : 0;
}

StorableText TSlotListForm::TypedNameText(int slot) const {
    if (slot < 0 || slot >= kSlots) return {};
    const QLineEdit* edit = EditList[std::size_t(slot)];
    return ToStorable(edit->text(), edit->cursorPosition());
}

void TSlotListForm::SayNameNotTaken(int slot, const QString& refused, const std::string& dropped) {
    if (slot < 0 || slot >= kSlots) return;
    SayNameNotStored(EditList[std::size_t(slot)], refused, dropped,
                     QStringLiteral("A name keeps 8 characters of Windows-1252: no control characters, no { | } ~."));
}

void TSlotListForm::ShowSlotName(int slot) {
    if (slot >= 0 && slot < kSlots) {
        const std::string name = ListSlotName(slot);
        if (Unpadded(NameText(slot)) != Unpadded(name)) SetNameText(slot, name, 0);
        return;
    }
    const int item = slot - kSlots;
    if (item < 0 || item >= ListBufferCount() || item >= EditBuffersComboBox->count()) return;
    const QString name = FromCp1252(ListSlotName(slot));
    if (EditBuffersComboBox->itemText(item) != name) {
        const QSignalBlocker blocker(EditBuffersComboBox);
        EditBuffersComboBox->setItemText(item, name);
    }
}

void TSlotListForm::ShowAllNames() {
    for (int i = 0; i < kSlots; ++i) ShowSlotName(i);
    const int count = ListBufferCount();
    {
        const QSignalBlocker blocker(EditBuffersComboBox);
        while (EditBuffersComboBox->count() > count) EditBuffersComboBox->removeItem(EditBuffersComboBox->count() - 1);
        while (EditBuffersComboBox->count() < count)
            EditBuffersComboBox->addItem(FromCp1252(ListSlotName(kSlots + EditBuffersComboBox->count())));
        for (int b = 0; b < count; ++b) ShowSlotName(kSlots + b);
        SelectedBuffer = std::clamp(SelectedBuffer, 0, count - 1);
        EditBuffersComboBox->setCurrentIndex(SelectedBuffer);
    }
    ShowMarks();
}

void TSlotListForm::ShowMarks() {
    for (int i = 0; i < kSlots; ++i) {
        QToolButton* button = SpeedButtonList[std::size_t(i)];
        const QSignalBlocker blocker(button);
        button->setChecked(ListMarked(i));
    }
    PaintNameColours();
}

int TSlotListForm::SlotAfterKey(int slot, int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
    int next = -1;
    if (mods == Qt::NoModifier) {
        switch (key) {
            case Qt::Key_Up: next = slot - 1; break;
            case Qt::Key_Down: next = slot + 1; break;
            case Qt::Key_PageUp: next = slot - kRowsPerColumn; break;
            case Qt::Key_PageDown: next = slot + kRowsPerColumn; break;
            default: return -1;
        }
    } else if (mods == Qt::ControlModifier && (key == Qt::Key_Home || key == Qt::Key_End)) {
        next = key == Qt::Key_Home ? 0 : kSlots - 1;
    } else {
        return -1;
    }
    return std::clamp(next, 0, kSlots - 1);
}

int32_t TSlotListForm::NameColour(int slot) const {
    if (slot < 0 || slot >= kSlots) return clWindow;
    if (slot == ListCurrentSlot()) return clYellow;
    return ListMarked(slot) ? clRed : clWindow;
}

void TSlotListForm::PaintNameColours() {
    for (int i = 0; i < kSlots; ++i) {
        QLineEdit* edit = EditList[std::size_t(i)];
        const QColor colour = ToQColor(NameColour(i));
        if (edit->palette().color(QPalette::Base) == colour) continue;
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, colour);
        edit->setPalette(palette);
    }
}

void TSlotListForm::FocusQuietly(QWidget* widget) {
    quietFocus_ = true;
    widget->setFocus(Qt::OtherFocusReason);
    quietFocus_ = false;
}

void TSlotListForm::FocusCurrentSlot() {
    if (!isVisible()) return;
    const int current = ListCurrentSlot();
    if (current >= 0 && current < kSlots) {
        QLineEdit* edit = EditList[std::size_t(current)];
        FocusQuietly(edit);
        edit->setCursorPosition(0);
        edit->deselect();
        const QSignalBlocker blocker(EditBuffersComboBox);
        EditBuffersComboBox->setCurrentIndex(SelectedBuffer);
    } else if (current >= kSlots && current < kSlots + ListBufferCount()) {
        SelectedBuffer = current - kSlots;
        {
            const QSignalBlocker blocker(EditBuffersComboBox);
            EditBuffersComboBox->setCurrentIndex(SelectedBuffer);
        }
        FocusQuietly(EditBuffersComboBox);
    }
}

// ---- Marks --------------------------------------------------------------------------------

void TSlotListForm::SpeedButton1Click(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    ListSetMarked(slot, SpeedButtonList[std::size_t(slot)]->isChecked());
    PaintNameColours();
}

void TSlotListForm::SelectAllSlots() {
    for (int i = 0; i < kSlots; ++i) ListSetMarked(i, true);
    ShowMarks();
}

void TSlotListForm::DeselectAllSlots() {
    for (int i = 0; i < kSlots; ++i) ListSetMarked(i, false);
    ShowMarks();
}

void TSlotListForm::ToggleSelection() {
    for (int i = 0; i < kSlots; ++i) ListSetMarked(i, !ListMarked(i));
    ShowMarks();
}

// ---- Drag and drop ---------------------------------------------------------------------------

QMimeData* TSlotListForm::MakeDragData(int slot) const {
    auto* data = new QMimeData;
    const QString what = slot >= 0 ? QStringLiteral("name %1").arg(slot) : QStringLiteral("buffers");
    data->setData(QString::fromLatin1(kDragMimeType), (objectName() + QLatin1Char(' ') + what).toUtf8());
    return data;
}

bool TSlotListForm::AcceptsDrop(const QMimeData* data) const {
    if (data == nullptr || !data->hasFormat(QString::fromLatin1(kDragMimeType))) return false;
    const QString payload = QString::fromUtf8(data->data(QString::fromLatin1(kDragMimeType)));
    const QString prefix = objectName() + QLatin1Char(' ');
    if (!payload.startsWith(prefix)) return false;
    const QString what = payload.mid(prefix.size());
    if (what == QLatin1String("buffers")) return true;
    bool ok = false;
    const int slot = what.startsWith(QLatin1String("name ")) ? what.mid(5).toInt(&ok) : -1;
    return ok && slot >= 0 && slot < kSlots;
}

bool TSlotListForm::HandleDrag(QWidget* target, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* e = static_cast<QDragMoveEvent*>(event);
            if (AcceptsDrop(e->mimeData()))
                e->acceptProposedAction();
            else
                e->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(event);
            if (!AcceptsDrop(e->mimeData())) {
                e->ignore();
                return true;
            }
            e->acceptProposedAction();
            if (target == EditBuffersComboBox)
                EditBuffersComboBoxDragDrop();
            else
                Edit1DragDrop(SlotOfEdit(target));
            return true;
        }
        default: return false;
    }
}

int TSlotListForm::SlotOfEdit(const QObject* object) const {
    for (int i = 0; i < kSlots; ++i)
        if (EditList[std::size_t(i)] == object) return i;
    return -1;
}

bool TSlotListForm::eventFilter(QObject* watched, QEvent* event) {
    const bool combo = watched == EditBuffersComboBox;
    const int slot = combo ? -1 : SlotOfEdit(watched);
    if (!combo && slot < 0) return TForm::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    if (HandleDrag(widget, event)) return true;

    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            const int next = combo ? -1 : SlotAfterKey(slot, key->key(), key->modifiers());
            if (next < 0) break;
            // Moving from field to field is entering the next one by keyboard.
            if (next != slot) {
                FocusQuietly(EditList[std::size_t(next)]);
                Edit1Enter(next);
            }
            return true;
        }
        case QEvent::FocusIn: {
            // Only the user's own entering by keyboard counts; a press does
            // its selecting itself, and the window's activation or a focus
            // set by the program selects nothing.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            const bool byKeyboard =
                reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
            if (quietFocus_ || !byKeyboard) break;
            if (combo) {
                if (EditBuffersComboBox->currentIndex() >= 0) {
                    SelectedBuffer = EditBuffersComboBox->currentIndex();
                    EditBuffersComboBoxEnter();
                }
            } else {
                Edit1Enter(slot);
            }
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (combo) {
                comboPressed_ = e->button() == Qt::LeftButton;
                pressPos_ = e->position().toPoint();
                break;
            }
            Edit4MouseDown(slot, e->button(), e->modifiers());
            if (e->button() == Qt::LeftButton) {
                pressSlot_ = slot;
                pressPos_ = e->position().toPoint();
            }
            if (event->type() == QEvent::MouseButtonDblClick) Edit1DblClick(slot);
            break;
        }
        case QEvent::MouseButtonRelease:
            pressSlot_ = -1;
            comboPressed_ = false;
            break;
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (!(e->buttons() & Qt::LeftButton) || (pressSlot_ < 0 && !comboPressed_)) break;
            if (!DragDistanceReached(e, pressPos_)) break;
            const int dragged = combo ? -1 : pressSlot_;
            pressSlot_ = -1;
            comboPressed_ = false;
            auto* drag = new QDrag(widget);
            drag->setMimeData(MakeDragData(dragged));
            drag->exec(Qt::CopyAction);
            return true;
        }
        default: break;
    }
    return TForm::eventFilter(watched, event);
}

// ---- Timed series -------------------------------------------------------------------------

bool TSlotListForm::SeriesRunning() const { return Timer1->isActive(); }

void TSlotListForm::StartSeries() {
    Timer1Tag = 0;
    int count = 0;
    int first = -1;
    for (int i = 0; i < kSlots; ++i)
        if (ListMarked(i)) {
            ++count;
            if (first < 0) first = i;
        }
    if (first < 0 || !SeriesMayStart()) return;  // nothing marked: no dialog, no timer
    Timer1->stop();
    if (progress_) progress_->StartProgress(*this, count, first, ListSlotName(first));
    if (!SendSeriesSlot(first)) {
        EndSeries();
        return;
    }
    if (progress_) progress_->StepProgress();
    Timer1Tag = first + 1;
    int interval = SeriesInterval();
    if (DelayEdit) {
        constexpr int kDefaultDelay = 3000;
        if (!TIniFile::ParseInteger(DelayEdit->text().trimmed().toStdString(), interval) || interval <= 0) {
            interval = kDefaultDelay;
            DelayEdit->setText(QString::number(kDefaultDelay));
        }
    }
    Series.Start(SeriesNow(), interval);
    Timer1->setInterval(interval);
    Timer1->start();
}

int64_t TSlotListForm::SeriesNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TSlotListForm::Timer1Timer() {
    Series.Tick(SeriesNow());
    int next = -1;
    for (int i = std::max(Timer1Tag, 0); i < kSlots && next < 0; ++i)
        if (ListMarked(i)) next = i;
    if (next < 0) {
        EndSeries();
        return;
    }
    // A failed send reports in a modal box: no tick may come in meanwhile.
    Timer1->stop();
    if (progress_) progress_->ShowProgressItem(next, ListSlotName(next));
    if (!SendSeriesSlot(next)) {
        EndSeries();
        return;
    }
    if (progress_) progress_->StepProgress();
    Timer1Tag = next + 1;
    // Due from the series' start, not from this tick: the send's own time
    // and the timer's latency do not add up over the series.
    Timer1->start(Series.NextWait(SeriesNow()));
}

void TSlotListForm::StopSendSeries() { Timer1->stop(); }

void TSlotListForm::EndSeries() {
    Timer1->stop();
    if (progress_) progress_->EndProgress(*this);
}

void TSlotListForm::ShowBufferDrop(int buffer) {
    if (buffer < 0)
        CurrentDialogs().MessageBox("No more Buffer available", "ok");
    else
        SelectedBuffer = buffer;
    ShowAllNames();
}

bool TSlotListForm::WarnUnlessEmpty(const std::string& warning, const char* caption) {
    if (warning.empty()) return true;
    CurrentDialogs().MessageBox(warning, caption, MessageButtons::Ok, MessageIcon::Warning);
    return false;
}

}  // namespace morvelant
