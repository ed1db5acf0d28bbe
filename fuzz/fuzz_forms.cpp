// Fuzz target: any bytes as an HTML document read with every handler of the viewer set
// (scripts, META, background sound, include directives that splice text in, linked sheets
// served from memory), laid out and painted with its form controls, every control clicked,
// every form's submission lines built, and a print copy laid out and printed. Must never crash,
// hang or grow without bound.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "html/layout/builder.h"
#include "platform/canvas.h"
#include "platform/messages.h"

namespace {

// A host with every reading handler, so scripts, sounds, includes and linked sheets are read.
struct TEveryHandler : kv::TDocumentHost {
    bool Handles(kv::THandler handler) const override {
        return handler != kv::THandler::Bitmap && handler != kv::THandler::ImageStream;
    }
    void Include(const std::string&, const std::vector<std::string>& params,
                 std::string& buffer) override {
        buffer = "<input name=inc><!--#include x-->";
        if (!params.empty()) buffer += params.front().substr(0, 64);
    }
    bool StreamRequest(const std::string& url, std::string& sheet) override {
        sheet = url;  // the name itself read as a sheet
        return true;
    }
};

void Build(kv::TSectionList& document, std::string_view html) {
    kv::THtmlBuilder builder(document);
    builder.LoadHtmlText(html);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 200000) return 0;
    kv::messages::setHook(
        [](kv::messages::Kind, const std::string&) { return kv::messages::Answer::Ok; });
    const int width = (int(data[0]) << 4) - 200;
    const std::string_view html(reinterpret_cast<const char*>(data + 1), size - 1);
    kv::TTestFontEngine fonts;
    TEveryHandler host;
    kv::TSectionList document(fonts);
    document.SetHost(&host);
    document.SetViewImages(false);  // no file access
    Build(document, html);
    kv::TRecordingCanvas canvas(fonts);
    int maxWidth = 0;
    document.DoLayout(canvas, width, 400, maxWidth);
    document.Paint(canvas, QRect(0, 0, 800, 600), 0, 0);
    for (std::size_t i = 0; i < document.FormControlList.size() && i < 500; ++i)
        document.FormControlList[i]->Activate(int(i % 7), int(i % 5));
    for (const auto& form : document.Forms) form->Results();
    {
        kv::TSectionList copy(document, fonts);
        kv::TRecordingCanvas printer(fonts);
        printer.SetPrinter(true, 2);
        copy.DoLayout(printer, width, 400, maxWidth);
        copy.PaintPage(printer, QRect(0, 0, 800, 1000), 0, 0);
    }
    document.SetScrollTop(200);
    document.Paint(canvas, QRect(0, 0, 800, 600), 0, 0);
    document.Clear();
    kv::messages::setHook({});
    return 0;
}
