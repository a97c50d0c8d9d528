// The snapshot stores every fader's own live value and lamp, whatever
// multi-fader editing marks and whether motor faders reset the live state.
#include "engine/Snapshot.h"
#include "tests/engine/ToolTestSupport.h"

namespace morvelant::tooltest {
namespace {

class SnapshotFixture : public ToolFixture {};

TEST_F(SnapshotFixture, EachFaderKeepsItsOwnLiveValueAndLamp) {
    for (const bool motor : {false, true}) {
        model.VirtualMotorFaders = motor;
        model.MultiCheckBoxChecked = true;
        model.MultiselectButtonDown.fill(false);
        model.MultiselectButtonDown[2] = model.MultiselectButtonDown[20] = true;
        model.SelectedFader = 10;
        for (int f = 0; f < kFaderCount; ++f) {
            Fader(f, 0, 0, 0);
            F(f).Value = 5 * f;
            model.SetKeyLamp(f, f % 3 == 0);
        }
        TakeSnapshot(engine, 0);
        for (int f = 0; f < kFaderCount; ++f) {
            EXPECT_EQ(P().FaderValue(f), 5 * f) << f << " motor " << motor;
            EXPECT_EQ(P().FaderOutMode(f), f % 3 == 0 ? 0 : 1) << f;
            EXPECT_EQ(F(f).InitialValue, 5 * f) << f;
        }
    }
    // Every on-screen fader was moved to its stored value.
    EXPECT_GE(hooks.FaderPositions.size(), size_t(kFaderCount));
}

TEST_F(SnapshotFixture, PresetOutsideTheSlotsChangesNothing) {
    const Morvelant_Parameters before = P();
    TakeSnapshot(engine, kPresetCount);
    TakeSnapshot(engine, -1);
    EXPECT_EQ(P(), before);
}

}  // namespace
}  // namespace morvelant::tooltest
