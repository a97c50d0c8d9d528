// The virtual device engine: range scaling, pick-up modes, master and slave,
// keys and their lamps, input functions, and indexes taken from outside.
#include "tests/engine/ToolTestSupport.h"

namespace morvelant::tooltest {
namespace {

using ToolScale = ToolFixture;

TEST_F(ToolScale, FullRangeIsExactAndOtherRangesRoundLikeTheDevice) {
    Fader(0, 0, 0, 0);
    ScaleToRange(engine, F(0), 0);
    EXPECT_EQ(F(0).Value, 127);
    ScaleToRange(engine, F(0), 127);
    EXPECT_EQ(F(0).Value, 0);
    EXPECT_EQ(F(0).PreviousValue, 127);

    Fader(1, 0, 0, 15, 20, 10);  // inverted
    ScaleToRange(engine, F(1), 0);
    EXPECT_EQ(F(1).Value, 10);
    ScaleToRange(engine, F(1), 127);
    EXPECT_EQ(F(1).Value, 20);

    Fader(2, 0, 0, 50, 0, 100);
    ScaleToRange(engine, F(2), 0);
    EXPECT_EQ(F(2).Value, 100);
    ScaleToRange(engine, F(2), 64);  // 0.5 + 63 * 100 / 127 = 50.1
    EXPECT_EQ(F(2).Value, 50);
}

TEST_F(ToolScale, EmptyRangeGivesItsValueAndShowsAtTheBottom) {
    Fader(3, 0, 0, 64, 64, 64);
    for (int p : {0, 50, 127}) {
        ScaleToRange(engine, F(3), p);
        EXPECT_EQ(F(3).Value, 64);
    }
    ShowValue(engine, F(3));
    ASSERT_EQ(hooks.FaderPositions.size(), 1u);
    EXPECT_EQ(hooks.FaderPositions[0], std::make_pair(3, 127));
}

TEST_F(ToolScale, ShowValueMovesControlsUnderTheGuardAndRestoresIt) {
    Fader(23, 0, 0, 100);  // the selected fader
    model.Updating = true;  // an outer fill is running
    ShowValue(engine, F(23));
    EXPECT_TRUE(model.Updating) << "the outer fill's guard must stay set";
    model.Updating = false;
    ShowValue(engine, F(23));
    EXPECT_FALSE(model.Updating);

    ASSERT_EQ(hooks.UpdatingWhileMoving.size(), 4u);
    for (bool b : hooks.UpdatingWhileMoving) EXPECT_TRUE(b);
    EXPECT_EQ(hooks.FaderPositions.back(), std::make_pair(23, 27));
    EXPECT_EQ(hooks.ParameterPositions.back(), 27);
    EXPECT_EQ(hooks.ParameterValues.back(), 100);
}

using ToolPickup = ToolFixture;

TEST_F(ToolPickup, ImmediateWaitsForTheThresholdThenSendsEveryChange) {
    Fader(0, 0, 8, 64);
    MoveTo(0, 60);
    MoveTo(0, 70);
    EXPECT_TRUE(sent.empty());
    MoveTo(0, 56);
    MoveTo(0, 60);
    MoveTo(0, 61);
    EXPECT_EQ(SentValues(), (std::vector<int>{56, 60, 61}));
    ASSERT_FALSE(sent.empty());
    EXPECT_TRUE(Same(sent[0].event, Ev(0xB0, 7, 56)));
    EXPECT_TRUE(F(0).Touched);
}

TEST_F(ToolPickup, ImmediateCatchesAboveTooAndStaysCaughtUntilReset) {
    Fader(0, 0, 8, 64);
    MoveTo(0, 72);
    MoveTo(0, 64);
    EXPECT_EQ(SentValues(), (std::vector<int>{72, 64}));
    Restart(0);
    sent.clear();
    MoveTo(0, 66);
    EXPECT_TRUE(sent.empty());
}

TEST_F(ToolPickup, CatchSendsOnlyOnceWithinTheWindow) {
    Fader(0, 2, 8, 100);
    MoveTo(0, 80);
    MoveTo(0, 91);
    EXPECT_TRUE(sent.empty());
    MoveTo(0, 92);
    MoveTo(0, 50);  // caught: every change is sent
    EXPECT_EQ(SentValues(), (std::vector<int>{92, 50}));

    Fader(1, 2, 8, 100);
    sent.clear();
    MoveTo(1, 120);
    MoveTo(1, 108);
    EXPECT_EQ(SentValues(), (std::vector<int>{108}));
}

TEST_F(ToolPickup, RelativeAddsTheStoredValueAndLimitsTo127) {
    Fader(0, 1, 0, 100);
    EXPECT_TRUE(F(0).Caught);
    MoveTo(0, 40);
    MoveTo(0, 20);
    MoveTo(0, 0);
    EXPECT_EQ(SentValues(), (std::vector<int>{127, 120, 100}));
}

TEST_F(ToolPickup, UnchangedValueMutedAndHookedFadersSendNothing) {
    Fader(0, 0, 0, 5, 0, 10);
    FaderMoved(engine, F(0), 0, false);  // 10
    FaderMoved(engine, F(0), 3, false);  // 0.5 + 124 * 10 / 127 = 10.26 -> 10 again
    EXPECT_EQ(SentValues(), (std::vector<int>{10}));

    Fader(1, 0, 0, 0);
    F(1).Muted = true;
    MoveTo(1, 50);
    EXPECT_EQ(sent.size(), 1u);

    Fader(2, 0, 0, 0);
    P().FaderMidiMode(2) = 1 | (6 << 3);  // HookOnFad
    Restart(2);
    EXPECT_TRUE(F(2).Hooked);
    model.HookMode = true;
    MoveTo(2, 50);
    EXPECT_EQ(sent.size(), 1u);
    model.HookMode = false;  // hook mode off: the hook is not looked at
    MoveTo(2, 60);
    EXPECT_EQ(sent.size(), 2u);
}

TEST_F(ToolPickup, HookModeReleasesTheFaderOnMatchingInputWithinTolerance) {
    Fader(0, 0, 0, 40);
    P().FaderMidiMode(0) = 1 | (6 << 3);
    Restart(0);
    model.HookMode = true;
    // Out of tolerance (8) or another controller: still hooked, never taken.
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 0, 0, 0xB0, 7, 49, 0));
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 0, 0, 0xB0, 8, 40, 0));
    EXPECT_TRUE(F(0).Hooked);
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 0, 0, 0xB0, 7, 48, 0));
    EXPECT_FALSE(F(0).Hooked);
    MoveTo(0, 30);
    EXPECT_EQ(SentValues(), (std::vector<int>{30}));
}

TEST_F(ToolPickup, SelectedFaderMoveUpdatesTheParameterWindow) {
    Fader(23, 0, 0, 0);
    FaderMoved(engine, F(23), 27, false);
    EXPECT_EQ(hooks.ParameterPositions, (std::vector<int>{27}));
    EXPECT_EQ(hooks.ParameterValues, (std::vector<int>{100}));
    EXPECT_TRUE(hooks.FaderPositions.empty());
    FaderMoved(engine, F(23), 30, true);  // moved in the parameter window
    ASSERT_FALSE(hooks.FaderPositions.empty());
    EXPECT_EQ(hooks.FaderPositions.back(), std::make_pair(23, 30));
    EXPECT_FALSE(model.Updating);
}

using ToolMasterSlave = ToolFixture;

TEST_F(ToolMasterSlave, SlaveFollowsAtItsLevelOncePerNewValue) {
    Fader(0, 0, 0, 0);
    Fader(5, 0, 0, 64);
    P().MasterSlaveMode(5) = 1;  // slave of fader 0
    P().FaderMidiData1(5) = 10;
    Restart(5);
    EXPECT_EQ(F(5).SlaveLevel, 64);

    MoveTo(0, 100);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(Same(sent[0].event, Ev(0xB0, 7, 100)));
    EXPECT_TRUE(Same(sent[1].event, Ev(0xB0, 10, 50)));
    EXPECT_EQ(F(5).Value, 50);
    EXPECT_TRUE(F(5).Touched);

    MoveTo(0, 101);  // 101 * 64 / 128 = 50 again
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].event.data1, 7);
}

TEST_F(ToolMasterSlave, MutedMasterStillDrivesSlavesAndSlaveAloneOnlySetsItsLevel) {
    Fader(0, 0, 0, 0);
    Fader(1, 0, 0, 127);
    P().MasterSlaveMode(1) = 1;
    P().FaderMidiData1(1) = 11;
    Restart(1);
    F(0).Muted = true;
    F(1).Muted = true;  // the slave's own mute is not looked at either
    MoveTo(0, 127);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(Same(sent[0].event, Ev(0xB0, 11, 126)));  // 127 * 127 / 128

    sent.clear();
    F(1).Muted = false;
    MoveTo(1, 32);  // a slave moved by hand sends nothing itself
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(F(1).SlaveLevel, 32);
    MoveTo(0, 64);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].event.data2, 16);
}

TEST_F(ToolMasterSlave, MotorFadersShowTheSlave) {
    model.VirtualMotorFaders = true;
    Fader(0, 0, 0, 0);
    Fader(1, 0, 0, 64);
    P().MasterSlaveMode(1) = 1;
    Restart(1);
    MoveTo(0, 100);
    ASSERT_EQ(hooks.FaderPositions.size(), 1u);
    EXPECT_EQ(hooks.FaderPositions[0], std::make_pair(1, 77));
}

using ToolKeys = ToolFixture;

TEST_F(ToolKeys, MomentaryModesSendOnAndOffWithTheirLampsAndMutes) {
    for (int mode : {0, 2}) {
        Fader(4, 0, 0, 30);
        P().SwitchMode(4) = mode;
        P().KeyOnStatus(4) = 0x90;
        P().KeyOnMidiData1(4) = 60;
        P().KeyOnMidiData2(4) = 128;
        P().DemuteVal(4) = 128;
        P().KeyOffStatus(4) = 0x80;
        P().KeyOffMidiData1(4) = 60;
        P().KeyOffMidiData2(4) = 0;
        P().MuteVal(4) = 128;
        sent.clear();
        F(4).Muted = true;
        KeyDown(engine, K(4));
        EXPECT_TRUE(K(4).LampOn);
        EXPECT_FALSE(F(4).Muted);
        KeyUp(engine, K(4));
        EXPECT_FALSE(K(4).LampOn);
        EXPECT_EQ(F(4).Muted, mode == 0);
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_TRUE(Same(sent[0].event, Ev(0x90, 60, 30)));
        EXPECT_TRUE(Same(sent[1].event, Ev(0x80, 60, 0)));
        EXPECT_EQ(hooks.Lamps.back(), std::make_pair(4, false));
    }
}

TEST_F(ToolKeys, ToggleModesSwitchOnPressAndIgnoreRelease) {
    for (int mode : {1, 3}) {
        Fader(6, 0, 0, 10);
        P().SwitchMode(6) = mode;
        P().FaderOutMode(6) = 0;
        P().KeyOnStatus(6) = 0xB0;
        P().KeyOnMidiData1(6) = 20;
        P().KeyOnMidiData2(6) = 127;
        P().DemuteVal(6) = 128;
        P().KeyOffStatus(6) = 0xB0;
        P().KeyOffMidiData1(6) = 20;
        P().KeyOffMidiData2(6) = 0;
        P().MuteVal(6) = 128;
        SCOPED_TRACE(mode);
        sent.clear();
        model.SetKeyLamp(6, false);
        KeyDown(engine, K(6));
        KeyUp(engine, K(6));
        EXPECT_TRUE(K(6).LampOn);
        EXPECT_FALSE(F(6).Muted);
        KeyDown(engine, K(6));
        KeyUp(engine, K(6));
        EXPECT_FALSE(K(6).LampOn);
        EXPECT_EQ(F(6).Muted, mode == 1);
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0].event.data2, 127);
        EXPECT_EQ(sent[1].event.data2, 0);
    }
}

TEST_F(ToolKeys, FaderMuteLampsAtResetAndUnknownModeDoesNothing) {
    Fader(7, 0, 0, 10);
    P().FaderOutMode(7) = 1;
    P().SwitchMode(7) = 1;
    Restart(7);
    EXPECT_TRUE(F(7).Muted);
    EXPECT_FALSE(K(7).LampOn);
    P().SwitchMode(7) = 3;  // "Toggle": lamp off, fader not muted
    Restart(7);
    EXPECT_FALSE(F(7).Muted);
    EXPECT_FALSE(K(7).LampOn);

    P().SwitchMode(7) = 9;
    sent.clear();
    KeyDown(engine, K(7));
    KeyUp(engine, K(7));
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(K(7).LampOn);
}

TEST_F(ToolKeys, FixedValueWithNoStatusSendsTheFaderEvent) {
    Fader(8, 0, 0, 10);
    P().DemuteVal(8) = 100;
    P().KeyOnStatus(8) = 0x70;
    P().SwitchMode(8) = 2;
    KeyDown(engine, K(8));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(Same(sent[0].event, Ev(0xB0, 7, 100)));

    // "No Status" with the live value: nothing at all.
    sent.clear();
    P().MuteVal(8) = 128;
    P().KeyOffStatus(8) = 0x70;
    KeyUp(engine, K(8));
    EXPECT_TRUE(sent.empty());
}

using ToolInput = ToolFixture;

TEST_F(ToolInput, VelocityFunctionsRewriteData2AndStopTheSearch) {
    Fader(0, 0, 0, 64);
    P().FaderStatus(0) = 0x90;
    P().FaderMidiData1(0) = 60;
    P().FaderMidiMode(0) = 1 | (4 << 3);  // VelMulAll
    EXPECT_TRUE(HandleMidiInput(engine, F(0), 0, 1234, 0x90, 62, 100, 0));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(Same(sent[0].event, Ev(0x90, 62, 50, 1234)));
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 0, 0, 0x91, 62, 100, 0)) << "channel is part of the status";

    P().FaderMidiMode(0) = 1 | (3 << 3);  // VelMulOne
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 0, 0, 0x90, 62, 100, 0));
    EXPECT_TRUE(HandleMidiInput(engine, F(0), 0, 0, 0x90, 60, 127, 0));
    EXPECT_EQ(sent.back().event.data2, 63);

    P().FaderMidiMode(0) = 1 | (1 << 3);  // VelOvpOne
    EXPECT_TRUE(HandleMidiInput(engine, F(0), 0, 7, 0x90, 60, 1, 0));
    EXPECT_TRUE(Same(sent.back().event, Ev(0x90, 60, 64, 7)));
    P().FaderMidiMode(0) = 1 | (2 << 3);  // VelOvpAll
    EXPECT_TRUE(HandleMidiInput(engine, F(0), 0, 7, 0x90, 10, 1, 0));
    EXPECT_TRUE(Same(sent.back().event, Ev(0x90, 10, 64, 7)));

    P().FaderMidiMode(0) = 1;  // FaderEvent: input does nothing
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 0, 7, 0x90, 60, 1, 0));
    EXPECT_EQ(sent.size(), 4u);
}

TEST_F(ToolInput, OnlyPortsOfTheFadersInputAreHeard) {
    Fader(0, 0, 0, 64);
    P().FaderMidiMode(0) = 1 | (2 << 3);
    routing.In2DeviceFlags[1] = true;
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 1, 0, 0xB0, 7, 1, 0));
    P().FaderMidiMode(0) = 1 | 4 | (2 << 3);  // listens on input 2
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 0, 0, 0xB0, 7, 1, 0));
    EXPECT_TRUE(HandleMidiInput(engine, F(0), 1, 0, 0xB0, 7, 1, 0));
    for (int bad : {-1, 50, 1000}) EXPECT_FALSE(HandleMidiInput(engine, F(0), bad, 0, 0xB0, 7, 1, 0));
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(ToolInput, UpdateFaderTakesTheValueAsItComes) {
    Fader(23, 0, 0, 64, 10, 20);
    P().FaderMidiMode(23) = 1 | (5 << 3);
    EXPECT_TRUE(HandleMidiInput(engine, F(23), 0, 0, 0xB0, 7, 99, 0));
    EXPECT_EQ(F(23).Value, 99);
    EXPECT_EQ(hooks.ParameterValues.back(), 99);
    EXPECT_TRUE(hooks.FaderPositions.empty());
    model.VirtualMotorFaders = true;
    EXPECT_TRUE(HandleMidiInput(engine, F(23), 0, 0, 0xB0, 7, 15, 0));
    ASSERT_EQ(hooks.FaderPositions.size(), 1u);
    EXPECT_EQ(hooks.FaderPositions[0], std::make_pair(23, 64));  // 127.5 - 63
    EXPECT_TRUE(sent.empty());
}

TEST_F(ToolInput, OverdubPassesInputThroughUntilTheFaderIsTouched) {
    Fader(0, 0, 0, 64);
    P().FaderMidiMode(0) = 1 | (7 << 3);
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 0, 5, 0xC3, 9, 0, 0));
    EXPECT_TRUE(sent.empty()) << "overdub mode is off";
    model.OverdupMode = true;
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 0, 5, 0xC3, 9, 0, 0));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(Same(sent[0].event, Ev(0xC3, 9, 0, 5)));
    MoveTo(0, 1);
    EXPECT_FALSE(HandleMidiInput(engine, F(0), 0, 5, 0xC3, 9, 0, 0));
    EXPECT_EQ(sent.size(), 2u);
}

using ToolBounds = ToolFixture;

TEST_F(ToolBounds, IndexesFromOutsideNeverLeaveTheirArrays) {
    Fader(0, 0, 0, 0);
    FaderState stray = F(0);
    stray.Index = 24;
    FaderMoved(engine, stray, 0, true);
    ShowValue(engine, stray);
    SendFaderEvent(engine, stray, 5);
    KeyState strayKey{};
    strayKey.Index = -3;
    KeyDown(engine, strayKey);
    KeyUp(engine, strayKey);
    EXPECT_FALSE(HandleMidiInput(engine, stray, 0, 0, 0xB0, 7, 1, 0));
    EXPECT_TRUE(sent.empty());

    // A master number that names no fader makes a slave of nothing.
    P().MasterSlaveMode(0) = 200;
    P().MasterSlaveMode(1) = -5;
    MoveTo(0, 90);
    EXPECT_TRUE(sent.empty());
    // The most negative word a damaged preset file can hold.
    P().MasterSlaveMode(1) = INT32_MIN;
    MoveTo(0, 91);
    EXPECT_TRUE(sent.empty());
    P().MasterSlaveMode(0) = 0;

    model.SelectedPreset = 500;
    MoveTo(0, 30);
    KeyDown(engine, K(0));
    EXPECT_TRUE(sent.empty());
    model.SelectedPreset = 0;

    // More ports than the tables hold: only the 50 that exist are walked.
    routing.NumOutDevs = 1000;
    routing.Out1DeviceFlags[49] = true;
    MoveTo(0, 31);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].port, 49);

    EXPECT_EQ(AbsValue(-5), 5);
    EXPECT_EQ(AbsValue(INT32_MIN), INT32_MAX);
}

}  // namespace
}  // namespace morvelant::tooltest
