#include "tests/images/imagefiles.h"

#include <jpeglib.h>

#include <QBuffer>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kvtest {

std::string EncodeBmp(const kv::TBitmap& bitmap) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bitmap.ToQImage().save(&buffer, "BMP");
    return bytes.toStdString();
}

std::string EncodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

std::string EncodeJpeg(const kv::TBitmap& bitmap, bool exif, int quality) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(bitmap.Width());
    info.image_height = static_cast<JDIMENSION>(bitmap.Height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.write_JFIF_header = exif ? FALSE : TRUE;
    jpeg_start_compress(&info, TRUE);
    if (exif) {
        static const unsigned char kExif[] = "Exif\0\0MM\0\x2A\0\0\0\x08\0\0";
        jpeg_write_marker(&info, JPEG_APP0 + 1, kExif, sizeof kExif - 1);
    }
    std::vector<JSAMPLE> row(static_cast<std::size_t>(bitmap.Width()) * 3);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            const kv::TColor colour = bitmap.Pixel(x, static_cast<int>(info.next_scanline));
            row[static_cast<std::size_t>(x) * 3] = static_cast<JSAMPLE>(kv::RedOf(colour));
            row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<JSAMPLE>(kv::GreenOf(colour));
            row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(kv::BlueOf(colour));
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

}  // namespace kvtest
