#include "patterns/PickerProtocol.h"

#include <algorithm>

#include "model/PatternSteps.h"
#include "model/TrackSettings.h"

namespace morvelant {

namespace {

constexpr int kLastStepCode = 16 * kTrackCount - 1;  // offset of track 8 step 16

bool ValidTrack(int t) { return t >= 1 && t <= kTrackCount; }

}  // namespace

std::optional<TrackStep> StepOfCode(int base, int code) {
    const int k = code - base;
    if (k < 0 || k > kLastStepCode) return std::nullopt;
    return TrackStep{k / 16 + 1, k % 16 + 1};
}

std::optional<int> NextStepCode(int code) {
    for (int base : {kStepNoteBase, kStepVelocityBase})
        if (code >= base && code < base + kLastStepCode) return code + 1;
    return std::nullopt;
}

std::optional<int> NextTrack(int track) {
    if (track >= 0 && track < kTrackCount) return track + 1;
    return std::nullopt;
}

Subscription PickerDispatch::Register(std::vector<PickerTarget> targets) {
    const int id = nextId_++;
    for (PickerTarget& t : targets) entries_->push_back({id, std::move(t)});
    std::weak_ptr<std::vector<Entry>> entries = entries_;
    return Subscription([entries, id] {
        if (auto list = entries.lock()) std::erase_if(*list, [id](const Entry& e) { return e.id == id; });
    });
}

const PickerTarget* PickerDispatch::Find(PickerKind kind, int code) const {
    // The latest family first: it takes over the codes it shares.
    for (auto it = entries_->rbegin(); it != entries_->rend(); ++it) {
        const PickerTarget& t = it->target;
        if (code >= t.first && code <= t.last && Serves(t.pickers, kind)) return &t;
    }
    return nullptr;
}

std::optional<int> PickerDispatch::PresentValue(PickerKind kind, int code) const {
    const PickerTarget* t = Find(kind, code);
    if (t == nullptr || !t->present) return std::nullopt;
    return t->present(code);
}

bool PickerDispatch::Write(PickerKind kind, int code, int value) const {
    const PickerTarget* t = Find(kind, code);
    if (t == nullptr || !t->write) return false;
    // A copy: the write may register or remove families.
    const auto write = t->write;
    write(code, value, kind);
    return true;
}

// ---- Fader window ----------------------------------------------------------

Subscription RegisterFaderTargets(PickerDispatch& dispatch, DeviceModel& model, std::function<void(int code)> refresh) {
    using MP = Morvelant_Parameters;
    static constexpr int kArrays[9] = {MP::aFaderMidiData1, MP::aKeyOnMidiData1, MP::aKeyOffMidiData1,
                                       MP::aFaderMidiData2, MP::aKeyOnMidiData2, MP::aKeyOffMidiData2,
                                       MP::aFaderMin,       MP::aFaderMax,       MP::aFaderValue};
    PickerTarget t;
    t.first = kFaderData1Code;
    t.last = kFaderValueCode;
    t.present = [&model](int code) -> std::optional<int> {
        if (!DeviceModel::ValidPreset(model.SelectedPreset) || !DeviceModel::ValidFader(model.SelectedFader))
            return std::nullopt;
        return model.Presets[model.SelectedPreset].FaderArray(kArrays[code], model.SelectedFader);
    };
    t.write = [&model, refresh](int code, int value, PickerKind) {
        const int p = model.SelectedPreset, f = model.SelectedFader;
        switch (code) {
            case 0: model.SetFaderMidiData1(p, f, value); break;
            case 1: model.SetKeyOnMidiData1(p, f, value); break;
            case 2: model.SetKeyOffMidiData1(p, f, value); break;
            case 3: model.SetFaderMidiData2(p, f, value); break;
            case 4: model.SetKeyOnMidiData2(p, f, value); break;
            case 5: model.SetKeyOffMidiData2(p, f, value); break;
            case 6: model.SetFaderMin(p, f, value); break;
            case 7: model.SetFaderMax(p, f, value); break;
            case 8: model.SetFaderValue(p, f, value); break;
            default: return;
        }
        if (!refresh) return;
        // The data lists are set under the guard so that their change
        // handlers do not write back; the three edits without it.
        if (code <= 5) {
            UpdatingGuard guard(model);
            refresh(code);
        } else {
            refresh(code);
        }
    };
    // Data 1 takes every picker, data 2 the values and the drum kits, the
    // range and value only numbers.
    PickerTarget data1 = t, data2 = t, range = t;
    data1.last = 2;
    data1.pickers = PickerKind::Values | PickerKind::Controllers | PickerKind::Piano | PickerKind::Drumkit;
    data2.first = kFaderData2Code;
    data2.last = 5;
    data2.pickers = PickerKind::Values | PickerKind::Drumkit;
    range.first = kFaderMinCode;
    range.pickers = static_cast<unsigned>(PickerKind::Values);
    return dispatch.Register({std::move(data1), std::move(data2), std::move(range)});
}

// ---- Init with MIDI controllers --------------------------------------------

bool PickInitPair(std::array<int32_t, 12>& values, int index, int value, PickerKind by) {
    if (index < 0 || index >= 12 || value < 0 || value > 127) return false;
    const bool isMin = index % 2 == 0;
    int min = isMin ? value : value - 23;
    if (min < 0 || min + 23 > 127) {
        // Outside 0..127: numbers ignore it, controllers move the pair back.
        if (by != PickerKind::Controllers) return false;
        min = std::clamp(min, 0, 127 - 23);
    }
    const int lo = index - index % 2;
    const bool changed = values[lo] != min || values[lo + 1] != min + 23;
    values[lo] = min;
    values[lo + 1] = min + 23;
    return changed;
}

Subscription RegisterInitCtrlTargets(PickerDispatch& dispatch, DeviceModel& model,
                                     std::function<void(int minIndex)> refresh) {
    PickerTarget t;
    t.present = [&model](int code) -> std::optional<int> { return model.InitValues[code - kInitCtrlBase]; };
    t.write = [&model, refresh](int code, int value, PickerKind by) {
        const int index = code - kInitCtrlBase;
        if (PickInitPair(model.InitValues, index, value, by) && refresh) refresh(index - index % 2);
    };
    PickerTarget ctrl = t, values = t;
    ctrl.first = kInitCtrlBase;
    ctrl.last = kInitCtrlBase + 5;
    ctrl.pickers = static_cast<unsigned>(PickerKind::Controllers);
    values.first = kInitCtrlBase;
    values.last = kInitCtrlBase + 11;
    values.pickers = static_cast<unsigned>(PickerKind::Values);
    return dispatch.Register({std::move(values), std::move(ctrl)});
}

// ---- Step editor and track grid ---------------------------------------------

Subscription RegisterStepTargets(PickerDispatch& dispatch, DeviceModel& model, PatternTargetHooks hooks) {
    std::vector<PickerTarget> targets;
    for (const bool notes : {true, false}) {
        const int base = notes ? kStepNoteBase : kStepVelocityBase;
        PickerTarget t;
        t.first = base;
        t.last = base + kLastStepCode;
        t.pickers = notes ? PickerKind::Values | PickerKind::Piano | PickerKind::Drumkit
                          : static_cast<unsigned>(PickerKind::Values);
        t.present = [&model, base, notes](int code) -> std::optional<int> {
            const auto ts = StepOfCode(base, code);
            if (!ts || !DeviceModel::ValidPattern(model.SelectedPattern)) return std::nullopt;
            const Pattern_Parameters& pat = model.Patterns[model.SelectedPattern];
            return notes ? pat.StepNote(ts->track - 1, ts->step - 1) : pat.StepVelocity(ts->track - 1, ts->step - 1);
        };
        t.write = [&model, hooks, base, notes](int code, int value, PickerKind) {
            const auto ts = StepOfCode(base, code);
            if (!ts) return;
            const int p = model.SelectedPattern;
            (notes ? SetStepNote : SetStepVelocity)(model, p, ts->track, value, ts->step);
            const auto& show = notes ? hooks.ShowStepNote : hooks.ShowStepVelocity;
            if (show) {
                UpdatingGuard guard(model);
                show(p, ts->track, ts->step);
            }
        };
        targets.push_back(std::move(t));
    }
    return dispatch.Register(std::move(targets));
}

Subscription RegisterTrackTargets(PickerDispatch& dispatch, DeviceModel& model, PatternTargetHooks hooks) {
    struct Row {
        int base;
        unsigned pickers;
        int32_t (Pattern_Parameters::*field)(int) const;
        void (*set)(DeviceModel&, int, int, int32_t);
        std::function<void(int, int)> show;
    };
    const Row rows[] = {
        {kTrackStatusBase, static_cast<unsigned>(PickerKind::Values), &Pattern_Parameters::TrackStatus, SetTrackStatus,
         hooks.ShowTrackStatus},
        {kTrackCtrlBase, PickerKind::Values | PickerKind::Controllers, &Pattern_Parameters::TrackData1, SetTrackData1,
         hooks.ShowTrackData1},
        {kTrackData1Base, static_cast<unsigned>(PickerKind::Values), &Pattern_Parameters::TrackData1, SetTrackData1,
         hooks.ShowTrackData1},
        {kTrackData2Base, static_cast<unsigned>(PickerKind::Values), &Pattern_Parameters::TrackData2, SetTrackData2,
         hooks.ShowTrackData2},
    };
    std::vector<PickerTarget> targets;
    for (const Row& row : rows) {
        PickerTarget t;
        t.first = row.base;
        t.last = row.base + kTrackCount;
        t.pickers = row.pickers;
        t.present = [&model, row](int code) -> std::optional<int> {
            const int track = code - row.base;
            if (!ValidTrack(track) || !DeviceModel::ValidPattern(model.SelectedPattern)) return std::nullopt;
            return (model.Patterns[model.SelectedPattern].*row.field)(track - 1);
        };
        t.write = [&model, row](int code, int value, PickerKind) {
            const int track = code - row.base;
            const int p = model.SelectedPattern;
            // Track 0 stands for all eight, each with its refresh.
            for (int tr = track == 0 ? 1 : track; tr <= (track == 0 ? kTrackCount : track); ++tr) {
                row.set(model, p, tr, value);
                if (row.show) row.show(p, tr);
            }
        };
        targets.push_back(t);
        if (row.base == kTrackData1Base) {
            // The keyboard serves the single tracks only, never "all".
            PickerTarget piano = t;
            piano.first = row.base + 1;
            piano.pickers = static_cast<unsigned>(PickerKind::Piano);
            targets.push_back(std::move(piano));
        }
    }
    return dispatch.Register(std::move(targets));
}

}  // namespace morvelant
