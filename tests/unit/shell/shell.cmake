# Movie extraction, the stage size reader and the temporary directory.
orvane_add_gtest(orvane_shell_core_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MovieExtractTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MovieSizeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TempDirTest.cpp
  LIBS orvane_shell_core orvane_platform_core orvane_swfwriter
  LABELS asan)
add_dependencies(asan_suite orvane_shell_core_tests)
