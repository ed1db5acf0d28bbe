// From a topic pick to the painted article: LoadFromFile(path#anchor) on a viewer set up as the
// shell sets it (its panel 665 x 457), which reads, builds, lays out and scrolls to the anchor,
// then the first paint of the whole panel through the paint panel's off-screen picture. For the
// largest sample article (inside/ beside the program, when present) and for generated articles
// of 50 KB and 2 MB. And one zoom step (110 % to 120 % and back, each a step) of the generated
// 200 KB article, with the first layout of the same article at 100 % as the counter
// first_layout_ms to hold it against. And the accessible text of the generated 2 MB article, as
// a screen reader's first request for the whole text makes it (to be under 200 ms).
//
//   bench_viewer [benchmark flags]

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "bench/articlegen.h"
#include "html/layout/builder.h"
#include "html/viewer/htmlview.h"
#include "html/viewer/paintpanel.h"
#include "html/viewer/viewaccessible.h"
#include "platform/codec.h"
#include "platform/paths.h"

namespace {

constexpr int kPanelWidth = 665, kPanelHeight = 457;

struct Viewer {
    kv::THtmlView view;
    Viewer() {
        view.SetDefBackground(0xFFFFFF);
        view.SetBorderStyle(kv::THTMLBorderStyle::htNone);
        view.SetDefFontName("MS Sans Serif");
        view.SetDefPreFontName("MS Sans Serif");
        view.SetDefFontSize(10);
        view.SetScrollBars(kv::TScrollStyle::ssVertical);
        view.resize(kPanelWidth + view.ScrollBarWidth(), kPanelHeight);
    }
    // One topic pick: load at the anchor and paint the panel.
    void Open(const std::string& name) {
        view.LoadFromFile(name);
        auto* panel = static_cast<kv::TPaintPanel*>(view.PaintPanel());
        benchmark::DoNotOptimize(panel->Render(panel->rect()));
    }
};

void Run(benchmark::State& state, const std::string& file, const std::string& anchor) {
    Viewer viewer;
    viewer.Open(file + "#" + anchor);
    if (viewer.view.PaintPanel()->size() != QSize(kPanelWidth, kPanelHeight)) {
        state.SkipWithError("panel is not 665 x 457");
        return;
    }
    for (auto _ : state) viewer.Open(file + "#" + anchor);
    state.counters["height"] = viewer.view.DocHeight();
    state.counters["top"] = viewer.view.VScrollPos();
}

// A generated article written once to a temporary file.
std::string GeneratedFile(std::int64_t kilobytes) {
    static QTemporaryDir folder;
    const std::string path =
        folder.path().toStdString() + "/a" + std::to_string(kilobytes) + ".htm";
    if (!std::filesystem::exists(path))
        std::ofstream(path, std::ios::binary) << kvbench::Article(kilobytes);
    return kv::text::fromPath(path);
}

void BM_OpenGenerated(benchmark::State& state) {
    // Anchors stand every tenth paragraph; one in the middle of the article.
    const int paragraphs = int(state.range(0) * 1024 / 600);
    Run(state, GeneratedFile(state.range(0)), "s" + std::to_string(paragraphs / 20 * 10));
}
BENCHMARK(BM_OpenGenerated)->Arg(50)->Arg(2048)->Unit(benchmark::kMillisecond);

// The largest index.htm of the sample encyclopedia, at its middle anchor.
void BM_OpenSample(benchmark::State& state) {
    const std::filesystem::path inside = kv::text::toPath(kv::paths::programFolder() + "inside");
    std::filesystem::path largest;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(inside, error))
        if (entry.path().filename() == "index.htm" &&
            (largest.empty() || entry.file_size() > std::filesystem::file_size(largest)))
            largest = entry.path();
    if (largest.empty()) {
        state.SkipWithError("no sample articles beside the program");
        return;
    }
    const std::string file = kv::text::fromPath(largest);
    Viewer probe;
    probe.view.LoadFromFile(file);
    const kv::TIDNameList& names = probe.view.Document().IDNames;
    const std::string anchor = names.Count() ? names.Name(names.Count() / 2) : "";
    state.SetLabel(kv::text::fromPath(largest.parent_path().filename()) + " " +
                   std::to_string(std::filesystem::file_size(largest) / 1024) + " KB");
    Run(state, file, anchor);
}
BENCHMARK(BM_OpenSample)->Unit(benchmark::kMillisecond);

// The first layout of a freshly built document for a width, in milliseconds: the median of
// five documents, so that one slow sample does not stand for it.
double FirstLayoutMs(const std::string& html, int width) {
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        kv::TSectionList document(kv::TQtFontEngine::Shared());
        kv::TDocumentDefaults defaults;
        defaults.Font.Name = "MS Sans Serif";
        defaults.Font.Size = 10;
        document.SetDefaults(defaults);
        kv::THtmlBuilder(document).LoadHtmlText(html);
        kv::TImageCanvas canvas(1, 1);
        int maxWidth = 0;
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(document.DoLayout(canvas, width, kPanelHeight, maxWidth));
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(times.begin(), times.begin() + 2, times.end());
    return times[2];
}

void BM_ZoomStep(benchmark::State& state) {
    Viewer viewer;
    viewer.view.LoadFromFile(GeneratedFile(state.range(0)));
    viewer.view.SetZoom(110);
    viewer.view.ScrollTo(viewer.view.DocHeight() / 2);
    for (auto _ : state) viewer.view.SetZoom(viewer.view.Zoom() == 110 ? 120 : 110);
    const std::string html = kvbench::Article(state.range(0));
    state.counters["first_layout_ms"] = FirstLayoutMs(html, kPanelWidth);
    // A zoom step lays out for the width divided by the zoom: more lines than at 100 %.
    state.counters["first_layout_115_ms"] = FirstLayoutMs(html, kPanelWidth * 100 / 115);
    state.counters["height"] = viewer.view.DocHeight();
}
BENCHMARK(BM_ZoomStep)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_AccessibleText(benchmark::State& state) {
    Viewer viewer;
    viewer.view.LoadFromFile(GeneratedFile(state.range(0)));
    int characters = 0, links = 0;
    for (auto _ : state) {
        const kv::TArticleText text(viewer.view.Document());
        benchmark::DoNotOptimize(text.Text().mid(0, text.Length()));
        characters = text.Length();
        links = int(text.Links().size());
    }
    state.counters["characters"] = characters;
    state.counters["links"] = links;
}
BENCHMARK(BM_AccessibleText)->Arg(2048)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
