#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets (Shift-JIS, CRLF).

tag_reader/  raw file contents
read_file/   one selector byte (which file name, see read_file_fuzz.cpp) then
             the file content
xslt_sandbox/ an embedded stylesheet, the line "--DOC--", then a management
             file naming it (see xslt_sandbox_fuzz.cpp); plus ../xslt.dict
Run from anywhere; the files are written next to this script.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

MEET = """<?xml version="1.0" encoding="Shift_JIS"?>
<!DOCTYPE meetdata SYSTEM "MEET03.DTD">
<meetdata DTD_version="03">
<ソフトウェア情報>
<ソフトウェア名>電子納品作成支援</ソフトウェア名>
<バージョン情報>2.1</バージョン情報>
<メーカ名>東都システム</メーカ名>
</ソフトウェア情報>
<打合せ簿情報>
<シリアル番号>1</シリアル番号>
<打合せ簿種類>協議</打合せ簿種類>
<打合せ簿名称>仮設計画の変更について</打合せ簿名称>
<管理区分>0</管理区分>
<打合せ簿番号>1</打合せ簿番号>
<作成者>受注者</作成者>
<提出先>発注者</提出先>
<発行日付>2023-04-12</発行日付>
<受理日付>2023-04-13</受理日付>
<完了日付>2023-04-20</完了日付>
<オリジナルファイル情報>
<打合せ簿オリジナルファイル名>MEET0001_01.PDF</打合せ簿オリジナルファイル名>
<打合せ簿オリジナルファイル作成ソフトバージョン情報>文書作成 3.0</打合せ簿オリジナルファイル作成ソフトバージョン情報>
<オリジナルファイル内容>協議書 &amp; 図面 &lt;A3&gt;</オリジナルファイル内容>
</オリジナルファイル情報>
<その他>
<請負者説明文>土留め工の範囲を変更する</請負者説明文>
<発注者説明文></発注者説明文>
<予備>予備１</予備>
<予備>予備２</予備>
</その他>
</打合せ簿情報>
</meetdata>
"""

INDEX = """<?xml version="1.0" encoding="Shift_JIS"?>
<!DOCTYPE constdata SYSTEM "INDE_C04.DTD">
<constdata DTD_version="04">
<基礎情報>
<メディア番号>1</メディア番号>
<メディア総枚数>2</メディア総枚数>
<発注図面フォルダ名>DRAWINGS</発注図面フォルダ名>
<打合せ簿フォルダ名>MEET</打合せ簿フォルダ名>
<打合せ簿オリジナルファイルフォルダ名>MEET/ORG</打合せ簿オリジナルファイルフォルダ名>
</基礎情報>
<工事件名等>
<発注年度>2023</発注年度>
<工事番号>123456</工事番号>
<工事名称>一般国道○○号　橋梁下部工事</工事名称>
<工種>橋梁下部</工種>
<工種>道路土工</工種>
<住所コード>13101</住所コード>
<住所>東京都千代田区</住所>
<工期開始日>2023-04-01</工期開始日>
<工期終了日>2024-03-31</工期終了日>
</工事件名等>
<場所情報>
<西側境界座標経度>1394500</西側境界座標経度>
</場所情報>
<発注者情報>
<発注者-大分類>国土交通省</発注者-大分類>
<発注者コード>12345678</発注者コード>
</発注者情報>
<請負者情報>
<請負者名>株式会社　山川建設</請負者名>
</請負者情報>
<予備>メモ</予備>
</constdata>
"""

DRAWINGS = """<?xml version="1.0" encoding="Shift_JIS"?>
<!DOCTYPE drawingdata SYSTEM "DRAW04.DTD">
<drawingdata DTD_version="04">
<図面情報>
<図面名>位置図</図面名>
<図面ファイル名>D0PL001Z.P21</図面ファイル名>
<作成者名>山田</作成者名>
<図面尺度>1:500</図面尺度>
<場所情報>
<詳細住所>千代田区霞が関</詳細住所>
</場所情報>
<基準点情報>
<基準点情報緯度>354100</基準点情報緯度>
</基準点情報>
<その他>
<予備>a</予備>
<予備>b</予備>
</その他>
</図面情報>
<図面情報>
<図面名>平面図</図面名>
<図面ファイル名>d0pl001z.p21</図面ファイル名>
</図面情報>
</drawingdata>
"""

PLAN = """<?xml version="1.0" encoding="Shift_JIS"?>
<plandata DTD_version="03">
<施工計画書情報>
<シリアル番号>1</シリアル番号>
<施工計画書名称>施工計画書（当初）</施工計画書名称>
<オリジナルファイル情報>
<施工計画書オリジナルファイル名>PLAN0001_01.DOC</施工計画書オリジナルファイル名>
</オリジナルファイル情報>
</施工計画書情報>
</plandata>
"""

OTHRS = """<?xml version="1.0" encoding="Shift_JIS"?>
<othrsdata DTD_version="03">
<その他資料情報>
<シリアル番号>1</シリアル番号>
<資料名>品質管理</資料名>
<その他資料種類>品質</その他資料種類>
<保管場所>事務所</保管場所>
<オリジナルファイル情報>
<その他資料オリジナルファイル名>ORG001.XLS</その他資料オリジナルファイル名>
</オリジナルファイル情報>
</その他資料情報>
</othrsdata>
"""

# Awkward shapes: a tag across two lines, "<>", stray closing tags,
# mismatched nesting, attributes, self-closing tags, entities.
ODD = """<?xml version="1.0" encoding="Shift_JIS"?>
<meetdata><打合せ簿情報><シリアル番号>7</シリアル番号><打合せ簿名称>a&amp;lt;b</打合せ簿名称
>
<打合せ簿名称>二行に
またがる値</打合せ簿名称>
<empty/><a b="c>d">x</a></wrong>
</打合せ簿情報></meetdata>
</meetdata>
<>
"""


def crlf(s):
    return s.replace("\n", "\r\n")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    texts = {
        "meet": (2, MEET),
        "index": (0, INDEX),
        "drawings": (1, DRAWINGS),
        "drawingf": (4, DRAWINGS.replace("DRAW04", "DRAWF04")),
        "plan": (3, PLAN),
        "othrs": (5, OTHRS),
        "odd": (2, ODD),
    }
    for name, (sel, text) in texts.items():
        data = crlf(text).encode("cp932")
        write(os.path.join(HERE, "tag_reader", name + ".xml"), data)
        # Selector: bit 3 = lower-case name on disk, bit 4 = read twice,
        # bit 5 = also read as another medium's index.
        write(os.path.join(HERE, "read_file", name + ".bin"), bytes([sel | 0x18 | 0x20]) + data)
    # Each embedded stylesheet with the file it shows, and a few of the
    # means a stylesheet has to reach other files.
    resources = os.path.join(HERE, "..", "..", "resources")
    pi = '<?xml-stylesheet type="text/xsl" href="S.XSL"?>\n'
    shown = {"ctnMeet": MEET, "ctnPlan": PLAN, "ctnOthrs": OTHRS, "ctnDrawing": DRAWINGS, "ctnIndex": INDEX}
    for name, text in shown.items():
        with open(os.path.join(resources, name + ".xsl"), encoding="utf-8") as f:
            xsl = f.read()
        doc = text.replace("?>\n", "?>\n" + pi, 1)
        data = crlf(xsl).encode("cp932") + b"\n--DOC--\n" + crlf(doc).encode("cp932")
        write(os.path.join(HERE, "xslt_sandbox", name + ".bin"), data)
    head = '<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">'
    reach = head + ('<xsl:include href="P.XSL"/><xsl:template match="/"><xsl:value-of '
                    'select="document(\'DOC.XML\')"/><xsl:for-each select="//*"><xsl:value-of '
                    'select="name()"/></xsl:for-each></xsl:template></xsl:stylesheet>')
    doc = '<?xml version="1.0"?>\n<!DOCTYPE r [<!ENTITY e "x">]>\n' + pi + "<r>&e;<a b='1'/></r>\n"
    write(os.path.join(HERE, "xslt_sandbox", "reach.bin"), (reach + "\n--DOC--\n" + doc).encode("utf-8"))

    utf8 = MEET.replace('encoding="Shift_JIS"', 'encoding="UTF-8"').encode("utf-8")
    write(os.path.join(HERE, "tag_reader", "meet_utf8.xml"), utf8)
    write(os.path.join(HERE, "read_file", "meet_utf8.bin"), bytes([2]) + utf8)


# Element names and markup for libFuzzer's -dict option, CP932 bytes escaped.
DICT_WORDS = [
    "<?xml", "?>", "<!DOCTYPE", "encoding=\"Shift_JIS\"", "encoding=\"UTF-8\"", "\xef\xbb\xbf",
    "&lt;", "&gt;", "&amp;", "&quot;", "&apos;", "\r\n", "</", "/>",
    "constdata", "drawingdata", "meetdata", "plandata", "othrsdata",
    "/CONSTDATA", "/DRAWINGDATA", "/MEETDATA", "/PLANDATA", "/OTHRSDATA",
    "基礎情報", "ソフトウェア情報", "工事件名等", "場所情報", "施設情報", "発注者情報", "請負者情報",
    "基準点情報", "その他", "予備", "工種", "住所", "メディア番号",
    "図面情報", "図面名", "図面ファイル名",
    "打合せ簿情報", "シリアル番号", "打合せ簿名称", "オリジナルファイル情報",
    "打合せ簿オリジナルファイル名", "オリジナルファイル内容", "請負者説明文",
    "施工計画書情報", "施工計画書名称", "施工計画書オリジナルファイル名",
    "その他資料情報", "資料名", "その他資料オリジナルファイル名",
]


# XSLT and DTD words for xslt_sandbox_fuzz's -dict option.
XSLT_WORDS = [
    "xsl:include href=", "xsl:import href=", "document(", "xsl:value-of select=", "xsl:for-each select=",
    "xsl:template match=", "xsl:call-template name=", "xsl:copy-of select=", "xsl:apply-templates",
    "<!DOCTYPE", "<!ENTITY", "SYSTEM", "PUBLIC", "%", "file:///", "file://localhost/", "../", "..\\",
    "OUT/secret.xml", "OUT/S.XSL", "S.XSL", "DOC.XML", "http://127.0.0.1/", "<?xml-stylesheet href=",
    "unparsed-entity-uri(", "system-property(", "xsl:key", "key(", "generate-id(", "xsl:number",
]


def write_xslt_dict():
    lines = ["# XSLT, DTD and path words for the sandbox fuzzer."]
    for i, word in enumerate(XSLT_WORDS):
        lines.append('x%d="%s"' % (i, escape(word.encode("utf-8"))))
    with open(os.path.join(HERE, "..", "xslt.dict"), "w") as f:
        f.write("\n".join(lines) + "\n")


def escape(data):
    return "".join(chr(b) if 0x20 <= b < 0x7F and b not in (0x22, 0x5C) else "\\x%02X" % b for b in data)


def write_dict():
    lines = ["# Markup and element names of the management files (CP932)."]
    for i, word in enumerate(DICT_WORDS):
        data = word.encode("latin-1") if word.startswith("\xef") else word.encode("cp932")
        lines.append('w%d="%s"' % (i, escape(data)))
    with open(os.path.join(HERE, "..", "management.dict"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
    write_dict()
    write_xslt_dict()
