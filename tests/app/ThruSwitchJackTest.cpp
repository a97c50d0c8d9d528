// Thru in the editor as it starts from its configuration, with real peers:
// a user who switches Sysex Thru or Thru off with the keyboard in MIDI
// Settings between a system-exclusive message's head and its tail, and on
// again before another message's tail, never has the receiver get one
// message's head joined to the other's tail; the next whole message passes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "shell/Main.h"
#include "shell/MidiSettings.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackPeer.h"
#include "tests/support/JackServer.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::JackPeer;
using testsupport::MidiBytes;

TEST(ThruSwitchJack, ABoxSwitchedMidMessageNeverSplicesTwoMessages) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string id = std::to_string(::getpid());
    JackPeer sx({.out = "sx" + id}), rcv({.in = "rcv" + id});
    testsupport::StartedEditor editor;
    std::ofstream(editor.Folder() + "Morvelant.cfg")
        << "[ThruInDeviceFlags]\r\nsx" << id << ":out=1\r\n[ThruDeviceFlags]\r\nrcv" << id
        << ":in=1\r\n[ThruFlags]\r\nThruBox=1\r\nSysexThruBox=1\r\nRealtimeThruBox=1\r\n";
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    editor.Start();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return sx.OutConnections() > 0 && rcv.InConnections() > 0; }));
    MidiSettingsForm->Show();
    MidiSettingsForm->PageControl1->setCurrentWidget(MidiSettingsForm->TabSheet1);
    QApplication::processEvents();

    // A whole message first, as the route passes it once it is live.
    const MidiBytes probe = {0xF0, 0x7D, 0x00, 0xF7};
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        sx.Send(probe);
        testsupport::PumpFor(20);
        const auto got = rcv.Messages();
        return std::find(got.begin(), got.end(), probe) != got.end();
    })) << "thru never reached the receiver";

    for (QCheckBox* box : {MidiSettingsForm->SysexThruBox, MidiSettingsForm->ThruBox}) {
        SCOPED_TRACE(box->objectName().toStdString());
        rcv.Clear();
        const auto send = [&](const MidiBytes& bytes) {
            sx.Send(bytes);
            testsupport::PumpFor(30);  // the window thread goes on as the user types
        };
        // The window thread goes to wait after each key, as under a user.
        const auto key = [&] {
            userinput::KeyClick(box, Qt::Key_Space);
            QEventLoop loop;
            QTimer::singleShot(1, &loop, &QEventLoop::quit);
            loop.exec();
        };
        userinput::FocusOn(box);
        send({0xF0, 0x7D, 0x01, 0x11, 0x22});
        key();
        ASSERT_FALSE(box->isChecked());
        send({0x33, 0xF7});
        send({0xF0, 0x7D, 0x02, 0x55});
        key();
        ASSERT_TRUE(box->isChecked());
        send({0x66, 0xF7});
        send({0xF0, 0x7D, 0x03, 0x77, 0xF7});
        ASSERT_TRUE(testsupport::PumpUntil([&] { return !rcv.Messages().empty(); }, 5000));
        testsupport::PumpFor(100);  // nothing more comes
        EXPECT_EQ(rcv.Messages(), (std::vector<MidiBytes>{{0xF0, 0x7D, 0x03, 0x77, 0xF7}}));
    }
    MidiSettingsForm->Hide();
}

}  // namespace
}  // namespace morvelant
