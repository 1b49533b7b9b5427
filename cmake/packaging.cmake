# A Debian package of the program, its documents, desktop entry and icon, and
# the simulated organizer: `cpack -G DEB` in a build directory.
set(CPACK_PACKAGE_NAME tavo)
set(CPACK_PACKAGE_VENDOR "Tavo developers")
set(CPACK_PACKAGE_CONTACT "Tavo developers <tavo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Copies files between this computer and an electronic organizer on a serial cable")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavo keeps a small file system of its own on an organizer that stores only memos: \
directories, files of any size and whole trees are copied both ways over the serial \
cable, with progress and Cancel. Includes a simulated organizer for trying it without \
the device.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tavo)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The Qt libraries and the C++ runtime as the binaries actually need them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds the window system through plugins no library links to.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
