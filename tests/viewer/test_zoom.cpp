// The viewer's zoom: lines stand higher and the text re-wraps to the window, Ctrl+0 gives back
// the very pixels of 100 %, the range's two ends, the top line kept, and the mouse, Find and
// the scroll range in document pixels at a zoom.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWheelEvent>

#include "html/viewer/paintpanel.h"
#include "platform/codec.h"
#include "tests/viewer/viewertest.h"

namespace kv {
namespace {

using test::Article;
using test::ViewerFixture;

void CtrlKey(QWidget& widget, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::ControlModifier);
    QApplication::sendEvent(&widget, &event);
}

void CtrlWheel(QWidget& widget, int delta) {
    QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

QImage Picture(THtmlView& view) {
    auto* panel = static_cast<TPaintPanel*>(view.PaintPanel());
    return panel->Render(panel->rect());
}

bool Ink(QRgb pixel) {
    return qGray(pixel) < 128;
}

// The first rows of the runs of rows with ink in them (text lines), top to bottom.
std::vector<int> LineTops(const QImage& picture) {
    std::vector<int> tops;
    bool before = false;
    for (int y = 0; y < picture.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < picture.width() && !ink; ++x) ink = Ink(picture.pixel(x, y));
        if (ink && !before) tops.push_back(y);
        before = ink;
    }
    return tops;
}

// The rightmost column with ink, -1 for none.
int RightInk(const QImage& picture) {
    for (int x = picture.width() - 1; x >= 0; --x)
        for (int y = 0; y < picture.height(); ++y)
            if (Ink(picture.pixel(x, y))) return x;
    return -1;
}

// The document's line top of the first character of a text.
int LineTopOf(THtmlView& view, const std::string& text) {
    TSectionList& doc = view.Document();
    const int at = doc.SearchText(0, kv::text::toUtf16(text), true);
    int y = -1, x = 0;
    if (at >= 0) doc.CursorToPoint(nullptr, at, y, x);
    return y;
}

// The panel point 1 pixel right of the left edge of the character `offset` places into the
// first occurrence of a text, in the middle of its line's first rows, at the viewer's zoom.
QPoint PanelPoint(THtmlView& view, const std::string& text, int offset = 0) {
    TSectionList& doc = view.Document();
    const int at = doc.SearchText(0, kv::text::toUtf16(text), true);
    TImageCanvas measure(1, 1);
    int y = 0, x = 0;
    if (at < 0 || !doc.CursorToPoint(&measure, at + offset, y, x)) return QPoint(-1, -1);
    const int zoom = view.Zoom();
    return QPoint((x - view.HScrollPos()) * zoom / 100 + 1,
                  (y - view.VScrollPos() + 6) * zoom / 100);
}

std::string LongParagraph() {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "ab ";
    return text;
}

TEST(ViewerZoom, LinesStandHigherAndTextRewrapsToTheWindowAtEveryZoom) {
    ViewerFixture f;
    // Three short lines (never wrapped), then a paragraph that fills many lines.
    f.view.LoadFromFile(f.Write("a.htm", "<p>HH<br>HH<br>HH</p><p>" + LongParagraph() + "</p>"));
    const std::vector<int> tops100 = LineTops(Picture(f.view));
    ASSERT_GE(tops100.size(), 4u);
    const int pitch100 = tops100[1] - tops100[0];
    const int height100 = f.view.DocHeight();
    const int panelWidth = f.view.PaintPanel()->width();
    for (int zoom : {50, 200, 300}) {
        SCOPED_TRACE(zoom);
        f.view.SetZoom(zoom);
        ASSERT_EQ(f.view.Zoom(), zoom);
        const QImage picture = Picture(f.view);
        const std::vector<int> tops = LineTops(picture);
        ASSERT_GE(tops.size(), 3u);
        EXPECT_NEAR(tops[1] - tops[0], pitch100 * zoom / 100, 1);
        EXPECT_NEAR(tops[2] - tops[1], pitch100 * zoom / 100, 1);
        // Full lines reach across the window and stop at its right margin: wrapped anew, not
        // cut off or shrunk.
        const int right = RightInk(picture);
        EXPECT_LT(right, panelWidth - 10 * zoom / 100 + 1);
        EXPECT_GT(right, panelWidth * 3 / 4);
        // In document pixels the window is narrower or wider: more or fewer lines.
        if (zoom > 100)
            EXPECT_GT(f.view.DocHeight(), height100 * zoom / 100 * 8 / 10);
        else
            EXPECT_LT(f.view.DocHeight(), height100 * 7 / 10);
    }
}

TEST(ViewerZoom, ControlZeroGivesBackTheOriginalPixelsAndTheTopLineStays) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("a.htm", Article(80)));
    const int top = LineTopOf(f.view, "Paragraph 30 ");
    f.view.ScrollTo(top + 3);  // a few pixels into the line
    ASSERT_EQ(f.view.VScrollPos(), top + 3);
    const QImage original = Picture(f.view);
    CtrlKey(f.view, Qt::Key_Plus);
    CtrlKey(f.view, Qt::Key_Equal);
    EXPECT_EQ(f.view.Zoom(), 120);
    // Re-wrapped, the line has moved in the document; the view moved with it.
    EXPECT_NE(LineTopOf(f.view, "Paragraph 30 "), top);
    EXPECT_EQ(f.view.VScrollPos(), LineTopOf(f.view, "Paragraph 30 ") + 3);
    CtrlWheel(f.view, 120);
    CtrlKey(f.view, Qt::Key_Minus);
    EXPECT_EQ(f.view.Zoom(), 120);
    EXPECT_EQ(f.view.VScrollPos(), LineTopOf(f.view, "Paragraph 30 ") + 3);
    EXPECT_NE(Picture(f.view), original);
    CtrlKey(f.view, Qt::Key_0);
    EXPECT_EQ(f.view.Zoom(), 100);
    EXPECT_EQ(f.view.VScrollPos(), top + 3);
    EXPECT_EQ(Picture(f.view), original);
}

TEST(ViewerZoom, TheZoomStopsAtFiftyAndThreeHundredAndHoldsForLaterArticles) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("a.htm", Article(80)));
    for (int i = 0; i < 6; ++i) CtrlKey(f.view, Qt::Key_Minus);
    EXPECT_EQ(f.view.Zoom(), 50);
    CtrlWheel(f.view, 60);  // half a notch: not yet a step
    EXPECT_EQ(f.view.Zoom(), 50);
    CtrlWheel(f.view, 60);
    EXPECT_EQ(f.view.Zoom(), 60);
    CtrlWheel(f.view, -120);
    CtrlWheel(f.view, -120);
    EXPECT_EQ(f.view.Zoom(), 50);
    for (int i = 0; i < 26; ++i) CtrlKey(f.view, Qt::Key_Plus);
    EXPECT_EQ(f.view.Zoom(), 300);
    CtrlWheel(f.view, 240);
    EXPECT_EQ(f.view.Zoom(), 300);
    // The scroll range ends where the document's end meets the panel's bottom.
    const int panelHeight = f.view.PaintPanel()->height();
    f.view.ScrollTo(1000000);
    EXPECT_EQ(f.view.VScrollPos(), f.view.DocHeight() - panelHeight / 3);
    // Another article opens at the zoom, laid out for a third of the width.
    const int height300 = f.view.DocHeight();
    f.view.LoadFromFile(f.Write("b.htm", Article(80)));
    EXPECT_EQ(f.view.Zoom(), 300);
    EXPECT_EQ(f.view.DocHeight(), height300);
}

TEST(ViewerZoom, MouseAndFindAtTwoHundredPercentWorkInDocumentPixels) {
    ViewerFixture f;
    f.Write("b.htm", "<p>B</p>");
    std::string text = "<body>";
    for (int i = 0; i < 40; ++i) text += "<p>Line " + std::to_string(i) + " has words.</p>";
    text += "<p>Go <a href=\"b.htm\">elsewhere</a> now.</p>";
    for (int i = 40; i < 80; ++i) text += "<p>Line " + std::to_string(i) + " has words.</p>";
    const std::string a = f.Write("a.htm", text + "</body>");
    f.view.LoadFromFile(a);
    f.view.SetZoom(200);
    f.view.ScrollTo(LineTopOf(f.view, "Line 37") + 5);
    // A double click's word, a drag over a word, a click on a link: each where it shows.
    int start = -1, end = -1;
    const QPoint has = PanelPoint(f.view, "Line 38 has", 8);
    EXPECT_EQ(f.view.WordAt(has.x(), has.y(), start, end), "has");
    const QPoint from = PanelPoint(f.view, "Line 39 has words.", 12);
    const QPoint to = PanelPoint(f.view, "Line 39 has words.", 17);
    f.view.HtmlMouseDown(Qt::LeftButton, Qt::NoModifier, from.x(), from.y());
    f.view.HtmlMouseMove(Qt::LeftButton, Qt::NoModifier, to.x(), to.y());
    f.view.HtmlMouseUp(Qt::LeftButton, Qt::NoModifier, to.x(), to.y());
    EXPECT_EQ(f.view.SelText(), "words");
    test::Click(f.view, PanelPoint(f.view, "elsewhere", 2));
    EXPECT_NE(f.view.CurrentFile(), a);
    // Find scrolls a phrase below the view into it.
    f.view.LoadFromFile(a);
    ASSERT_EQ(f.view.VScrollPos(), 0);
    ASSERT_TRUE(f.view.Find("Line 20 ", true));
    const int y = LineTopOf(f.view, "Line 20 ");
    EXPECT_LE(f.view.VScrollPos(), y);
    EXPECT_LT(y, f.view.VScrollPos() + f.view.PaintPanel()->height() / 2 - 10);
}

}  // namespace
}  // namespace kv
