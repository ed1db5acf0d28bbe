#pragma once
// The printer object the viewer prints through: the selected printer's device with its canvas,
// the states of its handle, and the document and page steps with the checks that keep them in
// order. The selected printer is the system's default printer; a program (kvtool) or a test can
// select a PDF file instead, or no printer at all.

#include <QRect>
#include <memory>
#include <string>

#include "platform/errors.h"
#include "platform/printcanvas.h"

class QPagedPaintDevice;

namespace kv {

// A printer failure ("Printer selected is not valid", "Printing in progress", ...).
class EPrinter : public Exception {
public:
    using Exception::Exception;
};

// Which printer printing goes to.
struct TPrinterSelection {
    enum class TKind { pkSystem, pkPdf, pkNone };
    TKind Kind = TKind::pkSystem;
    // A PDF file (UTF-8 path), its resolution, its paper and the unprintable edge (millimetres
    // on each side; a real printer has one, a PDF file none).
    std::string PdfFile;
    int Resolution = 600;
    double PaperWidthMm = 210, PaperHeightMm = 297;
    double UnprintableMm = 0;
};

// The program-wide selection (interface thread only); returns the one it replaces.
TPrinterSelection SelectPrinter(const TPrinterSelection& selection);
const TPrinterSelection& SelectedPrinter();

class TvwPrinter {
public:
    // The canvas measures with the given fonts (the document's own).
    explicit TvwPrinter(TFontEngine& fonts = TQtFontEngine::Shared());
    ~TvwPrinter();
    TvwPrinter(const TvwPrinter&) = delete;
    TvwPrinter& operator=(const TvwPrinter&) = delete;

    // The printer "current" for the whole program (not owned); returns the previous one.
    static TvwPrinter* SetCurrent(TvwPrinter* printer);
    static TvwPrinter* Current();

    void BeginDoc();
    void NewPage();
    void EndDoc();
    void Abort();

    // Device resolution and printable page, in device pixels.
    int PageWidth();
    int PageHeight();
    int PpiX();
    int PpiY();
    // The paper's edge that cannot be printed (device pixels): left, top, and the whole paper.
    QPoint PhysicalOffset();
    QSize PhysicalSize();

    // Made on first use; draws only while a document is printing.
    TPrinterCanvas& Canvas();
    std::string Title;

    bool Printing() const { return printing_; }
    bool Aborted() const { return aborted_; }
    int PageNumber() const { return pageNumber_; }
    int HandleState() const { return state_; }
    QPagedPaintDevice* Device() const { return device_.get(); }

private:
    // 0 nothing, 1 an information context, 2 a device context ready for a document.
    void SetState(int state);
    void CreateDevice();
    void CheckPrinting() const;

    TFontEngine* fonts_;
    int state_ = 0;
    std::unique_ptr<QPagedPaintDevice> device_;
    std::unique_ptr<TPrinterSelection> mode_;  // the selection copied when the device was made
    std::unique_ptr<TPrinterCanvas> canvas_;
    bool printing_ = false;
    bool aborted_ = false;
    int pageNumber_ = 0;
};

}  // namespace kv
