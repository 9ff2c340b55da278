#!/usr/bin/env python3
"""Draws the program's pictures and writes them as multi-size Windows icons.

    make-icons.py OUTDIR [--preview DIR]

Writes TovelaNotifier.ico (the program), NewMail.ico (unread mail) and Calendar.ico
(reminders), each with 32-bit images of 16, 20, 24, 32 and 48 pixels. Every size is drawn
for itself with its edges on whole pixels, so the 16 px pictures stay crisp instead of
being a blurred copy of a large one. Only the standard library is needed.
"""

import argparse
import math
import os
import struct
import zlib

SIZES = (16, 20, 24, 32, 48)
SAMPLES = 4  # per pixel along each axis: 16 samples give 17 levels of edge coverage


def hex_color(text):
    return tuple(int(text[i : i + 2], 16) / 255 for i in (1, 3, 5))


BLUE_TOP, BLUE_BOTTOM = hex_color("#3f93f2"), hex_color("#1859c4")
WHITE, PAPER_SHADE = hex_color("#ffffff"), hex_color("#dfe8f5")
BADGE, BADGE_LIGHT = hex_color("#ff4b1f"), hex_color("#ff8a3d")
CAL_RED, CAL_RED_DARK = hex_color("#e5383b"), hex_color("#b81f24")
RING, CAL_EDGE, CAL_CELL = hex_color("#3b4048"), hex_color("#7b8591"), hex_color("#a9b2bd")


# Shapes: a test of whether a point (in pixels, y downwards) is inside, and a bounding box.
class Shape:
    def __init__(self, inside, box):
        self.inside, self.box = inside, box

    def __and__(self, other):
        (a, b, c, d), (e, f, g, h) = self.box, other.box
        return Shape(lambda x, y: self.inside(x, y) and other.inside(x, y),
                     (max(a, e), max(b, f), min(c, g), min(d, h)))

    def __or__(self, other):
        (a, b, c, d), (e, f, g, h) = self.box, other.box
        return Shape(lambda x, y: self.inside(x, y) or other.inside(x, y),
                     (min(a, e), min(b, f), max(c, g), max(d, h)))

    def __sub__(self, other):
        return Shape(lambda x, y: self.inside(x, y) and not other.inside(x, y), self.box)


def rounded_rect(x0, y0, x1, y1, r=0.0):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        dx = max(x0 + r - x, x - (x1 - r), 0)
        dy = max(y0 + r - y, y - (y1 - r), 0)
        return dx * dx + dy * dy <= r * r

    return Shape(inside, (x0, y0, x1, y1))


def circle(cx, cy, r):
    return Shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
                 (cx - r, cy - r, cx + r, cy + r))


def polyline(points, width):
    """A stroke through the points with round joins and ends."""
    half = width / 2

    def near(x, y):
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            vx, vy = bx - ax, by - ay
            t = max(0, min(1, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
            if (x - ax - t * vx) ** 2 + (y - ay - t * vy) ** 2 <= half * half:
                return True
        return False

    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return Shape(near, (min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half))


class Canvas:
    """Premultiplied RGBA in 0..1, painted shape by shape with supersampled coverage."""

    def __init__(self, size):
        self.size = size
        self.pixels = [(0.0, 0.0, 0.0, 0.0)] * (size * size)

    def _coverage(self, shape):
        x0, y0, x1, y1 = shape.box
        offsets = [(i + 0.5) / SAMPLES for i in range(SAMPLES)]
        for py in range(max(0, math.floor(y0)), min(self.size, math.ceil(y1))):
            for px in range(max(0, math.floor(x0)), min(self.size, math.ceil(x1))):
                hits = sum(shape.inside(px + dx, py + dy) for dy in offsets for dx in offsets)
                if hits:
                    yield px, py, hits / SAMPLES**2

    def paint(self, shape, color, alpha=1.0):
        """Paints over; color is an (r, g, b) or a function of the pixel's row."""
        for px, py, cover in self._coverage(shape):
            r, g, b = color(py + 0.5) if callable(color) else color
            a = cover * alpha
            i = py * self.size + px
            dr, dg, db, da = self.pixels[i]
            k = 1 - a
            self.pixels[i] = (r * a + dr * k, g * a + dg * k, b * a + db * k, a + da * k)

    def erase(self, shape):
        """Cuts a clear gap, e.g. around a badge so it stands apart from what is under it."""
        for px, py, cover in self._coverage(shape):
            i = py * self.size + px
            self.pixels[i] = tuple(c * (1 - cover) for c in self.pixels[i])

    def rgba(self):
        """Straight (not premultiplied) 8-bit RGBA, rows from the top."""
        out = []
        for r, g, b, a in self.pixels:
            if a <= 0:
                out.append((0, 0, 0, 0))
            else:
                straight = tuple(round(min(1, c / a) * 255) for c in (r, g, b))
                out.append(straight + (round(a * 255),))
        return out


def vertical_gradient(top, bottom, y0, y1):
    def color(y):
        t = max(0, min(1, (y - y0) / (y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))

    return color


# The pictures. s is the size in pixels; sizes are rounded to whole pixels so edges are sharp.
def draw_program(s, canvas):
    m = s // 24  # margin: none at the small sizes, where every pixel counts
    tile = rounded_rect(m, m, s - m, s - m, round(s * 0.19))
    canvas.paint(tile, vertical_gradient(BLUE_TOP, BLUE_BOTTOM, m, s - m))
    # The envelope: 10:7, sitting a little low, its flap a V in the tile's colour.
    w = 2 * round(s * 0.35) + (s % 2)  # same parity as s, so the V's tip is centred
    h = round(w * 0.70)
    x0, y0 = (s - w) // 2, (s - h) // 2 + (1 if s >= 20 else 0)
    body = rounded_rect(x0, y0, x0 + w, y0 + h, max(0, s // 24))
    canvas.paint(body, vertical_gradient(WHITE, PAPER_SHADE, y0, y0 + h))
    line = max(1.0, s / 16 * 1.15)
    tip = (x0 + w / 2, y0 + h * 0.58)
    edge = line / 2
    flap = polyline([(x0 + edge, y0 + edge), tip, (x0 + w - edge, y0 + edge)], line)
    canvas.paint(flap & body, BLUE_BOTTOM)
    if s >= 32:  # the lower folds only read at the larger sizes
        fold_y = y0 + h * 0.52
        folds = (polyline([(x0, y0 + h), (x0 + w * 0.38, fold_y)], line * 0.7)
                 | polyline([(x0 + w, y0 + h), (x0 + w * 0.62, fold_y)], line * 0.7))
        canvas.paint(folds & body, BLUE_BOTTOM, 0.35)


def draw_new_mail(s, canvas):
    draw_program(s, canvas)
    # An attention dot in the top right corner, cut free of the envelope by a clear ring.
    r = round(s * 0.21 * 2) / 2
    gap = max(1, round(s / 20))
    cx, cy = s - r, r
    canvas.erase(circle(cx, cy, r + gap))
    canvas.paint(circle(cx, cy, r), vertical_gradient(BADGE_LIGHT, BADGE, cy - r, cy + r))


def draw_calendar(s, canvas):
    u = s / 16
    x0, x1 = round(u), s - round(u)
    y0, y1 = round(2 * u), s - (0 if s < 24 else round(u * 0.75))
    r = max(1.5, round(1.6 * u))
    edge = max(1, round(u * 0.8))
    page = rounded_rect(x0, y0, x1, y1, r)
    canvas.paint(page, CAL_EDGE)
    inner_r = max(0.5, r - edge)
    canvas.paint(rounded_rect(x0 + edge, y0 + edge, x1 - edge, y1 - edge, inner_r), WHITE)
    header_bottom = y0 + round(4.5 * u)
    canvas.paint(page & rounded_rect(x0, y0, x1, header_bottom),
                 vertical_gradient(CAL_RED, CAL_RED_DARK, y0, header_bottom))
    # Two binder rings over the top edge; where there is room a white rim parts them from
    # the header.
    ring_w = max(2, round(1.7 * u))
    ring_top, ring_bottom = max(0, y0 - round(1.8 * u)), y0 + round(2.2 * u)
    rim = 1 if s >= 32 else 0
    for rx in (x0 + round(3.2 * u), x1 - round(3.2 * u) - ring_w):
        if rim:
            canvas.paint(rounded_rect(rx - rim, ring_top, rx + ring_w + rim, ring_bottom + rim,
                                      ring_w / 2 + rim), WHITE)
        canvas.paint(rounded_rect(rx, ring_top, rx + ring_w, ring_bottom, ring_w / 2), RING)
    # The days: a grid of small squares below the header, one of them today in red.
    cols, rows = (3, 2) if s < 24 else (4, 3) if s < 48 else (5, 3)
    cell = max(2, round(s / 12))
    area_x0, area_x1 = x0 + edge, x1 - edge
    area_y0, area_y1 = header_bottom, y1 - edge
    gap_x = max(1, (area_x1 - area_x0 - cols * cell) // (cols + 1))
    gap_y = max(1, (area_y1 - area_y0 - rows * cell) // (rows + 1))
    left = area_x0 + (area_x1 - area_x0 - cols * cell - (cols - 1) * gap_x) // 2
    top = area_y0 + (area_y1 - area_y0 - rows * cell - (rows - 1) * gap_y + 1) // 2
    for row in range(rows):
        for col in range(cols):
            cx, cy = left + col * (cell + gap_x), top + row * (cell + gap_y)
            today = (row, col) == (rows - 1, cols - 2)
            canvas.paint(rounded_rect(cx, cy, cx + cell, cy + cell, 0.5 * (s >= 32)),
                         CAL_RED if today else CAL_CELL)


PICTURES = (
    ("TovelaNotifier.ico", draw_program),
    ("NewMail.ico", draw_new_mail),
    ("Calendar.ico", draw_calendar),
)


def ico_image(size, rgba):
    """One icon image as a DIB: header, BGRA rows bottom-up, then the 1-bit AND mask that
    older code paths use where they ignore alpha."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = [rgba[y * size : (y + 1) * size] for y in reversed(range(size))]
    colors = b"".join(bytes((b, g, r, a)) for row in rows for r, g, b, a in row)
    stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in rows:
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colors + bytes(mask)


def write_ico(path, images):
    """images: (size, rgba) pairs; every entry is a 32-bit DIB."""
    blobs = [ico_image(size, rgba) for size, rgba in images]
    offset = 6 + 16 * len(blobs)
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    for (size, _), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


def read_ico(path):
    """The images of an icon file written above, as {size: straight RGBA rows from the top}."""
    with open(path, "rb") as f:
        data = f.read()
    _, kind, count = struct.unpack_from("<HHH", data)
    assert kind == 1, path
    images = {}
    for n in range(count):
        w, _, _, _, _, bits, _, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * n)
        size = w or 256
        assert bits == 32 and struct.unpack_from("<I", data, offset)[0] == 40, path
        start = offset + 40
        rows = []
        for y in range(size):
            row = data[start + y * size * 4 : start + (y + 1) * size * 4]
            rows.append([(r, g, b, a) for b, g, r, a in zip(*[iter(row)] * 4)])
        images[size] = rows[::-1]
    return images


def write_png(path, rows):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, body):
        crc = zlib.crc32(kind + body)
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)

    head = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head)
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_preview(folder, icon_paths):
    """Per icon its 48 and 16 px images as PNG, plus a sheet of every size enlarged on a
    light and a dark taskbar colour, for looking at the pictures without Windows."""
    os.makedirs(folder, exist_ok=True)
    zoom, pad = 4, 8
    width = pad + sum(s * zoom + pad for s in SIZES) + sum(s + pad for s in SIZES)
    band = max(SIZES) * zoom + 2 * pad
    sheet = []
    for path in icon_paths:
        images = read_ico(path)
        name = os.path.splitext(os.path.basename(path))[0]
        for size in (48, 16):
            write_png(os.path.join(folder, f"{name}-{size}.png"), images[size])
        for background in ((243, 243, 243), (32, 32, 32)):
            canvas = [[background] * width for _ in range(band)]
            x = pad
            for size, scale in [(s, zoom) for s in SIZES] + [(s, 1) for s in SIZES]:
                for y in range(size * scale):
                    for xx in range(size * scale):
                        *rgb, a = images[size][y // scale][xx // scale]
                        canvas[pad + y][x + xx] = tuple(
                            round((c * a + k * (255 - a)) / 255) for c, k in zip(rgb, background))
                x += size * scale + pad
            sheet += canvas
    write_png(os.path.join(folder, "sheet.png"), [[px + (255,) for px in row] for row in sheet])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("outdir")
    parser.add_argument("--preview", metavar="DIR", help="also write PNG previews into DIR")
    args = parser.parse_args()
    os.makedirs(args.outdir, exist_ok=True)
    paths = []
    for name, draw in PICTURES:
        images = []
        for size in SIZES:
            canvas = Canvas(size)
            draw(size, canvas)
            images.append((size, canvas.rgba()))
        paths.append(os.path.join(args.outdir, name))
        write_ico(paths[-1], images)
    if args.preview:
        write_preview(args.preview, paths)


if __name__ == "__main__":
    main()
