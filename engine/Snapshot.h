// The snapshot of the virtual device: the live values and key lamps of the
// 24 faders become the start values and mute flags of a preset.
#pragma once

namespace morvelant {

struct Engine;

// Captures all 24 live values and key lamps first, then writes each fader's
// own into preset p (FaderValue := live value, FaderOutMode := 0 with the
// lamp on, 1 with it off) straight into the record, whatever multi-fader
// editing marks; only then starts every fader anew from the preset and moves
// its on-screen fader. A preset outside 0..127 changes nothing.
void TakeSnapshot(Engine& engine, int p);

// Starts all 24 faders and keys anew from the current preset and moves the
// on-screen faders to their values; the preset itself is not changed.
void ReloadLiveState(Engine& engine);

}  // namespace morvelant
