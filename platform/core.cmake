# Platform pieces the shell core and the tool need without Qt: the temporary directory.
add_library(orvane_platform_core STATIC ${CMAKE_CURRENT_LIST_DIR}/TempDir.cpp)
target_include_directories(orvane_platform_core PUBLIC ${PROJECT_SOURCE_DIR})
