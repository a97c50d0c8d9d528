// The configuration through a whole run of the started editor: read once at
// the start, written once at the end, and a file that cannot be read is
// reported and left exactly as it was.

#include <gtest/gtest.h>

#include <QApplication>

#include <fstream>
#include <sstream>

#include "platform/IniFile.h"
#include "platform/SafeFile.h"
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

}  // namespace
}  // namespace morvelant
