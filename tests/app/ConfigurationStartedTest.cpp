// The configuration through a whole run of the started editor: read once at
// the start, written once at the end, and a file that cannot be read is
// reported and left exactly as it was; a run that changes nothing leaves
// it byte for byte as it found it, every window where it was.

#include <gtest/gtest.h>

#include <QApplication>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "platform/SafeFile.h"
#include "shell/WindowBookkeeping.h"
#include "tests/support/StartedEditor.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

std::string Contents(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

TEST(ConfigurationStarted, WindowsShareOneDocumentThatReachesTheDiskAtTheEnd) {
    StartedEditor editor;
    const std::string cfg = editor.Folder() + "Morvelant.cfg";
    editor.Start();
    QApplication::processEvents();
    // The windows read and wrote their sections while they were made (the
    // MIDI settings write their delays at once), but only into memory.
    EXPECT_FALSE(FileExists(cfg));
    EXPECT_EQ(TIniFile(cfg).ReadInteger("Midi Settings Form", "Preset Delay", -1), 3000);
    editor.Stop();
    const std::string text = Contents(cfg);
    EXPECT_NE(text.find("[Main Form]"), std::string::npos);
    EXPECT_NE(text.find("Preset Delay=3000"), std::string::npos);
    EXPECT_TRUE(editor.Dialogs.Messages().empty());
}

TEST(ConfigurationStarted, ADamagedFileIsReportedAndKept) {
    StartedEditor editor;
    const std::string cfg = editor.Folder() + "Morvelant.cfg";
    const std::string damaged("[Options]\r\nSelected Fader=5\r\n\0\0\x7f garbage", 38);
    std::ofstream(cfg, std::ios::binary) << damaged;
    editor.Start();
    ASSERT_EQ(editor.Dialogs.Messages().size(), 1u);
    EXPECT_NE(editor.Dialogs.Messages()[0].find("Morvelant.cfg"), std::string::npos);
    EXPECT_EQ(editor.Model().SelectedFader, 0);  // the defaults
    editor.Stop();
    EXPECT_EQ(Contents(cfg), damaged);
}

// Sessions started as the program starts and ended with nothing changed:
// each finds the file as the last left it and leaves it so (a window that
// moved a little at each start would rewrite it at every exit and creep
// across the screen). Once with the windows the start shows
// by default (at default places, some of which the test screen cannot hold
// whole), once with every window that the start reopens shown.
TEST(ConfigurationStarted, SessionsThatChangeNothingLeaveTheFileAsTheyFoundIt) {
    enum class Open { Defaults, EveryWindow };
    for (const Open open : {Open::Defaults, Open::EveryWindow}) {
        SCOPED_TRACE(open == Open::Defaults ? "the windows shown by default" : "every window shown");
        StartedEditor editor;
        const std::string cfg = editor.Folder() + "Morvelant.cfg";
        if (open == Open::EveryWindow) {
            TIniFile ini(cfg);
            for (const ReopenEntry& e : ReopenOrder()) ini.WriteBool(e.section, e.key, true);
        }
        std::vector<std::string> after;
        for (int session = 0; session < 3; ++session) {
            editor.StartAsTheProgram();
            editor.WaitForTheRest();
            QApplication::processEvents();
            editor.Stop();
            after.push_back(Contents(cfg));
        }
        EXPECT_EQ(after[1], after[0]);
        EXPECT_EQ(after[2], after[1]);
        EXPECT_TRUE(editor.Dialogs.Messages().empty());
    }
}

}  // namespace
}  // namespace morvelant
