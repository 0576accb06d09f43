#!/usr/bin/env python3
"""Draws the client's skin images (icons, button states, window shadow) as PNG files.

Every image is drawn here from simple shapes (signed distance fields with smooth edges),
so the skin needs no artwork from elsewhere. Usage: make_skin_images.py <output folder>;
make_skin_images.py --icon <file.ico> writes the program's icon (its logo at 16, 24, 32
and 48 pixels) instead.
"""
import math
import os
import struct
import sys
import zlib


def write_png(path, width, height, rgba):
    """rgba: list of (r, g, b, a) rows, 0..255, not premultiplied."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw.extend(rgba[y * width + x])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)


def hex_color(text, alpha=255):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


# ---- signed distances (negative inside), in design units ----

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, thickness):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - thickness / 2


def box(cx, cy, hw, hh, radius=0.0):
    def d(x, y):
        qx = abs(x - cx) - hw + radius
        qy = abs(y - cy) - hh + radius
        outside = math.hypot(max(qx, 0), max(qy, 0))
        return outside + min(max(qx, qy), 0) - radius
    return d


def box_outline(cx, cy, hw, hh, radius, thickness):
    inner = box(cx, cy, hw, hh, radius)
    return lambda x, y: abs(inner(x, y)) - thickness / 2


def segment(ax, ay, bx, by, r):
    def d(x, y):
        px, py = x - ax, y - ay
        vx, vy = bx - ax, by - ay
        length2 = vx * vx + vy * vy
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, (px * vx + py * vy) / length2))
        return math.hypot(px - vx * t, py - vy * t) - r
    return d


def polygon(points):
    def d(x, y):
        best = float("inf")
        inside = False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            vx, vy = bx - ax, by - ay
            px, py = x - ax, y - ay
            length2 = vx * vx + vy * vy
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, (px * vx + py * vy) / length2))
            best = min(best, math.hypot(px - vx * t, py - vy * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * vx / vy:
                inside = not inside
        return -best if inside else best
    return d


def arc(cx, cy, r, thickness, start_deg, end_deg):
    """Ring part between two angles (degrees, y pointing down, 0 = right)."""
    a0, a1 = math.radians(start_deg), math.radians(end_deg)
    caps = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (a0, a1)]

    def d(x, y):
        angle = math.atan2(y - cy, x - cx)
        span = (a1 - a0) % (2 * math.pi)
        rel = (angle - a0) % (2 * math.pi)
        if rel <= span:
            return abs(math.hypot(x - cx, y - cy) - r) - thickness / 2
        return min(math.hypot(x - px, y - py) for px, py in caps) - thickness / 2
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(shape, hole):
    return lambda x, y: max(shape(x, y), -hole(x, y))


def intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


class Canvas:
    """Premultiplied float pixels; shapes are drawn in a 24-unit design space."""

    def __init__(self, size, design=24.0):
        self.w = self.h = size
        self.scale = size / design
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]

    def fill(self, shape, color):
        r, g, b, a = (c / 255.0 for c in color)
        s = self.scale
        for y in range(self.h):
            for x in range(self.w):
                dist = shape((x + 0.5) / s, (y + 0.5) / s) * s
                cover = 0.5 - dist
                if cover <= 0:
                    continue
                cover = min(cover, 1.0) * a
                p = self.px[y * self.w + x]
                keep = 1.0 - cover
                p[0] = r * cover + p[0] * keep
                p[1] = g * cover + p[1] * keep
                p[2] = b * cover + p[2] * keep
                p[3] = cover + p[3] * keep

    def save(self, path):
        out = []
        for p in self.px:
            a = p[3]
            if a <= 0:
                out.append((0, 0, 0, 0))
            else:
                out.append(tuple(int(round(min(1.0, c / a) * 255)) for c in p[:3]) + (int(round(a * 255)),))
        write_png(path, self.w, self.h, out)


# ---- glyphs (24-unit design space) ----

def glyph_camera():
    return union(box(10, 12, 7, 5.2, 2), polygon([(16.5, 10.2), (22, 7), (22, 17), (16.5, 13.8)]))


def glyph_mic():
    return union(segment(12, 5.5, 12, 10.5, 3.2), arc(12, 11, 6, 1.7, 0, 180), segment(12, 17, 12, 20, 0.85),
                 segment(8.5, 20.3, 15.5, 20.3, 0.85))


def glyph_record_ring():
    return ring(12, 12, 8.3, 1.8)


def glyph_record_dot():
    return circle(12, 12, 4.6)


def glyph_screen():
    return union(box_outline(12, 10.5, 8.6, 6.2, 1.6, 1.7), segment(12, 17, 12, 19.5, 0.85),
                 segment(8, 20, 16, 20, 0.85), segment(12, 13.3, 12, 8.6, 0.85),
                 polygon([(8.8, 10.2), (12, 6.8), (15.2, 10.2)]))


def glyph_speaker():
    return union(polygon([(3.5, 9.2), (7.5, 9.2), (12.5, 5.2), (12.5, 18.8), (7.5, 14.8), (3.5, 14.8)]),
                 arc(13, 12, 3.8, 1.6, -55, 55), arc(13, 12, 7.2, 1.6, -55, 55))


def glyph_gear():
    teeth = [segment(12 + 6 * math.cos(k * math.pi / 4), 12 + 6 * math.sin(k * math.pi / 4),
                     12 + 9 * math.cos(k * math.pi / 4), 12 + 9 * math.sin(k * math.pi / 4), 1.7) for k in range(8)]
    return subtract(union(circle(12, 12, 6.8), *teeth), circle(12, 12, 2.9))


def glyph_add_user():
    body = intersect(box(9.5, 17.5, 6.2, 4.5, 4.2), lambda x, y: y - 20.5)
    return union(circle(9.5, 8, 3.6), body, segment(18.5, 7.5, 18.5, 13.5, 0.95), segment(15.5, 10.5, 21.5, 10.5, 0.95))


def glyph_close():
    return union(segment(7, 7, 17, 17, 1.05), segment(17, 7, 7, 17, 1.05))


def glyph_min():
    return segment(7, 12, 17, 12, 1.05)


def glyph_slash():
    return segment(4.5, 19.5, 19.5, 4.5, 1.1)


def glyph_send():
    return polygon([(4, 5), (21, 12), (4, 19), (6.5, 12)])


GREY_BG = hex_color("#EEF2F7")
HOT_BG = hex_color("#DCE8FD")
BLUE = hex_color("#2D7FF9")
WHITE = hex_color("#FFFFFF")
INK = hex_color("#4A5A6E")
RED = hex_color("#E5484D")
GREEN = hex_color("#22A06B")
MUTED = hex_color("#A9B2BF")


def toolbar_states(out, name, glyph, accent=BLUE, extra=None):
    """<name>.png (rest), <name>_HL.png (mouse over), <name>_Press.png (pressed / on)."""
    looks = [("", GREY_BG, INK), ("_HL", HOT_BG, accent), ("_Press", accent, WHITE)]
    for suffix, background, ink in looks:
        c = Canvas(40)
        c.fill(circle(12, 12, 12), background)
        c.fill(lambda x, y: glyph((x - 12) * 1.55 + 12, (y - 12) * 1.55 + 12) / 1.55, ink)
        if extra:
            c.fill(lambda x, y: extra((x - 12) * 1.55 + 12, (y - 12) * 1.55 + 12) / 1.55,
                   WHITE if suffix == "_Press" else accent)
        c.save(os.path.join(out, name + suffix + ".png"))


def small_icon(out, name, glyph, color, slashed=False):
    c = Canvas(18)
    c.fill(glyph, color)
    if slashed:
        c.fill(glyph_slash(), color)
    c.save(os.path.join(out, name))


def draw_logo(size):
    """The program's mark: the logo of the skin and the program's icon."""
    logo = Canvas(size)
    logo.fill(box(12, 12, 11, 11, 4), BLUE)
    logo.fill(segment(7, 13.5, 12, 9, 1.6), WHITE)
    logo.fill(segment(12, 9, 17, 13.5, 1.6), WHITE)
    logo.fill(circle(12, 15.5, 2.2), WHITE)
    return logo


def write_ico(path, canvases):
    """An icon file with one 32-bit image (BGRA rows bottom up, then the AND mask) per canvas."""
    images = []
    for c in canvases:
        xor = bytearray()
        mask_stride = ((c.w + 31) // 32) * 4
        mask = bytearray()
        for y in reversed(range(c.h)):
            bits = bytearray(mask_stride)
            for x in range(c.w):
                p = c.px[y * c.w + x]
                a = p[3]
                rgb = [0, 0, 0] if a <= 0 else [int(round(min(1.0, v / a) * 255)) for v in p[:3]]
                alpha = int(round(a * 255))
                xor.extend((rgb[2], rgb[1], rgb[0], alpha))
                if alpha == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask.extend(bits)
        header = struct.pack("<IiiHHIIiiII", 40, c.w, c.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((c.w, c.h, header + bytes(xor) + bytes(mask)))
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, body in images:
        data += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
    for _, _, body in images:
        data += body
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--icon":
        write_ico(sys.argv[2], [draw_logo(size) for size in (16, 24, 32, 48)])
        return
    out = sys.argv[1] if len(sys.argv) > 1 else "skin"
    img = os.path.join(out, "img")
    law = os.path.join(img, "LawIcon")
    tool = os.path.join(img, "toolbar")

    toolbar_states(law, "摄像头", glyph_camera())
    toolbar_states(law, "麦克风", glyph_mic())
    toolbar_states(law, "录制视频", glyph_record_ring(), RED, glyph_record_dot())
    toolbar_states(tool, "screenshare", glyph_screen())
    toolbar_states(tool, "speaker", glyph_speaker())
    toolbar_states(tool, "setting", glyph_gear())
    toolbar_states(tool, "callin", glyph_add_user())

    for kind, glyph in (("audio", glyph_mic()), ("video", glyph_camera()), ("screenshare", glyph_screen())):
        small_icon(img, "main_user_%s_open.png" % kind, glyph, GREEN)
        small_icon(img, "main_user_%s_closed.png" % kind, glyph, MUTED, slashed=True)

    # Caption buttons: a glyph, and the same on a faint plate when the mouse is over it.
    for name, glyph in (("min", glyph_min()), ("close", glyph_close())):
        for suffix, plate in (("", None), ("_hot", hex_color("#FFFFFF", 46))):
            c = Canvas(28)
            if plate:
                c.fill(box(12, 12, 12, 12, 3), plate if name == "min" else hex_color("#E5484D"))
            c.fill(lambda x, y, g=glyph: g((x - 12) * 1.8 + 12, (y - 12) * 1.8 + 12) / 1.8, WHITE)
            c.save(os.path.join(img, "caption", name + suffix + ".png"))

    draw_logo(26).save(os.path.join(img, "logo.png"))

    info = Canvas(36)
    info.fill(circle(12, 12, 11), BLUE)
    info.fill(circle(12, 7.3, 1.6), WHITE)
    info.fill(segment(12, 11, 12, 17.2, 1.5), WHITE)
    info.save(os.path.join(img, "msgbox_info.png"))

    avatar = Canvas(30)
    avatar.fill(circle(12, 12, 12), hex_color("#DCE8FD"))
    avatar.fill(intersect(union(circle(12, 9.2, 4.2), circle(12, 22.5, 8.3)), circle(12, 12, 12)), hex_color("#7FA9F5"))
    avatar.save(os.path.join(img, "user_avatar.png"))

    placeholder = Canvas(72)
    placeholder.fill(glyph_camera(), hex_color("#5C6673"))
    placeholder.save(os.path.join(img, "video_placeholder.png"))

    send = Canvas(18)
    send.fill(glyph_send(), WHITE)
    send.save(os.path.join(img, "send.png"))

    check_normal = Canvas(16)
    check_normal.fill(box_outline(12, 12, 9, 9, 2.5, 1.8), MUTED)
    check_normal.save(os.path.join(img, "checkbox_normal.png"))
    check_selected = Canvas(16)
    check_selected.fill(box(12, 12, 9.9, 9.9, 2.5), BLUE)
    check_selected.fill(union(segment(7, 12.5, 10.5, 16, 1.3), segment(10.5, 16, 17, 8.5, 1.3)), WHITE)
    check_selected.save(os.path.join(img, "checkbox_selected.png"))

    for name, border in (("user_find_KillFocus.png", "#D5DCE4"), ("user_find_SetFocus.png", "#2D7FF9")):
        c = Canvas(24)
        c.fill(box_outline(12, 12, 11, 11, 3, 1.0), hex_color(border))
        c.fill(ring(9.5, 9.5, 3.2, 1.0), MUTED)
        c.fill(segment(12, 12, 15, 15, 0.6), MUTED)
        c.save(os.path.join(img, name))

    # Information panels of the negotiation stages: a card with a document, one colour
    # and a number of marks per panel so that each is told apart at a glance.
    panels = ["fzb", "zbqd", "clfa", "dcxy", "开局", "性格预判", "信息交换", "报价", "磋商和让步", "收局", "达成一致"]
    hues = ["#2D7FF9", "#22A06B", "#8E5CF7", "#E5484D", "#F59E0B", "#0EA5E9", "#14B8A6", "#D946EF", "#F97316",
            "#64748B", "#16A34A"]
    for index, (name, hue) in enumerate(zip(panels, hues)):
        c = Canvas(160)
        c.fill(box(12, 12, 12, 12, 1.5), hex_color("#F7F9FC"))
        c.fill(box(12, 3.2, 12, 3.2, 0), hex_color(hue))
        c.fill(box_outline(12, 13.5, 6.5, 7.5, 1.0, 0.6), hex_color(hue))
        for line in range(4):
            c.fill(segment(8.2, 10 + line * 2.2, 15.8 - (line % 2) * 2.5, 10 + line * 2.2, 0.35), hex_color("#A9B2BF"))
        for mark in range(index % 4 + 1):
            c.fill(circle(4 + mark * 2.4, 21.5, 0.8), hex_color(hue))
        c.save(os.path.join(img, "InfoImg", name + ".png"))
    # The idle video panel's picture (a PNG in the .jpg file the skin names; GDI+ reads
    # the format from the data).
    idle = Canvas(96)
    idle.fill(circle(12, 12, 11), hex_color("#DCE3EC"))
    idle.fill(lambda x, y: glyph_camera()((x - 12) * 1.6 + 12, (y - 12) * 1.6 + 12) / 1.6, hex_color("#8A96A6"))
    idle.save(os.path.join(img, "InfoImg", "视频背景.jpg"))

    video = os.path.join(img, "video")
    radio = Canvas(16)
    radio.fill(ring(12, 12, 8, 2), BLUE)
    radio.fill(circle(12, 12, 4.2), BLUE)
    radio.save(os.path.join(video, "radio_sel.png"))
    arrow = Canvas(8)
    arrow.fill(polygon([(7, 4), (17, 12), (7, 20)]), INK)
    arrow.save(os.path.join(video, "more_menu_arrow.png"))
    for suffix, dots in (("", WHITE), ("_hot", hex_color("#9CC3FF"))):
        more = Canvas(26)
        for x in (6.5, 12, 17.5):
            more.fill(circle(x, 12, 1.9), dots)
        more.save(os.path.join(video, "more" + suffix + ".png"))
    strip = Canvas(8)
    strip.fill(box(12, 12, 12, 12, 0), hex_color("#202830", 200))
    strip.save(os.path.join(img, "video_info.png"))

    # Window shadow: nine-grid image whose middle lies under the window; the rim fades out.
    size, reach, strength = 20, 7.0, 0.30
    shadow = []
    for y in range(size):
        for x in range(size):
            dx = max(reach - (x + 0.5), (x + 0.5) - (size - reach), 0.0)
            dy = max(reach - (y + 0.5), (y + 0.5) - (size - reach), 0.0)
            d = math.hypot(dx, dy)
            a = strength * max(0.0, 1.0 - d / reach) ** 2
            shadow.append((16, 24, 40, int(round(a * 255))))
    write_png(os.path.join(img, "wnd_bg.png"), size, size, shadow)


if __name__ == "__main__":
    main()
