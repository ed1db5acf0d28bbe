// The printer object: which printer it reaches, its handle states, the order of document and
// page steps with their exact refusals, and the canvas that draws only while printing.

#include <gtest/gtest.h>

#include "tests/common/pdfprinter.h"

namespace kv {
namespace {

using kvtest::PdfPrinter;

std::string FailureOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const EPrinter& e) {
        return e.what();
    }
    return "";
}

TEST(Printer, NoPrinterIsNotAValidPrinter) {
    TPrinterSelection none;
    none.Kind = TPrinterSelection::TKind::pkNone;
    const TPrinterSelection previous = SelectPrinter(none);
    TvwPrinter printer;
    EXPECT_EQ(FailureOf([&] { printer.PageWidth(); }), "Printer selected is not valid");
    EXPECT_EQ(FailureOf([&] { printer.BeginDoc(); }), "Printer selected is not valid");
    EXPECT_FALSE(printer.Printing());
    EXPECT_EQ(printer.HandleState(), 0);
    // A PDF printer without a file is no printer either.
    TPrinterSelection nameless;
    nameless.Kind = TPrinterSelection::TKind::pkPdf;
    SelectPrinter(nameless);
    EXPECT_EQ(FailureOf([&] { printer.PageHeight(); }), "Printer selected is not valid");
    SelectPrinter(previous);
}

TEST(Printer, TheSystemsDefaultPrinterIsUsedWhenThereIsOne) {
    // Machines without a printer (the usual test machine) get the message; others a device.
    TPrinterSelection system;
    const TPrinterSelection previous = SelectPrinter(system);
    TvwPrinter printer;
    const std::string failure = FailureOf([&] { printer.PpiX(); });
    if (failure.empty())
        EXPECT_NE(printer.Device(), nullptr);
    else
        EXPECT_EQ(failure, "Printer selected is not valid");
    SelectPrinter(previous);
}

TEST(Printer, StepsOutOfOrderAreRefusedWithTheirMessages) {
    kvtest::TempFolder folder;
    PdfPrinter pdf(folder);
    TvwPrinter printer;
    const char* notPrinting = "Printer is not currently printing";
    EXPECT_EQ(FailureOf([&] { printer.NewPage(); }), notPrinting);
    EXPECT_EQ(FailureOf([&] { printer.EndDoc(); }), notPrinting);
    EXPECT_EQ(FailureOf([&] { printer.Abort(); }), notPrinting);
    EXPECT_EQ(FailureOf([&] { printer.Canvas().FillRect(QRect(0, 0, 5, 5), 0); }), notPrinting);
    EXPECT_EQ(FailureOf([&] { printer.Canvas().TextOut(0, 0, "x"); }), notPrinting);

    printer.BeginDoc();
    EXPECT_TRUE(printer.Printing());
    EXPECT_EQ(printer.HandleState(), 2);
    EXPECT_EQ(printer.PageNumber(), 1);
    EXPECT_EQ(FailureOf([&] { printer.BeginDoc(); }), "Printing in progress");
    EXPECT_TRUE(printer.Printing());  // the running job goes on
    printer.Canvas().TextOut(10, 10, "first");
    printer.NewPage();
    printer.Canvas().TextOut(10, 10, "second");
    printer.NewPage();
    EXPECT_EQ(printer.PageNumber(), 3);
    printer.EndDoc();
    EXPECT_FALSE(printer.Printing());
    EXPECT_EQ(printer.PageNumber(), 0);
    EXPECT_EQ(pdf.Pages(), 3);
    EXPECT_EQ(FailureOf([&] { printer.Canvas().Line(0, 0, 5, 5); }), notPrinting);
    EXPECT_EQ(FailureOf([&] { printer.EndDoc(); }), notPrinting);

    // A second document on the same printer starts afresh.
    printer.BeginDoc();
    printer.EndDoc();
    EXPECT_EQ(pdf.Pages(), 1);
}

TEST(Printer, AnAbortedDocumentLeavesNothingPrinted) {
    kvtest::TempFolder folder;
    PdfPrinter pdf(folder);
    TvwPrinter printer;
    printer.BeginDoc();
    printer.Canvas().TextOut(10, 10, "dropped");
    printer.Abort();
    EXPECT_FALSE(printer.Printing());
    EXPECT_FALSE(printer.Aborted());  // cleared by the end of the job
    EXPECT_FALSE(std::filesystem::exists(pdf.file));
    // A printer destroyed in the middle of a job ends it rather than leaving a job open.
    {
        TvwPrinter left;
        left.BeginDoc();
    }
    EXPECT_FALSE(std::filesystem::exists(pdf.file));
}

TEST(Printer, MeasuresComeFromAnInformationContext) {
    kvtest::TempFolder folder;
    PdfPrinter pdf(folder, 600, 5.0);
    TvwPrinter printer;
    EXPECT_EQ(printer.PpiX(), 600);
    EXPECT_EQ(printer.HandleState(), 1);
    // 5 mm at 600 dpi is 118 pixels; A4 is 210 x 297 mm, about 4961 x 7016 pixels.
    const QPoint offset = printer.PhysicalOffset();
    const QSize paper = printer.PhysicalSize();
    EXPECT_NEAR(offset.x(), 118, 1);
    EXPECT_NEAR(offset.y(), 118, 1);
    EXPECT_NEAR(paper.width(), 4961, 4);
    EXPECT_NEAR(paper.height(), 7016, 4);
    EXPECT_NEAR(printer.PageWidth(), paper.width() - 2 * offset.x(), 4);
    EXPECT_NEAR(printer.PageHeight(), paper.height() - 2 * offset.y(), 4);
    EXPECT_FALSE(std::filesystem::exists(pdf.file));  // measuring prints nothing
    printer.BeginDoc();
    EXPECT_EQ(printer.HandleState(), 2);
    EXPECT_EQ(printer.PpiY(), 600);
    printer.EndDoc();
}

TEST(Printer, OnePrinterIsCurrentAtATime) {
    TvwPrinter a, b;
    TvwPrinter* before = TvwPrinter::SetCurrent(&a);
    EXPECT_EQ(TvwPrinter::SetCurrent(&b), &a);
    EXPECT_EQ(TvwPrinter::Current(), &b);
    TvwPrinter::SetCurrent(before);
    {
        TvwPrinter gone;
        TvwPrinter::SetCurrent(&gone);
    }
    EXPECT_EQ(TvwPrinter::Current(), nullptr);  // never left pointing at a freed printer
    TvwPrinter::SetCurrent(before);
}

}  // namespace
}  // namespace kv
