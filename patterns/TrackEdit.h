// The track tools palette: one row per track of the current pattern with
// rotate, shift, transpose, velocity change and random fills, an Active box
// per track, and the random ranges of notes and velocities, which the
// keyboard and value pickers set through codes 4000..4003.
#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "model/DeviceModel.h"
#include "patterns/PickerProtocol.h"
#include "patterns/TrackTools.h"
#include "platform/QtColors.h"
#include "platform/QtFormBase.h"

class QCheckBox;
class QFrame;
class QLineEdit;
class QSpinBox;
class QToolButton;

namespace morvelant {

// What the track tools call: the step editor's row operations on track t
// (1..8) of the current pattern, the mute display of the other windows, the event
// editor's track buttons and colours, and the common pattern refresh.
struct TrackRowOps {
    std::function<void(int t)> RotateTrackLeft;
    std::function<void(int t)> RotateTrackRight;
    std::function<void(int t)> ShiftTrackLeft;
    std::function<void(int t)> ShiftTrackRight;
    std::function<void(int t, int delta)> TransposeTrack;
    std::function<void(int t, int delta)> ChangeTrackVelocity;
    std::function<void(int p, int t)> ShowTrackMute;
    std::function<void(int p, int t)> ColorStepLabels;
    std::function<void(int p)> UpdateTrackButtons;
    std::function<TColor(int index)> TrackColor;  // 0..7
    std::function<void(int p)> ShowPattern;
};

// The two arrow buttons of a range edit; a click only steps the field.
class UpDownButtons : public QWidget {
    Q_OBJECT

public:
    UpDownButtons(const QString& name, QWidget* parent);
    QToolButton* Up = nullptr;
    QToolButton* Down = nullptr;

Q_SIGNALS:
    void Clicked(bool up);
};

class TTrackEditForm : public TForm {
    Q_OBJECT

public:
    // notes (may be null) keeps the Active boxes with the current pattern.
    TTrackEditForm(DeviceModel& model, Notifications* notes, PickerDispatch& dispatch, PickerLauncher* pickers,
                   TrackRowOps ops, RandomSource random);

    TrackToolRanges Ranges;
    int32_t& MinVelocity = Ranges.MinVelocity;
    int32_t& MaxVelocity = Ranges.MaxVelocity;
    int32_t& MinNote = Ranges.MinNote;
    int32_t& MaxNote = Ranges.MaxNote;

    std::array<QFrame*, kTrackCount> ActivePanels{};
    std::array<QCheckBox*, kTrackCount> TrackCheckBoxes{};
    std::array<QSpinBox*, kTrackCount> MaskEdits{};
    // SpeedButton1 .. SpeedButton80 at index n - 1.
    std::array<QToolButton*, 80> SpeedButtons{};
    QLineEdit* minNoteEdit = nullptr;
    QLineEdit* maxNoteEdit = nullptr;
    QLineEdit* minVelocityEdit = nullptr;
    QLineEdit* maxVelocityEdit = nullptr;
    UpDownButtons* minNoteUpDown = nullptr;
    UpDownButtons* maxNoteUpDown = nullptr;
    UpDownButtons* minVelocityUpDown = nullptr;
    UpDownButtons* maxVelocityUpDown = nullptr;

    // The buttons of row t (1..8) by column.
    QToolButton* RotateLeftButton(int t) const { return SpeedButtons[static_cast<size_t>(6 * (t - 1))]; }
    QToolButton* RotateRightButton(int t) const { return SpeedButtons[static_cast<size_t>(6 * (t - 1) + 1)]; }
    QToolButton* ShiftLeftButton(int t) const { return SpeedButtons[static_cast<size_t>(6 * (t - 1) + 2)]; }
    QToolButton* ShiftRightButton(int t) const { return SpeedButtons[static_cast<size_t>(6 * (t - 1) + 3)]; }
    QToolButton* NotesMinusButton(int t) const;
    QToolButton* NotesPlusButton(int t) const { return SpeedButtons[static_cast<size_t>(64 + 2 * (t - 1))]; }
    QToolButton* VelocityMinusButton(int t) const;
    QToolButton* VelocityPlusButton(int t) const { return SpeedButtons[static_cast<size_t>(65 + 2 * (t - 1))]; }
    QToolButton* RandomNotesButton(int t) const;
    QToolButton* RandomVelocityButton(int t) const;

    void SpeedButton6Click(int t);  // random notes
    void SpeedButton12Click(int t);  // random velocities
    void Track1CheckBoxClick(int t);
    // An arrow of the range edit of code 4000..4003.
    void RangeUpDownClick(int code, bool up);
    // A velocity edit committed (Return, or the focus leaving it changed).
    void VelocityEditEnter(int code);
    // A press on a range edit opens its picker.
    void RangeEditMouseDown(int code);
    // Shows bound `code` in its edit (note name or number).
    void ShowBound(int code);
    // The Active box of track t from the pattern's mute mask, without
    // writing back.
    void ShowTrackActive(int p, int t);
    // The Active panels in the event editor's track colours.
    void ShowTrackColors();

protected:
    void FormShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* EditOf(int code) const;
    void RowOperation(int t, const std::function<void(int)>& op);
    void RandomFillRow(int t, bool notes);

    DeviceModel& model_;
    PickerLauncher* pickers_;
    TrackRowOps ops_;
    RandomSource random_;
    Subscription targets_;
    Subscription patternShown_;
    Subscription mutes_;
};

extern TTrackEditForm* TrackEditForm;

}  // namespace morvelant
