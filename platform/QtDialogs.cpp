#include "platform/QtDialogs.h"

#include <algorithm>

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPointer>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/QtDialogKeys.h"
#include "platform/QtFormFrame.h"
#include "platform/QtText.h"

namespace morvelant {

namespace {

// Texts are single-byte Windows-1252 strings inside the editor; the widgets
// get Unicode.
QString ToQ(const std::string& s) { return FromCp1252(s); }

// Steps of a long piece of work are run for this long at a time before the
// event loop gets its turn: short beside a frame and a person's patience.
constexpr qint64 kProgressSliceMs = 25;

// Runs steps until the work finishes or a slice's time is up.
ProgressStep RunSlice(const std::function<ProgressStep()>& step) {
    QElapsedTimer slice;
    slice.start();
    ProgressStep last;
    do last = step();
    while (!last.finished && slice.elapsed() < kProgressSliceMs);
    return last;
}

// File names come from and go to the file system, which speaks UTF-8.
QString PathToQ(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
std::string PathFromQ(const QString& s) { return s.toUtf8().toStdString(); }

// The keys go back, when the box or dialog has gone, to the window that
// had them when it came.
class KeysBack {
public:
    KeysBack() : had_(QApplication::activeWindow()) {}
    ~KeysBack() { HandKeysBack(had_); }
    KeysBack(const KeysBack&) = delete;
    KeysBack& operator=(const KeysBack&) = delete;

private:
    QPointer<QWidget> had_;
};

}  // namespace

QtDialogs::QtDialogs(QWidget* parent) : parent_(parent) { MarkFocusInEveryDialog(); }
QtDialogs::~QtDialogs() = default;

QWidget* QtDialogs::Parent() const { return parent_ ? parent_ : QApplication::activeWindow(); }

MessageResult QtDialogs::MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                                    MessageIcon icon) {
    const KeysBack keys;
    QMessageBox box(Parent());
    box.setWindowTitle(ToQ(caption));
    box.setText(ToQ(text));
    switch (icon) {
        case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (buttons) {
        case MessageButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case MessageButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case MessageButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    open_.push_back(&box);
    const int answer = box.exec();
    std::erase(open_, &box);
    switch (answer) {
        case QMessageBox::Yes: return MessageResult::Yes;
        case QMessageBox::No: return MessageResult::No;
        case QMessageBox::Cancel: return MessageResult::Cancel;
        default: return MessageResult::Ok;
    }
}

std::optional<FileDialogAnswer> QtDialogs::RunFileDialog(const FileDialogRequest& request, bool save) {
    const KeysBack keys;
    QFileDialog dialog(Parent(), ToQ(request.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const std::string& f : FileFilterToNameFilters(request.filter)) filters << ToQ(f);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        int index = std::clamp(request.filterIndex, 1, int(filters.size())) - 1;
        dialog.selectNameFilter(filters[index]);
    }
    if (!request.initialDir.empty()) dialog.setDirectory(PathToQ(request.initialDir));
    if (!request.fileName.empty()) dialog.selectFile(PathToQ(request.fileName));
    if (!request.defaultExt.empty()) dialog.setDefaultSuffix(ToQ(request.defaultExt));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    FileDialogAnswer answer;
    answer.fileName = PathFromQ(chosen.first());
    answer.filterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (answer.filterIndex < 1) answer.filterIndex = request.filterIndex;
    return answer;
}

std::optional<FileDialogAnswer> QtDialogs::OpenFile(const FileDialogRequest& request) {
    return RunFileDialog(request, false);
}

std::optional<FileDialogAnswer> QtDialogs::SaveFile(const FileDialogRequest& request) {
    return RunFileDialog(request, true);
}

std::optional<std::string> QtDialogs::BrowseFolder(const std::string& title, const std::string& initialDir) {
    const KeysBack keys;
    QString dir = QFileDialog::getExistingDirectory(Parent(), ToQ(title), PathToQ(initialDir));
    if (dir.isEmpty()) return std::nullopt;
    return PathFromQ(dir);
}

std::optional<uint32_t> QtDialogs::ChooseColor(uint32_t initial) {
    const KeysBack keys;
    QColor start(int(initial & 0xFF), int((initial >> 8) & 0xFF), int((initial >> 16) & 0xFF));
    QColor c = QColorDialog::getColor(start, Parent());
    if (!c.isValid()) return std::nullopt;
    return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

QPrinter& QtDialogs::SharedPrinter() {
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

bool QtDialogs::HasDestination(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::NativeFormat ? !printer.printerName().isEmpty()
                                                            : !printer.outputFileName().isEmpty();
}

bool QtDialogs::BeginPrinting(QPainter& painter, QPrinter& printer) {
    const auto tell = [](const std::string& text) {
        CurrentDialogs().MessageBox(text, "Error", MessageButtons::Ok, MessageIcon::Error);
        return false;
    };
    if (!HasDestination(printer)) return tell("Printing could not start: no printer is set up.");
    if (painter.begin(&printer)) return true;
    const QString where =
        printer.outputFormat() == QPrinter::NativeFormat ? printer.printerName() : printer.outputFileName();
    return tell("Printing could not start on \"" + PathFromQ(where) + "\".");
}

void QtDialogs::CloseMessageBox(const std::string& text) {
    for (QMessageBox* box : open_)
        if (box->text() == ToQ(text)) box->done(QMessageBox::Ok);
}

bool QtDialogs::RunWithProgress(const std::string& caption, const std::function<ProgressStep()>& step) {
    ProgressStep last = RunSlice(step);
    if (last.finished) return true;
    const KeysBack keys;
    QDialog box(Parent());
    box.setObjectName(QStringLiteral("ProgressBox"));
    box.setWindowTitle(ToQ(caption));
    auto* layout = new QVBoxLayout(&box);
    auto* label = new QLabel(&box);
    label->setMinimumWidth(300);
    auto* bar = new QProgressBar(&box);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &box);
    layout->addWidget(label);
    layout->addWidget(bar);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    cancel->setDefault(true);
    cancel->setFocus();
    QObject::connect(cancel, &QPushButton::clicked, &box, &QDialog::reject);
    const auto show = [&] {
        label->setText(ToQ(last.text));
        // The title says it too, for a box that is out of sight.
        box.setWindowTitle(ToQ(last.text.empty() ? caption : last.text + " - " + caption));
        bar->setRange(0, std::max(last.total, 0));
        bar->setValue(std::clamp(last.done, 0, std::max(last.total, 0)));
    };
    show();
    // Each turn of the box's event loop runs one slice of the work; the
    // box ends when the work does, at Cancel or Escape, and when the
    // program's end leaves every event loop.
    QTimer work;
    QObject::connect(&work, &QTimer::timeout, &box, [&] {
        last = RunSlice(step);
        show();
        if (last.finished) box.accept();
    });
    work.start(0);
    box.exec();
    work.stop();
    return last.finished;
}

bool QtDialogs::PrinterSetup() {
    const KeysBack keys;
    QPrintDialog dialog(&SharedPrinter(), Parent());
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace morvelant
