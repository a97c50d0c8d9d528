// The engine's calls into the windows. The engine never includes a window
// header: where it has to light a lamp, move an on-screen control or log a
// row in the MIDI monitor, it calls one of these. Every function does nothing
// by default, so a window that is not built yet is simply not connected and
// a test overrides only what it wants to watch.
//
// Other parts of the engine add their own call-outs here; keep additions
// virtual with an empty (or neutral) default body.
#pragma once

#include <span>

#include "driver/MidiKit32.h"

namespace morvelant {

struct EngineHooks {
    virtual ~EngineHooks() = default;

    // MIDI activity lamps of the virtual device window.
    virtual void ShowMidiOutActivity() {}
    virtual void ShowMidiInActivity() {}

    // One row of the MIDI monitor: an event put to (incoming false) or
    // received from (incoming true) port 0..49.
    virtual void LogEvent(int port, const MidiEvent& event, bool incoming) {}

    // Key lamps are not here: they go through DeviceModel::SetKeyLamp, which
    // records LampOn and tells the panel (DevicePanelView::KeyLampChanged).

    // The on-screen fader of the virtual device window takes a position
    // 0..127 (0 at the top). Called with the update guard set.
    virtual void ShowFaderPosition(int fader, int position) {}
    // The fader parameter window's scroll bar takes a position 0..127.
    // Called with the update guard set, only for the selected fader.
    virtual void ShowParameterFaderPosition(int position) {}
    // The fader parameter window's value box shows a value (selected fader).
    virtual void ShowParameterFaderValue(int value) {}

    // Shows the current preset in every view and resets the live faders and
    // keys; with send set, first sends the preset's "Preset" key string.
    virtual void ShowCurrentPreset(bool send) {}

    // ---- Incoming dumps and learn ----------------------------------------
    // A received preset dump (values, texts or a knob preset) makes the
    // preset list window visible.
    virtual void ShowPresetList() {}
    // A received pattern dump makes the track parameter and step parameter
    // windows visible ...
    virtual void ShowPatternEditors() {}
    // ... and the pattern window shows the slot (it becomes the current
    // pattern and every pattern view is refreshed).
    virtual void ShowPattern(int slot) {}
    // A knob preset of the sibling controller (one byte per event, F0 to F7)
    // to be converted into preset `slot`. Not connected: nothing happens.
    virtual void ImportVellixaPreset(int slot, std::span<const MidiEvent> dump) {}
    // Learn wrote into LearnFader: the select lamp moves from `previous` to
    // `fader` (the model's SelectedFader is set by the caller).
    virtual void AutoSelectFaderLamp(int previous, int fader) {}
    // Learn ended by itself: the blinking stops and the label turns yellow.
    virtual void LearnEnded() {}
    // A MIDI file import replaced the notes of preset / pattern `slot`.
    virtual void PresetNotesLoaded(int slot) {}
    virtual void PatternNotesLoaded(int slot) {}
};

}  // namespace morvelant
