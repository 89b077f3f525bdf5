# Text fields without drawing: rich text, HTML, style sheets, restrict, editing, layout.
orvane_add_gtest(text_unit_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FieldStateTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HtmlTextTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RichTextTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextEditorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextLayoutTest.cpp
  LIBS swf_text
  LABELS asan)
add_dependencies(asan_suite text_unit_tests)
