# The movie area: a widget over one swf::Player.
add_library(orvane_flashhost STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MovieLoader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MovieLoader.h
  ${CMAKE_CURRENT_LIST_DIR}/ShockwaveFlash.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShockwaveFlash.h
  ${CMAKE_CURRENT_LIST_DIR}/SoundOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SoundOutput.h
  ${CMAKE_CURRENT_LIST_DIR}/InputMapping.cpp)
set_target_properties(orvane_flashhost PROPERTIES AUTOMOC ON)
target_include_directories(orvane_flashhost PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(orvane_flashhost PUBLIC Qt6::Widgets swf_player PRIVATE swf_session swf_audio)
# Sound goes to the desktop through Qt Multimedia; without it the player plays silently.
find_package(Qt6 QUIET COMPONENTS Multimedia)
if(TARGET Qt6::Multimedia)
  target_link_libraries(orvane_flashhost PRIVATE Qt6::Multimedia)
  target_compile_definitions(orvane_flashhost PRIVATE ORVANE_HAVE_QT_MULTIMEDIA)
endif()
# Draw through the renderer once it exists; until then the stage shows its background colour.
if(TARGET swf_render AND EXISTS ${PROJECT_SOURCE_DIR}/swf/render/StageRenderer.h)
  target_link_libraries(orvane_flashhost PRIVATE swf_render)
  target_compile_definitions(orvane_flashhost PRIVATE ORVANE_HAVE_STAGE_RENDERER)
endif()
