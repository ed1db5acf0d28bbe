#include "html/reader/tokenizer.h"

#include <QString>
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <numeric>

#include "html/reader/entities.h"
#include "html/reader/properties.h"
#include "html/reader/stylesheet.h"
#include "platform/codec.h"

namespace kv {
namespace {

constexpr int kMaxNameLength = 255;  // letters of a tag or attribute name kept
constexpr int kMaxTextRun = 100;     // characters of one text token

bool IsLetter(unsigned char upper) {
    return upper >= 'A' && upper <= 'Z';
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// Bytes that a text run takes: all but 0-12, 14-31, "&" and "<" (CR is taken).
constexpr auto kTextByte = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = !(c <= 12 || (c >= 14 && c <= 31) || c == '&' || c == '<');
    return table;
}();

// Text bytes that need no normalisation and are never collapsed: all but space and CR.
constexpr auto kPlainByte = [] {
    std::array<bool, 256> table = kTextByte;
    table[' '] = table[13] = false;
    return table;
}();

// Bytes of a quoted value that stand for themselves: no line end, tab, reference, markup or end
// of input (the closing quote is checked apart).
constexpr auto kValueByte = [] {
    std::array<bool, 256> table{};
    table.fill(true);
    for (int c :
         {9, 10, 13, static_cast<int>(kEndOfInput), static_cast<int>('&'), static_cast<int>('<')})
        table[c] = false;
    return table;
}();

// How many of eight bytes (read little-endian) a plain stretch takes: up to the first control
// byte, "&", "<" or space that does not stay (a space stays when spaces do and a plain byte of
// the same eight follows it).
int PlainBytes(uint64_t word, bool spacesStay) {
    constexpr uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
    constexpr uint64_t kLow = 0x7F7F7F7F7F7F7F7Fu;
    // The high bit of each byte, exact per byte: set when the byte is below 0x20 / is zero.
    auto belowSpace = [&](uint64_t x) { return ~(((x & kLow) + 0x60 * kOnes) | x) & kHigh; };
    auto zero = [&](uint64_t x) { return ~(((x & kLow) + kLow) | x) & kHigh; };
    const uint64_t spaces = zero(word ^ (' ' * kOnes));
    const uint64_t stops =
        belowSpace(word) | zero(word ^ ('&' * kOnes)) | zero(word ^ ('<' * kOnes)) | spaces;
    uint64_t bad = stops;
    if (spacesStay) bad &= ~(spaces & ~(stops >> 8) & (kHigh >> 8));
    return bad == 0 ? 8 : std::countr_zero(bad) / 8;
}

}  // namespace

// The current character is its own raw byte of the main text (not a tab made a space, nor a
// character of an include), so the bytes after it can be taken straight from the text.
bool THtmlReader::AtRawByte() const {
    return mode_ == smMain && pos_ > begin_ && static_cast<unsigned char>(pos_[-1]) == CurChar;
}

// Takes the letters (and dashes when `dashes`) after the current character, handing each in
// upper case to `append`, so that the last one becomes current. They are plain bytes: no line
// end, markup or end of input, so reading them one by one would only copy them.
template <typename Append>
void THtmlReader::TakeNameBytes(bool dashes, Append&& append) {
    const char* p = pos_;
    for (; p < end_; ++p) {
        const unsigned char upper = cp1251::upperLatin(static_cast<unsigned char>(*p));
        if (!IsLetter(upper) && !(dashes && upper == '-')) break;
        append(static_cast<char>(upper));
    }
    if (p == pos_) return;
    SourceIndex += static_cast<int32_t>(p - pos_);
    pos_ = p;
    CurChar = static_cast<unsigned char>(p[-1]);
    CurUpper = cp1251::upperLatin(CurChar);
}

bool ReadRoundedNumber(std::string_view text, int32_t& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return false;
    // Most values are words: no number starts otherwise ("inf" and "nan" are no numbers here).
    if (!IsDigit(static_cast<unsigned char>(text.front())) && text.front() != '-' &&
        text.front() != '.')
        return false;
    double number = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), number, std::chars_format::general);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(number))
        return false;
    const double rounded = std::round(number);
    value = rounded >= INT32_MAX   ? INT32_MAX
            : rounded <= INT32_MIN ? INT32_MIN
                                   : static_cast<int32_t>(rounded);
    return true;
}

THtmlReader::THtmlReader() : TagAttributes(std::make_unique<TAttributeList>()) {
    attributeName_.reserve(kMaxNameLength);
}

THtmlReader::~THtmlReader() = default;

void THtmlReader::Start(std::string_view text) {
    // Source indexes are 32-bit: a longer text is read up to that limit.
    if (text.size() > static_cast<size_t>(INT32_MAX - 1)) text = text.substr(0, INT32_MAX - 1);
    begin_ = pos_ = text.data();
    end_ = text.data() + text.size();
    include_.clear();
    includePos_ = 0;
    Encoding = DetectEncoding(text);
    mode_ = savedMode_ = smMain;
    utf8_ = Encoding != TEncoding::Windows1251;
    SourceIndex = -1;
    if (Encoding == TEncoding::Utf8 && text.starts_with("\xEF\xBB\xBF")) {
        pos_ += 3;  // the byte-order mark is no character
        SourceIndex = 2;
    } else if (utf8_ && Encoding != TEncoding::Utf8) {
        Decode(text);
    }
    CurChar = CurUpper = kEndOfInput;
    Symbol = syNone;
    Token.Clear();
    TagAttributes = std::make_unique<TAttributeList>();
    HeadingLevel = 0;
    LineEndState = leNone;
    SkippingComment = ReadingScript = KeepSpaces = NoBreakRun = false;
    readingDirective_ = openCommentAtEnd_ = false;
}

void THtmlReader::Decode(std::string_view text) {
    decoded_.clear();
    decodedIndex_.clear();
    decodedPos_ = 0;
    DecodeText(text, Encoding, [this](char32_t ch, int32_t index) {
        char32_t one[] = {ch};
        const QByteArray bytes = QString::fromUcs4(one, 1).toUtf8();
        decoded_.append(bytes.constData(), static_cast<size_t>(bytes.size()));
        decodedIndex_.insert(decodedIndex_.end(), static_cast<size_t>(bytes.size()), index);
    });
    mode_ = savedMode_ = smDecoded;
}

// The current byte leads a UTF-8 sequence: its continuation bytes are read (the last becomes
// current); a byte that starts no valid character gives U+FFFD.
char32_t THtmlReader::TakeSequence() {
    unsigned char bytes[4] = {CurChar, 0, 0, 0};
    int count = 1;
    char32_t ch = 0xFFFD;
    for (;;) {
        const int length = Utf8Sequence(bytes, bytes + count, ch);
        if (length > 0) break;
        if (length == 0 || count == 4) return 0xFFFD;
        const unsigned char next = LookAhead();
        if ((next & 0xC0) != 0x80) return 0xFFFD;
        bytes[count++] = ReadRawChar();
    }
    CurChar = CurUpper = bytes[count - 1];
    return ch;
}

unsigned char THtmlReader::ReadOtherChar() {
    if (mode_ == smDecoded) {
        if (decodedPos_ < decoded_.size()) {
            SourceIndex = decodedIndex_[decodedPos_];
            return static_cast<unsigned char>(decoded_[decodedPos_++]);
        }
        SourceIndex = static_cast<int32_t>(end_ - begin_);
        return kEndOfInput;
    }
    if (includePos_ < include_.size()) return static_cast<unsigned char>(include_[includePos_++]);
    mode_ = savedMode_ == smInclude ? smMain : savedMode_;  // only the main text holds directives
    include_.clear();
    includePos_ = 0;
    return ReadRawChar();
}

unsigned char THtmlReader::LookAhead() const {
    if (mode_ == smInclude && includePos_ < include_.size())
        return static_cast<unsigned char>(include_[includePos_]);
    if ((mode_ == smInclude ? savedMode_ : mode_) == smDecoded) {
        return decodedPos_ < decoded_.size() ? static_cast<unsigned char>(decoded_[decodedPos_])
                                             : kEndOfInput;
    }
    return pos_ < end_ ? static_cast<unsigned char>(*pos_) : kEndOfInput;
}

void THtmlReader::OpenCommentError() {
    SkippingComment = openCommentAtEnd_ = false;
    throw EParseError("Open Comment at End of HTML File");
}

// The reader stands at a "<" followed by "!" or "?": skips comments, declarations and
// processing instructions (several in a row) so that the character after the last closing ">"
// becomes current.
void THtmlReader::SkipMarkup() {
    try {
        SkipMarkupRun();
    } catch (const EParseError&) {
        if (Token.Text.empty()) throw;
        // A run of text stands before the open comment: it is delivered first, and the
        // error comes with the next token.
        openCommentAtEnd_ = true;
        CurChar = CurUpper = kEndOfInput;
    }
}

void THtmlReader::SkipMarkupRun() {
    do {
        ReadCharBasic();  // the "!" or "?"
        const bool declaration = CurChar == '!';
        SkippingComment = true;
        ReadCharBasic();
        if (declaration && CurChar == '-' && LookAhead() == '-') {
            ReadCharBasic();
            ReadCharBasic();
            if (Host && Host->Handles(THandler::Include) && CurChar == '#' && mode_ != smInclude &&
                !readingDirective_) {
                ReadIncludeDirective();
            } else {
                SkipCommentBody();
            }
        } else {
            while (CurUpper != '>') ReadCharBasic();
        }
        SkippingComment = false;
        ReadCharBasic();
    } while (CurChar == '<' && !ReadingScript && MarkupAhead());
}

// Up to a "--" (any number of dashes) followed, after blanks, by ">".
void THtmlReader::SkipCommentBody() {
    for (;;) {
        while (CurUpper != '-') ReadCharBasic();
        ReadCharBasic();
        if (CurChar != '-') continue;
        while (CurChar == '-') ReadCharBasic();
        while (CurChar == ' ' || CurChar == 13) ReadCharBasic();
        if (CurChar == '>') return;
    }
}

void THtmlReader::ReadIncludeDirective() {
    // A directive inside this one (in its attributes) is an ordinary comment.
    struct Guard {
        bool& flag;
        explicit Guard(bool& f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(readingDirective_);
    std::string command;
    ReadCharBasic();  // past "#"
    while (IsLetter(CurUpper)) {
        command += static_cast<char>(CurChar);
        ReadCharBasic();
    }
    std::vector<std::string> params;
    TAttribute attribute;
    std::string name;
    while (ReadAttribute(attribute, name, false))
        params.push_back(name + "=\"" + attribute.StrValue + "\"");
    SkippingComment = true;
    SkipCommentBody();
    std::string buffer;
    Host->Include(command, params, buffer);
    if (!buffer.empty()) {
        include_ = std::move(buffer);
        includePos_ = 0;
        savedMode_ = mode_;
        mode_ = smInclude;
    }
}

void THtmlReader::NextToken() {
    Token.Clear();
    if (CurChar == kEndOfInput) {
        if (openCommentAtEnd_) OpenCommentError();
        Symbol = syEof;
    } else if (CurUpper == '<') {
        ReadTag();
    } else if (CurChar == '&') {
        Symbol = syText;
        ReadReference(Token);
    } else if (kTextByte[CurChar]) {
        ReadTextRun();
        Symbol = syText;
    } else {
        Symbol = syOther;
        Token.PushChar(CurChar, SourceIndex);
        ReadChar();
    }
}

void THtmlReader::ReadTag() {
    const int32_t start = SourceIndex;
    ReadChar();
    bool endTag = false;
    if (CurChar == '/') {
        endTag = true;
        ReadChar();
    } else if (!IsLetter(CurUpper)) {
        Symbol = syText;
        Token.PushChar(u'<', start);
        return;
    }
    Symbol = syUnknown;
    char name[kMaxNameLength];
    int length = 0;
    while (IsLetter(CurUpper)) {
        if (length < kMaxNameLength) name[length++] = static_cast<char>(CurUpper);
        if (AtRawByte()) {
            TakeNameBytes(false, [&](char c) {
                if (length < kMaxNameLength) name[length++] = c;
            });
        }
        ReadChar();
    }
    const TSymbol symbol = LookupTag(std::string_view(name, length));
    if (symbol != syNone) {
        if (!endTag) {
            Symbol = symbol;
        } else if (EndOf(symbol) != syNone) {
            Symbol = EndOf(symbol);
        }
    }
    SkipBlanks();
    HeadingLevel = 0;
    if ((Symbol == syH || Symbol == syHEnd) && CurUpper >= '1' && CurUpper <= '6') {
        HeadingLevel = CurUpper - '0';
        ReadChar();
    }
    TagAttributes->Clear();
    SkipBlanks();
    if (IsLetter(CurUpper)) {  // most tags have no attributes
        TAttribute attribute;
        attribute.StrValue = TagAttributes->SpareText();
        while (ReadAttribute(attribute, attributeName_, true)) {
            TagAttributes->Add(std::move(attribute));
            attribute.StrValue = TagAttributes->SpareText();
        }
        TagAttributes->KeepSpare(std::move(attribute.StrValue));
    }
    while (CurChar != '>' && CurChar != kEndOfInput) ReadChar();
    if (CurChar == '>' && Symbol != sySTYLE) ReadChar();
}

bool THtmlReader::ReadAttribute(TAttribute& attribute, std::string& upperName, bool registerId) {
    SkipBlanks();
    if (!IsLetter(CurUpper)) return false;
    upperName.clear();
    while (IsLetter(CurUpper) || CurUpper == '-') {
        if (upperName.size() < kMaxNameLength) upperName += static_cast<char>(CurUpper);
        if (AtRawByte()) {
            TakeNameBytes(true, [&](char c) {
                if (upperName.size() < kMaxNameLength) upperName += c;
            });
        }
        ReadChar();
    }
    attribute.Symbol = LookupAttribute(upperName);
    SkipBlanks();
    attribute.StrValue.clear();
    attribute.NumValue = attribute.Symbol == atBORDER ? 1 : 0;
    if (CurChar != '=') return true;
    ReadChar();
    SkipBlanks();
    if (CurUpper == '"' || CurUpper == '\'') {
        ReadQuotedValue(attribute);
    } else if (CurUpper == '+' || CurUpper == '-' || IsDigit(CurUpper)) {
        ReadNumberValue(attribute);
    } else {
        while (CurChar != ' ' && CurChar != 13 && CurChar != kEndOfInput && CurChar != '>') {
            AppendValueByte(attribute.StrValue, CurChar);
            ReadChar();
        }
    }
    if (utf8_) FinishValue(attribute);
    if (registerId && attribute.Symbol == atID && !attribute.StrValue.empty() && IDNames)
        IDNames->AddChPos(attribute.StrValue, SourceIndex);
    return true;
}

// A value read from UTF-8 bytes keeps them; a sequence that forms no character becomes U+FFFD,
// so that every value inside the system is valid UTF-8.
void THtmlReader::FinishValue(TAttribute& attribute) {
    const std::string& value = attribute.StrValue;
    const auto* begin = reinterpret_cast<const unsigned char*>(value.data());
    const auto* end = begin + value.size();
    const auto* p = std::find_if(begin, end, [](unsigned char c) { return c >= 0x80; });
    if (p == end) return;
    std::string checked(value, 0, static_cast<size_t>(p - begin));
    while (p < end) {
        char32_t ch = 0xFFFD;
        const int length = Utf8Sequence(p, end, ch);
        text::appendCharacter(checked, length > 0 ? ch : 0xFFFD);
        p += std::max(length, 1);
    }
    attribute.StrValue = std::move(checked);
}

// Value bytes of a Windows-1251 document become UTF-8 as they are read.
void THtmlReader::AppendValueBytes(std::string& value, const char* bytes, size_t count) const {
    if (utf8_) return void(value.append(bytes, count));
    const char* end = bytes + count;
    while (bytes < end) {
        const char* ascii = std::find_if(bytes, end, [](char c) { return c & 0x80; });
        value.append(bytes, static_cast<size_t>(ascii - bytes));
        if (ascii == end) break;
        text::appendCharacter(value, cp1251::toUnicode(static_cast<unsigned char>(*ascii)));
        bytes = ascii + 1;
    }
}

void THtmlReader::ReadQuotedValue(TAttribute& attribute) {
    const unsigned char quote = CurChar;
    ReadChar();
    while (CurChar != quote && CurChar != kEndOfInput) {
        if (mode_ == smMain && kValueByte[CurChar] &&
            static_cast<unsigned char>(pos_[-1]) == CurChar) {
            // Fast path: the current character is its own raw byte (not a tab made a space);
            // take the bytes after it that need no normalisation in one go.
            const char* start = pos_ - 1;
            const char* p = pos_;
            while (p < end_ && kValueByte[static_cast<unsigned char>(*p)] &&
                   static_cast<unsigned char>(*p) != quote)
                ++p;
            AppendValueBytes(attribute.StrValue, start, static_cast<size_t>(p - start));
            SourceIndex += static_cast<int32_t>(p - pos_);
            pos_ = p;
            ReadChar();
        } else if (CurChar == 13) {
            ReadChar();  // line breaks inside a quoted value vanish
        } else if (CurChar == '&') {
            scratch_.Clear();
            ReadReference(scratch_);
            attribute.StrValue += text::fromUtf16(scratch_.Text);
        } else {
            AppendValueByte(attribute.StrValue, CurChar);
            ReadChar();
        }
    }
    if (CurChar == quote) ReadChar();
    std::string_view number = attribute.StrValue;
    while (!number.empty() && static_cast<unsigned char>(number.front()) <= 32)
        number.remove_prefix(1);
    while (!number.empty() && static_cast<unsigned char>(number.back()) <= 32)
        number.remove_suffix(1);
    if (!number.empty() && number.back() == '%') number.remove_suffix(1);
    if (!ReadRoundedNumber(number, attribute.NumValue)) attribute.NumValue = 0;
}

void THtmlReader::ReadNumberValue(TAttribute& attribute) {
    do {
        AppendValueByte(attribute.StrValue, CurChar);
        ReadChar();
    } while (CurChar != ' ' && CurChar != 13 && CurChar != kEndOfInput && CurChar != '%' &&
             CurChar != '>');
    SkipBlanks();
    if (!ReadRoundedNumber(attribute.StrValue, attribute.NumValue)) attribute.NumValue = 0;
    if (CurChar == '%') {
        attribute.StrValue += '%';
        ReadChar();
    }
}

// The reader stands at "&". Appends the decoded characters, all at the index of the "&" (the
// three dots of "hellip" at that index and the two after it), or the raw text when the reference
// is not one.
void THtmlReader::ReadReference(TokenObj& out) {
    const int32_t index = SourceIndex;
    raw_.assign(1, '&');
    ReadChar();
    if (CurChar == '#') {
        TakeRaw();
        return ReadNumericReference(out, index);
    }
    char name[kMaxEntityName];
    std::size_t length = 0;
    while (IsLetter(CurUpper) || IsDigit(CurUpper)) {
        if (length == kMaxEntityName) {  // one more than the longest name: not a reference
            TakeRaw();
            return EmitRaw(out, index);
        }
        name[length++] = static_cast<char>(CurChar);
        TakeRaw();
    }
    if (CurChar == ';') TakeRaw();
    const std::string_view entity(name, length);
    // The eight names with a replacement of their own keep it (three dots for "hellip", each
    // at its own index); every other name gives its character.
    if (const char* text = LookupEntity(entity)) {
        for (int32_t k = 0; text[k]; ++k)
            out.PushChar(cp1251::toUnicode(static_cast<unsigned char>(text[k])),
                         text[1] ? index + k : index);
    } else if (const char32_t ch = EntityChar(entity)) {
        out.PushCode(ch, index);
    } else {
        EmitRaw(out, index);
    }
}

void THtmlReader::TakeRaw() {
    raw_ += static_cast<char>(CurChar);
    ReadChar();
}

void THtmlReader::EmitRaw(TokenObj& out, int32_t index) const {
    for (char c : raw_) out.PushChar(static_cast<unsigned char>(c), index);
}

// After "&#": decimal digits (at most seven) or "x" and hexadecimal ones (at most six). A code
// point is the Unicode character, except 128..159, which old pages wrote meaning the Windows
// code page's punctuation; 0, a surrogate or one above U+10FFFF gives U+FFFD; the other control
// characters stay as written, since the section text gives some of them a meaning of its own.
void THtmlReader::ReadNumericReference(TokenObj& out, int32_t index) {
    const bool hex = CurChar == 'x' || CurChar == 'X';
    if (hex) TakeRaw();
    const int base = hex ? 16 : 10;
    const int maxDigits = hex ? 6 : 7;
    int digits = 0;
    char32_t value = 0;
    for (;;) {
        int digit = -1;
        if (IsDigit(CurChar))
            digit = CurChar - '0';
        else if (hex && CurUpper >= 'A' && CurUpper <= 'F')
            digit = CurUpper - 'A' + 10;
        if (digit < 0) break;
        if (digits == maxDigits) {  // one digit too many: not a reference
            TakeRaw();
            return EmitRaw(out, index);
        }
        value = value * base + static_cast<char32_t>(digit);
        ++digits;
        TakeRaw();
    }
    if (CurChar == ';') TakeRaw();
    if (digits == 0) return EmitRaw(out, index);
    if (value == 9) {
        out.PushChar(u' ', index);
    } else if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        out.PushChar(u'\uFFFD', index);
    } else if (value >= 128 && value <= 159) {
        out.PushChar(cp1251::toUnicode(static_cast<unsigned char>(value)), index);
    } else if (value == 10 || value >= 32) {
        out.PushCode(value, index);
    } else {
        EmitRaw(out, index);
    }
}

// The end of the plain stretch that starts at `p` (before `stop`): plain bytes, and single
// spaces between them unless spaces are no-break ones.
const char* THtmlReader::PlainEnd(const char* p, const char* stop) const {
    const bool spacesStay = !NoBreakRun;
    for (;;) {
        if constexpr (std::endian::native == std::endian::little) {
            while (stop - p >= 8) {
                uint64_t word = 0;
                std::memcpy(&word, p, 8);
                const int taken = PlainBytes(word, spacesStay);
                p += taken;
                if (taken < 8) break;
            }
        }
        while (p < stop && kPlainByte[static_cast<unsigned char>(*p)]) ++p;
        // One space between words stays as it is, collapsed or not.
        if (spacesStay && p + 1 < stop && *p == ' ' &&
            kPlainByte[static_cast<unsigned char>(p[1])]) {
            p += 2;
            continue;
        }
        return p;
    }
}

void THtmlReader::ReadTextRun() {
    // A character outside the BMP takes two units: it waits for the next run when one is left.
    while (Token.Length() < kMaxTextRun - (utf8_ && CurChar >= 0xF0 ? 1 : 0) &&
           kTextByte[CurChar]) {
        if (mode_ == smMain && CurChar != ' ' && CurChar != 13) {
            // Fast path: the current character is its own raw byte; take it together with the
            // plain bytes after it (no line end, markup, reference or run of white space) in one
            // go.
            const size_t units = static_cast<size_t>(kMaxTextRun - Token.Length());
            // UTF-8 takes up to two bytes a unit here (Cyrillic); the units are counted apart.
            const size_t room = utf8_ ? 2 * units : units - 1;
            const char* start = pos_ - 1;
            const char* p = PlainEnd(pos_, pos_ + std::min(room, static_cast<size_t>(end_ - pos_)));
            if (utf8_) {
                p = Token.AppendUtf8(start, p, end_, SourceIndex, units);
            } else {
                Token.AppendRun(start, static_cast<size_t>(p - start), SourceIndex);
            }
            SourceIndex += static_cast<int32_t>(p - start) - 1;
            pos_ = p;
            ReadChar();
        } else if (KeepSpaces || (CurChar != ' ' && CurChar != 13)) {
            const int32_t index = SourceIndex;
            Token.PushCode(TakeCharacter(), index);
            ReadChar();
        } else {
            Token.PushChar(NoBreakRun ? kNoBreakSpace : ' ', SourceIndex);
            SkipBlanks();
        }
    }
}

void THtmlReader::ReadStyleElement(TStyleList& styles) {
    // The sheet parser reads UTF-8: a Windows-1251 byte is handed on as its UTF-8 bytes.
    struct ReaderSource : TSheetSource {
        explicit ReaderSource(THtmlReader& reader) : reader(reader) {}
        unsigned char Next() override {
            if (!pending.empty()) return Take();
            reader.ReadCharBasic();
            if (reader.CurChar < 0x80 || reader.utf8_) return reader.CurChar;
            reader.AppendValueByte(pending, reader.CurChar);
            return Take();
        }
        unsigned char Peek() override {
            if (!pending.empty()) return static_cast<unsigned char>(pending.front());
            const unsigned char next = reader.LookAhead();
            if (next < 0x80 || reader.utf8_) return next;
            std::string bytes;
            reader.AppendValueByte(bytes, next);
            return static_cast<unsigned char>(bytes.front());
        }
        unsigned char Take() {
            const auto byte = static_cast<unsigned char>(pending.front());
            pending.erase(0, 1);
            return byte;
        }
        THtmlReader& reader;
        std::string pending;  // the rest of a character's UTF-8 bytes
    } source(*this);
    const TAttribute* media = TagAttributes ? TagAttributes->FirstOf(atMEDIA) : nullptr;
    if (!media || MediaRulesApply(styles, media->StrValue, ForPrint)) {
        CurUpper = ParseStyleSheet(styles, source, "", ForPrint);
        return;
    }
    TStyleList skipped;
    CurUpper = ParseStyleSheet(skipped, source, "", ForPrint);
}

}  // namespace kv
