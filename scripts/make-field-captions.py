#!/usr/bin/env python3
# -*- coding: utf-8 -*-
"""Writes src/check/field_captions.cpp: every caption of the embedded
definition tables and every field name the data check reports, once each,
marked for translation in the context "FieldNames", so that the translation
tools find them (the tables themselves are text files, which they do not read).

    python3 scripts/make-field-captions.py            (writes the file)
    python3 scripts/make-field-captions.py --check    (exit 1 when it is stale)

Run it after changing resources/ctn*TreeIni.ini.txt, the field names of
src/check/data_check.cpp, the original-file elements of
src/delivery/records.cpp or the class table of src/model/tree_view.cpp, then
scripts/update-translations.sh check.
"""
import os
import re
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
OUT = "src/check/field_captions.cpp"
TABLES = ["ctnKojiTreeIni", "ctnMeetTreeIni", "ctnPlanTreeIni", "ctnOthrsTreeIni"]


def read(rel):
    with open(os.path.join(ROOT, rel), encoding="utf-8") as f:
        return f.read()


def table_values(key):
    """The values of `key` in the four field tables, in table order."""
    out = []
    for name in TABLES:
        for line in read("resources/%s.ini.txt" % name).splitlines():
            m = re.match(r"\s*%s=(.*)$" % key, line)
            if m and m.group(1).strip():
                out.append(m.group(1).strip())
    return out


def data_check_names():
    text = read("src/check/data_check.cpp")
    return re.findall(r'\bc\.(?:Field|List|Date|Words|Folder)\("([^"]+)"', text)


def original_file_elements():
    text = read("src/delivery/records.cpp")
    out = []
    for line in text.splitlines():
        if "OrgElements" in line:
            out += re.findall(r'"([^"]+)"', line)
    return out


def class_captions():
    text = read("src/model/tree_view.cpp")
    body = text[text.index("DocClassTable[kDocClassCount] = {"):]
    body = body[:body.index("};")]
    return [row[3] for row in re.findall(r'\{"([^"]*)", "([^"]*)", "([^"]*)", "([^"]*)", "([^"]*)"\}', body) if row[3]]


def cpp_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def generate():
    groups = [
        ("The fields of the definition tables, as the item panes show them.", table_values("Tag")),
        ("The groups of the construction fields.", table_values("Categoly")),
        ("The character rules of the fields.", table_values("Mask")),
        ("Field names of the data check's findings that the tables write otherwise.",
         data_check_names() + original_file_elements()),
        ("The classes of the tree's tables.", class_captions()),
        ("The explanations of the fields beside their captions.", table_values("Info")),
    ]
    seen = set()
    lines = [
        "// Written by scripts/make-field-captions.py: the captions of the embedded",
        "// definition tables and the field names of the data check, each once, for",
        "// the translation tools. Whatever shows one calls Tr(\"FieldNames\", caption).",
        '#include "check/field_captions.h"',
        "",
        '#include "platform/translate.h"',
        "",
        "namespace dlvr {",
        "",
        "const std::vector<const char*>& FieldCaptions() {",
        "  static const std::vector<const char*> captions = {",
    ]
    for comment, values in groups:
        fresh = []
        for v in values:
            if v not in seen:
                seen.add(v)
                fresh.append(v)
        if not fresh:
            continue
        lines.append("      // " + comment)
        for v in fresh:
            lines.append('      DLVR_TR_NOOP("FieldNames", %s),' % cpp_string(v))
    lines += ["  };", "  return captions;", "}", "", "}  // namespace dlvr", ""]
    return "\n".join(lines)


def main():
    text = generate()
    path = os.path.join(ROOT, OUT)
    if "--check" in sys.argv[1:]:
        current = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
        if current != text:
            print("%s is stale: run scripts/make-field-captions.py" % OUT, file=sys.stderr)
            return 1
        return 0
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
