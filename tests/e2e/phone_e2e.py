"""End to end on a phone: an album made with phone-ready pages, keyboard and touch navigation and
pictures of density 2, seen in headless Chromium as a 390x844 phone (mobile emulation, touch). The
cover, a picture page and a slideshow page must fit the screen without sideways scrolling, with one
column and with eight, main pictures of 640 and of 1600; the arrow keys and a swipe move between
the pictures.
The same album made without the phone option must fail the width check, so that the check can fail.

    phone_e2e.py --pictora PATH --work DIR
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
from album_check import Site
from chromium import Browser

PHONE = {"width": 390, "height": 844, "deviceScaleFactor": 2, "mobile": True}
PICTURES = [("a_wide.jpg", 2000, 1500), ("b_tall.jpg", 1200, 1600), ("c_panorama.jpg", 3000, 600)]
SLIDE_SECONDS = 1


def run(cmd):
    print("$", " ".join(str(c) for c in cmd), flush=True)
    done = subprocess.run([str(c) for c in cmd], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"failed with status {done.returncode}:\n{done.stdout}{done.stderr}")
    return done


def make_pictures(folder):
    os.makedirs(folder)
    for seed, (name, w, h) in enumerate(PICTURES, start=1):
        noise, rgb = os.path.join(folder, "noise.v"), os.path.join(folder, "rgb.v")
        run(["vips", "gaussnoise", noise, w, h, "--seed", seed])
        run(["vips", "colourspace", noise, rgb, "srgb"])
        run(["vips", "copy", rgb, os.path.join(folder, name) + "[Q=85]"])
        os.remove(noise)
        os.remove(rgb)
    return [os.path.join(folder, name) for name, _, _ in PICTURES]


# What a visitor's phone shows of the page: its layout width against the screen's, the smallest
# text and the shortest button, and each picture's pixels against the size it is shown at.
MEASURE = """(() => {
  const sizes = [...document.querySelectorAll('body *')].filter(e => e.childNodes.length &&
      [...e.childNodes].some(n => n.nodeType == 3 && n.textContent.trim()))
    .map(e => parseFloat(getComputedStyle(e).fontSize));
  return {
    innerWidth: window.innerWidth,
    scrollWidth: Math.max(document.documentElement.scrollWidth, document.body.scrollWidth),
    coarse: matchMedia('(pointer: coarse)').matches,
    smallestText: Math.min(...sizes),
    buttons: [...document.querySelectorAll('a.button')].map(a => a.getBoundingClientRect().height),
    pictures: [...document.images].map(i => [i.naturalWidth, +i.getAttribute('width'), i.complete])
  };
})()"""


def page_faults(name, m, density):
    faults = []
    if m["innerWidth"] != PHONE["width"]:
        faults.append(f"{name}: laid out {m['innerWidth']} px wide on a {PHONE['width']} px screen")
    if m["scrollWidth"] > m["innerWidth"]:
        faults.append(f"{name}: {m['scrollWidth']} px wide, scrolls sideways on {m['innerWidth']} px")
    if m["smallestText"] < 16:
        faults.append(f"{name}: text of {m['smallestText']} px")
    if not m["coarse"]:
        faults.append(f"{name}: the emulated phone has no coarse pointer")
    short = [h for h in m["buttons"] if h < 44]
    if short:
        faults.append(f"{name}: buttons {short} px high, under 44")
    for natural, shown, complete in m["pictures"]:
        # Pictures smaller than twice their shown size keep the source's pixels.
        if not complete or natural < shown or (density > 1 and shown <= 800 and natural != density * shown):
            faults.append(f"{name}: a picture of {natural} px shown at {shown} px (density {density})")
    return faults


def arrow(page, key, code):
    for kind in ("rawKeyDown", "keyUp"):
        page.call("Input.dispatchKeyEvent",
                  {"type": kind, "key": key, "code": key, "windowsVirtualKeyCode": code})


def swipe(page, from_x, to_x, y=400):
    page.call("Input.dispatchTouchEvent", {"type": "touchStart", "touchPoints": [{"x": from_x, "y": y}]})
    page.call("Input.dispatchTouchEvent", {"type": "touchMove", "touchPoints": [{"x": (from_x + to_x) / 2, "y": y}]})
    page.call("Input.dispatchTouchEvent", {"type": "touchMove", "touchPoints": [{"x": to_x, "y": y + 5}]})
    page.call("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []})


def wait_for(page, suffix, seconds=5.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            href = page.evaluate("document.readyState == 'complete' ? location.href : ''")
        except Exception:  # the page is being replaced
            href = ""
        if href.endswith(suffix):
            return True
        time.sleep(0.1)
    return False


def check_album(browser, site, album, density, keys):
    page = browser.new_page()
    page.call("Emulation.setDeviceMetricsOverride", PHONE)
    page.call("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
    page.call("Emulation.setEmitTouchEventsForMouse", {"enabled": True, "configuration": "mobile"})
    faults = []
    try:
        for name in ("index.htm", "images/0000.htm", "images/0001s.htm"):
            page.goto(site.url(f"{album}/{name}"))
            faults += page_faults(f"{album}/{name}", page.evaluate(MEASURE), density)
        if keys:
            page.goto(site.url(f"{album}/images/0000.htm"))
            arrow(page, "ArrowRight", 39)
            if not wait_for(page, "/images/0001.htm"):
                faults.append(f"{album}: → on the first picture did not lead to the second")
            arrow(page, "ArrowLeft", 37)
            if not wait_for(page, "/images/0000.htm"):
                faults.append(f"{album}: ← on the second picture did not lead back to the first")
            arrow(page, "ArrowLeft", 37)
            if not wait_for(page, f"/images/{len(PICTURES) - 1:04d}.htm"):
                faults.append(f"{album}: ← on the first picture did not lead to the last")
            swipe(page, 300, 80)
            if not wait_for(page, "/images/0000.htm"):
                faults.append(f"{album}: a swipe to the left on the last picture did not lead to the first")
            swipe(page, 80, 300)
            if not wait_for(page, f"/images/{len(PICTURES) - 1:04d}.htm"):
                faults.append(f"{album}: a swipe to the right on the first picture did not lead to the last")
            page.goto(site.url(f"{album}/images/0000.htm"))
            page.evaluate("document.querySelector('a.button').focus()")
            arrow(page, "ArrowRight", 39)
            if not wait_for(page, "/images/0001.htm"):
                faults.append(f"{album}: → with a button in focus did not lead on")
            # The slideshow moves on by itself, unless the visitor asked for less motion.
            slide = site.url(f"{album}/images/0000s.htm")
            if site.url(f"{album}/images/0001s.htm") not in page.follow_navigations(
                    slide, site.url(f"{album}/images/0001s.htm"), SLIDE_SECONDS + 5):
                faults.append(f"{album}: the slideshow did not move on")
            page.call("Emulation.setEmulatedMedia",
                      {"features": [{"name": "prefers-reduced-motion", "value": "reduce"}]})
            page.goto(slide)
            time.sleep(SLIDE_SECONDS + 1.5)
            if not page.evaluate("location.href").endswith("/images/0000s.htm"):
                faults.append(f"{album}: the slideshow moved on although the visitor asked for less motion")
            if not page.evaluate("[...document.links].some(a => a.textContent == '一時停止' && "
                                 "a.getBoundingClientRect().height > 0)"):
                faults.append(f"{album}: the slideshow has no visible pause link")
    finally:
        page.close()
    return faults


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
    run([args.pictora, "--new", pxa, *pictures, "--title", "スマートフォンで見る旅の写真とそのながいながい題名"])
    phone = ["--set", "cbPhone=true", "--set", "cbAccess=true", "--set", "csDensity=2",
             "--set", f"csSlideTime={SLIDE_SECONDS}"]
    albums = [  # folder, settings, density, must pass
        ("one640", [*phone, "--set", "csCol=1"], 2, True),
        ("eight1600", [*phone, "--set", "csCol=8", "--set", "edMainX=1600", "--set", "edMainY=1600"], 2, True),
        ("desktop1600", ["--set", "csCol=8", "--set", "edMainX=1600", "--set", "edMainY=1600"], 1, False),
    ]
    for folder, settings, _, _ in albums:
        run([args.pictora, "--make", pxa, "--yes", "--no-html-folder", "--author", "a@example.org",
             "--out", os.path.join(work, folder), *settings])

    failures = []
    site = Site(work)
    try:
        with Browser() as browser:
            for folder, _, density, must_pass in albums:
                faults = check_album(browser, site, folder, density, keys=must_pass)
                print(f"{folder}: {len(faults)} faults" + "".join(f"\n    {f}" for f in faults))
                if must_pass:
                    failures += faults
                elif not any("scrolls sideways" in f or "laid out" in f for f in faults):
                    failures.append(f"{folder}: a desktop album passed the phone width check")
    finally:
        site.close()

    print(f"{time.monotonic() - started:.1f} s")
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
