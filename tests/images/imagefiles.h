#pragma once
// Picture files for tests, made on the spot: BMP and PNG through Qt, JPEG through libjpeg (JFIF or
// Exif-only headers).

#include <QImage>
#include <string>

#include "platform/bitmap.h"

namespace kvtest {

std::string EncodeBmp(const kv::TBitmap& bitmap);
std::string EncodePng(const QImage& image);
// A JPEG of the picture; with exif the file starts FF D8 FF E1 (no JFIF segment).
std::string EncodeJpeg(const kv::TBitmap& bitmap, bool exif, int quality = 95);

}  // namespace kvtest
