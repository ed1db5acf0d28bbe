// Fuzz target: BMP, PNG and JPEG (and GIF) loading as files and host streams, masks, conversion.

#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <string>

#include "html/images/loaders.h"

namespace {
// Qt's readers warn on standard error about broken files; a fuzz run prints nothing.
const bool kQuiet = [] {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return true;
}();
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    kv::RecognizeImage(bytes);
    // Big pictures (allowed up to 64 megapixels) only have their headers read, so that every
    // run stays well under a second.
    int width = 0, height = 0;
    if (kv::ProbeImageSize(bytes, width, height) && std::int64_t{width} * height > 1 << 20)
        return 0;
    kv::TColor colour = 0;
    kv::GIFTransparentColor(bytes, colour);
    if (auto picture = kv::DecodeImageBytes(bytes, true)) {
        if (auto mask = kv::MakeMask(*picture, false, 0)) {
            kv::TBitmap canvas(32, 32, kv::TPixelFormat::pf32bit);
            kv::DrawTransparent(canvas, *picture, *mask, -5, -5, 50, 20);
        }
    }
    int transparency = 1;
    std::unique_ptr<kv::TBitmap> mask;
    kv::LoadImageStream(&bytes, transparency, mask);
    return 0;
}
