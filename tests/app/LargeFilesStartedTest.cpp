// The editor started with a drum-kit library of a thousand kits and a
// configuration of several megabytes: every kit reaches the step editor's
// note menu, and every line of the configuration outlives the session.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>

#include <set>
#include <string>

#include "patterns/PatternParameter.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

void WriteFile(const std::string& path, const std::string& text) {
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(text.data(), static_cast<qint64>(text.size())), static_cast<qint64>(text.size()));
}

void CollectKits(const QMenu* menu, std::set<std::string>& kits) {
    for (const QAction* a : menu->actions()) {
        if (a->menu() != nullptr)
            CollectKits(a->menu(), kits);
        else if (a->text().startsWith("Kit "))
            kits.insert(a->text().toStdString());
    }
}

TEST(LargeFilesStartedTest, AThousandKitsAndAFiveMegabyteConfigurationAreAllKept) {
    testsupport::StartedEditor editor;
    const int kits = 1000;
    std::string library;
    for (int k = 0; k < kits; ++k) {
        library += "[kit" + std::to_string(k) + "]\r\nmanufacturer=Maker " + std::to_string(k % 10) +
                   "\r\nmodel=Model " + std::to_string(k % 7) + "\r\ndrumkit=Kit " + std::to_string(k) + "\r\n";
        for (int n = 0; n < 128; ++n) library += std::to_string(n) + "=Instrument " + std::to_string(n) + "\r\n";
    }
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(editor.Folder() + "Drumkits")));
    WriteFile(editor.Folder() + "Drumkits/LIBRARY.MVD", library);

    // Settings of another version of the program (or of the user) that the
    // editor does not know: they must come out of the session unchanged.
    std::string kept;
    for (int s = 0; kept.size() < (5u << 20); ++s) {
        kept += "[Kept" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 100; ++k) kept += "Key" + std::to_string(k) + "=value " + std::to_string(s * 100 + k) + "\r\n";
    }
    WriteFile(editor.Folder() + "Morvelant.cfg", kept);

    editor.Start();
    ASSERT_NE(PatternParameterForm, nullptr);
    const auto* menu = PatternParameterForm->findChild<QMenu*>("StepNotesPopupMenu");
    ASSERT_NE(menu, nullptr);
    morvelant::userinput::LookInto(const_cast<QMenu*>(menu));
    std::set<std::string> listed;
    CollectKits(menu, listed);
    EXPECT_EQ(listed.size(), static_cast<size_t>(kits));
    EXPECT_TRUE(listed.count("Kit 0") && listed.count("Kit 999"));
    editor.Stop();

    QFile cfg(QString::fromStdString(editor.Folder() + "Morvelant.cfg"));
    ASSERT_TRUE(cfg.open(QIODevice::ReadOnly));
    const QByteArray after = cfg.readAll();
    EXPECT_TRUE(after.startsWith(QByteArray::fromStdString(kept))) << "the unknown settings were not kept in place";
    EXPECT_GT(after.size(), static_cast<qsizetype>(kept.size())) << "the session's own settings were not written";
}

}  // namespace
}  // namespace morvelant
