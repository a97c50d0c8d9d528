#include "presets/DescriptionForm.h"

#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>

#include "platform/Dialogs.h"
#include "platform/QtDialogs.h"
#include "platform/QtText.h"
#include "presets/Printout.h"

namespace morvelant {

TDescriptionForm* DescriptionForm = nullptr;

namespace {

constexpr int kScreenDpi = 96;

QPlainTextEdit* HiddenMemo(QWidget* parent, const char* name, bool italic, bool bold) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(QString::fromLatin1(name));
    QFont font = DescriptionFont(kSheetFontPoints);
    font.setItalic(italic);
    font.setBold(bold);
    font.setUnderline(bold);
    memo->setFont(font);
    memo->hide();
    return memo;
}

}  // namespace

TDescriptionForm::TDescriptionForm(DeviceModel& model, QWidget* parent)
    : TForm(QStringLiteral("DescriptionForm"), parent), model_(model) {
    SetCaption("DescriptionForm");
    DescriptionImage = new QLabel(this);
    DescriptionImage->setObjectName(QStringLiteral("DescriptionImage"));
    DescriptionImage->move(0, 0);
    Memo1 = HiddenMemo(this, "Memo1", true, false);
    Memo2 = HiddenMemo(this, "Memo2", false, true);
}

TDescriptionForm::~TDescriptionForm() {
    if (DescriptionForm == this) DescriptionForm = nullptr;
}

void TDescriptionForm::Draw(QPainter& painter, int p, SheetMode mode, int dpiX, int dpiY) {
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::white);
    for (const SheetShape& s : LabelSheetShapes(model_, p, mode)) {
        const int x = s.x.ToPixels(dpiX);
        const int y = s.y.ToPixels(dpiY);
        switch (s.kind) {
            case SheetShape::Rectangle:
                // The outline runs along the first and the last pixel inside.
                painter.drawRect(x, y, s.width.ToPixels(dpiX) - 1, s.height.ToPixels(dpiY) - 1);
                break;
            case SheetShape::VerticalLine: painter.drawLine(x, y, x, y + s.height.ToPixels(dpiY)); break;
            case SheetShape::Text: {
                painter.setFont((s.font == SheetFont::Italic ? Memo1 : Memo2)->font());
                // Placed by the top of the text, not by its baseline.
                painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), FromCp1252(s.text));
                break;
            }
        }
    }
}

void TDescriptionForm::DisplayDescription(int p) {
    const SheetPixels size = LabelSheetImageSize(kScreenDpi);
    image_ = QImage(size.width, size.height, QImage::Format_RGB32);
    image_.fill(Qt::white);
    // Fonts sized in points come out at the sheet's 11 pixels.
    const int dotsPerMeter = qRound(kScreenDpi / 0.0254);
    image_.setDotsPerMeterX(dotsPerMeter);
    image_.setDotsPerMeterY(dotsPerMeter);
    {
        QPainter painter(&image_);
        Draw(painter, p, SheetMode::Screen, kScreenDpi, kScreenDpi);
    }
    DescriptionImage->setPixmap(QPixmap::fromImage(image_));
    DescriptionImage->resize(size.width, size.height);
    SetClientSize(size.width + 10, size.height + 30);
    SetCaption(model_.GetPresetDeviceName(p));
    Show();
}

void TDescriptionForm::PrintDescription(int p) {
    if (!CurrentDialogs().PrinterSetup()) return;
    PrintTo(QtDialogs::SharedPrinter(), p);
}

bool TDescriptionForm::PrintTo(QPrinter& printer, int p) {
    printer.setDocName(FromCp1252(model_.GetPresetDeviceName(p)));
    // The sheet is measured from the corner of the printable area of the
    // printer and paper, so that no box runs into the margin the printer
    // cannot print.
    printer.setFullPage(false);
    QPainter painter;
    if (!QtDialogs::BeginPrinting(painter, printer)) return false;
    Draw(painter, p, SheetMode::Print, printer.logicalDpiX(), printer.logicalDpiY());
    return painter.end();
}

}  // namespace morvelant
