#!/usr/bin/python3
"""Packs the release zip with scripts/package.sh and checks what a user gets:
its entries and sums, the same bytes from a second packing, the programs'
image headers, the readme against the program's own resources, and the 64-bit
zip's programs run from where they were unpacked (under Wine on Xvfb). Needs
the environment of scripts/wine-env.sh. Prints a GoogleTest-like summary."""
import datetime
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
    try:
        fn()
        results.append((fn.__name__, None))
        print(f"[       OK ] {fn.__name__}", flush=True)
    except Exception:  # noqa: BLE001 - every failure is reported, the rest run on
        results.append((fn.__name__, traceback.format_exc()))
        print(f"[  FAILED  ] {fn.__name__}\n{traceback.format_exc()}", flush=True)


def read_text(*parts):
    with open(os.path.join(ROOT, *parts), encoding="utf-8") as f:
        return f.read()


def header_string(name):
    return re.search(r'^#define\s+' + name + r'\s+"([^"]*)"', read_text("app", "version.h"), re.M).group(1)


VERSION = header_string("VORPA_VERSION_STR")
_commit = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], capture_output=True, text=True)
COMMIT_TIME = int(_commit.stdout) if _commit.returncode == 0 and _commit.stdout.strip() else None
# Outside a git checkout the packing is given a time of its own.
EPOCH = COMMIT_TIME or 1767225600


def package(arch, dist):
    env = dict(os.environ)
    env.pop("SOURCE_DATE_EPOCH", None)
    if COMMIT_TIME is None:
        env["SOURCE_DATE_EPOCH"] = str(EPOCH)
    subprocess.run(["bash", os.path.join(ROOT, "scripts", "package.sh"), "--arch", arch, "--dist", dist],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    suffix = {"i686": "win32", "x86_64": "win64"}[arch]
    return os.path.join(dist, f"VORPA-{VERSION}-{suffix}.zip")


shutil.rmtree(WORK, ignore_errors=True)
ZIP32 = os.path.join(WORK, "dist", f"VORPA-{VERSION}-win32.zip")
ZIP32_AGAIN = os.path.join(WORK, "dist-again", f"VORPA-{VERSION}-win32.zip")
ENTRIES = ["vorpa.exe", "vorpa-list.exe", "readme.txt"]


def entries(path):
    with zipfile.ZipFile(path) as z:
        assert z.namelist() == ENTRIES and z.testzip() is None, z.namelist()
        return {i.filename: (i, z.read(i)) for i in z.infolist()}


@check
def packing_twice_gives_the_same_bytes_with_their_sums():
    for zip_path in (ZIP32, ZIP32_AGAIN):
        assert package("i686", os.path.dirname(zip_path)) == zip_path
        r = subprocess.run(["sha256sum", "--check", "--strict", "SHA256SUMS"], cwd=os.path.dirname(zip_path),
                           capture_output=True, text=True, env=dict(os.environ, LC_ALL="C"))
        assert r.returncode == 0 and r.stdout == f"{os.path.basename(zip_path)}: OK\n", (r.stdout, r.stderr)
    for name in (os.path.basename(ZIP32), "SHA256SUMS"):
        with open(os.path.join(WORK, "dist", name), "rb") as a, open(os.path.join(WORK, "dist-again", name), "rb") as b:
            assert a.read() == b.read(), name


@check
def zip_holds_the_three_files_stamped_with_the_commit_time():
    t = datetime.datetime.fromtimestamp(EPOCH, datetime.timezone.utc)
    for name, (info, _) in entries(ZIP32).items():
        assert info.date_time == (t.year, t.month, t.day, t.hour, t.minute, t.second // 2 * 2), (name, info.date_time)


def pe(image):
    """The header fields a user's Windows goes by, and the imported DLLs."""
    (nt,) = struct.unpack_from("<I", image, 0x3C)
    assert image[nt:nt + 4] == b"PE\0\0"
    machine, sections, stamp = struct.unpack_from("<HHI", image, nt + 4)
    optional_size, characteristics = struct.unpack_from("<HH", image, nt + 20)
    opt = nt + 24
    magic, = struct.unpack_from("<H", image, opt)
    subsystem, dll = struct.unpack_from("<HH", image, opt + 68)  # the same place in PE32 and PE32+
    directories = opt + (96 if magic == 0x10B else 112)
    imports, = struct.unpack_from("<I", image, directories + 8)
    relocations, = struct.unpack_from("<I", image, directories + 5 * 8 + 4)
    table = [struct.unpack_from("<8xIIII", image, opt + optional_size + 40 * i) for i in range(sections)]

    def at(rva):
        return next(rva - va + raw for size, va, raw_size, raw in table if va <= rva < va + max(size, raw_size))

    dlls = []
    entry = at(imports)
    while struct.unpack_from("<I", image, entry + 12)[0]:
        name = at(struct.unpack_from("<I", image, entry + 12)[0])
        dlls.append(image[name:image.index(b"\0", name)].decode().lower())
        entry += 20
    return {"machine": machine, "magic": magic, "subsystem": subsystem, "stamp": stamp, "dlls": dlls,
            "large_address": bool(characteristics & 0x20), "aslr_nx": dll & 0x140 == 0x140, "relocs": relocations > 0}


SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
               "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll"}


@check
def programs_are_static_images_of_the_right_kind_without_build_paths():
    files = entries(ZIP32)
    # Subsystem 2 is the window, 3 the console; machine 0x14C with the PE32
    # magic 0x10B is 32-bit x86. Stripping must keep the 32-bit window's
    # large addresses and both programs' relocations, ASLR and NX flags.
    for name, subsystem in (("vorpa.exe", 2), ("vorpa-list.exe", 3)):
        image = files[name][1]
        h = pe(image)
        assert (h["machine"], h["magic"], h["subsystem"], h["stamp"]) == (0x14C, 0x10B, subsystem, EPOCH), (name, h)
        assert (h["large_address"], h["aslr_nx"], h["relocs"]) == (name == "vorpa.exe", True, True), (name, h)
        # Static: nothing but Windows' own DLLs.
        assert "kernel32.dll" in h["dlls"] and set(h["dlls"]) <= SYSTEM_DLLS, (name, h["dlls"])
        for path in {ROOT, os.path.realpath(ROOT), BUILD}:
            assert path.encode() not in image, (name, path)


def shown_menu_items():
    """(caption as the window shows it, key) for every item of the menu bar
    and the list's pop-up menu, read from the resource script."""
    items = []
    for menu in ("IDR_MAINMENU", "IDR_POPUP"):
        block = re.search(menu + r" MENU\s*\nBEGIN\n(.*?)\nEND\n", read_text("app", "vorpa.rc"), re.S).group(1)
        depth = 0
        for line in block.splitlines():
            depth += {"BEGIN": 1, "END": -1}.get(line.strip(), 0)
            m = re.match(r'\s*(POPUP|MENUITEM)\s+"((?:[^"]|"")*)"', line)
            if not m or (menu == "IDR_POPUP" and m.group(1) == "POPUP"):  # the pop-up's holder is never shown
                continue
            caption, _, key = m.group(2).replace('""', '"').partition("\\t")
            mnemonic = re.search(r"&([^&])", caption)
            if not key and depth == 0 and mnemonic:
                key = "Alt+" + mnemonic.group(1).upper()
            items.append((re.sub(r"&(.)", r"\1", caption), key))
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
        return any(re.match(r"［?" + re.escape(caption) + r"(］|\s|$)", line) and
                   (not key or re.search(r"\s" + re.escape(key) + "$", line)) for line in lines) or \
            (not key and f"［{caption}］" in text)

    items = shown_menu_items()
    assert len(items) > 20, items
    missing = [item for item in items if not named(*item)]
    assert not missing, missing


# The compatibility ids of the manifest and the Windows versions they stand for.
MANIFEST_OS = {"e2011457": ["Vista"], "35138b9a": ["7"], "4a2f28e3": ["8"], "1f676c76": ["8.1"],
               "8e0f7a12": ["10", "11"]}


@check
def readme_names_version_notice_systems_and_every_tool_option():
    lines = readme_text()
    text = "\n".join(lines)
    legal = header_string("VORPA_LEGAL").replace("©", "(C)")  # code page 932 has no copyright sign
    assert VERSION in lines[1], lines[1]
    assert f"警告:  {legal}" in text
    guids = re.findall(r'supportedOS Id="\{([0-9a-f]{8})-', read_text("app", "vorpa.manifest"))
    systems = sorted(v for g in guids for v in MANIFEST_OS[g])
    listed = [line for line in lines if line.startswith("Windows ") and " / " in line]
    assert len(listed) == 1, listed
    named = re.match(r"Windows ((?:[\w.]+ / )*[\w.]+) ", listed[0]).group(1).split(" / ")
    assert sorted(named) == systems, (named, systems)
    options = re.findall(r"--[a-z][a-z-]+", read_text("cli", "Options.cpp").split("HelpText", 1)[1])
    assert len(options) >= 10, options
    missing = [o for o in options if o not in text]
    assert not missing, missing
    examples = [line for line in lines if line.strip().startswith("vorpa-list ")]
    formats = {(re.findall(r"--format (\w+)", line) or ["csv"])[0] for line in examples}
    assert formats == {"csv", "tsv", "json", "xlsx", "html"}, formats


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
    files = entries(zip_path)
    for name, (_, data) in files.items():
        with open(os.path.join(unpacked, name), "wb") as f:
            f.write(data)
    for name, subsystem in (("vorpa.exe", 2), ("vorpa-list.exe", 3)):
        h = pe(files[name][1])
        assert (h["machine"], h["magic"], h["subsystem"], h["stamp"]) == (0x8664, 0x20B, subsystem, EPOCH), h
    wine = os.environ["WINE"]
    r = subprocess.run([wine, "./vorpa-list.exe", "--version"], cwd=unpacked, capture_output=True, timeout=120)
    assert r.returncode == 0 and r.stdout.decode() == f"vorpa-list {VERSION}\n", (r.returncode, r.stdout)
    r = subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1024x768x24", "bash", "-c", WINDOW_SCRIPT],
                       cwd=unpacked, capture_output=True, text=True, timeout=180)
    assert r.stdout == "opened\nexit 0\n", (r.stdout, r.stderr)


failed = [n for n, e in results if e]
print(f"[==========] {len(results)} tests ran.\n[  PASSED  ] {len(results) - len(failed)} tests.")
if failed:
    print(f"[  FAILED  ] {len(failed)} tests, listed below:\n" + "".join(f"[  FAILED  ] {n}\n" for n in failed))
sys.exit(1 if failed else 0)
