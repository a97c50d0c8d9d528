// Thru decided on JACK's process cycle: what comes in on an input in a cycle
// goes out on the outputs its route names in that same cycle, at its own
// offset, as a direct connection would pass it (where the server runs our
// client before the receiver; else in the receiver's next cycle, as with a
// direct connection too).
//
// ---- The threads and their rules
//
// The process callback (JACK's real-time thread) alone runs ThruSource::take,
// ThruSource::cut, ThruSource::follow and everything of ThruSink but its
// construction and `live`. It allocates nothing, takes no lock, makes no
// system call and waits on nothing: every buffer it uses was made when the
// port opened, and a message that finds no room is dropped and counted
// (said on stderr by the reader's thread), never waited for.
//
// The program's threads (the GUI's, through SetMidiInThru) hand a source a
// new route: made whole on their side, then swapped in with one store
// (ThruSource::offer). The cycle takes the route at the start of its next
// cycle and uses it for the whole cycle, so a route is never read half
// changed. A route replaced is kept until the cycle that may still read it
// has ended (ThruRoutes), then freed on the program's side.
//
// A route that changes while one of the source's system-exclusive messages
// is under way ends that message unfinished on every output: it was gathered
// whole in the source and never reaches any output, and the rest of it,
// whatever the new route says, is dropped up to the next message. A source
// that loses its connection (a cut) ends its message the same way. So no
// output ever passes one message's head joined to another's tail.
//
// An output's thru waits in its sink's ring for the period it came in. A
// message longer than one piece goes out in pieces (receivers join them);
// when the period's buffer cannot take all of it, the rest goes on in the
// next periods, before anything that came after it.
#ifndef MIDIKIT_DRIVER_CYCLETHRU_H
#define MIDIKIT_DRIVER_CYCLETHRU_H

#include "driver/CycleGate.h"
#include "driver/MidiKit32.h"

#include <jack/ringbuffer.h>
#include <jack/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace morvelant::driver {

// A long message goes in pieces of this size; receivers join them. One
// piece always fits into one period's port buffer.
inline constexpr size_t kThruPiece = 4096;
// A system-exclusive message with no end within this many bytes is dropped.
inline constexpr size_t kThruMaxSysex = size_t(1) << 20;

// What the cycle passes to one output: filled by the inputs' part of a
// cycle, emptied into the port's buffer by the output's part of the same
// cycle (and the next ones, for what did not fit).
class ThruSink {
public:
    ThruSink();
    ~ThruSink();
    ThruSink(const ThruSink&) = delete;
    ThruSink& operator=(const ThruSink&) = delete;

    // Set on the program's side: the output takes thru (it is open and its
    // port is in the cycle's view).
    std::atomic<bool> live{false};

    // ---- the process callback

    // Queues a whole message that came in at `frame` of the server counted
    // `server`; false (and nothing queued) when there is no room.
    bool push(const uint8_t* data, size_t size, jack_nframes_t frame, uint32_t server);
    // The next message waiting, without taking it: false when none. A
    // message of another server is dropped here.
    struct Head {
        jack_nframes_t frame;
        uint32_t size;
    };
    bool peek(Head& head, uint32_t server);
    // Takes the message peek() showed into `to` (size bytes), or the next
    // `size` bytes of a message taken in pieces (see beginLong/readLong).
    void take(uint8_t* to, size_t size);
    // A long message is written straight from the ring, piece by piece: its
    // head is taken off, and `longLeft` counts what is still to be written.
    void beginLong(uint32_t size);
    size_t longLeft() const { return longLeft_; }
    void readLong(uint8_t* to, size_t size);
    bool holding() const;

private:
    struct Record {
        jack_nframes_t frame;
        uint32_t size;
        uint32_t server;
    };
    jack_ringbuffer_t* ring_;
    size_t longLeft_ = 0;
};

// An input's route: the kinds of messages it passes (MIDIKIT_THRU_*) and the
// outputs it passes them to. Never changed once offered.
struct ThruRoute {
    uint64_t serial = 0;  // new for every route offered: a route freed may leave its address to the next
    uint32_t version = 0;  // the program's name for this setting
    uint32_t kinds = 0;
    std::vector<std::shared_ptr<ThruSink>> outputs;
    bool sameAs(uint32_t k, const std::vector<std::shared_ptr<ThruSink>>& o) const {
        return kinds == k && outputs == o;
    }
};

// An input's side: parses what comes in, passes what its route says, and
// gathers its system-exclusive messages whole before passing them.
class ThruSource {
public:
    ThruSource();
    ~ThruSource();
    ThruSource(const ThruSource&) = delete;
    ThruSource& operator=(const ThruSource&) = delete;

    // ---- the program's side (under ThruRoutes' lock)
    const ThruRoute* offered() const { return route_.load(std::memory_order_seq_cst); }
    void offer(const ThruRoute* route) { route_.store(route, std::memory_order_seq_cst); }

    // ---- the process callback

    // At the start of each cycle: takes the route offered since the last
    // one; a change ends a message under way.
    void follow(const CycleGate& gate);
    // The source went (a connection, the peer, the server): a message under
    // way ends unfinished.
    void cut();
    // One message (or piece of one) that came in at `frame`; true when it is
    // passed (a system-exclusive piece: when its message is being gathered
    // for the outputs). `version` is the route's, 0 before any.
    bool take(const uint8_t* data, size_t size, jack_nframes_t frame, uint32_t server, uint32_t& version);
    // What it could not pass (no room in an output, a message with no end
    // within kThruMaxSysex), counted for the reader's thread to say.
    std::atomic<uint32_t> dropped{0};
    std::atomic<uint32_t> runaway{0};

private:
    // One message of an event (or the part of a system-exclusive message it
    // holds): the bytes it took.
    size_t takeOne(const uint8_t* data, size_t size, jack_nframes_t frame, uint32_t server, uint32_t kinds,
                   bool& passed);
    void passWhole(const uint8_t* data, size_t size, jack_nframes_t frame, uint32_t server);
    void abandon() { gathering_ = false; }
    void gather(uint8_t b);

    std::atomic<const ThruRoute*> route_{nullptr};
    // The cycle's own.
    const ThruRoute* seen_ = nullptr;
    uint64_t seenSerial_ = 0;
    bool inSysex_ = false;  // a system-exclusive message is under way
    bool gathering_ = false;  // ... and is gathered for the outputs
    std::unique_ptr<uint8_t[]> gathered_;  // kThruMaxSysex bytes
    size_t used_ = 0;
};

// The routes offered to the sources of one session, and those replaced,
// kept until no cycle can read them any more.
class ThruRoutes {
public:
    explicit ThruRoutes(const CycleGate& gate) : gate_(gate) {}
    ~ThruRoutes();
    // Offers `source` a route (kinds 0 or no outputs: none); one the same as
    // the source has already is left in place, so that a message under way
    // goes on. Never waits for a cycle.
    void offer(ThruSource& source, uint32_t version, uint32_t kinds, std::vector<std::shared_ptr<ThruSink>> outputs);
    // The source is going: its route is taken away (the caller hides the
    // source from the cycle first).
    void forget(ThruSource& source);

private:
    void retire(const ThruRoute* route);  // under mx_
    const CycleGate& gate_;
    std::mutex mx_;
    uint64_t serial_ = 0;
    struct Retired {
        std::unique_ptr<const ThruRoute> route;
        uint64_t endsAt;  // the cycle count by which no cycle reads it
    };
    std::vector<Retired> retired_;
    std::vector<std::unique_ptr<const ThruRoute>> current_;
};

}  // namespace morvelant::driver

#endif
