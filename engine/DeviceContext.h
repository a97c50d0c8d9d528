// The model of the device with the notifications it publishes, the routing
// tables and the engine over them, created together. The composition root
// creates one and hands its parts to the windows; tests and tools create
// their own.
#pragma once

#include <string>
#include <utility>

#include "engine/Engine.h"
#include "engine/MidiRouting.h"
#include "model/DeviceModel.h"
#include "model/Notifications.h"

namespace morvelant {

struct DeviceContext {
    explicit DeviceContext(std::string programPath = {}) : Model(std::move(programPath)) {
        Model.Notices = &Notices;
        for (int f = 0; f < kFaderCount; ++f) {
            Model.FaderStates[static_cast<size_t>(f)].Index = f;
            Model.KeyStates[static_cast<size_t>(f)].Index = f;
        }
    }
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;
    ~DeviceContext() { Model.Notices = nullptr; }

    Notifications Notices;
    DeviceModel Model;
    MidiRouting Routing;
    Engine DeviceEngine{Model, Routing, Notices};
};

}  // namespace morvelant
