// Form controls: reading their attributes, values and resets, submission results, and the
// form that collects them. Sizing and drawing are in formpaint.cpp.

#include "html/layout/formcontrols.h"

#include <algorithm>

#include "html/layout/sectionlist.h"
#include "platform/codec.h"

namespace kv {

namespace {

const std::string* Attr(const TLayoutAttrs& attributes, TAttrSymbol symbol) {
    for (const TLayoutAttr& a : attributes)
        if (a.Symbol == symbol) return &a.Value;
    return nullptr;
}

bool HasAttr(const TLayoutAttrs& attributes, TAttrSymbol symbol) {
    return Attr(attributes, symbol) != nullptr;
}

// A number attribute clamped to [low, high]; `fallback` when absent or below `low`.
int NumberAttr(const TLayoutAttrs& attributes, TAttrSymbol symbol, int low, int high,
               int fallback) {
    const std::string* value = Attr(attributes, symbol);
    if (!value) return fallback;
    const int n = AttrNumber(*value);
    return n < low ? fallback : std::min(n, high);
}

// Captions of buttons that have no VALUE.
const char* const kSubmitCaption = "Отправить";
const char* const kResetCaption = "Сбросить";

}  // namespace

// ---------------------------------------------------------------- the base

TFormControlObj::TFormControlObj(TControlKind kind, const TLayoutAttrs& attributes,
                                 const TControlLook& look, const TFontSpec& font)
    : Kind(kind), Font(font) {
    if (const std::string* v = Attr(attributes, atNAME)) Name = *v;
    if (const std::string* v = Attr(attributes, atID)) Id = *v;
    if (const std::string* v = Attr(attributes, atVALUE)) Value = *v;
    VAlign = look.VAlign;
    HSpace = look.HSpace;
    VSpace = look.VSpace;
}

int TFormControlObj::TopY() const {
    return Image ? Image->TopY() : Top;
}

void TFormControlObj::AddResults(std::vector<std::string>& results, const TFormControlObj*, int,
                                 int) const {
    if (!Name.empty()) results.push_back(Name + "=" + Value);
}

void TFormControlObj::Activate(int, int) {}

void TFormControlObj::Changed() const {
    if (Window) Window->Refresh();
}

// ---------------------------------------------------------------- kinds

TEditControl::TEditControl(TControlKind kind, const TLayoutAttrs& attributes,
                           const TControlLook& look, const TFontSpec& font)
    : TFormControlObj(kind, attributes, look, font) {
    Size = NumberAttr(attributes, atSIZE, 1, 500, 20);
    MaxLength = NumberAttr(attributes, atMAXLENGTH, 1, 1 << 20, 0);
    if (kind == ckFile) Value.clear();  // a page never chooses the user's file
    InitialValue = Value;
}

std::unique_ptr<TFormControlObj> TEditControl::Clone() const {
    return std::unique_ptr<TFormControlObj>(new TEditControl(*this));
}

void TEditControl::Reset() {
    Value = InitialValue;
    Changed();
}

TCheckControl::TCheckControl(TControlKind kind, const TLayoutAttrs& attributes,
                             const TControlLook& look, const TFontSpec& font)
    : TFormControlObj(kind, attributes, look, font) {
    if (!HasAttr(attributes, atVALUE)) Value = "on";
    Checked = InitialChecked = HasAttr(attributes, atCHECKED);
}

std::unique_ptr<TFormControlObj> TCheckControl::Clone() const {
    return std::unique_ptr<TFormControlObj>(new TCheckControl(*this));
}

void TCheckControl::Reset() {
    Checked = InitialChecked;
    Changed();
}

void TCheckControl::AddResults(std::vector<std::string>& results, const TFormControlObj*, int,
                               int) const {
    if (Checked && !Name.empty()) results.push_back(Name + "=" + Value);
}

void TCheckControl::SetChecked(bool checked) {
    if (Kind == ckRadio && !checked) return;  // a radio button is cleared only by another
    Checked = checked;
    if (Kind == ckRadio && Form) Form->RadioChecked(*this);
    Changed();
}

void TCheckControl::Activate(int, int) {
    SetChecked(Kind == ckRadio ? true : !Checked);
}

TButtonControl::TButtonControl(TControlKind kind, const TLayoutAttrs& attributes,
                               const TControlLook& look, const TFontSpec& font)
    : TFormControlObj(kind, attributes, look, font) {}

std::unique_ptr<TFormControlObj> TButtonControl::Clone() const {
    return std::unique_ptr<TFormControlObj>(new TButtonControl(*this));
}

std::string TButtonControl::Caption() const {
    if (!Value.empty() || Kind == ckButton) return Value;
    return Kind == ckReset ? kResetCaption : kSubmitCaption;
}

void TButtonControl::AddResults(std::vector<std::string>& results, const TFormControlObj* submitter,
                                int x, int y) const {
    if (submitter != this) return;
    if (Kind == ckImage) {
        const std::string prefix = Name.empty() ? "" : Name + ".";
        results.push_back(prefix + "x=" + std::to_string(x));
        results.push_back(prefix + "y=" + std::to_string(y));
    } else if (Kind == ckSubmit && !Name.empty()) {
        results.push_back(Name + "=" + Value);
    }
}

// Buttons act on their form: submit and image-submit send it, reset resets it.
void TButtonControl::Activate(int x, int y) {
    if (!Form) return;
    if (Kind == ckSubmit || Kind == ckImage)
        Form->Submit(this, x, y);
    else if (Kind == ckReset)
        Form->Reset();
}

THiddenControl::THiddenControl(const TLayoutAttrs& attributes, const TControlLook& look,
                               const TFontSpec& font)
    : TFormControlObj(ckHidden, attributes, look, font) {}

std::unique_ptr<TFormControlObj> THiddenControl::Clone() const {
    return std::unique_ptr<TFormControlObj>(new THiddenControl(*this));
}

TSelectControl::TSelectControl(const TLayoutAttrs& attributes, const TControlLook& look,
                               const TFontSpec& font)
    : TFormControlObj(ckComboBox, attributes, look, font) {
    Multiple = HasAttr(attributes, atMULTIPLE);
    Size = NumberAttr(attributes, atSIZE, 1, 200, 1);
    if (Multiple || Size > 1) Kind = ckListBox;
}

std::unique_ptr<TFormControlObj> TSelectControl::Clone() const {
    return std::unique_ptr<TFormControlObj>(new TSelectControl(*this));
}

void TSelectControl::AddOption(std::string text, const std::string* value, bool selected) {
    if (int(Options.size()) >= kMaxOptions) return;
    TOptionItem item;
    item.Text = std::move(text);
    if (value) item.Value = *value, item.HasValue = true;
    Options.push_back(std::move(item));
    if (selected) {
        Select(int(Options.size()) - 1, true);
        Options.back().InitialSelected = true;
        if (!Multiple)
            for (std::size_t i = 0; i + 1 < Options.size(); ++i) Options[i].InitialSelected = false;
    }
}

void TSelectControl::Select(int index, bool selected) {
    if (index < 0 || index >= int(Options.size())) return;
    if (selected && !Multiple)
        for (TOptionItem& item : Options) item.Selected = false;
    Options[std::size_t(index)].Selected = selected;
    Changed();
}

int TSelectControl::ShownIndex() const {
    for (std::size_t i = 0; i < Options.size(); ++i)
        if (Options[i].Selected) return int(i);
    return Options.empty() ? -1 : 0;
}

int TSelectControl::VisibleRows() const {
    return Size > 1 ? Size : Multiple ? 4 : 1;
}

void TSelectControl::Reset() {
    for (TOptionItem& item : Options) item.Selected = item.InitialSelected;
    Changed();
}

void TSelectControl::AddResults(std::vector<std::string>& results, const TFormControlObj*, int,
                                int) const {
    if (Name.empty()) return;
    auto add = [&](const TOptionItem& item) {
        results.push_back(Name + "=" + (item.HasValue ? item.Value : item.Text));
    };
    if (Kind == ckComboBox) {
        // A drop-down list always shows, and sends, one item.
        if (const int i = ShownIndex(); i >= 0) add(Options[std::size_t(i)]);
        return;
    }
    for (const TOptionItem& item : Options)
        if (item.Selected) add(item);
}

TTextAreaControl::TTextAreaControl(const TLayoutAttrs& attributes, const TControlLook& look,
                                   const TFontSpec& font)
    : TFormControlObj(ckTextArea, attributes, look, font) {
    Rows = NumberAttr(attributes, atROWS, 1, 200, 2);
    Cols = NumberAttr(attributes, atCOLS, 1, 500, 20);
    if (const std::string* v = Attr(attributes, atWRAP)) Wrap = text::lowerText(*v);
    Value.clear();
}

std::unique_ptr<TFormControlObj> TTextAreaControl::Clone() const {
    return std::unique_ptr<TFormControlObj>(new TTextAreaControl(*this));
}

void TTextAreaControl::AddLine(std::string line) {
    Lines.push_back(line);
    InitialLines.push_back(std::move(line));
}

std::string TTextAreaControl::Text() const {
    std::string text;
    for (std::size_t i = 0; i < Lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += Lines[i];
    }
    return text;
}

void TTextAreaControl::SetText(std::string_view text) {
    Lines.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
        Lines.emplace_back(text.substr(start, i - start));
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
}

void TTextAreaControl::Reset() {
    Lines = InitialLines;
    Changed();
}

void TTextAreaControl::AddResults(std::vector<std::string>& results, const TFormControlObj*, int,
                                  int) const {
    if (!Name.empty()) results.push_back(Name + "=" + Text());
}

std::unique_ptr<TFormControlObj> MakeFormControl(std::string_view tag,
                                                 const TLayoutAttrs& attributes,
                                                 const TControlLook& look, const TFontSpec& font) {
    if (tag == "select") return std::make_unique<TSelectControl>(attributes, look, font);
    if (tag == "textarea") return std::make_unique<TTextAreaControl>(attributes, look, font);
    const std::string* typeAttr = Attr(attributes, atTYPE);
    const std::string type = typeAttr ? text::lowerText(typeAttr->substr(0, 20)) : "";
    if (type == "password")
        return std::make_unique<TEditControl>(ckPassword, attributes, look, font);
    if (type == "file") return std::make_unique<TEditControl>(ckFile, attributes, look, font);
    if (type == "submit") return std::make_unique<TButtonControl>(ckSubmit, attributes, look, font);
    if (type == "reset") return std::make_unique<TButtonControl>(ckReset, attributes, look, font);
    if (type == "button") return std::make_unique<TButtonControl>(ckButton, attributes, look, font);
    if (type == "image") return std::make_unique<TButtonControl>(ckImage, attributes, look, font);
    if (type == "radio") return std::make_unique<TCheckControl>(ckRadio, attributes, look, font);
    if (type == "checkbox")
        return std::make_unique<TCheckControl>(ckCheckBox, attributes, look, font);
    if (type == "hidden") return std::make_unique<THiddenControl>(attributes, look, font);
    return std::make_unique<TEditControl>(ckEdit, attributes, look, font);
}

// ---------------------------------------------------------------- the form

ThtmlForm::ThtmlForm(TSectionList* document, const TLayoutAttrs& attributes) : Document(document) {
    for (const TLayoutAttr& a : attributes) {
        if (a.Symbol == atACTION)
            Action = a.Value;
        else if (a.Symbol == atMETHOD)
            Method = a.Value;
        else if (a.Symbol == atTARGET)
            Target = a.Value;
        else if (a.Symbol == atENCTYPE)
            EncType = a.Value;
    }
}

std::unique_ptr<ThtmlForm> ThtmlForm::CloneFor(
    TSectionList* document,
    std::vector<std::pair<const TFormControlObj*, TFormControlObj*>>& copies) const {
    auto form = std::make_unique<ThtmlForm>(document, TLayoutAttrs{});
    form->Action = Action, form->Method = Method, form->Target = Target, form->EncType = EncType;
    for (const auto& control : Controls) {
        auto copy = control->Clone();
        copy->Form = form.get();
        copy->Window = nullptr;
        copy->Image = nullptr;  // the section copy links the new picture
        copies.emplace_back(control.get(), copy.get());
        form->Controls.push_back(std::move(copy));
    }
    return form;
}

TFormControlObj& ThtmlForm::AddControl(std::unique_ptr<TFormControlObj> control) {
    control->Form = this;
    TFormControlObj& ref = *control;
    Controls.push_back(std::move(control));
    if (auto* radio = dynamic_cast<TCheckControl*>(&ref);
        radio && radio->Kind == ckRadio && radio->Checked) {
        RadioChecked(*radio);
        for (const auto& c : Controls)
            if (auto* other = dynamic_cast<TCheckControl*>(c.get());
                other && other != radio && other->Kind == ckRadio && other->Name == radio->Name)
                other->InitialChecked = false;
    }
    return ref;
}

void ThtmlForm::Finish() {
    std::vector<std::string> checked, seen;
    std::vector<TCheckControl*> firsts;
    for (const auto& c : Controls) {
        auto* radio = dynamic_cast<TCheckControl*>(c.get());
        if (!radio || radio->Kind != ckRadio) continue;
        if (radio->Checked) checked.push_back(radio->Name);
        if (std::find(seen.begin(), seen.end(), radio->Name) == seen.end()) {
            seen.push_back(radio->Name);
            firsts.push_back(radio);
        }
    }
    for (TCheckControl* first : firsts)
        if (std::find(checked.begin(), checked.end(), first->Name) == checked.end())
            first->Checked = first->InitialChecked = true;
}

void ThtmlForm::Reset() {
    for (const auto& control : Controls) control->Reset();
}

std::vector<std::string> ThtmlForm::Results(const TFormControlObj* submitter, int x, int y) const {
    std::vector<std::string> results;
    for (const auto& control : Controls) control->AddResults(results, submitter, x, y);
    return results;
}

void ThtmlForm::Submit(const TFormControlObj* submitter, int x, int y) {
    if (Document)
        Document->Host().FormSubmit(Action, Target, EncType, Method, Results(submitter, x, y));
}

void ThtmlForm::RadioChecked(const TFormControlObj& radio) {
    for (const auto& c : Controls) {
        auto* other = dynamic_cast<TCheckControl*>(c.get());
        if (other && other != &radio && other->Kind == ckRadio && other->Name == radio.Name &&
            other->Checked) {
            other->Checked = false;
            other->Changed();
        }
    }
}

void ThtmlForm::SizeControls(TCanvas& canvas) {
    for (const auto& control : Controls) control->SizeFor(canvas);
}

}  // namespace kv
