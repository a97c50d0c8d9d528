// Input ports: received messages become MidiEvents in a growing queue.
//
// Event times are milliseconds: the first event after StartMidiIn carries the
// time since the start, every later one the time since the previous event
// (the bytes of one system-exclusive message after the first carry 0), so the
// sum of the times is the arrival time since the start.
#include "driver/DriverInternal.h"

#include <algorithm>
#include <cstdio>

namespace morvelant::driver {

MidiInput::MidiInput() : Object(Kind::Input) {}

MidiInput::~MidiInput() { shutdown(false); }

bool MidiInput::open(Backend& backend, const std::string& raw, const MidiKitNotifyTarget* notify) {
    notifier_.set(notify);
    // The callback keeps the input alive while it runs, so that a notify
    // target may close the input from inside its notification.
    std::weak_ptr<MidiInput> weak = std::static_pointer_cast<MidiInput>(shared_from_this());
    link_ = backend.openInput(raw, [weak](const uint8_t* data, size_t size, SteadyClock::time_point at,
                                          MediaTime moment, uint32_t thru) {
        if (auto self = weak.lock()) {
            self->delivering_.store(std::this_thread::get_id());
            self->receive(data, size, at, moment, thru);
            self->delivering_.store(std::thread::id());
        }
    });
    return link_ != nullptr;
}

void MidiInput::start() {
    std::lock_guard lock(mx_);
    if (started_) return;
    started_ = true;
    inSysex_ = false;
    startTime_ = SteadyClock::now();
    lastMs_ = 0;
}

void MidiInput::stop() {
    std::lock_guard lock(mx_);
    started_ = false;
    inSysex_ = false;
}

MidiEvent* MidiInput::next() {
    std::lock_guard lock(mx_);
    if (queue_.empty()) {
        // Drained: the next event is worth a new notification.
        notified_ = false;
        return nullptr;
    }
    current_ = queue_.front().event;
    currentMoment_ = queue_.front().moment;
    currentThru_ = queue_.front().thru;
    queue_.pop_front();
    return &current_;
}

MediaTime MidiInput::moment() {
    std::lock_guard lock(mx_);
    return currentMoment_;
}

void MidiInput::shutdown(bool) {
    notifier_.close();
    if (delivering_.load() == std::this_thread::get_id() && link_) {
        // Closed from inside its own delivery: the backend cannot close the
        // port on its own delivery thread, so another thread does it.
        std::thread([link = std::move(link_)]() mutable { link.reset(); }).detach();
    }
    link_.reset();  // no callback runs after this
    std::lock_guard lock(mx_);
    started_ = false;
    queue_.clear();
}

uint32_t MidiInput::thruStamp() {
    std::lock_guard lock(mx_);
    return currentThru_;
}

void MidiInput::setThru(uint32_t version, uint32_t kinds, std::vector<std::weak_ptr<MidiOutput>> outputs) {
    if (outputs.empty()) kinds = 0;
    // A backend with a cycle of its own passes thru there.
    std::vector<std::shared_ptr<ThruSink>> sinks;
    bool onCycle = true;
    for (const auto& weak : outputs)
        if (auto out = weak.lock()) {
            if (auto sink = out->thruSink())
                sinks.push_back(std::move(sink));
            else
                onCycle = false;
        }
    if (onCycle && link_) onCycle = link_->setThru(version, kinds, std::move(sinks));
    std::vector<std::shared_ptr<MidiOutput>> reached;
    {
        std::lock_guard lock(mx_);
        const auto same = [](const std::vector<std::weak_ptr<MidiOutput>>& a,
                             const std::vector<std::weak_ptr<MidiOutput>>& b) {
            return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
                return !x.owner_before(y) && !y.owner_before(x);
            });
        };
        // A route that changes ends the message under way on every output
        // it reached: nothing of it goes, nor the rest of it.
        if (!onCycle && inSysex_ && (kinds != thruKinds_ || !same(outputs, thruOutputs_))) {
            thruSkip_ = true;
            for (const auto& weak : thruOutputs_)
                if (auto out = weak.lock()) reached.push_back(std::move(out));
        }
        thruVersion_ = version;
        thruKinds_ = onCycle ? 0 : kinds;
        thruOutputs_ = std::move(outputs);
    }
    for (const auto& out : reached) out->endThru(weak_from_this());
}

void MidiInput::push(const MidiEvent& e, MediaTime moment, uint32_t stamp) {
    // Once the queue was full, the message it cut is dropped to its end:
    // the program never gets a message with its middle missing.
    // A real-time byte between a message's bytes belongs to no message:
    // it neither ends the dropping nor starts it.
    const bool continuation = e.status == 0xF0 && e.data1 != 0xF0;
    const bool realTime = e.status >= 0xF8;
    if (dropping_ && continuation) return;
    const bool full = queue_.size() >= kMaxQueued;
    if (!realTime) dropping_ = full;
    if (!full) {
        queue_.push_back({e, moment, stamp});
        return;
    }
    if (!saidDropped_) {
        saidDropped_ = true;
        std::fprintf(stderr, "MidiKit32: an input received more than the program took in time; what came beyond "
                             "%zu events waiting was dropped\n", kMaxQueued);
    }
}

void MidiInput::receive(const uint8_t* data, size_t size, SteadyClock::time_point at, MediaTime moment,
                        uint32_t thru) {
    bool notify = false;
    std::vector<MidiEvent> passing;
    std::vector<std::shared_ptr<MidiOutput>> outputs;
    {
        std::lock_guard lock(mx_);
        if (size == 0) {
            // The source went: its unfinished message stays unfinished, and
            // the data bytes of whatever comes next are stray.
            inSysex_ = false;
            thruSkip_ = false;
            return;
        }
        if (!data || !started_) return;
        // A backend that stamps with the frame time may stamp a moment just
        // before the start.
        const auto since = std::max(at - startTime_, SteadyClock::duration::zero());
        uint64_t ms = uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
        uint32_t delta = uint32_t(ms >= lastMs_ ? ms - lastMs_ : 0);
        lastMs_ = ms;
        size_t before = queue_.size();
        // Thru the input passes itself leaves here, before the program
        // sees the message, whatever the program is busy with; a backend
        // that passed it on its cycle says how.
        const bool decided = thru != kThruNotDecided;
        const uint32_t kinds = decided ? 0 : thruKinds_;
        splitMidiBytes(data, size, inSysex_, delta, [&](const MidiEvent& e) {
            const uint32_t kind = e.status < 0xF0 ? MIDIKIT_THRU_CHANNEL
                : e.status == 0xF0                ? MIDIKIT_THRU_SYSEX
                                                  : MIDIKIT_THRU_OTHER;
            if (e.status == 0xF0 && e.data1 == 0xF0) thruSkip_ = false;  // a new message
            const bool pass = (kinds & kind) != 0 && e.status != 0xFE && !(e.status == 0xF0 && thruSkip_);
            if (pass) passing.push_back(e);
            push(e, moment, decided ? thru : (thruVersion_ << 1) | uint32_t(pass));
        });
        if (!passing.empty())
            for (const auto& weak : thruOutputs_)
                if (auto out = weak.lock()) outputs.push_back(std::move(out));
        if (queue_.size() > before && !notified_) {
            notified_ = true;
            notify = true;
        }
    }
    for (const auto& out : outputs) out->putThru(passing, moment, weak_from_this());
    if (notify) notifier_.post(MIDIKIT_MSG_INPUT_DATA);
}

}  // namespace morvelant::driver
