#include "patterns/PatternRender.h"

#include <algorithm>
#include <bitset>

#include "patterns/RunModes.h"

namespace morvelant {

namespace {

// A stored code from a file or a dump may be anything; a negative one counts
// as the shortest time so that steps always move forward.
int CodeUnits(int32_t code) { return code < 0 ? 0 : code / 4; }

bool IsNoteEvent(uint8_t status) { return (status & 0xF0) == 0x90; }

uint8_t ClampByte(int64_t value) { return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 127)); }

}  // namespace

int TimeCodeTicks(int32_t code) { return (CodeUnits(code) + 1) * kTickUnit; }

int DelayCodeTicks(int32_t code) {
    const int units = CodeUnits(code);
    return units == 0 ? 0 : (units + 1) * kTickUnit;
}

TrackTiming PrepareTrackTiming(const Pattern_Parameters& pattern, int track) {
    TrackTiming timing;
    if (track < 1 || track > kTrackCount) return timing;
    const int t = track - 1;
    timing.StartOffset = DelayCodeTicks(pattern.TrackDelay(t));
    timing.StepLength = TimeCodeTicks(pattern.TrackGateTime(t));
    timing.NoteLength = std::min(TimeCodeTicks(pattern.TrackNoteTime(t)), timing.StepLength);
    return timing;
}

std::vector<MidiEvent> RenderTrack(const Pattern_Parameters& pattern, int track, int fromBeat, int beats) {
    std::vector<MidiEvent> events;
    if (track < 1 || track > kTrackCount || beats <= 0) return events;
    const int t = track - 1;
    const uint8_t status = static_cast<uint8_t>(pattern.TrackEvent(t) & 0xFF);
    // Only channel messages go on the wire: anything else in the word would
    // put a data byte or a system message where a status belongs.
    if (status < 0x80 || status >= 0xF0) return events;

    const TrackTiming timing = PrepareTrackTiming(pattern, track);
    const int64_t from = int64_t(fromBeat) * kTicksPerQuarter;
    const int64_t to = int64_t(fromBeat + beats) * kTicksPerQuarter;
    // First slot k >= 1 whose start is at or after `from`.
    int64_t k = 1;
    if (from > timing.StartOffset) k = (from - timing.StartOffset + timing.StepLength - 1) / timing.StepLength + 1;

    int64_t last = 0;  // absolute time of the previous event
    auto append = [&](int64_t at, uint8_t d1, uint8_t d2) {
        events.push_back(MidiEvent{static_cast<uint32_t>(at - last), status, d1, d2, 0});
        last = at;
    };
    for (;; ++k) {
        const int64_t start = timing.StartOffset + (k - 1) * timing.StepLength;
        if (start >= to) break;
        const int slot = static_cast<int>(k);
        const int step = GetRunStep(pattern, track, slot);
        if (step < 1 || pattern.StepOff(t, step - 1)) continue;
        const int64_t note =
            int64_t(GetRunOctaveShift(pattern, track, slot)) + pattern.TrackData1(t) + pattern.StepNote(t, step - 1);
        if (note < 0 || note > 127) continue;
        const uint8_t velocity = ClampByte(int64_t(pattern.TrackData2(t)) * pattern.StepVelocity(t, step - 1) / 127);
        append(start, static_cast<uint8_t>(note), velocity);
        if (IsNoteEvent(status)) append(start + timing.NoteLength, static_cast<uint8_t>(note), 0);
    }
    return events;
}

bool PatternRender::Rendered(int port) const { return std::find(Ports.begin(), Ports.end(), port) != Ports.end(); }

std::size_t PatternRender::EventCount() const {
    std::size_t n = 0;
    for (const auto& track : Tracks) n += track.size();
    return n;
}

PatternRender RenderPattern(const Pattern_Parameters& pattern, const std::vector<int>& ports, int fromBeat, int beats) {
    PatternRender render;
    render.Ports = ports;
    for (int track = 1; track <= kTrackCount; ++track)
        if (((pattern.MuteMask() >> (track - 1)) & 1) == 0)
            render.Tracks[size_t(track - 1)] = RenderTrack(pattern, track, fromBeat, beats);
    return render;
}

std::vector<MidiEvent> NoteOffsFor(const PatternRender& render) {
    std::bitset<16 * 128> sounding;
    std::vector<MidiEvent> offs;
    for (const auto& track : render.Tracks)
        for (const MidiEvent& e : track) {
            if (!IsNoteEvent(e.status) || e.data2 == 0) continue;
            const size_t key = size_t(e.status & 0x0F) * 128 + e.data1;
            if (sounding.test(key)) continue;
            sounding.set(key);
            offs.push_back(MidiEvent{0, e.status, e.data1, 0, 0});
        }
    return offs;
}

}  // namespace morvelant
