// The sync clock: a thread that keeps absolute deadlines (never accumulated
// sleeps), notifies each beat (a quarter note) and, once per run, when
// everything timed on its outputs has gone out. Its moments are on the
// backend's time base, so that the outputs place each tick at the MIDI
// system's own moment for it (JACK's frame); its thread sleeps on the steady
// clock until the moment is expected.
//
// Position: ticks since StartSync at the current tempo and resolution; a
// tempo change keeps the position and goes on from there. PauseSync halts the
// position until ReStartSync (or StartSync, which begins again at 0);
// StopSync halts and returns to 0. Mode and period are kept but do not change
// the timing: the deadlines are absolute, the period is the time base's.
#include "driver/DriverInternal.h"

#include <algorithm>
#include <cmath>

#include <pthread.h>
#include <sched.h>

namespace morvelant::driver {

namespace {
constexpr uint32_t kKeep = 0xFFFF;
constexpr auto kSettle = std::chrono::milliseconds(2);
constexpr auto kRecheck = std::chrono::microseconds(100);

class SteadyTimeBase final : public TimeBase {
public:
    MediaTime now() const override { return MediaTime(SteadyClock::now().time_since_epoch()); }
    SteadyClock::time_point expected(MediaTime t) const override {
        return SteadyClock::time_point(std::chrono::duration_cast<SteadyClock::duration>(t.time_since_epoch()));
    }
};

// The outputs still there (the caller holds the clock's lock); they are
// called after the lock is released.
std::vector<std::shared_ptr<MidiOutput>> liveOutputs(const std::vector<std::weak_ptr<MidiOutput>>& outputs) {
    std::vector<std::shared_ptr<MidiOutput>> outs;
    for (auto& w : outputs)
        if (auto o = w.lock()) outs.push_back(std::move(o));
    return outs;
}
}  // namespace

std::shared_ptr<const TimeBase> steadyTimeBase() {
    static const auto base = std::make_shared<const SteadyTimeBase>();
    return base;
}

SyncClock::SyncClock() : Object(Kind::Sync), time_(Driver::instance().backend().timeBase()) {}

SyncClock::~SyncClock() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else {
            {
                std::lock_guard lock(mx_);
                quit_ = true;
            }
            cv_.notify_all();
            thread_.join();
        }
    }
}

void SyncClock::begin(const MidiKitNotifyTarget* notify, uint32_t mode, uint32_t period) {
    notifier_.set(notify);
    if (mode != kKeep) mode_ = mode;
    if (period != kKeep) period_ = period;
    thread_ = std::thread([self = shared_from_this()] {
        try {
            self->thread();
        } catch (...) {}
    });
}

void SyncClock::configure(const MidiKitNotifyTarget* notify, uint32_t mode, uint32_t period) {
    if (notify) notifier_.set(notify);
    std::lock_guard lock(mx_);
    if (mode != kKeep) mode_ = mode;
    if (period != kKeep) period_ = period;
}

double SyncClock::tickAt(MediaTime t) const {
    if (state_ != State::Running) return anchorTick_;
    double us = std::chrono::duration<double, std::micro>(t - anchorTime_).count();
    return anchorTick_ + us * double(resolution_) / double(tempo_);
}

MediaTime SyncClock::timeOf(double tick) const {
    double us = (tick - anchorTick_) * double(tempo_) / double(resolution_);
    // Far-off ticks (huge deltas at a slow tempo) stay representable.
    us = std::clamp(us, -1e15, 1e15);
    return anchorTime_ + std::chrono::nanoseconds(int64_t(std::llround(us * 1000.0)));
}

void SyncClock::reanchor(MediaTime now) {
    anchorTick_ = tickAt(now);
    anchorTime_ = now;
}

void SyncClock::wakeOutputs() {
    std::vector<std::shared_ptr<MidiOutput>> outs;
    {
        std::lock_guard lock(mx_);
        outs = liveOutputs(outputs_);
    }
    for (auto& o : outs) o->wake();
}

void SyncClock::start() {
    std::vector<std::shared_ptr<MidiOutput>> outs;
    {
        std::lock_guard lock(mx_);
        outs = liveOutputs(outputs_);
    }
    for (auto& o : outs) o->restartTicks();
    {
        std::lock_guard lock(mx_);
        state_ = State::Running;
        // A lead from now, so that the outputs still meet the run's first
        // moments.
        anchorTime_ = time_->now() + time_->lead();
        anchorTick_ = 0.0;
        nextBeat_ = 1;
        poked_ = true;  // a run whose events all went out at tick 0 is done too
        ++generation_;
    }
    cv_.notify_all();
    for (auto& o : outs) o->wake();
}

void SyncClock::restart() {
    {
        std::lock_guard lock(mx_);
        if (state_ == State::Running) return;
        state_ = State::Running;
        anchorTime_ = time_->now() + time_->lead();
        poked_ = true;
        ++generation_;
    }
    cv_.notify_all();
    wakeOutputs();
}

void SyncClock::stop() {
    {
        std::lock_guard lock(mx_);
        state_ = State::Stopped;
        anchorTick_ = 0.0;
        nextBeat_ = 1;
        ++generation_;
    }
    cv_.notify_all();
    wakeOutputs();
}

void SyncClock::pause() {
    {
        std::lock_guard lock(mx_);
        if (state_ == State::Running) {
            reanchor(time_->now());
            state_ = State::Paused;
        }
        ++generation_;
    }
    cv_.notify_all();
    wakeOutputs();
}

bool SyncClock::setTempo(uint32_t usPerQuarter) {
    if (usPerQuarter == 0) return false;
    {
        std::lock_guard lock(mx_);
        reanchor(time_->now());
        tempo_ = usPerQuarter;
        ++generation_;
    }
    cv_.notify_all();
    wakeOutputs();
    return true;
}

uint32_t SyncClock::tempo() {
    std::lock_guard lock(mx_);
    return tempo_;
}

void SyncClock::setResolution(uint32_t ticks) {
    if (ticks == 0 || ticks > 0x7FFF) return;
    {
        std::lock_guard lock(mx_);
        reanchor(time_->now());
        anchorTick_ = anchorTick_ * double(ticks) / double(resolution_);
        resolution_ = ticks;
        ++generation_;
    }
    cv_.notify_all();
    wakeOutputs();
}

uint32_t SyncClock::resolution() {
    std::lock_guard lock(mx_);
    return resolution_;
}

uint32_t SyncClock::position() {
    std::lock_guard lock(mx_);
    double t = tickAt(time_->now());
    return t <= 0 ? 0u : uint32_t(std::min(t, 4294967295.0));
}

void SyncClock::attach(const std::shared_ptr<MidiOutput>& out) {
    std::lock_guard lock(mx_);
    outputs_.push_back(out);
}

void SyncClock::detach(const MidiOutput* out) {
    std::lock_guard lock(mx_);
    std::erase_if(outputs_, [&](const std::weak_ptr<MidiOutput>& w) {
        auto o = w.lock();
        return !o || o.get() == out;
    });
}

bool SyncClock::due(uint64_t tick, std::optional<MediaTime>& when) {
    std::lock_guard lock(mx_);
    if (quit_) return true;  // the clock was closed: what waited for it goes out
    if (state_ != State::Running) return false;
    auto t = timeOf(double(tick));
    when = t;
    return t <= time_->now() + time_->lead();
}

SteadyClock::time_point SyncClock::wakeTime(MediaTime t) const {
    // The two clocks disagree a little: a moment expected already but not
    // yet come is looked at again shortly, not in a busy loop.
    return std::max(time_->expected(t - time_->lead()), SteadyClock::now() + kRecheck);
}

void SyncClock::poke() {
    {
        std::lock_guard lock(mx_);
        poked_ = true;
    }
    cv_.notify_all();
}

bool SyncClock::checkDone(bool& held) {
    std::vector<std::shared_ptr<MidiOutput>> outs;
    {
        std::lock_guard lock(mx_);
        if (state_ != State::Running) return false;
        outs = liveOutputs(outputs_);
    }
    bool any = false;
    for (auto& o : outs) {
        bool drained = false, activity = false;
        o->runState(drained, activity, held);
        if (!drained) return false;
        any = any || activity;
    }
    if (!any) return false;  // nothing was played: no run done, so a loop cannot spin
    for (auto& o : outs) o->clearActivity();
    return true;
}

void preferRealTime() {
    sched_param param{};
    param.sched_priority = std::max(1, sched_get_priority_min(SCHED_FIFO) + 10);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

void SyncClock::thread() {
    preferRealTime();

    std::unique_lock lk(mx_);
    std::optional<SteadyClock::time_point> checkAt;
    while (!quit_) {
        uint64_t gen = generation_;
        auto now = SteadyClock::now();
        std::optional<MediaTime> beatAt;
        if (state_ == State::Running) beatAt = timeOf(double(nextBeat_) * double(resolution_));
        if (beatAt && *beatAt <= time_->now()) {
            ++nextBeat_;
            lk.unlock();
            notifier_.post(MIDIKIT_MSG_SYNC_BEAT);
            lk.lock();
            continue;
        }
        if (poked_) {
            // Let a burst of puts from the editor settle before deciding
            // that a run is over.
            poked_ = false;
            checkAt = now + kSettle;
        }
        if (checkAt && *checkAt <= now) {
            checkAt.reset();
            lk.unlock();
            bool held = false;
            bool done = checkDone(held);
            if (done) notifier_.post(MIDIKIT_MSG_SYNC_DONE);
            lk.lock();
            // Nothing tells when a backend has sent what it held (a server
            // running late): looked at again a while later.
            if (held) checkAt = SteadyClock::now() + std::max<SteadyClock::duration>(time_->lead(), kSettle);
            continue;
        }
        std::optional<SteadyClock::time_point> deadline;
        if (beatAt) deadline = wakeTime(*beatAt);
        if (checkAt && (!deadline || *checkAt < *deadline)) deadline = checkAt;
        auto changed = [&] { return quit_ || poked_ || generation_ != gen; };
        if (deadline)
            cv_.wait_until(lk, *deadline, changed);
        else
            cv_.wait(lk, changed);
    }
}

void SyncClock::shutdown(bool) {
    notifier_.close();
    {
        std::lock_guard lock(mx_);
        quit_ = true;
        state_ = State::Stopped;
    }
    cv_.notify_all();
    wakeOutputs();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

}  // namespace morvelant::driver
