# What `cmake --install` puts beside the programs, and the Debian package CPack makes of it
# (scripts/package builds it).
include(GNUInstallDirs)

set(ORVANE_MAN_PAGES)
foreach(page orvane.1 orvane-tool.1)
  # Manual pages are installed compressed, as Debian's policy asks.
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz
    COMMAND gzip -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/${page} > ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${page})
  list(APPEND ORVANE_MAN_PAGES ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
endforeach()
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/changelog > ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/changelog)
add_custom_target(orvane_package_files ALL DEPENDS ${ORVANE_MAN_PAGES} ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)

install(FILES ${ORVANE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/io.github.orvane.Orvane.metainfo.xml DESTINATION share/metainfo)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvane maintainers <orvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Flash (SWF) movie player and projector maker")
set(CPACK_PACKAGE_DESCRIPTION "Orvane plays Flash (SWF) movies with its own engine (timelines,\n\
ActionScript 1 and 2, shapes, bitmaps and text) in a window with play, stop,\n\
step, loop, a position slider and full screen. orvane-tool packs a movie and\n\
the player into one program file, a projector, that plays its own movie.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its window-system plugins at run time; no library links them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

if(TARGET orvane-e2e-movie)
  add_test(NAME orvane_package_e2e
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/package-e2e.sh ${PROJECT_BINARY_DIR} $<TARGET_FILE:orvane-e2e-movie>)
  set_tests_properties(orvane_package_e2e PROPERTIES LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 300 RUN_SERIAL ON)
endif()
