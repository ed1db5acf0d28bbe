// Head elements and scripts: linked style sheets, META, background sound, script text and
// include directives, each through the document's host.

#include <gtest/gtest.h>

#include "tests/common/testhost.h"
#include "tests/common/testutil.h"
#include "tests/layout/formtest.h"

namespace kv {
namespace {

using test::FormDoc;

// The colour of the first run of the last text section.
TColor LastTextColor(const FormDoc& d) {
    const auto texts = d.Texts();
    return texts.empty() ? kNoColor : texts.back()->FontRuns[0].CurrentFont().Color;
}

struct Sheets : ::testing::Test {
    kvtest::TempFolder folder;
    FormDoc d;
    void SetUp() override {
        folder.Write("Style.CSS", "p { color: #ff0000 }\r\n.x { color: #00ff00 }\n");
        d.doc.SetBaseFolder(folder.Path().string() + "/");
    }
};

TEST_F(Sheets, LinkedSheetApplies) {
    // Written on a case-insensitive file system: the name differs in case from the file's.
    d.Load("<link rel=\"StyleSheet\" href=\"style.css\"><p>red</p><span class=x>green</span>");
    const auto texts = d.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0]->FontRuns[0].CurrentFont().Color & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(texts.back()->FontRuns[0].CurrentFont().Color & 0xFFFFFF, 0x00FF00u);
}

TEST_F(Sheets, MissingOrLateSheetsAreIgnored) {
    d.Load("<link rel=stylesheet href=\"missing.css\"><link rel=stylesheet><p>plain</p>");
    EXPECT_EQ(LastTextColor(d) & 0xFFFFFF, 0u);
    FormDoc late;
    late.doc.SetBaseFolder(d.doc.BaseFolder());
    late.Load("<p>first</p><link rel=stylesheet href=style.css><p>plain</p>");
    EXPECT_EQ(LastTextColor(late) & 0xFFFFFF, 0u);
    FormDoc folderName;
    folderName.doc.SetBaseFolder(d.doc.BaseFolder());
    folderName.Load("<link rel=stylesheet href=\".\"><p>plain</p>");  // a folder, not a file
    EXPECT_EQ(LastTextColor(folderName) & 0xFFFFFF, 0u);
}

TEST_F(Sheets, StreamRequestHandlerServesTheSheet) {
    THtmlBuilder builder(d.doc);
    kvtest::TestHost host;
    d.doc.SetHost(&host);
    std::vector<std::string> asked;
    host.OnExpandName = [](const std::string& name) { return "http://h/" + name; };
    host.OnStreamRequest = [&](const std::string& url, std::string& stream) {
        asked.push_back(url);
        stream = "p { color: #0000ff }";
        return true;
    };
    d.Load("<link rel=stylesheet href=\"s.css\"><p>blue</p>", &builder);
    EXPECT_EQ(asked, std::vector<std::string>{"http://h/s.css"});
    EXPECT_EQ(LastTextColor(d) & 0xFFFFFF, 0xFF0000u);
}

// Class names in any letters match whatever encoding the article and its sheets are written in.
TEST_F(Sheets, ClassNamesMatchAcrossTheEncodingsOfArticlesAndSheets) {
    folder.Write("w.css", kvtest::W(".Важно { color: #00ff00 }"));
    folder.Write("u.css", ".Важно { color: #0000ff }");
    const struct {
        std::string head;
        TColor color;
    } sheets[] = {{"<style>.ВАЖНО{color:#ff0000}</style>", 0x0000FF},
                  {"<link rel=stylesheet href=w.css>", 0x00FF00},
                  {"<link rel=stylesheet href=u.css>", 0xFF0000}};
    for (const auto& sheet : sheets) {
        const std::string body = sheet.head + "<p class=\"важно\">a</p>";
        for (const std::string& html : {"<meta charset=utf-8>" + body, kvtest::W(body)}) {
            FormDoc doc;
            doc.doc.SetBaseFolder(d.doc.BaseFolder());
            doc.Load(html);
            EXPECT_EQ(LastTextColor(doc) & 0xFFFFFF, sheet.color) << html;
        }
    }
}

struct MetaCall {
    std::string httpEq, name, content;
};

TEST(HeadElements, MetaBeforeContentOnly) {
    FormDoc d;
    THtmlBuilder builder(d.doc);
    kvtest::TestHost host;
    d.doc.SetHost(&host);
    std::vector<MetaCall> calls;
    host.OnMeta = [&](const std::string& h, const std::string& n, const std::string& c) {
        calls.push_back({h, n, c});
    };
    d.Load(
        "<meta name=author content=\"Me\"><meta http-equiv=\"Content-Type\" "
        "content=\"text/html; charset=Windows-1252\">text<meta name=late content=x>",
        &builder);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "author");
    EXPECT_EQ(calls[0].content, "Me");
    EXPECT_EQ(calls[1].httpEq, "Content-Type");
    // The content type's character set reaches the text's font.
    EXPECT_EQ(d.Texts().at(0)->FontRuns[0].CurrentFont().Charset, 0);
    FormDoc koi("<meta http-equiv=content-type content=\"text/html; charset=KOI8-R\">x");
    EXPECT_EQ(koi.Texts().at(0)->FontRuns[0].CurrentFont().Charset, 204);
}

TEST(HeadElements, BackgroundSoundBeforeContentOnly) {
    FormDoc d;
    THtmlBuilder builder(d.doc);
    kvtest::TestHost host;
    d.doc.SetHost(&host);
    std::vector<std::pair<std::string, int>> sounds;
    host.OnSoundRequest = [&](const std::string& src, int loop, bool terminate) {
        EXPECT_FALSE(terminate);
        sounds.emplace_back(src, loop);
    };
    d.Load(
        "<bgsound src=\"a.wav\" loop=3><bgsound src=b.wav><bgsound loop=2>"
        "text<bgsound src=late.wav>",
        &builder);
    EXPECT_EQ(sounds, (std::vector<std::pair<std::string, int>>{{"a.wav", 3}, {"b.wav", 1}}));
}

TEST(Scripts, WithoutHandlerTheTextIsSkipped) {
    FormDoc d(
        "before<script language=js>if (a < b) document.write(\"<b>x</b>\");</script>"
        " after");
    EXPECT_EQ(d.AllText(), "before after|");
    FormDoc open("before<script>never ends");
    EXPECT_EQ(open.AllText(), "before|");
}

TEST(Scripts, HandlerGetsTheTextWithCrLf) {
    FormDoc d;
    THtmlBuilder builder(d.doc);
    kvtest::TestHost host;
    d.doc.SetHost(&host);
    std::vector<std::string> scripts;
    std::string name, language;
    host.OnScript = [&](const std::string& n, const std::string& l, const std::string& s) {
        name = n, language = l;
        scripts.push_back(s);
    };
    d.Load(
        "before<script name=s1 language=JavaScript>\n<!--\nif (a<b) x();\n// -->\n"
        "</SCRIPT > after<script>tail",
        &builder);
    ASSERT_EQ(scripts.size(), 2u);
    EXPECT_EQ(scripts[0], "\r\n<!--\r\nif (a<b) x();\r\n// -->\r\n");
    EXPECT_EQ(name, "");
    EXPECT_EQ(scripts[1], "tail");  // unterminated: what there is
    EXPECT_NE(d.AllText().find("before after"), std::string::npos);
    FormDoc named;
    THtmlBuilder second(named.doc);
    named.doc.SetHost(&host);
    named.Load("<script name=s1 language=JavaScript>x</script>", &second);
    EXPECT_EQ(name, "s1");
    EXPECT_EQ(language, "JavaScript");
}

TEST(Includes, HandlerTextIsReadInPlace) {
    FormDoc d;
    THtmlBuilder builder(d.doc);
    kvtest::TestHost host;
    d.doc.SetHost(&host);
    std::vector<std::string> params;
    std::string command;
    host.OnInclude = [&](const std::string& c, const std::vector<std::string>& p,
                         std::string& buffer) {
        command = c, params = p;
        buffer = "<b>inside</b>";
    };
    d.Load("one <!--#include file=\"part.htm\" --> two", &builder);
    EXPECT_EQ(command, "include");
    EXPECT_EQ(params, std::vector<std::string>{"FILE=\"part.htm\""});
    EXPECT_EQ(d.AllText(), "one inside two|");
    // Without a handler a directive is an ordinary comment.
    FormDoc plain("one <!--#include file=\"part.htm\" --> two");
    EXPECT_EQ(plain.AllText(), "one two|");
}

}  // namespace
}  // namespace kv
