#include "shell/Instructions.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Dialogs.h"

namespace morvelant {

TInstructionsForm* InstructionsForm = nullptr;

namespace {

// Instructions files larger than this are not a text for this window.
constexpr std::streamoff kMaxInstructionsBytes = 8 << 20;

// Windows-1252 bytes 0x80..0x9F; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The file's lines as text: CR LF, LF and a lone CR each end a line.
QString TextOfBytes(const std::string& bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b == '\r') {
            out.append(QLatin1Char('\n'));
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            out.append(QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b)));
        }
    }
    return out;
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
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    bool ok = false;
    if (in) {
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        in.seekg(0, std::ios::beg);
        if (size >= 0 && size <= kMaxInstructionsBytes) {
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            ok = !in.bad() && static_cast<std::streamoff>(bytes.size()) == size;
        }
    }
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
