// The reader's quick ways must give what the plain ways give: the name list's hash index
// against an ordered model, the tokenizer's stretch scanning against character-by-character
// reading (an include buffer is read that way), the cascade's index, reused stack records and
// remembered em sizes against fresh records and newly built style lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "html/reader/names.h"
#include "html/reader/properties.h"
#include "html/reader/stylesheet.h"
#include "html/reader/tokenizer.h"
#include "platform/codec.h"
#include "tests/common/testhost.h"
#include "tests/common/testutil.h"

namespace kv {
namespace {

// ---------------------------------------------------------------- name list

struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const {
        return CompareTextNoCase(a, b) < 0;
    }
};

// Registers `names` (position = registration number) in the list and in an ordered model, then
// compares every view of the list with the model.
void CheckAgainstModel(const std::vector<std::string>& names) {
    TIDNameList list;
    std::map<std::string, int, NoCase> model;  // name as last written -> position
    for (size_t i = 0; i < names.size(); ++i) {
        list.AddChPos(names[i], static_cast<int>(i));
        model.erase(names[i]);
        model.emplace(names[i], static_cast<int>(i));
    }
    ASSERT_EQ(list.Count(), static_cast<int>(model.size()));
    int index = 0;
    for (const auto& [name, position] : model) {
        ASSERT_EQ(list.Name(index), name);
        EXPECT_EQ(static_cast<TChPosObj*>(list.Object(index))->SourcePos, position);
        int found = -1;
        EXPECT_TRUE(list.IndexOf(name, found));
        EXPECT_EQ(found, index);
        EXPECT_EQ(list.Find(name), list.Object(index));
        ++index;
    }
    int slot = -1;
    EXPECT_FALSE(list.IndexOf("~absent", slot));
    EXPECT_EQ(slot, static_cast<int>(std::distance(model.begin(), model.lower_bound("~absent"))));
    EXPECT_EQ(list.Find("~absent"), nullptr);
}

TEST(NameList, AnyOrderGivesTheSameListAsTheOrderedModel) {
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) names.push_back("id" + std::to_string(i));
    CheckAgainstModel(names);
    std::reverse(names.begin(), names.end());
    CheckAgainstModel(names);
    std::shuffle(names.begin(), names.end(), std::mt19937(5));
    CheckAgainstModel(names);
    // Repeats in mixed case, Cyrillic letters, a zero byte and prefixes of one another.
    std::vector<std::string> repeats;
    const std::string cyrillic = kvtest::W("Ёлка"), upper = kvtest::W("ЁЛКА");
    for (int i = 0; i < 2000; ++i) {
        const std::string n = std::to_string(i % 50);
        repeats.push_back((i % 3 ? "Sec" : "SEC") + n);
        repeats.push_back((i % 2 ? cyrillic : upper) + n);
    }
    for (const char* name : {"a", "ab", "abcdefgh", "abcdefghi", "ABCDEFGH", "\xC0"})
        repeats.push_back(name);
    repeats.push_back(std::string("ab\0c", 4));
    repeats.push_back(std::string("ab\0", 3));
    CheckAgainstModel(repeats);
}

TEST(NameList, ReadingInOrderBetweenRegistrationsSeesEveryName) {
    TIDNameList list;
    list.AddChPos("m", 1);
    EXPECT_EQ(list.Name(0), "m");
    list.AddChPos("a", 2);
    list.AddChPos("z", 3);
    EXPECT_EQ(list.Name(0), "a");
    EXPECT_EQ(list.Name(2), "z");
    list.AddChPos("M", 4);  // the new spelling is kept
    EXPECT_EQ(list.Name(1), "M");
    list.Clear();
    int slot = -1;
    EXPECT_FALSE(list.IndexOf("a", slot));
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(list.Find("a"), nullptr);
}

// ---------------------------------------------------------------- tokenizer

struct Stream {
    std::vector<TSymbol> symbols;
    std::string text;
    std::vector<std::string> values;
    std::vector<int32_t> indexes;
};

Stream Read(THtmlReader& reader, std::string_view html) {
    Stream stream;
    reader.Start(html);
    reader.ReadChar();
    do {
        reader.NextToken();
        stream.symbols.push_back(reader.Symbol);
        stream.text += kv::cp1251::fromUtf16(reader.Token.Text) + '|';
        stream.indexes.insert(stream.indexes.end(), reader.Token.Indexes.begin(),
                              reader.Token.Indexes.end());
        if (reader.Symbol != syText)
            for (const TAttribute& attribute : reader.TagAttributes->Items())
                stream.values.push_back(attribute.StrValue);
    } while (reader.Symbol != syEof);
    return stream;
}

// The same text read from an include buffer, where every character goes the plain way.
Stream ReadIncluded(const std::string& html, bool noBreak) {
    THtmlReader reader;
    reader.NoBreakRun = noBreak;
    kvtest::TestHost host;
    reader.Host = &host;
    host.OnInclude = [&](const std::string&, const std::vector<std::string>&, std::string& buffer) {
        buffer = html;
    };
    return Read(reader, "<!--#x-->");
}

TEST(Tokenizer, StretchScanningReadsAsCharacterByCharacter) {
    const std::vector<std::string> pieces = {"word",      kvtest::W("слово"),
                                             " ",         "  ",
                                             "\t",        "\r\n",
                                             "\n\r",      "\r",
                                             "&amp;",     "&",
                                             "<b>",       "</b>",
                                             "<",         "<!-- note -->",
                                             "a<b",       "x&y",
                                             "\x01",      "\x7F",
                                             "0123456789"};
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        std::string text, value;
        const int count = 1 + static_cast<int>(random() % 40);
        for (int k = 0; k < count; ++k) text += pieces[random() % pieces.size()];
        for (int k = 0; k < 6; ++k) value += pieces[random() % pieces.size()];
        std::erase(value, '"');
        const std::string html =
            text + "<p title=\"" + value + "\" id='" + text.substr(0, 9) + "'>" + text + "</p>";
        for (bool noBreak : {false, true}) {
            THtmlReader reader;
            reader.NoBreakRun = noBreak;
            const Stream direct = Read(reader, html);
            const Stream included = ReadIncluded(html, noBreak);
            ASSERT_EQ(direct.text, included.text) << html;
            ASSERT_EQ(direct.symbols, included.symbols) << html;
            ASSERT_EQ(direct.values, included.values) << html;
        }
    }
}

TEST(Tokenizer, NameScanningReadsAsCharacterByCharacter) {
    // Tag and attribute names of mixed case, cut by odd bytes, line ends, NUL, markup, the
    // end of input, or longer than the kept length.
    const std::string longName(300, 'q');
    const std::vector<std::string> pieces = {
        "<",    "</",    "b",        "TaBle", "font",   "data-x", "-",    " ",
        "=",    "\"v\"", "1",        "\r",    "\n",     "\r\n",   "\t",   std::string(1, '\0'),
        "\xC0", "\x7F",  "<!--c-->", ">",     longName, "Id",     "HREF", "&amp;"};
    std::mt19937 random(17);
    for (int round = 0; round < 600; ++round) {
        std::string html;
        const int count = 1 + static_cast<int>(random() % 30);
        for (int k = 0; k < count; ++k) html += pieces[random() % pieces.size()];
        THtmlReader reader;
        const Stream direct = Read(reader, html);
        const Stream included = ReadIncluded(html, false);
        ASSERT_EQ(direct.text, included.text) << html;
        ASSERT_EQ(direct.symbols, included.symbols) << html;
        ASSERT_EQ(direct.values, included.values) << html;
    }
    // Text after names read in one go keeps its own source index.
    THtmlReader reader;
    const Stream after = Read(reader, "<TaBle data-Row=x>w</tablE>" + longName);
    EXPECT_EQ(after.text, "|w||" + std::string(100, 'q') + "|" + std::string(100, 'q') + "|" +
                              std::string(100, 'q') + "||");
    ASSERT_FALSE(after.indexes.empty());
    EXPECT_EQ(after.indexes.front(), 18);
    EXPECT_EQ(after.indexes[1], 27);
}

TEST(Tokenizer, StretchesKeepTheSourceIndexOfEveryCharacter) {
    // Long words, single and double spaces and a tab around the eight-byte steps.
    const std::string html = "abcdefghijklmnop qrstuvw xyz  abcdefgh\tijklmnopqrs";
    THtmlReader reader;
    const Stream stream = Read(reader, html);
    ASSERT_EQ(stream.text, "abcdefghijklmnop qrstuvw xyz abcdefgh ijklmnopqrs||");
    size_t k = 0;
    for (size_t i = 0; i < html.size(); ++i) {
        if (i == 29) continue;  // the second space of the pair collapses away
        ASSERT_EQ(stream.indexes[k], static_cast<int32_t>(i)) << k;
        ++k;
    }
    EXPECT_EQ(k, stream.indexes.size());
    // Text runs stop at a hundred characters wherever a word is.
    const Stream longRun = Read(reader, std::string(250, 'q'));
    EXPECT_EQ(longRun.text, std::string(100, 'q') + '|' + std::string(100, 'q') + '|' +
                                std::string(50, 'q') + "||");
}

// ---------------------------------------------------------------- cascade

class FastCascade : public ::testing::Test {
protected:
    FastCascade() {
        styles.BuildDefaults("Times New Roman", "Courier New", 10, 12, 204, true, 0x0000FF,
                             0x800080, 0xFF0000, 0x000000, 10);
        stack.PushRoot(styles);
    }
    void Sheet(std::string_view text) {
        TStringSheetSource source(text);
        ParseStyleSheet(styles, source, "");
    }
    TProperties& Push(std::string_view tag, std::string_view cls = "", std::string_view id = "",
                      const TProperties* inlineProps = nullptr, std::string_view pseudo = "") {
        return stack.Push(styles, tag, cls, id, inlineProps, pseudo);
    }
    // What a record of its own, cascaded the public way, would hold for the top element.
    void ExpectLikeAFreshRecord(std::string_view tag, std::string_view cls, std::string_view id,
                                const TProperties* inlineProps, std::string_view pseudo) {
        std::vector<std::unique_ptr<TProperties>> ancestors;
        for (int i = 0; i + 1 < stack.Count(); ++i)
            ancestors.push_back(std::make_unique<TProperties>(stack[i]));
        TProperties fresh;
        fresh.TakeFromParent(*ancestors.back());
        fresh.Cascade(styles, tag, cls, id, pseudo, inlineProps, ancestors);
        const TProperties& top = stack.Top();
        EXPECT_EQ(top.Values, fresh.Values) << tag << "." << cls << "#" << id << ":" << pseudo;
        EXPECT_EQ(top.SetHere, fresh.SetHere);
        EXPECT_EQ(top.EmPixels, fresh.EmPixels);
        EXPECT_EQ(top.ExPixels, fresh.ExPixels);
        EXPECT_EQ(top.TextBackground, fresh.TextBackground);
    }
    static int Color(const TProperties& props) {
        return std::get<int>(props.Values[piColor]) & 0xFFFFFF;  // without the palette flag
    }

    TStyleList styles;
    TPropStack stack;
};

TEST_F(FastCascade, TellsApartWhatTheRulesTellApart) {
    Sheet(
        "p { color: #010101 } .note { color: #020202; font-size: 20pt } p.note { margin-left: "
        "3px } #top { color: #030303 } p#top { font-weight: bold } .note#top { color: #040404 }"
        "a:visited { color: #050505 } a:link { color: #060606 } a.x:hover { color: #070707 }"
        "div p { font-style: italic } div.box p.note { color: #080808 }"
        "P.Upper { color: #090909 } .two words { color: #0A0A0A }");
    TProperties inlineStyle;
    ParseInlineStyle("color: #0B0B0B; font-size: 30pt", inlineStyle);
    struct Case {
        const char *tag, *cls, *id, *pseudo;
        bool inlined;
    };
    const Case cases[] = {
        {"p", "", "", "", false},           {"p", "note", "", "", false},
        {"p", "", "top", "", false},        {"p", "note", "top", "", false},
        {"span", "note", "top", "", false}, {"a", "", "", "visited", false},
        {"a", "", "", "link", false},       {"a", "x", "", "hover", false},
        {"p", "note", "", "", true},        {"p", "upper", "", "", false},
        {"p", "two words", "", "", false},  {"h2", "", "", "", false},
    };
    std::vector<int> colors;
    for (const char* parent : {"", "div", "div.box"}) {
        stack.PushRoot(styles);
        if (*parent) Push("div", std::string_view(parent).size() > 3 ? "box" : "");
        for (const Case& c : cases) {
            Push(c.tag, c.cls, c.id, c.inlined ? &inlineStyle : nullptr, c.pseudo);
            ExpectLikeAFreshRecord(c.tag, c.cls, c.id, c.inlined ? &inlineStyle : nullptr,
                                   c.pseudo);
            colors.push_back(Color(stack.Top()));
            stack.Pop(c.tag);
        }
    }
    // The cases above differ from one another in what they got.
    EXPECT_EQ(colors[0], 0x010101);
    EXPECT_EQ(colors[1], 0x020202);
    EXPECT_EQ(colors[3], 0x040404);
    EXPECT_EQ(colors[8], 0x0B0B0B);
    EXPECT_EQ(colors[12 * 2 + 1], 0x080808);  // inside div.box
}

TEST_F(FastCascade, RulesReadAfterAnElementApplyToTheNextOne) {
    EXPECT_EQ(Color(Push("p")), 0);
    stack.Pop("p");
    Sheet("p { color: #123456 } div p { margin-left: 7px }");
    EXPECT_EQ(Color(Push("p")), 0x563412);  // stored blue first
    stack.Pop("p");
    Push("div");
    EXPECT_EQ(Push("p").TextOf(piMarginLeft), "7px");
}

TEST_F(FastCascade, ReusedRecordsKeepNothingOfTheirLastElement) {
    Sheet(".red { color: red; background-color: yellow; font-size: 30pt; margin-left: 9px }");
    TProperties& first = Push("span", "red", "me");
    first.SetIfUnset(piTextAlign, std::string("right"));
    first.TakeTextBackground();
    stack.Pop("span");
    Push("span");
    ExpectLikeAFreshRecord("span", "", "", nullptr, "");
    EXPECT_EQ(stack.Top().ElemClass, "");
    EXPECT_EQ(stack.Top().ElemId, "");
    // Popping from the middle: the records above take again from their new parent.
    stack.PushRoot(styles);
    Push("div", "red");
    Push("b");
    Push("i");
    stack.Pop("div");
    ExpectLikeAFreshRecord("i", "", "", nullptr, "");
}

TEST_F(FastCascade, RememberedEmSizesAreThoseOfTheFont) {
    Sheet(
        ".a { font-size: 20pt } .b { font-size: 20pt; font-weight: bold } .c { font-family: "
        "'Courier New' } .d { font-size: 20pt; font-style: italic } .e { text-decoration: "
        "underline; font-size: 20pt }");
    for (int round = 0; round < 2; ++round) {
        for (const char* cls : {"a", "b", "c", "d", "e", ""}) {
            Push("span", cls);
            ExpectLikeAFreshRecord("span", cls, "", nullptr, "");
            Push("em");  // an inner element with its parent's font
            ExpectLikeAFreshRecord("em", "", "", nullptr, "");
            stack.Pop("em");
            stack.Pop("span");
        }
    }
}

}  // namespace
}  // namespace kv
