# Video decoding, seeking and drawing, checked against FFmpeg's own decode of streams its
# command-line tool writes at test time (skipped where it is not installed).
if(TARGET swf_video)
  orvane_add_gtest(video_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/VideoTestSupport.cpp ${CMAKE_CURRENT_LIST_DIR}/EmbeddedVideoTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/DamagedVideoTest.cpp ${CMAKE_CURRENT_LIST_DIR}/VideoStageTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/NetStreamTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FlvScriptTagTest.cpp
    LIBS swf_session swf_video swf_render orvane_swfwriter orvane_avm1asm
    LABELS asan)
  target_include_directories(video_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(video_tests PRIVATE ORVANE_TOOL_PATH="$<TARGET_FILE:orvane-tool>")
  add_dependencies(video_tests orvane-tool)
  add_dependencies(asan_suite video_tests)
endif()
