// The search window over a large encyclopedia: 10,000 generated articles of about 20 KB, a
// phrase in every 100th (and one found nowhere), searched by Enter in the window as a user
// does. Each iteration measures, from Enter: the first hit in the list and the completion, and
// the longest gap between two processed interface events (a 1 ms timer's ticks) while the
// search runs; then `LC_ALL=C grep -rlF` over the same folder, spawned in the same iteration.
// Targets: no gap above 50 ms; completion within 1.2 times grep's time. BM_WindowIndexed* make
// the same searches with the search's index (built once in DIR/cache, as the reader does after
// its window is shown) and the start-up walk's list of files. Counters: first_hit_ms,
// complete_ms, grep_ms, vs_grep (complete / grep), max_gap_ms (over all iterations) and
// median_max_gap_ms (the median of each iteration's longest gap).
//
//   bench_search_window [--content=DIR] [benchmark flags]
// DIR defaults to $TMPDIR/kv_bench_search_window; it is generated once and reused.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/startup.h"
#include "bench/articlegen.h"
#include "platform/codec.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

fs::path g_content;  // program/inside with the articles, state/ for the contents file

const char* const kRarePhrase = "редкостная находка";
const char* const kNowherePhrase = "несуществующее слово";

void Generate(const fs::path& inside, int count) {
    const fs::path stamp = inside / ".complete";
    if (fs::exists(stamp)) return;
    fs::remove_all(inside);
    const std::string& article = kvbench::Article(20);
    const std::string rare = "<p>" + kv::cp1251::fromUtf8(kRarePhrase) + "</p>";
    for (int i = 0; i < count; ++i) {
        const fs::path folder = inside / ("Статья " + std::to_string(i));
        fs::create_directories(folder);
        std::ofstream out(folder / "index.htm", std::ios::binary);
        if (i % 100 == 7) {
            const size_t middle = article.find("<p>", article.size() / 2);
            out << article.substr(0, middle) << rare << article.substr(middle);
        } else {
            out << article;
        }
    }
    std::ofstream(stamp) << count << " articles\n";
}

double Ms(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

// The longest span between ticks of a fast timer, counted from start to stop.
class GapMeter {
public:
    GapMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }
    void Start() {
        last_ = Clock::now();
        longest_ = {};
        timer_.start();
    }
    double StopMs() {
        Tick();
        timer_.stop();
        return Ms(longest_);
    }

private:
    void Tick() {
        const auto now = Clock::now();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    QTimer timer_;
    Clock::time_point last_;
    Clock::duration longest_{};
};

double GrepMs(const char* phrase) {
    const std::string command = "LC_ALL=C grep -rlF '" + kv::cp1251::fromUtf8(phrase) + "' '" +
                                (g_content / "program" / "inside").string() + "' > /dev/null";
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    return status == -1 ? -1 : Ms(Clock::now() - start);
}

// Brings the search's index up to date as the reader does once its window is shown, and waits
// until it is handed to the search window (at most three minutes).
bool AwaitIndex(kv::TWindowSet& windows) {
    kv::ShowMainWindow(windows);
    const auto until = Clock::now() + std::chrono::minutes(3);
    while (!windows.Indexer->Done() && Clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return windows.Indexer->Done();
}

void WindowSearch(benchmark::State& state, const char* phrase, bool indexed) {
    const fs::path cache = indexed ? g_content / "cache" : fs::path();
    const auto windows =
        kv::CreateWindowSet({kv::text::fromPath(g_content / "program") + "/",
                             kv::text::fromPath(g_content / "state") + "/", cache});
    if (indexed && !AwaitIndex(*windows)) state.SkipWithError("no index");
    kv::TForm4& search = *windows->Form4;
    search.show();
    QCoreApplication::processEvents();
    Clock::time_point firstHit;
    QObject::connect(search.FoundFiles->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (firstHit == Clock::time_point()) firstHit = Clock::now();
    });
    GapMeter gaps;
    double first = 0, total = 0, grep = 0, hits = 0;
    std::vector<double> gapsMs;  // the longest gap of each iteration
    for (auto _ : state) {
        search.containing->setText(kv::text::toQString(phrase));
        firstHit = {};
        search.FormCreate();  // no search made yet: Enter with the same phrase searches again
        gaps.Start();
        const auto enter = Clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(search.containing, &press);
        const auto done = Clock::now();
        const double gapMs = gaps.StopMs();
        const double totalMs = Ms(done - enter);
        state.SetIterationTime(totalMs / 1000);
        first += firstHit == Clock::time_point() ? 0 : Ms(firstHit - enter);
        total += totalMs;
        gapsMs.push_back(gapMs);
        hits = search.FoundFiles->topLevelItemCount();
        grep += GrepMs(phrase);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["first_hit_ms"] = first / n;
    state.counters["complete_ms"] = total / n;
    state.counters["grep_ms"] = grep / n;
    state.counters["vs_grep"] = grep > 0 ? total / grep : 0;
    std::sort(gapsMs.begin(), gapsMs.end());
    state.counters["max_gap_ms"] = gapsMs.empty() ? 0 : gapsMs.back();
    // Steadier on a busy machine, where another process can take the core for a while.
    state.counters["median_max_gap_ms"] = gapsMs.empty() ? 0 : gapsMs[gapsMs.size() / 2];
    state.counters["hits"] = hits;
}

void BM_WindowSearchRare(benchmark::State& s) {
    WindowSearch(s, kRarePhrase, false);
}
void BM_WindowSearchNowhere(benchmark::State& s) {
    WindowSearch(s, kNowherePhrase, false);
}
void BM_WindowIndexedSearchRare(benchmark::State& s) {
    WindowSearch(s, kRarePhrase, true);
}
void BM_WindowIndexedSearchNowhere(benchmark::State& s) {
    WindowSearch(s, kNowherePhrase, true);
}
BENCHMARK(BM_WindowSearchRare)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_WindowSearchNowhere)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_WindowIndexedSearchRare)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(BM_WindowIndexedSearchNowhere)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    g_content = fs::temp_directory_path() / "kv_bench_search_window";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--content=", 0) == 0) g_content = arg.substr(10);
    }
    Generate(g_content / "program" / "inside", 10000);
    fs::create_directories(g_content / "state");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
