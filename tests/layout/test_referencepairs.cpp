// Reference pairs: every x.htm under data/pairs must paint exactly as its simpler x.ref.htm.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/codec.h"
#include "tests/layout/builttest.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ReferencePairs, EveryPagePaintsAsItsReference) {
    const fs::path folder = KV_PAIRS_DIR;
    int pairs = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (!name.ends_with(".htm") || name.ends_with(".ref.htm")) continue;
        const fs::path reference = folder / (name.substr(0, name.size() - 4) + ".ref.htm");
        ASSERT_TRUE(fs::exists(reference)) << name;
        // A narrow page, so that wrapping and alignment show.
        test::Built page(ReadBytes(entry.path()), 180), ref(ReadBytes(reference), 180);
        EXPECT_EQ(page.Paint(), ref.Paint()) << name;
        EXPECT_EQ(page.height, ref.height) << name;
        EXPECT_EQ(page.title, ref.title) << name;
        ++pairs;
    }
    EXPECT_GE(pairs, 25);
}

// Every sample article converted to UTF-8 (declared by META, by a mark, or by nothing) paints
// exactly as the Windows-1251 original.
TEST(ReferencePairs, Utf8TwinsOfTheSampleArticlesPaintAsTheOriginals) {
    int articles = 0;
    for (const auto& entry : fs::recursive_directory_iterator(KV_SAMPLES_DIR)) {
        if (entry.path().extension() != ".htm") continue;
        const std::string original = ReadBytes(entry.path());
        const std::string utf8 = cp1251::toUtf8(original);
        test::Built page(original, 300);
        const std::string painted = page.Paint();
        for (const std::string& twin :
             {"<meta charset=\"utf-8\">" + utf8, "\xEF\xBB\xBF" + utf8, utf8}) {
            test::Built copy(twin, 300);
            EXPECT_EQ(copy.Paint(), painted) << entry.path() << twin.substr(0, 3);
            EXPECT_EQ(copy.height, page.height) << entry.path();
            EXPECT_EQ(copy.title, page.title) << entry.path();
            // The anchors carry the names the contents give them, at the same places.
            ASSERT_EQ(copy.doc.IDNames.Count(), page.doc.IDNames.Count()) << entry.path();
            for (int i = 0; i < page.doc.IDNames.Count(); ++i) {
                EXPECT_EQ(copy.doc.IDNames.Name(i), page.doc.IDNames.Name(i)) << entry.path();
                EXPECT_EQ(copy.doc.IDNames.Object(i)->AnchorY(),
                          page.doc.IDNames.Object(i)->AnchorY())
                    << entry.path();
            }
        }
        ++articles;
    }
    EXPECT_GE(articles, 20);
}

}  // namespace
}  // namespace kv
