// End to end over a JACK server: fader moves and event strings leave through
// the real output component and driver library and reach another client.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <rtmidi/RtMidi.h>

#include "engine/Engine.h"
#include "engine/Tool.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitOut.h"

namespace morvelant::tooljack {
namespace {

using Message = std::vector<unsigned char>;

std::string ExePath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return std::string(path, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string ServerName() {
    const char* server = std::getenv("MORVELANT_JACK_SERVER");
    return server && *server ? server : "morvelant-test";
}

bool JackReachable() {
    const char* running = std::getenv("MORVELANT_JACK_RUNNING");
    if (running && std::string(running) == "0") return false;
    // jack_wait -c exits with 0 either way; its answer is what it prints.
    FILE* pipe = ::popen(("jack_wait -s '" + ServerName() + "' -c 2>/dev/null").c_str(), "r");
    if (!pipe) return false;
    char line[64] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    return got && std::string(line).rfind("running", 0) == 0;
}

void EnsureApp() {
    static int argc = 1;
    static char name[] = "engine_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// A small JACK client with one MIDI input port that records what arrives.
class Peer {
public:
    explicit Peer(const std::string& client) : in_(RtMidi::UNIX_JACK, client) {
        in_.ignoreTypes(false, false, false);
        in_.setCallback(&Peer::Receive, this);
        in_.openVirtualPort("in");
    }
    ~Peer() { in_.closePort(); }

    // Waits until `count` messages arrived (the limit only keeps a broken
    // test from hanging), then returns all of them.
    std::vector<Message> WaitFor(size_t count) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < limit) {
            {
                std::lock_guard lock(mx_);
                if (got_.size() >= count) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::lock_guard lock(mx_);
        return got_;
    }

    // Timing clocks are the handshake of Connect and are not recorded.
    int Clocks() {
        std::lock_guard lock(mx_);
        return clocks_;
    }

private:
    static void Receive(double, std::vector<unsigned char>* message, void* self) {
        auto* peer = static_cast<Peer*>(self);
        std::lock_guard lock(peer->mx_);
        if (message->size() == 1 && (*message)[0] == 0xF8)
            ++peer->clocks_;
        else
            peer->got_.push_back(*message);
    }
    RtMidiIn in_;
    std::mutex mx_;
    std::vector<Message> got_;
    int clocks_ = 0;
};

class ToolJack : public ::testing::Test {
protected:
    void SetUp() override {
        if (!JackReachable()) GTEST_SKIP() << "JACK server '" << ServerName() << "' not reachable";
        ::setenv("JACK_DEFAULT_SERVER", ServerName().c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        // The driver library picks its backend and lists its ports once per
        // process. When another test of this process loaded it already, this
        // test runs again in a process of its own.
        const std::string lib = ExePath().substr(0, ExePath().rfind('/')) + "/libMidiKit32.so";
        if (!std::getenv("TOOL_JACK_CHILD") && ::dlopen(lib.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
            rerun_ = true;
            return;
        }
        ::setenv("MIDIKIT_BACKEND", "jack", 1);
        EnsureApp();
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
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string filter = std::string(info->test_suite_name()) + "." + info->name();
        const std::string cmd = "TOOL_JACK_CHILD=1 '" + ExePath() + "' --gtest_filter=" + filter;
        EXPECT_EQ(std::system(cmd.c_str()), 0) << "the test failed in its own process";
        return false;
    }

    void Fader(int f, int mode, int threshold, int start, int controller) {
        auto& p = model_.Presets[0];
        p.FaderMin(f) = 0;
        p.FaderMax(f) = 127;
        p.FaderValue(f) = start;
        p.FaderThreshold(f) = threshold;
        p.ActiveMode(f) = 0x80 + mode;
        p.FaderMidiMode(f) = 1;
        p.MasterSlaveMode(f) = 0;
        p.FaderOutMode(f) = 0;
        p.FaderStatus(f) = 0xB0;
        p.FaderMidiData1(f) = controller;
        p.FaderMidiData2(f) = 128;
        model_.FaderStates[f].TakeInitialValue = true;
        Reset(engine_, model_.FaderStates[f], f);
    }
    void MoveTo(int f, int value) { FaderMoved(engine_, model_.FaderStates[f], 127 - value, false); }

    std::string client_ = "ToolPeer" + std::to_string(::getpid());
    bool rerun_ = false;
    DeviceModel model_;
    MidiRouting routing_;
    Engine engine_{model_, routing_, nullptr};
    std::unique_ptr<Peer> peer_;
    std::unique_ptr<TMidiKit> kit_;
    std::unique_ptr<TMidiKitOut> out_;
    int port_ = -1;
};

TEST_F(ToolJack, EachPickupModeSendsWhatItsTableSays) {
    if (!RunHere()) return;
    Fader(0, 0, 8, 64, 20);   // Immediate: 60 and 70 stay within the dead zone
    Fader(1, 1, 0, 100, 21);  // Relative: stored value + value, at most 127
    Fader(2, 2, 8, 100, 22);  // Catch: silent until within 92..108
    for (int v : {60, 70, 56, 60}) MoveTo(0, v);
    for (int v : {40, 20}) MoveTo(1, v);
    for (int v : {80, 91, 92, 50}) MoveTo(2, v);

    const std::vector<Message> want = {{0xB0, 20, 56}, {0xB0, 20, 60}, {0xB0, 21, 127},
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
