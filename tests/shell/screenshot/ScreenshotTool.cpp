// Shows each window of the editor with sample content and saves a picture of
// it, so that the windows' look can be reviewed without clicking through the
// program. Run it under a virtual X server (scripts/screenshots.sh):
//
//   ScreenshotTool <output folder> [window name ...]
//
// With names, only those windows are taken. Each window is added to the
// table in Windows() below by a function that builds and fills it.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/DeviceContext.h"
#include "engine/MidiRouting.h"
#include "engine/Tool.h"
#include "faders/AllFaderParameters.h"
#include "faders/InitCtrl.h"
#include "faders/SpecialKeyEdit.h"
#include "model/DeviceModel.h"
#include "model/PatternSteps.h"
#include "model/TrackSettings.h"
#include "patterns/ChannelFormUnit.h"
#include "patterns/Controller1.h"
#include "patterns/Drumkit.h"
#include "patterns/EventEdit.h"
#include "patterns/LongPiano.h"
#include "patterns/NoteGateTimesUnit.h"
#include "patterns/PatternFormUnit.h"
#include "patterns/PatternNotesUnit.h"
#include "patterns/PatternParameter.h"
#include "patterns/RoutingPlaybackPorts.h"
#include "patterns/Sequencer.h"
#include "patterns/TrackEdit.h"
#include "patterns/TrackParameter.h"
#include "patterns/Values1.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "presets/Description.h"
#include "presets/DescriptionForm.h"
#include "presets/NotesUnit.h"
#include "presets/PresetFormUnit.h"
#include "presets/Printout.h"
#include "presets/vellixaImport.h"
#include "shell/About.h"
#include "shell/DevicesInfoForm.h"
#include "shell/Instructions.h"
#include "shell/Main.h"
#include "shell/MainMenu.h"
#include "shell/MidiData.h"
#include "shell/MidiMonGrid.h"
#include "shell/MidiSettings.h"
#include "shell/MorvelantExplorer.h"
#include "shell/SendingUnit.h"
#include "tests/support/MidiEvents.h"
#include "tests/support/OwningMainForm.h"

using namespace morvelant;

namespace {

// What the windows share while they are taken.
struct Context {
    DeviceModel model;
    MidiRouting routing;
    Context() {
        routing.InNames = {"Morvelant In", "USB Keyboard", "no device"};
        routing.OutNames = {"Morvelant Out", "Synth Module", "no device"};
    }
};

struct Shot {
    const char* name;  // file name without ".png"
    std::function<std::unique_ptr<QWidget>(Context&)> make;
};

using testsupport::Ev;

void FillMonitor(TMidiMonGridForm& m) {
    m.Rows.MonitorEnabled = true;
    m.RealtimeMessagesClick();
    m.LogEvent(1, Ev(0x90, 60, 100), true);
    m.LogEvent(0, Ev(0xB0, 7, 96), false);
    m.LogEvent(1, Ev(0x80, 60, 0), true);
    m.LogEvent(0, Ev(0xC3, 12), false);
    m.LogEvent(0, Ev(0xE0, 0, 64), false);
    const uint8_t sysex[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    for (uint8_t b : sysex) m.LogEvent(0, Ev(0xF0, b), true);
    m.LogEvent(1, Ev(0xF8), true);
    m.LogEvent(1, Ev(0xAF, 61, 5), true);
    m.LogEvent(0, Ev(0xD0, 127), false);
    m.SyncGrid();
}

// The pickers read and write the sample model through one dispatch.
PickerDispatch& Pickers(Context& c) {
    static PickerDispatch dispatch;
    static Subscription faders = RegisterFaderTargets(dispatch, c.model, nullptr);
    static Subscription steps = RegisterStepTargets(dispatch, c.model, {});
    static Subscription init = RegisterInitCtrlTargets(dispatch, c.model, nullptr);
    return dispatch;
}

// The mouse resting at `pos` of `w`, as a user hovering before a click.
void Hover(QWidget* w, QPoint pos) {
    QMouseEvent e(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

template <typename Form>
std::unique_ptr<QWidget> GridPicker(std::unique_ptr<Form> f, PickerGrid* grid, const GridMap& map, int hover) {
    f->Show();
    Hover(grid, grid->CellRect(map.CellOf(hover)).center());
    return std::unique_ptr<QWidget>(std::move(f));
}

// A pattern with a few tracks of their own for the pattern windows.
Notifications& PatternScene(DeviceModel& m) {
    static Notifications notes;
    static bool filled = false;
    if (filled) return notes;
    filled = true;
    m.InitPattern(0);
    Pattern_Parameters& p = m.Patterns[0];
    p.MuteMask() = 0b11111000;
    for (int t = 1; t <= 3; ++t)
        for (int s = 1; s <= 16; ++s) {
            SetStepNote(m, 0, t, 36 + 12 * t + (s * 5) % 12, s);
            SetStepVelocity(m, 0, t, 40 + (s * 23) % 88, s);
            SetStepOn(m, 0, t, (s + t) % 3 != 0, s);
        }
    SetTrackEvent(m, 0, 2, 0xB0);
    SetTrackGateTime(m, 0, 2, 11);
    SetTrackRunMode(m, 0, 3, 8);
    SetTrackDelay(m, 0, 3, 2);
    SetTrackStartStep(m, 0, 3, 4);
    SetTrackEndStep(m, 0, 3, 11);
    m.SelectedTrack = 2;
    return notes;
}

std::vector<Shot> Windows() {
    return {
        {"Values1Form",
         [](Context& c) {
             c.model.Presets[0].FaderMidiData2(0) = 100;
             auto f = std::make_unique<TValues1Form>(Pickers(c), c.model);
             f->TargetCode = 3;
             PickerGrid* grid = f->ValuesStringGrid;
             return GridPicker(std::move(f), grid, kValuesGrid, 64);
         }},
        {"Controller1Form",
         [](Context& c) {
             c.model.Presets[0].FaderMidiData1(0) = 7;
             auto f = std::make_unique<TController1Form>(Pickers(c), c.model);
             f->TargetCode = 0;
             PickerGrid* grid = f->ControllerStringGrid;
             return GridPicker(std::move(f), grid, kControllerGrid, 74);
         }},
        {"LongPianoForm",
         [](Context& c) {
             c.model.Patterns[0].StepNote(0, 0) = 60;
             auto f = std::make_unique<TLongPianoForm>(Pickers(c), c.model);
             f->TargetCode = 1000;
             f->Show();
             Hover(f->PianoImage, {395, 50});
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"NoteGateTimes",
         [](Context& c) {
             c.model.Patterns[0].TrackGateTime(0) = 44;
             c.model.Patterns[0].TrackNoteTime(0) = 20;
             auto f = std::make_unique<TNoteGateTimes>(c.model, PatternTargetHooks{});
             f->Mode = kNoteTimeMode;
             f->Track = 1;
             PickerGrid* grid = f->StringGrid1;
             return GridPicker(std::move(f), grid, kTimeCodeGrid, 8);
         }},
        {"ChannelForm",
         [](Context& c) {
             c.model.Patterns[0].TrackStartStep(0) = 5;
             auto f = std::make_unique<TChannelForm>(c.model, PatternTargetHooks{});
             f->Mode = kEndStepMode;
             f->Track = 1;
             PickerGrid* grid = f->ChannelStringGrid;
             return GridPicker(std::move(f), grid, kChannelGrid, 10);
         }},
        {"DrumkitForm",
         [](Context& c) {
             static QTemporaryDir folder;
             QFile::copy(QStringLiteral(MORVELANT_SOURCE_DIR "/patterns/Drumkits/GM.MVD"), folder.path() + "/GM.MVD");
             auto f = std::make_unique<TDrumkitForm>(Pickers(c), c.model, folder.path().toStdString() + "/");
             static QMenu menu;
             f->BuildKitMenu(&menu, [] { return -1; });
             // The kit as a chosen menu item shows it.
             const Drumkit* kit = f->MenuKits.front();
             for (int n = 0; n < 128; ++n) {
                 const GridCell cell = kDrumkitGrid.CellOf(n);
                 f->StringGrid1->SetCellText(cell.row, cell.column, QString::fromStdString(kit->Names[size_t(n)]));
             }
             f->SetCaption(KitCaption(*kit));
             f->KitCaption = KitCaption(*kit);
             c.model.Presets[0].FaderMidiData1(0) = 36;
             f->TargetCode = 0;
             PickerGrid* grid = f->StringGrid1;
             return GridPicker(std::move(f), grid, kDrumkitGrid, 38);
         }},
        {"InitCtrlForm",
         [](Context& c) { return std::unique_ptr<QWidget>(std::make_unique<TInitCtrlForm>(c.model, nullptr)); }},
        {"TrackEditForm",
         [](Context& c) {
             return std::unique_ptr<QWidget>(
                 std::make_unique<TTrackEditForm>(c.model, nullptr, Pickers(c), nullptr, TrackRowOps{}, nullptr));
         }},
        {"MainForm",
         [](Context&) {
             // Its own program folder: it reads and writes its configuration.
             static QTemporaryDir folder;
             auto f = std::make_unique<testsupport::OwningMainForm>(folder.path().toStdString());
             f->Show();
             for (int i = 0; i < kFaderCount; ++i) f->FaderList[size_t(i)]->setValue(127 - (i * 37) % 128);
             f->SelectFader(4);
             f->KeyOnOff1Click(4);
             f->ShowMidiOutActivity();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"MidiMonGridForm",
         [](Context& c) {
             auto m = std::make_unique<TMidiMonGridForm>(&c.model);
             m->SetRouting(&c.routing);
             FillMonitor(*m);
             return std::unique_ptr<QWidget>(std::move(m));
         }},
        {"MidiDataForm",
         [](Context& c) {
             auto d = std::make_unique<TMidiDataForm>();
             TMidiMonGridForm m(&c.model);
             m.DataForm = d.get();
             FillMonitor(m);
             std::vector<uint8_t> dump = {0xF0, 0x00, 0x20, 0x3C, 0x04, 0x05};
             for (int i = 0; i < 34; ++i) dump.push_back(static_cast<uint8_t>(i * 3));
             dump.push_back(0xF7);
             for (uint8_t b : dump) m.LogEvent(0, Ev(0xF0, b), true);
             d->AppendListing(m.Rows.HexListing(6));
             d->AppendListing(m.Rows.HexListing(m.Rows.CurrentRow));
             return std::unique_ptr<QWidget>(std::move(d));
         }},
        {"PrintOutputForm",
         [](Context& c) {
             c.model.FactoryInitPreset(0);
             c.model.SetPresetDeviceName(0, "Strings ");
             auto f = std::make_unique<TPrintOutputForm>(c.model);
             f->SetText(DescribeAllFaderParameters(c.model));
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"DescriptionForm",
         [](Context& c) {
             c.model.FactoryInitPreset(0);
             c.model.SetPresetDeviceName(0, "Strings ");
             const char* names[] = {"Violin 1", "Violin 2", "Viola", "Cello", "Bass", "Harp", "Horns", "Timpani"};
             for (int f = 0; f < kFaderCount; ++f) {
                 c.model.Presets[0].SliderName[size_t(f)] = names[f % 8];
                 c.model.Presets[0].KeyOnName[size_t(f)] = "Solo";
                 c.model.Presets[0].KeyOffName[size_t(f)] = f % 3 ? "Tutti" : "";
             }
             auto f = std::make_unique<TDescriptionForm>(c.model);
             f->DisplayDescription(0);
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"vellixaImportForm",
         [](Context&) { return std::unique_ptr<QWidget>(std::make_unique<TvellixaImportForm>()); }},
        {"PresetForm",
         [](Context&) {
             // Named presets, two marked, a buffer list of three.
             static QTemporaryDir folder;
             static DeviceContext context;
             static CommandRegistry commands;
             const char* names[] = {"Strings", "Brass", "Pad Lush", "Drums", "Bass 1", "Organ"};
             for (int i = 0; i < 6; ++i) context.Model.SetPresetDeviceName(i, names[i]);
             context.Model.PresetSlotSelected[1] = context.Model.PresetSlotSelected[4] = true;
             context.Model.PresetEditBufferCount = 3;
             context.Model.SelectedPreset = 2;
             auto f = std::make_unique<TPresetForm>(context.Model, context.Notices, context.DeviceEngine, commands,
                                                    folder.path().toStdString() + "/");
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"NotesForm",
         [](Context&) {
             static QTemporaryDir folder;
             static DeviceContext context;
             context.Model.Presets[0].PresetNotes = "Strings for the intro.\r\nFader 3: filter, fader 4: release.";
             auto f = std::make_unique<TNotesForm>(context.Model, context.Notices, folder.path().toStdString() + "/");
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"PatternForm",
         [](Context&) {
             static QTemporaryDir folder;
             static DeviceContext context;
             static CommandRegistry commands;
             context.Model.SetPatternName(0, "Groove A");
             context.Model.PatternSlotSelected[3] = true;
             context.Model.SelectedPattern = 0;
             auto f = std::make_unique<TPatternForm>(context.Model, context.Notices, context.DeviceEngine, commands,
                                                     folder.path().toStdString() + "/");
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"PatternNotesForm",
         [](Context&) {
             static QTemporaryDir folder;
             static DeviceContext context;
             context.Model.Patterns[0].PatternNotes = "Track 1: kick\r\nTrack 2: snare";
             auto f =
                 std::make_unique<TPatternNotesForm>(context.Model, context.Notices, folder.path().toStdString() + "/");
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"SendingForm",
         [](Context&) {
             auto s = std::make_unique<TSendingForm>();
             s->BeginSeries(7, 4, "Strings ");
             s->StepProgress();
             s->NextItem(5, "Brass   ");
             s->StepProgress();
             return std::unique_ptr<QWidget>(std::move(s));
         }},
        {"MorvelantExplorerForm",
         [](Context&) {
             // The virtual device window, the presets and the device
             // information shown; the monitor hidden with monitoring on.
             static QTemporaryDir folder;
             auto e = std::make_unique<TMorvelantExplorerForm>(nullptr, folder.path().toStdString());
             e->Show();
             e->SetStateIndex(0, 2);
             e->SetStateIndex(2, 2);
             e->SetStateIndex(12, 3);
             e->SetStateIndex(14, 2);
             e->TreeView1->setCurrentItem(e->Node(2));
             return std::unique_ptr<QWidget>(std::move(e));
         }},
        {"MidiSettingsForm",
         [](Context&) {
             // The loopback backend gives four ports each way without a server;
             // a device port and an output-1 port are chosen.
             static QTemporaryDir folder;
             MidiSettingsSetup setup;
             setup.ConfigFile = folder.filePath("Morvelant.cfg").toStdString();
             auto f = std::make_unique<TMidiSettingsForm>(setup);
             f->PCMorvelantDevice->setCurrentIndex(0);
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"DevicesInfoForm1",
         [](Context& c) {
             static QTemporaryDir folder;
             c.routing.OpenInDevices = {"Morvelant In"};
             c.routing.ClosedInDevices = {"USB Keyboard"};
             c.routing.OpenOutDevices = {"Morvelant Out", "Synth Module"};
             auto f = std::make_unique<TDevicesInfoForm1>(folder.filePath("Morvelant.cfg").toStdString(), &c.routing);
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"AllFaderP",
         [](Context&) {
             // Fader 5 of an edit buffer: a String fader event with its
             // placeholder, a Note Event key on, a Controller key off.
             static QTemporaryDir folder;
             static DeviceContext context(folder.path().toStdString());
             static CommandRegistry commands;
             DeviceModel& m = context.Model;
             m.SelectedPreset = 65;
             Morvelant_Parameters& p = m.Presets[65];
             p.FaderStatus(4) = 0xF0;
             p.FaderString[4] = "B0 07 XX";
             p.FaderMidiData1(4) = 2;
             p.SliderName[4] = "Volume";
             p.KeyOnName[4] = "Start";
             p.KeyOnStatus(4) = 0x92;
             p.KeyOffStatus(4) = 0xB2;
             auto f = std::make_unique<TAllFaderP>(context.DeviceEngine, commands);
             f->MultiselectButtons[2]->setChecked(true);
             f->MultiselectButtons[3]->setChecked(true);
             SelectFader(context.DeviceEngine, 4);
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"SpecialKeyForm",
         [](Context&) {
             static QTemporaryDir folder;
             static DeviceContext context(folder.path().toStdString());
             static CommandRegistry commands;
             auto& keys = context.Model.Presets[0].SpecialKeyString;
             keys[0] = "C0 05";
             keys[1] = "FA";
             keys[2] = "FC";
             keys[3] = "FB";
             keys[4] = "F0 7F 7F 06 05 F7";
             keys[5] = "F0 7F 7F 06 04 F7";
             auto f = std::make_unique<TSpecialKeyForm>(context.Model, context.Notices, commands);
             f->ShowSpecialKeys(0);
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"AboutForm", [](Context&) { return std::unique_ptr<QWidget>(std::make_unique<TAboutForm>()); }},
        {"InstructionsForm",
         [](Context&) {
             static QTemporaryDir folder;
             QFile text(folder.filePath("Documentation 1a.txt"));
             if (text.open(QIODevice::WriteOnly))
                 text.write(
                     "Morvelant Editor - Instructions\r\n"
                     "===============================\r\n\r\n"
                     "1. Connect the Morvelant to a MIDI port.\r\n"
                     "2. Choose the ports in Settings / Midi Device Settings.\r\n"
                     "3. Move a fader of the Virtual Morvelant: its event is sent.\r\n");
             text.close();
             auto f = std::make_unique<TInstructionsForm>(folder.path().toStdString());
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"PatternParameterForm",
         [](Context& c) {
             static CommandRegistry commands;
             auto f = std::make_unique<TPatternParameterForm>(c.model, PatternScene(c.model), commands);
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"TrackParameterForm",
         [](Context& c) {
             auto f = std::make_unique<TTrackParameterForm>(c.model, PatternScene(c.model));
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"EventEditForm",
         [](Context& c) {
             // Three tracks shown, note names in the left column, the rows
             // of the scene's notes in view.
             static QTemporaryDir folder;
             const std::string config = folder.path().toStdString() + "/Morvelant.cfg";
             TIniFile ini(config);
             for (int t = 1; t <= 3; ++t) ini.WriteBool("Event Edit Form", "TrackDisplay" + std::to_string(t), true);
             ini.WriteInteger("Event Edit Form", "typeflag", 2);
             auto f = std::make_unique<TEventEditForm>(c.model, PatternScene(c.model), config);
             f->Show();
             f->ScrollBar1->setValue(70);
             f->EventImageMouseMove(f->View.NoteAreaWidth / 3, f->View.NoteAreaHeight / 2);
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"SequencerForm",
         [](Context& c) {
             // No ports: the window as it stands before a start.
             static MidiRouting none;
             auto f = std::make_unique<TSequencerForm>(c.model, PatternScene(c.model),
                                                       std::make_unique<RoutingPlaybackPorts>(none, nullptr));
             f->ShowCount("1.1");
             f->Show();
             return std::unique_ptr<QWidget>(std::move(f));
         }},
        {"MainMenuForm",
         [](Context&) {
             // The menu strip, and below it the File, Edit, Options and
             // Windows menus opened out, side by side.
             static QTemporaryDir folder;
             static DeviceContext context;
             static CommandRegistry commands;
             TMainMenuForm form(context.DeviceEngine, commands, folder.path().toStdString(), {});
             form.MainMenuPasteFaderKey->setEnabled(true);
             form.MainMenuWarningMessages->setChecked(true);
             form.MainMenuMotorFaders->setChecked(true);
             form.MainFormWindowsVirtualMorvelant->setChecked(true);
             // As after a click into the preset list: its File and Edit
             // menus, and Ctrl+N on Windows > Preset Notes (the Virtual
             // Morvelant's File menu, not shown, would take it for Send).
             form.ShowMenuPair(form.PresetFormFileMenu, form.PresetFormEditMenu);
             form.show();
             for (int i = 0; i < 10; ++i) QApplication::processEvents();
             const QPixmap strip = form.grab();
             std::vector<QPixmap> menus;
             for (QMenu* m :
                  {form.PresetFormFileMenu, form.PresetFormEditMenu, form.MainFormOptionsMenu, form.MainFormWindowsMenu}) {
                 m->adjustSize();
                 menus.push_back(m->grab());
             }
             int width = 0, height = 0;
             for (const QPixmap& m : menus) {
                 width += m.width() + 8;
                 height = std::max(height, m.height());
             }
             QPixmap all(std::max(width, strip.width()), strip.height() + 8 + height);
             all.fill(Qt::white);
             QPainter painter(&all);
             painter.drawPixmap(0, 0, strip);
             int x = 0;
             for (const QPixmap& m : menus) {
                 painter.drawPixmap(x, strip.height() + 8, m);
                 x += m.width() + 8;
             }
             painter.end();
             form.hide();
             auto label = std::make_unique<QLabel>();
             label->setPixmap(all);
             label->setFixedSize(all.size());
             return std::unique_ptr<QWidget>(std::move(label));
         }},
    };
}

}  // namespace

int main(int argc, char** argv) {
    // Ports without any MIDI server, the same on every machine.
    qputenv("MIDIKIT_BACKEND", "loopback");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [window ...]\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    std::vector<std::string> only(argv + 2, argv + argc);

    // The windows read and write their configuration: keep it away from the
    // program directory.
    QTemporaryDir config;
    SetProgramDirectory(config.path().toStdString());

    Context context;
    int failures = 0;
    int taken = 0;
    for (const Shot& shot : Windows()) {
        if (!only.empty() && std::find(only.begin(), only.end(), shot.name) == only.end()) continue;
        std::unique_ptr<QWidget> w = shot.make(context);
        w->show();
        w->raise();
        // Let the window manager-less server map and paint it.
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
            QThread::msleep(10);
        }
        const QPixmap pixmap = w->grab();
        const QString file = QDir(out).filePath(QString::fromLatin1(shot.name) + QStringLiteral(".png"));
        if (pixmap.isNull() || !pixmap.save(file, "PNG")) {
            std::fprintf(stderr, "%s: could not save %s\n", shot.name, qPrintable(file));
            ++failures;
        } else {
            std::printf("%s %dx%d\n", qPrintable(file), pixmap.width(), pixmap.height());
            ++taken;
        }
        w->hide();
    }
    SetProgramDirectory("");
    if (taken == 0 && failures == 0) std::fprintf(stderr, "no window of that name\n");
    return failures == 0 && taken > 0 ? 0 : 1;
}
