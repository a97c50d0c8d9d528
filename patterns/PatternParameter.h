// The step editor: the 16 steps of each of the 8 tracks of the current
// pattern, each with its velocity, its on/off lamp and its note. Lamps are
// clicked, notes and velocities dragged vertically or picked, a track is
// selected by a press on its box and its steps copied by dragging the box
// onto another, and the track menu runs the operations on a whole track.
#pragma once

#include <QPixmap>

#include <array>
#include <string>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "patterns/PatternFormConfig.h"
#include "patterns/PatternPickers.h"
#include "platform/CommandRegistry.h"
#include "platform/QtFormBase.h"

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QMimeData;

namespace morvelant {

class TPatternParameterForm : public TForm {
    Q_OBJECT

public:
    // The drags of track boxes carry this type (the track number as text).
    static constexpr const char* kTrackDragType = "application/x-morvelant-step-track";
    static constexpr int kNoteTagBase = 1000;
    static constexpr int kVelocityTagBase = 2000;
    static constexpr int kLampTagBase = 3000;

    // pickers may be null: the picker items then do nothing.
    TPatternParameterForm(DeviceModel& model, Notifications& notifications, CommandRegistry& commands,
                          PatternPickers* pickers = nullptr, QWidget* parent = nullptr);
    ~TPatternParameterForm() override;

    void SetPickers(PatternPickers* pickers) { Pickers = pickers; }

    // ---- Display ----------------------------------------------------------------------------
    void SetLedPicture(int t, int s, bool on);
    void ShowStepLed(int p, int t, int s);
    void ShowStepNote(int p, int t, int s);
    void ShowStepVelocity(int p, int t, int s);
    void RefreshPattern(int p);
    // Panels of a muted track in the shadow colour.
    void ShowTrackMute(int p, int t);
    // Labels of a muted track and of steps outside the track's range greyed.
    void ColorStepLabels(int p, int t);
    // The box of the selected track yellow, the others plain.
    void ShowSelectedTrack();

    // ---- Track operations on track t of the current pattern ---------------------------------
    void RotateTrackLeft(int t);
    void RotateTrackRight(int t);
    void ShiftTrackLeft(int t);
    void ShiftTrackRight(int t);
    void TransposeTrack(int t, int delta);
    void ChangeTrackVelocity(int t, int delta);

    // ---- Handlers ---------------------------------------------------------------------------
    void Image1MouseDown(QLabel* lamp);
    void EditA1_1MouseDown(QLabel* label, Qt::MouseButton button, int y);
    void EditA1_1MouseMove(QLabel* label, int y);
    void EditA1_1MouseUp();
    void EditB1_1MouseDown(QLabel* label, Qt::MouseButton button, int y) { EditA1_1MouseDown(label, button, y); }
    void EditB1_1MouseMove(QLabel* label, int y) { EditA1_1MouseMove(label, y); }
    void EditB1_1MouseUp() { EditA1_1MouseUp(); }
    void PianoKeyboard1Click();
    void NumericalValues1Click();
    void NumericalValues2Click();
    void GroupBox1MouseDown(int track, Qt::MouseButton button, const QPoint& globalPos);
    void GroupBox1Click(int track);  // a double click: mute or unmute
    void GroupBox1DragDrop(int target);
    void Mute1Click();
    void InitPattern1Click();
    void CopyTrack1Click();
    void PasteTrack1Click();
    void PasteTrackwClipboard1Click();
    void Edit1Click();

    // The payload of a track box drag.
    static QMimeData* TrackDragData(int track);

    // ---- Components -------------------------------------------------------------------------
    std::array<QGroupBox*, kTrackCount> TrackBoxList{};
    std::array<QFrame*, 4 * kTrackCount> Panels{};
    std::array<QLabel*, kTrackCount * kStepCount> LedImageList{};
    std::array<QLabel*, kTrackCount * kStepCount> NoteLabels{};
    std::array<QLabel*, kTrackCount * kStepCount> VelocityLabels{};
    QLabel* BigLedOnImage = nullptr;
    QLabel* BigLedOffImage = nullptr;
    QMenu* TrackPopupMenu = nullptr;
    QMenu* StepNotesPopupMenu = nullptr;
    QMenu* StepVelPopupMenu = nullptr;
    QAction *Mute1 = nullptr, *InitPattern1 = nullptr, *CopyTrack1 = nullptr, *PasteTrack1 = nullptr,
            *PasteTrackwClipboard1 = nullptr, *RotateLeft1 = nullptr, *RotateRight1 = nullptr, *ShiftLeft1 = nullptr,
            *ShuftRight1 = nullptr, *Transpose1 = nullptr, *TransposeDown1 = nullptr, *Edit1 = nullptr;
    QAction *PianoKeyboard1 = nullptr, *NumericalValues1 = nullptr, *NumericalValues2 = nullptr;

    // ---- State ------------------------------------------------------------------------------
    QPixmap LedOnPicture;
    QPixmap LedOffPicture;
    int LabelDragLastY = 0;
    bool LabelDragActive = false;
    int DragSourceTrack = 0;
    // The track whose box opened the track menu, the label that opened its menu.
    int PopupTrack = 1;
    int PopupLabelTag = 0;

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    void BuildMenus();
    int CurrentPattern() const { return Model.SelectedPattern; }
    // Makes pattern p current and refreshes every view of it.
    void ShowPattern(int p);
    void SelectTrack(int t);
    // Runs a step-moving operation on track t and shows the pattern anew.
    void MoveSteps(void (*move)(DeviceModel&, int, int), int t);
    void SetLabelColor(QLabel* label, bool grey);
    // The step-picker loop of a label menu.
    void RunStepPicker(int code, int lastCode, bool piano);
    QLabel* LabelOfCode(int code) const;
    void StepsEdited();
    void StartTrackDrag(int track);

    DeviceModel& Model;
    Notifications& Notes;
    CommandRegistry& Commands;
    PatternPickers* Pickers;
    PatternFormConfig Config;
    std::array<Subscription, 5> subscriptions_;
    int boxPressTrack_ = 0;
    QPoint boxPressPos_;
};

extern TPatternParameterForm* PatternParameterForm;

}  // namespace morvelant
