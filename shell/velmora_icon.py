#!/usr/bin/env python3
"""Draws Velmora's icon, a radar scope with a sweep and aircraft blips, and writes it
as a Windows icon group of three 16-colour images (48, 32 and 16 pixels).

    velmora_icon.py OUT.ico          write the icon
    velmora_icon.py --check ICO      exit 1 unless ICO is exactly what this script draws

The drawing is plain arithmetic over pixel centres, so the same script always gives
the same bytes. Each size has its own parameters: at 16 pixels the rings give way to
a bright sweep and three single-pixel blips, so the scope still reads.
"""
import math
import struct
import sys

# The standard 16-colour palette, in the order Windows' VGA palette has it (R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DKGREEN, GREY, LTGREY, GREEN, YELLOW, WHITE = 0, 2, 8, 7, 10, 11, 15
CLEAR = None  # outside the scope: transparent

# Per size: bezel width, range rings (as fractions of the scope radius), whether the
# crosshair is drawn, sweep width in degrees, and the blips as (bearing, range fraction,
# shape). Bearings are clockwise from north, like the table's Brg(M) column.
SIZES = {
    48: dict(bezel=3.0, rings=(0.36, 0.68), cross=True, sweep=50.0,
             blips=((62, 0.55, "plane"), (200, 0.70, "plane"), (300, 0.35, "plane"))),
    32: dict(bezel=2.0, rings=(0.50,), cross=True, sweep=50.0,
             blips=((62, 0.55, "plus"), (200, 0.68, "plus"), (300, 0.35, "dot2"))),
    16: dict(bezel=1.2, rings=(), cross=False, sweep=60.0,
             blips=((62, 0.55, "dot"), (200, 0.62, "dot"), (300, 0.40, "dot"))),
}
SWEEP_LEAD = 75.0  # bearing of the sweep's bright leading edge, degrees


def bearing_of(dx, dy):
    """Clockwise from north (screen y grows downwards), 0 to 360."""
    return math.degrees(math.atan2(dx, -dy)) % 360.0


def draw(size):
    p = SIZES[size]
    c = size / 2.0
    radius = size / 2.0 - 0.25
    face = radius - p["bezel"]
    img = [[CLEAR] * size for _ in range(size)]
    m = size // 2  # the pixel just below and right of the centre: crosshair and pivot
    lead_x = math.sin(math.radians(SWEEP_LEAD))
    lead_y = -math.cos(math.radians(SWEEP_LEAD))
    for y in range(size):
        for x in range(size):
            dx, dy = x + 0.5 - c, y + 0.5 - c
            r = math.hypot(dx, dy)
            if r > radius:
                continue
            if r > face:
                # The bezel: lit from the upper left, shaded to the lower right.
                img[y][x] = LTGREY if dx + dy < 0 else GREY
                continue
            colour = BLACK
            b = bearing_of(dx, dy)
            behind = (SWEEP_LEAD - b) % 360.0
            if behind < p["sweep"]:
                colour = DKGREEN
            for ring in p["rings"]:
                if abs(r - ring * face) < 0.5:
                    colour = DKGREEN if colour == BLACK else GREEN
            if p["cross"] and (x == m or y == m):
                colour = DKGREEN if colour == BLACK else GREEN
            # The leading edge: pixels within half a pixel of the ray from the centre.
            along = dx * lead_x + dy * lead_y
            if along > 0 and abs(dx * lead_y - dy * lead_x) < 0.6:
                colour = GREEN
            img[y][x] = colour
    img[m][m] = GREEN  # the centre pivot
    # The blips.
    for brg, frac, shape in p["blips"]:
        a = math.radians(brg)
        bx = int(c + math.sin(a) * frac * face)
        by = int(c - math.cos(a) * frac * face)
        for ox, oy, col in SHAPES[shape]:
            x, y = bx + ox, by + oy
            if 0 <= x < size and 0 <= y < size and img[y][x] is not CLEAR:
                img[y][x] = col
    return img


SHAPES = {
    "dot": [(0, 0, YELLOW)],
    "dot2": [(0, 0, YELLOW), (1, 0, YELLOW), (0, 1, YELLOW), (1, 1, YELLOW)],
    "plus": [(0, -1, YELLOW), (-1, 0, YELLOW), (0, 0, WHITE), (1, 0, YELLOW), (0, 1, YELLOW)],
    # A small airliner seen from above, nose up: fuselage, wings, tailplane.
    "plane": [(0, -3, WHITE), (0, -2, WHITE), (0, -1, YELLOW), (0, 0, YELLOW), (0, 1, YELLOW),
              (0, 2, YELLOW), (-3, 0, YELLOW), (-2, 0, YELLOW), (-1, 0, YELLOW),
              (1, 0, YELLOW), (2, 0, YELLOW), (3, 0, YELLOW), (-1, 3, YELLOW),
              (0, 3, YELLOW), (1, 3, YELLOW)],
}


def row_bytes(bits_per_pixel, width):
    return ((bits_per_pixel * width + 31) // 32) * 4


def bitmap(img):
    """The icon image: BITMAPINFOHEADER, palette, 4-bit colour rows, 1-bit mask rows,
    both bottom-up."""
    size = len(img)
    xor_stride, and_stride = row_bytes(4, size), row_bytes(1, size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         (xor_stride + and_stride) * size, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(size)):
        row = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x in range(size):
            v = img[y][x]
            if v is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
                v = 0
            row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        xor += row
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def icon():
    images = [bitmap(draw(s)) for s in (48, 32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip((48, 32, 16), images):
        out += struct.pack("<BBBBHHII", s, s, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main(argv):
    data = icon()
    if len(argv) == 3 and argv[1] == "--check":
        with open(argv[2], "rb") as f:
            same = f.read() == data
        if not same:
            print(f"{argv[2]} differs from what {argv[0]} draws; run it again", file=sys.stderr)
        return 0 if same else 1
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
