// The pattern renderer: turns a pattern into the MIDI events that its eight
// tracks play over a stretch of quarter notes, ready to be handed to the
// toolkit's tracks and scores. It is a pure function of the pattern; the
// sequencer window only starts, stops and shows.
//
// Time base: 480 ticks per quarter note; a time code v stands for
// (v div 4 + 1) 96ths of a whole note, 20 ticks each. A track's steps lie on
// a grid of its gate time from its delay on; each note lasts its note time,
// never longer than the gate time.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "driver/MidiKit32.h"
#include "model/Parameters.h"

namespace morvelant {

constexpr int kTicksPerQuarter = 480;
constexpr int kTickUnit = 20;  // one 96th of a whole note
constexpr int kRenderBeats = 400;  // the stretch rendered for playback

// Length in ticks of a gate or note time code.
int TimeCodeTicks(int32_t code);
// Length in ticks of a delay code: none for v div 4 = 0, else as long as
// its name says ((v div 4 + 1) 96ths).
int DelayCodeTicks(int32_t code);

// Where a track's steps fall.
struct TrackTiming {
    int StartOffset = 0;  // ticks of the first step after the start
    int NoteLength = kTickUnit;  // ticks a note sounds
    int StepLength = kTickUnit;  // ticks from one step to the next
};
// Track 1..8.
TrackTiming PrepareTrackTiming(const Pattern_Parameters& pattern, int track);

// The events of track 1..8 over quarter notes [fromBeat, fromBeat + beats),
// each with its distance in ticks from the previous one (the first from
// tick 0). A muted track renders like any other here; RenderPattern skips
// it. Notes outside 0..127 are left out, velocities held to 0..127, and a
// track whose event is no channel message renders nothing.
std::vector<MidiEvent> RenderTrack(const Pattern_Parameters& pattern, int track, int fromBeat, int beats);

// One render for a set of output ports: every port plays the same eight
// tracks (index t - 1), so they are held once.
struct PatternRender {
    std::vector<int> Ports;  // the ports rendered for, in port order
    std::array<std::vector<MidiEvent>, kTrackCount> Tracks{};

    bool Rendered(int port) const;
    std::size_t EventCount() const;
};

// Renders the unmuted tracks of the pattern for the given ports.
PatternRender RenderPattern(const Pattern_Parameters& pattern, const std::vector<int>& ports, int fromBeat, int beats);

// A note-off (a note-on of velocity 0) for every channel and note that the
// render switches on, each once: sent after a stop, a restart or a panic so
// that no note of the render is left sounding.
std::vector<MidiEvent> NoteOffsFor(const PatternRender& render);

}  // namespace morvelant
