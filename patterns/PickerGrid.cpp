#include "patterns/PickerGrid.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace morvelant {

PickerGrid::PickerGrid(const QString& name, int rows, int columns, int cellWidth, int cellHeight, QWidget* parent,
                       int lineWidth)
    : QWidget(parent),
      rows_(rows),
      columns_(columns),
      cellWidth_(cellWidth),
      cellHeight_(cellHeight),
      lineWidth_(lineWidth),
      texts_(static_cast<size_t>(rows * columns)) {
    setObjectName(name);
    setMouseTracking(true);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    setFixedSize(columns * (cellWidth + lineWidth), rows * (cellHeight + lineWidth));
}

void PickerGrid::SetCellText(int row, int column, const QString& text) {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return;
    texts_[static_cast<size_t>(row * columns_ + column)] = text;
    update(CellRect({row, column}));
}

QString PickerGrid::CellText(int row, int column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return {};
    return texts_[static_cast<size_t>(row * columns_ + column)];
}

GridCell PickerGrid::CellAt(QPoint pos) const {
    if (pos.x() < 0 || pos.y() < 0) return {};
    const int c = pos.x() / (cellWidth_ + lineWidth_), r = pos.y() / (cellHeight_ + lineWidth_);
    // The lines between the cells belong to no cell.
    if (c >= columns_ || r >= rows_ || pos.x() % (cellWidth_ + lineWidth_) >= cellWidth_ ||
        pos.y() % (cellHeight_ + lineWidth_) >= cellHeight_)
        return {};
    return {r, c};
}

QRect PickerGrid::CellRect(GridCell cell) const {
    return {cell.column * (cellWidth_ + lineWidth_), cell.row * (cellHeight_ + lineWidth_), cellWidth_, cellHeight_};
}

void PickerGrid::SetSelection(GridCell cell) {
    if (cell == selection_) return;
    selection_ = cell;
    update();
}

namespace {
// Below this the names are no easier to read than clipped.
constexpr int kSmallestPixelSize = 8;
}  // namespace

PickerGrid::FittedText PickerGrid::FitText(const QString& text, const QFont& base) const {
    const int room = cellWidth_ - textX_ - 1;
    FittedText fit{base};
    const int from = base.pixelSize() > 0 ? base.pixelSize() : QFontMetrics(base).height();
    for (int px = from; px >= kSmallestPixelSize; --px) {
        fit.font.setPixelSize(px);
        if (QFontMetrics(fit.font).horizontalAdvance(text) <= room) return fit;
        fit.shrunk = true;
    }
    // Two lines at the smallest size ("Crash Cymbal" over "1").
    fit.wrapped = true;
    const QRect need = QFontMetrics(fit.font).boundingRect(QRect(0, 0, room, 4 * cellHeight_), Qt::TextWordWrap, text);
    fit.whole = need.width() <= room && need.height() <= cellHeight_;
    return fit;
}

bool PickerGrid::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const GridCell cell = CellAt(help->pos());
        const QString text = CellText(cell.row, cell.column);
        if (!text.isEmpty() && FitText(text, font()).shrunk)
            QToolTip::showText(help->globalPos(), text, this, CellRect(cell));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void PickerGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), ToQColor(clSilver));
    QFont bold = font();
    bold.setBold(true);
    for (int r = 0; r < rows_; ++r)
        for (int c = 0; c < columns_; ++c) {
            const PickerCellStyle st = style_ ? style_({r, c}) : PickerCellStyle{};
            const QRect cell = CellRect({r, c});
            const QString text = CellText(r, c);
            const FittedText fit = FitText(text, st.bold ? bold : font());
            p.fillRect(cell, ToQColor(st.brush));
            p.setPen(ToQColor(st.text));
            p.setFont(fit.font);
            p.setClipRect(cell);
            if (fit.wrapped)
                p.drawText(cell.adjusted(textX_, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text);
            else
                p.drawText(cell.left() + textX_, cell.top() + textY_ + QFontMetrics(fit.font).ascent(), text);
            p.setClipping(false);
        }
}

void PickerGrid::mouseMoveEvent(QMouseEvent* event) {
    const GridCell cell = CellAt(event->position().toPoint());
    if (cell.row < 0) return;
    SetSelection(cell);
    Q_EMIT CellMouseMove(cell.row, cell.column);
}

void PickerGrid::mouseReleaseEvent(QMouseEvent* event) { Q_EMIT MouseUp(event->button(), event->modifiers()); }

void PickerGrid::mouseDoubleClickEvent(QMouseEvent*) { Q_EMIT DoubleClick(); }

}  // namespace morvelant
