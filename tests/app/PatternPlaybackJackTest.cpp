// The sequencer of the started editor playing the current pattern through
// the editor's own ports to a synth on the JACK server: the port flagged for
// virtual output 1 hears the notes in order, a step apart to the frame, and
// Stop and Panic leave no note sounding.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSpinBox>
#include <QPushButton>
#include <QToolButton>

#include <fstream>
#include <map>

#include "patterns/Sequencer.h"
#include "shell/MainMenu.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using namespace testsupport;

void Key(QWidget* w, Qt::Key key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

void Click(QWidget* w) {
    const QPointF at(w->width() / 2, w->height() / 2);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
}

// The notes whose last message switched them on.
std::map<int, bool> Sounding(JackPeer& peer) {
    std::map<int, bool> on;
    for (const auto& m : peer.Messages())
        if (m.size() == 3 && (m[0] & 0xF0) == 0x90) on[m[1]] = m[2] > 0;
    std::erase_if(on, [](const auto& kv) { return !kv.second; });
    return on;
}

TEST(PatternPlaybackJack, TheCurrentPatternPlaysThroughTheEditorsPorts) {
    if (!JackReachable()) GTEST_SKIP() << "JACK server " << JackTestServerName() << " not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string synth = "seqapp" + std::to_string(::getpid());
    JackPeer peer({.in = synth});
    StartedEditor editor;
    std::ofstream(editor.Folder() + "Morvelant.cfg") << "[Out1DeviceFlags]\r\n" << synth << ":in=1\r\n";
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    editor.Start();
    ASSERT_NE(SequencerForm, nullptr);
    PumpFor(200);  // a new connection takes a few cycles

    DeviceModel& m = editor.Model();
    m.SelectedPattern = 3;
    Pattern_Parameters& p = m.Patterns[3];
    p.MuteMask() = 0xFE;
    p.TrackEvent(0) = 0x90;
    p.TrackData2(0) = 127;
    p.TrackGateTime(0) = 20;
    p.TrackNoteTime(0) = 40;  // as long as the gate: a note always sounds
    p.TrackStartStep(0) = 1;
    p.TrackEndStep(0) = 4;
    for (int s = 0; s < 4; ++s) {
        p.StepNote(0, s) = 60 + s;
        p.StepVelocity(0, s) = 100;
    }
    editor.Windows().Context().Notices.CurrentPatternChanged.Publish();
    // The user opens the window from the Windows menu, types the tempo and
    // presses Play.
    QAction* item = nullptr;
    for (QAction* a : MainMenuForm->MainFormWindowsMenu->actions())
        if (a->text() == QStringLiteral("Play Pattern on PC")) item = a;
    ASSERT_NE(item, nullptr);
    item->trigger();
    ASSERT_TRUE(SequencerForm->isVisible());
    SequencerForm->Edit2->setFocus();
    SequencerForm->Edit2->selectAll();
    for (char c : std::string("240")) Key(SequencerForm->Edit2, Qt::Key(c), QString(QChar(c)));
    Key(SequencerForm->Edit2, Qt::Key_Return);
    EXPECT_EQ(SequencerForm->UpDown1->value(), 240);
    Click(SequencerForm->PlaySpeedButton);

    auto onsets = [&] {
        std::vector<int> notes;
        for (const auto& msg : peer.Messages())
            if (msg.size() == 3 && msg[0] == 0x90 && msg[2] > 0) notes.push_back(msg[1]);
        return notes;
    };
    ASSERT_TRUE(PumpUntil([&] { return onsets().size() >= 8; }, 10000)) << onsets().size();
    const std::vector<int> heard = onsets();
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(heard[i], 60 + int(i % 4)) << i;
    // Each step lands a sixteenth at 240 bpm after the one before, to the frame.
    std::vector<jack_nframes_t> frames;
    for (const auto& a : peer.Arrivals())
        if (a.bytes.size() == 3 && a.bytes[0] == 0x90 && a.bytes[2] > 0) frames.push_back(a.frame);
    for (size_t i = 1; i < 8; ++i) EXPECT_NEAR(double(frames[i] - frames[i - 1]), peer.Rate() * 0.0625, 1.0) << i;

    Click(SequencerForm->StopSpeedButton);
    // The note-offs come within a few cycles; a loaded machine may take longer.
    EXPECT_TRUE(PumpUntil([&] { return Sounding(peer).empty(); }, 5000)) << "after Stop";
    Click(SequencerForm->PlaySpeedButton);
    ASSERT_TRUE(PumpUntil([&] { return !Sounding(peer).empty(); }, 5000));
    Click(SequencerForm->Button3);
    // The note-offs come within a few cycles; a loaded machine may take longer.
    EXPECT_TRUE(PumpUntil([&] { return Sounding(peer).empty(); }, 5000)) << "after Panic";
    EXPECT_FALSE(SequencerForm->Playing());
}

}  // namespace
}  // namespace morvelant
