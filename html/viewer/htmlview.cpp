// The viewer control: construction, properties, loading and clearing. Layout, scrolling, keys
// and painting are in viewscroll.cpp.

#include "html/viewer/htmlview.h"

#include <QApplication>
#include <QFrame>
#include <filesystem>

#include "html/layout/builder.h"
#include "html/layout/imagesource.h"
#include "html/viewer/paintpanel.h"
#include "html/viewer/scrollbar32.h"
#include "html/viewer/viewhost.h"
#include "platform/codec.h"
#include "platform/paths.h"
#include "platform/scopedvalue.h"

namespace kv {

namespace {

// The hourglass for the duration of a load; restored on every way out.
class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// The image markup for a file name: quotes and ampersands in the name stay part of it.
std::string ImageMarkup(const std::string& file) {
    std::string escaped;
    for (char c : file) {
        if (c == '&')
            escaped += "&amp;";
        else if (c == '"')
            escaped += "&quot;";
        else
            escaped += c;
    }
    return "<img src=\"" + escaped + "\">";
}

}  // namespace

// ---------------------------------------------------------------- life

THtmlView::THtmlView(QWidget* parent) : THtmlView(TQtFontEngine::Shared(), parent) {}

THtmlView::THtmlView(TFontEngine& fonts, QWidget* parent)
    : QWidget(parent), measure_(1, 1, fonts), doc_(fonts) {
    setFocusPolicy(Qt::StrongFocus);
    border_ = new QFrame(this);
    border_->setFrameStyle(QFrame::NoFrame);
    border_->setAutoFillBackground(false);
    panel_ = new TPaintPanel(this, this);
    formWidgets_ = std::make_unique<TFormWidgets>(panel_);
    formWidgets_->Attach(&doc_);
    vbar_ = new T32ScrollBar(Qt::Vertical, 16, this);
    hbar_ = new T32ScrollBar(Qt::Horizontal, 15, this);
    scrollBarWidth_ = vbar_->sizeHint().width();
    vbar_->installEventFilter(this);  // the wheel goes by the viewer's own step
    vbar_->OnAction = [this](int action) { VScrollAction(action); };
    hbar_->OnAction = [this](int action) { HScrollAction(action); };

    doc_.SetViewImages(true);
    host_ = std::make_unique<TViewHost>(*this);
    doc_.SetHost(host_.get());
    doc_.SetOnControlEnter(
        [this](TFormControlObj& control) { ScrollControlIntoView(control.TopY()); });
    doc_.SetDefaults(Defaults());

    hoverTimer_.setInterval(200);
    hoverTimer_.setSingleShot(false);
    connect(&hoverTimer_, &QTimer::timeout, this, [this] { HoverTimerTick(); });
    connect(&autoScrollTimer_, &QTimer::timeout, this, [this] { AutoScrollTick(); });
    resize(150, 150);
    ArrangeScrollBars();
}

THtmlView::~THtmlView() {
    vbar_->removeEventFilter(this);
    hoverTimer_.stop();
    if (ownsImageCache_) doc_.Clear();
}

QWidget* THtmlView::PaintPanel() const {
    return panel_;
}

TDocumentDefaults THtmlView::Defaults() const {
    TDocumentDefaults d;
    d.Font.Name = defFontName_;
    d.Font.Size = defFontSize_;
    d.Font.Charset = charSet_;
    d.Font.Color = defFontColor_;
    d.PreFontName = defPreFontName_;
    d.LinkColor = d.HotSpotColor = defHotSpotColor_;
    d.VisitedColor = defVisitedLinkColor_;
    d.OverColor = defOverLinkColor_;
    d.Background = defBackground_;
    d.LinksActive = (options_ & htOverLinksActive) != 0;
    d.MarginWidth = marginWidth_;
    d.MarginHeight = marginHeight_;
    d.UnderlineLinks = (options_ & htNoLinkUnderline) == 0;
    return d;
}

void THtmlView::SetProcessing(bool on) {
    if (processing_ == on) return;
    processing_ = on;
    if (OnProcessing) OnProcessing(this, on);
}

// ---------------------------------------------------------------- properties

void THtmlView::SetDefBackground(TColor color) {
    if (processing_) return;
    defBackground_ = color;
    doc_.SetBackgroundColor(color);
    panel_->update();
}

void THtmlView::SetDefHotSpotColor(TColor color) {
    defHotSpotColor_ = color;
    doc_.SetLinkColors(defHotSpotColor_, defVisitedLinkColor_, defOverLinkColor_);
}

void THtmlView::SetDefVisitedLinkColor(TColor color) {
    defVisitedLinkColor_ = color;
    doc_.SetLinkColors(defHotSpotColor_, defVisitedLinkColor_, defOverLinkColor_);
}

void THtmlView::SetDefOverLinkColor(TColor color) {
    defOverLinkColor_ = color;
    doc_.SetLinkColors(defHotSpotColor_, defVisitedLinkColor_, defOverLinkColor_);
}

void THtmlView::SetDefPreFontName(const std::string& name) {
    if (text::upperText(name) == text::upperText(doc_.Settings().PreFontName)) return;
    defPreFontName_ = name;
    doc_.SetPreFontName(name);
}

void THtmlView::SetScrollBars(TScrollStyle style) {
    if (style == scrollBars_) return;
    scrollBars_ = style;
    if (processing_) return;
    {
        TProcessingScope processing(*this);
        DoLayout();
    }
    ScrollTo(VScrollPos());  // within the new height; repaints
}

void THtmlView::SetBorderStyle(THTMLBorderStyle style) {
    if (style == borderStyle_) return;
    borderStyle_ = style;
    // The panel moves in or out of the border line with it.
    ArrangeScrollBars();
    UpdateBorder();
}

void THtmlView::SethtOptions(ThtmlViewOptions options) {
    options_ = options;
    doc_.SetHoverLinks((options & htOverLinksActive) != 0);
    doc_.SetPrintTableBackground((options & htPrintTableBackground) != 0);
    doc_.SetShowCaret((options & htShowDummyCaret) != 0);
}

void THtmlView::SetImageCacheCount(int count) {
    imageCacheCount_ = std::clamp(count, 0, 20);
    if (cache_) cache_->SetCapacity(imageCacheCount_);
}

void THtmlView::SetServerRoot(const std::string& root) {
    serverRoot_ = TrimView(root);
    if (!serverRoot_.empty() && (serverRoot_.back() == '\\' || serverRoot_.back() == '/'))
        serverRoot_.pop_back();
}

void THtmlView::SetViewImages(bool on) {
    if (on == doc_.ViewImages() || processing_) return;
    TWaitCursor wait;
    TProcessingScope processing(*this);
    doc_.SetViewImages(on);
    if (doc_.Sections.empty()) return;
    // A background skipped while images were off is fetched now.
    if (on) doc_.RetryBackgroundImage();
    doc_.BackgroundImage();
    const int position = Position();
    DoLayout();
    SetPosition(position);
    panel_->update();
}

// ---------------------------------------------------------------- loading

void THtmlView::LoadFromFile(const std::string& name) {
    Load(name, TFileKind::ftHTML);
}
void THtmlView::LoadImageFile(const std::string& name) {
    Load(name, TFileKind::ftImage);
}
void THtmlView::LoadTextFile(const std::string& name) {
    Load(name, TFileKind::ftText);
}

void THtmlView::Load(const std::string& name, TFileKind kind) {
    if (processing_ || name.empty()) return;
    {
        TWaitCursor wait;
        const std::size_t hash = name.find('#');
        const std::string file = name.substr(0, hash);
        const std::string dest = hash == std::string::npos ? "" : name.substr(hash + 1, 255);
        refreshDelay_ = 0;
        TProcessingScope processing(*this);
        std::filesystem::path path = text::toPath(file);
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            // Articles were written on a case-insensitive file system.
            const auto real = paths::findCaseInsensitive(path);
            if (!real || !std::filesystem::is_regular_file(*real, error))
                throw EInOutError("Can't locate file: " + file);
            path = *real;
        }
        PrepareLoad();
        caretPos_ = 0;
        selAnchor_ = -1;
        const std::string previous = currentFile_, previousTitle = title_;
        const TFileKind previousKind = currentFileKind_;
        const int previousPosition = Position();
        currentFile_ = text::fromPath(std::filesystem::absolute(path, error).lexically_normal());
        currentFileKind_ = kind;
        doc_.SetBaseFolder(currentFile_.substr(0, currentFile_.find_last_of('/') + 1));
        THtmlBuilder builder(doc_);
        try {
            Parse(builder, currentFile_, kind);
        } catch (...) {
            FinishLoad(builder, dest, previous);
            panel_->update();
            throw;
        }
        FinishLoad(builder, dest, previous);
        panel_->update();
        if (previous != currentFile_ || previousKind != kind)
            RecordHistory(previous, previousTitle, previousKind, previousPosition);
    }
    if (refreshDelay_ > 0 && OnMetaRefresh) OnMetaRefresh(this, refreshDelay_, refreshURL_);
}

void THtmlView::PrepareLoad() {
    if (!cache_) {
        cache_ = std::make_unique<TStringBitmapList>();
        cache_->SetCapacity(imageCacheCount_);
        ownsImageCache_ = true;
    }
    doc_.Clear();  // gives back the uses of the previous document's pictures, then they age
    doc_.SetImageCache(cache_.get());
    cache_->Age();
    doc_.SetDefaults(Defaults());
}

void THtmlView::Parse(THtmlBuilder& builder, const std::string& file, TFileKind kind) {
    switch (kind) {
    case TFileKind::ftHTML: {
        // A background sound of the previous page stops.
        if (OnSoundRequest) OnSoundRequest(this, "", 0, true);
        TScopedValue html(host_->ReadingHtml, true);
        builder.LoadHtmlFile(file);
        break;
    }
    case TFileKind::ftText: builder.LoadPlainTextFile(file); break;
    case TFileKind::ftImage: builder.LoadHtmlText(ImageMarkup(file)); break;
    }
}

void THtmlView::FinishLoad(const THtmlBuilder& builder, const std::string& dest,
                           const std::string& previousFile) {
    title_ = builder.Title;
    AnnounceDocument();
    base_ = builder.Base;
    baseTarget_ = builder.BaseTarget;
    {
        TScopedValue laying(layingOut_, true);
        doc_.BackgroundImage();
    }
    DoLayout();
    MarkVisitedLinks();
    if (!dest.empty() && PositionTo(dest)) return;
    if (currentFile_ != previousFile) {
        ScrollTo(0);
        SetHScrollPos(0);
    } else {
        ScrollTo(VScrollPos());  // the same file keeps its place, within the new height
    }
}

void THtmlView::MetaHandler(const std::string& httpEq, const std::string& content) {
    if (!OnMetaRefresh || text::lowerText(httpEq) != "refresh") return;
    const std::string number(TrimView(content.substr(0, content.find(';'))));
    int delay = -1;
    if (!number.empty() && number.size() < 9 &&
        std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        delay = std::stoi(number);
    if (delay < 0) return;
    const std::size_t url = text::lowerText(content).find("url=");
    refreshURL_ = url == std::string::npos ? "" : content.substr(url + 4);
    refreshDelay_ = std::max(delay, 1);
}

void THtmlView::Clear() {
    if (processing_) return;
    hoverTimer_.stop();
    doc_.Clear();
    if (ownsImageCache_ && cache_) cache_->Clear();
    doc_.SetDefaults(Defaults());
    base_.clear();
    baseTarget_.clear();
    title_.clear();
    vbar_->SetParams(vbar_->Position(), 0, vbar_->Min(), vbar_->Max());
    vbar_->hide();
    vbar_->setGeometry(vbar_->x(), vbar_->y(), vbar_->width(), panel_->height());
    hbar_->hide();
    caretPos_ = 0;
    selAnchor_ = -1;
    if (OnSoundRequest) OnSoundRequest(this, "", 0, true);
    panel_->update();
    AnnounceDocument();
}

bool THtmlView::PositionTo(const std::string& dest) {
    std::string_view name = dest;
    if (!name.empty() && name.front() == '#') name.remove_prefix(1);
    if (name.empty()) return false;
    TIDObject* object = doc_.IDNames.Find(name);
    // The contents file keeps topics in Windows-1251: a character it lacks reads "?" there.
    if (!object && name.find('?') != std::string_view::npos)
        object = doc_.IDNames.FindAsWindows1251(name);
    if (!object) return false;
    ScrollTo(object->AnchorY());
    SetHScrollPos(0);
    AddVisited(currentFile_ + "#" + std::string(name));
    return true;
}

}  // namespace kv
