#include "platform/QtFormBase.h"
#include "platform/QtDialogKeys.h"
#include "platform/QtFormFrame.h"
#include "platform/QtFrameExtents.h"

#include "platform/QtApplicationFilter.h"
#include "platform/QtPasteGuard.h"
#include "platform/QtText.h"
#include "platform/QtWheelFocus.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHideEvent>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

namespace morvelant {

namespace {

FormEventHook& Hook() {
    static FormEventHook hook;
    return hook;
}

void Report(TForm& form, FormEvent event) {
    // Copy first: the hook may replace itself while it runs.
    if (FormEventHook hook = Hook()) hook(form, event);
}

struct FrameState {
    QSize outer;  // asked for by SetBounds, not yet applied in a frame
    QSize client;  // the size SetBounds gave: a size set after it is the program's own and stays
    int outerHeight = 0;  // KeepOuterHeight's, 0 for none
    bool framing = false;  // shown from its stored place, not yet framed
    // The frame the window manager told before the map: Qt's widget, whose
    // client area the frame then never moves, does not learn it.
    std::optional<QMargins> told;
};

std::map<const TForm*, FrameState>& Frames() {
    static std::map<const TForm*, FrameState> frames;
    return frames;
}

QPointer<const TForm>& MenuStrip() {
    static QPointer<const TForm> strip;
    return strip;
}

// The frame as the window system knows it now: none before the window
// manager has framed the window, nor where there is no window manager.
QMargins FrameMargins(const QWidget& form) {
    const QWindow* window = form.windowHandle();
    return window != nullptr ? window->frameMargins() : QMargins();
}

QRect OuterRect(const TForm& form) {
    // Once the frame is known, the window system's own figures: Qt's widget
    // does not learn a frame that came without a move of its client area.
    if (!FrameMargins(form).isNull()) return form.windowHandle()->frameGeometry();
    if (const auto it = Frames().find(&form); it != Frames().end() && it->second.told)
        return form.geometry().marginsAdded(*it->second.told);
    // The frame's corner is pos(), not frameGeometry()'s: while a window
    // placed before it was made is being shown, its position still counts
    // the frame that Qt has just learned, which frameGeometry() adds again.
    return {form.pos(), form.frameGeometry().size()};
}

// Puts the frame's corner there. A window whose frame the widget does not
// know is moved by its frame position: the widget's move would place its
// client area by the frame it believes in.
void MoveOuter(TForm& form, QPoint corner) {
    const QRect outer = form.frameGeometry(), client = form.geometry();
    const QMargins known(client.left() - outer.left(), client.top() - outer.top(), outer.right() - client.right(),
                         outer.bottom() - client.bottom());
    if (form.windowHandle() != nullptr && known != FrameMargins(form))
        form.windowHandle()->setFramePosition(corner);
    else
        form.move(corner);
}

// Where an outer rectangle lies wholly on the screen it is on (the primary
// screen when on none), moved no further than it must.
QPoint OnScreen(const QRect& frame) {
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return frame.topLeft();
    const QRect s = screen->availableGeometry();
    return {std::max(s.left(), std::min(frame.x(), s.right() + 1 - frame.width())),
            std::max(s.top(), std::min(frame.y(), s.bottom() + 1 - frame.height()))};
}

// Gives a window the client size its stored outer size leaves inside
// `frame`, unless the program has sized it since.
void TakeOuterSize(TForm& form, const QMargins& frame) {
    FrameState& state = Frames()[&form];
    const bool stored = state.outer.isValid() && form.size() == state.client;
    if (state.outerHeight > 0) form.setFixedHeight(state.outerHeight - frame.top() - frame.bottom());
    if (stored) form.resize(state.outer.shrunkBy(frame));
    state.outer = QSize();
}

// Where an outer rectangle goes: wholly on the screen, and its title bar
// (`titleHeight` high) not under the menu strip. A window with no frame
// (no window manager) has its top row for a title bar: what it takes to
// move it is there.
QPoint FittedCorner(const QWidget& form, QRect outer, int titleHeight) {
    outer.moveTopLeft(OnScreen(outer));
    const TForm* strip = MenuStrip();
    if (strip != nullptr && strip != &form && strip->isVisible()) {
        const QRect stripOuter = OuterRect(*strip);
        if (QRect(outer.left(), outer.top(), outer.width(), std::max(titleHeight, 1)).intersects(stripOuter))
            outer.moveTop(stripOuter.bottom() + 1);
    }
    return outer.topLeft();
}

// Places a window shown from its stored place; `framed` once the window
// manager has framed it (or will not): then it takes its outer size.
void FitIntoFrame(TForm& form, bool framed) {
    const QMargins frame = FrameMargins(form);
    if (framed) TakeOuterSize(form, frame);
    const QRect outer = OuterRect(form);
    const QPoint corner = FittedCorner(form, outer, frame.top());
    if (corner != outer.topLeft()) MoveOuter(form, corner);
}

// Places a window that is made but not mapped, with the frame the window
// manager is going to give it: its client area goes where it will stand
// inside that frame, so the window manager frames it there and need not
// move it. `corner` is where the frame's corner was asked for.
void FitBeforeMap(TForm& form, const QMargins& frame, QPoint corner) {
    TakeOuterSize(form, frame);
    Frames()[&form].told = frame;
    const QSize client = form.size();
    corner = FittedCorner(form, QRect(corner, client.grownBy(frame)), frame.top());
    form.setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), client));
}

// Places a dialog of the toolkit's (a message box, a file, folder, colour,
// print or progress dialog) where the toolkit put it, but wholly on the
// screen and with its title bar below the menu strip, before the window is
// mapped, in the frame the window manager is about to give it: the window
// manager then frames it there and never moves it.
class DialogPlacement : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || event->spontaneous()) return false;
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog == nullptr || !dialog->isWindow() || dialog->windowHandle() == nullptr ||
            (dialog->windowFlags() & (Qt::FramelessWindowHint | Qt::BypassWindowManagerHint)))
            return false;
        // Known already when it was shown before.
        QMargins frame = FrameMargins(*dialog);
        if (frame.isNull()) frame = FrameBeforeMap(*dialog->windowHandle()).value_or(QMargins());
        const QRect client = dialog->geometry();
        // Its frame's corner is where the toolkit moved it, the frame's
        // widths not yet counted.
        const QPoint corner = FittedCorner(*dialog, QRect(dialog->pos(), client.size().grownBy(frame)), frame.top());
        const QRect placed(corner + QPoint(frame.left(), frame.top()), client.size());
        if (placed != client) dialog->setGeometry(placed);
        return false;
    }
};

// Calls `framed` once, at the window's first exposure after a show: the
// window manager has framed it by then, and the window system knows the frame.
class FirstExposure : public QObject {
public:
    FirstExposure(QWindow* window, std::function<void()> framed) : QObject(window), framed_(std::move(framed)) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            deleteLater();
            framed_();
        }
        return false;
    }

private:
    std::function<void()> framed_;
};

}  // namespace

void SetFormEventHook(FormEventHook hook) { Hook() = std::move(hook); }

void KeepOnScreen(TForm& form) {
    const QRect frame = OuterRect(form);
    const QPoint corner = OnScreen(frame);
    if (corner != frame.topLeft()) MoveOuter(form, corner);
}

QSize OuterSize(const TForm& form) {
    const auto it = Frames().find(&form);
    return it != Frames().end() && it->second.outer.isValid() ? it->second.outer : OuterRect(form).size();
}

QRect OuterBounds(const TForm& form) { return OuterRect(form); }

void SetMenuStrip(const TForm* strip) {
    MenuStrip() = strip;
    InstallApplicationFilterOnce<DialogPlacement>();
}

void KeepOuterHeight(TForm& form, int height) { Frames()[&form].outerHeight = height; }

void HandKeysBack(QWidget* had) {
    QWidget* back = had != nullptr && had->isVisible() ? had : const_cast<TForm*>(MenuStrip().data());
    if (back != nullptr && back->isVisible()) back->activateWindow();
}

TForm::TForm(const QString& name, QWidget* parent) : QWidget(parent, Qt::Window) {
    if (!name.isEmpty()) setObjectName(name);
    GuardChoicesFromPassingWheel();
    GuardTextBoxesFromPastesWithoutText();
    MarkFocusInEveryDialog();
    Report(*this, FormEvent::Created);
}

TForm::~TForm() {
    if (modalLoop_ != nullptr) modalLoop_->exit(mrCancel);
    Report(*this, FormEvent::Destroyed);
    Frames().erase(this);
}

void TForm::Show() {
    show();
    raise();
    activateWindow();
}

void TForm::ShowAside() {
    if (isVisible()) return;
    const bool quiet = testAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
    setAttribute(Qt::WA_ShowWithoutActivating, quiet);
}

void TForm::Hide() { hide(); }

bool TForm::Close() { return RunClose(); }

bool TForm::RunClose() {
    if (closing_) return false;
    closing_ = true;
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        closing_ = false;
        return false;
    }
    TCloseAction action = TCloseAction::caHide;
    FormClose(action);
    closing_ = false;
    switch (action) {
        case TCloseAction::caNone: return false;
        case TCloseAction::caMinimize: showMinimized(); return true;
        case TCloseAction::caHide:
        case TCloseAction::caFree: break;
    }
    if (modalLoop_ != nullptr && modalResult_ == mrNone) modalResult_ = mrCancel;
    hide();
    Report(*this, FormEvent::Closed);
    if (action == TCloseAction::caFree) deleteLater();
    return true;
}

int TForm::ShowModal() {
    if (modalLoop_ != nullptr) return mrNone;  // already modal
    modalResult_ = mrNone;
    const Qt::WindowModality previous = windowModality();
    if (isVisible()) hide();  // modality changes only while hidden
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    modalLoop_ = &loop;
    QPointer<TForm> self(this);
    Show();
    if (modalResult_ == mrNone && isVisible()) loop.exec();
    if (!self) return mrCancel;
    modalLoop_ = nullptr;
    if (isVisible()) hide();
    setWindowModality(previous);
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
    return modalResult_;
}

void TForm::SetModalResult(int result) {
    modalResult_ = result;
    if (modalLoop_ != nullptr && result != mrNone) {
        // A modal window closes through its close query like any other.
        if (!RunClose()) {
            modalResult_ = mrNone;
            return;
        }
        modalLoop_->exit(result);
    }
}

std::string TForm::Caption() const { return ToCp1252(windowTitle()); }

void TForm::SetCaption(const std::string& caption) { setWindowTitle(FromCp1252(caption)); }

void TForm::SetBounds(int left, int top, int width, int height) {
    // Sizes come from the configuration file, where a damaged value can ask
    // for a window of millions of pixels a side: its pixels alone would take
    // gigabytes. No side is made larger than the whole desktop (or 4096
    // pixels, if that is larger).
    QSize limit(kSideLimit, kSideLimit);
    if (QScreen* screen = QGuiApplication::primaryScreen()) limit = limit.expandedTo(screen->virtualSize());
    move(left, top);
    resize(std::min(width, limit.width()), std::min(height, limit.height()));
    FrameState& state = Frames()[this];
    state.outer = QSize(std::min(width, limit.width()), std::min(height, limit.height()));
    state.client = size();
    corner_ = QPoint(left, top);
    placed_ = true;
    restored_ = true;
}

QPoint TForm::PlaceOnFirstShow(const QMargins& frame) {
    const QSize outer = size().grownBy(frame);
    QRect area;
    if (QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
    if (position_ == TPosition::poMainFormCenter && parentWidget() != nullptr)
        area = parentWidget()->window()->frameGeometry();
    if (!area.isValid()) return pos();
    if (position_ != TPosition::poDesigned) return area.center() - QPoint(outer.width() / 2, outer.height() / 2);
    // A window with no place of its own: just below the menu strip, across
    // the middle of the screen. The window manager's own choice might lie
    // under the strip, and is known only once the window is mapped.
    const TForm* strip = MenuStrip();
    const int top = strip != nullptr && strip->isVisible() ? OuterRect(*strip).bottom() + 1 : area.top();
    return {area.center().x() - outer.width() / 2, top};
}

void TForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    // A window manager frames the window after this: a move now would place
    // its client area where its frame belongs, and its outer size is not
    // known yet. A window manager that tells the frame before the map has
    // the window placed now, inside that frame: from its stored place, or
    // where the program places it at its first show. Otherwise a window from
    // its stored place is fitted at its first exposure; where it is framed
    // already, or the platform has no window manager, now.
    const bool first = !placed_ && (position_ != TPosition::poDesigned || !testAttribute(Qt::WA_Moved));
    placed_ = true;
    std::optional<QMargins> frame;
    if ((restored_ || first) && FrameMargins(*this).isNull() && windowHandle() != nullptr &&
        !(windowFlags() & (Qt::FramelessWindowHint | Qt::BypassWindowManagerHint)))
        frame = FrameBeforeMap(*windowHandle());
    if (frame) {
        FitBeforeMap(*this, *frame, restored_ ? corner_ : PlaceOnFirstShow(*frame));
    } else if (restored_) {
        if (FrameMargins(*this).isNull() && QGuiApplication::platformName() == QLatin1String("xcb")) {
            Frames()[this].framing = true;
            new FirstExposure(windowHandle(), [self = QPointer<TForm>(this)] {
                if (self && std::exchange(Frames()[self].framing, false)) FitIntoFrame(*self, true);
            });
        } else {
            FitIntoFrame(*this, true);
        }
    } else if (first && position_ != TPosition::poDesigned) {
        move(PlaceOnFirstShow(FrameMargins(*this)));
    }
    restored_ = false;
    FormShow();
    Report(*this, FormEvent::Shown);
}

void TForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous()) return;
    // Where the window is now (the user may have moved it with the window
    // manager) is where it comes back: without this, a window that was never
    // placed by the program is placed by the window manager again each time
    // it is shown, away from where the user put it.
    if (isWindow()) setAttribute(Qt::WA_Moved);
    FormHide();
    Report(*this, FormEvent::Hidden);
    if (modalLoop_ != nullptr) {
        if (modalResult_ == mrNone) modalResult_ = mrCancel;
        modalLoop_->exit(modalResult_);
    }
}

void TForm::closeEvent(QCloseEvent* event) {
    // The window manager's close button and QWidget::close(): the same path
    // as Close(). RunClose hides (or not); the event tells Qt whether the
    // window closed.
    const bool wasVisible = isVisible();
    if (RunClose() && !(wasVisible && isVisible()))
        event->accept();
    else
        event->ignore();
}

void TForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow()) {
            FormActivate();
            Report(*this, FormEvent::Activated);
        } else {
            FormDeactivate();
            Report(*this, FormEvent::Deactivated);
        }
    }
}

}  // namespace morvelant
