#!/usr/bin/env python3
"""Draws the viewer's cursors (hand, thick I-beam, up-and-down, up only, down only) as 16x16
PNG pictures into cursors/. The results are committed; run this only to change them.
'#' is black, 'o' white, anything else see-through."""
import os
import struct
import zlib

CURSORS = {
    "hand": [
        "     ##         ",
        "    #oo#        ",
        "    #oo#        ",
        "    #oo#        ",
        "    #oo###      ",
        "    #oo#oo###   ",
        " ## #oo#oo#oo## ",
        "#oo##oo#oo#oo#o#",
        "#ooo#oooooooo#o#",
        " #oo#oooooooooo#",
        "  #oooooooooooo#",
        "  #ooooooooooo# ",
        "   #oooooooooo# ",
        "    #oooooooo#  ",
        "     #ooooooo#  ",
        "     #########  ",
    ],
    "ibeam": [
        "  ###  ###  ",
        "  #oo##oo#  ",
        "   ##oo##   ",
        "     oo     ",
        "    #oo#    ",
        "    #oo#    ",
        "    #oo#    ",
        "    #oo#    ",
        "    #oo#    ",
        "    #oo#    ",
        "    #oo#    ",
        "    #oo#    ",
        "     oo     ",
        "   ##oo##   ",
        "  #oo##oo#  ",
        "  ###  ###  ",
    ],
    "updown": [
        "       ##       ",
        "      #oo#      ",
        "     #oooo#     ",
        "    #oooooo#    ",
        "   ####oo####   ",
        "      #oo#      ",
        "     ######     ",
        "     #oooo#     ",
        "     #oooo#     ",
        "     ######     ",
        "      #oo#      ",
        "   ####oo####   ",
        "    #oooooo#    ",
        "     #oooo#     ",
        "      #oo#      ",
        "       ##       ",
    ],
    "uponly": [
        "       ##       ",
        "      #oo#      ",
        "     #oooo#     ",
        "    #oooooo#    ",
        "   #oooooooo#   ",
        "  ####oooo####  ",
        "     #oooo#     ",
        "     #oooo#     ",
        "     ######     ",
        "     #oooo#     ",
        "     #oooo#     ",
        "     ######     ",
        "                ",
        "                ",
        "                ",
        "                ",
    ],
}
CURSORS["downonly"] = list(reversed(CURSORS["uponly"]))


def png(rows):
    width = max(len(r) for r in rows)
    raw = b""
    for r in rows:
        raw += b"\0"
        for c in r.ljust(width):
            raw += {"#": b"\0\0\0\xff", "o": b"\xff\xff\xff\xff"}.get(c, b"\0\0\0\0")

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, len(rows), 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cursors")
os.makedirs(here, exist_ok=True)
for name, rows in CURSORS.items():
    with open(os.path.join(here, name + ".png"), "wb") as f:
        f.write(png(rows))
