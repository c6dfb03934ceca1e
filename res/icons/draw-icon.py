#!/usr/bin/env python3
"""Draws the application icon -- a picture halving into a smaller copy of
itself -- as XPM pixel art at 48, 32 and 16 pixels, each at three depths:

  4 bits per pixel   six flat colours (the 16-colour form)
  8 bits per pixel   the same shapes, each shaded in 16 steps (at most 256 colours)
  24 bits per pixel  the same shapes in smooth, per-pixel shading

The XPM files beside this script (dorvalune-SIZE-BITS.xpm) are its output and
are what the program builds from; run it again only to change the artwork:
    python3 draw-icon.py
"""

# Each part of the picture: its flat colour, and the two ends of its shading
# from the top left corner to the bottom right one.
PARTS = {
    '.': ((0xDC, 0xEB, 0xFA), (0xF4, 0xF9, 0xFF), (0xB4, 0xD0, 0xEE)),  # the original: pale blue
    'o': ((0x2F, 0x6D, 0xB5), (0x4A, 0x8A, 0xD4), (0x1E, 0x4C, 0x86)),  # its frame
    '+': ((0xF7, 0xA5, 0x41), (0xFF, 0xCB, 0x7A), (0xE6, 0x80, 0x14)),  # the half-size copy: orange
    '@': ((0xA8, 0x52, 0x0A), (0xC4, 0x6A, 0x18), (0x7E, 0x3A, 0x04)),  # its frame
    '#': ((0x17, 0x40, 0x6F), (0x2A, 0x5C, 0x96), (0x0C, 0x28, 0x48)),  # the arrow
}
# Characters for XPM colour codes: printable, and neither a quote, a backslash
# nor a question mark (two in a row would make a C trigraph).
CODES = [chr(c) for c in range(35, 127) if chr(c) not in '\\?']


def draw(size):
    grid = [[' '] * size for _ in range(size)]
    unit = max(1, size // 16)  # stroke width: 1, 2 or 3 pixels

    def fill(x0, y0, x1, y1, ch):
        for y in range(max(0, y0), min(size, y1 + 1)):
            for x in range(max(0, x0), min(size, x1 + 1)):
                grid[y][x] = ch

    def framed_square(x0, y0, x1, y1, inside, frame):
        fill(x0, y0, x1, y1, frame)
        fill(x0 + unit, y0 + unit, x1 - unit, y1 - unit, inside)

    margin = unit
    last = size - 1 - margin
    framed_square(margin, margin, last, last, '.', 'o')
    half_last = margin + (last - margin + 1) // 2 - 1
    framed_square(margin, margin, half_last, half_last, '+', '@')

    # Arrow from the big square's lower right corner toward the small one's.
    tail = last - 2 * unit
    tip = half_last + unit + 1
    for t in range(tip, tail + 1):
        fill(t, t, t + unit - 1, t + unit - 1, '#')
    head = max(2, size // 6)
    fill(tip, tip, tip + head, tip + unit - 1, '#')
    fill(tip, tip, tip + unit - 1, tip + head, '#')
    return [''.join(row) for row in grid]


def colour(part, x, y, size, bits):
    """The pixel's colour, or None where the icon is transparent."""
    if part == ' ':
        return None
    flat, light, dark = PARTS[part]
    if bits == 4:
        return flat
    t = (x + y) / (2 * (size - 1))  # 0 at the top left, 1 at the bottom right
    if bits == 8:
        t = round(t * 15) / 15
    return tuple(round(a + (b - a) * t) for a, b in zip(light, dark))


def write_xpm(size, bits):
    rows = draw(size)
    pixels = [[colour(ch, x, y, size, bits) for x, ch in enumerate(row)] for y, row in enumerate(rows)]
    colours = sorted({c for row in pixels for c in row if c is not None})
    assert len(colours) < 1 << bits or bits == 24
    per_pixel = 1 if len(colours) < len(CODES) else 2
    codes = [''.join(CODES[(i // len(CODES) ** k) % len(CODES)] for k in range(per_pixel))
             for i in range(len(colours) + 1)]
    code = {None: ' ' * per_pixel}
    code.update({c: codes[i + 1] for i, c in enumerate(colours)})
    name = f'dorvalune_{size}_{bits}_xpm'
    lines = [f'"{size} {size} {len(colours) + 1} {per_pixel}",', f'"{code[None]} c None",']
    lines += [f'"{code[c]} c #{c[0]:02X}{c[1]:02X}{c[2]:02X}",' for c in colours]
    lines += ['"' + ''.join(code[c] for c in row) + '",' for row in pixels]
    lines[-1] = lines[-1].rstrip(',')
    with open(f'dorvalune-{size}-{bits}.xpm', 'w') as out:
        out.write('/* XPM */\n')
        out.write(f'static const char* const {name}[] = {{\n')
        out.write('\n'.join(lines))
        out.write('\n};\n')


for b in (4, 8, 24):
    for s in (48, 32, 16):
        write_xpm(s, b)
