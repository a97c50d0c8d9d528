// What the playback on the PC needs of the MIDI ports and the clock: the
// output ports flagged for virtual output 1, their output queues, and the one
// sync clock that paces them. The port set of the engine provides it; tests
// hand in a recording stand-in.
#pragma once

#include <cstdint>

#include "driver/MidiKit32.h"

namespace morvelant {

class TMidiKitScore;

class PlaybackPorts {
public:
    virtual ~PlaybackPorts() = default;

    // Number of output ports (0..50).
    virtual int OutCount() const = 0;
    // Port `port` receives virtual output 1.
    virtual bool Flagged(int port) const = 0;
    virtual bool IsOpen(int port) const = 0;
    // Discards what is queued for an open port.
    virtual void Flush(int port) = 0;
    // Attaches the score to an open port and starts feeding it.
    virtual void Play(int port, TMidiKitScore& score) = 0;
    // Detaches the score from the port if it is attached there.
    virtual void Detach(int port, TMidiKitScore& score) = 0;
    // Sends one event at once, past anything timed.
    virtual void SendNow(int port, const MidiEvent& event) = 0;
    // Closes and opens an open port again.
    virtual void Reopen(int port) = 0;

    // The clock: set the tempo (microseconds per quarter note), start from
    // the beginning with the beat counter at 1.1, or halt.
    virtual void SetTempo(uint32_t microsecondsPerQuarter) = 0;
    virtual void StartClock() = 0;
    // The bar.beat counter starts again at 1.1 without touching the clock.
    virtual void RestartCount() {}
    virtual void PauseClock() = 0;
    // The clock's position in ticks since its start; false when unknown.
    virtual bool ClockPosition(uint32_t& ticks) const { return false; }
};

}  // namespace morvelant
