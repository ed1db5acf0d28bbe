// Links: name resolution, what a click follows, visited links and the hover report.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "html/viewer/htmlview.h"
#include "platform/messages.h"
#include "tests/viewer/viewertest.h"

using namespace kv;
using namespace kv::test;

namespace {

// Records the error boxes instead of showing them.
struct Boxes {
    std::vector<std::string> shown;
    messages::Hook saved;
    Boxes() {
        saved = messages::setHook([this](messages::Kind, const std::string& text) {
            shown.push_back(text);
            return messages::Answer::Ok;
        });
    }
    ~Boxes() { messages::setHook(saved); }
};

std::string LinkPage(const std::string& href, int paragraphs = 0) {
    std::string text = "<html><body><p>Start <a href=\"" + href + "\">follow</a> here.</p>";
    for (int i = 0; i < paragraphs; ++i)
        text += "<p>Filler paragraph " + std::to_string(i) + " of the page.</p>";
    return text + "<p><a name=\"Sec\">Section</a> at the end.</p></body></html>";
}

const TFontObj* LinkRun(THtmlView& view) {
    for (const TFontObj* run : view.Document().LinkRuns)
        if (run->HasUrl()) return run;
    return nullptr;
}

}  // namespace

TEST(ExpandName, ResolvesAgainstTheCurrentFileAndKeepsDriveForms) {
    ViewerFixture f;
    const std::string page = f.Write("dir/page.htm", "<p>x</p>");
    f.view.LoadFromFile(page);
    const std::string folder = page.substr(0, page.find_last_of('/') + 1);
    EXPECT_EQ(f.view.ExpandName("a%20b.htm"), folder + "a b.htm");
    EXPECT_EQ(f.view.ExpandName("  sub\\x.htm\t"), folder + "sub/x.htm");
    EXPECT_EQ(f.view.ExpandName("../up.htm"), folder.substr(0, folder.size() - 4) + "up.htm");
    // A drive form stays as it is, unchanged by the current folder.
    EXPECT_EQ(f.view.ExpandName("file:///c|/x/y.htm"), "c:/x/y.htm");
    EXPECT_EQ(f.view.ExpandName("FILE:///c|/x/y.htm"), "c:/x/y.htm");
    EXPECT_EQ(f.view.ExpandName("c:\\x\\y.htm"), "c:/x/y.htm");
    // Decoding stops at a '%' without two hexadecimal digits after it.
    EXPECT_EQ(f.view.ExpandName("a%2"), folder + "a%2");
    EXPECT_EQ(f.view.ExpandName("a%zz%20.htm"), folder + "a%zz%20.htm");
    // A rooted name goes below the server root.
    f.view.SetServerRoot(" /srv/site\\ ");
    EXPECT_EQ(f.view.ExpandName("\\top.htm"), "/srv/site/top.htm");
}

TEST(ExpandName, FileUrlsNameRootedPathsOrFilesBesideTheDocument) {
    ViewerFixture f;
    Boxes boxes;
    const std::string page = f.Write("dir/page.htm", "<p>x</p>");
    f.view.LoadFromFile(page);
    const std::string folder = page.substr(0, page.find_last_of('/') + 1);
    f.view.SetServerRoot("/srv/site");  // moves rooted names, not file: URLs
    EXPECT_EQ(f.view.ExpandName("file:///abs/path.htm"), "/abs/path.htm");
    EXPECT_EQ(f.view.ExpandName("FILE://localhost/a/b%20c.htm"), "/a/b c.htm");
    EXPECT_EQ(f.view.ExpandName("file:/a/x/../b.htm"), "/a/b.htm");
    EXPECT_EQ(f.view.ExpandName("file://host/share/x.htm"), "//host/share/x.htm");
    EXPECT_EQ(f.view.ExpandName("file:///c:/x/y.htm"), "c:/x/y.htm");
    EXPECT_EQ(f.view.ExpandName("file:rel.htm"), folder + "rel.htm");
    // A link to another folder by its absolute file: URL opens that file.
    const std::string target = f.Write("elsewhere/t.htm", "<p>target</p>");
    ASSERT_EQ(target.front(), '/');
    f.view.LoadFromFile(f.Write("dir/link.htm", LinkPage("file://" + target)));
    Click(f.view, PointOf(f.view, "follow"));
    EXPECT_EQ(f.view.CurrentFile(), target);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(LinkClick, FragmentWithoutSuchAnchorDoesNothing) {
    ViewerFixture f;
    f.view.SetHistoryMaxCount(5);
    const std::string page = f.Write("p.htm", LinkPage("#top"));
    f.view.LoadFromFile(page);
    const QPoint link = PointOf(f.view, "follow");
    ASSERT_GE(link.x(), 0);
    const auto visited = f.view.Visited();
    const auto history = f.view.HistoryFiles();
    Click(f.view, link);
    EXPECT_TRUE(f.view.HotSpotClicked());
    EXPECT_EQ(f.view.CurrentFile(), page);
    EXPECT_EQ(f.view.Visited(), visited);
    EXPECT_EQ(f.view.HistoryFiles(), history);
}

TEST(LinkClick, OtherFileLoadsAtItsAnchorAndTheCurrentFileOnlyScrolls) {
    ViewerFixture f(400, 200);
    const std::string other = f.Write("other.htm", Article(40, 30, "Sec"));
    const std::string page = f.Write("p.htm", LinkPage("other.htm#Sec"));
    f.view.LoadFromFile(page);
    Click(f.view, PointOf(f.view, "follow"));
    EXPECT_EQ(f.view.CurrentFile(), other);
    TIDObject* sec = f.view.Document().IDNames.Find("SEC");
    ASSERT_NE(sec, nullptr);
    EXPECT_EQ(f.view.VScrollPos(), sec->TopY());
    EXPECT_EQ(f.view.Visited().front(), other + "#Sec");

    const std::string self = f.Write("self.htm", LinkPage("self.htm#Sec", 40));
    f.view.LoadFromFile(self);
    ASSERT_EQ(f.view.VScrollPos(), 0);
    const std::size_t sections = f.view.Document().Sections.size();
    Click(f.view, PointOf(f.view, "follow"));
    EXPECT_EQ(f.view.CurrentFile(), self);
    EXPECT_GT(f.view.VScrollPos(), 0);
    EXPECT_EQ(f.view.Document().Sections.size(), sections);
    EXPECT_EQ(f.view.Visited().front(), self + "#Sec");
}

TEST(LinkClick, ImagesShowAloneAndOtherKindsAreIgnored) {
    ViewerFixture f;
    f.Write("picture.jpeg", "not really a picture");
    f.Write("notes.txt", "notes");
    f.Write("page.php", "<p>php</p>");
    for (const char* ignored : {"notes.txt", "page.php"}) {
        const std::string page = f.Write("p.htm", LinkPage(ignored));
        f.view.LoadFromFile(page);
        Click(f.view, PointOf(f.view, "follow"));
        EXPECT_EQ(f.view.CurrentFile(), page) << ignored;
        EXPECT_EQ(f.view.CurrentFileKind(), TFileKind::ftHTML);
    }
    f.view.LoadFromFile(f.Write("p.htm", LinkPage("picture.jpeg")));
    Click(f.view, PointOf(f.view, "follow"));
    EXPECT_EQ(f.view.CurrentFileKind(), TFileKind::ftImage);
    EXPECT_EQ(f.view.CurrentFile().substr(f.view.CurrentFile().size() - 12), "picture.jpeg");
}

TEST(LinkClick, MissingArticleIsReportedAndTheShownOneStays) {
    ViewerFixture f;
    Boxes boxes;
    const std::string page = f.Write("p.htm", LinkPage("gone.htm"));
    f.view.LoadFromFile(page);
    Click(f.view, PointOf(f.view, "follow"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].rfind("Can't locate file: ", 0), 0u);
    EXPECT_NE(boxes.shown[0].find("gone.htm"), std::string::npos);
    EXPECT_EQ(f.view.CurrentFile(), page);
    EXPECT_GE(PointOf(f.view, "follow").x(), 0);  // the document is still there
}

TEST(LinkClick, SelectingFromALinkDoesNotFollowIt) {
    ViewerFixture f;
    f.Write("other.htm", "<p>other</p>");
    const std::string page = f.Write("p.htm", LinkPage("other.htm"));
    f.view.LoadFromFile(page);
    const QPoint link = PointOf(f.view, "follow"), text = PointOf(f.view, "here");
    f.view.HtmlMouseDown(Qt::LeftButton, Qt::NoModifier, link.x(), link.y());
    f.view.HtmlMouseMove(Qt::LeftButton, Qt::NoModifier, text.x(), text.y());
    EXPECT_LT(f.view.Document().SelStart(), f.view.Document().SelEnd());
    f.view.HtmlMouseUp(Qt::LeftButton, Qt::NoModifier, link.x() + 6, link.y());
    EXPECT_EQ(f.view.CurrentFile(), page);
    EXPECT_FALSE(f.view.HotSpotClicked());
}

TEST(LinkClick, APlainClickFollowsWhateverWasSelectedAndBlankSpaceClearsTheSelection) {
    ViewerFixture f;
    const std::string other = f.Write("other.htm", "<p>other</p>");
    const std::string page =
        f.Write("p.htm",
                "<p><a href=\"other.htm\"><img id=pic align=left width=40 height=90 "
                "src=none.gif></a>Words beside the picture.</p>");
    f.view.LoadFromFile(page);
    const auto* picture = dynamic_cast<const TImageObj*>(f.view.Document().IDNames.Find("PIC"));
    ASSERT_NE(picture, nullptr);
    // Below the line of text: beside the picture on blank space, then on the picture.
    const int below = picture->DrawY + 70;
    ASSERT_TRUE(f.view.Find("beside", false));
    Click(f.view, QPoint(picture->DrawX + 200, below));
    EXPECT_GE(f.view.Document().SelStart(), f.view.Document().SelEnd());
    EXPECT_EQ(f.view.CurrentFile(), page);
    f.view.SelectAll();
    ASSERT_LT(f.view.Document().SelStart(), f.view.Document().SelEnd());
    Click(f.view, QPoint(picture->DrawX + 20, below));
    EXPECT_EQ(f.view.CurrentFile(), other);
}

TEST(VisitedLinks, MarkedAfterAClickAgainAfterALoadAndClearedByZero) {
    ViewerFixture f;
    f.Write("other.htm", "<p>other</p>");
    const std::string page = f.Write("p.htm", LinkPage("other.htm"));
    f.view.LoadFromFile(page);
    ASSERT_NE(LinkRun(f.view), nullptr);
    EXPECT_FALSE(LinkRun(f.view)->Visited);
    Click(f.view, PointOf(f.view, "follow"));
    // Back on the page, its link is marked again from the list.
    f.view.LoadFromFile(page);
    ASSERT_NE(LinkRun(f.view), nullptr);
    EXPECT_TRUE(LinkRun(f.view)->Visited);
    f.view.SetVisitedMaxCount(0);
    EXPECT_TRUE(f.view.Visited().empty());
    EXPECT_FALSE(LinkRun(f.view)->Visited);
    // With no list nothing is remembered.
    Click(f.view, PointOf(f.view, "follow"));
    EXPECT_TRUE(f.view.Visited().empty());
}

TEST(VisitedLinks, TheListKeepsTheMostRecentFirstWithinItsSize) {
    ViewerFixture f;
    const std::string page =
        f.Write("p.htm", Article(3, 1, "A") + "<a name=B>b</a><a name=C>c</a>");
    f.view.LoadFromFile(page);
    f.view.SetVisitedMaxCount(2);
    f.view.PositionTo("A");
    f.view.PositionTo("B");
    f.view.PositionTo("A");
    EXPECT_EQ(f.view.Visited(), (std::vector<std::string>{page + "#A", page + "#B"}));
    f.view.PositionTo("C");
    EXPECT_EQ(f.view.Visited(), (std::vector<std::string>{page + "#C", page + "#A"}));
}

TEST(Hover, ReportsTheLinkUnderTheMouseAndShowsTheHand) {
    ViewerFixture f;
    const std::string page = f.Write("p.htm", LinkPage("other.htm"));
    f.view.LoadFromFile(page);
    std::vector<std::string> covered;
    f.view.OnHotSpotCovered = [&](THtmlView*, const std::string& src) { covered.push_back(src); };
    const QPoint link = PointOf(f.view, "follow"), text = PointOf(f.view, "Start");
    f.view.HtmlMouseMove(Qt::NoButton, Qt::NoModifier, link.x(), link.y());
    EXPECT_EQ(f.view.PanelCursorId(), crHandId);
    EXPECT_TRUE(f.view.HoverTimer().isActive());
    f.view.HtmlMouseMove(Qt::NoButton, Qt::NoModifier, link.x() + 1, link.y());  // no change
    f.view.HtmlMouseMove(Qt::NoButton, Qt::NoModifier, text.x(), text.y());
    EXPECT_EQ(f.view.PanelCursorId(), crIBeamId);
    EXPECT_EQ(covered, (std::vector<std::string>{"other.htm", ""}));
}

TEST(History, RecordsLoadsWhenAskedAndClearsWhenLowered) {
    ViewerFixture f;
    const std::string a = f.Write("a.htm", LinkPage("b.htm"));
    const std::string b = f.Write("b.htm", "<p>b</p>");
    int changes = 0;
    f.view.OnHistoryChange = [&](THtmlView*) { ++changes; };
    f.view.LoadFromFile(a);
    EXPECT_TRUE(f.view.HistoryFiles().empty());  // the shell's 0: nothing recorded
    f.view.SetHistoryMaxCount(3);
    Click(f.view, PointOf(f.view, "follow"));
    EXPECT_EQ(f.view.HistoryFiles(), (std::vector<std::string>{b}));
    f.view.LoadFromFile(a);
    EXPECT_EQ(f.view.HistoryFiles(), (std::vector<std::string>{a, b}));
    EXPECT_EQ(f.view.HistoryTitles().size(), 2u);
    EXPECT_EQ(f.view.HistoryIndex(), 0);
    f.view.LoadFromFile(a);  // the same file again: no entry
    EXPECT_EQ(f.view.HistoryFiles().size(), 2u);
    EXPECT_EQ(changes, 2);
    f.view.SetHistoryMaxCount(1);
    EXPECT_TRUE(f.view.HistoryFiles().empty());
    EXPECT_EQ(changes, 3);
}

TEST(RightClick, ReportsTheLinkAndTheWordUnderThePoint) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("p.htm", LinkPage("other.htm")));
    std::vector<TRightClickParameters> clicks;
    f.view.OnRightClick = [&](THtmlView*, const TRightClickParameters& p) { clicks.push_back(p); };
    const QPoint link = PointOf(f.view, "follow"), text = PointOf(f.view, "Start");
    f.view.HtmlMouseDown(Qt::RightButton, Qt::NoModifier, link.x(), link.y());
    f.view.HtmlMouseUp(Qt::RightButton, Qt::NoModifier, link.x(), link.y());
    f.view.HtmlMouseUp(Qt::RightButton, Qt::NoModifier, text.x(), text.y());
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0].LinkURL, "other.htm");
    EXPECT_EQ(clicks[0].Word, "follow");
    EXPECT_EQ(clicks[0].ImageObject, nullptr);
    EXPECT_EQ(clicks[1].LinkURL, "");
    EXPECT_EQ(clicks[1].Word, "Start");
    EXPECT_EQ(f.view.CurrentFile().substr(f.view.CurrentFile().size() - 5), "p.htm");
}

TEST(MiddleButton, StartsScrollingModeThatAnyKeyOrOtherPressEnds) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("p.htm", Article(40)));
    f.view.HtmlMouseDown(Qt::MiddleButton, Qt::NoModifier, 50, 100);
    EXPECT_TRUE(f.view.MiddleScrollOn());
    EXPECT_EQ(f.view.PanelCursorId(), crUpDownId);
    // Releasing the middle button where it was pressed keeps the mode.
    f.view.HtmlMouseUp(Qt::MiddleButton, Qt::NoModifier, 50, 100);
    EXPECT_TRUE(f.view.MiddleScrollOn());
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier);
    QApplication::sendEvent(&f.view, &key);
    EXPECT_FALSE(f.view.MiddleScrollOn());
    f.view.HtmlMouseDown(Qt::MiddleButton, Qt::NoModifier, 50, 100);
    f.view.HtmlMouseUp(Qt::MiddleButton, Qt::NoModifier, 50, 130);  // moved: the mode ends
    EXPECT_FALSE(f.view.MiddleScrollOn());
    f.view.HtmlMouseDown(Qt::MiddleButton, Qt::NoModifier, 50, 100);
    f.view.HtmlMouseDown(Qt::LeftButton, Qt::NoModifier, 50, 100);  // ends it, selects nothing
    EXPECT_FALSE(f.view.MiddleScrollOn());
    EXPECT_NE(f.view.PanelCursorId(), crUpDownId);
}

TEST(FormSubmit, FiresAfterTheClickThatCausedIt) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("p.htm", "<form action=\"go.htm\"><input name=q value=v></form>"));
    int fired = 0;
    std::string action;
    f.view.OnFormSubmit = [&](THtmlView*, const std::string& a, const std::string&,
                              const std::string&, const std::string&,
                              const std::vector<std::string>&) {
        ++fired;
        action = a;
    };
    ASSERT_FALSE(f.view.Document().Forms.empty());
    f.view.Document().Forms[0]->Submit(nullptr);
    EXPECT_EQ(fired, 0);  // not from inside the click
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(action, "go.htm");
}

// Non-ASCII file names open as their UTF-8 names on disk, from an article in either encoding.
TEST(LinkClick, CyrillicFileNamesOfLinksAndImagesOpenFromBothEncodings) {
    ViewerFixture f;
    QImage picture(6, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(
        picture.save(QString::fromStdString((f.folder.Path() / "рис.bmp").string()), "BMP"));
    const std::string lake = f.Write("Озеро.htm", "<p>lake</p>");
    const std::string body = "<p><img src=\"рис.bmp\"> <a href=\"Озеро.htm\">follow</a></p>";
    for (const std::string& page :
         {f.Write("u.htm", "<meta charset=utf-8>" + body), f.Write("w.htm", kvtest::W(body))}) {
        f.view.LoadFromFile(page);
        const QPoint link = PointOf(f.view, "follow");
        ASSERT_GE(link.x(), 6 + 2) << page;  // the picture has its size before the link
        EXPECT_EQ(f.view.ImageCache()->Count(), 1) << page;
        Click(f.view, link);
        EXPECT_EQ(f.view.CurrentFile(), lake) << page;
    }
}

// Characters Windows-1251 lacks survive in a title, a link's file name, a form value and an
// anchor, whether written as UTF-8 or as references in a Windows-1251 article.
TEST(LinkClick, TitlesAddressesValuesAndAnchorsKeepCharactersTheCodePageLacks) {
    ViewerFixture f;
    const std::string omega = f.Write("Ωmega.htm", Article(80, 60, "Ωδή"));
    const std::string utf8 =
        "<meta charset=utf-8><title>Δέλτα → x</title>"
        "<p><a href=\"Ωmega.htm\">follow</a><form><input name=a "
        "value=\"αβ\"></form>";
    const std::string windows =
        "<title>&Delta;&#941;&lambda;&tau;&alpha; &rarr; x</title>"
        "<p><a href=\"&Omega;mega.htm\">follow</a><form><input name=a "
        "value=\"&alpha;&#x3B2;\"></form>";
    for (const std::string& page : {f.Write("u.htm", utf8), f.Write("w.htm", windows)}) {
        f.view.LoadFromFile(page);
        EXPECT_EQ(f.view.DocumentTitle(), "Δέλτα → x") << page;
        ASSERT_EQ(f.view.Document().Forms.size(), 1u);
        EXPECT_EQ(f.view.Document().Forms[0]->Results(), std::vector<std::string>{"a=αβ"});
        Click(f.view, PointOf(f.view, "follow"));
        EXPECT_EQ(f.view.CurrentFile(), omega) << page;
    }
    // The anchor by its name, and by the name the contents file keeps ("?" for a character the
    // code page lacks).
    for (const char* name : {"#ΩΔΉ", "#ωδή", "#???", "#??"}) {
        f.view.LoadFromFile(f.folder.Path().string() + "/u.htm");
        ASSERT_EQ(f.view.VScrollPos(), 0);
        f.view.LoadFromFile(omega + name);
        EXPECT_EQ(f.view.VScrollPos() > 0, std::string(name) != "#??") << name;
    }
}
