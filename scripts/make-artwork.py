#!/usr/bin/env python3
"""Draws the dialogs' artwork: the side picture (bitmap 133) and the
application icon (icon 128).

    python3 scripts/make-artwork.py [OUTPUT-DIR]

writes broom.bmp (160 x 312, 24-bit) and zentacleanup.ico (32 x 32 and
16 x 16, 32-bit with alpha and an AND mask) into OUTPUT-DIR, by default
src/ui/res next to this script. Standard library only; the same script
writes the same bytes on every machine, so the files in the repository
can be checked against it.
"""

import math
import os
import struct
import sys

# ---------------------------------------------------------------------------
# A small canvas with anti-aliased shapes (supersampled coverage).

SUBSAMPLES = 4  # per axis


class Canvas:
    def __init__(self, width, height, background=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        # Premultiplied-free RGBA floats in 0..1, row 0 at the top.
        self.px = [[list(background) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, color, coverage):
        r, g, b, a = color
        a *= coverage
        if a <= 0.0:
            return
        dst = self.px[y][x]
        out_a = a + dst[3] * (1.0 - a)
        if out_a <= 0.0:
            return
        for i, c in enumerate((r, g, b)):
            dst[i] = (c * a + dst[i] * dst[3] * (1.0 - a)) / out_a
        dst[3] = out_a

    def fill(self, shape, color):
        """Paints `shape` (inside(x, y) and bbox()) with `color`, a tuple or
        a function of the pixel centre returning one."""
        x0, y0, x1, y1 = shape.bbox()
        x0 = max(0, int(math.floor(x0)))
        y0 = max(0, int(math.floor(y0)))
        x1 = min(self.width, int(math.ceil(x1)) + 1)
        y1 = min(self.height, int(math.ceil(y1)) + 1)
        n = SUBSAMPLES
        offsets = [(i + 0.5) / n for i in range(n)]
        for py in range(y0, y1):
            for px in range(x0, x1):
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if shape.inside(px + ox, py + oy):
                            hits += 1
                if hits:
                    c = color(px + 0.5, py + 0.5) if callable(color) else color
                    self.blend(px, py, c, hits / (n * n))

    def rgb_bytes(self, row):
        """One row as 8-bit (r, g, b, a) tuples."""
        return [tuple(to_byte(v) for v in p) for p in self.px[row]]


def to_byte(v):
    return max(0, min(255, int(round(v * 255.0))))


def rgb(hex_text, alpha=1.0):
    v = int(hex_text.lstrip("#"), 16)
    return ((v >> 16) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0, alpha)


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c1, c2))


class Polygon:
    def __init__(self, points):
        self.points = points

    def bbox(self):
        xs = [p[0] for p in self.points]
        ys = [p[1] for p in self.points]
        return min(xs), min(ys), max(xs), max(ys)

    def inside(self, x, y):
        result = False
        pts = self.points
        j = len(pts) - 1
        for i in range(len(pts)):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result


class Capsule:
    """A line segment with round ends, `radius` wide on each side."""

    def __init__(self, p0, p1, radius):
        self.p0, self.p1, self.r = p0, p1, radius
        dx, dy = p1[0] - p0[0], p1[1] - p0[1]
        self.dx, self.dy = dx, dy
        self.len2 = dx * dx + dy * dy

    def bbox(self):
        r = self.r
        return (min(self.p0[0], self.p1[0]) - r, min(self.p0[1], self.p1[1]) - r,
                max(self.p0[0], self.p1[0]) + r, max(self.p0[1], self.p1[1]) + r)

    def inside(self, x, y):
        px, py = x - self.p0[0], y - self.p0[1]
        t = 0.0 if self.len2 == 0 else max(0.0, min(1.0, (px * self.dx + py * self.dy) / self.len2))
        ex, ey = px - t * self.dx, py - t * self.dy
        return ex * ex + ey * ey <= self.r * self.r


class Ellipse:
    def __init__(self, cx, cy, rx, ry):
        self.cx, self.cy, self.rx, self.ry = cx, cy, rx, ry

    def bbox(self):
        return self.cx - self.rx, self.cy - self.ry, self.cx + self.rx, self.cy + self.ry

    def inside(self, x, y):
        ex, ey = (x - self.cx) / self.rx, (y - self.cy) / self.ry
        return ex * ex + ey * ey <= 1.0


class Rect:
    def __init__(self, x0, y0, x1, y1):
        self.box = (x0, y0, x1, y1)

    def bbox(self):
        return self.box

    def inside(self, x, y):
        x0, y0, x1, y1 = self.box
        return x0 <= x < x1 and y0 <= y < y1


class Random:
    """A fixed linear congruential sequence, so that the strands are the
    same on every run."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.state / 4294967296.0

    def between(self, lo, hi):
        return lo + (hi - lo) * self.next()


# ---------------------------------------------------------------------------
# The broom, drawn in its own frame: u runs along the handle from its top
# end down to the bristle tips, v across it. A frame places it on a canvas.

WOOD_LIGHT = rgb("#D9A066")
WOOD_DARK = rgb("#8A5328")
WOOD_EDGE = rgb("#5E3517")
CAP = rgb("#B8322A")
CAP_LIGHT = rgb("#E0675C")
BAND = rgb("#2F5E9E")
BAND_LIGHT = rgb("#6C9AD6")
BAND_DARK = rgb("#1D3C68")
STRAW = rgb("#D8A93C")
STRAW_LIGHT = rgb("#F4D675")
STRAW_DARK = rgb("#A9761E")
STITCH = rgb("#9C2A22")


class Frame:
    def __init__(self, origin, angle_degrees, scale):
        a = math.radians(angle_degrees)
        self.ox, self.oy = origin
        self.d = (-math.sin(a), math.cos(a))  # along the handle, downwards
        self.n = (math.cos(a), math.sin(a))   # across it
        self.s = scale

    def world(self, u, v):
        s = self.s
        return (self.ox + s * (u * self.d[0] + v * self.n[0]),
                self.oy + s * (u * self.d[1] + v * self.n[1]))

    def local(self, x, y):
        px, py = x - self.ox, y - self.oy
        s = self.s
        return ((px * self.d[0] + py * self.d[1]) / s, (px * self.n[0] + py * self.n[1]) / s)

    def poly(self, points):
        return Polygon([self.world(u, v) for u, v in points])


def draw_broom(canvas, frame, detail):
    """Draws the broom. In frame units the handle is 118 long and the
    bristles reach u = 206; `detail` False leaves out what a small icon
    cannot show."""
    handle_end = 118.0
    band_top, band_bottom = handle_end - 2.0, handle_end + 16.0
    tips = 206.0
    rh = 5.0 if detail else 9.0

    def wood(x, y):
        _, v = frame.local(x, y)
        t = (v + rh * 0.45) / (rh * 1.45)  # lightest a little left of the axis
        return mix(WOOD_LIGHT, WOOD_DARK, abs(t) ** 1.2 if t > 0 else min(1.0, -t * 2.2))

    # Handle with a darker outline.
    p0, p1 = frame.world(4.0, 0.0), frame.world(handle_end, 0.0)
    canvas.fill(Capsule(p0, p1, (rh + 0.9) * frame.s), WOOD_EDGE)
    canvas.fill(Capsule(p0, p1, rh * frame.s), wood)
    if detail:
        # Wood grain: two faint lines along the handle.
        for v, u0, u1 in ((-1.6, 20.0, 70.0), (1.8, 55.0, 108.0)):
            canvas.fill(Capsule(frame.world(u0, v), frame.world(u1, v), 0.35 * frame.s), rgb("#8A5328", 0.45))

    # Red cap at the top end.
    cap_r = rh + 1.2
    canvas.fill(Capsule(frame.world(2.0, 0.0), frame.world(12.0, 0.0), (cap_r + 0.8) * frame.s), rgb("#6E1A14"))
    canvas.fill(Capsule(frame.world(2.0, 0.0), frame.world(12.0, 0.0), cap_r * frame.s),
                lambda x, y: mix(CAP_LIGHT, CAP, (frame.local(x, y)[1] + cap_r * 0.5) / (cap_r * 1.3)))

    # Bristles: the fan body, then the strands over it.
    top_w, bottom_w = 13.0, 44.0
    body = [(band_bottom - 1.0, -top_w), (band_bottom - 1.0, top_w)]
    tip_points = []
    steps = 12
    rnd = Random(20110523)
    for i in range(steps + 1):
        v = bottom_w - 2.0 * bottom_w * i / steps
        bulge = 5.0 * (1.0 - (v / bottom_w) ** 2)  # the middle reaches further
        tip_points.append((tips + bulge + (rnd.between(-2.0, 2.0) if 0 < i < steps else -3.0), v))
    body = [body[0]] + [(band_bottom + 22.0, -top_w - 6.0)] + tip_points[::-1] + \
           [(band_bottom + 22.0, top_w + 6.0), body[1]]
    canvas.fill(frame.poly(body), STRAW_DARK)

    inner = []
    for u, v in body:
        inner.append((u - (2.0 if u > tips - 10.0 else 0.0), v * 0.93))
    canvas.fill(frame.poly(inner),
                lambda x, y: mix(STRAW_LIGHT, STRAW, (frame.local(x, y)[1] + bottom_w * 0.3) / (bottom_w * 1.1)))

    strands = 34 if detail else 9
    width = 0.55 if detail else 1.4
    for i in range(strands):
        t = (i + 0.5) / strands
        v0 = -top_w + 2.0 * top_w * t
        v1 = -bottom_w + 2.0 * bottom_w * t + rnd.between(-1.5, 1.5)
        bulge = 5.0 * (1.0 - (v1 / bottom_w) ** 2)
        u1 = tips + bulge + rnd.between(-4.0, 1.0)
        light = rnd.next() < 0.5
        color = STRAW_LIGHT if light else STRAW_DARK
        if not detail:
            color = STRAW_DARK
        canvas.fill(Capsule(frame.world(band_bottom + 2.0, v0), frame.world(u1, v1), width * frame.s),
                    color[:3] + (0.85,))

    # Two stitch rows across the bristles.
    if detail:
        for u, half in ((band_bottom + 14.0, top_w + 4.2), (band_bottom + 24.0, top_w + 7.4)):
            canvas.fill(Capsule(frame.world(u, -half), frame.world(u + 0.4, half), 1.1 * frame.s), STITCH)
            for k in range(-3, 4):
                vv = k * half / 3.6
                canvas.fill(Capsule(frame.world(u - 1.8, vv), frame.world(u + 1.8, vv), 0.5 * frame.s), STITCH)

    # The band that ties the bristles to the handle.
    bw0, bw1 = rh + 3.0, top_w + 1.0
    band = frame.poly([(band_top, -bw0), (band_top, bw0), (band_bottom, bw1), (band_bottom, -bw1)])
    outline = frame.poly([(band_top - 1.0, -bw0 - 1.0), (band_top - 1.0, bw0 + 1.0),
                          (band_bottom + 1.0, bw1 + 1.0), (band_bottom + 1.0, -bw1 - 1.0)])
    canvas.fill(outline, BAND_DARK)
    canvas.fill(band, lambda x, y: mix(BAND_LIGHT, BAND, (frame.local(x, y)[1] + bw1 * 0.5) / (bw1 * 1.2)))
    if detail:
        for u in (band_top + 5.0, band_top + 11.0):
            half = bw0 + (bw1 - bw0) * (u - band_top) / (band_bottom - band_top)
            canvas.fill(Capsule(frame.world(u, -half), frame.world(u, half), 0.8 * frame.s), BAND_DARK)


def draw_sparkle(canvas, cx, cy, size, color):
    """A four-pointed star."""
    w = size * 0.22
    canvas.fill(Polygon([(cx, cy - size), (cx + w, cy - w), (cx + size, cy), (cx + w, cy + w),
                         (cx, cy + size), (cx - w, cy + w), (cx - size, cy), (cx - w, cy - w)]), color)


# ---------------------------------------------------------------------------
# The bitmap font: 5 columns, 7 rows above the base line and 2 below.
# Each glyph is smoothed once with the EPX (Scale2x) rule, so that its
# diagonals stay clean when it is drawn larger.

GLYPHS = {
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####", ".....", "....."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####", ".....", "....."],
    "N": ["#...#", "##..#", "#.#.#", "#.#.#", "#..##", "#...#", "#...#", ".....", "....."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", ".....", "....."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#", ".....", "....."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###.", ".....", "....."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###.", ".....", "....."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####", ".....", "....."],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#", ".....", "....."],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#", ".....", "....."],
    "p": [".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###.", ".....", "....."],
    " ": ["...", "...", "...", "...", "...", "...", "...", "...", "..."],
}


def epx(rows):
    """Scale2x: each pixel becomes four, rounding off the stair steps."""
    h, w = len(rows), len(rows[0])

    def at(x, y):
        return 0 <= x < w and 0 <= y < h and rows[y][x] == "#"

    out = [[False] * (2 * w) for _ in range(2 * h)]
    for y in range(h):
        for x in range(w):
            p = at(x, y)
            a, b, c, d = at(x, y - 1), at(x + 1, y), at(x - 1, y), at(x, y + 1)
            e0 = a if (c == a and c != d and a != b) else p
            e1 = b if (a == b and a != c and b != d) else p
            e2 = c if (d == c and d != b and c != a) else p
            e3 = d if (b == d and b != a and d != c) else p
            out[2 * y][2 * x], out[2 * y][2 * x + 1] = e0, e1
            out[2 * y + 1][2 * x], out[2 * y + 1][2 * x + 1] = e2, e3
    return out


SMOOTH = {ch: epx(rows) for ch, rows in GLYPHS.items()}


def text_width(text, scale):
    """Width in pixels: each glyph's smoothed columns times `scale`, with
    two smoothed columns between glyphs."""
    cols = sum(len(SMOOTH[ch][0]) for ch in text) + 2 * (len(text) - 1)
    return cols * scale


def draw_text(canvas, text, left, top, scale, color, shadow=None):
    for dx, dy, c in ([(scale * 0.5, scale * 0.5, shadow)] if shadow else []) + [(0, 0, color)]:
        x = left + dx
        for ch in text:
            grid = SMOOTH[ch]
            for gy, row in enumerate(grid):
                for gx, on in enumerate(row):
                    if on:
                        canvas.fill(Rect(x + gx * scale, top + dy + gy * scale,
                                         x + (gx + 1) * scale, top + dy + (gy + 1) * scale), c)
            x += (len(grid[0]) + 2) * scale


# ---------------------------------------------------------------------------
# The side picture.

PICTURE_W, PICTURE_H = 160, 312


def make_picture():
    top, bottom = rgb("#FFFFFF"), rgb("#D7E4F4")
    canvas = Canvas(PICTURE_W, PICTURE_H)
    for y in range(PICTURE_H):
        c = mix(top, bottom, y / (PICTURE_H - 1))
        for x in range(PICTURE_W):
            canvas.px[y][x] = list(c)

    # Floor shadow and swept dust, then the broom over them.
    canvas.fill(Ellipse(74.0, 216.0, 50.0, 6.5), rgb("#7D8CA3", 0.35))
    rnd = Random(7)
    for _ in range(16):
        canvas.fill(Ellipse(rnd.between(14.0, 44.0), rnd.between(206.0, 218.0), 1.3, 1.1), rgb("#8E8474", 0.8))
    frame = Frame((121.0, 10.0), 17.0, 1.0)
    draw_broom(canvas, frame, detail=True)
    draw_sparkle(canvas, 128.0, 178.0, 8.0, rgb("#FFFFFF"))
    draw_sparkle(canvas, 128.0, 178.0, 6.0, rgb("#F6C945"))
    draw_sparkle(canvas, 143.0, 196.0, 5.0, rgb("#F6C945"))
    draw_sparkle(canvas, 116.0, 201.0, 3.5, rgb("#F6C945"))

    # The tool's name.
    navy, shade = rgb("#1F3A68"), rgb("#9FB4D3")
    w = text_width("ZENTA", 2)
    draw_text(canvas, "ZENTA", (PICTURE_W - w) // 2, 236, 2, navy, shade)
    canvas.fill(Rect(22, 272, PICTURE_W - 22, 273), rgb("#1F3A68", 0.5))
    w = text_width("Cleanup Tool", 1)
    draw_text(canvas, "Cleanup Tool", (PICTURE_W - w) // 2, 280, 1, navy)
    return canvas


def bmp_24(canvas):
    row_bytes = (canvas.width * 3 + 3) & ~3
    image = bytearray()
    for y in range(canvas.height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for r, g, b, _ in canvas.rgb_bytes(y):
            row += bytes((b, g, r))
        row += b"\0" * (row_bytes - len(row))
        image += row
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
    return header + info + bytes(image)


# ---------------------------------------------------------------------------
# The icon: the broom alone, leaning the same way, on a clear background.

def make_icon_image(size):
    canvas = Canvas(size, size)
    # Leaning 40 degrees, the broom's bounding box is about as wide as it
    # is high: 212 frame units fill the square.
    frame = Frame((size * 0.84, size * 0.06), 40.0, size / 212.0)
    draw_broom(canvas, frame, detail=False)
    return canvas


def icon_entry_data(canvas):
    """BITMAPINFOHEADER (double height), 32-bit BGRA rows, AND mask."""
    n = canvas.width
    xor = bytearray()
    mask = bytearray()
    mask_row_bytes = ((n + 31) // 32) * 4
    for y in range(n - 1, -1, -1):
        bits = 0
        row_mask = bytearray(mask_row_bytes)
        for x, (r, g, b, a) in enumerate(canvas.rgb_bytes(y)):
            if a == 0:
                r = g = b = 0
                row_mask[x // 8] |= 0x80 >> (x % 8)
            xor += bytes((b, g, r, a))
            bits += 1
        mask += row_mask
    info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def ico(canvases):
    header = struct.pack("<HHH", 0, 1, len(canvases))
    entries = bytearray()
    blobs = bytearray()
    offset = 6 + 16 * len(canvases)
    for c in canvases:
        data = icon_entry_data(c)
        entries += struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    return header + bytes(entries) + bytes(blobs)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "src", "ui", "res")
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "broom.bmp"), "wb") as f:
        f.write(bmp_24(make_picture()))
    with open(os.path.join(out_dir, "zentacleanup.ico"), "wb") as f:
        f.write(ico([make_icon_image(32), make_icon_image(16)]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
