#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Makes the Debian package from the build and checks its files, its fields and that it runs.

usage: package_test.py CPACK BUILD_DIR VERSION
Exits 77 (skipped) when the packaging tools are not installed.
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(*command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


# What a desktop and Debian need, relative to the package's root.
EXPECTED_FILES = [
    "usr/bin/pictora",
    "usr/share/pictora/help/index.html",
    "usr/share/pictora/help/topics.html",
    "usr/share/man/man1/pictora.1.gz",
    "usr/share/man/man1/pictora-desktop.1.gz",
    "usr/share/icons/hicolor/scalable/apps/pictora.svg",
    "usr/share/icons/hicolor/scalable/mimetypes/application-x-pictora-project.svg",
    "usr/share/applications/org.example.pictora.desktop",
    "usr/share/mime/packages/pictora.xml",
    "usr/share/metainfo/org.example.pictora.metainfo.xml",
    "usr/share/doc/pictora/copyright",
    "usr/share/doc/pictora/changelog.gz",
]

# Libraries the binaries link against, as dpkg-shlibdeps names them, and what is added by hand.
EXPECTED_DEPENDS = ["libc6", "libqt6core6", "libqt6widgets6", "libvips42", "libturbojpeg0",
                    "fonts-ipafont-gothic", "qt6-qpa-plugins", "libqt6svg6"]


def check_members(package):
    listing = run("dpkg-deb", "--contents", str(package))
    check(listing.returncode == 0, f"dpkg-deb --contents failed: {listing.stderr}")
    members = {}
    for line in listing.stdout.splitlines():
        fields = line.split(None, 5)
        if len(fields) == 6:
            mode, owner, _, _, _, name = fields
            members[name.split(" -> ")[0].removeprefix("./").rstrip("/")] = (mode, owner)
    for path in EXPECTED_FILES:
        check(path in members, f"{path} is not in the package")
    # The module in the package's own folder of the architecture's library folder.
    triplet = run("dpkg-architecture", "-qDEB_HOST_MULTIARCH").stdout.strip()
    check(f"usr/lib/{triplet}/pictora/pictora-vips.so" in members, "the module is not in the package")
    for path, (mode, owner) in members.items():
        check(owner == "root/root", f"{path} belongs to {owner}")
        check(path == "" or path == "usr" or path.startswith("usr/"), f"{path} lies outside /usr")
        check(not path.startswith("usr/local"), f"{path} lies in /usr/local")
        if mode.startswith("d"):
            check(mode == "drwxr-xr-x", f"directory {path} has mode {mode}")
    # The caches belong to the machine's own packages; shipping them would clash with theirs.
    for path in members:
        check(not path.startswith("usr/share/mime/") or path.startswith("usr/share/mime/packages"),
              f"a mime cache file is in the package: {path}")
        check(not path.endswith(("mimeinfo.cache", "icon-theme.cache")), f"a cache is in the package: {path}")
    check(members.get("usr/bin/pictora", ("",))[0] == "-rwxr-xr-x", "usr/bin/pictora is not 0755")


def check_fields(package, version):
    def field(name):
        return run("dpkg-deb", "--field", str(package), name).stdout.strip()

    check(field("Package") == "pictora", f"Package: {field('Package')}")
    check(field("Version") == version, f"Version: {field('Version')}, not {version}")
    architecture = run("dpkg", "--print-architecture").stdout.strip()
    check(field("Architecture") == architecture, f"Architecture: {field('Architecture')}")
    depends = [alternative.split("(")[0].strip()
               for item in field("Depends").split(",") for alternative in item.split("|")]
    for name in EXPECTED_DEPENDS:
        check(name in depends, f"Depends lacks {name}: {field('Depends')}")
    check(field("Maintainer") != "", "no Maintainer field")
    check(field("Section") == "graphics", f"Section: {field('Section')}")


def check_no_maintainer_scripts(package, scratch):
    control = scratch / "control"
    result = run("dpkg-deb", "--control", str(package), str(control))
    check(result.returncode == 0, f"dpkg-deb --control failed: {result.stderr}")
    scripts = [name for name in ("preinst", "postinst", "prerm", "postrm") if (control / name).exists()]
    check(not scripts, f"maintainer scripts in the package: {scripts}")


def check_program_runs(package, scratch):
    """The unpacked program reports its version and makes an album with its own module."""
    root = scratch / "root"
    result = run("dpkg-deb", "--extract", str(package), str(root))
    check(result.returncode == 0, f"dpkg-deb --extract failed: {result.stderr}")
    program = root / "usr/bin/pictora"
    version = run(str(program), "--version")
    check(version.returncode == 0 and version.stdout.startswith("Pictora "),
          f"pictora --version: {version.returncode} {version.stdout}{version.stderr}")
    vips = shutil.which("vips")
    if not vips:
        return
    # A PNG needs the libvips module, found beside the installed program.
    pictures = scratch / "pictures"
    pictures.mkdir()
    made = run(vips, "xyz", str(pictures / "a.png"), "64", "48")
    check(made.returncode == 0, f"vips could not make a picture: {made.stderr}")
    project = scratch / "album.pxa"
    album = scratch / "album"
    new = run(str(program), "--new", str(project), str(pictures), "--out", str(album), "--title", "test",
              "--quiet")
    check(new.returncode == 0, f"pictora --new: {new.stdout}{new.stderr}")
    make = run(str(program), "--make", str(project), "--no-html-folder", "--yes", "--quiet",
               "--author", "test@pictora.example.org")
    check(make.returncode == 0, f"pictora --make: {make.stdout}{make.stderr}")
    check((album / "index.htm").is_file(), "the album has no cover page")
    check(any(album.glob("images/*.jpg")), "the album has no main picture")


def check_lintian(package):
    lintian = shutil.which("lintian")
    if not lintian:
        return
    result = run(lintian, "--fail-on", "error", "--no-tag-display-limit", str(package))
    errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
    check(result.returncode == 0 and not errors, f"lintian reports errors:\n{result.stdout}{result.stderr}")


def main():
    cpack, build, version = sys.argv[1], pathlib.Path(sys.argv[2]), sys.argv[3]
    for tool in ("dpkg-deb", "dpkg-shlibdeps", "file"):
        if not shutil.which(tool):
            print(f"{tool} is not installed: the package cannot be made here")
            return 77
    with tempfile.TemporaryDirectory() as tmp:
        scratch = pathlib.Path(tmp)
        made = run(cpack, "--config", str(build / "CPackConfig.cmake"), "-G", "DEB", "-B", str(scratch / "out"))
        if made.returncode != 0:
            print(f"cpack failed:\n{made.stdout}{made.stderr}")
            return 1
        packages = list((scratch / "out").glob("pictora_*.deb"))
        if len(packages) != 1:
            print(f"cpack made {packages}")
            return 1
        package = packages[0]
        check_members(package)
        check_fields(package, version)
        check_no_maintainer_scripts(package, scratch)
        check_program_runs(package, scratch)
        check_lintian(package)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
