#include "engine/DumpSending.h"

#include "model/PresetFiles.h"

namespace morvelant {

namespace {

DumpSendResult PutDump(Engine& engine, const SysexBuffer& dump) {
    const int port = engine.Routing.DeviceOutPort();
    if (port < 0) return DumpSendResult::NoDevice;
    for (const MidiEvent& event : dump) {
        if (!PutToPort(engine, port, event)) return DumpSendResult::Refused;
        engine.Notices.MidiOutActivity.Publish();
        engine.Notices.MonitorLine.Publish(port, event, false, -1);
    }
    return DumpSendResult::Sent;
}

}  // namespace

DumpSendResult SendPresetDump(Engine& engine, int slot) {
    if (engine.Routing.DeviceOutPort() < 0) return DumpSendResult::NoDevice;
    SysexBuffer dump;
    BuildPresetValueDump(engine.Model, dump, slot, slot);
    BuildPresetTextDump(engine.Model, dump, slot, slot);
    return PutDump(engine, dump);
}

DumpSendResult SendPatternDump(Engine& engine, int slot) {
    if (engine.Routing.DeviceOutPort() < 0) return DumpSendResult::NoDevice;
    SysexBuffer dump;
    BuildPatternDump(engine.Model, dump, slot, slot);
    return PutDump(engine, dump);
}

std::string SendReminderText(const std::string& word, int slot) {
    return "You must use \"Get " + word + " " + std::to_string(slot + 1) + "\"\n on the Morvelant to use this " + word;
}

std::string SendRefusedText(const std::string& word, int slot) {
    return word + " " + std::to_string(slot + 1) +
        " could not be sent completely!\nThe PC->Morvelant port did not accept all of it.";
}

DumpSendResult SendSlotDump(Engine& engine, EditorFileKind kind, int slot) {
    return kind == EditorFileKind::Presets ? SendPresetDump(engine, slot) : SendPatternDump(engine, slot);
}

const char* SlotWord(EditorFileKind kind) { return kind == EditorFileKind::Presets ? "Preset" : "Pattern"; }

DumpSendResult DeviceReady(const Engine& engine) {
    return engine.Routing.DeviceOutPort() >= 0 ? DumpSendResult::Sent : DumpSendResult::NoDevice;
}

std::string SendFailureText(DumpSendResult result, EditorFileKind kind, int slot) {
    if (result == DumpSendResult::NoDevice) return kind == EditorFileKind::Presets ? kPresetNotSent : kPatternNotSent;
    if (result == DumpSendResult::Refused) return SendRefusedText(SlotWord(kind), slot);
    return {};
}

}  // namespace morvelant
