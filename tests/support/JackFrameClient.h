// A libjack client with one MIDI port that works to the frame: as a sender
// it writes each message of a schedule at the frame the schedule gives and
// notes it; as a receiver it notes the frame each message arrives at. Both
// keep everything in arrays made beforehand: the process callback neither
// allocates nor locks.
#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/JackClient.h"
#include "tests/support/JackServer.h"

namespace morvelant::testsupport {

class JackFrameClient {
public:
    struct Message {
        uint32_t frame = 0;  // sender: frames after the schedule's start, then the frame written at
        uint8_t bytes[3] = {};
        uint8_t size = 0;
    };

    // A sender has the output port "out", a receiver the input port "in".
    JackFrameClient(const std::string& client, bool sender, size_t capacity = 1 << 18)
        : sender_(sender), got_(sender ? 0 : capacity) {
        UseJackServer();
        client_ = OpenTestClient(client, JackUseExactName);
        if (!client_) return;
        port_ = jack_port_register(client_, sender ? "out" : "in", JACK_DEFAULT_MIDI_TYPE,
                                   sender ? JackPortIsOutput : JackPortIsInput, 0);
        jack_set_process_callback(client_, &JackFrameClient::Process, this);
        ok_ = port_ && jack_activate(client_) == 0;
    }
    ~JackFrameClient() {
        if (client_) jack_client_close(client_);
    }
    JackFrameClient(const JackFrameClient&) = delete;
    JackFrameClient& operator=(const JackFrameClient&) = delete;

    bool Ok() const { return ok_; }
    jack_client_t* Client() const { return client_; }
    // Sample rate and period of the server; 0 when the client did not open
    // (no server, or none could start).
    jack_nframes_t Rate() const { return client_ ? jack_get_sample_rate(client_) : 0; }
    jack_nframes_t Period() const { return client_ ? jack_get_buffer_size(client_) : 0; }
    // How many connections its port has, as the graph the server's cycles
    // run shows them.
    int Connections() const { return port_ ? jack_port_connected(port_) : 0; }

    // Sender: writes the schedule (frames ascending) from the start of the
    // next period on. Done() once every message is written; Schedule() then
    // holds the frame each went out at.
    void Send(std::vector<Message> schedule) {
        schedule_ = std::move(schedule);
        next_ = 0;
        started_ = false;
        armed_.store(true, std::memory_order_release);
    }
    bool Done() const { return !armed_.load(std::memory_order_acquire); }
    // Read through the flag the process callback lowers after its last
    // write, so that what it wrote comes before what is read here.
    const std::vector<Message>& Schedule() const {
        (void)armed_.load(std::memory_order_acquire);
        return schedule_;
    }

    // Receiver: what came so far (at most its capacity), and forgetting it
    // while nothing comes.
    size_t Count() const { return count_.load(std::memory_order_acquire); }
    const Message& Got(size_t i) const { return got_[i]; }
    void Clear() { count_.store(0, std::memory_order_release); }

private:
    static int Process(jack_nframes_t n, void* arg) {
        auto* self = static_cast<JackFrameClient*>(arg);
        void* buffer = jack_port_get_buffer(self->port_, n);
        const jack_nframes_t start = jack_last_frame_time(self->client_);
        if (self->sender_) {
            jack_midi_clear_buffer(buffer);
            if (!self->armed_.load(std::memory_order_acquire)) return 0;
            if (!self->started_) {
                self->started_ = true;
                self->first_ = start;
            }
            auto& s = self->schedule_;
            while (self->next_ < s.size()) {
                Message& m = s[self->next_];
                const int32_t offset = int32_t(self->first_ + m.frame - start);
                if (offset >= int32_t(n)) break;
                const jack_nframes_t at = jack_nframes_t(std::max(offset, 0));
                if (jack_midi_event_write(buffer, at, m.bytes, m.size) != 0) break;
                m.frame = start + at;
                ++self->next_;
            }
            if (self->next_ >= s.size()) self->armed_.store(false, std::memory_order_release);
            return 0;
        }
        // Acquire: what the test read before it cleared the list was read
        // before the slots are written again.
        size_t count = self->count_.load(std::memory_order_acquire);
        const uint32_t events = jack_midi_get_event_count(buffer);
        for (uint32_t i = 0; i < events && count < self->got_.size(); ++i) {
            jack_midi_event_t ev;
            if (jack_midi_event_get(&ev, buffer, i) != 0 || ev.size == 0 || ev.size > 3) continue;
            Message& m = self->got_[count++];
            m.frame = start + ev.time;
            m.size = uint8_t(ev.size);
            std::copy(ev.buffer, ev.buffer + ev.size, m.bytes);
        }
        self->count_.store(count, std::memory_order_release);
        return 0;
    }

    const bool sender_;
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    bool ok_ = false;
    std::vector<Message> schedule_;
    size_t next_ = 0;
    bool started_ = false;
    jack_nframes_t first_ = 0;
    std::atomic<bool> armed_{false};
    std::vector<Message> got_;
    std::atomic<size_t> count_{0};
};

}  // namespace morvelant::testsupport
