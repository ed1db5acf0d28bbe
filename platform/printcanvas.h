#pragma once
// A canvas over the pages of a printer (QPrinter) or a PDF file (QPdfWriter). It draws with the
// same operations as the screen canvases, in logical units of one screen pixel (1/96 inch)
// mapped onto the device's own pixels, so a document laid out for the screen prints at its
// physical size. Clip rectangles and regions are logical too; DeviceToLogical converts the
// device pixels a printing loop computes.
//
// A canvas bound to a printer object (TvwPrinter) draws on the printer's device while its
// document prints and refuses every drawing call otherwise ("Printer is not currently printing").

#include <QPagedPaintDevice>

#include "platform/canvas.h"

namespace kv {

class TvwPrinter;

class TPrinterCanvas : public TPainterCanvas {
public:
    // Starts the document on the device at once (the device is not owned and must outlive the
    // canvas). Failing to start leaves a canvas that draws nothing (Active() is false).
    explicit TPrinterCanvas(QPagedPaintDevice& device,
                            TFontEngine& fonts = TQtFontEngine::Shared());
    // Bound to a printer (not owned): no device until the printer starts a document.
    explicit TPrinterCanvas(TvwPrinter& printer, TFontEngine& fonts = TQtFontEngine::Shared());
    ~TPrinterCanvas() override;

    // Starts a document on the device (not owned); false when the device refuses.
    bool Begin(QPagedPaintDevice& device);
    // Gives up the document (a printer drops its job).
    void AbortDocument();

    bool IsPrinter() const override { return true; }
    int ColorCount() const override { return colors_; }
    bool Active() const { return active_; }

    // Ends the page and starts the next; false when the document is not printing.
    bool NewPage();
    // Finishes the document; drawing afterwards does nothing.
    void End();
    int PagesStarted() const { return pages_; }

    // Device resolution (pixels per inch) and the printable page in device pixels.
    int PpiX() const { return ppiX_; }
    int PpiY() const { return ppiY_; }
    int PageWidth() const;
    int PageHeight() const;
    // The printable page in logical units.
    int LogicalWidth() const;
    int LogicalHeight() const;
    QRect DeviceToLogical(const QRect& device) const;
    // The logical point drawn at the top-left of the printable page.
    void SetWindowOrigin(int x, int y);

protected:
    // Every drawing call reaches the device here: bound to a printer, it refuses to draw
    // while the printer is not printing.
    QPaintDevice* Device() override;
    void Prepare(QPainter& painter) override;

private:
    void ApplyTransform(QPainter& painter) const;
    void CheckPrinting() const;
    QPagedPaintDevice* device_ = nullptr;
    TvwPrinter* printer_ = nullptr;
    bool active_ = false;
    int pages_ = 0;
    int colors_ = 0;
    int ppiX_ = 96, ppiY_ = 96;
    int originX_ = 0, originY_ = 0;
};

}  // namespace kv
