// The ten settings of a pattern's tracks: the time-code table, the display
// names of time codes, run modes and track events, and the setter of every
// setting, which the track grid, the pickers, the piano roll and the track
// tools all use. Tracks are numbered 1..8; a pattern or track out of range,
// or a table index out of range, makes a setter do nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/DeviceModel.h"

namespace morvelant {

// The 32 time codes offered for gate times, note times and delays. Four of
// them are not multiples of 4 (31, 63, 95, 123); they are stored and sent as
// they stand and named after v div 4 like the others.
inline constexpr std::array<int32_t, 32> TimeCodes = {0,  4,  8,  12,  16,  20,  24,  31,  32,  36, 40,
                                                      44, 48, 52, 56,  63,  64,  68,  72,  76,  80, 84,
                                                      88, 95, 96, 100, 104, 108, 112, 116, 123, 124};

// Gate or note time: "006=1/16" for 20; "error:" and the number when v div 4
// is not 1..31.
std::string TimeName(int32_t v);
// Delay: "no Delay" for v div 4 = 0, else as TimeName.
std::string DelayName(int32_t v);
// "Up", "Down 2-Okt.", "Up/Down1", ...; "error:" and the number outside 0..23.
std::string RunModeName(int32_t v);
// "Note Event", "Controller", ... by the high nibble; "error" for the rest.
std::string TrackEventName(int32_t event);

// True when track t (1..8) is muted in the pattern.
bool TrackMuted(const Pattern_Parameters& pattern, int t);
// Number of tracks (0..8) of pattern p whose mute bit is clear.
int CountActiveTracks(const DeviceModel& model, int p);

// TrackEvent := (TrackEvent and 0x0F) or status: the channel stays.
void SetTrackEvent(DeviceModel& model, int p, int t, int32_t status);
// TrackEvent := (TrackEvent and 0xF0) + channel 0..15.
void SetTrackChannel(DeviceModel& model, int p, int t, int32_t channel);
void SetTrackData1(DeviceModel& model, int p, int t, int32_t value);
void SetTrackData2(DeviceModel& model, int p, int t, int32_t value);
// TimeCodes[index]; a note time longer than the new gate time is shortened.
void SetTrackGateTime(DeviceModel& model, int p, int t, int index);
// TimeCodes[index] when it is not longer than the gate time.
void SetTrackNoteTime(DeviceModel& model, int p, int t, int index);
void SetTrackRunMode(DeviceModel& model, int p, int t, int32_t mode);  // 0..23
void SetTrackDelay(DeviceModel& model, int p, int t, int index);
// Step index + 1, never after the end step (and always 1..16).
void SetTrackStartStep(DeviceModel& model, int p, int t, int index);
// Step index + 1, never before the start step (and always 1..16).
void SetTrackEndStep(DeviceModel& model, int p, int t, int index);
void SetTrackStatus(DeviceModel& model, int p, int t, int32_t value);
void SetTrackMute(DeviceModel& model, int p, int t, bool mute);

}  // namespace morvelant
