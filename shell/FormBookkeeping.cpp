#include "shell/FormBookkeeping.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include "shell/MainMenu.h"
#include "shell/MidiMonGrid.h"
#include "shell/MorvelantExplorer.h"

namespace morvelant {

namespace {

// The bookkeeping the process-wide hook currently feeds.
FormBookkeeping* g_installed = nullptr;

const TForm* FormOf(WindowHandle window) { return static_cast<const TForm*>(window); }

}  // namespace

TForm* FindForm(const char* formName) {
    if (formName == nullptr || QApplication::instance() == nullptr) return nullptr;
    const QString name = QString::fromLatin1(formName);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name)
            if (auto* form = qobject_cast<TForm*>(w)) return form;
    return nullptr;
}

TForm* MenuWindow() { return FindForm("MainMenuForm"); }

QAction* FindMenuItem(const char* name) {
    TForm* menu = MenuWindow();
    if (menu == nullptr || name == nullptr) return nullptr;
    const QString n = QString::fromLatin1(name);
    if (auto* action = menu->findChild<QAction*>(n)) return action;
    if (auto* sub = menu->findChild<QMenu*>(n)) return sub->menuAction();
    return nullptr;
}

void SetMenuItemChecked(const char* name, bool checked) {
    if (QAction* item = FindMenuItem(name)) {
        if (!item->isCheckable()) item->setCheckable(true);
        item->setChecked(checked);
    }
}

void EnableItemsOf(const char* formName, const std::vector<const char*>& items) {
    TForm* w = FindForm(formName);
    if (w == nullptr) return;
    for (const char* name : items)
        for (QObject* o : w->findChildren<QObject*>(QString::fromLatin1(name))) {
            if (auto* a = qobject_cast<QAction*>(o))
                a->setEnabled(true);
            else if (auto* control = qobject_cast<QWidget*>(o))
                control->setEnabled(true);
        }
}

FormBookkeeping::FormBookkeeping(WindowBookkeeping& bookkeeping, TForm* selfReporting)
    : bookkeeping_(bookkeeping), selfReporting_(selfReporting) {
    bookkeeping_.SetView(this);
}

FormBookkeeping::~FormBookkeeping() {
    if (installed_ && g_installed == this) {
        SetFormEventHook({});
        g_installed = nullptr;
    }
    if (bookkeeping_.View() == this) bookkeeping_.SetView(nullptr);
}

void FormBookkeeping::Install() {
    g_installed = this;
    installed_ = true;
    SetFormEventHook([this](TForm& form, FormEvent event) { OnFormEvent(form, event); });
}

void FormBookkeeping::OnFormEvent(TForm& form, FormEvent event) {
    const WindowHandle handle = Handle(&form);
    if (event == FormEvent::Destroyed) {
        bookkeeping_.WindowDestroyed(handle);
        return;
    }
    // Minimising and restoring are not showing and hiding. A minimised
    // window that is really hidden (closed from the explorer or its menu)
    // is gone, though: it must leave the list, or it would be brought back.
    if (form.isMinimized() && !(event == FormEvent::Hidden && !form.isVisible())) return;
    const EditorWindowInfo* info = FindWindowByForm(form.objectName().toStdString());
    if (info == nullptr) return;
    switch (event) {
        case FormEvent::Shown:
            if (info->reportsShow && &form != selfReporting_) bookkeeping_.WindowActivated(handle);
            break;
        case FormEvent::Activated:
            if (info->reportsActivate && form.isVisible()) bookkeeping_.WindowActivated(handle);
            break;
        case FormEvent::Hidden: bookkeeping_.WindowHidden(handle); break;
        default: break;
    }
}

std::optional<EditorWindow> FormBookkeeping::KindOf(WindowHandle window) const {
    if (window == nullptr) return std::nullopt;
    const EditorWindowInfo* info = FindWindowByForm(FormOf(window)->objectName().toStdString());
    if (info == nullptr) return std::nullopt;
    return info->window;
}

std::string FormBookkeeping::CaptionOf(WindowHandle window) const {
    return window != nullptr ? FormOf(window)->Caption() : std::string();
}

void FormBookkeeping::BringToFront(WindowHandle window) {
    if (window != nullptr) const_cast<TForm*>(FormOf(window))->Show();
}

bool FormBookkeeping::ShowForm(const char* formName) {
    TForm* form = FindForm(formName);
    if (form == nullptr) return false;
    form->Show();
    return true;
}

void FormBookkeeping::SetMenuCaption(const std::string& caption) {
    if (TForm* menu = MenuWindow()) menu->SetCaption(caption);
}

void FormBookkeeping::ShowMenuPair(const MenuPair& pair) {
    if (auto* menu = qobject_cast<TMainMenuForm*>(MenuWindow())) menu->ShowMenuPair(pair);
}

void FormBookkeeping::SetWindowItemChecked(const char* item, bool checked) { SetMenuItemChecked(item, checked); }

void FormBookkeeping::SetExplorerState(int node, int icon) {
    if (auto* explorer = qobject_cast<TMorvelantExplorerForm*>(FindForm("MorvelantExplorerForm")))
        explorer->SetStateIndex(node, icon);
}

bool FormBookkeeping::MonitorEnabled() const {
    const auto* monitor = qobject_cast<TMidiMonGridForm*>(FindForm("MidiMonGridForm"));
    return monitor != nullptr && monitor->MonitorEnabled();
}

}  // namespace morvelant
