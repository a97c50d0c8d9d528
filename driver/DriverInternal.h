// Inner workings of the driver library shared by its source files: the
// handle table, the port backends, the input and output ports and the sync
// clock. Nothing here is exported; only the C entry points of MidiKit32.h are.
#ifndef MIDIKIT_DRIVER_INTERNAL_H
#define MIDIKIT_DRIVER_INTERNAL_H

#include "driver/MidiKit32.h"
#include "driver/MidiBytes.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace morvelant::driver {

using SteadyClock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------- backends

class ThruSink;

// An opened input. Destroying it guarantees that the callback is not running
// and will not be called again.
class InputLink {
public:
    virtual ~InputLink() = default;
    // A backend that passes thru on its own cycle takes the input's route
    // (outputs by their OutputLink::thruSink) and returns true; it then
    // stamps every message it hands over (see InputCallback). False: the
    // input passes thru itself as messages are handed over.
    virtual bool setThru(uint32_t /*version*/, uint32_t /*kinds*/, std::vector<std::shared_ptr<ThruSink>> /*outputs*/) {
        return false;
    }
};

// Moments of timed output, on the clock of the MIDI system the ports live
// in: JACK counts time in its frames, and a message due at a moment must go
// out at that moment's frame however far the frames drift from the system
// clock. Where a system has no clock of its own, it is the steady clock.
struct MediaClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<MediaClock>;
    static constexpr bool is_steady = true;
};
using MediaTime = MediaClock::time_point;
inline constexpr MediaTime kAtOnce{};

class TimeBase {
public:
    virtual ~TimeBase() = default;
    virtual MediaTime now() const = 0;
    // When t is expected on the steady clock, which threads sleep by.
    virtual SteadyClock::time_point expected(MediaTime t) const = 0;
    // How long before its moment a timed message is handed over: a backend
    // that writes each message at its own moment takes it early, so that a
    // sending thread woken late still meets the moment.
    virtual MediaClock::duration lead() const { return MediaClock::duration::zero(); }
};

// Called by a backend for every complete message (or a continuation piece of
// a long system-exclusive message) that arrives on an opened input, with the
// moment it arrived on the steady clock and on the backend's time base
// (kAtOnce where the backend does not schedule output by time: what is
// passed thru then goes at once). No bytes (size 0): the input lost a
// source (a connection, the peer, the server) just here, so a message under
// way there ends unfinished, and what follows cannot complete it. `thru`:
// for a backend that passes thru itself, the route's version in force when
// the message came in, times 2, plus 1 when it was passed; else
// kThruNotDecided.
using InputCallback = std::function<void(const uint8_t* data, size_t size, SteadyClock::time_point at,
                                         MediaTime moment, uint32_t thru)>;
inline constexpr uint32_t kThruNotDecided = UINT32_MAX;

// The steady clock as a time base.
std::shared_ptr<const TimeBase> steadyTimeBase();

// Threads that sleep until a moment (the clock's, the timed outputs') keep
// better time with real-time scheduling where the system allows it; without
// the right, the calling thread stays an ordinary one.
void preferRealTime();

// An opened output. send() is only ever called from one thread at a time;
// due is the moment a timed message is meant to go out, which a backend that
// schedules by time keeps; kAtOnce (the epoch) sends as soon as it can.
class OutputLink {
public:
    virtual ~OutputLink() = default;
    // passedThru: due is the moment it came in on an input (a backend that
    // writes by time merges such messages of several inputs by it).
    virtual void send(const uint8_t* data, size_t size, MediaTime due, bool passedThru = false) = 0;
    // A message of the timed path, of the given run (runs count flushes).
    // A backend that holds timed messages until their moment drops, once
    // told that a run began, what it still holds of the runs before: a
    // stopped score goes quiet at once, even on a server running late.
    virtual void sendTimed(const uint8_t* data, size_t size, MediaTime due, uint32_t /*run*/) {
        send(data, size, due, false);
    }
    // Called under the output's lock: they must not wait.
    virtual void beginRun(uint32_t /*run*/) {}
    // What was handed over is not all out yet (and will go).
    virtual bool holding() { return false; }
    // Where a backend that passes thru on its own cycle writes this output's
    // thru; none elsewhere.
    virtual std::shared_ptr<ThruSink> thruSink() { return nullptr; }
};

// What a backend reports of its own accord, from a thread of its own.
enum class BackendEvent { PortsChanged, ServerGone, ServerBack };

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* name() const = 0;
    // Raw port names in the backend's own order, our own ports excluded.
    virtual std::vector<std::string> inputNames() = 0;
    virtual std::vector<std::string> outputNames() = 0;
    // Open by raw name; nullptr when the port is gone or cannot be opened.
    virtual std::unique_ptr<InputLink> openInput(const std::string& raw, InputCallback callback) = 0;
    virtual std::unique_ptr<OutputLink> openOutput(const std::string& raw) = 0;
    // Other names the system knows a port by (JACK's aliases), raw.
    virtual std::vector<std::string> aliases(const std::string& /*raw*/) { return {}; }
    // Whether the MIDI system the ports live in runs (a JACK server may stop).
    virtual bool serverRunning() const { return true; }
    // Whether a server is there but has not answered the first client yet
    // (a stopped server): the ports come when it answers.
    virtual bool serverSilent() const { return false; }
    // The clock that timed output is scheduled by.
    virtual std::shared_ptr<const TimeBase> timeBase() { return steadyTimeBase(); }
    // Where the backend reports port list changes and a server that stops or
    // returns; null: nowhere. Returns only when no report is under way.
    virtual void setListener(std::function<void(BackendEvent)>) {}
    // Ports renamed (raw names, from and to) that the name lists read since
    // the last call showed.
    virtual std::vector<std::pair<std::string, std::string>> takeRenames() { return {}; }
    // Raw names of the ports that something of this library holds open.
    virtual std::vector<std::string> opened() { return {}; }
    // Connects what this library holds open on port `raw` to it again, as
    // their open did, whatever was undone since.
    virtual void connectAgain(bool /*input*/, const std::string& /*raw*/) {}
};

// Chooses the backend: MIDIKIT_BACKEND = alsa | jack | loopback | none forces
// one; otherwise a running JACK server, else the ALSA sequencer, else JACK
// waiting for a server.
std::unique_ptr<Backend> chooseBackend();
std::unique_ptr<Backend> makeLoopbackBackend(int ports);
// One client for the whole program on the JACK server, waiting for a server
// when none runs yet.
std::unique_ptr<Backend> makeJackBackend();

// PipeWire's socket, as PipeWire's own clients find it: PIPEWIRE_REMOTE (a
// name, or a whole path), else "pipewire-0", in PIPEWIRE_RUNTIME_DIR, else
// XDG_RUNTIME_DIR. Empty without a runtime folder.
struct PipeWireSocket {
    std::string folder, name;
    std::string path() const { return folder.empty() ? std::string() : folder + "/" + name; }
};
PipeWireSocket pipeWireSocket();
// libjack is loaded at run time (JackLoader.cpp): whether the library in use
// is PipeWire's, and whether the last client that could not be opened found
// PipeWire running without its JACK library.
bool jackThroughPipeWire();
bool pipeWireLacksJack();

// The prefix of every client name the library registers with a MIDI system,
// so that another process using this library does not list our ports.
inline constexpr const char* kOwnClientPrefix = "MidiKit";

// ---------------------------------------------------------------- port names

inline constexpr size_t kMaxPorts = 50;
inline constexpr size_t kMaxNameBytes = 31;
// A full name: what a port is known by, whatever order ports appear in.
inline constexpr size_t kMaxFullNameBytes = 255;

struct PortEntry {
    std::string raw;  // the backend's name, used to open the port
    std::string display;  // the short name of the original interface (31 bytes)
    std::string full;  // the whole name, by the same rules as display
    bool present = true;  // false: the port has gone; it keeps its place
    uint32_t serial = 0;  // which port holds the place: new when another port takes it
};

// Turns raw names into the listed ports: our own ports left out, at most
// kMaxPorts, names in Windows-1252, unique regardless of case, at most
// kMaxNameBytes bytes, never "no device", never containing '=' and fit to be
// keys of the editor's configuration file.
std::vector<PortEntry> makePortList(const std::vector<std::string>& raw);
// Brings a list up to date with the ports there now: a port keeps its number
// and name for the whole run, a port that went is marked absent (and present
// again when it returns), a new port is added at the end while there is
// room, else in the place of a port that went that is not in `opened`;
// leftOut counts the ports that found no place. True when anything changed.
bool mergePortList(std::vector<PortEntry>& list, const std::vector<std::string>& raw,
                   const std::vector<std::string>& opened = {}, size_t* leftOut = nullptr);
// Follows renamed ports (raw names, from and to): each keeps its place.
bool renamePorts(std::vector<PortEntry>& list, const std::vector<std::pair<std::string, std::string>>& renames);
// A raw name (an alias) by the rules of listed names, not made unique.
std::string listedAlias(const std::string& raw);

// ---------------------------------------------------------------- notify

// A copied notify target and the gate that keeps notifications from being
// delivered after the owning object was closed.
class Notifier {
public:
    void set(const MidiKitNotifyTarget* target);
    // Calls the target unless closed; never holds a lock the caller may need,
    // only the gate that close() waits on.
    void post(uint32_t message);
    // After close() returns, post() never reaches the target again (unless
    // close() is called from inside the target, which is allowed).
    void close();

private:
    std::mutex gate_;
    std::atomic<bool> closed_{false};
    std::atomic<std::thread::id> posting_{};
    MidiKitNotifyTarget target_{nullptr, nullptr};
};

// ---------------------------------------------------------------- objects

class Object {
public:
    enum class Kind { Input, Output, Sync };
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    // Ends the object: no notification after it returns.
    virtual void shutdown(bool orderly) = 0;
    const Kind kind;
};

class SyncClock;
class MidiOutput;

class MidiInput final : public Object, public std::enable_shared_from_this<MidiInput> {
public:
    MidiInput();
    ~MidiInput() override;
    bool open(Backend& backend, const std::string& raw, const MidiKitNotifyTarget* notify);
    void start();
    void stop();
    MidiEvent* next();
    // When the event next() last returned arrived, on the backend's time base.
    MediaTime moment();
    void shutdown(bool orderly) override;

    void receive(const uint8_t* data, size_t size, SteadyClock::time_point at, MediaTime moment,
                 uint32_t thru);  // backend thread

    // Thru passed by the input itself (SetMidiInThru), and for the event
    // next() last returned: (version << 1) | passed.
    void setThru(uint32_t version, uint32_t kinds, std::vector<std::weak_ptr<MidiOutput>> outputs);
    uint32_t thruStamp();

    // The queue holds at most this many events (a few seconds of a fast
    // source for a program that is busy): what comes beyond is dropped, up
    // to the start of the next message, and said once on stderr.
    static constexpr size_t kMaxQueued = 256u * 1024u;

private:
    void push(const MidiEvent& e, MediaTime moment, uint32_t stamp);
    std::mutex mx_;
    struct Queued {
        MidiEvent event;
        MediaTime moment;
        uint32_t thru;
    };
    uint32_t currentThru_ = 0;
    uint32_t thruVersion_ = 0;
    uint32_t thruKinds_ = 0;
    std::vector<std::weak_ptr<MidiOutput>> thruOutputs_;
    // Passing thru itself: the rest of a system-exclusive message whose
    // route changed while it was under way is not passed.
    bool thruSkip_ = false;
    bool dropping_ = false;  // the queue was full: the rest of the message is dropped
    bool saidDropped_ = false;
    std::deque<Queued> queue_;
    MidiEvent current_{};
    MediaTime currentMoment_ = kAtOnce;
    bool started_ = false;
    bool notified_ = false;
    bool inSysex_ = false;
    SteadyClock::time_point startTime_{};
    uint64_t lastMs_ = 0;
    Notifier notifier_;
    std::unique_ptr<InputLink> link_;
    // The thread delivering this input's messages right now, if any. A plain
    // member rather than thread-local data: the library is loaded at run
    // time, and dynamic thread-local blocks of such libraries trip up the
    // leak checker's thread scan.
    std::atomic<std::thread::id> delivering_{};
};

class MidiOutput final : public Object, public std::enable_shared_from_this<MidiOutput> {
public:
    MidiOutput();
    ~MidiOutput() override;
    bool open(Backend& backend, const std::string& raw, const MidiKitNotifyTarget* notify,
              std::shared_ptr<SyncClock> sync);
    uint16_t put(const MidiEvent& e);
    // An event passed thru from an input: at once, but not before the moment
    // it arrived (plus the backend's constant delay), so that the gaps
    // between such events are kept.
    uint16_t putThru(const MidiEvent& e, MediaTime arrived, const std::weak_ptr<const Object>& from);
    // The unfinished system-exclusive message of `from` is dropped: its
    // route changed, and nothing that comes after may complete it.
    void endThru(const std::weak_ptr<const Object>& from);
    std::shared_ptr<ThruSink> thruSink() const { return thruSink_; }
    void putThru(const std::vector<MidiEvent>& events, MediaTime arrived, const std::weak_ptr<const Object>& from);
    void flush();
    void reset();
    void shutdown(bool orderly) override;

    // For the clock.
    void wake();
    // True when nothing timed waits, is being sent or is held by the
    // backend, and no refused put is outstanding (held: only the backend
    // still holds some); activity tells whether timed events were taken
    // since the last flush or run-done.
    void runState(bool& drained, bool& activity, bool& held);
    void clearActivity();
    void restartTicks();  // clock started from 0: an empty queue restarts at tick 0

    static constexpr size_t kTimedCapacity = 512;
    static constexpr size_t kLowWater = 128;
    static constexpr size_t kMaxSysex = 1u << 20;

private:
    struct Timed {
        uint64_t tick;
        MidiEvent event;
    };
    void worker();
    void flushLocked();
    void notesOffLocked();
    void sendMessage(const Bytes& message, MediaTime due, bool passedThru = false, std::optional<uint32_t> run = {});
    // source: the input passed thru from; none for the program's own events.
    void putImmediate(const MidiEvent& e, MediaTime due = kAtOnce, const std::weak_ptr<const Object>& source = {});

    std::mutex mx_;
    std::condition_variable cv_;
    // Messages to go out at once, each with the moment it is due at (kAtOnce
    // or, passed thru, the moment it came in).
    struct Immediate {
        Bytes bytes;
        MediaTime due;
    };
    std::deque<Immediate> immediate_;
    // The immediate system-exclusive messages not ended yet, one per source.
    struct Gathering {
        std::weak_ptr<const Object> source;
        bool passedThru = false;  // from an input, which can go while its message is unfinished
        Bytes bytes;
    };
    std::vector<Gathering> gathering_;
    std::deque<Timed> timed_;
    uint64_t lastTick_ = 0;
    bool timedSysexOpen_ = false;  // a timed F0 was queued, its F7 not yet
    Bytes workerSysex_;  // timed sysex bytes gathered by the worker
    bool workerInSysex_ = false;
    MediaTime lastDue_{};  // when the timed event last sent fell due
    bool notesOff_ = false;  // All Notes Off went out and nothing was put since
    bool refused_ = false;  // buffer-ready owed once below low water
    bool awaitingRefill_ = false;  // the score holds a refused event
    bool activity_ = false;
    bool sending_ = false;
    bool quit_ = false;
    bool abandon_ = false;
    uint64_t wakeups_ = 0;
    uint32_t run_ = 1;  // flushes so far, plus one; never 0
    std::weak_ptr<SyncClock> sync_;
    Notifier notifier_;
    std::unique_ptr<OutputLink> link_;
    std::shared_ptr<ThruSink> thruSink_;  // set at open
    std::thread thread_;
    std::mutex doneMx_;
    std::condition_variable doneCv_;
    bool finished_ = false;
};

class SyncClock final : public Object, public std::enable_shared_from_this<SyncClock> {
public:
    SyncClock();
    ~SyncClock() override;
    void begin(const MidiKitNotifyTarget* notify, uint32_t mode, uint32_t period);
    void configure(const MidiKitNotifyTarget* notify, uint32_t mode, uint32_t period);
    void start();
    void restart();
    void stop();
    void pause();
    bool setTempo(uint32_t usPerQuarter);
    uint32_t tempo();
    void setResolution(uint32_t ticks);
    uint32_t resolution();
    uint32_t position();
    void shutdown(bool orderly) override;

    void attach(const std::shared_ptr<MidiOutput>& out);
    void detach(const MidiOutput* out);
    // When tick is to be handed over now (its moment is within the time
    // base's lead from now): true, and when the clock runs, the moment it
    // falls due. Otherwise false and, when the clock runs, the moment it
    // falls due.
    bool due(uint64_t tick, std::optional<MediaTime>& when);
    // When to wake on the steady clock to hand over what falls due at t.
    SteadyClock::time_point wakeTime(MediaTime t) const;
    // An attached output drained its timed queue: look at run done.
    void poke();

    enum class State { Stopped, Running, Paused };

private:
    void thread();
    double tickAt(MediaTime t) const;  // under mx_
    MediaTime timeOf(double tick) const;  // under mx_
    void reanchor(MediaTime now);  // under mx_
    void wakeOutputs();
    bool checkDone(bool& held);

    std::mutex mx_;
    std::condition_variable cv_;
    State state_ = State::Stopped;
    uint32_t mode_ = 0;
    uint32_t period_ = 10;
    uint32_t tempo_ = 500000;
    uint32_t resolution_ = 480;
    const std::shared_ptr<const TimeBase> time_;  // the backend's
    MediaTime anchorTime_{};
    double anchorTick_ = 0.0;
    uint64_t nextBeat_ = 1;
    uint64_t generation_ = 0;
    bool poked_ = false;
    bool quit_ = false;
    std::vector<std::weak_ptr<MidiOutput>> outputs_;
    Notifier notifier_;
    std::thread thread_;
};

// ---------------------------------------------------------------- driver

class Driver {
public:
    static Driver& instance();
    ~Driver();

    Backend& backend() { return *backend_; }
    // Copies: the lists change when ports come and go.
    std::vector<PortEntry> inputs();
    std::vector<PortEntry> outputs();
    std::optional<PortEntry> input(uint32_t port);
    std::optional<PortEntry> output(uint32_t port);

    // Where port list changes and the server's state are reported.
    void setNotify(const MidiKitNotifyTarget* target);
    // Reads the port lists again; true when they changed.
    bool refresh();
    // Ports of a direction left out of its full list.
    size_t leftOut(bool output);

    uint32_t add(std::shared_ptr<Object> object);
    std::shared_ptr<Object> find(uint32_t handle, Object::Kind kind);
    std::shared_ptr<Object> remove(uint32_t handle, Object::Kind kind);

    template <class T>
    std::shared_ptr<T> get(uint32_t handle, Object::Kind kind) {
        return std::static_pointer_cast<T>(find(handle, kind));
    }

    // Handles stay below the range of the file reader and writer.
    static constexpr uint32_t kFirstHandle = 0x21;
    static constexpr uint32_t kHandleLimit = 0x40000000;

private:
    Driver();
    void onBackend(BackendEvent e);
    std::unique_ptr<Backend> backend_;
    std::mutex listMx_;
    std::vector<PortEntry> inputs_;
    std::vector<PortEntry> outputs_;
    size_t inLeftOut_ = 0, outLeftOut_ = 0;
    Notifier notifier_;
    std::mutex mx_;
    std::unordered_map<uint32_t, std::shared_ptr<Object>> table_;
    uint32_t next_ = kFirstHandle;
};

}  // namespace morvelant::driver

#endif
