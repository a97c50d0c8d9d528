// The device information window: its lists, its bounds and its open flag.
#include "SettingsTestSupport.h"

#include <QLabel>
#include <QListWidget>

#include "shell/DevicesInfoForm.h"

namespace morvelant::settingstest {
namespace {

std::vector<std::string> Lines(QListWidget* box) {
    std::vector<std::string> out;
    for (int i = 0; i < box->count(); ++i) out.push_back(box->item(i)->text().toStdString());
    return out;
}

class DevicesInfoFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        char tmpl[] = "/tmp/devinfo-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        cfg = dir + "/Morvelant.cfg";
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string dir, cfg;
};

TEST_F(DevicesInfoFormTest, ShowsTheSixListsAsTheyWereAtTheLastFill) {
    MidiRouting routing;
    TDevicesInfoForm1 form(cfg, &routing);
    EXPECT_EQ(form.Caption(), "MIDI Devices Info");
    EXPECT_EQ(form.width(), 433);
    EXPECT_EQ(form.height(), 272);
    const std::pair<const char*, const char*> labels[] = {
        {"Label1", "Open In Devices"},  {"Label2", "Closed In Devices"},  {"Label3", "Error In Devices"},
        {"Label4", "Open Out Devices"}, {"Label5", "Closed Out Devices"}, {"Label6", "Error Out Devices"}};
    for (auto [name, text] : labels) {
        auto* label = form.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text().toStdString(), text);
    }
    // Input row above the output row; Open, Closed, Error from left to right.
    EXPECT_LT(form.OpenInListBox->y(), form.OpenOutListBox->y());
    EXPECT_LT(form.OpenInListBox->x(), form.ClosedInListBox->x());
    EXPECT_LT(form.ClosedInListBox->x(), form.ErrorInListBox->x());

    // No devices at all: every list is empty.
    form.Show();
    for (QListWidget* box : form.findChildren<QListWidget*>()) EXPECT_EQ(box->count(), 0);

    routing.OpenInDevices = {"A", "B"};
    routing.ClosedInDevices = {"C"};
    routing.ErrorInDevices = {"D"};
    routing.OpenOutDevices = {"E\x96\x80"};  // Windows-1252 bytes, as the settings window shows them
    routing.ClosedOutDevices = {"F", "G"};
    routing.ErrorOutDevices = {"H"};
    EXPECT_EQ(form.OpenInListBox->count(), 0);  // copies, not views
    form.FillDeviceLists();
    EXPECT_EQ(Lines(form.OpenInListBox), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(Lines(form.ClosedInListBox), std::vector<std::string>{"C"});
    EXPECT_EQ(Lines(form.ErrorInListBox), std::vector<std::string>{"D"});
    EXPECT_EQ(Lines(form.OpenOutListBox), std::vector<std::string>{"E\u2013\u20ac"});
    EXPECT_EQ(Lines(form.ClosedOutListBox), (std::vector<std::string>{"F", "G"}));
    EXPECT_EQ(Lines(form.ErrorOutListBox), std::vector<std::string>{"H"});
    routing.OpenInDevices.clear();
    EXPECT_EQ(form.OpenInListBox->count(), 2);
}

TEST_F(DevicesInfoFormTest, NegativeTopOpensAtZeroAndBoundsAreKept) {
    {
        TIniFile ini(cfg);
        ini.WriteInteger("Devices Info1 Form", "Top", -20);
        ini.WriteInteger("Devices Info1 Form", "Left", 300);
        ini.WriteInteger("Devices Info1 Form", "Width", 460);
    }
    MidiRouting routing;
    {
        TDevicesInfoForm1 form(cfg, &routing);
        EXPECT_EQ(form.y(), 0);
        EXPECT_EQ(form.x(), 300);
        EXPECT_TRUE(form.ShowDevicesInfo1);  // default when missing
        form.move(320, 44);
    }
    TIniFile ini(cfg);
    EXPECT_EQ(ini.ReadInteger("Devices Info1 Form", "Top", 0), 44);
    EXPECT_EQ(ini.ReadInteger("Devices Info1 Form", "Left", 0), 320);
    EXPECT_EQ(ini.ReadInteger("Devices Info1 Form", "Width", 0), 460);
    EXPECT_EQ(ini.ReadInteger("Devices Info1 Form", "Height", 0), 316);
}

TEST_F(DevicesInfoFormTest, ClosingUnticksTheMenuItemAndKeepsTheWindowClosedNextTime) {
    MidiRouting routing;
    int unticked = 0;
    {
        TDevicesInfoForm1 form(cfg, &routing);
        form.UncheckMenuItem = [&] { ++unticked; };
        form.Show();
        EXPECT_TRUE(form.ShowDevicesInfo1);
        EXPECT_TRUE(form.close());  // the close box
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(unticked, 1);
        EXPECT_FALSE(form.ShowDevicesInfo1);
    }
    EXPECT_FALSE(TIniFile(cfg).ReadBool("Options", "ShowDevicesInfo1", true));
    TDevicesInfoForm1 again(cfg, &routing);
    EXPECT_FALSE(again.ShowDevicesInfo1);
}

TEST_F(DevicesInfoFormTest, ShowAndHideReachTheWindowBookkeeping) {
    std::vector<std::pair<std::string, FormEvent>> seen;
    SetFormEventHook([&](TForm& f, FormEvent e) { seen.emplace_back(f.objectName().toStdString(), e); });
    {
        MidiRouting routing;
        TDevicesInfoForm1 form(cfg, &routing);
        form.Show();
        form.Hide();
    }
    SetFormEventHook({});
    auto count = [&](FormEvent e) {
        return std::count_if(seen.begin(), seen.end(),
                             [&](const auto& p) { return p.first == "DevicesInfoForm1" && p.second == e; });
    };
    EXPECT_EQ(count(FormEvent::Created), 1);
    EXPECT_EQ(count(FormEvent::Shown), 1);
    EXPECT_EQ(count(FormEvent::Hidden), 1);
    EXPECT_EQ(count(FormEvent::Destroyed), 1);
}

}  // namespace
}  // namespace morvelant::settingstest
