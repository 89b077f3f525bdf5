# The About box.
add_library(orvane_about STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AboutFrm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AboutFrm.h
  ${CMAKE_CURRENT_LIST_DIR}/AboutFrm.ui)
set_target_properties(orvane_about PROPERTIES AUTOMOC ON AUTOUIC ON)
target_include_directories(orvane_about PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(orvane_about PUBLIC orvane_platform Qt6::Widgets)
# The program's own icon, shared with the main window.
qt_add_resources(orvane_about orvane_icon PREFIX /orvane BASE ${PROJECT_SOURCE_DIR}/resources
  FILES ${PROJECT_SOURCE_DIR}/resources/orvane-32.png ${PROJECT_SOURCE_DIR}/resources/orvane-48.png)
