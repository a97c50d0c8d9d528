#include "shell/MidiSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStylePainter>
#include <QTabWidget>
#include <QToolTip>
#include <QTreeWidget>

#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitOut.h"
#include "midikit/MidiKitSync.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "platform/QtFixedFormBounds.h"
#include "platform/QtText.h"
#include "shell/DevicesInfoForm.h"

namespace morvelant {

TMidiSettingsForm* MidiSettingsForm = nullptr;

namespace {

constexpr const char* kFormSection = "Midi Settings Form";
constexpr const char* kThruSection = "ThruFlags";
constexpr int kDefaultPresetDelay = 3000;
constexpr int kDefaultPatternDelay = 2000;
constexpr int kStateRole = Qt::UserRole + 1;

// Port names and aliases are Windows-1252 bytes, as everywhere else in the
// editor (the monitor shows the same aliases): a typed euro sign or curly
// quote must reach the alias as its byte, not as '?'.
QString ToQ(const std::string& s) { return FromCp1252(s); }
std::string FromQ(const QString& s) { return ToCp1252(s); }

// The two pictures of ImageList1.
const QPixmap& StatePicture(int state) {
    static const QPixmap pictures[2] = {
        [] {
            QPixmap p(13, 13);
            p.fill(Qt::white);
            QPainter g(&p);
            g.setPen(QPen(QColor(64, 64, 64), 1));
            g.drawRect(0, 0, 12, 12);
            g.setPen(QPen(QColor(0, 0, 0), 2));
            g.drawLine(3, 6, 5, 9);
            g.drawLine(5, 9, 10, 3);
            return p;
        }(),
        [] {
            QPixmap p(13, 13);
            p.fill(Qt::white);
            QPainter g(&p);
            g.setPen(QPen(QColor(64, 64, 64), 1));
            g.drawRect(0, 0, 12, 12);
            return p;
        }(),
    };
    return pictures[state == kStateOn ? 0 : 1];
}

std::string DelayText(QLineEdit* edit) { return FromQ(edit->text()); }

// Marks the changes made while it lives as the window's own, not the user's.
// (Not named UpdatingGuard: the device model has one of that name in this
// namespace.)
class OwnChanges {
public:
    explicit OwnChanges(int& counter) : counter_(counter) { ++counter_; }
    ~OwnChanges() { --counter_; }
    OwnChanges(const OwnChanges&) = delete;
    OwnChanges& operator=(const OwnChanges&) = delete;

private:
    int& counter_;
};

// A port list whose closed box shows a long name shortened in the middle,
// where two ports of one interface differ only at the end ("... MIDI A",
// "... MIDI B"); the whole name is in its tool tip and in the open list.
class PortComboBox : public QComboBox {
public:
    explicit PortComboBox(QWidget* parent) : QComboBox(parent) {
        view()->setTextElideMode(Qt::ElideMiddle);
        connect(this, &QComboBox::currentTextChanged, this, [this](const QString& text) { setToolTip(text); });
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        const QRect text = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
        option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideMiddle, text.width() - 2);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
};

// The whole name of the port under the mouse (and whether it is absent).
bool ShowPortToolTip(QTreeWidget* tree, QEvent* event) {
    auto* help = static_cast<QHelpEvent*>(event);
    QTreeWidgetItem* item = tree->itemAt(help->pos());
    if (item == nullptr) {
        QToolTip::hideText();
        return true;
    }
    QString text = item->text(0);
    if (!item->toolTip(0).isEmpty()) text += QLatin1Char('\n') + item->toolTip(0);
    QToolTip::showText(help->globalPos(), text, tree->viewport(), tree->visualItemRect(item));
    return true;
}

}  // namespace

// ------------------------------------------------------------ state pictures

void StatePictureDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem rest = option;
    rest.rect.setLeft(option.rect.left() + kPictureWidth);
    QStyledItemDelegate::paint(painter, rest, index);
    const int state = index.data(kStateRole).toInt();
    if (state == kStateOn || state == kStateOff) {
        const QPixmap& pic = StatePicture(state);
        painter->drawPixmap(option.rect.left() + (kPictureWidth - pic.width()) / 2,
                            option.rect.top() + (option.rect.height() - pic.height()) / 2, pic);
    }
}

QSize StatePictureDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    return QSize(s.width() + kPictureWidth, std::max(s.height(), 16));
}

void StatePictureDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                const QModelIndex& index) const {
    QStyleOptionViewItem rest = option;
    rest.rect.setLeft(option.rect.left() + kPictureWidth);
    QStyledItemDelegate::updateEditorGeometry(editor, rest, index);
}

// ------------------------------------------------------------ construction

TMidiSettingsForm::TMidiSettingsForm(MidiSettingsSetup setup, QWidget* parent)
    : TForm(QStringLiteral("MidiSettingsForm"), parent),
      ownRouting_(setup.Routing != nullptr ? nullptr : std::make_unique<MidiRouting>()),
      ownPorts_(setup.PortSet != nullptr
                    ? nullptr
                    : std::make_unique<MidiPortSet>(
                          MidiPortSetup{setup.ConfigFile.empty() ? ConfigFileName() : setup.ConfigFile, setup.Inputs,
                                        setup.Routing != nullptr ? setup.Routing : ownRouting_.get()})),
      Routing(setup.Routing != nullptr ? *setup.Routing : *ownRouting_),
      PortSet(setup.PortSet != nullptr ? *setup.PortSet : *ownPorts_),
      Ports(PortSet.Ports),
      configFile_(setup.ConfigFile.empty() ? ConfigFileName() : setup.ConfigFile) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    SetCaption("Midi Settings");
    // Wider, the lists show longer port names.
    setMinimumSize(kDesignedWidth, kDesignedHeight);
    resize(kDesignedWidth, kDesignedHeight);
    BuildComponents();

    // Loading the driver library (by a set of the window's own) may throw;
    // nothing here catches it.
    MidiKit = PortSet.MidiKit.get();
    MidiKitSync = PortSet.MidiKitSync;

    FormCreate(setup);
    if (MidiSettingsForm == nullptr) MidiSettingsForm = this;
}

TMidiSettingsForm::~TMidiSettingsForm() {
    // A port name still being edited is committed as the window goes down,
    // after this form is gone: the edit is dropped, as Escape drops it.
    for (PortRole role : kAllRoles) Tree(role)->disconnect(this);
    FormDestroy();
    if (MidiSettingsForm == this) MidiSettingsForm = nullptr;
}

void TMidiSettingsForm::BuildComponents() {
    auto label = [](QWidget* parent, const char* name, const char* text, int x, int y) {
        auto* l = new QLabel(QString::fromLatin1(text), parent);
        l->setObjectName(QString::fromLatin1(name));
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    auto combo = [](QWidget* parent, const char* name, int x, int y, int w) {
        auto* c = new PortComboBox(parent);
        c->setObjectName(QString::fromLatin1(name));
        // A typed text would select no item: the boxes only offer the list.
        c->setEditable(false);
        c->setGeometry(x, y, w, 21);
        return c;
    };
    auto check = [](QWidget* parent, const char* name, const char* text, int x, int y) {
        auto* c = new QCheckBox(QString::fromLatin1(text), parent);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(x, y, 121, 17);
        return c;
    };

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, 479, 310);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Morvelant"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Virtual Morvelant In/Out 1"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Virtual Morvelant In/Out 2"));

    Label1 = label(TabSheet1, "Label1", "Morvelant -> PC", 8, 12);
    MorvelantPCDevice = combo(TabSheet1, "MorvelantPCDevice", 116, 8, 181);
    Label2 = label(TabSheet1, "Label2", "PC -> Morvelant", 8, 40);
    PCMorvelantDevice = combo(TabSheet1, "PCMorvelantDevice", 116, 36, 181);
    ThruBox = check(TabSheet1, "ThruBox", "Thru", 304, 8);
    SysexThruBox = check(TabSheet1, "SysexThruBox", "Sysex Thru", 304, 26);
    RealtimeThruBox = check(TabSheet1, "RealtimeThruBox", "Realtime Thru", 304, 44);
    Label3 = label(TabSheet1, "Label3", "Thru Devices", 8, 68);
    Label8 = label(TabSheet1, "Label8", "Input Devices", 8, 86);
    MorvelantThruInDevices = MakeTree(TabSheet1, "MorvelantThruInDevices", 8, 102, 141, 172);
    Label11 = label(TabSheet1, "Label11", "Output Devices", 156, 86);
    MorvelantThruDevices = MakeTree(TabSheet1, "MorvelantThruDevices", 156, 102, 141, 172);

    GroupBox1 = new QGroupBox(QStringLiteral("Send Delay (ms)"), TabSheet1);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(304, 96, 161, 81);
    Label9 = label(GroupBox1, "Label9", "Presets", 12, 24);
    Edit1 = new QLineEdit(QStringLiteral("3000"), GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(72, 20, 73, 21);
    Label10 = label(GroupBox1, "Label10", "Patterns", 12, 52);
    Edit2 = new QLineEdit(QStringLiteral("2000"), GroupBox1);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(72, 48, 73, 21);
    MidiSystemLabel = new QLabel(TabSheet1);
    MidiSystemLabel->setObjectName(QStringLiteral("MidiSystemLabel"));
    MidiSystemLabel->setGeometry(304, 186, 161, 34);
    MidiSystemLabel->setWordWrap(true);

    Label4 = label(TabSheet2, "Label4", "In 1", 8, 8);
    MorvelantIn1Devices = MakeTree(TabSheet2, "MorvelantIn1Devices", 8, 24, 221, 249);
    Label5 = label(TabSheet2, "Label5", "Out 1", 240, 8);
    MorvelantOut1Devices = MakeTree(TabSheet2, "MorvelantOut1Devices", 240, 24, 221, 249);
    Label6 = label(TabSheet3, "Label6", "In 2", 8, 8);
    MorvelantIn2Devices = MakeTree(TabSheet3, "MorvelantIn2Devices", 8, 24, 221, 249);
    Label7 = label(TabSheet3, "Label7", "Out 2", 240, 8);
    MorvelantOut2Devices = MakeTree(TabSheet3, "MorvelantOut2Devices", 240, 24, 221, 249);

    // What grows with the window: the lists share the new width and take
    // the new height; what stands right of them moves along.
    const auto grow = [this](QWidget* w, double moves, double widens, bool taller) {
        stretch_.push_back({w, w->geometry(), moves, widens, taller});
    };
    for (QWidget* w : {static_cast<QWidget*>(MorvelantPCDevice), static_cast<QWidget*>(PCMorvelantDevice)})
        grow(w, 0, 1, false);
    for (QWidget* w :
         {static_cast<QWidget*>(ThruBox), static_cast<QWidget*>(SysexThruBox), static_cast<QWidget*>(RealtimeThruBox),
          static_cast<QWidget*>(GroupBox1), static_cast<QWidget*>(MidiSystemLabel)})
        grow(w, 1, 0, false);
    grow(MorvelantThruInDevices, 0, 0.5, true);
    grow(Label11, 0.5, 0, false);
    grow(MorvelantThruDevices, 0.5, 0.5, true);
    for (QTreeWidget* tree : {MorvelantIn1Devices, MorvelantIn2Devices}) grow(tree, 0, 0.5, true);
    for (QWidget* w : {static_cast<QWidget*>(Label5), static_cast<QWidget*>(Label7)}) grow(w, 0.5, 0, false);
    for (QTreeWidget* tree : {MorvelantOut1Devices, MorvelantOut2Devices}) grow(tree, 0.5, 0.5, true);

    connect(MorvelantPCDevice, &QComboBox::currentIndexChanged, this, [this](int) {
        if (updating_ == 0) MorvelantPCDeviceChange();
    });
    connect(PCMorvelantDevice, &QComboBox::currentIndexChanged, this, [this](int) {
        if (updating_ == 0) PCMorvelantDeviceChange();
    });
    connect(ThruBox, &QCheckBox::toggled, this, [this](bool on) { Routing.Thru = on; });
    connect(SysexThruBox, &QCheckBox::toggled, this, [this](bool on) { Routing.SysexThru = on; });
    connect(RealtimeThruBox, &QCheckBox::toggled, this, [this](bool on) { Routing.RealtimeThru = on; });
    connect(Edit1, &QLineEdit::textChanged, this, [this] { DelayEdited(); });
    connect(Edit2, &QLineEdit::textChanged, this, [this] { DelayEdited(); });
}

QTreeWidget* TMidiSettingsForm::MakeTree(QWidget* page, const char* name, int x, int y, int w, int h) {
    auto* tree = new QTreeWidget(page);
    tree->setObjectName(QString::fromLatin1(name));
    tree->setGeometry(x, y, w, h);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setRootIsDecorated(false);
    tree->setIndentation(0);
    tree->setItemDelegate(new StatePictureDelegate(tree));
    // Two ports of one interface differ at the end of their names.
    tree->setTextElideMode(Qt::ElideMiddle);
    tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    tree->viewport()->installEventFilter(this);
    connect(tree, &QTreeWidget::itemChanged, this, [this, tree](QTreeWidgetItem* item, int) {
        if (updating_ != 0) return;
        for (PortRole role : kAllRoles)
            if (Tree(role) == tree) TreeEdited(role, tree->indexOfTopLevelItem(item), FromQ(item->text(0)));
    });
    return tree;
}

QTreeWidget* TMidiSettingsForm::Tree(PortRole role) const {
    switch (role) {
        case PortRole::In1: return MorvelantIn1Devices;
        case PortRole::In2: return MorvelantIn2Devices;
        case PortRole::ThruIn: return MorvelantThruInDevices;
        case PortRole::Out1: return MorvelantOut1Devices;
        case PortRole::Out2: return MorvelantOut2Devices;
        case PortRole::Thru: return MorvelantThruDevices;
    }
    return nullptr;
}

QRect TMidiSettingsForm::StatePictureRect(QTreeWidget* tree, int node) {
    QTreeWidgetItem* item = tree->topLevelItem(node);
    if (item == nullptr) return {};
    const QRect r = tree->visualItemRect(item);
    return QRect(r.left(), r.top(), StatePictureDelegate::kPictureWidth, r.height());
}

int TMidiSettingsForm::NodeState(QTreeWidget* tree, int node) {
    QTreeWidgetItem* item = tree->topLevelItem(node);
    return item != nullptr ? item->data(0, kStateRole).toInt() : kStateNone;
}

void TMidiSettingsForm::resizeEvent(QResizeEvent* event) {
    TForm::resizeEvent(event);
    if (PageControl1 == nullptr) return;
    PageControl1->setGeometry(rect());
    const int dx = std::max(0, width() - kDesignedWidth), dy = std::max(0, height() - kDesignedHeight);
    for (const Stretch& s : stretch_)
        s.widget->setGeometry(s.designed.x() + int(s.moves * dx), s.designed.y(),
                              s.designed.width() + int(s.widens * dx), s.designed.height() + (s.taller ? dy : 0));
}

bool TMidiSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip)
        for (PortRole role : kAllRoles)
            if (Tree(role)->viewport() == watched) return ShowPortToolTip(Tree(role), event);
    // The second press of a double click is a mouse down as well: two quick
    // clicks on a state picture switch the role twice, not once.
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if (event->type() == QEvent::MouseButtonPress || doubleClick) {
        for (PortRole role : kAllRoles) {
            QTreeWidget* tree = Tree(role);
            if (tree->viewport() != watched) continue;
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint pos = mouse->position().toPoint();
            QTreeWidgetItem* item = tree->itemAt(pos);
            const bool onPicture =
                item != nullptr && StatePictureRect(tree, tree->indexOfTopLevelItem(item)).contains(pos);
            TreeMouseDown(role, mouse->button(), pos);
            // A double click on the picture is two switches, not a rename.
            if (doubleClick && onPicture) return true;
        }
    }
    return TForm::eventFilter(watched, event);
}

// ------------------------------------------------------------ configuration

void TMidiSettingsForm::FormCreate(const MidiSettingsSetup&) {
    TIniFile ini(configFile_);
    // The border is fixed: the stored size is kept, the client area is not
    // resized from it.
    ReadFixedFormBounds(ini, kFormSection, {.top = 130, .left = 135, .width = 489, .height = 327}, *this, savedWidth_,
                        savedHeight_);

    const int presetDelay = ini.ReadInteger(kFormSection, "Preset Delay", kDefaultPresetDelay);
    const int patternDelay = ini.ReadInteger(kFormSection, "Pattern Delay", kDefaultPatternDelay);
    Edit1->setText(QString::number(presetDelay));
    Edit2->setText(QString::number(patternDelay));
    ini.WriteInteger(kFormSection, "Preset Delay", presetDelay);
    ini.WriteInteger(kFormSection, "Pattern Delay", patternDelay);

    ThruBox->setChecked(ini.ReadBool(kThruSection, "ThruBox", false));
    SysexThruBox->setChecked(ini.ReadBool(kThruSection, "SysexThruBox", false));
    RealtimeThruBox->setChecked(ini.ReadBool(kThruSection, "RealtimeThruBox", false));
    Routing.Thru = ThruBox->isChecked();
    Routing.SysexThru = SysexThruBox->isChecked();
    Routing.RealtimeThru = RealtimeThruBox->isChecked();

    FillCombo(MorvelantPCDevice, Routing.InNames, Ports.DeviceInIndex());
    FillCombo(PCMorvelantDevice, Routing.OutNames, Ports.DeviceOutIndex());
    FillInDeviceTrees();
    FillOutDeviceTrees();
    for (PortRole role : kAllRoles) ShowStates(role);
    ShowPresence();
    MidiSystemLabel->setText(QString::fromStdString(PortSet.SystemText()));
    portsChanged_ = PortSet.Changed.Subscribe([this] { PortsChanged(); });
}

void TMidiSettingsForm::FormDestroy() {
    TIniFile ini(configFile_);
    // Without a window frame (not shown yet, or no window system) the stored
    // size is written back as it was read.
    WriteFixedFormBounds(ini, kFormSection, *this, savedWidth_, savedHeight_);

    int presetDelay = 0, patternDelay = 0;
    if (!TIniFile::ParseInteger(DelayText(Edit1), presetDelay) ||
        !TIniFile::ParseInteger(DelayText(Edit2), patternDelay)) {
        presetDelay = kDefaultPresetDelay;
        patternDelay = kDefaultPatternDelay;
    }
    ini.WriteInteger(kFormSection, "Preset Delay", presetDelay);
    ini.WriteInteger(kFormSection, "Pattern Delay", patternDelay);

    ini.WriteBool(kThruSection, "ThruBox", ThruBox->isChecked());
    ini.WriteBool(kThruSection, "SysexThruBox", SysexThruBox->isChecked());
    ini.WriteBool(kThruSection, "RealtimeThruBox", RealtimeThruBox->isChecked());

    // The ports stay as they are: they belong to the port set.
    portsChanged_.Reset();
}

// ------------------------------------------------------------ views

void TMidiSettingsForm::FillCombo(QComboBox* combo, const std::vector<std::string>& names, int index) {
    OwnChanges guard(updating_);
    combo->clear();
    for (const std::string& name : names) {
        combo->addItem(ToQ(name));
        combo->setItemData(combo->count() - 1, ToQ(name), Qt::ToolTipRole);  // whole in the open list too
    }
    combo->setCurrentIndex(index);
}

void TMidiSettingsForm::FillTree(QTreeWidget* tree, const std::vector<std::string>& names, int count) {
    OwnChanges guard(updating_);
    tree->clear();
    for (int i = 0; i < count; ++i) {
        auto* item = new QTreeWidgetItem(tree);
        item->setText(0, ToQ(names[static_cast<size_t>(i)]));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
}

// A port that has gone keeps its node and roles, greyed until it returns.
void TMidiSettingsForm::ShowPresence() {
    OwnChanges guard(updating_);
    for (PortRole role : kAllRoles) {
        QTreeWidget* tree = Tree(role);
        const auto& absent = IsInputRole(role) ? Routing.InAbsent : Routing.OutAbsent;
        for (int i = 0; i < tree->topLevelItemCount() && i < kMaxPorts; ++i) {
            const bool gone = Routing.ServerGone || absent[static_cast<size_t>(i)];
            QTreeWidgetItem* item = tree->topLevelItem(i);
            item->setForeground(0,
                                gone ? palette().brush(QPalette::Disabled, QPalette::Text)
                                     : palette().brush(QPalette::Active, QPalette::Text));
            item->setToolTip(0, gone ? QStringLiteral("absent") : QString());
        }
    }
}

void TMidiSettingsForm::FillInDeviceTrees() {
    FillTree(MorvelantIn1Devices, Routing.InNames, Routing.NumInDevs);
    FillTree(MorvelantIn2Devices, Routing.InNames, Routing.NumInDevs);
    FillTree(MorvelantThruInDevices, Routing.InNames, Routing.NumInDevs);
}

void TMidiSettingsForm::FillOutDeviceTrees() {
    FillTree(MorvelantOut1Devices, Routing.OutNames, Routing.NumOutDevs);
    FillTree(MorvelantOut2Devices, Routing.OutNames, Routing.NumOutDevs);
    FillTree(MorvelantThruDevices, Routing.OutNames, Routing.NumOutDevs);
}

void TMidiSettingsForm::ShowStates(PortRole role) {
    OwnChanges guard(updating_);
    QTreeWidget* tree = Tree(role);
    const auto& flags = Ports.Flags(role);
    for (int i = 0; i < tree->topLevelItemCount() && i < kMaxPorts; ++i)
        tree->topLevelItem(i)->setData(0, kStateRole, flags[static_cast<size_t>(i)] ? kStateOn : kStateOff);
}

// ------------------------------------------------------------ handlers

void TMidiSettingsForm::UpdateDevices() { PortSet.UpdateDevices(); }

void TMidiSettingsForm::DevicesChanged() { UpdateDevices(); }

namespace {

// Whether a tree and a combo box show other names than the list holds now
// (ports came, were renamed, or took the places of ports that went).
bool ShowsOtherNames(QTreeWidget* tree, QComboBox* combo, const std::vector<std::string>& names, int count) {
    if (tree->topLevelItemCount() != count || combo->count() != count + 1) return true;
    for (int i = 0; i <= count; ++i) {
        const QString name = ToQ(names[static_cast<size_t>(i)]);
        if (combo->itemText(i) != name || (i < count && tree->topLevelItem(i)->text(0) != name)) return true;
    }
    return false;
}

}  // namespace

void TMidiSettingsForm::PortsChanged() {
    // Lists are filled again only when their names changed: a label the
    // user is editing is not taken away by ports that come and go elsewhere.
    if (ShowsOtherNames(MorvelantIn1Devices, MorvelantPCDevice, Routing.InNames, Routing.NumInDevs)) {
        FillCombo(MorvelantPCDevice, Routing.InNames, Ports.DeviceInIndex());
        FillInDeviceTrees();
    }
    if (ShowsOtherNames(MorvelantOut1Devices, PCMorvelantDevice, Routing.OutNames, Routing.NumOutDevs)) {
        FillCombo(PCMorvelantDevice, Routing.OutNames, Ports.DeviceOutIndex());
        FillOutDeviceTrees();
    }
    {
        OwnChanges guard(updating_);
        MorvelantPCDevice->setCurrentIndex(Ports.DeviceInIndex());
        PCMorvelantDevice->setCurrentIndex(Ports.DeviceOutIndex());
    }
    for (PortRole role : kAllRoles) ShowStates(role);
    ShowPresence();
    MidiSystemLabel->setText(QString::fromStdString(PortSet.SystemText()));
    if (DevicesInfoForm1 != nullptr) DevicesInfoForm1->FillDeviceLists();
}

void TMidiSettingsForm::TreeMouseDown(PortRole role, Qt::MouseButton button, const QPoint& pos) {
    if (button != Qt::LeftButton) return;
    QTreeWidget* tree = Tree(role);
    if (QTreeWidgetItem* item = tree->itemAt(pos)) {
        const int node = tree->indexOfTopLevelItem(item);
        if (NodeState(tree, node) != kStateNone && StatePictureRect(tree, node).contains(pos)) {
            const bool on = Ports.ToggleRole(role, node);
            OwnChanges guard(updating_);
            item->setData(0, kStateRole, on ? kStateOn : kStateOff);
        }
    }
    DevicesChanged();
}

void TMidiSettingsForm::TreeEdited(PortRole role, int node, const std::string& text) {
    const bool input = IsInputRole(role);
    if (node < 0 || node >= (input ? Routing.NumInDevs : Routing.NumOutDevs)) return;
    Ports.SetAlias(input, node, text);
    OwnChanges guard(updating_);
    for (PortRole other : input ? kInputRoles : kOutputRoles)
        if (QTreeWidgetItem* item = Tree(other)->topLevelItem(node)) item->setText(0, ToQ(text));
    if (input)
        FillCombo(MorvelantPCDevice, Routing.InNames, Ports.DeviceInIndex());
    else
        FillCombo(PCMorvelantDevice, Routing.OutNames, Ports.DeviceOutIndex());
}

void TMidiSettingsForm::MorvelantPCDeviceChange() {
    Ports.SetDeviceInPort(MorvelantPCDevice->currentIndex());
    DevicesChanged();
}

void TMidiSettingsForm::PCMorvelantDeviceChange() {
    Ports.SetDeviceOutPort(PCMorvelantDevice->currentIndex());
    DevicesChanged();
}

void TMidiSettingsForm::DelayEdited() {
    int v = 0;
    Routing.PresetDelay = TIniFile::ParseInteger(DelayText(Edit1), v) ? v : kDefaultPresetDelay;
    Routing.PatternDelay = TIniFile::ParseInteger(DelayText(Edit2), v) ? v : kDefaultPatternDelay;
}

}  // namespace morvelant
