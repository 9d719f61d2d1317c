"""A skin of another size and colour than Zindle's own, drawn for the tests that reskin a built
launcher: 640 x 440, teal, a band of orange across the top, its corners cut away and a window cut
through it; the launcher's buttons (160,250 and 355,250, 60 x 20) lie on teal."""
from png_file import png_file

WIDTH, HEIGHT = 640, 440
TEAL, ORANGE, KEY = (20, 140, 150), (240, 130, 20), (255, 0, 255)
CORNER = 40
HOLE = (560, 300, 40, 30)  # x, y, w, h: cut away inside the skin


def skin_colour(x, y):
    if (x < CORNER or x >= WIDTH - CORNER) and (y < CORNER or y >= HEIGHT - CORNER):
        return KEY
    if HOLE[0] <= x < HOLE[0] + HOLE[2] and HOLE[1] <= y < HOLE[1] + HOLE[3]:
        return KEY
    return ORANGE if y < 60 else TEAL


# Points of the window that are cut away, and points of its face, in window coordinates.
CUT_POINTS = [(0, 0), (WIDTH - 1, 0), (0, HEIGHT - 1), (WIDTH - 1, HEIGHT - 1), (CORNER - 1, CORNER - 1),
              (HOLE[0] + 5, HOLE[1] + 5), (HOLE[0] + HOLE[2] - 1, HOLE[1] + HOLE[3] - 1)]
FACE_POINTS = [(CORNER, 0), (WIDTH // 2, 10), (WIDTH // 2, 59), (WIDTH // 2, 60), (5, HEIGHT // 2),
               (WIDTH - 1, HEIGHT // 2), (HOLE[0] - 1, HOLE[1]), (WIDTH - CORNER - 1, HEIGHT - 1), (100, 400)]


def write_png(path, width=WIDTH, height=HEIGHT, colour=skin_colour):
    """An 8-bit RGBA PNG of the drawing; the key colour is written as transparent, which skinpack
    turns into the key colour again."""
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            c = colour(x, y)
            row += bytes((0, 0, 0, 0)) if c == KEY else bytes(c + (255,))
        rows.append(bytes(row))
    with open(path, "wb") as f:
        f.write(png_file(width, height, 6, rows))
