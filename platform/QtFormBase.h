// The window base that every editor window shares.
//
// A TForm is a top-level QWidget with the life of a form: shown, hidden,
// activated, closed (with a close query and a close action) and shown modally
// with a modal result. The derived window overrides the virtual hooks
// (FormShow, FormClose, ...) instead of Qt's event handlers.
//
// Every show, hide, activation, close and destruction is also reported to one
// process-wide bookkeeping hook (the window list and the window menu keep
// track of the open windows through it). No hook is installed by default.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QEventLoop;

namespace morvelant {

// What Close() does with the window once the close query allowed it.
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// Modal results.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;
inline constexpr int mrRetry = 4;
inline constexpr int mrIgnore = 5;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// The positions a form may be placed in when first shown.
enum class TPosition { poDesigned, poScreenCenter, poMainFormCenter };

class TForm;

enum class FormEvent { Created, Shown, Hidden, Activated, Deactivated, Closed, Destroyed };
using FormEventHook = std::function<void(TForm& form, FormEvent event)>;

// Moves `form` so that it lies wholly on the screen it is on (the primary
// screen when it is on none); a window larger than the screen keeps its top
// left corner on it.
void KeepOnScreen(TForm& form);

// Installs the bookkeeping hook (an empty function removes it). The hook is
// called on the GUI thread; for Destroyed, while the TForm part still exists.
void SetFormEventHook(FormEventHook hook);

class TForm : public QWidget {
    Q_OBJECT

public:
    // name becomes the Qt object name (the form object's name, "MidiSettingsForm").
    explicit TForm(const QString& name = {}, QWidget* parent = nullptr);
    ~TForm() override;

    // Shows the window, brings it to the front and activates it.
    void Show();
    // Shows a hidden window without taking the keys from the window that
    // has them: for a window that what arrives from the device brings up
    // while the user types elsewhere.
    void ShowAside();
    void Hide();
    // Asks FormCloseQuery, then runs FormClose with the default action
    // (caHide) and does what the action says. Returns whether it closed.
    bool Close();
    // Shows the window modally and runs until ModalResult becomes non-zero
    // or the window is closed or hidden (then mrCancel). Returns the result.
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    // Setting a non-zero result while ShowModal runs ends it.
    void SetModalResult(int result);
    bool Modal() const { return modalLoop_ != nullptr; }

    bool Visible() const { return isVisible(); }
    void SetVisible(bool visible) { visible ? Show() : Hide(); }

    std::string Caption() const;
    void SetCaption(const std::string& caption);  // Windows-1252 bytes

    int Left() const { return x(); }
    int Top() const { return y(); }
    int Width() const { return width(); }
    int Height() const { return height(); }
    // Places the window as restored from the configuration; when it is
    // shown, it is moved wholly onto the screen (the screen may have become
    // smaller since the place was stored).
    void SetBounds(int left, int top, int width, int height);
    // SetBounds makes no side larger than this or the desktop, whichever is larger.
    static constexpr int kSideLimit = 4096;
    // Sets the client area size (the window frame comes on top).
    void SetClientSize(int width, int height) { resize(width, height); }

    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }

protected:
    virtual void FormShow() {}
    virtual void FormHide() {}
    virtual void FormActivate() {}
    virtual void FormDeactivate() {}
    virtual void FormCloseQuery(bool& canClose) {}
    virtual void FormClose(TCloseAction& action) {}

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool RunClose();
    // Where the frame's corner goes at a first show that the program places.
    QPoint PlaceOnFirstShow(const QMargins& frame);

    int modalResult_ = mrNone;
    QEventLoop* modalLoop_ = nullptr;
    TPosition position_ = TPosition::poDesigned;
    bool placed_ = false;
    bool restored_ = false;  // placed by SetBounds, not yet shown there
    QPoint corner_;  // where SetBounds put the frame's corner
    bool closing_ = false;
};

}  // namespace morvelant
