// The playback's ports over the routing tables and the toolkit's output
// components and sync clock.
#pragma once

#include <functional>

#include "engine/MidiRouting.h"
#include "patterns/PlaybackPorts.h"

namespace morvelant {

class TMidiKitSync;

class RoutingPlaybackPorts : public PlaybackPorts {
public:
    // The clock is asked for at each use: its owner may make it later.
    RoutingPlaybackPorts(MidiRouting& routing, std::function<TMidiKitSync*()> sync);

    int OutCount() const override;
    bool Flagged(int port) const override;
    bool IsOpen(int port) const override;
    void Flush(int port) override;
    void Play(int port, TMidiKitScore& score) override;
    void Detach(int port, TMidiKitScore& score) override;
    void SendNow(int port, const MidiEvent& event) override;
    void Reopen(int port) override;
    void SetTempo(uint32_t microsecondsPerQuarter) override;
    void StartClock() override;
    void RestartCount() override;
    void PauseClock() override;
    bool ClockPosition(uint32_t& ticks) const override;

private:
    TMidiKitOut* Out(int port) const;

    MidiRouting& routing_;
    std::function<TMidiKitSync*()> sync_;
};

}  // namespace morvelant
