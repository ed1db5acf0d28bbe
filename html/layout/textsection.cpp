#include "html/layout/textsection.h"

#include <algorithm>
#include <climits>

#include "html/layout/builderhints.h"
#include "html/layout/sectionlist.h"
#include "platform/canvas.h"
#include "platform/codec.h"

namespace kv {

namespace {

// Preformatted text stops growing here; nobody reads a longer listing.
constexpr int kPreLimit = 20000;

}  // namespace

// ---------------------------------------------------------------- building

TSection::TSection(TSectionList* document, const TSectionStyle& style)
    : TSectionBase(document),
      BaseFont(style.Font),
      Alignment(style.Alignment),
      ClearSide(style.ClearSide),
      LineHeight(style.LineHeight),
      LineHeightScales(style.LineHeightScales),
      IndentPixels(style.IndentPixels),
      IndentPercent(style.IndentPercent) {
    NewRun(style.Font);
}

TSection::TSection(const TSection& source, TSectionList* document)
    : TSectionBase(source, document),
      Text(source.Text),
      SourceIndex(source.SourceIndex),
      BaseFont(source.BaseFont),
      Alignment(source.Alignment),
      ClearSide(source.ClearSide),
      LineHeight(source.LineHeight),
      LineHeightScales(source.LineHeightScales),
      IndentPixels(source.IndentPixels),
      IndentPercent(source.IndentPercent),
      KeepWhenEmpty(source.KeepWhenEmpty),
      sealed_(source.sealed_) {
    Length = source.Length;
    for (int i = 0; i < source.FontRuns.Count(); ++i)
        FontRuns.Add(std::make_unique<TFontObj>(source.FontRuns[i], document->Fonts(),
                                                document->FontPool()));
    // Images are made again from what the source learnt; a print copy draws them the same.
    for (int i = 0; i < source.Objects.Count(); ++i) {
        const TFloatingObj& obj = source.Objects[i];
        auto copy = std::make_unique<TFloatingObj>(obj);
        if (auto* image = dynamic_cast<const TImageObj*>(&obj)) {
            TLayoutAttrs attrs{{"SRC", image->Source}, {"ALT", image->AltText}};
            auto clone = std::make_unique<TImageObj>(*document, attrs, TObjectLook{}, obj.Pos);
            static_cast<TFloatingObj&>(*clone) = obj;
            clone->WidthAttr = image->WidthAttr;
            clone->HeightAttr = image->HeightAttr;
            clone->WidthIsPercent = image->WidthIsPercent;
            clone->NoBorder = image->NoBorder;
            clone->Transparency = image->Transparency;
            if (image->SubmitControl) {
                TFormControlObj* control = document->CopyOfControl(image->SubmitControl);
                clone->SubmitControl = control;
                if (control) control->Image = clone.get();
            }
            Objects.Add(std::move(clone));
        } else if (auto* panel = dynamic_cast<const TPanelObj*>(&obj)) {
            // Print copies keep their panels: they are printed where the screen shows them.
            TPanelObj& kept = static_cast<TPanelObj&>(Objects.Add(panel->CloneForPrint()));
            document->Panels.push_back(&kept);
        } else {
            Objects.Add(std::move(copy));
        }
    }
    for (const TFormControlObj* control : source.Controls)
        if (TFormControlObj* copy = document->CopyOfControl(control)) Controls.push_back(copy);
}

TFontObj& TSection::NewRun(const TFontSpec& font) {
    const int start = int(Text.size());
    return FontRuns.Add(
        std::make_unique<TFontObj>(Document->Fonts(), Document->FontPool(), start, font));
}

void TSection::ListLinkRun(TFontObj* run) {
    if (run->Listed) return;
    Document->LinkRuns.push_back(run);
    run->Listed = true;
}

void TSection::SwitchFont(const TFontSpec& font, std::uint8_t verticalScript) {
    TFontObj* run = FontRuns.Last();
    if (run->RunStart == int(Text.size())) {
        run->SetFont(font);
    } else {
        TFontObj& previous = *run;
        run = &NewRun(font);
        run->ShareTarget(previous);
    }
    run->VerticalScript = verticalScript;
    if (run->HasUrl()) {
        TFontSpec visited = font, hover = font;
        visited.Color = Document->Settings().VisitedColor;
        hover.Color = Document->Settings().OverColor;
        run->SetLinkFonts(&visited, Document->LinksReactToMouse() ? &hover : nullptr);
        ListLinkRun(run);
    }
}

void TSection::SwitchLinkFont(bool start, const TFontSpec& font, const TFontSpec* visited,
                              const TFontSpec* hover, const TUrlTargetRef& target) {
    TFontObj* run = FontRuns.Last();
    if (run->RunStart == int(Text.size())) {
        if (!Document->LinkRuns.empty() && Document->LinkRuns.back() == run && !start) {
            Document->LinkRuns.pop_back();
            run->Listed = false;
        }
        run->SetFont(font);
    } else {
        run = &NewRun(font);
    }
    run->SetTarget(start ? target : TUrlTargetRef{});
    if (start) {
        run->SetLinkFonts(visited, hover);
        ListLinkRun(run);
    }
}

TImageObj* TSection::AppendImage(const TLayoutAttrs& attributes, int sourcePos, bool noBreak) {
    auto image = std::make_unique<TImageObj>(*Document, attributes, ObjectHints(attributes),
                                             int(Text.size()));
    auto* result = image.get();
    Objects.Add(std::move(image));
    AppendChar(char16_t(noBreak ? chNoBreakImage : chImage), sourcePos);
    return result;
}

TPanelObj* TSection::AppendPanel(std::unique_ptr<TPanelControl> control,
                                 const TLayoutAttrs& attributes, int sourcePos, bool noBreak) {
    auto panel = std::make_unique<TPanelObj>(std::move(control), attributes,
                                             ObjectHints(attributes), int(Text.size()));
    auto* result = panel.get();
    Objects.Add(std::move(panel));
    Document->Panels.push_back(result);
    AppendChar(char16_t(noBreak ? chNoBreakImage : chImage), sourcePos);
    return result;
}

TFormControlObj* TSection::AppendControl(std::string_view tag, ThtmlForm& form,
                                         const TLayoutAttrs& attributes, int sourcePos,
                                         bool noBreak) {
    TFormControlObj& control = form.AddControl(
        MakeFormControl(tag, attributes, ControlHints(attributes), FontRuns.Last()->NormalFont()));
    Document->FormControlList.push_back(&control);
    if (!control.Id.empty()) Document->RegisterId(text::upperText(control.Id), &control);
    if (control.Kind == ckImage) {
        TImageObj* image = AppendImage(attributes, sourcePos, noBreak);
        image->SubmitControl = &control;
        control.Image = image;
    } else if (control.Kind != ckHidden) {
        control.Pos = int(Text.size());
        Controls.push_back(&control);
        AppendChar(char16_t(noBreak ? chNoBreakControl : chControl), sourcePos);
    }
    return &control;
}

TFormControlObj* TSection::ControlAt(int p) const {
    auto it = std::lower_bound(Controls.begin(), Controls.end(), p,
                               [](const TFormControlObj* c, int pos) { return c->Pos < pos; });
    return it != Controls.end() && (*it)->Pos == p ? *it : nullptr;
}

int TSection::PlaceholderWidth(int p) const {
    const char16_t c = Text[p];
    if (c == chControl || c == chNoBreakControl) {
        const TFormControlObj* control = ControlAt(p);
        return control ? control->TotalWidth() : 0;
    }
    const TFloatingObj* obj = Objects.ObjectAt(p);
    return obj && !obj->Floats() ? obj->TotalWidth() : 0;
}

void TSection::AppendChar(char16_t ch, int sourcePos) {
    const int pos[1] = {sourcePos};
    AppendToken(std::u16string_view(&ch, 1), pos);
}

bool TSection::OnlyFloatingImages() const {
    if (Text.empty()) return false;
    for (int i = 0; i < int(Text.size()); ++i) {
        if (!IsImageChar(Text[i])) return false;
        const TFloatingObj* obj = Objects.ObjectAt(i);
        if (!obj || !obj->Floats()) return false;
    }
    return true;
}

void TSection::AppendToken(std::u16string_view text, std::span<const int> sourcePos, bool noBreak) {
    if (text.empty()) return;
    std::u16string t(text);
    std::vector<int> sp(sourcePos.begin(), sourcePos.end());
    sp.resize(t.size(), sp.empty() ? 0 : sp.back());
    auto drop = [&](std::size_t i) {
        t.erase(i, 1);
        sp.erase(sp.begin() + std::ptrdiff_t(i));
    };
    const char16_t last = Text.empty() ? u'\0' : Text.back();
    if (t[0] == char16_t(chBreak) && (last == ' ' || last == chNbsp)) {
        Text.back() = char16_t(chBreak);
        return;
    }
    if (noBreak) {
        if ((Text.empty() || last == chNoBreakSpace5 || last == chBreak || last == ' ' ||
             last == chNbsp) &&
            t[0] == char16_t(chNoBreakSpace5))
            drop(0);
        // A run of no-break spaces next to a plain space vanishes; any other run becomes one
        // non-breaking space.
        std::u16string out;
        std::vector<int> outPos;
        for (std::size_t i = 0; i < t.size();) {
            if (t[i] != char16_t(chNoBreakSpace5)) {
                out += t[i], outPos.push_back(sp[i]), ++i;
                continue;
            }
            std::size_t j = i;
            while (j < t.size() && t[j] == char16_t(chNoBreakSpace5)) ++j;
            const bool spaceBefore = i > 0 && t[i - 1] == ' ';
            const bool spaceAfter = j < t.size() && t[j] == ' ';
            if (!spaceBefore && !spaceAfter) out += char16_t(chNbsp), outPos.push_back(sp[j - 1]);
            i = j;
        }
        t = std::move(out);
        sp = std::move(outPos);
    } else if ((Text.empty() || last == chBreak || last == ' ') && t[0] == ' ') {
        drop(0);
    }
    if (!t.empty() && (t[0] == ' ' || t[0] == char16_t(chNbsp)) && OnlyFloatingImages()) drop(0);
    if (t.empty()) return;
    AppendRaw(t, sp);
}

void TSection::AppendRaw(std::u16string_view text, std::span<const int> sourcePos) {
    const int newLength = int(Text.size() + text.size());
    // Doubling keeps a long run of tokens linear; a fixed step copied it over and over.
    if (Capacity < newLength + 1) Reserve(std::max(newLength + 500, 2 * Capacity));
    Text.append(text);
    SourcePos.insert(SourcePos.end(), sourcePos.begin(), sourcePos.end());
    Length = int(Text.size());
}

void TSection::Reserve(int n) {
    if (Capacity >= n) return;
    SourcePos.reserve(std::size_t(n));
    Capacity = n;
}

void TSection::ForceContent(int sourcePos) {
    if (!Text.empty()) return;
    const int pos[1] = {sourcePos};
    AppendRaw(u"X", pos);
    Text[0] = ' ';
}

void TSection::Seal() {
    if (sealed_) return;
    SourceIndex.clear();
    for (int i = 0; i < int(SourcePos.size()); ++i)
        if (i == 0 || SourcePos[i] != SourcePos[i - 1] + 1)
            SourceIndex.push_back({i, SourcePos[i]});
    std::vector<int>().swap(SourcePos);
    Capacity = 0;
    sealed_ = true;
}

void TPreFormated::AppendToken(std::u16string_view text, std::span<const int> sourcePos, bool) {
    if (text.empty() || int(Text.size()) > kPreLimit) return;
    std::vector<int> sp(sourcePos.begin(), sourcePos.end());
    sp.resize(text.size(), sp.empty() ? 0 : sp.back());
    if (Capacity < int(Text.size() + text.size()) + 1)
        Reserve(int(Text.size() + text.size()) + 300);
    AppendRaw(text, sp);
}

std::unique_ptr<TSectionBase> TSection::CloneFor(TSectionList* document) const {
    return std::make_unique<TSection>(*this, document);
}

std::unique_ptr<TSectionBase> TPreFormated::CloneFor(TSectionList* document) const {
    return std::make_unique<TPreFormated>(*this, document);
}

// ---------------------------------------------------------------- measuring

// Characters from p up to the next font change or placeholder, at most to `end`.
int TSection::CharsInPiece(int p, int end) const {
    const int limit = std::min(end, p + FontRuns.CharsToNextRun(p, int(Text.size())));
    int q = p;
    while (q < limit && !IsPlaceholder(Text[q])) ++q;
    return std::max(q - p, 0);
}

int TSection::MeasureText(TCanvas& canvas, int start, bool trim, int count) const {
    int end = std::min(int(Text.size()), start + count);
    if (trim)
        while (end - 1 > start && (Text[end - 1] == ' ' || Text[end - 1] == char16_t(chBreak)))
            --end;
    int width = 0;
    for (int p = start; p < end;) {
        const char16_t c = Text[p];
        if (IsPlaceholder(c)) {
            width += PlaceholderWidth(p);
            ++p;
            continue;
        }
        const int n = std::max(1, CharsInPiece(p, end));
        int overhang = 0;
        const TFontObj* run = FontRuns.FontAt(p, overhang);
        width += canvas.Measure(run->CurrentFont()).Extent(std::u16string_view(Text).substr(p, n)) -
                 overhang;
        p += n;
    }
    return width;
}

void TSection::WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) {
    minWidth = maxWidth = 0;
    if (Text.empty()) return;
    int widestObject = 0, floats = 0;
    for (int i = 0; i < Objects.Count(); ++i) {
        TFloatingObj& obj = Objects[i];
        auto* image = dynamic_cast<TImageObj*>(&obj);
        if (image) {
            int overhang = 0;
            image->Size(canvas, 0, FontRuns.FontAt(obj.Pos, overhang));
            if (image->WidthIsPercent) continue;
        }
        if (obj.Floats())
            floats += obj.TotalWidth();
        else
            widestObject = std::max(widestObject, obj.TotalWidth());
    }
    for (const TFormControlObj* control : Controls)
        widestObject = std::max(widestObject, control->TotalWidth());
    int widestLine = 0, widestWord = 0;
    const int n = int(Text.size());
    for (int start = 0; start < n;) {
        int end = start;
        while (end < n && Text[end] != char16_t(chBreak)) ++end;
        const int indent = start == 0 ? std::max(0, IndentPixels) : 0;  // the first line's
        widestLine = std::max(widestLine, indent + MeasureText(canvas, start, false, end - start));
        start = end + 1;
    }
    auto separator = [&](int i) {
        const char16_t c = Text[i];
        return c == 0 || c == char16_t(chImage) || c == char16_t(chBreak) || c == ' ';
    };
    for (int i = 0; i < n;) {
        while (i < n && separator(i)) ++i;
        int j = i;
        while (j < n && !separator(j)) ++j;
        if (j > i) widestWord = std::max(widestWord, MeasureText(canvas, i, false, j - i));
        i = j;
    }
    maxWidth = floats + widestLine;
    minWidth = std::max({widestObject, floats, widestWord});
}

void TPreFormated::WidthRange(TCanvas& canvas, int& minWidth, int& maxWidth) {
    minWidth = maxWidth = 0;
    if (Text.empty()) return;
    maxWidth = MeasureText(canvas, 0, false, int(Text.size()));
    minWidth = std::min(2000, maxWidth);
}

}  // namespace kv
