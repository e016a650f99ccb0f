#!/usr/bin/env python3
"""Installs the build into a scratch prefix and checks what a desktop and a
shell find there: every file in its place and nothing else, the programs
running from the prefix, the desktop entry, the AppStream metainfo and the
manual pages valid, and the delivery's files recognised by the MIME
database. A check whose tool is missing prints SKIP and is not counted.

usage: install_test.py BUILD_DIR SOURCE_DIR VERSION WITH_VIEWER(0|1)
"""
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

APP_ID = "jp.dlvrview.DLVRView"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

failures = []
passed = 0


def check(ok, what):
    global passed
    if ok:
        passed += 1
    else:
        failures.append(what)
        print("FAIL:", what)


def skip(tool, what):
    print("SKIP: %s (%s is not installed)" % (what, tool))


def run(cmd, env=None, **kw):
    # The programs' texts in Japanese whatever the locale of the machine.
    env = dict(os.environ if env is None else env, LANG="C.UTF-8")
    for var in ("LC_ALL", "LC_MESSAGES"):
        env.pop(var, None)
    return subprocess.run(cmd, capture_output=True, text=True, encoding="utf-8", errors="replace", env=env, **kw)


def expected_files(with_viewer):
    files = {"bin/dlvr", "share/man/man1/dlvr.1.gz", "share/bash-completion/completions/dlvr",
             "share/doc/dlvrview/copyright", "share/doc/dlvrview/changelog.Debian.gz"}
    if with_viewer:
        files |= {"bin/dlvrview", "share/man/man1/dlvrview.1.gz",
                  "share/applications/%s.desktop" % APP_ID,
                  "share/metainfo/%s.metainfo.xml" % APP_ID,
                  "share/mime/packages/%s.xml" % APP_ID,
                  "share/icons/hicolor/scalable/apps/%s.svg" % APP_ID}
        files |= {"share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, APP_ID) for n in ICON_SIZES}
    return files


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def desktop_keys(path):
    keys = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if "=" in line and not line.startswith("#"):
                k, v = line.rstrip("\n").split("=", 1)
                keys[k] = v
    return keys


def check_viewer_files(prefix, source, version):
    share = os.path.join(prefix, "share")
    desktop = os.path.join(share, "applications", APP_ID + ".desktop")
    metainfo = os.path.join(share, "metainfo", APP_ID + ".metainfo.xml")
    mime_xml = os.path.join(share, "mime", "packages", APP_ID + ".xml")

    for n in ICON_SIZES:
        png = os.path.join(share, "icons/hicolor/%dx%d/apps/%s.png" % (n, n, APP_ID))
        check(png_size(png) == (n, n), "icon %s is a %dx%d PNG (got %s)" % (png, n, n, png_size(png)))

    keys = desktop_keys(desktop)
    check(keys.get("Icon") == APP_ID, "desktop entry names the installed icon")
    check(keys.get("Exec", "").split()[0] == "dlvrview", "desktop entry starts dlvrview")
    check(set(keys.get("Categories", "").split(";")) >= {"Office", "Viewer"}, "desktop entry in Office and Viewer")
    check("Name[ja]" in keys and "Name" in keys, "desktop entry has Japanese and English names")
    ns = "{http://www.freedesktop.org/standards/shared-mime-info}"
    types = {t.get("type") for t in ET.parse(mime_xml).getroot().iter(ns + "mime-type")}
    check(set(filter(None, keys.get("MimeType", "").split(";"))) == types,
          "desktop entry's MimeType lists the MIME entry's types %s" % sorted(types))

    component = ET.parse(metainfo).getroot()
    check(component.findtext("id") == APP_ID, "metainfo id is the application id")
    check(component.findtext("launchable") == APP_ID + ".desktop", "metainfo launches the desktop entry")
    releases = [r.get("version") for r in component.iter("release")]
    check(releases[:1] == [version], "metainfo's newest release is the project version %s (got %s)" % (version, releases))

    if shutil.which("desktop-file-validate"):
        r = run(["desktop-file-validate", desktop])
        check(r.returncode == 0 and not r.stdout.strip(), "desktop-file-validate: " + r.stdout + r.stderr)
    else:
        skip("desktop-file-validate", "desktop entry validation")
    if shutil.which("appstreamcli"):
        r = run(["appstreamcli", "validate", "--no-net", metainfo])
        check(r.returncode == 0, "appstreamcli validate: " + r.stdout + r.stderr)
    else:
        skip("appstreamcli", "metainfo validation")

    check_mime(mime_xml, source)


def check_mime(mime_xml, source):
    """The delivery's files by their names, and by content under a name that
    does not tell; an XML file of another kind stays plain XML."""
    if not (shutil.which("update-mime-database") and shutil.which("gio")
            and os.path.exists("/usr/share/mime/packages/freedesktop.org.xml")):
        skip("update-mime-database/gio", "MIME recognition")
        return
    with tempfile.TemporaryDirectory() as tmp:
        packages = os.path.join(tmp, "data", "mime", "packages")
        os.makedirs(packages)
        shutil.copy("/usr/share/mime/packages/freedesktop.org.xml", packages)
        shutil.copy(mime_xml, packages)
        r = run(["update-mime-database", os.path.join(tmp, "data", "mime")])
        check(r.returncode == 0 and "warning" not in r.stderr.lower(), "update-mime-database: " + r.stderr)
        clean = os.path.join(source, "samples", "clean")
        renamed = os.path.join(tmp, "files")
        os.makedirs(renamed)
        cases = [(os.path.join(clean, "INDEX_C.XML"), "application/x-dlvr-index+xml")]
        for sub in ("DRAWINGS/DRAWINGS.XML", "MEET/MEET.XML", "PLAN/PLAN.XML", "OTHRS/OTHRS.XML", "PHOTO/PHOTO.XML"):
            path = os.path.join(clean, sub)
            cases.append((path, "application/x-dlvr-delivery+xml"))
            # Without a name that tells (a *.xml name is plain XML by name).
            copy = os.path.join(renamed, "copy-of-" + os.path.basename(sub).split(".")[0].lower())
            shutil.copy(path, copy)
            cases.append((copy, "application/x-dlvr-delivery+xml"))
        index_copy = os.path.join(renamed, "kept")
        shutil.copy(os.path.join(clean, "INDEX_C.XML"), index_copy)
        cases.append((index_copy, "application/x-dlvr-index+xml"))
        other = os.path.join(renamed, "plan.xml")
        with open(other, "w") as f:
            f.write('<?xml version="1.0"?>\n<project><plandata/></project>\n')
        cases.append((other, "application/xml"))
        env = dict(os.environ, XDG_DATA_DIRS=os.path.join(tmp, "data"), XDG_DATA_HOME=os.path.join(tmp, "none"))
        for path, want in cases:
            r = run(["gio", "info", "-a", "standard::content-type", path], env=env)
            got = r.stdout.rsplit("standard::content-type:", 1)[-1].strip()
            check(got == want, "MIME type of %s is %s (got %s)" % (path, want, got))


def main():
    build, source, version, with_viewer = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4] == "1"
    with tempfile.TemporaryDirectory(prefix="dlvr-install-") as prefix:
        r = run(["cmake", "--install", build, "--prefix", prefix])
        check(r.returncode == 0, "cmake --install: " + r.stderr)
        found = set()
        for root, _, names in os.walk(prefix):
            found |= {os.path.relpath(os.path.join(root, n), prefix) for n in names}
        want = expected_files(with_viewer)
        check(not (want - found), "installed files missing: %s" % sorted(want - found))
        check(not (found - want), "files installed that nobody expects: %s" % sorted(found - want))

        programs = ["dlvr"] + (["dlvrview"] if with_viewer else [])
        for p in programs:
            r = run([os.path.join(prefix, "bin", p), "--version"])
            check(r.returncode == 0 and r.stdout == "%s %s\n" % (p, version),
                  "%s --version from the prefix: %r %r" % (p, r.stdout, r.stderr))
        # The installed tool reads a delivery with what it carries in itself.
        r = run([os.path.join(prefix, "bin", "dlvr"), "check", os.path.join(source, "samples", "clean")])
        check(r.returncode == 0 and "データは正常です。" in r.stdout, "installed dlvr checks the clean sample: " + r.stderr)
        for p in programs:
            page = os.path.join(prefix, "share/man/man1/%s.1.gz" % p)
            try:
                with gzip.open(page, "rt", encoding="utf-8") as f:
                    text = f.read()
                check(text.startswith(".TH %s 1 " % p.upper()) and "\n.SH SYNOPSIS\n" in text,
                      "%s: a section-1 manual page" % page)
            except OSError as e:
                check(False, "%s: %s" % (page, e))
        if with_viewer:
            check_viewer_files(prefix, source, version)

    print("%d passed, %d failed" % (passed, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
