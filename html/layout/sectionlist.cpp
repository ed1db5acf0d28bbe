#include "html/layout/sectionlist.h"

#include <QTimer>
#include <algorithm>
#include <utility>

#include "html/images/display.h"
#include "html/layout/imagesource.h"
#include "html/layout/textsection.h"
#include "html/reader/units.h"
#include "platform/codec.h"

namespace kv {

std::string ImageKey(std::string_view name) {
    return text::upperText(TrimView(name));
}

// ---------------------------------------------------------------- life

TSectionList::TSectionList(TFontEngine& fonts)
    : TCell(this),
      cache_(std::make_shared<std::map<std::string, std::shared_ptr<const TLayoutImage>>>()),
      fonts_(&fonts) {}

TSectionList::TSectionList(const TSectionList& source, TFontEngine& fonts, bool withContent)
    : TCell(this), cache_(source.cache_), fonts_(&fonts) {
    if (!withContent) SetDefaults(source.settings_);
    viewImages_ = source.viewImages_;
    printCopy_ = true;
    settings_ = source.settings_;
    printTableBackground_ = source.printTableBackground_;
    BackgroundColor = source.BackgroundColor;
    baseFolder_ = source.baseFolder_;
    OwnerTag = source.OwnerTag;
    if (!withContent) return;
    // The copy draws the controls with the values they hold now; it never has live widgets.
    std::vector<std::pair<const TFormControlObj*, TFormControlObj*>> copies;
    for (const auto& form : source.Forms) Forms.push_back(form->CloneFor(this, copies));
    controlCopies_.insert(copies.begin(), copies.end());
    for (const auto& section : source.Sections) Sections.push_back(section->CloneFor(this));
    controlCopies_.clear();
}

TFormControlObj* TSectionList::CopyOfControl(const TFormControlObj* control) const {
    auto it = controlCopies_.find(control);
    return it == controlCopies_.end() ? nullptr : it->second;
}

TSectionList::~TSectionList() {
    Clear();
}

void TSectionList::SetDefaults(const TDocumentDefaults& defaults) {
    settings_ = defaults;
    settings_.PreFontName = defaults.PreFontName.substr(0, 32);
    hoverLinks_ = defaults.LinksActive;
    const TDocumentDefaults& s = settings_;
    const TFontSpec& f = s.Font;
    Styles.BuildDefaults(f.Name, s.PreFontName, s.MarginWidth, s.MarginHeight,
                         std::uint8_t(f.Charset), s.UnderlineLinks, s.OverColor, s.VisitedColor,
                         s.HotSpotColor, f.Color, double(f.Size));
    SetBackgroundColor(defaults.Background);
}

void TSectionList::SetBackgroundColor(TColor color) {
    BackgroundColor = color;
    Host().BackgroundChanged();
}

void TSectionList::SetLinkColors(TColor link, TColor visited, TColor over) {
    settings_.HotSpotColor = settings_.LinkColor = link;
    settings_.VisitedColor = visited;
    settings_.OverColor = over;
}

void TSectionList::SetPreFontName(const std::string& name) {
    settings_.PreFontName = name.substr(0, 32);
}

void TSectionList::SetBackgroundImageName(const std::string& name) {
    background_.reset();
    backgroundName_ = name;
    backgroundTried_ = false;
}

void TSectionList::RetryBackgroundImage() {
    if (!backgroundName_.empty()) SetBackgroundImageName(backgroundName_);
}

void TSectionList::Clear() {
    if (!printCopy_) {
        IDNames.Clear();
        Positions.clear();
        // Pictures kept across documents are the image cache's business (it ages them); this
        // map only spares a document fetching the same picture twice.
        cache_->clear();
    }
    background_.reset();
    ReleaseImageUses();
    if (onControlsCleared_ && !FormControlList.empty()) onControlsCleared_();
    // Sections keep plain pointers to controls and never use them when they are freed.
    Forms.clear();
    FormControlList.clear();
    AnimatedImages.clear();
    timer_.reset();
    selStart_ = selEnd_ = 0;
    ImageMaps.clear();
    PendingImages.clear();
    LinkRuns.clear();
    hoverRun_ = nullptr;
    hoverImage_ = nullptr;
    Panels.clear();
    if (!printCopy_) Styles.Clear();
    Sections.clear();
    fontPool_ = std::make_unique<TFontSpecPool>();
}

// ---------------------------------------------------------------- layout and paint

int TSectionList::DoLayout(TCanvas& canvas, int width, int viewHeight, int& maxWidth) {
    if (timer_) timer_->stop();
    for (const auto& form : Forms) form->SizeControls(canvas);
    // Layout moves every control: none stands where the last paint put it until painted again.
    for (TFormControlObj* control : FormControlList) control->ShownFlag = false;
    int cursor = 0;
    const TLayoutContext lc{canvas, *Indents, cursor, viewHeight};
    int height = LayoutCell(lc, 0, width, maxWidth);
    // Content overflowing a block of fixed height is still scrolled to.
    for (const auto& section : Sections) height = std::max(height, section->PaintBottom);
    // Every layout starts the animations afresh: first frame, animation turned off and on,
    // which restarts the pass count and the frame clock.
    for (TAnimatedImage* image : AnimatedImages) {
        image->SetCurrentFrame(0);
        image->Stop();
        if (!printCopy_) image->Start();
    }
    if (!printCopy_ && !timer_) {
        timer_ = std::make_unique<QTimer>();
        timer_->setInterval(50);
        QObject::connect(timer_.get(), &QTimer::timeout, [this] { AnimationTick(); });
    }
    if (timer_) {
        if (AnimatedImages.empty())
            timer_->stop();
        else
            timer_->start();
    }
    UpdateControlVisibility();
    if (!printCopy_ && Positions.empty())
        ForEachChild([](TSectionBase& section) {
            section.RegisterPosition();
            return false;
        });
    return height;
}

bool TSectionList::TimerEnabled() const {
    return timer_ && timer_->isActive();
}

namespace {

// Selects the shared halftone palette into a palette device for one paint and restores the
// palette it had afterwards, also when painting fails. Other canvases are left as they are.
class TPaletteScope {
public:
    explicit TPaletteScope(TCanvas& canvas)
        : canvas_(canvas),
          selected_(canvas.IsPaletteDevice()),
          old_(selected_ ? canvas.SelectPalette(&ThePalette()) : nullptr) {}
    ~TPaletteScope() {
        if (selected_) canvas_.SelectPalette(old_);
    }
    TPaletteScope(const TPaletteScope&) = delete;
    TPaletteScope& operator=(const TPaletteScope&) = delete;

private:
    TCanvas& canvas_;
    bool selected_;
    const TPalette* old_;
};

}  // namespace

TPaintContext TSectionList::NewPaint(const QRect& clip, int scrollTop) const {
    TPaintContext pc;
    pc.Clip = clip;
    pc.ScrollTop = scrollTop;
    pc.SelStart = selStart_;
    pc.SelEnd = selEnd_;
    pc.ShowCaret = showCaret_;
    pc.PrintCopy = printCopy_;
    pc.PageLimitY = scrollTop + clip.top() + clip.height();  // the first row below the clip
    return pc;
}

int TSectionList::Paint(TCanvas& canvas, const QRect& clip, int x, int y) {
    return Paint(canvas, clip, x, y, scrollTop_);
}

int TSectionList::Paint(TCanvas& canvas, const QRect& clip, int x, int y, int scrollTop) {
    TPaintContext pc = NewPaint(clip, scrollTop);
    return PaintWith(canvas, pc, x, y);
}

int TSectionList::PaintPage(TCanvas& canvas, const QRect& clip, int x, int y) {
    TPaintContext pc = NewPaint(clip, scrollTop_);
    PaintWith(canvas, pc, x, y);
    return pc.PageLimitY;
}

int TSectionList::PaintWith(TCanvas& canvas, TPaintContext& pc, int x, int y) {
    const TPaletteScope palette(canvas);
    const bool timing = timer_ && timer_->isActive();
    if (timer_) timer_->stop();
    for (TAnimatedImage* image : AnimatedImages) image->Painted = false;
    for (TPanelObj* panel : Panels) panel->ShowIt = false;
    const int bottom = PaintCell(canvas, pc, x, y);
    for (const TImageRec& rec : pc.DrawList)
        rec.Image->Paint(canvas, rec.Dx, pc.ScrollTop, rec.Run);
    if (controlsMoved_) {
        UpdateControlVisibility();
        for (TPanelObj* panel : Panels)
            if (!panel->ShowIt && panel->Control) panel->Control->Hide();
        controlsMoved_ = false;
    }
    if (timer_ && (timing || !AnimatedImages.empty()) && !AnimatedImages.empty()) timer_->start();
    return bottom;
}

void TSectionList::SetScrollTop(int y) {
    if (y == scrollTop_) return;
    scrollTop_ = y;
    controlsMoved_ = true;
    for (TFormControlObj* control : FormControlList) control->ShownFlag = false;
    for (TPanelObj* panel : Panels) panel->ShowIt = false;
}

void TSectionList::UpdateControlVisibility() {
    if (printCopy_ || FormControlList.empty()) return;
    const bool focused =
        std::any_of(FormControlList.begin(), FormControlList.end(),
                    [](const TFormControlObj* c) { return c->Window && c->Window->Focused(); });
    for (TFormControlObj* control : FormControlList) {
        if (control->ShownFlag || !control->Window) continue;
        if (focused)
            control->Window->Place(-4000, control->PaintedY);
        else
            control->Window->Hide();
    }
}

void TSectionList::AnimationTick() {
    if (printCopy_) return;
    bool any = false;
    for (TAnimatedImage* image : AnimatedImages)
        if (image->Painted) image->Advance(), any = true;
    if (any) Host().Invalidate();
    if (timer_) timer_->setInterval(50);
}

// ---------------------------------------------------------------- hit tests

void TSectionList::HoverLink(TFontObj* run, bool on) {
    if (!run) return;
    auto it = std::find(LinkRuns.begin(), LinkRuns.end(), run);
    if (it == LinkRuns.end() || run->Target().LinkId == 0) {
        run->SetHover(on);
        return;
    }
    // A link split over several runs changes as a whole.
    const int id = run->Target().LinkId;
    auto first = it, last = it;
    while (first != LinkRuns.begin() && (*std::prev(first))->Target().LinkId == id) --first;
    while (std::next(last) != LinkRuns.end() && (*std::next(last))->Target().LinkId == id) ++last;
    for (auto i = first; i <= last; ++i) (*i)->SetHover(on);
}

bool TSectionList::MouseOver(const TLinkHit& hit) {
    TFontObj* oldRun = std::exchange(hoverRun_, hit.Run);
    TImageObj* oldImage = std::exchange(hoverImage_, hit.Image);
    bool changed = false;
    if (hoverLinks_ && hoverRun_ != oldRun) {
        HoverLink(oldRun, false);
        HoverLink(hoverRun_, true);
        changed = true;
    }
    if (hoverImage_ != oldImage) {
        if (oldImage) oldImage->SetHoverOn(false);
        if (hoverImage_) hoverImage_->SetHoverOn(true);
        changed = true;
    }
    if (changed) Host().Invalidate();
    return changed;
}

void TSectionList::ClearHover() {
    if (hoverRun_ || hoverImage_) Host().Invalidate();
    HoverLink(hoverRun_, false);
    if (hoverImage_) hoverImage_->SetHoverOn(false);
    hoverRun_ = nullptr;
    hoverImage_ = nullptr;
}

TSectionBase* TSectionList::SectionAt(int y, int& sectionY, int& index) const {
    for (int i = int(Positions.size()) - 1; i >= 0; --i)
        if (Positions[i]->TopY() <= y) {
            sectionY = Positions[i]->TopY();
            index = i;
            return Positions[i];
        }
    return nullptr;
}

bool TSectionList::CharAt(int cursor, char16_t& ch, const TFontObj*& font) const {
    if (cursor < FirstCursor || cursor > FirstCursor + CursorCount) return false;
    return TCell::CharAt(cursor, ch, font);
}

void TSectionList::Select(int start, int end) {
    selStart_ = start;
    selEnd_ = end;
}

std::u16string TSectionList::SelectedText() const {
    std::u16string text;
    if (selStart_ < selEnd_) CopyChildSelection(selStart_, selEnd_, text);
    return text;
}

int TSectionList::SourcePosToY(int sourcePos) const {
    const int cursor = SourceToDoc(sourcePos, false);
    if (cursor < 0) return 0;
    int y = 0, x = 0;
    return CursorToPoint(nullptr, cursor, y, x) ? y : 0;
}

// ---------------------------------------------------------------- images

namespace {

// White (see-through) wherever the picture has the colour.
QImage MaskOf(const QImage& image, QRgb colour) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QImage mask(rgb.size(), QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(mask.scanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            out[x] = (in[x] & 0xFFFFFF) == (colour & 0xFFFFFF) ? 0xFFFFFFFF : 0xFF000000;
    }
    return mask;
}

QRgb CornerColour(const QImage& image) {
    return image.pixel(0, image.height() - 1);
}

}  // namespace

std::string TSectionList::ExpandImageName(const std::string& source) const {
    // Blanks at the ends of a SRC are not part of the name: trimmed before the base joins it.
    std::string name(TrimView(source));
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || name.front() == '/' || name.find("://") != std::string::npos) return name;
    return baseFolder_ + name;
}

TFetchResult TSectionList::FetchImage(const std::string& name, int transparency) {
    TFetchResult result;
    if (name.empty()) return result;
    const std::string key = ImageKey(name);
    auto found = cache_->find(key);
    if (found != cache_->end()) {
        std::shared_ptr<const TLayoutImage> item = found->second;
        if (transparency == 1 && item->Mask.isNull() && !item->Image.isNull()) {
            auto masked = std::make_shared<TLayoutImage>(*item);
            masked->Mask = MaskOf(item->Image, CornerColour(item->Image));
            masked->Transparency = 1;
            found->second = item = masked;
        }
        result.Still = item;
        result.FromCache = true;
        result.Transparency = item->Transparency;
        return result;
    }
    result = FetchThroughCache(ImageCache(), ImageRequests(), name, transparency);
    if (ImageCache().Find(name)) imageUses_.push_back(name);
    if (result.Animated || result.Pending || !result.Still) return result;
    auto item = std::make_shared<TLayoutImage>(*result.Still);
    if (transparency == 1 && item->Mask.isNull()) {
        item->Mask = MaskOf(item->Image, CornerColour(item->Image));
        item->Transparency = 1;
    }
    (*cache_)[key] = item;
    result = TFetchResult{};
    result.Still = item;
    result.Transparency = item->Transparency;
    return result;
}

void TSectionList::SetImageCache(TStringBitmapList* cache) {
    if (cache == imageCache_) return;
    ReleaseImageUses();  // the uses belong to the cache they were taken from
    imageCache_ = cache;
}

TStringBitmapList& TSectionList::ImageCache() {
    if (imageCache_) return *imageCache_;
    if (!ownImageCache_) ownImageCache_ = std::make_unique<TStringBitmapList>();
    return *ownImageCache_;
}

void TSectionList::ReleaseImageUses() {
    if (imageUses_.empty()) return;
    TStringBitmapList& cache = ImageCache();
    for (const std::string& name : imageUses_) cache.Release(name);
    imageUses_.clear();
}

// The host's image handlers as the image cache asks for them; only those the host has, since
// the cache reads no file for a name a bitmap handler was asked about.
TImageRequests TSectionList::ImageRequests() const {
    TImageRequests requests;
    TDocumentHost& host = Host();
    if (host.Handles(THandler::Bitmap))
        requests.OnBitmapRequest = [&host](const std::string& name,
                                           std::unique_ptr<TBitmap>& bitmap, std::int64_t& color) {
            host.BitmapRequest(name, bitmap, color);
        };
    if (host.Handles(THandler::ImageStream))
        requests.OnImageRequest = [&host](const std::string& name) {
            return host.ImageRequest(name);
        };
    return requests;
}

bool TSectionList::IsPending(const std::string& key) const {
    return std::any_of(PendingImages.begin(), PendingImages.end(),
                       [&](const TPendingImage& entry) { return entry.Key == key; });
}

void TSectionList::AddPending(const std::string& key, TImageObj* image) {
    PendingImages.push_back({key, image});
}

void TSectionList::AddAnimated(TAnimatedImage* image) {
    if (std::find(AnimatedImages.begin(), AnimatedImages.end(), image) == AnimatedImages.end())
        AnimatedImages.push_back(image);
}

void TSectionList::RemoveAnimated(TAnimatedImage* image) {
    std::erase(AnimatedImages, image);
}

TMapItem* TSectionList::FindMap(const std::string& key) const {
    for (const auto& map : ImageMaps)
        if (map->MapKey == key) return map.get();
    return nullptr;
}

void TSectionList::RegisterId(const std::string& id, TIDObject* object) {
    if (!printCopy_) IDNames.AddObject(id, object);
}

const TLayoutImage* TSectionList::BackgroundImage() {
    if (viewImages_ && !backgroundName_.empty() && !backgroundTried_ && !background_) {
        TFetchResult r = FetchImage(ExpandImageName(backgroundName_), 0);
        if (r.Still) {
            background_ = r.Still;
        } else if (r.Animated) {
            auto frame = std::make_shared<TLayoutImage>();
            frame->Image = r.Animated->FrameImage();
            frame->Mask = r.Animated->FrameMask();
            background_ = frame;
        } else if (r.Pending) {
            PendingImages.push_back({ImageKey(backgroundName_), nullptr});
        }
    }
    backgroundTried_ = true;
    return background_.get();
}

}  // namespace kv
