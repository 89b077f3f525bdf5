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
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinMath.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinVector.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinUtils.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinJson.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinDate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinGeom.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinRegExp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinByteArray.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinAmf.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinProxy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinSystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinXml.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinDescribe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/regex/Compiler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/regex/Matcher.cpp)
target_include_directories(swf_avm2 PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_avm2 PUBLIC swf_io)

# The machine beside the player: document class, frame scripts, display and event classes
# (drawing goes through the AS1/2 drawing API's pen).
add_library(swf_avm2_host STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Avm2Host.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostState.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostEvents.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostDisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostContainer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostGraphics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostBitmap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostLoad.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostSound.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostInput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostTimer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostShared.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostFilters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostAppearance.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostButton.cpp)
target_link_libraries(swf_avm2_host PUBLIC swf_avm2 swf_player swf_avm1_host)
# The host's classes are glue between scripts and the engine: built for size, for the
# projector stub's budget. The machine itself (interpreter, lookups, built-in classes) is
# built for speed; the stub stays under its budget (packaging/package-e2e.sh).
target_compile_options(swf_avm2_host PRIVATE -Os)
# Built-in classes scripts call now and then, not in hot loops: built for size too.
set_source_files_properties(
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinAmf.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinXml.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinSystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinProxy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinGeom.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinJson.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinDate.cpp
  PROPERTIES COMPILE_OPTIONS -Os)
