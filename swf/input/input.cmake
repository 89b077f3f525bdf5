# swf_input: input events as the engine takes them, and the scripted-session text
# format the tools read (standard library only, so the fuzz targets can use it).
add_library(swf_input STATIC ${CMAKE_CURRENT_LIST_DIR}/KeyCodes.cpp ${CMAKE_CURRENT_LIST_DIR}/InputScript.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/ScriptedSession.cpp)
target_include_directories(swf_input PUBLIC ${PROJECT_SOURCE_DIR})
