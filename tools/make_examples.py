#!/usr/bin/python3
"""Makes the sample pictures in examples/: 8-bit indexed PCX files written by Pillow.

Run with Debian's python3 (python3-pil):  /usr/bin/python3 tools/make_examples.py [OUTDIR]

Everything is computed from integer hashes and fixed formulas, so every run writes
the same bytes. The pictures are the kind a pixel artist edits the palette of:

  landscape.pcx  320 x 200  sky gradient, sun, clouds, two mountain ranges, grass and
                            a lake whose 40-entry ramp sits at 196..235 for colour cycling
  sprites.pcx    128 x 64   a sheet of eight 32 x 32 sprites on a colour-key background
  lava_cave.pcx  199 x 123  odd width (Pillow pads rows to 200 bytes); a lava river
                            drawn with the cycling ramp 196..235
"""
import math
import os
import sys

from PIL import Image

# 4 x 4 ordered-dither thresholds in 0..15.
BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def hash2(x, y, seed):
    """A 32-bit integer hash of a lattice point, as a float in [0, 1)."""
    h = (x * 374761393 + y * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    h ^= h >> 16
    return h / 4294967296.0


def smooth(t):
    return t * t * (3 - 2 * t)


def noise1(x, seed):
    """Smooth 1-D value noise in [0, 1)."""
    xi = math.floor(x)
    t = smooth(x - xi)
    a = hash2(xi, 0, seed)
    b = hash2(xi + 1, 0, seed)
    return a + (b - a) * t


def noise2(x, y, seed):
    """Smooth 2-D value noise in [0, 1)."""
    xi, yi = math.floor(x), math.floor(y)
    tx, ty = smooth(x - xi), smooth(y - yi)
    a = hash2(xi, yi, seed)
    b = hash2(xi + 1, yi, seed)
    c = hash2(xi, yi + 1, seed)
    d = hash2(xi + 1, yi + 1, seed)
    top = a + (b - a) * tx
    bottom = c + (d - c) * tx
    return top + (bottom - top) * ty


def fbm1(x, seed, octaves=4):
    total, amp, norm = 0.0, 1.0, 0.0
    for o in range(octaves):
        total += noise1(x, seed + o) * amp
        norm += amp
        x *= 2.0
        amp *= 0.5
    return total / norm


def fbm2(x, y, seed, octaves=3):
    total, amp, norm = 0.0, 1.0, 0.0
    for o in range(octaves):
        total += noise2(x, y, seed + o) * amp
        norm += amp
        x *= 2.0
        y *= 2.0
        amp *= 0.5
    return total / norm


def clamp01(t):
    return 0.0 if t < 0 else 1.0 if t > 1 else t


class Palette:
    """256 entries, filled ramp by ramp; unused entries stay black."""

    def __init__(self):
        self.rgb = [(0, 0, 0)] * 256

    def ramp(self, start, stops, count):
        """Fills count entries from start, interpolating linearly through colour stops."""
        for i in range(count):
            t = i / (count - 1) if count > 1 else 0.0
            seg = min(int(t * (len(stops) - 1)), len(stops) - 2)
            local = t * (len(stops) - 1) - seg
            a, b = stops[seg], stops[seg + 1]
            self.rgb[start + i] = tuple(round(a[k] + (b[k] - a[k]) * local) for k in range(3))
        return start

    def flat(self):
        out = []
        for r, g, b in self.rgb:
            out += [r, g, b]
        return out


def ramp_index(base, count, t, x, y):
    """The entry of a ramp for a shade t in [0, 1], ordered-dithered between neighbours."""
    pos = clamp01(t) * (count - 1)
    whole = int(pos)
    frac = pos - whole
    if whole < count - 1 and frac * 16 > BAYER4[y & 3][x & 3] + 0.5:
        whole += 1
    return base + whole


def save(pixels, width, height, palette, path):
    im = Image.new("P", (width, height))
    im.putdata(pixels)
    im.putpalette(palette.flat())
    im.save(path, format="PCX")


# ---------------------------------------------------------------- landscape

def make_landscape(path):
    W, H = 320, 200
    pal = Palette()
    GREY, SKY, SUN, CLOUD, FAR, ROCK, SNOW, GRASS, DIRT, WATER = (
        0, 16, 48, 64, 80, 104, 128, 136, 168, 196)
    pal.ramp(GREY, [(0, 0, 0), (255, 255, 255)], 16)
    pal.ramp(SKY, [(18, 22, 74), (46, 84, 170), (120, 170, 226), (250, 214, 170)], 32)
    pal.ramp(SUN, [(214, 96, 36), (252, 200, 64), (255, 252, 226)], 16)
    pal.ramp(CLOUD, [(150, 140, 180), (230, 222, 236), (255, 250, 244)], 16)
    pal.ramp(FAR, [(72, 74, 132), (128, 132, 184), (184, 186, 214)], 24)
    pal.ramp(ROCK, [(36, 30, 34), (96, 78, 70), (150, 128, 104)], 24)
    pal.ramp(SNOW, [(170, 184, 214), (250, 252, 255)], 8)
    pal.ramp(GRASS, [(14, 44, 24), (46, 110, 40), (140, 184, 64), (212, 220, 120)], 32)
    pal.ramp(DIRT, [(60, 38, 22), (140, 100, 60), (200, 164, 112)], 16)
    # 40 entries that wrap around smoothly, so cycling them makes the lake shimmer.
    for i in range(40):
        s = 0.5 - 0.5 * math.cos(2 * math.pi * i / 40)
        pal.rgb[WATER + i] = (round(30 + 90 * s), round(76 + 110 * s), round(140 + 100 * s))

    sun_x, sun_y, sun_r = 236, 58, 17
    horizon = 128
    far_ridge = [horizon - 14 - 42 * fbm1(x / 46.0, 11) for x in range(W)]
    near_ridge = [horizon + 8 - 70 * fbm1(x / 58.0 + 3.1, 23) ** 1.6 for x in range(W)]
    lake_cx, lake_cy, lake_rx, lake_ry = 92, 170, 70, 14

    px = []
    for y in range(H):
        for x in range(W):
            dsun = math.hypot(x - sun_x, y - sun_y)
            if y < horizon + 10:
                # Sky: dark at the top, warm at the horizon, brighter around the sun.
                t = y / (horizon + 10) + 0.18 * clamp01(1 - dsun / 90)
                c = ramp_index(SKY, 32, t, x, y)
                cloud = fbm2(x / 38.0, y / 11.0, 5) - 0.52 + 0.002 * (y - 40)
                if 18 < y < 96 and cloud > 0:
                    c = ramp_index(CLOUD, 16, 0.35 + cloud * 4 - (y - 18) / 160.0, x, y)
                if dsun <= sun_r:
                    c = ramp_index(SUN, 16, 1.05 - dsun / sun_r * 0.8, x, y)
            else:
                c = None
            if y >= far_ridge[x]:
                slope = far_ridge[min(x + 1, W - 1)] - far_ridge[max(x - 1, 0)]
                depth = (y - far_ridge[x]) / 50.0
                c = ramp_index(FAR, 24, 0.75 - depth * 0.5 + slope * 0.03, x, y)
            if y >= near_ridge[x]:
                slope = near_ridge[min(x + 1, W - 1)] - near_ridge[max(x - 1, 0)]
                depth = (y - near_ridge[x]) / 40.0
                grain = fbm2(x / 6.0, y / 6.0, 31) - 0.5
                if near_ridge[x] < horizon - 34 and y < near_ridge[x] + 6 + 6 * grain:
                    c = ramp_index(SNOW, 8, 0.6 + slope * 0.2 + grain, x, y)
                else:
                    c = ramp_index(ROCK, 24, 0.7 - depth * 0.4 + slope * 0.12 + grain * 0.5,
                                   x, y)
            if y >= horizon + 6:
                # Grass, lighter towards the viewer, with a little texture.
                grain = fbm2(x / 5.0, y / 3.0, 41) - 0.5
                t = 0.25 + (y - horizon) / 110.0 + grain * 0.5
                c = ramp_index(GRASS, 32, t, x, y)
                # A path winding down to the bottom edge.
                path_x = 250 + 30 * math.sin(y / 14.0) - (y - horizon) * 0.5
                half = 2 + (y - horizon) * 0.18
                if abs(x - path_x) < half:
                    c = ramp_index(DIRT, 16, 0.55 + grain - abs(x - path_x) / half * 0.3, x, y)
                e = ((x - lake_cx) / lake_rx) ** 2 + ((y - lake_cy) / lake_ry) ** 2
                if e < 1.0:
                    if e > 0.86:
                        c = ramp_index(DIRT, 16, 0.3, x, y)
                    else:
                        wave = 20 * math.sin(x / 9.0 + y * 0.8) + 4 * (y - lake_cy)
                        c = WATER + int(x // 3 + wave) % 40
            px.append(c)
    save(px, W, H, pal, path)


# ---------------------------------------------------------------- sprite sheet

def make_sprites(path):
    W, H, S = 128, 64, 32
    pal = Palette()
    KEY, OUTLINE = 0, 1
    pal.rgb[KEY] = (255, 0, 255)
    pal.rgb[OUTLINE] = (20, 16, 28)
    pal.rgb[2] = (255, 255, 255)
    ramps = {
        "gold": pal.ramp(16, [(96, 52, 10), (214, 150, 28), (255, 236, 140)], 12),
        "red": pal.ramp(32, [(70, 8, 20), (200, 36, 48), (255, 150, 150)], 12),
        "blue": pal.ramp(48, [(10, 28, 90), (40, 110, 220), (190, 236, 255)], 12),
        "purple": pal.ramp(64, [(40, 10, 60), (140, 60, 190), (236, 190, 255)], 12),
        "green": pal.ramp(80, [(10, 50, 20), (60, 170, 60), (200, 255, 160)], 12),
        "grey": pal.ramp(96, [(30, 32, 40), (120, 126, 140), (240, 244, 250)], 12),
        "cream": pal.ramp(112, [(120, 100, 80), (220, 208, 180), (255, 252, 240)], 12),
        "brown": pal.ramp(128, [(40, 22, 10), (120, 72, 36), (200, 150, 96)], 12),
        "glass": pal.ramp(144, [(80, 110, 130), (170, 210, 224), (240, 252, 255)], 12),
    }

    def sphere_shade(u, v):
        """Light from the upper left on a unit disc, 0..1."""
        z = math.sqrt(max(0.0, 1 - u * u - v * v))
        return clamp01(0.15 + 0.85 * (-0.5 * u - 0.6 * v + 0.62 * z))

    # Each sprite: a function of local (x, y) in 0..31 giving (ramp, shade) or None.
    def coin(x, y):
        u, v = (x - 15.5) / 12.5, (y - 15.5) / 12.5
        if u * u + v * v > 1:
            return None
        t = sphere_shade(u, v)
        if 0.55 < math.hypot(u, v) < 0.68:
            t *= 0.6  # engraved rim
        if abs(u) < 0.1 and abs(v) < 0.45:
            t = 0.95
        return "gold", t

    def heart(x, y):
        u, v = (x - 15.5) / 13.0, (15.0 - y) / 13.0
        f = (u * u + v * v - 0.35) ** 3 - u * u * v * v * v * 1.1
        if f > 0:
            return None
        return "red", clamp01(0.35 + 0.55 * (-u * 0.6 + v * 0.8) + 0.3)

    def gem(x, y):
        u, v = x - 15.5, y - 12.0
        if v < -8 or v > 14 or abs(u) > 13 - max(0.0, v) * 13 / 14 or abs(u) > 6 + (v + 8) * 1.2:
            return None
        facet = (1 if u < 0 else 0) + (2 if v < -1 else 0)
        return "blue", [0.55, 0.3, 1.0, 0.75][facet] - abs(u) * 0.01

    def potion(x, y):
        u, v = (x - 15.5) / 10.5, (y - 19.5) / 10.5
        if v > -0.9 and u * u + v * v <= 1:
            liquid = v > -0.15 + 0.05 * math.sin(x * 0.9)
            t = sphere_shade(u, v)
            return ("purple" if liquid else "glass"), t
        if 4 <= y < 10 and 12 <= x <= 19:
            return "glass", 0.7 - abs(x - 15.5) * 0.05
        if 1 <= y < 4 and 11 <= x <= 20:
            return "brown", 0.6
        return None

    def slime(x, y):
        u, v = (x - 15.5) / 14.0, (y - 24.0) / 17.0
        if y > 28 or u * u + v * v > 1:
            return None
        if (x in (11, 12, 19, 20)) and 15 <= y <= 18:
            return "outline", 0
        return "green", sphere_shade(u, v)

    def mushroom(x, y):
        u, v = (x - 15.5) / 14.0, (y - 15.0) / 12.0
        if y <= 15 and u * u + v * v <= 1:
            spot = any(math.hypot(x - sx, y - sy) < r
                       for sx, sy, r in ((10, 9, 2.6), (19, 7, 2.2), (23, 13, 1.8), (14, 13, 1.5)))
            return ("cream" if spot else "red"), sphere_shade(u, v * 1.4)
        if 16 <= y <= 29 and abs(x - 15.5) < 5 + (y - 16) * 0.15:
            return "cream", 0.8 - (x - 11) * 0.05
        return None

    def bomb(x, y):
        u, v = (x - 15.0) / 12.0, (y - 18.0) / 12.0
        if u * u + v * v <= 1:
            return "grey", sphere_shade(u, v) * 0.7
        if 2 <= y <= 7 and abs(x - (21 + (7 - y) * 0.6)) < 1.2:
            return "brown", 0.7
        if y <= 3 and abs(x - 24.5) < 2:
            return "gold", 1.0 - y * 0.2
        return None

    def star(x, y):
        u, v = x - 15.5, y - 16.5
        r, a = math.hypot(u, v), math.atan2(v, u) + math.pi / 2
        edge = 14 * (0.52 + 0.48 * abs(math.cos(2.5 * a)) ** 3)
        if r > edge:
            return None
        return "gold", clamp01(0.95 - r / 16 - u * 0.02 + (0.15 if (u < 0) == (v < 0) else 0))

    sprites = [coin, heart, gem, potion, slime, mushroom, bomb, star]
    px = [KEY] * (W * H)
    for n, draw in enumerate(sprites):
        ox, oy = (n % 4) * S, (n // 4) * S
        cells = {}
        for y in range(S):
            for x in range(S):
                got = draw(x, y)
                if got is not None:
                    cells[(x, y)] = got
        for (x, y), (name, t) in cells.items():
            edge = any((x + dx, y + dy) not in cells
                       for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            if edge or name == "outline":
                c = OUTLINE
            else:
                c = ramp_index(ramps[name], 12, t, x, y)
            px[(oy + y) * W + ox + x] = c
    save(px, W, H, pal, path)


# ---------------------------------------------------------------- lava cave

def make_lava_cave(path):
    W, H = 199, 123
    pal = Palette()
    ROCK, GLOW, LAVA = 0, 48, 196
    pal.ramp(ROCK, [(8, 6, 10), (46, 36, 44), (96, 80, 78), (140, 120, 104)], 32)
    pal.ramp(GLOW, [(90, 30, 20), (190, 80, 30), (250, 170, 70)], 16)
    # A looping fire ramp: cycling 196..235 makes the lava flow.
    stops = [(90, 10, 4), (200, 40, 8), (250, 130, 20), (255, 230, 120), (250, 130, 20),
             (200, 40, 8), (90, 10, 4)]
    for i in range(40):
        t = i / 40 * (len(stops) - 1)
        k = int(t)
        f = t - k
        a, b = stops[k], stops[k + 1]
        pal.rgb[LAVA + i] = tuple(round(a[j] + (b[j] - a[j]) * f) for j in range(3))

    ceiling = [14 + 22 * fbm1(x / 20.0, 61) for x in range(W)]
    floor = [H - 20 - 24 * fbm1(x / 24.0, 67) for x in range(W)]
    river = [floor[x] + 6 + 4 * math.sin(x / 17.0) for x in range(W)]

    px = []
    for y in range(H):
        for x in range(W):
            grain = fbm2(x / 7.0, y / 5.0, 71)
            if y < ceiling[x] or y > floor[x]:
                # Rock lit from below by the lava.
                glow = clamp01(1 - abs(y - river[x]) / 26.0) if y > floor[x] else 0.0
                t = 0.15 + grain * 0.55 + (0.2 if y < ceiling[x] and y > ceiling[x] - 3 else 0)
                if glow > 0.6 and grain > 0.55:
                    c = ramp_index(GLOW, 16, glow * 1.2 - 0.3 + grain * 0.3, x, y)
                else:
                    c = ramp_index(ROCK, 32, t + glow * 0.25, x, y)
                if y > floor[x] and abs(y - river[x]) < 3 + 2 * math.sin(x / 11.0):
                    c = LAVA + int(x * 0.7 + 3 * math.sin(y * 0.9)) % 40
            else:
                # The open cave behind: dark, with a warm haze near the floor.
                depth = clamp01((y - ceiling[x]) / max(1.0, floor[x] - ceiling[x]))
                t = 0.04 + 0.12 * depth + (grain - 0.5) * 0.06
                c = ramp_index(ROCK, 32, t, x, y)
                if depth > 0.8 and hash2(x, y, 79) < (depth - 0.8) * 0.4:
                    c = ramp_index(GLOW, 16, 0.2, x, y)
            px.append(c)
    save(px, W, H, pal, path)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "examples")
    os.makedirs(out, exist_ok=True)
    make_landscape(os.path.join(out, "landscape.pcx"))
    make_sprites(os.path.join(out, "sprites.pcx"))
    make_lava_cave(os.path.join(out, "lava_cave.pcx"))


if __name__ == "__main__":
    main()
