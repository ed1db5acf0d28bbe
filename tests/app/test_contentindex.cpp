#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "app/contentindex.h"
#include "app/strcon.h"
#include "platform/codec.h"
#include "platform/errors.h"
#include "tests/common/testutil.h"

using kvtest::W;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Walk(const kvtest::TempFolder& folder) {
    kvtest::CurrentFolderGuard guard;
    kv::TContentIndex index;
    index.Walk(kv::cp1251::fromPath(folder.Path()));
    return index.Lines();
}

std::vector<std::string> Topics(std::string_view text) {
    std::vector<std::string> lines;
    kv::TopicScanner scanner(lines);
    scanner.Feed(text);
    scanner.Finish();
    return lines;
}

// The rule for one line, written with the string helpers.
std::vector<std::string> TopicsByLine(std::string_view text) {
    kv::TStringCollection s;
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        const std::string_view anchor = s.TextBefore("\"", s.TextAfter("<a name=\"", line));
        if (anchor.size() >= 2) lines.push_back(" " + std::string(anchor));
        pos = end + 1;
    }
    return lines;
}

}  // namespace

TEST(TopicScanner, AnchorRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Topics("<a name=\"x\"></a>\n<a name=\"xy\"></a>"), V{" xy"});  // 1 char ignored
    EXPECT_EQ(Topics("<a name=\"one\"> <a name=\"two\">\r\n"), V{" one"});   // first per line
    EXPECT_EQ(Topics("<A NAME=\"up\">\n<a  name=\"two\">\n<a name='q'>\n"), V{});
    EXPECT_EQ(Topics("<a name=\"open to the end\r\nnext\" line"), V{" open to the end"});
    EXPECT_EQ(Topics("<a name=\"\">"), V{});
    EXPECT_EQ(Topics("text <a name=\" lead\">"), V{"  lead"});  // verbatim, no trimming
    EXPECT_EQ(Topics("<a name=\"a&amp;b\">"), V{" a&amp;b"});   // no decoding
    EXPECT_EQ(Topics("<a name=\"last"), V{" last"});
    EXPECT_EQ(Topics("x\r<a name=\"cr\"\r<a name=\"lf\"\n"), (V{" cr", " lf"}));
}

TEST(TopicScanner, BlocksOfEverySizeGiveTheSameTopics) {
    std::mt19937 random(1251);
    const char* pieces[] = {"<a name=\"", "\"", "\r\n",  "\n",    "\r",
                            "ab",         "Ё",  "<a na", "me=\"", " "};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
        const auto expected = TopicsByLine(text);
        ASSERT_EQ(Topics(text), expected) << text;
        for (size_t block = 1; block <= 11; block += 5) {
            std::vector<std::string> lines;
            kv::TopicScanner scanner(lines);
            for (size_t i = 0; i < text.size(); i += block)
                scanner.Feed(std::string_view(text).substr(i, block));
            scanner.Finish();
            ASSERT_EQ(lines, expected) << "block " << block << ": " << text;
        }
    }
}

TEST(ContentWalk, FoldersAndTopicsInWalkOrder) {
    kvtest::TempFolder root;
    root.Write("Луна/index.htm",
               W("<h1>Луна</h1>\r\n<a name=\"Фазы\"></a>\r\n<a name=\"Орбита\">"));
    root.Write("Пусто/readme.txt", "<a name=\"never\">");
    root.Write("Заглавные/INDEX.HTM", "<a name=\"never\">");
    root.Write("Вложенная/index.htm", "<a name=\"before\">\n");
    root.Write("Вложенная/Глубже/index.htm", "<a name=\"deep\">\n");
    root.Write(".скрытая/index.htm", "<a name=\"never\">");
    root.Write("Видимая/.index.htm", "<a name=\"never\">");

    // The walk keeps the file system's order; work that order out the same way.
    std::vector<std::string> expected;
    std::function<void(const fs::path&)> walk = [&](const fs::path& folder) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename();
            if (name[0] == '.') continue;
            if (entry.is_directory()) {
                expected.push_back(kv::cp1251::fromUtf8(name));
                walk(entry.path());
            } else if (name == "index.htm") {
                for (auto& topic : Topics(kvtest::ReadFile(entry.path())))
                    expected.push_back(topic);
            }
        }
    };
    walk(root.Path());
    EXPECT_EQ(Walk(root), expected);
    EXPECT_EQ(expected.size(), 10u);  // 6 folders and 2 + 1 + 1 topics; nothing hidden
}

TEST(ContentWalk, MissingContentFolderWarnsOnceAndWalksTheCurrentFolder) {
    kvtest::TempFolder start;
    start.Write("Здесь/index.htm", "<a name=\"topic\">");
    kvtest::CurrentFolderGuard guard;
    fs::current_path(start.Path());
    kvtest::MessageRecorder boxes;
    kv::TContentIndex index;
    index.GenerateMainTree(kv::cp1251::fromPath(start.Path() / "nothing") + "/");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].kind, kv::messages::Kind::Warning);
    EXPECT_EQ(boxes.Boxes()[0].text, "Cannot find directory");
    EXPECT_EQ(index.Lines(), (std::vector<std::string>{W("Здесь"), " topic"}));
}

TEST(ContentWalk, UnreadableEntriesAreSkippedAndCounted) {
    // Root reads everything, so a dangling link stands in for the unreadable article file.
    kvtest::TempFolder root;
    root.Write("А/index.htm", "<a name=\"one\">");
    root.Write("Б/index.htm", "<a name=\"two\">");
    root.MakeFolder("В");
    fs::create_symlink(root.Path() / "missing-target", root.Path() / "В" / "index.htm");
    fs::create_directory_symlink(root.Path() / "gone", root.Path() / "Г");
    kvtest::CurrentFolderGuard guard;
    kv::TContentIndex index;
    index.Walk(kv::cp1251::fromPath(root.Path()));
    // Both good articles are listed whatever the order; the broken ones are counted once each.
    const auto& lines = index.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), " one"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), " two"), lines.end());
    EXPECT_EQ(index.FailureCount(), 1u);  // the dangling article; "Г" is no folder at all
    EXPECT_NE(index.FailureMessage().find("index.htm"), std::string::npos);
}

TEST(ContentWalk, LinkBackToAnAncestorDoesNotLoopForever) {
    kvtest::TempFolder root;
    root.Write("А/index.htm", "<a name=\"one\">");
    fs::create_directory_symlink(root.Path(), root.Path() / "А" / "loop");
    const auto lines = Walk(root);
    EXPECT_LE(lines.size(), 4u);
}

TEST(ContentsFile, CrLfAfterEveryLineInWindows1251) {
    kvtest::TempFolder root;
    const fs::path file = root.Path() / "treeenc.txt";
    kv::SaveContentsFile({W("Луна"), W(" Фазы")}, file);
    EXPECT_EQ(kvtest::ReadFile(file), "\xcb\xf3\xed\xe0\r\n \xd4\xe0\xe7\xfb\r\n");
    kv::SaveContentsFile({}, file);  // rewritten, not appended
    EXPECT_EQ(kvtest::ReadFile(file), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(root.Path()), fs::directory_iterator()), 1);
}

TEST(ContentsFile, FailureRaisesAndKeepsTheOldFile) {
    kvtest::TempFolder root;
    EXPECT_THROW(kv::SaveContentsFile({"x"}, root.Path() / "no" / "treeenc.txt"), kv::Exception);
    try {
        kv::SaveContentsFile({"x"}, root.Path() / "no" / "treeenc.txt");
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"", 0), 0u) << e.what();
    }
}

TEST(TopicScanner, LongTextsWithNearMissesFollowTheLineRule) {
    // Long enough for the fast search, with markers at every offset and texts that share most
    // of a marker's bytes.
    std::mt19937 random(866);
    const char* pieces[] = {"<a name=\"", "<a href=\"", "<a nam=\"", "<a  name=\"", "<b name=\"",
                            "<a name='",  "\"",         "\r\n",      "\n",          "\r",
                            "word ",      "Ж",          "<",         "n",           "\0"};
    for (int round = 0; round < 60; ++round) {
        std::string text;
        while (text.size() < 3000) {
            const char* piece = pieces[random() % std::size(pieces)];
            text += *piece ? std::string(piece) : std::string(1, '\0');
        }
        const auto expected = TopicsByLine(text);
        ASSERT_EQ(Topics(text), expected) << text;
        const size_t block = 1 + random() % 700;
        std::vector<std::string> lines;
        kv::TopicScanner scanner(lines);
        for (size_t i = 0; i < text.size(); i += block)
            scanner.Feed(std::string_view(text).substr(i, block));
        scanner.Finish();
        ASSERT_EQ(lines, expected) << "block " << block;
    }
    // A marker in the last bytes of a block, and one ending exactly at the end.
    for (size_t pad = 0; pad < 40; ++pad) {
        const std::string text = std::string(pad, 'x') + "<a name=\"ab\"" + std::string(7, 'y');
        EXPECT_EQ(Topics(text), std::vector<std::string>{" ab"}) << pad;
        EXPECT_EQ(Topics(std::string(pad, 'x') + "<a name=\""), std::vector<std::string>{});
    }
}

TEST(ContentWalk, LinksAndOddEntriesAreTakenByWhatTheyPointTo) {
    kvtest::TempFolder outside;
    outside.Write("index.htm", "<a name=\"linked\">");
    kvtest::TempFolder root;
    fs::create_directory_symlink(outside.Path(), root.Path() / "Link");
    root.MakeFolder("Real");
    fs::create_symlink(outside.Path() / "index.htm", root.Path() / "Real" / "index.htm");
    root.Write("Odd/index.htm/index.htm", "<a name=\"inner\">");  // a folder by that name
    auto lines = Walk(root);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{" inner", " linked", " linked", "Link", "Odd",
                                               "Real", "index.htm"}));
}

TEST(ContentWalk, FolderNamesConvertLikeEveryOtherName) {
    kvtest::TempFolder root;
    const std::vector<std::string> names = {"Plain",
                                            "Ёжик и ёлка",
                                            "Пётр № 1 — €",
                                            "日本",
                                            "\xd0",
                                            "\xd0\xd0\x9f",
                                            "\xc0\x80",
                                            "\xed\xa0\x80x",
                                            "end\xd0\xbf\xd0",
                                            "\xef\xbb\xbf"
                                            "Б",
                                            "\xf0\x9f\x98\x80"};
    std::vector<std::string> expected;
    for (const auto& name : names) {
        fs::create_directory(root.Path() / name);
        expected.push_back(kv::cp1251::fromPath(name));
    }
    auto lines = Walk(root);
    // The temporary folder cannot remove names that are not UTF-8.
    for (const auto& name : names) fs::remove(root.Path() / name);
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
    EXPECT_NE(std::find(lines.begin(), lines.end(), W("Ёжик и ёлка")), lines.end());
}

TEST(ContentWalk, ManyFoldersComeOutInOneWalksOrderWithTheFirstFailureFirst) {
    kvtest::TempFolder root;
    root.Write("index.htm", "<a name=\"top\">\n");
    for (int i = 0; i < 300; ++i) {
        const std::string folder = "F" + std::to_string(i);
        if (i % 37 == 5) {
            root.MakeFolder(folder);
            fs::create_symlink(root.Path() / "gone", root.Path() / folder / "index.htm");
        } else {
            root.Write(folder + "/index.htm", "<a name=\"t" + std::to_string(i) + "\">\n");
            if (i % 10 == 0) root.Write(folder + "/Sub/index.htm", "<a name=\"deeper\">");
        }
    }
    std::vector<std::string> expected;
    std::string firstFailure;
    std::size_t failures = 0;
    std::function<void(const fs::path&)> walk = [&](const fs::path& folder) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename();
            if (entry.is_directory()) {
                expected.push_back(name);
                walk(entry.path());
            } else if (name == "index.htm" && !fs::exists(entry.path())) {
                if (failures++ == 0) firstFailure = entry.path().lexically_normal();
            } else if (name == "index.htm") {
                for (auto& topic : Topics(kvtest::ReadFile(entry.path())))
                    expected.push_back(topic);
            }
        }
    };
    walk(root.Path());
    kvtest::CurrentFolderGuard guard;
    kv::TContentIndex index;
    index.Walk(kv::cp1251::fromPath(root.Path()));
    EXPECT_EQ(index.Lines(), expected);
    EXPECT_EQ(index.FailureCount(), failures);
    EXPECT_EQ(index.FirstFailure(), firstFailure);
}
