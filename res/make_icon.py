#!/usr/bin/env python3
"""Draws the program's icon and writes it as a 32 x 32, 16-colour .ico (the standard 16-colour
palette): a white sheet with lines of text, and a red and yellow flame at its lower right corner.

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
SIZE = 32
CLEAR = None  # transparent pixel


def draw():
    img = [[CLEAR] * SIZE for _ in range(SIZE)]

    # The sheet, with its top right corner folded over.
    left, top, right, bottom, fold = 3, 1, 24, 30, 6
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

    # Lines of text, shorter near the flame.
    for row, (y, end) in enumerate([(5, 16), (8, 18), (11, 21), (14, 20), (17, 17), (20, 15), (23, 16), (26, 14)]):
        for x in range(left + 3, end + 1):
            if (x + row) % 7 == 0:  # gaps between words
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

    for y in range(SIZE):
        for x in range(SIZE):
            px, py = x + 0.5, y + 0.5
            if inside(px, py, 24.5, 25.0, 6.6, 12.0, 27.0):
                img[y][x] = RED
    for y in range(SIZE):
        for x in range(SIZE):
            px, py = x + 0.5, y + 0.5
            if inside(px, py, 24.3, 26.6, 3.6, 18.0, 25.5):
                img[y][x] = YELLOW
    # A dark rim around the red so the flame stands out against the sheet.
    rim = []
    for y in range(SIZE):
        for x in range(SIZE):
            if img[y][x] not in (RED, YELLOW):
                near = [(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))]
                if any(0 <= a < SIZE and 0 <= b < SIZE and img[b][a] == RED for a, b in near):
                    rim.append((x, y))
    for x, y in rim:
        img[y][x] = MAROON
    return img


def ico_bytes(img):
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        row = img[y]
        for x in range(0, SIZE, 2):
            a = row[x] if row[x] is not None else 0
            b = row[x + 1] if row[x + 1] is not None else 0
            xor.append((a << 4) | b)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "res/quellarotix.ico"
    with open(out, "wb") as f:
        f.write(ico_bytes(draw()))


if __name__ == "__main__":
    main()
