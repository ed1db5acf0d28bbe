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

// The byte check goes eight bytes at a time: every edge must hold at every place in a word.
TEST(Encoding, ByteCheckHoldsAtEveryOffset) {
    const std::string letter = "\xD0\x91";  // "Б"
    for (size_t n = 0; n <= 17; ++n) {
        const std::string ascii(n, 'a');
        EXPECT_EQ(DetectEncoding(ascii), Windows1251) << n;
        EXPECT_EQ(DetectEncoding(letter + ascii), Utf8) << n;  // at the very start
        EXPECT_EQ(DetectEncoding(ascii + letter), Utf8) << n;  // at the very end
        EXPECT_EQ(DetectEncoding(ascii + "\xF0\x9F\x98\x80" + ascii), Utf8) << n;
        EXPECT_EQ(DetectEncoding(ascii + "\xE2\x86\x92" + ascii), Utf8) << n;
        // Only the last byte is wrong, or the last sequence is cut.
        EXPECT_EQ(DetectEncoding(letter + ascii + "\xFF"), Windows1251) << n;
        EXPECT_EQ(DetectEncoding(letter + ascii + "\x91"), Windows1251) << n;
        EXPECT_EQ(DetectEncoding(letter + ascii + "\xD0"), Windows1251) << n;
        EXPECT_EQ(DetectEncoding(letter + ascii + "\xE2\x86"), Windows1251) << n;
        EXPECT_EQ(DetectEncoding(letter + ascii + "\xF0\x9F\x98"), Windows1251) << n;
        // A lead byte whose continuation comes only after a stretch of ASCII.
        EXPECT_EQ(DetectEncoding(ascii + "\xD0" + std::string(16, 'a') + "\x91"), Windows1251) << n;
        // Windows-1251 letters after valid UTF-8: "Ба" in the code page is no sequence.
        EXPECT_EQ(DetectEncoding(letter + ascii + "\xC1\xE0" + ascii), Windows1251) << n;
    }
    // Two-byte text with one byte spoiled at every place decides as the sequence check says.
    auto valid = [](std::string_view bytes) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        const auto* end = p + bytes.size();
        for (char32_t ch = 0; p < end;) {
            const int length = Utf8Sequence(p, end, ch);
            if (length <= 0) return false;
            p += length;
        }
        return true;
    };
    std::string words;
    for (int i = 0; i < 5; ++i) words += letter;
    words += "\xE2\x86\x92" + words + " " + letter + letter;
    for (size_t at = 0; at < words.size(); ++at) {
        for (const char bad : std::string("a\x80\xBF\xC0\xC1\xC2\xDF\xE0\xED\xF0\xF4\xFF")) {
            std::string spoiled = words;
            spoiled[at] = bad;
            EXPECT_EQ(DetectEncoding(spoiled), valid(spoiled) ? Utf8 : Windows1251) << at;
        }
    }
    // A file fed in blocks cut at every byte decides as a whole file does.
    const std::string text = "ab\xD0\x91\xE2\x86\x92 \xF0\x9F\x98\x80 12345678\xD0\xAF";
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        for (const std::string& tail : {std::string(), std::string("\xD0")}) {
            TEncodingSniffer sniffer;
            sniffer.Feed(text.substr(0, cut));
            sniffer.Feed(text.substr(cut) + tail);
            EXPECT_EQ(sniffer.Result(), tail.empty() ? Utf8 : Windows1251) << cut;
        }
    }
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

// Letters are read four at a time where they can be: both ends of the two-byte range, words
// longer than a text token, and a lead that starts no character at every place of a word.
TEST(Encoding, TwoByteLettersKeepTheirCharactersAndIndexes) {
    const std::string letters[] = {"\xC2\xA9", "\xD0\xAF", "\xDF\xBF"};
    const char16_t units[] = {u'\u00A9', u'\u042F', u'\u07FF'};
    std::string html = "<p>";
    std::u16string expected;
    std::vector<int32_t> expectedIndexes;
    for (int i = 0; i < 150; ++i) {
        expectedIndexes.push_back(static_cast<int32_t>(html.size()));
        html += letters[i % 3];
        expected += units[i % 3];
    }
    THtmlReader reader;
    reader.Start(html);
    reader.ReadChar();
    std::u16string text;
    std::vector<int32_t> indexes;
    do {
        reader.NextToken();
        EXPECT_LE(reader.Token.Length(), 100);
        if (reader.Symbol != syText) continue;
        text += reader.Token.Text;
        indexes.insert(indexes.end(), reader.Token.Indexes.begin(), reader.Token.Indexes.end());
    } while (reader.Symbol != syEof);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(indexes, expectedIndexes);
    for (const char* bad : {"\xC1\xBF", "\xE2\x86", "\xF8\x80"}) {
        for (int at = 0; at < 8; ++at) {
            std::string word = "<meta charset=utf-8><p>";
            std::u16string want;
            for (int i = 0; i < 12; ++i) {
                word += i == at ? bad : "\xD0\xAF";
                want += i == at ? u"\uFFFD\uFFFD" : u"\u042F";
            }
            EXPECT_EQ(TextOf(word), want) << at;
        }
    }
}

}  // namespace
}  // namespace kv
