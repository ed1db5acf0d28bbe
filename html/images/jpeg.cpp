#include "html/images/jpeg.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE first.
#include <jpeglib.h>

#include "html/images/display.h"

namespace kv {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return: we jump back to
// the decoding step that called the library. Only trivially destructible objects live in
// the functions that set the jump point.
struct TJpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<TJpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}
void Silent(j_common_ptr) {}

struct TJpegDims {
    int width = 0, height = 0;
};

// Reads the header and sets the output; false on a library error.
bool ReadHeader(jpeg_decompress_struct& info, TJpegError& error, const std::uint8_t* data,
                std::size_t size, bool eightBit, TJpegDims& dims) {
    if (setjmp(error.jump)) return false;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (eightBit) {
        info.out_color_space = JCS_RGB;
        info.quantize_colors = TRUE;
        info.two_pass_quantize = FALSE;
        info.dither_mode = JDITHER_FS;
        const TPalette& palette = ThePalette();
        JSAMPARRAY map =
            (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, 256, 3);
        for (int i = 0; i < 256; ++i) {
            map[0][i] = palette[static_cast<std::size_t>(i)].red;
            map[1][i] = palette[static_cast<std::size_t>(i)].green;
            map[2][i] = palette[static_cast<std::size_t>(i)].blue;
        }
        info.colormap = map;
        info.actual_number_of_colors = 256;
    } else {
        info.out_color_space = JCS_EXT_BGRA;
    }
    jpeg_calc_output_dimensions(&info);
    dims.width = static_cast<int>(info.output_width);
    dims.height = static_cast<int>(info.output_height);
    return true;
}

// Decodes every row into the bitmap made for the output size.
bool ReadPixels(jpeg_decompress_struct& info, TJpegError& error, TBitmap& bitmap) {
    if (setjmp(error.jump)) return false;
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = bitmap.Row(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

// Errors come back to us instead of ending the process; warnings stay quiet.
void CreateDecompress(jpeg_decompress_struct& info, TJpegError& error) {
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = ErrorExit;
    error.manager.output_message = Silent;
    jpeg_create_decompress(&info);
}

}  // namespace

bool TJpegMod::ReadSize(const std::uint8_t* data, std::size_t size, int& width, int& height) {
    jpeg_decompress_struct info{};
    TJpegError error{};
    CreateDecompress(info, error);
    TJpegDims dims;
    const bool ok = size > 0 && ReadHeader(info, error, data, size, false, dims);
    jpeg_destroy_decompress(&info);
    width = dims.width;
    height = dims.height;
    return ok;
}

std::unique_ptr<TBitmap> TJpegMod::Decode(const std::uint8_t* data, std::size_t size, bool eightBit,
                                          std::string* message) {
    jpeg_decompress_struct info{};
    TJpegError error{};
    CreateDecompress(info, error);
    std::unique_ptr<TBitmap> bitmap;
    TJpegDims dims;
    bool ok = size > 0 && ReadHeader(info, error, data, size, eightBit, dims);
    if (ok && (dims.width <= 0 || dims.height <= 0 ||
               std::int64_t{dims.width} * dims.height > TBitmap::kMaxPixels)) {
        ok = false;
        std::snprintf(error.message, sizeof error.message, "Image is too large");
    }
    if (ok) {
        bitmap = std::make_unique<TBitmap>(dims.width, dims.height,
                                           eightBit ? TPixelFormat::pf8bit : TPixelFormat::pf32bit);
        if (eightBit) bitmap->SetPalette(ThePalette());
        ok = ReadPixels(info, error, *bitmap);
    }
    jpeg_destroy_decompress(&info);
    if (!ok) {
        if (message) *message = error.message[0] ? error.message : "Not a JPEG image";
        return nullptr;
    }
    return bitmap;
}

}  // namespace kv
