# Build helpers shared by every folder.

# Includes every *.cmake fragment in a folder, then every subfolder with a CMakeLists.txt.
# Fragments let several components live side by side in one folder without sharing a file.
macro(orvane_include_fragments)
  file(GLOB _orvane_fragments CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  list(SORT _orvane_fragments)
  foreach(_fragment IN LISTS _orvane_fragments)
    include(${_fragment})
  endforeach()
  file(GLOB _orvane_children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _orvane_children)
  foreach(_child IN LISTS _orvane_children)
    if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()

function(orvane_add_folder dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# orvane_add_gtest(NAME SOURCES a.cpp ... LIBS lib ...)
# One GoogleTest executable; every test in it becomes a ctest test.
function(orvane_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  if(ORVANE_SANITIZE)
    # Under the sanitizers the executable runs as one test, so it carries every label
    # (discovered tests cannot take a list of labels) and runs once.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "unit;${ARG_LABELS}"
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
      PROPERTIES LABELS unit ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# orvane_add_qtest(NAME SOURCES a.cpp ... LIBS lib ...)
# One QTest executable run on the offscreen platform.
function(orvane_add_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test Qt6::Widgets)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "widgets;${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
