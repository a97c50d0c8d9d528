// The MIDI monitor's rows, without a window: what each logged event reads in
// the grid, where it goes, which rows fall off when the grid is full, and the
// hexadecimal listing of a row. The monitor window shows these cells and
// draws them in the row colours; everything here runs on the GUI thread.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/MidiKit32.h"
#include "engine/MidiRouting.h"
#include "model/NameLists.h"

namespace morvelant {

// Colour numbers laid out 0x00BBGGRR, as the rest of the editor keeps them.
using MonitorColour = int32_t;
inline constexpr MonitorColour kMonitorInColour = 0xFF0000;  // blue: received
inline constexpr MonitorColour kMonitorOutColour = 0x0000FF;  // red: sent
inline constexpr MonitorColour kMonitorSkipColour = 0x808080;  // grey: lines not shown

// Told about every change of the grid, so that a view can follow it.
class MonitorGridListener {
public:
    virtual ~MonitorGridListener() = default;
    // The grid was set back to its first screen (Clear).
    virtual void GridReset() {}
    // Rows first..first+count-1 were removed; the rows below moved up.
    virtual void RowsDropped(int first, int count) {}
    // A row was appended at index `row` (the grid grew by one).
    virtual void RowAppended(int row) {}
    // The cells of `row` were written.
    virtual void RowWritten(int row) {}
    // The selected row is now `row` (it should be scrolled into view).
    virtual void CurrentRowChanged(int row) {}
};

class MidiMonitorRows {
public:
    static constexpr int kColumns = 8;
    static constexpr int kPorts = 50;
    // A message longer than this is written out as it stands and begun anew
    // with the next byte, so an endless message cannot eat all memory.
    static constexpr size_t kMaxSysexBytes = 20000;

    using GridRow = std::array<std::string, kColumns>;

    MidiMonitorRows();

    // The bytes of a system-exclusive message (or of a piece of one at most
    // kMaxSysexBytes long) as they came, shared by every row that shows it:
    // a message that comes in and is passed thru is kept once.
    using SysexBytes = std::shared_ptr<const std::string>;

    // ---- The monitor's fields --------------------------------------------
    int EventCount = 0;
    const int InitialRows = 15;
    const int MaxRows = 550;
    const int ScrollRows = 50;
    int CurrentRow = 1;
    std::string RowInOut, RowDevice, RowRawData, RowStatus, RowChannel, RowData1, RowData2;
    MonitorColour RowColour = kMonitorOutColour;
    bool MonitorEnabled = false;
    // The check mark of "Realtime Messages": system common and real-time
    // messages are shown only when it is set.
    bool RealtimeMessages = false;
    std::string RowFullText;  // the bytes of a short message as text
    SysexBytes RowSysex;  // those of a system-exclusive row (then RowFullText is empty)
    std::array<MonitorColour, 550> RowColours;

    // Where the port aliases come from (the MIDI settings); none: "no device".
    const MidiRouting* Routing = nullptr;
    MonitorGridListener* Listener = nullptr;

    // ---- Operations --------------------------------------------------------
    // One event put to (incoming false) or received from (incoming true)
    // port 0..49. System exclusive arrives one byte per event; a message put
    // to an output is gathered apart for each source: `source` is the input
    // port 0..49 it is passed thru from, -1 for the program's own, since
    // messages of several sources reach one output interleaved.
    void LogEvent(int port, const MidiEvent& event, bool incoming, int source = -1);
    // A row of text about a received message that was not taken: "--> PC"
    // in blue with `status` and `detail` in the Status and Data 1 columns.
    void LogNote(const std::string& status, const std::string& detail);
    // The same, but what would have become a row is only counted: a flood
    // shows no more than a screen can hold. The lines skipped so far are
    // said in one grey row ("Skipped", "<n> lines not shown", with the
    // Count of the last of them) before the next row, or by ShowSkipped.
    void SkipEvent(int port, const MidiEvent& event, bool incoming, int source = -1);
    void SkipNote();
    // The two halves of LogEvent for a system-exclusive byte (status F0, the
    // byte in data1), so that a caller can gather the bytes as they come and
    // make rows later: GatherSysex adds the byte to its message and returns
    // the message (or piece) it ends, null while the message goes on; that
    // becomes a row by LogSysex (show false: only counted, as SkipEvent).
    SysexBytes GatherSysex(int port, bool incoming, int source, uint8_t byte);
    void LogSysex(int port, bool incoming, const SysexBytes& message, bool show = true);
    // The message being gathered for a port, direction and source, as text.
    std::string GatheredText(int port, bool incoming, int source = -1) const;
    void ShowSkipped();
    int SkippedLines() const { return skipped_; }
    // Fills the row texts for an event (for status F0, from the port's
    // message text).
    void DescribeEvent(int port, const MidiEvent& event, bool incoming);
    // Writes the row texts into the grid.
    void AddRow();
    // Empties the sysex texts and sets the grid back to its first screen.
    void Clear();

    // ---- The grid ------------------------------------------------------------
    int RowCount() const { return static_cast<int>(cells_.size()); }
    const GridRow& Row(int row) const { return cells_.at(static_cast<size_t>(row)); }
    const std::string& Cell(int column, int row) const { return Row(row).at(static_cast<size_t>(column)); }
    // The Count of a grid row, or -1 for the header, an empty row or a row
    // outside the grid.
    int CountOfRow(int row) const;
    // Text colour of a grid row (by its Count); -1 when the row has none.
    MonitorColour ColourOfRow(int row) const;
    // The bytes of the row with Count `count` as text ("90 3C 64"), as kept
    // in the ring of the last 550 rows.
    std::string RowText(int count) const;
    // The hexadecimal listing of a grid row as it is appended to the data
    // view (without the separator line); empty for the header, an empty row
    // or a row outside the grid.
    std::string HexListing(int row) const;
    // The bytes the rows hold for messages' contents (being gathered and
    // kept for the listings), by what the containers have taken.
    size_t KeptBytes() const;

    static const char* const kHeaders[kColumns];
    static const int kColumnWidths[kColumns];
    static constexpr int kRowHeight = 15;

private:
    // LogEvent (show true) or SkipEvent.
    void TakeEvent(int port, const MidiEvent& event, bool incoming, int source, bool show);
    // The message being gathered for a port, direction and source (its
    // bytes as they came); null outside the tables.
    std::string* Gathering(int port, bool incoming, int source);
    const std::string* Gathering(int port, bool incoming, int source) const;
    // The row of an event, or only its Count (show false).
    void TakeRow(int port, const MidiEvent& event, bool incoming, bool show);
    // The row of a gathered message: as LogSysex, show false only counted.
    void TakeSysex(int port, bool incoming, const SysexBytes& message, bool show);
    void NextCount();
    void WriteRow();
    void ResetGrid();

    // A deque: when the grid is full its oldest rows leave from the front
    // many times a second, and the rows behind them are not moved.
    std::deque<GridRow> cells_;
    // Rows of the first screen in use (1..InitialRows - 1 fill in order).
    int firstScreenRows_ = 0;
    int skipped_ = 0;  // lines counted but not shown since the last row
    // Messages being received, per input, and the program's own being sent,
    // per output.
    std::array<std::string, kPorts> inSysex_;
    std::array<std::string, kPorts> outSysex_;
    // Messages passed thru being sent, by output and source input; an entry
    // goes when its message ends.
    std::map<std::pair<int, int>, std::string> thruSysex_;
    // The message that ended last: the same bytes ending next (the message
    // passed thru as it came in) are kept once.
    SysexBytes lastSysex_;
    // The message DescribeEvent shows for a system-exclusive row (null: the
    // port's own being gathered, by direction).
    const SysexBytes* describing_ = nullptr;
    // The bytes of the last 550 rows by Count: a short message's as text,
    // a system-exclusive row's as they came.
    struct KeptRow {
        std::string text;
        SysexBytes sysex;
    };
    std::array<KeptRow, 550> rowTexts_;
    NameList noteNames_;
    NameList controllerNames_;
};

}  // namespace morvelant
