// Costs of documents full of form controls with the system's fonts: building and laying out a
// page of N short paragraphs each holding an edit box, a check box and a drop-down list, laying
// the same page out again (every control is sized before every layout), painting the visible
// 665 x 457 strip, and laying out one drop-down list of 10,000 items.
//
//   bench_forms [benchmark flags]

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "html/layout/builder.h"
#include "platform/canvas.h"

namespace {

constexpr int kWidth = 665, kHeight = 457;

std::string FormPage(int paragraphs) {
    std::string html = "<form action=send.htm>";
    for (int i = 0; i < paragraphs; ++i) {
        const std::string n = std::to_string(i);
        html += "<p>Field " + n + " <input name=e" + n + " value=\"value " + n +
                "\" size=20> <input type=checkbox name=c" + n + " checked> <select name=s" + n +
                "><option>one<option selected>two<option>three</select></p>";
    }
    return html + "<input type=submit></form>";
}

std::string LongList(int items) {
    std::string html = "<select name=big>";
    for (int i = 0; i < items; ++i) html += "<option>item " + std::to_string(i);
    return html + "</select>";
}

void BuildAndLayout(benchmark::State& state) {
    const std::string html = FormPage(int(state.range(0)));
    kv::TImageCanvas canvas(1, 1);
    for (auto _ : state) {
        kv::TSectionList document(kv::TQtFontEngine::Shared());
        document.SetViewImages(false);
        kv::THtmlBuilder(document).LoadHtmlText(html);
        int maxWidth = 0;
        benchmark::DoNotOptimize(document.DoLayout(canvas, kWidth, kHeight, maxWidth));
    }
    state.SetLabel(std::to_string(state.range(0) * 3) + " controls");
}

void Relayout(benchmark::State& state) {
    kv::TSectionList document(kv::TQtFontEngine::Shared());
    document.SetViewImages(false);
    kv::THtmlBuilder(document).LoadHtmlText(FormPage(int(state.range(0))));
    kv::TImageCanvas canvas(1, 1);
    for (auto _ : state) {
        int maxWidth = 0;
        benchmark::DoNotOptimize(document.DoLayout(canvas, kWidth, kHeight, maxWidth));
    }
}

void PaintStrip(benchmark::State& state) {
    kv::TSectionList document(kv::TQtFontEngine::Shared());
    document.SetViewImages(false);
    kv::THtmlBuilder(document).LoadHtmlText(FormPage(int(state.range(0))));
    kv::TImageCanvas canvas(kWidth, kHeight);
    int maxWidth = 0;
    const int height = document.DoLayout(canvas, kWidth, kHeight, maxWidth);
    document.SetScrollTop(height / 2);
    for (auto _ : state) {
        canvas.FillRect(QRect(0, 0, kWidth, kHeight), 0xFFFFFF);
        document.Paint(canvas, QRect(0, 0, kWidth, kHeight), 0, 0);
        canvas.Flush();
    }
}

void LongListLayout(benchmark::State& state) {
    kv::TSectionList document(kv::TQtFontEngine::Shared());
    document.SetViewImages(false);
    kv::THtmlBuilder(document).LoadHtmlText(LongList(10000));
    kv::TImageCanvas canvas(1, 1);
    for (auto _ : state) {
        int maxWidth = 0;
        benchmark::DoNotOptimize(document.DoLayout(canvas, kWidth, kHeight, maxWidth));
    }
}

BENCHMARK(BuildAndLayout)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(Relayout)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(PaintStrip)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(LongListLayout)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
