#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks the software centre's listing against the desktop entry, the file type, the screenshots
and the program's version, and has appstreamcli validate it when the tool is installed.

usage: metainfo_test.py SOURCE_DIR VERSION
"""
import configparser
import pathlib
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

failures = []
LANG = "{http://www.w3.org/XML/1998/namespace}lang"
SITE = "https://pictora.example.org/"


def check(condition, what):
    if not condition:
        failures.append(what)


def png_size(path):
    header = path.read_bytes()[:24]
    if header[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", header[16:24])


def check_languages(component, tag):
    """English and Japanese text for a field: one element without a language, one in "ja"."""
    languages = {element.get(LANG) for element in component.findall(tag)}
    check(None in languages and "ja" in languages, f"{tag} is not in English and Japanese: {languages}")


def main():
    source, version = pathlib.Path(sys.argv[1]), sys.argv[2]
    data = source / "data"
    listings = list(data.glob("*.metainfo.xml"))
    if len(listings) != 1:
        print(f"expected one metainfo file in data/: {listings}")
        return 1
    listing = listings[0]
    component = ElementTree.parse(listing).getroot()
    identifier = component.findtext("id")
    check(listing.name == f"{identifier}.metainfo.xml", f"{listing.name} does not carry the id {identifier}")
    desktop_name = f"{identifier}.desktop"
    check((data / desktop_name).is_file(), f"no desktop entry {desktop_name} for the id")
    check(component.findtext("launchable") == desktop_name, "the launchable is not the desktop entry")

    check_languages(component, "name")
    check_languages(component, "summary")
    description = component.find("description")
    check(description is not None, "no description")
    if description is not None:
        languages = {p.get(LANG) for p in description.findall("p")}
        check(None in languages and "ja" in languages, f"description paragraphs: {languages}")

    # The file type offered is the one the desktop entry opens and the mime package declares.
    entry = configparser.ConfigParser(interpolation=None)
    entry.optionxform = str
    entry.read(data / desktop_name, encoding="utf-8")
    desktop_types = {t for t in entry["Desktop Entry"].get("MimeType", "").split(";") if t}
    mime_types = {element.get("type") for element in ElementTree.parse(data / "pictora-mime.xml").getroot()}
    provided = {element.text for element in component.findall("provides/mediatype")}
    check(provided and provided == desktop_types == mime_types,
          f"file types differ: metainfo {provided}, desktop {desktop_types}, mime {mime_types}")

    check(component.find("content_rating") is not None, "no content rating")
    releases = [release.get("version") for release in component.findall("releases/release")]
    check(releases and releases[0] == version, f"the newest release {releases[:1]} is not {version}")

    # Every screenshot is a picture of docs/screenshots on the project site, with its real size.
    images = component.findall("screenshots/screenshot/image")
    check(len(images) >= 1, "no screenshots")
    check(sum(1 for s in component.findall("screenshots/screenshot") if s.get("type") == "default") == 1,
          "not exactly one default screenshot")
    for image in images:
        url = image.text or ""
        check(url.startswith(SITE + "screenshots/"), f"screenshot not on the project site: {url}")
        picture = source / "docs" / "screenshots" / url.rsplit("/", 1)[-1]
        check(picture.is_file(), f"{url} is not a picture of docs/screenshots")
        if picture.is_file():
            size = png_size(picture)
            check(size == (int(image.get("width", 0)), int(image.get("height", 0))),
                  f"{url}: listed as {image.get('width')}x{image.get('height')}, the picture is {size}")

    appstreamcli = shutil.which("appstreamcli")
    if appstreamcli:
        result = subprocess.run([appstreamcli, "validate", "--no-net", "--pedantic", str(listing)],
                                capture_output=True, text=True)
        check(result.returncode == 0, f"appstreamcli validate:\n{result.stdout}{result.stderr}")
    else:
        print("appstreamcli is not installed: the listing is checked without it")

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
