# swf_audio: sound decoding (FFmpeg's libavcodec and libswresample), the mixer and
# the engine that plays a movie's sounds. No Qt: hosts pull mixed samples from it.
add_library(swf_audio STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SoundDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StreamTrack.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Mixer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AudioEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AudioClock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WavFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Id3Tags.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Mp3Gapless.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SpeexFrames.cpp)
target_include_directories(swf_audio PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_audio PUBLIC swf_player swf_timeline swf_movie swf_format swf_io PRIVATE PkgConfig::FFMPEG)
