#!/usr/bin/env python3
# -*- coding: utf-8 -*-
"""Writes the sample deliveries under samples/ (Python 3 standard library only).

    python3 scripts/make-samples.py
        Regenerates samples/clean, samples/errors and samples/multi from scratch.
        The output is byte-for-byte the same on every run.

    python3 scripts/make-samples.py --bench-meet N OUTDIR [--with-files]
        Writes a large delivery for benchmarks: OUTDIR/INDEX_C.XML and
        OUTDIR/MEET/MEET.XML with N meeting records of two originals each
        (about 2.5 KB per record, so 20000 records give about 50 MB).
        The original files are written only with --with-files.

Every management file is written the way contractors' delivery software writes
them: Shift-JIS (CP932), CRLF line ends, an XML declaration naming Shift_JIS,
a DOCTYPE naming the DTD that lies beside the file, a lower-case root element
with a DTD_version attribute, one element per line.

samples/clean    one medium, complete; every value keeps the field rules
                 (lengths in Shift-JIS bytes, character classes, dates, word
                 lists, folder names), so the data check reports nothing.
samples/multi    one delivery on two media, MEDIA1 and MEDIA2: the same
                 INDEX_C.XML apart from メディア番号, the management files on
                 both media, the documents split between them.
samples/errors   one medium with the mistakes found in real deliveries.
                 Planted mistakes, file by file (the data check's finding in
                 brackets):

  INDEX_C.XML
    E01 工事番号 in full-width digits ２０２３００４５ [データ表現が不正]
    E02 発注年度 written 令和5 [文字数が不正]
    E03 工事名称 with full-width Latin letters ＪＲ [データ表現が不正]
    E04 工期開始日 2023-02-30, a day that does not exist [日付が不正]
    E05 工期終了日 2024/03/15, slashes instead of hyphens [日付が不正]
    E06 工事内容 missing [情報未記入]
    E07 住所コード missing altogether [one row 情報未記入]
    E08 起点側測点-n "12" where 4 characters are required [文字数が不正]
    E09 発注者コード with 7 digits instead of 8 [文字数が不正]
    E10 請負者名 carrying an attribute (区分="JV"); the reader ignores an
        element with attributes, so the field is empty [情報未記入]
    E11 特記仕様書オリジナルファイルフォルダ名 DRAWINGS\SPEC (back slash)
        [フォルダ名が不正]
    E12 打合せ簿オリジナルファイルフォルダ名 MEET/Org [フォルダ名が不正]
    E13 写真フォルダ名 missing (and no PHOTO folder) [情報未記入]
    E14 バージョン情報 in full-width letters Ｖｅｒ．２ [データ表現が不正]
  DRAWINGS/DRAWINGS.XML
    E15 D0PL001Z.P21 listed twice, the second time as d0pl001z.p21 (the
        duplicate drawing-file flag; not a data-check row)
    E16 図面ファイル名 D0PF01Z.P21: 11 bytes, not 12, and not a valid CAD
        name [文字数が不正]
    E17 図面名 of 41 bytes (limit 20 full-width, 40 bytes) [文字数が不正]
    E18 図面尺度 missing [情報未記入]
    E19 図面番号 A1, not a number [データ表現が不正]
    E20 基準点情報平面直角座標系番号 "9", where ordering drawings need
        exactly 2 characters [文字数が不正]
  MEET/MEET.XML
    E21 ソフトウェア情報 メーカ名 in half-width katakana [データ表現が不正]
    E22 record 1: 発行日付 2023-13-01 [日付が不正]
    E23 record 2: 打合せ簿種類 打合せ [規定文字以外]
    E24 record 2: 提出先 発注者様 [規定文字以外]
    E25 record 3: original file name in lower case, 0003_01.pdf, on disk in
        lower case too [データ表現が不正]
    E26 record 4: 打合せ簿名称 of 45 full-width characters (limit 40)
        [文字数が不正]
    E27 record 4: original file name MEETING_04.PDF, 14 bytes (limit 12)
        [文字数が不正]
    E28 record 5: original 0005_02.PDF listed but not on disk (shown as a
        missing file; not a data-check row)
    E29 record 5: 受理日付 2023-6-5 [日付が不正]
    E30 record 6: シリアル番号 ６ in full width [データ表現が不正]
    E31 record 6: 作成者 with half-width katakana [データ表現が不正]
    E32 record 6: 受理日付 missing [情報未記入]
    E33 record 7: 完了日付 2023-02-29, not a leap year [日付が不正]
    E34 record 8: オリジナルファイル内容 missing [情報未記入]
    E35 record 8: ソフトバージョン情報 with full-width ＰＤＦ [データ表現が不正]
  PLAN/PLAN.XML
    E36 record 1: 施工計画書名称 missing [情報未記入]
    E37 record 2: original named in Japanese, 施工計画書.PDF (the file on
        disk carries that name) [文字数が不正]
  DRAWINGF/DRAWINGF.XML
    E38 図面ファイル作成ソフトウェア名 missing [情報未記入]
    E39 C0CS001Z.P21 listed but not on disk (missing file; no data-check row)
  OTHRS/OTHRS.XML
    E40 record 1: その他資料種類 段階確認 [規定文字以外]
    E41 record 2: シリアル番号 missing [情報未記入]
    E42 record 2: 資料名 with full-width digits （１０月分） [データ表現が不正]
    E43 the original-file folder on disk is spelled OTHRS/Org (mixed case);
        the management data is right, the reader must find the files anyway
"""

import os
import shutil
import struct
import sys
import math

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLES = os.path.join(ROOT, "samples")

DTD_VERSION = "02"

# ---------------------------------------------------------------------------
# Element structure of the management files.
# A node is (name, occurrence, children); children is None for a text element.
# Occurrence: "" once, "?" optional, "+" one or more, "*" any number.
# The same tables drive the XML writer (element order) and the DTD writer.
# ---------------------------------------------------------------------------


def leaves(names, occ="?"):
    return [(n, occ, None) for n in names]


SOFTWARE = ("ソフトウェア情報", "?", leaves(
    ["ソフトウェア名", "バージョン情報", "メーカ名", "メーカ連絡先", "ソフトメーカ用TAG"]))

INDEX_SCHEMA = ("constdata", [
    ("基礎情報", "", leaves(["メディア番号", "メディア総枚数"], "") + leaves([
        "発注図面フォルダ名", "特記仕様書オリジナルファイルフォルダ名",
        "打合せ簿フォルダ名", "打合せ簿オリジナルファイルフォルダ名",
        "施工計画書フォルダ名", "施工計画書オリジナルファイルフォルダ名",
        "完成図面フォルダ名", "写真フォルダ名",
        "その他フォルダ名", "その他オリジナルファイルフォルダ名"])),
    SOFTWARE,
    ("工事件名等", "", [
        ("発注年度", "", None), ("工事番号", "", None), ("路線水系名等", "?", None),
        ("工事名称", "", None), ("工事分野", "", None), ("工事業種", "", None),
        ("工種", "+", None), ("工法型式", "+", None), ("住所コード", "+", None),
        ("住所", "+", None), ("工期開始日", "", None), ("工期終了日", "", None),
        ("工事内容", "", None)]),
    ("場所情報", "?", leaves([
        "起点側測点-n", "起点側測点-m", "終点側測点-n", "終点側測点-m",
        "起点側距離標-n", "起点側距離標-m", "終点側距離標-n", "終点側距離標-m",
        "西側境界座標経度", "東側境界座標経度", "北側境界座標緯度", "南側境界座標緯度"])),
    ("施設情報", "?", leaves(["施設名称"])),
    ("発注者情報", "", leaves(["発注者-大分類", "発注者-中分類", "発注者-小分類", "発注者コード"], "")),
    ("請負者情報", "", [("請負者名", "", None), ("請負者コード", "?", None)]),
    ("予備", "*", None),
])

DRAW_SCHEMA = ("drawingdata", [
    ("図面情報", "*", leaves([
        "図面名", "図面ファイル名", "作成者名", "図面ファイル作成ソフトウェア名",
        "図面尺度", "図面番号"], "") + [
        ("場所情報", "?", leaves([
            "起点側測点-n", "起点側測点-m", "終点側測点-n", "終点側測点-m",
            "起点側距離標-n", "起点側距離標-m", "終点側距離標-n", "終点側距離標-m",
            "西側境界座標経度", "東側境界座標経度", "北側境界座標緯度", "南側境界座標緯度",
            "平面直角座標系", "西側境界平面直角座標", "東側境界平面直角座標",
            "北側境界平面直角座標", "南側境界平面直角座標", "詳細住所"])),
        ("基準点情報", "?", leaves([
            "基準点情報緯度", "基準点情報経度", "基準点情報平面直角座標系番号",
            "基準点情報平面直角座標X座標", "基準点情報平面直角座標Y座標"])),
        ("その他", "?", leaves(["受注者説明文", "発注者説明文", "成果品保存場所"]) +
         [("予備", "*", None)]),
    ]),
    SOFTWARE,
])


def org_group(prefix):
    return ("オリジナルファイル情報", "+", leaves([
        prefix + "オリジナルファイル名",
        prefix + "オリジナルファイル作成ソフトバージョン情報",
        "オリジナルファイル内容"], ""))


NOTES = ("その他", "?", leaves(["請負者説明文", "発注者説明文"]) + [("予備", "*", None)])

MEET_SCHEMA = ("meetdata", [
    ("打合せ簿情報", "*", [
        ("シリアル番号", "", None), ("打合せ簿種類", "", None), ("打合せ簿名称", "", None),
        ("管理区分", "?", None), ("打合せ簿番号", "?", None), ("作成者", "", None),
        ("提出先", "", None), ("発行日付", "", None), ("受理日付", "", None),
        ("完了日付", "?", None), org_group("打合せ簿"), NOTES]),
    SOFTWARE,
])

PLAN_SCHEMA = ("plandata", [
    ("施工計画書情報", "*", [
        ("シリアル番号", "", None), ("施工計画書名称", "", None),
        org_group("施工計画書"), NOTES]),
    SOFTWARE,
])

OTHRS_SCHEMA = ("othrsdata", [
    ("その他資料情報", "*", [
        ("シリアル番号", "", None), ("資料名", "", None), ("その他資料種類", "", None),
        ("保管場所", "?", None), org_group("その他資料"), NOTES]),
    SOFTWARE,
])

PHOTO_SCHEMA = ("photodata", [
    ("基礎情報", "", [("写真フォルダ名", "", None), ("写真オリジナルファイルフォルダ名", "?", None)]),
    ("写真情報", "*", [
        ("写真ファイル情報", "", [
            ("シリアル番号", "", None), ("写真ファイル名", "", None),
            ("写真ファイル日本語名", "?", None), ("メディア番号", "", None)]),
        ("撮影工種区分", "", [
            ("写真-大分類", "", None), ("写真区分", "", None), ("工種", "?", None),
            ("種別", "?", None), ("細別", "?", None), ("写真タイトル", "", None)]),
        ("撮影情報", "", [("撮影箇所", "?", None), ("撮影年月日", "", None)]),
        ("代表写真", "?", None), ("提出頻度写真", "?", None),
        ("請負者説明文", "?", None)]),
    SOFTWARE,
])

# file name, root, schema, DTD file name
KINDS = {
    "INDEX": ("INDEX_C.XML", INDEX_SCHEMA, "INDE_C02.DTD"),
    "DRAWINGS": ("DRAWINGS.XML", DRAW_SCHEMA, "DRAW02.DTD"),
    "DRAWINGF": ("DRAWINGF.XML", DRAW_SCHEMA, "DRAW02.DTD"),
    "MEET": ("MEET.XML", MEET_SCHEMA, "MEET02.DTD"),
    "PLAN": ("PLAN.XML", PLAN_SCHEMA, "PLAN02.DTD"),
    "PHOTO": ("PHOTO.XML", PHOTO_SCHEMA, "PHOTO.DTD"),
    "OTHRS": ("OTHRS.XML", OTHRS_SCHEMA, "OTHRS02.DTD"),
}

# ---------------------------------------------------------------------------
# Writers for management files and DTDs
# ---------------------------------------------------------------------------


class Attr:
    """A value written with attributes on its element: <name a="b">value</name>."""

    def __init__(self, value, **attrs):
        self.value = value
        self.attrs = attrs


def esc(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def emit(lines, node, data, depth):
    """Writes the children of `node` found in the dict `data`, in table order."""
    name, occ, children = node
    ind = "\t" * depth
    values = data.get(name)
    if values is None:
        return
    if not isinstance(values, list):
        values = [values]
    for v in values:
        if children is None:
            attrs = ""
            if isinstance(v, Attr):
                attrs = "".join(' %s="%s"' % (k, esc(a)) for k, a in v.attrs.items())
                v = v.value
            lines.append("%s<%s%s>%s</%s>" % (ind, name, attrs, esc(v), name))
        else:
            if not v and occ in ("?", "*"):
                continue
            lines.append("%s<%s>" % (ind, name))
            for child in children:
                emit(lines, child, v, depth + 1)
            lines.append("%s</%s>" % (ind, name))


def sjis(text):
    return text.encode("cp932")


def crlf(lines):
    return sjis("\r\n".join(lines) + "\r\n")


def management_xml(kind, data):
    _, (root, children), dtd = KINDS[kind]
    lines = ['<?xml version="1.0" encoding="Shift_JIS"?>',
             '<!DOCTYPE %s SYSTEM "%s">' % (root, dtd),
             '<%s DTD_version="%s">' % (root, DTD_VERSION)]
    for child in children:
        emit(lines, child, data, 1)
    lines.append("</%s>" % root)
    return crlf(lines)


def dtd_text(kind):
    _, (root, children), _ = KINDS[kind]
    decls = {}
    order = []

    def model(kids):
        return "(" + ", ".join(n + o for n, o, _ in kids) + ")"

    def walk(name, kids):
        text = "<!ELEMENT %s %s>" % (name, model(kids) if kids is not None else "(#PCDATA)")
        if name in decls:
            if decls[name] != text:
                raise ValueError("element %s declared twice differently" % name)
            return
        decls[name] = text
        order.append(name)
        for n, _, k in kids or []:
            walk(n, k)

    walk(root, children)
    lines = ['<?xml version="1.0" encoding="Shift_JIS"?>',
             "<!-- %s %s -->" % (KINDS[kind][0], "DTD_version " + DTD_VERSION)]
    for n in order:
        lines.append(decls[n])
        if n == root:
            lines.append('<!ATTLIST %s DTD_version CDATA #FIXED "%s">' % (root, DTD_VERSION))
    return crlf(lines)


# ---------------------------------------------------------------------------
# Documents: PDF, baseline JPEG, uncompressed TIFF, Shift-JIS text and HTML,
# placeholder CAD exchange files
# ---------------------------------------------------------------------------


def pdf_hex(text):
    return "<" + sjis(text).hex().upper() + ">"


def pdf_page_stream(title, lines, page_no, page_count, doc_no):
    """A4 page drawn like a form: frame, title, a ruled table of lines."""
    ops = ["0.6 w", "40 40 515 762 re S",
           "BT /F2 16 Tf 60 770 Td %s Tj ET" % pdf_hex(title),
           "BT /F1 9 Tf 440 790 Td (%s) Tj ET" % doc_no,
           "0.4 w"]
    y = 740
    for text in lines:
        ops.append("60 %d m 535 %d l S" % (y - 6, y - 6))
        ops.append("BT /F2 10.5 Tf 64 %d Td %s Tj ET" % (y, pdf_hex(text)))
        y -= 26
    ops.append("60 %d m 535 %d l S" % (y - 6, y - 6))
    ops.append("BT /F1 9 Tf 280 52 Td (%d / %d) Tj ET" % (page_no, page_count))
    return "\n".join(ops).encode("ascii")


def make_pdf(title, pages, doc_no="No.1"):
    """A valid PDF 1.4 with one page per entry of `pages` (each a list of lines)."""
    objs = []  # index i holds object i+1

    def add(body):
        objs.append(body)
        return len(objs)

    catalog = add(None)
    pages_obj = add(None)
    f1 = add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")
    desc = add(b"<< /Type /FontDescriptor /FontName /HeiseiKakuGo-W5 /Flags 4 "
               b"/FontBBox [-92 -250 1010 922] /ItalicAngle 0 /Ascent 752 /Descent -221 "
               b"/CapHeight 737 /StemV 114 >>")
    cid = add(("<< /Type /Font /Subtype /CIDFontType0 /BaseFont /HeiseiKakuGo-W5 "
               "/CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) /Supplement 2 >> "
               "/FontDescriptor %d 0 R /DW 1000 /W [231 632 500] >>" % desc).encode("ascii"))
    f2 = add(("<< /Type /Font /Subtype /Type0 /BaseFont /HeiseiKakuGo-W5-90ms-RKSJ-H "
              "/Encoding /90ms-RKSJ-H /DescendantFonts [%d 0 R] >>" % cid).encode("ascii"))
    kids = []
    for i, lines in enumerate(pages):
        stream = pdf_page_stream(title, lines, i + 1, len(pages), doc_no)
        content = add(b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"\nendstream")
        kids.append(add(("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 595 842] "
                         "/Resources << /Font << /F1 %d 0 R /F2 %d 0 R >> >> "
                         "/Contents %d 0 R >>" % (pages_obj, f1, f2, content)).encode("ascii")))
    info = add(b"<< /Creator (Sample Construction Document) "
               b"/CreationDate (D:20230401090000+09'00') >>")
    objs[catalog - 1] = ("<< /Type /Catalog /Pages %d 0 R >>" % pages_obj).encode("ascii")
    objs[pages_obj - 1] = ("<< /Type /Pages /Kids [%s] /Count %d >>" % (
        " ".join("%d 0 R" % k for k in kids), len(kids))).encode("ascii")

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for i, body in enumerate(objs):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % (i + 1) + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n" % (len(objs) + 1)
    out += b"0000000000 65535 f \n"
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += (b"trailer\n<< /Size %d /Root %d 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n"
            % (len(objs) + 1, catalog, info, xref))
    return bytes(out)


# --- baseline JPEG (YCbCr 4:4:4, standard Huffman tables) -------------------

ZIGZAG = [0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48,
          41, 34, 27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22,
          15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55,
          62, 63]

Q_LUMA = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
          14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
          18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
          49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
Q_CHROMA = [17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
            24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99] + [99] * 32

DC_LUMA_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
DC_CHROMA_BITS = [0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0]
DC_VALS = list(range(12))
AC_LUMA_BITS = [0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D]
AC_LUMA_VALS = bytes.fromhex(
    "01020300041105122131410613516107227114328191a1082342b1c11552d1f0"
    "2433627282090a161718191a25262728292a3435363738393a43444546474849"
    "4a535455565758595a636465666768696a737475767778797a83848586878889"
    "8a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5"
    "c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8"
    "f9fa")
AC_CHROMA_BITS = [0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77]
AC_CHROMA_VALS = bytes.fromhex(
    "000102031104052131061241510761711322328108144291a1b1c109233352f0"
    "156272d10a162434e125f11718191a262728292a35363738393a434445464748"
    "494a535455565758595a636465666768696a737475767778797a828384858687"
    "88898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3"
    "c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3f4f5f6f7f8"
    "f9fa")


def huff_codes(bits, vals):
    assert sum(bits) == len(vals)
    table, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            table[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return table


AC_SYMBOLS = {0x00, 0xF0} | {(r << 4) | s for r in range(16) for s in range(1, 11)}
assert set(AC_LUMA_VALS) == AC_SYMBOLS and len(AC_LUMA_VALS) == 162
assert set(AC_CHROMA_VALS) == AC_SYMBOLS and len(AC_CHROMA_VALS) == 162

DCT = [[(math.sqrt(0.5) if u == 0 else 1.0) * 0.5 * math.cos((2 * x + 1) * u * math.pi / 16)
        for x in range(8)] for u in range(8)]


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, code, length):
        self.acc = (self.acc << length) | code
        self.n += length
        while self.n >= 8:
            self.n -= 8
            byte = (self.acc >> self.n) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)
        self.acc &= (1 << self.n) - 1

    def flush(self):
        if self.n:
            self.put((1 << (8 - self.n)) - 1, 8 - self.n)


def magnitude(v):
    """JPEG's size category of a value and its bits."""
    s = abs(v).bit_length()
    return s, (v if v >= 0 else v + (1 << s) - 1)


class BlockCoder:
    """Quantised DCT of 8x8 blocks as Huffman symbols, for one quantisation table.

    A block's symbols are remembered by its samples: drawn pictures repeat the
    same blocks over wide areas, so most blocks cost a look-up."""

    def __init__(self, quant):
        self.quant = quant
        self.memo = {}

    def symbols(self, rows):
        """rows: 8 tuples of 8 level-shifted samples. Returns (dc, ac): the
        quantised DC and the AC symbols as (run/size symbol, bits, size)."""
        hit = self.memo.get(rows)
        if hit is not None:
            return hit
        tmp = [[sum(DCT[u][x] * r[x] for x in range(8)) for u in range(8)] for r in rows]
        coef = [sum(DCT[v][y] * tmp[y][u] for y in range(8)) for v in range(8) for u in range(8)]
        q = self.quant
        zz = [int(round(coef[ZIGZAG[k]] / q[ZIGZAG[k]])) for k in range(64)]
        ac, run = [], 0
        for k in range(1, 64):
            if zz[k] == 0:
                run += 1
                continue
            while run > 15:
                ac.append((0xF0, 0, 0))
                run -= 16
            s, bits = magnitude(zz[k])
            ac.append(((run << 4) | s, bits, s))
            run = 0
        if run:
            ac.append((0x00, 0, 0))
        hit = self.memo[rows] = (zz[0], tuple(ac))
        return hit


class HuffmanPair:
    """A DC and an AC Huffman table (as BITS and HUFFVAL) and the writer of
    blocks with them."""

    def __init__(self, dc_bits, dc_vals, ac_bits, ac_vals):
        self.spec = (list(dc_bits), bytes(dc_vals), list(ac_bits), bytes(ac_vals))
        self.dc = huff_codes(dc_bits, dc_vals)
        self.ac = huff_codes(ac_bits, ac_vals)
        self.memo = {}

    def put(self, bw, block, prev_dc):
        """Writes a block (dc, ac) after a block whose DC was prev_dc; returns its DC."""
        dc, ac = block
        s, bits = magnitude(dc - prev_dc)
        code, length = self.dc[s]
        bw.put((code << s) | bits, length + s)
        hit = self.memo.get(ac)
        if hit is None:
            acc, n = 0, 0
            for sym, bits, size in ac:
                code, length = self.ac[sym]
                acc, n = (((acc << length) | code) << size) | bits, n + length + size
            hit = self.memo[ac] = (acc, n)
        bw.put(*hit)
        return dc


STANDARD_LUMA = (DC_LUMA_BITS, DC_VALS, AC_LUMA_BITS, AC_LUMA_VALS)
STANDARD_CHROMA = (DC_CHROMA_BITS, DC_VALS, AC_CHROMA_BITS, AC_CHROMA_VALS)


def scaled_quant(table, quality):
    scale = 5000 // quality if quality < 50 else 200 - 2 * quality
    return [max(1, min(255, (q * scale + 50) // 100)) for q in table]


def jpeg_segment(marker, body):
    return struct.pack(">BBH", 0xFF, marker, len(body) + 2) + body


def jpeg_file(width, height, quants, tables, luma_sampling, head, scan):
    """SOI, the given application segments, tables, frame, one scan, EOI."""
    (ql, qc), (luma, chroma) = quants, tables
    out = bytearray(b"\xFF\xD8") + head
    out += jpeg_segment(0xDB, bytes([0]) + bytes(ql[ZIGZAG[k]] for k in range(64)) +
                        bytes([1]) + bytes(qc[ZIGZAG[k]] for k in range(64)))
    out += jpeg_segment(0xC0, struct.pack(">BHHB", 8, height, width, 3) +
                        bytes([1, luma_sampling, 0, 2, 0x11, 1, 3, 0x11, 1]))
    dht = b""
    for table_id, pair in enumerate((luma, chroma)):
        dc_bits, dc_vals, ac_bits, ac_vals = pair.spec
        dht += bytes([0x00 | table_id] + dc_bits) + dc_vals
        dht += bytes([0x10 | table_id] + ac_bits) + ac_vals
    out += jpeg_segment(0xC4, dht)
    out += jpeg_segment(0xDA, bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0]))
    out += scan + b"\xFF\xD9"
    return bytes(out)


JFIF_APP0 = jpeg_segment(0xE0, b"JFIF\0\x01\x01\x01\x00\x48\x00\x48\x00\x00")


def make_jpeg(width, height, pixel, quality=85):
    """Encodes the image given by pixel(x, y) -> (r, g, b) as a baseline JFIF
    (4:4:4, the standard's example Huffman tables)."""
    quants = scaled_quant(Q_LUMA, quality), scaled_quant(Q_CHROMA, quality)
    coders = (BlockCoder(quants[0]), BlockCoder(quants[1]))
    tables = (HuffmanPair(*STANDARD_LUMA), HuffmanPair(*STANDARD_CHROMA))
    planes = [[], [], []]
    for y in range(height):
        rows = [[], [], []]
        for x in range(width):
            r, g, b = pixel(x, y)
            rows[0].append(0.299 * r + 0.587 * g + 0.114 * b - 128)
            rows[1].append(-0.168736 * r - 0.331264 * g + 0.5 * b)
            rows[2].append(0.5 * r - 0.418688 * g - 0.081312 * b)
        for c in range(3):
            planes[c].append(rows[c])
    bw = BitWriter()
    prev = [0, 0, 0]
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            for c in range(3):
                blk = tuple(tuple(planes[c][min(by + i, height - 1)][min(bx + j, width - 1)]
                                  for j in range(8)) for i in range(8))
                t = min(c, 1)
                prev[c] = tables[t].put(bw, coders[t].symbols(blk), prev[c])
    bw.flush()
    return jpeg_file(width, height, quants, tables, 0x11, JFIF_APP0, bw.out)


def site_photo(variant, width=160, height=120):
    """A site snapshot: sky, slope, road with centre line and a sign board."""
    sky_top = [(110, 160, 225), (150, 180, 215), (95, 140, 210)][variant % 3]
    horizon = 48 + 6 * (variant % 4)
    board_x = 20 + 23 * (variant % 5)

    def pixel(x, y):
        if board_x <= x < board_x + 34 and horizon - 20 <= y < horizon + 6:
            if board_x + 3 <= x < board_x + 31 and horizon - 17 <= y < horizon + 3:
                return (235, 235, 225) if (y - horizon) % 5 else (60, 60, 70)
            return (40, 90, 50)
        if y < horizon:
            t = y / horizon
            return tuple(int(c * (1 - t) + 235 * t) for c in sky_top)
        road_half = (y - horizon) * 0.9 + 6
        cx = width / 2
        if abs(x - cx) < road_half:
            if abs(x - cx) < 1 + (y - horizon) * 0.03 and (y // 6) % 2 == 0:
                return (240, 240, 240)
            return (95, 95, 100)
        shade = (x * 7 + y * 3) % 17
        return (105 + shade, 120 + shade, 60)
    return make_jpeg(width, height, pixel)


# --- TIFF: bilevel, uncompressed, one strip (a scanned form) ------------------

def make_tiff(width, height, black):
    """Bilevel page; black(x, y) tells which pixels are ink."""
    row_bytes = (width + 7) // 8
    data = bytearray()
    for y in range(height):
        row = bytearray(row_bytes)
        for x in range(width):
            if black(x, y):
                row[x >> 3] |= 0x80 >> (x & 7)
        data += row
    entries = [
        (256, 3, 1, width), (257, 3, 1, height), (258, 3, 1, 1), (259, 3, 1, 1),
        (262, 3, 1, 0), (273, 4, 1, None), (277, 3, 1, 1), (278, 3, 1, height),
        (279, 4, 1, len(data)), (282, 5, 1, "xres"), (283, 5, 1, "yres"), (296, 3, 1, 2),
    ]
    ifd_off = 8
    ifd_size = 2 + 12 * len(entries) + 4
    res_off = ifd_off + ifd_size
    strip_off = res_off + 16
    out = bytearray(b"II*\0" + struct.pack("<I", ifd_off))
    out += struct.pack("<H", len(entries))
    for tag, typ, count, value in entries:
        if tag == 273:
            value = strip_off
        elif value == "xres":
            value = res_off
        elif value == "yres":
            value = res_off + 8
        if typ == 3:
            out += struct.pack("<HHIHH", tag, typ, count, value, 0)
        else:
            out += struct.pack("<HHII", tag, typ, count, value)
    out += struct.pack("<I", 0)
    out += struct.pack("<IIII", 200, 1, 200, 1)
    out += data
    return bytes(out)


def scanned_form(variant, width=248, height=350):
    """A scanned sheet at low resolution: frame, title bar, ruled rows, a stamp box."""
    rows = 10 + variant % 5

    def black(x, y):
        if x in (12, 13, width - 14, width - 13) and 12 <= y < height - 12:
            return True
        if y in (12, 13, height - 14, height - 13) and 12 <= x < width - 12:
            return True
        if 24 <= y < 34 and 60 <= x < width - 60 and (x // 3 + y) % 4 != 0:
            return True  # title
        top = 50
        step = (height - 100) // rows
        if top <= y < height - 50 and (y - top) % step == 0 and 24 <= x < width - 24:
            return True
        if top <= y < height - 50 and (y - top) % step in (5, 6) and 30 <= x < 30 + (
                (x * 0 + y * 37 + variant * 11) % (width - 90)) and (x // 2) % 5 != 0:
            return True  # handwriting-like strokes
        if width - 70 <= x < width - 30 and height - 45 <= y < height - 20:
            return (x in (width - 70, width - 31)) or (y in (height - 45, height - 21))
        return False
    return make_tiff(width, height, black)


def sjis_text(lines):
    return crlf(lines)


def sjis_html(title, heading, rows):
    lines = ['<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">',
             "<HTML>", "<HEAD>",
             '<META http-equiv="Content-Type" content="text/html; charset=Shift_JIS">',
             "<TITLE>%s</TITLE>" % esc(title), "</HEAD>", "<BODY>",
             "<H2>%s</H2>" % esc(heading),
             '<TABLE border="1" cellspacing="0" cellpadding="4">']
    for i, row in enumerate(rows):
        cell = "TH" if i == 0 else "TD"
        lines.append("<TR>" + "".join("<%s>%s</%s>" % (cell, esc(c), cell) for c in row) + "</TR>")
    lines += ["</TABLE>", "</BODY>", "</HTML>"]
    return crlf(lines)


def p21_ascii(text):
    """Non-ASCII text in a CAD exchange file is written as \\X2\\ UTF-16 hex \\X0\\."""
    if all(ord(c) < 128 for c in text):
        return text
    return "\\X2\\" + "".join("%04X" % ord(c) for c in text) + "\\X0\\"


def make_p21(file_name, draw_name, author, scale):
    lines = [
        "ISO-10303-21;",
        "HEADER;",
        "FILE_DESCRIPTION(('%s'),'2;1');" % p21_ascii(draw_name),
        "FILE_NAME('%s','2023-05-10T10:00:00',('%s'),('%s'),'','CAD EDITOR 5.0','');" % (
            file_name, p21_ascii(author), p21_ascii(author)),
        "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));",
        "ENDSEC;",
        "DATA;",
        "#10=DRAWING_SHEET_REVISION('%s','Z',$);" % file_name[:8],
        "#20=PRESENTATION_SIZE(#10,#30);",
        "#30=PLANAR_BOX('A1',841.0,594.0,#40);",
        "#40=AXIS2_PLACEMENT_2D('',#50,$);",
        "#50=CARTESIAN_POINT('',(0.0,0.0));",
        "#60=TEXT_LITERAL('title','%s',#40,'left',$);" % p21_ascii(draw_name),
        "#70=TEXT_LITERAL('scale','%s',#40,'left',$);" % scale,
        "#80=POLYLINE('frame',(#81,#82,#83,#84,#81));",
        "#81=CARTESIAN_POINT('',(20.0,10.0));",
        "#82=CARTESIAN_POINT('',(821.0,10.0));",
        "#83=CARTESIAN_POINT('',(821.0,584.0));",
        "#84=CARTESIAN_POINT('',(20.0,584.0));",
        "ENDSEC;",
        "END-ISO-10303-21;",
    ]
    return "\r\n".join(lines).encode("ascii") + b"\r\n"


# ---------------------------------------------------------------------------
# Document content for originals, by extension
# ---------------------------------------------------------------------------

_jpeg_cache = {}
_tiff_cache = {}


def document(file_name, title, content, variant=0):
    """Bytes of an original file whose kind follows from its extension."""
    ext = os.path.splitext(file_name)[1].upper()
    if ext == ".PDF":
        body = ["件名：" + title, "下記のとおり提出します。", "工事名：" + CURRENT_KOJI[0],
                "内容：" + content, "記", "1. 対象範囲 No.12+0.0 ～ No.30+0.0",
                "2. 添付資料 別紙のとおり", "以上"]
        pages = [body]
        if variant % 3 == 0:
            pages.append(["別紙 " + content, "項目 1 数量 12 m", "項目 2 数量 35 m3",
                          "項目 3 数量 4 箇所", "備考 監督員の確認を受けること。"])
        if variant % 5 == 0:
            pages.append(["別紙2 経過記録", "4月12日 打合せ実施", "4月20日 現地確認"])
        return make_pdf(title, pages, "No.%d" % (variant + 1))
    if ext == ".JPG":
        key = variant % 6
        if key not in _jpeg_cache:
            _jpeg_cache[key] = site_photo(key)
        return _jpeg_cache[key]
    if ext == ".TIF":
        key = variant % 4
        if key not in _tiff_cache:
            _tiff_cache[key] = scanned_form(key)
        return _tiff_cache[key]
    if ext == ".HTM":
        return sjis_html(title, title + "（" + content + "）",
                         [["項目", "数量", "単位", "備考"],
                          ["側溝工 U型側溝 300", "%d" % (120 + variant * 10), "m", "No.12～No.30"],
                          ["集水ます", "%d" % (4 + variant), "箇所", ""],
                          ["舗装工 表層", "%d" % (850 + variant * 25), "m2", "再生密粒度"]])
    if ext == ".TXT":
        return sjis_text(["[" + title + "]", content, "",
                          "測点,設計値(mm),実測値(mm),差(mm)",
                          "No.12,300,302,+2", "No.14,300,298,-2",
                          "No.16,300,301,+1", "No.18,300,300,0",
                          "", "測定者 株式会社サンプル建設 品質管理担当"])
    raise ValueError(file_name)


CURRENT_KOJI = ["県道見本線道路改良工事（その2）"]

# ---------------------------------------------------------------------------
# Delivery assembly
# ---------------------------------------------------------------------------

FOLDERS = {
    "発注図面フォルダ名": "DRAWINGS",
    "特記仕様書オリジナルファイルフォルダ名": "DRAWINGS/SPEC",
    "打合せ簿フォルダ名": "MEET",
    "打合せ簿オリジナルファイルフォルダ名": "MEET/ORG",
    "施工計画書フォルダ名": "PLAN",
    "施工計画書オリジナルファイルフォルダ名": "PLAN/ORG",
    "完成図面フォルダ名": "DRAWINGF",
    "写真フォルダ名": "PHOTO",
    "その他フォルダ名": "OTHRS",
    "その他オリジナルファイルフォルダ名": "OTHRS/ORG",
}

SOFT_INFO = {
    "ソフトウェア名": "電子納品作成支援",
    "バージョン情報": "Ver.1.0.3",
    "メーカ名": "株式会社サンプルシステム",
    "メーカ連絡先": "サポート窓口 TEL 000-000-0000",
    "ソフトメーカ用TAG": "DNS-SAMPLE",
}


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def write_management(folder, kind, data):
    name, _, dtd = KINDS[kind]
    write(os.path.join(folder, name), management_xml(kind, data))
    write(os.path.join(folder, dtd), dtd_text(kind))


class Delivery:
    """Collects the management data and documents of one medium."""

    def __init__(self, path, media_no=1, keep=lambda rel: True):
        self.path = path
        self.media_no = media_no
        self.keep = keep  # which document files this medium carries

    def doc(self, rel, data):
        if self.keep(rel):
            write(os.path.join(self.path, *rel.split("/")), data)


def org_entries(prefix, orgs):
    return [{prefix + "オリジナルファイル名": o[0],
             prefix + "オリジナルファイル作成ソフトバージョン情報": o[1],
             "オリジナルファイル内容": o[2]} for o in orgs]


SOFT_WORD = "文書作成ソフト Ver.12"
SOFT_CALC = "表計算ソフト Ver.12"
SOFT_PDF = "PDF作成ツール Ver.4.2"
SOFT_SCAN = "スキャナ取込ソフト Ver.3"
SOFT_CAM = "デジタルカメラ"
SOFT_TEXT = "テキストエディタ Ver.7"
SOFT_WEB = "ホームページ作成ソフト Ver.2"

SOFT_BY_EXT = {".PDF": SOFT_PDF, ".TIF": SOFT_SCAN, ".JPG": SOFT_CAM,
               ".TXT": SOFT_TEXT, ".HTM": SOFT_WEB}


def soft_for(name):
    return SOFT_BY_EXT.get(os.path.splitext(name)[1].upper(), SOFT_WORD)


# --- clean delivery ----------------------------------------------------------

CLEAN_INDEX = {
    "基礎情報": dict({"メディア番号": "1", "メディア総枚数": "1"}, **FOLDERS),
    "ソフトウェア情報": SOFT_INFO,
    "工事件名等": {
        "発注年度": "2023",
        "工事番号": "202300123",
        "路線水系名等": "県道見本線",
        "工事名称": "県道見本線道路改良工事（その2）",
        "工事分野": "道路",
        "工事業種": "道路改良",
        "工種": ["道路土工", "排水構造物工", "舗装工"],
        "工法型式": ["盛土工", "側溝工", "アスファルト舗装工"],
        "住所コード": ["99201", "99202"],
        "住所": ["見本県見本市中町一丁目地内", "見本県見本市北町二丁目地内"],
        "工期開始日": "2023-04-10",
        "工期終了日": "2024-02-29",
        "工事内容": "道路改良 L=350m、側溝工 L=700m、舗装工 A=2,450m2",
    },
    "場所情報": {
        "起点側測点-n": "0012", "起点側測点-m": "000",
        "終点側測点-n": "0030", "終点側測点-m": "000",
        "起点側距離標-n": "012", "起点側距離標-m": "300",
        "終点側距離標-n": "012", "終点側距離標-m": "650",
        "西側境界座標経度": "1394030", "東側境界座標経度": "1394105",
        "北側境界座標緯度": "0354120", "南側境界座標緯度": "0354030",
    },
    "施設情報": {"施設名称": "県道見本線（中町工区）"},
    "発注者情報": {
        "発注者-大分類": "見本県", "発注者-中分類": "県土整備部",
        "発注者-小分類": "中央土木事務所", "発注者コード": "12345678",
    },
    "請負者情報": {"請負者名": "株式会社サンプル建設", "請負者コード": "5500123"},
    "予備": ["検査日 2024-03-08"],
}

AUTHOR_C = "株式会社サンプル建設 現場代理人 見本太郎"
AUTHOR_O = "見本県中央土木事務所 監督員 試験花子"

# serial, kind, name, class, no, from contractor?, issue, accept, finish, originals, notes
CLEAN_MEETINGS = [
    ("提出", "現場代理人等通知書の提出について", "施工管理", "K-001", True,
     "2023-04-12", "2023-04-13", "2023-04-14",
     [("0001_01.PDF", "打合せ簿"), ("0001_02.PDF", "現場代理人等通知書"),
      ("0001_03.TXT", "主任技術者の資格一覧")],
     "着手時の提出書類。"),
    ("承諾", "使用材料の承諾について（再生砕石）", "品質管理", "K-002", True,
     "2023-04-20", "2023-04-21", "2023-04-24",
     [("0002_01.PDF", "打合せ簿"), ("0002_02.TIF", "材料試験成績書（写し）"),
      ("0002_03.PDF", "材料納入計画")],
     ""),
    ("協議", "工程表の変更について", "工程管理", "K-003", True,
     "2023-05-08", "2023-05-09", "2023-05-15",
     [("0003_01.PDF", "打合せ簿"), ("0003_02.HTM", "変更工程表")],
     "降雨による遅れを取り戻すための工程変更。"),
    ("指示", "交通誘導警備員の増員について", "安全管理", "S-001", False,
     "2023-05-18", "2023-05-18", "2023-05-19",
     [("0004_01.PDF", "指示書"), ("0004_02.JPG", "現地状況写真")],
     "", ("口頭指示 2023-05-17", "警備員 2名増員", "夜間は照明車を追加")),
    ("報告", "安全訓練の実施報告（5月）", "安全管理", "K-004", True,
     "2023-05-31", "2023-06-01", None,
     [("0005_01.PDF", "打合せ簿"), ("0005_02.JPG", "訓練実施状況写真")],
     ""),
    ("提出", "出来形管理図表の提出について（側溝工）", "出来形管理", "K-005", True,
     "2023-07-14", "2023-07-18", "2023-07-21",
     [("0006_01.PDF", "打合せ簿"), ("0006_02.TXT", "出来形測定データ"),
      ("0006_03.PDF", "出来形管理図表")],
     ""),
    ("提示", "品質証明書の提示について", "品質管理", "K-006", True,
     "2023-08-02", "2023-08-02", None,
     [("0007_01.PDF", "打合せ簿"), ("0007_02.TIF", "品質証明書（写し）")],
     ""),
    ("協議", "設計変更（側溝延長の増）について", "原価管理", "K-008", True,
     "2023-09-04", "2023-09-06", "2023-09-20",
     [("0008_01.PDF", "打合せ簿"), ("0008_02.PDF", "変更数量計算書"),
      ("0008_03.HTM", "変更数量総括表")],
     "側溝工 L=650m から L=700m に変更。"),
    ("通知", "段階確認の日程について", "施工管理", "S-002", False,
     "2023-08-28", "2023-08-29", None,
     [("0009_01.PDF", "通知書"), ("0009_02.HTM", "段階確認予定表")],
     ""),
    ("報告", "出来高報告（12月末）", "出来高管理", "K-009", True,
     "2024-01-09", "2024-01-10", "2024-01-12",
     [("0010_01.PDF", "打合せ簿"), ("0010_02.PDF", "出来高内訳書")],
     ""),
    ("承諾", "工事写真の撮影基準の適用について", "写真管理", "K-010", True,
     "2023-04-25", "2023-04-26", "2023-04-27",
     [("0011_01.PDF", "打合せ簿"), ("0011_02.JPG", "撮影例"), ("0011_03.JPG", "黒板の記載例")],
     ""),
    ("提出", "しゅん工届の提出について", None, None, True,
     "2024-02-26", "2024-02-27", None,
     [("0012_01.PDF", "しゅん工届"), ("0012_02.PDF", "しゅん工写真")],
     ""),
]

CLEAN_PLANS = [
    ("施工計画書（当初）", [("P001_01.PDF", "施工計画書 本文"), ("P001_02.PDF", "全体工程表"),
                      ("P001_03.TIF", "仮設計画図（手書き原稿の写し）")], "着手前に提出。"),
    ("施工計画書（変更第1回）", [("P002_01.PDF", "変更施工計画書 本文")], "側溝延長の変更に伴う変更。"),
    ("交通誘導警備計画書", [("P003_01.PDF", "交通誘導警備計画書"), ("P003_02.HTM", "警備員配置表")], ""),
    ("品質管理計画書", [("P004_01.PDF", "品質管理計画書"), ("P004_02.TXT", "試験頻度一覧")], ""),
]

CLEAN_OTHERS = [
    ("工事履行報告書（4月分）", "工事履行報告書", None, [("O001_01.PDF", "工事履行報告書")]),
    ("工事履行報告書（5月分）", "工事履行報告書", None,
     [("O002_01.PDF", "工事履行報告書"), ("O002_02.TXT", "実施工程の記録")]),
    ("段階確認書（路床）", "段階確認書", "見本県中央土木事務所 書庫",
     [("O003_01.PDF", "段階確認書"), ("O003_02.JPG", "確認状況写真")]),
    ("段階確認書（側溝据付）", "段階確認書", "見本県中央土木事務所 書庫",
     [("O004_01.PDF", "段階確認書")]),
]

# file, name, number, scale
CLEAN_ORDER_DRAWINGS = [
    ("D0LC001Z.P21", "位置図", "1", "1:25000"),
    ("D0PL001Z.P21", "平面図", "2", "1:500"),
    ("D0PL002Z.P21", "平面図", "3", "1:500"),
    ("D0PF001Z.P21", "縦断図", "4", "1:500"),
    ("D0SS001Z.P21", "標準横断図", "5", "1:50"),
    ("D0CS001Z.P21", "横断図", "6", "1:100"),
]
CLEAN_FINAL_DRAWINGS = [
    ("C0LC001Z.P21", "位置図", "1", "1:25000"),
    ("C0PL001Z.P21", "平面図", "2", "1:500"),
    ("C0PF001Z.P21", "縦断図", "3", "1:500"),
    ("C0SS001Z.P21", "標準横断図", "4", "1:50"),
    ("C0CS001Z.P21", "横断図", "5", "1:100"),
    ("C0LS001Z.P21", "小構造物図", "6", "1:20"),
]


def drawing_record(file_name, name, no, scale, author, soft, final, i):
    rec = {
        "図面名": name, "図面ファイル名": file_name, "作成者名": author,
        "図面ファイル作成ソフトウェア名": soft, "図面尺度": scale, "図面番号": no,
    }
    if i % 2 == 0:
        rec["場所情報"] = {
            "起点側測点-n": "0012", "起点側測点-m": "000",
            "終点側測点-n": "0030", "終点側測点-m": "000",
            "西側境界座標経度": "1394030", "東側境界座標経度": "1394105",
            "北側境界座標緯度": "0354120", "南側境界座標緯度": "0354030",
            "平面直角座標系": "9",
            "西側境界平面直角座標": "-12040.500", "東側境界平面直角座標": "-11210.750",
            "北側境界平面直角座標": "-35120.250", "南側境界平面直角座標": "-35980.000",
            "詳細住所": "見本県見本市中町一丁目地内",
        }
        rec["基準点情報"] = {
            "基準点情報緯度": "0354100", "基準点情報経度": "1394050",
            "基準点情報平面直角座標系番号": "09",
            "基準点情報平面直角座標X座標": "-35500.125", "基準点情報平面直角座標Y座標": "-11600.875",
        }
    other = {}
    if final:
        other["受注者説明文"] = "完成形状を反映した図面。"
    if i == 0:
        other["発注者説明文"] = "工事位置を示す。"
        other["成果品保存場所"] = "見本県中央土木事務所"
    if other:
        rec["その他"] = other
    return rec


def meeting_record(serial, m, originals_soft=soft_for):
    kind, name, cls, no, by_contractor, issue, accept, finish, orgs, note = m[:10]
    reserves = m[10] if len(m) > 10 else None
    rec = {"シリアル番号": str(serial), "打合せ簿種類": kind, "打合せ簿名称": name}
    if cls:
        rec["管理区分"] = cls
    if no:
        rec["打合せ簿番号"] = no
    rec["作成者"] = AUTHOR_C if by_contractor else AUTHOR_O
    rec["提出先"] = "発注者" if by_contractor else "請負者"
    rec["発行日付"] = issue
    rec["受理日付"] = accept
    if finish:
        rec["完了日付"] = finish
    rec["オリジナルファイル情報"] = org_entries(
        "打合せ簿", [(f, originals_soft(f), c) for f, c in orgs])
    other = {}
    if note:
        other["請負者説明文"] = note
    if reserves:
        other["予備"] = list(reserves)
    if other:
        rec["その他"] = other
    return rec


def build_standard(dlv, index, order_draws, final_draws, meetings, plans, others, photos,
                   tokki_files=True, meet_soft=SOFT_INFO, photo_dates=None):
    """Writes the management files and the documents of one medium."""
    p = dlv.path
    write_management(p, "INDEX", index)
    koji = index["工事件名等"]["工事名称"]
    CURRENT_KOJI[0] = koji
    author = index["請負者情報"].get("請負者名") or "株式会社サンプル建設"
    if isinstance(author, Attr):
        author = author.value
    orderer = index["発注者情報"]["発注者-大分類"] + index["発注者情報"]["発注者-小分類"]

    if order_draws is not None:
        recs = []
        for i, d in enumerate(order_draws):
            rec = d if isinstance(d, dict) else drawing_record(
                d[0], d[1], d[2], d[3], orderer, "CADエディタ Ver.5", False, i)
            recs.append(rec)
            fname = rec.get("図面ファイル名", "")
            if isinstance(d, dict) and d.get("_nofile"):
                continue
            if fname and fname == fname.upper():
                dlv.doc("DRAWINGS/" + fname, make_p21(fname, rec.get("図面名", ""), orderer,
                                                    rec.get("図面尺度", "")))
        write_management(os.path.join(p, "DRAWINGS"), "DRAWINGS",
                         {"図面情報": [strip(r) for r in recs], "ソフトウェア情報": SOFT_INFO})
        if tokki_files:
            dlv.doc("DRAWINGS/SPEC/TOKKI01.PDF", make_pdf("特記仕様書", [
                ["第1条 本工事は見本県土木工事共通仕様書によるほか、本特記仕様書による。",
                 "第2条 工期は契約書のとおりとする。",
                 "第3条 電子納品は見本県の要領に従って作成すること。",
                 "第4条 建設副産物は再資源化施設へ搬出すること。"],
                ["第5条 交通誘導警備員は有資格者を配置すること。",
                 "第6条 工事写真は撮影基準によること。",
                 "第7条 疑義が生じた場合は監督員と協議すること。"]], "TOKKI-1"))
            dlv.doc("DRAWINGS/SPEC/TOKKI02.TXT", sjis_text([
                "[特記仕様書 追記事項]", "",
                "1. 再生砕石は RC-40 を使用すること。",
                "2. 側溝の据付は段階確認を受けること。",
                "3. 舗装の施工は気温 5℃ 以上の日に行うこと。"]))
            dlv.doc("DRAWINGS/SPEC/SURYO01.HTM", sjis_html(
                "数量総括表", "数量総括表（当初）",
                [["工種", "種別", "数量", "単位"],
                 ["道路土工", "盛土工", "3,200", "m3"],
                 ["排水構造物工", "側溝工", "650", "m"],
                 ["舗装工", "アスファルト舗装工", "2,450", "m2"]]))

    if meetings is not None:
        recs = []
        for i, m in enumerate(meetings):
            rec = m if isinstance(m, dict) else meeting_record(i + 1, m)
            recs.append(rec)
            for j, o in enumerate(rec.get("オリジナルファイル情報", [])):
                f = o.get("打合せ簿オリジナルファイル名")
                if f and not o.get("_nofile"):
                    dlv.doc("MEET/ORG/" + f, document(
                        f, rec.get("打合せ簿名称", "打合せ簿"),
                        o.get("オリジナルファイル内容", ""), i * 3 + j))
        write_management(os.path.join(p, "MEET"), "MEET",
                         {"打合せ簿情報": [strip(r) for r in recs],
                          "ソフトウェア情報": meet_soft})

    if plans is not None:
        recs = []
        for i, pl in enumerate(plans):
            if isinstance(pl, dict):
                rec = pl
            else:
                name, orgs, note = pl
                rec = {"シリアル番号": str(i + 1), "施工計画書名称": name,
                       "オリジナルファイル情報": org_entries(
                           "施工計画書", [(f, soft_for(f), c) for f, c in orgs])}
                if note:
                    rec["その他"] = {"請負者説明文": note}
            recs.append(rec)
            for j, o in enumerate(rec["オリジナルファイル情報"]):
                f = o["施工計画書オリジナルファイル名"]
                dlv.doc("PLAN/ORG/" + f, document(f, rec.get("施工計画書名称", "施工計画書"),
                                                 o["オリジナルファイル内容"], i * 3 + j + 1))
        write_management(os.path.join(p, "PLAN"), "PLAN",
                         {"施工計画書情報": [strip(r) for r in recs], "ソフトウェア情報": SOFT_INFO})

    if final_draws is not None:
        recs = []
        for i, d in enumerate(final_draws):
            rec = d if isinstance(d, dict) else drawing_record(
                d[0], d[1], d[2], d[3], author, "CADエディタ Ver.5", True, i)
            recs.append(rec)
            if isinstance(d, dict) and d.get("_nofile"):
                continue
            fname = rec["図面ファイル名"]
            dlv.doc("DRAWINGF/" + fname, make_p21(fname, rec.get("図面名", ""), author,
                                                rec.get("図面尺度", "")))
        write_management(os.path.join(p, "DRAWINGF"), "DRAWINGF",
                         {"図面情報": [strip(r) for r in recs], "ソフトウェア情報": SOFT_INFO})

    if photos is not None:
        write_photos(dlv, photos, photo_dates)

    if others is not None:
        recs = []
        for i, o in enumerate(others):
            if isinstance(o, dict):
                rec = o
            else:
                name, kind, place, orgs = o
                rec = {"シリアル番号": str(i + 1), "資料名": name, "その他資料種類": kind}
                if place:
                    rec["保管場所"] = place
                rec["オリジナルファイル情報"] = org_entries(
                    "その他資料", [(f, soft_for(f), c) for f, c in orgs])
            recs.append(rec)
            folder = rec.get("_folder", "OTHRS/ORG")
            for j, org in enumerate(rec["オリジナルファイル情報"]):
                f = org["その他資料オリジナルファイル名"]
                dlv.doc(folder + "/" + f, document(f, rec.get("資料名", "資料"),
                                                  org["オリジナルファイル内容"], i * 2 + j + 2))
        write_management(os.path.join(p, "OTHRS"), "OTHRS",
                         {"その他資料情報": [strip(r) for r in recs], "ソフトウェア情報": SOFT_INFO})


def strip(rec):
    """Drops the generator's own keys (those beginning with '_') before writing."""
    if isinstance(rec, dict):
        return {k: strip(v) for k, v in rec.items() if not k.startswith("_")}
    if isinstance(rec, list):
        return [strip(v) for v in rec]
    return rec


PHOTO_ROWS = [
    ("P0000001.JPG", "着手前全景", "着手前", "道路土工", "", "", "No.12 起点側より終点側を望む", "2023-04-10", True),
    ("P0000002.JPG", "側溝据付状況", "施工状況写真", "排水構造物工", "側溝工", "U型側溝",
     "No.18 付近 側溝据付", "2023-07-05", False),
    ("P0000003.JPG", "完成全景", "完成", "舗装工", "", "", "No.30 終点側より起点側を望む", "2024-02-20", True),
]


def write_photos(dlv, media_of_photo, dates=None):
    """PHOTO/PHOTO.XML, its DTD and the pictures this medium carries.

    media_of_photo maps each photo's index to the medium that holds it."""
    infos = []
    for i, (f, jname, cls, kou, shu, sai, place, date, rep) in enumerate(PHOTO_ROWS):
        info = {
            "写真ファイル情報": {"シリアル番号": str(i + 1), "写真ファイル名": f,
                          "写真ファイル日本語名": jname + ".JPG",
                          "メディア番号": str(media_of_photo(i))},
            "撮影工種区分": {"写真-大分類": "工事", "写真区分": cls, "工種": kou,
                       "種別": shu, "細別": sai, "写真タイトル": jname},
            "撮影情報": {"撮影箇所": place, "撮影年月日": dates[i] if dates else date},
            "代表写真": "1" if rep else "0",
            "提出頻度写真": "1" if rep else "0",
        }
        for grp in ("撮影工種区分",):
            info[grp] = {k: v for k, v in info[grp].items() if v}
        infos.append(info)
        if media_of_photo(i) == dlv.media_no:
            write(os.path.join(dlv.path, "PHOTO", "PIC", f), site_photo(i + 3, 200, 150))
    write_management(os.path.join(dlv.path, "PHOTO"), "PHOTO", {
        "基礎情報": {"写真フォルダ名": "PHOTO/PIC"},
        "写真情報": infos,
        "ソフトウェア情報": SOFT_INFO,
    })


def build_clean():
    path = os.path.join(SAMPLES, "clean")
    dlv = Delivery(path)
    build_standard(dlv, CLEAN_INDEX, CLEAN_ORDER_DRAWINGS, CLEAN_FINAL_DRAWINGS,
                   CLEAN_MEETINGS, CLEAN_PLANS, CLEAN_OTHERS, lambda i: 1)


# --- delivery on two media ---------------------------------------------------

MULTI_INDEX = {
    "基礎情報": dict({"メディア番号": "1", "メディア総枚数": "2"}, **FOLDERS),
    "ソフトウェア情報": SOFT_INFO,
    "工事件名等": {
        "発注年度": "2022",
        "工事番号": "202200456",
        "路線水系名等": "見本川水系見本川",
        "工事名称": "見本川護岸改修工事",
        "工事分野": "河川",
        "工事業種": "河川改修",
        "工種": ["護岸工", "根固め工"],
        "工法型式": ["ブロック積護岸", "根固めブロック"],
        "住所コード": ["99203"],
        "住所": ["見本県見本市川端町地内"],
        "工期開始日": "2022-06-01",
        "工期終了日": "2023-03-17",
        "工事内容": "護岸工 L=220m、根固め工 N=180個",
    },
    "場所情報": {
        "起点側距離標-n": "004", "起点側距離標-m": "200",
        "終点側距離標-n": "004", "終点側距離標-m": "420",
        "西側境界座標経度": "1394500", "東側境界座標経度": "1394530",
        "北側境界座標緯度": "0354600", "南側境界座標緯度": "0354540",
    },
    "発注者情報": {
        "発注者-大分類": "見本県", "発注者-中分類": "県土整備部",
        "発注者-小分類": "河川整備事務所", "発注者コード": "12345699",
    },
    "請負者情報": {"請負者名": "サンプル・見本特定建設工事共同企業体"},
}

MULTI_MEETINGS = [
    ("提出", "現場代理人等通知書の提出について", "施工管理", "R-001", True,
     "2022-06-03", "2022-06-06", "2022-06-07",
     [("0001_01.PDF", "打合せ簿"), ("0001_02.PDF", "現場代理人等通知書")], ""),
    ("承諾", "護岸ブロックの承諾について", "品質管理", "R-002", True,
     "2022-06-20", "2022-06-21", "2022-06-24",
     [("0002_01.PDF", "打合せ簿"), ("0002_02.TIF", "製品検査成績書（写し）")], ""),
    ("協議", "仮締切の構造について", "施工管理", "R-003", True,
     "2022-07-11", "2022-07-12", "2022-07-20",
     [("0003_01.PDF", "打合せ簿"), ("0003_02.PDF", "仮締切構造図"), ("0003_03.HTM", "数量表")], ""),
    ("指示", "出水期の安全対策について", "安全管理", "H-001", False,
     "2022-08-01", "2022-08-01", "2022-08-03",
     [("0004_01.PDF", "指示書"), ("0004_02.JPG", "現地状況写真")], ""),
    ("報告", "出水による被災状況の報告", "安全管理", "R-004", True,
     "2022-09-20", "2022-09-20", None,
     [("0005_01.PDF", "報告書"), ("0005_02.JPG", "被災状況写真")],
     "一つ目の原本は1枚目、写真は2枚目のメディアに収録。"),
    ("提出", "出来形管理図表の提出について", "出来形管理", "R-005", True,
     "2022-12-12", "2022-12-13", "2022-12-16",
     [("0006_01.PDF", "打合せ簿"), ("0006_02.TXT", "出来形測定データ")], ""),
    ("協議", "根固めブロック数量の変更について", "原価管理", "R-006", True,
     "2023-01-10", "2023-01-12", "2023-01-25",
     [("0007_01.PDF", "打合せ簿"), ("0007_02.PDF", "変更数量計算書")], ""),
    ("提出", "しゅん工届の提出について", None, None, True,
     "2023-03-13", "2023-03-14", None,
     [("0008_01.PDF", "しゅん工届"), ("0008_02.JPG", "しゅん工写真")], ""),
]

MULTI_PLANS = [
    ("施工計画書（当初）", [("P001_01.PDF", "施工計画書 本文"), ("P001_02.PDF", "工程表")], ""),
    ("出水期施工計画書", [("P002_01.PDF", "出水期施工計画書"), ("P002_02.TIF", "避難経路図")], ""),
]

MULTI_OTHERS = [
    ("工事履行報告書（6月分）", "工事履行報告書", None, [("O001_01.PDF", "工事履行報告書")]),
    ("段階確認書（床掘り）", "段階確認書", None,
     [("O002_01.PDF", "段階確認書"), ("O002_02.JPG", "確認状況写真")]),
]

MULTI_ORDER_DRAWINGS = [
    ("D0LC001Z.P21", "位置図", "1", "1:25000"),
    ("D0PL001Z.P21", "平面図", "2", "1:500"),
    ("D0GS001Z.P21", "構造一般図", "3", "1:100"),
]
MULTI_FINAL_DRAWINGS = [
    ("C0PL001Z.P21", "平面図", "1", "1:500"),
    ("C0GS001Z.P21", "構造一般図", "2", "1:100"),
    ("C0AS001Z.P21", "付帯構造物図", "3", "1:50"),
]

# Which medium carries each document file (everything else is on medium 1).
MULTI_ON_MEDIA2 = {
    "DRAWINGS/D0GS001Z.P21",
    "MEET/ORG/0005_02.JPG",
    "MEET/ORG/0006_01.PDF", "MEET/ORG/0006_02.TXT",
    "MEET/ORG/0007_01.PDF", "MEET/ORG/0007_02.PDF",
    "MEET/ORG/0008_01.PDF", "MEET/ORG/0008_02.JPG",
    "DRAWINGF/C0GS001Z.P21", "DRAWINGF/C0AS001Z.P21",
    "OTHRS/ORG/O001_01.PDF", "OTHRS/ORG/O002_01.PDF", "OTHRS/ORG/O002_02.JPG",
}


def build_multi():
    for media in (1, 2):
        path = os.path.join(SAMPLES, "multi", "MEDIA%d" % media)
        index = dict(MULTI_INDEX)
        index["基礎情報"] = dict(MULTI_INDEX["基礎情報"], **{"メディア番号": str(media)})
        if media == 1:
            keep = (lambda rel: rel not in MULTI_ON_MEDIA2)
        else:
            keep = (lambda rel: rel in MULTI_ON_MEDIA2)
        dlv = Delivery(path, media, keep)
        build_standard(dlv, index, MULTI_ORDER_DRAWINGS, MULTI_FINAL_DRAWINGS,
                       MULTI_MEETINGS, MULTI_PLANS, MULTI_OTHERS,
                       lambda i: 1 if i == 0 else 2,
                       photo_dates=["2022-06-01", "2022-10-18", "2023-03-10"])


# --- delivery with planted mistakes (see the list at the top) ----------------

def build_errors():
    path = os.path.join(SAMPLES, "errors")
    folders = dict(FOLDERS)
    folders["特記仕様書オリジナルファイルフォルダ名"] = "DRAWINGS\\SPEC"        # E11
    folders["打合せ簿オリジナルファイルフォルダ名"] = "MEET/Org"               # E12
    del folders["写真フォルダ名"]                                             # E13
    index = {
        "基礎情報": dict({"メディア番号": "1", "メディア総枚数": "1"}, **folders),
        "ソフトウェア情報": dict(SOFT_INFO, **{"バージョン情報": "Ｖｅｒ．２"}),  # E14
        "工事件名等": {
            "発注年度": "令和5",                                             # E02
            "工事番号": "２０２３００４５",                                   # E01
            "路線水系名等": "市道見本駅前線",
            "工事名称": "ＪＲ見本駅前広場整備工事",                            # E03
            "工事分野": "道路",
            "工事業種": "道路維持",
            "工種": ["舗装工", "区画線工"],
            "工法型式": ["アスファルト舗装工", "溶融式区画線"],
            # 住所コード missing                                              # E07
            "住所": ["見本県見本市駅前一丁目地内"],
            "工期開始日": "2023-02-30",                                       # E04
            "工期終了日": "2024/03/15",                                       # E05
            # 工事内容 missing                                                # E06
        },
        "場所情報": {"起点側測点-n": "12", "起点側測点-m": "000"},            # E08
        "発注者情報": {
            "発注者-大分類": "見本県", "発注者-中分類": "県土整備部",
            "発注者-小分類": "中央土木事務所", "発注者コード": "1234567",        # E09
        },
        "請負者情報": {"請負者名": Attr("株式会社見本道路", 区分="JV")},        # E10
    }
    orderer = "見本県中央土木事務所"
    order = [
        drawing_record("D0LC001Z.P21", "位置図", "1", "1:25000", orderer, "CADエディタ Ver.5", False, 1),
        drawing_record("D0PL001Z.P21", "平面図", "2", "1:500", orderer, "CADエディタ Ver.5", False, 1),
        dict(drawing_record("d0pl001z.p21", "平面図", "3", "1:500", orderer,   # E15
                            "CADエディタ Ver.5", False, 1), _nofile=True),
        drawing_record("D0PF01Z.P21", "縦断図", "4", "1:500", orderer,  # E16
                       "CADエディタ Ver.5", False, 1),
        drawing_record("D0SS001Z.P21", "駅前広場整備工事標準横断図その1（歩道部）", "5",  # E17
                       "1:50", orderer, "CADエディタ Ver.5", False, 1),
        drawing_record("D0CS001Z.P21", "横断図", "A1", "1:100", orderer,        # E19
                       "CADエディタ Ver.5", False, 0),
    ]
    del order[3]["図面尺度"]                                                  # E18
    order[5]["基準点情報"]["基準点情報平面直角座標系番号"] = "9"              # E20

    ok_m = CLEAN_MEETINGS
    meets = [meeting_record(i + 1, m) for i, m in enumerate(ok_m[:8])]
    meets[0]["発行日付"] = "2023-13-01"                                       # E22
    meets[1]["打合せ簿種類"] = "打合せ"                                       # E23
    meets[1]["提出先"] = "発注者様"                                           # E24
    meets[2]["オリジナルファイル情報"][0]["打合せ簿オリジナルファイル名"] = "0003_01.pdf"  # E25
    meets[3]["打合せ簿名称"] = "駅前広場工事における歩行者動線確保のための仮設通路設置及び交通誘導警備員の増員配置について"  # E26
    meets[3]["オリジナルファイル情報"][0]["打合せ簿オリジナルファイル名"] = "MEETING_04.PDF"  # E27
    meets[4]["オリジナルファイル情報"][1]["_nofile"] = True                    # E28
    meets[4]["受理日付"] = "2023-6-5"                                         # E29
    meets[5]["シリアル番号"] = "６"                                           # E30
    meets[5]["作成者"] = "ｻﾝﾌﾟﾙ建設 現場代理人"                              # E31
    del meets[5]["受理日付"]                                                  # E32
    meets[6]["完了日付"] = "2023-02-29"                                       # E33
    del meets[7]["オリジナルファイル情報"][1]["オリジナルファイル内容"]        # E34
    meets[7]["オリジナルファイル情報"][0][
        "打合せ簿オリジナルファイル作成ソフトバージョン情報"] = "ＰＤＦ作成ツール 4.2"  # E35
    meet_soft = dict(SOFT_INFO, **{"メーカ名": "ｻﾝﾌﾟﾙｼｽﾃﾑ"})                   # E21

    plans = [
        {"シリアル番号": "1",                                                 # E36
         "オリジナルファイル情報": org_entries("施工計画書", [
             ("P001_01.PDF", SOFT_PDF, "施工計画書 本文")])},
        {"シリアル番号": "2", "施工計画書名称": "交通誘導警備計画書",
         "オリジナルファイル情報": org_entries("施工計画書", [
             ("施工計画書.PDF", SOFT_PDF, "交通誘導警備計画書")])},            # E37
    ]
    final = [
        drawing_record("C0PL001Z.P21", "平面図", "1", "1:500", "株式会社見本道路",
                       "CADエディタ Ver.5", True, 1),
        dict(drawing_record("C0CS001Z.P21", "横断図", "2", "1:100", "株式会社見本道路",
                            "CADエディタ Ver.5", True, 1), _nofile=True),          # E39
    ]
    del final[0]["図面ファイル作成ソフトウェア名"]                           # E38
    others = [
        {"シリアル番号": "1", "資料名": "段階確認書（路盤）", "その他資料種類": "段階確認",  # E40
         "オリジナルファイル情報": org_entries("その他資料", [("O001_01.PDF", SOFT_PDF, "段階確認書")]),
         "_folder": "OTHRS/Org"},                                             # E43
        {"資料名": "工事履行報告書（１０月分）", "その他資料種類": "工事履行報告書",  # E41, E42
         "オリジナルファイル情報": org_entries("その他資料", [("O002_01.PDF", SOFT_PDF, "工事履行報告書")]),
         "_folder": "OTHRS/Org"},
    ]
    dlv = Delivery(path)
    build_standard(dlv, index, order, final, meets, plans, others, None, meet_soft=meet_soft)


# ---------------------------------------------------------------------------
# Benchmark delivery
# ---------------------------------------------------------------------------

BENCH_WORKS = ["側溝工", "舗装工", "路盤工", "区画線工", "防護柵工", "擁壁工", "排水構造物工",
               "法面工", "道路土工", "交通安全施設工", "縁石工", "橋梁補修工"]
BENCH_TOPICS = ["使用材料の承諾について", "施工方法の変更について", "段階確認の実施について",
                "出来形の確認について", "品質試験結果の報告について", "工程の変更協議について",
                "安全対策の追加について", "数量の変更について"]
BENCH_SENTENCES = [
    "現地の状況を確認した結果、当初設計の施工方法では近接する家屋への影響が懸念されるため、",
    "監督員と現地で立会いを行い、施工範囲及び施工手順について確認した。",
    "施工に当たっては、交通誘導警備員を配置し、歩行者及び一般車両の安全を確保する。",
    "使用する材料は、見本県の定める品質規格に適合することを試験成績書により確認した。",
    "降雨により作業を中止した日があったため、後続の作業工程を見直し、全体工期内に完了させる。",
    "出来形の測定は、各測点において幅、高さ及び延長について実施し、規格値を満足している。",
    "周辺住民への周知は、回覧板及び看板の設置により工事着手の一週間前までに行う。",
    "発生した建設副産物は、再資源化施設へ搬出し、マニフェストにより処理を確認する。",
]
BENCH_CONTENTS = ["打合せ簿本文及び", "協議事項の説明資料及び", "位置図、平面図、横断図及び",
                  "数量計算書、材料試験成績書及び", "施工状況写真、出来形測定結果及び"]


def fit(text, limit):
    """Cuts text to at most `limit` Shift-JIS bytes without splitting a character."""
    out = ""
    for c in text:
        if len(sjis(out + c)) > limit:
            break
        out += c
    return out


def sentences(start, limit):
    text = ""
    k = start
    while True:
        nxt = text + BENCH_SENTENCES[k % len(BENCH_SENTENCES)]
        if len(sjis(nxt)) > limit:
            return text
        text = nxt
        k += 1


def bench_meeting(i):
    serial = i + 1
    work = BENCH_WORKS[i % len(BENCH_WORKS)]
    topic = BENCH_TOPICS[(i // 3) % len(BENCH_TOPICS)]
    station = "No.%d+%d.0付近" % (10 + i % 90, (i * 7) % 20)
    name = fit("%s（%s）における%s（第%d回）" % (work, station, topic, 1 + i % 9), 80)
    kind = ["指示", "承諾", "協議", "提出", "提示", "報告", "通知"][i % 7]
    cls = ["施工管理", "安全管理", "出来形管理", "品質管理", "出来高管理", "原価管理",
           "工程管理", "写真管理"][i % 8]
    day = 1 + i % 28
    month = 1 + (i // 28) % 12
    year = 2020 + (i // 336) % 5
    date = "%04d-%02d-%02d" % (year, month, day)
    acc = "%04d-%02d-%02d" % (year, month, min(28, day + 1))
    by_contractor = kind not in ("指示", "通知")
    orgs = []
    for k in (1, 2):
        fname = "%05d_%02d.PDF" % (serial % 100000, k)
        content = fit(BENCH_CONTENTS[(i + k) % len(BENCH_CONTENTS)] + work + "（" + station
                      + "）の" + topic.replace("について", "") + "に関する添付資料一式及び関係者への"
                      "説明記録", 128)
        orgs.append((fname, SOFT_PDF if k == 1 else SOFT_CALC, content))
    rec = {
        "シリアル番号": str(serial), "打合せ簿種類": kind, "打合せ簿名称": name,
        "管理区分": cls, "打合せ簿番号": "K-%05d" % serial,
        "作成者": AUTHOR_C if by_contractor else AUTHOR_O,
        "提出先": "発注者" if by_contractor else "請負者",
        "発行日付": date, "受理日付": acc, "完了日付": acc,
        "オリジナルファイル情報": org_entries("打合せ簿", orgs),
        "その他": {"請負者説明文": sentences(i, 254),
                "発注者説明文": sentences(i + 3, 254),
                "予備": [sentences(i + 5, 254), sentences(i + 6, 254)]},
    }
    return rec


def write_bench(n, outdir, with_files):
    index = dict(CLEAN_INDEX)
    index["工事件名等"] = dict(CLEAN_INDEX["工事件名等"], 工事名称="県道見本線道路改良工事（大量データ）")
    write_management(outdir, "INDEX", index)
    _, (root, children), dtd = KINDS["MEET"]
    meet_dir = os.path.join(outdir, "MEET")
    os.makedirs(meet_dir, exist_ok=True)
    with open(os.path.join(meet_dir, "MEET.XML"), "wb") as f:
        f.write(crlf(['<?xml version="1.0" encoding="Shift_JIS"?>',
                      '<!DOCTYPE %s SYSTEM "%s">' % (root, dtd),
                      '<%s DTD_version="%s">' % (root, DTD_VERSION)]))
        item = children[0]
        pdf = make_pdf("打合せ簿", [["打合せ簿（大量データ用）"]]) if with_files else None
        for i in range(n):
            lines = []
            rec = bench_meeting(i)
            emit(lines, item, {item[0]: rec}, 1)
            f.write(crlf(lines))
            if with_files:
                for o in rec["オリジナルファイル情報"]:
                    write(os.path.join(meet_dir, "ORG", o["打合せ簿オリジナルファイル名"]), pdf)
        lines = []
        emit(lines, children[1], {"ソフトウェア情報": SOFT_INFO}, 1)
        lines.append("</%s>" % root)
        f.write(crlf(lines))
    write(os.path.join(meet_dir, dtd), dtd_text("MEET"))


# ---------------------------------------------------------------------------


def main(argv):
    if argv and argv[0] == "--bench-meet":
        args = [a for a in argv[1:] if a != "--with-files"]
        if len(args) != 2 or not args[0].isdigit():
            sys.stderr.write("usage: make-samples.py --bench-meet N OUTDIR [--with-files]\n")
            return 2
        write_bench(int(args[0]), args[1], "--with-files" in argv)
        return 0
    if argv:
        sys.stderr.write(__doc__)
        return 2
    for name in ("clean", "errors", "multi"):
        shutil.rmtree(os.path.join(SAMPLES, name), ignore_errors=True)
    build_clean()
    build_errors()
    build_multi()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
