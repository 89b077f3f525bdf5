# Unit tests of the renderer's pieces: bitmap decoding, colour maths, paths, viewport.
orvane_add_gtest(render_unit_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BitmapDecoderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CompiledShapeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DamageTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PaintTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScaleGridTest.cpp
    $<$<TARGET_EXISTS:swf_player>:${CMAKE_CURRENT_LIST_DIR}/TextLayoutTest.cpp>
  LIBS swf_render swf_media ZLIB::ZLIB
  LABELS asan)
add_dependencies(asan_suite render_unit_tests)
