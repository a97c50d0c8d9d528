#include "platform/QtFaderDrag.h"

#include <QAbstractButton>
#include <QDrag>
#include <QMimeData>
#include <QPainter>

namespace morvelant {

QPixmap FaderDragCursor(bool swap) {
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(2, 2, 2, 12);
    p.drawLine(2, 2, 12, 2);
    p.drawLine(2, 2, 14, 14);
    if (swap) {
        p.drawLine(12, 18, 22, 18);
        p.drawLine(18, 14, 22, 18);
        p.drawLine(12, 22, 16, 18);
    } else {
        p.drawLine(14, 19, 22, 19);
        p.drawLine(18, 15, 18, 23);
    }
    return pm;
}

void RunFaderDrag(QWidget* source, int fader, bool swap) {
    auto* drag = new QDrag(source);
    auto* mime = new QMimeData;
    mime->setData(kFaderDragMime, QByteArray::number(fader));
    drag->setMimeData(mime);
    const QPixmap cursor = FaderDragCursor(swap);
    drag->setDragCursor(cursor, Qt::MoveAction);
    drag->setDragCursor(cursor, Qt::CopyAction);
    drag->exec(Qt::MoveAction);
    // The drag took the mouse release: the button would stay pressed.
    if (auto* button = qobject_cast<QAbstractButton*>(source)) button->setDown(false);
}

}  // namespace morvelant
