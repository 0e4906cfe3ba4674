"""The drawing shared by the scripts that make the wizard's pictures: shapes
on the unit square, each pixel the average of 8 x 8 samples so the edges
blend into whatever the page paints behind the picture."""
import math

SAMPLES = 8


def near_segment(x, y, a, b, width):
    """Within `width` / 2 of the segment from a to b."""
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(ax + t * dx - x, ay + t * dy - y) <= width / 2


def picture(size, sample):
    """Rows of (r, g, b, a), top row first. `sample(x, y)` gives the colour
    at a point of the unit square, or None where the picture is clear."""
    rows = []
    for row in range(size):
        pixels = []
        for column in range(size):
            total, covered = [0, 0, 0], 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = sample((column + (sx + 0.5) / SAMPLES) / size, (row + (sy + 0.5) / SAMPLES) / size)
                    if colour:
                        covered += 1
                        total = [t + c for t, c in zip(total, colour)]
            if covered:
                pixels.append(tuple(round(t / covered) for t in total) + (round(255 * covered / SAMPLES ** 2),))
            else:
                pixels.append((0, 0, 0, 0))
        rows.append(pixels)
    return rows
