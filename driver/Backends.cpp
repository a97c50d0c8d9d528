// The port backends: the ALSA sequencer through RtMidi, JACK (its own file),
// a loopback backend without any server (for tests), and none.
#include "driver/DriverInternal.h"

#include <RtMidi.h>

#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace morvelant::driver {

namespace {

// RtMidi reports through this instead of printing or throwing once an
// object exists; failures show as ports that do not open.
void quietErrors(RtMidiError::Type, const std::string&, void*) {}

// A long system-exclusive message goes in pieces, which receivers join back
// into one message; the sequencer's own event pool takes no more at once.
constexpr size_t kPiece = 4096;

class RtInputLink final : public InputLink {
public:
    RtInputLink(std::unique_ptr<RtMidiIn> in, InputCallback cb) : in_(std::move(in)), cb_(std::move(cb)) {}
    ~RtInputLink() override {
        try {
            in_->cancelCallback();
            in_->closePort();
        } catch (...) {}
        in_.reset();  // closes the client; no callback after this
    }
    static void callback(double, std::vector<unsigned char>* message, void* self) {
        try {
            auto* link = static_cast<RtInputLink*>(self);
            if (message && !message->empty()) link->cb_(message->data(), message->size(), SteadyClock::now(), kAtOnce, kThruNotDecided);
        } catch (...) {}
    }
    std::unique_ptr<RtMidiIn> in_;
    InputCallback cb_;
};

class RtOutputLink final : public OutputLink {
public:
    explicit RtOutputLink(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {}
    ~RtOutputLink() override {
        try {
            out_->closePort();
        } catch (...) {}
    }
    void send(const uint8_t* data, size_t size, MediaTime, bool) override {
        try {
            for (size_t off = 0; off < size; off += kPiece) out_->sendMessage(data + off, std::min(kPiece, size - off));
        } catch (...) {}
    }

private:
    std::unique_ptr<RtMidiOut> out_;
};

// Records that a listing client reported an error.
void noteProbeError(RtMidiError::Type, const std::string&, void* failed) { *static_cast<bool*>(failed) = true; }

// The port names of one direction. An empty list is an answer; only a
// listing that reported an error is tried again.
template <typename Probe>
std::vector<std::string> listPortsOf(RtMidi::Api api) {
    std::vector<std::string> names;
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool failed = false;
        names.clear();
        try {
            Probe probe(api, std::string(kOwnClientPrefix) + " probe");
            probe.setErrorCallback(noteProbeError, &failed);
            unsigned n = probe.getPortCount();
            for (unsigned i = 0; i < n; ++i) names.push_back(probe.getPortName(i));
        } catch (...) { failed = true; }
        if (!failed) break;
    }
    return names;
}

class RtBackend final : public Backend {
public:
    explicit RtBackend(RtMidi::Api api) : api_(api) {}
    const char* name() const override { return "alsa"; }

    std::vector<std::string> inputNames() override { return listPortsOf<RtMidiIn>(api_); }
    std::vector<std::string> outputNames() override { return listPortsOf<RtMidiOut>(api_); }

    // A request may fail while other clients come and go; a port that is
    // there gets a few tries.
    std::unique_ptr<InputLink> openInput(const std::string& raw, InputCallback callback) override {
        return withRetries([&] { return tryOpenInput(raw, callback); });
    }

    std::unique_ptr<OutputLink> openOutput(const std::string& raw) override {
        return withRetries([&] { return tryOpenOutput(raw); });
    }

private:
    template <typename TryOpen>
    static auto withRetries(TryOpen&& tryOpen) -> decltype(tryOpen()) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (auto link = tryOpen()) return link;
        }
        return nullptr;
    }

    std::unique_ptr<InputLink> tryOpenInput(const std::string& raw, const InputCallback& callback) {
        try {
            auto in = std::make_unique<RtMidiIn>(api_, std::string(kOwnClientPrefix) + " in", 100);
            in->setErrorCallback(quietErrors, nullptr);
            int index = find(*in, raw);
            if (index < 0) return nullptr;
            auto link = std::make_unique<RtInputLink>(std::move(in), callback);
            // System exclusive, timing and active sensing all reach the
            // editor; it decides what to drop.
            link->in_->ignoreTypes(false, false, false);
            link->in_->setCallback(&RtInputLink::callback, link.get());
            if (!openNamed(*link->in_, raw, index, "in")) return nullptr;
            return link;
        } catch (...) { return nullptr; }
    }

    std::unique_ptr<OutputLink> tryOpenOutput(const std::string& raw) {
        try {
            auto out = std::make_unique<RtMidiOut>(api_, std::string(kOwnClientPrefix) + " out");
            out->setErrorCallback(quietErrors, nullptr);
            if (!openNamed(*out, raw, -1, "out")) return nullptr;
            return std::make_unique<RtOutputLink>(std::move(out));
        } catch (...) { return nullptr; }
    }

    // RtMidi opens by index; when other clients come and go in between, the
    // index may name another port, so it is checked again after opening.
    // index: the port's index just looked up, or -1 to look it up here.
    static bool openNamed(RtMidi& port, const std::string& raw, int index, const std::string& portName) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if ((attempt > 0 || index < 0) && (index = find(port, raw)) < 0) return false;
            port.openPort(unsigned(index), portName);
            if (!port.isPortOpen()) return false;
            if (port.getPortName(unsigned(index)) == raw) return true;
            port.closePort();
        }
        return false;
    }

    static int find(RtMidi& api, const std::string& raw) {
        unsigned n = api.getPortCount();
        for (unsigned i = 0; i < n; ++i)
            if (api.getPortName(i) == raw) return int(i);
        return -1;
    }
    RtMidi::Api api_;
};

class NoBackend final : public Backend {
public:
    const char* name() const override { return "none"; }
    std::vector<std::string> inputNames() override { return {}; }
    std::vector<std::string> outputNames() override { return {}; }
    std::unique_ptr<InputLink> openInput(const std::string&, InputCallback) override { return nullptr; }
    std::unique_ptr<OutputLink> openOutput(const std::string&) override { return nullptr; }
};

// ------------------------------------------------------------- loopback

// One receiver per opened loopback input. Delivery holds the receiver's lock,
// so closing waits for a delivery in progress (unless the close comes from
// inside that delivery, on the same thread).
struct LoopReceiver {
    std::mutex mx;
    std::atomic<std::thread::id> delivering{};
    bool alive = true;
    InputCallback callback;
};

class LoopbackBackend;

class LoopInputLink final : public InputLink {
public:
    LoopInputLink(LoopbackBackend& owner, int port, std::shared_ptr<LoopReceiver> r)
        : owner_(owner), port_(port), receiver_(std::move(r)) {}
    ~LoopInputLink() override;

private:
    LoopbackBackend& owner_;
    int port_;
    std::shared_ptr<LoopReceiver> receiver_;
};

class LoopbackBackend final : public Backend {
public:
    explicit LoopbackBackend(std::vector<std::string> names) : names_(std::move(names)), receivers_(names_.size()) {}
    const char* name() const override { return "loopback"; }
    std::vector<std::string> inputNames() override { return names(); }
    std::vector<std::string> outputNames() override { return names(); }

    std::unique_ptr<InputLink> openInput(const std::string& raw, InputCallback callback) override {
        int port = index(raw);
        if (port < 0) return nullptr;
        auto r = std::make_shared<LoopReceiver>();
        r->callback = std::move(callback);
        std::lock_guard lock(mx_);
        receivers_[size_t(port)].push_back(r);
        return std::make_unique<LoopInputLink>(*this, port, r);
    }

    std::unique_ptr<OutputLink> openOutput(const std::string& raw) override;

    void deliver(int port, const uint8_t* data, size_t size) {
        std::vector<std::shared_ptr<LoopReceiver>> targets;
        {
            std::lock_guard lock(mx_);
            targets = receivers_[size_t(port)];
        }
        for (auto& r : targets) {
            std::lock_guard lock(r->mx);
            if (!r->alive) continue;
            r->delivering = std::this_thread::get_id();
            r->callback(data, size, SteadyClock::now(), kAtOnce, kThruNotDecided);
            r->delivering = std::thread::id{};
        }
    }

    void removeReceiver(int port, const std::shared_ptr<LoopReceiver>& r) {
        {
            std::lock_guard lock(mx_);
            auto& v = receivers_[size_t(port)];
            v.erase(std::remove(v.begin(), v.end(), r), v.end());
        }
        if (r->delivering.load() == std::this_thread::get_id()) {
            r->alive = false;  // closed from inside its own delivery
            return;
        }
        std::lock_guard lock(r->mx);
        r->alive = false;
    }

private:
    std::vector<std::string> names() const { return names_; }
    int index(const std::string& raw) const {
        for (size_t i = 0; i < names_.size(); ++i)
            if (raw == names_[i]) return int(i);
        return -1;
    }
    std::vector<std::string> names_;
    std::mutex mx_;
    std::vector<std::vector<std::shared_ptr<LoopReceiver>>> receivers_;
};

LoopInputLink::~LoopInputLink() { owner_.removeReceiver(port_, receiver_); }

class LoopOutputLink final : public OutputLink {
public:
    LoopOutputLink(LoopbackBackend& owner, int port) : owner_(owner), port_(port) {}
    void send(const uint8_t* data, size_t size, MediaTime, bool) override { owner_.deliver(port_, data, size); }

private:
    LoopbackBackend& owner_;
    int port_;
};

std::unique_ptr<OutputLink> LoopbackBackend::openOutput(const std::string& raw) {
    int port = index(raw);
    if (port < 0) return nullptr;
    return std::make_unique<LoopOutputLink>(*this, port);
}

std::unique_ptr<Backend> tryAlsa(bool forced) {
    // Without the sequencer device there is nothing to open; asking anyway
    // only makes the ALSA library complain on the terminal.
    if (!forced && access("/dev/snd/seq", R_OK | W_OK) != 0) return nullptr;
    try {
        RtMidiIn probe(RtMidi::LINUX_ALSA, std::string(kOwnClientPrefix) + " probe");
        return std::make_unique<RtBackend>(RtMidi::LINUX_ALSA);
    } catch (...) { return nullptr; }
}

}  // namespace

std::unique_ptr<Backend> makeLoopbackBackend(int ports) {
    std::vector<std::string> names;
    // Tests may name the ports themselves ('|' between names) to exercise
    // the naming rules; output k is wired to input k either way.
    const char* env = std::getenv("MIDIKIT_LOOPBACK_NAMES");
    if (ports > 0 && env && *env) {
        std::string all = env;
        size_t from = 0;
        for (;;) {
            size_t bar = all.find('|', from);
            names.push_back(all.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
            if (bar == std::string::npos) break;
            from = bar + 1;
        }
    } else {
        for (int i = 1; i <= ports; ++i) names.push_back("Loopback " + std::to_string(i));
    }
    return std::make_unique<LoopbackBackend>(std::move(names));
}

std::unique_ptr<Backend> chooseBackend() {
    // Our JACK client never starts a server on its own; this makes sure
    // libjack does not either.
    setenv("JACK_NO_START_SERVER", "1", 0);

    const char* env = std::getenv("MIDIKIT_BACKEND");
    std::string forced = env ? env : "";
    std::unique_ptr<Backend> b;
    if (forced == "none") return std::make_unique<NoBackend>();
    if (forced == "loopback") return makeLoopbackBackend(4);
    if (forced == "alsa") {
        b = tryAlsa(true);
        return b ? std::move(b) : std::make_unique<NoBackend>();
    }
    if (forced == "jack") return makeJackBackend();
    // A JACK server that runs (or is there but does not answer yet) is
    // where the machine's MIDI is meant to go;
    // else the ALSA sequencer; else JACK all the same: the server that
    // starts later, with no ports until then.
    auto jack = makeJackBackend();
    if (jack->serverRunning() || jack->serverSilent()) return jack;
    if ((b = tryAlsa(false))) return b;
    return jack;
}

}  // namespace morvelant::driver
