// Reading speed of the HTML reader on a generated 2 MB Windows-1251 article with a style sheet:
// tokenizing alone (and of the same article in UTF-8), and tokenizing with the style cascade of
// every element (as the document builder does it). Throughput in MB/s of document text. Also the
// registration of 200,000 element ids in the document's name list, in order, reversed, shuffled and
// with many repeats.
//
//   bench_reader [benchmark flags]

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "html/reader/encoding.h"
#include "html/reader/properties.h"
#include "html/reader/tokenizer.h"
#include "platform/codec.h"

namespace {

const std::string& Article() {
    static const std::string text = [] {
        static const char* words[] = {"река",     "озеро",        "горный",   "лес",
                                      "степь",    "море",         "остров",   "город",
                                      "история",  "климат",       "растение", "животное",
                                      "Кварнеля", "энциклопедия", "—",        "«слово»"};
        std::mt19937 random(7);
        std::string html =
            "<html><head><title>Статья</title><style><!--\n"
            "body { font-family: 'Times New Roman', serif; color: #222 }\n"
            "p.note { margin: 0 5px; font: italic 11pt/1.4 arial }\n"
            "li ul { list-style: square } h2 { border-bottom: 1px solid #ccc }\n"
            "a:hover { color: red } .em { font-size: 120% }\n--></style></head>\r\n<body>\r\n";
        int section = 0;
        while (html.size() < 2 * 1024 * 1024) {
            ++section;
            html += "<a name=\"Раздел " + std::to_string(section) + "\"></a><h2 id=s" +
                    std::to_string(section) + ">Раздел &laquo;" + std::to_string(section) +
                    "&raquo;</h2>\r\n";
            for (int p = 0; p < 6; ++p) {
                html += p % 3 ? "<p>" : "<p class=note align=\"justify\">";
                for (int w = 0; w < 60; ++w) {
                    const int kind = static_cast<int>(random() % 40);
                    if (kind == 0) {
                        html += "<b>" + std::string(words[random() % 16]) + "</b> ";
                    } else if (kind == 1) {
                        html += "<a href=\"../Статья/index.htm#x\">ссылка</a> ";
                    } else if (kind == 2) {
                        html += "&nbsp;&#8212; ";
                    } else if (kind == 3) {
                        html += "<span class=em style=\"color: navy\">текст</span>\r\n";
                    } else {
                        html += words[random() % 16];
                        html += ' ';
                    }
                }
                html += "</p>\r\n";
            }
            html += "<ul><li>один<li>два<ul><li>три</ul></ul><!-- примечание -->\r\n";
        }
        return kv::cp1251::fromUtf8(html + "</body></html>\r\n");
    }();
    return text;
}

void TokenizeText(benchmark::State& state, const std::string& text) {
    kv::THtmlReader reader;
    kv::TIDNameList names;
    kv::TStyleList styles;
    size_t tokens = 0;
    for (auto _ : state) {
        names.Clear();
        styles.Clear();
        reader.IDNames = &names;
        reader.Start(text);
        reader.ReadChar();
        do {
            reader.NextToken();
            if (reader.Symbol == kv::sySTYLE) reader.ReadStyleElement(styles);
            ++tokens;
        } while (reader.Symbol != kv::syEof);
    }
    benchmark::DoNotOptimize(tokens);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void Tokenize(benchmark::State& state) {
    TokenizeText(state, Article());
}
BENCHMARK(Tokenize)->Unit(benchmark::kMillisecond);

// The same article in UTF-8 (its Cyrillic letters two bytes each).
void TokenizeUtf8(benchmark::State& state) {
    static const std::string text = kv::cp1251::toUtf8(Article());
    TokenizeText(state, text);
}
BENCHMARK(TokenizeUtf8)->Unit(benchmark::kMillisecond);

// The same, labelled by a META as most UTF-8 pages are: no check of every byte first.
void TokenizeUtf8Declared(benchmark::State& state) {
    static const std::string text = "<meta charset=\"utf-8\">" + kv::cp1251::toUtf8(Article());
    TokenizeText(state, text);
}
BENCHMARK(TokenizeUtf8Declared)->Unit(benchmark::kMillisecond);

// The encoding check alone on the unlabelled UTF-8 copy: every byte is looked at.
void DetectUtf8(benchmark::State& state) {
    static const std::string text = kv::cp1251::toUtf8(Article());
    for (auto _ : state) benchmark::DoNotOptimize(kv::DetectEncoding(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(DetectUtf8)->Unit(benchmark::kMillisecond);

void TokenizeAndCascade(benchmark::State& state) {
    const std::string& text = Article();
    kv::THtmlReader reader;
    kv::TIDNameList names;
    kv::TStyleList styles;
    kv::TPropStack stack;
    for (auto _ : state) {
        names.Clear();
        styles.BuildDefaults("Times New Roman", "Courier New", 10, 10, 204, true, 0xFF, 0x800080,
                             0xFF0000, 0, 10);
        stack.PushRoot(styles);
        reader.IDNames = &names;
        reader.Start(text);
        reader.ReadChar();
        do {
            reader.NextToken();
            const kv::TSymbol symbol = reader.Symbol;
            if (symbol == kv::sySTYLE) reader.ReadStyleElement(styles);
            if (!kv::StartName(symbol).empty()) {
                kv::TAttributeList& list = *reader.TagAttributes;
                const std::string tag = symbol == kv::syH
                                            ? "h" + std::to_string(reader.HeadingLevel)
                                            : std::string(kv::StartName(symbol));
                stack.Push(styles, tag, list.ClassValue(), list.IdValue(), list.InlineStyle(), "");
                if (kv::EndOf(symbol) == kv::syNone) stack.Pop(tag);  // elements without an end
            } else if (!kv::EndName(symbol).empty()) {
                stack.Pop(symbol == kv::syHEnd ? "h" + std::to_string(reader.HeadingLevel)
                                               : std::string(kv::EndName(symbol)));
            }
        } while (reader.Symbol != kv::syEof);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(TokenizeAndCascade)->Unit(benchmark::kMillisecond);

// The ids a long article might carry: "sec000001" ... in the order asked for.
enum IdOrder { kInOrder, kReversed, kShuffled, kRepeats };

std::vector<std::string> Ids(IdOrder order) {
    constexpr int kIds = 200000;
    std::vector<std::string> ids;
    ids.reserve(kIds);
    for (int i = 0; i < kIds; ++i) {
        // Repeats: only 2,000 distinct names, each registered a hundred times in mixed case.
        const int n = order == kRepeats ? i % 2000 : i;
        std::string id = std::to_string(n);
        id.insert(0, 6 - std::min<size_t>(6, id.size()), '0');
        ids.push_back((order == kRepeats && i % 2 ? "SEC" : "sec") + id);
    }
    if (order == kReversed) std::reverse(ids.begin(), ids.end());
    if (order == kShuffled || order == kRepeats)
        std::shuffle(ids.begin(), ids.end(), std::mt19937(3));
    return ids;
}

void RegisterIds(benchmark::State& state) {
    const std::vector<std::string> ids = Ids(static_cast<IdOrder>(state.range(0)));
    kv::TIDNameList names;
    for (auto _ : state) {
        names.Clear();
        for (size_t i = 0; i < ids.size(); ++i) names.AddChPos(ids[i], static_cast<int>(i));
        // The first ordered read (a tool listing the names) is part of the cost.
        benchmark::DoNotOptimize(names.Name(0));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * ids.size()));
}
BENCHMARK(RegisterIds)
    ->ArgName("order")
    ->Arg(kInOrder)
    ->Arg(kReversed)
    ->Arg(kShuffled)
    ->Arg(kRepeats)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);  // font services for the cascade
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
