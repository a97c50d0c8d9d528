// A start of the editor whose preset working set holds notes of
// state.range(0) MiB (lines of 78 characters) in the preset that is current
// at start, with the preset notes window open, and a selection of another
// preset and back: the time to the first windows and the peak memory,
// against the same start without notes.
// Offscreen, loopback backend.
//
// Each start runs in a child process of its own, so that its peak memory is
// its own. Reports x_start_without_notes (the start's time over that of a
// start without notes in the same run), select_ms (selecting another
// preset, then the one with the notes again), peak_growth_MiB (the peak
// resident memory over that before the start) and x_file (that growth over
// the working set's size).

#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/EditorWindowSet.h"
#include "model/PresetFiles.h"
#include "presets/PresetFormUnit.h"
#include "shell/MainMenu.h"

namespace {

using namespace morvelant;
using Clock = std::chrono::steady_clock;

struct Start {
    double startMs = 0, selectMs = 0, baseKiB = 0, peakKiB = 0;
    std::size_t notesBytes = 0;  // of the current preset, as the start read them
};

double ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6));
    return 0;
}

// The program folder: the working set with the notes, and the notes window
// open. Returns the size of the notes.
std::size_t Prepare(const std::string& folder, std::size_t notesBytes) {
    DeviceModel model(folder);
    std::string& notes = model.Presets[0].PresetNotes;
    notes.reserve(notesBytes);
    while (notes.size() + 80 <= notesBytes) notes += std::string(78, char('a' + notes.size() / 80 % 26)) + "\r\n";
    std::vector<int> records;
    for (int s = 0; s < kDeviceSlots + 1; ++s) records.push_back(s);
    std::string why;
    if (!WriteEditorFile(model, EditorFileKind::Presets, folder + kPresetWorkingSet, records, &why)) std::abort();
    std::ofstream(folder + "Morvelant.cfg") << "[Options]\r\nShowNotes=1\r\n";
    return notes.size();
}

// In the child: start, select the slot and back, report.
[[noreturn]] void RunStart(const std::string& folder, int out) {
    int argc = 1;
    char name[] = "NotesBench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    Start s;
    s.baseKiB = ResidentKiB();
    const auto t0 = Clock::now();
    {
        EditorWindowSet windows;
        windows.Create(folder, {});
        MainMenuForm->Show();
        QCoreApplication::processEvents();
        const auto t1 = Clock::now();
        PresetForm->SelectPreset(2, false);
        QCoreApplication::processEvents();
        PresetForm->SelectPreset(0, false);
        QCoreApplication::processEvents();
        s.startMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
        s.selectMs = std::chrono::duration<double, std::milli>(Clock::now() - t1).count();
        s.notesBytes = windows.Context().Model.Presets[0].PresetNotes.size();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        s.peakKiB = double(usage.ru_maxrss);
        if (write(out, &s, sizeof s) != ssize_t(sizeof s)) _exit(2);
        windows.DestroyAll();
    }
    _exit(0);
}

Start StartInChild(const std::string& folder) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) std::abort();
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        RunStart(folder, pipeFds[1]);
    }
    close(pipeFds[1]);
    Start s;
    const bool got = read(pipeFds[0], &s, sizeof s) == ssize_t(sizeof s);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!got) std::abort();
    return s;
}

double StartWithoutNotesMs() {
    static const double ms = [] {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString() + "/";
        Prepare(folder, 0);
        double best = 1e9;
        for (int i = 0; i < 3; ++i) best = std::min(best, StartInChild(folder).startMs);
        return best;
    }();
    return ms;
}

void BM_StartWithLargeNotes(benchmark::State& state) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("MIDIKIT_BACKEND", "loopback", 1);
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    const std::size_t notesBytes = Prepare(folder, std::size_t(state.range(0)) << 20);
    const double fileMiB = double(std::filesystem::file_size(folder + kPresetWorkingSet)) / (1 << 20);
    Start sum;
    double growth = 0;
    for (auto _ : state) {
        const Start s = StartInChild(folder);
        if (!bench::CheckCount(state, "bytes of notes started with", int64_t(s.notesBytes), int64_t(notesBytes)))
            return;
        sum.startMs += s.startMs;
        sum.selectMs += s.selectMs;
        growth = std::max(growth, (s.peakKiB - s.baseKiB) / 1024);
    }
    const double n = double(state.iterations());
    state.counters["start_ms"] = sum.startMs / n;
    state.counters["x_start_without_notes"] = sum.startMs / n / StartWithoutNotesMs();
    state.counters["select_ms"] = sum.selectMs / n;
    state.counters["file_MiB"] = fileMiB;
    state.counters["peak_growth_MiB"] = growth;
    state.counters["x_file"] = growth / fileMiB;
}
BENCHMARK(BM_StartWithLargeNotes)->Arg(0)->Arg(1)->Arg(10)->Arg(40)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

MORVELANT_BENCHMARK_MAIN();
