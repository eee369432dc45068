#!/usr/bin/env python3
"""Writes a small set of Internet shortcut files of our own into a folder:
nested folders, Japanese names, and the encodings Windows itself writes
(ANSI text, and a UTF-7 [InternetShortcut.W] copy for a URL that the ANSI
code page cannot hold)."""
import os
import sys

ENTRIES = {
    "": [
        ("Debian", "https://www.debian.org/"),
        ("Wine HQ", "https://www.winehq.org/"),
        ("ニュース", "https://www.example.jp/news/"),
        ("天気予報", "https://www.example.jp/weather/?area=130010"),
        ("地図", "https://maps.example.jp/?q=東京駅"),
        ("mail the team", "mailto:team@example.org"),
        ("FTP mirror", "ftp://ftp.example.org/pub/"),
    ],
    "開発": [
        ("CMake documentation", "https://cmake.org/cmake/help/latest/"),
        ("GoogleTest primer", "https://google.github.io/googletest/primer.html"),
        ("MinGW-w64", "https://www.mingw-w64.org/"),
        ("表計算の資料", "https://www.example.jp/docs/表計算/"),
    ],
    "開発\\Win32": [
        ("List view", "https://learn.microsoft.com/windows/win32/controls/list-view-controls-overview"),
        ("Shell links", "https://learn.microsoft.com/windows/win32/shell/links"),
        ("Drag and drop", "https://learn.microsoft.com/windows/win32/com/drag-and-drop"),
    ],
    "趣味\\旅行": [
        ("京都", "https://www.example.jp/travel/kyoto/"),
        ("北海道", "https://www.example.jp/travel/hokkaido/"),
        ("한국어 페이지", "https://www.example.kr/한국어/"),
        ("Café", "https://www.example.fr/café/"),
    ],
    "趣味\\料理": [
        ("カレー", "https://www.example.jp/recipes/curry/"),
        ("ラーメン", "https://www.example.jp/recipes/ramen/"),
        ("パン", "https://www.example.jp/recipes/bread/"),
    ],
    "Work": [
        ("Issue tracker", "https://tracker.example.com/"),
        ("Build server", "https://ci.example.com/job/main/"),
        ("Wiki", "https://wiki.example.com/Start"),
        ("Calendar", "https://calendar.example.com/"),
        ("Expenses", "https://expenses.example.com/"),
    ],
    "Work\\Archive": [
        ("Old wiki", "http://oldwiki.example.com/"),
        ("2019 plans", "http://intranet.example.com/plans/2019"),
    ],
}


def utf7(text):
    return text.encode("utf-7").decode("ascii")


def shortcut_bytes(url):
    try:
        ansi = url.encode("cp932")
        return b"[InternetShortcut]\r\nURL=" + ansi + b"\r\n"
    except UnicodeEncodeError:
        lossy = url.encode("cp932", errors="replace")
        return (b"[InternetShortcut]\r\nURL=" + lossy + b"\r\n"
                b"[InternetShortcut.A]\r\nURL=" + lossy + b"\r\n"
                b"[InternetShortcut.W]\r\nURL=" + utf7(url).encode("ascii") + b"\r\n")


def main(target):
    count = 0
    for folder, items in ENTRIES.items():
        path = os.path.join(target, *folder.split("\\")) if folder else target
        os.makedirs(path, exist_ok=True)
        for name, url in items:
            with open(os.path.join(path, name + ".url"), "wb") as f:
                f.write(shortcut_bytes(url))
            count += 1
    # Files that are not shortcuts are passed over by the scan.
    with open(os.path.join(target, "readme.txt"), "w", encoding="utf-8") as f:
        f.write("Sample shortcuts for trying the program.\n")
    print(f"{count} sample shortcuts in {target}")


if __name__ == "__main__":
    main(sys.argv[1])
