// The preset description of all 128 presets, and the two printouts (the
// description and the fader label sheet) written as PDF files.
#include <benchmark/benchmark.h>

#include "bench/BenchCheck.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include "presets/Description.h"
#include "presets/DescriptionForm.h"
#include "presets/Printout.h"

namespace morvelant {
namespace {

DeviceModel& Model() {
    static DeviceModel* m = [] {
        auto* model = new DeviceModel();
        for (int p = 0; p < kPresetCount; ++p) {
            model->FactoryInitPreset(p);
            for (int f = 0; f < kFaderCount; ++f) {
                model->Presets[std::size_t(p)].SliderName[std::size_t(f)] = "Name " + std::to_string(f);
                if (f % 4 == 0) {
                    model->Presets[std::size_t(p)].FaderStatus(f) = 0xF0;
                    model->Presets[std::size_t(p)].FaderString[std::size_t(f)] = "F0 43 10 4C 02 01 XX F7";
                }
            }
        }
        return model;
    }();
    return *m;
}

QApplication& App() {
    static int argc = 1;
    static char name[] = "PrintBench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

void Pdf(QPrinter& printer, const QTemporaryDir& dir) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
}

// The pages of the PDF file printed last: none when it was not written.
int PdfPages(const QTemporaryDir& dir) {
    QFile file(dir.filePath(QStringLiteral("out.pdf")));
    if (!file.open(QIODevice::ReadOnly)) return 0;
    return int(file.readAll().count("/Type /Page\n"));
}

void BM_DescribeAllPresets(benchmark::State& state) {
    DeviceModel& m = Model();
    std::size_t size = 0;
    for (auto _ : state) {
        size = 0;
        for (int p = 0; p < kPresetCount; ++p) {
            m.SelectedPreset = p;
            size += DescribeAllFaderParameters(m).size();
        }
        benchmark::DoNotOptimize(size);
    }
    bench::CheckCount(state, "presets described", m.SelectedPreset + 1, kPresetCount);
    bench::Check(state, size > 0, "an empty description");
}
BENCHMARK(BM_DescribeAllPresets)->Unit(benchmark::kMillisecond);

void BM_PrintDescription(benchmark::State& state) {
    App();
    DeviceModel& m = Model();
    m.SelectedPreset = 0;
    QTemporaryDir dir;
    TPrintOutputForm form(m, dir.filePath(QStringLiteral("Morvelant.cfg")).toStdString());
    form.SetText(DescribeAllFaderParameters(m));
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        Pdf(printer, dir);
        form.PrintTo(printer);
    }
    bench::Check(state, PdfPages(dir) > 0, "a description printed on no page");
}
BENCHMARK(BM_PrintDescription)->Unit(benchmark::kMillisecond);

void BM_PrintLabelSheet(benchmark::State& state) {
    App();
    TDescriptionForm form(Model());
    QTemporaryDir dir;
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        Pdf(printer, dir);
        form.PrintTo(printer, 0);
    }
    bench::CheckCount(state, "label sheet pages", PdfPages(dir), 1);
}
BENCHMARK(BM_PrintLabelSheet)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace morvelant

MORVELANT_BENCHMARK_MAIN();
