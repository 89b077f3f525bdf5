# The ActionScript 3 machine on assembled ABC, and AS3 movies through the player setup.
orvane_add_gtest(avm2_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MachineTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MovieTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DisplayTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CoreClassesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegexTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ByteArrayTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AmfTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProxyTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/XmlTest.cpp
  LIBS orvane_abcasm swf_session
  LABELS asan)
add_dependencies(asan_suite avm2_tests)
