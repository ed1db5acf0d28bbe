#include "platform/printer.h"

#include <QFile>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

#include "platform/codec.h"

namespace kv {

namespace {

TPrinterSelection& Selection() {
    static TPrinterSelection selection;
    return selection;
}

TvwPrinter*& CurrentPrinter() {
    static TvwPrinter* current = nullptr;
    return current;
}

std::unique_ptr<QPagedPaintDevice> MakePdfWriter(const TPrinterSelection& mode) {
    auto writer = std::make_unique<QPdfWriter>(QString::fromStdString(mode.PdfFile));
    writer->setResolution(std::clamp(mode.Resolution, 72, 2400));
    writer->setPageSize(
        QPageSize(QSizeF(mode.PaperWidthMm, mode.PaperHeightMm), QPageSize::Millimeter));
    const double edge = std::max(0.0, mode.UnprintableMm);
    writer->setPageMargins(QMarginsF(edge, edge, edge, edge), QPageLayout::Millimeter);
    return writer;
}

}  // namespace

TPrinterSelection SelectPrinter(const TPrinterSelection& selection) {
    TPrinterSelection previous = Selection();
    Selection() = selection;
    return previous;
}

const TPrinterSelection& SelectedPrinter() {
    return Selection();
}

TvwPrinter::TvwPrinter(TFontEngine& fonts) : fonts_(&fonts) {}

TvwPrinter::~TvwPrinter() {
    if (CurrentPrinter() == this) CurrentPrinter() = nullptr;
    if (printing_) {
        try {
            Abort();
        } catch (const Exception&) {
        }
    }
    SetState(0);
}

TvwPrinter* TvwPrinter::SetCurrent(TvwPrinter* printer) {
    TvwPrinter* previous = CurrentPrinter();
    CurrentPrinter() = printer;
    return previous;
}

TvwPrinter* TvwPrinter::Current() {
    return CurrentPrinter();
}

// ---------------------------------------------------------------- handle states

void TvwPrinter::CreateDevice() {
    mode_ = std::make_unique<TPrinterSelection>(SelectedPrinter());
    switch (mode_->Kind) {
    case TPrinterSelection::TKind::pkSystem: {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) break;
        auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        if (printer->isValid()) device_ = std::move(printer);
        break;
    }
    case TPrinterSelection::TKind::pkPdf:
        if (!mode_->PdfFile.empty()) device_ = MakePdfWriter(*mode_);
        break;
    case TPrinterSelection::TKind::pkNone: break;
    }
    if (!device_) {
        mode_.reset();
        throw EPrinter("Printer selected is not valid");
    }
}

void TvwPrinter::SetState(int state) {
    if (state == state_) return;
    switch (state) {
    case 0:
        if (canvas_) canvas_->End();
        device_.reset();
        mode_.reset();
        break;
    case 1:
        if (state_ == 2) return;  // a device context answers everything an information one does
        CreateDevice();
        break;
    default:
        if (canvas_) canvas_->End();
        device_.reset();
        state_ = 0;
        CreateDevice();
        break;
    }
    state_ = state;
}

int TvwPrinter::PageWidth() {
    SetState(std::max(state_, 1));
    return device_->width();
}

int TvwPrinter::PageHeight() {
    SetState(std::max(state_, 1));
    return device_->height();
}

int TvwPrinter::PpiX() {
    SetState(std::max(state_, 1));
    return std::max(1, device_->logicalDpiX());
}

int TvwPrinter::PpiY() {
    SetState(std::max(state_, 1));
    return std::max(1, device_->logicalDpiY());
}

QPoint TvwPrinter::PhysicalOffset() {
    SetState(std::max(state_, 1));
    return device_->pageLayout().paintRectPixels(PpiX()).topLeft();
}

QSize TvwPrinter::PhysicalSize() {
    SetState(std::max(state_, 1));
    return device_->pageLayout().fullRectPixels(PpiX()).size();
}

TPrinterCanvas& TvwPrinter::Canvas() {
    if (!canvas_) canvas_ = std::make_unique<TPrinterCanvas>(*this, *fonts_);
    return *canvas_;
}

// ---------------------------------------------------------------- document and pages

void TvwPrinter::CheckPrinting() const {
    if (!printing_) throw EPrinter("Printer is not currently printing");
}

void TvwPrinter::BeginDoc() {
    if (printing_) throw EPrinter("Printing in progress");
    SetState(2);
    const QString name = text::toQString(Title).left(31);  // characters, not UTF-8 bytes
    if (auto* printer = dynamic_cast<QPrinter*>(device_.get()))
        printer->setDocName(name);
    else if (auto* writer = dynamic_cast<QPdfWriter*>(device_.get()))
        writer->setTitle(name);
    printing_ = true;
    aborted_ = false;
    pageNumber_ = 1;
    if (!Canvas().Begin(*device_)) {
        printing_ = false;
        pageNumber_ = 0;
        SetState(0);
        throw EPrinter("Printer selected is not valid");
    }
}

void TvwPrinter::NewPage() {
    CheckPrinting();
    canvas_->NewPage();
    ++pageNumber_;
    // A new page starts with a fresh drawing state.
    canvas_->ClearClip();
    canvas_->SetWindowOrigin(0, 0);
}

void TvwPrinter::EndDoc() {
    CheckPrinting();
    if (!aborted_) canvas_->End();
    printing_ = false;
    aborted_ = false;
    pageNumber_ = 0;
    mode_.reset();
}

void TvwPrinter::Abort() {
    CheckPrinting();
    canvas_->AbortDocument();
    aborted_ = true;
    // A PDF writer cannot drop its document: the file it wrote goes instead.
    if (mode_ && mode_->Kind == TPrinterSelection::TKind::pkPdf)
        QFile::remove(QString::fromStdString(mode_->PdfFile));
    EndDoc();
}

}  // namespace kv
