#include "shell/Instructions.h"

#include "platform/QtText.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <filesystem>

#include "platform/Dialogs.h"
#include "platform/SafeFile.h"

namespace morvelant {

TInstructionsForm* InstructionsForm = nullptr;

namespace {

// Instructions files larger than this are not a text for this window.
constexpr std::size_t kMaxInstructionsBytes = 8 << 20;

// The file's lines as text: CR LF, LF and a lone CR each end a line.
QString TextOfBytes(const std::string& bytes) {
    std::string lines;
    lines.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            lines.push_back('\n');
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            lines.push_back(bytes[i]);
        }
    }
    return FromCp1252(lines);
}

}  // namespace

TInstructionsForm::TInstructionsForm(std::string programPath, QWidget* parent)
    : TForm(QStringLiteral("InstructionsForm"), parent), programPath_(std::move(programPath)) {
    SetCaption("InstructionsForm");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(11);
    RichEdit1->setFont(fixed);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(RichEdit1);
    SetBounds(272, 116, 354, 265);
}

TInstructionsForm::~TInstructionsForm() {
    if (InstructionsForm == this) InstructionsForm = nullptr;
}

std::string TInstructionsForm::InstructionsFile() const {
    std::error_code ec;
    if (std::filesystem::exists(kInstructionsFileName, ec)) return kInstructionsFileName;
    std::string folder = programPath_;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + kInstructionsFileName;
}

bool TInstructionsForm::LoadInstructions() {
    const std::string path = InstructionsFile();
    // Never waits on a named pipe; a file too large for a page of text is refused.
    std::vector<uint8_t> data;
    const bool ok = ReadWholeFile(path, data, kMaxInstructionsBytes);
    const std::string bytes(data.begin(), data.end());
    if (!ok) {
        CurrentDialogs().MessageBox("Cannot open file \"" + path + "\".", "Error", MessageButtons::Ok,
                                    MessageIcon::Error);
        return false;
    }
    RichEdit1->setPlainText(TextOfBytes(bytes));
    return true;
}

void TInstructionsForm::FormShow() {
    // The bookkeeping hears of the showing through the form events.
    LoadInstructions();
}

}  // namespace morvelant
