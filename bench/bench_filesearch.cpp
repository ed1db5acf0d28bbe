// The search window's search over a large encyclopedia: 10,000 articles of about 20 KB
// (Windows-1251), a phrase in 30 % of them, one in 1 % and one in none, through the code path of
// `kvtool search`, against `grep -rliF` over the same files (warm cache). Prints the ratios of
// the medians at the end: search / grep, in wall time and in CPU time (the steadier figure when
// the machine is busy; grep's includes its shell and the wc that counts its lines).
//
// The same searches with the trigram index (BM_Indexed*, index built once beforehand in
// DIR/cache, never in the user's cache folder, and the files taken from a start-up walk), the index
// build from scratch (bytes/s of article text, and the index's size per byte of text) and the
// index's load.
//
//   bench_filesearch [--content=DIR] [--articles=N] [benchmark flags]
// DIR defaults to $TMPDIR/kv_bench_filesearch; it is generated once (N articles, 10,000 by
// default) and reused.
// Medians: --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "app/contentindex.h"
#include "cache/cachefile.h"
#include "cache/trigramindex.h"
#include "filesearch/articlesearch.h"
#include "filesearch/content.h"
#include "platform/codec.h"

namespace fs = std::filesystem;

namespace {

fs::path g_content;  // holds inside/ with the generated articles

const char* const kRarePhrase = "редкостная находка";  // in every 100th article
const char* const kCommonPhrase = "частая находка";    // in 3 of every 10 articles
const char* const kNowherePhrase = "несуществующее слово";

std::string MakeArticle(std::mt19937& random, int number, const std::vector<std::string>& words) {
    std::string text =
        "<html><head><title>Статья " + std::to_string(number) + "</title></head><body>\r\n";
    size_t rareAt = number % 100 == 7 ? 1000 + random() % 17000 : std::string::npos;
    size_t commonAt = number % 10 < 3 ? 1000 + random() % 17000 : std::string::npos;
    while (text.size() < 20000) {
        text += "<p>";
        for (int w = 0; w < 14; ++w) {
            text += words[random() % words.size()];
            text += ' ';
        }
        text += "<a href=\"#x\">ссылка</a></p>\r\n";
        if (text.size() > rareAt) {
            text += "<p>Это " + std::string(kRarePhrase) + ".</p>\r\n";
            rareAt = std::string::npos;
        }
        if (text.size() > commonAt) {
            text += "<p>Это " + std::string(kCommonPhrase) + ".</p>\r\n";
            commonAt = std::string::npos;
        }
    }
    return kv::cp1251::fromUtf8(text + "</body></html>\r\n");
}

void Generate(const fs::path& inside, int count) {
    const fs::path stamp = inside / ".complete";
    // The stamp names the corpus: an older one (without the common phrase) is made again.
    const std::string kind = std::to_string(count) + " articles, 3 phrases";
    std::string made;
    std::getline(std::ifstream(stamp), made);
    if (made == kind) return;
    fs::remove_all(inside);
    const std::vector<std::string> words = {
        "река",    "озеро",  "гора",     "лес",      "степь",   "море",   "остров", "город",
        "история", "климат", "растение", "животное", "Находка", "редкий", "слово",  "несущий"};
    std::mt19937 random(42);
    for (int i = 0; i < count; ++i) {
        const fs::path folder = inside / ("Статья " + std::to_string(i));
        fs::create_directories(folder);
        std::ofstream(folder / "index.htm", std::ios::binary) << MakeArticle(random, i, words);
    }
    std::ofstream(stamp) << kind << "\n";
}

std::string Inside() {
    return kv::text::fromPath(g_content / "inside");
}

// CPU seconds (user + system) of this process or of its finished children.
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU time per iteration in milliseconds: steadier than wall time on a busy machine.
void SetCpuCounter(benchmark::State& state, double seconds) {
    state.counters["cpu_ms"] = seconds * 1000 / static_cast<double>(state.iterations());
}

// Runs the search once per iteration; reports its CPU time, its hits and when the first came.
void TimeSearch(benchmark::State& state, const kv::ArticleSearch& search) {
    using Clock = std::chrono::steady_clock;
    size_t hits = 0;
    Clock::duration firstHits{};
    const double cpu = CpuSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        hits = 0;
        const auto start = Clock::now();
        kv::RunArticleSearch(search, [&](const std::string&) {
            if (hits++ == 0) firstHits += Clock::now() - start;
        });
    }
    SetCpuCounter(state, CpuSeconds(RUSAGE_SELF) - cpu);
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["first_hit_ms"] = std::chrono::duration<double, std::milli>(firstHits).count() /
                                     static_cast<double>(state.iterations());
}

void Search(benchmark::State& state, const char* phrase, bool foldCyrillic, bool threaded) {
    kv::ArticleSearch search;
    search.folder = Inside();
    search.phrase = phrase;
    search.foldCyrillic = foldCyrillic;
    search.threaded = threaded;
    TimeSearch(state, search);
}

void Grep(benchmark::State& state, const char* phrase) {
    const std::string command =
        "LC_ALL=C grep -rliF --include='*.htm' '" + kv::cp1251::fromUtf8(phrase) + "' '" +
        (g_content / "inside").string() + "' | wc -l > " + (g_content / "grep.out").string();
    const double cpu = CpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("grep failed");
    }
    SetCpuCounter(state, CpuSeconds(RUSAGE_CHILDREN) - cpu);  // grep, its shell and wc
    std::ifstream in(g_content / "grep.out");
    double hits = 0;
    in >> hits;
    state.counters["hits"] = hits;
}

// The article files as the walk lists them, with their stamps.
std::vector<kv::cache::IndexSource> Articles(const fs::path& root) {
    std::vector<kv::cache::IndexSource> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().filename() != "index.htm") continue;
        struct stat st {};
        if (::stat(entry.path().c_str(), &st) != 0) continue;
        files.push_back({fs::relative(entry.path(), root).native(), kv::cache::StampOf(st)});
    }
    return files;
}

std::string Root() {
    return fs::canonical(g_content / "inside").native();
}

void BM_IndexBuild(benchmark::State& state) {
    const fs::path cache = g_content / "index-build";
    const auto files = Articles(Root());
    kv::cache::IndexUpdate update;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(cache);
        state.ResumeTiming();
        update = kv::cache::TrigramIndexBuilder::Update(cache, Root(), files, {});
    }
    state.SetBytesProcessed(static_cast<int64_t>(update.bytes * state.iterations()));
    const auto size = fs::file_size(kv::cache::FileFor(cache, Root(), "trigrams"));
    state.counters["index_per_text_byte"] = static_cast<double>(size) / update.bytes;
    fs::remove_all(cache);
}
BENCHMARK(BM_IndexBuild)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

std::shared_ptr<const kv::cache::TrigramIndex> g_index;
std::shared_ptr<const kv::SearchCatalogue> g_catalogue;
std::shared_ptr<const std::vector<std::int32_t>> g_documents;

void BM_IndexLoad(benchmark::State& state) {
    for (auto _ : state) {
        kv::cache::TrigramIndex index;
        if (!index.Load(g_content / "cache", Root())) state.SkipWithError("no index");
    }
}
BENCHMARK(BM_IndexLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

void IndexedSearch(benchmark::State& state, const char* phrase) {
    kv::ArticleSearch search;
    search.folder = Inside();
    search.phrase = phrase;
    search.index = g_index;
    search.catalogue = g_catalogue;
    search.documents = g_documents;
    TimeSearch(state, search);
}
void BM_IndexedSearchCommon(benchmark::State& s) {
    IndexedSearch(s, kCommonPhrase);
}
void BM_IndexedSearchRare(benchmark::State& s) {
    IndexedSearch(s, kRarePhrase);
}
void BM_IndexedSearchNowhere(benchmark::State& s) {
    IndexedSearch(s, kNowherePhrase);
}
BENCHMARK(BM_IndexedSearchCommon)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IndexedSearchRare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IndexedSearchNowhere)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SearchCommon(benchmark::State& s) {
    Search(s, kCommonPhrase, false, false);
}
void BM_GrepCommon(benchmark::State& s) {
    Grep(s, kCommonPhrase);
}
void BM_SearchRare(benchmark::State& s) {
    Search(s, kRarePhrase, false, false);
}
void BM_GrepRare(benchmark::State& s) {
    Grep(s, kRarePhrase);
}
void BM_SearchNowhere(benchmark::State& s) {
    Search(s, kNowherePhrase, false, false);
}
void BM_GrepNowhere(benchmark::State& s) {
    Grep(s, kNowherePhrase);
}
void BM_SearchRareFoldCyrillic(benchmark::State& s) {
    Search(s, kRarePhrase, true, false);
}
void BM_SearchNowhereFoldCyrillic(benchmark::State& s) {
    Search(s, kNowherePhrase, true, false);
}
void BM_SearchRareThreaded(benchmark::State& s) {
    Search(s, kRarePhrase, false, true);
}
BENCHMARK(BM_SearchCommon)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrepCommon)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchRare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrepRare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchNowhere)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrepNowhere)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchRareFoldCyrillic)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchNowhereFoldCyrillic)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchRareThreaded)->Unit(benchmark::kMillisecond)->UseRealTime();

// The phrase test alone, in memory, over one generated article: plain (IgnoreCase with a phrase
// that has no Latin letters), folded (FoldCyrillic), and the folded copy of each block followed
// by a plain search, the alternative the folded search was measured against.
std::string SampleArticle() {
    const auto file = g_content / "inside" / "Статья 1" / "index.htm";
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Matcher(benchmark::State& state, bool foldCyrillic) {
    const std::string text = SampleArticle();
    const kv::PhraseMatcher phrase(kv::cp1251::fromUtf8(kNowherePhrase), true, foldCyrillic);
    const auto* data = reinterpret_cast<const unsigned char*>(text.data());
    for (auto _ : state) benchmark::DoNotOptimize(phrase.FoundIn(data, text.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
void BM_MatcherPlain(benchmark::State& s) {
    Matcher(s, false);
}
void BM_MatcherFolded(benchmark::State& s) {
    Matcher(s, true);
}
BENCHMARK(BM_MatcherPlain);
BENCHMARK(BM_MatcherFolded);

void BM_MatcherFoldedCopy(benchmark::State& state) {
    const std::string text = SampleArticle();
    std::array<unsigned char, 256> fold{};
    for (int c = 0; c < 256; ++c) fold[c] = static_cast<unsigned char>(kv::cp1251::lower(c));
    std::string phrase = kv::cp1251::fromUtf8(kNowherePhrase);
    for (char& c : phrase) c = static_cast<char>(fold[static_cast<unsigned char>(c)]);
    std::string copy(text.size(), '\0');
    for (auto _ : state) {
        for (size_t i = 0; i < text.size(); ++i)
            copy[i] = static_cast<char>(fold[static_cast<unsigned char>(text[i])]);
        benchmark::DoNotOptimize(memmem(copy.data(), copy.size(), phrase.data(), phrase.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_MatcherFoldedCopy);

long MaxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// One article of 256 MB: the peak memory of the process must not grow by the file's size.
void BM_LargeFileMemory(benchmark::State& state) {
    const fs::path big = g_content / "large" / "index.htm";
    if (!fs::exists(big)) {
        fs::create_directories(big.parent_path());
        std::ofstream out(big, std::ios::binary);
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 256; ++i) out << block;
    }
    kv::ArticleSearch search;
    search.folder = kv::text::fromPath(big.parent_path());
    search.phrase = kNowherePhrase;
    const long before = MaxRssKb();
    for (auto _ : state) kv::RunArticleSearch(search, [](const std::string&) {});
    state.counters["rss_growth_kb"] = static_cast<double>(MaxRssKb() - before);
}
BENCHMARK(BM_LargeFileMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Console output plus, at the end, the ratios of the medians (or of the single runs).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!median && run.run_type != Run::RT_Iteration) continue;
            times_[run.run_name.function_name] = run.GetAdjustedRealTime();
            const auto cpu = run.counters.find("cpu_ms");
            if (cpu != run.counters.end()) cpu_[run.run_name.function_name] = cpu->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const std::pair<const char*, const char*> pairs[] = {
            {"BM_SearchCommon", "BM_GrepCommon"},
            {"BM_SearchRare", "BM_GrepRare"},
            {"BM_SearchNowhere", "BM_GrepNowhere"},
            {"BM_SearchRareFoldCyrillic", "BM_GrepRare"},
            {"BM_SearchNowhereFoldCyrillic", "BM_GrepNowhere"},
            {"BM_SearchRareThreaded", "BM_GrepRare"},
            {"BM_IndexedSearchCommon", "BM_SearchCommon"},
            {"BM_IndexedSearchRare", "BM_SearchRare"},
            {"BM_IndexedSearchNowhere", "BM_SearchNowhere"}};
        for (const auto& [search, grep] : pairs) {
            if (times_.count(search) && times_.count(grep) && times_[grep] > 0)
                printf("ratio %s / %s = %.2f wall, %.2f cpu\n", search, grep,
                       times_[search] / times_[grep], cpu_[search] / cpu_[grep]);
        }
    }

private:
    std::map<std::string, double> times_;
    std::map<std::string, double> cpu_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    g_content = fs::temp_directory_path() / "kv_bench_filesearch";
    int articles = 10000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--content=", 0) == 0) g_content = arg.substr(10);
        if (arg.rfind("--articles=", 0) == 0) articles = std::atoi(arg.c_str() + 11);
    }
    Generate(g_content / "inside", articles);
    kv::cache::TrigramIndexBuilder::Update(g_content / "cache", Root(), Articles(Root()), {});
    auto index = std::make_shared<kv::cache::TrigramIndex>();
    if (index->Load(g_content / "cache", Root())) g_index = std::move(index);
    kv::TContentIndex walk;  // the reader's start-up walk, which lists the search's files
    walk.UseCache(g_content / "cache");
    walk.MakeTree(Root());
    g_catalogue = walk.Catalogue();
    if (g_index && g_catalogue)
        g_documents = std::make_shared<const std::vector<std::int32_t>>(
            kv::CatalogueDocuments(*g_catalogue, walk.Articles(), *g_index));
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}
