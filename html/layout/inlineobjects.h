#pragma once
// The objects that live inside a text section next to its characters: font runs with their link
// target and hover and visited states, and images and panels standing at placeholder characters.

#include <QImage>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "html/layout/floatingobj.h"
#include "html/layout/idobject.h"
#include "html/layout/imagehost.h"
#include "html/layout/layouttypes.h"
#include "platform/canvas.h"

namespace kv {

class TDocumentHost;

class TMapItem;
class TFormControlObj;

// Sizes beyond this are hostile; the drawing system works in 16-bit coordinates anyway.
constexpr int kMaxObjectSize = 20000;

// What the attributes of an image or a panel say about its look: alignment, size, border and
// the room around it. -1: not given.
struct TObjectLook {
    std::uint8_t Align = alBottom;
    int Width = -1, Height = -1;   // 0 .. kMaxObjectSize
    bool WidthPercent = false;     // WIDTH 1% .. 100%
    bool NoBorder = false;         // BORDER=0
    int HSpace = -1, VSpace = -1;  // 0 .. 40
};

// The link a run of text belongs to. Runs of one link share LinkId; 0 outside links.
struct TUrlTargetRef {
    std::string Url;
    std::string TargetFrame;
    int LinkId = 0;
};

class TFontObj {
public:
    // Fonts are kept in `pool` (not owned), which must outlive the run.
    TFontObj(TFontEngine& fonts, TFontSpecPool& pool, int position, const TFontSpec& font);
    // A print copy: the normal font, the same start, script and target.
    TFontObj(const TFontObj& source, TFontEngine& fonts, TFontSpecPool& pool);

    void SetFont(const TFontSpec& font);
    // Link fonts: nullptr removes them.
    void SetLinkFonts(const TFontSpec* visited, const TFontSpec* hover);
    void SetVisited(bool visited);
    void SetHover(bool hover);
    bool HasUrl() const { return target_ && !target_->Url.empty(); }
    // The link the run belongs to (an empty one outside links). Runs of one link share it.
    const TUrlTargetRef& Target() const;
    void SetTarget(const TUrlTargetRef& target);
    void ShareTarget(const TFontObj& run) { target_ = run.target_; }

    const TFontSpec& CurrentFont() const { return *current_; }
    const TFontSpec& NormalFont() const { return *normal_; }

    bool Visited = false;
    bool Hovered = false;
    int RunStart = 0;
    int FontHeight = 0;  // text-metric height + external leading
    int CellHeight = 0;  // text-metric height
    int Overhang = 0;
    int Descent = 0;
    std::uint8_t VerticalScript = 0;  // 0 none, 1 subscript, 2 superscript
    bool Listed = false;              // in the document's LinkRuns

private:
    void Choose();
    void Remeasure();

    TFontEngine* fonts_;
    TFontSpecPool* pool_;
    std::shared_ptr<const TUrlTargetRef> target_;  // null outside links
    // All in the pool; a long article has tens of thousands of runs and a few dozen fonts.
    const TFontSpec* normal_;
    const TFontSpec* visited_ = nullptr;
    const TFontSpec* hover_ = nullptr;
    const TFontSpec* current_ = normal_;
};

// Font runs in increasing RunStart; the first starts at 0.
class TFontList {
public:
    TFontObj& Add(std::unique_ptr<TFontObj> run);
    int Count() const { return int(runs_.size()); }
    TFontObj& operator[](int i) const { return *runs_[i]; }
    TFontObj* Last() const { return runs_.empty() ? nullptr : runs_.back().get(); }
    // The last run with RunStart <= p (the first run when p lies before every start).
    TFontObj* FontAt(int p, int& overhang) const;
    // Characters from p to the next run start, or to `length`.
    int CharsToNextRun(int p, int length) const;
    // The run holding p and its index, or nullptr.
    TFontObj* RunAt(int p, int& index) const;

private:
    std::vector<std::unique_ptr<TFontObj>> runs_;
};

// Where an image stands in the text and what the layout made of it.
class TImageObj : public TFloatingObj, public TIDObject {
public:
    // Reads SRC, ALT, ISMAP, USEMAP, TRANSP, ACTIVE and the id; the look is typed already.
    TImageObj(TImageHost& document, const TLayoutAttrs& attributes, const TObjectLook& look,
              int position);
    ~TImageObj() override;

    // Finds the bitmap (once) and computes the drawn size for the available width.
    void Size(TCanvas& canvas, int availableWidth, const TFontObj* run);
    // Places the image at x with the line's baseline and top (document coordinates): sets
    // DrawX and DrawY, which hit tests and painting read.
    void Place(int x, const TFontObj* run, int baselineY, int lineTopY);
    // Draws where Place put it, shifted by dx (the paint origin's offset from the document's)
    // and up by the scroll top.
    void Paint(TCanvas& canvas, int dx, int scrollTop, const TFontObj* run);
    // Place at x, then Paint unshifted and unscrolled.
    void Draw(TCanvas& canvas, int x, const TFontObj* run, int baselineY, int lineTopY);
    void SetHoverOn(bool on);
    int TopY() const override { return DrawY; }
    // Takes alignment, size, border and spaces; again when the element's style changes them.
    void TakeLook(const TObjectLook& look);

    // The image came after all (the viewer's pending images): shows it at the next layout.
    void SetImage(std::shared_ptr<const TLayoutImage> image);
    bool IsPlaceholder() const;
    bool IsError() const;
    const TAnimatedImage* Animated() const { return animated_.get(); }

    bool HoverOn = false;
    bool AnimateOnHover = false;
    int HeightAttr = 0;
    int WidthAttr = 0;
    bool WidthIsPercent = false;
    int DrawnHeight = 0, DrawnWidth = 0;
    bool SizeFixed = false;
    std::string Source;
    std::string AltText;
    bool NoBorder = false;
    int Transparency = 0;
    bool ServerMap = false;
    bool HasMap = false;
    bool Bordered = false;
    int DrawX = 0;
    std::string MapKey;
    TFormControlObj* SubmitControl = nullptr;  // the image-submit form control, not owned

private:
    void ReadAttributes(const TLayoutAttrs& attributes);
    void Fetch();
    void ComputeSize(TCanvas& canvas, int availableWidth, bool placeholder);
    void Blit(TCanvas& canvas, const QRect& box, bool placeholder);

    enum TBitmapState { bsNone, bsWait, bsError, bsStill, bsAnimated };

    TImageHost* document_;
    TBitmapState state_ = bsNone;
    std::shared_ptr<const TLayoutImage> still_;
    std::unique_ptr<TAnimatedImage> animated_;
    bool animatedRegistered_ = false;
};

// A panel of the application embedded in the text. The window control lives with the viewer;
// the layout sees its size, visibility and colour.
class TPanelControl {
public:
    virtual ~TPanelControl() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetSize(int width, int height) = 0;
    virtual bool Visible() const = 0;
    virtual TColor Color() const = 0;
    // Moves to (x, y) on the paint panel and shows it, or hides it.
    virtual void Place(int x, int y) = 0;
    virtual void Hide() = 0;
};

class TPanelObj : public TFloatingObj {
public:
    // Reads NAME, SRC, TYPE and ALT; sizes the control as the look says.
    TPanelObj(std::unique_ptr<TPanelControl> control, const TLayoutAttrs& attributes,
              const TObjectLook& look, int position);
    ~TPanelObj() override;
    // The panel of a print copy: the same place, size, visibility and colour, without a window.
    std::unique_ptr<TPanelObj> CloneForPrint() const;
    // Printing: a rectangle in the panel's colour with the alt text inside.
    void Print(TCanvas& canvas, int x, int y);

    std::string Name, Src, Type, AltText;
    std::unique_ptr<TPanelControl> Control;
    bool ShowIt = false;  // placed in the last paint
    // The host that gave the control, told before it is freed (not owned; none for copies).
    TDocumentHost* Host = nullptr;
};

struct TImageHit {
    TImageObj* Image = nullptr;
    int X = 0, Y = 0;  // relative to the image
    bool ServerMap = false;
    int Pos = 0;
    TMapItem* Map = nullptr;
};

// Images and panels of a section in placeholder order.
class TImageObjList {
public:
    TFloatingObj& Add(std::unique_ptr<TFloatingObj> obj);
    int Count() const { return int(items_.size()); }
    TFloatingObj& operator[](int i) const { return *items_[i]; }

    TFloatingObj* ObjectAt(int p) const;
    // Height with vertical spaces, or -1.
    int HeightAt(int p, std::uint8_t& align, TFloatingObj*& obj) const;
    int WidthAt(int p, std::uint8_t& align, TFloatingObj*& obj, int& spaceRight,
                int& spaceLeft) const;
    // Characters from p to the next object at or after p (0 when p holds one); 9999 if none.
    int CharsToNextObject(int p) const;
    // The image under a document point; with `maps` the map of a HasMap image is looked up.
    bool ImageAt(int x, int y, TImageHit& hit, const TImageHost* maps) const;
    bool PointInImage(int x, int y, TImageHit& hit) const { return ImageAt(x, y, hit, nullptr); }

private:
    std::vector<std::unique_ptr<TFloatingObj>> items_;
};

// The two shared placeholders: the image still to come, and the image that failed.
const TLayoutImage& WaitPlaceholder();
const TLayoutImage& ErrorPlaceholder();

}  // namespace kv
