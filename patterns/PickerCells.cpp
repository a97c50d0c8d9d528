#include "patterns/PickerCells.h"

#include <algorithm>

#include <cstdio>

namespace morvelant {

GridCell GridMap::CellOf(std::optional<int> value) const {
    if (!value || *value < 0 || *value >= rows * columns) return {};
    const int v = *value;
    return downColumns ? GridCell{v % rows, v / rows} : GridCell{v / columns, v % columns};
}

GridCell GridMap::Step(GridCell from, int down, int right) const {
    if (from.row < 0 || from.column < 0) return {0, 0};
    return {std::clamp(from.row + down, 0, rows - 1), std::clamp(from.column + right, 0, columns - 1)};
}

std::string ValuesCaption(int value) { return "Value:" + std::to_string(value); }

std::string ControllerCellText(const NameList& controllerNames, int controller) {
    if (controller < 0 || static_cast<size_t>(controller) >= controllerNames.size()) return {};
    const std::string& entry = controllerNames[static_cast<size_t>(controller)];
    return entry.size() > 4 ? entry.substr(4) : std::string();
}

std::string ControllerCaption(const NameList& controllerNames, int controller) {
    return "(Ctrl: " + std::to_string(controller) + ")" + ControllerCellText(controllerNames, controller);
}

std::string TimeCodeCellText(int cell, int mode) {
    if (cell == 0) return mode == 5 ? "no Delay" : "";
    if (cell < 0 || cell > 31) return {};
    // The cells at whole note values name them; the others count 96ths.
    const char* value = nullptr;
    switch (cell) {
        case 2: value = "=1/32"; break;
        case 5: value = "=1/16"; break;
        case 11: value = "=1/8 "; break;
        case 23: value = "=1/4 "; break;
        default: value = "*1/96"; break;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d%s", cell + 1, value);
    return buf;
}

std::string TimeCodeCaptionWord(int mode) {
    switch (mode) {
        case 3: return "Note Time:";
        case 4: return "Gate Time:";
        default: return "Delay Time:";
    }
}

std::string ChannelCaptionWord(int mode) {
    switch (mode) {
        case 1: return "Start Step";
        case 2: return "End Step";
        default: return "Channel";
    }
}

// ---- The keyboard ------------------------------------------------------------

namespace {

using Polygon = std::vector<std::pair<int, int>>;

const Polygon& OctaveKey(int k) {
    static const Polygon kKeys[12] = {
        {{0, 0}, {7, 0}, {7, 36}, {10, 36}, {10, 59}, {0, 59}},
        {{7, 0}, {13, 0}, {13, 36}, {7, 36}},
        {{13, 0}, {17, 0}, {17, 36}, {20, 36}, {20, 59}, {10, 59}, {10, 36}, {13, 36}},
        {{17, 0}, {23, 0}, {23, 36}, {17, 36}},
        {{23, 0}, {30, 0}, {30, 59}, {20, 59}, {20, 36}, {23, 36}},
        {{30, 0}, {37, 0}, {37, 36}, {40, 36}, {40, 59}, {30, 59}},
        {{37, 0}, {43, 0}, {43, 36}, {37, 36}},
        {{43, 0}, {47, 0}, {47, 36}, {50, 36}, {50, 59}, {40, 59}, {40, 36}, {43, 36}},
        {{47, 0}, {53, 0}, {53, 36}, {47, 36}},
        {{53, 0}, {57, 0}, {57, 36}, {60, 36}, {60, 59}, {50, 59}, {50, 36}, {53, 36}},
        {{57, 0}, {63, 0}, {63, 36}, {57, 36}},
        {{63, 0}, {70, 0}, {70, 59}, {60, 59}, {60, 36}, {63, 36}},
    };
    return kKeys[k];
}

// The last key, a G with no black key to its right.
const Polygon kLastG = {{43, 0}, {50, 0}, {50, 59}, {40, 59}, {40, 36}, {43, 36}};

// Upper zone: the key at r (0..69) of an octave, -1 on a gap.
int UpperKey(int r) {
    static const int kFrom[12] = {1, 7, 14, 17, 24, 31, 37, 44, 47, 54, 57, 64};
    static const int kTo[12] = {6, 13, 16, 23, 29, 36, 43, 46, 53, 56, 63, 69};
    for (int k = 0; k < 12; ++k)
        if (r >= kFrom[k] && r <= kTo[k]) return k;
    return -1;
}

}  // namespace

bool IsBlackKey(int note) {
    const int k = ((note % 12) + 12) % 12;
    return k == 1 || k == 3 || k == 6 || k == 8 || k == 10;
}

std::vector<std::pair<int, int>> KeyPolygon(int note) {
    if (note < 0 || note > 127) return {};
    Polygon poly = note == 127 ? kLastG : OctaveKey(note % 12);
    for (auto& pt : poly) pt.first += 70 * (note / 12);
    return poly;
}

int NoteAtPoint(int x, int y) {
    if (x < 0 || y < 0 || y >= kKeyboardHeight) return -1;
    const int o = x / 70, r = x % 70;
    if (o > 10) return -1;
    int key = -1;
    if (y >= 37) {
        static const int kWhite[7] = {0, 2, 4, 5, 7, 9, 11};
        if (r % 10 != 0) key = kWhite[r / 10];
    } else {
        key = UpperKey(r);
        // The last octave ends with its G.
        if (o == 10 && r > 49) key = -1;
        if (o == 10 && key == 8) key = 7;
    }
    if (key < 0) return -1;
    const int note = o * 12 + key;
    return note <= 127 ? note : -1;
}

}  // namespace morvelant
