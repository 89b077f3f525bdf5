# The player's shell logic that needs no widgets: movie extraction and the stage size reader.
add_library(orvane_shell_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MovieExtract.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MovieSize.cpp)
target_include_directories(orvane_shell_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(orvane_shell_core PUBLIC swf_io)
