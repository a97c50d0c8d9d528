#include "presets/Printout.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QFontDatabase>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/QtFormFrame.h"
#include "platform/ProgramPath.h"
#include "platform/QtDialogs.h"
#include "platform/QtText.h"
#include "presets/Description.h"

namespace morvelant {

TPrintOutputForm* PrintOutputForm = nullptr;

namespace {

constexpr const char* kSection = "PrintOutputForm";
// The widest line of the description.
constexpr int kColumns = 113;
constexpr double kScreenPoints = 10.0;
constexpr double kLargestPrintPoints = 10.0;

}  // namespace

QFont DescriptionFont(double points) {
    QFont font;
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("Cousine")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(points);
    return font;
}

TPrintOutputForm::TPrintOutputForm(DeviceModel& model, std::string configFile, QWidget* parent)
    : TForm(QStringLiteral("PrintOutputForm"), parent),
      model_(model),
      configFile_(configFile.empty() ? ConfigFileName() : std::move(configFile)) {
    SetCaption("Print Ouput");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    RichEdit = new QPlainTextEdit(this);
    RichEdit->setObjectName(QStringLiteral("RichEdit"));
    RichEdit->setFont(DescriptionFont(kScreenPoints));
    RichEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(RichEdit);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Print1 = PopupMenu1->addAction(QStringLiteral("Print"));
    Print1->setObjectName(QStringLiteral("Print1"));
    PopupMenu1->setDefaultAction(Print1);
    connect(Print1, &QAction::triggered, this, [this] { Print1Click(); });
    RichEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RichEdit, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(RichEdit->mapToGlobal(pos)); });

    FormCreate();
}

TPrintOutputForm::~TPrintOutputForm() {
    FormDestroy();
    if (PrintOutputForm == this) PrintOutputForm = nullptr;
}

void TPrintOutputForm::FormCreate() {
    const TIniFile ini(configFile_);
    model_.ShowPrintOutputForm = ini.ReadBool("Options", "ShowPrintOutputForm", false);
    const int top = std::max(0, ini.ReadInteger(kSection, "Top", 116));
    const int left = ini.ReadInteger(kSection, "Left", 203);
    const int width = ini.ReadInteger(kSection, "Width", 418);
    const int height = ini.ReadInteger(kSection, "Height", 297);
    SetBounds(left, top, width, height);
}

void TPrintOutputForm::FormDestroy() {
    TIniFile ini(configFile_);
    ini.WriteBool("Options", "ShowPrintOutputForm", model_.ShowPrintOutputForm);
    ini.WriteInteger(kSection, "Top", OuterBounds(*this).y());
    ini.WriteInteger(kSection, "Left", OuterBounds(*this).x());
    ini.WriteInteger(kSection, "Width", OuterSize(*this).width());
    ini.WriteInteger(kSection, "Height", OuterSize(*this).height());
}

void TPrintOutputForm::FormShow() { model_.ShowPrintOutputForm = true; }

void TPrintOutputForm::FormClose(TCloseAction&) { model_.ShowPrintOutputForm = false; }

void TPrintOutputForm::SetText(const std::string& text) { RichEdit->setPlainText(FromCp1252(text)); }

std::string TPrintOutputForm::Text() const { return ToCp1252(RichEdit->toPlainText()); }

bool TPrintOutputForm::PrintTo(QPrinter& printer) {
    printer.setDocName(FromCp1252(model_.GetPresetDeviceName(model_.SelectedPreset)));
    QPainter painter;
    if (!QtDialogs::BeginPrinting(painter, printer)) return false;
    std::unique_ptr<QTextDocument> doc(RichEdit->document()->clone());
    // Lines the user made longer than the page go on below instead of
    // being cut off at its edge.
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc->setDefaultTextOption(option);
    // As large as fits: a full line of the description within the printed
    // width (the page's printable area less margins of 2 cm a side), at most
    // the largest size.
    const double marginX = 2.0 / 2.54 * printer.logicalDpiX();
    const double marginY = 2.0 / 2.54 * printer.logicalDpiY();
    const QRectF body(marginX, marginY, printer.width() - 2 * marginX, printer.height() - 2 * marginY);
    QFont font = DescriptionFont(kLargestPrintPoints);
    const QFontMetricsF metrics(font, &printer);
    const double lineWidth = metrics.horizontalAdvance(QString(kColumns + 2, QLatin1Char('M')));
    if (lineWidth > body.width()) font.setPointSizeF(kLargestPrintPoints * body.width() / lineWidth);
    doc->setDefaultFont(font);
    // Laid out in pages of the body's size at the printer's resolution: no
    // line is split between two pages.
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    layout->setPaintDevice(&printer);
    doc->setDocumentMargin(0);
    doc->setPageSize(body.size());

    // As many pages as the text needs: blank lines at its end start none.
    int pages = 1;
    for (QTextBlock block = doc->lastBlock(); block.isValid(); block = block.previous()) {
        if (block.text().trimmed().isEmpty()) continue;
        const double bottom = layout->blockBoundingRect(block).bottom();
        pages = std::max(1, int(std::ceil(bottom / body.height() - 1e-6)));
        break;
    }
    for (int page = 0; page < pages; ++page) {
        if (page > 0) printer.newPage();
        const QRectF shown(0, page * body.height(), body.width(), body.height());
        painter.save();
        painter.translate(body.left(), body.top() - shown.top());
        painter.setClipRect(shown);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = shown;
        context.palette.setColor(QPalette::Text, Qt::black);
        layout->draw(&painter, context);
        painter.restore();
        if (pages > 1) {
            // The page number in the bottom margin, at the right.
            painter.setFont(font);
            const QString number = QString::number(page + 1);
            const QFontMetricsF numberMetrics(font, &printer);
            painter.drawText(QPointF(body.right() - numberMetrics.horizontalAdvance(number),
                                     body.bottom() + marginY / 2 + numberMetrics.ascent()),
                             number);
        }
    }
    return painter.end();
}

void TPrintOutputForm::Print1Click() {
    // With no printer chosen yet, the user chooses one first.
    if (!QtDialogs::HasDestination(QtDialogs::SharedPrinter()) && !CurrentDialogs().PrinterSetup()) return;
    PrintTo(QtDialogs::SharedPrinter());
}

void TPrintOutputForm::DisplayAllFaderParameters1Click() {
    SetText(DescribeAllFaderParameters(model_));
    Show();
}

void TPrintOutputForm::PrintAllFaderParametersClick() {
    SetText(DescribeAllFaderParameters(model_));
    if (CurrentDialogs().PrinterSetup()) PrintTo(QtDialogs::SharedPrinter());
}

}  // namespace morvelant
