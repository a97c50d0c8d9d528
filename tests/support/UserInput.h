// Input as the window system delivers it: mouse and wheel events go to the
// top-level window, which finds the widget under the pointer and lets Qt
// propagate them and synthesise context menus, as for a real mouse and
// wheel; keys go through the test library to the focused widget.
#pragma once

#include <QApplication>
#include <QTest>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <cstdlib>

namespace morvelant::userinput {

// Delivers `e` to the window as the window system would: marked as its own
// (the test library's marker), so it propagates as real input does, a wheel
// event to the parents of a control that leaves it unused.
inline void Deliver(QWindow* window, QEvent& e) {
    QSpontaneKeyEvent::setSpontaneous(&e);
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

// The widget keys go to: `w`, else the focused widget, else the active window.
inline QWidget* KeyTarget(QWidget* w) {
    if (w != nullptr) return w;
    if (QWidget* focus = QApplication::focusWidget()) return focus;
    return QApplication::activeWindow();
}

// A key pressed and released in the window of `w` (nullptr: the focus); it
// goes to that window's focused widget.
inline void KeyClick(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = KeyTarget(w);
    if (target == nullptr) return;
    QWidget* focus = target->window()->focusWidget();
    QTest::keyClick(w == nullptr || focus == nullptr ? target : focus, Qt::Key(key), mods);
}

// Types `text` key by key into the focus of the window of `w` (nullptr: the
// focus). A character beyond ASCII ("ü", "€", "Ω", "日") comes as a
// keyboard layout types it: one key whose text is that character.
inline void KeyClicks(QWidget* w, const QString& text) {
    QWidget* target = KeyTarget(w);
    if (target == nullptr) return;
    QWidget* focus = target->window()->focusWidget();
    QWidget* to = w == nullptr || focus == nullptr ? target : focus;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() < 0x80) {
            QTest::keyClicks(to, text.mid(i, 1));
            continue;
        }
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, to, Qt::Key(text[i].toUpper().unicode()), text.mid(i, n), Qt::NoModifier);
        i += n - 1;
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

// Opens a popup menu where a user would see it and closes it with Escape,
// as a user who looked at its items: what a menu fills in when it opens is
// there afterwards.
inline void LookInto(QMenu* menu) {
    menu->popup(QPoint(10, 10));
    QApplication::processEvents();
    QTest::keyClick(menu, Qt::Key_Escape);
    QApplication::processEvents();
}

}  // namespace morvelant::userinput
