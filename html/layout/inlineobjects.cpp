#include "html/layout/inlineobjects.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "html/layout/imagemap.h"
#include "html/reader/documenthost.h"
#include "platform/codec.h"

namespace kv {

namespace {

int Clamp(long long value) {
    return int(std::clamp<long long>(value, 0, kMaxObjectSize));
}

TFontSpec AltFont() {
    TFontSpec font;
    font.Name = "Arial";
    font.Size = 8;
    return font;
}

TLayoutImage MakePlaceholder(bool error) {
    TLayoutImage p;
    p.Image = QImage(16, 16, QImage::Format_RGB32);
    p.Image.fill(QColor(192, 192, 192));
    QPainter painter(&p.Image);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(0, 0, 15, 15);
    if (error) {
        painter.setPen(QPen(QColor(255, 0, 0), 2));
        painter.drawLine(4, 4, 11, 11);
        painter.drawLine(11, 4, 4, 11);
    } else {
        painter.fillRect(4, 4, 8, 8, QColor(0, 0, 128));
    }
    painter.end();
    if (error) {
        // The corners are see-through.
        p.Mask = QImage(16, 16, QImage::Format_RGB32);
        p.Mask.fill(Qt::black);
        for (const QPoint corner : {QPoint(0, 0), QPoint(15, 0), QPoint(0, 15), QPoint(15, 15)})
            p.Mask.setPixel(corner, qRgb(255, 255, 255));
        p.Transparency = 1;
    }
    return p;
}

}  // namespace

const TLayoutImage& WaitPlaceholder() {
    static const TLayoutImage image = MakePlaceholder(false);
    return image;
}

const TLayoutImage& ErrorPlaceholder() {
    static const TLayoutImage image = MakePlaceholder(true);
    return image;
}

// ---------------------------------------------------------------- font runs

TFontObj::TFontObj(TFontEngine& fonts, TFontSpecPool& pool, int position, const TFontSpec& font)
    : RunStart(position), fonts_(&fonts), pool_(&pool), normal_(&pool.Intern(font)) {
    Remeasure();
}

TFontObj::TFontObj(const TFontObj& source, TFontEngine& fonts, TFontSpecPool& pool)
    : RunStart(source.RunStart),
      VerticalScript(source.VerticalScript),
      fonts_(&fonts),
      pool_(&pool),
      target_(source.target_),
      normal_(&pool.Intern(*source.normal_)) {
    Remeasure();
}

const TUrlTargetRef& TFontObj::Target() const {
    static const TUrlTargetRef kNone;
    return target_ ? *target_ : kNone;
}

void TFontObj::SetTarget(const TUrlTargetRef& target) {
    if (target.Url.empty() && target.TargetFrame.empty() && target.LinkId == 0)
        target_.reset();
    else
        target_ = std::make_shared<const TUrlTargetRef>(target);
}

void TFontObj::SetFont(const TFontSpec& font) {
    normal_ = &pool_->Intern(font);
    visited_ = hover_ = nullptr;
    Choose();
    Remeasure();
}

void TFontObj::SetLinkFonts(const TFontSpec* visited, const TFontSpec* hover) {
    visited_ = visited ? &pool_->Intern(*visited) : nullptr;
    hover_ = hover ? &pool_->Intern(*hover) : nullptr;
    Choose();
    Remeasure();
}

void TFontObj::Choose() {
    if (Hovered && hover_)
        current_ = hover_;
    else if (Visited && visited_)
        current_ = visited_;
    else
        current_ = normal_;
}

void TFontObj::SetVisited(bool visited) {
    Visited = visited;
    Choose();
    Remeasure();
}

void TFontObj::SetHover(bool hover) {
    Hovered = hover;
    Choose();
}

void TFontObj::Remeasure() {
    const TTextMetrics m = fonts_->Measure(*current_).Metrics();
    FontHeight = m.Height + m.ExternalLeading;
    CellHeight = m.Height;
    Overhang = m.Overhang;
    Descent = m.Descent;
}

TFontObj& TFontList::Add(std::unique_ptr<TFontObj> run) {
    runs_.push_back(std::move(run));
    return *runs_.back();
}

TFontObj* TFontList::FontAt(int p, int& overhang) const {
    if (runs_.empty()) return nullptr;
    // Runs are sorted by start: the last one starting at or before p.
    auto it = std::upper_bound(runs_.begin(), runs_.end(), p,
                               [](int pos, const auto& run) { return pos < run->RunStart; });
    TFontObj* run = it == runs_.begin() ? runs_.front().get() : std::prev(it)->get();
    overhang = run->Overhang;
    return run;
}

int TFontList::CharsToNextRun(int p, int length) const {
    auto it = std::upper_bound(runs_.begin(), runs_.end(), p,
                               [](int pos, const auto& run) { return pos < run->RunStart; });
    return (it == runs_.end() ? length : (*it)->RunStart) - p;
}

TFontObj* TFontList::RunAt(int p, int& index) const {
    auto it = std::upper_bound(runs_.begin(), runs_.end(), p,
                               [](int pos, const auto& run) { return pos < run->RunStart; });
    if (it == runs_.begin()) return index = -1, nullptr;
    index = int(std::prev(it) - runs_.begin());
    return std::prev(it)->get();
}

// ---------------------------------------------------------------- images

TImageObj::TImageObj(TImageHost& document, const TLayoutAttrs& attributes, const TObjectLook& look,
                     int position)
    : document_(&document) {
    Pos = position;
    ReadAttributes(attributes);
    TakeLook(look);
}

TImageObj::~TImageObj() {
    if (animatedRegistered_) document_->RemoveAnimated(animated_.get());
}

// Spaces around a floating image keep it off the text unless HSPACE says otherwise.
void TImageObj::TakeLook(const TObjectLook& look) {
    Align = look.Align;
    NoBorder = look.NoBorder;
    if (look.Width >= 0) WidthAttr = look.Width, WidthIsPercent = look.WidthPercent;
    if (look.Height >= 0) HeightAttr = std::max(1, look.Height);
    if (look.HSpace >= 0)
        SpaceLeft = SpaceRight = look.HSpace;
    else
        SpaceLeft = SpaceRight = Floats() ? 3 : 0;
    if (look.VSpace >= 0) SpaceTop = SpaceBottom = look.VSpace;
}

void TImageObj::ReadAttributes(const TLayoutAttrs& attributes) {
    for (const TLayoutAttr& attr : attributes) {
        const TAttrSymbol n = attr.Symbol;
        if (n == atSRC) {
            Source = attr.Value;
        } else if (n == atALT) {
            AltText = attr.Value;
        } else if (n == atISMAP) {
            ServerMap = true;
        } else if (n == atUSEMAP) {
            HasMap = true;
            MapKey = MapKeyOf(attr.Value);
        } else if (n == atTRANSP) {
            Transparency = 1;
        } else if (n == atACTIVE) {
            AnimateOnHover = true;
        } else if ((n == atID || n == atNAME) && !attr.Value.empty()) {
            document_->RegisterId(attr.Value, this);
        }
    }
}

bool TImageObj::IsPlaceholder() const {
    return state_ == bsWait || state_ == bsError;
}
bool TImageObj::IsError() const {
    return state_ == bsError;
}

void TImageObj::SetImage(std::shared_ptr<const TLayoutImage> image) {
    if (!image) return;
    still_ = std::move(image);
    state_ = bsStill;
    SizeFixed = false;
}

void TImageObj::Fetch() {
    const std::string name = document_->ExpandImageName(Source);
    const std::string key = text::upperText(name);
    if (document_->IsPending(key)) {
        state_ = bsWait;
        document_->AddPending(key, this);
        return;
    }
    TFetchResult result = document_->FetchImage(name, Transparency);
    if (result.Pending) {
        state_ = bsWait;
        document_->AddPending(key, this);
    } else if (result.Animated) {
        animated_ = std::move(result.Animated);
        state_ = bsAnimated;
        if (AnimateOnHover) {
            animated_->Stop();
        } else {
            document_->AddAnimated(animated_.get());
            animatedRegistered_ = true;
        }
    } else if (result.Still) {
        still_ = std::move(result.Still);
        Transparency = result.Transparency;
        state_ = bsStill;
    } else {
        state_ = bsError;
        Transparency = 1;
    }
}

void TImageObj::Size(TCanvas& canvas, int availableWidth, const TFontObj* run) {
    if (document_->ViewImages() && state_ == bsNone && !Source.empty()) Fetch();
    const bool placeholder = !document_->ViewImages() || state_ == bsNone || IsPlaceholder();
    ComputeSize(canvas, availableWidth, placeholder);
    ObjWidth = DrawnWidth;
    ObjHeight = DrawnHeight;
    Bordered = run && run->HasUrl() && !NoBorder;
    if (Bordered) ObjWidth += 2, ObjHeight += 2;
}

void TImageObj::ComputeSize(TCanvas& canvas, int availableWidth, bool placeholder) {
    if (SizeFixed) return;
    int naturalW = 0, naturalH = 0;
    if (placeholder) {
        const TLayoutImage& p = state_ == bsError ? ErrorPlaceholder() : WaitPlaceholder();
        naturalW = p.Image.width(), naturalH = p.Image.height();
    } else if (animated_) {
        naturalW = animated_->Width(), naturalH = animated_->Height();
    } else if (still_) {
        naturalW = still_->Image.width(), naturalH = still_->Image.height();
    }
    naturalW = std::max(1, Clamp(naturalW));
    naturalH = std::max(1, Clamp(naturalH));
    if (WidthIsPercent) {
        DrawnWidth = Clamp(std::llround(double(std::max(0, availableWidth)) * WidthAttr / 100.0));
        // Without a height the picture keeps its proportions; a placeholder keeps its box.
        if (HeightAttr)
            DrawnHeight = HeightAttr;
        else if (placeholder)
            DrawnHeight = naturalH;
        else
            DrawnHeight = Clamp(static_cast<long long>(DrawnWidth) * naturalH / naturalW);
    } else if (placeholder) {
        if (WidthAttr && HeightAttr) {
            DrawnWidth = WidthAttr, DrawnHeight = HeightAttr, SizeFixed = true;
        } else {
            DrawnWidth = naturalW, DrawnHeight = naturalH;
        }
    } else {
        if (WidthAttr && HeightAttr) {
            DrawnWidth = WidthAttr, DrawnHeight = HeightAttr;
        } else if (HeightAttr) {
            DrawnHeight = HeightAttr;
            DrawnWidth = Clamp(static_cast<long long>(HeightAttr) * naturalW / naturalH);
        } else if (WidthAttr) {
            DrawnWidth = WidthAttr;
            DrawnHeight = Clamp(static_cast<long long>(WidthAttr) * naturalH / naturalW);
        } else {
            DrawnWidth = naturalW, DrawnHeight = naturalH;
        }
        SizeFixed = true;
    }
    if (placeholder && !SizeFixed) {
        const TTextMeasure& alt = canvas.Measure(AltFont());
        const int textW = AltText.empty() ? 0 : alt.Extent(AltText);
        const int textH = AltText.empty() ? 0 : alt.Metrics().Height;
        DrawnWidth = std::max(DrawnWidth, Clamp(textW + 2 + 24));
        DrawnHeight = std::max({DrawnHeight, 24, textH});
    }
}

void TImageObj::Place(int x, const TFontObj* run, int baselineY, int lineTopY) {
    int top;
    if (Align == alTop || Floats()) {
        top = lineTopY + SpaceTop;
    } else if (Align == alMiddle) {
        const int descent = run ? run->Descent : 0, cell = run ? run->CellHeight : 0;
        top = baselineY + descent - cell / 2 - (ObjHeight + SpaceBottom - SpaceTop) / 2;
    } else {
        top = baselineY - ObjHeight - SpaceBottom;
    }
    DrawX = x;
    if (Bordered) ++DrawX, ++top;
    DrawY = top;
}

void TImageObj::Draw(TCanvas& canvas, int x, const TFontObj* run, int baselineY, int lineTopY) {
    Place(x, run, baselineY, lineTopY);
    Paint(canvas, 0, 0, run);
}

void TImageObj::Paint(TCanvas& canvas, int dx, int scrollTop, const TFontObj* run) {
    const int s = scrollTop;
    const bool placeholder = !document_->ViewImages() || state_ == bsNone || IsPlaceholder();
    canvas.Save();
    TColor keptColor = canvas.Font().Color;
    if (placeholder) {
        canvas.SetBkOpaque(false);
        canvas.SetBrushClear();
        TFontSpec font = AltFont();
        canvas.SetFont(font);
    }
    const int left = DrawX + dx, top = DrawY - s;
    const int g = placeholder ? 4 : 0;
    const QRect box(left, top, DrawnWidth, DrawnHeight);
    if (!placeholder || (DrawnWidth >= 24 && DrawnHeight >= 24))
        Blit(canvas, QRect(left + g, top + g, DrawnWidth, DrawnHeight), placeholder);
    const TColor linkColor = run ? run->CurrentFont().Color : keptColor;
    if (placeholder && !Bordered) {
        TFontSpec font = canvas.Font();
        font.Color = keptColor;
        canvas.SetFont(font);
        canvas.SetBaselineAlign(false);
        if (!AltText.empty()) canvas.TextOut(left + 24, top + 4, AltText, &box);
        canvas.FrameRect(box, 0x808080);
    } else if (Bordered) {
        if (placeholder) {
            TFontSpec font = canvas.Font();
            font.Color = linkColor;
            canvas.SetFont(font);
            canvas.SetBaselineAlign(false);
            if (!AltText.empty()) canvas.TextOut(left + 24, top + 4, AltText, &box);
        }
        canvas.FrameRect(QRect(left - 1, top - 1, ObjWidth, ObjHeight), linkColor);
    }
    canvas.Restore();
}

void TImageObj::Blit(TCanvas& canvas, const QRect& box, bool placeholder) {
    if (placeholder) {
        const TLayoutImage& p = state_ == bsError ? ErrorPlaceholder() : WaitPlaceholder();
        const QRect natural(box.topLeft(), p.Image.size());
        if (p.Mask.isNull())
            canvas.StretchBlit(natural, p.Image, p.Image.rect(), TRop::ropCopy);
        else
            canvas.MaskedBlit(natural, p.Image, p.Mask);
        return;
    }
    if (animated_) {
        if (canvas.IsPrinter())
            canvas.MaskedBlit(box, animated_->FrameImage(), animated_->FrameMask());
        else
            animated_->Draw(canvas, box);
        return;
    }
    if (!still_) return;
    if (Transparency != 0 && !still_->Mask.isNull())
        canvas.MaskedBlit(box, still_->Image, still_->Mask);
    else
        canvas.StretchBlit(box, still_->Image, still_->Image.rect(), TRop::ropCopy);
}

void TImageObj::SetHoverOn(bool on) {
    if (!AnimateOnHover || !animated_ || HoverOn == on) return;
    HoverOn = on;
    if (on) {
        if (animated_->FrameCount() == 2) {
            animated_->SetCurrentFrame(1);
        } else {
            animated_->Start();
            if (!animatedRegistered_) document_->AddAnimated(animated_.get());
            animatedRegistered_ = true;
        }
    } else {
        animated_->Stop();
        animated_->SetCurrentFrame(0);
        if (animatedRegistered_) document_->RemoveAnimated(animated_.get());
        animatedRegistered_ = false;
    }
}

// ---------------------------------------------------------------- panels

TPanelObj::TPanelObj(std::unique_ptr<TPanelControl> control, const TLayoutAttrs& attributes,
                     const TObjectLook& look, int position)
    : Control(std::move(control)) {
    Pos = position;
    Align = look.Align;
    SpaceLeft = SpaceRight = look.HSpace >= 0 ? look.HSpace : 3;
    if (look.VSpace >= 0) SpaceTop = SpaceBottom = look.VSpace;
    int width = Control ? Control->Width() : 30, height = Control ? Control->Height() : 20;
    if (look.Width >= 0) width = look.Width;
    if (look.Height >= 0) height = look.Height;
    for (const TLayoutAttr& attr : attributes) {
        if (attr.Symbol == atNAME)
            Name = attr.Value;
        else if (attr.Symbol == atSRC)
            Src = attr.Value;
        else if (attr.Symbol == atTYPE)
            Type = attr.Value;
        else if (attr.Symbol == atALT)
            AltText = attr.Value;
    }
    if (Control) {
        Control->SetSize(width, height);
        width = Control->Width(), height = Control->Height();
    }
    ObjWidth = width;
    ObjHeight = height;
}

TPanelObj::~TPanelObj() {
    if (Host && Control) Host->PanelDestroy(*Control);
}

namespace {

// What a print copy keeps of a panel's window.
class TPanelSnapshot : public TPanelControl {
public:
    explicit TPanelSnapshot(const TPanelControl& source)
        : width_(source.Width()),
          height_(source.Height()),
          visible_(source.Visible()),
          color_(source.Color()) {}
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetSize(int width, int height) override { width_ = width, height_ = height; }
    bool Visible() const override { return visible_; }
    TColor Color() const override { return color_; }
    void Place(int, int) override {}
    void Hide() override {}

private:
    int width_, height_;
    bool visible_;
    TColor color_;
};

}  // namespace

std::unique_ptr<TPanelObj> TPanelObj::CloneForPrint() const {
    auto copy =
        std::make_unique<TPanelObj>(Control ? std::make_unique<TPanelSnapshot>(*Control) : nullptr,
                                    TLayoutAttrs{}, TObjectLook{}, Pos);
    static_cast<TFloatingObj&>(*copy) = *this;
    copy->Name = Name, copy->Src = Src, copy->Type = Type, copy->AltText = AltText;
    return copy;
}

void TPanelObj::Print(TCanvas& canvas, int x, int y) {
    if (Control && !Control->Visible()) return;
    canvas.Save();
    canvas.SetPenColor(0);
    canvas.SetBrushColor(Control ? Control->Color() : 0xFFFFFF);
    const QRect box(x, y, ObjWidth, ObjHeight);
    canvas.Rectangle(box);
    canvas.SetBkOpaque(false);
    canvas.SetBaselineAlign(false);
    const QRect inner = box.adjusted(15, 15, -15, -15);
    if (!AltText.empty() && inner.isValid())
        canvas.TextOut(inner.left(), inner.top(), AltText, &inner);
    canvas.Restore();
}

// ---------------------------------------------------------------- object list

TFloatingObj& TImageObjList::Add(std::unique_ptr<TFloatingObj> obj) {
    items_.push_back(std::move(obj));
    return *items_.back();
}

TFloatingObj* TImageObjList::ObjectAt(int p) const {
    for (const auto& obj : items_)
        if (obj->Pos == p) return obj.get();
    return nullptr;
}

int TImageObjList::HeightAt(int p, std::uint8_t& align, TFloatingObj*& obj) const {
    obj = ObjectAt(p);
    if (!obj) return -1;
    align = obj->Align;
    return obj->TotalHeight();
}

int TImageObjList::WidthAt(int p, std::uint8_t& align, TFloatingObj*& obj, int& spaceRight,
                           int& spaceLeft) const {
    obj = ObjectAt(p);
    if (!obj) return -1;
    align = obj->Align;
    spaceRight = obj->SpaceRight;
    spaceLeft = obj->SpaceLeft;
    return obj->ObjWidth;
}

int TImageObjList::CharsToNextObject(int p) const {
    int best = 9999;
    for (const auto& obj : items_)
        if (obj->Pos >= p) best = std::min(best, obj->Pos - p);
    return best;
}

bool TImageObjList::ImageAt(int x, int y, TImageHit& hit, const TImageHost* maps) const {
    for (const auto& obj : items_) {
        auto* image = dynamic_cast<TImageObj*>(obj.get());
        if (!image) continue;
        const int w = image->ObjWidth - (image->Bordered ? 2 : 0);
        const int h = image->ObjHeight - (image->Bordered ? 2 : 0);
        const int rx = x - image->DrawX, ry = y - image->DrawY;
        if (rx < 0 || rx >= w || ry < 0 || ry >= h) continue;
        hit = {image, rx, ry, image->ServerMap, image->Pos, nullptr};
        if (maps && image->HasMap) hit.Map = maps->FindMap(image->MapKey);
        return true;
    }
    return false;
}

}  // namespace kv
