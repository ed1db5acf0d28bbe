#!/usr/bin/env python3
"""Draws every picture of the sample encyclopedia.

Needs only python3 and ImageMagick's `convert`.  Run from anywhere:

    python3 content/make_pictures.py

The pictures are written next to the articles that use them
(content/inside/<article>/<name>.<ext>).  The generated files are kept in
the repository, so this script is only needed when a picture is changed.
"""
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
INSIDE = os.path.join(HERE, "inside")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_B = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
PAGE_BG = (0xFF, 0xFD, 0xF5)          # body background of the articles
PAGE_BG_HEX = "#FFFDF5"
TMP = tempfile.mkdtemp(prefix="kvpics_")


def out(article, name):
    folder = os.path.join(INSIDE, article)
    if not os.path.isdir(folder):
        sys.exit("no article folder: " + folder)
    return os.path.join(folder, name)


def im(*args):
    subprocess.run(["convert"] + [str(a) for a in args], check=True)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def write_pam(path, w, h, pixels):
    """pixels: list of (r, g, b, a) rows, values 0..255."""
    with open(path, "wb") as f:
        f.write(("P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\n"
                 "TUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h)).encode())
        buf = bytearray()
        for row in pixels:
            for r, g, b, a in row:
                buf += bytes((int(clamp(r, 0, 255)), int(clamp(g, 0, 255)),
                              int(clamp(b, 0, 255)), int(a)))
        f.write(buf)


def render(w, h, shade, ss=2, bg=PAGE_BG, transparent=True):
    """Renders shade(x, y) -> (r, g, b) or None with ss*ss supersampling.

    Edge pixels are blended with the page colour; pixels not covered at all
    become fully transparent, so a GIF made of them has one transparent
    colour and smooth edges on the article page."""
    rows = []
    for j in range(h):
        row = []
        for i in range(w):
            acc = [0.0, 0.0, 0.0]
            hit = 0
            for sj in range(ss):
                for si in range(ss):
                    c = shade(i + (si + 0.5) / ss, j + (sj + 0.5) / ss)
                    if c is None:
                        c = bg
                    else:
                        hit += 1
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
            n = ss * ss
            a = 255 if (hit or not transparent) else 0
            row.append((acc[0] / n, acc[1] / n, acc[2] / n, a))
        rows.append(row)
    return rows


def frames_to_gif(paths, dest, delay, transparent=True):
    args = ["-delay", delay, "-loop", 0]
    if transparent:
        args += ["-dispose", "Background"]
    else:
        args += ["-dispose", "None"]
    im(*(args + list(paths) + [dest]))


# ---------------------------------------------------------------- Moon
def moon_phases():
    size, R = 120, 54.0
    cx = cy = size / 2.0
    # dark "seas" of the visible side: (x, y, rx, ry) in disk radii
    maria = [(-0.35, -0.45, 0.30, 0.22), (0.10, -0.35, 0.17, 0.15),
             (0.30, -0.10, 0.20, 0.17), (0.62, -0.22, 0.12, 0.10),
             (-0.55, 0.05, 0.25, 0.40), (0.25, 0.30, 0.18, 0.12),
             (-0.20, 0.45, 0.12, 0.10)]
    rnd = random.Random(1969)
    craters = [(rnd.uniform(-0.8, 0.8), rnd.uniform(-0.8, 0.8), rnd.uniform(0.04, 0.09))
               for _ in range(14)]
    paths = []
    nframes = 8
    for k in range(nframes):
        th = 2 * math.pi * k / nframes          # 0 = new moon, pi = full
        sx, sz = math.sin(th), -math.cos(th)

        def shade(x, y):
            nx, ny = (x - cx) / R, (y - cy) / R
            d2 = nx * nx + ny * ny
            if d2 > 1.0:
                return None
            nz = math.sqrt(1.0 - d2)
            alb = 0.92
            for mx, my, rx, ry in maria:
                q = ((nx - mx) / rx) ** 2 + ((ny - my) / ry) ** 2
                if q < 1.0:
                    alb -= 0.28 * (1.0 - q) ** 0.5
            crater = 0.0
            for kx, ky, kr in craters:
                q = ((nx - kx) ** 2 + (ny - ky) ** 2) / (kr * kr)
                if q < 1.0:
                    crater += 0.10 * (1.0 - q) if q > 0.5 else -0.04
            lit = clamp((nx * sx + nz * sz) * 8.0 + 0.5)
            light = (235 * (alb + crater), 232 * (alb + crater), 215 * (alb + crater))
            dark = (58 + 14 * alb, 62 + 14 * alb, 78 + 14 * alb)
            return mix(dark, light, lit)
        p = os.path.join(TMP, "moon%02d.pam" % k)
        write_pam(p, size, size, render(size, size, shade))
        paths.append(p)
    frames_to_gif(paths, out("Луна", "phases.gif"), 60)


# ---------------------------------------------------------------- Jupiter
def jupiter_rotation():
    size, R = 130, 60.0
    cx = cy = size / 2.0
    flat = 0.935                                  # Jupiter is visibly oblate
    bands = [(-1.0, (205, 196, 180)), (-0.62, (190, 170, 145)),
             (-0.45, (228, 214, 190)), (-0.30, (176, 132, 96)),
             (-0.16, (236, 226, 206)), (0.02, (232, 218, 196)),
             (0.10, (168, 120, 84)), (0.26, (226, 210, 184)),
             (0.42, (186, 150, 112)), (0.55, (220, 206, 182)),
             (0.72, (180, 164, 140)), (1.0, (196, 188, 176))]

    def band_colour(s):
        for i in range(len(bands) - 1):
            a, ca = bands[i]
            b, cb = bands[i + 1]
            if a <= s <= b:
                t = (s - a) / (b - a)
                t = t * t * (3 - 2 * t)
                return mix(ca, cb, t)
        return bands[-1][1]

    paths = []
    nframes = 12
    for k in range(nframes):
        rot = 2 * math.pi * k / nframes

        def shade(x, y):
            nx, ny = (x - cx) / R, (y - cy) / (R * flat)
            d2 = nx * nx + ny * ny
            if d2 > 1.0:
                return None
            nz = math.sqrt(1.0 - d2)
            lat = math.asin(clamp(ny, -1, 1))
            lon = math.atan2(nx, nz) - rot
            s = ny + 0.025 * math.sin(lon * 5 + ny * 12) + 0.012 * math.sin(lon * 11)
            c = band_colour(s)
            # Great Red Spot, about 22 degrees south (below the equator)
            dl = (lon + math.pi) % (2 * math.pi) - math.pi
            q = (dl / 0.30) ** 2 + ((lat - 0.38) / 0.11) ** 2
            if q < 1.0:
                c = mix(c, (190, 90, 60), (1.0 - q) ** 0.6)
            limb = 0.50 + 0.50 * nz ** 0.6
            return (c[0] * limb, c[1] * limb, c[2] * limb)
        p = os.path.join(TMP, "jup%02d.pam" % k)
        write_pam(p, size, size, render(size, size, shade))
        paths.append(p)
    frames_to_gif(paths, out("Юпитер", "rotation.gif"), 20)


# ---------------------------------------------------------------- Aurora
def aurora():
    w, h = 240, 130
    rnd = random.Random(1859)
    stars = [(rnd.uniform(0, w), rnd.uniform(0, h * 0.8), rnd.uniform(0.4, 1.0))
             for _ in range(70)]
    hills = [h - 18 - 8 * math.sin(i / 23.0) - 5 * math.sin(i / 7.0 + 1)
             for i in range(w + 1)]
    paths = []
    nframes = 10
    for k in range(nframes):
        t = 2 * math.pi * k / nframes
        rows = []
        for j in range(h):
            row = []
            for i in range(w):
                if j > hills[i] or abs(i % 11 - 5) * 2.5 < j - (hills[i] - 12):
                    row.append((8, 14, 16, 255))          # ground and fir trees
                    continue
                sky = mix((4, 8, 28), (18, 32, 66), j / h)
                c = list(sky)
                for sx, sy, sb in stars:
                    if abs(i - sx) < 0.8 and abs(j - sy) < 0.8:
                        tw = 0.6 + 0.4 * math.sin(t + sx)
                        c = [c[n] + 200 * sb * tw for n in range(3)]
                for amp, base, ph, kx, strength in ((12, 70, 0.0, 0.045, 1.0),
                                                   (8, 48, 1.7, 0.07, 0.6)):
                    edge = (base + amp * math.sin(i * kx + t + ph)
                            + 4 * math.sin(i * 0.17 - 2 * t + ph))
                    if j <= edge + 2:
                        up = edge - j                     # height above the lower rim
                        fold = 0.55 + 0.45 * math.sin(i * 0.23 + 3 * math.sin(t + i * 0.02) + ph)
                        e = strength * fold * math.exp(-max(up, 0) / 26.0)
                        if up < 0:
                            e *= clamp(1 + up / 2.0)
                        green = (60, 255, 140)
                        red = (200, 60, 120)
                        col = mix(green, red, clamp(up / 60.0))
                        c = [c[n] + col[n] * e * 0.9 for n in range(3)]
                row.append((c[0], c[1], c[2], 255))
            rows.append(row)
        p = os.path.join(TMP, "aur%02d.pam" % k)
        write_pam(p, w, h, rows)
        paths.append(p)
    frames_to_gif(paths, out("Полярное сияние", "aurora.gif"), 18, transparent=False)


# ---------------------------------------------------------------- Saturn
def saturn():
    w, h = 240, 120
    cx, cy, R = w / 2.0, h / 2.0, 42.0
    tilt = 0.36                                   # how open the rings look

    def ring_colour(r):
        if 1.24 <= r < 1.53:
            return (150, 140, 120), 0.45          # C ring, faint
        if 1.53 <= r < 1.95:
            return (222, 206, 168), 1.0           # B ring, brightest
        if 1.95 <= r < 2.03:
            return None, 0.0                      # Cassini division
        if 2.03 <= r < 2.27:
            return (196, 180, 146), 0.85          # A ring
        return None, 0.0

    def planet(nx, ny):
        d2 = nx * nx + (ny / 0.9) ** 2
        if d2 > 1.0:
            return None
        nz = math.sqrt(1.0 - d2)
        s = ny / 0.9
        base = mix((226, 204, 150), (200, 170, 120), 0.5 + 0.5 * math.sin(s * 9))
        limb = 0.55 + 0.45 * nz ** 0.5
        return (base[0] * limb, base[1] * limb, base[2] * limb)

    def shade(x, y):
        nx, ny = (x - cx) / R, (y - cy) / R
        rv = ny / tilt
        r = math.sqrt(nx * nx + rv * rv)
        rc, op = ring_colour(r)
        p = planet(nx, ny)
        if rc is not None and (p is None or rv > 0):
            # rings in front (lower half) or beside the ball
            under = p if p is not None else None
            if under is None:
                return mix(PAGE_BG, rc, op)
            return mix(under, rc, op)
        return p

    p = os.path.join(TMP, "saturn.pam")
    write_pam(p, w, h, render(w, h, shade, ss=3))
    im(p, out("Сатурн", "saturn.gif"))


# ---------------------------------------------------------------- Mars
def mars():
    size, R = 150, 64.0
    cx = cy = size / 2.0
    dark = [(-0.15, 0.05, 0.22, 0.35), (0.35, -0.15, 0.28, 0.12),
            (-0.45, 0.35, 0.30, 0.10), (0.20, 0.45, 0.35, 0.10)]

    def shade(x, y):
        nx, ny = (x - cx) / R, (y - cy) / R
        d2 = nx * nx + ny * ny
        if d2 > 1.0:
            return (12, 12, 22)
        nz = math.sqrt(1.0 - d2)
        c = (200, 104, 58)
        c = mix(c, (220, 140, 90), 0.5 + 0.5 * math.sin(nx * 7 + ny * 5) * math.sin(ny * 9))
        for mx, my, rx, ry in dark:
            q = ((nx - mx) / rx) ** 2 + ((ny - my) / ry) ** 2
            if q < 1.0:
                c = mix(c, (120, 62, 40), 0.6 * (1 - q) ** 0.7)
        if ny < -0.80 + 0.05 * math.sin(nx * 9):
            c = mix(c, (250, 250, 248), clamp((-0.80 - ny) * 12))   # polar cap
        sun = clamp(0.35 + 0.85 * (nz * 0.8 - nx * 0.35 - ny * 0.2))
        return (c[0] * sun + 18 * nz, c[1] * sun + 8 * nz, c[2] * sun + 6 * nz)

    p = os.path.join(TMP, "mars.pam")
    write_pam(p, size, size, render(size, size, shade, ss=2, transparent=False))
    im(p, "-alpha", "off", "-type", "TrueColor", "BMP3:" + out("Марс", "mars.bmp"))


# ---------------------------------------------------------------- Solar system orbits
def orbits():
    s, c = 260, 130
    au = 70.0
    planets = [("Меркурий", 0.39, 150, "#B0A898", 3),
               ("Венера", 0.72, 130, "#E8D8A0", 4),
               ("Земля", 1.00, 40, "#4A90E0", 4),
               ("Марс", 1.52, 305, "#D0603A", 4)]
    d = ["-size", "%dx%d" % (s, s), "radial-gradient:#1A2448-#04060F"]
    rnd = random.Random(7)
    draw = []
    for _ in range(80):
        x, y = rnd.randrange(s), rnd.randrange(s)
        draw.append("fill #%02X%02X%02X point %d,%d" % ((rnd.randrange(90, 200),) * 3 + (x, y)))
    for name, a, ang, col, r in planets:
        rad = a * au
        draw.append("fill none stroke #5A6A90 stroke-width 1 circle %d,%d %d,%d"
                    % (c, c, c + rad, c))
    for name, a, ang, col, r in planets:
        rad = a * au
        x = c + rad * math.cos(math.radians(ang))
        y = c - rad * math.sin(math.radians(ang))
        draw.append("fill %s stroke none circle %.1f,%.1f %.1f,%.1f" % (col, x, y, x + r, y))
    d += ["-draw", " ".join(draw)]
    # the Sun with a soft glow
    glow = os.path.join(TMP, "glow.miff")
    im("-size", "%dx%d" % (s, s), "xc:none", "-fill", "#FFD040",
       "-draw", "circle %d,%d %d,%d" % (c, c, c + 13, c), "-blur", "0x6", glow)
    tmp = os.path.join(TMP, "orbits.miff")
    im(*(d + [glow, "-composite",
              "-fill", "#FFF2A0", "-draw", "circle %d,%d %d,%d" % (c, c, c + 8, c),
              tmp]))
    label = ["-font", FONT, "-pointsize", "10", "-fill", "#D8E0F0"]
    for name, a, ang, col, r in planets:
        rad = a * au
        x = c + rad * math.cos(math.radians(ang))
        y = c - rad * math.sin(math.radians(ang))
        dx = 7 if math.cos(math.radians(ang)) >= -0.3 else -7 - 6 * len(name)
        label += ["-annotate", "+%d+%d" % (x + dx, y + 4), name]
    label += ["-fill", "#FFE070", "-annotate", "+%d+%d" % (c - 18, c + 20), "Солнце"]
    label += ["-fill", "#8090B0", "-pointsize", "9",
              "-annotate", "+6+%d" % (s - 8), "масштаб: 1 а. е. = 70 точек"]
    im(*([tmp] + label + ["-alpha", "off", "-type", "TrueColor",
                          "BMP3:" + out("Солнечная система", "orbits.bmp")]))


# ---------------------------------------------------------------- Earth interior
def earth_layers():
    w, h, c, R = 310, 200, 100, 90
    layers = [(R, "#7A5A3A"), (R - 4, "#C8502A"), (int(R * 0.896), "#D9702E"),
              (int(R * 0.546), "#F0A030"), (int(R * 0.19), "#FFF0A0")]
    draw = []
    for r, col in layers:
        draw.append("fill %s circle %d,%d %d,%d" % (col, c, h // 2, c + r, h // 2))
    # a blue-green skin on the left half to hint at oceans and land
    # (drawn as short straight pieces: this ImageMagick closes open arcs)
    arc = ["stroke #3C7AC8 stroke-width 3"]
    for d in range(100, 260, 5):
        p1 = (c + (R - 1) * math.cos(math.radians(d)), h // 2 + (R - 1) * math.sin(math.radians(d)))
        p2 = (c + (R - 1) * math.cos(math.radians(d + 5)), h // 2 + (R - 1) * math.sin(math.radians(d + 5)))
        arc.append("line %.1f,%.1f %.1f,%.1f" % (p1 + p2))
    draw.append(" ".join(arc))
    y0 = h // 2
    lines = [("земная кора", R - 1, -60, 28), ("мантия", int(R * 0.8), -20, 70),
             ("внешнее ядро", int(R * 0.47), 15, 112), ("внутреннее ядро", int(R * 0.1), 40, 154)]
    stroke = []
    text = ["-font", FONT, "-pointsize", "11", "-fill", "#202020", "-stroke", "none"]
    for name, r, ang, ty in lines:
        x = c + r * math.cos(math.radians(ang))
        y = y0 + r * math.sin(math.radians(ang))
        stroke.append("line %.0f,%.0f %d,%d" % (x, y, 196, ty))
        text += ["-annotate", "+%d+%d" % (199, ty + 4), name]
    im("-size", "%dx%d" % (w, h), "xc:" + PAGE_BG_HEX, "-draw", " ".join(draw),
       "-fill", "none", "-stroke", "#404040", "-strokewidth", "1",
       "-draw", " ".join(stroke), *text,
       "-alpha", "off", "-type", "TrueColor", "BMP3:" + out("Земля", "layers.bmp"))


# ---------------------------------------------------------------- Sun structure
def sun_structure():
    s, c, R = 240, 110, 84
    tmp = os.path.join(TMP, "sun.miff")
    im("-size", "%dx%d" % (s, s), "xc:#0A0A18",
       "-fill", "#FF9A20", "-draw", "circle %d,%d %d,%d" % (c, c, c + R + 10, c),
       "-blur", "0x9",
       "-fill", "#F08A1A", "-draw", "circle %d,%d %d,%d" % (c, c, c + R, c),
       "-fill", "#FFB030", "-draw", "circle %d,%d %d,%d" % (c, c, c + R - 10, c),
       "-fill", "#FFC848", "-draw", "circle %d,%d %d,%d" % (c, c, c + R - 25, c),
       tmp)
    # a cut-away quarter shows the layers
    def wedge(r, col):
        return ("fill %s path 'M %d,%d L %d,%d A %d,%d 0 0,1 %d,%d Z'"
                % (col, c, c, c + r, c, r, r, c, c + r))
    cells = []
    for k in range(9):
        a = math.radians(5 + k * 10)
        rr = R * 0.85
        x, y = c + rr * math.cos(a), c + rr * math.sin(a)
        cells.append("fill none stroke #C85010 stroke-width 1 circle %.1f,%.1f %.1f,%.1f"
                     % (x, y, x + 6, y))
    draw = " ".join([wedge(R, "#E0701A"), " ".join(cells),
                     "stroke none", wedge(int(R * 0.70), "#FFB038"),
                     wedge(int(R * 0.25), "#FFF6C0")])
    im(tmp, "-draw", draw,
       "-font", FONT, "-pointsize", "10", "-fill", "#FFFFFF",
       "-fill", "#602000", "-pointsize", "9",
       "-annotate", "+%d+%d" % (c + 2, c + 12), "ядро",
       "-annotate", "+%d+%d" % (c + 20, c + 36), "лучистая",
       "-annotate", "+%d+%d" % (c + 26, c + 46), "зона",
       "-fill", "#FFE8C0", "-pointsize", "10",
       "-annotate", "+%d+%d" % (c - 20, c + R + 24), "конвективная зона",
       "-annotate", "+8+16", "фотосфера",
       "-stroke", "#FFE8C0", "-draw", "line %d,%d %d,%d line 40,20 %d,%d"
       % (c + 40, c + R - 12, c + 20, c + R + 14, c - 48, c - 60),
       "-quality", "88", out("Солнце", "structure.jpg"))


# ---------------------------------------------------------------- Elbrus
def elbrus():
    w, h = 260, 150
    ridge = [(0, 118), (30, 108), (55, 96), (80, 70), (100, 48), (114, 30),
             (124, 24), (134, 33), (146, 44), (158, 36), (168, 27), (178, 30),
             (194, 50), (215, 80), (240, 100), (260, 108)]
    snow = [(84, 66), (100, 48), (114, 30), (124, 24), (134, 33), (146, 44),
            (158, 36), (168, 27), (178, 30), (194, 50), (206, 66),
            (196, 70), (186, 62), (176, 74), (166, 62), (152, 74), (140, 62),
            (128, 76), (116, 62), (104, 78), (94, 64)]
    poly = " ".join("%d,%d" % p for p in ridge + [(260, 150), (0, 150)])
    spoly = " ".join("%d,%d" % p for p in snow)
    front = " ".join("%d,%d" % p for p in
                     [(0, 120), (40, 112), (70, 124), (110, 116), (150, 128),
                      (200, 114), (260, 122), (260, 150), (0, 150)])
    im("-size", "%dx%d" % (w, h), "gradient:#3F7FC8-#DCEAF8",
       "-fill", "#8896A8", "-draw", "polygon " + poly,
       "-fill", "#F4F8FF", "-draw", "polygon " + spoly,
       "-fill", "#4E6A3A", "-draw", "polygon " + front,
       "-font", FONT, "-pointsize", "10", "-fill", "#10284A",
       "-annotate", "+92+18", "5642 м",
       "-annotate", "+170+20", "5621 м",
       "-pointsize", "9", "-fill", "#F0F0E0",
       "-annotate", "+6+142", "схема: вид с юга",
       "-quality", "90", out("Эльбрус", "elbrus.jpg"))


# ---------------------------------------------------------------- Baikal
def baikal():
    k, w, h = 46.0, 210, 240
    lon0, lat0, cosl = 102.9, 56.1, math.cos(math.radians(53.5))

    def xy(lon, lat):
        return ((lon - lon0) * cosl * k, (lat0 - lat) * k)

    # axis of the lake (lon, lat, half width in km)
    axis = [(103.72, 51.70, 8), (104.3, 51.62, 16), (104.9, 51.80, 20),
            (105.6, 52.05, 24), (106.3, 52.50, 30), (106.9, 52.95, 32),
            (107.6, 53.45, 38), (108.2, 54.00, 38), (108.8, 54.60, 35),
            (109.2, 55.20, 28), (109.45, 55.70, 14), (109.55, 55.86, 4)]
    left, right = [], []
    kmpx = k / 111.0
    for i, (lon, lat, hw) in enumerate(axis):
        a = axis[max(i - 1, 0)]
        b = axis[min(i + 1, len(axis) - 1)]
        ax, ay = xy(a[0], a[1])
        bx, by = xy(b[0], b[1])
        dx, dy = bx - ax, by - ay
        n = math.hypot(dx, dy)
        px, py = -dy / n, dx / n
        x, y = xy(lon, lat)
        left.append((x + px * hw * kmpx, y + py * hw * kmpx))
        right.append((x - px * hw * kmpx, y - py * hw * kmpx))
    lake = " ".join("%.1f,%.1f" % p for p in left + right[::-1])
    olkhon = [xy(106.45, 52.98), xy(106.9, 53.18), xy(107.5, 53.45),
              xy(107.75, 53.42), xy(107.1, 53.08), xy(106.6, 52.93)]
    ol = " ".join("%.1f,%.1f" % p for p in olkhon)

    def path(pts):
        return " ".join("%.1f,%.1f" % xy(*p) for p in pts)
    angara = path([(104.85, 51.87), (104.5, 52.1), (104.28, 52.28), (103.9, 52.8),
                   (103.4, 53.6), (103.0, 54.4)])
    selenga = path([(106.3, 52.25), (106.7, 51.8), (107.3, 51.6), (107.6, 51.2)])
    barguzin = path([(109.0, 53.45), (109.6, 53.8), (110.0, 54.2)])
    upper = path([(109.45, 55.78), (110.0, 55.9), (110.6, 56.05)])
    ix, iy = xy(104.28, 52.28)
    sx, sy = 12, h - 14
    bar = 100 * kmpx
    im("-size", "%dx%d" % (w, h), "gradient:#E6EED2-#D2DEB4",
       "-fill", "none", "-stroke", "#3A78C0", "-strokewidth", "2",
       "-draw", "polyline " + angara, "-draw", "polyline " + selenga,
       "-draw", "polyline " + barguzin, "-draw", "polyline " + upper,
       "-stroke", "#2E5E9E", "-strokewidth", "1", "-fill", "#6FA4DC",
       "-draw", "polygon " + lake,
       "-stroke", "#6B5A3A", "-fill", "#D8CFA0", "-draw", "polygon " + ol,
       "-stroke", "none", "-fill", "#A02020",
       "-draw", "circle %.1f,%.1f %.1f,%.1f" % (ix, iy, ix + 2.5, iy),
       "-fill", "#202020",
       "-draw", "rectangle %d,%d %.0f,%d" % (sx, sy, sx + bar, sy + 3),
       "-font", FONT, "-pointsize", "10",
       "-annotate", "+%d+%d" % (sx, sy - 4), "100 км",
       "-annotate", "+%.0f+%.0f" % (ix - 30, iy + 15), "Иркутск",
       "-fill", "#1E4E8E", "-font", FONT_B, "-pointsize", "12",
       "-annotate", "+%.0f+%.0f" % xy(107.2, 54.25), "Байкал",
       "-font", FONT, "-pointsize", "10", "-fill", "#1E4E8E",
       "-annotate", "+%.0f+%.0f" % xy(103.05, 53.3), "Ангара",
       "-annotate", "+%.0f+%.0f" % xy(106.6, 51.45), "Селенга",
       "-annotate", "+%.0f+%.0f" % xy(108.6, 53.05), "Баргузин",
       "-fill", "#5A4A20",
       "-annotate", "+%.0f+%.0f" % xy(104.7, 53.45), "о. Ольхон",
       "-stroke", "#5A4A20", "-draw", "line %.0f,%.0f %.0f,%.0f" % (xy(105.9, 53.35) + xy(106.8, 53.15)),
       "-stroke", "#202020", "-strokewidth", "1.5",
       "-draw", "line %d,%d %d,%d" % (16, 30, 16, 10),
       "-draw", "polygon %d,%d %d,%d %d,%d" % (16, 6, 12, 14, 20, 14),
       "-stroke", "none", "-annotate", "+%d+%d" % (12, 42), "С",
       "-quality", "88", out("Байкал", "map.jpg"))


# ---------------------------------------------------------------- Comet
def comet():
    w, h = 260, 130
    hx, hy = 58, 84
    rnd = random.Random(1986)
    stars = " ".join("fill #%02X%02X%02X point %d,%d" % ((rnd.randrange(100, 230),) * 3
                     + (rnd.randrange(w), rnd.randrange(h))) for _ in range(90))
    dust = os.path.join(TMP, "dust.miff")
    im("-size", "%dx%d" % (w, h), "xc:none", "-fill", "#F4E4B0",
       "-draw", "path 'M %d,%d Q 150,66 255,8 L 258,52 Q 150,92 %d,%d Z'"
       % (hx, hy - 2, hx, hy + 2), "-channel", "A", "-evaluate", "multiply", "0.6",
       "+channel", "-blur", "0x5", dust)
    ion = os.path.join(TMP, "ion.miff")
    im("-size", "%dx%d" % (w, h), "xc:none", "-stroke", "#8EC8FF", "-strokewidth", "3",
       "-draw", "line %d,%d %d,%d" % (hx, hy, w, hy - 18),
       "-blur", "0x2", ion)
    im("-size", "%dx%d" % (w, h), "gradient:#0A1230-#020308", "-draw", stars,
       dust, "-composite", ion, "-composite",
       "-fill", "#FFFFFF", "-draw", "circle %d,%d %d,%d" % (hx, hy, hx + 3, hy),
       "-blur", "0x0.7",
       "-fill", "#FFFBE8", "-draw", "circle %d,%d %d,%d" % (hx, hy, hx + 2, hy),
       "-font", FONT, "-pointsize", "10", "-fill", "#F4E4B0",
       "-annotate", "+150+24", "пылевой хвост",
       "-fill", "#A8D4FF", "-annotate", "+120+96", "газовый (ионный) хвост",
       "-fill", "#FFE070", "-annotate", "+6+124", "← к Солнцу",
       "-quality", "88", out("Кометы", "comet.jpg"))


# ---------------------------------------------------------------- Water molecule
def water():
    w, h = 200, 150
    ox, oy = 100, 58
    ang = math.radians(104.5 / 2)
    L = 50
    h1 = (ox - L * math.sin(ang), oy + L * math.cos(ang))
    h2 = (ox + L * math.sin(ang), oy + L * math.cos(ang))

    def ball(x, y, r, cols):
        parts = []
        n = len(cols)
        for i, col in enumerate(cols):
            rr = r * (1 - i / float(n + 0.6))
            dx = -(r - rr) * 0.45
            parts.append("fill %s circle %.1f,%.1f %.1f,%.1f" % (col, x + dx, y + dx, x + dx + rr, y + dx))
        return " ".join(parts)
    draw = " ".join([
        "stroke #808080 stroke-width 6 line %.1f,%.1f %d,%d line %.1f,%.1f %d,%d stroke none"
        % (h1[0], h1[1], ox, oy, h2[0], h2[1], ox, oy),
        ball(h1[0], h1[1], 17, ["#A8B0C0", "#C8D0DC", "#E4E8F0", "#FFFFFF"]),
        ball(h2[0], h2[1], 17, ["#A8B0C0", "#C8D0DC", "#E4E8F0", "#FFFFFF"]),
        ball(ox, oy, 27, ["#A82020", "#C83A30", "#E0604E", "#F49A88", "#FFD8D0"]),
    ])
    arc = ("fill none stroke #1F3F7F stroke-width 1 arc %d,%d %d,%d %.1f,%.1f"
           % (ox - 40, oy - 40, ox + 40, oy + 40, 90 - 52.25, 90 + 52.25))
    tmp = os.path.join(TMP, "water.miff")
    im("-size", "%dx%d" % (w, h), "xc:" + PAGE_BG_HEX, "-draw", arc, "-draw", draw,
       "-font", FONT_B, "-pointsize", "16", "-fill", "#FFFFFF",
       "-annotate", "+%d+%d" % (ox - 6, oy + 6), "O",
       "-fill", "#303848",
       "-annotate", "+%.0f+%.0f" % (h1[0] - 5, h1[1] + 6), "H",
       "-annotate", "+%.0f+%.0f" % (h2[0] - 5, h2[1] + 6), "H",
       "-font", FONT, "-pointsize", "11", "-fill", "#1F3F7F",
       "-annotate", "+%d+%d" % (ox - 16, oy + 62), "104,5°",
       "-annotate", "+%.0f+%.0f" % ((h2[0] + ox) / 2 + 10, (h2[1] + oy) / 2 - 4), "0,096 нм",
       tmp)
    im(tmp, "-transparent", PAGE_BG_HEX, out("Вода", "molecule.gif"))


# ---------------------------------------------------------------- Periodic table blocks
def periodic_blocks():
    cell, gap = 11, 1
    w, h = 18 * (cell + gap) + 8, 10 * (cell + gap) + 22
    colours = {"s": "#E88A8A", "p": "#F0D070", "d": "#8AB4E8", "f": "#9AD89A"}
    layout = [
        "s" + " " * 16 + "s",
        "ss" + " " * 10 + "pppppp",
        "ss" + " " * 10 + "pppppp",
        "ss" + "d" * 10 + "pppppp",
        "ss" + "d" * 10 + "pppppp",
        "ss*" + "d" * 9 + "pppppp",
        "ss*" + "d" * 9 + "pppppp",
    ]
    draw = []
    for r, line in enumerate(layout):
        for col, ch in enumerate(line):
            if ch == " ":
                continue
            fill = colours["f"] if ch == "*" else colours[ch]
            x, y = 4 + col * (cell + gap), 4 + r * (cell + gap)
            draw.append("fill %s rectangle %d,%d %d,%d" % (fill, x, y, x + cell - 1, y + cell - 1))
    for r in range(2):
        for col in range(14):
            x, y = 4 + (col + 3) * (cell + gap), 4 + (r + 7) * (cell + gap) + 6
            draw.append("fill %s rectangle %d,%d %d,%d" % (colours["f"], x, y, x + cell - 1, y + cell - 1))
    tmp = os.path.join(TMP, "pt.miff")
    im("-size", "%dx%d" % (w, h), "xc:" + PAGE_BG_HEX, "-stroke", "#606060",
       "-strokewidth", "1", "-draw", " ".join(draw), "-stroke", "none",
       "-font", FONT_B, "-pointsize", "10", "-fill", "#303030",
       "-annotate", "+10+102", "s", "-annotate", "+86+36", "d",
       "-annotate", "+178+12", "p", "-annotate", "+28+112", "f",
       tmp)
    im(tmp, "-transparent", PAGE_BG_HEX, out("Периодическая система", "blocks.gif"))


def main():
    if not shutil.which("convert"):
        sys.exit("ImageMagick 'convert' is required")
    try:
        for job in (moon_phases, jupiter_rotation, aurora, saturn, mars, orbits,
                    earth_layers, sun_structure, elbrus, baikal, comet, water,
                    periodic_blocks):
            job()
            print("done:", job.__name__)
    finally:
        shutil.rmtree(TMP, ignore_errors=True)


if __name__ == "__main__":
    main()
