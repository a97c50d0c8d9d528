// The small window that shows the progress of a timed series of presets or
// patterns being sent to the device, with a Cancel button.
//
// While it is shown, every send command of the menu window and the preset
// list window's "Send Preset" item are disabled. However the dialog goes
// away (Cancel, its close box, or the sender when done), the items are
// enabled again and whichever series is still running is stopped, so no
// dump goes out behind a closed dialog.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <string>
#include <vector>

#include "platform/QtFormBase.h"
#include "platform/SendProgress.h"

namespace morvelant {

class TSendingForm : public TForm, public SendProgress {
    Q_OBJECT

public:
    explicit TSendingForm(QWidget* parent = nullptr);
    ~TSendingForm() override;

    // ---- Components -----------------------------------------------------
    QLabel* Label1 = nullptr;
    QLineEdit* PresetNumber = nullptr;
    QLabel* Label2 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Button1 = nullptr;

    // Number of the item being sent (1 for the first).
    int SentCount = 0;

    // The object names of the send items, in the order they are disabled and
    // enabled again: nine of the menu window, then the preset list's.
    static const char* const kSendItemNames[10];

    // Windows whose items of those names (actions or widgets) the dialog
    // disables and enables. The menu window and the preset list window add
    // themselves; a window that is destroyed first must remove itself.
    void AddSendItemOwner(QObject* owner);
    void RemoveSendItemOwner(QObject* owner);
    // The series that closing the dialog stops.
    void AddSeries(SendSeries* series);
    void RemoveSeries(SendSeries* series);

    // Helpers for the senders, in the order a send is driven:
    // BeginSeries sets the bar's maximum, shows the first item, puts the bar
    // at 0, SentCount at 1, fills Label2, shows the dialog and redraws it.
    void BeginSeries(int total, int slot, const std::string& name);
    // The next item: SentCount + 1, the item and Label2, redrawn.
    void NextItem(int slot, const std::string& name);
    // One item sent: the bar steps by one.
    void StepProgress() override { ProgressBar1->setValue(ProgressBar1->value() + 1); }

    // ---- SendProgress ---------------------------------------------------
    void StartProgress(SendSeries& series, int total, int slot, const std::string& name) override {
        AddSeries(&series);
        BeginSeries(total, slot, name);
    }
    void ShowProgressItem(int slot, const std::string& name) override { NextItem(slot, name); }
    void EndProgress(SendSeries& series) override {
        RemoveSeries(&series);
        Close();
    }

    // ---- Handlers -------------------------------------------------------
    void Button1Click();

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;

private:
    void SetSendItemsEnabled(bool enabled);
    void ShowItem(int slot, const std::string& name);
    void StopAllSeries();

    std::vector<QObject*> owners_;
    std::vector<SendSeries*> series_;
    bool stopping_ = false;
};

extern TSendingForm* SendingForm;

}  // namespace morvelant
