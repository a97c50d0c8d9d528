// The MIDI settings window on the driver's loopback backend: the role trees,
// the device-port choices, the ports that are open, and the configuration
// that brings every choice back after a restart.
#include "SettingsTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QToolTip>

#include <chrono>
#include <thread>

#include "midikit/MidiKitOut.h"
#include "shell/DevicesInfoForm.h"
#include "tests/support/UserInput.h"

namespace morvelant::settingstest {
namespace {

std::vector<std::string> Items(QComboBox* box) {
    std::vector<std::string> out;
    for (int i = 0; i < box->count(); ++i) out.push_back(box->itemText(i).toStdString());
    return out;
}

std::vector<std::string> Nodes(QTreeWidget* tree) {
    std::vector<std::string> out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) out.push_back(tree->topLevelItem(i)->text(0).toStdString());
    return out;
}

std::vector<std::string> Lines(QListWidget* box) {
    std::vector<std::string> out;
    for (int i = 0; i < box->count(); ++i) out.push_back(box->item(i)->text().toStdString());
    return out;
}

const std::vector<std::string> kPorts = {"Loopback 1", "Loopback 2", "Loopback 3", "Loopback 4"};
using Names = std::vector<std::string>;

class MidiSettingsTest : public SettingsFixture {};

TEST_F(MidiSettingsTest, FirstStartListsThePortsWithNoRoleAndEveryPortClosed) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Create();
    const MidiRouting& r = form->Routing;
    ASSERT_EQ(r.NumInDevs, 4);
    ASSERT_EQ(r.NumOutDevs, 4);
    EXPECT_EQ(form->Caption(), "Midi Settings");
    EXPECT_EQ(form->PageControl1->tabText(0).toStdString(), "Morvelant");
    EXPECT_EQ(form->PageControl1->tabText(1).toStdString(), "Virtual Morvelant In/Out 1");
    EXPECT_EQ(form->PageControl1->tabText(2).toStdString(), "Virtual Morvelant In/Out 2");
    EXPECT_EQ(form->width(), 479);
    EXPECT_EQ(form->height(), 310);

    Names withNone = kPorts;
    withNone.push_back("no device");
    EXPECT_EQ(r.InNames, withNone);
    EXPECT_EQ(r.OutDriverNames, withNone);
    EXPECT_EQ(Items(form->MorvelantPCDevice), withNone);
    EXPECT_EQ(Items(form->PCMorvelantDevice), withNone);
    EXPECT_EQ(form->MorvelantPCDevice->currentIndex(), 4);
    EXPECT_EQ(form->PCMorvelantDevice->currentIndex(), 4);
    EXPECT_EQ(r.DeviceInPort(), -1);
    EXPECT_EQ(r.DeviceOutPort(), -1);
    EXPECT_FALSE(form->MorvelantPCDevice->isEditable());
    EXPECT_FALSE(form->PCMorvelantDevice->isEditable());

    for (PortRole role :
         {PortRole::In1, PortRole::In2, PortRole::ThruIn, PortRole::Out1, PortRole::Out2, PortRole::Thru}) {
        QTreeWidget* tree = form->Tree(role);
        ASSERT_NE(form->findChild<QTreeWidget*>(tree->objectName()), nullptr);
        EXPECT_EQ(Nodes(tree), kPorts) << tree->objectName().toStdString();
        for (int i = 0; i < 4; ++i) EXPECT_EQ(TMidiSettingsForm::NodeState(tree, i), kStateOff);
    }
    EXPECT_FALSE(form->ThruBox->isChecked());
    EXPECT_EQ(form->Edit1->text().toStdString(), "3000");
    EXPECT_EQ(form->Edit2->text().toStdString(), "2000");
    EXPECT_EQ(r.ClosedInDevices, kPorts);
    EXPECT_EQ(r.ClosedOutDevices, kPorts);
    EXPECT_TRUE(r.OpenInDevices.empty() && r.ErrorInDevices.empty() && r.OpenOutDevices.empty());
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(inputs[i]->IsOpen());
        ASSERT_NE(r.Out[i], nullptr);
        EXPECT_FALSE(r.Out[i]->IsOpen());
        EXPECT_EQ(r.Out[i]->Tag, i);
        EXPECT_EQ(r.Out[i]->Sync, form->MidiKitSync);
        EXPECT_EQ(r.In[i], inputs[i].get());
    }
    EXPECT_EQ(r.Out[4], nullptr);
    // The delays are written back at once.
    TIniFile ini(cfg);
    EXPECT_EQ(ini.ReadInteger("Midi Settings Form", "Preset Delay", 0), 3000);
    EXPECT_EQ(ini.ReadInteger("Midi Settings Form", "Pattern Delay", 0), 2000);
}

TEST_F(MidiSettingsTest, TickingARoleOpensThePortAndTheInfoWindowFollows) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Create();
    TDevicesInfoForm1 info(cfg);
    info.Show();
    const MidiRouting& r = form->Routing;

    ShowTabOf(form->MorvelantIn1Devices);
    Click(form->MorvelantIn1Devices, 1, true);
    EXPECT_TRUE(r.In1DeviceFlags[1]);
    EXPECT_EQ(TMidiSettingsForm::NodeState(form->MorvelantIn1Devices, 1), kStateOn);
    EXPECT_TRUE(inputs[1]->IsOpen());
    EXPECT_TRUE(inputs[1]->IsStarted());
    EXPECT_EQ(r.OpenInDevices, Names{"Loopback 2"});
    EXPECT_EQ(Lines(info.OpenInListBox), Names{"Loopback 2"});
    EXPECT_EQ(Lines(info.ClosedInListBox), (Names{"Loopback 1", "Loopback 3", "Loopback 4"}));

    // A second role keeps it open; taking both away closes it.
    ShowTabOf(form->MorvelantIn2Devices);
    Click(form->MorvelantIn2Devices, 1, true);
    EXPECT_TRUE(inputs[1]->IsOpen());
    Click(form->MorvelantIn2Devices, 1, true);
    EXPECT_TRUE(inputs[1]->IsOpen());
    ShowTabOf(form->MorvelantIn1Devices);
    Click(form->MorvelantIn1Devices, 1, true);
    EXPECT_FALSE(r.In1DeviceFlags[1]);
    EXPECT_EQ(TMidiSettingsForm::NodeState(form->MorvelantIn1Devices, 1), kStateOff);
    EXPECT_FALSE(inputs[1]->IsOpen());
    EXPECT_TRUE(Lines(info.OpenInListBox).empty());

    // Outputs: the thru destinations on the first page.
    ShowTabOf(form->MorvelantThruDevices);
    Click(form->MorvelantThruDevices, 3, true);
    EXPECT_TRUE(r.ThruDeviceFlags[3]);
    EXPECT_TRUE(r.Out[3]->IsOpen());
    EXPECT_EQ(Lines(info.OpenOutListBox), Names{"Loopback 4"});

    // A click on the label changes no role; another button does nothing.
    Click(form->MorvelantThruDevices, 2, false);
    EXPECT_FALSE(r.ThruDeviceFlags[2]);
    EXPECT_FALSE(r.Out[2]->IsOpen());
    Click(form->MorvelantThruDevices, 2, true, Qt::RightButton);
    EXPECT_FALSE(r.ThruDeviceFlags[2]);
    EXPECT_EQ(TMidiSettingsForm::NodeState(form->MorvelantThruDevices, 2), kStateOff);

    // Two quick clicks on a picture are two switches: the role ends as it
    // began, the port closed again, and no rename starts.
    DoubleClick(form->MorvelantThruDevices, 2, true);
    QApplication::processEvents();
    EXPECT_FALSE(r.ThruDeviceFlags[2]);
    EXPECT_EQ(TMidiSettingsForm::NodeState(form->MorvelantThruDevices, 2), kStateOff);
    EXPECT_FALSE(r.Out[2]->IsOpen());
    const auto editors = [&] {
        int open = 0;
        for (QLineEdit* e : form->MorvelantThruDevices->viewport()->findChildren<QLineEdit*>()) open += e->isVisible();
        return open;
    };
    EXPECT_EQ(editors(), 0);
    // On the label, a double click still renames.
    DoubleClick(form->MorvelantThruDevices, 2, false);
    QApplication::processEvents();
    EXPECT_EQ(editors(), 1);
    EXPECT_FALSE(r.ThruDeviceFlags[2]);
}

TEST_F(MidiSettingsTest, ChoosingTheDevicePortsOpensThemAndNoDeviceClosesThem) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Create();
    const MidiRouting& r = form->Routing;
    form->MorvelantPCDevice->setCurrentIndex(2);
    EXPECT_EQ(r.MorvelantPCDeviceIndex, 2);
    EXPECT_EQ(r.DeviceInPort(), 2);
    EXPECT_TRUE(inputs[2]->IsOpen());
    form->PCMorvelantDevice->setCurrentIndex(0);
    EXPECT_EQ(r.DeviceOutPort(), 0);
    EXPECT_TRUE(r.Out[0]->IsOpen());

    form->MorvelantPCDevice->setCurrentIndex(4);  // "no device"
    EXPECT_EQ(r.DeviceInPort(), -1);
    EXPECT_FALSE(inputs[2]->IsOpen());
    // No selection at all (-1) is "no device" too, never an index into the lists.
    form->PCMorvelantDevice->setCurrentIndex(-1);
    EXPECT_EQ(r.PCMorvelantDeviceIndex, 4);
    EXPECT_FALSE(r.Out[0]->IsOpen());
    Restart();
    TIniFile ini(cfg);
    EXPECT_EQ(ini.ReadString("Morvelant Devices", "MorvelantPCDevice", ""), "no device");
    EXPECT_EQ(ini.ReadString("Morvelant Devices", "PCMorvelantDevice", ""), "no device");
}

TEST_F(MidiSettingsTest, AnOutOfRangeDeviceIndexIsStoredAsNoDevice) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Create();
    form->Routing.MorvelantPCDeviceIndex = -1;
    form->Routing.PCMorvelantDeviceIndex = 77;
    form->UpdateDevices();
    EXPECT_TRUE(form->Routing.OpenInDevices.empty());
    EXPECT_TRUE(form->Routing.OpenOutDevices.empty());
    form.reset();
    TIniFile ini(cfg);
    EXPECT_EQ(ini.ReadString("Morvelant Devices", "MorvelantPCDevice", ""), "no device");
    EXPECT_EQ(ini.ReadString("Morvelant Devices", "PCMorvelantDevice", ""), "no device");
}

TEST_F(MidiSettingsTest, RenamingAPortUpdatesEveryViewOfItsDirectionOnly) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Create();
    form->MorvelantPCDevice->setCurrentIndex(1);
    form->MorvelantIn2Devices->topLevelItem(1)->setText(0, QStringLiteral("Keyboard"));
    EXPECT_EQ(form->Routing.InNames[1], "Keyboard");
    EXPECT_EQ(form->Routing.InDriverNames[1], "Loopback 2");
    EXPECT_EQ(Nodes(form->MorvelantIn1Devices)[1], "Keyboard");
    EXPECT_EQ(Nodes(form->MorvelantThruInDevices)[1], "Keyboard");
    EXPECT_EQ(Items(form->MorvelantPCDevice)[1], "Keyboard");
    EXPECT_EQ(form->MorvelantPCDevice->currentIndex(), 1);
    EXPECT_EQ(form->Routing.MorvelantPCDeviceIndex, 1);
    EXPECT_EQ(Nodes(form->MorvelantOut1Devices)[1], "Loopback 2");
    EXPECT_EQ(form->Routing.OutNames[1], "Loopback 2");
    EXPECT_TRUE(inputs[1]->IsOpen());
    // A typed character of the code page beyond Latin-1 keeps its byte.
    form->MorvelantOut2Devices->topLevelItem(0)->setText(0, QString::fromUtf8("Bass \u20AC"));
    EXPECT_EQ(form->Routing.OutNames[0], "Bass \x80");
    EXPECT_EQ(Items(form->PCMorvelantDevice)[0], "Bass \u20AC");
}

TEST_F(MidiSettingsTest, LongPortNamesCanBeReadWholeAndAWiderWindowWidensTheLists) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Create();
    form->Show();
    // Two ports of one interface, renamed as the user does: F2, the name, Return.
    const QString names[2] = {QStringLiteral("Morvelant USB Interface 2x2 Port MIDI A"),
                              QStringLiteral("Morvelant USB Interface 2x2 Port MIDI B")};
    form->PageControl1->setCurrentIndex(1);
    QTreeWidget* tree = form->MorvelantIn1Devices;
    for (int i = 0; i < 2; ++i) {
        userinput::FocusOn(tree);
        tree->setCurrentItem(tree->topLevelItem(i));
        userinput::KeyClick(tree, Qt::Key_F2);
        userinput::KeyClick(nullptr, Qt::Key_A, Qt::ControlModifier);
        userinput::KeyClicks(nullptr, names[i]);
        userinput::KeyClick(nullptr, Qt::Key_Return);
        QApplication::processEvents();  // the list takes the edit after the key
        // Shortened in the middle, where the two differ; whole in the tool tip.
        const QRect item = tree->visualItemRect(tree->topLevelItem(i));
        QHelpEvent tip(QEvent::ToolTip, item.center(), tree->viewport()->mapToGlobal(item.center()));
        QApplication::sendEvent(tree->viewport(), &tip);
        EXPECT_EQ(QToolTip::text(), names[i]);
    }
    EXPECT_EQ(tree->textElideMode(), Qt::ElideMiddle);
    form->PageControl1->setCurrentIndex(0);
    userinput::FocusOn(form->MorvelantPCDevice);
    userinput::KeyClick(form->MorvelantPCDevice, Qt::Key_Home);
    userinput::KeyClick(form->MorvelantPCDevice, Qt::Key_Down);
    EXPECT_EQ(form->MorvelantPCDevice->toolTip(), names[1]);
    // Wider and taller, the lists share the room within their pages.
    form->resize(form->width() + 300, form->height() + 100);
    for (QTreeWidget* t : {form->MorvelantIn1Devices, form->MorvelantOut1Devices, form->MorvelantThruDevices}) {
        form->PageControl1->setCurrentWidget(t->parentWidget());
        EXPECT_GE(t->width(), 141 + 150);
        EXPECT_GE(t->height(), 172 + 100);
        EXPECT_TRUE(t->parentWidget()->rect().contains(t->geometry())) << t->objectName().toStdString();
    }
    EXPECT_FALSE(form->MorvelantThruDevices->geometry().intersects(form->GroupBox1->geometry()));
}

TEST_F(MidiSettingsTest, EveryChoiceSurvivesARestart) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Create();
    ShowTabOf(form->MorvelantIn1Devices);
    Click(form->MorvelantIn1Devices, 0, true);
    Click(form->MorvelantOut1Devices, 1, true);
    ShowTabOf(form->MorvelantIn2Devices);
    Click(form->MorvelantIn2Devices, 2, true);
    Click(form->MorvelantOut2Devices, 3, true);
    ShowTabOf(form->MorvelantThruInDevices);
    Click(form->MorvelantThruInDevices, 3, true);
    Click(form->MorvelantThruDevices, 0, true);
    form->MorvelantPCDevice->setCurrentIndex(1);
    form->PCMorvelantDevice->setCurrentIndex(2);
    form->MorvelantOut1Devices->topLevelItem(3)->setText(0, QStringLiteral("Synth = big"));
    form->MorvelantThruInDevices->topLevelItem(0)->setText(0, QStringLiteral("Pads"));
    form->ThruBox->setChecked(true);
    form->RealtimeThruBox->setChecked(true);
    form->Edit1->setText(QStringLiteral("1500"));
    form->Edit2->setText(QStringLiteral("750"));
    EXPECT_EQ(form->Routing.PresetDelay, 1500);
    EXPECT_EQ(form->Routing.PatternDelay, 750);
    EXPECT_TRUE(form->Routing.Thru);
    form->move(40, 50);

    Restart();
    const MidiRouting& r = form->Routing;
    EXPECT_TRUE(r.In1DeviceFlags[0]);
    EXPECT_TRUE(r.Out1DeviceFlags[1]);
    EXPECT_TRUE(r.In2DeviceFlags[2]);
    EXPECT_TRUE(r.Out2DeviceFlags[3]);
    EXPECT_TRUE(r.ThruInDeviceFlags[3]);
    EXPECT_TRUE(r.ThruDeviceFlags[0]);
    int set = 0;
    for (int i = 0; i < 4; ++i)
        set += r.In1DeviceFlags[i] + r.In2DeviceFlags[i] + r.ThruInDeviceFlags[i] + r.Out1DeviceFlags[i] +
            r.Out2DeviceFlags[i] + r.ThruDeviceFlags[i];
    EXPECT_EQ(set, 6);
    EXPECT_EQ(TMidiSettingsForm::NodeState(form->MorvelantOut2Devices, 3), kStateOn);
    EXPECT_EQ(TMidiSettingsForm::NodeState(form->MorvelantOut2Devices, 2), kStateOff);
    EXPECT_EQ(r.MorvelantPCDeviceIndex, 1);
    EXPECT_EQ(r.PCMorvelantDeviceIndex, 2);
    EXPECT_EQ(form->MorvelantPCDevice->currentIndex(), 1);
    EXPECT_EQ(form->PCMorvelantDevice->currentIndex(), 2);
    EXPECT_EQ(r.OutNames[3], "Synth = big");
    EXPECT_EQ(r.InNames[0], "Pads");
    EXPECT_EQ(Nodes(form->MorvelantIn2Devices)[0], "Pads");
    EXPECT_EQ(Items(form->PCMorvelantDevice)[3], "Synth = big");
    EXPECT_TRUE(form->ThruBox->isChecked());
    EXPECT_FALSE(form->SysexThruBox->isChecked());
    EXPECT_TRUE(form->RealtimeThruBox->isChecked());
    EXPECT_TRUE(r.RealtimeThru);
    EXPECT_EQ(form->Edit1->text().toStdString(), "1500");
    EXPECT_EQ(form->Edit2->text().toStdString(), "750");
    EXPECT_EQ(r.PresetDelay, 1500);
    EXPECT_EQ(form->x(), 40);
    EXPECT_EQ(form->y(), 50);
    // Exactly the ports with a role are open again.
    EXPECT_EQ(r.OpenInDevices, (Names{"Loopback 1", "Loopback 2", "Loopback 3", "Loopback 4"}));
    EXPECT_EQ(r.OpenOutDevices, (Names{"Loopback 1", "Loopback 2", "Loopback 3", "Loopback 4"}));
    // The keys stay the driver's descriptions.
    TIniFile ini(cfg);
    EXPECT_EQ(ini.ReadString("OutDeviceNames", "Loopback 4", ""), "Synth = big");
    EXPECT_EQ(ini.ReadString("Morvelant Devices", "MorvelantPCDevice", ""), "Loopback 2");
}

TEST_F(MidiSettingsTest, StoredEntriesOfAbsentPortsAreNoDeviceForTheRunAndStayInTheFile) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Put("[Midi Settings Form]\r\nTop=-40\r\nLeft=12\r\nPreset Delay=0x10\r\nPattern Delay=junk\r\n"
        "[Morvelant Devices]\r\nMorvelantPCDevice=Gone Port\r\nPCMorvelantDevice=Also Gone\r\n"
        "[In1DeviceFlags]\r\nGone Port=1\r\nLoopback 3=1\r\nLoopback 1=0\r\nloopback 2=1\r\n"
        "[InDeviceNames]\r\nGone Port=Old Synth\r\nLoopback 3=Drums\r\n"
        "[ThruFlags]\r\nSysexThruBox=5\r\n[Options]\r\nShowMidiMonitor=1\r\n");
    Create();
    const MidiRouting& r = form->Routing;
    EXPECT_EQ(form->y(), 0);
    EXPECT_EQ(form->x(), 12);
    EXPECT_EQ(form->Edit1->text().toStdString(), "16");
    EXPECT_EQ(form->Edit2->text().toStdString(), "2000");
    EXPECT_TRUE(form->SysexThruBox->isChecked());
    // The stored device ports are gone: no port takes their role.
    EXPECT_EQ(r.MorvelantPCDeviceIndex, r.NumInDevs);
    EXPECT_EQ(r.PCMorvelantDeviceIndex, r.NumOutDevs);
    EXPECT_EQ(form->MorvelantPCDevice->currentText().toStdString(), "no device");
    EXPECT_EQ(form->PCMorvelantDevice->currentText().toStdString(), "no device");
    EXPECT_FALSE(inputs[0]->IsOpen());
    EXPECT_FALSE(r.Out[0]->IsOpen());
    // Keys are the driver's descriptions, compared exactly: "loopback 2"
    // names no port here, even though the file's own names ignore case.
    EXPECT_EQ(r.In1DeviceFlags, (std::array<bool, 50>{false, false, true}));
    EXPECT_EQ(r.InNames[2], "Drums");
    EXPECT_EQ(r.OpenInDevices, Names{"Loopback 3"});

    form.reset();
    // The choices of the ports not there stay, in their places; a key the
    // file takes for a listed port's gives way to that port's value.
    const std::string text = File();
    EXPECT_EQ(text.find("loopback 2"), std::string::npos);
    TIniFile ini(cfg);
    EXPECT_EQ(ini.ReadString("Morvelant Devices", "MorvelantPCDevice", ""), "Gone Port");
    EXPECT_EQ(ini.ReadString("Morvelant Devices", "PCMorvelantDevice", ""), "Also Gone");
    EXPECT_EQ(ini.ReadString("InDeviceNames", "Gone Port", ""), "Old Synth");
    EXPECT_EQ(ini.ReadSection("In1DeviceFlags"), (Names{"Gone Port", "Loopback 3"})) << "only what holds a role";
    EXPECT_TRUE(ini.ReadBool("In1DeviceFlags", "Gone Port", false));
    EXPECT_EQ(ini.ReadInteger("Options", "ShowMidiMonitor", 0), 1);  // other sections untouched
    EXPECT_EQ(ini.ReadInteger("Midi Settings Form", "Top", -1), 0);
}

// A long port name cut short by the driver may end in a blank, which the
// file drops around its keys and values: the port still finds its entries.
TEST_F(MidiSettingsTest, ADescriptionEndingInABlankKeepsItsRolesAliasAndDevicePort) {
    const Names in = {"Long Keyboard Name Cut Here ", "Other"}, out = {"Other", " Lead Synth"};
    MidiRouting before;
    PortSettings write(before);
    write.SetPorts(in, out);
    write.ToggleRole(PortRole::In2, 0);
    write.ToggleRole(PortRole::Thru, 1);
    write.SetAlias(true, 0, "Keys");
    write.SetDeviceInPort(0);
    write.SetDeviceOutPort(1);
    TIniFile ini(cfg);
    ASSERT_TRUE(write.WritePortConfig(ini));

    MidiRouting after;
    PortSettings read(after);
    read.SetPorts(in, out);
    read.ReadPortConfig(ini);
    EXPECT_TRUE(after.In2DeviceFlags[0]);
    EXPECT_TRUE(after.ThruDeviceFlags[1]);
    EXPECT_EQ(after.InNames[0], "Keys");
    EXPECT_EQ(after.MorvelantPCDeviceIndex, 0);
    EXPECT_EQ(after.PCMorvelantDeviceIndex, 1);
}

TEST_F(MidiSettingsTest, ADelayThatIsNotANumberStoresBothDefaults) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Create();
    form->Edit1->setText(QStringLiteral("12x"));
    form->Edit2->setText(QStringLiteral("900"));
    EXPECT_EQ(form->Routing.PresetDelay, 3000);
    EXPECT_EQ(form->Routing.PatternDelay, 900);
    form.reset();
    TIniFile ini(cfg);
    EXPECT_EQ(ini.ReadInteger("Midi Settings Form", "Preset Delay", 0), 3000);
    EXPECT_EQ(ini.ReadInteger("Midi Settings Form", "Pattern Delay", 0), 2000);
}

TEST_F(MidiSettingsTest, AnEventPutToAnOpenOutputArrivesOnItsWiredInput) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Create();
    ShowTabOf(form->MorvelantOut1Devices);
    Click(form->MorvelantOut1Devices, 2, true);
    Click(form->MorvelantIn1Devices, 2, true);
    std::vector<MidiEvent> got;
    inputs[2]->OnMidiData = [&](LPMIDIEVENT e, bool*) { got.push_back(*e); };
    MidiEvent ev{};
    ev.time = 0xFFFFFFFFu;
    ev.status = 0x90;
    ev.data1 = 60;
    ev.data2 = 100;
    ASSERT_TRUE(form->Routing.Out[2]->Put(&ev));
    for (int i = 0; i < 500 && got.empty(); ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].status, 0x90);
    EXPECT_EQ(got[0].data1, 60);
    EXPECT_EQ(got[0].data2, 100);
    // Without its role the output is closed: a put sends nothing.
    Click(form->MorvelantOut1Devices, 2, true);
    EXPECT_FALSE(form->Routing.Out[2]->IsOpen());
}

struct FakeSequencer : SequencerLink {
    int starts = 0;
    bool playing = true;
    bool loop = true;
    int active = 8;
    std::vector<std::string> counts, doneCounts, buttons;
    void StartPlayback() override {
        ++starts;
        playing = true;
    }
    bool Playing() const override { return playing; }
    void SetPlaying(bool p) override { playing = p; }
    bool LoopPlayback() const override { return loop; }
    void ShowCount(const std::string& t) override { counts.push_back(t); }
    void ShowSyncDoneCount(const std::string& t) override { doneCounts.push_back(t); }
    void ShowStopped() override { buttons.push_back("stop"); }
    void ShowPlaying() override { buttons.push_back("play"); }
    int CountActiveTracks() const override { return active; }
};

TEST_F(MidiSettingsTest, BeatsCountFourToTheBarAndAFinishedRunLoopsWhileATrackPlays) {
    SETTINGS_IN_LOOPBACK_PROCESS();
    Create();
    FakeSequencer seq;
    form->SetSequencerLink(&seq);
    form->Routing.BeatInBar = 1;
    form->Routing.BarCount = 1;
    for (int i = 0; i < 5; ++i) form->MidiKitSyncMidiBeat(form->MidiKitSync);
    EXPECT_EQ(seq.counts, (Names{"1.2", "1.3", "1.4", "2.1", "2.2"}));

    const int before = SyncDoneCount;
    form->MidiKitSyncSyncDone(form->MidiKitSync);
    EXPECT_EQ(SyncDoneCount, before + 1);
    EXPECT_EQ(seq.doneCounts, Names{std::to_string(before + 1)});
    EXPECT_EQ(seq.starts, 1);
    EXPECT_EQ(seq.buttons, (Names{"stop", "play"}));

    seq.active = 0;  // every track muted: plays once
    form->MidiKitSyncSyncDone(form->MidiKitSync);
    EXPECT_EQ(seq.starts, 1);
    EXPECT_FALSE(seq.playing);
    form->SetSequencerLink(nullptr);
    form->MidiKitSyncSyncDone(form->MidiKitSync);  // nothing connected: only counts
    EXPECT_EQ(SyncDoneCount, before + 3);
}

}  // namespace
}  // namespace morvelant::settingstest
