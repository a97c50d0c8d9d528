// Drags of a fader select button onto another: a private MIME type carrying
// the fader number, and the copy and exchange drag cursors.
#pragma once

#include <QPixmap>
#include <QPoint>
#include <functional>

class QEvent;
class QMimeData;
class QObject;
class QMouseEvent;
class QWidget;

namespace morvelant {

inline constexpr char kFaderDragMime[] = "application/x-morvelant-fader";

// The drag cursors of a copy (a plus) and an exchange (two arrows).
QPixmap FaderDragCursor(bool swap);

// Drags fader `fader` from select button `source` until it is dropped or
// given up; swap chooses the exchange cursor.
void RunFaderDrag(QWidget* source, int fader, bool swap);

// A press on a fader select button that may become a drag of its fader. The
// window's press handler offers the fader (or does not, when a drag is not
// wanted), a release forgets it, and a move with the left button held that
// has gone the drag distance from the press starts it.
class FaderDragGesture {
public:
    void Offer(int fader) { candidate_ = fader; }
    void Press(const QMouseEvent* press);
    void Release() { candidate_ = -1; }
    // Whether this move over fader's button starts its drag; the offer is
    // used up when it does.
    bool Starts(int fader, const QMouseEvent* move);

private:
    int candidate_ = -1;
    QPoint start_;
};

// Takes a drag entering, moving over or dropped onto a select button: it is
// accepted only when a select button of this program started it
// ("FaderSelect<n>" carrying n - 1) and its fader is one of `faders`, and an
// accepted drop hands its fader to `drop`. Other drag sources of the editor
// carry numbers too, and another program's drag has no source here, so those
// are refused. False for any other event.
bool TakeFaderDrop(QEvent* event, int faders, const std::function<void(int fader)>& drop);
// The fader such a drag carries, or -1 when it is refused.
int DraggedFader(const QMimeData* mime, const QObject* source, int faders);

}  // namespace morvelant
