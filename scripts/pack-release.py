#!/usr/bin/python3
"""Packs the release zip: the two programs and readme.txt, the Japanese readme
in code page 932 with CR LF line ends, as Windows users expect it. Every entry
carries the same fixed time and permissions and the entries come in a fixed
order, so that the same inputs always give the same bytes. Then rewrites
SHA256SUMS for the zips in the output folder.

Usage: pack-release.py --arch i686|x86_64 --root REPO --dist DIR --epoch SECONDS
                       VORPA_EXE VORPA_LIST_EXE
"""
import argparse
import datetime
import hashlib
import os
import re
import sys
import tempfile
import zipfile

ARCH_SUFFIX = {"i686": "win32", "x86_64": "win64"}


def header_string(header_text, name):
    m = re.search(r'^#define\s+' + name + r'\s+"((?:[^"\\]|\\.)*)"', header_text, re.M)
    if not m:
        sys.exit(f"pack-release: {name} is missing from app/version.h")
    return m.group(1)


def readme_bytes(template, version, legal):
    # Code page 932 has no copyright sign; Japanese text files write it so.
    text = template.replace("@VERSION@", version).replace("@LEGAL@", legal.replace("©", "(C)"))
    left = re.findall(r"@[A-Z]+@", text)
    if left:
        sys.exit(f"pack-release: unknown placeholders in the readme: {', '.join(sorted(set(left)))}")
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    for number, line in enumerate(text.split("\r\n"), 1):
        try:
            line.encode("cp932")
        except UnicodeEncodeError as e:
            sys.exit(f"pack-release: readme line {number}: {line[e.start:e.end]!r} has no code page 932 form")
    return text.encode("cp932")


def write_atomically(path, data):
    fd, temp = tempfile.mkstemp(dir=os.path.dirname(path), prefix=".pack-")
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.chmod(temp, 0o644)
        os.replace(temp, path)
    except BaseException:
        os.unlink(temp)
        raise


def zip_bytes(entries, epoch):
    # The zip format keeps local time in two-second steps from 1980 on; the
    # stamp is the commit's time in UTC.
    when = datetime.datetime.fromtimestamp(max(epoch, 315532800), datetime.timezone.utc)
    stamp = (when.year, when.month, when.day, when.hour, when.minute, when.second)
    path = None
    try:
        fd, path = tempfile.mkstemp(prefix="vorpa-zip-")
        os.close(fd)
        with zipfile.ZipFile(path, "w") as z:
            for name, data, mode in entries:
                info = zipfile.ZipInfo(name, stamp)
                info.create_system = 3  # Unix, so that the mode below is read
                info.external_attr = (0o100000 | mode) << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                z.writestr(info, data, compresslevel=9)
        with open(path, "rb") as f:
            return f.read()
    finally:
        if path:
            os.unlink(path)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--arch", choices=sorted(ARCH_SUFFIX), required=True)
    p.add_argument("--root", required=True)
    p.add_argument("--dist", required=True)
    p.add_argument("--epoch", type=int, required=True)
    p.add_argument("vorpa_exe")
    p.add_argument("vorpa_list_exe")
    a = p.parse_args()

    with open(os.path.join(a.root, "app", "version.h"), encoding="utf-8") as f:
        header = f.read()
    version = header_string(header, "VORPA_VERSION_STR")
    legal = header_string(header, "VORPA_LEGAL")
    with open(os.path.join(a.root, "docs", "readme-ja.txt"), encoding="utf-8") as f:
        readme = readme_bytes(f.read(), version, legal)

    def read(path):
        with open(path, "rb") as f:
            return f.read()

    entries = [
        ("vorpa.exe", read(a.vorpa_exe), 0o755),
        ("vorpa-list.exe", read(a.vorpa_list_exe), 0o755),
        ("readme.txt", readme, 0o644),
    ]
    os.makedirs(a.dist, exist_ok=True)
    name = f"VORPA-{version}-{ARCH_SUFFIX[a.arch]}.zip"
    data = zip_bytes(entries, a.epoch)
    write_atomically(os.path.join(a.dist, name), data)

    # Every release zip in the folder, so that packing both architectures
    # into one folder leaves one list for both.
    lines = []
    for zip_name in sorted(os.listdir(a.dist)):
        if re.fullmatch(r"VORPA-.+-win(32|64)\.zip", zip_name):
            digest = hashlib.sha256(read(os.path.join(a.dist, zip_name))).hexdigest()
            lines.append(f"{digest}  {zip_name}\n")
    write_atomically(os.path.join(a.dist, "SHA256SUMS"), "".join(lines).encode("ascii"))

    print(f"{os.path.join(a.dist, name)}: {len(data)} bytes, SHA-256 {hashlib.sha256(data).hexdigest()}")


if __name__ == "__main__":
    main()
