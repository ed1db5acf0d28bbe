// The article as a screen reader reads it: the text in reading order without control
// characters, the two ends of every boundary kind, the selection a Find makes, character
// rectangles through the zoom, and links that name their target and follow it.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCoreApplication>

#include "html/viewer/viewaccessible.h"
#include "tests/viewer/viewertest.h"

namespace kv {
namespace {

// The interface is made the first time a viewer is asked for, which showing it already does.
struct Fixture {
    Fixture() { InstallViewerAccessibility(); }
};

struct Reader {
    QAccessibleInterface* article;
    QAccessibleTextInterface* text;

    explicit Reader(THtmlView& view) {
        article = QAccessible::queryAccessibleInterface(&view);
        text = article ? article->textInterface() : nullptr;
    }
    QString All() const { return text->text(0, text->characterCount()); }
    // textAtOffset as [start, end) and the text.
    std::tuple<int, int, QString> At(int offset, QAccessible::TextBoundaryType type) const {
        int start = 0, end = 0;
        const QString piece = text->textAtOffset(offset, type, &start, &end);
        return {start, end, piece};
    }
};

const std::string kArticle = cp1251::fromUtf8(
    "<html><head><title>Заголовок</title></head><body>"
    "<p>Первое слово и<br>второе. Другая фраза.</p>"
    "<table><tr><td>A1</td><td>B1</td></tr><tr><td>A2</td><td>B2</td></tr></table>"
    "<p>Картинка <img src=none.gif width=20 height=20> и <a href=\"other.htm#far\">ссылка"
    " <b>дальше</b></a> конец</p></body></html>");

TEST(AccessibleArticle, TextInReadingOrderAndItsBoundaries) {
    Fixture installed;
    test::ViewerFixture f;
    f.view.LoadFromFile(f.Write("a.htm", kArticle));
    const Reader reader(f.view);
    ASSERT_TRUE(reader.text);
    EXPECT_EQ(reader.article->role(), QAccessible::Document);
    EXPECT_EQ(reader.article->text(QAccessible::Name), QStringLiteral("Заголовок"));

    const QString all = reader.All();
    for (QChar c : all)
        EXPECT_TRUE(c == QLatin1Char('\n') || c >= QLatin1Char(' ')) << int(c.unicode());
    EXPECT_TRUE(all.startsWith(QStringLiteral("Первое слово и\nвторое.")));
    EXPECT_TRUE(all.endsWith(QStringLiteral("конец\n")));
    const auto a1 = all.indexOf(QStringLiteral("A1")), b1 = all.indexOf(QStringLiteral("B1"));
    const auto a2 = all.indexOf(QStringLiteral("A2")), b2 = all.indexOf(QStringLiteral("B2"));
    EXPECT_TRUE(0 < a1 && a1 < b1 && b1 < a2 && a2 < b2) << a1 << b1 << a2 << b2;

    // The first and the last character; at the end nothing, past it not even a place.
    const int count = reader.text->characterCount();
    EXPECT_EQ(reader.At(0, QAccessible::CharBoundary), std::make_tuple(0, 1, QStringLiteral("П")));
    EXPECT_EQ(reader.At(count - 1, QAccessible::CharBoundary),
              std::make_tuple(count - 1, count, QStringLiteral("\n")));
    EXPECT_EQ(reader.At(count, QAccessible::WordBoundary),
              std::make_tuple(count, count, QString()));
    EXPECT_EQ(reader.At(count + 1, QAccessible::WordBoundary), std::make_tuple(-1, -1, QString()));

    // A word from its first and from its last letter; lines end at the hard break.
    const int word = int(all.indexOf(QStringLiteral("слово")));
    for (int offset : {word, word + 4})
        EXPECT_EQ(reader.At(offset, QAccessible::WordBoundary),
                  std::make_tuple(word, word + 5, QStringLiteral("слово")));
    EXPECT_EQ(std::get<2>(reader.At(0, QAccessible::LineBoundary)),
              QStringLiteral("Первое слово и\n"));
    const int other = int(all.indexOf(QStringLiteral("Другая")));
    EXPECT_EQ(std::get<2>(reader.At(other + 3, QAccessible::SentenceBoundary)),
              QStringLiteral("Другая фраза."));
    int start = 0, end = 0;
    EXPECT_EQ(reader.text->textAfterOffset(0, QAccessible::LineBoundary, &start, &end),
              QStringLiteral("второе. Другая фраза.\n"));
    EXPECT_EQ(reader.text->textBeforeOffset(0, QAccessible::WordBoundary, &start, &end), QString());
}

TEST(AccessibleArticle, SelectionGeometryAndLinks) {
    Fixture installed;
    test::ViewerFixture f;
    f.Write("other.htm", "<p>Other</p>");
    f.view.LoadFromFile(f.Write("a.htm", kArticle));
    const Reader reader(f.view);
    ASSERT_TRUE(reader.text);
    const QString all = reader.All();

    ASSERT_TRUE(f.view.Find("фраза", false));
    int start = -1, end = -1;
    reader.text->selection(0, &start, &end);
    EXPECT_EQ(all.mid(start, end - start), QStringLiteral("фраза"));
    EXPECT_EQ(reader.text->cursorPosition(), end);
    // A reader's caret at the last character: Find goes on from there and finds no more.
    const int last = int(all.lastIndexOf(QStringLiteral("конец")));
    reader.text->setCursorPosition(last);
    EXPECT_EQ(reader.text->cursorPosition(), last);
    EXPECT_FALSE(f.view.Find("фраза", false));

    // Character rectangles are screen rectangles and grow with the zoom.
    const QRect first = reader.text->characterRect(0);
    const QPoint corner = f.view.PaintPanel()->mapToGlobal(QPoint(0, 0));
    EXPECT_GE(first.left(), corner.x());
    EXPECT_GE(first.top(), corner.y());
    EXPECT_EQ(reader.text->offsetAtPoint(first.center()), 0);
    f.view.SetZoom(200);
    EXPECT_NEAR(reader.text->characterRect(0).height(), 2 * first.height(), 2);

    ASSERT_EQ(reader.article->childCount(), 1);
    QAccessibleInterface* link = reader.article->child(0);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_EQ(link->text(QAccessible::Name), QStringLiteral("ссылка дальше"));
    EXPECT_EQ(link->text(QAccessible::Description), QStringLiteral("other.htm#far"));
    QAccessibleHyperlinkInterface* hyperlink = link->hyperlinkInterface();
    ASSERT_TRUE(hyperlink);
    EXPECT_EQ(all.mid(hyperlink->startIndex(), hyperlink->endIndex() - hyperlink->startIndex()),
              QStringLiteral("ссылка дальше"));
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.view.CurrentFile().ends_with("other.htm")) << f.view.CurrentFile();
}

}  // namespace
}  // namespace kv
