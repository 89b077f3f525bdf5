# The movie widget forwarding the mouse and keys to a movie's buttons.
if(TARGET orvane_avm1asm)
  orvane_add_qtest(orvane_movie_input_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/MovieInputTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PlayerTestSupport.h
    LIBS orvane_flashhost orvane_swfwriter orvane_avm1asm)
endif()
