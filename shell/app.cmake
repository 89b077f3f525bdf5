# The player: its main window (a library, so that widget tests can drive it) and the program.
add_library(orvane_mainform STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MainFrm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainFrm.h
  ${CMAKE_CURRENT_LIST_DIR}/MainFrm.ui
  ${CMAKE_CURRENT_LIST_DIR}/OrvaneApplication.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OrvaneApplication.h
  ${CMAKE_CURRENT_LIST_DIR}/RecentFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecentFiles.h
  ${CMAKE_CURRENT_LIST_DIR}/WindowFit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowFit.h)
set_target_properties(orvane_mainform PROPERTIES AUTOMOC ON AUTOUIC ON)
# MainFrm.h exposes the generated form class, so its users need the generated header too.
target_include_directories(orvane_mainform PUBLIC ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_LIST_DIR}
  ${CMAKE_CURRENT_BINARY_DIR}/orvane_mainform_autogen/include)
target_link_libraries(orvane_mainform PUBLIC
  orvane_flashhost orvane_controls orvane_about orvane_platform orvane_platform_core orvane_shell_core
  Qt6::Widgets)
qt_add_resources(orvane_mainform orvane_toolbar PREFIX /orvane/toolbar
  BASE ${PROJECT_SOURCE_DIR}/resources/toolbar
  FILES
    ${PROJECT_SOURCE_DIR}/resources/toolbar/open.png
    ${PROJECT_SOURCE_DIR}/resources/toolbar/play.png
    ${PROJECT_SOURCE_DIR}/resources/toolbar/stop.png
    ${PROJECT_SOURCE_DIR}/resources/toolbar/backward.png
    ${PROJECT_SOURCE_DIR}/resources/toolbar/forward.png
    ${PROJECT_SOURCE_DIR}/resources/toolbar/loop.png)

add_executable(orvane ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(orvane PRIVATE orvane_mainform orvane_version_note)
install(TARGETS orvane RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/resources/orvane.desktop DESTINATION share/applications)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/orvane-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME orvane.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/orvane.svg DESTINATION share/icons/hicolor/scalable/apps)

# The projector stub that `orvane-tool pack` uses unless told otherwise: the player without
# its symbols and debug information (a development build's player is many times larger).
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/orvane-stub
  COMMAND ${CMAKE_STRIP} --strip-all -o ${CMAKE_CURRENT_BINARY_DIR}/orvane-stub $<TARGET_FILE:orvane>
  DEPENDS orvane VERBATIM)
add_custom_target(orvane_stub ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/orvane-stub)
install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/orvane-stub DESTINATION lib/orvane)
