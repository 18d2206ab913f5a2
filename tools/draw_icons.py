#!/usr/bin/env python3
"""Draws the programs' icons and row images and writes them as icon-file
byte arrays in a C++ source file.

Usage: draw_icons.py OUTPUT.cpp
"""
import math
import struct
import sys


def ico_file(width, height, pixel):
    """One 32-bit image with an AND mask; pixel(x, y) -> (r, g, b, a), y from the top."""
    rows = []
    mask_rows = []
    mask_stride = ((width + 31) // 32) * 4
    for y in reversed(range(height)):
        row = bytearray()
        mask = bytearray(mask_stride)
        for x in range(width):
            r, g, b, a = pixel(x, y)
            row += bytes((b, g, r, a))
            if a == 0:
                mask[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
        mask_rows.append(bytes(mask))
    image = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, 32, 0,
                        0, 0, 0, 0, 0) + b''.join(rows) + b''.join(mask_rows)
    header = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return header + entry + image


def supersample(shape, width, height, n=4):
    """shape(fx, fy) in [0,1]^2 -> (r,g,b,a in 0..1) or None; averaged n*n times."""
    def pixel(x, y):
        acc = [0.0, 0.0, 0.0, 0.0]
        for sy in range(n):
            for sx in range(n):
                c = shape((x + (sx + 0.5) / n) / width, (y + (sy + 0.5) / n) / height)
                if c:
                    r, g, b, a = c
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
        a = acc[3] / (n * n)
        if a <= 0:
            return (0, 0, 0, 0)
        return tuple(int(round(255 * v / acc[3])) for v in acc[:3]) + (int(round(255 * a)),)
    return pixel


def rgb(h, a=1.0):
    return ((h >> 16 & 255) / 255, (h >> 8 & 255) / 255, (h & 255) / 255, a)


def in_round_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def drive_with(symbol):
    """A grey drive body with a coloured symbol disc in front."""
    def shape(x, y):
        c = symbol(x, y)
        if c:
            return c
        if in_round_rect(x, y, 0.06, 0.42, 0.94, 0.90, 0.08):
            if in_round_rect(x, y, 0.09, 0.45, 0.91, 0.87, 0.06):
                shade = 0.80 - 0.25 * (y - 0.45) / 0.42
                led = (x - 0.80) ** 2 + (y - 0.77) ** 2 < 0.0016
                return rgb(0x40E040) if led else (shade, shade, shade * 1.04, 1.0)
            return rgb(0x505860)
        return None
    return shape


def idle_symbol(x, y):
    # a green disc holding a white hard-link chain tick
    d = math.hypot(x - 0.5, y - 0.36)
    if d > 0.30:
        return None
    if d > 0.27:
        return rgb(0x1E6B2E)
    if seg_dist(x, y, 0.36, 0.37, 0.46, 0.47) < 0.045 or seg_dist(x, y, 0.46, 0.47, 0.65, 0.25) < 0.045:
        return rgb(0xFFFFFF)
    g = 0.55 + 0.25 * (0.36 - y)
    return (0.18, g, 0.30, 1.0)


def busy_symbol(x, y):
    # an orange disc with two circling arrows
    d = math.hypot(x - 0.5, y - 0.36)
    if d > 0.30:
        return None
    if d > 0.27:
        return rgb(0x8A4500)
    ang = math.atan2(y - 0.36, x - 0.5)
    ring = 0.13 < d < 0.19
    gap = any(abs(math.remainder(ang - a, 2 * math.pi)) < 0.35 for a in (0.0, math.pi))
    if ring and not gap:
        return rgb(0xFFFFFF)
    for tip, direction in ((0.0, 1), (math.pi, 1)):
        tx, ty = 0.5 + 0.16 * math.cos(tip + 0.35), 0.36 + 0.16 * math.sin(tip + 0.35)
        if math.hypot(x - tx, y - ty) < 0.075 and ((x - tx) * math.sin(tip) - (y - ty) * math.cos(tip)) * direction < 0.02:
            return rgb(0xFFFFFF)
    o = 0.62 + 0.2 * (0.36 - y)
    return (0.95, o, 0.10, 1.0)


def gauge_symbol(x, y):
    # a blue disc holding a free-space pie: white for the used share
    d = math.hypot(x - 0.5, y - 0.36)
    if d > 0.30:
        return None
    if d > 0.27:
        return rgb(0x1B3F7A)
    if d < 0.20:
        ang = math.degrees(math.atan2(x - 0.5, -(y - 0.36))) % 360
        if ang < 130:
            return rgb(0xFFFFFF)
        return rgb(0x8CC8FF)
    b = 0.70 + 0.25 * (0.36 - y)
    return (0.15, 0.40, b, 1.0)


def row_running(x, y):
    # white arrow pointing right on a green square
    if not in_round_rect(x, y, 0.02, 0.02, 0.98, 0.98, 0.12):
        return None
    arrow = (0.22 <= x <= 0.55 and 0.40 <= y <= 0.60) or (
        0.50 <= x <= 0.82 and abs(y - 0.5) <= 0.32 * (0.82 - x) / 0.32)
    return rgb(0xFFFFFF) if arrow else rgb(0x2E9E3E)


def row_resting(x, y):
    # a pale clock face
    d = math.hypot(x - 0.5, y - 0.5)
    if d > 0.47:
        return None
    if d > 0.40:
        return rgb(0x8FA6BF)
    if seg_dist(x, y, 0.5, 0.5, 0.5, 0.2) < 0.06 or seg_dist(x, y, 0.5, 0.5, 0.72, 0.5) < 0.06:
        return rgb(0x50647A)
    return rgb(0xEEF3F8)


def row_skipped(x, y):
    # a red cross
    if seg_dist(x, y, 0.15, 0.15, 0.85, 0.85) < 0.13 or seg_dist(x, y, 0.85, 0.15, 0.15, 0.85) < 0.13:
        return rgb(0xD42020)
    return None


IMAGES = [
    ('kIdleIconFile', 128, 128, drive_with(idle_symbol)),
    ('kBusyIconFile', 128, 128, drive_with(busy_symbol)),
    ('kRowImageRunningFile', 16, 15, row_running),
    ('kRowImageRestingFile', 16, 15, row_resting),
    ('kRowImageSkippedFile', 16, 15, row_skipped),
    ('kDunmereIconFile', 128, 128, drive_with(gauge_symbol)),
]


def main():
    out = ['// Generated by tools/draw_icons.py: icon-file bytes of the pictures.',
           '#include "apps/common/pictures.h"', '']
    for name, w, h, shape in IMAGES:
        data = ico_file(w, h, supersample(shape, w, h))
        out.append('extern const unsigned char %s[%d] = {' % (name, len(data)))
        for i in range(0, len(data), 24):
            out.append('  ' + ','.join(str(b) for b in data[i:i + 24]) + ',')
        out.append('};')
        out.append('')
    with open(sys.argv[1], 'w') as f:
        f.write('\n'.join(out))


if __name__ == '__main__':
    main()
