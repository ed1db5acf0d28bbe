#pragma once
// Form controls on the engine side: the form (ThtmlForm) with its attributes and controls, and
// one object per control (edit boxes, check boxes, radio buttons, buttons, image-submits,
// hidden fields, file fields, drop-down lists, list boxes, text areas). Each object knows its
// name, value and size for the canvas, draws itself into a canvas (so printing and off-screen
// rendering show it) and adds its NAME=value lines to a submission. The live widgets are the
// viewer's: it hangs a TControlWindow on each control it shows.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "html/layout/layouttypes.h"
#include "html/reader/names.h"
#include "platform/canvas.h"

namespace kv {

class ThtmlForm;
class TImageObj;
class TSectionList;

enum TControlKind : std::uint8_t {
    ckEdit,
    ckPassword,
    ckFile,
    ckHidden,
    ckCheckBox,
    ckRadio,
    ckSubmit,
    ckReset,
    ckButton,
    ckImage,
    ckComboBox,
    ckListBox,
    ckTextArea,
};

// The viewer's live widget of a control, moved and hidden by the document.
class TControlWindow {
public:
    virtual ~TControlWindow() = default;
    // Moves to (x, y) on the paint panel and shows it.
    virtual void Place(int x, int y) = 0;
    virtual void Hide() = 0;
    virtual bool Focused() const = 0;
    // The control's value changed behind the widget (a reset).
    virtual void Refresh() = 0;
};

// Vertical alignment of a control in its line.
enum : std::uint8_t { caTop = 1, caMiddle = 2, caBaseline = 3, caBottom = 4 };

// What a control's ALIGN, HSPACE and VSPACE say: its place on the line and the room around it.
struct TControlLook {
    std::uint8_t VAlign = caBaseline;
    int HSpace = 0, VSpace = 0;  // 0 .. 200
};

class TFormControlObj : public TIDObject {
public:
    TFormControlObj(TControlKind kind, const TLayoutAttrs& attributes, const TControlLook& look,
                    const TFontSpec& font);
    ~TFormControlObj() override = default;

    // A copy for a print copy of the document: same values and size, no window.
    virtual std::unique_ptr<TFormControlObj> Clone() const = 0;
    // Computes Width and Height for the canvas (before every layout).
    virtual void SizeFor(TCanvas& canvas) = 0;
    // Draws the control with its top-left corner at (x, y) in canvas coordinates.
    virtual void Draw(TCanvas& canvas, int x, int y) const = 0;
    // Back to the values the document gave.
    virtual void Reset() {}
    // Appends this control's NAME=value lines; `submitter` is the button that submits.
    virtual void AddResults(std::vector<std::string>& results, const TFormControlObj* submitter,
                            int x, int y) const;
    // A click on the control (without a live widget, or an image-submit): toggles, checks,
    // resets or submits its form.
    virtual void Activate(int x, int y);

    // Where the control stands; an image-submit stands where its picture is.
    int TopY() const override;
    // Stands in the text with a box of its own (hidden fields and image-submits do not).
    bool HasBox() const { return Kind != ckHidden && Kind != ckImage; }
    int TotalWidth() const { return Width + 2 * HSpace; }
    int TotalHeight() const { return Height + 2 * VSpace; }
    // Tells the live widget that the value changed.
    void Changed() const;

    TControlKind Kind;
    ThtmlForm* Form = nullptr;  // not owned
    std::string Name, Id, Value;
    std::uint8_t VAlign = caBaseline;
    int HSpace = 0, VSpace = 0;
    int Pos = 0;  // character position of the placeholder in its section
    // Size for the canvas, and where the last layout and paint put it: Left and PaintedY in
    // window coordinates of the paint, Top in document coordinates.
    int Left = 0, Top = 0, Width = 0, Height = 0, PaintedY = 0;
    bool ShownFlag = false;  // placed by the last paint
    TFontSpec Font;
    TColor BackColor = kNoColor;
    TImageObj* Image = nullptr;        // the picture of an image-submit, not owned
    TControlWindow* Window = nullptr;  // the viewer's widget, not owned

protected:
    TFormControlObj(const TFormControlObj&) = default;
};

// Text, password and file fields.
class TEditControl : public TFormControlObj {
public:
    TEditControl(TControlKind kind, const TLayoutAttrs& attributes, const TControlLook& look,
                 const TFontSpec& font);
    std::unique_ptr<TFormControlObj> Clone() const override;
    void SizeFor(TCanvas& canvas) override;
    void Draw(TCanvas& canvas, int x, int y) const override;
    void Reset() override;

    int Size = 20;      // visible characters
    int MaxLength = 0;  // 0: no limit
    std::string InitialValue;
    int ButtonWidth = 0;  // the browse button of a file field
};

// Check boxes and radio buttons.
class TCheckControl : public TFormControlObj {
public:
    TCheckControl(TControlKind kind, const TLayoutAttrs& attributes, const TControlLook& look,
                  const TFontSpec& font);
    std::unique_ptr<TFormControlObj> Clone() const override;
    void SizeFor(TCanvas& canvas) override;
    void Draw(TCanvas& canvas, int x, int y) const override;
    void Reset() override;
    void AddResults(std::vector<std::string>& results, const TFormControlObj* submitter, int x,
                    int y) const override;
    void Activate(int x, int y) override;
    // Checks or clears; checking a radio button clears the others of its group.
    void SetChecked(bool checked);

    bool Checked = false, InitialChecked = false;
};

// Submit, reset and plain buttons, and image-submits (drawn by their image object).
class TButtonControl : public TFormControlObj {
public:
    TButtonControl(TControlKind kind, const TLayoutAttrs& attributes, const TControlLook& look,
                   const TFontSpec& font);
    std::unique_ptr<TFormControlObj> Clone() const override;
    void SizeFor(TCanvas& canvas) override;
    void Draw(TCanvas& canvas, int x, int y) const override;
    void AddResults(std::vector<std::string>& results, const TFormControlObj* submitter, int x,
                    int y) const override;
    void Activate(int x, int y) override;
    std::string Caption() const;
};

class THiddenControl : public TFormControlObj {
public:
    THiddenControl(const TLayoutAttrs& attributes, const TControlLook& look, const TFontSpec& font);
    std::unique_ptr<TFormControlObj> Clone() const override;
    void SizeFor(TCanvas&) override { Width = Height = 0; }
    void Draw(TCanvas&, int, int) const override {}
};

struct TOptionItem {
    std::string Text, Value;
    bool HasValue = false;  // a VALUE attribute was given (else the text is sent)
    bool Selected = false, InitialSelected = false;
};

// A SELECT: a drop-down list, or a list box with SIZE above 1 or MULTIPLE.
class TSelectControl : public TFormControlObj {
public:
    TSelectControl(const TLayoutAttrs& attributes, const TControlLook& look, const TFontSpec& font);
    std::unique_ptr<TFormControlObj> Clone() const override;
    void SizeFor(TCanvas& canvas) override;
    void Draw(TCanvas& canvas, int x, int y) const override;
    void Reset() override;
    void AddResults(std::vector<std::string>& results, const TFormControlObj* submitter, int x,
                    int y) const override;
    // Adds an item (ignored past kMaxOptions); in a single-choice list a selected item clears
    // the others.
    void AddOption(std::string text, const std::string* value, bool selected);
    void Select(int index, bool selected);
    // The item a drop-down list shows: the first selected, else the first; -1 when empty.
    int ShownIndex() const;
    int VisibleRows() const;

    static constexpr int kMaxOptions = 10000;
    std::vector<TOptionItem> Options;
    bool Multiple = false;
    int Size = 1;
    int TextWidth = 0;  // the widest item
};

class TTextAreaControl : public TFormControlObj {
public:
    TTextAreaControl(const TLayoutAttrs& attributes, const TControlLook& look,
                     const TFontSpec& font);
    std::unique_ptr<TFormControlObj> Clone() const override;
    void SizeFor(TCanvas& canvas) override;
    void Draw(TCanvas& canvas, int x, int y) const override;
    void Reset() override;
    void AddResults(std::vector<std::string>& results, const TFormControlObj* submitter, int x,
                    int y) const override;
    void AddLine(std::string line);
    // The lines joined with CR LF.
    std::string Text() const;
    void SetText(std::string_view text);

    std::vector<std::string> Lines, InitialLines;
    int Rows = 2, Cols = 20;
    std::string Wrap;  // the WRAP attribute in lower case ("", "off", "soft", "hard", ...)
};

// Makes the control for an INPUT (kind from TYPE), SELECT or TEXTAREA; `tag` is the tag name
// in lower case.
std::unique_ptr<TFormControlObj> MakeFormControl(std::string_view tag,
                                                 const TLayoutAttrs& attributes,
                                                 const TControlLook& look, const TFontSpec& font);

// One FORM: its attributes and, in document order, its controls (owned).
class ThtmlForm {
public:
    ThtmlForm(TSectionList* document, const TLayoutAttrs& attributes);
    ThtmlForm(const ThtmlForm&) = delete;
    ThtmlForm& operator=(const ThtmlForm&) = delete;

    // A print copy: every control cloned; `copies` receives (original, copy) pairs.
    std::unique_ptr<ThtmlForm> CloneFor(
        TSectionList* document,
        std::vector<std::pair<const TFormControlObj*, TFormControlObj*>>& copies) const;

    TFormControlObj& AddControl(std::unique_ptr<TFormControlObj> control);
    // Gives every radio group without a checked button its first button checked.
    void Finish();
    void Reset();
    // The NAME=value lines of a submission, in the order of the controls.
    std::vector<std::string> Results(const TFormControlObj* submitter = nullptr, int x = 0,
                                     int y = 0) const;
    // Hands the results to the document's submit handler, if it has one.
    void Submit(const TFormControlObj* submitter, int x = 0, int y = 0);
    // A radio button was checked: the others of its group are cleared.
    void RadioChecked(const TFormControlObj& radio);
    void SizeControls(TCanvas& canvas);

    TSectionList* Document;  // not owned
    std::string Action, Method = "get", Target, EncType;
    std::vector<std::unique_ptr<TFormControlObj>> Controls;
};

}  // namespace kv
