# swf_avm1: action table and decoder, the action-runner boundary, and the built-in
# runner for timeline control. The full interpreter builds on top of it.
add_library(swf_avm1 STATIC ActionDecoder.cpp Disassembler.cpp TimelineActions.cpp)
target_include_directories(swf_avm1 PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_avm1 PUBLIC swf_timeline swf_io)
