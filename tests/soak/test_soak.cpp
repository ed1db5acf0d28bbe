// Soak: two thousand generated articles opened one after another in one viewer, each scrolled to
// its end, resized and searched. Resident memory must level off once the caches are full, and
// the image cache and the visited list must stay within their bounds.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "html/viewer/htmlview.h"
#include "platform/codec.h"
#include "tests/common/testutil.h"
#include "tests/images/gifwriter.h"
#include "tests/images/imagefiles.h"
#include "tests/soak/stress.h"

namespace {

constexpr int kArticles = 2000;
constexpr int kSettleAfter = 200;  // articles opened before the memory baseline is taken
constexpr int kImagesPerKind = 12;
constexpr int kImagesPerArticle = 3;
constexpr std::int64_t kMaxGrowth = 10 << 20;
constexpr auto kRunLimit = std::chrono::seconds(170);

kv::TBitmap Picture(int width, int height, int seed) {
    kv::TBitmap bitmap(width, height, kv::TPixelFormat::pf32bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y,
                            kv::RGBColor((x * 7 + seed * 31) & 255, (y * 5 + seed) & 255,
                                         ((x ^ y) + seed * 13) & 255));
    return bitmap;
}

std::string AnimatedGif(int seed) {
    kvtest::GifFile file;
    file.width = 24 + seed % 7;
    file.height = 18;
    file.globalDepth = 3;
    file.globalTable = kvtest::MakeTable(3, seed);
    file.loopCount = 0;
    for (int frame = 0; frame < 3; ++frame) {
        kvtest::GifFrame f;
        f.width = file.width - frame * 4;
        f.height = file.height - frame * 3;
        f.left = frame * 2;
        f.top = frame;
        f.pixels = kvtest::MakePixels(f.width, f.height, 3, seed + frame);
        f.control = true;
        f.disposal = frame % 3;
        f.delayCs = 2;
        f.transparentIndex = frame == 1 ? 0 : -1;
        file.frames.push_back(std::move(f));
    }
    return kvtest::EncodeGif(file);
}

// The shared picture files, named img/<kind><n>.<ext>.
std::vector<std::string> WriteImages(const kvtest::TempFolder& folder) {
    std::vector<std::string> names;
    for (int i = 0; i < kImagesPerKind; ++i) {
        const kv::TBitmap picture = Picture(20 + i, 16 + i % 5, i);
        const std::pair<std::string, std::string> files[] = {
            {"img/anim" + std::to_string(i) + ".gif", AnimatedGif(i)},
            {"img/pic" + std::to_string(i) + ".bmp", kvtest::EncodeBmp(picture)},
            {"img/pic" + std::to_string(i) + ".jpg", kvtest::EncodeJpeg(picture, i % 2, 80)},
            {"img/pic" + std::to_string(i) + ".png", kvtest::EncodePng(picture.ToQImage())},
        };
        for (const auto& [name, bytes] : files) {
            folder.Write(name, bytes);
            names.push_back(name);
        }
    }
    return names;
}

// One article: a title, anchors, paragraphs, a list, a table, pictures and links to others.
std::string Article(int n, const std::vector<std::string>& images, std::mt19937& random) {
    auto pick = [&random](int count) { return int(random() % unsigned(count)); };
    std::string html = "<html><head><title>Article " + std::to_string(n) + "</title></head><body>";
    html +=
        "<h1><a name=\"top" + std::to_string(n) + "\">Article " + std::to_string(n) + "</a></h1>";
    const int paragraphs = 3 + pick(12);
    for (int p = 0; p < paragraphs; ++p) {
        html += "<p>";
        if (p == 1) html += "<a name=\"part\"></a>";
        for (int w = 0, words = 10 + pick(60); w < words; ++w)
            html += (w % 9 == 0 ? "<b>word</b> " : "text ") + std::to_string(w) + " ";
        html += "<a href=\"a" + std::to_string(pick(kArticles)) + ".htm#part\">a link</a>";
        html += (p == 0 ? " needle" : "") + std::string("</p>");
    }
    html += "<ul>";
    for (int i = 0, items = 1 + pick(8); i < items; ++i)
        html += "<li>item " + std::to_string(i) + (i % 3 == 0 ? "<ol><li>inner</ol>" : "");
    html += "</ul><table border=1 cellpadding=2 width=90%>";
    for (int r = 0, rows = 1 + pick(6); r < rows; ++r) {
        html += "<tr>";
        for (int c = 0; c < 4; ++c)
            html += (c == 0 ? "<th>" : "<td align=right>") + std::to_string(r * c) + " cell";
    }
    html += "</table>";
    for (int i = 0; i < kImagesPerArticle; ++i) {
        const std::string& image = images[std::size_t(pick(int(images.size())))];
        html += "<img src=\"" + image + "\"" + (i == 0 ? " align=left" : "") + " alt=\"pic\">";
    }
    html += "<pre>pre  formatted\n  text " + std::to_string(n) + "</pre>";
    return html + "<a href=\"#top" + std::to_string(n) + "\">back to top</a></body></html>";
}

struct SoakCorpus {
    kvtest::TempFolder folder;
    std::vector<std::string> files;  // Windows-1251 paths, in opening order

    SoakCorpus() {
        const std::vector<std::string> images = WriteImages(folder);
        std::mt19937 random(20261209);
        for (int n = 0; n < kArticles; ++n) {
            const std::string name = "a" + std::to_string(n) + ".htm";
            files.push_back(kv::text::fromPath(folder.Write(name, Article(n, images, random))));
        }
    }
};

// Opens one article the way a reader goes through it: to an anchor (every other one), down to
// the end, a new window size, a search.
void Read(kv::THtmlView& view, const std::string& file, int n) {
    view.LoadFromFile(n % 2 ? file + "#part" : file);
    QCoreApplication::processEvents();
    view.SetVScrollPos(view.DocHeight());
    QCoreApplication::processEvents();
    view.resize(n % 3 == 0 ? 520 : 380, n % 2 ? 300 : 420);
    QCoreApplication::processEvents();
    view.Find("needle", false);
    QCoreApplication::processEvents();
}

TEST(Soak, TwoThousandArticlesKeepMemoryAndCachesBounded) {
    kvtest::Watchdog watchdog(kRunLimit, "the soak run");
    QElapsedTimer clock;
    clock.start();
    const SoakCorpus corpus;
    const qint64 generated = clock.elapsed();

    kv::THtmlView view;
    view.SetDefBackground(0xFFFFFF);
    view.SetBorderStyle(kv::THTMLBorderStyle::htNone);
    view.SetScrollBars(kv::TScrollStyle::ssBoth);
    view.resize(450, 350);
    view.show();

    std::int64_t settled = 0;
    std::size_t largestCache = 0, largestVisited = 0;
    const std::size_t cacheBound = std::size_t(view.ImageCacheCount() + 1) * kImagesPerArticle;
    for (int n = 0; n < kArticles; ++n) {
        Read(view, corpus.files[std::size_t(n)], n);
        ASSERT_EQ(view.CurrentFile(), corpus.files[std::size_t(n)]);
        ASSERT_GT(view.DocHeight(), 0) << n;
        largestCache = std::max(largestCache, std::size_t(view.ImageCache()->Count()));
        largestVisited = std::max(largestVisited, view.Visited().size());
        ASSERT_LE(std::size_t(view.ImageCache()->Count()), cacheBound) << "after article " << n;
        ASSERT_LE(view.Visited().size(), std::size_t(view.VisitedMaxCount())) << n;
        if (n + 1 == kSettleAfter) settled = kvtest::ResidentBytes();
    }
    const std::int64_t last = kvtest::ResidentBytes();
    std::printf(
        "soak: corpus %lld ms, %d articles %lld ms; resident after %d: %.1f MB, at the "
        "end: %.1f MB; image cache at most %zu (bound %zu), visited at most %zu (%d)\n",
        static_cast<long long>(generated), kArticles,
        static_cast<long long>(clock.elapsed() - generated), kSettleAfter,
        double(settled) / (1 << 20), double(last) / (1 << 20), largestCache, cacheBound,
        largestVisited, view.VisitedMaxCount());
    ASSERT_GT(settled, 0);
    EXPECT_LE(last - settled, kMaxGrowth);
    // The anchors every other article was opened at fill the visited list to its bound.
    EXPECT_EQ(largestVisited, std::size_t(view.VisitedMaxCount()));
    EXPECT_GT(largestCache, 0u);
}

}  // namespace
