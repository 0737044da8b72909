#!/usr/bin/env python3
"""Draws the five preset-tile pictures of the preset grid's icon view (256 x 160,
RGBA) into resources/images. Plain Python: a rounded card with a vertical gradient,
a darker rim, and a wave line for filled slots; empty slots get a dashed rim."""
import math, os, struct, zlib

W, H = 256, 160

def png(path, pixels):
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)
    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)

def rgb(v):
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)

def inside_rounded(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

def draw(top, bottom, rim, wave, dashed):
    t, b, rim = rgb(top), rgb(bottom), rgb(rim)
    px = [[0] * (W * 4) for _ in range(H)]
    m, r = 6, 18
    for y in range(H):
        f = y / (H - 1)
        fill = tuple(int(t[i] + (b[i] - t[i]) * f) for i in range(3))
        for x in range(W):
            xc, yc = x + 0.5, y + 0.5
            if not inside_rounded(xc, yc, m, m, W - m, H - m, r):
                continue
            onRim = not inside_rounded(xc, yc, m + 4, m + 4, W - m - 4, H - m - 4, r - 4)
            if onRim:
                if dashed and ((x // 12) + (y // 12)) % 2 == 1:
                    c, a = fill, 255
                else:
                    c, a = rim, 255
            else:
                c, a = fill, 255
            px[y][x * 4:x * 4 + 4] = [c[0], c[1], c[2], a]
    if wave is not None:
        wc = rgb(wave)
        for x in range(30, W - 30):
            u = (x - 30) / (W - 60)
            env = math.sin(math.pi * u)
            yv = H * 0.62 + math.sin(u * math.pi * 7) * 28 * env
            for dy in range(-2, 3):
                yy = int(yv) + dy
                if 0 <= yy < H:
                    px[yy][x * 4:x * 4 + 4] = [wc[0], wc[1], wc[2], 255]
    return px

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "images")
pictures = {
    "preset_tile_factory.png":       (0x9fb3bd, 0x8599a3, 0x4b5f6e, 0xeaeef0, False),
    "preset_tile_user.png":          (0x77a6e0, 0x5e8ec9, 0x2f5d8f, 0xffffff, False),
    "preset_tile_changed.png":       (0xc2af77, 0xac9961, 0x7a6a3a, 0xfff6dc, False),
    "preset_tile_empty.png":         (0xdde5e9, 0xbecdd2, 0x8599a3, None, True),
    "preset_tile_empty_changed.png": (0xb8727a, 0x9d5b63, 0x6a3038, None, True),
}
for name, (top, bottom, rim, wave, dashed) in pictures.items():
    png(os.path.join(here, name), draw(top, bottom, rim, wave, dashed))
