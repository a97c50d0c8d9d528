// Input as the window system delivers it: each event goes to the top-level
// window, which finds the widget under the pointer (or with the focus) and
// lets Qt propagate it, synthesise context menus and move the focus, as for
// a real mouse, wheel and keyboard.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <cstdlib>

// QEvent lets this one class mark an event as the window system's own (the
// test library does the same): only such events propagate as real input
// does, a wheel event to the parents of a control that leaves it unused.
class QSpontaneKeyEvent {
public:
    static void Mark(QEvent& e) { e.setSpontaneous(); }
};

namespace morvelant::userinput {

// Delivers `e` to the window as the window system would.
inline void Deliver(QWindow* window, QEvent& e) {
    QSpontaneKeyEvent::Mark(e);
    QApplication::instance()->notify(window, &e);  // sendEvent would unmark it
}

inline QWindow* WindowOf(QWidget* w) {
    QWidget* top = w->window();
    top->winId();  // the window exists from here on
    return top->windowHandle();
}

// A press and release of `button` at `pos` in `w` (its middle by default).
// A right press opens the context menu there, as on X11.
inline void Click(QWidget* w, Qt::MouseButton button = Qt::LeftButton, QPoint pos = {-1, -1}) {
    if (pos == QPoint(-1, -1)) pos = w->rect().center();
    QWidget* top = w->window();
    const QPointF local = w->mapTo(top, pos);
    const QPointF global = w->mapToGlobal(pos);
    QMouseEvent press(QEvent::MouseButtonPress, local, local, global, button, button, Qt::NoModifier);
    Deliver(WindowOf(w), press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, local, global, button, Qt::NoButton, Qt::NoModifier);
    Deliver(WindowOf(w), release);
}

// `notches` wheel notches at `pos` in `w` (positive: away from the user);
// eighths of a degree per notch as a touchpad sends them when `step` < 120.
inline void Wheel(QWidget* w, int notches, QPoint pos = {-1, -1}, int step = 120) {
    if (pos == QPoint(-1, -1)) pos = w->rect().center();
    QWidget* top = w->window();
    const QPointF local = w->mapTo(top, pos);
    const QPointF global = w->mapToGlobal(pos);
    const int events = std::abs(notches) * 120 / step;
    for (int i = 0; i < events; ++i) {
        QWheelEvent e(local, global, QPoint(), QPoint(0, notches > 0 ? step : -step), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        Deliver(WindowOf(w), e);
    }
}

// A key pressed and released in the window of `w`; it goes to the focus.
inline void KeyClick(QWidget* w, int key, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    Deliver(WindowOf(w), press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    Deliver(WindowOf(w), release);
}

// Types `text` key by key into the focus of the window of `w`.
inline void KeyClicks(QWidget* w, const QString& text) {
    for (QChar c : text) {
        int key = c.toUpper().unicode();
        if (c == QLatin1Char('-')) key = Qt::Key_Minus;
        KeyClick(w, key, QString(c));
    }
}

// Gives `w` the keyboard focus the way a click into it would, with its
// window active.
inline void FocusOn(QWidget* w) {
    w->window()->show();
    w->window()->activateWindow();
    QApplication::setActiveWindow(w->window());
    w->setFocus(Qt::MouseFocusReason);
}

}  // namespace morvelant::userinput
