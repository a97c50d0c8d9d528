// The instructions and the help ship in the program folder, beside the
// program, and the started editor shows and opens them from there.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/Instructions.h"
#include "shell/MainMenu.h"
#include "tests/support/ExePath.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

QByteArray Shipped(const QString& name) {
    QFile file(QString::fromStdString(testsupport::ExeFolder() + "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(HelpStarted, InstructionsAndHelpShipBesideTheProgramAndOpen) {
    const QString folder = QString::fromStdString(testsupport::ExeFolder() + "/");
    const QByteArray text = Shipped(QStringLiteral("Documentation 1a.txt"));
    ASSERT_FALSE(text.isEmpty()) << "\"Documentation 1a.txt\" is not in " << folder.toStdString();
    // Plain text the instructions window reads as it is: no byte above ASCII.
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    const QByteArray html = Shipped(QStringLiteral("EditorHelp.html"));
    ASSERT_FALSE(html.isEmpty()) << "\"EditorHelp.html\" is not in " << folder.toStdString();
    // Every picture the page shows is there too.
    int pictures = 0;
    for (const auto& m : QRegularExpression(QStringLiteral("src=\"([^\"]+)\"")).globalMatch(QString::fromUtf8(html))) {
        ++pictures;
        EXPECT_TRUE(QFile::exists(folder + m.captured(1))) << m.captured(1).toStdString();
    }
    EXPECT_GT(pictures, 5);

    StartedEditor editor;
    for (const char* name : {"Documentation 1a.txt", "EditorHelp.html"})
        ASSERT_TRUE(QFile::copy(folder + name, QString::fromStdString(editor.Folder()) + name));
    editor.Start();
    std::vector<std::string> opened;
    SetHelpOpener([&opened](const std::string& file) {
        opened.push_back(file);
        return true;
    });

    // Windows > Instructions shows the text, and nothing is reported.
    auto* instructions = MainMenuForm->findChild<QAction*>(QStringLiteral("MainFormWindowsInstructions"));
    ASSERT_NE(instructions, nullptr);
    instructions->trigger();
    ASSERT_NE(InstructionsForm, nullptr);
    EXPECT_TRUE(InstructionsForm->isVisible());
    EXPECT_EQ(InstructionsForm->RichEdit1->toPlainText(), QString::fromLatin1(text));
    EXPECT_TRUE(editor.Dialogs.Messages().empty());

    // F1 hands the page to the desktop.
    userinput::FocusOn(InstructionsForm->RichEdit1);
    userinput::KeyClick(nullptr, Qt::Key_F1);
    EXPECT_EQ(opened, std::vector<std::string>{editor.Folder() + "EditorHelp.html"});
    EXPECT_TRUE(editor.Dialogs.Messages().empty());
    SetHelpOpener({});
}

}  // namespace
}  // namespace morvelant
