#!/usr/bin/python3
"""One corpus of crafted shortcut files, read by the native vorpa-list and by
vorpa-list.exe under Wine: both must name the same URL for every file, and
the URL Windows opens where it is known. Prints a GoogleTest-like summary.

Usage: check_corpus.py NATIVE_TOOL [WINDOWS_TOOL WINE]"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

NATIVE = os.path.abspath(sys.argv[1])
WINDOWS = os.path.abspath(sys.argv[2]) if len(sys.argv) > 3 else None
WINE = sys.argv[3] if len(sys.argv) > 3 else None

INI = "[InternetShortcut]\r\nURL="
W = "\r\n[InternetShortcut.W]\r\nURL="
FOUR_MIB = ";" + "x" * (4 << 20) + "\r\n"
PAD = "h" * 65536  # a value of 65,536+k characters reads back as its first k


def utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


# file name, bytes, and the URL Windows opens (None: both tools must only
# agree).
CORPUS = [
    ("plain.url", (INI + "http://plain.example/\r\n").encode(), "http://plain.example/"),
    ("sjis.url", (INI + "http://表ソ.example/ゼゾ\r\n").encode("cp932"), "http://表ソ.example/ゼゾ"),
    ("utf16.url", utf16(INI + "http://日本語.example/\r\n"), "http://日本語.example/"),
    ("utf7.url", (INI + "http://???/" + W + "http://+ZeVnLIqe-/\r\n").encode(), "http://日本語/"),
    ("utf8mark.url", b"\xef\xbb\xbf" + (INI + "http://mark/\r\n").encode(), ""),
    ("twosections.url", (INI + "http://one/\r\n" + INI + "http://two/\r\n").encode(), "http://one/"),
    ("twokeys.url", (INI + "http://first/\r\nURL=http://second/\r\n").encode(), "http://first/"),
    ("quoted.url", (INI + "\"http://quoted/\"\r\n").encode(), "http://quoted/"),
    ("nul.in.value.url", (INI + "http://a/\0junk\r\n").encode(), "http://a/"),
    ("header.no.bracket.url", b"[InternetShortcut\r\nURL=http://nobracket/\r\n", "http://nobracket/"),
    ("after4mib.url", (INI + "http://harmless/\r\n" + FOUR_MIB + W + "http://faithful/\r\n").encode(),
     "http://faithful/"),
    ("wrap.url", (INI + "http://wrapped/" + PAD + "\r\n").encode(), "http://wrapped/"),
    ("wrap.w.url", (INI + "http://ansi/" + W + "http://+ZeU-/" + PAD + "\r\n").encode(), "http://日/"),
    ("wrap.quoted.url", (INI + "'http://q/" + PAD + "'\r\n").encode(), "http://q/"),
    # Named like devices: files to Windows as to every other system.
    ("COM1.url", (INI + "http://com1/\r\n").encode(), "http://com1/"),
    ("nul.url", (INI + "http://nul/\r\n").encode(), "http://nul/"),
    ("aux.url", (INI + "http://aux/\r\n").encode(), "http://aux/"),
    # The code page's odd bytes: a lead byte takes a line end as its trail,
    # so the URL line belongs to the key before it.
    ("leadbyte.url", b"[InternetShortcut]\r\nX=\x81\r\nURL=http://hidden/\r\nURL=http://second/\r\n", None),
    ("singlebytes.url", b"[InternetShortcut]\r\nURL=http://a/\x80\xa0\xfd\r\n", None),
    ("utf7.leftover.url", (INI + "http://ansi/" + W + "http://+ZeVn-x+AEAB-/\r\n").encode(), None),
]

results = []


def report(name, error):
    results.append((name, error))
    print(f"[       OK ] {name}" if error is None else f"[  FAILED  ] {name}\n{error}")


def urls(cmd, corpus_arg):
    p = subprocess.run([*cmd, "--format", "json", "-q", corpus_arg], capture_output=True, timeout=300)
    if p.returncode != 0:
        raise RuntimeError(f"{cmd} exited {p.returncode}: {p.stderr.decode(errors='replace')}")
    out = {}
    for row in json.loads(p.stdout.decode("utf-8")):
        out[row["path"].replace("\\", "/").rsplit("/", 1)[-1]] = row["url"]
    return out


work = tempfile.mkdtemp(prefix="vorpa-corpus-")
try:
    corpus = os.path.join(work, "corpus")
    os.makedirs(corpus)
    for name, data, _ in CORPUS:
        with open(os.path.join(corpus, name), "wb") as f:
            f.write(data)
    native = urls([NATIVE], corpus)
    windows = urls([WINE, WINDOWS], "Z:" + corpus.replace("/", "\\")) if WINDOWS else None
    for name, _, expected in CORPUS:
        problems = []
        got = native.get(name)
        if got is None:
            problems.append("native tool did not list it")
        if windows is not None:
            if windows.get(name) is None:
                problems.append("Windows tool did not list it")
            elif got is not None and got != windows[name]:
                problems.append(f"native {got!r} but Windows tool {windows[name]!r}")
        if expected is not None:
            for tool, table in (("native", native), ("Windows", windows)):
                if table is not None and name in table and table[name] != expected:
                    problems.append(f"{tool} tool gives {table[name]!r}, Windows opens {expected!r}")
        report(f"corpus/{name}", "\n".join(problems) or None)
finally:
    shutil.rmtree(work, ignore_errors=True)

failed = [n for n, e in results if e]
print(f"[==========] {len(results)} tests ran.")
print(f"[  PASSED  ] {len(results) - len(failed)} tests.")
if failed:
    print(f"[  FAILED  ] {len(failed)} tests, listed below:")
    for n in failed:
        print(f"[  FAILED  ] {n}")
sys.exit(1 if failed else 0)
