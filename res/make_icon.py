#!/usr/bin/env python3
"""Draws the program's icon and writes it as one .ico holding 16-colour images (the standard
16-colour palette) of 32 x 32 (first), 16 x 16, 20 x 20, 24 x 24 and 48 x 48 pixels: a white sheet
with lines of text, and a red and yellow flame at its lower right corner. The smaller sizes are
what Windows shows in the tray and title bars at 100, 125 and 150 % display scaling (and 32 at
200 %), the 48 x 48 image its large icon at 150 %.

    python3 res/make_icon.py [res/quellarotix.ico]

The .ico is committed next to this script; run it again after changing the drawing.
"""
import struct
import sys

PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, NAVY, SILVER, GRAY, RED, YELLOW, WHITE = 0, 1, 4, 7, 8, 9, 11, 15
SIZES = [32, 16, 20, 24, 48]
CLEAR = None  # transparent pixel

# The drawing in the units of the 32 x 32 image, where every number is a whole pixel.
SHEET = (3, 1, 24, 30, 6)  # left, top, right, bottom, fold
TEXT_LINES = [(5, 16), (8, 18), (11, 21), (14, 20), (17, 17), (20, 15), (23, 16), (26, 14)]  # (y, end)
WORD_GAP = 7
FLAME = (24.5, 25.0, 6.6, 12.0, 27.0)  # centre x, centre y, radius, tip y, tip x
HEART = (24.3, 26.6, 3.6, 18.0, 25.5)


def draw(size):
    k = size / 32

    def px(value):  # a whole-pixel number of the 32 x 32 drawing at this size, halves up
        return int(value * k + 0.5)

    img = [[CLEAR] * size for _ in range(size)]

    # The sheet, with its top right corner folded over.
    left, top, right, bottom, fold = (px(v) for v in SHEET)
    fold = max(fold, 2)
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x - (right - fold) > y - top:  # beyond the fold line: cut away
                continue
            edge = x in (left, right) or y in (top, bottom) or x - (right - fold) == y - top
            img[y][x] = BLACK if edge else WHITE
    for y in range(top + 1, top + fold + 1):  # the folded-over flap
        for x in range(right - fold + 1, right - fold + (y - top)):
            img[y][x] = SILVER
    for x in range(right - fold, right + 1):
        img[top + fold][x] = BLACK
    for y in range(top, top + fold + 1):
        img[y][right - fold] = BLACK

    # Lines of text, shorter near the flame, evenly spaced. Below 32 pixels only every other line
    # of the drawing is drawn, so a line of white stays between them.
    stride = 1 if size >= 32 else 2
    step = px(3 * stride)
    gap = max(3, px(WORD_GAP))
    for row, (_, end) in enumerate(TEXT_LINES[::stride]):
        y = px(TEXT_LINES[0][0]) + row * step
        for x in range(left + max(2, px(3)), px(end) + 1):
            if (x + row) % gap == 0:  # gaps between words
                continue
            img[y][x] = NAVY if row == 0 else GRAY

    # The flame: a tear drop, round at the bottom and drawn up to a point, red with a yellow heart.
    def inside(x, y, cx, cy, radius, tip_y, tip_x):
        if y >= cy:
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
        if y < tip_y:
            return False
        t = (cy - y) / (cy - tip_y)  # 0 at the widest row, 1 at the tip
        centre = cx + (tip_x - cx) * t * t
        half = radius * (1 - t) ** 0.8
        return abs(x - centre) <= half

    for shape, colour in ((FLAME, RED), (HEART, YELLOW)):
        scaled = [v * k for v in shape]
        for y in range(size):
            for x in range(size):
                if inside(x + 0.5, y + 0.5, *scaled):
                    img[y][x] = colour
    # A dark rim around the red so the flame stands out against the sheet.
    rim = []
    for y in range(size):
        for x in range(size):
            if img[y][x] not in (RED, YELLOW):
                near = [(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))]
                if any(0 <= a < size and 0 <= b < size and img[b][a] == RED for a, b in near):
                    rim.append((x, y))
    for x, y in rim:
        img[y][x] = MAROON
    return img


def padded(row):  # bitmap rows are stored in whole 32-bit words
    return row + bytes(-len(row) % 4)


def image_bytes(img):
    size = len(img)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up rows
        row = [c if c is not None else 0 for c in img[y]] + [0]
        xor += padded(bytes((row[x] << 4) | row[x + 1] for x in range(0, size, 2)))
        bits = 0
        for x in range(size):
            bits = (bits << 1) | (1 if img[y][x] is None else 0)
        bits <<= -size % 8
        mask += padded(bits.to_bytes((size + 7) // 8, "big"))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    return header + palette + bytes(xor) + bytes(mask)


def ico_bytes(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for img in images:
        image = image_bytes(img)
        size = len(img)
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset + len(data))
        data += image
    return directory + entries + data


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "res/quellarotix.ico"
    with open(out, "wb") as f:
        f.write(ico_bytes([draw(size) for size in SIZES]))


if __name__ == "__main__":
    main()
