# Reference-image tests of the renderer: writer-built movies drawn and compared with the
# PNGs kept beside the cases (tests/render/<feature>/<case>.png). UPDATE_REFS=1 rewrites them.
# (the writer target is defined later in tests/support; it is resolved at generation)
if(TARGET swf_player)
  orvane_add_gtest(render_ref_tests
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/RenderHarness.cpp
      ${CMAKE_CURRENT_LIST_DIR}/ShapeAndFillCases.cpp
      ${CMAKE_CURRENT_LIST_DIR}/BitmapMorphTextCases.cpp
      ${CMAKE_CURRENT_LIST_DIR}/CompositionCases.cpp
      ${CMAKE_CURRENT_LIST_DIR}/FilterCases.cpp
      ${CMAKE_CURRENT_LIST_DIR}/PresentationCases.cpp
      ${CMAKE_CURRENT_LIST_DIR}/ToolCases.cpp
      ${CMAKE_CURRENT_LIST_DIR}/LiveObjectCases.cpp
      ${CMAKE_CURRENT_LIST_DIR}/BandCases.cpp
      ${CMAKE_CURRENT_LIST_DIR}/DamageCases.cpp
      ${CMAKE_CURRENT_LIST_DIR}/ScriptBitmapCases.cpp
      ${CMAKE_CURRENT_LIST_DIR}/TextFieldCases.cpp
    LIBS swf_render swf_session orvane_swfwriter orvane_avm1asm
    LABELS render)
  target_compile_definitions(render_ref_tests PRIVATE
    ORVANE_RENDER_REF_DIR="${CMAKE_CURRENT_LIST_DIR}"
    ORVANE_RENDER_OUT_DIR="${CMAKE_CURRENT_BINARY_DIR}/render-failures"
    ORVANE_TOOL_PATH="$<TARGET_FILE:orvane-tool>")
  add_dependencies(render_ref_tests orvane-tool)
endif()
