# A small action assembler so tests can write scripts as text.
add_library(orvane_avm1asm STATIC ${CMAKE_CURRENT_LIST_DIR}/ActionAssembler.cpp)
target_include_directories(orvane_avm1asm PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR})
