#include "patterns/Drumkit.h"

#include <QAction>
#include <QMenu>

#include "patterns/PickerWindows.h"
#include "platform/QtText.h"

namespace morvelant {

TDrumkitForm* DrumkitForm = nullptr;

namespace {

// A menu caption shows an ampersand as itself.
QString MenuCaption(const std::string& name) {
    return FromCp1252(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

TDrumkitForm::TDrumkitForm(PickerDispatch& dispatch, DeviceModel& model, const std::string& drumkitFolder)
    : CodePickerForm(QStringLiteral("DrumkitForm"), PickerKind::Drumkit, kDrumkitGrid, dispatch, model) {
    advances_ = false;
    StringGrid1 = new PickerGrid(QStringLiteral("StringGrid1"), kDrumkitGrid.rows, kDrumkitGrid.columns, 78, 20, this);
    SetGrid(StringGrid1);
    connect(StringGrid1, &PickerGrid::DoubleClick, this, &TDrumkitForm::StringGrid1DblClick);
    StringGrid1->move(2, 2);
    setFixedSize(636, 340);
    ReadDrumkitFolder(drumkitFolder, Library);
}

TDrumkitForm::~TDrumkitForm() = default;

void TDrumkitForm::AddItems(QMenu* menu, const std::vector<KitMenuNode>& nodes) {
    for (const KitMenuNode& node : nodes) {
        if (node.Kit == nullptr) {
            AddItems(menu->addMenu(MenuCaption(node.Caption)), node.Children);
            continue;
        }
        QAction* item = menu->addAction(MenuCaption(node.Caption));
        item->setData(static_cast<int>(MenuKits.size()));
        MenuKits.push_back(node.Kit);
        connect(item, &QAction::triggered, this, [this, item] { KitMenuClick(item); });
    }
}

void TDrumkitForm::BuildKitMenu(QMenu* menu, std::function<int()> popupTag) {
    if (menu == nullptr) return;
    menus_.push_back({menu, std::move(popupTag), nullptr});
    AddItems(menu, BuildKitMenuTree(Library));
}

TDrumkitForm::KitMenu* TDrumkitForm::MenuOf(QAction* item) {
    // The nearest menu up the item's chain that the kits were added to.
    for (QObject* o = item ? item->parent() : nullptr; o != nullptr; o = o->parent())
        for (KitMenu& m : menus_)
            if (m.menu == o) return &m;
    return nullptr;
}

QAction* TDrumkitForm::RecentKitItem(QMenu* menu) const {
    for (const KitMenu& m : menus_)
        if (m.menu == menu) return m.recent;
    return nullptr;
}

void TDrumkitForm::KitMenuClick(QAction* item) {
    KitMenu* owner = MenuOf(item);
    if (item == nullptr || owner == nullptr) return;
    const int tag = item->data().toInt();
    if (tag < 0 || static_cast<size_t>(tag) >= MenuKits.size()) return;
    TargetCode = owner->popupTag ? owner->popupTag() : -1;
    const Drumkit& kit = *MenuKits[static_cast<size_t>(tag)];
    if (TargetCode == kKeyColumnCode) {
        if (KeyColumnNames) KeyColumnNames(kit.Names);
        return;
    }
    shownKit_ = &kit;
    for (int r = 0; r < kDrumkitGrid.rows; ++r)
        for (int c = 0; c < kDrumkitGrid.columns; ++c)
            StringGrid1->SetCellText(r, c, FromCp1252(kit.Names[static_cast<size_t>(kDrumkitGrid.ValueAt({r, c}))]));
    KitCaption = morvelant::KitCaption(kit);
    SetCaption(KitCaption);
    PlaceByCaller(*this);
    QPointer<TDrumkitForm> self(this);
    ShowModal();
    if (!self || !owner->menu) return;
    // The menu remembers the kit chosen last through it, at its end.
    if (!owner->recent) {
        owner->recent = owner->menu->addAction(QString());
        QAction* recent = owner->recent;
        connect(recent, &QAction::triggered, this, [this, recent] { KitMenuClick(recent); });
    }
    owner->recent->setText(MenuCaption(KitCaption));
    owner->recent->setData(tag);
}

std::string TDrumkitForm::HoverCaption(int note) const {
    const std::string name = shownKit_ ? shownKit_->Names[static_cast<size_t>(note)] : std::string();
    return KitCaption + " : (" + NameOf(model_.NoteNames, note) + ")  " + name;
}

}  // namespace morvelant
