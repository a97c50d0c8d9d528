// Whether a mouse move with the button held has gone far enough from the
// press to start a drag, by the desktop's own drag distance. Every drag
// source of the editor (select buttons, name fields, track boxes, grid
// columns) starts its drag by this one rule.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QPoint>

namespace morvelant {

inline bool DragDistanceReached(const QMouseEvent* move, const QPoint& pressPos) {
    return (move->position().toPoint() - pressPos).manhattanLength() >= QApplication::startDragDistance();
}

}  // namespace morvelant
