// Start-up cost of a large encyclopedia: the walk of 10,000 articles, the contents file and the
// tree load, against grep over the same files; and the whole start-up to the shown main window.
// Each with every article read (no cache) and with the walk's cache of an unchanged folder
// (kept in DIR/cache, never in the user's cache folder).
//
//   bench_index [--content=DIR] [--articles=N] [--cold] [benchmark flags]
// DIR defaults to $TMPDIR/kv_bench_index; it is generated once (N articles, 10,000 by default)
// and reused. --cold (as root) adds the start-up with the page cache dropped before each run,
// to the shown window and to the search's index checked and handed over. Every time is also
// given as the process's processor time (all threads), counter cpu_ms.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "app/contentindex.h"
#include "app/contentsmodel.h"
#include "app/contenttree.h"
#include "app/startup.h"
#include "app/treeview.h"
#include "platform/codec.h"
#include "platform/messages.h"

namespace fs = std::filesystem;

namespace {

fs::path g_program;  // holds inside/ with the generated articles

// Processor time of the whole process so far, every thread's, in milliseconds.
double ProcessCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Adds the process's processor time between construction and Stop to a counter, per iteration.
class ProcessCpu {
public:
    void Start() { start_ = ProcessCpuMs(); }
    void Stop() { total_ += ProcessCpuMs() - start_; }
    void Report(benchmark::State& state) const {
        state.counters["cpu_ms"] = benchmark::Counter(total_, benchmark::Counter::kAvgIterations);
    }

private:
    double start_ = 0;
    double total_ = 0;
};

void DropPageCache(benchmark::State& state) {
    ::sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    if (!(drop << "3\n" << std::flush)) state.SkipWithError("cannot drop the page cache (root?)");
}

std::string MakeArticle(std::mt19937& random, int number) {
    using kv::cp1251::fromUtf8;
    static const std::string words[] = {
        fromUtf8("река"),    fromUtf8("озеро"),  fromUtf8("гора"),     fromUtf8("лес"),
        fromUtf8("степь"),   fromUtf8("море"),   fromUtf8("остров"),   fromUtf8("город"),
        fromUtf8("история"), fromUtf8("климат"), fromUtf8("растение"), fromUtf8("животное")};
    static const std::string section = fromUtf8("Раздел");
    static const std::string link = fromUtf8("<a href=\"#x\">ссылка</a></p>\r\n");
    std::string text = "<html><head><title>" + section + " " + std::to_string(number) +
                       "</title></head><body>\r\n";
    const int anchors = 3 + static_cast<int>(random() % 6);
    for (int a = 0; a < anchors; ++a) {
        text += "<a name=\"" + section + " " + std::to_string(a + 1) + "\"></a>\r\n<h2>" + section +
                "</h2>\r\n";
        while (text.size() < static_cast<size_t>(20000 * (a + 1) / anchors)) {
            text += "<p>";
            for (int w = 0; w < 14; ++w) {
                text += words[random() % std::size(words)];
                text += ' ';
            }
            text += link;
        }
    }
    return text + "</body></html>\r\n";
}

void Generate(const fs::path& inside, int count) {
    const fs::path stamp = inside / (".complete-v2-" + std::to_string(count));
    if (fs::exists(stamp)) return;
    fs::remove_all(inside);
    std::mt19937 random(42);
    for (int i = 0; i < count; ++i) {
        const fs::path folder = inside / ("Статья " + std::to_string(i));
        fs::create_directories(folder);
        std::ofstream(folder / "index.htm", std::ios::binary) << MakeArticle(random, i);
    }
    std::ofstream(stamp) << count << " articles of about 20 KB\n";
}

std::string ContentFolder() {
    return kv::text::fromPath(g_program / "inside") + "/";
}

fs::path CacheFolder(bool cached) {
    return cached ? g_program / "cache" : fs::path();
}

// Argument 1: with the walk's cache (warmed by a first walk before the timing).
void BM_WalkSaveLoad(benchmark::State& state) {
    const fs::path contents = g_program / "treeenc.txt";
    const fs::path cache = CacheFolder(state.range(0) != 0);
    if (!cache.empty()) {
        kv::TContentIndex warm;
        warm.UseCache(cache);
        warm.Walk(ContentFolder());
    }
    ProcessCpu cpu;
    for (auto _ : state) {
        cpu.Start();
        kv::TContentIndex index;
        index.UseCache(cache);
        index.Walk(ContentFolder());
        kv::SaveContentsText(index.Text(), contents);
        kv::ContentTree tree;
        tree.LoadFromFile(contents);
        benchmark::DoNotOptimize(tree.Count());
        cpu.Stop();
    }
    cpu.Report(state);
}
BENCHMARK(BM_WalkSaveLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrepReference(benchmark::State& state) {
    const std::string command =
        "LC_ALL=C grep -rcF '<a name=\"' '" + (g_program / "inside").string() + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("grep failed");
    }
}
BENCHMARK(BM_GrepReference)->Unit(benchmark::kMillisecond)->UseRealTime();

// The main tree's one-time sort a second after the window shows (on the interface thread).
void BM_ResortMainTree(benchmark::State& state) {
    kv::TContentIndex index;
    index.Walk(ContentFolder());
    auto model = std::make_shared<kv::ContentsModel>();
    model->Load(index.Text());
    for (auto _ : state) {
        kv::TContentsTreeView view(nullptr, QRect(0, 0, 200, 400));
        view.Show(model);
        view.ResortByText();
        benchmark::DoNotOptimize(view.TopLevelCount());
    }
}
BENCHMARK(BM_ResortMainTree)->Unit(benchmark::kMillisecond)->UseRealTime();

// Argument 0: no cache; 1: with the walk's cache, as the reader starts (the first start warms
// it); 2: the first start, the cache folder emptied before each run (the walk reads every
// article and writes the cache).
void BM_StartupToShownMainWindow(benchmark::State& state) {
    const std::string program = kv::text::fromPath(g_program) + "/";
    const std::string windows = kv::text::fromPath(g_program / "state") + "/";
    const fs::path cache = CacheFolder(state.range(0) != 0);
    fs::create_directories(g_program / "state");
    if (state.range(0) == 1) kv::CreateWindowSet({program, windows, cache});
    ProcessCpu cpu;
    for (auto _ : state) {
        if (state.range(0) == 2) {
            state.PauseTiming();
            fs::remove_all(cache);
            state.ResumeTiming();
        }
        cpu.Start();
        auto set = kv::CreateWindowSet({program, windows, cache});
        kv::ShowMainWindow(*set);
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(set->Form1->TreeView1->TopLevelCount());
        cpu.Stop();
        state.PauseTiming();
        set.reset();
        state.ResumeTiming();
    }
    cpu.Report(state);
}
BENCHMARK(BM_StartupToShownMainWindow)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The start-up of an unchanged folder with nothing in the page cache: to the shown window
// (argument 0), and on to the search's index checked and handed over (argument 1).
void BM_ColdStartup(benchmark::State& state) {
    const std::string program = kv::text::fromPath(g_program) + "/";
    const std::string windows = kv::text::fromPath(g_program / "state") + "/";
    const fs::path cache = CacheFolder(true);
    fs::create_directories(g_program / "state");
    {  // the cache and the search's index, up to date
        auto set = kv::CreateWindowSet({program, windows, cache});
        kv::UpdateSearchIndex(set->Form1->ContentIndex(), cache);
    }
    ProcessCpu cpu;
    for (auto _ : state) {
        state.PauseTiming();
        DropPageCache(state);
        state.ResumeTiming();
        cpu.Start();
        auto set = kv::CreateWindowSet({program, windows, cache});
        kv::ShowMainWindow(*set);
        QCoreApplication::processEvents();
        if (state.range(0) != 0) {
            QElapsedTimer waited;
            waited.start();
            while (!set->Indexer->Done() && waited.elapsed() < 60000) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                QCoreApplication::processEvents();
            }
        }
        cpu.Stop();
        state.PauseTiming();
        set.reset();
        state.ResumeTiming();
    }
    cpu.Report(state);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    kv::messages::setHook([](kv::messages::Kind, const std::string& text) {
        fprintf(stderr, "message: %s\n", text.c_str());
        return kv::messages::Answer::Ok;
    });
    g_program = fs::temp_directory_path() / "kv_bench_index";
    int articles = 10000;
    bool cold = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--cold") cold = true;
        if (arg.rfind("--content=", 0) == 0) g_program = arg.substr(10);
        if (arg.rfind("--articles=", 0) == 0) articles = std::atoi(arg.c_str() + 11);
    }
    Generate(g_program / "inside", articles);
    const fs::path start = fs::current_path();
    if (cold)
        benchmark::RegisterBenchmark("BM_ColdStartup", BM_ColdStartup)
            ->Arg(0)
            ->Arg(1)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    fs::current_path(start);
    return 0;
}
