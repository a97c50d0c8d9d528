// A small RtMidi client on the JACK test server that stands for the device
// on the other end of the editor's ports, and waiting for what it hears.
#pragma once

#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/JackServer.h"
#include "tests/support/PollUntil.h"

namespace morvelant::testsupport {

using MidiBytes = std::vector<unsigned char>;

// A plain MIDI client on the JACK server: an input port "in" that records
// what arrives (with the time it came) and an output port "out", each the
// port of a client of its own (the server renames a second client of the
// same name). An empty client name leaves that port out.
class JackPeer {
public:
    struct Setup {
        std::string in{};  // client name of the input port
        std::string out{};  // client name of the output port
        bool splitClocks = false;  // count timing clocks (F8) apart instead of recording them
        unsigned int queueLimit = 100;  // RtMidi's input queue
        bool quiet = false;  // RtMidi's warnings go nowhere
    };

    explicit JackPeer(const Setup& setup) : splitClocks_(setup.splitClocks) {
        if (!setup.in.empty()) {
            in = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, setup.in, setup.queueLimit);
            if (setup.quiet) in->setErrorCallback(&JackPeer::Quiet, nullptr);
            in->ignoreTypes(false, false, false);
            in->setCallback(&JackPeer::Received, this);
            in->openVirtualPort("in");
        }
        if (!setup.out.empty()) {
            out = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, setup.out);
            if (setup.quiet) out->setErrorCallback(&JackPeer::Quiet, nullptr);
            out->openVirtualPort("out");
        }
    }
    ~JackPeer() {
        if (in) {
            in->cancelCallback();
            in->closePort();
        }
        if (out) out->closePort();
    }
    JackPeer(const JackPeer&) = delete;
    JackPeer& operator=(const JackPeer&) = delete;

    void Send(const MidiBytes& m) { out->sendMessage(&m); }
    // Sends in pieces the JACK buffers can carry, pausing after each.
    void SendPaced(const MidiBytes& bytes, size_t piece = 1024) {
        for (size_t off = 0; off < bytes.size(); off += piece) {
            out->sendMessage(bytes.data() + off, std::min(piece, bytes.size() - off));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    struct Arrival {
        MidiBytes bytes;
        std::chrono::steady_clock::time_point at;
    };
    std::vector<Arrival> Arrivals() {
        std::lock_guard lock(mx_);
        return got_;
    }
    std::vector<MidiBytes> Messages() {
        std::lock_guard lock(mx_);
        std::vector<MidiBytes> v;
        v.reserve(got_.size());
        for (const Arrival& a : got_) v.push_back(a.bytes);
        return v;
    }
    size_t Count() {
        std::lock_guard lock(mx_);
        return got_.size();
    }
    // Timing clocks heard (with splitClocks; they are not recorded then).
    int Clocks() {
        std::lock_guard lock(mx_);
        return clocks_;
    }
    void Clear() {
        std::lock_guard lock(mx_);
        got_.clear();
    }
    // Waits until `count` messages arrived (the limit only keeps a broken
    // test from hanging).
    bool WaitFor(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return PollUntil([&] { return Count() >= count; }, limit);
    }

    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;

private:
    static void Quiet(RtMidiError::Type, const std::string&, void*) {}
    static void Received(double, std::vector<unsigned char>* message, void* self) {
        auto* peer = static_cast<JackPeer*>(self);
        const auto at = std::chrono::steady_clock::now();
        std::lock_guard lock(peer->mx_);
        if (peer->splitClocks_ && message->size() == 1 && (*message)[0] == 0xF8)
            ++peer->clocks_;
        else
            peer->got_.push_back({*message, at});
    }
    const bool splitClocks_;
    std::mutex mx_;
    std::vector<Arrival> got_;
    int clocks_ = 0;
};

}  // namespace morvelant::testsupport
