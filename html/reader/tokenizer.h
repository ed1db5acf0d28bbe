#pragma once
// The HTML tokenizer: turns the bytes of one document into tokens (start and end
// tags with their attributes, text runs, single other characters, unknown tags, end of input).
//
// The bytes are read in the document's encoding (see encoding.h): Windows-1251 and UTF-8 bytes in
// place, any other encoding decoded to UTF-8 first. Markup is ASCII, so the character level
// works on bytes; the text of a token is UTF-16 (each character decoded once, as it enters the
// token), attribute values are Windows-1251 ("?" for a character the code page lacks). Character
// level: every line end (CR, LF, CR LF, LF CR) reaches the reader as one CR, a tab
// as a space; comments (<!-- ... -->) and declarations (<!DOCTYPE ...>) vanish; include directives
// (<!--#command ...-->) splice the handler's text in. Every character knows its source index
// (0-based byte index in the main text; characters of an include buffer do not advance it).
//
// Token level (NextToken): Symbol tells the kind; Token holds the text of a text token with the
// source index of every character; TagAttributes the attributes of the last tag; HeadingLevel
// the digit of <H1>..<H6>. Text runs are at most 100 characters, white space collapsed to one
// space unless KeepSpaces (or to character 5 inside a no-break run).
//
// Typical use (the document builder):
//     THtmlReader reader;
//     reader.IDNames = &document.IDNames;
//     reader.Start(text);          // text stays alive during the parse
//     reader.ReadChar();
//     reader.NextToken();
//     while (reader.Symbol != syEof) { ...; reader.NextToken(); }
// An unterminated comment raises EParseError("Open Comment at End of HTML File").

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "html/reader/documenthost.h"
#include "html/reader/encoding.h"
#include "html/reader/names.h"
#include "html/reader/symbols.h"
#include "html/reader/tokens.h"
#include "platform/codec.h"
#include "platform/errors.h"

namespace kv {

class TStyleList;

class EParseError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr unsigned char kEndOfInput = 26;
inline constexpr char kNoBreakSpace = 5;  // a collapsed space inside a no-break run

class THtmlReader {
public:
    enum TLineEndState : uint8_t { leNone, leCR, leLF };

    THtmlReader();
    ~THtmlReader();
    THtmlReader(const THtmlReader&) = delete;
    THtmlReader& operator=(const THtmlReader&) = delete;

    // Resets the reader for a parse of `text` (not copied: it must outlive the parse).
    void Start(std::string_view text);

    // Character level.
    unsigned char ReadRawChar() {
        if (mode_ == smMain) [[likely]] {
            if (pos_ < end_) [[likely]] {
                ++SourceIndex;
                return static_cast<unsigned char>(*pos_++);
            }
            SourceIndex = static_cast<int32_t>(end_ - begin_);
            return kEndOfInput;
        }
        return ReadOtherChar();
    }
    unsigned char LookAhead() const;
    void ReadCharBasic() {
        unsigned char c = ReadRawChar();
        if (LineEndState != leNone) [[unlikely]] {
            if ((c == 10 && LineEndState == leCR) || (c == 13 && LineEndState == leLF))
                c = ReadRawChar();
        }
        if (c == 10) {
            LineEndState = leLF;
            c = 13;
        } else if (c == 13) {
            LineEndState = leCR;
        } else {
            LineEndState = leNone;
            if (c == 9) c = ' ';
        }
        CurChar = c;
        CurUpper = (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
        if (c == kEndOfInput && SkippingComment) [[unlikely]]
            OpenCommentError();
    }
    void ReadChar() {
        SkippingComment = false;
        ReadCharBasic();
        if (CurChar == '<' && !ReadingScript && MarkupAhead()) [[unlikely]]
            SkipMarkup();
    }
    // A comment, a declaration ("<!") or a processing instruction ("<?") follows the "<".
    bool MarkupAhead() const {
        const unsigned char next = LookAhead();
        return next == '!' || next == '?';
    }
    void SkipBlanks() {
        while (CurChar == ' ' || CurChar == 13) ReadChar();
    }

    // Token level.
    void NextToken();

    // Decodes the character reference that starts at the current "&" into `out` (the text as
    // written when it is not a reference); the character after it becomes current. For
    // readers that take content character by character (text areas).
    void ReadCharReference(TokenObj& out) { ReadReference(out); }

    // The Unicode character that the current byte starts (the rest of its UTF-8 sequence is
    // read, so that its last byte becomes current). For readers that take content character by
    // character.
    char32_t TakeCharacter() {
        if (!utf8_ || CurChar < 0x80) [[likely]]
            return utf8_ ? CurChar : cp1251::toUnicode(CurChar);
        return TakeSequence();
    }

    // Reads the content of a STYLE element (the reader stands at the ">" of its start tag) into
    // `styles`, up to the "<" of the end tag, which becomes the current character. A sheet whose
    // MEDIA attribute does not apply is read past, not applied.
    void ReadStyleElement(TStyleList& styles);

    // The current character (after normalisation) and its upper case (a-z only change).
    unsigned char CurChar = kEndOfInput;
    unsigned char CurUpper = kEndOfInput;
    TEncoding Encoding = TEncoding::Windows1251;  // the document's, decided by Start
    TSymbol Symbol = syNone;
    TokenObj Token;
    std::unique_ptr<TAttributeList> TagAttributes;
    int HeadingLevel = 0;
    int32_t SourceIndex = -1;
    TLineEndState LineEndState = leNone;
    bool SkippingComment = false;
    bool ReadingScript = false;  // script text: comments are not recognised
    bool KeepSpaces = false;     // preformatted text: white space is kept
    bool NoBreakRun = false;     // collapsed white space becomes character 5
    bool ForPrint = false;       // the document is built for a printout: print media apply

    TIDNameList* IDNames = nullptr;  // element ids are registered here (not owned)
    TDocumentHost* Host = nullptr;  // include directives go to it when it has a handler (not owned)

private:
    // smMain reads the bytes of the text in place (Windows-1251 or UTF-8), smDecoded the UTF-8
    // bytes of a text in another encoding, decoded by Start.
    enum TSourceMode : uint8_t { smMain, smInclude, smDecoded };

    bool AtRawByte() const;
    template <typename Append>
    void TakeNameBytes(bool dashes, Append&& append);

    unsigned char ReadOtherChar();
    char32_t TakeSequence();
    void FinishValue(TAttribute& attribute);
    void AppendValueBytes(std::string& value, const char* bytes, size_t count) const;
    void AppendValueByte(std::string& value, unsigned char byte) const {
        if (byte < 0x80 || utf8_) [[likely]]
            return void(value += static_cast<char>(byte));
        text::appendCharacter(value, cp1251::toUnicode(byte));
    }
    void Decode(std::string_view text);
    [[noreturn]] void OpenCommentError();
    void SkipMarkup();
    void SkipMarkupRun();
    void SkipCommentBody();
    void ReadIncludeDirective();
    void ReadTag();
    bool ReadAttribute(TAttribute& attribute, std::string& upperName, bool registerId);
    void ReadQuotedValue(TAttribute& attribute);
    void ReadNumberValue(TAttribute& attribute);
    void ReadReference(TokenObj& out);
    void ReadNumericReference(TokenObj& out, int32_t index);
    void TakeRaw();  // the current character joins the raw text of a reference
    void EmitRaw(TokenObj& out, int32_t index) const;
    void ReadTextRun();
    const char* PlainEnd(const char* p, const char* stop) const;

    const char* begin_ = nullptr;
    const char* pos_ = nullptr;
    const char* end_ = nullptr;
    std::string include_;  // the include buffer being read
    size_t includePos_ = 0;
    std::string decoded_;                // the text of smDecoded in UTF-8
    std::vector<int32_t> decodedIndex_;  // the source index of each of its bytes
    size_t decodedPos_ = 0;
    TSourceMode mode_ = smMain;
    TSourceMode savedMode_ = smMain;
    bool readingDirective_ = false;
    bool openCommentAtEnd_ = false;  // raised at the next token, after the run it cut
    bool utf8_ = false;              // the bytes read are UTF-8 (else Windows-1251)

    std::string attributeName_;  // scratch buffers reused for every tag
    std::string raw_;
    TokenObj scratch_;
};

// The value of an attribute text read as a decimal real number, rounded to the nearest
// integer (clamped to 32 bits); false when it is not a number.
bool ReadRoundedNumber(std::string_view text, int32_t& value);

}  // namespace kv
