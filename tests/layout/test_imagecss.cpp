// Pictures sized and placed by CSS: a single given side keeps the aspect ratio, and width,
// height, float and vertical-align from style sheets, classes and inline styles act as the
// matching attributes do.

#include <gtest/gtest.h>

#include "html/layout/builder.h"
#include "html/layout/textsection.h"
#include "tests/layout/builttest.h"

namespace kv {
namespace {

// A document whose every picture is a 40 x 20 bitmap.
class PictureDocument : public TSectionList {
public:
    PictureDocument() : TSectionList(TTestFontEngine::Shared()) {}
    TFetchResult FetchImage(const std::string&, int) override {
        auto image = std::make_shared<TLayoutImage>();
        image->Image = QImage(40, 20, QImage::Format_RGB32);
        image->Image.fill(Qt::blue);
        TFetchResult result;
        result.Still = image;
        return result;
    }
};

struct PicturePage {
    PictureDocument doc;
    TRecordingCanvas canvas;
    int height = 0;

    // `body` goes into a page without margins, so the column is the layout width.
    PicturePage(const std::string& head, const std::string& body, int width) {
        THtmlBuilder builder(doc);
        builder.LoadHtmlText(head + "<body marginwidth=0 marginheight=0>" + body);
        Layout(width);
    }
    void Layout(int width) {
        int maxWidth = 0;
        height = doc.DoLayout(canvas, width, 400, maxWidth);
    }
    TImageObj& Image() {
        std::vector<TSection*> texts;
        test::CollectAll(doc.Sections, texts);
        for (TSection* s : texts)
            for (int i = 0; i < s->Objects.Count(); ++i)
                if (auto* image = dynamic_cast<TImageObj*>(&s->Objects[i])) return *image;
        throw std::runtime_error("no picture");
    }
    std::string Paint() {
        canvas.ClearLines();
        doc.Paint(canvas, QRect(0, 0, 1000, 5000), 0, 0);
        return canvas.Text();
    }
};

QSize SizeOf(const std::string& img, int width = 200) {
    PicturePage page("", img, width);
    return {page.Image().ObjWidth, page.Image().ObjHeight};
}

TEST(ImageCss, OneGivenSideKeepsTheAspectRatio) {
    EXPECT_EQ(SizeOf("<img src=a.bmp width=80>"), QSize(80, 40));
    EXPECT_EQ(SizeOf("<img src=a.bmp height=10>"), QSize(20, 10));
    EXPECT_EQ(SizeOf("<img src=a.bmp width=30 height=30>"), QSize(30, 30));
    EXPECT_EQ(SizeOf("<img src=a.bmp width=\"50%\">"), QSize(100, 50));
    EXPECT_EQ(SizeOf("<img src=a.bmp width=\"100%\">"), QSize(200, 100));
    EXPECT_EQ(SizeOf("<img src=a.bmp width=\"1%\">"), QSize(2, 1));
    EXPECT_EQ(SizeOf("<img src=a.bmp width=\"50%\" height=7>"), QSize(100, 7));
    EXPECT_EQ(SizeOf("<img src=a.bmp style=\"width:80px\">"), QSize(80, 40));
    EXPECT_EQ(SizeOf("<img src=a.bmp style=\"width:50%\">"), QSize(100, 50));
    EXPECT_EQ(SizeOf("<img src=a.bmp style=\"height:10px\">"), QSize(20, 10));
    // An em is the picture's own font's: twice as many are twice as long.
    const QSize oneEm = SizeOf("<img src=a.bmp style=\"height:1em\">");
    EXPECT_GT(oneEm.height(), 1);
    EXPECT_NE(oneEm.height(), 20);
    EXPECT_EQ(SizeOf("<img src=a.bmp style=\"height:2em\">").height(), 2 * oneEm.height());
    EXPECT_EQ(SizeOf("<img src=a.bmp style=\"width:2em\">").width(), 2 * oneEm.height());
    // A percentage follows the column at every layout, its height with it.
    PicturePage page("", "<img src=a.bmp width=\"100%\">", 200);
    page.Layout(60);
    EXPECT_EQ(page.Image().ObjWidth, 60);
    EXPECT_EQ(page.Image().ObjHeight, 30);
}

// A picture given its look by CSS lands at the same place and size as one given it by
// attributes, and the text beside it too.
struct CssCase {
    const char* head;  // a style sheet, or ""
    const char* css;   // the picture tag with its style
    const char* attr;  // the same picture with attributes
};

void PrintTo(const CssCase& c, std::ostream* os) {
    *os << c.head << c.css;
}

class ImageCssAsAttributes : public testing::TestWithParam<CssCase> {};

TEST_P(ImageCssAsAttributes, PlaceAndSizeAgree) {
    const CssCase& c = GetParam();
    const std::string text = "<font size=7>Big</font> words beside the picture run on";
    PicturePage css(c.head, std::string("<p>") + c.css + text, 240);
    PicturePage attr("", std::string("<p>") + c.attr + text, 240);
    const TImageObj &a = css.Image(), &b = attr.Image();
    EXPECT_EQ(QRect(a.DrawX, a.DrawY, a.ObjWidth, a.ObjHeight),
              QRect(b.DrawX, b.DrawY, b.ObjWidth, b.ObjHeight));
    EXPECT_EQ(int(a.Align), int(b.Align));
    EXPECT_EQ(css.Paint(), attr.Paint());
    EXPECT_EQ(css.height, attr.height);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, ImageCssAsAttributes,
    testing::Values(
        CssCase{"<style>img { width: 80px }</style>", "<img src=a.bmp>",
                "<img src=a.bmp width=80>"},
        CssCase{"<style>.half { width: 50% }</style>", "<img class=half src=a.bmp>",
                "<img src=a.bmp width=\"50%\">"},
        CssCase{"", "<img src=a.bmp style=\"width:100%\">", "<img src=a.bmp width=\"100%\">"},
        CssCase{"", "<img src=a.bmp width=300 height=5 style=\"width:60px; height:12px\">",
                "<img src=a.bmp width=60 height=12>"},
        CssCase{"<style>img.l { float: left }</style>", "<img class=l src=a.bmp>",
                "<img src=a.bmp align=left>"},
        CssCase{"", "<img src=a.bmp align=left style=\"float:right\">",
                "<img src=a.bmp align=right>"},
        CssCase{"", "<img src=a.bmp align=left style=\"float:none\">", "<img src=a.bmp>"},
        CssCase{"", "<img src=a.bmp style=\"vertical-align:top\">", "<img src=a.bmp align=top>"},
        CssCase{"", "<img src=a.bmp style=\"vertical-align:text-top\">",
                "<img src=a.bmp align=top>"},
        CssCase{"", "<img src=a.bmp style=\"vertical-align:middle\">",
                "<img src=a.bmp align=middle>"},
        CssCase{"", "<img src=a.bmp align=top style=\"vertical-align:bottom\">", "<img src=a.bmp>"},
        CssCase{"", "<img src=a.bmp align=middle style=\"vertical-align:baseline\">",
                "<img src=a.bmp>"},
        CssCase{"", "<img src=a.bmp align=top style=\"vertical-align:text-bottom\">",
                "<img src=a.bmp>"},
        CssCase{"", "<img src=a.bmp align=right style=\"vertical-align:top\">",
                "<img src=a.bmp align=right>"}));

}  // namespace
}  // namespace kv
