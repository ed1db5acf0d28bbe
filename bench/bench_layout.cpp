// Layout and paint costs of a large article with the system's fonts: building the document from
// HTML, laying it out for a window width, painting one screen in its middle, and laying out a
// 100,000-character word.
//
//   bench_layout [benchmark flags]

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <random>

#include "html/layout/builder.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace {

std::string MakeArticle(int paragraphs) {
    using kv::cp1251::fromUtf8;
    static const std::string words[] = {fromUtf8("река"),     fromUtf8("озеро"),  fromUtf8("гора"),
                                        fromUtf8("лес"),      fromUtf8("степь"),  fromUtf8("море"),
                                        fromUtf8("остров"),   fromUtf8("город"),  fromUtf8("история"),
                                        fromUtf8("климат"),   fromUtf8("растение")};
    std::mt19937 random(7);
    std::string text = "<html><body><h1>Title</h1>";
    for (int p = 0; p < paragraphs; ++p) {
        if (p % 10 == 0) text += "<h2><a name=\"s" + std::to_string(p) + "\">Section</a></h2>";
        text += "<p>";
        for (int w = 0; w < 80; ++w) {
            const std::string& word = words[random() % 11];
            if (w % 17 == 5) text += "<b>" + word + "</b> ";
            else if (w % 23 == 7) text += "<a href=\"x.htm\">" + word + "</a> ";
            else text += word + " ";
        }
        text += "</p>";
        if (p % 25 == 3) text += "<ul><li>one<li>two<li>three</ul>";
        if (p % 40 == 9) text += "<table border=1><tr><td>a</td><td>b c d</td></tr></table>";
    }
    return text + "</body></html>";
}

struct Doc {
    kv::TSectionList document{kv::TQtFontEngine::Shared()};
    explicit Doc(const std::string& html) {
        kv::TDocumentDefaults defaults;
        document.SetDefaults(defaults);
        document.ViewImagesFlag = false;
        kv::THtmlBuilder builder(document);
        builder.LoadHtmlText(html);
    }
};

void BM_BuildAndLayout(benchmark::State& state) {
    const std::string html = MakeArticle(int(state.range(0)));
    kv::TImageCanvas canvas(1, 1);
    for (auto _ : state) {
        Doc doc(html);
        int maxWidth = 0;
        benchmark::DoNotOptimize(doc.document.DoLayout(canvas, 665, 457, maxWidth));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(html.size()));
}
BENCHMARK(BM_BuildAndLayout)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_Relayout(benchmark::State& state) {
    Doc doc(MakeArticle(1000));
    kv::TImageCanvas canvas(1, 1);
    int width = 400;
    for (auto _ : state) {
        int maxWidth = 0;
        benchmark::DoNotOptimize(doc.document.DoLayout(canvas, width, 457, maxWidth));
        width = width == 400 ? 665 : 400;
    }
}
BENCHMARK(BM_Relayout)->Unit(benchmark::kMillisecond);

void BM_PaintScreen(benchmark::State& state) {
    Doc doc(MakeArticle(1000));
    kv::TImageCanvas measure(1, 1);
    int maxWidth = 0;
    const int height = doc.document.DoLayout(measure, 665, 457, maxWidth);
    doc.document.SetScrollTop(height / 2);
    kv::TImageCanvas canvas(665, 457);
    for (auto _ : state) {
        canvas.FillRect(QRect(0, 0, 665, 457), 0xFFFFFF);
        doc.document.Paint(canvas, QRect(0, 0, 665, 457), 0, 0);
        canvas.Flush();
    }
}
BENCHMARK(BM_PaintScreen)->Unit(benchmark::kMillisecond);

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
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
