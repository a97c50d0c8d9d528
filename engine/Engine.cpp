#include "engine/Engine.h"

#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"

namespace morvelant {

bool PutToPort(Engine& engine, int port, const MidiEvent& event, const TMidiKitIn* heardOn) {
    if (port < 0 || port >= kMaxPorts) return true;
    if (engine.OutputSink) {
        engine.OutputSink(port, event);
        return true;
    }
    TMidiKitOut* out = engine.Routing.Out[port];
    if (!out) return true;
    MidiEvent copy = event;  // the toolkit takes a non-const pointer
    return heardOn ? out->PutThru(&copy, heardOn) : out->Put(&copy);
}

void SendToPort(Engine& engine, int port, const MidiEvent& event, const TMidiKitIn* heardOn) {
    if (!engine.Routing.Reaches(port)) return;
    engine.Notices.MidiOutActivity.Publish();
    engine.Notices.MonitorLine.Publish(port, event, false, heardOn ? heardOn->Tag : -1);
    PutToPort(engine, port, event, heardOn);
}

}  // namespace morvelant
