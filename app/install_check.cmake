# Installs the build into ROOT and checks that the program, its documents,
# its desktop entry and its icon are in place.
file(REMOVE_RECURSE ${ROOT})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${ROOT}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected
  ${BINDIR}/tavo
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
