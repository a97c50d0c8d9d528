// Construction, the per-parameter setters, the preset names, the live-state
// reset and the pattern defaults of the device model.
#include "model/DeviceModel.h"

#include "model/FaderRange.h"

#include <utility>

namespace morvelant {

using MP = Morvelant_Parameters;

namespace {

// Setters take whatever a caller hands them (a configuration value, a file
// word); sums wrap like the device's 32-bit words instead of overflowing.
int32_t WrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Preset and pattern names are kNameLength words, one character each: a
// shorter name is padded with spaces, a longer one cut.
template <typename Word>
void WriteNameWords(const std::string& name, Word&& word) {
    for (int i = 0; i < kNameLength; ++i)
        word(i) = i < static_cast<int>(name.size()) ? CharToWord(name[static_cast<size_t>(i)]) : 0x20;
}

// The name up to its first word that is no character.
template <typename Word>
std::string ReadNameWords(Word&& word) {
    std::string name;
    for (int i = 0; i < kNameLength; ++i) {
        const char c = WordToChar(word(i));
        if (c == '\0') break;
        name += c;
    }
    return name;
}

}  // namespace

DeviceModel::DeviceModel(std::string programPath) : ProgramPath(std::move(programPath)) {
    // Records, flags and control state are initialised in their declarations;
    // then, in order: the name lists, the factory presets and patterns, the
    // selection.
    ControllerNames = FillControllerNames();
    NumberNames = FillNumberNames();
    TrackNumberNames = FillNumbers1to8();
    NoteNames = FillNoteNames();
    FaderNames = FillFaderNames();
    for (int p = 0; p < kPresetCount; ++p) InitPreset(p);
    // The pattern defaults, as the pattern list window writes them when it is
    // created: every pattern exists with its factory values before a working
    // set or a dump is read into it.
    for (int p = 0; p < kPatternCount; ++p) InitPattern(p);
    SelectedPreset = 0;
    SelectedFader = 0;
    FaderSelected.fill(false);
    FaderSelected[SelectedFader] = true;
    LearnMode = -1;
}

// ---- Target rule -----------------------------------------------------------

bool DeviceModel::IsTarget(int f, int i) const {
    if (MultiCheckBoxChecked && multiSuspended_ == 0) return MultiselectButtonDown[i];
    return i == f;
}

template <typename Fn>
void DeviceModel::ForTargets(int p, int f, Fn&& fn) {
    if (!ValidPreset(p) || !ValidFader(f)) return;
    MP& preset = Presets[p];
    for (int i = 0; i < kFaderCount; ++i)
        if (IsTarget(f, i)) fn(preset, i);
}

// ---- Plain stores ----------------------------------------------------------

void DeviceModel::SetFaderArrayWord(int p, int f, int array, int32_t value) {
    if (array < 0 || array >= MP::kFaderArrayCount) return;
    ForTargets(p, f, [&](MP& m, int i) { m.FaderArray(array, i) = value; });
}

void DeviceModel::SetMuteVal(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aMuteVal, v); }
void DeviceModel::SetDemuteVal(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aDemuteVal, v); }
void DeviceModel::SetFaderMin(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aFaderMin, v); }
void DeviceModel::SetFaderMax(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aFaderMax, v); }
void DeviceModel::SetFaderThreshold(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aFaderThreshold, v); }
void DeviceModel::SetFaderMode(int p, int f, int32_t mode) {
    SetFaderArrayWord(p, f, MP::aActiveMode, WrapAdd(0x80, mode));
}
void DeviceModel::SetMasterSlaveMode(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aMasterSlaveMode, v); }
void DeviceModel::SetFaderOutMode(int p, int f, bool mute) { SetFaderArrayWord(p, f, MP::aFaderOutMode, mute ? 1 : 0); }
void DeviceModel::SetFaderStatus(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aFaderStatus, v); }
void DeviceModel::SetFaderMidiData1(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aFaderMidiData1, v); }
void DeviceModel::SetFaderMidiData2(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aFaderMidiData2, v); }
void DeviceModel::SetKeyOnStatus(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aKeyOnStatus, v); }
void DeviceModel::SetKeyOnMidiData1(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aKeyOnMidiData1, v); }
void DeviceModel::SetKeyOnMidiData2(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aKeyOnMidiData2, v); }
void DeviceModel::SetKeyOffStatus(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aKeyOffStatus, v); }
void DeviceModel::SetKeyOffMidiData1(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aKeyOffMidiData1, v); }
void DeviceModel::SetKeyOffMidiData2(int p, int f, int32_t v) { SetFaderArrayWord(p, f, MP::aKeyOffMidiData2, v); }

// ---- Setters with a rule ---------------------------------------------------

int32_t DeviceModel::SetFaderValue(int p, int f, int32_t value) {
    ForTargets(p, f, [&](MP& m, int i) { m.FaderValue(i) = ClampIntoFaderRange(value, m.FaderMin(i), m.FaderMax(i)); });
    if (ValidPreset(SelectedPreset) && ValidFader(SelectedFader))
        return Presets[SelectedPreset].FaderValue(SelectedFader);
    return 0;
}

void DeviceModel::SetFaderMidiMode(int p, int f, int32_t value) {
    ForTargets(p, f, [&](MP& m, int i) { m.FaderMidiMode(i) = WrapAdd(m.FaderMidiMode(i) & 0xC0, value); });
}

void DeviceModel::SetFaderHookFlag(int p, int f, bool flag) {
    ForTargets(p, f, [&](MP& m, int i) {
        m.FaderMidiMode(i) = flag ? (m.FaderMidiMode(i) | 0x80) : (m.FaderMidiMode(i) & 0x7F);
    });
}

void DeviceModel::SetFaderOverdupFlag(int p, int f, bool flag) {
    ForTargets(p, f, [&](MP& m, int i) {
        m.FaderMidiMode(i) = flag ? (m.FaderMidiMode(i) | 0x40) : (m.FaderMidiMode(i) & 0xBF);
    });
}

namespace {

// The string code stands alone; any other code keeps the channel nibble.
int32_t WithEventCode(int32_t old, int32_t code) { return code == 0xF0 ? 0xF0 : ((old & 0x0F) | code); }

// Codes whose low nibble is a channel (or, for 0x50 and 0x60, a step).
bool FaderCodeTakesChannel(int32_t c) { return c == 0x50 || c == 0x60 || (c >= 0x80 && c <= 0xE0); }
bool KeyCodeTakesChannel(int32_t c) { return c >= 0x80 && c <= 0xE0; }

// Puts the channel into a status word whose code takes one; any other code
// stays as it is.
void SetChannelOf(int32_t& status, int32_t channel, bool (*takesChannel)(int32_t)) {
    const int32_t c = status & ~0x0F;
    if (takesChannel(c)) status = WrapAdd(c, channel);
}

}  // namespace

void DeviceModel::SetFaderEvent(int p, int f, int32_t code) {
    ForTargets(p, f, [&](MP& m, int i) { m.FaderStatus(i) = WithEventCode(m.FaderStatus(i), code); });
}
void DeviceModel::SetKeyOnEvent(int p, int f, int32_t code) {
    ForTargets(p, f, [&](MP& m, int i) { m.KeyOnStatus(i) = WithEventCode(m.KeyOnStatus(i), code); });
}
void DeviceModel::SetKeyOffEvent(int p, int f, int32_t code) {
    ForTargets(p, f, [&](MP& m, int i) { m.KeyOffStatus(i) = WithEventCode(m.KeyOffStatus(i), code); });
}

void DeviceModel::SetFaderMidiChannel(int p, int f, int32_t channel) {
    ForTargets(p, f, [&](MP& m, int i) { SetChannelOf(m.FaderStatus(i), channel, FaderCodeTakesChannel); });
}
void DeviceModel::SetKeyOnMidiChannel(int p, int f, int32_t channel) {
    ForTargets(p, f, [&](MP& m, int i) { SetChannelOf(m.KeyOnStatus(i), channel, KeyCodeTakesChannel); });
}
void DeviceModel::SetKeyOffMidiChannel(int p, int f, int32_t channel) {
    ForTargets(p, f, [&](MP& m, int i) { SetChannelOf(m.KeyOffStatus(i), channel, KeyCodeTakesChannel); });
}

void DeviceModel::SetSwitchMode(int p, int f, int32_t mode) {
    ForTargets(p, f, [&](MP& m, int i) {
        m.SwitchMode(i) = mode;
        // The live records are per fader, whatever preset is written.
        switch (mode) {
            case 0: FaderStates[i].Muted = true; break;
            case 1: FaderStates[i].Muted = !KeyStates[i].LampOn; break;
            case 2:
            case 3: FaderStates[i].Muted = false; break;
            default: break;
        }
    });
}

void DeviceModel::SetEventString(int p, int f, int statusArray, std::array<std::string, kFaderCount> MP::*field,
                                 const std::string& s, bool append) {
    const bool multi = MultiCheckBoxChecked && multiSuspended_ == 0;
    ForTargets(p, f, [&](MP& m, int i) {
        std::string& target = (m.*field)[i];
        // Several faders at once: only those that send their string keep one.
        if (multi && m.FaderArray(statusArray, i) != 0xF0) {
            target.clear();
            return;
        }
        if (append)
            target += s;
        else
            target = s;
    });
}

void DeviceModel::SetFaderString(int p, int f, const std::string& s) {
    SetEventString(p, f, MP::aFaderStatus, &MP::FaderString, s, false);
}
void DeviceModel::AppendFaderString(int p, int f, const std::string& s) {
    SetEventString(p, f, MP::aFaderStatus, &MP::FaderString, s, true);
}
void DeviceModel::SetKeyOnString(int p, int f, const std::string& s) {
    SetEventString(p, f, MP::aKeyOnStatus, &MP::KeyOnString, s, false);
}
void DeviceModel::SetKeyOffString(int p, int f, const std::string& s) {
    SetEventString(p, f, MP::aKeyOffStatus, &MP::KeyOffString, s, false);
}

void DeviceModel::SetSliderName(int p, int f, const std::string& s) {
    ForTargets(p, f, [&](MP& m, int i) { m.SliderName[i] = s; });
}
void DeviceModel::SetKeyOnName(int p, int f, const std::string& s) {
    ForTargets(p, f, [&](MP& m, int i) { m.KeyOnName[i] = s; });
}
void DeviceModel::SetKeyOffName(int p, int f, const std::string& s) {
    ForTargets(p, f, [&](MP& m, int i) { m.KeyOffName[i] = s; });
}

// ---- Preset-wide -------------------------------------------------------------

void DeviceModel::SetPresetDeviceName(int p, const std::string& name) {
    if (!ValidPreset(p)) return;
    WriteNameWords(name, [&](int i) -> int32_t& { return Presets[p].PresetName(i); });
}

void DeviceModel::SetPresetString(const std::string& s, int index) {
    if (!ValidPreset(SelectedPreset) || index < 0 || index >= kSpecialKeyCount) return;
    Presets[SelectedPreset].SpecialKeyString[static_cast<size_t>(index)] = s;
}

std::string DeviceModel::GetPresetDeviceName(int p) const {
    if (!ValidPreset(p)) return {};
    return ReadNameWords([&](int i) { return Presets[p].PresetName(i); });
}

void DeviceModel::SetDefaultPresetDeviceName(int p) {
    if (!ValidPreset(p)) return;
    std::string d = std::to_string(p + 1);
    if (p + 1 < 10) d = " " + d;
    const std::string name = "Preset" + d.substr(0, 2);
    for (int i = 0; i < kNameLength; ++i) Presets[p].PresetName(i) = CharToWord(name[static_cast<size_t>(i)]);
}

// ---- InitPreset: factory defaults by direct stores ---------------------------

void DeviceModel::InitPreset(int p) {
    if (!ValidPreset(p)) return;
    SetDefaultPresetDeviceName(p);
    MP& m = Presets[p];
    for (int f = 0; f < kFaderCount; ++f) {
        m.FaderValue(f) = 0;
        m.MuteVal(f) = 0;
        m.DemuteVal(f) = 127;
        m.FaderMin(f) = 0;
        m.FaderMax(f) = 127;
        m.FaderThreshold(f) = 8;
        m.ActiveMode(f) = 0x80;
        m.FaderMidiMode(f) = 3;
        m.MasterSlaveMode(f) = 0;
        m.FaderOutMode(f) = 0;
        m.FaderStatus(f) = 0xB0;
        m.FaderMidiData1(f) = f;
        m.FaderMidiData2(f) = 128;
        m.KeyOnStatus(f) = 0x90;
        m.KeyOnMidiData1(f) = f;
        m.KeyOnMidiData2(f) = 128;
        m.KeyOffStatus(f) = 0x80;
        m.KeyOffMidiData1(f) = f;
        m.KeyOffMidiData2(f) = 128;
        m.SwitchMode(f) = 1;
        m.FaderString[f].clear();
        m.KeyOnString[f].clear();
        m.KeyOffString[f].clear();
        m.SliderName[f].clear();
        m.KeyOnName[f].clear();
        m.KeyOffName[f].clear();
    }
    for (auto& s : m.SpecialKeyString) s.clear();
    m.PresetNotes.clear();
}

// ---- Live state --------------------------------------------------------------

void DeviceModel::SetKeyLamp(int n, bool on) {
    if (!ValidFader(n)) return;
    KeyStates[n].LampOn = on;
    if (Notices) Notices->KeyLamp.Publish(n, on);
}

void DeviceModel::ResetFaderState(FaderState& s, int f) {
    if (!ValidFader(f) || !ValidPreset(SelectedPreset)) return;
    const MP& m = Presets[SelectedPreset];
    s.Index = f;
    s.InitialValue = m.FaderValue(f);
    s.Hooked = ((m.FaderMidiMode(f) >> 3) & 7) == kInputFunctionHookOnFad;
    s.StoredValue = s.InitialValue;
    s.Touched = false;
    if (s.TakeInitialValue) {
        s.Value = s.InitialValue;
        s.TakeInitialValue = false;
    } else if (!VirtualMotorFaders && ScreenFaderPosition[f] >= 0) {
        s.Value = ScaledFaderValue(m.FaderMin(f), m.FaderMax(f), ScreenFaderPosition[f]);
    } else {
        s.Value = s.InitialValue;
    }
    s.PreviousValue = s.ResetValue = s.SlaveLevel = s.Value;
    s.Muted = m.FaderOutMode(f) == 1 && (m.SwitchMode(f) == 0 || m.SwitchMode(f) == 1);
    SetKeyLamp(f, !s.Muted);
    switch (m.ActiveMode(f) & 15) {
        case 0:
        case 2: s.Caught = false; break;
        case 1: s.Caught = true; break;
        default: break;
    }
}

void DeviceModel::ResetKeyState(KeyState& s, int n) {
    if (!ValidFader(n) || !ValidPreset(SelectedPreset)) return;
    s.Index = n;
    SetKeyLamp(n, Presets[SelectedPreset].FaderOutMode(n) != 1);
}

// ---- Patterns ----------------------------------------------------------------

void DeviceModel::SetPatternName(int p, const std::string& text) {
    if (!ValidPattern(p)) return;
    WriteNameWords(text, [&](int i) -> int32_t& { return Patterns[p].PatternName[static_cast<size_t>(i)]; });
}

std::string DeviceModel::GetPatternName(int p) const {
    if (!ValidPattern(p)) return {};
    return ReadNameWords([&](int i) { return Patterns[p].PatternName[static_cast<size_t>(i)]; });
}

namespace {

// A track's settings but its event and status: what a pattern init and a
// track init both give every track.
void SetTrackDefaults(Pattern_Parameters& pt, int t) {
    pt.TrackData1(t) = 0;
    pt.TrackData2(t) = 127;
    pt.TrackGateTime(t) = 20;
    pt.TrackNoteTime(t) = 20;
    pt.TrackEndStep(t) = 16;
    pt.TrackRunMode(t) = 0;
    pt.TrackDelay(t) = 0;
    pt.TrackStartStep(t) = 1;
}

}  // namespace

void DeviceModel::InitPattern(int p) {
    if (!ValidPattern(p)) return;
    Pattern_Parameters& pt = Patterns[p];
    // Every word goes back to 0 before the defaults; the notes stay.
    std::string notes = std::move(pt.PatternNotes);
    pt = Pattern_Parameters{};
    pt.PatternNotes = std::move(notes);
    SetPatternName(p, "Seq " + std::to_string(p + 1));
    pt.PatternHeader(1) = 120;
    pt.MuteMask() = 254;
    for (int t = 0; t < kTrackCount; ++t) {
        pt.TrackEvent(t) = 0x90;
        SetTrackDefaults(pt, t);
        pt.TrackStatus(t) = 0;
    }
}

void DeviceModel::InitTrack(int p, int track) {
    if (!ValidPattern(p) || track < 0 || track > kTrackCount) return;
    if (track == 0) {
        for (int t = 1; t <= kTrackCount; ++t) InitTrack(p, t);
        return;
    }
    Pattern_Parameters& pt = Patterns[p];
    const int t = track - 1;
    pt.TrackEvent(t) = 0x90 + (pt.TrackEvent(t) & 0x0F);
    SetTrackDefaults(pt, t);
    for (int s = 0; s < kStepCount; ++s) {
        pt.SetStepOff(t, s, true);
        pt.StepNote(t, s) = 0;
        pt.StepVelocity(t, s) = 127;
    }
}

}  // namespace morvelant
