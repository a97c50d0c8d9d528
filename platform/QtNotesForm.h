// The notes window that the preset notes and the pattern notes share: one
// text box filling the window, showing the notes of the current record and
// storing every change the user types at once. The derived window says
// where the notes are and when to show them anew.
//
// An edit that would make the notes too large is refused as it is made,
// with a message: notes larger than the box edits, or a working set larger
// than the editor reads back (the derived window's room check). Notes larger
// than the box edits (from a file) are kept as they are: the box then shows
// their start, read-only, under a line that says so, which keeps the window
// quick and small whatever the notes hold.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/QtFormBase.h"
#include "platform/QtFormConfig.h"
#include "platform/QtNotesEdit.h"

class QLabel;

namespace morvelant {

class TNotesWindow : public TForm {
    Q_OBJECT

public:
    // The most notes the box shows and edits whole, in stored bytes.
    static constexpr std::size_t kNotesEditLimit = std::size_t(1) << 20;
    // How much of larger notes the box shows.
    static constexpr std::size_t kNotesHeadBytes = std::size_t(64) << 10;

    // notes: the current record's notes (null when there is none).
    // room: called with the edited notes in place; empty when the working
    // set still fits, else the message (may be empty).
    // shown: the window's shown flag, read and written with its configuration.
    TNotesWindow(const QString& name, const char* caption, FormConfig config, bool& shown,
                 std::function<std::string*()> notes, std::function<std::string()> room, QWidget* parent = nullptr);
    ~TNotesWindow() override;

    // The box, named by the derived window.
    NotesTextEdit* Edit() const { return edit_; }
    // The line above the box about notes it does not edit whole.
    QLabel* LargeNotesLabel = nullptr;
    // The current record's notes into the box.
    void ShowNotes();

protected:
    void FormShow() override { shown_ = true; }
    void FormClose(TCloseAction&) override { shown_ = false; }
    void resizeEvent(QResizeEvent* event) override;

private:
    void StoreNotes(const std::string& text);
    void LayOut();

    FormConfig config_;
    bool& shown_;
    std::function<std::string*()> notes_;
    std::function<std::string()> room_;
    NotesTextEdit* edit_ = nullptr;
    bool restoring_ = false;
};

}  // namespace morvelant
