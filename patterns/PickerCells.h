// The pickers' grids and keyboard as pure functions: which value a cell
// stands for and where a value lies, the cell texts and the captions, and
// the keyboard's keys and the note under a point.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/NameLists.h"

namespace morvelant {

struct GridCell {
    int row = -1;
    int column = -1;
    bool operator==(const GridCell&) const = default;
};

// A picker grid of rows x columns whose cells stand for 0..rows*columns-1,
// numbered along the rows (16 numbers to a row) or down the columns (32
// controllers to a column).
struct GridMap {
    int rows;
    int columns;
    bool downColumns = false;

    int ValueAt(GridCell c) const { return downColumns ? c.column * rows + c.row : c.row * columns + c.column; }
    // The cell of a value; none (-1, -1) for a value outside the grid.
    GridCell CellOf(std::optional<int> value) const;
    // The cell `rows` down and `columns` right of `from`, held at the edges;
    // from no cell, the first cell.
    GridCell Step(GridCell from, int rows, int columns) const;
};

inline constexpr GridMap kValuesGrid{8, 16};
inline constexpr GridMap kControllerGrid{32, 4, true};
inline constexpr GridMap kTimeCodeGrid{8, 4};
inline constexpr GridMap kChannelGrid{4, 4};
inline constexpr GridMap kDrumkitGrid{16, 8};

// Captions while the mouse moves: "Value:64", "(Ctrl: 7)Volume".
std::string ValuesCaption(int value);
std::string ControllerCellText(const NameList& controllerNames, int controller);
std::string ControllerCaption(const NameList& controllerNames, int controller);

// The time-code cell texts: cell i (1..31) shows "002*1/96", "003=1/32", ...;
// cell 0 is "no Delay" for the delay and empty otherwise.
std::string TimeCodeCellText(int cell, int mode);
// "Note Time:", "Gate Time:", "Delay Time:" by mode 3..5.
std::string TimeCodeCaptionWord(int mode);
// "Channel", "Start Step", "End Step" by mode 0..2 (without the colon).
std::string ChannelCaptionWord(int mode);

// ---- The keyboard ------------------------------------------------------------

inline constexpr int kKeyboardWidth = 751;
inline constexpr int kKeyboardHeight = 60;

bool IsBlackKey(int note);
// The corners of note n's key (0..127) in keyboard pixels; empty outside.
std::vector<std::pair<int, int>> KeyPolygon(int note);
// The note under (x, y), -1 on a gap or outside the keys.
int NoteAtPoint(int x, int y);

}  // namespace morvelant
