// Fuzz target: the GIF decoder, the cache's two-pass load, composing every frame and drawing.

#include <cstddef>
#include <cstdint>
#include <string>

#include "html/images/gif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // Headers alone for big screens: the size checks run, and a run stays well under a second.
    kv::TGIFImage header;
    header.SetHeaderOnly(true);
    if (header.LoadFromStream(bytes) && std::int64_t{header.Width()} * header.Height() > 1 << 20)
        return 0;
    kv::TGIFImage gif;
    gif.SetKeepIndexes(true);
    std::int64_t now = 0;
    gif.SetClock([&now] { return now; });
    if (gif.LoadFromStream(bytes)) {
        kv::TBitmap canvas(64, 64, kv::TPixelFormat::pf32bit);
        gif.SetAnimate(true);
        for (int step = 0; step < 2 * gif.FrameCount() + 2 && step < 40; ++step) {
            now += 1000;
            gif.Step(nullptr);
            gif.Draw(canvas, -3, 5, 40, 70);
        }
        gif.StillPicture();
        auto copy = gif.Clone();
        copy->SetCurrentFrame(0);
    }
    bool notAnimated = false;
    kv::TGIFImage::CreateFromStream(bytes, notAnimated);
    return 0;
}
