// The drum kit picker and the kit menus. The library is read once, when the
// picker is made; the kits are offered, by manufacturer and model, at the
// end of the note menus of the windows that edit notes. Choosing a kit shows
// its 128 instrument names; a click writes the instrument's note into the
// target, as the other pickers do.
#pragma once

#include <QPointer>
#include <deque>
#include <functional>
#include <vector>

#include "patterns/CodePicker.h"
#include "patterns/DrumkitLibrary.h"

class QAction;
class QMenu;

namespace morvelant {

class TDrumkitForm : public CodePickerForm {
    Q_OBJECT

public:
    // Reads every kit of `drumkitFolder` ("Drumkits/" in the program folder).
    TDrumkitForm(PickerDispatch& dispatch, DeviceModel& model, const std::string& drumkitFolder);
    ~TDrumkitForm() override;

    PickerGrid* StringGrid1 = nullptr;
    AllSynths Library;
    // One entry per kit menu item; an item's tag is its index here.
    std::vector<const Drumkit*> MenuKits;
    std::string KitCaption;

    // Appends the kit menu to `menu`. popupTag gives the tag of the control
    // on which the menu was opened: the target code of a chosen kit.
    void BuildKitMenu(QMenu* menu, std::function<int()> popupTag);
    // What a kit chosen for the event editor's key column (code 7000) does:
    // the window that has that column plugs it in when it exists.
    std::function<void(const InstrumentNames& names)> KeyColumnNames;

    // A kit menu item or recent-kit entry was chosen.
    void KitMenuClick(QAction* item);
    // The recent-kit entry of a menu, if a kit was chosen through it.
    QAction* RecentKitItem(QMenu* menu) const;

    void StringGrid1MouseMove(int row, int column) { GridMouseMove(row, column); }
    void StringGrid1MouseUp(Qt::MouseButton b, Qt::KeyboardModifiers m) { GridMouseUp(b, m); }
    void StringGrid1DblClick() { Close(); }

protected:
    std::string HoverCaption(int note) const override;

private:
    struct KitMenu {
        QPointer<QMenu> menu;
        std::function<int()> popupTag;
        QPointer<QAction> recent;
    };
    KitMenu* MenuOf(QAction* item);
    void AddItems(QMenu* menu, const std::vector<KitMenuNode>& nodes);

    const Drumkit* shownKit_ = nullptr;
    std::deque<KitMenu> menus_;  // entries stay put while a kit is shown
};

extern TDrumkitForm* DrumkitForm;

}  // namespace morvelant
