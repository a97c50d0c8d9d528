// The fader label sheet window: the names of a preset's 24 faders and of
// their keys at real size, on screen and printed on one page.
#pragma once

#include <QImage>
#include <string>

#include "model/DeviceModel.h"
#include "platform/QtFormBase.h"
#include "presets/LabelSheet.h"

class QLabel;
class QPainter;
class QPlainTextEdit;
class QPrinter;

namespace morvelant {

class TDescriptionForm : public TForm {
    Q_OBJECT

public:
    explicit TDescriptionForm(DeviceModel& model, QWidget* parent = nullptr);
    ~TDescriptionForm() override;

    QLabel* DescriptionImage = nullptr;
    // Hidden: they carry the sheet's two fonts.
    QPlainTextEdit* Memo1 = nullptr;  // italic
    QPlainTextEdit* Memo2 = nullptr;  // bold, underlined

    // Draws the sheet of preset p at 96 dpi and shows the window.
    void DisplayDescription(int p);
    // After the printer set-up is confirmed, prints the sheet of preset p on
    // one page of the program's printer.
    void PrintDescription(int p);
    // Prints on `printer` without asking, within its printable area. False,
    // after a message box, when the printing could not start.
    bool PrintTo(QPrinter& printer, int p);

    const QImage& Image() const { return image_; }

private:
    void Draw(QPainter& painter, int p, SheetMode mode, int dpiX, int dpiY);

    DeviceModel& model_;
    QImage image_;
};

extern TDescriptionForm* DescriptionForm;

}  // namespace morvelant
