// One port's share of JACK's process cycle: see JackPort.h.
#include "driver/JackPort.h"
#include "driver/UnseenByThreadSanitizer.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cstring>

namespace morvelant::driver::jackport {

// Puts a cut into the input's ring ahead of what comes next: the sources
// it lost since the last cycle, or a message the ring had no room for
// (what came after it must not complete what came before). False while
// the ring has no room for it either.
bool takeCut(Slot& s, bool& received) {
    const uint32_t cuts = s.cuts.load(std::memory_order_relaxed);
    if (cuts == s.cutsTaken && !s.lost) return true;
    const Record r{0, 0, 0, 0, 0};
    if (jack_ringbuffer_write_space(s.ring) < sizeof r) return false;
    jack_ringbuffer_write(s.ring, reinterpret_cast<const char*>(&r), sizeof r);
    s.cutsTaken = cuts;
    s.lost = false;
    received = true;
    return true;
}

// Passes each message thru, then queues it for the reader with its thru
// stamp; true when it woke anything for the reader. What the reader's
// ring has no room for is lost to the program only, never to thru.
bool takeInput(jack_client_t* c, Slot& s, void* buffer, jack_nframes_t start, uint32_t server) {
    bool any = false;
    const uint32_t n = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < n; ++i) {
        jack_midi_event_t ev;
        if (jack_midi_event_get(&ev, buffer, i) != 0 || ev.size == 0) continue;
        uint32_t version = 0;
        const bool passed = s.thru->take(ev.buffer, ev.size, start + ev.time, server, version);
        const Record r{int64_t(jack_frames_to_time(c, start + ev.time)), uint32_t(ev.size), start + ev.time, 0,
                       (version << 1) | uint32_t(passed)};
        if (!takeCut(s, any) || jack_ringbuffer_write_space(s.ring) < sizeof r + ev.size) {
            s.lost = true;
            continue;
        }
        jack_ringbuffer_write(s.ring, reinterpret_cast<const char*>(&r), sizeof r);
        jack_ringbuffer_write(s.ring, reinterpret_cast<const char*>(ev.buffer), ev.size);
        any = true;
    }
    if (s.thru->dropped.load(std::memory_order_relaxed) || s.thru->runaway.load(std::memory_order_relaxed))
        any = true;  // the reader says so
    takeCut(s, any);
    return any;
}

// A message due at frame f goes out at f plus one period:
// what fell due during the last period is written into this one, each
// at its own offset. Thru decided on this cycle goes at its offset in
// this same period. Messages passed thru take their places by those
// offsets whatever order they were handed over in; the
// program's own keep their order, each no earlier than the one before
// (a score started again may hand over a note due before the last of
// the run before); messages at the same offset keep their order, so the
// pieces of a long message stay together. What falls due later waits
// for its period. A timed
// message whose frame is of another server (timed, or passed thru, before
// the server went, or while none ran) goes nowhere: its frame says
// nothing of when it is due on this server, where it would hold up
// every message behind it, for as long as the frames differ, and then
// go out with all of them at once. A message of the timed path of a run
// that was flushed goes nowhere either: a server running late holds the
// score's next notes here, which must not sound after the stop. A run
// begun after this period read the run (a flush in the middle of the
// cycle) is the new one, and goes.
void writeOutput(Slot& s, void* buffer, jack_nframes_t start, jack_nframes_t nframes, uint64_t cycle, uint32_t server) {
    jack_midi_clear_buffer(buffer);
    ThruSink& thru = *s.sink;
    size_t count = s.carried.load(std::memory_order_relaxed);  // written on this thread only
    // Told before the ring is read: whoever sees it emptied sees this.
    if (jack_ringbuffer_read_space(s.ring) > 0 || count > 0 || thru.holding()) s.lastWritten.store(cycle);
    Bytes& bytes = s.dueBytes[s.dueSide];
    size_t used = s.dueUsed;
    int32_t own = 0;  // where the program's own last message goes
    const uint32_t run = s.run.load(std::memory_order_acquire);
    Record r;
    while (count < s.due.size() && jack_ringbuffer_read_space(s.ring) >= sizeof r) {
        jack_ringbuffer_peek(s.ring, reinterpret_cast<char*>(&r), sizeof r);
        if (jack_ringbuffer_read_space(s.ring) < sizeof r + r.size) break;
        if ((r.usec != 0 && r.server != server) || (r.run != 0 && int32_t(r.run - run) < 0)) {
            jack_ringbuffer_read_advance(s.ring, sizeof r + r.size);
            continue;
        }
        const int32_t offset = r.usec == 0 ? 0 : int32_t(r.frame + nframes - start);
        if (offset >= int32_t(nframes)) break;  // due in a later period
        if (used + r.size > bytes.size()) break;
        jack_ringbuffer_read_advance(s.ring, sizeof r);
        jack_ringbuffer_read(s.ring, reinterpret_cast<char*>(bytes.data() + used), r.size);
        // One handed over too late goes at once.
        int32_t at = std::max(offset, 0);
        if (r.usec != kPassedThru) at = own = std::max(at, own);
        s.due[count] = {at, uint32_t(count), uint32_t(used), r.size};
        ++count;
        used += r.size;
    }
    // This cycle's thru (and what an earlier one could not write),
    // while no long message of it is still under way.
    ThruSink::Head head;
    while (count < s.due.size() && thru.peek(head, server)) {
        const int32_t at = std::max(int32_t(head.frame - start), 0);
        if (head.size > kPiece) {
            // Written piece by piece from the sink; nothing of the sink
            // behind it is read before it has gone.
            thru.beginLong(head.size);
            s.due[count] = {at, uint32_t(count), Slot::kLong, head.size};
            ++count;
            break;
        }
        if (used + head.size > bytes.size()) break;
        thru.take(bytes.data() + used, head.size);
        s.due[count] = {at, uint32_t(count), uint32_t(used), head.size};
        ++count;
        used += head.size;
    }
    const auto first = s.due.begin(), end = first + std::ptrdiff_t(count);
    std::sort(first, end, [](const Slot::Due& a, const Slot::Due& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.seq < b.seq;
    });
    jack_nframes_t last = 0;
    size_t i = 0;
    for (; i < count; ++i) {
        const Slot::Due& d = s.due[i];
        const jack_nframes_t at = std::max(last, jack_nframes_t(d.offset));
        if (d.pos == Slot::kLong) {
            while (thru.longLeft() > 0) {
                const size_t n = std::min(kPiece, thru.longLeft());
                jack_midi_data_t* room = jack_midi_event_reserve(buffer, at, n);
                if (!room) break;
                thru.readLong(room, n);
            }
            last = at;
            if (thru.longLeft() > 0) break;  // the rest of it, and all after it, next period
            continue;
        }
        jack_midi_data_t* room = jack_midi_event_reserve(buffer, at, d.size);
        if (!room) break;  // the period's buffer is full
        {
            // Into the port's buffer, which libjack hands to the readers
            // under an ordering the thread sanitizer cannot see.
            UnseenByThreadSanitizer unseen;
            std::memcpy(room, bytes.data() + d.pos, d.size);
        }
        last = at;
    }
    // What the buffer could not take leads the next period, in order.
    Bytes& other = s.dueBytes[1 - s.dueSide];
    size_t kept = 0, keptBytes = 0;
    for (; i < count; ++i) {
        const Slot::Due d = s.due[i];
        if (d.pos == Slot::kLong) {
            s.due[kept] = {0, uint32_t(kept), Slot::kLong, d.size};
            ++kept;
            continue;
        }
        std::memcpy(other.data() + keptBytes, bytes.data() + d.pos, d.size);
        s.due[kept] = {0, uint32_t(kept), uint32_t(keptBytes), d.size};
        ++kept;
        keptBytes += d.size;
    }
    s.dueSide = 1 - s.dueSide;
    s.dueUsed = keptBytes;
    s.carried.store(kept, std::memory_order_relaxed);
}

}  // namespace morvelant::driver::jackport
