# The position slider used by the main window.
add_library(orvane_controls STATIC
  ${CMAKE_CURRENT_LIST_DIR}/kelTracker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kelTracker.h)
set_target_properties(orvane_controls PROPERTIES AUTOMOC ON)
target_include_directories(orvane_controls PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(orvane_controls PUBLIC Qt6::Widgets)
