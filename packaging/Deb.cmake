# make deb: a binary Debian package of the build, through CPack's DEB
# generator, so the package installs exactly what `make install` does, from
# the same install rules, without a second build in a debian/ folder:
#   build/tovlan_<version>-1~deb<release>_<arch>.deb
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovlan)
set(CPACK_PACKAGE_VENDOR "The Tovlan developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TOVLAN_DEB_RELEASE})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Installed under /usr with DESTDIR staging, so the install scripts see the
# final prefix and write it into the desktop entry.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Tells the install scripts that dpkg keeps the list of installed files.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/DebProject.cmake)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TOVLAN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TOVLAN_HOME}")
# The libraries the program links come from dpkg-shlibdeps; the rest are
# what it loads or runs: Qt's X11 platform plugin, the font that stands in
# for ＭＳ ゴシック, Qt's Japanese translations of the dialogs' buttons, GIO
# (loaded at the first pick, so dpkg-shlibdeps cannot see it) with the
# file-type database it judges targets by, and xdg-open where GIO knows no
# handler.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-ipafont-gothic, qt6-translations-l10n, libglib2.0-0, shared-mime-info, xdg-utils")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "named shortcuts in a tiny window above all others")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tovlan keeps the desktop tidy: instead of many icons, a tiny window in a
corner of the screen, above every other window, shows a combo box of named
shortcuts and a Run button that opens the picked file, folder, program or
web address as the desktop opens it.
.
Shortcuts live in plain list files (.xxa, code page 932, CR LF) that stay
compatible byte for byte with the lists of the Windows program. A popup menu
starts, opens and switches lists, registers and deletes shortcuts, moves the
window to another corner and hides it into the task tray. All text the
program shows is Japanese.")

include(CPack)
