#include "model/TrackSettings.h"

#include <algorithm>

namespace morvelant {

namespace {

Pattern_Parameters* Track(DeviceModel& model, int p, int t) {
    if (!DeviceModel::ValidPattern(p) || t < 1 || t > kTrackCount) return nullptr;
    return &model.Patterns[size_t(p)];
}

bool ValidIndex(int index, int count) { return index >= 0 && index < count; }

std::string ErrorName(int32_t v) { return "error:" + std::to_string(v); }

}  // namespace

std::string TimeName(int32_t v) {
    const int32_t k = v / 4;
    if (k < 1 || k > 31) return ErrorName(v);
    // Every name is eight characters: three digits of 96ths, then either
    // "*1/96" or the plain note value.
    const int n = k + 1;
    std::string digits = std::to_string(n);
    digits.insert(0, 3 - digits.size(), '0');
    switch (n) {
        case 3: return digits + "=1/32";
        case 6: return digits + "=1/16";
        case 12: return digits + "=1/8 ";
        case 24: return digits + "=1/4 ";
        default: return digits + "*1/96";
    }
}

std::string DelayName(int32_t v) {
    if (v / 4 == 0) return "no Delay";
    return TimeName(v);
}

std::string RunModeName(int32_t v) {
    if (v < 0 || v > 23) return ErrorName(v);
    static const char* const orders[] = {"Up", "Down", "Up/Down1", "Up/Down2"};
    std::string name = orders[v / 6];
    if (v % 6 != 0) name += " " + std::to_string(v % 6) + "-Okt.";
    return name;
}

std::string TrackEventName(int32_t event) {
    switch (event & 0xF0) {
        case 0x90: return "Note Event";
        case 0xA0: return "Poly Aft.";
        case 0xB0: return "Controller";
        case 0xC0: return "Prg.Change";
        case 0xD0: return "Mono Aft.";
        case 0xE0: return "Pitch Bend";
        default: return "error";
    }
}

bool TrackMuted(const Pattern_Parameters& pattern, int t) {
    return t >= 1 && t <= kTrackCount && ((pattern.MuteMask() >> (t - 1)) & 1) != 0;
}

int CountActiveTracks(const DeviceModel& model, int p) {
    if (!DeviceModel::ValidPattern(p)) return 0;
    int n = 0;
    for (int t = 1; t <= kTrackCount; ++t) n += TrackMuted(model.Patterns[size_t(p)], t) ? 0 : 1;
    return n;
}

void SetTrackEvent(DeviceModel& model, int p, int t, int32_t status) {
    if (auto* pt = Track(model, p, t)) pt->TrackEvent(t - 1) = (pt->TrackEvent(t - 1) & 0x0F) | status;
}

void SetTrackChannel(DeviceModel& model, int p, int t, int32_t channel) {
    if (auto* pt = Track(model, p, t)) pt->TrackEvent(t - 1) = (pt->TrackEvent(t - 1) & 0xF0) + (channel & 0x0F);
}

void SetTrackData1(DeviceModel& model, int p, int t, int32_t value) {
    if (auto* pt = Track(model, p, t)) pt->TrackData1(t - 1) = value;
}

void SetTrackData2(DeviceModel& model, int p, int t, int32_t value) {
    if (auto* pt = Track(model, p, t)) pt->TrackData2(t - 1) = value;
}

void SetTrackGateTime(DeviceModel& model, int p, int t, int index) {
    auto* pt = Track(model, p, t);
    if (pt == nullptr || !ValidIndex(index, int(TimeCodes.size()))) return;
    const int32_t gate = TimeCodes[size_t(index)];
    pt->TrackGateTime(t - 1) = gate;
    if (pt->TrackNoteTime(t - 1) > gate) pt->TrackNoteTime(t - 1) = gate;
}

void SetTrackNoteTime(DeviceModel& model, int p, int t, int index) {
    auto* pt = Track(model, p, t);
    if (pt == nullptr || !ValidIndex(index, int(TimeCodes.size()))) return;
    const int32_t note = TimeCodes[size_t(index)];
    if (note <= pt->TrackGateTime(t - 1)) pt->TrackNoteTime(t - 1) = note;
}

void SetTrackRunMode(DeviceModel& model, int p, int t, int32_t mode) {
    if (auto* pt = Track(model, p, t); pt != nullptr && mode >= 0 && mode <= 23) pt->TrackRunMode(t - 1) = mode;
}

void SetTrackDelay(DeviceModel& model, int p, int t, int index) {
    auto* pt = Track(model, p, t);
    if (pt != nullptr && ValidIndex(index, int(TimeCodes.size()))) pt->TrackDelay(t - 1) = TimeCodes[size_t(index)];
}

void SetTrackStartStep(DeviceModel& model, int p, int t, int index) {
    auto* pt = Track(model, p, t);
    if (pt == nullptr || !ValidIndex(index, kStepCount)) return;
    const int32_t end = std::clamp<int32_t>(pt->TrackEndStep(t - 1), 1, kStepCount);
    pt->TrackStartStep(t - 1) = std::min<int32_t>(index + 1, end);
}

void SetTrackEndStep(DeviceModel& model, int p, int t, int index) {
    auto* pt = Track(model, p, t);
    if (pt == nullptr || !ValidIndex(index, kStepCount)) return;
    const int32_t start = std::clamp<int32_t>(pt->TrackStartStep(t - 1), 1, kStepCount);
    pt->TrackEndStep(t - 1) = std::max<int32_t>(index + 1, start);
}

void SetTrackStatus(DeviceModel& model, int p, int t, int32_t value) {
    if (auto* pt = Track(model, p, t)) pt->TrackStatus(t - 1) = value;
}

void SetTrackMute(DeviceModel& model, int p, int t, bool mute) {
    auto* pt = Track(model, p, t);
    if (pt == nullptr) return;
    if (mute)
        pt->MuteMask() |= (1 << (t - 1));
    else
        pt->MuteMask() &= ~(1 << (t - 1));
}

}  // namespace morvelant
