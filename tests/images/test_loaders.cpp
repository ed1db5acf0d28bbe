// Image files, masks, transparent drawing and the cache with GetImage in all its branches.

#include <gtest/gtest.h>

#include "html/images/display.h"
#include "html/images/imagecache.h"
#include "html/images/loaders.h"
#include "platform/codec.h"
#include "tests/common/testutil.h"
#include "tests/images/gifwriter.h"
#include "tests/images/imagefiles.h"

namespace {

using kv::RGBColor;
using kv::TBitmap;
using kv::TPixelFormat;

// Red picture with a blue lower-left pixel and a blue column on the right.
TBitmap Picture() {
    TBitmap picture(6, 4, TPixelFormat::pf32bit);
    picture.Fill(RGBColor(255, 0, 0));
    picture.FillRect(5, 0, 1, 4, RGBColor(0, 0, 255));
    picture.SetPixel(0, 3, RGBColor(0, 0, 255));
    return picture;
}

std::string Path(const kvtest::TempFolder& folder, const std::string& name) {
    return kv::text::fromPath(folder.Path() / name);
}

std::string TransparentGif(bool commentFirst, int frames = 1) {
    kvtest::GifFile file;
    file.width = file.height = 4;
    file.globalDepth = 2;
    file.globalTable = {0, 0, 0, 255, 0, 0, 0, 255, 0, 10, 20, 30};
    for (int i = 0; i < frames; ++i) {
        kvtest::GifFrame frame;
        frame.width = frame.height = 4;
        frame.pixels.assign(16, static_cast<std::uint8_t>(1 + i % 2));
        frame.pixels[5] = 3;
        frame.control = true;
        frame.transparentIndex = 3;
        frame.delayCs = 5;
        if (i == 0 && commentFirst) frame.comment = "made by hand";
        file.frames.push_back(frame);
    }
    if (frames > 1) file.loopCount = 0;
    return kvtest::EncodeGif(file);
}

TEST(Recognize, KindsByTheirFirstBytes) {
    auto kind = [](const std::string& bytes) { return kv::RecognizeImage(bytes); };
    EXPECT_EQ(3, kind("GIF89a"));
    EXPECT_EQ(2, kind("GIF87a"));
    EXPECT_EQ(2, kind("GIF8"));
    EXPECT_EQ(1, kind("BM\x10"));
    EXPECT_EQ(4, kind("\x89PNG\r\n"));
    EXPECT_EQ(5, kind("\xFF\xD8\xFF\xE0"));
    EXPECT_EQ(5, kind("\xFF\xD8\xFF\xE1"));  // Exif cameras
    EXPECT_EQ(5, kind("\xFF\xD8\xFF\xDB"));
    EXPECT_EQ(0, kind("\xFF\xD8"));
    EXPECT_EQ(0, kind("GIF"));
    EXPECT_EQ(0, kind(""));
}

TEST(Loaders, JpegFilesJfifAndExifLoadAtEveryDepth) {
    kvtest::TempFolder folder;
    const TBitmap picture = Picture();
    folder.Write("photo.jpg", kvtest::EncodeJpeg(picture, true));
    folder.Write("jfif.jpg", kvtest::EncodeJpeg(picture, false));
    EXPECT_EQ(5, kv::RecognizeImageFile(Path(folder, "photo.jpg")));
    for (const char* name : {"photo.jpg", "jfif.jpg"}) {
        int transparency = 0;
        std::unique_ptr<TBitmap> mask;
        auto image = kv::LoadImageFile(Path(folder, name), transparency, mask);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(6, image->Width());
        EXPECT_EQ(TPixelFormat::pf32bit, image->Format());
        EXPECT_NEAR(255, kv::RedOf(image->Pixel(2, 1)), 24);
        EXPECT_EQ(nullptr, mask);
    }
    kv::SetColorBits(8);
    int transparency = 0;
    std::unique_ptr<TBitmap> mask;
    auto eight = kv::LoadImageFile(Path(folder, "photo.jpg"), transparency, mask);
    ASSERT_TRUE(eight);
    EXPECT_EQ(kv::ThePalette(), eight->Palette());
    kv::SetColorBits(4);
    auto four = kv::LoadImageFile(Path(folder, "photo.jpg"), transparency, mask);
    ASSERT_TRUE(four);
    EXPECT_EQ(kv::DefaultPalette(), four->Palette());
    kv::SetColorBits(24);
}

TEST(Loaders, RefuseHugeHeadersAndBrokenData) {
    kvtest::TempFolder folder;
    // A JPEG whose frame header claims 65000 × 65000.
    std::string jpeg = kvtest::EncodeJpeg(Picture(), false);
    const std::size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(std::string::npos, sof);
    jpeg[sof + 5] = jpeg[sof + 7] = '\xFD';
    jpeg[sof + 6] = jpeg[sof + 8] = '\xE8';
    folder.Write("huge.jpg", jpeg);
    // A BMP header claiming 10000 × 10000 with almost no pixels.
    std::string bmp = kvtest::EncodeBmp(Picture());
    bmp[18] = '\x10', bmp[19] = '\x27', bmp[20] = bmp[21] = 0;
    bmp[22] = '\x10', bmp[23] = '\x27', bmp[24] = bmp[25] = 0;
    folder.Write("huge.bmp", bmp);
    folder.Write("cut.jpg", kvtest::EncodeJpeg(Picture(), false).substr(0, 30));
    folder.Write("pic.png", "\x89PNG\r\n\x1A\n0123456789abcdefghij");
    folder.Write("text.bmp", "BMnothing of the kind, really");
    for (const char* name :
         {"huge.jpg", "huge.bmp", "cut.jpg", "pic.png", "text.bmp", "missing.bmp"}) {
        int transparency = 1;
        std::unique_ptr<TBitmap> mask;
        EXPECT_EQ(nullptr, kv::LoadImageFile(Path(folder, name), transparency, mask)) << name;
        EXPECT_EQ(nullptr, mask);
    }
}

TEST(Loaders, ProbeSizesFromHeadersAlone) {
    int width = 0, height = 0;
    ASSERT_TRUE(kv::ProbeImageSize(kvtest::EncodeJpeg(Picture(), true), width, height));
    EXPECT_EQ(6, width);
    EXPECT_EQ(4, height);
    ASSERT_TRUE(kv::ProbeImageSize(kvtest::EncodeBmp(Picture()), width, height));
    EXPECT_EQ(6, width);
    ASSERT_TRUE(kv::ProbeImageSize(TransparentGif(false), width, height));
    EXPECT_EQ(4, height);
    EXPECT_FALSE(kv::ProbeImageSize("\x89PNG\r\n\x1A\n", width, height));
}

TEST(Loaders, BmpWithCornerTransparencyAndWindowsNames) {
    kvtest::TempFolder folder;
    folder.Write("Pics/Pic.BMP", kvtest::EncodeBmp(Picture()));
    int transparency = 1;
    std::unique_ptr<TBitmap> mask;
    // Written on Windows: other case, backslash.
    auto image = kv::LoadImageFile(Path(folder, "pics") + "\\pic.bmp", transparency, mask);
    ASSERT_TRUE(image);
    ASSERT_TRUE(mask);
    EXPECT_EQ(1, transparency);
    EXPECT_EQ(1u, mask->Value(0, 3));  // the lower-left colour, wherever it is
    EXPECT_EQ(1u, mask->Value(5, 0));
    EXPECT_EQ(0u, mask->Value(2, 2));
}

TEST(Loaders, GifTransparentColourQuickCheck) {
    kv::TColor colour = 0;
    ASSERT_TRUE(kv::GIFTransparentColor(TransparentGif(false), colour));
    EXPECT_EQ(RGBColor(10, 20, 30), colour);
    EXPECT_FALSE(kv::GIFTransparentColor(TransparentGif(true), colour));  // a comment comes first
    std::string gif87 = TransparentGif(false);
    gif87[4] = '7';
    EXPECT_FALSE(kv::GIFTransparentColor(gif87, colour));
    EXPECT_FALSE(kv::GIFTransparentColor(TransparentGif(false).substr(0, 22), colour));

    kvtest::TempFolder folder;
    folder.Write("t.gif", TransparentGif(false));
    int transparency = 0;
    std::unique_ptr<TBitmap> mask;
    auto image = kv::LoadImageFile(Path(folder, "t.gif"), transparency, mask);
    ASSERT_TRUE(image);
    ASSERT_TRUE(mask);
    EXPECT_EQ(2, transparency);
    EXPECT_EQ(1u, mask->Value(1, 1));
    EXPECT_EQ(0u, mask->Value(0, 0));
}

TEST(Loaders, StreamsNeedTwentyBytesAndOnlyBmpOrJpeg) {
    int transparency = 1;
    std::unique_ptr<TBitmap> mask;
    const std::string bmp = kvtest::EncodeBmp(Picture());
    auto image = kv::LoadImageStream(&bmp, transparency, mask);
    ASSERT_TRUE(image);
    EXPECT_TRUE(mask);
    const std::string jpeg = kvtest::EncodeJpeg(Picture(), true);
    image = kv::LoadImageStream(&jpeg, transparency, mask);
    ASSERT_TRUE(image);
    EXPECT_EQ(0, transparency);
    const std::string shortStream = bmp.substr(0, 19), gif = TransparentGif(false);
    EXPECT_EQ(nullptr, kv::LoadImageStream(&shortStream, transparency, mask));
    EXPECT_EQ(nullptr, kv::LoadImageStream(&gif, transparency, mask));
    EXPECT_EQ(nullptr, kv::LoadImageStream(nullptr, transparency, mask));
}

TEST(Masks, MakeMaskAndDrawTransparent) {
    TBitmap indexed(3, 2, TPixelFormat::pf8bit);
    indexed.SetPalette(kv::ThePalette());
    indexed.SetValue(0, 0, 10);
    // The colour is matched to the picture's palette first.
    auto mask = kv::MakeMask(indexed, true, RGBColor(56, 54, 57));
    EXPECT_EQ(1u, mask->Value(0, 0));
    EXPECT_EQ(0u, mask->Value(1, 0));
    EXPECT_EQ(nullptr, kv::MakeMask(TBitmap(), false, 0));

    const TBitmap picture = Picture();
    auto corner = kv::MakeMask(picture, false, 0);
    TBitmap canvas(8, 6, TPixelFormat::pf32bit);
    canvas.Fill(RGBColor(0, 200, 0));
    kv::DrawTransparent(canvas, picture, *corner, 1, 1, 6, 4);
    EXPECT_EQ(RGBColor(255, 0, 0), canvas.Pixel(3, 2));
    EXPECT_EQ(RGBColor(0, 200, 0), canvas.Pixel(6, 2));  // blue column: transparent
    EXPECT_EQ(RGBColor(0, 200, 0), canvas.Pixel(0, 0));  // outside
    // Stretched to twice the size.
    TBitmap big(12, 8, TPixelFormat::pf32bit);
    big.Fill(kv::kWhite);
    kv::DrawTransparent(big, picture, *corner, 0, 0, 12, 8);
    EXPECT_EQ(kv::kWhite, big.Pixel(11, 7));
    EXPECT_EQ(RGBColor(255, 0, 0), big.Pixel(9, 0));
    TBitmap mono(4, 4, TPixelFormat::pfMono);
    kv::DrawTransparent(mono, picture, *corner, 0, 0, 4, 4);
    EXPECT_EQ(0u, mono.Value(0, 0));
}

TEST(Loaders, ToDisplayFormatByDepth) {
    auto indexed = std::make_unique<TBitmap>(2, 2, TPixelFormat::pf8bit);
    indexed->SetPalette({{1, 2, 3, 0}});
    auto shown = kv::ToDisplayFormat(std::move(indexed));
    EXPECT_EQ(TPixelFormat::pf32bit, shown->Format());
    EXPECT_EQ(RGBColor(1, 2, 3), shown->Pixel(1, 1));
    EXPECT_EQ(nullptr, kv::ToDisplayFormat(nullptr));
    kv::SetColorBits(8);
    shown = kv::ToDisplayFormat(std::move(shown));
    EXPECT_EQ(kv::ThePalette(), shown->Palette());
    kv::SetColorBits(24);
}

// ---- the cache ------------------------------------------------------------------------

struct Fetch {
    kv::TImageRef image;
    int transparency = 0;
    bool pending = false, cached = false;
    const TBitmap* mask = nullptr;
};
Fetch Get(kv::TStringBitmapList& cache, const std::string& name, int transparency = 0,
          const kv::TImageRequests& requests = {}) {
    Fetch fetch;
    fetch.transparency = transparency;
    fetch.image =
        cache.GetImage(name, requests, fetch.transparency, fetch.pending, fetch.cached, fetch.mask);
    return fetch;
}

TEST(ImageCache, SharedKeysAgeingAndCapacity) {
    kvtest::TempFolder folder;
    folder.Write("Pic.GIF", TransparentGif(false));
    folder.Write("b.bmp", kvtest::EncodeBmp(Picture()));
    kv::TStringBitmapList cache;
    EXPECT_EQ(4, cache.MaxCache());
    cache.SetCapacity(5);
    const std::string dir = kv::text::fromPath(folder.Path()) + "/";
    const Fetch first = Get(cache, dir + "Pic.GIF");
    ASSERT_TRUE(first.image.Bitmap);  // a still GIF becomes a bitmap
    EXPECT_EQ(2, first.transparency);
    ASSERT_NE(nullptr, first.mask);
    EXPECT_FALSE(first.cached);
    const Fetch second = Get(cache, " " + dir + "pic.gif ");
    EXPECT_TRUE(second.cached);
    EXPECT_EQ(first.image.Bitmap, second.image.Bitmap);
    EXPECT_EQ(2, second.transparency);
    EXPECT_EQ(1, cache.Count());
    EXPECT_EQ(2, cache.Find(dir + "PIC.GIF")->UseCount);
    EXPECT_EQ(kv::TStringBitmapList::KeyOf("\t" + dir + "pic.gif\n"),
              kv::TStringBitmapList::KeyOf(dir + "Pic.GIF"));

    Get(cache, dir + "b.bmp");
    cache.Release(dir + "pic.gif");
    cache.Release(dir + "pic.gif");  // no longer shown; b.bmp still is
    for (int load = 1; load <= 5; ++load) cache.Age();
    EXPECT_NE(nullptr, cache.Find(dir + "pic.gif"));
    cache.Age();  // the sixth load drops it
    EXPECT_EQ(nullptr, cache.Find(dir + "pic.gif"));
    for (int load = 0; load < 20; ++load) cache.Age();
    EXPECT_NE(nullptr, cache.Find(dir + "b.bmp"));  // in use: never dropped
    cache.Release(dir + "b.bmp");
    cache.SetCapacity(30);
    EXPECT_NE(nullptr, cache.Find(dir + "b.bmp"));
    cache.SetCapacity(2);
    EXPECT_EQ(nullptr, cache.Find(dir + "b.bmp"));
    EXPECT_EQ(2, cache.MaxCache());
}

TEST(ImageCache, GetImageFromFiles) {
    kvtest::TempFolder folder;
    folder.Write("anim.gif", TransparentGif(false, 3));
    folder.Write("b.bmp", kvtest::EncodeBmp(Picture()));
    folder.Write("fake.gif", kvtest::EncodeBmp(Picture()));  // a BMP under a GIF name
    folder.Write("p.png", "\x89PNG\r\n\x1A\n0123456789abcdefghij");
    const std::string dir = kv::text::fromPath(folder.Path()) + "/";
    kv::TStringBitmapList cache;
    const Fetch anim = Get(cache, dir + "anim.gif", 1);
    ASSERT_TRUE(anim.image.Gif);
    EXPECT_TRUE(anim.image.Gif->Animated());
    EXPECT_EQ(nullptr, anim.mask);
    const Fetch fake = Get(cache, dir + "fake.gif");
    ASSERT_TRUE(fake.image.Bitmap);
    EXPECT_EQ(6, fake.image.Width());
    EXPECT_FALSE(Get(cache, dir + "p.png").image);
    EXPECT_FALSE(Get(cache, dir + "none.bmp").image);
    EXPECT_FALSE(Get(cache, "").image);
    // Corner transparency asked later of a cached bitmap: the mask is made then.
    const Fetch plain = Get(cache, "  " + dir + "b.bmp\t");  // the file is read by the trimmed name
    ASSERT_TRUE(plain.image.Bitmap);
    EXPECT_EQ(nullptr, plain.mask);
    EXPECT_EQ(0, plain.transparency);
    const Fetch corner = Get(cache, dir + "B.BMP", 1);
    EXPECT_TRUE(corner.cached);
    ASSERT_NE(nullptr, corner.mask);
    EXPECT_EQ(1, corner.transparency);
    EXPECT_EQ(1, cache.Find(dir + "b.bmp")->TransparencyKind);
}

TEST(ImageCache, GetImageFromTheHost) {
    kv::TStringBitmapList cache;
    kv::TImageRequests bitmaps;
    bitmaps.OnBitmapRequest = [](const std::string& name, std::unique_ptr<TBitmap>& bitmap,
                                 std::int64_t& colour) {
        if (name == "none") return;
        bitmap = std::make_unique<TBitmap>(Picture());
        if (name == "keyed") colour = RGBColor(255, 0, 0);
    };
    const Fetch keyed = Get(cache, "keyed", 0, bitmaps);
    EXPECT_EQ(2, keyed.transparency);
    ASSERT_NE(nullptr, keyed.mask);
    EXPECT_EQ(1u, keyed.mask->Value(2, 2));
    const Fetch corner = Get(cache, "corner", 1, bitmaps);
    EXPECT_EQ(1, corner.transparency);
    EXPECT_EQ(1u, corner.mask->Value(5, 0));
    EXPECT_FALSE(Get(cache, "none", 0, bitmaps).image);

    const std::string animated = TransparentGif(false, 2), still = TransparentGif(false);
    const std::string bmp = kvtest::EncodeBmp(Picture());
    kv::TImageRequests streams;
    streams.OnImageRequest = [&](const std::string& name) -> const std::string* {
        if (name == "wait") return kv::WaitStream();
        if (name == "animated") return &animated;
        if (name == "still") return &still;
        if (name == "bmp") return &bmp;
        return nullptr;
    };
    const Fetch wait = Get(cache, "wait", 0, streams);
    EXPECT_TRUE(wait.pending);
    EXPECT_FALSE(wait.image);
    EXPECT_EQ(nullptr, cache.Find("wait"));
    EXPECT_TRUE(Get(cache, "animated", 0, streams).image.Gif);
    const Fetch stillFetch = Get(cache, "still", 0, streams);
    ASSERT_TRUE(stillFetch.image.Bitmap);
    EXPECT_EQ(2, stillFetch.transparency);
    const Fetch bmpFetch = Get(cache, "bmp", 1, streams);
    ASSERT_TRUE(bmpFetch.image.Bitmap);
    EXPECT_EQ(1, bmpFetch.transparency);
    EXPECT_FALSE(Get(cache, "other", 0, streams).image);
}

}  // namespace
