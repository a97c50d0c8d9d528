#include "platform/QtFormBase.h"

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

#include <algorithm>

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

}  // namespace

void SetFormEventHook(FormEventHook hook) { Hook() = std::move(hook); }

void KeepOnScreen(TForm& form) {
    // The frame's corner is pos(), not frameGeometry()'s: while a window
    // placed before it was made is being shown, its position still counts
    // the frame that Qt has just learned, which frameGeometry() adds again.
    // Read from there, a window at the screen's left edge looked a frame's
    // width off screen and was moved a frame's height up at every start.
    const QRect frame(form.pos(), form.frameGeometry().size());
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect s = screen->availableGeometry();
    const int x = std::max(s.left(), std::min(frame.x(), s.right() + 1 - frame.width()));
    const int y = std::max(s.top(), std::min(frame.y(), s.bottom() + 1 - frame.height()));
    if (x != frame.x() || y != frame.y()) form.move(x, y);
}

TForm::TForm(const QString& name, QWidget* parent) : QWidget(parent, Qt::Window) {
    if (!name.isEmpty()) setObjectName(name);
    GuardChoicesFromPassingWheel();
    GuardTextBoxesFromPastesWithoutText();
    Report(*this, FormEvent::Created);
}

TForm::~TForm() {
    if (modalLoop_ != nullptr) modalLoop_->exit(mrCancel);
    Report(*this, FormEvent::Destroyed);
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
        restored_ = false;
        KeepOnScreen(*this);
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
