#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "midikit/MidiKitTrack.h"
#include "patterns/PatternPlayer.h"

using namespace morvelant;

namespace {

// Records every call as a line of text.
class FakePorts : public PlaybackPorts {
public:
    std::vector<bool> flagged{true, false, true, true};
    std::vector<bool> open{true, true, false, true};
    std::vector<std::string> log;
    std::vector<const TMidiKitScore*> attached = std::vector<const TMidiKitScore*>(4, nullptr);

    int OutCount() const override { return int(flagged.size()); }
    bool Flagged(int o) const override { return flagged[size_t(o)]; }
    bool IsOpen(int o) const override { return open[size_t(o)]; }
    // As the editor's ports: what silences reaches every open output.
    void Flush(int o) override {
        if (open[size_t(o)]) Log("flush", o);
    }
    void Play(int o, TMidiKitScore& s) override {
        attached[size_t(o)] = &s;
        Log("play", o);
    }
    void Detach(int o, TMidiKitScore& s) override {
        if (attached[size_t(o)] == &s) attached[size_t(o)] = nullptr, Log("detach", o);
    }
    void SendNow(int o, const MidiEvent& e) override {
        if (open[size_t(o)])
            Log("now", o, std::to_string(e.status) + "/" + std::to_string(e.data1) + "/" + std::to_string(e.data2));
    }
    void Reopen(int o) override { Log("reopen", o); }
    void SetTempo(uint32_t us) override { log.push_back("tempo " + std::to_string(us)); }
    void StartClock() override { log.push_back("start"); }
    void PauseClock() override { log.push_back("pause"); }
    bool ClockPosition(uint32_t& ticks) const override {
        ticks = position;
        return position >= 0;
    }
    int position = -1;

    void Log(const char* what, int o, const std::string& more = {}) {
        log.push_back(std::string(what) + " " + std::to_string(o) + (more.empty() ? "" : " " + more));
    }
    std::vector<std::string> Take() { return std::exchange(log, {}); }
};

Pattern_Parameters OneNote() {
    Pattern_Parameters p;
    p.MuteMask() = 254;
    p.TrackEvent(0) = 0x91;
    p.TrackData2(0) = 127;
    p.TrackGateTime(0) = 20;
    p.TrackNoteTime(0) = 20;
    p.TrackStartStep(0) = 1;
    p.TrackEndStep(0) = 1;
    p.StepNote(0, 0) = 64;
    p.StepVelocity(0, 0) = 100;
    return p;
}

using Lines = std::vector<std::string>;

TEST(PatternPlayer, PlaysOnlyOpenFlaggedPortsAndExactlyTheRenderedOnes) {
    FakePorts ports;
    PatternPlayer player(ports, 1);
    player.Play(OneNote());
    EXPECT_EQ(player.LastRender().Ports, (std::vector<int>{0, 3}));  // port 2 failed to open
    EXPECT_EQ(ports.Take(), (Lines{"flush 0", "play 0", "flush 3", "play 3", "tempo 500000", "start"}));
    // Four notes in one quarter note, all one tick after the start, then a
    // mark that sends nothing and ends the track on the stretch's last tick,
    // where the loop starts again.
    TMidiKitTrack* track = player.Track(3, 1);
    ASSERT_EQ(track->GetNumEvents(), 9u);
    EXPECT_EQ(track->AbsNow(0), 1u);
    EXPECT_EQ(track->GetEvent(8)->status, 0);
    EXPECT_EQ(track->AbsNow(8), 481u);
    // A port flagged after the render is not played by the loop's restart.
    ports.flagged[1] = true;
    player.RunEnded();
    player.StartPlayback();
    EXPECT_EQ(ports.Take(), (Lines{"flush 0", "play 0", "flush 3", "play 3", "tempo 500000", "start"}));
}

TEST(PatternPlayer, StopRestartAndPanicLeaveNoNoteSounding) {
    FakePorts ports;
    PatternPlayer player(ports, 1);
    player.Play(OneNote());
    ports.Take();
    player.Stop();
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(ports.Take(),
              (Lines{"pause", "flush 0", "detach 0", "now 0 145/64/0", "flush 3", "detach 3", "now 3 145/64/0"}));
    player.RestartPlayback(OneNote());  // stopped: renders only
    EXPECT_TRUE(ports.Take().empty());
    player.Play(OneNote());
    ports.Take();
    Pattern_Parameters changed = OneNote();
    changed.StepNote(0, 0) = 70;
    player.RestartPlayback(changed);
    const Lines restart = ports.Take();
    EXPECT_EQ(Lines(restart.begin(), restart.begin() + 4), (Lines{"pause", "flush 0", "detach 0", "now 0 145/64/0"}));
    EXPECT_EQ(restart.back(), "start");
    player.Panic();
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(ports.Take(),
              (Lines{"pause", "detach 0", "detach 3", "flush 0", "reopen 0", "flush 1", "reopen 1", "flush 3",
                     "reopen 3", "now 0 145/70/0", "now 3 145/70/0"}));
}

TEST(PatternPlayer, TempoIsAppliedAtEveryStartAndKeptInRange) {
    FakePorts ports;
    PatternPlayer player(ports, 1);
    struct Case {
        const char* text;
        int bpm;
    } cases[] = {{"90", 90}, {"300", 240}, {"abc", 240}, {"", 240}, {"-5", 50}, {"60", 60}};
    for (const Case& c : cases) EXPECT_EQ(player.SetTempoText(c.text), c.bpm) << c.text;
    EXPECT_TRUE(ports.Take().empty());  // not playing: applied at the start
    player.Play(OneNote());
    EXPECT_EQ(ports.Take()[4], "tempo 1000000");
    player.SetTempoText("120");
    EXPECT_EQ(ports.Take(), (Lines{"tempo 500000"}));
}

TEST(PatternPlayer, ALoopWaitsForTheClockToReachTheEndOfTheStretch) {
    FakePorts ports;
    PatternPlayer player(ports, 4);  // 1,920 ticks
    struct Case {
        int position, bpm, ms;
    } cases[] = {{-1, 120, 0}, {1801, 120, 124}, {1801, 240, 62}, {1920, 120, 0}, {5000, 120, 0}, {1, 60, 3998}};
    for (const Case& c : cases) {
        ports.position = c.position;
        player.SetTempoText(std::to_string(c.bpm));
        EXPECT_EQ(player.MillisecondsToRunEnd(), c.ms) << c.position << " at " << c.bpm;
    }
}

TEST(PatternPlayer, ScoresAreDetachedAndTheClockHaltedBeforeTheyGo) {
    FakePorts ports;
    auto player = std::make_unique<PatternPlayer>(ports, 1);
    player->Play(OneNote());
    ports.Take();
    player.reset();
    EXPECT_EQ(ports.Take(), (Lines{"pause", "detach 0", "detach 3"}));
}

}  // namespace
