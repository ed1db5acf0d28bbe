// Printing the shown document: how many pages a job prints and which, the page geometry from
// margins in centimetres, the header and footer events, stopping, and what may happen while a
// job lets messages run (another load, a second job, the window closing, the viewer going).

#include <gtest/gtest.h>

#include <QImage>
#include <QStringEncoder>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "html/layout/blocks.h"
#include "html/viewer/printgeometry.h"
#include "tests/common/pdfprinter.h"
#include "tests/viewer/viewertest.h"

namespace kv {
namespace {

using kvtest::PdfPrinter;
using test::Article;
using test::ViewerFixture;

struct PageEvent {
    int page, w, h;
};

// A viewer with an article loaded, printing to a PDF file at 150 dpi, recording its headers.
struct PrintFixture : ViewerFixture {
    explicit PrintFixture(const std::string& html, int dpi = 150) : pdf(folder, dpi) {
        view.SetPrintMarginLeft(2), view.SetPrintMarginRight(2);
        view.SetPrintMarginTop(2), view.SetPrintMarginBottom(2);
        QImage black(4, 4, QImage::Format_RGB888);
        black.fill(Qt::black);
        black.save(QString::fromStdString((folder.Path() / "black.bmp").string()), "BMP");
        view.LoadFromFile(Write("a.htm", html));
        view.OnPrintHeader = [this](THtmlView*, TCanvas&, int page, int w, int h, bool& stop) {
            headers.push_back({page, w, h});
            if (page == stopAt) stop = true;
        };
    }
    PdfPrinter pdf;
    std::vector<PageEvent> headers;
    int stopAt = -1;
};

// Pages of the article of `count` paragraphs at 150 dpi on A4 with 2 cm margins.
constexpr int kTwoPages = 50;

std::vector<int> Numbers(const std::vector<PageEvent>& events) {
    std::vector<int> pages;
    for (const PageEvent& e : events) pages.push_back(e.page);
    return pages;
}

TEST(Print, PagesRunFromTheFirstToTheLastThatHasContent) {
    PrintFixture f(Article(kTwoPages));
    f.view.Print(0, 100);
    EXPECT_EQ(f.pdf.Pages(), 2);
    EXPECT_EQ(Numbers(f.headers), (std::vector<int>{1, 2}));  // page 3 is never started
    EXPECT_EQ(f.view.PrintedPages(), 2);
    EXPECT_FALSE(f.view.Printing());
    EXPECT_EQ(TvwPrinter::Current(), nullptr);

    f.headers.clear();
    f.view.Print(2, 2);  // page 1 laid out, not printed
    EXPECT_EQ(f.pdf.Pages(), 1);
    EXPECT_EQ(Numbers(f.headers), (std::vector<int>{2}));

    f.headers.clear();
    std::filesystem::remove(f.pdf.file);
    f.view.Print(5, 9);  // nothing due: no document is started
    EXPECT_FALSE(std::filesystem::exists(f.pdf.file));
    EXPECT_TRUE(f.headers.empty());
}

TEST(Print, ARangeWithoutAPageStartsNoDocument) {
    PrintFixture f(Article(kTwoPages));
    for (const auto& [from, to] : std::vector<std::pair<int, int>>{{3, 2}, {0, 0}, {3, 100}}) {
        f.view.Print(from, to);  // from 3: the page after the last
        EXPECT_FALSE(std::filesystem::exists(f.pdf.file)) << from << ".." << to;
        EXPECT_TRUE(f.headers.empty()) << from << ".." << to;
        EXPECT_FALSE(f.view.Printing());
    }
    f.view.Print(2, 2);  // the last page still prints
    EXPECT_EQ(f.pdf.Pages(), 1);
}

TEST(Print, AShortDocumentPrintsOnePageAndALongOneStopsAtTheLastAsked) {
    PrintFixture f("<p>short</p>");
    f.view.Print(0, 100);
    EXPECT_EQ(f.pdf.Pages(), 1);
    PrintFixture g(Article(kTwoPages * 75), 96);  // about 150 pages
    g.view.Print(0, 100);
    EXPECT_EQ(g.pdf.Pages(), 100);
    EXPECT_EQ(g.view.PrintedPages(), 100);
    ASSERT_EQ(g.headers.size(), 100u);
    EXPECT_EQ(g.headers.back().page, 100);
}

TEST(Print, NothingLoadedPrintsNothing) {
    ViewerFixture f;
    PdfPrinter pdf(f.folder);
    int progress = -1;
    f.view.OnPrintProgress = [&](THtmlView*, int page, bool&) { progress = page; };
    f.view.Print(0, 100);
    EXPECT_EQ(progress, 0);
    EXPECT_EQ(f.view.PrintedPages(), 0);
    EXPECT_FALSE(std::filesystem::exists(pdf.file));
}

TEST(Print, WithoutAPrinterTheFailureTravelsAndNothingIsLeftRunning) {
    PrintFixture f(Article(5));
    TPrinterSelection none;
    none.Kind = TPrinterSelection::TKind::pkNone;
    const TPrinterSelection previous = SelectPrinter(none);
    try {
        f.view.Print(0, 100);
        ADD_FAILURE() << "no failure";
    } catch (const EPrinter& e) {
        EXPECT_STREQ(e.what(), "Printer selected is not valid");
    }
    SelectPrinter(previous);
    EXPECT_FALSE(f.view.Printing());
    EXPECT_EQ(TvwPrinter::Current(), nullptr);
    f.view.Print(0, 100);  // the next job runs
    EXPECT_EQ(f.pdf.Pages(), 1);

    f.view.SetPrintMarginLeft(15), f.view.SetPrintMarginRight(15);  // wider than A4
    EXPECT_THROW(f.view.Print(0, 100), EPrinter);
    EXPECT_FALSE(f.view.Printing());
}

TEST(Print, HeaderAndFooterGetTheStripsAboveAndBelowTheContent) {
    PrintFixture f(Article(kTwoPages), 600);
    std::vector<PageEvent> footers;
    f.view.OnPrintFooter = [&](THtmlView*, TCanvas& canvas, int page, int w, int h, bool&) {
        footers.push_back({page, w, h});
        canvas.TextOut(0, 0, "footer");  // the canvas draws during the event
    };
    f.view.Print(0, 100);
    TvwPrinter printer;
    const int pw = printer.PageWidth(), ph = printer.PageHeight();
    // 2 cm at 600 dpi is 472 device pixels, 76 screen pixels; the content is what remains.
    const int mt = MulDiv(472, 96, 600), hl = MulDiv(ph - 2 * 472, 96, 600);
    ASSERT_EQ(f.headers.size(), 2u);
    ASSERT_EQ(footers.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(f.headers[i].page, i + 1);
        EXPECT_EQ(f.headers[i].w, MulDiv(pw, 96, 600));
        EXPECT_EQ(f.headers[i].h, mt);
        EXPECT_EQ(footers[i].w, MulDiv(pw, 96, 600));
        EXPECT_EQ(footers[i].h, MulDiv(ph, 96, 600) - mt - hl);
    }
}

TEST(Print, StoppingEndsTheJobAfterTheCurrentPage) {
    PrintFixture f(Article(kTwoPages * 3));
    f.stopAt = 2;
    f.view.Print(0, 100);
    EXPECT_EQ(f.pdf.Pages(), 2);
    EXPECT_EQ(f.view.PrintedPages(), 2);

    f.stopAt = -1;
    f.headers.clear();
    f.view.OnPrintProgress = [&](THtmlView* view, int page, bool&) {
        if (page == 1) view->StopPrinting();
    };
    f.view.Print(0, 100);
    EXPECT_EQ(f.pdf.Pages(), 1);
}

// ---------------------------------------------------------------- geometry

TEST(PrintGeometry, MarginsInCentimetresBecomeDevicePixelsFromThePapersEdge) {
    TPrintDevice device;
    device.PpiX = device.PpiY = 600;
    device.Paper = QSize(4961, 7016);
    device.Page = device.Paper;
    TPrintGeometry g = PageGeometry(TPrintMargins{}, device);
    EXPECT_EQ(g.L, 472);
    EXPECT_EQ(g.TopOffset, 472);
    EXPECT_EQ(g.W, 4961 - 2 * 472);
    EXPECT_EQ(g.H, 7016 - 2 * 472);
    EXPECT_EQ(g.ML, 76);  // 472 * 96 / 600 = 75.52
    EXPECT_EQ(g.WL, MulDiv(g.W, 96, 600));
    EXPECT_EQ(g.Clip, QRect(QPoint(0, 471), QPoint(g.W + g.L + 1, 472 + g.H + 1)));

    // An unprintable edge of 50 pixels on every side: the printable origin lies 50 pixels in.
    device.Offset = QPoint(50, 50);
    device.Page = QSize(4961 - 100, 7016 - 100);
    g = PageGeometry(TPrintMargins{}, device);
    EXPECT_EQ(g.L, 472 - 50);
    EXPECT_EQ(g.TopOffset, 472 - 50);
    EXPECT_EQ(g.W, 4961 - 2 * 472);  // the same strip of paper
    EXPECT_EQ(g.H, 7016 - 2 * 472);

    // Uneven margins at another resolution.
    device = TPrintDevice{300, 300, QSize(2480, 3508), {}, QSize(2480, 3508)};
    g = PageGeometry(TPrintMargins{1.0, 3.0, 0.5, 4.0}, device);
    EXPECT_EQ(g.L, 118);  // 1 cm
    EXPECT_EQ(g.R, 354);  // 3 cm
    EXPECT_EQ(g.T, 59);   // 0.5 cm
    EXPECT_EQ(g.B, 472);  // 4 cm
    EXPECT_EQ(g.W, 2480 - 118 - 354);
    EXPECT_EQ(g.H, 3508 - 59 - 472);
    EXPECT_TRUE(g.Valid());
    EXPECT_FALSE(PageGeometry(TPrintMargins{15, 15, 2, 2}, device).Valid());
}

TEST(PrintGeometry, MulDivRoundsToTheNearest) {
    EXPECT_EQ(MulDiv(472, 96, 600), 76);
    EXPECT_EQ(MulDiv(471, 96, 600), 75);
    EXPECT_EQ(MulDiv(-472, 96, 600), -76);
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(7, 3, 0), 0);
    EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000);  // no overflow on the way
}

// ---------------------------------------------------------------- while a job runs

// Runs `step` once the job lets messages run (never after `context` has gone).
void DuringTheJob(QObject* context, std::function<void()> step) {
    if (context)
        QTimer::singleShot(0, context, [step = std::move(step)] { step(); });
    else
        QTimer::singleShot(0, [step = std::move(step)] { step(); });
}

TEST(PrintWhileRunning, ALoadDuringTheJobFreesNothingTheJobUses) {
    PrintFixture f(Article(kTwoPages * 2));
    f.view.Print(0, 100);
    const int pages = f.pdf.Pages();
    ASSERT_GE(pages, 3);
    const std::string other = f.Write("b.htm", "<p>other <img src=\"none.gif\"></p>");
    int loads = 0;
    f.view.OnPrintProgress = [&](THtmlView* view, int page, bool&) {
        // Between pages: another article replaces the shown one, and again.
        if (page >= 1 && loads < 3)
            DuringTheJob(view, [&, view] { view->LoadFromFile(other), ++loads; });
    };
    f.view.Print(0, 100);
    EXPECT_EQ(loads, 3);
    EXPECT_EQ(f.pdf.Pages(), pages);  // the article the job started with, whole
    EXPECT_EQ(f.view.CurrentFile(), other);
}

TEST(PrintWhileRunning, ASecondJobIsRefusedAndTheFirstGoesOn) {
    PrintFixture f(Article(kTwoPages * 2));
    std::string refused;
    f.view.OnPrintProgress = [&](THtmlView* view, int page, bool&) {
        if (page != 1 || !refused.empty()) return;
        DuringTheJob(view, [&, view] {
            try {
                view->Print(0, 100);
            } catch (const EPrinter& e) {
                refused = e.what();
            }
        });
    };
    f.view.Print(0, 100);
    EXPECT_EQ(refused, "Printing in progress");
    EXPECT_EQ(f.pdf.Pages(), 3);
    // Another viewer is refused as well: one job in the program at a time.
    ViewerFixture g;
    g.view.LoadFromFile(g.Write("c.htm", Article(3)));
    f.view.OnPrintProgress = [&](THtmlView*, int page, bool&) {
        if (page == 2) DuringTheJob(&g.view, [&] { EXPECT_THROW(g.view.Print(0, 100), EPrinter); });
    };
    f.view.Print(0, 100);
    EXPECT_EQ(f.pdf.Pages(), 3);
}

TEST(PrintWhileRunning, ClosingTheWindowEndsTheJobAfterItsPage) {
    PrintFixture f(Article(kTwoPages * 3));
    f.view.OnPrintProgress = [&](THtmlView* view, int page, bool&) {
        if (page == 1 && view->isVisible()) DuringTheJob(view, [view] { view->window()->close(); });
    };
    f.view.Print(0, 100);
    EXPECT_FALSE(f.view.isVisible());
    EXPECT_EQ(f.pdf.Pages(), 1);  // ended, not dropped: the page printed stays
    EXPECT_FALSE(f.view.Printing());
}

TEST(PrintWhileRunning, TheViewerGoingEndsTheJobWithoutTouchingIt) {
    kvtest::TempFolder folder;
    PdfPrinter pdf(folder);
    auto* view = new THtmlView(nullptr);
    view->resize(400, 300);
    view->LoadFromFile(text::fromPath(folder.Write("a.htm", Article(kTwoPages * 3))));
    bool asked = false;
    view->OnPrintProgress = [&asked](THtmlView* sender, int page, bool&) {
        if (page == 1 && !asked) asked = true, DuringTheJob(nullptr, [sender] { delete sender; });
    };
    view->Print(0, 100);  // returns once the job has ended; the viewer is gone
    EXPECT_EQ(pdf.Pages(), 1);
    EXPECT_EQ(TvwPrinter::Current(), nullptr);
}

// ---------------------------------------------------------------- the printed pages

// The rows of a page picture that hold any dark pixel: first and last (-1 when none).
std::pair<int, int> InkedRows(const QImage& page) {
    int first = -1, last = -1;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 160) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return {first, last};
}

TEST(PrintedPages, NoLineIsCutBetweenPagesAndNoneIsPrintedTwice) {
    // Lines of mixed heights, so that page breaks fall anywhere in a line's box.
    std::string html = "<body>";
    for (int i = 0; i < 160; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", i);
        const std::string text = std::string("Line") + number + " words";
        if (i % 7 == 3)
            html += "<h2>" + text + "</h2>";
        else if (i % 5 == 1)
            html += "<p><font size=5>" + text + "</font> and <font size=1>small</font></p>";
        else
            html += "<p>" + text + " to fill the page.</p>";
    }
    PrintFixture f(html + "</body>", 96);
    f.view.Print(0, 100);
    const int pages = f.pdf.Pages();
    ASSERT_GE(pages, 3);

    // Every line once, in order, over all pages (hidden text would be found too), and every
    // word wholly between the top and bottom margins: 2 cm is 56.7 points of the 842 of A4.
    const QString boxes = QString::fromUtf8(kvtest::RunTool(
        "pdftotext", QStringList{"-bbox", QString::fromStdString(f.pdf.file), "-"}));
    ASSERT_FALSE(boxes.isEmpty()) << "pdftotext failed";
    std::vector<int> seen;
    int page = 0;
    const QRegularExpression item(
        "<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
        "yMax=\"([\\d.]+)\">([^<]*)</word>");
    for (QRegularExpressionMatchIterator it = item.globalMatch(boxes); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0) == "<page ") {
            ++page;
            continue;
        }
        const double top = m.captured(2).toDouble(), bottom = m.captured(4).toDouble();
        EXPECT_GE(top, 56.2) << m.captured(5).toStdString() << " on page " << page;
        EXPECT_LE(bottom, 842 - 56.2) << m.captured(5).toStdString() << " on page " << page;
        if (m.captured(5).startsWith("Line")) seen.push_back(m.captured(5).mid(4).toInt());
    }
    EXPECT_EQ(page, pages);
    std::vector<int> all(160);
    for (int i = 0; i < 160; ++i) all[i] = i;
    EXPECT_EQ(seen, all);

    // On every page the ink stays between the top and bottom margins (2 cm is 76 pixels at
    // 96 dpi): the last line that fits is whole, the one that does not went to the next page.
    const std::string prefix = (f.folder.Path() / "page").string();
    kvtest::RunTool("pdftoppm", QStringList{"-r", "96", "-gray", QString::fromStdString(f.pdf.file),
                                            QString::fromStdString(prefix)});
    for (page = 1; page <= pages; ++page) {
        const QString name = QString::fromStdString(prefix) + QString("-%1.pgm").arg(page);
        QImage picture(name);
        ASSERT_FALSE(picture.isNull()) << name.toStdString();
        const auto [first, last] = InkedRows(picture);
        ASSERT_GE(first, 0) << "page " << page << " is blank";
        EXPECT_GE(first, 75) << "page " << page;
        EXPECT_LE(last, picture.height() - 75) << "page " << page;
    }
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// The fixture's printed pages as grey pictures at 96 dpi, one pixel per logical unit; the
// 2 cm margins are 76 pixels.
constexpr int kMargin = 76;

std::vector<QImage> PagePictures(const PrintFixture& f, const std::string& name) {
    const QString prefix = QString::fromStdString((f.folder.Path() / name).string());
    kvtest::RunTool("pdftoppm",
                    QStringList{"-r", "96", "-gray", QString::fromStdString(f.pdf.file), prefix});
    const int pages = f.pdf.Pages(), digits = int(QString::number(pages).size());
    std::vector<QImage> pictures;
    for (int page = 1; page <= pages; ++page)
        pictures.emplace_back(prefix + QString("-%1.pgm").arg(page, digits, 10, QChar('0')));
    return pictures;
}

bool Dark(const QImage& page, int x, int y) {
    return qGray(page.pixel(x, y)) < 160;
}

// The longest run of dark pixels down column x between rows top and bottom.
int DarkRun(const QImage& page, int x, int top, int bottom) {
    int longest = 0, run = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, page.height()); ++y) {
        run = Dark(page, x, y) ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

int DarkInRow(const QImage& page, int y) {
    int n = 0;
    for (int x = 0; x < page.width(); ++x) n += Dark(page, x, y);
    return n;
}

std::string Paragraphs(int count) {
    std::string html;
    for (int i = 0; i < count; ++i) html += "<p>Paragraph " + std::to_string(i) + " of text.</p>";
    return html;
}

TEST(PrintedPages, APictureCrossingAPageBreakPrintsOnBothPages) {
    // A picture floating beside text and one in a line of its own taller than a page, each
    // starting low on the first page: both print their upper part there, the rest on the next.
    std::string words;
    for (int i = 0; i < 400; ++i) words += "word ";
    for (const std::string& picture :
         {"<p><img src=\"black.bmp\" align=left width=120 height=700>" + words + "</p>",
          std::string("<p><img src=\"black.bmp\" width=120 height=1400></p>")}) {
        PrintFixture f("<body>" + Paragraphs(20) + picture + "</body>", 96);
        f.view.Print(0, 100);
        const std::vector<QImage> pages = PagePictures(f, "page");
        ASSERT_GE(pages.size(), 2u) << picture.substr(0, 60);
        const int x = kMargin + 60, bottom = pages[0].height() - kMargin;
        EXPECT_GE(DarkRun(pages[0], x, kMargin, bottom), 100) << picture.substr(0, 60);
        // On the next page the picture goes on from the top of the page.
        EXPECT_TRUE(Dark(pages[1], x, kMargin + 1)) << picture.substr(0, 60);
        EXPECT_GE(DarkRun(pages[1], x, kMargin, bottom), 100) << picture.substr(0, 60);
    }
}

TEST(PrintedPages, ATableSplitOverPagesIsClosedOnEachPage) {
    // Rows that go whole to the next page, and one row taller than a page split by it.
    std::string rows, lines;
    for (int i = 0; i < 60; ++i)
        rows += "<tr><td>Row " + std::to_string(i) + "</td><td>cell text</td></tr>";
    for (int i = 0; i < 80; ++i) lines += "Line " + std::to_string(i) + "<br>";
    for (const std::string& table :
         {"<table border=1 width=100%>" + rows + "</table>",
          "<table border=1 width=100%><tr><td>" + lines + "</td><td>x</td></tr></table>"}) {
        PrintFixture f("<body>" + table + "</body>", 96);
        f.view.Print(0, 100);
        const std::vector<QImage> pages = PagePictures(f, "page");
        ASSERT_GE(pages.size(), 2u);
        const int width = pages[0].width() - 2 * kMargin;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            // The first and last inked rows of every page are the frame's edges across the
            // table: no open frame, no stubs of a row that went on to the next page.
            const auto [first, last] = InkedRows(pages[i]);
            ASSERT_GE(first, 0) << "page " << i + 1 << " is blank";
            EXPECT_GE(DarkInRow(pages[i], first), width * 9 / 10) << "page " << i + 1;
            EXPECT_GE(DarkInRow(pages[i], last), width * 9 / 10) << "page " << i + 1;
        }
    }
}

// The last text section of the document: the line that ends it.
const TSection* LastText(const std::vector<std::unique_ptr<TSectionBase>>& sections) {
    const TSection* last = nullptr;
    for (const auto& section : sections) {
        if (auto* text = dynamic_cast<const TSection*>(section.get())) last = text;
        if (auto* block = dynamic_cast<const TBlock*>(section.get()))
            if (const TSection* inner = LastText(block->Content.Sections)) last = inner;
    }
    return last;
}

TEST(PrintedPages, NoPageWithoutInk) {
    // The content ends with a picture's line one pixel above the page's last, on it, one below
    // it; below the line only the body's margin is left.
    const auto html = [](int height) {
        return "<body><p>top</p><img src=\"black.bmp\" width=20 height=" + std::to_string(height) +
               "></body>";
    };
    int pageHeight = 0, probe = 0;
    {
        PrintFixture f(html(100), 96);
        TvwPrinter printer;
        const TPrintDevice device{printer.PpiX(), printer.PpiY(),
                                  QSize(printer.PageWidth(), printer.PageHeight()),
                                  printer.PhysicalOffset(), printer.PhysicalSize()};
        pageHeight = PageGeometry(TPrintMargins{}, device).HL;
        const TSection* line = LastText(f.view.Document().Sections);
        ASSERT_NE(line, nullptr);
        probe = line->Top + line->FlowHeight - 100;  // the line's bottom less the picture
    }
    for (int delta : {-1, 0, 1}) {
        PrintFixture f(html(pageHeight + delta - probe), 96);
        const TSection* line = LastText(f.view.Document().Sections);
        ASSERT_EQ(line->Top + line->FlowHeight, pageHeight + delta);
        ASSERT_GT(f.view.DocHeight(), pageHeight + 1);
        f.view.Print(0, 100);
        EXPECT_EQ(f.pdf.Pages(), delta <= 0 ? 1 : 2) << delta;
    }
}

// Article bytes in Windows-1251: every character the code page has as its byte, any other as
// `other` writes it (given its code point).
QByteArray Windows1251(const QString& text, const std::function<QString(char32_t)>& other) {
    QByteArray bytes;
    for (const char32_t c : text.toUcs4()) {
        QStringEncoder encoder("windows-1251");
        const QByteArray one = encoder.encode(QString::fromUcs4(&c, 1));
        bytes += encoder.hasError() ? other(c).toLatin1() : one;
    }
    return bytes;
}

TEST(PrintedPages, AUtf8ArticlePrintsEveryCharacterAsItsWindows1251TwinWithReferences) {
    // Greek, an arrow, two named entities, a character beyond the first 64K (in the article's
    // own face) and one that only a fallback face has; each ends a line of Cyrillic.
    const std::u32string_view lacking = U"αβγ→×²𝔸中";
    QString text = QString::fromUtf16(u"<h2>Озеро Байкал</h2>");
    for (const char32_t c : lacking)
        text += QString::fromUtf16(u"<p>Ёж ") + QString::fromUcs4(&c, 1);
    const auto print = [](const QByteArray& html) {
        PrintFixture f(html.toStdString(), 96);
        f.view.Print(0, 100);
        return PagePictures(f, "page");
    };
    const std::vector<QImage> utf8 =
        print("<meta charset=\"utf-8\">" +
              QString(text).replace(u'×', "&times;").replace(u'²', "&sup2;").toUtf8());
    ASSERT_EQ(utf8.size(), 1u);
    ASSERT_FALSE(utf8[0].isNull());
    const auto reference = [](char32_t c) { return QString("&#%1;").arg(quint32(c)); };
    EXPECT_TRUE(utf8 == print(Windows1251(text, reference)));
    // Each of them prints its own glyph: not a "?", not nothing, not the empty box of a character
    // no face has, not the replacement character.
    for (const char32_t missing : lacking)
        for (const QString stand : {"?", "&nbsp;", "&#57344;", "&#65533;"}) {
            const auto instead = [&](char32_t c) { return c == missing ? stand : reference(c); };
            EXPECT_FALSE(utf8 == print(Windows1251(text, instead)))
                << "U+" << std::hex << quint32(missing) << " " << stand.toStdString();
        }
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST(PrintedPages, RulesForPrintApplyToThePrintoutOnlyAndScreenRulesToTheScreenOnly) {
    // The rule makes the paragraph's text taller: its height tells on screen, its ink in print.
    const std::string rule = "p.x { font-size: 30pt; color: #FF0000 }", body = "<p class=x>Ёж";
    struct Case {
        std::string head;
        bool screen, print;
    } cases[] = {
        {"<style>@media print { " + rule + " }</style>", false, true},
        {"<style media=\"print\">" + rule + "</style>", false, true},
        {"<link rel=stylesheet media=print href=\"rule.css\">", false, true},
        {"<style media=\"screen\">" + rule + "</style>", true, false},
        {"<link rel=stylesheet media=\"screen, print\" href=\"rule.css\">", true, true},
    };
    PrintFixture f("<p>");
    f.Write("rule.css", rule);
    const auto shown = [&](const std::string& html) {
        f.view.LoadFromFile(f.Write("b.htm", html));
        return LastText(f.view.Document().Sections)->FlowHeight;
    };
    const auto printed = [&](const std::string& html) {
        f.view.LoadFromFile(f.Write("b.htm", html));
        f.view.Print(0, 100);
        return PagePictures(f, "page");
    };
    const int plainHeight = shown(body), ruledHeight = shown("<style>" + rule + "</style>" + body);
    ASSERT_NE(plainHeight, ruledHeight);
    const auto plainPrint = printed(body),
               ruledPrint = printed("<style>" + rule + "</style>" + body);
    ASSERT_FALSE(plainPrint == ruledPrint);
    for (const Case& c : cases) {
        EXPECT_EQ(shown(c.head + body), c.screen ? ruledHeight : plainHeight) << c.head;
        EXPECT_TRUE(printed(c.head + body) == (c.print ? ruledPrint : plainPrint)) << c.head;
    }
}

}  // namespace
}  // namespace kv
