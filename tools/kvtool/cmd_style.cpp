// kvtool style: the style list after reading a document's STYLE elements, one line per key.

#include <cstdio>

#include "html/reader/properties.h"
#include "html/reader/tokenizer.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {
namespace {

constexpr const char* kSlotNames[] = {
    "link-color",    "link-background-color",    "link-text-decoration",
    "hover-color",   "hover-background-color",   "hover-text-decoration",
    "visited-color", "visited-background-color", "visited-text-decoration"};

bool IsColorIndex(int index) {
    using namespace kv;
    return index == piColor || index == piBackgroundColor || index == piBorderColor ||
           index == piLinkColor || index == piLinkBackground || index == piHoverColor ||
           index == piHoverBackground || index == piVisitedColor || index == piVisitedBackground;
}

// " name=value" for every value the entry holds; texts quoted (with \" and \\ escaped),
// colours in hexadecimal.
std::string FormatValues(const kv::TProperties& entry) {
    using namespace kv;
    std::string out;
    for (int i = 0; i < kPropertyCount; ++i) {
        const TPropValue& value = entry.Values[i];
        std::string text;
        if (const auto* s = std::get_if<std::string>(&value)) {
            if (s->empty()) continue;
            text = '"';
            for (char c : *s) {
                if (c == '"' || c == '\\') text += '\\';
                text += c;
            }
            text += '"';
        } else if (const auto* n = std::get_if<int>(&value)) {
            if (*n == kUnset || (i == piZIndex && *n == 0)) continue;
            char buffer[16];
            if (*n == kAutoParagraphSpace) {
                text = "auto";
            } else if (IsColorIndex(i)) {
                std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(*n));
                text = buffer;
            } else {
                text = std::to_string(*n);
            }
        } else if (const auto* d = std::get_if<double>(&value)) {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%g", *d);
            text = buffer;
        } else {
            continue;
        }
        out += ' ';
        out += i < kStyledProperties ? std::string(PropertyName(i))
                                     : kSlotNames[i - kStyledProperties];
        out += '=' + text;
    }
    return out;
}

}  // namespace

bool ReadWholeFile(const std::string& name, std::string& text);

int Style(const Args& args) {
    bool defaults = false;
    std::string file;
    for (const auto& arg : args) {
        if (arg == "--defaults") {
            defaults = true;
        } else if (file.empty()) {
            file = arg;
        } else {
            file.clear();
            break;
        }
    }
    if (file.empty()) {
        PrintError("usage: kvtool style [--defaults] FILE\n");
        return 2;
    }
    std::string text;
    if (!ReadWholeFile(file, text)) {
        PrintError("kvtool: cannot read " + std::string(file) + "\n");
        return 1;
    }
    kv::TStyleList styles;
    // The viewer's defaults of the encyclopedia's main window.
    if (defaults)
        styles.BuildDefaults("MS Sans Serif", "MS Sans Serif", 10, 10, 1, true, 0x0000FF, 0x800080,
                             0xFF0000, 0, 10);
    kv::THtmlReader reader;
    reader.Start(text);
    int status = 0;
    try {
        reader.ReadChar();
        do {
            reader.NextToken();
            if (reader.Symbol == kv::sySTYLE) reader.ReadStyleElement(styles);
        } while (reader.Symbol != kv::syEof);
    } catch (const kv::EParseError& error) {
        PrintError(std::string("kvtool: ") + error.what() + "\n");
        status = 1;
    }
    std::string out;
    for (const auto& [sort, entry] : styles.Entries())
        out += entry->ElemTag + FormatValues(*entry) + '\n';
    Print(out);
    return status;
}

}  // namespace kvtool
