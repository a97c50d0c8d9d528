// The track parameter grid: the eleven settings of the 8 tracks of the
// current pattern, one column per track, one row per setting. A right click
// on a cell edits that setting of that track through a menu or a picker, on
// a row's label for all eight tracks; a track's header dragged onto another
// column copies the whole track.
#pragma once

#include <array>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "patterns/PatternFormConfig.h"
#include "patterns/PatternPickers.h"
#include "platform/QtColors.h"
#include "platform/QtFormBase.h"

class QAction;
class QMenu;
class QMimeData;
class QTableWidget;

namespace morvelant {

class TTrackParameterForm : public TForm {
    Q_OBJECT

public:
    // The drags of track columns carry this type (the track number as text).
    static constexpr const char* kColumnDragType = "application/x-morvelant-track-column";
    enum Row {
        rEvent = 1,
        rChannel,
        rData1,
        rData2,
        rGatetime,
        rNotetime,
        rRunmode,
        rDelay,
        rStartstep,
        rEndstep,
        rStatus
    };

    TTrackParameterForm(DeviceModel& model, Notifications& notifications, PatternPickers* pickers = nullptr,
                        QWidget* parent = nullptr);
    ~TTrackParameterForm() override;

    void SetPickers(PatternPickers* pickers) { Pickers = pickers; }
    // The piano roll's track colours, drawn in the header row.
    void SetTrackColors(const std::array<TColor, kTrackCount>& colors);

    // ---- Show routines: one cell of column t -----------------------------------------------
    void ShowTrackEvent(int p, int t);
    void ShowTrackChannel(int p, int t);
    void ShowTrackData1(int p, int t);
    void ShowTrackData2(int p, int t);
    void ShowTrackGateTime(int p, int t);
    void ShowTrackNoteTime(int p, int t);
    void ShowTrackRunMode(int p, int t);
    void ShowTrackDelay(int p, int t);
    void ShowTrackStartStep(int p, int t);
    void ShowTrackEndStep(int p, int t);
    void ShowTrackStatus(int p, int t);
    void ShowTrackMute(int p, int t);
    void RefreshTrackGrid(int p);
    // The cell text at (row, column), for tests and the screenshot tool.
    QString CellText(int row, int column) const;
    QColor CellColor(int row, int column) const;

    // ---- Handlers ---------------------------------------------------------------------------
    void StringGrid1MouseDown(int row, int column, Qt::MouseButton button, const QPoint& globalPos);
    void StringGrid1DragDrop(int row, int column, int sourceColumn);
    void EventSelectClick(int tag);
    void normal1Click(int tag);
    void Mute1Click(int tag);
    void PianoKeyboard1Click();
    void MidiControllers1Click();
    void NumericalValues2Click();
    void NumericalValues5Click();

    static QMimeData* ColumnDragData(int track);

    // ---- Components -------------------------------------------------------------------------
    QTableWidget* StringGrid1 = nullptr;
    QMenu *PopupMenu1 = nullptr, *RunModePopupMenu = nullptr, *MuteStatusPopupMenu = nullptr,
          *NoteEvPopupMenu = nullptr, *ControllerPopupMenu = nullptr, *ProgramChangePopupMenu = nullptr,
          *ValuesPopupMenu = nullptr, *PrgChPopupMenu = nullptr;
    QMenu *Up1 = nullptr, *Down1 = nullptr, *UpDown11 = nullptr, *UpDown21 = nullptr;

    // ---- State ------------------------------------------------------------------------------
    int ClickedRow = -1;
    int ClickedColumn = -1;
    int DragSourceColumn = 0;

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    void BuildMenus();
    void SetCell(int row, int t, const std::string& text);
    void PaintCells();
    void ResetClickedCell();
    // Runs `show` for the clicked column and, while it answers 1 (a pick with
    // Shift held), for each next track up to 8; then the edits take effect.
    void AdvanceLoop(const std::function<int(int column)>& show);
    // For the clicked column, or all eight tracks from the label column.
    void ForClickedTracks(const std::function<void(int t)>& fn);
    void SettingsChanged(int track);
    void ShowPattern();

    DeviceModel& Model;
    Notifications& Notes;
    PatternPickers* Pickers;
    PatternFormConfig Config;
    std::array<TColor, kTrackCount> trackColors_;
    std::array<Subscription, 5> subscriptions_;
    int pressColumn_ = -1;
    QPoint pressPos_;
};

extern TTrackParameterForm* TrackParameterForm;

}  // namespace morvelant
