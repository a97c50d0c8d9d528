// The event editor: the current pattern as a piano roll that runs on
// without end. Each displayed track is drawn slot after slot in its run
// mode's step order and octave shift, with its step length, note length and
// delay; the selected track owns the grid, the velocity area, the step lamps
// and the parameter panel, and the mouse edits it.
#pragma once

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QWidget>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "patterns/EventEditGeometry.h"
#include "platform/QtColors.h"
#include "platform/QtFormBase.h"

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QScrollBar;
class QSlider;
class QToolButton;

namespace morvelant {

// A drawing surface: hands its mouse to the window and paints what the
// window draws for the damaged part, or else the image the window painted.
class PaintSurface : public QWidget {
public:
    explicit PaintSurface(const QString& name, QWidget* parent);
    QImage Image;
    // Draws the part `damaged` of the surface; when set, Image is not used.
    std::function<void(QPainter& p, const QRect& damaged)> Painter;
    // Makes the image w x h (at least 1 x 1) when its size changed.
    void Resize(int w, int h);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TEventEditForm : public TForm {
    Q_OBJECT

public:
    static constexpr int kKeyColumnTag = 7000;
    // The up/down buttons of the parameter panel.
    enum UpDownKind { udStartStep = 1, udEndStep, udChannel, udData1, udData2, udGateTime, udNoteTime, udDelay };
    // The colours of the view, in the order of the colour menu items.
    enum ViewColor { vcBackground, vcVerticalGrid, vcBeat, vcBar, vcHorizontalGrid, vcHeader };

    // configFile: the configuration file, read now and written when the
    // window goes.
    TEventEditForm(DeviceModel& model, Notifications& notifications, std::string configFile, QWidget* parent = nullptr);
    ~TEventEditForm() override;

    // ---- What the composition root plugs in ----------------------------------------------
    // The time-code (modes 3..5) and channel (modes 0..2) pickers, opened for
    // the event editor; returns the picker's result.
    std::function<int(int mode, int track, QPoint globalPos)> OpenTrackPicker;
    // The track colours changed (the track grid draws them too).
    std::function<void(const std::array<TColor, kTrackCount>& colors)> TrackColorsChanged;

    // ---- Drawing and view --------------------------------------------------------------------
    void RedrawAll();
    void SelectTrack(int p, int t);
    void UpdateTrackButtons(int p);
    void ShowTrackParameters(int p, int t);
    void FormResize();
    // The panel's fields one by one; track -1 means the selected track.
    void ShowStartStep(int p, int t);
    void ShowEndStep(int p, int t);
    void ShowMidiChannel(int p, int t);
    void ShowGateTime(int p, int t);
    void ShowNoteTime(int p, int t);
    void ShowDelayTime(int p, int t);
    // What a track picker shows here after writing setting `mode` (0
    // channel, 1 start step, 2 end step, 3 note time, 4 gate time, 5 delay)
    // of track 1..8 (0 or -1: the selected one); only while the window shows.
    void ShowTrackSetting(int mode, int t, bool redraw);
    // A drum kit's 128 instrument names for the left column.
    void SetKeyColumnNames(const std::vector<std::string>& names);
    // Whether the Display box of track t is ticked.
    bool TrackDisplayed(int t) const;

    void LoadSettings();
    void SaveSettings();

    // ---- Handlers ---------------------------------------------------------------------------
    void EventImageMouseDown(Qt::MouseButton button, int x, int y);
    void EventImageMouseMove(int x, int y);
    void EventImageMouseUp(Qt::MouseButton button, int x, int y);
    // A wheel over the drawing area: angleDelta as the wheel event gives it;
    // Shift turns an up/down wheel to the time axis.
    void EventImageWheel(QPoint angleDelta, bool shift);
    void ValueImageMouseDown(Qt::MouseButton button, int x, int y);
    void ValueImageMouseMove(int x, int y);
    void ValueImageMouseUp(Qt::MouseButton button, int x, int y);
    void Image1MouseDown(Qt::MouseButton button, int x, int y);
    void Image1MouseMove(int x, int y);
    void Image1MouseUp();
    void StepOnOffLedClick(int k);
    void TrackSpeedButtonClick(int t);
    void TrackSpeedButtonDblClick(int t);
    void TrackSpeedButtonRightPress(int t);
    void TrackDisplayCheckBoxClick(int t);
    void TrackActiveCheckBoxClick(int t);
    void UpDownClick(int kind, int delta);
    void ParameterEditMouseDown(QLineEdit* edit, Qt::MouseButton button, const QPoint& globalPos);
    void RunmodeClick(int mode);
    void EventTypeClick(int status);
    void KeyColumnKindClick(int kind);
    void ColorSettingClick(int which);
    void ScaleXTrackBarChange();
    void ScaleYTrackBarChange();
    void ScrollBar1Change();
    void ScrollBar2Change();
    // Scrolls the view to (x, y) pixels, held within the bounds; both scroll
    // bars follow.
    void ScrollTo(int x, int y);

    // ---- State ------------------------------------------------------------------------------
    int SelectedTrack = 1;
    int KeyColumnKind = kNumberColumn;
    EventEditView View;  // scale, scroll and area sizes (the velocity area as drawn)
    // The velocity area's height as the user set it; a small window draws less.
    int WantedValueAreaHeight = 40;
    // Paint from the kept pictures of the grid, the left column and the
    // ruler; false draws everything anew at every paint (what the kept
    // pictures must always match).
    bool CachedPainting = true;
    std::array<TColor, kTrackCount> TrackColor{};
    std::array<TColor, 6> ViewColors{};  // by ViewColor
    std::array<std::string, kValueRows> RowNames;
    int HoverValue = -1;
    std::array<bool, kTrackCount> TrackDisplayDefault{};
    int StepLength96 = 6;

    // ---- Components -------------------------------------------------------------------------
    PaintSurface *HeaderImage = nullptr, *EventImage = nullptr, *ValueImage = nullptr, *KeyImage = nullptr,
                 *Image1 = nullptr, *Image2 = nullptr;
    QGroupBox *GroupBox1 = nullptr, *GroupBox2 = nullptr, *MainGroupBox = nullptr, *HorzGroupBox = nullptr,
              *VertGroupBox = nullptr;
    QFrame *TrackParameterPanel = nullptr, *Panel8 = nullptr;
    QSlider *ScaleXTrackBar = nullptr, *ScaleYTrackBar = nullptr;
    QScrollBar *ScrollBar1 = nullptr, *ScrollBar2 = nullptr;
    std::array<QToolButton*, kTrackCount> TrackButtons{};
    std::array<QFrame*, kTrackCount> DisplayPanels{}, ActivePanels{};
    std::array<QCheckBox*, kTrackCount> DisplayBoxes{}, ActiveBoxes{};
    std::array<QFrame*, kStepCount> StepLeds{};
    QLineEdit *StartStepEdit = nullptr, *EndStepEdit = nullptr, *MidiChannelEdit = nullptr, *GateTimeEdit = nullptr,
              *NoteTimeEdit = nullptr, *DelayEdit = nullptr, *Trackdata1Edit = nullptr, *Trackdata2Edit = nullptr,
              *RunmodeEdit = nullptr, *EventEdit = nullptr;
    QMenu *HeaderPopupMenu = nullptr, *EventPopupMenu = nullptr, *PianoPopupMenu = nullptr, *RunmodePopupMenu = nullptr,
          *EventTypePopupMenu = nullptr;

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    void BuildTrackRows();
    void BuildPanel();
    void BuildMenus();
    void ShowPattern();
    void RestartPlayback();
    void ColorTrackControls(int t);
    int Pattern() const { return Model.SelectedPattern; }
    const Pattern_Parameters* CurrentRecord() const;
    int PanelTrack(int t) const { return t == -1 || t == 0 ? SelectedTrack : t; }
    bool Drawable() const;
    void ShowField(QLineEdit* field, int p, int t,
                   const std::function<QString(const Pattern_Parameters&, int i)>& text);

    // A picture kept between paints; what it shows is told by its key.
    struct Picture {
        QImage image;
        std::vector<int> key;
        // Whether the picture must be drawn anew for this size and key.
        bool Stale(QSize size, const std::vector<int>& newKey);
    };
    // The selected track's slot lines within clip: each pass begins in its colour.
    void PaintSlotLines(QPainter& p, const QRect& clip) const;
    // Background, slot lines and row lines of the note area within clip.
    void PaintGrid(QPainter& p, const QRect& clip) const;
    // One row of the same grid, its row line at the top, into an image as
    // wide as the note area and a row high.
    void PaintGridTile(QImage& tile) const;
    // The kept grid row laid down `area`, its line on every row boundary.
    void LayGridRows(QPainter& p, const QRect& area) const;
    void PaintNoteArea(QPainter& p, const QRect& damaged);
    // The left column's rows within clip, for a view of the column (the
    // window's, or one that holds all 128 rows).
    void PaintKeyRows(QPainter& p, const EventEditView& view, const QRect& clip) const;
    void PaintKeyColumn(QPainter& p, const QRect& damaged);
    // The whole ruler but the pass under the mouse.
    void PaintRulerTicks(QPainter& p, QSize size) const;
    void PaintRuler(QPainter& p, const QRect& damaged);
    void PaintValueArea(QPainter& p, const QRect& damaged) const;
    void DrawOverview();
    void DrawStepLamps();
    void ShowPassUnder(int x);
    void SetHover(int value);
    // The strip of the left column that a change of row v's highlight touches.
    QRect HoverDamage(const EventEditView& view, int v) const;
    void SyncScrollBars();
    // Calls fn(x, width, value, colour) for each note bar the note area shows.
    void ForEachNoteBar(const std::function<void(int x, int w, int v, const QColor& color)>& fn) const;

    DeviceModel& Model;
    Notifications& Notes;
    std::string configFile_;
    std::array<Subscription, 5> subscriptions_;
    bool layoutReady_ = false;
    bool inLayout_ = false;
    bool filling_ = false;
    double wheelX_ = 0, wheelY_ = 0;  // what the wheel has not scrolled yet
    QFont keyFont_;  // the left column's fixed-pitch font
    int passUnderMouse_ = 0;
    // The kept pictures: a row of the note area's grid, all 128 rows of the
    // left column (the row highlighted in it: keyRowsHover_), the ruler.
    Picture gridRow_, keyRows_, ruler_;
    int keyRowsHover_ = -1;
    int rowNamesRevision_ = 0;
    int requestedHeight_ = 0;
    // Mouse state.
    QPoint press_, last_;
    int pressScrollX_ = 0, pressScrollY_ = 0;
    bool dragArmed_ = false, scrolled_ = false, valueResize_ = false, keyResize_ = false, painting_ = false,
         overviewPressed_ = false, overviewZoom_ = false;
};

extern TEventEditForm* EventEditForm;

}  // namespace morvelant
