// Output ports: two paths into one sending thread per port.
//
// The immediate path takes events with time 0xFFFFFFFF and the bytes of a
// system-exclusive message whose 0xF0 byte comes with time 0 (dumps). It is
// never refused and goes out as soon as possible, even while a score fills
// the timed path or the clock stands still. Its system-exclusive bytes are
// gathered and go out as one message when the 0xF7 byte arrives. Events
// passed thru from an input take this path too, each message carrying the
// moment it came in: a backend that writes by time (JACK) keeps their gaps,
// one period later, instead of sending all of a period's together. Each
// input's system-exclusive bytes are gathered apart from every other
// input's and from the program's own, since the messages of two sources
// reach one output interleaved, byte by byte; channel and real-time
// messages go on at once, in the order they come.
//
// The timed path holds the score's events with delta times in ticks of the
// attached sync clock. An event with delta 0 goes out as soon as it reaches
// the head of the queue (it is due together with its predecessor; with an
// empty queue it takes the immediate path); a positive delta waits for the
// clock. An output without a clock sends everything in order at once. The queue takes kTimedCapacity events with positive deltas; when it
// is full PutMidiOut refuses (non-zero) and, once the queue has drained below
// kLowWater, the port notifies "buffer ready" one time.
#include "driver/DriverInternal.h"

#include <algorithm>
#include <cstdio>

namespace morvelant::driver {

MidiOutput::MidiOutput() : Object(Kind::Output) {}

MidiOutput::~MidiOutput() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();  // the sending thread let go of the last reference
        else {
            {
                std::lock_guard lock(mx_);
                abandon_ = true;
                ++wakeups_;
            }
            cv_.notify_all();
            thread_.join();
        }
    }
}

bool MidiOutput::open(Backend& backend, const std::string& raw, const MidiKitNotifyTarget* notify,
                      std::shared_ptr<SyncClock> sync) {
    notifier_.set(notify);
    link_ = backend.openOutput(raw);
    if (!link_) return false;
    thruSink_ = link_->thruSink();
    sync_ = sync;
    if (sync) sync->attach(shared_from_this());
    thread_ = std::thread([self = shared_from_this()] {
        try {
            self->worker();
        } catch (...) {}
        {
            std::lock_guard lock(self->doneMx_);
            self->finished_ = true;
        }
        self->doneCv_.notify_all();
    });
    return true;
}

// One message more than kMaxSysex bytes long without its end is dropped:
// a source that never ends its message cannot take the memory.
static void sayRunawayDropped() {
    std::fprintf(stderr, "MidiKit32: a system-exclusive message had no end within %zu bytes; it was dropped\n",
                 MidiOutput::kMaxSysex);
}

// The same source, whether it is still there or not.
static bool sameSource(const std::weak_ptr<const Object>& a, const std::weak_ptr<const Object>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

void MidiOutput::putImmediate(const MidiEvent& e, MediaTime due, const std::weak_ptr<const Object>& source) {
    if (e.status == 0xF0) {
        auto it = std::find_if(gathering_.begin(), gathering_.end(),
                               [&](const Gathering& g) { return sameSource(g.source, source); });
        const uint8_t b = e.data1;
        if (b == 0xF0) {
            if (it == gathering_.end()) {
                // The unfinished messages of inputs closed since go with them.
                std::erase_if(gathering_, [](const Gathering& g) { return g.passedThru && g.source.expired(); });
                it = gathering_.insert(gathering_.end(), Gathering{source, bool(source.lock()), {}});
            }
            it->bytes.assign(1, 0xF0);
        } else if (it != gathering_.end()) {
            it->bytes.push_back(b);
            if (b == 0xF7) {
                immediate_.push_back({std::move(it->bytes), due});
                gathering_.erase(it);
            } else if (it->bytes.size() > kMaxSysex) {
                gathering_.erase(it);
                sayRunawayDropped();
            }
        }
        return;
    }
    int len = messageLength(e.status);
    if (len == 0) return;
    Bytes m{e.status};
    if (len >= 2) m.push_back(e.data1);
    if (len >= 3) m.push_back(e.data2);
    immediate_.push_back({std::move(m), due});
}

uint16_t MidiOutput::put(const MidiEvent& e) {
    {
        std::lock_guard lock(mx_);
        if (quit_ || abandon_) return 2;
        notesOff_ = false;
        bool sysexByte = e.status == 0xF0;
        auto clock = sync_.lock();
        if (e.time == MIDIKIT_TIME_NOW || (sysexByte && e.time == 0 && !timedSysexOpen_) || !clock) {
            putImmediate(e);
        } else if (e.time == 0 && timed_.empty() && !workerInSysex_ && !timedSysexOpen_) {
            // Due at once and nothing waits before it: keeps its place among
            // the immediate events.
            putImmediate(e);
            activity_ = true;
        } else {
            if (e.time > 0 && timed_.size() >= kTimedCapacity) {
                refused_ = true;
                awaitingRefill_ = true;
                return 1;
            }
            // An event that is no MIDI message is queued all the same and
            // sends nothing: its delta still counts, so the events after it
            // keep their places in time.
            lastTick_ += e.time;
            timed_.push_back({lastTick_, e});
            activity_ = true;
            // Only an event with a delta can have been refused: taking one
            // means the score has caught up.
            if (e.time > 0) awaitingRefill_ = false;
            if (sysexByte && e.data1 == 0xF0)
                timedSysexOpen_ = true;
            else if (sysexByte && e.data1 == 0xF7)
                timedSysexOpen_ = false;
        }
        ++wakeups_;
    }
    cv_.notify_all();
    return 0;
}

uint16_t MidiOutput::putThru(const MidiEvent& e, MediaTime arrived, const std::weak_ptr<const Object>& from) {
    {
        std::lock_guard lock(mx_);
        if (quit_ || abandon_) return 2;
        notesOff_ = false;
        putImmediate(e, arrived, from);
        ++wakeups_;
    }
    cv_.notify_all();
    return 0;
}

void MidiOutput::endThru(const std::weak_ptr<const Object>& from) {
    std::lock_guard lock(mx_);
    std::erase_if(gathering_, [&](const Gathering& g) { return sameSource(g.source, from); });
}

void MidiOutput::putThru(const std::vector<MidiEvent>& events, MediaTime arrived,
                         const std::weak_ptr<const Object>& from) {
    {
        std::lock_guard lock(mx_);
        if (quit_ || abandon_) return;
        notesOff_ = false;
        for (const MidiEvent& e : events) putImmediate(e, arrived, from);
        ++wakeups_;
    }
    cv_.notify_all();
}

void MidiOutput::flushLocked() {
    timed_.clear();
    if (++run_ == 0) run_ = 1;
    if (link_) link_->beginRun(run_);
    lastTick_ = 0;
    timedSysexOpen_ = false;
    workerSysex_.clear();
    workerInSysex_ = false;
    gathering_.clear();
    refused_ = false;
    awaitingRefill_ = false;
    activity_ = false;
    ++wakeups_;
}

void MidiOutput::flush() {
    {
        std::lock_guard lock(mx_);
        flushLocked();
    }
    cv_.notify_all();
}

void MidiOutput::reset() {
    {
        std::lock_guard lock(mx_);
        flushLocked();
        notesOffLocked();
    }
    cv_.notify_all();
}

// All Notes Off on every channel, unless that is all that went out since the
// last time: a close right after a reset switches the notes off once.
void MidiOutput::notesOffLocked() {
    if (notesOff_) return;
    notesOff_ = true;
    for (uint8_t ch = 0; ch < 16; ++ch) immediate_.push_back({Bytes{uint8_t(0xB0 | ch), 123, 0}, kAtOnce});
}

void MidiOutput::wake() {
    {
        std::lock_guard lock(mx_);
        ++wakeups_;
    }
    cv_.notify_all();
}

void MidiOutput::runState(bool& drained, bool& activity, bool& held) {
    std::lock_guard lock(mx_);
    drained = timed_.empty() && immediate_.empty() && !sending_ && !awaitingRefill_;
    held = drained && link_ && link_->holding();
    drained = drained && !held;
    activity = activity_;
}

void MidiOutput::clearActivity() {
    std::lock_guard lock(mx_);
    activity_ = false;
}

void MidiOutput::restartTicks() {
    std::lock_guard lock(mx_);
    if (timed_.empty()) lastTick_ = 0;
}

void MidiOutput::sendMessage(const Bytes& message, MediaTime due, bool passedThru, std::optional<uint32_t> run) {
    if (!link_ || message.empty()) return;
    if (run)
        link_->sendTimed(message.data(), message.size(), due, *run);
    else
        link_->send(message.data(), message.size(), due, passedThru);
}

void MidiOutput::worker() {
    preferRealTime();
    std::unique_lock lk(mx_);
    for (;;) {
        if (abandon_) return;
        if (!immediate_.empty()) {
            std::deque<Immediate> batch;
            batch.swap(immediate_);
            sending_ = true;
            lk.unlock();
            for (const Immediate& m : batch) sendMessage(m.bytes, m.due, m.due != kAtOnce);
            lk.lock();
            sending_ = false;
            if (activity_ && immediate_.empty() && timed_.empty()) {
                if (auto clock = sync_.lock()) {
                    lk.unlock();
                    clock->poke();
                    lk.lock();
                }
            }
            continue;
        }
        if (quit_) return;
        uint64_t seen = wakeups_;
        std::optional<MediaTime> when;
        std::optional<SteadyClock::time_point> wakeAt;
        if (!timed_.empty()) {
            const Timed& head = timed_.front();
            auto clock = sync_.lock();
            bool isDue = head.event.time == 0 || !clock || clock->due(head.tick, when);
            if (isDue) {
                // Its moment: the clock's for a delta, its predecessor's for
                // an event due together with it.
                if (head.event.time != 0 || !clock) lastDue_ = clock ? when.value_or(kAtOnce) : kAtOnce;
                MidiEvent e = timed_.front().event;
                timed_.pop_front();
                Bytes message;
                if (e.status == 0xF0) {
                    if (e.data1 == 0xF0) {
                        workerSysex_.assign(1, 0xF0);
                        workerInSysex_ = true;
                    } else if (workerInSysex_) {
                        workerSysex_.push_back(e.data1);
                        if (e.data1 == 0xF7) {
                            message.swap(workerSysex_);
                            workerInSysex_ = false;
                        } else if (workerSysex_.size() > kMaxSysex) {
                            workerSysex_.clear();
                            workerInSysex_ = false;
                            sayRunawayDropped();
                        }
                    }
                } else if (int len = messageLength(e.status); len > 0) {
                    message.push_back(e.status);
                    if (len >= 2) message.push_back(e.data1);
                    if (len >= 3) message.push_back(e.data2);
                }
                bool ready = refused_ && timed_.size() < kLowWater;
                if (ready) refused_ = false;
                bool drained = timed_.empty();
                const uint32_t run = run_;
                sending_ = true;
                lk.unlock();
                sendMessage(message, lastDue_, false, run);
                if (ready) notifier_.post(MIDIKIT_MSG_BUFFER_READY);
                lk.lock();
                sending_ = false;
                if (drained && clock) {
                    lk.unlock();
                    clock->poke();
                    lk.lock();
                }
                continue;
            }
            if (when) wakeAt = clock->wakeTime(*when);
        }
        auto changed = [&] { return wakeups_ != seen || abandon_ || quit_ || !immediate_.empty(); };
        if (wakeAt)
            cv_.wait_until(lk, *wakeAt, changed);
        else
            cv_.wait(lk, changed);
    }
}

void MidiOutput::shutdown(bool orderly) {
    notifier_.close();
    {
        std::lock_guard lock(mx_);
        if (orderly) {
            // Reset first: the queue goes, the notes are switched off, and
            // what is on the immediate path still goes out.
            flushLocked();
            notesOffLocked();
            quit_ = true;
        } else {
            abandon_ = true;
        }
        ++wakeups_;
    }
    cv_.notify_all();
    if (auto clock = sync_.lock()) clock->detach(this);
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id())
        return;  // closed from its own notification; the thread ends by itself
    std::unique_lock lock(doneMx_);
    // A backend that hangs (a JACK server that went away) must not hang the
    // caller: after a while the sending thread is left to itself; it owns a
    // reference to this port and ends when the backend returns.
    if (doneCv_.wait_for(lock, std::chrono::seconds(2), [&] { return finished_; })) {
        lock.unlock();
        thread_.join();
        link_.reset();
    } else {
        lock.unlock();
        thread_.detach();
    }
}

}  // namespace morvelant::driver
