// The program's dialogs: QMessageBox, QFileDialog, QColorDialog and
// QPrintDialog behind the Dialogs interface.
#pragma once

#include "platform/Dialogs.h"

#include <vector>

class QMessageBox;
class QPainter;
class QPrinter;
class QWidget;

namespace morvelant {

class QtDialogs : public Dialogs {
public:
    // parent: the window the boxes are modal to (may be null: the active window).
    explicit QtDialogs(QWidget* parent = nullptr);
    ~QtDialogs() override;

    void SetParent(QWidget* parent) { parent_ = parent; }

    MessageResult MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             MessageIcon icon) override;
    std::optional<FileDialogAnswer> OpenFile(const FileDialogRequest& request) override;
    std::optional<FileDialogAnswer> SaveFile(const FileDialogRequest& request) override;
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& initialDir) override;
    std::optional<uint32_t> ChooseColor(uint32_t initial) override;
    bool PrinterSetup() override;
    void CloseMessageBox(const std::string& text) override;
    // The box comes up only when the first steps (a few tens of
    // milliseconds) have not finished the work.
    bool RunWithProgress(const std::string& caption, const std::function<ProgressStep()>& step) override;

    // The printer that the set-up dialog configures and printing uses.
    static QPrinter& SharedPrinter();
    // Whether the printer has somewhere to print: a printer, or a file.
    static bool HasDestination(const QPrinter& printer);
    // Starts `painter` on `printer`. A printer with nowhere to print is not
    // started (the toolkit would leave it active and refuse every later
    // print of the session); that, or a start that fails, is told in a
    // message box, and the result is false.
    static bool BeginPrinting(QPainter& painter, QPrinter& printer);

private:
    std::optional<FileDialogAnswer> RunFileDialog(const FileDialogRequest& request, bool save);
    QWidget* Parent() const;

    QWidget* parent_;
    std::vector<QMessageBox*> open_;  // boxes shown and not yet answered, innermost last
};

}  // namespace morvelant
