// Fuzz target: the style-sheet parser (a sheet, then the same bytes as an inline style) and the
// cascade over the rules it stored.

#include <cstddef>
#include <cstdint>
#include <string>

#include "html/reader/properties.h"
#include "html/reader/stylesheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    kv::TStyleList styles;
    styles.BuildDefaults("Arial", "Courier New", 10, 10, 1, true, 0xFF, 0xFF00, 0xFF0000, 0, 10);
    kv::TStringSheetSource source(text);
    kv::ParseStyleSheet(styles, source, size % 2 ? "http://host/dir/" : "/base/dir/");
    kv::TProperties inlineProps;
    kv::ParseInlineStyle(text, inlineProps);
    kv::TPropStack stack;
    stack.PushRoot(styles);
    for (const char* tag : {"body", "div", "ul", "li", "ul", "p", "a"}) {
        kv::TProperties& props = stack.Push(styles, tag, "c", "i", &inlineProps, "");
        props.LineHeightFor(16);
        props.BackgroundPosition();
        props.ListStyleImageUrl();
        props.LengthOf(kv::piMarginLeft, 640, 0);
    }
    stack.Pop("ul");
    return 0;
}
