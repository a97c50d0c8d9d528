// End to end over a JACK server: fader moves and event strings leave through
// the real output component and driver library and reach another client.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/Engine.h"
#include "engine/Tool.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitOut.h"
#include "tests/support/ControllerFader.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackPeer.h"
#include "tests/support/QtTestApp.h"

namespace morvelant::tooljack {
namespace {

using Message = std::vector<unsigned char>;
using testsupport::JackTestServerName;

// A small JACK client with one MIDI input port that records what arrives;
// timing clocks are the handshake of SetUp and are counted apart.
class Peer : public testsupport::JackPeer {
public:
    explicit Peer(const std::string& client) : JackPeer({.in = client, .splitClocks = true}) {}

    // Waits until `count` messages arrived (the limit only keeps a broken
    // test from hanging), then returns all of them.
    std::vector<Message> WaitFor(size_t count) {
        JackPeer::WaitFor(count, std::chrono::seconds(10));
        return Messages();
    }
};

class ToolJack : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::JackReachable()) GTEST_SKIP() << "JACK server '" << JackTestServerName() << "' not reachable";
        // The driver library picks its backend and lists its ports once per
        // process. When another test of this process loaded it already, this
        // test runs again in a process of its own.
        if (!std::getenv("TOOL_JACK_CHILD") && testsupport::DriverLoadedHere()) {
            rerun_ = true;
            return;
        }
        ::setenv("MIDIKIT_BACKEND", "jack", 1);
        testsupport::CoreApp();
        peer_ = std::make_unique<Peer>(client_);
        kit_ = std::make_unique<TMidiKit>();

        const int outs = static_cast<int>(kit_->pGetNumOutDevices());
        routing_.NumOutDevs = std::min(outs, kMaxPorts);
        for (int j = 0; j < routing_.NumOutDevs; ++j) {
            char name[32] = {};
            kit_->pGetMidiOutDescription(static_cast<uint32_t>(j), name);
            if (std::string(name).find(client_) != std::string::npos) port_ = j;
        }
        ASSERT_GE(port_, 0) << "the peer's port is not offered by the driver";
        out_ = std::make_unique<TMidiKitOut>();
        out_->MidiKit = kit_.get();
        ASSERT_TRUE(out_->Open(static_cast<uint16_t>(port_), MIDIKIT_OPEN_ARGUMENT));
        // A new JACK connection takes effect some cycles later; what is sent
        // before is lost. Send clocks until the peer hears one.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (peer_->Clocks() == 0 && std::chrono::steady_clock::now() < limit) {
            MidiEvent clock{MIDIKIT_TIME_NOW, 0xF8, 0, 0, 0};
            out_->Put(&clock);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_GT(peer_->Clocks(), 0) << "the peer never heard the output";
        routing_.Out[port_] = out_.get();
        routing_.Out1DeviceFlags[port_] = true;
        model_.SelectedPreset = 0;
    }

    void TearDown() override {
        if (out_ && out_->IsOpen()) out_->Close();
        out_.reset();
        kit_.reset();
        peer_.reset();
    }

    // Runs this test alone in a fresh process; true when it ran here.
    bool RunHere() {
        if (!rerun_) return true;
        EXPECT_EQ(testsupport::RerunThisTestAlone("TOOL_JACK_CHILD=1 "), 0) << "the test failed in its own process";
        return false;
    }

    void Fader(int f, int mode, int threshold, int start, int controller) {
        testsupport::SetControllerFader(model_.Presets[0], f, controller, mode, threshold, start);
        model_.FaderStates[f].TakeInitialValue = true;
        Reset(engine_, model_.FaderStates[f], f);
    }
    void MoveTo(int f, int value) { FaderMoved(engine_, model_.FaderStates[f], 127 - value, false); }

    std::string client_ = "ToolPeer" + std::to_string(::getpid());
    bool rerun_ = false;
    DeviceModel model_;
    MidiRouting routing_;
    Notifications notices_;
    Engine engine_{model_, routing_, notices_};
    std::unique_ptr<Peer> peer_;
    std::unique_ptr<TMidiKit> kit_;
    std::unique_ptr<TMidiKitOut> out_;
    int port_ = -1;
};

TEST_F(ToolJack, EachPickupModeSendsWhatItsTableSays) {
    if (!RunHere()) return;
    Fader(0, 0, 8, 64, 20);  // Immediate: 60 and 70 stay within the dead zone
    Fader(1, 1, 0, 100, 21);  // Relative: stored value + value, at most 127
    Fader(2, 2, 8, 100, 22);  // Catch: silent until within 92..108
    for (int v : {60, 70, 56, 60}) MoveTo(0, v);
    for (int v : {40, 20}) MoveTo(1, v);
    for (int v : {80, 91, 92, 50}) MoveTo(2, v);

    const std::vector<Message> want = {{0xB0, 20, 56},  {0xB0, 20, 60}, {0xB0, 21, 127},
                                       {0xB0, 21, 120}, {0xB0, 22, 92}, {0xB0, 22, 50}};
    EXPECT_EQ(peer_->WaitFor(want.size()), want);
}

TEST_F(ToolJack, EventStringSendsTheLiveValue) {
    if (!RunHere()) return;
    Fader(3, 0, 0, 0, 0);
    model_.Presets[0].FaderStatus(3) = 0xF0;
    model_.Presets[0].FaderString[3] = "B2 0B XX F0 7D XX F7";
    MoveTo(3, 77);
    const std::vector<Message> want = {{0xB2, 0x0B, 77}, {0xF0, 0x7D, 77, 0xF7}};
    EXPECT_EQ(peer_->WaitFor(want.size()), want);
}

}  // namespace
}  // namespace morvelant::tooljack
