// The started editor with no backend asked for: a running JACK server is
// taken (before the ALSA sequencer), and the MIDI settings window says so.
#include <gtest/gtest.h>

#include <QLabel>

#include <cstdlib>

#include "shell/MidiSettings.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/JackServer.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

TEST(MidiSystemJack, ARunningServerIsTakenAndNamedInTheMidiSettings) {
    if (!testsupport::JackReachable())
        GTEST_SKIP() << "JACK server '" << testsupport::JackTestServerName() << "' not reachable";
    MIDIKIT_IN_FRESH_PROCESS();
    testsupport::StartedEditor editor;
    ::unsetenv("MIDIKIT_BACKEND");
    editor.Start();
    ASSERT_NE(MidiSettingsForm, nullptr);
    EXPECT_EQ(MidiSettingsForm->MidiSystemLabel->text().toStdString(), "MIDI system: JACK");
    EXPECT_TRUE(editor.Dialogs.Messages().empty()) << "nothing to say while a server runs";
}

}  // namespace
}  // namespace morvelant
