// Layout and paint costs of generated Windows-1251 articles of 20 KB, 200 KB and 2 MB with the
// system's fonts, against Qt's QTextDocument on the same text as the reference: building the
// document from HTML and laying it out at width 665, and painting the visible 665 x 457 strip in
// the middle of it. Before the timings, the resident memory each side adds for the 2 MB article
// is printed (peak RSS above the level before the load).
//
//   bench_layout [benchmark flags]

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <cstdio>
#include <fstream>

#include "bench/articlegen.h"
#include "html/layout/builder.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace {

constexpr int kWidth = 665, kHeight = 457;

using kvbench::Article;

struct Doc {
    kv::TSectionList document{kv::TQtFontEngine::Shared()};
    explicit Doc(const std::string& html) {
        kv::TDocumentDefaults defaults;
        document.SetDefaults(defaults);
        document.SetViewImages(false);
        kv::THtmlBuilder builder(document);
        builder.LoadHtmlText(html);
    }
};

void BM_BuildAndLayout(benchmark::State& state) {
    const std::string& html = Article(state.range(0));
    kv::TImageCanvas canvas(1, 1);
    for (auto _ : state) {
        Doc doc(html);
        int maxWidth = 0;
        benchmark::DoNotOptimize(doc.document.DoLayout(canvas, kWidth, kHeight, maxWidth));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(html.size()));
}
BENCHMARK(BM_BuildAndLayout)->Arg(20)->Arg(200)->Arg(2048)->Unit(benchmark::kMillisecond);

void BM_QtBuildAndLayout(benchmark::State& state) {
    const QString html = kv::cp1251::toQString(Article(state.range(0)));
    for (auto _ : state) {
        QTextDocument doc;
        doc.setHtml(html);
        doc.setTextWidth(kWidth);
        benchmark::DoNotOptimize(doc.size());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(html.size()));
}
BENCHMARK(BM_QtBuildAndLayout)->Arg(20)->Arg(200)->Arg(2048)->Unit(benchmark::kMillisecond);

void BM_PaintStrip(benchmark::State& state) {
    Doc doc(Article(state.range(0)));
    kv::TImageCanvas measure(1, 1);
    int maxWidth = 0;
    const int height = doc.document.DoLayout(measure, kWidth, kHeight, maxWidth);
    doc.document.SetScrollTop(height / 2);
    kv::TImageCanvas canvas(kWidth, kHeight);
    for (auto _ : state) {
        canvas.FillRect(QRect(0, 0, kWidth, kHeight), 0xFFFFFF);
        doc.document.Paint(canvas, QRect(0, 0, kWidth, kHeight), 0, 0);
        canvas.Flush();
    }
}
BENCHMARK(BM_PaintStrip)->Arg(20)->Arg(200)->Arg(2048)->Unit(benchmark::kMillisecond);

void BM_QtPaintStrip(benchmark::State& state) {
    QTextDocument doc;
    doc.setHtml(kv::cp1251::toQString(Article(state.range(0))));
    doc.setTextWidth(kWidth);
    const qreal top = doc.size().height() / 2;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.translate(0, -top);
        doc.drawContents(&painter, QRectF(0, top, kWidth, kHeight));
    }
}
BENCHMARK(BM_QtPaintStrip)->Arg(20)->Arg(200)->Arg(2048)->Unit(benchmark::kMillisecond);

// Resident memory in kilobytes: the current value or the peak ("VmRSS" or "VmHWM").
long Resident(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(line.find(':') + 1));
    return 0;
}

template <class F>
double PeakGrowthMB(F load) {
    std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak to the current value
    const long before = Resident("VmRSS");
    load();
    return double(Resident("VmHWM") - before) / 1024.0;
}

void ReportMemory() {
    const std::string& html = Article(2048);
    const QString text = kv::cp1251::toQString(html);
    const double ours = PeakGrowthMB([&] {
        Doc doc(html);
        kv::TImageCanvas canvas(1, 1);
        int maxWidth = 0;
        doc.document.DoLayout(canvas, kWidth, kHeight, maxWidth);
    });
    const double qt = PeakGrowthMB([&] {
        QTextDocument doc;
        doc.setHtml(text);
        doc.setTextWidth(kWidth);
        doc.size();
    });
    std::printf(
        "Peak memory above start for the 2 MB article: ours %.1f MB, QTextDocument %.1f MB\n", ours,
        qt);
}

void BM_Relayout(benchmark::State& state) {
    Doc doc(Article(200));
    kv::TImageCanvas canvas(1, 1);
    int width = 400;
    for (auto _ : state) {
        int maxWidth = 0;
        benchmark::DoNotOptimize(doc.document.DoLayout(canvas, width, 457, maxWidth));
        width = width == 400 ? 665 : 400;
    }
}
BENCHMARK(BM_Relayout)->Unit(benchmark::kMillisecond);

void BM_LongWord(benchmark::State& state) {
    Doc doc("<p>a " + std::string(100000, 'w') + " b</p>");
    kv::TImageCanvas canvas(1, 1);
    for (auto _ : state) {
        int maxWidth = 0;
        benchmark::DoNotOptimize(doc.document.DoLayout(canvas, 665, 457, maxWidth));
    }
}
BENCHMARK(BM_LongWord)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    ReportMemory();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
