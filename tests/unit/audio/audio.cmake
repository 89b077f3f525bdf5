# Sound decoding, mixing and stream sync, checked on movies built with the SWF writer.
# The lossy-codec cases make their MP3 and ADPCM data with FFmpeg's command-line tool
# when it is installed and skip otherwise.
if(TARGET swf_audio)
  orvane_add_gtest(engine_audio_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/AudioEngineTest.cpp ${CMAKE_CURRENT_LIST_DIR}/StreamSoundTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/LossyCodecTest.cpp ${CMAKE_CURRENT_LIST_DIR}/AudioCommandTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/SoundScriptTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ButtonSoundTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/LoadSoundTest.cpp ${CMAKE_CURRENT_LIST_DIR}/AudioClockTest.cpp
    LIBS swf_session swf_audio swf_player orvane_swfwriter orvane_avm1asm
    LABELS asan)
  target_include_directories(engine_audio_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(engine_audio_tests PRIVATE ORVANE_TOOL_PATH="$<TARGET_FILE:orvane-tool>")
  add_dependencies(engine_audio_tests orvane-tool)
  add_dependencies(asan_suite engine_audio_tests)
endif()
