// Copy, paste and exchange of whole presets, of the block of one fader with
// its two keys, of the fader event alone and of the key events. Copies read
// the records directly; pastes write through the setters, so multi-fader
// editing applies to them, while live state goes back to the named fader only.
#include "model/DeviceModel.h"

namespace morvelant {

using MP = Morvelant_Parameters;

namespace {

// The fields of each part, as indexes into Fader_Parameters::Values.
constexpr int kFaderEventPart[] = {MP::aFaderValue, MP::aFaderMin, MP::aFaderMax, MP::aFaderThreshold,
                                   MP::aActiveMode, MP::aFaderMidiMode, MP::aMasterSlaveMode, MP::aFaderOutMode,
                                   MP::aFaderStatus, MP::aFaderMidiData1, MP::aFaderMidiData2};
constexpr int kKeyOnPart[] = {MP::aDemuteVal, MP::aKeyOnStatus, MP::aKeyOnMidiData1, MP::aKeyOnMidiData2,
                              MP::aSwitchMode};
constexpr int kKeyOffPart[] = {MP::aMuteVal, MP::aKeyOffStatus, MP::aKeyOffMidiData1, MP::aKeyOffMidiData2,
                               MP::aSwitchMode};

void CopyFaderEventPart(const Fader_Parameters& from, Fader_Parameters& to) {
    for (int k : kFaderEventPart) to.Values[static_cast<size_t>(k)] = from.Values[static_cast<size_t>(k)];
    to.FaderString = from.FaderString;
    to.SliderName = from.SliderName;
}
void CopyKeyOnPart(const Fader_Parameters& from, Fader_Parameters& to) {
    for (int k : kKeyOnPart) to.Values[static_cast<size_t>(k)] = from.Values[static_cast<size_t>(k)];
    to.KeyOnString = from.KeyOnString;
    to.KeyOnName = from.KeyOnName;
}
void CopyKeyOffPart(const Fader_Parameters& from, Fader_Parameters& to) {
    for (int k : kKeyOffPart) to.Values[static_cast<size_t>(k)] = from.Values[static_cast<size_t>(k)];
    to.KeyOffString = from.KeyOffString;
    to.KeyOffName = from.KeyOffName;
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

void DeviceModel::WriteWholeBlock(int p, int f, const Fader_Parameters& src) {
    const auto& v = src.Values;
    SetMuteVal(p, f, v[MP::aMuteVal]);
    SetDemuteVal(p, f, v[MP::aDemuteVal]);
    // The range first, so that the value is clamped into the new range.
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
    SetKeyOnStatus(p, f, v[MP::aKeyOnStatus]);
    SetKeyOnMidiData1(p, f, v[MP::aKeyOnMidiData1]);
    SetKeyOnMidiData2(p, f, v[MP::aKeyOnMidiData2]);
    SetKeyOffStatus(p, f, v[MP::aKeyOffStatus]);
    SetKeyOffMidiData1(p, f, v[MP::aKeyOffMidiData1]);
    SetKeyOffMidiData2(p, f, v[MP::aKeyOffMidiData2]);
    SetSwitchMode(p, f, v[MP::aSwitchMode]);
    SetFaderString(p, f, src.FaderString);
    SetKeyOnString(p, f, src.KeyOnString);
    SetKeyOffString(p, f, src.KeyOffString);
    SetSliderName(p, f, src.SliderName);
    SetKeyOnName(p, f, src.KeyOnName);
    SetKeyOffName(p, f, src.KeyOffName);
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
    const auto& v = src.Values;
    SetDemuteVal(p, f, v[MP::aDemuteVal]);
    SetKeyOnStatus(p, f, v[MP::aKeyOnStatus]);
    SetKeyOnMidiData1(p, f, v[MP::aKeyOnMidiData1]);
    SetKeyOnMidiData2(p, f, v[MP::aKeyOnMidiData2]);
    SetSwitchMode(p, f, v[MP::aSwitchMode]);
    SetKeyOnString(p, f, src.KeyOnString);
    SetKeyOnName(p, f, src.KeyOnName);
}

void DeviceModel::WriteKeyOffPart(int p, int f, const Fader_Parameters& src) {
    const auto& v = src.Values;
    SetMuteVal(p, f, v[MP::aMuteVal]);
    SetKeyOffStatus(p, f, v[MP::aKeyOffStatus]);
    SetKeyOffMidiData1(p, f, v[MP::aKeyOffMidiData1]);
    SetKeyOffMidiData2(p, f, v[MP::aKeyOffMidiData2]);
    SetSwitchMode(p, f, v[MP::aSwitchMode]);
    SetKeyOffString(p, f, src.KeyOffString);
    SetKeyOffName(p, f, src.KeyOffName);
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
    const Fader_Parameters& c = FaderClipboard;
    const auto& v = c.Values;
    SetMuteVal(p, f, v[MP::aMuteVal]);
    SetDemuteVal(p, f, v[MP::aDemuteVal]);
    SetKeyOffStatus(p, f, v[MP::aKeyOffStatus]);
    SetKeyOffMidiData1(p, f, v[MP::aKeyOffMidiData1]);
    SetKeyOffMidiData2(p, f, v[MP::aKeyOffMidiData2]);
    SetKeyOnStatus(p, f, v[MP::aKeyOnStatus]);
    SetKeyOnMidiData1(p, f, v[MP::aKeyOnMidiData1]);
    SetKeyOnMidiData2(p, f, v[MP::aKeyOnMidiData2]);
    SetSwitchMode(p, f, v[MP::aSwitchMode]);
    SetKeyOffString(p, f, c.KeyOffString);
    SetKeyOffName(p, f, c.KeyOffName);
    SetKeyOnString(p, f, c.KeyOnString);
    SetKeyOnName(p, f, c.KeyOnName);
    // The key keeps its flags; the fader's Muted stays as SetSwitchMode left it.
    CopyTravellingState(KeyStateSwap, KeyStates[i]);
    CopyKeyOnPart(FaderSwap, FaderClipboard);
    CopyKeyOffPart(FaderSwap, FaderClipboard);
    CopyTravellingState(KeyStateSwap, KeyStateClipboard);
}

void DeviceModel::CopyKeyOnParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    const Fader_Parameters b = ReadBlock(p, f);
    auto& v = FaderClipboard.Values;
    CopyKeyOnPart(b, FaderClipboard);
    // The same event in the key-off slots, so it can be pasted as either.
    v[MP::aMuteVal] = b.Values[MP::aDemuteVal];
    v[MP::aKeyOffStatus] = b.Values[MP::aKeyOnStatus];
    v[MP::aKeyOffMidiData1] = b.Values[MP::aKeyOnMidiData1];
    v[MP::aKeyOffMidiData2] = b.Values[MP::aKeyOnMidiData2];
    FaderClipboard.KeyOffString = b.KeyOnString;
    FaderClipboard.KeyOffName = b.KeyOnName;
}

void DeviceModel::CopyKeyOffParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    const Fader_Parameters b = ReadBlock(p, f);
    auto& v = FaderClipboard.Values;
    CopyKeyOffPart(b, FaderClipboard);
    v[MP::aDemuteVal] = b.Values[MP::aMuteVal];
    v[MP::aKeyOnStatus] = b.Values[MP::aKeyOffStatus];
    v[MP::aKeyOnMidiData1] = b.Values[MP::aKeyOffMidiData1];
    v[MP::aKeyOnMidiData2] = b.Values[MP::aKeyOffMidiData2];
    FaderClipboard.KeyOnString = b.KeyOffString;
    FaderClipboard.KeyOnName = b.KeyOffName;
}

void DeviceModel::PasteKeyOnParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyOnPart(p, f, FaderClipboard);
}

void DeviceModel::PasteKeyOffParameters(int p, int f) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    WriteKeyOffPart(p, f, FaderClipboard);
}

}  // namespace morvelant
