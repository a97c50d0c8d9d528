// The JACK backend's time base: nanoseconds counted in the server's frames,
// so that timed output keeps its gaps exact in frames however far the frames
// drift from the system clock. Without a client the steady clock goes on
// from where the frames stopped, so the time base never jumps.
#ifndef MIDIKIT_DRIVER_JACKTIMEBASE_H
#define MIDIKIT_DRIVER_JACKTIMEBASE_H

#include "driver/DriverInternal.h"

#include <jack/jack.h>

namespace morvelant::driver {

class JackTimeBase final : public TimeBase {
public:
    MediaTime now() const override;
    // The frames never run ahead of the server's schedule, only behind it
    // (a busy server drops time): a moment never comes sooner than the
    // frames still to go would take at the nominal rate.
    SteadyClock::time_point expected(MediaTime t) const override;
    // Two periods: a sending thread woken that late still meets its frame.
    MediaClock::duration lead() const override { return std::chrono::microseconds(leadUs_.load()); }

    // On the watcher's thread, once client c is open: JACK's clock against
    // the steady clock, and the period.
    void measure(jack_client_t* c);
    // The time base follows the frames of client c from now on (none: the
    // steady clock).
    void follow(jack_client_t* c);
    // The process callback: the frame its cycle began at.
    void cycleBegan(jack_nframes_t frame) { cycleStart_.store(frame, std::memory_order_relaxed); }
    // The moment on the steady clock of a moment on JACK's clock. A time
    // that is no moment of this run (PipeWire's libjack now and then gives a
    // frame a time near the end of the clock's range) is taken as now.
    SteadyClock::time_point steadyOf(int64_t jackUsec) const {
        const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                                SteadyClock::now().time_since_epoch()).count();
        constexpr int64_t kHour = int64_t(3600) * 1000 * 1000;
        const int64_t offset = offsetUs_.load();
        if (jackUsec > now + offset + kHour || jackUsec < now + offset - kHour) return SteadyClock::now();
        return SteadyClock::time_point(std::chrono::microseconds(jackUsec - offset));
    }
    // The moment of a frame of the last few seconds, so that frameOf gives
    // that frame back; kAtOnce without a client.
    MediaTime momentOfFrame(jack_nframes_t frame) const;
    // The frame a moment falls at, and the server those frames are of.
    jack_nframes_t frameOf(MediaTime t, uint32_t& server) const;
    // Which server the frames are of: another one each time the time base
    // follows a client, or stops following one. A frame of another server
    // means nothing on this one's.
    uint32_t server() const { return server_.load(std::memory_order_acquire); }

private:
    int64_t nowNs() const;  // under mx_

    mutable std::mutex mx_;  // never taken by the process callback
    jack_client_t* client_ = nullptr;
    double rate_ = 48000.0;
    jack_nframes_t originFrame_ = 0;
    mutable jack_nframes_t lastFrame_ = 0;
    mutable int64_t frames_ = 0;  // since originFrame_
    mutable SteadyClock::time_point lastRead_{};
    std::atomic<jack_nframes_t> cycleStart_{0};  // the frame the last cycle began at
    int64_t originNs_ = 0;
    int64_t heldNs_ = 1'000'000'000;  // when the frames were last followed; the epoch is kAtOnce's
    SteadyClock::time_point heldAt_ = SteadyClock::now();
    std::atomic<int64_t> offsetUs_{0};
    std::atomic<int64_t> leadUs_{0};
    std::atomic<uint32_t> server_{0};
};

}  // namespace morvelant::driver

#endif
