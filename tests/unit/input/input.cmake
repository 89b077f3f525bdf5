orvane_add_gtest(engine_input_tests SOURCES InputScriptTest.cpp HitTestTest.cpp InputRoutingTest.cpp
                 LIBS swf_player swf_avm1_host orvane_swfwriter orvane_avm1asm LABELS asan)
add_dependencies(asan_suite engine_input_tests)
