#pragma once
// Display state shared by all image code: the colour depth of the screen, the one 256-colour
// palette every picture is reduced to on 8-bit displays, the placeholder pictures image objects
// show while an image is missing or pending, and the wait marker a host hands back for an image
// that is not there yet.

#include <string>

#include "platform/bitmap.h"

namespace kv {

// Bits per pixel of the screen, reduced to 4 (4 or fewer), 8, or 24 (more than 8).
int ColorBits();
// Forces the depth (reduced as above); 0 reads the screen again. Tests use it to run the
// palette and dithering paths; nothing else should.
void SetColorBits(int bits);
// Reduces a raw depth as ColorBits does.
int ReduceColorBits(int bits);

// The 256-entry palette of 8-bit displays: the system palette's twenty fixed colours at 0..9
// and 246..255, the 6×6×6 cube over 55, 115, 165, 205, 235, 255 without white at 10..224 (red
// slowest), and 21 greys 135..250 at 225..245. Always available, whatever the depth.
const TPalette& ThePalette();
// The system's default 20-colour palette (the fixed colours above), used on 4-bit displays.
const TPalette& DefaultPalette();

// Placeholders: WaitBitmap for an image still to come (or when images are not shown),
// ErrorBitmap with ErrorBitmapMask (white = transparent) for an image that failed.
const TBitmap& WaitBitmap();
const TBitmap& ErrorBitmap();
const TBitmap& ErrorBitmapMask();

// The shared empty stream: a host that answers an image request with this very object says
// the image is not available yet. Compared by address.
const std::string* WaitStream();

}  // namespace kv
