#include "presets/Description.h"

#include <cstddef>

namespace morvelant {

namespace {

using MP = Morvelant_Parameters;

constexpr int32_t kLiveValue = 128;
constexpr int kEventWidth = 46;
constexpr int kHalfWidth = 55;

std::string R(int32_t x, int w) { return DeviceModel::AlignRight(std::to_string(x), w); }
std::string L(const std::string& s, int w) { return DeviceModel::AlignLeft(s, w); }

// Entry i of a fixed table; anything outside it shows as its number in the
// table's width, so a value from a damaged file never reads past the table.
template <std::size_t N>
std::string TableEntry(const char* const (&table)[N], int32_t i, int width) {
    if (i >= 0 && static_cast<std::size_t>(i) < N) return table[i];
    return L(std::to_string(i), width);
}

constexpr const char* kPickupModes[] = {"IMMEDIATE", "RELATIVE ", "CATCH    "};
constexpr const char* kFaderMute[] = {"mute off", "mute on "};
constexpr const char* kKeyModes[] = {"Momentary&Mute", "Toggle & Mute ", "Momentary     ", "Toggle        "};
constexpr const char* kInputFunctions[] = {"VelOvpOne", "VelOvpAll", "VelMulOne", "VelMulAll",
                                           "UpdateFad", "HookOnFad", "Ovdup/Fad"};
constexpr const char* kOutputCodes[] = {"xxx", "O1 ", "O 2", "O12"};

std::string MasterSlaveName(int32_t v) {
    if (v == 0) return "Slider = Master ";
    if (v >= 1 && v <= kFaderCount) return "Slave/Master:" + DeviceModel::AlignRight("00" + std::to_string(v), 3);
    return L(std::to_string(v), 16);
}

std::string MidiModeName(int32_t mode) {
    const int32_t function = (mode >> 3) & 7;
    std::string text = function == 0 ? std::string("  FaderEvent")
                                     : std::string((mode & 4) ? "I2>" : "I1>") + kInputFunctions[function - 1];
    return text + ">" + kOutputCodes[mode & 3];
}

// A data field: "Sld" for the live value, else the number in three columns.
std::string DataText(int32_t d) { return d == kLiveValue ? "Sld" : R(d, 3); }

// A name list entry, or "Sld" for the live value; a value the list does not
// cover shows as its number.
std::string NameText(const NameList& list, int32_t d) { return d == kLiveValue ? "Sld" : NameOf(list, d); }

enum class EventOf { Fader, Key };

std::string EventText(const DeviceModel& model, EventOf kind, int32_t status, int32_t data1, int32_t data2,
                      const std::string& eventString) {
    const int32_t code = status & 0xF0;
    const int32_t channel = (status & 0x0F) + 1;
    const bool fader = kind == EventOf::Fader;
    if (fader && code >= 0x10 && code <= 0x60) data1 = (data1 & 7) + 1;
    const std::string d1 = DataText(data1);
    const std::string d2 = DataText(data2);
    const std::string c = "Ch" + R(channel, 2);
    const std::string track = "Track Number " + d1;
    std::string text;
    switch (code) {
        case 0x80: text = L(c + ",NOTE OFF ,Note:" + NameText(model.NoteNames, data1), 30) + ",Velocity:" + d2; break;
        case 0x90: text = L(c + ",NOTE ON  ,Note:" + NameText(model.NoteNames, data1), 30) + ",Velocity:" + d2; break;
        case 0xA0: text = L(c + ",POLY AFT.,Note:" + NameText(model.NoteNames, data1), 30) + ",Pressure:" + d2; break;
        case 0xB0: {
            const std::string ctrl = data1 == kLiveValue ? "Sld" : L(NameOf(model.ControllerNames, data1), 29);
            text = c + ",CTRL," + ctrl + "," + d2;
            break;
        }
        case 0xC0: text = c + ",PROGRAMCHANGE," + d1; break;
        case 0xD0: text = c + ",MONO AFT.,Pressure:" + d1; break;
        case 0xE0: text = L(c + ",PITCH BEND," + d1, 30) + "," + d2; break;
        case 0xF0: text = eventString; break;
        case 0x70: text = "NO STATUS"; break;
        case 0x00: text = fader ? "EXTENSION" : ""; break;
        case 0x10: text = fader ? "TRACK PATTERN :" + track : ""; break;
        case 0x20: text = fader ? "TRACK END STEP:" + track : ""; break;
        case 0x30: text = fader ? "TRACK VELOCITY:" + track : ""; break;
        case 0x40: text = fader ? "TRACK NOTE    :" + track : ""; break;
        case 0x50: text = fader ? "STEP VELOCITY :" + track + ",Note Step " + R(channel, 2) : ""; break;
        case 0x60: text = fader ? "STEP NOTE     :" + track + ",Note Step " + R(channel, 2) : ""; break;
        default: break;
    }
    // A key event without text still fills its columns with blanks, so the
    // fader beside it stays in its place.
    return (text + std::string(kEventWidth, ' ')).substr(0, kEventWidth);
}

std::string FaderName(const MP& m, int f) {
    const std::string& name = m.SliderName[static_cast<std::size_t>(f)];
    if (!name.empty()) return name;
    return "Fader" + DeviceModel::AlignRight("00" + std::to_string(f + 1), 3);
}

std::string ValueOrDashes(int32_t v) { return v == kLiveValue ? "---" : R(v, 3); }

std::string Half(const std::string& line) { return (line + std::string(9, ' ')).substr(0, kHalfWidth); }

}  // namespace

int DescribeFader(const DeviceModel& model, int p, int f, FaderDescription& lines) {
    lines = {};
    if (!DeviceModel::ValidPreset(p) || !DeviceModel::ValidFader(f)) return 0;
    const MP& m = model.Presets[static_cast<std::size_t>(p)];
    const auto i = static_cast<std::size_t>(f);

    lines[0] = std::string(55, '-');
    lines[1] = "(" + R(f + 1, 2) + ") " + L(FaderName(m, f), 8) + "  (" + R(m.FaderMin(f), 3) + "-" +
        R(m.FaderMax(f), 3) + "," + R(m.FaderValue(f), 3) + "," + R(m.FaderThreshold(f), 3) + ")" + "    [" +
        L(m.KeyOnName[i], 8) + "," + L(m.KeyOffName[i], 8) + "]";
    lines[2] = "Fader :" +
        EventText(model, EventOf::Fader, m.FaderStatus(f), m.FaderMidiData1(f), m.FaderMidiData2(f), m.FaderString[i]);
    lines[3] = "KeyOn :" +
        EventText(model, EventOf::Key, m.KeyOnStatus(f), m.KeyOnMidiData1(f), m.KeyOnMidiData2(f), m.KeyOnString[i]);
    lines[4] = "KeyOff:" +
        EventText(model, EventOf::Key, m.KeyOffStatus(f), m.KeyOffMidiData1(f), m.KeyOffMidiData2(f),
                  m.KeyOffString[i]);
    lines[5] = TableEntry(kPickupModes, m.ActiveMode(f) & 3, 9) + ";" + MasterSlaveName(m.MasterSlaveMode(f)) + ";" +
        TableEntry(kFaderMute, m.FaderOutMode(f), 8) + ";threshold:" + R(m.FaderThreshold(f), 3);
    lines[6] = TableEntry(kKeyModes, m.SwitchMode(f), 14) + ";mute:" + ValueOrDashes(m.MuteVal(f)) +
        ";demute:" + ValueOrDashes(m.DemuteVal(f)) + ";" + MidiModeName(m.FaderMidiMode(f) & 0x3F);
    return kFaderDescriptionLines;
}

std::string DescribeFaderPairs(const DeviceModel& model, int p) {
    std::string text;
    FaderDescription a, b;
    for (int f = 0; f < kFaderCount; f += 2) {
        DescribeFader(model, p, f, a);
        DescribeFader(model, p, f + 1, b);
        for (int i = 0; i < kFaderDescriptionLines; ++i) text += Half(a[i]) + " | " + Half(b[i]) + "\n";
    }
    return text;
}

std::string DescribeAllFaderParameters(const DeviceModel& model) {
    const int p = model.SelectedPreset;
    if (!DeviceModel::ValidPreset(p)) return {};
    const MP& m = model.Presets[static_cast<std::size_t>(p)];
    std::string text = "(Preset " + std::to_string(p + 1) + ")   " + model.GetPresetDeviceName(p) + "\n";
    text += DescribeFaderPairs(model, p);
    text += "\n    Special Keys:\n";
    static constexpr const char* kLabels[kSpecialKeyCount] = {
        "Preset  :", "Start   :", "Stop    :", "Continue:", "<<      :", ">>      :"};
    for (int k = 0; k < kSpecialKeyCount; ++k)
        text += kLabels[k] + m.SpecialKeyString[static_cast<std::size_t>(k)] + "\n";
    return text;
}

}  // namespace morvelant
