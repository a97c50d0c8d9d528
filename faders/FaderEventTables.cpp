#include "faders/FaderEventTables.h"

#include <cstdio>

#include "model/NameLists.h"

namespace morvelant {

const std::array<int32_t, kFaderEventCount> FaderEventCodes = {0xB0, 0xC0, 0xD0, 0xE0, 0xF0, 0x00, 0x10, 0x20,
                                                               0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90, 0xA0};
const std::array<int32_t, kKeyEventCount> KeyEventCodes = {0x90, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0xF0, 0x70, 0x80};

const std::array<const char*, kFaderEventCount> FaderEventNames = {
    "Controller",    "Program Change", "MonoAftertouch", "Pitch Bend",    "String",        "Extension",
    "Track Pattern", "Track End",      "Track Velocity", "Track Note",    "Step Velocity", "Step Note",
    "No Status",     "Note Off",       "Note Event",     "PolyAftertouch"};
const std::array<const char*, kKeyEventCount> KeyEventNames = {"Note Event",     "PolyAftertouch", "Controller",
                                                               "Program Change", "MonoAftertouch", "Pitch Bend",
                                                               "String",         "No Status",      "Note Off"};

namespace {

template <size_t N>
int IndexOfCode(const std::array<int32_t, N>& codes, int32_t status) {
    const int32_t code = status & 0xF0;
    for (size_t i = 0; i < N; ++i)
        if (codes[i] == code) return static_cast<int>(i);
    return -1;
}

using D = DataItems;
using P = DataPopup;
constexpr DataLayout kHiddenNumbers{"", D::Numbers, P::None, false};
constexpr DataLayout kHiddenTracks{"", D::TrackNumbers, P::None, false};
constexpr DataLayout kTrackNumber{"Track Number", D::TrackNumbers, P::None, true};
constexpr DataLayout kStringPosition{"String X Position", D::Numbers, P::None, true};

constexpr DataLayout Shown(const char* caption, DataItems items, DataPopup popup) {
    return {caption, items, popup, true};
}

constexpr FaderRowLayout MidiRow(DataLayout d1, DataLayout d2) {
    return {d1, d2, "Midi Channel", ChannelGroup::Shown, UpperChannels::Shown, false};
}
constexpr FaderRowLayout TrackRow() {
    return {kTrackNumber, kHiddenNumbers, "", ChannelGroup::Hidden, UpperChannels::Hidden, false};
}
constexpr FaderRowLayout StepRow() {
    return {kTrackNumber, kHiddenNumbers, "Step Number", ChannelGroup::Shown, UpperChannels::Shown, false};
}

const std::array<FaderRowLayout, kFaderEventCount> kFaderRows = {{
    MidiRow(Shown("Controller Number", D::Controllers, P::Controllers),
            Shown("Controller Value", D::Numbers, P::Values)),
    MidiRow(Shown("Program Change Number", D::Numbers, P::Values), kHiddenNumbers),
    MidiRow(Shown("Mono Aftertouch Pressure", D::Numbers, P::Values), kHiddenNumbers),
    MidiRow(Shown("PitchBend LSB", D::Numbers, P::Values), Shown("PitchBend MSB", D::Numbers, P::Values)),
    {kStringPosition, kHiddenNumbers, "Midi Channel", ChannelGroup::Hidden, UpperChannels::Shown, true},
    {kHiddenNumbers, kHiddenNumbers, "Midi Channel", ChannelGroup::Hidden, UpperChannels::Shown, false},
    TrackRow(),
    TrackRow(),
    TrackRow(),
    TrackRow(),
    StepRow(),
    StepRow(),
    {kHiddenTracks, kHiddenNumbers, "Midi Channel", ChannelGroup::Hidden, UpperChannels::Unchanged, false},
    MidiRow(Shown("NoteOff Note", D::Notes, P::Notes), Shown("NoteOff Velocity", D::Numbers, P::Values)),
    MidiRow(Shown("NoteOn Note", D::Notes, P::Notes), Shown("NoteOn Velocity", D::Numbers, P::Values)),
    MidiRow(Shown("Poly Aftertouch Number", D::Notes, P::Notes),
            Shown("Poly Aftertouch Pressure", D::Numbers, P::Values)),
}};

constexpr KeyRowLayout KeyMidiRow(DataLayout d1, DataLayout d2) { return {d1, d2, true, false}; }

const std::array<KeyRowLayout, kKeyEventCount> kKeyRows = {{
    KeyMidiRow(Shown("NoteOn Note", D::Notes, P::Notes), Shown("NoteOn Velocity", D::Numbers, P::Values)),
    KeyMidiRow(Shown("Poly Aftertouch Note", D::Notes, P::Notes),
               Shown("Poly Aftertouch Pressure", D::Numbers, P::Values)),
    KeyMidiRow(Shown("Controller Number", D::Controllers, P::Controllers),
               Shown("Controller Value", D::Numbers, P::Values)),
    KeyMidiRow(Shown("Program Change Number", D::Numbers, P::Values), kHiddenNumbers),
    KeyMidiRow(Shown("Mono Aftertouch Pressure", D::Numbers, P::Values), kHiddenNumbers),
    KeyMidiRow(Shown("PitchBend LSB", D::Numbers, P::Values), Shown("PitchBend MSB", D::Numbers, P::Values)),
    {kStringPosition, kHiddenNumbers, false, true},
    {kHiddenNumbers, kHiddenNumbers, false, false},
    KeyMidiRow(Shown("NoteOff Note", D::Notes, P::Notes), Shown("NoteOff Velocity", D::Numbers, P::Values)),
}};

std::vector<std::string> BuildMidiModeItems() {
    struct Group {
        const char* prefix;
        const char* noOutput;
    };
    static constexpr Group kGroups[] = {
        {"                 FaderEvent                   >  ", "Output ---"},
        {"Input 1  >  Velocity Overdup One  >  ", "Output ----"},
        {"Input 2  >  Velocity Overdup One  >  ", "Output ----"},
        {"Input1   >  Velocity Overdup All     >  ", "Output ---"},
        {"Input2   >  Velocity Overdup All     >  ", "Output ---"},
        {"Input 1  >  Velocity Multiply One    >  ", "Output ---"},
        {"Input 2  >  Velocity Multiply One    >  ", "Output ---"},
        {"Input 1  >  Velocity Multiply All       >  ", "Output ---"},
        {"Input 2  >  Velocity Multiply All       >  ", "Output ---"},
        {"Input 1  >  Update Fader               >  ", "Output ---"},
        {"Input 2  >  Update Fader               >  ", "Output ---"},
        {"Input 1  >  Hook On Fader            >  ", "Output ---"},
        {"Input 2  >  Hook On Fader            >  ", "Output ---"},
        {"Input 1  >  Overdup Mode             >  ", "Output ---"},
        {"Input 2  >  Overdup Mode             >  ", "Output ---"},
    };
    std::vector<std::string> items;
    items.reserve(kMidiModeItemCount);
    for (const Group& g : kGroups) {
        const std::string prefix = g.prefix;
        items.push_back(prefix + g.noOutput);
        items.push_back(prefix + "Output 1");
        items.push_back(prefix + "Output 2");
        items.push_back(prefix + "Output 1&2");
    }
    return items;
}

}  // namespace

int FaderEventIndex(int32_t status) { return IndexOfCode(FaderEventCodes, status); }
int KeyEventIndex(int32_t status) { return IndexOfCode(KeyEventCodes, status); }

int32_t TrackDataMask(int faderEventIndex) { return faderEventIndex >= 6 && faderEventIndex <= 12 ? 7 : 255; }

const FaderRowLayout* FaderRowLayoutOf(int index) {
    return index >= 0 && index < kFaderEventCount ? &kFaderRows[size_t(index)] : nullptr;
}
const KeyRowLayout* KeyRowLayoutOf(int index) {
    return index >= 0 && index < kKeyEventCount ? &kKeyRows[size_t(index)] : nullptr;
}

const std::vector<std::string>& MidiModeItems() {
    static const std::vector<std::string> items = BuildMidiModeItems();
    return items;
}

int MidiModeItemOfStored(int32_t stored) {
    int m = stored & 0x3F;
    if (m >= 8) m -= 4;
    return m;
}

int32_t MidiModeValueOfItem(int item) { return item >= 4 ? item + 4 : item; }

const std::vector<std::string>& MasterSlaveItems() {
    static const std::vector<std::string> items = [] {
        std::vector<std::string> v{"Slider = Master"};
        char text[32];
        for (int i = 1; i <= 24; ++i) {
            std::snprintf(text, sizeof text, "Slave/Master:%03d", i);
            v.emplace_back(text);
        }
        return v;
    }();
    return items;
}

const std::vector<std::string>& SwitchModeItems() {
    static const std::vector<std::string> items = {"Momentary & Mute", "Toggle & Mute", "Momentary", "Toggle"};
    return items;
}

const std::vector<std::string>& MuteValueItems() {
    static const std::vector<std::string> items = [] {
        std::vector<std::string> v = FillNumberNames();
        v.back() = "No Value";
        return v;
    }();
    return items;
}

int ListIndexOf(int32_t value, int count) { return value >= 0 && value < count ? int(value) : -1; }

}  // namespace morvelant
