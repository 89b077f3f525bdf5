orvane_add_gtest(engine_player_tests SOURCES PlayerTest.cpp ActionsTest.cpp LIBS swf_player orvane_swfwriter LABELS asan)
target_include_directories(engine_player_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
add_dependencies(asan_suite engine_player_tests)

# The dump command as a program (exit codes and output).
orvane_add_gtest(engine_dump_tool_tests SOURCES DumpCommandTest.cpp LIBS swf_player orvane_swfwriter)
target_include_directories(engine_dump_tool_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(engine_dump_tool_tests PRIVATE ORVANE_TOOL_PATH="$<TARGET_FILE:orvane-tool>")
add_dependencies(engine_dump_tool_tests orvane-tool)
