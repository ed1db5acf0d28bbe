#include "html/images/loaders.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <fstream>

#include "html/images/dib.h"
#include "html/images/display.h"
#include "html/images/dither.h"
#include "html/images/gif.h"
#include "html/images/jpeg.h"
#include "platform/codec.h"
#include "platform/paths.h"

namespace kv {
namespace {

std::unique_ptr<TBitmap> DecodeBMP(const std::string& bytes) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    const QSize size = reader.size();
    if (!size.isValid() || std::int64_t{size.width()} * size.height() > TBitmap::kMaxPixels)
        return nullptr;
    QImage image;
    if (!reader.read(&image) || image.isNull()) return nullptr;
    return std::make_unique<TBitmap>(TBitmap::FromQImage(image));
}

// A PNG through Qt's reader, refused by its header before any pixel is allocated when it is
// larger than any picture we accept. With an alpha channel, `mask` (when asked for) is white
// where the picture is transparent (alpha below 128).
std::unique_ptr<TBitmap> DecodePNG(const std::string& bytes, std::unique_ptr<TBitmap>* mask) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() ||
        std::int64_t{size.width()} * size.height() > TBitmap::kMaxPixels)
        return nullptr;
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.size() != size) return nullptr;
    if (mask && image.hasAlphaChannel()) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        auto bits = std::make_unique<TBitmap>(argb.width(), argb.height(), TPixelFormat::pfMono);
        bits->Fill(kBlack);
        for (int y = 0; y < argb.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < argb.width(); ++x)
                if (qAlpha(row[x]) < 128) bits->SetPixel(x, y, kWhite);
        }
        *mask = std::move(bits);
    }
    return std::make_unique<TBitmap>(
        TBitmap::FromQImage(image.convertToFormat(QImage::Format_RGB32)));
}

std::unique_ptr<TBitmap> DecodeGIFPicture(const std::string& bytes, bool& notAnimated) {
    auto gif = TGIFImage::CreateFromStream(bytes, notAnimated);
    if (!gif || gif->Picture() == nullptr) return nullptr;
    return std::make_unique<TBitmap>(*gif->Picture());
}

std::string Extension(const std::string& fileName) {
    const auto slash = fileName.find_last_of("/\\");
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return text::lowerText(fileName.substr(dot, 9));
}

// A PNG with its alpha channel as the mask (transparency 2: given by the file); without one,
// the corner mask when asked for. Converted to the display's format.
std::unique_ptr<TBitmap> LoadPNG(const std::string& bytes, int& transparency,
                                 std::unique_ptr<TBitmap>& mask) {
    try {
        auto picture = DecodePNG(bytes, &mask);
        if (!picture) return mask.reset(), nullptr;
        if (mask)
            transparency = 2;
        else if (transparency == 1)
            mask = MakeMask(*picture, false, kBlack);
        else
            transparency = 0;
        return ToDisplayFormat(std::move(picture));
    } catch (const std::exception&) {
        mask.reset();
        return nullptr;
    }
}

}  // namespace

int RecognizeImage(const std::uint8_t* data, std::size_t size) {
    if (size >= 4 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F' && data[3] == '8')
        return size >= 5 && data[4] == '9' ? ikGIF89 : ikGIF87;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return ikBMP;
    if (size >= 4 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G')
        return ikPNG;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ikJPEG;
    return ikUnknown;
}

int RecognizeImage(const std::string& bytes) {
    return RecognizeImage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string ResolveImageFile(const std::string& fileName) {
    if (fileName.empty()) return {};
    std::string name = fileName;
    std::replace(name.begin(), name.end(), '\\', '/');
    const std::filesystem::path path = text::toPath(name);
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) return name;
    const auto found = paths::findCaseInsensitive(path);
    if (!found || !std::filesystem::is_regular_file(*found, error)) return {};
    return text::fromPath(*found);
}

bool ReadImageFile(const std::string& fileName, std::string& bytes) {
    const std::string name = ResolveImageFile(fileName);
    if (name.empty()) return false;
    std::ifstream file(text::toPath(name), std::ios::binary);
    if (!file) return false;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0 || size > kMaxImageBytes) return false;
    file.seekg(0);
    bytes.resize(static_cast<std::size_t>(size));
    file.read(bytes.data(), size);
    return static_cast<std::streamoff>(file.gcount()) == size;
}

int RecognizeImageFile(const std::string& fileName) {
    const std::string name = ResolveImageFile(fileName);
    if (name.empty()) return ikUnknown;
    std::ifstream file(text::toPath(name), std::ios::binary);
    char head[11] = {};
    file.read(head, sizeof head);
    return RecognizeImage(reinterpret_cast<const std::uint8_t*>(head),
                          static_cast<std::size_t>(file.gcount()));
}

bool ProbeImageSize(const std::string& bytes, int& width, int& height) {
    width = height = 0;
    switch (RecognizeImage(bytes)) {
    case ikBMP: {
        QByteArray data =
            QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        const QSize size = QImageReader(&buffer, "bmp").size();
        width = size.width();
        height = size.height();
        return size.isValid();
    }
    case ikGIF87:
    case ikGIF89: {
        TGIFImage gif;
        gif.SetHeaderOnly(true);
        if (!gif.LoadFromStream(bytes)) return false;
        width = gif.Width();
        height = gif.Height();
        return true;
    }
    case ikPNG: {
        QByteArray data =
            QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        const QSize size = QImageReader(&buffer, "png").size();
        width = size.width();
        height = size.height();
        return size.isValid();
    }
    case ikJPEG:
        return TJpegMod::ReadSize(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                  width, height);
    default: return false;
    }
}

bool GIFTransparentColor(const std::string& bytes, TColor& color) {
    const std::size_t size = std::min<std::size_t>(bytes.size(), 790);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (RecognizeImage(data, size) != ikGIF89 || size < 13) return false;
    const std::size_t at = 13 + 3 * (std::size_t{2} << (data[10] & 7));
    if (at + 7 > size || data[at] != 0x21 || data[at + 1] != 0xF9 || (data[at + 3] & 1) == 0)
        return false;
    const std::size_t entry = 13 + 3 * std::size_t{data[at + 6]};
    if (entry + 3 > size) return false;
    color = RGBColor(data[entry], data[entry + 1], data[entry + 2]);
    return true;
}

std::unique_ptr<TBitmap> DecodeImageBytes(const std::string& bytes, bool convert) {
    std::unique_ptr<TBitmap> picture;
    try {
        switch (RecognizeImage(bytes)) {
        case ikBMP: picture = DecodeBMP(bytes); break;
        case ikPNG: picture = DecodePNG(bytes, nullptr); break;
        case ikGIF87:
        case ikGIF89: {
            bool notAnimated = false;
            picture = DecodeGIFPicture(bytes, notAnimated);
            if (notAnimated) return picture;
            break;
        }
        case ikJPEG:
            picture = TJpegMod::Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       bytes.size(), ColorBits() <= 8);
            break;
        default: return nullptr;
        }
        return convert ? ToDisplayFormat(std::move(picture)) : std::move(picture);
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::unique_ptr<TBitmap> LoadImageFile(const std::string& fileName, int& transparency,
                                       std::unique_ptr<TBitmap>& mask) {
    mask.reset();
    std::string bytes;
    if (!ReadImageFile(fileName, bytes)) return nullptr;
    if (RecognizeImage(bytes) == ikPNG) return LoadPNG(bytes, transparency, mask);
    TColor color = kBlack;
    if (Extension(fileName) == ".gif" && GIFTransparentColor(bytes, color)) transparency = 2;
    if (transparency == 0) return DecodeImageBytes(bytes, true);
    // The mask comes from the picture as decoded; the picture shown is then decoded again
    // with conversion.
    auto picture = DecodeImageBytes(bytes, false);
    if (!picture) return nullptr;
    try {
        mask = MakeMask(*picture, transparency == 2, color);
    } catch (const std::exception&) {
        mask.reset();
    }
    picture.reset();
    if (!mask) return nullptr;
    auto shown = DecodeImageBytes(bytes, true);
    if (!shown) mask.reset();
    return shown;
}

std::unique_ptr<TBitmap> LoadImageStream(const std::string* stream, int& transparency,
                                         std::unique_ptr<TBitmap>& mask) {
    mask.reset();
    if (stream == nullptr || stream->size() < 20) return nullptr;
    const int kind = RecognizeImage(*stream);
    if (kind == ikPNG) return LoadPNG(*stream, transparency, mask);
    if (kind != ikBMP && kind != ikJPEG) return nullptr;
    if (kind == ikJPEG) transparency = 0;
    try {
        auto picture = DecodeImageBytes(*stream, false);
        if (!picture) return nullptr;
        if (transparency == 1) mask = MakeMask(*picture, false, kBlack);
        return ToDisplayFormat(std::move(picture));
    } catch (const std::exception&) {
        mask.reset();
        return nullptr;
    }
}

std::unique_ptr<TBitmap> MakeMask(const TBitmap& bitmap, bool useGivenColor, TColor color) {
    if (bitmap.Empty()) return nullptr;
    if (!useGivenColor) color = bitmap.Pixel(0, bitmap.Height() - 1);
    if (bitmap.Format() == TPixelFormat::pf8bit && !bitmap.Palette().empty())
        color =
            bitmap
                .Palette()[static_cast<std::size_t>(TBitmap::NearestIndex(bitmap.Palette(), color))]
                .Color();
    auto mask = std::make_unique<TBitmap>(bitmap.Width(), bitmap.Height(), TPixelFormat::pfMono);
    TBlitColors colors;
    colors.background = color;
    BitBlt(*mask, 0, 0, bitmap.Width(), bitmap.Height(), bitmap, 0, 0, TRasterOp::ropCopy, colors);
    return mask;
}

std::unique_ptr<TBitmap> ToDisplayFormat(std::unique_ptr<TBitmap> bitmap) {
    if (!bitmap) return nullptr;
    if (ColorBits() <= 8) return DitherToDisplay(bitmap.get());
    if (bitmap->BitsPerPixel() > 8) return bitmap;
    return std::make_unique<TBitmap>(TDib(*bitmap).CreateDeviceBitmap());
}

void DrawTransparent(TBitmap& canvas, const TBitmap& image, const TBitmap& mask, int x, int y,
                     int width, int height) {
    if (canvas.Format() == TPixelFormat::pfMono || image.Empty() || mask.Empty()) return;
    TBitmap copy = image.ConvertedTo(canvas.Format(), canvas.Palette());
    TBitmap inverted = mask;
    InvertRect(inverted, 0, 0, inverted.Width(), inverted.Height());
    // Opaque parts of the canvas turn black, transparent parts of the image turn black, and
    // the image ORed over the canvas fills the hole.
    StretchBlt(canvas, x, y, width, height, mask, 0, 0, mask.Width(), mask.Height(),
               TRasterOp::ropAnd);
    StretchBlt(copy, 0, 0, copy.Width(), copy.Height(), inverted, 0, 0, inverted.Width(),
               inverted.Height(), TRasterOp::ropAnd);
    StretchBlt(canvas, x, y, width, height, copy, 0, 0, copy.Width(), copy.Height(),
               TRasterOp::ropOr);
}

}  // namespace kv
