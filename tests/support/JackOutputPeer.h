// An output component of the driver library opened to a peer client on the
// JACK test server, settled (the peer hears it) and entered in a routing
// table as the PC-to-device port and an output-1 port.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "engine/MidiRouting.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitOut.h"
#include "tests/support/JackPeer.h"

namespace morvelant::testsupport {

struct JackOutputPeer {
    std::unique_ptr<JackPeer> peer;
    std::unique_ptr<TMidiKit> kit;
    std::unique_ptr<TMidiKitOut> out;
    int port = -1;

    // Fails the current test (fatally) when the peer cannot be reached.
    void Open(const std::string& client, MidiRouting& routing) {
        peer = std::make_unique<JackPeer>(JackPeer::Setup{.in = client, .splitClocks = true});
        kit = std::make_unique<TMidiKit>();
        routing.NumOutDevs = std::min(static_cast<int>(kit->pGetNumOutDevices()), kMaxPorts);
        for (int j = 0; j < routing.NumOutDevs; ++j) {
            char name[32] = {};
            kit->pGetMidiOutDescription(static_cast<uint32_t>(j), name);
            if (std::string(name).find(client) != std::string::npos) port = j;
        }
        ASSERT_GE(port, 0) << "the peer's port is not offered by the driver";
        out = std::make_unique<TMidiKitOut>();
        out->MidiKit = kit.get();
        ASSERT_TRUE(out->Open(static_cast<uint16_t>(port), MIDIKIT_OPEN_ARGUMENT));
        // A new JACK connection takes effect some cycles later: clocks until
        // the peer hears one.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (peer->Clocks() == 0 && std::chrono::steady_clock::now() < limit) {
            MidiEvent clock{MIDIKIT_TIME_NOW, 0xF8, 0, 0, 0};
            out->Put(&clock);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_GT(peer->Clocks(), 0) << "the peer never heard the output";
        routing.Out[std::size_t(port)] = out.get();
        routing.Out1DeviceFlags[std::size_t(port)] = true;
        routing.PCMorvelantDeviceIndex = port;
    }

    ~JackOutputPeer() {
        if (out && out->IsOpen()) out->Close();
        out.reset();
        kit.reset();
        peer.reset();
    }
};

}  // namespace morvelant::testsupport
