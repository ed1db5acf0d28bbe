// The reader as it starts, with one difference for the real-window printing test: a PDF file
// (the first argument) stands in for the system's default printer.
//
//   kv_print_window OUT.pdf

#include <QApplication>

#include "app/startup.h"
#include "platform/font.h"
#include "platform/paths.h"
#include "platform/printer.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("kvarnelya"));
    application.setQuitOnLastWindowClosed(false);
    kv::fonts::Install();
    if (argc < 2) return 2;
    kv::TPrinterSelection pdf;
    pdf.Kind = kv::TPrinterSelection::TKind::pkPdf;
    pdf.PdfFile = argv[1];
    pdf.Resolution = 300;
    kv::SelectPrinter(pdf);

    auto windows =
        kv::CreateWindowSet({kv::paths::programFolder(), kv::paths::windowsFolder(), {}});
    QObject::connect(windows->Form1.get(), &kv::TForm1::Closed, &application, &QApplication::quit);
    kv::ShowMainWindow(*windows);
    return application.exec();
}
