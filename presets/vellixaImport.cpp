#include "presets/vellixaImport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <algorithm>

#include "platform/QtFormFrame.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "platform/QtDialogKeys.h"
#include "platform/QtNumberField.h"
#include "platform/QtText.h"

namespace morvelant {

TvellixaImportForm* vellixaImportForm = nullptr;

namespace {

constexpr const char* kLimitations[] = {"The following Events cannot be imported ",
                                        "----------------------------------------------------------------",
                                        "GS-Effect",
                                        "MC303_Global",
                                        "MC303_Channel",
                                        "XG Insertion 1 Type",
                                        "XG Insertion 2 Type",
                                        "XG Reverb Type",
                                        "XG Chorus Type",
                                        "XG Variation Type"};
constexpr int kFirstFader[kFaderBlocks] = {1, 9, 17};

QLabel* AddLabel(QWidget* parent, const char* text, int x, int y) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QCheckBox* AddBox(QWidget* parent, const QString& name, const char* caption, int x, int y, bool captionLeft = false) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(name);
    if (captionLeft) box->setLayoutDirection(Qt::RightToLeft);
    box->move(x, y);
    box->adjustSize();
    return box;
}

}  // namespace

TvellixaImportForm::TvellixaImportForm(std::string configFile, QWidget* parent)
    : TForm(QStringLiteral("vellixaImportForm"), parent),
      configFile_(configFile.empty() ? ConfigFileName() : std::move(configFile)) {
    SetCaption("Settings for vellixa Import");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(374, 433);
    Build();
    // Escape closes without keeping the changes; Return presses the push button
    // that has the focus, from a box "Close", the default.
    new DialogKeys(*this, CloseButton);
    LoadSettings();
}

TvellixaImportForm::~TvellixaImportForm() {
    imports_.reset();
    // The program ends while the dialog is up: its changes were not kept.
    if (isVisible()) settings_ = shownWith_;
    SaveSettings();
    if (vellixaImportForm == this) vellixaImportForm = nullptr;
}

void TvellixaImportForm::Build() {
    ImportSettingsGroupBox = new QGroupBox(QStringLiteral("Import Settings"), this);
    ImportSettingsGroupBox->setObjectName(QStringLiteral("ImportSettingsGroupBox"));
    ImportSettingsGroupBox->setGeometry(8, 4, 358, 214);
    QWidget* g = ImportSettingsGroupBox;
    QFont heading = font();
    heading.setPixelSize(16);
    heading.setBold(true);
    heading.setUnderline(true);
    for (QLabel* l : {AddLabel(g, "vellixa", 10, 18), AddLabel(g, "Morvelant", 250, 18)}) {
        l->setFont(heading);
        l->adjustSize();
    }
    AddLabel(g, "Faders", 250, 40);
    AddLabel(g, "Knobs", 10, 58);
    const int colX[kFaderBlocks] = {200, 250, 300};
    const char* colText[kFaderBlocks] = {"1-8", "9-16", "17-24"};
    for (int b = 0; b < kFaderBlocks; ++b) AddLabel(g, colText[b], colX[b], 58);
    const char* rowText[4] = {"1-8", "9-16", "Clear Faders", "Clear Buttons"};
    for (int r = 0; r < 4; ++r) {
        const int y = 78 + 22 * r;
        AddLabel(g, rowText[r], 10, y);
        if (r < 2) AddLabel(g, "----->", 110, y);
        for (int b = 0; b < kFaderBlocks; ++b) {
            const QString first = QString::number(kFirstFader[b]);
            QCheckBox* box = nullptr;
            if (r < 2) {
                box = AddBox(g, QStringLiteral("CheckBox%1_%2").arg(r == 0 ? 1 : 9).arg(first), "", colX[b], y);
                MapBoxes[static_cast<std::size_t>(r)][static_cast<std::size_t>(b)] = box;
                connect(box, &QCheckBox::toggled, this, [this, r, b](bool on) {
                    settings_.SetMap(r, b, on);
                    ShowSettings();
                });
            } else if (r == 2) {
                box = AddBox(g, QStringLiteral("CheckBoxClearFaders") + first, "", colX[b], y);
                CheckBoxClearFaders[static_cast<std::size_t>(b)] = box;
                connect(box, &QCheckBox::toggled, this, [this, b](bool on) {
                    settings_.SetClearFaders(b, on);
                    ShowSettings();
                });
            } else {
                box = AddBox(g, QStringLiteral("CheckBoxClearButtons") + first, "", colX[b], y);
                CheckBoxClearButtons[static_cast<std::size_t>(b)] = box;
                connect(box, &QCheckBox::toggled, this, [this, b](bool on) { settings_.SetClearButtons(b, on); });
            }
        }
    }
    auto* line = new QFrame(g);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(8, 166, 342, 2);
    AddDescription = AddBox(g, QStringLiteral("AddDescription"), "Add Preset Description to Notes", 10, 172, true);
    UseKnobNames = AddBox(g, QStringLiteral("UseKnobNames"), "Use Knob/Preset Names", 10, 192, true);
    connect(AddDescription, &QCheckBox::toggled, this, [this](bool on) { settings_.AddDescription = on; });
    connect(UseKnobNames, &QCheckBox::toggled, this, [this](bool on) { settings_.UseKnobNames = on; });

    auto* limits = new QGroupBox(QStringLiteral("Import Limitations"), this);
    limits->setObjectName(QStringLiteral("ImportLimitationsGroupBox"));
    limits->setGeometry(8, 222, 190, 170);
    Memo1 = new QPlainTextEdit(limits);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setGeometry(8, 18, 174, 124);
    // The memo is narrower than its longest lines: they wrap at word
    // boundaries instead of being cut off.
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QString text;
    for (const char* l : kLimitations) text += QString::fromLatin1(l) + QLatin1Char('\n');
    text.chop(1);
    Memo1->setPlainText(text);
    WarningMessages = AddBox(limits, QStringLiteral("WarningMessages"), "Display Warning Message", 8, 146);
    connect(WarningMessages, &QCheckBox::toggled, this, [this](bool on) { settings_.WarningMessages = on; });

    MasterChannelGroupBox = new QGroupBox(QStringLiteral("MasterChannel"), this);
    MasterChannelGroupBox->setObjectName(QStringLiteral("MasterChannelGroupBox"));
    MasterChannelGroupBox->setGeometry(204, 222, 162, 96);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (int i = 0; i < 16; ++i) {
        auto* b = new QToolButton(MasterChannelGroupBox);
        b->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
        b->setText(QString::number(i + 1));
        b->setCheckable(true);
        b->setProperty("Tag", i);
        b->setGeometry(8 + 37 * (i % 4), 18 + 18 * (i / 4), 35, 17);
        group->addButton(b, i);
        SpeedButtons[static_cast<std::size_t>(i)] = b;
        connect(b, &QToolButton::clicked, this, [this, i] { SpeedButton1Click(i); });
    }

    FaderSettingsGroupBox = new QGroupBox(QStringLiteral("Fader Settings"), this);
    FaderSettingsGroupBox->setObjectName(QStringLiteral("FaderSettingsGroupBox"));
    FaderSettingsGroupBox->setGeometry(204, 322, 162, 70);
    AddLabel(FaderSettingsGroupBox, "Threshold", 8, 20);
    ThresholdEdit = new QLineEdit(QStringLiteral("0"), FaderSettingsGroupBox);
    ThresholdEdit->setObjectName(QStringLiteral("ThresholdEdit"));
    ThresholdEdit->setGeometry(76, 16, 30, 21);
    OnNumberCommitted(ThresholdEdit, [this] { ThresholdEditCommit(); });
    // The up-down control beside the edit: 0..63, no wrap.
    auto step = [this](int delta) {
        TakeTypedThreshold();
        settings_.ThresholdText = std::to_string(std::clamp(settings_.Threshold() + delta, 0, 63));
        ShowSettings();
    };
    UpDown1Up = new QToolButton(FaderSettingsGroupBox);
    UpDown1Up->setObjectName(QStringLiteral("UpDown1Up"));
    UpDown1Up->setArrowType(Qt::UpArrow);
    UpDown1Up->setGeometry(106, 16, 15, 10);
    UpDown1Down = new QToolButton(FaderSettingsGroupBox);
    UpDown1Down->setObjectName(QStringLiteral("UpDown1Down"));
    UpDown1Down->setArrowType(Qt::DownArrow);
    UpDown1Down->setGeometry(106, 27, 15, 10);
    connect(UpDown1Up, &QToolButton::clicked, this, [step] { step(1); });
    connect(UpDown1Down, &QToolButton::clicked, this, [step] { step(-1); });
    Output1 = AddBox(FaderSettingsGroupBox, QStringLiteral("Output1"), "Ouput 1", 8, 44);
    Output2 = AddBox(FaderSettingsGroupBox, QStringLiteral("Output2"), "Output 2", 84, 44);
    connect(Output1, &QCheckBox::toggled, this, [this](bool on) { settings_.Output1 = on; });
    connect(Output2, &QCheckBox::toggled, this, [this](bool on) { settings_.Output2 = on; });

    CheckBoxShowDialog = AddBox(this, QStringLiteral("CheckBoxShowDialog"), "Always show this Dialog", 8, 404);
    connect(CheckBoxShowDialog, &QCheckBox::toggled, this, [this](bool on) { settings_.ShowDialog = on; });
    DefaultButton = new QPushButton(QStringLiteral("Default"), this);
    DefaultButton->setObjectName(QStringLiteral("DefaultButton"));
    DefaultButton->setGeometry(206, 400, 75, 25);
    connect(DefaultButton, &QPushButton::clicked, this, [this] { DefaultButtonClick(); });
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setGeometry(290, 400, 75, 25);
    CloseButton->setDefault(true);
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
}

void TvellixaImportForm::ShowSettings() {
    auto set = [](QCheckBox* box, bool on) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    };
    for (int k = 0; k < kKnobBlocks; ++k)
        for (int b = 0; b < kFaderBlocks; ++b)
            set(MapBoxes[static_cast<std::size_t>(k)][static_cast<std::size_t>(b)], settings_.Map(k, b));
    for (int b = 0; b < kFaderBlocks; ++b) {
        set(CheckBoxClearFaders[static_cast<std::size_t>(b)], settings_.ClearFaders(b));
        set(CheckBoxClearButtons[static_cast<std::size_t>(b)], settings_.ClearButtons(b));
    }
    set(AddDescription, settings_.AddDescription);
    set(UseKnobNames, settings_.UseKnobNames);
    set(WarningMessages, settings_.WarningMessages);
    set(Output1, settings_.Output1);
    set(Output2, settings_.Output2);
    set(CheckBoxShowDialog, settings_.ShowDialog);
    {
        const QSignalBlocker block(ThresholdEdit);
        if (ToCp1252(ThresholdEdit->text()) != settings_.ThresholdText)
            ThresholdEdit->setText(FromCp1252(settings_.ThresholdText));
    }
    // A master channel outside 0..15 puts no button down.
    for (int i = 0; i < 16; ++i) {
        QToolButton* b = SpeedButtons[static_cast<std::size_t>(i)];
        const QSignalBlocker block(b);
        if (i == settings_.MasterChannel) b->setChecked(true);
    }
    if (settings_.MasterChannel < 0 || settings_.MasterChannel > 15) {
        auto* group = SpeedButtons[0]->group();
        group->setExclusive(false);
        for (QToolButton* b : SpeedButtons) {
            const QSignalBlocker block(b);
            b->setChecked(false);
        }
        group->setExclusive(true);
    }
}

void TvellixaImportForm::SpeedButton1Click(int tag) {
    TakeTypedThreshold();
    settings_.MasterChannel = tag;
    ShowSettings();
}

void TvellixaImportForm::ThresholdEditCommit() {
    settings_.ThresholdText = std::to_string(CommittedNumber(ThresholdEdit->text(), settings_.Threshold(), 0, 63));
    ShowSettings();
}

void TvellixaImportForm::TakeTypedThreshold() {
    if (!ThresholdEdit->isModified()) return;
    ThresholdEdit->setModified(false);
    ThresholdEditCommit();
}

void TvellixaImportForm::CloseButtonClick() {
    TakeTypedThreshold();
    keep_ = true;
    Close();
    keep_ = false;
}

void TvellixaImportForm::FormShow() { shownWith_ = settings_; }

void TvellixaImportForm::FormClose(TCloseAction&) {
    if (keep_ || !isVisible()) return;  // nothing shown, nothing to undo
    settings_ = shownWith_;
    ShowSettings();
}

void TvellixaImportForm::DefaultButtonClick() {
    settings_.SetDefaults();
    ShowSettings();
}

void TvellixaImportForm::LoadSettings() {
    const TIniFile ini(configFile_);
    settings_.Load(ini);
    const int top = ini.ReadInteger(kVellixaImportSection, "Top", 100);
    const int left = ini.ReadInteger(kVellixaImportSection, "Left", 209);
    SetBounds(left, top, width(), height());
    ShowSettings();
}

void TvellixaImportForm::SaveSettings() {
    TIniFile ini(configFile_);
    settings_.Save(ini);
    ini.WriteInteger(kVellixaImportSection, "Top", OuterBounds(*this).y());
    ini.WriteInteger(kVellixaImportSection, "Left", OuterBounds(*this).x());
    ini.WriteInteger(kVellixaImportSection, "Width", Width());
    ini.WriteInteger(kVellixaImportSection, "Height", Height());
}

void TvellixaImportForm::ConnectImports(Engine& engine) {
    imports_ = std::make_unique<VellixaImportConnection>(engine, settings_, [this] { ShowModal(); }, this);
}

}  // namespace morvelant
