#pragma once
// A viewer set up the way the shell sets it, shown off screen, and article files to load.

#include <string>

#include "html/viewer/htmlview.h"
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
        return cp1251::fromPath(folder.Write(name, bytes));
    }
};

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
