// kvtool render FILE[#ANCHOR] [--width 665] [--height 457] [--zoom 100] [--full] -o OUT.png: the
// document as the reader's viewer shows it (the shell's settings), scrolled to the anchor, as a
// PNG. The picture is the viewer's own paint of its panel, with the vertical scroll bar beside
// it; with --full it is the whole document height (no bar). --zoom is the viewer's zoom in
// percent.

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "app/viewersettings.h"
#include "html/viewer/htmlview.h"
#include "html/viewer/paintpanel.h"
#include "html/viewer/scrollbar32.h"
#include "platform/canvas.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {

bool OpenInViewer(kv::THtmlView& view, const std::string& file, int width, int height) {
    kv::SetUpArticleViewer(view);
    view.resize(width, height);
    try {
        view.LoadFromFile(file);
    } catch (const kv::Exception& error) {
        PrintError("kvtool: " + std::string(error.what()) + "\n");
        return false;
    }
    return true;
}

namespace {

QImage PanelPicture(kv::THtmlView& view, const QRect& rect) {
    if (view.Zoom() != 100) return static_cast<kv::TPaintPanel*>(view.PaintPanel())->Render(rect);
    QImage picture(rect.size(), QImage::Format_RGB32);
    kv::TImageCanvas canvas(&picture);
    view.PaintDocument(canvas, rect);
    canvas.Flush();
    return picture;
}

// The panel's picture with the vertical bar where the viewer shows it.
QImage ViewPicture(kv::THtmlView& view) {
    QImage picture(view.size(), QImage::Format_RGB32);
    picture.fill(kv::ToQColor(view.Document().BackgroundColor));
    QWidget* panel = view.PaintPanel();
    QPainter painter(&picture);
    painter.drawImage(panel->pos(), PanelPicture(view, panel->rect()));
    QWidget& bar = view.VScrollBar();
    if (bar.isVisibleTo(&view)) painter.drawPixmap(bar.pos(), bar.grab());
    return picture;
}

}  // namespace

int Render(const Args& args) {
    std::string file, out;
    int width = 665, height = 457, zoom = 100;
    bool full = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--width" || args[i] == "--height") {
            int& value = args[i] == "--width" ? width : height;
            if (!IntOption(args, i, value)) return 2;
        } else if (args[i] == "--zoom") {
            if (!IntOption(args, i, zoom)) return 2;
        } else if (args[i] == "--full") {
            full = true;
        } else if (args[i] == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else {
            file = std::string(args[i]);
        }
    }
    if (file.empty() || out.empty())
        return PrintError(
                   "usage: kvtool render FILE[#ANCHOR] [--width W] [--height H] [--zoom PERCENT] "
                   "[--full] -o OUT.png\n"),
               2;
    width = std::clamp(width, 1, 8000);
    height = std::clamp(height, 1, 8000);
    kv::THtmlView view;
    view.SetZoom(zoom);
    if (!OpenInViewer(view, file, width, height)) return 1;
    if (const std::size_t hash = file.find('#'); hash != std::string::npos &&
                                                 hash + 1 < file.size() &&
                                                 !view.PositionTo(file.substr(hash + 1)))
        PrintError("kvtool: no anchor " + kv::text::upperText(file.substr(hash + 1)) + "\n");
    QImage picture;
    if (full) {
        view.ScrollTo(0);
        const int docHeight = std::clamp(view.ToPanelPixels(view.DocHeight()), 1, 30000);
        picture = PanelPicture(view, QRect(0, 0, view.PaintPanel()->width(), docHeight));
    } else {
        picture = ViewPicture(view);
    }
    if (!picture.save(QString::fromStdString(out), "PNG"))
        return PrintError("kvtool: cannot write " + out + "\n"), 1;
    Print("height " + std::to_string(view.DocHeight()) + " top " +
          std::to_string(view.VScrollPos()) + "\n");
    return 0;
}

}  // namespace kvtool
