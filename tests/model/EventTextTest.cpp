#include <gtest/gtest.h>

#include <memory>

#include "model/DeviceModel.h"

using namespace morvelant;

namespace {

class EventText : public ::testing::Test {
protected:
    std::unique_ptr<DeviceModel> model = std::make_unique<DeviceModel>();
    DeviceModel& m = *model;
};

}  // namespace

TEST_F(EventText, ChannelEvents) {
    EXPECT_EQ(m.EventDefinitionText(0xB3, 7, 128, "", 100), "CONTROLLER      CH:4    CTRL:  7:Volume    VALUE: [100] ");
    EXPECT_EQ(m.EventDefinitionText(0x90, 60, 127, "", 0), "NOTEON      CH:1    NOTE: 60:  C  4    VELOCITY:127");
    EXPECT_EQ(m.EventDefinitionText(0x8F, 128, 0, "", 61), "NOTEOFF      CH:16    NOTE: [ 61:  C# 4]     VELOCITY:0");
    EXPECT_EQ(m.EventDefinitionText(0xA0, 1, 2, "", 0), "POLY AFTERTOUCH      CH:1    NOTE:  1:  C#-1    PRESSURE:2");
    EXPECT_EQ(m.EventDefinitionText(0xC1, 5, 9, "", 0), "PROGRAM CHANGE      CH:2    PROGRAM NUMBER:5");
    EXPECT_EQ(m.EventDefinitionText(0xD0, 128, 9, "", 3), "MONO AFTERTOUCH      CH:1    PRESSURE: [3] ");
    EXPECT_EQ(m.EventDefinitionText(0xE0, 0, 128, "", 64), "PITCHBEND      CH:1    PITCH BEND:0, [64] ");
}

TEST_F(EventText, DeviceCodesStringAndNoStatus) {
    EXPECT_EQ(m.EventDefinitionText(0x00, 5, 5, "", 0), "EXTENSION");
    EXPECT_EQ(m.EventDefinitionText(0x70, 5, 5, "", 0), "NO STATUS");
    EXPECT_EQ(m.EventDefinitionText(0x10, 9, 0, "", 0), "TRACK PATTERN      TRACK NUMBER:2");
    EXPECT_EQ(m.EventDefinitionText(0x10, 128, 0, "", 50), "TRACK PATTERN      TRACK NUMBER:1");
    EXPECT_EQ(m.EventDefinitionText(0x20, 7, 0, "", 0), "TRACK END STEP      TRACK NUMBER:8");
    EXPECT_EQ(m.EventDefinitionText(0x53, 0, 0, "", 0), "STEP VELOCITY      TRACK NUMBER:1    NOTE STEP:4");
    EXPECT_EQ(m.EventDefinitionText(0x6F, 1, 0, "", 0), "STEP NOTE      TRACK NUMBER:2    NOTE STEP:16");
    EXPECT_EQ(m.EventDefinitionText(0xF0, 1, 0, "90 XX 7F", 0), "SYSEX:90 XX 7F");
}

TEST_F(EventText, OutOfRangeBytesShowAsNumbers) {
    EXPECT_EQ(m.EventDefinitionText(0xB0, 200, 0, "", 0), "CONTROLLER      CH:1    CTRL:200    VALUE:0");
    EXPECT_EQ(m.EventDefinitionText(0x90, -3, 0, "", 0), "NOTEON      CH:1    NOTE:-3    VELOCITY:0");
    EXPECT_EQ(m.EventDefinitionText(0x90, 128, 0, "", 300), "NOTEON      CH:1    NOTE: [300]     VELOCITY:0");
}

TEST_F(EventText, KeyEventsUseTheFixedValue) {
    Morvelant_Parameters& p = m.Presets[0];
    m.FaderStates[2].Value = 33;
    p.KeyOnStatus(2) = 0x90;
    p.KeyOnMidiData1(2) = 60;
    p.KeyOnMidiData2(2) = 128;
    p.DemuteVal(2) = 127;
    EXPECT_EQ(m.KeyOnEventText(0, 2), "NOTEON      CH:1    NOTE: 60:  C  4    VELOCITY:127");
    p.DemuteVal(2) = 128;
    EXPECT_EQ(m.KeyOnEventText(0, 2), "NOTEON      CH:1    NOTE: 60:  C  4    VELOCITY: [33] ");

    // A key without an event of its own shows the fader's with the fixed value.
    p.KeyOnStatus(2) = 0x70;
    p.DemuteVal(2) = 100;
    p.FaderStatus(2) = 0xB0;
    p.FaderMidiData1(2) = 7;
    p.FaderMidiData2(2) = 128;
    EXPECT_EQ(m.KeyOnEventText(0, 2), "CONTROLLER      CH:1    CTRL:  7:Volume    VALUE: [100] ");
    p.DemuteVal(2) = 128;
    EXPECT_EQ(m.KeyOnEventText(0, 2), "NO STATUS");

    p.KeyOffStatus(2) = 0x80;
    p.KeyOffMidiData1(2) = 128;
    p.KeyOffMidiData2(2) = 0;
    p.MuteVal(2) = 64;
    EXPECT_EQ(m.KeyOffEventText(0, 2), "NOTEOFF      CH:1    NOTE: 64:  E  4    VELOCITY:0");
    EXPECT_EQ(m.FaderEventText(0, 2), "CONTROLLER      CH:1    CTRL:  7:Volume    VALUE: [33] ");
    EXPECT_EQ(m.FaderEventText(128, 2), "");
    EXPECT_EQ(m.KeyOnEventText(0, 24), "");
}

TEST(TextRoutines, AlignRightAndLeft) {
    EXPECT_EQ(DeviceModel::AlignRight("abc", 5), "  abc");
    EXPECT_EQ(DeviceModel::AlignRight("abcdef", 3), "def");
    EXPECT_EQ(DeviceModel::AlignRight("abc", 50), std::string(40, ' ') + "abc");
    EXPECT_EQ(DeviceModel::AlignLeft("abcdef", 3), "abc");
    EXPECT_EQ(DeviceModel::AlignLeft("ab", 5), "ab   ");
    EXPECT_EQ(DeviceModel::AlignLeft("ab", 60), "ab" + std::string(40, ' '));
    EXPECT_EQ(DeviceModel::AlignLeft("ab", 0), "");
    EXPECT_EQ(DeviceModel::AlignRight("ab", -1), "");
}
