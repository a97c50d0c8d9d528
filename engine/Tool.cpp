#include "engine/Tool.h"

#include <algorithm>
#include <limits>

namespace morvelant {

namespace {

constexpr uint32_t kTimeNow = 0xFFFFFFFFu;  // events built from parameters
constexpr int32_t kLiveValue = 128;  // a data field that takes the live value

// Active modes (low four bits of ActiveMode).
constexpr int kImmediate = 0;
constexpr int kRelative = 1;
constexpr int kCatch = 2;

// Input functions (FaderMidiMode bits 3-5).
enum InputFunction : int {
    kFaderEvent = 0,
    kVelOvpOne,
    kVelOvpAll,
    kVelMulOne,
    kVelMulAll,
    kUpdateFad,
    kHookOnFad,
    kOvdupFad
};

// Key modes (SwitchMode).
enum SwitchModeKind : int { kMomentaryMute = 0, kToggleMute, kMomentary, kToggle };

// The current preset, or null when SelectedPreset is out of range.
Morvelant_Parameters* CurrentPreset(Engine& engine) {
    DeviceModel& m = engine.Model;
    return DeviceModel::ValidPreset(m.SelectedPreset) ? &m.Presets[m.SelectedPreset] : nullptr;
}

int32_t Saturate(int64_t x) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(x, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Distance of two values without overflow.
int32_t Distance(int32_t a, int32_t b) { return AbsValue(Saturate(static_cast<int64_t>(a) - b)); }

uint8_t LowByte(int64_t x) { return static_cast<uint8_t>(x & 0xFF); }

MidiEvent MakeEvent(uint32_t time, uint8_t status, uint8_t data1 = 0, uint8_t data2 = 0, uint8_t data3 = 0) {
    return MidiEvent{time, status, data1, data2, data3};
}

// One hex digit as the device's text dump reads it: only '1'-'9' and
// upper-case 'A'-'F' count; everything else, '0' included, is 0.
int HexDigit(char c) {
    if (c >= '1' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

// The events of one fader or key event: a channel event from the status and
// data fields, or the event string for status 0xF0 (with stringValue for
// "XX"); nothing for the device-side codes and "No Status".
int BuildEvents(int32_t status, int32_t data1, int32_t data2, int value, const std::string& eventString,
                int stringValue, EventList& list) {
    if (BuildChannelEvent(status, data1, data2, value, list[0])) return 1;
    if ((status & 0xF0) == 0xF0) return ParseEventString(eventString, stringValue, list);
    return 0;
}

// send(message) for each message of the first count events of list, in order.
template <typename Send>
void ForEachMessage(const EventList& list, int count, Send send) {
    std::span<const MidiEvent> rest(list.data(), static_cast<std::size_t>(std::clamp(count, 0, kEventListSize)));
    for (std::size_t n = 0; !rest.empty(); rest = rest.subspan(n)) {
        n = MessageLength(rest);
        send(rest.first(n));
    }
}

// Each message of the list whole to the fader's outputs.
void SendList(Engine& engine, FaderState& state, const EventList& list, int count) {
    const Morvelant_Parameters* p = CurrentPreset(engine);
    if (!p || !DeviceModel::ValidFader(state.Index)) return;
    const int outputs = p->FaderMidiMode(state.Index) & 3;
    ForEachMessage(list, count, [&](std::span<const MidiEvent> m) { SendToVirtualOutputs(engine, m, outputs); });
}

// Key n's key-on (on = true) or key-off event.
void SendKeyEvent(Engine& engine, KeyState& key, bool on) {
    const int n = key.Index;
    Morvelant_Parameters* p = CurrentPreset(engine);
    if (!p || !DeviceModel::ValidFader(n)) return;
    FaderState& fader = engine.Model.FaderStates[n];
    const int live = fader.Value;

    const int32_t fixed = on ? p->DemuteVal(n) : p->MuteVal(n);
    int32_t status = on ? p->KeyOnStatus(n) : p->KeyOffStatus(n);
    int32_t data1 = on ? p->KeyOnMidiData1(n) : p->KeyOffMidiData1(n);
    int32_t data2 = on ? p->KeyOnMidiData2(n) : p->KeyOffMidiData2(n);
    const std::string* text = on ? &p->KeyOnString[n] : &p->KeyOffString[n];
    int value = live;
    if (fixed != kLiveValue) {
        value = fixed;
        // A key without its own event sends its fader's event with the
        // key's fixed value.
        if ((status & 0xF0) == 0x70) {
            status = p->FaderStatus(n);
            data1 = p->FaderMidiData1(n);
            data2 = p->FaderMidiData2(n);
            text = &p->FaderString[n];
        }
    }
    EventList list{};
    // "XX" of a string always stands for the fader's live value.
    const int count = BuildEvents(status, data1, data2, value, *text, live, list);
    SendList(engine, fader, list, count);
}

void SetLamp(Engine& engine, int key, bool on) { engine.Model.SetKeyLamp(key, on); }

// The fader parameter window's fader (under the update guard) and its value box.
void ShowParameterFader(Engine& engine, int position, int value) {
    {
        UpdatingGuard guard(engine.Model);
        engine.Notices.ParameterFaderPosition.Publish(position);
    }
    engine.Notices.ParameterFaderValue.Publish(value);
}

}  // namespace

// ---- Faders and keys -------------------------------------------------------

int32_t AbsValue(int32_t x) {
    if (x == std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::max();
    return x < 0 ? -x : x;
}

void ScaleToRange(Engine& engine, FaderState& state, int position) {
    Morvelant_Parameters* p = CurrentPreset(engine);
    const int f = state.Index;
    if (!p || !DeviceModel::ValidFader(f)) return;
    state.PreviousValue = state.Value;
    state.Value = ScaledFaderValue(p->FaderMin(f), p->FaderMax(f), std::clamp(position, 0, 127));
}

void ShowValue(Engine& engine, FaderState& state) {
    Morvelant_Parameters* p = CurrentPreset(engine);
    const int f = state.Index;
    if (!p || !DeviceModel::ValidFader(f)) return;
    const int position = FaderPositionOfValue(p->FaderMin(f), p->FaderMax(f), state.Value);
    engine.Model.ScreenFaderPosition[static_cast<size_t>(f)] = position;
    {
        UpdatingGuard guard(engine.Model);
        engine.Notices.FaderPosition.Publish(f, position);
    }
    if (f == engine.Model.SelectedFader) ShowParameterFader(engine, position, state.Value);
}

void FaderMoved(Engine& engine, FaderState& state, int position, bool show) {
    Morvelant_Parameters* p = CurrentPreset(engine);
    const int f = state.Index;
    if (!p || !DeviceModel::ValidFader(f)) return;
    position = std::clamp(position, 0, 127);
    DeviceModel& m = engine.Model;

    ScaleToRange(engine, state, position);
    if (show) ShowValue(engine, state);
    // Also after ShowValue: the parameter window's fader stays where the
    // hand put it, not where the value would place it.
    if (f == m.SelectedFader) ShowParameterFader(engine, position, state.Value);
    if (p->MasterSlaveMode(f) != 0) state.SlaveLevel = state.Value;
    ApplyActiveMode(engine, state);

    // The slaves follow their master whatever the master's pick-up state,
    // scaled by their own level (divided by 128, so 127 x 127 gives 126).
    for (int i = 0; i < kFaderCount; ++i) {
        if (p->MasterSlaveMode(i) != f + 1) continue;
        FaderState& slave = m.FaderStates[i];
        const int32_t v = Saturate(static_cast<int64_t>(state.Value) * slave.SlaveLevel / 128);
        slave.Value = v;
        if (m.VirtualMotorFaders) ShowValue(engine, slave);
        if (slave.PreviousValue != v) {
            SendFaderEvent(engine, slave, v);
            slave.PreviousValue = v;
        }
    }
}

void ApplyActiveMode(Engine& engine, FaderState& state) {
    Morvelant_Parameters* p = CurrentPreset(engine);
    const int f = state.Index;
    if (!p || !DeviceModel::ValidFader(f)) return;
    if (state.Muted) return;
    if (engine.Model.HookMode && state.Hooked) return;
    if (state.Value == state.PreviousValue) return;
    if (p->MasterSlaveMode(f) != 0) return;

    const int mode = p->ActiveMode(f) & 15;
    const int32_t threshold = p->FaderThreshold(f);
    if (!state.Caught) {
        if (mode == kImmediate)
            state.Caught = Distance(state.ResetValue, state.Value) >= threshold;
        else if (mode == kCatch)
            state.Caught = Distance(state.Value, state.StoredValue) <= threshold;
    }
    if (!state.Caught) return;
    int32_t value = state.Value;
    if (mode == kRelative) value = std::min<int64_t>(static_cast<int64_t>(state.StoredValue) + state.Value, 127);
    SendFaderEvent(engine, state, value);
}

void Reset(Engine& engine, FaderState& state, int fader) {
    if (DeviceModel::ValidFader(fader)) engine.Model.ResetFaderState(state, fader);
}

void Reset(Engine& engine, KeyState& state, int key) {
    if (DeviceModel::ValidFader(key)) engine.Model.ResetKeyState(state, key);
}

void KeyDown(Engine& engine, KeyState& state) {
    Morvelant_Parameters* p = CurrentPreset(engine);
    const int n = state.Index;
    if (!p || !DeviceModel::ValidFader(n)) return;
    FaderState& fader = engine.Model.FaderStates[n];
    const int32_t mode = p->SwitchMode(n);
    switch (mode) {
        case kMomentaryMute:
        case kMomentary:
            SetLamp(engine, n, true);
            SendKeyOnEvent(engine, state);
            fader.Muted = false;
            break;
        case kToggleMute:
        case kToggle:
            if (state.LampOn) {
                SetLamp(engine, n, false);
                SendKeyOffEvent(engine, state);
                fader.Muted = mode == kToggleMute;
            } else {
                SetLamp(engine, n, true);
                SendKeyOnEvent(engine, state);
                fader.Muted = false;
            }
            break;
        default: break;
    }
}

void KeyUp(Engine& engine, KeyState& state) {
    Morvelant_Parameters* p = CurrentPreset(engine);
    const int n = state.Index;
    if (!p || !DeviceModel::ValidFader(n)) return;
    const int32_t mode = p->SwitchMode(n);
    if (mode != kMomentaryMute && mode != kMomentary) return;
    SetLamp(engine, n, false);
    SendKeyOffEvent(engine, state);
    engine.Model.FaderStates[n].Muted = mode == kMomentaryMute;
}

bool HandleMidiInput(Engine& engine, FaderState& state, int port, uint32_t time, uint8_t status, uint8_t data1,
                     uint8_t data2, uint8_t data3) {
    Morvelant_Parameters* p = CurrentPreset(engine);
    const int f = state.Index;
    if (!p || !DeviceModel::ValidFader(f) || port < 0 || port >= kMaxPorts) return false;
    DeviceModel& m = engine.Model;
    const int32_t midiMode = p->FaderMidiMode(f);
    const bool input2 = (midiMode >> 2) & 1;
    const auto& feeds = input2 ? engine.Routing.In2DeviceFlags : engine.Routing.In1DeviceFlags;
    if (!feeds[port]) return false;

    const bool statusMatches = status == LowByte(p->FaderStatus(f));
    const bool eventMatches = statusMatches && data1 == LowByte(p->FaderMidiData1(f));
    const MidiEvent incoming = MakeEvent(time, status, data1, data2, data3);

    const int function = (midiMode >> 3) & 7;
    switch (function) {
        case kVelOvpOne:
        case kVelOvpAll: {
            if (!(function == kVelOvpOne ? eventMatches : statusMatches)) return false;
            MidiEvent e = incoming;
            e.data2 = LowByte(state.Value);
            SendEvents(engine, state, e);
            return true;
        }
        case kVelMulOne:
        case kVelMulAll: {
            if (!(function == kVelMulOne ? eventMatches : statusMatches)) return false;
            MidiEvent e = incoming;
            e.data2 = LowByte(static_cast<int64_t>(data2) * state.Value / 128);
            SendEvents(engine, state, e);
            return true;
        }
        case kUpdateFad:
            if (!eventMatches) return false;
            state.Value = data2;
            if (m.VirtualMotorFaders)
                ShowValue(engine, state);
            else if (f == m.SelectedFader)
                engine.Notices.ParameterFaderValue.Publish(state.Value);
            return true;
        case kHookOnFad:
            if (m.HookMode && state.Hooked && eventMatches && Distance(data2, state.Value) <= m.HookTolerance)
                state.Hooked = false;
            return false;
        case kOvdupFad:
            if (m.OverdupMode && !state.Touched) SendEvents(engine, state, incoming);
            return false;
        default:  // kFaderEvent
            return false;
    }
}

// ---- Events and output -----------------------------------------------------

bool BuildChannelEvent(int32_t status, int32_t data1, int32_t data2, int value, MidiEvent& event) {
    const uint8_t s = LowByte(status);
    if (s < 0x80 || s >= 0xF0) return false;
    const auto field = [value](int32_t d) { return LowByte(LowByte(d) == kLiveValue ? value : d); };
    event = MakeEvent(kTimeNow, s, field(data1), field(data2));
    return true;
}

int ParseEventString(std::string_view text, int value, std::span<MidiEvent> list) {
    // Two characters per byte and one separator; the list never holds more
    // events than a string may carry bytes, so tokens past that are ignored.
    const int n = static_cast<int>(std::min<size_t>((text.size() + 1) / 3, kEventListSize));
    std::array<uint8_t, kEventListSize> b{};
    for (int i = 0; i < n; ++i) {
        const char hi = text[3 * i];
        const char lo = text[3 * i + 1];
        b[i] = (hi == 'X' && lo == 'X') ? LowByte(value) : static_cast<uint8_t>(HexDigit(hi) * 16 + HexDigit(lo));
    }

    const size_t room = list.size();
    size_t count = 0;
    const auto emit = [&](const MidiEvent& e) {
        if (count >= room) return false;
        list[count++] = e;
        return true;
    };
    const auto isData = [&](int k) { return k < n && b[k] < 0x80; };

    uint8_t running = 0;
    int i = 0;
    while (i < n) {
        const uint8_t s = b[i];
        if (s < 0x80) {
            // A data byte continues the running status, if there is one.
            if (running == 0) break;
            const uint8_t kind = running & 0xF0;
            if (kind == 0xC0 || kind == 0xD0) {
                if (!emit(MakeEvent(kTimeNow, running, s))) break;
                i += 1;
            } else {
                if (!isData(i + 1) || !emit(MakeEvent(kTimeNow, running, s, b[i + 1]))) break;
                i += 2;
            }
            continue;
        }
        if (s >= 0xF0) {
            switch (s) {
                case 0xF8:
                case 0xFA:
                case 0xFB:
                case 0xFC:
                case 0xFE:
                case 0xFF:
                    if (!emit(MakeEvent(kTimeNow, s))) return static_cast<int>(count);
                    i += 1;
                    continue;
                case 0xF4:
                case 0xF5:
                case 0xF6:
                case 0xFD: i += 1; continue;
                case 0xF1:
                case 0xF3:
                    if (!isData(i + 1) || !emit(MakeEvent(kTimeNow, s, b[i + 1]))) return static_cast<int>(count);
                    i += 2;
                    continue;
                case 0xF2:
                    if (!isData(i + 1) || !isData(i + 2) || !emit(MakeEvent(kTimeNow, s, b[i + 1], b[i + 2])))
                        return static_cast<int>(count);
                    i += 3;
                    continue;
                default: {  // F0, F7, F9: a system-exclusive run up to the next F7
                    int j = i + 1;
                    while (j < n && b[j] != 0xF7) ++j;
                    // Unterminated, or not room for the whole run: none of it.
                    if (j >= n || static_cast<size_t>(j - i + 1) > room - count) return static_cast<int>(count);
                    for (int k = i; k <= j; ++k) emit(MakeEvent(0, 0xF0, b[k]));
                    i = j + 1;
                    continue;
                }
            }
        }
        const uint8_t kind = s & 0xF0;
        if (kind == 0xC0 || kind == 0xD0) {
            if (!isData(i + 1) || !emit(MakeEvent(kTimeNow, s, b[i + 1]))) break;
            i += 2;
        } else {
            if (!isData(i + 1) || !isData(i + 2) || !emit(MakeEvent(kTimeNow, s, b[i + 1], b[i + 2]))) break;
            i += 3;
        }
        running = s;
    }
    return static_cast<int>(count);
}

void SendFaderEvent(Engine& engine, FaderState& state, int value) {
    state.Touched = true;
    Morvelant_Parameters* p = CurrentPreset(engine);
    const int f = state.Index;
    if (!p || !DeviceModel::ValidFader(f)) return;
    EventList list{};
    const int count = BuildEvents(p->FaderStatus(f), p->FaderMidiData1(f), p->FaderMidiData2(f), value,
                                  p->FaderString[f], value, list);
    SendList(engine, state, list, count);
}

void SendKeyOnEvent(Engine& engine, KeyState& state) { SendKeyEvent(engine, state, true); }
void SendKeyOffEvent(Engine& engine, KeyState& state) { SendKeyEvent(engine, state, false); }

void SendEvents(Engine& engine, FaderState& state, const MidiEvent& event) {
    Morvelant_Parameters* p = CurrentPreset(engine);
    const int f = state.Index;
    if (!p || !DeviceModel::ValidFader(f)) return;
    SendToVirtualOutputs(engine, event, p->FaderMidiMode(f) & 3);
}

std::size_t MessageLength(std::span<const MidiEvent> events) {
    if (events.empty()) return 0;
    if (events[0].status != 0xF0) return 1;
    std::size_t n = 1;
    while (n < events.size() && events[n].status == 0xF0)
        if (events[n++].data1 == 0xF7) break;
    return n;
}

void SendToVirtualOutputs(Engine& engine, std::span<const MidiEvent> message, int outputs) {
    const MidiRouting& r = engine.Routing;
    const int ports = std::clamp(r.NumOutDevs, 0, kMaxPorts);
    // A port's output gathers a system-exclusive message byte by byte: the
    // two copies for a port in both sets go one after the other, never
    // interleaved.
    const auto put = [&](int j) {
        for (const MidiEvent& e : message) SendToPort(engine, j, e);
    };
    for (int j = 0; j < ports; ++j) {
        if ((outputs & 1) && r.Out1DeviceFlags[j]) put(j);
        if ((outputs & 2) && r.Out2DeviceFlags[j]) put(j);
    }
}

void SendSpecialKeyString(Engine& engine, int key) {
    Morvelant_Parameters* p = CurrentPreset(engine);
    if (!p || key < 0 || key >= kSpecialKeyCount) return;
    EventList list{};
    const int count = ParseEventString(p->SpecialKeyString[static_cast<size_t>(key)], 0, list);
    ForEachMessage(list, count, [&](std::span<const MidiEvent> m) {
        if (key == 0) {
            SendToVirtualOutputs(engine, m, 1);
            SendToVirtualOutputs(engine, m, 2);
        } else {
            SendToVirtualOutputs(engine, m, 3);
        }
    });
}

// ---- Selection -------------------------------------------------------------

void MoveFaderSelection(DeviceModel& model, int fader) {
    if (!DeviceModel::ValidFader(fader)) return;
    if (DeviceModel::ValidFader(model.SelectedFader)) model.FaderSelected[size_t(model.SelectedFader)] = false;
    model.SelectedFader = fader;
    model.FaderSelected[size_t(fader)] = true;
}

void SelectFader(Engine& engine, int fader) {
    DeviceModel& model = engine.Model;
    if (!DeviceModel::ValidFader(fader)) return;
    const int previous = model.SelectedFader;
    MoveFaderSelection(model, fader);
    engine.Notices.CurrentFaderChanged.Publish(previous, fader);
    // The selected fader's key lamp is shown anew (the fader parameter
    // window shows the selected fader's lamp).
    model.SetKeyLamp(fader, model.KeyStates[size_t(fader)].LampOn);
    FaderState& state = model.FaderStates[size_t(fader)];
    if (model.VirtualMotorFaders) {
        ShowValue(engine, state);
    } else {
        const int position = model.ScreenFaderPosition[size_t(fader)];
        const int shown = position >= 0 ? position : 127;
        ScaleToRange(engine, state, shown);
        ShowParameterFader(engine, shown, state.Value);
    }
}

void ShowCurrentPreset(Engine& engine, bool send) {
    DeviceModel& model = engine.Model;
    if (send) SendSpecialKeyString(engine, 0);
    for (int f = 0; f < kFaderCount; ++f) {
        FaderState& state = model.FaderStates[size_t(f)];
        Reset(engine, state, f);
        Reset(engine, model.KeyStates[size_t(f)], f);
        if (model.VirtualMotorFaders) {
            ShowValue(engine, state);
        } else {
            const int position = model.ScreenFaderPosition[size_t(f)];
            ScaleToRange(engine, state, position >= 0 ? position : 127);
        }
    }
    engine.Notices.CurrentPresetChanged.Publish();
}

void ShowPattern(Engine& engine, int slot) {
    if (!DeviceModel::ValidPattern(slot)) return;
    engine.Model.SelectedPattern = slot;
    engine.Notices.CurrentPatternChanged.Publish();
}

}  // namespace morvelant
