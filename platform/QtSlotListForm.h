// The list window that the preset list and the pattern list share: 64 name
// fields with a select button each for the device slots 0..63, and a combo
// box for the edit buffers (slots 64 on). It knows nothing of presets or
// patterns: the derived window says what each slot is called, which one is
// current, which are marked and how many buffers are in use, and it carries
// out what the user asks (typing a name, choosing, dropping, sending).
//
// Shared here: the controls and their layout, the colours of the name fields
// (window colour, red when marked, yellow for the current slot), the marks,
// the buffer list, the focus on the current slot, the drags between the name
// fields and onto the buffer list, and the timed series that sends the
// marked slots one per tick with the progress dialog.
#pragma once

#include <QPoint>
#include <QString>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/CommandRegistry.h"
#include "platform/QtFormBase.h"
#include "platform/QtText.h"
#include "platform/SendProgress.h"
#include "platform/SeriesSchedule.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QTimer;
class QToolButton;

namespace morvelant {

class TSlotListForm : public TForm, public SendSeries {
    Q_OBJECT

public:
    static constexpr int kSlots = 64;
    // The client area; the fields do not move, so the window keeps its size.
    static constexpr int kClientWidth = 368;
    static constexpr int kClientHeight = 333;
    // The private type of a drag of this kind of list; the payload names the
    // list ("PresetForm") and what was dragged ("name 12" or "buffers").
    static constexpr char kDragMimeType[] = "application/x-morvelant-slot-list";

    TSlotListForm(const QString& name, QWidget* parent = nullptr);
    ~TSlotListForm() override;

    // ---- Components ----------------------------------------------------------
    std::array<QLineEdit*, kSlots> EditList{};  // Edit1 .. Edit64
    std::array<QToolButton*, kSlots> SpeedButtonList{};  // SpeedButton1 .. SpeedButton64
    QLabel* Label1 = nullptr;
    QComboBox* EditBuffersComboBox = nullptr;
    QTimer* Timer1 = nullptr;
    // The slot from which the series searches for the next marked slot.
    int Timer1Tag = 0;
    // When the series' ticks are due (from its start), and the clock it
    // reads: milliseconds of the monotonic clock.
    SeriesSchedule Series;
    static int64_t SeriesNow();

    // The last left press on a name field had Shift held: a drop exchanges.
    bool DragExchange = false;
    // The buffer shown in the combo box (0-based).
    int SelectedBuffer = 0;

    // The progress dialog of the timed series (not owned; may stay null).
    void SetSendProgress(SendProgress* progress) { progress_ = progress; }
    // The MIDI settings' delay box of this kind of series (not owned). While
    // it is set, a series takes its interval from the box's text: a text
    // that is no whole number, or a delay of 0 or less, gives 3000 ms and
    // the box then reads "3000". Unset: SeriesInterval().
    QLineEdit* DelayEdit = nullptr;

    // ---- Display ----------------------------------------------------------------
    // The name of one slot into its field or buffer item (nothing for a slot
    // outside 0 .. 63 + buffers), under a signal blocker.
    void ShowSlotName(int slot);
    // Every name, the buffer list rebuilt to one item per buffer in use, the
    // marks and the colours.
    void ShowAllNames();
    // The select buttons from the marks, then the colours.
    void ShowMarks();
    // Window colour, red for marked, yellow for the current device slot.
    void PaintNameColours();
    // With the window visible: the current slot's field (or the buffer list)
    // takes the focus, without counting as the user entering it.
    void FocusCurrentSlot();
    // The slot that a navigation key in name field `slot` moves to: Up and
    // Down by one, Page Up and Page Down by a column, Ctrl+Home and Ctrl+End
    // to the first and the last; -1 for any other key.
    static int SlotAfterKey(int slot, int key, Qt::KeyboardModifiers modifiers);
    // The colour a name field shows now (for checks), as 0x00BBGGRR.
    int32_t NameColour(int slot) const;

    // ---- Marks --------------------------------------------------------------------
    void SpeedButton1Click(int slot);
    void SelectAllSlots();
    void DeselectAllSlots();
    void ToggleSelection();

    // ---- Drag and drop ---------------------------------------------------------------
    // What a drag started on a name field (slot 0..63) or on the buffer list
    // (slot -1) carries.
    QMimeData* MakeDragData(int slot) const;
    // Whether a drop of this data is one of ours: a name field or the buffer
    // list of a list window of the same name.
    bool AcceptsDrop(const QMimeData* data) const;

    // ---- Timed series ------------------------------------------------------------------
    // Sends the lowest marked slot at once and the others one per tick.
    void StartSeries();
    void Timer1Timer();
    void StopSendSeries() override;
    bool SeriesRunning() const;

protected:
    // ---- What the derived window says of its records -------------------------------
    virtual std::string ListSlotName(int slot) const = 0;
    virtual int ListCurrentSlot() const = 0;
    virtual int ListBufferCount() const = 0;
    virtual bool ListMarked(int slot) const = 0;
    virtual void ListSetMarked(int slot, bool marked) = 0;

    // ---- What it does -------------------------------------------------------------------
    // The text of name field `slot` was edited.
    virtual void Edit1Change(int slot) = 0;
    // The user entered a name field by keyboard.
    virtual void Edit1Enter(int slot) = 0;
    // A press on a name field (the field has not taken the focus yet).
    virtual void Edit4MouseDown(int slot, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) = 0;
    virtual void Edit1DblClick(int slot) {}
    virtual void Edit1DragDrop(int slot) = 0;
    // A buffer item was chosen; the user entered the list with an item chosen.
    virtual void EditBuffersComboBoxClick() = 0;
    virtual void EditBuffersComboBoxEnter() = 0;
    virtual void EditBuffersComboBoxDragDrop() = 0;
    // Series: whether it may start (warns itself when not); send one slot,
    // false when it failed (reported by the derived window) and the series
    // ends; the interval in milliseconds.
    virtual bool SeriesMayStart() = 0;
    virtual bool SendSeriesSlot(int slot) = 0;
    virtual int SeriesInterval() const = 0;

    // The name field shows `text` with the caret at `caret`, no change
    // handler running.
    void SetNameText(int slot, const std::string& text, int caret);
    std::string NameText(int slot) const;
    int NameCaret(int slot) const;
    // The name field's text as the user left it, as stored: the characters
    // the code page lacks are left out (and named), the caret counted in
    // what is kept.
    StorableText TypedNameText(int slot) const;
    // Tells at once, beside the name field, what was typed and not taken:
    // `refused` (not in the code page) and `dropped` (bytes a name does not take).
    void SayNameNotTaken(int slot, const QString& refused, const std::string& dropped);
    // After a drop on the buffer list: `buffer` becomes the one shown, or
    // "No more Buffer available" when it is -1 (none was free); then every
    // name anew.
    void ShowBufferDrop(int buffer);
    // Shows `warning` in a warning box unless it is empty; true when empty.
    static bool WarnUnlessEmpty(const std::string& warning, const char* caption);
    // Gives a name field the focus without it counting as entering it.
    void FocusQuietly(QWidget* widget);
    void SetPopups(QMenu* namePopup, QMenu* bufferPopup);
    // Registers a menu command of this window; it is given back when the
    // window goes.
    void RegisterCommand(CommandRegistry& commands, const std::string& item, std::function<void()> handler);
    // Popup building: an item (named, captioned, running `handler`) and a submenu.
    QAction* AddPopupItem(QMenu* menu, const char* name, const char* caption, std::function<void()> handler);
    static QMenu* AddSubmenu(QMenu* parent, const char* name, const char* caption);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    int SlotOfEdit(const QObject* object) const;
    bool HandleDrag(QWidget* target, QEvent* event);
    void EndSeries();

    SendProgress* progress_ = nullptr;
    CommandRegistry* commands_ = nullptr;
    std::vector<std::string> registered_;
    bool quietFocus_ = false;
    int pressSlot_ = -1;
    QPoint pressPos_;
    bool comboPressed_ = false;
};

}  // namespace morvelant
