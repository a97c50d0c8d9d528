// "MIDI Devices Info": a small read-only window showing which MIDI input and
// output ports the last device update of the MIDI settings left open, closed
// or failed to open.
#pragma once

#include <functional>
#include <string>

#include "platform/QtFormBase.h"

class QLabel;
class QListWidget;

namespace morvelant {

struct MidiRouting;

class TDevicesInfoForm1 : public TForm {
public:
    // configFile empty: "Morvelant.cfg" in the program directory. source
    // null: the routing tables of the MIDI settings window (MidiSettingsForm).
    explicit TDevicesInfoForm1(std::string configFile = {}, const MidiRouting* source = nullptr,
                               QWidget* parent = nullptr);
    ~TDevicesInfoForm1() override;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QListWidget* OpenInListBox = nullptr;
    QListWidget* ClosedInListBox = nullptr;
    QListWidget* ErrorInListBox = nullptr;
    QListWidget* OpenOutListBox = nullptr;
    QListWidget* ClosedOutListBox = nullptr;
    QListWidget* ErrorOutListBox = nullptr;

    // Whether the window is to be open (read at creation, written at exit).
    // Until the virtual device window keeps it, the flag lives here.
    bool ShowDevicesInfo1 = true;

    // Called when the user closes the window, to untick the Windows menu's
    // "Devices Info" item. Unset until the menu window exists.
    std::function<void()> UncheckMenuItem;

    // Copies the six status lists of the MIDI settings into the list boxes.
    void FillDeviceLists();

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;

private:
    void FormCreate();
    void FormDestroy();
    const MidiRouting* Source() const;

    std::string configFile_;
    const MidiRouting* source_;
    int savedWidth_ = 451;
    int savedHeight_ = 316;
};

extern TDevicesInfoForm1* DevicesInfoForm1;

}  // namespace morvelant
