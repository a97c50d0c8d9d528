// A virtual device window that brings its own device context (model,
// notifications, routing, engine), for tests that build the window alone.
#pragma once

#include <memory>
#include <string>

#include "engine/DeviceContext.h"
#include "shell/Main.h"

namespace morvelant::testsupport {

struct ContextHolder {
    explicit ContextHolder(std::string programPath)
        : Context(std::make_unique<DeviceContext>(std::move(programPath))) {}
    std::unique_ptr<DeviceContext> Context;
};

class OwningMainForm : public ContextHolder, public TMainForm {
public:
    explicit OwningMainForm(std::string programPath, CommandRegistry* commands = nullptr)
        : ContextHolder(std::move(programPath)), TMainForm(Context->DeviceEngine, commands) {}
    Notifications& Notices() { return Context->Notices; }
};

}  // namespace morvelant::testsupport
