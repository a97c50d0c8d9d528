// The menu window's commands with the virtual device window beside it:
// shortcuts from another window, option ticks, Windows-menu ticks, help,
// files through scripted dialogs, bulk inits, the fader block, the track
// clipboard, the timed pattern send and the window's own configuration.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileCommands.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "shell/MorvelantExplorer.h"
#include "shell/SendingUnit.h"
#include "tests/support/OwningMainForm.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

QApplication* WidgetApp() { return testsupport::WidgetApp(/*offscreen=*/true); }

// A stand-in for a window that is built elsewhere, found by its name.
class NamedForm : public TForm {
public:
    explicit NamedForm(const char* name) : TForm(QString::fromLatin1(name)) {}
};

class MainMenuCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WidgetApp();
        ASSERT_TRUE(dir.isValid());
        path = dir.path().toStdString() + "/";
        ResetFileDialogs();
        main = std::make_unique<testsupport::OwningMainForm>(path, &commands);
        MainForm = main.get();
        menu = std::make_unique<TMainMenuForm>(main->DeviceEngine, commands, path, std::vector<std::string>{});
        MainMenuForm = menu.get();
        menu->DeviceWindow = main.get();
        main->DeviceEngine.OutputSink = [this](int port, const MidiEvent& e) { sent.push_back({port, e}); };
    }
    void TearDown() override {
        SetHelpOpener(nullptr);
        if (SendingForm == sending.get()) SendingForm = nullptr;
        menu.reset();
        sending.reset();
        main.reset();
        EXPECT_EQ(MainMenuForm, nullptr);
    }

    DeviceModel& M() { return main->Model; }
    void Activate(QWidget* w) {
        w->show();
        QApplication::setActiveWindow(w);
        for (int i = 0; i < 50 && QApplication::activeWindow() != w; ++i) QApplication::processEvents();
        ASSERT_EQ(QApplication::activeWindow(), w);
    }
    // A key press as the window system would deliver it to `w`.
    void Press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods);
        QApplication::sendEvent(w, &release);
    }

    QTemporaryDir dir;
    std::string path;
    ScriptedDialogs dialogs;
    ScopedDialogs scope{dialogs};
    CommandRegistry commands;
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<TMainMenuForm> menu;
    std::unique_ptr<TSendingForm> sending;
    std::vector<std::pair<int, MidiEvent>> sent;
};

TEST_F(MainMenuCommandsTest, ShowingTheMenuShowsTheDeviceWindowAndTheOptionTicks) {
    M().Warnings = true;
    M().ShowMidiActivity = false;
    M().VirtualMotorFaders = true;
    M().FaderAutoSelect = false;
    menu->Show();
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(menu->MainMenuWarningMessages->isChecked());
    EXPECT_FALSE(menu->MainMenuMidiActivity->isChecked());
    EXPECT_TRUE(menu->MainMenuMotorFaders->isChecked());
    EXPECT_FALSE(menu->MainMenuFaderAutoSelect->isChecked());
    EXPECT_FALSE(menu->MainMenuHookMode->isChecked());
}

TEST_F(MainMenuCommandsTest, OptionItemsSwitchTheFlagAndTheTickTogether) {
    menu->Show();
    struct Case {
        QAction* item;
        bool DeviceModel::*flag;
    };
    const Case cases[] = {
        {menu->MainMenuWarningMessages, &DeviceModel::Warnings},
        {menu->MainMenuMidiActivity, &DeviceModel::ShowMidiActivity},
        {menu->MainMenuMotorFaders, &DeviceModel::VirtualMotorFaders},
        {menu->MainMenuFaderAutoSelect, &DeviceModel::FaderAutoSelect},
        {menu->MainMenuHookMode, &DeviceModel::HookMode},
        {menu->MainMenuOverdupMode, &DeviceModel::OverdupMode},
    };
    for (const Case& c : cases) {
        const bool before = M().*c.flag;
        ASSERT_EQ(c.item->isChecked(), before) << c.item->objectName().toStdString();
        c.item->trigger();
        EXPECT_EQ(M().*c.flag, !before) << c.item->objectName().toStdString();
        EXPECT_EQ(c.item->isChecked(), !before) << c.item->objectName().toStdString();
        c.item->trigger();
        EXPECT_EQ(M().*c.flag, before) << c.item->objectName().toStdString();
        EXPECT_EQ(c.item->isChecked(), before) << c.item->objectName().toStdString();
    }
    // "Midi Activity" shows and hides the lamps with the flag.
    const bool lamps = M().ShowMidiActivity;
    menu->MainMenuMidiActivity->trigger();
    EXPECT_EQ(main->MidiActivity->isVisible(), !lamps);
}

TEST_F(MainMenuCommandsTest, WithoutTheDeviceWindowOptionTicksStayPut) {
    CommandRegistry nobody;  // no window registered its commands here
    TMainMenuForm alone(main->DeviceEngine, nobody, path, {});
    alone.MainMenuHookMode->trigger();
    EXPECT_FALSE(alone.MainMenuHookMode->isChecked());
    alone.MainMenuMidiMonitorActive->trigger();  // no monitor either
    EXPECT_FALSE(alone.MainMenuMidiMonitorActive->isChecked());
    MainMenuForm = menu.get();
}

TEST_F(MainMenuCommandsTest, ShortcutsFireWhileAnotherWindowIsActive) {
    menu->Show();
    int sends = 0;
    commands.Register("SinglePreset8", [&sends] { ++sends; });  // as the preset list window does
    Activate(main.get());
    Press(main.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(sends, 1);

    // F1 asks for the help file, which is not there.
    SetHelpOpener([](const std::string&) { return true; });
    Press(main.get(), Qt::Key_F1);
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find("EditorHelp.html"), std::string::npos);

    // With the preset list's menus showing, Ctrl+N opens the preset notes.
    NamedForm notes("NotesForm");
    menu->ShowMenuPair(menu->PresetFormFileMenu, menu->PresetFormEditMenu);
    Activate(main.get());
    Press(main.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(sends, 1);
    EXPECT_TRUE(notes.isVisible());
    EXPECT_TRUE(menu->MainFormWindowsPresetNotes->isChecked());
    commands.Unregister("SinglePreset8");
}

TEST_F(MainMenuCommandsTest, WindowsTicksFollowTheWindowNotTheClick) {
    NamedForm presets("PresetForm");
    menu->MainFormWindowsPresetForm->trigger();
    EXPECT_TRUE(presets.isVisible());
    EXPECT_TRUE(menu->MainFormWindowsPresetForm->isChecked());
    // A second click shows it again; it never toggles the window off.
    menu->MainFormWindowsPresetForm->trigger();
    EXPECT_TRUE(presets.isVisible());
    EXPECT_TRUE(menu->MainFormWindowsPresetForm->isChecked());
    // A window that does not exist yet: nothing, and no tick.
    menu->MainFormWindowsPatternForm->trigger();
    EXPECT_FALSE(menu->MainFormWindowsPatternForm->isChecked());

    // A window that registers an item (the explorer registers the Windows
    // items) takes it over; the tick is what the window sets.
    int calls = 0;
    commands.Register("MainFormWindowsVirtualMorvelant", [this, &calls] {
        ++calls;
        main->Show();
        commands.SetChecked("MainFormWindowsVirtualMorvelant", true);
    });
    menu->MainFormWindowsVirtualMorvelant->trigger();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(menu->MainFormWindowsVirtualMorvelant->isChecked());
    commands.Unregister("MainFormWindowsVirtualMorvelant");
    NamedForm explorer("MorvelantExplorerForm");
    menu->MainFormWindowsExplorer->trigger();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(explorer.isVisible());
    EXPECT_EQ(menu->WindowsMenuItem(QStringLiteral("MorvelantExplorerForm")), menu->MainFormWindowsExplorer);
    EXPECT_EQ(menu->WindowsMenuItem(QStringLiteral("AllFaderP")), menu->MainFormWindowsFaderParameters);
    EXPECT_EQ(menu->WindowsMenuItem(QStringLiteral("NoSuchForm")), nullptr);
}

TEST_F(MainMenuCommandsTest, ExplorerStayOnTopTwiceReturnsToTheFirstState) {
    // Without the explorer: the tick alone.
    menu->ExplorerStayonTop1->trigger();
    EXPECT_TRUE(menu->ExplorerStayonTop1->isChecked());
    menu->ExplorerStayonTop1->trigger();
    EXPECT_FALSE(menu->ExplorerStayonTop1->isChecked());
    // The explorer registers the item and keeps the flag (on by default).
    {
        TMorvelantExplorerForm explorer(&M(), path, &commands);
        EXPECT_TRUE(menu->ExplorerStayonTop1->isChecked());
        menu->ExplorerStayonTop1->trigger();
        EXPECT_FALSE(explorer.StayOnTop);
        EXPECT_FALSE(menu->ExplorerStayonTop1->isChecked());
        menu->ExplorerStayonTop1->trigger();
        EXPECT_TRUE(explorer.StayOnTop);
        EXPECT_TRUE(menu->ExplorerStayonTop1->isChecked());
    }
    EXPECT_FALSE(commands.Has("ExplorerStayonTop1"));
}

TEST_F(MainMenuCommandsTest, HelpHandsAnExistingFileToTheDesktopAndReportsAMissingOne) {
    std::vector<std::string> opened;
    SetHelpOpener([&opened](const std::string& f) {
        opened.push_back(f);
        return true;
    });
    menu->MainMenuInstructions->trigger();
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0], "The help file \"" + path + "EditorHelp.html\" was not found.");

    // The page that ships; a compiled help file beside it is taken first.
    std::ofstream(path + "EditorHelp.html") << "<html></html>";
    menu->MainMenuInstructions->trigger();
    std::ofstream(path + "EditorHelp.chm") << "help";
    menu->MainMenuInstructions->trigger();
    EXPECT_EQ(opened, (std::vector<std::string>{path + "EditorHelp.html", path + "EditorHelp.chm"}));
    EXPECT_EQ(dialogs.Messages().size(), 1u);

    // The desktop refusing it is reported too.
    SetHelpOpener([](const std::string&) { return false; });
    menu->MainMenuInstructions->trigger();
    ASSERT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_NE(dialogs.Messages()[1].find("could not be opened"), std::string::npos);
}

TEST_F(MainMenuCommandsTest, SaveAndOpenPresetGoThroughTheFileDialogs) {
    M().SelectedPreset = 5;
    M().SetPresetDeviceName(5, "Saved!");
    M().Presets[5].FaderValue(3) = 99;
    const std::string file = path + "one.MVR";
    dialogs.QueueSave(file);
    menu->MainMenuSavePreset->trigger();
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(dialogs.CallsOf(ScriptedDialogs::Kind::Save).size(), 1u);

    // Loaded into another slot: a single preset goes to the current slot.
    M().SelectedPreset = 7;
    dialogs.QueueOpen(file);
    menu->MainMenuOpenPreset->trigger();
    EXPECT_EQ(M().GetPresetDeviceName(7), "Saved!  ");
    EXPECT_EQ(M().Presets[7].FaderValue(3), 99);
    EXPECT_EQ(M().SelectedPreset, 7);

    // Cancelled: nothing changes.
    M().SelectedPreset = 8;
    const Morvelant_Parameters before = M().Presets[8];
    dialogs.QueueOpen(std::nullopt);
    menu->SinglePreset6->trigger();
    EXPECT_TRUE(M().Presets[8] == before);

    // A connected preset list window takes the command instead.
    int loads = 0;
    commands.Register("SinglePreset6", [&loads] { ++loads; });
    menu->MainMenuOpenPreset->trigger();
    EXPECT_EQ(loads, 1);
    commands.Unregister("SinglePreset6");
}

TEST_F(MainMenuCommandsTest, SaveAndOpenPatternGoThroughTheFileDialogs) {
    M().SelectedPattern = 2;
    M().SetPatternName(2, "Groove");
    M().Patterns[2].StepNote(1, 4) = 61;
    const std::string file = path + "pat.MVT";
    dialogs.QueueSave(file);
    menu->SinglePattern4->trigger();
    ASSERT_TRUE(std::filesystem::exists(file));

    M().SelectedPattern = 70;
    dialogs.QueueOpen(file);
    menu->SinglePattern3->trigger();
    EXPECT_EQ(M().GetPatternName(70), "Groove  ");
    EXPECT_EQ(M().Patterns[70].StepNote(1, 4), 61);
}

TEST_F(MainMenuCommandsTest, InitSelectedPresetsInitsThemAndShowsTheLast) {
    M().SetPresetDeviceName(3, "Three");
    M().SetPresetDeviceName(10, "Ten");
    M().SetPresetDeviceName(12, "Twelve");
    M().SelectedPreset = 12;
    // None selected: nothing changes, the current preset stays.
    menu->FactoryInit2->trigger();
    EXPECT_EQ(M().GetPresetDeviceName(3), "Three   ");
    EXPECT_EQ(M().SelectedPreset, 12);

    M().PresetSlotSelected[3] = true;
    M().PresetSlotSelected[10] = true;
    menu->FactoryInit2->trigger();
    EXPECT_NE(M().GetPresetDeviceName(3), "Three   ");
    EXPECT_NE(M().GetPresetDeviceName(10), "Ten     ");
    EXPECT_EQ(M().GetPresetDeviceName(12), "Twelve  ");
    EXPECT_EQ(M().SelectedPreset, 10);

    // All presets: device slots only, preset 0 becomes current.
    M().SetPresetDeviceName(64, "Buffer");
    M().SetPresetDeviceName(12, "Twelve");
    menu->NoStatus3->trigger();
    EXPECT_NE(M().GetPresetDeviceName(12), "Twelve  ");
    EXPECT_EQ(M().GetPresetDeviceName(64), "Buffer  ");
    EXPECT_EQ(M().SelectedPreset, 0);
}

TEST_F(MainMenuCommandsTest, InitPatternsInBulk) {
    M().SetPatternName(5, "Five");
    M().SetPatternName(9, "Nine");
    M().SelectedPattern = 9;
    M().PatternSlotSelected[5] = true;
    std::vector<int> shown, changed;
    Subscription views =
        main->DeviceEngine.Notices.CurrentPatternChanged.Subscribe([&] { shown.push_back(M().SelectedPattern); });
    Subscription data =
        main->DeviceEngine.Notices.PatternDataChanged.Subscribe([&](int slot) { changed.push_back(slot); });
    menu->SelectedPatterns2->trigger();
    EXPECT_EQ(M().GetPatternName(5), "Seq 6   ");
    EXPECT_EQ(M().GetPatternName(9), "Nine    ");
    menu->AllPatterns2->trigger();
    EXPECT_EQ(M().GetPatternName(9), "Seq 10  ");
    EXPECT_EQ(shown, (std::vector<int>{5, 0}));
    EXPECT_EQ(changed, (std::vector<int>{-1, -1}));  // many slots
}

TEST_F(MainMenuCommandsTest, CopyOfTheFaderBlockEnablesEveryPasteAndPasteWritesIt) {
    NamedForm faderWindow("AllFaderP");
    auto* pasteFader2 = new QAction(&faderWindow);
    pasteFader2->setObjectName(QStringLiteral("PasteFaderParameters2"));
    pasteFader2->setEnabled(false);

    M().SelectedPreset = 1;
    M().SelectedFader = 4;
    M().Presets[1].FaderValue(4) = 77;
    menu->MainMenuCopyFaderKey->trigger();
    for (QAction* a : {menu->MainMenuPasteFaderKey, menu->MainMenuPastewCFaderKey, menu->MainMenuPasteFader,
                       menu->MainMenuPastewCFader, menu->MainMenuPasteKey, menu->MainMenuPastewCKey,
                       menu->MainMenuPasteKeyOn, menu->MainMenuPasteKeyOff})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(pasteFader2->isEnabled());

    M().SelectedFader = 9;
    menu->MainMenuPasteFaderKey->trigger();
    EXPECT_EQ(M().Presets[1].FaderValue(9), 77);
    menu->MainMenuFactoryInitFaderKey->trigger();
    EXPECT_NE(M().Presets[1].FaderValue(9), 77);
}

TEST_F(MainMenuCommandsTest, TrackExchangeTwiceRestoresTheTrack) {
    int32_t& track = M().SelectedTrack;  // the step editor's selected track
    track = 3;
    M().SelectedPattern = 4;
    Pattern_Parameters& p = M().Patterns[4];
    p.StepOffBits(2 * 2) = 0x5A;  // track 3
    p.StepOffBits(2 * 2 + 1) = 0x0F;
    p.StepOffBits(2 * 5) = 0x01;  // track 6
    p.StepOffBits(2 * 5 + 1) = 0x80;
    EXPECT_FALSE(menu->Paste1->menuAction()->isEnabled());
    menu->CopyTrack1->trigger();
    EXPECT_TRUE(menu->Paste1->menuAction()->isEnabled());
    EXPECT_TRUE(menu->PastewClipboard1->menuAction()->isEnabled());
    EXPECT_EQ(M().CopiedTrack, 3);

    track = 6;
    menu->OnOffSettings2->trigger();
    EXPECT_EQ(p.StepOffBits(10), 0x5A);
    EXPECT_EQ(p.StepOffBits(11), 0x0F);
    EXPECT_EQ(M().CopiedTrack, 6);
    EXPECT_EQ(M().TrackClipboard.StepOffBits(10), 0x01);
    menu->OnOffSettings2->trigger();
    EXPECT_EQ(p.StepOffBits(10), 0x01);
    EXPECT_EQ(p.StepOffBits(11), 0x80);

    // A plain paste of the settings carries the mute bit along.
    M().TrackClipboard.MuteMask() = 1 << 5;  // track 6 muted in the clipboard
    M().TrackClipboard.TrackGateTime(5) = 44;
    p.MuteMask() = 0;
    track = 2;
    menu->AllTrackParameters1->trigger();
    EXPECT_EQ(p.MuteMask(), 1 << 1);
    EXPECT_EQ(p.TrackGateTime(1), 44);
    menu->ClearTrack1->trigger();
    EXPECT_EQ(p.TrackGateTime(1), 20);
}

// Sending patterns is the pattern list window's (its port check, refused-dump
// report, reminder and timer): until it registers the items, they do
// nothing at all, with or without a device port.
TEST_F(MainMenuCommandsTest, PatternSendItemsWaitForThePatternListWindow) {
    sending = std::make_unique<TSendingForm>();
    SendingForm = sending.get();
    menu->Sending = sending.get();
    M().PatternSlotSelected[2] = true;
    for (int port : {1, 0}) {  // none chosen, then the device's
        main->Routing.NumOutDevs = 1;
        main->Routing.PCMorvelantDeviceIndex = port;
        menu->SelectedPatterns4->trigger();
        menu->SinglePattern5->trigger();
        EXPECT_FALSE(sending->isVisible()) << port;
        EXPECT_TRUE(sent.empty()) << port;
        EXPECT_TRUE(dialogs.Messages().empty()) << port;
    }
    int sends = 0;
    commands.Register("SelectedPatterns4", [&sends] { ++sends; });
    menu->SelectedPatterns4->trigger();
    EXPECT_EQ(sends, 1);
}

TEST_F(MainMenuCommandsTest, ExitClosesBothWindowsAndEndsTheProgram) {
    int ends = 0;
    menu->ProgramEnd = [&ends] { ++ends; };
    menu->Show();
    ASSERT_TRUE(main->isVisible());
    menu->MainMenuExit->trigger();
    EXPECT_FALSE(menu->isVisible());
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(ends, 1);

    // "Close" of the device window's File menu only hides that window.
    menu->Show();
    menu->MainMenuClose->trigger();
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(ends, 1);
}

TEST_F(MainMenuCommandsTest, WindowBoundsComeFromAndGoToTheConfiguration) {
    // Defaults without a file.
    EXPECT_EQ(menu->x(), 0);
    EXPECT_EQ(menu->y(), 0);
    EXPECT_EQ(menu->width(), 833);
    EXPECT_EQ(menu->height(), 45);
    menu.reset();
    TIniFile ini(path + "Morvelant.cfg");
    EXPECT_EQ(ini.ReadInteger("Main Menu Form", "Width", -1), 833);
    EXPECT_EQ(ini.ReadInteger("Main Menu Form", "Height", -1), 45);

    // A negative top is placed at 0 (a negative left stays) and saved so.
    ini.WriteInteger("Main Menu Form", "Top", -5);
    ini.WriteInteger("Main Menu Form", "Left", -20);
    ini.WriteInteger("Main Menu Form", "Width", 700);
    menu = std::make_unique<TMainMenuForm>(main->DeviceEngine, commands, path, std::vector<std::string>{});
    EXPECT_EQ(menu->y(), 0);
    EXPECT_EQ(menu->x(), -20);
    EXPECT_EQ(menu->width(), 700);
    menu.reset();
    EXPECT_EQ(ini.ReadInteger("Main Menu Form", "Top", -1), 0);
    EXPECT_EQ(ini.ReadInteger("Main Menu Form", "Left", 0), -20);
}

}  // namespace
}  // namespace morvelant
