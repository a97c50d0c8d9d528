#include "engine/MidiInDeviceUnit.h"

#include <QAbstractEventDispatcher>
#include <QMetaObject>

#include <algorithm>
#include <cstdio>

#include "engine/LearnFromMidi.h"
#include "engine/Tool.h"
#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "model/PresetFiles.h"
#include "model/SysexCodec.h"
#include "platform/Dialogs.h"

namespace morvelant {

namespace {

constexpr uint8_t kSysex = 0xF0;
constexpr uint8_t kEndOfSysex = 0xF7;
constexpr uint8_t kMakerId[3] = {0x00, 0x4D, 0x56};
constexpr uint8_t kOwnFamily = 0x12;
constexpr uint8_t kVellixaFamily = 0x14;
constexpr uint8_t kVellixaPreset = 0x20;
constexpr uint8_t kVellixaOther = 0x30;
constexpr std::size_t kNameFirstByte = 9;

// The 8-character name a nameless values dump gets.
std::string NameForNamelessPreset(const std::string& name, int slot) {
    std::string n = name;
    if (n == "0") n = (slot + 1 < 10 ? "Preset " : "Preset") + std::to_string(slot + 1);
    n.resize(kNameLength, ' ');
    return n;
}

const char* DumpName(int kind) {
    switch (kind) {
        case kDumpPattern: return "pattern dump";
        case kDumpPresetText: return "preset text dump";
        case kDumpPresetValues: return "preset values dump";
        case kDumpVellixaPreset: return "vellixa preset";
        default: return "dump";
    }
}

std::string DamagedDumpsText(const std::string& first, int count, bool more) {
    if (more)
        return (count == 1 ? std::string("1 more damaged dump from the Morvelant came in since that message was shown "
                                         "and was not loaded: ")
                           : std::to_string(count) + " more damaged dumps from the Morvelant came in since that "
                                                     "message was shown and were not loaded. The first: ") +
            first + ".";
    if (count <= 1) return "A damaged dump from the Morvelant was not loaded: " + first + ".";
    return std::to_string(count) + " damaged dumps from the Morvelant were not loaded. The first: " + first + ".";
}

}  // namespace

QueuedReport::QueuedReport(QObject* context, PeerBoxLine& line, std::string caption, TextFunction text,
                           const char* quietName)
    : context_(context), line_(line), quiet_(new QTimer(context)), caption_(std::move(caption)), text_(std::move(text)) {
    quiet_->setObjectName(QString::fromLatin1(quietName));
    quiet_->setSingleShot(true);
    quiet_->setInterval(kQuietMs);
    QObject::connect(quiet_, &QTimer::timeout, context_, [this] { QuietTimeOver(); });
}

void QueuedReport::Ask(const std::string& detail) {
    ++count_;
    if (first_.empty()) first_ = detail;
    // The box that waits, or is open, says this one too; in the quiet time
    // after a box, the box at its end.
    if (pending_ || quiet_->isActive()) return;
    pending_ = true;
    QMetaObject::invokeMethod(context_, [this] { Show(); }, Qt::QueuedConnection);
}

void QueuedReport::Show() {
    // pending_ stays set while the box waits for another to close and while
    // it is open: its event loop goes on delivering MIDI, and what arrives
    // meanwhile is counted, and said once the quiet time after this box is over.
    line_.Run(context_, [this] {
        const std::string text = text_(first_, count_, more_);
        count_ = 0;
        first_.clear();
        CurrentDialogs().MessageBox(text, caption_, MessageButtons::Ok, MessageIcon::Error);
        pending_ = false;
        quiet_->start();
    });
}

void QueuedReport::QuietTimeOver() {
    more_ = count_ > 0;
    if (!more_) return;
    pending_ = true;
    Show();
}

TMidiDeviceForm::TMidiDeviceForm(Engine& engine, QObject* Owner)
    : QObject(Owner),
      SendBuffer(),
      engine_(engine),
      receiveBuffer_(kReceiveBufferSize),
      overrun_(this, engine.PeerBoxes, "Error", [](const std::string&, int, bool) { return std::string("Midi Buffer Overrun"); },
               "OverrunQuietTime"),
      damaged_(this, engine.PeerBoxes, "Error", DamagedDumpsText, "DamagedDumpsQuietTime") {
    setObjectName("MidiDeviceForm");
    SendBuffer.reserve(kSendBufferSize);
    for (int n = 0; n < kInputCount; ++n) {
        auto* in = new TMidiKitIn(this);
        in->setObjectName(QString("MidiKitIn%1").arg(n));
        in->Tag = n;
        in->OnMidiData = [this, n](LPMIDIEVENT e, bool* a) { MidiKitInMidiData(e, a, n); };
        inputs_[size_t(n)] = in;
    }
    dispatchMarker_ = kDispatchMarker;
    // Settings change on this thread, which then goes back to wait: the
    // inputs have them before the next message comes in.
    if (auto* loop = QAbstractEventDispatcher::instance(thread()))
        connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, [this] { PublishThru(); });
}

TMidiDeviceForm::~TMidiDeviceForm() = default;  // the inputs are children: Qt deletes them

TMidiKitIn* TMidiDeviceForm::In(int port) const {
    return port >= 0 && port < kInputCount ? inputs_[size_t(port)] : nullptr;
}

void TMidiDeviceForm::MidiKitInMidiData(LPMIDIEVENT Event, bool* /*pbAccept*/, int port) {
    if (!Event || port < 0 || port >= kInputCount) return;
    currentPort_ = port;
    const MidiEvent incoming = *Event;  // the library's record is only lent to us
    // Thru is the library's to decide once it had a setting for this input
    // (it passes on the MIDI system's own cycle): a message it did not pass
    // was not to be passed when it came in, whatever the settings say now.
    const uint32_t stamp = inputs_[size_t(port)]->ThruStamp();
    const bool passed = stamp & 1;
    const bool decided = (stamp >> 1) != 0 && !engine_.OutputSink;
    PublishThru();
    Notifications& notices = engine_.Notices;
    notices.MidiInActivity.Publish();
    notices.MonitorLine.Publish(port, incoming, true, port);

    MidiEvent copy = incoming;
    copy.time = incoming.status == kSysex ? 0 : MIDIKIT_TIME_NOW;

    DeviceModel& model = engine_.Model;
    if (model.LearnMode != -1) {
        LearnFromMidi(copy.time, copy.status, copy.data1, copy.data2, copy.data3);
        return;
    }

    const uint8_t code = copy.status & 0xF0;
    if (code == 0x90 || code == 0x80 || code == 0xB0) {
        for (int i = 0; i < kFaderCount; ++i) {
            if (HandleMidiInput(engine_, model.FaderStates[i], port, copy.time, copy.status, copy.data1, copy.data2,
                                copy.data3))
                break;
        }
    }

    PassThru(port, copy, passed, decided);

    if (port == engine_.Routing.DeviceInPort() && incoming.status == kSysex) MvlPCInDeviceSysexData(incoming);
}

std::vector<int> TMidiDeviceForm::ThruOutputs(int port, uint8_t status) const {
    const MidiRouting& r = engine_.Routing;
    std::vector<int> outputs;
    const bool source = r.ThruInDeviceFlags[static_cast<std::size_t>(port)] || port == r.DeviceInPort();
    if (!source || !r.Thru) return outputs;
    if (status > kSysex && !r.RealtimeThru) return outputs;
    if (status == kSysex && !r.SysexThru) return outputs;
    const int count = std::min(r.NumOutDevs, kMaxPorts);
    for (int j = 0; j < count; ++j)
        if (r.ThruDeviceFlags[static_cast<std::size_t>(j)]) outputs.push_back(j);
    return outputs;
}

void TMidiDeviceForm::PassThru(int port, const MidiEvent& event, bool passed, bool decided) {
    // One the input passed itself is only shown; one that came in before
    // the input had any setting is passed here, as the settings say.
    for (int j : ThruOutputs(port, event.status)) {
        if (!passed) {
            if (!decided) SendToPort(engine_, j, event, In(port));
        } else if (engine_.Routing.Reaches(j)) {
            engine_.Notices.MidiOutActivity.Publish();
            engine_.Notices.MonitorLine.Publish(j, event, false, port);
        }
    }
}

void TMidiDeviceForm::PublishThru() {
    const MidiRouting& r = engine_.Routing;
    ThruSetting now;
    // Learn takes every incoming event instead; a test's output sink sees
    // what is sent on this thread only.
    if (engine_.Model.LearnMode == -1 && !engine_.OutputSink) {
        const int count = std::min(r.NumOutDevs, kMaxPorts);
        for (int j = 0; j < count; ++j) {
            const TMidiKitOut* out = r.Out[static_cast<std::size_t>(j)];
            if (r.ThruDeviceFlags[static_cast<std::size_t>(j)] && r.Reaches(j) && out && out->Handle() != 0)
                now.outputs.push_back(out->Handle());
        }
    }
    // As ThruOutputs says, for each kind of message.
    const uint32_t kinds = !r.Thru || now.outputs.empty()
        ? 0
        : MIDIKIT_THRU_CHANNEL | (r.SysexThru ? MIDIKIT_THRU_SYSEX : 0) | (r.RealtimeThru ? MIDIKIT_THRU_OTHER : 0);
    for (int p = 0; p < kInputCount; ++p) {
        const TMidiKitIn* in = inputs_[size_t(p)];
        now.inputs[size_t(p)] = in->IsOpen() ? in->Handle() : 0;
        const bool source = r.ThruInDeviceFlags[static_cast<std::size_t>(p)] || p == r.DeviceInPort();
        now.kinds[size_t(p)] = source ? kinds : 0;
    }
    if (now == thru_) return;
    thru_ = std::move(now);
    ++thruVersion_;
    for (int p = 0; p < kInputCount; ++p)
        if (thru_.inputs[size_t(p)] != 0) inputs_[size_t(p)]->SetThru(thruVersion_, thru_.kinds[size_t(p)], thru_.outputs);
}

void TMidiDeviceForm::MvlPCInDeviceSysexData(const MidiEvent& event) {
    if (event.data1 == kSysex) receiveCount_ = 0;  // a new message; an unfinished one is dropped
    receiveBuffer_[static_cast<std::size_t>(receiveCount_)] = event;
    ++receiveCount_;
    if (receiveCount_ >= kReceiveBufferSize) {
        ReportOverrun();
        receiveCount_ = 0;
    }
    if (event.data1 == kEndOfSysex) {
        const int count = receiveCount_;
        // The message is complete: whatever follows without an F0 first is
        // gathered from the start and then refused by the classification,
        // instead of being appended to a message that was already loaded.
        receiveCount_ = 0;
        std::string damage;
        LoadDump(std::span<const MidiEvent>(receiveBuffer_.data(), static_cast<std::size_t>(count)), -1, "0",
                 &damage);
        // Said whether or not the monitor runs, after the handler has
        // returned, one box for a burst of them.
        if (!damage.empty()) damaged_.Ask(damage);
    }
}

void TMidiDeviceForm::ReportOverrun() {
    // The box is shown from the event loop after this handler has returned,
    // never inside it: a modal box here would let the next notifications run
    // the handler again underneath. One box stands for every overrun that
    // happens before it is shown.
    overrun_.Ask({});
}

bool IsWholeKnobPreset(std::span<const MidiEvent> dump) {
    if (dump.size() < kKnobPresetMinSize) return false;
    for (std::size_t i = 0; i < 3; ++i)
        if (dump[1 + i].data1 != kMakerId[i]) return false;
    if (dump[0].data1 != kSysex || dump[4].data1 != kVellixaFamily || dump[6].data1 != kVellixaPreset ||
        dump.back().data1 != kEndOfSysex)
        return false;
    return std::all_of(dump.begin() + 1, dump.end() - 1, [](const MidiEvent& e) { return e.data1 < 0x80; });
}

DumpClass TMidiDeviceForm::ClassifyDump(std::span<const MidiEvent> events) {
    DumpClass c;
    auto byte = [&](std::size_t i) { return events[i].data1; };
    if (events.size() < 8 || byte(0) != kSysex) return c;
    for (std::size_t i = 0; i < 3; ++i)
        if (byte(1 + i) != kMakerId[i]) return c;
    if (byte(4) == kOwnFamily) {
        if (events.size() < 9) return c;
        switch (byte(7)) {
            case kPatternDumpCommand: c.kind = kDumpPattern; break;
            case kPresetTextDumpCommand: c.kind = kDumpPresetText; break;
            case kPresetValueDumpCommand: c.kind = kDumpPresetValues; break;
            default: return c;
        }
        c.slot = byte(8);
    } else if (byte(4) == kVellixaFamily) {
        if (byte(6) == kVellixaPreset)
            c.kind = kDumpVellixaPreset;
        else if (byte(6) == kVellixaOther)
            c.kind = kDumpVellixaOther;
        else
            return c;
        c.slot = byte(7);
    }
    return c;
}

int TMidiDeviceForm::ProcessReceivedDump(std::span<const MidiEvent> events, int slotOverride, const std::string& name) {
    return LoadDump(events, slotOverride, name, nullptr);
}

int TMidiDeviceForm::LoadDump(std::span<const MidiEvent> events, int slotOverride, const std::string& name,
                              std::string* damage) {
    DumpClass c = ClassifyDump(events);
    if (slotOverride != -1) c.slot = slotOverride;
    if (dispatchMarker_ != kDispatchMarker) return c.kind;
    if (c.kind == kDumpUnknown || c.kind == kDumpVellixaOther) return c.kind;
    // A recognised dump that cannot be taken: the monitor shows it, and the
    // caller may say it.
    auto refuse = [&](const std::string& why) {
        engine_.Notices.MonitorNote.Publish("Sysex ignored", std::string("damaged ") + DumpName(c.kind));
        if (damage != nullptr)
            *damage = std::string(DumpName(c.kind)) + (c.kind == kDumpPattern ? " for pattern " : " for preset ") +
                std::to_string(c.slot + 1) + " (" + why + ")";
        return kDumpUnknown;
    };
    // A short or damaged knob preset (a MIDI file hands over every
    // system-exclusive message on its own) is never read past its end.
    if (c.kind == kDumpVellixaPreset && !IsWholeKnobPreset(events))
        return refuse(std::to_string(events.size()) + " bytes, cut short or holding a status byte");
    if (!DeviceModel::ValidPreset(c.slot))  // same range for patterns
        return refuse("there is no such slot");

    DeviceModel& model = engine_.Model;
    Notifications& notices = engine_.Notices;
    auto shortBy = [&](std::size_t whole) {
        return std::to_string(events.size()) + " of " + std::to_string(whole) + " bytes";
    };
    // A pair the device never sends would load as a value it cannot hold.
    if (c.kind == kDumpPattern || c.kind == kDumpPresetValues)
        if (const int bad = FirstBadValuePair(events); bad >= 0) {
            char pair[8];
            const MidiEvent* at = &events[9 + 2 * std::size_t(bad)];
            std::snprintf(pair, sizeof pair, "%02X %02X", at[0].data1, at[1].data1);
            return refuse("value " + std::to_string(bad + 1) + " reads " + pair);
        }
    switch (c.kind) {
        case kDumpPattern: {
            // A short pattern dump would be decoded from whatever lies behind it.
            if (events.size() < kPatternDumpSize) return refuse(shortBy(kPatternDumpSize));
            if (!DecodePatternDump(events, model.Patterns[static_cast<std::size_t>(c.slot)]))
                return refuse("its values do not decode");
            // Kept like a loaded record: listed, and saved at exit.
            NoteLoadedSlot(model, EditorFileKind::Patterns, c.slot);
            model.SelectedPattern = c.slot;
            notices.PatternDataChanged.Publish(c.slot);
            notices.ShowPatternEditors.Publish();
            ShowPattern(engine_, c.slot);
            break;
        }
        case kDumpPresetText: {
            // Decoded into a copy: a text dump that does not walk to its F7
            // leaves the preset as it was.
            Morvelant_Parameters preset = model.Presets[static_cast<std::size_t>(c.slot)];
            if (!DecodePresetTextDump(events, preset)) return refuse("its texts do not run cleanly to its end");
            model.Presets[static_cast<std::size_t>(c.slot)] = std::move(preset);
            NoteLoadedSlot(model, EditorFileKind::Presets, c.slot);
            model.SelectedPreset = c.slot;
            notices.PresetDataChanged.Publish(c.slot);
            notices.ShowPresetList.Publish();
            ShowCurrentPreset(engine_, true);
            break;
        }
        case kDumpPresetValues: {
            if (events.size() < kValueDumpSize) return refuse(shortBy(kValueDumpSize));
            std::vector<MidiEvent> dump(events.begin(), events.end());
            const int firstName = dump[kNameFirstByte].data1 + 128 * dump[kNameFirstByte + 1].data1;
            if (firstName == 0) {
                const std::string n = NameForNamelessPreset(name, c.slot);
                for (int k = 0; k < kNameLength; ++k) {
                    const int32_t ch = CharToWord(n[static_cast<std::size_t>(k)]);
                    dump[kNameFirstByte + 2 * k].data1 = static_cast<uint8_t>(ch & 0x7F);
                    dump[kNameFirstByte + 2 * k + 1].data1 = static_cast<uint8_t>((ch & 0x80) >> 7);
                }
            }
            if (!DecodePresetDump(dump, model.Presets[static_cast<std::size_t>(c.slot)]))
                return refuse("its values do not decode");
            NoteLoadedSlot(model, EditorFileKind::Presets, c.slot);
            model.SelectedPreset = c.slot;
            notices.PresetDataChanged.Publish(c.slot);
            notices.ShowPresetList.Publish();
            ShowCurrentPreset(engine_, false);
            break;
        }
        case kDumpVellixaPreset:
            // The conversion makes the slot current and shows it when it is
            // done: it may ask first, and a second knob preset waits for it.
            notices.ImportVellixaPreset.Publish(c.slot, events);
            break;
        default: break;
    }
    return c.kind;
}

void TMidiDeviceForm::LearnFromMidi(uint32_t time, uint8_t status, uint8_t data1, uint8_t data2, uint8_t data3) {
    morvelant::LearnFromMidi(engine_, MidiEvent{time, status, data1, data2, data3});
}

}  // namespace morvelant
