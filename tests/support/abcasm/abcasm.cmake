# ABC blocks with method bodies written as text, for the ActionScript 3 tests.
add_library(orvane_abcasm STATIC ${CMAKE_CURRENT_LIST_DIR}/AbcAssembler.cpp)
target_include_directories(orvane_abcasm PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR})
target_link_libraries(orvane_abcasm PUBLIC swf_avm2 orvane_swfwriter)
