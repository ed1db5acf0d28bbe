#pragma once
// Documents built from HTML for the form and head-element tests (fixed-metrics test font:
// 10 pt text is 13 pixels high with descent 3, every character 6 wide).

#include <QRect>
#include <string>
#include <string_view>
#include <vector>

#include "html/layout/blocks.h"
#include "html/layout/builder.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace kv::test {

struct FormDoc {
    TSectionList doc{TTestFontEngine::Shared()};
    TRecordingCanvas canvas;
    int height = 0, maxWidth = 0;

    FormDoc() { doc.SetViewImages(false); }
    explicit FormDoc(std::string_view html, int width = 600) : FormDoc() {
        Load(html);
        Layout(width);
    }
    void Load(std::string_view html, THtmlBuilder* configured = nullptr) {
        THtmlBuilder own(doc);
        THtmlBuilder& builder = configured ? *configured : own;
        builder.LoadHtmlText(html);
    }
    int Layout(int width) { return height = doc.DoLayout(canvas, width, 400, maxWidth); }
    std::string Paint(QRect clip = QRect(0, 0, 2000, 5000)) {
        canvas.ClearLines();
        doc.Paint(canvas, clip, 0, 0);
        return canvas.Text();
    }
    TFormControlObj& Control(std::size_t i) const { return *doc.FormControlList.at(i); }
    template <class T>
    T& As(std::size_t i) const {
        return dynamic_cast<T&>(Control(i));
    }

    // Every text section, tables and blocks included, in document order.
    std::vector<TSection*> Texts() const {
        std::vector<TSection*> out;
        Collect(doc.Sections, out);
        return out;
    }
    std::string AllText() const {
        std::string text;
        for (const TSection* s : Texts()) text += kv::cp1251::fromUtf16(s->Text) + "|";
        return text;
    }
    static void Collect(const std::vector<std::unique_ptr<TSectionBase>>& list,
                        std::vector<TSection*>& out) {
        for (const auto& s : list) {
            if (auto* t = dynamic_cast<TSection*>(s.get())) out.push_back(t);
            if (auto* b = dynamic_cast<TBlock*>(s.get())) Collect(b->Content.Sections, out);
            if (auto* table = dynamic_cast<TTableBlock*>(s.get()))
                for (const TTableRow& row : table->Rows)
                    for (const auto& cell : row.Cells) Collect(cell->Cell.Sections, out);
        }
    }
};

}  // namespace kv::test
