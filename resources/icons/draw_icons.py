#!/usr/bin/env python3
"""Draws the four menu icons of the extension into .ico files.

Python's standard library only: every shape is a signed distance field
sampled at the pixel centres, so the edges are antialiased at each size and
the images carry real alpha. Run it from anywhere; it rewrites the .ico files
beside itself and the sync picture as the package logos in
../package/Assets/. --preview FILE also writes a PNG sheet of every image,
enlarged, on light and dark backgrounds.
"""
import argparse
import math
import os
import struct
import zlib

DARK_GREY = (0x44, 0x47, 0x4B)
RED = (0xD6, 0x2F, 0x28)
WHITE = (0xFF, 0xFF, 0xFF)

MENU_SIZES = (16, 20, 24, 32)
SYNC_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
PNG_FROM = 256  # images this large are stored as PNG inside the .ico


# Signed distances in icon units: the icon spans -1..1 on both axes, y up.

def circle(px, py, radius):
    return math.hypot(px, py) - radius


def ring(px, py, radius, half_width):
    return abs(math.hypot(px, py) - radius) - half_width


def capsule(px, py, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(1.0, max(0.0, t))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - half_width


def polygon(px, py, points):
    """Exact distance to a simple polygon, negative inside."""
    best = float("inf")
    sign = 1.0
    count = len(points)
    for i in range(count):
        ax, ay = points[i]
        bx, by = points[i - 1]
        ex, ey = bx - ax, by - ay
        wx, wy = px - ax, py - ay
        t = min(1.0, max(0.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
        best = min(best, math.hypot(wx - ex * t, wy - ey * t))
        c1 = py >= ay
        c2 = py < by
        c3 = ex * wy > ey * wx
        if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
            sign = -sign
    return sign * best


def arc(px, py, radius, half_width, start, end):
    """A ring segment from angle start counterclockwise to end, round caps."""
    angle = math.atan2(py, px) % (2 * math.pi)
    span = (end - start) % (2 * math.pi)
    if (angle - start) % (2 * math.pi) <= span:
        return abs(math.hypot(px, py) - radius) - half_width
    return min(math.hypot(px - radius * math.cos(a), py - radius * math.sin(a))
               for a in (start, end)) - half_width


def arrowhead(radius, angle, clockwise, half_base, length):
    """Triangle at a point of the circle, pointing along its tangent."""
    cx, cy = radius * math.cos(angle), radius * math.sin(angle)
    rx, ry = math.cos(angle), math.sin(angle)
    tx, ty = (ry, -rx) if clockwise else (-ry, rx)
    back = 0.02  # overlaps the arc's end so no seam shows
    bx, by = cx - tx * back, cy - ty * back
    return [(bx + rx * half_base, by + ry * half_base),
            (cx + tx * length, cy + ty * length),
            (bx - rx * half_base, by - ry * half_base)]


# The four pictures: each returns a list of (colour, distance function) layers
# drawn bottom to top; pixel is the size of one pixel in icon units.

def ring_and(mark, colour):
    def layers(pixel):
        stroke = max(0.12, 0.75 * pixel)
        outer = 0.94 - stroke

        def shape(x, y):
            return min(ring(x, y, outer, stroke), mark(x, y, stroke))
        return [(colour, shape)]
    return layers


def cross(x, y, stroke):
    reach = 0.36
    return min(capsule(x, y, -reach, -reach, reach, reach, stroke),
               capsule(x, y, -reach, reach, reach, -reach, stroke))


def pause(x, y, stroke):
    bar = max(stroke, 0.11)
    return min(capsule(x, y, -0.2, -0.3, -0.2, 0.3, bar),
               capsule(x, y, 0.2, -0.3, 0.2, 0.3, bar))


def sync_layers(pixel):
    radius = 0.5
    stroke = max(0.1, 0.7 * pixel)
    head = max(0.24, 2.2 * pixel)
    gap = math.radians(34)
    heads = []
    arcs = []
    # Upper arrow runs clockwise from the left to the right, the lower one
    # from the right back to the left; each ends in its head.
    for start, end in ((math.radians(165), math.radians(15)), (math.radians(345), math.radians(195))):
        body_end = end + gap * 0.55
        arcs.append((body_end, start))
        heads.append(arrowhead(radius, body_end, True, head, head * 1.25))

    def arrows(x, y):
        d = min(arc(x, y, radius, stroke, a, b) for a, b in arcs)
        return min([d] + [polygon(x, y, h) for h in heads])

    return [(DARK_GREY, lambda x, y: circle(x, y, 0.96)), (WHITE, arrows)]


def scaled(layers_of, fraction):
    """The same picture shrunk to fraction of the image, centred."""
    def layers(pixel):
        return [(colour, lambda x, y, d=distance: d(x / fraction, y / fraction) * fraction)
                for colour, distance in layers_of(pixel / fraction)]
    return layers


# The package's logos at the sizes its manifest names: the app-list icon with
# a small margin, the tile with the picture at two thirds of its width.
LOGOS = {
    "Square44x44Logo.png": (scaled(sync_layers, 0.9), 44),
    "Square150x150Logo.png": (scaled(sync_layers, 0.66), 150),
    "StoreLogo.png": (sync_layers, 50),
}

ICONS = {
    "menu_sync.ico": (sync_layers, SYNC_SIZES),
    "menu_remove.ico": (ring_and(cross, DARK_GREY), MENU_SIZES),
    "menu_destroy.ico": (ring_and(cross, RED), MENU_SIZES),
    "menu_stop.ico": (ring_and(pause, DARK_GREY), MENU_SIZES),
}


def render(layers_of, size):
    """Rows top to bottom of straight (not premultiplied) RGBA tuples."""
    pixel = 2.0 / size
    layers = layers_of(pixel)
    rows = []
    for row in range(size):
        y = 1.0 - (row + 0.5) * pixel
        line = []
        for column in range(size):
            x = (column + 0.5) * pixel - 1.0
            r = g = b = a = 0.0  # premultiplied while composing
            for colour, distance in layers:
                cover = min(1.0, max(0.0, 0.5 - distance(x, y) / pixel))
                if cover == 0.0:
                    continue
                r = colour[0] * cover + r * (1 - cover)
                g = colour[1] * cover + g * (1 - cover)
                b = colour[2] * cover + b * (1 - cover)
                a = cover + a * (1 - cover)
            if a <= 0.0:
                line.append((0, 0, 0, 0))
            else:
                line.append((round(r / a), round(g / a), round(b / a), round(a * 255)))
        rows.append(line)
    return rows


def png_bytes(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(v for p in line for v in p) for line in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib_bytes(rows):
    """A 32-bit icon image: header, BGRA rows bottom-up, then the AND mask."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for line in reversed(rows):
        bits = bytearray(mask_stride)
        for column, (r, g, b, a) in enumerate(line):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[column // 8] |= 0x80 >> (column % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def ico_bytes(images):
    count = len(images)
    directory = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    blobs = []
    for size, rows in images:
        blob = png_bytes(rows) if size >= PNG_FROM else dib_bytes(rows)
        side = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return directory + b"".join(blobs)


def preview(all_images, path):
    """Every image enlarged three times, on white above and dark below."""
    scale, pad = 3, 8
    shown = [(name, size, rows) for name, images in all_images for size, rows in images if size <= 64]
    width = sum(size * scale + pad for _, size, _ in shown) + pad
    band = 64 * scale + 2 * pad
    sheet = []
    for background in ((255, 255, 255), (32, 32, 32)):
        for y in range(band):
            line = []
            for name, size, rows in shown:
                line += [background] * pad
                for x in range(size * scale):
                    iy = (y - pad) // scale
                    if 0 <= y - pad < size * scale:
                        r, g, b, a = rows[iy][x // scale]
                        line.append(tuple(round(c * a / 255 + k * (255 - a) / 255) for c, k in zip((r, g, b), background)))
                    else:
                        line.append(background)
            line += [background] * (width - len(line))
            sheet.append([p + (255,) for p in line])
    with open(path, "wb") as out:
        out.write(png_bytes(sheet))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", help="also write a PNG sheet of every image")
    args = parser.parse_args()
    folder = os.path.dirname(os.path.abspath(__file__))
    all_images = []
    for name, (layers_of, sizes) in ICONS.items():
        images = [(size, render(layers_of, size)) for size in sizes]
        with open(os.path.join(folder, name), "wb") as out:
            out.write(ico_bytes(images))
        all_images.append((name, images))
    assets = os.path.join(os.path.dirname(folder), "package", "Assets")
    os.makedirs(assets, exist_ok=True)
    for name, (layers_of, size) in LOGOS.items():
        with open(os.path.join(assets, name), "wb") as out:
            out.write(png_bytes(render(layers_of, size)))
    if args.preview:
        preview(all_images, args.preview)


if __name__ == "__main__":
    main()
