#pragma once
// A viewer set up the way the shell sets it, shown off screen, and article files to load.

#include <QPoint>
#include <string>

#include "html/viewer/htmlview.h"
#include "platform/canvas.h"
#include "platform/codec.h"
#include "tests/common/testutil.h"

namespace kv::test {

struct ViewerFixture {
    kvtest::TempFolder folder;
    THtmlView view;

    explicit ViewerFixture(int width = 400, int height = 300) {
        view.SetDefBackground(0xFFFFFF);
        view.SetBorderStyle(THTMLBorderStyle::htNone);
        view.SetDefFontName("MS Sans Serif");
        view.SetDefPreFontName("MS Sans Serif");
        view.SetDefFontSize(10);
        view.SetScrollBars(TScrollStyle::ssVertical);
        view.resize(width, height);
        view.show();  // resizes reach the viewer at once
    }

    // Writes a Windows-1251 file below the folder; returns its Windows-1251 path.
    std::string Write(const std::string& name, const std::string& bytes) {
        return text::fromPath(folder.Write(name, bytes));
    }
};

// The panel point a little inside the first character of the `n`th occurrence of a text
// (Windows-1251), as the viewer's layout placed it; (-1, -1) when not found.
inline QPoint PointOf(THtmlView& view, std::u16string_view text, int n = 1) {
    TSectionList& doc = view.Document();
    int at = -1;
    for (int i = 0; i < n; ++i) at = doc.SearchText(at + 1, text, true);
    if (at < 0) return QPoint(-1, -1);
    TImageCanvas measure(1, 1);
    int y = 0, x = 0;
    if (!doc.CursorToPoint(&measure, at, y, x)) return QPoint(-1, -1);
    return QPoint(x + 2 - view.HScrollPos(), y + 6 - view.VScrollPos());
}

inline QPoint PointOf(THtmlView& view, const std::string& text, int n = 1) {
    return PointOf(view, kv::text::toUtf16(text), n);
}

// A click of the left button: press and release at one point.
inline void Click(THtmlView& view, QPoint p) {
    view.HtmlMouseDown(Qt::LeftButton, Qt::NoModifier, p.x(), p.y());
    view.HtmlMouseUp(Qt::LeftButton, Qt::NoModifier, p.x(), p.y());
}

// An article of `count` paragraphs; paragraph `anchorAt` holds <a name="anchor">.
inline std::string Article(int count, int anchorAt = -1, const std::string& anchor = "Topic") {
    std::string text = "<html><head><title>Article</title></head><body>";
    for (int i = 0; i < count; ++i) {
        text += "<p>";
        if (i == anchorAt) text += "<a name=\"" + anchor + "\">Here</a> ";
        text += "Paragraph " + std::to_string(i) + " with some words to fill a line or two.</p>";
    }
    return text + "</body></html>";
}

}  // namespace kv::test
