// Thru on the process cycle: see CycleThru.h for who runs what.
#include "driver/CycleThru.h"
#include "driver/MidiBytes.h"

#include <algorithm>
#include <cstring>

namespace morvelant::driver {

// ---------------------------------------------------------------- sink

// Room for the longest message passed whole and a period's worth of others
// behind it.
ThruSink::ThruSink() : ring_(jack_ringbuffer_create(kThruMaxSysex + (size_t(1) << 16))) {}

ThruSink::~ThruSink() {
    if (ring_) jack_ringbuffer_free(ring_);
}

bool ThruSink::push(const uint8_t* data, size_t size, jack_nframes_t frame, uint32_t server) {
    const Record r{frame, uint32_t(size), server};
    if (!ring_ || jack_ringbuffer_write_space(ring_) < sizeof r + size) return false;
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&r), sizeof r);
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(data), size);
    return true;
}

bool ThruSink::peek(Head& head, uint32_t server) {
    if (!ring_ || longLeft_ > 0) return false;
    Record r;
    while (jack_ringbuffer_read_space(ring_) >= sizeof r) {
        jack_ringbuffer_peek(ring_, reinterpret_cast<char*>(&r), sizeof r);
        // Passed on a server that went: its frames mean nothing here.
        if (r.server != server) {
            jack_ringbuffer_read_advance(ring_, sizeof r + r.size);
            continue;
        }
        head = {r.frame, r.size};
        return true;
    }
    return false;
}

void ThruSink::take(uint8_t* to, size_t size) {
    jack_ringbuffer_read_advance(ring_, sizeof(Record));
    jack_ringbuffer_read(ring_, reinterpret_cast<char*>(to), size);
}

void ThruSink::beginLong(uint32_t size) {
    jack_ringbuffer_read_advance(ring_, sizeof(Record));
    longLeft_ = size;
}

void ThruSink::readLong(uint8_t* to, size_t size) {
    jack_ringbuffer_read(ring_, reinterpret_cast<char*>(to), size);
    longLeft_ -= size;
}

bool ThruSink::holding() const { return ring_ && (longLeft_ > 0 || jack_ringbuffer_read_space(ring_) > 0); }

// ---------------------------------------------------------------- source

// Not zeroed: the pages are taken when a long message first needs them.
ThruSource::ThruSource() : gathered_(new uint8_t[kThruMaxSysex]) {}
ThruSource::~ThruSource() = default;

void ThruSource::follow(const CycleGate& gate) {
    seen_ = gate.look(route_);
    const uint64_t serial = seen_ ? seen_->serial : 0;
    if (serial == seenSerial_) return;
    seenSerial_ = serial;
    // Gathered under the route before: it never reaches any output, nor
    // does the rest of it.
    abandon();
}

void ThruSource::cut() {
    inSysex_ = false;
    abandon();
}

void ThruSource::gather(uint8_t b) {
    if (!gathering_) return;
    if (used_ == kThruMaxSysex) {
        abandon();
        runaway.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    gathered_[used_++] = b;
}

void ThruSource::passWhole(const uint8_t* data, size_t size, jack_nframes_t frame, uint32_t server) {
    for (const auto& out : seen_->outputs)
        if (out->live.load(std::memory_order_acquire) && !out->push(data, size, frame, server))
            dropped.fetch_add(1, std::memory_order_relaxed);
}

bool ThruSource::take(const uint8_t* data, size_t size, jack_nframes_t frame, uint32_t server, uint32_t& version) {
    version = seen_ ? seen_->version : 0;
    const uint32_t kinds = seen_ && !seen_->outputs.empty() ? seen_->kinds : 0;
    // An event normally holds one message; one that holds more is passed a
    // message at a time, each by its kind.
    bool passed = false;
    for (size_t at = 0; at < size;) at += takeOne(data + at, size - at, frame, server, kinds, passed);
    return passed;
}

size_t ThruSource::takeOne(const uint8_t* data, size_t size, jack_nframes_t frame, uint32_t server, uint32_t kinds,
                           bool& passed) {
    const uint8_t first = data[0];
    // Real time: a message of its own, also between the bytes of a
    // system-exclusive message. Active sensing belongs to one connection
    // and is never passed.
    if (first >= 0xF8) {
        if (first != 0xFE && (kinds & MIDIKIT_THRU_OTHER)) {
            passWhole(data, 1, frame, server);
            passed = true;
        }
        return 1;
    }
    if (first == 0xF0 || (inSysex_ && (first < 0x80 || first == 0xF7))) {
        if (first == 0xF0) {
            // One that had no end is dropped: the status byte ends it.
            inSysex_ = true;
            gathering_ = (kinds & MIDIKIT_THRU_SYSEX) != 0;
            used_ = 0;
        }
        passed = passed || gathering_;
        size_t i = 0;
        for (; i < size && inSysex_; ++i) {
            const uint8_t b = data[i];
            if (b >= 0xF8) {
                takeOne(&data[i], 1, frame, server, kinds, passed);
                continue;
            }
            if (b >= 0x80 && b != 0xF7 && i > 0) {
                // A status byte ends the message unfinished, and starts the next.
                cut();
                return i;
            }
            gather(b);
            if (b == 0xF7) {
                inSysex_ = false;
                if (gathering_) passWhole(gathered_.get(), used_, frame, server);
                gathering_ = false;
            }
        }
        return i;
    }
    // Data bytes that belong to no message are stray, up to the next status.
    size_t end = 1;
    while (end < size && data[end] < 0x80) ++end;
    if (first < 0x80 || first == 0xF7) return end;
    // A status byte ends a message under way unfinished.
    if (inSysex_) cut();
    // A message cut short by the next status byte is dropped, as the
    // editor's own reading drops it.
    const int length = messageLength(first);
    if (length == 0 || end < size_t(length)) return end;
    const uint32_t kind = first < 0xF0 ? MIDIKIT_THRU_CHANNEL : MIDIKIT_THRU_OTHER;
    if (kinds & kind) {
        passWhole(data, size_t(length), frame, server);
        passed = true;
    }
    return size_t(length);
}

// ---------------------------------------------------------------- routes

ThruRoutes::~ThruRoutes() = default;

void ThruRoutes::offer(ThruSource& source, uint32_t version, uint32_t kinds,
                       std::vector<std::shared_ptr<ThruSink>> outputs) {
    if (kinds == 0) outputs.clear();
    if (outputs.empty()) kinds = 0;
    std::lock_guard lock(mx_);
    const ThruRoute* now = source.offered();
    // The same route under a new name: the message under way goes on.
    if (now && now->sameAs(kinds, outputs)) return;
    auto route = std::make_unique<ThruRoute>();
    route->serial = ++serial_;
    route->version = version;
    route->kinds = kinds;
    route->outputs = std::move(outputs);
    source.offer(route.get());
    current_.push_back(std::move(route));
    if (now) retire(now);
}

void ThruRoutes::forget(ThruSource& source) {
    std::lock_guard lock(mx_);
    const ThruRoute* now = source.offered();
    source.offer(nullptr);
    if (now) retire(now);
}

void ThruRoutes::retire(const ThruRoute* route) {
    // Those no cycle can read any more go now.
    const uint64_t cycles = gate_.cycles();
    std::erase_if(retired_, [&](const Retired& r) { return r.endsAt <= cycles; });
    auto it = std::find_if(current_.begin(), current_.end(), [&](const auto& r) { return r.get() == route; });
    if (it == current_.end()) return;
    // A cycle that began before the swap may still read it, and a source
    // keeps the route it took until its next cycle begins: two cycles on.
    const uint64_t ends = gate_.mustEnd();
    retired_.push_back({std::move(*it), std::max(ends, cycles + 1) + 1});
    current_.erase(it);
}

}  // namespace morvelant::driver
