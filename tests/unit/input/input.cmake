orvane_add_gtest(engine_input_tests SOURCES InputScriptTest.cpp HitTestTest.cpp InputRoutingTest.cpp TextInputTest.cpp FocusTest.cpp ButtonPartsTest.cpp
                 LIBS swf_player swf_avm1_host orvane_swfwriter orvane_avm1asm LABELS asan)
add_dependencies(asan_suite engine_input_tests)

# --input through orvane-tool as a program: output and exit codes.
orvane_add_gtest(engine_input_tool_tests SOURCES InputToolTest.cpp LIBS swf_player orvane_swfwriter orvane_avm1asm)
target_compile_definitions(engine_input_tool_tests PRIVATE ORVANE_TOOL_PATH="$<TARGET_FILE:orvane-tool>")
add_dependencies(engine_input_tool_tests orvane-tool)
