# The Debian package: CPack's DEB generator packs what `cmake --install` installs, so the
# package and a source install hold the same files. scripts/package.sh makes it from a clean
# release build with Debian's build flags; `cpack` in any build tree works too.
include(GNUInstallDirs)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvane developers")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <quorvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "program and test a 2.4 GHz radio module on a serial port")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Quorvane is a desktop console for a 2.4 GHz radio module attached to a
serial port: it writes the module's radio configuration and reads it back,
sends typed text and text files over the radio link, and runs a link test
that counts received and missed packets, with a report of what was lost,
repeated or reordered, and when.
.
quorvane-cli programs modules from profiles without a window, one module or
many at once. A simulated module lets anyone try both programs, and two
consoles on one machine talk to each other, without hardware.]=])
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://example.org/quorvane)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The program finds the simulator's guide where it was configured to be installed.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# Libraries from what the programs link; the window's SVG icon is drawn by a Qt plugin that
# no program links, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
# Debian's layout where a source install differs: stripped programs, compressed manual pages,
# the license as a machine-readable copyright file, a changelog.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/DebianLayout.cmake)
set(CPACK_QV_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_QV_DOCDIR ${CMAKE_INSTALL_DOCDIR})
set(CPACK_QV_MANDIR ${CMAKE_INSTALL_MANDIR})
set(CPACK_QV_STRIP ${CMAKE_STRIP})
include(CPack)
