#include "presets/Printout.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QFontDatabase>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/Dialogs.h"
#include "platform/FilePrimitives.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "platform/QtDialogs.h"
#include "platform/QtFormFrame.h"
#include "platform/QtText.h"
#include "platform/SaveRescue.h"
#include "presets/Description.h"

namespace morvelant {

TPrintOutputForm* PrintOutputForm = nullptr;

namespace {

constexpr const char* kSection = "PrintOutputForm";
// The widest line of the description.
constexpr int kColumns = 113;
constexpr double kScreenPoints = 10.0;
constexpr double kLargestPrintPoints = 10.0;

// What a print to a file that was cut short (the program killed) left beside
// the last file printed to.
void RemoveLeftoversOfLastPrint() {
    if (const std::string last = LastPrintFile(); !last.empty()) files::RemoveStaleTemporaries(last);
}

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
    // What a print that the last session was killed in left beside its file.
    RemoveLeftoversOfLastPrint();
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

namespace {

// The characters copied into the print's document in one step, and the
// blocks laid out or the pages painted: each a small part of a frame.
constexpr int kCopyChars = 32 * 1024;
constexpr int kLayoutBlocks = 200;

// A print to a file is written beside it under a temporary name and takes
// the file's name only once complete: a print that is cancelled, or cut
// short by the program's end, leaves no half-printed file and an earlier
// file of that name as it was. A device or a pipe is written as it is.
class PrintFile {
public:
    explicit PrintFile(QPrinter& printer) : printer_(printer), chosen_(printer.outputFileName()) {
        if (printer.outputFormat() == QPrinter::NativeFormat || chosen_.isEmpty()) return;
        struct stat st {};
        target_ = files::SaveTarget(chosen_.toStdString());
        if (target_.empty() || (::stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode))) return;
        // What a print that was killed left, beside this file or the last
        // one printed to, goes now; this print is recorded before it makes
        // a temporary.
        RemoveLeftoversOfLastPrint();
        files::RemoveStaleTemporaries(target_);
        RecordPrintFile(target_);
        const int fd = files::CreateTemporaryFile(target_, temp_);
        if (fd < 0) {
            temp_.clear();
            return;
        }
        files::KeepModeOf(target_, fd);
        ::close(fd);
        printer.setOutputFileName(QString::fromStdString(temp_));
    }
    ~PrintFile() {
        if (!temp_.empty()) ::unlink(temp_.c_str());
        printer_.setOutputFileName(chosen_);
    }
    // The printing ended complete: the file takes its name. False, with
    // the reason, when it cannot.
    bool Keep(std::string& error) {
        printer_.setOutputFileName(chosen_);
        if (temp_.empty()) return true;
        const std::string temp = std::exchange(temp_, {});
        if (::rename(temp.c_str(), target_.c_str()) == 0) return files::SyncFoldersOf({target_}), true;
        error = files::ErrorText("cannot replace", target_, errno);
        ::unlink(temp.c_str());
        return false;
    }

private:
    QPrinter& printer_;
    QString chosen_;
    std::string target_, temp_;
};

}  // namespace

bool TPrintOutputForm::PrintTo(QPrinter& printer) {
    printer.setDocName(FromCp1252(model_.GetPresetDeviceName(model_.SelectedPreset)));
    if (!QtDialogs::HasDestination(printer)) {
        QPainter none;
        return QtDialogs::BeginPrinting(none, printer);  // says so
    }
    // The text as it stands now; the print's own document is filled from it
    // a step at a time, as is everything after, so that a long text keeps
    // neither the program's events nor its end waiting.
    const QString text = RichEdit->document()->toRawText();
    const QTextOption editOption = RichEdit->document()->defaultTextOption();
    QTextDocument doc;
    QTextCursor cursor(&doc);
    int copied = 0;
    const double marginX = 2.0 / 2.54 * printer.logicalDpiX();
    const double marginY = 2.0 / 2.54 * printer.logicalDpiY();
    const QRectF body(marginX, marginY, printer.width() - 2 * marginX, printer.height() - 2 * marginY);
    QFont font = DescriptionFont(kLargestPrintPoints);
    QAbstractTextDocumentLayout* layout = nullptr;
    QTextBlock next;  // the next block to lay out
    QTextBlock lastText;  // the last block laid out that holds more than blanks
    int laidOut = 0;
    int pages = 0;
    int page = 0;
    std::optional<PrintFile> file;
    QPainter painter;
    bool failed = false;

    const auto laying = [&] {
        return ProgressStep{false, "Laying out the pages...", copied + laidOut, 2 * int(text.size()) + 1};
    };
    const auto step = [&]() -> ProgressStep {
        if (copied < text.size()) {
            // Whole paragraphs where the text has them.
            int end = std::min<int>(int(text.size()), copied + kCopyChars);
            if (end < text.size()) {
                const int separator = int(text.lastIndexOf(QChar::ParagraphSeparator, end - 1));
                if (separator >= copied) end = separator + 1;
            }
            cursor.insertText(text.mid(copied, end - copied));
            copied = end;
            return laying();
        }
        if (layout == nullptr) {
            // Lines the user made longer than the page go on below instead
            // of being cut off at its edge.
            QTextOption option = editOption;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            doc.setDefaultTextOption(option);
            // As large as fits: a full line of the description within the
            // printed width (the page's printable area less margins of 2 cm
            // a side), at most the largest size.
            const QFontMetricsF metrics(font, &printer);
            const double lineWidth = metrics.horizontalAdvance(QString(kColumns + 2, QLatin1Char('M')));
            if (lineWidth > body.width()) font.setPointSizeF(kLargestPrintPoints * body.width() / lineWidth);
            doc.setDefaultFont(font);
            // Laid out in pages of the body's size at the printer's
            // resolution: no line is split between two pages.
            layout = doc.documentLayout();
            layout->setPaintDevice(&printer);
            doc.setDocumentMargin(0);
            doc.setPageSize(body.size());
            next = doc.begin();
            return laying();
        }
        if (next.isValid()) {
            QTextBlock last;
            for (int n = 0; n < kLayoutBlocks && next.isValid(); ++n, next = next.next()) {
                last = next;
                laidOut += next.length();
                if (!next.text().trimmed().isEmpty()) lastText = next;
            }
            layout->blockBoundingRect(last);
            return laying();
        }
        if (pages == 0) {
            // As many pages as the text needs: blank lines at its end start none.
            pages = 1;
            if (lastText.isValid())
                pages = std::max(1, int(std::ceil(layout->blockBoundingRect(lastText).bottom() / body.height() - 1e-6)));
            // Where no file can be made beside the chosen one, straight into it.
            file.emplace(printer);
            if (!painter.begin(&printer)) {
                file.reset();
                if (!QtDialogs::BeginPrinting(painter, printer)) {
                    failed = true;
                    return {true, {}, 0, 0};
                }
            }
        }
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
        ++page;
        return {page == pages,
                "Printing page " + std::to_string(page) + " of " + std::to_string(pages), page, pages};
    };
    const bool finished = CurrentDialogs().RunWithProgress(Caption(), step);
    if (painter.isActive() && !painter.end()) failed = true;
    if (!finished || failed) return false;
    std::string error;
    if (!file || file->Keep(error)) return true;
    CurrentDialogs().MessageBox("Printing could not be completed: " + error + ".", "Error", MessageButtons::Ok,
                                MessageIcon::Error);
    return false;
}

void TPrintOutputForm::Print1Click() {
    // A printer chosen before prints at once. With none chosen yet the user
    // chooses one first, and so with a file: each print to a file asks as
    // the first did (the dialog asks before it replaces one), rather than
    // replacing an earlier print unasked.
    const QPrinter& printer = QtDialogs::SharedPrinter();
    const bool toFile = printer.outputFormat() != QPrinter::NativeFormat || !printer.outputFileName().isEmpty();
    if ((!QtDialogs::HasDestination(printer) || toFile) && !CurrentDialogs().PrinterSetup()) return;
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
