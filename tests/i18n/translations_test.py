#!/usr/bin/env python3
"""The English translation files: complete, in step with the code, and sound.

Updates copies of translations/*_en.ts from the code (so a text added to the
code without its translation shows up as unfinished), then checks every
message: a translation present and finished, the same %1..%9 placeholders as
the source, no Japanese left in it, an accelerator where the source has one.
Usage: translations_test.py SOURCE_DIR
"""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

JAPANESE = re.compile(r"[\u3040-\u30ff\u3400-\u9fff\uff01-\uff5e]")
PLACEHOLDER = re.compile(r"%([1-9])")
# "ファイル(&F)", "&Open": the marked letter. "&&" is a literal ampersand.
ACCELERATOR = re.compile(r"&(?!&)\w")

# Japanese words a translation may keep: this one names the language itself.
ALLOWED_JAPANESE = ("日本語", "言語")


def problems_of(ts_path):
    found = []
    root = ET.parse(ts_path).getroot()
    for context in root.iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = message.findtext("source") or ""
            tr = message.find("translation")
            where = f"{ts_path.name}: {name}: {source!r}"
            if tr is None:
                found.append(f"{where}: no translation")
                continue
            kind = tr.get("type")
            if kind in ("unfinished", "vanished", "obsolete"):
                found.append(f"{where}: {kind}")
                continue
            if message.get("numerus") == "yes":
                texts = [n.text or "" for n in tr.iter("numerusform")]
            else:
                texts = [tr.text or ""]
            for text in texts:
                if not text.strip() and source.strip():
                    found.append(f"{where}: empty translation")
                    continue
                if sorted(set(PLACEHOLDER.findall(source))) != sorted(set(PLACEHOLDER.findall(text))):
                    found.append(f"{where}: placeholders differ in {text!r}")
                rest = text
                for word in ALLOWED_JAPANESE:
                    rest = rest.replace(word, "")
                if JAPANESE.search(rest):
                    found.append(f"{where}: Japanese left in {text!r}")
                if ACCELERATOR.search(source) and not ACCELERATOR.search(text):
                    found.append(f"{where}: accelerator lost in {text!r}")
    return found


def main():
    source_dir = pathlib.Path(sys.argv[1]).resolve()
    originals = sorted((source_dir / "translations").glob("dlvrview_*_en.ts"))
    if not originals:
        print("no translation files under translations/")
        return 1
    with tempfile.TemporaryDirectory() as tmp:
        for f in originals:
            shutil.copy(f, tmp)
        run = subprocess.run([str(source_dir / "scripts/update-translations.sh")],
                             env={"TS_DIR": tmp, "PATH": "/usr/bin:/bin"},
                             capture_output=True, text=True)
        if run.returncode != 0:
            print(run.stdout + run.stderr)
            return 1
        updated = sorted(pathlib.Path(tmp).glob("dlvrview_*_en.ts"))
        found = []
        for f in updated:
            found += problems_of(f)
        count = sum(len(ET.parse(f).getroot().findall(".//message")) for f in updated)
    for line in found:
        print(line)
    print(f"{len(updated)} files, {count} messages, {len(found)} problems")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
