#!/usr/bin/env python3
"""Draws icon 286 of the password dialog (a yellow padlock with two grey keys)
in 32x32 and 16x16 pixels of the 16-colour palette and writes it as an .ico.

    scripts/make_password_icon.py ui/resources/password.ico
"""
import math
import struct
import sys

# Standard 16-colour palette (R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, SILVER, GREY, YELLOW, WHITE = 0, 3, 7, 8, 11, 15


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def draw(size):
    s = size / 32.0
    pixels = [[None] * size for _ in range(size)]

    def layer(inside, colour_of):
        """Fills a shape and gives it a black outline (4-neighbourhood)."""
        mask = [[inside(x + 0.5, y + 0.5) for x in range(size)] for y in range(size)]
        for y in range(size):
            for x in range(size):
                if mask[y][x]:
                    pixels[y][x] = colour_of(x + 0.5, y + 0.5)
                elif any(0 <= x + dx < size and 0 <= y + dy < size and mask[y + dy][x + dx]
                         for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                    pixels[y][x] = BLACK

    # Shackle: the upper half of a ring with two legs into the body.
    cx, cy, outer, inner = 11.5 * s, 11 * s, 7.5 * s, 4.5 * s

    def shackle(x, y):
        if y <= cy:
            return inner <= math.hypot(x - cx, y - cy) <= outer
        return y <= 15 * s and (cx - outer <= x <= cx - inner or cx + inner <= x <= cx + outer)
    layer(shackle, lambda x, y: WHITE if x < cx - outer + 1.2 * s and y < cy else SILVER)

    # Body with a highlight on the upper left and a shadow on the lower right.
    left, top, right, bottom = 1.5 * s, 13.5 * s, 21.5 * s, 28.5 * s

    def body(x, y):
        return left <= x <= right and top <= y <= bottom

    def body_colour(x, y):
        if x < left + 2 * s or y < top + 2 * s:
            return WHITE if size > 16 and x < left + 2 * s and y < top + 2 * s else YELLOW
        if x > right - 3 * s or y > bottom - 3 * s:
            return OLIVE
        return YELLOW
    layer(body, body_colour)

    # Keyhole.
    hx, hy = 11.5 * s, 19.5 * s
    for y in range(size):
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            if math.hypot(px - hx, py - hy) <= 2.0 * s or (abs(px - hx) <= 0.8 * s + 0.01 and hy <= py <= hy + 5 * s):
                pixels[y][x] = BLACK

    def key(bow_x, bow_y, tip_x, tip_y):
        bow_outer, bow_inner, half = 3.8 * s, 1.6 * s, 1.2 * s
        length = math.hypot(tip_x - bow_x, tip_y - bow_y)
        ux, uy = (tip_x - bow_x) / length, (tip_y - bow_y) / length
        nx, ny = -uy, ux   # teeth stand out on this side
        teeth = []
        for along in (length - 2.0 * s, length - 5.0 * s):
            ax, ay = bow_x + ux * along, bow_y + uy * along
            teeth.append((ax, ay, ax + nx * 3.0 * s, ay + ny * 3.0 * s))

        def inside(x, y):
            d = math.hypot(x - bow_x, y - bow_y)
            if d <= bow_outer:
                return d >= bow_inner
            if segment_distance(x, y, bow_x, bow_y, tip_x, tip_y) <= half:
                return True
            return any(segment_distance(x, y, *t) <= 0.9 * s for t in teeth)

        def colour(x, y):
            # Lit from the upper left: the far side of each part is darker.
            return GREY if (x - bow_x) * nx + (y - bow_y) * ny > 0.6 * s else SILVER
        layer(inside, colour)

    key(26 * s, 8.5 * s, 26 * s, 30 * s)
    key(20.5 * s, 19.5 * s, 30 * s, 29.5 * s)
    return pixels


# At 16x16 pixels geometry gives mush; the small image is drawn by hand.
# Layers are painted in order; ' ' leaves a pixel, 't' makes it transparent.
SMALL_LAYERS = [
    (0, 0, ["   KKKKK   ",
            "  KSSSSSK  ",
            " KSKKKKKSK ",
            " KSK   KSK ",
            " KSK   KSK ",
            "KKKKKKKKKKK",
            "KWYYYYYYYOK",
            "KYYYYKYYYOK",
            "KYYYKKKYYOK",
            "KYYYYKYYYOK",
            "KYYYYKYYYOK",
            "KYYYYYYYYOK",
            "KOOOOOOOOOK",
            "KKKKKKKKKKK"]),
    (11, 0, [" KKK ",
             "KSSSK",
             "KStSK",
             "KSSSK",
             " KSK ",
             " KSK ",
             " KGK ",
             " KGK ",
             " KGKK",
             " KGGK",
             " KGKK",
             " KGGK",
             " KGKK",
             " KKK "]),
    (5, 10, [" KKK       ",
             "KSSSKKKKKKK",
             "KStSSSSSSSK",
             "KSSSKKGKGKK",
             " KKK KKKKK "]),
]
CODES = {'K': BLACK, 'S': SILVER, 'G': GREY, 'Y': YELLOW, 'O': OLIVE, 'W': WHITE, 't': None}


def draw_small():
    pixels = [[None] * 16 for _ in range(16)]
    for left, top, rows in SMALL_LAYERS:
        for dy, row in enumerate(rows):
            for dx, code in enumerate(row):
                if code != ' ':
                    pixels[top + dy][left + dx] = CODES[code]
    return pixels


def icon_image(size):
    pixels = draw(size) if size > 16 else draw_small()
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for y in reversed(range(size)):
        row = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x in range(size):
            index = pixels[y][x]
            if index is None:
                mask[x // 8] |= 0x80 >> (x % 8)
                index = 0
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor_rows.append(bytes(row))
        and_rows.append(bytes(mask))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def main():
    sizes = (32, 16)
    images = [icon_image(size) for size in sizes]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        data += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    data += b''.join(images)
    with open(sys.argv[1], 'wb') as out:
        out.write(data)


if __name__ == '__main__':
    main()
