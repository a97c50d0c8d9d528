#include "app/PickerSupport.h"

#include <QComboBox>
#include <QLineEdit>

#include "faders/AllFaderParameters.h"
#include "faders/InitCtrl.h"
#include "patterns/EventEdit.h"
#include "patterns/PatternParameter.h"
#include "patterns/TrackParameter.h"

namespace morvelant {

namespace {

// The windows are made after this and may be missing; every refresh asks
// for its window at the moment it runs.
template <typename Form, typename Fn>
void With(Form* form, Fn fn) {
    if (form != nullptr) fn(*form);
}

PatternTargetHooks GridAndStepHooks(DeviceContext& context) {
    PatternTargetHooks h;
    h.ShowStepNote = [](int p, int t, int s) { With(PatternParameterForm, [&](auto& w) { w.ShowStepNote(p, t, s); }); };
    h.ShowStepVelocity = [](int p, int t, int s) {
        With(PatternParameterForm, [&](auto& w) { w.ShowStepVelocity(p, t, s); });
    };
    using Show = void (TTrackParameterForm::*)(int, int);
    auto grid = [](Show show) {
        return [show](int p, int t) {
            With(TrackParameterForm, [&](auto& w) {
                if (w.Visible()) (w.*show)(p, t);
            });
        };
    };
    h.ShowTrackStatus = grid(&TTrackParameterForm::ShowTrackStatus);
    h.ShowTrackData1 = grid(&TTrackParameterForm::ShowTrackData1);
    h.ShowTrackData2 = grid(&TTrackParameterForm::ShowTrackData2);
    h.ShowTrackNoteTime = grid(&TTrackParameterForm::ShowTrackNoteTime);
    h.ShowTrackGateTime = grid(&TTrackParameterForm::ShowTrackGateTime);
    h.ShowTrackDelay = grid(&TTrackParameterForm::ShowTrackDelay);
    h.ShowTrackChannel = grid(&TTrackParameterForm::ShowTrackChannel);
    h.ShowTrackStartStep = grid(&TTrackParameterForm::ShowTrackStartStep);
    h.ShowTrackEndStep = grid(&TTrackParameterForm::ShowTrackEndStep);
    h.ColorStepLabels = [](int p, int t) { With(PatternParameterForm, [&](auto& w) { w.ColorStepLabels(p, t); }); };
    h.EventEditorShow = [](int mode, int t, bool redraw) {
        With(EventEditForm, [&](auto& w) { w.ShowTrackSetting(mode, t, redraw); });
    };
    // Changed settings render the playback anew (and reach the piano roll).
    Notifications* notes = &context.Notices;
    h.RestartPlayback = [notes] { notes->TrackSettingsChanged.Publish(0); };
    return h;
}

TrackRowOps StepEditorOps(DeviceContext& context) {
    TrackRowOps ops;
    using Op = void (TPatternParameterForm::*)(int);
    auto op = [](Op fn) { return [fn](int t) { With(PatternParameterForm, [&](auto& w) { (w.*fn)(t); }); }; };
    ops.RotateTrackLeft = op(&TPatternParameterForm::RotateTrackLeft);
    ops.RotateTrackRight = op(&TPatternParameterForm::RotateTrackRight);
    ops.ShiftTrackLeft = op(&TPatternParameterForm::ShiftTrackLeft);
    ops.ShiftTrackRight = op(&TPatternParameterForm::ShiftTrackRight);
    ops.TransposeTrack = [](int t, int d) { With(PatternParameterForm, [&](auto& w) { w.TransposeTrack(t, d); }); };
    ops.ChangeTrackVelocity = [](int t, int d) {
        With(PatternParameterForm, [&](auto& w) { w.ChangeTrackVelocity(t, d); });
    };
    Notifications* notes = &context.Notices;
    ops.ShowTrackMute = [notes](int, int t) { notes->TrackMuteChanged.Publish(t); };
    ops.ColorStepLabels = [](int p, int t) { With(PatternParameterForm, [&](auto& w) { w.ColorStepLabels(p, t); }); };
    ops.UpdateTrackButtons = [](int p) { With(EventEditForm, [&](auto& w) { w.UpdateTrackButtons(p); }); };
    ops.TrackColor = [](int i) {
        return EventEditForm && i >= 0 && i < kTrackCount ? EventEditForm->TrackColor[size_t(i)] : clBtnFace;
    };
    ops.ShowPattern = [notes, &context](int p) {
        context.Model.SelectedPattern = p;
        notes->CurrentPatternChanged.Publish();
    };
    return ops;
}

// Codes 0..8: the fader window's data lists and value edits.
void ShowFaderTarget(DeviceModel& model, int code) {
    With(AllFaderP, [&](TAllFaderP& w) {
        const int p = model.SelectedPreset, f = model.SelectedFader;
        const auto& preset = model.Presets[size_t(p)];
        static constexpr int kArrays[9] = {
            Morvelant_Parameters::aFaderMidiData1,  Morvelant_Parameters::aKeyOnMidiData1,
            Morvelant_Parameters::aKeyOffMidiData1, Morvelant_Parameters::aFaderMidiData2,
            Morvelant_Parameters::aKeyOnMidiData2,  Morvelant_Parameters::aKeyOffMidiData2,
            Morvelant_Parameters::aFaderMin,        Morvelant_Parameters::aFaderMax,
            Morvelant_Parameters::aFaderValue};
        const int32_t value = preset.FaderArray(kArrays[code], f);
        if (code <= 5) {
            w.ShowDataIndex(code, value);
            return;
        }
        ArrowEdit* edit = code == 6 ? w.FaderMin : code == 7 ? w.FaderMax : w.FaderValue;
        if (edit != nullptr) edit->Edit->setText(QString::number(value));
    });
}

}  // namespace

PickerSupport::PickerSupport(DeviceContext& context)
    : Context(context),
      Hooks(GridAndStepHooks(context)),
      FaderPopups(context.Model, &Windows),
      TrackOps(StepEditorOps(context)) {
    DeviceModel& model = context.Model;
    Families.push_back(RegisterFaderTargets(Dispatch, model, [&model](int code) { ShowFaderTarget(model, code); }));
    Families.push_back(RegisterInitCtrlTargets(
        Dispatch, model, [](int minIndex) { With(InitCtrlForm, [&](TInitCtrlForm& w) { w.ShowPair(minIndex); }); }));
    Families.push_back(RegisterStepTargets(Dispatch, model, Hooks));
    Families.push_back(RegisterTrackTargets(Dispatch, model, Hooks));
}

}  // namespace morvelant
