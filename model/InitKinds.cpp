// The init kinds of presets, faders and single events: factory values,
// "No Status" and MIDI controller numbering. All but InitPreset go through
// the setters, so per-fader and per-event inits follow multi-fader editing.
#include <algorithm>

#include "model/DeviceModel.h"
#include "model/KeySetters.h"

namespace morvelant {

// Turns the multi-fader rule off for its lifetime.
class DeviceModel::MultiSuspend {
public:
    explicit MultiSuspend(DeviceModel& m) : m_(m) { ++m_.multiSuspended_; }
    ~MultiSuspend() { --m_.multiSuspended_; }
    MultiSuspend(const MultiSuspend&) = delete;
    MultiSuspend& operator=(const MultiSuspend&) = delete;

private:
    DeviceModel& m_;
};

namespace {

constexpr int32_t kLiveValue = 128;

// What one init kind writes into a fader event.
struct FaderEventValues {
    int32_t threshold;
    int32_t status;
    int32_t data1;
    int32_t data2;
};

// What one init kind writes into a key event; off is the key's demute or
// mute value.
struct KeyEventValues {
    int32_t off;
    int32_t status;
    int32_t data1;
    int32_t data2;
};

// Every init kind writes the whole fader event through the setters: the
// range before the value (which is clamped into it), the status before the
// string (with several faders marked, only string events keep one).
void WriteFaderEvent(DeviceModel& m, int p, int f, const FaderEventValues& v, const std::string& name) {
    m.SetFaderMin(p, f, 0);
    m.SetFaderMax(p, f, 127);
    m.SetFaderValue(p, f, 0);
    m.SetFaderThreshold(p, f, v.threshold);
    m.SetFaderMode(p, f, 0);
    m.SetFaderMidiMode(p, f, 3);
    m.SetMasterSlaveMode(p, f, 0);
    m.SetFaderOutMode(p, f, false);
    m.SetFaderStatus(p, f, v.status);
    m.SetFaderMidiData1(p, f, v.data1);
    m.SetFaderMidiData2(p, f, v.data2);
    m.SetFaderString(p, f, "");
    m.SetSliderName(p, f, name);
}

void WriteKeyEvent(DeviceModel& m, const KeySetters& s, int p, int f, const KeyEventValues& v,
                   const std::string& name) {
    (m.*s.off)(p, f, v.off);
    (m.*s.status)(p, f, v.status);
    (m.*s.data1)(p, f, v.data1);
    (m.*s.data2)(p, f, v.data2);
    (m.*s.text)(p, f, "");
    (m.*s.name)(p, f, name);
}

}  // namespace

// ---- Factory -------------------------------------------------------------------

void DeviceModel::FactoryInitFaderEvent(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteFaderEvent(*this, p, f, {.threshold = 8, .status = 0xB0, .data1 = f, .data2 = kLiveValue},
                    FaderNames[static_cast<size_t>(f)]);
}

void DeviceModel::FactoryInitKeyOn(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyEvent(*this, kKeyOnSetters, p, f, {.off = 127, .status = 0x90, .data1 = f, .data2 = kLiveValue}, "");
}

void DeviceModel::FactoryInitKeyOff(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyEvent(*this, kKeyOffSetters, p, f, {.off = 0, .status = 0x80, .data1 = f, .data2 = kLiveValue}, "");
}

// ---- No Status -----------------------------------------------------------------

void DeviceModel::ClearFaderEvent(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteFaderEvent(*this, p, f, {.threshold = 8, .status = 0x70, .data1 = 0, .data2 = kLiveValue},
                    FaderNames[static_cast<size_t>(f)]);
}

void DeviceModel::ClearKeyOn(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyEvent(*this, kKeyOnSetters, p, f, {.off = kLiveValue, .status = 0x70, .data1 = 0, .data2 = kLiveValue}, "");
}

void DeviceModel::ClearKeyOff(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyEvent(*this, kKeyOffSetters, p, f, {.off = kLiveValue, .status = 0x70, .data1 = 0, .data2 = kLiveValue},
                  "");
}

// ---- Midi Controllers ------------------------------------------------------------

int32_t DeviceModel::InitCtrlData(int item, int f) const {
    const int32_t min = InitValues[static_cast<size_t>(InitMinIndex(item))];
    if (min == kLiveValue) return kLiveValue;  // "Slider": the live value
    const int64_t v = InitRanges[static_cast<size_t>(item)] ? int64_t{min} + f : int64_t{min};
    // A data byte never leaves 0..127: 128 would silently become the live
    // value and more would not be MIDI at all.
    return static_cast<int32_t>(std::clamp<int64_t>(v, 0, 127));
}

std::string DeviceModel::InitCtrlName(int item, int f, const char* word) const {
    const int32_t min = InitValues[static_cast<size_t>(InitMinIndex(item))];
    if (InitRanges[static_cast<size_t>(item)] && min != kLiveValue)
        return "Ctrl " + std::to_string(InitCtrlData(item, f));
    return word + std::to_string(f);
}

void DeviceModel::MidiCtrlInitFaderEvent(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteFaderEvent(*this, p, f,
                    {.threshold = 0,
                     .status = 0xB0,
                     .data1 = InitCtrlData(kFaderCtrl, f),
                     .data2 = InitCtrlData(kFaderValueItem, f)},
                    InitCtrlName(kFaderCtrl, f, "Fader "));
}

void DeviceModel::MidiCtrlInitKeyOn(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyEvent(
        *this, kKeyOnSetters, p, f,
        {.off = 64, .status = 0xB0, .data1 = InitCtrlData(kKeyonCtrl, f), .data2 = InitCtrlData(kKeyonValue, f)},
        InitCtrlName(kKeyonCtrl, f, "KeyOn "));
}

void DeviceModel::MidiCtrlInitKeyOff(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyEvent(
        *this, kKeyOffSetters, p, f,
        {.off = 0, .status = 0xB0, .data1 = InitCtrlData(kKeyoffCtrl, f), .data2 = InitCtrlData(kKeyoffValue, f)},
        InitCtrlName(kKeyoffCtrl, f, "KeyOff"));
}

// ---- Fader and preset level ---------------------------------------------------------

void DeviceModel::FaderTail(int p, int f) {
    SetSwitchMode(p, f, 1);
    ResetFaderState(FaderStates[static_cast<size_t>(f)], f);
    ResetKeyState(KeyStates[static_cast<size_t>(f)], f);
}

void DeviceModel::PresetTail(int p) {
    Presets[static_cast<size_t>(p)].PresetNotes.clear();
    SetDefaultPresetDeviceName(p);
    for (auto& s : Presets[static_cast<size_t>(p)].SpecialKeyString) s.clear();
}

void DeviceModel::FactoryInitFader(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    FactoryInitFaderEvent(p, f);
    FactoryInitKeyOn(p, f);
    FactoryInitKeyOff(p, f);
    FaderTail(p, f);
}

void DeviceModel::MidiCtrlInitFader(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    MidiCtrlInitFaderEvent(p, f);
    MidiCtrlInitKeyOn(p, f);
    MidiCtrlInitKeyOff(p, f);
    FaderTail(p, f);
}

void DeviceModel::ClearFader(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    ClearFaderEvent(p, f);
    ClearKeyOn(p, f);
    ClearKeyOff(p, f);
    FaderTail(p, f);
}

// A whole-preset init gives each of the 24 faders its own values: the
// multi-fader marks would otherwise make every marked fader end with the
// values of the last one and leave the others untouched.
void DeviceModel::FactoryInitPreset(int p) {
    if (!ValidPreset(p)) return;
    MultiSuspend suspend(*this);
    for (int f = 0; f < kFaderCount; ++f) FactoryInitFader(p, f);
    PresetTail(p);
}

void DeviceModel::MidiCtrlInitPreset(int p) {
    if (!ValidPreset(p)) return;
    MultiSuspend suspend(*this);
    for (int f = 0; f < kFaderCount; ++f) MidiCtrlInitFader(p, f);
    PresetTail(p);
}

void DeviceModel::ClearPreset(int p) {
    if (!ValidPreset(p)) return;
    MultiSuspend suspend(*this);
    for (int f = 0; f < kFaderCount; ++f) ClearFader(p, f);
    PresetTail(p);
}

}  // namespace morvelant
