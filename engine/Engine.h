// The context every engine operation works in: the device model, the routing
// tables of the MIDI settings, and the notifications through which the
// engine tells the windows what to show. The engine owns none of them.
#pragma once

#include <functional>

#include "driver/MidiKit32.h"
#include "engine/MidiRouting.h"
#include "engine/PeerBoxes.h"
#include "model/DeviceModel.h"
#include "model/Notifications.h"

namespace morvelant {

struct Engine {
    Engine(DeviceModel& model, MidiRouting& routing, Notifications& notices)
        : Model(model), Routing(routing), Notices(notices) {}

    DeviceModel& Model;
    MidiRouting& Routing;
    Notifications& Notices;
    // The boxes that the MIDI ports' input raises, one at a time.
    PeerBoxLine PeerBoxes;

    // When set, every event the engine puts to an output port goes here
    // instead of to the port's output component (tests, tools).
    std::function<void(int port, const MidiEvent& event)> OutputSink;
};

// Puts one event to output port 0..49 through its output component (or the
// sink). A port number outside the table or without a component is ignored.
// Returns false only when the port refused the event (its queue was full);
// most senders, like the toolkit's single-event senders, ignore that.
// heardOn: the input the event is being passed thru from (it then keeps its
// timing: one period after it came in, where the MIDI system keeps time).
bool PutToPort(Engine& engine, int port, const MidiEvent& event, const TMidiKitIn* heardOn = nullptr);

// Sends one event to output port 0..49 as the editor's senders do: lights
// the MIDI-out lamp, logs it in the monitor and puts it. An event for a port
// that has gone (or while the server is stopped) goes nowhere and is neither
// shown nor counted.
void SendToPort(Engine& engine, int port, const MidiEvent& event, const TMidiKitIn* heardOn = nullptr);

}  // namespace morvelant
