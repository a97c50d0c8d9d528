#include "presets/VellixaConversion.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "engine/Tool.h"
#include "model/PresetFiles.h"
#include "platform/Dialogs.h"

namespace morvelant {

namespace {

using MP = Morvelant_Parameters;

constexpr int32_t kLiveValue = 128;
constexpr int32_t kNoStatus = 0x70;
constexpr int32_t kStringEvent = 0xF0;

std::string Hex2(int v) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

// A name the way every other name is kept: characters ' ' to 'z' only, at
// most 8 of them.
std::string DeviceName(const std::string& s) {
    std::string name;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 32 && u <= 122) name += c;
        if (name.size() == static_cast<std::size_t>(kNameLength)) break;
    }
    return name;
}

struct FaderEvent {
    int32_t status;
    int32_t data1;
    int32_t data2;
    std::string text;  // written only when not empty
};

// The NRPN high bytes of commands 16..61, one per pair.
constexpr uint8_t kNrpnHigh[] = {0x00, 0x01, 0x08, 0x09, 0x0A, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A,
                                 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x63, 0x64, 0x66, 0x78, 0x7F};

// The fader event of a knob command; nullopt-like {-1}: the command is not
// supported and only the status becomes No Status.
bool KnobEvent(int command, int ch, int parameter, FaderEvent& e) {
    const std::string c(1, "0123456789ABCDEF"[ch & 0x0F]);
    const std::string pp = Hex2(parameter);
    auto channelEvent = [&](int32_t code, int32_t d1, int32_t d2) {
        e = {code + ch, d1, d2, {}};
        return true;
    };
    auto stringEvent = [&](int32_t xxAt, std::string text) {
        e = {kStringEvent, xxAt, 0, std::move(text)};
        return true;
    };
    switch (command) {
        case 0: return channelEvent(0xB0, parameter, kLiveValue);
        case 1: return channelEvent(0xE0, 0, kLiveValue);
        case 2: return channelEvent(0xD0, kLiveValue, 0);
        case 3: return channelEvent(0xC0, kLiveValue, 0);
        case 4: return channelEvent(0xA0, parameter, kLiveValue);
        case 5: return channelEvent(0x90, parameter, kLiveValue);
        case 6: return channelEvent(0x80, parameter, kLiveValue);
        case 8: return stringEvent(6, "B" + c + " 65 00 64 02 06 XX");
        case 9: return stringEvent(6, "B" + c + " 65 00 64 02 26 XX");
        case 10: return stringEvent(6, "B" + c + " 65 01 64 02 06 XX");
        case 11: return stringEvent(6, "B" + c + " 65 01 64 02 26 XX");
        case 14:
        case 15: return stringEvent(6, "B" + c + " 65 7F 64 02 06 XX");
        case 80: return stringEvent(7, "F0 43 10 4C 08 0" + c + " " + pp + " XX F7");
        case 81: return stringEvent(7, "F0 43 10 4C 10 0" + c + " " + pp + " XX F7");
        case 82:
        case 83: return stringEvent(7, "F0 43 10 4C 02 01 " + pp + " XX F7");
        case 87: return stringEvent(7, "F0 43 10 4C 02 40 " + pp + " XX F7");
        case 88: return stringEvent(7, "F0 43 10 4C 03 00 " + pp + " XX F7");
        case 89: return stringEvent(7, "F0 43 10 4C 03 01 " + pp + " XX F7");
        case 100: {
            static constexpr const char* kResets[] = {"F0 7E 7F 09 01 F7", "F0 41 10 42 12 40 00 7F 00 41 F7",
                                                      "F0 43 10 4C 00 00 7E 00 F7"};
            // An unknown reset keeps the string but still takes the reset's data.
            if (parameter > 2) {
                e = {kNoStatus, 20, 0, {}};
                return true;
            }
            return stringEvent(20, kResets[parameter]);
        }
        default: break;
    }
    if (command >= 16 && command <= 61) {
        const int pair = (command - 16) / 2;
        bool msb = command % 2 == 0;
        if (pair == 2) msb = !msb;  // 20 / 21 are the other way round
        return stringEvent(6, "B" + c + " 63 " + Hex2(kNrpnHigh[pair]) + " 62 " + pp + (msb ? " 06 XX" : " 26 XX"));
    }
    if (command >= 64 && command <= 79)
        return stringEvent(7, "F0 43 10 4C 3" + c + " " + pp + " " + Hex2(command - 64) + " XX F7");
    return false;
}

bool Unsupported(int command) {
    switch (command) {
        case 84:
        case 85:
        case 86:
        case 90:
        case 91:
        case 96:
        case 97:
        case 98: return true;
        default: return false;
    }
}

void ClearFaderBlockFader(MP& m, int f) {
    m.FaderValue(f) = 0;
    m.FaderMin(f) = 0;
    m.FaderMax(f) = 127;
    m.FaderThreshold(f) = 0;
    m.ActiveMode(f) = 0;
    m.FaderMidiMode(f) = 3;
    m.MasterSlaveMode(f) = 0;
    m.FaderOutMode(f) = 0;
    m.FaderStatus(f) = kNoStatus;
    m.FaderMidiData1(f) = 0;
    m.FaderMidiData2(f) = 0;
    m.SliderName[static_cast<std::size_t>(f)] = "Fader " + std::to_string(f + 1);
}

void ClearKeyBlockFader(MP& m, int f) {
    const auto i = static_cast<std::size_t>(f);
    m.DemuteVal(f) = kLiveValue;
    m.KeyOnStatus(f) = kNoStatus;
    m.KeyOnMidiData1(f) = 0;
    m.KeyOnMidiData2(f) = kLiveValue;
    m.KeyOnString[i].clear();
    m.KeyOnName[i].clear();
    m.MuteVal(f) = kLiveValue;
    m.KeyOffStatus(f) = kNoStatus;
    m.KeyOffMidiData1(f) = 0;
    m.KeyOffMidiData2(f) = kLiveValue;
    m.KeyOffString[i].clear();
    m.KeyOffName[i].clear();
}

// The knob block feeding fader block b, or -1; knobs 1-8 win over 9-16.
int SourceOf(const VellixaImportSettings& s, int b) {
    for (int k = 0; k < kKnobBlocks; ++k)
        if (s.Map(k, b)) return k;
    return -1;
}

std::string Description(const DeviceModel& model, const VellixaImportSettings& s, bool notesEmpty) {
    const std::string rule(34, '-');
    std::string text = notesEmpty ? std::string() : "\n\n" + rule + "\n";
    text += "Preset Name:   " + model.VellixaPresetName + "\n" + rule + "\n";
    for (int b = 0; b < kFaderBlocks; ++b) {
        const int k = SourceOf(s, b);
        if (k < 0) continue;
        // Faders 1-8 and 9-16 from knobs 1-8 line up behind two blanks, the rest behind one.
        const std::string prefix = (b == 0 || (b == 1 && k == 0)) ? "  " : " ";
        for (int i = 0; i < 8; ++i)
            text += prefix + std::to_string(8 * b + i + 1) + ":       " +
                model.VellixaKnobNames[static_cast<std::size_t>(8 * k + i)] + "\n";
    }
    return text;
}

}  // namespace

KnobPresetBytes CopyKnobPreset(std::span<const MidiEvent> dump) {
    KnobPresetBytes bytes;
    bytes.reserve(dump.size());
    for (const MidiEvent& e : dump) bytes.push_back(e.data1);
    return bytes;
}

bool HasUnsupportedVellixaCommands(const KnobPresetBytes& bytes) {
    if (bytes.size() < kKnobPresetMinSize) return false;
    bool any = false;
    for (int k = 0; k < kKnobCount; ++k)
        any = any || Unsupported(bytes[static_cast<std::size_t>(kKnobCommandByte + k)]);
    return any;
}

bool CheckVellixaCommands(const KnobPresetBytes& bytes, Dialogs& dialogs) {
    if (!HasUnsupportedVellixaCommands(bytes)) return true;
    return dialogs.MessageBox("This vellixa preset contains non supported commands.Load it anyway?", "Warning",
                              MessageButtons::YesNo, MessageIcon::Warning) != MessageResult::No;
}

void ConvertVellixaKnob(DeviceModel& model, const VellixaImportSettings& settings, int knob, int fader,
                        const KnobPresetBytes& bytes, int slot, int outputFlags, int threshold) {
    if (!DeviceModel::ValidPreset(slot) || !DeviceModel::ValidFader(fader) || knob < 0 || knob >= kKnobCount ||
        bytes.size() < kKnobPresetMinSize)
        return;
    MP& m = model.Presets[static_cast<std::size_t>(slot)];
    const auto i = static_cast<std::size_t>(fader);
    m.FaderValue(fader) = 0;
    m.FaderMin(fader) = 0;
    m.FaderMax(fader) = 127;
    m.FaderThreshold(fader) = std::clamp(threshold, 0, 63);
    m.ActiveMode(fader) = 0;
    m.FaderMidiMode(fader) = outputFlags & 3;
    m.MasterSlaveMode(fader) = 0;
    m.FaderOutMode(fader) = 0;
    m.SliderName[i] = settings.UseKnobNames ? DeviceName(model.VellixaKnobNames[static_cast<std::size_t>(knob)])
                                            : "Knob " + std::to_string(knob + 1);

    // Channel byte 0 is the master channel; a byte above 16 counts as it too,
    // so every knob keeps to the 16 channels.
    const int channelByte = bytes[static_cast<std::size_t>(kKnobChannelByte + knob)];
    const int ch = channelByte >= 1 && channelByte <= 16 ? channelByte - 1 : settings.EffectiveMasterChannel();
    const int command = bytes[static_cast<std::size_t>(kKnobCommandByte + knob)];
    const int parameter = bytes[static_cast<std::size_t>(kKnobParameterByte + knob)] & 0x7F;

    FaderEvent e{};
    if (!KnobEvent(command, ch, parameter, e)) {
        m.FaderStatus(fader) = kNoStatus;
        return;
    }
    m.FaderStatus(fader) = e.status;
    m.FaderMidiData1(fader) = e.data1;
    m.FaderMidiData2(fader) = e.data2;
    if (!e.text.empty()) m.FaderString[i] = e.text;
}

void ConvertVellixaKnobBlock(DeviceModel& model, const VellixaImportSettings& settings, int firstKnob, int firstFader,
                             const KnobPresetBytes& bytes, int slot, int outputFlags, int threshold) {
    for (int i = 0; i < 8; ++i)
        ConvertVellixaKnob(model, settings, firstKnob + i, firstFader + i, bytes, slot, outputFlags, threshold);
}

bool ImportVellixaPreset(DeviceModel& model, VellixaImportContext context, int slot, const KnobPresetBytes& bytes) {
    if (!DeviceModel::ValidPreset(slot) || bytes.size() < kKnobPresetMinSize) return false;
    VellixaImportSettings& s = context.settings;
    if (s.WarningMessages && !CheckVellixaCommands(bytes, context.dialogs)) return false;
    if (s.ShowDialog && context.showSettingsDialog) context.showSettingsDialog();

    MP& m = model.Presets[static_cast<std::size_t>(slot)];
    const int number = slot + 1;
    model.SetPresetDeviceName(slot, (number < 10 ? "Preset " : "Preset") + std::to_string(number));
    if (s.UseKnobNames) model.SetPresetDeviceName(slot, DeviceName(model.VellixaPresetName));

    const std::string description = Description(model, s, m.PresetNotes.empty());
    if (s.AddDescription) m.PresetNotes += description;

    for (int b = 0; b < kFaderBlocks; ++b)
        if (s.ClearFaders(b))
            for (int f = 8 * b; f < 8 * b + 8; ++f) ClearFaderBlockFader(m, f);
    for (int b = 0; b < kFaderBlocks; ++b)
        if (s.ClearButtons(b))
            for (int f = 8 * b; f < 8 * b + 8; ++f) ClearKeyBlockFader(m, f);

    const int threshold = s.Threshold();
    const int outputs = s.OutputFlags();
    for (int k = 0; k < kKnobBlocks; ++k)
        for (int b = 0; b < kFaderBlocks; ++b)
            if (s.Map(k, b)) ConvertVellixaKnobBlock(model, s, 8 * k, 8 * b, bytes, slot, outputs, threshold);
    return true;
}

VellixaImportQueue::VellixaImportQueue(PeerBoxLine& line, Import import, Done done, Dropped dropped,
                                       QObject* timerParent)
    : line_(line),
      import_(std::move(import)),
      done_(std::move(done)),
      dropped_(std::move(dropped)),
      quiet_(new QTimer(timerParent != nullptr ? timerParent : &owner_)) {
    quiet_->setObjectName(QStringLiteral("KnobPresetQuietTime"));
    quiet_->setSingleShot(true);
    quiet_->setInterval(QueuedReport::kQuietMs);
    QObject::connect(quiet_, &QTimer::timeout, &owner_, [this] { RunNext(); });
}

void VellixaImportQueue::Receive(int slot, std::span<const MidiEvent> dump) {
    if (waiting_.size() >= kMostWaiting) {
        ++left_;
        return;
    }
    waiting_.emplace_back(slot, CopyKnobPreset(dump));
    if (!busy_) RunNext();
}

void VellixaImportQueue::RunNext() {
    busy_ = !waiting_.empty();
    if (!busy_) return;
    line_.Run(&owner_, [this] {
        auto [slot, bytes] = std::move(waiting_.front());
        waiting_.pop_front();
        bool asked = import_(slot, bytes);
        if (done_) done_(slot);
        if (left_ > 0 && dropped_) {
            dropped_(std::exchange(left_, 0));
            asked = true;
        }
        // After a box or dialog, what comes next (now or in the quiet
        // time) waits until the quiet time is over.
        if (asked)
            quiet_->start();
        else
            RunNext();
    });
}

VellixaImportConnection::VellixaImportConnection(Engine& engine, VellixaImportSettings& settings,
                                                 std::function<void()> showSettingsDialog, QObject* timerParent)
    : engine_(engine),
      settings_(settings),
      showSettingsDialog_(std::move(showSettingsDialog)),
      queue_(
          engine.PeerBoxes,
          [this](int slot, const KnobPresetBytes& bytes) {
              const bool asks = (settings_.WarningMessages && HasUnsupportedVellixaCommands(bytes)) ||
                  (settings_.ShowDialog && showSettingsDialog_);
              ImportVellixaPreset(engine_.Model, {settings_, CurrentDialogs(), showSettingsDialog_}, slot, bytes);
              return asks;
          },
          [this](int slot) {
              if (!DeviceModel::ValidPreset(slot)) return;
              // Kept like a loaded preset: listed, and saved at exit.
              NoteLoadedSlot(engine_.Model, EditorFileKind::Presets, slot);
              engine_.Notices.PresetDataChanged.Publish(slot);
              engine_.Model.SelectedPreset = slot;
              engine_.Notices.ShowPresetList.Publish();
              ShowCurrentPreset(engine_, true);
          },
          [](int count) {
              CurrentDialogs().MessageBox(
                  std::to_string(count) + (count == 1 ? " knob preset" : " knob presets") +
                      " from the device port came while " + std::to_string(VellixaImportQueue::kMostWaiting) +
                      " others waited for the import and " + (count == 1 ? "was" : "were") + " not imported.",
                  "Warning", MessageButtons::Ok, MessageIcon::Warning);
          },
          timerParent) {
    subscription_ = engine.Notices.ImportVellixaPreset.Subscribe(
        [this](int slot, std::span<const MidiEvent> dump) { queue_.Receive(slot, dump); });
}

}  // namespace morvelant
