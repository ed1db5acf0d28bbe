// Selection with the mouse and by word, Find, select-all and copying.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

#include "html/viewer/htmlview.h"
#include "platform/codec.h"
#include "tests/viewer/viewertest.h"

using namespace kv;
using namespace kv::test;
using kvtest::W;

namespace {

std::string Selected(THtmlView& view) {
    const TSectionList& doc = view.Document();
    std::string text;
    for (int p = doc.SelStart(); p < doc.SelEnd(); ++p) {
        char16_t ch = 0;
        const TFontObj* font = nullptr;
        if (doc.CharAt(p, ch, font)) text += text::fromUtf16(std::u16string_view(&ch, 1));
    }
    return text;
}

void DoubleClick(THtmlView& view, QPoint p) {
    Click(view, p);
    view.HtmlMouseDouble(Qt::LeftButton, Qt::NoModifier, p.x(), p.y());
}

void Key(THtmlView& view, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&view, &event);
}

}  // namespace

TEST(Words, DoubleClickSelectsACyrillicWordWithoutTheCommaAndSkipsYo) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("p.htm", W("<p>Слово, другое ёжик и 42x.</p><p>Соседний</p>")));
    int doubles = 0;
    f.view.OnMouseDouble = [&](THtmlView*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        ++doubles;
    };
    DoubleClick(f.view, PointOf(f.view, "ово"));
    EXPECT_EQ(Selected(f.view), "Слово");
    EXPECT_EQ(f.view.CaretPos(), f.view.Document().SelStart());
    // Ё and ё are no word characters: the word starts after it.
    DoubleClick(f.view, PointOf(f.view, "жик"));
    EXPECT_EQ(Selected(f.view), "жик");
    DoubleClick(f.view, PointOf(f.view, "42x"));
    EXPECT_EQ(Selected(f.view), "42x");
    EXPECT_EQ(doubles, 3);
    // The last word of a paragraph does not run into the next one.
    int start = -1, end = -1;
    const QPoint last = PointOf(f.view, "x.");
    EXPECT_EQ(f.view.WordAt(last.x() - 12, last.y(), start, end), "42x");
    const QPoint next = PointOf(f.view, "Сосед");
    EXPECT_EQ(f.view.WordAt(next.x(), next.y(), start, end), "Соседний");
}

TEST(Words, NoSelectKeepsTheSelectionOnDoubleClick) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("p.htm", "<p>alpha beta</p>"));
    f.view.SetNoSelect(true);
    DoubleClick(f.view, PointOf(f.view, "beta"));
    EXPECT_EQ(f.view.Document().SelStart(), f.view.Document().SelEnd());
}

TEST(Selection, DragSelectsAndCopiesAsUnicode) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("p.htm", W("<p>Первая строка текста.</p><p>Вторая.</p>")));
    const QPoint from = PointOf(f.view, "строка"), to = PointOf(f.view, "Вторая");
    f.view.HtmlMouseDown(Qt::LeftButton, Qt::NoModifier, from.x() - 2, from.y());
    f.view.HtmlMouseMove(Qt::LeftButton, Qt::NoModifier, to.x() + 10, to.y());
    f.view.HtmlMouseUp(Qt::LeftButton, Qt::NoModifier, to.x() + 10, to.y());
    EXPECT_EQ(f.view.SelText(), "строка текста.\nВ");
    QApplication::clipboard()->clear();
    Key(f.view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("строка текста.\nВ"));
    Key(f.view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.view.SelText(), "Первая строка текста.\nВторая.\n");
    QApplication::clipboard()->clear();
    Key(f.view, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QString::fromUtf8("Первая строка текста.\nВторая.\n"));
}

TEST(Find, SuccessiveCallsSelectSuccessiveOccurrencesWithoutNeedlessScrolling) {
    ViewerFixture f(400, 200);
    std::string text = "<p>needle one</p><p>needle two</p>";
    for (int i = 0; i < 60; ++i) text += "<p>filler line " + std::to_string(i) + "</p>";
    text += "<p>the far needle</p>";
    f.view.LoadFromFile(f.Write("p.htm", text));
    ASSERT_TRUE(f.view.Find("needle", false));
    const int first = f.view.Document().SelStart();
    EXPECT_EQ(Selected(f.view), "needle");
    EXPECT_EQ(f.view.CaretPos(), first + 6);
    EXPECT_EQ(f.view.VScrollPos(), 0);  // in view: no scrolling
    ASSERT_TRUE(f.view.Find("NEEDLE", false));
    EXPECT_GT(f.view.Document().SelStart(), first);
    EXPECT_EQ(f.view.VScrollPos(), 0);
    EXPECT_FALSE(f.view.Find("NEEDLE", true));
    // The far one is brought to half the panel's height.
    ASSERT_TRUE(f.view.Find("needle", true));
    TImageCanvas measure(1, 1);
    int y = 0, x = 0;
    ASSERT_TRUE(f.view.Document().CursorToPoint(&measure, f.view.Document().SelStart(), y, x));
    EXPECT_EQ(f.view.VScrollPos(), std::min(y - f.view.PaintPanel()->height() / 2,
                                            f.view.DocHeight() - f.view.PaintPanel()->height()));
    EXPECT_FALSE(f.view.Find("needle", false));
    EXPECT_FALSE(f.view.Find("", false));
}

TEST(Find, CyrillicInAnotherCaseInsideATableAndLongPhrases) {
    ViewerFixture f;
    const std::string tail(300, 'z');
    f.view.LoadFromFile(f.Write("p.htm", W("<table><tr><td>x</td><td>Большая Медведица</td></tr>"
                                           "</table><p>") +
                                             "a" + tail + "b</p>"));
    ASSERT_TRUE(f.view.Find("большая медведица", false));
    EXPECT_EQ(Selected(f.view), "Большая Медведица");
    EXPECT_EQ(f.view.SelText(), "Большая Медведица\n");  // to the line end
    // A phrase longer than 260 characters is searched whole.
    ASSERT_TRUE(f.view.Find("A" + tail + "B", false));
    EXPECT_EQ(Selected(f.view), "a" + tail + "b");
    f.view.LoadFromFile(f.Write("q.htm", "<p>a" + tail + "c</p>"));
    EXPECT_FALSE(f.view.Find("a" + tail + "b", false));
}

TEST(AutoScroll, StepsGrowWithTheDistanceFromTheEdgeOrThePressPoint) {
    // Dragging above the top or below the bottom of a 300-pixel control.
    EXPECT_EQ(THtmlView::DragScrollTarget(500, -16, 300), 500 - 128);
    EXPECT_EQ(THtmlView::DragScrollTarget(500, -15, 300), 500 - 16);
    EXPECT_EQ(THtmlView::DragScrollTarget(500, 0, 300), 500 - 16);
    EXPECT_EQ(THtmlView::DragScrollTarget(500, 301, 300), 500 + 16);
    EXPECT_EQ(THtmlView::DragScrollTarget(500, 315, 300), 500 + 16);
    EXPECT_EQ(THtmlView::DragScrollTarget(500, 316, 300), 500 + 128);
    // Middle-button scrolling by the distance from where it was pressed.
    EXPECT_EQ(THtmlView::MiddleScrollTarget(500, -61), 500 - 32);
    EXPECT_EQ(THtmlView::MiddleScrollTarget(500, -60), 500 - 8);
    EXPECT_EQ(THtmlView::MiddleScrollTarget(500, -21), 500 - 8);
    EXPECT_EQ(THtmlView::MiddleScrollTarget(500, -20), 500);
    EXPECT_EQ(THtmlView::MiddleScrollTarget(500, 20), 500);
    EXPECT_EQ(THtmlView::MiddleScrollTarget(500, 21), 500 + 8);
    EXPECT_EQ(THtmlView::MiddleScrollTarget(500, 60), 500 + 8);
    EXPECT_EQ(THtmlView::MiddleScrollTarget(500, 61), 500 + 32);
}

TEST(Unicode, Utf8ArticleFindsSelectsCopiesAndPaintsEveryCharacter) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("u.htm", "<meta charset=utf-8><p>Озеро Αλφα → 中 ёж</p>"));
    // Find without case: Greek and Cyrillic; the selection and the clipboard keep them.
    ASSERT_TRUE(f.view.Find(u"ΑΛΦΑ → 中", false));
    EXPECT_EQ(f.view.SelTextUnicode(), u"Αλφα → 中");
    QApplication::clipboard()->clear();
    f.view.CopyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("Αλφα → 中"));
    f.view.SetCaretPos(0);
    ASSERT_TRUE(f.view.Find(u"ОЗЕРО", false));
    EXPECT_EQ(f.view.SelTextUnicode(), u"Озеро");
    // A double click takes a Greek word whole; ё stays no word character.
    DoubleClick(f.view, PointOf(f.view, u"λφα"));
    EXPECT_EQ(f.view.SelTextUnicode(), u"Αλφα");
    DoubleClick(f.view, PointOf(f.view, u"ж"));
    EXPECT_EQ(f.view.SelTextUnicode(), u"ж\n");  // the line's end is copied too
    f.view.SelectAll();
    EXPECT_EQ(f.view.SelTextUnicode(), u"Озеро Αλφα → 中 ёж\n");
    // Glyphs are painted, not the "?" of a code page that lacks them.
    auto paint = [&](const std::string& html) {
        f.view.LoadFromFile(f.Write("p.htm", html));
        TImageCanvas canvas(300, 40);
        canvas.FillRect(QRect(0, 0, 300, 40), 0xFFFFFF);
        f.view.Document().Paint(canvas, QRect(0, 0, 300, 40), 0, 0);
        return canvas.Image().copy();
    };
    const QImage glyphs = paint("<meta charset=utf-8><p>αβ→中</p>");
    EXPECT_NE(glyphs, paint("<p>" + std::string(4, '?') + "</p>"));
    EXPECT_EQ(glyphs, paint("<p>&#945;&#946;&#8594;&#20013;</p>"));
    // Named entities give their own characters in a Windows-1251 article too.
    const QImage named = paint("<meta charset=utf-8><p>αβ²→×é</p>");
    EXPECT_NE(named, paint("<p>" + std::string(6, '?') + "</p>"));
    EXPECT_EQ(named, paint("<p>&alpha;&beta;&sup2;&rarr;&times;&eacute;</p>"));
}

TEST(Unicode, FindWithoutCaseInAWindows1251Article) {
    ViewerFixture f;
    f.view.LoadFromFile(f.Write("w.htm", W("<p>Озеро и ЁЖИК</p>")));
    ASSERT_TRUE(f.view.Find(u"озеро", false));
    EXPECT_EQ(f.view.SelText(), "Озеро");
    ASSERT_TRUE(f.view.Find(u"ёжик", false));
    EXPECT_EQ(f.view.SelText(), "ЁЖИК\n");
}
