// The document builder's block readers: paragraphs, headings, lists and their items.

#include "html/layout/builder.h"
#include "html/layout/builderhints.h"
#include "html/layout/layouttypes.h"
#include "platform/canvas.h"

namespace kv {

void THtmlBuilder::ReadParagraph(const TSet& terminators) {
    if (terminators[syP]) return;
    FinishSection();
    // The tag's attributes are kept past the tokens that follow: class, id and inline style
    // are the paragraph's own, not those of the next tag.
    TLayoutAttrs attrs = Attributes();
    auto own = std::exchange(reader_.TagAttributes, std::make_unique<TAttributeList>());
    // The style is known before the content is read: white-space decides how its spaces read.
    PushTag("p", "", own.get());
    const bool noBreak = reader_.NoBreakRun;
    reader_.NoBreakRun = NoBreakOfTop(noBreak);
    reader_.KeepSpaces = PreSpaces();
    reader_.NextToken();
    while (reader_.Symbol == syP || reader_.Symbol == syPEnd) {
        if (reader_.Symbol == syP) {
            attrs = Attributes();
            own = std::exchange(reader_.TagAttributes, std::make_unique<TAttributeList>());
            stack_.Pop("p");
            PushTag("p", "", own.get());
            reader_.NoBreakRun = NoBreakOfTop(noBreak);
            reader_.KeepSpaces = PreSpaces();
        }
        reader_.NextToken();
    }
    AlignHints(attrs, stack_.Top());
    TCellBasic* saved = target_;
    target_ = &OpenBlock("p").Content;
    if (reader_.KeepSpaces) {
        TSet stops = terminators | Set({syP, syPEnd, syH, syHR, syPRE});
        ReadPreLines(stops);
    } else {
        NewSection();
        while (!terminators[reader_.Symbol] && reader_.Symbol != syEof) {
            const TSymbol s = reader_.Symbol;
            if (s == syH || s == syHR || s == syPRE) break;  // block-level: ends the paragraph
            if (s == syUnknown) {
                reader_.NextToken();
                continue;
            }
            if (!IsInline(s) || !ReadInline()) break;
        }
        FinishSection();
    }
    reader_.NoBreakRun = noBreak;
    stack_.Pop("p");
    target_ = saved;
    NewSection();
    if (reader_.Symbol == syPEnd) reader_.NextToken();
}

void THtmlBuilder::ReadHeading(const TSet& terminators) {
    const int level = reader_.HeadingLevel;
    if (level < 1 || level > 6) {
        reader_.NextToken();
        return;
    }
    FinishSection();
    // Level 1 to 6 here. (Not "h" + to_string: GCC 12 warns falsely about it at -O2.)
    const std::string tag{'h', char('0' + level)};
    PushTag(tag);
    AlignHints(Attributes(), stack_.Top());
    TCellBasic* saved = target_;
    target_ = &OpenBlock(tag).Content;
    NewSection();
    reader_.NextToken();
    while (!terminators[reader_.Symbol] && reader_.Symbol != syEof && reader_.Symbol != syHEnd) {
        const TSymbol s = reader_.Symbol;
        if (s == syP || s == syPEnd || s == syUnknown) {
            reader_.NextToken();
            continue;
        }
        if (s == syH || s == syHR || s == syPRE || !IsInline(s) || !ReadInline()) break;
    }
    FinishSection();
    stack_.Pop(tag);
    target_ = saved;
    NewSection();
    if (reader_.Symbol == syHEnd) reader_.NextToken();
}

void THtmlBuilder::ReadList(TSymbol symbol, const TSet& terminators) {
    int number = 1;
    char type = '1';
    bool plain = false;
    for (const TLayoutAttr& a : Attributes()) {
        if (symbol == syOL && a.Symbol == atSTART)
            number = AttrNumber(a.Value) >= 0 ? AttrNumber(a.Value) : 1;
        else if (symbol == syOL && a.Symbol == atTYPE && !a.Value.empty())
            type = a.Value[0];
        else if (symbol == syUL && a.Symbol == atPLAIN)
            plain = true;
    }
    const std::string name(StartName(symbol));
    const TSymbol end = EndOf(symbol);
    FinishSection();
    PushTag(name);
    TCellBasic* saved = target_;
    target_ = &OpenBlock(name).Content;
    reader_.NextToken();
    // The items of this list are its own: the item tags that end an enclosing item do not end
    // this list.
    TSet inner = terminators;
    inner.reset(syLI).reset(syDD).reset(syDT);
    inner.set(end);
    while (!inner[reader_.Symbol] && reader_.Symbol != syEof) {
        const TSymbol s = reader_.Symbol;
        if (s == syLI || s == syDD || s == syDT) {
            ReadListItem(symbol, number++, type, plain, inner);
        } else if (IsListSymbol(s)) {
            if (depth_ >= kMaxDepth) {
                reader_.NextToken();
                continue;
            }
            ++depth_;
            ReadList(s, inner);
            --depth_;
        } else if (s == syP) {
            ReadParagraph(inner);
        } else if (s == syTABLE || s == syCENTER || s == syDIV || s == syFORM) {
            TSet until = inner;
            ReadBody(until.set(syLI).set(syDD).set(syDT));
        } else if (!IsInline(s) || !ReadInline()) {
            reader_.NextToken();
        }
    }
    FinishSection();
    stack_.Pop(name);
    target_ = saved;
    NewSection();
    // Only the list's own end tag is consumed: any other terminator belongs to a caller.
    if (reader_.Symbol == end) reader_.NextToken();
}

void THtmlBuilder::ReadListItem(TSymbol listSymbol, int number, char type, bool plain,
                                const TSet& terminators) {
    const TSymbol s = reader_.Symbol;
    const std::string tag = s == syDD ? "dd" : s == syDT ? "dt" : "li";
    FinishSection();
    PushTag(tag);
    const TProperties& p = stack_.Top();
    int kind = 0;
    if (s == syLI && !plain && listSymbol != syDL) {
        const std::string_view style = p.TextOf(piListStyleType);
        kind = style == "decimal" || listSymbol == syOL ? 4
               : style == "circle"                      ? 2
               : style == "square"                      ? 3
               : style == "none"                        ? 0
                                                        : 1;
        if (style == "lower-alpha") kind = 4, type = 'a';
        if (style == "upper-alpha") kind = 4, type = 'A';
        if (style == "lower-roman") kind = 4, type = 'i';
        if (style == "upper-roman") kind = 4, type = 'I';
    }
    auto item = std::make_unique<TBlockLI>(&doc_, TBoxStyle::From(p, 0, 0), kind, number, type,
                                           TQtFontEngine::SpecOf(p.MakeFont()));
    TBlockLI& ref = *item;
    target_->AppendSection(std::move(item));
    TCellBasic* saved = target_;
    target_ = &ref.Content;
    NewSection();
    reader_.NextToken();
    TSet inner = terminators;
    inner.set(syLI).set(syDD).set(syDT);
    ReadBody(inner);
    FinishSection();
    stack_.Pop(tag);
    target_ = saved;
    NewSection();
}

}  // namespace kv
