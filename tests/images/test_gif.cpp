// The GIF decoder against giflib on generated files, and the animation driven by a fake clock.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>

#include "html/images/display.h"
#include "html/images/gif.h"
#include "tests/images/gifwriter.h"

namespace {

using kvtest::EncodeGif;
using kvtest::GifFile;
using kvtest::GifFrame;

struct DecodedFrame {
    int left, top, width, height;
    bool interlaced;
    int disposal, delay, transparent;
    std::vector<std::uint8_t> indexes;
    bool operator==(const DecodedFrame&) const = default;
};
struct Decoded {
    bool ok = false;
    int width = 0, height = 0, loop = 1;
    std::vector<DecodedFrame> frames;
};

int MapDisposal(int raw) {
    return (raw == 0 || raw == 1 || raw == 3) ? raw : 2;
}

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

int LoopOf(const ExtensionBlock* blocks, int count, int loop) {
    for (int i = 0; i + 1 < count; ++i) {
        if (blocks[i].Function == APPLICATION_EXT_FUNC_CODE && blocks[i].ByteCount == 11 &&
            std::memcmp(blocks[i].Bytes, "NETSCAPE2.0", 11) == 0 && blocks[i + 1].ByteCount >= 3)
            return blocks[i + 1].Bytes[1] | (blocks[i + 1].Bytes[2] << 8);
    }
    return loop;
}

Decoded WithGiflib(const std::string& bytes) {
    Decoded result;
    Reader reader{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
    if (gif == nullptr) return result;
    if (DGifSlurp(gif) == GIF_OK) {
        result.ok = true;
        result.width = gif->SWidth;
        result.height = gif->SHeight;
        result.loop = LoopOf(gif->ExtensionBlocks, gif->ExtensionBlockCount, 1);
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& image = gif->SavedImages[i];
            result.loop = LoopOf(image.ExtensionBlocks, image.ExtensionBlockCount, result.loop);
            GraphicsControlBlock control{};
            DGifSavedExtensionToGCB(gif, i, &control);
            const GifImageDesc& d = image.ImageDesc;
            DecodedFrame frame{d.Left,
                               d.Top,
                               d.Width,
                               d.Height,
                               d.Interlace,
                               MapDisposal(control.DisposalMode),
                               control.DelayTime * 10,
                               control.TransparentColor,
                               {}};
            frame.indexes.assign(image.RasterBits,
                                 image.RasterBits + static_cast<std::size_t>(d.Width) * d.Height);
            result.width = std::max(result.width, d.Left + d.Width);
            result.height = std::max(result.height, d.Top + d.Height);
            result.frames.push_back(std::move(frame));
        }
        if (gif->ImageCount == 0) result.ok = false;
    }
    DGifCloseFile(gif, &error);
    return result;
}

Decoded WithOurs(const std::string& bytes) {
    Decoded result;
    kv::TGIFImage gif;
    gif.SetKeepIndexes(true);
    if (!gif.LoadFromStream(bytes)) return result;
    result.ok = true;
    result.width = gif.Width();
    result.height = gif.Height();
    result.loop = gif.LoopCount();
    for (int i = 1; i <= gif.FrameCount(); ++i) {
        const kv::TgfFrame& f = gif.Frame(i);
        result.frames.push_back({f.Left, f.Top, f.Width, f.Height, f.Interlaced, f.Disposal,
                                 f.Delay, f.Transparent ? f.TransparentIndex : -1, f.Indexes});
    }
    return result;
}

void ExpectSame(const std::string& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    const Decoded reference = WithGiflib(bytes);
    const Decoded ours = WithOurs(bytes);
    ASSERT_EQ(reference.ok, ours.ok);
    if (!ours.ok) return;
    EXPECT_EQ(reference.width, ours.width);
    EXPECT_EQ(reference.height, ours.height);
    EXPECT_EQ(reference.loop, ours.loop);
    ASSERT_EQ(reference.frames.size(), ours.frames.size());
    for (std::size_t i = 0; i < ours.frames.size(); ++i)
        EXPECT_TRUE(reference.frames[i] == ours.frames[i]) << "frame " << i + 1;
}

GifFrame Frame(int width, int height, int depth, int seed = 0) {
    GifFrame frame;
    frame.width = width;
    frame.height = height;
    frame.pixels = kvtest::MakePixels(width, height, depth, seed);
    return frame;
}

GifFile Still(int width, int height, int depth) {
    GifFile file;
    file.width = width;
    file.height = height;
    file.globalDepth = depth;
    file.globalTable = kvtest::MakeTable(depth);
    file.frames.push_back(Frame(width, height, depth));
    return file;
}

TEST(GifDecoder, MatchesGiflibOnStillImagesOfEveryDepth) {
    for (int depth = 1; depth <= 8; ++depth) {
        ExpectSame(EncodeGif(Still(37, 23, depth)), "depth " + std::to_string(depth));
        GifFile old = Still(64, 64, depth);
        old.gif89 = false;
        ExpectSame(EncodeGif(old), "GIF87a depth " + std::to_string(depth));
    }
    // Large noisy pictures fill the code table: with and without a clear code when full.
    GifFile full = Still(300, 200, 8);
    ExpectSame(EncodeGif(full), "table full, cleared");
    full.frames[0].clearWhenFull = false;
    ExpectSame(EncodeGif(full), "table full, deferred clear");
}

TEST(GifDecoder, MatchesGiflibOnTransparencyInterlacingAndLocalTables) {
    GifFile transparent = Still(40, 30, 4);
    transparent.frames[0].control = true;
    transparent.frames[0].transparentIndex = 3;
    ExpectSame(EncodeGif(transparent), "transparent");

    for (int height : {1, 2, 3, 4, 5, 7, 8, 9, 16, 17, 33}) {
        GifFile plain = Still(13, height, 5), interlaced = plain;
        interlaced.frames[0].interlaced = true;
        ExpectSame(EncodeGif(interlaced), "interlaced height " + std::to_string(height));
        EXPECT_EQ(WithOurs(EncodeGif(plain)).frames[0].indexes,
                  WithOurs(EncodeGif(interlaced)).frames[0].indexes);
    }

    GifFile local = Still(20, 20, 2);
    local.frames[0] = Frame(20, 20, 6, 3);
    local.frames[0].localDepth = 6;
    local.frames[0].localTable = kvtest::MakeTable(6, 9);
    ExpectSame(EncodeGif(local), "local table");
    local.globalDepth = 0;
    ExpectSame(EncodeGif(local), "local table only");
    kv::TGIFImage gif;
    ASSERT_TRUE(gif.LoadFromStream(EncodeGif(local)));
    EXPECT_EQ(6, gif.ColorDepth());
}

TEST(GifDecoder, MatchesGiflibOnAnimations) {
    GifFile animation;
    animation.width = 30;
    animation.height = 20;
    animation.globalDepth = 3;
    animation.globalTable = kvtest::MakeTable(3);
    for (int disposal = 0; disposal < 8; ++disposal) {
        GifFrame frame = Frame(10 + disposal, 8, 3, disposal);
        frame.left = disposal * 3;
        frame.top = disposal;
        frame.control = true;
        frame.disposal = disposal;
        frame.delayCs = disposal * 7;
        frame.transparentIndex = disposal % 2 ? disposal : -1;
        frame.comment = "frame " + std::to_string(disposal);
        animation.frames.push_back(frame);
    }
    ExpectSame(EncodeGif(animation), "no loop extension");
    for (int loop : {0, 3, 65535}) {
        animation.loopCount = loop;
        ExpectSame(EncodeGif(animation), "loop " + std::to_string(loop));
    }
    // Frames beyond the logical screen enlarge it.
    animation.frames[7].left = 40;
    animation.frames[7].top = 25;
    ExpectSame(EncodeGif(animation), "beyond the screen");
    kv::TGIFImage gif;
    ASSERT_TRUE(gif.LoadFromStream(EncodeGif(animation)));
    EXPECT_EQ(57, gif.Width());
    EXPECT_EQ(33, gif.Height());
    EXPECT_EQ(57, gif.Composed().Width());
}

TEST(GifDecoder, FailsLikeGiflibOnTruncatedAndCorruptData) {
    const std::string whole = EncodeGif(Still(50, 40, 6));
    for (std::size_t cut : {std::size_t{5}, std::size_t{12}, whole.size() / 2, whole.size() - 5}) {
        ExpectSame(whole.substr(0, cut), "cut at " + std::to_string(cut));
        EXPECT_FALSE(WithOurs(whole.substr(0, cut)).ok);
    }
    // Code 9 comes before any string was defined (next free is 6): not decodable.
    GifFile corrupt = Still(4, 4, 2);
    std::string bytes = EncodeGif(corrupt);
    const std::string good = kvtest::EncodeLZW(corrupt.frames[0].pixels, 2);
    const std::string bad = kvtest::RawLZW(2, {{4, 3}, {1, 3}, {7, 3}, {5, 3}});
    bytes.replace(bytes.find(good), good.size(), bad);
    ExpectSame(bytes, "code beyond the table");
    kv::TGIFImage gif;
    EXPECT_FALSE(gif.LoadFromStream(bytes));
    EXPECT_EQ("Corrupt GIF Image", gif.LastError());
    EXPECT_TRUE(gif.Empty());
    EXPECT_FALSE(gif.LoadFromStream(std::string("PNG\x89 not a gif")));
    EXPECT_EQ("Not a GIF image", gif.LastError());
}

TEST(GifDecoder, FrameHashIsFnv1a) {
    EXPECT_EQ(0x811C9DC5u, kv::Fnv1a(nullptr, 0));
    const std::uint8_t a[] = {'a'};
    EXPECT_EQ(0xE40C292Cu, kv::Fnv1a(a, 1));
}

TEST(GifDecoder, EarlyEndCodeLeavesTheRestZeroAndLeadingClearsAreSkipped) {
    GifFile file = Still(4, 2, 2);
    std::string bytes = EncodeGif(file);
    const std::string good = kvtest::EncodeLZW(file.frames[0].pixels, 2);
    // clear, clear, 3, 2, end: two pixels, then zeros.
    bytes.replace(bytes.find(good), good.size(),
                  kvtest::RawLZW(2, {{4, 3}, {4, 3}, {3, 3}, {2, 3}, {5, 3}}));
    kv::TGIFImage gif;
    gif.SetKeepIndexes(true);
    ASSERT_TRUE(gif.LoadFromStream(bytes));
    EXPECT_EQ((std::vector<std::uint8_t>{3, 2, 0, 0, 0, 0, 0, 0}), gif.Frame(1).Indexes);
}

TEST(GifDecoder, RefusesHugeHeadersBeforeAllocating) {
    GifFile screen = Still(8, 8, 2);
    screen.width = 65535;
    screen.height = 65535;
    kv::TGIFImage gif;
    EXPECT_FALSE(gif.LoadFromStream(EncodeGif(screen)));
    EXPECT_EQ("Image is too large", gif.LastError());

    // One frame of 10000 × 10000 (no real data: the codes end at once).
    GifFile frame = Still(8, 8, 2);
    frame.frames[0].width = 10000;
    frame.frames[0].height = 10000;
    frame.frames[0].pixels.clear();
    EXPECT_FALSE(gif.LoadFromStream(EncodeGif(frame)));
    EXPECT_EQ("Image is too large", gif.LastError());

    // Many frames of 4000 × 4000 that each fit but not together.
    GifFile many = Still(4000, 4000, 2);
    many.frames[0].pixels.clear();
    many.frames.resize(40, many.frames[0]);
    EXPECT_FALSE(gif.LoadFromStream(EncodeGif(many)));
    EXPECT_EQ("Image is too large", gif.LastError());
}

TEST(GifDecoder, KeepsAtMost256FramesAndParsesHeadersOnly) {
    GifFile file = Still(3, 3, 1);
    file.frames.resize(300, file.frames[0]);
    kv::TGIFImage gif;
    ASSERT_TRUE(gif.LoadFromStream(EncodeGif(file)));
    EXPECT_EQ(256, gif.FrameCount());

    kv::TGIFImage header;
    header.SetHeaderOnly(true);
    ASSERT_TRUE(header.LoadFromStream(EncodeGif(file)));
    EXPECT_EQ(256, header.FrameCount());
    EXPECT_TRUE(header.Animated());
    EXPECT_EQ(nullptr, header.Picture());
    EXPECT_TRUE(header.Frame(1).Image.Empty());
}

// ---- composing and animation -------------------------------------------------------------

class FakeClock {
public:
    kv::TMilliClock Clock() {
        return [this] { return now; };
    }
    std::int64_t now = 1000;
};

// Frames of solid colours: index i is colour i of the table below.
std::string Animation(int frames, int loop, int delayCs, int disposal = 1,
                      int transparentIndex = -1) {
    GifFile file;
    file.width = 4;
    file.height = 4;
    file.globalDepth = 2;
    file.globalTable = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    file.loopCount = loop;
    for (int i = 0; i < frames; ++i) {
        GifFrame frame;
        frame.width = frame.height = 4;
        frame.pixels.assign(16, static_cast<std::uint8_t>(i % 3 + 1));
        frame.control = true;
        frame.delayCs = delayCs;
        frame.disposal = disposal;
        frame.transparentIndex = transparentIndex;
        file.frames.push_back(frame);
    }
    return EncodeGif(file);
}

// Steps every 50 ms until the animation stops or the limit; returns the frames shown.
std::vector<int> Play(kv::TGIFImage& gif, FakeClock& clock, int ticks) {
    std::vector<int> shown;
    for (int i = 0; i < ticks && gif.Animate(); ++i) {
        clock.now += 50;
        if (gif.Step(nullptr)) shown.push_back(gif.CurrentFrame());
    }
    return shown;
}

TEST(GifAnimation, LoopCountsFromTheApplicationExtension) {
    FakeClock clock;
    auto play = [&](int loop, int ticks) {
        auto gif = std::make_unique<kv::TGIFImage>();
        gif->SetClock(clock.Clock());
        EXPECT_TRUE(gif->LoadFromStream(Animation(2, loop, 10)));
        gif->SetAnimate(true);
        return std::make_pair(Play(*gif, clock, ticks), std::move(gif));
    };
    // Loop 3: three passes, then it stops on the last frame.
    auto [three, gif3] = play(3, 1000);
    EXPECT_EQ((std::vector<int>{2, 1, 2, 1, 2}), three);
    EXPECT_FALSE(gif3->Animate());
    EXPECT_EQ(2, gif3->CurrentFrame());
    // No extension: once.
    auto [once, gif1] = play(-1, 1000);
    EXPECT_EQ((std::vector<int>{2}), once);
    EXPECT_EQ(1, gif1->LoopCount());
    // Loop 0: for ever.
    auto [ever, gif0] = play(0, 400);
    EXPECT_TRUE(gif0->Animate());
    EXPECT_GT(ever.size(), 150u);
}

TEST(GifAnimation, DelaysSpeedAndTheFirstSkippedStep) {
    FakeClock clock;
    kv::TGIFImage gif;
    gif.SetClock(clock.Clock());
    ASSERT_TRUE(gif.LoadFromStream(Animation(3, 0, 0)));
    gif.SetAnimate(true);
    EXPECT_EQ(1, gif.CurrentDelay());
    // Delay 0: every tick moves on, except the first step after loading.
    EXPECT_EQ((std::vector<int>{2, 3, 1, 2}), Play(gif, clock, 5));

    kv::TGIFImage slow;
    slow.SetClock(clock.Clock());
    ASSERT_TRUE(slow.LoadFromStream(Animation(2, 0, 10)));
    slow.SetSpeed(50);  // half speed: 200 ms per frame
    slow.SetAnimate(true);
    EXPECT_EQ(200, slow.CurrentDelay());
    clock.now += 150;
    EXPECT_FALSE(slow.Step(nullptr));
    EXPECT_TRUE(slow.SkipNextStep());
    clock.now += 50;  // the first step after loading only clears the skip
    EXPECT_FALSE(slow.Step(nullptr));
    EXPECT_FALSE(slow.SkipNextStep());
    clock.now += 199;
    EXPECT_FALSE(slow.Step(nullptr));
    QRect invalidated;
    slow.Draw(*std::make_unique<kv::TBitmap>(10, 10, kv::TPixelFormat::pf32bit), 1, 2, 4, 4);
    clock.now += 1;
    EXPECT_TRUE(slow.Step([&](const QRect& r) { invalidated = r; }));
    EXPECT_EQ(QRect(1, 2, 4, 4), invalidated);
    slow.SetSpeed(0);  // clamped: never a division by zero
    EXPECT_EQ(1, slow.Speed());
    EXPECT_EQ(2, slow.CurrentFrame());
}

TEST(GifAnimation, ComposingWithEveryDisposal) {
    // Frame 1 fills the screen red; frame 2 (2×2 at 1,1) is green with disposal D; frame 3 is
    // a 1×1 blue pixel at 0,0 that leaves the rest alone.
    auto build = [](int disposal) {
        GifFile file;
        file.width = file.height = 4;
        file.globalDepth = 2;
        file.globalTable = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
        GifFrame red;
        red.width = red.height = 4;
        red.pixels.assign(16, 1);
        GifFrame green;
        green.left = green.top = 1;
        green.width = green.height = 2;
        green.pixels = {2, 2, 2, 0};  // index 0 transparent
        green.control = true;
        green.disposal = disposal;
        green.transparentIndex = 0;
        GifFrame blue;
        blue.width = blue.height = 1;
        blue.pixels = {3};
        file.frames = {red, green, blue};
        return EncodeGif(file);
    };
    const kv::TColor red = kv::RGBColor(255, 0, 0), green = kv::RGBColor(0, 255, 0);
    for (int disposal : {0, 1, 2, 3}) {
        SCOPED_TRACE(disposal);
        kv::TGIFImage gif;
        ASSERT_TRUE(gif.LoadFromStream(build(disposal)));
        ASSERT_TRUE(gif.Transparent());
        gif.SetCurrentFrame(2);
        EXPECT_EQ(green, gif.Composed().Pixel(1, 1));
        EXPECT_EQ(red, gif.Composed().Pixel(2, 2));  // transparent pixel keeps frame 1
        gif.SetCurrentFrame(3);
        const kv::TColor expected = disposal == 2 ? kv::kBlack : disposal == 3 ? red : green;
        EXPECT_EQ(expected, gif.Composed().Pixel(1, 1));
        EXPECT_EQ(disposal == 2 ? 1u : 0u, gif.ComposedMask().Value(1, 1));
        EXPECT_EQ(kv::RGBColor(0, 0, 255), gif.Composed().Pixel(0, 0));
    }
}

TEST(GifAnimation, DrawsTransparentFramesOverTheBackground) {
    kv::TGIFImage gif;
    ASSERT_TRUE(gif.LoadFromStream(Animation(2, 0, 10, 1, 2)));  // frame 2's colour is transparent
    kv::TBitmap canvas(8, 8, kv::TPixelFormat::pf32bit);
    canvas.Fill(kv::RGBColor(1, 2, 3));
    gif.SetBackgroundColor(kv::RGBColor(9, 9, 9));
    gif.Draw(canvas, 2, 2, 4, 4);
    EXPECT_EQ(kv::RGBColor(255, 0, 0), canvas.Pixel(3, 3));
    EXPECT_EQ(kv::RGBColor(1, 2, 3), canvas.Pixel(0, 0));
    EXPECT_EQ(QRect(2, 2, 4, 4), gif.LastRect());

    // Frame 1 all transparent: what shows is the back buffer's background.
    kv::TGIFImage clear;
    ASSERT_TRUE(clear.LoadFromStream(Animation(2, 0, 10, 1, 1)));
    clear.SetBackgroundColor(kv::RGBColor(9, 9, 9));
    clear.Draw(canvas, 0, 0, 4, 4);
    EXPECT_EQ(kv::RGBColor(9, 9, 9), canvas.Pixel(1, 1));
    clear.SetVisible(false);
    canvas.Fill(kv::kWhite);
    clear.Draw(canvas, 0, 0, 4, 4);
    EXPECT_EQ(kv::kWhite, canvas.Pixel(1, 1));
}

TEST(GifDecoder, EightBitDisplayMapsOrDithersFrames) {
    kv::SetColorBits(8);
    // Animated: every colour mapped to its nearest entry of the shared palette.
    kv::TGIFImage animated;
    ASSERT_TRUE(animated.LoadFromStream(Animation(2, 0, 10, 1, 3)));
    EXPECT_EQ(kv::ThePalette(), animated.Frame(1).Image.Palette());
    EXPECT_EQ(kv::RGBColor(255, 0, 0), animated.Frame(1).Image.Pixel(0, 0));
    EXPECT_EQ(kv::RGBColor(0, 255, 0), animated.Frame(2).Image.Pixel(0, 0));
    // Still, the cache's way: dithered to the shared palette.
    bool notAnimated = false;
    GifFile still = Still(16, 16, 6);
    auto gif = kv::TGIFImage::CreateFromStream(EncodeGif(still), notAnimated);
    ASSERT_TRUE(gif);
    EXPECT_TRUE(notAnimated);
    EXPECT_TRUE(gif->DitherFrames());
    EXPECT_EQ(kv::ThePalette(), gif->Picture()->Palette());
    kv::SetColorBits(24);
}

TEST(GifDecoder, StillPictureCloneAndZeroSizedFrames) {
    GifFile file = Still(4, 4, 2);
    file.globalTable = {0, 0, 0, 255, 0, 0, 0, 255, 0, 10, 20, 30};
    file.frames[0].pixels.assign(16, 3);
    file.frames[0].pixels[0] = 1;
    file.frames[0].control = true;
    file.frames[0].transparentIndex = 3;
    kv::TGIFImage gif;
    ASSERT_TRUE(gif.LoadFromStream(EncodeGif(file)));
    ASSERT_NE(nullptr, gif.PictureMask());
    EXPECT_EQ(kv::kBlack, gif.Picture()->Pixel(1, 1));  // black where transparent
    EXPECT_EQ(kv::RGBColor(10, 20, 30), gif.Frame(1).TransparentColor);
    const kv::TBitmap still = gif.StillPicture();
    EXPECT_EQ(kv::RGBColor(10, 20, 30), still.Pixel(1, 1));
    EXPECT_EQ(kv::RGBColor(255, 0, 0), still.Pixel(0, 0));

    auto copy = gif.Clone();
    EXPECT_EQ(copy.get(), &copy->Frame(1).Owner[0]);
    EXPECT_EQ(gif.Composed(), copy->Composed());

    GifFile empty = Still(4, 4, 2);
    empty.frames[0].width = 0;
    empty.frames[0].pixels.clear();
    kv::TGIFImage zero;
    EXPECT_TRUE(zero.LoadFromStream(EncodeGif(empty)));
    EXPECT_EQ(4, zero.Width());
}

}  // namespace
