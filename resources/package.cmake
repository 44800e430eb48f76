# The Debian package: `cpack -G DEB` in the build folder writes tessaline_VERSION_ARCH.deb from the
# install rules (install.cmake), with the dependencies dpkg-shlibdeps finds for the executable.
# The package adds what Debian asks of every package and a plain install leaves out: the copyright
# file and a changelog in /usr/share/doc/tessaline, and the manual page compressed.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaline)
set(CPACK_PACKAGE_VENDOR Morvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter of TIFF images into 23 formats")
# Lines of at most 80 characters, as dpkg shows them; "." is an empty line.
set(CPACK_PACKAGE_DESCRIPTION
    "Tessaline converts single- and multi-page TIFF images into JPEG, PNG, WebP,
JPEG 2000, JPEG XR, OpenEXR, PSD, DDS and fifteen other formats, each with its
own encoder options and bit depth. On the way every page can be rotated,
resized, flipped, colour corrected, framed and watermarked.
.
The same program is a desktop application with a file list and a preview, and
a console tool for scripts that can split one list over several processes or
machines.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                               WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Morvane <${TESSALINE_SUPPORT_EMAIL}>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TESSALINE_WEB_SITE}/tessaline/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Besides the libraries: the text watermark's default face, "Arial", is Liberation Sans by
# fontconfig's metric aliases; without one of these the default watermark has no font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation | fonts-liberation2")
# The install rules below add the Debian files only when CPack installs into its staging folder.
set(CPACK_CUSTOM_INSTALL_VARIABLES TESSALINE_DEBIAN_PACKAGE=ON)

# The changelog's date is the release date of this version (a Debian changelog date, RFC 2822).
set(TESSALINE_RELEASE_DATE "Thu, 10 Dec 2026 12:00:00 +0000")
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
install(CODE "set(tessaline_debian_changelog \"${CMAKE_BINARY_DIR}/debian/changelog\")
set(tessaline_debian_copyright \"${CMAKE_CURRENT_LIST_DIR}/debian/copyright\")
set(tessaline_lintian_overrides \"${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides\")
set(tessaline_man_page \"${CMAKE_INSTALL_MANDIR}/man1/tessaline.1\")
set(tessaline_doc_folder \"${CMAKE_INSTALL_DATADIR}/doc/tessaline\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/debian/package_files.cmake)

include(CPack)
