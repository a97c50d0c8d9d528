// The monitor window: rows and colours as the grid shows and paints them, the
// 550-row rule through the view, the double-click listing into the data view,
// the menu items and the configuration section.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>
#include <string>

#include "engine/MidiRouting.h"
#include "model/Notifications.h"
#include "model/DeviceModel.h"
#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "shell/MidiData.h"
#include "shell/MidiMonGrid.h"
#include "tests/support/MidiEvents.h"
#include "tests/support/QtWidgetApp.h"

namespace morvelant {
namespace {

QApplication* App() { return testsupport::WidgetApp(); }

using testsupport::Ev;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct MidiMonGridTest : ::testing::Test {
    QTemporaryDir dir;
    DeviceModel model;
    MidiRouting routing;
    std::unique_ptr<TMidiDataForm> data;
    std::unique_ptr<TMidiMonGridForm> form;

    void SetUp() override {
        App();
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectory(dir.path().toStdString());
        routing.InNames = {"In A", "In B", "Keyboard", "no device"};
        routing.OutNames = {"Out A", "Synth", "no device"};
    }
    void TearDown() override {
        form.reset();
        data.reset();
        SetProgramDirectory("");
    }
    void Make() {
        data = std::make_unique<TMidiDataForm>();
        form = std::make_unique<TMidiMonGridForm>(&model);
        form->SetRouting(&routing);
        form->DataForm = data.get();
        form->Rows.MonitorEnabled = true;
    }
    // The grid as the view sees it, brought up to date first.
    QAbstractItemModel* Grid() {
        form->SyncGrid();
        return form->MidiLogGrid->model();
    }
    QString Cell(int viewRow, int column) { return Grid()->index(viewRow, column).data().toString(); }

    void DoubleClick(int viewRow, int column) {
        QWidget* vp = form->MidiLogGrid->viewport();
        const QPoint p = form->MidiLogGrid->visualRect(Grid()->index(viewRow, column)).center();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), vp->mapToGlobal(QPointF(p)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &press);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(p), vp->mapToGlobal(QPointF(p)), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &dbl);
    }

    // Counts pixels of a pure colour inside a view row as painted.
    int PixelsOf(const QImage& img, int viewRow, QColor colour) {
        const QRect r = form->MidiLogGrid->visualRect(Grid()->index(viewRow, 0))
                            .united(form->MidiLogGrid->visualRect(Grid()->index(viewRow, 7)));
        int n = 0;
        for (int y = r.top(); y <= r.bottom() && y < img.height(); ++y)
            for (int x = r.left(); x <= r.right() && x < img.width(); ++x)
                if (QColor(img.pixel(x, y)) == colour) ++n;
        return n;
    }
};

TEST_F(MidiMonGridTest, LayoutAndComponents) {
    Make();
    EXPECT_EQ(form->windowTitle(), "Midi Monitor");
    EXPECT_EQ(form->findChild<QTableView*>("MidiLogGrid"), form->MidiLogGrid);
    EXPECT_EQ(Grid()->columnCount(), 8);
    EXPECT_EQ(Grid()->rowCount(), 14);  // the header is the view's own
    const char* headers[] = {"Count", "In/Out", "Device", "Raw Data", "Status", "Ch", "Data 1", "Data 2"};
    const int widths[] = {40, 40, 80, 72, 88, 24, 144, 144};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(Grid()->headerData(c, Qt::Horizontal).toString(), headers[c]);
        EXPECT_EQ(form->MidiLogGrid->columnWidth(c), widths[c]);
    }
    EXPECT_EQ(form->MidiLogGrid->verticalHeader()->defaultSectionSize(), 15);
    EXPECT_EQ(form->MidiLogGrid->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);  // a narrow window
    ASSERT_NE(form->findChild<QAction*>("RealtimeMessages"), nullptr);
    EXPECT_EQ(form->Clear1->text(), "Clear");
    EXPECT_EQ(form->Clear1->shortcut(), QKeySequence("Ctrl+X"));
    EXPECT_EQ(form->RealtimeMessages->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_EQ(form->Enable1->shortcut(), QKeySequence("Ctrl+I"));
    EXPECT_EQ(form->PopupMenu1->actions().size(), 4);  // with the separator
    EXPECT_EQ(data->windowTitle(), "Midi Data");
    EXPECT_EQ(data->RichEdit1->objectName(), "RichEdit1");
    EXPECT_EQ(data->RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);
}

TEST_F(MidiMonGridTest, IncomingAndOutgoingRowsInTheirColours) {
    Make();
    form->LogEvent(2, Ev(0x90, 60, 100), true);
    const MidiEvent out = Ev(0xB0, 7, 99);
    form->LogEvent(1, &out, false);
    EXPECT_EQ(Cell(0, 0), "1");
    EXPECT_EQ(Cell(0, 1), "--> PC");
    EXPECT_EQ(Cell(0, 2), "Keyboard");
    EXPECT_EQ(Cell(0, 3), "90 3C 64");
    EXPECT_EQ(Cell(0, 4), "Note On");
    EXPECT_EQ(Cell(0, 7), "Note Velocity: 100");
    EXPECT_EQ(Cell(1, 1), "PC -->");
    EXPECT_EQ(Cell(1, 2), "Synth");
    EXPECT_EQ(Cell(1, 3), "B0 07 63");
    EXPECT_EQ(Grid()->index(0, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
    EXPECT_EQ(Grid()->index(1, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_FALSE(Grid()->index(2, 3).data(Qt::ForegroundRole).isValid());

    // As painted: blue text on white in the first row, red in the second,
    // neither in the empty third; the selection does not recolour a row.
    form->resize(668, 287);
    form->show();
    QCoreApplication::processEvents();
    const QImage img = form->MidiLogGrid->viewport()->grab().toImage();
    EXPECT_GT(PixelsOf(img, 0, QColor(0, 0, 255)), 10);
    EXPECT_EQ(PixelsOf(img, 0, QColor(255, 0, 0)), 0);
    EXPECT_GT(PixelsOf(img, 1, QColor(255, 0, 0)), 10);
    EXPECT_EQ(PixelsOf(img, 1, QColor(0, 0, 255)), 0);
    EXPECT_EQ(PixelsOf(img, 2, QColor(255, 0, 0)) + PixelsOf(img, 2, QColor(0, 0, 255)), 0);
    EXPECT_EQ(form->MidiLogGrid->currentIndex().row(), 1);
}

TEST_F(MidiMonGridTest, SysexMessageIsOneRowAndListsInDataView) {
    Make();
    const uint8_t bytes[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    for (uint8_t b : bytes) form->LogEvent(0, Ev(0xF0, b), true);
    EXPECT_EQ(form->Rows.EventCount, 1);
    EXPECT_EQ(Cell(0, 3), "F0 7E 7F 09...");
    EXPECT_EQ(Cell(0, 4), "Sysex");
    EXPECT_EQ(Cell(0, 6), "number of bytes: 6");
    EXPECT_TRUE(Cell(1, 0).isEmpty());

    form->resize(668, 287);
    form->show();
    QCoreApplication::processEvents();
    DoubleClick(0, 3);
    const std::string expected = std::string(50, '-') + "\n     1: 0000 (   0):F0 7E 7F 09 01 F7\n";
    EXPECT_EQ(data->Text(), expected.substr(0, expected.size() - 1) + "\n");
    EXPECT_TRUE(data->isVisible());
    EXPECT_EQ(data->RichEdit1->textCursor().position(), data->RichEdit1->toPlainText().size());

    // An empty row, and a position outside the cells, add nothing.
    DoubleClick(5, 0);
    form->MidiLogGridMouseDown(-1, -1);
    form->MidiLogGridDblClick();
    EXPECT_EQ(data->Text(), expected);

    // A second listing is appended behind its own separator.
    form->LogEvent(0, Ev(0x90, 1, 2), true);
    DoubleClick(1, 0);
    EXPECT_EQ(data->Text(), expected + std::string(50, '-') + "\n     2: 0000 (   0):90 01 02\n");
}

// A long system-exclusive message reaches the monitor as the engine logs it:
// byte by byte as it comes in, and again as thru passes it to an output. The
// monitor keeps its bytes once, whatever the rows and frames that show it:
// not a record per byte nor a text per row and direction.
TEST_F(MidiMonGridTest, LongSysexIsKeptOnce) {
    Notifications notices;
    data = std::make_unique<TMidiDataForm>();
    form = std::make_unique<TMidiMonGridForm>(&model, &notices);
    form->SetRouting(&routing);
    form->DataForm = data.get();
    form->Rows.MonitorEnabled = true;
    constexpr size_t kBytes = 50000;
    constexpr int kMessages = 3;
    for (int m = 0; m < kMessages; ++m) {
        for (size_t i = 0; i < kBytes; ++i) {
            const uint8_t b = i == 0 ? 0xF0 : i + 1 == kBytes ? 0xF7 : static_cast<uint8_t>((i + m) & 0x7F);
            MidiEvent e = Ev(0xF0, b);
            e.time = 0;
            notices.MonitorLine.Publish(0, e, true, 0);
            notices.MonitorLine.Publish(1, e, false, 0);
        }
        form->SyncGrid();
    }
    // Each message shows in rows of at most kMaxSysexBytes, in and out.
    const size_t rowsPerMessage = (kBytes + MidiMonitorRows::kMaxSysexBytes - 1) / MidiMonitorRows::kMaxSysexBytes;
    EXPECT_EQ(form->Rows.EventCount, static_cast<int>(2 * rowsPerMessage * kMessages));
    const int last = form->Rows.CurrentRow;
    EXPECT_EQ(form->Rows.Cell(2, last - 1), "In A");
    EXPECT_EQ(form->Rows.Cell(2, last), "Synth");
    EXPECT_EQ(form->Rows.Cell(6, last),
              "number of bytes: " + std::to_string(kBytes - (rowsPerMessage - 1) * MidiMonitorRows::kMaxSysexBytes));
    // The listings of the last message's tail, as it came in and as it went out.
    EXPECT_EQ(form->Rows.HexListing(last - 1).substr(8), form->Rows.HexListing(last).substr(8));
    EXPECT_NE(form->Rows.HexListing(last).find("F7\n"), std::string::npos);
    EXPECT_LE(form->KeptBytes(), kMessages * kBytes + 16 * 1024);
}

TEST_F(MidiMonGridTest, FiveHundredFiftyRowsThroughTheView) {
    Make();
    form->resize(668, 287);
    form->show();
    for (int i = 1; i <= 549; ++i) form->LogEvent(0, Ev(0x90, 1, 1), true);
    EXPECT_EQ(Grid()->rowCount(), 549);
    form->LogEvent(0, Ev(0x80, 1, 1), false);
    EXPECT_EQ(Grid()->rowCount(), 500);
    EXPECT_EQ(Cell(0, 0), "51");
    EXPECT_EQ(Cell(498, 0), "549");
    EXPECT_EQ(Cell(499, 0), "550");
    EXPECT_EQ(Cell(499, 1), "PC -->");
    EXPECT_EQ(form->MidiLogGrid->currentIndex().row(), 499);
    form->LogEvent(0, Ev(0x90, 1, 1), true);
    EXPECT_EQ(Grid()->rowCount(), 501);
    EXPECT_EQ(Cell(500, 0), "551");
    // The view follows by itself within its refresh period.
    form->LogEvent(0, Ev(0x90, 1, 1), true);
    QElapsedTimer waited;
    waited.start();
    while (form->MidiLogGrid->model()->rowCount() != 502 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(form->MidiLogGrid->model()->rowCount(), 502);
    EXPECT_EQ(form->MidiLogGrid->currentIndex().row(), 501);
    const QRect vis = form->MidiLogGrid->visualRect(Grid()->index(501, 0));
    EXPECT_TRUE(form->MidiLogGrid->viewport()->rect().intersects(vis));
}

TEST_F(MidiMonGridTest, MenuItems) {
    Make();
    form->Rows.MonitorEnabled = false;
    form->Enable1Click();
    EXPECT_TRUE(form->MonitorEnabled());
    EXPECT_EQ(form->Enable1->text(), "Disable Midi Monitor");
    form->LogEvent(0, Ev(0xF8), true);
    EXPECT_EQ(form->Rows.EventCount, 0);
    form->RealtimeMessagesClick();
    EXPECT_TRUE(form->RealtimeMessages->isChecked());
    form->LogEvent(0, Ev(0xF8), true);
    EXPECT_EQ(Cell(0, 4), "Midi Clock");
    form->RealtimeMessages->trigger();  // chosen from the menu
    EXPECT_FALSE(form->Rows.RealtimeMessages);

    for (int i = 0; i < 30; ++i) form->LogEvent(0, Ev(0x90, 1, 1), true);
    form->Clear1->trigger();
    EXPECT_EQ(Grid()->rowCount(), 14);
    EXPECT_TRUE(Cell(0, 0).isEmpty());
    EXPECT_EQ(Grid()->headerData(0, Qt::Horizontal).toString(), "Count");

    // Switching logging while the explorer runs sets its node's image.
    std::vector<int> images;
    form->ExplorerStateImage = [&](int image) { images.push_back(image); };
    form->Enable1Click();  // explorer not ready: not told
    model.ExplorerReady = true;
    form->Enable1Click();  // on, hidden
    form->show();
    form->Enable1Click();  // off, visible
    EXPECT_EQ(images, (std::vector<int>{3, 2}));
    EXPECT_EQ(form->Enable1->text(), "Enable Midi Monitor");
}

TEST_F(MidiMonGridTest, ShowAndCloseSetTheOption) {
    Make();
    form->Show();
    EXPECT_TRUE(model.ShowMidiMonitor);
    form->Close();
    EXPECT_FALSE(model.ShowMidiMonitor);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MidiMonGridTest, ConfigurationDefaultsAndRoundTrip) {
    {
        TMidiMonGridForm fresh(&model);
        EXPECT_EQ(fresh.Left(), 150);
        EXPECT_EQ(fresh.Top(), 329);
        EXPECT_EQ(fresh.Width(), 668);
        EXPECT_EQ(fresh.Height(), 287);
        EXPECT_TRUE(fresh.InitFlag);
        EXPECT_FALSE(fresh.MonitorEnabled());
        EXPECT_EQ(fresh.Enable1->text(), "Enable Midi Monitor");
    }
    const std::string cfg = ConfigFileName();
    EXPECT_EQ(ReadFile(cfg),
              "[Midi Monitor Grid Form]\r\nTop=329\r\nLeft=150\r\nWidth=668\r\nHeight=287\r\nInit=1\r\n"
              "Active Flag=0\r\n\r\n[Options]\r\nShowMidiMonitor=0\r\n");

    TIniFile ini(cfg);
    ini.WriteInteger("Midi Monitor Grid Form", "Top", -20);
    ini.WriteInteger("Midi Monitor Grid Form", "Left", 10);
    ini.WriteBool("Midi Monitor Grid Form", "Active Flag", true);
    ini.WriteBool("Midi Monitor Grid Form", "Init", false);
    ini.WriteBool("Options", "ShowMidiMonitor", true);
    {
        TMidiMonGridForm again(&model);
        EXPECT_EQ(again.Top(), 0);  // a negative top is set to 0
        EXPECT_EQ(again.Left(), 10);
        EXPECT_TRUE(again.MonitorEnabled());
        EXPECT_FALSE(again.InitFlag);
        EXPECT_TRUE(model.ShowMidiMonitor);
        EXPECT_EQ(again.Enable1->text(), "Disable Midi Monitor");
    }
    EXPECT_EQ(ini.ReadInteger("Midi Monitor Grid Form", "Top", -1), 0);
    EXPECT_TRUE(ini.ReadBool("Midi Monitor Grid Form", "Active Flag", false));
    EXPECT_FALSE(ini.ReadBool("Midi Monitor Grid Form", "Init", true));

    // Started with a program path, the window keeps its section in that
    // folder's file, beside every other window's.
    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    DeviceModel started(other.path().toStdString());
    { TMidiMonGridForm elsewhere(&started); }
    EXPECT_EQ(TIniFile(other.path().toStdString() + "/Morvelant.cfg").ReadInteger("Midi Monitor Grid Form", "Left", 0),
              150);
    EXPECT_EQ(ini.ReadInteger("Midi Monitor Grid Form", "Left", 0), 10);
}

}  // namespace
}  // namespace morvelant
