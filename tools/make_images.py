#!/usr/bin/env python3
"""Draws the module's pictures and writes them as ICO and BMP files.

    tools/make_images.py [OUTPUT_FOLDER]      (default: resources/)

Writes button.ico (icon group 101), button_hot.ico (102), about.ico (103) and
banner.bmp (bitmap 205). The output is committed, so a build needs no image
tools; run this again only when a picture changes. Plain Python 3, no
libraries: shapes are rasterised with supersampling, the 8-bit images get a
median-cut palette of their own, and the files are packed with struct.
"""

import math
import os
import struct
import sys

SUPERSAMPLE = 4


# --- Shapes -----------------------------------------------------------------
# A shape is a union of primitives; a sample point is covered when any
# primitive holds it, so overlapping strokes never darken their joints.

class Capsule:
    """A line segment with round ends: the unit of every stroke."""

    def __init__(self, x0, y0, x1, y1, width):
        self.a = (x0, y0)
        self.b = (x1, y1)
        self.r = width / 2.0
        self.bbox = (min(x0, x1) - self.r, min(y0, y1) - self.r,
                     max(x0, x1) + self.r, max(y0, y1) + self.r)

    def contains(self, x, y):
        ax, ay = self.a
        bx, by = self.b
        dx, dy = bx - ax, by - ay
        length2 = dx * dx + dy * dy
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx - x, ay + t * dy - y
        return px * px + py * py <= self.r * self.r


class Polygon:
    """A filled polygon (non-zero winding)."""

    def __init__(self, points):
        self.points = points
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.bbox = (min(xs), min(ys), max(xs), max(ys))

    def contains(self, x, y):
        winding = 0
        pts = self.points
        for i in range(len(pts)):
            x0, y0 = pts[i]
            x1, y1 = pts[(i + 1) % len(pts)]
            if y0 <= y < y1 or y1 <= y < y0:
                cross = x0 + (y - y0) * (x1 - x0) / (y1 - y0)
                if cross > x:
                    winding += 1 if y1 > y0 else -1
        return winding != 0


class Disc:
    def __init__(self, cx, cy, r):
        self.c = (cx, cy)
        self.r = r
        self.bbox = (cx - r, cy - r, cx + r, cy + r)

    def contains(self, x, y):
        dx, dy = x - self.c[0], y - self.c[1]
        return dx * dx + dy * dy <= self.r * self.r


def rect(x0, y0, x1, y1):
    return Polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)])


def polyline(points, width):
    return [Capsule(points[i][0], points[i][1], points[i + 1][0], points[i + 1][1], width)
            for i in range(len(points) - 1)]


def arc_points(cx, cy, rx, ry, start_deg, end_deg, steps=24):
    """Points along an elliptic arc; angles count anticlockwise with y up."""
    pts = []
    for i in range(steps + 1):
        a = math.radians(start_deg + (end_deg - start_deg) * i / steps)
        pts.append((cx + rx * math.cos(a), cy + ry * math.sin(a)))
    return pts


# --- Canvas -----------------------------------------------------------------

class Canvas:
    """Straight-alpha RGBA pixels, values 0..1, row 0 at the top."""

    def __init__(self, width, height, fill=(0.0, 0.0, 0.0, 0.0)):
        self.width = width
        self.height = height
        self.px = [list(fill) for _ in range(width * height)]

    def coverage(self, prims):
        """Fraction of each pixel's samples that the union of prims covers."""
        x0 = max(0, int(math.floor(min(p.bbox[0] for p in prims))))
        y0 = max(0, int(math.floor(min(p.bbox[1] for p in prims))))
        x1 = min(self.width, int(math.ceil(max(p.bbox[2] for p in prims))) + 1)
        y1 = min(self.height, int(math.ceil(max(p.bbox[3] for p in prims))) + 1)
        if x0 >= x1 or y0 >= y1:
            return x0, y0, 0, 0, []
        n = SUPERSAMPLE
        sw, sh = (x1 - x0) * n, (y1 - y0) * n
        hit = bytearray(sw * sh)
        for prim in prims:
            bx0 = max(0, int((prim.bbox[0] - x0) * n) - 1)
            by0 = max(0, int((prim.bbox[1] - y0) * n) - 1)
            bx1 = min(sw, int((prim.bbox[2] - x0) * n) + 2)
            by1 = min(sh, int((prim.bbox[3] - y0) * n) + 2)
            for sy in range(by0, by1):
                y = y0 + (sy + 0.5) / n
                row = sy * sw
                for sx in range(bx0, bx1):
                    if not hit[row + sx] and prim.contains(x0 + (sx + 0.5) / n, y):
                        hit[row + sx] = 1
        w, h = x1 - x0, y1 - y0
        cov = [0.0] * (w * h)
        for sy in range(sh):
            row = sy * sw
            out = (sy // n) * w
            for sx in range(sw):
                if hit[row + sx]:
                    cov[out + sx // n] += 1.0
        scale = 1.0 / (n * n)
        return x0, y0, w, h, [c * scale for c in cov]

    def blend(self, x, y, colour, alpha):
        if alpha <= 0:
            return
        p = self.px[y * self.width + x]
        out_a = alpha + p[3] * (1 - alpha)
        if out_a <= 0:
            return
        for i in range(3):
            p[i] = (colour[i] * alpha + p[i] * p[3] * (1 - alpha)) / out_a
        p[3] = out_a

    def fill(self, prims, colour, opacity=1.0):
        """Paints the union of prims with a colour or a colour function f(x, y)."""
        if not isinstance(prims, list):
            prims = [prims]
        x0, y0, w, h, cov = self.coverage(prims)
        for j in range(h):
            for i in range(w):
                c = cov[j * w + i]
                if c > 0:
                    col = colour(x0 + i, y0 + j) if callable(colour) else colour
                    self.blend(x0 + i, y0 + j, col, c * opacity)


def hex_colour(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# --- The toolbar glyph: angle brackets over a page --------------------------

BUTTON_COLOURS = {
    False: dict(outline="#46525e", page_top="#ffffff", page_bottom="#dfe6ee",
                ear="#c3ccd6", lines="#9aa6b2", brackets="#1d5fc4"),
    True: dict(outline="#2f5f94", page_top="#ffffff", page_bottom="#eef6ff",
               ear="#b9d6f5", lines="#7fa8d4", brackets="#1e8bff"),
}


def draw_glyph(canvas, ox, oy, size, hot=False, detailed=False):
    """The page with its folded corner and "<>" (with "/" when detailed).

    Laid out on a 16-unit grid; page edges snap to whole pixels so the outline
    stays one crisp pixel wide. Below 24 px the brackets are placed pixel by
    pixel: smoothed strokes blur into a blob at that size.
    """
    c = {k: hex_colour(v) for k, v in BUTTON_COLOURS[hot].items()}
    u = size / 16.0

    def snap(v):
        return int(math.floor(v * u + 0.5))

    left, top, right, bottom = ox + snap(0.5), oy + snap(0.25), ox + snap(14.25), oy + snap(16)
    ear = max(3, snap(4))
    line = max(1, int(u * 0.7))
    page = Polygon([(left, top), (right - ear, top), (right, top + ear), (right, bottom), (left, bottom)])
    inner = Polygon([(left + line, top + line), (right - ear, top + line), (right - line, top + ear + line * 0.4),
                     (right - line, bottom - line), (left + line, bottom - line)])
    canvas.fill(page, c["outline"])
    span = float(bottom - top)
    canvas.fill(inner, lambda x, y: mix(c["page_top"], c["page_bottom"], max(0.0, min(1.0, (y - top) / span))))
    canvas.fill(Polygon([(right - ear, top), (right - ear, top + ear), (right, top + ear)]), c["outline"])
    canvas.fill(Polygon([(right - ear + line, top + line * 2.4), (right - ear + line, top + ear - line),
                         (right - line * 2.4, top + ear - line)]), c["ear"])

    # Two short lines of "text" at the top of the page.
    for row, length in ((3.5, 6.0), (5.5, 4.5)):
        y = oy + snap(row)
        canvas.fill(rect(left + snap(2), y, left + snap(2) + max(2, snap(length)), y + line), c["lines"])

    inner_left, inner_right = left + line, right - line      # pixel columns [inner_left, inner_right)
    if size < 24:
        half = 2 if size < 20 else 3
        mid = bottom - line - half - 2
        for dy in range(-half, half + 1):
            for dx in (0, 1):
                lx = inner_left + 1 + abs(dy) + dx
                rx = inner_right - 2 - abs(dy) - dx
                canvas.fill(rect(lx, mid + dy, lx + 1, mid + dy + 1), c["brackets"])
                canvas.fill(rect(rx, mid + dy, rx + 1, mid + dy + 1), c["brackets"])
        return

    stroke = (1.75 if size < 32 else 1.5) * u
    cx = (inner_left + inner_right) / 2.0
    mid = oy + 10.9 * u
    half = 2.9 * u
    reach, gap = 2.7 * u, 1.3 * u
    canvas.fill(polyline([(cx - gap, mid - half), (cx - gap - reach, mid), (cx - gap, mid + half)], stroke),
                c["brackets"])
    canvas.fill(polyline([(cx + gap, mid - half), (cx + gap + reach, mid), (cx + gap, mid + half)], stroke),
                c["brackets"])
    if detailed:
        canvas.fill(Capsule(cx + 0.6 * u, mid - half - 0.3 * u, cx - 0.6 * u, mid + half + 0.3 * u, stroke * 0.8),
                    c["brackets"])


def draw_sparkle(canvas, cx, cy, r, colour, opacity=1.0):
    """A four-pointed star: the glimmer of the name."""
    k = r * 0.22
    canvas.fill(Polygon([(cx, cy - r), (cx + k, cy - k), (cx + r, cy), (cx + k, cy + k),
                         (cx, cy + r), (cx - k, cy + k), (cx - r, cy), (cx - k, cy - k)]), colour, opacity)


def button_image(size, hot):
    canvas = Canvas(size, size)
    draw_glyph(canvas, 0, 0, size, hot=hot, detailed=size >= 32)
    return canvas


def about_image(size):
    canvas = Canvas(size, size)
    # A soft shadow under the page lifts the large icon off the dialog.
    u = size / 16.0
    canvas.fill(rect(1.5 * u, 1.2 * u, 15.2 * u, 16 * u), (0, 0, 0), 0.2)
    draw_glyph(canvas, 0, 0, size, hot=False, detailed=True)
    draw_sparkle(canvas, 13.2 * u, 3.0 * u, 2.6 * u, hex_colour("#ffc83d"))
    return canvas


# --- The banner: the product name in a stroke font of our own ---------------
# Letters are polylines on a grid with the baseline at y 0, x-height 10 and
# cap height 15, y pointing up. Each entry: (advance width, strokes).

def _letters():
    g = {}
    g["G"] = (14.0, [arc_points(7, 7.5, 7, 7.5, 42, 360, 40) + [(8.6, 7.5)]])
    g["l"] = (2.0, [[(1, 0), (1, 15)]])
    g["i"] = (2.0, [[(1, 0), (1, 10)], "dot"])
    m = [[(0, 0), (0, 10)],
         arc_points(2.75, 7.25, 2.75, 2.75, 180, 0, 12) + [(5.5, 0)],
         arc_points(8.25, 7.25, 2.75, 2.75, 180, 0, 12) + [(11, 0)]]
    g["m"] = (11.0, m)
    g["e"] = (10.0, [[(0.2, 5), (10, 5)] + arc_points(5, 5, 5, 5, 0, 320, 32)[1:]])
    g["r"] = (7.5, [[(0, 0), (0, 10)], arc_points(5, 5, 5, 5, 180, 62, 12)])
    g["d"] = (10.0, [arc_points(5, 5, 5, 5, 0, 360, 40), [(10, 0), (10, 15)]])
    g["c"] = (10.0, [arc_points(5, 5, 5, 5, 42, 318, 32)])
    g["k"] = (8.5, [[(0, 0), (0, 15)], [(8, 10), (0, 3.2)], [(2.9, 5.7), (8.5, 0)]])
    return g


LETTERS = _letters()


def text_prims(text, x, baseline, scale, weight, gap=3.4):
    prims = []
    for ch in text:
        advance, strokes = LETTERS[ch]
        for stroke in strokes:
            if stroke == "dot":
                prims.append(Disc(x + 1 * scale, baseline - 13.6 * scale, weight * 0.62))
                continue
            pts = [(x + px * scale, baseline - py * scale) for px, py in stroke]
            prims.extend(polyline(pts, weight))
        x += (advance + gap) * scale
    return prims


def text_width(text, scale, gap=3.4):
    return sum((LETTERS[ch][0] + gap) * scale for ch in text) - gap * scale


def banner_image(width=400, height=80):
    left, right = hex_colour("#0e2443"), hex_colour("#17708c")
    canvas = Canvas(width, height)
    for y in range(height):
        for x in range(width):
            t = x / (width - 1.0)
            col = mix(left, right, t * t * (3 - 2 * t))
            col = mix(col, (0, 0, 0), 0.18 * y / (height - 1.0))   # a little darker at the foot
            canvas.px[y * width + x] = [col[0], col[1], col[2], 1.0]

    # A faint band of light behind the name.
    canvas.fill(Polygon([(60, 62), (400, 50), (400, 57), (60, 66)]), hex_colour("#7fd3ff"), 0.10)

    glyph = 48
    draw_glyph(canvas, 18, (height - glyph) // 2, glyph, hot=False, detailed=True)

    scale, weight = 2.15, 5.0
    name = "Glimmerdeck"
    x = 84.0
    baseline = 56.0
    canvas.fill(text_prims(name, x + 2, baseline + 2, scale, weight), (0, 0, 0), 0.35)
    canvas.fill(text_prims(name, x, baseline, scale, weight),
                lambda px, py: mix(hex_colour("#ffffff"), hex_colour("#cfeeff"), max(0.0, (py - 24) / 34.0)))

    for cx, cy, r, o in ((66, 16, 6.5, 1.0), (372, 15, 5.0, 0.9), (352, 30, 3.0, 0.7),
                         (246, 12, 3.5, 0.6), (150, 70, 2.5, 0.5), (390, 66, 3.0, 0.6)):
        draw_sparkle(canvas, cx, cy, r, hex_colour("#ffe9a8"), o)
    assert x + text_width(name, scale) < width - 8, "the name must fit the banner"
    return canvas


# --- Colour reduction -------------------------------------------------------

def median_cut(counts, limit=256):
    """Palette of at most `limit` colours for a {(r, g, b): count} histogram."""
    boxes = [list(counts.items())]
    while len(boxes) < limit:
        best, best_range, best_channel = None, 0, 0
        for index, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for ch in range(3):
                values = [c[0][ch] for c in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_channel = index, spread, ch
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda c: c[0][best_channel])
        total = sum(c[1] for c in box)
        run, cut = 0, 1
        for i, c in enumerate(box[:-1]):
            run += c[1]
            if run >= total / 2:
                cut = i + 1
                break
        boxes.append(box[:cut])
        boxes.append(box[cut:])
    palette = []
    for box in boxes:
        total = sum(c[1] for c in box)
        palette.append(tuple(round(sum(c[0][ch] * c[1] for c in box) / total) for ch in range(3)))
    return palette


def quantise(pixels):
    """Maps 8-bit (r, g, b) pixels to palette indices; returns (palette, indices)."""
    counts = {}
    for p in pixels:
        counts[p] = counts.get(p, 0) + 1
    palette = median_cut(counts)
    nearest = {}
    for colour in counts:
        nearest[colour] = min(range(len(palette)),
                              key=lambda i: sum((colour[ch] - palette[i][ch]) ** 2 for ch in range(3)))
    palette += [(0, 0, 0)] * (256 - len(palette))
    return palette, [nearest[p] for p in pixels]


def to_bytes(value):
    return max(0, min(255, int(round(value * 255))))


# --- File formats -----------------------------------------------------------

def and_mask(size, transparent):
    """1-bit mask rows, bottom-up, each padded to 32 bits; 1 = transparent."""
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        for x in range(size):
            if transparent[y * size + x]:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def icon_dib_32(canvas):
    size = canvas.width
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = canvas.px[y * size + x]
            pixels += bytes((to_bytes(b), to_bytes(g), to_bytes(r), to_bytes(a)))
    transparent = [to_bytes(p[3]) == 0 for p in canvas.px]
    return header + bytes(pixels) + and_mask(size, transparent)


def icon_dib_8(canvas):
    """An 8-bit image whose mask keeps every pixel at least half covered."""
    size = canvas.width
    transparent = [p[3] < 0.5 for p in canvas.px]
    colours = [(0, 0, 0) if t else (to_bytes(p[0]), to_bytes(p[1]), to_bytes(p[2]))
               for p, t in zip(canvas.px, transparent)]
    palette, indices = quantise(colours)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    stride = (size + 3) & ~3
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        row[:size] = bytes(indices[y * size:(y + 1) * size])
        pixels += row
    return header + table + bytes(pixels) + and_mask(size, transparent)


def write_ico(path, images):
    """images: list of (size, bits per pixel, DIB bytes), in directory order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bpp, dib in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bpp, len(dib), offset)
        offset += len(dib)
    out += b"".join(dib for _, _, dib in images)
    with open(path, "wb") as f:
        f.write(out)


def write_bmp_8(path, canvas):
    w, h = canvas.width, canvas.height
    palette, indices = quantise([(to_bytes(p[0]), to_bytes(p[1]), to_bytes(p[2])) for p in canvas.px])
    stride = (w + 3) & ~3
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        row[:w] = bytes(indices[y * w:(y + 1) * w])
        pixels += row
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(table)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + table + bytes(pixels))


def button_icon(hot):
    images = [(s, 8, icon_dib_8(button_image(s, hot))) for s in (24, 20, 16)]
    images += [(s, 32, icon_dib_32(button_image(s, hot))) for s in (32, 24, 20, 16)]
    return images


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    write_ico(os.path.join(folder, "button.ico"), button_icon(False))
    write_ico(os.path.join(folder, "button_hot.ico"), button_icon(True))
    about = about_image(48)
    write_ico(os.path.join(folder, "about.ico"), [(48, 8, icon_dib_8(about)), (48, 32, icon_dib_32(about))])
    write_bmp_8(os.path.join(folder, "banner.bmp"), banner_image())


if __name__ == "__main__":
    main()
