# The ActionScript 3 machine (std only, no Qt): the ABC reader, the checked decoder,
# the interpreter and the core classes.
add_library(swf_avm2 STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AbcParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Code.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Value.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Object.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Machine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Classes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Interpreter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinCore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinString.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinArray.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinMath.cpp)
target_include_directories(swf_avm2 PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_avm2 PUBLIC swf_io)

# The machine beside the player: document class, frame scripts, display and event classes.
add_library(swf_avm2_host STATIC ${CMAKE_CURRENT_LIST_DIR}/Avm2Host.cpp)
target_link_libraries(swf_avm2_host PUBLIC swf_avm2 swf_player)
