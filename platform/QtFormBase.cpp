#include "platform/QtFormBase.h"
#include "platform/QtFormFrame.h"

#include "platform/QtPasteGuard.h"
#include "platform/QtText.h"
#include "platform/QtWheelFocus.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHideEvent>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include <algorithm>
#include <map>
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
    int outerHeight = 0;  // KeepOuterHeight's, 0 for none
    bool framing = false;  // shown from its stored place, not yet framed
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
QMargins FrameMargins(const TForm& form) {
    const QWindow* window = form.windowHandle();
    return window != nullptr ? window->frameMargins() : QMargins();
}

QRect OuterRect(const TForm& form) {
    // Once the frame is known, the window system's own figures: Qt's widget
    // does not learn a frame that came without a move of its client area.
    if (!FrameMargins(form).isNull()) return form.windowHandle()->frameGeometry();
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

// Places a window shown from its stored place; `framed` once the window
// manager has framed it (or will not): then it takes its outer size.
void FitIntoFrame(TForm& form, bool framed) {
    FrameState& state = Frames()[&form];
    const QMargins frame = FrameMargins(form);
    if (framed) {
        if (state.outerHeight > 0) form.setFixedHeight(state.outerHeight - frame.top() - frame.bottom());
        if (state.outer.isValid()) form.resize(state.outer.shrunkBy(frame));
        state.outer = QSize();
    }
    QRect outer = OuterRect(form);
    const QPoint from = outer.topLeft();
    outer.moveTopLeft(OnScreen(outer));
    const TForm* strip = MenuStrip();
    if (strip != nullptr && strip != &form && strip->isVisible()) {
        const QRect stripOuter = OuterRect(*strip);
        if (QRect(outer.left(), outer.top(), outer.width(), frame.top()).intersects(stripOuter))
            outer.moveTop(stripOuter.bottom() + 1);
    }
    if (outer.topLeft() != from) MoveOuter(form, outer.topLeft());
}

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

void SetMenuStrip(const TForm* strip) { MenuStrip() = strip; }

void KeepOuterHeight(TForm& form, int height) { Frames()[&form].outerHeight = height; }

TForm::TForm(const QString& name, QWidget* parent) : QWidget(parent, Qt::Window) {
    if (!name.isEmpty()) setObjectName(name);
    GuardChoicesFromPassingWheel();
    GuardTextBoxesFromPastesWithoutText();
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
    Frames()[this].outer = QSize(std::min(width, limit.width()), std::min(height, limit.height()));
    placed_ = true;
    restored_ = true;
}

void TForm::PlaceOnFirstShow() {
    if (placed_) return;
    placed_ = true;
    if (position_ == TPosition::poDesigned) return;
    QRect area;
    if (position_ == TPosition::poMainFormCenter && parentWidget() != nullptr) {
        area = parentWidget()->window()->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
}

void TForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    PlaceOnFirstShow();
    if (restored_) {
        // A window manager frames the window after this: a move now would
        // place its client area where its frame belongs, and its outer size
        // is not known yet. It is placed at its first exposure then; where
        // it is framed already, or the platform has no window manager, now.
        restored_ = false;
        if (FrameMargins(*this).isNull() && QGuiApplication::platformName() == QLatin1String("xcb")) {
            Frames()[this].framing = true;
            new FirstExposure(windowHandle(), [self = QPointer<TForm>(this)] {
                if (self && std::exchange(Frames()[self].framing, false)) FitIntoFrame(*self, true);
            });
        } else {
            FitIntoFrame(*this, true);
        }
    }
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
