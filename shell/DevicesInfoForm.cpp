#include "shell/DevicesInfoForm.h"

#include <QLabel>
#include <QListWidget>

#include "engine/MidiRouting.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "platform/QtFixedFormBounds.h"
#include "platform/QtText.h"
#include "shell/MidiSettings.h"

namespace morvelant {

TDevicesInfoForm1* DevicesInfoForm1 = nullptr;

namespace {

constexpr const char* kFormSection = "Devices Info1 Form";

void Fill(QListWidget* box, const std::vector<std::string>& lines) {
    box->clear();
    // Port names are kept as Windows-1252 bytes, and shown as the MIDI
    // settings window shows them.
    for (const std::string& line : lines) box->addItem(FromCp1252(line));
}

}  // namespace

TDevicesInfoForm1::TDevicesInfoForm1(std::string configFile, const MidiRouting* source, QWidget* parent)
    : TForm(QStringLiteral("DevicesInfoForm1"), parent),
      configFile_(configFile.empty() ? ConfigFileName() : std::move(configFile)),
      source_(source) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    SetCaption("MIDI Devices Info");
    setFixedSize(433, 272);

    auto label = [this](const char* name, const char* text, int x, int y) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setObjectName(QString::fromLatin1(name));
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    auto list = [this](const char* name, int x, int y) {
        auto* b = new QListWidget(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, y, 137, 105);
        b->setSelectionMode(QAbstractItemView::NoSelection);
        return b;
    };
    Label1 = label("Label1", "Open In Devices", 8, 8);
    Label2 = label("Label2", "Closed In Devices", 148, 8);
    Label3 = label("Label3", "Error In Devices", 288, 8);
    OpenInListBox = list("OpenInListBox", 8, 24);
    ClosedInListBox = list("ClosedInListBox", 148, 24);
    ErrorInListBox = list("ErrorInListBox", 288, 24);
    Label4 = label("Label4", "Open Out Devices", 8, 140);
    Label5 = label("Label5", "Closed Out Devices", 148, 140);
    Label6 = label("Label6", "Error Out Devices", 288, 140);
    OpenOutListBox = list("OpenOutListBox", 8, 156);
    ClosedOutListBox = list("ClosedOutListBox", 148, 156);
    ErrorOutListBox = list("ErrorOutListBox", 288, 156);

    FormCreate();
    if (DevicesInfoForm1 == nullptr) DevicesInfoForm1 = this;
}

TDevicesInfoForm1::~TDevicesInfoForm1() {
    FormDestroy();
    if (DevicesInfoForm1 == this) DevicesInfoForm1 = nullptr;
}

void TDevicesInfoForm1::FormCreate() {
    TIniFile ini(configFile_);
    ShowDevicesInfo1 = ini.ReadBool("Options", "ShowDevicesInfo1", true);
    ReadFixedFormBounds(ini, kFormSection, {.top = 105, .left = 166, .width = 451, .height = 316}, *this, savedWidth_,
                        savedHeight_);
}

void TDevicesInfoForm1::FormDestroy() {
    TIniFile ini(configFile_);
    ini.WriteBool("Options", "ShowDevicesInfo1", ShowDevicesInfo1);
    WriteFixedFormBounds(ini, kFormSection, *this, savedWidth_, savedHeight_);
}

const MidiRouting* TDevicesInfoForm1::Source() const {
    if (source_ != nullptr) return source_;
    return MidiSettingsForm != nullptr ? &MidiSettingsForm->Routing : nullptr;
}

void TDevicesInfoForm1::FillDeviceLists() {
    const MidiRouting* r = Source();
    static const MidiRouting none;
    if (r == nullptr) r = &none;
    Fill(OpenInListBox, r->OpenInDevices);
    Fill(ClosedInListBox, r->ClosedInDevices);
    Fill(ErrorInListBox, r->ErrorInDevices);
    Fill(OpenOutListBox, r->OpenOutDevices);
    Fill(ClosedOutListBox, r->ClosedOutDevices);
    Fill(ErrorOutListBox, r->ErrorOutDevices);
}

void TDevicesInfoForm1::FormShow() {
    ShowDevicesInfo1 = true;
    FillDeviceLists();
}

void TDevicesInfoForm1::FormClose(TCloseAction&) {
    if (UncheckMenuItem) UncheckMenuItem();
    ShowDevicesInfo1 = false;
}

}  // namespace morvelant
