// "Morvelant Explorer": a small tool window listing the editor's windows as
// a tree. A click on a node shows that window, a right click shows it alone
// (every other editor window closes), a click on the node's state icon
// toggles it, and moving through the tree with the keys shows each window
// alone. The state icons tell which windows are shown. The "Help" node opens
// the help file (through the menu window's OpenEditorHelp).
//
// ShowEditorWindow also serves every item of the menu window's Windows menu.
#pragma once

#include <QIcon>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/QtFormBase.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace morvelant {

class CommandRegistry;
class DeviceModel;

class TMorvelantExplorerForm : public TForm {
    Q_OBJECT

public:
    // model: the virtual device window's model (ShowExplorer, ExplorerReady);
    // null keeps both flags in this window. programPath: the program folder
    // holding "Morvelant.cfg" and the help file (empty: the current folder).
    // commands: where the window registers the menu items it carries out
    // ("Explorer Stay on Top" and the Windows menu's items); null: none.
    explicit TMorvelantExplorerForm(DeviceModel* model, std::string programPath, CommandRegistry* commands = nullptr,
                                    QWidget* parent = nullptr);
    ~TMorvelantExplorerForm() override;

    // ---- Components ------------------------------------------------------
    QTreeWidget* TreeView1 = nullptr;
    // State pictures: 0 white box (unused), 1 hidden, 2 shown, 3 monitor
    // hidden with monitoring on, 4 monitor shown with monitoring on.
    std::array<QIcon, 5> ImageList1;

    // ---- Fields ----------------------------------------------------------
    bool MouseSelect = true;
    bool StayOnTop = true;

    // ---- Operations --------------------------------------------------------
    void ShowEditorWindow(TForm* form, bool exclusive, bool noToggle);
    void CloseOtherEditorWindows(TForm* form);
    // The menu window's "Explorer Stay on Top": the flag and the form style.
    void SetStayOnTop(bool onTop);

    // Nodes in tree order (0..14), their state icons.
    int NodeCount() const;
    QTreeWidgetItem* Node(int position) const;
    int StateIndex(int position) const;
    void SetStateIndex(int position, int icon);
    // Registers the menu commands this window carries out.
    void RegisterCommands();

    // ---- Handlers ----------------------------------------------------------
    // pos in the tree's viewport coordinates.
    void TreeView1MouseDown(Qt::MouseButton button, const QPoint& pos);
    void TreeView1Change(QTreeWidgetItem* node);
    void TreeView1KeyDown() { MouseSelect = false; }
    // Whether a point of the viewport lies on a node's state icon.
    bool OnStateIcon(const QPoint& pos) const;

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTree();
    void FormCreate();
    void FormDestroy();
    bool& ShowExplorerFlag();
    bool& ExplorerReadyFlag();
    std::string ConfigFile() const;
    // The window of a node (by its text); null for "Help" and absent windows.
    TForm* WindowOfNode(const QTreeWidgetItem* node) const;
    // Shows and raises a window; from the tree (a click or the keys), without activating it.
    void Present(TForm* form);
    // ShowEditorWindow for the tree: the keys stay in the explorer.
    void ShowFromTree(TForm* form, bool exclusive, bool noToggle);

    DeviceModel* model_;
    std::string programPath_;
    CommandRegistry* commands_ = nullptr;
    std::vector<std::string> registered_;  // the items registered above
    std::vector<QTreeWidgetItem*> nodes_;  // in tree order
    bool ownShowExplorer_ = true;
    bool ownExplorerReady_ = false;
    bool fromTree_ = false;  // a click or a key in the tree asks for the window shown
};

extern TMorvelantExplorerForm* MorvelantExplorerForm;

}  // namespace morvelant
