#pragma once
// The viewer control: shows one HTML document (an article file) in a window. It owns the
// document and the image cache, a paint panel that draws the visible strip through one
// off-screen picture, a vertical and a horizontal scroll bar, a border frame and the hover timer.
//
// Typical use (the shell):
//     THtmlView view(parent);
//     view.SetDefBackground(0xFFFFFF);
//     view.SetBorderStyle(THTMLBorderStyle::htNone);
//     view.SetScrollBars(TScrollStyle::ssVertical);
//     try { view.LoadFromFile(folder + "index.htm#" + topic); } catch (const kv::Exception&) {}
//
// Every text is Windows-1251; file names too (converted only when the file system is asked).

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "html/images/imagecache.h"
#include "html/layout/builder.h"
#include "html/layout/sectionlist.h"
#include "html/viewer/formwidgets.h"
#include "platform/canvas.h"
#include "platform/errors.h"

class QFrame;
class QCursor;
class QKeyEvent;

namespace kv {

class TPaintPanel;
class T32ScrollBar;
class THtmlBuilder;
class THtmlView;

enum class THTMLBorderStyle { htFocused, htNone, htSingle };
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum class TFileKind { ftHTML, ftText, ftImage };

// The viewer options, one bit each; ThtmlViewOptions is a set of them.
enum htOptionEnum : unsigned {
    htOverLinksActive = 1u << 0,
    htNoLinkUnderline = 1u << 1,
    htPrintTableBackground = 1u << 2,
    htShowDummyCaret = 1u << 3,
    htShowVScroll = 1u << 4,
};
using ThtmlViewOptions = unsigned;

// System colour references (the high bit selects a colour of the system scheme).
inline constexpr TColor clBtnFace = 0x8000000F;
inline constexpr TColor clBtnText = 0x80000012;

// What a right click found: the link and the image under the point, and the word there.
struct TRightClickParameters {
    std::string LinkURL, LinkTarget;
    TImageObj* ImageObject = nullptr;  // not owned
    int ImagePointX = 0, ImagePointY = 0;
    std::string Word;
};

// A history entry's reading place: the landmark-relative position and the file kind.
struct PositionObj {
    int Pos = 0;
    TFileKind FileType = TFileKind::ftHTML;
};

// The viewer's cursors: hand, thick I-beam, up-and-down, up only, down only. The pictures are
// loaded once, the first time one is asked for; 0 or an unknown id is the arrow.
enum TViewerCursor {
    crArrowId = 0,
    crHandId = 1,
    crIBeamId = 2,
    crUpDownId = 3,
    crUpOnlyId = 4,
    crDownOnlyId = 5
};
const QCursor& ViewerCursor(int id);

// The viewer's reading events (Sender is the viewer).
// <!--#Command NAME="value" ...--> with one parameter line NAME="value" per attribute; text put
// into Buffer is read in place of the directive.
using TIncludeType =
    std::function<void(THtmlView* Sender, const std::string& Command,
                       const std::vector<std::string>& Params, std::string& Buffer)>;
// BGSOUND before content: the sound file, its loop count, and true for "terminate".
using TSoundType =
    std::function<void(THtmlView* Sender, const std::string& SRC, int Loop, bool Terminate)>;
// META before content.
using TMetaType = std::function<void(THtmlView* Sender, const std::string& HttpEq,
                                     const std::string& Name, const std::string& Content)>;
// SCRIPT: its text with CR LF line ends.
using TScriptEvent = std::function<void(THtmlView* Sender, const std::string& Name,
                                        const std::string& Language, const std::string& Script)>;

// A file that cannot be found or read.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

class THtmlView : public QWidget {
public:
    explicit THtmlView(QWidget* parent = nullptr);
    // Measuring with another font engine (fixed metrics for tests and fuzzing).
    THtmlView(TFontEngine& fonts, QWidget* parent);
    ~THtmlView() override;

    // ---- loading. Names are Windows-1251 paths, optionally followed by "#" and an anchor.
    // A missing file raises EInOutError and keeps the document shown; failures of the
    // document builder travel on after the view was laid out and positioned.
    void LoadFromFile(const std::string& name);
    void LoadImageFile(const std::string& name);  // the file as a lone image
    void LoadTextFile(const std::string& name);   // the file as preformatted text
    void Clear();
    // Scrolls to a named anchor (a leading '#' is ignored, case is not compared).
    bool PositionTo(const std::string& dest);
    // Finds and selects the next occurrence of a phrase after the caret; false when none.
    bool Find(const std::string& phrase, bool matchCase);  // a Windows-1251 phrase
    bool Find(std::u16string_view phrase, bool matchCase);

    // ---- links, mouse, selection and history
    // Resolves a document-relative name (a link, a background) to a file path.
    std::string ExpandName(const std::string& name) const;
    // Follows the link `URL` as a click on it does; a subclass may replace it.
    virtual void LinkClick();
    // Follows a link of the document as a click on it does (a screen reader's press).
    void FollowLink(const std::string& url, const std::string& target);
    // Moves the caret to a text position (a screen reader's caret), where Find goes on from.
    void SetCaretPos(int cursor);
    // The selected text (lines ending in "\n"): in Windows-1251 ("?" for a character the code
    // page lacks) and as it is; Ctrl+A and Ctrl+C / Ctrl+Insert.
    std::string SelText();
    std::u16string SelTextUnicode();
    void SelectAll();
    void CopyToClipboard();
    // The word at a point of the paint panel: its text and [start, end) text positions; also
    // moves the caret there. Empty with start -1 when the point is not on a word.
    std::string WordAt(int x, int y, int& start, int& end);
    std::u16string WordAtUnicode(int x, int y, int& start, int& end);
    // Mouse handling of the paint panel (panel coordinates).
    void HtmlMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void HtmlMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y);
    void HtmlMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void HtmlMouseDouble(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    // The auto-scroll steps: the next vertical position from the current one `p` for a drag
    // with the pointer at `y` of a control `height` high, and for middle-button scrolling with
    // the pointer `d` pixels below where the button was pressed.
    static int DragScrollTarget(int p, int y, int height);
    static int MiddleScrollTarget(int p, int d);
    // Checks whether the pointer left the panel (the hover timer's tick).
    void HoverTimerTick();
    const std::string& URL() const { return url_; }
    const std::string& Target() const { return target_; }
    bool MiddleScrollOn() const { return middleScrollOn_; }
    bool AutoScrolling() const { return autoScrolling_; }
    bool HotSpotClicked() const { return hotSpotClicked_; }
    // The cursor the panel shows (a TViewerCursor id).
    int PanelCursorId() const { return panelCursorId_; }
    const std::vector<std::string>& Visited() const { return visited_; }
    const std::vector<std::string>& HistoryFiles() const { return historyFiles_; }
    const std::vector<std::string>& HistoryTitles() const { return historyTitles_; }
    const std::vector<PositionObj>& HistoryPositions() const { return historyPositions_; }
    int HistoryIndex() const { return historyIndex_; }

    // ---- properties
    TColor DefBackground() const { return defBackground_; }
    void SetDefBackground(TColor color);
    TColor DefFontColor() const { return defFontColor_; }
    void SetDefFontColor(TColor color) { defFontColor_ = color; }
    TColor DefHotSpotColor() const { return defHotSpotColor_; }
    void SetDefHotSpotColor(TColor color);
    TColor DefVisitedLinkColor() const { return defVisitedLinkColor_; }
    void SetDefVisitedLinkColor(TColor color);
    TColor DefOverLinkColor() const { return defOverLinkColor_; }
    void SetDefOverLinkColor(TColor color);
    const std::string& DefFontName() const { return defFontName_; }
    void SetDefFontName(const std::string& name) { defFontName_ = name; }
    const std::string& DefPreFontName() const { return defPreFontName_; }
    void SetDefPreFontName(const std::string& name);
    int DefFontSize() const { return defFontSize_; }
    void SetDefFontSize(int size) { defFontSize_ = std::max(size, 6); }
    int CharSet() const { return charSet_; }
    void SetCharSet(int charSet) { charSet_ = charSet; }
    int MarginWidth() const { return marginWidth_; }
    void SetMarginWidth(int pixels) { marginWidth_ = pixels; }
    int MarginHeight() const { return marginHeight_; }
    void SetMarginHeight(int pixels) { marginHeight_ = pixels; }
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle style);
    THTMLBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(THTMLBorderStyle style);
    ThtmlViewOptions htOptions() const { return options_; }
    void SethtOptions(ThtmlViewOptions options);
    bool ViewImages() const { return doc_.ViewImages(); }
    void SetViewImages(bool on);
    int ImageCacheCount() const { return imageCacheCount_; }
    void SetImageCacheCount(int count);
    int VisitedMaxCount() const { return visitedMaxCount_; }
    void SetVisitedMaxCount(int count);
    int HistoryMaxCount() const { return historyMaxCount_; }
    void SetHistoryMaxCount(int count);
    bool NoSelect() const { return noSelect_; }
    void SetNoSelect(bool on) { noSelect_ = on; }
    const std::string& ServerRoot() const { return serverRoot_; }
    void SetServerRoot(const std::string& root);
    double PrintMarginLeft() const { return printMargins_[0]; }
    double PrintMarginRight() const { return printMargins_[1]; }
    double PrintMarginTop() const { return printMargins_[2]; }
    double PrintMarginBottom() const { return printMargins_[3]; }
    void SetPrintMarginLeft(double cm) { printMargins_[0] = cm; }
    void SetPrintMarginRight(double cm) { printMargins_[1] = cm; }
    void SetPrintMarginTop(double cm) { printMargins_[2] = cm; }
    void SetPrintMarginBottom(double cm) { printMargins_[3] = cm; }

    // ---- state
    const std::string& CurrentFile() const { return currentFile_; }
    TFileKind CurrentFileKind() const { return currentFileKind_; }
    const std::string& DocumentTitle() const { return title_; }
    const std::string& Base() const { return base_; }
    const std::string& BaseTarget() const { return baseTarget_; }
    int DocHeight() const { return docHeight_; }
    int DocWidth() const { return docWidth_; }
    int ScrollBarWidth() const { return scrollBarWidth_; }
    bool Processing() const { return processing_; }
    bool LayingOut() const { return layingOut_; }
    int CaretPos() const { return caretPos_; }
    int SelAnchor() const { return selAnchor_; }
    int RefreshDelay() const { return refreshDelay_; }
    const std::string& RefreshURL() const { return refreshURL_; }
    bool OwnsImageCache() const { return ownsImageCache_; }
    // Counts the documents shown: changes with every load and Clear.
    int DocumentVersion() const { return docVersion_; }

    // ---- scrolling
    int VScrollPos() const;
    void SetVScrollPos(int y);
    int HScrollPos() const;
    // The reading place relative to the landmark above it, and back.
    int Position() const;
    void SetPosition(int position);
    void ScrollTo(int y);
    // Lays out again for the current size, keeping the reading place.
    void Relayout();

    // ---- zoom. The document is laid out for the panel's width divided by the zoom and drawn
    // enlarged by it; scroll positions, steps and document coordinates stay in document pixels.
    // Loads keep the zoom.
    static constexpr int kMinZoom = 50, kMaxZoom = 300, kZoomStep = 10;  // percent
    int Zoom() const { return zoom_; }
    // Clamped to kMinZoom..kMaxZoom; the line at the top of the view stays at the top.
    void SetZoom(int percent);
    void ZoomIn() { SetZoom(zoom_ / kZoomStep * kZoomStep + kZoomStep); }
    void ZoomOut() { SetZoom((zoom_ + kZoomStep - 1) / kZoomStep * kZoomStep - kZoomStep); }
    // A length of the panel in document pixels (rounded down), and back.
    int ToDocPixels(int panelPixels) const;
    int ToPanelPixels(int docPixels) const;
    // The smallest rectangle of unzoomed panel pixels that covers a rectangle of the panel.
    QRect DocRect(const QRect& panelRect) const;

    // ---- parts
    TSectionList& Document() { return doc_; }
    TStringBitmapList* ImageCache() { return cache_.get(); }
    QWidget* PaintPanel() const;
    T32ScrollBar& VScrollBar() const { return *vbar_; }
    T32ScrollBar& HScrollBar() const { return *hbar_; }
    QFrame& BorderPanel() const { return *border_; }
    QTimer& HoverTimer() { return hoverTimer_; }

    // Hides every form control's widget, then repaints (the next paint shows them again).
    void Repaint();
    // Repaints the paint panel and both bars.
    void PaintWindow();
    // The shared 256-colour palette on displays of 256 colours or fewer, else none.
    const TPalette* Palette() const;

    // Draws the background and the document for a rectangle of the paint panel onto a canvas
    // whose pixel (0, 0) is the rectangle's top-left corner. With a zoom, the rectangle and the
    // canvas are in unzoomed panel pixels (DocRect) and the canvas does the enlarging.
    void PaintDocument(TCanvas& canvas, const QRect& clip);
    // Shows the border line or not (focus, border style).
    void UpdateBorder();

    // ---- events
    std::function<void(THtmlView* sender, bool processingOn)> OnProcessing;
    TMetaType OnMeta;
    std::function<void(THtmlView* sender, int delay, const std::string& url)> OnMetaRefresh;
    TSoundType OnSoundRequest;
    TIncludeType OnInclude;
    TScriptEvent OnScript;
    // Asked before an image file is read: may supply the picture and a transparent colour.
    std::function<void(THtmlView* sender, const std::string& src, std::unique_ptr<TBitmap>& bitmap,
                       std::int64_t& color)>
        OnBitmapRequest;
    // Asked before an image file is read: may supply the file's bytes (kept by the caller), or
    // TStringBitmapList's wait stream for "later".
    std::function<const std::string*(THtmlView* sender, const std::string& src)> OnImageRequest;
    // The link under the mouse changed (empty: none).
    std::function<void(THtmlView* sender, const std::string& src)> OnHotSpotCovered;
    // A link is about to be followed; setting `handled` stops it.
    std::function<void(THtmlView* sender, const std::string& src, bool& handled)> OnHotSpotClick;
    std::function<void(THtmlView* sender, TImageObj* obj, Qt::KeyboardModifiers shift, int x,
                       int y)>
        OnImageOver;
    std::function<void(THtmlView* sender, TImageObj* obj, Qt::MouseButton button,
                       Qt::KeyboardModifiers shift, int x, int y)>
        OnImageClick;
    std::function<void(THtmlView* sender, const TRightClickParameters& parameters)> OnRightClick;
    std::function<void(THtmlView* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                       int x, int y)>
        OnMouseDouble;
    std::function<void(THtmlView* sender)> OnHistoryChange;
    std::function<void(THtmlView* sender, const std::string& action, const std::string& target,
                       const std::string& encType, const std::string& method,
                       const std::vector<std::string>& results)>
        OnFormSubmit;

    // A PANEL element: the application gives the panel's control (and fills it); told again
    // before the control is freed.
    std::function<void(THtmlView* sender, const std::string& name, const std::string& type,
                       const std::string& src, std::unique_ptr<TPanelControl>& panel)>
        OnPanelCreate;
    std::function<void(THtmlView* sender, TPanelControl& panel)> OnPanelDestroy;

    // ---- printing (viewprint.cpp)
    // Prints pages fromPage..toPage (numbered from 1, so 0 means from the first) of the shown
    // document on the selected printer, letting pending messages run between pages. A job
    // already running anywhere in the program raises EPrinter "Printing in progress".
    void Print(int fromPage, int toPage);
    bool Printing() const { return printJob_ != nullptr; }
    // Ends the running job after the page it is printing.
    void StopPrinting();
    // Pages the last job went through (those before fromPage included).
    int PrintedPages() const { return printedPage_; }
    // Fired for each printed page: the canvas (in screen pixels), the page's number, the width
    // and height of the strip above (header) or below (footer) the content; set stopPrinting
    // to end the job after this page.
    using TPagePrinted = std::function<void(THtmlView* sender, TCanvas& canvas, int numPage, int w,
                                            int h, bool& stopPrinting)>;
    TPagePrinted OnPrintHeader, OnPrintFooter;
    // Called with 0 before a job, then after each page; set stop to end the job.
    std::function<void(THtmlView* sender, int page, bool& stop)> OnPrintProgress;

private:
    class TPrintJob;
    TPrintJob* printJob_ = nullptr;  // the job running now (it lives on the stack of Print)
    int printedPage_ = 0;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TPaintPanel;
    // Processing on for a scope, off again on every way out.
    class TProcessingScope {
    public:
        explicit TProcessingScope(THtmlView& view) : view_(view) { view_.SetProcessing(true); }
        ~TProcessingScope() { view_.SetProcessing(false); }
        TProcessingScope(const TProcessingScope&) = delete;
        TProcessingScope& operator=(const TProcessingScope&) = delete;

    private:
        THtmlView& view_;
    };

    void Load(const std::string& name, TFileKind kind);
    void PrepareLoad();
    void Parse(THtmlBuilder& builder, const std::string& file, TFileKind kind);
    void FinishLoad(const THtmlBuilder& builder, const std::string& dest,
                    const std::string& previousFile);
    TDocumentDefaults Defaults() const;
    void MetaHandler(const std::string& httpEq, const std::string& content);
    void SetProcessing(bool on);

    void DoLayout();
    void ArrangeScrollBars();
    bool VerticalChosen() const;
    bool HorizontalChosen() const;
    int LastTop() const;  // the largest vertical position
    // The panel's height and width in document pixels.
    int ViewHeight() const;
    int ViewWidth() const;
    // A point of the panel as a document point.
    QPoint DocPoint(int x, int y) const;
    // The text position of the line at the top of the view, with the view's distance below the
    // line's top; -1 when no line starts at or above it.
    int TopLineCursor(int& offset);
    // The top of the line of a text position, or of the next one that has a line.
    int LineTopFrom(int cursor);
    // The first text position whose line starts below a document y.
    int FirstCursorBelow(int y);
    void ZoomByWheel(int delta);
    bool ZoomKey(const QKeyEvent& event);
    void MoveTo(int y);  // vertical move; a line step scrolls the pixels
    void SetHScrollPos(int x);
    void VScrollAction(int action);
    void HScrollAction(int action);
    void PaintBackground(TCanvas& canvas, const QRect& clip);
    void TileBackground(TCanvas& canvas, const QRect& clip, const TLayoutImage& tile);
    void ScrollControlIntoView(int controlTop);
    // Links, selection and history.
    void ExtendSelection(int x, int y);
    void SetPanelCursor(int id);
    void AddVisited(const std::string& address);
    std::string LinkAddress(const TFontObj& run) const;
    void MarkVisitedLinks();
    void RecordHistory(const std::string& file, const std::string& title, TFileKind kind,
                       int position);
    void AutoScrollTick();
    void StartAutoScroll();
    bool FollowLinkAt(int x, int y);
    void RightClick(int x, int y);
    void SubmitForm(const std::string& action, const std::string& target,
                    const std::string& encType, const std::string& method,
                    const std::vector<std::string>& results);
    // Hook for the live form controls: shows, moves or hides them after every paint and scroll.
    void UpdateControlVisibility();
    // Tell a listening screen reader of a new document, or of the selection and caret.
    void AnnounceDocument();
    void AnnounceSelection();

    // Properties.
    TColor defBackground_ = clBtnFace;
    TColor defFontColor_ = clBtnText;
    TColor defHotSpotColor_ = TDocumentDefaults{}.HotSpotColor;
    TColor defVisitedLinkColor_ = TDocumentDefaults{}.VisitedColor;
    TColor defOverLinkColor_ = TDocumentDefaults{}.OverColor;
    std::string defFontName_ = "Times New Roman";
    std::string defPreFontName_ = TDocumentDefaults{}.PreFontName;
    int defFontSize_ = 12;
    int charSet_ = 1;
    int marginWidth_ = TDocumentDefaults{}.MarginWidth;
    int marginHeight_ = TDocumentDefaults{}.MarginHeight;
    TScrollStyle scrollBars_ = TScrollStyle::ssBoth;
    THTMLBorderStyle borderStyle_ = THTMLBorderStyle::htFocused;
    ThtmlViewOptions options_ = htPrintTableBackground;
    int imageCacheCount_ = 5;
    int visitedMaxCount_ = 50;
    int historyMaxCount_ = 0;
    bool noSelect_ = false;
    std::string serverRoot_;
    double printMargins_[4] = {2.0, 2.0, 2.0, 2.0};

    // State.
    std::string currentFile_;
    TFileKind currentFileKind_ = TFileKind::ftHTML;
    std::string title_, base_, baseTarget_;
    int docHeight_ = 0, docWidth_ = 0;
    int scrollBarWidth_ = 16;
    int borderWidth_ = 0;
    bool processing_ = false;
    bool layingOut_ = false;
    int caretPos_ = 0;
    int selAnchor_ = -1;
    int refreshDelay_ = 0;
    std::string refreshURL_;
    bool ownsImageCache_ = false;

    // The cache outlives the document, whose images come from it.
    std::unique_ptr<TStringBitmapList> cache_;
    TImageCanvas measure_;
    // What the document asks of the viewer goes through it to the viewer's events.
    class TViewHost;
    friend class TViewHost;
    std::unique_ptr<TViewHost> host_;
    TSectionList doc_;
    QFrame* border_;  // children: owned by Qt
    TPaintPanel* panel_;
    T32ScrollBar* vbar_;
    T32ScrollBar* hbar_;
    QTimer hoverTimer_;
    QTimer autoScrollTimer_;  // the drag and middle-button scrolling steps, 100 ms apart
    std::string url_, target_;
    bool leftButtonDown_ = false;
    bool selecting_ = false;
    bool autoScrolling_ = false;
    bool middleScrollOn_ = false;
    int middleY_ = 0;
    bool hotSpotClicked_ = false;
    int panelCursorId_ = crArrowId;
    std::vector<std::string> visited_;
    std::vector<std::string> historyFiles_, historyTitles_;
    std::vector<PositionObj> historyPositions_;
    int historyIndex_ = 0;
    // Live widgets of the document's form controls, on the paint panel; dropped before the
    // document goes.
    std::unique_ptr<TFormWidgets> formWidgets_;
    QPoint paintOrigin_;  // where the last painted picture's origin lay on the panel
    int zoom_ = 100;      // percent
    int wheelZoom_ = 0;   // wheel turn not yet made into a zoom step (a fine wheel's parts)
    int docVersion_ = 0;
};

}  // namespace kv
