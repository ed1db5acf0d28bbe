// Scrolling and painting: short and wide documents, keys, wheel and bar steps, the reading place
// across a re-layout, the scroll bar's stored parameters, the tiled background and the paint
// panel's off-screen picture.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

#include "html/images/display.h"
#include "html/viewer/paintpanel.h"
#include "html/viewer/scrollbar32.h"
#include "tests/viewer/viewertest.h"

namespace kv {
namespace {

using test::Article;
using test::ViewerFixture;

void Key(QWidget& widget, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void Wheel(QWidget& widget, int delta) {
    QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

int PanelHeight(const THtmlView& view) {
    return view.PaintPanel()->height();
}

TEST(ViewerScroll, ShortDocumentsStayAtTheTop) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("a.htm", Article(2)));
    ASSERT_LT(f.view.DocHeight(), PanelHeight(f.view));
    EXPECT_TRUE(f.view.VScrollBar().isHidden());
    EXPECT_EQ(f.view.PaintPanel()->width(), f.view.width());
    f.view.SetVScrollPos(100);
    EXPECT_EQ(f.view.VScrollPos(), 0);
    for (int key : {Qt::Key_Down, Qt::Key_PageDown, Qt::Key_End}) {
        Key(f.view, key);
        EXPECT_EQ(f.view.VScrollPos(), 0) << key;
    }
    Wheel(f.view, -240);
    EXPECT_EQ(f.view.VScrollPos(), 0);
    f.view.ScrollTo(50);
    EXPECT_EQ(f.view.Document().ScrollTop(), 0);
    // Always shown on request, but with nothing to scroll.
    f.view.SethtOptions(htShowVScroll);
    f.view.LoadFromFile(f.Write("b.htm", Article(2)));
    EXPECT_TRUE(f.view.VScrollBar().isVisible());
    EXPECT_FALSE(f.view.VScrollBar().isEnabled());
    EXPECT_EQ(f.view.PaintPanel()->width(), f.view.width() - f.view.ScrollBarWidth());
}

TEST(ViewerScroll, KeyWheelAndBarSteps) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("a.htm", Article(100)));
    ASSERT_TRUE(f.view.VScrollBar().isVisible());
    Key(f.view, Qt::Key_Down);
    EXPECT_EQ(f.view.VScrollPos(), 16);
    Key(f.view, Qt::Key_Down);
    Key(f.view, Qt::Key_Up);
    EXPECT_EQ(f.view.VScrollPos(), 16);
    EXPECT_EQ(f.view.Document().ScrollTop(), 16);
    Key(f.view, Qt::Key_PageDown);
    EXPECT_EQ(f.view.VScrollPos(), 16 + PanelHeight(f.view) - 16);
    Key(f.view, Qt::Key_Home);
    EXPECT_EQ(f.view.VScrollPos(), 0);
    // One notch moves half its delta; odd deltas are cut toward zero both ways.
    Wheel(f.view, -120);
    EXPECT_EQ(f.view.VScrollPos(), 60);
    Wheel(f.view, -121);
    EXPECT_EQ(f.view.VScrollPos(), 120);
    Wheel(f.view, 121);
    EXPECT_EQ(f.view.VScrollPos(), 60);
    Wheel(f.view.VScrollBar(), -120);  // the bar takes the viewer's step too
    EXPECT_EQ(f.view.VScrollPos(), 120);
    Key(f.view, Qt::Key_End);
    EXPECT_EQ(f.view.VScrollPos(), f.view.DocHeight() - PanelHeight(f.view));
    Key(f.view, Qt::Key_Down);
    EXPECT_EQ(f.view.VScrollPos(), f.view.DocHeight() - PanelHeight(f.view));
    // The bar's own buttons and track.
    T32ScrollBar& bar = f.view.VScrollBar();
    bar.triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(f.view.VScrollPos(), 0);
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(f.view.VScrollPos(), 16);
    EXPECT_EQ(bar.value(), 16);
    bar.triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(f.view.VScrollPos(), PanelHeight(f.view));
    EXPECT_EQ(f.view.Document().ScrollTop(), PanelHeight(f.view));
    bar.triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(f.view.VScrollPos(), f.view.DocHeight() - PanelHeight(f.view));
    EXPECT_EQ(bar.value(), f.view.VScrollPos());
}

TEST(ViewerScroll, WideDocumentsScrollHorizontallyUpTo6000) {
    ViewerFixture f;
    f.view.SetScrollBars(TScrollStyle::ssBoth);
    f.view.LoadFromFile(f.Write("a.htm", "<pre>" + std::string(1500, 'x') + "</pre>"));
    EXPECT_EQ(f.view.DocWidth(), 6000);
    T32ScrollBar& bar = f.view.HScrollBar();
    ASSERT_TRUE(bar.isVisible());
    Key(f.view, Qt::Key_Right);
    EXPECT_EQ(f.view.HScrollPos(), 15);
    Key(f.view, Qt::Key_Left);
    Key(f.view, Qt::Key_Left);
    EXPECT_EQ(f.view.HScrollPos(), 0);
    bar.triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(f.view.HScrollPos(), 6000 - f.view.PaintPanel()->width());
    Key(f.view, Qt::Key_Right);
    EXPECT_EQ(f.view.HScrollPos(), 6000 - f.view.PaintPanel()->width());
    // A narrow document hides the bar again and a new file starts at the left.
    f.view.LoadFromFile(f.Write("b.htm", Article(2)));
    EXPECT_TRUE(bar.isHidden());
    EXPECT_EQ(f.view.HScrollPos(), 0);
}

// Columns of a panel picture in [from, to) that hold a pixel other than white in rows [top,
// bottom).
int InkedColumns(const QImage& picture, int from, int to, int top, int bottom) {
    int n = 0;
    for (int x = std::max(from, 0); x < std::min(to, picture.width()); ++x)
        for (int y = std::max(top, 0); y < std::min(bottom, picture.height()); ++y)
            if ((picture.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                ++n;
                break;
            }
    return n;
}

QImage PaintedRect(THtmlView& view, const QRect& rect);

TEST(ViewerScroll, PreformattedLinesRunToTheEndOfTheHorizontalRange) {
    // A 170-character line, alone and beside a float: it never wraps, and scrolling right
    // shows its last characters, not blank space cut at the window's old edge or mid-word.
    const std::string line = std::string(80, 'x') + " " + std::string(85, 'y') + " WXYZ";
    ASSERT_EQ(line.size(), 171u);
    for (const std::string before : {"", "<img align=left width=120 height=60 src=none.gif>"}) {
        ViewerFixture f(300, 200);
        f.view.SetScrollBars(TScrollStyle::ssBoth);
        f.view.LoadFromFile(f.Write("a.htm", before + "<pre>" + line + "</pre>"));
        TSectionList& doc = f.view.Document();
        const int z = doc.SearchText(0, u"Z", true);
        ASSERT_GE(z, 0);
        TImageCanvas measure(1, 1);
        int y = 0, zx = 0, yx = 0, start = 0;
        ASSERT_TRUE(doc.CursorToPoint(&measure, z, y, zx));
        ASSERT_TRUE(doc.CursorToPoint(&measure, z - 1, y, yx));
        ASSERT_TRUE(doc.CursorToPoint(&measure, doc.SearchText(0, u"x", true), y, start));
        const int end = zx + (zx - yx);         // the right edge of "Z"
        EXPECT_GT(end - start, 600) << before;  // one line
        EXPECT_GE(f.view.DocWidth(), end) << before;
        f.view.HScrollBar().triggerAction(QAbstractSlider::SliderToMaximum);
        const int right = end - f.view.HScrollPos();
        ASSERT_LE(right, f.view.PaintPanel()->width()) << before;
        const QImage picture = PaintedRect(f.view, f.view.PaintPanel()->rect());
        const int top = y - f.view.VScrollPos();
        // "Z" is inked, and the line stops there.
        EXPECT_GE(InkedColumns(picture, right - (zx - yx), right, top, top + 20), 2) << before;
        EXPECT_EQ(InkedColumns(picture, right + 2, right + 40, top, top + 20), 0) << before;
        // A click on the last letter finds it.
        TCursorHit hit;
        EXPECT_EQ(doc.CursorAt(measure, zx + 1, y + 4, hit), z) << before;
    }
}

TEST(ViewerScroll, ReadingPlaceSurvivesARelayoutAtAnotherWidth) {
    ViewerFixture f(500, 300);
    f.view.LoadFromFile(f.Write("a.htm", Article(120)));
    const auto& landmarks = f.view.Document().Positions;
    ASSERT_GT(landmarks.size(), 10u);
    f.view.ScrollTo(landmarks[7]->TopY() + 9);
    const int position = f.view.Position();
    EXPECT_EQ(position, (8 << 16) | 9);
    const int height = f.view.DocHeight();
    f.view.resize(250, 300);
    ASSERT_GT(f.view.DocHeight(), height);
    EXPECT_EQ(f.view.Position(), position);
    EXPECT_EQ(f.view.VScrollPos(), landmarks[7]->TopY() + 9);
    // Positions without a landmark, and landmarks beyond the list.
    f.view.SetPosition(40);
    EXPECT_EQ(f.view.VScrollPos(), 40);
    f.view.SetPosition(int(landmarks.size() + 5) << 16);
    EXPECT_EQ(f.view.VScrollPos(), 40);
}

TEST(ViewerScroll, BarChoiceBorderAndClearArrangeThePanel) {
    ViewerFixture f;
    const std::string wide =
        f.Write("a.htm", "<pre>" + std::string(300, 'x') + "</pre>" + Article(60));
    f.view.LoadFromFile(wide);
    EXPECT_TRUE(f.view.HScrollBar().isHidden());
    f.view.SetScrollBars(TScrollStyle::ssBoth);
    EXPECT_TRUE(f.view.HScrollBar().isVisible());
    EXPECT_EQ(PanelHeight(f.view), f.view.height() - f.view.ScrollBarWidth());
    f.view.SetScrollBars(TScrollStyle::ssNone);
    EXPECT_TRUE(f.view.VScrollBar().isHidden());
    EXPECT_TRUE(f.view.HScrollBar().isHidden());
    EXPECT_EQ(f.view.PaintPanel()->geometry(), f.view.rect());
    // A single line all round: the panel moves in by one pixel.
    f.view.SetBorderStyle(THTMLBorderStyle::htSingle);
    EXPECT_EQ(f.view.PaintPanel()->geometry(), f.view.rect().adjusted(1, 1, -1, -1));
    EXPECT_NE(f.view.BorderPanel().frameStyle(), int(QFrame::NoFrame));
    f.view.SetBorderStyle(THTMLBorderStyle::htFocused);
    EXPECT_EQ(f.view.BorderPanel().frameStyle(), int(QFrame::NoFrame));  // no focus
    f.view.SetScrollBars(TScrollStyle::ssVertical);
    f.view.Clear();
    EXPECT_TRUE(f.view.Document().Sections.empty());
    EXPECT_TRUE(f.view.DocumentTitle().empty());
    EXPECT_TRUE(f.view.VScrollBar().isHidden());
    EXPECT_EQ(f.view.VScrollBar().Page(), 0);
}

TEST(ViewerScroll, FocusedFormControlIsBroughtIntoView) {
    ViewerFixture f;
    std::string text = Article(100);
    text.insert(text.find("<p>Paragraph 30 "), "<input name=a>");
    text.insert(text.find("<p>Paragraph 32 "), "<input name=b>");
    text.insert(text.find("<p>Paragraph 60 "), "<input name=c>");
    f.view.LoadFromFile(f.Write("a.htm", text));
    const int h = f.view.height();
    auto& controls = f.view.Document().FormControlList;
    ASSERT_EQ(controls.size(), 3u);
    const int a = controls[0]->TopY(), b = controls[1]->TopY(), c = controls[2]->TopY();
    ASSERT_GT(a, h);
    f.view.Document().ControlEntered(*controls[0]);
    EXPECT_EQ(f.view.VScrollPos(), a - h / 2);
    ASSERT_LT(b, a - h / 2 + h - 20);
    f.view.Document().ControlEntered(*controls[1]);  // already in view
    EXPECT_EQ(f.view.VScrollPos(), a - h / 2);
    f.view.Document().ControlEntered(*controls[2]);
    EXPECT_EQ(f.view.VScrollPos(), std::min(c - h / 2, f.view.DocHeight() - h));
}

TEST(ViewerScroll, BarSkipsSystemUpdatesWhenNothingChanged) {
    QWidget parent;
    T32ScrollBar bar(Qt::Vertical, 16, &parent);
    bar.SetParams(10, 101, 0, 1000);
    const int updates = bar.SystemUpdates();
    bar.SetParams(10, 101, 0, 1000);
    bar.SetPosition(10);
    EXPECT_EQ(bar.SystemUpdates(), updates);
    // Windows meaning: the last position is Max - Page + 1; ranges beyond 16 bits work.
    EXPECT_EQ(bar.maximum(), 900);
    bar.SetParams(200000, 101, 0, 300000);
    EXPECT_EQ(bar.SystemUpdates(), updates + 1);
    EXPECT_EQ(bar.value(), 200000);
}

// A 4 x 4 tile: the top-left 2 x 2 red, the rest blue.
QImage Tile() {
    QImage tile(4, 4, QImage::Format_RGB32);
    tile.fill(Qt::blue);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) tile.setPixel(x, y, qRgb(255, 0, 0));
    return tile;
}

QImage PaintedRect(THtmlView& view, const QRect& rect) {
    return static_cast<TPaintPanel*>(view.PaintPanel())->Render(rect);
}

TEST(ViewerPaint, EightBitDisplaysDrawTheDocumentThroughTheSharedPalette) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("a.htm",
                                "<table><tr><td bgcolor=\"#123457\" width=100 height=50>"
                                "x</td></tr></table>"));
    const auto inPalette = [](QRgb pixel) {
        const TPaletteEntry entry{std::uint8_t(qRed(pixel)), std::uint8_t(qGreen(pixel)),
                                  std::uint8_t(qBlue(pixel)), 0};
        const TPalette& palette = ThePalette();
        return std::find(palette.begin(), palette.end(), entry) != palette.end();
    };
    const QImage trueColour = PaintedRect(f.view, QRect(0, 0, 80, 40));
    EXPECT_EQ(trueColour.pixel(40, 12), qRgb(0x12, 0x34, 0x57));
    SetColorBits(8);
    const QImage mapped = PaintedRect(f.view, QRect(0, 0, 80, 40));
    SetColorBits(0);
    EXPECT_NE(mapped.pixel(40, 12), trueColour.pixel(40, 12));
    EXPECT_TRUE(inPalette(mapped.pixel(40, 12)));
}

TEST(ViewerPaint, BackgroundTilesFollowTheScrollAndTheRectangle) {
    ViewerFixture f;
    ASSERT_TRUE(
        Tile().save(QString::fromStdString((f.folder.Path() / "tile.bmp").string()), "BMP"));
    std::string text = "<body background=\"tile.bmp\">";
    for (int i = 0; i < 200; ++i) text += "<br>";
    f.view.LoadFromFile(f.Write("a.htm", text));
    ASSERT_GT(f.view.DocHeight(), PanelHeight(f.view) + 10);
    const QImage tile = Tile();
    for (int scroll : {0, 5, 7}) {
        f.view.ScrollTo(scroll);
        for (const QRect& rect : {QRect(0, 0, 12, 12), QRect(3, 7, 10, 9), QRect(390, 290, 5, 5)}) {
            const QImage picture = PaintedRect(f.view, rect);
            ASSERT_EQ(picture.size(), rect.size());
            for (int y = 0; y < rect.height(); ++y)
                for (int x = 0; x < rect.width(); ++x)
                    ASSERT_EQ(
                        picture.pixel(x, y) & 0xFFFFFF,
                        tile.pixel((rect.left() + x) % 4, (rect.top() + y + scroll) % 4) & 0xFFFFFF)
                        << "scroll " << scroll << " at " << rect.left() + x << ","
                        << rect.top() + y;
        }
    }
    // Images off: the plain background colour.
    f.view.SetViewImages(false);
    EXPECT_EQ(PaintedRect(f.view, QRect(0, 0, 4, 4)).pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);
    f.view.SetViewImages(true);
    EXPECT_EQ(PaintedRect(f.view, QRect(0, 0, 4, 4)).pixel(1, 1) & 0xFFFFFF,
              tile.pixel(1, (1 + f.view.VScrollPos()) % 4) & 0xFFFFFF);
}

TEST(ViewerPaint, ScrolledRectangleShowsTheSamePixelsAsTheWholePanel) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("a.htm", Article(60)));
    f.view.ScrollTo(123);
    const QRect all = f.view.PaintPanel()->rect();
    const QImage whole = PaintedRect(f.view, all);
    const QRect part(17, 41, 150, 90);
    EXPECT_EQ(PaintedRect(f.view, part), whole.copy(part));
    EXPECT_EQ(f.view.Document().ScrollTop(), 123);
}

TEST(ViewerPaint, PictureTooLargeIsOutOfResources) {
    ViewerFixture f;
    try {
        PaintedRect(f.view, QRect(0, 0, 2000000000, 2000000000));  // beyond any address space
        FAIL() << "no error";
    } catch (const Exception& error) {
        EXPECT_STREQ(error.what(), "Out of Resources");
    }
    EXPECT_TRUE(PaintedRect(f.view, QRect()).isNull());
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST(ViewerForms, LiveWidgetsStandWhereTheControlsArePaintedAndFollowScrolling) {
    test::ViewerFixture f;
    std::string text = test::Article(60);
    text.insert(text.find("<p>Paragraph 3 "),
                kvtest::W("<form><input name=q value=\"слово\"></form>"));
    f.view.LoadFromFile(f.Write("form.htm", text));
    f.view.grab();  // paints the panel, which places the widgets
    const auto edits = f.view.findChildren<QLineEdit*>();
    ASSERT_EQ(edits.size(), 1);
    QLineEdit* edit = edits.front();
    const TFormControlObj& control = *f.view.Document().FormControlList.at(0);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->text(), QString::fromUtf8("слово"));
    EXPECT_EQ(edit->mapTo(&f.view, QPoint(0, 0)).y(), control.TopY());
    EXPECT_EQ(edit->mapTo(&f.view, QPoint(0, 0)).x(), control.Left);

    Key(f.view, Qt::Key_Down);
    f.view.grab();
    EXPECT_EQ(edit->mapTo(&f.view, QPoint(0, 0)).y(), control.TopY() - 16);
    Key(f.view, Qt::Key_End);
    f.view.grab();
    EXPECT_FALSE(edit->isVisible());  // scrolled out of the panel
    Key(f.view, Qt::Key_Home);
    f.view.grab();
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->mapTo(&f.view, QPoint(0, 0)).y(), control.TopY());

    f.view.Repaint();  // hides the widgets until the paint places them again
    EXPECT_FALSE(edit->isVisible());
    f.view.grab();
    EXPECT_TRUE(edit->isVisible());

    f.view.LoadFromFile(f.Write("plain.htm", test::Article(3)));  // the widgets go with the page
    EXPECT_TRUE(f.view.findChildren<QLineEdit*>().empty());
}

}  // namespace
}  // namespace kv
