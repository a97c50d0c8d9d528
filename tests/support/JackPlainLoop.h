// A plain libjack client that writes one numbered message (BF 7F n) at the
// start of each of its cycles to a port: what the server does with a
// client's writes, without the editor, to judge a loss by.
#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/JackPeer.h"

namespace morvelant::testsupport {

class JackPlainLoop {
public:
    explicit JackPlainLoop(const std::string& to) {
        static int made = 0;
        const std::string name = OwnClientName("PlainLoop") + "x" + std::to_string(made++);
        client_ = OpenTestClient(name);
        if (!client_) return;
        port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &JackPlainLoop::Process, this);
        ok_ = port_ && jack_activate(client_) == 0 && jack_connect(client_, jack_port_name(port_), to.c_str()) == 0;
    }
    ~JackPlainLoop() {
        if (!client_) return;
        jack_deactivate(client_);
        jack_client_close(client_);
    }
    JackPlainLoop(const JackPlainLoop&) = delete;
    JackPlainLoop& operator=(const JackPlainLoop&) = delete;
    bool Ok() const { return ok_; }

    static bool IsLoops(const MidiBytes& m) { return m.size() == 3 && m[0] == 0xBF && m[1] == 0x7F; }
    // Whether one of the loop's messages that `peer` heard between two
    // moments is missing (or they do not reach that far): the server lost
    // a plain client's writes too. They may come a period early or late;
    // only one missing tells of a loss.
    static bool Lost(JackPeer& peer, std::chrono::steady_clock::time_point from,
                     std::chrono::steady_clock::time_point to) {
        std::vector<JackPeer::Arrival> loop;
        for (const auto& a : peer.Arrivals())
            if (IsLoops(a.bytes)) loop.push_back(a);
        if (loop.empty() || loop.front().seen > from || loop.back().seen < to) return true;
        for (size_t i = 1; i < loop.size(); ++i)
            if (((loop[i].bytes[2] - loop[i - 1].bytes[2]) & 0x7F) != 1 && loop[i].seen >= from &&
                loop[i - 1].seen <= to)
                return true;
        return false;
    }

private:
    static int Process(jack_nframes_t nframes, void* arg) {
        auto* self = static_cast<JackPlainLoop*>(arg);
        void* buffer = jack_port_get_buffer(self->port_, nframes);
        jack_midi_clear_buffer(buffer);
        const jack_midi_data_t message[3] = {0xBF, 0x7F, jack_midi_data_t(self->count_++ & 0x7F)};
        if (jack_midi_data_t* room = jack_midi_event_reserve(buffer, 0, sizeof message)) {
            driver::UnseenByThreadSanitizer unseen;  // into the port's buffer: see scripts/tsan.supp
            std::copy(message, message + sizeof message, room);
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    bool ok_ = false;
    uint8_t count_ = 0;
};

}  // namespace morvelant::testsupport
