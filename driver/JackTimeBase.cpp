#include "driver/JackTimeBase.h"

#include <algorithm>
#include <cmath>

namespace morvelant::driver {

namespace {

// JACK's clock and the steady clock both run from the same monotonic source
// on Linux; the offset is measured anyway, once, so a difference does not
// matter.
int64_t steadyMicros(SteadyClock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

}  // namespace

MediaTime JackTimeBase::now() const {
    std::lock_guard lock(mx_);
    return MediaTime(std::chrono::nanoseconds(nowNs()));
}

SteadyClock::time_point JackTimeBase::expected(MediaTime t) const {
    std::lock_guard lock(mx_);
    return SteadyClock::now() + (t - MediaTime(std::chrono::nanoseconds(nowNs())));
}

void JackTimeBase::measure(jack_client_t* c) {
    // JACK's clock can be read once a client is open; the offset is taken
    // before any port can see it.
    offsetUs_ = int64_t(jack_get_time()) - steadyMicros(SteadyClock::now());
    const double period =
        double(jack_get_buffer_size(c)) / double(std::max<jack_nframes_t>(1, jack_get_sample_rate(c)));
    leadUs_ = std::clamp<int64_t>(int64_t(2e6 * period), 1000, 20000);
}

int64_t JackTimeBase::nowNs() const {
    if (!client_)
        return heldNs_ + std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now() - heldAt_).count();
    // JACK's estimate of the frame now is smoothed, and lags behind a busy
    // server catching up on its schedule; the frames are at least where the
    // last cycle began.
    jack_nframes_t f = jack_frame_time(client_);
    if (const jack_nframes_t begun = cycleStart_.load(std::memory_order_relaxed); int32_t(begun - f) > 0) f = begun;
    // JACK's estimate of the frame now may step back a little as a period
    // begins; the time base does not. Frames unread for long (a quarter of
    // their range: hours) count as gone forward.
    const auto at = SteadyClock::now();
    if (int32_t(f - lastFrame_) > 0 || at - lastRead_ > std::chrono::duration<double>(double(1u << 30) / rate_)) {
        frames_ += uint32_t(f - lastFrame_);
        lastFrame_ = f;
    }
    lastRead_ = at;
    return originNs_ + std::llround(double(frames_) * 1e9 / rate_);
}

MediaTime JackTimeBase::momentOfFrame(jack_nframes_t frame) const {
    std::lock_guard lock(mx_);
    if (!client_) return kAtOnce;
    nowNs();  // brings lastFrame_ and frames_ up to now
    const int64_t frames = frames_ + int32_t(frame - lastFrame_);
    return MediaTime(std::chrono::nanoseconds(originNs_ + std::llround(double(frames) * 1e9 / rate_)));
}

jack_nframes_t JackTimeBase::frameOf(MediaTime t, uint32_t& server) const {
    std::lock_guard lock(mx_);
    server = server_.load(std::memory_order_relaxed);
    const double frames = double((t.time_since_epoch().count() - originNs_)) * rate_ / 1e9;
    return originFrame_ + jack_nframes_t(uint64_t(std::llround(frames)));
}

void JackTimeBase::follow(jack_client_t* c) {
    std::lock_guard lock(mx_);
    if (c) {
        originNs_ = nowNs();
        rate_ = double(std::max<jack_nframes_t>(1, jack_get_sample_rate(c)));
        originFrame_ = lastFrame_ = jack_frame_time(c);
        lastRead_ = SteadyClock::now();
        cycleStart_.store(originFrame_);  // not the last server's
        frames_ = 0;
    } else {
        heldNs_ = nowNs();
        heldAt_ = SteadyClock::now();
    }
    client_ = c;
    server_.fetch_add(1, std::memory_order_release);
}

}  // namespace morvelant::driver
