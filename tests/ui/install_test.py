#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Installs the build into temporary prefixes and checks what a desktop needs finds its place.

usage: install_test.py CMAKE BUILD_DIR
"""
import html.parser
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.hrefs, self.ids = [], set()

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        for key in ("href", "src"):
            if key in attrs:
                self.hrefs.append(attrs[key])


def parse(page):
    links = Links()
    links.feed(page.read_text(encoding="utf-8"))
    return links


def check_help(folder):
    pages = sorted(folder.glob("*.html"))
    check(len(pages) >= 2, f"help pages in {folder}: {[p.name for p in pages]}")
    parsed = {page.name: parse(page) for page in pages}
    for name, links in parsed.items():
        for href in links.hrefs:
            if "://" in href or href.startswith("mailto:"):
                continue
            target, _, anchor = href.partition("#")
            target = target or name
            check((folder / target).is_file(), f"{name}: link to missing {target}")
            if anchor and target in parsed:
                check(anchor in parsed[target].ids, f"{name}: link to missing anchor {target}#{anchor}")


def install(cmake, build, prefix, env=None):
    result = subprocess.run([cmake, "--install", build, "--prefix", str(prefix)],
                            capture_output=True, text=True, env=env)
    check(result.returncode == 0, f"cmake --install failed:\n{result.stdout}{result.stderr}")


def main():
    cmake, build = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as tmp:
        prefix = pathlib.Path(tmp) / "usr"
        install(cmake, build, prefix)
        share = prefix / "share"
        program = prefix / "bin" / "pictora"
        check(program.is_file() and os.access(program, os.X_OK), "bin/pictora is not an executable")
        # Without options the command hands over to the window's executable beside it.
        window = prefix / "bin" / "pictora-desktop"
        check(window.is_file() and os.access(window, os.X_OK), "bin/pictora-desktop is not an executable")
        # The program loads the libvips picture module from beside its own folder.
        modules = list(prefix.glob("lib*/**/pictora/pictora-vips.so"))
        check(len(modules) == 1, f"the libvips picture module is not installed once: {modules}")
        for path in ("applications/org.example.pictora.desktop", "mime/packages/pictora.xml",
                     "icons/hicolor/scalable/apps/pictora.svg", "pictora/help/index.html",
                     "pictora/help/topics.html"):
            check((share / path).is_file(), f"share/{path} not installed")
        check_help(share / "pictora/help")

        entry = (share / "applications/org.example.pictora.desktop").read_text(encoding="utf-8")
        check("\nExec=pictora %f\n" in entry, "the entry does not start pictora with the file")
        check("MimeType=application/x-pictora-project;" in entry, "the entry does not claim .pxa files")
        validate = shutil.which("desktop-file-validate")
        if validate:
            result = subprocess.run([validate, str(share / "applications/org.example.pictora.desktop")],
                                    capture_output=True, text=True)
            check(result.returncode == 0 and not result.stdout.strip(),
                  f"desktop-file-validate: {result.stdout}{result.stderr}")
        else:
            print("desktop-file-validate not installed; entry not validated")

        # The post-install step builds the caches that desktops actually read.
        if shutil.which("update-mime-database"):
            globs = (share / "mime/globs2").read_text(encoding="utf-8")
            check("application/x-pictora-project:*.pxa" in globs, "*.pxa missing from the mime globs")
            check((share / "mime/application/x-pictora-project.xml").is_file(), "mime type not compiled")
        if shutil.which("update-desktop-database"):
            cache = (share / "applications/mimeinfo.cache").read_text(encoding="utf-8")
            check("application/x-pictora-project=org.example.pictora.desktop;" in cache,
                  "the menu cache does not offer pictora for .pxa files")

        # What a file manager asks: the type of a .pxa file and the program that opens it.
        gio = shutil.which("gio")
        if gio:
            desktop = dict(os.environ, LC_ALL="C.UTF-8", XDG_DATA_DIRS=str(share),
                           XDG_DATA_HOME=str(pathlib.Path(tmp) / "home"),
                           XDG_CONFIG_HOME=str(pathlib.Path(tmp) / "config"),
                           PATH=f"{prefix / 'bin'}:{os.environ.get('PATH', '')}")
            project = pathlib.Path(tmp) / "album.pxa"
            project.write_bytes(b"[PictoraProject 0.2.13.0]\r\n")
            kind = subprocess.run([gio, "info", "-a", "standard::content-type", str(project)],
                                  capture_output=True, text=True, env=desktop).stdout
            check("application/x-pictora-project" in kind, f"gio sees a .pxa file as: {kind}")
            opener = subprocess.run([gio, "mime", "application/x-pictora-project"],
                                    capture_output=True, text=True, env=desktop).stdout
            check("Default application for" in opener and "org.example.pictora.desktop" in opener.splitlines()[0],
                  f"gio opens .pxa files with: {opener}")

        # A packager's staged install leaves the caches to the target machine.
        staged = pathlib.Path(tmp) / "stage"
        install(cmake, build, "/opt/pictora", env=dict(os.environ, DESTDIR=str(staged)))
        check((staged / "opt/pictora/share/mime/packages/pictora.xml").is_file(), "DESTDIR install")
        check(not (staged / "opt/pictora/share/mime/globs2").exists(), "caches built into DESTDIR")

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
