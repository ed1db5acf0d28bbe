// kvtool print FILE[#ANCHOR] -o OUT.pdf [--from N] [--to M] [--dpi D]: the document printed the
// way the reader prints it (the shell's viewer settings, 2 cm margins, pages 1 to 100 unless
// told otherwise), on a PDF printer of D dots per inch instead of the system's printer. Text
// stays text in the PDF.

#include <algorithm>
#include <filesystem>

#include "app/viewersettings.h"
#include "html/viewer/htmlview.h"
#include "platform/codec.h"
#include "platform/printer.h"
#include "tools/kvtool/commands.h"

namespace kvtool {

int PrintPdf(const Args& args) {
    std::string file, out;
    int from = 0, to = 100, dpi = 600;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--from" || args[i] == "--to" || args[i] == "--dpi") {
            int& value = args[i] == "--from" ? from : args[i] == "--to" ? to : dpi;
            if (!IntOption(args, i, value)) return 2;
        } else if (args[i] == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else {
            file = std::string(args[i]);
        }
    }
    if (file.empty() || out.empty())
        return PrintError(
                   "usage: kvtool print FILE[#ANCHOR] -o OUT.pdf [--from N] [--to M] "
                   "[--dpi D]\n"),
               2;
    if (dpi < 72 || dpi > 2400) return PrintError("kvtool: --dpi must lie in 72..2400\n"), 2;
    kv::THtmlView view;
    if (!OpenInViewer(view, file, 665, 457)) return 1;
    kv::TPrinterSelection pdf;
    pdf.Kind = kv::TPrinterSelection::TKind::pkPdf;
    pdf.PdfFile = out;
    pdf.Resolution = dpi;
    const kv::TPrinterSelection previous = kv::SelectPrinter(pdf);
    std::error_code error;
    std::filesystem::remove(out, error);  // a job with nothing due leaves no file
    try {
        view.Print(from, to);
    } catch (const kv::Exception& failure) {
        kv::SelectPrinter(previous);
        return PrintError("kvtool: " + std::string(failure.what()) + "\n"), 1;
    }
    kv::SelectPrinter(previous);
    const int printed = std::max(view.PrintedPages() - std::max(from, 1) + 1, 0);
    if (printed == 0 || !std::filesystem::exists(out, error))
        return PrintError("kvtool: no page to print\n"), 1;
    Print("pages " + std::to_string(printed) + " of " + std::to_string(view.PrintedPages()) + "\n");
    return 0;
}

}  // namespace kvtool
