// Reference pairs: every x.htm under data/pairs must paint exactly as its simpler x.ref.htm.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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

}  // namespace
}  // namespace kv
