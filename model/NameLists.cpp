#include "model/NameLists.h"

#include <cstdio>

namespace morvelant {

namespace {

std::string Right3(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%3d", n);
    return buf;
}

std::string ControllerName(int n) {
    switch (n) {
        case 0: return "Bank Select MSB";
        case 1: return "Modulation";
        case 2: return "Breath Control";
        case 4: return "Foot Control";
        case 5: return "Portamento";
        case 6: return "Data Entry";
        case 7: return "Volume";
        case 8: return "Balance";
        case 10: return "Panorama";
        case 11: return "Expression";
        case 64: return "Sustain (on/off)";
        case 65: return "Portamento (on/off)";
        case 66: return "Sostenuto (on/off)";
        case 67: return "Soft (on/off)";
        case 69: return "Hold 2 (on/off)";
        case 91: return "Effect Depth";
        case 92: return "Tremolo Depth";
        case 93: return "Chorus Depth";
        case 94: return "Celeste Depth";
        case 95: return "Phaser Depth";
        case 96: return "NRPN Data Increment";
        case 97: return "NRPN Data Decrement";
        case 98: return "NRPN Data Fine";
        case 99: return "NRPN Data Coarse";
        case 100: return "NRPN Parameter LSB";
        case 101: return "NRPN Parameter MSB";
        default: break;
    }
    if (n >= 32 && n <= 63) return "Controller " + std::to_string(n - 32) + " LSB";
    return "Controller " + std::to_string(n);
}

}  // namespace

NameList FillControllerNames() {
    NameList list;
    list.reserve(129);
    for (int n = 0; n < 128; ++n) list.push_back(Right3(n) + ":" + ControllerName(n));
    list.emplace_back(kSliderName);
    return list;
}

NameList FillNumberNames() {
    NameList list;
    list.reserve(129);
    for (int n = 0; n < 128; ++n) list.push_back(Right3(n));
    list.emplace_back(kSliderName);
    return list;
}

NameList FillNumbers1to8() {
    NameList list;
    for (int n = 1; n <= 8; ++n) list.push_back(Right3(n));
    return list;
}

NameList FillNoteNames() {
    static const char* const kNotes[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
    NameList list;
    list.reserve(129);
    for (int n = 0; n < 128; ++n) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%3d:  %-2s%2d", n, kNotes[n % 12], n / 12 - 1);
        list.push_back(buf);
    }
    list.emplace_back(kSliderName);
    return list;
}

NameList FillFaderNames() {
    NameList list;
    for (int n = 1; n <= 24; ++n) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "Fader%03d", n);
        list.push_back(buf);
    }
    return list;
}

std::string NameOf(const NameList& list, int index) {
    if (index >= 0 && static_cast<size_t>(index) < list.size()) return list[static_cast<size_t>(index)];
    return std::to_string(index);
}

}  // namespace morvelant
