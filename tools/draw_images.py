#!/usr/bin/env python3
"""Draw the bitmap images of Velm HTML Editor.

Every picture is pixel art kept here as a character grid; this script turns
the grids into PNG files under src/res/images/.  The toolbar and palette
strips and the 16 and 32 pixel icons are drawn pixel for pixel with no
anti-aliasing; their larger versions are exact enlargements, except the
48 pixel icon, which is a smoothed one-and-a-half enlargement.  The splash
picture's lettering is rendered by tools/draw_splash.sh (ImageMagick + IPA P
Gothic) as grey masks which are blended onto a ground drawn here.  Nothing
depends on the time, so running the script twice gives identical files.

Usage (from the repository root):  python3 tools/draw_images.py
"""

import os
import struct
import subprocess
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OUT = os.path.join(ROOT, "src", "res", "images")

FACE = (0xC0, 0xC0, 0xC0)          # the 3D-face grey behind toolbar pictures

# The classic 16-colour palette.  '.' is the ground: face grey in the toolbar
# and palette strips, fully transparent in the application icon.
COLOURS = {
    "K": (0x00, 0x00, 0x00),  # black
    "W": (0xFF, 0xFF, 0xFF),  # white
    "g": (0x80, 0x80, 0x80),  # grey
    "s": (0xC0, 0xC0, 0xC0),  # silver
    "m": (0x80, 0x00, 0x00),  # maroon
    "r": (0xFF, 0x00, 0x00),  # red
    "e": (0x00, 0x80, 0x00),  # green
    "l": (0x00, 0xFF, 0x00),  # lime
    "n": (0x00, 0x00, 0x80),  # navy
    "b": (0x00, 0x00, 0xFF),  # blue
    "o": (0x80, 0x80, 0x00),  # olive
    "y": (0xFF, 0xFF, 0x00),  # yellow
    "t": (0x00, 0x80, 0x80),  # teal
    "c": (0x00, 0xFF, 0xFF),  # cyan
    "p": (0x80, 0x00, 0x80),  # purple
    "M": (0xFF, 0x00, 0xFF),  # magenta
}


# --------------------------------------------------------------------------
# PNG output

def png_bytes(width, height, rows, alpha):
    """Encode rows of (r, g, b[, a]) tuples as an 8-bit RGB or RGBA PNG.

    Only IHDR, IDAT and IEND are written: no gamma, colour profile or time
    chunks, so the stored values are exactly the values drawn."""
    assert len(rows) == height
    raw = bytearray()
    for row in rows:
        assert len(row) == width
        raw.append(0)  # filter: none
        for px in row:
            raw.extend(px if alpha else px[:3])

    def chunk(tag, data):
        body = tag + data
        return (struct.pack(">I", len(data)) + body
                + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def save(name, rows, alpha=False):
    path = os.path.join(OUT, name)
    data = png_bytes(len(rows[0]), len(rows), rows, alpha)
    with open(path, "wb") as f:
        f.write(data)
    print("wrote", os.path.relpath(path, ROOT))


def scale(rows, k):
    """Nearest-neighbour enlargement: every pixel becomes a k x k block."""
    out = []
    for row in rows:
        wide = [px for px in row for _ in range(k)]
        out.extend(list(wide) for _ in range(k))
    return out


def paint(grid, ground):
    """Turn a character grid into rows of RGBA pixels."""
    rows = []
    for line in grid:
        row = []
        for ch in line:
            if ch == ".":
                row.append(ground)
            else:
                row.append(COLOURS[ch] + (255,))
        rows.append(row)
    return rows


def check_grid(name, grid, w, h):
    if len(grid) != h or any(len(line) != w for line in grid):
        sys.exit("grid %s is not %dx%d: %s" % (
            name, w, h, [len(line) for line in grid]))
    bad = set("".join(grid)) - set(COLOURS) - {"."}
    if bad:
        sys.exit("grid %s uses unknown colours %s" % (name, sorted(bad)))


def strip(grids, w, h, ground):
    """Lay pictures side by side in one row."""
    rows = [[] for _ in range(h)]
    for name, grid in grids:
        check_grid(name, grid, w, h)
        for y, row in enumerate(paint(grid, ground)):
            rows[y].extend(row)
    return rows


def shadowed(grid, colour="g"):
    """Give a drawing a one-pixel drop shadow towards the lower right."""
    out = [list(line) for line in grid]
    for y in range(1, len(grid)):
        for x in range(1, len(grid[y])):
            if grid[y][x] == "." and grid[y - 1][x - 1] != ".":
                out[y][x] = colour
    return ["".join(line) for line in out]


# --------------------------------------------------------------------------
# Main toolbar: 23 pictures of 16 x 16

TOOLBAR = [
    ("new_html", [
        "................",
        "..b...b.bbbbb...",
        "..b...b...b.....",
        "..b...b...b.....",
        "..bbbbb...b.....",
        "..b...b...b.....",
        "..b...b...b.....",
        "................",
        "................",
        "..b...b.b.......",
        "..bb.bb.b.......",
        "..b.b.b.b.......",
        "..b...b.b.......",
        "..b...b.b.......",
        "..b...b.bbbbb...",
        "................",
    ]),
    ("new", [
        "................",
        "..KKKKKKKK......",
        "..KWWWWWWKK.....",
        "..KWWWWWWKWK....",
        "..KWWWWWWKWWK...",
        "..KWWWWWWKKKKK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KWWWWWWWWWWK..",
        "..KKKKKKKKKKKK..",
        "................",
    ]),
    ("open", [
        "................",
        "................",
        "................",
        ".KKKK...........",
        "KyyyyK..........",
        "KyyyyyKKKKKKK...",
        "KyyyyyyyyyyyK...",
        "KyyyyKKKKKKKKKKK",
        "KyyyKWWWWWWWWWWK",
        "KyyKWyyyyyyyyyK.",
        "KyyKyyyyyyyyyyK.",
        "KyKyyyyyyyyyyK..",
        "KyKyyyyyyyyyyK..",
        "KKyyyyyyyyyyK...",
        "KKKKKKKKKKKKK...",
        "................",
    ]),
    ("save", [
        "................",
        ".KKKKKKKKKKKKKK.",
        ".KnKWWWWWWWWKnK.",
        ".KnKWWWWWWWWKKK.",
        ".KnKWggggggWKnK.",
        ".KnKWWWWWWWWKnK.",
        ".KnKWggggggWKnK.",
        ".KnKWWWWWWWWKnK.",
        ".KnnKKKKKKKKnnK.",
        ".KnnnnnnnnnnnnK.",
        ".KnnKKKKKKKKnnK.",
        ".KnnKsKKsssKnnK.",
        ".KnnKsKKsssKnnK.",
        ".KnnKsKKsssKnnK.",
        "..KKKKKKKKKKKKK.",
        "................",
    ]),
    ("cut", [
        "................",
        "....K.....K.....",
        "....gK...Kg.....",
        ".....K...K......",
        ".....gK.Kg......",
        "......K.K.......",
        "......gKg.......",
        ".......K........",
        "......bKb.......",
        ".....bb.bb......",
        "..bbbb...bbbb...",
        ".bb..b...b..bb..",
        ".b...b...b...b..",
        ".b..bb...bb..b..",
        "..bbb.....bbb...",
        "................",
    ]),
    ("copy", [
        "KKKKKKK.........",
        "KWWWWWKK........",
        "KWnnnWKWK.......",
        "KWWWWWKKKK......",
        "KWnnnnnnWK......",
        "KWWWWWWKKKKKK...",
        "KWnnnnnKWWWWKK..",
        "KWWWWWWKWnnWKWK.",
        "KWnnnnnKWWWWKKKK",
        "KKKKKKKKWnnnnnWK",
        ".......KWWWWWWWK",
        ".......KWnnnnnWK",
        ".......KWWWWWWWK",
        ".......KWnnnnnWK",
        ".......KWWWWWWWK",
        ".......KKKKKKKKK",
    ]),
    ("paste", [
        "................",
        ".....KKKK.......",
        "..KKKKssKKKK....",
        ".KoooKKKKoooK...",
        ".KoogggggggoK...",
        ".KooooooooooK...",
        ".KooooooooooK...",
        ".KoooooKKKKKKK..",
        ".KoooooKWWWWWKK.",
        ".KoooooKWnnnWKWK",
        ".KoooooKWWWWWKKK",
        ".KoooooKWnnnnnWK",
        ".KoooooKWWWWWWWK",
        ".KoooooKWnnnnnWK",
        "..KKKKKKWWWWWWWK",
        ".......KKKKKKKKK",
    ]),
    ("print", [
        "................",
        "....KKKKKKKK....",
        "....KWWWWWWK....",
        "....KWKKKKWK....",
        "....KWWWWWWK....",
        "....KWKKKWWK....",
        "..KKKKKKKKKKKK..",
        ".KWWWWWWWWWWWsK.",
        ".KWsssssssssgsK.",
        ".KWsssssssslsgK.",
        ".KWssssssssssgK.",
        ".KgggggggggggKK.",
        ".KKKKKKKKKKKKKK.",
        "..KK........KK..",
        "................",
        "................",
    ]),
    ("bold", [
        "................",
        "................",
        "...KKKKKKK......",
        "....KK...KK.....",
        "....KK...KK.....",
        "....KK...KK.....",
        "....KK..KK......",
        "....KKKKK.......",
        "....KK..KKK.....",
        "....KK...KKK....",
        "....KK....KK....",
        "....KK...KKK....",
        "...KKKKKKKK.....",
        "................",
        "................",
        "................",
    ]),
    ("italic", [
        "................",
        "................",
        "........KKKKK...",
        ".........KK.....",
        ".........KK.....",
        "........KK......",
        "........KK......",
        ".......KK.......",
        ".......KK.......",
        "......KK........",
        "......KK........",
        ".....KK.........",
        "...KKKKK........",
        "................",
        "................",
        "................",
    ]),
    ("underline", [
        "................",
        "...KKKK..KKK....",
        "....KK....K.....",
        "....KK....K.....",
        "....KK....K.....",
        "....KK....K.....",
        "....KK....K.....",
        "....KK....K.....",
        "....KK....K.....",
        ".....KK..K......",
        "......KKK.......",
        "................",
        "..KKKKKKKKKK....",
        "................",
        "................",
        "................",
    ]),
    ("centre", [
        "................",
        "................",
        "..KKKKKKKKKKKK..",
        "................",
        "....KKKKKKKK....",
        "................",
        ".KKKKKKKKKKKKKK.",
        "................",
        ".....KKKKKK.....",
        "................",
        "...KKKKKKKKKK...",
        "................",
        "..KKKKKKKKKKKK..",
        "................",
        "......KKKK......",
        "................",
    ]),
    ("link", [
        "................",
        "......KKKK......",
        "......KrrK......",
        "......KrrK......",
        "......KKKK......",
        ".......K........",
        ".......K........",
        "..KKKKKKKKKKK...",
        "..K....K....K...",
        "..K....K....K...",
        "KKKK.KKKK.KKKK..",
        "KyyK.KccK.KllK..",
        "KyyK.KccK.KllK..",
        "KKKK.KKKK.KKKK..",
        "................",
        "................",
    ]),
    ("mail", [
        "................",
        "................",
        "................",
        "KKKKKKKKKKKKKKKK",
        "KKWWWWWWWWWKKKKK",
        "KWKWWWWWWWWKrrrK",
        "KWWKWWWWWWKKrrrK",
        "KWWWKWWWWKWKKKKK",
        "KWWWWKWWKWWWWKWK",
        "KWWWWWKKWWWWWWWK",
        "KWWWWWWWWWWWWWWK",
        "KWWWWWWWWWWWWWWK",
        "KKKKKKKKKKKKKKKK",
        "................",
        "................",
        "................",
    ]),
    ("font", shadowed([
        "................",
        "................",
        ".KKKKKKKKKK.....",
        "..KKK....KK.....",
        "..KKK.....K.....",
        "..KKK...........",
        "..KKK....K......",
        "..KKKKKKKK......",
        "..KKK....K......",
        "..KKK...........",
        "..KKK...........",
        "..KKK...........",
        ".KKKKKK.........",
        "................",
        "................",
        "................",
    ])),
    ("image", [
        "................",
        "................",
        "................",
        "..KKK....KKKKK..",
        ".KKKKKKKKKgggKK.",
        ".KsssssKKKsssyK.",
        ".KssssKgggKsssK.",
        ".KgggKgWnnnKggK.",
        ".KgggKgnbnnKggK.",
        ".KgggKgnnnnKggK.",
        ".KgggKgnnnnKggK.",
        ".KssssKnnnKsssK.",
        ".KsssssKKKssssK.",
        ".KKKKKKKKKKKKKK.",
        "................",
        "................",
    ]),
    ("rule", [
        "................",
        "................",
        "................",
        "................",
        "................",
        ".K.K.K.K.K.K.K..",
        "................",
        "................",
        "................",
        "................",
        ".gggggggggggggg.",
        ".gWWWWWWWWWWWWW.",
        "................",
        "................",
        "................",
        "................",
    ]),
    ("table", [
        "................",
        "................",
        "KKKKKKKKKKKKKKK.",
        "KccccccKccccccK.",
        "KccccccKccccccK.",
        "KKKKKKKKKKKKKKK.",
        "KccccccKccccccK.",
        "KccccccKccccccK.",
        "KKKKKKKKKKKKKKK.",
        "KccccccKccccccK.",
        "KccccccKccccccK.",
        "KKKKKKKKKKKKKKK.",
        "KccccccKccccccK.",
        "KccccccKccccccK.",
        "KKKKKKKKKKKKKKK.",
        "................",
    ]),
    ("tr", [
        "................",
        "................",
        "................",
        "................",
        ".KKKKKK.KKKKK...",
        "...KK...KK..KK..",
        "...KK...KK..KK..",
        "...KK...KKKKK...",
        "...KK...KK.KK...",
        "...KK...KK..KK..",
        "...KK...KK..KK..",
        "................",
        "................",
        "................",
        "................",
        "................",
    ]),
    ("td", [
        "................",
        "................",
        "................",
        "................",
        ".KKKKKK.KKKKK...",
        "...KK...KK..KK..",
        "...KK...KK..KK..",
        "...KK...KK..KK..",
        "...KK...KK..KK..",
        "...KK...KK..KK..",
        "...KK...KKKKK...",
        "................",
        "................",
        "................",
        "................",
        "................",
    ]),
    ("th", [
        "................",
        "................",
        "................",
        "................",
        ".KKKKKK.KK..KK..",
        "...KK...KK..KK..",
        "...KK...KK..KK..",
        "...KK...KKKKKK..",
        "...KK...KK..KK..",
        "...KK...KK..KK..",
        "...KK...KK..KK..",
        "................",
        "................",
        "................",
        "................",
        "................",
    ]),
    ("dictionary", [
        "................",
        "................",
        "................",
        "................",
        "................",
        "..KK...KK...KK..",
        "..KK...KK...KK..",
        "..KK...KK...KK..",
        "...KK.KKKK.KK...",
        "...KK.KKKK.KK...",
        "...KKKK..KKKK...",
        "....KK....KK....",
        "....KK....KK....",
        "................",
        "................",
        "................",
    ]),
    ("about", [
        "................",
        ".....KKKKK......",
        "....KyyyyyK.....",
        "...KyyKKKyyK....",
        "...KyyK.KyyK....",
        "....KK..KyyK....",
        ".......KyyK.....",
        "......KyyK......",
        "......KyyK......",
        "......KKKK......",
        "................",
        "......KKKK......",
        "......KyyK......",
        "......KyyK......",
        "......KKKK......",
        "................",
    ]),
]


# --------------------------------------------------------------------------
# Colour palette strip: 16 swatches of 5 x 16, then the "clear" picture

SWATCHES = [
    0x000000, 0xFFFFFF, 0x808080, 0xC0C0C0,
    0x800000, 0xFF0000, 0x008000, 0x00FF00,
    0x000080, 0x0000FF, 0x808000, 0xFFFF00,
    0x008080, 0x00FFFF, 0x800080, 0xFF00FF,
]

PALETTE_CL = [
    ".....",
    "..KK.",
    ".K..K",
    ".K...",
    ".K...",
    ".K..K",
    "..KK.",
    ".....",
    ".....",
    ".K...",
    ".K...",
    ".K...",
    ".K...",
    ".K...",
    ".KKKK",
    ".....",
]


def palette_rows():
    rows = [[] for _ in range(16)]
    for value in SWATCHES:
        px = ((value >> 16) & 255, (value >> 8) & 255, value & 255, 255)
        for row in rows:
            row.extend([px] * 5)
    check_grid("palette_cl", PALETTE_CL, 5, 16)
    for y, row in enumerate(paint(PALETTE_CL, FACE + (255,))):
        rows[y].extend(row)
    return rows


# --------------------------------------------------------------------------
# Application icon: a page of markup with a pencil.  The 32 x 32 drawing is
# the master; 64, 128 and 256 are exact enlargements of it, 48 is a smoothed
# one-and-a-half enlargement, and 16 is drawn on its own so it stays legible.

APP_ICON_32 = [
    "................................",
    "...KKKKKKKKKKKKKKKK.............",
    "...KWWWWWWWWWWWWWWKK............",
    "...KWWWWWWWWWWWWWWKsK...........",
    "...KWWWWWWWWWWWWWWKssK..........",
    "...KWWWWWWWWWWWWWWKsssK.........",
    "...KWWWWWWWWWWWWWWKssssK........",
    "...KWWWWWWWWWWWWWWKKKKKKK.......",
    "...KWWWWWWWWWWWWWWWWWWWWKg......",
    "...KWWWWWWbbWWWWrbWWWWWWKg......",
    "...KWWWWWbbWWWWrWbbWWWWWKg......",
    "...KWWWWbbWWWWWrWWbbWWWWKg......",
    "...KWWWbbWWWWWrWWWWbbWWWKg.KKKK.",
    "...KWWbbWWWWWWrWWWWWbbWWKKrrrmK.",
    "...KWWWbbWWWWrWWWWWbbWWWKrrrmK..",
    "...KWWWWbbWWWrWWWWbbWWWKWssgK...",
    "...KWWWWWbbWrWWWWbbWWWKKKKKK....",
    "...KWWWWWWbbrWWWbbWWWKWyyoK.....",
    "...KWWWWWWWWWWWWWWWWKWyyoK......",
    "...KWWWWWWWWWWWWWWWKWyyoKg......",
    "...KWWggggWggggggWKWyyoKKg......",
    "...KWWWWWWWWWWWWWKWyyoKWKg......",
    "...KWWWWWWWWWWWWKWyyoKWWKg......",
    "...KWWgggWggggWKWyyoKWWWKg......",
    "...KWWWWWWWWWWKWsssKWWWWKg......",
    "...KWWWWWWWWWWKssKWWWWWWKg......",
    "...KWWggggggWgKKWWWWWWWWKg......",
    "...KWWWWWWWWWWWWWWWWWWWWKg......",
    "...KWWWWWWWWWWWWWWWWWWWWKg......",
    "...KWWWWWWWWWWWWWWWWWWWWKg......",
    "...KKKKKKKKKKKKKKKKKKKKKKg......",
    "....gggggggggggggggggggggg......",
]

APP_ICON_16 = [
    ".KKKKKKKKK......",
    ".KWWWWWWWKK.....",
    ".KWWWWWWWKsK....",
    ".KWWWWWWWKKKK...",
    ".KWWWbWrbWWWKg..",
    ".KWWbWWrWbWWKg..",
    ".KWbWWWrWWbWKKKK",
    ".KWWbWrWWbWWKrmK",
    ".KWWWbrWbWWKsgK.",
    ".KWWWWWWWWKyoK..",
    ".KWggggggKyoKg..",
    ".KWWWWWWKyoKKg..",
    ".KWggggKsKWWKg..",
    ".KWWWWWKWWWWKg..",
    ".KKKKKKKKKKKKg..",
    "..gggggggggggg..",
]


def scale3x(rows):
    """Triple a picture with the Scale3x edge rule, which keeps diagonals
    stepped rather than blocky."""
    h, w = len(rows), len(rows[0])

    def at(x, y):
        return rows[min(max(y, 0), h - 1)][min(max(x, 0), w - 1)]

    out = [[None] * (w * 3) for _ in range(h * 3)]
    for y in range(h):
        for x in range(w):
            a, b, c = at(x - 1, y - 1), at(x, y - 1), at(x + 1, y - 1)
            d, e, f = at(x - 1, y), at(x, y), at(x + 1, y)
            g, hh, i = at(x - 1, y + 1), at(x, y + 1), at(x + 1, y + 1)
            db = d == b and d != hh and b != f
            bf = b == f and b != d and f != hh
            dh = d == hh and d != b and hh != f
            hf = hh == f and d != hh and b != f
            block = [
                d if db else e,
                b if (db and e != c) or (bf and e != a) else e,
                f if bf else e,
                d if (db and e != g) or (dh and e != a) else e,
                e,
                f if (bf and e != i) or (hf and e != c) else e,
                d if dh else e,
                hh if (dh and e != i) or (hf and e != g) else e,
                f if hf else e,
            ]
            for k, px in enumerate(block):
                out[y * 3 + k // 3][x * 3 + k % 3] = px
    return out


def halve(rows):
    """Average 2 x 2 blocks (with premultiplied alpha)."""
    out = []
    for y in range(0, len(rows), 2):
        row = []
        for x in range(0, len(rows[0]), 2):
            quad = [rows[y][x], rows[y][x + 1], rows[y + 1][x], rows[y + 1][x + 1]]
            alpha = sum(p[3] for p in quad)
            if alpha == 0:
                row.append((0, 0, 0, 0))
                continue
            rgb = tuple((sum(p[k] * p[3] for p in quad) + alpha // 2) // alpha
                        for k in range(3))
            row.append(rgb + ((alpha + 2) // 4,))
        out.append(row)
    return out


# --------------------------------------------------------------------------
# Splash picture, 250 x 200: dark blue shading to violet, a thin light line,
# the name and the small print.  The lettering comes from draw_splash.sh.

SPLASH_W, SPLASH_H = 250, 200
SPLASH_FROM = (0x08, 0x10, 0x58)   # top left: dark blue
SPLASH_TO = (0x6A, 0x28, 0x98)     # bottom right: violet
SPLASH_LINE = (0xB0, 0xB8, 0xFF)
SPLASH_TITLE = (0xF4, 0xF4, 0xFF)
SPLASH_SHADOW = (0x00, 0x00, 0x18)
SPLASH_SMALL = (0xD0, 0xD0, 0xF0)


def splash_masks():
    import tempfile
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(["sh", os.path.join(HERE, "draw_splash.sh"), tmp], check=True)
        masks = {}
        for name in ("title", "small", "line"):
            with open(os.path.join(tmp, name + ".gray"), "rb") as f:
                data = f.read()
            if len(data) != SPLASH_W * SPLASH_H:
                sys.exit("draw_splash.sh: %s.gray has the wrong size" % name)
            masks[name] = data
    return masks


def blend(under, over, ink):
    """Mix colour over into under by ink (0..255)."""
    return tuple((u * (255 - ink) + o * ink + 127) // 255 for u, o in zip(under, over))


def splash_rows(masks):
    w, h = SPLASH_W, SPLASH_H
    title, small, line = masks["title"], masks["small"], masks["line"]
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            # Diagonal shading, a little stronger towards the bottom.
            t = (x / (w - 1) * 0.4 + y / (h - 1) * 0.6)
            px = tuple(int(round(a + (b - a) * t)) for a, b in zip(SPLASH_FROM, SPLASH_TO))
            i = y * w + x
            px = blend(px, SPLASH_LINE, line[i])
            if x >= 2 and y >= 2:
                px = blend(px, SPLASH_SHADOW, title[i - 2 * w - 2] * 3 // 4)
            px = blend(px, SPLASH_TITLE, title[i])
            px = blend(px, SPLASH_SMALL, small[i])
            row.append(px + (255,))
        rows.append(row)
    return rows


# --------------------------------------------------------------------------

def main():
    os.makedirs(OUT, exist_ok=True)

    bar = strip(TOOLBAR, 16, 16, FACE + (255,))
    assert len(TOOLBAR) == 23
    save("toolbar_main.png", bar)
    save("toolbar_main@2x.png", scale(bar, 2))

    pal = palette_rows()
    save("palette.png", pal)
    save("palette@2x.png", scale(pal, 2))

    clear = (0, 0, 0, 0)
    check_grid("app_icon_32", APP_ICON_32, 32, 32)
    check_grid("app_icon_16", APP_ICON_16, 16, 16)
    icon = paint(APP_ICON_32, clear)
    save("app_icon_16.png", paint(APP_ICON_16, clear), alpha=True)
    save("app_icon_32.png", icon, alpha=True)
    save("app_icon_48.png", halve(scale3x(icon)), alpha=True)
    for k in (2, 4, 8):
        save("app_icon_%d.png" % (32 * k), scale(icon, k), alpha=True)

    save("splash.png", splash_rows(splash_masks()))


if __name__ == "__main__":
    main()
