# The movie widget over the engine.
orvane_add_qtest(orvane_flashhost_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShockwaveFlashTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PlayerTestSupport.h
  LIBS orvane_flashhost orvane_swfwriter
  LABELS asan)
add_dependencies(asan_suite orvane_flashhost_tests)
if(TARGET orvane_avm1asm)
  target_link_libraries(orvane_flashhost_tests PRIVATE orvane_avm1asm)
  target_compile_definitions(orvane_flashhost_tests PRIVATE ORVANE_HAVE_AVM1ASM)
endif()
