#!/usr/bin/env python3
"""Draws the program icon (a disc with a green install arrow) and writes it as a .ico.

Usage: make_icon.py OUTPUT.ico

The picture is computed from plain geometry with analytic anti-aliasing (signed
distances), so every size is rendered from the same shapes rather than scaled.
Only +, -, *, / and sqrt are used on floats: those are exactly rounded everywhere,
so the output is byte-identical on every machine and every run.
"""

import math
import struct
import sys

# (edge in pixels, bits per pixel), in the order the icon directory lists them.
IMAGES = [(48, 24), (32, 24), (16, 24), (256, 32), (48, 32), (32, 32), (16, 32)]

# The picture, in unit coordinates: (0, 0) top left, (1, 1) bottom right.
DISC_CENTRE = (0.44, 0.44)
DISC_RADIUS = 0.42
RIM_WIDTH = 0.03
HUB_RADIUS = 0.16
HUB_EDGE = 0.015
HOLE_RADIUS = 0.065
# A down arrow in the lower right: the "install from the disc" cue.
ARROW = [(0.65, 0.44), (0.83, 0.44), (0.83, 0.66), (0.95, 0.66),
         (0.74, 0.93), (0.53, 0.66), (0.65, 0.66)]
ARROW_OUTLINE = 0.035

RIM_COLOUR = (78, 86, 100)
HUB_COLOUR = (226, 230, 236)
HUB_EDGE_COLOUR = (150, 158, 170)
ARROW_COLOUR = (40, 158, 72)
ARROW_LIGHT = (120, 214, 120)
OUTLINE_COLOUR = (255, 255, 255)
# 24-bit images have no alpha: their soft edges are blended onto a window background.
MATTE = (255, 255, 255)


def coverage(distance, pixel):
    """Fraction of a pixel inside a shape whose signed distance (unit coords) is given."""
    c = 0.5 - distance / pixel
    return 0.0 if c <= 0.0 else 1.0 if c >= 1.0 else c


def circle_distance(x, y, centre, radius):
    return math.sqrt((x - centre[0]) ** 2 + (y - centre[1]) ** 2) - radius


def polygon_distance(x, y, points):
    """Signed distance to a simple polygon: negative inside."""
    best = float("inf")
    inside = False
    n = len(points)
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        t = ((x - ax) * ex + (y - ay) * ey) / (ex * ex + ey * ey)
        t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
        dx, dy = x - ax - ex * t, y - ay - ey * t
        best = min(best, dx * dx + dy * dy)
        if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
            inside = not inside
    d = math.sqrt(best)
    return -d if inside else d


def disc_surface(x, y):
    """Silver with the rainbow sheen of a pressed disc, varying with twice the angle."""
    dx, dy = x - DISC_CENTRE[0], y - DISC_CENTRE[1]
    r2 = dx * dx + dy * dy
    if r2 == 0.0:
        return (200.0, 200.0, 200.0)
    cos2, sin2 = (dx * dx - dy * dy) / r2, 2.0 * dx * dy / r2
    # Turned by an angle whose cosine and sine are 0.8 and 0.6, so the light comes from the upper left.
    light = cos2 * 0.8 + sin2 * 0.6
    tint = sin2 * 0.8 - cos2 * 0.6
    fade = math.sqrt(r2) / DISC_RADIUS  # darker toward the hub, like the data area
    grey = 188.0 + 48.0 * light - 14.0 * (1.0 - fade)
    return (grey + 20.0 * tint, grey + 8.0 * light, grey + 22.0 - 20.0 * tint)


def over(dst, colour, alpha):
    """Premultiplied 'source over destination'."""
    r, g, b, a = dst
    k = 1.0 - alpha
    return (colour[0] * alpha + r * k, colour[1] * alpha + g * k,
            colour[2] * alpha + b * k, alpha + a * k)


def shade(x, y, size):
    """Premultiplied (r, g, b, a) of one pixel, colours 0..255 and alpha 0..1."""
    p = 1.0 / size
    px = (0.0, 0.0, 0.0, 0.0)

    d = circle_distance(x, y, DISC_CENTRE, DISC_RADIUS)
    if d < p:
        px = over(px, RIM_COLOUR, coverage(d, p))
        # At least a pixel of rim, so the disc keeps its edge at 16x16.
        px = over(px, disc_surface(x, y), coverage(d + max(RIM_WIDTH, p), p))
        d_hub = circle_distance(x, y, DISC_CENTRE, HUB_RADIUS)
        px = over(px, HUB_EDGE_COLOUR, coverage(d_hub, p))
        px = over(px, HUB_COLOUR, coverage(d_hub + HUB_EDGE, p))
        # The spindle hole is cut clean through, not painted.
        keep = 1.0 - coverage(circle_distance(x, y, DISC_CENTRE, HOLE_RADIUS), p)
        px = tuple(v * keep for v in px)

    d = polygon_distance(x, y, ARROW)
    if d < ARROW_OUTLINE + p:
        px = over(px, OUTLINE_COLOUR, coverage(d - ARROW_OUTLINE, p))
        # A little lighter at the top of the arrow so it reads as lit from above.
        top = (0.93 - y) / 0.49
        top = 0.0 if top < 0.0 else 1.0 if top > 1.0 else top
        fill = tuple(a + (b - a) * top * 0.6 for a, b in zip(ARROW_COLOUR, ARROW_LIGHT))
        px = over(px, fill, coverage(d, p))
    return px


def byte(v):
    v = int(v + 0.5)
    return 0 if v < 0 else 255 if v > 255 else v


def render(size):
    """Rows top to bottom of (r, g, b, alpha) bytes, colours not premultiplied."""
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            r, g, b, a = shade((i + 0.5) / size, (j + 0.5) / size, size)
            alpha = byte(a * 255.0)
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((byte(r / a), byte(g / a), byte(b / a), alpha))
        rows.append(row)
    return rows


def dib(size, bits):
    """One icon image: BITMAPINFOHEADER, bottom-up colour rows, then the AND mask."""
    pixels = render(size)
    mask_stride = (size + 31) // 32 * 4
    colour, mask = bytearray(), bytearray()
    for row in reversed(pixels):
        line = bytearray()
        mask_line = bytearray(mask_stride)
        for i, (r, g, b, a) in enumerate(row):
            if bits == 32:
                transparent = a == 0
                line += bytes((b, g, r, a))
            else:
                transparent = a < 128
                if transparent:
                    line += bytes(3)
                else:
                    k = a / 255.0
                    line += bytes(byte(c * k + m * (1.0 - k)) for c, m in
                                  ((b, MATTE[2]), (g, MATTE[1]), (r, MATTE[0])))
            if transparent:
                mask_line[i // 8] |= 0x80 >> (i % 8)
        line += bytes(-len(line) % 4)
        colour += line
        mask += mask_line
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    entries, data = b"", b""
    for (size, bits), image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits,
                               len(image), offset + len(data))
        data += image
    return out + entries + data


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icon.py OUTPUT.ico\n")
        return 2
    content = ico([(kind, dib(*kind)) for kind in IMAGES])
    with open(argv[1], "wb") as f:
        f.write(content)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
