// Shared helpers of the toolkit tests: one QCoreApplication for the queued
// calls, access to the scripted stand-in library, waiting on the event loop.
#ifndef TESTS_MIDIKIT_MIDIKITTESTSUPPORT_H
#define TESTS_MIDIKIT_MIDIKITTESTSUPPORT_H

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver/MidiKit32.h"
#include "midikit/MidiKitDLL.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackPeer.h"
#include "tests/support/KitPorts.h"
#include "tests/support/QtTestApp.h"

namespace morvelant::test {

inline QCoreApplication* App() { return testsupport::CoreApp(); }

using testsupport::ExeFolder;

// Runs the event loop until pred holds or the wait limit passes; the result
// is pred's last value. The limit only keeps a broken test from hanging.
inline bool PumpUntil(const std::function<bool()>& pred, int limitMs = 5000) {
    App();
    return testsupport::PumpUntil(pred, limitMs);
}

// Lets queued calls run for a short while (to show that nothing arrives).
inline void PumpFor(int ms) {
    App();
    testsupport::PumpFor(ms);
}

inline std::string VariantFolder(const std::string& name) { return ExeFolder() + "/variants/" + name; }

// The scripting side of a loaded stand-in library (same instance as the
// root component's, found with RTLD_NOLOAD).
class StubControl {
public:
    explicit StubControl(const std::string& path) { handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD); }
    ~StubControl() {
        if (handle) ::dlclose(handle);
    }
    StubControl(const StubControl&) = delete;
    StubControl& operator=(const StubControl&) = delete;
    bool Loaded() const { return handle != nullptr; }

    template <typename F>
    F Fn(const char* name) const {
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
    void PushIn(uint32_t time, uint8_t status, uint8_t d1 = 0, uint8_t d2 = 0) const {
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
    StubKit() {
        App();
        TMidiKit::SetLibraryFolder(VariantFolder("full"));
        kit = std::make_unique<TMidiKit>();
        control = std::make_unique<StubControl>(kit->LibraryPath());
        control->Reset();
    }
    ~StubKit() {
        control.reset();
        kit.reset();
        TMidiKit::SetLibraryFolder("");
    }
    std::unique_ptr<TMidiKit> kit;
    std::unique_ptr<StubControl> control;
};

// The real driver library from the program folder, on its loopback backend
// (4 ports each way, output k wired to input k).
inline std::unique_ptr<TMidiKit> LoopbackKit() {
    App();
    ::setenv("MIDIKIT_BACKEND", "loopback", 1);
    TMidiKit::SetLibraryFolder("");
    return std::make_unique<TMidiKit>();
}

using testsupport::JackReachable;
using testsupport::JackTestServerName;

// The real driver library on the JACK server.
inline std::unique_ptr<TMidiKit> JackKit() {
    App();
    testsupport::UseJackServer();
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    TMidiKit::SetLibraryFolder("");
    return std::make_unique<TMidiKit>();
}

// A plain MIDI client on the JACK server with one input and one output port,
// standing for a device on the other end of the toolkit's ports. Port names
// as the toolkit lists them contain InName() and OutName().
class JackPeer : public testsupport::JackPeer {
public:
    explicit JackPeer(const std::string& tag)
        : testsupport::JackPeer({.in = Client(tag) + "i", .out = Client(tag) + "o"}), client(Client(tag)) {}
    std::string InName() const { return client + "i:in"; }
    std::string OutName() const { return client + "o:out"; }
    static std::string Client(const std::string& tag) { return "pr" + tag + std::to_string(::getpid()); }

    const std::string client;
};

// The exception text that f throws, or "(no exception)".
inline std::string Thrown(const std::function<void()>& f) {
    try {
        f();
    } catch (const EMidiKitException& e) { return e.what(); }
    return "(no exception)";
}

using testsupport::FindPort;
using testsupport::FindListedPort;

}  // namespace morvelant::test

#endif
