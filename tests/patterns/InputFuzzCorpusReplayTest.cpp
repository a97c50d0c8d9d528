// Replays the seed corpus of the input fuzz targets (port bytes, the receive
// buffer, the port settings, the kit files) on every run. With
// MORVELANT_WRITE_FUZZ_CORPUS=1 in the environment it first writes the seeds
// into fuzz/corpus/. A table of byte streams pins what the port splitter
// makes of damaged input.
#include <gtest/gtest.h>

#include "fuzz/InputFuzzTargets.h"
#include "model/PresetFiles.h"
#include "tests/support/FuzzCorpus.h"
#include "tests/support/QtTestApp.h"

#ifndef MORVELANT_FUZZ_CORPUS_DIR
#error "MORVELANT_FUZZ_CORPUS_DIR must name the fuzz corpus folder"
#endif

namespace morvelant {
namespace {

void Save(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    testsupport::SaveSeed(MORVELANT_FUZZ_CORPUS_DIR, target, name, bytes);
}

std::string Joined(std::initializer_list<std::string> pieces) {
    std::string out;
    for (const std::string& p : pieces) out += (out.empty() && &p == pieces.begin() ? "" : std::string(fuzz::kPieceSeparator)) + p;
    return out;
}

void WriteSeeds() {
    // The cut, then the bytes: notes, a sysex message with a clock byte
    // inside, running on into a controller.
    Save("MidiBytesFuzz", "mixed", {4, 0x90, 60, 100, 0xF0, 0x7E, 0xF8, 0x01, 0xF7, 0xB0, 7, 64, 0xC0, 5});
    Save("MidiBytesFuzz", "damaged", {2, 0x90, 0x80, 0x40, 0x7F, 0xF0, 0x01, 0x90, 0xF7, 0xE0, 0});

    DeviceModel m;
    m.SetPresetDeviceName(5, "Organ");
    SysexBuffer dumps;
    BuildPresetValueDump(m, dumps, 5, 5);
    BuildPatternDump(m, dumps, 2, 2);
    std::vector<uint8_t> bytes;
    for (const MidiEvent& e : dumps) bytes.push_back(e.data1);
    Save("ReceiveBufferFuzz", "dumps", bytes);
    // A message longer than the room of the buffer.
    std::vector<uint8_t> overrun{0xF0};
    overrun.resize(TMidiDeviceForm::kReceiveBufferSize + 10, 0x11);
    overrun.push_back(0xF7);
    Save("ReceiveBufferFuzz", "overrun", overrun);

    Save("PortSettingsFuzz", "chosen",
         testsupport::SeedBytes(Joined({"Synth In\nKeys capture 1\nKeys capture 2\n", "Synth Out\nKeys playback 1\n",
                       "[Morvelant Devices]\r\nInput=Keys capture 2\r\nOutput=Gone\r\n"
                       "[In1DeviceFlags]\r\nKeys capture 2=1\r\nGone=1\r\n[Out1DeviceFlags]\r\nSynth Out=1\r\n"
                       "[Alias In]\r\nSynth In=Master\r\n"})));
    Save("PortSettingsFuzz", "empty", testsupport::SeedBytes(Joined({"", "", ""})));

    std::string kit = "[a]\r\nmanufacturer=Acme\r\nmodel=R8\r\ndrumkit=Standard\r\n36=Kick\r\n[b]\r\nmanufacturer=ACME\r\ndrumkit=Rock\r\n";
    Save("DrumkitsFuzz", "kits", testsupport::SeedBytes(Joined({kit, "[x]\nmanufacturer=acme\nmodel=r8\ndrumkit=standard\n38=Snare\n[]\n", ""})));
}

TEST(InputFuzzCorpusReplayTest, EverySeedPassesThroughItsTarget) {
    testsupport::CoreApp();
    if (testsupport::WritingFuzzCorpus()) WriteSeeds();
    const std::map<std::string, testsupport::FuzzTarget> targets{
        {"MidiBytesFuzz", &fuzz::FuzzMidiBytes},
        {"ReceiveBufferFuzz", &fuzz::FuzzReceiveBuffer},
        {"PortSettingsFuzz", &fuzz::FuzzPortSettings},
        {"DrumkitsFuzz", &fuzz::FuzzDrumkits},
    };
    EXPECT_GE(testsupport::ReplayCorpus(MORVELANT_FUZZ_CORPUS_DIR, targets), 4u);
}

// What the port splitter makes of whole, cut and damaged streams: one event
// per message, a sysex byte per event, a status byte where data belongs
// ending the message short.
TEST(InputFuzzCorpusReplayTest, PortBytesBecomeEventsWithDataBelow128) {
    struct Case {
        std::vector<uint8_t> in;
        std::vector<std::array<uint8_t, 3>> out;  // status, data 1, data 2
    } cases[] = {
        {{0x90, 60, 100, 0xC0, 5}, {{0x90, 60, 100}, {0xC0, 5, 0}}},
        {{0x90, 0x80, 0x40, 0x7F}, {{0x80, 0x40, 0x7F}}},  // a note on cut short by a note off
        {{0xB0, 7, 0xF8, 64}, {{0xF8, 0, 0}}},  // a clock byte inside: the controller is lost, not misread
        {{0xF0, 0x01, 0xF8, 0x02, 0xF7}, {{0xF0, 0xF0, 0}, {0xF0, 1, 0}, {0xF8, 0, 0}, {0xF0, 2, 0}, {0xF0, 0xF7, 0}}},
        {{0xF0, 0x01, 0x90, 60, 1}, {{0xF0, 0xF0, 0}, {0xF0, 1, 0}, {0x90, 60, 1}}},  // unterminated sysex
        {{0x3C, 0xF7, 0xE0}, {{0xE0, 0, 0}}},  // stray bytes; a bend cut short at the end keeps zeros
    };
    for (const Case& c : cases) {
        std::vector<std::array<uint8_t, 3>> got;
        bool inSysex = false;
        driver::splitMidiBytes(c.in.data(), c.in.size(), inSysex, 0,
                               [&](const MidiEvent& e) { got.push_back({e.status, e.data1, e.data2}); });
        EXPECT_EQ(got, c.out) << testing::PrintToString(c.in);
    }
}

}  // namespace
}  // namespace morvelant
