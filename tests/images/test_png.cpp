// PNG pictures: recognised by their signature, decoded with the alpha channel as the mask,
// refused cleanly when cut short or when the header claims more pixels than we accept.

#include <gtest/gtest.h>

#include <QImage>
#include <array>

#include "html/images/display.h"
#include "html/images/imagecache.h"
#include "html/images/loaders.h"
#include "platform/codec.h"
#include "tests/common/testutil.h"
#include "tests/images/imagefiles.h"

namespace {

using kv::TBitmap;

// 4 × 3: red, with a fully transparent column 0, a half-transparent pixel (alpha 100) at (1, 0)
// and a nearly opaque one (alpha 200) at (2, 0).
QImage AlphaPicture() {
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(qRgba(255, 0, 0, 255));
    for (int y = 0; y < 3; ++y) image.setPixel(0, y, qRgba(0, 0, 0, 0));
    image.setPixel(1, 0, qRgba(0, 255, 0, 100));
    image.setPixel(2, 0, qRgba(0, 0, 255, 200));
    return image;
}

std::string Path(const kvtest::TempFolder& folder, const std::string& name) {
    return kv::text::fromPath(folder.Path() / name);
}

std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string BigEndian(std::uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// A PNG whose header claims width × height, followed by the chunks of a 1 × 1 picture.
std::string ClaimingPng(std::uint32_t width, std::uint32_t height) {
    const std::string small = kvtest::EncodePng(QImage(1, 1, QImage::Format_RGB32));
    const std::string body = "IHDR" + BigEndian(width) + BigEndian(height) + small.substr(24, 5);
    return small.substr(0, 8) + BigEndian(13) + body + BigEndian(Crc32(body)) + small.substr(33);
}

TEST(Png, RecognisedBySignatureWhateverTheName) {
    const std::string png = kvtest::EncodePng(AlphaPicture());
    EXPECT_EQ(kv::ikPNG, kv::RecognizeImage(png));
    int width = 0, height = 0;
    ASSERT_TRUE(kv::ProbeImageSize(png, width, height));
    EXPECT_EQ(4, width);
    EXPECT_EQ(3, height);
    kvtest::TempFolder folder;
    folder.Write("named.gif", png);  // the bytes decide, not the name
    int transparency = 0;
    std::unique_ptr<TBitmap> mask;
    auto image = kv::LoadImageFile(Path(folder, "named.gif"), transparency, mask);
    ASSERT_TRUE(image);
    EXPECT_EQ(4, image->Width());
}

TEST(Png, AlphaBelowHalfIsTransparent) {
    kvtest::TempFolder folder;
    folder.Write("a.png", kvtest::EncodePng(AlphaPicture()));
    int transparency = 0;
    std::unique_ptr<TBitmap> mask;
    auto image = kv::LoadImageFile(Path(folder, "a.png"), transparency, mask);
    ASSERT_TRUE(image);
    ASSERT_TRUE(mask);
    EXPECT_EQ(2, transparency);
    EXPECT_EQ(1u, mask->Value(0, 0));
    EXPECT_EQ(1u, mask->Value(0, 2));
    EXPECT_EQ(1u, mask->Value(1, 0));  // alpha 100
    EXPECT_EQ(0u, mask->Value(2, 0));  // alpha 200
    EXPECT_EQ(0u, mask->Value(3, 2));
    EXPECT_EQ(kv::RGBColor(255, 0, 0), image->Pixel(3, 2));
    // Drawn over white through its mask: the transparent column stays white.
    TBitmap canvas(4, 3, kv::TPixelFormat::pf32bit);
    canvas.Fill(kv::kWhite);
    kv::DrawTransparent(canvas, *image, *mask, 0, 0, 4, 3);
    EXPECT_EQ(kv::kWhite, canvas.Pixel(0, 1));
    EXPECT_EQ(kv::RGBColor(255, 0, 0), canvas.Pixel(3, 1));

    // An opaque PNG has no mask unless the corner is asked for.
    QImage opaque(5, 5, QImage::Format_RGB32);
    opaque.fill(qRgb(0, 0, 255));
    folder.Write("o.png", kvtest::EncodePng(opaque));
    transparency = 0;
    ASSERT_TRUE(kv::LoadImageFile(Path(folder, "o.png"), transparency, mask));
    EXPECT_EQ(nullptr, mask);
    EXPECT_EQ(0, transparency);
    transparency = 1;
    ASSERT_TRUE(kv::LoadImageFile(Path(folder, "o.png"), transparency, mask));
    EXPECT_NE(nullptr, mask);
}

TEST(Png, EightBitDisplaysGetTheDitheredPicture) {
    kv::SetColorBits(8);
    const std::string png = kvtest::EncodePng(AlphaPicture());
    int transparency = 0;
    std::unique_ptr<TBitmap> mask;
    auto image = kv::LoadImageStream(&png, transparency, mask);
    kv::SetColorBits(24);
    ASSERT_TRUE(image);
    EXPECT_EQ(kv::TPixelFormat::pf8bit, image->Format());
    EXPECT_TRUE(mask);
}

TEST(Png, TruncatedAndHugePicturesFailCleanly) {
    const std::string png = kvtest::EncodePng(AlphaPicture());
    for (std::size_t cut :
         {std::size_t{8}, std::size_t{20}, std::size_t{33}, png.size() / 2, png.size() - 13}) {
        const std::string part = png.substr(0, cut);
        int transparency = 0;
        std::unique_ptr<TBitmap> mask;
        EXPECT_EQ(nullptr, kv::LoadImageStream(&part, transparency, mask)) << cut;
        EXPECT_EQ(nullptr, mask);
        EXPECT_EQ(nullptr, kv::DecodeImageBytes(part, true)) << cut;
    }
    // 65536 × 65536 in the header: refused by its size before any pixel is allocated.
    const std::string huge = ClaimingPng(65536, 65536);
    int width = 0, height = 0;
    ASSERT_TRUE(kv::ProbeImageSize(huge, width, height));
    EXPECT_EQ(65536, width);
    int transparency = 0;
    std::unique_ptr<TBitmap> mask;
    EXPECT_EQ(nullptr, kv::LoadImageStream(&huge, transparency, mask));
    EXPECT_EQ(nullptr, kv::DecodeImageBytes(huge, false));
    // The same forgery at a size we accept reads the header alike (so the refusal above is
    // the size check, not a broken file).
    ASSERT_TRUE(kv::ProbeImageSize(ClaimingPng(1, 1), width, height));
    EXPECT_EQ(1, width);
    EXPECT_NE(nullptr, kv::DecodeImageBytes(ClaimingPng(1, 1), false));
}

TEST(Png, TheCacheLoadsAPngOnceUnderItsKey) {
    kvtest::TempFolder folder;
    folder.Write("p.png", kvtest::EncodePng(AlphaPicture()));
    kv::TStringBitmapList cache;
    bool pending = false, cached = false;
    const TBitmap* mask = nullptr;
    int transparency = 0;
    const kv::TImageRef first =
        cache.GetImage(Path(folder, "p.png"), {}, transparency, pending, cached, mask);
    ASSERT_TRUE(first);
    EXPECT_NE(nullptr, mask);
    EXPECT_FALSE(cached);
    transparency = 0;
    const kv::TImageRef again =
        cache.GetImage(" " + Path(folder, "p.png") + " ", {}, transparency, pending, cached, mask);
    EXPECT_TRUE(cached);
    EXPECT_EQ(first.Bitmap, again.Bitmap);
}

}  // namespace
