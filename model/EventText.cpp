// The one-line description of a fader or key event, and the fixed-column
// text helpers of the preset description.
#include "model/DeviceModel.h"

namespace morvelant {

using MP = Morvelant_Parameters;

namespace {

constexpr int32_t kLiveValue = 128;
enum class FieldKind { Number, Note, Controller };

}  // namespace

std::string DeviceModel::EventDefinitionText(int32_t status, int32_t data1, int32_t data2,
                                             const std::string& eventString, int32_t value) const {
    const int32_t code = status & 0xF0;
    const std::string ch = std::to_string((status & 0x0F) + 1);
    if (code >= 0x10 && code <= 0x60) data1 = (data1 & 7) + 1;  // the track number 1..8

    // A data field: the number, or the live value in brackets where the
    // field holds 128. Names are looked up only for values the list covers.
    auto field = [&](int32_t d, FieldKind kind) {
        const bool live = d == kLiveValue;
        const int32_t n = live ? value : d;
        std::string text;
        switch (kind) {
            case FieldKind::Note: text = NameOf(NoteNames, n); break;
            case FieldKind::Controller: text = NameOf(ControllerNames, n); break;
            case FieldKind::Number: text = std::to_string(n); break;
        }
        return live ? " [" + text + "] " : text;
    };
    const auto f1 = [&](FieldKind k = FieldKind::Number) { return field(data1, k); };
    const auto f2 = [&] { return field(data2, FieldKind::Number); };

    switch (code) {
        case 0x00: return "EXTENSION";
        case 0x10: return "TRACK PATTERN      TRACK NUMBER:" + f1();
        case 0x20: return "TRACK END STEP      TRACK NUMBER:" + f1();
        case 0x30: return "TRACK VELOCITY      TRACK NUMBER:" + f1();
        case 0x40: return "TRACK NOTE      TRACK NUMBER:" + f1();
        case 0x50: return "STEP VELOCITY      TRACK NUMBER:" + f1() + "    NOTE STEP:" + ch;
        case 0x60: return "STEP NOTE      TRACK NUMBER:" + f1() + "    NOTE STEP:" + ch;
        case 0x70: return "NO STATUS";
        case 0x80: return "NOTEOFF      CH:" + ch + "    NOTE:" + f1(FieldKind::Note) + "    VELOCITY:" + f2();
        case 0x90: return "NOTEON      CH:" + ch + "    NOTE:" + f1(FieldKind::Note) + "    VELOCITY:" + f2();
        case 0xA0: return "POLY AFTERTOUCH      CH:" + ch + "    NOTE:" + f1(FieldKind::Note) + "    PRESSURE:" + f2();
        case 0xB0: return "CONTROLLER      CH:" + ch + "    CTRL:" + f1(FieldKind::Controller) + "    VALUE:" + f2();
        case 0xC0: return "PROGRAM CHANGE      CH:" + ch + "    PROGRAM NUMBER:" + f1();
        case 0xD0: return "MONO AFTERTOUCH      CH:" + ch + "    PRESSURE:" + f1();
        case 0xE0: return "PITCHBEND      CH:" + ch + "    PITCH BEND:" + f1() + "," + f2();
        default: return "SYSEX:" + eventString;  // 0xF0
    }
}

std::string DeviceModel::FaderEventText(int p, int f) const {
    if (!ValidPreset(p) || !ValidFader(f)) return {};
    const MP& m = Presets[static_cast<size_t>(p)];
    return EventDefinitionText(m.FaderStatus(f), m.FaderMidiData1(f), m.FaderMidiData2(f),
                               m.FaderString[static_cast<size_t>(f)], FaderStates[static_cast<size_t>(f)].Value);
}

namespace {

// What a key sends: a fixed value replaces the key's live fields, and a key
// without an event of its own sends the fader's event with that value.
struct KeyEvent {
    int32_t status, data1, data2;
    std::string text;
    int32_t value;
};

KeyEvent KeyEventOf(const MP& m, int f, int32_t status, int32_t data1, int32_t data2, const std::string& text,
                    int32_t fixed, int32_t liveValue) {
    KeyEvent e{status, data1, data2, text, liveValue};
    if (fixed != kLiveValue) {
        e.value = fixed;
        if (e.data1 == kLiveValue) e.data1 = fixed;
        if (e.data2 == kLiveValue) e.data2 = fixed;
        if (e.status == 0x70) {
            e.status = m.FaderStatus(f);
            e.data1 = m.FaderMidiData1(f);
            e.data2 = m.FaderMidiData2(f);
            e.text = m.FaderString[static_cast<size_t>(f)];
        }
    }
    return e;
}

}  // namespace

std::string DeviceModel::KeyOnEventText(int p, int f) const {
    if (!ValidPreset(p) || !ValidFader(f)) return {};
    const MP& m = Presets[static_cast<size_t>(p)];
    const KeyEvent e =
        KeyEventOf(m, f, m.KeyOnStatus(f), m.KeyOnMidiData1(f), m.KeyOnMidiData2(f),
                   m.KeyOnString[static_cast<size_t>(f)], m.DemuteVal(f), FaderStates[static_cast<size_t>(f)].Value);
    return EventDefinitionText(e.status, e.data1, e.data2, e.text, e.value);
}

std::string DeviceModel::KeyOffEventText(int p, int f) const {
    if (!ValidPreset(p) || !ValidFader(f)) return {};
    const MP& m = Presets[static_cast<size_t>(p)];
    const KeyEvent e =
        KeyEventOf(m, f, m.KeyOffStatus(f), m.KeyOffMidiData1(f), m.KeyOffMidiData2(f),
                   m.KeyOffString[static_cast<size_t>(f)], m.MuteVal(f), FaderStates[static_cast<size_t>(f)].Value);
    return EventDefinitionText(e.status, e.data1, e.data2, e.text, e.value);
}

std::string DeviceModel::AlignRight(const std::string& text, int width) {
    const std::string padded = std::string(40, ' ') + text;
    if (width <= 0) return {};
    const size_t w = static_cast<size_t>(width);
    return w >= padded.size() ? padded : padded.substr(padded.size() - w);
}

std::string DeviceModel::AlignLeft(const std::string& text, int width) {
    const std::string padded = text + std::string(40, ' ');
    if (width <= 0) return {};
    return padded.substr(0, static_cast<size_t>(width));
}

}  // namespace morvelant
