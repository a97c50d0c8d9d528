// Playback of the current pattern on the PC: renders it into one score of
// eight tracks per output port of virtual output 1 and plays the scores,
// paced by the sync clock. While a track is unmuted the scores loop on their
// own, each pass queued ahead of its start; otherwise the clock's end-of-run
// notice ends playback.
//
// Only ports that are open are rendered for, and a start plays exactly the
// ports of the last render. Stop, a restart and a panic send a note-off for
// every note the render can have left sounding; a panic also stops playback. The tempo is applied at
// every start and brought into 50..240 beats per minute.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "model/Parameters.h"
#include "patterns/PatternRender.h"
#include "patterns/PlaybackPorts.h"

namespace morvelant {

class TMidiKitScore;
class TMidiKitTrack;

constexpr int kMinBpm = 50;
constexpr int kMaxBpm = 240;
constexpr int kDefaultBpm = 120;

class PatternPlayer {
public:
    explicit PatternPlayer(PlaybackPorts& ports, int renderBeats = kRenderBeats);
    ~PatternPlayer();
    PatternPlayer(const PatternPlayer&) = delete;
    PatternPlayer& operator=(const PatternPlayer&) = delete;

    // Renders the pattern for the open ports of virtual output 1.
    void Render(const Pattern_Parameters& pattern);
    // Plays the last render from its beginning.
    void StartPlayback();
    // Renders anew and, while playing, starts again from the beginning.
    void RestartPlayback(const Pattern_Parameters& pattern);
    // Renders and plays.
    void Play(const Pattern_Parameters& pattern);
    void Stop();
    // Stops playback, closes and reopens every open output port and
    // silences the render's notes.
    void Panic();

    // Takes a tempo text; returns the tempo now in force, which the caller
    // shows. A text that is no whole number keeps the tempo; one outside
    // 50..240 is brought to the nearest bound.
    int SetTempoText(const std::string& text);
    int Bpm() const { return bpm_; }

    bool Playing() const { return playing_; }
    // Why a start would be heard nowhere (no port of virtual output 1 ticked,
    // or none of the ticked ones open), and where to tick one; empty when
    // some port plays.
    std::string SilenceReason() const;
    // One beat of the clock went by; true when it begins the next pass of a
    // looping render (the bar.beat count starts again at 1.1).
    bool Beat();
    // The clock's run ended: playing stops (the caller decides on a loop).
    void RunEnded() { playing_ = false; }
    // Milliseconds until the clock reaches the end of the rendered stretch:
    // the clock may report a run done while its last events are still ahead
    // of it, and a loop started at once would come early.
    int MillisecondsToRunEnd() const;
    const PatternRender& LastRender() const { return render_; }
    // The toolkit track of port o and track 1..8 (null when none was made).
    TMidiKitTrack* Track(int port, int track) const;

private:
    // Every event of a run is held this many ticks after the clock's start
    // (see Render), and the run ends that much after its stretch.
    static constexpr uint32_t kLead = 1;
    uint32_t RunEndTick() const { return uint32_t(renderBeats_) * kTicksPerQuarter + kLead; }

    struct PortScore;
    PortScore& ScoreFor(int port);
    // Flushes the rendered ports, detaches their scores and ends their notes.
    void Silence();

    PlaybackPorts& ports_;
    int renderBeats_;
    std::vector<std::unique_ptr<PortScore>> scores_;
    PatternRender render_;
    bool playing_ = false;
    bool looping_ = false;
    int beatsInPass_ = 0;
    int bpm_ = kDefaultBpm;
};

}  // namespace morvelant
