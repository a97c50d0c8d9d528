// Drags of a fader select button onto another: a private MIME type carrying
// the fader number, and the copy and exchange drag cursors.
#pragma once

#include <QPixmap>

class QWidget;

namespace morvelant {

inline constexpr char kFaderDragMime[] = "application/x-morvelant-fader";

// The drag cursors of a copy (a plus) and an exchange (two arrows).
QPixmap FaderDragCursor(bool swap);

// Drags fader `fader` from select button `source` until it is dropped or
// given up; swap chooses the exchange cursor.
void RunFaderDrag(QWidget* source, int fader, bool swap);

}  // namespace morvelant
