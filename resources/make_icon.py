#!/usr/bin/env python3
"""Draws the application icon (a laser diode in its metal can, firing a red beam) and writes
resources/driverpanel.ico: 32x32 and 16x16 in 16 colours, 48x48 in 256 colours, each with a
transparency mask; and, for Linux desktops, the same drawing in the hicolor icon theme's layout
under resources/icons/: full-colour PNGs at the sizes desktops ask for, and an SVG.
Standard library only. With --preview FILE it also writes an enlarged PNG of the .ico's images.

The picture is one description in unit coordinates (0..1, y downwards), sampled at each size (or
written out as SVG shapes), so every image stays the same drawing."""

import argparse
import math
import struct
import zlib
from pathlib import Path

# The 16 colours every Windows display can show; 16-colour images use exactly these.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256():
    """VGA colours, a 6x6x6 colour cube and a grey ramp: 256 entries."""
    cube = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    greys = [(v, v, v) for v in (8 + 10 * i for i in range(24))]
    return (VGA16 + cube + greys)[:256]


# --- The drawing: shapes in painting order, each a colour and a point test ----------------------

class Shape:
    """A point test in unit coordinates, and the same area as SVG elements (unit coordinates
    times `scale`)."""

    def __init__(self, inside, svg):
        self.inside = inside
        self.svg = svg

    def __call__(self, x, y):
        return self.inside(x, y)


def ellipse(cx, cy, rx, ry):
    return Shape(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0,
                 lambda k, fill: [f'<ellipse cx="{cx * k:g}" cy="{cy * k:g}" rx="{rx * k:g}" '
                                  f'ry="{ry * k:g}" fill="{fill}"/>'])


def rect(x0, y0, x1, y1):
    return Shape(lambda x, y: x0 <= x <= x1 and y0 <= y <= y1,
                 lambda k, fill: [f'<rect x="{x0 * k:g}" y="{y0 * k:g}" width="{(x1 - x0) * k:g}" '
                                  f'height="{(y1 - y0) * k:g}" fill="{fill}"/>'])


def segment(ax, ay, bx, by, half_width):
    """Points within half_width of the segment a-b: a stroke with round ends."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= half_width

    return Shape(inside,
                 lambda k, fill: [f'<line x1="{ax * k:g}" y1="{ay * k:g}" x2="{bx * k:g}" '
                                  f'y2="{by * k:g}" stroke="{fill}" '
                                  f'stroke-width="{2 * half_width * k:g}" '
                                  f'stroke-linecap="round"/>'])


def union(*shapes):
    return Shape(lambda x, y: any(s(x, y) for s in shapes),
                 lambda k, fill: [e for s in shapes for e in s.svg(k, fill)])


DARK = (64, 64, 64)
METAL = (192, 192, 192)
SHADE = (128, 128, 128)
RED = (255, 0, 0)
GLOW = (128, 0, 0)
CORE = (255, 255, 0)

CAN_LEFT, CAN_RIGHT = 0.14, 0.56
CAN_MID = (CAN_LEFT + CAN_RIGHT) / 2
APERTURE = (CAN_MID, 0.44)
BEAM_END = (0.98, 0.02)

SHAPES = [
    # Three leads under the can.
    (DARK, union(rect(0.20, 0.80, 0.25, 1.0), rect(CAN_MID - 0.025, 0.80, CAN_MID + 0.025, 1.0),
                 rect(0.45, 0.80, 0.50, 1.0))),
    # Flange, then the can's body with its domed cap.
    (SHADE, rect(0.06, 0.74, 0.64, 0.84)),
    (METAL, union(rect(CAN_LEFT, 0.46, CAN_RIGHT, 0.76), ellipse(CAN_MID, 0.46, 0.21, 0.08))),
    (SHADE, rect(CAN_RIGHT - 0.08, 0.50, CAN_RIGHT, 0.74)),
    # The beam: a dark red glow around a red beam, leaving the window in the cap.
    (GLOW, segment(*APERTURE, *BEAM_END, 0.085)),
    (RED, segment(*APERTURE, *BEAM_END, 0.05)),
    (CORE, ellipse(*APERTURE, 0.07, 0.05)),
]


def sample(size, supersample=4):
    """Per pixel: the averaged colour and the covered fraction."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = covered = 0
            for sy in range(supersample):
                for sx in range(supersample):
                    x = (px + (sx + 0.5) / supersample) / size
                    y = (py + (sy + 0.5) / supersample) / size
                    colour = None
                    for shape_colour, inside in SHAPES:
                        if inside(x, y):
                            colour = shape_colour
                    if colour is not None:
                        r, g, b = r + colour[0], g + colour[1], b + colour[2]
                        covered += 1
            n = supersample * supersample
            row.append(((r // covered, g // covered, b // covered) if covered else (0, 0, 0),
                        covered / n))
        pixels.append(row)
    return pixels


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def icon_image(size, bits):
    """One icon image: BITMAPINFOHEADER, palette, colour bits and AND mask, rows bottom-up."""
    palette = VGA16 if bits == 4 else palette256()
    pixels = sample(size)
    indices = [[nearest(palette, c) if cover >= 0.5 else 0 for c, cover in row] for row in pixels]
    transparent = [[cover < 0.5 for _, cover in row] for row in pixels]

    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    colours += b"\0" * (4 * (1 << bits) - len(colours))
    xor = b""
    mask = b""
    for y in reversed(range(size)):
        if bits == 4:
            row = bytes((indices[y][x] << 4) | indices[y][x + 1] for x in range(0, size, 2))
        else:
            row = bytes(indices[y])
        xor += padded(row)
        mask_bits = 0
        for x in range(size):
            mask_bits = (mask_bits << 1) | transparent[y][x]
        mask += padded(mask_bits.to_bytes(size // 8, "big"))
    rgba = [[palette[indices[y][x]] + ((0,) if transparent[y][x] else (255,))
             for x in range(size)] for y in range(size)]
    return header + colours + xor + mask, rgba


def write_ico(path, images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    data = b""
    for size, bits, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0, 1,
                               bits, len(blob), offset + len(data))
        data += blob
    Path(path).write_bytes(directory + entries + data)


def png_bytes(width, height, colour_type, rows):
    """A PNG of 8-bit RGB (colour type 2) or RGBA (6) rows, each a bytes object."""
    raw = b"".join(b"\0" + row for row in rows)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_preview_png(path, rgba_images, scale=8):
    """The images side by side, enlarged, on a checkerboard that shows the transparent parts."""
    height = max(len(img) for img in rgba_images) * scale
    width = sum(len(img) * scale + 16 for img in rgba_images)
    canvas = [[(255, 255, 255)] * width for _ in range(height)]
    left = 8
    for img in rgba_images:
        for y in range(len(img) * scale):
            for x in range(len(img) * scale):
                r, g, b, a = img[y // scale][x // scale]
                checker = 220 if (x // 8 + y // 8) % 2 else 255
                canvas[y][left + x] = (r, g, b) if a else (checker, checker, 200)
        left += len(img) * scale + 16
    rows = [bytes(v for px in row for v in px) for row in canvas]
    Path(path).write_bytes(png_bytes(width, height, 2, rows))


# Sizes a desktop asks for in the hicolor theme; the SVG serves every other.
THEME_SIZES = (16, 24, 32, 48, 64, 128, 256)
THEME_NAME = "driverpanel"


def write_theme_png(path, size):
    """Full colour with the covered fraction as alpha: smooth edges at every size."""
    rows = [bytes(v for colour, cover in row for v in (*colour, round(cover * 255)))
            for row in sample(size)]
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(png_bytes(size, size, 6, rows))


def write_theme_svg(path, size=256):
    elements = [e for colour, shape in SHAPES
                for e in shape.svg(size, "#%02x%02x%02x" % colour)]
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(f'<?xml version="1.0" encoding="UTF-8"?>\n'
                    f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" '
                    f'viewBox="0 0 {size} {size}">\n'
                    + "".join(f"  {e}\n" for e in elements) + "</svg>\n")


def write_theme(root):
    for size in THEME_SIZES:
        write_theme_png(root / f"{size}x{size}" / "apps" / f"{THEME_NAME}.png", size)
    write_theme_svg(root / "scalable" / "apps" / f"{THEME_NAME}.svg")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default=str(Path(__file__).with_name("driverpanel.ico")))
    parser.add_argument("--theme", default=str(Path(__file__).with_name("icons") / "hicolor"),
                        help="the hicolor theme folder the PNGs and the SVG go into")
    parser.add_argument("--preview", help="also write an enlarged PNG of the three images")
    args = parser.parse_args()

    images = []
    previews = []
    for size, bits in ((32, 4), (16, 4), (48, 8)):
        blob, rgba = icon_image(size, bits)
        images.append((size, bits, blob))
        previews.append(rgba)
    write_ico(args.output, images)
    write_theme(Path(args.theme))
    if args.preview:
        write_preview_png(args.preview, previews)


if __name__ == "__main__":
    main()
