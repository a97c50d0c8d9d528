#include "patterns/PickerWindows.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPointer>

#include "patterns/ChannelFormUnit.h"
#include "patterns/Controller1.h"
#include "patterns/Drumkit.h"
#include "patterns/LongPiano.h"
#include "patterns/NoteGateTimesUnit.h"
#include "patterns/TrackEdit.h"
#include "patterns/Values1.h"

namespace morvelant {

namespace {

// The control the user last pressed or opened a menu on, outside the popup
// menus, and where: the control that calls a picker. Watches the
// application's events; it only looks at their type.
class CallerWatch : public QObject {
public:
    using QObject::QObject;
    QPointer<QWidget> control;
    QPoint at;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool press = event->type() == QEvent::MouseButtonPress;
        if (!(press || event->type() == QEvent::ContextMenu) || !watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        // An event the control leaves unused goes on to its parents: the
        // first receiver is the control.
        const quint64 time = static_cast<QInputEvent*>(event)->timestamp();
        if (time == time_ && control != nullptr && widget->isAncestorOf(control)) return false;
        if (widget->window()->windowType() == Qt::Popup) return false;
        time_ = time;
        control = widget;
        at = press ? static_cast<QMouseEvent*>(event)->position().toPoint()
                   : static_cast<QContextMenuEvent*>(event)->pos();
        return false;
    }

private:
    quint64 time_ = 0;
};

QPointer<CallerWatch>& Watch() {
    static QPointer<CallerWatch> watch;
    return watch;
}

// The screen rectangle of the control that called a picker: the one last
// pressed in the window the user is in (the cell pressed in a grid), else
// that window's focused control (its current cell).
QRect CallerRect() {
    QWidget* window = QApplication::activeWindow();
    if (window == nullptr) return {};
    const auto global = [](QWidget* w, QRect r) { return QRect(w->mapToGlobal(r.topLeft()), r.size()); };
    CallerWatch* watch = Watch();
    if (watch != nullptr && watch->control != nullptr && watch->control->window() == window &&
        watch->control->isVisible()) {
        QWidget* control = watch->control;
        if (auto* view = qobject_cast<QAbstractItemView*>(control->parentWidget());
            view != nullptr && view->viewport() == control && view->indexAt(watch->at).isValid())
            return global(control, view->visualRect(view->indexAt(watch->at)));
        return global(control, control->rect());
    }
    QWidget* focus = window->focusWidget();
    if (focus == nullptr) return global(window, QRect(0, 0, 1, 1));
    if (auto* view = qobject_cast<QAbstractItemView*>(focus); view != nullptr && view->currentIndex().isValid())
        return global(view->viewport(), view->visualRect(view->currentIndex()));
    return global(focus, focus->rect());
}

void Place(TForm& form, std::optional<PickerPlace> place) {
    if (!place) return PlaceByCaller(form);
    form.move(place->left, place->top);
    KeepOnScreen(form);
}

}  // namespace

PickerWindows::PickerWindows(PickerForms forms) : forms_(forms) {
    if (Watch() == nullptr && QCoreApplication::instance() != nullptr) {
        Watch() = new CallerWatch(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(Watch());
    }
}

void PlaceByCaller(TForm& picker) {
    const QRect caller = CallerRect();
    if (caller.isValid()) picker.move(caller.left(), caller.bottom() + 1);
    KeepOnScreen(picker);
}

TForm* PickerWindows::FormOf(PickerKind kind) const {
    switch (kind) {
        case PickerKind::Values: return forms_.values;
        case PickerKind::Controllers: return forms_.controllers;
        case PickerKind::Piano: return forms_.piano;
        case PickerKind::Drumkit: return forms_.drumkit;
    }
    return nullptr;
}

int PickerWindows::Pick(PickerKind kind, int code, std::optional<PickerPlace> place) {
    TForm* form = FormOf(kind);
    if (form == nullptr) return kPickEnd;
    switch (kind) {
        case PickerKind::Values: forms_.values->TargetCode = code; break;
        case PickerKind::Controllers: forms_.controllers->TargetCode = code; break;
        case PickerKind::Piano: forms_.piano->TargetCode = code; break;
        case PickerKind::Drumkit: forms_.drumkit->TargetCode = code; break;
    }
    Place(*form, place);
    return form->ShowModal();
}

int PickerWindows::PickTrack(TrackPickerKind kind, int mode, int track, int callerFlag,
                             std::optional<PickerPlace> place) {
    TrackPickerForm* form = kind == TrackPickerKind::TimeCodes ? static_cast<TrackPickerForm*>(forms_.timeCodes)
                                                               : static_cast<TrackPickerForm*>(forms_.channels);
    if (form == nullptr) return kPickEnd;
    form->Mode = mode;
    form->Track = track;
    form->CallerFlag = callerFlag;
    Place(*form, place);
    return form->ShowModal();
}

int PickerWindows::PickerWidth(PickerKind kind) const {
    const TForm* form = FormOf(kind);
    return form ? form->frameGeometry().width() : 0;
}

int PickerWindows::TrackPickerWidth(TrackPickerKind kind) const {
    const TForm* form = kind == TrackPickerKind::TimeCodes ? static_cast<const TForm*>(forms_.timeCodes)
                                                           : static_cast<const TForm*>(forms_.channels);
    return form ? form->frameGeometry().width() : 0;
}

// The pattern windows count 1 as "go on" and anything else as the end.
namespace {
int Walk(int result) { return result == kPickAdvance ? 1 : 0; }
}  // namespace

int PickerWindows::PianoKeyboard(int code, int left, int top) {
    return Walk(Pick(PickerKind::Piano, code, PickerPlace{left, top}));
}
int PickerWindows::NumericalValues(int code) { return Walk(Pick(PickerKind::Values, code)); }
int PickerWindows::MidiControllers(int code) { return Walk(Pick(PickerKind::Controllers, code)); }
int PickerWindows::TimePicker(int mode, int track, int x, int y) {
    return Walk(PickTrack(TrackPickerKind::TimeCodes, mode, track, 0, PickerPlace{x, y}));
}
int PickerWindows::ChannelPicker(int mode, int track, int x, int y) {
    return Walk(PickTrack(TrackPickerKind::Channels, mode, track, 0, PickerPlace{x, y}));
}

void PickerWindows::CloseTimePicker() {
    if (forms_.timeCodes != nullptr && forms_.timeCodes->Visible()) forms_.timeCodes->Close();
}

void PickerWindows::ShowTrackTools() {
    if (forms_.trackTools != nullptr) forms_.trackTools->Show();
}

bool PickerWindows::TrackToolsVisible() const { return forms_.trackTools != nullptr && forms_.trackTools->Visible(); }

}  // namespace morvelant
