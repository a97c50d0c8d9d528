// The print output window: the preset description in a fixed-pitch font,
// editable, and printed on command as it then stands.
#pragma once

#include <string>

#include "model/DeviceModel.h"
#include "platform/QtFormBase.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QPrinter;

namespace morvelant {

class TPrintOutputForm : public TForm {
    Q_OBJECT

public:
    // Reads the window's configuration from configFile ("Morvelant.cfg" in
    // the program directory when empty); the destructor writes it.
    TPrintOutputForm(DeviceModel& model, std::string configFile = {}, QWidget* parent = nullptr);
    ~TPrintOutputForm() override;

    QPlainTextEdit* RichEdit = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Print1 = nullptr;

    // Replaces the whole text.
    void SetText(const std::string& text);
    std::string Text() const;

    // Prints the window's text as it now stands on `printer`, titled with the
    // current preset's name, all 113 columns of a line on one printed line,
    // on as many pages as the text needs. False, after a message box, when
    // the printing could not start.
    bool PrintTo(QPrinter& printer);
    // The popup's "Print": prints on the program's printer, after asking for
    // one when none is chosen yet.
    void Print1Click();

    // The menu commands: describe the current preset into the window, then
    // show it / then, when the printer set-up is confirmed, print it.
    void DisplayAllFaderParameters1Click();
    void PrintAllFaderParametersClick();

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;

private:
    void FormCreate();
    void FormDestroy();

    DeviceModel& model_;
    std::string configFile_;
};

// The one print output window, set by the composition root.
extern TPrintOutputForm* PrintOutputForm;

// The fixed-pitch font of the description (Courier New, or a metric twin).
QFont DescriptionFont(double points);

}  // namespace morvelant
