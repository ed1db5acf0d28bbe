// Image speed: GIF decoding against giflib on the same generated animation, and Floyd–Steinberg
// reduction to the shared palette. Run with --benchmark_repetitions=5 for medians.

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>

#include "html/images/dither.h"
#include "html/images/gif.h"
#include "tests/images/gifwriter.h"

namespace {

// 640 × 480, 50 frames, 8-bit global table: bands of flat colour and noise.
const std::string& Animation() {
    static const std::string bytes = [] {
        kvtest::GifFile file;
        file.width = 640;
        file.height = 480;
        file.globalDepth = 8;
        file.globalTable = kvtest::MakeTable(8);
        file.loopCount = 0;
        for (int i = 0; i < 50; ++i) {
            kvtest::GifFrame frame;
            frame.width = 640;
            frame.height = 480;
            frame.pixels = kvtest::MakePixels(640, 480, 8, i);
            frame.control = true;
            frame.delayCs = 10;
            file.frames.push_back(std::move(frame));
        }
        return kvtest::EncodeGif(file);
    }();
    return bytes;
}

constexpr std::int64_t kPixels = 640LL * 480 * 50;

void BM_GifDecodeOurs(benchmark::State& state) {
    const std::string& bytes = Animation();
    for (auto _ : state) {
        kv::TGIFImage gif;
        if (!gif.LoadFromStream(bytes)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(gif.FrameCount());
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_GifDecodeOurs)->Unit(benchmark::kMillisecond);

struct Reader {
    const std::string* bytes;
    std::size_t at = 0;
};
int ReadFromMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* reader = static_cast<Reader*>(gif->UserData);
    const std::size_t count =
        std::min<std::size_t>(static_cast<std::size_t>(length), reader->bytes->size() - reader->at);
    std::memcpy(out, reader->bytes->data() + reader->at, count);
    reader->at += count;
    return static_cast<int>(count);
}

void BM_GifDecodeGiflib(benchmark::State& state) {
    const std::string& bytes = Animation();
    for (auto _ : state) {
        Reader reader{&bytes};
        int error = 0;
        GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
        if (gif == nullptr || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib failed");
        benchmark::DoNotOptimize(gif->ImageCount);
        DGifCloseFile(gif, &error);
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_GifDecodeGiflib)->Unit(benchmark::kMillisecond);

// The LZW decoder alone over the first frame's data.
void BM_GifLZWFrame(benchmark::State& state) {
    const std::string& bytes = Animation();
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t at = bytes.find('\x2C', 13 + 768) + 10;  // after the first image descriptor
    std::vector<std::uint8_t> out(640 * 480), scratch;
    for (auto _ : state) {
        kv::DecodeGIFLZW(data, bytes.size(), at, out.data(), out.size(), scratch);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_GifLZWFrame)->Unit(benchmark::kMicrosecond);

kv::TBitmap Photo() {
    kv::TBitmap photo(640, 480, kv::TPixelFormat::pf32bit);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            photo.SetPixel(x, y, kv::RGBColor(x * 255 / 639, y * 255 / 479, ((x ^ y) * 7) & 255));
    return photo;
}

void BM_DitherFloydSteinberg(benchmark::State& state) {
    const kv::TBitmap photo = Photo();
    for (auto _ : state) {
        kv::TBitmap reduced = kv::ReduceColors(photo, kv::TReducePalette::rpShared,
                                               kv::TDitherMode::dmFloydSteinberg);
        benchmark::DoNotOptimize(reduced.Bits());
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
    state.counters["Mpixel/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 640 * 480 / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DitherFloydSteinberg)->Unit(benchmark::kMillisecond);

void BM_DitherNearest(benchmark::State& state) {
    const kv::TBitmap photo = Photo();
    for (auto _ : state) {
        kv::TBitmap reduced =
            kv::ReduceColors(photo, kv::TReducePalette::rpShared, kv::TDitherMode::dmNearest);
        benchmark::DoNotOptimize(reduced.Bits());
    }
    state.counters["Mpixel/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 640 * 480 / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DitherNearest)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
