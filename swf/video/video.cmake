# swf_video: video decoding (FFmpeg's libavcodec and libswscale, and libavformat for local
# files NetStreams play) into the pictures video objects show. No Qt: the renderer draws
# the pictures like any other object's pixels.
pkg_check_modules(AVFORMAT REQUIRED IMPORTED_TARGET libavformat)
add_library(swf_video STATIC
  ${CMAKE_CURRENT_LIST_DIR}/VideoCodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VideoCodecNames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VideoDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EmbeddedVideo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FlvScriptTags.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LocalMedia.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileAudio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VideoFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VideoEngine.cpp)
target_include_directories(swf_video PUBLIC ${PROJECT_SOURCE_DIR})
# Built for size, without exception tables: the projector stub carries this code and must
# stay under 2 MB, and FFmpeg does the heavy work. Nothing here throws or catches; the only
# exception that could pass through is std::bad_alloc, which ends the player either way.
target_compile_options(swf_video PRIVATE -Os -fno-exceptions -fno-asynchronous-unwind-tables)
target_link_libraries(swf_video PUBLIC swf_player swf_timeline swf_movie swf_format swf_audio PRIVATE PkgConfig::FFMPEG PkgConfig::AVFORMAT)
