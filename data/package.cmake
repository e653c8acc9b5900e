# The Debian package, made by CPack from the install rules (scripts/package.sh runs it). CPack needs
# no packaging tree of its own: the install rules already say where every file goes, and
# dpkg-shlibdeps computes the library dependencies from the binaries it installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pictora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Pictora developers <support@pictora.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HTML photo album maker")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PICTORA_SITE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Added to what dpkg-shlibdeps finds: the window's Japanese font, the platform plugin that draws
# windows on X11 and Wayland (the Qt libraries only recommend it) and the SVG plugins that read the
# window's icon and the about box's pictures (plugins, so no binary links against them).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-qpa-plugins, libqt6svg6")
# The browser that shows the finished album and the help pages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# The first line of the description is CPACK_PACKAGE_DESCRIPTION_SUMMARY; CPack indents the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Pictora turns a list of photos into a static HTML photo album: a cover
page with a table of thumbnails, one page per picture with previous and
next links, optional slideshow pages and one style sheet. Pictures get
comments and capture times, and may be rotated, given a mosaic, noise
removal, emboss or sepia effect. The pages are Japanese text in
Shift_JIS; projects are kept in .pxa files, and a command line makes an
album without a window.")
# Directories 0755 whatever the builder's umask; no maintainer scripts: the mime, menu and
# software-centre caches are refreshed by the triggers of the packages that own them.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
