// The JACK backend over libjack itself: one client for the whole program,
// named after the program, and one port of that client per opened device,
// named after the peer port it serves, so that the names a patchbay stores
// are the same at every start.
//
// The process callback runs on JACK's real-time thread and only moves bytes
// between the ports' buffers and lock-free ring buffers (JackPort.h): no
// allocation, no lock, no system call. Thru is decided there too
// (CycleThru.h): what an input hears in a cycle goes out on the outputs of
// its route in that same cycle, at its own offset, whatever the program's
// threads are doing. Timed output runs on the server's own clock (see
// JackTimeBase.h): a message due at a moment is written at that moment's
// frame plus one period, so timed output keeps a constant delay and its gaps
// are exact in frames. What is sent at once goes out at the start of the
// next period. Incoming messages carry the time of the frame they arrived
// at, and that frame's moment on the time base: a message the program
// passes thru itself (PutMidiThru) is due at that moment, so it leaves one
// period after it came, at its own offset (one handed over too late goes at
// once).
//
// Connections are the user's as much as ours: an opened port is connected
// to its peer when it opens and when the peer's port appears (registered
// anew, or on a new server), never again because something else changed,
// so what a patchbay connected or undid stays as it was left. A peer port
// that is renamed is followed under its new name.
//
// ---- The threads and their rules
//
// The program's threads (the GUI, each output's sending thread) call open,
// close, names, opened, aliases and send. They never call the server and
// never wait on it: they take mx_ only for the lists of slots and the
// client pointer, which nobody holds while calling the server, and send()
// only writes into a slot's ring. names() and aliases() read the graph
// libjack keeps in the process (no round trip to the server) under mx_, so
// the client cannot be closed under them.
//
// The watcher's thread (watch()) alone calls the server once the session has
// started, always without mx_: it opens and closes the client, registers,
// connects, disconnects and unregisters ports, and waits for cycles, each
// wait bounded. It writes a slot's port only while the process callback
// cannot see it: before the client is activated, while the slot is not
// published, or once the slot (or the client) was taken out of the
// callback's view through the CycleGate and the cycle that may have seen it
// has ended. Its states:
//   Connecting  tries a client now; on the first try at start, start()
//               waits for the answer a while (kFirstAnswer) and returns
//               without one from a server that does not answer (a stopped
//               server): the session then says the server is silent, and
//               tells ServerBack when it answers.
//   Running     a client is open: closed ports leave the graph, opened ports
//               are registered and connected, ports that come, go or are
//               renamed are followed.
//   Gone        the server went: ServerGone is said first, then the dead
//               client is closed.
//   Waiting     no server: the folder where servers put their sockets is
//               watched, and a client is tried when a socket appears or,
//               failing that, now and then.
//
// The reader's thread (deliver()) hands what the inputs received to their
// callbacks, each message with the thru stamp the cycle gave it, woken by
// the process callback (one eventfd write per period at most, and only in a
// period that received something); deliverMx_ lets close() wait until an
// input's callback is not running, and retire() until no pass of the reader
// holds a slot it frees. Thru never waits for it: a reader that
// falls behind loses what its ring cannot hold, never a message of thru.
//
// Thru's settings come from the program's threads (setThru): each input's
// route is made whole there and swapped in with one store (ThruRoutes),
// taken by the cycle as its next cycle begins; a route replaced is freed
// once no cycle can read it. An output takes thru from the cycle that
// first sees it published (its sink is live) until it closes.
//
// JACK's notification thread only sets flags and queues port numbers
// (appearedMx_), then wakes the watcher.
//
// The server changes a port in the graph before its notice reaches us, and
// names() reads the graph: a port renamed, or a departed port's number
// taken by a new one, would show under its new name before the lists are
// told why, and take a row of its own. So names() gives each port (by its
// uuid) the name it gave it last until the watcher takes the notice that
// explains the change (followPorts): the names and the renames the lists
// take always agree.
//
// An input's source can go while a system-exclusive message of it is under
// way (a patchbay takes the connection away, the peer or the server goes):
// what comes after on that port, from the source coming back or another,
// must not complete that message. Whenever a connection of an input goes,
// and before the library connects an input anew, the watcher counts a cut
// on the slot; the process callback puts the cut into the input's ring
// ahead of anything that came in after it, and the reader hands it over in
// its place among the messages (InputCallback with no bytes). JACK mixes
// every connection of a port into one buffer, so which of them a message
// came from cannot be told: any connection that goes cuts the message.
#include "driver/CycleGate.h"
#include "driver/CycleThru.h"
#include "driver/DriverInternal.h"
#include "driver/JackPort.h"
#include "driver/JackServerWatch.h"
#include "driver/JackTimeBase.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <jack/uuid.h>

#include <dlfcn.h>
#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unordered_map>
#include <utility>

namespace morvelant::driver {

namespace {

using namespace jackport;

constexpr size_t kMaxSlots = 2 * kMaxPorts + 28;  // room for ports closed but not yet released
constexpr auto kPoll = std::chrono::microseconds(500);
// Without a server: how often a client is tried when nothing in the socket
// folder says that a server started (a server whose socket lives elsewhere
// is still found), and how often while a new server is getting ready.
constexpr int kRetryWatchedMs = 5000;
constexpr int kRetryUnwatchedMs = 2000;
constexpr int kRetryStartingMs = 200;
constexpr auto kStartingFor = std::chrono::seconds(5);
constexpr int kGoneSettleMs = 50;
constexpr auto kConnectionLive = std::chrono::seconds(1);
constexpr auto kGraphSettle = std::chrono::milliseconds(100);
constexpr auto kLookAgain = std::chrono::milliseconds(250);
// How long the start waits for a server to answer its first client (as long
// as the program gives the MIDI close at exit), and the stop for the watcher
// to end its round (each of its waits ends when the session stops, but a
// call into a server that does not answer).
constexpr auto kFirstAnswer = std::chrono::seconds(2);
constexpr auto kStopWait = std::chrono::seconds(1);

void quiet(const char*) {}

std::string programName() {
    if (const char* env = std::getenv("MIDIKIT_CLIENT_NAME"); env && *env) return env;
    std::string name = program_invocation_short_name ? program_invocation_short_name : "";
    if (name.empty()) name = "MidiKit";
    return name.substr(0, size_t(std::max(1, jack_client_name_size() - 8)));
}

class JackSession;

// A session whose watcher was left waiting on a server that does not answer
// stays for good, held where the program can still reach it (the library
// stays mapped): memory checkers at exit see it kept, not lost.
void keepForGood(std::shared_ptr<JackSession> session) {
    static std::mutex mx;
    static auto* kept = new std::vector<std::shared_ptr<JackSession>>;  // never destroyed: threads use them
    std::lock_guard lock(mx);
    kept->push_back(std::move(session));
}

// Keeps this library mapped for good: a watcher thread left waiting on a
// server that does not answer returns into its code whenever it does.
void keepLibraryMapped() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&keepLibraryMapped), &info) && info.dli_fname)
        ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

class JackSession : public std::enable_shared_from_this<JackSession> {
public:
    JackSession() : base_(programName()), time_(std::make_shared<JackTimeBase>()) {}
    ~JackSession() { stop(); }

    // Returns once the server answered the first client, or did not within
    // kFirstAnswer (a stopped server), or none runs.
    void start() {
        jack_set_error_function(quiet);
        jack_set_info_function(quiet);
        // Watched before the first try, so a server starting in between
        // is not missed.
        folder_ = std::make_unique<ServerFolderWatch>();
        reader_ = std::thread([this] { deliver(); });
        monitor_ = std::thread([this] {
            watch();
            std::lock_guard lock(firstMx_);
            watcherEnded_ = true;
            firstCv_.notify_all();
        });
        std::unique_lock lock(firstMx_);
        if (!firstCv_.wait_for(lock, kFirstAnswer, [&] { return firstAnswered_; })) silent_ = true;
    }

    // The watcher is given kStopWait to end (none while it still waits for
    // the first answer of a server that does not answer): one still waiting
    // on such a server is left to it, with the session.
    void stop() {
        if (stopped_.exchange(true)) return;
        quit_ = true;
        notice_.post();
        received_.post();
        if (reader_.joinable()) reader_.join();
        bool ended;
        {
            std::unique_lock lock(firstMx_);
            ended = firstCv_.wait_for(lock, silent_ ? std::chrono::seconds(0) : kStopWait,
                                      [&] { return watcherEnded_; });
        }
        if (!ended) {
            keepLibraryMapped();
            keepForGood(shared_from_this());  // the thread uses it
            monitor_.detach();
            return;
        }
        if (monitor_.joinable()) monitor_.join();
        // The ports closed last (at the end of a run: all of them) send
        // what they still hold, all in the same periods, then go with the
        // client.
        while (hasRetiring()) retire(true);
        closeClient();
    }

    std::vector<std::string> names(unsigned long flags) {
        std::vector<std::string> out;
        std::lock_guard lock(mx_);
        if (!client_ || gone_) return out;
        const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
        if (!ports) return out;
        const char* own = jack_get_client_name(client_);
        const std::string mine = (own ? own : base_) + ":";
        std::set<std::string> now;
        for (const char** p = ports; *p; ++p) now.insert(*p);
        auto& given = given_[flags == JackPortIsOutput ? 0 : 1];
        std::unordered_map<jack_uuid_t, Given> still;
        for (const char** p = ports; *p; ++p) {
            std::string name = *p;
            if (isOurs(name, mine)) continue;
            const jack_port_t* port = jack_port_by_name(client_, *p);
            if (const jack_uuid_t id = port ? jack_port_uuid(port) : 0) {
                const auto was = given.find(id);
                const bool departed = was != given.end() && was->second.departed;
                // Changed without a notice yet: the name given before,
                // unless another port has it now.
                if (was != given.end() && !departed && !now.count(was->second.name)) name = was->second.name;
                still.emplace(id, Given{name, departed});
            }
            out.push_back(std::move(name));
        }
        jack_free(ports);
        given.swap(still);
        return out;
    }

    std::vector<std::pair<std::string, std::string>> takeRenames() {
        std::lock_guard lock(mx_);
        return std::exchange(renames_, {});
    }

    std::vector<std::string> opened() {
        std::lock_guard lock(mx_);
        std::vector<std::string> peers;
        for (const auto& s : all_) peers.push_back(s->peer);
        return peers;
    }

    // Returns at once. With a server, the watcher's thread registers the
    // port and connects it (see openWaiting); what is sent meanwhile waits
    // in the port's ring. Without, the port is registered and connected
    // when a server comes.
    std::shared_ptr<Slot> open(bool input, const std::string& peer, InputCallback callback) {
        auto slot = std::make_shared<Slot>();
        if (!slot->ring) return nullptr;
        slot->input = input;
        slot->peer = peer;
        slot->callback = std::move(callback);
        if (input) {
            slot->thru = std::make_unique<ThruSource>();
        } else {
            slot->sink = std::make_shared<ThruSink>();
            slot->due.resize(kMaxDue);
            for (auto& side : slot->dueBytes) side.resize(kDueBytes);
        }
        jack_ringbuffer_mlock(slot->ring);
        {
            std::lock_guard lock(mx_);
            // Every slot still to be published takes a place too.
            size_t used = 0;
            for (const auto& p : slots_) used += p.load() != nullptr;
            for (const auto& s : all_) used += !s->published;
            if (used >= kMaxSlots) return nullptr;
            slot->own = ownName(*slot);
            all_.push_back(slot);
            if (!running()) {
                publish(*slot);
                return slot;
            }
            opening_.push_back(slot);
        }
        notice_.post();
        return slot;
    }

    // Returns at once: the watcher's thread connects the opened ports on
    // `peer` again, as it connected them when they opened.
    void connectAgain(bool input, const std::string& peer) {
        {
            std::lock_guard lock(mx_);
            if (!running()) return;
            for (const auto& s : all_)
                if (s->input == input && s->peer == peer &&
                    std::find(opening_.begin(), opening_.end(), s) == opening_.end())
                    opening_.push_back(s);
        }
        notice_.post();
    }

    // Returns at once: the port leaves the graph on the watcher's thread,
    // together with every other port closed meanwhile (an output once it
    // has sent what it still holds: the notes switched off as it closed).
    // An input delivers nothing after this returns.
    void close(const std::shared_ptr<Slot>& slot) {
        {
            std::lock_guard lock(mx_);
            all_.erase(std::remove(all_.begin(), all_.end(), slot), all_.end());
            std::erase(opening_, slot);  // never published
            if (slot->input)
                for (auto& s : slots_)
                    if (s.load() == slot.get()) gate_.hide(s);
            if (slot->sink) slot->sink->live = false;
            retiring_.push_back(slot);
        }
        if (slot->thru) routes_.forget(*slot->thru);
        if (slot->input) std::lock_guard delivering(deliverMx_);
        notice_.post();
    }

    // Worker thread of one output: waits while its ring is full, drops what
    // cannot go anywhere (no server, or the port is closing).
    void send(Slot& slot, const uint8_t* data, size_t size, MediaTime due, bool passedThru, uint32_t run = 0) {
        const bool timed = due != kAtOnce;
        uint32_t server = 0;
        const jack_nframes_t frame = timed ? time_->frameOf(due, server) : 0;
        for (size_t off = 0; off < size; off += kPiece) {
            const size_t n = std::min(kPiece, size - off);
            Record r{timed ? (passedThru ? kPassedThru : kTimed) : 0, uint32_t(n), frame, server, run};
            while (jack_ringbuffer_write_space(slot.ring) < sizeof r + n) {
                if (gone_ || !client_ || quit_ || slot.refused) return;
                std::this_thread::sleep_for(kPoll);
            }
            jack_ringbuffer_write(slot.ring, reinterpret_cast<const char*>(&r), sizeof r);
            jack_ringbuffer_write(slot.ring, reinterpret_cast<const char*>(data + off), n);
        }
    }

    // The input passes thru on the cycle from now on as the route says.
    void setThru(Slot& input, uint32_t version, uint32_t kinds, std::vector<std::shared_ptr<ThruSink>> outputs) {
        routes_.offer(*input.thru, version, kinds, std::move(outputs));
    }

    // The ring still holds messages that a running server will send.
    bool holding(const Slot& slot) const {
        return client_ && !gone_ && !quit_ && !slot.refused &&
            (jack_ringbuffer_read_space(slot.ring) > 0 || slot.carried.load(std::memory_order_relaxed) > 0);
    }

    std::vector<std::string> aliases(const std::string& name) {
        std::vector<std::string> out;
        std::lock_guard lock(mx_);
        if (!client_ || gone_) return out;
        jack_port_t* port = jack_port_by_name(client_, name.c_str());
        if (!port) return out;
        const int size = jack_port_name_size();
        std::vector<char> a(size_t(size) + 1), b(size_t(size) + 1);
        char* both[2] = {a.data(), b.data()};
        const int n = jack_port_get_aliases(port, both);
        for (int i = 0; i < n && i < 2; ++i) out.emplace_back(both[i]);
        return out;
    }

    bool running() const { return client_ != nullptr && !gone_; }
    // A server that took the first client but has not answered yet.
    bool silent() const { return silent_; }
    std::shared_ptr<const TimeBase> timeBase() const { return time_; }

    void setListener(std::function<void(BackendEvent)> listener) {
        std::lock_guard lock(listenerMx_);
        listener_ = std::move(listener);
    }

private:
    enum class State { Connecting, Running, Gone, Waiting };

    // Ports of this program: of our client, of another copy of it (JACK
    // names a second client of a name "name-01"), and of the toolkit's
    // earlier clients.
    bool isOurs(const std::string& port, const std::string& mine) const {
        if (port.rfind(mine, 0) == 0 || port.rfind(kOwnClientPrefix, 0) == 0) return true;
        if (port.rfind(base_ + "-", 0) != 0) return false;
        size_t colon = port.find(':');
        if (colon == std::string::npos || colon <= base_.size() + 1) return false;
        for (size_t i = base_.size() + 1; i < colon; ++i)
            if (!std::isdigit(uint8_t(port[i]))) return false;
        return true;
    }

    // Our port is named after the peer's port ("client:port" becomes
    // "client/port"), so it keeps its name at every start; the same peer
    // served twice gets " #2".
    std::string ownName(const Slot& slot) const {
        std::string base = slot.peer;
        std::replace(base.begin(), base.end(), ':', '/');
        const size_t limit = size_t(std::max(16, jack_port_name_size() - jack_client_name_size() - 8));
        if (base.size() > limit) base.resize(limit);
        std::string name = base;
        for (int k = 2;; ++k) {
            bool taken = false;
            for (const auto& s : all_)
                if (s->input == slot.input && s->own == name) taken = true;
            if (!taken) return name;
            name = base + " #" + std::to_string(k);
        }
    }

    void registerPort(Slot& slot) {
        slot.port = jack_port_register(client_, slot.own.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                       slot.input ? JackPortIsInput : JackPortIsOutput, 0);
        slot.refused = !slot.port;
    }

    // Under mx_: the process callback sees the slot from its next cycle on.
    void publish(Slot& slot) {
        if (slot.published) return;
        for (auto& p : slots_)
            if (!p.load()) {
                gate_.hide(p, &slot);
                slot.published = true;
                if (slot.sink) slot.sink->live = true;
                return;
            }
    }
    // Under mx_: not closed.
    bool isOpen(const Slot& slot) const {
        return std::any_of(all_.begin(), all_.end(), [&](const auto& s) { return s.get() == &slot; });
    }

    // ---- the watcher's thread

    void watch() {
        State state = State::Connecting;
        bool first = true;
        while (!quit_) {
            notice_.clear();
            switch (state) {
            case State::Connecting: state = tryClient(first); break;
            case State::Running: state = serve(); break;
            case State::Gone: state = sayGone(); break;
            case State::Waiting: state = waitForServer(); break;
            }
        }
        if (first) answerFirst();
    }

    // Connecting: a client now. The first try tells start() it answered; a
    // server that answers later, or again, is told as back. A server whose
    // socket is there but that refused the first client (jackd, on a busy
    // machine, still taking down the clients of a program that just ended)
    // is tried again shortly while start() still waits, so that the program
    // starts with its ports rather than without a server.
    State tryClient(bool& first) {
        closeClient();
        const bool back = connect();
        if (!back && first && !silent_ && folder_ && folder_->serverPresent()) {
            nextTry_ = SteadyClock::now() + std::chrono::milliseconds(kRetryStartingMs);
            return State::Waiting;
        }
        const bool late = !first || !answerFirst();
        first = false;
        silent_ = false;
        if (!back) {
            if (!folder_) folder_ = std::make_unique<ServerFolderWatch>();
            scheduleTry();
            return State::Waiting;
        }
        if (late) {
            post(BackendEvent::ServerBack);
            post(BackendEvent::PortsChanged);
        }
        return State::Running;
    }
    // True when start() was still waiting for it.
    bool answerFirst() {
        std::lock_guard lock(firstMx_);
        firstAnswered_ = true;
        firstCv_.notify_all();
        return !silent_;
    }

    // Running: one piece of work per round, the server's going first.
    State serve() {
        if (gone_) return State::Gone;
        folder_.reset();
        if (hasUnplugged()) {
            cutUnplugged();
            return State::Running;
        }
        // A port closed a moment ago may still hold the name that a port
        // opened since takes: it goes first.
        if (hasRetiring()) {
            retire();
            return State::Running;
        }
        if (hasOpening()) {
            openWaiting();
            return State::Running;
        }
        if (portsChanged_.exchange(false)) {
            followPorts();
            // A server busy closing a client of many ports takes the change
            // in later still: the lists are read once more.
            lookAgainAt_ = SteadyClock::now() + kLookAgain;
            return State::Running;
        }
        if (lookAgainAt_ != SteadyClock::time_point{}) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(lookAgainAt_ - SteadyClock::now());
            if (left.count() <= 0) {
                lookAgainAt_ = {};
                post(BackendEvent::PortsChanged);
            } else {
                sleepOn(notice_.fd(), -1, int(left.count()));
            }
            return State::Running;
        }
        sleepOn(notice_.fd(), -1, -1);
        return State::Running;
    }

    // Gone: said before the dead client is closed (closing it may wait on a
    // server that is still going down, and the report must not wait with
    // it).
    State sayGone() {
        // Watched again at once, so that a server starting from now on is
        // not missed. The watch goes while a client is open and comes back
        // here, on this thread, because closing it makes the kernel wait
        // (tens of milliseconds), which must not hold up whoever stops the
        // session.
        folder_ = std::make_unique<ServerFolderWatch>();
        // libjack is still taking the client down on its own threads when it
        // tells; calling into it at once for the dead client (or letting the
        // program do so for its other clients) can crash it. A moment later
        // it is safe.
        sleepOn(-1, -1, kGoneSettleMs);
        portsChanged_ = false;
        post(BackendEvent::ServerGone);
        closeClient();
        // The next server makes itself known; but a server that is still
        // there dropped only our client (PipeWire does when a connection is
        // made to a port that is going at that moment): it is tried again
        // shortly for a while.
        if (folder_->serverPresent()) startingUntil_ = SteadyClock::now() + kStartingFor;
        scheduleTry();
        return State::Waiting;
    }

    // Waiting: until a server's socket appears or the time to try again is
    // up; the entries that other servers and clients make meanwhile only
    // wake this thread.
    State waitForServer() {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextTry_ - SteadyClock::now());
        sleepOn(notice_.fd(), folder_->fd(), int(std::max<int64_t>(left.count(), 0)));
        // A server makes its socket before it takes clients: it is tried
        // again shortly for a while.
        if (folder_->watching() && folder_->serverAppeared()) {
            startingUntil_ = SteadyClock::now() + kStartingFor;
            return State::Connecting;
        }
        if (quit_ || SteadyClock::now() >= nextTry_) return State::Connecting;
        return State::Waiting;
    }
    // The next try: soon while a server that made its socket gets ready
    // (a server gone for good takes its socket away, and is waited for
    // again), else now and then.
    void scheduleTry() {
        const bool starting = SteadyClock::now() < startingUntil_ && folder_->serverPresent();
        nextTry_ = SteadyClock::now() + std::chrono::milliseconds(starting            ? kRetryStartingMs
                                                                  : folder_->watching() ? kRetryWatchedMs
                                                                                        : kRetryUnwatchedMs);
    }

    // Opens our client when a server runs, registers every opened port and
    // connects it. False when no server answered.
    bool connect() {
        jack_status_t status{};
        jack_client_t* c = jack_client_open(base_.c_str(), jack_options_t(JackNoStartServer), &status);
        if (!c) return false;
        time_->measure(c);
        jack_set_process_callback(c, &JackSession::process, this);
        jack_on_info_shutdown(c, &JackSession::shutdown, this);
        // PipeWire's libjack tells only this way; jackd's, only the other
        // way when both are set.
        jack_on_shutdown(c, [](void* self) { shutdown(JackFailure, "", self); }, this);
        jack_set_port_registration_callback(c, &JackSession::portRegistered, this);
        jack_set_port_rename_callback(c, &JackSession::portRenamed, this);
        jack_set_port_connect_callback(c, &JackSession::portConnected, this);
        // From here on a port opened goes to openWaiting; those opened before
        // are registered here, before the client runs a cycle.
        std::vector<std::shared_ptr<Slot>> ports;
        {
            std::lock_guard lock(mx_);
            gone_ = false;
            gate_.hide(client_, c);
            ports = all_;
            // Ports opened for the client before, still waiting for it:
            // registered here with the others.
            for (auto& s : opening_) publish(*s);
            opening_.clear();
        }
        std::vector<Slot*> opened;
        for (auto& s : ports) {
            // Whatever the new server brings is a new stream: a message
            // under way on the last one is never completed by it.
            if (s->input) ++s->cuts;
            registerPort(*s);
            opened.push_back(s.get());
        }
        if (jack_activate(c) != 0) {
            closeClient();
            return false;
        }
        // The time base follows the frames once the client has run a cycle:
        // PipeWire's libjack counts none before.
        waitCycles(gate_.cycles() + 1, SteadyClock::now() + std::chrono::milliseconds(200));
        time_->follow(c);
        linkAll(opened);
        return true;
    }

    // A live client is deactivated first, so that no cycle runs any more;
    // the client is then taken out of the callback's view and a cycle still
    // running (of a server that went, or one deactivate did not wait for) is
    // waited for, before the ports are forgotten.
    void closeClient() {
        jack_client_t* c = client_;
        if (!c) return;
        if (!gone_) jack_deactivate(c);
        {
            std::lock_guard lock(mx_);
            gate_.hide(client_);
            for (auto& given : given_) given.clear();
        }
        waitCycleEnd(gate_.mustEnd());
        {
            std::lock_guard lock(mx_);
            for (auto& s : all_) {
                s->port = nullptr;  // freed with the client
                s->linked = false;
            }
            for (auto& s : retiring_) s->port = nullptr;
        }
        {
            std::lock_guard appeared(appearedMx_);
            appeared_.clear();
            renamed_.clear();
            departed_.clear();
            unplugged_.clear();
        }
        time_->follow(nullptr);
        jack_client_close(c);
    }

    // Registers the ports opened since it last looked, connects them, waits
    // once until all their connections are live and publishes them: an
    // input as soon as it is registered, so that it reads from the first
    // cycle its connection is live in; an output once its connection is
    // live, so that what was sent to it meanwhile, held in its ring, reaches
    // the peer. A port closed meanwhile is not published; one that got a
    // port leaves the graph through retire(). Slots stay alive until
    // retire() (on this thread too) lets them go.
    void openWaiting() {
        std::vector<std::shared_ptr<Slot>> batch;
        {
            std::lock_guard lock(mx_);
            batch.swap(opening_);
        }
        std::vector<Slot*> registered;
        for (const auto& s : batch) {
            if (running() && !s->port) registerPort(*s);  // one to connect again has its port
            if (s->port) registered.push_back(s.get());
        }
        {
            std::lock_guard lock(mx_);
            for (Slot* s : registered)
                if (s->input && isOpen(*s)) publish(*s);
        }
        linkAll(registered);
        // A server that went meanwhile leaves them without a port: the next
        // client registers and connects them like every other opened port.
        std::lock_guard lock(mx_);
        for (const auto& s : batch)
            if (isOpen(*s)) publish(*s);
    }

    // Ports came, went or were renamed: our ports follow renamed peers, are
    // connected to peers that appeared, and the lists are told.
    void followPorts() {
        settle();
        std::vector<jack_port_id_t> appeared, departed;
        std::vector<std::pair<std::string, std::string>> renamed;
        {
            std::lock_guard lock(appearedMx_);
            appeared.swap(appeared_);
            departed.swap(departed_);
            renamed.swap(renamed_);
        }
        std::vector<Slot*> serving;
        {
            std::lock_guard lock(mx_);
            followRenames(renamed);
            // A departed port's number may be a new port's already: it is
            // listed under its own name from now on.
            for (jack_port_id_t id : departed)
                for (auto& given : given_) given[jack_port_uuid_generate(id)].departed = true;
            serving = servingAppeared(appeared);
            // A peer port renamed while our port was being opened (before it
            // could be connected) is connected under its new name; one
            // connected before stays as the user left it.
            for (const auto& [from, to] : renamed)
                for (auto& slot : all_)
                    if (slot->peer == to && slot->port && !slot->linked) serving.push_back(slot.get());
        }
        linkAll(serving);
        post(BackendEvent::PortsChanged);
    }

    // Under mx_: peer ports were renamed; our ports follow them, and the
    // lists are told.
    void followRenames(const std::vector<std::pair<std::string, std::string>>& renamed) {
        for (const auto& [from, to] : renamed) {
            renames_.emplace_back(from, to);
            for (auto& s : all_)
                if (s->peer == from) s->peer = to;
            for (auto& given : given_)
                for (auto& [id, port] : given)
                    if (port.name == from) port.name = to;
        }
    }

    // Under mx_: the opened ports whose peer ports are among those that
    // appeared (by the numbers the server gave them).
    std::vector<Slot*> servingAppeared(const std::vector<jack_port_id_t>& ids) {
        std::vector<Slot*> serving;
        if (!running()) return serving;
        for (jack_port_id_t id : ids) {
            jack_port_t* port = jack_port_by_id(client_, id);
            const char* name = port ? jack_port_name(port) : nullptr;
            if (!name) continue;
            for (auto& s : all_)
                if (s->peer == name) serving.push_back(s.get());
        }
        return serving;
    }

    // The server tells of ports that come and go before the graph that its
    // clients read shows them, which it takes in as a cycle begins: the
    // lists are read two cycles later (or a while later, when the server
    // stalls), and tell what is there then.
    void settle() { waitCycles(gate_.cycles() + 2, SteadyClock::now() + kGraphSettle); }

    // Connects opened ports to their peers (those whose peer is there), then
    // waits for all the new connections at once: the server takes a new
    // connection into the graph that its cycles run at the start of a later
    // cycle, and until then our port's messages do not reach the peer, nor
    // the peer's ours. It returns once they are live (one or two periods),
    // or after a while if one never is.
    void linkAll(const std::vector<Slot*>& slots) {
        if (!running()) return;
        std::vector<Slot*> made;
        for (Slot* s : slots) {
            if (!s->port || !jack_port_by_name(client_, s->peer.c_str())) continue;
            if (jack_port_connected_to(s->port, s->peer.c_str())) {
                s->linked = true;
                continue;
            }
            const char* own = jack_port_name(s->port);
            // What the new connection brings comes after a cut.
            if (s->input) ++s->cuts;
            const int rc =
                s->input ? jack_connect(client_, s->peer.c_str(), own) : jack_connect(client_, own, s->peer.c_str());
            if (rc == 0 || rc == EEXIST) {
                s->linked = true;
                made.push_back(s);
            }
        }
        const auto live = [&] {
            return std::all_of(made.begin(), made.end(),
                               [](Slot* s) { return jack_port_connected_to(s->port, s->peer.c_str()); });
        };
        const auto limit = SteadyClock::now() + kConnectionLive;
        while (!gone_ && !quit_ && !live() && SteadyClock::now() < limit) waitCycles(gate_.cycles() + 1, limit);
    }

    // Takes every connection of the ports that are about to go out of the
    // graph the server's cycles run, before the port goes. The server gives
    // the number of a port that went to the next port registered, at once,
    // while the graph that its cycles still run keeps the old port's
    // connections: an input opened right after an output closed would then
    // read as connected to the input the output fed, and libjack, following
    // those connections for the new port's buffer, goes round between the
    // two inputs in our process callback until the server gives up on the
    // cycle, seconds later. Meanwhile nothing moves. A connection still
    // pending goes too, so none can take effect later.
    void unlink(const std::vector<Slot*>& going) {
        if (going.empty()) return;
        for (Slot* s : going) jack_port_disconnect(client_, s->port);
        const auto limit = SteadyClock::now() + kConnectionLive;
        auto connected = [&] {
            for (Slot* s : going)
                if (jack_port_connected(s->port) > 0) return true;
            return false;
        };
        while (!gone_ && connected() && SteadyClock::now() < limit) waitCycles(gate_.cycles() + 1, limit);
    }

    // Takes the closed ports out of the graph: waits, for all of them at
    // once, until every closed output's ring is empty and the period after
    // the one it last wrote in has passed (a server that stalls holds this
    // up for half a second at most), then unplugs and unregisters them
    // together. Ports closed while it waits join in once they too have
    // nothing left to send, so the ports closed at the end of a run go in
    // one round. With `clientClosing` the ports are left to the client's own
    // close, which takes all of its ports out of the graph at once; without,
    // the round is given up (the ports stay listed) as soon as the client is
    // closing, so that the close waits for one round only.
    void retire(bool clientClosing = false) {
        std::lock_guard retiring(retireMx_);
        const auto limit = SteadyClock::now() + std::chrono::milliseconds(500);
        const auto givenUp = [&] { return !clientClosing && quit_; };
        auto drained = [&] {
            std::lock_guard lock(mx_);
            for (const auto& s : retiring_)
                if (!s->input && s->published && (jack_ringbuffer_read_space(s->ring) > 0 || s->carried.load() > 0))
                    return false;
            return true;
        };
        if (!hasRetiring()) return;
        while (running() && !drained() && SteadyClock::now() < limit && !givenUp())
            waitCycles(gate_.cycles() + 1, limit);
        std::vector<std::shared_ptr<Slot>> going;
        {
            std::lock_guard lock(mx_);
            going = retiring_;
        }
        // What an output wrote into its port in a cycle has reached the peer
        // once the cycle after it has ended too; an output that wrote nothing
        // lately (its notes were switched off a while ago) goes at once.
        uint64_t quietAt = 0;
        for (const auto& s : going)
            if (!s->input) quietAt = std::max(quietAt, s->lastWritten.load() + 2);
        // One period more at least: ports closed together go together, and
        // when the session stops meanwhile (the end of a run closes every
        // port, then the session) they are left to its client's close
        // instead of each leaving the graph on its own first.
        if (!clientClosing) quietAt = std::max(quietAt, gate_.cycles() + 1);
        while (!givenUp() && running() && gate_.cycles() < quietAt && SteadyClock::now() < limit)
            waitCycles(quietAt, limit);
        if (givenUp()) return;
        uint64_t cycleEnd;
        {
            std::lock_guard lock(mx_);
            // Those closed during the last two periods wait for the next
            // round, but inputs, which send nothing.
            for (const auto& s : retiring_)
                if (s->input && std::find(going.begin(), going.end(), s) == going.end()) going.push_back(s);
            std::erase_if(retiring_,
                          [&](const auto& s) { return std::find(going.begin(), going.end(), s) != going.end(); });
            for (auto& p : slots_)
                for (const auto& s : going)
                    if (p.load() == s.get()) gate_.hide(p);
            cycleEnd = gate_.mustEnd();
        }
        // The reader walks the same slots (outputs too, to pass them by): a
        // pass that took one of these before it was hidden is over once its
        // lock is free.
        { std::lock_guard delivering(deliverMx_); }
        waitCycleEnd(cycleEnd);
        if (!clientClosing) {
            std::vector<Slot*> plugged;
            for (const auto& s : going)
                if (s->port && running()) plugged.push_back(s.get());
            unlink(plugged);
            for (Slot* s : plugged) jack_port_unregister(client_, s->port);
        }
        for (const auto& s : going) s->port = nullptr;
    }

    // Sleeps until the process callback has counted `target` cycles, the
    // server went, or the time passed. Woken by the callback itself (one
    // eventfd write per cycle while anybody waits), so it never polls.
    void waitCycles(uint64_t target, SteadyClock::time_point limit) {
        CycleGate::Waiting waiting(gate_);
        while (running() && gate_.cycles() < target) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - SteadyClock::now()).count();
            if (left <= 0) break;
            sleepOn(cycleWake_.fd(), -1, int(left));
            cycleWake_.clear();
        }
    }
    // Until the cycle count reaches target (0: at once). A cycle that runs
    // ends without waiting on anything, on a server that went too; the
    // bound only keeps a callback that libjack never lets finish from
    // holding the close up for ever.
    void waitCycleEnd(uint64_t target) {
        CycleGate::Waiting waiting(gate_);
        const auto limit = SteadyClock::now() + std::chrono::seconds(2);
        while (target != 0 && gate_.cycles() < target && SteadyClock::now() < limit) {
            // Sliced: a server that went ends no cycle that would wake it.
            sleepOn(cycleWake_.fd(), -1, 5);
            cycleWake_.clear();
        }
    }

    void post(BackendEvent e) {
        std::lock_guard lock(listenerMx_);
        if (listener_) listener_(e);
    }

    bool hasRetiring() {
        std::lock_guard lock(mx_);
        return !retiring_.empty();
    }
    bool hasOpening() {
        std::lock_guard lock(mx_);
        return !opening_.empty();
    }
    bool hasUnplugged() {
        std::lock_guard lock(appearedMx_);
        return !unplugged_.empty();
    }

    // Our inputs among the ports that lost a connection count a cut.
    void cutUnplugged() {
        std::vector<jack_port_id_t> ids;
        {
            std::lock_guard lock(appearedMx_);
            ids.swap(unplugged_);
        }
        std::lock_guard lock(mx_);
        if (!running()) return;
        for (jack_port_id_t id : ids) {
            const jack_port_t* port = jack_port_by_id(client_, id);
            for (auto& s : all_)
                if (s->input && port && s->port == port) ++s->cuts;
        }
    }

    // ---- the reader's thread

    // Hands what the inputs received to their callbacks, each input's in
    // order, the inputs in turns of a few messages: a source that floods
    // its input never holds up what another input received.
    void deliver() {
        constexpr int kTurn = 8;
        while (!quit_) {
            sleepOn(received_.fd(), -1, -1);
            received_.clear();
            std::lock_guard lock(deliverMx_);
            for (bool more = true; more && !quit_;) {
                more = false;
                for (auto& p : slots_) {
                    Slot* s = p.load(std::memory_order_acquire);
                    if (!s || !s->input) continue;
                    Record r;
                    for (int n = 0; jack_ringbuffer_read_space(s->ring) >= sizeof r; ++n) {
                        jack_ringbuffer_peek(s->ring, reinterpret_cast<char*>(&r), sizeof r);
                        if (jack_ringbuffer_read_space(s->ring) < sizeof r + r.size) break;
                        if (n == kTurn) {
                            more = true;
                            break;
                        }
                        jack_ringbuffer_read_advance(s->ring, sizeof r);
                        s->scratch.resize(r.size);
                        jack_ringbuffer_read(s->ring, reinterpret_cast<char*>(s->scratch.data()), r.size);
                        const auto at = time_->steadyOf(r.usec);
                        const MediaTime moment = time_->momentOfFrame(r.frame);
                        try {
                            if (s->callback) s->callback(s->scratch.data(), s->scratch.size(), at, moment, r.run);
                        } catch (...) {}
                    }
                    sayThruDropped(*s->thru);
                }
            }
        }
    }

    // What thru could not pass, said once each.
    void sayThruDropped(const ThruSource& thru) {
        if (thru.dropped.load(std::memory_order_relaxed) && !saidThruDropped_.exchange(true))
            std::fprintf(stderr, "MidiKit32: thru found no room for a message on an output; it was dropped\n");
        if (thru.runaway.load(std::memory_order_relaxed) && !saidRunaway_.exchange(true))
            std::fprintf(stderr, "MidiKit32: a system-exclusive message had no end within %zu bytes; it was dropped\n",
                         kThruMaxSysex);
    }

    // ---- JACK's threads

    static int process(jack_nframes_t nframes, void* arg) {
        // PipeWire's libjack ends its process thread by cancelling it (in
        // deactivate), and holds its callback lock while this runs: a cancel
        // acting at one of the writes that wake our readers would leave the
        // cycle half done and that lock held for good, so that the notice
        // deactivate itself raises (our links going) waits for it forever,
        // and deactivate with it. The cycle always runs to its end; a cancel
        // acts after it.
        int cancel = 0;
        pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancel);
        auto* self = static_cast<JackSession*>(arg);
        self->gate_.enter();
        self->cycle(nframes);
        if (self->gate_.leave()) self->cycleWake_.post();
        pthread_setcancelstate(cancel, nullptr);
        return 0;
    }

    // Inputs first: what they pass thru goes out on the outputs in this
    // same cycle, at its offset.
    void cycle(jack_nframes_t nframes) {
        jack_client_t* c = gate_.look(client_);
        if (!c) return;
        const jack_nframes_t start = jack_last_frame_time(c);
        const uint32_t server = time_->server();
        bool received = false;
        time_->cycleBegan(start);
        for (auto& p : slots_) {
            Slot* s = gate_.look(p);
            if (!s || !s->port || !s->input) continue;
            void* buffer = jack_port_get_buffer(s->port, nframes);
            if (!buffer) continue;
            s->thru->follow(gate_);
            const uint32_t cuts = s->cuts.load(std::memory_order_relaxed);
            if (cuts != s->cutsThru) {
                s->cutsThru = cuts;
                s->thru->cut();
            }
            received = takeInput(c, *s, buffer, start, server) || received;
        }
        for (auto& p : slots_) {
            Slot* s = gate_.look(p);
            if (!s || !s->port || s->input) continue;
            if (void* buffer = jack_port_get_buffer(s->port, nframes))
                writeOutput(*s, buffer, start, nframes, gate_.cycles(), server);
        }
        if (received) received_.post();
    }

    // JACK's notification thread (or, for a server that went, any of its
    // threads): a flag, then the watcher's wake-up.
    static void shutdown(jack_status_t, const char*, void* arg) {
        auto* self = static_cast<JackSession*>(arg);
        self->gone_ = true;
        self->notice_.post();
    }
    static void portRegistered(jack_port_id_t id, int registered, void* arg) {
        auto* self = static_cast<JackSession*>(arg);
        {
            std::lock_guard lock(self->appearedMx_);
            (registered ? self->appeared_ : self->departed_).push_back(id);
        }
        self->portsChanged_ = true;
        self->notice_.post();
    }
    // A connection went: its receiving port (ours, or anybody's) is looked
    // at by the watcher.
    static void portConnected(jack_port_id_t, jack_port_id_t to, int connected, void* arg) {
        auto* self = static_cast<JackSession*>(arg);
        if (connected) return;
        {
            std::lock_guard lock(self->appearedMx_);
            self->unplugged_.push_back(to);
        }
        self->notice_.post();
    }
    static void portRenamed(jack_port_id_t, const char* from, const char* to, void* arg) {
        auto* self = static_cast<JackSession*>(arg);
        if (from && to) {
            std::lock_guard lock(self->appearedMx_);
            self->renamed_.emplace_back(from, to);
        }
        self->portsChanged_ = true;
        self->notice_.post();
    }

    const std::string base_;
    const std::shared_ptr<JackTimeBase> time_;
    // The lists of slots, and the client pointer as the program's threads
    // see it; never held while the server is called.
    std::mutex mx_;
    std::atomic<jack_client_t*> client_{nullptr};  // written by the watcher under mx_
    std::atomic<bool> gone_{false};
    std::atomic<bool> quit_{false};
    std::atomic<bool> stopped_{false};
    std::atomic<bool> silent_{false};  // start() gave up waiting for the first answer, none came yet
    std::atomic<bool> portsChanged_{false};
    std::atomic<bool> saidThruDropped_{false};
    std::atomic<bool> saidRunaway_{false};
    CycleGate gate_;  // the cycles, and what the process callback sees of the client and the slots
    ThruRoutes routes_{gate_};  // what each input passes thru
    std::atomic<Slot*> slots_[kMaxSlots]{};
    std::vector<std::shared_ptr<Slot>> all_;  // the opened ports, published or not
    std::vector<std::shared_ptr<Slot>> opening_;  // opened with a server, not yet taken by the watcher
    std::vector<std::pair<std::string, std::string>> renames_;  // under mx_: not yet taken by the lists
    // Under mx_: the name names() last gave each peer port, by its uuid; [0]
    // the ports that send, [1] those that receive. The departure of a port
    // can be told while the graph still lists it: its number then gives
    // whatever name the graph has, until a read no longer lists it.
    struct Given {
        std::string name;
        bool departed = false;
    };
    std::unordered_map<jack_uuid_t, Given> given_[2];
    std::mutex appearedMx_;  // taken on JACK's notification thread
    std::vector<jack_port_id_t> appeared_;  // ports registered since the watcher last looked
    std::vector<jack_port_id_t> departed_;  // ports unregistered since then
    std::vector<std::pair<std::string, std::string>> renamed_;  // ports renamed since then (from, to)
    std::vector<jack_port_id_t> unplugged_;  // ports that lost a connection since then
    std::vector<std::shared_ptr<Slot>> retiring_;  // closed, still in the graph
    std::mutex retireMx_;  // one retire() at a time
    Wake cycleWake_;  // the process callback ended a cycle while somebody waited
    std::mutex deliverMx_;
    std::mutex listenerMx_;
    std::function<void(BackendEvent)> listener_;
    // The watcher's own: the folder watch (while no client is open) and its
    // times.
    std::unique_ptr<ServerFolderWatch> folder_;
    SteadyClock::time_point startingUntil_{}, nextTry_{}, lookAgainAt_{};
    // The first answer, and the watcher's end, as start() and stop() wait
    // for them.
    std::mutex firstMx_;
    std::condition_variable firstCv_;
    bool firstAnswered_ = false;
    bool watcherEnded_ = false;
    Wake notice_;  // a callback set gone_ or portsChanged_, or a port opened or closed
    Wake received_;  // the process callback put messages into an input ring
    std::thread monitor_;
    std::thread reader_;
};

class JackInputLink final : public InputLink {
public:
    JackInputLink(std::shared_ptr<JackSession> session, std::shared_ptr<Slot> slot)
        : session_(std::move(session)), slot_(std::move(slot)) {}
    ~JackInputLink() override { session_->close(slot_); }
    bool setThru(uint32_t version, uint32_t kinds, std::vector<std::shared_ptr<ThruSink>> outputs) override {
        session_->setThru(*slot_, version, kinds, std::move(outputs));
        return true;
    }

private:
    std::shared_ptr<JackSession> session_;
    std::shared_ptr<Slot> slot_;
};

class JackOutputLink final : public OutputLink {
public:
    JackOutputLink(std::shared_ptr<JackSession> session, std::shared_ptr<Slot> slot)
        : session_(std::move(session)), slot_(std::move(slot)) {}
    ~JackOutputLink() override { session_->close(slot_); }
    void send(const uint8_t* data, size_t size, MediaTime due, bool passedThru) override {
        session_->send(*slot_, data, size, due, passedThru);
    }
    void sendTimed(const uint8_t* data, size_t size, MediaTime due, uint32_t run) override {
        session_->send(*slot_, data, size, due, false, run);
    }
    void beginRun(uint32_t run) override { slot_->run.store(run, std::memory_order_release); }
    std::shared_ptr<ThruSink> thruSink() override { return slot_->sink; }
    bool holding() override { return session_->holding(*slot_); }

private:
    std::shared_ptr<JackSession> session_;
    std::shared_ptr<Slot> slot_;
};

class JackBackend final : public Backend {
public:
    explicit JackBackend(std::shared_ptr<JackSession> session) : session_(std::move(session)) {}
    ~JackBackend() override {
        session_->setListener(nullptr);
        session_->stop();
    }
    const char* name() const override { return "jack"; }
    std::vector<std::string> inputNames() override { return session_->names(JackPortIsOutput); }
    std::vector<std::string> outputNames() override { return session_->names(JackPortIsInput); }
    std::unique_ptr<InputLink> openInput(const std::string& raw, InputCallback callback) override {
        auto slot = session_->open(true, raw, std::move(callback));
        return slot ? std::make_unique<JackInputLink>(session_, std::move(slot)) : nullptr;
    }
    std::unique_ptr<OutputLink> openOutput(const std::string& raw) override {
        auto slot = session_->open(false, raw, nullptr);
        return slot ? std::make_unique<JackOutputLink>(session_, std::move(slot)) : nullptr;
    }
    std::vector<std::string> aliases(const std::string& raw) override { return session_->aliases(raw); }
    std::vector<std::pair<std::string, std::string>> takeRenames() override { return session_->takeRenames(); }
    std::vector<std::string> opened() override { return session_->opened(); }
    void connectAgain(bool input, const std::string& raw) override { session_->connectAgain(input, raw); }
    bool serverRunning() const override { return session_->running(); }
    bool serverSilent() const override { return session_->silent(); }
    std::shared_ptr<const TimeBase> timeBase() override { return session_->timeBase(); }
    void setListener(std::function<void(BackendEvent)> listener) override {
        session_->setListener(std::move(listener));
    }

private:
    std::shared_ptr<JackSession> session_;
};

}  // namespace

std::unique_ptr<Backend> makeJackBackend() {
    auto session = std::make_shared<JackSession>();
    session->start();
    return std::make_unique<JackBackend>(std::move(session));
}

}  // namespace morvelant::driver
