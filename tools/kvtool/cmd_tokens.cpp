// kvtool tokens: the token stream of an HTML file, one token per line.

#include <cstdio>
#include <fstream>
#include <sstream>

#include "html/reader/properties.h"
#include "html/reader/tokenizer.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {
namespace {

// Bytes below 32 and the no-break space as \xNN; quote and backslash escaped inside quotes.
std::string Escape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        const bool noBreak = text.substr(i, 2) == "\xC2\xA0";
        if (noBreak) c = 0xA0, ++i;
        if (c < 32 || noBreak) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string TagName(std::string_view lowerName, int headingLevel) {
    std::string name = kv::text::upperText(lowerName);
    if (name == "H") name += std::to_string(headingLevel);
    return name;
}

void PrintToken(const kv::THtmlReader& reader, std::string& out) {
    using namespace kv;
    const TSymbol symbol = reader.Symbol;
    if (!StartName(symbol).empty()) {
        out += "start " + TagName(StartName(symbol), reader.HeadingLevel);
        for (const TAttribute& attribute : reader.TagAttributes->Items()) {
            const std::string_view name = AttributeName(attribute.Symbol);
            out += ' ';
            out += name.empty() ? std::string_view("OTHER") : name;
            out +=
                '=' + std::to_string(attribute.NumValue) + ":\"" + Escape(attribute.StrValue) + '"';
        }
    } else if (!EndName(symbol).empty()) {
        out += "end " + TagName(EndName(symbol), reader.HeadingLevel);
    } else if (symbol == syText) {
        out += "text " + std::to_string(reader.Token.Indexes.front()) + " \"" +
               Escape(text::fromUtf16(reader.Token.Text)) + '"';
    } else if (symbol == syOther) {
        out += "other " + std::to_string(reader.Token.Indexes.front()) + ' ' +
               Escape(text::fromUtf16(reader.Token.Text));
    } else if (symbol == syUnknown) {
        out += "unknown";
    } else {
        out += "eof";
    }
    out += '\n';
}

}  // namespace

bool ReadWholeFile(const std::string& name, std::string& text) {
    std::ifstream file(kv::text::toPath(std::string(name)), std::ios::binary);
    if (!file) return false;
    std::ostringstream buffer;
    buffer << file.rdbuf();
    text = buffer.str();
    return true;
}

int Tokens(const Args& args) {
    if (args.size() != 1) {
        PrintError("usage: kvtool tokens FILE\n");
        return 2;
    }
    std::string text;
    if (!ReadWholeFile(args[0], text)) {
        PrintError("kvtool: cannot read " + std::string(args[0]) + "\n");
        return 1;
    }
    kv::THtmlReader reader;
    kv::TIDNameList names;
    kv::TStyleList styles;  // STYLE content is read by the sheet parser, as the builder does
    reader.IDNames = &names;
    reader.Start(text);
    std::string out = "encoding " + std::string(kv::EncodingName(reader.Encoding)) + "\n";
    try {
        reader.ReadChar();
        do {
            reader.NextToken();
            PrintToken(reader, out);
            if (reader.Symbol == kv::sySTYLE) reader.ReadStyleElement(styles);
        } while (reader.Symbol != kv::syEof);
    } catch (const kv::EParseError& error) {
        out += std::string("error \"") + error.what() + "\"\n";
    }
    Print(out);
    return 0;
}

}  // namespace kvtool
