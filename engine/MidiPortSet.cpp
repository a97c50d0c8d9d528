#include "engine/MidiPortSet.h"

#include <QTimer>

#include <utility>
#include <vector>

#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "midikit/MidiKitSync.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"

namespace morvelant {

int SyncDoneCount = 0;

MidiPortSet::MidiPortSet(MidiPortSetup setup, QObject* owner)
    : QObject(owner),
      Routing(*setup.Routing),
      Ports(Routing),
      configFile_(std::move(setup.ConfigFile)),
      inputs_(std::move(setup.Inputs)) {
    setObjectName(QStringLiteral("MidiPortSet"));
    MidiKit = std::make_unique<TMidiKit>(this);
    MidiKitSync = new TMidiKitSync(this);
    MidiKitSync->setObjectName(QStringLiteral("MidiKitSync"));
    MidiKitSync->MidiKit = MidiKit.get();
    MidiKitSync->OnMidiBeat = [this](TMidiKitSync*) { MidiKitSyncMidiBeat(); };
    MidiKitSync->OnSyncDone = [this](TMidiKitSync*) { MidiKitSyncSyncDone(); };
    Routing.BeatInBar = 0;
    MidiKitSync->Open(0, 10);

    Ports.Enumerate(*MidiKit);
    Ports.ReadPortConfig(TIniFile(configFile_));
    for (int i = 0; i < kMaxPorts; ++i) {
        Routing.In[static_cast<size_t>(i)] = nullptr;
        Routing.Out[static_cast<size_t>(i)] = nullptr;
    }
    TakeInputs(0);
    CreateOutputs(0);
    Ports.UpdatePresence(*MidiKit);
    Ports.UpdateDevices();
    MidiKit->OnPortsChanged = [this] { MidiKitPortsChanged(); };
    MidiKit->OnServerGone = [this] { MidiKitServerGone(); };
    MidiKit->OnServerBack = [this] { MidiKitServerBack(); };
    // Said once the editor is up, not in the middle of its start.
    if (!MidiKit->ServerRunning() || MidiKit->PipeWire() == 2) QTimer::singleShot(0, this, [this] { SayNoServer(); });
    QTimer::singleShot(0, this, [this] { SayPortsLeftOut(); });
}

void MidiPortSet::SayPortsLeftOut() {
    if (MidiKit->PortsLeftOut(true) + MidiKit->PortsLeftOut(false) == 0) {
        portsLeftOutSaid_ = false;  // said again when the lists fill up again
        return;
    }
    if (portsLeftOutSaid_) return;
    portsLeftOutSaid_ = true;
    CurrentDialogs().MessageBox(kPortsLeftOutText, kServerGoneCaption, MessageButtons::Ok, MessageIcon::Warning);
}

void MidiPortSet::SayNoServer() {
    const bool running = MidiKit->ServerRunning();
    const bool withoutJack = MidiKit->PipeWire() == 2;
    if (serverGoneSaid_ || (running && !withoutJack)) return;
    serverGoneSaid_ = true;
    noServerSaid_ = !withoutJack           ? (MidiKit->ServerSilent() ? kServerSilentText : kNoServerText)
                    : running             ? kPipeWireWithoutJackAlsaText
                                          : kPipeWireWithoutJackText;
    // A copy: the box may be closed by a server that comes meanwhile.
    const std::string text = noServerSaid_;
    CurrentDialogs().MessageBox(text, kServerGoneCaption, MessageButtons::Ok, MessageIcon::Warning);
}

std::string MidiPortSet::SystemText() const {
    const std::string name = MidiKit->SystemName();
    std::string text = "MIDI system: ";
    if (name == "jack")
        text += MidiKit->PipeWire() == 1 ? "JACK (PipeWire)" : "JACK";
    else if (name == "alsa")
        text += "ALSA sequencer";
    else if (name.empty())
        text += "unknown";
    else
        text += name;
    if (!MidiKit->ServerRunning()) text += " (no server running)";
    return text;
}

void MidiPortSet::QuietOutputs() {
    for (int i = 0; i < Routing.NumOutDevs && i < kMaxPorts; ++i) {
        TMidiKitOut* out = Routing.Out[static_cast<size_t>(i)];
        try {
            if (out != nullptr && out->IsOpen()) out->Reset();
        } catch (...) {}
    }
}

MidiPortSet::~MidiPortSet() {
    TIniFile ini(configFile_);
    Ports.WritePortConfig(ini);
    // The ports go before the root component they call through; each
    // output is reset once as it closes.
    for (int i = 0; i < Routing.NumOutDevs && i < kMaxPorts; ++i) {
        TMidiKitOut*& out = Routing.Out[static_cast<size_t>(i)];
        if (out == nullptr) continue;
        try {
            if (out->IsOpen()) out->Close();
        } catch (...) {}
        delete out;
        out = nullptr;
    }
    for (int i = 0; i < Routing.NumInDevs && i < kMaxPorts; ++i) {
        TMidiKitIn*& in = Routing.In[static_cast<size_t>(i)];
        if (in == nullptr) continue;
        try {
            if (in->IsOpen()) {
                in->Stop();
                in->Close();
            }
        } catch (...) {}
        // The input window outlives the set; its inputs must not keep
        // calling through the root component that goes with it.
        if (in->MidiKit == MidiKit.get()) in->MidiKit = nullptr;
        in = nullptr;
    }
    delete MidiKitSync;
    MidiKitSync = nullptr;
    MidiKit.reset();
}

// Input port k is served by component k of the hidden input window.
void MidiPortSet::TakeInputs(int from) {
    for (int i = from; i < Routing.NumInDevs && i < kMaxPorts; ++i) {
        TMidiKitIn* in = inputs_ ? inputs_(i) : nullptr;
        if (in != nullptr) in->MidiKit = MidiKit.get();
        Routing.In[static_cast<size_t>(i)] = in;
    }
}

void MidiPortSet::CreateOutputs(int from) {
    for (int i = from; i < Routing.NumOutDevs && i < kMaxPorts; ++i) {
        auto* out = new TMidiKitOut(this);
        out->setObjectName(QStringLiteral("MidiKitOut%1").arg(i));
        out->MidiKit = MidiKit.get();
        out->Sync = MidiKitSync;
        out->Tag = i;
        Routing.Out[static_cast<size_t>(i)] = out;
    }
}

void MidiPortSet::UpdateDevices() {
    // A role given to a port that other roles keep open asks for its
    // connection as much as a role that opens the port: one a patchbay
    // undid is made again. A port that opens now connects as it opens.
    const auto open = [this](bool input, int port) {
        if (port < 0 || port >= kMaxPorts) return false;
        const auto i = static_cast<size_t>(port);
        return input ? Routing.In[i] != nullptr && Routing.In[i]->IsOpen()
                     : Routing.Out[i] != nullptr && Routing.Out[i]->IsOpen();
    };
    std::vector<std::pair<bool, int>> again = Ports.TakeRolesGiven();
    std::erase_if(again, [&](const auto& p) { return !open(p.first, p.second); });
    Ports.UpdateDevices();
    for (const auto& [input, port] : again)
        if (open(input, port)) MidiKit->ConnectAgain(input, static_cast<uint32_t>(port));
    Changed.Publish();
}

void MidiPortSet::MidiKitPortsChanged() {
    const int oldIn = Routing.NumInDevs;
    const int oldOut = Routing.NumOutDevs;
    const PortSettings::PortChanges changes = Ports.FollowPorts(*MidiKit);
    // A place another port took: what was open there served the port that
    // went; the new port is opened there when it has a role.
    for (int i : changes.ReplacedIn)
        if (TMidiKitIn* in = Routing.In[static_cast<size_t>(i)]; in != nullptr && in->IsOpen()) {
            in->Stop();
            in->Close();
        }
    for (int i : changes.ReplacedOut)
        if (TMidiKitOut* out = Routing.Out[static_cast<size_t>(i)]; out != nullptr && out->IsOpen()) out->Close();
    TakeInputs(oldIn);
    CreateOutputs(oldOut);
    Ports.UpdatePresence(*MidiKit);
    UpdateDevices();
    SayPortsLeftOut();
}

void MidiPortSet::MidiKitServerGone() {
    MidiKitPortsChanged();
    if (serverGoneSaid_) return;
    serverGoneSaid_ = true;
    serverGoneShown_ = true;
    CurrentDialogs().MessageBox(kServerGoneText, kServerGoneCaption, MessageButtons::Ok, MessageIcon::Warning);
}

void MidiPortSet::MidiKitServerBack() {
    // What was said for want of a server no longer holds.
    serverGoneSaid_ = false;
    if (std::exchange(serverGoneShown_, false)) CurrentDialogs().CloseMessageBox(kServerGoneText);
    if (!noServerSaid_.empty()) CurrentDialogs().CloseMessageBox(std::exchange(noServerSaid_, {}));
    MidiKitPortsChanged();
}

void MidiPortSet::MidiKitSyncMidiBeat() {
    if (++Routing.BeatInBar == 5) {
        Routing.BeatInBar = 1;
        ++Routing.BarCount;
    }
    if (sequencer_ != nullptr)
        sequencer_->ShowCount(std::to_string(Routing.BarCount) + "." + std::to_string(Routing.BeatInBar));
}

void MidiPortSet::MidiKitSyncSyncDone() {
    ++SyncDoneCount;
    if (sequencer_ != nullptr) sequencer_->ShowSyncDoneCount(std::to_string(SyncDoneCount));
    if (MidiKitSync != nullptr && MidiKitSync->IsOpen()) MidiKitSync->Pause(false);
    if (sequencer_ == nullptr) return;
    sequencer_->SetPlaying(false);
    sequencer_->ShowStopped();
    const int active = sequencer_->CountActiveTracks();
    if (sequencer_->LoopPlayback() && active > 0) {
        sequencer_->StartPlayback();
        sequencer_->ShowPlaying();
    }
}

}  // namespace morvelant
