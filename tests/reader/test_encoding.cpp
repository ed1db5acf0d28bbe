// The encoding of an article and the tokenizer's reading of it: characters reach the reader in
// Windows-1251 with the byte index of each in the file.

#include <gtest/gtest.h>

#include "html/reader/encoding.h"
#include "html/reader/tokenizer.h"
#include "platform/codec.h"
#include "tests/reader/readtext.h"

namespace kv {
namespace {

using enum TEncoding;

TEST(Encoding, FirstMatchWins) {
    const std::string utf8 = "\xD0\x91\xD0\xB0";  // "Ба"
    const std::string cp1251 = "\xC1\xE0";
    // A mark beats a META, a META beats the bytes being UTF-8.
    EXPECT_EQ(DetectEncoding("\xEF\xBB\xBF<meta charset=koi8-r>" + cp1251), Utf8);
    EXPECT_EQ(DetectEncoding("\xFF\xFE<\0p\0"), Utf16LE);
    EXPECT_EQ(DetectEncoding("\xFE\xFF\0<\0p"), Utf16BE);
    EXPECT_EQ(DetectEncoding("<META CHARSET=\"KOI8-R\">" + utf8), Koi8R);
    EXPECT_EQ(DetectEncoding("<meta http-equiv=\"Content-Type\" content=\"text/html; "
                             "charset=iso-8859-5\">" +
                             utf8),
              Iso88595);
    EXPECT_EQ(DetectEncoding("<?xml version=\"1.0\" encoding='cp866'?>" + utf8), Cp866);
    // The declaration must start within the first 1024 bytes.
    EXPECT_EQ(DetectEncoding(std::string(1023, ' ') + "<meta charset=utf-8>" + cp1251), Utf8);
    EXPECT_EQ(DetectEncoding(std::string(1024, ' ') + "<meta charset=utf-8>" + cp1251),
              Windows1251);
    // An unknown charset leaves the default: the bytes decide.
    EXPECT_EQ(DetectEncoding("<meta charset=x-martian>" + cp1251), Windows1251);
    EXPECT_EQ(DetectEncoding("<meta charset=x-martian>" + utf8), Utf8);
    // UTF-8 only when valid and with a multi-byte sequence; cut, overlong, surrogate: not.
    EXPECT_EQ(DetectEncoding("plain ascii"), Windows1251);
    EXPECT_EQ(DetectEncoding(utf8 + "\xFF"), Windows1251);
    EXPECT_EQ(DetectEncoding(utf8 + "\xD0"), Windows1251);
    EXPECT_EQ(DetectEncoding("\xC0\x80"), Windows1251);
    EXPECT_EQ(DetectEncoding("\xED\xA0\x80"), Windows1251);
    EXPECT_EQ(DetectEncoding("\xF4\x8F\xBF\xBF"), Utf8);  // U+10FFFF, the last
    EXPECT_EQ(DetectEncoding("\xF4\x90\x80\x80"), Windows1251);
    // A sequence cut by the end of a block goes on in the next.
    TEncodingSniffer sniffer;
    sniffer.Feed("a\xD0");
    sniffer.Feed("\x91");
    EXPECT_EQ(sniffer.Result(), Utf8);
}

struct Read {
    TEncoding encoding;
    std::string text;
    std::vector<int32_t> indexes;
};

Read ReadAll(std::string_view bytes) {
    THtmlReader reader;
    reader.Start(bytes);
    reader.ReadChar();
    Read out{reader.Encoding, {}, {}};
    do {
        reader.NextToken();
        out.text += kv::text::fromUtf16(reader.Token.Text);
        out.indexes.insert(out.indexes.end(), reader.Token.Indexes.begin(),
                           reader.Token.Indexes.end());
        if (reader.Symbol == syText || reader.Symbol == syEof) continue;
        for (const auto& a : reader.TagAttributes->Items()) out.text += "[" + a.StrValue + "]";
    } while (reader.Symbol != syEof);
    return out;
}

TEST(Encoding, TokenizerReadsTheFileInItsEncoding) {
    // UTF-8 with a mark: the mark is no character, indexes are byte indexes of the file.
    Read r = ReadAll(
        "\xEF\xBB\xBF\xD0\x91\xD0\xB0<b title=\"\xD0\xAF\">\xCE\xB1"
        "b\xFF"
        "c");
    EXPECT_EQ(r.encoding, Utf8);
    EXPECT_EQ(r.text, "Ба[Я]αb\uFFFDc");  // text and attribute values; 0xFF forms no character
    EXPECT_EQ(r.indexes, (std::vector<int32_t>{3, 5, 21, 23, 24, 25}));
    // A single-byte set through its declaration.
    r = ReadAll("<meta charset=koi8-r>\xE2\xC1\xCA\xCB\xC1\xCC");
    EXPECT_EQ(r.text, "[koi8-r]Байкал");
    EXPECT_EQ(r.indexes.back(), 26);
    // UTF-16 with its mark, a pair of surrogates read as one character.
    r = ReadAll(std::string("\xFF\xFE\x11\x04\x3D\xD8\x00\xDE!\0", 10));
    EXPECT_EQ(r.text, "Б\U0001F600!");
    EXPECT_EQ(r.indexes, (std::vector<int32_t>{2, 4, 4, 8}));  // a unit per position
}

TEST(Encoding, MislabelledBytesStayReadable) {
    // Windows-1251 bytes under a UTF-8 META or mark: ASCII survives, the rest is U+FFFD.
    for (const std::string& html : {std::string("<meta charset=utf-8><p>Ok \xC1\xE0\xE9 end"),
                                    std::string("\xEF\xBB\xBF<p>Ok \xC1\xE0\xE9 end")}) {
        const Read r = ReadAll(html);
        EXPECT_EQ(r.text.substr(r.text.find("Ok")), "Ok \uFFFD\uFFFD\uFFFD end") << html;
    }
}

using kvtest::TextOf;

TEST(Encoding, TextKeepsEveryCharacterAndBadBytesBecomeReplacements) {
    // Greek, an arrow, CJK and a character outside the BMP (two units at its first byte).
    const std::string utf8 =
        "<p>\xCE\x91\xCE\xB1 \xE2\x86\x92 \xE4\xB8\xAD \xF0\x9F\x98\x80 \xD0\xAF";
    EXPECT_EQ(TextOf(utf8), u"\u0391\u03B1 \u2192 \u4E2D \U0001F600 \u042F");
    const Read r = ReadAll(utf8);
    EXPECT_EQ(std::vector<int32_t>(r.indexes.end() - 4, r.indexes.end()),
              (std::vector<int32_t>{16, 16, 20, 21}));
    // A reference to a character Windows-1251 lacks gives that character, in either encoding.
    EXPECT_EQ(TextOf("<p>a&#8594;b&#945;"), u"a\u2192b\u03B1");
    // Text runs stay within 100 units without splitting a pair.
    std::string emoji = "<p>";
    for (int i = 0; i < 120; ++i) emoji += "\xF0\x9F\x98\x80";
    EXPECT_EQ(TextOf(emoji).size(), 240u);
    // Mislabelled and broken input: every bad byte is U+FFFD, the rest reads on.
    EXPECT_EQ(TextOf("<meta charset=utf-8><p>Ok \xC1\xE0 end"), u"Ok \uFFFD\uFFFD end");
    EXPECT_EQ(TextOf("\xEF\xBB\xBF<p>\xC1\xE0"), u"\uFFFD\uFFFD");
    EXPECT_EQ(TextOf("\xEF\xBB\xBF<p>a\xE2\x86 b\xCE"), u"a\uFFFD\uFFFD b\uFFFD");
    // A surrogate standing alone, in UTF-8 or UTF-16, is no character either; a pair is one.
    EXPECT_EQ(TextOf("\xEF\xBB\xBF<p>\xED\xA0\x80x\xED\xBF\xBF"),
              u"\uFFFD\uFFFD\uFFFDx\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(TextOf(std::string("\xFF\xFE<\0p\0>\0\x00\xD8"
                                 "a\0\x00\xDC\x3D\xD8\x00\xDE",
                                 18)),
              u"\uFFFDa\uFFFD\U0001F600");
    // Windows-1251 bytes read as they are.
    EXPECT_EQ(TextOf("<p>\xC1\xE0\xA0\x98"), u"\u0411\u0430\u00A0\u0098");
}

}  // namespace
}  // namespace kv
