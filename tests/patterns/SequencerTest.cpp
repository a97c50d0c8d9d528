#include <gtest/gtest.h>

#include <QLineEdit>
#include <QToolButton>

#include "patterns/Sequencer.h"
#include "tests/patterns/PatternsWindowSupport.h"

using namespace morvelant;
using namespace morvelant::testsupport;

namespace {

// One open output port of virtual output 1; counts what the window asks.
struct CountingPorts : PlaybackPorts {
    uint32_t tempo = 0;
    int countRestarts = 0;
    void RestartCount() override { ++countRestarts; }
    int OutCount() const override { return 1; }
    bool Flagged(int) const override { return true; }
    bool IsOpen(int) const override { return true; }
    void Flush(int) override {}
    void Play(int, TMidiKitScore&) override {}
    void Detach(int, TMidiKitScore&) override {}
    void SendNow(int, const MidiEvent&) override {}
    void Reopen(int) override {}
    void SetTempo(uint32_t us) override { tempo = us; }
    void StartClock() override {}
    void PauseClock() override {}
};

class SequencerWindow : public ::testing::Test, public PatternWindowTest {
protected:
    CountingPorts ports;
    std::unique_ptr<TSequencerForm> form = std::make_unique<TSequencerForm>(m, notes, ports, 4);
};

TEST_F(SequencerWindow, TheTempoFieldIsAppliedAtTheFirstStartAndKeptInRange) {
    form->Edit2->setText("300");  // typed before any start
    form->PlaySpeedButton->click();
    EXPECT_EQ(ports.tempo, 250000u);  // 240 bpm
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("240"));
    EXPECT_TRUE(form->Playing());
    EXPECT_TRUE(form->PlaySpeedButton->isChecked());
    form->Edit2->setText("9x");
    Q_EMIT form->Edit2->editingFinished();
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("240"));
    form->Edit2->setText("60");
    EXPECT_EQ(ports.tempo, 1000000u);  // applied while playing
}

TEST_F(SequencerWindow, TheClocksLoopStartsFromTheEventLoop) {
    form->PlaySpeedButton->click();
    form->SetPlaying(false);  // the clock's run ended
    form->StartPlayback();  // the loop: held until the clock reaches the stretch's end
    EXPECT_FALSE(form->Playing());
    QApplication::processEvents();
    EXPECT_TRUE(form->Playing());
    EXPECT_EQ(form->CountEdit->text(), QStringLiteral("1.1"));
}

TEST_F(SequencerWindow, EachPassOfTheLoopCountsFromOneOne) {
    // The form renders four beats; the clock's beats arrive as counter texts.
    m.Patterns[size_t(m.SelectedPattern)].MuteMask() = 0xFE;
    form->PlaySpeedButton->click();
    EXPECT_EQ(form->CountEdit->text(), QStringLiteral("1.1"));
    const char* beats[] = {"1.2", "1.3", "1.4", "2.1", "1.2"};
    const char* shown[] = {"1.2", "1.3", "1.4", "1.1", "1.2"};
    for (int b = 0; b < 5; ++b) {
        form->ShowCount(beats[b]);
        EXPECT_EQ(form->CountEdit->text(), QString::fromLatin1(shown[b])) << b;
    }
    EXPECT_EQ(ports.countRestarts, 1);
}

}  // namespace
