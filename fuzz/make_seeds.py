#!/usr/bin/env python3
"""Writes the hand-made seeds of fuzz_png and fuzz_contents into fuzz/corpus/.

Run once when the seeds change; the fuzzers' merged corpora grow from them.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(kind, body):
    crc = zlib.crc32(kind + body) & 0xFFFFFFFF
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)


def png(width, height, depth, colour, rows, interlace=0, extra=b""):
    """rows: the filtered scanline bytes (filter byte included), already in pass order."""
    head = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + extra +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def plain_rows(height, row):
    return b"".join(b"\x00" + row(y) for y in range(height))


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2)]


def interlaced_rows(width, height, pixel):
    out = b""
    for x0, y0, dx, dy in ADAM7:
        xs = range(x0, width, dx)
        for y in range(y0, height, dy):
            if len(xs):
                out += b"\x00" + b"".join(pixel(x, y) for x in xs)
    return out


def png_seeds():
    seeds = {}
    seeds["gray8.png"] = png(5, 4, 8, 0, plain_rows(4, lambda y: bytes((y * 60 + x * 9) & 255
                                                                       for x in range(5))))
    seeds["gray1.png"] = png(9, 3, 1, 0, plain_rows(3, lambda y: bytes([0xA5 ^ y, 0x80])))
    palette = chunk(b"PLTE", bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255]))
    trns = chunk(b"tRNS", bytes([0, 128, 255]))
    seeds["palette4.png"] = png(6, 3, 4, 3, plain_rows(3, lambda y: bytes([0x01, 0x23, 0x30])),
                                extra=palette + trns)
    # Sub, Up, Average and Paeth filters on an RGBA picture.
    rgba = b""
    for y in range(4):
        rgba += bytes([y % 5]) + bytes((x * 40 + y * 17 + c * 5) & 255 for x in range(4)
                                       for c in range(4))
    seeds["rgba8.png"] = png(4, 4, 8, 6, rgba)
    seeds["interlaced.png"] = png(11, 9, 8, 2, interlaced_rows(
        11, 9, lambda x, y: bytes([x * 20 & 255, y * 25 & 255, (x ^ y) * 10 & 255])), 1)
    seeds["rgb16.png"] = png(3, 2, 16, 2, plain_rows(2, lambda y: bytes(range(y, y + 18))))
    seeds["grayalpha16.png"] = png(3, 2, 16, 4, plain_rows(2, lambda y: bytes([0, 255, 200,
                                                                               y] * 3)),
                                   extra=chunk(b"gAMA", struct.pack(">I", 45455)))
    whole = seeds["rgba8.png"]
    seeds["truncated.png"] = whole[:len(whole) - 20]
    seeds["header_only.png"] = whole[:33]
    bad = bytearray(seeds["gray8.png"])
    bad[29] ^= 0xFF  # the header's CRC
    seeds["badcrc.png"] = bytes(bad)
    seeds["huge_claim.png"] = png(30000, 30000, 8, 0, b"\x00\x00")
    return seeds


def contents_seeds():
    seeds = {}
    seeds["longline.txt"] = b"Top\r\n " + b"x" * 20000 + b"\r\n"
    seeds["noseparator.txt"] = b"one two three " * 500
    seeds["nuls.txt"] = b"A\x00b\r\n \x00\x00\r\n  \x00c\r\n\x00\r\n"
    seeds["cronly.txt"] = b"Root\r a\r  b\r   c\r d\rOther\r"
    seeds["lfonly.txt"] = b"Root\n a\n\tb\n \t c\n"
    seeds["manylines.txt"] = b"".join(b"T%d\r\n t\r\n" % i for i in range(3000))
    seeds["deep.txt"] = b"".join(b" " * i + b"d\r\n" for i in range(200))
    seeds["deep_then_root.txt"] = b"".join(b"\t" * i + b"n\r\n" for i in range(150)) + b"r\r\n"
    seeds["hugelevel.txt"] = b"a\r\n" + b" " * 60000 + b"far\r\n"
    seeds["blanksonly.txt"] = b"a\r\n" + b"\t" * 30000
    seeds["toodeep.txt"] = b"a\r\n b\r\n    c\r\n"
    seeds["blanklines.txt"] = b"\r\n\r\n   \r\n\t\t\r\nx\r\n\r\n"
    seeds["cp1251.txt"] = (b"\xcf\xeb\xe0\xed\xe5\xf2\xfb\r\n \x98\x98\xff\xfe\x80\r\n"
                           b"  \xad\xa0\xc0\r\n")
    seeds["anchors.htm"] = (b'<a name="first">x</a>\r\n<A NAME="second\r\n<a name="">'
                            b'<a name="z"><a name="ok" <a name="\xcf\xf0\xe8"\r\n'
                            b'<a name="' + b"n" * 5000 + b'"\n<a name=\x00"y"\r')
    seeds["mixed_ends.txt"] = b"a\r\n b\n\r c\r\r  d\n\n e"
    return seeds


def write(folder, seeds):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    write("png", png_seeds())
    write("contents", contents_seeds())
