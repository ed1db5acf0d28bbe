// Fuzz target: PNG pictures through every path that reads one: the size probe, the plain decode,
// and the file and host-stream loads with each transparency (the alpha mask, the corner mask).
// Inputs without the PNG signature get it, so that every run reaches the PNG reader.

#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "html/images/loaders.h"

namespace {
// Qt's reader warns on standard error about broken files; a fuzz run prints nothing.
const bool kQuiet = [] {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return true;
}();

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.compare(0, 8, kSignature, 8) != 0) bytes.insert(0, kSignature, 8);
    // Big pictures (allowed up to 64 megapixels) only have their headers read, so that every run
    // stays well under a second.
    int width = 0, height = 0;
    if (kv::ProbeImageSize(bytes, width, height) && std::int64_t{width} * height > 1 << 20)
        return 0;
    if (auto picture = kv::DecodeImageBytes(bytes, size % 2 == 0)) {
        if (auto mask = kv::MakeMask(*picture, false, 0)) {
            kv::TBitmap canvas(24, 24, kv::TPixelFormat::pf32bit);
            kv::DrawTransparent(canvas, *picture, *mask, -3, -2, 40, 30);
        }
    }
    for (int wanted : {0, 1, 2}) {
        int transparency = wanted;
        std::unique_ptr<kv::TBitmap> mask;
        auto picture = kv::LoadImageStream(&bytes, transparency, mask);
        if (picture && mask && (mask->Width() != picture->Width())) __builtin_trap();
    }
    return 0;
}
