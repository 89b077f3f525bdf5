# orvane-tool: main.cpp plus every Command*.cpp in this folder. Each command file
# registers itself; it links against whichever engine libraries exist.
file(GLOB ORVANE_TOOL_COMMANDS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/Command*.cpp)
add_executable(orvane-tool main.cpp CommandRegistry.cpp ${ORVANE_TOOL_COMMANDS})
target_include_directories(orvane-tool PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
foreach(lib orvane_shell_core orvane_platform_core swf_session swf_audio swf_video swf_player swf_render swf_media swf_avm1 swf_timeline
            swf_movie swf_format swf_io)
  if(TARGET ${lib})
    target_link_libraries(orvane-tool PRIVATE ${lib})
  endif()
endforeach()
install(TARGETS orvane-tool RUNTIME DESTINATION bin)
