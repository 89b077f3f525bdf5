# The SWF writer that builds every test movie in memory.
add_library(orvane_swfwriter STATIC
  ${CMAKE_CURRENT_LIST_DIR}/BitWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ButtonBuilder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FontBuilder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Compression.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MorphShapeBuilder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Mp3Blocks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShapeBuilder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SwfRecords.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SwfWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TagList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextBuilder.cpp)
# Both "SwfWriter.h" and "support/SwfWriter.h" resolve.
target_include_directories(orvane_swfwriter PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(orvane_swfwriter PUBLIC ZLIB::ZLIB PkgConfig::LZMA)
