# Helpers shared by several commands. They are not Command*.cpp files, so the tool's own
# fragment does not pick them up; this fragment comes after it and adds them.
if(TARGET orvane-tool)
  target_sources(orvane-tool PRIVATE ${CMAKE_CURRENT_LIST_DIR}/MovieArgs.cpp ${CMAKE_CURRENT_LIST_DIR}/MoviePlayback.cpp
    ${CMAKE_CURRENT_LIST_DIR}/InputFile.cpp)
endif()
# The drawing commands' GUI application, where the renderer (and so Qt GUI) is built.
if(TARGET orvane-tool AND TARGET swf_render)
  target_sources(orvane-tool PRIVATE ${CMAKE_CURRENT_LIST_DIR}/OffscreenGui.cpp)
endif()
