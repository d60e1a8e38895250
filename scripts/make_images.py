#!/usr/bin/env python3
"""Draws the window's lamp images and icon (RGBA PNGs) into app/images/, and the desktop icon
in the hicolor sizes and as a scalable SVG into packaging/icons/."""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, '..', 'app', 'images')


def png(path, size, pixel):
    rows = b''
    for y in range(size):
        rows += b'\x00' + b''.join(bytes(pixel(x + 0.5, y + 0.5)) for x in range(size))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
                chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))


def lamp(colour, size=16):
    """A disc in the given colour with a white highlight, on a transparent ground."""
    c = size / 2
    r = size / 2 - 0.8

    def pixel(x, y):
        d = math.hypot(x - c, y - c)
        if d > r + 0.5:
            return (0, 0, 0, 0)
        alpha = int(255 * max(0.0, min(1.0, r + 0.5 - d)))
        shade = 1.0 - 0.35 * (d / r)
        red, green, blue = (int(v * shade) for v in colour)
        h = math.hypot(x - c * 0.7, y - c * 0.65)
        if h < size * 0.16:
            t = 1.0 - h / (size * 0.16)
            red, green, blue = (int(v + (255 - v) * t) for v in (red, green, blue))
        edge = d > r - 1.0
        if edge:
            red, green, blue = (int(v * 0.6) for v in (red, green, blue))
        return (red, green, blue, alpha)

    return pixel


def icon(size=32):
    """A gauge: a grey dial with a green needle and the letters CO2 suggested by a bar."""
    lamp_pixel = lamp((40, 150, 220), size)

    def pixel(x, y):
        p = lamp_pixel(x, y)
        if p[3] == 0:
            return p
        # a white "needle" from the centre towards the upper right
        cx, cy = size / 2, size / 2
        vx, vy = x - cx, y - cy
        along = (vx * 0.7071 - vy * 0.7071)
        across = abs(vx * 0.7071 + vy * 0.7071)
        if 0 <= along <= size * 0.38 and across < 1.3:
            return (255, 255, 255, 255)
        if math.hypot(vx, vy) < 2.2:
            return (255, 255, 255, 255)
        return p

    return pixel


def icon_svg(colour=(40, 150, 220), size=32):
    """The icon() drawing as an SVG on the 32-pixel grid of the window's icon: the shaded disc with
    its darker rim and highlight, the white needle towards the upper right and its hub."""
    c = size / 2
    r = size / 2 - 0.8

    def rgb(values, factor=1.0):
        return '#%02x%02x%02x' % tuple(int(v * factor) for v in values)

    tip = c + size * 0.38 * 0.7071
    return f'''<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" viewBox="0 0 {size} {size}">
  <title>gx7140r-tool</title>
  <defs>
    <radialGradient id="dial" cx="{c}" cy="{c}" r="{r}" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="{rgb(colour)}"/>
      <stop offset="1" stop-color="{rgb(colour, 0.65)}"/>
    </radialGradient>
    <radialGradient id="highlight" cx="{c * 0.7:g}" cy="{c * 0.65:g}" r="{size * 0.16:g}"
                    gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="#ffffff" stop-opacity="1"/>
      <stop offset="1" stop-color="#ffffff" stop-opacity="0"/>
    </radialGradient>
  </defs>
  <circle cx="{c}" cy="{c}" r="{r:g}" fill="url(#dial)"/>
  <circle cx="{c}" cy="{c}" r="{r - 0.5:g}" fill="none" stroke="{rgb(colour, 0.65 * 0.6)}" stroke-width="1"/>
  <circle cx="{c * 0.7:g}" cy="{c * 0.65:g}" r="{size * 0.16:g}" fill="url(#highlight)"/>
  <line x1="{c}" y1="{c}" x2="{tip:.2f}" y2="{size - tip:.2f}" stroke="#ffffff" stroke-width="2.6"/>
  <circle cx="{c}" cy="{c}" r="2.2" fill="#ffffff"/>
</svg>
'''


if __name__ == '__main__':
    os.makedirs(OUT, exist_ok=True)
    png(os.path.join(OUT, 'lamp_green.png'), 16, lamp((30, 200, 40)))
    png(os.path.join(OUT, 'lamp_yellow.png'), 16, lamp((245, 210, 20)))
    png(os.path.join(OUT, 'lamp_red.png'), 16, lamp((230, 30, 30)))
    png(os.path.join(OUT, 'app_icon.png'), 32, icon())
    # the same icon for the desktop's hicolor theme
    icons = os.path.join(HERE, '..', 'packaging', 'icons')
    os.makedirs(icons, exist_ok=True)
    for size in (16, 24, 32, 48, 64, 128, 256):
        png(os.path.join(icons, f'gx7140r-tool-{size}.png'), size, icon(size))
    with open(os.path.join(icons, 'gx7140r-tool.svg'), 'w', encoding='utf-8') as f:
        f.write(icon_svg())
