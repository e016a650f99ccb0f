#!/usr/bin/env python3
# -*- coding: utf-8 -*-
"""Writes the sample deliveries under samples/ (Python 3 standard library only).

    python3 scripts/make-samples.py
        Regenerates samples/clean, samples/errors and samples/multi from scratch.
        The output is byte-for-byte the same on every run.

    python3 scripts/make-samples.py --standard-dtds FILE
        Writes the DTDs of the management files as a C++ table (FILE, e.g.
        src/check/standard_dtds.inc): what the full delivery check validates a
        management file against when its delivery lacks the DTD.

    python3 scripts/make-samples.py --bench-meet N OUTDIR [--with-files]
        Writes a large delivery for benchmarks: OUTDIR/INDEX_C.XML and
        OUTDIR/MEET/MEET.XML with N meeting records of two originals each
        (about 2.5 KB per record, so 20000 records give about 50 MB).
        The original files are written only with --with-files.

Every management file is written the way contractors' delivery software writes
them: Shift-JIS (CP932), CRLF line ends, an XML declaration naming Shift_JIS,
a DOCTYPE naming the DTD that lies beside the file, a lower-case root element
with a DTD_version attribute, one element per line. PHOTO/PHOTO.XML follows the
later photo standard (DTD_version 05, 適用要領基準, 付加情報, 施工管理値).

Photos are drawn site scenes (sky, road or river, machines, workers, the small
blackboard held up in every site photo) in 1 to 3 million pixels (1280x960,
1600x1200, 1920x1440, 1920x1080), encoded as a camera does (baseline JPEG,
4:2:0, an Exif segment with maker, model, firmware, orientation and the time
of shooting, which is the day of 撮影年月日). Portrait photos are kept lying on
their side with orientation 6 or 8, so a viewer must turn them upright.
Reference drawings (PHOTO/DRA, D0000001.JPG ...) are drawn plans and sections.
Huffman tables are made for each picture, which keeps the flat scenes small.
Drawing files (.P21) are SXF drawings of the road job written by
scripts/make-sxf-samples.py, each with its own title, stations and details.
samples/sxf holds one of them in both modes, ROADPLAN.P21 and ROADPLAN.SFC; it
is not a delivery.

samples/clean    one medium, complete; every value keeps the field rules
                 (lengths in Shift-JIS bytes, character classes, dates, word
                 lists, folder names), so the data check reports nothing.
                 33 photos of the road job and 4 reference drawings that keep
                 every photo rule, so the photo check reports nothing either.
samples/multi    one delivery on two media, MEDIA1 and MEDIA2: the same
                 INDEX_C.XML apart from メディア番号, the management files on
                 both media, the documents split between them. 19 photos of
                 the river job: PHOTO.XML on both media lists all of them,
                 メディア番号 says where each file lies (1-11 on MEDIA1, 12-19
                 on MEDIA2); each medium's PHOTO/DRA holds the drawings its
                 photos refer to.
samples/errors   one medium with the mistakes found in real deliveries.
                 Planted mistakes, file by file (the data check's finding in
                 brackets; for the photos the photo check's):

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
    E13 写真フォルダ名 missing (the PHOTO folder is there) [情報未記入]
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
  PHOTO/PHOTO.XML, PHOTO/PIC (12 records; the other photos keep the rules)
    E44 P0000004.JPG: EXIF DateTimeOriginal 2023:09:13, 撮影年月日 2023-09-12
        [Exif撮影日（2023-09-13）と不一致]
    E45 P0000005.JPG: EXIF Software "Adobe Photoshop 24.1 (Windows)", an
        edited photo [編集ソフトの記録あり]
    E46 P0000006.JPG is a PNG picture [JPEG以外（PNG）]
    E47 p0000007.jpg: file name in lower case, on disk too [ファイル名が不正]
    E48 P0000008.JPG listed but not on disk [ファイルなし]
    E49 P0000009.JPG of 640x480 pixels [画素数が範囲外]
    E50 P0000010.JPG: 写真タイトル empty [情報未記入]
    E51 P0000011.JPG: 撮影年月日 2024-02-30, a day that does not exist (the
        camera says 2024:02:20) [日付が不正]
    E52 P0000012.JPG: 撮影年月日 2024-03-16, the day after 工期終了日 as
        written (2024/03/15). E04 and E05 leave the period unreadable, so the
        photo check, which takes the period from INDEX_C.XML, cannot see it
        here [工期外の日付 only with a readable 工期終了日]
    E53 P0000013.JPG in PHOTO/PIC, named by no record [管理ファイルに記載なし]
  The medium as a whole (found by the full delivery check only)
    E54 PLAN/PLAN02.DTD, the DTD PLAN.XML names, is missing [XML の文法; the
        file is validated against the standard DTD instead]
    E55 MEET/ORG/0099_01.PDF: an empty file that no record names [空のファイル,
        記載のないファイル]
    E56 MEET/ORG/Thumbs.db left by a file manager [不要なファイル]
    E57 BACKUP/ holding an old copy of MEET.XML [規定外のフォルダ]
"""

import os
import shutil
import struct
import sys
import math
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLES = os.path.join(ROOT, "samples")

DTD_VERSION = "02"
# The photo management file follows the later photo standard (DTD_version 05).
DTD_VERSIONS = {"PHOTO": "05"}

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
    ("基礎情報", "", [("写真フォルダ名", "", None), ("参考図フォルダ名", "?", None),
                  ("適用要領基準", "", None)]),
    ("写真情報", "+", [
        ("写真ファイル情報", "", [
            ("シリアル番号", "", None), ("写真ファイル名", "", None),
            ("写真ファイル日本語名", "?", None), ("メディア番号", "", None)]),
        ("撮影工種区分", "", [
            ("写真-大分類", "", None), ("写真区分", "?", None), ("工種", "?", None),
            ("種別", "?", None), ("細別", "?", None), ("写真タイトル", "", None),
            ("工種区分予備", "*", None)]),
        ("付加情報", "*", [
            ("参考図ファイル名", "", None), ("参考図ファイル日本語名", "?", None),
            ("参考図タイトル", "", None), ("付加情報予備", "*", None)]),
        ("撮影情報", "", [("撮影箇所", "?", None), ("撮影年月日", "", None)]),
        ("代表写真", "", None), ("提出頻度写真", "", None),
        ("施工管理値", "?", None), ("請負者説明文", "?", None)]),
    ("ソフトメーカ用TAG", "*", None),
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
             '<%s DTD_version="%s">' % (root, DTD_VERSIONS.get(kind, DTD_VERSION))]
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
    version = DTD_VERSIONS.get(kind, DTD_VERSION)
    lines = ['<?xml version="1.0" encoding="Shift_JIS"?>',
             "<!-- %s %s -->" % (KINDS[kind][0], "DTD_version " + version)]
    for n in order:
        lines.append(decls[n])
        if n == root:
            lines.append('<!ATTLIST %s DTD_version CDATA #FIXED "%s">' % (root, version))
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


def optimal_table(counts):
    """BITS and HUFFVAL of the best code for the symbol counts with no code
    longer than 16 bits and none of all ones (the procedure of the JPEG
    standard's annex K.2)."""
    freq = [counts.get(i, 0) for i in range(256)] + [1]
    size = [0] * 257
    others = [-1] * 257
    while True:
        c1 = c2 = -1
        for i in range(257):
            if freq[i] and (c1 < 0 or freq[i] <= freq[c1]):
                c1 = i
        for i in range(257):
            if freq[i] and i != c1 and (c2 < 0 or freq[i] <= freq[c2]):
                c2 = i
        if c2 < 0:
            break
        freq[c1] += freq[c2]
        freq[c2] = 0
        for c in (c1, c2):
            size[c] += 1
            while others[c] >= 0:
                c = others[c]
                size[c] += 1
        c = c1
        while others[c] >= 0:
            c = others[c]
        others[c] = c2
    bits = [0] * 33
    for s in size:
        if s:
            bits[s] += 1
    for i in range(32, 16, -1):
        while bits[i] > 0:
            j = i - 2
            while bits[j] == 0:
                j -= 1
            bits[i] -= 2
            bits[i - 1] += 1
            bits[j + 1] += 2
            bits[j] -= 1
    i = 16
    while bits[i] == 0:
        i -= 1
    bits[i] -= 1    # the reserved symbol's code
    vals = [v for s in range(1, 33) for v in range(256) if size[v] == s]
    return bits[1:17], vals


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


class SampleMap(dict):
    """Colour -> one sample of it (Y, Cb or Cr, rounded; Y level-shifted), made on first use."""

    def __init__(self, weights, offset):
        super().__init__()
        self.weights, self.offset = weights, offset

    def __missing__(self, rgb):
        wr, wg, wb = self.weights
        v = self[rgb] = int(round(wr * rgb[0] + wg * rgb[1] + wb * rgb[2] + self.offset))
        return v


def encode_photo(width, height, row_of, quality=85, head=JFIF_APP0):
    """Baseline JPEG in the layout cameras write: YCbCr 4:2:0 (chroma taken
    at every other pixel of every other row) in 16x16 MCUs, with Huffman
    tables made for the picture (a first pass counts the symbols). row_of(y)
    gives row y as a list of (r, g, b); head holds the application segments."""
    quants = scaled_quant(Q_LUMA, quality), scaled_quant(Q_CHROMA, quality)
    luma, chroma = BlockCoder(quants[0]), BlockCoder(quants[1])
    to_y = SampleMap((0.299, 0.587, 0.114), -128)
    to_cb = SampleMap((-0.168736, -0.331264, 0.5), 0)
    to_cr = SampleMap((0.5, -0.418688, -0.081312), 0)
    mcu_w, mcu_h = (width + 15) // 16, (height + 15) // 16

    def eights(samples, count):
        samples += [samples[-1]] * (count * 8 - len(samples))
        return [tuple(samples[i:i + 8]) for i in range(0, count * 8, 8)]

    blocks = []    # (component: 0 Y, 1 Cb, 2 Cr; its block) in scan order
    for my in range(mcu_h):
        ys, cbs, crs = [], [], []
        for k in range(16):
            row = row_of(min(my * 16 + k, height - 1))
            ys.append(eights(list(map(to_y.__getitem__, row)), mcu_w * 2))
            if k % 2 == 0:
                half = row[::2]
                cbs.append(eights(list(map(to_cb.__getitem__, half)), mcu_w))
                crs.append(eights(list(map(to_cr.__getitem__, half)), mcu_w))
        for mx in range(mcu_w):
            for oy in (0, 8):
                for col in (mx * 2, mx * 2 + 1):
                    blocks.append((0, luma.symbols(tuple(ys[oy + i][col] for i in range(8)))))
            blocks.append((1, chroma.symbols(tuple(r[mx] for r in cbs))))
            blocks.append((2, chroma.symbols(tuple(r[mx] for r in crs))))

    dc_counts, ac_counts = ({}, {}), ({}, {})
    prev = [0, 0, 0]
    for c, (dc, ac) in blocks:
        t = min(c, 1)
        s = magnitude(dc - prev[c])[0]
        prev[c] = dc
        dc_counts[t][s] = dc_counts[t].get(s, 0) + 1
        for sym, _, _ in ac:
            ac_counts[t][sym] = ac_counts[t].get(sym, 0) + 1
    tables = tuple(HuffmanPair(*optimal_table(dc_counts[t]), *optimal_table(ac_counts[t]))
                   for t in (0, 1))

    bw = BitWriter()
    prev = [0, 0, 0]
    for c, block in blocks:
        prev[c] = tables[min(c, 1)].put(bw, block, prev[c])
    bw.flush()
    return jpeg_file(width, height, quants, tables, 0x22, head, bw.out)


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


# --- site photos: drawn scenes, EXIF, PNG -----------------------------------

class Lcg:
    """A small deterministic random source: the same numbers on every Python."""

    def __init__(self, seed):
        self.state = (seed * 7919 + 17) % 2147483648

    def next(self):
        self.state = (1103515245 * self.state + 12345) % 2147483648
        return self.state >> 8

    def uniform(self, lo, hi):
        return lo + (hi - lo) * self.next() / 8388608.0

    def below(self, n):
        return self.next() % n


class Scene:
    """A picture of filled shapes, drawn a row at a time in painter's order.

    Coordinates are fractions of the width and the height, so one design
    serves every pixel size. A colour is (r, g, b), or a pair of them for a
    vertical gradient over the shape's height."""

    def __init__(self, width, height, background=(255, 255, 255)):
        self.w, self.h = width, height
        self.shapes = []  # (top row, bottom row, colour, spans(y) -> [(x0, x1)])
        self.rect(0, 0, 1, 1, background)

    def _add(self, top, bottom, colour, spans):
        top, bottom = max(0, int(math.floor(top))), min(self.h, int(math.ceil(bottom)))
        if bottom > top:
            self.shapes.append((top, bottom, colour, spans))

    def rect(self, x0, y0, x1, y1, colour):
        span = ((round(x0 * self.w), round(x1 * self.w)),)
        self._add(round(y0 * self.h), round(y1 * self.h), colour, lambda y: span)

    def poly(self, points, colour):
        pts = [(x * self.w, y * self.h) for x, y in points]
        edges = [(a, b) for a, b in zip(pts, pts[1:] + pts[:1]) if a[1] != b[1]]

        def spans(y):
            yc = y + 0.5
            xs = sorted(xa + (yc - ya) * (xb - xa) / (yb - ya)
                        for (xa, ya), (xb, yb) in edges if (ya <= yc) != (yb <= yc))
            return [(round(xs[i]), round(xs[i + 1])) for i in range(0, len(xs) - 1, 2)]
        self._add(min(p[1] for p in pts), max(p[1] for p in pts) + 1, colour, spans)

    def line(self, x0, y0, x1, y1, thick, colour):
        """A straight stroke `thick` wide (a fraction of the width)."""
        dx, dy = (x1 - x0) * self.w, (y1 - y0) * self.h
        length = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / length * thick / 2, dx / length * thick * self.w / 2 / self.h
        self.poly([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)],
                  colour)

    def ellipse(self, cx, cy, rx, ry, colour):
        """rx is a fraction of the width, ry of the height."""
        ccx, ccy, rrx, rry = cx * self.w, cy * self.h, rx * self.w, ry * self.h

        def spans(y):
            t = (y + 0.5 - ccy) / rry
            if t * t >= 1:
                return ()
            d = rrx * math.sqrt(1 - t * t)
            return ((round(ccx - d), round(ccx + d)),)
        self._add(ccy - rry, ccy + rry + 1, colour, spans)

    def row(self, y):
        out = []
        for top, bottom, colour, spans in self.shapes:
            if not top <= y < bottom:
                continue
            if isinstance(colour[0], tuple):
                t = (y - top) / max(1, bottom - top - 1)
                colour = tuple(int(round(a + (b - a) * t)) for a, b in zip(*colour))
            for a, b in spans(y):
                a, b = max(0, a), min(self.w, b)
                if b > a:
                    out[a:b] = [colour] * (b - a)
        return out


def stored_rows(scene, orientation):
    """Row reader of the picture as the camera stores it: orientation 6 or 8
    means the scene (upright) is kept turned on its side, and the viewer turns
    it back by the EXIF orientation."""
    if orientation == 1:
        return scene.row
    columns = list(zip(*[scene.row(y) for y in range(scene.h)]))
    if orientation == 6:    # stored row 0 is the right-hand column, top first
        return lambda y: list(columns[scene.w - 1 - y])
    return lambda y: list(reversed(columns[y]))    # 8: row 0 is the left column, bottom first


def scribble(sc, x, y, count, size, colour, rnd):
    """`count` handwritten-looking characters from (x, y), each `size` high
    (a fraction of the height), written left to right."""
    cw = size * sc.h / sc.w
    t = max(size * 0.13, 1.5 / sc.h)
    tw = t * sc.h / sc.w
    for i in range(count):
        cx = x + i * cw * 1.15
        for _ in range(2 + rnd.below(3) // 2):
            kind = rnd.below(4)
            if kind == 0:      # a horizontal stroke
                yy = y + rnd.uniform(0.1, 0.85) * size
                sc.rect(cx, yy, cx + cw * rnd.uniform(0.6, 1.0), yy + t, colour)
            elif kind == 1:    # a vertical stroke
                xx = cx + rnd.uniform(0.1, 0.85) * cw
                sc.rect(xx, y, xx + tw, y + size * rnd.uniform(0.6, 1.0), colour)
            elif kind == 2:    # a box
                sc.rect(cx + 0.1 * cw, y + 0.15 * size, cx + 0.9 * cw, y + 0.2 * size + t, colour)
                sc.rect(cx + 0.1 * cw, y + 0.15 * size, cx + 0.1 * cw + tw, y + 0.85 * size, colour)
                sc.rect(cx + 0.9 * cw - tw, y + 0.15 * size, cx + 0.9 * cw, y + 0.85 * size, colour)
            else:              # a falling stroke
                sc.line(cx + 0.2 * cw, y + 0.1 * size, cx + 0.8 * cw, y + 0.9 * size, tw, colour)


def blackboard(sc, x0, y0, x1, y1, rnd, rows=4):
    """The small board held up in every site photo: frame, ruled rows, a
    caption and an entry in chalk on each row."""
    chalk = (228, 232, 222)
    sc.rect(x0, y0, x1, y1, (150, 112, 70))
    fx, fy = 0.006 * sc.h / sc.w, 0.006
    sc.rect(x0 + fx, y0 + fy, x1 - fx, y1 - fy, (40, 72, 56))
    step = (y1 - y0 - 2 * fy) / rows
    split = x0 + (x1 - x0) * 0.3
    for r in range(rows):
        top = y0 + fy + r * step
        if r:
            sc.rect(x0 + fx, top, x1 - fx, top + 0.0025, chalk)
        size = step * 0.45
        scribble(sc, x0 + fx * 3, top + step * 0.28, 2, size, chalk, rnd)
        room = int((x1 - split - 2 * fx) / (size * sc.h / sc.w * 1.15)) - 1
        scribble(sc, split + fx * 2, top + step * 0.28, max(2, min(room, 2 + rnd.below(4))),
                 size, chalk, rnd)
    sc.rect(split, y0 + fy, split + 0.0025 * sc.h / sc.w, y1 - fy, chalk)


SKIES = [((92, 142, 212), (204, 222, 240)), ((120, 150, 190), (214, 222, 230)),
         ((70, 124, 204), (188, 214, 242))]


def outdoors(sc, rnd, horizon, ground=((126, 134, 80), (96, 108, 62))):
    """Sky, far hills, nearer wooded hills and the ground below the horizon."""
    sc.rect(0, 0, 1, horizon, SKIES[rnd.below(3)])
    for far, colour in ((0.13, (120, 140, 150)), (0.06, (70, 104, 72))):
        pts = [(0, horizon)]
        for i in range(9):
            pts.append((i / 8, horizon - rnd.uniform(far * 0.3, far)))
        pts.append((1, horizon))
        sc.poly(pts, colour)
    sc.rect(0, horizon, 1, 1, ground)


def perspective(horizon, vx, s, near_x):
    """A point at depth s (0 at the horizon, 1 at the bottom edge) on the line
    that meets the bottom edge at near_x."""
    return vx + (near_x - vx) * s, horizon + (1 - horizon) * s


def road(sc, rnd, horizon, stage):
    """A road running away from the camera at the given stage of the works."""
    vx = rnd.uniform(0.42, 0.58)
    surface = {"before": (104, 104, 108), "earth": (146, 116, 82), "base": (160, 154, 142),
               "asphalt": (66, 66, 70), "done": (58, 58, 62)}[stage]
    half = 0.62 if stage != "before" else 0.42
    p = lambda s, x: perspective(horizon, vx, s, x)
    if stage in ("base", "asphalt", "done"):    # precast gutters along both sides
        a, b = 0.5 - half - 0.08, 0.5 + half + 0.08
        sc.poly([p(0, a), p(0, b), p(1, b), p(1, a)], (178, 176, 170))
    sc.poly([p(0, 0.5 - half), p(0, 0.5 + half), p(1, 0.5 + half), p(1, 0.5 - half)], surface)
    if stage == "done":    # centre line
        s = 0.04
        while s < 1:
            e = min(1, s * 1.35)
            sc.poly([p(s, 0.49), p(s, 0.51), p(e, 0.51), p(e, 0.49)], (236, 236, 230))
            s = e * 1.3
    side = 1 if rnd.below(2) else -1
    for s in (0.12, 0.22, 0.4, 0.75):    # utility poles along one side
        x, y = p(s, 0.5 + side * (half + 0.25))
        sc.rect(x, y - 0.55 * s - 0.02, x + 0.012 * s + 0.002, y, (110, 100, 90))


def excavator(sc, x, base, size):
    k = size
    sc.rect(x, base - 0.06 * k, x + 0.3 * k, base, (40, 40, 40))
    sc.rect(x + 0.02 * k, base - 0.16 * k, x + 0.28 * k, base - 0.06 * k, (228, 176, 40))
    sc.rect(x + 0.03 * k, base - 0.28 * k, x + 0.12 * k, base - 0.16 * k, (216, 166, 36))
    sc.rect(x + 0.04 * k, base - 0.26 * k, x + 0.11 * k, base - 0.19 * k, (150, 180, 200))
    sc.line(x + 0.22 * k, base - 0.14 * k, x + 0.42 * k, base - 0.38 * k, 0.03 * k, (228, 176, 40))
    sc.line(x + 0.42 * k, base - 0.38 * k, x + 0.55 * k, base - 0.12 * k, 0.022 * k, (228, 176, 40))
    sc.poly([(x + 0.52 * k, base - 0.14 * k), (x + 0.62 * k, base - 0.1 * k),
             (x + 0.58 * k, base - 0.02 * k), (x + 0.5 * k, base - 0.05 * k)], (60, 60, 60))


def roller(sc, x, base, size, colour=(232, 180, 30)):
    k = size
    sc.rect(x, base - 0.2 * k, x + 0.34 * k, base - 0.08 * k, colour)
    sc.rect(x + 0.04 * k, base - 0.32 * k, x + 0.16 * k, base - 0.2 * k, (60, 60, 64))
    for cx in (x + 0.06 * k, x + 0.28 * k):
        sc.ellipse(cx, base - 0.08 * k, 0.06 * k, 0.08 * k * sc.w / sc.h, (70, 70, 74))


def finisher(sc, x, base, size):
    k = size
    sc.rect(x, base - 0.22 * k, x + 0.5 * k, base - 0.05 * k, (236, 150, 30))
    sc.poly([(x + 0.5 * k, base - 0.22 * k), (x + 0.62 * k, base - 0.3 * k),
             (x + 0.62 * k, base - 0.1 * k), (x + 0.5 * k, base - 0.05 * k)], (210, 130, 26))
    sc.rect(x + 0.08 * k, base - 0.36 * k, x + 0.24 * k, base - 0.22 * k, (50, 50, 54))
    sc.rect(x - 0.06 * k, base - 0.06 * k, x + 0.52 * k, base, (40, 40, 42))


def cone(sc, cx, base, height):
    w = height * 0.42 * sc.h / sc.w
    sc.poly([(cx - w / 2, base), (cx - w / 8, base - height), (cx + w / 8, base - height),
             (cx + w / 2, base)], (232, 84, 36))
    sc.poly([(cx - w * 0.32, base - height * 0.45), (cx - w * 0.22, base - height * 0.7),
             (cx + w * 0.22, base - height * 0.7), (cx + w * 0.32, base - height * 0.45)],
            (240, 240, 236))
    sc.rect(cx - w * 0.62, base - height * 0.06, cx + w * 0.62, base, (40, 40, 40))


def person(sc, cx, base, height, vest=(236, 204, 44)):
    """A worker in helmet and safety vest, `height` a fraction of the height."""
    u = height * sc.h / sc.w    # one height in width fractions
    sc.rect(cx - 0.09 * u, base - 0.48 * height, cx - 0.02 * u, base, (48, 52, 70))
    sc.rect(cx + 0.02 * u, base - 0.48 * height, cx + 0.09 * u, base, (48, 52, 70))
    sc.rect(cx - 0.12 * u, base - 0.82 * height, cx + 0.12 * u, base - 0.46 * height, (60, 76, 120))
    sc.rect(cx - 0.11 * u, base - 0.8 * height, cx + 0.11 * u, base - 0.52 * height, vest)
    sc.rect(cx - 0.11 * u, base - 0.64 * height, cx + 0.11 * u, base - 0.6 * height, (214, 218, 222))
    sc.rect(cx - 0.16 * u, base - 0.8 * height, cx - 0.12 * u, base - 0.55 * height, (60, 76, 120))
    sc.rect(cx + 0.12 * u, base - 0.8 * height, cx + 0.16 * u, base - 0.55 * height, (60, 76, 120))
    sc.ellipse(cx, base - 0.89 * height, 0.065 * u, 0.07 * height, (226, 188, 156))
    sc.ellipse(cx, base - 0.95 * height, 0.08 * u, 0.05 * height, (246, 246, 240))


def staff(sc, x, top, bottom, width):
    """A levelling staff: red and white bands."""
    sc.rect(x, top, x + width, bottom, (244, 244, 240))
    step = (bottom - top) / 10
    for i in range(0, 10, 2):
        sc.rect(x, top + i * step, x + width, top + (i + 1) * step, (212, 44, 40))


def gutter_run(sc, rnd, horizon, depth_only=False):
    """Precast U-shaped gutter units laid in a trench, running away from the camera."""
    vx = rnd.uniform(0.35, 0.65)
    p = lambda s, x: perspective(horizon, vx, s, x)
    sc.poly([p(0, 0.1), p(0, 0.9), p(1, 0.9), p(1, 0.1)], (120, 96, 70))     # trench
    if depth_only:
        return vx
    sc.poly([p(0, 0.2), p(0, 0.8), p(1, 0.8), p(1, 0.2)], (196, 194, 186))   # units
    sc.poly([p(0, 0.3), p(0, 0.7), p(1, 0.7), p(1, 0.3)], (96, 96, 92))      # channel
    s = 0.05
    while s < 1:    # joints between units
        a, b = p(s, 0.2), p(s, 0.8)
        sc.rect(a[0], a[1], b[0], a[1] + max(0.002, 0.006 * s), (150, 150, 146))
        s *= 1.45
    return vx


def photo_scene(kind, stage, width, height, seed):
    """The drawn scene of one photo, upright, at the given size."""
    rnd = Lcg(seed)
    sc = Scene(width, height, (128, 128, 128))
    portrait = height > width
    horizon = rnd.uniform(0.3, 0.42)
    if kind == "road":
        outdoors(sc, rnd, horizon)
        road(sc, rnd, horizon, stage)
        if stage == "earth":
            excavator(sc, rnd.uniform(0.5, 0.62), horizon + 0.25, 0.45)
        elif stage == "base":
            roller(sc, rnd.uniform(0.45, 0.6), horizon + 0.3, 0.4)
        elif stage == "asphalt":
            finisher(sc, rnd.uniform(0.3, 0.45), horizon + 0.22, 0.5)
            roller(sc, rnd.uniform(0.62, 0.7), horizon + 0.16, 0.3, (220, 220, 210))
    elif kind == "river":
        sc.rect(0, 0, 1, horizon, SKIES[rnd.below(3)])
        sc.poly([(0, horizon), (0.5, horizon - 0.05), (1, horizon - 0.02), (1, horizon + 0.08),
                 (0, horizon + 0.05)], (80, 112, 74))                              # far bank
        sc.rect(0, horizon + 0.05, 1, 1, ((74, 112, 140), (58, 92, 118)))          # water
        slope = {"earth": (140, 112, 78), "block": (176, 174, 166), "armour": (150, 150, 146),
                 "cofferdam": (140, 112, 78)}[stage]
        sc.poly([(0, horizon + 0.02), (0.48, 0.55), (0.62, 1), (0, 1)], slope)    # near slope
        if stage == "block":    # courses of blocks, parallel to the top of the slope
            k = (0.53 - horizon) / 0.48
            for i in range(1, 7):
                d = i * 0.08
                u = d / (0.45 - 0.14 * k)
                if u < 1:
                    sc.line(0, horizon + 0.02 + d, 0.48 + 0.14 * u, 0.55 + 0.45 * u, 0.003,
                            (132, 130, 124))
        if stage in ("armour", "cofferdam"):
            for i in range(9):
                x = 0.55 + rnd.uniform(0, 0.4)
                y = horizon + 0.15 + rnd.uniform(0, 0.6)
                r = 0.02 + 0.05 * (y - horizon)
                if stage == "armour":
                    sc.poly([(x - r, y), (x, y - r * 1.2), (x + r, y), (x, y + r * 0.6)],
                            (164, 164, 158))
                else:
                    sc.ellipse(x, y, r, r * 0.5, (70, 66, 60))
            if stage == "cofferdam":
                sc.rect(0.5, horizon + 0.1, 0.53, 1, (84, 70, 60))
    elif kind == "gutter":
        outdoors(sc, rnd, horizon)
        gutter_run(sc, rnd, horizon, stage == "trench")
        if stage == "measure":
            staff(sc, rnd.uniform(0.6, 0.7), horizon + 0.08, horizon + 0.5, 0.018)
    elif kind == "close":
        ground = {"gravel": ((160, 152, 138), (136, 128, 116)), "asphalt": ((72, 72, 76), (58, 58, 62)),
                  "concrete": ((170, 170, 166), (150, 150, 146)), "truck": ((190, 190, 186), (160, 160, 156))}
        sc.rect(0, 0, 1, 1, ground[{"density": "gravel", "core": "asphalt", "slump": "concrete",
                                    "temperature": "truck", "thickness": "gravel"}[stage]])
        if stage == "density":
            sc.poly([(0.42, 0.62), (0.72, 0.6), (0.78, 0.74), (0.38, 0.77)], (176, 176, 180))
            sc.poly([(0.54, 0.35), (0.62, 0.35), (0.66, 0.66), (0.5, 0.66)], (208, 214, 220))
            sc.poly([(0.5, 0.6), (0.66, 0.6), (0.6, 0.7), (0.56, 0.7)], (90, 96, 104))
        elif stage == "core":
            squash = 0.85 * width / height    # a round hole seen a little from the side
            sc.ellipse(0.56, 0.56, 0.08, 0.08 * squash, (30, 30, 32))
            sc.ellipse(0.56, 0.56, 0.06, 0.06 * squash, (52, 50, 48))
            sc.rect(0.7, 0.3, 0.76, 0.8, (150, 150, 146))
        elif stage == "slump":
            sc.poly([(0.4, 0.72), (0.46, 0.52), (0.58, 0.5), (0.66, 0.72)], (132, 132, 128))
            sc.poly([(0.7, 0.3), (0.78, 0.3), (0.82, 0.72), (0.66, 0.72)], (196, 198, 200))
            staff(sc, 0.34, 0.3, 0.72, 0.012)
        elif stage == "temperature":
            sc.poly([(0.25, 0.8), (0.4, 0.38), (0.62, 0.34), (0.85, 0.8)], (38, 36, 34))
            sc.line(0.55, 0.2, 0.6, 0.58, 0.006, (200, 200, 204))
            sc.rect(0.5, 0.12, 0.64, 0.22, (230, 208, 40))
            sc.rect(0.52, 0.14, 0.62, 0.19, (40, 60, 40))
        elif stage == "thickness":
            sc.rect(0, 0.5, 1, 0.58, (90, 84, 76))
            staff(sc, 0.55, 0.3, 0.62, 0.012)
        for _ in range(6):    # stones
            x, y = rnd.uniform(0.1, 0.9), rnd.uniform(0.05, 0.4)
            sc.ellipse(x, y, 0.012, 0.012 * width / height, (120, 116, 108))
    elif kind == "sign":
        outdoors(sc, rnd, 0.55)
        sc.rect(0.2, 0.42, 0.23, 0.78, (90, 90, 96))
        sc.rect(0.77, 0.42, 0.8, 0.78, (90, 90, 96))
        sc.rect(0.12, 0.12, 0.88, 0.5, (246, 246, 244))
        sc.rect(0.12, 0.12, 0.88, 0.2, (30, 70, 150))
        scribble(sc, 0.2, 0.135, 6, 0.05, (246, 246, 244), rnd)
        for r in range(4):
            scribble(sc, 0.17, 0.24 + r * 0.065, 8 + rnd.below(4), 0.035, (30, 30, 30), rnd)
        for cx in (0.15, 0.85):
            cone(sc, cx, 0.9, 0.1)
    elif kind == "guard":
        outdoors(sc, rnd, 0.42)
        road(sc, rnd, 0.42, "before")
        person(sc, 0.5, 0.88, 0.5)
        sc.rect(0.6, 0.48, 0.606, 0.62, (90, 70, 50))
        sc.rect(0.606, 0.48, 0.68, 0.53, (214, 40, 40))
        for cx in (0.2, 0.82):
            cone(sc, cx, 0.8, 0.09)
    elif kind == "pit":
        sc.rect(0, 0, 1, 1, ((136, 110, 80), (112, 90, 66)))
        sc.poly([(0.25, 0.35), (0.75, 0.35), (0.82, 0.7), (0.18, 0.7)], (190, 188, 182))
        sc.poly([(0.32, 0.4), (0.68, 0.4), (0.73, 0.64), (0.27, 0.64)], (80, 80, 78))
        staff(sc, 0.8, 0.2, 0.66, 0.03)
    elif kind == "stack":
        sc.rect(0, 0, 1, 0.3, SKIES[0])
        sc.rect(0, 0.3, 1, 1, ((150, 146, 136), (128, 124, 116)))
        for r in range(4):
            y = 0.72 - r * 0.11
            sc.rect(0.15, y - 0.1, 0.85, y, (196, 194, 188))
            sc.rect(0.2, y - 0.085, 0.8, y - 0.015, (120, 120, 116))
            sc.rect(0.15, y, 0.85, y + 0.012, (140, 110, 70))
    elif kind == "training":
        outdoors(sc, rnd, 0.45)
        sc.poly([(0.2, 0.3), (0.8, 0.3), (0.86, 0.4), (0.14, 0.4)], (236, 236, 236))
        sc.rect(0.16, 0.4, 0.175, 0.72, (150, 150, 150))
        sc.rect(0.825, 0.4, 0.84, 0.72, (150, 150, 150))
        for i in range(6):
            person(sc, 0.24 + i * 0.1, 0.8 + (i % 2) * 0.03, 0.34)
    if kind != "sign":    # the notice board is the subject of its photo
        if portrait:
            blackboard(sc, 0.05, 0.7, 0.6, 0.95, rnd, 4)
        elif kind in ("close", "pit"):
            blackboard(sc, 0.05, 0.62, 0.36, 0.95, rnd, 5)
        else:
            left = rnd.below(2)
            x0 = 0.03 if left else 0.69
            blackboard(sc, x0, 0.7, x0 + 0.28, 0.96, rnd, 4)
    return sc


def drawing_scene(kind, width, height, seed):
    """A reference drawing: black lines on white, a frame and a title block."""
    rnd = Lcg(seed)
    ink = (24, 24, 28)
    sc = Scene(width, height, (255, 255, 255))
    t = 0.0022    # line width
    th = t * sc.w / sc.h
    for x0, y0, x1, y1 in ((0.02, 0.03, 0.98, 0.03), (0.02, 0.97, 0.98, 0.97)):
        sc.rect(x0, y0, x1, y1 + th, ink)
    sc.rect(0.02, 0.03, 0.02 + t, 0.97, ink)
    sc.rect(0.98 - t, 0.03, 0.98, 0.97, ink)
    sc.rect(0.66, 0.84, 0.98, 0.84 + th, ink)        # title block
    sc.rect(0.66, 0.84, 0.66 + t, 0.97, ink)
    scribble(sc, 0.69, 0.87, 6, 0.05, ink, rnd)
    if kind == "plan":
        for y in (0.35, 0.55):
            sc.rect(0.05, y, 0.95, y + th, ink)
        for x in range(0, 18):
            xx = 0.06 + x * 0.05
            sc.rect(xx, 0.445, xx + 0.025, 0.445 + th, (200, 40, 40))
        for i in range(10):
            xx = 0.08 + i * 0.095
            sc.rect(xx, 0.32, xx + t, 0.38, ink)
            scribble(sc, xx - 0.01, 0.26, 2, 0.035, ink, rnd)
        for i in range(3):
            cx, cy = 0.15 + 0.3 * i + rnd.uniform(0, 0.1), 0.66 + rnd.uniform(0, 0.08)
            sc.ellipse(cx, cy, 0.012, 0.016, (210, 30, 30))
            sc.poly([(cx, cy - 0.02), (cx + 0.04, cy - 0.1), (cx + 0.06, cy - 0.07)], (210, 30, 30))
        sc.poly([(0.9, 0.1), (0.88, 0.2), (0.92, 0.2)], ink)    # north arrow
    elif kind in ("gutter", "revetment"):
        pts = ([(0.3, 0.25), (0.36, 0.25), (0.38, 0.6), (0.62, 0.6), (0.64, 0.25), (0.7, 0.25),
                (0.68, 0.68), (0.32, 0.68)] if kind == "gutter" else
               [(0.1, 0.75), (0.55, 0.2), (0.62, 0.2), (0.25, 0.75)])
        for a, b in zip(pts, pts[1:] + pts[:1]):
            sc.line(a[0], a[1], b[0], b[1], t, ink)
        sc.rect(0.25, 0.68, 0.75, 0.76, (210, 206, 196))     # base gravel
        for i in range(12):
            x = 0.26 + i * 0.04
            sc.line(x, 0.755, x + 0.025, 0.685, t * 0.7, ink)
        sc.rect(0.3, 0.15, 0.7, 0.15 + th, ink)              # dimension line
        scribble(sc, 0.45, 0.09, 3, 0.04, ink, rnd)
    elif kind == "box":     # a catch basin in plan: walls, opening, pipe
        for inset in (0.0, 0.05):
            x0, y0, x1, y1 = 0.3 + inset * 0.75, 0.2 + inset, 0.6 - inset * 0.75, 0.7 - inset
            sc.rect(x0, y0, x1, y0 + th, ink)
            sc.rect(x0, y1, x1, y1 + th, ink)
            sc.rect(x0, y0, x0 + t, y1, ink)
            sc.rect(x1, y0, x1 + t, y1 + th, ink)
        sc.rect(0.6, 0.42, 0.85, 0.42 + th, ink)
        sc.rect(0.6, 0.48, 0.85, 0.48 + th, ink)
        sc.rect(0.3, 0.12, 0.6, 0.12 + th, ink)              # dimension line
        scribble(sc, 0.4, 0.06, 3, 0.04, ink, rnd)
    else:   # "layers": pavement build-up
        y = 0.2
        for i, (hgt, colour) in enumerate(((0.08, (70, 70, 74)), (0.1, (120, 120, 124)),
                                           (0.15, (190, 180, 160)), (0.2, (220, 210, 190)))):
            sc.rect(0.15, y, 0.55, y + hgt, colour)
            sc.rect(0.15, y, 0.55, y + th, ink)
            scribble(sc, 0.6, y + hgt / 2 - 0.02, 5 + i, 0.04, ink, rnd)
            y += hgt
        sc.rect(0.15, y, 0.55, y + th, ink)
    return sc


def exif_segment(make, model, software, orientation, shot_at, width, height, saved_at=None):
    """APP1 Exif as a camera writes it (little-endian TIFF): IFD0 with the
    camera, orientation, software and file time, the Exif IFD with the time of
    shooting and the pixel size. Times are "YYYY:MM:DD HH:MM:SS"."""
    def ascii(text):
        return 2, len(text) + 1, text.encode("ascii") + b"\0"

    def short(v):
        return 3, 1, struct.pack("<H", v)

    def long_(v):
        return 4, 1, struct.pack("<I", v)

    def rational(n, d):
        return 5, 1, struct.pack("<II", n, d)

    def undefined(data):
        return 7, len(data), data

    def ifd(entries, at):
        """The IFD at offset `at`, followed by the values longer than four bytes."""
        out, data = struct.pack("<H", len(entries)), b""
        data_at = at + 2 + 12 * len(entries) + 4
        for tag, (kind, count, value) in entries:
            if len(value) <= 4:
                field = value.ljust(4, b"\0")
            else:
                field = struct.pack("<I", data_at + len(data))
                data += value + b"\0" * (len(value) % 2)
            out += struct.pack("<HHI", tag, kind, count) + field
        return out + struct.pack("<I", 0) + data

    ifd0 = [(0x010F, ascii(make)), (0x0110, ascii(model)), (0x0112, short(orientation)),
            (0x011A, rational(72, 1)), (0x011B, rational(72, 1)), (0x0128, short(2)),
            (0x0131, ascii(software)), (0x0132, ascii(saved_at or shot_at)), (0x0213, short(2)),
            (0x8769, long_(0))]
    exif_at = 8 + len(ifd(ifd0, 8))
    ifd0[-1] = (0x8769, long_(exif_at))
    exif = [(0x829A, rational(1, 250)), (0x829D, rational(56, 10)), (0x8827, short(100)),
            (0x9000, undefined(b"0230")), (0x9003, ascii(shot_at)), (0x9004, ascii(shot_at)),
            (0x9101, undefined(b"\1\2\3\0")), (0x920A, rational(50, 10)),
            (0xA000, undefined(b"0100")), (0xA001, short(1)),
            (0xA002, long_(width)), (0xA003, long_(height))]
    tiff = b"II*\0" + struct.pack("<I", 8) + ifd(ifd0, 8) + ifd(exif, exif_at)
    return jpeg_segment(0xE1, b"Exif\0\0" + tiff)


def make_png(width, height, row_of):
    """An RGB PNG of the rows row_of(y) gives (lists of (r, g, b))."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\0" + b"".join(map(bytes, row_of(y))) for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


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


def sxf_samples():
    """The drawing generator beside this script (scripts/make-sxf-samples.py)."""
    if "sxf" not in _modules:
        import importlib.util
        spec = importlib.util.spec_from_file_location(
            "make_sxf_samples", os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                             "make-sxf-samples.py"))
        _modules["sxf"] = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(_modules["sxf"])
    return _modules["sxf"]


_modules = {}


def make_p21(file_name, draw_name, author, scale, office=None):
    """A drawing file: the road plan of the job as the drafting schema's entities."""
    return sxf_samples().drawing_p21(file_name, draw_name, scale, CURRENT_KOJI[0], author,
                                     office or author)


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
                   tokki_files=True, meet_soft=SOFT_INFO):
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
                                                    rec.get("図面尺度", ""), orderer))
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
                                                rec.get("図面尺度", ""), orderer))
        write_management(os.path.join(p, "DRAWINGF"), "DRAWINGF",
                         {"図面情報": [strip(r) for r in recs], "ソフトウェア情報": SOFT_INFO})

    if photos is not None:
        write_photos(dlv, photos)

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


# --- photos: PHOTO/PHOTO.XML, PHOTO/PIC, PHOTO/DRA ---------------------------

# Pixel sizes; portrait photos are kept by the camera as landscape pictures
# with an EXIF orientation.
PHOTO_SIZES = {"S": (1280, 960), "M": (1600, 1200), "L": (1920, 1440), "W": (1920, 1080),
               "VGA": (640, 480)}
CAMERAS = [("MIHON KOGAKU", "MK-KS5", "MK-KS5 Ver.1.02"),
           ("MIHON KOGAKU", "MK-T30", "MK-T30 Firmware 2.1")]
PHOTO_QUALITY = 70


def shot(file_name, division, work, kind, detail, title, place, when, scene, **more):
    """One photo and its record. `when` is 撮影年月日 and the time it was
    taken ("YYYY-MM-DD HH:MM"); scene is (kind, stage) of photo_scene.
    More: size (a PHOTO_SIZES key), orientation (1, 6, 8), rep, freq,
    control (施工管理値), note (請負者説明文), refs (参考図 files), spare
    (工種区分予備), camera, media (メディア番号), jname (写真ファイル日本語名
    written), and the planted mistakes: exif_when (the camera's time when it
    differs), software (EXIF Software), content ("png", or None for a listed
    photo with no file)."""
    return dict(more, file=file_name, division=division, work=work, kind=kind, detail=detail,
                title=title, place=place, when=when, scene=scene)


def photo_file(s, seed):
    """The bytes of a photo: a drawn scene with the camera's EXIF."""
    width, height = PHOTO_SIZES[s.get("size", "S")]
    orientation = s.get("orientation", 1)
    upright = (height, width) if orientation in (6, 8) else (width, height)
    scene = photo_scene(s["scene"][0], s["scene"][1], upright[0], upright[1], seed)
    rows = stored_rows(scene, orientation)
    if s.get("content", "jpeg") == "png":
        return make_png(width, height, rows)
    make, model, software = CAMERAS[s.get("camera", 0)]
    when = s.get("exif_when", s["when"])
    shot_at = when.replace("-", ":") + ":%02d" % (seed * 37 % 60)
    saved_at = None
    if s.get("software"):
        software = s["software"]
        saved_at = s["saved_at"]
    head = exif_segment(make, model, software, orientation, shot_at, width, height, saved_at)
    return encode_photo(width, height, rows, PHOTO_QUALITY, head)


def photo_record(serial, s, drawings):
    files = {"シリアル番号": str(serial), "写真ファイル名": s["file"],
             "メディア番号": str(s.get("media", 1))}
    if s.get("jname", True):
        files["写真ファイル日本語名"] = s["title"] + ".JPG"
    classes = {"写真-大分類": "工事", "写真区分": s["division"], "工種": s["work"],
               "種別": s["kind"], "細別": s["detail"]}
    classes = {k: v for k, v in classes.items() if v}
    classes["写真タイトル"] = s["title"]
    if s.get("spare"):
        classes["工種区分予備"] = list(s["spare"])
    rec = {"写真ファイル情報": files, "撮影工種区分": classes}
    refs = []
    for f in s.get("refs", ()):
        title, _, spare = drawings[f]
        ref = {"参考図ファイル名": f, "参考図ファイル日本語名": title + ".JPG", "参考図タイトル": title}
        if spare:
            ref["付加情報予備"] = [spare]
        refs.append(ref)
    if refs:
        rec["付加情報"] = refs
    taken = {"撮影年月日": s["when"].split()[0]}
    if s["place"]:
        taken["撮影箇所"] = s["place"]
    rec["撮影情報"] = taken
    rec["代表写真"] = "1" if s.get("rep") else "0"
    rec["提出頻度写真"] = "1" if s.get("freq") else "0"
    if s.get("control"):
        rec["施工管理値"] = s["control"]
    if s.get("note"):
        rec["請負者説明文"] = s["note"]
    return rec


def write_photos(dlv, photos):
    """PHOTO/PHOTO.XML with its DTD, the photos this medium carries in
    PHOTO/PIC and the reference drawings of those photos in PHOTO/DRA.

    Every medium's PHOTO.XML lists every photo; メディア番号 says which
    medium holds the file."""
    folder = os.path.join(dlv.path, "PHOTO")
    shots, drawings = photos["shots"], photos["drawings"]
    used = set()
    for i, s in enumerate(shots):
        if s.get("media", 1) != dlv.media_no:
            continue
        used.update(s.get("refs", ()))
        if s.get("content", "jpeg"):
            write(os.path.join(folder, "PIC", s["file"]), photo_file(s, photos["seed"] + i))
    for k, s in enumerate(photos.get("unlisted", ())):
        write(os.path.join(folder, "PIC", s["file"]), photo_file(s, photos["seed"] + 100 + k))
    for k, f in enumerate(sorted(drawings)):
        if f in used:
            sc = drawing_scene(drawings[f][1], 1280, 960, photos["seed"] + k)
            write(os.path.join(folder, "DRA", f), encode_photo(1280, 960, sc.row, PHOTO_QUALITY))
    base = {"写真フォルダ名": "PHOTO/PIC"}
    if drawings:
        base["参考図フォルダ名"] = "PHOTO/DRA"
    base["適用要領基準"] = photos["standard"]
    write_management(folder, "PHOTO", {
        "基礎情報": base,
        "写真情報": [photo_record(i + 1, s, drawings) for i, s in enumerate(shots)],
        "ソフトメーカ用TAG": SOFT_INFO["ソフトメーカ用TAG"],
    })


# The photos of the road job: every one keeps the photo rules (names, JPEG,
# 1-3 million pixels, 撮影年月日 inside the period and equal to the camera's
# date, no editing software, every required field filled).
CLEAN_PHOTOS = {
    "standard": "土木202303-01",
    "seed": 1,
    "drawings": {  # file: (参考図タイトル, drawing kind, 付加情報予備)
        "D0000001.JPG": ("撮影位置図", "plan", "撮影位置は図中の赤丸"),
        "D0000002.JPG": ("側溝構造図", "gutter", ""),
        "D0000003.JPG": ("舗装構成図", "layers", ""),
        "D0000004.JPG": ("集水桝構造図", "box", ""),
    },
    "shots": [
        shot("P0000001.JPG", "着手前及び完成写真", "道路土工", "", "", "着手前全景",
             "No.12 起点側より終点側を望む", "2023-04-10 09:12", ("road", "before"),
             size="M", rep=1, freq=1, refs=["D0000001.JPG"]),
        shot("P0000002.JPG", "着手前及び完成写真", "道路土工", "", "", "着手前（No.20付近）",
             "No.20 左側より右側を望む", "2023-04-10 09:26", ("road", "before"), freq=1),
        shot("P0000003.JPG", "着手前及び完成写真", "排水構造物工", "", "", "着手前 既設水路",
             "No.24+10.0 左側", "2023-04-10 09:41", ("gutter", "trench"), freq=1),
        shot("P0000004.JPG", "安全管理写真", "", "", "", "工事看板設置状況",
             "No.12 起点側", "2023-04-12 08:34", ("sign", ""), orientation=6, freq=1),
        shot("P0000005.JPG", "安全管理写真", "", "", "", "交通誘導警備員配置状況",
             "No.16+5.0", "2023-04-17 08:15", ("guard", ""), orientation=8),
        shot("P0000006.JPG", "使用材料写真", "道路土工", "路体盛土工", "", "盛土材料 搬入状況",
             "", "2023-04-20 10:05", ("road", "earth")),
        shot("P0000007.JPG", "施工状況写真", "道路土工", "掘削工", "土砂掘削", "掘削状況",
             "No.14+5.0", "2023-04-24 13:20", ("road", "earth"), size="M"),
        shot("P0000008.JPG", "施工状況写真", "道路土工", "路体盛土工", "", "路体盛土 敷均し状況",
             "No.18+0.0", "2023-05-10 10:40", ("road", "earth")),
        shot("P0000009.JPG", "施工状況写真", "道路土工", "路体盛土工", "", "路体盛土 転圧状況",
             "No.18+0.0", "2023-05-10 14:10", ("road", "base")),
        shot("P0000010.JPG", "品質管理写真", "道路土工", "路体盛土工", "", "現場密度試験状況",
             "No.18+10.0", "2023-05-12 09:30", ("close", "density"), camera=1, freq=1,
             control="締固め度 96.2%（規格値 90%以上）"),
        shot("P0000011.JPG", "安全管理写真", "", "", "", "安全訓練実施状況",
             "現場事務所", "2023-05-30 15:00", ("training", ""),
             note="5月の安全訓練（熱中症予防）の実施状況。"),
        shot("P0000012.JPG", "施工状況写真", "道路土工", "路床盛土工", "", "段階確認状況（路床）",
             "No.20+0.0", "2023-06-05 10:00", ("road", "base"), spare=["段階確認"],
             note="監督員の立会いのうえ確認を受けた。"),
        shot("P0000013.JPG", "出来形管理写真", "道路土工", "路床盛土工", "", "路床 幅員測定",
             "No.20+0.0", "2023-06-05 10:25", ("road", "base"), freq=1,
             control="幅 設計 7,000mm 実測 7,015mm"),
        shot("P0000014.JPG", "施工状況写真", "排水構造物工", "側溝工", "プレキャストU型側溝",
             "床掘状況", "No.22+0.0", "2023-06-20 11:10", ("gutter", "trench")),
        shot("P0000015.JPG", "使用材料写真", "排水構造物工", "側溝工", "プレキャストU型側溝",
             "U型側溝 搬入検収", "資材置場", "2023-06-26 08:50", ("stack", ""),
             orientation=6, freq=1),
        shot("P0000016.JPG", "施工状況写真", "排水構造物工", "側溝工", "プレキャストU型側溝",
             "側溝据付状況", "No.18 付近 側溝据付", "2023-07-05 10:20", ("gutter", "laid"),
             size="L", rep=1),
        shot("P0000017.JPG", "出来形管理写真", "排水構造物工", "側溝工", "プレキャストU型側溝",
             "側溝 基準高測定", "No.18+0.0", "2023-07-07 09:45", ("gutter", "measure"),
             size="M", camera=1, freq=1, refs=["D0000002.JPG"],
             control="基準高 設計 25.340m 実測 25.332m（差 -8mm）"),
        shot("P0000018.JPG", "出来形管理写真", "排水構造物工", "側溝工", "プレキャストU型側溝",
             "側溝 延長測定", "No.18～No.22", "2023-07-10 10:05", ("gutter", "measure"),
             camera=1, control="延長 設計 80.0m 実測 80.1m"),
        shot("P0000019.JPG", "品質管理写真", "排水構造物工", "集水桝工", "集水桝",
             "生コンクリート受入試験（スランプ）", "No.24+10.0", "2023-07-20 09:15",
             ("close", "slump"), camera=1, freq=1, control="スランプ 8.0cm（規格値 8±2.5cm）"),
        shot("P0000020.JPG", "施工状況写真", "排水構造物工", "集水桝工", "集水桝", "集水桝据付状況",
             "No.24+10.0", "2023-07-25 14:30", ("pit", ""), orientation=8, refs=["D0000004.JPG"]),
        shot("P0000021.JPG", "施工状況写真", "舗装工", "アスファルト舗装工", "下層路盤工",
             "下層路盤 敷均し状況", "No.16+0.0", "2023-10-11 10:30", ("road", "base"), size="M"),
        shot("P0000022.JPG", "品質管理写真", "舗装工", "アスファルト舗装工", "下層路盤工",
             "下層路盤 現場密度試験", "No.16+10.0", "2023-10-13 09:20", ("close", "density"),
             camera=1, control="締固め度 97.5%（規格値 93%以上）"),
        shot("P0000023.JPG", "出来形管理写真", "舗装工", "アスファルト舗装工", "下層路盤工",
             "下層路盤 厚さ測定", "No.16+0.0", "2023-10-13 11:00", ("close", "thickness"),
             camera=1, freq=1, refs=["D0000003.JPG"], control="厚さ 設計 150mm 実測 154mm"),
        shot("P0000024.JPG", "施工状況写真", "舗装工", "アスファルト舗装工", "上層路盤工",
             "上層路盤 転圧状況", "No.20+0.0", "2023-10-25 13:40", ("road", "base")),
        shot("P0000025.JPG", "使用材料写真", "舗装工", "アスファルト舗装工", "表層工",
             "アスファルト混合物 到着温度測定", "No.22+0.0", "2023-11-14 08:40",
             ("close", "temperature"), camera=1, control="到着温度 162℃（規格値 150℃以上）"),
        shot("P0000026.JPG", "施工状況写真", "舗装工", "アスファルト舗装工", "表層工", "表層 舗設状況",
             "No.22+0.0", "2023-11-14 09:30", ("road", "asphalt"), size="L", rep=1),
        shot("P0000027.JPG", "施工状況写真", "舗装工", "アスファルト舗装工", "表層工",
             "表層 初期転圧状況", "No.22+10.0", "2023-11-14 10:10", ("road", "asphalt")),
        shot("P0000028.JPG", "品質管理写真", "舗装工", "アスファルト舗装工", "表層工", "コア採取状況",
             "No.24+0.0", "2023-11-21 10:50", ("close", "core"), camera=1, freq=1,
             control="密度 2.362g/cm3 締固め度 98.8%"),
        shot("P0000029.JPG", "出来形管理写真", "舗装工", "アスファルト舗装工", "表層工",
             "表層 厚さ測定（コア）", "No.24+0.0", "2023-11-21 11:20", ("close", "core"),
             orientation=6, camera=1, control="厚さ 設計 50mm 実測 52mm"),
        shot("P0000030.JPG", "出来形管理写真", "舗装工", "アスファルト舗装工", "表層工",
             "表層 幅員測定", "No.28+0.0", "2023-11-22 09:50", ("road", "done"), size="W",
             control="幅 設計 6,500mm 実測 6,512mm"),
        shot("P0000031.JPG", "着手前及び完成写真", "舗装工", "", "", "完成全景",
             "No.30 終点側より起点側を望む", "2024-02-20 10:15", ("road", "done"),
             size="L", rep=1, freq=1, refs=["D0000001.JPG"]),
        shot("P0000032.JPG", "着手前及び完成写真", "道路土工", "", "", "完成（No.20付近）",
             "No.20 左側より右側を望む", "2024-02-20 10:30", ("road", "done"), freq=1),
        shot("P0000033.JPG", "着手前及び完成写真", "排水構造物工", "", "", "完成 側溝",
             "No.24+10.0 左側", "2024-02-20 10:45", ("gutter", "laid"), rep=1, freq=1,
             refs=["D0000002.JPG", "D0000004.JPG"]),
    ],
}


def build_clean():
    path = os.path.join(SAMPLES, "clean")
    dlv = Delivery(path)
    build_standard(dlv, CLEAN_INDEX, CLEAN_ORDER_DRAWINGS, CLEAN_FINAL_DRAWINGS,
                   CLEAN_MEETINGS, CLEAN_PLANS, CLEAN_OTHERS, CLEAN_PHOTOS)


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


# The photos of the river job, numbered in the order they were taken;
# medium 1 holds the first eleven, medium 2 the rest.
MULTI_PHOTOS = {
    "standard": "土木202203-01",
    "seed": 201,
    "drawings": {
        "D0000001.JPG": ("撮影位置図", "plan", ""),
        "D0000002.JPG": ("護岸構造図", "revetment", ""),
    },
    "shots": [dict(s, jname=False, media=1 if i < 11 else 2) for i, s in enumerate([
        shot("P0000001.JPG", "着手前及び完成写真", "河川土工", "", "", "着手前全景",
             "左岸 4.2k+00 上流を望む", "2022-06-01 09:30", ("river", "earth"),
             size="M", rep=1, freq=1, refs=["D0000001.JPG"]),
        shot("P0000002.JPG", "着手前及び完成写真", "護岸工", "", "", "着手前 護岸施工箇所",
             "左岸 4.3k+20", "2022-06-01 09:45", ("river", "earth"), freq=1),
        shot("P0000003.JPG", "安全管理写真", "", "", "", "工事看板設置状況",
             "左岸 4.2k 付近", "2022-06-06 08:40", ("sign", ""), orientation=6),
        shot("P0000004.JPG", "施工状況写真", "仮設工", "仮締切工", "大型土のう", "仮締切設置状況",
             "左岸 4.2k+50", "2022-07-25 10:20", ("river", "cofferdam")),
        shot("P0000005.JPG", "安全管理写真", "", "", "", "出水期 避難経路確認状況",
             "左岸 4.2k 付近", "2022-08-02 15:30", ("guard", ""), orientation=8,
             note="出水期の安全対策についての指示による。"),
        shot("P0000006.JPG", "施工状況写真", "河川土工", "掘削工", "土砂掘削", "床掘状況",
             "左岸 4.3k+00", "2022-08-08 13:10", ("river", "earth")),
        shot("P0000007.JPG", "施工状況写真", "護岸工", "基礎工", "基礎コンクリート",
             "段階確認状況（床掘り）", "左岸 4.3k+00", "2022-08-10 10:00", ("river", "earth"),
             spare=["段階確認"]),
        shot("P0000008.JPG", "使用材料写真", "護岸工", "ブロック積工", "コンクリートブロック",
             "護岸ブロック 搬入検収", "資材置場", "2022-08-22 09:00", ("stack", ""),
             orientation=6, freq=1),
        shot("P0000009.JPG", "施工状況写真", "護岸工", "ブロック積工", "コンクリートブロック",
             "ブロック積 施工状況", "左岸 4.3k+00", "2022-09-05 10:40", ("river", "block"),
             size="L", rep=1),
        shot("P0000010.JPG", "品質管理写真", "護岸工", "ブロック積工", "胴込コンクリート",
             "生コンクリート受入試験（スランプ）", "左岸 4.3k+00", "2022-09-06 09:10",
             ("close", "slump"), camera=1, freq=1, control="スランプ 8.0cm（規格値 8±2.5cm）"),
        shot("P0000011.JPG", "災害写真", "", "", "", "出水後 被災状況", "左岸 4.3k+40",
             "2022-09-20 08:20", ("river", "earth"), rep=1,
             note="台風による出水。被災状況は報告書により報告済み。"),
        shot("P0000012.JPG", "出来形管理写真", "護岸工", "ブロック積工", "コンクリートブロック",
             "法長測定", "左岸 4.3k+20", "2022-10-18 11:15", ("river", "block"), camera=1,
             freq=1, refs=["D0000002.JPG"], control="法長 設計 5.60m 実測 5.63m"),
        shot("P0000013.JPG", "品質管理写真", "根固め工", "根固めブロック工", "根固めブロック",
             "供試体 圧縮強度試験", "試験場", "2022-11-09 14:00", ("close", "core"), camera=1,
             control="圧縮強度 24.6N/mm2（設計基準強度 18N/mm2）"),
        shot("P0000014.JPG", "施工状況写真", "根固め工", "根固めブロック工", "根固めブロック",
             "根固めブロック 据付状況", "左岸 4.3k+60", "2022-11-15 13:30", ("river", "armour"),
             size="M"),
        shot("P0000015.JPG", "出来形管理写真", "根固め工", "根固めブロック工", "根固めブロック",
             "根固めブロック 据付個数確認", "左岸 4.3k+60", "2022-12-02 10:50",
             ("river", "armour"), camera=1, freq=1, control="据付個数 設計 180個 実測 180個"),
        shot("P0000016.JPG", "施工状況写真", "仮設工", "仮締切工", "大型土のう", "仮締切撤去状況",
             "左岸 4.2k+50", "2023-02-14 10:30", ("river", "cofferdam")),
        shot("P0000017.JPG", "着手前及び完成写真", "河川土工", "", "", "完成全景",
             "左岸 4.2k+00 上流を望む", "2023-03-10 10:00", ("river", "armour"),
             size="L", rep=1, freq=1, refs=["D0000001.JPG"]),
        shot("P0000018.JPG", "着手前及び完成写真", "護岸工", "", "", "完成 護岸",
             "左岸 4.3k+20", "2023-03-10 10:20", ("river", "block"), freq=1),
        shot("P0000019.JPG", "着手前及び完成写真", "根固め工", "", "", "完成 根固め",
             "左岸 4.3k+60", "2023-03-10 10:35", ("river", "armour"), size="W", freq=1),
    ])],
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
                       MULTI_MEETINGS, MULTI_PLANS, MULTI_OTHERS, MULTI_PHOTOS)


# --- delivery with planted mistakes (see the list at the top) ----------------

# The photos with the planted mistakes E44-E53 (see the list at the top);
# every other photo keeps the rules.
ERRORS_PHOTOS = {
    "standard": "土木202303-01",
    "seed": 401,
    "drawings": {"D0000001.JPG": ("撮影位置図", "plan", "")},
    "shots": [
        shot("P0000001.JPG", "着手前及び完成写真", "舗装工", "", "", "着手前全景",
             "駅前広場 北側より", "2023-04-05 09:00", ("road", "before"), rep=1, freq=1,
             refs=["D0000001.JPG"]),
        shot("P0000002.JPG", "安全管理写真", "", "", "", "工事看板設置状況",
             "駅前広場 入口", "2023-04-07 08:30", ("sign", ""), orientation=6),
        shot("P0000003.JPG", "施工状況写真", "舗装工", "アスファルト舗装工", "表層工", "表層 舗設状況",
             "駅前広場 中央", "2023-09-05 10:00", ("road", "asphalt")),
        shot("P0000004.JPG", "品質管理写真", "舗装工", "アスファルト舗装工", "表層工", "コア採取状況",
             "駅前広場 中央", "2023-09-12 10:30", ("close", "core"),
             exif_when="2023-09-13 10:30"),                                        # E44
        shot("P0000005.JPG", "出来形管理写真", "舗装工", "アスファルト舗装工", "表層工",
             "表層 厚さ測定", "駅前広場 中央", "2023-09-12 11:00", ("close", "thickness"),
             software="Adobe Photoshop 24.1 (Windows)", saved_at="2023:09:20 17:42:10"),  # E45
        shot("P0000006.JPG", "施工状況写真", "区画線工", "区画線工", "溶融式区画線",
             "区画線 施工状況", "駅前広場 南側", "2023-10-03 13:00", ("road", "done"),
             content="png"),                                                        # E46
        shot("p0000007.jpg", "出来形管理写真", "区画線工", "区画線工", "溶融式区画線",
             "区画線 幅測定", "駅前広場 南側", "2023-10-03 14:00", ("road", "done")),  # E47
        shot("P0000008.JPG", "使用材料写真", "舗装工", "アスファルト舗装工", "表層工",
             "アスファルト混合物 到着温度測定", "駅前広場 中央", "2023-09-05 08:40",
             ("close", "temperature"), content=None),                               # E48
        shot("P0000009.JPG", "安全管理写真", "", "", "", "交通誘導警備員配置状況",
             "駅前広場 入口", "2023-09-05 08:10", ("road", "before"), size="VGA"),    # E49
        shot("P0000010.JPG", "施工状況写真", "舗装工", "アスファルト舗装工", "上層路盤工", "",
             "駅前広場 中央", "2023-08-22 10:00", ("road", "base"), jname=False),     # E50
        shot("P0000011.JPG", "施工状況写真", "区画線工", "区画線工", "溶融式区画線",
             "区画線 仕上がり状況", "駅前広場 南側", "2024-02-30 10:00", ("road", "done"),
             exif_when="2024-02-20 10:00"),                                         # E51
        shot("P0000012.JPG", "着手前及び完成写真", "舗装工", "", "", "完成全景",
             "駅前広場 北側より", "2024-03-16 10:00", ("road", "done"), rep=1, freq=1),  # E52
    ],
    "unlisted": [                                                                   # E53
        shot("P0000013.JPG", "着手前及び完成写真", "舗装工", "", "", "完成全景（予備）",
             "駅前広場 北側より", "2024-03-14 15:20", ("road", "done")),
    ],
}


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
    build_standard(dlv, index, order, final, meets, plans, others, ERRORS_PHOTOS,
                   meet_soft=meet_soft)
    # What copying a delivery together leaves on the medium.
    os.remove(os.path.join(path, "PLAN", "PLAN02.DTD"))                      # E54
    dlv.doc("MEET/ORG/0099_01.PDF", b"")                                      # E55
    dlv.doc("MEET/ORG/Thumbs.db", b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1" + bytes(504))  # E56
    dlv.doc("BACKUP/MEET.XML", open(os.path.join(path, "MEET", "MEET.XML"), "rb").read())  # E57


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


def write_standard_dtds(path):
    """Each DTD once, as {root, DTD_version, file name, UTF-8 text}."""
    out = ["// Written by scripts/make-samples.py --standard-dtds: the DTDs of the",
           "// management files, from the same element tables as the samples.",
           "// {root, DTD_version, file name, text (UTF-8)}"]
    seen = set()
    for kind in KINDS:
        _, (root, _), dtd = KINDS[kind]
        if dtd in seen:
            continue
        seen.add(dtd)
        text = dtd_text(kind).decode("cp932").replace("\r\n", "\n")
        text = text.replace('<?xml version="1.0" encoding="Shift_JIS"?>\n', "")
        body = "".join('\n    "%s\\n"' % line.replace("\\", "\\\\").replace('"', '\\"')
                       for line in text.rstrip("\n").split("\n"))
        out.append('{"%s", "%s", "%s",%s},' % (root, DTD_VERSIONS.get(kind, DTD_VERSION), dtd, body))
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out) + "\n")


def main(argv):
    if len(argv) == 2 and argv[0] == "--standard-dtds":
        write_standard_dtds(argv[1])
        return 0
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
    for name in ("clean", "errors", "multi", "sxf"):
        shutil.rmtree(os.path.join(SAMPLES, name), ignore_errors=True)
    build_clean()
    build_errors()
    build_multi()
    sxf_samples().write_pair(os.path.join(SAMPLES, "sxf"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
