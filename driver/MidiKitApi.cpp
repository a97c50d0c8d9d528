// The exported C entry points for ports, queues and the sync clock. Every one
// accepts 0 and stale handles, and none lets an exception out.
#include "driver/DriverInternal.h"

#include <cstring>

using namespace morvelant::driver;

namespace {

constexpr uint16_t kVersion = 0x0240;

Driver* driverOrNull() {
    try {
        return &Driver::instance();
    } catch (...) { return nullptr; }
}

void describe(const std::optional<PortEntry>& entry, char* buffer32) {
    if (!buffer32) return;
    std::memset(buffer32, 0, 32);
    if (entry) std::memcpy(buffer32, entry->display.data(), std::min<size_t>(entry->display.size(), 31));
}

template <class T>
std::shared_ptr<T> lookup(uint32_t handle, Object::Kind kind) {
    if (handle == 0) return nullptr;
    Driver* d = driverOrNull();
    return d ? d->get<T>(handle, kind) : nullptr;
}

void closeHandle(uint32_t handle, Object::Kind kind) {
    if (handle == 0) return;
    Driver* d = driverOrNull();
    if (!d) return;
    if (auto object = d->remove(handle, kind)) object->shutdown(true);
}

}  // namespace

extern "C" {

// ---------------------------------------------------------------- ports

MIDIKIT_API uint16_t GetMidiKitVersion(void) { return kVersion; }

MIDIKIT_API uint32_t GetNumInDevices(void) {
    Driver* d = driverOrNull();
    return d ? uint32_t(d->inputs().size()) : 0;
}

MIDIKIT_API uint32_t GetNumOutDevices(void) {
    Driver* d = driverOrNull();
    return d ? uint32_t(d->outputs().size()) : 0;
}

MIDIKIT_API void GetMidiInDescription(uint32_t port, char* buffer32) {
    try {
        Driver* d = driverOrNull();
        if (d)
            describe(d->input(port), buffer32);
        else if (buffer32)
            buffer32[0] = 0;
    } catch (...) {}
}

MIDIKIT_API void GetMidiOutDescription(uint32_t port, char* buffer32) {
    try {
        Driver* d = driverOrNull();
        if (d)
            describe(d->output(port), buffer32);
        else if (buffer32)
            buffer32[0] = 0;
    } catch (...) {}
}

MIDIKIT_API void SetMidiKitNotify(MidiKitNotifyTarget* notify) {
    try {
        if (Driver* d = driverOrNull()) d->setNotify(notify);
    } catch (...) {}
}

MIDIKIT_API uint32_t GetMidiInPresent(uint32_t port) {
    try {
        Driver* d = driverOrNull();
        auto entry = d ? d->input(port) : std::nullopt;
        return entry && entry->present ? 1 : 0;
    } catch (...) { return 0; }
}

MIDIKIT_API uint32_t GetMidiOutPresent(uint32_t port) {
    try {
        Driver* d = driverOrNull();
        auto entry = d ? d->output(port) : std::nullopt;
        return entry && entry->present ? 1 : 0;
    } catch (...) { return 0; }
}

MIDIKIT_API uint32_t GetMidiKitServer(void) {
    try {
        Driver* d = driverOrNull();
        if (!d) return 0;
        return d->backend().serverRunning() ? 1 : d->backend().serverSilent() ? 2 : 0;
    } catch (...) { return 0; }
}

MIDIKIT_API uint32_t GetMidiPortName(uint32_t output, uint32_t port, uint32_t which, char* buffer, uint32_t size) {
    try {
        if (buffer && size > 0) buffer[0] = 0;
        Driver* d = driverOrNull();
        auto entry = !d ? std::nullopt : output ? d->output(port) : d->input(port);
        if (!entry) return 0;
        std::string name = entry->full;
        if (which > 0) {
            const auto aliases = d->backend().aliases(entry->raw);
            if (which > aliases.size()) return 0;
            name = listedAlias(aliases[which - 1]);
        }
        if (buffer && size > 0) {
            const size_t n = std::min<size_t>(name.size(), size - 1);
            std::memcpy(buffer, name.data(), n);
            buffer[n] = 0;
        }
        return uint32_t(name.size());
    } catch (...) { return 0; }
}

MIDIKIT_API uint32_t GetMidiPortSerial(uint32_t output, uint32_t port) {
    try {
        Driver* d = driverOrNull();
        auto entry = !d ? std::nullopt : output ? d->output(port) : d->input(port);
        return entry ? entry->serial : 0;
    } catch (...) { return 0; }
}

MIDIKIT_API uint32_t GetMidiPortsLeftOut(uint32_t output) {
    try {
        Driver* d = driverOrNull();
        return d ? uint32_t(d->leftOut(output != 0)) : 0;
    } catch (...) { return 0; }
}

MIDIKIT_API void ConnectMidiPort(uint32_t output, uint32_t port) {
    try {
        Driver* d = driverOrNull();
        auto entry = !d ? std::nullopt : output != 0 ? d->output(port) : d->input(port);
        if (entry) d->backend().connectAgain(output == 0, entry->raw);
    } catch (...) {}
}

MIDIKIT_API const char* GetMidiKitSystem(void) {
    try {
        Driver* d = driverOrNull();
        return d ? d->backend().name() : "none";
    } catch (...) { return "none"; }
}

MIDIKIT_API uint32_t GetMidiKitPipeWire(void) {
    try {
        Driver* d = driverOrNull();
        if (d && std::strcmp(d->backend().name(), "jack") == 0 && jackThroughPipeWire()) return 1;
        return pipeWireLacksJack() ? 2 : 0;
    } catch (...) { return 0; }
}

// ---------------------------------------------------------------- input

MIDIKIT_API uint32_t OpenMidiIn(MidiKitNotifyTarget* notify, uint32_t port, uint32_t /*sync*/,
                                uint32_t /*openArgument*/) {
    try {
        Driver* d = driverOrNull();
        auto entry = d ? d->input(port) : std::nullopt;
        if (!entry) return 0;
        auto in = std::make_shared<MidiInput>();
        if (!in->open(d->backend(), entry->raw, notify)) return 0;
        uint32_t h = d->add(in);
        if (h == 0) in->shutdown(false);
        return h;
    } catch (...) { return 0; }
}

MIDIKIT_API void StartMidiIn(uint32_t handle) {
    try {
        if (auto in = lookup<MidiInput>(handle, Object::Kind::Input)) in->start();
    } catch (...) {}
}

MIDIKIT_API void StopMidiIn(uint32_t handle) {
    try {
        if (auto in = lookup<MidiInput>(handle, Object::Kind::Input)) in->stop();
    } catch (...) {}
}

MIDIKIT_API void CloseMidiIn(uint32_t handle) {
    try {
        closeHandle(handle, Object::Kind::Input);
    } catch (...) {}
}

MIDIKIT_API LPMIDIEVENT GetMidiIn(uint32_t handle) {
    try {
        if (auto in = lookup<MidiInput>(handle, Object::Kind::Input))
            return in->next();  // the event lives in the input until the next call
    } catch (...) {}
    return nullptr;
}

MIDIKIT_API void SetMidiInThru(uint32_t handle, uint32_t version, uint32_t kinds, const uint32_t* outputs,
                               uint32_t count) {
    try {
        auto in = lookup<MidiInput>(handle, Object::Kind::Input);
        if (!in) return;
        std::vector<std::weak_ptr<MidiOutput>> outs;
        for (uint32_t i = 0; outputs && i < count; ++i)
            if (auto out = lookup<MidiOutput>(outputs[i], Object::Kind::Output)) outs.push_back(out);
        in->setThru(version, kinds, std::move(outs));
    } catch (...) {}
}

MIDIKIT_API uint32_t GetMidiInThru(uint32_t handle) {
    try {
        if (auto in = lookup<MidiInput>(handle, Object::Kind::Input)) return in->thruStamp();
    } catch (...) {}
    return 0;
}

// ---------------------------------------------------------------- output

MIDIKIT_API uint32_t OpenMidiOut(MidiKitNotifyTarget* notify, uint32_t port, uint32_t sync, uint32_t /*openArgument*/) {
    try {
        Driver* d = driverOrNull();
        auto entry = d ? d->output(port) : std::nullopt;
        if (!entry) return 0;
        auto clock = lookup<SyncClock>(sync, Object::Kind::Sync);
        auto out = std::make_shared<MidiOutput>();
        if (!out->open(d->backend(), entry->raw, notify, clock)) {
            out->shutdown(false);
            return 0;
        }
        uint32_t h = d->add(out);
        if (h == 0) out->shutdown(false);
        return h;
    } catch (...) { return 0; }
}

MIDIKIT_API uint16_t PutMidiOut(uint32_t handle, LPMIDIEVENT event) {
    try {
        if (!event) return 2;
        if (auto out = lookup<MidiOutput>(handle, Object::Kind::Output)) return out->put(*event);
    } catch (...) {}
    return 2;
}

MIDIKIT_API uint16_t PutMidiThru(uint32_t handle, LPMIDIEVENT event, uint32_t input) {
    try {
        if (!event) return 2;
        auto out = lookup<MidiOutput>(handle, Object::Kind::Output);
        if (!out) return 2;
        auto in = lookup<MidiInput>(input, Object::Kind::Input);
        return out->putThru(*event, in ? in->moment() : kAtOnce, in);
    } catch (...) {}
    return 2;
}

MIDIKIT_API void FlushMidiOut(uint32_t handle) {
    try {
        if (auto out = lookup<MidiOutput>(handle, Object::Kind::Output)) out->flush();
    } catch (...) {}
}

MIDIKIT_API void ResetMidiOut(uint32_t handle) {
    try {
        if (auto out = lookup<MidiOutput>(handle, Object::Kind::Output)) out->reset();
    } catch (...) {}
}

MIDIKIT_API void CloseMidiOut(uint32_t handle) {
    try {
        closeHandle(handle, Object::Kind::Output);
    } catch (...) {}
}

// ---------------------------------------------------------------- sync

MIDIKIT_API uint32_t OpenSync(uint32_t handle, MidiKitNotifyTarget* notify, uint32_t mode, uint32_t period) {
    try {
        if (handle != 0) {
            auto clock = lookup<SyncClock>(handle, Object::Kind::Sync);
            if (!clock) return 0;
            clock->configure(notify, mode, period);
            return handle;
        }
        Driver* d = driverOrNull();
        if (!d) return 0;
        auto clock = std::make_shared<SyncClock>();
        clock->begin(notify, mode, period);
        uint32_t h = d->add(clock);
        if (h == 0) clock->shutdown(false);
        return h;
    } catch (...) { return 0; }
}

MIDIKIT_API void StartSync(uint32_t handle) {
    try {
        if (auto clock = lookup<SyncClock>(handle, Object::Kind::Sync)) clock->start();
    } catch (...) {}
}

MIDIKIT_API void ReStartSync(uint32_t handle) {
    try {
        if (auto clock = lookup<SyncClock>(handle, Object::Kind::Sync)) clock->restart();
    } catch (...) {}
}

MIDIKIT_API void StopSync(uint32_t handle) {
    try {
        if (auto clock = lookup<SyncClock>(handle, Object::Kind::Sync)) clock->stop();
    } catch (...) {}
}

MIDIKIT_API void CloseSync(uint32_t handle) {
    try {
        closeHandle(handle, Object::Kind::Sync);
    } catch (...) {}
}

MIDIKIT_API void PauseSync(uint32_t handle, uint32_t /*pause*/) {
    // Both values halt the clock where it is, until ReStartSync or StartSync.
    try {
        if (auto clock = lookup<SyncClock>(handle, Object::Kind::Sync)) clock->pause();
    } catch (...) {}
}

MIDIKIT_API uint16_t SetTempo(uint32_t handle, uint32_t microsecondsPerQuarter) {
    try {
        if (auto clock = lookup<SyncClock>(handle, Object::Kind::Sync))
            return clock->setTempo(microsecondsPerQuarter) ? 0 : 1;
    } catch (...) {}
    return 1;
}

MIDIKIT_API uint32_t GetTempo(uint32_t handle) {
    try {
        if (auto clock = lookup<SyncClock>(handle, Object::Kind::Sync)) return clock->tempo();
    } catch (...) {}
    return 0;
}

MIDIKIT_API void SetResolution(uint32_t handle, uint32_t ticksPerQuarter) {
    try {
        if (auto clock = lookup<SyncClock>(handle, Object::Kind::Sync)) clock->setResolution(ticksPerQuarter);
    } catch (...) {}
}

MIDIKIT_API uint32_t GetResolution(uint32_t handle) {
    try {
        if (auto clock = lookup<SyncClock>(handle, Object::Kind::Sync)) return clock->resolution();
    } catch (...) {}
    return 0;
}

MIDIKIT_API uint32_t GetPosition(uint32_t handle, uint32_t* position) {
    try {
        if (auto clock = lookup<SyncClock>(handle, Object::Kind::Sync)) {
            uint32_t p = clock->position();
            if (position) *position = p;
            return 0;
        }
    } catch (...) {}
    if (position) *position = 0;
    return 1;
}

}  // extern "C"
