// The window side of the open-window bookkeeping: the forms report their
// showing, activation, hiding and destruction through the form base's event
// hook, and the bookkeeping reaches the menu window, the explorer and the
// monitor through this view. Windows are found by their form object names,
// so a window that does not exist (yet) is simply left alone.
#pragma once

#include <string>
#include <vector>

#include "platform/QtFormBase.h"
#include "shell/WindowBookkeeping.h"

class QAction;

namespace morvelant {

// The top-level form with this object name ("PresetForm"), or null.
TForm* FindForm(const char* formName);
// The menu window ("MainMenuForm"), or null.
TForm* MenuWindow();
// An item of the menu window by its name: a QAction of that name, or the
// menu action of a QMenu of that name; null when there is none.
QAction* FindMenuItem(const char* name);
// Ticks or unticks a menu item of the menu window, if it is there.
void SetMenuItemChecked(const char* name, bool checked);
// Enables the items or controls of these names in the window of this form
// name, if it is there (a copy enables the pastes of another window).
void EnableItemsOf(const char* formName, const std::vector<const char*>& items);

class FormBookkeeping : public BookkeepingView {
public:
    // selfReporting: the one form that reports its own showing (the virtual
    // device window does so at the start of its show handler).
    FormBookkeeping(WindowBookkeeping& bookkeeping, TForm* selfReporting);
    ~FormBookkeeping() override;

    // Connects the bookkeeping to every form's events (one process-wide
    // hook); the destructor disconnects it again.
    void Install();
    void OnFormEvent(TForm& form, FormEvent event);

    static WindowHandle Handle(const TForm* form) { return form; }

    std::optional<EditorWindow> KindOf(WindowHandle window) const override;
    std::string CaptionOf(WindowHandle window) const override;
    void BringToFront(WindowHandle window) override;
    bool ShowForm(const char* formName) override;
    void SetMenuCaption(const std::string& caption) override;
    void ShowMenuPair(const MenuPair& pair) override;
    void SetWindowItemChecked(const char* item, bool checked) override;
    void SetExplorerState(int node, int icon) override;
    bool MonitorEnabled() const override;

private:
    WindowBookkeeping& bookkeeping_;
    TForm* selfReporting_;
    bool installed_ = false;
};

}  // namespace morvelant
