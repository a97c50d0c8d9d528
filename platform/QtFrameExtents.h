// The frame a window manager is about to put round a window, asked of it
// before the window is mapped, so that the window can be given the place and
// size it keeps (the window manager then frames it there and never has to
// move it). Only an X11 window manager that answers such a question says.
#pragma once

#include <QMargins>

#include <optional>

class QWindow;

namespace morvelant {

// The frame's widths (left, top, right, bottom) round `window`, which is
// made but not mapped; none without an X11 window manager that answers
// within a short while.
std::optional<QMargins> FrameBeforeMap(QWindow& window);

}  // namespace morvelant
