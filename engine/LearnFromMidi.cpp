#include "engine/LearnFromMidi.h"

#include <cstdio>

#include "engine/Tool.h"
#include "midikit/MidiKitIn.h"

namespace morvelant {

namespace {

std::string Token(uint8_t byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(byte));
    return text;
}

int TokenCount(const std::string& tokens) { return tokens.empty() ? 0 : static_cast<int>((tokens.size() + 1) / 3); }

// After each write: the learn fader becomes the selected fader and every view
// of the preset shows what was learned.
void ShowLearned(Engine& engine) {
    DeviceModel& model = engine.Model;
    const int previous = model.SelectedFader;
    MoveFaderSelection(model, model.LearnFader);
    engine.Notices.CurrentFaderChanged.Publish(previous, model.SelectedFader);
    ShowCurrentPreset(engine, false);
}

// Adds tokens to the fader's string; the first write of a string learn turns
// the fader into a String event with an empty string first.
void AppendLearned(Engine& engine, const std::string& tokens, int k) {
    DeviceModel& model = engine.Model;
    const int p = model.SelectedPreset;
    const int f = model.LearnFader;
    if (model.LearnCount == 0) {
        model.SetFaderString(p, f, "");
        model.SetFaderStatus(p, f, 0xF0);
        model.SetFaderMidiData1(p, f, 127);
    } else {
        model.AppendFaderString(p, f, " ");
    }
    model.AppendFaderString(p, f, tokens);
    // Data 1 of a String event is where "XX" stands: just past the learned
    // bytes, so the learned string carries no live value.
    model.SetFaderMidiData1(p, f, model.LearnCount + k);
}

// What came in before learn is switched on or off and still waits for this
// thread (busy meanwhile, or with a flood) is handled first, as it came:
// passed thru and moving faders, or learned by the learn that was on then.
void TakeWaitingInput(Engine& engine) {
    for (TMidiKitIn* in : engine.Routing.In)
        if (in != nullptr && in->IsOpen() && in->IsStarted()) in->ControlWndProc(MIDIKIT_MSG_INPUT_DATA);
}

}  // namespace

std::string LearnTokens(const MidiEvent& event) {
    const uint8_t s = event.status;
    switch (s & 0xF0) {
        case 0x80:
        case 0x90:
        case 0xA0:
        case 0xB0:
        case 0xE0: return Token(s) + " " + Token(event.data1) + " " + Token(event.data2);
        case 0xC0:
        case 0xD0: return Token(s) + " " + Token(event.data1);
        default: break;
    }
    if (s == 0xF0) return Token(event.data1);
    return Token(s);
}

void StartLearn(Engine& engine, int fader, int kind) {
    TakeWaitingInput(engine);
    DeviceModel& model = engine.Model;
    model.LearnFader = fader;
    model.LearnMode = kind;
    if (kind != kLearnEvent) model.LearnCount = 0;
}

void CancelLearn(Engine& engine) {
    TakeWaitingInput(engine);
    engine.Model.LearnMode = kLearnOff;
}

void EndLearn(Engine& engine) {
    engine.Model.LearnMode = kLearnOff;
    engine.Notices.LearnEnded.Publish();
}

void LearnFromMidi(Engine& engine, const MidiEvent& event) {
    DeviceModel& model = engine.Model;
    if (model.LearnMode == kLearnOff) return;
    if (!DeviceModel::ValidFader(model.LearnFader) || !DeviceModel::ValidPreset(model.SelectedPreset) ||
        model.LearnCount < 0) {
        EndLearn(engine);
        return;
    }
    const int p = model.SelectedPreset;
    const int f = model.LearnFader;

    switch (model.LearnMode) {
        case kLearnEvent:
            if (event.status >= 0xF0 || event.status < 0x80) return;  // not a channel message: keep waiting
            model.SetFaderStatus(p, f, event.status);
            model.SetFaderMidiData1(p, f, event.data1);
            model.SetFaderMidiData2(p, f, event.data2);
            ShowLearned(engine);
            EndLearn(engine);
            return;

        case kLearnEventString: {
            const std::string tokens = LearnTokens(event);
            const int k = TokenCount(tokens);
            if (model.LearnCount + k > kMaxLearnBytes) {
                EndLearn(engine);
                return;
            }
            AppendLearned(engine, tokens, k);
            ShowLearned(engine);
            model.LearnCount += k;
            if (model.LearnCount == kMaxLearnBytes) EndLearn(engine);
            return;
        }

        case kLearnSysexString: {
            if (event.status != 0xF0) return;
            // A new message before the end of the one being learned: that one
            // never ended (its source went), and is never joined to this one.
            if (event.data1 == 0xF0) model.LearnCount = 0;
            if (model.LearnCount + 1 > kMaxLearnBytes) {
                EndLearn(engine);
                return;
            }
            AppendLearned(engine, Token(event.data1), 1);
            ShowLearned(engine);
            model.LearnCount += 1;
            if (model.LearnCount >= kMaxLearnBytes || event.data1 == 0xF7) EndLearn(engine);
            return;
        }

        default:
            // An unknown mode learns nothing and would otherwise swallow all input.
            EndLearn(engine);
            return;
    }
}

}  // namespace morvelant
