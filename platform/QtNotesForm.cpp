#include "platform/QtNotesForm.h"

#include <QLabel>
#include <QMetaObject>

#include <algorithm>

#include <utility>

#include "platform/Dialogs.h"

namespace morvelant {

namespace {

QString MiB(std::size_t bytes) { return QString::number(double(bytes) / double(1 << 20), 'f', 1) + " MiB"; }

// The start of long notes, ended at a line break where there is one.
std::string NotesHead(const std::string& notes) {
    if (notes.size() <= TNotesWindow::kNotesHeadBytes) return notes;
    const std::size_t lineEnd = notes.rfind('\r', TNotesWindow::kNotesHeadBytes);
    return notes.substr(0, lineEnd == std::string::npos || lineEnd == 0 ? TNotesWindow::kNotesHeadBytes : lineEnd);
}

}  // namespace

TNotesWindow::TNotesWindow(const QString& name, const char* caption, FormConfig config, bool& shown,
                           std::function<std::string*()> notes, std::function<std::string()> room, QWidget* parent)
    : TForm(name, parent), config_(std::move(config)), shown_(shown), notes_(std::move(notes)), room_(std::move(room)) {
    SetCaption(caption);
    LargeNotesLabel = new QLabel(this);
    LargeNotesLabel->setObjectName(QStringLiteral("LargeNotesLabel"));
    LargeNotesLabel->setWordWrap(true);
    LargeNotesLabel->hide();
    edit_ = new NotesTextEdit(this);
    connect(edit_, &NotesTextEdit::NotesEdited, this, [this](const std::string& text) { StoreNotes(text); });
    ReadFormConfig(config_, *this, shown_);
    ShowNotes();
}

TNotesWindow::~TNotesWindow() { WriteFormConfig(config_, *this, shown_); }

void TNotesWindow::ShowNotes() {
    const std::string* notes = notes_();
    if (notes == nullptr) return;
    const bool large = notes->size() > kNotesEditLimit;
    if (large)
        LargeNotesLabel->setText(QStringLiteral("These notes hold %1, more than this window edits (%2). They are kept "
                                                "as they are; their start is shown.")
                                     .arg(MiB(notes->size()), MiB(kNotesEditLimit)));
    if (large == LargeNotesLabel->isHidden()) {
        LargeNotesLabel->setVisible(large);
        LayOut();
    }
    edit_->setReadOnly(large);
    edit_->SetStoredText(large ? NotesHead(*notes) : *notes);
}

void TNotesWindow::StoreNotes(const std::string& text) {
    std::string* target = notes_();
    if (target == nullptr || restoring_) return;
    std::string why;
    if (text.size() > kNotesEditLimit) {
        why = "These notes would hold " + MiB(text.size()).toStdString() + ", more than the " +
            MiB(kNotesEditLimit).toStdString() + " this window edits.";
    } else {
        std::string before = std::exchange(*target, text);
        if (room_) why = room_();
        if (why.empty()) return;
        *target = std::move(before);
    }
    // Once the key or the paste has been handled: the notes as they are
    // kept, then the box; what is typed meanwhile goes with the refused edit.
    restoring_ = true;
    const int caret = edit_->LastChangePosition();
    QMetaObject::invokeMethod(
        this,
        [this, why, caret] {
            ShowNotes();
            restoring_ = false;
            QTextCursor cursor = edit_->textCursor();
            cursor.setPosition(std::min(caret, edit_->document()->characterCount() - 1));
            edit_->setTextCursor(cursor);
            CurrentDialogs().MessageBox(why + " The notes were left as they were.", "Warning !", MessageButtons::Ok,
                                        MessageIcon::Warning);
        },
        Qt::QueuedConnection);
}

void TNotesWindow::LayOut() {
    const int top = LargeNotesLabel->isHidden() ? 0 : LargeNotesLabel->heightForWidth(width());
    LargeNotesLabel->setGeometry(0, 0, width(), top);
    edit_->setGeometry(0, top, width(), std::max(0, height() - top));
}

void TNotesWindow::resizeEvent(QResizeEvent* event) {
    LayOut();
    TForm::resizeEvent(event);
}

}  // namespace morvelant
