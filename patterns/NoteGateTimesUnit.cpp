#include "patterns/NoteGateTimesUnit.h"

#include "model/TrackSettings.h"
#include "platform/QtText.h"

namespace morvelant {

TNoteGateTimes* NoteGateTimes = nullptr;

TNoteGateTimes::TNoteGateTimes(DeviceModel& model, const PatternTargetHooks& hooks)
    : TrackPickerForm(QStringLiteral("NoteGateTimes"), model, hooks) {
    StringGrid1 =
        new PickerGrid(QStringLiteral("StringGrid1"), kTimeCodeGrid.rows, kTimeCodeGrid.columns, 64, 18, this);
    for (int i = 1; i < 32; ++i) {
        const GridCell c = kTimeCodeGrid.CellOf(i);
        StringGrid1->SetCellText(c.row, c.column, QString::fromLatin1(TimeCodeCellText(i, kNoteTimeMode)));
    }
    SetGrid(StringGrid1, kTimeCodeGrid);
    connect(StringGrid1, &PickerGrid::DoubleClick, this, &TNoteGateTimes::StringGrid1DblClick);
    StringGrid1->move(1, 1);
    setFixedSize(StringGrid1->width() + 2, StringGrid1->height() + 2);
}

void TNoteGateTimes::FormShow() {
    SetCaption(TimeCodeCaptionWord(Mode));
    StringGrid1->SetCellText(0, 0, QString::fromLatin1(TimeCodeCellText(0, Mode)));
    const int base = Mode == kNoteTimeMode ? Pattern_Parameters::kTrackNoteTime
        : Mode == kGateTimeMode            ? Pattern_Parameters::kTrackGateTime
                                           : Pattern_Parameters::kTrackDelay;
    const int32_t present = TrackWord(base);
    limit_ = -1;
    if (Mode == kNoteTimeMode && Track != 0) {
        const int32_t gate = TrackWord(Pattern_Parameters::kTrackGateTime);
        if (gate >= 0) limit_ = gate / 4;
    }
    BeginShow(present >= 0 ? present / 4 : -1);
}

std::string TNoteGateTimes::HoverCaption(int index) const {
    return TimeCodeCaptionWord(Mode) + TimeCodeCellText(index, Mode);
}

PickerCellStyle TNoteGateTimes::CellStyle(int i) const {
    // A new pattern's value stands out: "no Delay", or 1/16 for the times.
    const bool bold = Mode == kDelayMode ? i == 0 : i == 5;
    if (limit_ >= 0 && i > limit_) return {clGray, clMenuText, false};
    if (i == presentIndex_) return {clRed, clMenuText, bold};
    if (i == hoverIndex_ && Writable(i)) return {clHighlight, clHighlightText, bold};
    return {clWhite, clMenuText, bold};
}

void TNoteGateTimes::WriteTrack(int t, int i) {
    const int p = model_.SelectedPattern;
    auto call = [&](const auto& fn, auto... args) {
        if (fn) fn(args...);
    };
    switch (Mode) {
        case kNoteTimeMode:
            SetTrackNoteTime(model_, p, t, i);
            call(hooks_.ShowTrackNoteTime, p, t);
            call(hooks_.ShowTrackGateTime, p, t);
            break;
        case kGateTimeMode:
            SetTrackGateTime(model_, p, t, i);
            call(hooks_.ShowTrackGateTime, p, t);
            call(hooks_.ShowTrackNoteTime, p, t);
            break;
        default:
            SetTrackDelay(model_, p, t, i);
            call(hooks_.ShowTrackDelay, p, t);
            break;
    }
    if (Track != 0 && hooks_.EventEditorShow) hooks_.EventEditorShow(Mode, t, true);
}

void TNoteGateTimes::AfterWrite(int) {
    if (Track == 0 && hooks_.EventEditorShow) hooks_.EventEditorShow(Mode, 0, true);
    if (hooks_.RestartPlayback) hooks_.RestartPlayback();
}

}  // namespace morvelant
