#pragma once
// Printing in tests: a PDF file selected as the printer, its pages counted, and its pages as
// text and pictures (through the poppler tools).

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <filesystem>
#include <string>

#include "platform/printer.h"
#include "tests/common/testutil.h"

namespace kvtest {

// Selects a PDF file in `folder` as the printer for the lifetime of the object.
struct PdfPrinter {
    explicit PdfPrinter(const TempFolder& folder, int dpi = 600, double unprintableMm = 0,
                        const std::string& name = "out.pdf") {
        file = (folder.Path() / name).string();
        kv::TPrinterSelection pdf;
        pdf.Kind = kv::TPrinterSelection::TKind::pkPdf;
        pdf.PdfFile = file;
        pdf.Resolution = dpi;
        pdf.UnprintableMm = unprintableMm;
        previous = kv::SelectPrinter(pdf);
    }
    ~PdfPrinter() { kv::SelectPrinter(previous); }
    PdfPrinter(const PdfPrinter&) = delete;
    PdfPrinter& operator=(const PdfPrinter&) = delete;

    // Pages written (0 when there is no file).
    int Pages() const {
        if (!std::filesystem::exists(file)) return 0;
        const std::string bytes = ReadFile(file);
        return int(QString::fromLatin1(bytes.data(), qsizetype(bytes.size()))
                       .count(QRegularExpression("/Type\\s*/Page(?!s)")));
    }
    std::string file;
    kv::TPrinterSelection previous;
};

// Runs a poppler tool (bounded to 60 s); its standard output, or "" when it failed.
inline QByteArray RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) return {};
    return process.readAllStandardOutput();
}

}  // namespace kvtest
