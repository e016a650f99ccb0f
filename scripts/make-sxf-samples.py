#!/usr/bin/env python3
# -*- coding: utf-8 -*-
"""Writes SXF level 2 drawings of a road job (Python 3 standard library only).

    python3 scripts/make-sxf-samples.py OUTDIR
        Writes the road plan in both modes into OUTDIR: ROADPLAN.P21 (the
        Part 21 exchange structure of the drafting schema) and ROADPLAN.SFC
        (the same drawing as feature comments, Shift-JIS).

    python3 scripts/make-sxf-samples.py --bench OUTDIR [--size 100MB]
        Writes BENCH.SFC and BENCH.P21 of about the given size each (default
        100 MB) for the drawing bench and prints the primitive count of each:
        an A0 sheet of 2,000-primitive drawing groups (lines, polylines,
        circles, arcs, texts on eight layers, one hidden). 100 MB hold about
        1.2 million primitives as feature comments and 0.39 million as
        entities; --size 260MB gives the entity file a million. Memory stays
        small (the primitives are made as they are written).

scripts/make-samples.py calls drawing_p21() for every drawing file of the
sample deliveries; the content follows from the file name, the drawing name,
the scale and the job, so every file looks different and every run writes the
same bytes.

The drawing: an A1 landscape sheet with a frame and a title block (工事名,
図面名, 縮尺, 年月日, 会社名, 発注者, 図番), two partial drawings at their own
scales (a 1:500 plan of the road with stations, ditches, manholes placed as a
nested part, one of them mirrored, a pond, a water course and a dimension; a
1:50 standard cross-section with hatched pavement layers and dimensions),
Japanese texts in every alignment used by drawings, several layers of which
one is hidden, user-defined colours and line types.

Feature mode writes every feature as a comment of its own
    /*SXF
    #n = name_feature(args)
    SXF*/
strings between \\' and \\', numbers between plain quotes, the features of a
composite figure before its sfig_org_feature, the sheet last. Codes: layers,
text fonts and composite curves count from 1 in the order defined; colours
1-16, line types 1-15 and widths 1-9 are the predefined tables, user-defined
colours and line types from 17, user widths from 10.
"""

import math
import os
import sys

# ---------------------------------------------------------------------------
# Predefined tables (codes are positions, counted from 1)
# ---------------------------------------------------------------------------

COLOURS = ["black", "red", "green", "blue", "yellow", "magenta", "cyan", "white",
           "deeppink", "brown", "orange", "lightgreen", "lightblue", "lavender",
           "lightgray", "darkgray"]
COLOUR_RGB = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0),
              (255, 0, 255), (0, 255, 255), (255, 255, 255), (192, 0, 128),
              (192, 128, 64), (255, 128, 0), (128, 192, 128), (0, 128, 255),
              (128, 64, 255), (192, 192, 192), (128, 128, 128)]
LINE_TYPES = ["continuous", "dashed", "dashed spaced", "long dashed dotted",
              "long dashed double-dotted", "long dashed triplicate-dotted", "dotted",
              "chain", "chain double dash", "dashed dotted", "double-dashed dotted",
              "dashed double-dotted", "double-dashed double-dotted",
              "dashed triplicate-dotted", "double-dashed triplicate-dotted"]
WIDTHS = [0.13, 0.18, 0.25, 0.35, 0.5, 0.7, 1.0, 1.4, 2.0]
# Sheet sizes by type code (0 A0 ... 4 A4), landscape.
SHEETS = {0: ("A0", 1189, 841), 1: ("A1", 841, 594), 2: ("A2", 594, 420),
          3: ("A3", 420, 297), 4: ("A4", 297, 210)}
# Text alignment 1..9 (lower left ... upper right) as the drafting schema names it.
ALIGN = [None, "bottom left", "bottom centre", "bottom right", "middle left",
         "middle centre", "middle right", "top left", "top centre", "top right"]
# Point marker codes 1..7 as the drafting schema's marker types.
MARKERS = [None, ".DOT.", ".X.", ".PLUS.", ".ASTERISK.", ".RING.", ".SQUARE.", ".TRIANGLE."]
ISO_COLOURS = COLOURS[:8]   # the colours the drafting schema predefines by name
ISO_FONTS = ("continuous", "chain", "chain double dash", "dashed", "dotted")

# Codes used below (predefined tables).
BLACK, RED, GREEN, BLUE, YELLOW, MAGENTA, CYAN, WHITE = range(1, 9)
CONT, DASHED, DOTTED, CHAIN = 1, 2, 7, 8
W13, W18, W25, W35, W50, W70, W100 = 1, 2, 3, 4, 5, 6, 7


def text_units(s):
    """Width of a text in half-width character cells."""
    return sum(1 if ord(c) < 0x80 or 0xFF61 <= ord(c) <= 0xFF9F else 2 for c in s)


# ---------------------------------------------------------------------------
# The drawing as a list of features (mode-neutral)
# ---------------------------------------------------------------------------

class Drawing:
    def __init__(self, sheet_name, sheet_type=1, orient=1):
        self.sheet_name = sheet_name
        self.sheet_type = sheet_type
        self.orient = orient
        _, w, h = SHEETS[sheet_type]
        self.width, self.height = (w, h) if orient == 1 else (h, w)
        self.layers = []          # (name, visible)
        self.user_colours = []    # (r, g, b), codes 17...
        self.user_fonts = []      # (name, pitches), codes 17...
        self.user_widths = []     # mm, codes 10...
        self.text_fonts = []      # names, codes 1...
        self.attributes = []      # (name, value), title block values
        self.figures = []         # (name, flag, items) in definition order
        self.items = []           # sheet-level items

    def layer(self, name, visible=True):
        self.layers.append((name, visible))
        return len(self.layers)

    def colour(self, r, g, b):
        self.user_colours.append((r, g, b))
        return 16 + len(self.user_colours)

    def font(self, name, pitches):
        self.user_fonts.append((name, list(pitches)))
        return 16 + len(self.user_fonts)

    def width_code(self, mm):
        if mm in WIDTHS:
            return WIDTHS.index(mm) + 1
        if mm not in self.user_widths:
            self.user_widths.append(mm)
        return 9 + self.user_widths.index(mm) + 1

    def text_font(self, name):
        self.text_fonts.append(name)
        return len(self.text_fonts)

    def figure(self, name, flag):
        items = []
        self.figures.append((name, flag, items))
        return items

    def colour_rgb(self, code):
        return COLOUR_RGB[code - 1] if code <= 16 else self.user_colours[code - 17]

    def width_mm(self, code):
        return WIDTHS[code - 1] if code <= 9 else self.user_widths[code - 10]


class Pen:
    """Adds items to a list with one layer, colour, line type and width."""

    def __init__(self, items, layer, colour=BLACK, font=CONT, width=W25):
        self.items, self.style = items, (layer, colour, font, width)

    def using(self, **kw):
        p = Pen(self.items, *self.style)
        layer, colour, font, width = self.style
        p.style = (kw.get("layer", layer), kw.get("colour", colour),
                   kw.get("font", font), kw.get("width", width))
        return p

    def line(self, x1, y1, x2, y2):
        self.items.append(("line", self.style, x1, y1, x2, y2))

    def polyline(self, pts):
        self.items.append(("polyline", self.style, [tuple(p) for p in pts]))

    def rect(self, x1, y1, x2, y2):
        self.polyline([(x1, y1), (x2, y1), (x2, y2), (x1, y2), (x1, y1)])

    def circle(self, cx, cy, r):
        self.items.append(("circle", self.style, cx, cy, r))

    def arc(self, cx, cy, r, a0, a1, clockwise=False):
        """Angles in degrees; counter-clockwise from a0 to a1 unless clockwise."""
        self.items.append(("arc", self.style, cx, cy, r, 1 if clockwise else 0, a0, a1))

    def ellipse(self, cx, cy, rx, ry, rot):
        self.items.append(("ellipse", self.style, cx, cy, rx, ry, rot))

    def ellipse_arc(self, cx, cy, rx, ry, rot, a0, a1, clockwise=False):
        self.items.append(("ellipse_arc", self.style, cx, cy, rx, ry, 1 if clockwise else 0,
                           rot, a0, a1))

    def spline(self, pts, closed=False):
        self.items.append(("spline", self.style, 1 if closed else 0, [tuple(p) for p in pts]))

    def clothoid(self, x, y, a, clockwise, angle, l0, l1):
        self.items.append(("clothoid", self.style, x, y, a, 1 if clockwise else 0, angle, l0, l1))

    def marker(self, x, y, code, angle=0.0, scale=1.0):
        layer, colour, _, _ = self.style
        self.items.append(("point", layer, colour, x, y, code, angle, scale))

    def text(self, s, x, y, h, align=1, angle=0.0, font=1, width=None, spacing=0.0,
             slant=0.0, vertical=False):
        layer, colour, _, _ = self.style
        if width is None:
            n = text_units(s)
            width = n * h / 2.0 + max(0, len(s) - 1) * spacing
        self.items.append(("text", layer, colour, font, s, x, y, h, width, spacing, angle,
                           slant, align, 2 if vertical else 1))

    def place(self, name, x, y, angle=0.0, sx=1.0, sy=1.0):
        self.items.append(("locate", self.style[0], name, x, y, angle, sx, sy))

    def fill(self, outer, holes=(), colour=None):
        layer = self.style[0]
        self.items.append(("fill", layer, colour or self.style[1], [list(outer)],
                           [list(h) for h in holes]))

    def hatch(self, outer, patterns, holes=()):
        """patterns: (colour, type, width, x, y, pitch, angle) each."""
        self.items.append(("hatch", self.style[0], list(patterns), [list(outer)],
                           [list(h) for h in holes]))

    def linear_dim(self, p1, p2, offset, text, h=2.5, font=1):
        """A dimension of p1-p2 drawn `offset` to the left of p1->p2 (sheet or figure units)."""
        (x1, y1), (x2, y2) = p1, p2
        length = math.hypot(x2 - x1, y2 - y1)
        ux, uy = (x2 - x1) / length, (y2 - y1) / length
        nx, ny = -uy, ux
        d1 = (x1 + nx * offset, y1 + ny * offset)
        d2 = (x2 + nx * offset, y2 + ny * offset)
        ext = math.copysign(h * 0.4, offset)
        proj = []
        for (px, py), (dx, dy) in (((x1, y1), d1), ((x2, y2), d2)):
            gap = math.copysign(min(abs(offset) * 0.2, h * 0.4), offset)
            proj.append(((px, py), (px + nx * gap, py + ny * gap),
                         (dx + nx * ext, dy + ny * ext)))
        angle = math.degrees(math.atan2(uy, ux))
        mid = ((d1[0] + d2[0]) / 2 + nx * h * 0.3, (d1[1] + d2[1]) / 2 + ny * h * 0.3)
        self.items.append(("linear_dim", self.style, d1, d2, proj,
                           (font, text, mid[0], mid[1], h, text_units(text) * h / 2, 0.0,
                            angle, 0.0, 2, 1), h * 0.8))

    def radius_dim(self, cx, cy, r, angle, text, h=2.5, font=1):
        a = math.radians(angle)
        end = (cx + r * math.cos(a), cy + r * math.sin(a))
        mid = ((cx + end[0]) / 2 - math.sin(a) * h * 0.3, (cy + end[1]) / 2 + math.cos(a) * h * 0.3)
        self.items.append(("radius_dim", self.style, (cx, cy), end,
                           (font, text, mid[0], mid[1], h, text_units(text) * h / 2, 0.0,
                            angle, 0.0, 2, 1), h * 0.8))


# ---------------------------------------------------------------------------
# Content: the road plan
# ---------------------------------------------------------------------------

def seed_of(name):
    return sum((i + 1) * b for i, b in enumerate(name.encode("ascii", "replace")))


def road_drawing(file_name, draw_name, scale, koji, company, office, day="2023-05-10"):
    """The road plan drawing for one file of a delivery."""
    seed = seed_of(file_name[:8])   # the same drawing in either mode
    d = Drawing("A1", 1, 1)
    L_FRAME = d.layer("C-TTL-FRAM")
    L_TTL = d.layer("C-TTL")
    L_BGD = d.layer("C-BGD")
    L_STR = d.layer("C-STR")
    L_CL = d.layer("C-STR-CNTR")
    L_DIM = d.layer("C-DIM")
    L_TXT = d.layer("C-TXT")
    L_HTCH = d.layer("C-HTCH")
    L_WORK = d.layer("C-WORK", visible=False)   # construction lines, hidden
    c_paving = d.colour(96, 96, 96)
    c_base = d.colour(176, 128, 64)
    c_water = d.colour(64, 160, 224)
    c_green = d.colour(0, 128, 64)
    f_boundary = d.font("用地境界線", [9.0, 1.5, 1.5, 1.5, 1.5, 1.5])
    f_ditch = d.font("側溝線", [4.0, 1.0])
    w_frame = d.width_code(0.8)
    gothic = d.text_font("ＭＳ ゴシック")
    mincho = d.text_font("ＭＳ 明朝")
    d.attributes = [("事業名", "県道見本線改良事業"), ("工事名", koji), ("契約区分", "工事"),
                    ("図面名", draw_name), ("図面番号", file_name[:8]),
                    ("図面種別", "発注図" if file_name[:1] == "D" else "完成図"),
                    ("尺度", scale), ("年", day[:4]), ("月", day[5:7]), ("日", day[8:10]),
                    ("受注会社名", company), ("発注事業者名", office)]

    # --- a manhole with its cover: a part used inside the plan (mm of the ground)
    mh = d.figure("人孔", 4)
    p = Pen(mh, L_STR, BLACK, CONT, W25)
    p.circle(0, 0, 600)
    p.circle(0, 0, 450)
    p.using(layer=L_HTCH, colour=c_base).fill([(-150, -450), (150, -450), (150, -900),
                                               (-150, -900)])
    p.line(-600, 0, 600, 0)
    p.polyline([(0, 600), (0, 1400), (500, 1400)])   # the inlet pipe, asymmetric: shows mirroring

    # --- the 1:500 plan (figure units: mm on the ground)
    plan = d.figure("平面図", 1)
    p = Pen(plan, L_STR, BLACK, CONT, W35)
    length = 280000.0 + (seed % 4) * 10000.0
    turn = 1 if seed % 2 else -1                   # the curve turns left or right
    radius = 180000.0 + (seed % 3) * 40000.0
    straight = length * 0.45
    half = 5500.0

    def centre(s, off=0.0):
        """Point at chainage s, offset to the left by off."""
        if s <= straight:
            return (s, off)
        a = (s - straight) / radius
        cx, cy = straight, turn * radius
        r = radius - turn * off
        return (cx + r * math.sin(a), cy - turn * r * math.cos(a))

    steps = [length * i / 60 for i in range(61)]
    for off, pen in ((half, p), (-half, p)):
        pen.polyline([centre(s, off) for s in steps])
    p.using(layer=L_CL, colour=RED, font=CHAIN, width=W18).polyline([centre(s) for s in steps])
    ditch = p.using(colour=c_water, font=f_ditch, width=W25)
    for off in (half + 600, -half - 600):
        ditch.polyline([centre(s, off) for s in steps])
    bound = p.using(colour=MAGENTA, font=f_boundary, width=W35)
    for off in (half + 4500, -half - 4500):
        bound.polyline([centre(s, off) for s in steps])
    # the curve's own geometry, drawn as arcs on the centre line's circle
    a_end = math.degrees((length - straight) / radius)
    if turn > 0:
        p.using(layer=L_CL, colour=RED, font=CHAIN, width=W13).arc(
            straight, radius, radius + 10500, 270, 270 + a_end)
    else:
        p.using(layer=L_CL, colour=RED, font=CHAIN, width=W13).arc(
            straight, -radius, radius + 10500, 90, 90 - a_end, clockwise=True)
    # stations every 20 m with their names
    first = 10 + seed % 5
    txt = Pen(plan, L_TXT, BLACK, CONT, W18)
    for i in range(int(length // 20000) + 1):
        s = i * 20000.0
        a, b = centre(s, 2000), centre(s, -2000)
        p.using(layer=L_CL, colour=RED, width=W18).line(a[0], a[1], b[0], b[1])
        q = centre(s, -half - 1500)
        ang = math.degrees(math.atan2(b[1] - a[1], b[0] - a[0])) + 90
        txt.text("No.%d" % (first + i), q[0], q[1], 1250, align=8, angle=ang, font=gothic)
    # manholes along the left ditch: the part at scale 1, every fourth one mirrored
    for k in range(3 + seed % 3):
        s = 30000.0 + k * 60000.0
        x, y = centre(s, half + 1800)
        ang = math.degrees(math.atan2(*reversed([centre(s + 1, 0)[i] - centre(s, 0)[i]
                                                for i in range(2)])))
        p.place("人孔", x, y, ang, -1.0 if k % 4 == 3 else 1.0, 1.0)
    # benchmarks, a pond (ellipse), a water course (spline), construction lines
    for k, code in enumerate((3, 5, 7)):
        x, y = centre(50000.0 + k * 70000.0, -half - 9000)
        p.using(layer=L_BGD, colour=BLUE).marker(x, y, code, 0.0, 1.0)
        txt.text("BM.%d" % (k + 1), x + 1500, y + 1500, 1000, align=1, font=gothic)
    pond_x, pond_y = centre(length * 0.25, turn * -(half + 22000))
    p.using(layer=L_BGD, colour=c_water, width=W25).ellipse(pond_x, pond_y, 9000, 5000, 15)
    p.using(layer=L_HTCH, colour=c_water).hatch(
        [(pond_x + 9000 * math.cos(math.radians(a)) * math.cos(math.radians(15))
          - 5000 * math.sin(math.radians(a)) * math.sin(math.radians(15)),
          pond_y + 9000 * math.cos(math.radians(a)) * math.sin(math.radians(15))
          + 5000 * math.sin(math.radians(a)) * math.cos(math.radians(15)))
         for a in range(0, 361, 15)],
        [(c_water, CONT, W13, pond_x, pond_y, 1500.0, 0.0)])
    txt.text("調整池", pond_x, pond_y, 1500, align=5, font=mincho)
    river = [(x * 1.0, turn * (-30000.0 - 4000.0 * math.sin(x / 40000.0)))
             for x in range(0, int(length) + 1, int(length) // 7)]
    p.using(layer=L_BGD, colour=c_water, font=DASHED, width=W25).spline(river)
    txt.text("見本川", river[2][0], river[2][1] - turn * 2500, 1500, align=5, font=mincho)
    work = Pen(plan, L_WORK, CYAN, DOTTED, W13)
    work.line(0, -40000, length, -40000)
    work.text("作業用（非表示レイヤ）", length / 2, -40000, 1500, align=2, font=gothic)
    p.using(layer=L_TXT).text("県道見本線", centre(length * 0.15, 0)[0], 2500, 2500, align=2,
                              font=mincho, spacing=500)
    p.using(layer=L_DIM, colour=GREEN, width=W13).linear_dim(
        centre(10000, -half), centre(10000, half), 6000, "11000", h=1250, font=gothic)
    # a side road joining on the inner side of the curve, with curb returns
    xs = straight * (0.45 + (seed % 3) * 0.1)
    corner = 8000.0 + (seed % 3) * 2000.0
    sg = turn
    p.line(xs - 3000, sg * (half + corner), xs - 3000, sg * (half + 25000))
    p.line(xs + 3000, sg * (half + corner), xs + 3000, sg * (half + 25000))
    p.arc(xs - 3000 - corner, sg * (half + corner), corner, *((270, 360) if sg > 0 else (0, 90)))
    p.arc(xs + 3000 + corner, sg * (half + corner), corner, *((180, 270) if sg > 0 else (90, 180)))
    p.using(layer=L_CL, colour=RED, font=CHAIN, width=W18).line(xs, sg * half, xs,
                                                                 sg * (half + 25000))
    p.using(layer=L_DIM, colour=GREEN, width=W13).radius_dim(
        xs - 3000 - corner, sg * (half + corner), corner, 315 if sg > 0 else 45,
        "R=%d" % (corner / 1000), h=1250, font=gothic)
    txt.text("市道見本2号線", xs + 4500, half + 24000 if sg > 0 else -half - 8000, 1500,
             align=7, font=mincho, vertical=True)

    # --- the 1:50 standard cross-section (figure units: mm on the ground)
    sec = d.figure("標準横断図", 1)
    p = Pen(sec, L_STR, BLACK, CONT, W35)
    layers = [("表層", 50, c_paving), ("基層", 50, c_paving), ("上層路盤", 150, c_base),
              ("下層路盤", 250 + (seed % 2) * 50, c_base)]
    top = 0.0
    crown = 0.02
    hatch_pen = p.using(layer=L_HTCH)
    for k, (name, t, col) in enumerate(layers):
        lower = top - t
        outer = [(-half, top - half * crown), (0, top), (half, top - half * crown),
                 (half, lower - half * crown), (0, lower), (-half, lower - half * crown)]
        p.polyline(outer + [outer[0]])
        if k < 2:
            hatch_pen.fill(outer, colour=col)
        else:
            hatch_pen.hatch(outer, [(col, CONT, W13, -half, lower, 400.0, 45.0)]
                            + ([(col, CONT, W13, -half, lower, 400.0, 135.0)] if k == 3 else []))
        label = p.using(layer=L_TXT, width=W18)
        label.line(half * 0.6, top - t / 2 - half * 0.6 * crown, half + 1500, top - t / 2 - 300 * k)
        label.text("%s t=%d" % (name, t), half + 1600, top - t / 2 - 300 * k, 200, align=4,
                   font=gothic)
        top = lower
    for side in (-1, 1):           # U-shaped ditches 300
        x0 = side * (half + 100)
        x1 = side * (half + 700)
        p.polyline([(x0, -half * crown), (x0, -650), (x1, -650), (x1, -half * crown)])
        p.polyline([(x0 + side * 80, -half * crown), (x0 + side * 80, -570),
                    (x1 - side * 80, -570), (x1 - side * 80, -half * crown)])
        p.using(layer=L_BGD, colour=c_green, font=DASHED, width=W18).polyline(
            [(x1, -half * crown), (side * (half + 2500), 300), (side * (half + 4500), 700)])
    p.using(layer=L_CL, colour=RED, font=CHAIN, width=W18).line(0, -900, 0, 600)
    txt = Pen(sec, L_TXT, BLACK, CONT, W18)
    txt.text("CL", 0, 650, 250, align=2, font=gothic)
    txt.text("2.0%", -half / 2, 150, 200, align=2, font=gothic, angle=math.degrees(crown))
    txt.text("2.0%", half / 2, 150, 200, align=2, font=gothic, angle=-math.degrees(crown))
    # the carriageway, lane and shoulder widths
    dim = p.using(layer=L_DIM, colour=GREEN, width=W13)
    dim.linear_dim((-half, -half * crown), (half, -half * crown), 1500, "11000", h=250,
                   font=gothic)
    dim.linear_dim((-half, -half * crown), (0, 0), 900, "5500", h=250, font=gothic)
    dim.linear_dim((0, 0), (half, -half * crown), 900, "5500", h=250, font=gothic)
    dim.linear_dim((half, -half * crown), (half + 700, -half * crown), 900, "700", h=200,
                   font=gothic)
    txt.text("再生密粒度As(13)", -half + 300, -1300, 200, align=7, font=mincho, slant=15)
    txt.text("路盤 RC-40", -half + 300, -1650, 200, align=7, font=mincho)
    txt.text("縦書き", half + 3800, -400, 250, align=7, font=mincho, vertical=True)
    txt.using(colour=c_green).clothoid(-half - 5000, 400, 3000.0, False, 10.0, 0.0, 2000.0)

    # --- the sheet: frame, partial drawings, title block
    s = Pen(d.items, L_FRAME, BLACK, CONT, w_frame)
    s.rect(20, 20, 821, 574)
    s.using(width=W35).rect(25, 25, 816, 569)
    plan_scale = 1 / 500.0
    plan_x = 60.0
    plan_y = 360.0 if turn > 0 else 470.0
    s.place("平面図", plan_x, plan_y, 0.0, plan_scale, plan_scale)
    s.place("標準横断図", 300.0, 160.0, 0.0, 1 / 50.0, 1 / 50.0)
    heading = Pen(d.items, L_TXT, BLACK, CONT, W35)
    heading.text(draw_name, d.width / 2, 564, 10, align=8, font=mincho, spacing=3.0)
    heading.text("平面図  S=1:500", 60, 545, 7, align=1, font=gothic, spacing=1.0)
    heading.text("標準横断図  S=1:50", 200, 225, 7, align=1, font=gothic, spacing=1.0)
    heading.text("No.%d ～ No.%d" % (first, first + int(length // 20000)), 805, 545, 5,
                 align=3, font=gothic)
    # title block, lower right
    tb = Pen(d.items, L_TTL, BLACK, CONT, W35)
    x0, x1, y0 = 611.0, 816.0, 25.0
    rows = [("工事名", koji), ("図面名", draw_name), ("縮尺", scale),
            ("年月日", "%s年%d月%d日" % (day[:4], int(day[5:7]), int(day[8:10]))),
            ("会社名", company), ("発注者", office), ("図番", file_name[:8])]
    row_h = 9.0
    tb.rect(x0, y0, x1, y0 + row_h * len(rows))
    tb.using(width=W18).line(x0 + 30, y0, x0 + 30, y0 + row_h * len(rows))
    for k, (name, value) in enumerate(reversed(rows)):
        y = y0 + row_h * k
        if k:
            tb.using(width=W18).line(x0, y, x1, y)
        tb.text(name, x0 + 15, y + row_h / 2, 3.5, align=5, font=gothic)
        h = 4.0 if text_units(value) <= 40 else 3.2
        tb.text(value, x0 + 33, y + row_h / 2, h, align=4, font=mincho)
    tb.using(colour=c_green, width=W13).hatch(
        [(x0, y0 + row_h * len(rows)), (x0 + 30, y0 + row_h * len(rows)),
         (x0 + 30, y0 + row_h * (len(rows) + 1)), (x0, y0 + row_h * (len(rows) + 1))],
        [(c_green, CONT, W13, x0, y0, 2.0, 45.0)])
    tb.using(layer=L_TXT, colour=c_green).text("SXF", x0 + 15, y0 + row_h * (len(rows) + 0.5),
                                               4, align=5, font=gothic)
    tb.using(layer=L_TXT).text("方位", 780, 500, 3.5, align=8, font=gothic)
    north = Pen(d.items, L_TXT, BLACK, CONT, W25)
    north.circle(780, 520, 10)
    north.fill([(780, 532), (776, 512), (784, 512)], colour=BLACK)
    north.ellipse_arc(780, 520, 14, 6, 0, 200, 340)
    return d


# ---------------------------------------------------------------------------
# Number formats
# ---------------------------------------------------------------------------

def fnum(v):
    """A number for feature mode: at most 6 decimals, no trailing zeros."""
    s = "%.6f" % v
    s = s.rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def real(v):
    """A REAL of the exchange structure (always with a decimal point)."""
    s = "%.6f" % v
    s = s.rstrip("0")
    if s in ("-0.", ""):
        s = "0."
    return s


def p21_string(text):
    """Text in an exchange structure string: ASCII as is ('' for a quote),
    the rest as \\X2\\ UTF-16 hex \\X0\\."""
    out, wide = [], []
    for c in text:
        if 0x20 <= ord(c) < 0x7F:
            if wide:
                out.append("\\X2\\" + "".join(wide) + "\\X0\\")
                wide = []
            out.append({"'": "''", "\\": "\\\\"}.get(c, c))
        else:
            u = c.encode("utf-16-be").hex().upper()
            wide.extend(u[i:i + 4] for i in range(0, len(u), 4))
    if wide:
        out.append("\\X2\\" + "".join(wide) + "\\X0\\")
    return "".join(out)


def sfc_string(text):
    """A string parameter of a feature: between \\' and \\'."""
    return "\\'" + text.replace("\\", "\\\\").replace("'", "\\'") + "\\'"


def header(file_name, mode, author, org, stamp):
    return [
        "ISO-10303-21;",
        "HEADER;",
        "FILE_DESCRIPTION(('SCADEC level2 %s'),'2;1');" % mode,
        "FILE_NAME('%s','%s',('%s'),('%s'),'SCADEC_API_Ver3.30$$3.0','%s','');"
        % (p21_string(file_name), stamp, p21_string(author), p21_string(org),
           p21_string("CADエディタ Ver.5")),
        "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));",
        "ENDSEC;",
        "DATA;",
    ]


# ---------------------------------------------------------------------------
# Feature mode
# ---------------------------------------------------------------------------

class SfcWriter:
    """Numbers the features: the composite curves 1, 2, ... in their order (so
    a hatch names the same curve by its instance number and by its place among
    the curves), every other feature after them."""

    def __init__(self, out, curve_count):
        self.out = out      # a callable taking one line (str)
        self.n = curve_count
        self.curves = 0

    def feature(self, name, args, tag="SXF"):
        if name == "composite_curve_org_feature":
            self.curves += 1
            n = self.curves
        else:
            self.n += 1
            n = self.n
        self.out("/*%s" % tag)
        self.out("#%d = %s(%s)" % (n, name, ",".join(args)))
        self.out("%s*/" % tag)
        return n


def q(v):
    return "'%s'" % (v if isinstance(v, str) else fnum(v))


def qi(v):
    return "'%d'" % v


def qlist(vals):
    return "'(%s)'" % ",".join(fnum(v) for v in vals)


def text_args(t):
    font, s, x, y, h, w, spc, angle, slant, align, direct = t
    return [qi(font), sfc_string(s), q(x), q(y), q(h), q(w), q(spc), q(angle), q(slant),
            qi(align), qi(direct)]


def write_sfc_boundaries(w, items):
    """The composite curves that bound the fills and hatches of one level (a
    figure or the sheet), each one polyline followed by its composite curve
    feature. They go before every other feature of the level, so that the
    features a composite curve takes are its own polyline whether a reader
    takes the features since the previous org feature or only the one before."""
    numbers = {}
    for k, it in enumerate(items):
        if it[0] not in ("fill", "hatch"):
            continue
        numbers[k] = []
        for ring in it[3] + it[4]:
            closed = ring + [ring[0]] if ring[0] != ring[-1] else ring
            style = [qi(BLACK), qi(CONT), qi(W13)]
            w.feature("polyline_feature", [qi(it[1])] + style + [
                qi(len(closed)), qlist(p[0] for p in closed), qlist(p[1] for p in closed)])
            numbers[k].append(w.feature("composite_curve_org_feature",
                                        style + ["'0'"]))   # an invisible outline
    return numbers


def write_sfc_items(w, d, items):
    numbers = write_sfc_boundaries(w, items)
    for k, it in enumerate(items):
        kind = it[0]
        if kind in ("line", "polyline", "circle", "arc", "ellipse", "ellipse_arc", "spline",
                    "clothoid"):
            style = [qi(c) for c in it[1]]
        if kind == "line":
            w.feature("line_feature", style + [q(v) for v in it[2:6]])
        elif kind == "polyline":
            pts = it[2]
            w.feature("polyline_feature", style + [qi(len(pts)), qlist(p[0] for p in pts),
                                                   qlist(p[1] for p in pts)])
        elif kind == "circle":
            w.feature("circle_feature", style + [q(v) for v in it[2:5]])
        elif kind == "arc":
            cx, cy, r, direction, a0, a1 = it[2:]
            w.feature("arc_feature", style + [q(cx), q(cy), q(r), qi(direction), q(a0 % 360),
                                              q(a1 % 360)])
        elif kind == "ellipse":
            w.feature("ellipse_feature", style + [q(v) for v in it[2:7]])
        elif kind == "ellipse_arc":
            cx, cy, rx, ry, direction, rot, a0, a1 = it[2:]
            w.feature("ellipse_arc_feature", style + [q(cx), q(cy), q(rx), q(ry), qi(direction),
                                                      q(rot), q(a0), q(a1)])
        elif kind == "spline":
            closed, pts = it[2], it[3]
            w.feature("spline_feature", style + [qi(closed), qi(len(pts)),
                                                 qlist(p[0] for p in pts),
                                                 qlist(p[1] for p in pts)])
        elif kind == "clothoid":
            x, y, a, direction, angle, l0, l1 = it[2:]
            w.feature("clothoid_feature", style + [q(x), q(y), q(a), qi(direction), q(angle),
                                                   q(l0), q(l1)], tag="SXF3.1")
        elif kind == "point":
            layer, colour, x, y, code, angle, scale = it[1:]
            w.feature("point_marker_feature", [qi(layer), qi(colour), q(x), q(y), qi(code),
                                               q(angle), q(scale)])
        elif kind == "text":
            layer, colour = it[1], it[2]
            w.feature("text_string_feature", [qi(layer), qi(colour)] + text_args(it[3:]))
        elif kind == "locate":
            layer, name, x, y, angle, sx, sy = it[1:]
            w.feature("sfig_locate_feature", [qi(layer), sfc_string(name), q(x), q(y),
                                              q(angle % 360), q(sx), q(sy)])
        elif kind in ("fill", "hatch"):
            boundaries = numbers[k]
            holes = "'(%s)'" % ",".join(str(b) for b in boundaries[1:])
            tail = [qi(boundaries[0]), qi(len(boundaries) - 1), holes]
            if kind == "fill":
                w.feature("fill_area_style_colour_feature", [qi(it[1]), qi(it[2])] + tail)
            else:
                pats = ["'(%d,%d,%d,%s,%s,%s,%s)'" % (c, t, wd, fnum(x), fnum(y), fnum(pitch),
                                                     fnum(angle))
                        for c, t, wd, x, y, pitch, angle in it[2]]
                w.feature("fill_area_style_hatching_feature",
                          [qi(it[1]), qi(len(pats))] + pats + tail)
        elif kind == "linear_dim":
            style, d1, d2, proj, text, arrow = it[1:]
            args = [qi(c) for c in style] + [q(d1[0]), q(d1[1]), q(d2[0]), q(d2[1])]
            for base, start, end in proj:
                args += ["'1'", q(base[0]), q(base[1]), q(start[0]), q(start[1]), q(end[0]),
                         q(end[1])]
            for (x, y) in (d1, d2):
                args += ["'1'", "'1'", q(x), q(y), q(arrow / 2.5)]
            args += ["'1'"] + text_args(text)
            w.feature("linear_dim_feature", args)
        elif kind == "radius_dim":
            style, c, end, text, arrow = it[1:]
            args = [qi(v) for v in style] + [q(c[0]), q(c[1]), q(end[0]), q(end[1])]
            args += ["'1'", "'1'", q(end[0]), q(end[1]), q(arrow / 2.5)]
            args += ["'1'"] + text_args(text)
            w.feature("radius_dim_feature", args)
        else:
            raise ValueError(kind)


def write_sfc(d, out, file_name, author, org, stamp):
    """Writes drawing `d` in feature mode through `out` (one str line at a time)."""
    for line in header(file_name, "feature_mode", author, org, stamp):
        out(line)
    w = SfcWriter(out, sum(len(it[3]) + len(it[4]) for it in iter_all(d)
                           if it[0] in ("fill", "hatch")))
    if d.attributes:
        # the date as numbers, every other value a string
        w.feature("drawing_attribute_feature",
                  [qi(int(v)) if k in ("年", "月", "日") else sfc_string(v)
                   for k, v in d.attributes], tag="SXF3")
    for name, visible in d.layers:
        w.feature("layer_feature", [sfc_string(name), "'1'" if visible else "'0'"])
    used = set()
    for it in iter_all(d):
        if it[0] in ("point", "text"):
            used.add(it[2])
        elif it[0] == "hatch":
            used.update(p[0] for p in it[2])
        elif it[0] == "fill":
            used.add(it[2])
        elif isinstance(it[1], tuple):
            used.add(it[1][1])
    for code in sorted(c for c in used | {BLACK} if c <= 16):
        w.feature("pre_defined_colour_feature", [sfc_string(COLOURS[code - 1])])
    for r, g, b in d.user_colours:
        w.feature("user_defined_colour_feature", [qi(r), qi(g), qi(b)])
    for name in ("continuous", "dashed", "dotted", "chain"):
        w.feature("pre_defined_font_feature", [sfc_string(name)])
    for name, pitches in d.user_fonts:
        w.feature("user_defined_font_feature", [sfc_string(name), qi(len(pitches)),
                                                qlist(pitches)])
    for width in WIDTHS + d.user_widths:
        w.feature("width_feature", [q(width)])
    for name in d.text_fonts:
        w.feature("text_font_feature", [sfc_string(name)])
    for name, flag, items in d.figures:
        write_sfc_items(w, d, items)
        w.feature("sfig_org_feature", [sfc_string(name), qi(flag)])
    write_sfc_items(w, d, d.items)
    w.feature("drawing_sheet_feature", [sfc_string(d.sheet_name), qi(d.sheet_type),
                                        qi(d.orient), q(d.width), q(d.height)])
    out("ENDSEC;")
    out("END-ISO-10303-21;")


def iter_all(d):
    for _, _, items in d.figures:
        yield from items
    yield from d.items


# ---------------------------------------------------------------------------
# The drafting schema (AP202) mode
# ---------------------------------------------------------------------------

class P21Writer:
    def __init__(self, d, out):
        self.d, self.out = d, out
        self.n = 0
        self.cache = {}
        self.layer_items = {}     # layer code -> [refs]
        self.maps = {}            # figure name -> its representation map

    def e(self, text):
        self.n += 1
        self.out("#%d=%s;" % (self.n, text))
        return "#%d" % self.n

    def once(self, key, make):
        if key not in self.cache:
            self.cache[key] = make()
        return self.cache[key]

    def point(self, x, y):
        return self.e("CARTESIAN_POINT('',(%s,%s))" % (real(x), real(y)))

    def direction(self, angle):
        a = math.radians(angle)
        return self.e("DIRECTION('',(%s,%s))" % (real(math.cos(a)), real(math.sin(a))))

    def placement(self, x, y, angle=0.0):
        p = self.point(x, y)
        if angle % 360 == 0:
            return self.e("AXIS2_PLACEMENT_2D('',%s,$)" % p)
        return self.e("AXIS2_PLACEMENT_2D('',%s,%s)" % (p, self.direction(angle)))

    def colour(self, code):
        def make():
            if code <= 16 and COLOURS[code - 1] in ISO_COLOURS:
                return self.e("DRAUGHTING_PRE_DEFINED_COLOUR('%s')" % COLOURS[code - 1])
            r, g, b = self.d.colour_rgb(code)
            name = COLOURS[code - 1] if code <= 16 else ""
            return self.e("COLOUR_RGB('%s',%s,%s,%s)" % (name, real(r / 255.0), real(g / 255.0),
                                                         real(b / 255.0)))
        return self.once(("colour", code), make)

    def font(self, code):
        def make():
            if code <= 15 and LINE_TYPES[code - 1] in ISO_FONTS:
                return self.e("DRAUGHTING_PRE_DEFINED_CURVE_FONT('%s')" % LINE_TYPES[code - 1])
            name, pitches = self.d.user_fonts[code - 17]
            pats = [self.e("CURVE_STYLE_FONT_PATTERN(%s,%s)" % (real(pitches[i]),
                                                                real(pitches[i + 1])))
                    for i in range(0, len(pitches), 2)]
            return self.e("CURVE_STYLE_FONT('%s',(%s))" % (p21_string(name), ",".join(pats)))
        return self.once(("font", code), make)

    def curve_style(self, colour, font, width):
        def make():
            return self.e("CURVE_STYLE('',%s,POSITIVE_LENGTH_MEASURE(%s),%s)" % (
                self.font(font), real(self.d.width_mm(width)), self.colour(colour)))
        return self.once(("cs", colour, font, width), make)

    def curve_psa(self, style):
        _, colour, font, width = style
        return self.once(("psa", colour, font, width), lambda: self.e(
            "PRESENTATION_STYLE_ASSIGNMENT((%s))" % self.curve_style(colour, font, width)))

    def text_font(self, code):
        def make():
            src = self.once("font source", lambda: self.e(
                "EXTERNAL_SOURCE(IDENTIFIER('JIS X 0208'))"))
            return self.e("EXTERNALLY_DEFINED_TEXT_FONT(IDENTIFIER('%s'),%s)" % (
                p21_string(self.d.text_fonts[code - 1]), src))
        return self.once(("tfont", code), make)

    def layered(self, layer, ref):
        self.layer_items.setdefault(layer, []).append(ref)
        return ref

    def curve_occurrence(self, style, curve, kind="ANNOTATION_CURVE_OCCURRENCE"):
        return self.e("%s('',(%s),%s)" % (kind, self.curve_psa(style), curve))

    def polyline(self, pts):
        refs = [self.point(x, y) for x, y in pts]
        return self.e("POLYLINE('',(%s))" % ",".join(refs))

    def text(self, layer, colour, t):
        font, s, x, y, h, w, _, angle, slant, align, direct = t   # no place for the spacing
        ts = self.e("TEXT_STYLE_WITH_BOX_CHARACTERISTICS('',%s,(BOX_HEIGHT(%s),BOX_WIDTH(%s),"
                    "BOX_SLANT_ANGLE(%s),BOX_ROTATE_ANGLE(%s)))" % (
                        self.once(("tsfont", colour), lambda: self.e(
                            "TEXT_STYLE_FOR_DEFINED_FONT(%s)" % self.colour(colour))),
                        real(h), real(w), real(slant), real(angle)))
        psa = self.e("PRESENTATION_STYLE_ASSIGNMENT((%s))" % ts)
        extent = self.e("PLANAR_EXTENT('',%s,%s)" % (real(w), real(h)))
        lit = self.e("TEXT_LITERAL_WITH_EXTENT('','%s',%s,'%s',%s,%s,%s)" % (
            p21_string(s), self.placement(x, y, angle), ALIGN[align],
            ".RIGHT." if direct == 1 else ".DOWN.", self.text_font(font), extent))
        return self.e("ANNOTATION_TEXT_OCCURRENCE('',(%s),%s)" % (psa, lit))

    def arrow(self, style, tip, back, size):
        """An open arrow head at `tip` pointing away from `back`."""
        a = math.atan2(tip[1] - back[1], tip[0] - back[0])
        pts = [(tip[0] - size * math.cos(a + s), tip[1] - size * math.sin(a + s))
               for s in (0.35, -0.35)]
        return self.curve_occurrence(style, self.polyline([pts[0], tip, pts[1]]))

    def boundary(self, ring):
        closed = ring + [ring[0]] if ring[0] != ring[-1] else ring
        return self.polyline(closed)

    def items(self, items):
        refs = []
        for it in items:
            ref = self.item(it)
            layer = it[1][0] if isinstance(it[1], tuple) else it[1]
            refs.append(self.layered(layer, ref))
        return refs

    def item(self, it):
        kind = it[0]
        if kind == "line":
            x1, y1, x2, y2 = it[2:]
            return self.curve_occurrence(it[1], self.polyline([(x1, y1), (x2, y2)]))
        if kind == "polyline":
            return self.curve_occurrence(it[1], self.polyline(it[2]))
        if kind == "circle":
            cx, cy, r = it[2:]
            return self.curve_occurrence(it[1], self.e("CIRCLE('',%s,%s)" % (
                self.placement(cx, cy), real(r))))
        if kind in ("arc", "ellipse_arc"):
            if kind == "arc":
                cx, cy, r, direction, a0, a1 = it[2:]
                rx = ry = r
                rot = 0.0
                basis = self.e("CIRCLE('',%s,%s)" % (self.placement(cx, cy), real(r)))
            else:
                cx, cy, rx, ry, direction, rot, a0, a1 = it[2:]
                basis = self.e("ELLIPSE('',%s,%s,%s)" % (self.placement(cx, cy, rot), real(rx),
                                                        real(ry)))

            def at(a):
                t, c = math.radians(a), math.radians(rot)
                ex, ey = rx * math.cos(t), ry * math.sin(t)
                return self.point(cx + ex * math.cos(c) - ey * math.sin(c),
                                  cy + ex * math.sin(c) + ey * math.cos(c))
            trimmed = self.e("TRIMMED_CURVE('',%s,(%s,PARAMETER_VALUE(%s)),(%s,PARAMETER_VALUE(%s)),"
                             "%s,.CARTESIAN.)" % (basis, at(a0), real(a0 % 360), at(a1),
                                                  real(a1 % 360), ".F." if direction else ".T."))
            return self.curve_occurrence(it[1], trimmed)
        if kind == "ellipse":
            cx, cy, rx, ry, rot = it[2:]
            return self.curve_occurrence(it[1], self.e("ELLIPSE('',%s,%s,%s)" % (
                self.placement(cx, cy, rot), real(rx), real(ry))))
        if kind == "spline":
            closed, pts = it[2], it[3]
            refs = [self.point(x, y) for x, y in pts]
            n = len(refs)
            mult = [4] + [1] * (n - 4) + [4]
            knots = list(range(n - 2))
            return self.curve_occurrence(it[1], self.e(
                "B_SPLINE_CURVE_WITH_KNOTS('',3,(%s),.UNSPECIFIED.,%s,.F.,(%s),(%s),"
                ".UNSPECIFIED.)" % (",".join(refs), ".T." if closed else ".F.",
                                    ",".join(str(m) for m in mult),
                                    ",".join(real(k) for k in knots))))
        if kind == "clothoid":
            # The drafting schema has no clothoid: the curve goes as a polyline.
            x, y, a, direction, angle, l0, l1 = it[2:]
            return self.curve_occurrence(it[1], self.polyline(
                clothoid_points(x, y, a, direction, angle, l0, l1)))
        if kind == "point":
            _, colour, x, y, code, _, scale = it[1:]
            ps = self.e("POINT_STYLE('',MARKER_TYPE(%s),POSITIVE_LENGTH_MEASURE(%s),%s)" % (
                MARKERS[code], real(2.0 * scale), self.colour(colour)))
            psa = self.e("PRESENTATION_STYLE_ASSIGNMENT((%s))" % ps)
            return self.e("STYLED_ITEM('',(%s),%s)" % (psa, self.point(x, y)))
        if kind == "text":
            return self.text(it[1], it[2], it[3:])
        if kind == "locate":
            layer, name, x, y, angle, sx, sy = it[1:]
            target = self.e("SYMBOL_TARGET('',%s,%s,%s)" % (self.placement(x, y, angle),
                                                           real(sx), real(sy)))
            return self.e("MAPPED_ITEM('',%s,%s)" % (self.maps[name], target))
        if kind in ("fill", "hatch"):
            bounds = [self.boundary(r) for r in it[3] + it[4]]
            area = self.e("ANNOTATION_FILL_AREA('',(%s))" % ",".join(bounds))
            if kind == "fill":
                styles = [self.e("FILL_AREA_STYLE_COLOUR('',%s)" % self.colour(it[2]))]
            else:
                styles = []
                for c, t, wd, x, y, pitch, angle in it[2]:
                    # the next hatch line lies one pitch across the lines
                    vec = self.e("VECTOR('',%s,%s)" % (self.direction(angle + 90), real(pitch)))
                    styles.append(self.e(
                        "FILL_AREA_STYLE_HATCHING('',%s,%s,%s,%s,%s)" % (
                            self.curve_style(c, t, wd),
                            self.e("ONE_DIRECTION_REPEAT_FACTOR('',%s)" % vec),
                            self.point(x, y), self.point(x, y), real(angle))))
            fas = self.e("FILL_AREA_STYLE('',(%s))" % ",".join(styles))
            psa = self.e("PRESENTATION_STYLE_ASSIGNMENT((%s))" % fas)
            x, y = it[3][0][0]
            return self.e("ANNOTATION_FILL_AREA_OCCURRENCE('',(%s),%s,%s)" % (
                psa, area, self.point(x, y)))
        if kind == "linear_dim":
            style, d1, d2, proj, text, arrow = it[1:]
            contents = [self.curve_occurrence(style, self.polyline([d1, d2]), "DIMENSION_CURVE")]
            for _, start, end in proj:
                contents.append(self.curve_occurrence(style, self.polyline([start, end]),
                                                      "PROJECTION_CURVE"))
            contents.append(self.arrow(style, d1, d2, arrow))
            contents.append(self.arrow(style, d2, d1, arrow))
            contents.append(self.text(style[0], style[1], text))
            return self.e("LINEAR_DIMENSION('',(%s))" % ",".join(contents))
        if kind == "radius_dim":
            style, c, end, text, arrow = it[1:]
            contents = [self.curve_occurrence(style, self.polyline([c, end]), "DIMENSION_CURVE"),
                        self.arrow(style, end, c, arrow), self.text(style[0], style[1], text)]
            return self.e("RADIUS_DIMENSION('',(%s))" % ",".join(contents))
        raise ValueError(kind)


def clothoid_points(x, y, a, direction, angle, l0, l1, steps=24):
    """Points of a clothoid x = A^2 ... from length l0 to l1, started at (x, y) on
    its origin tangent turned by angle (degrees); clockwise when direction is 1."""
    pts = []
    sign = -1.0 if direction else 1.0
    c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    for i in range(steps + 1):
        length = l0 + (l1 - l0) * i / steps
        # Fresnel integrals by a short series
        u, v, n = 0.0, 0.0, 40
        for k in range(n):
            t = length * (k + 0.5) / n
            phi = t * t / (2 * a * a)
            u += math.cos(phi) * length / n
            v += math.sin(phi) * length / n
        v *= sign
        pts.append((x + u * c - v * s, y + u * s + v * c))
    return pts


def write_p21(d, out, file_name, author, org, stamp):
    """Writes drawing `d` as entities of the drafting schema through `out`."""
    for line in header(file_name, "AP202_mode", author, org, stamp):
        out(line)
    w = P21Writer(d, out)
    ctx = w.e("(GEOMETRIC_REPRESENTATION_CONTEXT(2)REPRESENTATION_CONTEXT('',''))")
    for name, _, items in d.figures:
        refs = w.items(items)
        origin = w.placement(0, 0)
        rep = w.e("DRAUGHTING_SUBFIGURE_REPRESENTATION('%s',(%s),%s)" % (
            p21_string(name), ",".join(refs + [origin]), ctx))
        w.maps[name] = w.e("SYMBOL_REPRESENTATION_MAP(%s,%s)" % (origin, rep))
    refs = w.items(d.items)
    box = w.e("PLANAR_BOX('',%s,%s,%s)" % (real(d.width), real(d.height), w.placement(0, 0)))
    sheet = w.e("DRAWING_SHEET_REVISION('%s',(%s),%s,'0')" % (
        p21_string(d.sheet_name), ",".join(refs + [box]), ctx))
    w.e("PRESENTATION_SIZE(%s,%s)" % (sheet, box))
    attrs = dict(d.attributes)
    definition = w.e("DRAWING_DEFINITION('%s','%s')" % (
        p21_string(attrs.get("図面番号", "")), p21_string(attrs.get("図面種別", ""))))
    revision = w.e("DRAUGHTING_DRAWING_REVISION('0',%s,'%s')" % (
        definition, p21_string(attrs.get("尺度", ""))))
    w.e("DRAWING_SHEET_REVISION_USAGE(%s,%s,'1')" % (sheet, revision))
    w.e("DRAUGHTING_TITLE((%s),'Japanese','%s')" % (revision, p21_string(attrs.get("図面名", ""))))
    if d.attributes:
        # the title block values under the names the viewer lists them by
        named = [(k, v) for k, v in d.attributes if k not in ("年", "月", "日")]
        named.insert(6 + 1, ("作成日", "%s-%s-%s" % (attrs["年"], attrs["月"], attrs["日"])))
        values = [w.e("DESCRIPTIVE_REPRESENTATION_ITEM('%s','%s')" % (p21_string(k), p21_string(v)))
                  for k, v in named]
        w.e("REPRESENTATION('drawing attributes',(%s),%s)" % (",".join(values), ctx))
    for code, (name, visible) in enumerate(d.layers, 1):
        items = w.layer_items.get(code, [])
        pla = w.e("PRESENTATION_LAYER_ASSIGNMENT('%s','',(%s))" % (p21_string(name),
                                                                   ",".join(items)))
        if not visible:
            w.e("INVISIBILITY((%s))" % pla)
    out("ENDSEC;")
    out("END-ISO-10303-21;")
    return w.n


# ---------------------------------------------------------------------------
# Files
# ---------------------------------------------------------------------------

def render(write, d, file_name, author, org, stamp, encoding):
    lines = []
    write(d, lines.append, file_name, author, org, stamp)
    return ("\r\n".join(lines) + "\r\n").encode(encoding)


def drawing_p21(file_name, draw_name, scale, koji, company, office):
    """Bytes of a delivery's drawing file in the drafting schema mode: the road
    plan drawn by `company` for `office` (the title block's 会社名 and 発注者)."""
    d = road_drawing(file_name, draw_name, scale, koji, company, office)
    return render(write_p21, d, file_name, company, company, "2023-05-10T10:00:00", "ascii")


def drawing_sfc(file_name, draw_name, scale, koji, company, office):
    """Bytes of the same drawing in feature mode (Shift-JIS)."""
    d = road_drawing(file_name, draw_name, scale, koji, company, office)
    return render(write_sfc, d, file_name, company, company, "2023-05-10T10:00:00", "cp932")


# ---------------------------------------------------------------------------
# Bench files
# ---------------------------------------------------------------------------

class BenchTile:
    """The items of one bench tile, made again at every pass (a million
    primitives are never held at once)."""

    def __init__(self, first, n, layers):
        self.first, self.n, self.layers = first, n, layers

    def __iter__(self):
        for i in range(self.n):
            k = self.first + i
            layer = self.layers[(i // 50) % len(self.layers)]
            style = (layer, 1 + k % 16 if k % 17 else 17, 1 + k % 2, 1 + k % 4)
            x = (i % 50) * 20.0
            y = (i // 50) * 20.0
            m = k % 10
            if m < 5:
                yield ("line", style, x, y, x + 15.0 + m, y + 12.0)
            elif m < 7:
                yield ("polyline", style, [(x, y), (x + 8, y + 15), (x + 16, y + 3),
                                           (x + 18, y + 18)])
            elif m == 7:
                yield ("circle", style, x + 9, y + 9, 6.5)
            elif m == 8:
                yield ("arc", style, x + 9, y + 9, 7.0, 0, 30.0, 250.0)
            else:
                yield ("text", layer, style[1], 1, "測点%d" % (k % 1000), x, y, 5.0, 20.0,
                       0.0, 0.0, 0.0, 1, 1)


def bench_drawing(target_bytes, per_primitive):
    """An A0 drawing of tiles (drawing groups of 2,000 lines, polylines,
    circles, arcs and texts each, placed side by side): about
    target_bytes / per_primitive primitives."""
    count = max(1000, int(target_bytes / per_primitive))
    d = Drawing("A0", 0, 1)
    layers = [d.layer("C-BENCH-%d" % k, visible=(k != 7)) for k in range(8)]
    d.text_font("ＭＳ ゴシック")
    d.colour(40, 90, 160)
    tile_n = 2000
    tiles = (count + tile_n - 1) // tile_n
    cols = int(math.ceil(math.sqrt(tiles)))
    cell = 1150.0 / cols
    for t in range(tiles):
        d.figures.append(("tile%d" % t, 3,
                          BenchTile(t * tile_n, min(tile_n, count - t * tile_n), layers)))
        d.items.append(("locate", layers[0], "tile%d" % t, 20 + (t % cols) * cell,
                        20 + (t // cols) * cell, 0.0, cell / 1000.0, cell / 1000.0))
    return d, count


def write_bench(outdir, size):
    os.makedirs(outdir, exist_ok=True)
    # bytes a primitive takes in each mode (the entities are the wordier)
    for name, write, encoding, per in (("BENCH.SFC", write_sfc, "cp932", 87.3),
                                       ("BENCH.P21", write_p21, "ascii", 270.4)):
        d, count = bench_drawing(size, per)
        path = os.path.join(outdir, name)
        with open(path, "wb", buffering=1 << 20) as f:
            write(d, lambda line: f.write(line.encode(encoding) + b"\r\n"), name, "bench",
                  "bench", "2023-05-10T10:00:00")
        print("%s\t%d bytes\t%d primitives" % (path, os.path.getsize(path), count))


def parse_size(text):
    units = {"KB": 1 << 10, "MB": 1 << 20, "GB": 1 << 30}
    t = text.upper()
    for u, m in units.items():
        if t.endswith(u):
            return int(float(t[:-2]) * m)
    return int(t)


def main(argv):
    if argv and argv[0] == "--bench" and len(argv) in (2, 4):
        size = 100 << 20
        if len(argv) == 4:
            if argv[2] != "--size":
                sys.stderr.write(__doc__)
                return 2
            size = parse_size(argv[3])
        write_bench(argv[1], size)
        return 0
    if argv and argv[0] in ("-h", "--help"):
        sys.stdout.write(__doc__)
        return 0
    # An option is never taken for the folder to write into.
    if len(argv) != 1 or argv[0].startswith("-"):
        sys.stderr.write(__doc__)
        return 2
    write_pair(argv[0])
    return 0


def write_pair(outdir, koji="県道見本線道路改良工事（その2）", company="株式会社サンプル建設",
               office="見本県中央土木事務所"):
    """ROADPLAN.P21 and ROADPLAN.SFC: one drawing in both modes."""
    os.makedirs(outdir, exist_ok=True)
    for name, make in (("ROADPLAN.P21", drawing_p21), ("ROADPLAN.SFC", drawing_sfc)):
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(make(name, "平面図", "1:500", koji, company, office))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
