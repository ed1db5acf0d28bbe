// The viewer's printing: a copy of the document laid out for the printed width, drawn page by
// page through a clip region, with the margin strips blanked and header and footer events.
//
// The job runs on the interface thread and lets pending messages run between pages, so
// anything may happen meanwhile: another article loads (the copy shares nothing the load
// frees), the window closes (the job ends after its page), the viewer itself goes (the job
// ends and touches nothing of it), or ПЕЧАТЬ is pressed again ("Printing in progress").

#include <QApplication>
#include <QEvent>
#include <QPointer>

#include "html/layout/builder.h"
#include "html/viewer/htmlview.h"
#include "html/viewer/printgeometry.h"
#include "html/viewer/viewhost.h"
#include "platform/messages.h"
#include "platform/printer.h"

namespace kv {

class THtmlView::TPrintJob : public QObject {
public:
    explicit TPrintJob(THtmlView& view)
        : view_(&view),
          header_(view.OnPrintHeader),
          footer_(view.OnPrintFooter),
          progress_(view.OnPrintProgress),
          printer_(view.doc_.Fonts()) {
        view.printJob_ = this;
        // Closing the window that shows the viewer ends the job first.
        window_ = view.window();
        if (window_) window_->installEventFilter(this);
    }
    ~TPrintJob() override {
        if (window_) window_->removeEventFilter(this);
        if (view_) view_->printJob_ = nullptr;
    }
    TPrintJob(const TPrintJob&) = delete;
    TPrintJob& operator=(const TPrintJob&) = delete;

    void Run(int fromPage, int toPage);
    void Stop() { stop_ = true; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) stop_ = true;
        return false;
    }

private:
    // The copy's host: pictures are asked of the viewer while it is there; a section the copy
    // cannot lay out is reported as on screen.
    class TCopyHost : public TDocumentHost {
    public:
        explicit TCopyHost(const QPointer<THtmlView>& view) : view_(view) {}
        bool Handles(THandler handler) const override {
            const bool image = handler == THandler::Bitmap || handler == THandler::ImageStream;
            return image && view_ && view_->host_->Handles(handler);
        }
        void BitmapRequest(const std::string& name, std::unique_ptr<TBitmap>& bitmap,
                           std::int64_t& color) override {
            if (view_) view_->host_->BitmapRequest(name, bitmap, color);
        }
        const std::string* ImageRequest(const std::string& name) override {
            return view_ ? view_->host_->ImageRequest(name) : nullptr;
        }
        void ReportFailure(const std::string& text) override { messages::showError(text); }

    private:
        const QPointer<THtmlView>& view_;
    };

    void MakeCopy();
    std::unique_ptr<TSectionList> BuildForPrint();
    TPrintGeometry Measure();
    // The document y below which nothing leaves ink.
    int InkBottom(TInkCanvas& ink, int height);
    void PrintPages(int fromPage, int toPage, const TPrintGeometry& g);
    // Prints the page from topOfPage; returns the first document row of the next page.
    int DrawPage(const TPrintGeometry& g, int topOfPage, bool& done);
    void Finish(int fromPage) noexcept;
    // Lets pending messages run; false when the viewer went meanwhile.
    bool LetMessagesRun();
    void Progress(int page, bool& stop) {
        if (progress_ && view_) progress_(view_, page, stop);
    }
    void SetPage(int page) {
        page_ = page;
        if (view_) view_->printedPage_ = page;
    }

    QPointer<THtmlView> view_;
    QPointer<QWidget> window_;
    TPagePrinted header_, footer_;
    std::function<void(THtmlView*, int, bool&)> progress_;
    TvwPrinter printer_;
    TvwPrinter* previous_ = nullptr;
    bool current_ = false;
    TCopyHost copyHost_{view_};
    std::unique_ptr<TSectionList> copy_;
    int page_ = 0;
    bool stop_ = false;
};

void THtmlView::StopPrinting() {
    if (printJob_) printJob_->Stop();
}

void THtmlView::Print(int fromPage, int toPage) {
    const TvwPrinter* current = TvwPrinter::Current();
    if (printJob_ || (current && current->Printing())) throw EPrinter("Printing in progress");
    bool stop = false;
    if (OnPrintProgress) OnPrintProgress(this, 0, stop);
    printedPage_ = 0;
    if (processing_ || doc_.Sections.empty()) return;
    TPrintJob job(*this);
    job.Run(fromPage, toPage);
}

// ---------------------------------------------------------------- the job

void THtmlView::TPrintJob::MakeCopy() {
    const TSectionList& doc = view_->doc_;
    if (doc.Styles.HasMediaRules && view_->currentFileKind_ == TFileKind::ftHTML)
        copy_ = BuildForPrint();
    if (!copy_) copy_ = std::make_unique<TSectionList>(doc, doc.Fonts());
    copy_->SetScrollTop(0);
    copy_->SetBackgroundColor(0xFFFFFF);
    copy_->SetHost(&copyHost_);
}

// The article read again with the style rules for print. Form controls show the values the page
// gives them, not what was typed. nullptr when the file cannot be read any more: the copy of the
// screen's document prints instead.
std::unique_ptr<TSectionList> THtmlView::TPrintJob::BuildForPrint() {
    auto copy = std::make_unique<TSectionList>(view_->doc_, view_->doc_.Fonts(), false);
    copy->SetHost(&copyHost_);
    THtmlBuilder builder(*copy);
    builder.SetForPrint(true);
    try {
        builder.LoadHtmlFile(view_->currentFile_);
    } catch (const Exception&) {
        return nullptr;
    }
    copy->BackgroundImage();
    return copy;
}

TPrintGeometry THtmlView::TPrintJob::Measure() {
    TPrintDevice device;
    device.PpiX = printer_.PpiX();
    device.PpiY = printer_.PpiY();
    device.Page = QSize(printer_.PageWidth(), printer_.PageHeight());
    device.Offset = printer_.PhysicalOffset();
    device.Paper = printer_.PhysicalSize();
    const TPrintMargins margins{view_->PrintMarginLeft(), view_->PrintMarginRight(),
                                view_->PrintMarginTop(), view_->PrintMarginBottom()};
    const TPrintGeometry g = PageGeometry(margins, device);
    if (!g.Valid()) throw EPrinter("Print margins leave no room on the page");
    return g;
}

void THtmlView::TPrintJob::Run(int fromPage, int toPage) {
    MakeCopy();
    previous_ = TvwPrinter::SetCurrent(&printer_);
    current_ = true;
    SetPage(1);
    if (!view_->DocumentTitle().empty()) printer_.Title = view_->DocumentTitle();
    try {
        // The page's measures come before the document starts: margins that leave no room
        // are refused without a blank page printed. The document itself starts with the first
        // page due, so a range without one prints nothing.
        const TPrintGeometry g = Measure();
        PrintPages(fromPage, toPage, g);
    } catch (...) {
        Finish(fromPage);
        throw;
    }
    Finish(fromPage);
}

int THtmlView::TPrintJob::InkBottom(TInkCanvas& ink, int height) {
    // One strip as tall as the document, again from each forced page break it meets.
    int bottom = 0;
    for (int top = 0; top <= height;) {
        ink.ClearInk();
        copy_->SetScrollTop(top);
        const int next = copy_->PaintPage(ink, QRect(0, 0, 32000, height - top + 1), 0, 0);
        if (!ink.Ink().isEmpty()) bottom = std::max(bottom, top + ink.Ink().bottom() + 1);
        top = std::max(next, top + 1);
    }
    return bottom;
}

void THtmlView::TPrintJob::PrintPages(int fromPage, int toPage, const TPrintGeometry& g) {
    TPrinterCanvas& canvas = printer_.Canvas();
    int maxWidth = 0;
    const int height = copy_->DoLayout(canvas, g.WL, g.HL, maxWidth);
    // Pages end where the drawing of the copy ends them; pages not due are drawn on a canvas
    // that only notes ink, and the job ends with the last page that has any.
    TInkCanvas ink(copy_->Fonts(), canvas.ColorCount());
    const int inkBottom = InkBottom(ink, height);
    bool done = !LetMessagesRun() || stop_;
    Progress(1, done);
    int topOfPage = 0;
    while (page_ <= toPage && !done) {
        copy_->SetScrollTop(topOfPage - g.MT);
        const QRect pageRect(g.ML, g.MT, g.WL, g.HL);
        int pageBottom = 0;
        if (page_ < fromPage) {
            pageBottom = copy_->PaintPage(ink, pageRect, 3 * g.WL + g.ML, 0);
        } else {
            if (!printer_.Printing()) printer_.BeginDoc();
            canvas.SetWindowOrigin(0, 0);
            canvas.SetClipRegion(QRegion(canvas.DeviceToLogical(g.Clip)));
            pageBottom = DrawPage(g, topOfPage, done);
        }
        // A page whose content could not be placed at all still moves on.
        topOfPage = std::max(pageBottom, topOfPage + 1);
        if (!LetMessagesRun() || stop_) done = true;
        Progress(page_, done);
        if (height < topOfPage || inkBottom <= topOfPage) done = true;
        if (!done && fromPage <= page_ && page_ < toPage) printer_.NewPage();
        SetPage(page_ + 1);
    }
}

int THtmlView::TPrintJob::DrawPage(const TPrintGeometry& g, int topOfPage, bool& done) {
    TPrinterCanvas& canvas = printer_.Canvas();
    const int pageBottom = copy_->PaintPage(canvas, QRect(g.ML, g.MT, g.WL, g.HL), g.ML, 0);
    canvas.Save();
    canvas.ClearClip();
    // The top margin strip and what lies below the last line that fitted (it is printed again
    // at the top of the next page), down to the clip's edge: a picture that goes on to the next
    // page leaves nothing outside this one.
    const int clipBottom = std::max(canvas.DeviceToLogical(g.Clip).bottom(), g.MT + g.HL - 1);
    canvas.FillRect(QRect(QPoint(g.ML, 0), QPoint(g.ML + g.WL, g.MT - 1)), 0xFFFFFF);
    canvas.FillRect(
        QRect(QPoint(g.ML, pageBottom + g.MT - topOfPage), QPoint(g.ML + g.WL, clipBottom)),
        0xFFFFFF);
    canvas.SetBaselineAlign(false);
    if (header_ && view_) {
        canvas.SetWindowOrigin(0, 0);
        header_(view_, canvas, page_, g.PW, g.MT, done);
    }
    if (footer_ && view_) {
        canvas.SetWindowOrigin(0, -(g.MT + g.HL));
        footer_(view_, canvas, page_, g.PW, g.PH - g.MT - g.HL, done);
    }
    canvas.SetWindowOrigin(0, 0);
    canvas.Restore();
    return pageBottom;
}

bool THtmlView::TPrintJob::LetMessagesRun() {
    QCoreApplication::processEvents();
    return !view_.isNull();
}

void THtmlView::TPrintJob::Finish(int fromPage) noexcept {
    try {
        if (printer_.Printing()) {
            if (page_ < fromPage)
                printer_.Abort();  // nothing was due
            else
                printer_.EndDoc();
        }
    } catch (const Exception&) {
    }
    SetPage(std::max(page_ - 1, 0));
    if (current_) TvwPrinter::SetCurrent(previous_);
    current_ = false;
    copy_.reset();
}

}  // namespace kv
