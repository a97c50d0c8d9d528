// The sequencer window: plays the current pattern on the PC through the
// output ports of virtual output 1, with Play, Stop, the tempo, the bar.beat
// count and Panic. The render follows every change of the current pattern
// and of its track settings, whether the window shows or not; the Windows
// menu ("Play Pattern on PC") and the explorer open it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/SequencerLink.h"
#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "patterns/PatternPlayer.h"
#include "platform/QtFormBase.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class QToolButton;

namespace morvelant {

class TSequencerForm : public TForm, public SequencerLink {
    Q_OBJECT

public:
    TSequencerForm(DeviceModel& model, Notifications& notifications, PlaybackPorts& ports,
                   int renderBeats = kRenderBeats, QWidget* parent = nullptr);
    // The same, owning its ports.
    TSequencerForm(DeviceModel& model, Notifications& notifications, std::unique_ptr<PlaybackPorts> ports,
                   int renderBeats = kRenderBeats, QWidget* parent = nullptr);
    ~TSequencerForm() override;

    // Called as the window goes, so that whoever holds it as its link lets go.
    std::function<void()> Unlink;

    // Re-renders the current pattern and, while playing, starts it again.
    void RestartPlayback();
    PatternPlayer& Player() { return *player_; }

    // ---- What the clock's handlers ask (SequencerLink) ----------------------------------------
    void StartPlayback() override;
    bool Playing() const override { return player_->Playing(); }
    void SetPlaying(bool playing) override;
    bool LoopPlayback() const override { return true; }
    void ShowCount(const std::string& text) override;
    void ShowSyncDoneCount(const std::string& text) override;
    void ShowStopped() override;
    void ShowPlaying() override;
    int CountActiveTracks() const override;

    // ---- Handlers ---------------------------------------------------------------------------
    void PlaySpeedButton1Click();
    void StopButtonClick();
    void Edit2Change();
    void Button3Click();

    // ---- Components -------------------------------------------------------------------------
    QToolButton* PlaySpeedButton = nullptr;
    QToolButton* StopSpeedButton = nullptr;
    QLineEdit* Edit2 = nullptr;
    QSpinBox* UpDown1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* CountEdit = nullptr;
    QPushButton* Button3 = nullptr;
    QLineEdit* Edit4 = nullptr;  // hidden: the count of finished runs

private:
    const Pattern_Parameters* CurrentPattern() const;
    // Takes the tempo field and shows the tempo in force.
    void ApplyTempoField();

    DeviceModel& Model;
    QTimer* loopTimer_ = nullptr;  // holds a loop until the clock reaches the run's end
    std::unique_ptr<PlaybackPorts> ownedPorts_;
    std::unique_ptr<PatternPlayer> player_;
    Subscription patternChanged_, settingsChanged_;
};

extern TSequencerForm* SequencerForm;

}  // namespace morvelant
