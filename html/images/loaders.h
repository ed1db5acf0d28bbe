#pragma once
// Reading image files and host streams: recognising the kind by the first bytes, decoding BMP
// and PNG (Qt's reader), JPEG (libjpeg) and GIF (our decoder), transparency masks (a PNG's from
// its alpha channel), conversion to the
// display's format, and drawing through a mask.
//
// Names are Windows-1251; "\" reads as "/", and a name that does not exist as written is looked
// up without regard to case (documents were authored on Windows).

#include <cstdint>
#include <memory>
#include <string>

#include "platform/bitmap.h"

namespace kv {

enum TImageKind : int { ikUnknown = 0, ikBMP = 1, ikGIF87 = 2, ikGIF89 = 3, ikPNG = 4, ikJPEG = 5 };

// Kind by the first bytes. Every file starting FF D8 FF is a JPEG (JFIF, Exif and the rest).
int RecognizeImage(const std::uint8_t* data, std::size_t size);
int RecognizeImage(const std::string& bytes);
// Kind of a file, from its first 11 bytes (0 when it cannot be read).
int RecognizeImageFile(const std::string& fileName);

// The existing file a document's image name stands for, or "" when there is none.
std::string ResolveImageFile(const std::string& fileName);
// Whole file into Bytes; false when missing, unreadable, or larger than any image we accept.
bool ReadImageFile(const std::string& fileName, std::string& bytes);

// Width and height of a BMP, PNG, JPEG or GIF (logical screen, frames included) from its headers,
// without decoding pixels. False when the headers cannot be read.
bool ProbeImageSize(const std::string& bytes, int& width, int& height);

// The transparent colour of a GIF89 whose graphic control extension follows the global colour
// table directly (from the first 790 bytes). False for any other layout.
bool GIFTransparentColor(const std::string& bytes, TColor& color);

// The picture of a file: kinds 1, 4 and 5 through their readers, GIF through the decoder (first
// picture; a still GIF is never converted), with conversion to the display format when asked.
// None on any failure.
std::unique_ptr<TBitmap> DecodeImageBytes(const std::string& bytes, bool convert);

// Transparency 0 none, 1 corner (lower-left pixel's colour), 2 colour (or a PNG's alpha
// channel) given by the file.
std::unique_ptr<TBitmap> LoadImageFile(const std::string& fileName, int& transparency,
                                       std::unique_ptr<TBitmap>& mask);
// Host streams: BMP, PNG and JPEG only, at least 20 bytes.
std::unique_ptr<TBitmap> LoadImageStream(const std::string* stream, int& transparency,
                                         std::unique_ptr<TBitmap>& mask);

// A mask white where the picture has the colour (the lower-left pixel's without one). For an
// 8-bit picture the colour is first matched to its palette. None for an empty picture.
std::unique_ptr<TBitmap> MakeMask(const TBitmap& bitmap, bool useGivenColor, TColor color);

// The picture in the display's format: dithered to 8 bits (ThePalette, or the 20-colour
// palette on 4-bit displays) with 8 bits or fewer; 32-bit otherwise.
std::unique_ptr<TBitmap> ToDisplayFormat(std::unique_ptr<TBitmap> bitmap);

// Stretches the image onto the canvas through its mask: where the mask is white the canvas
// stays. Mono canvases get nothing.
void DrawTransparent(TBitmap& canvas, const TBitmap& image, const TBitmap& mask, int x, int y,
                     int width, int height);

}  // namespace kv
