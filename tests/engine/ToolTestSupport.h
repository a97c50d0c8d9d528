// A model, routing tables and window call-outs for engine tests: every event
// the engine puts to a port is captured instead of sent.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "engine/Engine.h"
#include "engine/Tool.h"
#include "tests/support/ControllerFader.h"
#include "tests/support/MidiEvents.h"

namespace morvelant::tooltest {

struct SentEvent {
    int port;
    MidiEvent event;
};

using testsupport::Ev;

inline bool Same(const MidiEvent& a, const MidiEvent& b) {
    return a.time == b.time && a.status == b.status && a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3;
}

inline std::string Text(const MidiEvent& e) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "[%08X %02X %02X %02X]", e.time, e.status, e.data1, e.data2);
    return buf;
}

// What the engine tells the windows, as recorded by listeners on the topics.
struct RecordingHooks {
    DeviceModel* Model = nullptr;
    int OutActivity = 0;
    std::vector<SentEvent> Logged;
    std::vector<std::pair<int, int>> FaderPositions;  // (fader, position)
    std::vector<int> ParameterPositions;
    std::vector<int> ParameterValues;
    std::vector<bool> UpdatingWhileMoving;  // the guard at each move of a control
    std::vector<std::pair<int, bool>> Lamps;
    std::vector<Subscription> subscriptions;

    void Listen(Notifications& n) {
        subscriptions.push_back(n.MidiOutActivity.Subscribe([this] { ++OutActivity; }));
        subscriptions.push_back(n.MonitorLine.Subscribe([this](int port, const MidiEvent& event, bool incoming, int) {
            EXPECT_FALSE(incoming);
            Logged.push_back({port, event});
        }));
        subscriptions.push_back(n.FaderPosition.Subscribe([this](int fader, int position) {
            FaderPositions.emplace_back(fader, position);
            UpdatingWhileMoving.push_back(Model->Updating);
        }));
        subscriptions.push_back(n.ParameterFaderPosition.Subscribe([this](int position) {
            ParameterPositions.push_back(position);
            UpdatingWhileMoving.push_back(Model->Updating);
        }));
        subscriptions.push_back(
            n.ParameterFaderValue.Subscribe([this](int value) { ParameterValues.push_back(value); }));
        subscriptions.push_back(n.KeyLamp.Subscribe([this](int key, bool on) { Lamps.emplace_back(key, on); }));
    }
};

class ToolFixture : public ::testing::Test {
protected:
    DeviceModel model;
    MidiRouting routing;
    Notifications notices;
    RecordingHooks hooks;
    Engine engine{model, routing, notices};
    std::vector<SentEvent> sent;

    void SetUp() override {
        hooks.Model = &model;
        hooks.Listen(notices);
        model.Notices = &notices;
        model.ScreenFaderPosition.fill(127);
        engine.OutputSink = [this](int port, const MidiEvent& e) { sent.push_back({port, e}); };
        routing.NumOutDevs = 4;
        routing.NumInDevs = 4;
        routing.Out1DeviceFlags[0] = true;
        routing.In1DeviceFlags[0] = true;
        model.SelectedPreset = 0;
        model.SelectedFader = 23;
    }

    Morvelant_Parameters& P() { return model.Presets[0]; }
    FaderState& F(int f) { return model.FaderStates[f]; }
    KeyState& K(int k) { return model.KeyStates[k]; }

    // Fader f: a full-range Control Change 7 on output 1, in the given
    // pick-up mode, started at value `start` (motor faders take the value).
    void Fader(int f, int mode, int threshold, int start, int min = 0, int max = 127) {
        testsupport::SetControllerFader(P(), f, 7, mode, threshold, start, min, max);
        P().SwitchMode(f) = 2;
        F(f).TakeInitialValue = true;
        Reset(engine, F(f), f);
        Reset(engine, K(f), f);
    }

    // Resets fader f and its key from the preset, taking the preset's value.
    void Restart(int f) {
        F(f).TakeInitialValue = true;
        Reset(engine, F(f), f);
        Reset(engine, K(f), f);
    }

    // Moves fader f of a full-range fader to value v (position 127 - v).
    void MoveTo(int f, int v) { FaderMoved(engine, F(f), 127 - v, false); }

    std::vector<int> SentValues() const {
        std::vector<int> v;
        for (const auto& s : sent) v.push_back(s.event.data2);
        return v;
    }
};

}  // namespace morvelant::tooltest
