// kvtool render FILE[#ANCHOR] [--width 665] [--height 457] [--full] -o OUT.png: the document as
// the viewer shows it, scrolled to the anchor, as a PNG.

#include <QImage>
#include <algorithm>

#include "html/layout/builder.h"
#include "platform/canvas.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {

namespace {

bool IntOption(const Args& args, std::size_t& i, int& value) {
    if (i + 1 >= args.size()) return false;
    try {
        value = std::stoi(args[++i]);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace

int Render(const Args& args) {
    std::string file, out;
    int width = 665, height = 457;
    bool full = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--width" || args[i] == "--height") {
            int& value = args[i] == "--width" ? width : height;
            if (!IntOption(args, i, value)) return PrintError("kvtool: " + args[i] + " needs a number\n"), 2;
        } else if (args[i] == "--full") {
            full = true;
        } else if (args[i] == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else {
            file = kv::cp1251::fromUtf8(args[i]);
        }
    }
    if (file.empty() || out.empty())
        return PrintError("usage: kvtool render FILE[#ANCHOR] [--width W] [--height H] [--full] -o OUT.png\n"), 2;
    width = std::clamp(width, 1, 8000);
    height = std::clamp(height, 1, 8000);
    std::string anchor;
    if (const std::size_t hash = file.find('#'); hash != std::string::npos) {
        anchor = kv::cp1251::upperText(file.substr(hash + 1));
        file.erase(hash);
    }
    TLoadedDocument loaded;
    loaded.Load(file);
    kv::TImageCanvas measure(1, 1);
    loaded.Layout(measure, width, height);
    int top = 0;
    if (!anchor.empty()) {
        if (kv::TIDObject* object = loaded.document.IDNames.Find(anchor))
            top = object->TopY();
        else
            PrintError("kvtool: no anchor " + anchor + "\n");
    }
    if (full) {
        height = std::clamp(loaded.height, 1, 30000);
        top = 0;
    }
    top = std::clamp(top, 0, std::max(0, loaded.height - height));
    kv::TImageCanvas canvas(width, height);
    canvas.FillRect(QRect(0, 0, width, height), loaded.document.BackgroundColor);
    loaded.document.SetScrollTop(top);
    loaded.document.Paint(canvas, QRect(0, 0, width, height), 0, 0);
    canvas.Flush();
    if (!canvas.Image().save(QString::fromStdString(out), "PNG"))
        return PrintError("kvtool: cannot write " + out + "\n"), 1;
    Print("height " + std::to_string(loaded.height) + " top " + std::to_string(top) + "\n");
    return 0;
}

}  // namespace kvtool
