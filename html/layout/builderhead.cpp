// The document builder's head elements and scripts: linked style sheets, META (with the
// character set of a content type), background sound, and script text for the viewer.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "html/layout/builder.h"
#include "html/reader/encoding.h"
#include "html/reader/stylesheet.h"
#include "platform/codec.h"
#include "platform/paths.h"

namespace kv {

namespace {

// Nobody links a style sheet this big; a bigger file is not read.
constexpr std::uintmax_t kMaxSheetSize = 4u * 1024 * 1024;

bool ReadSheetFile(const std::string& name, std::string& text) {
    std::filesystem::path path = text::toPath(name);
    if (auto real = paths::findCaseInsensitive(path)) path = *real;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) ||
        std::filesystem::file_size(path, error) > kMaxSheetSize)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text = bytes.str();
    return true;
}

// A linked sheet in whatever encoding it is written (a mark, valid UTF-8, else Windows-1251) as
// the UTF-8 the sheet parser reads.
std::string SheetText(std::string_view bytes) {
    const TEncoding encoding = DetectEncoding(bytes);
    if (encoding == TEncoding::Windows1251) return text::fromWindows1251(bytes);
    std::u32string characters;
    DecodeText(bytes, encoding, [&](char32_t ch, int32_t) { characters += ch; });
    return QString::fromStdU32String(characters).toStdString();
}

// CR LF, LF CR and LF become CR, as the document's own line ends do.
std::string NormaliseLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += '\r';
            if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n') &&
                text[i + 1] != c)
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// The character set code named in a content type, or -1.
int CharsetOf(const std::string& content) {
    static const struct {
        const char* text;
        int code;
    } kNames[] = {{"1252", 0},     {"8859-1", 0},   {"1253", 161},   {"8859-7", 161}, {"1250", 238},
                  {"8859-2", 238}, {"1251", 204},   {"8859-5", 204}, {"koi8-r", 204}, {"1254", 162},
                  {"8859-3", 162}, {"8859-9", 162}, {"1257", 186},   {"8859-4", 186}};
    const std::string lower = text::lowerText(content);
    for (const auto& name : kNames)
        if (lower.find(name.text) != std::string::npos) return name.code;
    return -1;
}

}  // namespace

// TITLE, BODY, BASE, LINK, META and BGSOUND count before any content; false for any other
// token, and for these when content came first (the caller passes them over).
bool THtmlBuilder::ReadHeadElement() {
    const TSymbol s = reader_.Symbol;
    const bool head =
        s == syTITLE || s == syBODY || s == syBASE || s == syLINK || s == syMETA || s == syBGSOUND;
    if (!head || !BeforeContent()) return false;
    switch (s) {
    case syTITLE: ReadTitle(); return true;
    case syBODY: ReadBodyTag(); break;
    case syBASE: ReadBase(); break;
    case syLINK: ReadStyleLink(); break;
    case syMETA: ReadMeta(); break;
    default: ReadSound(); break;
    }
    reader_.NextToken();
    return true;
}

void THtmlBuilder::ReadTitle() {
    reader_.NextToken();
    while (reader_.Symbol == syText)
        Title += text::fromUtf16(reader_.Token.Text), reader_.NextToken();
    if (reader_.Symbol == syTITLEEnd) reader_.NextToken();
}

void THtmlBuilder::ReadBase() {
    for (const TLayoutAttr& a : Attributes()) {
        if (a.Symbol == atHREF)
            Base = a.Value;
        else if (a.Symbol == atTARGET)
            BaseTarget = a.Value;
    }
}

void THtmlBuilder::ReadStyleLink() {
    std::string rel, rev, href, media;
    for (const TLayoutAttr& a : Attributes()) {
        if (a.Symbol == atREL)
            rel = text::lowerText(a.Value);
        else if (a.Symbol == atREV)
            rev = text::lowerText(a.Value);
        else if (a.Symbol == atHREF)
            href = a.Value;
        else if (a.Symbol == atMEDIA)
            media = a.Value;
    }
    if ((rel != "stylesheet" && rev != "stylesheet") || href.empty()) return;
    if (!MediaRulesApply(doc_.Styles, media, reader_.ForPrint)) return;
    std::string text, base;
    try {
        TDocumentHost& host = doc_.Host();
        if (host.Handles(THandler::Stream)) {
            const std::string name = host.ExpandName(href);
            if (!host.StreamRequest(name, text)) return;
            base = UrlBase(name);
        } else {
            const std::string name = doc_.ExpandImageName(href);
            if (!ReadSheetFile(name, text)) return;  // a missing sheet is no error
            base = name.substr(0, name.find_last_of('/') + 1);
        }
    } catch (const Exception&) {
        return;
    }
    const std::string sheet = NormaliseLineEnds(SheetText(text));
    TStringSheetSource source(sheet);
    ParseStyleSheet(doc_.Styles, source, base, reader_.ForPrint);
}

void THtmlBuilder::ReadMeta() {
    std::string httpEq, name, content;
    for (const TLayoutAttr& a : Attributes()) {
        if (a.Symbol == atHTTP_EQUIV)
            httpEq = a.Value;
        else if (a.Symbol == atNAME)
            name = a.Value;
        else if (a.Symbol == atCONTENT)
            content = a.Value;
    }
    if (text::lowerText(httpEq) == "content-type") {
        if (const int code = CharsetOf(content); code >= 0) {
            stack_.Top().CharSetCode = std::uint8_t(code);
            SwitchFont();
        }
    }
    doc_.Host().Meta(httpEq, name, content);
}

void THtmlBuilder::ReadSound() {
    if (!doc_.Host().Handles(THandler::Sound)) return;
    std::string src;
    int loop = 1;
    bool hasSrc = false;
    for (const TLayoutAttr& a : Attributes()) {
        if (a.Symbol == atSRC)
            src = a.Value, hasSrc = true;
        else if (a.Symbol == atLOOP)
            loop = AttrNumber(a.Value);
    }
    if (hasSrc) doc_.Host().SoundRequest(src, loop, false);
}

// The script's text up to its end tag (or the end of input), comments included, each line
// end stored as CR LF, goes to the script handler. Without a handler it is passed over.
void THtmlBuilder::ReadScript() {
    if (!doc_.Host().Handles(THandler::Script)) {
        while (reader_.Symbol != sySCRIPTEnd && reader_.Symbol != syEof) reader_.NextToken();
        reader_.NextToken();
        return;
    }
    static constexpr std::string_view kEnd = "</script";
    std::string name, language;
    for (const TLayoutAttr& a : Attributes()) {
        if (a.Symbol == atNAME)
            name = a.Value;
        else if (a.Symbol == atLANGUAGE)
            language = a.Value;
    }
    reader_.ReadingScript = true;
    std::string script;
    script.reserve(32500);
    bool ended = false;
    while (reader_.CurChar != kEndOfInput) {
        if (reader_.CurChar == 13)
            script += "\r\n";
        else
            script += char(reader_.CurChar);
        if (script.size() >= kEnd.size() &&
            EqualNoCase(std::string_view(script).substr(script.size() - kEnd.size()), kEnd)) {
            script.resize(script.size() - kEnd.size());
            while (reader_.CurChar != '>' && reader_.CurChar != kEndOfInput) reader_.ReadChar();
            ended = true;
            break;
        }
        reader_.ReadChar();
    }
    reader_.ReadingScript = false;
    if (ended && reader_.CurChar == '>') reader_.ReadChar();
    doc_.Host().Script(name, language, script);
    reader_.NextToken();
}

}  // namespace kv
