// The piano roll's paint time: the whole event editor window with eight
// displayed tracks at three sizes, each frame measured against a plain fill
// of the same area in the same run (a frame that costs what one fill of the
// window costs reads 1.0).
//
// Frames, per size (the argument is the width; heights 1000, 1200, 2160):
//   Full    - the pattern changed: everything redrawn and the whole window repainted
//   Colour  - a view colour changed: as Full, and nothing can be kept from before
//   Drag    - one step of a drag-scroll in the note area, as the mouse sends it
//   Wheel   - one wheel notch over the note area
//   FirstFrame - the window shown: its first frame at that size
// Each reports "median_ms", "worst_ms" and "ratio" (median over the fill's
// median), and the same frames in the GUI thread's own CPU time
// ("median_cpu_ms", "worst_cpu_ms": on a shared machine the wall clock also
// counts the time other programs held the processor) with the frame that was
// worst ("worst_at", 0 the first). The first frames after the window was
// shown are measured too: a picture painted for the first time is a frame a
// user waits for. The aim is below 8 ms at 1920 x 1200 and 16 ms at
// 3840 x 2160 for every frame, the worst included.
//
//   EventEditBench [--on-display] [benchmark flags]
//
// Runs on the offscreen platform by default; no display is needed. With
// --on-display it runs in a real window on the X display DISPLAY names
// (scripts/on-display.sh gives it a virtual X server of 3840 x 2400 with a
// window manager): every frame then ends when the X server has taken the
// picture (one round trip after Qt's flush), and the first frame when the
// window, mapped by the window manager, has been painted for the first time.
#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QTemporaryDir>
#include <QWheelEvent>

#ifdef MORVELANT_BENCH_XCB
#include <qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "model/PatternSteps.h"
#include "patterns/EventEdit.h"

using namespace morvelant;
using Clock = std::chrono::steady_clock;

namespace {

bool g_onDisplay = false;

// Waits until the X server has done what was sent to it (a round trip):
// a frame a user sees ends there. Offscreen there is nothing to wait for.
void SyncDisplay() {
#ifdef MORVELANT_BENCH_XCB
    if (!g_onDisplay) return;
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_connection_t* c = x11->connection();
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
#endif
}

// Counts the paints of a widget.
struct PaintCount : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

int HeightFor(int width) { return width >= 3840 ? 2160 : width >= 1920 ? 1200 : 1000; }

struct Scene {
    QTemporaryDir folder;
    DeviceModel model;
    Notifications notes;
    std::unique_ptr<TEventEditForm> form;

    explicit Scene(int width) {
        model.InitPattern(0);
        Pattern_Parameters& p = model.Patterns[0];
        for (int t = 1; t <= kTrackCount; ++t) {
            p.TrackData1(t - 1) = 30 + 4 * t;
            p.TrackRunMode(t - 1) = (t * 5) % 12;
            p.TrackGateTime(t - 1) = 4 * (t % 4) + 8;
            p.TrackNoteTime(t - 1) = 8;
            for (int s = 1; s <= kStepCount; ++s) {
                SetStepNote(model, 0, t, (s * 7 + t) % 24, s);
                SetStepVelocity(model, 0, t, 30 + (s * 13) % 97, s);
            }
        }
        MakeForm(width);
        ShowAndPaint();
    }
    // Shows the window and returns after its first paint: offscreen that is
    // one pass of the event loop; on a display the window manager maps the
    // window first, and the paint follows its first expose. False when no
    // paint came within five seconds.
    bool ShowAndPaint() {
        PaintCount count;
        form->EventImage->installEventFilter(&count);
        form->Show();
        Flush();
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (g_onDisplay && count.paints == 0 && Clock::now() < until) {
            QApplication::processEvents(QEventLoop::AllEvents, 1);
            Flush();
        }
        form->EventImage->removeEventFilter(&count);
        SyncDisplay();
        return !g_onDisplay || count.paints > 0;
    }
    // A new window at that size, not shown yet.
    void MakeForm(int width) {
        form.reset();
        form = std::make_unique<TEventEditForm>(model, notes, folder.path().toStdString() + "/Morvelant.cfg");
        // Rows of 16 pixels: all 128 do not fit even at 2160, so the window
        // keeps the height it is given.
        form->ScaleYTrackBar->setValue(19);
        form->resize(width, HeightFor(width));
        for (QCheckBox* box : form->DisplayBoxes) box->setChecked(true);
        form->View.ScrollY = std::min(480, form->View.ScrollYRange());  // the notes' rows in view
    }
    void Flush() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        QApplication::processEvents();
    }
    void Wheel(int delta) {
        const QPointF at(form->EventImage->width() / 2, form->EventImage->height() / 2);
        QWheelEvent e(at, form->EventImage->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(form->EventImage, &e);
    }
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, form->EventImage->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(form->EventImage, &e);
    }
};

struct Frames {
    double median = 0, worst = 0, medianCpu = 0, worstCpu = 0;
    int worstAt = 0;
};

// The calling thread's CPU time, in milliseconds.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Times each frame: `prepare` goes untimed, `frame` is measured.
Frames MeasureFrames(benchmark::State& state, const std::function<void()>& prepare,
                     const std::function<void()>& frame) {
    std::vector<double> frames, cpu;
    for (auto _ : state) {
        prepare();
        const double cpu0 = ThreadCpuMs();
        const auto start = Clock::now();
        frame();
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        cpu.push_back(ThreadCpuMs() - cpu0);
        frames.push_back(took.count());
        state.SetIterationTime(took.count() / 1000.0);
    }
    Frames f;
    f.worstAt = int(std::max_element(cpu.begin(), cpu.end()) - cpu.begin());
    std::sort(frames.begin(), frames.end());
    std::sort(cpu.begin(), cpu.end());
    f.median = frames[frames.size() / 2];
    f.worst = frames.back();
    f.medianCpu = cpu[cpu.size() / 2];
    f.worstCpu = cpu.back();
    return f;
}

// The baseline: one plain fill of the window's area, in the backing store's format.
double FillMedian(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    std::vector<double> frames;
    for (int i = 0; i < 60; ++i) {
        const auto start = Clock::now();
        QPainter p(&image);
        p.fillRect(0, 0, width, height, QColor(i & 1 ? 0x808080 : 0x808081));
        p.end();
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        frames.push_back(took.count());
    }
    std::sort(frames.begin(), frames.end());
    return frames[frames.size() / 2];
}

// Whether the window timed is the size the benchmark names: the frames of
// a window of another size say nothing of that size, so the run fails.
bool TimedItsSize(benchmark::State& state, const Scene& scene) {
    const QSize named(int(state.range(0)), HeightFor(int(state.range(0)))), timed = scene.form->size();
    return bench::Check(state, timed == named,
                        "a " + std::to_string(timed.width()) + "x" + std::to_string(timed.height()) + " window, not " +
                            std::to_string(named.width()) + "x" + std::to_string(named.height()));
}

void Report(benchmark::State& state, const Scene& scene, const Frames& f) {
    if (!TimedItsSize(state, scene)) return;
    const double fill = FillMedian(scene.form->width(), scene.form->height());
    state.counters["median_ms"] = f.median;
    state.counters["worst_ms"] = f.worst;
    state.counters["median_cpu_ms"] = f.medianCpu;
    state.counters["worst_cpu_ms"] = f.worstCpu;
    state.counters["worst_at"] = f.worstAt;
    state.counters["fill_ms"] = fill;
    state.counters["ratio"] = f.median / fill;
    state.counters["width"] = scene.form->width();
    state.counters["height"] = scene.form->height();
    state.SetLabel(g_onDisplay ? QGuiApplication::platformName().toStdString() : "offscreen");
}

// The whole window redrawn and repainted after `change` (untimed).
void Repaints(benchmark::State& state, const std::function<void(Scene&, int frame)>& change) {
    Scene scene(int(state.range(0)));
    int i = 0;
    const Frames f = MeasureFrames(
        state, [&] { change(scene, ++i); },
        [&] {
            scene.form->RedrawAll();
            scene.form->repaint();
            SyncDisplay();
        });
    Report(state, scene, f);
}

void BM_Full(benchmark::State& state) {
    Repaints(state, [](Scene&, int) {});
}

void BM_Colour(benchmark::State& state) {
    Repaints(state, [](Scene& scene, int frame) {
        scene.form->ViewColors[TEventEditForm::vcBackground] = frame & 1 ? 8421504 : 8421505;
    });
}

void BM_Drag(benchmark::State& state) {
    Scene scene(int(state.range(0)));
    const int left = 100, right = scene.form->EventImage->width() - 50, y = scene.form->EventImage->height() / 2;
    int x = left, dy = 1;
    scene.Mouse(QEvent::MouseButtonPress, {x, y}, Qt::LeftButton);
    auto prepare = [&] {
        x += 3;  // each move scrolls the view 24 pixels on in time, and 48 up or down
        dy = -dy;
        if (x <= right) return;
        scene.Mouse(QEvent::MouseButtonRelease, {x, y}, Qt::NoButton);
        scene.Flush();
        x = left;
        scene.Mouse(QEvent::MouseButtonPress, {x, y}, Qt::LeftButton);
    };
    const Frames f = MeasureFrames(state, prepare, [&] {
        scene.Mouse(QEvent::MouseMove, {x, y + 3 * dy}, Qt::LeftButton);
        scene.Flush();
        SyncDisplay();
    });
    Report(state, scene, f);
}

void BM_Wheel(benchmark::State& state) {
    Scene scene(int(state.range(0)));
    int i = 0;
    const Frames f = MeasureFrames(
        state, [] {},
        [&] {
            scene.Wheel(++i % 20 < 10 ? -120 : 120);
            scene.Flush();
            SyncDisplay();
        });
    Report(state, scene, f);
}

// The window's first frame at its size: shown, everything painted for the
// first time (the window made beforehand, untimed).
void BM_FirstFrame(benchmark::State& state) {
    Scene scene(int(state.range(0)));
    int unpainted = 0, sized = 0;
    const Frames f = MeasureFrames(
        state, [&] { sized += TimedItsSize(state, scene) ? 1 : 0; scene.MakeForm(int(state.range(0))); },
        [&] { unpainted += scene.ShowAndPaint() ? 0 : 1; });
    if (unpainted > 0) {
        state.SkipWithError((std::to_string(unpainted) + " windows not painted within 5 s of their show").c_str());
        return;
    }
    // Every window shown, the last one in Report.
    if (sized == int(state.iterations())) Report(state, scene, f);
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1600)->Arg(1920)->Arg(3840)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(120);
}
BENCHMARK(BM_Full)->Apply(Sizes);
BENCHMARK(BM_Colour)->Apply(Sizes);
BENCHMARK(BM_Drag)->Apply(Sizes);
BENCHMARK(BM_Wheel)->Apply(Sizes);
BENCHMARK(BM_FirstFrame)->Apply(Sizes);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) != "--on-display") continue;
        g_onDisplay = true;
        std::copy(argv + i + 1, argv + argc + 1, argv + i);
        --argc;
        break;
    }
    if (g_onDisplay) {
#ifndef MORVELANT_BENCH_XCB
        fprintf(stderr, "EventEditBench: built without xcb, --on-display cannot wait for the X server\n");
        return 2;
#endif
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    return morvelant::bench::RunBenchmarkMain(&argc, argv);
}
