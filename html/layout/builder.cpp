#include "html/layout/builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "html/reader/units.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace kv {

namespace {

// Deeper nesting than this is hostile: further block elements read as plain content.
constexpr int kMaxDepth = 120;
constexpr int kMaxStack = 200;

constexpr int kFontPoints[] = {8, 10, 12, 14, 18, 24, 36};
constexpr int kPreFontPoints[] = {7, 8, 10, 12, 15, 20, 30};

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
// clang-format on

// ---------------------------------------------------------------- entry points

namespace {

std::string ReadWholeFile(const std::string& fileName) {
    const std::filesystem::path path = cp1251::toPath(fileName);
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
    std::string line;
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
            do line += ' ', positions.push_back(int(i));
            while (line.size() % 8 != 0);
        } else {
            // Control bytes would be read as the section's own codes (objects, breaks).
            line += c < 32 ? ' ' : char(c);
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

// ALIGN=left|center|right becomes the element's text alignment unless its style set one.
void THtmlBuilder::TakeAlignment(std::string_view value) {
    const std::string align = cp1251::lowerText(value);
    if (align == "left" || align == "center" || align == "right")
        stack_.Top().SetIfUnset(piTextAlign, align);
}

void THtmlBuilder::TakeAlignment(const TLayoutAttrs& attributes) {
    for (const TLayoutAttr& a : attributes)
        if (a.Name == "ALIGN") TakeAlignment(a.Value);
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
        const std::string_view name = AttributeName(a.Symbol);
        if (!name.empty()) attrs.push_back({std::string(name), a.StrValue});
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

TSectionStyle THtmlBuilder::StyleOfTop() const {
    TPropStack& stack = const_cast<TPropStack&>(stack_);
    const TProperties& p = stack.Top();
    TSectionStyle style;
    const TMyFont font = p.MakeFont();
    style.Font = TQtFontEngine::SpecOf(font);
    const std::string_view align = p.TextOf(piTextAlign);
    style.Alignment = align == "center" ? haCenter : align == "right" ? haRight : haLeft;
    style.ClearSide = p.ClearSide();
    style.LineHeight = std::max(0, p.LineHeightFor(font.Height()));
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
    if (!id.empty()) doc_.IDNames.AddObject(cp1251::upperText(id), &ref);
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
        if (s == syTITLE && BeforeContent()) {
            reader_.NextToken();
            while (reader_.Symbol == syText) Title += reader_.Token.Text, reader_.NextToken();
            if (reader_.Symbol == syTITLEEnd) reader_.NextToken();
        } else if (s == syBODY && BeforeContent()) {
            ReadBodyTag();
            reader_.NextToken();
        } else if (s == syBASE && BeforeContent()) {
            for (const TLayoutAttr& a : Attributes()) {
                if (a.Name == "HREF")
                    Base = a.Value;
                else if (a.Name == "TARGET")
                    BaseTarget = a.Value;
            }
            reader_.NextToken();
        } else if (s == syLINK && BeforeContent()) {
            ReadStyleLink();
            reader_.NextToken();
        } else if (s == syMETA && BeforeContent()) {
            ReadMeta();
            reader_.NextToken();
        } else if (s == syBGSOUND && BeforeContent()) {
            ReadSound();
            reader_.NextToken();
        } else if (s == syFORM && nested) {
            ReadForm(terminators);
        } else if (s == syFORMEnd) {
            CloseForm();  // a form opened between table cells ends here
            reader_.NextToken();
        } else if (s == sySTYLE) {
            reader_.ReadStyleElement(doc_.Styles);
            reader_.NextToken();
        } else if (s == syP && nested) {
            ReadParagraph(terminators);
        } else if ((s == syOL || s == syUL || s == syDIR || s == syMENU || s == syDL ||
                    s == syADDRESS || s == syBLOCKQUOTE) &&
                   nested) {
            ReadList(s, terminators);
        } else if ((s == syLI || s == syDD || s == syDT) && nested) {
            ReadListItem(s == syLI ? syUL : syDL, 1, '1', false, terminators);
        } else if ((s == syCENTER || s == syDIV) && nested) {
            const bool center = s == syCENTER;
            PushTag(center ? "center" : "div");
            TakeAlignment(Attributes());
            TCellBasic* saved = target_;
            if (center) {
                ++centerDepth_;
                FinishSection();
            } else {
                target_ = &OpenBlock("div").Content;
            }
            reader_.NextToken();
            TSet inner = terminators;
            inner.set(center ? syCENTEREnd : syDIVEnd);
            NewSection();
            ReadBody(inner);
            FinishSection();
            stack_.Pop(center ? "center" : "div");
            target_ = saved;
            if (center) --centerDepth_;
            NewSection();
            if (reader_.Symbol == (center ? syCENTEREnd : syDIVEnd)) reader_.NextToken();
        } else if (s == syTABLE && nested) {
            ReadTable(terminators);
        } else if (!IsInline(s) || !ReadInline()) {
            reader_.NextToken();  // unknown tags, stray end tags, late head elements
        }
    }
    --depth_;
}

void THtmlBuilder::ReadBodyTag() {
    PushTag("body");
    TProperties& p = stack_.Top();
    for (const TLayoutAttr& a : Attributes()) {
        TColor color = 0;
        if (a.Name == "TEXT" && ParseColor(a.Value, false, color))
            p.SetIfUnset(piColor, int(color));
        else if (a.Name == "LINK" && ParseColor(a.Value, false, color))
            p.SetIfUnset(piLinkColor, int(color));
        else if (a.Name == "VLINK" && ParseColor(a.Value, false, color))
            p.SetIfUnset(piVisitedColor, int(color));
        else if (a.Name == "OLINK" && ParseColor(a.Value, false, color))
            p.SetIfUnset(piHoverColor, int(color));
        else if (a.Name == "BGCOLOR" && ParseColor(a.Value, false, color))
            p.SetIfUnset(piBackgroundColor, int(color));
        else if (a.Name == "BACKGROUND")
            p.SetIfUnset(piBackgroundImage, "url(" + a.Value + ")");
        else if (a.Name == "MARGINWIDTH") {
            const int m = std::clamp(AttrNumber(a.Value), 0, 200);
            p.SetIfUnset(piMarginLeft, m), p.SetIfUnset(piMarginRight, m);
        } else if (a.Name == "MARGINHEIGHT") {
            const int m = std::clamp(AttrNumber(a.Value), 0, 200);
            p.SetIfUnset(piMarginTop, m), p.SetIfUnset(piMarginBottom, m);
        }
    }
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
    case syB:
    case syI:
    case syEM:
    case sySTRONG:
    case syU:
    case syCITE:
    case syVAR:
    case syTT:
    case syCODE:
    case syKBD:
    case sySAMP:
    case syS:
    case sySTRIKE:
    case sySPAN:
    case sySUB:
    case sySUP:
    case syBIG:
    case sySMALL:
        PushTag(StartName(s));
        stack_.Top().TakeTextBackground();
        SwitchFont();
        break;
    case syBEnd:
    case syIEnd:
    case syEMEnd:
    case sySTRONGEnd:
    case syUEnd:
    case syCITEEnd:
    case syVAREnd:
    case syTTEnd:
    case syCODEEnd:
    case syKBDEnd:
    case sySAMPEnd:
    case sySEnd:
    case sySTRIKEEnd:
    case sySPANEnd:
    case sySUBEnd:
    case sySUPEnd:
    case syBIGEnd:
    case sySMALLEnd:
        stack_.Pop(EndName(s));
        SwitchFont();
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
    case syHR: {
        FinishSection();
        PushTag("hr");
        const int space = std::max(1, stack_.Top().EmPixels);
        TLayoutAttrs attrs = Attributes();
        for (TLayoutAttr& a : attrs) {
            TColor color = 0;
            if (a.Name == "COLOR" && ParseColor(a.Value, false, color))
                a.Value = std::to_string(color);
        }
        target_->AppendSection(
            std::make_unique<THRBlock>(&doc_, TBoxStyle::From(stack_.Top(), 0, space), attrs));
        stack_.Pop("hr");
        break;
    }
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
    case sySCRIPT:
        if (doc_.Host().Handles(THandler::Script)) {
            ReadScript();
            return true;
        }
        // No script handler: the script's text is passed over.
        while (reader_.Symbol != sySCRIPTEnd && reader_.Symbol != syEof) reader_.NextToken();
        break;
    case syNOBR: reader_.NoBreakRun = true; break;
    case syNOBREnd: reader_.NoBreakRun = false; break;
    case syWBR: {
        const int pos[1] = {reader_.SourceIndex};
        Section().AppendToken(" ", pos);
        break;
    }
    case syPRE: ReadPre(); return true;
    default: return false;
    }
    reader_.NextToken();
    return true;
}

void THtmlBuilder::ReadFont(bool baseFont) {
    PushTag("font");
    TProperties& p = stack_.Top();
    for (const TLayoutAttr& a : Attributes()) {
        if (a.Name == "SIZE") {
            int size = AttrNumber(a.Value);
            if (a.Value.size() >= 2 && (a.Value[0] == '+' || a.Value[0] == '-'))
                size = baseFontStep_ + size;
            size = std::clamp(size, 1, 7);
            if (baseFont) baseFontStep_ = size;
            p.SetIfUnset(piFontSize,
                         double(inPre_ ? kPreFontPoints[size - 1] : kFontPoints[size - 1]));
        } else if (a.Name == "COLOR") {
            TColor color = 0;
            if (ParseColor(a.Value, false, color)) p.SetIfUnset(piColor, int(color | kPaletteFlag));
        } else if (a.Name == "FACE" && !baseFont) {
            p.SetIfUnset(piFontFamily, a.Value.substr(0, 50));
        }
    }
    // A BASEFONT entry stays: it sets the size of all the text after it.
    SwitchFont();
}

void THtmlBuilder::ReadLink() {
    const TLayoutAttrs attrs = Attributes();
    const bool href = std::any_of(attrs.begin(), attrs.end(),
                                  [](const TLayoutAttr& a) { return a.Name == "HREF"; });
    if (href && inLink_) {
        // A link left open closes when the next one opens, with all four of its entries.
        CloseLink();
        stack_.Pop("a");
    }
    PushTag("a");
    stack_.Top().TakeTextBackground();
    std::string target;
    for (const TLayoutAttr& a : attrs)
        if (a.Name == "TARGET") target = a.Value;
    for (const TLayoutAttr& a : attrs) {
        if (a.Name == "HREF" && !inLink_) {  // a second HREF in the tag does not count
            inLink_ = true;
            link_.SetLink(a.Value, target);
            for (const char* pseudo : {"link", "hover", "visited"}) PushTag("a", pseudo);
            SwitchFont();
        } else if (a.Name == "NAME" && !a.Value.empty()) {
            SwitchFont();
            std::string name = cp1251::upperText(a.Value);
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
    const bool clear = std::any_of(attrs.begin(), attrs.end(),
                                   [](const TLayoutAttr& a) { return a.Name == "CLEAR"; });
    if (!clear) {
        Section().AppendChar(char(chBreak), reader_.SourceIndex);
        reader_.NextToken();
        return;
    }
    FinishSection();
    PushTag("br");
    // A clear given by the element's style wins over the attribute.
    for (const TLayoutAttr& a : attrs)
        if (a.Name == "CLEAR") {
            const std::string v = cp1251::lowerText(a.Value);
            stack_.Top().SetIfUnset(piClear, std::string(v == "left" || v == "right" ? v : "both"));
        }
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
    section.AppendImage(attrs, pos, reader_.NoBreakRun);
    stack_.Pop("img");
}

void THtmlBuilder::ReadPanel() {
    PushTag("panel");
    const TLayoutAttrs attrs = Attributes();
    std::string name, type, src;
    for (const TLayoutAttr& a : attrs) {
        if (a.Name == "NAME")
            name = a.Value;
        else if (a.Name == "TYPE")
            type = a.Value;
        else if (a.Name == "SRC")
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
        if (a.Name == "NAME") map->MapKey = cp1251::upperText(a.Value);
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
    reader_.KeepSpaces = true;
    inPre_ = true;
    NewSection();
    reader_.NextToken();
    bool afterBreak = false;
    while (reader_.Symbol != syPREEnd && reader_.Symbol != syTDEnd && reader_.Symbol != syTHEnd &&
           reader_.Symbol != syEof) {
        const TSymbol s = reader_.Symbol;
        if (s == syText) {
            const TokenObj& token = reader_.Token;
            std::size_t start = 0;
            for (std::size_t i = 0; i <= token.Text.size(); ++i) {
                if (i < token.Text.size() && token.Text[i] != '\r') continue;
                if (i > start)
                    Section().AppendToken(std::string_view(token.Text).substr(start, i - start),
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
            reader_.NextToken();
        }
    }
    FinishSection();
    stack_.Pop("pre");
    reader_.KeepSpaces = false;
    inPre_ = false;
    NewSection();
    if (reader_.Symbol == syPREEnd) reader_.NextToken();
}

// ---------------------------------------------------------------- blocks

void THtmlBuilder::ReadParagraph(const TSet& terminators) {
    if (terminators[syP]) return;
    FinishSection();
    // The tag's attributes are kept past the tokens that follow: class, id and inline style
    // are the paragraph's own, not those of the next tag.
    TLayoutAttrs attrs = Attributes();
    auto own = std::exchange(reader_.TagAttributes, std::make_unique<TAttributeList>());
    reader_.NextToken();
    while (reader_.Symbol == syP || reader_.Symbol == syPEnd) {
        if (reader_.Symbol == syP) {
            attrs = Attributes();
            own = std::exchange(reader_.TagAttributes, std::make_unique<TAttributeList>());
        }
        reader_.NextToken();
    }
    PushTag("p", "", own.get());
    TakeAlignment(attrs);
    TCellBasic* saved = target_;
    target_ = &OpenBlock("p").Content;
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
    TakeAlignment(Attributes());
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
        if (symbol == syOL && a.Name == "START")
            number = AttrNumber(a.Value) >= 0 ? AttrNumber(a.Value) : 1;
        else if (symbol == syOL && a.Name == "TYPE" && !a.Value.empty())
            type = a.Value[0];
        else if (symbol == syUL && a.Name == "PLAIN")
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
        } else if (s == syOL || s == syUL || s == syDIR || s == syMENU || s == syDL ||
                   s == syADDRESS || s == syBLOCKQUOTE) {
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
