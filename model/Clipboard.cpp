// Copy, paste and exchange of whole presets, of the block of one fader with
// its two keys, of the fader event alone and of the key events. Copies read
// the records directly; pastes write through the setters, so multi-fader
// editing applies to them, while live state goes back to the named fader only.
#include "model/DeviceModel.h"
#include "model/KeySetters.h"

#include <span>

namespace morvelant {

using MP = Morvelant_Parameters;

namespace {

using FP = Fader_Parameters;

// One part of a block: its numbers (indexes into Fader_Parameters::Values),
// its text and its name. The two key parts list their numbers in the same
// order, so that one key event can stand in the other's slots.
struct BlockPart {
    std::span<const int> values;
    std::string FP::*text;
    std::string FP::*name;
};

constexpr int kFaderEventValues[] = {MP::aFaderValue,  MP::aFaderMin,       MP::aFaderMax,        MP::aFaderThreshold,
                                     MP::aActiveMode,  MP::aFaderMidiMode,  MP::aMasterSlaveMode, MP::aFaderOutMode,
                                     MP::aFaderStatus, MP::aFaderMidiData1, MP::aFaderMidiData2};
constexpr int kKeyOnValues[] = {MP::aDemuteVal, MP::aKeyOnStatus, MP::aKeyOnMidiData1, MP::aKeyOnMidiData2,
                                MP::aSwitchMode};
constexpr int kKeyOffValues[] = {MP::aMuteVal, MP::aKeyOffStatus, MP::aKeyOffMidiData1, MP::aKeyOffMidiData2,
                                 MP::aSwitchMode};

constexpr BlockPart kFaderEventPart{kFaderEventValues, &FP::FaderString, &FP::SliderName};
constexpr BlockPart kKeyOnPart{kKeyOnValues, &FP::KeyOnString, &FP::KeyOnName};
constexpr BlockPart kKeyOffPart{kKeyOffValues, &FP::KeyOffString, &FP::KeyOffName};

// Copies part `from` of one block into part `to` of another: the same part,
// or one key event into the other key's slots.
void CopyPartInto(const FP& src, const BlockPart& from, FP& dst, const BlockPart& to) {
    for (size_t k = 0; k < from.values.size(); ++k)
        dst.Values[static_cast<size_t>(to.values[k])] = src.Values[static_cast<size_t>(from.values[k])];
    dst.*to.text = src.*from.text;
    dst.*to.name = src.*from.name;
}

void CopyPart(const FP& from, FP& to, const BlockPart& part) { CopyPartInto(from, part, to, part); }
void CopyFaderEventPart(const FP& from, FP& to) { CopyPart(from, to, kFaderEventPart); }
void CopyKeyOnPart(const FP& from, FP& to) { CopyPart(from, to, kKeyOnPart); }
void CopyKeyOffPart(const FP& from, FP& to) { CopyPart(from, to, kKeyOffPart); }

// Writes one key part of a block through the setters: the status before the
// string (with several faders marked, only string events keep one).
void WriteKeyPart(DeviceModel& m, const KeySetters& s, const BlockPart& part, int p, int f, const FP& src) {
    const auto value = [&](size_t k) { return src.Values[static_cast<size_t>(part.values[k])]; };
    (m.*s.off)(p, f, value(0));
    (m.*s.status)(p, f, value(1));
    (m.*s.data1)(p, f, value(2));
    (m.*s.data2)(p, f, value(3));
    m.SetSwitchMode(p, f, src.Values[MP::aSwitchMode]);
    (m.*s.text)(p, f, src.*part.text);
    (m.*s.name)(p, f, src.*part.name);
}

}  // namespace

Fader_Parameters DeviceModel::ReadBlock(int p, int f) const {
    Fader_Parameters b;
    const MP& m = Presets[static_cast<size_t>(p)];
    for (int k = 0; k < MP::kFaderArrayCount; ++k) b.Values[static_cast<size_t>(k)] = m.FaderArray(k, f);
    const auto i = static_cast<size_t>(f);
    b.FaderString = m.FaderString[i];
    b.KeyOnString = m.KeyOnString[i];
    b.KeyOffString = m.KeyOffString[i];
    b.SliderName = m.SliderName[i];
    b.KeyOnName = m.KeyOnName[i];
    b.KeyOffName = m.KeyOffName[i];
    return b;
}

// ---- Writing a block through the setters ---------------------------------------

// The whole block is its three parts. The range goes before the value (which
// is clamped into it) and each status before its string; the switch mode,
// in both key parts, is written twice with the same value.
void DeviceModel::WriteWholeBlock(int p, int f, const Fader_Parameters& src) {
    WriteFaderEventPart(p, f, src);
    WriteKeyOnPart(p, f, src);
    WriteKeyOffPart(p, f, src);
}

void DeviceModel::WriteFaderEventPart(int p, int f, const Fader_Parameters& src) {
    const auto& v = src.Values;
    SetFaderMin(p, f, v[MP::aFaderMin]);
    SetFaderMax(p, f, v[MP::aFaderMax]);
    SetFaderValue(p, f, v[MP::aFaderValue]);
    SetFaderThreshold(p, f, v[MP::aFaderThreshold]);
    SetFaderArrayWord(p, f, MP::aActiveMode, v[MP::aActiveMode]);
    SetFaderArrayWord(p, f, MP::aFaderMidiMode, v[MP::aFaderMidiMode]);
    SetMasterSlaveMode(p, f, v[MP::aMasterSlaveMode]);
    SetFaderOutMode(p, f, v[MP::aFaderOutMode] != 0);
    SetFaderStatus(p, f, v[MP::aFaderStatus]);
    SetFaderMidiData1(p, f, v[MP::aFaderMidiData1]);
    SetFaderMidiData2(p, f, v[MP::aFaderMidiData2]);
    SetFaderString(p, f, src.FaderString);
    SetSliderName(p, f, src.SliderName);
}

void DeviceModel::WriteKeyOnPart(int p, int f, const Fader_Parameters& src) {
    WriteKeyPart(*this, kKeyOnSetters, kKeyOnPart, p, f, src);
}

void DeviceModel::WriteKeyOffPart(int p, int f, const Fader_Parameters& src) {
    WriteKeyPart(*this, kKeyOffSetters, kKeyOffPart, p, f, src);
}

// ---- Presets ---------------------------------------------------------------------

void DeviceModel::CopyPreset(int p) {
    if (ValidPreset(p)) PresetClipboard = Presets[static_cast<size_t>(p)];
}

void DeviceModel::PastePreset(int p) {
    if (ValidPreset(p)) Presets[static_cast<size_t>(p)] = PresetClipboard;
}

void DeviceModel::ExchangePresetWithClipboard(int p) {
    if (!ValidPreset(p)) return;
    PresetSwap = Presets[static_cast<size_t>(p)];
    Presets[static_cast<size_t>(p)] = PresetClipboard;
    PresetClipboard = PresetSwap;
}

void DeviceModel::CopyPresetTo(int a, int b) {
    if (ValidPreset(a) && ValidPreset(b)) Presets[static_cast<size_t>(b)] = Presets[static_cast<size_t>(a)];
}

// ---- Whole fader block ---------------------------------------------------------------

void DeviceModel::CopyFaderParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    FaderClipboard = ReadBlock(p, f);
    CopyTravellingState(FaderStates[static_cast<size_t>(f)], FaderStateClipboard);
    CopyTravellingState(KeyStates[static_cast<size_t>(f)], KeyStateClipboard);
}

void DeviceModel::PasteFaderParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteWholeBlock(p, f, FaderClipboard);
    CopyTravellingState(FaderStateClipboard, FaderStates[static_cast<size_t>(f)]);
    CopyTravellingState(KeyStateClipboard, KeyStates[static_cast<size_t>(f)]);
}

void DeviceModel::ExchangeFaderWithClipboard(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    const auto i = static_cast<size_t>(f);
    FaderSwap = ReadBlock(p, f);
    CopyTravellingState(FaderStates[i], FaderStateSwap);
    CopyTravellingState(KeyStates[i], KeyStateSwap);
    WriteWholeBlock(p, f, FaderClipboard);
    CopyTravellingState(FaderStateSwap, FaderStates[i]);
    CopyTravellingState(KeyStateSwap, KeyStates[i]);
    FaderClipboard = FaderSwap;
    CopyTravellingState(FaderStateSwap, FaderStateClipboard);
    CopyTravellingState(KeyStateSwap, KeyStateClipboard);
}

void DeviceModel::CopyFaderParametersTo(int a, int g, int h, int b) {
    if (!ValidPreset(a) || !ValidPreset(b) || !ValidFader(g) || !ValidFader(h)) return;
    // Read the source first: with several faders marked the writes may reach it.
    const Fader_Parameters src = ReadBlock(a, g);
    WriteWholeBlock(b, h, src);
    CopyFaderState(g, h);
}

void DeviceModel::CopyFaderState(int from, int to) {
    if (!ValidFader(from) || !ValidFader(to)) return;
    CopyTravellingState(FaderStates[static_cast<size_t>(from)], FaderStates[static_cast<size_t>(to)]);
    CopyTravellingState(KeyStates[static_cast<size_t>(from)], KeyStates[static_cast<size_t>(to)]);
}

// ---- Fader event ---------------------------------------------------------------------

void DeviceModel::CopyFaderEventParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    CopyFaderEventPart(ReadBlock(p, f), FaderClipboard);
    CopyTravellingState(FaderStates[static_cast<size_t>(f)], FaderStateClipboard);
}

void DeviceModel::PasteFaderEventParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteFaderEventPart(p, f, FaderClipboard);
    CopyTravellingState(FaderStateClipboard, FaderStates[static_cast<size_t>(f)]);
}

void DeviceModel::ExchangeFaderEventWithClipboard(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    const auto i = static_cast<size_t>(f);
    CopyFaderEventPart(ReadBlock(p, f), FaderSwap);
    CopyTravellingState(FaderStates[i], FaderStateSwap);
    WriteFaderEventPart(p, f, FaderClipboard);
    CopyTravellingState(FaderStateSwap, FaderStates[i]);
    CopyFaderEventPart(FaderSwap, FaderClipboard);
    CopyTravellingState(FaderStateSwap, FaderStateClipboard);
}

// ---- Keys --------------------------------------------------------------------------

void DeviceModel::CopyKeyParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    const Fader_Parameters b = ReadBlock(p, f);
    CopyKeyOnPart(b, FaderClipboard);
    CopyKeyOffPart(b, FaderClipboard);
    CopyTravellingState(KeyStates[static_cast<size_t>(f)], KeyStateClipboard);
}

void DeviceModel::PasteKeyParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyOnPart(p, f, FaderClipboard);
    WriteKeyOffPart(p, f, FaderClipboard);
    CopyTravellingState(KeyStateClipboard, KeyStates[static_cast<size_t>(f)]);
}

void DeviceModel::ExchangeKeyParametersWithClipboard(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    const auto i = static_cast<size_t>(f);
    const Fader_Parameters b = ReadBlock(p, f);
    CopyKeyOnPart(b, FaderSwap);
    CopyKeyOffPart(b, FaderSwap);
    CopyTravellingState(KeyStates[i], KeyStateSwap);
    WriteKeyOnPart(p, f, FaderClipboard);
    WriteKeyOffPart(p, f, FaderClipboard);
    // The key keeps its flags; the fader's Muted stays as SetSwitchMode left it.
    CopyTravellingState(KeyStateSwap, KeyStates[i]);
    CopyKeyOnPart(FaderSwap, FaderClipboard);
    CopyKeyOffPart(FaderSwap, FaderClipboard);
    CopyTravellingState(KeyStateSwap, KeyStateClipboard);
}

void DeviceModel::CopyKeyOnParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    const Fader_Parameters b = ReadBlock(p, f);
    CopyKeyOnPart(b, FaderClipboard);
    // The same event in the key-off slots, so it can be pasted as either.
    CopyPartInto(b, kKeyOnPart, FaderClipboard, kKeyOffPart);
}

void DeviceModel::CopyKeyOffParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    const Fader_Parameters b = ReadBlock(p, f);
    CopyKeyOffPart(b, FaderClipboard);
    CopyPartInto(b, kKeyOffPart, FaderClipboard, kKeyOnPart);
}

void DeviceModel::PasteKeyOnParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyOnPart(p, f, FaderClipboard);
}

void DeviceModel::PasteKeyOffParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyOffPart(p, f, FaderClipboard);
}

// ---- Track clipboard ---------------------------------------------------------------

namespace {

bool ValidTrack(int t) { return t >= 1 && t <= kTrackCount; }

// Track s of `from` into track t of `to` (both 0-based), the given part.
void CopyTrackPart(const Pattern_Parameters& from, int s, Pattern_Parameters& to, int t, TrackPart part) {
    const bool all = part == TrackPart::All;
    const bool steps = all || part == TrackPart::NoSettings;
    if (steps || part == TrackPart::Steps)
        for (int i = 0; i < kStepCount; ++i) to.SetStepOff(t, i, from.StepOff(s, i));
    if (steps || part == TrackPart::Notes)
        for (int i = 0; i < kStepCount; ++i) to.StepNote(t, i) = from.StepNote(s, i);
    if (steps || part == TrackPart::Velocities)
        for (int i = 0; i < kStepCount; ++i) to.StepVelocity(t, i) = from.StepVelocity(s, i);
    if (all || part == TrackPart::Settings) {
        // Start and end step travel together, so the pasted track never
        // starts after its end.
        for (int field :
             {Pattern_Parameters::kTrackEvent, Pattern_Parameters::kTrackData1, Pattern_Parameters::kTrackData2,
              Pattern_Parameters::kTrackGateTime, Pattern_Parameters::kTrackNoteTime, Pattern_Parameters::kTrackEndStep,
              Pattern_Parameters::kTrackRunMode, Pattern_Parameters::kTrackDelay, Pattern_Parameters::kTrackStartStep,
              Pattern_Parameters::kTrackStatus})
            to.W[std::size_t(field + t)] = from.W[std::size_t(field + s)];
        if ((from.MuteMask() >> s) & 1)
            to.MuteMask() |= (1 << t);
        else
            to.MuteMask() &= ~(1 << t);
    }
}

}  // namespace

void DeviceModel::CopyTrack(int p, int track) {
    if (!ValidPattern(p) || !ValidTrack(track)) return;
    CopiedTrack = track;
    TrackClipboard = Patterns[std::size_t(p)];
}

void DeviceModel::PasteTrackPart(TrackPart part, int source, int p, int track) {
    if (!ValidTrack(source) || !ValidPattern(p) || track < 0 || track > kTrackCount) return;
    Pattern_Parameters& to = Patterns[std::size_t(p)];
    for (int t = track == 0 ? 1 : track; t <= (track == 0 ? kTrackCount : track); ++t)
        CopyTrackPart(TrackClipboard, source - 1, to, t - 1, part);
}

void DeviceModel::ExchangeTrackWithClipboard(TrackPart part, int p, int track) {
    if (!ValidTrack(CopiedTrack) || !ValidPattern(p) || track < 0 || track > kTrackCount) return;
    TrackSwap = Patterns[std::size_t(p)];
    PasteTrackPart(part, CopiedTrack, p, track);
    TrackClipboard = TrackSwap;
    CopiedTrack = track;
}

}  // namespace morvelant
