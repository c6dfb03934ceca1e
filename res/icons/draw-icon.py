#!/usr/bin/env python3
"""Draws the application icon -- a picture halving into a smaller copy of
itself -- as XPM pixel art at 16, 32 and 48 pixels.

The XPM files beside this script are its output and are what the program
builds from; run it again only to change the artwork:
    python3 draw-icon.py
"""

PALETTE = {
    ' ': 'None',     # transparent
    '.': '#DCEBFA',  # the original picture: pale blue
    'o': '#2F6DB5',  # its frame
    '+': '#F7A541',  # the half-size copy: orange
    '@': '#A8520A',  # its frame
    '#': '#17406F',  # the arrow
}


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


def write_xpm(size):
    rows = draw(size)
    name = f'dorvalune_{size}_xpm'
    lines = [f'"{size} {size} {len(PALETTE)} 1",']
    lines += [f'"{ch} c {colour}",' for ch, colour in PALETTE.items()]
    lines += [f'"{row}",' for row in rows]
    lines[-1] = lines[-1].rstrip(',')
    with open(f'dorvalune-{size}.xpm', 'w') as out:
        out.write('/* XPM */\n')
        out.write(f'static const char* const {name}[] = {{\n')
        out.write('\n'.join(lines))
        out.write('\n};\n')


for s in (16, 32, 48):
    write_xpm(s)
