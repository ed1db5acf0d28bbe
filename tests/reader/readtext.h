#pragma once
// The text of a whole HTML stream as the engine holds it, for the reader's tests.

#include <string>
#include <string_view>

#include "html/reader/tokenizer.h"

namespace kvtest {

inline std::u16string TextOf(std::string_view bytes) {
    kv::THtmlReader reader;
    reader.Start(bytes);
    reader.ReadChar();
    std::u16string text;
    do {
        reader.NextToken();
        if (reader.Symbol == kv::syText) text += reader.Token.Text;
    } while (reader.Symbol != kv::syEof);
    return text;
}

}  // namespace kvtest
