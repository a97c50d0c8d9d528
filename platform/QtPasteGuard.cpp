#include "platform/QtPasteGuard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "platform/QtApplicationFilter.h"
#include "platform/QtText.h"

namespace morvelant {

namespace {

bool IsTextBox(const QObject* o) {
    return qobject_cast<const QLineEdit*>(o) != nullptr || qobject_cast<const QTextEdit*>(o) != nullptr ||
        qobject_cast<const QPlainTextEdit*>(o) != nullptr || qobject_cast<const QAbstractSpinBox*>(o) != nullptr;
}

// The text box that `o` is, or whose viewport it is (mouse and drops go to
// the viewport of a multi-line box).
bool InTextBox(const QObject* o) {
    if (IsTextBox(o)) return true;
    const QObject* parent = o != nullptr ? o->parent() : nullptr;
    const auto* area = qobject_cast<const QAbstractScrollArea*>(parent);
    return area != nullptr && area->viewport() == o && IsTextBox(area);
}

bool HoldsText(const QMimeData* data) { return data != nullptr && !data->formats().isEmpty() && data->hasText(); }

bool ClipboardHoldsText(QClipboard::Mode mode) { return HoldsText(QGuiApplication::clipboard()->mimeData(mode)); }

// A one-line box given a paste that holds control characters (a NUL, an
// escape, a line break) takes what typing could enter of it and says what
// it left out; false when the paste is left to the box as it is.
bool PasteTypableOnly(QObject* watched, QClipboard::Mode mode) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit == nullptr || edit->isReadOnly()) return false;
    int controls = 0;
    const QString typable = TypableOnly(QGuiApplication::clipboard()->text(mode), false, &controls);
    if (controls == 0) return false;
    if (mode == QClipboard::Selection) edit->deselect();
    edit->insert(typable);
    SayNotStored(edit, ControlCharactersNotTaken(controls), QStringLiteral("A paste keeps only what typing could enter."));
    return true;
}

class PasteWithoutTextFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
                // Ctrl+V, Shift+Insert and whatever else the desktop pastes with.
                if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste) && InTextBox(watched) &&
                    (!ClipboardHoldsText(QClipboard::Clipboard) || PasteTypableOnly(watched, QClipboard::Clipboard))) {
                    event->accept();
                    return true;
                }
                break;
            case QEvent::MouseButtonRelease:
                // The middle button pastes the selection where the desktop has one.
                if (static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton && InTextBox(watched) &&
                    QGuiApplication::clipboard()->supportsSelection() &&
                    (!ClipboardHoldsText(QClipboard::Selection) || PasteTypableOnly(watched, QClipboard::Selection))) {
                    event->accept();
                    return true;
                }
                break;
            default: break;
        }
        return false;
    }
};

}  // namespace

void GuardTextBoxesFromPastesWithoutText() { InstallApplicationFilterOnce<PasteWithoutTextFilter>(); }

}  // namespace morvelant
