# orvane-tool's pack, unpack and info, run as the real program (the sanitized one in the
# sanitizer build, so damaged movies exercise info's parsing under ASan/UBSan).
orvane_add_gtest(orvane_tool_pack_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PackUnpackInfoTest.cpp
  LIBS orvane_swfwriter ZLIB::ZLIB
  LABELS asan)
target_include_directories(orvane_tool_pack_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/unit)
target_compile_definitions(orvane_tool_pack_tests PRIVATE ORVANE_TOOL_PATH="$<TARGET_FILE:orvane-tool>")
add_dependencies(orvane_tool_pack_tests orvane-tool)
add_dependencies(asan_suite orvane_tool_pack_tests)
