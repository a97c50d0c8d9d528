// One port's share of JACK's process cycle: an input's messages taken in
// (passed thru on the cycle, then queued for the reader), an output's
// period written (the program's own messages and this cycle's thru, each at
// its offset). The session (JackBackend.cpp) owns the slots and says when
// the cycle may see them.
//
// ---- The threads and their rules
//
// takeInput, takeCut and writeOutput run on JACK's real-time thread only,
// inside the process callback, for the slots it sees through the session's
// CycleGate. They allocate nothing, take no lock, make no system call and
// wait on nothing: the rings, the period's buffers and thru's buffers were
// made when the port opened. A ring with no room loses the message (an
// input's reader ring: the reader is told of a cut there; an output's
// ring: its writer waits, on its own thread, before writing).
//
// The program's threads write an output's ring (send) and its run; the
// watcher's thread counts an input's cuts and writes a slot's port while
// the cycle cannot see it; the reader's thread reads an input's ring.
#ifndef MIDIKIT_DRIVER_JACKPORT_H
#define MIDIKIT_DRIVER_JACKPORT_H

#include "driver/CycleThru.h"
#include "driver/DriverInternal.h"

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace morvelant::driver::jackport {

constexpr size_t kRingBytes = size_t(1) << 17;
constexpr size_t kPiece = kThruPiece;
// At most what one period of an output writes, gathered before it is
// written (more waits in the ring for the next period).
constexpr size_t kMaxDue = 2048;
constexpr size_t kDueBytes = size_t(1) << 16;

struct Record {
    int64_t usec;  // input: when it arrived, on JACK's clock; output: 0 at once, else kTimed or kPassedThru
    uint32_t size;
    uint32_t frame;  // input: the frame it arrived at; timed output: the frame it falls due at
    uint32_t server;  // timed output: which server's frames (JackTimeBase::server)
    uint32_t run;  // output: the run of a message of the timed path, else 0 (never dropped); input: its thru stamp
};

// An output's timed records: due at the moment of their frame, the
// program's own, or passed thru from an input at the moment it came in.
constexpr int64_t kTimed = 1;
constexpr int64_t kPassedThru = 2;

struct Slot {
    bool input = false;
    std::string peer;  // the peer port's full name
    std::string own;  // our port's short name
    // Written only on the watcher's thread, while the process callback cannot
    // see the slot (see the rules above).
    jack_port_t* port = nullptr;
    jack_ringbuffer_t* ring = nullptr;
    bool published = false;  // under the session's mx_: in slots_, where the process callback sees it
    std::atomic<bool> refused{false};  // the server refused our port: what is sent goes nowhere
    std::atomic<uint64_t> lastWritten{0};  // an output: the last cycle it found something to write in
    std::atomic<uint32_t> run{1};  // an output: the timed path's messages of other runs are dropped
    bool linked = false;  // on the watcher's thread: connected to its peer once by the present client
    std::atomic<uint32_t> cuts{0};  // an input: the sources it lost (see the rules above)
    uint32_t cutsTaken = 0;  // the process callback's: the cuts put into the ring
    uint32_t cutsThru = 0;  // the process callback's: the cuts thru has seen
    bool lost = false;  // the process callback's: the ring lost a message, which cuts what is under way
    std::unique_ptr<ThruSource> thru;  // an input's thru, decided on the cycle
    std::shared_ptr<ThruSink> sink;  // an output's thru, written on the cycle
    InputCallback callback;
    Bytes scratch;  // reader side of an input
    // An output's period, as the process callback gathers it from the ring
    // before writing it in the order of its moments: each message's place
    // in `bytes` of one of two sides, the side in use, and how many the
    // last period's buffer could not take (they lead the next period).
    struct Due {
        int32_t offset;
        uint32_t seq;  // the order it was handed over in
        uint32_t pos;  // kLong: the long thru message at the head of the sink, written from there
        uint32_t size;
    };
    static constexpr uint32_t kLong = UINT32_MAX;
    std::vector<Due> due;
    Bytes dueBytes[2];
    int dueSide = 0;
    size_t dueUsed = 0;
    std::atomic<size_t> carried{0};
    Slot() : ring(jack_ringbuffer_create(kRingBytes)) {}
    ~Slot() {
        if (ring) jack_ringbuffer_free(ring);
    }
};

// Puts the cuts counted since the last cycle (or a message the ring lost)
// into the input's ring; false while the ring has no room for it.
bool takeCut(Slot& s, bool& received);
// Passes each message of the input's buffer thru, then queues it for the
// reader; true when there is anything for the reader.
bool takeInput(jack_client_t* c, Slot& s, void* buffer, jack_nframes_t start, uint32_t server);
// Writes the output's period into its port's buffer.
void writeOutput(Slot& s, void* buffer, jack_nframes_t start, jack_nframes_t nframes, uint64_t cycle, uint32_t server);

}  // namespace morvelant::driver::jackport

#endif
