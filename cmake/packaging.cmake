# A Debian package of the program, its documents, desktop entry and icon, the
# simulated organizer and tavo-cli, with their manual pages, the
# copyright file and the changelog: `cpack -G DEB` in a build directory
# (scripts/package.sh builds it with Debian's hardening flags and checks it
# with lintian).

include(GNUInstallDirs)

# Manual pages and the changelog go compressed, without a time stamp, so that
# the same sources make the same package.
set(tavo_compressed)
foreach(source docs/man/tavo.1 docs/man/tavo-organizer-sim.1 docs/man/tavo-cli.1
               resources/debian/changelog)
  get_filename_component(name ${source} NAME)
  set(out ${CMAKE_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${PROJECT_SOURCE_DIR}/${source} ${out}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND tavo_compressed ${out})
endforeach()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/compressed)
add_custom_target(tavo_compressed_docs ALL DEPENDS ${tavo_compressed})
install(FILES ${CMAKE_BINARY_DIR}/compressed/tavo.1.gz
              ${CMAKE_BINARY_DIR}/compressed/tavo-organizer-sim.1.gz
              ${CMAKE_BINARY_DIR}/compressed/tavo-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/compressed/changelog.gz ${PROJECT_SOURCE_DIR}/resources/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavo)

set(CPACK_PACKAGE_NAME tavo)
set(CPACK_PACKAGE_VENDOR "Tavo developers")
set(CPACK_PACKAGE_CONTACT "Tavo developers <tavo@tavo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Copies files between this computer and an electronic organizer on a serial cable")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavo keeps a small file system of its own on an electronic organizer that
stores only memos: directories, files of any size and whole trees are copied
both ways over the serial cable, with progress and Cancel, and deleted or made
on the organizer. Everything works from the keyboard as well as the mouse.

Includes a simulated organizer on a pseudo-terminal for trying Tavo without
the device, and a probe that checks the serial line to a real one.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tavo)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The Qt libraries and the C++ runtime as the binaries actually need them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds the window system through plugins no library links to.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
