// Fuzz target: the tokenizer over arbitrary bytes, with style elements read by the sheet parser
// and an include handler that splices text, as the document builder drives it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "html/reader/properties.h"
#include "html/reader/tokenizer.h"

namespace {

// Every include directive gives text back, itself holding markup and a directive.
struct TIncludeEcho : kv::TDocumentHost {
    bool Handles(kv::THandler handler) const override { return handler == kv::THandler::Include; }
    void Include(const std::string& command, const std::vector<std::string>& params,
                 std::string& buffer) override {
        buffer = command + "<b>" + (params.empty() ? std::string() : params.front()) + "</b>";
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    // Every fifth input is read as UTF-8 whatever its bytes (invalid sequences included).
    if (size % 5 == 0) text.insert(0, "\xEF\xBB\xBF");
    size = text.size();
    kv::THtmlReader reader;
    kv::TIDNameList names;
    kv::TStyleList styles;
    reader.IDNames = &names;
    TIncludeEcho host;
    reader.Host = &host;
    reader.KeepSpaces = size % 2;
    reader.NoBreakRun = size % 3 == 0;
    reader.Start(text);
    size_t tokens = 0;
    try {
        reader.ReadChar();
        do {
            reader.NextToken();
            if (reader.Token.Length() > 100 || ++tokens > 4 * size + 16) __builtin_trap();
            // Whatever the encoding, a character's source index is a byte index of the input.
            for (const int32_t index : reader.Token.Indexes)
                if (index < 0 || static_cast<size_t>(index) >= size) __builtin_trap();
            // A character outside the BMP keeps its two units together in one token.
            const std::u16string& units = reader.Token.Text;
            for (size_t k = 0; k < units.size(); ++k) {
                const bool high = units[k] >= 0xD800 && units[k] <= 0xDBFF;
                const bool low = units[k] >= 0xDC00 && units[k] <= 0xDFFF;
                if (low && (k == 0 || !(units[k - 1] >= 0xD800 && units[k - 1] <= 0xDBFF)))
                    __builtin_trap();
                if (high && (k + 1 == units.size() || !(units[k + 1] >= 0xDC00))) __builtin_trap();
            }
            if (reader.Symbol == kv::sySTYLE) reader.ReadStyleElement(styles);
            if (reader.Symbol == kv::sySPAN) reader.TagAttributes->InlineStyle();
        } while (reader.Symbol != kv::syEof);
    } catch (const kv::EParseError&) {
    }
    return 0;
}
