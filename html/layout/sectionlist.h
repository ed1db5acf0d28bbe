#pragma once
// The laid-out document: the root cell with the registries its sections report into (names,
// positions, link runs, image maps, animated and pending images, panels, deferred drawing),
// image fetching for the whole document, layout, painting, hit tests and selection.

#include <QImage>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "html/images/imagecache.h"
#include "html/layout/formcontrols.h"
#include "html/layout/imagehost.h"
#include "html/layout/imagemap.h"
#include "html/layout/sectionbase.h"
#include "html/reader/documenthost.h"
#include "html/reader/names.h"
#include "html/reader/properties.h"

class QTimer;

namespace kv {

// An image the document waits for: the key it was requested under and the image object that
// shows it, or nullptr for the document's own background.
struct TPendingImage {
    std::string Key;
    TImageObj* Image = nullptr;
};

// Document defaults given by the viewer; the one place each default value is written.
struct TDocumentDefaults {
    TFontSpec Font;  // default font name, size and colour
    std::string PreFontName = "Courier New";
    TColor LinkColor = 0xFF0000;  // blue
    TColor VisitedColor = 0x800080;
    TColor OverColor = 0xFF0000;  // blue, as links
    TColor HotSpotColor = 0xFF0000;
    TColor Background = 0xFFFFFF;
    bool LinksActive = false;
    int MarginWidth = 10;  // left and right document margin, pixels
    int MarginHeight = 5;  // top and bottom document margin, pixels
    bool UnderlineLinks = true;
};

class TSectionList : public TCell, public TImageHost, public TReaderDocument {
public:
    explicit TSectionList(TFontEngine& fonts);
    // A print copy: settings and the pictures fetched so far shared, every section cloned; its
    // host and image cache are its own. Without `withContent` it is empty, with the source's
    // default style, to be built again for print.
    TSectionList(const TSectionList& source, TFontEngine& fonts, bool withContent = true);
    ~TSectionList() override;

    // ---- building
    void SetDefaults(const TDocumentDefaults& defaults);
    void SetBackgroundColor(TColor color);
    void SetBackgroundImageName(const std::string& name);
    void Clear();

    // ---- layout and painting
    // Lays the document out for `width` (the widest line comes back in maxWidth); returns the
    // document height.
    int DoLayout(TCanvas& canvas, int width, int viewHeight, int& maxWidth);
    // Paints what overlaps `clip` (canvas coordinates), with document row `scrollTop` at the
    // canvas's row 0 (the document's own scroll top when left out); returns the y below.
    int Paint(TCanvas& canvas, const QRect& clip, int x, int y);
    int Paint(TCanvas& canvas, const QRect& clip, int x, int y, int scrollTop);
    // A print copy paints one page: `clip` is the page. Returns the first document row of the
    // next page (a line or row cut by the page's end goes whole to the next one).
    int PaintPage(TCanvas& canvas, const QRect& clip, int x, int y);
    void SetScrollTop(int y);
    // Live widgets of controls that the last paint did not place are hidden (or, while one of
    // them has the focus, moved off screen so the focus stays).
    void UpdateControlVisibility();
    void AnimationTick();
    bool TimerEnabled() const;

    // ---- hit tests (document coordinates)
    // The queries (LinkAt, ObjectAt, CursorAt, SearchText, ...) are the section tree's walk;
    // none changes the document.
    TSectionBase* SectionAt(int y, int& sectionY, int& index) const;
    bool CharAt(int cursor, char16_t& ch, const TFontObj*& font) const override;

    // ---- hover: the link run and image found by LinkAt light up, those lit before go out.
    // Returns whether anything changed (the host was asked to repaint).
    bool MouseOver(const TLinkHit& hit);
    void ClearHover();

    // ---- selection (text positions [start, end); none when end < start)
    void Select(int start, int end);
    int SelStart() const { return selStart_; }
    int SelEnd() const { return selEnd_; }
    std::u16string SelectedText() const;

    // ---- host and images
    // The program around the document (not owned); nullptr: a host that asks for nothing.
    void SetHost(TDocumentHost* host) { host_ = host; }
    TDocumentHost& Host() const { return host_ ? *host_ : NoHost(); }
    // Images are fetched through this cache (not owned; nullptr: the document's own). The
    // document holds a use of every entry it fetched until Clear.
    void SetImageCache(TStringBitmapList* cache);
    TStringBitmapList& ImageCache();
    const TLayoutImage* BackgroundImage();

    // TImageHost
    bool ViewImages() const override { return viewImages_; }
    bool IsPrinting() const override { return printCopy_; }
    std::string ExpandImageName(const std::string& source) const override;
    TFetchResult FetchImage(const std::string& name, int transparency) override;
    bool IsPending(const std::string& key) const override;
    void AddPending(const std::string& key, TImageObj* image) override;
    void AddAnimated(TAnimatedImage* image) override;
    void RemoveAnimated(TAnimatedImage* image) override;
    TMapItem* FindMap(const std::string& key) const override;
    void RegisterId(const std::string& id, TIDObject* object) override;

    // TReaderDocument
    int SourcePosToY(int sourcePos) const override;
    void SetLinksReactToMouse() override { hoverLinks_ = true; }

    TFontEngine& Fonts() const { return *fonts_; }
    // The fonts of this document's text runs (emptied by Clear, when no run is left).
    TFontSpecPool& FontPool() { return *fontPool_; }

    // ---- settings
    // As SetDefaults gave them; Settings().Background is the default only.
    const TDocumentDefaults& Settings() const { return settings_; }
    // The link colours: plain and hot spot, visited, under the mouse.
    void SetLinkColors(TColor link, TColor visited, TColor over);
    void SetPreFontName(const std::string& name);
    void SetViewImages(bool on) { viewImages_ = on; }
    int ScrollTop() const { return scrollTop_; }
    bool LinksReactToMouse() const { return hoverLinks_; }
    void SetHoverLinks(bool on) { hoverLinks_ = on; }
    bool ShowCaret() const { return showCaret_; }
    void SetShowCaret(bool on) { showCaret_ = on; }
    bool PrintTableBackground() const { return printTableBackground_; }
    void SetPrintTableBackground(bool on) { printTableBackground_ = on; }
    // Relative image names are expanded against it.
    void SetBaseFolder(const std::string& folder) { baseFolder_ = folder; }
    const std::string& BaseFolder() const { return baseFolder_; }
    // A background image skipped (images were off) is fetched at the next BackgroundImage.
    void RetryBackgroundImage();
    TColor BackgroundColor = 0xFFFFFF;

    // ---- events between the document and the viewer's form widgets
    // A control's widget received the focus (the viewer scrolls it into view).
    void SetOnControlEnter(std::function<void(TFormControlObj& control)> handler) {
        onControlEnter_ = std::move(handler);
    }
    void ControlEntered(TFormControlObj& control) {
        if (onControlEnter_) onControlEnter_(control);
    }
    // The controls are about to be freed (Clear): the viewer drops their widgets.
    void SetOnControlsCleared(std::function<void()> handler) {
        onControlsCleared_ = std::move(handler);
    }

    // ---- registries
    std::vector<std::unique_ptr<ThtmlForm>> Forms;
    std::vector<TFormControlObj*> FormControlList;  // every control, in document order
    std::vector<TAnimatedImage*> AnimatedImages;
    std::vector<std::unique_ptr<TMapItem>> ImageMaps;
    std::vector<TPanelObj*> Panels;
    std::vector<TPendingImage> PendingImages;
    std::vector<TFontObj*> LinkRuns;
    TIDNameList IDNames{this};
    TStyleList Styles{this};
    std::vector<TSectionBase*> Positions;

    // While a print copy is made: the copy of a control of the source, or nullptr.
    TFormControlObj* CopyOfControl(const TFormControlObj* control) const;

private:
    TPaintContext NewPaint(const QRect& clip, int scrollTop) const;
    int PaintWith(TCanvas& canvas, TPaintContext& pc, int x, int y);
    void HoverLink(TFontObj* run, bool on);
    bool viewImages_ = true;
    bool printCopy_ = false;
    int scrollTop_ = 0;
    bool controlsMoved_ = false;
    int selStart_ = 0, selEnd_ = 0;
    TDocumentDefaults settings_;
    bool printTableBackground_ = false;
    std::string baseFolder_;
    bool hoverLinks_ = false;
    bool showCaret_ = false;
    TFontObj* hoverRun_ = nullptr;
    TImageObj* hoverImage_ = nullptr;
    std::string backgroundName_;
    bool backgroundTried_ = false;
    std::function<void(TFormControlObj& control)> onControlEnter_;
    std::function<void()> onControlsCleared_;
    TImageRequests ImageRequests() const;
    void ReleaseImageUses();
    TDocumentHost* host_ = nullptr;
    TStringBitmapList* imageCache_ = nullptr;
    std::unique_ptr<TStringBitmapList> ownImageCache_;
    std::vector<std::string> imageUses_;  // names this document holds a cache use of
    std::unordered_map<const TFormControlObj*, TFormControlObj*> controlCopies_;
    std::shared_ptr<std::map<std::string, std::shared_ptr<const TLayoutImage>>> cache_;
    std::shared_ptr<const TLayoutImage> background_;
    std::unique_ptr<QTimer> timer_;
    TFontEngine* fonts_;
    std::unique_ptr<TFontSpecPool> fontPool_ = std::make_unique<TFontSpecPool>();
};

// The key of an image name: upper-cased, trimmed of blanks and control characters.
std::string ImageKey(std::string_view name);

}  // namespace kv
