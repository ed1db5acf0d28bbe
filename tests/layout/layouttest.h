#pragma once
// Building small documents for layout tests: the fixed-metrics test font (10 pt: 13 pixels
// high, ascent 10, descent 3, every character 6 wide).

#include <numeric>
#include <string>
#include <vector>

#include "html/layout/sectionlist.h"
#include "html/layout/textsection.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace kv::test {

inline std::vector<int> Positions(int first, std::size_t n) {
    std::vector<int> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

struct Doc {
    TSectionList list{TTestFontEngine::Shared()};
    TRecordingCanvas canvas;
    int maxWidth = 0;
    int source = 0;   // next source position
    int pageEnd = 0;  // where the last paint ended the page

    template <class S = TSection>
    S& Add(const std::string& text, TSectionStyle style = {}) {
        auto section = std::make_unique<S>(&list, style);
        S& ref = *section;
        Append(ref, text);
        list.AppendSection(std::move(section));
        return ref;
    }
    void Append(TSection& section, const std::string& text) {
        section.AppendToken(kv::cp1251::toUtf16(text), Positions(source, text.size()));
        source += int(text.size());
    }
    int Layout(int width) { return list.DoLayout(canvas, width, 400, maxWidth); }
    std::string Paint(QRect clip = QRect(0, 0, 1000, 1000)) {
        canvas.ClearLines();
        pageEnd = list.PaintPage(canvas, clip, 0, 0);
        return canvas.Text();
    }
};

inline std::string Text(const TSection& s) {
    return kv::cp1251::fromUtf16(s.Text);
}

}  // namespace kv::test
