// Every entry point over random and truncated inputs: no crash, no hang, bounded output.

#include <gtest/gtest.h>

#include <random>

#include "html/reader/properties.h"
#include "html/reader/stylesheet.h"
#include "html/reader/tokenizer.h"
#include "html/reader/units.h"
#include "platform/codec.h"
#include "tests/common/testhost.h"

namespace kv {
namespace {

const char* const kPieces[] = {
    "<",          ">",
    "</",         "<!--",
    "-->",        "--",
    "<!",         "&",
    "&#",         ";",
    "&amp;",      "&hellip",
    "&#1040;",    "\"",
    "'",          "=",
    " ",          "\r",
    "\n",         "\t",
    "\x1A",       "\x05",
    "\xA0",       "p",
    "H3",         "style",
    "STYLE",      "a href=",
    "id=",        "border",
    "table",      "{",
    "}",          ":",
    "/*",         "*/",
    "@media",     "url(",
    ")",          "rgb(",
    "#",          "%",
    "px",         "em",
    "color",      "font",
    "background", "li ul",
    ",",          ".c",
    "12",         "-",
    "!",          "\xC0\xFF",
    "\0",         "<?",
    "?>",         "<?xml version=\"1.0\"?>",
    "<ul><li>",   "<li>",
    "</ul>",      "<ol>",
    "<td>",       "<a href=x>",
    "</a>",       "div > p",
    "!important", ".a_b",
};

std::string RandomInput(std::mt19937& random) {
    std::string text;
    const int pieces = static_cast<int>(random() % 60);
    for (int i = 0; i < pieces; ++i) {
        if (random() % 4 == 0) {
            text += static_cast<char>(random() % 256);
        } else {
            const char* piece = kPieces[random() % std::size(kPieces)];
            text += piece[0] ? std::string(piece) : std::string(1, '\0');
        }
    }
    return text;
}

// Tokenizes like the builder (style elements through the sheet parser), cascading every tag.
void ReadDocument(std::string_view html) {
    TStyleList styles;
    styles.BuildDefaults("Arial", "Courier New", 10, 10, 1, true, 0xFF, 0xFF00, 0xFF0000, 0, 10);
    TIDNameList names;
    TPropStack stack;
    stack.PushRoot(styles);
    THtmlReader reader;
    reader.IDNames = &names;
    reader.Start(html);
    size_t tokens = 0;
    try {
        reader.ReadChar();
        do {
            reader.NextToken();
            ASSERT_LE(++tokens, html.size() + 2) << "no progress";
            ASSERT_LE(reader.Token.Length(), 100);
            ASSERT_EQ(kv::cp1251::fromUtf16(reader.Token.Text).size(), reader.Token.Indexes.size());
            if (reader.Symbol == sySTYLE) reader.ReadStyleElement(styles);
            if (!StartName(reader.Symbol).empty() && stack.Count() < 50) {
                TAttributeList& list = *reader.TagAttributes;
                stack.Push(styles, StartName(reader.Symbol), list.ClassValue(), list.IdValue(),
                           list.InlineStyle(), "");
            } else if (!EndName(reader.Symbol).empty()) {
                stack.Pop(EndName(reader.Symbol));
            }
        } while (reader.Symbol != syEof);
    } catch (const EParseError&) {
    }
    for (int i = 0; i < stack.Count(); ++i) {
        TProperties& props = stack[i];
        props.LineHeightFor(20);
        props.BackgroundPosition();
        props.BackgroundImageUrl();
        props.LengthOf(piMarginLeft, 500, 0);
        props.MakeLinkFont();
    }
}

TEST(Robustness, RandomAndTruncatedDocuments) {
    std::mt19937 random(20261208);
    for (int i = 0; i < 3000; ++i) {
        const std::string input = RandomInput(random);
        ReadDocument(input);
        TStyleList styles;
        TStringSheetSource source(input);
        ParseStyleSheet(styles, source, i % 2 ? "/base/" : "http://h/a/");
        TProperties props;
        ParseInlineStyle(input, props);
        TColor color;
        ParseColor(input, i % 2, color);
        ConvertLength(input, i % 2, 100, 0, 16, 8);
        ConvertFontSize(input, 12, 10);
        CombineUrl(input, input);
        UrlBase(input);
    }
    const std::string sample =
        "<html><head><style><!-- p.x { font: bold 12px/2 arial; border: 1px solid red }\n"
        "li ul { background: url(a.gif) #fff no-repeat 10% top } --></style></head>"
        "<body bgcolor=#ffffff><h2 id=\"T\">Title &amp; more&hellip;</h2><p class=x "
        "style=\"color: rgb(10%,20,30)\">text &#1040;&#65; <a href='x.htm'>link</a>"
        "<table border width=50%><tr><td>cell</td></tr></table><!-- c -->\r\n</body></html>";
    for (size_t cut = 0; cut <= sample.size(); ++cut) {
        ReadDocument(sample.substr(0, cut));
        TStyleList styles;
        TStringSheetSource source(std::string_view(sample).substr(cut));
        ParseStyleSheet(styles, source, "");
    }
}

// The texts of the token stream, read either straight from the main text (where plain runs take
// the fast path) or character by character from an include buffer.
std::vector<std::string> TokenTexts(const std::string& input, bool viaInclude, bool keep,
                                    bool noBreak) {
    THtmlReader reader;
    kvtest::TestHost host;
    reader.Host = &host;
    host.OnInclude = [&](const std::string&, const std::vector<std::string>&, std::string& buffer) {
        buffer = input;
    };
    const std::string main = viaInclude ? "x<!--#i-->" : "x" + input;
    reader.Start(main);
    reader.KeepSpaces = keep;
    reader.NoBreakRun = noBreak;
    std::vector<std::string> texts;
    try {
        reader.ReadChar();
        do {
            reader.NextToken();
            texts.push_back(std::to_string(reader.Symbol) + ":" +
                            kv::cp1251::fromUtf16(reader.Token.Text));
        } while (reader.Symbol != syEof);
    } catch (const EParseError&) {
        texts.push_back("error");
    }
    return texts;
}

TEST(Robustness, FastTextPathReadsLikeTheCharacterReader) {
    std::mt19937 random(99);
    const char* const pieces[] = {
        "word",  " ",   "  ",   "\r\n", "\t",
        "&amp;", "<b>", "\x01", "\xC6", "a b c d e f g h i j k l m n o p q r s t u v w x y z "};
    for (int i = 0; i < 2000; ++i) {
        std::string input;
        const int count = static_cast<int>(random() % 80);
        for (int k = 0; k < count; ++k) input += pieces[random() % std::size(pieces)];
        const bool keep = i % 3 == 1, noBreak = i % 3 == 2;
        EXPECT_EQ(TokenTexts(input, false, keep, noBreak), TokenTexts(input, true, keep, noBreak))
            << input;
    }
}

TEST(Robustness, LargeSheetsStayFast) {
    // Many distinct selectors in random order, and many contextual rules for one element.
    std::mt19937 random(5);
    std::string sheet;
    for (int i = 0; i < 20000; ++i)
        sheet += ".c" + std::to_string(random()) + " { color: red; margin: 1px }\n";
    for (int i = 0; i < 2000; ++i) sheet += "div p { margin-left: " + std::to_string(i) + "px }\n";
    TStyleList styles;
    TStringSheetSource source(sheet);
    ParseStyleSheet(styles, source, "");
    EXPECT_GE(styles.Count(), 20000);
    TPropStack stack;
    stack.PushRoot(styles);
    stack.Push(styles, "div", "", "", nullptr, "");
    EXPECT_EQ(stack.Push(styles, "p", "", "", nullptr, "").TextOf(piMarginLeft), "1999px");
}

}  // namespace
}  // namespace kv
