// The "Midi Settings" window: the switchboard between the driver's MIDI ports
// and the rest of the editor. It owns the toolkit's root component, the clock
// of the pattern preview and one output component per output port; it gives
// every port an alias and its roles, keeps exactly the ports with a role
// open, and keeps all of it in the configuration file.
//
// The routing tables it edits (MidiRouting) are what the engine reads.
#pragma once

#include <QStyledItemDelegate>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/MidiPortSet.h"
#include "engine/MidiRouting.h"
#include "engine/PortSettings.h"
#include "engine/SequencerLink.h"
#include "platform/QtFormBase.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace morvelant {

class TMidiKit;
class TMidiKitIn;
class TMidiKitOut;
class TMidiKitSync;

// The state pictures of the role trees: 1 = role on, 2 = role off.
enum : int { kStateNone = 0, kStateOn = 1, kStateOff = 2 };

// Draws a node's state picture in front of its label, and tells where it is.
class StatePictureDelegate : public QStyledItemDelegate {
public:
    static constexpr int kPictureWidth = 20;
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
};

struct MidiSettingsSetup {
    // The configuration file; empty: "Morvelant.cfg" in the program directory.
    std::string ConfigFile;
    // The input component of port k (the hidden input window's MidiKitInk);
    // null, or no function at all: that port cannot be opened.
    std::function<TMidiKitIn*(int port)> Inputs;
    // The tables to edit; null: the window's own.
    MidiRouting* Routing = nullptr;
    // The engine's ports, which the window edits and shows; null: the window
    // builds a set of its own from the fields above (tests, tools).
    MidiPortSet* PortSet = nullptr;
};

class TMidiSettingsForm : public TForm {
    // First, so that Routing and PortSet can refer to them.
    std::unique_ptr<MidiRouting> ownRouting_;
    std::unique_ptr<MidiPortSet> ownPorts_;

public:
    explicit TMidiSettingsForm(MidiSettingsSetup setup = {}, QWidget* parent = nullptr);
    ~TMidiSettingsForm() override;

    // Components.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* MorvelantPCDevice = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* PCMorvelantDevice = nullptr;
    QCheckBox* ThruBox = nullptr;
    QCheckBox* SysexThruBox = nullptr;
    QCheckBox* RealtimeThruBox = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label8 = nullptr;
    QTreeWidget* MorvelantThruInDevices = nullptr;
    QLabel* Label11 = nullptr;
    QTreeWidget* MorvelantThruDevices = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label4 = nullptr;
    QTreeWidget* MorvelantIn1Devices = nullptr;
    QLabel* Label5 = nullptr;
    QTreeWidget* MorvelantOut1Devices = nullptr;
    QLabel* Label6 = nullptr;
    QTreeWidget* MorvelantIn2Devices = nullptr;
    QLabel* Label7 = nullptr;
    // Which MIDI system the ports live in.
    QLabel* MidiSystemLabel = nullptr;
    QTreeWidget* MorvelantOut2Devices = nullptr;
    // The port set's root component and clock.
    TMidiKit* MidiKit = nullptr;
    TMidiKitSync* MidiKitSync = nullptr;

    // The routing tables (names, components, flags, device ports, thru
    // switches, delays, status lists, beat counter), the ports and their logic.
    MidiRouting& Routing;
    MidiPortSet& PortSet;
    PortSettings& Ports;

    const std::string& ConfigFile() const { return configFile_; }

    // Connects the preview sequencer (null: none).
    void SetSequencerLink(SequencerLink* link) { PortSet.SetSequencerLink(link); }

    void UpdateDevices();
    void FillInDeviceTrees();
    void FillOutDeviceTrees();

    // The tree view of a role, and the role of a tree view.
    QTreeWidget* Tree(PortRole role) const;
    // Where the state picture of a node is, in the tree's viewport.
    static QRect StatePictureRect(QTreeWidget* tree, int node);
    // A node's state picture (kStateNone, kStateOn, kStateOff).
    static int NodeState(QTreeWidget* tree, int node);

    // Event handlers.
    void TreeMouseDown(PortRole role, Qt::MouseButton button, const QPoint& pos);
    void MorvelantIn1DevicesMouseDown(Qt::MouseButton b, const QPoint& p) { TreeMouseDown(PortRole::In1, b, p); }
    void MorvelantIn2DevicesMouseDown(Qt::MouseButton b, const QPoint& p) { TreeMouseDown(PortRole::In2, b, p); }
    void MorvelantThruInDevicesMouseDown(Qt::MouseButton b, const QPoint& p) { TreeMouseDown(PortRole::ThruIn, b, p); }
    void MorvelantOut1DevicesMouseDown(Qt::MouseButton b, const QPoint& p) { TreeMouseDown(PortRole::Out1, b, p); }
    void MorvelantOut2DevicesMouseDown(Qt::MouseButton b, const QPoint& p) { TreeMouseDown(PortRole::Out2, b, p); }
    void MorvelantThruDevicesMouseDown(Qt::MouseButton b, const QPoint& p) { TreeMouseDown(PortRole::Thru, b, p); }
    void TreeEdited(PortRole role, int node, const std::string& text);
    void MorvelantPCDeviceChange();
    void PCMorvelantDeviceChange();
    void MidiKitSyncMidiBeat(TMidiKitSync*) { PortSet.MidiKitSyncMidiBeat(); }
    void MidiKitSyncSyncDone(TMidiKitSync*) { PortSet.MidiKitSyncSyncDone(); }

    // The window's designed client size, its smallest.
    static constexpr int kDesignedWidth = 479;
    static constexpr int kDesignedHeight = 310;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A control that follows the window's size: its designed place moves by
    // `moves` and widens by `widens` of the added width; `taller` ones take
    // the added height.
    struct Stretch {
        QWidget* widget;
        QRect designed;
        double moves, widens;
        bool taller;
    };
    std::vector<Stretch> stretch_;

    void BuildComponents();
    QTreeWidget* MakeTree(QWidget* page, const char* name, int x, int y, int w, int h);
    void FormCreate(const MidiSettingsSetup& setup);
    void FormDestroy();
    void FillTree(QTreeWidget* tree, const std::vector<std::string>& names, int count);
    void ShowStates(PortRole role);
    void FillCombo(QComboBox* combo, const std::vector<std::string>& names, int index);
    void DelayEdited();
    void DevicesChanged();
    // The port set changed: lists that grew are filled anew, absent ports
    // greyed, the device information window refreshed.
    void PortsChanged();
    void ShowPresence();

    std::string configFile_;
    Subscription portsChanged_;
    int updating_ = 0;  // programmatic changes of trees and combo boxes
    int savedWidth_ = 489;
    int savedHeight_ = 327;
};

extern TMidiSettingsForm* MidiSettingsForm;

}  // namespace morvelant
