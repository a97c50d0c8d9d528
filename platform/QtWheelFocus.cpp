#include "platform/QtWheelFocus.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>

#include "platform/QtApplicationFilter.h"
#include "platform/QtFormBase.h"

namespace morvelant {

namespace {

bool IsChoiceInForm(QObject* o) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w == nullptr || (qobject_cast<QComboBox*>(w) == nullptr && qobject_cast<QAbstractSpinBox*>(w) == nullptr))
        return false;
    return qobject_cast<TForm*>(w->window()) != nullptr;
}

class PassingWheelFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Polish:
                // Qt gives these controls the focus on a wheel over them
                // (and with it the next wheel): click and Tab only.
                if (IsChoiceInForm(watched)) {
                    auto* w = static_cast<QWidget*>(watched);
                    if (w->focusPolicy() == Qt::WheelFocus) w->setFocusPolicy(Qt::StrongFocus);
                }
                break;
            case QEvent::Wheel:
                // Left unused: Qt hands it on to the parent widgets.
                if (IsChoiceInForm(watched) && !static_cast<QWidget*>(watched)->hasFocus()) {
                    event->ignore();
                    return true;
                }
                break;
            default: break;
        }
        return false;
    }
};

}  // namespace

void GuardChoicesFromPassingWheel() { InstallApplicationFilterOnce<PassingWheelFilter>(); }

}  // namespace morvelant
