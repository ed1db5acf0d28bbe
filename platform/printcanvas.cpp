#include "platform/printcanvas.h"

#include <QPainter>
#include <QPrinter>

#include "platform/font.h"
#include "platform/printer.h"

namespace kv {

TPrinterCanvas::TPrinterCanvas(QPagedPaintDevice& device, TFontEngine& fonts)
    : TPainterCanvas(fonts) {
    Begin(device);
}

TPrinterCanvas::TPrinterCanvas(TvwPrinter& printer, TFontEngine& fonts)
    : TPainterCanvas(fonts), printer_(&printer) {}

TPrinterCanvas::~TPrinterCanvas() {
    End();
}

bool TPrinterCanvas::Begin(QPagedPaintDevice& device) {
    End();
    device_ = &device;
    pages_ = 0;
    ppiX_ = std::max(1, device.logicalDpiX());
    ppiY_ = std::max(1, device.logicalDpiY());
    colors_ = 0;
    if (auto* printer = dynamic_cast<QPrinter*>(&device))
        colors_ = printer->colorMode() == QPrinter::GrayScale ? 2 : 0;
    // Beginning the painter starts the document and its first page.
    active_ = true;
    if (ActivePainter())
        pages_ = 1;
    else
        active_ = false;
    return active_;
}

void TPrinterCanvas::AbortDocument() {
    if (!active_) return;
    if (auto* printer = dynamic_cast<QPrinter*>(device_)) printer->abort();
    End();
}

void TPrinterCanvas::CheckPrinting() const {
    if (printer_ && !printer_->Printing()) throw EPrinter("Printer is not currently printing");
}

QPaintDevice* TPrinterCanvas::Device() {
    CheckPrinting();
    return active_ ? device_ : nullptr;
}

void TPrinterCanvas::Prepare(QPainter& painter) {
    ApplyTransform(painter);
}

void TPrinterCanvas::ApplyTransform(QPainter& painter) const {
    const double sx = double(ppiX_) / fonts::kScreenPpi, sy = double(ppiY_) / fonts::kScreenPpi;
    painter.setWorldTransform(QTransform(sx, 0, 0, sy, -originX_ * sx, -originY_ * sy));
}

bool TPrinterCanvas::NewPage() {
    if (!active_ || !device_ || !device_->newPage()) return false;
    ++pages_;
    return true;
}

void TPrinterCanvas::End() {
    EndPainter();
    active_ = false;
}

int TPrinterCanvas::PageWidth() const {
    return device_ ? device_->width() : 0;
}
int TPrinterCanvas::PageHeight() const {
    return device_ ? device_->height() : 0;
}

int TPrinterCanvas::LogicalWidth() const {
    return int(qint64(PageWidth()) * fonts::kScreenPpi / ppiX_);
}

int TPrinterCanvas::LogicalHeight() const {
    return int(qint64(PageHeight()) * fonts::kScreenPpi / ppiY_);
}

QRect TPrinterCanvas::DeviceToLogical(const QRect& device) const {
    const auto lx = [&](int v) { return int(qint64(v) * fonts::kScreenPpi / ppiX_); };
    const auto ly = [&](int v) { return int(qint64(v) * fonts::kScreenPpi / ppiY_); };
    return QRect(QPoint(lx(device.left()), ly(device.top())),
                 QPoint(lx(device.right() + 1) - 1, ly(device.bottom() + 1) - 1));
}

void TPrinterCanvas::SetWindowOrigin(int x, int y) {
    originX_ = x;
    originY_ = y;
    if (QPainter* painter = active_ ? ActivePainter() : nullptr) {
        ApplyTransform(*painter);
        ApplyClip();  // the clip stays where it was in logical units
    }
}

}  // namespace kv
