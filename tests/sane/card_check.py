"""Checks a scanned image of the simulator's fiducial card: the marks where the card puts
them (positions read from scansim.h), nothing mirrored or upside down, red still red."""
import os
import re

HEADER = os.path.join(os.path.dirname(__file__), "..", "..", "simulator", "include", "scansim.h")
TOLERANCE = 3  # pixels; widths rounded up to whole groups shift the card by two or three


def _card_layout():
    text = open(HEADER).read()
    def array(name):
        return [int(v) for v in re.search(name + r"\[[^\]]*\] = \{([^}]*)\}", text).group(1).split(",")]
    def value(name):
        return int(re.search(name + r" = (\d+)", text).group(1))
    marks = list(zip(array("SCANSIM_MARK_X"), array("SCANSIM_MARK_Y")))
    return marks, value("SCANSIM_MARK_SIZE"), {k: value("SCANSIM_" + k) for k in
                                                ("RAMP_X", "RAMP_Y", "RAMP_STEPS", "RAMP_STEP_W", "RAMP_H",
                                                 "PATCH_X", "PATCH_Y", "PATCH_W", "PATCH_H")}


MARKS, MARK_SIZE, LAYOUT = _card_layout()


class Image:
    def __init__(self, width, height, channels, depth, data):
        self.width, self.height, self.channels, self.depth, self.data = width, height, channels, depth, data
        self.stride = (width + 7) // 8 if depth == 1 else width * channels

    def pixel(self, x, y):
        """The pixel as (r, g, b), 0..255; Lineart bits of 1 are black."""
        if self.depth == 1:
            bit = self.data[y * self.stride + x // 8] >> (7 - x % 8) & 1
            return (0, 0, 0) if bit else (255, 255, 255)
        at = y * self.stride + x * self.channels
        return tuple(self.data[at:at + 3]) if self.channels == 3 else (self.data[at],) * 3

    def gray(self, x, y):
        return sum(self.pixel(x, y)) // 3

    def mean(self, x0, y0, x1, y1):
        pts = [self.pixel(x, y) for y in range(max(0, y0), min(self.height, y1))
               for x in range(max(0, x0), min(self.width, x1))]
        return tuple(sum(p[c] for p in pts) / len(pts) for c in range(3)) if pts else None


def read_pnm(path):
    raw = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < (3 if raw[:2] == b"P4" else 4):
        while raw[at:at + 1].isspace():
            at += 1
        if raw[at:at + 1] == b"#":
            at = raw.index(b"\n", at)
            continue
        start = at
        while not raw[at:at + 1].isspace():
            at += 1
        fields.append(raw[start:at])
    kind, width, height = fields[0], int(fields[1]), int(fields[2])
    channels, depth = {b"P4": (1, 1), b"P5": (1, 8), b"P6": (3, 8)}[kind]
    return Image(width, height, channels, depth, raw[at + 1:])


def check_card(image, dpi, left=0.0, top=0.0):
    """Problems found (empty when the card is right). left, top: the area's corner in inches."""
    def to_image(x600, y600):
        return (x600 / 600.0 - left) * dpi, (y600 / 600.0 - top) * dpi

    problems = []
    half = MARK_SIZE * dpi / 1200.0
    def inside(cx, cy, margin):
        return margin <= cx < image.width - margin and margin <= cy < image.height - margin

    for n, (mx, my) in enumerate(MARKS):
        cx, cy = to_image(mx, my)
        if not inside(cx, cy, half + TOLERANCE):
            continue
        reach = int(half + 2 * TOLERANCE)
        dark = [(x, y) for y in range(int(cy) - reach, int(cy) + reach + 1)
                for x in range(int(cx) - reach, int(cx) + reach + 1)
                if 0 <= x < image.width and 0 <= y < image.height and image.gray(x, y) < 96]
        if len(dark) < (2 * half) ** 2 / 2:
            problems.append("mark %d: not found near (%.0f, %.0f)" % (n, cx, cy))
            continue
        fx = sum(p[0] for p in dark) / len(dark)
        fy = sum(p[1] for p in dark) / len(dark)
        if abs(fx - cx + 0.5) > TOLERANCE or abs(fy - cy + 0.5) > TOLERANCE:
            problems.append("mark %d: at (%.1f, %.1f), the card puts it at (%.1f, %.1f)" % (n, fx, fy, cx, cy))

    # Mark 4 sits near mark 0 only: where a mirror or a turn would put it, the card is white.
    card_w, card_h = 1320, 2160
    mx, my = MARKS[4]
    for name, (x, y) in (("mirrored", (card_w - mx, my)), ("upside down", (mx, card_h - my)),
                         ("turned", (card_w - mx, card_h - my))):
        cx, cy = to_image(x, y)
        if inside(cx, cy, half):
            m = image.mean(int(cx - half), int(cy - half), int(cx + half), int(cy + half))
            if sum(m) / 3 < 128:
                problems.append("a mark where a %s card would put one" % name)

    if left == 0 and any(image.gray(0, y) < 96 for y in range(image.height)):
        problems.append("black in the first column, where the card's margin is white")

    if image.depth == 8:
        steps = []
        for k in range(LAYOUT["RAMP_STEPS"]):
            cx, cy = to_image(LAYOUT["RAMP_X"] + (k + 0.5) * LAYOUT["RAMP_STEP_W"],
                              LAYOUT["RAMP_Y"] + LAYOUT["RAMP_H"] / 2)
            if inside(cx, cy, 3):
                steps.append(sum(image.mean(int(cx) - 2, int(cy) - 2, int(cx) + 3, int(cy) + 3)) / 3)
        # Rising left to right; a brightened scan may hold its last steps at white.
        if any(b < a for a, b in zip(steps, steps[1:])) or (steps and steps[-1] - steps[0] < 100):
            problems.append("the gray ramp is not rising left to right: %s" % [int(s) for s in steps])
    if image.channels == 3:
        for k, channel in ((0, 0), (1, 1), (2, 2)):  # red, green, blue patches
            cx, cy = to_image(LAYOUT["PATCH_X"] + (k + 0.5) * LAYOUT["PATCH_W"] - 6,
                              LAYOUT["PATCH_Y"] + LAYOUT["PATCH_H"] / 2)
            if inside(cx, cy, 3):
                m = image.mean(int(cx) - 2, int(cy) - 2, int(cx) + 3, int(cy) + 3)
                if any(m[channel] < m[c] + 40 for c in range(3) if c != channel):
                    problems.append("patch %d is not %s: %s" % (k, "RGB"[channel], [int(v) for v in m]))
    return problems
