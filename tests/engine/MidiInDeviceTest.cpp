// The MIDI input dispatch: what one incoming event does, how the device's
// dumps are gathered, classified and loaded, and MIDI thru.
#include <QCoreApplication>
#include <QTimer>

#include <chrono>

#include "DispatchTestSupport.h"
#include "engine/FileCommands.h"
#include "engine/MonitorRows.h"
#include "platform/Dialogs.h"

namespace morvelant::dispatchtest {
namespace {

std::vector<uint8_t> Header(uint8_t family, uint8_t b5, uint8_t b6, uint8_t b7, uint8_t b8) {
    return {0xF0, 0x00, 0x4D, 0x56, family, b5, b6, b7, b8};
}

SysexBuffer Events(const std::vector<uint8_t>& bytes) { return DumpFromBytes(bytes); }

SysexBuffer ValueDump(const Morvelant_Parameters& p, int slot) {
    SysexBuffer b;
    BuildPresetValueDump(b, static_cast<uint8_t>(slot), p);
    return b;
}

Morvelant_Parameters SomePreset(int seed) {
    Morvelant_Parameters p;
    for (int i = 0; i < kWordCount; ++i) p.W[static_cast<size_t>(i)] = (i * 7 + seed) & 0xFF;
    const std::string name = "Strings" + std::to_string(seed % 10);
    for (int k = 0; k < kNameLength; ++k) p.PresetName(k) = CharToWord(name[static_cast<size_t>(k)]);
    return p;
}

TEST(ClassifyDump, ReadsFamilyCommandAndSlotBytes) {
    struct Case {
        std::vector<uint8_t> bytes;
        int kind;
        int slot;
    };
    const std::vector<Case> cases = {
        {Header(0x12, 0x00, 0x20, 0x01, 5), 1, 5},
        {Header(0x12, 0x00, 0x20, 0x03, 70), 3, 70},
        {Header(0x12, 0x7F, 0x7F, 0x04, 127), 4, 127},  // bytes 5 and 6 are not examined
        {Header(0x14, 0x00, 0x20, 9, 0), 5, 9},  // the knob family: kind in byte 6, slot in 7
        {Header(0x14, 0x55, 0x30, 3, 0), 6, 3},
        {Header(0x12, 0x00, 0x20, 0x02, 1), -1, 0},  // unknown command
        {Header(0x14, 0x00, 0x21, 1, 0), -1, 0},  // unknown knob kind
        {Header(0x13, 0x00, 0x20, 0x04, 1), -1, 0},  // unknown family
        {{0xF0, 0x00, 0x4D, 0x57, 0x12, 0x00, 0x20, 0x04, 1}, -1, 0},  // another maker
        {{0x00, 0x00, 0x4D, 0x56, 0x12, 0x00, 0x20, 0x04, 1}, -1, 0},  // no F0 first
        {{0xF0, 0x00, 0x4D, 0x56, 0x12, 0x00, 0x20, 0x04}, -1, 0},  // slot byte missing
        {{0xF0, 0x00, 0x4D, 0x56, 0x14, 0x00, 0x20}, -1, 0},  // too short for either family
        {{}, -1, 0},
    };
    for (const auto& c : cases) {
        const SysexBuffer ev = Events(c.bytes);
        const DumpClass got = TMidiDeviceForm::ClassifyDump(ev);
        EXPECT_EQ(got.kind, c.kind) << ::testing::PrintToString(c.bytes);
        if (c.kind != -1) { EXPECT_EQ(got.slot, c.slot); }
    }
}

using MidiInDevice = DispatchFixture;

TEST_F(MidiInDevice, EveryEventLightsTheLampAndIsLoggedWithItsPort) {
    Receive(1, Ev(0x90, 60, 100, 1234));
    Receive(3, Ev(0xF8, 0, 0, 5));
    EXPECT_EQ(hooks.InActivity, 2);
    ASSERT_EQ(hooks.LoggedIn.size(), 2u);
    EXPECT_EQ(hooks.LoggedIn[0].port, 1);
    EXPECT_EQ(hooks.LoggedIn[0].event.time, 1234u);  // logged as it came in
    EXPECT_EQ(hooks.LoggedIn[1].port, 3);
}

TEST_F(MidiInDevice, HandlersCarryTheirPortNumber) {
    ASSERT_NE(form->In(0), nullptr);
    EXPECT_EQ(form->In(49), form->findChild<TMidiKitIn*>("MidiKitIn49"));
    EXPECT_EQ(form->In(50), nullptr);
    EXPECT_EQ(form->In(-1), nullptr);
    TMidiKitIn* in17 = form->findChild<TMidiKitIn*>("MidiKitIn17");
    ASSERT_EQ(form->In(17), in17);
    MidiEvent e = Ev(0xB0, 7, 1);
    bool accept = true;
    in17->OnMidiData(&e, &accept);  // the one handler, told its port
    EXPECT_EQ(form->CurrentPort(), 17);
    ASSERT_EQ(hooks.LoggedIn.size(), 1u);
    EXPECT_EQ(hooks.LoggedIn[0].port, 17);
    EXPECT_TRUE(accept);  // left as the toolkit set it
}

// Virtual input 1 on port 0; fader 5 multiplies Note On velocities on output
// 1 (port 1) by its value / 128.
class MidiInDeviceFaders : public DispatchFixture {
protected:
    void SetUp() override {
        DispatchFixture::SetUp();
        routing.In1DeviceFlags[0] = true;
        routing.Out1DeviceFlags[1] = true;
        auto& p = model.Presets[0];
        p.FaderStatus(5) = 0x90;
        p.FaderMidiData1(5) = 60;
        p.FaderMidiMode(5) = 1 | (4 << 3);  // output 1, VelMulAll
        model.FaderStates[5].Value = 64;
    }
};

TEST_F(MidiInDeviceFaders, NoteOnGoesThroughTheInputFunctionAndOut) {
    Receive(0, Ev(0x90, 61, 100, 77));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (PortEvent{1, Ev(0x90, 61, 50, 0xFFFFFFFFu)}));  // time: sent at once
}

TEST_F(MidiInDeviceFaders, OnlyNoteAndControlChangeReachTheFaders) {
    model.Presets[0].FaderStatus(5) = 0xC0;
    Receive(0, Ev(0xC0, 61, 100));  // a program change with a matching status
    EXPECT_TRUE(sent.empty());
}

TEST_F(MidiInDeviceFaders, ThruPassesTheEventAsItCameWhenAFaderTookIt) {
    routing.ThruInDeviceFlags[0] = true;
    routing.ThruDeviceFlags[3] = true;
    routing.Thru = true;
    Receive(0, Ev(0x90, 61, 100));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (PortEvent{1, Ev(0x90, 61, 50, 0xFFFFFFFFu)}));
    EXPECT_EQ(sent[1], (PortEvent{3, Ev(0x90, 61, 100, 0xFFFFFFFFu)}));
}

class MidiInDeviceThru : public DispatchFixture {
protected:
    void SetUp() override {
        DispatchFixture::SetUp();
        routing.ThruInDeviceFlags[1] = true;
        routing.ThruDeviceFlags[0] = true;
        routing.ThruDeviceFlags[3] = true;
        routing.Thru = true;
    }
};

TEST_F(MidiInDeviceThru, ControlChangeGoesToEveryThruOutputInOrderAndIsLogged) {
    Receive(1, Ev(0xB0, 7, 100, 99));
    const std::vector<PortEvent> want = {{0, Ev(0xB0, 7, 100, 0xFFFFFFFFu)}, {3, Ev(0xB0, 7, 100, 0xFFFFFFFFu)}};
    EXPECT_EQ(sent, want);
    EXPECT_EQ(hooks.LoggedOut, want);
    EXPECT_EQ(hooks.OutActivity, 2);
}

// Two sources' messages interleaved on their way out: the monitor shows
// each one whole, on every output, as the wire carries it.
TEST_F(MidiInDeviceThru, TheMonitorShowsEachSourcesSysexWholeAsSent) {
    routing.SysexThru = true;
    routing.OutNames = {"Out A", "Out B", "Out C", "Synth"};
    MidiMonitorRows rows;
    rows.Routing = &routing;
    rows.MonitorEnabled = true;
    const Subscription shown = notices.MonitorLine.Subscribe(
        [&](int port, const MidiEvent& e, bool incoming, int source) { rows.LogEvent(port, e, incoming, source); });
    ReceiveBytes(1, {0xF0, 0x7D, 0x01});
    ReceiveBytes(kDevicePort, {0xF0, 0x7D, 0x03, 0xF7});
    ReceiveBytes(1, {0x02, 0xF7});
    std::vector<std::string> sentRows;
    for (int row = 1; row < rows.RowCount(); ++row)
        if (rows.Cell(1, row) == "PC -->") sentRows.push_back(rows.Cell(2, row) + ": " + rows.HexListing(row).substr(8));
    const std::vector<std::string> want = {"Out A: 0000 (   0):F0 7D 03 F7\n", "Synth: 0000 (   0):F0 7D 03 F7\n",
                                           "Out A: 0000 (   0):F0 7D 01 02 F7\n",
                                           "Synth: 0000 (   0):F0 7D 01 02 F7\n"};
    EXPECT_EQ(sentRows, want);
}

TEST_F(MidiInDeviceThru, OnlyThruInputsAndTheDevicePortAreSources) {
    Receive(0, Ev(0xB0, 7, 100));
    EXPECT_TRUE(sent.empty());
    Receive(kDevicePort, Ev(0xB0, 7, 101));
    EXPECT_EQ(sent.size(), 2u);
}

TEST_F(MidiInDeviceThru, ThruSwitchOffPassesNothing) {
    routing.Thru = false;
    Receive(1, Ev(0xB0, 7, 100));
    EXPECT_TRUE(sent.empty());
}

TEST_F(MidiInDeviceThru, RealtimeAndSysexEachNeedTheirOwnSwitch) {
    Receive(1, Ev(0xF8));
    Receive(1, Ev(0xF0, 0xF0));
    EXPECT_TRUE(sent.empty());
    routing.RealtimeThru = true;
    Receive(1, Ev(0xF8, 0, 0, 55));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].event.status, 0xF8);
    EXPECT_EQ(sent[0].event.time, 0xFFFFFFFFu);
    sent.clear();
    routing.SysexThru = true;
    Receive(1, Ev(0xF0, 0x41, 0, 55));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].event.time, 0u);  // system-exclusive bytes carry time 0
    EXPECT_EQ(sent[0].event.data1, 0x41);
}

TEST_F(MidiInDeviceThru, SysexFromTheDevicePortIsGatheredButNotPassedWithoutSysexThru) {
    const Morvelant_Parameters p = SomePreset(3);
    ReceiveDump(kDevicePort, ValueDump(p, 6));
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(model.Presets[6].W, p.W);
}

TEST_F(MidiInDeviceThru, ThruGoesNoFurtherThanTheOutputCount) {
    routing.NumOutDevs = 2;
    Receive(1, Ev(0xB0, 7, 100));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].port, 0);
}

TEST_F(MidiInDevice, ValuesDumpFromTheDeviceLandsInItsSlot) {
    const Morvelant_Parameters p = SomePreset(1);
    model.Presets[9].SliderName[0] = "Old";
    ReceiveDump(kDevicePort, ValueDump(p, 9));
    EXPECT_EQ(model.Presets[9].W, p.W);
    EXPECT_EQ(model.Presets[9].SliderName[0], "");
    EXPECT_EQ(model.SelectedPreset, 9);
    EXPECT_EQ(hooks.PresetListShown, 1);
    EXPECT_EQ(hooks.ShownPresets, std::vector<bool>{false});
    EXPECT_EQ(hooks.PresetData, std::vector<int>{9});
}

TEST_F(MidiInDevice, TextDumpFromTheDeviceLandsAndSendsThePresetKey) {
    Morvelant_Parameters p;
    p.FaderMidiData1(0) = 2;
    p.FaderString[0] = "B0 07 XX";
    p.SpecialKeyString[0] = "C0 05";
    p.SliderName[3] = "Bass";
    model.Presets[11].FaderMidiData1(0) = 2;
    SysexBuffer b;
    BuildPresetTextDump(b, 11, p);
    ReceiveDump(kDevicePort, b);
    EXPECT_EQ(model.Presets[11].FaderString[0], "B0 07 XX");
    EXPECT_EQ(model.Presets[11].SpecialKeyString[0], "C0 05");
    EXPECT_EQ(model.Presets[11].SliderName[3], "Bass    ");
    EXPECT_EQ(model.SelectedPreset, 11);
    EXPECT_EQ(hooks.ShownPresets, std::vector<bool>{true});
}

TEST_F(MidiInDevice, PatternDumpLandsAndShowsThePatternWindows) {
    Pattern_Parameters pat;
    for (int i = 0; i < kWordCount; ++i) pat.W[static_cast<size_t>(i)] = (i * 3) & 0xFF;
    SysexBuffer b;
    BuildPatternDump(b, 33, pat);
    ReceiveDump(kDevicePort, b);
    EXPECT_EQ(model.Patterns[33].W, pat.W);
    EXPECT_EQ(model.SelectedPattern, 33);
    EXPECT_EQ(hooks.PatternEditorsShown, 1);
    EXPECT_EQ(hooks.PatternsShown, std::vector<int>{33});
    EXPECT_EQ(hooks.PatternData, std::vector<int>{33});
    EXPECT_TRUE(hooks.ShownPresets.empty());
}

TEST_F(MidiInDevice, OnlyWholeKnobPresetsAreHandedToTheConversion) {
    std::vector<uint8_t> bytes = Header(0x14, 0x00, 0x20, 12, 0x11);
    for (int i = 0; i < 48; ++i) bytes.push_back(static_cast<uint8_t>(i));
    bytes.push_back(0xF7);
    ReceiveBytes(kDevicePort, bytes);
    ASSERT_EQ(hooks.VellixaImports.size(), 1u);
    EXPECT_EQ(hooks.VellixaImports[0].first, 12);
    EXPECT_EQ(hooks.VellixaImports[0].second, bytes);
    // The conversion shows the slot when it is done, not the dispatch.
    EXPECT_TRUE(hooks.ShownPresets.empty());

    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 40);
    cut.push_back(0xF7);
    std::vector<uint8_t> slot80 = bytes;
    slot80[7] = 0x80;
    for (const auto& bad : {cut, slot80}) {
        ReceiveBytes(kDevicePort, bad);
        EXPECT_EQ(form->ProcessReceivedDump(Events(bad), 3, "0"), kDumpUnknown);
    }
    EXPECT_EQ(hooks.VellixaImports.size(), 1u);
    // Each damaged one, received or handed over, is said in the monitor.
    EXPECT_EQ(hooks.MonitorNotes, std::vector<std::string>(4, "Sysex ignored: damaged vellixa preset"));
}

TEST_F(MidiInDevice, ForeignAndKind30MessagesChangeNothing) {
    const auto before = model.Presets;
    std::vector<uint8_t> kind30 = Header(0x14, 0x00, 0x30, 1, 0);
    kind30.push_back(0xF7);
    ReceiveBytes(kDevicePort, kind30);
    ReceiveBytes(kDevicePort, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7});
    EXPECT_EQ(model.Presets, before);
    EXPECT_TRUE(hooks.VellixaImports.empty());
    EXPECT_TRUE(hooks.ShownPresets.empty());
    EXPECT_EQ(hooks.PresetListShown, 0);
}

TEST_F(MidiInDevice, SysexFromAnotherPortIsNotGathered) {
    ReceiveDump(0, ValueDump(SomePreset(2), 5));
    EXPECT_EQ(model.Presets[5].W, fresh.Presets[5].W);
    EXPECT_EQ(form->ReceiveCount(), 0);
}

TEST_F(MidiInDevice, NoDevicePortGathersNothing) {
    routing.MorvelantPCDeviceIndex = routing.NumInDevs;  // "no device"
    ReceiveDump(kDevicePort, ValueDump(SomePreset(2), 5));
    EXPECT_EQ(model.Presets[5].W, fresh.Presets[5].W);
}

TEST_F(MidiInDevice, ShortValueAndPatternDumpsAreIgnoredNotReadFromStaleBytes) {
    // A full dump first leaves its bytes in the receive buffer ...
    ReceiveDump(kDevicePort, ValueDump(SomePreset(4), 1));
    ASSERT_EQ(model.Presets[1].W, SomePreset(4).W);
    // ... then short dumps for other slots must not be completed from them.
    std::vector<uint8_t> shortValues = Header(0x12, 0x00, 0x20, 0x04, 2);
    shortValues.insert(shortValues.end(), {0x41, 0x00, 0xF7});
    ReceiveBytes(kDevicePort, shortValues);
    std::vector<uint8_t> shortPattern = Header(0x12, 0x00, 0x20, 0x01, 3);
    shortPattern.push_back(0xF7);
    ReceiveBytes(kDevicePort, shortPattern);
    EXPECT_EQ(model.Presets[2].W, fresh.Presets[2].W);
    EXPECT_EQ(model.Patterns[3].W, fresh.Patterns[3].W);
    EXPECT_EQ(model.SelectedPreset, 1);

    // The same through the loader's own entry.
    SysexBuffer full = ValueDump(SomePreset(5), 2);
    EXPECT_EQ(form->ProcessReceivedDump(std::span<const MidiEvent>(full.data(), 1033), -1, "0"), -1);
    EXPECT_EQ(form->ProcessReceivedDump(full, -1, "0"), 4);
}

TEST_F(MidiInDevice, DamagedTextDumpLeavesThePresetAlone) {
    model.Presets[4].FaderString[1] = "90 3C 7F";
    std::vector<uint8_t> bytes = Header(0x12, 0x00, 0x20, 0x03, 4);
    // size, slot pair, then an entry that claims far more than there is.
    bytes.insert(bytes.end(), {0x10, 0, 0, 0, 4, 0, 0x7F, 0x01, 0, 0, 1, 0, 0x30, 0x01, 0xF7});
    ReceiveBytes(kDevicePort, bytes);
    EXPECT_EQ(model.Presets[4].FaderString[1], "90 3C 7F");
}

TEST_F(MidiInDevice, SecondF0RestartsTheMessage) {
    const SysexBuffer dump = ValueDump(SomePreset(6), 8);
    ReceiveBytes(kDevicePort, {0xF0, 0x00, 0x4D, 0x56, 0x12, 0x00, 0x20, 0x04, 20, 0x11, 0x22});
    ReceiveDump(kDevicePort, dump);
    EXPECT_EQ(model.Presets[8].W, SomePreset(6).W);
    EXPECT_EQ(model.Presets[20].W, fresh.Presets[20].W);
}

TEST_F(MidiInDevice, BytesAfterAnF7DoNotReloadTheEarlierDump) {
    ReceiveDump(kDevicePort, ValueDump(SomePreset(6), 8));
    ASSERT_EQ(hooks.PresetListShown, 1);
    ReceiveBytes(kDevicePort, {0x01, 0x02, 0xF7});  // stray bytes without an F0
    EXPECT_EQ(hooks.PresetListShown, 1);
}

TEST_F(MidiInDevice, NamelessValuesDumpGetsASlotName) {
    Morvelant_Parameters p = SomePreset(7);
    for (int k = 0; k < kNameLength; ++k) p.PresetName(k) = 0;
    ReceiveDump(kDevicePort, ValueDump(p, 4));
    EXPECT_EQ(model.GetPresetDeviceName(4), "Preset 5");
    ReceiveDump(kDevicePort, ValueDump(p, 70));
    EXPECT_EQ(model.GetPresetDeviceName(70), "Preset71");
    // A given name is padded with blanks; a long one keeps 8 characters.
    const SysexBuffer d = ValueDump(p, 0);
    EXPECT_EQ(form->ProcessReceivedDump(d, 40, "Pad"), 4);
    EXPECT_EQ(model.GetPresetDeviceName(40), "Pad     ");
    EXPECT_EQ(form->ProcessReceivedDump(d, 41, "LongTrackName"), 4);
    EXPECT_EQ(model.GetPresetDeviceName(41), "LongTrac");
    EXPECT_EQ(form->ProcessReceivedDump(d, 119, "0"), 4);
    EXPECT_EQ(model.GetPresetDeviceName(119), "Preset12");
    // Only the name words change.
    for (int i = kNameLength; i < kWordCount; ++i)
        EXPECT_EQ(model.Presets[40].W[static_cast<size_t>(i)], p.W[static_cast<size_t>(i)]);
}

TEST_F(MidiInDevice, NamedValuesDumpKeepsItsName) {
    const SysexBuffer d = ValueDump(SomePreset(3), 0);
    EXPECT_EQ(form->ProcessReceivedDump(d, 50, "Other"), 4);
    EXPECT_EQ(model.GetPresetDeviceName(50), "Strings3");
}

TEST_F(MidiInDevice, SlotOverrideAndSlotRange) {
    const SysexBuffer d = ValueDump(SomePreset(3), 2);
    EXPECT_EQ(form->ProcessReceivedDump(d, 100, "0"), 4);
    EXPECT_EQ(model.Presets[100].W, SomePreset(3).W);
    EXPECT_EQ(model.Presets[2].W, fresh.Presets[2].W);
    EXPECT_EQ(form->ProcessReceivedDump(d, 128, "0"), -1);
    EXPECT_EQ(form->ProcessReceivedDump(d, -2, "0"), -1);
}

TEST_F(MidiInDevice, OverrunIsReportedAfterTheHandlerAndTheRemainderRefused) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    ReceiveBytes(kDevicePort, {0xF0, 0x00, 0x4D, 0x56, 0x12, 0x00, 0x20, 0x04, 1});
    for (int i = 9; i < TMidiDeviceForm::kReceiveBufferSize * 2 + 10; ++i) Receive(kDevicePort, Ev(0xF0, 0x01));
    // Two overruns, no box inside the handler ...
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(form->OverrunPending());
    ReceiveBytes(kDevicePort, {0x00, 0xF7});
    EXPECT_EQ(model.Presets[1].W, fresh.Presets[1].W);  // the remainder has no F0 first
    // ... and one box once the event loop runs.
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.Messages(), std::vector<std::string>{"Midi Buffer Overrun"});
    EXPECT_EQ(dialogs.calls[0].caption, "Error");
    EXPECT_FALSE(form->OverrunPending());
    // Reception goes on normally afterwards.
    ReceiveDump(kDevicePort, ValueDump(SomePreset(8), 1));
    EXPECT_EQ(model.Presets[1].W, SomePreset(8).W);
}

TEST_F(MidiInDevice, DumpsForSlotsPastTheListedBuffersAreListedAndSaved) {
    model.ProgramPath = ::testing::TempDir();
    Pattern_Parameters pat;
    pat.W[100] = 77;
    SysexBuffer patternDump;
    BuildPatternDump(patternDump, 100, pat);
    Morvelant_Parameters text = SomePreset(4);
    text.SpecialKeyString[0] = "C0 05";
    SysexBuffer textDump;
    BuildPresetTextDump(textDump, 90, text);
    struct Case {
        SysexBuffer dump;
        int slot;
        bool pattern;
    };
    for (const Case& c : {Case{ValueDump(SomePreset(2), 80), 80, false}, Case{textDump, 90, false},
                          Case{patternDump, 100, true}}) {
        ReceiveDump(kDevicePort, c.dump);
        const int count = c.pattern ? model.PatternEditBufferCount : model.PresetEditBufferCount;
        EXPECT_EQ(count, c.slot - kDeviceSlots + 1) << c.slot;
        EXPECT_EQ((c.pattern ? model.PatternEditBufferNames : model.PresetEditBufferNames).size() + 1,
                  std::size_t(count)) << c.slot;  // buffer 0's name is the list's own
    }
    ASSERT_TRUE(SavePresetWorkingSet(model));
    ASSERT_TRUE(SavePatternWorkingSet(model));
    DeviceModel next(model.ProgramPath);
    ASSERT_TRUE(LoadPresetWorkingSet(next, ""));
    ASSERT_TRUE(LoadPatternWorkingSet(next, ""));
    EXPECT_EQ(next.Presets[80].W, SomePreset(2).W);
    EXPECT_EQ(next.Presets[90].SpecialKeyString[0], "C0 05");
    EXPECT_EQ(next.Patterns[100].W[100], 77);
}

// Answers a box and, while it is open, lets more damaged dumps arrive, as
// the event loop of a real modal box would.
struct BoxWithTraffic : ScriptedDialogs {
    std::function<void()> meanwhile;
    int open = 0;
    int nested = 0;
    MessageResult MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             MessageIcon icon) override {
        nested += open;
        ++open;
        if (meanwhile) meanwhile();
        QCoreApplication::processEvents();
        --open;
        return ScriptedDialogs::MessageBox(text, caption, buttons, icon);
    }
};

TEST_F(MidiInDevice, DamagedDumpsAreSaidOnceABurstAfterTheHandler) {
    BoxWithTraffic dialogs;
    ScopedDialogs scope(dialogs);
    const SysexBuffer whole = ValueDump(SomePreset(5), 5);
    std::vector<uint8_t> cut = DumpBytes(whole);
    cut.resize(500);
    cut.push_back(0xF7);  // 501 bytes of a values dump
    std::vector<uint8_t> shortPattern = Header(0x12, 0x00, 0x20, 0x01, 7);
    shortPattern.push_back(0xF7);
    std::vector<uint8_t> knob = Header(0x14, 0x00, 0x20, 12, 0x11);
    knob.push_back(0xF7);
    // The few seconds after OK last as long as the test needs.
    auto* quiet = form->findChild<QTimer*>("DamagedDumpsQuietTime");
    if (quiet != nullptr) quiet->setInterval(std::chrono::hours(1));
    for (const auto& bad : {cut, shortPattern, knob}) ReceiveBytes(kDevicePort, bad);
    EXPECT_TRUE(dialogs.calls.empty());  // nothing inside the handler
    EXPECT_EQ(model.Presets[5].W, fresh.Presets[5].W);
    // One box for the burst, naming the first; no second box opens over it,
    // nor right after OK: what arrives while it is open and just after is
    // counted and said once the quiet time after it is over.
    int arriving = 2;
    dialogs.meanwhile = [&] {
        for (; arriving > 0; --arriving) ReceiveBytes(kDevicePort, arriving == 2 ? shortPattern : cut);
    };
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ReceiveBytes(kDevicePort, knob);
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0],
              "3 damaged dumps from the Morvelant were not loaded. The first: preset values dump for preset 6 (501 "
              "of 1034 bytes).");
    ASSERT_NE(quiet, nullptr);
    quiet->setInterval(0);  // the quiet time is over
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.Messages().size(), 2u);
    EXPECT_EQ(dialogs.Messages()[1],
              "3 more damaged dumps from the Morvelant came in since that message was shown and were not loaded. "
              "The first: pattern dump for pattern 8 (10 of 1034 bytes).");
    EXPECT_EQ(dialogs.nested, 0);
    EXPECT_FALSE(form->DamagedDumpsPending());
    // A later one, after a quiet time without any, is said again; an
    // unknown message is not.
    dialogs.meanwhile = nullptr;
    ReceiveBytes(kDevicePort, {0xF0, 0x01, 0x02, 0xF7});
    ReceiveBytes(kDevicePort, shortPattern);
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.Messages().size(), 3u);
    EXPECT_EQ(dialogs.Messages()[2], "A damaged dump from the Morvelant was not loaded: pattern dump for pattern 8 (10 of 1034 bytes).");
}

// A burst far longer than one turn of the event loop: every damaged dump is
// counted, however many come in while a box is open.
TEST_F(MidiInDevice, EveryDamagedDumpOfALongBurstIsCounted) {
    BoxWithTraffic dialogs;
    ScopedDialogs scope(dialogs);
    std::vector<uint8_t> shortPattern = Header(0x12, 0x00, 0x20, 0x01, 7);
    shortPattern.push_back(0xF7);
    int left = 500;
    auto some = [&](int n) {
        for (; n > 0 && left > 0; --n, --left) ReceiveBytes(kDevicePort, shortPattern);
    };
    if (auto* quiet = form->findChild<QTimer*>("DamagedDumpsQuietTime")) quiet->setInterval(0);  // no quiet time
    some(26);
    dialogs.meanwhile = [&] { some(200); };
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    int said = 0;
    for (const std::string& m : dialogs.Messages())
        said += m.rfind("A damaged", 0) == 0 ? 1 : std::stoi(m);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(said, 500) << ::testing::PrintToString(dialogs.Messages());
    EXPECT_EQ(dialogs.nested, 0);
}

// A value pair is the low seven bits and the eighth bit: any second byte but
// 0 or 1 is a damaged dump, said, and nothing of it is loaded.
TEST_F(MidiInDevice, AValuePairBeyondEightBitsIsADamagedDump) {
    ScriptedDialogs dialogs;
    ScopedDialogs scope(dialogs);
    struct Case {
        bool pattern;
        std::size_t pair;  // which of the 512 pairs
        uint8_t low, high;
        const char* said;
    };
    const Case cases[] = {
        {false, 100, 0x7F, 0x7F, "preset values dump for preset 3 (value 101 reads 7F 7F)"},
        {false, 0, 0x41, 0x02, "preset values dump for preset 3 (value 1 reads 41 02)"},
        {true, 511, 0x7F, 0x7F, "pattern dump for pattern 3 (value 512 reads 7F 7F)"},
    };
    if (auto* quiet = form->findChild<QTimer*>("DamagedDumpsQuietTime")) quiet->setInterval(0);  // no quiet time
    for (const Case& c : cases) {
        dialogs.calls.clear();
        SysexBuffer dump;
        Pattern_Parameters pattern;
        pattern.W.fill(0x11);
        if (c.pattern)
            BuildPatternDump(dump, 2, pattern);
        else
            dump = ValueDump(SomePreset(3), 2);
        dump[9 + 2 * c.pair].data1 = c.low;
        dump[10 + 2 * c.pair].data1 = c.high;
        ReceiveDump(kDevicePort, dump);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();  // and the quiet time after the box
        EXPECT_EQ(model.Presets[2].W, fresh.Presets[2].W) << c.said;
        EXPECT_EQ(model.Patterns[2].W, fresh.Patterns[2].W) << c.said;
        ASSERT_EQ(dialogs.Messages().size(), 1u) << c.said;
        EXPECT_EQ(dialogs.Messages()[0], std::string("A damaged dump from the Morvelant was not loaded: ") + c.said + ".");
    }
}

class MidiInDeviceLearn : public DispatchFixture {
protected:
    void SetUp() override {
        DispatchFixture::SetUp();
        routing.In1DeviceFlags[0] = true;
        routing.Out1DeviceFlags[1] = true;
        routing.ThruInDeviceFlags[0] = true;
        routing.ThruDeviceFlags[3] = true;
        routing.Thru = routing.SysexThru = routing.RealtimeThru = true;
        model.Presets[0].FaderStatus(5) = 0x90;
        model.Presets[0].FaderMidiMode(5) = 1 | (4 << 3);
        model.FaderStates[5].Value = 64;
        model.LearnMode = 1;
        model.LearnFader = 9;
        model.LearnCount = 0;
    }
};

TEST_F(MidiInDeviceLearn, LearnTakesEverythingAndNothingElseHappens) {
    model.LearnMode = 0;  // waits for a channel message
    ReceiveDump(kDevicePort, ValueDump(SomePreset(1), 3));  // would be gathered and loaded
    ReceiveBytes(kDevicePort, {0xF0, 0x00, 0x4D});  // would stay in the receive buffer
    Receive(0, Ev(0xF8));  // would pass thru
    EXPECT_EQ(model.LearnMode, 0);
    Receive(0, Ev(0x90, 60, 100));  // a fader would take it, thru pass it
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(model.Presets[3].W, fresh.Presets[3].W);
    EXPECT_EQ(form->ReceiveCount(), 0);
    EXPECT_EQ(hooks.InActivity, 1034 + 3 + 2);
    EXPECT_EQ(hooks.LoggedIn.size(), 1034u + 3u + 2u);
    EXPECT_EQ(model.Presets[0].FaderStatus(9), 0x90);
    EXPECT_EQ(model.Presets[0].FaderMidiData1(9), 60);
    EXPECT_EQ(model.Presets[0].FaderMidiData2(9), 100);
    EXPECT_EQ(model.LearnMode, -1);
}

TEST_F(MidiInDeviceLearn, AfterLearnEventsGoToFadersAgain) {
    model.LearnMode = 0;
    Receive(0, Ev(0xB1, 7, 100));
    EXPECT_EQ(model.LearnMode, -1);
    EXPECT_TRUE(sent.empty());
    Receive(0, Ev(0x90, 60, 100));
    EXPECT_EQ(sent.size(), 2u);  // the fader's output and thru
}

}  // namespace
}  // namespace morvelant::dispatchtest
