#include "engine/MonitorRows.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <utility>

namespace morvelant {

const char* const MidiMonitorRows::kHeaders[kColumns] = {"Count",  "In/Out", "Device", "Raw Data",
                                                         "Status", "Ch",     "Data 1", "Data 2"};
const int MidiMonitorRows::kColumnWidths[kColumns] = {40, 40, 80, 72, 88, 24, 144, 144};

namespace {

void AppendHex(std::string& s, uint8_t byte) {
    static const char digits[] = "0123456789ABCDEF";
    s.push_back(digits[byte >> 4]);
    s.push_back(digits[byte & 0x0F]);
}

// Appends one byte to a message text: blank-separated after the first.
void AppendByte(std::string& text, uint8_t byte) {
    if (!text.empty()) text.push_back(' ');
    AppendHex(text, byte);
}

// Bytes as they came, blank-separated.
std::string HexText(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    for (char b : bytes) AppendByte(text, static_cast<uint8_t>(b));
    return text;
}

// What a string holds on the heap (none while it is short enough to be kept
// inside the string itself).
size_t HeapBytes(const std::string& s) {
    const char* inside = reinterpret_cast<const char*>(&s);
    return s.data() >= inside && s.data() < inside + sizeof s ? 0 : s.capacity() + 1;
}

// The first `count` bytes of a short message.
std::string Bytes(const MidiEvent& e, int count) {
    std::string s;
    AppendByte(s, e.status);
    if (count > 1) AppendByte(s, e.data1);
    if (count > 2) AppendByte(s, e.data2);
    return s;
}

}  // namespace

MidiMonitorRows::MidiMonitorRows() : noteNames_(FillNoteNames()), controllerNames_(FillControllerNames()) {
    RowColours.fill(kMonitorOutColour);
    ResetGrid();
}

void MidiMonitorRows::ResetGrid() {
    cells_.assign(static_cast<size_t>(InitialRows), GridRow{});
    for (int c = 0; c < kColumns; ++c) cells_[0][static_cast<size_t>(c)] = kHeaders[c];
}

void MidiMonitorRows::LogEvent(int port, const MidiEvent& event, bool incoming, int source) {
    TakeEvent(port, event, incoming, source, true);
}

void MidiMonitorRows::SkipEvent(int port, const MidiEvent& event, bool incoming, int source) {
    TakeEvent(port, event, incoming, source, false);
}

std::string* MidiMonitorRows::Gathering(int port, bool incoming, int source) {
    if (port >= 0 && port < kPorts && !incoming && source >= 0 && source < kPorts) return &thruSysex_[{port, source}];
    return const_cast<std::string*>(std::as_const(*this).Gathering(port, incoming, source));
}

const std::string* MidiMonitorRows::Gathering(int port, bool incoming, int source) const {
    if (port < 0 || port >= kPorts) return nullptr;
    if (incoming || source < 0 || source >= kPorts) return &(incoming ? inSysex_ : outSysex_)[static_cast<size_t>(port)];
    const auto it = thruSysex_.find({port, source});
    return it == thruSysex_.end() ? nullptr : &it->second;
}

std::string MidiMonitorRows::GatheredText(int port, bool incoming, int source) const {
    const std::string* bytes = Gathering(port, incoming, source);
    return bytes ? HexText(*bytes) : std::string();
}

void MidiMonitorRows::TakeEvent(int port, const MidiEvent& event, bool incoming, int source, bool show) {
    const uint8_t s = event.status;
    if (!MonitorEnabled || s == 0) return;
    if (s == 0xF0) {
        if (const SysexBytes message = GatherSysex(port, incoming, source, event.data1))
            TakeSysex(port, incoming, message, show);
        return;
    }
    if (s > 0xF0 && !RealtimeMessages) return;
    TakeRow(port, event, incoming, show);
}

void MidiMonitorRows::TakeRow(int port, const MidiEvent& event, bool incoming, bool show) {
    if (!show) {
        NextCount();
        ++skipped_;
        return;
    }
    ShowSkipped();
    NextCount();
    DescribeEvent(port, event, incoming);
    AddRow();
}

MidiMonitorRows::SysexBytes MidiMonitorRows::GatherSysex(int port, bool incoming, int source, uint8_t byte) {
    // Gathered per port, direction and source until its F7. A port outside
    // the tables has no message.
    if (!MonitorEnabled) return nullptr;
    std::string* gathering = Gathering(port, incoming, source);
    if (!gathering) return nullptr;
    std::string& bytes = *gathering;
    const auto finish = [&]() -> SysexBytes {
        // Kept at its own size; the same bytes as the message before it are
        // that message's.
        SysexBytes message = lastSysex_ && *lastSysex_ == bytes ? lastSysex_
                                                                : std::make_shared<const std::string>(bytes);
        lastSysex_ = message;
        bytes.clear();
        if (bytes.capacity() > 256) std::string().swap(bytes);
        return message;
    };
    SysexBytes ended;
    if (byte == 0xF0) {
        if (!bytes.empty()) ended = finish();  // the previous one never ended
        bytes.push_back(static_cast<char>(byte));
    } else if (byte == 0xF7) {
        bytes.push_back(static_cast<char>(byte));
        ended = finish();
        if (!incoming && source >= 0) thruSysex_.erase({port, source});
    } else {
        if (bytes.size() >= kMaxSysexBytes) ended = finish();
        bytes.push_back(static_cast<char>(byte));
    }
    return ended;
}

void MidiMonitorRows::LogSysex(int port, bool incoming, const SysexBytes& message, bool show) {
    if (MonitorEnabled && message) TakeSysex(port, incoming, message, show);
}

void MidiMonitorRows::TakeSysex(int port, bool incoming, const SysexBytes& message, bool show) {
    describing_ = &message;
    static const MidiEvent sysex{0, 0xF0, 0, 0, 0};
    TakeRow(port, sysex, incoming, show);
    describing_ = nullptr;
}

void MidiMonitorRows::SkipNote() {
    if (!MonitorEnabled) return;
    NextCount();
    ++skipped_;
}

void MidiMonitorRows::ShowSkipped() {
    if (skipped_ == 0) return;
    // The row takes the Count of the last line it stands for, so the counts
    // still number every line, shown or not.
    const int lines = skipped_;
    skipped_ = 0;
    RowInOut.clear();
    RowDevice.clear();
    RowRawData.clear();
    RowChannel.clear();
    RowData2.clear();
    RowFullText.clear();
    RowSysex.reset();
    RowColour = kMonitorSkipColour;
    RowStatus = "Skipped";
    RowData1 = std::to_string(lines) + (lines == 1 ? " line not shown" : " lines not shown");
    AddRow();
}

void MidiMonitorRows::LogNote(const std::string& status, const std::string& detail) {
    if (!MonitorEnabled) return;
    ShowSkipped();
    NextCount();
    RowInOut = "--> PC";
    RowColour = kMonitorInColour;
    RowDevice.clear();
    RowRawData.clear();
    RowChannel.clear();
    RowData2.clear();
    RowStatus = status;
    RowData1 = detail;
    RowFullText.clear();
    RowSysex.reset();
    AddRow();
}

void MidiMonitorRows::NextCount() {
    // After 2^31 events the count starts again behind the first screen, so
    // rows keep going to the bottom of the grid.
    EventCount = EventCount == std::numeric_limits<int>::max() ? MaxRows : EventCount + 1;
}

void MidiMonitorRows::DescribeEvent(int port, const MidiEvent& event, bool incoming) {
    RowInOut = incoming ? "--> PC" : "PC -->";
    static const std::vector<std::string> noNames;
    const std::vector<std::string>& aliases = Routing ? (incoming ? Routing->InNames : Routing->OutNames) : noNames;
    RowDevice = MidiRouting::NameOf(aliases, port);
    RowColour = incoming ? kMonitorInColour : kMonitorOutColour;
    RowRawData.clear();
    RowStatus.clear();
    RowChannel.clear();
    RowData1.clear();
    RowData2.clear();
    RowSysex.reset();

    const uint8_t s = event.status;
    const int d1 = event.data1;
    const int d2 = event.data2;
    if (s < 0xF0) {
        RowChannel = std::to_string((s & 0x0F) + 1);
        switch (s & 0xF0) {
            case 0x80:
            case 0x90:
            case 0xA0:
                RowRawData = Bytes(event, 3);
                RowStatus = (s & 0xF0) == 0x80 ? "Note Off" : (s & 0xF0) == 0x90 ? "Note On" : "Poly Aftertouch";
                RowData1 = "Note Number: " + NameOf(noteNames_, d1);
                RowData2 = ((s & 0xF0) == 0xA0 ? "Poly Pressure: " : "Note Velocity: ") + std::to_string(d2);
                break;
            case 0xB0:
                RowRawData = Bytes(event, 3);
                RowStatus = "Controller";
                RowData1 = "Ctrl: " + NameOf(controllerNames_, d1);
                RowData2 = "Ctrl Value: " + std::to_string(d2);
                break;
            case 0xC0:
                RowRawData = Bytes(event, 2);
                RowStatus = "Program Change";
                RowData1 = "Program Number: " + std::to_string(d1);
                break;
            case 0xD0:
                RowRawData = Bytes(event, 2);
                RowStatus = "Mono Aftertouch";
                RowData1 = "Mono Pressure: " + std::to_string(d1);
                break;
            case 0xE0:
                RowRawData = Bytes(event, 3);
                RowStatus = "PitchBend";
                RowData1 = std::to_string(d1);
                RowData2 = std::to_string(d2);
                break;
            default:
                // A running-status data byte or garbage below 0x80: shown as it is.
                RowRawData = Bytes(event, 1);
                RowChannel.clear();
                break;
        }
        RowFullText = RowRawData;
        return;
    }

    switch (s) {
        case 0xF0: {
            // The message given, else the one being gathered on the port.
            if (describing_) {
                RowSysex = *describing_;
            } else {
                const std::string* gathered = Gathering(port, incoming, -1);
                RowSysex = std::make_shared<const std::string>(gathered ? *gathered : std::string());
            }
            RowFullText.clear();
            const std::string& bytes = *RowSysex;
            RowRawData = HexText(bytes.substr(0, 4));
            if (bytes.size() > 4) RowRawData += "...";
            RowStatus = "Sysex";
            RowData1 = "number of bytes: " + std::to_string(bytes.size());
            return;
        }
        case 0xF1:
            RowRawData = Bytes(event, 2);
            RowStatus = "MTC";
            break;
        case 0xF2:
            RowRawData = Bytes(event, 3);
            RowStatus = "Song Position Pointer";
            break;
        case 0xF3:
            RowRawData = Bytes(event, 2);
            RowStatus = "Song Select";
            break;
        case 0xF6:
            RowRawData = Bytes(event, 1);
            RowStatus = "Tune Request";
            break;
        case 0xF7: RowRawData = Bytes(event, 1); break;
        case 0xF8:
            RowRawData = Bytes(event, 1);
            RowStatus = "Midi Clock";
            break;
        case 0xFA:
            RowRawData = Bytes(event, 1);
            RowStatus = "Start";
            break;
        case 0xFB:
            RowRawData = Bytes(event, 1);
            RowStatus = "Continue";
            break;
        case 0xFC:
            RowRawData = Bytes(event, 1);
            RowStatus = "Stop";
            break;
        case 0xFE:
            RowRawData = Bytes(event, 1);
            RowStatus = "Active Sensing";
            break;
        case 0xFF:
            RowRawData = Bytes(event, 1);
            RowStatus = "Reset";
            break;
        default:
            RowRawData = Bytes(event, 1);
            RowStatus = "undefined";
            break;  // F4, F5, F9, FD
    }
    RowFullText = RowRawData;
}

void MidiMonitorRows::AddRow() {
    if (firstScreenRows_ < InitialRows - 1) {
        // The first screen fills from the top, one row per row written
        // (the Count of a row there equals its row unless lines were skipped).
        CurrentRow = ++firstScreenRows_;
    } else if (RowCount() < MaxRows) {
        CurrentRow = RowCount();
        cells_.emplace_back();
        if (Listener) Listener->RowAppended(CurrentRow);
    } else {
        // Full: the oldest ScrollRows event rows go in one move.
        cells_.erase(cells_.begin() + 1, cells_.begin() + 1 + ScrollRows);
        if (Listener) Listener->RowsDropped(1, ScrollRows);
        CurrentRow = MaxRows - ScrollRows;
        cells_.resize(static_cast<size_t>(CurrentRow + 1));
        if (Listener) Listener->RowAppended(CurrentRow);
    }
    if (CurrentRow < 1) CurrentRow = 1;  // a count that went round: never the header
    WriteRow();
    if (Listener) Listener->CurrentRowChanged(CurrentRow);
}

void MidiMonitorRows::WriteRow() {
    const size_t ring = static_cast<size_t>(EventCount) % rowTexts_.size();
    RowColours[ring] = RowColour;
    GridRow& row = cells_[static_cast<size_t>(CurrentRow)];
    row[0] = std::to_string(EventCount);
    row[1] = RowInOut;
    row[2] = RowDevice;
    row[3] = RowRawData;
    row[4] = RowStatus;
    row[5] = RowChannel;
    row[6] = RowData1;
    row[7] = RowData2;
    rowTexts_[ring] = {RowFullText, RowSysex};
    if (Listener) Listener->RowWritten(CurrentRow);
}

void MidiMonitorRows::Clear() {
    for (auto& t : inSysex_) std::string().swap(t);
    for (auto& t : outSysex_) std::string().swap(t);
    thruSysex_.clear();
    lastSysex_.reset();
    CurrentRow = 1;
    EventCount = 0;
    firstScreenRows_ = 0;
    skipped_ = 0;
    ResetGrid();
    if (Listener) Listener->GridReset();
}

int MidiMonitorRows::CountOfRow(int row) const {
    if (row < 1 || row >= RowCount()) return -1;
    const std::string& cell = cells_[static_cast<size_t>(row)][0];
    if (cell.empty()) return -1;
    int count = -1;
    auto [ptr, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), count);
    if (ec != std::errc() || count < 0) return -1;
    return count;
}

MonitorColour MidiMonitorRows::ColourOfRow(int row) const {
    const int count = CountOfRow(row);
    if (count < 0) return -1;
    return RowColours[static_cast<size_t>(count) % RowColours.size()];
}

std::string MidiMonitorRows::HexListing(int row) const {
    const int count = CountOfRow(row);
    if (count < 0) return {};
    const std::string x = RowText(count);
    const size_t bytes = (x.size() + 1) / 3;
    const size_t lines = bytes == 0 ? 1 : (bytes - 1) / 16 + 1;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%6d: ", count);
    std::string listing = buf;
    for (size_t i = 0; i < lines; ++i) {
        std::snprintf(buf, sizeof buf, "%04X (%4d):", static_cast<unsigned>(16 * i), static_cast<int>(16 * i));
        listing += buf;
        if (48 * i < x.size()) listing += x.substr(48 * i, 48);
        listing += '\n';
    }
    return listing;
}

std::string MidiMonitorRows::RowText(int count) const {
    if (count < 0) return {};
    const KeptRow& row = rowTexts_[static_cast<size_t>(count) % rowTexts_.size()];
    return row.sysex ? HexText(*row.sysex) : row.text;
}

size_t MidiMonitorRows::KeptBytes() const {
    size_t n = HeapBytes(RowFullText);
    for (const auto& t : inSysex_) n += HeapBytes(t);
    for (const auto& t : outSysex_) n += HeapBytes(t);
    for (const auto& [key, t] : thruSysex_) n += HeapBytes(t);
    std::vector<const std::string*> messages;
    for (const KeptRow& row : rowTexts_) {
        n += HeapBytes(row.text);
        if (row.sysex) messages.push_back(row.sysex.get());
    }
    for (const SysexBytes& m : {RowSysex, lastSysex_})
        if (m) messages.push_back(m.get());
    std::sort(messages.begin(), messages.end());
    messages.erase(std::unique(messages.begin(), messages.end()), messages.end());
    for (const std::string* m : messages) n += HeapBytes(*m);
    return n;
}

}  // namespace morvelant
