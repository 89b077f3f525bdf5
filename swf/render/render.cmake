# swf_render: draws the display list through QPainter (QtGui only, no widgets).
set(_render_sources
  ${CMAKE_CURRENT_LIST_DIR}/ColorTransform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CompiledShape.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Paint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShapePainter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Viewport.cpp)
add_library(swf_render STATIC ${_render_sources})
target_include_directories(swf_render PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(swf_render PUBLIC Qt6::Gui swf_media)
