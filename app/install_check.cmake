# Installs the build into ROOT and checks that the programs, their manual
# pages, the documents, the desktop entry with its starter and the icon are
# in place.
file(REMOVE_RECURSE ${ROOT})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${ROOT}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected
  ${BINDIR}/tavo
  ${BINDIR}/tavo-organizer-sim
  ${BINDIR}/tavo-cli
  ${DATADIR}/man/man1/tavo.1.gz
  ${DATADIR}/man/man1/tavo-organizer-sim.1.gz
  ${DATADIR}/man/man1/tavo-cli.1.gz
  ${DATADIR}/doc/tavo/copyright
  ${DATADIR}/doc/tavo/changelog.gz
  ${DATADIR}/doc/tavo/tavo_client.license.html
  ${DATADIR}/doc/tavo/tavo_client.readme.html
  ${DATADIR}/doc/tavo/tavo_client.limitations.html
  ${DATADIR}/doc/tavo/tavo_client.history.html
  ${DATADIR}/doc/tavo/tavo_client_version.html
  ${DATADIR}/applications/tavo.desktop
  ${LIBEXECDIR}/tavo/tavo-start
  ${DATADIR}/icons/hicolor/scalable/apps/tavo.svg)
foreach(f IN LISTS expected)
  if(NOT EXISTS ${ROOT}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(REMOVE_RECURSE ${ROOT})
