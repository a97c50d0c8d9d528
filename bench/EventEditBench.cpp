// The piano roll's paint time: the whole event editor window at 1600 x 1000
// with eight displayed tracks, redrawn and repainted, once as a plain
// repaint and once for every step of a drag-scroll in the note area.
// Reported per frame: the median and the worst time (counters "median_ms"
// and "worst_ms"); the aim is a median below 8 ms and no frame above 16 ms.
//
//   EventEditBench [benchmark flags]
//
// Runs on the offscreen platform; no display is needed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "model/DeviceModel.h"
#include "model/Notifications.h"
#include "model/PatternSteps.h"
#include "patterns/EventEdit.h"

using namespace morvelant;
using Clock = std::chrono::steady_clock;

namespace {

struct Scene {
    QTemporaryDir folder;
    DeviceModel model;
    Notifications notes;
    std::unique_ptr<TEventEditForm> form;

    Scene() {
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
        form = std::make_unique<TEventEditForm>(model, notes, folder.path().toStdString() + "/Morvelant.cfg");
        form->Show();
        form->resize(1600, 1000);
        for (QCheckBox* box : form->DisplayBoxes) box->setChecked(true);
        form->ScrollBar1->setValue(80);  // the notes' rows in view
        QApplication::processEvents();
    }
};

// Times each frame: `prepare` goes untimed, `frame` is measured.
void MeasureFrames(benchmark::State& state, const std::function<void()>& prepare, const std::function<void()>& frame) {
    std::vector<double> frames;
    for (auto _ : state) {
        prepare();
        const auto start = Clock::now();
        frame();
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        frames.push_back(took.count());
        state.SetIterationTime(took.count() / 1000.0);
    }
    std::sort(frames.begin(), frames.end());
    state.counters["median_ms"] = frames[frames.size() / 2];
    state.counters["worst_ms"] = frames.back();
}

void BM_RepaintWindow(benchmark::State& state) {
    Scene scene;
    MeasureFrames(
        state, [] {},
        [&] {
            scene.form->RedrawAll();
            scene.form->repaint();
        });
}
BENCHMARK(BM_RepaintWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

void BM_DragScroll(benchmark::State& state) {
    Scene scene;
    int x = 1400;
    scene.form->EventImageMouseDown(Qt::LeftButton, x, 300);
    auto prepare = [&] {
        x -= 3;  // each move scrolls the view 24 pixels on
        if (x >= 100) return;
        scene.form->EventImageMouseUp(Qt::LeftButton, x, 300);
        x = 1400;
        scene.form->EventImageMouseDown(Qt::LeftButton, x, 300);
    };
    MeasureFrames(state, prepare, [&] {
        scene.form->EventImageMouseMove(x, 300);
        scene.form->repaint();
    });
}
BENCHMARK(BM_DragScroll)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
