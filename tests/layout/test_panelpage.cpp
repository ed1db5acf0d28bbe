// PANEL objects through the host's create and destroy events, kept in print copies, and PAGE
// breaks that end a printed page.

#include <gtest/gtest.h>

#include "html/layout/builder.h"
#include "html/layout/inlineobjects.h"
#include "tests/common/testhost.h"
#include "tests/layout/builttest.h"

namespace kv {
namespace {

using test::TextY;

class FakePanel : public TPanelControl {
public:
    explicit FakePanel(std::string& log) : log_(log) {}
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetSize(int width, int height) override { width_ = width, height_ = height; }
    bool Visible() const override { return true; }
    TColor Color() const override { return 0x00FF00; }
    void Place(int x, int y) override {
        log_ += "place " + std::to_string(x) + " " + std::to_string(y) + "\n";
    }
    void Hide() override { log_ += "hide\n"; }

private:
    std::string& log_;
    int width_ = 50, height_ = 30;
};

TEST(Panels, TheHostMakesAndFreesThemAndPrintCopiesKeepThem) {
    std::string log;
    int destroyed = 0;
    kvtest::TestHost host;
    TSectionList doc{TTestFontEngine::Shared()};
    doc.SetHost(&host);
    host.OnPanelCreate = [&](const std::string& name, const std::string& type,
                             const std::string& src, std::unique_ptr<TPanelControl>& panel) {
        log += "create " + name + " " + type + " " + src + "\n";
        panel = std::make_unique<FakePanel>(log);
    };
    host.OnPanelDestroy = [&](TPanelControl&) { ++destroyed; };
    {
        THtmlBuilder builder(doc);
        builder.LoadHtmlText(
            "text <panel name=p1 type=clock src=\"x.dat\" width=80 alt=Clock>"
            " <panel name=p2> end");
    }
    EXPECT_NE(log.find("create p1 clock x.dat"), std::string::npos) << log;
    ASSERT_EQ(doc.Panels.size(), 2u);
    EXPECT_EQ(doc.Panels[0]->ObjWidth, 80);   // the attribute wins
    EXPECT_EQ(doc.Panels[0]->ObjHeight, 30);  // the host's own size stands otherwise
    EXPECT_EQ(doc.Panels[1]->ObjWidth, 50);
    TRecordingCanvas canvas;
    int maxWidth = 0;
    doc.DoLayout(canvas, 400, 400, maxWidth);
    log.clear();
    doc.Paint(canvas, QRect(0, 0, 400, 400), 0, 0);
    EXPECT_NE(log.find("place "), std::string::npos) << log;

    // The print copy prints each panel as a rectangle in its colour with its alt text.
    TSectionList copy(doc, TTestFontEngine::Shared());
    ASSERT_EQ(copy.Panels.size(), 2u);
    EXPECT_EQ(copy.Panels[0]->ObjWidth, 80);
    TRecordingCanvas printer;
    printer.SetPrinter(true, 2);
    copy.DoLayout(printer, 400, 400, maxWidth);
    copy.Paint(printer, QRect(0, 0, 400, 400), 0, 0);
    const std::string printed = printer.Text();
    EXPECT_NE(printed.find("RECT"), std::string::npos) << printed;
    EXPECT_NE(printed.find("00ff00"), std::string::npos) << printed;
    doc.Clear();
    EXPECT_EQ(destroyed, 2);  // the copy's panels have no window to free
}

TEST(Panels, WithoutAHostHandlerAPanelStillTakesItsPlace) {
    test::Built b("a<panel width=40 height=20>b");
    ASSERT_EQ(b.doc.Panels.size(), 1u);
    EXPECT_EQ(b.doc.Panels[0]->ObjWidth, 40);
    EXPECT_EQ(b.Texts()[0]->Text.size(), 3u);
    b.Paint();
}

// A document of three short paragraphs with a page break after the first, printed from the
// top: the first page ends at the break.
TEST(PageBreaks, APrintedPageEndsAtTheBreakTheScreenShowsAll) {
    test::Built b("<p>one</p><page><p>two</p><p>three</p>");
    std::vector<TPage*> pages;
    test::CollectAll(b.doc.Sections, pages);
    ASSERT_EQ(pages.size(), 1u);
    const std::string screen = b.Paint();
    EXPECT_NE(screen.find("\"two\""), std::string::npos);
    // The screen's paint leaves the page bottom alone.
    EXPECT_EQ(b.doc.PaintPage(b.canvas, QRect(0, 0, 1000, 5000), 0, 0), 5000);

    TSectionList copy(b.doc, TTestFontEngine::Shared());
    TRecordingCanvas printer;
    printer.SetPrinter(true, 2);
    int maxWidth = 0;
    const int height = copy.DoLayout(printer, 400, 1000, maxWidth);
    copy.SetScrollTop(0);
    const int pageBottom = copy.PaintPage(printer, QRect(0, 0, 400, 1000), 0, 0);
    const std::string first = printer.Text();
    EXPECT_NE(first.find("\"one\""), std::string::npos) << first;
    EXPECT_EQ(first.find("\"two\""), std::string::npos) << first;
    std::vector<TPage*> copied;
    test::CollectAll(copy.Sections, copied);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(pageBottom, copied[0]->Top);
    EXPECT_GT(pageBottom, 0);
    EXPECT_LT(pageBottom, height);
    // The next page starts at the break (the print loop's next offset) and shows the rest; the
    // break at its very top does not end it again.
    printer.ClearLines();
    copy.SetScrollTop(pageBottom);
    const int nextBottom = copy.PaintPage(printer, QRect(0, 0, 400, 1000), 0, 0);
    const std::string second = printer.Text();
    EXPECT_NE(second.find("\"two\""), std::string::npos) << second;
    EXPECT_NE(second.find("\"three\""), std::string::npos) << second;
    EXPECT_GT(nextBottom, pageBottom);
}

}  // namespace
}  // namespace kv
