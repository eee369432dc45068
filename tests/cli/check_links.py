#!/usr/bin/python3
"""vorpa-list --check against web servers of its own on 127.0.0.1 (and
127.0.0.2), started and stopped here. With --wine WINE EXE the Windows
console build is run on the same tree and must give the same verdicts.
Prints a GoogleTest-like summary for scripts/test.sh."""
import csv
import http.server
import io
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import traceback

TOOL = os.path.abspath(sys.argv[1])
WINE = sys.argv[sys.argv.index("--wine") + 1:sys.argv.index("--wine") + 3] if "--wine" in sys.argv else None
ENV = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}  # nothing between the tool and the servers
results = []


def check(fn):
    try:
        fn()
        results.append((fn.__name__, None))
        print(f"[       OK ] {fn.__name__}", flush=True)
    except Exception:  # noqa: BLE001 - every failure is reported, the rest run on
        results.append((fn.__name__, traceback.format_exc()))
        print(f"[  FAILED  ] {fn.__name__}\n{traceback.format_exc()}", flush=True)
    return fn


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    counts = {}
    active = {}
    most = {}
    lock = threading.Lock()

    def log_message(self, *args):
        pass

    def answer(self, status, headers=(), body=b""):
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command == "GET":
            self.wfile.write(body)

    def route(self):
        p, port = self.path, self.server.server_address[1]
        with Handler.lock:
            n = Handler.counts[(port, p)] = Handler.counts.get((port, p), 0) + 1
            Handler.active[port] = Handler.active.get(port, 0) + 1
            Handler.most[port] = max(Handler.most.get(port, 0), Handler.active[port])
        try:
            self.respond(p, n)
        finally:
            with Handler.lock:
                Handler.active[port] -= 1

    def respond(self, p, n):
        codes = {"/missing": 404, "/gone": 410, "/private": 403, "/auth": 401, "/legal": 451, "/always429": 429,
                 "/always500": 500, "/teapot": 418, "/ok": 200, "/shared": 200}
        moves = {"/temp": (302, "/ok"), "/perm": (301, "/ok"), "/perm308": (308, "http://127.0.0.1:%d/ok" % PORT),
                 "/see": (303, "/ok"), "/loop-a": (302, "/loop-b"), "/loop-b": (307, "/loop-a"),
                 "/to-file": (302, "file:///etc/passwd"), "/to-js": (302, "javascript:alert(1)"),
                 "/garbage": (302, "http://[bad"), "/rel/x": (302, "../ok"), "/no-location": (302, None),
                 "/cross": (301, "http://127.0.0.2:%d/ok" % PORT2)}
        if p in codes:
            return self.answer(codes[p])
        if p in moves:
            status, to = moves[p]
            return self.answer(status, [("Location", to)] if to else [])
        if p.startswith("/hops/"):
            left = int(p[6:])
            return self.answer(200) if left == 0 else self.answer(302, [("Location", "/hops/%d" % (left - 1))])
        if p == "/nohead":
            return self.answer(405 if self.command == "HEAD" else 200)
        if p in ("/flaky503", "/flaky429"):
            if n <= 2:
                return self.answer(int(p[-3:]), [("Retry-After", "1")])
            return self.answer(200)
        if p == "/slow":
            time.sleep(3)
            return self.answer(200)
        if p.startswith("/delay/"):
            time.sleep(0.3)
            return self.answer(200)
        if p == "/big" and self.command == "HEAD":
            return self.answer(405)
        if p == "/big":  # 10 GB, if anyone read it
            self.send_response(200)
            self.send_header("Content-Length", str(10 << 30))
            self.end_headers()
            try:
                for _ in range(10 << 20):
                    self.wfile.write(b"x" * 1024)
            except OSError:
                pass
            return None
        return self.answer(404)

    do_HEAD = do_GET = route


def serve(host, tls=None):
    server = http.server.ThreadingHTTPServer((host, 0), Handler)
    server.daemon_threads = True
    if tls:
        server.socket = tls.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def requests_to(port, path):
    with Handler.lock:
        return Handler.counts.get((port, path), 0)


WORK = tempfile.mkdtemp(prefix="vorpa-check-")
MAIN = serve("127.0.0.1")
OTHER = serve("127.0.0.2")
PORT, PORT2 = MAIN.server_address[1], OTHER.server_address[1]
# A port nothing listens on, and one that accepts and never answers.
probe = socket.socket()
probe.bind(("127.0.0.1", 0))
CLOSED = probe.getsockname()[1]
probe.close()
SILENT = socket.socket()
SILENT.bind(("127.0.0.1", 0))
SILENT.listen(8)

base = "http://127.0.0.1:%d" % PORT
# name: URL, verdict, status, final URL (None: the URL itself)
CASES = {
    "ok": (base + "/ok", "ok", 200, None),
    "temp": (base + "/temp", "ok", 200, base + "/ok"),
    "see-other": (base + "/see", "ok", 200, base + "/ok"),
    "relative": (base + "/rel/x", "ok", 200, base + "/ok"),
    "ten-hops": (base + "/hops/10", "ok", 200, base + "/hops/0"),
    "nohead": (base + "/nohead", "ok", 200, None),
    "big-body": (base + "/big", "ok", 200, None),
    "flaky503": (base + "/flaky503", "ok", 200, None),
    "flaky429": (base + "/flaky429", "ok", 200, None),
    "moved": (base + "/perm", "moved", 200, base + "/ok"),
    "moved308": (base + "/perm308", "moved", 200, base + "/ok"),
    "cross-host": (base + "/cross", "moved", 200, "http://127.0.0.2:%d/ok" % PORT2),
    "missing": (base + "/missing", "dead", 404, None),
    "gone": (base + "/gone", "dead", 410, None),
    "refused": ("http://127.0.0.1:%d/" % CLOSED, "dead", 0, None),
    "private": (base + "/private", "restricted", 403, None),
    "auth": (base + "/auth", "restricted", 401, None),
    "legal": (base + "/legal", "restricted", 451, None),
    "busy": (base + "/always429", "restricted", 429, None),
    "broken": (base + "/always500", "error", 500, None),
    "teapot": (base + "/teapot", "error", 418, None),
    "loop": (base + "/loop-a", "error", 307, base + "/loop-a"),
    "eleven-hops": (base + "/hops/11", "error", 302, base + "/hops/1"),
    "to-file": (base + "/to-file", "error", 302, None),
    "to-js": (base + "/to-js", "error", 302, None),
    "garbage-location": (base + "/garbage", "error", 302, None),
    "no-location": (base + "/no-location", "error", 302, None),
    # Never contacted: no web address by the window's test, or not http(s).
    "ftp": ("ftp://127.0.0.1:%d/never-ftp" % PORT, "skipped", 0, ""),
    "mailto": ("mailto:someone@example.com", "skipped", 0, ""),
    "file": ("file:///etc/hosts", "skipped", 0, ""),
    "js": ("javascript:alert(1)", "skipped", 0, ""),
    "blank": (base + "/never a b", "skipped", 0, ""),
    "backslash": ("http:\\\\127.0.0.1:%d\\never-back" % PORT, "skipped", 0, ""),
}


def shortcut(path, url):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(("[InternetShortcut]\r\nURL=" + url + "\r\n").encode("utf-8"))


TREE = os.path.join(WORK, "tree")
for name, (url, *_) in CASES.items():
    shortcut(os.path.join(TREE, name + ".url"), url)
for i in range(3):
    shortcut(os.path.join(TREE, "shared", "s%d.url" % i), base + "/shared")


def run(*args, tool=None, rc=None, timeout=120):
    cmd = (tool or [TOOL]) + list(args)
    p = subprocess.run(cmd, capture_output=True, timeout=timeout, env=ENV)
    if rc is not None:
        assert p.returncode == rc, (cmd, p.returncode, p.stderr.decode(errors="replace"))
    return p


def verdicts(rows):
    return {r["name"]: (r["check"], r["status"], r["final_url"]) for r in rows}


NATIVE = {}


@check
def every_verdict_natively():
    p = run("-r", "--check", "--format", "json", "--fail-on", "dead", TREE, rc=3)
    got = verdicts(json.loads(p.stdout))
    NATIVE.update(got)
    for name, (url, verdict, status, final) in CASES.items():
        want = (verdict, status, url if final is None else final)
        assert got[name] == want, (name, got[name], want)
    assert [got["s%d" % i] for i in range(3)] == [("ok", 200, base + "/shared")] * 3
    # A URL shared by three shortcuts is asked once; HEAD refused, then one GET.
    assert requests_to(PORT, "/shared") == 1
    assert requests_to(PORT, "/nohead") == 2
    # One retry each: two failures, then the answer.
    assert requests_to(PORT, "/always500") == 3 and requests_to(PORT, "/flaky503") == 3
    with Handler.lock:
        contacted = [path for (_, path) in Handler.counts if "never" in path]
    assert contacted == [], contacted


@check
def columns_follow_the_windows_three():
    p = run("--check", "--format", "csv", "--encoding", "utf-8", os.path.join(TREE, "gone.url"), rc=0)
    rows = list(csv.reader(io.StringIO(p.stdout.decode("utf-8-sig"), newline="")))
    assert rows[0][3:] == ["check", "status", "final_url", ""], rows[0]
    assert rows[1][3:] == ["dead", "410", base + "/gone"], rows[1]
    tsv = run("--check", "--audit", "--format", "tsv", os.path.join(TREE, "ok.url"), rc=0).stdout.decode()
    assert tsv.splitlines()[0].split("\t")[-4:] == ["risk", "check", "status", "final_url"]
    # Without --check nothing is contacted and no field is added.
    before = requests_to(PORT, "/ok")
    assert '"check"' not in run("--format", "json", TREE, rc=0).stdout.decode()
    assert requests_to(PORT, "/ok") == before


@check
def timeouts_end_slow_and_silent_servers():
    tree = os.path.join(WORK, "slow")
    shortcut(os.path.join(tree, "slow.url"), base + "/slow")
    shortcut(os.path.join(tree, "silent.url"), "http://127.0.0.1:%d/" % SILENT.getsockname()[1])
    start = time.monotonic()
    got = verdicts(json.loads(run("--check", "--timeout", "1", "--format", "json", tree, rc=0).stdout))
    assert got == {"slow": ("error", 0, base + "/slow"), "silent": ("error", 0, "http://127.0.0.1:%d/" % SILENT.getsockname()[1])}, got
    assert requests_to(PORT, "/slow") == 2  # one retry after a timeout
    assert time.monotonic() - start < 10  # two tries of one second each, not the page's three


@check
def at_most_four_requests_to_one_host():
    # Servers of their own: the others' slow answers may still be running.
    servers = [serve("127.0.0.1"), serve("127.0.0.2")]
    tree = os.path.join(WORK, "many")
    for s in servers:
        host, port = s.server_address
        for i in range(12):
            shortcut(os.path.join(tree, "%s-%d.url" % (host, i)), "http://%s:%d/delay/%d" % (host, port, i))
    try:
        got = verdicts(json.loads(run("--check", "--jobs", "16", "--format", "json", tree, rc=0).stdout))
        assert {v[0] for v in got.values()} == {"ok"} and len(got) == 24
        assert [Handler.most[s.server_address[1]] for s in servers] == [4, 4], Handler.most
    finally:
        for s in servers:
            s.shutdown()


@check
def tls_with_a_certificate_made_here():
    cert, key = os.path.join(WORK, "cert.pem"), os.path.join(WORK, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"], check=True, capture_output=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server = serve("127.0.0.1", context)
    try:
        port = server.server_address[1]
        tree = os.path.join(WORK, "tls")
        shortcut(os.path.join(tree, "ip.url"), "https://127.0.0.1:%d/ok" % port)
        shortcut(os.path.join(tree, "name.url"), "https://localhost:%d/ok" % port)  # not in the certificate
        trusted = verdicts(json.loads(run("--check", "--ca-file", cert, "--format", "json", tree, rc=0).stdout))
        assert trusted["ip"] == ("ok", 200, "https://127.0.0.1:%d/ok" % port), trusted
        assert trusted["name"][0] == "error", trusted
        untrusted = verdicts(json.loads(run("--check", "--format", "json", tree, rc=0).stdout))
        assert untrusted["ip"][0] == "error", untrusted
    finally:
        server.shutdown()


@check
def bad_usage_of_the_check_options():
    for args in (["--jobs", "0", "--check"], ["--timeout", "x", "--check"], ["--jobs", "4"], ["--fail-on", "dead"],
                 ["--fail-on", "audit", "--check"], ["--fail-on", "nothing"]):
        assert run(*args, TREE).returncode == 2, args
    assert run("--fail-on", "duplicates", os.path.join(TREE, "shared"), rc=3)
    assert run("--fail-on", "duplicates", os.path.join(TREE, "ok.url"), rc=0)


if WINE:
    @check
    def the_windows_build_gives_the_same_verdicts():
        assert NATIVE, "the native run failed"
        wine_tree = "Z:" + TREE.replace("/", "\\")
        p = run("-r", "--check", "--format", "json", wine_tree, tool=WINE, timeout=300)
        assert p.returncode == 0, (p.returncode, p.stderr.decode(errors="replace"))
        # Wine's file title keeps the extension.
        got = {n.removesuffix(".url"): v for n, v in verdicts(json.loads(p.stdout)).items()}
        differ = {n: (got.get(n), NATIVE[n]) for n in NATIVE if got.get(n) != NATIVE[n]}
        assert not differ, differ
        # WinHTTP's own timeouts end a slow page and a silent server too.
        start = time.monotonic()
        p = run("--check", "--timeout", "1", "--format", "json", "Z:" + os.path.join(WORK, "slow").replace("/", "\\"),
                tool=WINE, rc=0)
        assert sorted(r["check"] for r in json.loads(p.stdout)) == ["error", "error"], p.stdout
        assert time.monotonic() - start < 40  # the silent server would hold it for ever


MAIN.shutdown()
OTHER.shutdown()
shutil.rmtree(WORK, ignore_errors=True)
failed = [n for n, e in results if e]
print(f"[==========] {len(results)} tests ran.")
print(f"[  PASSED  ] {len(results) - len(failed)} tests.")
if failed:
    print(f"[  FAILED  ] {len(failed)} tests, listed below:")
    for n in failed:
        print(f"[  FAILED  ] {n}")
sys.exit(1 if failed else 0)
