// The monitor's rows: texts and colours of each kind of event, system
// exclusive gathered into one row, the 550-row rule and the hex listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/MonitorRows.h"
#include "tests/support/MidiEvents.h"

namespace morvelant {
namespace {

using testsupport::Ev;

void Sysex(MidiMonitorRows& m, int port, bool incoming, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) {
        MidiEvent e = Ev(0xF0, b);
        e.time = 0;
        m.LogEvent(port, e, incoming);
    }
}

struct MonitorRowsTest : ::testing::Test {
    MidiRouting routing;
    MidiMonitorRows m;
    void SetUp() override {
        routing.InNames = {"In A", "In B", "Keyboard", "no device"};
        routing.OutNames = {"Out A", "Synth", "no device"};
        m.Routing = &routing;
        m.MonitorEnabled = true;
    }
    std::vector<std::string> RowTexts(int row) {
        const auto& r = m.Row(row);
        return {r.begin(), r.end()};
    }
};

TEST_F(MonitorRowsTest, FirstScreenHasHeaderAndFourteenEmptyRows) {
    ASSERT_EQ(m.RowCount(), 15);
    EXPECT_EQ(RowTexts(0),
              (std::vector<std::string>{"Count", "In/Out", "Device", "Raw Data", "Status", "Ch", "Data 1", "Data 2"}));
    for (int r = 1; r < 15; ++r) EXPECT_EQ(m.CountOfRow(r), -1);
    for (MonitorColour c : m.RowColours) ASSERT_EQ(c, kMonitorOutColour);
}

TEST_F(MonitorRowsTest, IncomingNoteOnIsOneBlueRow) {
    m.LogEvent(2, Ev(0x90, 60, 100), true);
    EXPECT_EQ(m.EventCount, 1);
    EXPECT_EQ(m.CurrentRow, 1);
    EXPECT_EQ(RowTexts(1),
              (std::vector<std::string>{"1", "--> PC", "Keyboard", "90 3C 64", "Note On", "1",
                                        "Note Number: " + FillNoteNames()[60], "Note Velocity: 100"}));
    EXPECT_EQ(m.ColourOfRow(1), kMonitorInColour);
    EXPECT_EQ(m.RowText(1), "90 3C 64");
}

// Lines skipped under a flood are counted and said in one grey row that
// carries the Count of the last of them; the first screen still fills from
// the top, and a message gathered across the skip keeps all its bytes.
TEST_F(MonitorRowsTest, SkippedLinesAreCountedAndSaidInOneGreyRow) {
    m.LogEvent(0, Ev(0x90, 60, 1), true);
    for (uint8_t v = 0; v < 5; ++v) m.SkipEvent(1, Ev(0xB0, 7, v), false);
    m.SkipEvent(0, Ev(0xF8), true);  // real-time messages are not shown: no line
    MidiEvent sysex = Ev(0xF0, 0xF0);
    m.SkipEvent(2, sysex, true);
    sysex.data1 = 0x7E;
    m.SkipEvent(2, sysex, true);
    m.LogEvent(0, Ev(0x80, 60, 0), true);  // the grey row first, then this one
    sysex.data1 = 0xF7;
    m.LogEvent(2, sysex, true);
    m.SkipNote();
    EXPECT_EQ(m.SkippedLines(), 1);
    m.ShowSkipped();
    m.ShowSkipped();  // nothing left to say

    struct Row {
        int count;
        std::string status, data1;
        MonitorColour colour;
    };
    const Row want[] = {{1, "Note On", "Note Number: " + FillNoteNames()[60], kMonitorInColour},
                        {6, "Skipped", "5 lines not shown", kMonitorSkipColour},
                        {7, "Note Off", "Note Number: " + FillNoteNames()[60], kMonitorInColour},
                        {8, "Sysex", "number of bytes: 3", kMonitorInColour},
                        {9, "Skipped", "1 line not shown", kMonitorSkipColour}};
    EXPECT_EQ(m.EventCount, 9);
    for (int r = 1; r <= 5; ++r) {
        const Row& w = want[r - 1];
        EXPECT_EQ(m.CountOfRow(r), w.count) << "row " << r;
        EXPECT_EQ(m.Cell(4, r), w.status) << "row " << r;
        EXPECT_EQ(m.Cell(6, r), w.data1) << "row " << r;
        EXPECT_EQ(m.ColourOfRow(r), w.colour) << "row " << r;
    }
    EXPECT_EQ(m.Cell(3, 4), "F0 7E F7");
    EXPECT_EQ(m.CountOfRow(6), -1);
    EXPECT_EQ(m.HexListing(2), "     6: 0000 (   0):\n");
}

TEST_F(MonitorRowsTest, NoteAboutAnIgnoredMessageIsOneBlueRow) {
    m.LogNote("Sysex ignored", "damaged vellixa preset");
    EXPECT_EQ(RowTexts(1),
              (std::vector<std::string>{"1", "--> PC", "", "", "Sysex ignored", "", "damaged vellixa preset", ""}));
    EXPECT_EQ(m.ColourOfRow(1), kMonitorInColour);
    m.MonitorEnabled = false;
    m.LogNote("Sysex ignored", "damaged vellixa preset");
    EXPECT_EQ(m.EventCount, 1);
}

TEST_F(MonitorRowsTest, OutgoingControllerIsRed) {
    m.LogEvent(1, Ev(0xB3, 7, 90), false);
    EXPECT_EQ(RowTexts(1),
              (std::vector<std::string>{"1", "PC -->", "Synth", "B3 07 5A", "Controller", "4",
                                        "Ctrl: " + FillControllerNames()[7], "Ctrl Value: 90"}));
    EXPECT_EQ(m.ColourOfRow(1), kMonitorOutColour);
}

TEST_F(MonitorRowsTest, ChannelMessagesTexts) {
    struct Case {
        MidiEvent e;
        std::vector<std::string> cells;  // Raw .. Data 2
    };
    const std::vector<Case> cases = {
        {Ev(0x80, 0, 0), {"80 00 00", "Note Off", "1", "Note Number: " + FillNoteNames()[0], "Note Velocity: 0"}},
        {Ev(0xAF, 61, 5),
         {"AF 3D 05", "Poly Aftertouch", "16", "Note Number: " + FillNoteNames()[61], "Poly Pressure: 5"}},
        {Ev(0xC2, 12), {"C2 0C", "Program Change", "3", "Program Number: 12", ""}},
        {Ev(0xD0, 127), {"D0 7F", "Mono Aftertouch", "1", "Mono Pressure: 127", ""}},
        {Ev(0xE5, 0, 64), {"E5 00 40", "PitchBend", "6", "0", "64"}},
    };
    int row = 0;
    for (const auto& c : cases) {
        m.LogEvent(0, c.e, false);
        ++row;
        auto cells = RowTexts(row);
        EXPECT_EQ(std::vector<std::string>(cells.begin() + 3, cells.end()), c.cells) << row;
    }
}

TEST_F(MonitorRowsTest, GarbageDataByteDoesNotReadOutsideNameLists) {
    // A note number above 127 (from a damaged stream) is shown as a number.
    m.LogEvent(0, Ev(0x90, 200, 1), true);
    EXPECT_EQ(m.Cell(6, 1), "Note Number: 200");
    m.LogEvent(0, Ev(0xB0, 250, 1), true);
    EXPECT_EQ(m.Cell(6, 2), "Ctrl: 250");
}

TEST_F(MonitorRowsTest, PortOutsideAliasListShowsNoDevice) {
    m.LogEvent(40, Ev(0x90, 1, 1), true);
    EXPECT_EQ(m.Cell(2, 1), "no device");
    m.Routing = nullptr;
    m.LogEvent(0, Ev(0x90, 1, 1), true);
    EXPECT_EQ(m.Cell(2, 2), "no device");
}

TEST_F(MonitorRowsTest, RealtimeShownOnlyWhenTicked) {
    m.LogEvent(0, Ev(0xF8), true);
    EXPECT_EQ(m.EventCount, 0);
    m.RealtimeMessages = true;
    m.LogEvent(0, Ev(0xF8), true);
    m.LogEvent(0, Ev(0xF2, 1, 2), true);
    m.LogEvent(0, Ev(0xF1, 0x21), true);
    m.LogEvent(0, Ev(0xFD), true);
    m.LogEvent(0, Ev(0xF7), true);
    EXPECT_EQ(m.EventCount, 5);
    EXPECT_EQ(RowTexts(1), (std::vector<std::string>{"1", "--> PC", "In A", "F8", "Midi Clock", "", "", ""}));
    EXPECT_EQ(m.Cell(3, 2), "F2 01 02");
    EXPECT_EQ(m.Cell(4, 2), "Song Position Pointer");
    EXPECT_EQ(m.Cell(3, 3), "F1 21");
    EXPECT_EQ(m.Cell(4, 4), "undefined");
    EXPECT_EQ(m.Cell(3, 5), "F7");
    EXPECT_EQ(m.Cell(4, 5), "");
}

TEST_F(MonitorRowsTest, DisabledCountsNothingAndStatusZeroIsIgnored) {
    m.MonitorEnabled = false;
    m.LogEvent(0, Ev(0x90, 1, 1), true);
    EXPECT_EQ(m.EventCount, 0);
    m.MonitorEnabled = true;
    m.LogEvent(0, Ev(0x00, 1, 1), true);
    EXPECT_EQ(m.EventCount, 0);
    m.LogEvent(0, Ev(0x90, 1, 1), true);
    m.MonitorEnabled = false;
    m.LogEvent(0, Ev(0x90, 1, 1), true);
    m.MonitorEnabled = true;
    m.LogEvent(0, Ev(0x90, 1, 1), true);
    EXPECT_EQ(m.EventCount, 2);  // the count goes on where it stopped
    EXPECT_EQ(m.Cell(0, 2), "2");
}

TEST_F(MonitorRowsTest, SysexMessageIsOneRow) {
    std::vector<uint8_t> msg = {0xF0};
    for (int i = 0; i < 18; ++i) msg.push_back(static_cast<uint8_t>(i));
    msg.push_back(0xF7);  // 20 bytes
    Sysex(m, 3, true, msg);
    EXPECT_EQ(m.EventCount, 1);
    EXPECT_EQ(m.Cell(3, 1), "F0 00 01 02...");
    EXPECT_EQ(m.Cell(4, 1), "Sysex");
    EXPECT_EQ(m.Cell(5, 1), "");
    EXPECT_EQ(m.Cell(6, 1), "number of bytes: 20");
    EXPECT_EQ(m.RowText(1).size(), 20u * 3 - 1);
    EXPECT_TRUE(m.GatheredText(3, true).empty());
    // Its listing has two lines.
    const std::string listing = m.HexListing(1);
    EXPECT_EQ(listing,
              "     1: 0000 (   0):F0 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E \n"
              "0010 (  16):0F 10 11 F7\n");
}

TEST_F(MonitorRowsTest, SysexOfEachPortAndDirectionGatheredApart) {
    Sysex(m, 0, true, {0xF0, 0x01});
    Sysex(m, 0, false, {0xF0, 0x02, 0x03});
    Sysex(m, 1, true, {0xF0, 0x04});
    EXPECT_EQ(m.EventCount, 0);
    Sysex(m, 0, false, {0xF7});
    EXPECT_EQ(m.Cell(3, 1), "F0 02 03 F7");
    EXPECT_EQ(m.ColourOfRow(1), kMonitorOutColour);
    Sysex(m, 0, true, {0xF7});
    EXPECT_EQ(m.Cell(3, 2), "F0 01 F7");
    EXPECT_EQ(m.Cell(2, 2), "In A");
    EXPECT_EQ(m.ColourOfRow(2), kMonitorInColour);
    EXPECT_EQ(m.GatheredText(1, true), "F0 04");
}

TEST_F(MonitorRowsTest, UnfinishedSysexIsWrittenWhenNextBegins) {
    Sysex(m, 2, true, {0xF0, 0x41, 0x42});
    Sysex(m, 2, true, {0xF0, 0x7E, 0xF7});
    EXPECT_EQ(m.EventCount, 2);
    EXPECT_EQ(m.Cell(3, 1), "F0 41 42");
    EXPECT_EQ(m.Cell(6, 1), "number of bytes: 3");
    EXPECT_EQ(m.Cell(3, 2), "F0 7E F7");
}

TEST_F(MonitorRowsTest, EndlessSysexIsBounded) {
    Sysex(m, 0, true, {0xF0});
    for (size_t i = 0; i < MidiMonitorRows::kMaxSysexBytes + 10; ++i) Sysex(m, 0, true, {0x11});
    EXPECT_EQ(m.EventCount, 1);
    EXPECT_EQ(m.Cell(6, 1), "number of bytes: " + std::to_string(MidiMonitorRows::kMaxSysexBytes));
    EXPECT_EQ(m.GatheredText(0, true), "11 11 11 11 11 11 11 11 11 11 11");
}

// A long message that comes in and is passed thru to an output is kept once,
// in its bytes: not again for the output, nor as text per row.
TEST_F(MonitorRowsTest, LongSysexInAndThruIsKeptOnce) {
    constexpr size_t kBytes = 50000;
    constexpr size_t kMessages = 3;
    for (size_t n = 0; n < kMessages; ++n) {
        for (size_t i = 0; i < kBytes; ++i) {
            MidiEvent e = Ev(0xF0, i == 0 ? 0xF0 : i + 1 == kBytes ? 0xF7 : static_cast<uint8_t>((i * 7 + n) & 0x7F));
            e.time = 0;
            m.LogEvent(0, e, true);
            m.LogEvent(1, e, false, 0);
        }
    }
    // Three rows each way per message: two of kMaxSysexBytes and the rest.
    EXPECT_EQ(m.EventCount, static_cast<int>(6 * kMessages));
    EXPECT_EQ(m.Cell(6, m.CurrentRow), "number of bytes: 10000");
    EXPECT_EQ(m.Cell(2, m.CurrentRow), "Synth");
    EXPECT_EQ(m.Cell(2, m.CurrentRow - 1), "In A");
    EXPECT_EQ(m.HexListing(m.CurrentRow).substr(8), m.HexListing(m.CurrentRow - 1).substr(8));
    EXPECT_LE(m.KeptBytes(), kMessages * kBytes + 1024);
}

TEST_F(MonitorRowsTest, SysexByteOfPortOutsideTablesIsDropped) {
    Sysex(m, 50, true, {0xF0, 0x01, 0xF7});
    Sysex(m, -1, false, {0xF0, 0x01, 0xF7});
    EXPECT_EQ(m.EventCount, 0);
}

TEST_F(MonitorRowsTest, FiveHundredFiftyRowRule) {
    for (int i = 1; i <= 549; ++i) m.LogEvent(0, Ev(0x90, 1, 1), true);
    EXPECT_EQ(m.RowCount(), 550);
    EXPECT_EQ(m.CurrentRow, 549);
    for (int r = 1; r < 550; ++r) ASSERT_EQ(m.CountOfRow(r), r);
    m.LogEvent(0, Ev(0x80, 1, 1), false);  // event 550
    EXPECT_EQ(m.RowCount(), 501);
    EXPECT_EQ(m.CurrentRow, 500);
    for (int r = 1; r < 500; ++r) ASSERT_EQ(m.CountOfRow(r), r + 50);
    EXPECT_EQ(m.CountOfRow(500), 550);
    EXPECT_EQ(m.ColourOfRow(500), kMonitorOutColour);
    EXPECT_EQ(m.ColourOfRow(499), kMonitorInColour);
    EXPECT_EQ(m.Cell(0, 0), "Count");
    m.LogEvent(0, Ev(0x90, 1, 1), true);  // event 551
    EXPECT_EQ(m.CurrentRow, 501);
    EXPECT_EQ(m.RowCount(), 502);
    for (int i = 552; i <= 2000; ++i) m.LogEvent(0, Ev(0x90, 1, 1), true);
    EXPECT_LE(m.RowCount(), 550);
    EXPECT_EQ(m.CountOfRow(m.CurrentRow), 2000);
}

TEST_F(MonitorRowsTest, ClearStartsAgainAndKeepsRings) {
    for (int i = 0; i < 20; ++i) m.LogEvent(0, Ev(0x90, 1, 1), true);
    Sysex(m, 0, true, {0xF0, 0x01});
    m.Clear();
    EXPECT_EQ(m.EventCount, 0);
    EXPECT_EQ(m.CurrentRow, 1);
    EXPECT_EQ(m.RowCount(), 15);
    EXPECT_EQ(m.Cell(0, 0), "Count");
    for (int r = 1; r < 15; ++r) EXPECT_TRUE(m.Cell(0, r).empty());
    EXPECT_TRUE(m.GatheredText(0, true).empty());
    EXPECT_EQ(m.RowText(20), "90 01 01");
    EXPECT_EQ(m.RowColours[20], kMonitorInColour);
    m.LogEvent(0, Ev(0x90, 1, 1), false);
    EXPECT_EQ(m.Cell(0, 1), "1");
}

TEST_F(MonitorRowsTest, HexListingOfShortMessageAndEmptyRows) {
    for (int i = 0; i < 11; ++i) m.LogEvent(0, Ev(0xF8), true);  // not shown: realtime off
    for (int i = 0; i < 11; ++i) m.LogEvent(0, Ev(0x90, 1, 1), true);
    Sysex(m, 0, true, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
    ASSERT_EQ(m.CountOfRow(12), 12);
    EXPECT_EQ(m.HexListing(12), "    12: 0000 (   0):F0 7E 7F 09 01 F7\n");
    EXPECT_EQ(m.HexListing(0), "");  // header
    EXPECT_EQ(m.HexListing(13), "");  // empty row
    EXPECT_EQ(m.HexListing(-1), "");
    EXPECT_EQ(m.HexListing(999), "");
}

TEST_F(MonitorRowsTest, HexListingOfExactlySixteenBytesIsOneLine) {
    std::vector<uint8_t> msg(16, 0x22);
    msg.front() = 0xF0;
    msg.back() = 0xF7;
    Sysex(m, 0, false, msg);
    const std::string listing = m.HexListing(1);
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 1);
    EXPECT_EQ(listing.size(), std::string("     1: 0000 (   0):").size() + 47 + 1);
}

struct RecordingListener : MonitorGridListener {
    std::vector<std::string> calls;
    void GridReset() override { calls.push_back("reset"); }
    void RowsDropped(int first, int count) override {
        calls.push_back("drop " + std::to_string(first) + " " + std::to_string(count));
    }
    void RowAppended(int row) override { calls.push_back("append " + std::to_string(row)); }
    void RowWritten(int row) override { calls.push_back("write " + std::to_string(row)); }
    void CurrentRowChanged(int row) override { calls.push_back("current " + std::to_string(row)); }
};

TEST_F(MonitorRowsTest, ListenerFollowsTheGrid) {
    RecordingListener l;
    m.Listener = &l;
    m.LogEvent(0, Ev(0x90, 1, 1), true);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"write 1", "current 1"}));
    for (int i = 2; i <= 549; ++i) m.LogEvent(0, Ev(0x90, 1, 1), true);
    l.calls.clear();
    m.LogEvent(0, Ev(0x90, 1, 1), true);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"drop 1 50", "append 500", "write 500", "current 500"}));
    l.calls.clear();
    m.Clear();
    EXPECT_EQ(l.calls, (std::vector<std::string>{"reset"}));
}

}  // namespace
}  // namespace morvelant
