#!/usr/bin/python3
"""Draws the program icon (pixlane.ico) and the folder tree's four cursors
(110 drag, 111 input, 112 output, 113 both) as Windows .ico/.cur files. Run by hand
when the drawings change; the outputs are kept beside this script."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def ico_image(size, pixels):
    """A 32-bit BGRA DIB with an all-zero AND mask; pixels: rows top-down."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b''.join(bytes(b for px in row for b in (px[2], px[1], px[0], px[3])) for row in reversed(pixels))
    mask_stride = ((size + 31) // 32) * 4
    return header + rows + bytes(mask_stride * size)


def write_container(path, kind, images, hotspots):
    out = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    body = b''
    for (size, data), hot in zip(images, hotspots):
        planes, bits = (1, 32) if kind == 1 else hot
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, planes, bits, len(data), offset)
        offset += len(data)
        body += data
    with open(path, 'wb') as f:
        f.write(out + body)


def blank(size):
    return [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1):
        for x in range(x0, x1):
            img[y][x] = colour


def icon(size):
    img = blank(size)
    s = size / 32
    teal = (0x2a, 0x8a, 0x8a, 255)
    light = (0xe8, 0xff, 0xff, 255)
    dark = (0x10, 0x40, 0x40, 255)
    rect(img, int(2 * s), int(4 * s), int(30 * s), int(28 * s), dark)
    rect(img, int(3 * s), int(5 * s), int(29 * s), int(27 * s), light)
    # Three "lanes" of pixels: the batch going through.
    for lane, colour in enumerate([(0xd0, 0x40, 0x40, 255), (0x40, 0xa0, 0x40, 255), (0x40, 0x60, 0xd0, 255)]):
        y = int((8 + lane * 6) * s)
        rect(img, int(6 * s), y, int(20 * s), y + max(1, int(4 * s)), colour)
    for i in range(int(6 * s)):
        rect(img, int(21 * s) + i, int(8 * s) + i, int(22 * s) + i, int(24 * s) - i, teal)
    return img


def arrow_cursor(letter_rows, colour):
    """A 32x32 arrow with a small letter badge at the bottom right."""
    img = blank(32)
    black, white = (0, 0, 0, 255), (255, 255, 255, 255)
    for y in range(16):
        for x in range(y // 1 + 1):
            if x > 10:
                break
            edge = x == 0 or x == min(y, 10) or y == 15
            img[y][x] = black if edge else white
    rect(img, 14, 16, 30, 30, black)
    rect(img, 15, 17, 29, 29, colour)
    for dy, row in enumerate(letter_rows):
        for dx, ch in enumerate(row):
            if ch == '#':
                img[19 + dy][17 + dx] = white
    return img


def cursor_data(img):
    return ico_image(32, img)


def main():
    write_container(os.path.join(HERE, 'pixlane.ico'), 1,
                    [(16, ico_image(16, icon(16))), (32, ico_image(32, icon(32))), (48, ico_image(48, icon(48)))],
                    [None, None, None])
    letters = {
        'cursor_input.cur': (["#########", "   ###   ", "   ###   ", "   ###   ", "   ###   ", "   ###   ",
                              "   ###   ", "#########"], (0x30, 0x60, 0xc0, 255)),
        'cursor_output.cur': ([" ####### ", "###   ###", "###   ###", "###   ###", "###   ###", "###   ###",
                               "###   ###", " ####### "], (0xc0, 0x50, 0x30, 255)),
        'cursor_both.cur': (["###   ###", "###   ###", " ### ### ", "  #####  ", "  #####  ", " ### ### ",
                             "###   ###", "###   ###"], (0x30, 0x90, 0x50, 255)),
        'cursor_drag.cur': (["  #####  ", "  #   #  ", "  #   #  ", "#########", "#       #", "#       #",
                             "#       #", "#########"], (0x80, 0x80, 0x80, 255)),
    }
    for name, (rows, colour) in letters.items():
        write_container(os.path.join(HERE, name), 2, [(32, cursor_data(arrow_cursor(rows, colour)))], [(0, 0)])


if __name__ == '__main__':
    main()
