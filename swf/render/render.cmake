# swf_render: draws the display list through QPainter (QtGui only, no widgets).
# The parts that read the engine's records and display list join in once the engine
# libraries are part of the build.
set(_render_sources
  ${CMAKE_CURRENT_LIST_DIR}/ColorTransform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CompiledShape.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Damage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Paint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RasterCache.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleGrid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShapePainter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Viewport.cpp)
if(TARGET swf_format)
  list(APPEND _render_sources ${CMAKE_CURRENT_LIST_DIR}/ShapeConverter.cpp)
endif()
if(TARGET swf_player)
  list(APPEND _render_sources ${CMAKE_CURRENT_LIST_DIR}/StageRenderer.cpp ${CMAKE_CURRENT_LIST_DIR}/Filters.cpp
       ${CMAKE_CURRENT_LIST_DIR}/FilterKernels.cpp ${CMAKE_CURRENT_LIST_DIR}/EdgeFilters.cpp
       ${CMAKE_CURRENT_LIST_DIR}/TextLayout.cpp ${CMAKE_CURRENT_LIST_DIR}/DeviceFace.cpp
       ${CMAKE_CURRENT_LIST_DIR}/FieldPainter.cpp
       ${CMAKE_CURRENT_LIST_DIR}/ScriptPictures.cpp)
endif()
add_library(swf_render STATIC ${_render_sources})
target_include_directories(swf_render PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(swf_render PUBLIC Qt6::Gui swf_media)
if(TARGET swf_format)
  target_link_libraries(swf_render PUBLIC swf_format)
endif()
if(TARGET swf_player)
  target_link_libraries(swf_render PUBLIC swf_player swf_text)
  # Lets tools and tests that link the renderer know the stage renderer is in it.
  target_compile_definitions(swf_render PUBLIC ORVANE_HAVE_STAGE_RENDERER=1)
endif()
