"""End to end: pictures -> `pictora --new` -> a Japanese title and comments -> `pictora --make`
-> the album in headless Chromium, page by page. Then the same checks must catch each of a set
of deliberately broken copies of that album, so that a silent checker cannot pass for a sound album.

    album_e2e.py --pictora PATH --work DIR
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
from album_check import AlbumCheck, Expect, Site
from chromium import Browser

# name, width, height; sorted by name this is the album's order. The main pictures fit 640x640
# by the long side, the thumbnails 160x160 from the main picture, sizes truncated.
PICTURES = [
    ("a_landscape.jpg", 1600, 1200, (640, 480), (160, 120)),
    ("b_portrait.jpg", 1200, 1600, (480, 640), (120, 160)),
    ("c_square.jpg", 1000, 1000, (640, 640), (160, 160)),
    ("d_small.png", 320, 240, (640, 480), (160, 120)),
    ("e_panorama.jpg", 2000, 500, (640, 160), (160, 40)),
    ("f_tall.jpg", 300, 900, (213, 640), (53, 160)),
]

# Characters that trip a careless Shift_JIS path: trail bytes equal to '\' (表, ソ, 能),
# half-width katakana, an NEC special character, the full-width space.
TITLE = "表参道とソウルの旅①　ｶﾒﾗ散歩"
UPPER = ["上段のコメント：能力と予定", "二行目です"]
LOWER = ["下段のコメント：十二月の雪景色"]
FIRST_COMMENT = "一枚目は北側の窓から"
SLIDE_SECONDS = 2


def run(cmd, **kw):
    print("$", " ".join(str(c) for c in cmd), flush=True)
    done = subprocess.run([str(c) for c in cmd], capture_output=True, text=True, **kw)
    if done.returncode != 0:
        sys.exit(f"failed with status {done.returncode}:\n{done.stdout}{done.stderr}")
    return done


def make_pictures(folder):
    os.makedirs(folder)
    paths = []
    for seed, (name, w, h, _, _) in enumerate(PICTURES, start=1):
        noise, rgb = os.path.join(folder, "noise.v"), os.path.join(folder, "rgb.v")
        run(["vips", "gaussnoise", noise, w, h, "--seed", seed])
        run(["vips", "colourspace", noise, rgb, "srgb"])
        path = os.path.join(folder, name)
        run(["vips", "copy", rgb, path + ("[Q=90]" if name.endswith(".jpg") else "")])
        paths.append(path)
    for tmp in ("noise.v", "rgb.v"):
        os.remove(os.path.join(folder, tmp))
    return paths


def set_project_texts(pxa):
    """Puts the Japanese title and comments, a short slide time and the first picture's comment
    into the project, at the fixed lines of the project format (CP932, CR LF)."""
    with open(pxa, "rb") as f:
        lines = f.read().decode("cp932").split("\r\n")
    assert lines[-1] == "", "the project file does not end in CR LF"
    headers = {1: "[PictoraProject", 6: "[edTitle]", 11: "[mmComment]", 17: "[SlideShow]",
               83: "[ImageList]"}
    for number, start in headers.items():
        assert lines[number - 1].startswith(start), f"line {number} is {lines[number - 1]!r}, not {start}"
    assert len(lines) - 1 == 84 + 3 * len(PICTURES), f"{len(lines) - 1} lines for {len(PICTURES)} pictures"
    lines[7 - 1] = TITLE
    lines[12 - 1] = "<BR>".join(UPPER)
    lines[13 - 1] = "<BR>".join(LOWER)
    lines[18 - 1] = str(SLIDE_SECONDS)
    lines[84 - 1] = "1"  # show the pictures' comments
    lines[86 - 1] = FIRST_COMMENT
    with open(pxa, "wb") as f:
        f.write("\r\n".join(lines).encode("cp932"))


def expectation():
    return Expect(
        pictures=len(PICTURES), title=TITLE, upper_comment="\n".join(UPPER), lower_comment="\n".join(LOWER),
        first_picture_comment=FIRST_COMMENT,
        main_sizes=[p[3] for p in PICTURES], thumb_sizes=[p[4] for p in PICTURES])


def replace_bytes(path, old, new):
    with open(path, "rb") as f:
        data = f.read()
    assert old.encode() in data, f"{old!r} not in {path}"
    with open(path, "wb") as f:
        f.write(data.replace(old.encode(), new.encode()))


def main_width(album, i):
    with open(os.path.join(album, f"images/{i:04d}.htm"), "rb") as f:
        return re.search(rb'<IMG [^>]*WIDTH="(\d+)"', f.read()).group(1).decode()


# Each fault: what is done to a copy of the album, and what the checks must then report.
FAULTS = [
    ("missing thumbnail",
     lambda a: os.remove(os.path.join(a, "thumb/img0002_t.jpg")),
     r"^index\.htm: <IMG SRC='thumb/img0002_t\.jpg'> did not load"),
    ("missing main picture",
     lambda a: os.remove(os.path.join(a, "images/img0004.jpg")),
     r"^images/0004s\.htm: <IMG SRC='img0004\.jpg'> did not load"),
    ("wrong WIDTH",
     lambda a: replace_bytes(os.path.join(a, "images/0001.htm"), f'WIDTH="{main_width(a, 1)}"',
                             f'WIDTH="{int(main_width(a, 1)) + 1}"'),
     r"^images/0001\.htm: <IMG SRC='img0001\.jpg'> is 480x640 pixels, WIDTH/HEIGHT say 481x640"),
    ("broken link",
     lambda a: replace_bytes(os.path.join(a, "images/0003.htm"), 'HREF="0004.htm"', 'HREF="0044.htm"'),
     r"^images/0003\.htm: A HREF '0044\.htm' points at .*/images/0044\.htm, which does not exist"),
    ("next button leads back to its own page",
     lambda a: replace_bytes(os.path.join(a, "images/0002.htm"), 'HREF="0003.htm"', 'HREF="0002.htm"'),
     r"^images/0002\.htm: buttons lead to \['images/0001\.htm', 'images/0002\.htm', 'index\.htm'\]"),
    ("broken style sheet link",
     lambda a: os.rename(os.path.join(a, "default.css"), os.path.join(a, "album.css")),
     r"^index\.htm: LINK HREF '\./default\.css' points at .*default\.css, which does not exist"),
    ("slideshow skips a page",
     lambda a: replace_bytes(os.path.join(a, "images/0002s.htm"), "URL=0003s.htm", "URL=0004s.htm"),
     r"^slideshow: runs .*images/0002s\.htm -> images/0004s\.htm"),
    ("wrong charset",
     lambda a: replace_bytes(os.path.join(a, "index.htm"), "charset=Shift_JIS", "charset=UTF-8"),
     r"^index\.htm: decoded as UTF-8"),
]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--pictora", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    started = time.monotonic()

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    pictures = make_pictures(os.path.join(work, "pictures"))
    pxa = os.path.join(work, "album.pxa")
    run([args.pictora, "--new", pxa, *reversed(pictures)])  # --new puts them in name order
    set_project_texts(pxa)

    # The album lives in a site whose top page the default centre button ("../index.htm") leads to.
    site_dir = os.path.join(work, "site")
    os.makedirs(site_dir)
    with open(os.path.join(site_dir, "index.htm"), "w") as f:
        f.write('<!DOCTYPE html><title>albums</title><a href="album/index.htm">album</a>\n')
    album = os.path.join(site_dir, "album")
    run([args.pictora, "--make", pxa, "--yes", "--no-html-folder", "--author", "a@example.org", "--out", album])

    failures = []
    site = Site(work)
    try:
        with Browser() as browser:
            faults = AlbumCheck(browser, site, "site/album", expectation()).run(follow_slideshow=True)
            print(f"album: {len(faults)} faults" + "".join(f"\n    {f}" for f in faults))
            failures += [f"album: {f}" for f in faults]

            for number, (what, damage, must_report) in enumerate(FAULTS):
                copy = os.path.join(work, f"fault{number}")
                shutil.copytree(site_dir, copy)
                damage(os.path.join(copy, "album"))
                found = AlbumCheck(browser, site, f"fault{number}/album", expectation()).run()
                caught = [f for f in found if re.search(must_report, f)]
                print(f"fault '{what}': {'caught' if caught else 'MISSED'}")
                for f in found:
                    print("   ", f)
                if not caught:
                    failures.append(f"'{what}' was not reported as /{must_report}/; reported: {found}")
    finally:
        site.close()

    print(f"{time.monotonic() - started:.1f} s")
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
