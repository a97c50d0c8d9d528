// A role ticked in the MIDI settings asks for the port's connection, even
// where another role kept the port open after a patchbay undid the
// connection: the faders reach the peer again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTreeWidget>

#include <jack/jack.h>

#include <fstream>
#include <string>

#include "engine/DeviceContext.h"
#include "engine/Tool.h"
#include "midikit/MidiKitOut.h"
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

// Undoes every connection of a peer's port, as a patchbay does.
bool DisconnectAll(const std::string& port) {
    return testsupport::WithPatchbay([&](jack_client_t* c) {
        jack_port_t* p = jack_port_by_name(c, port.c_str());
        return p != nullptr && jack_port_disconnect(c, p) == 0;
    });
}

// A click on a port's state picture in one of the role lists.
void ClickPicture(QTreeWidget* tree, int node) {
    const QPointF at = TMidiSettingsForm::StatePictureRect(tree, node).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, tree->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, tree->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &release);
}

TEST(PortRoleJack, ARoleTickedAgainAfterAPatchbayDisconnectionConnectsThePort) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    const std::string t1 = "t" + std::to_string(::getpid());
    JackPeer peer({.in = t1});
    testsupport::StartedEditor editor;
    // The peer's port is the device port ("PC -> Morvelant") and output 1's.
    std::ofstream(editor.Folder() + "Morvelant.cfg")
        << "[Morvelant Devices]\r\nPCMorvelantDevice=" << t1 << ":in\r\n[Out1DeviceFlags]\r\n"
        << t1 << ":in=1\r\n";
    ::setenv("MIDIKIT_BACKEND", "jack", 1);
    editor.Start();
    DeviceContext& context = editor.Windows().Context();
    MidiRouting& routing = context.Routing;
    int out = -1;
    for (int i = 0; i < routing.NumOutDevs; ++i)
        if (routing.OutDriverNames[size_t(i)] == t1 + ":in") out = i;
    ASSERT_GE(out, 0);
    ASSERT_EQ(routing.DeviceOutPort(), out);
    ASSERT_TRUE(routing.Out1DeviceFlags[size_t(out)]);

    // Output 1's event, as a fader sends it, until the peer hears it.
    int value = 0;
    const auto faderReaches = [&](int withinMs) {
        return testsupport::PumpUntil(
            [&] {
                value = value % 100 + 1;
                SendToVirtualOutputs(context.DeviceEngine, MidiEvent{0xFFFFFFFFu, 0xB0, 7, uint8_t(value), 0}, 1);
                testsupport::PumpFor(20);
                for (const MidiBytes& m : peer.Messages())
                    if (m == MidiBytes{0xB0, 7, uint8_t(value)}) return true;
                return false;
            },
            withinMs);
    };
    ASSERT_TRUE(faderReaches(10000)) << "the port never reached the peer";

    ASSERT_TRUE(DisconnectAll(t1 + ":in"));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return peer.InConnections() == 0; }));
    peer.Clear();

    // Output 1 unticked and ticked again; the device role kept the port open.
    MidiSettingsForm->Show();
    MidiSettingsForm->PageControl1->setCurrentWidget(MidiSettingsForm->TabSheet2);
    QApplication::processEvents();
    ClickPicture(MidiSettingsForm->MorvelantOut1Devices, out);
    ASSERT_FALSE(routing.Out1DeviceFlags[size_t(out)]);
    ASSERT_TRUE(routing.Out[size_t(out)]->IsOpen());
    ClickPicture(MidiSettingsForm->MorvelantOut1Devices, out);
    ASSERT_TRUE(routing.Out1DeviceFlags[size_t(out)]);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return peer.InConnections() == 1; }, 5000)) << "not connected";
    EXPECT_TRUE(faderReaches(5000)) << "the faders go nowhere";

    // The same for the device role chosen again in its list.
    ASSERT_TRUE(DisconnectAll(t1 + ":in"));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return peer.InConnections() == 0; }));
    MidiSettingsForm->PageControl1->setCurrentWidget(MidiSettingsForm->TabSheet1);
    QComboBox* device = MidiSettingsForm->PCMorvelantDevice;
    ASSERT_EQ(device->currentIndex(), out);
    userinput::FocusOn(device);
    userinput::KeyClick(device, Qt::Key_Down);  // the next port, or none
    userinput::KeyClick(device, Qt::Key_Up);
    ASSERT_EQ(routing.DeviceOutPort(), out);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return peer.InConnections() == 1; }, 5000)) << "not connected";
    MidiSettingsForm->Hide();
}

}  // namespace
}  // namespace morvelant
