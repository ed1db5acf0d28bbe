// Fuzz target: any bytes as an HTML document, built, laid out at a width taken from the input,
// painted on the recording canvas and queried. Must never crash, hang or grow without bound.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "html/layout/builder.h"
#include "platform/canvas.h"
#include "platform/messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 300000) return 0;
    kv::messages::setHook(
        [](kv::messages::Kind, const std::string&) { return kv::messages::Answer::Ok; });
    const int width = (int(data[0]) << 4) - 200;  // -200 .. 3880
    const std::string_view html(reinterpret_cast<const char*>(data + 1), size - 1);
    kv::TTestFontEngine fonts;
    kv::TSectionList document(fonts);
    document.SetViewImages(false);  // no file access
    {
        kv::THtmlBuilder builder(document);
        builder.LoadHtmlText(html);
    }
    kv::TRecordingCanvas canvas(fonts);
    int maxWidth = 0;
    const int height = document.DoLayout(canvas, width, 400, maxWidth);
    document.Select(3, 40);
    document.SetShowCaret(true);
    document.SetScrollTop(height / 2);
    document.Paint(canvas, QRect(0, 0, 800, 600), 0, 0);
    kv::TLinkHit link;
    kv::TCursorHit hit;
    for (int y = 0; y < 1200; y += 97) {
        document.LinkAt(canvas, (y * 7) % 700, height / 2 + y, link);
        document.CursorAt(canvas, (y * 3) % 700, height / 2 + y, hit);
    }
    document.SearchText(0, u"ab", false);
    document.SelectedText();
    int x = 0, y = 0;
    document.CursorToPoint(&canvas, 10, y, x);
    document.SourceToDoc(int(size / 2), true);
    document.Clear();
    kv::messages::setHook({});
    return 0;
}
