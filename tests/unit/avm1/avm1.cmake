# Interpreter tests: scripts written in the test assembler, checked by their trace.
orvane_add_gtest(avm1_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FakeClipHost.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConversionTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OperatorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ObjectTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FunctionTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControlTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LimitsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BuiltinTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ClipTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GeomTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BitmapDataTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/XmlTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextFormatTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SystemTest.cpp
  LIBS swf_avm1_interp orvane_avm1asm
  LABELS asan)
target_include_directories(avm1_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
add_dependencies(asan_suite avm1_tests)

# The interpreter inside the player, with writer-built movies.
if(TARGET swf_avm1_host AND TARGET swf_player AND TARGET orvane_swfwriter)
  orvane_add_gtest(avm1_player_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/PlayerTraceTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TextFieldTraceTest.cpp ${CMAKE_CURRENT_LIST_DIR}/LocalFileTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/FsCommandTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ClipLoaderTest.cpp ${CMAKE_CURRENT_LIST_DIR}/MovieLoadTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ClipDisplayTest.cpp ${CMAKE_CURRENT_LIST_DIR}/SharedObjectTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/DrawingTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FakeClipHost.cpp
    LIBS swf_session orvane_swfwriter orvane_avm1asm
    LABELS asan)
  target_include_directories(avm1_player_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  add_dependencies(asan_suite avm1_player_tests)
endif()
