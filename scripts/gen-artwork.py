#!/usr/bin/env python3
"""Draws Tonbar's icons and tool-bar strips (our own artwork) into src/resources/.

Run once after changing a shape; the generated files are committed. Pure
standard library: shapes are rendered with 4x4 supersampling."""
import math
import os
import struct
import sys

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "resources")
SS = 4


def render(size, shapes):
    """shapes: list of (coverage(x, y) -> bool, (r, g, b, a)). Returns rows of RGBA."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) / size
                    y = (py + (sy + 0.5) / SS) / size
                    col = (0, 0, 0, 0)
                    for hit, c in shapes:
                        if hit(x, y):
                            col = c
                    a = col[3] / 255.0
                    acc[0] += col[0] * a
                    acc[1] += col[1] * a
                    acc[2] += col[2] * a
                    acc[3] += a
            n = SS * SS
            alpha = acc[3] / n
            if alpha > 0:
                rgb = [min(255, int(round(acc[i] / acc[3]))) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], int(round(alpha * 255))))
        rows.append(row)
    return rows


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r1, r2):
    return lambda x, y: r1 * r1 <= (x - cx) ** 2 + (y - cy) ** 2 <= r2 * r2


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded(x0, y0, x1, y1, r):
    def hit(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return hit


def poly(points):
    def hit(x, y):
        inside = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                inside = not inside
        return inside
    return hit


def union(*fs):
    return lambda x, y: any(f(x, y) for f in fs)


def line(xa, ya, xb, yb, w):
    def hit(x, y):
        dx, dy = xb - xa, yb - ya
        t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / (dx * dx + dy * dy)))
        return (x - xa - t * dx) ** 2 + (y - ya - t * dy) ** 2 <= (w / 2) ** 2
    return hit


BLUE = (30, 90, 170, 255)
LIGHT = (235, 240, 250, 255)
RED = (210, 30, 30, 255)
DARK = (50, 50, 60, 255)
GREEN = (30, 150, 60, 255)
ORANGE = (230, 140, 20, 255)


def microphone():
    # A microphone capsule on a stand inside a blue disc.
    return [
        (circle(0.5, 0.5, 0.48), BLUE),
        (rounded(0.38, 0.16, 0.62, 0.58, 0.12), LIGHT),
        (ring(0.5, 0.45, 0.19, 0.25), LIGHT),
        (rect(0.25, 0.2, 0.75, 0.45), BLUE),
        (rounded(0.38, 0.16, 0.62, 0.58, 0.12), LIGHT),
        (rect(0.47, 0.68, 0.53, 0.8), LIGHT),
        (rounded(0.34, 0.78, 0.66, 0.84, 0.03), LIGHT),
    ]


def recording():
    return [(circle(0.5, 0.5, 0.46), (120, 0, 0, 255)), (circle(0.5, 0.5, 0.38), RED)]


TOOLBAR = [  # in button order: 40011 40013 40048 40030 40031 40032 40029 40037 40002 40006 40001
    [(circle(0.5, 0.5, 0.36), RED)],                                          # record
    [(rounded(0.2, 0.2, 0.8, 0.8, 0.06), DARK)],                              # stop
    [(rounded(0.12, 0.2, 0.88, 0.8, 0.08), BLUE), (rect(0.22, 0.32, 0.78, 0.4), LIGHT),
     (rect(0.22, 0.48, 0.62, 0.56), LIGHT), (rect(0.22, 0.64, 0.7, 0.72), LIGHT)],  # profile
    [(poly([(0.25, 0.15), (0.85, 0.5), (0.25, 0.85)]), GREEN)],               # play
    [(rounded(0.1, 0.25, 0.9, 0.78, 0.05), ORANGE),
     (union(line(0.12, 0.28, 0.5, 0.56, 0.07), line(0.88, 0.28, 0.5, 0.56, 0.07)), LIGHT)],  # e-mail
    [(poly([(0.5, 0.1), (0.85, 0.5), (0.64, 0.5), (0.64, 0.88), (0.36, 0.88), (0.36, 0.5), (0.15, 0.5)]), BLUE)],  # upload
    [(rounded(0.15, 0.12, 0.85, 0.88, 0.06), BLUE), (rect(0.3, 0.14, 0.7, 0.4), LIGHT),
     (rect(0.3, 0.6, 0.7, 0.86), LIGHT)],                                     # save as
    [(union(line(0.22, 0.22, 0.78, 0.78, 0.16), line(0.78, 0.22, 0.22, 0.78, 0.16)), RED)],  # delete
    [(circle(0.5, 0.5, 0.4), DARK), (circle(0.5, 0.5, 0.16), LIGHT),
     (union(rect(0.44, 0.04, 0.56, 0.96), rect(0.04, 0.44, 0.96, 0.56)), DARK),
     (circle(0.5, 0.5, 0.16), LIGHT)],                                        # settings
    [(circle(0.5, 0.5, 0.42), BLUE), (rect(0.45, 0.42, 0.55, 0.76), LIGHT),
     (circle(0.5, 0.28, 0.06), LIGHT)],                                       # about
    [(rounded(0.18, 0.1, 0.62, 0.9, 0.04), DARK),
     (poly([(0.5, 0.42), (0.72, 0.42), (0.72, 0.3), (0.92, 0.5), (0.72, 0.7), (0.72, 0.58), (0.5, 0.58)]), RED)],  # exit
]


def dib32(rows):
    """BITMAPINFOHEADER + BGRA bottom-up + AND mask, as an icon image."""
    size = len(rows)
    hdr = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pix = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = 0
        line_bytes = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line_bytes[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(line_bytes)
        del bits
    return hdr + pix + mask


def write_ico(path, shapes, sizes=(16, 20, 24, 32, 48, 64)):
    images = [dib32(render(s, shapes)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


def write_strip(path, size):
    """24-bit strip; black is the image list's transparent colour."""
    tiles = [render(size, shapes) for shapes in TOOLBAR]
    width = size * len(tiles)
    stride = (width * 3 + 3) & ~3
    body = b""
    for y in reversed(range(size)):
        line_bytes = bytearray()
        for tile in tiles:
            for (r, g, b, a) in tile[y]:
                if a < 128:
                    line_bytes += b"\0\0\0"
                else:
                    # keep drawn pixels off pure black so they stay opaque
                    line_bytes += bytes((max(b, 1), max(g, 1), max(r, 1)))
        line_bytes += b"\0" * (stride - len(line_bytes))
        body += bytes(line_bytes)
    info = struct.pack("<IiiHHIIiiII", 40, width, size, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(body), 0, 0, 54)
    with open(path, "wb") as f:
        f.write(head + info + body)


def main():
    os.makedirs(OUT, exist_ok=True)
    write_ico(os.path.join(OUT, "tonbar.ico"), microphone())
    write_ico(os.path.join(OUT, "recording.ico"), recording(), sizes=(16, 20, 24, 32))
    write_strip(os.path.join(OUT, "toolbar_small.bmp"), 16)
    write_strip(os.path.join(OUT, "toolbar_large.bmp"), 24)
    return 0


if __name__ == "__main__":
    sys.exit(main())
