// End to end over a JACK server: a fader edited in the fader parameter window
// and then moved in the virtual device window sends the edited event to
// another JACK client.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>

#include <chrono>
#include <thread>

#include "engine/Tool.h"
#include "faders/AllFaderParameters.h"
#include "midikit/MidiKitOut.h"
#include "shell/MidiSettings.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using testsupport::MidiBytes;

// Processes the GUI's events until pred holds; the limit only keeps a broken
// test from hanging.
template <typename Pred>
bool WaitUntil(Pred pred) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < limit) {
        QApplication::processEvents();
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

TEST(FaderWindowJack, AnEditedFaderSendsItsNewEventToAPeer) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    testsupport::StartedEditor editor;
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    const std::string client = "FaderPeer" + std::to_string(::getpid());
    testsupport::JackPeer peer({.in = client, .splitClocks = true});
    editor.Start();
    MidiRouting& routing = editor.Windows().Context().Routing;

    // The peer's port becomes an output-1 port, as a click in the MIDI
    // settings' output list makes it.
    int out = -1;
    for (size_t i = 0; i + 1 < routing.OutDriverNames.size(); ++i)
        if (routing.OutDriverNames[i].find(client + ":in") != std::string::npos) out = int(i);
    ASSERT_GE(out, 0) << "the peer's port is not offered by the driver";
    MidiSettingsForm->Show();
    MidiSettingsForm->PageControl1->setCurrentWidget(MidiSettingsForm->TabSheet2);
    QApplication::processEvents();
    const QRect r = TMidiSettingsForm::StatePictureRect(MidiSettingsForm->MorvelantOut1Devices, out);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(r.center()), QPointF(r.center()), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(MidiSettingsForm->MorvelantOut1Devices->viewport(), &press);
    ASSERT_TRUE(routing.Out1DeviceFlags[size_t(out)]);
    TMidiKitOut* port = routing.Out[size_t(out)];
    ASSERT_TRUE(port != nullptr && port->IsOpen());
    // A new connection takes effect some cycles later: clocks until one arrives.
    int tick = 0;
    ASSERT_TRUE(WaitUntil([&] {
        if (tick++ % 4 == 0) {
            MidiEvent clock{0xFFFFFFFFu, 0xF8, 0, 0, 0};
            port->Put(&clock);
        }
        return peer.Clocks() > 0;
    })) << "the peer never heard the output";

    // Fader 3 becomes Pitch Bend on channel 4 with its LSB fixed at 5 and
    // the fader's value as MSB, all in the fader parameter window.
    MainForm->Show();
    AllFaderP->Show();
    SelectFader(editor.Windows().Context().DeviceEngine, 2);
    AllFaderP->FaderEvent->setCurrentIndex(3);
    AllFaderP->SpeedButtons[3]->click();
    AllFaderP->FaderMidiData1->setCurrentIndex(5);
    AllFaderP->FaderMidiData2->setCurrentIndex(128);
    AllFaderP->ModeImmediateButton->click();
    MainForm->FaderList[2]->setValue(127 - 90);
    const MidiBytes want{0xE3, 5, 90};
    EXPECT_TRUE(WaitUntil([&] {
        for (const MidiBytes& m : peer.Messages())
            if (m == want) return true;
        return false;
    })) << "the edited event did not arrive";
    MidiSettingsForm->Hide();
}

}  // namespace
}  // namespace morvelant
