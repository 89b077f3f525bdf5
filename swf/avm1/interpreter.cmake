# The ActionScript interpreter (std + zlib only, no Qt): values, objects, the
# dispatch loop and the built-in classes. The timeline's own action subset lives
# in swf_avm1 (decode.cmake).
add_library(swf_avm1_interp STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Value.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Object.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Interpreter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InterpreterActions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InterpreterCalls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinArray.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinString.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinMath.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinDate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinClip.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinSupport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinGeom.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinColorTransform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinBroadcaster.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinXml.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinLoad.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinClipLoader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinClipDisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinSharedObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SharedObjectStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XmlParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinTextField.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinStyleSheet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinTextFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinSystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinFilters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinDrawing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinBitmapData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BitmapPixels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinSound.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinVideo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinButton.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinKey.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinMouse.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinSelection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InputBroadcast.cpp)
target_include_directories(swf_avm1_interp PUBLIC ${PROJECT_SOURCE_DIR})
# Glue to the video engine, called a few times a frame at most: built for size (the
# projector stub must stay small).
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/BuiltinVideo.cpp PROPERTIES COMPILE_OPTIONS
  "-Os;-fno-exceptions;-fno-asynchronous-unwind-tables")
target_link_libraries(swf_avm1_interp PUBLIC ZLIB::ZLIB swf_text)

# The interpreter as the player's action runner, over the engine's timelines.
if(TARGET swf_avm1)
  add_library(swf_avm1_host STATIC ${CMAKE_CURRENT_LIST_DIR}/PlayerScriptHost.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DrawingPen.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FieldVariables.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostFocus.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostFields.cpp)
  target_link_libraries(swf_avm1_host PUBLIC swf_avm1_interp swf_avm1)
endif()

# The text field and focus glue is not a hot loop: built for size, which keeps the projector
# stub (the whole player) under its size budget.
set_source_files_properties(
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinTextField.cpp ${CMAKE_CURRENT_LIST_DIR}/BuiltinTextFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuiltinStyleSheet.cpp ${CMAKE_CURRENT_LIST_DIR}/BuiltinSelection.cpp
  TARGET_DIRECTORY swf_avm1_interp PROPERTIES COMPILE_OPTIONS -Os)
if(TARGET swf_avm1_host)
  set_source_files_properties(
    ${CMAKE_CURRENT_LIST_DIR}/HostFocus.cpp ${CMAKE_CURRENT_LIST_DIR}/HostFields.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FieldVariables.cpp
    TARGET_DIRECTORY swf_avm1_host PROPERTIES COMPILE_OPTIONS -Os)
endif()

# The built-in classes are glue between scripts and the engine, run far less often than the
# dispatch loop: built for size, they keep the projector stub within its 2 MB budget.
file(GLOB _avm1_builtins CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/Builtin*.cpp)
set_source_files_properties(${_avm1_builtins} PROPERTIES COMPILE_OPTIONS -Os)
