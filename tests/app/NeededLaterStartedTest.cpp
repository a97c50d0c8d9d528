// What the started editor leaves until it is first needed: the drum kit
// library is read when a note menu first opens, not at the start, and then
// every note menu offers the kits.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QMenu>

#include <fstream>
#include <string>

#include "app/PickerSupport.h"
#include "patterns/Drumkit.h"
#include "patterns/EventEdit.h"
#include "patterns/PatternParameter.h"
#include "tests/support/StartedEditor.h"
#include "tests/support/UserInput.h"

namespace morvelant {
namespace {

using testsupport::StartedEditor;

void WriteKit(const std::string& path, const std::string& maker, const std::string& kit) {
    std::ofstream(path, std::ios::binary) << "[k]\r\nmanufacturer=" << maker << "\r\nmodel=\r\ndrumkit=" << kit
                                          << "\r\n36=Kick\r\n";
}

// The captions at the end of a note menu, where the kits' makers go.
QStringList Makers(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (a->menu() != nullptr) out << a->text();
    return out;
}

TEST(NeededLaterStarted, TheKitsAreReadWhenANoteMenuFirstOpensAndThenEveryNoteMenuHasThem) {
    StartedEditor editor;
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(editor.Folder() + "Drumkits")));
    WriteKit(editor.Folder() + "Drumkits/A.MVD", "Acme", "Standard");
    editor.Start();
    EXPECT_EQ(DrumkitForm, nullptr) << "the kit library was read at the start";
    // A file that comes after the start but before any kit list was shown
    // is read with the others.
    WriteKit(editor.Folder() + "Drumkits/B.MVD", "Bolt", "Room");
    QMenu* stepNotes = PatternParameterForm->StepNotesPopupMenu;
    const int before = int(stepNotes->actions().size());
    userinput::LookInto(stepNotes);
    ASSERT_NE(DrumkitForm, nullptr);
    EXPECT_EQ(int(stepNotes->actions().size()), before + 2);
    const QStringList expected{QStringLiteral("Acme"), QStringLiteral("Bolt")};
    EXPECT_EQ(Makers(stepNotes), expected);
    // Every note menu has them once, opened again or not.
    EXPECT_EQ(Makers(editor.Windows().Pickers().FaderPopups.NotesPopupMenu), expected);
    EXPECT_EQ(Makers(EventEditForm->PianoPopupMenu), expected);
    userinput::LookInto(EventEditForm->PianoPopupMenu);
    userinput::LookInto(stepNotes);
    EXPECT_EQ(Makers(EventEditForm->PianoPopupMenu), expected);
    EXPECT_EQ(int(stepNotes->actions().size()), before + 2);
}

}  // namespace
}  // namespace morvelant
