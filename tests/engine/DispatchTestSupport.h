// A model, routing tables and recording window call-outs for the tests of the
// MIDI input dispatch, learn and the MIDI-file dumps.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "engine/Engine.h"
#include "engine/MidiInDeviceUnit.h"
#include "model/SysexCodec.h"
#include "tests/support/MidiEvents.h"
#include "tests/support/QtTestApp.h"

namespace morvelant::dispatchtest {

inline void EnsureApp() { testsupport::CoreApp(); }

// Incoming events here carry time 0 unless a test says otherwise.
inline MidiEvent Ev(uint8_t status, uint8_t d1 = 0, uint8_t d2 = 0, uint32_t time = 0) {
    return testsupport::Ev(status, d1, d2, time);
}

inline std::string Text(const MidiEvent& e) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "[%08X %02X %02X %02X]", e.time, e.status, e.data1, e.data2);
    return buf;
}

struct PortEvent {
    int port;
    MidiEvent event;
    bool operator==(const PortEvent& o) const {
        return port == o.port && event.time == o.event.time && event.status == o.event.status &&
            event.data1 == o.event.data1 && event.data2 == o.event.data2;
    }
};
inline std::ostream& operator<<(std::ostream& os, const PortEvent& p) { return os << p.port << ":" << Text(p.event); }

// What the engine tells the windows, as recorded by listeners on the topics.
struct RecordingHooks {
    DeviceModel* Model = nullptr;
    int InActivity = 0;
    int OutActivity = 0;
    std::vector<PortEvent> LoggedIn;
    std::vector<PortEvent> LoggedOut;
    // Each shown preset: whether events went out since the previous one (the
    // "Preset" key string is sent first when asked and the string is set).
    std::vector<bool> ShownPresets;
    int PresetListShown = 0;
    int PatternEditorsShown = 0;
    std::vector<int> PatternsShown;
    std::vector<std::pair<int, std::vector<uint8_t>>> VellixaImports;
    std::vector<std::string> MonitorNotes;
    std::vector<std::pair<int, int>> LampMoves;
    int LearnEnds = 0;
    std::vector<int> PresetNotes;
    std::vector<int> PatternNotes;
    std::vector<int> PresetData;  // the slots of each PresetDataChanged
    std::vector<int> PatternData;
    std::vector<Subscription> subscriptions;

    void Listen(Notifications& n) {
        auto add = [this](Subscription s) { subscriptions.push_back(std::move(s)); };
        add(n.MidiInActivity.Subscribe([this] { ++InActivity; }));
        add(n.MidiOutActivity.Subscribe([this] { ++OutActivity; }));
        add(n.MonitorLine.Subscribe([this](int port, const MidiEvent& e, bool incoming, int) {
            (incoming ? LoggedIn : LoggedOut).push_back({port, e});
        }));
        add(n.CurrentPresetChanged.Subscribe([this] {
            ShownPresets.push_back(LoggedOut.size() != loggedAtLastShow_);
            loggedAtLastShow_ = LoggedOut.size();
        }));
        add(n.ShowPresetList.Subscribe([this] { ++PresetListShown; }));
        add(n.ShowPatternEditors.Subscribe([this] { ++PatternEditorsShown; }));
        add(n.CurrentPatternChanged.Subscribe([this] { PatternsShown.push_back(Model->SelectedPattern); }));
        add(n.ImportVellixaPreset.Subscribe(
            [this](int slot, std::span<const MidiEvent> dump) { VellixaImports.emplace_back(slot, DumpBytes(dump)); }));
        add(n.CurrentFaderChanged.Subscribe(
            [this](int previous, int fader) { LampMoves.emplace_back(previous, fader); }));
        add(n.LearnEnded.Subscribe([this] { ++LearnEnds; }));
        add(n.MonitorNote.Subscribe([this](const std::string& status, const std::string& detail) {
            MonitorNotes.push_back(status + ": " + detail);
        }));
        add(n.PresetNotesLoaded.Subscribe([this](int slot) { PresetNotes.push_back(slot); }));
        add(n.PatternNotesLoaded.Subscribe([this](int slot) { PatternNotes.push_back(slot); }));
        add(n.PresetDataChanged.Subscribe([this](int slot) { PresetData.push_back(slot); }));
        add(n.PatternDataChanged.Subscribe([this](int slot) { PatternData.push_back(slot); }));
    }

private:
    std::size_t loggedAtLastShow_ = 0;
};

class DispatchFixture : public ::testing::Test {
protected:
    DeviceModel model;
    const DeviceModel fresh;  // what a slot holds before anything is loaded
    MidiRouting routing;
    Notifications notices;
    RecordingHooks hooks;
    Engine engine{model, routing, notices};
    std::vector<PortEvent> sent;
    std::unique_ptr<TMidiDeviceForm> form;

    static constexpr int kDevicePort = 2;

    void SetUp() override {
        EnsureApp();
        hooks.Model = &model;
        hooks.Listen(notices);
        model.Notices = &notices;
        routing.Out1DeviceFlags[1] = true;  // where a "Preset" key string goes
        engine.OutputSink = [this](int port, const MidiEvent& e) { sent.push_back({port, e}); };
        routing.NumInDevs = 4;
        routing.NumOutDevs = 4;
        routing.MorvelantPCDeviceIndex = kDevicePort;
        routing.PCMorvelantDeviceIndex = kDevicePort;
        for (int f = 0; f < kFaderCount; ++f) model.FaderStates[static_cast<size_t>(f)].Index = f;
        form = std::make_unique<TMidiDeviceForm>(engine);
    }

    // One event arriving on input port p through its component's handler.
    void Receive(int port, MidiEvent e) {
        bool accept = true;
        form->MidiKitInMidiData(&e, &accept, port);
    }
    // A whole message of bytes on port p, one event per byte.
    void ReceiveBytes(int port, const std::vector<uint8_t>& bytes) {
        for (uint8_t b : bytes) Receive(port, Ev(0xF0, b));
    }
    void ReceiveDump(int port, const SysexBuffer& dump) { ReceiveBytes(port, DumpBytes(dump)); }
};

}  // namespace morvelant::dispatchtest
