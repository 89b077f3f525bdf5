# swf_session: the player with the script hosts, the sound engine and the tick order every host
# shares (swf_avm1_host and swf_avm2_host are defined in swf/avm1 and swf/avm2, read after this
# fragment; the names resolve later).
add_library(swf_session STATIC ${CMAKE_CURRENT_SOURCE_DIR}/PlayerSession.cpp)
target_include_directories(swf_session PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_session PUBLIC swf_player swf_avm1_host swf_avm2_host swf_audio swf_video swf_render)
