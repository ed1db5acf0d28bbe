// Printing the 2 MB generated article to a PDF file the way ПЕЧАТЬ prints it: Print(0, 100)
// on a viewer set up as the shell sets it, at 600 dpi with 2 cm margins, so all its pages up
// to the hundredth. Counters: pages printed, the PDF's size, and the process's peak memory
// (maximum resident set) before the first job and after the last.
//
//   bench_print [benchmark flags]

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "bench/articlegen.h"
#include "html/viewer/htmlview.h"
#include "platform/codec.h"
#include "platform/printer.h"

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_PrintGenerated(benchmark::State& state) {
    QTemporaryDir folder;
    const std::string article = folder.path().toStdString() + "/article.htm";
    std::ofstream(article, std::ios::binary) << kvbench::Article(state.range(0));
    kv::THtmlView view;
    view.SetDefBackground(0xFFFFFF);
    view.SetBorderStyle(kv::THTMLBorderStyle::htNone);
    view.SetDefFontName("MS Sans Serif");
    view.SetDefPreFontName("MS Sans Serif");
    view.SetDefFontSize(10);
    view.SetScrollBars(kv::TScrollStyle::ssVertical);
    view.resize(681, 457);
    view.LoadFromFile(kv::text::fromPath(article));

    kv::TPrinterSelection pdf;
    pdf.Kind = kv::TPrinterSelection::TKind::pkPdf;
    pdf.PdfFile = folder.path().toStdString() + "/printed.pdf";
    pdf.Resolution = 600;
    const kv::TPrinterSelection previous = kv::SelectPrinter(pdf);
    const long before = PeakKilobytes();
    for (auto _ : state) view.Print(0, 100);
    kv::SelectPrinter(previous);
    state.counters["pages"] = view.PrintedPages();
    state.counters["pdf_KB"] = double(std::filesystem::file_size(pdf.PdfFile) / 1024);
    state.counters["peak_MB_before"] = double(before) / 1024;
    state.counters["peak_MB_after"] = double(PeakKilobytes()) / 1024;
}
BENCHMARK(BM_PrintGenerated)->Arg(2048)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
