// The "Midi Monitor" window: one row per MIDI event that comes in or goes
// out, received in blue and sent in red, with a double click listing a row's
// bytes in the "Midi Data" window. The rows themselves are kept and worded by
// MidiMonitorRows; this window shows them.
#pragma once

#include <QAbstractTableModel>
#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/MidiKit32.h"
#include "engine/MonitorRows.h"
#include "model/Notifications.h"
#include "platform/CommandRegistry.h"
#include "platform/QtFormBase.h"

namespace morvelant {

class DeviceModel;
struct MidiRouting;
class TMidiDataForm;
class MonitorGridModel;

class TMidiMonGridForm : public TForm {
    Q_OBJECT

public:
    // Reads its configuration section (and "Options"/"ShowMidiMonitor" into
    // the model when one is given).
    // notices: where the monitor rows come from (MonitorLine); null: only
    // what is logged by hand. commands: where the window registers the menu
    // window's "Midi Monitor Active" and keeps its tick; null: none.
    explicit TMidiMonGridForm(DeviceModel* model = nullptr, Notifications* notices = nullptr,
                              CommandRegistry* commands = nullptr, QWidget* parent = nullptr);
    // Writes the configuration back.
    ~TMidiMonGridForm() override;

    // ---- Components -----------------------------------------------------
    QTableView* MidiLogGrid = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* RealtimeMessages = nullptr;
    QAction* Clear1 = nullptr;
    QAction* Enable1 = nullptr;

    // ---- Fields ---------------------------------------------------------
    MidiMonitorRows Rows;  // the grid's rows, the sysex texts and the rings
    int MouseX = -1;
    int MouseY = -1;
    bool InitFlag = true;

    // Port aliases for the "Device" column (the MIDI settings' tables).
    void SetRouting(const MidiRouting* routing) { Rows.Routing = routing; }
    // The data view the listing goes to (handed by the composition root);
    // none: the listing goes nowhere.
    QPointer<TMidiDataForm> DataForm;
    // Called with the explorer's state image for the "Midi Monitor" node
    // (4 on and visible, 3 on and hidden, 2 off and visible, 1 off and
    // hidden) when logging is switched while the explorer is ready.
    std::function<void(int stateImage)> ExplorerStateImage;
    static int MonitorStateImage(bool enabled, bool visible);

    // ---- Operations -----------------------------------------------------
    void LogEvent(int port, const MidiEvent* event, bool incoming);
    void LogEvent(int port, const MidiEvent& event, bool incoming) { Rows.LogEvent(port, event, incoming); }
    bool MonitorEnabled() const { return Rows.MonitorEnabled; }
    void DescribeEvent(int port, const MidiEvent& event, bool incoming) { Rows.DescribeEvent(port, event, incoming); }
    void AddRow() { Rows.AddRow(); }

    // ---- Handlers -------------------------------------------------------
    void MidiLogGridMouseDown(int x, int y);
    void MidiLogGridDblClick();
    void Clear1Click();
    void Enable1Click();
    void RealtimeMessagesClick();

    // The grid row (0 = header) shown at a view row, and back.
    static int GridRowOfViewRow(int viewRow) { return viewRow + 1; }
    // The grid follows the rows at most every 20 ms (a flood of events
    // would otherwise repaint it for each one), and the lines the engine
    // logs become rows at the next frame (kFrameMs), at most every
    // kReadableMs while they keep coming, and no more of them than the
    // grid shows at once (the rest are counted in one "Skipped" row); this
    // brings both up to date now: rows, current row selected and scrolled
    // into view.
    void SyncGrid();
    static constexpr int kFrameMs = 16;
    static constexpr int kReadableMs = 100;
    // The bytes the monitor holds for messages' contents: the rows' and
    // what waits to become rows.
    size_t KeptBytes() const { return Rows.KeptBytes() + pending_.capacity() * sizeof(PendingLine); }

protected:
    void FormShow() override;
    void FormClose(TCloseAction& action) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::string ConfigFile() const;
    void ReadConfiguration();
    void WriteConfiguration();
    void ShowEnableCaption();

    DeviceModel* model_ = nullptr;
    Subscription monitorLines_;
    Subscription monitorNotes_;
    CommandRegistry* commands_ = nullptr;
    std::unique_ptr<MonitorGridModel> gridModel_;

    // A line or note logged by the engine, not made into a row yet. The
    // bytes of a system-exclusive message are gathered as they come; the
    // message is one line when it ends.
    struct PendingLine {
        bool note;  // a note (status and detail), else an event
        int port;
        MidiEvent event;
        bool incoming;
        std::string status, detail;
        int source;  // passed thru from this input; -1: the program's own
        MidiMonitorRows::SysexBytes sysex;  // a whole message (event unused)
    };
    void QueueEvent(int port, const MidiEvent& event, bool incoming, int source);
    void Queue(PendingLine line);
    void TakePending();
    int RowsOnScreen() const;
    std::vector<PendingLine> pending_;
    QTimer frame_;  // runs only while lines wait
    QElapsedTimer shown_;  // since the lines last became rows
};

extern TMidiMonGridForm* MidiMonGridForm;

}  // namespace morvelant
