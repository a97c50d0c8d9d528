#include "platform/QtFaderDrag.h"

#include <QAbstractButton>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "platform/QtDragStart.h"

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

void FaderDragGesture::Press(const QMouseEvent* press) {
    if (press->button() == Qt::LeftButton) start_ = press->position().toPoint();
}

bool FaderDragGesture::Starts(int fader, const QMouseEvent* move) {
    if (candidate_ < 0 || candidate_ != fader || !(move->buttons() & Qt::LeftButton)) return false;
    if (!DragDistanceReached(move, start_)) return false;
    candidate_ = -1;
    return true;
}

int DraggedFader(const QMimeData* mime, const QObject* source, int faders) {
    if (!mime || !mime->hasFormat(kFaderDragMime)) return -1;
    bool number = false;
    const int fader = mime->data(kFaderDragMime).toInt(&number);
    if (!number || fader < 0 || fader >= faders) return -1;
    if (!source || source->objectName() != QStringLiteral("FaderSelect%1").arg(fader + 1)) return -1;
    return fader;
}

bool TakeFaderDrop(QEvent* event, int faders, const std::function<void(int fader)>& drop) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    auto* de = static_cast<QDropEvent*>(event);
    const int fader = DraggedFader(de->mimeData(), de->source(), faders);
    if (fader < 0) {
        de->ignore();
        return true;
    }
    de->acceptProposedAction();
    if (type == QEvent::Drop) drop(fader);
    return true;
}

}  // namespace morvelant
