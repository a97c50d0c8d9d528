#include "shell/MorvelantExplorer.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "model/DeviceModel.h"
#include "platform/CommandRegistry.h"
#include "platform/IniFile.h"
#include "platform/QtFormFrame.h"
#include "shell/FormBookkeeping.h"
#include "shell/MainMenu.h"
#include "shell/MenuTable.h"
#include "shell/WindowBookkeeping.h"

namespace morvelant {

TMorvelantExplorerForm* MorvelantExplorerForm = nullptr;

namespace {

constexpr char kHelpNodeText[] = "Help";
constexpr int kIconSize = 16;
constexpr int kDefaultHeight = 210;

// The explorer's left edge at the right edge of the primary screen's free
// area, its outer width (frame included) inside it; 0 without a screen.
int DefaultLeft(int width) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return 0;
    const QRect free = screen->availableGeometry();
    return std::max(free.left(), free.right() + 1 - width);
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

// The windows the explorer closes when one window is to be shown alone, in
// the order in which they are closed. The virtual device window is hidden
// instead; the explorer, the menu window and the dialogs are left alone.
constexpr const char* kClosedAlone[] = {
    "MidiSettingsForm", "PresetForm",       "AllFaderP",          "SpecialKeyForm",       "NotesForm",
    "PatternNotesForm", "PatternForm",      "TrackParameterForm", "PatternParameterForm", "MidiMonGridForm",
    "InstructionsForm", "DevicesInfoForm1", "EventEditForm",      "TrackEditForm",        "SequencerForm",
};

QIcon StatePicture(bool red, bool cross) {
    QPixmap pm(kIconSize, kIconSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(red ? QColor(220, 30, 30) : QColor(Qt::white));
    p.drawRect(2, 2, 11, 11);
    if (cross) {
        p.setPen(QPen(red ? Qt::white : Qt::black, 2));
        p.drawLine(5, 5, 10, 10);
        p.drawLine(10, 5, 5, 10);
    }
    return QIcon(pm);
}

}  // namespace

TMorvelantExplorerForm::TMorvelantExplorerForm(DeviceModel* model, std::string programPath, CommandRegistry* commands,
                                               QWidget* parent)
    : TForm(QStringLiteral("MorvelantExplorerForm"), parent),
      model_(model),
      programPath_(std::move(programPath)),
      commands_(commands) {
    SetCaption("Morvelant Explorer");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    ImageList1 = {StatePicture(false, false), StatePicture(false, false), StatePicture(false, true),
                  StatePicture(true, false), StatePicture(true, true)};
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    BuildTree();
    SetBounds(704, 2, 194, 277);
    MouseSelect = true;
    FormCreate();
    RegisterCommands();
}

void TMorvelantExplorerForm::RegisterCommands() {
    if (commands_ == nullptr) return;
    auto add = [this](const std::string& item, CommandRegistry::Handler handler) {
        commands_->Register(item, std::move(handler));
        registered_.push_back(item);
    };
    add("ExplorerStayonTop1", [this] { SetStayOnTop(!StayOnTop); });
    // The Windows menu: every window but this one comes through the
    // switching here, never toggled off; the tick says whether it is shown.
    for (const MenuItemSpec& spec : MainMenuItems()) {
        if (spec.kind != MenuItemKind::WindowItem || std::string_view(spec.name) == "MainFormWindowsExplorer") continue;
        const std::string item = spec.name;
        const std::string formName = spec.window;
        add(item, [this, item, formName] {
            TForm* w = FindForm(formName.c_str());
            ShowEditorWindow(w, false, true);
            commands_->SetChecked(item, w != nullptr && w->isVisible());
        });
    }
}

TMorvelantExplorerForm::~TMorvelantExplorerForm() {
    if (commands_ != nullptr)
        for (const std::string& item : registered_) commands_->Unregister(item);
    FormDestroy();
    if (MorvelantExplorerForm == this) MorvelantExplorerForm = nullptr;
}

void TMorvelantExplorerForm::BuildTree() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setIndentation(20);
    TreeView1->setIconSize(QSize(kIconSize, kIconSize));
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setGeometry(0, 0, 184, 249);
    layout->addWidget(TreeView1);

    QTreeWidgetItem* parentNode = nullptr;
    for (const EditorWindowInfo& info : EditorWindows()) {
        QTreeWidgetItem* node = nullptr;
        const QStringList text{QString::fromLatin1(info.nodeText)};
        if (info.nodeLevel == 1 || parentNode == nullptr) {
            node = new QTreeWidgetItem(TreeView1, text);
            parentNode = node;
        } else {
            node = new QTreeWidgetItem(parentNode, text);
        }
        nodes_.push_back(node);
        SetStateIndex(info.node, kIconHidden);
    }
    TreeView1->viewport()->installEventFilter(this);
    TreeView1->installEventFilter(this);
    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { TreeView1Change(current); });
}

// ---- Configuration ----------------------------------------------------------------

std::string TMorvelantExplorerForm::ConfigFile() const { return WithSlash(programPath_) + "Morvelant.cfg"; }

bool& TMorvelantExplorerForm::ShowExplorerFlag() { return model_ ? model_->ShowExplorer : ownShowExplorer_; }

bool& TMorvelantExplorerForm::ExplorerReadyFlag() { return model_ ? model_->ExplorerReady : ownExplorerReady_; }

void TMorvelantExplorerForm::FormCreate() {
    ExplorerReadyFlag() = true;
    const TIniFile ini(ConfigFile());
    ShowExplorerFlag() = ini.ReadBool("Options", "ShowExplorer", true);
    int top = ini.ReadInteger("Explorer Form", "Top", 45);
    if (top < 0) top = 0;
    const int width = ini.ReadInteger("Explorer Form", "Width", 192);
    // It stays on top: by default it stands at the right edge of the screen,
    // beside the other windows' default places (which end near x 880) and
    // over none of their controls, its frame and all above the preset list's
    // title bar, which starts at 289.
    const int left = ini.ReadInteger("Explorer Form", "Left", DefaultLeft(width));
    const int height = ini.ReadInteger("Explorer Form", "Height", kDefaultHeight);
    SetBounds(left, top, width, height);
    SetStayOnTop(ini.ReadBool("Options", "Explorer On Top", true));
}

void TMorvelantExplorerForm::FormDestroy() {
    ExplorerReadyFlag() = false;
    TIniFile ini(ConfigFile());
    ini.WriteBool("Options", "ShowExplorer", ShowExplorerFlag());
    ini.WriteInteger("Explorer Form", "Top", OuterBounds(*this).y());
    ini.WriteInteger("Explorer Form", "Left", OuterBounds(*this).x());
    ini.WriteInteger("Explorer Form", "Width", OuterSize(*this).width());
    ini.WriteInteger("Explorer Form", "Height", OuterSize(*this).height());
    ini.WriteBool("Options", "Explorer On Top", StayOnTop);
}

void TMorvelantExplorerForm::SetStayOnTop(bool onTop) {
    StayOnTop = onTop;
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop) {
        // Changing the flags takes a shown window down; it comes back at once.
        const bool wasVisible = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        if (wasVisible) show();
    }
    SetMenuItemChecked("ExplorerStayonTop1", onTop);
}

void TMorvelantExplorerForm::FormShow() {
    ShowExplorerFlag() = true;
    SetMenuItemChecked("MainFormWindowsExplorer", true);
    TreeView1->expandAll();
}

void TMorvelantExplorerForm::FormClose(TCloseAction&) {
    SetMenuItemChecked("MainFormWindowsExplorer", false);
    ShowExplorerFlag() = false;
}

// ---- Nodes and state icons --------------------------------------------------------------

int TMorvelantExplorerForm::NodeCount() const { return static_cast<int>(nodes_.size()); }

QTreeWidgetItem* TMorvelantExplorerForm::Node(int position) const {
    return position >= 0 && position < NodeCount() ? nodes_[size_t(position)] : nullptr;
}

int TMorvelantExplorerForm::StateIndex(int position) const {
    const QTreeWidgetItem* node = Node(position);
    return node ? node->data(0, Qt::UserRole).toInt() : 0;
}

void TMorvelantExplorerForm::SetStateIndex(int position, int icon) {
    QTreeWidgetItem* node = Node(position);
    if (node == nullptr || icon < 0 || icon >= static_cast<int>(ImageList1.size())) return;
    node->setData(0, Qt::UserRole, icon);
    node->setIcon(0, ImageList1[size_t(icon)]);
}

TForm* TMorvelantExplorerForm::WindowOfNode(const QTreeWidgetItem* node) const {
    if (node == nullptr) return nullptr;
    const std::string text = node->text(0).toStdString();
    if (text == kHelpNodeText) return nullptr;
    const EditorWindowInfo* info = FindWindowByNode(text);
    return info ? FindForm(info->formName) : nullptr;
}

bool TMorvelantExplorerForm::OnStateIcon(const QPoint& pos) const {
    const QTreeWidgetItem* node = TreeView1->itemAt(pos);
    if (node == nullptr) return false;
    // The state picture sits at the start of the node's cell, before its text.
    const QRect cell = TreeView1->visualItemRect(node);
    return pos.x() >= cell.left() && pos.x() < cell.left() + TreeView1->iconSize().width() + 6;
}

// ---- Showing windows ------------------------------------------------------------------

void TMorvelantExplorerForm::ShowEditorWindow(TForm* form, bool exclusive, bool noToggle) {
    if (form == nullptr) return;
    if (exclusive) {
        CloseOtherEditorWindows(form);
        Present(form);
    } else if (form->Visible() && !noToggle) {
        // The virtual device window is only hidden; the others close, so
        // that their close handlers run.
        if (form->objectName() == QLatin1String("MainForm"))
            form->Hide();
        else
            form->Close();
    } else {
        Present(form);
    }
}

void TMorvelantExplorerForm::Present(TForm* form) {
    if (!fromTree_) {
        form->Show();
        return;
    }
    const bool quiet = form->testAttribute(Qt::WA_ShowWithoutActivating);
    form->setAttribute(Qt::WA_ShowWithoutActivating);
    form->show();
    form->raise();
    form->setAttribute(Qt::WA_ShowWithoutActivating, quiet);
}

void TMorvelantExplorerForm::ShowFromTree(TForm* form, bool exclusive, bool noToggle) {
    fromTree_ = true;
    ShowEditorWindow(form, exclusive, noToggle);
    fromTree_ = false;
}

void TMorvelantExplorerForm::CloseOtherEditorWindows(TForm* form) {
    if (TForm* main = FindForm("MainForm"); main != nullptr && main != form) main->Hide();
    for (const char* name : kClosedAlone) {
        TForm* other = FindForm(name);
        if (other != nullptr && other != form) other->Close();
    }
}

// ---- The tree's handlers ----------------------------------------------------------------

void TMorvelantExplorerForm::TreeView1MouseDown(Qt::MouseButton button, const QPoint& pos) {
    MouseSelect = true;
    const bool exclusive = button == Qt::RightButton;
    const bool onStateIcon = OnStateIcon(pos);
    QTreeWidgetItem* node = TreeView1->itemAt(pos);
    if (node == nullptr) return;
    SetCaption(node->text(0).toStdString());
    if (node->text(0) == QLatin1String(kHelpNodeText)) {
        OpenEditorHelp(WithSlash(programPath_));
        return;
    }
    // The window comes to the front, but the keys stay with the tree the user
    // clicked: the arrows and Space then move in the explorer.
    ShowFromTree(WindowOfNode(node), exclusive, !onStateIcon);
}

void TMorvelantExplorerForm::TreeView1Change(QTreeWidgetItem* node) {
    if (MouseSelect || node == nullptr) return;
    SetCaption(node->text(0).toStdString());
    // Moving onto "Help" with the keys opens nothing: a viewer popping up
    // while the user walks through the tree would be in the way.
    // The window shows without taking the keys: the next arrow moves on in
    // the tree (activated, the window would get it, and so would its list).
    if (node->text(0) != QLatin1String(kHelpNodeText)) ShowFromTree(WindowOfNode(node), true, false);
    Show();
}

bool TMorvelantExplorerForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TreeView1->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        TreeView1MouseDown(me->button(), me->position().toPoint());
    } else if (watched == TreeView1 && event->type() == QEvent::KeyPress) {
        TreeView1KeyDown();
    }
    return TForm::eventFilter(watched, event);
}

}  // namespace morvelant
