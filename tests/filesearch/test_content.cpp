// The content test: phrase matching with its case rules, and reading files block by block.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "filesearch/content.h"
#include "tests/common/testutil.h"

namespace kv {
namespace {

using kvtest::W;

bool Found(std::string_view text, std::string_view phrase, bool ignoreCase,
           bool foldCyrillic = false) {
    const PhraseMatcher matcher(phrase, ignoreCase, foldCyrillic);
    return matcher.FoundIn(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

TEST(PhraseMatcher, IgnoreCaseFoldsLatinLettersOnly) {
    EXPECT_TRUE(Found("xxABCxx", "abc", true));
    EXPECT_TRUE(Found("xxabcxx", "ABC", true));
    EXPECT_FALSE(Found("xxABCxx", "abc", false));
    EXPECT_FALSE(Found(W("Статья о ПРИВЕТЕ"), W("привет"), true));
    EXPECT_TRUE(Found(W("Статья о привете"), W("привет"), true));
    EXPECT_FALSE(Found(W("ЁЛКА"), W("ёлка"), true));
    // Bytes that are letters in no case: '@' is 'A' - 1, '[' is 'Z' + 1.
    EXPECT_FALSE(Found("x@[x", "`{", true));
}

TEST(PhraseMatcher, FoldCyrillicFoldsRussianLettersWithIgnoreCaseOnly) {
    EXPECT_TRUE(Found(W("Статья о ПРИВЕТЕ"), W("привет"), true, true));
    EXPECT_TRUE(Found(W("Статья о привете"), W("ПРИВЕТ"), true, true));
    EXPECT_TRUE(Found(W("ЁЛКА и Ель"), W("ёлка и ель"), true, true));
    EXPECT_TRUE(Found(W("Mixed ПрИвЕт"), W("mIXED пРиВеТ"), true, true));
    EXPECT_FALSE(Found(W("ПРИВЕТ"), W("привет"), false, true));
    // Only А-Я and Ё: the other Cyrillic letters of the code page keep their case.
    EXPECT_FALSE(Found(W("Ў"), W("ў"), true, true));
    EXPECT_FALSE(Found(W("Є"), W("є"), true, true));
    // Ё does not fold onto Е.
    EXPECT_FALSE(Found(W("ЕЛКА"), W("ёлка"), true, true));
}

TEST(PhraseMatcher, RepeatsAndShortBlocks) {
    EXPECT_TRUE(Found("aaaaab", "aab", true));
    EXPECT_TRUE(Found("abababac", "ABAC", true));
    EXPECT_FALSE(Found("ab", "abc", true));
    EXPECT_TRUE(Found("abc", "abc", false));
    EXPECT_TRUE(Found(std::string_view("a\0b", 3), std::string_view("\0B", 2), true));
}

// Against a plain reference: random texts over a few letters of both cases, every phrase
// length up to past the sixteen positions the folded search looks at together.
TEST(PhraseMatcher, AgreesWithAPlainSearchOnRandomTexts) {
    const std::string letters = W("aAbBёЁяЯ.");
    const auto fold = [](unsigned char c, bool cyrillic) -> unsigned char {
        if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
        if (cyrillic && c >= 0xC0 && c <= 0xDF) return static_cast<unsigned char>(c + 32);
        if (cyrillic && c == 0xA8) return 0xB8;
        return c;
    };
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        const bool cyrillic = round % 2 == 0;
        std::string text(random() % 70, ' '), phrase(1 + random() % 20, ' ');
        for (char& c : text) c = letters[random() % 4 + (cyrillic ? 4 : 0) * (random() % 2)];
        for (char& c : phrase) c = letters[random() % 4 + (cyrillic ? 4 : 0) * (random() % 2)];
        if (round % 3 == 0 && phrase.size() <= text.size()) {
            text.replace(random() % (text.size() - phrase.size() + 1), phrase.size(), phrase);
        }
        std::string foldedText = text, foldedPhrase = phrase;
        for (char& c : foldedText)
            c = static_cast<char>(fold(static_cast<unsigned char>(c), cyrillic));
        for (char& c : foldedPhrase)
            c = static_cast<char>(fold(static_cast<unsigned char>(c), cyrillic));
        EXPECT_EQ(Found(text, phrase, true, cyrillic),
                  foldedText.find(foldedPhrase) != std::string::npos)
            << "text '" << text << "' phrase '" << phrase << "'";
    }
}

// A phrase placed at every offset of a file, read with every small block size: found each time,
// and a near miss never.
TEST(ContentReader, FindsAPhraseAcrossEveryBlockBoundary) {
    kvtest::TempFolder folder;
    const std::string phrase = "NeEdLe";
    for (const bool ignoreCase : {false, true}) {
        const PhraseMatcher exact(ignoreCase ? "needle" : phrase, ignoreCase, false);
        const PhraseMatcher miss(ignoreCase ? "needlf" : "NeEdLf", ignoreCase, false);
        for (size_t offset = 0; offset + phrase.size() <= 40; ++offset) {
            std::string text(40, '.');
            text.replace(offset, phrase.size(), phrase);
            const auto file = folder.Write("f.htm", text);
            for (size_t block = 1; block <= 16; ++block) {
                ContentReader reader(block);
                EXPECT_EQ(reader.Contains(file.c_str(), exact), ContentReader::Result::Found)
                    << "offset " << offset << " block " << block;
                EXPECT_EQ(reader.Contains(file.c_str(), miss), ContentReader::Result::NotFound)
                    << "offset " << offset << " block " << block;
            }
        }
    }
}

TEST(ContentReader, DefaultBlocksFindAPhraseEverywhereInALargeFile) {
    kvtest::TempFolder folder;
    ContentReader reader;
    const PhraseMatcher phrase("Hello", true, false);
    const size_t block = ContentReader::kDefaultBlockSize;
    for (const size_t offset : {size_t{0}, size_t{4091}, size_t{4094}, block - 5, block - 3,
                                block - 1, 3 * block - 2, 4 * block - 5}) {
        std::string text(4 * block, 'x');
        text.replace(offset, 5, "hELLo");
        const auto file = folder.Write("big.htm", text);
        EXPECT_EQ(reader.Contains(file.c_str(), phrase), ContentReader::Result::Found) << offset;
    }
}

TEST(ContentReader, PhraseLongerThanTheBlock) {
    kvtest::TempFolder folder;
    const std::string phrase(100, 'q');
    const auto file = folder.Write("f.htm", "ab" + phrase + "cd");
    ContentReader reader(7);
    EXPECT_EQ(reader.Contains(file.c_str(), PhraseMatcher(phrase, false, false)),
              ContentReader::Result::Found);
    EXPECT_EQ(reader.Contains(file.c_str(), PhraseMatcher(phrase + "q", false, false)),
              ContentReader::Result::NotFound);
}

TEST(ContentReader, MissingFilesAndPipesAreUnreadableWithoutBlocking) {
    kvtest::TempFolder folder;
    ContentReader reader;
    const PhraseMatcher phrase("x", false, false);
    const auto missing = folder.Path() / "missing.htm";
    EXPECT_EQ(reader.Contains(missing.c_str(), phrase), ContentReader::Result::Unreadable);
    const auto pipe = folder.Path() / "pipe.htm";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(reader.Contains(pipe.c_str(), phrase), ContentReader::Result::Unreadable);
    EXPECT_EQ(reader.Contains(folder.Path().c_str(), phrase), ContentReader::Result::Unreadable);
    const auto empty = folder.Write("empty.htm", "");
    EXPECT_EQ(reader.Contains(empty.c_str(), phrase), ContentReader::Result::NotFound);
}

}  // namespace
}  // namespace kv
