#include "html/layout/builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "html/layout/builderhints.h"
#include "html/reader/units.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace kv {

namespace {

constexpr int kMaxStack = 200;

// A PRE of its own box (a background, border, padding, margin, width or float set off from the
// prose) is a block; a plain one stays a run of preformatted sections, as it has always been.
bool OwnsBox(const TProperties& props) {
    const TBoxStyle box = TBoxStyle::From(props, 0, std::max(1, props.EmPixels));
    return box.MarginTop || box.MarginRight || box.MarginBottom || box.MarginLeft || box.PadTop ||
           box.PadRight || box.PadBottom || box.PadLeft || box.BorderTop || box.BorderRight ||
           box.BorderBottom || box.BorderLeft || box.Background != kNoColor || box.Width >= 0 ||
           box.Float;
}

}  // namespace

THtmlBuilder::THtmlBuilder(TSectionList& document) : doc_(document) {}
THtmlBuilder::~THtmlBuilder() = default;

THtmlBuilder::TSet THtmlBuilder::Set(std::initializer_list<TSymbol> symbols) {
    TSet set;
    for (TSymbol s : symbols) set.set(s);
    return set;
}

// clang-format off
bool THtmlBuilder::IsInline(TSymbol s) {
    switch (s) {
        case syText: case syB: case syBEnd: case syI: case syIEnd: case syEM: case syEMEnd:
        case sySTRONG: case sySTRONGEnd: case syU: case syUEnd: case syCITE: case syCITEEnd:
        case syVAR: case syVAREnd: case syTT: case syTTEnd: case syCODE: case syCODEEnd:
        case syKBD: case syKBDEnd: case sySAMP: case sySAMPEnd: case syS: case sySEnd:
        case sySTRIKE: case sySTRIKEEnd: case sySPAN: case sySPANEnd: case syFONT:
        case syFONTEnd: case syBASEFONT: case sySUB: case sySUBEnd: case sySUP: case sySUPEnd:
        case syBIG: case syBIGEnd: case sySMALL: case sySMALLEnd: case syA: case syAEnd:
        case syH: case syHR: case syBR: case syIMG: case syPANEL: case syMAP: case syPAGE:
        case sySCRIPT: case syNOBR: case syNOBREnd: case syWBR: case syPRE: case syINPUT:
        case sySELECT: case syTEXTAREA:
            return true;
        default:
            return false;
    }
}

// Phrase elements: they only push and pop their style.
bool THtmlBuilder::IsPhrase(TSymbol s) {
    switch (s) {
        case syB: case syI: case syEM: case sySTRONG: case syU: case syCITE: case syVAR:
        case syTT: case syCODE: case syKBD: case sySAMP: case syS: case sySTRIKE: case sySPAN:
        case sySUB: case sySUP: case syBIG: case sySMALL:
            return true;
        default:
            return false;
    }
}

bool THtmlBuilder::IsPhraseEnd(TSymbol s) {
    switch (s) {
        case syBEnd: case syIEnd: case syEMEnd: case sySTRONGEnd: case syUEnd: case syCITEEnd:
        case syVAREnd: case syTTEnd: case syCODEEnd: case syKBDEnd: case sySAMPEnd: case sySEnd:
        case sySTRIKEEnd: case sySPANEnd: case sySUBEnd: case sySUPEnd: case syBIGEnd:
        case sySMALLEnd:
            return true;
        default:
            return false;
    }
}

bool THtmlBuilder::IsListSymbol(TSymbol s) {
    return s == syOL || s == syUL || s == syDIR || s == syMENU || s == syDL || s == syADDRESS ||
           s == syBLOCKQUOTE;
}
// clang-format on

// ---------------------------------------------------------------- entry points

namespace {

std::string ReadWholeFile(const std::string& fileName) {
    const std::filesystem::path path = text::toPath(fileName);
    std::error_code error;
    std::ifstream in;
    if (std::filesystem::is_regular_file(path, error)) in.open(path, std::ios::binary);
    if (!in.is_open()) throw Exception("Can't open " + fileName);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

void THtmlBuilder::LoadHtmlFile(const std::string& fileName) {
    LoadHtmlText(ReadWholeFile(fileName));
}

void THtmlBuilder::LoadHtmlText(std::string_view text) {
    const std::string copy(text);  // the reader reads in place
    Parse(copy);
}

void THtmlBuilder::LoadPlainTextFile(const std::string& fileName) {
    LoadPlainText(ReadWholeFile(fileName));
}

void THtmlBuilder::LoadPlainText(std::string_view text) {
    BeginDocument();
    PushTag("pre");
    inPre_ = true;
    std::u16string line;
    std::vector<int> positions;
    auto endLine = [&] {
        NewSection();
        if (!line.empty()) Section().AppendToken(line, positions);
        line.clear(), positions.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            endLine();
        } else if (c == '\t') {
            do line += u' ', positions.push_back(int(i));
            while (line.size() % 8 != 0);
        } else {
            // Control bytes would be read as the section's own codes (objects, breaks).
            line += c < 32 ? u' ' : cp1251::toUnicode(c);
            positions.push_back(int(i));
        }
    }
    if (!line.empty()) endLine();
    inPre_ = false;
    EndDocument();
}

void THtmlBuilder::BeginDocument() {
    if (!doc_.Styles.RootEntry()) {
        const TDocumentDefaults& s = doc_.Settings();
        const TFontSpec& f = s.Font;
        doc_.Styles.BuildDefaults(f.Name, s.PreFontName, s.MarginWidth, s.MarginHeight,
                                  std::uint8_t(f.Charset), s.UnderlineLinks, s.OverColor,
                                  s.VisitedColor, s.HotSpotColor, f.Color, double(f.Size));
    }
    stack_.PushRoot(doc_.Styles);
    auto body = std::make_unique<TBlock>(&doc_, TBoxStyle::From(stack_.Top(), 0, 0), "body");
    body_ = body.get();
    doc_.AppendSection(std::move(body));
    target_ = &body_->Content;
    Title.clear(), Base.clear(), BaseTarget.clear();
    inLink_ = false;
    baseFontStep_ = 3;
    NewSection();
}

void THtmlBuilder::EndDocument() {
    FinishSection();
    for (const auto& form : doc_.Forms) form->Finish();
    openForm_ = nullptr;
    stack_.Clear();
    link_.Clear();
}

void THtmlBuilder::Parse(std::string_view text) {
    BeginDocument();
    reader_.IDNames = &doc_.IDNames;
    reader_.Host = &doc_.Host();
    reader_.Start(text);
    try {
        reader_.ReadChar();
        reader_.NextToken();
        ReadBody(Set({syEof}));
    } catch (const EParseError&) {
        // The document as built so far stays.
    }
    EndDocument();
}

bool THtmlBuilder::BeforeContent() const {
    return body_ && body_->Content.Count() == 0 && stack_.Count() == 1 &&
           (!section_ || section_->Text.empty());
}

// ---------------------------------------------------------------- helpers

TLayoutAttrs THtmlBuilder::Attributes() const {
    TLayoutAttrs attrs;
    if (!reader_.TagAttributes) return attrs;
    for (const TAttribute& a : reader_.TagAttributes->Items()) {
        if (a.Symbol != atOther) attrs.emplace_back(a.Symbol, a.StrValue);
    }
    return attrs;
}

void THtmlBuilder::PushTag(std::string_view tag, std::string_view pseudo, TAttributeList* from) {
    if (stack_.Count() >= kMaxStack) return;
    TAttributeList* attrs = from ? from : reader_.TagAttributes.get();
    const std::string cls = attrs ? attrs->ClassValue() : std::string();
    const std::string id = attrs ? attrs->IdValue() : std::string();
    TProperties* inlineStyle = attrs && pseudo.empty() ? attrs->InlineStyle() : nullptr;
    stack_.Push(doc_.Styles, tag, cls, id, inlineStyle, pseudo);
}

namespace {

// The element that gave an inherited value: an em or percent length is computed with its font
// and handed down as that length.
const TProperties& Declaring(TPropStack& stack, int index) {
    for (int i = stack.Count() - 1; i > 0; --i)
        if (stack[i].SetHere[index]) return stack[i];
    return stack.Top();
}

bool IsBareNumber(std::string_view text) {
    const TNumberAndUnit split = SplitNumberAndUnit(text);
    return split.hasNumber && split.unit.empty();
}

}  // namespace

TSectionStyle THtmlBuilder::StyleOfTop() const {
    TPropStack& stack = const_cast<TPropStack&>(stack_);
    const TProperties& p = stack.Top();
    TSectionStyle style;
    const TMyFont font = p.MakeFont();
    style.Font = TQtFontEngine::SpecOf(font);
    const std::string_view align = p.TextOf(piTextAlign);
    style.Alignment = align == "center"    ? haCenter
                      : align == "right"   ? haRight
                      : align == "justify" ? haJustify
                                           : haLeft;
    style.ClearSide = p.ClearSide();
    // A factor is inherited as itself and multiplies this element's font size.
    const TProperties& height = Declaring(stack, piLineHeight);
    style.LineHeightScales = IsBareNumber(height.TextOf(piLineHeight));
    style.LineHeight = std::max(
        0, style.LineHeightScales ? p.LineHeightFor(p.EmPixels) : height.LineHeightFor(p.EmPixels));
    // Only the first line of the block's text is indented: not text after a block inside it.
    if (target_ && target_->Sections.empty()) {
        const TProperties& indent = Declaring(stack, piTextIndent);
        const TNumberAndUnit split = SplitNumberAndUnit(indent.TextOf(piTextIndent));
        if (split.hasNumber && split.unit == "%")
            style.IndentPercent = std::clamp(split.number, -1000.0, 1000.0);
        else
            style.IndentPixels =
                std::clamp(indent.LengthOf(piTextIndent, 0, 0), -kMaxExtent, kMaxExtent);
    }
    return style;
}

void THtmlBuilder::NewSection() {
    FinishSection();
    if (inPre_)
        section_ = std::make_unique<TPreFormated>(&doc_, StyleOfTop());
    else
        section_ = std::make_unique<TSection>(&doc_, StyleOfTop());
    if (inLink_) SwitchFont();
}

TSection& THtmlBuilder::Section() {
    if (!section_) NewSection();
    return *section_;
}

void THtmlBuilder::FinishSection() {
    if (section_) target_->AppendSection(std::move(section_));
}

TBlock& THtmlBuilder::OpenBlock(std::string_view tag) {
    FinishSection();
    const int space = std::max(1, stack_.Top().EmPixels);
    auto block =
        std::make_unique<TBlock>(&doc_, TBoxStyle::From(stack_.Top(), 0, space), std::string(tag));
    TBlock& ref = *block;
    target_->AppendSection(std::move(block));
    const std::string& id = stack_.Top().ElemId;
    if (!id.empty()) doc_.IDNames.AddObject(text::upperText(id), &ref);
    return ref;
}

void THtmlBuilder::SwitchFont() {
    if (!section_) return;
    std::uint8_t script = 0;
    for (int i = stack_.Count() - 1; i > 0 && script == 0; --i) {
        // A view compares lengths first; a string against a literal always calls memcmp.
        const std::string_view tag = stack_[i].ElemTag;
        if (tag == "sub")
            script = 1;
        else if (tag == "sup")
            script = 2;
    }
    const TProperties& top = stack_.Top();
    if (inLink_) {
        const TProperties::TLinkFonts fonts = top.MakeLinkFonts();
        const TFontSpec link = TQtFontEngine::SpecOf(fonts.Link);
        const TFontSpec visited = TQtFontEngine::SpecOf(fonts.Visited);
        const TFontSpec hover = TQtFontEngine::SpecOf(fonts.Hover);
        section_->SwitchLinkFont(true, link, &visited, doc_.LinksReactToMouse() ? &hover : nullptr,
                                 {link_.Href, link_.TargetFrame, link_.LinkId});
    } else {
        const TFontSpec font = TQtFontEngine::SpecOf(top.MakeFont());
        if (section_->FontRuns.Last()->HasUrl())
            section_->SwitchLinkFont(false, font, nullptr, nullptr, {});
        section_->SwitchFont(font, script);
    }
    section_->FontRuns.Last()->VerticalScript = script;
}

void THtmlBuilder::CloseLink() {
    if (!inLink_) return;
    inLink_ = false;
    link_.Clear();
    for (int i = 0; i < 3; ++i) stack_.Pop("a");
    SwitchFont();
}

// ---------------------------------------------------------------- body

void THtmlBuilder::ReadBody(const TSet& terminators) {
    ++depth_;
    while (!terminators[reader_.Symbol] && reader_.Symbol != syEof) {
        const TSymbol s = reader_.Symbol;
        const bool nested = depth_ < kMaxDepth;
        if (s == syFORM && nested) {
            ReadForm(terminators);
        } else if (s == syFORMEnd) {
            CloseForm();  // a form opened between table cells ends here
            reader_.NextToken();
        } else if (s == sySTYLE) {
            reader_.ReadStyleElement(doc_.Styles);
            reader_.NextToken();
        } else if (s == syP && nested) {
            ReadParagraph(terminators);
        } else if (IsListSymbol(s) && nested) {
            ReadList(s, terminators);
        } else if ((s == syLI || s == syDD || s == syDT) && nested) {
            ReadListItem(s == syLI ? syUL : syDL, 1, '1', false, terminators);
        } else if ((s == syCENTER || s == syDIV) && nested) {
            ReadDivision(s == syCENTER, terminators);
        } else if (s == syTABLE && nested) {
            ReadTable(terminators);
        } else if (IsInline(s)) {
            if (!ReadInline()) reader_.NextToken();
        } else if (!ReadHeadElement()) {
            reader_.NextToken();  // unknown tags, stray end tags, late head elements
        }
    }
    --depth_;
}

// CENTER centres what it holds; DIV makes a block of it.
void THtmlBuilder::ReadDivision(bool center, const TSet& terminators) {
    PushTag(center ? "center" : "div");
    AlignHints(Attributes(), stack_.Top());
    TCellBasic* saved = target_;
    if (center) {
        ++centerDepth_;
        FinishSection();
    } else {
        target_ = &OpenBlock("div").Content;
    }
    TSet inner = terminators;
    inner.set(center ? syCENTEREnd : syDIVEnd);
    const bool noBreak = std::exchange(reader_.NoBreakRun, NoBreakOfTop(reader_.NoBreakRun));
    if (!center && PreSpaces()) {
        reader_.KeepSpaces = true;
        reader_.NextToken();
        ReadPreLines(inner, syDIV);
    } else {
        reader_.NextToken();
        NewSection();
        ReadBody(inner);
        FinishSection();
    }
    reader_.NoBreakRun = noBreak;
    stack_.Pop(center ? "center" : "div");
    target_ = saved;
    if (center) --centerDepth_;
    NewSection();
    if (reader_.Symbol == (center ? syCENTEREnd : syDIVEnd)) reader_.NextToken();
}

void THtmlBuilder::ReadBodyTag() {
    PushTag("body");
    TProperties& p = stack_.Top();
    BodyHints(Attributes(), p);
    // Margins do not inherit: the viewer's stand wherever neither style nor attribute set one.
    p.SetIfUnset(piMarginLeft, doc_.Settings().MarginWidth),
        p.SetIfUnset(piMarginRight, doc_.Settings().MarginWidth);
    p.SetIfUnset(piMarginTop, doc_.Settings().MarginHeight),
        p.SetIfUnset(piMarginBottom, doc_.Settings().MarginHeight);
    body_->Box = TBoxStyle::From(p, 0, 0);
    const TColor background = p.OwnBackgroundColor();
    if (background != kNoColor) {
        doc_.SetBackgroundColor(background);
        body_->Box.Background = kNoColor;  // the viewer paints the document background
    }
    const std::string image = p.BackgroundImageUrl();
    if (!image.empty()) doc_.SetBackgroundImageName(image);
    NewSection();
}

// ---------------------------------------------------------------- inline

bool THtmlBuilder::ReadInline() {
    const TSymbol s = reader_.Symbol;
    switch (s) {
    case syText:
        Section().AppendToken(reader_.Token.Text, reader_.Token.Indexes, reader_.NoBreakRun);
        break;
    case syFONT:
    case syBASEFONT: ReadFont(s == syBASEFONT); break;
    case syFONTEnd:
        stack_.Pop("font");
        SwitchFont();
        break;
    case syA: ReadLink(); break;
    case syAEnd:
        CloseLink();
        stack_.Pop("a");
        SwitchFont();
        break;
    case syH:
        if (depth_ >= kMaxDepth) break;
        ReadHeading(Set({syEof}));
        return true;
    case syHR: ReadRule(); break;
    case syBR: ReadBreak(); return true;
    case syIMG: ReadImage(); break;
    case syPANEL: ReadPanel(); break;
    case syMAP: ReadMap(); return true;
    case syPAGE:
        FinishSection();
        target_->AppendSection(std::make_unique<TPage>(&doc_));
        break;
    case syINPUT:
    case sySELECT:
    case syTEXTAREA: ReadControl(); return true;
    case sySCRIPT: ReadScript(); return true;
    case syNOBR: reader_.NoBreakRun = true; break;
    case syNOBREnd: reader_.NoBreakRun = false; break;
    case syWBR: {
        const int pos[1] = {reader_.SourceIndex};
        Section().AppendToken(u" ", pos);
        break;
    }
    case syPRE: ReadPre(); return true;
    default:
        if (!IsPhrase(s) && !IsPhraseEnd(s)) return false;
        ReadPhrase(s);
        break;
    }
    reader_.NextToken();
    return true;
}

// A phrase element only pushes or pops its style.
void THtmlBuilder::ReadPhrase(TSymbol s) {
    if (IsPhrase(s)) {
        PushTag(StartName(s));
        stack_.Top().TakeTextBackground();
    } else {
        stack_.Pop(EndName(s));
    }
    SwitchFont();
}

void THtmlBuilder::ReadRule() {
    FinishSection();
    PushTag("hr");
    const int space = std::max(1, stack_.Top().EmPixels);
    target_->AppendSection(std::make_unique<THRBlock>(
        &doc_, TBoxStyle::From(stack_.Top(), 0, space), RuleHints(Attributes())));
    stack_.Pop("hr");
}

void THtmlBuilder::ReadFont(bool baseFont) {
    PushTag("font");
    FontHints(Attributes(), stack_.Top(), baseFont, inPre_, baseFontStep_);
    // A BASEFONT entry stays: it sets the size of all the text after it.
    SwitchFont();
}

void THtmlBuilder::ReadLink() {
    const TLayoutAttrs attrs = Attributes();
    const bool href = std::any_of(attrs.begin(), attrs.end(),
                                  [](const TLayoutAttr& a) { return a.Symbol == atHREF; });
    if (href && inLink_) {
        // A link left open closes when the next one opens, with all four of its entries.
        CloseLink();
        stack_.Pop("a");
    }
    PushTag("a");
    stack_.Top().TakeTextBackground();
    std::string target;
    for (const TLayoutAttr& a : attrs)
        if (a.Symbol == atTARGET) target = a.Value;
    for (const TLayoutAttr& a : attrs) {
        if (a.Symbol == atHREF && !inLink_) {  // a second HREF in the tag does not count
            inLink_ = true;
            link_.SetLink(a.Value, target);
            for (const char* pseudo : {"link", "hover", "visited"}) PushTag("a", pseudo);
            SwitchFont();
        } else if (a.Symbol == atNAME && !a.Value.empty()) {
            SwitchFont();
            std::string name = text::upperText(a.Value);
            if (name.size() > 1 && name[0] == '#') name.erase(0, 1);
            TSection& section = Section();
            section.KeepWhenEmpty = true;
            doc_.IDNames.AddObject(name, &section);
        }
    }
    SwitchFont();
}

void THtmlBuilder::ReadBreak() {
    const TLayoutAttrs attrs = Attributes();
    if (!HasClear(attrs)) {
        Section().AppendChar(char16_t(chBreak), reader_.SourceIndex);
        reader_.NextToken();
        return;
    }
    FinishSection();
    PushTag("br");
    ClearHints(attrs, stack_.Top());  // a clear given by the element's style wins
    const TSide side = stack_.Top().ClearSide();
    NewSection();
    section_->ClearSide = side;
    section_->KeepWhenEmpty = true;
    stack_.Pop("br");
    SwitchFont();
    reader_.NextToken();
}

void THtmlBuilder::ReadImage() {
    PushTag("img");
    TLayoutAttrs attrs = Attributes();
    const int pos = reader_.SourceIndex;
    TSection& section = Section();
    TImageObj* image = section.AppendImage(attrs, pos, reader_.NoBreakRun);
    TObjectLook look = ObjectHints(attrs);
    ObjectStyleHints(stack_.Top(), look);  // the style wins over the attributes
    image->TakeLook(look);
    stack_.Pop("img");
}

void THtmlBuilder::ReadPanel() {
    PushTag("panel");
    const TLayoutAttrs attrs = Attributes();
    std::string name, type, src;
    for (const TLayoutAttr& a : attrs) {
        if (a.Symbol == atNAME)
            name = a.Value;
        else if (a.Symbol == atTYPE)
            type = a.Value;
        else if (a.Symbol == atSRC)
            src = a.Value;
    }
    std::unique_ptr<TPanelControl> control;
    doc_.Host().PanelCreate(name, type, src, control);
    TPanelObj* panel =
        Section().AppendPanel(std::move(control), attrs, reader_.SourceIndex, reader_.NoBreakRun);
    if (panel->Control) panel->Host = &doc_.Host();
    stack_.Pop("panel");
}

void THtmlBuilder::ReadMap() {
    auto map = std::make_unique<TMapItem>();
    for (const TLayoutAttr& a : Attributes())
        if (a.Symbol == atNAME) map->MapKey = text::upperText(a.Value);
    reader_.NextToken();
    int strays = 0;
    while (reader_.Symbol != syEof && reader_.Symbol != syMAPEnd && strays < 3) {
        if (reader_.Symbol == syAREA)
            map->AddArea(Attributes());
        else if (reader_.Symbol != syText)
            ++strays;
        reader_.NextToken();
    }
    if (reader_.Symbol == syMAPEnd) {
        doc_.ImageMaps.push_back(std::move(map));
        reader_.NextToken();
    }
}

void THtmlBuilder::ReadPre() {
    FinishSection();
    PushTag("pre");
    TCellBasic* saved = target_;
    if (OwnsBox(stack_.Top())) target_ = &OpenBlock("pre").Content;
    reader_.KeepSpaces = true;
    reader_.NextToken();
    ReadPreLines(Set({syPREEnd}));
    stack_.Pop("pre");
    target_ = saved;
    NewSection();
    if (reader_.Symbol == syPREEnd) reader_.NextToken();
}

void THtmlBuilder::ReadPreLines(const TSet& stops, TSymbol nested) {
    inPre_ = true;
    NewSection();
    bool afterBreak = false;
    int depth = 0;
    while (reader_.Symbol != syTDEnd && reader_.Symbol != syTHEnd && reader_.Symbol != syEof) {
        const TSymbol s = reader_.Symbol;
        if (stops[s] && depth == 0) break;
        if (s == syText) {
            const TokenObj& token = reader_.Token;
            std::size_t start = 0;
            for (std::size_t i = 0; i <= token.Text.size(); ++i) {
                if (i < token.Text.size() && token.Text[i] != '\r') continue;
                if (i > start)
                    Section().AppendToken(std::u16string_view(token.Text).substr(start, i - start),
                                          std::span(token.Indexes).subspan(start, i - start));
                if (i < token.Text.size() && !(afterBreak && i == 0)) NewSection();
                afterBreak = false;
                start = i + 1;
            }
            reader_.NextToken();
        } else if (s == syBR) {
            NewSection();
            afterBreak = true;
            reader_.NextToken();
        } else if (s == sySTYLE) {
            reader_.ReadStyleElement(doc_.Styles);  // a sheet, never text, also inside PRE
            reader_.NextToken();
        } else if (s == syP) {
            // A paragraph inside preformatted text starts on a line of its own after a blank
            // line, as the paragraph's space.
            if (section_ && !section_->Text.empty()) NewSection();
            Section().KeepWhenEmpty = true;
            NewSection();
            afterBreak = false;
            reader_.NextToken();
        } else if (IsInline(s) && s != syPRE && s != syH && s != syHR && s != syMAP) {
            afterBreak = false;
            if (!ReadInline()) reader_.NextToken();
        } else {
            if (nested != syEof && s == nested) ++depth;
            if (depth > 0 && s == EndOf(nested)) --depth;
            reader_.NextToken();
        }
    }
    FinishSection();
    reader_.KeepSpaces = false;
    inPre_ = false;
}

bool THtmlBuilder::PreSpaces() {
    const std::string_view space = stack_.Top().TextOf(piWhiteSpace);
    return space == "pre" || space == "pre-wrap";
}

bool THtmlBuilder::NoBreakOfTop(bool noBreak) {
    const std::string_view space = stack_.Top().TextOf(piWhiteSpace);
    return space.empty() ? noBreak : space == "nowrap";
}

}  // namespace kv
