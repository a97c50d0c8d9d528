// Shared helpers of the toolkit tests: one QCoreApplication for the queued
// calls, access to the scripted stand-in library, waiting on the event loop.
#ifndef TESTS_MIDIKIT_MIDIKITTESTSUPPORT_H
#define TESTS_MIDIKIT_MIDIKITTESTSUPPORT_H

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <dlfcn.h>
#include <unistd.h>

#include <RtMidi.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver/MidiKit32.h"
#include "midikit/MidiKitDLL.h"

namespace morvelant::test {

inline QCoreApplication* App()
{
    static int argc = 1;
    static char name[] = "midikit_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance()
                                       ? QCoreApplication::instance()
                                       : new QCoreApplication(argc, argv);
    return app;
}

inline std::string ExeFolder()
{
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string s(path, n > 0 ? static_cast<size_t>(n) : 0);
    return s.substr(0, s.rfind('/'));
}

inline std::string VariantFolder(const std::string& name)
{
    return ExeFolder() + "/variants/" + name;
}

// Runs the event loop until pred holds or the wait limit passes; the result
// is pred's last value. The limit only keeps a broken test from hanging.
inline bool PumpUntil(const std::function<bool()>& pred, int limitMs = 5000)
{
    App();
    QDeadlineTimer deadline(limitMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(200);
    }
    return true;
}

// Lets queued calls run for a short while (to show that nothing arrives).
inline void PumpFor(int ms)
{
    App();
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
}

// The scripting side of a loaded stand-in library (same instance as the
// root component's, found with RTLD_NOLOAD).
class StubControl {
public:
    explicit StubControl(const std::string& path)
    {
        handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    }
    ~StubControl()
    {
        if (handle)
            ::dlclose(handle);
    }
    StubControl(const StubControl&) = delete;
    StubControl& operator=(const StubControl&) = delete;
    bool Loaded() const { return handle != nullptr; }

    template <typename F>
    F Fn(const char* name) const
    {
        return reinterpret_cast<F>(::dlsym(handle, name));
    }
    void Reset() const { Fn<void (*)()>("StubReset")(); }
    void SetVersion(uint16_t v) const { Fn<void (*)(uint16_t)>("StubSetVersion")(v); }
    void SetOpenResult(uint32_t r) const { Fn<void (*)(uint32_t)>("StubSetOpenResult")(r); }
    void SetPutResult(uint16_t r) const { Fn<void (*)(uint16_t)>("StubSetPutResult")(r); }
    MidiKitNotifyTarget* InTarget() const { return Fn<MidiKitNotifyTarget* (*)()>("StubInTarget")(); }
    MidiKitNotifyTarget* OutTarget() const { return Fn<MidiKitNotifyTarget* (*)()>("StubOutTarget")(); }
    MidiKitNotifyTarget* SyncTarget() const { return Fn<MidiKitNotifyTarget* (*)()>("StubSyncTarget")(); }
    uint32_t LastSync() const { return Fn<uint32_t (*)()>("StubLastSync")(); }
    void PushIn(uint32_t time, uint8_t status, uint8_t d1 = 0, uint8_t d2 = 0) const
    {
        Fn<void (*)(uint32_t, uint8_t, uint8_t, uint8_t)>("StubPushIn")(time, status, d1, d2);
    }
    int OutCount() const { return Fn<int (*)()>("StubOutCount")(); }
    const MidiEvent* OutEvents() const { return Fn<const MidiEvent* (*)()>("StubOutEvents")(); }
    std::string Log() const { return Fn<const char* (*)()>("StubLog")(); }

private:
    void* handle = nullptr;
};

// A root component over the full stand-in library, reset to its defaults.
struct StubKit {
    StubKit()
    {
        App();
        TMidiKit::SetLibraryFolder(VariantFolder("full"));
        kit = std::make_unique<TMidiKit>();
        control = std::make_unique<StubControl>(kit->LibraryPath());
        control->Reset();
    }
    ~StubKit()
    {
        control.reset();
        kit.reset();
        TMidiKit::SetLibraryFolder("");
    }
    std::unique_ptr<TMidiKit> kit;
    std::unique_ptr<StubControl> control;
};

// The driver library fixes its backend and port list when it is first used,
// and stays in the process once loaded. A test that needs a backend of its
// own therefore runs alone in a fresh process when the library is already
// loaded here (ctest runs every test alone anyway).
inline bool DriverAlreadyLoaded()
{
    std::string path = ExeFolder() + "/libMidiKit32.so";
    void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h)
        return false;
    ::dlclose(h);
    return true;
}

inline int RerunThisTestAlone()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string cmd = "'" + ExeFolder() + "/" + "midikit_tests' --gtest_filter='" +
                      info->test_suite_name() + "." + info->name() + "'";
    return std::system(cmd.c_str());
}

#define MIDIKIT_IN_FRESH_PROCESS()                                              \
    do {                                                                        \
        if (::morvelant::test::DriverAlreadyLoaded()) {                         \
            ASSERT_EQ(::morvelant::test::RerunThisTestAlone(), 0)               \
                << "the test failed in its own process";                        \
            return;                                                             \
        }                                                                       \
    } while (0)

// The real driver library from the program folder, on its loopback backend
// (4 ports each way, output k wired to input k).
inline std::unique_ptr<TMidiKit> LoopbackKit()
{
    App();
    ::setenv("MIDIKIT_BACKEND", "loopback", 1);
    TMidiKit::SetLibraryFolder("");
    return std::make_unique<TMidiKit>();
}

// The JACK test server's name; JACK clients of this process talk to it.
inline std::string JackServerName()
{
    const char* server = std::getenv("MORVELANT_JACK_SERVER");
    std::string name = (server && *server) ? server : "morvelant-test";
    ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 0);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    return std::getenv("JACK_DEFAULT_SERVER");
}

// Whether the JACK test server answers (tests skip only when it does not).
inline bool JackReachable()
{
    // jack_wait -c exits 0 either way; what it prints tells.
    std::string cmd = "jack_wait -s '" + JackServerName() + "' -c 2>/dev/null | grep -qx running";
    return std::system(cmd.c_str()) == 0;
}

// The real driver library on the JACK server.
inline std::unique_ptr<TMidiKit> JackKit()
{
    App();
    JackServerName();
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    TMidiKit::SetLibraryFolder("");
    return std::make_unique<TMidiKit>();
}

// A plain MIDI client on the JACK server with one input and one output port,
// standing for a device on the other end of the toolkit's ports.
class JackPeer {
public:
    explicit JackPeer(const std::string& tag)
        : client("pr" + tag + std::to_string(::getpid())),
          in(RtMidi::UNIX_JACK, client + "i"),
          out(RtMidi::UNIX_JACK, client + "o")
    {
        in.ignoreTypes(false, false, false);
        in.setCallback(&JackPeer::Received, this);
        in.openVirtualPort("in");
        out.openVirtualPort("out");
    }
    ~JackPeer() { in.cancelCallback(); }

    // Port names as the toolkit lists them contain these.
    std::string InName() const { return client + "i:in"; }
    std::string OutName() const { return client + "o:out"; }

    // Sends a system-exclusive message in pieces the JACK buffers can carry.
    void SendPaced(const std::vector<unsigned char>& bytes, size_t piece = 1024)
    {
        for (size_t off = 0; off < bytes.size(); off += piece) {
            size_t n = std::min(piece, bytes.size() - off);
            out.sendMessage(bytes.data() + off, n);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::vector<std::vector<unsigned char>> Messages()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return messages;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return messages.size();
    }

    const std::string client;
    RtMidiIn in;
    RtMidiOut out;

private:
    static void Received(double, std::vector<unsigned char>* message, void* self)
    {
        auto* peer = static_cast<JackPeer*>(self);
        std::lock_guard<std::mutex> lock(peer->mutex);
        peer->messages.push_back(*message);
    }
    std::mutex mutex;
    std::vector<std::vector<unsigned char>> messages;
};

// The first port whose name contains part, or -1.
inline int FindPort(TMidiKit& kit, bool input, const std::string& part)
{
    uint32_t n = input ? kit.pGetNumInDevices() : kit.pGetNumOutDevices();
    for (uint32_t i = 0; i < n; ++i) {
        char name[32] = {};
        if (input)
            kit.pGetMidiInDescription(i, name);
        else
            kit.pGetMidiOutDescription(i, name);
        if (std::string(name).find(part) != std::string::npos)
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace morvelant::test

#endif
