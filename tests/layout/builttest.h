#pragma once
// Documents built from HTML text and laid out with the fixed-metrics test font, for the
// builder's tests.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "html/layout/builder.h"
#include "platform/canvas.h"

namespace kv::test {

struct Built {
    TSectionList doc{TTestFontEngine::Shared()};
    TRecordingCanvas canvas;
    std::string title;
    int height = 0, maxWidth = 0;

    explicit Built(std::string_view html, int width = 400) {
        THtmlBuilder builder(doc);
        builder.LoadHtmlText(html);
        title = builder.Title;
        height = doc.DoLayout(canvas, width, 400, maxWidth);
    }
    std::string Paint() {
        canvas.ClearLines();
        doc.Paint(canvas, QRect(0, 0, 1000, 5000), 0, 0);
        return canvas.Text();
    }
    // Every text section in document order.
    std::vector<TSection*> Texts() {
        std::vector<TSection*> out;
        Collect(doc.Sections, out);
        return out;
    }
    static void Collect(const std::vector<std::unique_ptr<TSectionBase>>& list,
                        std::vector<TSection*>& out) {
        for (const auto& s : list) {
            if (auto* t = dynamic_cast<TSection*>(s.get())) out.push_back(t);
            if (auto* b = dynamic_cast<TBlock*>(s.get())) Collect(b->Content.Sections, out);
        }
    }
};

template <class T>
void CollectAll(const std::vector<std::unique_ptr<TSectionBase>>& list, std::vector<T*>& out) {
    for (const auto& s : list) {
        if (auto* t = dynamic_cast<T*>(s.get())) out.push_back(t);
        if (auto* b = dynamic_cast<TBlock*>(s.get())) CollectAll(b->Content.Sections, out);
        if (auto* table = dynamic_cast<TTableBlock*>(s.get()))
            for (const auto& row : table->Rows)
                for (const auto& cell : row.Cells) CollectAll(cell->Cell.Sections, out);
    }
}

inline TTableBlock* FirstTable(Built& b) {
    for (const auto& s : b.doc.Sections) {
        if (auto* t = dynamic_cast<TTableBlock*>(s.get())) return t;
        if (auto* block = dynamic_cast<TBlock*>(s.get()))
            for (const auto& inner : block->Content.Sections)
                if (auto* t = dynamic_cast<TTableBlock*>(inner.get())) return t;
    }
    return nullptr;
}

// The x of the painted text run, or -1.
inline int TextX(const std::string& painted, const std::string& text) {
    const std::size_t at = painted.find("\"" + text + "\"");
    if (at == std::string::npos) return -1;
    const std::size_t line = painted.rfind('\n', at) + 1;  // npos + 1 is 0
    return std::stoi(painted.substr(line + 5));
}

// The y of the painted text run, or -1.
inline int TextY(const std::string& painted, const std::string& text) {
    const std::size_t at = painted.find("\"" + text + "\"");
    if (at == std::string::npos) return -1;
    const std::size_t line = painted.rfind('\n', at) + 1;
    const std::size_t y = painted.find(' ', line + 5);
    return std::stoi(painted.substr(y + 1));
}

}  // namespace kv::test
