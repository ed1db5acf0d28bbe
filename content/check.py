#!/usr/bin/env python3
"""Checks the sample encyclopedia before it is committed.

    python3 content/check.py        (exit status 0 = all good)

Checks: article folders and names, cp1251 text with CR LF line ends,
3..10 topic anchors per article (found the way the reader finds them),
links between and inside articles, and the pictures.
"""
import os
import re
import struct
import sys
from urllib.parse import unquote

HERE = os.path.dirname(os.path.abspath(__file__))
INSIDE = os.path.join(HERE, "inside")
ANONS = os.path.join(HERE, "res", "anons.htm")
MARK = '<a name="'
errors = []


KNOWN_ENTITIES = {"amp", "lt", "gt", "quot", "nbsp", "laquo", "raquo", "copy", "reg", "deg",
                  "plusmn", "middot", "sect", "para", "micro", "times", "divide", "ndash",
                  "rsquo", "trade", "hellip", "sup2", "sup3", "frac12", "frac14", "frac34"}


def err(where, msg):
    errors.append("%s: %s" % (os.path.relpath(where, HERE), msg))


def read_text(path):
    data = open(path, "rb").read()
    try:
        data.decode("utf-8")
        if any(b > 127 for b in data):
            err(path, "looks like UTF-8, must be Windows-1251")
    except UnicodeDecodeError:
        pass
    try:
        text = data.decode("cp1251")
    except UnicodeDecodeError as e:
        err(path, "not Windows-1251: %s" % e)
        text = data.decode("cp1251", "replace")
    if data.count(b"\n") != data.count(b"\r\n") or data.count(b"\r") != data.count(b"\r\n"):
        err(path, "line ends must all be CR LF")
    if not data.endswith(b"\r\n"):
        err(path, "last line must end with CR LF")
    return text


def anchors_of(text):
    """Topic anchors exactly as the reader takes them: per line, the text
    after the first '<a name="' up to the next double quote."""
    found = []
    for line in text.split("\r\n"):
        i = line.find(MARK)
        if i < 0:
            continue
        rest = line[i + len(MARK):]
        j = rest.find('"')
        name = rest if j < 0 else rest[:j]
        if len(name) >= 2:
            found.append(name)
    return found


def image_size(path):
    with open(path, "rb") as f:
        head = f.read(64)
        if head[:6] in (b"GIF87a", b"GIF89a"):
            return "gif", struct.unpack("<HH", head[6:10])
        if head[:2] == b"BM":
            w, h = struct.unpack("<ii", head[18:26])
            bits = struct.unpack("<H", head[28:30])[0]
            if bits != 24:
                err(path, "BMP is %d-bit, expected 24-bit" % bits)
            return "bmp", (w, abs(h))
        if head[:2] == b"\xff\xd8":
            f.seek(2)
            while True:
                m = f.read(4)
                if len(m) < 4 or m[0] != 0xFF:
                    return "jpg", None
                seg, ln = m[1], struct.unpack(">H", m[2:4])[0]
                if seg in (0xC0, 0xC1, 0xC2):
                    h, w = struct.unpack(">HH", f.read(5)[1:5])
                    return "jpg", (w, h)
                f.seek(ln - 2, 1)
    return None, None


def attr(tag, name):
    m = re.search(r'\b%s\s*=\s*("([^"]*)"|([^\s>]+))' % name, tag, re.I)
    if not m:
        return None
    return m.group(2) if m.group(2) is not None else m.group(3)


def main():
    if not os.path.isdir(INSIDE):
        sys.exit("no folder " + INSIDE)
    folders = sorted(d for d in os.listdir(INSIDE) if os.path.isdir(os.path.join(INSIDE, d)))
    pages, anchors, used_pics = {}, {}, set()
    for d in folders:
        path = os.path.join(INSIDE, d)
        if re.search(r'[/\\"#+]', d) or d.startswith(".") or d != d.strip():
            err(path, "bad folder name")
        try:
            d.encode("cp1251")
        except UnicodeEncodeError:
            err(path, "folder name is not representable in Windows-1251")
        page = os.path.join(path, "index.htm")
        if "index.htm" not in os.listdir(path):
            err(path, "no index.htm")
            continue
        text = read_text(page)
        pages[page] = text
        names = anchors_of(text)
        anchors[page] = set(names)
        if not 3 <= len(names) <= 10:
            err(page, "%d anchors, want 3..10" % len(names))
        if len(set(names)) != len(names):
            err(page, "duplicate anchors")
        for n in names:
            if n != n.strip() or "#" in n:
                err(page, "bad anchor %r" % n)
        if len(text) < 3000:
            err(page, "article is short (%d bytes)" % len(text))
    if len(pages) < 20:
        errors.append("only %d articles, want at least 20" % len(pages))
    if os.path.exists(ANONS):
        pages[ANONS] = read_text(ANONS)
        anchors[ANONS] = set(anchors_of(pages[ANONS]))
    else:
        errors.append("res/anons.htm is missing")

    for page, text in pages.items():
        base = os.path.dirname(page)
        # The reader knows the Latin-1 entity names and a handful of others; anything else
        # (&mdash; for one) would show as written.
        for name in set(re.findall(r"&([A-Za-z][A-Za-z0-9]*);", text)):
            if name not in KNOWN_ENTITIES:
                err(page, "entity &%s; is unknown to the reader" % name)
        for href in re.findall(r'<a\s+href="([^"]*)"', text, re.I):
            if re.match(r"[a-z]+:", href):
                err(page, "external link %s (the reader is offline)" % href)
                continue
            target, _, frag = href.partition("#")
            target_path = page if not target else os.path.normpath(os.path.join(base, unquote(target)))
            if target and not os.path.isfile(target_path):
                err(page, "link to missing file %s" % href)
                continue
            if frag and frag not in anchors.get(target_path, set()):
                err(page, "link to missing anchor %s" % href)
        for tag in re.findall(r"<img\b[^>]*>", text, re.I):
            src = attr(tag, "src")
            if not src:
                err(page, "img without src")
                continue
            pic = os.path.normpath(os.path.join(base, src))
            if not re.fullmatch(r"[a-z0-9_]+\.(gif|jpg|bmp)", src):
                err(page, "picture name %s should be lower-case ASCII .gif/.jpg/.bmp" % src)
            if not os.path.isfile(pic):
                err(page, "missing picture %s" % src)
                continue
            used_pics.add(pic)
            kind, size = image_size(pic)
            if kind != src.rsplit(".", 1)[-1]:
                err(pic, "file content does not match its extension")
            w, h = attr(tag, "width"), attr(tag, "height")
            if size and w and h and (int(w), int(h)) != tuple(size):
                err(page, "%s is %dx%d, tag says %sx%s" % (src, size[0], size[1], w, h))
            if not attr(tag, "alt"):
                err(page, "img %s has no alt text" % src)

    for d in folders:
        for f in os.listdir(os.path.join(INSIDE, d)):
            p = os.path.normpath(os.path.join(INSIDE, d, f))
            if f != "index.htm" and p not in used_pics:
                err(p, "file is not used by the article")

    for e in errors:
        print("FAIL", e)
    print("%d pages, %d anchors, %d pictures: %s"
          % (len(pages), sum(len(a) for a in anchors.values()), len(used_pics),
             "OK" if not errors else "%d problem(s)" % len(errors)))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
