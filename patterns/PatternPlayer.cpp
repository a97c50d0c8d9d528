#include "patterns/PatternPlayer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitSync.h"
#include "midikit/MidiKitTrack.h"
#include "platform/IniFile.h"

namespace morvelant {

// One score per port; the score owns its eight tracks.
struct PatternPlayer::PortScore {
    TMidiKitScore score{0};
    std::array<TMidiKitTrack*, kTrackCount> tracks{};
    PortScore() {
        for (auto& track : tracks) {
            track = new TMidiKitTrack();
            score.Add(track);
        }
    }
};

PatternPlayer::PatternPlayer(PlaybackPorts& ports, int renderBeats)
    : ports_(ports), renderBeats_(std::max(1, renderBeats)) {}

PatternPlayer::~PatternPlayer() {
    // The clock halts and no port keeps a score before the scores go.
    if (playing_) ports_.PauseClock();
    for (size_t o = 0; o < scores_.size(); ++o)
        if (scores_[o]) ports_.Detach(int(o), scores_[o]->score);
}

PatternPlayer::PortScore& PatternPlayer::ScoreFor(int port) {
    if (scores_.size() <= size_t(port)) scores_.resize(size_t(port) + 1);
    auto& slot = scores_[size_t(port)];
    if (!slot) slot = std::make_unique<PortScore>();
    return *slot;
}

TMidiKitTrack* PatternPlayer::Track(int port, int track) const {
    if (port < 0 || size_t(port) >= scores_.size() || !scores_[size_t(port)] || track < 1 || track > kTrackCount)
        return nullptr;
    return scores_[size_t(port)]->tracks[size_t(track - 1)];
}

void PatternPlayer::Render(const Pattern_Parameters& pattern) {
    std::vector<int> active;
    for (int o = 0; o < ports_.OutCount(); ++o)
        if (ports_.Flagged(o) && ports_.IsOpen(o)) active.push_back(o);
    render_ = RenderPattern(pattern, active, 0, renderBeats_);
    // The clock reports the end of a run once the last timed event is out,
    // and the loop starts again there. The last note-off lies before the
    // stretch's end (by the gap between note and gate time, or more before a
    // silent step), so the first track ends with an event that sends nothing
    // at the stretch's last tick: every loop lasts exactly the stretch.
    //
    // Every event is also held one tick after the clock's start: an event due
    // at once would take the output's immediate path, which runs ahead of the
    // clock-timed events, and the first step of each loop would sound early.
    uint32_t lastTick = render_.Tracks[0].empty() ? 0 : kLead;
    for (const MidiEvent& e : render_.Tracks[0]) lastTick += e.time;
    const uint32_t endTick = RunEndTick();
    const MidiEvent endMark{endTick - std::min(lastTick, endTick), 0, 0, 0, 0};
    // While a track is unmuted the scores loop by themselves: the next pass
    // is queued ahead of the seam and goes out at its own tick, where a
    // restart after the clock's end-of-run notice would come late.
    looping_ = (pattern.MuteMask() & 0xFF) != 0xFF;
    for (int o : active) {
        PortScore& ps = ScoreFor(o);
        ps.score.SetLoop(looping_ ? uint32_t(renderBeats_) * kTicksPerQuarter : 0);
        for (int t = 0; t < kTrackCount; ++t) {
            TMidiKitTrack* track = ps.tracks[size_t(t)];
            track->Flush();
            bool first = true;
            for (MidiEvent e : render_.Tracks[size_t(t)]) {
                if (std::exchange(first, false)) e.time += kLead;
                track->InsertEvent(&e, TMidiKitTrack::LastIndex);
            }
        }
        ps.tracks[0]->InsertEvent(&endMark, TMidiKitTrack::LastIndex);
    }
}

void PatternPlayer::StartPlayback() {
    playing_ = true;
    beatsInPass_ = 0;
    for (int o : render_.Ports) {
        ports_.Flush(o);
        ports_.Play(o, ScoreFor(o).score);
    }
    ports_.SetTempo(TMidiKitSync::Convert(bpm_));
    ports_.StartClock();
}

void PatternPlayer::Silence() {
    const std::vector<MidiEvent> offs = NoteOffsFor(render_);
    for (int o : render_.Ports) {
        if (!ports_.IsOpen(o)) continue;
        ports_.Flush(o);
        if (size_t(o) < scores_.size() && scores_[size_t(o)]) ports_.Detach(o, scores_[size_t(o)]->score);
        for (const MidiEvent& e : offs) ports_.SendNow(o, e);
    }
}

void PatternPlayer::RestartPlayback(const Pattern_Parameters& pattern) {
    if (playing_) {
        ports_.PauseClock();
        Silence();
    }
    Render(pattern);
    if (playing_) StartPlayback();
}

void PatternPlayer::Play(const Pattern_Parameters& pattern) {
    if (playing_) {
        ports_.PauseClock();
        Silence();
    }
    Render(pattern);
    StartPlayback();
}

void PatternPlayer::Stop() {
    playing_ = false;
    ports_.PauseClock();
    Silence();
}

void PatternPlayer::Panic() {
    // Playback stops: a score left attached would go on feeding the reopened
    // ports from the middle of its run.
    if (playing_) {
        playing_ = false;
        ports_.PauseClock();
    }
    for (size_t o = 0; o < scores_.size(); ++o)
        if (scores_[o]) ports_.Detach(int(o), scores_[o]->score);
    for (int o = 0; o < ports_.OutCount(); ++o)
        if (ports_.IsOpen(o)) {
            ports_.Flush(o);
            ports_.Reopen(o);
        }
    const std::vector<MidiEvent> offs = NoteOffsFor(render_);
    for (int o : render_.Ports)
        for (const MidiEvent& e : offs) ports_.SendNow(o, e);
}

bool PatternPlayer::Beat() {
    if (!looping_ || ++beatsInPass_ < renderBeats_) return false;
    beatsInPass_ = 0;
    ports_.RestartCount();
    return true;
}

int PatternPlayer::MillisecondsToRunEnd() const {
    const uint32_t endTick = RunEndTick();
    uint32_t position = 0;
    if (!ports_.ClockPosition(position) || position >= endTick) return 0;
    const double usPerTick = double(TMidiKitSync::Convert(bpm_)) / kTicksPerQuarter;
    // The clock reports whole ticks already begun; the restart itself takes
    // about as long as the rest of the last one.
    return int(std::lround(double(endTick - position - 1) * usPerTick / 1000.0));
}

std::string PatternPlayer::SilenceReason() const {
    int ticked = 0;
    for (int o = 0; o < ports_.OutCount(); ++o) {
        if (!ports_.Flagged(o)) continue;
        if (ports_.IsOpen(o)) return {};
        ++ticked;
    }
    const std::string where = " in Midi Settings (Shift+F3), page \"Virtual Morvelant In/Out 1\", list \"Out 1\".";
    if (ticked == 0) return "Nothing plays: no output port is ticked for \"Out 1\".\nTick a port" + where;
    return "Nothing plays: the output ports ticked for \"Out 1\" cannot be reached.\nCheck them, or tick another port" +
        where;
}

int PatternPlayer::SetTempoText(const std::string& text) {
    int value = 0;
    if (TIniFile::ParseInteger(text, value)) {
        bpm_ = std::clamp(value, kMinBpm, kMaxBpm);
        if (playing_) ports_.SetTempo(TMidiKitSync::Convert(bpm_));
    }
    return bpm_;
}

}  // namespace morvelant
