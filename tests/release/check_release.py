#!/usr/bin/python3
"""Packs the release zip with scripts/package.sh and checks what a user gets:
the entries, the programs' image headers, the readme against the program's own
resources, SHA256SUMS, that packing again gives the same bytes, and that the
64-bit zip's programs run from where they were unpacked (under Wine on Xvfb).
Needs the environment of scripts/wine-env.sh and a prefix made by it. Prints a
GoogleTest-like summary for scripts/test.sh."""
import datetime
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import traceback
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
BUILD = os.environ.get("VORPA_BUILD", os.path.join(ROOT, "build"))
WORK = os.path.join(BUILD, "release-check")
results = []


def check(fn):
    name = fn.__name__
    try:
        fn()
        results.append((name, None))
        print(f"[       OK ] {name}", flush=True)
    except Exception:  # noqa: BLE001 - every failure is reported, the rest run on
        results.append((name, traceback.format_exc()))
        print(f"[  FAILED  ] {name}\n{traceback.format_exc()}", flush=True)
    return fn


def read_text(*parts):
    with open(os.path.join(ROOT, *parts), encoding="utf-8") as f:
        return f.read()


def header_string(name):
    return re.search(r'^#define\s+' + name + r'\s+"([^"]*)"', read_text("app", "version.h"), re.M).group(1)


VERSION = header_string("VORPA_VERSION_STR")
EPOCH = int(subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], capture_output=True, text=True,
                           check=True).stdout)


def package(arch, dist):
    env = dict(os.environ)
    env.pop("SOURCE_DATE_EPOCH", None)
    subprocess.run(["bash", os.path.join(ROOT, "scripts", "package.sh"), "--arch", arch, "--dist", dist],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    suffix = {"i686": "win32", "x86_64": "win64"}[arch]
    return os.path.join(dist, f"VORPA-{VERSION}-{suffix}.zip")


shutil.rmtree(WORK, ignore_errors=True)
ZIP32 = os.path.join(WORK, "dist", f"VORPA-{VERSION}-win32.zip")
ZIP32_AGAIN = os.path.join(WORK, "dist-again", f"VORPA-{VERSION}-win32.zip")


@check
def package_sh_packs_twice():
    assert package("i686", os.path.dirname(ZIP32)) == ZIP32
    assert package("i686", os.path.dirname(ZIP32_AGAIN)) == ZIP32_AGAIN


def entries(path):
    with zipfile.ZipFile(path) as z:
        return {i.filename: (i, z.read(i)) for i in z.infolist()}


@check
def zip_holds_the_three_files_stamped_with_the_commit_time():
    with zipfile.ZipFile(ZIP32) as z:
        infos = z.infolist()
        assert [i.filename for i in infos] == ["vorpa.exe", "vorpa-list.exe", "readme.txt"], z.namelist()
        assert z.testzip() is None
    stamp = datetime.datetime.fromtimestamp(EPOCH, datetime.timezone.utc)
    for i in infos:
        assert i.date_time == (stamp.year, stamp.month, stamp.day, stamp.hour, stamp.minute, stamp.second // 2 * 2), \
            (i.filename, i.date_time)


def pe_header(image):
    (offset,) = struct.unpack_from("<I", image, 0x3C)
    assert image[offset:offset + 4] == b"PE\0\0"
    machine, _, stamp = struct.unpack_from("<HHI", image, offset + 4)
    optional = offset + 24
    (magic,) = struct.unpack_from("<H", image, optional)
    (subsystem,) = struct.unpack_from("<H", image, optional + 68)  # the same place in PE32 and PE32+
    return machine, magic, subsystem, stamp


def pe_imports(image):
    """The names of the DLLs in the import table."""
    (offset,) = struct.unpack_from("<I", image, 0x3C)
    sections_count, = struct.unpack_from("<H", image, offset + 6)
    (optional_size,) = struct.unpack_from("<H", image, offset + 20)
    optional = offset + 24
    (magic,) = struct.unpack_from("<H", image, optional)
    (imports,) = struct.unpack_from("<I", image, optional + (96 if magic == 0x10B else 112) + 8)
    sections = [struct.unpack_from("<8xIIII", image, optional + optional_size + 40 * i) for i in range(sections_count)]

    def at(rva):
        for size, address, raw_size, raw in sections:
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise AssertionError(f"RVA {rva:#x} in no section")

    names = []
    for entry in range(at(imports), len(image), 20):
        name_rva = struct.unpack_from("<I", image, entry + 12)[0]
        if not name_rva:
            return names
        start = at(name_rva)
        names.append(image[start:image.index(b"\0", start)].decode().lower())
    raise AssertionError("unterminated import table")


def pe_kept_flags(image):
    """What stripping the symbol table must leave alone: large addresses for
    the 32-bit window, a relocatable, non-executable-data image with its
    relocations."""
    (offset,) = struct.unpack_from("<I", image, 0x3C)
    (characteristics,) = struct.unpack_from("<H", image, offset + 22)
    optional = offset + 24
    (magic,) = struct.unpack_from("<H", image, optional)
    (dll,) = struct.unpack_from("<H", image, optional + 70)
    (relocations,) = struct.unpack_from("<I", image, optional + (96 if magic == 0x10B else 112) + 5 * 8 + 4)
    return bool(characteristics & 0x20), bool(dll & 0x40), bool(dll & 0x100), relocations > 0


SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
               "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll"}


@check
def programs_are_static_images_of_the_right_kind_without_build_paths():
    files = entries(ZIP32)
    # name: subsystem (2 window, 3 console); both 32-bit x86 (machine 0x14C,
    # PE32 magic 0x10B).
    for name, subsystem in (("vorpa.exe", 2), ("vorpa-list.exe", 3)):
        image = files[name][1]
        assert pe_header(image) == (0x14C, 0x10B, subsystem, EPOCH), (name, pe_header(image))
        assert pe_kept_flags(image) == (name == "vorpa.exe", True, True, True), (name, pe_kept_flags(image))
        # Static: nothing but Windows' own DLLs.
        imports = pe_imports(image)
        assert "kernel32.dll" in imports and not [d for d in imports if d not in SYSTEM_DLLS], (name, imports)
        for path in {ROOT, os.path.realpath(ROOT), BUILD}:
            assert path.encode() not in image, (name, path)


def shown_menu_items():
    """(caption as the window shows it, key) for every item of the menu bar
    and the list's pop-up menu, read from the resource script."""
    rc = read_text("app", "vorpa.rc")
    items = []
    for menu in ("IDR_MAINMENU", "IDR_POPUP"):
        block = re.search(menu + r" MENU\s*\nBEGIN\n(.*?)\nEND\n", rc, re.S).group(1)
        depth = 0
        for line in block.splitlines():
            word = line.split()[0] if line.split() else ""
            m = re.match(r'\s*(POPUP|MENUITEM)\s+"((?:[^"]|"")*)"', line)
            if word == "BEGIN":
                depth += 1
            elif word == "END":
                depth -= 1
            if not m or (menu == "IDR_POPUP" and m.group(1) == "POPUP"):  # never shown
                continue
            caption, _, key = m.group(2).replace('""', '"').partition("\\t")
            mnemonic = re.search(r"&([^&])", caption)
            caption = re.sub(r"&(.)", r"\1", caption)
            if not key and depth == 0 and mnemonic:
                key = "Alt+" + mnemonic.group(1).upper()
            items.append((caption, key))
    return items


def readme_text():
    data = entries(ZIP32)["readme.txt"][1]
    text = data.decode("cp932")  # strict: every byte sequence must be code page 932
    assert b"\n" not in data.replace(b"\r\n", b"") and data.endswith(b"\r\n"), "line ends are not all CR LF"
    return text.split("\r\n")


@check
def readme_names_every_menu_command_with_its_key():
    lines = [line.strip() for line in readme_text()]
    text = "\n".join(lines)

    def named(caption, key):
        # The caption begins a line and its key ends it; one without a key
        # may be named in brackets within the text.
        for line in lines:
            if re.match(r"［?" + re.escape(caption) + r"(］|\s|$)", line) and (
                    not key or re.search(r"\s" + re.escape(key) + "$", line)):
                return True
        return not key and f"［{caption}］" in text

    items = shown_menu_items()
    assert len(items) > 20, items
    missing = [item for item in items if not named(*item)]
    assert not missing, missing


MANIFEST_OS = {
    "e2011457-1546-43c5-a5fe-008deee3d3f0": ["Vista"],
    "35138b9a-5d96-4fbd-8e2d-a2440225f93a": ["7"],
    "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38": ["8"],
    "1f676c76-80e1-4239-95bb-83d0f6d0da78": ["8.1"],
    "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a": ["10", "11"],
}


@check
def readme_names_version_notice_systems_and_every_tool_option():
    lines = readme_text()
    text = "\n".join(lines)
    legal = header_string("VORPA_LEGAL").replace("©", "(C)")  # code page 932 has no copyright sign
    assert VERSION in lines[1], lines[1]
    assert f"警告:  {legal}" in text
    guids = re.findall(r'supportedOS Id="\{([0-9a-f-]+)\}"', read_text("app", "vorpa.manifest"))
    systems = sorted(v for g in guids for v in MANIFEST_OS[g])
    listed = [line for line in lines if line.startswith("Windows ") and " / " in line]
    assert len(listed) == 1, listed
    named = re.match(r"Windows ((?:[\w.]+ / )*[\w.]+) ", listed[0]).group(1).split(" / ")
    assert sorted(named) == systems, (named, systems)
    options = re.findall(r"--[a-z][a-z-]+", read_text("cli", "Options.cpp").split("HelpText", 1)[1])
    assert len(options) >= 10, options
    missing = [o for o in options if o not in text]
    assert not missing, missing
    for fmt in ("csv", "tsv", "json", "xlsx", "html"):
        example = [line for line in lines if line.strip().startswith("vorpa-list ") and
                   (f"--format {fmt}" in line or (fmt == "csv" and "--format" not in line))]
        assert example, fmt


@check
def sha256sums_match_and_packing_again_gives_the_same_bytes():
    for zip_path in (ZIP32, ZIP32_AGAIN):
        dist = os.path.dirname(zip_path)
        r = subprocess.run(["sha256sum", "--check", "--strict", "SHA256SUMS"], cwd=dist, capture_output=True,
                           text=True, env=dict(os.environ, LC_ALL="C"))
        assert r.returncode == 0 and r.stdout == f"{os.path.basename(zip_path)}: OK\n", (r.stdout, r.stderr)
    with open(ZIP32, "rb") as a, open(ZIP32_AGAIN, "rb") as b:
        assert a.read() == b.read()
    with open(os.path.join(WORK, "dist", "SHA256SUMS"), "rb") as a, \
            open(os.path.join(WORK, "dist-again", "SHA256SUMS"), "rb") as b:
        assert a.read() == b.read()


WINDOW_SCRIPT = r'''
"$WINE" ./vorpa.exe & pid=$!
win=""
for _ in $(seq 1 60); do
  win=$(xdotool search --name '^VORPA$' 2>/dev/null | head -n 1) && [ -n "$win" ] && break
  sleep 0.5
done
[ -n "$win" ] && echo opened && xdotool windowfocus --sync "$win" key ctrl+x
for _ in $(seq 1 40); do kill -0 $pid 2>/dev/null || break; sleep 0.5; done
if kill -0 $pid 2>/dev/null; then echo "still running"; "$WINESERVER" -k; fi
wait $pid; echo "exit $?"
'''


@check
def unpacked_64_bit_programs_run_under_wine():
    zip_path = package("x86_64", os.path.join(WORK, "dist64"))
    unpacked = tempfile.mkdtemp(prefix="unpacked ", dir=WORK)
    with zipfile.ZipFile(zip_path) as z:
        assert z.namelist() == ["vorpa.exe", "vorpa-list.exe", "readme.txt"], z.namelist()
        z.extractall(unpacked)
        for name, subsystem in (("vorpa.exe", 2), ("vorpa-list.exe", 3)):
            assert pe_header(z.read(name)) == (0x8664, 0x20B, subsystem, EPOCH), name
    wine = os.environ["WINE"]
    r = subprocess.run([wine, "./vorpa-list.exe", "--version"], cwd=unpacked, capture_output=True, timeout=120)
    assert r.returncode == 0 and r.stdout.decode() == f"vorpa-list {VERSION}\n", (r.returncode, r.stdout)
    r = subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1024x768x24", "bash", "-c", WINDOW_SCRIPT],
                       cwd=unpacked, capture_output=True, text=True, timeout=180)
    assert r.stdout == "opened\nexit 0\n", (r.stdout, r.stderr)


failed = [n for n, e in results if e]
print(f"[==========] {len(results)} tests ran.")
print(f"[  PASSED  ] {len(results) - len(failed)} tests.")
if failed:
    print(f"[  FAILED  ] {len(failed)} tests, listed below:")
    for n in failed:
        print(f"[  FAILED  ] {n}")
sys.exit(1 if failed else 0)
