// Keys as the user types them: a press and a release delivered to a widget
// (by default the one that has the keyboard focus), through the
// application's event filters like real input.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

namespace morvelant::testsupport {

inline QWidget* KeyTarget(QWidget* target) {
    if (target != nullptr) return target;
    if (QWidget* focus = QApplication::focusWidget()) return focus;
    return QApplication::activeWindow();
}

inline void PressKey(QWidget* target, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    target = KeyTarget(target);
    if (target == nullptr) return;
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(target, &release);
}

// Types `text` character by character into `target` (nullptr: the focused widget).
inline void TypeText(QWidget* target, const QString& text) {
    for (QChar c : text)
        PressKey(target, c.isDigit() ? Qt::Key_0 + c.digitValue() : c.toUpper().unicode(), Qt::NoModifier, QString(c));
}

}  // namespace morvelant::testsupport
