// Message boxes and the common dialogs (open, save, folder browser, colour,
// printer set-up) behind one small interface, so that the model and the
// engine can ask the user without knowing about any toolkit.
//
// The program installs the Qt implementation (QtDialogs.h) at start-up; tests
// install a ScriptedDialogs that records every question and returns queued
// answers. Without an installed implementation, every box answers with its
// default button and every dialog is cancelled.
//
// Filters are written as the editor's dialogs always took them: pairs of
// description and pattern separated by bars, "Morvelant Presets|*.MVR|Midi File|*.MID";
// a pattern may list several masks separated by semicolons.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvelant {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageResult { Ok, Cancel, Yes, No };
enum class MessageIcon { None, Information, Warning, Error, Question };

// One open or save dialog as the caller sets it up.
struct FileDialogRequest {
    std::string title;
    std::string filter;  // "Description|*.EXT|..."
    int filterIndex = 1;  // 1-based entry preselected
    std::string initialDir;  // folder the dialog opens in; empty = current
    std::string fileName;  // file name preset in the edit field
    std::string defaultExt;  // without dot; appended when the user types none
};

struct FileDialogAnswer {
    std::string fileName;  // the chosen file, full path
    int filterIndex = 0;  // the entry in use when the dialog was closed;
        // 0 in a scripted answer: the request's entry
};

// How far a long piece of work is after one of its steps.
struct ProgressStep {
    bool finished = false;
    std::string text;  // what the progress box says now
    int done = 0;
    int total = 0;  // 0: not known yet
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MessageResult MessageBox(const std::string& text, const std::string& caption,
                                     MessageButtons buttons = MessageButtons::Ok,
                                     MessageIcon icon = MessageIcon::None) = 0;
    virtual std::optional<FileDialogAnswer> OpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<FileDialogAnswer> SaveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> BrowseFolder(const std::string& title, const std::string& initialDir) = 0;
    // Colours as 0x00BBGGRR, the way the editor stores them.
    virtual std::optional<uint32_t> ChooseColor(uint32_t initial) = 0;
    // Printer set-up for the program's shared printer; true when confirmed.
    virtual bool PrinterSetup() = 0;
    // Closes a message box of this text that is still open, as its default
    // button would: what it said no longer holds. Nothing when none is open.
    virtual void CloseMessageBox(const std::string& text) { (void)text; }
    // Does a long piece of work a step at a time, from the event loop, so
    // that the program's events go on meanwhile; a box titled `caption`
    // shows how far it is and offers Cancel (Escape cancels). True when
    // `step` said it finished; false when the user cancelled or the program
    // is ending: the caller then drops the work. Without a box every step
    // runs at once.
    virtual bool RunWithProgress(const std::string& caption, const std::function<ProgressStep()>& step);
};

// The process-wide implementation in use (never null: a silent default when
// none is installed). Installing does not take ownership; pass nullptr to go
// back to the default.
Dialogs& CurrentDialogs();
void SetCurrentDialogs(Dialogs* dialogs);

// Installs an implementation for a scope and puts the previous one back.
class ScopedDialogs {
public:
    explicit ScopedDialogs(Dialogs& dialogs);
    ~ScopedDialogs();
    ScopedDialogs(const ScopedDialogs&) = delete;
    ScopedDialogs& operator=(const ScopedDialogs&) = delete;

private:
    Dialogs* previous_;
};

// Answers every box with its default and cancels every dialog.
class SilentDialogs : public Dialogs {
public:
    MessageResult MessageBox(const std::string&, const std::string&, MessageButtons buttons, MessageIcon) override;
    std::optional<FileDialogAnswer> OpenFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<FileDialogAnswer> SaveFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> BrowseFolder(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<uint32_t> ChooseColor(uint32_t) override { return std::nullopt; }
    bool PrinterSetup() override { return false; }
};

// For tests: records what was asked, answers from per-kind queues. An empty
// queue answers as SilentDialogs does.
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Message, Open, Save, Folder, Color, Printer, Progress };
    struct Call {
        Kind kind = Kind::Message;
        std::string text;  // message text
        std::string caption;  // message caption, dialog or folder-browser title
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
        FileDialogRequest file;  // open and save dialogs
        std::string initialDir;  // folder browser
        uint32_t color = 0;  // colour dialog: initial colour
        std::vector<ProgressStep> steps;  // progress box: what it showed after each step
    };

    std::vector<Call> calls;
    std::deque<MessageResult> messageAnswers;
    std::deque<std::optional<FileDialogAnswer>> openAnswers;
    std::deque<std::optional<FileDialogAnswer>> saveAnswers;
    std::deque<std::optional<std::string>> folderAnswers;
    std::deque<std::optional<uint32_t>> colorAnswers;
    std::deque<bool> printerAnswers;
    // Progress boxes: cancelled after this many steps (none queued: run to the end).
    std::deque<int> progressCancelAfter;
    // The texts of the boxes the program asked to close, in order.
    std::vector<std::string> closedMessages;

    // Shorthands for queuing a chosen file (filter index unchanged) or a cancel.
    void QueueOpen(std::optional<std::string> fileName);
    void QueueSave(std::optional<std::string> fileName);

    // The calls of one kind, and the message texts in order.
    std::vector<Call> CallsOf(Kind kind) const;
    std::vector<std::string> Messages() const;

    MessageResult MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             MessageIcon icon) override;
    std::optional<FileDialogAnswer> OpenFile(const FileDialogRequest& request) override;
    std::optional<FileDialogAnswer> SaveFile(const FileDialogRequest& request) override;
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& initialDir) override;
    std::optional<uint32_t> ChooseColor(uint32_t initial) override;
    bool PrinterSetup() override;
    void CloseMessageBox(const std::string& text) override { closedMessages.push_back(text); }
    bool RunWithProgress(const std::string& caption, const std::function<ProgressStep()>& step) override;

private:
    std::optional<FileDialogAnswer> FileDialog(Kind kind, const FileDialogRequest& request,
                                               std::deque<std::optional<FileDialogAnswer>>& answers);
};

// One entry of a filter: its description and its masks.
struct FileFilterEntry {
    std::string description;
    std::vector<std::string> masks;
};

// Splits "Desc|*.A;*.B|Desc2|*.C" into entries; a trailing description
// without pattern is dropped.
std::vector<FileFilterEntry> ParseFileFilter(const std::string& filter);

// The filter as name filters for a file dialog on a case-sensitive file
// system: every mask also in upper and in lower case,
// "Morvelant Presets (*.MVR *.mvr)".
std::vector<std::string> FileFilterToNameFilters(const std::string& filter);

// Whether a file name matches a mask ("*.M*", "*.MVR"), ignoring case.
bool MatchesFileMask(const std::string& fileName, const std::string& mask);

}  // namespace morvelant
