#!/usr/bin/env python3
"""Draws the title strip and its buttons' masks and glyphs: 8-bit pictures with a grey palette, rows
padded to four bytes, stored bottom-up with the palette right before the rows.

Each mask is a soft tab over the button's caption, bright (above 128) only where the button
should answer, so that the overlapping buttons split the strip at the middle of each overlap.
The glyph is the lit tab: pale, with the caption in dark letters and an accent line below."""
import os
import struct
import subprocess
import sys

FONT = "DejaVu-Sans-Bold"
HEIGHT = 32
# name, left on the strip, width, caption, the part of the button (local x) that is its own
BUTTONS = [
    ("button1", 171, 139, "СОДЕРЖАНИЕ", (0, 129)),
    ("button2", 291, 93, "ПОИСК", (9, 83)),
    ("button3", 365, 111, "ПЕЧАТЬ", (9, 101)),
    ("button4", 456, 135, "АНОНС", (10, 125)),
    ("button5", 572, 141, "", (20, 121)),
]


def caption_args(text, width, background, ink):
    return ["-size", f"{width}x{HEIGHT}", f"xc:{background}", "-font", FONT, "-pointsize", "12",
            "-fill", ink, "-gravity", "center", "-annotate", "+0-1", text]


def caption_raster(text, width, own):
    """White-on-black letters centred over the button's own part, one byte per pixel."""
    left, right = own
    out = bytearray(width * HEIGHT)
    if not text:
        return out
    part = subprocess.run(["convert", *caption_args(text, right - left, "black", "white"),
                           "-depth", "8", "gray:-"], check=True, capture_output=True).stdout
    for y in range(HEIGHT):
        out[y * width + left:y * width + right] = part[y * (right - left):(y + 1) * (right - left)]
    return out


def title_strip():
    """The 800 x 32 strip: the same captions at the same places, light on the rust gradient,
    with the program's name at the left and the minimise and close marks at the right."""
    args = ["convert", "-size", "800x32", "gradient:rgb(190,92,36)-rgb(96,38,12)",
            "-fill", "rgb(120,48,16)", "-draw", "rectangle 0,30 800,31",
            "-fill", "rgb(226,150,96)", "-draw", "rectangle 0,0 800,0",
            "-font", "DejaVu-Serif-Bold", "-pointsize", "15", "-fill", "rgb(255,236,214)",
            "-draw", "text 14,22 'Кварнеля'"]
    for _, left, _, text, (own_left, own_right) in BUTTONS:
        if not text:
            continue
        args += ["(", *caption_args(text, own_right - own_left, "none", "rgb(255,222,186)"), ")",
                 "-gravity", "NorthWest", "-geometry", f"+{left + own_left}+0", "-composite"]
    # A thin groove where two buttons meet keeps them apart.
    for x in (300, 374, 466):
        args += ["-fill", "rgb(120,48,16)", "-draw", f"rectangle {x},8 {x},23",
                 "-fill", "rgb(214,120,62)", "-draw", f"rectangle {x + 1},8 {x + 1},23"]
    args += ["-stroke", "rgb(255,236,214)", "-strokewidth", "2",
             "-draw", "line 758,17 770,17", "-draw", "line 782,7 794,19", "-draw", "line 794,7 782,19",
             "-type", "TrueColor", "BMP3:title.bmp"]
    subprocess.run(args, check=True)


def write_bmp(path, width, pixels):
    """8-bit bitmap file with a 256-grey palette; `pixels` is top-down, one byte each."""
    stride = (width + 3) & ~3
    rows = b"".join(pixels[y * width:(y + 1) * width] + bytes(stride - width)
                    for y in reversed(range(HEIGHT)))
    palette = b"".join(bytes((i, i, i, 0)) for i in range(256))
    info = struct.pack("<IiiHHIIiiII", 40, width, HEIGHT, 1, 8, 0, len(rows), 3780, 3780, 256, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + palette + rows)


def edge(distance, soft=5):
    """0 outside, rising to 1 over `soft` pixels inside."""
    return max(0.0, min(1.0, distance / soft))


def tab(x, y, own):
    """How much a point belongs to the tab: a rounded box with soft edges over the own part."""
    left, right = own
    inside_x = min(x - left, right - 1 - x) + 1
    inside_y = min(y - 2, HEIGHT - 3 - y) + 1
    return edge(inside_x) * edge(inside_y, 3)


def main():
    os.chdir(os.path.dirname(os.path.abspath(sys.argv[0])))
    for name, _, width, text, own in BUTTONS:
        letters = caption_raster(text, width, own)
        mask, glyph = bytearray(width * HEIGHT), bytearray(width * HEIGHT)
        for y in range(HEIGHT):
            for x in range(width):
                i = y * width + x
                body = tab(x, y, own)
                ink = letters[i] / 255.0 if body > 0 else 0.0
                accent = body > 0.9 and y in (HEIGHT - 6, HEIGHT - 5)
                # The body mixes the pale tab half into the strip; letters and accent are solid.
                mask[i] = round(255 * max(body * 0.6, ink, 1.0 if accent else 0.0))
                glyph[i] = round(255 - ink * 175) if not accent else 236
        write_bmp(f"{name}-mask.bmp", width, bytes(mask))
        write_bmp(f"{name}-glyph.bmp", width, bytes(glyph))
    title_strip()


if __name__ == "__main__":
    main()
