#include "patterns/ChannelFormUnit.h"

#include "model/TrackSettings.h"
#include "patterns/PickerWindows.h"

namespace morvelant {

TChannelForm* ChannelForm = nullptr;

TChannelForm::TChannelForm(DeviceModel& model, const PatternTargetHooks& hooks)
    : TrackPickerForm(QStringLiteral("ChannelForm"), model, hooks) {
    ChannelStringGrid =
        new PickerGrid(QStringLiteral("ChannelStringGrid"), kChannelGrid.rows, kChannelGrid.columns, 30, 20, this);
    for (int r = 0; r < kChannelGrid.rows; ++r)
        for (int c = 0; c < kChannelGrid.columns; ++c)
            ChannelStringGrid->SetCellText(r, c, QString::number(kChannelGrid.ValueAt({r, c}) + 1));
    SetGrid(ChannelStringGrid, kChannelGrid);
    ChannelStringGrid->move(1, 1);
    setFixedSize(ChannelStringGrid->width() + 2, ChannelStringGrid->height() + 2);
}

void TChannelForm::FormShow() {
    // A window dragged partly off the screen comes back onto it.
    KeepOnScreen(*this);
    int present = -1;
    switch (Mode) {
        case kChannelMode: {
            const int32_t ev = TrackWord(Pattern_Parameters::kTrackEvent);
            present = ev >= 0 ? ev & 0x0F : -1;
            break;
        }
        case kStartStepMode: present = TrackWord(Pattern_Parameters::kTrackStartStep) - 1; break;
        default: present = TrackWord(Pattern_Parameters::kTrackEndStep) - 1; break;
    }
    if (Track == 0) present = -1;
    SetCaption(Track == 0 ? ChannelCaptionWord(Mode) : ChannelCaptionWord(Mode) + ":" + std::to_string(present + 1));
    BeginShow(present);
}

std::string TChannelForm::HoverCaption(int index) const {
    return ChannelCaptionWord(Mode) + ":" + std::to_string(index + 1);
}

PickerCellStyle TChannelForm::CellStyle(int k) const {
    if (Mode != kChannelMode) {
        if (Track == 0) return {clWhite, clMenuText};
        const int32_t start = TrackWord(Pattern_Parameters::kTrackStartStep);
        const int32_t end = TrackWord(Pattern_Parameters::kTrackEndStep);
        if (k == presentIndex_) return {clRed, clMenuText};
        if ((Mode == kStartStepMode && k + 1 > end) || (Mode == kEndStepMode && k + 1 < start))
            return {clGray, clHighlightText};
    } else if (k == presentIndex_) {
        return {clRed, clMenuText};
    }
    if (k == hoverIndex_) return {clHighlight, clHighlightText};
    return {clWhite, clMenuText};
}

void TChannelForm::WriteTrack(int t, int i) {
    const int p = model_.SelectedPattern;
    auto* set = Mode == kChannelMode ? SetTrackChannel : Mode == kStartStepMode ? SetTrackStartStep : SetTrackEndStep;
    const auto& show = Mode == kChannelMode ? hooks_.ShowTrackChannel
        : Mode == kStartStepMode            ? hooks_.ShowTrackStartStep
                                            : hooks_.ShowTrackEndStep;
    set(model_, p, t, i);
    if (show) show(p, t);
    if (Mode != kChannelMode && hooks_.ColorStepLabels) hooks_.ColorStepLabels(p, t);
    if (Track != 0 && hooks_.EventEditorShow) hooks_.EventEditorShow(Mode, t, Mode != kChannelMode);
}

void TChannelForm::AfterWrite(int) {
    // The channel picker leaves the preview playing as it is.
    if (Track == 0 && hooks_.EventEditorShow) hooks_.EventEditorShow(Mode, 0, false);
}

}  // namespace morvelant
