// The painted grid that every grid picker shows: fixed-size cells with a
// text each, coloured by the picker (present value, hover cell, greyed
// cells), reporting the cell under the mouse, the mouse-up and the double
// click. The grid's own selection follows the mouse.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "patterns/PickerCells.h"
#include "platform/QtColors.h"

namespace morvelant {

struct PickerCellStyle {
    TColor brush = clWhite;
    TColor text = clMenuText;
    bool bold = false;
};

class PickerGrid : public QWidget {
    Q_OBJECT

public:
    PickerGrid(const QString& name, int rows, int columns, int cellWidth, int cellHeight, QWidget* parent,
               int lineWidth = 1);

    int Rows() const { return rows_; }
    int Columns() const { return columns_; }
    void SetCellText(int row, int column, const QString& text);
    QString CellText(int row, int column) const;
    // Text offset from the cell's left and top edges.
    void SetTextOffset(int x, int y) { textX_ = x, textY_ = y; }
    void SetStyle(std::function<PickerCellStyle(GridCell)> style) { style_ = std::move(style); }

    // The cell under a point of the grid; none (-1, -1) outside every cell.
    GridCell CellAt(QPoint pos) const;
    QRect CellRect(GridCell cell) const;
    GridCell Selection() const { return selection_; }
    void SetSelection(GridCell cell);

    // How a cell's text is drawn: a long text takes a smaller font, then two
    // lines; `whole` tells whether it then fits the cell. A text that had to
    // shrink or still does not fit shows whole in the cell's tool tip.
    struct FittedText {
        QFont font;
        bool wrapped = false;
        bool whole = true;
        bool shrunk = false;
    };
    FittedText FitText(const QString& text, const QFont& base) const;

Q_SIGNALS:
    void CellMouseMove(int row, int column);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void DoubleClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    int rows_, columns_, cellWidth_, cellHeight_, lineWidth_;
    int textX_ = 2, textY_ = 2;
    std::vector<QString> texts_;
    std::function<PickerCellStyle(GridCell)> style_;
    GridCell selection_;
};

}  // namespace morvelant
