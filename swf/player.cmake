# swf_player: the engine facade (load, tick, frame control, display list access).
add_library(swf_player STATIC ${CMAKE_CURRENT_SOURCE_DIR}/Player.cpp ${CMAKE_CURRENT_SOURCE_DIR}/InputRouter.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/FieldInput.cpp)
# Editing glue, not a hot loop: built for size (the projector stub has a size budget).
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/FieldInput.cpp PROPERTIES COMPILE_OPTIONS -Os)
target_include_directories(swf_player PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_player PUBLIC swf_avm1 swf_input swf_timeline swf_movie swf_format swf_io)
