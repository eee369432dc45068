#!/usr/bin/python3
"""Runs the native vorpa-list on crafted trees and reads every output back
with an independent reader: Python's csv and json, openpyxl, and html.parser
for the bookmark tree. Prints a GoogleTest-like summary for scripts/test.sh."""
import csv
import html.parser
import io
import json
import os
import resource
import shutil
import stat
import subprocess
import sys
import tempfile
import traceback

import openpyxl

TOOL = os.path.abspath(sys.argv[1])
VERSION_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "app", "version.h")
results = []


def check(fn):
    name = fn.__name__
    try:
        fn()
        results.append((name, None))
        print(f"[       OK ] {name}")
    except Exception:  # noqa: BLE001 - every failure is reported, the rest run on
        results.append((name, traceback.format_exc()))
        print(f"[  FAILED  ] {name}\n{traceback.format_exc()}")
    return fn


def run(*args, user=None, check_rc=None):
    cmd = [TOOL, *args]
    # Another user is needed only where the check runs as root.
    if user and os.geteuid() == 0:
        cmd = ["setpriv", f"--reuid={user}", "--regid=nogroup", "--clear-groups", *cmd]
    p = subprocess.run(cmd, capture_output=True, timeout=120)
    if check_rc is not None:
        assert p.returncode == check_rc, (cmd, p.returncode, p.stderr.decode(errors="replace"))
    return p


def shortcut(path, url, extra=""):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(("[InternetShortcut]\r\nURL=" + url + "\r\n" + extra).encode("cp932"))


WORK = tempfile.mkdtemp(prefix="vorpa-list-check-")
os.chmod(WORK, 0o755)
TREE = os.path.join(WORK, "tree")
# name, URL, folder below the tree ("" for the tree itself)
ROWS = [
    ("a", "https://a.example/", ""),
    ("カンマ", "http://x.example/?q=1,2", ""),
    ("quote", 'http://x.example/"q"', "sub"),
    ("ホーム", "https://ホーム.example/", "sub/深い"),
    ("z", "ftp://files.example/", "sub/深い"),
]
for name, url, folder in ROWS:
    shortcut(os.path.join(TREE, folder, name + ".url"), url)
with open(os.path.join(TREE, "readme.txt"), "w") as f:
    f.write("not a shortcut")


def expected_rows(sep="/"):
    rows = []
    for name, url, folder in sorted(ROWS, key=lambda r: (r[2], r[0])):
        rows.append((name, url, (sep + folder.replace("/", sep)) if folder else ""))
    return rows


def in_walk_order():
    # The walk lists each folder by name and enters a sub-folder where it is met.
    out = []

    def walk(rel):
        here = os.path.join(TREE, rel)
        for entry in sorted(os.listdir(here).__iter__(), key=lambda n: n.encode()):
            full = os.path.join(here, entry)
            if os.path.isdir(full):
                walk(os.path.join(rel, entry) if rel else entry)
            elif entry.lower().endswith(".url"):
                url = next(r[1] for r in ROWS if r[0] == entry[:-4] and r[2] == rel)
                out.append((entry[:-4], url, "/" + rel if rel else ""))

    walk("")
    return out


@check
def csv_is_the_windows_format_in_cp932_and_utf8():
    raw = run("-r", TREE, check_rc=0).stdout
    assert raw.endswith(b"\r\n\r\n") and not raw.startswith(b"\xef\xbb\xbf")
    text = raw.decode("cp932")
    lines = list(csv.reader(io.StringIO(text, newline="")))
    assert lines[0] == ["ファイル名", "URLアドレス", f"ファイルパス ({TREE})", ""], lines[0]
    # The file's last line is empty, as the window writes it.
    assert lines[-1] == [] and [tuple(l) for l in lines[1:-1]] == in_walk_order(), lines
    raw8 = run("-r", "--encoding", "utf-8", TREE, check_rc=0).stdout
    assert raw8.startswith(b"\xef\xbb\xbf")
    assert raw8[3:].decode("utf-8") == text


@check
def tsv_and_json_read_back():
    rows = list(csv.reader(io.StringIO(run("-r", "--format", "tsv", TREE, check_rc=0).stdout.decode("utf-8"), newline=""),
                           delimiter="\t"))
    assert rows[0] == ["name", "url", "folder", "path"]
    assert [tuple(r[:3]) for r in rows[1:]] == in_walk_order()
    data = json.loads(run("-r", "--format", "json", "--sort", "name", TREE, check_rc=0).stdout)
    assert [d["name"] for d in data] == sorted((r[0] for r in ROWS), key=str.lower), data
    for d in data:
        assert os.path.isfile(d["path"]) and d["path"].startswith(TREE + "/")
        assert set(d) == {"name", "url", "folder", "path"}


@check
def xlsx_is_the_windows_workbook_with_links():
    out = os.path.join(WORK, "list.xlsx")
    run("-r", "--format", "xlsx", "-o", out, TREE, check_rc=0)
    ws = openpyxl.load_workbook(out).active
    assert [c.value for c in ws[1]] == ["ファイル名", "URLアドレス", f"ファイルパス ({TREE})"]
    got = []
    for row in ws.iter_rows(min_row=2):
        link = row[1].hyperlink.target if row[1].hyperlink else None
        got.append((row[0].value, link, row[2].value or ""))
    # A '"' in the URL and a non-ASCII host are no web addresses: plain text, no link.
    want = [(n, None if n in ("quote", "ホーム") else u, f) for n, u, f in in_walk_order()]
    assert got == want, got
    assert not [f for f in os.listdir(WORK) if ".tmp-" in f]


class BookmarkTree(html.parser.HTMLParser):
    """Reads a bookmark file the way the browsers' importers do: a <DL>
    opened after an <H3> holds that folder's bookmarks."""

    def __init__(self):
        super().__init__()
        self.path, self.pending, self.found, self.text, self.href, self.in_h3 = [], None, [], "", None, False

    def handle_starttag(self, tag, attrs):
        if tag == "h3":
            self.in_h3, self.text = True, ""
        elif tag == "dl":
            self.path.append(self.pending)
            self.pending = None
        elif tag == "a":
            self.href, self.text = dict(attrs)["href"], ""

    def handle_endtag(self, tag):
        if tag == "h3":
            self.in_h3, self.pending = False, self.text
        elif tag == "dl":
            self.path.pop()
        elif tag == "a":
            self.found.append((self.text, self.href, "/".join(p for p in self.path if p)))

    def handle_data(self, data):
        self.text += data


@check
def html_is_a_bookmark_tree_of_the_folders():
    text = run("-r", "--format", "html", TREE, check_rc=0).stdout.decode("utf-8")
    assert text.startswith("<!DOCTYPE NETSCAPE-Bookmark-file-1>")
    tree = BookmarkTree()
    tree.feed(text)
    # A '"' in the URL and a non-ASCII host are no web addresses: text, no link.
    links = [(n, u, f) for n, u, f in ROWS if n not in ("quote", "ホーム")]
    assert sorted(tree.found) == sorted(links), tree.found
    assert "<DT>quote\n" in text and "<DD>http://x.example/&quot;q&quot;\n" in text, text


@check
def only_web_addresses_become_links_and_tsv_keeps_no_formula():
    tree = os.path.join(WORK, "targets")
    targets = {
        "js": "javascript:alert(document.cookie)", "data": "data:text/html,<script>x</script>",
        "file": "file:///C:/Windows/System32/calc.exe", "unc": "\\\\attacker\\share\\run.exe",
        "prog": "C:\\Windows\\System32\\cmd.exe", "userinfo": "http://bank.example@evil.example/",
        "web": "https://ok.example/", "mail": "mailto:a@example.com",
    }
    for n, u in targets.items():
        shortcut(os.path.join(tree, n + ".url"), u)
    shortcut(os.path.join(tree, "nourl.url"), "", "")
    with open(os.path.join(tree, "nourl.url"), "wb") as f:
        f.write(b"[InternetShortcut]\r\n")
    for n, u in {"=cmd": "=1+1", "+plus": "+1", "-minus": "-1", "@at": "@SUM(1)"}.items():
        shortcut(os.path.join(tree, n + ".url"), u)
    text = run("--format", "html", tree, check_rc=0).stdout.decode("utf-8")
    marks = BookmarkTree()
    marks.feed(text)
    assert sorted(n for n, _, _ in marks.found) == ["mail", "web"], marks.found
    assert "<DT>js\n" in text and "<DD>javascript:alert(document.cookie)\n" in text, text
    assert "<DT>nourl\n" in text and "<DT>nourl\n<DD>" not in text.replace("    ", ""), text
    rows = list(csv.reader(io.StringIO(run("--format", "tsv", tree, check_rc=0).stdout.decode("utf-8"), newline=""),
                           delimiter="\t"))
    got = {r[0]: r[1] for r in rows[1:]}
    assert got["'=cmd"] == "'=1+1" and got["'+plus"] == "'+1" and got["'-minus"] == "'-1" and got["'@at"] == "'@SUM(1)", got
    assert got["web"] == "https://ok.example/" and got["nourl"] == "", got


@check
def stderr_shows_control_characters_in_names_escaped():
    tree = os.path.join(WORK, "controls")
    names = ["\x1b[2K\r\x1b[1Aerase", "rlo\u202etxt.exe", "osc\x1b]0;title\x07", "csi\u009b2J"]
    for n in names:
        shortcut(os.path.join(tree, n + ".url"), "file://attacker/share/run.exe")
    os.mkfifo(os.path.join(tree, "fifo\x1b[31m.url"))
    p = run("--audit", "--format", "json", tree, check_rc=1)
    err = p.stderr.decode("utf-8")
    assert not any(c in err for c in "\x1b\r\x07\u202e\u009b"), repr(err)
    for shown in ["\\x1B[2K\\x0D\\x1B[1Aerase.url", "rlo\\u202Etxt.exe.url", "osc\\x1B]0;title\\x07.url",
                  "csi\\x9B2J.url", "fifo\\x1B[31m.url"]:
        assert shown in err, (shown, err)
    # The rows themselves keep the names as they are.
    assert sorted(d["name"] for d in json.loads(p.stdout)) == sorted(names + ["fifo\x1b[31m"])


@check
def duplicates_leave_out_rows_without_url_and_cp932_says_when_it_cannot():
    tree = os.path.join(WORK, "nourl-dups")
    for n in ("e1", "e2", "e3"):
        os.makedirs(tree, exist_ok=True)
        with open(os.path.join(tree, n + ".url"), "wb") as f:
            f.write(b"[InternetShortcut]\r\n")
    shortcut(os.path.join(tree, "d1.url"), "https://d.example/")
    shortcut(os.path.join(tree, "d2.url"), "https://d.example")
    dup = json.loads(run("--duplicates", "--format", "json", tree, check_rc=0).stdout)
    assert [(d["name"], d["group"]) for d in dup] == [("d1", 1), ("d2", 1)], dup
    p = run("--encoding", "cp932", tree, check_rc=0)
    assert p.stderr == b"", p.stderr
    with open(os.path.join(tree, "한국.url"), "wb") as f:
        f.write(b"[InternetShortcut]\r\nURL=https://k.example/\r\n")
    p = run("--encoding", "cp932", tree, check_rc=0)
    assert p.stdout.startswith(b"\xef\xbb\xbf") and b"code page 932" in p.stderr and b"UTF-8" in p.stderr, p.stderr
    assert run("-q", "--encoding", "cp932", tree, check_rc=0).stderr == b""


@check
def loops_are_walked_once():
    loop = os.path.join(WORK, "loop")
    shortcut(os.path.join(loop, "a", "x.url"), "https://x/")
    shortcut(os.path.join(loop, "b", "y.url"), "https://y/")
    os.symlink("..", os.path.join(loop, "a", "up"))  # a link to a parent
    os.symlink("../a", os.path.join(loop, "b", "to-a"))  # a second way into the tree
    os.symlink("/etc", os.path.join(loop, "b", "out"))  # a way out, not followed
    p = run("-r", "--format", "json", loop, check_rc=0)
    assert [d["url"] for d in json.loads(p.stdout)] == ["https://x/", "https://y/"], p.stdout


@check
def many_small_folders_fit_a_small_descriptor_limit():
    # Pending reads keep their folders open; with one shortcut a folder a
    # walk would hold far more folders than a limit of 64 descriptors allows.
    tree = os.path.join(WORK, "many-folders")
    for i in range(400):
        shortcut(os.path.join(tree, f"{i:03}", "s.url"), f"https://s{i}/")

    def small_limit():
        resource.setrlimit(resource.RLIMIT_NOFILE, (64, 64))

    p = subprocess.run([TOOL, "-r", "--format", "json", tree], capture_output=True, timeout=120, preexec_fn=small_limit)
    assert p.returncode == 0, p.stderr.decode(errors="replace")[:400]
    assert [d["url"] for d in json.loads(p.stdout)] == [f"https://s{i}/" for i in range(400)]


@check
def unreadable_folder_warns_and_the_rest_is_written():
    tree = os.path.join(WORK, "locked-tree")
    shortcut(os.path.join(tree, "a.url"), "https://a/")
    shortcut(os.path.join(tree, "locked", "b.url"), "https://b/")
    shortcut(os.path.join(tree, "z", "c.url"), "https://c/")
    for d, _, _ in os.walk(tree):
        os.chmod(d, 0o755)
    os.chmod(os.path.join(tree, "locked"), 0)
    try:
        p = run("-r", "--format", "json", tree, user="nobody", check_rc=1)
    finally:
        os.chmod(os.path.join(tree, "locked"), 0o755)
    assert [d["url"] for d in json.loads(p.stdout)] == ["https://a/", "https://c/"]
    assert b"locked" in p.stderr and b"ermission" in p.stderr, p.stderr


@check
def duplicates_and_audit_on_crafted_files():
    tree = os.path.join(WORK, "crafted")
    shortcut(os.path.join(tree, "1.url"), "HTTPS://Dup.Example/")
    shortcut(os.path.join(tree, "2.url"), "https://unique.example/")
    shortcut(os.path.join(tree, "3.url"), "https://dup.example")
    shortcut(os.path.join(tree, "4.url"), "file://attacker/share/run.exe")
    shortcut(os.path.join(tree, "5.url"), "https://ok.example/", "IconFile=\\\\attacker\\s\\i.ico\r\n")
    shortcut(os.path.join(tree, "6.url"), "https://one.example/", "[InternetShortcut]\r\nURL=https://two.example/\r\n")
    shortcut(os.path.join(tree, "7.url"), "https://e.example/" + "a" * 2100)
    shortcut(os.path.join(tree, "8.url"), "search-ms:query=x")
    dup = json.loads(run("--duplicates", "--format", "json", tree, check_rc=0).stdout)
    assert [(d["name"], d["group"]) for d in dup] == [("1", 1), ("3", 1)], dup
    p = run("--audit", "--format", "json", tree, check_rc=0)
    risk = {d["name"]: d["risk"] for d in json.loads(p.stdout)}
    assert risk["1"] == risk["2"] == risk["3"] == ""
    assert "not a web address" in risk["4"] and "remote" in risk["4"]
    assert "IconFile on a remote path" in risk["5"]
    assert "several [InternetShortcut]" in risk["6"]
    assert "2083" in risk["7"]
    assert "search-ms" in risk["8"]
    listed = p.stderr.decode()
    assert all(os.path.join(tree, f"{n}.url") in listed for n in "45678"), listed
    rows = list(csv.reader(io.StringIO(run("--audit", tree, check_rc=0).stdout.decode("cp932"), newline="")))
    assert rows[0][3] == "リスク" and rows[0][4] == ""
    assert "remote" in next(r for r in rows if r[0] == "4")[3]


@check
def bad_input_gets_a_defined_row_or_warning():
    tree = os.path.join(WORK, "bad")
    os.makedirs(tree)
    with open(os.path.join(tree, "garbage.url"), "wb") as f:
        f.write(os.urandom(4096))
    with open(os.path.join(tree, "huge.url"), "wb") as f:
        f.write(b"[InternetShortcut]\r\nURL=https://huge.example/\r\n")
        f.truncate(1 << 30)  # sparse
    os.mkfifo(os.path.join(tree, "fifo.url"))
    with open(os.path.join(tree.encode(), b"bad\xff\xfe.url"), "wb") as f:
        f.write(b"[InternetShortcut]\r\nURL=https://badname.example/\r\n")
    deep = os.path.join(tree, *(["d" * 50] * 6))
    shortcut(os.path.join(deep, "long.url"), "https://long.example/")
    p = run("-r", "--format", "json", tree, check_rc=1)  # the FIFO cannot be read
    rows = {d["name"]: d for d in json.loads(p.stdout)}
    assert rows["huge"]["url"] == "https://huge.example/"
    assert rows["fifo"]["url"] == "" and b"fifo.url" in p.stderr
    assert rows["bad\ufffd\ufffd"]["url"] == "https://badname.example/"
    assert len(rows["long"]["path"]) > 300 and rows["long"]["url"] == "https://long.example/"
    assert "garbage" in rows
    # Characters outside cp932 send the CSV to UTF-8 behind a BOM, as the window's save does.
    raw = run("-r", tree).stdout
    assert raw.startswith(b"\xef\xbb\xbf") and "bad\ufffd\ufffd" in raw.decode("utf-8-sig")
    # Standard output cannot start again: it must still get the file's bytes.
    out = os.path.join(WORK, "bad.csv")
    run("-r", "-o", out, tree)
    with open(out, "rb") as f:
        assert f.read() == raw


@check
def exit_codes_usage_and_version():
    assert run("--format", "pdf", TREE).returncode == 2
    assert run().returncode == 2
    p = run("--format", "json", os.path.join(WORK, "missing"), TREE, check_rc=1)
    assert len(json.loads(p.stdout)) == len(ROWS) - 3  # the others still listed (top folder only)
    with open(VERSION_HEADER) as f:
        version = next(l.split('"')[1] for l in f if "VORPA_VERSION_STR" in l)
    assert run("--version", check_rc=0).stdout.decode().strip() == f"vorpa-list {version}"
    assert b"--recursive" in run("--help", check_rc=0).stdout


@check
def output_file_is_replaced_only_when_complete():
    out = os.path.join(WORK, "keep.csv")
    with open(out, "wb") as f:
        f.write(b"old")
    # No temporary file can be made in a folder that is not there.
    assert run("-o", os.path.join(WORK, "nowhere", "x.csv"), TREE).returncode == 1
    run("-o", out, TREE, check_rc=0)
    with open(out, "rb") as f:
        assert f.read() == run(TREE).stdout
    # An output that is also a PATH would replace what it lists.
    a = os.path.join(TREE, "a.url")
    with open(a, "rb") as f:
        before = f.read()
    for args in (["-o", a, a], ["-o", "a.url", TREE + "/./a.url"]):
        p = subprocess.run([TOOL, *args], capture_output=True, timeout=60, cwd=TREE)
        assert p.returncode == 2, (args, p.returncode)
    with open(a, "rb") as f:
        assert f.read() == before
    assert not [f for f in os.listdir(WORK) if ".tmp-" in f]



@check
def an_output_that_is_a_listed_shortcut_is_bad_usage_by_identity():
    a = os.path.join(TREE, "a.url")
    with open(a, "rb") as f:
        before = f.read()
    link, hard = os.path.join(WORK, "link-to-a.url"), os.path.join(WORK, "hard-a.url")
    os.symlink(a, link)
    os.link(a, hard)
    quote = os.path.join(TREE, "sub", "quote.url")
    # (arguments, exit code); run from WORK
    cases = [
        (["-o", "tree/../tree/a.url", "tree/a.url"], 2),
        (["-o", link, a], 2),
        (["-o", hard, a], 2),
        (["-o", a, TREE], 2),
        (["-o", link, TREE], 2),
        (["-o", quote, "-r", TREE], 2),
        (["-o", os.path.join(WORK, "fine.csv"), TREE], 0),
        (["-o", os.path.join(WORK, "fine.csv"), a], 0),
    ]
    for args, rc in cases:
        p = subprocess.run([TOOL, *args], capture_output=True, timeout=60, cwd=WORK)
        assert p.returncode == rc, (args, p.returncode, p.stderr)
    with open(a, "rb") as f:
        assert f.read() == before
    os.remove(link)
    os.remove(hard)


@check
def a_file_swapped_for_a_link_is_never_read_outside_the_path():
    import threading
    race = os.path.join(WORK, "race")
    secret = os.path.join(WORK, "secret.url")
    shortcut(secret, "https://secret.example/")
    for i in range(20):
        shortcut(os.path.join(race, f"{i:02}.url"), "https://inside.example/")
    victim = os.path.join(race, "10.url")
    stop = threading.Event()

    def swap():
        n = 0
        while not stop.is_set():
            n += 1
            tmp = os.path.join(WORK, f"swap-{n}")
            if n % 2:
                os.symlink(secret, tmp)
            else:
                shortcut(tmp, "https://inside.example/")
            os.rename(tmp, victim)

    swapper = threading.Thread(target=swap)
    swapper.start()
    try:
        leaked = 0
        for _ in range(400):
            p = subprocess.run([TOOL, "-q", "--format", "json", race], capture_output=True, timeout=60)
            leaked += b"secret" in p.stdout
    finally:
        stop.set()
        swapper.join()
    assert leaked == 0, f"{leaked} of 400 runs read the file outside the PATH"


@check
def a_closed_pipe_is_a_write_error_not_a_kill():
    out = os.path.join(WORK, "piped.csv")
    for stream, args, rc in (("stdout", [TREE], 1), ("stderr", ["-o", out, os.path.join(WORK, "missing"), TREE], 1)):
        r, w = os.pipe()
        os.close(r)
        # subprocess gives the child the default SIGPIPE action, as a shell does.
        p = subprocess.run([TOOL, *args], **{stream: w}, timeout=60)
        os.close(w)
        assert p.returncode == rc, (stream, p.returncode)
    with open(out, "rb") as f:
        assert f.read() == run(TREE).stdout



@check
def output_to_a_fifo_or_through_a_link_lands_where_it_points():
    tree = os.path.join(WORK, "wide")
    shortcut(os.path.join(tree, "a.url"), "https://a.example/")
    with open(os.path.join(tree, "\U0001F600.url"), "wb") as f:  # outside cp932: the CSV starts again in UTF-8
        f.write(b"[InternetShortcut]\r\nURL=https://b.example/\r\n")
    want = run(tree, check_rc=0).stdout
    fifo = os.path.join(WORK, "out.fifo")
    os.mkfifo(fifo)
    reader = subprocess.Popen(["cat", fifo], stdout=subprocess.PIPE)
    run("-o", fifo, tree, check_rc=0)
    try:
        got = reader.communicate(timeout=10)[0]
    except subprocess.TimeoutExpired:
        reader.kill()
        got = reader.communicate()[0]
    assert stat.S_ISFIFO(os.lstat(fifo).st_mode) and got == want, got
    # Through a link the list it names is replaced, the link and the list's permissions kept.
    target = os.path.join(WORK, "private.csv")
    with open(target, "wb") as f:
        f.write(b"old")
    os.chmod(target, 0o600)
    link = os.path.join(WORK, "link.csv")
    os.symlink(target, link)
    run("-o", link, tree, check_rc=0)
    assert os.path.islink(link) and stat.S_IMODE(os.stat(target).st_mode) == 0o600
    with open(target, "rb") as f:
        assert f.read() == want



@check
def a_removed_current_folder_is_no_path_from_the_root():
    gone = os.path.join(WORK, "gone")
    os.makedirs(gone)
    p = subprocess.run(["sh", "-c", 'cd "$1" && rmdir "$1" && exec "$2" --format json .', "sh", gone, TOOL],
                       capture_output=True, timeout=60)
    assert p.returncode == 1 and json.loads(p.stdout) == [], (p.returncode, p.stdout)



@check
def colons_and_backslashes_are_part_of_posix_names():
    tree = os.path.join(WORK, "marks")
    shortcut(os.path.join(tree, "Re: news.url"), "https://a.example/")
    shortcut(os.path.join(tree, "back\\slash.url"), "https://b.example/")
    shortcut(os.path.join(tree, "sub\\dir", "c:d.url"), "https://c.example/")
    rows = json.loads(run("-r", "--format", "json", tree, check_rc=0).stdout)
    assert [(d["name"], d["folder"]) for d in rows] == [("Re: news", ""), ("back\\slash", ""), ("c:d", "/sub\\dir")], rows
    rows = json.loads(run("--format", "json", os.path.join(tree, "Re: news.url"), check_rc=0).stdout)
    assert [(d["name"], d["folder"]) for d in rows] == [("Re: news", tree)], rows



@check
def audit_memory_stays_bounded_on_large_files():
    tree = os.path.join(WORK, "large")
    first = os.path.join(tree, "0.url")
    shortcut(first, "https://large.example/", "\r\n" * (1 << 19))  # 1 MiB of lines, all read
    for i in range(1, 256):  # links cost no space; each is read in full
        os.link(first, os.path.join(tree, f"{i}.url"))
    p = subprocess.Popen([TOOL, "--audit", "-q", tree], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    assert os.waitstatus_to_exitcode(status) == 0
    assert usage.ru_maxrss < 128 * 1024, usage.ru_maxrss  # KiB; the files' bytes are 256 MiB


shutil.rmtree(WORK, ignore_errors=True)
failed = [n for n, e in results if e]
print(f"[==========] {len(results)} tests ran.")
print(f"[  PASSED  ] {len(results) - len(failed)} tests.")
if failed:
    print(f"[  FAILED  ] {len(failed)} tests, listed below:")
    for n in failed:
        print(f"[  FAILED  ] {n}")
sys.exit(1 if failed else 0)
