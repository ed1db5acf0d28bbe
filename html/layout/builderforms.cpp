// The document builder's form readers: FORM elements, the controls of INPUT, SELECT with its
// OPTION items, and TEXTAREA with its own character-level content reader.

#include <algorithm>

#include "html/layout/builder.h"
#include "html/layout/formcontrols.h"
#include "platform/codec.h"

namespace kv {

namespace {

// Tokens that may stand between the items of a list without ending it.
bool IsOptionNoise(TSymbol s) {
    switch (s) {
    case syText:
    case syOPTION:
    case syOPTIONEnd:
    case syUnknown:
    case syOther:
    case sySELECTED:
    case syB:
    case syBEnd:
    case syI:
    case syIEnd:
    case syFONT:
    case syFONTEnd:
    case syEM:
    case syEMEnd:
    case sySTRONG:
    case sySTRONGEnd:
    case sySPAN:
    case sySPANEnd:
    case syU:
    case syUEnd:
    case syBR: return true;
    default: return false;
    }
}

std::string Trimmed(std::string text) {
    std::replace(text.begin(), text.end(), char(kNoBreakSpace), ' ');
    const auto notSpace = [](char c) { return c != ' ' && c != '\r'; };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
    text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
    return text;
}

constexpr std::size_t kMaxOptionText = 1000;

}  // namespace

ThtmlForm& THtmlBuilder::OpenForm() {
    if (!openForm_) {
        doc_.Forms.push_back(std::make_unique<ThtmlForm>(&doc_, TLayoutAttrs{}));
        openForm_ = doc_.Forms.back().get();
    }
    return *openForm_;
}

void THtmlBuilder::CloseForm() {
    if (openForm_) openForm_->Finish();
    openForm_ = nullptr;
}

void THtmlBuilder::ReadForm(const TSet& terminators) {
    ThtmlForm* outer = openForm_;
    const TLayoutAttrs attrs = Attributes();
    PushTag("form");
    TCellBasic* saved = target_;
    target_ = &OpenBlock("form").Content;
    doc_.Forms.push_back(std::make_unique<ThtmlForm>(&doc_, attrs));
    openForm_ = doc_.Forms.back().get();
    NewSection();
    reader_.NextToken();
    TSet inner = terminators;
    inner.set(syFORMEnd);
    ReadBody(inner);
    FinishSection();
    CloseForm();
    stack_.Pop("form");
    target_ = saved;
    openForm_ = outer;
    NewSection();
    if (reader_.Symbol == syFORMEnd) reader_.NextToken();
}

void THtmlBuilder::ReadControl() {
    const TSymbol s = reader_.Symbol;
    const std::string_view tag = s == sySELECT ? "select" : s == syTEXTAREA ? "textarea" : "input";
    TFormControlObj* control = Section().AppendControl(tag, OpenForm(), Attributes(),
                                                       reader_.SourceIndex, reader_.NoBreakRun);
    if (auto* select = dynamic_cast<TSelectControl*>(control)) {
        ReadSelect(*select);
    } else if (auto* area = dynamic_cast<TTextAreaControl*>(control)) {
        ReadTextArea(*area);
    } else {
        reader_.NextToken();
    }
}

// OPTION items up to the SELECT end tag; a tag that cannot stand in a list ends it too, and is
// left for the enclosing reader.
void THtmlBuilder::ReadSelect(TSelectControl& select) {
    bool inOption = false, selected = false, hasValue = false;
    std::string text, value;
    auto flush = [&] {
        if (inOption) select.AddOption(Trimmed(text), hasValue ? &value : nullptr, selected);
        inOption = false;
        text.clear();
    };
    reader_.NextToken();
    for (;;) {
        const TSymbol s = reader_.Symbol;
        if (s == sySELECTEnd) {
            flush();
            reader_.NextToken();
            return;
        }
        if (s == syEof || !IsOptionNoise(s)) {
            flush();
            return;
        }
        if (s == syOPTION) {
            flush();
            inOption = true;
            selected = hasValue = false;
            for (const TLayoutAttr& a : Attributes()) {
                if (a.Symbol == atSELECTED) selected = true;
                if (a.Symbol == atVALUE) value = a.Value, hasValue = true;
            }
        } else if (s == syOPTIONEnd) {
            flush();
        } else if (s == syText && inOption && text.size() < kMaxOptionText) {
            text += text::fromUtf16(reader_.Token.Text);
        }
        reader_.NextToken();
    }
}

// The content is read character by character: up to a "<" everything is text; at a "<" the
// characters up to a blank, CR or ">" end the content when they spell "</textarea" (in any
// case), else they are text. CR separates lines; character references are decoded.
void THtmlBuilder::ReadTextArea(TTextAreaControl& area) {
    static constexpr std::string_view kEnd = "</textarea";
    std::string line;
    while (reader_.CurChar != kEndOfInput) {
        const unsigned char c = reader_.CurChar;
        if (c == '<') {
            std::string word(1, '<');
            reader_.ReadChar();
            while (word.size() <= kEnd.size() && reader_.CurChar != ' ' && reader_.CurChar != 13 &&
                   reader_.CurChar != '>' && reader_.CurChar != kEndOfInput) {
                text::appendCharacter(word, reader_.TakeCharacter());
                reader_.ReadChar();
            }
            if (EqualNoCase(word, kEnd)) {
                while (reader_.CurChar != '>' && reader_.CurChar != kEndOfInput) reader_.ReadChar();
                if (reader_.CurChar == '>') reader_.ReadChar();
                break;
            }
            line += word;
        } else if (c == 13) {
            area.AddLine(std::move(line));
            line.clear();
            reader_.ReadChar();
        } else if (c == '&') {
            TokenObj reference;
            reader_.ReadCharReference(reference);
            line += text::fromUtf16(reference.Text);
        } else {
            text::appendCharacter(line, reader_.TakeCharacter());
            reader_.ReadChar();
        }
    }
    if (!line.empty()) area.AddLine(std::move(line));
    reader_.NextToken();
}

}  // namespace kv
