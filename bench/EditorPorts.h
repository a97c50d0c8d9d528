// The editor's side of a MIDI benchmark: the driver library, the input
// handler with its routing, and its inputs and output opened on the ports
// of peer clients on the JACK server.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/MidiInDeviceUnit.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "tests/support/KitPorts.h"

namespace morvelant::bench {

struct EditorPorts {
    std::unique_ptr<TMidiKit> kit;
    DeviceModel model;
    MidiRouting routing;
    Notifications notices;
    Engine engine{model, routing, notices};
    std::unique_ptr<TMidiDeviceForm> form;
    std::unique_ptr<TMidiKitOut> out;
    std::vector<int> inputs;

    // Loads the driver library on the JACK backend (it lists the server's
    // ports now: the peers are up before) and sizes the routing to its
    // ports, named `inName` and `outName`, none of them the device's. Empty,
    // or why not.
    std::string Start(const std::string& inName, const std::string& outName) {
        ::setenv("MIDIKIT_BACKEND", "jack", 1);
        try {
            kit = std::make_unique<TMidiKit>();
        } catch (const EMidiKitException& e) {
            return e.what();
        }
        form = std::make_unique<TMidiDeviceForm>(engine);
        routing.NumInDevs = std::min(static_cast<int>(kit->pGetNumInDevices()), kMaxPorts);
        routing.NumOutDevs = std::min(static_cast<int>(kit->pGetNumOutDevices()), kMaxPorts);
        routing.MorvelantPCDeviceIndex = routing.NumInDevs;
        routing.PCMorvelantDeviceIndex = routing.NumOutDevs;
        routing.InNames.assign(size_t(routing.NumInDevs), inName);
        routing.OutNames.assign(size_t(routing.NumOutDevs), outName);
        for (int f = 0; f < kFaderCount; ++f) model.FaderStates[size_t(f)].Index = f;
        return {};
    }

    // Opens and starts the input on the port whose name holds `part`, a
    // thru source: its number, or -1.
    int OpenThruInput(const std::string& part) {
        const int port = testsupport::FindPort(*kit, true, part);
        if (port < 0) return -1;
        TMidiKitIn* in = form->In(port);
        in->MidiKit = kit.get();
        if (!in->Open(static_cast<uint16_t>(port), MIDIKIT_OPEN_ARGUMENT)) return -1;
        in->Start();
        inputs.push_back(port);
        routing.ThruInDeviceFlags[size_t(port)] = true;
        return port;
    }

    // Opens the output on the port whose name holds `part`, thru's
    // destination: its number, or -1.
    int OpenThruOutput(const std::string& part) {
        const int port = testsupport::FindPort(*kit, false, part);
        if (port < 0) return -1;
        out = std::make_unique<TMidiKitOut>();
        out->MidiKit = kit.get();
        if (!out->Open(static_cast<uint16_t>(port), MIDIKIT_OPEN_ARGUMENT)) return -1;
        routing.Out[size_t(port)] = out.get();
        routing.ThruDeviceFlags[size_t(port)] = true;
        return port;
    }

    // Every port and the driver's JACK client closed.
    ~EditorPorts() {
        for (int port : inputs)
            if (form->In(port)->IsOpen()) form->In(port)->Close();
        if (out && out->IsOpen()) out->Close();
        out.reset();
        form.reset();
        kit.reset();
    }
};

}  // namespace morvelant::bench
