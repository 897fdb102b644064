#!/usr/bin/env python3
"""Draws the updater's icon, a parcel with a down arrow, and writes it as an
.ico file with eight images: 32 and 16 px in 16 colours; 48, 32 and 16 px in
256 colours; 48 and 16 px in 32-bit and 32 px in 24-bit colour.

Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

# Labels of the drawing, back to front.
CLEAR, BODY, LID, BOX_LINE, ARROW, ARROW_LINE = range(6)

# Each label's colour in full colour and in the 16-colour palette below.
TRUE_COLOUR = {
    BODY: (205, 150, 80),
    LID: (232, 188, 118),
    BOX_LINE: (96, 58, 22),
    ARROW: (34, 112, 214),
    ARROW_LINE: (14, 46, 118),
}
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
VGA_INDEX = {BODY: 3, LID: 3, BOX_LINE: 0, ARROW: 12, ARROW_LINE: 4}

SUPER = 4  # samples per pixel along each axis


# Edges lie on sixteenths, so that every size has them on pixel borders.
LID_EDGE = 10 / 16


def in_box(x, y):
    return 2 / 16 <= x <= 14 / 16 and 8 / 16 <= y <= 15 / 16


def in_lid(x, y):
    return 2 / 16 <= x <= 14 / 16 and 8 / 16 <= y <= LID_EDGE


def in_arrow(x, y):
    if 6 / 16 <= x <= 10 / 16 and 1 / 16 <= y <= 8 / 16:
        return True
    # The head: a triangle from its base (x 3/16 to 13/16) down to the tip.
    top, tip, half = 6 / 16, 13 / 16, 5 / 16
    if top <= y <= tip:
        return abs(x - 0.5) <= half * (tip - y) / (tip - top)
    return False


def label_grid(n):
    """The labels of an n x n grid of sample points, outlines included."""
    def at(i, j):
        return ((i + 0.5) / n, (j + 0.5) / n)

    arrow = [[in_arrow(*at(i, j)) for i in range(n)] for j in range(n)]
    box = [[in_box(*at(i, j)) for i in range(n)] for j in range(n)]
    # Outlines are about a pixel wide at 16 and 32 px, two at 48 px.
    pixels = n // SUPER
    width = max(1, round(pixels / 24)) * SUPER

    def edge(mask, i, j):
        for dj in range(-width + 1, width):
            for di in range(-width + 1, width):
                a, b = i + di, j + dj
                if not (0 <= a < n and 0 <= b < n) or not mask[b][a]:
                    return True
        return False

    grid = [[CLEAR] * n for _ in range(n)]
    for j in range(n):
        for i in range(n):
            if arrow[j][i]:
                grid[j][i] = ARROW_LINE if edge(arrow, i, j) else ARROW
            elif box[j][i]:
                if edge(box, i, j):
                    grid[j][i] = BOX_LINE
                else:
                    x, y = at(i, j)
                    # The lid's lower edge is a line of its own.
                    line = 1.0 / pixels
                    if in_lid(x, y) and y < LID_EDGE - line:
                        grid[j][i] = LID
                    elif in_lid(x, y):
                        grid[j][i] = BOX_LINE
                    else:
                        grid[j][i] = BODY
    return grid


def render(size):
    """Per pixel: (coverage 0..1, mean colour, majority label)."""
    n = size * SUPER
    grid = label_grid(n)
    image = []
    for y in range(size):
        row = []
        for x in range(size):
            counts = {}
            r = g = b = 0
            opaque = 0
            for j in range(SUPER):
                for i in range(SUPER):
                    label = grid[y * SUPER + j][x * SUPER + i]
                    counts[label] = counts.get(label, 0) + 1
                    if label != CLEAR:
                        cr, cg, cb = TRUE_COLOUR[label]
                        r, g, b = r + cr, g + cg, b + cb
                        opaque += 1
            coverage = opaque / (SUPER * SUPER)
            colour = (r // opaque, g // opaque, b // opaque) if opaque else (0, 0, 0)
            majority = max(counts.items(), key=lambda kv: kv[1])[0]
            if coverage >= 0.5 and majority == CLEAR:
                majority = max((kv for kv in counts.items() if kv[0] != CLEAR),
                               key=lambda kv: kv[1])[0]
            if coverage < 0.5:
                majority = CLEAR
            row.append((coverage, colour, majority))
        image.append(row)
    return image


def palette_256():
    colours = [TRUE_COLOUR[k] for k in sorted(TRUE_COLOUR)]
    steps = (0, 51, 102, 153, 204, 255)
    colours += [(r, g, b) for r in steps for g in steps for b in steps]
    colours += [(v, v, v) for v in range(8, 256, 24)]
    colours = [(0, 0, 0)] + [c for c in colours if c != (0, 0, 0)]
    return (colours + [(0, 0, 0)] * 256)[:256]


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda k: sum((a - b) ** 2 for a, b in zip(colour, palette[k])))


def row_bytes(bits):
    return (bits + 31) // 32 * 4


def and_mask(image, size):
    out = bytearray()
    for y in reversed(range(size)):
        row = bytearray(row_bytes(size))
        for x in range(size):
            coverage, _, label = image[y][x]
            if label == CLEAR and coverage < 0.5:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def dib(size, bits, image):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    palette = b''
    pixels = bytearray()
    if bits in (4, 8):
        colours = VGA if bits == 4 else palette_256()
        palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in colours)
        for y in reversed(range(size)):
            indices = []
            for x in range(size):
                _, colour, label = image[y][x]
                if label == CLEAR:
                    indices.append(0)
                elif bits == 4:
                    indices.append(VGA_INDEX[label])
                else:
                    indices.append(nearest(TRUE_COLOUR[label], colours))
            row = bytearray()
            if bits == 4:
                for x in range(0, size, 2):
                    row.append(indices[x] << 4 | (indices[x + 1] if x + 1 < size else 0))
            else:
                row += bytes(indices)
            row += bytes(row_bytes(size * bits) - len(row))
            pixels += row
    else:
        for y in reversed(range(size)):
            row = bytearray()
            for x in range(size):
                coverage, (r, g, b), label = image[y][x]
                if bits == 32:
                    row += bytes((b, g, r, round(coverage * 255)))
                elif label == CLEAR:
                    row += bytes((0, 0, 0))
                else:
                    row += bytes((b, g, r))
            row += bytes(row_bytes(size * bits) - len(row))
            pixels += row
    return header + palette + bytes(pixels) + and_mask(image, size)


IMAGES = [(32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (48, 32), (16, 32), (32, 24)]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    rendered = {size: render(size) for size in sorted({s for s, _ in IMAGES})}
    blobs = [dib(size, bits, rendered[size]) for size, bits in IMAGES]
    out = struct.pack('<HHH', 0, 1, len(IMAGES))
    offset = 6 + 16 * len(IMAGES)
    for (size, bits), blob in zip(IMAGES, blobs):
        out += struct.pack('<BBBBHHII', size, size, 16 if bits == 4 else 0, 0, 1, bits,
                           len(blob), offset)
        offset += len(blob)
    out += b''.join(blobs)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
