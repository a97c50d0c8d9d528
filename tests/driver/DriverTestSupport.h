// Loads a private copy of the driver library for one test, with its backend
// chosen through MIDIKIT_BACKEND, and resolves the port, queue and clock
// entry points the way the toolkit does. A copy (its own file) has its own
// state, so one test process can try several backends; unloading it ends
// whatever the test left open.
#ifndef TESTS_DRIVER_DRIVERTESTSUPPORT_H
#define TESTS_DRIVER_DRIVERTESTSUPPORT_H

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/MidiKit32.h"
#include "tests/support/ExePath.h"
#include "tests/support/JackServer.h"
#include "tests/support/PollUntil.h"

namespace morvelant::drivertest {

using testsupport::ExeFolder;
using testsupport::JackReachable;

struct Kit {
    void* library = nullptr;
    std::string file;
    std::string error;
#define KIT_FN(name) decltype(&::name) name = nullptr
    KIT_FN(GetMidiKitVersion);
    KIT_FN(GetNumInDevices);
    KIT_FN(GetNumOutDevices);
    KIT_FN(GetMidiInDescription);
    KIT_FN(GetMidiOutDescription);
    KIT_FN(OpenMidiIn);
    KIT_FN(StartMidiIn);
    KIT_FN(StopMidiIn);
    KIT_FN(CloseMidiIn);
    KIT_FN(GetMidiIn);
    KIT_FN(OpenMidiOut);
    KIT_FN(PutMidiOut);
    KIT_FN(PutMidiThru);
    KIT_FN(SetMidiInThru);
    KIT_FN(GetMidiInThru);
    KIT_FN(FlushMidiOut);
    KIT_FN(ResetMidiOut);
    KIT_FN(CloseMidiOut);
    KIT_FN(OpenSync);
    KIT_FN(StartSync);
    KIT_FN(ReStartSync);
    KIT_FN(StopSync);
    KIT_FN(CloseSync);
    KIT_FN(PauseSync);
    KIT_FN(SetTempo);
    KIT_FN(GetTempo);
    KIT_FN(SetResolution);
    KIT_FN(GetResolution);
    KIT_FN(GetPosition);
    KIT_FN(SetMidiKitNotify);
    KIT_FN(GetMidiInPresent);
    KIT_FN(GetMidiOutPresent);
    KIT_FN(GetMidiKitServer);
#undef KIT_FN

    bool Ok() const { return library && error.empty(); }

    // backend: the value of MIDIKIT_BACKEND while the copy chooses its ports.
    static std::unique_ptr<Kit> Load(const char* backend) {
        static std::atomic<int> serial{0};
        auto kit = std::make_unique<Kit>();
        namespace fs = std::filesystem;
        fs::path src = fs::path(ExeFolder()) / "libMidiKit32.so";
        kit->file = (fs::temp_directory_path() /
                     ("MidiKit32-test-" + std::to_string(getpid()) + "-" + std::to_string(serial++) + ".so"))
                        .string();
        std::error_code ec;
        fs::copy_file(src, kit->file, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            kit->error = "cannot copy " + src.string() + ": " + ec.message();
            return kit;
        }
        kit->library = dlopen(kit->file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!kit->library) {
            kit->error = dlerror();
            return kit;
        }
#define KIT_RESOLVE(name)                                                          \
    kit->name = reinterpret_cast<decltype(kit->name)>(dlsym(kit->library, #name)); \
    if (!kit->name && kit->error.empty()) kit->error = "missing entry point " #name;
        KIT_RESOLVE(GetMidiKitVersion)
        KIT_RESOLVE(GetNumInDevices)
        KIT_RESOLVE(GetNumOutDevices)
        KIT_RESOLVE(GetMidiInDescription)
        KIT_RESOLVE(GetMidiOutDescription)
        KIT_RESOLVE(OpenMidiIn)
        KIT_RESOLVE(StartMidiIn)
        KIT_RESOLVE(StopMidiIn)
        KIT_RESOLVE(CloseMidiIn)
        KIT_RESOLVE(GetMidiIn)
        KIT_RESOLVE(OpenMidiOut)
        KIT_RESOLVE(PutMidiOut)
        KIT_RESOLVE(PutMidiThru)
        KIT_RESOLVE(SetMidiInThru)
        KIT_RESOLVE(GetMidiInThru)
        KIT_RESOLVE(FlushMidiOut)
        KIT_RESOLVE(ResetMidiOut)
        KIT_RESOLVE(CloseMidiOut)
        KIT_RESOLVE(OpenSync)
        KIT_RESOLVE(StartSync)
        KIT_RESOLVE(ReStartSync)
        KIT_RESOLVE(StopSync)
        KIT_RESOLVE(CloseSync)
        KIT_RESOLVE(PauseSync)
        KIT_RESOLVE(SetTempo)
        KIT_RESOLVE(GetTempo)
        KIT_RESOLVE(SetResolution)
        KIT_RESOLVE(GetResolution)
        KIT_RESOLVE(GetPosition)
        KIT_RESOLVE(SetMidiKitNotify)
        KIT_RESOLVE(GetMidiInPresent)
        KIT_RESOLVE(GetMidiOutPresent)
        KIT_RESOLVE(GetMidiKitServer)
#undef KIT_RESOLVE
        if (kit->Ok()) {
            // The copy reads its port list at first use: do it now, under
            // the backend asked for.
            const char* old = getenv("MIDIKIT_BACKEND");
            std::string saved = old ? old : "";
            setenv("MIDIKIT_BACKEND", backend, 1);
            kit->GetNumInDevices();
            if (old)
                setenv("MIDIKIT_BACKEND", saved.c_str(), 1);
            else
                unsetenv("MIDIKIT_BACKEND");
        }
        return kit;
    }

    ~Kit() {
        if (library) dlclose(library);
        if (!file.empty()) {
            std::error_code ec;
            std::filesystem::remove(file, ec);
        }
    }

    std::vector<std::string> InNames() {
        std::vector<std::string> v;
        for (uint32_t i = 0; i < GetNumInDevices(); ++i) {
            char b[32];
            GetMidiInDescription(i, b);
            v.emplace_back(b);
        }
        return v;
    }
    std::vector<std::string> OutNames() {
        std::vector<std::string> v;
        for (uint32_t i = 0; i < GetNumOutDevices(); ++i) {
            char b[32];
            GetMidiOutDescription(i, b);
            v.emplace_back(b);
        }
        return v;
    }
    static int IndexOf(const std::vector<std::string>& names, const std::string& name) {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return int(i);
        return -1;
    }
    // The port's index once the library lists it, else -1: a library loaded
    // while a busy server is slow to answer lists the ports as the server
    // tells of them.
    int Listed(bool output, const std::string& name) {
        int at = -1;
        testsupport::PollUntil([&] { return (at = IndexOf(output ? OutNames() : InNames(), name)) >= 0; },
                               std::chrono::seconds(20), std::chrono::milliseconds(5));
        return at;
    }
};

// Counts the library's notifications per message number and lets a test
// wait for a count (with a generous limit, never as a timing check).
class Notifications {
public:
    MidiKitNotifyTarget target{&Notifications::notify, this};

    void Reset() {
        std::lock_guard lock(mx_);
        counts_.clear();
        sequence_.clear();
    }
    int Count(uint32_t message) {
        std::lock_guard lock(mx_);
        return counts_[message];
    }
    // The order in which messages arrived.
    std::vector<uint32_t> Sequence() {
        std::lock_guard lock(mx_);
        return sequence_;
    }
    bool WaitFor(uint32_t message, int count, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(mx_);
        return cv_.wait_for(lock, limit, [&] { return counts_[message] >= count; });
    }
    // Runs inside the library's thread, as the toolkit's re-posting would.
    std::function<void(uint32_t)> hook;

private:
    static void notify(void* context, uint32_t message) {
        auto* self = static_cast<Notifications*>(context);
        if (self->hook) self->hook(message);
        {
            std::lock_guard lock(self->mx_);
            self->counts_[message]++;
            self->sequence_.push_back(message);
        }
        self->cv_.notify_all();
    }
    std::mutex mx_;
    std::condition_variable cv_;
    std::map<uint32_t, int> counts_;
    std::vector<uint32_t> sequence_;
};

// Polls until pred holds or the limit passes; for waiting on other threads.
inline bool Eventually(const std::function<bool()>& pred, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return testsupport::PollUntil(pred, limit, std::chrono::milliseconds(2));
}

inline MidiEvent Ev(uint32_t time, uint8_t status, uint8_t d1 = 0, uint8_t d2 = 0) {
    return MidiEvent{time, status, d1, d2, 0};
}

// The events of a system-exclusive message, one byte per event, time 0.
inline std::vector<MidiEvent> SysexEvents(const std::vector<uint8_t>& bytes) {
    std::vector<MidiEvent> v;
    for (uint8_t b : bytes) v.push_back(Ev(0, 0xF0, b));
    return v;
}

inline std::vector<uint8_t> MakeSysex(size_t size, uint8_t seed = 1) {
    std::vector<uint8_t> m(size);
    m[0] = 0xF0;
    for (size_t i = 1; i + 1 < size; ++i) m[i] = uint8_t((i * 7 + seed) & 0x7F);
    m[size - 1] = 0xF7;
    return m;
}

}  // namespace morvelant::drivertest

#endif
