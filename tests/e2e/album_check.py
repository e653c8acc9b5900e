"""Checks a made album in a real browser: every page of it, as a visitor's browser sees it.

    album_check.py SITE_DIR ALBUM_SUBDIR --pictures N [--follow-slideshow]

SITE_DIR is served over HTTP (the album's own "../" links, such as the default centre button,
land there); the album lies in SITE_DIR/ALBUM_SUBDIR. Exits 1 and lists every fault found.
"""

import argparse
import http.server
import os
import posixpath
import re
import sys
import threading
import urllib.parse
from dataclasses import dataclass, field

from chromium import Browser, BrowserError

# Everything a page shows that the checks need, gathered once the page has loaded.
PAGE_FACTS = r"""
(async () => {
  await Promise.all([...document.images].map(i => i.decode().catch(() => null)));
  const content = el => {
    const r = el.getBoundingClientRect(), s = getComputedStyle(el);
    const px = p => parseFloat(s[p]) || 0;
    return [r.width - px('borderLeftWidth') - px('borderRightWidth') - px('paddingLeft') - px('paddingRight'),
            r.height - px('borderTopWidth') - px('borderBottomWidth') - px('paddingTop') - px('paddingBottom')];
  };
  const resolve = v => { try { return new URL(v, document.baseURI).href; } catch (e) { return null; } };
  const links = [];
  const add = (kind, el, attr) => {
    const v = el.getAttribute(attr);
    links.push({kind, raw: v, url: v === null ? null : resolve(v), rel: (el.getAttribute('rel') || '').toLowerCase()});
  };
  document.querySelectorAll('a[href]').forEach(e => add('A HREF', e, 'href'));
  document.querySelectorAll('link').forEach(e => add('LINK HREF', e, 'href'));
  document.querySelectorAll('img').forEach(e => add('IMG SRC', e, 'src'));
  const metas = [...document.querySelectorAll('meta[http-equiv]')].map(m => [m.httpEquiv.toLowerCase(), m.content]);
  let refresh = null;
  for (const [name, value] of metas) {
    if (name !== 'refresh') continue;
    const m = /^\s*(\d+)\s*;\s*url\s*=\s*(.+?)\s*$/i.exec(value);
    refresh = m ? {seconds: +m[1], raw: m[2], url: resolve(m[2])} : {seconds: null, raw: value, url: null};
    links.push({kind: 'META Refresh', raw: refresh.raw, url: refresh.url, rel: ''});
  }
  const texts = sel => [...document.querySelectorAll(sel)].map(e => e.innerText.trim());
  return {
    url: location.href,
    characterSet: document.characterSet,
    contentType: metas.filter(([n]) => n === 'content-type').map(([, v]) => v),
    title: document.title,
    titleDiv: texts('div.title'),
    bigComments: texts('div.com_big'),
    cellComments: texts('div.com'),
    paragraphs: texts('p'),
    buttons: texts('a.button'),
    images: [...document.images].map(i => ({
      src: i.getAttribute('src'), url: i.src, complete: i.complete,
      natural: [i.naturalWidth, i.naturalHeight],
      attrs: [i.getAttribute('width'), i.getAttribute('height')],
      shown: content(i)})),
    links, refresh,
  };
})()
"""


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    # No charset in the Content-Type: the pages' own META must decide the encoding.
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".htm": "text/html", ".html": "text/html"}

    def log_message(self, *args):
        pass


class Site:
    """SITE_DIR over HTTP on 127.0.0.1, on a port of the system's choosing."""

    def __init__(self, root):
        self.root = os.path.realpath(root)
        handler = lambda *a, **k: QuietHandler(*a, directory=self.root, **k)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.origin = f"http://127.0.0.1:{self.server.server_address[1]}"
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def url(self, relative):
        return self.origin + "/" + urllib.parse.quote(relative.replace(os.sep, "/"))

    def local_path(self, url):
        """The file a URL of this site stands for, or None for a URL elsewhere."""
        parts = urllib.parse.urlsplit(url)
        if f"{parts.scheme}://{parts.netloc}" != self.origin:
            return None
        path = posixpath.normpath(urllib.parse.unquote(parts.path)).lstrip("/")
        return os.path.join(self.root, path)

    def close(self):
        self.server.shutdown()
        self.server.server_close()


@dataclass
class Expect:
    pictures: int
    title: str | None = None
    upper_comment: str | None = None
    lower_comment: str | None = None
    first_picture_comment: str | None = None
    # (width, height) of each picture's main picture and thumbnail, in list order, when known.
    main_sizes: list = field(default_factory=list)
    thumb_sizes: list = field(default_factory=list)
    ext: str = ".htm"
    cover: str = "index.htm"


class AlbumCheck:
    def __init__(self, browser, site, album_subdir, expect):
        self.page = browser.new_page()
        self.site = site
        self.album = album_subdir.strip("/")
        self.expect = expect
        self.faults = []
        self.facts = {}

    def fault(self, where, text):
        self.faults.append(f"{where}: {text}")

    def rel(self, path):
        return os.path.relpath(path, self.site.root)

    def page_url(self, name):
        return self.site.url(f"{self.album}/{name}")

    def expected_pages(self):
        n, x = self.expect.pictures, self.expect.ext
        return ([self.expect.cover] + [f"images/{i:04d}{x}" for i in range(n)]
                + [f"images/{i:04d}s{x}" for i in range(n)])

    def load(self, name):
        """Loads one page and gathers its facts; a slideshow page that moves on before the facts
        are gathered is loaded again."""
        url = self.page_url(name)
        for _ in range(3):
            try:
                self.page.goto(url)
                facts = self.page.evaluate(PAGE_FACTS)
            except BrowserError as e:
                last = str(e)
                continue
            if facts and facts["url"] == url:
                return facts
            last = f"the page went on to {facts and facts['url']} too early"
        self.fault(name, f"could not be read: {last}")
        return None

    def run(self, follow_slideshow=False):
        album_dir = os.path.join(self.site.root, self.album)
        for name in self.expected_pages():
            if not os.path.isfile(os.path.join(album_dir, name)):
                self.fault(name, "missing")
                continue
            facts = self.load(name)
            if facts:
                self.facts[name] = facts
                self.check_page(name, facts)
        if self.expect.cover in self.facts:
            self.check_cover(self.facts[self.expect.cover])
        self.check_picture_pages()
        self.check_slideshow_chain()
        if follow_slideshow and not self.faults:
            self.follow_slideshow()
        self.page.close()
        return self.faults

    def check_page(self, name, f):
        if f["characterSet"] != "Shift_JIS":
            self.fault(name, f"decoded as {f['characterSet']}, not Shift_JIS")
        if not any(re.search(r"charset\s*=\s*Shift_JIS\b", c, re.I) for c in f["contentType"]):
            self.fault(name, f"declares no Shift_JIS charset (Content-Type {f['contentType']})")
        if self.expect.title is not None and f["title"] != self.expect.title:
            self.fault(name, f"title reads {f['title']!r}, not {self.expect.title!r}")
        for img in f["images"]:
            self.check_image(name, img)
        for link in f["links"]:
            self.check_link(name, link)

    def check_image(self, name, img):
        what = f"<IMG SRC={img['src']!r}>"
        if not img["complete"] or img["natural"][0] <= 0:
            self.fault(name, f"{what} did not load")
            return
        try:
            attrs = [int(v) for v in img["attrs"]]
        except (TypeError, ValueError):
            self.fault(name, f"{what} WIDTH/HEIGHT are {img['attrs']}, not numbers")
            return
        shown = [round(v, 2) for v in img["shown"]]
        if any(abs(s - a) > 0.01 for s, a in zip(shown, attrs)):
            self.fault(name, f"{what} is shown at {shown[0]}x{shown[1]}, WIDTH/HEIGHT say {attrs[0]}x{attrs[1]}")
        if img["natural"] != attrs:
            self.fault(name, f"{what} is {img['natural'][0]}x{img['natural'][1]} pixels, "
                             f"WIDTH/HEIGHT say {attrs[0]}x{attrs[1]}")

    def check_link(self, name, link):
        what = f"{link['kind']} {link['raw']!r}"
        url = link["url"]
        if not url:
            self.fault(name, f"{what} is empty or not a URL")
            return
        scheme = urllib.parse.urlsplit(url).scheme
        if scheme == "mailto":
            return
        path = self.site.local_path(url)
        if path is None:
            if scheme not in ("http", "https"):
                self.fault(name, f"{what} leads to {url}, which a visitor cannot open")
            return
        if os.path.isfile(path):
            return
        # A picture page's and a slideshow page's rel=next hint names the page after it, which
        # after the last picture is one that does not exist; browsers only prefetch it.
        n, x = self.expect.pictures, self.expect.ext
        past_end = {f"images/{n:04d}{x}", f"images/{n:04d}s{x}"}
        if link["kind"] == "LINK HREF" and link["rel"] == "next" and self.album_name(path) in past_end \
                and name in (f"images/{n - 1:04d}{x}", f"images/{n - 1:04d}s{x}"):
            return
        self.fault(name, f"{what} points at {self.rel(path)}, which does not exist")

    def album_name(self, path):
        return os.path.relpath(path, os.path.join(self.site.root, self.album)).replace(os.sep, "/")

    def images_of(self, name):
        return self.facts[name]["images"] if name in self.facts else []

    def check_cover(self, f):
        e, name = self.expect, self.expect.cover
        if e.title is not None and f["titleDiv"] != [e.title]:
            self.fault(name, f"title block reads {f['titleDiv']}, not [{e.title!r}]")
        if e.upper_comment is not None or e.lower_comment is not None:
            want = [e.upper_comment, e.lower_comment]
            if f["bigComments"] != want:
                self.fault(name, f"comments read {f['bigComments']}, not {want}")
        if e.first_picture_comment is not None and (
                not f["cellComments"] or not f["cellComments"][0].startswith(e.first_picture_comment)):
            self.fault(name, f"first cell's comment reads {f['cellComments'][:1]}, "
                             f"not {e.first_picture_comment!r}")
        if "スライドショウの開始" not in f["buttons"]:
            self.fault(name, f"no slideshow start button among {f['buttons']}")
        thumbs = [img for img in f["images"] if (img["src"] or "").startswith("thumb/")]
        if len(thumbs) != e.pictures:
            self.fault(name, f"shows {len(thumbs)} thumbnails for {e.pictures} pictures")
        for i, img in enumerate(thumbs):
            if img["src"] != f"thumb/img{i:04d}_t.jpg":
                self.fault(name, f"thumbnail {i} is {img['src']!r}")
            if i < len(e.thumb_sizes) and img["attrs"] != [str(v) for v in e.thumb_sizes[i]]:
                self.fault(name, f"thumbnail {i} is given {img['attrs']}, expected {list(e.thumb_sizes[i])}")

    def check_picture_pages(self):
        e, x = self.expect, self.expect.ext
        for i in range(e.pictures):
            for name in (f"images/{i:04d}{x}", f"images/{i:04d}s{x}"):
                if name not in self.facts:
                    continue
                imgs = self.images_of(name)
                if [img["src"] for img in imgs] != [f"img{i:04d}.jpg"]:
                    self.fault(name, f"shows {[img['src'] for img in imgs]}, not img{i:04d}.jpg")
                elif i < len(e.main_sizes) and imgs[0]["attrs"] != [str(v) for v in e.main_sizes[i]]:
                    self.fault(name, f"main picture is given {imgs[0]['attrs']}, expected {list(e.main_sizes[i])}")
                if "画像一覧に戻る" not in self.facts[name]["buttons"]:
                    self.fault(name, f"no way back to the cover among {self.facts[name]['buttons']}")
            name = f"images/{i:04d}{x}"
            if name in self.facts:
                # previous (the last from the first), the cover, next (the first from the last)
                want = {f"images/{(i - 1) % e.pictures:04d}{x}", e.cover, f"images/{(i + 1) % e.pictures:04d}{x}"}
                goes = {self.album_name(self.site.local_path(l["url"])) for l in self.facts[name]["links"]
                        if l["kind"] == "A HREF" and l["url"] and self.site.local_path(l["url"])}
                if goes != want:
                    self.fault(name, f"buttons lead to {sorted(goes)}, expected {sorted(want)}")
            if i == 0 and e.first_picture_comment is not None and name in self.facts and not any(
                    p.startswith(e.first_picture_comment) for p in self.facts[name]["paragraphs"]):
                self.fault(name, f"comment {e.first_picture_comment!r} not shown")

    def check_slideshow_chain(self):
        """From the cover's start button through every slideshow page and back to the cover,
        as the pages' refresh lines lead."""
        e, x = self.expect, self.expect.ext
        cover = self.facts.get(e.cover)
        if not cover:
            return
        starts = [l for l in cover["links"] if l["kind"] == "A HREF" and l["raw"] == f"images/0000s{x}"]
        if not starts:
            self.fault(e.cover, "no link starts the slideshow at images/0000s" + x)
            return
        want = [f"images/{i:04d}s{x}" for i in range(e.pictures)] + [e.cover]
        chain, name = [], f"images/0000s{x}"
        while name and len(chain) <= e.pictures:
            chain.append(name)
            if name == e.cover:
                break
            refresh = self.facts.get(name, {}).get("refresh")
            if not refresh or not refresh["url"] or refresh["seconds"] is None:
                self.fault(name, f"no refresh line that moves on ({refresh})")
                return
            name = self.album_name(self.site.local_path(refresh["url"]) or refresh["url"])
        if chain != want:
            self.fault("slideshow", f"runs {' -> '.join(chain)}, expected {' -> '.join(want)}")

    def follow_slideshow(self):
        """Lets the browser itself run the show: every page must move on to the next by itself."""
        e, x = self.expect, self.expect.ext
        seconds = max((f["refresh"] or {}).get("seconds") or 0 for f in self.facts.values())
        want = [self.page_url(f"images/{i:04d}s{x}") for i in range(e.pictures)] + [self.page_url(e.cover)]
        seen = self.page.follow_navigations(want[0], want[-1], (seconds + 3) * (e.pictures + 1))
        if seen != want:
            self.fault("slideshow in the browser", f"went {seen}, expected {want}")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("site")
    ap.add_argument("album")
    ap.add_argument("--pictures", type=int, required=True)
    ap.add_argument("--title")
    ap.add_argument("--follow-slideshow", action="store_true")
    args = ap.parse_args()
    site = Site(args.site)
    try:
        with Browser() as browser:
            faults = AlbumCheck(browser, site, args.album, Expect(args.pictures, title=args.title)).run(
                args.follow_slideshow)
    finally:
        site.close()
    for f in faults:
        print(f)
    print(f"{len(faults)} faults" if faults else "album is sound")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
