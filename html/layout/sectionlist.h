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

// A floating image drawn after all text, where layout placed it.
struct TImageRec {
    TImageObj* Image;
    int Dx;  // the paint origin's offset from the document's
    const TFontObj* Run;
};

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
    // host and image cache are its own.
    TSectionList(const TSectionList& source, TFontEngine& fonts);
    ~TSectionList() override;

    // ---- building
    void SetDefaults(const TDocumentDefaults& defaults);
    void SetBackgroundColor(TColor color);
    void SetBackgroundImageName(const std::string& name);
    void Clear();

    // ---- layout and painting
    int Layout(TCanvas& canvas, int y, int width, int viewHeight, int& maxWidth,
               int& cursor) override;
    // Convenience: lays out from y 0 and cursor 0; returns the document height.
    int DoLayout(TCanvas& canvas, int width, int viewHeight, int& maxWidth);
    int Paint(TCanvas& canvas, const QRect& clip, int x, int y) override;
    void SetScrollTop(int y);
    // Live widgets of controls that the last paint did not place are hidden (or, while one of
    // them has the focus, moved off screen so the focus stays).
    void UpdateControlVisibility();
    void AnimationTick();
    bool TimerEnabled() const;

    // ---- hit tests (document coordinates)
    // The other queries (ObjectAt, CursorAt, SearchText, ...) are the section tree's walk.
    // Also sets the hover state of the link run or image under the point.
    bool LinkAt(TCanvas& canvas, int x, int y, TLinkHit& hit) override;
    void ClearHover();
    TSectionBase* SectionAt(int y, int& sectionY, int& index) const;
    bool CharAt(int cursor, char& ch, const TFontObj*& font) const override;
    // Appends the selected text to `ClipText`.
    void CopySelection();
    std::string SelectedText();

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
    bool ViewImages() const override { return ViewImagesFlag; }
    bool IsPrinting() const override { return IsPrintCopy; }
    int ScrollTop() const override { return ScrollTopY; }
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
    void SetLinksReactToMouse() override { HoverLinks = true; }

    TFontEngine& Fonts() const { return *fonts_; }
    // The fonts of this document's text runs (emptied by Clear, when no run is left).
    TFontSpecPool& FontPool() { return *fontPool_; }

    // ---- settings
    bool ViewImagesFlag = true;
    bool IsPrintCopy = false;
    int ScrollTopY = 0;
    // Document x of the cell being laid out: text and images inside table cells are placed in
    // document coordinates although cells lay out from their own origin.
    int LayoutOriginX = 0;
    bool ControlsMoved = false;
    int SelStart = 0, SelEnd = 0;
    TDocumentDefaults
        Settings;  // as SetDefaults gave them; Settings.Background is the default only
    bool PrintTableBackground = false;
    TColor BackgroundColor = 0xFFFFFF;
    std::string BaseFolder;  // relative image names are expanded against it
    std::string* ClipText = nullptr;
    int PageLimitY = 0;
    int PageHeight = 0;
    bool HoverLinks = false;
    bool ShowCaret = false;
    int* FirstLineBaseline = nullptr;

    // ---- events between the document and the viewer's form widgets
    // A control's widget received the focus (the viewer scrolls it into view).
    std::function<void(TFormControlObj& control)> OnControlEnter;
    // The controls are about to be freed (Clear): the viewer drops their widgets.
    std::function<void()> OnControlsCleared;

    // ---- registries
    std::vector<std::unique_ptr<ThtmlForm>> Forms;
    std::vector<TFormControlObj*> FormControlList;  // every control, in document order
    std::vector<TAnimatedImage*> AnimatedImages;
    std::vector<std::unique_ptr<TMapItem>> ImageMaps;
    std::vector<TPanelObj*> Panels;
    std::vector<TPendingImage> PendingImages;
    std::vector<TFontObj*> LinkRuns;
    TFontObj* HoverRun = nullptr;
    TImageObj* HoverImage = nullptr;
    std::vector<TImageRec> DrawList;
    TIDNameList IDNames{this};
    TStyleList Styles{this};
    std::vector<TSectionBase*> Positions;
    std::string BackgroundName;
    bool BackgroundTried = false;

    // While a print copy is made: the copy of a control of the source, or nullptr.
    TFormControlObj* CopyOfControl(const TFormControlObj* control) const;

private:
    void HoverLink(TFontObj* run, bool on);
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
