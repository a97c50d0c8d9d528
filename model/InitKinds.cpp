// The init kinds of presets, faders and single events: factory values,
// "No Status" and MIDI controller numbering. All but InitPreset go through
// the setters, so per-fader and per-event inits follow multi-fader editing.
#include <algorithm>

#include "model/DeviceModel.h"

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
}

// ---- Factory -------------------------------------------------------------------

void DeviceModel::FactoryInitFaderEvent(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    SetFaderMin(p, f, 0);
    SetFaderMax(p, f, 127);
    SetFaderValue(p, f, 0);
    SetFaderThreshold(p, f, 8);
    SetFaderMode(p, f, 0);
    SetFaderMidiMode(p, f, 3);
    SetMasterSlaveMode(p, f, 0);
    SetFaderOutMode(p, f, false);
    SetFaderStatus(p, f, 0xB0);
    SetFaderMidiData1(p, f, f);
    SetFaderMidiData2(p, f, kLiveValue);
    SetFaderString(p, f, "");
    SetSliderName(p, f, FaderNames[static_cast<size_t>(f)]);
}

void DeviceModel::FactoryInitKeyOn(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    SetDemuteVal(p, f, 127);
    SetKeyOnStatus(p, f, 0x90);
    SetKeyOnMidiData1(p, f, f);
    SetKeyOnMidiData2(p, f, kLiveValue);
    SetKeyOnString(p, f, "");
    SetKeyOnName(p, f, "");
}

void DeviceModel::FactoryInitKeyOff(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    SetMuteVal(p, f, 0);
    SetKeyOffStatus(p, f, 0x80);
    SetKeyOffMidiData1(p, f, f);
    SetKeyOffMidiData2(p, f, kLiveValue);
    SetKeyOffString(p, f, "");
    SetKeyOffName(p, f, "");
}

// ---- No Status -----------------------------------------------------------------

void DeviceModel::ClearFaderEvent(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    SetFaderMin(p, f, 0);
    SetFaderMax(p, f, 127);
    SetFaderValue(p, f, 0);
    SetFaderThreshold(p, f, 8);
    SetFaderMode(p, f, 0);
    SetFaderMidiMode(p, f, 3);
    SetMasterSlaveMode(p, f, 0);
    SetFaderOutMode(p, f, false);
    SetFaderStatus(p, f, 0x70);
    SetFaderMidiData1(p, f, 0);
    SetFaderMidiData2(p, f, kLiveValue);
    SetFaderString(p, f, "");
    SetSliderName(p, f, FaderNames[static_cast<size_t>(f)]);
}

void DeviceModel::ClearKeyOn(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    SetDemuteVal(p, f, kLiveValue);
    SetKeyOnStatus(p, f, 0x70);
    SetKeyOnMidiData1(p, f, 0);
    SetKeyOnMidiData2(p, f, kLiveValue);
    SetKeyOnString(p, f, "");
    SetKeyOnName(p, f, "");
}

void DeviceModel::ClearKeyOff(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    SetMuteVal(p, f, kLiveValue);
    SetKeyOffStatus(p, f, 0x70);
    SetKeyOffMidiData1(p, f, 0);
    SetKeyOffMidiData2(p, f, kLiveValue);
    SetKeyOffString(p, f, "");
    SetKeyOffName(p, f, "");
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
    if (InitRanges[static_cast<size_t>(item)] && min != kLiveValue) return "Ctrl " + std::to_string(InitCtrlData(item, f));
    return word + std::to_string(f);
}

void DeviceModel::MidiCtrlInitFaderEvent(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    SetFaderMin(p, f, 0);
    SetFaderMax(p, f, 127);
    SetFaderValue(p, f, 0);
    SetFaderThreshold(p, f, 0);
    SetFaderMode(p, f, 0);
    SetFaderMidiMode(p, f, 3);
    SetMasterSlaveMode(p, f, 0);
    SetFaderOutMode(p, f, false);
    SetFaderStatus(p, f, 0xB0);
    SetFaderMidiData1(p, f, InitCtrlData(kFaderCtrl, f));
    SetSliderName(p, f, InitCtrlName(kFaderCtrl, f, "Fader "));
    SetFaderMidiData2(p, f, InitCtrlData(kFaderValueItem, f));
    SetFaderString(p, f, "");
}

void DeviceModel::MidiCtrlInitKeyOn(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    SetDemuteVal(p, f, 64);
    SetKeyOnStatus(p, f, 0xB0);
    SetKeyOnMidiData1(p, f, InitCtrlData(kKeyonCtrl, f));
    SetKeyOnName(p, f, InitCtrlName(kKeyonCtrl, f, "KeyOn "));
    SetKeyOnMidiData2(p, f, InitCtrlData(kKeyonValue, f));
    SetKeyOnString(p, f, "");
}

void DeviceModel::MidiCtrlInitKeyOff(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    SetMuteVal(p, f, 0);
    SetKeyOffStatus(p, f, 0xB0);
    SetKeyOffMidiData1(p, f, InitCtrlData(kKeyoffCtrl, f));
    SetKeyOffName(p, f, InitCtrlName(kKeyoffCtrl, f, "KeyOff"));
    SetKeyOffMidiData2(p, f, InitCtrlData(kKeyoffValue, f));
    SetKeyOffString(p, f, "");
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
