// kvtool image: an image loaded as a document loads it, written as PNG the way it would be
// drawn (through its mask, over white).

#include <QImage>
#include <QString>

#include "html/images/display.h"
#include "html/images/imagecache.h"
#include "html/images/loaders.h"
#include "platform/codec.h"
#include "tools/kvtool/commands.h"

namespace kvtool {
namespace {

const char kUsage[] =
    "usage: kvtool image FILE -o OUT.png [--bits 4|8|24] [--corner] [--frame N]\n";

// The picture over white as it would be drawn.
kv::TBitmap Render(const kv::TImageRef& image, const kv::TBitmap* mask, int transparency,
                   int frame) {
    kv::TBitmap canvas(image.Width(), image.Height(), kv::TPixelFormat::pf32bit);
    canvas.Fill(kv::kWhite);
    if (image.Gif) {
        image.Gif->SetVisible(true);
        for (int n = 2; n <= frame && n <= image.Gif->FrameCount(); ++n)
            image.Gif->SetCurrentFrame(n);
        image.Gif->Draw(canvas, 0, 0, canvas.Width(), canvas.Height());
    } else if (mask != nullptr && transparency != 0) {
        kv::DrawTransparent(canvas, *image.Bitmap, *mask, 0, 0, canvas.Width(), canvas.Height());
    } else {
        kv::BitBlt(canvas, 0, 0, canvas.Width(), canvas.Height(), *image.Bitmap, 0, 0,
                   kv::TRasterOp::ropCopy);
    }
    return canvas;
}

}  // namespace

int Image(const Args& args) {
    std::string file, out;
    int transparency = 0, frame = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "-o" && hasValue)
            out = args[++i];
        else if (args[i] == "--bits" && hasValue)
            kv::SetColorBits(std::atoi(args[++i].c_str()));
        else if (args[i] == "--frame" && hasValue)
            frame = std::atoi(args[++i].c_str());
        else if (args[i] == "--corner")
            transparency = 1;
        else if (file.empty())
            file = args[i];
        else
            return PrintError(kUsage), 2;
    }
    if (file.empty() || out.empty()) return PrintError(kUsage), 2;

    kv::TStringBitmapList cache;
    bool pending = false, cached = false;
    const kv::TBitmap* mask = nullptr;
    const kv::TImageRef image =
        cache.GetImage(std::string(file), {}, transparency, pending, cached, mask);
    kv::TBitmap canvas;
    int code = 0;
    if (image) {
        canvas = Render(image, mask, transparency, frame);
    } else {
        // What the document shows for an image that failed.
        const kv::TBitmap& error = kv::ErrorBitmap();
        canvas = kv::TBitmap(error.Width(), error.Height(), kv::TPixelFormat::pf32bit);
        canvas.Fill(kv::kWhite);
        kv::DrawTransparent(canvas, error, kv::ErrorBitmapMask(), 0, 0, error.Width(),
                            error.Height());
        Print("error \"image not loaded\"\n");
        code = 1;
    }
    if (!canvas.ToQImage().save(QString::fromStdString(out), "PNG")) {
        PrintError("kvtool: cannot write " + std::string(out) + "\n");
        return 1;
    }
    return code;
}

}  // namespace kvtool
