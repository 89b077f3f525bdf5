# The main window, driven through its handlers and through mouse events.
orvane_add_qtest(orvane_mainform_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainFormTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PlayerTestSupport.h
  LIBS orvane_mainform orvane_swfwriter
  LABELS asan)
add_dependencies(asan_suite orvane_mainform_tests)
if(TARGET orvane_avm1asm)
  target_link_libraries(orvane_mainform_tests PRIVATE orvane_avm1asm)
  target_compile_definitions(orvane_mainform_tests PRIVATE ORVANE_HAVE_AVM1ASM)
endif()
