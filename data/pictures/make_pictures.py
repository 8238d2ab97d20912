#!/usr/bin/env python3
"""Draws the plugin's own pictures: list icons, the help icon, the progress bar, the
logo (PNG, written with zlib only) and the background still oxle.mvi (an MPEG-2 I-frame
made with ffmpeg). Run from anywhere; the files land beside this script.

    python3 data/pictures/make_pictures.py [--no-mvi]
"""
import math
import os
import struct
import subprocess
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ICON = 28          # list icons are square
SAMPLES = 4        # supersampling per axis for smooth edges

# A 5x7 bitmap font for the few letters the pictures carry.
GLYPHS = {
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "?": ["01110", "10001", "00001", "00110", "00100", "00000", "00100"],
    "!": ["00100", "00100", "00100", "00100", "00100", "00000", "00100"],
}


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0, 0, 0, 0)] * w for _ in range(h)]

    def blend(self, x, y, rgb, cover):
        """Paints rgb over pixel (x, y) with coverage 0..1 (source-over)."""
        if cover <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        r0, g0, b0, a0 = self.px[y][x]
        a = cover + a0 / 255.0 * (1 - cover)
        if a <= 0:
            return
        mix = lambda c, c0: int(round((c * cover + c0 * a0 / 255.0 * (1 - cover)) / a))
        self.px[y][x] = (mix(rgb[0], r0), mix(rgb[1], g0), mix(rgb[2], b0), int(round(a * 255)))

    def shape(self, inside, colour):
        """Fills every pixel by the share of its subsamples for which inside(x, y) holds.
        colour is an (r, g, b) triple or a function of (x, y) giving one."""
        for y in range(self.h):
            for x in range(self.w):
                hits = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        if inside(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES):
                            hits += 1
                if hits:
                    c = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                    self.blend(x, y, c, hits / float(SAMPLES * SAMPLES))

    def rect(self, x0, y0, x1, y1, colour, radius=0.0):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            if radius <= 0:
                return True
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
        self.shape(inside, colour)

    def ring(self, cx, cy, r_out, r_in, colour):
        self.shape(lambda x, y: r_in ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out ** 2, colour)

    def polygon(self, points, colour):
        def inside(x, y):
            odd = False
            j = len(points) - 1
            for i in range(len(points)):
                xi, yi = points[i]
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    odd = not odd
                j = i
            return odd
        self.shape(inside, colour)

    def text(self, x0, y0, word, scale, colour, spacing=1):
        for n, ch in enumerate(word):
            rows = GLYPHS[ch]
            gx = x0 + n * (5 + spacing) * scale
            for ry, row in enumerate(rows):
                for rx, bit in enumerate(row):
                    if bit == "1":
                        self.rect(gx + rx * scale, y0 + ry * scale, gx + (rx + 1) * scale, y0 + (ry + 1) * scale,
                                  colour)

    def png(self, name):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.px)

        def chunk(tag, data):
            body = tag + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)  # 8-bit RGBA
        data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(
            b"IEND", b"")
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


def vertical(top, bottom, y0, y1):
    """A colour function running from top to bottom between rows y0 and y1."""
    def colour(_x, y):
        t = min(max((y - y0) / float(y1 - y0), 0.0), 1.0)
        return tuple(int(round(a + (b - a) * t)) for a, b in zip(top, bottom))
    return colour


def folder(c):
    c.rect(3, 6, 13, 10, (214, 150, 40), radius=1.5)
    c.rect(3, 8, 25, 23, vertical((255, 204, 84), (226, 150, 32), 8, 23), radius=1.5)
    c.rect(3, 11, 25, 12, (190, 120, 20))


def make_goup():
    c = Canvas(ICON, ICON)
    folder(c)
    c.polygon([(14, 3), (23, 12), (18, 12), (18, 20), (10, 20), (10, 12), (5, 12)], (40, 110, 220))
    c.png("goup.png")


def make_folder():
    c = Canvas(ICON, ICON)
    folder(c)
    c.png("folder.png")


def make_film():
    c = Canvas(ICON, ICON)
    c.rect(4, 2, 24, 26, (35, 35, 40), radius=1.5)
    for y in range(4, 25, 4):
        c.rect(5.5, y, 8, y + 2, (230, 230, 230))
        c.rect(20, y, 22.5, y + 2, (230, 230, 230))
    c.rect(10, 4, 18, 13, vertical((120, 190, 255), (60, 120, 200), 4, 13))
    c.rect(10, 15, 18, 24, vertical((255, 170, 90), (200, 100, 40), 15, 24))
    c.png("film.png")


def make_music():
    c = Canvas(ICON, ICON)
    blue = (60, 90, 200)
    c.shape(lambda x, y: ((x - 9) / 4.5) ** 2 + ((y - 21) / 3.2) ** 2 <= 1, blue)
    c.shape(lambda x, y: ((x - 20) / 4.5) ** 2 + ((y - 18) / 3.2) ** 2 <= 1, blue)
    c.rect(12, 6, 14, 21, blue)
    c.rect(23, 3, 25, 18, blue)
    c.polygon([(12, 6), (25, 3), (25, 7), (12, 10)], blue)
    c.png("music.png")


def make_dvd():
    c = Canvas(ICON, ICON)
    cx = cy = ICON / 2.0

    def shine(x, y):
        a = math.atan2(y - cy, x - cx)
        v = int(180 + 60 * math.cos(2 * a))
        return (v, v, min(255, v + 20))
    c.ring(cx, cy, 12.5, 3.0, shine)
    c.ring(cx, cy, 5.5, 3.0, (120, 120, 130))
    c.ring(cx, cy, 12.5, 11.5, (110, 110, 120))
    c.png("dvd.png")


def make_default():
    c = Canvas(ICON, ICON)
    c.polygon([(6, 2), (17, 2), (23, 8), (23, 26), (6, 26)], (240, 240, 235))
    c.polygon([(17, 2), (23, 8), (17, 8)], (180, 180, 175))
    c.text(12, 11, "!", 2, (200, 50, 40))
    c.png("default.png")


def make_help():
    c = Canvas(ICON, ICON)
    c.ring(ICON / 2.0, ICON / 2.0, 13, 0, vertical((90, 150, 255), (30, 70, 190), 1, 27))
    c.text(9, 7, "?", 2, (255, 255, 255))
    c.png("help.png")


def make_progress():
    w, h = 250, 20
    c = Canvas(w, h)
    c.rect(0, 0, w, h, (30, 30, 30), radius=4)

    def ramp(x, _y):
        t = (x - 2) / float(w - 4)
        if t < 0.5:
            return (int(40 + 400 * t), 200, 40)   # green to yellow
        return (240, int(200 - 320 * (t - 0.5)), 40)  # yellow to red
    c.rect(2, 2, w - 2, h - 2, ramp, radius=3)
    # a soft highlight band along the top edge
    for y in range(3, 7):
        for x in range(3, w - 3):
            r, g, b, a = c.px[y][x]
            c.px[y][x] = ((r + 2 * 255) // 3, (g + 2 * 255) // 3, (b + 2 * 255) // 3, a)
    c.png("v_progress.png")


def make_logo():
    w, h = 100, 60
    c = Canvas(w, h)
    c.rect(0, 0, w, h, vertical((30, 60, 120), (12, 24, 60), 0, h), radius=8)
    c.rect(2, 2, w - 2, 4, (90, 140, 220))
    c.text(15, 14, "OXLE", 3, (255, 255, 255), spacing=1)
    c.rect(15, 43, 85, 46, (255, 170, 40))
    c.png("oxle.png")


def make_mvi():
    """The background still: a 720x576 MPEG-2 I-frame with the name and a strapline."""
    out = os.path.join(HERE, "oxle.mvi")
    font = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
    boxes = "drawbox=x=0:y=430:w=720:h=6:color=0xffaa28:t=fill"
    text = ""
    if os.path.exists(font):
        text = (",drawtext=fontfile=%s:text='OXLE':fontsize=120:fontcolor=white:x=(w-text_w)/2:y=230,"
                "drawtext=fontfile=%s:text='media from your PC':fontsize=30:fontcolor=0xb0c8ff:"
                "x=(w-text_w)/2:y=370") % (font, font)
    cmd = ["ffmpeg", "-y", "-loglevel", "error", "-f", "lavfi", "-i", "color=c=0x102040:s=720x576:d=1",
           "-vf", boxes + text, "-frames:v", "1", "-c:v", "mpeg2video", "-q:v", "2", "-f", "mpeg2video", out]
    try:
        subprocess.run(cmd, check=True)
    except (OSError, subprocess.CalledProcessError) as e:
        # drawtext needs a font and freetype; without them the plain picture will do
        print("ffmpeg with text failed (%s); making the plain picture" % e, file=sys.stderr)
        cmd[cmd.index("-vf") + 1] = boxes
        subprocess.run(cmd, check=True)


def main():
    make_goup()
    make_folder()
    make_film()
    make_music()
    make_dvd()
    make_default()
    make_help()
    make_progress()
    make_logo()
    if "--no-mvi" not in sys.argv:
        make_mvi()


if __name__ == "__main__":
    main()
