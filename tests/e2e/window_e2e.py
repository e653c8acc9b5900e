"""End to end through the window: the real `pictora` under Xvfb, driven with the keyboard as a
person would, from a project named on its command line to the album in headless Chromium; then
closing, and a second start that brings the author address back and registers nothing again.

    window_e2e.py --pictora PATH --work DIR --offered-author ADDRESS
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import time
import urllib.parse

sys.dont_write_bytecode = True  # nothing written into the source tree
from album_check import AlbumCheck, Expect, Site
from album_e2e import PICTURES, make_pictures
from chromium import Browser
from xsession import Desktop, Display, Timeout

TITLE = "窓から作る表参道のアルバム"


def store(desktop):
    """The preferences store as {(key, value name): text}."""
    path = os.path.join(desktop.config, "pictora", "pictora.ini")
    values, section = {}, None
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for line in f.read().splitlines():
                if line.startswith("[") and line.endswith("]"):
                    section = line[1:-1]
                elif "=" in line and section is not None:
                    name, text = line.split("=", 1)
                    values[(section, name)] = text
    return values


def registered_files(desktop):
    """Every file under XDG_DATA_HOME with a digest of its bytes."""
    found = {}
    for folder, _, files in os.walk(desktop.data):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, desktop.data)] = hashlib.sha256(f.read()).hexdigest()
    return found


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def close_window(desktop, failures, what, asked=True):
    """プロジェクト(&P) → 終了(&Z), No to the save question when it is asked; the program must then
    end cleanly."""
    desktop.menu("p", "z", what="終了(&Z)")
    if asked:
        desktop.answer("確認", "n", "作成中のプロジェクトを保存しますか!?")
    status = desktop.wait_exit(f"closing ({what})")
    if status != 0:
        failures.append(f"{what}: the program ended with status {status}:\n{desktop.output()}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--pictora", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--offered-author", required=True, help="the support address the author question offers")
    args = ap.parse_args()
    started = time.monotonic()

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    pictures = make_pictures(os.path.join(work, "pictures"))
    # The album goes into a folder that does not exist yet, inside a site whose top page the
    # default centre button ("../index.htm") leads to.
    site_dir = os.path.join(work, "site")
    os.makedirs(site_dir)
    with open(os.path.join(site_dir, "index.htm"), "w") as f:
        f.write('<!DOCTYPE html><title>albums</title><a href="album/index.htm">album</a>\n')
    album = os.path.join(site_dir, "album")
    pxa = os.path.join(work, "album.pxa")
    made = subprocess.run([args.pictora, "--new", pxa, *pictures, "--title", TITLE, "--out", album,
                           "--set", "csSlideTime=1"], capture_output=True, text=True)
    if made.returncode != 0:
        sys.exit(f"pictora --new failed ({made.returncode}):\n{made.stdout}{made.stderr}")
    project_before = digest(pxa)

    failures = []
    with Display() as display:
        desktop = Desktop(display, os.path.abspath(args.pictora), os.path.join(work, "home"),
                          os.path.join(work, "screens"))
        try:
            # First start, with the project on the command line.
            desktop.start(pxa)
            desktop.menu("a", "m", what="HTMLアルバムの作成(&M)")
            desktop.answer("警告", "y", "HTML作者連絡先が空欄です。…にしますか?")
            desktop.answer("警告", "y", "HTML出力先フォルダが存在しません。作成しますか?")
            desktop.answer("確認", "n", "出力先フォルダにhtmlフォルダを作成しますか?")
            cover = "file://" + os.path.join(album, "index.htm")
            desktop.wait(lambda: cover in map(urllib.parse.unquote, desktop.opened()),
                         f"the browser to be asked for {cover}", timeout=90)
            print(f"  the browser was asked for {desktop.opened()}", flush=True)
            # The generated JPEGs carry Exif without a date, so their time stamps are the files' times
            # and the make has nothing to tell a visitor about.

            site = Site(work)
            try:
                with Browser() as browser:
                    expect = Expect(pictures=len(PICTURES), title=TITLE,
                                    main_sizes=[p[3] for p in PICTURES], thumb_sizes=[p[4] for p in PICTURES])
                    faults = AlbumCheck(browser, site, "site/album", expect).run(follow_slideshow=True)
            finally:
                site.close()
            print(f"album: {len(faults)} faults" + "".join(f"\n    {f}" for f in faults), flush=True)
            failures += [f"album: {f}" for f in faults]

            # The project named on the command line is that file, unchanged: closing asks nothing.
            close_window(desktop, failures, "first close", asked=False)
            first = store(desktop)
            files = registered_files(desktop)
            author = first.get(("PictoraDoc", "RevMade"))
            if author != args.offered_author:
                failures.append(f"after the first close RevMade is {author!r}, not {args.offered_author!r}")
            if ("PictoraDoc", "@") not in first or not files:
                failures.append(f"the first start registered nothing: store {first}, files {sorted(files)}")
            if digest(pxa) != project_before:
                failures.append("the project file changed although nothing was saved")

            # Second start, without a project: the address comes back from the store into
            # edRevMade, which the close writes back; nothing is registered again.
            desktop.start(log_name="pictora-2.log")
            if registered_files(desktop) != files or store(desktop) != first:
                failures.append("the second start changed the registration")
            close_window(desktop, failures, "second close")
            second = store(desktop)
            if second != first:
                failures.append(f"after the second close the store is {second}, not {first}")
            if registered_files(desktop) != files:
                failures.append(f"the files under XDG_DATA_HOME changed: {sorted(files)} -> "
                                f"{sorted(registered_files(desktop))}")
        except Timeout as e:
            failures.append(str(e))
        finally:
            desktop.stop()

    print(f"{time.monotonic() - started:.1f} s")
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
