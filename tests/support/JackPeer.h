// A small libjack client on the JACK test server that stands for the device
// on the other end of the editor's ports, and waiting for what it hears.
//
// It keeps working when the server goes away: it notices (Dead), stops
// waiting at once, and its destructor only closes its clients.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver/UnseenByThreadSanitizer.h"
#include "tests/support/JackClient.h"
#include "tests/support/JackServer.h"
#include "tests/support/PollUntil.h"

namespace morvelant::testsupport {

using MidiBytes = std::vector<unsigned char>;

// An input port "in" that records what arrives (with the moment and the
// frame it came at; pieces of one system-exclusive message joined) and an
// output port "out", each the port of a client of its own, named exactly as
// asked. An empty client name leaves that port out.
class JackPeer {
public:
    struct Setup {
        std::string in{};  // client name of the input port
        std::string out{};  // client name of the output port
        bool splitClocks = false;  // count timing clocks (F8) apart instead of recording them
        unsigned int queueLimit = 100;  // kept for callers; the ring holds far more
        bool quiet = false;  // libjack's complaints go nowhere
        // A second input port "loop" in the input's client, for a plain
        // client's messages: recorded beside those of "in", never joined
        // with them, and never crowding them out of a period's buffer.
        bool loop = false;
    };

    explicit JackPeer(const Setup& setup) : splitClocks_(setup.splitClocks), quiet_(setup.quiet) {
        UseJackServer();
        inRing_ = jack_ringbuffer_create(1 << 20);
        outRing_ = jack_ringbuffer_create(1 << 20);
        if (!setup.in.empty()) Open(setup.in, "in", true, inClient_, inPort_);
        if (setup.loop && inClient_)
            loopPort_ = jack_port_register(inClient_, "loop", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (!setup.out.empty()) Open(setup.out, "out", false, outClient_, outPort_);
        // JACK's clock can be read once a client is open.
        if (inClient_ || outClient_)
            offsetUs_ = int64_t(jack_get_time()) - SteadyMicros(std::chrono::steady_clock::now());
        // libjack must not open a client while a dead one is still open in
        // the process (the driver under test opens one as soon as a server
        // runs again): a dead server's clients are closed soon. Not at once:
        // libjack is still taking them down on its own threads when it says
        // the server went, and a close then can hang in libjack for good
        // (seen under load, holding up the driver's own close behind it).
        watcher_ = std::thread([this] {
            while (!stop_ && !dead_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (dead_) std::this_thread::sleep_for(std::chrono::milliseconds(kGoneSettleMs));
            std::lock_guard lock(closeMx_);
            Close(inClient_);
            Close(outClient_);
            closed_ = true;
        });
    }
    ~JackPeer() {
        stop_ = true;
        // A server that vanished may keep libjack's close from returning: a
        // test then ends here with a message, never in ctest's timeout.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!closed_ && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!closed_) {
            std::fprintf(stderr, "JackPeer: closing the peer's JACK clients did not return within 20 s\n");
            std::abort();
        }
        watcher_.join();
        jack_ringbuffer_free(inRing_);
        jack_ringbuffer_free(outRing_);
    }
    JackPeer(const JackPeer&) = delete;
    JackPeer& operator=(const JackPeer&) = delete;

    // Whether every asked-for port exists.
    bool Ok() const { return okIn_ && okOut_; }
    // The server went away (or never answered).
    bool Dead() const { return dead_; }

    // Queues a message for the output port; it goes out in the next period
    // (a long one over several, in pieces the period's buffer can take).
    void Send(const MidiBytes& m) { SendPaced(m, 4096); }
    void SendPaced(const MidiBytes& bytes, size_t piece = 1024) {
        for (size_t off = 0; off < bytes.size(); off += piece) {
            const uint32_t n = uint32_t(std::min(piece, bytes.size() - off));
            while (jack_ringbuffer_write_space(outRing_) < sizeof n + n && !dead_)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (dead_) return;
            driver::UnseenByThreadSanitizer unseen;
            jack_ringbuffer_write(outRing_, reinterpret_cast<const char*>(&n), sizeof n);
            jack_ringbuffer_write(outRing_, reinterpret_cast<const char*>(bytes.data() + off), n);
        }
    }

    struct Arrival {
        MidiBytes bytes;
        std::chrono::steady_clock::time_point at;  // the moment of its frame
        jack_nframes_t frame = 0;  // the frame it arrived at
        std::chrono::steady_clock::time_point seen;  // when the process callback took it
    };
    std::vector<Arrival> Arrivals() {
        std::lock_guard lock(mx_);
        Drain();
        return got_;
    }
    std::vector<MidiBytes> Messages() {
        std::lock_guard lock(mx_);
        Drain();
        std::vector<MidiBytes> v;
        v.reserve(got_.size());
        for (const Arrival& a : got_) v.push_back(a.bytes);
        return v;
    }
    size_t Count() {
        std::lock_guard lock(mx_);
        Drain();
        return got_.size();
    }
    // Timing clocks heard (with splitClocks; they are not recorded then).
    int Clocks() {
        std::lock_guard lock(mx_);
        Drain();
        return clocks_;
    }
    void Clear() {
        std::lock_guard lock(mx_);
        Drain();
        got_.clear();
    }
    // Waits until `count` messages arrived; gives up at once when the
    // server is gone (the limit only keeps a broken test from hanging).
    bool WaitFor(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return PollUntil([&] { return Count() >= count || dead_; }, limit) && !dead_ && Count() >= count;
    }
    // How many connections its input port ("in") and its output port
    // ("out") have, as the graph the server's cycles run shows them: a
    // message sent on "out" once it shows one reaches the port connected.
    int InConnections() { return Connections(inClient_, inPort_); }
    int OutConnections() { return Connections(outClient_, outPort_); }
    // Sample rate and period of the server.
    jack_nframes_t Rate() {
        std::lock_guard lock(closeMx_);
        return inClient_ ? jack_get_sample_rate(inClient_) : 0;
    }
    jack_nframes_t Period() {
        std::lock_guard lock(closeMx_);
        return inClient_ ? jack_get_buffer_size(inClient_) : 0;
    }

private:
    static int64_t SteadyMicros(std::chrono::steady_clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
    }

    int Connections(jack_client_t* const& c, jack_port_t* p) {
        std::lock_guard lock(closeMx_);
        return c && p && !dead_ ? jack_port_connected(p) : 0;
    }

    // The client and port are set before the process callback can run.
    void Open(const std::string& client, const char* port, bool input, jack_client_t*& c, jack_port_t*& p) {
        c = OpenTestClient(client, JackUseExactName, quiet_);
        if (!c) {
            (input ? okIn_ : okOut_) = false;
            dead_ = true;
            return;
        }
        jack_on_shutdown(
            c, [](void* self) { static_cast<JackPeer*>(self)->dead_ = true; }, this);
        jack_set_process_callback(c, input ? &JackPeer::ProcessIn : &JackPeer::ProcessOut, this);
        p = jack_port_register(c, port, JACK_DEFAULT_MIDI_TYPE, input ? JackPortIsInput : JackPortIsOutput, 0);
        if (!p || jack_activate(c) != 0) (input ? okIn_ : okOut_) = false;
    }

    void Close(jack_client_t*& c) {
        if (!c) return;
        // Never a port call on a dead server: closing the client frees them.
        if (!dead_) jack_deactivate(c);
        jack_client_close(c);
        c = nullptr;
    }

    struct Header {
        int64_t usec;
        int64_t seenUs;
        uint32_t frame;
        uint32_t size;
        bool loop;
    };

    static int ProcessIn(jack_nframes_t nframes, void* arg) {
        auto* self = static_cast<JackPeer*>(arg);
        self->Record(self->inPort_, nframes, false);
        if (jack_port_t* loop = self->loopPort_.load()) self->Record(loop, nframes, true);
        return 0;
    }
    void Record(jack_port_t* port, jack_nframes_t nframes, bool loop) {
        JackPeer* self = this;
        void* buffer = jack_port_get_buffer(port, nframes);
        const jack_nframes_t start = jack_last_frame_time(self->inClient_);
        const uint32_t n = jack_midi_get_event_count(buffer);
        for (uint32_t i = 0; i < n; ++i) {
            jack_midi_event_t ev;
            if (jack_midi_event_get(&ev, buffer, i) != 0) continue;
            Header h{int64_t(jack_frames_to_time(self->inClient_, start + ev.time)),
                     SteadyMicros(std::chrono::steady_clock::now()), start + ev.time, uint32_t(ev.size), loop};
            if (jack_ringbuffer_write_space(self->inRing_) < sizeof h + ev.size) {
                self->overflow_ = true;
                continue;
            }
            driver::UnseenByThreadSanitizer unseen;
            jack_ringbuffer_write(self->inRing_, reinterpret_cast<const char*>(&h), sizeof h);
            jack_ringbuffer_write(self->inRing_, reinterpret_cast<const char*>(ev.buffer), ev.size);
        }
    }

    static int ProcessOut(jack_nframes_t nframes, void* arg) {
        auto* self = static_cast<JackPeer*>(arg);
        void* buffer = jack_port_get_buffer(self->outPort_, nframes);
        jack_midi_clear_buffer(buffer);
        uint32_t n = 0;
        while (jack_ringbuffer_read_space(self->outRing_) >= sizeof n) {
            jack_ringbuffer_peek(self->outRing_, reinterpret_cast<char*>(&n), sizeof n);
            if (jack_ringbuffer_read_space(self->outRing_) < sizeof n + n) break;
            jack_midi_data_t* room = jack_midi_event_reserve(buffer, 0, n);
            if (!room) break;
            jack_ringbuffer_read_advance(self->outRing_, sizeof n);
            driver::UnseenByThreadSanitizer unseen;  // into the port's buffer: see scripts/tsan.supp
            jack_ringbuffer_read(self->outRing_, reinterpret_cast<char*>(room), n);
        }
        return 0;
    }

    // Under mx_: moves what the process callback recorded into got_.
    void Drain() {
        Header h;
        while (jack_ringbuffer_read_space(inRing_) >= sizeof h) {
            jack_ringbuffer_peek(inRing_, reinterpret_cast<char*>(&h), sizeof h);
            if (jack_ringbuffer_read_space(inRing_) < sizeof h + h.size) break;
            jack_ringbuffer_read_advance(inRing_, sizeof h);
            MidiBytes bytes(h.size);
            jack_ringbuffer_read(inRing_, reinterpret_cast<char*>(bytes.data()), h.size);
            // PipeWire's libjack now and then gives a frame no usable time
            // (a value centuries off, seen with a message in every cycle):
            // such a moment is left at the clock's epoch.
            const int64_t us = h.usec - offsetUs_;
            const auto at = us > -(int64_t(1) << 40) && us < (int64_t(1) << 40)
                ? std::chrono::steady_clock::time_point(std::chrono::microseconds(us))
                : std::chrono::steady_clock::time_point{};
            const auto seen = std::chrono::steady_clock::time_point(std::chrono::microseconds(h.seenUs));
            if (splitClocks_ && bytes.size() == 1 && bytes[0] == 0xF8) {
                ++clocks_;
                continue;
            }
            if (h.loop) {
                got_.push_back({std::move(bytes), at, h.frame, seen});
                continue;
            }
            // The pieces of a long system-exclusive message make one.
            if (joining_) {
                partial_.bytes.insert(partial_.bytes.end(), bytes.begin(), bytes.end());
                if (!bytes.empty() && bytes.back() == 0xF7) {
                    joining_ = false;
                    got_.push_back(std::move(partial_));
                }
                continue;
            }
            if (!bytes.empty() && bytes.front() == 0xF0 && bytes.back() != 0xF7) {
                joining_ = true;
                partial_ = {std::move(bytes), at, h.frame, seen};
                continue;
            }
            got_.push_back({std::move(bytes), at, h.frame, seen});
        }
    }

    static constexpr int kGoneSettleMs = 100;
    const bool splitClocks_;
    const bool quiet_;
    int64_t offsetUs_ = 0;
    jack_client_t* inClient_ = nullptr;
    jack_client_t* outClient_ = nullptr;
    jack_port_t* inPort_ = nullptr;
    jack_port_t* outPort_ = nullptr;
    std::atomic<jack_port_t*> loopPort_{nullptr};
    jack_ringbuffer_t* inRing_ = nullptr;
    jack_ringbuffer_t* outRing_ = nullptr;
    std::atomic<bool> dead_{false};
    std::atomic<bool> closed_{false};
    std::atomic<bool> stop_{false};
    std::mutex closeMx_;
    std::thread watcher_;
    std::atomic<bool> overflow_{false};
    bool okIn_ = true;
    bool okOut_ = true;
    std::mutex mx_;
    std::vector<Arrival> got_;
    Arrival partial_;
    bool joining_ = false;
    int clocks_ = 0;
};

// Runs `patch` with a client of the test server, as a patchbay does;
// whether it succeeded. (Connecting and disconnecting are functions apart:
// a program whose libjack calls go through a loader that forwards only some
// of libjack's functions links only those it calls, with either compiler at
// any optimisation.)
template <typename Patch>
bool WithPatchbay(Patch patch) {
    UseJackServer();
    jack_client_t* patchbay = OpenTestClient(OwnClientName("patch"), JackNullOption, true);
    if (!patchbay) return false;
    const bool made = patch(patchbay);
    jack_client_close(patchbay);
    return made;
}

// Connects two ports from a client of the test server, as a patchbay does.
inline bool PatchPorts(const std::string& from, const std::string& to) {
    return WithPatchbay([&](jack_client_t* c) { return jack_connect(c, from.c_str(), to.c_str()) == 0; });
}
// Takes the connection of two ports away, as a patchbay does.
inline bool UnpatchPorts(const std::string& from, const std::string& to) {
    return WithPatchbay([&](jack_client_t* c) { return jack_disconnect(c, from.c_str(), to.c_str()) == 0; });
}
// Whether two ports are connected, as a patchbay sees them.
inline bool PortsConnected(const std::string& a, const std::string& b) {
    return WithPatchbay([&](jack_client_t* c) {
        const jack_port_t* port = jack_port_by_name(c, a.c_str());
        return port && jack_port_connected_to(port, b.c_str());
    });
}
// The MIDI ports whose full names match `pattern`, as a patchbay lists
// them; nullopt when no server answers.
inline std::optional<std::vector<std::string>> MidiPortsNamed(const std::string& pattern) {
    std::vector<std::string> names;
    if (!WithPatchbay([&](jack_client_t* c) {
            const char** ports = jack_get_ports(c, pattern.c_str(), JACK_DEFAULT_MIDI_TYPE, 0);
            for (const char** p = ports; p && *p; ++p) names.emplace_back(*p);
            jack_free(ports);
            return true;
        }))
        return std::nullopt;
    return names;
}

}  // namespace morvelant::testsupport
