// A knob preset in a MIDI file goes through the same conversion as one that
// arrives: the knob names of its ".CFG" become fader names cut and filtered
// like every other name, and a damaged knob message in the file is ignored.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/DeviceContext.h"
#include "engine/DumpSMF.h"
#include "engine/MidiInDeviceUnit.h"
#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitSMF.h"
#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitTrack.h"
#include "platform/Dialogs.h"
#include "presets/VellixaConversion.h"
#include "tests/support/QtTestApp.h"

namespace morvelant {
namespace {

namespace fs = std::filesystem;

std::vector<MidiEvent> Message(std::vector<uint8_t> bytes) {
    std::vector<MidiEvent> events;
    for (uint8_t b : bytes) events.push_back(MidiEvent{0, 0xF0, b, 0, 0});
    return events;
}

TEST(KnobImportFile, MidiFileKnobPresetIsConvertedWithItsNames) {
    testsupport::CoreApp();
    ::setenv("MIDIKIT_BACKEND", "none", 0);
    char tmpl[] = "/tmp/knob-file-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const fs::path dir = tmpl;
    {
        DeviceContext context;
        TMidiKit kit;
        TMidiKitSMF smf;
        smf.MidiKit = &kit;
        TMidiDeviceForm device(context.DeviceEngine);
        DumpSMF dumps(device, smf);
        VellixaImportSettings settings;
        settings.SetDefaults();
        settings.ShowDialog = false;
        settings.UseKnobNames = true;
        VellixaImportConnection imports(context.DeviceEngine, settings, nullptr);

        std::vector<uint8_t> knobs = {0xF0, 0x00, 0x4D, 0x56, 0x14, 0x00, 0x20, 0x03, 0x00};
        for (int i = 0; i < 48; ++i)
            knobs.push_back(i < 16 ? 2 : i < 32 ? 0 : 10 + i % 16);  // controllers on channel 2
        knobs.push_back(0xF7);
        std::vector<uint8_t> cut(knobs.begin(), knobs.begin() + 30);
        cut.push_back(0xF7);
        const fs::path file = dir / "knobs.MID";
        {
            TMidiKitSMF writer;
            writer.MidiKit = &kit;
            ASSERT_TRUE(writer.Open(file.string(), 'w', 0));
            TMidiKitScore score(0);
            score.Add(nullptr);
            writer.Attach(&score);
            TMidiKitTrack* track = score.Get(0);
            track->SetTrackName("Knobs");
            track->IsRecording(true);
            for (const auto& m : {Message(cut), Message(knobs)})
                for (MidiEvent e : m) track->Write(&e);
            track->IsRecording(false);
            writer.Save(nullptr);
            writer.Close();
        }
        std::ofstream(dir / "knobs.CFG") << "[1]\r\n1=Filter {Cutoff} Frequency\r\n2=Res\r\nN=Night Set\r\n";

        ASSERT_TRUE(dumps.LoadPreset(20, file.string()));
        const Morvelant_Parameters& p = context.Model.Presets[20];
        EXPECT_EQ(context.Model.GetPresetDeviceName(20), "Night Se");
        EXPECT_EQ(p.SliderName[0], "Filter C");
        EXPECT_EQ(p.SliderName[1], "Res");
        EXPECT_EQ(p.SliderName[2], "Knob 3");
        EXPECT_EQ(p.FaderStatus(0), 0xB1);
        EXPECT_EQ(p.FaderMidiData1(5), 15);
        EXPECT_EQ(context.Model.SelectedPreset, 20);
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace morvelant
